#pragma once

#include "check/BulkCheck.h"
#include "check/ServerMessageTexts.h"

#include <QAbstractTableModel>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

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

    // The rows as CSV with a header row, in the order of `order` (the view's rows).
    QString toCsv(const QList<int>& order) const;

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
};

// The window "Verifica formule": every stored formula checked, in a sortable, filterable table
// filled while the run goes on; Cancel, export to CSV, and a double-click to open the record.
class VerifyWindow : public QWidget {
    Q_OBJECT
public:
    VerifyWindow(QString connectionString, TranslateText translate, QWidget* parent = nullptr);
    ~VerifyWindow() override;

    void start(int jobs = 1);
    bool isRunning() const;
    VerifyModel& model() { return *m_model; }
    bool exportCsv(const QString& path) const;

signals:
    // A double-click on a row: open the editor on the record with the message's line marked.
    void openRecord(int context, qint64 id, int line, const QString& message);
    void finished();

private:
    void onFound(const QList<check::CheckedFormula>& rows);
    void onFinished();
    void askExport();

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
    VerifyWorker* m_worker = nullptr;
    qint64 m_counts[3] = {0, 0, 0};
};

} // namespace demo
