#pragma once

#include "language/WhereUsed.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace ado {
class Connection;
}

namespace editor {

// The uses of an element in one stored formula: its record and the lines that use it.
struct RecordUses {
    int context = 0;
    qint64 id = 0;
    QString description;
    QList<int> lines; // ascending, each once
};

// The where-used search of the element tree, off the window's thread: a worker with a connection
// of its own (opened from the window connection's string) reads the stored formulas and hands
// the uses over grouped by record, the first record as soon as it is found and then a batch at
// most every few hundredths of a second, so that the list fills while the window goes on. When
// the worker cannot open a connection from the string alone, the search runs on the window's
// connection on the window's thread, as before.
class WhereUsedSearch : public QObject {
    Q_OBJECT
public:
    explicit WhereUsedSearch(QObject* parent = nullptr);
    // Stops the search between two records and waits for the worker.
    ~WhereUsedSearch() override;

    // Looks for `name`'s uses in every context. Once per object.
    void start(ado::Connection& connection, const language::ElementName& name);
    // Stops the search between two records (finished() follows).
    void cancel() { *m_cancelled = true; }
    bool isFinished() const { return m_finished; }

    // Groups uses by record as they come, in the order context, id, line.
    class Grouping {
    public:
        // Adds a use; returns true when it began another record (the one before is complete).
        bool add(const language::ElementUse& use);
        // The complete records, taken away; `all` takes the last one too.
        QList<RecordUses> take(bool all);
        bool hasComplete() const { return m_records.size() > 1; }

    private:
        QList<RecordUses> m_records;
    };

signals:
    void found(const QList<editor::RecordUses>& records);
    // The search ended: the number of uses, and the error that stopped it ("" when none).
    void finished(qint64 uses, const QString& error);

private:
    void searchHere(ado::Connection& connection, const language::ElementName& name);

    QThread* m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    bool m_finished = false;
};

} // namespace editor
