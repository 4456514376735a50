// The demo host of the formula editor component: a price-list management window that creates the
// component from its shared library and opens the editor on the records of the three contexts.
#include "HostWindow.h"
#include "ToolShots.h"
#include "VerifyWindow.h"

#include "ado/Setup.h"
#include "host/DialogResponder.h"
#include "host/GlobalObject.h"
#include "host/LogObject.h"
#include "host/Responder.h"
#include "host/TranslationService.h"
#include "host/controls/VxlRichTextBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

namespace {

// The translation of the host's own texts (its options and messages), set before they are made.
const host::TranslationService* hostTranslation = nullptr;
QString hostText(const QString& italianText) {
    return hostTranslation ? hostTranslation->Traduci(italianText) : italianText;
}

// Answers every dialog and prints it, so an off-screen run never waits: errors are ignored (the
// window goes on, as with the answer 5), questions get their default button.
class PrintingResponder : public host::TestResponder {
public:
    int respond(const host::Request& request) override {
        if (!boxShot.isEmpty() && !request.captions.isEmpty())
            renderBox(request);
        const int answer = request.kind == host::Request::Kind::Error ? host::answer::Ignore
                                                                      : host::TestResponder::respond(request);
        QTextStream(stderr) << request.title << ": " << request.text << " -> " << answer << '\n';
        return answer;
    }

    // --draft-screenshot: the first question with buttons of its own (the offer of a draft) is
    // rendered as the dialog shows it, into this file.
    QString boxShot;
    bool boxShotWritten = false;

private:
    void renderBox(const host::Request& request) {
        const std::unique_ptr<QMessageBox> box = host::messageBoxFor(request);
        box->setWindowModality(Qt::NonModal);
        box->show(); // laid out at once; no events run here, the editor is in its first activation
        boxShotWritten = box->grab().save(boxShot, "PNG");
        if (boxShotWritten)
            QTextStream(stdout) << boxShot << '\n';
        boxShot.clear();
    }
};

// Presses one of the editor's buttons, found by its control name.
void clickButton(QWidget* editor, const char* name) {
    if (auto* button = editor->findChild<QAbstractButton*>(QString::fromLatin1(name)))
        button->click();
}

// Opens the instructions window through the legend button; once it is on screen it is rendered
// to `file` and closed, which ends the button's modal run.
void saveInstructionsWindow(QWidget* editor, const QString& file, QTextStream& err) {
    QTimer::singleShot(100, editor, [file, &err] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows) {
            if (!w->isVisible() || w->objectName() != QLatin1String("FRMLP_ISTRUZIONI"))
                continue;
            if (w->grab().save(file, "PNG"))
                QTextStream(stdout) << file << '\n';
            else
                err << "formule-host: " << hostText(QStringLiteral("%1 non si può scrivere")).arg(file)
                    << '\n';
            w->close();
        }
    });
    clickButton(editor, "IMG_LEGEND");
}

// The host's language: the last --lang of the command line (--lang X or --lang=X), otherwise the
// messages language of the locale.
QString hostLanguage(int argc, char** argv) {
    QString given;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--lang" && i + 1 < argc)
            given = QString::fromLocal8Bit(argv[++i]);
        else if (a.startsWith("--lang="))
            given = QString::fromLocal8Bit(a.mid(7));
    }
    return given.isNull() ? host::TranslationService::localeLanguage(QProcessEnvironment::systemEnvironment())
                          : given;
}

