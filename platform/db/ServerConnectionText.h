#pragma once
// The one place that writes the connection text of a SQL Server, for every caller (the
// launcher's catalogue, the connection registry, scripts' MakeConnection, the designer's
// log-on). The driver is the configured ODBC driver (configuredOdbcDriver(), "FreeTDS" by
// default), written by its own name, so that the text reaches that driver as it is. A server
// that names an embedded server is claimed by the embedded backend whatever the driver says.
// Every value is braced where it needs it, so that ";", "{", "}", "=" and outer blanks in a
// name or password come back from ConnectionString::parse exactly as given.

#include <QString>

namespace orra::db {

struct ServerLogOn {
    QString server;
    QString database;                   // empty: the login's default database
    bool trusted = true;                // the operating-system user ("Trusted_Connection=Yes")
    QString login;                      // a SQL Server login (UID) when not trusted; empty: given to open()
    QString password;                   // its password (PWD), written only with a login
    bool persistSecurityInfo = false;   // the opened connection keeps the password in its text
};

QString ServerConnectionText(const ServerLogOn& logOn);

// The driver name of a connection text's "Driver" value: "SQL Server" (also when written
// "{SQL Server}" inside braces, as old texts double it) is the configured driver; any other
// name is kept.
QString resolveDriverName(const QString& driver);

}   // namespace orra::db
