#pragma once
// Pieces shared by the administration functions and the embedded backend.

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace orra::embedded::detail {

extern const QString kSource;   // "Embedded SQL Server"

[[noreturn]] void fail(const QString& description, long nativeError = 0);

// Opens a database file with the server's collation and functions-independent settings
// (foreign keys on, busy time-out). create: make the file when missing, readable and writable
// by its owner only. readOnly: open it for reading.
sqlite3* openFile(const QString& path, bool create, bool readOnly = false);
// How long a statement of the server waits for another session's lock before it fails.
constexpr int kBusyTimeoutMs = 30000;
// Makes a file or folder of the server its owner's alone (0600 / 0700), whatever the umask.
void makePrivate(const QString& path, bool folder);
// A server folder made before folders were private, or opened up by hand, is closed again
// (0700, its files 0600) when its owner uses it.
void keepServerPrivate(const QString& folder);
void closeFile(sqlite3* db);
void exec(sqlite3* db, const QString& sql);

QString schemaText(const char* name);   // "master", "database"

// Login lookup in a master handle.
struct LoginRow {
    bool found = false;
    QString name;
    QByteArray sid;
    QString passwordHash;
    bool trusted = false;
    bool sysadmin = false;
};
LoginRow findLogin(sqlite3* master, const QString& login);
LoginRow findLoginBySid(sqlite3* master, const QByteArray& sid);

void insertLogin(sqlite3* master, const QString& login, const QString& password, bool trusted, bool sysadmin);
// Makes a new database file; dboSid is the owner's login sid.
void createDatabaseFile(const QString& server, const QString& database, const QByteArray& dboSid);
int insertUser(sqlite3* db, const QString& user, const QByteArray& sid);
int insertRole(sqlite3* db, const QString& role);
void insertRoleMember(sqlite3* db, const QString& role, const QString& member);
bool validName(const QString& name);

}   // namespace orra::embedded::detail
