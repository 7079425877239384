#include "platform/db/embedded/BatchErrors.h"
#include "platform/db/embedded/TsqlLexer.h"
#include "platform/db/embedded/functions/StringFunctions.h"
#include "platform/db/embedded/translator/SqliteNames.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>
#include <vector>

namespace orra::embedded {

namespace {

// The number of a message of the built-in functions that begins so (JSON_VALUE, JSON_QUERY,
// the date functions), or 0.
long functionErrorNumber(const QString& m)
{
    static const struct {
        const char* text;
        long number;
    } messages[] = {
        {"JSON path is not properly formatted.", 13607},
        {"Property cannot be found on the specified JSON path.", 13608},
        {"JSON text is not properly formatted.", 13609},
        {"Scalar value cannot be found in the specified JSON path.", 13623},
        {"Object or array cannot be found in the specified JSON path.", 13624},
        {"String value in the specified JSON path would be truncated.", 13625},
        {"An invalid date value was encountered: ", 9837},
        {"Argument data type ", 8116},
        {"The timezone provided to builtin function ", 0},
        {"Adding a value to a '", 517},
        {"Cannot construct data type ", 289},
        {"Explicit conversion from data type ", 529},
        {"Scale argument is not valid. ", 10760},
    };
    if (m.contains(QLatin1String(" is not a valid style number when converting from "))) return 281;
    if (m.startsWith(QLatin1String("The datediff")) && m.contains(QLatin1String(" function resulted in an overflow.")))
        return 535;
    if (m.startsWith(QLatin1String("The datepart ")) && m.contains(QLatin1String(" is not supported by date function ")))
        return m.contains(QLatin1String(" for data type ")) ? 9810 : 9806;
    for (const auto& k : messages)
        if (m.startsWith(QLatin1String(k.text)))
            return k.number != 0 ? k.number : m.endsWith(QLatin1String(" is invalid.")) ? 9812 : 9813;
    return 0;
}

// The last part of a name SQLite reports ("main.T", "temp.#T", "t.C").
QString lastPart(QString name)
{
    name = name.trimmed();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) name = name.mid(dot + 1);
    if (name.startsWith(u'"') && name.endsWith(u'"') && name.size() >= 2) name = name.mid(1, name.size() - 2);
    return name;
}

// A name as the statement writes it, its parts unquoted: "sys.tables", "db..T", "dbo.T" for
// [dbo].[T].
struct WrittenName {
    QString text;
    QString last;     // the object's own part
    size_t begin = 0;   // its first token
};

// What a failed statement's own text tells its error: the names it writes, the kind of
// object it drops, the table it defines.
class WrittenStatement {
public:
    explicit WrittenStatement(const QString& text) : m_tokens(text.isEmpty() ? std::vector<Token>() : tokenize(text).tokens)
    {
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (!m_tokens[i].isName() || (i > 0 && m_tokens[i - 1].isSymbol("."))) continue;
            WrittenName n{m_tokens[i].text, m_tokens[i].text, i};
            size_t j = i + 1;
            while (j < m_tokens.size() && m_tokens[j].isSymbol(".")) {
                size_t k = j;
                QString dots;
                for (; k < m_tokens.size() && m_tokens[k].isSymbol("."); ++k) dots += u'.';
                if (k >= m_tokens.size() || !m_tokens[k].isName()) break;
                n.text += dots + m_tokens[k].text;
                n.last = m_tokens[k].text;
                j = k + 1;
            }
            m_names.push_back(n);
            i = j - 1;
        }
    }

    // The name as written whose object part is object (any case); object when none is.
    QString name(const QString& object) const
    {
        for (const WrittenName& n : m_names)
            if (n.last.compare(object, Qt::CaseInsensitive) == 0) return n.text;
        return object;
    }

    // "table", "view" or "index" for drop table|view|index; empty for other statements.
    QString dropped() const
    {
        if (m_tokens.size() < 2 || !m_tokens[0].is("drop")) return {};
        for (const char* kind : {"table", "view", "index"})
            if (m_tokens[1].is(kind)) return QString::fromLatin1(kind);
        return {};
    }

