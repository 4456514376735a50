#include "tds/Tokens.h"

#include "tsql/ServerVersion.h"

#include "tds/Columns.h"
#include "tsql/Session.h"

namespace tds {

namespace {

// A token whose two-byte length follows its type: writes the type and room for the length;
// finish() fills the length in.
class Sized {
public:
    Sized(Writer& w, quint8 token)
        : m_w(w) {
        w.u8(token);
        m_at = w.size();
        w.u16(0);
    }
    ~Sized() { m_w.patchU16(m_at, quint16(m_w.size() - m_at - 2)); }
    Sized(const Sized&) = delete;
    Sized& operator=(const Sized&) = delete;

private:
    Writer& m_w;
    qsizetype m_at = 0;
};

} // namespace

void TokenWriter::envChange(EnvChange type, const QString& newValue, const QString& oldValue) {
    const Sized token(m_w, 0xE3);
    m_w.u8(quint8(type));
    m_w.bVarchar(newValue);
    m_w.bVarchar(oldValue);
}

void TokenWriter::envChangeBytes(EnvChange type, QByteArrayView newValue, QByteArrayView oldValue) {
    const Sized token(m_w, 0xE3);
    m_w.u8(quint8(type));
    m_w.u8(quint8(newValue.size()));
    m_w.bytes(newValue);
    m_w.u8(quint8(oldValue.size()));
    m_w.bytes(oldValue);
}

void TokenWriter::message(const Message& m) {
    const Sized token(m_w, m.level > 10 ? 0xAA : 0xAB);
    m_w.u32(quint32(m.number));
    m_w.u8(quint8(qBound(0, m.state, 255)));
    m_w.u8(quint8(qBound(0, m.level, 255)));
    // The text is cut to what the token's two-byte length leaves room for.
    m_w.usVarchar(m.text.left(16000));
    m_w.bVarchar(m_server);
    m_w.bVarchar(m.procedure);
    m_w.u32(quint32(qMax(0, m.line)));
}

void TokenWriter::loginAck(quint32 tdsVersion, const QString& programName) {
    const Sized token(m_w, 0xAD);
    m_w.u8(1); // SQL interface: T-SQL
    m_w.u32be(tdsVersion);
    m_w.bVarchar(programName);
    // The program's version: major, minor and the build number, high byte first.
    m_w.u8(quint8(tsql::server_version::Major));
    m_w.u8(quint8(tsql::server_version::Minor));
    m_w.u16be(quint16(tsql::server_version::Build));
}

void TokenWriter::featureExtAck() {
    m_w.u8(0xAE);
    m_w.u8(0xFF); // no feature acknowledged
}

void TokenWriter::done(DoneKind kind, quint16 status, quint16 command, quint64 rows) {
    m_w.u8(quint8(kind));
    m_w.u16(status);
    m_w.u16(command);
    m_w.u64(rows);
}

void TokenWriter::resultSet(const tsql::ResultSet& rs) {
    const std::vector<ColumnFormat> formats = columnFormats(rs);
    m_w.u8(0x81);
    m_w.u16(quint16(formats.size()));
    for (size_t i = 0; i < formats.size(); ++i) {
        m_w.u32(0);      // user type
        m_w.u16(0x0001); // nullable
        writeTypeInfo(m_w, formats[i]);
        m_w.bVarchar(i < size_t(rs.columns.size()) ? rs.columns.at(qsizetype(i)) : QString());
    }
    for (const auto& row : rs.rows) {
        if (m_stopped)
            return;
        m_w.u8(0xD1);
        for (size_t i = 0; i < formats.size(); ++i)
            writeValue(m_w, formats[i], i < row.size() ? row[i] : tsql::Value());
        if (m_flush && m_w.size() >= FlushBytes && !m_flush())
            m_stopped = true;
    }
}

void TokenWriter::returnStatus(qint32 value) {
    m_w.u8(0x79);
    m_w.u32(quint32(value));
}

void TokenWriter::returnInt(quint16 ordinal, const QString& name, qint32 value) {
    m_w.u8(0xAC);
    m_w.u16(ordinal);
    m_w.bVarchar(name);
    m_w.u8(0x01); // output parameter
    m_w.u32(0);   // user type
    m_w.u16(0);   // flags
    m_w.u8(0x26); // INTN
    m_w.u8(4);
    m_w.u8(4);
    m_w.u32(quint32(value));
}

} // namespace tds
