#include "editing/FormulaStore.h"
#include "TestDatabase.h"
#include "tables/FormulaTables.h"

#include <gtest/gtest.h>

namespace {

using checktest::TestDatabase;
using core::StringTextBox;
using editing::FormulaStore;

struct Shown {
    QString prompt;
    int code;
    QString title;
};

const QString SaveAnywayPrompt =
    QStringLiteral("Attenzione!\r\nLa formula non risulta essere corretta.\r\nDesideri salvarla comunque?");

// A save of a formula box with a check of a fixed outcome, a message box that answers
// `reply` and records its questions, and an error answer that records and answers `errorReply`.
struct Saver {
    Saver(ado::Connection* connection, int recordContext, core::Variant recordId)
        : m_connection(connection)
        , context(recordContext)
        , id(std::move(recordId)) {}

    core::FunctionServices host{{
        .connection = [this] { return m_connection; },
        .translate = {},
        .messageBox =
            [this](const QString& p, int c, const QString& t) {
                shown.append({p, c, t});
                return reply;
            },
        .errorAnswer =
            [this](const QString& procedure, const core::ErrorInfo& error) {
                errors << procedure + QStringLiteral(": ") + error.description;
                return errorReply;
            },
        .context = [this] { return context; },
        .id = [this] { return id; },
    }};

    FormulaStore::Options options() {
        return {.checkFormula = [this](bool showMessage) {
            ++checks;
            EXPECT_FALSE(showMessage);
            return checkPasses ? core::Variant::fromBool(true) : core::Variant();
        }};
    }