    // The table that create table | alter table | select … into names, its object part.
    QString definedTable() const
    {
        for (size_t i = 0; i + 1 < m_tokens.size(); ++i)
            if ((m_tokens[i].is("table") && i > 0 && (m_tokens[i - 1].is("create") || m_tokens[i - 1].is("alter")))
                || m_tokens[i].is("into")) {
                for (const WrittenName& n : m_names)
                    if (n.begin == i + 1) return n.last;
            }
        return {};
    }

    // Where an insert's rows come from: "values", "select" or "exec" (the first of them
    // outside parentheses).
    QString insertSource() const
    {
        int depth = 0;
        for (const Token& t : m_tokens) {
            if (t.isSymbol("(")) ++depth;
            if (t.isSymbol(")")) --depth;
            if (depth > 0) continue;
            for (const char* source : {"values", "select", "exec"})
                if (t.is(source)) return QString::fromLatin1(source);
            if (t.is("execute")) return QStringLiteral("exec");
        }
        return {};
    }

    // The number written as the n-th term (from 1) of the last ORDER BY at the top level;
    // empty when that term is no number.
    QString orderByTerm(int n) const
    {
        int depth = 0;
        size_t at = m_tokens.size();
        for (size_t i = 0; i + 1 < m_tokens.size(); ++i) {
            if (m_tokens[i].isSymbol("(")) ++depth;
            if (m_tokens[i].isSymbol(")")) --depth;
            if (depth == 0 && m_tokens[i].is("order") && m_tokens[i + 1].is("by")) at = i + 2;
        }
        int term = 1;
        depth = 0;
        for (size_t i = at; i < m_tokens.size(); ++i) {
            const Token& t = m_tokens[i];
            if (t.isSymbol("(")) ++depth;
            if (t.isSymbol(")")) --depth;
            if (depth == 0 && t.isSymbol(",")) {
                ++term;
                continue;
            }
            if (term == n && (i == at || m_tokens[i - 1].isSymbol(",")))
                return t.kind == TokenKind::Number ? t.text : QString();
        }
        return {};
    }

    // A function called by name as written (any case), else name.
    QString function(const QString& name) const
    {
        for (size_t i = 0; i + 1 < m_tokens.size(); ++i)
            if (m_tokens[i].isName() && m_tokens[i + 1].isSymbol("(")
                && m_tokens[i].text.compare(name, Qt::CaseInsensitive) == 0)
                return m_tokens[i].text;
        return name;
    }

    // alter table T add|drop [column] C: "add" or "drop" and C; empty for other statements.
    std::pair<QString, QString> alteredColumn() const
    {
        if (m_tokens.size() < 4 || !m_tokens[0].is("alter") || !m_tokens[1].is("table")) return {};
        for (size_t i = 2; i + 1 < m_tokens.size(); ++i) {
            if (!m_tokens[i].is("add") && !m_tokens[i].is("drop")) continue;
            size_t c = i + 1;
            if (m_tokens[c].is("column") && c + 1 < m_tokens.size()) ++c;
            if (!m_tokens[c].isName() || m_tokens[c].is("constraint")) return {};
            return {m_tokens[i].text.toLower(), m_tokens[c].text};
        }
        return {};
    }

    // Whether name is a table, view or alias the statement writes (the last part of a name).
    bool namesSource(const QString& name) const
    {
        return std::any_of(m_names.begin(), m_names.end(),
            [&](const WrittenName& n) { return n.last.compare(name, Qt::CaseInsensitive) == 0; });
    }

    // The qualified column reference as written whose column is column ("x.a" of [x].[a]).
    QString qualifiedColumn(const QString& qualifier, const QString& column) const
    {
        for (const WrittenName& n : m_names)
            if (n.last.compare(column, Qt::CaseInsensitive) == 0 && n.text.size() > n.last.size()
                && n.text.section(u'.', -2, -2).compare(qualifier, Qt::CaseInsensitive) == 0)
                return n.text;
        return qualifier + u'.' + column;
    }

