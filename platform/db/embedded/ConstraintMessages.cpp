#include "platform/db/embedded/ConstraintMessages.h"
#include "platform/db/embedded/NullKeys.h"
#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/SqliteHandles.h"

#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

#include <vector>

namespace orra::embedded {

namespace {

using Rows = std::vector<QStringList>;

Rows rows(sqlite3* db, const QString& sql, const QStringList& args = {})
{
    Rows out;
    const PreparedStatement st(db, sql);
    if (!st.ok()) return out;
    for (int i = 0; i < args.size(); ++i) {
        const QByteArray a = args.at(i).toUtf8();
        sqlite3_bind_text(st, i + 1, a.constData(), int(a.size()), SQLITE_TRANSIENT);
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList r;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            r << (t ? QString::fromUtf8(t) : QString());
        }
        out.push_back(r);
    }
    return out;
}

QString unquote(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2
        && ((name.startsWith(u'"') && name.endsWith(u'"')) || (name.startsWith(u'[') && name.endsWith(u']'))))
        name = name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return name;
}

bool sameColumns(QStringList a, QStringList b)
{
    if (a.size() != b.size()) return false;
    for (QString& s : a) s = s.toLower();
    for (QString& s : b) s = s.toLower();
    a.sort();
    b.sort();
    return a == b;
}

// A named constraint of a table as its create statement declares it.
struct Declared {
    QString name;
    QString kind;          // "primary", "unique", "foreign"
    QStringList columns;   // empty for a constraint written on its column
    QString column;        // the column a column constraint stands on
};

std::vector<Declared> declaredConstraints(sqlite3* db, const QString& schema, const QString& table)
{
    const QString master =
        schema == u"temp" ? QStringLiteral("temp.sqlite_master") : quoted(schema) + QStringLiteral(".sqlite_master");
    const Rows r = rows(
        db, QStringLiteral("select sql from %1 where type='table' and name=? collate nocase").arg(master), {table});
    std::vector<Declared> out;
    if (r.empty()) return out;
    const QString sql = r.front().value(0);
    static const QRegularExpression re(
        QStringLiteral(
            R"(\bconstraint\s+([\w#]+|"(?:[^"]|"")+"|\[[^\]]+\])\s+(primary\s+key|unique|foreign\s+key)\s*(?:\(([^)]*)\))?)"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = re.globalMatch(sql); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        Declared d;
        d.name = unquote(m.captured(1));
        const QString kind = m.captured(2).toLower();
        d.kind = kind.startsWith(u"primary") ? QStringLiteral("primary")
            : kind.startsWith(u"foreign")    ? QStringLiteral("foreign")
                                             : QStringLiteral("unique");
        if (d.kind == u"unique" && sql.mid(m.capturedEnd()).trimmed().startsWith(QLatin1String(kPrimaryKeyMark)))
            d.kind = QStringLiteral("primary");
        for (const QString& c : m.captured(3).split(u',', Qt::SkipEmptyParts))
            d.columns << unquote(c.trimmed().section(u' ', 0, 0));
        // The definition the constraint stands in begins after the last comma (or the opening
        // parenthesis) of the column list; its first word is the column's name.
        int depth = 0;
        qsizetype begin = -1;
        for (qsizetype i = 0; i < m.capturedStart(); ++i) {
            const QChar ch = sql.at(i);
            if (ch == u'(' && ++depth == 1)
                begin = i + 1;
            else if (ch == u')')
                --depth;
            else if (ch == u',' && depth == 1)
                begin = i + 1;
        }
        const QString definition = begin < 0 ? QString() : sql.mid(begin, m.capturedStart() - begin).trimmed();
        if (!definition.isEmpty())
            d.column = unquote(definition.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0));
        out.push_back(d);
    }
    return out;
}

QString declaredName(const std::vector<Declared>& declared, const QString& kind, const QStringList& columns)
{
    for (const Declared& d : declared) {
        if (d.kind != kind) continue;
        if (!d.columns.isEmpty() ? sameColumns(d.columns, columns)
                                 : (columns.size() == 1 && d.column.compare(columns.front(), Qt::CaseInsensitive) == 0))
            return d.name;
    }
    return QString();
}

struct Target {
    QString verb;     // INSERT, UPDATE, DELETE
    QString schema;   // main, temp or an attached database
    QString table;
};

Target targetOf(const QString& sql)
{
    static const QRegularExpression re(
        QStringLiteral(
            R"(^\s*(insert\s+into|update|delete\s+from)\s+(?:("(?:[^"]|"")+"|\w+)\.)?("(?:[^"]|"")+"|[\w#]+))"),
        QRegularExpression::CaseInsensitiveOption);
    Target t;
    const QRegularExpressionMatch m = re.match(sql);
    if (!m.hasMatch()) return t;
    t.verb = m.captured(1).section(u' ', 0, 0).toUpper();
    t.table = unquote(m.captured(3));
    t.schema = m.captured(2).isEmpty() ? (t.table.startsWith(u'#') ? QStringLiteral("temp") : QStringLiteral("main"))
                                       : unquote(m.captured(2));
    return t;
}

