// Consistency of the schema scripts and the demo data with what the editor reads.

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "language/Dictionary.h"
#include "tables/Schema.h"
#include "tsql/sql/SqliteFunctions.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

// Base texts of the dictionary's document, customer/supplier, item, totals, project and
// production fields (entries 34 to 137), in table order.
QStringList fieldBaseTexts() {
    QStringList texts;
    for (const language::Entry& e : language::Dictionary::entries())
        if (e.number >= 34 && e.number <= language::Dictionary::LastOrdinaryEntry)
            texts << e.baseText;
    return texts;
}

// The four fields the tree adds itself after the last child of roots 0 and 100.
const QStringList fixedFields = {"Ditta", "Data riferimento", "Cli/for documento",
                                 "ID Nodo distinta cli/for"};

QString categorySubQuery(qint64 id, int dataType) {
    static const char* columns[] = {" COLS.value('@VALORE', 'VARCHAR(20)') AS VALORE  ",
                                    " COLS.value('@VALORE', 'DECIMAL(17,6)') AS VALORE  ",
                                    " COLS.value('@VALORE', 'DECIMAL(1)') AS VALORE  "};
    return QStringLiteral("( SELECT ") + QString::fromLatin1(columns[dataType]) + QStringLiteral(" FROM ") +
           QStringLiteral("     @CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS) ") +
           QStringLiteral(" WHERE ") +
           QStringLiteral("     COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = ") + QString::number(id) +
           QStringLiteral(" )");
}

QString variantSubQuery(const QString& code) {
    return QStringLiteral("( SELECT ") + QStringLiteral(" COLS.value('@VALORE', 'CHAR(20)') AS VALORE  ") +
           QStringLiteral(" FROM ") +
           QStringLiteral("     @MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS) ") +
           QStringLiteral(" WHERE ") + QStringLiteral("     COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') ='") +
           code + QStringLiteral("'") + QStringLiteral(" )");
}

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A plain SQLite connection for reading the demo database as it is stored. It knows the
// engine's collation, which the indexes of the category and variant codes are declared with.
class SqliteFile {
public:
    explicit SqliteFile(const QString& path)
        : m_name(QStringLiteral("demo-test-%1").arg(++s_counter)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        if (db.open())
            tsql::registerSqliteFunctions(db);
    }
    ~SqliteFile() {
        { QSqlDatabase::database(m_name, false).close(); }
        QSqlDatabase::removeDatabase(m_name);
    }
    QList<QVariantList> rows(const QString& sql) const {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        QList<QVariantList> result;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            result << row;
        }
        return result;
    }
    QStringList columns(const QString& table) const {
        QStringList names;
        for (const QVariantList& r : rows(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
            names << r.at(1).toString();
        return names;
    }

private:
    static inline int s_counter = 0;
    QString m_name;
};

class DemoData : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("sub/demo.sqlite"));
        report = ado::setup::initialize(ado::setup::embeddedConnectionString(path), true);
        db = std::make_unique<SqliteFile>(path);
    }

    QTemporaryDir dir;
    QString path;
    ado::setup::InitReport report;
    std::unique_ptr<SqliteFile> db;
};

} // namespace

TEST(DemoScripts, SplitStatementsKeepsLiteralsAndDropsComments) {
    const QStringList got = ado::setup::splitStatements(QStringLiteral(
        "-- heading; with a semicolon\nINSERT INTO T VALUES ('a;b', 'it''s; -- no comment');\n\n"
        "  SELECT 1 -- trailing\n  ;\n;\nSELECT 2"));
    EXPECT_EQ(got, (QStringList{QStringLiteral("INSERT INTO T VALUES ('a;b', 'it''s; -- no comment')"),
                                QStringLiteral("SELECT 1"), QStringLiteral("SELECT 2")}));
}

