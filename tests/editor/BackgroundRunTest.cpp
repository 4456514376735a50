// The editor while a batch runs: the check, the save's silent check and the trial run go to a
// worker, the window answers clicks and paints meanwhile, what would start another run is locked,
// "Interrompi" stops an endless loop, and a close stops the run before the window goes.
#include "EditorFixture.h"

#include "check/Messages.h"
#include "check/Services.h"
#include "editor/BackgroundRun.h"
#include "editor/TrialPanel.h"
#include "host/UserSettings.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <QThread>

#include <atomic>
#include <functional>

namespace {

using namespace editortest;

const QString Endless = QStringLiteral("WHILE 1 = 1\r\n  SET [Prezzo lordo] = [Prezzo lordo - CURR] + 1");
const QString NotCorrect = QStringLiteral("Attenzione!\r\nLa formula non risulta essere corretta.");
const QString SaveAnyway =
    QStringLiteral("Attenzione!\r\nLa formula non risulta essere corretta.\r\nDesideri salvarla comunque?");

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

class Running : public Editor {
protected:
    void SetUp() override {
        Editor::SetUp();
        // The trial panel remembers its state in the user's settings: the test's own file.
        global.Settings()->User()->setFileName(dir.filePath(QStringLiteral("user.ini")));
    }
    FRMLP_FORMULE& openWith(const QString& formula) {
        FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
        run().setBusyDelay(0); // the indicator at once: the test acts when it shows
        ui(w).TXT_FORMULA->SetText(formula);
        return w;
    }
    editor::BackgroundRun& run() { return *window->backgroundRun(); }

    // While the batch runs (the busy indicator has shown): `during`, then "Interrompi" when
    // `stop`. Returns after the action that started the run has returned.
    void whileRunning(const std::function<void()>& start, const std::function<void()>& during,
                      bool stop = true) {
        bool shown = false;
        const QMetaObject::Connection c = QObject::connect(&run(), &editor::BackgroundRun::busyShown, [&] {
            shown = true;
            EXPECT_TRUE(run().running());
            during();
            if (stop && run().running())
                QTest::mouseClick(run().stopButton(), Qt::LeftButton);
        });
        start();
        QObject::disconnect(c);
        EXPECT_TRUE(shown) << "the run ended before its indicator showed";
        EXPECT_FALSE(run().running());
    }

    // Clicks a node of the tree and makes the window paint; true when both were handled while
    // the batch runs.
    bool windowAnswers() {
        QTreeWidget* tree = ui(*window).TVW_FIELDS;
        QTreeWidgetItem* item = tree->topLevelItem(tree->topLevelItemCount() - 1);
        if (item == nullptr || tree->currentItem() == item)
            return false;
        PaintCounter painted(tree->viewport());
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
        tree->viewport()->update();
        QCoreApplication::processEvents();
        return tree->currentItem() == item && painted.count > 0;
    }

    QList<host::Request> messages() const {
        QList<host::Request> out;
        for (const host::Request& r : responder.requests())
            if (r.kind == host::Request::Kind::Message)
                out << r;
        return out;
    }

