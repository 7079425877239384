#pragma once
// What a session may do, enforced by SQLite's authorizer underneath the translator's own
// checks (which refuse attach, pragma, vacuum and the like before SQLite sees them):
// - no attach, detach, pragma, vacuum, virtual tables, extension loading or savepoints from
//   client text; the server attaches the databases a login has a user in itself;
// - DDL on a database (tables, views, indexes, triggers) only for members of its db_owner role
//   and sysadmin logins; temporary objects for everyone;
// - no writes to the server's tables (sysusers, sysmembers, syslogins, sysprocesses) except
//   through the statements that manage logins, users and roles;
// - password hashes read as NULL by anyone but a sysadmin;
// - guarded tables (Extensions.h) written only by sysadmin logins and db_owner members, or in
//   the session's own database where the server's guard triggers check each row; nobody but
//   the server makes or drops those triggers or calls their function.
// The server's own statements run inside a Trusted scope and pass unchecked.

#include <QHash>
#include <QSet>
#include <QString>

#include <utility>
#include <vector>

struct sqlite3;

namespace orra::embedded {

class SessionRights {
public:
    void install(sqlite3* db);
    void reset();

    // The session's database, named in the messages about "main".
    void setDatabaseName(const QString& name) { m_database = name; }
    void setSysadmin(bool on) { m_sysadmin = on; }
    bool isSysadmin() const { return m_sysadmin; }
    // schema: "main" or the name a database is attached under.
    void setOwner(const QString& schema, bool owner);
    bool isOwner(const QString& schema) const;

    // The guarded tables of "main" whose rows the server's guard triggers check (folded names).
    void setGuardedTables(const QSet<QString>& tables) { m_guarded = tables; }
    bool trusted() const { return m_trusted > 0; }

    // The server's message (and number) for the last operation refused; empty when none was.
    const QString& denial() const { return m_denial; }
    long denialNumber() const { return m_denialNumber; }
    void clearDenial() { m_denial.clear(); }
    // Records a refusal that the server made itself (a row guard): what denial() then tells.
    void refuse(long number, const QString& message) const { deny(number, message); }

    // The columns that the client statements prepared since the last call set (SQLite's schema,
    // table, column), as the server checks them against its identity columns (8102); a
    // trigger's own updates are not among them.
    struct UpdatedColumn {
        QString schema, table, column;
    };
    std::vector<UpdatedColumn> takeUpdatedColumns() { return std::exchange(m_updated, {}); }

    // Statements the server runs on its own behalf while an object of this type lives.
    class Trusted {
    public:
        explicit Trusted(SessionRights& r) : m_rights(r) { ++m_rights.m_trusted; }
        ~Trusted() { --m_rights.m_trusted; }
        Trusted(const Trusted&) = delete;
        Trusted& operator=(const Trusted&) = delete;

    private:
        SessionRights& m_rights;
    };

private:
    static int authorize(void* self, int action, const char* a, const char* b, const char* schema, const char* trigger);
    int decide(int action, const QString& a, const QString& b, const QString& schema, const QString& trigger) const;
    int deny(long number, const QString& message) const;
    QString databaseOf(const QString& schema) const;

    QString m_database;
    mutable QString m_denial;
    mutable long m_denialNumber = 0;
    bool m_sysadmin = false;
    int m_trusted = 0;
    QHash<QString, bool> m_owner;   // folded schema name -> db_owner there
    QSet<QString> m_guarded;
    mutable std::vector<UpdatedColumn> m_updated;
};

// The server's tables that only the login, user and role statements write.
bool isServerTable(const QString& table);

// The guard triggers the server puts on guarded tables, and the function they call.
inline constexpr char kGuardTriggerPrefix[] = "orra_guard_";
inline constexpr char kGuardFunction[] = "orra_row_guard";

// The uid of the db_owner role.
constexpr int kDbOwnerRole = 16384;

}   // namespace orra::embedded