TEST(DemoScripts, DemoScriptIsOneInsertPerLine) {
    const QString script = ado::setup::demoDataScript();
    int inserts = 0;
    for (const QString& line : script.split(u'\n')) {
        if (line.startsWith(QLatin1String("INSERT INTO "))) {
            ++inserts;
            EXPECT_TRUE(line.endsWith(u';')) << line.toStdString();
        } else {
            EXPECT_TRUE(line.isEmpty() || line.startsWith(QLatin1String("--"))) << line.toStdString();
        }
    }
    const QStringList statements = ado::setup::splitStatements(script);
    EXPECT_EQ(statements.size(), inserts);
    // Portable text: no dialect-only syntax (N'' literals, brackets, string concatenation).
    for (const QString& s : statements) {
        EXPECT_FALSE(s.contains(QLatin1String("N'"))) << s.toStdString();
        EXPECT_FALSE(s.contains(QLatin1String("||"))) << s.toStdString();
    }
}

TEST(DemoScripts, BothSchemasDeclareTheSameColumns) {
    const QRegularExpression table(
        QStringLiteral("CREATE TABLE (?:IF NOT EXISTS )?(?:dbo\\.)?(\\w+) \\(([^;]*)\\);"));
    const QRegularExpression column(QStringLiteral("^\\s*([A-Z0-9_]+)\\s+[A-Z]"),
                                    QRegularExpression::MultilineOption);
    auto columnsOf = [&](const QString& script) {
        std::map<QString, QStringList> result;
        for (auto it = table.globalMatch(script); it.hasNext();) {
            const auto m = it.next();
            QStringList cols;
            for (auto c = column.globalMatch(m.captured(2)); c.hasNext();) {
                const QString name = c.next().captured(1);
                if (name != QLatin1String("UNIQUE") && name != QLatin1String("PRIMARY") &&
                    name != QLatin1String("CONSTRAINT"))
                    cols << name;
            }
            result[m.captured(1)] = cols;
        }
        return result;
    };
    const auto sqlite = columnsOf(ado::setup::schemaScript(ado::setup::Dialect::Sqlite));
    const auto sqlServer = columnsOf(ado::setup::schemaScript(ado::setup::Dialect::SqlServer));
    EXPECT_EQ(sqlite.size(), 8u); // the six of the editor, its test cases and the formulas' versions
    EXPECT_EQ(sqlite, sqlServer);
    for (const QString& t : tables::tableNames())
        EXPECT_TRUE(sqlite.count(t)) << t.toStdString();
}

TEST_F(DemoData, InitializeCreatesFileTablesAndRows) {
    EXPECT_TRUE(report.fileCreated);
    EXPECT_EQ(report.tablesCreated, tables::tableNames());
    EXPECT_EQ(report.demoRows, ado::setup::splitStatements(ado::setup::demoDataScript()).size());
    // The file keeps write-ahead logging for every later connection.
    EXPECT_EQ(db->rows(QStringLiteral("PRAGMA journal_mode")),
              (QList<QVariantList>{{QStringLiteral("wal")}}));
}

TEST_F(DemoData, TablesHaveTheColumnsTheEditorUses) {
    const std::map<QString, QStringList> needed = {
        {"LP01_PROVIDER", {"LP01_ID", "LP01_FORMULE", "LP01_IDMEDIA_CG99"}},
        {"LP07_QUOTAZIONI", {"LP07_ID", "LP07_FORMULE"}},
        {"LP17_FORMULEMANUT", {"LP17_ID", "LP17_FORMULA"}},
        {"LP14_CAMPI",
         {"LP14_INDELEMENTO", "LP14_DESCRIZIONE", "LP14_PARENT", "LP14_ISATTIVO", "LP14_PROGVISUA"}},
        {"CM01_CATEGORIECOMM",
         {"CM01_IDCATEGORIA", "CM01_CODICE", "CM01_DESCR", "CM01_INDTIPODATO", "CM01_DITTA_CG18"}},
        {"MG5F_DIMECONF", {"MG5F_CODICEVAR", "MG5F_DESCR_VAR", "MG5F_DITTA_CG18"}},
    };
    for (const auto& [table, columns] : needed) {
        const QStringList present = db->columns(table);
        for (const QString& c : columns)
            EXPECT_TRUE(present.contains(c)) << table.toStdString() << "." << c.toStdString();
    }
    // Other tools insert rows naming only those columns.
    SqliteFile extra(path);
    extra.rows(QStringLiteral(
        "INSERT INTO LP01_PROVIDER (LP01_ID, LP01_FORMULE, LP01_IDMEDIA_CG99) VALUES (99, NULL, NULL)"));
    extra.rows(QStringLiteral(
        "INSERT INTO LP14_CAMPI (LP14_INDELEMENTO, LP14_DESCRIZIONE, LP14_PARENT, LP14_ISATTIVO, "
        "LP14_PROGVISUA) VALUES (9999, 'x', NULL, 0, 1)"));
    extra.rows(QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_CODICEVAR, MG5F_DESCR_VAR, MG5F_DITTA_CG18) "
                              "VALUES ('VX', 'x', 3)"));
}

