#include "common/DataSources.h"

#include "platform/db/ConnectionString.h"

#include <QSettings>

namespace orra {

QString RegistryDatabase()
{
    const QString env = qEnvironmentVariable("ORRA_REGISTRY_DB");
    if (!env.isEmpty())
        return env;
    QSettings settings(QStringLiteral("Orra"), QStringLiteral("Orra"));
    const QString stored = settings.value(QStringLiteral("Main Settings/RegistryDatabase")).toString();
    return stored.isEmpty() ? QStringLiteral("mat") : stored;
}

QString DataSourceConnectionText(const QString& server, const QString& database, bool trusted)
{
    db::ConnectionString cs;
    cs.set(QStringLiteral("Driver"), QStringLiteral("{SQL Server}"));
    cs.set(QStringLiteral("Server"), server);
    cs.set(QStringLiteral("Persist Security Info"), QStringLiteral("false"));
    cs.set(QStringLiteral("OLE DB Services"), QStringLiteral("-4"));
    if (!database.isEmpty())
        cs.set(QStringLiteral("Database"), database);
    if (trusted)
        cs.set(QStringLiteral("Trusted_Connection"), QStringLiteral("Yes"));
    return cs.toString();
}

} // namespace orra
