// create or alter view and alter view: SQLite has neither, so the view is dropped and made
// anew from its new definition.
#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TokenCursor.h"

namespace orra::embedded::translator {

Statement rewriteViewChange(Vec v)
{
    const bool orAlter = RewriteCursor(v).at("or", 1);
    const size_t view = orAlter ? 3 : 1;
    if (view + 1 >= v.size()) return {finishedStatement(v)};
    SqlStatement drop;
    drop.sql = QStringLiteral("drop view %1%2").arg(orAlter ? QStringLiteral("if exists ") : QString(), v[view + 1].out);
    Vec create{word("create")};
    create.insert(create.end(), v.begin() + long(view), v.end());
    BlockStatement block;
    block.body.push_back({drop});
    block.body.push_back({rewriteSchemaStatement(std::move(create))});
    return {block};
}

}   // namespace orra::embedded::translator