TEST_F(DemoData, IdsAndKeysAreUnique) {
    const QStringList checks = {
        "SELECT COUNT(*) - COUNT(DISTINCT LP01_ID) FROM LP01_PROVIDER",
        "SELECT COUNT(*) - COUNT(DISTINCT LP07_ID) FROM LP07_QUOTAZIONI",
        "SELECT COUNT(*) - COUNT(DISTINCT LP17_ID) FROM LP17_FORMULEMANUT",
        "SELECT COUNT(*) - COUNT(DISTINCT LP14_INDELEMENTO) FROM LP14_CAMPI",
        "SELECT COUNT(*) - COUNT(DISTINCT CM01_IDCATEGORIA) FROM CM01_CATEGORIECOMM",
        "SELECT COUNT(*) - COUNT(DISTINCT CM01_CODICE) FROM CM01_CATEGORIECOMM",
        "SELECT COUNT(*) - COUNT(DISTINCT MG5F_CODICEVAR) FROM MG5F_DIMECONF",
        // Children sort unambiguously under their parent.
        "SELECT COUNT(*) FROM (SELECT LP14_PARENT, LP14_PROGVISUA FROM LP14_CAMPI GROUP BY LP14_PARENT, "
        "LP14_PROGVISUA HAVING COUNT(*) > 1)",
        // Every parent exists and is a root (the tree reads two levels).
        "SELECT COUNT(*) FROM LP14_CAMPI C LEFT JOIN LP14_CAMPI P ON P.LP14_INDELEMENTO = C.LP14_PARENT "
        "WHERE C.LP14_PARENT IS NOT NULL AND (P.LP14_INDELEMENTO IS NULL OR P.LP14_PARENT IS NOT NULL)",
    };
    for (const QString& sql : checks)
        EXPECT_EQ(db->rows(sql).value(0).value(0).toInt(), 0) << sql.toStdString();
    for (const char* table : {"LP01_PROVIDER", "LP07_QUOTAZIONI", "LP17_FORMULEMANUT"})
        EXPECT_GE(db->rows(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)))[0][0].toInt(),
                  3);
}