// The options of the demo host.
struct HostOptions {
    QCommandLineOption db{QStringLiteral("db"),
                          hostText(QStringLiteral("Stringa di connessione ADO del database.")),
                          hostText(QStringLiteral("connessione"))};
    QCommandLineOption lang{
        QStringLiteral("lang"),
        hostText(QStringLiteral(
            "Lingua dell'ospite: it o en (predefinita: dalla localizzazione, LC_ALL, LC_MESSAGES o LANG).")),
        QStringLiteral("it|en")};
    QCommandLineOption company{QStringLiteral("company"),
                               hostText(QStringLiteral("Codice della ditta (predefinito 1).")),
                               hostText(QStringLiteral("codice")), QStringLiteral("1")};
    QCommandLineOption context{
        QStringLiteral("context"),
        hostText(QStringLiteral("Contesto di modifica del record da aprire subito (0, 1, 2).")),
        QStringLiteral("N")};
    QCommandLineOption id{QStringLiteral("id"),
                          hostText(QStringLiteral("Identificativo del record da aprire subito.")),
                          QStringLiteral("ID")};
    QCommandLineOption modal{QStringLiteral("modal"),
                             hostText(QStringLiteral("Apri l'editor in modo modale."))};
    QCommandLineOption screenshot{
        QStringLiteral("screenshot"),
        hostText(QStringLiteral("Disegna la finestra dell'editor fuori schermo dopo la prima attivazione, "
                                "salvala come PNG ed esci.")),
        QStringLiteral("FILE")};
    QCommandLineOption hostScreenshot{
        QStringLiteral("host-screenshot"),
        hostText(QStringLiteral("Come --screenshot, ma disegna l'intera finestra dell'ospite con l'editor "
                                "nella sua area multi-documento.")),
        QStringLiteral("FILE")};
    QCommandLineOption variants{
        QStringLiteral("variants"),
        hostText(QStringLiteral("Varianti del configuratore della ditta (on, off; predefinito off).")),
        QStringLiteral("on|off"), QStringLiteral("off")};
    QCommandLineOption expandTree{QStringLiteral("expand-tree"),
                                  hostText(QStringLiteral("Con un'immagine: espandi prima l'intero albero "
                                                          "degli elementi (il pulsante espandi/comprimi)."))};
    QCommandLineOption formula{
        QStringLiteral("formula"),
        hostText(QStringLiteral(
            "Con un'immagine: metti prima questo testo in forma visualizzata nella casella della formula.")),
        QStringLiteral("TEXT")};
    QCommandLineOption check{
        QStringLiteral("check"),
        hostText(QStringLiteral("Con un'immagine: premi prima il pulsante di controllo (la finestra di "
                                "messaggio risponde da sé) e mostra dove il controllo è fallito."))};
    QCommandLineOption legendScreenshot{
        QStringLiteral("instructions-screenshot"),
        hostText(QStringLiteral("Con un'immagine: apri anche la finestra delle istruzioni dal pulsante della "
                                "legenda dell'editor e salvala come PNG.")),
        QStringLiteral("FILE")};
    QCommandLineOption complete{
        QStringLiteral("complete"),
        hostText(QStringLiteral("Con un'immagine: scrivi questo testo alla fine della formula e apri "
                                "l'elenco di completamento (Ctrl+Spazio).")),
        QStringLiteral("TEXT")};
    QCommandLineOption filter{
        QStringLiteral("filter"),
        hostText(
            QStringLiteral("Con un'immagine: scrivi questo testo nella casella di ricerca dell'albero.")),
        QStringLiteral("TEXT")};
    QCommandLineOption tooltip{
        QStringLiteral("tooltip"),
        hostText(QStringLiteral(
            "Con un'immagine: mostra il suggerimento del primo nodo visibile dell'albero con questo testo.")),
        QStringLiteral("TEXT")};
    QCommandLineOption timings{
        QStringLiteral("timings"),
        hostText(
            QStringLiteral("Con un'immagine: disegna subito e stampa sullo standard error i millisecondi "
                           "dall'avvio del programma al primo disegno dell'editor (e dell'espansione "
                           "dell'intero albero con --expand-tree) e la memoria residente."))};
    QCommandLineOption trialScreenshot{
        QStringLiteral("trial-screenshot"),
        hostText(
            QStringLiteral("Come --screenshot, ma apri il pannello di prova, scrivi i valori di "
                           "--trial-value, premi \"Prova\" e disegna l'editor con il pannello accanto.")),
        QStringLiteral("FILE")};
    QCommandLineOption trialValue{
        QStringLiteral("trial-value"),
        hostText(QStringLiteral(
            "Con --trial-screenshot: il valore di un ingresso del pannello, per elemento (@ATTPREZZO, C:123 "
            "per l'id di una categoria, V:V01 per il codice di una variante); ripetibile.")),
        QStringLiteral("KEY=VALUE")};
    QCommandLineOption impactScreenshot{
        QStringLiteral("impact-screenshot"),
        hostText(QStringLiteral("Come --screenshot, ma apri l'anteprima dell'impatto con il suo pulsante "
                                "(che la esegue sui casi di prova del record), eseguila di nuovo con le "
                                "righe di --impact-generate e disegna l'anteprima.")),
        QStringLiteral("FILE")};
    QCommandLineOption impactGenerate{
        QStringLiteral("impact-generate"),
        hostText(QStringLiteral("Con --impact-screenshot: le righe da generare, come le accetta il campo "
                                "dell'anteprima (\"[Prezzo lordo - CURR]=da 10 a 1000 passo 10\").")),
        QStringLiteral("SPEC")};
    QCommandLineOption draftScreenshot{
        QStringLiteral("draft-screenshot"),
        hostText(QStringLiteral("Metti il testo di --formula nella casella (o aggiungi una riga alla formula "
                                "memorizzata), chiudi l'editor senza salvare la modifica, riapri il record e "
                                "salva come PNG la sua offerta della bozza.")),
        QStringLiteral("FILE")};
    QCommandLineOption verifyScreenshot{
        QStringLiteral("verify-screenshot"),
        hostText(QStringLiteral("Esegui fuori schermo la finestra \"Verifica formule\" fino alla fine, "
                                "salvala come PNG ed esci.")),
        QStringLiteral("FILE")};