    ado::Connection* m_connection;
    int context;
    core::Variant id;
    bool checkPasses = true;
    int reply = check::answer::No;
    int errorReply = 3;
    int checks = 0;
    QList<Shown> shown;
    QStringList errors;
    StringTextBox box;
    FormulaStore store{box, host, options()};
};

TEST(FormulaStore, StatementsOfTheThreeContexts) {
    struct Case {
        int context;
        bool withFormula;
        const char* statement;
    };
    const Case cases[] = {
        {0, true, "UPDATE LP01_PROVIDER SET LP01_FORMULE = 'SET @OUTPREZZO = 25' WHERE LP01_ID = 12"},
        {0, false, "UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 12"},
        {1, true, "UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'SET @OUTPREZZO = 25' WHERE LP07_ID = 12"},
        {1, false, "UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL WHERE LP07_ID = 12"},
        {2, true, "UPDATE LP17_FORMULEMANUT  SET LP17_FORMULA = 'SET @OUTPREZZO = 25' WHERE LP17_ID = 12"},
        {2, false, "UPDATE LP17_FORMULEMANUT  SET LP17_FORMULA = NULL WHERE LP17_ID = 12"},
    };
    for (const Case& c : cases) {
        const auto built = tables::formulaUpdateStatement(
            c.context,
            c.withFormula ? std::optional<QString>(QStringLiteral("SET @OUTPREZZO = 25")) : std::nullopt,
            QStringLiteral("12"));
        ASSERT_TRUE(built.has_value());
        EXPECT_EQ(*built, QString::fromLatin1(c.statement));

        // The same statement through the save, which also writes it.
        TestDatabase db;
        Saver s(db.connection.get(), c.context, core::Variant::fromInt32(12));
        s.box.setText(c.withFormula ? QStringLiteral("SET @OUTPREZZO = 25   ") : QStringLiteral("   "));
        s.store.UpdateFormula();
        EXPECT_EQ(s.store.SqlText(), QString::fromLatin1(c.statement));
        EXPECT_TRUE(s.errors.isEmpty()) << s.errors.join(u'\n').toStdString();
        EXPECT_TRUE(s.shown.isEmpty());
        const QVariant stored = db.formula(c.context, 12);
        if (c.withFormula)
            EXPECT_EQ(stored.toString(), QStringLiteral("SET @OUTPREZZO = 25"));
        else
            EXPECT_TRUE(stored.isNull()) << stored.toString().toStdString();
    }
}

TEST(FormulaStore, OtherContextsHaveNoStatement) {
    EXPECT_FALSE(tables::formulaUpdateStatement(3, QStringLiteral("x"), QStringLiteral("1")).has_value());
    EXPECT_FALSE(tables::formulaUpdateStatement(-1, std::nullopt, QStringLiteral("1")).has_value());
    EXPECT_FALSE(tables::formulaSelectStatement(3, QStringLiteral("1")).has_value());

    TestDatabase db;
    const QString before = db.dump();
    Saver s(db.connection.get(), 3, core::Variant::fromInt32(12));
    s.box.setText(QStringLiteral("SET @OUTPREZZO = 25"));
    s.store.UpdateFormula();
    ASSERT_EQ(s.errors.size(), 1);
    EXPECT_TRUE(s.errors[0].startsWith(QStringLiteral("UpdateFormula: ")));
    EXPECT_EQ(db.dump(), before);
    EXPECT_FALSE(s.store.lastWritten());
}

TEST(FormulaStore, StoredValueIsExactlyTheSqlForm) {
    QString longText;
    while (longText.size() < 32000)
        longText += QStringLiteral("IF @MG66_FAM_MG53 = 'MPRI' SET @OUTPREZZO = @ATTPREZZO * 1.1\r\n");
    longText.truncate(32000);
    longText = longText.trimmed();
    while (longText.size() < 32000)
        longText += u'x';
    const QString texts[] = {
        QStringLiteral("IF @MG66_FAM_MG53 = 'ABC' SET @OUTPREZZO = 1"),
        QStringLiteral("SET @OUTPREZZO = 1 -- it's ''quoted'' '"),
        QStringLiteral("SET @OUTPREZZO = 1\r\nSET @OUTSC1PERC = 2\r\n\r\nSET @OUTSC2PERC = 3"),
        QStringLiteral("  leading blanks stay"),
        QStringLiteral("SET @DO11_DOCUM_MG36 = N'Ωμέγα 日本語 Привет ąčę €'"),
        longText,
    };
    for (const QString& text : texts) {
        TestDatabase db;
        Saver s(db.connection.get(), 0, core::Variant::fromInt32(13));
        s.box.setText(text);
        s.store.UpdateFormula();
        ASSERT_TRUE(s.errors.isEmpty()) << s.errors.join(u'\n').toStdString();
        EXPECT_TRUE(s.store.lastWritten());
        const QVariant stored = db.formula(0, 13);
        EXPECT_EQ(stored.toString().size(), text.size());
        EXPECT_EQ(stored.toString(), text) << text.left(80).toStdString();
        EXPECT_EQ(s.store.SqlText().count(QStringLiteral("'")), text.count(u'\'') * 2 + 2);
    }
}

TEST(FormulaStore, ApostrophesAreDoubledInTheStatement) {
    TestDatabase db;
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(13));
    s.box.setText(QStringLiteral("IF @MG66_FAM_MG53 = 'ABC' SET @OUTPREZZO = 1"));
    s.store.UpdateFormula();
    EXPECT_EQ(s.store.SqlText(),
              QStringLiteral(
                  "UPDATE LP01_PROVIDER SET LP01_FORMULE = 'IF @MG66_FAM_MG53 = ''ABC'' SET @OUTPREZZO = "
                  "1' WHERE LP01_ID = 13"));
}

TEST(FormulaStore, FailingFormulaAnsweredNoWritesNothing) {
    TestDatabase db;
    const QString before = db.dump();
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(12));
    s.checkPasses = false;
    s.reply = check::answer::No;
    s.box.setText(QStringLiteral("SET @PIPPO = 1"));
    s.store.UpdateFormula();
    ASSERT_EQ(s.shown.size(), 1);
    EXPECT_EQ(s.shown[0].prompt, SaveAnywayPrompt);
    EXPECT_EQ(s.shown[0].code, 308);
    EXPECT_EQ(s.shown[0].title, QStringLiteral("Controllo sintassi formula"));
    EXPECT_EQ(db.dump(), before);
    EXPECT_FALSE(s.store.lastWritten());
    EXPECT_TRUE(s.errors.isEmpty());
}

