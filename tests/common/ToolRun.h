#pragma once

// The formule tool built with the tests (the FORMULE_TOOL path each test target defines) run as a
// process: arguments, optional standard input and environment, a time limit; what it answers is
// its exit code, standard output and standard error.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testtool {

struct ToolRun {
    // The tool's exit code; -1 when it did not start, crashed or was killed at the time limit.
    int exitCode = -1;
    QString out;
    QString err;
    // Whether the process started, and whether it ended on its own within the time limit.
    bool started = false;
    bool finished = false;
};

// Runs the tool with `args`, writes `input` to its standard input and closes it. An empty
// `environment` leaves the tool the test's own. The tool's locale is Italian unless
// `environment` holds KEEP_LOCALE=1: the locale of the machine running the tests does not change
// what they read. At `timeoutMs` the process is killed.
inline ToolRun runTool(const QStringList& args, const QByteArray& input = {}, int timeoutMs = 120000,
                       const QProcessEnvironment& environment = {}) {
    QProcess p;
    QProcessEnvironment env = environment.isEmpty() ? QProcessEnvironment::systemEnvironment() : environment;
    if (env.value(QStringLiteral("KEEP_LOCALE")) != QLatin1String("1")) {
        env.remove(QStringLiteral("LC_ALL"));
        env.remove(QStringLiteral("LC_MESSAGES"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("it_IT.UTF-8"));
    }
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(FORMULE_TOOL), args);
    ToolRun r;
    r.started = p.waitForStarted();
    if (!r.started)
        return r;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
    } else if (p.exitStatus() == QProcess::NormalExit) {
        r.exitCode = p.exitCode();
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace testtool
