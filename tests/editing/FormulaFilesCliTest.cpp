// The tool's export and import, run as a user runs them, on the demo data and on generated
// formulas: the round trip gives back every stored SQL form, bad input writes nothing, and the
// import writes all of its changes or none.

#include "../common/Catalogue.h"
#include "../common/ToolRun.h"
#include "apps/formule/ExportTexts.h"
#include "editing/FormulaFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <iostream>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

void ensureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "formula_files_cli_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

// The formula columns of the three tables.
struct Table {
    const char* name;
    const char* id;
    const char* formula;
};
constexpr Table Tables[] = {{"LP01_PROVIDER", "LP01_ID", "LP01_FORMULE"},
                            {"LP07_QUOTAZIONI", "LP07_ID", "LP07_FORMULE"},
                            {"LP17_FORMULEMANUT", "LP17_ID", "LP17_FORMULA"}};

// A demo database made by the tool, with direct SQLite access to change and read it.
class DemoDatabase {
public:
    explicit DemoDatabase(const QString& path)
        : m_path(path)
        , m_name(QStringLiteral("files-cli-%1").arg(++counter)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(m_path);
    }
    ~DemoDatabase() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QString connectionString() const { return QStringLiteral("Provider=Embedded;Data Source=") + m_path; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name); }
    void exec(const QString& sql) const {
        QSqlQuery q(db());
        ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
    }
    // Every record's stored form as the tool reads it (trailing blanks removed), NULL as NULL.
    QStringList storedForms() const {
        QStringList forms;
        for (const Table& t : Tables) {
            QSqlQuery q(db());
            q.exec(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY 1")
                       .arg(QLatin1String(t.id), QLatin1String(t.formula), QLatin1String(t.name)));
            while (q.next()) {
                QString value = q.value(1).isNull() ? QStringLiteral("NULL") : u'=' + q.value(1).toString();
                while (value.endsWith(u' '))
                    value.chop(1);
                forms << QLatin1String(t.name) + u'|' + q.value(0).toString() + u'|' + value;
            }
        }
        return forms;
    }
    // The raw value of the formula column of a record of the provider table.
    QString providerFormula(int id) const {
        QSqlQuery q(db());
        q.exec(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = %1").arg(id));
        return q.next() ? q.value(0).toString() : QStringLiteral("<no row>");
    }
    // Everything the import may write.
    QString dump() const {
        QString out = storedForms().join(u'\n');
        QSqlQuery q(db());
        q.exec(QStringLiteral("SELECT * FROM LP31_VERSIONI ORDER BY 1, 2, 3"));
        while (q.next())
            out +=
                u'\n' + q.value(0).toString() + u'|' + q.value(1).toString() + u'|' + q.value(2).toString();
        return out;
    }
    void clearFormulas() const {
        for (const Table& t : Tables)
            exec(QStringLiteral("UPDATE %1 SET %2 = NULL")
                     .arg(QLatin1String(t.name), QLatin1String(t.formula)));
        exec(QStringLiteral("DELETE FROM LP31_VERSIONI"));
    }

private:
    static inline int counter = 0;
    QString m_path;
    QString m_name;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Every file of a folder with its bytes.
QMap<QString, QByteArray> folderBytes(const QString& dir) {
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), readAll(path));
    }
    return files;
}

// The category and variant sub-queries as the store keeps them.
QString categoryQuery(int id, const char* type) {
    return QStringLiteral(
               "( SELECT  COLS.value('@VALORE', '%1') AS VALORE   FROM      "
               "@CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS)  WHERE      "
               "COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = %2 )")
        .arg(QLatin1String(type))
        .arg(id);
}
QString variantQuery(const QString& code) {
    return QStringLiteral("( SELECT  COLS.value('@VALORE', 'CHAR(20)') AS VALORE   FROM      "
                          "@MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS)  WHERE      "
                          "COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') ='%1' )")
        .arg(code);
}

