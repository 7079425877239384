#pragma once
// The backend for ODBC data sources through unixODBC (FreeTDS for SQL Server by default).
//
// The connection text goes to SQLDriverConnect after these changes: "Driver={SQL Server}"
// names the configured driver (configuredOdbcDriver()); "User ID"/"Password" become UID/PWD
// (the user and password given to open() win over the text); a text without Driver or DSN
// (an OLE DB provider's) gets the configured driver; the server, however named ("Data Source",
// "Address", "Addr", "Network Address"), becomes Server, "Initial Catalog" Database and
// "Integrated Security=SSPI" Trusted_Connection=Yes; keys that meant something only to the
// Windows provider (Provider, Persist Security Info, OLE DB Services, Prompt, Initial File
// Name) are dropped.
//
// Before the driver manager sees the text: a Driver value must name a driver registered with
// the driver manager (SQLDrivers), never a library by its path; FILEDSN, SAVEFILE and LoadExt
// (the SQLite driver's extension loading) are refused, and so is any value that names a path
// inside the embedded servers' folder. Such a text fails with SQL state IM002.
//
// Errors come from SQLGetDiagRec: number -(native error), or -1 when the driver reports no
// native error; records whose SQL state is of class "01" (warnings), and every record of a
// call that returned SQL_SUCCESS_WITH_INFO, are messages with number 0.
// cancel() calls SQLCancel on the running statement (thread-safe); rows still being fetched
// are abandoned; the call fails with SQL state "HY008".

#include "platform/db/Backend.h"

#include <QString>
#include <atomic>
#include <mutex>

namespace orra::db::odbc {

class OdbcBackend : public Backend {
public:
    OdbcBackend();
    ~OdbcBackend() override;

    void open(const ConnectionString& cs, const QString& user, const QString& password) override;
    void close() override;
    bool isOpen() const override { return m_dbc != nullptr; }
    ExecuteResult execute(const QString& sql, const QList<Parameter>& params) override;
    void beginTransaction() override;
    void commit() override;
    void rollback() override;
    void cancel() override;
    QString property(const QString& name) const override;
    QList<ProviderError> openMessages() const override { return m_openMessages; }
    QString name() const override { return QStringLiteral("ODBC"); }

    // The text handed to SQLDriverConnect for a connection text (see above).
    static QString driverConnectionText(const ConnectionString& cs, const QString& user, const QString& password);

    // The error list of a handle after a call: succeededWithInfo for a call that returned
    // SQL_SUCCESS_WITH_INFO (every record a message, number 0), false for a failed call.
    static QList<ProviderError> diagnostics(short handleType, void* handle, bool succeededWithInfo);

private:
    ExecuteResult run(const QString& sql, const QList<Parameter>& params);
    void endTransaction(bool commit);
    void* m_env = nullptr;
    void* m_dbc = nullptr;
    std::mutex m_stmtMutex;
    void* m_stmt = nullptr;   // the running statement, for cancel()
    std::atomic<bool> m_cancel{false};
    QList<ProviderError> m_openMessages;
};

}   // namespace orra::db::odbc
