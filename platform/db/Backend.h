#pragma once
// The interface a database backend implements for Connection. Backends buffer whole
// result sets; Connection adds the ADO-shaped surface and the error list.

#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/db/Types.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace orra::db {

// What one execution produced: every result set of the batch, and the informational messages.
struct ExecuteResult {
    std::vector<ResultSet> sets;
    QList<ProviderError> messages;   // number 0 entries

    // A message that comes after the result sets given so far.
    void addMessage(ProviderError message)
    {
        message.resultSet = int(sets.size());
        messages.append(std::move(message));
    }
};

// Thrown by backends: the provider's error list for the failed call (first entry is the main one).
struct ProviderFailure {
    QList<ProviderError> errors;
};

class Backend {
public:
    virtual ~Backend() = default;
    // Connects. user/password come from the caller or the text; throws ProviderFailure.
    virtual void open(const ConnectionString& cs, const QString& user, const QString& password) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Runs a statement text (possibly a batch). params bind to '?' markers in order.
    virtual ExecuteResult execute(const QString& sql, const QList<Parameter>& params) = 0;
    virtual void beginTransaction() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // May be called from another thread while execute() runs; the running call then fails.
    virtual void cancel() = 0;
    // "Server Name", "Current Catalog", "DBMS Name", "User Name"; empty when unknown.
    virtual QString property(const QString& name) const = 0;
    // Informational messages of the last open() (for example "changed database context").
    virtual QList<ProviderError> openMessages() const { return {}; }
    // The source named in this backend's errors ("SQLite", "ODBC", …).
    virtual QString name() const { return QStringLiteral("Database"); }
};

// A factory claims a connection text it can serve. Factories are tried newest first, so a
// more specific backend (the embedded server) registered later wins over a general one.
using BackendFactory = std::function<std::unique_ptr<Backend>(const ConnectionString&)>;
// Registering a name again replaces that factory. Thread-safe.
void registerBackend(const QString& name, BackendFactory factory);
// The backend for a connection text: the newest factory that claims it; nullptr when none.
// The built-in ones ("odbc": any text with Driver=, DSN= or a server; "embedded": a text whose
// server names an embedded server) are always registered first. None claims a database file's path.
std::unique_ptr<Backend> createBackend(const ConnectionString& cs);

}   // namespace orra::db
