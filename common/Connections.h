#pragma once
// The designer's connections: the one catalogue connection of the process, the per-process
// cache of connections to data servers (so that the log-on is asked once per server while the
// program runs), the connection registry tbOrraConnections (save and delete) and the fore
// colour of disabled catalogue entries.
//
// The log-on is asked through the process's user interface (UserInterface::logOn): the Qt
// host shows the log-on dialog; a headless run cannot answer, so a connection that needs a
// log-on fails there with a clear message.

#include "platform/db/Connection.h"
#include "platform/host/UserInterface.h"

#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>

namespace orra {

// RGB(255, 100, 100) as an 0xAARRGGBB value (a QRgb), the fore colour of disabled categories
// and documents in the catalogue trees.
std::uint32_t DisabledItemColor();

// The catalogue connection of the process; null until OpenMainConnection succeeded.
db::ConnectionPtr mainConnection();
// Replaces the catalogue connection (a host that opened it another way, tests).
void setMainConnection(db::ConnectionPtr connection);

// Opens a new catalogue connection to database on server and makes it the process's one.
// prompt true asks for the log-on (server, database and login may be changed there); false
// logs on as the operating-system user. Any failure is shown in a message box (description
// alone, OK, default title) and gives false; the previous catalogue connection then stays.
bool OpenMainConnection(bool prompt, const QString& server, const QString& database);

// The connection text of a log-on (db::ServerConnectionText): the server and database asked
// for, the operating-system user or the SQL login with its password; persistSecurityInfo keeps
// the password in the opened connection's text (the connection cache needs it).
QString LogOnConnectionText(const LogOnRequest& request, bool persistSecurityInfo);

// Empties the connection cache to its one empty entry.
void ResetConnectionCache();

// A new open connection to the data server serverName. Unless noCache, the first cache entry
// whose server name equals serverName exactly (letter case counts) gives the connection text;
// otherwise the log-on is asked (OpenServerConnectionWithLogin) and, unless noCache, the
// connection text it produced is remembered. A remembered text that no longer opens (password
// changed) is dropped from the cache, so that the next call asks again. Failures are shown in
// a message box and give false.
bool GetServerConnection(const QString& serverName, db::ConnectionPtr& connection, bool noCache = false);

// Asks for the log-on to serverName and opens the connection; null (after a message box) when
// the log-on is cancelled, cannot be asked, or fails.
db::ConnectionPtr OpenServerConnectionWithLogin(const QString& serverName);

// Inserts or updates the registry row of server on the catalogue connection, the password in
// its stored form under key. False, without a message, when key is empty or anything fails.
// Values are bound as parameters. registryDatabase names the database that holds the registry
// (empty: the catalogue connection's current database).
bool SaveServerConnection(const QString& server, const QString& ip, const QString& database, const QString& userName,
    const QString& password, const QString& key, const QString& registryDatabase = QString());

// Deletes the registry row of server; true also when there was none. False on a failure.
bool DeleteServerConnection(const QString& server, const QString& registryDatabase = QString());

// The cache's entries in order (server name, connection text), the empty first entry included.
QList<QPair<QString, QString>> connectionCacheEntries();

}   // namespace orra
