#pragma once
// The designer's per-user settings store: sections and keys with text values, kept by QSettings
// in INI form (organisation "Orra", application "Morvane": ~/.config/Orra/Morvane.conf, moved by
// XDG_CONFIG_HOME). A "\" in a section name ("Panels\1\Windows\2") is a group separator.
//
// Every value is text. An absent key and the stored text "null" both count as absent: readers
// fall back on their default.

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

namespace morvane {

// A new QSettings object over the designer's store. Writes reach the file on sync() or when
// the object is destroyed.
std::unique_ptr<QSettings> openSettingsStore();

// The QSettings group path of a section name ("Panels\1" -> "Panels/1").
QString settingsGroup(const QString& section);

// The stored text of section/key, or def when the key is absent or holds "null".
QString GetSetting(const QSettings& store, const QString& section, const QString& key, const QString& def = QString());
void SaveSetting(QSettings& store, const QString& section, const QString& key, const QString& value);
// Removes the whole section (with the sections below it).
void DeleteSetting(QSettings& store, const QString& section);
// The keys of one section (not those of the sections below it).
QStringList GetAllSettings(const QSettings& store, const QString& section);

// Convenience for one value read without holding a store.
QString GetSetting(const QString& section, const QString& key, const QString& def = QString());

}   // namespace morvane
