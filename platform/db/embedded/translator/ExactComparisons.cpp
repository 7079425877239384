#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

#include <algorithm>

namespace orra::embedded::translator {

namespace {

// Values of such a type may travel as decimal text (see functions/ExactNumbers.h), which
// SQLite orders as bytes, above every number.
bool widerThanADouble(const SqlType& t) { return t.isExact() && t.digits().first > 15; }

// The range of v that the batch's tokens [b, e) became, when both ends are found.
std::optional<std::pair<size_t, size_t>> batchRange(const TranslationContext& ctx, const Vec& v, size_t x, size_t y)
{
    if (x >= y) return std::nullopt;
    const size_t b = indexOf(ctx, v[x].t);
    const size_t e = indexOf(ctx, v[y - 1].t);
    if (b >= ctx.size() || e >= ctx.size() || e < b) return std::nullopt;
    return std::make_pair(b, e + 1);
}

// The set operation (union, except, intersect) whose rows the order by at v[at] orders: the
// place in v of its first select; v.size() when the order is a single select's. ties is set
// when the order belongs to a TOP … WITH TIES, whose rewriting reads the items as written.
size_t compoundStart(const Vec& v, size_t at, bool& ties)
{
    int depth = 0;
    bool compound = false;
    size_t first = v.size();
    for (size_t k = at; k-- > 0;) {
        if (v[k].t.isSymbol(")")) ++depth;
        if (v[k].t.isSymbol("(") && --depth < 0) break;
        if (depth != 0) continue;
        if (v[k].t.is("ties")) ties = true;
        if (isOneOf(v[k].t, {"union", "except", "intersect"})) compound = true;
        if (v[k].t.is("select")) first = k;
    }
    return compound ? first : v.size();
}

// The end of the order by items from v[from]: the parenthesis that closes the order's group,
// or a clause.
size_t orderEnd(const Vec& v, size_t from)
{
    size_t stop = from;
    for (int depth = 0; stop < v.size(); ++stop) {
        const Token& t = v[stop].t;
        if (t.isSymbol("(") || t.is("case")) {
            ++depth;
        } else if (t.isSymbol(")") || t.is("end")) {
            if (--depth < 0) break;
        } else if (depth == 0
            && (t.isSymbol(";") || isStatementWord(t)
                || isOneOf(t, {"offset", "for", "option", "rows", "range", "groups", "limit", "union", "except",
                                 "intersect"}))) {
            break;
        }
    }
    return stop;
}

// The order by (items from v[from]) of a union, except or intersect whose first select is
// v[first]. SQLite orders such rows only by their result columns, so when an item is a
// column of an exact type wider than a double the set operation becomes a derived table,
// ordered by the exact keys of its columns:
//   select * from (select … union select …) order by orra_dec_key("a", 2), 2
// An item that names no column (a position of an expression) gets a name of its own, which
// the server never shows (the column has no name). Gives the number of tokens put before
// v[from - 2].
size_t orderCompoundByExactKeys(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t first,
    size_t from)
{
    const auto& T = ctx.tokens();
    const size_t s = indexOf(ctx, v[first].t);
    if (s >= T.size()) return 0;
    const std::vector<SqlType> types = typer.selectTypes(s);
    const auto columns = typer.selectItemRanges(s);
    if (types.size() != columns.size()) return 0;
    struct Key {
        size_t x, y, column;
    };
    std::vector<Key> keys;
    for (auto [x, y] : splitTopLevel(v, from, orderEnd(v, from))) {
        while (y > x && isOneOf(v[y - 1].t, {"asc", "desc"})) --y;
        if (y != x + 1) continue;
        size_t column = columns.size();
        if (v[x].t.kind == TokenKind::Number) {
            bool ok = false;
            const int n = v[x].t.text.toInt(&ok);
            if (ok && n >= 1) column = size_t(n - 1);
        } else if (v[x].t.isName()) {
            for (size_t c = 0; c < columns.size() && column == columns.size(); ++c)
                if (sameName(columns[c].name, v[x].t.text)) column = c;
        }
        if (column < types.size() && widerThanADouble(types[column])) keys.push_back({x, y, column});
    }
    if (keys.empty()) return 0;
    // the columns' names: an alias or a plain column's; an unnamed one (an expression) takes one
    auto named = [&](const ExpressionTyper::Item& c) {
        if (c.name.isEmpty()) return false;
        bool plain = (c.e - c.b) % 2 == 1;
        for (size_t k = c.b; plain && k < c.e; ++k) plain = (k - c.b) % 2 == 0 ? T[k].isName() : T[k].isSymbol(".");
        return plain || (c.b > 0 && T[c.b - 1].isSymbol("="))
            || (c.e < T.size() && (T[c.e].is("as") || (T[c.e].isName() && !isExpressionBoundary(T[c.e]))));
    };
    // the items as they stand in v
    const auto listed = selectItems(v, first, v.size());
    std::vector<QString> names(columns.size());
    std::vector<std::pair<size_t, QString>> aliases;
    for (const Key& k : keys) {
        if (!names[k.column].isEmpty()) continue;
        if (named(columns[k.column])) {
            names[k.column] = columns[k.column].name;
            continue;
        }
        names[k.column] = QStringLiteral("orra_order_%1").arg(k.column + 1);
        if (listed.size() != columns.size() || listed[k.column].second > from - 2) return 0;
        aliases.emplace_back(listed[k.column].second, names[k.column]);
    }
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
        v.erase(v.begin() + long(k->x), v.begin() + long(k->y));
        v.insert(v.begin() + long(k->x), raw(quoteName(names[k->column])));
        wrapInExactKey(v, k->x, k->x + 1, types[k->column]);
    }
    v.insert(v.begin() + long(from - 2), symbol(")"));
    std::sort(aliases.begin(), aliases.end(), std::greater<>());
    for (const auto& [at, name] : aliases) v.insert(v.begin() + long(at), {word("as"), raw(quoteName(name))});
    v.insert(v.begin() + long(first), {word("select"), symbol("*"), word("from"), symbol("(")});
    return 5 + 2 * aliases.size();
}

// Wraps the batch's tokens [b, e), as they stand in v, in their exact key; false when they
// are not found whole.
bool keyInPlace(const TranslationContext& ctx, Vec& v, size_t b, size_t e, const SqlType& t)
{
    const size_t x = placeOf(ctx, v, b), y = placeOf(ctx, v, e - 1);
    if (x >= v.size() || y >= v.size() || y < x) return false;
    wrapInExactKey(v, x, y + 1, t);
    return true;
}

bool exactOrInteger(const SqlType& t) { return t.isExact() || t.isInteger(); }

// x IN (SELECT y …): x and y as exact keys when either is wide.
void subqueryInExactly(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t k)
{
    const auto& T = ctx.tokens();
    if (k == 0 || k + 3 >= T.size() || !T[k + 1].isSymbol("(") || !T[k + 2].is("select")) return;
    const size_t close = ctx.matching(k + 1, T.size());
    size_t item = k + 3;
    if (T[item].is("distinct") || T[item].is("all")) ++item;
    if (T[item].is("top") || close >= T.size()) return;
    size_t itemEnd = item;
    for (int depth = 0; itemEnd < close; ++itemEnd) {
        if (T[itemEnd].isSymbol("(")) ++depth;
        if (T[itemEnd].isSymbol(")")) --depth;
        if (depth == 0 && (T[itemEnd].is("from") || T[itemEnd].isSymbol(","))) break;
    }
    if (itemEnd >= close || !T[itemEnd].is("from") || itemEnd == item) return;
    const size_t leftEnd = T[k - 1].is("not") ? k - 1 : k;
    if (leftEnd == 0) return;
    const size_t leftStart = operandStart(ctx, leftEnd - 1);
    const SqlType left = typer.typeOf(leftStart, leftEnd);
    const SqlType right = typer.typeOf(item, itemEnd);
    if (!exactOrInteger(left) || !exactOrInteger(right) || (!widerThanADouble(left) && !widerThanADouble(right)))
        return;
    // the later tokens first, so that the earlier ones stay where they are
    if (keyInPlace(ctx, v, item, itemEnd, right)) keyInPlace(ctx, v, leftStart, leftEnd, left);
}

// CASE x WHEN a THEN … WHEN b THEN …: x and every a, b as exact keys when one of them is wide.
void simpleCaseExactly(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t k)
{
    const auto& T = ctx.tokens();
    if (k + 1 >= T.size() || T[k + 1].is("when")) return;   // a searched case
    const size_t end = ctx.groupEnd(k, T.size());
    if (end >= T.size()) return;
    std::vector<std::pair<size_t, size_t>> operands;
    size_t start = k + 1;
    int depth = 0;
    for (size_t j = k + 1; j < end; ++j) {
        if (T[j].isSymbol("(") || T[j].is("case")) ++depth;
        if (T[j].isSymbol(")") || T[j].is("end")) --depth;
        if (depth != 0) continue;
        if (T[j].is("when")) {
            if (operands.empty()) operands.emplace_back(start, j);
            start = j + 1;
        } else if (T[j].is("then") && start > k + 1) {
            operands.emplace_back(start, j);
            start = end;
        }
    }
    bool wide = false;
    std::vector<SqlType> types;
    for (const auto& [b, e] : operands) {
        types.push_back(typer.typeOf(b, e));
        if (b >= e || !exactOrInteger(types.back())) return;
        wide = wide || widerThanADouble(types.back());
    }
    if (!wide) return;
    for (size_t n = operands.size(); n-- > 0;)
        if (!keyInPlace(ctx, v, operands[n].first, operands[n].second, types[n])) return;
}

}   // namespace

