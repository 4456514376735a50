#pragma once

#include "check/BulkCheck.h"
#include "check/ServerMessageTexts.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace demo {

using TranslateText = std::function<QString(const QString&)>;

// The results of the verification, one row per stored formula, as they arrive.
class VerifyModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Verdict, Context, Id, Description, Message, Line, ColumnCount };

    explicit VerifyModel(TranslateText translate, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void append(const QList<check::CheckedFormula>& rows);
    void clear();
    const check::CheckedFormula& row(int index) const { return m_rows.at(index); }

    // The rows as CSV with a header row, in the order of `order` (the view's rows): the columns
    // as the window shows them, in its language, fields separated by `separator` (a field that
    // holds it, a quote or a line break is quoted), lines ended by CR LF.
    QString toCsv(const QList<int>& order, QChar separator = u',') const;

private:
    QString explainedMessage(const check::CheckedFormula& r) const;

    TranslateText m_translate;
    QList<check::CheckedFormula> m_rows;
    mutable std::unique_ptr<check::DisplayNames> m_names;
};

// Runs the bulk check in a thread of its own with its own connection; results come out in
// small groups through `found`.
class VerifyWorker : public QThread {
    Q_OBJECT
public:
    VerifyWorker(QString connectionString, int jobs, TranslateText translate, QObject* parent = nullptr);
    // Check only the records after this one (context, id): an interrupted run goes on.
    void resumeAfter(int context, qint64 id) { m_after = std::make_pair(context, id); }
    void cancel() { m_cancelled = true; }

signals:
    void counted(qint64 total);
    void found(const QList<check::CheckedFormula>& rows);
    void failed(const QString& message);

protected:
    void run() override;

private:
    QString m_connectionString;
    int m_jobs;
    TranslateText m_translate;
    std::atomic<bool> m_cancelled{false};
    std::optional<std::pair<int, qint64>> m_after;
};

// The window "Verifica formule": every stored formula checked, in a sortable, filterable table
// filled while the run goes on; Cancel, export to CSV, and a double-click to open the record.
class VerifyWindow : public QWidget {
    Q_OBJECT
public:
    VerifyWindow(QString connectionString, TranslateText translate, QWidget* parent = nullptr);
    ~VerifyWindow() override;

    void start(int jobs = 1);
    // Goes on after the last record checked before "Interrompi" (the rows found stay).
    void resume();
    bool isRunning() const;
    // The last run was stopped with "Interrompi" before its end.
    bool wasInterrupted() const { return m_interrupted; }
    VerifyModel& model() { return *m_model; }
    // The language of the exported file: its list separator (";" where the decimal separator is
    // a comma, as spreadsheet programs read it, "," elsewhere).
    void setLocale(const QLocale& locale) { m_locale = locale; }
    QChar csvSeparator() const;
    // Writes the rows as the view shows them, as UTF-8 with a byte-order mark (spreadsheet
    // programs read the encoding from it).
    bool exportCsv(const QString& path) const;

signals:
    // A double-click on a row: open the editor on the record with the message's line marked.
    void openRecord(int context, qint64 id, int line, const QString& message);
    void finished();

private:
    void onFound(const QList<check::CheckedFormula>& rows);
    void onFinished();
    void askExport();
    void run(int jobs, std::optional<std::pair<int, qint64>> after);

    QString m_connectionString;
    TranslateText m_translate;
    VerifyModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QTableView* m_view;
    QLineEdit* m_filter;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_cancel;
    QPushButton* m_export;
    QPushButton* m_resume;
    VerifyWorker* m_worker = nullptr;
    qint64 m_counts[4] = {0, 0, 0, 0};
    qint64 m_total = 0;
    int m_jobs = 1;
    bool m_interrupted = false;
    QLocale m_locale = QLocale::c();
};

} // namespace demo