TEST_F(DemoData, CategoriesAndVariantsOfCompanyOne) {
    const auto types = db->rows(QStringLiteral(
        "SELECT DISTINCT CM01_INDTIPODATO FROM CM01_CATEGORIECOMM WHERE CM01_DITTA_CG18 = 1 ORDER BY 1"));
    ASSERT_EQ(types.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(types[i][0].toInt(), i);
    EXPECT_GE(db->rows(QStringLiteral("SELECT COUNT(*) FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = 1"))[0][0]
                  .toInt(),
              2);
}

TEST_F(DemoData, EntityHierarchyGivesDictionaryLabels) {
    const QStringList baseTexts = fieldBaseTexts();
    ASSERT_EQ(baseTexts.size(), 104);

    const auto roots = db->rows(QStringLiteral("SELECT LP14_INDELEMENTO, LP14_ISATTIVO FROM LP14_CAMPI WHERE "
                                               "LP14_PARENT IS NULL ORDER BY LP14_PROGVISUA"));
    QSet<int> rootIds;
    for (const auto& r : roots)
        rootIds << r[0].toInt();
    for (int id : {0, 100, 200, 500})
        EXPECT_TRUE(rootIds.contains(id)) << id;
    EXPECT_GT(rootIds.size(), 4);

    QSet<int> allIds;
    for (const auto& r : db->rows(QStringLiteral("SELECT LP14_INDELEMENTO FROM LP14_CAMPI")))
        allIds << r[0].toInt();

    QStringList fields;
    QStringList configurator;
    QSet<int> childIds;
    for (const auto& root : roots) {
        const int rootId = root[0].toInt();
        if (root[1].toInt() != 1 || rootId == 200)
            continue; // never shown
        const auto children =
            db->rows(QStringLiteral("SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE FROM LP14_CAMPI "
                                    "WHERE LP14_PARENT = %1 AND LP14_ISATTIVO = 1 "
                                    "ORDER BY LP14_PROGVISUA")
                         .arg(rootId));
        ASSERT_FALSE(children.isEmpty()) << rootId;
        int highest = -1;
        for (const auto& c : children) {
            const int id = c[0].toInt();
            const QString text = c[1].toString();
            childIds << id;
            highest = qMax(highest, id);
            if (id == 602) {
                EXPECT_EQ(text, QStringLiteral("Categoria commerciale"));
            } else if (id == 502 || id == 810) {
                EXPECT_EQ(text, QStringLiteral("Codice variante"));
            } else if (id >= 500 && id <= 599) {
                configurator << text;
            } else if (id >= 800 && id <= 899) {
                fields << text;
            } else {
                fields << QString(text)
                              .replace(QLatin1String("cli."), QLatin1String("cli/for"))
                              .replace(QLatin1String("cliente"), QLatin1String("cli/for"));
            }
        }
        if (rootId == 0 || rootId == 100) {
            // The tree adds two fixed fields with the ids after the last child.
            const int last = children.last()[0].toInt();
            EXPECT_EQ(last, highest) << "root " << rootId;
            EXPECT_FALSE(allIds.contains(last + 1)) << last + 1;
            EXPECT_FALSE(allIds.contains(last + 2)) << last + 2;
        }
    }
    for (int id : {602, 502, 810})
        EXPECT_TRUE(childIds.contains(id)) << id;
    EXPECT_GT(std::count_if(childIds.begin(), childIds.end(),
                            [](int id) { return id >= 800 && id <= 899 && id != 810; }),
              0);
    EXPECT_EQ(configurator, (QStringList{QStringLiteral("Modello"), QStringLiteral("Opzione")}));

    // Each field once, and with the four fixed fields every field of the dictionary.
    QStringList expected = baseTexts;
    for (const QString& f : fixedFields)
        expected.removeOne(f);
    QStringList sortedFields = fields;
    sortedFields.sort();
    expected.sort();
    EXPECT_EQ(sortedFields, expected);
    for (const QString& f : fields)
        EXPECT_TRUE(baseTexts.contains(f)) << f.toStdString();
    EXPECT_EQ(QSet<QString>(fields.begin(), fields.end()).size(), fields.size());
}

TEST_F(DemoData, StoredSubQueriesMatchTheirCategoriesAndVariants) {
    std::map<qint64, int> categoryType;
    for (const auto& r :
         db->rows(QStringLiteral("SELECT CM01_IDCATEGORIA, CM01_INDTIPODATO FROM CM01_CATEGORIECOMM")))
        categoryType[r[0].toLongLong()] = r[1].toInt();
    QSet<QString> variants;
    for (const auto& r : db->rows(QStringLiteral("SELECT MG5F_CODICEVAR FROM MG5F_DIMECONF")))
        variants << r[0].toString().trimmed();

    const QRegularExpression categoryMarker(
        QStringLiteral("COLS\\.value\\('@IDCATEGORIA_CM01', 'DECIMAL\\(10\\)'\\) = (\\d+) \\)"));
    const QRegularExpression variantMarker(
        QStringLiteral("COLS\\.value\\('@MG5F_CODICEVAR', 'CHAR\\(20\\)'\\) ='([^']*)' \\)"));
    QSet<int> typesUsed;
    int categoryRefs = 0;
    int variantRefs = 0;
    const auto formulas = db->rows(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER UNION ALL "
                                                  "SELECT LP07_FORMULE FROM LP07_QUOTAZIONI UNION ALL "
                                                  "SELECT LP17_FORMULA FROM LP17_FORMULEMANUT"));
    int nulls = 0;
    for (const auto& r : formulas) {
        if (r[0].isNull()) {
            ++nulls;
            continue;
        }
        const QString f = r[0].toString();
        for (auto it = categoryMarker.globalMatch(f); it.hasNext();) {
            const qint64 id = it.next().captured(1).toLongLong();
            ASSERT_TRUE(categoryType.count(id)) << id;
            EXPECT_TRUE(f.contains(categorySubQuery(id, categoryType[id]))) << f.toStdString();
            typesUsed << categoryType[id];
            ++categoryRefs;
        }
        for (auto it = variantMarker.globalMatch(f); it.hasNext();) {
            const QString code = it.next().captured(1);
            EXPECT_TRUE(variants.contains(code)) << code.toStdString();
            EXPECT_TRUE(f.contains(variantSubQuery(code))) << f.toStdString();
            ++variantRefs;
        }
        EXPECT_EQ(f.count(QLatin1String("( SELECT ")),
                  f.count(QLatin1String("COLS.value('@IDCATEGORIA_CM01'")) +
                      f.count(QLatin1String("COLS.value('@MG5F_CODICEVAR'")));
    }
    EXPECT_GE(categoryRefs, 3);
    EXPECT_GE(variantRefs, 2);
    EXPECT_EQ(typesUsed.size(), 3);
    EXPECT_GE(nulls, 1);
}

