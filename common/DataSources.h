#pragma once
// Data servers of the connection registry as both the run-time library and the launcher reach
// them: where the registry lives and the connection text of a registered server.

#include <QString>

namespace orra {

// The database that holds the connection registry tbOrraConnections on the run-time side
// (setting "Main Settings/RegistryDatabase", environment ORRA_REGISTRY_DB; "mat" by default).
QString RegistryDatabase();

// The connection text of a data server (db::ServerConnectionText): the configured driver,
// Server, Database when one is given, and Trusted_Connection=Yes for a trusted log-on (a SQL
// login's name and password are given to Connection::open, never written into the text).
QString DataSourceConnectionText(const QString& server, const QString& database, bool trusted);

}   // namespace orra