// A table of another schema is kept as "Schema.T", an index as "T.IX" (index names are the
// table's own).
QString objectName(const QString& table)
{
    return table.startsWith(u'#') || table.contains(u'.') ? table : QStringLiteral("dbo.") + table;
}

ConstraintMessage uniqueMessage(sqlite3* db, const Target& target, const QString& sqliteMessage)
{
    const QStringList parts = sqliteMessage.section(u':', 1).split(u',', Qt::SkipEmptyParts);
    QString table;
    QStringList columns;
    for (const QString& p : parts) {
        const QString q = p.trimmed();
        table = q.section(u'.', 0, -2);
        columns << q.section(u'.', -1);
    }
    if (table.isEmpty() || columns.isEmpty()) return {};
    const QString schema =
        table.compare(target.table, Qt::CaseInsensitive) == 0 ? target.schema : QStringLiteral("main");
    const std::vector<Declared> declared = declaredConstraints(db, schema, table);
    const QString object = objectName(table);
    for (const QStringList& index : rows(db,
             QStringLiteral("select name, origin from pragma_index_list(?, ?) where \"unique\"=1"), {table, schema})) {
        QStringList indexColumns;
        for (const QStringList& c : rows(db, QStringLiteral("select name from pragma_index_info(?, ?) order by seqno"),
                 {index.value(0), schema}))
            indexColumns << c.value(0);
        if (!sameColumns(indexColumns, columns)) continue;
        const QString origin = index.value(1);
        if (origin == u"c")
            return {QStringLiteral("Cannot insert duplicate key row in object '%1' with unique index '%2'.")
                        .arg(object, index.value(0).section(u'.', -1)),
                2601};
        bool primary = origin == u"pk";
        QString name = declaredName(declared, primary ? QStringLiteral("primary") : QStringLiteral("unique"), columns);
        if (!primary && name.isEmpty()) {   // a primary key kept as a unique key (kPrimaryKeyMark)
            name = declaredName(declared, QStringLiteral("primary"), columns);
            primary = !name.isEmpty();
        }
        if (name.isEmpty()) name = (primary ? QStringLiteral("PK__") : QStringLiteral("UQ__")) + table;
        return {QStringLiteral("Violation of %1 constraint '%2'. Cannot insert duplicate key in object '%3'.")
                    .arg(primary ? QStringLiteral("PRIMARY KEY") : QStringLiteral("UNIQUE KEY"), name, object),
            2627};
    }
    // An integer primary key is the row number itself and has no index of its own; an identity
    // column is, beside the primary key that holds it.
    QString name = declaredName(declared, QStringLiteral("primary"), columns);
    for (const Declared& d : declared)
        if (name.isEmpty() && d.kind == u"primary" && columns.size() == 1 && d.columns.contains(columns.front(), Qt::CaseInsensitive))
            name = d.name;
    if (name.isEmpty()) name = QStringLiteral("PK__") + table;
    return {QStringLiteral("Violation of PRIMARY KEY constraint '%1'. Cannot insert duplicate key in object '%2'.")
                .arg(name, object),
        2627};
}

struct ForeignKey {
    QString child, childColumn, parent, parentColumn, onDelete, onUpdate;
};

std::vector<ForeignKey> foreignKeysOf(sqlite3* db, const QString& schema, const QString& table)
{
    std::vector<ForeignKey> out;
    // id, seq, table, from, to, on_update, on_delete
    for (const QStringList& r : rows(db,
             QStringLiteral("select \"table\", \"from\", \"to\", on_update, on_delete "
                            "from pragma_foreign_key_list(?, ?) where seq=0"),
             {table, schema})) {
        ForeignKey k{table, r.value(1), r.value(0), r.value(2), r.value(4).toUpper(), r.value(3).toUpper()};
        if (k.parentColumn.isEmpty()) {
            const Rows pk =
                rows(db, QStringLiteral("select name from pragma_table_info(?, ?) where pk=1"), {k.parent, schema});
            k.parentColumn = pk.empty() ? QStringLiteral("rowid") : pk.front().value(0);
        }
        out.push_back(k);
    }
    return out;
}

bool restricts(const QString& action) { return action.isEmpty() || action == u"NO ACTION" || action == u"RESTRICT"; }