    QCommandLineOption palette{QStringLiteral("palette"),
                               hostText(QStringLiteral("I colori del programma: quelli dello stile (light, "
                                                       "il predefinito) o una tavolozza scura (dark).")),
                               QStringLiteral("light|dark"), QStringLiteral("light")};
    QCommandLineOption find{
        QStringLiteral("find"),
        hostText(QStringLiteral("Con un'immagine: apri la barra trova e sostituisci della casella della "
                                "formula (Ctrl+R) con questo testo e seleziona la prima occorrenza.")),
        QStringLiteral("TEXT")};
    QCommandLineOption replace{QStringLiteral("replace"),
                               hostText(QStringLiteral("Con --find: il testo del campo di sostituzione.")),
                               QStringLiteral("TEXT")};
    QCommandLineOption gotoLine{
        QStringLiteral("goto"),
        hostText(QStringLiteral("Con un'immagine: apri il campo di Ctrl+G (vai alla riga)."))};
    QCommandLineOption comment{
        QStringLiteral("comment"),
        hostText(
            QStringLiteral("Con un'immagine: commenta le righe da FIRST a LAST della formula (Ctrl+/).")),
        QStringLiteral("FIRST-LAST")};

    QList<QCommandLineOption> all() const {
        return {db,
                lang,
                company,
                context,
                id,
                modal,
                screenshot,
                hostScreenshot,
                variants,
                expandTree,
                formula,
                check,
                legendScreenshot,
                timings,
                verifyScreenshot,
                complete,
                filter,
                tooltip,
                trialScreenshot,
                trialValue,
                impactScreenshot,
                impactGenerate,
                palette,
                find,
                replace,
                comment,
                gotoLine,
                draftScreenshot};
    }
};

// Resident memory of the process and its peak, in megabytes.
QString memoryText() {
    QFile status(QStringLiteral("/proc/self/status"));
    QString rss;
    QString peak;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            const QString kb = QString::fromLatin1(line.mid(6).trimmed().split(' ').first());
            if (line.startsWith("VmRSS:"))
                rss = QString::number(kb.toDouble() / 1024.0, 'f', 1);
            else if (line.startsWith("VmHWM:"))
                peak = QString::number(kb.toDouble() / 1024.0, 'f', 1);
        }
    }
    return hostText(QStringLiteral("residente %1 MB, picco %2 MB")).arg(rss, peak);
}

// A line of --timings: `italianText` with the milliseconds since `timer` started and the memory.
QString timing(const QString& italianText, const QElapsedTimer& timer) {
    return hostText(italianText).arg(timer.nsecsElapsed() / 1e6, 0, 'g', 6).arg(memoryText());
}

