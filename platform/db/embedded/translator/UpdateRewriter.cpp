#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/FromClause.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

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

namespace {

// The end of the set clause whose "set" is at s: the clause after it at its depth.
size_t setClauseEnd(const Vec& v, size_t s)
{
    size_t end = s + 1;
    for (int depth = 0; end < v.size(); ++end) {
        if (v[end].t.isSymbol("("))
            ++depth;
        else if (v[end].t.isSymbol(")") && --depth < 0)
            break;
        else if (depth == 0 && isOneOf(v[end].t, {"from", "where", "option", "output", "when", "set"}))
            break;
    }
    return end;
}

// orra_set(slot, result, value): the variable takes value, the expression is result.
Vec setVariable(int slot, const Vec& result, const Vec& value)
{
    Vec out{word("orra_set"), symbol("("), number(QString::number(slot)), symbol(",")};
    out.insert(out.end(), result.begin(), result.end());
    out.push_back(symbol(","));
    out.insert(out.end(), value.begin(), value.end());
    out.push_back(symbol(")"));
    return out;
}

// The variables a set clause assigns, row by row as the rows are updated: "@v = c = x" (and
// "@v = c op= x") gives the column x and the variable the same value, "@v = x" and "@v op= x"
// ride on the clause's first column assignment. Within the clause the variables it assigns are
// read as they are at that row (a running total), never as the statement began. False (with the
// error) for a clause that assigns no column.
bool rewriteVariableAssignments(TranslationContext& ctx, Vec& v)
{
    Vec out;
    size_t copied = 0;
    const std::optional<InsertTarget> table = changedTable(v);
    for (size_t s = 0; s < v.size(); ++s) {
        if (!v[s].t.is("set")) continue;
        const size_t end = setClauseEnd(v, s);
        const auto items = splitTopLevel(v, s + 1, end);
        std::vector<Vec> columns;
        std::vector<std::pair<int, Vec>> alone;   // @v = x: the slot and its converted value
        std::vector<int> targets;
        for (const auto& [x, y] : items) {
            if (!(x < y && v[x].t.isWord() && v[x].t.text.startsWith(u'@'))) {
                columns.emplace_back(v.begin() + long(x), v.begin() + long(y));
                continue;
            }
            const Variable* var = ctx.variable(v[x].t.text);
            if (!var || var->slot < 0) {
                ctx.fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(v[x].t.text), 137, ctx.size());
                return false;
            }
            targets.push_back(var->slot);
            QString op;
            size_t size = x + 1 < y && v[x + 1].t.isSymbol("=") ? 1 : compoundOperator(v, x + 1, y, op);
            if (size == 0 || x + 1 + size >= y) {
                ctx.fail(ctx.near(ctx.size()), ctx.size());
                return false;
            }
            const size_t b = x + 1 + size;
            // @v = c = x, @v = c op= x: the column named, then its operator
            size_t k = b;
            if (op.isEmpty() && v[k].t.isName() && !v[k].t.text.startsWith(u'@')) {
                ++k;
                while (k + 1 < y && v[k].t.isSymbol(".") && v[k + 1].t.isName()) k += 2;
            }
            QString columnOp;
            const size_t columnSize = k > b && k < y
                ? (v[k].t.isSymbol("=") ? 1 : compoundOperator(v, k, y, columnOp))
                : 0;
            if (columnSize > 0) {
                const Vec column(v.begin() + long(b), v.begin() + long(k));
                const Vec x0(v.begin() + long(k + columnSize), v.begin() + long(y));
                const Vec value = columnOp.isEmpty() ? x0 : compoundValue(column, columnOp, v[k].t, x0);
                Vec item = column;
                // (never the written "=", which the typed rewrites would read as "@v = c"'s comparison)
                NT assign = symbol("=");
                assign.t.pos = -1;
                item.push_back(assign);
                // the variable takes the value the column takes
                Vec stored = value;
                if (const Schema* schema = ctx.schema(); schema && table && column.size() >= 1)
                    convertTo(stored, 0, stored.size(),
                        SqlType::fromDeclared(schema->columnType(table->schema, table->name, column.back().t.text)));
                const size_t first = indexOf(ctx, column.front().t), last = indexOf(ctx, column.back().t);
                const Vec assigned = setVariable(var->slot, value,
                    last < ctx.size() ? ctx.convertedTo(*var, stored, first, last + 1) : ctx.convertedTo(*var, stored));
                item.insert(item.end(), assigned.begin(), assigned.end());
                columns.push_back(std::move(item));
                continue;
            }
            const Vec x0(v.begin() + long(b), v.begin() + long(y));
            const Vec value = op.isEmpty() ? x0 : compoundValue(Vec{v[x]}, op, v[x + 1].t, x0);
            // converted by the type of x (of @v op x), as SET @v = … converts it
            const size_t xb = indexOf(ctx, v[b].t), xe = indexOf(ctx, v[y - 1].t);
            alone.emplace_back(var->slot,
                xb < xe + 1 && xe < ctx.size() ? ctx.convertedTo(*var, value, ctx.assignedType(*var, op, xb, xe + 1))
                                               : ctx.convertedTo(*var, value));
        }
        if (targets.empty()) {
            s = end - 1;
            continue;
        }
        if (columns.empty()) {
            ctx.fail(QStringLiteral("The embedded server does not run an UPDATE whose SET clause assigns only "
                                    "variables: assign them in a SELECT."),
                0, ctx.size());
            return false;
        }
        // the lone variables ride on the first column's value, the first of them assigned first
        Vec& first = columns.front();
        size_t eq = 1;
        QString firstOp;
        size_t firstSize = 0;
        while (eq < first.size() && !first[eq].t.isSymbol("=")
            && (firstSize = compoundOperator(first, eq, first.size(), firstOp)) == 0)
            ++eq;
        if (firstSize > 0) {   // c op= x: the value it assigns, as c = c op (x)
            const Vec column(first.begin(), first.begin() + long(eq));
            const Vec value = compoundValue(column, firstOp, first[eq].t,
                Vec(first.begin() + long(eq + firstSize), first.end()));
            first = column;
            first.push_back(symbol("="));
            first.back().t.pos = -1;
            first.insert(first.end(), value.begin(), value.end());
        }
        if (eq < first.size()) {
            Vec value(first.begin() + long(eq) + 1, first.end());
            for (const auto& [slot, assigned] : alone) value = setVariable(slot, value, assigned);
            first.erase(first.begin() + long(eq) + 1, first.end());
            first.insert(first.end(), value.begin(), value.end());
        }
        append(out, v, copied, s + 1);
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c > 0) out.push_back(symbol(","));
            for (NT n : columns[c]) {
                // a variable the clause assigns, read as it is at this row
                const int slot = n.out.startsWith(QLatin1String(":v")) ? n.out.mid(2).toInt() : -1;
                if (slot >= 0 && std::find(targets.begin(), targets.end(), slot) != targets.end())
                    n.out = QStringLiteral("orra_variable(%1)").arg(slot);
                out.push_back(n);
            }
        }
        copied = end;
        s = end - 1;
    }
    if (copied == 0) return true;
    append(out, v, copied, v.size());
    v = std::move(out);
    return true;
}

}   // namespace

bool rewriteCompoundAssignments(TranslationContext& ctx, Vec& v)
{
    if (v.empty() || !isOneOf(v[0].t, {"update", "merge", "with"})) return true;
    if (!rewriteVariableAssignments(ctx, v)) return false;
    Vec out;
    size_t copied = 0;
    for (size_t s = 0; s < v.size(); ++s) {
        if (!v[s].t.is("set")) continue;
        // the assignments: up to the clause after them at their depth
        const size_t end = setClauseEnd(v, s);
        for (const auto& [x, y] : splitTopLevel(v, s + 1, end)) {
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
