// GROUP BY ROLLUP, CUBE, GROUPING SETS, WITH ROLLUP and WITH CUBE, with GROUPING() and
// GROUPING_ID(). SQLite groups by one list only, so the query reads its rows once per grouping
// set: it is cross joined with a small table of the sets (orra_gs: orra_set the set's number,
// orra_left the bits of the grouping expressions the set leaves out) and grouped by the set and by each
// grouping expression made NULL where its set leaves it out. The select list, HAVING and ORDER
// BY read the expressions the same way (outside aggregates), and the grouping functions read
// the bits. Without an ORDER BY the rows come as the documented examples show them: each
// group's subtotal after its rows, the grand total last.
#include "platform/db/embedded/translator/GroupingSets.h"

#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

#include <cstdint>
#include <memory>

namespace orra::embedded::translator {

namespace {

using Sets = std::vector<uint64_t>;   // each set: the bits of the expressions it groups by

constexpr size_t kMaxSets = 4096;
constexpr int kMaxExpressions = 32;
const char* const kSetsAlias = "orra_gs";

struct Expression {
    size_t b = 0, e = 0;   // its tokens in the group by list (outer parentheses stripped)
    QStringList key;       // token texts as compared
    QString collation;     // of a text expression, for the grouping and the implied order
};

QString tokenKey(const NT& n)
{
    QString k = n.out.toLower();
    if (k.size() >= 2 && k.startsWith(u'"') && k.endsWith(u'"')) k = k.mid(1, k.size() - 2);
    return k;
}

bool isAggregate(const Token& t)
{
    return isOneOf(t, {"sum", "avg", "min", "max", "count", "count_big", "stdev", "stdevp", "var", "varp",
                          "string_agg", "checksum_agg"});
}

// One query block: select … from … where … group by … having … order by …
struct Block {
    size_t select = 0;
    size_t from = SIZE_MAX, where = SIZE_MAX, group = SIZE_MAX, listEnd = 0, having = SIZE_MAX,
           order = SIZE_MAX;
    size_t end = 0;          // its closing parenthesis, union, option, or the end of the tokens
    bool compound = false;   // a member of a union, except or intersect
    bool withRollup = false, withCube = false;
};

class GroupingRewrite {
public:
    GroupingRewrite(TranslationContext& ctx, Vec& v, const ExpressionTyper* typer) : m_ctx(ctx), m_v(v), m_typer(typer)
    {
    }

    // Rewrites the block whose GROUP BY is at g; false when it fails (ctx holds the error).
    bool rewrite(size_t g);

private:
    bool findBlock(size_t g);
    size_t clauseEnd(size_t from) const;
    Sets element(size_t b, size_t e);
    Sets groupList(size_t b, size_t e);
    Sets rollup(const Sets& parts) const;
    Sets cube(const Sets& parts) const;
    std::vector<std::pair<size_t, size_t>> split(size_t b, size_t e) const;
    int expressionOf(size_t b, size_t e);
    int matchAt(size_t k, size_t e, size_t& len) const;
    bool fail(const QString& message, long number, size_t at);
    Vec masked(int i, bool collate) const;
    Vec groupingBit(int i) const;
    Vec substitute(size_t b, size_t e, bool selectList);
    bool groupingCall(size_t& k, size_t e, Vec& out);
    Vec setsTable() const;

