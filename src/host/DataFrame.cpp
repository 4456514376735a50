#include "host/DataFrame.h"

#include "tables/EditingContext.h"
#include "tables/FormulaTables.h"

namespace host {

RecordsetObject::RecordsetObject(ado::RecordsetPtr recordset, QObject* parent)
    : HostObject(parent)
    , m_recordset(std::move(recordset)) {
    setObjectName(QStringLiteral("Recordset"));
}

bool RecordsetObject::isBOF() const {
    return !m_recordset || m_recordset->IsBOF();
}

bool RecordsetObject::isEOF() const {
    return !m_recordset || m_recordset->IsEOF();
}

core::Variant RecordsetObject::fieldValue(const QString& name) const {
    const_cast<RecordsetObject*>(this)->record(QStringLiteral("Fields"), {core::Variant(name)});
    if (!m_recordset)
        throw core::ComError(core::err::AdoOperationNotAllowed,
                             QStringLiteral("Operation is not allowed when the object is closed."));
    return m_recordset->GetFields().Item(name).Value();
}

QVariant RecordsetObject::Fields(const QString& name) const {
    try {
        return fieldValue(name).toQVariant();
    } catch (const std::exception&) {
        return {};
    }
}

DataFrame::DataFrame(QObject* parent)
    : HostObject(parent) {
    setObjectName(QStringLiteral("DataFrame"));
}

int DataFrame::Status() const {
    const_cast<DataFrame*>(this)->record(QStringLiteral("Status"));
    return m_status;
}

QObject* DataFrame::Recordset() const {
    const_cast<DataFrame*>(this)->record(QStringLiteral("Recordset"));
    return m_recordset.data();
}

void DataFrame::setRecordset(ado::RecordsetPtr recordset) {
    delete m_recordset.data();
    m_recordset = recordset ? new RecordsetObject(std::move(recordset), this) : nullptr;
}

QString DataFrame::Name() const {
    const_cast<DataFrame*>(this)->record(QStringLiteral("Name"));
    return m_name;
}

void DataFrame::Update() {
    record(QStringLiteral("Update"));
    m_status = frame::Editing;
}

QString DataFrame::defaultName() {
    return QString::fromLatin1(tables::editingContext(tables::vxContestoProvider)->table);
}

void DataFrame::load(ado::Connection& connection, const QString& table, const QString& idColumn, qint64 id) {
    record(QStringLiteral("load"), {core::Variant(table), core::Variant::fromInt64(id)});
    ado::RecordsetPtr rs = connection.Execute(tables::recordStatement(table, idColumn, id));
    m_name = table;
    setRecordset(rs);
    m_status = frame::Editing;
}

} // namespace host
