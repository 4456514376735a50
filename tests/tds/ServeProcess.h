#pragma once

// `formule serve` of a test: a fresh demo database served on a free loopback port with the
// arguments the test gives, its log (standard error) collected, its resident memory read from
// /proc, and SIGTERM when the object goes.

#include "ado/Setup.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

#include <functional>

namespace tds_test {

// The sanitizer build runs everything several times slower: its runs are shorter and its
// deadlines longer.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool Sanitized = true;
#else
inline constexpr bool Sanitized = false;
#endif
#else
inline constexpr bool Sanitized = false;
#endif

// How long a good client may wait for an answer while the server is under attack.
inline constexpr int AnswerMs = Sanitized ? 10000 : 2000;

inline const QString User = QStringLiteral("formule_test");
inline const QString Password = QStringLiteral("Pa;ss word è");

class ServeProcess {
public:
    ServeProcess() = default;
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;
    ~ServeProcess() { stop(); }

    QString dir() const { return m_dir.path(); }
    QString databasePath() const { return m_dir.filePath(QStringLiteral("serve.sqlite")); }
    QString logPath() const { return m_dir.filePath(QStringLiteral("serve.log")); }

    // Starts the server with `args` after --db and "serve" (`prepare` gets the database's file
    // first); the password from a file when
    // `args` names none. Returns the server's first line on standard output ("listening on
    // ...") or its error, with the port in port().
    QString start(QStringList args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                  const std::function<void(const QString&)>& prepare = {}) {
        ado::setup::initialize(ado::setup::embeddedConnectionString(databasePath()), true);
        if (prepare)
            prepare(databasePath());
        if (!args.contains(QStringLiteral("--password")) &&
            !args.contains(QStringLiteral("--password-file")) &&
            !env.contains(QStringLiteral("FORMULE_PASSWORD"))) {
            const QString file = m_dir.filePath(QStringLiteral("password"));
            QFile f(file);
            if (f.open(QIODevice::WriteOnly))
                f.write(Password.toUtf8() + "\n");
            args << QStringLiteral("--password-file") << file;
        }
        m_process.setProgram(QStringLiteral(FORMULE_TOOL));
        m_process.setArguments(QStringList{QStringLiteral("--db"),
                                           ado::setup::embeddedConnectionString(databasePath()),
                                           QStringLiteral("serve")} +
                               args);
        m_process.setProcessEnvironment(env);
        // A file, not a pipe: a log nobody reads would hold the server back.
        m_process.setStandardErrorFile(logPath());
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return QStringLiteral("did not start");
        QByteArray line;
        while (!line.contains('\n') && m_process.state() == QProcess::Running &&
               m_process.waitForReadyRead(30000))
            line += m_process.readAllStandardOutput();
        m_process.waitForFinished(line.contains('\n') ? 0 : 5000);
        // The first line; a fingerprint of the certificate may follow it.
        const QString text = QString::fromUtf8(line.left(line.indexOf('\n'))).trimmed();
        const qsizetype colon = text.lastIndexOf(u':');
        if (text.startsWith(QLatin1String("listening on ")) && colon > 0)
            m_port = text.mid(colon + 1).toUShort();
        return text.isEmpty() ? log().trimmed() : text;
    }

    quint16 port() const { return m_port; }
    bool running() const { return m_process.state() == QProcess::Running; }
    int exitCode() const { return m_process.exitCode(); }

    // The server's resident memory in KB (0 when it is gone).
    qint64 residentKb() const {
        QFile f(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
        return 0;
    }

    // The log so far (standard error).
    QString log() const {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // SIGTERM and the clean stop; the exit code (-1 when it did not stop).
    int stop() {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(30000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace tds_test
