#include "VerifyWindow.h"
#include "RecordNames.h"

#include "ado/Ado.h"

#include <QBrush>
#include <QColor>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace demo {

namespace {

QString verdictText(check::Verdict verdict, const TranslateText& tr) {
    switch (verdict) {
    case check::Verdict::Ok:
        return tr(QStringLiteral("Corretta"));
    case check::Verdict::Error:
        return tr(QStringLiteral("Errore"));
    case check::Verdict::Stale:
        return tr(QStringLiteral("Riferimento mancante"));
    case check::Verdict::Unchecked:
        return tr(QStringLiteral("Non verificata"));
    case check::Verdict::Case:
        return tr(QStringLiteral("Caso di prova diverso"));
    }
    return {};
}

} // namespace

VerifyModel::VerifyModel(TranslateText translate, QObject* parent)
    : QAbstractTableModel(parent)
    , m_translate(std::move(translate)) {}

int VerifyModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int VerifyModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant VerifyModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const check::CheckedFormula& r = m_rows.at(index.row());
    if (role == Qt::BackgroundRole && index.column() == Verdict) {
        return r.verdict == check::Verdict::Ok          ? QBrush(QColor(0xdf, 0xf3, 0xdf))
               : r.verdict == check::Verdict::Error     ? QBrush(QColor(0xf8, 0xd7, 0xd7))
               : r.verdict == check::Verdict::Unchecked ? QBrush(QColor(0xe4, 0xe4, 0xe4))
                                                        : QBrush(QColor(0xfb, 0xec, 0xc8));
    }
    // The view sorts on the values themselves: numbers as numbers, contexts in their order.
    if (role == Qt::UserRole) {
        switch (index.column()) {
        case Verdict:
            return static_cast<int>(r.verdict);
        case Context:
            return r.context;
        case Line:
            return r.line;
        default:
            return data(index, Qt::DisplayRole);
        }
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Verdict:
        return verdictText(r.verdict, m_translate);
    case Context:
        return contextName(r.context, m_translate);
    case Id:
        return r.id;
    case Description:
        return r.description;
    case Message:
        return role == Qt::ToolTipRole ? r.message : explainedMessage(r);
    case Line:
        return r.line > 0 ? QVariant(r.line) : QVariant();
    default:
        return {};
    }
}

// The server's frequent messages explained first in the window's language, the names as the
// formula writes them and the place in words; the tooltip and the CSV keep the server's text.
QString VerifyModel::explainedMessage(const check::CheckedFormula& r) const {
    if (!m_names)
        m_names = std::make_unique<check::DisplayNames>(m_translate);
    return check::describeServerMessage(r.message, m_translate, m_names->fn(), r.line);
}

QVariant VerifyModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[] = {"Esito", "Contesto", "ID", "Descrizione", "Messaggio", "Riga"};
    return section >= 0 && section < ColumnCount ? m_translate(QString::fromUtf8(titles[section]))
                                                 : QVariant();
}

void VerifyModel::append(const QList<check::CheckedFormula>& rows) {
    if (rows.isEmpty())
        return;
    beginInsertRows({}, static_cast<int>(m_rows.size()), static_cast<int>(m_rows.size() + rows.size() - 1));
    m_rows.append(rows);
    endInsertRows();
}

void VerifyModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString VerifyModel::toCsv(const QList<int>& order, QChar separator) const {
    const auto field = [separator](const QString& text) {
        if (!text.contains(separator) && !text.contains(u'"') && !text.contains(u'\n') &&
            !text.contains(u'\r'))
            return text;
        return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    };
    QStringList header;
    for (int column = 0; column < ColumnCount; ++column)
        header.append(field(headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()));
    QString csv = header.join(separator) + QStringLiteral("\r\n");
    for (int i : order) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells.append(field(data(index(i, column), Qt::DisplayRole).toString()));
        csv += cells.join(separator) + QStringLiteral("\r\n");
    }
    return csv;
}

VerifyWorker::VerifyWorker(QString connectionString, int jobs, TranslateText translate, QObject* parent)
    : QThread(parent)
    , m_connectionString(std::move(connectionString))
    , m_jobs(jobs)
    , m_translate(std::move(translate)) {}

void VerifyWorker::run() {
    try {
        ado::Connection connection;
        connection.Open(m_connectionString);
        emit counted(check::BulkCheck::countRecords(connection, std::nullopt));
        check::BulkCheck bulk({.connectionString = m_connectionString,
                               .context = std::nullopt,
                               .jobs = m_jobs,
                               .translate = m_translate,
                               .cancelled = [this] { return m_cancelled.load(); },
                               .after = m_after});
        // Results go to the window in groups, so that a fast run does not flood its event loop.
        QList<check::CheckedFormula> group;
        bulk.run(connection, [&](const check::CheckedFormula& r) {
            group.append(r);
            if (group.size() >= 32) {
                emit found(group);
                group.clear();
            }
        });
        emit found(group);
        connection.Close();
    } catch (const core::ComError& e) {
        emit failed(e.description());
    } catch (const std::exception& e) {
        emit failed(QString::fromUtf8(e.what()));
    }
}

