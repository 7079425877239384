#pragma once
// The declared column types a batch's statements see: the tables the batch itself creates
// (create table, declare @t table) as declared there, the others as the connection's schema
// has them. A batch is translated whole before it runs, so a table made by an earlier
// statement of the batch is not in the database yet when the later ones are translated.

#include "platform/db/embedded/translator/ExpressionTyping.h"

#include <QHash>

namespace orra::embedded::translator {

struct DeclaredColumn {
    QString name;
    QString type;            // as declared ("datetime", "decimal(18,4)"); empty for a computed column
    bool inserted = true;    // filled by an insert without a column list (not the identity, not computed)
};

class BatchSchema : public Schema {
public:
    explicit BatchSchema(const Schema* connection) : m_connection(connection) {}

    // A table the batch creates ("main", "temp" or an attached database's name).
    void declare(const QString& database, const QString& table, std::vector<DeclaredColumn> columns);

    QString columnType(const QString& database, const QString& table, const QString& column) const override;
    QString columnCollation(const QString& database, const QString& table, const QString& column) const override;
    QStringList insertColumns(const QString& database, const QString& table) const override;
    QStringList columns(const QString& database, const QString& table) const override;
    bool checksOnlyLengths(const QString& database, const QString& table) const override
    {
        return !declared(database, table) && m_connection->checksOnlyLengths(database, table);
    }
    QString moduleDefinition(
        const QString& database, const QString& schema, const QString& name, QString& type) const override
    {
        return m_connection->moduleDefinition(database, schema, name, type);
    }
    QString version() const override { return m_connection->version(); }

private:
    const std::vector<DeclaredColumn>* declared(const QString& database, const QString& table) const;

    const Schema* m_connection;
    QHash<QString, std::vector<DeclaredColumn>> m_tables;   // by folded database.table
};

}   // namespace orra::embedded::translator
