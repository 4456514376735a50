#pragma once

// The server's token stream: login acknowledgement, environment changes, messages, result
// sets and the DONE tokens that end each statement, request and procedure.

#include "tds/Wire.h"

#include <QString>

#include <functional>
#include <vector>

namespace tsql {
struct ResultSet;
}

namespace tds {

// DONE status bits.
inline constexpr quint16 DoneFinal = 0x0000;
inline constexpr quint16 DoneMore = 0x0001;
inline constexpr quint16 DoneError = 0x0002;
inline constexpr quint16 DoneCount = 0x0010;
inline constexpr quint16 DoneAttention = 0x0020;

enum class DoneKind : quint8 { Done = 0xFD, DoneProc = 0xFE, DoneInProc = 0xFF };

// ENVCHANGE types.
enum class EnvChange : quint8 {
    Database = 1,
    Language = 2,
    PacketSize = 4,
    Collation = 7,
    BeginTransaction = 8,
    CommitTransaction = 9,
    RollbackTransaction = 10,
};

// The server's collation: SQL_Latin1_General_CP1_CI_AS (LCID 0x409, code page 1252).
inline constexpr char Collation[5] = {0x09, 0x04, char(0xD0), 0x00, 0x34};

struct Message {
    int number = 0;
    int state = 1;
    int level = 0; // above 10 an error (ERROR token), else INFO
    int line = 1;
    QString text;
    QString procedure;
};

class TokenWriter {
public:
    explicit TokenWriter(QString serverName)
        : m_server(std::move(serverName)) {}

    QByteArray take() { return std::exchange(m_w.data(), {}); }
    // Called between rows once this much is written: it takes what is written (take()) and
    // sends it; false stops the rows of the result sets still to be written.
    static constexpr qsizetype FlushBytes = qsizetype(32) * 1024;
    void setFlush(std::function<bool()> flush) { m_flush = std::move(flush); }

    void envChange(EnvChange type, const QString& newValue, const QString& oldValue);
    void envChangeBytes(EnvChange type, QByteArrayView newValue, QByteArrayView oldValue);
    void message(const Message& m);
    void loginAck(quint32 tdsVersion, const QString& programName);
    void featureExtAck();
    void done(DoneKind kind, quint16 status, quint16 command, quint64 rows);
    // COLMETADATA and the ROW tokens of a result set.
    void resultSet(const tsql::ResultSet& rs);
    void returnStatus(qint32 value);
    // RETURNVALUE of an int output parameter.
    void returnInt(quint16 ordinal, const QString& name, qint32 value);

private:
    QString m_server;
    Writer m_w;
    std::function<bool()> m_flush;
    bool m_stopped = false;
};

} // namespace tds
