#include "platform/db/embedded/ConnectionSchema.h"
#include "platform/db/embedded/IdentityColumns.h"

#include "platform/db/embedded/ObjectCatalog.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <QStringList>

namespace orra::embedded {

ConnectionSchema::~ConnectionSchema()
{
    sqlite3_finalize(m_main);
    sqlite3_finalize(m_temp);
}

QString ConnectionSchema::columnType(const QString& database, const QString& table, const QString& column) const
{
    const char* declared = nullptr;
    const int rc = sqlite3_table_column_metadata(m_db, database.toUtf8().constData(), table.toUtf8().constData(),
        column.toUtf8().constData(), &declared, nullptr, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK || !declared) return {};
    return QString::fromUtf8(declared);
}

QString ConnectionSchema::columnCollation(const QString& database, const QString& table, const QString& column) const
{
    const char* collation = nullptr;
    const int rc = sqlite3_table_column_metadata(m_db, database.toUtf8().constData(), table.toUtf8().constData(),
        column.toUtf8().constData(), nullptr, &collation, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK || !collation) return {};
    return QString::fromUtf8(collation);
}

QString ConnectionSchema::moduleDefinition(
    const QString& database, const QString& schema, const QString& name, QString& type) const
{
    const std::optional<StoredModule> m = findModule(m_db, database, schema, name);
    if (!m) return {};
    type = m->type;
    return m->definition;
}

QStringList ConnectionSchema::insertColumns(const QString& database, const QString& table) const
{
    auto quoted = [](QString n) { return u'"' + n.replace(u'"', QStringLiteral("\"\"")) + u'"'; };
    const QByteArray select = (QStringLiteral("select * from ") + quoted(database) + u'.' + quoted(table)).toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, select.constData(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return {};
    }
    const std::optional<IdentityColumn> identity = identityColumnOf(m_db, database, table);
    QStringList columns;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
        // a computed column has no declared type; the identity is given by the server
        const QString name = QString::fromUtf8(sqlite3_column_name(st, i));
        if (!sqlite3_column_decltype(st, i) || (identity && identity->column == name)) continue;
        columns << name;
    }
    sqlite3_finalize(st);
    return columns;
}

QStringList ConnectionSchema::columns(const QString& database, const QString& table) const
{
    auto quoted = [](QString n) { return u'"' + n.replace(u'"', QStringLiteral("\"\"")) + u'"'; };
    const QByteArray select = (QStringLiteral("select * from ") + quoted(database) + u'.' + quoted(table)).toUtf8();
    sqlite3_stmt* st = nullptr;
    QStringList names;
    if (sqlite3_prepare_v2(m_db, select.constData(), -1, &st, nullptr) == SQLITE_OK)
        for (int i = 0; i < sqlite3_column_count(st); ++i) names << QString::fromUtf8(sqlite3_column_name(st, i));
    sqlite3_finalize(st);
    return names;
}

bool ConnectionSchema::checksOnlyLengths(const QString& database, const QString& table) const
{
    auto quoted = [](QString n) { return u'"' + n.replace(u'"', QStringLiteral("\"\"")) + u'"'; };
    const QByteArray select =
        (QStringLiteral("select type, sql from ") + quoted(database)
            + QStringLiteral(".sqlite_schema where tbl_name = ?1 collate nocase and type in ('table', 'trigger')"))
            .toUtf8();
    const SessionRights::Trusted trusted(m_rights);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, select.constData(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return false;
    }
    const QByteArray name = table.toUtf8();
    sqlite3_bind_text(st, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    // Every CHECK of the table's definition is one the server wrote for a text column's length.
    static const QRegularExpression anyCheck(QStringLiteral("\\bcheck\\b"), QRegularExpression::CaseInsensitiveOption);
    static const QString lengthCheck = QStringLiteral("CONSTRAINT \"String or binary data would be truncated.\" CHECK");
    int tables = 0;
    bool only = true;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        if (type != u"table") {
            only = false;
            continue;
        }
        ++tables;
        if (sql.count(anyCheck) != sql.count(lengthCheck)) only = false;
    }
    sqlite3_finalize(st);
    return only && tables == 1;
}

int ConnectionSchema::cookie(sqlite3_stmt*& statement, const char* sql) const
{
    if (!statement && sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK) return -1;
    int value = -1;
    if (sqlite3_step(statement) == SQLITE_ROW) value = sqlite3_column_int(statement, 0);
    sqlite3_reset(statement);
    return value;
}

QString ConnectionSchema::version() const
{
    // The schema's cookies are read by a pragma, which no session's own text may run.
    const SessionRights::Trusted trusted(m_rights);
    // Temporary tables belong to the connection: its address is part of the version.
    return QStringLiteral("%1:%2:%3")
        .arg(quintptr(m_db), 0, 16)
        .arg(cookie(m_main, "PRAGMA main.schema_version"))
        .arg(cookie(m_temp, "PRAGMA temp.schema_version"));
}

}   // namespace orra::embedded