VerifyWindow::VerifyWindow(QString connectionString, TranslateText translate, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_connectionString(std::move(connectionString))
    , m_translate(std::move(translate)) {
    setObjectName(QStringLiteral("verifyWindow"));
    setWindowTitle(m_translate(QStringLiteral("Verifica formule")));
    qRegisterMetaType<QList<check::CheckedFormula>>();
    m_model = new VerifyModel(m_translate, this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setSortRole(Qt::UserRole);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("results"));
    m_view->setModel(m_proxy);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(-1, Qt::AscendingOrder);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(false);
    m_view->horizontalHeader()->setSectionResizeMode(VerifyModel::Message, QHeaderView::Stretch);
    for (int column : {VerifyModel::Verdict, VerifyModel::Context, VerifyModel::Id, VerifyModel::Line})
        m_view->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    m_view->setColumnWidth(VerifyModel::Description, 220);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setPlaceholderText(m_translate(QStringLiteral("Filtra")));
    m_progress = new QProgressBar(this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setMinimumWidth(320);
    m_cancel = new QPushButton(m_translate(QStringLiteral("Interrompi")), this);
    m_export = new QPushButton(m_translate(QStringLiteral("Esporta CSV")), this);
    m_resume = new QPushButton(m_translate(QStringLiteral("Riprendi")), this);
    m_resume->setObjectName(QStringLiteral("resume"));
    m_resume->hide();
    m_cancel->setObjectName(QStringLiteral("cancel"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(m_translate(QStringLiteral("Filtra")) + QLatin1Char(':'), this));
    top->addWidget(m_filter, 1);
    top->addWidget(m_export);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_progress, 1);
    bottom->addWidget(m_status);
    bottom->addWidget(m_cancel);
    bottom->addWidget(m_resume);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);
    resize(1000, 520);

    connect(m_filter, &QLineEdit::textChanged, m_proxy, &QSortFilterProxyModel::setFilterFixedString);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (isRunning()) {
            m_interrupted = true;
            m_worker->cancel();
        }
    });
    connect(m_resume, &QPushButton::clicked, this, &VerifyWindow::resume);
    connect(m_export, &QPushButton::clicked, this, &VerifyWindow::askExport);
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        const check::CheckedFormula& r = m_model->row(m_proxy->mapToSource(index).row());
        emit openRecord(r.context, r.id, r.line, r.message);
    });
}

VerifyWindow::~VerifyWindow() {
    if (m_worker) {
        m_worker->cancel();
        m_worker->wait();
    }
}

bool VerifyWindow::isRunning() const {
    return m_worker && m_worker->isRunning();
}

void VerifyWindow::start(int jobs) {
    if (isRunning())
        return;
    m_model->clear();
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    m_total = 0;
    m_progress->setRange(0, 0);
    m_progress->setValue(0);
    run(jobs, std::nullopt);
}

void VerifyWindow::resume() {
    if (isRunning() || !m_interrupted)
        return;
    std::optional<std::pair<int, qint64>> after;
    if (const int rows = m_model->rowCount(); rows > 0)
        after = std::make_pair(m_model->row(rows - 1).context, m_model->row(rows - 1).id);
    run(m_jobs, after);
}

void VerifyWindow::run(int jobs, std::optional<std::pair<int, qint64>> after) {
    m_jobs = jobs;
    m_interrupted = false;
    m_resume->hide();
    m_cancel->setEnabled(true);
    delete m_worker;
    m_worker = new VerifyWorker(m_connectionString, jobs, m_translate, this);
    if (after)
        m_worker->resumeAfter(after->first, after->second);
    else
        connect(m_worker, &VerifyWorker::counted, this, [this](qint64 total) {
            m_total = total;
            m_progress->setRange(0, static_cast<int>(std::min<qint64>(total, INT_MAX)));
        });
    connect(m_worker, &VerifyWorker::found, this, &VerifyWindow::onFound);
    connect(m_worker, &VerifyWorker::failed, this,
            [this](const QString& message) { m_status->setText(message); });
    connect(m_worker, &QThread::finished, this, &VerifyWindow::onFinished);
    m_worker->start();
}

void VerifyWindow::onFound(const QList<check::CheckedFormula>& rows) {
    m_model->append(rows);
    for (const check::CheckedFormula& r : rows)
        ++m_counts[static_cast<int>(r.verdict)];
    m_progress->setValue(m_model->rowCount());
    m_status->setText(m_translate(QStringLiteral("Corrette %1, errori %2, riferimenti mancanti %3"))
                          .arg(m_counts[0])
                          .arg(m_counts[1])
                          .arg(m_counts[2]));
}

void VerifyWindow::onFinished() {
    m_cancel->setEnabled(false);
    if (m_progress->maximum() == 0)
        m_progress->setRange(0, 1);
    // A stop that came after the last record changed nothing.
    m_interrupted = m_interrupted && m_model->rowCount() < m_total;
    if (m_interrupted) {
        // "Interrompi" stopped the run: say so, with what was checked, and offer to go on.
        m_status->setText(m_translate(QStringLiteral("Verifica interrotta dopo %1 formule su %2."))
                              .arg(m_model->rowCount())
                              .arg(m_total));
        m_resume->show();
    }
    emit finished();
}

QChar VerifyWindow::csvSeparator() const {
    return m_locale.decimalPoint() == QStringLiteral(",") ? u';' : u',';
}

bool VerifyWindow::exportCsv(const QString& path) const {
    QList<int> order;
    for (int row = 0; row < m_proxy->rowCount(); ++row)
        order.append(m_proxy->mapToSource(m_proxy->index(row, 0)).row());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write("\xEF\xBB\xBF") == 3 && file.write(m_model->toCsv(order, csvSeparator()).toUtf8()) >= 0;
}

void VerifyWindow::askExport() {
    const QString path = QFileDialog::getSaveFileName(this, m_translate(QStringLiteral("Esporta CSV")),
                                                      m_translate(QStringLiteral("verifica-formule.csv")),
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        m_status->setText(m_translate(QStringLiteral("Impossibile scrivere %1")).arg(path));
}

} // namespace demo
