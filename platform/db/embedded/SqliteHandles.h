#pragma once
// Owners for SQLite resources of the embedded server: a statement that finalizes itself, a
// cached statement handed back clean however its use ends, and a write transaction that rolls
// back unless committed; the quoting of names and texts in the SQL the server writes.

#include <QString>

#include <sqlite3.h>

namespace orra::embedded {

// A name as SQLite quotes an identifier ("a""b"), and a text as an SQL string literal ('it''s').
inline QString quoted(const QString& name) { return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"'; }
inline QString literal(const QString& text) { return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\''; }

// A column of the statement's current row as text; NULL as an empty text.
inline QString columnText(sqlite3_stmt* st, int column)
{
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return t ? QString::fromUtf8(t) : QString();
}

class PreparedStatement {
public:
    PreparedStatement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr); }
    PreparedStatement(sqlite3* db, const QString& sql) : PreparedStatement(db, sql.toUtf8().constData()) {}
    ~PreparedStatement() { sqlite3_finalize(m_statement); }
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    // SQLite's code for the preparation.
    int rc() const { return m_rc; }
    bool ok() const { return m_rc == SQLITE_OK; }
    sqlite3_stmt* get() const { return m_statement; }
    operator sqlite3_stmt*() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_rc = SQLITE_OK;
};

// Resets a cached statement and clears its bindings when the scope ends, unless released
// (when the statement is finalized in the meantime).
class StatementReset {
public:
    explicit StatementReset(sqlite3_stmt* statement) : m_statement(statement) {}
    ~StatementReset()
    {
        if (!m_statement) return;
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    StatementReset(const StatementReset&) = delete;
    StatementReset& operator=(const StatementReset&) = delete;

    void release() { m_statement = nullptr; }

private:
    sqlite3_stmt* m_statement;
};

// BEGIN IMMEDIATE when no transaction is open (inside one, the outer transaction decides);
// rolled back when the scope ends without commit().
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db) : m_db(db)
    {
        m_own = sqlite3_get_autocommit(db) != 0;
        if (m_own) m_rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        m_open = m_own && m_rc == SQLITE_OK;
    }
    ~WriteTransaction()
    {
        if (m_open) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    // SQLite's code for the begin (SQLITE_OK when it began or was not needed).
    int beginRc() const { return m_rc; }
    // Commits a transaction this object began; SQLite's code (on failure the transaction is
    // rolled back when the scope ends). Error text is read before that, from the connection.
    int commit()
    {
        if (!m_open) return SQLITE_OK;
        const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) m_open = false;
        return rc;
    }

private:
    sqlite3* m_db;
    bool m_own = false;
    bool m_open = false;
    int m_rc = SQLITE_OK;
};

}   // namespace orra::embedded
