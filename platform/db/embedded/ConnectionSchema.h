#pragma once
// The declared column types of a connection's databases, as the translator asks for them
// (see translator/ExpressionTyping.h). Its version changes with the schema cookie of the main
// and temp databases, so that a translation cached before a table changed is not reused.

#include "platform/db/embedded/Authorizer.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"

struct sqlite3;
struct sqlite3_stmt;

namespace orra::embedded {

class ConnectionSchema : public Schema {
public:
    // rights: the session's, which the server's own reads of the schema pass.
    ConnectionSchema(sqlite3* db, SessionRights& rights) : m_db(db), m_rights(rights) {}
    ~ConnectionSchema() override;
    ConnectionSchema(const ConnectionSchema&) = delete;
    ConnectionSchema& operator=(const ConnectionSchema&) = delete;

    QString columnType(const QString& database, const QString& table, const QString& column) const override;
    QString columnCollation(const QString& database, const QString& table, const QString& column) const override;
    QString moduleDefinition(
        const QString& database, const QString& schema, const QString& name, QString& type) const override;
    QStringList insertColumns(const QString& database, const QString& table) const override;
    QStringList columns(const QString& database, const QString& table) const override;
    bool checksOnlyLengths(const QString& database, const QString& table) const override;
    QString version() const override;

private:
    int cookie(sqlite3_stmt*& statement, const char* sql) const;

    sqlite3* m_db;
    SessionRights& m_rights;
    mutable sqlite3_stmt* m_main = nullptr;
    mutable sqlite3_stmt* m_temp = nullptr;
};

}   // namespace orra::embedded
