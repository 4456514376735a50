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
    Q_PROPERTY(QString Name READ Name WRITE setName)
public:
    explicit UserSettings(QObject* parent = nullptr);

    // The user's name as the host knows it (who made a test case); the host sets it at login.
    QString Name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

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
    QString m_name;
};

} // namespace host
