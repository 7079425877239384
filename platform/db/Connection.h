#pragma once
// A database connection in the manner of ADO's Connection, over one of the backends:
// the embedded server (SQLite) or any ODBC driver through unixODBC ("Driver={…};Server=…").
// "Driver={SQL Server}" maps to the configured ODBC driver (FreeTDS by default).
//
// Connection text (what scripts, documents, the registry and command lines can supply)
// reaches a server by its name, never a file or a library by its path:
//   "Server=NAME;Database=…;UID=…;PWD=…" (any Driver=)  an embedded server, with its log-on.
//   "Driver={…};Server=…;Database=…;UID=…;PWD=…" or "DSN=…"  an ODBC data source; the driver
//       must be registered with the driver manager (OdbcBackend.h). Keys that meant something
//       only to the Windows provider (Provider, Persist Security Info, OLE DB Services, Prompt,
//       Initial File Name) are dropped before the text reaches the driver; "User ID"/"Password"
//       are passed as UID/PWD.
//   "Provider=SQLOLEDB;Data Source=NAME;Initial Catalog=…" (no driver)  the same: "Data Source",
//       "Address", "Addr" and "Network Address" name the server as "Server" does.
// A server named by a path ("Data Source=/x/y.db", also with "Mode=Create") opens nothing and
// makes no file (error 3706): the programs open their own database files with
// sqlite::openDatabaseFile (SqliteFileBackend.h).
// Errors: ProviderError::number is negative for errors. SQLite: -(primary result code), e.g.
// -1 for a syntax error, -19 for a constraint, -9 for a cancelled statement; nativeError
// holds the extended code. ODBC: -(native error), or -1 when the driver gives none.
// Informational messages (ODBC's SQL_SUCCESS_WITH_INFO) are entries with number 0.
// A cancelled statement fails with SQL state "HY008".

#include "platform/db/Backend.h"
#include "platform/db/Recordset.h"
#include "platform/db/Types.h"

#include <QList>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace orra::db {

class Connection;

// One statement text executing on a worker thread (ADO's asynchronous execute and fetch):
// the caller polls state() while keeping its window alive, may cancel(), and then takes the
// result. The connection must not be used by anyone else until the execution has finished,
// and must outlive this object. Destroying a running execution cancels it and waits.
// Instead of polling, a caller may give a function that the worker thread calls once the
// execution has finished (state() is then 0); it runs on that thread, so a window posts
// itself a call from it and must not destroy the execution there.
class AsyncExecution {
public:
    ~AsyncExecution();
    AsyncExecution(const AsyncExecution&) = delete;
    AsyncExecution& operator=(const AsyncExecution&) = delete;

    // 4 (adStateExecuting) while the statement runs or its rows are fetched, then 0.
    int state() const;
    bool isRunning() const { return state() != 0; }
    // Thread-safe: asks the running statement to stop (it then fails with "HY008").
    void cancel();
    // Waits until finished; false when msecs (>= 0) passed first.
    bool wait(int msecs = -1);
    // Waits, then gives the recordset, or throws the orra::Error the execution failed with.
    // The connection's errors() hold the provider's list either way.
    RecordsetPtr result();
    bool failed();

private:
    friend class Connection;
    AsyncExecution(
        Connection& con, const QString& sql, const QList<Parameter>& params, std::function<void()> onFinished);

    Connection& m_con;
    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_running = true;
    RecordsetPtr m_result;
    std::exception_ptr m_error;
    std::thread m_thread;
};

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the connection. Throws orra::Error (number = first provider error's number,
    // description = its text; the full list in errors()). user/password override UID/PWD.
    void open(const QString& connectionText, const QString& user = QString(), const QString& password = QString());
    // Opens the connection on a backend the program made itself, with the text that backend
    // reads: the programs' own database files and a server's inner sessions. Connection text
    // from users never takes this road. Fails as open(text) does.
    void open(std::unique_ptr<Backend> backend, const ConnectionString& cs, const QString& user = QString(),
        const QString& password = QString());
    void close();
    int state() const { return isOpen() ? 1 : 0; }   // adStateClosed 0, adStateOpen 1
    bool isOpen() const;
    // The text as opened. A user given to open() is added as UID, and a password given to
    // open() as PWD when the text says "Persist Security Info=True", so that the text can
    // open the same connection again.
    QString connectionString() const { return m_text; }

    // Executes a statement text; every result set is buffered. The returned recordset is
    // closed (state 0) when the statement returned no rows. Throws orra::Error on failure,
    // with errors() holding the provider's list. params bind to '?' markers.
    RecordsetPtr execute(const QString& sql, const QList<Parameter>& params = {}, long* recordsAffected = nullptr);

    // Runs the statement on a worker thread; see AsyncExecution.
    std::unique_ptr<AsyncExecution> executeAsync(
        const QString& sql, const QList<Parameter>& params = {}, std::function<void()> onFinished = {});

    void beginTrans();
    void commitTrans();
    void rollbackTrans();
    int transactionLevel() const { return m_transactionLevel; }

    // Thread-safe: asks the running statement to stop; it then fails with a cancel error.
    void cancel();

    // "Server Name" and "Current Catalog" (the properties the system reads), and the
    // backend's others.
    QString property(const QString& name) const;

    // The error list of the last call: errors (number < 0) and messages (number 0).
    const QList<ProviderError>& errors() const { return m_errors; }
    void clearErrors() { m_errors.clear(); }

    // Command and connection time-outs are accepted for compatibility; the system uses none.
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }
    int commandTimeout() const { return m_commandTimeout; }

    Backend* backend() const { return m_backend.get(); }

private:
    [[noreturn]] void fail(const ProviderFailure& f, const QString& fallbackSource);
    void openOn(std::unique_ptr<Backend> backend, const ConnectionString& cs, const QString& user,
        const QString& password, const QString& connectionText);
    void requireOpen(const char* operation);

    std::unique_ptr<Backend> m_backend;
    QString m_text;
    QList<ProviderError> m_errors;
    int m_transactionLevel = 0;
    int m_commandTimeout = 30;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// The ODBC driver used for "Driver={SQL Server}" (setting "Main Settings/OdbcDriver", or the
// ORRA_ODBC_DRIVER environment variable; FreeTDS by default).
QString configuredOdbcDriver();

}   // namespace orra::db
