// The window's impact preview: the button beside the trial panel's, Ctrl+I, and the run of the
// stored formula and the box's one over the rows the user chose (the record's test cases, a CSV
// file, generated rows), on the window's worker with its own connection. Nothing is written: the
// rows run on the compiled evaluator or in the check's rolled-back run, and the box is only read.

#include "editor/BackgroundRun.h"
#include "editor/FRMLP_FORMULE.h"
#include "editor/FollowMoves.h"
#include "editor/ImpactPreview.h"
#include "editor/TrialCases.h"
#include "editor/TrialPanel.h"

#include "check/Impact.h"
#include "check/Messages.h"
#include "core/NullSafe.h"
#include "host/GlobalObject.h"
#include "host/TranslationService.h"
#include "host/WindowPlacement.h"
#include "host/controls/HostControls.h"
#include "host/controls/VxlRichTextBox.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPushButton>
#include <QThread>

#include <atomic>
#include <mutex>

namespace editor {

namespace {

const QString ButtonTip = QStringLiteral("Anteprima impatto (Ctrl+I)");
const QString NoRows =
    QStringLiteral("Nessuna riga da provare: il record non ha casi di prova. Scegli un file "
                   "CSV o scrivi le righe da generare.");
const QString CsvUnreadable = QStringLiteral("Il file CSV non si lascia aprire: %1");
const QString CsvAt = QStringLiteral("File CSV, riga %1, colonna %2: %3");
const QString CsvWhole = QStringLiteral("File CSV: %1");
const QString GenerationAt = QStringLiteral("Righe generate, carattere %1: %2");
const QString GenerationWhole = QStringLiteral("Righe generate: %1");
// The worker's own refusal of a second run, in the same words.
const QString AlreadyRunning = QStringLiteral("Un'altra esecuzione della formula è in corso");

// The button's picture: four bars of a histogram.
QIcon histogramIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0x99), 1));
    p.setBrush(QColor(0x2f, 0x7f, 0xc1));
    const int heights[] = {6, 14, 18, 9};
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRect(3 + i * 5, 21 - heights[i], 4, heights[i]));
    p.drawLine(QPoint(2, 21), QPoint(22, 21));
    return QIcon(pixmap);
}

QRect anchorFrame(const QWidget* window) {
    return window->isWindow() ? window->frameGeometry()
                              : QRect(window->mapToGlobal(QPoint(0, 0)), window->size());
}

// The elements a CSV header or a generation spec names in display form, found through the
// window's own translation of the formula language (categories and variants by their labels) on
// the window's thread. Kept once found: a source that asks again from the worker is answered
// from what was found, and never reaches the window from there.
class ElementNames {
public:
    using Resolve = std::function<std::optional<check::TrialElement>(const QString&)>;
    explicit ElementNames(Resolve resolve)
        : m_resolve(std::move(resolve))
        , m_thread(QThread::currentThread()) {}

    std::optional<check::TrialElement> operator()(const QString& name) {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_found.constFind(name); it != m_found.constEnd())
            return *it;
        if (QThread::currentThread() != m_thread)
            return std::nullopt;
        std::optional<check::TrialElement> element = m_resolve(name);
        m_found.insert(name, element);
        return element;
    }

private:
    Resolve m_resolve;
    QThread* m_thread;
    std::mutex m_mutex;
    QHash<QString, std::optional<check::TrialElement>> m_found;
};

QString inputError(const QString& at, const QString& whole, const check::ImpactInputError& e,
                   const std::function<QString(const QString&)>& translate, bool withLine) {
    if (e.column <= 0 && (!withLine || e.line <= 0))
        return translate(whole).arg(e.message);
    if (withLine)
        return translate(at).arg(e.line).arg(e.column).arg(e.message);
    return translate(at).arg(e.column).arg(e.message);
}

} // namespace

void FRMLP_FORMULE::buildImpactButton(const QRect& button) {
    IMG_IMPACT = new controls::VXL_TBARMENU(this);
    IMG_IMPACT->setObjectName(QStringLiteral("IMG_IMPACT"));
    IMG_IMPACT->SetPicture(histogramIcon());
    // Translated with the other captions once the host is known (translateCaptions).
    IMG_IMPACT->setToolTip(ButtonTip);
    IMG_IMPACT->setGeometry(button);
    new FollowMoves(IMG_CHECK, IMG_IMPACT);
    connect(IMG_IMPACT, &controls::VXL_TBARMENU::ButtonClick, this, [this] { showImpactPreview(); });
}

void FRMLP_FORMULE::buildImpactPreview() {
    m_impact = new ImpactPreview([this](const QString& s) { return translate(s); }, this);
    m_impact->setReading([this] { return trialReading(); });
    m_impact->setWindowFlag(Qt::Tool);
    connect(m_impact, &ImpactPreview::startRequested, this, &FRMLP_FORMULE::runImpactPreview);
    connect(m_impact, &ImpactPreview::cancelRequested, this, [this] { backgroundRun()->cancel(); });
    connect(m_impact, &ImpactPreview::moverChosen, this, &FRMLP_FORMULE::loadImpactRow);
    // While another run of the window (a check, a trial) is in flight the preview starts none.
    connect(backgroundRun(), &BackgroundRun::runningChanged, m_impact, [this](bool running) {
        if (!m_impact->running())
            m_impact->startButton()->setEnabled(!running);
    });
}

