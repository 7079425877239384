#include "platform/db/embedded/DateColumns.h"

#include "platform/db/embedded/ServerInternal.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/functions/DateFunctions.h"

#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

namespace orra::embedded {

namespace {

QString quote(const QString& name) { return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"'; }
QString literal(const QString& text) { return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\''; }

QStringList rows(sqlite3* db, const QString& sql, int columns)
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

void addDateConversion(sqlite3* db, const QString& schema, const QString& table)
{
    const bool temp = schema == u"temp";
    const QStringList info = rows(
        db, QStringLiteral("select name, type from pragma_table_info(%1, %2)").arg(literal(table), literal(schema)), 2);
    static const QRegularExpression declared(QStringLiteral(R"(^\s*(\w+)\s*(?:\(\s*(\d+)\s*\))?)"));
    QStringList assignments, changed, names;
    for (qsizetype i = 0; i + 1 < info.size(); i += 2) {
        const QRegularExpressionMatch m = declared.match(info.at(i + 1));
        if (!m.hasMatch() || !dates::typeNamed(m.captured(1))) continue;
        const QString c = quote(info.at(i));
        const QString scale = m.captured(2).isEmpty() ? QStringLiteral("-1") : m.captured(2);
        // the value as written, converted as CAST to the column's type converts it
        const QString tail = QStringLiteral(", %1, %2, %3)")
                                 .arg(literal(m.captured(1).toLower()), scale)
                                 .arg(dates::kColumnWrite);
        auto convert = [&](const QString& value) {
            return QLatin1String(dates::kToDate) + u'(' + value + tail;
        };
        assignments << c + QStringLiteral(" = ") + convert(c);
        changed << QStringLiteral("new.") + c + QStringLiteral(" is not ") + convert(QStringLiteral("new.") + c);
        names << c;
    }
    const QString triggerName = QStringLiteral("orra_dates_") + table;
    // A table whose columns changed (alter table … add) gets triggers over its columns as they are now.
    for (const char* kind : {"_insert", "_update"})
        detail::exec(db, QStringLiteral("drop trigger if exists %1.%2").arg(quote(schema), quote(triggerName + QLatin1String(kind))));
    if (assignments.isEmpty()) return;
    const QString create = temp ? QStringLiteral("create temp trigger ")
                                : QStringLiteral("create trigger %1.").arg(quote(schema));
    const QString body = QStringLiteral(" when %1 begin update %2 set %3 where rowid = new.rowid; end")
                             .arg(changed.join(QStringLiteral(" or ")), quote(table),
                                 assignments.join(QStringLiteral(", ")));
    detail::exec(db,
        create + quote(triggerName + QStringLiteral("_insert"))
            + QStringLiteral(" after insert on %1").arg(quote(table)) + body);
    detail::exec(db,
        create + quote(triggerName + QStringLiteral("_update"))
            + QStringLiteral(" after update of %1 on %2").arg(names.join(QStringLiteral(", ")), quote(table)) + body);
    // Values already there (a column added with a default fills the rows with its text) are
    // converted too; the trigger leaves a canonical value as it is.
    detail::exec(db,
        QStringLiteral("update %1.%2 set %3").arg(quote(schema), quote(table), [&] {
            QStringList same;
            for (const QString& n : names) same << n + QStringLiteral(" = ") + n;
            return same.join(QStringLiteral(", "));
        }()));
}

void addDateConversionToAllTables(sqlite3* db, const QString& schema)
{
    const QString master =
        schema == u"temp" ? QStringLiteral("temp.sqlite_master") : quote(schema) + QStringLiteral(".sqlite_master");
    const QStringList tables = rows(
        db, QStringLiteral("select name from %1 where type='table' and name not like 'sqlite_%'").arg(master), 1);
    for (const QString& t : tables) addDateConversion(db, schema, t);
}

}   // namespace orra::embedded
