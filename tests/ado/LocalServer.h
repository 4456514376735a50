#pragma once

// A `formule serve` of a test's own: a fresh demo database served on a free loopback port
// (the port the server prints on its "listening on" line), stopped with SIGTERM when the object
// goes. The SQL Server back end's tests run through it when no real server is named.

#include "ado/Setup.h"

#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

namespace testing_tds {

inline const QString User = QStringLiteral("formule_test");
inline const QString Password = QStringLiteral("Pa;ss word è");

class LocalServer {
public:
    LocalServer() = default;
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;
    ~LocalServer() { stop(); }

    // Creates the demo database and starts the server; false with the reason in `error`.
    bool start(QString& error) {
        if (!m_dir.isValid()) {
            error = QStringLiteral("no temporary directory");
            return false;
        }
        m_dbPath = m_dir.filePath(QStringLiteral("e2e.sqlite"));
        ado::setup::initialize(ado::setup::embeddedConnectionString(m_dbPath), true);
        m_process.setProgram(QStringLiteral(FORMULE_TOOL));
        m_process.setArguments({QStringLiteral("--db"), embeddedConnectionString(), QStringLiteral("serve"),
                                QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                QStringLiteral("--user"), User, QStringLiteral("--password"), Password});
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(10000)) {
            error = QStringLiteral("formule serve did not start");
            return false;
        }
        QByteArray line;
        while (!line.contains('\n') && m_process.waitForReadyRead(15000))
            line += m_process.readAllStandardOutput();
        const QString text = QString::fromUtf8(line).trimmed();
        const qsizetype colon = text.lastIndexOf(u':');
        if (!text.startsWith(QLatin1String("listening on ")) || colon < 0) {
            error = QStringLiteral("formule serve said \"%1\" (%2)")
                        .arg(text, QString::fromUtf8(m_process.readAllStandardError()));
            return false;
        }
        m_port = text.mid(colon + 1).toUShort();
        return m_port != 0;
    }

    // Sends SIGTERM and waits for the clean stop; the exit code (-1 when it did not stop).
    int stop() {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(20000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    quint16 port() const { return m_port; }
    QString databasePath() const { return m_dbPath; }
    QString databaseName() const { return QStringLiteral("e2e"); }
    QString embeddedConnectionString() const { return ado::setup::embeddedConnectionString(m_dbPath); }
    QString connectionString(const QString& password = Password) const {
        return QStringLiteral("Provider=MSOLEDBSQL;Data Source=127.0.0.1,%1;Initial Catalog=%2;User ID=%3;"
                              "Password=\"%4\"")
            .arg(m_port)
            .arg(databaseName(), User, password);
    }
    QString serverLog() { return QString::fromUtf8(m_process.readAllStandardError()); }

private:
    QTemporaryDir m_dir;
    QString m_dbPath;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace testing_tds
