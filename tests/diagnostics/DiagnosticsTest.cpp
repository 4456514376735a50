// The live diagnostics of a formula: unknown elements with their suggestions, the engine's
// verdict placed at line and column of the display form, labels in strings and comments.
#include "diagnostics/Diagnostics.h"
#include "diagnostics/ElementCatalog.h"
#include "diagnostics/Texts.h"
#include "language/PositionMap.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace diagnostics;

namespace {

const ElementCatalog& demoCatalog() {
    static const ElementCatalog catalog = ElementCatalog::withLists(
        {{"C01", "C01 - Colore"}, {"C02", "C02 - Altezza massima"}, {"C0003", "C0003 - Materiale esterno"}},
        {{"V01", "V01 - Colore scocca"}, {"V02", "V02 - Motorizzazione"}});
    return catalog;
}

QList<Diagnostic> analyse(const QString& text) {
    DiagnosticsEngine engine(demoCatalog());
    return engine.analyse(text);
}

QList<Diagnostic> errorsOf(const QList<Diagnostic>& all) {
    QList<Diagnostic> out;
    for (const Diagnostic& d : all)
        if (d.severity == Severity::Error)
            out.append(d);
    return out;
}

} // namespace

TEST(Diagnostics, UnknownLabelAtItsLineAndColumnWithTheNearestLabels) {
    const QString text = QStringLiteral("SET [Prezzo lordo] = 10\r\nSET [Sconto 1%] = [prezzo  lordo] * 2");
    const QList<Diagnostic> found = analyse(text);
    ASSERT_EQ(found.size(), 1);
    const Diagnostic& d = found.first();
    EXPECT_EQ(d.severity, Severity::Error);
    EXPECT_EQ(d.line, 2);
    EXPECT_EQ(d.column, 19);
    EXPECT_EQ(text.mid(d.offset, d.length), QStringLiteral("[prezzo  lordo]"));
    EXPECT_TRUE(d.message.contains(QStringLiteral("Forse: [Prezzo lordo]"))) << d.message.toStdString();
    EXPECT_EQ(formatDiagnostic(d).left(14), QStringLiteral("2:19: error: E"));
}

TEST(Diagnostics, AccentsAndCaseAreForgivenInSuggestions) {
    const QList<Diagnostic> found = analyse(QStringLiteral("SET [Prezzo lordo] = [PREZZO LÒRDO - curr]"));
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(found.first().message.contains(QStringLiteral("Forse: [Prezzo lordo - CURR]")))
        << found.first().message.toStdString();
}

TEST(Diagnostics, LabelsInStringsAndCommentsAreNoElements) {
    const QString text =
        QStringLiteral("SET [Prezzo lordo] = 1 -- [Prezzo lordox]\n"
                       "/* [ignoto] */ IF [Famiglia] = '[non un elemento]' SET [Sconto 1%] = 2");
    EXPECT_TRUE(errorsOf(analyse(text)).isEmpty());
}

TEST(Diagnostics, KnownLabelInAStringIsAWarningOnly) {
    const QList<Diagnostic> found = analyse(QStringLiteral("PRINT '[Prezzo lordo]'"));
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().severity, Severity::Warning);
    EXPECT_EQ(found.first().column, 8);
}

TEST(Diagnostics, UnknownCategoryAndVariant) {
    const QString text =
        QStringLiteral("IF {C01 - Colore} = 'A' AND {C09 - Colore} = 'B'\n"
                       "   AND |V01 - Colore scocca| = 'C' AND |V9 - Motore| = 'D' SET [Sconto 1%] = 1");
    const QList<Diagnostic> found = analyse(text);
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].line, 1);
    EXPECT_EQ(found[0].column, 29);
    EXPECT_TRUE(
        found[0].message.startsWith(QStringLiteral("Categoria inesistente per la ditta: {C09 - Colore}.")));
    EXPECT_TRUE(found[0].message.contains(QStringLiteral("{C01 - Colore}")));
    EXPECT_EQ(found[1].line, 2);
    EXPECT_EQ(found[1].column, text.indexOf(QStringLiteral("|V9")) - text.indexOf(u'\n'));
    EXPECT_TRUE(
        found[1].message.startsWith(QStringLiteral("Variante inesistente per la ditta: |V9 - Motore|.")));
}

TEST(Diagnostics, SyntaxErrorOnTheThirdLine) {
    const QString text = QStringLiteral("SET [Prezzo lordo] = 10\r\n"
                                        "IF [Famiglia] = 'MPRI'\r\n"
                                        "    SET [Sconto 1%] = = 5\r\n");
    const QList<Diagnostic> found = analyse(text);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().number, 102);
    EXPECT_EQ(found.first().line, 3);
    EXPECT_EQ(found.first().column, 23);
    EXPECT_EQ(text.mid(found.first().offset, found.first().length), QStringLiteral("="));
}

// References of different lengths on the line before the error each become one placeholder:
// only the map puts the engine's column back under the undeclared variable.
TEST(Diagnostics, EngineColumnIsMappedPastReferencesOfDifferentLengths) {
    const QString text = QStringLiteral(
        "IF {C01 - Colore} = 'A' AND {C0003 - Materiale esterno} = 'B' AND |V02 - Motorizzazione| = 'C' "
        "SET [Prezzo lordo - CURR] = @sconosciuta");
    const QList<Diagnostic> found = analyse(text);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().number, 137);
    EXPECT_EQ(found.first().column, text.indexOf(QStringLiteral("@sconosciuta")) + 1);
    EXPECT_EQ(found.first().length, 12);
}

TEST(Diagnostics, NothingRunsSoADivisionByZeroIsNoError) {
    EXPECT_TRUE(analyse(QStringLiteral("SET [Prezzo lordo] = 10 / 0")).isEmpty());
    EXPECT_TRUE(analyse(QStringLiteral("DELETE FROM LP01_PROVIDER")).isEmpty());
}

TEST(Diagnostics, UnknownLabelIsReportedOnceNotAgainAsEngineError) {
    const QList<Diagnostic> found = analyse(QStringLiteral("SET [Prezzo lordo] = [Prezo lordo]"));
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().number, 0);
}

TEST(Diagnostics, MessagesGoThroughTheTranslation) {
    DiagnosticsEngine engine(demoCatalog(), [](const QString& s) {
        return s == msg::UnknownLabel ? QStringLiteral("Unknown label %1.") : s;
    });
    const QList<Diagnostic> found = engine.analyse(QStringLiteral("SET [xyz] = 1"));
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().message, QStringLiteral("Unknown label [xyz]."));
}

TEST(Diagnostics, ServerLineWithoutColumnMarksTheLine) {
    language::PositionMap map;
    Diagnostic d;
    const QString display = QStringLiteral("SET [Prezzo lordo] = 1\r\nSET [Sconto 1%] = 2");
    placeInDisplay(d, 141, 0, display, display, map, 139);
    EXPECT_EQ(d.line, 2);
    EXPECT_EQ(d.column, 0);
}

TEST(TextLines, CrLfIsOneLineBreakAndColumnsCountCharacters) {
    const QString text = QStringLiteral("ab\r\nc\U0001F600d\nx");
    const TextLines lines(text);
    EXPECT_EQ(lines.lineCount(), 3);
    EXPECT_EQ(lines.lineOf(text.indexOf(u'd')), 2);
    EXPECT_EQ(lines.columnOf(text.indexOf(u'd')), 3);
    EXPECT_EQ(lines.lineOf(text.indexOf(u'x')), 3);
}
