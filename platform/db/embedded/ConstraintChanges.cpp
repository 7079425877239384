// ALTER TABLE … ADD CONSTRAINT / DROP CONSTRAINT. A SQLite table's constraints are part of its
// definition, so the table is made anew under its definition with the constraint changed: its
// rows copied, its indexes and triggers (date columns, padding) made again, its identity's
// count kept, all in one transaction with foreign keys off, so that nothing referring to the
// table sees it missing. WITH CHECK (the default) checks the rows the table holds against the
// new constraint; WITH NOCHECK leaves them as they are.
#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/ConstraintMessages.h"
#include "platform/db/embedded/EmbeddedBackend.h"
#include "platform/db/embedded/IdentityColumns.h"
#include "platform/db/embedded/NullKeys.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace orra::embedded {

namespace {

// The definition pieces between the create statement's outer parentheses, split at top-level
// commas (quotes and parentheses respected), and where that list begins and ends.
struct Pieces {
    int open = -1, close = -1;
    std::vector<std::pair<int, int>> items;   // [begin, end) in the create statement
};

Pieces piecesOf(const QString& sql)
{
    Pieces p;
    int depth = 0;
    QChar quote;
    int start = -1;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar ch = sql[i];
        if (!quote.isNull()) {
            if (ch == quote) quote = QChar();
            continue;
        }
        if (ch == u'"' || ch == u'\'' || ch == u'`') {
            quote = ch;
        } else if (ch == u'[') {
            quote = u']';
        } else if (ch == u'(') {
            if (depth++ == 0) {
                p.open = i;
                start = i + 1;
            }
        } else if (ch == u')') {
            if (--depth == 0) {
                p.items.emplace_back(start, i);
                p.close = i;
                return p;
            }
        } else if (ch == u',' && depth == 1) {
            p.items.emplace_back(start, i);
            start = i + 1;
        }
    }
    return p;
}

QString bare(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 && (name.startsWith(u'"') || name.startsWith(u'[') || name.startsWith(u'`')))
        name = name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return name;
}

// The words of a definition piece, names unquoted (for finding a column or a constraint).
QStringList wordsOf(const QString& piece)
{
    static const QRegularExpression word(QStringLiteral(R"("(?:[^"]|"")*"|\[[^\]]*\]|`[^`]*`|'(?:[^']|'')*'|[\w#@$]+|\S)"));
    QStringList out;
    for (auto it = word.globalMatch(piece); it.hasNext();) out << it.next().captured(0);
    return out;
}

// Where the named constraint stands in the piece [b, e) of sql: from its "constraint" word to
// the end of its clause; {-1, -1} when it does not.
std::pair<int, int> constraintSpan(const QString& sql, int b, int e, const QString& name)
{
    static const QRegularExpression token(
        QStringLiteral(R"("(?:[^"]|"")*"|\[[^\]]*\]|`[^`]*`|'(?:[^']|'')*'|[\w#@$.]+|\S)"));
    struct Tok {
        QString text;
        int pos, end;
    };
    std::vector<Tok> t;
    for (auto it = token.globalMatch(sql.mid(b, e - b)); it.hasNext();) {
        const auto m = it.next();
        t.push_back({m.captured(0), b + int(m.capturedStart()), b + int(m.capturedEnd())});
    }
    auto is = [&](size_t k, const char* w) { return k < t.size() && t[k].text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0; };
    auto group = [&](size_t k) {   // past the parenthesised group at k
        int depth = 0;
        for (; k < t.size(); ++k) {
            if (t[k].text == u"(") ++depth;
            if (t[k].text == u")" && --depth == 0) return k + 1;
        }
        return k;
    };
    for (size_t k = 0; k + 1 < t.size(); ++k) {
        if (!is(k, "constraint") || bare(t[k + 1].text).compare(name, Qt::CaseInsensitive) != 0) continue;
        size_t j = k + 2;
        if (is(j, "primary") || is(j, "foreign")) j += 2;
        else if (is(j, "unique") || is(j, "check") || is(j, "default") || is(j, "references")) ++j;
        const bool references = is(k + 2, "references");
        if (is(k + 2, "default") || is(k + 2, "check")) {
            if (j < t.size() && t[j].text == u"(") j = group(j);
            else if (j < t.size() && (t[j].text == u"-" || t[j].text == u"+")) j += 2;
            else if (j < t.size()) ++j;
        } else {
            if (j < t.size() && t[j].text == u"(") j = group(j);   // the key's columns
            if (is(k + 2, "foreign") && is(j, "references")) ++j;
            if (references || is(k + 2, "foreign")) {
                if (j < t.size()) ++j;   // the referenced table
                if (j < t.size() && t[j].text == u"(") j = group(j);
                while (is(j, "on") || is(j, "match")) {
                    j += 2;
                    if (is(j - 1, "set") || is(j - 1, "no")) ++j;
                }
            }
            while (is(j, "asc") || is(j, "desc") || is(j, "autoincrement")) ++j;
        }
        int end = j < t.size() ? t[j].pos : e;
        // a primary key kept as a unique key goes with its mark
        if (QStringView(sql).mid(end).startsWith(QLatin1String(kPrimaryKeyMark))) end += int(qstrlen(kPrimaryKeyMark));
        return {t[k].pos, end};
    }
    return {-1, -1};
}

}   // namespace