// The editor reads the company's categories and variants after its first paint: what a
// screenshot shows of completion, the tree's search or the marks waits for them (`next` runs once
// they are there, at once when there is nothing to wait for).
void afterCatalogue(QWidget* editor, std::function<void()> next) {
    QObject* loader = editor->findChild<QObject*>(QStringLiteral("catalogLoader"));
    if (!loader || loader->property("loaded").toBool()) {
        next();
        return;
    }
    auto* poll = new QTimer(editor);
    QObject::connect(poll, &QTimer::timeout, editor, [poll, loader, next = std::move(next)] {
        if (!loader->property("loaded").toBool())
            return;
        poll->stop();
        poll->deleteLater();
        next();
    });
    poll->start(2);
}

// --verify-screenshot: the verification window run to its end, rendered and saved.
int verifyScreenshot(demo::HostWindow& window, const QString& file, QTextStream& err) {
    int code = 1;
    demo::VerifyWindow* verify = window.openVerification();
    QObject::connect(verify, &demo::VerifyWindow::finished, verify, [&code, verify, file, &err] {
        code = verify->grab().save(file, "PNG") ? 0 : 1;
        if (code == 0)
            QTextStream(stdout) << file << '\n';
        else
            err << "formule-host: " << hostText(QStringLiteral("%1 non si può scrivere")).arg(file) << '\n';
        QCoreApplication::exit(code);
    });
    QTimer::singleShot(120000, verify, [] { QCoreApplication::exit(1); });
    QCoreApplication::exec();
    return code;
}

// Types `text` at the end of the formula and opens the completion list with Ctrl+Space.
void openCompletion(QWidget* editor, const QString& text) {
    auto* box = editor->findChild<controls::VxlRichTextBox*>(QStringLiteral("TXT_FORMULA"));
    if (!box)
        return;
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(text);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier);
    QApplication::sendEvent(box, &press);
}

// Shows the tooltip of the first visible tree node whose text is `text`; returns its label.
QWidget* showNodeTooltip(QWidget* editor, const QString& text) {
    auto* tree = editor->findChild<QTreeWidget*>(QStringLiteral("TVW_FIELDS"));
    if (!tree)
        return nullptr;
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    for (QTreeWidgetItem* item : found) {
        if (item->isHidden())
            continue;
        tree->scrollToItem(item);
        const QPoint at = tree->visualItemRect(item).center();
        QHelpEvent help(QEvent::ToolTip, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &help);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->inherits("QTipLabel"))
                return w;
    }
    return nullptr;
}

// The editor's picture with a tooltip drawn over it where it shows on screen.
QPixmap grabWithTooltip(QWidget* target, QWidget* tip) {
    QPixmap picture = target->grab();
    if (tip) {
        QPainter painter(&picture);
        painter.drawPixmap(tip->pos() - target->mapToGlobal(QPoint(0, 0)), tip->grab());
    }
    return picture;
}

// Opens the editor's trial panel with its button, reading the formula's elements again when the
// user's settings had it open already. Its inputs are rebuilt: the old ones go when the event
// loop runs, so the values are typed later (typeAndRunTrial).
void openTrialPanel(QWidget* editor) {
    auto* panel = editor->findChild<QWidget*>(QStringLiteral("TRIAL_PANEL"));
    if (panel && panel->isVisible())
        clickButton(editor, "IMG_TRIAL");
    clickButton(editor, "IMG_TRIAL");
}

// Types `values` (KEY=VALUE, KEY the element of an input: "@ATTPREZZO", "C:123", "V:V01") into
// the open trial panel and presses "Prova". Returns the panel, or null when it is not open.
QWidget* typeAndRunTrial(QWidget* editor, const QStringList& values, QTextStream& err) {
    auto* panel = editor->findChild<QWidget*>(QStringLiteral("TRIAL_PANEL"));
    if (!panel || !panel->isVisible()) {
        err << "formule-host: " << hostText(QStringLiteral("il pannello di prova non si è aperto")) << '\n';
        return nullptr;
    }
    for (const QString& value : values) {
        const qsizetype eq = value.indexOf(u'=');
        auto* input = eq > 0 ? panel->findChild<QLineEdit*>(value.left(eq).trimmed()) : nullptr;
        if (input)
            input->setText(value.mid(eq + 1));
        else
            err << "formule-host: "
                << hostText(QStringLiteral("la formula non legge alcun elemento %1")).arg(value.left(eq))
                << '\n';
    }
    clickButton(panel, "CMD_PROVA");
    if (auto* message = panel->findChild<QLabel*>(QStringLiteral("LBL_TRIAL_MESSAGE")))
        err << "formule-host: " << hostText(QStringLiteral("prova: %1")).arg(message->text()) << '\n';
    return panel;
}

