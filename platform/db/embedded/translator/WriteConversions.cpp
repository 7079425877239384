// Values written into date, time, money, decimal and integer columns (and numbers and dates
// written into text columns) are converted as the statement is translated, by the target
// column's declared type, as CAST to that type converts them: a literal is never stored as
// typed, money and decimals keep their column's scale, an integer column keeps whole numbers of
// its range, and an impossible value fails the statement. (SQLite alone would keep whatever it
// is given.)

#include "platform/db/embedded/translator/TypedConversions.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

#include <QRegularExpression>

namespace orra::embedded::translator {

namespace {

// The conversion of each target column in order; false when none converts.
bool anyConversion(const std::vector<StoredConversion>& conversions)
{
    for (const StoredConversion& c : conversions)
        if (!c.isEmpty()) return true;
    return false;
}

NT columnName(const QString& name)
{
    NT n = word("");
    n.t.kind = TokenKind::QuotedName;
    n.t.text = name;
    n.out = quoteName(name);
    return n;
}

// A table named at token k: [database.[schema].]table, database..table, #table, @table.
struct TableName {
    QString database;   // as SQLite names it: "main", "temp" or an attached database
    QString table;
    size_t end = 0;     // the token after the name
    bool ok = false;
};

TableName tableNamed(const TranslationContext& ctx, size_t k)
{
    const auto& T = ctx.tokens();
    TableName n;
    if (k >= T.size() || !T[k].isName()) return n;
    std::vector<QString> parts{T[k].text};
    while (k + 2 < T.size() && T[k + 1].isSymbol(".")) {
        if (T[k + 2].isSymbol(".")) {
            parts.push_back(QString());
            ++k;
            continue;
        }
        if (!T[k + 2].isName()) break;
        parts.push_back(T[k + 2].text);
        k += 2;
    }
    n.end = k + 1;
    n.table = parts.back();
    n.database = ctx.schemaName(parts.size() >= 3 ? parts[parts.size() - 3] : QString());
    if (n.table.startsWith(u'@')) {
        const Variable* tv = ctx.variable(n.table);
        if (!tv || tv->table.isEmpty()) return n;
        n.table = tv->table;
        n.database = QStringLiteral("temp");
    } else if (n.table.startsWith(u'#')) {
        n.database = QStringLiteral("temp");
    }
    n.ok = true;
    return n;
}

// Of the select at v[select] that fills columns in order, the types of the items that are a bare
// column (t.C, [C] AS x …) as the typer gives them, Unknown for any other item; empty when the
// select is one of several (union …) or its list cannot be read.
std::vector<SqlType> copiedColumnTypes(const TranslationContext& ctx, const Vec& v, size_t select)
{
    if (topLevel(v, select + 1, {"union"}) < v.size() || topLevel(v, select + 1, {"except"}) < v.size()
        || topLevel(v, select + 1, {"intersect"}) < v.size())
        return {};
    if (select + 1 >= v.size() || v[select + 1].t.is("top") || v[select + 1].t.is("distinct")) return {};
    const std::vector<SqlType> typed = ExpressionTyper(ctx).selectTypes(indexOf(ctx, v[select].t));
    const auto items = splitTopLevel(v, select + 1, std::min(v.size(), topLevel(v, select + 1, {"from"})));
    if (typed.size() != items.size()) return {};
    std::vector<SqlType> types(items.size());
    for (size_t n = 0; n < items.size(); ++n) {
        auto [b, e] = items[n];
        size_t k = b;
        while (k + 2 < e && v[k].t.isName() && v[k + 1].t.isSymbol(".")) k += 2;
        if (k >= e || !v[k].t.isName() || v[k].t.text.startsWith(u'@')
            || (v[k].t.isWord() && (v[k].t.is("null") || v[k].t.text.startsWith(QLatin1String("current_"), Qt::CaseInsensitive))))
            continue;
        ++k;
        if (k < e && v[k].t.is("as")) ++k;
        if (k + 1 == e && v[k].t.isName()) ++k;
        if (k == e) types[n] = typed[n];
    }
    return types;
}

// The length a text column is declared with, char(n) … nvarchar(n); 0 for any other column
// (varchar(max), text, a text declared without a length, not text at all).
int declaredTextLength(const QString& declared)
{
    static const QRegularExpression sized(
        QStringLiteral("^n?(var)?char\\s*\\(\\s*(\\d+)\\s*\\)"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = sized.match(declared.trimmed());
    return m.hasMatch() ? m.captured(2).toInt() : 0;
}

// Whether the select at v[select], copying the columns of one table by name into the target's
// columns in order, gives each text column of the target a column declared no longer than it:
// then no value can break the target's length rules (the source's own rules held it), and the
// statement may leave them unchecked.
bool copiesFittingText(const TranslationContext& ctx, const Vec& v, size_t select, const TableName& target,
    const QStringList& columns)
{
    const size_t from = topLevel(v, select + 1, {"from"});
    if (from + 1 >= v.size() || !ctx.schema()->checksOnlyLengths(target.database, target.table)) return false;
    const TableName source = tableNamed(ctx, indexOf(ctx, v[from + 1].t));
    if (!source.ok) return false;
    // from T [[as] alias] [where …]: one table, no joins
    size_t k = from + 1;
    while (k < v.size() && indexOf(ctx, v[k].t) < source.end) ++k;
    if (k < v.size() && v[k].t.is("as")) ++k;
    if (k < v.size() && v[k].t.isName() && !v[k].t.is("where") && !v[k].t.is("order") && !v[k].t.is("option")) ++k;
    if (k < v.size() && !v[k].t.is("where") && !v[k].t.is("order") && !v[k].t.is("option")) return false;
    const auto items = splitTopLevel(v, select + 1, from);
    if (items.size() != size_t(columns.size())) return false;
    for (const QString& c : ctx.schema()->columns(target.database, target.table)) {
        const int room = declaredTextLength(ctx.schema()->columnType(target.database, target.table, c));
        if (room == 0) continue;
        const qsizetype n = columns.indexOf(c, Qt::CaseInsensitive);
        if (n < 0) return false;   // a default fills it
        // [q.]column [[as] alias]
        const auto [b, e] = items[size_t(n)];
        size_t k = b;
        while (k + 2 < e && v[k + 1].t.isSymbol(".")) k += 2;
        const size_t column = k++;
        if (k < e && v[k].t.is("as")) ++k;
        if (k < e && v[k].t.isName()) ++k;
        if (k != e || !v[column].t.isName() || v[column].t.text.startsWith(u'@')) return false;
        const int length = declaredTextLength(ctx.schema()->columnType(source.database, source.table, v[column].t.text));
        if (length == 0 || length > room) return false;
    }
    return true;
}

// insert [into] T [(columns)] values (…), … | select …; true when it copies text that fits (see
// copiesFittingText)
bool convertInsert(const TranslationContext& ctx, Vec& v)
{
    size_t target = 1;
    if (target < v.size() && v[target].t.is("into")) ++target;
    if (target + 1 >= v.size()) return false;
    TableName name = tableNamed(ctx, indexOf(ctx, v[target].t));
    if (!name.ok && v[target].t.text.startsWith(QStringLiteral("#@"))) {
        // a table variable, already named as its temporary table
        name.database = QStringLiteral("temp");
        name.table = v[target].t.text;
        name.ok = true;
    }
    if (!name.ok) return false;
    const QString& database = name.database;
    const QString& table = name.table;
    // the target columns: as listed, else all that an insert fills
    QStringList columns;
    size_t source = target + 1;
    const bool listed = v[source].t.isSymbol("(") && source + 1 < v.size() && v[source + 1].t.isName()
        && !v[source + 1].t.is("select") && !v[source + 1].t.is("values");
    if (listed) {
        const size_t close = closeOf(v, source, v.size());
        if (close >= v.size()) return false;
        for (const auto& [b, e] : splitTopLevel(v, source + 1, close)) {
            if (e != b + 1 || !v[b].t.isName()) return false;
            columns << v[b].t.text;
        }
        source = close + 1;
    } else {
        columns = ctx.schema()->insertColumns(database, table);
    }
    if (source >= v.size() || columns.isEmpty()) return false;
    const bool values = v[source].t.is("values");
    if (!values && !v[source].t.is("select")) return false;
    std::vector<StoredConversion> conversions;
    std::vector<SqlType> targets;
    bool typed = false;   // a text column (which takes a date or a number as CAST gives its text) or an integer one
    for (const QString& c : columns) {
        targets.push_back(SqlType::fromDeclared(ctx.schema()->columnType(database, table, c)));
        conversions.push_back(storedConversion(targets.back()));
        typed = typed || targets.back().isString() || targets.back().isInteger();
    }
    const auto& T = ctx.tokens();
    const size_t ks = indexOf(ctx, v[source].t);
    // the values' types, row by row, where a text or an integer column takes them
    std::vector<std::vector<SqlType>> sources;
    if (typed && ks < T.size()) {
        const ExpressionTyper typer(ctx);
        if (values) {
            for (size_t r = ks + 1; r < T.size() && T[r].isSymbol("(");) {
                const size_t close = ctx.matching(r, T.size());
                std::vector<SqlType> row;
                for (const auto& [b, e] : ctx.splitTop(r + 1, close, [&](size_t x) { return T[x].isSymbol(","); }))
                    row.push_back(row.size() < targets.size() ? writtenValueType(ctx, typer, targets[row.size()], b, e) : SqlType{});
                sources.push_back(std::move(row));
                r = close + 1;
                if (r < T.size() && T[r].isSymbol(",")) ++r;
            }
        } else {
            sources.push_back(typer.selectTypes(ks));
            // an integer column trusts only the type of a value copied as it is (see writtenValueType)
            const std::vector<SqlType> copied = copiedColumnTypes(ctx, v, source);
            for (size_t n = 0; n < sources[0].size() && n < targets.size(); ++n)
                if (targets[n].isInteger() && sources[0][n].isInteger())
                    sources[0][n] = n < copied.size() ? copied[n] : SqlType{};
        }
    }
    auto conversionOf = [&](size_t row, size_t n) {
        if (row < sources.size() && n < sources[row].size() && n < targets.size())
            return storedConversion(targets[n], sources[row][n]);
        return conversions[n];
    };
    if (!sources.empty() && !values)
        for (size_t n = 0; n < conversions.size(); ++n) conversions[n] = conversionOf(0, n);
    const bool fits = !values && copiesFittingText(ctx, v, source, name, columns);
    if (values) {   // whether any value of any row converts
        bool any = false;
        for (size_t r = 0; r < sources.size() && !any; ++r)
            for (size_t n = 0; n < conversions.size() && !any; ++n) any = !conversionOf(r, n).isEmpty();
        if (sources.empty() ? !anyConversion(conversions) : !any) return fits;
    } else if (!anyConversion(conversions)) {
        return fits;
    }
    if (values) {
        // each row's values, the last first so that the positions before stay put
        std::vector<std::pair<size_t, size_t>> rows;
        for (size_t r = source + 1; r < v.size() && v[r].t.isSymbol("(");) {
            const size_t close = closeOf(v, r, v.size());
            if (close >= v.size()) return false;
            rows.emplace_back(r + 1, close);
            r = close + 1;
            if (r < v.size() && v[r].t.isSymbol(",")) ++r;
        }
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            const auto values = splitTopLevel(v, row->first, row->second);
            if (values.size() != conversions.size()) return false;   // SQLite reports the mismatch
        }
        for (size_t r = rows.size(); r-- > 0;) {
            const auto values = splitTopLevel(v, rows[r].first, rows[r].second);
            for (size_t n = values.size(); n-- > 0;) wrapConversion(v, values[n].first, values[n].second, conversionOf(r, n));
        }
    } else {
        // the select's rows pass through the conversions by position; a column copied from a
        // column of a type whose values the target keeps as they are passes as it is
        // a select of another count of values than the columns is left for SQLite to report
        const size_t listEnd = std::min(v.size(), topLevel(v, source + 1, {"from"}));
        bool star = false;
        for (size_t k = source + 1; k < listEnd; ++k) star = star || v[k].t.isSymbol("*");
        if (!star && splitTopLevel(v, source + 1, listEnd).size() != conversions.size()) return fits;
        const std::vector<SqlType> copied = copiedColumnTypes(ctx, v, source);
        for (size_t n = 0; n < copied.size() && n < conversions.size(); ++n)
            if (storedAsIs(SqlType::fromDeclared(ctx.schema()->columnType(database, table, columns[n])), copied[n]))
                conversions[n] = {};
        if (!anyConversion(conversions)) return fits;
        QStringList names;
        QStringList converted;
        for (size_t n = 0; n < conversions.size(); ++n) {
            const QString name = quoteName(QString::number(n + 1));
            names << name;
            converted << conversions[n].before + name + conversions[n].after;
            if (conversions[n].isEmpty()) converted.last() = name;
        }
        const QString rows = quoteName(QLatin1String(kWrittenRows));
        v.push_back(raw(QStringLiteral(") select %1 from %2").arg(converted.join(QStringLiteral(", ")), rows)));
        v.insert(v.begin() + long(source),
            raw(QStringLiteral("with %1(%2) as (").arg(rows, names.join(QStringLiteral(", ")))));
    }
    if (!listed) {
        Vec list{symbol("(")};
        for (const QString& c : columns) {
            if (list.size() > 1) list.push_back(symbol(","));
            list.push_back(columnName(c));
        }
        list.push_back(symbol(")"));
        v.insert(v.begin() + long(target + 1), list.begin(), list.end());
    }
    return fits;
}

// The table an update writes: the one named after update, or the item of its from clause
// whose alias or name that is.
TableName updateTarget(const TranslationContext& ctx, size_t update)
{
    const auto& T = ctx.tokens();
    const TableName target = tableNamed(ctx, update + 1);
    if (!target.ok) return target;
    const size_t from = ctx.firstAtTopLevel(target.end, T.size(), [](const Token& t) {
        return t.is("from") || t.is("where") || t.isSymbol(";") || isStatementWord(t);
    });
    if (from >= T.size() || !T[from].is("from")) return target;
    for (size_t k = from + 1; k < T.size() && !T[k].is("where") && !T[k].isSymbol(";") && !isStatementWord(T[k]);) {
        if (T[k].isSymbol("(")) {
            k = ctx.matching(k, T.size()) + 1;
            continue;
        }
        const bool starts = T[k - 1].is("from") || T[k - 1].isSymbol(",") || T[k - 1].is("join");
        if (!starts || !T[k].isName()) {
            ++k;
            continue;
        }
        const TableName item = tableNamed(ctx, k);
        if (!item.ok) break;
        size_t a = item.end;
        if (a < T.size() && T[a].is("as")) ++a;
        const bool aliased = a < T.size() && T[a].isName() && !isExpressionBoundary(T[a]) && !T[a].is("on");
        const QString alias = aliased ? T[a].text : item.table;
        if (alias.compare(target.table, Qt::CaseInsensitive) == 0) return item;
        k = aliased ? a + 1 : item.end;
    }
    return target;
}

// update t set C = …, … [from …] [where …]
void convertUpdate(const TranslationContext& ctx, Vec& v)
{
    const size_t set = topLevel(v, 1, {"set"});
    if (set >= v.size()) return;
    const size_t end = std::min({topLevel(v, set + 1, {"from"}), topLevel(v, set + 1, {"where"}),
        topLevel(v, set + 1, {"output"}), topLevel(v, set + 1, {"option"})});
    const TableName target = updateTarget(ctx, indexOf(ctx, v[0].t));
    if (!target.ok) return;
    const auto assignments = splitTopLevel(v, set + 1, end);
    const auto& T = ctx.tokens();
    for (auto a = assignments.rbegin(); a != assignments.rend(); ++a) {
        const auto [b, e] = *a;
        // C = value or t.C = value
        size_t eq = b + 1;
        while (eq + 1 < e && v[eq].t.isSymbol(".") && v[eq + 1].t.isName()) eq += 2;
        if (eq >= e || !v[eq].t.isSymbol("=") || !v[b].t.isName() || v[b].t.text.startsWith(u'@')) continue;
        const QString declared = ctx.schema()->columnType(target.database, target.table, v[eq - 1].t.text);
        const SqlType type = SqlType::fromDeclared(declared);
        SqlType source;
        if (const size_t k = indexOf(ctx, v[eq].t); (type.isString() || type.isInteger()) && k < T.size()) {
            const size_t valueEnd = ctx.firstAtTopLevel(k + 1, T.size(), [](const Token& t) {
                return t.isSymbol(",") || t.isSymbol(";") || isOneOf(t, {"from", "where", "output", "option"})
                    || isStatementWord(t);
            });
            source = writtenValueType(ctx, ExpressionTyper(ctx), type, k + 1, valueEnd);
        }
        wrapConversion(v, eq + 1, e, storedConversion(type, source));
    }
}

}   // namespace

// The type of the value [b, e) written into a column of type target, as far as the write's
// conversion needs it: a text column takes a date or a number as CAST gives its text; an integer
// column rounds money, keeps a literal, a variable or a column of an integer type no wider than
// its own as it is, but converts integer arithmetic (whose type does not bound its value here).
SqlType writtenValueType(const TranslationContext& ctx, const ExpressionTyper& typer, const SqlType& target, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    if (!target.isString() && !target.isInteger()) return {};
    if (e == b + 1 && T[b].kind == TokenKind::Number)
        return T[b].text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? SqlType{} : SqlType::ofNumber(T[b].text);
    if (e == b + 1 && T[b].kind == TokenKind::String) {
        SqlType text;
        text.kind = T[b].national ? SqlType::Kind::NText : SqlType::Kind::Text;
        return text;
    }
    if (e == b + 1 && !T[b].isName()) return {};
    const SqlType type = typer.typeOf(b, e);
    if (target.isInteger() && type.isInteger()) {
        size_t k = b;   // [t.]column or @variable
        while (k + 2 < e && T[k].isName() && T[k + 1].isSymbol(".")) k += 2;
        if (k + 1 != e || !T[k].isName()) return {};
    }
    return type;
}

void convertWrittenValues(const TranslationContext& ctx, Vec& v)
{
    if (!ctx.schema() || v.empty()) return;
    if (v[0].t.is("insert")) {
        if (convertInsert(ctx, v)) v.push_back(raw(QLatin1String(kLengthsFit)));
    }
    else if (v[0].t.is("update"))
        convertUpdate(ctx, v);
}

}   // namespace orra::embedded::translator
