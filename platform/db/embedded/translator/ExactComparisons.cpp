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

// Whether the order by at v[at] orders the rows of a union, except or intersect, whose items
// SQLite takes only as result columns, or of a TOP … WITH TIES, whose rewriting reads the
// items as they are written.
bool keepsItsItems(const Vec& v, size_t at)
{
    int depth = 0;
    for (size_t k = at; k-- > 0;) {
        if (v[k].t.isSymbol(")")) ++depth;
        if (v[k].t.isSymbol("(") && --depth < 0) return false;
        if (depth == 0 && isOneOf(v[k].t, {"union", "except", "intersect", "ties"})) return true;
    }
    return false;
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
    if (from < 2 || keepsItsItems(v, from - 2)) return;
    // the items end at the parenthesis that closes the order's group, or at a clause
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
    const auto items = splitTopLevel(v, from, stop);
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