TEST(FormulaStore, FailingFormulaAnsweredYesIsWritten) {
    TestDatabase db;
    Saver s(db.connection.get(), 1, core::Variant::fromInt32(12));
    s.checkPasses = false;
    s.reply = check::answer::Yes;
    s.box.setText(QStringLiteral("SET @PIPPO = 1"));
    s.store.UpdateFormula();
    EXPECT_EQ(s.shown.size(), 1);
    EXPECT_EQ(db.formula(1, 12).toString(), QStringLiteral("SET @PIPPO = 1"));
    EXPECT_EQ(
        s.store.SqlText(),
        QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'SET @PIPPO = 1' WHERE LP07_ID = 12"));
}

TEST(FormulaStore, CorrectFormulaIsWrittenWithoutADialog) {
    TestDatabase db;
    Saver s(db.connection.get(), 2, core::Variant(QStringLiteral("12")));
    s.box.setText(QStringLiteral("SET @OUTPREZZO = 9"));
    s.store.UpdateFormula();
    EXPECT_TRUE(s.shown.isEmpty());
    EXPECT_EQ(s.checks, 1);
    EXPECT_EQ(db.formula(2, 12).toString(), QStringLiteral("SET @OUTPREZZO = 9"));
    EXPECT_EQ(s.box.text(), QStringLiteral("SET @OUTPREZZO = 9")); // the box is left as it was
}

TEST(FormulaStore, EmptyIdentifierSavesNothing) {
    const core::Variant ids[] = {core::Variant(), core::Variant::null(), core::Variant(QString()),
                                 core::Variant(QStringLiteral("   "))};
    for (const core::Variant& id : ids) {
        TestDatabase db;
        const QString before = db.dump();
        const qint64 sent = db.connection->statementCount();
        Saver s(db.connection.get(), 0, id);
        s.checkPasses = false;
        s.reply = check::answer::Yes;
        s.box.setText(QStringLiteral("SET @OUTPREZZO = 1"));
        s.store.UpdateFormula();
        EXPECT_TRUE(s.shown.isEmpty());
        EXPECT_EQ(s.checks, 0);
        EXPECT_TRUE(s.errors.isEmpty());
        EXPECT_EQ(db.connection->statementCount(), sent);
        EXPECT_EQ(db.dump(), before);
    }
}

TEST(FormulaStore, EmptyBoxWritesNullWithoutAQuestion) {
    TestDatabase db;
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(12));
    s.checkPasses = false;
    s.box.setText(QStringLiteral("     "));
    s.store.UpdateFormula();
    EXPECT_TRUE(s.shown.isEmpty());
    EXPECT_EQ(s.checks, 0);
    EXPECT_TRUE(db.formula(0, 12).isNull());
    EXPECT_EQ(s.store.SqlText(),
              QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 12"));
}

TEST(FormulaStore, SavingTranslatesInNormalMode) {
    TestDatabase db;
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(13));
    FormulaStore::Options services = s.options();
    QList<bool> modes;
    services.decode = [&](const QString& text, bool checkMode) {
        modes << checkMode;
        QString sql = text;
        return check::Translation{
            sql.replace(QStringLiteral("[Prezzo lordo]"), QStringLiteral("@OUTPREZZO"))};
    };
    FormulaStore store(s.box, s.host, services);
    s.box.setText(QStringLiteral("SET [Prezzo lordo] = 'it''s'  "));
    store.UpdateFormula();
    EXPECT_EQ(modes, QList<bool>({false}));
    EXPECT_EQ(db.formula(0, 13).toString(), QStringLiteral("SET @OUTPREZZO = 'it''s'"));
}

