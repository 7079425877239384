#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/FromClause.h"
#include "platform/db/embedded/translator/Rewriters.h"

namespace orra::embedded::translator {

namespace {

// delete [top (n) [percent]] tb where … | delete from tb … | delete d from … inner join … where …
// The rows a top takes are picked by a select of their rowids with that top.
void rewriteDeleteTarget(Vec& v, const Vec& top);

void rewriteDeleteTarget(Vec& v)
{
    Vec top;
    if (v.size() > 2 && v[1].t.is("top")) {
        size_t e = v[2].t.isSymbol("(") ? closeOf(v, 2, v.size()) + 1 : 3;
        if (e < v.size() && v[e].t.is("percent")) ++e;
        e = std::min(e, v.size());
        top.assign(v.begin() + 1, v.begin() + long(e));
        v.erase(v.begin() + 1, v.begin() + long(e));
    }
    rewriteDeleteTarget(v, top);
}

void rewriteDeleteTarget(Vec& v, const Vec& top)
{
    if (v.size() < 2) return;
    if (v[1].t.is("from")) {
        // delete from T from …: the target named once more, as in delete T from …
        const bool twice = v.size() >= 4 && topLevel(v, 3, {"from"}) < v.size();
        if (!twice && top.empty()) return;
        v.erase(v.begin() + 1);
    }
    const NT target = v[1];
    const size_t from = topLevel(v, 2, {"from"});
    Vec out;
    out.push_back(word("delete"));
    out.push_back(word("from"));
    if (from >= v.size() && top.empty()) {
        out.push_back(target);
        out.insert(out.end(), v.begin() + 2, v.end());
        v = out;
        return;
    }
    if (from >= v.size()) {
        // delete top (n) T where …: delete from T where rowid in (select top (n) rowid from T where …),
        // T of one, two or three parts
        size_t end = 2;
        while (end < v.size() && v[end].t.isSymbol(".")) end += (end + 1 < v.size() && v[end + 1].t.isSymbol(".")) ? 1 : 2;
        end = std::min(end, v.size());
        const Vec name(v.begin() + 1, v.begin() + long(end));
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(word("where"));
        out.push_back(word("rowid"));
        out.push_back(word("in"));
        out.push_back(symbol("("));
        out.push_back(word("select"));
        out.insert(out.end(), top.begin(), top.end());
        out.push_back(word("rowid"));
        out.push_back(word("from"));
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), v.begin() + long(end), v.end());
        out.push_back(symbol(")"));
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
    const size_t select = out.size() + 2;   // in ( select
    appendRowidsPicked(out, alias, v, from);
    out.insert(out.begin() + long(select) + 1, top.begin(), top.end());
    v = out;
}

}   // namespace

SqlStatement rewriteDelete(Vec v)
{
    rewriteDeleteTarget(v);
    return finishedStatement(v, true);
}

}   // namespace orra::embedded::translator
