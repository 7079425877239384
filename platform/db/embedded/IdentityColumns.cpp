#include "platform/db/embedded/IdentityColumns.h"

#include "platform/db/embedded/ObjectCatalog.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <QRegularExpression>

namespace orra::embedded {

namespace {

QString triggerName(const QString& table) { return QStringLiteral("orra_identity$") + table; }

QString valueText(sqlite3_value* v)
{
    const auto* s = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return s ? QString::fromUtf8(s) : QString();
}

bool isTemp(const QString& schema) { return schema.compare(QLatin1String("temp"), Qt::CaseInsensitive) == 0; }

}   // namespace

QStringList countedIdentityStatements(
    const QString& schema, const QString& table, const QString& column, qlonglong seed, qlonglong increment)
{
    const bool temp = isTemp(schema);
    const QString q = quoted(schema);
    const QString name = literal(table);
    const QString col = quoted(column);
    // sqlite_sequence comes with the first autoincrementing table of a database and stays
    const QString helper = quoted(QStringLiteral("orra_sequence$"));
    QStringList statements{
        QStringLiteral("CREATE TABLE %1.%2 (n INTEGER PRIMARY KEY AUTOINCREMENT)").arg(q, helper),
        QStringLiteral("DROP TABLE %1.%2").arg(q, helper),
        QStringLiteral("DELETE FROM %1.sqlite_sequence WHERE name = %2").arg(q, name),
        QStringLiteral("INSERT INTO %1.sqlite_sequence (name, seq) VALUES (%2, NULL)").arg(q, name),
    };
    // Without identity_insert the row gets the next value; with it, the value written moves the
    // count on when it lies beyond the last one in the direction of the increment.
    statements << QStringLiteral(
        "CREATE %1TRIGGER %2%3 AFTER INSERT ON %4 BEGIN "
        "UPDATE sqlite_sequence SET seq = CASE WHEN orra_identity_insert(%5) THEN "
        "(CASE WHEN seq IS NULL OR (NEW.%6 - seq) * (%8) > 0 THEN NEW.%6 ELSE seq END) "
        "WHEN seq IS NULL THEN (%7) ELSE seq + (%8) END WHERE name = %5; "
        "UPDATE %4 SET %6 = (SELECT seq FROM sqlite_sequence WHERE name = %5) "
        "WHERE rowid = NEW.rowid AND NOT orra_identity_insert(%5); END")
                      .arg(temp ? QStringLiteral("TEMP ") : QString(), temp ? QString() : q + u'.',
                          quoted(triggerName(table)), quoted(table), name, col)
                      .arg(seed)
                      .arg(increment);
    return statements;
}

namespace {

// The autoincrementing key a table's definition names: how a session's own statement
// (ident_current), whose pragma reads the authorizer refuses, finds it.
std::optional<IdentityColumn> definedIdentity(sqlite3* db, const QString& q, const QString& table)
{
    const PreparedStatement made(
        db, QStringLiteral("select sql from %1.sqlite_master where type = 'table' and name = ? collate nocase").arg(q));
    if (!made.ok()) return std::nullopt;
    const QByteArray n = table.toUtf8();
    sqlite3_bind_text(made, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(made) != SQLITE_ROW) return std::nullopt;
    static const QRegularExpression key(
        QStringLiteral(R"([(,]\s*("(?:[^"]|"")*"|\w+)\s+INTEGER\b[^,]*?\bPRIMARY\s+KEY\s+AUTOINCREMENT\b)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = key.match(columnText(made, 0));
    if (!m.hasMatch()) return std::nullopt;
    QString column = m.captured(1);
    if (column.startsWith(u'"')) column = column.mid(1, column.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return IdentityColumn{column, 1, 1, false};
}

}   // namespace

std::optional<IdentityColumn> identityColumnOf(sqlite3* db, const QString& schema, const QString& table)
{
    const QString q = quoted(schema);
    {
        const PreparedStatement st(db,
            QStringLiteral("select sql from %1.sqlite_master where type = 'trigger' and name = ? collate nocase").arg(q));
        if (!st.ok()) return std::nullopt;
        const QByteArray n = triggerName(table).toUtf8();
        sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) {
            static const QRegularExpression shape(QStringLiteral(
                R"(WHEN seq IS NULL THEN \((-?\d+)\) ELSE seq \+ \((-?\d+)\) END .*UPDATE "(?:[^"]|"")*" SET ("(?:[^"]|"")*") =)"));
            const QRegularExpressionMatch m = shape.match(columnText(st, 0));
            if (m.hasMatch()) {
                IdentityColumn c;
                c.seed = m.captured(1).toLongLong();
                c.increment = m.captured(2).toLongLong();
                c.column = m.captured(3).mid(1, m.captured(3).size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
                c.counted = true;
                return c;
            }
        }
    }
    const PreparedStatement st(
        db, QStringLiteral("select name, pk, type from %1.pragma_table_info(?) where pk = 1").arg(q));
    if (!st.ok()) return definedIdentity(db, q, table);
    const QByteArray n = table.toUtf8();
    sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    QString key;
    int keys = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++keys;
        if (columnText(st, 2).compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0) key = columnText(st, 0);
    }
    if (keys == 0) return definedIdentity(db, q, table);
    if (keys != 1 || key.isEmpty()) return std::nullopt;
    int autoincrement = 0;
    if (sqlite3_table_column_metadata(db, schema.toUtf8().constData(), table.toUtf8().constData(),
            key.toUtf8().constData(), nullptr, nullptr, nullptr, nullptr, &autoincrement)
            != SQLITE_OK
        || !autoincrement)
        return std::nullopt;
    return IdentityColumn{key, 1, 1, false};
}

std::optional<qlonglong> lastIdentity(sqlite3* db, const QString& schema, const QString& table)
{
    const PreparedStatement st(db, QStringLiteral("select seq from %1.sqlite_sequence where name = ?").arg(quoted(schema)));
    if (!st.ok()) return std::nullopt;
    const QByteArray n = table.toUtf8();
    sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(st) != SQLITE_ROW || sqlite3_column_type(st, 0) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(st, 0);
}

void restartIdentity(sqlite3* db, const QString& schema, const QString& table)
{
    const PreparedStatement st(db, QStringLiteral("update %1.sqlite_sequence set seq = NULL where name = ?").arg(quoted(schema)));
    if (!st.ok()) return;   // no identity column in that database
    const QByteArray n = table.toUtf8();
    sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    sqlite3_step(st);
}

namespace {

// The names of the column list that follows the target in sql.
QStringList columnList(const QString& sql, const QString& target)
{
    QStringList names;
    qsizetype i = sql.indexOf(target);
    if (i < 0) return names;
    i += target.size();
    while (i < sql.size() && sql[i].isSpace()) ++i;
    if (i >= sql.size() || sql[i] != u'(') return names;
    QString name;
    QChar quote;
    for (++i; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote) {
                if (i + 1 < sql.size() && sql[i + 1] == quote) {
                    name += c;
                    ++i;
                } else {
                    quote = QChar();
                }
            } else {
                name += c;
            }
            continue;
        }
        if (c == u'"' || c == u'`') {
            quote = c;
        } else if (c == u'[') {
            quote = u']';
        } else if (c == u',' || c == u')') {
            names << name.trimmed();
            name.clear();
            if (c == u')') break;
        } else {
            name += c;
        }
    }
    return names;
}

}   // namespace

IdentityInsertError identityInsertError(const IdentityColumn& identity, const QString& sql, const QString& target,
    const QString& table, bool hasColumnList, bool identityInsertOn)
{
    if (!hasColumnList) {
        if (!identityInsertOn) return {};
        return {8101, QStringLiteral("An explicit value for the identity column in table '%1' can only be specified when "
                                     "a column list is used and IDENTITY_INSERT is ON.")
                          .arg(table)};
    }
    bool named = false;
    for (const QString& n : columnList(sql, target))
        if (foldName(n) == foldName(identity.column)) named = true;
    if (named && !identityInsertOn)
        return {544, QStringLiteral("Cannot insert explicit value for identity column in table '%1' when "
                                    "IDENTITY_INSERT is set to OFF.")
                         .arg(table)};
    if (!named && identityInsertOn)
        return {545, QStringLiteral("Explicit value must be specified for identity column in table '%1' either when "
                                    "IDENTITY_INSERT is set to ON or when a replication user is inserting into a NOT "
                                    "FOR REPLICATION identity column.")
                         .arg(table)};
    return {};
}

namespace {

enum class IdentityProperty { Current, Seed, Increment };

template <IdentityProperty P>
void fnIdentityProperty(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const std::optional<StoredTable> table = tableNamed(db, valueText(argv[0]));
    if (!table) return;
    const std::optional<IdentityColumn> identity = identityColumnOf(db, table->schema, table->name);
    if (!identity) return;
    qlonglong value = P == IdentityProperty::Seed ? identity->seed : identity->increment;
    if constexpr (P == IdentityProperty::Current) {
        // before the first row (and after truncate table): the seed
        value = lastIdentity(db, table->schema, table->name).value_or(identity->seed);
        if (!identity->counted && value < identity->seed) value = identity->seed;
    }
    sqlite3_result_int64(ctx, value);
}

void fnIdentityInsert(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const auto* on = static_cast<const QString*>(sqlite3_user_data(ctx));
    sqlite3_result_int(ctx, !on->isEmpty() && foldName(*on) == foldName(valueText(argv[0])));
}

}   // namespace

void registerIdentityFunctions(sqlite3* db, const QString* identityInsertTable)
{
    sqlite3_create_function(db, "orra_ident_current", 1, SQLITE_UTF8, nullptr,
        fnIdentityProperty<IdentityProperty::Current>, nullptr, nullptr);
    sqlite3_create_function(db, "orra_ident_seed", 1, SQLITE_UTF8, nullptr, fnIdentityProperty<IdentityProperty::Seed>,
        nullptr, nullptr);
    sqlite3_create_function(db, "orra_ident_incr", 1, SQLITE_UTF8, nullptr,
        fnIdentityProperty<IdentityProperty::Increment>, nullptr, nullptr);
    sqlite3_create_function(db, "orra_identity_insert", 1, SQLITE_UTF8 | SQLITE_INNOCUOUS,
        const_cast<QString*>(identityInsertTable), fnIdentityInsert, nullptr, nullptr);
}

}   // namespace orra::embedded
