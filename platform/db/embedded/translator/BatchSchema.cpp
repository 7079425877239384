#include "platform/db/embedded/translator/BatchSchema.h"

namespace orra::embedded::translator {

namespace {

QString key(const QString& database, const QString& table) { return (database + u'.' + table).toLower(); }

}   // namespace

void BatchSchema::declare(const QString& database, const QString& table, std::vector<DeclaredColumn> columns)
{
    m_tables.insert(key(database, table), std::move(columns));
}

const std::vector<DeclaredColumn>* BatchSchema::declared(const QString& database, const QString& table) const
{
    const auto it = m_tables.constFind(key(database, table));
    return it == m_tables.constEnd() ? nullptr : &it.value();
}

QString BatchSchema::columnType(const QString& database, const QString& table, const QString& column) const
{
    const std::vector<DeclaredColumn>* columns = declared(database, table);
    if (!columns) return m_connection->columnType(database, table, column);
    for (const DeclaredColumn& c : *columns)
        if (c.name.compare(column, Qt::CaseInsensitive) == 0) return c.type;
    return {};
}

QString BatchSchema::columnCollation(const QString& database, const QString& table, const QString& column) const
{
    return declared(database, table) ? QString() : m_connection->columnCollation(database, table, column);
}

QStringList BatchSchema::insertColumns(const QString& database, const QString& table) const
{
    const std::vector<DeclaredColumn>* columns = declared(database, table);
    if (!columns) return m_connection->insertColumns(database, table);
    QStringList names;
    for (const DeclaredColumn& c : *columns)
        if (c.inserted) names << c.name;
    return names;
}

QStringList BatchSchema::columns(const QString& database, const QString& table) const
{
    const std::vector<DeclaredColumn>* columns = declared(database, table);
    if (!columns) return m_connection->columns(database, table);
    QStringList names;
    for (const DeclaredColumn& c : *columns) names << c.name;
    return names;
}

}   // namespace orra::embedded::translator
