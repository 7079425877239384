#include "common/DataSources.h"

#include "platform/db/ServerConnectionText.h"
#include "platform/db/Types.h"

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

namespace {

QString fieldText(const QVariant& v) { return db::isNull(v) ? QString() : v.toString(); }

// The registry database name is an identifier from the settings, never user text.
QString registryTable() { return RegistryDatabase() + QStringLiteral("..tbOrraConnections"); }

}   // namespace

std::optional<RegisteredServer> ReadRegisteredServer(db::Connection& con, const QString& server)
{
    db::RecordsetPtr rs = con.execute(QStringLiteral("select Server,[Database],UserName,UserPwd from ")
            + registryTable() + QStringLiteral(" where Server=?"),
        {server});
    if (!rs || !rs->isOpen() || rs->isEOF()) return std::nullopt;
    RegisteredServer row;
    row.server = fieldText(rs->value(QStringLiteral("Server")));
    row.database = fieldText(rs->value(QStringLiteral("Database")));
    row.userName = fieldText(rs->value(QStringLiteral("UserName")));
    row.userPwd = fieldText(rs->value(QStringLiteral("UserPwd")));
    rs->close();
    return row;
}

QStringList RegisteredServerNames(db::Connection& con)
{
    QStringList names;
    db::RecordsetPtr rs = con.execute(QStringLiteral("select Server from ") + registryTable());
    for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext()) names << fieldText(rs->value(0));
    return names;
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
