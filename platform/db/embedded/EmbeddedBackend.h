#pragma once
// The embedded SQL server's backend: claims connection texts whose Server names a server
// folder under the embedded root, logs the login on against the server's master database,
// opens the database file, and runs the T-SQL subset through the translator.

#include "platform/db/Backend.h"
#include "platform/db/embedded/Authorizer.h"
#include "platform/db/embedded/ExactTyping.h"
#include "platform/db/embedded/IdentityColumns.h"
#include "platform/db/embedded/RowCountLimit.h"
#include "platform/db/embedded/functions/DateTimeValues.h"
#include "platform/db/sqlite/SqliteSession.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantHash>
#include <functional>
#include <map>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;
struct sqlite3_context;

namespace orra::db {
class Connection;
}

namespace orra::embedded {

struct BatchError;
struct Statement;
struct SqlStatement;
struct ConstraintChange;
struct ConstraintMessage;
struct ProcedureCall;
struct ModuleStatement;
struct OutputStatement;
struct InsertExec;
struct TransactionStatement;
struct SessionOption;
struct Assignment;
struct RaiseStatement;
struct CursorStatement;
struct Cursor;
enum class Flow;

class EmbeddedBackend : public db::Backend {
public:
    EmbeddedBackend();
    ~EmbeddedBackend() override;

    // The backend for a connection text whose Server names a folder of an embedded server;
    // nullptr for any other text. One of the built-in factories of the database layer.
    static std::unique_ptr<db::Backend> claim(const db::ConnectionString& cs);

    void open(const db::ConnectionString& cs, const QString& user, const QString& password) override;
    void close() override;
    bool isOpen() const override { return m_db != nullptr; }
    db::ExecuteResult execute(const QString& sql, const QList<db::Parameter>& params) override;
    void beginTransaction() override;
    void commit() override;
    void rollback() override;
    void cancel() override;
    QString property(const QString& name) const override;
    QString name() const override;

    // Session facts (also what the server functions return).
    int spid() const { return m_spid; }
    const QString& login() const { return m_login; }
    const QByteArray& loginSid() const { return m_sid; }
    const QString& userName() const { return m_userName; }
    int userId() const { return m_uid; }
    bool isSysadmin() const { return m_sysadmin; }
    const QString& server() const { return m_server; }
    const QString& database() const { return m_database; }
    // DatabaseIds.cpp: DB_ID and DB_NAME, the server's numbers of its databases; NULL for none.
    QVariant databaseId(const QString& name);
    QVariant databaseName(qlonglong id);
    const QString& loginTime() const { return m_loginTime; }
    QVariant identity() const { return m_identity; }
    QVariant scopeIdentity() const { return m_scopeIdentity; }
    sqlite3* masterHandle() const { return m_master; }
    sqlite3* handle() const { return m_db; }
    // @@TRANCOUNT: the begin tran statements not yet committed; 0 outside a transaction.
    int transactionCount() const;
    // XACT_STATE(): 1 in a transaction, -1 in one an error doomed, 0 outside one.
    int transactionState() const;

    // True when the session (spid, login time) of this server is still connected.
    bool sessionAlive(int spid, const QString& loginTime) const;