void EmbeddedBackend::runConstraintChange(const ConstraintChange& change, Run& run)
{
    run.rowCount = 0;
    const QString schema = change.schema;
    if (!m_rights.isOwner(schema) && schema != u"temp")
        raise(QStringLiteral("42000"),
            QStringLiteral("Cannot alter the table '%1', because it does not exist or you do not have permission.")
                .arg(change.table),
            4902);
    // With foreign keys on, making a referenced table anew would delete its rows' references.
    if (!sqlite3_get_autocommit(m_db))
        raise(QStringLiteral("25000"),
            QStringLiteral("The embedded server changes the constraints of table '%1' only outside a transaction.")
                .arg(change.table),
            574);
    const SessionRights::Trusted trusted(m_rights);
    const QString q = quoted(schema);
    auto one = [&](const QString& sql, const QList<QVariant>& args = {}) -> QVariant {
        const db::ResultSet rs = query(sql, args);
        return rs.rowCount() > 0 && !rs.fields.empty() ? rs.values[0] : QVariant();
    };
    const QString create =
        one(QStringLiteral("select sql from %1.sqlite_master where type = 'table' and name = ? collate nocase").arg(q),
            {change.table})
            .toString();
    if (create.isEmpty())
        raise(QStringLiteral("42S02"),
            QStringLiteral("Cannot find the object \"%1\" because it does not exist or you do not have permissions.")
                .arg(change.table),
            4902);
    const QString table =
        one(QStringLiteral("select name from %1.sqlite_master where type = 'table' and name = ? collate nocase").arg(q),
            {change.table})
            .toString();
    const Pieces p = piecesOf(create);
    if (p.close < 0) raise(QStringLiteral("HY000"), QStringLiteral("The table '%1' cannot be read.").arg(table), 50000);

    // The new definition.
    QString made = create;
    QString definition = change.definition;   // the constraint added, as the table declares it
    QString checkColumn;
    if (!change.add) {
        std::pair<int, int> span{-1, -1};
        int piece = -1;
        for (size_t n = 0; n < p.items.size() && span.first < 0; ++n) {
            span = constraintSpan(create, p.items[n].first, p.items[n].second, change.name);
            if (span.first >= 0) piece = int(n);
        }
        if (span.first < 0)
            raise(QStringLiteral("42000"), QStringLiteral("'%1' is not a constraint.").arg(change.name), 3728);
        const auto [b, e] = p.items[size_t(piece)];
        const bool whole = create.mid(b, span.first - b).trimmed().isEmpty() && create.mid(span.second, e - span.second).trimmed().isEmpty();
        if (whole) {
            // a table constraint: the piece goes, with the comma before it
            const int from = piece > 0 ? p.items[size_t(piece) - 1].second : b;
            const int to = piece > 0 ? e : (size_t(piece) + 1 < p.items.size() ? p.items[1].first : e);
            made = create.left(from) + create.mid(to);
        } else {
            // the identity column stays SQLite's integer key when its primary key goes: the key
            // loses its name and its mark
            static const QRegularExpression identityKey(
                QStringLiteral(R"(\bprimary\s+key(\s+autoincrement)?\b)"), QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch key = identityKey.match(create.mid(span.first, span.second - span.first));
            const std::optional<IdentityColumn> identity = identityColumnOf(m_db, schema, table);
            const bool onIdentity = identity && key.hasMatch()
                && bare(wordsOf(create.mid(b, e - b)).value(0)).compare(identity->column, Qt::CaseInsensitive) == 0;
            made = create.left(span.first) + (onIdentity ? key.captured(0) : QString()) + create.mid(span.second);
        }
    } else if (!change.defaultColumn.isEmpty()) {
        int piece = -1;
        for (size_t n = 0; n < p.items.size(); ++n) {
            const QStringList w = wordsOf(create.mid(p.items[n].first, p.items[n].second - p.items[n].first));
            if (!w.isEmpty() && bare(w[0]).compare(change.defaultColumn, Qt::CaseInsensitive) == 0) {
                piece = int(n);
                for (const QString& x : w)
                    if (x.compare(QLatin1String("default"), Qt::CaseInsensitive) == 0)
                        raise(QStringLiteral("42000"),
                            QStringLiteral("Column already has a DEFAULT bound to it."), 1781);
            }
        }
        if (piece < 0)
            raise(QStringLiteral("42S22"),
                QStringLiteral("Invalid column name '%1'.").arg(change.defaultColumn), 1752);
        const int at = p.items[size_t(piece)].second;
        made = create.left(at) + u' ' + change.definition + create.mid(at);
    } else {
        if (!change.name.isEmpty()) {
            for (const auto& [b, e] : p.items)
                if (constraintSpan(create, b, e, change.name).first >= 0)
                    raise(QStringLiteral("42S01"),
                        QStringLiteral("There is already an object named '%1' in the database.").arg(change.name), 2714);
        }
        static const QRegularExpression primaryKey(
            QStringLiteral(R"(\bprimary\s+key\b)"), QRegularExpression::CaseInsensitiveOption);
        const std::optional<IdentityColumn> identity = identityColumnOf(m_db, schema, table);
        if (change.definition.contains(primaryKey)) {
            // The identity column is SQLite's integer key: a primary key of the table beside it (or
            // on it) is kept as a unique key marked as the primary key, as create table keeps one.
            const bool hasKey = identity ? create.contains(QLatin1String(kPrimaryKeyMark)) : create.contains(primaryKey);
            if (hasKey)
                raise(QStringLiteral("42000"),
                    QStringLiteral("Table '%1' already has a primary key defined on it.").arg(table), 1779);
            if (identity) {
                definition.replace(primaryKey, QStringLiteral("UNIQUE"));
                if (change.name.isEmpty()) definition.prepend(QStringLiteral("CONSTRAINT %1 ").arg(quoted(QStringLiteral("PK__") + table)));
                definition += u' ' + QString::fromLatin1(kPrimaryKeyMark);
            }
        }
        // a key's columns allow no NULL (the identity column never holds one)
        static const QRegularExpression keyList(
            QStringLiteral(R"(primary\s+key\s*\(([^)]*)\))"), QRegularExpression::CaseInsensitiveOption);
        if (const QRegularExpressionMatch k = keyList.match(change.definition); k.hasMatch()) {
            for (const QString& part : k.captured(1).split(u',')) {
                const QString column = bare(wordsOf(part).value(0));
                if (identity && identity->column.compare(column, Qt::CaseInsensitive) == 0) continue;
                const QVariant notNull = one(
                    QStringLiteral("select \"notnull\" from %1.pragma_table_info(?) where name = ? collate nocase").arg(q),
                    {table, column});
                if (notNull.isValid() && notNull.toInt() == 0)
                    raise(QStringLiteral("42000"),
                        QStringLiteral("Cannot define PRIMARY KEY constraint on nullable column in table '%1'.").arg(table),
                        8111);
            }
        }
        made = create.left(p.close) + QStringLiteral(", ") + definition + create.mid(p.close);
    }

    // What goes with the table and comes back with it.
    QStringList again;
    {
        const db::ResultSet rs = query(
            QStringLiteral("select sql from %1.sqlite_master where type in ('index', 'trigger') and tbl_name = ? and sql is "
                           "not null and substr(name, 1, %2) <> ? order by type, rowid")
                .arg(q)
                .arg(qstrlen(kNullKeyPrefix)),
            {table, QString::fromLatin1(kNullKeyPrefix)});
        for (long r = 0; r < rs.rowCount(); ++r) again << rs.value(r, 0).toString();
    }
    // a database without any identity column has no sqlite_sequence
    const bool counts =
        one(QStringLiteral("select count(*) from %1.sqlite_master where name = 'sqlite_sequence'").arg(q)).toLongLong() > 0;
    const QVariant sequence = !counts ? QVariant() : one(
        QStringLiteral("select seq from %1.sqlite_master m join %1.sqlite_sequence s on s.name = m.name where m.name = ?")
            .arg(q),
        {table});

    const QString temporary = QStringLiteral("orra_rebuild_") + table;
    static const QRegularExpression head(QStringLiteral(R"(^\s*CREATE\s+TABLE\s+("(?:[^"]|"")*"|\S+?)\s*\()"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch h = head.match(made);
    made = QStringLiteral("CREATE TABLE %1.%2 ").arg(q, quoted(temporary)) + made.mid(h.capturedEnd() - 1);

    auto exec = [&](const QString& sql) {
        const QByteArray text = sql.toUtf8();
        const int rc = sqlite3_exec(m_db, text.constData(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) m_session.raise(rc);
    };
    // no prepared statement may hold the table while it is made anew
    for (auto it = m_statements.begin(); it != m_statements.end(); ++it) sqlite3_finalize(it.value());
    m_statements.clear();
    exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
    exec(QStringLiteral("PRAGMA legacy_alter_table = ON"));
    // the rows were checked when they came; a new check constraint is checked below
    exec(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
    struct Restore {
        sqlite3* db;
        ~Restore()
        {
            if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_exec(db, "PRAGMA ignore_check_constraints = OFF; PRAGMA legacy_alter_table = OFF; "
                             "PRAGMA foreign_keys = ON",
                nullptr, nullptr, nullptr);
        }
    } restore{m_db};
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    exec(made);
    try {
        exec(QStringLiteral("INSERT INTO %1.%2 SELECT * FROM %1.%3").arg(q, quoted(temporary), quoted(table)));
    } catch (db::ProviderFailure& f) {
        const QString what = f.errors.isEmpty() ? QString() : f.errors.first().description;
        if (what.contains(QLatin1String("UNIQUE constraint failed"))) {
            ConstraintMessage m = duplicateKeyMessage(m_db, schema, table, change.display, change.name, what);
            addKeyValue(m);
            raise(QStringLiteral("23000"), m.text, m.number);
        }
        throw;
    }
    static const QRegularExpression checkClause(QStringLiteral(R"(^\s*(?:constraint\s+\S+\s+)?check\s*\((.*)\)\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    if (const QRegularExpressionMatch m = checkClause.match(change.definition); change.add && change.check && m.hasMatch()) {
        const QVariant bad = one(
            QStringLiteral("select 1 from %1.%2 where not (%3) limit 1").arg(q, quoted(temporary), m.captured(1)));
        if (bad.isValid() && !bad.isNull())
            raise(QStringLiteral("23000"),
                QStringLiteral("The ALTER TABLE statement conflicted with the CHECK constraint \"%1\". The conflict "
                               "occurred in database \"%2\", table \"%3\".")
                    .arg(change.name, schema == u"main" ? m_database : schema, change.display),
                547);
    }
    exec(QStringLiteral("DROP TABLE %1.%2").arg(q, quoted(table)));
    exec(QStringLiteral("ALTER TABLE %1.%2 RENAME TO %3").arg(q, quoted(temporary), quoted(table)));
    for (const QString& sql : std::as_const(again)) {
        // indexes and triggers of an attached database are made in it
        QString s = sql;
        if (schema != u"main" && schema != u"temp") {
            static const QRegularExpression made(QStringLiteral(R"(^(\s*CREATE\s+(?:UNIQUE\s+)?(?:INDEX|TRIGGER)\s+))"),
                QRegularExpression::CaseInsensitiveOption);
            s.replace(made, QStringLiteral("\\1") + q + u'.');
        }
        exec(s);
    }
    if (sequence.isValid() && !sequence.isNull())
        query(QStringLiteral("update %1.sqlite_sequence set seq = max(seq, ?) where name = ?").arg(q),
            {sequence, table});
    if (change.add && change.check && change.definition.contains(QLatin1String("references"), Qt::CaseInsensitive)) {
        const QVariant bad = one(QStringLiteral("select count(*) from %1.pragma_foreign_key_check(?)").arg(q), {table});
        if (bad.toLongLong() > 0) {
            static const QRegularExpression ref(QStringLiteral(R"(references\s+("(?:[^"]|"")*"|[\w#@$]+)\s*(?:\(\s*("(?:[^"]|"")*"|[\w#@$]+))?)"),
                QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch r = ref.match(change.definition);
            raise(QStringLiteral("23000"),
                QStringLiteral("The ALTER TABLE statement conflicted with the FOREIGN KEY constraint \"%1\". The "
                               "conflict occurred in database \"%2\", table \"dbo.%3\", column '%4'.")
                    .arg(change.name, schema == u"main" ? m_database : schema, bare(r.captured(1)), bare(r.captured(2))),
                547);
        }
    }
    // the unique keys hold their NULLs equal, a new key's among them
    if (const std::optional<NullKeyRepeat> repeat = keepNullKeysUnique(m_db, schema, table)) {
        ConstraintMessage m = duplicateKeyMessage(m_db, schema, table, change.display,
            change.name.isEmpty() ? repeat->index : change.name, repeat->sqliteMessage());
        addKeyValue(m);
        raise(QStringLiteral("23000"), m.text, m.number);
    }
    exec(QStringLiteral("COMMIT"));
    m_insertColumns.clear();
    m_exactTypes.clear();
}

}   // namespace orra::embedded