void FRMLP_FORMULE::placeImpactPreview() {
    const QRect anchor = anchorFrame(this);
    const QRect available = host::availableFor(this, anchor, true);
    const QRect frame = host::besideFrame(anchor, m_impact->frameGeometry().size(), available);
    const QSize decorations = m_impact->frameGeometry().size() - m_impact->size();
    m_impact->resize(frame.size() - decorations);
    m_impact->move(frame.topLeft());
}

void FRMLP_FORMULE::showImpactPreview() {
    if (m_storedUnreadable || m_technicalView)
        return;
    const bool first = m_impact == nullptr;
    if (first)
        buildImpactPreview();
    if (!m_impact->isVisible()) {
        if (first)
            placeImpactPreview();
        m_impact->show();
        host::fitToScreen(m_impact, true);
    }
    m_impact->raise();
    m_impact->activateWindow();
    if (!runInFlight() && !m_impact->running())
        runImpactPreview();
}

void FRMLP_FORMULE::runImpactPreview() {
    if (!m_impact || m_impact->running())
        return;
    const auto tr = [this](const QString& s) { return translate(s); };
    if (runInFlight()) {
        m_impact->showError(tr(AlreadyRunning));
        return;
    }
    ado::Connection* connection = GconConnect();
    if (!connection) {
        m_impact->showError(tr(check::msg::NoConnection));
        return;
    }
    bool failed = false;
    const QString newSql = quietSqlForm(TXT_FORMULA->Text(), &failed);
    if (failed) {
        m_impact->showError(tr(check::msg::NotTranslated));
        return;
    }
    const QString oldSql = m_storedForm;
    // The worker translates through the host's service itself: the window is not reached from there.
    host::GlobalObject* host = global();
    host::TranslationService* service = host ? host->Translation() : nullptr;
    const check::TrialTranslateFn workerTranslate =
        service ? check::TrialTranslateFn([service](const QString& s) { return service->translate(s); })
                : check::TrialTranslateFn();
    ElementNames names([this, &tr](const QString& name) -> std::optional<check::TrialElement> {
        bool unreadable = false;
        const QList<check::TrialElement> found =
            check::trialElements(quietSqlForm(name.trimmed(), &unreadable));
        if (!unreadable && found.size() == 1)
            return found.first();
        return check::elementNamed(name.trimmed(), tr);
    });
    const check::ImpactElementFn elements = [&names](const QString& name) { return names(name); };

    // The rows: the record's cases, the CSV file's, the generated ones, one after the other.
    std::vector<std::unique_ptr<check::ImpactSource>> sources;
    if (m_impact->useCases() && m_cases && m_cases->reload() && !m_cases->cases().isEmpty())
        sources.push_back(check::caseRows(m_cases->cases(), workerTranslate));
    QFile csv(m_impact->csvPath());
    if (!m_impact->csvPath().isEmpty()) {
        if (!csv.open(QIODevice::ReadOnly)) {
            m_impact->showError(tr(CsvUnreadable).arg(csv.errorString()));
            return;
        }
        auto made = check::csvRows(&csv, elements, m_impact->csvNumbers(), workerTranslate, trialReading());
        if (const auto* e = std::get_if<check::ImpactInputError>(&made)) {
            m_impact->showError(inputError(CsvAt, CsvWhole, *e, tr, true));
            return;
        }
        sources.push_back(std::move(std::get<std::unique_ptr<check::ImpactSource>>(made)));
    }
    if (!m_impact->generationSpec().isEmpty()) {
        auto made = check::generatedRows(m_impact->generationSpec(), elements, workerTranslate);
        if (const auto* e = std::get_if<check::ImpactInputError>(&made)) {
            m_impact->showError(inputError(GenerationAt, GenerationWhole, *e, tr, false));
            return;
        }
        sources.push_back(std::move(std::get<std::unique_ptr<check::ImpactSource>>(made)));
    }
    if (sources.empty()) {
        m_impact->showError(tr(NoRows));
        return;
    }
    const std::unique_ptr<check::ImpactSource> rows = check::chainedRows(std::move(sources));

    std::atomic_bool cancel{false};
    check::ImpactOptions options;
    options.trial.translate = workerTranslate;
    options.cancel = &cancel;
    ImpactPreview* preview = m_impact;
    options.progress = [preview](qint64 done, qint64 total) {
        QMetaObject::invokeMethod(
            preview, [preview, done, total] { preview->setProgress(done, total); }, Qt::QueuedConnection);
    };
    check::ImpactReport report;
    QString error;
    m_impact->setRunning(true);
    try {
        backgroundRun()->runWithConnection(
            *connection,
            [&](ado::Connection* own) {
                // No connection of the worker's own: the compiled path needs none, and a row that
                // must go to the engine is refused rather than run on the window's connection.
                ado::Connection none;
                report = check::runImpact(own ? *own : none, oldSql, newSql, *rows, options);
            },
            [&cancel] { cancel = true; });
    } catch (const core::ComError& e) {
        error = e.description();
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    }
    m_impact->setRunning(false);
    if (!error.isEmpty())
        m_impact->showError(error);
    else if (report.inputError)
        m_impact->showError(inputError(CsvAt, CsvWhole, *report.inputError, tr, true));
    else
        m_impact->showReport(report);
}

void FRMLP_FORMULE::loadImpactRow(const check::ImpactRow& row) {
    // The row's values come as the stored reading reads them: typed again the user's way.
    QHash<QString, QString> values;
    for (const check::TrialInput& input : row.inputs)
        values.insert(check::inputKey(input.element),
                      check::trialTypedText(input.element, input.text, trialReading()));
    // As a loaded case: the row's values replace those typed, the others are emptied.
    m_trial->setValues(values);
    showTrialPanel(true);
    m_trial->raise();
}

} // namespace editor
