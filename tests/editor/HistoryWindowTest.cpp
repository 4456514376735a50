// The window's saves keep their versions in the formula's history, as the tool's do.

#include "EditorFixture.h"

#include "editing/FormulaHistory.h"

namespace {

using namespace editortest;
using editor::FRMLP_FORMULE;

TEST_F(Editor, SavesOfTheWindowAppendVersionsNamingTheHostUser) {
    global.Settings()->User()->setName(QStringLiteral("mrossi"));
    ado::Connection c;
    c.Open(connectionString);
    const QString held = c.Execute(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = 1"))
                             ->GetFields()
                             .Item(0)
                             .Value()
                             .toString();
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    for (const char* text : {"SET [Prezzo lordo] = 7", "SET [Prezzo lordo] = 8"}) {
        ui(w).TXT_FORMULA->SetText(QString::fromUtf8(text));
        QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    }
    const QList<editing::FormulaVersion> versions = editing::FormulaHistory(c).list(0, 1);
    ASSERT_EQ(versions.size(), 3);
    const struct {
        int version;
        QString sqlForm;
    } expected[] = {
        {3, QStringLiteral("SET @OUTPREZZO = 8")}, {2, QStringLiteral("SET @OUTPREZZO = 7")}, {1, held}};
    for (qsizetype i = 0; i < versions.size(); ++i) {
        EXPECT_EQ(versions.at(i).version, expected[i].version);
        EXPECT_EQ(versions.at(i).sqlForm, expected[i].sqlForm);
        EXPECT_EQ(versions.at(i).origin, QStringLiteral("window"));
        EXPECT_EQ(versions.at(i).user, QStringLiteral("mrossi"));
        EXPECT_EQ(versions.at(i).comment, QString());
        EXPECT_EQ(versions.at(i).hash, editing::formulaHash(expected[i].sqlForm));
    }
    // The clear of the window is a NULL version.
    responder.setFallback(host::answer::Yes);
    QTest::mouseClick(ui(w).IMG_CLEAR, Qt::LeftButton);
    const std::optional<editing::FormulaVersion> cleared = editing::FormulaHistory(c).load(0, 1, 4);
    ASSERT_TRUE(cleared.has_value());
    EXPECT_EQ(cleared->sqlForm, std::nullopt);
    EXPECT_EQ(cleared->hash, QString());
}

} // namespace