    // What the row guards (RowGuards.h) use of the session: T-SQL reads run inside the
    // statement being checked (refused when they would write or reach another database), the
    // same as a connection, the registered procedure now running, the rights, the guarded
    // tables' columns and the memory kept until the transaction ends.
    db::ExecuteResult runNested(const QString& sql, const QList<db::Parameter>& params);
    db::Connection& nestedConnection();
    const QString& procedure() const { return m_procedure; }
    SessionRights& rights() { return m_rights; }
    QStringList guardedColumns(const QString& table) const;
    QVariantHash& guardMemory() { return m_guardMemory; }

private:
    void setSessionOption(const SessionOption& option);
    void enterDatabase(const QString& database);
    // USE: the session moves to the database name names, where its login has a user.
    void useDatabase(const QString& name);
    struct Run;
    // BatchExecution.cpp: the batch's statements in order, with control flow, variables and
    // the errors that end a statement or the batch.
    Flow runList(const std::vector<Statement>& list, Run& run);
    Flow runStatement(const Statement& st, Run& run);
    bool runBatchStatement(const Statement& st, Run& run, Flow& flow);
    // The statement st as the run translates it now: after a statement that may have changed
    // the catalogue (a table made, altered or dropped, a constraint, a module), the statements
    // still to run are translated again against it, as SQL Server compiles a statement of a
    // batch again after the objects it reads have changed.
    const Statement& current(const Statement& st, Run& run);
    void translateAgain(const Statement& next, Run& run);
    // Binds the client's '?' parameters in order and the variables (":vN") by slot.
    void bindParameters(sqlite3_stmt* statement, Run& run);
    bool holds(const QString& condition, Run& run);
    void runAssignment(const Assignment& a, Run& run);
    void runRaise(const RaiseStatement& r, int line, Run& run);
    // The error a RAISERROR of these values (message or number, severity, state, arguments)
    // raises, or the error its values make instead.
    BatchError raisedError(const RaiseStatement& r, const QVariantList& values) const;
    // Cursors.cpp: declare … cursor, open, fetch, close, deallocate; the cursor functions.
    void runCursorStatement(const CursorStatement& st, Run& run);
    std::shared_ptr<Cursor> cursorNamed(const CursorStatement& st, Run& run);
    void openCursor(Cursor& cursor, Run& run);
    void fetchCursor(const CursorStatement& st, Cursor& cursor, Run& run);
    void closeCursor(Cursor& cursor);
    void endCursors(Run& run);
    void registerCursorFunctions();
    void runTransaction(const TransactionStatement& t, Run& run);
    // Gives a failure SQL Server's number and text and keeps what the error functions read.
    void noteError(db::ProviderFailure& failure, const Statement& st, Run& run);
    // Puts the error in the results in its statement's place.
    static void deliverError(const db::ProviderFailure& failure, Run& run);
    void endBatch(Run& run);
    void registerBatchFunctions();
    void runSql(const SqlStatement& st, Run& run);
    void runConstraintChange(const ConstraintChange& change, Run& run);   // ConstraintChanges.cpp
    // The one value of a query of the batch's variables.
    QVariant valueOf(const QString& query, Run& run);
    void setRowCount(const QString& query, Run& run);
    // forCursor: the server's own table of a cursor's rows (columns c1 … cn, no count given
    // back); the rows copied.
    long runSelectInto(const SqlStatement& st, Run& run, bool forCursor = false);
    // The server's own procedures, then those registered (Extensions.h).
    void runProcedure(const ProcedureCall& st, Run& run);
    struct CallSession;   // what a registered procedure sees of the session
    // ProcedureExecution.cpp: stored procedures made, dropped and run (their body with its own
    // variables, its result sets reaching the caller in order), insert … exec.
    void runModuleStatement(const ModuleStatement& st);
    // FunctionCalls.cpp: orra_udf, a call of a user-defined scalar function.
    void registerModuleFunctions();
    static void callFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    void runFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    void runStoredProcedure(const ProcedureCall& call, Run& caller);
    void runInsertExec(const InsertExec& st, Run& run);
    // OutputRows.cpp: insert, update, delete and merge with OUTPUT clauses.
    class OutputCapture;
    void runOutput(const OutputStatement& st, Run& run);
    void registerOutputFunction();
    // Tells the rows noted for an OUTPUT which kind of change the SQLite text sql makes.
    void followOutput(const QString& sql);
    OutputCapture* m_output = nullptr;   // an OUTPUT noting the rows its change makes
    int m_maxRecursion = 100;   // the running statement's recursion limit, which the views it reads take
    qlonglong procedureStatus(const QString& query, Run& run);
    // The value of a query whose one "?" bind() binds, as a copy the caller frees; nullptr for
    // NULL.
    sqlite3_value* convertedValue(const QString& query, const std::function<void(sqlite3_stmt*)>& bind);
    int m_nestLevel = 0;          // @@NESTLEVEL: the procedures running
    bool m_insertingExec = false;   // an insert … exec is collecting rows
    void runAdministration(const Statement& st, Run& run);
    sqlite3_stmt* prepare(const QString& sql);
    // Finalizes the cached statement of sql, if any.
    void forgetStatement(const QString& sql);
    struct ForgetStatement {
        EmbeddedBackend& backend;
        QString sql;   // empty: nothing to forget
        ~ForgetStatement()
        {
            if (!sql.isEmpty()) backend.forgetStatement(sql);
        }
    };
    db::ResultSet query(const QString& sql, const QList<QVariant>& args = {});
    void attachDatabases(const QStringList& names);
    bool ownsDatabase(const QString& schema, int uid);
    // The columns an insert without a column list fills, and the table's identity column.
    struct InsertColumns {
        QString columns;   // empty when the table has no identity column (all of them)
        std::optional<IdentityColumn> identity;
    };
    const InsertColumns& insertColumns(const QString& schema, const QString& table);
    // Refuses an insert that breaks the identity_insert rules (544, 545, 8101); after it, the
    // identity value it gave (@@identity).
    void checkIdentityInsert(const SqlStatement& st, const QString& sql);
    void noteInsertedIdentity(const SqlStatement& st);
    void refuseIdentityUpdate(sqlite3_stmt* prepared);   // 8102; finalizes the statement first
    void setIdentityInsert(const QString& name, bool on);
    struct InheritedIdentity {
        int column = -1;   // none
        IdentityColumn identity;
    };
    InheritedIdentity inheritedIdentity(sqlite3_stmt* select, const QString& sql);
    void registerSession();
    QString tryRegisterSession();   // the failure, or empty
    void unregisterSession();
    void registerFunctions();
    [[noreturn]] void raise(const QString& state, const QString& message, long native) const;
    void padFixedWidth(db::ResultSet& rs) const;
    // Puts SQL Server's wording (constraint and object named) on a constraint failure of sql.
    // Fixed-width columns of a table that sql (a create table) made are kept blank-padded.
    void padNewTable(const QString& sql);
    // NULLs in unique keys held equal (NullKeys.h) after a table or a unique index is made or an
    // index dropped.
    void keepIndexNullKeys(const QString& sql);
    void keepNullKeys(const QString& schema, const QString& table);
    // statement: the one that failed (its parameters still bound), for the duplicate key value.
    void rewordConstraintFailure(db::ProviderFailure& failure, const QString& sql, sqlite3_stmt* statement);
    // DuplicateKeys.cpp: the key value that refused statement's row, as the message shows it;
    // the text of a key's stored values; a 1505 message given its repeated value.
    QString duplicateKeyValue(sqlite3_stmt* statement, const ConstraintMessage& m);
    QString keyValueText(
        const QString& schema, const QString& table, const QStringList& columns, const QVariantList& stored);
    void addKeyValue(ConstraintMessage& m);
    // The types of computed columns (read from the schema on the server's own behalf).
    QStringList computedColumnTypes(const SqlStatement& st);