// The SQL form of generated formula `i`: labels, categories (one that does not exist), variants,
// IF/ELSE, comments, quotes, non-Latin text, long lines, line breaks, odd blanks.
QString generatedFormula(int i) {
    const QString n = QString::number(i);
    switch (i % 12) {
    case 0:
        return QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + ") + n;
    case 1:
        return QStringLiteral("IF @MG19_ZONA = 'NORD' SET @OUTSC1PERC = %1 ELSE SET @OUTSC1PERC = @INSC1PERC")
            .arg(n);
    case 2:
        return QStringLiteral("IF ") + categoryQuery(123, "VARCHAR(20)") +
               QStringLiteral(" = 'ROSSO' SET @OUTSC2PERC = ") + n;
    case 3:
        return QStringLiteral("IF ") + variantQuery(QStringLiteral("V0%1").arg(i % 3 + 1)) +
               QStringLiteral(" = 'BLU' SET @OUTMAGIMP = ") + n;
    case 4:
        return QStringLiteral("-- commento è 日本語 %1\r\nSET @OUTPREZZO = @INPREZZO * 1.%1").arg(n);
    case 5:
        return QStringLiteral("/* nota Ελληνικά */ SET @OUTPREZZO = LEN('prezzo € ''%1''')").arg(n);
    case 6: {
        QString sql = QStringLiteral("SET @OUTPREZZO = 0");
        for (int k = 0; k < 200 + i % 300; ++k)
            sql += QStringLiteral(" + ") + QString::number(k);
        return sql;
    }
    case 7:
        return QStringLiteral("IF @INPREZZO > %1\n\tSET @OUTPREZZO = 1\nELSE\n\tSET @OUTPREZZO = 2   \n")
            .arg(n);
    case 8:
        return QStringLiteral("IF ") + categoryQuery(999, "VARCHAR(20)") +
               QStringLiteral(" = 'X' SET @OUTPREZZO = ") + n;
    case 9:
        return QStringLiteral("set   @outprezzo=@ATTPREZZO  *  2 -- ") + n;
    case 10:
        return QStringLiteral("IF ") + categoryQuery(124, "DECIMAL(17,6)") + QStringLiteral(" > 2 AND ") +
               variantQuery(QStringLiteral("V02")) + QStringLiteral(" = 'ELETTRICA' SET @OUTMAG1PERC = ") + n;
    default:
        return QStringLiteral("SET @OUTPREZZO = '{C01 - x} |V01 - y| ''%1'' [Prezzo lordo]'").arg(n);
    }
}

class FormulaFilesCli : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        if (!QFileInfo::exists(QStringLiteral(FORMULE_TOOL)))
            GTEST_SKIP() << "the formule tool is not built: " << FORMULE_TOOL;
        ASSERT_TRUE(dir.isValid());
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("USER"), QStringLiteral("tester"));
        demo.emplace(dir.filePath(QStringLiteral("a.sqlite")));
        const ToolRun r = run(*demo, {QStringLiteral("init-db"), QStringLiteral("--demo")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        out = dir.filePath(QStringLiteral("out"));
    }

    ToolRun run(const DemoDatabase& db, const QStringList& arguments) {
        return testtool::runTool(QStringList{QStringLiteral("--db"), db.connectionString()} + arguments, {},
                                 300000, environment);
    }
    ToolRun exportTo(const DemoDatabase& db, const QString& folder) {
        return run(db, {QStringLiteral("export"), folder});
    }
    // A copy of the demo database with every formula cleared (the records stay).
    std::unique_ptr<DemoDatabase> emptyCopy() {
        const QString path = dir.filePath(QStringLiteral("b.sqlite"));
        QFile::remove(path);
        // Everything written so far into the file itself, so that a copy of the file has it.
        demo->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        EXPECT_TRUE(QFile::copy(dir.filePath(QStringLiteral("a.sqlite")), path));
        auto copy = std::make_unique<DemoDatabase>(path);
        copy->clearFormulas();
        return copy;
    }
    QString file(const char* relative) const { return QDir(out).filePath(QLatin1String(relative)); }

    QTemporaryDir dir;
    QProcessEnvironment environment;
    std::optional<DemoDatabase> demo;
    QString out;
};

