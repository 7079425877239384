#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/FromClause.h"
#include "platform/db/embedded/translator/Rewriters.h"

namespace orra::embedded::translator {

namespace {

// The assignments in [begin, end) with the qualifier of each target column dropped
// ("t.Name=" becomes "Name=").
Vec unqualifiedAssignments(const Vec& v, size_t begin, size_t end)
{
    Vec assignments;
    bool start = true;
    int depth = 0;
    for (size_t i = begin; i < end; ++i) {
        const NT& n = v[i];
        if (start && i + 2 < end && n.t.isName() && v[i + 1].t.isSymbol(".") && v[i + 2].t.isName()) {
            i += 1;
            start = false;
            continue;
        }
        start = false;
        if (n.t.isSymbol("("))
            ++depth;
        else if (n.t.isSymbol(")"))
            --depth;
        else if (depth == 0 && n.t.isSymbol(","))
            start = true;
        assignments.push_back(n);
    }
    return assignments;
}

// "and"s the condition in [b, e) of v to conditions, in parentheses.
void conjoin(Vec& conditions, const Vec& v, size_t b, size_t e)
{
    if (!conditions.empty()) conditions.push_back(word("and"));
    conditions.push_back(symbol("("));
    append(conditions, v, b, e);
    conditions.push_back(symbol(")"));
}

// The target is the first item and only inner joins follow: the other items become SQLite's
// from clause and their join conditions join the where clause.
void joinAsFromAndWhere(Vec& out, const Vec& v, const std::vector<FromItem>& items, size_t where)
{
    out.push_back(word("from"));
    Vec conditions;
    for (size_t k = 1; k < items.size(); ++k) {
        if (k > 1) out.push_back(symbol(","));
        append(out, v, items[k].begin, items[k].end);
        if (items[k].onEnd > items[k].onBegin) conjoin(conditions, v, items[k].onBegin, items[k].onEnd);
    }
    if (where < v.size()) conjoin(conditions, v, where + 1, v.size());
    if (!conditions.empty()) {
        out.push_back(word("where"));
        out.insert(out.end(), conditions.begin(), conditions.end());
    }
}

// update top (n) [percent] T set … [from …] [where …]: the rows are those a select of their
// rowids with that top picks.
void pickTopRows(Vec& v, const Vec& top)
{
    const size_t set = topLevel(v, 1, {"set"});
    if (set >= v.size()) return;
    const size_t from = topLevel(v, set + 1, {"from"});
    const size_t where = topLevel(v, set + 1, {"where"});
    Vec out(v.begin(), v.begin() + long(std::min(from, where)));
    const NT target = v[1];
    QString alias = target.t.text;
    if (from < v.size()) {
        // the target is one of the from clause's items: it is updated under its alias
        const std::vector<FromItem> items = fromItems(v, from + 1, std::min(where, v.size()));
        const size_t hit = itemNamed(items, target);
        if (hit == items.size()) return;   // not a shape of the subset: SQLite will say what is wrong
        alias = items[hit].alias;
        out[1] = raw(items[hit].table + QStringLiteral(" as ") + quoteName(alias));
    }
    out.push_back(word("where"));
    out.push_back(raw(quoteName(alias) + QStringLiteral(".rowid")));
    const size_t select = out.size() + 2;   // in ( select
    if (from < v.size()) {
        appendRowidsPicked(out, alias, v, from);
    } else {
        Vec source{word("from"), target};
        source.insert(source.end(), v.begin() + long(where), v.end());
        appendRowidsPicked(out, alias, source, 0);
    }
    out.insert(out.begin() + long(select) + 1, top.begin(), top.end());
    v = out;
}

// update t set t.C=… [from D..tb t [inner join …]] [where …]
void rewriteUpdateTarget(Vec& v)
{
    if (v.size() > 2 && v[1].t.is("top")) {
        size_t e = v[2].t.isSymbol("(") ? closeOf(v, 2, v.size()) + 1 : 3;
        if (e < v.size() && v[e].t.is("percent")) ++e;
        e = std::min(e, v.size());
        const Vec top(v.begin() + 1, v.begin() + long(e));
        v.erase(v.begin() + 1, v.begin() + long(e));
        pickTopRows(v, top);
    }
    if (v.size() < 4) return;
    const size_t set = topLevel(v, 1, {"set"});
    if (set >= v.size()) return;
    const size_t from = topLevel(v, set + 1, {"from"});
    const size_t where = topLevel(v, set + 1, {"where"});
    const Vec assignments = unqualifiedAssignments(v, set + 1, std::min(from, where));
    Vec out;
    const NT target = v[1];
    if (from >= v.size()) {
        out.push_back(word("update"));
        out.push_back(target);
        out.push_back(word("set"));
        out.insert(out.end(), assignments.begin(), assignments.end());
        out.insert(out.end(), v.begin() + long(where), v.end());
        v = out;
        return;
    }
    const size_t fromEnd = std::min(where, v.size());
    const std::vector<FromItem> items = fromItems(v, from + 1, fromEnd);
    const size_t hit = itemNamed(items, target);
    if (hit == items.size()) return;   // not a shape of the subset: SQLite will say what is wrong
    const FromItem& t = items[hit];
    out.push_back(word("update"));
    out.push_back(raw(t.table));
    out.push_back(word("as"));
    out.push_back(raw(quoteName(t.alias)));
    out.push_back(word("set"));
    out.insert(out.end(), assignments.begin(), assignments.end());
    bool innerOnly = true;
    for (size_t k = 1; k < items.size(); ++k)
        if (items[k].joinKind != u"inner" && items[k].joinKind != u",") innerOnly = false;
    if (items.size() == 1) {
        out.insert(out.end(), v.begin() + long(where), v.end());
    } else if (hit == 0 && innerOnly) {
        joinAsFromAndWhere(out, v, items, where);
    } else {
        // Other joins: pick the rows through their rowid.
        out.push_back(word("where"));
        out.push_back(raw(quoteName(t.alias) + QStringLiteral(".rowid")));
        appendRowidsPicked(out, t.alias, v, from);
    }
    v = out;
}

}   // namespace

namespace {

// The compound operator ("+=" … "^=") of an assignment at i, and how many tokens it takes (the
// lexer reads "%=", "&=", "|=" and "^=" as two); 0 for none.
size_t compoundOperator(const Vec& v, size_t i, size_t end, QString& op)
{
    const Token& t = v[i].t;
    if (t.kind != TokenKind::Symbol) return 0;
    if (t.text == u"+=" || t.text == u"-=" || t.text == u"*=" || t.text == u"/=") {
        op = t.text.left(1);
        return 1;
    }
    if ((t.text == u"%" || t.text == u"&" || t.text == u"|" || t.text == u"^") && i + 1 < end
        && v[i + 1].t.isSymbol("=") && !v[i + 1].t.spaceBefore) {
        op = t.text;
        return 2;
    }
    return 0;
}

}   // namespace

// The value "c op= x" assigns: "c op (x)"; for "^=" "(c | (x)) - (c & (x))" (SQLite has no
// exclusive or). The operator keeps the place of the compound one (at), so that the rewrites
// by type read it as the operation between c and x.
Vec compoundValue(const Vec& target, const QString& op, const Token& at, const Vec& x)
{
    const auto operation = [&](const QString& o) {
        Vec e = target;
        e.push_back(operatorToken(o));
        if (at.text.size() == 2) e.back().t.pos = at.pos;
        e.push_back(symbol("("));
        e.insert(e.end(), x.begin(), x.end());
        e.push_back(symbol(")"));
        return e;
    };
    if (op != u"^") return operation(op);
    Vec out;
    for (const char* bit : {"|", "&"}) {
        if (bit[0] == '&') out.push_back(operatorToken(QStringLiteral("-")));
        out.push_back(symbol("("));
        const Vec e = operation(QString::fromLatin1(bit));
        out.insert(out.end(), e.begin(), e.end());
        out.push_back(symbol(")"));
    }
    return out;
}

bool rewriteCompoundAssignments(TranslationContext& ctx, Vec& v)
{
    if (v.empty() || !isOneOf(v[0].t, {"update", "merge", "with"})) return true;
    Vec out;
    size_t copied = 0;
    for (size_t s = 0; s < v.size(); ++s) {
        if (!v[s].t.is("set")) continue;
        // the assignments: up to the clause after them at their depth
        size_t end = s + 1;
        for (int depth = 0; end < v.size(); ++end) {
            if (v[end].t.isSymbol("("))
                ++depth;
            else if (v[end].t.isSymbol(")") && --depth < 0)
                break;
            else if (depth == 0 && isOneOf(v[end].t, {"from", "where", "option", "output", "when", "set"}))
                break;
        }
        for (const auto& [x, y] : splitTopLevel(v, s + 1, end)) {
            if (x < y && v[x].t.isWord() && v[x].t.text.startsWith(u'@')) {
                ctx.fail(QStringLiteral("The embedded server does not run assignments of variables in an UPDATE "
                                        "statement's SET clause ('%1 = …'): assign them in a SELECT.")
                             .arg(v[x].t.text),
                    ctx.size());
                return false;
            }
            for (size_t k = x; k < y; ++k) {
                if (v[k].t.isSymbol("(")) {
                    k = closeOf(v, k, y);
                    continue;
                }
                if (v[k].t.isSymbol("=")) break;
                QString o;
                const size_t size = compoundOperator(v, k, y, o);
                if (size == 0) continue;
                append(out, v, copied, x);
                const Vec target(v.begin() + long(x), v.begin() + long(k));
                const Vec value(v.begin() + long(k + size), v.begin() + long(y));
                const Vec assigned = compoundValue(target, o, v[k].t, value);
                out.insert(out.end(), target.begin(), target.end());
                out.push_back(symbol("="));
                out.insert(out.end(), assigned.begin(), assigned.end());
                copied = y;
                break;
            }
        }
        s = end - 1;
    }
    if (copied == 0) return true;
    append(out, v, copied, v.size());
    v = std::move(out);
    return true;
}

SqlStatement rewriteUpdate(Vec v)
{
    rewriteUpdateTarget(v);
    return finishedStatement(v, true);
}

}   // namespace orra::embedded::translator
