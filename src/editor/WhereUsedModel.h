#pragma once

#include "editor/WhereUsedSearch.h"

#include <QAbstractItemModel>
#include <QStringList>

#include <functional>
#include <vector>

namespace editor {

// The rows of the where-used list as a model: one row per record (context, id, description, its
// lines); a record with several lines has one child row per line. The rows are the found records
// themselves: nothing is made per row, so a list of 60,000 records costs what they weigh. Records
// handed over are appended at most `chunk` at a time per turn of the event loop, so that a large
// batch never holds the window.
class WhereUsedModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // The record, id and line of a row (a record's row: its first line).
    static constexpr int ContextRole = Qt::UserRole;
    static constexpr int IdRole = Qt::UserRole + 1;
    static constexpr int LineRole = Qt::UserRole + 2;

    // `headers`: the four column titles; `contextName`: a context's caption as shown.
    WhereUsedModel(QStringList headers, std::function<QString(int)> contextName, QObject* parent = nullptr,
                   int chunk = 4096);

    // Queues `records` and appends the first chunk of what is queued now.
    void add(const QList<RecordUses>& records);
    // Records not appended yet.
    qsizetype queued() const { return qsizetype(m_queue.size()) - m_queueStart; }
    // Number of uses among the appended records.
    qint64 uses() const { return m_uses; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // A chunk was appended (the first rows are there, or more of them).
    void appended();

private:
    void appendChunk();

    QStringList m_headers;
    std::function<QString(int)> m_contextName;
    int m_chunk;
    std::vector<RecordUses> m_records;
    std::vector<RecordUses> m_queue;
    qsizetype m_queueStart = 0;
    bool m_scheduled = false;
    qint64 m_uses = 0;
};

} // namespace editor
