#include "designer/shell/SettingsStore.h"

namespace morvane {
namespace {
const QString kNull = QStringLiteral("null");
}

std::unique_ptr<QSettings> openSettingsStore()
{
    return std::make_unique<QSettings>(
        QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orra"), QStringLiteral("Morvane"));
}

QString settingsGroup(const QString& section)
{
    QString group = section;
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return group;
}

QString GetSetting(const QSettings& store, const QString& section, const QString& key, const QString& def)
{
    const QVariant value = store.value(settingsGroup(section) + QLatin1Char('/') + key);
    if (!value.isValid()) return def;
    const QString text = value.toString();
    return text == kNull ? def : text;
}

void SaveSetting(QSettings& store, const QString& section, const QString& key, const QString& value)
{
    store.setValue(settingsGroup(section) + QLatin1Char('/') + key, value);
}

void DeleteSetting(QSettings& store, const QString& section) { store.remove(settingsGroup(section)); }

QStringList GetAllSettings(const QSettings& store, const QString& section)
{
    // QSettings offers the keys of a group only through beginGroup, which a const store lacks.
    const QString prefix = settingsGroup(section) + QLatin1Char('/');
    QStringList keys;
    for (const QString& k : store.allKeys())
        if (k.startsWith(prefix) && !k.mid(prefix.size()).contains(QLatin1Char('/'))) keys.append(k.mid(prefix.size()));
    return keys;
}

QString GetSetting(const QString& section, const QString& key, const QString& def)
{
    return GetSetting(*openSettingsStore(), section, key, def);
}

}   // namespace morvane