    // Where the statement calls an aggregate or window function misplaced: "nested" inside an
    // aggregate's arguments, "where" in a WHERE clause, else empty.
    QString misplacedCall(bool window) const
    {
        static const QStringList aggregates{QStringLiteral("avg"), QStringLiteral("checksum_agg"),
            QStringLiteral("count"), QStringLiteral("count_big"), QStringLiteral("max"), QStringLiteral("min"),
            QStringLiteral("stdev"), QStringLiteral("stdevp"), QStringLiteral("string_agg"), QStringLiteral("sum"),
            QStringLiteral("var"), QStringLiteral("varp")};
        const auto isAggregate = [&](size_t i) {
            return m_tokens[i].isWord() && aggregates.contains(m_tokens[i].text, Qt::CaseInsensitive);
        };
        for (size_t i = 0; i + 1 < m_tokens.size(); ++i) {
            if (!m_tokens[i + 1].isSymbol("(")) continue;
            const bool windowCall = i + 1 < m_tokens.size() && m_tokens[i].isWord() && followedByOver(i + 1);
            if (window ? !windowCall : (!isAggregate(i) || windowCall)) continue;
            // Outward from the call: an enclosing aggregate, or the clause it stands in.
            int depth = 0;
            for (size_t j = i; j-- > 0;) {
                const Token& t = m_tokens[j];
                if (t.isSymbol(")")) {
                    ++depth;
                } else if (t.isSymbol("(")) {
                    if (depth > 0) {
                        --depth;
                    } else if (j > 0 && isAggregate(j - 1)) {
                        return QStringLiteral("nested");
                    }
                } else if (depth == 0 && t.is("where")) {
                    return QStringLiteral("where");
                } else if (depth == 0 && (t.is("select") || t.is("having") || t.is("order") || t.is("group"))) {
                    break;
                }
            }
        }
        return {};
    }

    // The database of the first three-part name the statement writes ("db" of db..T).
    QString databaseNamed() const
    {
        for (const WrittenName& n : m_names) {
            const qsizetype dot = n.text.indexOf(u'.');
            if (dot > 0 && n.text.count(u'.') >= 2 && !n.text.startsWith(u'#')) return n.text.left(dot);
        }
        return {};
    }

private:
    // Whether the parenthesis at open closes before OVER (a window function's call).
    bool followedByOver(size_t open) const
    {
        int depth = 0;
        for (size_t k = open; k < m_tokens.size(); ++k) {
            if (m_tokens[k].isSymbol("(")) ++depth;
            if (m_tokens[k].isSymbol(")") && --depth == 0) return k + 1 < m_tokens.size() && m_tokens[k + 1].is("over");
        }
        return false;
    }

    std::vector<Token> m_tokens;
    std::vector<WrittenName> m_names;
};

// An index as SQLite keeps it ("main.T.IX", "T.IX"): T.IX, unquoted.
QString indexShown(QString stored)
{
    stored.remove(u'"');
    if (stored.count(u'.') >= 2) stored = stored.mid(stored.indexOf(u'.') + 1);
    return stored;
}

void set(db::ProviderError& e, long number, const QString& text, const char* state = "42000")
{
    e.nativeError = number;
    e.number = -number;
    e.description = text;
    e.sqlState = QString::fromLatin1(state);
}

}   // namespace

