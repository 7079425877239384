#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

namespace orra::embedded::translator {

namespace {

bool isComparison(const Token& t)
{
    return t.kind == TokenKind::Symbol
        && (t.text == u"=" || t.text == u"<" || t.text == u">" || t.text == u"<=" || t.text == u">="
            || t.text == u"<>" || t.text == u"!=" || t.text == u"!<" || t.text == u"!>");
}

// The tokens [b, e) of the operand the literal at token k is compared with; b == e for none.
std::pair<size_t, size_t> comparedWith(const TranslationContext& ctx, size_t k)
{
    const auto& T = ctx.tokens();
    if (k >= 2 && isComparison(T[k - 1])) return {operandStart(ctx, k - 2), k - 1};
    if (k + 2 < T.size() && isComparison(T[k + 1])) return {k + 2, operandEnd(ctx, k + 2)};
    // x between 'a' and 'b'
    if (k >= 2 && T[k - 1].is("between")) return {operandStart(ctx, k - 2), k - 1};
    if (k >= 4 && T[k - 1].is("and") && T[k - 3].is("between")) return {operandStart(ctx, k - 4), k - 3};
    return {0, 0};
}

}   // namespace

void compareDatesAsDates(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v)
{
    for (size_t i = v.size(); i-- > 0;) {
        if (v[i].t.kind != TokenKind::String) continue;
        const size_t k = indexOf(ctx, v[i].t);
        if (k >= ctx.size()) continue;
        const auto [b, e] = comparedWith(ctx, k);
        if (b >= e || e > ctx.size()) continue;
        const SqlType t = typer.typeOf(b, e);
        if (!t.isDateOrTime()) continue;
        const QString declared = t.declaration();
        const QString name = declared.section(u'(', 0, 0);
        const QString scale = declared.section(u'(', 1).section(u')', 0, 0);
        const Vec conversion{word(dates::kToDate), symbol("("), v[i], symbol(","), raw(u'\'' + name + u'\''),
            symbol(","), number(scale.isEmpty() ? QStringLiteral("-1") : scale), symbol(","), word("null"),
            symbol(")")};
        v.erase(v.begin() + long(i));
        v.insert(v.begin() + long(i), conversion.begin(), conversion.end());
    }
}

}   // namespace orra::embedded::translator