    TranslationContext& m_ctx;
    Vec& m_v;
    const ExpressionTyper* m_typer;
    Block m_block;
    std::vector<Expression> m_expressions;
    Sets m_sets;
    bool m_failed = false;
};

bool GroupingRewrite::fail(const QString& message, long number, size_t at)
{
    if (!m_failed) {
        const size_t k = at < m_v.size() ? indexOf(m_ctx, m_v[at].t) : m_ctx.size();
        m_ctx.fail(message, number, k);
    }
    m_failed = true;
    return false;
}

bool GroupingRewrite::findBlock(size_t g)
{
    Block b;
    b.group = g;
    int depth = 0;
    size_t k = g;
    bool found = false;
    while (k-- > 0) {
        const Token& t = m_v[k].t;
        if (t.isSymbol(")"))
            ++depth;
        else if (t.isSymbol("(") && --depth < 0)
            break;
        else if (depth == 0 && t.is("select")) {
            b.select = k;
            found = true;
            break;
        }
    }
    if (!found) return false;
    // a union member when a compound word stands right before its select or after its end
    for (size_t j = b.select; j-- > 0;) {
        if (m_v[j].t.is("all") || m_v[j].t.is("distinct")) continue;
        b.compound = isOneOf(m_v[j].t, {"union", "except", "intersect"});
        break;
    }
    depth = 0;
    b.end = m_v.size();
    for (size_t j = g; j < m_v.size(); ++j) {
        const Token& t = m_v[j].t;
        if (t.isSymbol("(")) {
            ++depth;
        } else if (t.isSymbol(")")) {
            if (depth-- == 0) {
                b.end = j;
                break;
            }
        } else if (depth == 0 && (isOneOf(t, {"union", "except", "intersect", "option"}) || t.isSymbol(";"))) {
            if (!t.is("option")) b.compound = true;
            b.end = j;
            break;
        }
    }
    b.from = firstTopLevel(m_v, b.select + 1, g, {"from"});
    if (b.from == g) b.from = SIZE_MAX;
    b.where = firstTopLevel(m_v, b.from == SIZE_MAX ? b.select + 1 : b.from, g, {"where"});
    if (b.where == g) b.where = SIZE_MAX;
    b.having = firstTopLevel(m_v, g, b.end, {"having"});
    b.order = firstTopLevel(m_v, g, b.end, {"order"});
    if (b.having == b.end) b.having = SIZE_MAX;
    if (b.order == b.end) b.order = SIZE_MAX;
    b.listEnd = std::min({b.having, b.order, b.end});
    const size_t with = firstTopLevel(m_v, g + 2, b.listEnd, {"with"});
    if (with + 1 < b.listEnd && (m_v[with + 1].t.is("rollup") || m_v[with + 1].t.is("cube"))) {
        b.withRollup = m_v[with + 1].t.is("rollup");
        b.withCube = !b.withRollup;
        b.listEnd = with;
    }
    m_block = b;
    return true;
}

std::vector<std::pair<size_t, size_t>> GroupingRewrite::split(size_t b, size_t e) const
{
    return splitTopLevel(m_v, b, e);
}

// The number of the grouping expression [b, e), registered when new.
int GroupingRewrite::expressionOf(size_t b, size_t e)
{
    for (;;) {
        // (x) is x; a text grouped by its collation's sort key is the text itself
        if (e - b >= 2 && m_v[b].t.isSymbol("(") && closeOf(m_v, b, e) == e - 1) {
            ++b;
            --e;
        } else if (e - b >= 3 && m_v[b].out == u"orra_group_key" && m_v[b + 1].t.isSymbol("(")
            && closeOf(m_v, b + 1, e) == e - 1) {
            b += 2;
            --e;
        } else {
            break;
        }
    }
    if (b >= e) {
        fail(m_ctx.near(b < m_v.size() ? indexOf(m_ctx, m_v[b].t) : m_ctx.size()), 102, b);
        return -1;
    }
    QStringList key;
    for (size_t k = b; k < e; ++k) key << tokenKey(m_v[k]);
    for (size_t i = 0; i < m_expressions.size(); ++i)
        if (m_expressions[i].key == key) return int(i);
    if (int(m_expressions.size()) >= kMaxExpressions) {
        fail(QStringLiteral("The GROUP BY clause has too many expressions for ROLLUP, CUBE or GROUPING SETS: at most "
                            "%1 are allowed.")
                 .arg(kMaxExpressions),
            102, b);
        return -1;
    }
    Expression x{b, e, key, {}};
    if (m_typer) {
        const size_t ob = indexOf(m_ctx, m_v[b].t), oe = indexOf(m_ctx, m_v[e - 1].t);
        if (ob < m_ctx.size() && oe < m_ctx.size()) {
            const SqlType t = m_typer->typeOf(ob, oe + 1);
            if (t.isString() && !t.collation.isEmpty()) x.collation = t.collation;
        }
    }
    m_expressions.push_back(x);
    return int(m_expressions.size()) - 1;
}

Sets GroupingRewrite::rollup(const Sets& parts) const
{
    Sets out;
    for (size_t n = parts.size() + 1; n-- > 0;) {
        uint64_t bits = 0;
        for (size_t k = 0; k < n; ++k) bits |= parts[k];
        out.push_back(bits);
    }
    return out;
}

Sets GroupingRewrite::cube(const Sets& parts) const
{
    Sets out;
    const size_t n = parts.size();
    for (uint64_t pick = (uint64_t(1) << n); pick-- > 0;) {
        uint64_t bits = 0;
        for (size_t k = 0; k < n; ++k)
            if (pick & (uint64_t(1) << (n - 1 - k))) bits |= parts[k];
        out.push_back(bits);
    }
    return out;
}

Sets product(const Sets& a, const Sets& b)
{
    Sets out;
    out.reserve(a.size() * b.size());
    for (uint64_t x : a)
        for (uint64_t y : b) out.push_back(x | y);
    return out;
}

// One element of a group by list or of a grouping set: an expression, (), ROLLUP (…), CUBE (…),
// GROUPING SETS (…), or (inside GROUPING SETS) a parenthesised list of such elements.
Sets GroupingRewrite::element(size_t b, size_t e)
{
    if (m_failed || b >= e) {
        fail(m_ctx.near(b < m_v.size() ? indexOf(m_ctx, m_v[b].t) : m_ctx.size()), 102, b);
        return {};
    }
    const Token& t = m_v[b].t;
    if (t.isSymbol("(") && b + 1 < e && m_v[b + 1].t.isSymbol(")") && b + 2 == e) return {0};
    const bool rollupCall = t.is("rollup") || t.is("cube");
    if (rollupCall && b + 1 < e && m_v[b + 1].t.isSymbol("(") && closeOf(m_v, b + 1, e) == e - 1) {
        Sets parts;
        for (const auto& [x, y] : split(b + 2, e - 1)) {
            // a part: one expression, or a parenthesised list of them grouped together
            uint64_t bits = 0;
            const bool composite = m_v[x].t.isSymbol("(") && closeOf(m_v, x, y) == y - 1 && split(x + 1, y - 1).size() > 1;
            const auto items = composite ? split(x + 1, y - 1) : std::vector<std::pair<size_t, size_t>>{{x, y}};
            for (const auto& [p, q] : items) {
                const int i = expressionOf(p, q);
                if (i < 0) return {};
                bits |= uint64_t(1) << i;
            }
            parts.push_back(bits);
        }
        return t.is("rollup") ? rollup(parts) : cube(parts);
    }
    if (t.is("grouping") && b + 2 < e && m_v[b + 1].t.is("sets") && m_v[b + 2].t.isSymbol("(")
        && closeOf(m_v, b + 2, e) == e - 1) {
        Sets out;
        for (const auto& [x, y] : split(b + 3, e - 1)) {
            Sets one;
            if (x < y && m_v[x].t.isSymbol("(") && closeOf(m_v, x, y) == y - 1 && y - x > 2) {
                one = {0};
                for (const auto& [p, q] : split(x + 1, y - 1)) one = product(one, element(p, q));
            } else {
                one = element(x, y);
            }
            if (m_failed) return {};
            out.insert(out.end(), one.begin(), one.end());
            if (out.size() > kMaxSets) break;
        }
        return out;
    }
    const int i = expressionOf(b, e);
    if (i < 0) return {};
    return {uint64_t(1) << i};
}

Sets GroupingRewrite::groupList(size_t b, size_t e)
{
    Sets sets{0};
    for (const auto& [x, y] : split(b, e)) {
        sets = product(sets, element(x, y));
        if (m_failed) return {};
        if (sets.size() > kMaxSets) break;
    }
    if (m_block.withRollup || m_block.withCube) {
        Sets parts;
        for (const auto& [x, y] : split(b, e)) parts.push_back(uint64_t(1) << expressionOf(x, y));
        sets = m_block.withRollup ? rollup(parts) : cube(parts);
    }
    if (sets.size() > kMaxSets)
        fail(QStringLiteral("The GROUP BY clause gives more than %1 grouping sets.").arg(kMaxSets), 102, b);
    return sets;
}

// The grouping expression that begins at k (also a qualified column for a bare one and the
// other way round); -1 for none. len is the number of tokens it takes.
int GroupingRewrite::matchAt(size_t k, size_t e, size_t& len) const
{
    if (k > 0 && m_v[k - 1].t.isSymbol(".")) return -1;
    int best = -1;
    len = 0;
    for (size_t i = 0; i < m_expressions.size(); ++i) {
        const QStringList& key = m_expressions[i].key;
        const size_t n = size_t(key.size());
        if (n <= len || k + n > e) continue;
        bool same = true;
        for (size_t j = 0; same && j < n; ++j) same = tokenKey(m_v[k + j]) == key[int(j)];
        if (same && k + n < e && (m_v[k + n].t.isSymbol(".") || m_v[k + n].t.isSymbol("("))) same = false;
        if (same) {
            best = int(i);
            len = n;
        }
    }
    if (best >= 0) return best;
    // t.Col against Col, Col against t.Col
    const bool dotted = k + 2 < e && m_v[k].t.isName() && m_v[k + 1].t.isSymbol(".") && m_v[k + 2].t.isName()
        && !(k + 3 < e && (m_v[k + 3].t.isSymbol(".") || m_v[k + 3].t.isSymbol("(")));
    const bool bare = m_v[k].t.isName() && !isExpressionBoundary(m_v[k].t)
        && !(k + 1 < e && (m_v[k + 1].t.isSymbol(".") || m_v[k + 1].t.isSymbol("(")));
    if (!dotted && !bare) return -1;
    const QString column = tokenKey(m_v[dotted ? k + 2 : k]);
    for (size_t i = 0; i < m_expressions.size(); ++i) {
        const QStringList& key = m_expressions[i].key;
        const bool match = dotted ? key.size() == 1 && key[0] == column
                                  : key.size() == 3 && key[1] == u"." && key[2] == column;
        if (match) {
            len = dotted ? 3 : 1;
            return int(i);
        }
    }
    return -1;
}

Vec GroupingRewrite::groupingBit(int i) const
{
    return {raw(QStringLiteral("((%1.orra_left >> %2) & 1)").arg(QLatin1String(kSetsAlias)).arg(i))};
}

// The expression i as the row's grouping set sees it: NULL where the set leaves it out.
Vec GroupingRewrite::masked(int i, bool collate) const
{
    const Expression& x = m_expressions[size_t(i)];
    Vec out{symbol("("), word("case"), word("when"), raw(QStringLiteral("%1.orra_left & %2").arg(QLatin1String(kSetsAlias)).arg(uint64_t(1) << i)),
        word("then"), word("null"), word("else")};
    out.insert(out.end(), m_v.begin() + long(x.b), m_v.begin() + long(x.e));
    out.push_back(word("end"));
    out.push_back(symbol(")"));
    if (collate && !x.collation.isEmpty()) {
        out.push_back(word("collate"));
        out.push_back(raw(x.collation));
    }
    return out;
}

// GROUPING (x) or GROUPING_ID (x, …) at k: its value from the row's grouping set.
bool GroupingRewrite::groupingCall(size_t& k, size_t e, Vec& out)
{
    const bool id = m_v[k].t.is("grouping_id");
    const size_t close = closeOf(m_v, k + 1, e);
    const auto args = split(k + 2, close);
    if (!id && args.size() != 1)
        return fail(QStringLiteral("The GROUPING function requires 1 argument(s)."), 174, k);
    if (id && args.size() > size_t(kMaxExpressions))
        return fail(QStringLiteral("The GROUPING_ID function requires 0 to 32 argument(s)."), 189, k);
    out.push_back(symbol("("));
    for (size_t n = 0; n < args.size(); ++n) {
        auto [x, y] = args[n];
        while (y - x >= 2 && m_v[x].t.isSymbol("(") && closeOf(m_v, x, y) == y - 1) {
            ++x;
            --y;
        }
        size_t len = 0;
        const int i = x < y ? matchAt(x, y, len) : -1;
        if (i < 0 || x + len != y)
            return fail(QStringLiteral("Argument %1 of the %2 function does not match any of the expressions in the "
                                       "GROUP BY clause.")
                            .arg(n + 1)
                            .arg(id ? QStringLiteral("GROUPING_ID") : QStringLiteral("GROUPING")),
                8161, k);
        // SQLite's | and << bind alike: each shifted bit in its own parentheses
        if (n > 0) out.push_back(raw(QStringLiteral("|")));
        out.push_back(symbol("("));
        const Vec bit = groupingBit(i);
        out.insert(out.end(), bit.begin(), bit.end());
        out.push_back(raw(QStringLiteral("<< %1").arg(args.size() - 1 - n)));
        out.push_back(symbol(")"));
    }
    out.push_back(symbol(")"));
    k = close;
    return true;
}

// The tokens [b, e) with the grouping expressions (outside aggregates and subqueries) as the
// row's set sees them and the grouping functions' values. In a select list, an item that is
// a bare column keeps its name.
Vec GroupingRewrite::substitute(size_t b, size_t e, bool selectList)
{
    Vec out;
    size_t itemStart = b;
    for (size_t k = b; k < e && !m_failed; ++k) {
        const Token& t = m_v[k].t;
        if (t.isSymbol("(") && k + 1 < e && m_v[k + 1].t.is("select")) {
            const size_t c = closeOf(m_v, k, e);
            append(out, m_v, k, std::min(c + 1, e));
            k = c;
            continue;
        }
        if (t.kind == TokenKind::Word && k + 1 < e && m_v[k + 1].t.isSymbol("(")
            && (isAggregate(t) || t.is("over"))) {
            const size_t c = closeOf(m_v, k + 1, e);
            append(out, m_v, k, std::min(c + 1, e));
            k = c;
            continue;
        }
        if ((t.is("grouping") || t.is("grouping_id")) && k + 1 < e && m_v[k + 1].t.isSymbol("(")) {
            if (!groupingCall(k, e, out)) return {};
            continue;
        }
        if (selectList && t.isSymbol(",")) itemStart = k + 1;
        if (t.is("as") || (k > b && m_v[k - 1].t.is("as"))) {
            out.push_back(m_v[k]);
            continue;
        }
        size_t len = 0;
        const int i = matchAt(k, e, len);
        if (i < 0) {
            out.push_back(m_v[k]);
            continue;
        }
        const Vec m = masked(i, false);
        out.insert(out.end(), m.begin(), m.end());
        const size_t after = k + len;
        const bool wholeItem = selectList && k == itemStart && (after == e || m_v[after].t.isSymbol(","));
        if (wholeItem && (len == 1 || len == 3) && m_v[after - 1].t.isName()) {
            out.push_back(word("as"));
            out.push_back(raw(quoteName(m_v[after - 1].t.text)));
        }
        k = after - 1;
    }
    return out;
}

Vec GroupingRewrite::setsTable() const
{
    QString sql = QStringLiteral("cross join (");
    for (size_t n = 0; n < m_sets.size(); ++n) {
        const uint64_t all = (uint64_t(1) << m_expressions.size()) - 1;
        const uint64_t left = all & ~m_sets[n];
        if (n == 0)
            sql += QStringLiteral("select 0 as orra_set, %1 as orra_left").arg(left);
        else
            sql += QStringLiteral(" union all select %1, %2").arg(n).arg(left);
    }
    sql += QStringLiteral(") as ") + QLatin1String(kSetsAlias);
    return {raw(sql)};
}

bool GroupingRewrite::rewrite(size_t g)
{
    if (!findBlock(g)) return false;
    const Block& b = m_block;
    m_sets = groupList(g + 2, b.listEnd);
    if (m_failed) return false;
    // the select list begins after distinct and top
    size_t listBegin = b.select + 1;
    if (listBegin < m_v.size() && (m_v[listBegin].t.is("distinct") || m_v[listBegin].t.is("all"))) ++listBegin;
    if (listBegin < m_v.size() && m_v[listBegin].t.is("top")) {
        listBegin = (listBegin + 1 < m_v.size() && m_v[listBegin + 1].t.isSymbol("("))
            ? closeOf(m_v, listBegin + 1, m_v.size()) + 1
            : listBegin + 2;
        if (listBegin < m_v.size() && m_v[listBegin].t.is("percent")) ++listBegin;
        if (listBegin + 1 < m_v.size() && m_v[listBegin].t.is("with") && m_v[listBegin + 1].t.is("ties")) listBegin += 2;
    }
    const size_t listEnd = std::min({b.from, b.where, g});
    const size_t fromEnd = std::min(b.where, g);

    Vec out(m_v.begin(), m_v.begin() + long(listBegin));
    const Vec list = substitute(listBegin, firstTopLevel(m_v, listBegin, listEnd, {"into"}), true);
    if (m_failed) return false;
    out.insert(out.end(), list.begin(), list.end());
    append(out, m_v, firstTopLevel(m_v, listBegin, listEnd, {"into"}), fromEnd);
    if (b.from == SIZE_MAX) out.push_back(word("from"));
    const Vec table = setsTable();
    if (b.from == SIZE_MAX) {
        // no table: the sets alone
        out.push_back(raw(table[0].out.mid(QStringLiteral("cross join ").size())));
    } else {
        out.insert(out.end(), table.begin(), table.end());
    }
    append(out, m_v, fromEnd, g + 2);
    out.push_back(raw(QLatin1String(kSetsAlias) + QStringLiteral(".orra_set")));
    for (size_t i = 0; i < m_expressions.size(); ++i) {
        out.push_back(symbol(","));
        const Vec m = masked(int(i), true);
        out.insert(out.end(), m.begin(), m.end());
    }
    size_t at = b.listEnd;
    if (b.withRollup || b.withCube) at += 2;
    if (b.having != SIZE_MAX) {
        append(out, m_v, at, b.having + 1);
        const Vec h = substitute(b.having + 1, std::min(b.order, b.end), false);
        if (m_failed) return false;
        out.insert(out.end(), h.begin(), h.end());
        at = std::min(b.order, b.end);
    }
    if (b.order != SIZE_MAX) {
        append(out, m_v, at, b.order + 2);
        const size_t orderEnd = firstTopLevel(m_v, b.order + 2, b.end, {"offset", "for"});
        const Vec o = substitute(b.order + 2, orderEnd, false);
        if (m_failed) return false;
        out.insert(out.end(), o.begin(), o.end());
        at = orderEnd;
    } else if (!b.compound) {
        append(out, m_v, at, b.end);
        at = b.end;
        out.push_back(word("order"));
        out.push_back(word("by"));
        for (size_t i = 0; i < m_expressions.size(); ++i) {
            const Vec bit = groupingBit(int(i));
            out.insert(out.end(), bit.begin(), bit.end());
            out.push_back(symbol(","));
            const Vec m = masked(int(i), true);
            out.insert(out.end(), m.begin(), m.end());
            out.push_back(symbol(","));
        }
        out.push_back(raw(QLatin1String(kSetsAlias) + QStringLiteral(".orra_set")));
    }
    append(out, m_v, at, m_v.size());
    m_v = std::move(out);
    return true;
}

bool needsSets(const Vec& v, size_t g, size_t end)
{
    for (size_t k = g + 2; k < end; ++k)
        if (v[k].t.is("rollup") || v[k].t.is("cube") || (v[k].t.is("grouping") && k + 1 < end && v[k + 1].t.is("sets")))
            return true;
    return false;
}

}   // namespace

void rewriteGroupingSets(TranslationContext& ctx, Vec& v)
{
    bool any = false;
    for (const NT& n : v)
        if (isOneOf(n.t, {"rollup", "cube", "grouping", "grouping_id"})) any = true;
    if (!any) return;
    std::unique_ptr<ExpressionTyper> typer;
    if (ctx.schema()) typer = std::make_unique<ExpressionTyper>(ctx);
    // innermost blocks last: each pass takes the last group by not yet rewritten
    for (size_t pass = 0; pass < 64; ++pass) {
        size_t found = SIZE_MAX;
        for (size_t k = v.size(); k-- > 1;) {
            if (!v[k - 1].t.is("group") || !v[k].t.is("by")) continue;
            if (k + 1 < v.size() && v[k + 1].out == QLatin1String(kSetsAlias) + QStringLiteral(".orra_set")) continue;
            // a plain group by needs the sets only when the grouping functions read it
            int depth = 0;
            size_t end = v.size();
            for (size_t j = k + 1; j < v.size(); ++j) {
                if (v[j].t.isSymbol("(")) ++depth;
                else if (v[j].t.isSymbol(")") && depth-- == 0) {
                    end = j;
                    break;
                }
            }
            size_t start = k - 1;
            depth = 0;
            while (start-- > 0) {
                if (v[start].t.isSymbol(")")) ++depth;
                else if (v[start].t.isSymbol("(") && depth-- == 0) break;
            }
            bool reads = needsSets(v, k - 1, end);
            for (size_t j = start + 1; !reads && j < end; ++j)
                reads = (v[j].t.is("grouping") || v[j].t.is("grouping_id")) && j + 1 < end && v[j + 1].t.isSymbol("(");
            if (reads) {
                found = k - 1;
                break;
            }
        }
        if (found == SIZE_MAX) return;
        GroupingRewrite r(ctx, v, typer.get());
        if (!r.rewrite(found)) {
            if (!ctx.failed()) ctx.fail(ctx.near(indexOf(ctx, v[found].t)), 102, indexOf(ctx, v[found].t));
            return;
        }
    }
}

}   // namespace orra::embedded::translator