    QString storedFormula() {
        ado::Connection c;
        c.Open(connectionString);
        const auto rs = c.Execute(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = 1"));
        return rs->IsEOF() ? QStringLiteral("<no row>")
                           : (*rs)[QStringLiteral("LP01_FORMULE")].Value().toString();
    }
};

TEST_F(Running, TheCheckOfAnEndlessLoopLeavesTheWindowAnsweringAndInterrompiStopsIt) {
    FRMLP_FORMULE& w = openWith(Endless);
    bool answered = false;
    whileRunning([&] { QTest::mouseClick(ui(w).IMG_CHECK, Qt::LeftButton); },
                 [&] {
                     answered = windowAnswers();
                     EXPECT_TRUE(run().busyIndicator()->isVisible());
                     EXPECT_EQ(run().stopButton()->text(), QStringLiteral("Interrompi"));
                 });
    EXPECT_TRUE(answered);
    EXPECT_TRUE(run().lastCancelled());
    EXPECT_FALSE(run().busyIndicator()->isVisible());
    // The outcome is told as the check always tells it: one box, after the run.
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(messages().first().text, NotCorrect);
    EXPECT_EQ(messages().first().code, 48);
    EXPECT_EQ(messages().first().title, QStringLiteral("Controllo sintassi formula fallita"));
    EXPECT_TRUE(ui(w).IMG_CHECK->isEnabled());
    EXPECT_FALSE(ui(w).TXT_FORMULA->Locked());
}

TEST_F(Running, ACorrectFormulaIsJudgedOnTheWorkerAsBefore) {
    FRMLP_FORMULE& w = openWith(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50"));
    EXPECT_EQ(w.CheckFormula(true).toBool(), true);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(messages().first().text, QStringLiteral("La formula è corretta."));
    EXPECT_FALSE(run().lastCancelled());
}

TEST_F(Running, WhileTheBatchRunsNothingStartsAnotherRunOrChangesTheBox) {
    FRMLP_FORMULE& w = openWith(Endless);
    whileRunning([&] { w.CheckFormula(true); },
                 [&] {
                     for (QWidget* locked : std::initializer_list<QWidget*>{
                              ui(w).IMG_CHECK, ui(w).IMG_SAVE, ui(w).IMG_CLEAR, w.trialPanel()->runButton()})
                         EXPECT_FALSE(locked->isEnabled()) << locked->objectName().toStdString();
                     EXPECT_TRUE(ui(w).TXT_FORMULA->Locked());
                     // Ctrl+H, Ctrl+S, Ctrl+P and the trial's own run are refused while one is in flight.
                     for (Qt::Key key : {Qt::Key_H, Qt::Key_S, Qt::Key_P})
                         QTest::keyClick(ui(w).TXT_FORMULA, key, Qt::ControlModifier);
                     w.trialPanel()->run();
                     QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_X);
                     EXPECT_EQ(ui(w).TXT_FORMULA->Text(), Endless);
                     // Run directly, a second run is refused rather than nested.
                     EXPECT_THROW(run().run(*w.GconConnect(), {}), core::ComError);
                 });
    EXPECT_EQ(messages().size(), 1); // the one check's box, nothing of the refused keys
    EXPECT_EQ(storedFormula(), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"));
}

TEST_F(Running, TheTrialRunOfAnEndlessLoopIsStoppedAndSaysSo) {
    FRMLP_FORMULE& w = openWith(Endless);
    w.showTrialPanel(true);
    bool answered = false;
    whileRunning([&] { QTest::mouseClick(w.trialPanel()->runButton(), Qt::LeftButton); },
                 [&] { answered = windowAnswers(); });
    EXPECT_TRUE(answered);
    EXPECT_FALSE(w.trialPanel()->lastResult().ran);
    EXPECT_TRUE(w.trialPanel()->lastResult().message.contains(editor::BackgroundRun::stoppedText()))
        << w.trialPanel()->lastResult().message.toStdString();
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_TRUE(w.trialPanel()->runButton()->isEnabled());
}

// Work that needs no connection (the compiled evaluator's run) goes to the same worker: the window
// is locked meanwhile, "Interrompi" calls the work's own stop, and the time-out it ends with says
// that the user stopped it.
TEST_F(Running, DetachedWorkIsStoppedByTheIndicatorAndSaysSo) {
    FRMLP_FORMULE& w = openWith(QStringLiteral("SET [Prezzo lordo] = 1"));
    w.showTrialPanel(true);
    std::atomic<bool> stopped{false};
    std::atomic<bool> onWorker{false};
    const Qt::HANDLE windowThread = QThread::currentThreadId();
    check::DetachedRun work;
    work.work = [&] {
        onWorker = QThread::currentThreadId() != windowThread;
        while (!stopped)
            QThread::msleep(1);
        check::GuardedOutcome out;
        ado::Error e;
        e.nativeError = 3617;
        e.severity = 25;
        e.state = 1;
        e.line = 1;
        e.description = QStringLiteral("Query timeout expired");
        out.errors << e;
        return out;
    };
    work.stop = [&] { stopped = true; };
    check::GuardedOutcome outcome;
    whileRunning([&] { outcome = run().detachedRunner()(work); },
                 [&] {
                     EXPECT_FALSE(ui(w).IMG_CHECK->isEnabled());
                     EXPECT_FALSE(w.trialPanel()->runButton()->isEnabled());
                     EXPECT_THROW(run().runDetached(work), core::ComError); // one run at a time
                 });
    EXPECT_TRUE(onWorker);
    EXPECT_TRUE(outcome.stopped);
    ASSERT_EQ(outcome.errors.size(), 1);
    EXPECT_EQ(outcome.errors.first().description, editor::BackgroundRun::stoppedText());
    EXPECT_TRUE(ui(w).IMG_CHECK->isEnabled());
}

// The compiled evaluator's run of an endless loop stops as the engine's does, and says so; the
// panel's line tells which evaluation ran it.
TEST_F(Running, TheCompiledTrialRunOfAnEndlessLoopIsStoppedAndSaysSo) {
    FRMLP_FORMULE& w = openWith(Endless);
    w.showTrialPanel(true);
    whileRunning([&] { w.trialPanel()->run(); }, [] {});
    const check::TrialResult& r = w.trialPanel()->lastResult();
    ASSERT_TRUE(r.path.has_value());
    EXPECT_EQ(r.path->path, check::EvaluationPath::Compiled);
    EXPECT_FALSE(r.ran);
    EXPECT_TRUE(r.message.contains(editor::BackgroundRun::stoppedText())) << r.message.toStdString();
    EXPECT_EQ(w.trialPanel()->pathLabel()->text(), QStringLiteral("l'ha eseguita il valutatore compilato"));
    EXPECT_TRUE(w.trialPanel()->runButton()->isEnabled());
}

TEST_F(Running, TheSavesSilentCheckStoppedAsksAsAFailedCheckDoes) {
    const struct {
        int answer;
        bool written;
    } cases[] = {{check::answer::No, false}, {check::answer::Yes, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        execute(
            QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'SET @OUTPREZZO = 1' WHERE LP01_ID = 1"));
        responder.clear();
        responder.push(c.answer);
        FRMLP_FORMULE& w = openWith(Endless);
        whileRunning([&] { QTest::mouseClick(ui(w).IMG_SAVE, Qt::LeftButton); }, [] {});
        ASSERT_EQ(messages().size(), 1);
        EXPECT_EQ(messages().first().text, SaveAnyway);
        EXPECT_EQ(messages().first().code, 308);
        EXPECT_EQ(storedFormula() != QStringLiteral("SET @OUTPREZZO = 1"), c.written)
            << storedFormula().toStdString();
        window.reset();
    }
}

TEST_F(Running, ClosingTheWindowDuringARunStopsItAndClosesAfterIt) {
    FRMLP_FORMULE& w = openWith(Endless);
    bool closedAtOnce = true;
    whileRunning([&] { QTest::mouseClick(ui(w).IMG_SAVE, Qt::LeftButton); },
                 [&] {
                     w.close();
                     closedAtOnce = !w.isVisible();
                 },
                 false);
    EXPECT_FALSE(closedAtOnce); // put off until the save's check has returned
    EXPECT_TRUE(run().lastCancelled());
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.ActiveInterface(), nullptr); // unloaded
    EXPECT_TRUE(messages().isEmpty());       // nothing asked of a closing window, nothing written
    EXPECT_EQ(storedFormula(), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"));
}

TEST_F(Running, TheIndicatorAndTheStoppedRunSpeakTheUsersLanguage) {
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    // The labels are English now: the loop names its variable, as any language reads it.
    FRMLP_FORMULE& w = openWith(QStringLiteral("WHILE 1 = 1 SET @OUTPREZZO = 1"));
    w.showTrialPanel(true);
    QString button, text;
    whileRunning([&] { w.trialPanel()->run(); },
                 [&] {
                     button = run().stopButton()->text();
                     text = run().busyIndicator()->findChild<QLabel*>()->text();
                 });
    EXPECT_EQ(button, QStringLiteral("Stop"));
    EXPECT_EQ(text, QStringLiteral("The server is running the formula..."));
    EXPECT_TRUE(w.trialPanel()->lastResult().message.contains(QStringLiteral(": Run stopped by the user.")))
        << w.trialPanel()->lastResult().message.toStdString();
}

} // namespace
