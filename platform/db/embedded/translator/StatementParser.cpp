#include "platform/db/embedded/translator/StatementParser.h"

#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/GroupingSets.h"
#include "platform/db/embedded/translator/OutputClause.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

namespace orra::embedded::translator {

QString nestedTooDeeply()
{
    return QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up "
                          "into smaller queries.");
}

StatementList StatementParser::parseBatch()
{
    StatementList list = parseList(false);
    for (const auto& [label, at] : m_gotos) {
        if (m_labels.contains(label)) continue;
        m_ctx.fail(QStringLiteral("A GOTO statement references the label '%1' but the label has not been declared.")
                       .arg(m_ctx[at + 1].text),
            133, at);
        break;
    }
    return list;
}

StatementList StatementParser::parseList(bool untilEnd)
{
    StatementList list;
    while (!m_c.atEnd()) {
        if (m_c.matchSymbol(";")) continue;
        if (untilEnd && m_c.at("end")) break;
        const bool batchStart = m_c.position() == 0;
        const size_t from = m_c.position();
        list.push_back(parseOne(batchStart));
        list.back().line = m_ctx.lineOf(from);
        list.back().text = writtenText(from);
        list.back().at = m_ctx[from].pos;
        if (m_ctx.failed()) break;
    }
    return list;
}

Statement StatementParser::parseNested()
{
    const size_t from = m_c.position();
    Statement s = parseOne(false);
    s.line = m_ctx.lineOf(from);
    s.text = writtenText(from);
    if (from < m_ctx.size()) s.at = m_ctx[from].pos;
    return s;
}

QString StatementParser::writtenText(size_t from) const
{
    if (from >= m_ctx.size()) return {};
    const size_t to = m_c.position();
    const int end = to < m_ctx.size() ? m_ctx[to].pos : m_ctx.textLength();
    return m_ctx.sourceText(m_ctx[from].pos, end).trimmed();
}

Statement StatementParser::parseOne(bool batchStart)
{
    const Nested nested(m_depth);
    if (m_depth > kMaxNesting) {
        m_ctx.fail(nestedTooDeeply(), kNestedTooDeeply, m_c.position());
        skipToEnd();
        return {};
    }
    if (refusesModuleDefinitionInside(batchStart)) return {};
    if (atBatchStatement()) return batchStatement();
    if (m_c.at("if")) return ifStatement();
    if (m_c.at("begin")) {
        if (m_c.at("tran", 1) || m_c.at("transaction", 1)) return transaction("begin");
        return block();
    }
    if (m_c.at("commit") || m_c.at("rollback")) return transaction(m_c.at("commit") ? "commit" : "rollback");
    if (m_c.at("save") && m_c.atAny({"tran", "transaction"}, 1)) return transaction("save");
    if (m_c.at("set") && m_c.at("nocount", 1) && (m_c.at("on", 2) || m_c.at("off", 2))) return noCount();
    if (m_c.at("set") && m_c.atAny({"dateformat", "datefirst", "language"}, 1)) return sessionOption();
    if (m_c.at("set") && m_c.at("rowcount", 1)) return rowCount();
    if (m_c.at("set") && m_c.at("identity_insert", 1)) return identityInsert();
    if (m_c.at("print")) return print();
    if (m_c.match("exec") || m_c.match("execute")) return procedureCall();
    if (m_c.atAny({"open", "close", "fetch", "deallocate"})) return cursorStatement();
    if (atModuleStatement()) return moduleStatement();
    if (const size_t exec = insertExecAt(); exec < m_ctx.size()) return insertExec(exec);
    if (m_c.at("create") && m_c.atAny({"database", "login", "user", "role", "schema"}, 1)) return administration();
    const Token& t = *m_c.peek();
    if (batchStart && t.kind == TokenKind::Word && !isStatementWord(t) && !t.is("with") && !t.text.startsWith(u'@')
        && looksLikeProcedureCall())
        return procedureCall();
    if (t.is("else") || t.is("end")) {
        fail(QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(t.text.toLower()));
        m_c.skip();
        return {};
    }
    if (!isAllowedStatement()) {
        fail(QStringLiteral("The embedded server does not run '%1' statements.").arg(statementWords()));
        skipToEnd();
        return {};
    }
    const size_t b = m_c.position();
    const size_t e = std::max(findEnd(b), b + 1);
    Statement s = sqlStatement(b, e);
    m_c.seek(e);
    return s;
}