void toServerError(db::ProviderError& e, const QString& statement, const QString& database)
{
    const QString& m = e.description;
    const WrittenStatement written(statement);
    static const QRegularExpression syntax(QStringLiteral("^near \"(.*)\": syntax error$"));
    static const QRegularExpression tableValuesCount(
        QStringLiteral("^table \\S+ has \\d+ columns but \\d+ values were supplied$"));
    static const QRegularExpression listValuesCount(QStringLiteral("^(?:table \\S+ has )?(\\d+) values for (\\d+) columns$"));
    static const QRegularExpression noColumnNamed(QStringLiteral("^table (.+) has no column named (.+)$"));
    static const QRegularExpression exists(QStringLiteral("^(table|view|index|trigger) (.+) already exists$"));
    static const QRegularExpression orderByRange(QStringLiteral("^(\\d+)\\w\\w ORDER BY term out of range"));
    static const QRegularExpression compoundCount(QStringLiteral(
        "^SELECTs to the left and right of (UNION ALL|UNION|INTERSECT|EXCEPT) do not have the same number of result "
        "columns$"));
    static const QRegularExpression orderBeforeCompound(
        QStringLiteral("^(?:ORDER BY|LIMIT) clause should come after (UNION ALL|UNION|INTERSECT|EXCEPT) not before$"));
    QRegularExpressionMatch x;
    if (m.startsWith(QLatin1String("no such table: ")) || m.startsWith(QLatin1String("no such view: "))
        || m.startsWith(QLatin1String("no such index: "))) {
        const QString object = m.section(QStringLiteral(": "), 1);
        if (const QString kind = written.dropped(); !kind.isEmpty())
            set(e, 3701,
                QStringLiteral("Cannot drop the %1 '%2', because it does not exist or you do not have permission.")
                    .arg(kind, kind == u"index" ? indexShown(object) : written.name(lastPart(object))),
                "42S02");
        else if (!m.startsWith(QLatin1String("no such index: ")))
            set(e, 208, QStringLiteral("Invalid object name '%1'.").arg(written.name(lastPart(object))), "42S02");
    } else if (m.startsWith(QLatin1String("no such column: ")) && written.alteredColumn().first == u"drop") {
        set(e, 4924,
            QStringLiteral("ALTER TABLE DROP COLUMN failed because column '%1' does not exist in table '%2'.")
                .arg(written.alteredColumn().second, written.definedTable()));
    } else if (m.startsWith(QLatin1String("error in ")) && m.contains(QLatin1String(" after drop column: "))
        && written.alteredColumn().first == u"drop") {
        set(e, 4922,
            QStringLiteral("ALTER TABLE DROP COLUMN %1 failed because one or more objects access this column.")
                .arg(written.alteredColumn().second));
    } else if (m == u"Cannot add a NOT NULL column with default value NULL" && written.alteredColumn().first == u"add") {
        set(e, 4901,
            QStringLiteral("ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT "
                           "definition specified, or the column being added is an identity or timestamp column, or "
                           "alternatively if none of the previous conditions are satisfied the table must be empty to "
                           "allow addition of this column. Column '%1' cannot be added to non-empty table '%2' because "
                           "it does not satisfy these conditions.")
                .arg(written.alteredColumn().second, written.definedTable()));
    } else if (m.startsWith(QLatin1String("no such column: "))) {
        const QString column = lastPart(m.mid(16));
        const QString qualifier = lastPart(m.mid(16).section(u'.', 0, -2));
        if (!qualifier.isEmpty() && !written.namesSource(qualifier))
            set(e, 4104,
                QStringLiteral("The multi-part identifier \"%1\" could not be bound.")
                    .arg(written.qualifiedColumn(qualifier, column)));
        else
            set(e, 207, QStringLiteral("Invalid column name '%1'.").arg(column), "42S22");
    } else if (m == u"aggregate functions are not allowed in the GROUP BY clause") {
        set(e, 144,
            QStringLiteral("Cannot use an aggregate or a subquery in an expression used for the group by list of a "
                           "GROUP BY clause."));
    } else if (m.startsWith(QLatin1String("misuse of aggregate"))) {
        const QString where = written.misplacedCall(false);
        if (where == u"nested")
            set(e, 130, QStringLiteral("Cannot perform an aggregate function on an expression containing an aggregate "
                                       "or a subquery."));
        else if (where == u"where")
            set(e, 147,
                QStringLiteral("An aggregate may not appear in the WHERE clause unless it is in a subquery contained in "
                               "a HAVING clause or a select list, and the column being aggregated is an outer "
                               "reference."));
    } else if (m.startsWith(QLatin1String("misuse of window function"))) {
        if (written.misplacedCall(true) == u"nested")
            set(e, 4109,
                QStringLiteral("Windowed functions cannot be used in the context of another windowed function or "
                               "aggregate."));
        else
            set(e, 4108, QStringLiteral("Windowed functions can only appear in the SELECT or ORDER BY clauses."));
    } else if ((x = noColumnNamed.match(m)).hasMatch()) {
        set(e, 207, QStringLiteral("Invalid column name '%1'.").arg(lastPart(x.captured(2))), "42S22");
    } else if ((x = exists.match(m)).hasMatch()) {
        if (x.captured(1) == u"index") {
            const QString stored = indexShown(x.captured(2));   // T.IX
            set(e, 1913,
                QStringLiteral("The operation failed because an index or statistics with name '%1' already exists on "
                               "table '%2'.")
                    .arg(stored.section(u'.', -1), stored.section(u'.', 0, -2)),
                "42S11");
        } else {
            set(e, 2714, QStringLiteral("There is already an object named '%1' in the database.").arg(lastPart(x.captured(2))),
                "42S01");
        }
    } else if (m.startsWith(QLatin1String("duplicate column name: "))) {
        if (const QString table = written.definedTable(); !table.isEmpty())
            set(e, 2705,
                QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' is specified "
                               "more than once.")
                    .arg(lastPart(m.mid(23)), table),
                "42S21");
    } else if (m.startsWith(QLatin1String("ambiguous column name: "))) {
        set(e, 209, QStringLiteral("Ambiguous column name '%1'.").arg(lastPart(m.mid(23))));
    } else if (const QRegularExpressionMatch s = syntax.match(m); s.hasMatch()) {
        set(e, 102, QStringLiteral("Incorrect syntax near '%1'.").arg(s.captured(1)));
    } else if (m.startsWith(QLatin1String("unrecognized token: \"")) && m.endsWith(u'"')) {
        set(e, 102, QStringLiteral("Incorrect syntax near '%1'.").arg(m.mid(21, m.size() - 22)));
    } else if (tableValuesCount.match(m).hasMatch()
        || (listValuesCount.match(m).hasMatch() && written.insertSource() == u"exec")) {
        set(e, 213, QStringLiteral("Column name or number of supplied values does not match table definition."),
            "21S01");
    } else if ((x = listValuesCount.match(m)).hasMatch()) {
        const bool fewer = x.captured(1).toInt() < x.captured(2).toInt();
        if (written.insertSource() == u"values")
            set(e, fewer ? 109 : 110,
                QStringLiteral("There are %1 columns in the INSERT statement than values specified in the VALUES clause. "
                               "The number of values in the VALUES clause must match the number of columns specified in "
                               "the INSERT statement.")
                    .arg(fewer ? QStringLiteral("more") : QStringLiteral("fewer")),
                "21S01");
        else
            set(e, fewer ? 120 : 121,
                QStringLiteral("The select list for the INSERT statement contains %1 items than the insert list. The "
                               "number of SELECT values must match the number of INSERT columns.")
                    .arg(fewer ? QStringLiteral("fewer") : QStringLiteral("more")),
                "21S01");
    } else if ((x = orderByRange.match(m)).hasMatch()) {
        if (const QString position = written.orderByTerm(x.captured(1).toInt()); !position.isEmpty())
            set(e, 108,
                QStringLiteral("The ORDER BY position number %1 is out of range of the number of items in the select "
                               "list.")
                    .arg(position));
    } else if (m.endsWith(QLatin1String("ORDER BY term does not match any column in the result set"))) {
        set(e, 104,
            QStringLiteral("ORDER BY items must appear in the select list if the statement contains a UNION, INTERSECT "
                           "or EXCEPT operator."));
    } else if (x = orderBeforeCompound.match(m); x.hasMatch()) {
        // an ORDER BY inside one select of a union: the server reads no further than the operator
        set(e, 156, QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(x.captured(1).section(u' ', 0, 0).toLower()));
    } else if (compoundCount.match(m).hasMatch()) {
        set(e, 205,
            QStringLiteral("All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number "
                           "of expressions in their target lists."));
    } else if ((m.startsWith(QLatin1String("sub-select returns ")) && m.endsWith(QLatin1String(" - expected 1")))
        || (m.startsWith(QLatin1String("table scalar subquery has ")) && m.endsWith(QLatin1String(" values for 1 columns")))) {
        // (the second: a subquery read for its one value, see ScalarSubqueries.cpp)
        set(e, 116,
            QStringLiteral("Only one expression can be specified in the select list when the subquery is not "
                           "introduced with EXISTS."));
    } else if (m == u"all VALUES must have the same number of terms") {
        set(e, 10710, QStringLiteral("The number of columns for each row in a table value constructor must be the same."));
    } else if (m == u"no tables specified") {
        set(e, 263, QStringLiteral("Must specify table to select from."));
    } else if (m.startsWith(QLatin1String("no such function: "))) {
        set(e, 195, QStringLiteral("'%1' is not a recognized built-in function name.").arg(written.function(m.mid(18))));
    } else if (m.startsWith(QLatin1String("wrong number of arguments to function "))) {
        // a call the translator let through: the function's own counts, under its T-SQL name
        const QString name = m.mid(38).section(u'(', 0, 0);
        if (const translator::BuiltinArity* f = translator::builtinAritySqlite(name)) {
            long number = 174;
            const QString text = argumentCountError(f->tsql, f->minArgs, f->maxArgs, -1, number);
            set(e, number, text);
        }
    } else if (m == u"cannot commit - no transaction is active") {
        set(e, 3902, QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."), "25000");
    } else if (m == u"cannot rollback - no transaction is active") {
        set(e, 3903, QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."), "25000");
    } else if (m.startsWith(QLatin1String("attempt to write a readonly database"))) {
        const QString target = written.databaseNamed();
        set(e, 3906,
            QStringLiteral("Failed to update database \"%1\" because the database is read-only.")
                .arg(target.isEmpty() ? database : target));
    } else if (m == u"database is locked" || m.startsWith(QLatin1String("database table is locked"))) {
        set(e, 1222, QStringLiteral("Lock request time out period exceeded."), "HYT00");
    } else if (m == u"parser stack overflow" || m.startsWith(QLatin1String("Expression tree is too large"))) {
        set(e, 191,
            QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
                           "smaller queries."));
    } else if (m == u"incomplete input") {
        set(e, 102, QStringLiteral("Incorrect syntax near the end of the statement."));
    } else if (m.startsWith(QLatin1String("Maximum stored procedure, function, trigger, or view nesting level exceeded"))) {
        set(e, 217, m);
    } else if (m.startsWith(QLatin1String("The MERGE statement attempted to UPDATE or DELETE the same row"))) {
        set(e, 8672, m);
    } else if (m == u"An invalid floating point operation occurred.") {
        set(e, 3623, m, "22003");
    } else if (m.startsWith(QLatin1String("The statement terminated. The maximum recursion "))) {
        set(e, 530, m);
    } else if (m.startsWith(QLatin1String("Subquery returned more than 1 value."))) {
        set(e, 512, m, "21000");
    } else if (m == u"Divide by zero error encountered.") {
        set(e, 8134, m, "22012");
    } else if (m.startsWith(QLatin1String("Conversion failed when converting date and/or time"))) {
        set(e, 241, m, "22007");
    } else if (m.startsWith(QLatin1String("The conversion of a ")) && m.endsWith(QLatin1String("resulted in an out-of-range value."))) {
        set(e, 242, m, "22007");
    } else if (m.startsWith(QLatin1String("Conversion failed when converting the "))) {
        set(e, 245, m, "22018");
    } else if (m.startsWith(QLatin1String("Error converting data type "))) {
        set(e, 8114, m, "22018");
    } else if (m.startsWith(QLatin1String("Arithmetic overflow error for data type "))) {
        set(e, 220, m, "22003");
    } else if (m.startsWith(QLatin1String("The conversion of the ")) && m.contains(QLatin1String(" overflowed an "))) {
        set(e, m.endsWith(QLatin1String("Use a larger integer column.")) ? 244 : 248, m, "22003");
    } else if (m.startsWith(QLatin1String("Arithmetic overflow error"))) {
        set(e, 8115, m, "22003");
    } else if (m == u"Cannot convert a char value to money. The char value has incorrect syntax.") {
        set(e, 235, m, "22018");
    } else if (m == u"Conversion failed when converting from a character string to uniqueidentifier.") {
        set(e, 8169, m, "22018");
    } else if (m == u"integer overflow") {
        // SQLite's SUM beyond 64 bits: a bigint total
        set(e, 8115, QStringLiteral("Arithmetic overflow error converting expression to data type bigint."), "22003");
    } else if (m == u"Invalid length parameter passed to the LEFT or SUBSTRING function.") {
        set(e, 537, m);
    } else if (m.startsWith(QLatin1String("Invalid length parameter passed to the "))) {
        set(e, 536, m);
    } else if (m.startsWith(QLatin1String("The second and third arguments of the TRANSLATE built-in function"))) {
        set(e, 9828, m);
    } else if (m.startsWith(QLatin1String("STRING_AGG aggregation result exceeded the limit of 8000 bytes."))) {
        set(e, 9829, m);
    } else if (m.startsWith(QLatin1String("Procedure expects parameter '"))) {
        set(e, 214, m);
    } else if (m.startsWith(QLatin1String("The invalid escape character \""))) {
        set(e, 506, m);
    } else if (m.startsWith(QLatin1String("The culture parameter '"))) {
        set(e, 9818, m);
    } else if (m.startsWith(QLatin1String("Error converting string value '"))) {
        set(e, 9819, m);
    } else if (const long number = functionErrorNumber(m)) {
        set(e, number, m);
    }
}

