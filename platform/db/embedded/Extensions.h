#pragma once
// What the programs above the platform add to the embedded server: stored procedures, named
// database schemas and guards on the rows of tables.
//
// Registration is explicit: a program registers its procedures and schemas once at start-up
// (and a test fixture before it connects), by name; registering a name again replaces what it
// named. The registries are process-wide and safe to use from any thread: a call runs the
// handler that was registered when the call began, outside the registry's lock, so a
// long-running procedure never holds up other sessions.
//
//   orra::embedded::registerProcedure(QStringLiteral("sp_Hello"),
//       [](const orra::embedded::ProcedureArguments& args, orra::embedded::ProcedureSession& s) {
//           s.addResult(s.query(QStringLiteral("select ? as Greeting"), {args.at(0).value}));
//       });
//   orra::embedded::registerDatabaseSchema(QStringLiteral("notes"), QStringLiteral("create table …"));
//   orra::embedded::createServer("demo", "sa", "pw", {{QStringLiteral("notes"), QStringLiteral("notes")}});

#include "platform/db/Recordset.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantHash>
#include <functional>
#include <vector>

namespace orra::db {
class Connection;
}

namespace orra::embedded {

// One argument of a procedure call as the client wrote it.
struct ProcedureArgument {
    QString name;             // "@p" for "@p = value", else empty
    QVariant value;           // text or number; invalid for NULL
    bool isDefault = false;   // the keyword "default"
};
using ProcedureArguments = std::vector<ProcedureArgument>;

// The calling session as a procedure sees it. Whatever the procedure sends goes back to the
// client in order, after the results of the batch's earlier statements.
class ProcedureSession {
public:
    virtual ~ProcedureSession() = default;

    // Runs one SQLite statement on the session's database with the session's rights, binding
    // args in order; fixed-width text comes back blank-padded. Failures raise the server's error.
    virtual db::ResultSet query(const QString& sqliteText, const QList<QVariant>& args = {}) = 0;
    // Runs work in one write transaction of the session's database (or inside the session's
    // own open transaction): committed when work returns, rolled back when it throws.
    virtual void inWriteTransaction(const std::function<void()>& work) = 0;
    // A result set for the client.
    virtual void addResult(db::ResultSet rows) = 0;
    // An informational message for the client (number 0, state 01000), as PRINT sends.
    virtual void addMessage(const QString& text) = 0;
    // Ends the call with the server's error: SQL state, text and the server's error number.
    [[noreturn]] virtual void raise(const QString& sqlState, const QString& message, long number) = 0;

    // The session: its process number and log-in time (which together name it among the
    // server's sessions, past and present) and its login.
    virtual int spid() const = 0;
    virtual QString loginTime() const = 0;
    virtual QString login() const = 0;
    // True while the session (spid, loginTime) of this server is still connected.
    virtual bool sessionAlive(int spid, const QString& loginTime) const = 0;
};

using ProcedureHandler = std::function<void(const ProcedureArguments& arguments, ProcedureSession& session)>;

// Makes `name` a stored procedure of every database of every embedded server in the process.
// Names compare without regard to case, as table names do. The server's own procedures
// (sp_addrolemember) cannot be replaced.
void registerProcedure(const QString& name, ProcedureHandler handler);
// Forgets a registered procedure; calls of it then fail as calls of any unknown name do.
void unregisterProcedure(const QString& name);
// The handler registered under name; empty when there is none.
ProcedureHandler findProcedure(const QString& name);

// Registers (or replaces) the SQLite text of a named database schema, which createServer
// and applyDatabaseSchema (Server.h) lay down. Text columns should name the collation TR_CI.
void registerDatabaseSchema(const QString& name, const QString& sqliteText);
void unregisterDatabaseSchema(const QString& name);
// The text registered under name; throws orra::Error when there is none.
QString databaseSchema(const QString& name);

// --- Guarded rows ---------------------------------------------------------------------------
// A program guards the rows of a table by the table's name: before each row that a session's
// statement inserts, updates or deletes in a table of that name in the session's own
// database, the server calls the guard, which lets the write go on by returning and refuses it
// by throwing (RowWriteSession::deny gives SQL Server's permission error 229; an orra::Error
// fails the statement with its description). Not guarded: sessions of sysadmin logins and of
// db_owner members of the database, and the server's own statements. A guarded table of
// another database than the session's own is written only by those. Guards are registered
// before the sessions they guard connect; a session that connected earlier cannot write the
// table at all.
//
//   orra::embedded::registerRowWriteGuard(QStringLiteral("tbNotes"),
//       [](const orra::embedded::RowWrite& row, orra::embedded::RowWriteSession& s) {
//           if (row.oldValue(QStringLiteral("Author")) != s.login()) s.deny();
//       });

// One row about to be written.
struct RowWrite {
    enum class Action { Insert, Update, Delete };
    Action action = Action::Insert;
    QString table;            // as registered
    QStringList columns;      // the table's columns, in order
    QList<QVariant> before;   // the stored row (update, delete); empty for an insert
    QList<QVariant> after;    // the row as it will be (insert, update); empty for a delete
    QString procedure;        // the registered procedure whose statement writes; empty: client text

    QVariant oldValue(const QString& column) const;
    QVariant newValue(const QString& column) const;
    // An update that gives the column another value: text is compared without its trailing
    // blanks (as the server compares it), so padding a fixed-width value changes nothing.
    bool changes(const QString& column) const;
    // "INSERT", "UPDATE" or "DELETE".
    QString verb() const;
};

// The session that writes, as a guard sees it.
class RowWriteSession {
public:
    virtual ~RowWriteSession() = default;
    // The session as a connection for T-SQL reads (select, if exists) in its own database,
    // with its rights, inside the statement being checked. Anything that writes is refused.
    virtual db::Connection& connection() = 0;
    virtual int spid() const = 0;
    virtual QString loginTime() const = 0;
    virtual QString login() const = 0;
    virtual QByteArray loginSid() const = 0;
    // What the guards keep until the session's transaction ends (a statement outside a
    // transaction is one).
    virtual QVariantHash& transactionMemory() = 0;
    // Refuses the write with SQL Server's error 229 ("The DELETE permission was denied on the
    // object 'T', database 'D', schema 'dbo'.").
    [[noreturn]] virtual void deny() = 0;
};

using RowWriteGuard = std::function<void(const RowWrite& row, RowWriteSession& session)>;

// Guards every table named `table` (compared without regard to case) in every database of
// every embedded server in the process; registering a name again replaces its guard.
void registerRowWriteGuard(const QString& table, RowWriteGuard guard);
void unregisterRowWriteGuard(const QString& table);
// The guard of table; empty when there is none.
RowWriteGuard findRowWriteGuard(const QString& table);
// The names of the guarded tables.
QStringList rowWriteGuardTables();

}   // namespace orra::embedded