Statement StatementParser::sqlStatement(size_t b, size_t e)
{
    if (refusesPositionedChange(b, e)) return {};
    if (!orderOnlyWithTop(m_ctx, b, e) || !windowsAsCompiled(m_ctx, b, e) || !aliasesOnlyInOrder(m_ctx, b, e)
        || !groupedColumnsOnly(m_ctx, b, e))
        return {};
    const TokenCursor lead(m_ctx.tokens(), b);
    const bool view = lead.atAny({"create", "alter"}) && (lead.at("view", 1) || lead.at("view", 3));
    int maxRecursion = kDefaultMaxRecursion;
    e = queryOptions(m_ctx, b, e, !view, maxRecursion);
    if (m_ctx.failed()) return {};
    const std::vector<OutputClause> output = outputClauses(m_ctx, b, e);
    Vec v = output.empty() ? m_ctx.normalize(b, e) : normalizedWithout(m_ctx, b, e, output);
    if (m_ctx.failed() || v.empty()) return {};
    if (!output.empty()) {
        const Vec change = v;
        Statement s = changeStatement(std::move(v), b, e, maxRecursion);
        return m_ctx.failed() ? Statement{} : withOutput(m_ctx, std::move(s), change, output);
    }
    Statement s = changeStatement(std::move(v), b, e, maxRecursion);
    if (auto* sql = std::get_if<SqlStatement>(&s.node)) sql->maxRecursion = maxRecursion;
    return s;
}

Statement StatementParser::changeStatement(Vec v, size_t b, size_t e, int maxRecursion)
{
    rewriteRecursion(m_ctx, v, maxRecursion);
    if (m_ctx.failed() || !rewriteCompoundAssignments(m_ctx, v)) return {};
    const RewriteCursor c(v);
    if (!c.at("create") || c.at("view", 1) || (c.at("or", 1) && c.at("view", 3)))
        rewriteByType(m_ctx, v);
    else if (c.at("table", 1))
        rewriteDateArithmetic(m_ctx, v);
    if (!m_ctx.failed()) rewriteGroupingSets(m_ctx, v);
    if (!m_ctx.failed()) rewriteTopWithTies(m_ctx, v);
    const bool shaped = !m_ctx.failed() && rewriteForClauses(m_ctx, v);
    if (m_ctx.failed()) return {};
    if (shaped) return {shapedSelect(m_ctx, std::move(v))};
    if (c.at("select") || c.atSymbol("(")) return {rewriteSelect(m_ctx, std::move(v), b, e)};
    // with … select: the select after the common table expressions
    if (c.at("with")) {
        const size_t main = topLevel(v, 1, {"select", "insert", "update", "delete", "merge"});
        if (main < v.size() && v[main].t.is("select")) return {rewriteSelect(m_ctx, std::move(v), b, e)};
        if (main < v.size() && isOneOf(v[main].t, {"insert", "update", "delete"})) return withChange(std::move(v), main);
        if (main < v.size()) {
            m_ctx.fail(QStringLiteral("The embedded server does not run MERGE after common table expressions: read "
                                      "them in its USING source's derived table."),
                b);
            return {};
        }
    }
    if (c.at("merge")) return rewriteMerge(m_ctx, std::move(v));
    if (c.at("insert")) return {rewriteInsert(std::move(v))};
    if (c.at("update") || c.at("delete")) {
        rewriteSelectForms(v);   // in their subqueries and from clauses
        return {c.at("update") ? rewriteUpdate(std::move(v)) : rewriteDelete(std::move(v))};
    }
    if (c.at("create") && c.at("table", 1) && c.peek(2)) return rewriteCreateTable(m_ctx, std::move(v), b);
    if ((c.at("create") && c.at("or", 1)) || (c.at("alter") && c.at("view", 1))) return rewriteViewChange(std::move(v));
    if (c.at("alter") && c.at("table", 1) && c.peek(2)) return rewriteAlterTable(m_ctx, std::move(v), b);
    if ((c.at("create") && topLevel(v, 1, {"index"}) <= 4) || (c.at("drop") && c.at("index", 1)))
        return rewriteIndexStatement(std::move(v));
    return {rewriteSchemaStatement(std::move(v))};
}

QString StatementParser::expressionQuery(Vec q)
{
    rewriteSelectForms(q);   // in its subqueries
    rewriteByType(m_ctx, q);
    rewriteForClauses(m_ctx, q);
    return render(rewriteExpressions(q));
}

// with … insert | update | delete: the change rewritten as its kind, after the common table
// expressions.
Statement StatementParser::withChange(Vec v, size_t main)
{
    const Vec expressions(v.begin(), v.begin() + long(main));
    Vec change(v.begin() + long(main), v.end());
    SqlStatement s = v[main].t.is("insert") ? rewriteInsert(std::move(change))
        : v[main].t.is("update")             ? rewriteUpdate(std::move(change))
                                             : rewriteDelete(std::move(change));
    const QString prefix = render(expressions) + u' ';
    s.sql.prepend(prefix);
    if (s.insert.columnsAt >= 0) s.insert.columnsAt += int(prefix.size());
    return {s};
}

