#include "editor/WhereUsedModel.h"

#include <QTimer>

#include <algorithm>

namespace editor {

namespace {

// A record's lines beyond these are in its own rows (the record opens into one row per line).
constexpr int ShownLines = 20;

QString linesText(const QList<int>& lines) {
    QStringList shown;
    for (qsizetype i = 0; i < lines.size() && i < ShownLines; ++i)
        shown << QString::number(lines[i]);
    if (lines.size() > ShownLines)
        shown << QStringLiteral("...");
    return shown.join(QStringLiteral(", "));
}

// The internal id of an index: 0 for a record's row, the record's row + 1 for a row of its lines.
constexpr quintptr RecordRow = 0;

} // namespace

WhereUsedModel::WhereUsedModel(QStringList headers, std::function<QString(int)> contextName, QObject* parent,
                               int chunk)
    : QAbstractItemModel(parent)
    , m_headers(std::move(headers))
    , m_contextName(std::move(contextName))
    , m_chunk(std::max(1, chunk)) {}

void WhereUsedModel::add(const QList<RecordUses>& records) {
    m_queue.insert(m_queue.end(), records.begin(), records.end());
    if (!m_scheduled)
        appendChunk();
}

void WhereUsedModel::appendChunk() {
    m_scheduled = false;
    const qsizetype count = std::min<qsizetype>(m_chunk, queued());
    if (count <= 0)
        return;
    const int first = int(m_records.size());
    beginInsertRows({}, first, first + int(count) - 1);
    const auto from = m_queue.begin() + m_queueStart;
    for (auto it = from; it != from + count; ++it) {
        m_uses += it->lines.size();
        m_records.push_back(std::move(*it));
    }
    m_queueStart += count;
    if (m_queueStart == qsizetype(m_queue.size())) {
        m_queue.clear();
        m_queueStart = 0;
    }
    endInsertRows();
    emit appended();
    if (queued() > 0) {
        // The rest after the window has had its turn (painting, input).
        m_scheduled = true;
        QTimer::singleShot(0, this, &WhereUsedModel::appendChunk);
    }
}

QModelIndex WhereUsedModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= columnCount())
        return {};
    if (!parent.isValid())
        return row < int(m_records.size()) ? createIndex(row, column, RecordRow) : QModelIndex();
    if (parent.internalId() != RecordRow || row >= rowCount(parent))
        return {};
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex WhereUsedModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == RecordRow)
        return {};
    return createIndex(int(child.internalId() - 1), 0, RecordRow);
}

int WhereUsedModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return int(m_records.size());
    if (parent.internalId() != RecordRow || parent.column() != 0)
        return 0;
    const QList<int>& lines = m_records[std::size_t(parent.row())].lines;
    return lines.size() > 1 ? int(lines.size()) : 0;
}

int WhereUsedModel::columnCount(const QModelIndex&) const {
    return 4;
}

bool WhereUsedModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant WhereUsedModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const bool line = index.internalId() != RecordRow;
    const RecordUses& record = m_records[std::size_t(line ? index.internalId() - 1 : index.row())];
    switch (role) {
    case Qt::DisplayRole:
        if (line)
            return index.column() == 3 ? QString::number(record.lines.value(index.row())) : QString();
        switch (index.column()) {
        case 0:
            return m_contextName ? m_contextName(record.context) : QString::number(record.context);
        case 1:
            return QString::number(record.id);
        case 2:
            return record.description;
        default:
            return linesText(record.lines);
        }
    case Qt::TextAlignmentRole:
        if (index.column() == 1 || index.column() == 3)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return {};
    case ContextRole:
        return record.context;
    case IdRole:
        return record.id;
    case LineRole:
        return record.lines.value(line ? index.row() : 0);
    default:
        return {};
    }
}

QVariant WhereUsedModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_headers.size())
        return m_headers.at(section);
    return {};
}

} // namespace editor