// Opens the editor's impact preview with its button, which runs it over the record's test cases;
// with `generate`, runs it again with those rows too. Returns the preview, or null when it did not
// open.
QWidget* runImpactPreview(QWidget* editor, const QString& generate, QTextStream& err) {
    clickButton(editor, "IMG_IMPACT");
    auto* preview = editor->findChild<QWidget*>(QStringLiteral("IMPACT_PREVIEW"));
    if (!preview || !preview->isVisible()) {
        err << "formule-host: " << hostText(QStringLiteral("l'anteprima dell'impatto non si è aperta"))
            << '\n';
        return nullptr;
    }
    if (!generate.isEmpty()) {
        if (auto* spec = preview->findChild<QLineEdit*>(QStringLiteral("TXT_IMPACT_GENERATE")))
            spec->setText(generate);
        clickButton(preview, "CMD_IMPACT_START");
    }
    // The chart lays out its new axes and bars when the event loop runs.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    auto* message = preview->findChild<QLabel*>(QStringLiteral("LBL_IMPACT_MESSAGE"));
    if (message && message->isVisibleTo(preview))
        err << "formule-host: " << hostText(QStringLiteral("impatto: %1")).arg(message->text()) << '\n';
    return preview;
}

// The editor's picture with the trial panel beside it, as the panel opens on screen.
QPixmap grabBeside(QWidget* editor, QWidget* panel) {
    constexpr int gap = 8;
    panel->resize(panel->width(), editor->height());
    const QPixmap left = editor->grab();
    const QPixmap right = panel->grab();
    QPixmap picture(left.width() + gap + right.width(), std::max(left.height(), right.height()));
    picture.fill(editor->palette().color(QPalette::Window).darker(115));
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, left);
    painter.drawPixmap(left.width() + gap, 0, right);
    return picture;
}

// What the command line asks of a run, checked: a wrong value is told on `err` and gives nothing.
struct RunOptions {
    int company = 1;
    bool variants = false;
    bool openAtOnce = false; // --context or --id: an editor opens at start
    bool wholeHost = false;  // --host-screenshot
    bool trial = false;      // --trial-screenshot
    bool draft = false;      // --draft-screenshot
    bool impact = false;     // --impact-screenshot
    QString shotFile;        // the picture to write, empty for an interactive run
    int context = 0;
};