TEST_F(FormulaFilesCli, DemoRoundTripGivesBackEveryStoredForm) {
    ToolRun r = exportTo(*demo, out);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("formule esportate: 10 in %1\n").arg(out));
    const QMap<QString, QByteArray> first = folderBytes(out);
    EXPECT_EQ(first.size(), 11);
    EXPECT_EQ(readAll(QDir(out).filePath(QStringLiteral(".gitattributes"))),
              QByteArray("*.sql -text\nmanifest.tsv -text\n"));
    EXPECT_EQ(first.value(QStringLiteral("0/3-Sconto_colore_rosso.sql")),
              QByteArray("-- formule export 1\n-- context: 0\n-- id: 3\n-- version: 0\n-- hash: "
                         "75e7f3bf12bf7cf3fd34e6841e9b64ac46e90a5787703148e3a0a0ff2ce72595\n\n"
                         "IF {C01 - Colore} = 'ROSSO' SET [Sconto 2%] = 3\n"));
    // Twice, and under another language: the same bytes.
    r = run(*demo, {QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("export"), out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(folderBytes(out), first);

    const auto copy = emptyCopy();
    ASSERT_NE(copy->storedForms(), demo->storedForms());
    r = run(*copy, {QStringLiteral("import"), out, QStringLiteral("--yes"), QStringLiteral("--comment"),
                    QStringLiteral("dai file")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("0/1-Listino_fornitore_base.sql\t0\t1\tyes\t-\tOK\t\n")))
        << r.out.toStdString();
    EXPECT_EQ(copy->storedForms(), demo->storedForms());
    // Byte for byte is the stored form as the tool reads it: the blanks after the formula are not
    // part of it (the save trims them).
    EXPECT_EQ(demo->providerFormula(5), QStringLiteral("SET @OUTSC3PERC = 2   "));
    EXPECT_EQ(copy->providerFormula(5), QStringLiteral("SET @OUTSC3PERC = 2"));
    r = run(*copy, {QStringLiteral("history"), QStringLiteral("--context"), QStringLiteral("2"),
                    QStringLiteral("--id"), QStringLiteral("1")});
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("2\t"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\ttester\timport\tdai file\n"))) << r.out.toStdString();
    // Again: nothing changes, nothing is written.
    const QString before = copy->dump();
    r = run(*copy, {QStringLiteral("import"), out});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.endsWith(QStringLiteral("import: nessun file cambia una formula: nulla da scrivere\n")));
    EXPECT_EQ(copy->dump(), before);
}

TEST_F(FormulaFilesCli, ThousandGeneratedFormulasRoundTrip) {
    constexpr int Count = 1000;
    {
        QSqlDatabase db = demo->db();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
            "INSERT INTO LP07_QUOTAZIONI (LP07_ID, LP07_DESCRIZIONE, LP07_FORMULE) VALUES (?, ?, ?)"));
        for (int i = 0; i < Count; ++i) {
            q.addBindValue(1000 + i);
            q.addBindValue(QStringLiteral("Generata %1 è 日本 / ").arg(i) + QString(i % 80, u'x'));
            q.addBindValue(generatedFormula(i));
            ASSERT_TRUE(q.exec());
        }
        db.commit();
    }
    QElapsedTimer timer;
    timer.start();
    ToolRun r = exportTo(*demo, out);
    std::cout << "export of " << Count + 10 << " formulas: " << timer.elapsed() << " ms\n";
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("formule esportate: %1 in %2\n").arg(Count + 10).arg(out));
    // The forms the display form does not give back exactly are named, and kept in the header.
    const qsizetype exact = r.err.count(QStringLiteral("(sql-base64)"));
    std::cout << "kept exactly (sql-base64): " << exact << " of " << Count + 10 << " (by kind:";
    QMap<int, int> kinds;
    static const QRegularExpression exactFile(QStringLiteral("^export: 1/(\\d+)-"),
                                              QRegularExpression::MultilineOption);
    for (auto it = exactFile.globalMatch(r.err); it.hasNext();)
        if (const int id = it.next().captured(1).toInt(); id >= 1000)
            ++kinds[(id - 1000) % 12];
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
        std::cout << ' ' << it.key() << '=' << it.value();
    std::cout << ")\n";

    const auto copy = emptyCopy();
    {
        QSqlDatabase db = copy->db();
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL")));
    }
    timer.restart();
    r = run(*copy, {QStringLiteral("import"), out, QStringLiteral("--yes")});
    std::cout << "import of " << Count + 10 << " formulas: " << timer.elapsed() << " ms\n";
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count(u'\n'), Count + 10 + 2); // the report's header, its lines, the outcome
    const QStringList expected = demo->storedForms();
    const QStringList got = copy->storedForms();
    ASSERT_EQ(got.size(), expected.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        EXPECT_EQ(got.at(i), expected.at(i));
}