TEST(FormulaStore, TranslationThatGivesUpWritesNothing) {
    TestDatabase db;
    const QString before = db.dump();
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(12));
    FormulaStore::Options services = s.options();
    services.decode = [](const QString&, bool) { return check::Translation{}; };
    FormulaStore store(s.box, s.host, services);
    s.box.setText(QStringLiteral("SET [Prezzo lordo] = 1"));
    store.UpdateFormula();
    EXPECT_EQ(db.dump(), before);
    EXPECT_FALSE(store.lastWritten());
}

TEST(FormulaStore, RejectedStatementGoesToTheErrorAnswer) {
    TestDatabase db;
    db.connection->Close();
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(12));
    s.box.setText(QStringLiteral("SET @OUTPREZZO = 1"));
    s.store.UpdateFormula();
    ASSERT_EQ(s.errors.size(), 1);
    EXPECT_TRUE(s.errors[0].startsWith(QStringLiteral("UpdateFormula: ")));
    EXPECT_FALSE(s.store.lastWritten());
}

TEST(FormulaStore, RetryRunsTheFailedStepAgain) {
    TestDatabase db;
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(13));
    FormulaStore::Options services = s.options();
    int calls = 0;
    s.host.f.connection = [&]() -> ado::Connection* { return ++calls == 1 ? nullptr : db.connection.get(); };
    s.errorReply = 4;
    FormulaStore store(s.box, s.host, services);
    s.box.setText(QStringLiteral("SET @OUTPREZZO = 4"));
    store.UpdateFormula();
    EXPECT_EQ(s.errors.size(), 1);
    EXPECT_EQ(db.formula(0, 13).toString(), QStringLiteral("SET @OUTPREZZO = 4"));
}

TEST(FormulaStore, IdentifierThatIsNoNumberWritesNothing) {
    TestDatabase db;
    const QString before = db.dump();
    Saver s(db.connection.get(), 0, core::Variant(QStringLiteral("abc")));
    s.errorReply = 5; // ignore: the statement is not built, so nothing is executed
    s.box.setText(QStringLiteral("SET @OUTPREZZO = 1"));
    s.store.UpdateFormula();
    EXPECT_EQ(s.errors.size(), 1);
    EXPECT_EQ(db.dump(), before);
}

TEST(FormulaStore, ClearAnsweredNoChangesNothing) {
    TestDatabase db;
    const QString before = db.dump();
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(12));
    s.reply = check::answer::No;
    s.box.setText(QStringLiteral("SET @OUTPREZZO = 1"));
    EXPECT_FALSE(s.store.clickClear());
    ASSERT_EQ(s.shown.size(), 1);
    EXPECT_EQ(s.shown[0].prompt, QStringLiteral("Confermi l'eliminazione della formula?"));
    EXPECT_EQ(s.shown[0].code, 324);
    EXPECT_EQ(s.shown[0].title, QStringLiteral("Informazione"));
    EXPECT_EQ(s.box.text(), QStringLiteral("SET @OUTPREZZO = 1"));
    EXPECT_EQ(db.dump(), before);
}

TEST(FormulaStore, ClearAnsweredYesEmptiesTheBoxAndWritesNull) {
    TestDatabase db;
    Saver s(db.connection.get(), 2, core::Variant::fromInt32(12));
    s.reply = check::answer::Yes;
    s.box.setText(QStringLiteral("SET @OUTPREZZO = 1"));
    EXPECT_TRUE(s.store.clickClear());
    EXPECT_EQ(s.shown.size(), 1);
    EXPECT_EQ(s.box.text(), QString());
    EXPECT_TRUE(db.formula(2, 12).isNull());
    EXPECT_EQ(s.store.SqlText(),
              QStringLiteral("UPDATE LP17_FORMULEMANUT  SET LP17_FORMULA = NULL WHERE LP17_ID = 12"));
}

TEST(FormulaStore, ClickSaveSaves) {
    TestDatabase db;
    Saver s(db.connection.get(), 0, core::Variant::fromInt32(13));
    s.box.setText(QStringLiteral("SET @OUTPREZZO = 5"));
    s.store.clickSave();
    EXPECT_EQ(db.formula(0, 13).toString(), QStringLiteral("SET @OUTPREZZO = 5"));
}

} // namespace
