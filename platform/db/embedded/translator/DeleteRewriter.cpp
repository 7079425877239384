#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/FromClause.h"
#include "platform/db/embedded/translator/Rewriters.h"

namespace orra::embedded::translator {

namespace {

// delete tb where … | delete from tb … | delete d from … inner join … where …
void rewriteDeleteTarget(Vec& v)
{
    if (v.size() < 2) return;
    if (v[1].t.is("from")) {
        // delete from T from …: the target named once more, as in delete T from …
        if (v.size() < 4 || topLevel(v, 3, {"from"}) >= v.size()) return;
        v.erase(v.begin() + 1);
    }
    const NT target = v[1];
    const size_t from = topLevel(v, 2, {"from"});
    Vec out;
    out.push_back(word("delete"));
    out.push_back(word("from"));
    if (from >= v.size()) {
        out.push_back(target);
        out.insert(out.end(), v.begin() + 2, v.end());
        v = out;
        return;
    }
    const size_t where = topLevel(v, from + 1, {"where"});
    const std::vector<FromItem> items = fromItems(v, from + 1, std::min(where, v.size()));
    const size_t hit = itemNamed(items, target);
    QString table = target.out;
    QString alias = target.t.text;
    if (hit < items.size() && !items[hit].table.isEmpty()) {
        table = items[hit].table;
        alias = items[hit].alias;
    }
    out.push_back(raw(table));
    out.push_back(word("where"));
    out.push_back(word("rowid"));
    appendRowidsPicked(out, alias, v, from);
    v = out;
}

}   // namespace

SqlStatement rewriteDelete(Vec v)
{
    rewriteDeleteTarget(v);
    return finishedStatement(v, true);
}

}   // namespace orra::embedded::translator