ConstraintMessage foreignKeyMessage(sqlite3* db, const QString& database, const Target& target)
{
    if (target.table.isEmpty()) return {};
    const QString master = target.schema == u"temp" ? QStringLiteral("temp.sqlite_master")
                                                    : quoted(target.schema) + QStringLiteral(".sqlite_master");
    const QString qualifier = target.schema == u"temp" ? QStringLiteral("temp") : quoted(target.schema);
    // Keys that point at the target from other tables refuse a delete or an update of the key
    // they reference; those of the target itself refuse an insert or an update.
    std::vector<ForeignKey> referencing;
    if (target.verb != u"INSERT") {
        for (const QStringList& t : rows(db, QStringLiteral("select name from %1 where type='table'").arg(master)))
            for (const ForeignKey& k : foreignKeysOf(db, target.schema, t.value(0)))
                if (k.parent.compare(target.table, Qt::CaseInsensitive) == 0
                    && restricts(target.verb == u"DELETE" ? k.onDelete : k.onUpdate))
                    referencing.push_back(k);
    }
    auto name = [&](const ForeignKey& k) {
        const QString n =
            declaredName(declaredConstraints(db, target.schema, k.child), QStringLiteral("foreign"), {k.childColumn});
        return n.isEmpty() ? QStringLiteral("FK__%1__%2").arg(k.child, k.childColumn) : n;
    };
    for (const ForeignKey& k : referencing) {
        // The key in use: some row of the other table points at a row of the target.
        const Rows used = rows(db,
            QStringLiteral("select 1 from %1.%2 where %3 in (select %4 from %1.%5) limit 1")
                .arg(qualifier, quoted(k.child), quoted(k.childColumn), quoted(k.parentColumn), quoted(k.parent)));
        if (used.empty() && (referencing.size() > 1 || target.verb != u"DELETE"))
            continue;   // an update may have failed on a key of its own table instead
        return {
            QStringLiteral("The %1 statement conflicted with the REFERENCE constraint \"%2\". The conflict occurred in "
                           "database \"%3\", table \"%4\", column '%5'.")
                .arg(target.verb, name(k), database, objectName(k.child), k.childColumn),
            547};
    }
    if (target.verb == u"DELETE") return {};
    const std::vector<ForeignKey> own = foreignKeysOf(db, target.schema, target.table);
    if (own.empty()) return {};
    const ForeignKey& k = own.front();
    return {
        QStringLiteral("The %1 statement conflicted with the FOREIGN KEY constraint \"%2\". The conflict occurred in "
                       "database \"%3\", table \"%4\", column '%5'.")
            .arg(target.verb, name(k), database, objectName(k.parent), k.parentColumn),
        547};
}

// A CHECK constraint refused the row; SQLite names it, or gives its expression when it has no
// name. The conflict names the column when the expression reads one column of the table only.
ConstraintMessage checkMessage(sqlite3* db, const QString& database, const Target& target, const QString& failed)
{
    if (target.table.isEmpty()) return {};
    const QString master = target.schema == u"temp" ? QStringLiteral("temp.sqlite_master")
                                                    : quoted(target.schema) + QStringLiteral(".sqlite_master");
    const Rows table = rows(db, QStringLiteral("select sql from %1 where type='table' and name=? collate nocase").arg(master),
        {target.table});
    const QString sql = table.empty() ? QString() : table.front().value(0);
    QString expression = failed;
    const QRegularExpression named(QStringLiteral(R"(constraint\s+["\[`]?%1["\]`]?\s+check\s*\()")
                                       .arg(QRegularExpression::escape(failed)),
        QRegularExpression::CaseInsensitiveOption);
    const bool isName = named.match(sql).hasMatch();
    if (const QRegularExpressionMatch m = named.match(sql); m.hasMatch()) {
        int depth = 1;
        qsizetype k = m.capturedEnd();
        for (; k < sql.size() && depth > 0; ++k) {
            if (sql.at(k) == u'(') ++depth;
            if (sql.at(k) == u')') --depth;
        }
        expression = sql.mid(m.capturedEnd(), k - 1 - m.capturedEnd());
    }
    QStringList columns;
    for (const QStringList& c :
        rows(db, QStringLiteral("select name from pragma_table_info(?, ?)"), {target.table, target.schema})) {
        const QRegularExpression word(QStringLiteral(R"((^|[^\w@#$])%1($|[^\w@#$]))").arg(QRegularExpression::escape(c.value(0))),
            QRegularExpression::CaseInsensitiveOption);
        if (word.match(expression).hasMatch()) columns << c.value(0);
    }
    const QString name = isName ? failed
        : columns.size() == 1   ? QStringLiteral("CK__%1__%2").arg(target.table, columns.front())
                                : QStringLiteral("CK__%1").arg(target.table);
    QString message = QStringLiteral("The %1 statement conflicted with the CHECK constraint \"%2\". The conflict occurred "
                                     "in database \"%3\", table \"%4\"")
                          .arg(target.verb.isEmpty() ? QStringLiteral("INSERT") : target.verb, name, database,
                              objectName(target.table));
    if (columns.size() == 1) message += QStringLiteral(", column '%1'").arg(columns.front());
    return {message + u'.', 547};
}

// create unique index over rows that repeat a key.
ConstraintMessage uniqueIndexMessage(sqlite3* db, const QString& statementSql, const QString& sqliteMessage)
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*create\s+unique\s+index\s+(\w+|"(?:[^"]|"")+")\.("(?:[^"]|"")+"))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(statementSql);
    if (!m.hasMatch()) return {};
    const QString stored = unquote(m.captured(2));   // T.IX
    const QString table = stored.section(u'.', 0, -2);
    return duplicateKeyMessage(db, unquote(m.captured(1)), table, objectName(table), stored.section(u'.', -1), sqliteMessage);
}

}   // namespace

