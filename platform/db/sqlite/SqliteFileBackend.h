#pragma once
// The backend for one SQLite database file: "Data Source=/path/file.db[;Mode=Create|ReadOnly]".

#include "platform/db/Backend.h"
#include "platform/db/sqlite/SqliteSession.h"

#include <QString>

struct sqlite3;

namespace orra::db::sqlite {

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
