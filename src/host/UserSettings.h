#pragma once

#include "host/HostObject.h"

#include <QString>
#include <QVariant>

namespace host {

// The host's settings of the user working at this computer: an INI file in the user's
// configuration folder (QStandardPaths::AppConfigLocation), never the company's database.
// Plug-ins keep there what they remember between sessions under keys of their own.
class UserSettings : public HostObject {
    Q_OBJECT
public:
    explicit UserSettings(QObject* parent = nullptr);

    // The value under `key`, or `fallback` when there is none.
    Q_INVOKABLE QVariant Value(const QString& key, const QVariant& fallback = {}) const;
    // Stores a value (written to the file at once).
    Q_INVOKABLE void SetValue(const QString& key, const QVariant& value);
    // Removes the value under `key` and every key below it (written to the file at once).
    Q_INVOKABLE void Remove(const QString& key);

    // The file the settings live in.
    QString fileName() const { return m_file; }
    // Another file (tests, a second profile).
    void setFileName(const QString& file) { m_file = file; }

private:
    QString m_file;
};

} // namespace host
