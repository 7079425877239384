#pragma once
// Statement execution on one SQLite handle, shared by the single-file backend and the
// embedded server: prepares every statement of a text in turn, binds '?' parameters across
// the whole text, steps each statement and buffers its rows as a ResultSet typed the way
// ADO types SQL Server columns (from the declared column type; expression columns from the
// storage class of their values), and turns SQLite failures into provider errors.
//
// Cancel: cancel() may be called from any thread while execute()/run() runs on another; the
// running statement then fails with SQL state "HY008" (number -9). A progress handler is
// installed on the handle for that purpose; a cancel that arrives when nothing runs is
// forgotten by the next execute().

#include "platform/db/Backend.h"
#include "platform/db/Recordset.h"
#include "platform/db/Types.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

struct sqlite3;
struct sqlite3_stmt;

namespace orra::db::sqlite {

// The ADO type of a declared column type ("varchar(30)", "INT", "numeric(10,2)"…).
// known is false when the declaration is missing or names no type we know; the caller then
// types the column by its values.
struct ColumnType {
    DataType type = DataType::VarChar;
    long definedSize = 0;
    int precision = 0;
    int numericScale = 0;
    bool known = false;
};
ColumnType typeFromDeclared(const char* declared);

// SQL state for a SQLite result code (and its message, which refines SQLITE_ERROR).
QString sqlStateFor(int resultCode, const QString& message);

// Why a write found no room (a full disk, a used-up quota, a file at the largest size allowed),
// from SQLite's result code and the system's error number; empty for every other failure.
QString noRoomCause(int resultCode, int systemError);
// "The database file '…' cannot be written: <cause>." for such a failure of db, else empty.
QString noRoomMessage(sqlite3* db, int resultCode);

class SqliteSession {
public:
    // The handle is not owned; it must outlive the session (or be detached first).
    explicit SqliteSession(sqlite3* db = nullptr, QString source = QStringLiteral("SQLite"));
    ~SqliteSession();
    SqliteSession(const SqliteSession&) = delete;
    SqliteSession& operator=(const SqliteSession&) = delete;

    void attach(sqlite3* db);   // installs the cancel handler on db
    void detach();
    sqlite3* handle() const { return m_db; }
    const QString& source() const { return m_source; }
    void setSource(const QString& source) { m_source = source; }

    // Runs every statement of the text; one ResultSet per statement (a closed one, with
    // recordsAffected, for statements without columns). Throws ProviderFailure.
    ExecuteResult execute(const QString& sql, const QList<Parameter>& params = {});

    // Lower-level pieces for callers that prepare statements themselves.
    // Steps a prepared statement to its end and buffers it. Throws ProviderFailure.
    // declaredTypes: for result columns that SQLite gives no declared type (expressions), the
    // type to read them as ("datetime", "int", …); an empty entry types the column by values.
    // maxRows: the rows read at most (SET ROWCOUNT); -1 for all.
    ResultSet run(sqlite3_stmt* stmt, const QStringList& declaredTypes = {}, long maxRows = -1);
    // Binds v to the 1-based parameter index: NULL, Boolean as 0/1, integers, doubles,
    // text, binary as a blob, dates as "yyyy-MM-dd HH:mm:ss[.zzz]".
    static void bind(sqlite3_stmt* stmt, int index, const QVariant& v);
    // The provider error for a failed call on this handle (uses sqlite3_errmsg).
    ProviderError error(int resultCode) const;
    [[noreturn]] void raise(int resultCode) const;
    [[noreturn]] void raise(const QString& sqlState, const QString& description, long number = -1) const;

    // Thread-safe.
    void cancel();
    bool cancelRequested() const { return m_cancel.load(std::memory_order_relaxed); }
    // Called by execute() at its start; callers of run() alone call it themselves.
    void resetCancel() { m_cancel.store(false); }

private:
    static int onProgress(void* self);
    sqlite3* m_db = nullptr;
    QString m_source;
    std::atomic<bool> m_cancel{false};
};

}   // namespace orra::db::sqlite
