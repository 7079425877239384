#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TokenCursor.h"

namespace orra::embedded::translator {

SqlStatement rewriteInsert(Vec v)
{
    SqlStatement s;
    s.dml = true;
    if (v.size() < 2) return s;
    if (!v[1].t.is("into")) v.insert(v.begin() + 1, word("into"));
    if (v.size() < 3) {
        s.sql = render(v);
        return s;
    }
    const NT& target = v[2];
    s.insert.table = target.out;
    s.insert.name = target.t.text;
    if (target.t.text.startsWith(u'#'))
        s.insert.schema = QStringLiteral("temp");
    else if (target.out.startsWith(QStringLiteral("main.")) || !target.out.contains(u'.'))
        s.insert.schema = QStringLiteral("main");
    else
        s.insert.schema = target.out.left(target.out.indexOf(QStringLiteral("\".\""))).mid(1);
    RewriteCursor after(v, 3);
    const bool columns = after.atSymbol("(") && after.atName(1) && !after.at("select", 1) && !after.at("values", 1);
    const Vec head(v.begin(), v.begin() + 3);
    Vec tail(v.begin() + 3, v.end());
    rewriteSelectForms(tail);
    const QString h = render(head);
    const QString rest = render(rewriteExpressions(tail));
    s.sql = rest.isEmpty() ? h : h + u' ' + rest;
    if (!columns && !after.at("default")) s.insert.columnsAt = int(h.size());
    return s;
}

}   // namespace orra::embedded::translator
