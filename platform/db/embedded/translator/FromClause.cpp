#include "platform/db/embedded/translator/FromClause.h"

namespace orra::embedded::translator {

std::vector<FromItem> fromItems(const Vec& v, size_t from, size_t end)
{
    std::vector<FromItem> items;
    size_t i = from;
    QString kind;
    while (i < end) {
        FromItem it;
        it.joinKind = kind;
        it.begin = i;
        if (i >= end || !v[i].t.isName()) return {};
        it.table = v[i].out;
        it.alias = v[i].t.text;
        ++i;
        if (i < end && v[i].t.is("as")) ++i;
        if (i < end && v[i].t.isName()
            && !isOneOf(v[i].t, {"inner", "left", "right", "full", "cross", "join", "on", "where"})) {
            it.alias = v[i].t.text;
            ++i;
        }
        it.end = i;
        if (i < end && v[i].t.is("on")) {
            it.onBegin = ++i;
            int depth = 0;
            while (i < end) {
                if (v[i].t.isSymbol("("))
                    ++depth;
                else if (v[i].t.isSymbol(")"))
                    --depth;
                else if (depth == 0 && isOneOf(v[i].t, {"inner", "left", "right", "full", "cross", "join"}))
                    break;
                else if (depth == 0 && v[i].t.isSymbol(","))
                    break;
                ++i;
            }
            it.onEnd = i;
        }
        items.push_back(it);
        if (i >= end) break;
        if (v[i].t.isSymbol(",")) {
            kind = QStringLiteral(",");
            ++i;
            continue;
        }
        kind.clear();
        while (i < end && isOneOf(v[i].t, {"inner", "left", "right", "full", "outer", "cross"})) {
            kind += v[i].t.text.toLower();
            ++i;
        }
        if (i < end && v[i].t.is("join")) {
            if (kind.isEmpty()) kind = QStringLiteral("inner");
            ++i;
            continue;
        }
        return {};
    }
    return items;
}

size_t itemNamed(const std::vector<FromItem>& items, const QString& alias)
{
    for (size_t k = 0; k < items.size(); ++k)
        if (QString::compare(items[k].alias, alias, Qt::CaseInsensitive) == 0) return k;
    return items.size();
}

size_t itemNamed(const std::vector<FromItem>& items, const NT& target)
{
    const size_t hit = itemNamed(items, target.t.text);
    if (hit < items.size()) return hit;
    // Sales.T is named by its table: its alias in the from clause is another name.
    for (size_t k = 0; k < items.size(); ++k)
        if (items[k].table == target.out && items[k].alias.compare(target.t.text, Qt::CaseInsensitive) != 0
            && target.t.kind == TokenKind::QuotedName && target.out.contains(u'.'))
            return k;
    return items.size();
}

void appendRowidsPicked(Vec& out, const QString& alias, const Vec& v, size_t from)
{
    out.push_back(word("in"));
    out.push_back(symbol("("));
    out.push_back(word("select"));
    out.push_back(raw(quoteName(alias) + QStringLiteral(".rowid")));
    append(out, v, from, v.size());
    out.push_back(symbol(")"));
}

}   // namespace orra::embedded::translator