size_t placeOf(const TranslationContext& ctx, const Vec& v, size_t k)
{
    const Token& t = ctx.tokens()[k];
    for (size_t i = 0; i < v.size(); ++i)
        if (v[i].t.pos == t.pos && v[i].t.kind == t.kind && v[i].t.text == t.text) return i;
    return v.size();
}

void compareOtherFormsExactly(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v)
{
    std::vector<size_t> at;
    for (const NT& n : v)
        if (n.t.is("in") || n.t.is("case"))
            if (const size_t k = indexOf(ctx, n.t); k < ctx.size()) at.push_back(k);
    std::sort(at.begin(), at.end(), std::greater<>());
    for (const size_t k : at) {
        if (ctx.tokens()[k].is("in"))
            subqueryInExactly(ctx, typer, v, k);
        else
            simpleCaseExactly(ctx, typer, v, k);
    }
}

bool comparesByExactKeys(const ExpressionTyper& typer, const std::vector<std::pair<size_t, size_t>>& operands,
    const SqlType& t)
{
    if (!t.isExact()) return false;
    bool wide = false;
    for (const auto& [b, e] : operands) {
        const SqlType type = typer.typeOf(b, e);
        if (type.kind == SqlType::Kind::Unknown) return false;
        wide = wide || widerThanADouble(type);
    }
    return wide || widerThanADouble(t);
}

