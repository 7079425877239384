#pragma once
// SET ROWCOUNT n for the statements that change rows: while a limit lives, a temporary trigger
// on the statement's target skips (RAISE(IGNORE)) every row after the first n the statement
// inserts, updates or deletes. Rows a trigger changes again (a padded or converted column)
// count once.

#include <QString>

#include <unordered_set>

struct sqlite3;

namespace orra::embedded {

struct RowCountState {
    long limit = 0;
    long taken = 0;
    std::unordered_set<long long> seen;   // update/delete: the rows counted
};

// Registers orra_rowcount_take(rowid) over state on db.
void registerRowCountFunction(sqlite3* db, RowCountState* state);

class RowCountLimit {
public:
    // Limits the insert, update or delete sql (SQLite text) to limit rows; nothing for a limit
    // of 0 or a statement whose target it cannot name.
    RowCountLimit(sqlite3* db, RowCountState& state, const QString& sql, long limit);
    ~RowCountLimit();
    RowCountLimit(const RowCountLimit&) = delete;
    RowCountLimit& operator=(const RowCountLimit&) = delete;

private:
    sqlite3* m_db;
    bool m_installed = false;
};

}   // namespace orra::embedded