std::optional<RunOptions> readRunOptions(const QCommandLineParser& parser, const HostOptions& options,
                                         QTextStream& err) {
    RunOptions run;
    // The language was taken from a valid --lang only; any other value is refused, as the tool does.
    const QString language = parser.value(options.lang);
    if (parser.isSet(options.lang) && language != QLatin1String("it") && language != QLatin1String("en")) {
        err << "formule-host: "
            << hostText(QStringLiteral("--lang deve essere it o en, non \"%1\"")).arg(language) << '\n';
        return std::nullopt;
    }
    bool companyOk = false;
    run.company = parser.value(options.company).toInt(&companyOk);
    if (!companyOk) {
        err << "formule-host: " << hostText(QStringLiteral("--company vuole un numero")) << '\n';
        return std::nullopt;
    }
    const QString variantsValue = parser.value(options.variants);
    if (variantsValue != QLatin1String("on") && variantsValue != QLatin1String("off")) {
        err << "formule-host: " << hostText(QStringLiteral("--variants accetta on o off")) << '\n';
        return std::nullopt;
    }
    run.variants = variantsValue == QLatin1String("on");
    run.openAtOnce = parser.isSet(options.context) || parser.isSet(options.id);
    run.wholeHost = parser.isSet(options.hostScreenshot);
    run.trial = parser.isSet(options.trialScreenshot);
    run.draft = parser.isSet(options.draftScreenshot);
    run.impact = parser.isSet(options.impactScreenshot);
    run.shotFile = run.wholeHost ? parser.value(options.hostScreenshot)
                   : run.trial   ? parser.value(options.trialScreenshot)
                   : run.draft   ? parser.value(options.draftScreenshot)
                   : run.impact  ? parser.value(options.impactScreenshot)
                                 : parser.value(options.screenshot);
    if (run.wholeHost && parser.isSet(options.modal)) {
        err << "formule-host: "
            << hostText(QStringLiteral("--host-screenshot mostra un editor non modale; togli --modal"))
            << '\n';
        return std::nullopt;
    }
    if (!run.shotFile.isEmpty() && !run.openAtOnce) {
        err << "formule-host: " << hostText(QStringLiteral("un'immagine richiede --context e --id")) << '\n';
        return std::nullopt;
    }
    bool contextOk = true;
    run.context = parser.isSet(options.context) ? parser.value(options.context).toInt(&contextOk) : 0;
    if (!contextOk) {
        err << "formule-host: " << hostText(QStringLiteral("--context vuole un numero")) << '\n';
        return std::nullopt;
    }
    return run;
}

// The last steps of a screenshot run, once the editor has settled: the expansion, the search,
// completion, tooltip and trial panel the options ask for, then the picture of the editor (or of
// the whole host) written to the run's file. True when it was written.
bool renderScreenshot(QWidget* editor, QWidget* host, const QCommandLineParser& parser,
                      const HostOptions& options, const RunOptions& run, bool timings, QTextStream& err) {
    if (parser.isSet(options.expandTree)) {
        QElapsedTimer expand;
        expand.start();
        clickButton(editor, "IMG_EXPCOL");
        // What the click left for the event loop (fitting the tree's column) counts.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        editor->repaint();
        if (timings)
            err << timing(QStringLiteral("espansione completa %1 ms, %2"), expand) << Qt::endl;
    }
    if (parser.isSet(options.legendScreenshot))
        saveInstructionsWindow(editor, parser.value(options.legendScreenshot), err);
    if (parser.isSet(options.filter)) {
        if (auto* find = editor->findChild<QLineEdit*>(QStringLiteral("TXT_CERCA")))
            find->setText(parser.value(options.filter));
    }
    if (parser.isSet(options.complete))
        openCompletion(editor, parser.value(options.complete));
    if (parser.isSet(options.comment)) {
        const QStringList lines = parser.value(options.comment).split(u'-');
        demo::commentLines(editor, lines.value(0).toInt(), lines.value(1, lines.value(0)).toInt());
    }
    if (parser.isSet(options.find))
        demo::openFindReplace(editor, parser.value(options.find), parser.value(options.replace));
    if (parser.isSet(options.gotoLine))
        demo::openGoToLine(editor);
    QWidget* tip =
        parser.isSet(options.tooltip) ? showNodeTooltip(editor, parser.value(options.tooltip)) : nullptr;
    QWidget* target = run.wholeHost ? host : editor;
    QWidget* panel = run.trial ? typeAndRunTrial(editor, parser.values(options.trialValue), err) : nullptr;
    QWidget* impact =
        run.impact ? runImpactPreview(editor, parser.value(options.impactGenerate), err) : nullptr;
    const QPixmap picture = impact  ? impact->grab()
                            : panel ? grabBeside(editor, panel)
                                    : grabWithTooltip(target, tip);
    const bool opened = (panel || !run.trial) && (impact || !run.impact);
    const bool saved = opened && picture.save(run.shotFile, "PNG");
    if (saved)
        QTextStream(stdout) << run.shotFile << '\n';
    else if (opened) // a panel or preview that did not open was told already
        err << "formule-host: " << hostText(QStringLiteral("%1 non si può scrivere")).arg(run.shotFile)
            << '\n';
    return saved;
}