    sqlite3* m_db = nullptr;
    QSet<QString> m_appliedRowsTables;   // the applied rows' tables made known to m_db
    sqlite3* m_master = nullptr;
    db::sqlite::SqliteSession m_session;
    QString m_server;
    QString m_database;
    QString m_login;
    QByteArray m_sid;
    QString m_userName;
    int m_uid = -1;
    bool m_sysadmin = false;
    int m_spid = 0;
    QString m_loginTime;
    bool m_noCount = false;
    long m_rowCount = 0;   // SET ROWCOUNT: the rows a statement returns or changes at most (0: all)
    RowCountState m_rowCountState;
    dates::Settings m_dateSettings;   // SET DATEFORMAT, DATEFIRST, LANGUAGE
    int m_transactionCount = 0;   // nested begin tran (transactionCount() says it)
    QString m_transactionName;      // the outermost begin tran's name
    QStringList m_savepoints;       // save tran's names, SQLite's savepoint n+1 each
    bool m_xactAbort = false;   // set xact_abort: any error ends the batch and its transaction
    // An error under XACT_ABORT reached a catch block: the transaction may only read and be
    // rolled back (error 3930), and is rolled back when the batch ends (3998).
    bool m_doomed = false;
    QStringList m_tableVariables;   // the tables of the table variables alive, as SQLite writes their names
    // Runs a ROLLBACK [TO …] and keeps what no transaction takes back: the table variables
    // (their tables, rows and identity counts) and the identity values the transaction used.
    void rollbackTransaction(const QString& rollback = QStringLiteral("ROLLBACK"));
    bool doomed() const;
    void refuseWriteWhileDoomed() const;
    Run* m_run = nullptr;       // the batch running (what @@rowcount, @@error, error_…() read)
    std::map<QString, std::shared_ptr<Cursor>> m_globalCursors;   // by folded name
    std::weak_ptr<Cursor> m_lastOpened;   // what @@CURSOR_ROWS reads
    int m_fetchStatus = -1;               // @@FETCH_STATUS
    int m_cursorTables = 0;               // the cursor tables made, to name the next
    QVariant m_identity;        // @@identity: the last identity value the session's inserts gave
    QVariant m_scopeIdentity;   // scope_identity(): the same within the running batch or procedure
    void noteIdentity(qlonglong value)
    {
        m_identity = value;
        m_scopeIdentity = value;
    }
    QStringList m_attached;                       // other databases attached by name
    QHash<QString, sqlite3_stmt*> m_statements;   // prepared statements by SQLite text
    QHash<QString, InsertColumns> m_insertColumns;   // by schema.table
    QString m_identityInsert;         // set identity_insert … on: the table (stored name), empty when off
    QString m_identityInsertSchema;   // its SQLite schema
    SessionRights m_rights;                       // what client text may do (SQLite's authorizer)
    ExactTypeCache m_exactTypes;                  // money and decimal expression columns by statement
    std::unique_ptr<class ConnectionSchema> m_schema;   // declared types for the translator
    // Row guards: the guarded tables of main (folded name -> columns), the reads of a guard
    // (with their own prepared statements), the procedure running, the transaction's memory.
    QHash<QString, QStringList> m_guardedColumns;
    int m_nested = 0;
    QHash<QString, sqlite3_stmt*> m_nestedStatements;
    // Counts the statements run that may have changed the catalogue (runs compare it).
    unsigned m_catalogueChanges = 0;
    unsigned m_statementsCatalogue = 0;   // m_catalogueChanges when m_statements were prepared
    // Scalar functions running inside a statement: their depth, and their prepared statements
    // by depth (a call never resets a statement of a call it runs inside).
    int m_functionDepth = 0;
    // The error a function's body ended with: SQLite hands the calling statement its text
    // alone, and the statement's error takes the number back from here.
    std::optional<db::ProviderError> m_functionError;
    std::vector<QHash<QString, sqlite3_stmt*>> m_functionStatements;
    std::unique_ptr<db::Connection> m_nestedConnection;
    QString m_procedure;
    QVariantHash m_guardMemory;
};

}   // namespace orra::embedded