ConstraintMessage serverConstraintMessage(
    sqlite3* db, const QString& database, const QString& statementSql, const QString& refusal)
{
    const Target target = targetOf(statementSql);
    // a key holding NULL refused by its index's companion: the index's own refusal
    const QString sqliteMessage =
        nullKeyFailure(db, target.schema.isEmpty() ? QStringLiteral("main") : target.schema, refusal);
    if (sqliteMessage.startsWith(QLatin1String("UNIQUE constraint failed:")) && target.table.isEmpty())
        return uniqueIndexMessage(db, statementSql, sqliteMessage);
    if (sqliteMessage.startsWith(QLatin1String("UNIQUE constraint failed:"))) {
        ConstraintMessage m = uniqueMessage(db, target, sqliteMessage);
        if (m.text.isEmpty()) return m;
        const QString table = sqliteMessage.section(u':', 1).split(u',').value(0).trimmed().section(u'.', 0, -2);
        m.keySchema = table.compare(target.table, Qt::CaseInsensitive) == 0 ? target.schema : QStringLiteral("main");
        m.keyTable = table;
        for (const QString& p : sqliteMessage.section(u':', 1).split(u',', Qt::SkipEmptyParts))
            m.keyColumns << p.trimmed().section(u'.', -1);
        return m;
    }
    if (sqliteMessage.startsWith(QLatin1String("NOT NULL constraint failed: "))) {
        const QString column = sqliteMessage.section(u'.', -1);
        const QString name = target.schema == u"main" || target.schema == u"temp" ? database : target.schema;
        const QString table = target.table.isEmpty() ? sqliteMessage.mid(28).section(u'.', 0, 0) : target.table;
        return {QStringLiteral("Cannot insert the value NULL into column '%1', table '%2.dbo.%3'; column does not "
                               "allow nulls. %4 fails.")
                    .arg(column, name, table, target.verb.isEmpty() ? QStringLiteral("INSERT") : target.verb),
            515};
    }
    if (sqliteMessage == QLatin1String("CHECK constraint failed: String or binary data would be truncated."))
        return {sqliteMessage.mid(25), 8152};   // a text column's length rule
    if (sqliteMessage.startsWith(QLatin1String("CHECK constraint failed: "))) {
        const QString name = target.schema == u"main" || target.schema == u"temp" ? database : target.schema;
        return checkMessage(db, name, target, sqliteMessage.mid(25));
    }
    if (sqliteMessage.startsWith(QLatin1String("FOREIGN KEY constraint failed"))) {
        const QString name = target.schema == u"main" || target.schema == u"temp" ? database : target.schema;
        return foreignKeyMessage(db, name, target);
    }
    return {};
}

ConstraintMessage duplicateKeyMessage(sqlite3* db, const QString& schema, const QString& table, const QString& object,
    const QString& index, const QString& sqliteMessage)
{
    ConstraintMessage m{QStringLiteral("The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for "
                                       "the object name '%1' and the index name '%2'.")
                            .arg(object, index),
        1505};
    m.keySchema = schema;
    m.keyTable = table;
    QStringList columns;
    for (const QString& p : sqliteMessage.section(u':', 1).split(u',', Qt::SkipEmptyParts)) {
        m.keyColumns << p.trimmed().section(u'.', -1);
        columns << quoted(m.keyColumns.back());
    }
    const QString list = columns.join(QStringLiteral(", "));
    const PreparedStatement repeated(db, QStringLiteral("select %1 from %2.%3 group by %1 having count(*) > 1 limit 1")
                                             .arg(list, quoted(schema), quoted(table)));
    if (repeated.ok() && sqlite3_step(repeated) == SQLITE_ROW)
        for (int c = 0; c < sqlite3_column_count(repeated); ++c) m.keyValues << storedValueOf(sqlite3_column_value(repeated, c));
    return m;
}

}   // namespace orra::embedded