TEST_F(DemoData, LoadingTwiceIsRefusedAndChangesNothing) {
    db.reset();
    const QByteArray before = fileHash(path);
    try {
        ado::setup::initialize(ado::setup::embeddedConnectionString(path), true);
        ADD_FAILURE() << "loaded the demo rows twice";
    } catch (const ado::setup::SetupError& e) {
        EXPECT_EQ(e.kind(), ado::setup::SetupError::Kind::Refused);
        EXPECT_EQ(e.description(),
                  QStringLiteral("The database already holds rows (table LP01_PROVIDER): the demo "
                                 "rows are not loaded, to keep what is there"));
    }
    EXPECT_EQ(fileHash(path), before);
    // Without demo rows the schema is only checked.
    const auto again = ado::setup::initialize(ado::setup::embeddedConnectionString(path), false);
    EXPECT_FALSE(again.fileCreated);
    EXPECT_TRUE(again.tablesCreated.isEmpty());
    EXPECT_EQ(again.demoRows, 0);
    EXPECT_EQ(fileHash(path), before);
}

TEST(DemoSetup, FailedLoadWritesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clash.sqlite"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        SqliteFile db(path);
        db.rows(QStringLiteral("CREATE TABLE LP14_CAMPI (OTHER INTEGER)")); // a table of another shape
    }
    try {
        ado::setup::initialize(ado::setup::embeddedConnectionString(path), true);
        ADD_FAILURE() << "loaded into a clashing table";
    } catch (const ado::setup::SetupError& e) {
        EXPECT_EQ(e.kind(), ado::setup::SetupError::Kind::Failed);
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("Statement ")))
            << e.description().toStdString();
    }
    SqliteFile db(path);
    const auto tables = db.rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables[0][0].toString(), QStringLiteral("LP14_CAMPI"));

    // A new file is removed again when the setup fails.
    try {
        ado::setup::initialize(QStringLiteral("Provider=Embedded;Data Source=") + dir.path(), false);
        ADD_FAILURE() << "used a directory";
    } catch (const ado::setup::SetupError& e) {
        EXPECT_EQ(e.kind(), ado::setup::SetupError::Kind::Connection);
    }
}
