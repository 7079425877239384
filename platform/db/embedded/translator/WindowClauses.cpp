// The OVER clauses the server compiles, checked before a statement runs: SQLite takes more than
// the server does (a ranking or offset function without ORDER BY, a frame on a function that
// has none, RANGE with a number of rows) and would run such a call its own way.
#include "platform/db/embedded/translator/Rewriters.h"

namespace orra::embedded::translator {

namespace {

bool ordersItsWindow(const Token& name)
{
    return isOneOf(name, {"row_number", "rank", "dense_rank", "ntile", "lag", "lead", "first_value", "last_value",
                             "percent_rank", "cume_dist"});
}

bool takesNoFrame(const Token& name)
{
    return isOneOf(name, {"row_number", "rank", "dense_rank", "ntile", "lag", "lead", "percent_rank", "cume_dist"});
}

}   // namespace

bool windowsAsCompiled(TranslationContext& ctx, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    for (size_t i = b + 1; i + 1 < e; ++i) {
        if (!T[i].is("over") || !T[i + 1].isSymbol("(") || !T[i - 1].isSymbol(")")) continue;
        // the call's name: the word before the parenthesis that the one before OVER closes
        size_t open = i - 1;
        for (int depth = 0;; --open) {
            if (T[open].isSymbol(")")) ++depth;
            if (T[open].isSymbol("(") && --depth == 0) break;
            if (open == b) break;
        }
        if (open == b || !T[open].isSymbol("(")) continue;
        const Token& name = T[open - 1];
        const size_t close = ctx.matching(i + 1, e);
        const size_t order = ctx.firstAtTopLevel(i + 2, close, [](const Token& t) { return t.is("order"); });
        const size_t frame = ctx.firstAtTopLevel(i + 2, close, [](const Token& t) { return isOneOf(t, {"rows", "range"}); });
        if (order >= close && ordersItsWindow(name)) {
            ctx.fail(QStringLiteral("The function '%1' must have an OVER clause with ORDER BY.").arg(name.text), 4112,
                open - 1);
            return false;
        }
        if (frame < close && takesNoFrame(name)) {
            ctx.fail(QStringLiteral("The function '%1' may not have a window frame.").arg(name.text), 10752, frame);
            return false;
        }
        if (frame < close && T[frame].is("range")) {
            for (size_t k = frame + 1; k < close; ++k) {
                if (T[k].kind != TokenKind::Number) continue;
                ctx.fail(QStringLiteral("RANGE is only supported with UNBOUNDED and CURRENT ROW window frame delimiters."),
                    4194, frame);
                return false;
            }
        }
        i = close;
    }
    return true;
}

}   // namespace orra::embedded::translator
