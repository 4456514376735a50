#include "tds/Log.h"

namespace tds {

namespace {

bool needsEscape(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void appendEscaped(QString& out, char16_t c) {
    switch (c) {
    case u'\n':
        out += QLatin1String("\\n");
        return;
    case u'\r':
        out += QLatin1String("\\r");
        return;
    case u'\t':
        out += QLatin1String("\\t");
        return;
    default:
        break;
    }
    if (c < 0x100)
        out += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
    else
        out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
}

QString escaped(QStringView text, qsizetype limit, bool backslashes) {
    QString out;
    out.reserve(qMin(text.size(), limit) + 8);
    for (const QChar c : text) {
        if (out.size() >= limit) {
            out += QLatin1String("...");
            break;
        }
        if (backslashes && c == u'\\')
            out += QLatin1String("\\\\");
        else if (needsEscape(c.unicode()))
            appendEscaped(out, c.unicode());
        else
            out += c;
    }
    return out;
}

} // namespace

QString clientText(QStringView text, qsizetype limit) {
    return escaped(text, limit, true);
}

void ServerLog::write(const QString& line) {
    const std::lock_guard lock(m_mutex);
    writeLocked(line);
}

void ServerLog::writeLocked(const QString& line) {
    // The server's own lines hold no control characters: whatever is left comes from a client.
    m_sink(escaped(line, MaxLogLine, false));
}

void ServerLog::burst(const QString& key, const QString& line, Clock::time_point now) {
    const std::lock_guard lock(m_mutex);
    const auto it = m_bursts.find(key);
    if (it != m_bursts.end()) {
        ++it->second.more;
        it->second.last = now;
        return;
    }
    // Bursts of many keys at once (many addresses) are bounded too: beyond 256 the line is
    // counted under a shared key.
    if (m_bursts.size() >= 256) {
        const QString overflow = QStringLiteral("other clients");
        Burst& b = m_bursts[overflow];
        ++b.more;
        b.last = now;
        return;
    }
    m_bursts.emplace(key, Burst{0, now});
    writeLocked(line);
}

void ServerLog::quiet(Clock::time_point now, std::chrono::milliseconds quietFor) {
    const std::lock_guard lock(m_mutex);
    for (auto it = m_bursts.begin(); it != m_bursts.end();) {
        if (now - it->second.last < quietFor) {
            ++it;
            continue;
        }
        if (it->second.more > 0)
            writeLocked(QStringLiteral("%1: %2 more in this burst").arg(it->first).arg(it->second.more));
        it = m_bursts.erase(it);
    }
}

} // namespace tds
