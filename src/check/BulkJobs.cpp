// The parallel run of the bulk check: the calling thread reads the records and hands out the
// results in record order; every job is a thread with a connection and a checker of its own
// (a database connection belongs to the thread that opened it).

#include "check/BulkCheck.h"

#include "ado/Ado.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace check {

namespace {

// The records waiting for a job and the results waiting for their turn, under one lock.
class WorkQueue {
public:
    explicit WorkQueue(std::size_t capacity)
        : m_capacity(capacity) {}

    // Called by the reader: false when the queue is full.
    bool tryPush(qint64 sequence, language::StoredFormula&& record) {
        std::lock_guard lock(m_mutex);
        if (m_records.size() >= m_capacity)
            return false;
        m_records.push_back({sequence, std::move(record)});
        m_workAvailable.notify_one();
        return true;
    }

    // Called by a job: the next records waiting, at most `most` of them, or false when the
    // queue is closed and empty.
    bool pop(std::vector<qint64>& sequences, std::vector<language::StoredFormula>& records,
             std::size_t most) {
        sequences.clear();
        records.clear();
        std::unique_lock lock(m_mutex);
        m_workAvailable.wait(lock, [this] { return m_closed || !m_records.empty(); });
        if (m_records.empty())
            return false;
        while (!m_records.empty() && records.size() < most) {
            sequences.push_back(m_records.front().first);
            records.push_back(std::move(m_records.front().second));
            m_records.pop_front();
        }
        m_changed.notify_all();
        return true;
    }

    void deliver(qint64 sequence, CheckedFormula&& result) {
        std::lock_guard lock(m_mutex);
        m_results.emplace(sequence, std::move(result));
        m_changed.notify_all();
    }

    // The result of `sequence` when it is there.
    std::optional<CheckedFormula> take(qint64 sequence) {
        std::lock_guard lock(m_mutex);
        const auto it = m_results.find(sequence);
        if (it == m_results.end())
            return std::nullopt;
        CheckedFormula result = std::move(it->second);
        m_results.erase(it);
        return result;
    }

    // Waits until the result of `sequence` is there or, when `roomWanted`, the queue has room.
    void waitFor(qint64 sequence, bool roomWanted) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] {
            return m_results.count(sequence) > 0 || (roomWanted && m_records.size() < m_capacity);
        });
    }

    // No more records: the jobs end once the queue is empty; `drop` empties it first, and the
    // records the jobs have taken and not yet checked are dropped too.
    void close(bool drop) {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        if (drop) {
            m_records.clear();
            m_dropped = true;
        }
        m_workAvailable.notify_all();
    }

    bool dropped() const { return m_dropped; }

private:
    std::size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_workAvailable;
    std::condition_variable m_changed;
    std::deque<std::pair<qint64, language::StoredFormula>> m_records;
    std::map<qint64, CheckedFormula> m_results;
    bool m_closed = false;
    std::atomic<bool> m_dropped = false;
};

// One job: opens its connection and checks records until the queue is closed. A job whose
// connection cannot be opened answers every record it takes with the reason.
void runJob(WorkQueue& queue, const QString& connectionString, const TranslateText& translate,
            Judgement judgement, bool cases) {
    std::unique_ptr<ado::Connection> connection;
    std::unique_ptr<FormulaChecker> checker;
    QString failure;
    try {
        connection = std::make_unique<ado::Connection>();
        connection->Open(connectionString);
        checker = std::make_unique<FormulaChecker>(*connection, translate, judgement, cases);
    } catch (const core::ComError& e) {
        failure = e.description();
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    std::vector<qint64> sequences;
    std::vector<language::StoredFormula> records;
    while (queue.pop(sequences, records, FormulaChecker::PrefetchRecords)) {
        if (checker)
            checker->prefetch(records);
        for (std::size_t i = 0; i < records.size() && !queue.dropped(); ++i) {
            const language::StoredFormula& record = records[i];
            CheckedFormula result;
            if (checker) {
                result = checker->check(record);
            } else {
                const QString text = translate ? translate(bulkmsg::NoConnection) : bulkmsg::NoConnection;
                result = {record.context,     record.id,         record.description,
                          Verdict::Unchecked, text.arg(failure), 0};
            }
            queue.deliver(sequences[i], std::move(result));
        }
    }
    checker.reset();
    if (connection && connection->State() == 1)
        connection->Close();
}

} // namespace

BulkSummary BulkCheck::runParallel(ado::Connection& connection,
                                   const std::function<void(const CheckedFormula&)>& each) {
    BulkSummary summary;
    WorkQueue queue(static_cast<std::size_t>(m_options.jobs) * FormulaChecker::PrefetchRecords);
    std::vector<std::thread> jobs;
    jobs.reserve(static_cast<std::size_t>(m_options.jobs));
    for (int i = 0; i < m_options.jobs; ++i)
        jobs.emplace_back(runJob, std::ref(queue), m_options.connectionString, m_options.translate,
                          m_options.judgement, m_options.cases);
    // The jobs are joined whatever happens to the reader.
    struct Joiner {
        WorkQueue& queue;
        std::vector<std::thread>& jobs;
        bool drop = true;
        ~Joiner() {
            queue.close(drop);
            for (std::thread& t : jobs)
                t.join();
        }
    } joiner{queue, jobs};

    language::StoredFormulaReader reader(connection, m_options.context);
    if (m_options.after)
        reader.startAfter(m_options.after->first, m_options.after->second);
    std::optional<language::StoredFormula> pending;
    bool readerDone = false;
    qint64 read = 0;
    qint64 emitted = 0;
    const auto cancelled = [&] { return summary.cancelled = m_options.cancelled && m_options.cancelled(); };
    while ((!readerDone || emitted < read) && !cancelled()) {
        // Cancel is asked between two results too: the jobs may have finished many at once.
        std::optional<CheckedFormula> result;
        while (!summary.cancelled && (result = queue.take(emitted))) {
            ++emitted;
            summary.add(result->verdict);
            if (each)
                each(*result);
            cancelled();
        }
        if (summary.cancelled)
            break;
        if (!readerDone && !pending) {
            pending = reader.next();
            readerDone = !pending;
            if (readerDone)
                queue.close(false);
        }
        if (pending && queue.tryPush(read, std::move(*pending))) {
            pending.reset();
            ++read;
            continue;
        }
        if (emitted < read || pending)
            queue.waitFor(emitted, pending.has_value());
    }
    joiner.drop = summary.cancelled;
    return summary;
}

} // namespace check
