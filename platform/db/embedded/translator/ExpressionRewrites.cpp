#include "platform/db/embedded/translator/ExpressionRewrites.h"

namespace orra::embedded::translator {

namespace {

bool isOperand(const NT& n)
{
    switch (n.t.kind) {
    case TokenKind::Number:
    case TokenKind::String:
    case TokenKind::QuotedName:
        return true;
    case TokenKind::Word:
        return !isExpressionBoundary(n.t) || n.t.is("null");
    case TokenKind::Symbol:
        return n.t.text == u"." || n.t.text == u"*" || n.t.text == u"/" || n.t.text == u"%" || n.t.text == u"~"
            || n.t.text == u"?" || n.t.text == u"\x01";
    }
    return false;
}

void emitPlain(Vec& out, std::vector<Vec>& terms, const std::vector<QString>& ops)
{
    for (size_t k = 0; k < terms.size(); ++k) {
        if (k > 0) out.push_back(operatorToken(ops[k - 1]));
        out.insert(out.end(), terms[k].begin(), terms[k].end());
    }
}

// Terms handed to one call: SQLite takes at most 127 arguments per function.
constexpr size_t kChainArguments = 100;

// Emits the terms as arguments of one call: directly when few, else packed into
// orra_list values (lists of lists when very many), which orra_add unpacks in order.
void emitPacked(Vec& out, std::vector<Vec>& terms, size_t from, size_t to)
{
    const size_t count = to - from;
    if (count <= kChainArguments) {
        for (size_t k = from; k < to; ++k) {
            if (k > from) out.push_back(symbol(","));
            out.insert(out.end(), terms[k].begin(), terms[k].end());
        }
        return;
    }
    size_t chunk = kChainArguments;
    while (count > chunk * kChainArguments) chunk *= kChainArguments;
    for (size_t k = from; k < to; k += chunk) {
        if (k > from) out.push_back(symbol(","));
        out.push_back(word("orra_list"));
        out.push_back(symbol("("));
        emitPacked(out, terms, k, std::min(to, k + chunk));
        out.push_back(symbol(")"));
    }
}

// Emits a chain t0 op1 t1 op2 t2 … that holds at least one '+', evaluated from the left as
// the server does: each run of '+' becomes one orra_add call (text concatenation or
// arithmetic by the values' types) and the other operators keep their place, so that
// neither the nesting depth nor the translation time grows with the number of terms.
void emitChain(Vec& out, std::vector<Vec>& terms, const std::vector<QString>& ops)
{
    struct Group {
        bool plus;
        size_t first, last;   // the terms after the left operand: [first, last)
    };
    std::vector<Group> groups;
    for (size_t k = 0; k < ops.size();) {
        if (ops[k] == u"+") {
            size_t m = k;
            while (m < ops.size() && ops[m] == u"+") ++m;
            groups.push_back({true, k + 1, m + 1});
            k = m;
        } else {
            groups.push_back({false, k + 1, k + 2});
            ++k;
        }
    }
    for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
        if (g->plus) out.push_back(word("orra_add"));
        out.push_back(symbol("("));
    }
    out.insert(out.end(), terms[0].begin(), terms[0].end());
    for (const Group& g : groups) {
        if (g.plus) {
            out.push_back(symbol(","));
            emitPacked(out, terms, g.first, g.last);
        } else {
            out.push_back(operatorToken(ops[g.first - 1]));
            out.insert(out.end(), terms[g.first].begin(), terms[g.first].end());
        }
        out.push_back(symbol(")"));
    }
}

// Rewrites a + b as orra_add(a, b) (text concatenation or arithmetic by the values'
// types, as the server decides) over a token range; parenthesised groups and case
// expressions are rewritten inside.
Vec rewriteRange(const Vec& v, size_t b, size_t e)
{
    Vec out;
    // Segments between boundary tokens at this level.
    size_t i = b;
    while (i < e) {
        // One additive chain: operand (op operand)*
        std::vector<Vec> terms;
        std::vector<QString> ops;
        Vec term;
        bool expectOperand = true;
        size_t j = i;
        bool plus = false;
        while (j < e) {
            const NT& n = v[j];
            if (n.t.isSymbol("(") || n.t.is("case")) {
                // a group, rewritten inside, is one operand
                const size_t c = n.t.is("case") ? caseEnd(v, j, e) : closeOf(v, j, e);
                term.push_back(n);
                const Vec inner = rewriteRange(v, j + 1, std::min(c, e));
                term.insert(term.end(), inner.begin(), inner.end());
                if (c < e) term.push_back(v[c]);
                j = c + 1;
                expectOperand = false;
                continue;
            }
            if (n.t.kind == TokenKind::Symbol
                && (n.t.text == u"+" || n.t.text == u"-" || n.t.text == u"&" || n.t.text == u"|")) {
                if (expectOperand) {
                    // unary sign
                    term.push_back(n);
                    ++j;
                    continue;
                }
                terms.push_back(term);
                term.clear();
                ops.push_back(n.t.text);
                if (n.t.text == u"+") plus = true;
                expectOperand = true;
                ++j;
                continue;
            }
            if (isOperand(n)) {
                const bool atom = n.t.kind != TokenKind::Symbol;
                if (atom && !term.empty()) {
                    const NT& last = term.back();
                    const bool joins =
                        last.t.kind == TokenKind::Symbol && last.t.text != u")" && last.t.text != u"\x01";
                    if (!joins) break;   // two atoms in a row: an alias follows the expression
                }
                term.push_back(n);
                expectOperand = false;
                ++j;
                continue;
            }
            break;
        }
        terms.push_back(term);
        if (plus && !expectOperand)
            emitChain(out, terms, ops);
        else
            emitPlain(out, terms, ops);
        if (j < e) {
            // A boundary token: copy it and go on.
            out.push_back(v[j]);
            ++j;
        }
        i = j;
    }
    return out;
}

// The operand that follows position i (a divisor): signs, then a parenthesised group, a
// function call, a case expression or a (dotted) name or literal. Returns its end.
size_t operandEnd(const Vec& v, size_t i, size_t e)
{
    while (i < e && v[i].t.kind == TokenKind::Symbol
        && (v[i].t.text == u"-" || v[i].t.text == u"+" || v[i].t.text == u"~"))
        ++i;
    if (i >= e) return e;
    if (v[i].t.isSymbol("(")) return std::min(closeOf(v, i, e) + 1, e);
    if (v[i].t.is("case")) return std::min(caseEnd(v, i, e) + 1, e);
    if (v[i].t.kind == TokenKind::Symbol && v[i].t.text != u"\x01" && v[i].t.text != u"?")
        return i;   // not an operand: leave the text for SQLite to refuse
    ++i;
    if (i < e && v[i].t.isSymbol("(") && v[i - 1].t.kind == TokenKind::Word)
        return pastCallClauses(v, std::min(closeOf(v, i, e) + 1, e), e);
    while (i + 1 < e && v[i].t.isSymbol(".") && v[i + 1].t.kind != TokenKind::Symbol) i += 2;
    return i;
}

// Every divisor goes through orra_divisor, which refuses zero as the server does (SQLite
// would give NULL).
Vec guardDivisors(const Vec& v, size_t b, size_t e)
{
    Vec out;
    out.reserve(e - b);
    for (size_t i = b; i < e; ++i) {
        out.push_back(v[i]);
        if (!(v[i].t.isSymbol("/") || v[i].t.isSymbol("%"))) continue;
        const size_t end = operandEnd(v, i + 1, e);
        if (end <= i + 1) continue;
        Vec inner = guardDivisors(v, i + 1, end);
        out.push_back(word("orra_divisor"));
        out.push_back(symbol("("));
        out.insert(out.end(), inner.begin(), inner.end());
        out.push_back(symbol(")"));
        i = end - 1;
    }
    return out;
}

// select [distinct] top N … becomes select [distinct] … limit N, the limit placed where
// that select ends (its closing parenthesis, a union, or the end of the statement).
void rewriteTop(Vec& v)
{
    for (size_t i = v.size(); i-- > 0;) {
        if (!v[i].t.is("select")) continue;
        size_t k = i + 1;
        if (k < v.size() && (v[k].t.is("distinct") || v[k].t.is("all"))) ++k;
        if (k >= v.size() || !v[k].t.is("top")) continue;
        size_t countEnd = 0;
        Vec count;   // a number, or any expression in parentheses (a variable, a subquery)
        if (k + 1 < v.size() && v[k + 1].t.kind == TokenKind::Number) {
            count.push_back(v[k + 1]);
            countEnd = k + 2;
        } else if (k + 2 < v.size() && v[k + 1].t.isSymbol("(")) {
            countEnd = closeOf(v, k + 1, v.size()) + 1;
            if (countEnd > v.size()) continue;
            count.assign(v.begin() + long(k) + 1, v.begin() + long(countEnd));
        } else {
            continue;
        }
        const bool percent = countEnd < v.size() && v[countEnd].t.is("percent");
        if (percent) ++countEnd;
        if (countEnd < v.size() && v[countEnd].t.is("with")) continue;   // with ties: not in the subset
        int depth = 0;
        size_t end = v.size();
        for (size_t j = countEnd; j < v.size(); ++j) {
            const Token& t = v[j].t;
            if (t.isSymbol("(")) {
                ++depth;
            } else if (t.isSymbol(")")) {
                if (depth == 0) {
                    end = j;
                    break;
                }
                --depth;
            } else if (depth == 0 && isOneOf(t, {"union", "except", "intersect"})) {
                end = j;
                break;
            }
        }
        if (percent) {
            // top (n) percent: n percent of the rows, a fraction counting as a whole row
            Vec rows(v.begin() + long(i), v.begin() + long(k));
            const size_t order = topLevel(v, countEnd, {"order"});
            rows.insert(rows.end(), v.begin() + long(countEnd), v.begin() + long(std::min(order, end)));
            Vec limit{word("limit"),
                raw(QStringLiteral("(select cast(c as integer) + (c > cast(c as integer)) from (select count(*) * %1 "
                                   "/ 100.0 as c from (")
                        .arg(render(count)))};
            limit.insert(limit.end(), rows.begin(), rows.end());
            limit.push_back(raw(QStringLiteral(")))")));
            v.insert(v.begin() + long(end), limit.begin(), limit.end());
        } else {
            Vec limit{word("limit")};
            limit.insert(limit.end(), count.begin(), count.end());
            v.insert(v.begin() + long(end), limit.begin(), limit.end());
        }
        v.erase(v.begin() + long(k), v.begin() + long(countEnd));
    }
}

// Where the operand that ends just before i begins (a name, a literal, a call, a group), or i
// when it is none of these (a CASE, say).
size_t operandBegin(const Vec& v, size_t i)
{
    if (i == 0) return i;
    size_t k = i - 1;
    if (v[k].t.isSymbol(")")) {
        for (int depth = 0;; --k) {
            if (v[k].t.isSymbol(")")) ++depth;
            else if (v[k].t.isSymbol("(") && --depth == 0) break;
            if (k == 0) return i;
        }
        if (const auto call = callBeforeClause(v, k)) return operandBegin(v, *call + 1);
        if (k > 0 && v[k - 1].t.kind == TokenKind::Word && !isExpressionBoundary(v[k - 1].t)) --k;   // a call
    } else if (v[k].t.kind == TokenKind::Symbol || isExpressionBoundary(v[k].t)) {
        return i;
    }
    while (k >= 2 && v[k - 1].t.isSymbol(".") && v[k - 2].t.kind != TokenKind::Symbol) k -= 2;
    while (k > 0 && (v[k - 1].t.isSymbol("-") || v[k - 1].t.isSymbol("+") || v[k - 1].t.isSymbol("~"))
        && (k == 1 || !endsOperand(v[k - 2].t)))
        --k;   // a sign, not an operation
    return k;
}

// a ^ b, the exclusive or SQLite lacks, as (a | b) - (a & b). Like + - & |, ^ takes the operands
// to its left from left to right, and * / % bind closer on its right.
Vec rewriteExclusiveOr(Vec v)
{
    auto sameLevel = [](const NT& n) {
        return n.t.kind == TokenKind::Symbol && (n.t.text == u"+" || n.t.text == u"-" || n.t.text == u"&"
                                                    || n.t.text == u"|" || n.t.text == u"*" || n.t.text == u"/"
                                                    || n.t.text == u"%");
    };
    for (size_t i = 0; i < v.size(); ++i) {
        if (!v[i].t.isSymbol("^")) continue;
        size_t left = operandBegin(v, i);
        while (left >= 2 && left < i && sameLevel(v[left - 1]) && endsOperand(v[left - 2].t)) {
            const size_t b = operandBegin(v, left - 1);
            if (b >= left - 1) break;
            left = b;
        }
        size_t right = operandEnd(v, i + 1, v.size());
        while (right < v.size() && (v[right].t.isSymbol("*") || v[right].t.isSymbol("/") || v[right].t.isSymbol("%")))
            right = operandEnd(v, right + 1, v.size());
        if (left >= i || right <= i + 1) continue;   // not an operation: SQLite refuses the text
        const Vec a(v.begin() + long(left), v.begin() + long(i)), b(v.begin() + long(i + 1), v.begin() + long(right));
        Vec x{symbol("("), symbol("(")};
        for (const char* op : {"|", "&"}) {
            if (op[0] == '&') x.insert(x.end(), {symbol(")"), symbol("-"), symbol("(")});
            x.insert(x.end(), a.begin(), a.end());
            x.push_back(symbol(op));
            x.push_back(symbol("("));
            x.insert(x.end(), b.begin(), b.end());
            x.push_back(symbol(")"));
        }
        x.insert(x.end(), {symbol(")"), symbol(")")});
        v.erase(v.begin() + long(left), v.begin() + long(right));
        v.insert(v.begin() + long(left), x.begin(), x.end());
        i = left + x.size() - 1;
    }
    return v;
}

}   // namespace

SqlStatement finishedStatement(const Vec& v, bool dml)
{
    SqlStatement s;
    s.dml = dml;
    s.sql = render(rewriteExpressions(v));
    return s;
}

Vec rewriteExpressions(const Vec& input)
{
    Vec v = guardScalarSubqueries(groupSetOperations(input));
    bool top = false, divide = false, any = false, exclusive = false;
    for (const NT& n : v) {
        if (n.t.isSymbol("+"))
            any = true;
        else if (n.t.isSymbol("^"))
            exclusive = true;
        else if (n.t.isSymbol("/") || n.t.isSymbol("%"))
            divide = true;
        else if (n.t.is("top"))
            top = true;
    }
    if (top) rewriteTop(v);
    if (divide) v = guardDivisors(v, 0, v.size());
    if (exclusive) v = rewriteExclusiveOr(std::move(v));
    if (!any) return v;
    return rewriteRange(v, 0, v.size());
}

}   // namespace orra::embedded::translator
