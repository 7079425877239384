#include "common/DataSources.h"

#include "platform/db/ServerConnectionText.h"

#include <QSettings>

namespace orra {

QString RegistryDatabase()
{
    const QString env = qEnvironmentVariable("ORRA_REGISTRY_DB");
    if (!env.isEmpty()) return env;
    QSettings settings(QStringLiteral("Orra"), QStringLiteral("Orra"));
    const QString stored = settings.value(QStringLiteral("Main Settings/RegistryDatabase")).toString();
    return stored.isEmpty() ? QStringLiteral("mat") : stored;
}

QString DataSourceConnectionText(const QString& server, const QString& database, bool trusted)
{
    db::ServerLogOn logOn;
    logOn.server = server;
    logOn.database = database;
    logOn.trusted = trusted;   // otherwise the login and password are given to open()
    return db::ServerConnectionText(logOn);
}

}   // namespace orra
