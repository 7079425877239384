#include "platform/db/embedded/NullKeys.h"

#include "platform/db/embedded/Authorizer.h"
#include "platform/db/embedded/SqliteHandles.h"

#include <QRegularExpression>

#include <map>
#include <vector>

namespace orra::embedded {

namespace {

std::vector<QStringList> rows(sqlite3* db, const QString& sql)
{
    std::vector<QStringList> out;
    const PreparedStatement st(db, sql);
    if (!st.ok()) return out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList r;
        for (int c = 0; c < sqlite3_column_count(st); ++c) r << columnText(st, c);
        out.push_back(r);
    }
    return out;
}

// The filter of a partial index: what follows its key's parentheses after WHERE.
QString filterOf(const QString& sql)
{
    static const QRegularExpression on(QStringLiteral(R"(\son\s)"), QRegularExpression::CaseInsensitiveOption);
    const qsizetype at = sql.indexOf(on);
    qsizetype open = at < 0 ? -1 : sql.indexOf(u'(', at);
    if (open < 0) return {};
    int depth = 0;
    QChar quote;
    for (qsizetype i = open; i < sql.size(); ++i) {
        const QChar ch = sql[i];
        if (!quote.isNull()) {
            if (ch == quote) quote = QChar();
            continue;
        }
        if (ch == u'"' || ch == u'\'') quote = ch;
        else if (ch == u'(') ++depth;
        else if (ch == u')' && --depth == 0) {
            static const QRegularExpression where(QStringLiteral(R"(^\s*where\s+(.*\S)\s*$)"),
                QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
            const QRegularExpressionMatch m = where.match(sql.mid(i + 1));
            return m.hasMatch() ? m.captured(1) : QString();
        }
    }
    return {};
}

// What follows the companion's name in its create statement, as SQLite keeps it; empty when the
// index needs none (every key column NOT NULL, or a key that is not plain columns).
QString companionBody(sqlite3* db, const QString& schema, const QString& table, const QString& index, bool partial,
    const QString& indexSql, QStringList* columns)
{
    const QString q = quoted(schema);
    QStringList keys, nulls;
    bool nullable = false;
    const auto notNull = rows(db, QStringLiteral("select name, \"notnull\" from %1.pragma_table_info(%2)").arg(q, literal(table)));
    for (const QStringList& c : rows(db,
             QStringLiteral("select cid, name, coll from %1.pragma_index_xinfo(%2) where key = 1 order by seqno")
                 .arg(q, literal(index)))) {
        if (c.value(0).toInt() < 0) return {};   // an expression or the rowid
        const QString col = quoted(c.value(1));
        keys << QStringLiteral("ifnull(%1, 0) COLLATE %2").arg(col, quoted(c.value(2))) << col + QStringLiteral(" IS NULL");
        nulls << col + QStringLiteral(" IS NULL");
        *columns << c.value(1);
        for (const QStringList& n : notNull)
            if (n.value(0).compare(c.value(1), Qt::CaseInsensitive) == 0 && n.value(1) != u"1") nullable = true;
    }
    if (!nullable) return {};
    QString where = u'(' + nulls.join(QStringLiteral(" OR ")) + u')';
    if (partial) {
        const QString filter = filterOf(indexSql);
        if (filter.isEmpty()) return {};
        where = u'(' + filter + QStringLiteral(") AND ") + where;
    }
    return QStringLiteral("ON %1 (%2) WHERE %3").arg(quoted(table), keys.join(QStringLiteral(", ")), where);
}

bool exec(sqlite3* db, const QString& sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

}   // namespace

QString NullKeyRepeat::sqliteMessage() const
{
    QStringList named;
    for (const QString& c : columns) named << table + u'.' + c;
    return QStringLiteral("UNIQUE constraint failed: ") + named.join(QStringLiteral(", "));
}

std::optional<NullKeyRepeat> keepNullKeysUnique(sqlite3* db, const QString& schema, const QString& table)
{
    const QString q = quoted(schema);
    const QString prefix = QString::fromLatin1(kNullKeyPrefix);
    // the companions there are: name -> (table, what follows the name)
    std::map<QString, std::pair<QString, QString>> there;
    for (const QStringList& r : rows(db,
             QStringLiteral("select name, tbl_name, sql from %1.sqlite_master where type = 'index' and "
                            "substr(name, 1, %2) = %3")
                 .arg(q)
                 .arg(prefix.size())
                 .arg(literal(prefix)))) {
        const qsizetype on = r.value(2).indexOf(QStringLiteral(" ON "));
        there[r.value(0)] = {r.value(1), on < 0 ? QString() : r.value(2).mid(on + 1)};
    }
    // the companions the table's unique indexes want: name -> what follows the name
    std::map<QString, std::pair<QString, QStringList>> wanted;
    if (!table.isEmpty()) {
        for (const QStringList& r : rows(db,
                 QStringLiteral("select l.name, l.partial, m.sql from %1.pragma_index_list(%2) l left join "
                                "%1.sqlite_master m on m.name = l.name where l.\"unique\" = 1 and l.origin <> 'pk'")
                     .arg(q, literal(table)))) {
            QStringList columns;
            const QString body = companionBody(db, schema, table, r.value(0), r.value(1) == u"1", r.value(2), &columns);
            if (!body.isEmpty()) wanted[prefix + r.value(0)] = {body, columns};
        }
    }
    const QStringList indexes = [&] {
        QStringList names;
        for (const QStringList& r : rows(db, QStringLiteral("select name from %1.sqlite_master where type = 'index'").arg(q)))
            names << r.value(0);
        return names;
    }();
    for (const auto& [name, made] : there) {
        const bool ofTable = !table.isEmpty() && made.first.compare(table, Qt::CaseInsensitive) == 0;
        const auto w = wanted.find(name);
        const bool keep = ofTable ? (w != wanted.end() && w->second.first == made.second)
                                  : indexes.contains(name.mid(prefix.size()));
        if (!keep) exec(db, QStringLiteral("DROP INDEX %1.%2").arg(q, quoted(name)));
        else if (ofTable) wanted.erase(w);
    }
    for (const auto& [name, body] : wanted) {
        if (exec(db, QStringLiteral("CREATE UNIQUE INDEX %1.%2 %3").arg(q, quoted(name), body.first))) continue;
        return NullKeyRepeat{table, name.mid(prefix.size()), body.second};
    }
    return std::nullopt;
}

void keepNullKeysOfOlderDatabase(sqlite3* db)
{
    {
        const PreparedStatement version(db, "PRAGMA main.user_version");
        if (!version.ok() || sqlite3_step(version) != SQLITE_ROW || sqlite3_column_int(version, 0) >= kNullKeysFormat)
            return;
    }
    if (sqlite3_db_readonly(db, "main") != 0) return;
    WriteTransaction transaction(db);
    if (transaction.beginRc() != SQLITE_OK) return;
    const auto tables = rows(db, QStringLiteral("select name from main.sqlite_master where type = 'table'"));
    for (const QStringList& t : tables) {
        const QString& table = t.value(0);
        if (table.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) || isServerTable(table)) continue;
        keepNullKeysUnique(db, QStringLiteral("main"), table);
    }
    if (exec(db, QStringLiteral("PRAGMA main.user_version = %1").arg(kNullKeysFormat))) transaction.commit();
}

QString nullKeyFailure(sqlite3* db, const QString& schema, const QString& sqliteMessage)
{
    static const QRegularExpression re(QStringLiteral(R"(^UNIQUE constraint failed: index '(.*)'$)"));
    const QRegularExpressionMatch m = re.match(sqliteMessage);
    const QString prefix = QString::fromLatin1(kNullKeyPrefix);
    if (!m.hasMatch() || !m.captured(1).startsWith(prefix)) return sqliteMessage;
    const QString index = m.captured(1).mid(prefix.size());
    for (const QString& s : {schema, QStringLiteral("main"), QStringLiteral("temp")}) {
        const auto table = rows(db,
            QStringLiteral("select tbl_name from %1.sqlite_master where type = 'index' and name = %2").arg(quoted(s), literal(index)));
        if (table.empty()) continue;
        NullKeyRepeat repeat{table.front().value(0), index, {}};
        for (const QStringList& c : rows(db,
                 QStringLiteral("select name from %1.pragma_index_info(%2) order by seqno").arg(quoted(s), literal(index))))
            repeat.columns << c.value(0);
        return repeat.sqliteMessage();
    }
    return sqliteMessage;
}

}   // namespace orra::embedded
