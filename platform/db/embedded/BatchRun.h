#pragma once
// What one execution of a batch keeps while it runs: the client's parameters, the results so
// far, the variables' values, the table variables made, where control goes next, and the
// errors being handled.

#include "platform/db/embedded/EmbeddedBackend.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <sqlite3.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace orra::embedded {

struct StoredValueFree {
    void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
// A variable's value, kept as SQLite holds it; null for NULL.
using StoredValue = std::unique_ptr<sqlite3_value, StoredValueFree>;

// A value as the client's types hold it.
inline QVariant storedValueOf(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    }
}

// An error as T-SQL's error functions and catch blocks see it.
struct BatchError {
    long number = 0;
    QString message;
    int severity = 16;
    int state = 1;
    int line = 1;
    QString procedure;   // the procedure it was raised in; empty in a batch
    bool fatal = false;       // severity 20 or more: it ends the batch, past every catch block
    bool unresolved = false;  // a name not found (208, 207 …) where it was raised: no catch block of its level takes it
    bool raiserror = false;   // raised by RAISERROR, which XACT_ABORT does not heed
};

struct Cursor;   // Cursors.h
// Cursors by folded name (a cursor variable's with its '@').
using CursorMap = std::map<QString, std::shared_ptr<Cursor>>;

// Where control goes after a statement.
enum class Flow { Next, Break, Continue, Return, Goto };

struct EmbeddedBackend::Run {
    const QList<db::Parameter>* params = nullptr;
    qsizetype nextParam = 0;
    db::ExecuteResult result;
    std::vector<StoredValue> variables;   // by value slot
    QStringList tables;                   // the table variables' temporary tables
    QString gotoLabel;                    // the label a goto is looking for
    int tryDepth = 0;                     // try blocks around the statement running
    std::vector<BatchError> handling;     // the errors of the catch blocks running, innermost last
    std::optional<BatchError> raised;     // the error on its way to a catch block or the client
    long rowCount = 0;                    // @@ROWCOUNT
    long error = 0;                       // @@ERROR
    QString procedure;                    // the procedure whose body this is; empty for a batch
    qlonglong status = 0;                 // the status its return gave
    CursorMap cursors;                    // its local cursors and cursor variables
    // What its statements were translated from, and the latest translation with its statements
    // by order (none: the statements run as first translated); see EmbeddedBackend::current.
    QString text;
    TextKind kind = TextKind::Batch;
    std::shared_ptr<const Translation> translation;
    std::vector<const Statement*> statements;
    unsigned catalogueSeen = 0;   // the backend's count of catalogue changes it has looked at
};

}   // namespace orra::embedded
