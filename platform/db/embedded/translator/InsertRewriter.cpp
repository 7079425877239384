#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TokenCursor.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

namespace orra::embedded::translator {

InsertTarget targetTable(const NT& table)
{
    InsertTarget t;
    t.table = table.out;
    t.name = table.t.text;
    if (table.t.text.startsWith(u'#'))
        t.schema = QStringLiteral("temp");
    else if (table.out.startsWith(QStringLiteral("main.")) || !table.out.contains(u'.'))
        t.schema = QStringLiteral("main");
    else
        t.schema = table.out.left(table.out.indexOf(QStringLiteral("\".\""))).mid(1);
    return t;
}

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
    s.insert = targetTable(v[2]);
    RewriteCursor after(v, 3);
    const bool columns = after.atSymbol("(") && after.atName(1) && !after.at("select", 1) && !after.at("values", 1);
    const Vec head(v.begin(), v.begin() + 3);
    Vec tail(v.begin() + 3, v.end());
    // a select whose rows are converted on their way in: the select is rewritten on its own
    const QString written = QStringLiteral("with ") + quoteName(QLatin1String(kWrittenRows));
    size_t open = 0;
    while (open < tail.size() && !(tail[open].t.text == u"\x01" && tail[open].out.startsWith(written))) ++open;
    if (open + 1 < tail.size()) {
        Vec inner(tail.begin() + long(open) + 1, tail.end() - 1);
        rewriteSelectForms(inner);
        Vec whole = rewriteExpressions(Vec(tail.begin(), tail.begin() + long(open)));
        whole.push_back(tail[open]);
        const Vec select = rewriteExpressions(inner);
        whole.insert(whole.end(), select.begin(), select.end());
        whole.push_back(tail.back());
        tail = std::move(whole);
    } else {
        rewriteSelectForms(tail);
        tail = rewriteExpressions(tail);
    }
    const QString h = render(head);
    const QString rest = render(tail);
    s.sql = rest.isEmpty() ? h : h + u' ' + rest;
    if (!columns && !after.at("default")) s.insert.columnsAt = int(h.size());
    return s;
}

}   // namespace orra::embedded::translator
