#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TokenCursor.h"

namespace orra::embedded::translator {

SqlStatement rewriteSchemaStatement(Vec v)
{
    RewriteCursor c(v);
    if (c.at("create")) {
        // create view V with schemabinding as …: options SQLite's views have no use for
        const size_t as = topLevel(v, 1, {"as"});
        for (size_t k = 1; k + 1 < as; ++k)
            if (v[k].t.is("with") && isOneOf(v[k + 1].t, {"schemabinding", "encryption", "view_metadata"})) {
                size_t end = k + 2;
                while (end + 1 < as && v[end].t.isSymbol(",")) end += 2;
                v.erase(v.begin() + long(k), v.begin() + long(end));
                break;
            }
        // … with check option: a SQLite view takes no writes to check
        if (v.size() > 3 && v[v.size() - 3].t.is("with") && v[v.size() - 2].t.is("check") && v.back().t.is("option"))
            v.resize(v.size() - 3);
    } else if (c.at("drop") && c.at("table", 1) && c.peek(2)) {
        for (NT& n : v)
            if (n.t.isWord() && n.t.text.startsWith(u'#')) n.out = QStringLiteral("temp.") + quoteName(n.t.text);
    } else if (c.at("truncate") && c.at("table", 1) && c.peek(2)) {
        v.erase(v.begin() + 1);
        v[0] = word("delete");
        v.insert(v.begin() + 1, word("from"));
        SqlStatement s = finishedStatement(v);
        s.restartsIdentity = targetTable(v[2]);
        return s;
    }
    return finishedStatement(v);
}

}   // namespace orra::embedded::translator