int severityOf(long number)
{
    switch (number) {
    case 2627:
    case 2601:
        return 14;
    case 102:
    case 104:
    case 156:
    case 310:
    case 108:
    case 109:
    case 110:
    case 116:
    case 120:
    case 121:
    case 144:
    case 145:
    case 147:
    case 195:
    case 1038:
    case 10710:
        return 15;
    case 3701:
        return 11;
    default:
        return 16;
    }
}

bool endsOnlyTheStatement(long number)
{
    switch (number) {
    case 8134:   // divide by zero
    case 512:    // a subquery used as a value gave more than one row
    case 8115:   // an arithmetic overflow (with arithabort and ansi_warnings on, the query ends)
    case 220:    // an overflow converting to an integer type
    case 530:    // a recursion past its limit
    case 515:    // NULL into a column that takes none
    case 547:    // constraint conflict
    case 2601:   // duplicate key in a unique index
    case 2627:   // duplicate primary or unique key
    case 8152:   // data would be truncated
    case 536:    // a negative length for RIGHT and the like
    case 537:    // a negative length for LEFT or SUBSTRING
    case 544:    // an identity value written without identity_insert
    case 545:    // identity_insert on and no identity value
    case 8101:   // identity_insert on and no column list
    case 8106:   // identity_insert of a table without identity
    case 8107:   // identity_insert on for another table
    case 1088:   // identity_insert of a table not there
    case 16905:  // the cursor is open already
    case 16911:  // a scrolling fetch from a forward-only cursor
    case 16915:  // a cursor of that name exists already
    case 16916:  // no cursor of that name
    case 16917:  // the cursor is not open
    case 16924:  // fetch into as many variables as the cursor has columns
    case 16950:  // a cursor variable given no cursor
    case 266:    // a procedure left @@TRANCOUNT other than it found it
        return true;
    default:
        return false;
    }
}