// --draft-screenshot: the editor on a record gets a change, closes with it unsaved (the window keeps
// a draft in the user's settings) and opens again; its offer of the draft is rendered by the
// responder.
int draftScreenshot(demo::HostWindow& window, int context, const core::Variant& id, const QString& formula,
                    PrintingResponder& printing, QTextStream& err) {
    int code = 1;
    QTimer::singleShot(0, &window, [&] {
        window.openEditor(context, id, false, [&](QWidget* editor) {
            if (auto* box = editor->findChild<controls::VxlRichTextBox*>(QStringLiteral("TXT_FORMULA")))
                box->SetText(formula.isEmpty()
                                 ? box->Text() + QStringLiteral("\nSET [Prezzo lordo] = [Prezzo lordo] * 1.1")
                                 : formula);
            editor->close();
            QTimer::singleShot(0, &window, [&] {
                window.openEditor(context, id, false, [&](QWidget* again) {
                    code = printing.boxShotWritten ? 0 : 1;
                    if (code != 0)
                        err << "formule-host: "
                            << hostText(QStringLiteral("l'editor non ha offerto alcuna bozza")) << '\n';
                    again->close();
                    QCoreApplication::exit(code);
                });
            });
        });
    });
    QTimer::singleShot(15000, &window, [] { QCoreApplication::exit(1); });
    QCoreApplication::exec();
    return code;
}

