#include "platform/db/embedded/FixedWidthPadding.h"
#include "platform/db/embedded/SqliteHandles.h"

#include "platform/db/embedded/ServerInternal.h"

#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

namespace orra::embedded {

namespace {

QStringList column(sqlite3* db, const QString& sql, int columns)
{
    QStringList out;
    const PreparedStatement st(db, sql);
    if (!st.ok()) return out;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < columns; ++c) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            out << (t ? QString::fromUtf8(t) : QString());
        }
    return out;
}

}   // namespace

void addFixedWidthPadding(sqlite3* db, const QString& schema, const QString& table)
{
    const bool temp = schema == u"temp";
    const QString qualifier = temp ? QStringLiteral("temp") : quoted(schema);
    // name, declared type per column
    const QStringList info = column(
        db, QStringLiteral("select name, type from pragma_table_info(%1, %2)").arg(literal(table), literal(schema)), 2);
    static const QRegularExpression fixed(
        QStringLiteral(R"(^\s*n?char\s*\(\s*(\d+)\s*\))"), QRegularExpression::CaseInsensitiveOption);
    QStringList assignments;
    QStringList names;
    for (qsizetype i = 0; i + 1 < info.size(); i += 2) {
        const QRegularExpressionMatch m = fixed.match(info.at(i + 1));
        if (!m.hasMatch()) continue;
        const QString c = quoted(info.at(i));
        const QString width = m.captured(1);
        // hex(zeroblob(k)) is 2k zeros: as blanks, k of them.
        assignments << QStringLiteral(
            "%1 = case when length(%1) < %2 then %1 || replace(hex(zeroblob(%2 - length(%1))), "
            "'00', ' ') else %1 end")
                           .arg(c, width);
        names << c;
    }
    const QString triggerName = QStringLiteral("orra_pad_") + table;
    // A table whose columns changed (alter table … add) gets triggers over its columns as they are now.
    for (const char* kind : {"_insert", "_update"})
        detail::exec(db, QStringLiteral("drop trigger if exists %1.%2").arg(qualifier, quoted(triggerName + QLatin1String(kind))));
    if (assignments.isEmpty()) return;
    // A counted identity gives the row its value after the insert, moving the row to another
    // rowid: the padding follows the row there when its integer key changes.
    const QStringList keys = column(db,
        QStringLiteral("select name from pragma_table_info(%1, %2) where pk = 1 and upper(type) = 'INTEGER' "
                       "and (select count(*) from pragma_table_info(%1, %2) where pk > 0) = 1")
            .arg(literal(table), literal(schema)),
        1);
    QStringList updated = names;
    for (const QString& k : keys) updated << quoted(k);
    const QString create = temp ? QStringLiteral("create temp trigger ")
                                : QStringLiteral("create trigger %1.").arg(qualifier);
    const QString body = QStringLiteral("begin update %1 set %2 where rowid = new.rowid; end")
                             .arg(quoted(table), assignments.join(QStringLiteral(", ")));
    detail::exec(db,
        create + quoted(triggerName + QStringLiteral("_insert"))
            + QStringLiteral(" after insert on %1 ").arg(quoted(table)) + body);
    detail::exec(db,
        create + quoted(triggerName + QStringLiteral("_update"))
            + QStringLiteral(" after update of %1 on %2 ").arg(updated.join(QStringLiteral(", ")), quoted(table)) + body);
}

void addFixedWidthPaddingToAllTables(sqlite3* db, const QString& schema)
{
    const QString master =
        schema == u"temp" ? QStringLiteral("temp.sqlite_master") : quoted(schema) + QStringLiteral(".sqlite_master");
    const QStringList tables = column(
        db, QStringLiteral("select name from %1 where type='table' and name not like 'sqlite_%'").arg(master), 1);
    for (const QString& t : tables) addFixedWidthPadding(db, schema, t);
}

}   // namespace orra::embedded
