// The value of the key that refused a row (2627, 2601), which SQL Server's message ends with:
// SQLite names only the key's columns. The statement runs again inside a savepoint, with a
// temporary trigger that sees each row's key before SQLite checks it: the last key seen is the
// one refused; everything the second run did is rolled back. A key's values read as CAST
// converts the key columns' types to nvarchar, NULL as <NULL>, joined by ", " (also the value
// that 1505 shows).
#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/ConstraintMessages.h"
#include "platform/db/embedded/ConnectionSchema.h"
#include "platform/db/embedded/EmbeddedBackend.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/sqlite/SqliteSession.h"

namespace orra::embedded {

namespace {

constexpr char kSeen[] = "orra_key_seen";
constexpr char kSavepoint[] = "orra_duplicate_key";
constexpr char kValues[] = "#orra_duplicate_key";

// Keeps the arguments of its last call.
void keySeen(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* seen = static_cast<QVariantList*>(sqlite3_user_data(ctx));
    seen->clear();
    for (int i = 0; i < argc; ++i) seen->append(storedValueOf(argv[i]));
    sqlite3_result_null(ctx);
}

bool run(sqlite3* db, const QString& sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A savepoint rolled back and released when the scope ends: what ran inside leaves nothing.
struct Undone {
    sqlite3* db;
    QString name;
    bool ok;
    Undone(sqlite3* d, const QString& n) : db(d), name(n), ok(run(d, QStringLiteral("SAVEPOINT ") + n)) {}
    ~Undone()
    {
        if (!ok) return;
        run(db, QStringLiteral("ROLLBACK TO ") + name);
        run(db, QStringLiteral("RELEASE ") + name);
    }
    Undone(const Undone&) = delete;
    Undone& operator=(const Undone&) = delete;
};

}   // namespace

QString EmbeddedBackend::duplicateKeyValue(sqlite3_stmt* statement, const ConstraintMessage& m)
{
    if (m.keyTable.isEmpty() || m.keyColumns.isEmpty() || !statement) return {};
    const SessionRights::Trusted trusted(m_rights);
    QVariantList seen;
    if (sqlite3_create_function_v2(m_db, kSeen, -1, SQLITE_UTF8, &seen, keySeen, nullptr, nullptr, nullptr) != SQLITE_OK)
        return {};
    struct Forget {
        sqlite3* db;
        ~Forget() { sqlite3_create_function_v2(db, kSeen, -1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr); }
    } forget{m_db};
    const Undone undone(m_db, QLatin1String(kSavepoint));
    if (!undone.ok) return {};

    QStringList keys;
    for (const QString& c : m.keyColumns) keys << QStringLiteral("NEW.") + quoted(c);
    const QString table = quoted(m.keySchema.isEmpty() ? QStringLiteral("main") : m.keySchema) + u'.' + quoted(m.keyTable);
    for (const char* verb : {"INSERT", "UPDATE"})
        if (!run(m_db, QStringLiteral("CREATE TEMP TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT %4(%5); END")
                           .arg(quoted(QStringLiteral("orra_duplicate_key_") + QLatin1String(verb)), QLatin1String(verb),
                               table, QLatin1String(kSeen), keys.join(QStringLiteral(", ")))))
            return {};
    sqlite3_reset(statement);   // its parameters stay bound
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    sqlite3_reset(statement);
    const int refused = sqlite3_extended_errcode(m_db);
    if (rc == SQLITE_DONE || seen.size() != m.keyColumns.size()
        || (refused != SQLITE_CONSTRAINT_UNIQUE && refused != SQLITE_CONSTRAINT_PRIMARYKEY))
        return {};

    return keyValueText(m.keySchema, m.keyTable, m.keyColumns, seen);
}

QString EmbeddedBackend::keyValueText(
    const QString& schema, const QString& table, const QStringList& keyColumns, const QVariantList& stored)
{
    if (stored.size() != keyColumns.size() || stored.isEmpty()) return {};
    const SessionRights::Trusted trusted(m_rights);
    // The values as stored, in a table of the key columns' declared types (gone with the
    // savepoint), read as nvarchar.
    const Undone undone(m_db, QLatin1String(kSavepoint) + QStringLiteral("_text"));
    if (!undone.ok) return {};
    QStringList columns, values, marks;
    for (const QString& c : keyColumns) {
        const QString type = m_schema->columnType(schema, table, c);
        columns << quoted(c) + u' ' + type;
        // cast to its own type first: a char(n) value shows its padding
        const QString value = type.isEmpty() ? quoted(c) : QStringLiteral("cast(%1 as %2)").arg(quoted(c), type);
        values << QStringLiteral("isnull(convert(nvarchar(4000), %1), '<NULL>')").arg(value);
        marks << QStringLiteral("?");
    }
    if (!run(m_db, QStringLiteral("CREATE TEMP TABLE %1 (%2)").arg(quoted(QLatin1String(kValues)), columns.join(u','))))
        return {};
    {
        const PreparedStatement insert(m_db, QStringLiteral("INSERT INTO temp.%1 VALUES (%2)")
                                                 .arg(quoted(QLatin1String(kValues)), marks.join(u',')));
        if (!insert.ok()) return {};
        for (int i = 0; i < stored.size(); ++i) db::sqlite::SqliteSession::bind(insert, i + 1, stored[i]);
        if (sqlite3_step(insert) != SQLITE_DONE) return {};
    }
    const Translation read = translate(
        QStringLiteral("select %1 from [%2]").arg(values.join(QStringLiteral(" + N', ' + ")), QLatin1String(kValues)),
        m_database, m_schema.get());
    const SqlStatement* select = read.statements.empty() ? nullptr : read.statements.front().as<SqlStatement>();
    if (!select) return {};
    const PreparedStatement text(m_db, select->sql);
    if (!text.ok() || sqlite3_step(text) != SQLITE_ROW) return {};
    return columnText(text, 0);
}

void EmbeddedBackend::addKeyValue(ConstraintMessage& m)
{
    const QString value = keyValueText(m.keySchema, m.keyTable, m.keyColumns, m.keyValues);
    if (!value.isEmpty()) m.text += QStringLiteral(" The duplicate key value is (%1).").arg(value);
}

}   // namespace orra::embedded
