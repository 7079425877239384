#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TokenCursor.h"

namespace orra::embedded::translator {

SqlStatement rewriteSchemaStatement(Vec v)
{
    RewriteCursor c(v);
    if (c.at("create")) {
        // create [unique] [non]clustered index: SQLite has no clustering
        std::erase_if(v, [](const NT& n) { return n.t.is("clustered") || n.t.is("nonclustered"); });
    } else if (c.at("drop") && c.at("table", 1) && c.peek(2)) {
        for (NT& n : v)
            if (n.t.isWord() && n.t.text.startsWith(u'#')) n.out = QStringLiteral("temp.") + quoteName(n.t.text);
    } else if (c.at("truncate") && c.at("table", 1) && c.peek(2)) {
        v.erase(v.begin() + 1);
        v[0] = word("delete");
        v.insert(v.begin() + 1, word("from"));
    }
    return finishedStatement(v);
}

}   // namespace orra::embedded::translator
