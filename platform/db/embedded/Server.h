#pragma once
// The embedded SQL server: administration of servers, databases, logins and users, for the
// command-line tool and for test fixtures.
//
// A server is a folder under serversRoot() ($ORRA_SERVERS, by default
// ~/.local/share/orra/servers); database D of server S is the file S/D.db. Logins live in the
// server's master database; each database has sysusers and sysmembers.
//
// Typical fixture:
//   qputenv("ORRA_SERVERS", tempDir.toUtf8());
//   orra::embedded::createServer("demo", "sa", "secret");       // master
//   orra::embedded::createDatabase("demo", "work");
//   Connection c;
//   c.open(orra::embedded::connectionText("demo", "work", "sa", "secret"));
//
// What a program keeps in its databases, it registers as named schemas (Extensions.h) and
// lays down with createServer or applyDatabaseSchema.
//
// Every function throws orra::Error (source "Embedded SQL Server") on failure and leaves the
// files of the server as they were.

#include <QByteArray>
#include <QList>
#include <QString>

namespace orra::embedded {

// $ORRA_SERVERS, or ~/.local/share/orra/servers.
QString serversRoot();
QString serverFolder(const QString& server);
QString databaseFile(const QString& server, const QString& database);
// True when the name names a server folder (with its master database) under the root.
bool isEmbeddedServer(const QString& server);
bool databaseExists(const QString& server, const QString& database);
// The operating-system user name: the login of a trusted log-on.
QString osUserName();

// A database a new server is made with, and the registered schema (Extensions.h) laid down
// in it.
struct DatabaseLayout {
    QString database;
    QString schema;
};

// Makes a new server with its master database (holding the administrator's login) and the
// databases of layouts, owned by the administrator. An empty adminLogin makes the
// operating-system user the administrator (trusted log-on); otherwise adminLogin is a SQL
// login with adminPassword. The server is made in a hidden folder and renamed into place when
// complete, so that an interrupted creation leaves no half server. Fails when the server
// exists, its folder cannot be written, a database name is invalid or repeated, or a schema is
// not registered.
void createServer(const QString& server, const QString& adminLogin = QString(),
    const QString& adminPassword = QString(), const QList<DatabaseLayout>& layouts = {});

// Makes database `database` on the server. Its dbo is ownerLogin (default: the administrator).
void createDatabase(const QString& server, const QString& database, const QString& ownerLogin = QString());

// Lays the registered schema down in `database` (creating the database first when it is
// missing), in one transaction; fixed-width text columns keep their values blank-padded.
void applyDatabaseSchema(const QString& server, const QString& database, const QString& schema);

// A SQL login (password given) or, with an empty password and trusted = true, an
// operating-system login.
void createLogin(const QString& server, const QString& login, const QString& password, bool trusted = false);
// A user of `database` for `login`; returns its uid.
int createUser(const QString& server, const QString& database, const QString& user, const QString& login);
// A role of `database`; returns its uid.
int createRole(const QString& server, const QString& database, const QString& role);
// Makes `member` (a user or role of the database) a member of `role`.
void addRoleMember(const QString& server, const QString& database, const QString& role, const QString& member);
// The security identifier of a login (what suser_sid() returns for it); empty when unknown.
QByteArray loginSid(const QString& server, const QString& login);

// "Driver={SQL Server};Server=…;Database=…;UID=…;PWD=…", or Trusted_Connection=Yes when
// login is empty.
QString connectionText(const QString& server, const QString& database, const QString& login = QString(),
    const QString& password = QString());

// Password hashes (libsodium Argon2id, salted), made at libsodium's "interactive" cost.
QString hashPassword(const QString& password);
// False as well for a hash whose cost lies outside the bounds below.
bool verifyPassword(const QString& hash, const QString& password);

// The Argon2id costs a stored hash may ask for: no weaker than the server has ever made, and
// never so dear that a log-on attempt could exhaust the machine.
constexpr qint64 kMinHashMemoryKiB = 16 * 1024;
constexpr qint64 kMaxHashMemoryKiB = 256 * 1024;
constexpr qint64 kMinHashPasses = 2;
constexpr qint64 kMaxHashPasses = 4;
bool acceptableHashParameters(const QString& hash);

}   // namespace orra::embedded
