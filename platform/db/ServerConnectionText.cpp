#include "platform/db/ServerConnectionText.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"

namespace orra::db {

QString resolveDriverName(const QString& driver)
{
    QString name = driver.trimmed();
    while (name.size() >= 2 && name.front() == u'{' && name.back() == u'}')
        name = name.mid(1, name.size() - 2).trimmed();
    if (name.compare(u"SQL Server", Qt::CaseInsensitive) == 0) return configuredOdbcDriver();
    return driver.trimmed();
}

QString ServerConnectionText(const ServerLogOn& logOn)
{
    ConnectionString cs;
    cs.set(QStringLiteral("Server"), logOn.server);
    if (!logOn.database.isEmpty()) cs.set(QStringLiteral("Database"), logOn.database);
    if (logOn.trusted) {
        cs.set(QStringLiteral("Trusted_Connection"), QStringLiteral("Yes"));
    } else if (!logOn.login.isEmpty()) {
        cs.set(QStringLiteral("UID"), logOn.login);
        cs.set(QStringLiteral("PWD"), logOn.password);
    }
    if (logOn.persistSecurityInfo) cs.set(QStringLiteral("Persist Security Info"), QStringLiteral("True"));
    // The driver always in braces, as drivers expect it; "}" doubled inside.
    QString driver = configuredOdbcDriver();
    driver.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QStringLiteral("Driver={") + driver + QStringLiteral("};") + cs.toString();
}

}   // namespace orra::db