// True when the command line asks for a picture, which is rendered off screen.
bool asksForScreenshot(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"--screenshot", "--host-screenshot", "--trial-screenshot",
                                   "--verify-screenshot", "--draft-screenshot", "--impact-screenshot"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    // A screenshot is rendered off screen; without a display the help and the screenshots are too.
    const bool noDisplay =
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool offscreenRun = asksForScreenshot(argc, argv);
    if ((offscreenRun || noDisplay) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("formule-host"));
    QApplication::setApplicationVersion(QStringLiteral("0.1"));
    QString language = hostLanguage(argc, argv);
    if (language != QLatin1String("it") && language != QLatin1String("en"))
        language = host::TranslationService::localeLanguage(QProcessEnvironment::systemEnvironment());
    host::TranslationService translation;
    translation.load(host::TranslationService::defaultDirectory(), language);
    hostTranslation = &translation;
    // Qt's own texts (the dialogs' Yes, No, Retry..., the help's headings) in the host's language.
    host::TranslationService::installQtCatalogue(language);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        hostText(QStringLiteral("Ospite dimostrativo del componente editor di formule")));
    // The help option of the host's own, in its language (Qt's has no Italian text for it).
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        hostText(QStringLiteral("Mostra questo aiuto.")));
    parser.addOption(helpOption);
    parser.addVersionOption();
    const HostOptions options;
    parser.addOptions(options.all());
    parser.process(app);
    if (parser.isSet(helpOption)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (parser.value(options.palette) == QLatin1String("dark"))
        demo::useDarkPalette(app);

    QTextStream err(stderr);
    const std::optional<RunOptions> run = readRunOptions(parser, options, err);
    if (!run)
        return 2;
    if (noDisplay && !offscreenRun && qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        err << "formule-host: "
            << hostText(QStringLiteral(
                   "nessuno schermo; indica --screenshot FILE (con --context e --id) per disegnare "
                   "l'editor fuori schermo"))
            << '\n';
        return 2;
    }
    const QString connectionString =
        parser.isSet(options.db) ? parser.value(options.db)
                                 : ado::setup::embeddedConnectionString(ado::setup::defaultDatabasePath());
    const QString& shotFile = run->shotFile;
    const bool wholeHost = run->wholeHost;
    const bool trial = run->trial;
    const bool openAtOnce = run->openAtOnce;
    const int contextValue = run->context;
    // The host asks in message boxes; a screenshot run answers by itself.
    static host::DialogResponder dialogs;
    host::Responder::setDefault(&dialogs);
    PrintingResponder printing;
    if (!shotFile.isEmpty())
        host::Responder::setCurrent(&printing);

    demo::HostWindow window(connectionString, language, core::Variant::fromInt32(run->company));
    window.global().Settings()->Configurator()->setVariantsEnabled(
        core::Variant::fromInt32(run->variants ? 1 : 0));
    // The demo host's user is the login it runs under (who makes a test case).
    window.global().Settings()->User()->setName(
        qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME")));
    // A picture is made with the user's settings as they are and leaves them so: the run works on
    // a copy (what it types stays out of them, a draft of its closing editor too).
    static QTemporaryDir shotSettings;
    if (!shotFile.isEmpty() || parser.isSet(options.verifyScreenshot)) {
        host::UserSettings* user = window.global().Settings()->User();
        const QString copy = shotSettings.filePath(QStringLiteral("formule-user.ini"));
        QFile::copy(user->fileName(), copy);
        user->setFileName(copy);
    }
    if (!window.loadComponent()) {
        err << "formule-host: "
            << hostText(QStringLiteral("la libreria del componente non si può caricare: %1"))
                   .arg(window.errorText())
            << '\n';
        return 1;
    }
    if (!window.refreshRecords())
        err << "formule-host: "
            << hostText(QStringLiteral("i record non si possono leggere: %1")).arg(window.errorText())
            << '\n';

    if (parser.isSet(options.verifyScreenshot))
        return verifyScreenshot(window, parser.value(options.verifyScreenshot), err);
    if (shotFile.isEmpty() || wholeHost)
        window.show();
    window.setEmbedInArea(shotFile.isEmpty() || wholeHost);
    if (!openAtOnce)
        return app.exec();

    const core::Variant idValue =
        parser.isSet(options.id) ? core::Variant(parser.value(options.id)) : core::Variant();
    if (run->draft) {
        printing.boxShot = shotFile;
        return draftScreenshot(window, contextValue, idValue, parser.value(options.formula), printing, err);
    }
    if (shotFile.isEmpty()) {
        QTimer::singleShot(0, &window,
                           [&] { window.openEditor(contextValue, idValue, parser.isSet(options.modal)); });
        return app.exec();
    }

    // Screenshot: open, wait for the first activation, render, close, exit.
    int exitCode = 1;
    bool done = false;
    const bool isModal = parser.isSet(options.modal);
    auto finish = [&](int code) {
        exitCode = code;
        done = true;
        if (!isModal)
            QCoreApplication::exit(code);
    };
    QTimer::singleShot(0, &window, [&] {
        window.openEditor(contextValue, idValue, isModal, [&](QWidget* editor) {
            const bool timings = parser.isSet(options.timings);
            if (timings) {
                editor->repaint();
                err << timing(QStringLiteral("primo disegno %1 ms, %2"), sinceStart) << Qt::endl;
            }
            if (parser.isSet(options.formula)) {
                if (auto* box = editor->findChild<controls::VxlRichTextBox*>(QStringLiteral("TXT_FORMULA")))
                    box->SetText(parser.value(options.formula));
            }
            if (parser.isSet(options.check))
                clickButton(editor, "IMG_CHECK");
            if (trial)
                openTrialPanel(editor);
            // The live diagnostics come after their pause in typing and the parse.
            const int settle =
                parser.isSet(options.formula) || parser.isSet(options.check) || trial || run->impact ? 1500
                : timings                                                                            ? 0
                                                                                                     : 100;
            afterCatalogue(editor, [&, editor, timings, settle] {
                if (timings)
                    err << timing(QStringLiteral("catalogo pronto %1 ms, %2"), sinceStart) << Qt::endl;
                QTimer::singleShot(settle, editor, [&, editor, timings] {
                    const bool saved = renderScreenshot(editor, &window, parser, options, *run, timings, err);
                    editor->close();
                    finish(saved ? 0 : 1);
                });
            });
        });
        if (isModal)
            QCoreApplication::exit(exitCode);
    });
    // A window that never activates does not keep the program waiting.
    QTimer::singleShot(15000, &window, [&] {
        if (!done) {
            err << "formule-host: " << hostText(QStringLiteral("la finestra dell'editor non si è aperta"))
                << '\n';
            QCoreApplication::exit(1);
        }
    });
    const int rc = app.exec();
    host::Responder::setCurrent(nullptr);
    return done ? exitCode : rc;
}