QString formatRaisedMessage(const QString& format, const QVariantList& arguments, int* mismatch)
{
    QString out;
    qsizetype next = 0;
    if (mismatch) *mismatch = 0;
    auto take = [&]() -> QVariant { return next < arguments.size() ? arguments.at(next++) : QVariant(); };
    // A text where a number is converted, or a number where a text is.
    auto fits = [&](const QVariant& arg, bool text) {
        const bool isText = arg.typeId() == QMetaType::QString;
        const bool isNumber = arg.typeId() == QMetaType::LongLong || arg.typeId() == QMetaType::Double;
        if (arg.isNull() || (text ? !isNumber : !isText)) return true;
        if (mismatch && *mismatch == 0) *mismatch = int(next);
        return false;
    };
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%') {
            out += c;
            continue;
        }
        qsizetype j = i + 1;
        if (j < format.size() && format.at(j) == u'%') {
            out += u'%';
            i = j;
            continue;
        }
        bool left = false, plus = false, zero = false, alternate = false, blank = false;
        for (; j < format.size(); ++j) {
            const QChar f = format.at(j);
            if (f == u'-')
                left = true;
            else if (f == u'+')
                plus = true;
            else if (f == u'0')
                zero = true;
            else if (f == u'#')
                alternate = true;
            else if (f == u' ')
                blank = true;
            else
                break;
        }
        auto number = [&](int& value) {
            if (j < format.size() && format.at(j) == u'*') {
                value = take().toInt();
                ++j;
                return;
            }
            while (j < format.size() && format.at(j).isDigit()) value = value * 10 + format.at(j++).digitValue();
        };
        int width = 0;
        number(width);
        int precision = -1;
        if (j < format.size() && format.at(j) == u'.') {
            ++j;
            precision = 0;
            number(precision);
        }
        if (format.mid(j, 3).compare(QLatin1String("I64"), Qt::CaseInsensitive) == 0)
            j += 3;
        else if (j < format.size() && (format.at(j) == u'h' || format.at(j) == u'l'))
            ++j;
        if (j >= format.size()) {
            out += format.mid(i);
            break;
        }
        const QChar type = format.at(j);
        QString text;
        QString sign;
        const QVariant arg = take();
        if ((type == u's' || type == u'd' || type == u'i' || type == u'u' || type == u'o' || type == u'x'
                || type == u'X')
            && !fits(arg, type == u's'))
            return {};
        if (type == u's') {
            text = arg.isNull() ? QStringLiteral("(null)") : arg.toString();
            if (precision >= 0) text = text.left(precision);
        } else if (type == u'd' || type == u'i' || type == u'u' || type == u'o' || type == u'x' || type == u'X') {
            if (arg.isNull()) {
                text = QStringLiteral("(null)");
            } else {
                const qlonglong v = arg.toLongLong();
                if (type == u'd' || type == u'i') {
                    text = QString::number(v < 0 ? -v : v);
                    sign = v < 0 ? QStringLiteral("-") : plus ? QStringLiteral("+") : blank ? QStringLiteral(" ") : QString();
                } else {
                    const quint64 u = v < 0 ? quint64(quint32(v)) : quint64(v);
                    const int base = type == u'o' ? 8 : type == u'u' ? 10 : 16;
                    text = QString::number(u, base);
                    if (type == u'X') text = text.toUpper();
                    if (alternate && u != 0 && base != 10)
                        sign = base == 8 ? QStringLiteral("0") : type == u'X' ? QStringLiteral("0X") : QStringLiteral("0x");
                }
                if (precision >= 0 && text.size() < precision) text = QString(precision - text.size(), u'0') + text;
            }
        } else {   // not a conversion: kept as written
            out += format.mid(i, j - i + 1);
            i = j;
            continue;
        }
        const qsizetype length = sign.size() + text.size();
        if (length < width) {
            const qsizetype pad = width - length;
            if (left)
                text = sign + text + QString(pad, u' ');
            else if (zero && type != u's')
                text = sign + QString(pad, u'0') + text;
            else
                text = QString(pad, u' ') + sign + text;
        } else {
            text = sign + text;
        }
        out += text;
        i = j;
    }
    return out;
}

}   // namespace orra::embedded
