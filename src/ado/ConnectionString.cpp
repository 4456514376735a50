#include "ado/Ado.h"

namespace ado {

namespace {

[[noreturn]] void raiseSyntax(const QString& what) {
    throw core::ComError(adoerr::InvalidArgument, QStringLiteral("Invalid connection string: %1").arg(what),
                         QStringLiteral("ADODB.Connection"));
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

ConnectionString ConnectionString::parse(const QString& text) {
    ConnectionString result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // One Key=Value part, up to the next ';' outside quotes.
        while (i < n && isBlank(text.at(i)))
            ++i;
        if (i < n && text.at(i) == u';') {
            ++i;
            continue; // empty part
        }
        if (i >= n)
            break;
        const qsizetype keyStart = i;
        while (i < n && text.at(i) != u'=' && text.at(i) != u';')
            ++i;
        const QString key = text.mid(keyStart, i - keyStart).trimmed();
        if (i >= n || text.at(i) == u';')
            raiseSyntax(QStringLiteral("\"%1\" has no '=' after the key").arg(key));
        if (key.isEmpty()) {
            qsizetype end = text.indexOf(u';', i);
            if (end < 0)
                end = n;
            raiseSyntax(QStringLiteral("\"%1\" has a value but no key")
                            .arg(text.mid(keyStart, end - keyStart).trimmed()));
        }
        ++i; // '='
        while (i < n && isBlank(text.at(i)))
            ++i;
        QString value;
        if (i < n && (text.at(i) == u'"' || text.at(i) == u'\'')) {
            const QChar quote = text.at(i++);
            bool closed = false;
            while (i < n) {
                if (text.at(i) == quote) {
                    if (i + 1 < n && text.at(i + 1) == quote) { // a doubled quote stands for one
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text.at(i++);
            }
            if (!closed)
                raiseSyntax(QStringLiteral("the value of \"%1\" has no closing %2 quote").arg(key, quote));
            while (i < n && isBlank(text.at(i)))
                ++i;
            if (i < n && text.at(i) != u';')
                raiseSyntax(QStringLiteral("text after the closing quote of \"%1\"").arg(key));
        } else {
            const qsizetype valueStart = i;
            while (i < n && text.at(i) != u';')
                ++i;
            value = text.mid(valueStart, i - valueStart).trimmed();
        }
        if (i < n)
            ++i; // ';'
        result.m_values.insert(key.simplified().toLower(), value);
    }
    return result;
}

QString ConnectionString::value(const QString& key) const {
    return m_values.value(key.simplified().toLower());
}

bool ConnectionString::contains(const QString& key) const {
    return m_values.contains(key.simplified().toLower());
}

void ConnectionString::set(const QString& key, const QString& value) {
    m_values.insert(key.simplified().toLower(), value);
}

QString ConnectionString::firstOf(std::initializer_list<const char*> keys) const {
    for (const char* k : keys) {
        const auto it = m_values.constFind(QString::fromLatin1(k));
        if (it != m_values.constEnd())
            return it.value();
    }
    return {};
}

QString ConnectionString::keyOf(std::initializer_list<const char*> keys) const {
    for (const char* k : keys) {
        if (m_values.contains(QString::fromLatin1(k)))
            return QString::fromLatin1(k);
    }
    return {};
}

} // namespace ado