size_t StatementParser::findEnd(size_t from) const
{
    const std::vector<Token>& T = m_ctx.tokens();
    const TokenCursor lead(T, from);
    if (lead.at("with")) {
        // with … as (…) [, …] then the statement that reads them
        const size_t main = m_ctx.firstAtTopLevel(
            from + 1, T.size(), [](const Token& t) { return isOneOf(t, {"select", "insert", "update", "delete", "merge"}); });
        if (main < T.size()) return findEnd(main);
    }
    bool allowSelect = lead.at("insert") || lead.at("with") || (lead.at("create") && lead.at("view", 1))
        || (lead.at("alter") && lead.at("view", 1)) || (lead.at("create") && lead.at("or", 1) && lead.at("view", 3));
    bool allowSet = lead.at("update");
    if (lead.at("create") && lead.atAny({"procedure", "proc", "function", "trigger"}, 1)) return T.size();
    if (lead.at("merge")) {
        // its clauses hold insert, update and delete: it ends with its semicolon
        int depth = 0;
        for (size_t i = from + 1; i < T.size(); ++i) {
            if (T[i].isSymbol("("))
                ++depth;
            else if (T[i].isSymbol(")"))
                --depth;
            else if (depth == 0 && T[i].isSymbol(";"))
                return i;
        }
        return T.size();
    }
    int depth = lead.atSymbol("(") ? 1 : 0;   // ( query ) union …: the statement goes on past it
    int caseDepth = 0;
    size_t i = from + 1;
    for (; i < T.size(); ++i) {
        const Token& t = T[i];
        if (t.isSymbol("(")) {
            ++depth;
            continue;
        }
        if (t.isSymbol(")")) {
            if (depth == 0) break;
            --depth;
            continue;
        }
        if (depth > 0) continue;
        if (t.isSymbol(";")) break;
        if (t.is("case")) {
            ++caseDepth;
            continue;
        }
        if (t.is("end") && caseDepth > 0) {
            --caseDepth;
            continue;
        }
        if (t.is("else") && caseDepth > 0) continue;
        if (t.is("values")) allowSelect = false;
        if (beginsSave(T, i)) break;
        if (!isStatementWord(t)) continue;
        const Token& prev = T[i - 1];
        if (t.is("select") && isOneOf(prev, {"union", "all", "except", "intersect"})) continue;
        if (t.is("fetch") && isOneOf(prev, {"rows", "row"})) continue;   // offset n rows fetch next …
        if (t.is("select") && allowSelect) {
            allowSelect = false;
            continue;
        }
        if ((t.is("exec") || t.is("execute")) && allowSelect && lead.at("insert")) {
            allowSelect = false;
            continue;
        }
        if (t.is("set") && allowSet) {
            allowSet = false;
            continue;
        }
        if (t.is("if") && lead.at("drop") && isOneOf(prev, {"table", "view", "index", "procedure", "proc", "function"})) continue;
        if (t.is("alter") && prev.is("or") && i == from + 2) continue;   // create or alter
        if (t.is("drop") && lead.at("alter") && lead.at("table", 1)) continue;   // alter table T drop column …
        break;
    }
    // A label ends the statement before it.
    for (size_t k = from + 1; k < i; ++k) {
        if (T[k].kind == TokenKind::Word && k + 1 < T.size() && T[k + 1].isSymbol(":")) {
            i = k;
            break;
        }
    }
    return i;
}

// The statements handed on to SQLite: the T-SQL subset that the translator rewrites.
// Anything else (attach, pragma, vacuum, triggers …) is refused here, before SQLite sees it.
bool StatementParser::isAllowedStatement() const
{
    if (m_c.atSymbol("(")) return true;
    if (m_c.atAny({"select", "insert", "update", "delete", "with", "merge"})) return true;
    if (m_c.at("create") && m_c.at("or", 1) && m_c.at("alter", 2)) return m_c.at("view", 3);
    if (m_c.at("alter") && m_c.at("view", 1)) return true;
    if (m_c.at("create"))
        return m_c.atAny({"table", "view", "index"}, 1)
            || (m_c.atAny({"unique", "clustered", "nonclustered"}, 1) && (m_c.at("index", 2) || m_c.at("index", 3)));
    if (m_c.at("drop")) return m_c.atAny({"table", "view", "index"}, 1);
    if (m_c.at("alter") || m_c.at("truncate")) return m_c.at("table", 1);
    return false;
}

QString StatementParser::statementWords() const
{
    const Token& lead = *m_c.peek();
    QString words = lead.text.toLower();
    const Token* next = m_c.peek(1);
    if (isOneOf(lead, {"create", "drop", "alter", "truncate"}) && next && next->kind == TokenKind::Word)
        words += u' ' + next->text.toLower();
    return words;
}

// A statement that begins with a bare name is a procedure call when arguments (or nothing)
// follow the name.
bool StatementParser::looksLikeProcedureCall() const
{
    size_t ahead = 1;
    while (m_c.peek(ahead + 1) && m_c.atSymbol(".", ahead)) {
        while (m_c.atSymbol(".", ahead)) ++ahead;
        ++ahead;
    }
    const Token* n = m_c.peek(ahead);
    if (!n) return true;
    if (n->kind == TokenKind::String || n->kind == TokenKind::Number || n->isSymbol("-") || n->isSymbol(";")
        || n->is("default") || n->is("null") || (n->kind == TokenKind::Word && n->text.startsWith(u'@')))
        return true;
    const QString lower = m_c.peek()->text.toLower();
    return lower.startsWith(QLatin1String("sp_")) || lower.startsWith(QLatin1String("xp_"));
}

}   // namespace orra::embedded::translator