void wrapInExactKey(Vec& v, size_t b, size_t e, const SqlType& t)
{
    const int scale = t.isExact() ? t.digits().second : 0;
    v.insert(v.begin() + long(e), {symbol(","), number(QString::number(scale)), symbol(")")});
    v.insert(v.begin() + long(b), {word("orra_dec_key"), symbol("(")});
}

void orderByExactKeys(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t from)
{
    bool ties = false;
    if (from < 2 || compoundStart(v, from - 2, ties) < v.size() || ties) return;
    const auto items = splitTopLevel(v, from, orderEnd(v, from));
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        auto [x, y] = *it;
        while (y > x && isOneOf(v[y - 1].t, {"asc", "desc"})) --y;
        if (y - x >= 3 && v[y - 2].t.is("collate")) continue;
        const auto r = batchRange(ctx, v, x, y);
        if (!r) continue;
        const SqlType t = typer.typeOf(r->first, r->second);
        if (widerThanADouble(t)) wrapInExactKey(v, x, y, t);
    }
}

void orderSetOperationsByExactKeys(const TranslationContext& ctx, Vec& v)
{
    if (!ctx.schema()) return;
    const ExpressionTyper typer(ctx);
    for (size_t i = v.size(); i-- > 0;) {
        if (!v[i].t.is("order") || i + 1 >= v.size() || !v[i + 1].t.is("by")) continue;
        bool ties = false;
        const size_t first = compoundStart(v, i, ties);
        // the tokens put before the order: those not yet looked at stay before it
        if (first < v.size() && !ties) i += orderCompoundByExactKeys(ctx, typer, v, first, i + 2);
    }
}

void extremeExactly(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    const size_t k = indexOf(ctx, v[i].t);
    if (k + 1 >= T.size() || !T[k + 1].isSymbol("(") || i + 1 >= v.size()) return;
    const size_t tclose = ctx.matching(k + 1, T.size());
    if (k + 2 < tclose && T[k + 2].is("distinct")) return;
    const SqlType a = typer.typeOf(k + 2, tclose);
    const size_t close = closeOf(v, i + 1, v.size());
    if (!widerThanADouble(a) || close >= v.size()) return;
    // over a window the frame's values come and go: a form that keeps them all
    const bool window = tclose + 1 < T.size() && T[tclose + 1].is("over");
    v[i].out = QStringLiteral("orra_exact_%1%2").arg(v[i].t.is("min") ? u"min" : u"max", window ? u"_over" : u"");
    v.insert(v.begin() + long(close), {symbol(","), number(QString::number(a.digits().second))});
}

}   // namespace orra::embedded::translator
