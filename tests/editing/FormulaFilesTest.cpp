// The formula files of an export: names, the header written and read back, the manifest.

#include "editing/FormulaFiles.h"
#include "editing/FormulaHistory.h"

#include <gtest/gtest.h>

namespace {

namespace files = editing::formulafiles;
using editing::FileProblem;
using editing::FormulaFileHeader;

TEST(FormulaFiles, SafeNames) {
    struct Case {
        QString description;
        QString name;
    };
    const Case cases[] = {
        {QStringLiteral("Listino 12"), QStringLiteral("Listino_12")},
        {QStringLiteral("Qualità / prezzo"), QStringLiteral("Qualita_prezzo")},
        {QStringLiteral("  a--b__c  "), QStringLiteral("a--b__c")},
        {QStringLiteral("--x--"), QStringLiteral("x")},
        {QStringLiteral("日本語の価格"), QString()},
        {QStringLiteral("Цена 5"), QStringLiteral("5")},
        {QStringLiteral("a\tb\nc/../d"), QStringLiteral("a_b_c_d")},
        {QString(), QString()},
        {QString(60, u'x'), QString(files::MaxNamePart, u'x')},
        {QString(47, u'x') + QStringLiteral(" y"), QString(47, u'x')},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(files::safeName(c.description), c.name) << c.description.toStdString();
        EXPECT_LE(files::safeName(c.description).size(), files::MaxNamePart);
    }
    EXPECT_EQ(files::relativePath(0, 12, QStringLiteral("Listino 12")),
              QStringLiteral("0/12-Listino_12.sql"));
    EXPECT_EQ(files::relativePath(2, 5, QStringLiteral("€")), QStringLiteral("2/5.sql"));
}

TEST(FormulaFiles, FilesReadBackAsWritten) {
    const QString sql = QStringLiteral("SET @OUTPREZZO = 'a''b'  ");
    struct Case {
        QString display;
        std::optional<QString> exact;
    };
    const Case cases[] = {
        {QStringLiteral("SET [Prezzo lordo] = 10"), std::nullopt},
        {QString(), sql},
        {QStringLiteral("a\r\nb\r\n"), std::nullopt},
        {QStringLiteral("\n\nx\n\n"), std::nullopt},
        // A formula whose first line looks like a header line stays the formula.
        {QStringLiteral("-- sql-base64: QQ==\nx"), std::nullopt},
        {QStringLiteral("-- hash: x"), sql},
        {QStringLiteral("prezzo € 日本 \t "), QStringLiteral("é\n'x'")},
    };
    for (const Case& c : cases) {
        const FormulaFileHeader header{.context = 1,
                                       .id = 123456789012LL,
                                       .version = 7,
                                       .hash = editing::formulaHash(c.exact.value_or(sql)),
                                       .exactSql = c.exact};
        const QString text = files::fileText(header, c.display);
        FileProblem problem;
        const auto parsed = files::parseFile(text, &problem);
        ASSERT_TRUE(parsed) << problem.line << ' ' << problem.message.toStdString();
        EXPECT_EQ(parsed->header, header);
        EXPECT_EQ(parsed->display, c.display);
    }
    EXPECT_EQ(files::fileText({.context = 0, .id = 12, .version = 3, .hash = QString(64, u'a')},
                              QStringLiteral("x")),
              QStringLiteral("-- formule export 1\n-- context: 0\n-- id: 12\n-- version: 3\n-- hash: ") +
                  QString(64, u'a') + QStringLiteral("\n\nx\n"));
}

TEST(FormulaFiles, DamagedHeadersNameTheirLine) {
    const QString hash = editing::formulaHash(QStringLiteral("x"));
    const QString good =
        QStringLiteral("-- formule export 1\n-- context: 0\n-- id: 12\n-- version: 3\n-- hash: ") + hash +
        u'\n';
    struct Case {
        QString text;
        int line;
        QString message;
    };
    const Case cases[] = {
        {QString(), 1, editing::filesmsg::NotFormulaFile},
        {QStringLiteral("SET x = 1\n"), 1, editing::filesmsg::NotFormulaFile},
        {QStringLiteral("-- formule export 2\n"), 1, editing::filesmsg::NotFormulaFile},
        {QStringLiteral("-- formule export 1\n"), 2,
         editing::filesmsg::MissingKey.arg(QStringLiteral("context"))},
        {QStringLiteral("-- formule export 1\n-- context: 3\n"), 2,
         editing::filesmsg::BadValue.arg(QStringLiteral("context"))},
        {QStringLiteral("-- formule export 1\n-- context: 0\n-- id: -1\n"), 3,
         editing::filesmsg::BadValue.arg(QStringLiteral("id"))},
        {QStringLiteral("-- formule export 1\n-- context: 0\n-- id: 1234567890123456789\n"), 3,
         editing::filesmsg::BadValue.arg(QStringLiteral("id"))},
        {QStringLiteral("-- formule export 1\n-- context: 0\n-- version: 3\n"), 3,
         editing::filesmsg::MissingKey.arg(QStringLiteral("id"))},
        {QStringLiteral("-- formule export 1\n-- context: 0\n-- id: 1\n-- version: 9999999999\n"), 4,
         editing::filesmsg::BadValue.arg(QStringLiteral("version"))},
        {QStringLiteral("-- formule export 1\n-- context: 0\n-- id: 1\n-- version: 1\n-- hash: ABC\n"), 5,
         editing::filesmsg::BadValue.arg(QStringLiteral("hash"))},
        {good, 6, editing::filesmsg::NoHeaderEnd},
        {good + QStringLiteral("x\n"), 6, editing::filesmsg::NoHeaderEnd},
        {good + QStringLiteral("-- sql-base64: !!\n\nx\n"), 6,
         editing::filesmsg::BadValue.arg(QStringLiteral("sql-base64"))},
        {good + QStringLiteral("-- sql-base64: eQ==\n\nx\n"), 6, editing::filesmsg::HashMismatch},
        {good + QStringLiteral("-- sql-base64: eA==\nx\n"), 7, editing::filesmsg::NoHeaderEnd},
    };
    for (const Case& c : cases) {
        FileProblem problem;
        EXPECT_FALSE(files::parseFile(c.text, &problem)) << c.text.toStdString();
        EXPECT_EQ(problem.line, c.line) << c.text.toStdString();
        EXPECT_EQ(problem.message, c.message) << c.text.toStdString();
    }
}

TEST(FormulaFiles, ManifestIsSortedAndReadBack) {
    const QString h = QString(64, u'0');
    const QList<editing::ManifestEntry> entries{
        {2, 1, QStringLiteral("2/1.sql"), 1, h},
        {0, 100, QStringLiteral("0/100-b.sql"), 0, h},
        {0, 9, QStringLiteral("0/9-a.sql"), 4, h},
    };
    const QString text = files::manifestText(entries);
    EXPECT_EQ(text, QStringLiteral("context\tid\tfile\tversion\thash\n0\t9\t0/9-a.sql\t4\t%1\n"
                                   "0\t100\t0/100-b.sql\t0\t%1\n2\t1\t2/1.sql\t1\t%1\n")
                        .arg(h));
    FileProblem problem;
    const auto back = files::parseManifest(text, &problem);
    ASSERT_TRUE(back);
    EXPECT_EQ(files::manifestText(*back), text);

    const QString head = QStringLiteral("context\tid\tfile\tversion\thash\n");
    struct Bad {
        QString text;
        int line;
    };
    const Bad bad[] = {
        {QString(), 1},
        {QStringLiteral("x\n"), 1},
        {head + QStringLiteral("0\t1\t../x.sql\t1\t") + h, 2},
        {head + QStringLiteral("0\t1\t/etc/x.sql\t1\t") + h, 2},
        {head + QStringLiteral("0\t1\ta\\x.sql\t1\t") + h, 2},
        {head + QStringLiteral("0\t1\t0/1.sql\t1\t") + h + QStringLiteral("\n3\t1\t3/1.sql\t1\t") + h, 3},
        {head + QStringLiteral("0\t1\t0/1.sql\t1"), 2},
    };
    for (const Bad& b : bad) {
        EXPECT_FALSE(files::parseManifest(b.text, &problem)) << b.text.toStdString();
        EXPECT_EQ(problem.line, b.line) << b.text.toStdString();
    }
}

} // namespace