TEST_F(FormulaFilesCli, ExportKeepsItsFolderToItself) {
    ASSERT_EQ(exportTo(*demo, out).exitCode, 0);
    // A record gone and a description changed: their old files go.
    demo->exec(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 5"));
    demo->exec(
        QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_DESCRIZIONE = 'Nuovo nome' WHERE LP07_ID = 3"));
    ToolRun r = exportTo(*demo, out);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("export: file di un'esportazione precedente rimossi: 2\n"));
    const QStringList names = folderBytes(out).keys();
    EXPECT_FALSE(names.contains(QStringLiteral("0/5-Sconto_fisso.sql")));
    EXPECT_FALSE(names.contains(QStringLiteral("1/3-Listino_export.sql")));
    EXPECT_TRUE(names.contains(QStringLiteral("1/3-Nuovo_nome.sql")));
    EXPECT_EQ(names.size(), 10);

    // A folder holding something else is refused, and left as it is.
    const QString other = dir.filePath(QStringLiteral("other"));
    QDir().mkpath(other);
    writeAll(QDir(other).filePath(QStringLiteral("keep.txt")), "mine");
    r = exportTo(*demo, other);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("non ha un manifest.tsv"))) << r.err.toStdString();
    EXPECT_EQ(folderBytes(other).keys(), QStringList{QStringLiteral("keep.txt")});
}

TEST_F(FormulaFilesCli, BadInputNamesFileAndLineAndWritesNothing) {
    ASSERT_EQ(exportTo(*demo, out).exitCode, 0);
    const char* target = "1/1-Listino_vendita_Italia.sql";
    const QByteArray good = readAll(file(target));
    struct Case {
        const char* what;
        QByteArray bytes;
        QString expected; // after "import: <file>:"
    };
    QByteArray notUtf8 = good;
    notUtf8.append("SET @OUTPREZZO = 'caff\xe8'\n");
    QByteArray unknown = good;
    unknown.replace("-- id: 1\n", "-- id: 999\n");
    QByteArray damaged = good;
    damaged.replace("-- hash: ", "-- hash ");
    const Case cases[] = {
        {"not UTF-8", notUtf8,
         QStringLiteral("8: il testo non è UTF-8 valido (byte %1)").arg(good.size() + 22)},
        {"NUL", good + QByteArray("x\0y", 3),
         QStringLiteral("8: il testo contiene un byte NUL (byte %1)").arg(good.size() + 1)},
        {"unknown record", unknown, QStringLiteral("3: il record 999 non esiste nel contesto 1")},
        {"damaged header", damaged, QStringLiteral("5: l'intestazione non ha la riga \"-- hash: ...\"")},
        {"no header", QByteArray("SET x = 1\n"), QStringLiteral("1: ") + editing::filesmsg::NotFormulaFile},
    };
    // Another file changes a formula: it is not written either.
    writeAll(file("2/1-Aumento_del_3.sql"), readAll(file("2/1-Aumento_del_3.sql")).replace("1.03", "1.04"));
    const QString before = demo->dump();
    for (const Case& c : cases) {
        writeAll(file(target), c.bytes);
        const ToolRun r = run(*demo, {QStringLiteral("import"), out, QStringLiteral("--yes")});
        EXPECT_EQ(r.exitCode, 2) << c.what;
        EXPECT_EQ(r.out, QString()) << c.what;
        EXPECT_EQ(r.err, QStringLiteral("import: %1:%2\nimport: nulla è stato scritto\n")
                             .arg(QDir(out).filePath(QLatin1String(target)), c.expected))
            << c.what;
        EXPECT_EQ(demo->dump(), before) << c.what;
    }
    // Two files of one record.
    writeAll(file(target), good);
    writeAll(file("1/1-copia.sql"), good);
    const ToolRun r = run(*demo, {QStringLiteral("import"), out});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("1/1-copia.sql:3:"))) << r.err.toStdString();
    EXPECT_EQ(demo->dump(), before);
}

