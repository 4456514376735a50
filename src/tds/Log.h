#pragma once

// The server's log: every connection thread writes through one ServerLog, which hands its sink
// one whole line at a time. What a client sent goes into a line through clientText, so that a
// name with a line break or a terminal escape cannot forge or hide a line.

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>

namespace tds {

// A line of the log is cut to this many characters.
inline constexpr qsizetype MaxLogLine = 1000;

// `text` fit for a log line: backslashes, control characters, line and paragraph separators and
// bidirectional overrides written as escapes (\n, \x1b, \u2028), cut to `limit` characters
// with "..." when longer.
QString clientText(QStringView text, qsizetype limit = 128);

class ServerLog {
public:
    using Clock = std::chrono::steady_clock;

    explicit ServerLog(std::function<void(const QString&)> sink)
        : m_sink(std::move(sink)) {}

    // Writes one line (its control characters escaped, cut to MaxLogLine).
    void write(const QString& line);

    // A line of a kind that can come in floods (refused connections, closed handshakes): the
    // first of a burst is written at once, the others of the same `key` only counted until
    // quiet() finds the burst over and writes how many there were.
    void burst(const QString& key, const QString& line, Clock::time_point now = Clock::now());
    // Ends the bursts with nothing new for `quietFor`, writing "KEY: N more in this burst".
    void quiet(Clock::time_point now = Clock::now(),
               std::chrono::milliseconds quietFor = std::chrono::seconds(10));

private:
    struct Burst {
        qint64 more = 0;
        Clock::time_point last;
    };

    void writeLocked(const QString& line);

    std::mutex m_mutex;
    std::function<void(const QString&)> m_sink;
    std::map<QString, Burst> m_bursts;
};

} // namespace tds
