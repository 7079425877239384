#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/ResultTyping.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

namespace orra::embedded::translator {

namespace {

// select … into T: the target leaves the select and becomes the table the server makes.
void takeIntoTable(Vec& v, SqlStatement& s)
{
    const size_t into = topLevel(v, 1, {"into", "from"});
    if (into >= v.size() || !v[into].t.is("into") || into + 1 >= v.size()) {
        s.returnsRows = true;
        return;
    }
    const NT target = v[into + 1];
    v.erase(v.begin() + long(into), v.begin() + long(into) + 2);
    if (target.t.text.startsWith(u'#'))
        s.intoTable = QStringLiteral("temp.") + quoteName(target.t.text);
    else if (!target.out.contains(u'.'))
        s.intoTable = QStringLiteral("main.") + quoteName(target.t.text);
    else
        s.intoTable = target.out;
    s.dml = true;
}

ResultTyping declaredTyping(const QStringList& declarations)
{
    ResultTyping typing;
    for (const QString& d : declarations) {
        TypeRule r;
        if (!d.isEmpty()) {
            r.kind = TypeRule::Kind::Fixed;
            r.type = d;
        }
        typing.columns.push_back(r);
    }
    return typing;
}

}   // namespace

SqlStatement rewriteSelect(TranslationContext& ctx, Vec v, size_t b, size_t e)
{
    SqlStatement s;
    rewriteSelectForms(v);
    // with …: the select after the common table expressions gives the columns
    const size_t main = v[0].t.is("with") ? topLevel(v, 1, {"select"}) : 0;
    if (main > 0) {
        const auto& T = ctx.tokens();
        while (b < e && T[b].pos != v[main].t.pos) ++b;
        if (b >= e) return finishedStatement(v);
    }
    // ( query ) union …: the first select inside the parentheses names and types the columns
    while (b < e && ctx.tokens()[b].isSymbol("(")) ++b;
    if (!orderWithinDistinctList(ctx, b, e)) return s;
    rewritePivot(ctx, v);
    if (ctx.failed()) return s;
    const bool applied = rewriteApply(ctx, v);
    if (ctx.failed()) return s;
    takeIntoTable(v, s);
    s.columnTypes = resultTypes(ctx, b);
    // The applied tables' columns carry no declared type in SQLite: the select's own typing
    // gives each column its type.
    s.typing = applied ? declaredTyping(s.columnTypes) : ResultTyper(ctx).type(b, e, s.columnTypes);
    const std::vector<int> unnamed = nameResultColumns(v, main);
    if (s.intoTable.isEmpty()) {
        s.unnamedColumns = unnamed;
    } else if (!unnamed.empty()) {   // a table's column needs a name
        ctx.fail(QStringLiteral("An object or column name is missing or empty. For SELECT INTO statements, verify each "
                                "column has a name. For other statements, look for empty alias names. Aliases defined "
                                "as \"\" or [] are not allowed. Change the alias to a valid name."),
            1038, b);
        return s;
    }
    orderSetOperationsByExactKeys(ctx, v);
    s.sql = render(rewriteExpressions(v));
    return s;
}

}   // namespace orra::embedded::translator
