#include "platform/db/embedded/translator/TypedRewrites.h"

#include <algorithm>

namespace orra::embedded::translator {

namespace {

using Range = std::pair<size_t, size_t>;

// The result types whose values the branches' own values may not be: numbers and dates (text
// is text whatever its length).
bool converts(const SqlType& t) { return t.isNumber() || t.isDateOrTime(); }

bool sameType(const SqlType& a, const SqlType& b)
{
    return a.kind == b.kind && (a.kind != SqlType::Kind::Decimal || (a.precision == b.precision && a.scale == b.scale));
}

// The batch's tokens [b, e), as they stand in v, converted to the type t unless they
// are of that type already (or of none known); false when they are not found whole in v.
bool convertInPlace(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, Range r, const SqlType& t,
    const QString& name = {})
{
    const SqlType own = typer.typeOf(r.first, r.second);
    if (own.kind == SqlType::Kind::Unknown || own.kind == SqlType::Kind::Null || sameType(own, t)) return true;
    const auto places = placesBetween(ctx, v, r.first, r.second);
    if (!places) return false;
    const auto [from, to] = *places;
    // a plain column keeps its name as the result column's
    if (!name.isEmpty()) v.insert(v.begin() + long(to), {word("as"), raw(quoteName(name))});
    convertTo(v, from, to, t);
    return true;
}

// Whether the tokens [b, e) name a column: name, alias.name …
bool plainColumn(const std::vector<Token>& T, Range r)
{
    if ((r.second - r.first) % 2 == 0) return false;
    for (size_t k = r.first; k < r.second; ++k)
        if ((k - r.first) % 2 == 0 ? !T[k].isName() || T[k].text.startsWith(u'@') || isExpressionBoundary(T[k])
                                   : !T[k].isSymbol("."))
            return false;
    return true;
}

void setOperation(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t s)
{
    const auto& T = ctx.tokens();
    if (typer.nextBranch(s) >= T.size()) return;
    const std::vector<SqlType> types = typer.selectTypes(s);
    if (std::none_of(types.begin(), types.end(), converts)) return;
    // the later branches first: their places in v stay put while earlier ones change
    std::vector<size_t> branches;
    for (size_t b = s; b < T.size(); b = typer.nextBranch(b)) branches.push_back(b);
    for (auto b = branches.rbegin(); b != branches.rend(); ++b) {
        const auto items = typer.selectItemRanges(*b);
        if (items.size() != types.size()) return;
        for (size_t n = items.size(); n-- > 0;) {
            if (!converts(types[n])) continue;
            const Range r{items[n].b, items[n].e};
            // the first branch names the columns: an unaliased column keeps its name
            const bool named = *b == s && plainColumn(T, r) && r.second < T.size()
                && (T[r.second].isSymbol(",") || !T[r.second].isName() || isExpressionBoundary(T[r.second]));
            convertInPlace(ctx, typer, v, r, types[n], named ? items[n].name : QString());
        }
    }
}

// (values (…), (…)) t (…): each row's values in the type of their column, as a union's branches.
void valuesRows(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t k)
{
    const std::vector<SqlType> types = typer.valuesTypes(k);
    if (std::none_of(types.begin(), types.end(), converts)) return;
    const auto rows = typer.valuesRows(k);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        for (size_t n = row->size(); n-- > 0;)
            if (n < types.size() && converts(types[n])) convertInPlace(ctx, typer, v, (*row)[n], types[n]);
}

// case … then r … else r end: the results r.
std::vector<Range> caseResults(const TranslationContext& ctx, size_t k)
{
    const auto& T = ctx.tokens();
    const size_t end = ctx.groupEnd(k, T.size());
    std::vector<Range> out;
    size_t from = 0;
    for (size_t j = k + 1; j <= end && j < T.size(); ++j) {
        if (T[j].isSymbol("(") || (T[j].is("case") && j != k)) {
            j = ctx.groupEnd(j, end);
            continue;
        }
        if (from != 0 && (T[j].is("when") || T[j].is("else") || j == end)) {
            out.emplace_back(from, j);
            from = 0;
        }
        if (T[j].is("then") || T[j].is("else")) from = j + 1;
    }
    return out;
}

void branches(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t k)
{
    const auto& T = ctx.tokens();
    std::vector<Range> results;
    size_t end = 0;
    if (T[k].is("case")) {
        end = ctx.groupEnd(k, T.size());
        if (end >= T.size()) return;
        results = caseResults(ctx, k);
    } else {
        if (k + 1 >= T.size() || !T[k + 1].isSymbol("(")) return;
        end = ctx.matching(k + 1, T.size());
        if (end >= T.size()) return;
        results = ctx.splitTop(k + 2, end, [&](size_t x) { return T[x].isSymbol(","); });
        if (T[k].is("iif")) {
            if (results.size() != 3) return;
            results.erase(results.begin());
        }
        if (T[k].is("choose")) {
            // every value is an argument of one call: the value chosen converts, as CASE's would
            const SqlType t = typer.typeOf(k, end + 1);
            if (!converts(t)) return;
            if (const auto places = placesBetween(ctx, v, k, end + 1)) convertTo(v, places->first, places->second, t);
            return;
        }
    }
    const SqlType t = typer.typeOf(k, end + 1);
    if (!converts(t)) return;
    for (auto r = results.rbegin(); r != results.rend(); ++r)
        if (r->first < r->second) convertInPlace(ctx, typer, v, *r, t);
}

}   // namespace

std::optional<std::pair<size_t, size_t>> placesBetween(const TranslationContext& ctx, const Vec& v, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    if (b == 0 || b >= e) return std::nullopt;
    const size_t before = placeOf(ctx, v, b - 1);
    const size_t after = e < T.size() ? placeOf(ctx, v, e) : v.size();
    // a token after the expression that v does not hold: v must end before it
    if (after == v.size() && e < T.size()
        && std::any_of(v.begin(), v.end(), [&](const NT& n) { return n.t.pos >= T[e].pos; }))
        return std::nullopt;
    if (before >= v.size() || before + 1 >= after) return std::nullopt;
    return std::make_pair(before + 1, after);
}

void convertBranchesToResultType(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v)
{
    const auto& T = ctx.tokens();
    std::vector<size_t> at;
    bool sets = false;
    for (const NT& n : v) {
        if (isOneOf(n.t, {"union", "except", "intersect"})) sets = true;
        if (!isOneOf(n.t, {"case", "coalesce", "iif", "choose", "values"}) && !n.t.is("select")) continue;
        if (const size_t k = indexOf(ctx, n.t); k < T.size()) at.push_back(k);
    }
    std::sort(at.begin(), at.end(), std::greater<>());
    for (const size_t k : at) {
        if (ctx.failed()) return;
        if (T[k].is("values")) {
            // a derived table's rows (those of an insert take the types of its columns)
            if (k > 0 && T[k - 1].isSymbol("(")) valuesRows(ctx, typer, v, k);
        } else if (!T[k].is("select"))
            branches(ctx, typer, v, k);
        else if (sets && (k == 0 || !isOneOf(T[k - 1], {"union", "all", "except", "intersect", "distinct"})))
            setOperation(ctx, typer, v, k);
    }
}

}   // namespace orra::embedded::translator