TEST_F(FormulaFilesCli, ImportWritesAllOrNone) {
    ASSERT_EQ(exportTo(*demo, out).exitCode, 0);
    writeAll(file("0/1-Listino_fornitore_base.sql"),
             readAll(file("0/1-Listino_fornitore_base.sql")).replace("+ 50", "+ 60"));
    writeAll(file("2/1-Aumento_del_3.sql"), readAll(file("2/1-Aumento_del_3.sql")).replace("1.03", "1.04"));
    const QString before = demo->dump();

    // A dry run reports and writes nothing.
    ToolRun r = run(*demo, {QStringLiteral("import"), out, QStringLiteral("--dry-run")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("0/1-Listino_fornitore_base.sql\t0\t1\tyes\t-\tOK")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("0/2-Sconto_per_zona.sql\t0\t2\tno\t-\tOK")));
    EXPECT_TRUE(r.out.endsWith(
        QStringLiteral("import: prova: 2 file cambierebbero una formula; nulla è stato scritto\n")));
    EXPECT_EQ(demo->dump(), before);

    // The second write fails (the version of record 1 of context 2 is refused): the first is
    // rolled back with it.
    demo->exec(
        QStringLiteral("CREATE TRIGGER injected BEFORE INSERT ON LP31_VERSIONI WHEN NEW.LP31_CONTESTO = 2 "
                       "BEGIN SELECT RAISE(ABORT, 'injected failure'); END"));
    r = run(*demo, {QStringLiteral("import"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("import: scrittura non riuscita (2/1-Aumento_del_3.sql): ")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("; nulla è stato scritto\n"))) << r.err.toStdString();
    EXPECT_EQ(demo->dump(), before);

    demo->exec(QStringLiteral("DROP TRIGGER injected"));
    r = run(*demo, {QStringLiteral("import"), out, QStringLiteral("--comment"), QStringLiteral("due")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(
        QStringLiteral("import: formule importate: 2, ciascuna come nuova versione \"import\"\n")));
    const QStringList forms = demo->storedForms();
    EXPECT_TRUE(forms.contains(QStringLiteral("LP01_PROVIDER|1|=SET @OUTPREZZO = @ATTPREZZO + 60")));
    EXPECT_TRUE(
        forms.contains(QStringLiteral("LP17_FORMULEMANUT|1|=SET @OUTPREZZO = ROUND(@ATTPREZZO * 1.04, 2)")));
}

TEST_F(FormulaFilesCli, FailingCheckNeedsYes) {
    ASSERT_EQ(exportTo(*demo, out).exitCode, 0);
    writeAll(file("0/2-Sconto_per_zona.sql"),
             readAll(file("0/2-Sconto_per_zona.sql")).replace("= 5", "= (5"));
    const QString before = demo->dump();
    ToolRun r = run(*demo, {QStringLiteral("import"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains(QStringLiteral("0/2-Sconto_per_zona.sql\t0\t2\tyes\t-\tERROR\t")))
        << r.out.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("import: alcune formule non superano il controllo: nulla è stato scritto "
                                    "(--yes le importa comunque)\n"));
    EXPECT_EQ(demo->dump(), before);
    r = run(*demo, {QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("import"), out});
    EXPECT_EQ(r.err,
              QStringLiteral("import: some formulas fail the check: nothing was written (--yes imports them "
                             "all the same)\n"));
    r = run(*demo, {QStringLiteral("import"), out, QStringLiteral("--yes")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_NE(demo->dump(), before);
}

TEST_F(FormulaFilesCli, OneContextLeavesTheOthersFiles) {
    ASSERT_EQ(exportTo(*demo, out).exitCode, 0);
    const QMap<QString, QByteArray> all = folderBytes(out);
    demo->exec(
        QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'SET @OUTPREZZO = 7' WHERE LP07_ID = 1"));
    demo->exec(
        QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'SET @OUTPREZZO = 8' WHERE LP01_ID = 1"));
    const ToolRun r =
        run(*demo, {QStringLiteral("export"), out, QStringLiteral("--context"), QStringLiteral("1")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("formule esportate: 10 in %1\n").arg(out)); // the manifest's files
    const QMap<QString, QByteArray> now = folderBytes(out);
    EXPECT_EQ(now.keys(), all.keys());
    for (const QString& name : all.keys())
        EXPECT_EQ(now.value(name) != all.value(name),
                  name == QLatin1String("1/1-Listino_vendita_Italia.sql") ||
                      name == editing::formulafiles::ManifestName)
            << name.toStdString();
    EXPECT_TRUE(
        now.value(QStringLiteral("1/1-Listino_vendita_Italia.sql")).endsWith("\n\nSET [Prezzo lordo] = 7\n"))
        << now.value(QStringLiteral("1/1-Listino_vendita_Italia.sql")).toStdString();
}

TEST_F(FormulaFilesCli, ExactFormHoldsUntilTheFileIsEdited) {
    // Doubled apostrophes inside a literal are shown single: the display form gives back another
    // stored form, so the file keeps the stored one.
    const QString lossy = QStringLiteral("SET @OUTPREZZO = LEN('a''b')");
    {
        QSqlQuery q(demo->db());
        q.prepare(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = ? WHERE LP01_ID = 1"));
        q.addBindValue(lossy);
        ASSERT_TRUE(q.exec());
    }
    ToolRun r = exportTo(*demo, out);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("export: 0/1-Listino_fornitore_base.sql: ") +
                         formule_cli::exporting::text::KeptExact + u'\n');
    const QByteArray bytes = readAll(file("0/1-Listino_fornitore_base.sql"));
    EXPECT_TRUE(bytes.contains("\n-- sql-base64: " + lossy.toUtf8().toBase64() + "\n\n"))
        << bytes.toStdString();

    auto copy = emptyCopy();
    r = run(*copy, {QStringLiteral("import"), out, QStringLiteral("--yes")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(copy->storedForms().contains(QStringLiteral("LP01_PROVIDER|1|=") + lossy));

    // Edited: the display form is what counts now.
    copy.reset();
    copy = emptyCopy();
    writeAll(file("0/1-Listino_fornitore_base.sql"), QByteArray(bytes).replace("LEN(", "LEN( "));
    r = run(*copy, {QStringLiteral("import"), out, QStringLiteral("--yes")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList forms = copy->storedForms();
    EXPECT_FALSE(forms.contains(QStringLiteral("LP01_PROVIDER|1|=") + lossy));
    EXPECT_EQ(forms.filter(QStringLiteral("LP01_PROVIDER|1|=SET @OUTPREZZO = LEN( ")).size(), 1)
        << forms.join(u'\n').toStdString();
}

TEST(FormulaFilesTexts, EveryTextHasItsEnglishEntry) {
    const QMap<QString, QString> en =
        testcatalogue::readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/history_en.ts"));
    namespace m = editing::filesmsg;
    namespace t = formule_cli::exporting::text;
    for (const QString& text : {m::NotFormulaFile, m::MissingKey,
                                m::BadValue,       m::NoHeaderEnd,
                                m::HashMismatch,   m::BadManifest,
                                t::FolderRequired, t::NotEmpty,
                                t::NoFolder,       t::BadContext,
                                t::NotWritten,     t::Exported,
                                t::Removed,        t::KeptExact,
                                t::TooLarge,       t::Unreadable,
                                t::NoRecord,       t::Duplicate,
                                t::NotUtf8,        t::NulByte,
                                t::NothingWritten, t::Untranslatable,
                                t::DryRun,         t::NothingToDo,
                                t::Refused,        t::RefusedUntranslatable,
                                t::WriteFailed,    t::Imported})
        EXPECT_FALSE(en.value(text).isEmpty()) << text.toStdString();
}

} // namespace
