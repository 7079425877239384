#pragma once
// The backend for one SQLite database file, for the programs' own files and tests: opened by
// openDatabaseFile, never from connection text (which may come from a script or a document).
// Its "Server Name" is the file's absolute path, its "Current Catalog" the file name without
// its extension.

#include "platform/db/Backend.h"
#include "platform/db/sqlite/SqliteSession.h"

#include <QString>

struct sqlite3;

namespace orra::db {
class Connection;
}

namespace orra::db::sqlite {

enum class FileMode {
    ReadWrite,   // the file must exist
    Create,      // made when missing
    ReadOnly,
};

// Opens con (closed) on the SQLite database file at path. Fails as Connection::open does.
void openDatabaseFile(Connection& con, const QString& path, FileMode mode = FileMode::ReadWrite);

// What openDatabaseFile hands over: "Data Source" (the path) and "Mode" ("Create", "ReadOnly").

class SqliteFileBackend : public Backend {
public:
    SqliteFileBackend();
    ~SqliteFileBackend() override;

    void open(const ConnectionString& cs, const QString& user, const QString& password) override;
    void close() override;
    bool isOpen() const override { return m_db != nullptr; }
    ExecuteResult execute(const QString& sql, const QList<Parameter>& params) override;
    void beginTransaction() override;
    void commit() override;
    void rollback() override;
    void cancel() override;
    QString property(const QString& name) const override;
    QString name() const override { return QStringLiteral("SQLite"); }

    SqliteSession& session() { return m_session; }

private:
    sqlite3* m_db = nullptr;
    SqliteSession m_session;
    QString m_path;
    QString m_user;
};

}   // namespace orra::db::sqlite
