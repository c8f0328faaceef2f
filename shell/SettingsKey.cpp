#include "shell/SettingsKey.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace pq {

SettingsKey::SettingsKey() = default;
SettingsKey::~SettingsKey() { Close(); }

QString SettingsKey::DefaultPath() {
    QString env = qEnvironmentVariable("PELQUINAR_CONFIG");
    if (!env.isEmpty()) return env;
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir::cleanPath(base + "/Pelquinar/Pelquinar.conf");
}

bool SettingsKey::Open(const QString& path) {
    Close();
    path_ = path;
    settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
    return true;
}

bool SettingsKey::Read(const std::string& name, std::string& text) const {
    if (!settings_) return false;
    QVariant v = settings_->value(QString::fromStdString(name));
    if (!v.isValid()) return false;
    // An INI value written by hand as 200,30,2 comes back as a list.
    if (v.typeId() == QMetaType::QStringList)
        text = v.toStringList().join(',').toStdString();
    else
        text = v.toString().toStdString();
    return true;
}

void SettingsKey::Write(const std::string& name, const std::string& text) {
    if (settings_) settings_->setValue(QString::fromStdString(name), QString::fromStdString(text));
}

void SettingsKey::Remove(const std::string& name) {
    if (settings_) settings_->remove(QString::fromStdString(name));
}

void SettingsKey::Close() {
    if (!settings_) return;
    settings_->sync();
    settings_.reset();
}

}  // namespace pq
