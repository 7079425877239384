#include "platform/db/embedded/translator/TypedRewrites.h"

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

}   // namespace

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
    // over a window the server's MIN and MAX stay SQLite's (no exact window form)
    if (tclose + 1 < T.size() && T[tclose + 1].is("over")) return;
    if (k + 2 < tclose && T[k + 2].is("distinct")) return;
    const SqlType a = typer.typeOf(k + 2, tclose);
    const size_t close = closeOf(v, i + 1, v.size());
    if (!widerThanADouble(a) || close >= v.size()) return;
    v[i].out = v[i].t.is("min") ? QStringLiteral("orra_exact_min") : QStringLiteral("orra_exact_max");
    v.insert(v.begin() + long(close), {symbol(","), number(QString::number(a.digits().second))});
}

}   // namespace orra::embedded::translator
