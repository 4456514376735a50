// The explanations of the server's messages: the header of a message read, the arguments of a
// server text found, the table consistent with the engine's texts and translated, and the names of
// the SQL form put back as the user wrote them.
#include "check/ServerMessageTexts.h"

#include "host/TranslationService.h"
#include "language/Dictionary.h"
#include "language/PositionMap.h"
#include "tsql/base/Messages.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

// Readable texts in the failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

using check::ServerMessage;

const QString CategoryStandIn =
    language::Dictionary::entry(language::Dictionary::CategoryPlaceholderEntry).variable;

TEST(ServerMessages, HeaderIsRead) {
    struct Case {
        QString message;
        std::optional<ServerMessage> expected;
    };
    const Case cases[] = {
        {QStringLiteral("Msg 8134, Level 16, State 1, Line 2: Divide by zero error encountered. (column 1)"),
         ServerMessage{8134, 16, 1, 2, 1, QStringLiteral("Divide by zero error encountered.")}},
        {QStringLiteral("Msg 102, Level 15, State 1, Line 12: Incorrect syntax near ')'."),
         ServerMessage{102, 15, 1, 12, 0, QStringLiteral("Incorrect syntax near ')'.")}},
        // No line: the message of a whole batch.
        {QStringLiteral("Msg 3617, Level 25, State 1: Query timeout expired"),
         ServerMessage{3617, 25, 1, 0, 0, QStringLiteral("Query timeout expired")}},
        // "(column N)" only at the end counts.
        {QStringLiteral(
             "Msg 245, Level 16, State 1, Line 1: Conversion failed when converting the varchar value "
             "'(column 3)x' to data type int."),
         ServerMessage{
             245, 16, 1, 1, 0,
             QStringLiteral("Conversion failed when converting the varchar value '(column 3)x' to data "
                            "type int.")}},
        {QStringLiteral("La formula non risulta essere corretta."), std::nullopt},
        {QStringLiteral("Msg x, Level 16, State 1: text"), std::nullopt},
        {QString(), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        const std::optional<ServerMessage> got = check::parseServerMessage(c.message);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (!got)
            continue;
        EXPECT_EQ(got->number, c.expected->number);
        EXPECT_EQ(got->level, c.expected->level);
        EXPECT_EQ(got->state, c.expected->state);
        EXPECT_EQ(got->line, c.expected->line);
        EXPECT_EQ(got->column, c.expected->column);
        EXPECT_EQ(got->text, c.expected->text);
    }
}

TEST(ServerMessages, ArgumentsAreReadAgainstTheEngineTexts) {
    struct Case {
        int number;
        QString text;
        std::optional<QStringList> args;
    };
    const Case cases[] = {
        {102, QStringLiteral("Incorrect syntax near ','."), QStringList{QStringLiteral(",")}},
        // An argument that itself holds the text around it.
        {102, QStringLiteral("Incorrect syntax near ''.'."), QStringList{QStringLiteral("'.")}},
        {137, QStringLiteral("Must declare the scalar variable \"@OUTPREZZO\"."),
         QStringList{QStringLiteral("@OUTPREZZO")}},
        {245, QStringLiteral("Conversion failed when converting the varchar value 'abc' to data type int."),
         QStringList{QStringLiteral("varchar"), QStringLiteral("abc"), QStringLiteral("int")}},
        // Two texts share the number: the one of the text's form answers.
        {195, QStringLiteral("'FOO' is not a recognized SET option."), QStringList{QStringLiteral("FOO")}},
        {8134, QStringLiteral("Divide by zero error encountered."), QStringList{}},
        {8134, QStringLiteral("Something else."), std::nullopt},
        {102, QStringLiteral("Incorrect syntax near"), std::nullopt},
        {999999, QStringLiteral("Anything."), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(check::messageArguments(c.number, c.text), c.args);
    }
}

TEST(ServerMessages, ExplanationsInItalian) {
    struct Case {
        int number;
        QString text;
        QString expected;
    };
    const Case cases[] = {
        {8134, QStringLiteral("Divide by zero error encountered."), QStringLiteral("Divisione per zero.")},
        {102, QStringLiteral("Incorrect syntax near ','."),
         QStringLiteral("Sintassi non corretta vicino a ','.")},
        {245, QStringLiteral("Conversion failed when converting the varchar value 'abc' to data type int."),
         QStringLiteral("Il valore 'abc' (varchar) non si converte nel tipo int.")},
        // An argument's own %1 stays as it is.
        {102, QStringLiteral("Incorrect syntax near '%2'."),
         QStringLiteral("Sintassi non corretta vicino a '%2'.")},
        // No row for the number, or a text whose arguments cannot be read: no explanation.
        {50000, QStringLiteral("Custom error."), QString()},
        {102, QStringLiteral("Some other wording."), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check::explainMessage(c.number, c.text, {}), c.expected) << c.text.toStdString();
}

// Every row's arguments exist in every engine text of its number, the numbers are distinct and
// the table holds the forty most frequent at least.
TEST(ServerMessages, TableAgreesWithTheEngine) {
    const QList<check::MessageExplanation>& table = check::messageExplanations();
    EXPECT_GE(table.size(), 40);
    QSet<int> numbers;
    static const QRegularExpression placeholder(QStringLiteral("%([1-9])"));
    for (const check::MessageExplanation& row : table) {
        SCOPED_TRACE(row.number);
        EXPECT_FALSE(numbers.contains(row.number));
        numbers.insert(row.number);
        int highest = 0;
        for (auto it = placeholder.globalMatch(QString::fromUtf8(row.italian)); it.hasNext();)
            highest = std::max(highest, it.next().captured(1).toInt());
        bool known = false;
        for (const tsql::MessageDef& def : tsql::kMessages) {
            if (def.number != row.number)
                continue;
            known = true;
            EXPECT_LE(highest, tsql::placeholderCount(def.text));
        }
        if (!known) {
            EXPECT_EQ(highest, 0) << "a number the engine does not raise cannot read arguments";
        }
    }
    for (const int frequent : {102, 105, 137, 156, 207, 208, 245, 512, 515, 8114, 8115, 8134})
        EXPECT_TRUE(numbers.contains(frequent)) << frequent;
}

QMap<QString, QString> readCatalogue(const QString& path) {
    QMap<QString, QString> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == QLatin1String("translation"))
            out.insert(source, xml.readElementText());
    }
    return out;
}

TEST(ServerMessages, EveryTextHasAnEnglishEntry) {
    const QMap<QString, QString> en =
        readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/servermessages_en.ts"));
    for (const QString& text : check::serverMessageTexts())
        EXPECT_FALSE(en.value(text).isEmpty()) << text.toStdString();
}

TEST(ServerMessages, DescriptionPutsThePlaceInWordsAndKeepsTheServerText) {
    struct Case {
        QString message;
        int line;
        int column;
        QString expected;
    };
    const QString divide =
        QStringLiteral("Msg 8134, Level 16, State 1, Line 2: Divide by zero error encountered. (column 1)");
    const Case cases[] = {
        {divide, -1, -1,
         QStringLiteral(
             "Riga 2, colonna 1: Divisione per zero. (Msg 8134: Divide by zero error encountered.)")},
        // The formula's own line instead of the batch's; no column.
        {divide, 1, 0,
         QStringLiteral("Riga 1: Divisione per zero. (Msg 8134: Divide by zero error encountered.)")},
        {divide, 0, 0, QStringLiteral("Divisione per zero. (Msg 8134: Divide by zero error encountered.)")},
        // No explanation: the server's text with its number.
        {QStringLiteral("Msg 50000, Level 16, State 1, Line 3: Own error."), -1, -1,
         QStringLiteral("Riga 3: Own error. (Msg 50000)")},
        {QStringLiteral("Not a server message"), -1, -1, QStringLiteral("Not a server message")},
        // A "%1" in the server's text stays as it is.
        {QStringLiteral("Msg 50000, Level 16, State 1, Line 1: 100%1 %2 done."), -1, -1,
         QStringLiteral("Riga 1: 100%1 %2 done. (Msg 50000)")},
        {QStringLiteral("Msg 102, Level 15, State 1, Line 1: Incorrect syntax near '%3'."), -1, -1,
         QStringLiteral(
             "Riga 1: Sintassi non corretta vicino a '%3'. (Msg 102: Incorrect syntax near '%3'.)")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check::describeServerMessage(c.message, {}, {}, c.line, c.column), c.expected);
}

TEST(ServerMessages, EnglishThroughTheTranslationService) {
    host::TranslationService service;
    ASSERT_GT(service.load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en")), 0);
    const auto tr = [&](const QString& s) { return service.Traduci(s); };
    EXPECT_EQ(
        check::describeServerMessage(
            QStringLiteral(
                "Msg 8134, Level 16, State 1, Line 2: Divide by zero error encountered. (column 1)"),
            tr),
        QStringLiteral("Line 2, column 1: Division by zero. (Msg 8134: Divide by zero error encountered.)"));
    // An explanation that is the server's text itself is not said twice.
    EXPECT_EQ(
        check::describeServerMessage(
            QStringLiteral("Msg 102, Level 15, State 1, Line 1: Incorrect syntax near ','. (column 9)"), tr),
        QStringLiteral("Line 1, column 9: Incorrect syntax near ','. (Msg 102)"));
}

TEST(ServerMessages, VariablesBecomeTheLabelsTheUserWrote) {
    const check::DisplayNames names({});
    struct Case {
        QString text;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("Must declare the scalar variable \"@OUTPREZZO\"."),
         QStringLiteral("Must declare the scalar variable \"[Prezzo lordo]\".")},
        {QStringLiteral("near '@attprezzo'"), QStringLiteral("near '[Prezzo lordo - CURR]'")},
        // Whole names only: a longer or an unknown variable, an address, stay.
        {QStringLiteral("@OUTPREZZOX and @NOSUCH"), QStringLiteral("@OUTPREZZOX and @NOSUCH")},
        {QStringLiteral("mail@OUTPREZZO"), QStringLiteral("mail@OUTPREZZO")},
        {QString(), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names.apply(c.text), c.expected);
}

TEST(ServerMessages, StandInsBecomeTheReferenceTheyReplaced) {
    // "SET [Prezzo lordo] = {C01 - Colore}" in check mode: the label and the category replaced.
    const QString display = QStringLiteral("SET [Prezzo lordo] = {C01 - Colore}");
    QString sql = display;
    language::PositionMap map;
    const qsizetype label = sql.indexOf(u'[');
    sql.replace(label, 14, QStringLiteral("@OUTPREZZO"));
    map.apply(label, 14, 10);
    const qsizetype category = sql.indexOf(u'{');
    sql.replace(category, 14, CategoryStandIn);
    map.apply(category, 14, CategoryStandIn.size());
    check::DisplayNames names({});
    const QString message = QStringLiteral("Operand type clash: %1 is incompatible with @OUTPREZZO");
    // Before the translation is known the stand-in reads as the label of its entry.
    EXPECT_FALSE(names.apply(message.arg(CategoryStandIn)).contains(QStringLiteral("{C01")));
    names.setTranslation(display, sql, map);
    EXPECT_EQ(names.apply(message.arg(CategoryStandIn)),
              QStringLiteral("Operand type clash: {C01 - Colore} is incompatible with [Prezzo lordo]"));
    // A stand-in the formula wrote as its own label keeps the label.
    check::DisplayNames plain({});
    plain.setTranslation(QStringLiteral("SET ") + CategoryStandIn, QStringLiteral("SET ") + CategoryStandIn,
                         language::PositionMap());
    EXPECT_EQ(plain.apply(CategoryStandIn), check::DisplayNames({}).apply(CategoryStandIn));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
