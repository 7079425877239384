#pragma once
// Data servers of the connection registry as both the run-time library and the launcher reach
// them: where the registry lives and the connection text of a registered server.

#include "platform/db/Connection.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orra {

// The database that holds the connection registry tbOrraConnections on the run-time side
// (setting "Main Settings/RegistryDatabase", environment ORRA_REGISTRY_DB; "mat" by default).
QString RegistryDatabase();

// One row of the connection registry: the server, the database to use there (empty: the
// login's default) and the login with its password in the stored form (an empty login means
// the operating-system user).
struct RegisteredServer {
    QString server;
    QString database;
    QString userName;
    QString userPwd;
};

// The registry row of server, read through con from the registry database (the name is
// bound); nothing when the registry does not list it. Errors of the query are thrown.
std::optional<RegisteredServer> ReadRegisteredServer(db::Connection& con, const QString& server);

// The names of every registered server, in the order the registry returns them.
QStringList RegisteredServerNames(db::Connection& con);

// The connection text of a data server (db::ServerConnectionText): the configured driver,
// Server, Database when one is given, and Trusted_Connection=Yes for a trusted log-on (a SQL
// login's name and password are given to Connection::open, never written into the text).
QString DataSourceConnectionText(const QString& server, const QString& database, bool trusted);

}   // namespace orra
