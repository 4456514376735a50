#pragma once

#include "ado/Ado.h"
#include "host/HostObject.h"

#include <QPointer>

namespace host {

// A recordset as the host hands it out late bound: the fields of the current record by name.
class RecordsetObject : public HostObject {
    Q_OBJECT
    Q_PROPERTY(bool AtBOF READ isBOF)
    Q_PROPERTY(bool AtEOF READ isEOF)
public:
    explicit RecordsetObject(ado::RecordsetPtr recordset, QObject* parent = nullptr);
    bool isBOF() const;
    bool isEOF() const;
    // The value of a field of the current record; throws core::ComError 3265 when the field does
    // not exist, 3021 at BOF/EOF.
    core::Variant fieldValue(const QString& name) const;
    // Late-bound form of fieldValue: an invalid QVariant (Empty) when the field cannot be read.
    Q_INVOKABLE QVariant Fields(const QString& name) const;
    ado::RecordsetPtr recordset() const { return m_recordset; }

private:
    ado::RecordsetPtr m_recordset;
};

// Record status of a data frame.
namespace frame {
inline constexpr int Modified = 0;  // the record was changed and is not saved yet (Update saves it)
inline constexpr int Editing = 1;   // an existing, saved record is being varied
inline constexpr int Inserting = 2; // a new record is being entered (not saved yet)
} // namespace frame

// The host's data frame of the current record of a master table, read late bound:
// Status, Recordset (a RecordsetObject, or null), Name, and the method Update.
// The stand-in shows one row of a table (by default the provider table of the price-list
// conditions) read through an ADO connection.
class DataFrame : public HostObject {
    Q_OBJECT
    Q_PROPERTY(int Status READ Status WRITE setStatus)
    Q_PROPERTY(QObject* Recordset READ Recordset)
    Q_PROPERTY(QString Name READ Name WRITE setName)
public:
    explicit DataFrame(QObject* parent = nullptr);

    int Status() const;
    void setStatus(int status) { m_status = status; }
    QObject* Recordset() const;
    void setRecordset(ado::RecordsetPtr recordset); // null clears
    QString Name() const;
    void setName(const QString& name) { m_name = name; }
    // Saves the record: the status becomes Editing.
    Q_INVOKABLE void Update();

    // Reads the record of `table` whose `idColumn` is `id` through `connection` (SELECT *),
    // sets the recordset and the status Editing. Throws core::ComError on database errors.
    void load(ado::Connection& connection, const QString& table, const QString& idColumn, qint64 id);

private:
    // The table of the provider context.
    static QString defaultName();

    int m_status = frame::Editing;
    QString m_name = defaultName();
    QPointer<RecordsetObject> m_recordset;
};

} // namespace host
