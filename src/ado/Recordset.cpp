#include "ado/Ado.h"

namespace ado {

namespace {

const QString RecordsetSource = QStringLiteral("ADODB.Recordset");
const QString FieldsSource = QStringLiteral("ADODB.Fields");

[[noreturn]] void raiseClosed(const QString& source) {
    throw core::ComError(core::err::AdoOperationNotAllowed,
                         QStringLiteral("Operation is not allowed when the object is closed."), source);
}

[[noreturn]] void raiseBofEof() {
    throw core::ComError(core::err::AdoBofEof,
                         QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                        "Requested operation requires a current record."),
                         RecordsetSource);
}

[[noreturn]] void raiseNotFound(const QString& source) {
    throw core::ComError(
        core::err::AdoItemNotFound,
        QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                       "name or ordinal."),
        source);
}

} // namespace

const Error& Errors::Item(int index) const {
    if (index < 0 || index >= m_items.size())
        raiseNotFound(QStringLiteral("ADODB.Errors"));
    return m_items.at(index);
}

Recordset::Recordset() = default;

Recordset::Recordset(core::RowSet rows)
    : m_rows(std::move(rows))
    , m_open(true) {}

bool Recordset::IsBOF() const {
    if (!m_open)
        raiseClosed(RecordsetSource);
    return m_rows.rows.isEmpty() || m_pos < 0;
}

bool Recordset::IsEOF() const {
    if (!m_open)
        raiseClosed(RecordsetSource);
    return m_pos >= m_rows.rows.size();
}

qint64 Recordset::RecordCount() const {
    return m_open ? m_rows.rows.size() : -1;
}

void Recordset::MoveFirst() {
    if (!m_open)
        raiseClosed(RecordsetSource);
    if (m_rows.rows.isEmpty())
        raiseBofEof();
    m_pos = 0;
}

void Recordset::MoveNext() {
    if (!m_open)
        raiseClosed(RecordsetSource);
    if (m_pos >= m_rows.rows.size())
        raiseBofEof();
    ++m_pos;
}

void Recordset::MoveLast() {
    if (!m_open)
        raiseClosed(RecordsetSource);
    if (m_rows.rows.isEmpty())
        raiseBofEof();
    m_pos = m_rows.rows.size() - 1;
}

void Recordset::Close() {
    if (!m_open)
        raiseClosed(RecordsetSource);
    m_open = false;
    m_rows = {};
    m_pos = 0;
}

int Fields::Count() const {
    if (!m_rs->IsOpen())
        raiseClosed(FieldsSource);
    return static_cast<int>(m_rs->rowSet().columns.size());
}

Field Fields::Item(int index) const {
    if (!m_rs->IsOpen())
        raiseClosed(FieldsSource);
    const core::RowSet& rows = m_rs->rowSet();
    if (index < 0 || index >= rows.columns.size())
        raiseNotFound(FieldsSource);
    if (m_rs->IsBOF() || m_rs->IsEOF())
        raiseBofEof();
    const QList<core::Variant>& row = rows.rows.at(m_rs->position());
    return Field(rows.columns.at(index), index < row.size() ? row.at(index) : core::Variant::null());
}

Field Fields::Item(const QString& name) const {
    if (!m_rs->IsOpen())
        raiseClosed(FieldsSource);
    const QStringList& columns = m_rs->rowSet().columns;
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return Item(i);
    }
    raiseNotFound(FieldsSource);
}

} // namespace ado
