#include "host/UserSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace host {

UserSettings::UserSettings(QObject* parent)
    : HostObject(parent)
    , m_file(QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
                 .filePath(QStringLiteral("formule-user.ini"))) {}

QVariant UserSettings::Value(const QString& key, const QVariant& fallback) const {
    const QSettings settings(m_file, QSettings::IniFormat);
    return settings.value(key, fallback);
}

void UserSettings::SetValue(const QString& key, const QVariant& value) {
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSettings settings(m_file, QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

void UserSettings::Remove(const QString& key) {
    QSettings settings(m_file, QSettings::IniFormat);
    settings.remove(key);
    settings.sync();
}

} // namespace host
