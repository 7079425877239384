#include "platform/db/embedded/translator/TypedRewrites.h"

#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/functions/DateFunctions.h"

#include <algorithm>
#include <optional>

namespace orra::embedded::translator {

namespace {

using Kind = SqlType::Kind;

bool isComparison(const Token& t)
{
    return t.kind == TokenKind::Symbol
        && (t.text == u"=" || t.text == u"<" || t.text == u">" || t.text == u"<=" || t.text == u">="
            || t.text == u"<>" || t.text == u"!=" || t.text == u"!<" || t.text == u"!>");
}

bool isArithmetic(const Token& t)
{
    return t.kind == TokenKind::Symbol
        && (t.text == u"+" || t.text == u"-" || t.text == u"*" || t.text == u"/" || t.text == u"%" || t.text == u"&"
            || t.text == u"|" || t.text == u"^" || t.text == u"~" || t.text == u".");
}

// A token that can stand in an operand: a name, a variable, a literal.
bool isValueToken(const Token& t)
{
    if (t.kind == TokenKind::String || t.kind == TokenKind::Number || t.kind == TokenKind::QuotedName) return true;
    return t.kind == TokenKind::Word && !isExpressionBoundary(t) && !isStatementWord(t);
}

// The first token of the operand (a sum, product or single value) that ends before token k.
size_t operandBefore(const TranslationContext& ctx, size_t k)
{
    const auto& T = ctx.tokens();
    size_t b = k;
    while (b > 0) {
        const Token& t = T[b - 1];
        if (t.isSymbol(")")) {
            int depth = 0;
            size_t j = b - 1;
            for (;; --j) {
                if (T[j].isSymbol(")")) ++depth;
                if (T[j].isSymbol("(") && --depth == 0) break;
                if (j == 0) return k;
            }
            b = j;
            if (b > 0 && T[b - 1].kind == TokenKind::Word && !isExpressionBoundary(T[b - 1])
                && !isStatementWord(T[b - 1]))
                --b;   // a call
        } else if (t.isSymbol("}") && b >= 4 && ctx.isOdbcDateEscape(b - 4, b)) {
            b -= 4;
        } else if (t.is("end")) {
            int depth = 0;
            size_t j = b - 1;
            for (;; --j) {
                if (T[j].is("end")) ++depth;
                if (T[j].is("case") && --depth == 0) break;
                if (j == 0) return k;
            }
            b = j;
        } else if (isValueToken(t) || isArithmetic(t)) {
            --b;
        } else {
            break;
        }
    }
    // a sign before the operand belongs to it, an operator that ends nothing does not
    while (b < k && isArithmetic(T[b]) && !T[b].isSymbol("-") && !T[b].isSymbol("+") && !T[b].isSymbol("~")) ++b;
    return b;
}

// The end of the operand that begins at token k.
size_t operandAfter(const TranslationContext& ctx, size_t k, size_t end)
{
    const auto& T = ctx.tokens();
    size_t e = k;
    while (e < end) {
        const Token& t = T[e];
        if (ctx.isOdbcDateEscape(e, end)) {
            e += 4;
        } else if (t.isSymbol("(")) {
            e = ctx.matching(e, end) + 1;
        } else if (t.is("case")) {
            e = ctx.groupEnd(e, end) + 1;
        } else if (t.kind == TokenKind::Word && e + 1 < end && T[e + 1].isSymbol("(") && !isExpressionBoundary(t)
            && !isStatementWord(t)) {
            e = ctx.matching(e + 1, end) + 1;
        } else if (isValueToken(t) || isArithmetic(t)) {
            ++e;
        } else {
            break;
        }
    }
    return std::min(e, end);
}

// The tokens of v that the batch's tokens [b, e) became: from the first to the last of them,
// when the two are found and enclose whole parentheses.
std::optional<std::pair<size_t, size_t>> rangeIn(const TranslationContext& ctx, const Vec& v, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    auto find = [&](size_t k) -> std::optional<size_t> {
        for (size_t i = 0; i < v.size(); ++i)
            if (v[i].t.pos == T[k].pos && v[i].t.text == T[k].text && v[i].t.kind == T[k].kind) return i;
        return std::nullopt;
    };
    const auto first = find(b), last = find(e - 1);
    if (!first || !last || *last < *first) return placesBetween(ctx, v, b, e);   // a cast written anew
    int depth = 0;
    for (size_t i = *first; i <= *last; ++i) {
        if (v[i].t.isSymbol("(")) ++depth;
        if (v[i].t.isSymbol(")") && --depth < 0) return std::nullopt;
    }
    if (depth != 0) return std::nullopt;
    return std::make_pair(*first, *last + 1);
}

int timeScale(const SqlType& t)
{
    switch (t.kind) {
    case Kind::Time:
    case Kind::DateTime2:
    case Kind::DateTimeOffset:
        return t.scale;
    case Kind::DateTime:
        return 3;
    default:
        return 0;
    }
}

bool sameType(const SqlType& a, const SqlType& b) { return a.kind == b.kind && timeScale(a) == timeScale(b); }

// The type in which values of a and b compare: the one of higher data type precedence when
// SQLite would not compare them so (a text with a number or a date; a date with a date of
// another type, with the finer fraction of seconds); Unknown when the two compare as they are
// or the server would not compare them.
SqlType comparedAs(const SqlType& a, const SqlType& b)
{
    if (!a.isDateOrTime() && !b.isDateOrTime()) {
        if (a.isNumber() && b.isString()) return a;
        if (b.isNumber() && a.isString()) return b;
        return {};
    }
    if (a.isDateOrTime() && b.isDateOrTime()) {
        if (sameType(a, b)) return {};
        // a date and a time alone share no instant
        if ((a.kind == Kind::Date && b.kind == Kind::Time) || (a.kind == Kind::Time && b.kind == Kind::Date)) return {};
        SqlType t = a.kind >= b.kind ? a : b;
        t.scale = std::max(timeScale(a), timeScale(b));
        return t;
    }
    const SqlType& date = a.isDateOrTime() ? a : b;
    const SqlType& other = a.isDateOrTime() ? b : a;
    if (other.isString()) return date;
    // a number is a count of days since 1900-01-01 for datetime and smalldatetime only
    if (other.isNumber() && (date.kind == Kind::DateTime || date.kind == Kind::SmallDateTime)) return date;
    return {};
}

// The type in which the operands compare: that of the number or date of highest precedence
// among them; none when no operand is one, or when two of them do not compare (a date and a
// time alone).
std::optional<SqlType> commonType(const ExpressionTyper& typer, const std::vector<std::pair<size_t, size_t>>& operands)
{
    std::optional<SqlType> common;
    for (const auto& [b, e] : operands) {
        const SqlType t = typer.typeOf(b, e);
        if (!t.isDateOrTime() && !t.isNumber()) continue;
        if (!common) {
            common = t;
            continue;
        }
        if (sameType(*common, t)) continue;
        if (common->isNumber() && t.isNumber()) {
            if (t.kind > common->kind) common = t;
            continue;
        }
        const SqlType c = comparedAs(*common, t);
        if (!c.isDateOrTime()) return std::nullopt;
        common = c;
    }
    return common;
}

// Converts the operands [b, e) of the batch (as they stand in v) that do not compare as
// values of type t.
void convertOperands(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v,
    std::vector<std::pair<size_t, size_t>> operands, const SqlType& t)
{
    // from the right, so that a conversion leaves the operands before it where they are
    std::sort(operands.begin(), operands.end(), [](auto x, auto y) { return x.first > y.first; });
    // keys on every operand or none: an operand not found in v (a substituted argument) keeps
    // all of them as they are
    const bool keyed = comparesByExactKeys(typer, operands, t)
        && std::all_of(operands.begin(), operands.end(), [&](auto o) { return rangeIn(ctx, v, o.first, o.second); });
    for (const auto& [b, e] : operands) {
        const SqlType type = typer.typeOf(b, e);
        const bool converted = !sameType(type, t) && comparedAs(type, t).kind != Kind::Unknown;
        if (!converted && !keyed) continue;
        auto r = rangeIn(ctx, v, b, e);
        if (!r) continue;
        const size_t before = v.size();
        if (converted) convertTo(v, r->first, r->second, t, type);
        if (keyed) wrapInExactKey(v, r->first, r->second + (v.size() - before), converted ? t : type);
    }
}

}   // namespace

bool isBareColumn(const TranslationContext& ctx, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    for (size_t k = b; k < e; ++k) {
        const bool name = T[k].kind == TokenKind::Word || T[k].kind == TokenKind::QuotedName;
        if ((k - b) % 2 == 0 ? !name : !T[k].isSymbol(".")) return false;
    }
    return e > b && (e - b) % 2 == 1;
}

namespace {

// COLLATE collation just before the comparison's operator (the batch's token at), which then
// governs =, IN and BETWEEN alike.
void collateBefore(const TranslationContext& ctx, Vec& v, size_t at, const QString& collation)
{
    if (const size_t i = placeOf(ctx, v, at); i < v.size())
        v.insert(v.begin() + long(i), raw(QStringLiteral("COLLATE ") + collation));
}

// Texts compare under the collation of the text that has one, else the server's own
// (case-insensitive). SQLite applies a collation only when an operand is a column named alone,
// so LEFT(Name, 3) = 'abc' would compare bytes; the left operand is collated explicitly, just
// before the comparison's operator, which governs =, IN and BETWEEN alike.
void collateTexts(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v,
    const std::vector<std::pair<size_t, size_t>>& operands, size_t leftEnd)
{
    QString collation;
    bool unicode = false;
    const auto& T = ctx.tokens();
    for (const auto& [b, e] : operands) {
        // an operand's own COLLATE governs the comparison (SQLite takes only the left one's for IN)
        size_t c = ctx.firstAtTopLevel(b, e, [](const Token& tok) { return tok.is("collate"); });
        if (c >= e) c = e < T.size() && T[e].is("collate") ? e : T.size();
        if (c < T.size()) {
            if (c + 1 < T.size() && e != leftEnd) collateBefore(ctx, v, leftEnd, T[c + 1].text);
            return;
        }
        const SqlType t = typer.typeOf(b, e);
        if (!t.isString() || isBareColumn(ctx, b, e)) return;
        if (collation.isEmpty()) collation = t.collation;
        unicode = unicode || t.kind == Kind::NText;
    }
    if (collation.isEmpty()) collation = collationNameFor(QString(), unicode);
    collateBefore(ctx, v, leftEnd, collation);
}

}   // namespace

void compareByPrecedence(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v)
{
    const auto& T = ctx.tokens();
    // The comparisons of the statement, from the last: each rewrite leaves the ones before it.
    std::vector<size_t> at;
    for (const NT& n : v)
        if (isComparison(n.t) || n.t.is("between") || n.t.is("in"))
            if (const size_t k = indexOf(ctx, n.t); k < T.size()) at.push_back(k);
    std::sort(at.begin(), at.end(), std::greater<>());
    for (const size_t k : at) {
        if (k == 0 || k + 1 >= T.size()) continue;
        const size_t leftEnd = k >= 1 && T[k - 1].is("not") && !isComparison(T[k]) ? k - 1 : k;
        const size_t b = operandBefore(ctx, leftEnd);
        if (b >= leftEnd) continue;
        // name = value in a set or select list is an assignment, no comparison
        if (T[k].isSymbol("=") && (b == 0 || isOneOf(T[b - 1], {"set", "select", "declare", "distinct"})
                                      || T[b - 1].isSymbol(",")))
            continue;
        std::vector<std::pair<size_t, size_t>> others;
        if (isComparison(T[k])) {
            const size_t e = operandAfter(ctx, k + 1, T.size());
            if (e > k + 1) others.emplace_back(k + 1, e);
        } else if (T[k].is("between")) {
            const size_t low = operandAfter(ctx, k + 1, T.size());
            if (low <= k + 1 || low + 1 >= T.size() || !T[low].is("and")) continue;
            const size_t high = operandAfter(ctx, low + 1, T.size());
            if (high <= low + 1) continue;
            others = {{k + 1, low}, {low + 1, high}};
        } else {
            // x in (a, b, …); not a subquery
            if (!T[k + 1].isSymbol("(") || (k + 2 < T.size() && T[k + 2].is("select"))) continue;
            const size_t close = ctx.matching(k + 1, T.size());
            if (close >= T.size()) continue;
            others = ctx.splitTop(k + 2, close, [&](size_t x) { return T[x].isSymbol(","); });
        }
        if (others.empty()) continue;
        others.emplace_back(b, leftEnd);
        const std::optional<SqlType> common = commonType(typer, others);
        if (!common) {
            collateTexts(ctx, typer, v, others, leftEnd);
            continue;
        }
        convertOperands(ctx, typer, v, others, *common);
        if (common->kind == Kind::DateTimeOffset) collateBefore(ctx, v, leftEnd, QLatin1String(dates::kInstantCollation));
    }
}

}   // namespace orra::embedded::translator
