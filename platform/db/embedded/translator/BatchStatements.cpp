#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/StatementParser.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

#include <algorithm>

// The statements of a batch's own logic: variables (declare, set, select @v = …), while,
// break, continue, return, goto and labels, try … catch, raiserror and throw.

namespace orra::embedded::translator {

namespace {

bool isVariable(const Token* t)
{
    return t && t->kind == TokenKind::Word && t->text.startsWith(u'@') && !t->text.startsWith(QLatin1String("@@"));
}

// The assignment operator at i: "=", "+=" … (the lexer reads "%=", "&=", "|=" and "^=" as
// two symbols); its token count, 0 when there is none.
size_t assignmentOperator(const std::vector<Token>& T, size_t i, QString& op)
{
    if (i >= T.size() || T[i].kind != TokenKind::Symbol) return 0;
    const QString& s = T[i].text;
    if (s == u"=" || s == u"+=" || s == u"-=" || s == u"*=" || s == u"/=") {
        op = s;
        return 1;
    }
    if ((s == u"%" || s == u"&" || s == u"|" || s == u"^") && i + 1 < T.size() && T[i + 1].isSymbol("=")
        && !T[i + 1].spaceBefore) {
        op = s + u'=';
        return 2;
    }
    return 0;
}

// select @s = @s + x …: a target read in the columns. The columns then assign each row's
// value as it is computed and read the variables' current values.
bool readsItself(Vec& columns, const std::vector<int>& targets)
{
    auto slotOf = [](const NT& n) {
        return n.out.startsWith(QLatin1String(":v")) ? n.out.mid(2).toInt() : -1;
    };
    bool reads = false;
    for (const NT& n : columns)
        if (const int slot = slotOf(n); slot >= 0 && std::find(targets.begin(), targets.end(), slot) != targets.end())
            reads = true;
    if (!reads) return false;
    Vec out;
    size_t column = 0;
    out.push_back(word("orra_assign"));
    out.push_back(symbol("("));
    out.push_back(number(QString::number(targets[0])));
    out.push_back(symbol(","));
    int depth = 0;
    for (const NT& n : columns) {
        if (n.t.isSymbol("(")) ++depth;
        if (n.t.isSymbol(")")) --depth;
        if (depth == 0 && n.t.isSymbol(",")) {
            out.push_back(symbol(")"));
            out.push_back(symbol(","));
            out.push_back(word("orra_assign"));
            out.push_back(symbol("("));
            out.push_back(number(QString::number(targets[++column])));
            out.push_back(symbol(","));
            continue;
        }
        if (const int slot = slotOf(n); slot >= 0) {
            NT current = n;   // still the variable's token, which the typed rewrites look for
            current.out = QStringLiteral("orra_variable(%1)").arg(slot);
            out.push_back(current);
            continue;
        }
        out.push_back(n);
    }
    out.push_back(symbol(")"));
    columns = std::move(out);
    return true;
}

}   // namespace

bool StatementParser::atBatchStatement() const
{
    if (m_c.atAny({"declare", "while", "break", "continue", "return", "goto", "raiserror", "throw"})) return true;
    if (m_c.at("begin") && m_c.at("try", 1)) return true;
    if (m_c.at("set")) return isVariable(m_c.peek(1)) || m_c.at("xact_abort", 1);
    if (m_c.peek()->kind == TokenKind::Word && m_c.atSymbol(":", 1)) return true;
    if (m_c.at("select")) {
        size_t k = 1;
        if (m_c.atAny({"distinct", "all"}, k)) ++k;
        if (m_c.at("top", k)) {
            k += 2;
            if (m_c.atSymbol("(", k - 1)) {
                while (m_c.peek(k) && !m_c.atSymbol(")", k)) ++k;
                ++k;
            }
        }
        QString op;
        return isVariable(m_c.peek(k)) && assignmentOperator(m_ctx.tokens(), m_c.position() + k + 1, op) > 0;
    }
    return false;
}

Statement StatementParser::batchStatement()
{
    const Token& t = *m_c.peek();
    if (t.is("declare")) return atCursorDeclaration() ? declareCursor() : declare();
    if (t.is("set")) {
        if (!m_c.at("xact_abort", 1)) return setVariable();
        if (!m_c.atAny({"on", "off"}, 2)) {
            failNear(m_c.position() + 2);
            skipToEnd();
            return {};
        }
        const XactAbortStatement s{m_c.at("on", 2)};
        m_c.skip(3);
        return {s};
    }
    if (t.is("while")) return whileStatement();
    if (t.is("begin")) return tryCatch();
    if (t.is("raiserror") || t.is("throw")) return raise();
    if (t.is("select")) return selectAssignment(std::max(findEnd(m_c.position()), m_c.position() + 1));
    FlowStatement s;
    const size_t at = m_c.position();
    m_c.skip();
    if (t.is("break") || t.is("continue")) {
        if (m_loops == 0) {
            const bool isBreak = t.is("break");
            m_ctx.fail(QStringLiteral("Cannot use a %1 statement outside the scope of a WHILE statement.")
                           .arg(isBreak ? QStringLiteral("BREAK") : QStringLiteral("CONTINUE")),
                isBreak ? 135 : 136, at);
            return {};
        }
        s.kind = t.is("break") ? FlowStatement::Kind::Break : FlowStatement::Kind::Continue;
    } else if (t.is("return")) {
        s.kind = FlowStatement::Kind::Return;
        const Token* next = m_c.peek();
        if (next && !next->isSymbol(";") && !isStatementWord(*next)
            && !(next->kind == TokenKind::Word && m_c.atSymbol(":", 1)) && m_ctx.returnSlot() >= 0) {
            return returnValue(at);
        } else if (next && !next->isSymbol(";") && !isStatementWord(*next)
            && !(next->kind == TokenKind::Word && m_c.atSymbol(":", 1)) && m_inProcedure) {
            // return <integer expression>: the procedure's status
            const size_t e = std::max(findEnd(at), m_c.position() + 1);
            Vec q{word("select")};
            const Vec value = m_ctx.normalize(m_c.position(), e);
            q.insert(q.end(), value.begin(), value.end());
            s.value = render(rewriteExpressions(q));
            m_c.seek(e);
        } else if (next && !next->isSymbol(";") && !isStatementWord(*next)
            && !(next->kind == TokenKind::Word && m_c.atSymbol(":", 1))) {
            m_ctx.fail(QStringLiteral("A RETURN statement with a return value cannot be used in this context."), 178,
                m_c.position());
            skipToEnd();
            return {};
        }
    } else if (t.is("goto")) {
        if (!m_c.atName()) {
            failNear(m_c.position());
            skipToEnd();
            return {};
        }
        s.kind = FlowStatement::Kind::Goto;
        s.label = foldName(m_c.peek()->text);
        m_gotos.push_back({s.label, at});
        m_c.skip();
    } else {   // label:
        s.kind = FlowStatement::Kind::Label;
        s.label = foldName(t.text);
        if (m_labels.contains(s.label)) {
            m_ctx.fail(QStringLiteral("The label '%1' has already been declared. Label names must be unique within a "
                                      "query batch or stored procedure.")
                           .arg(t.text),
                132, at);
            return {};
        }
        m_labels.append(s.label);
        m_c.skip();   // :
    }
    return {s};
}

// declare @a type [= value], @t table (…), …: each scalar gets a value slot; those with a
// value are assigned in order.
Statement StatementParser::declare()
{
    const std::vector<Token>& T = m_ctx.tokens();
    const size_t start = m_c.position();
    const size_t e = std::max(findEnd(start), start + 1);
    m_c.seek(e);
    BlockStatement assignments;
    const auto pieces = m_ctx.splitTop(start + 1, e, [&](size_t k) { return T[k].isSymbol(","); });
    for (const auto& [b, pe] : pieces) {
        if (b >= pe || !isVariable(&T[b])) {
            failNear(b);
            return {};
        }
        if (m_ctx.variable(T[b].text) || m_cursorVariables.contains(foldName(T[b].text))) {
            m_ctx.fail(QStringLiteral("The variable name '%1' has already been declared. Variable names must be unique "
                                      "within a query batch or stored procedure.")
                           .arg(T[b].text),
                134, b);
            return {};
        }
        size_t k = b + 1;
        if (k < pe && T[k].is("as")) ++k;
        if (k >= pe) {
            failNear(k);
            return {};
        }
        if (T[k].is("cursor")) {   // a cursor variable: set @c = cursor … gives it its cursor
            if (k + 1 != pe) {
                failNear(k + 1);
                return {};
            }
            CursorStatement c;
            c.kind = CursorStatement::Kind::DeclareVariable;
            c.written = T[b].text;
            c.name = foldName(c.written);
            m_cursorVariables.append(c.name);
            assignments.body.push_back({std::move(c)});
            continue;
        }
        if (T[k].is("table")) {
            const Variable& v = m_ctx.declareTableVariable(T[b].text);
            NT name;
            name.t = T[b];
            name.t.text = v.table;
            name.out = quoteName(v.table);
            Vec create{word("create"), word("table"), name};
            const Vec defs = m_ctx.normalize(k + 1, pe);
            create.insert(create.end(), defs.begin(), defs.end());
            rewriteDateArithmetic(m_ctx, create);
            if (m_ctx.failed()) return {};
            QStringList counting;
            const SqlStatement made = rewriteCreateTable(std::move(create), &m_ctx, &counting);
            assignments.body.push_back({DeclareTable{made.sql, quoteName(v.table), counting}});
            continue;
        }
        const size_t eq = m_ctx.firstAtTopLevel(k, pe, [](const Token& tok) { return tok.isSymbol("="); });
        const Variable& v = m_ctx.declareVariable(T[b].text, k, eq);
        if (eq >= pe) continue;
        Assignment a;
        Vec columns;
        if (!assignmentColumn(columns, a.targets, b, QStringLiteral("="), eq + 1, pe)) return {};
        Q_UNUSED(v);
        Vec q{word("select")};
        q.insert(q.end(), columns.begin(), columns.end());
        a.query = expressionQuery(std::move(q));
        assignments.body.push_back({std::move(a)});
    }
    if (assignments.body.size() == 1) return std::move(assignments.body.front());
    return {std::move(assignments)};
}

bool StatementParser::assignmentColumn(
    Vec& out, std::vector<int>& targets, size_t at, const QString& op, size_t b, size_t e)
{
    const Variable* v = m_ctx.variable(m_ctx[at].text);
    if (!v) {
        m_ctx.fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(m_ctx[at].text), 137, at);
        return false;
    }
    if (v->slot < 0 || b >= e) {
        failNear(b >= e ? e : at);
        return false;
    }
    const int slot = v->slot;
    Vec expr = m_ctx.normalize(b, e);
    if (m_ctx.failed()) return false;
    if (op == u"^=") {   // exclusive or
        expr = compoundValue(m_ctx.normalize(at, at + 1), QStringLiteral("^"), Token{}, expr);
    } else if (op != u"=") {   // @v += x is @v = @v + (x)
        const Variable& var = *m_ctx.variable(m_ctx[at].text);
        QString declared;
        for (size_t k = var.typeBegin; k < var.typeEnd; ++k) declared += m_ctx[k].text;
        const std::optional<Vec> dated = compoundDateAssignment(
            m_ctx, SqlType::fromDeclared(declared), op.front(), m_ctx.normalize(at, at + 1), expr, b, e);
        if (m_ctx.failed()) return false;
        if (dated) {
            expr = *dated;
        } else {
            expr = compoundValue(m_ctx.normalize(at, at + 1), op.left(op.size() - 1), Token{}, expr);
            // converted by the type of @v op x, as @v = @v op x converts it
            const Vec converted = m_ctx.convertedTo(var, expr, m_ctx.assignedType(var, op.left(op.size() - 1), b, e));
            if (!out.empty()) out.push_back(symbol(","));
            out.insert(out.end(), converted.begin(), converted.end());
            targets.push_back(slot);
            return !m_ctx.failed();
        }
    }
    const Vec converted = op == u"=" ? m_ctx.convertedTo(*m_ctx.variable(m_ctx[at].text), expr, b, e)
                                     : m_ctx.convertedTo(*m_ctx.variable(m_ctx[at].text), expr);
    if (!out.empty()) out.push_back(symbol(","));
    out.insert(out.end(), converted.begin(), converted.end());
    targets.push_back(slot);
    return true;
}

// set @v = value, set @v += value …
Statement StatementParser::setVariable()
{
    const std::vector<Token>& T = m_ctx.tokens();
    const size_t start = m_c.position();
    if (m_cursorVariables.contains(foldName(T[start + 1].text))) return cursorAssignment();
    const size_t e = std::max(findEnd(start), start + 1);
    m_c.seek(e);
    QString op;
    const size_t opSize = assignmentOperator(T, start + 2, op);
    if (opSize == 0) {
        failNear(start + 2);
        return {};
    }
    Assignment a;
    Vec q{word("select")};
    Vec columns;
    if (!assignmentColumn(columns, a.targets, start + 1, op, start + 2 + opSize, e)) return {};
    q.insert(q.end(), columns.begin(), columns.end());
    a.query = expressionQuery(std::move(q));
    return {std::move(a)};
}

// select @a = x, @b += y [from …]: the values of the last row the select gives.
Statement StatementParser::selectAssignment(size_t e)
{
    const std::vector<Token>& T = m_ctx.tokens();
    const size_t start = m_c.position();
    m_c.seek(e);
    size_t k = start + 1;
    while (k < e && !isVariable(&T[k])) ++k;   // distinct, top …
    const size_t listEnd = m_ctx.firstAtTopLevel(k, e, [](const Token& tok) {
        return isOneOf(tok, {"from", "where", "group", "having", "order", "union", "except", "intersect", "option",
                                "into"});
    });
    Assignment a;
    a.lastRow = true;
    Vec columns;
    for (const auto& [b, ie] : m_ctx.splitTop(k, listEnd, [&](size_t i) { return T[i].isSymbol(","); })) {
        QString op;
        const size_t opSize = b < ie && isVariable(&T[b]) ? assignmentOperator(T, b + 1, op) : 0;
        if (opSize == 0) {
            m_ctx.fail(QStringLiteral("A SELECT statement that assigns a value to a variable must not be combined with "
                                      "data-retrieval operations."),
                141, b);
            return {};
        }
        if (!assignmentColumn(columns, a.targets, b, op, b + 1 + opSize, ie)) return {};
    }
    a.accumulates = readsItself(columns, a.targets);
    Vec q = m_ctx.normalize(start, k);
    q.insert(q.end(), columns.begin(), columns.end());
    const Vec rest = m_ctx.normalize(listEnd, e);
    q.insert(q.end(), rest.begin(), rest.end());
    if (m_ctx.failed()) return {};
    a.query = expressionQuery(std::move(q));
    return {std::move(a)};
}

Statement StatementParser::whileStatement()
{
    m_c.skip();   // while
    WhileStatement s;
    s.condition = condition();
    if (m_ctx.failed()) return {std::move(s)};
    ++m_loops;
    s.body.push_back(parseNested());
    --m_loops;
    return {std::move(s)};
}

// begin try … end try begin catch … end catch
Statement StatementParser::tryCatch()
{
    m_c.skip(2);   // begin try
    TryCatchStatement s;
    s.tryBody = parseList(true);
    if (m_ctx.failed()) return {};
    if (!(m_c.match("end") && m_c.match("try"))) {
        failNear(m_c.position());
        return {};
    }
    while (m_c.matchSymbol(";")) {
    }
    if (!(m_c.match("begin") && m_c.match("catch"))) {
        m_ctx.fail(QStringLiteral("Incorrect syntax near 'TRY': END TRY must be followed by BEGIN CATCH."), 102,
            m_c.position());
        return {};
    }
    ++m_catches;
    s.catchBody = parseList(true);
    --m_catches;
    if (m_ctx.failed()) return {};
    if (!(m_c.match("end") && m_c.match("catch"))) {
        failNear(m_c.position());
        return {};
    }
    return {std::move(s)};
}

// raiserror (message, severity, state [, argument …]) [with option, …]; throw [number,
// message, state]
Statement StatementParser::raise()
{
    const std::vector<Token>& T = m_ctx.tokens();
    RaiseStatement s;
    s.isThrow = m_c.at("throw");
    const size_t at = m_c.position();
    m_c.skip();
    size_t b = m_c.position();
    size_t e = 0;
    if (s.isThrow) {
        e = std::max(findEnd(at), b);
        if (b == e) {
            if (m_catches == 0) {
                m_ctx.fail(QStringLiteral("To rethrow an error, a THROW statement must be used inside a CATCH block."),
                    10704, at);
                return {};
            }
            return {s};
        }
        m_c.seek(e);
    } else {
        if (!m_c.atSymbol("(")) {
            failNear(b);
            skipToEnd();
            return {};
        }
        const size_t close = m_ctx.matching(b, T.size());
        if (close >= T.size()) {
            failNear(close);
            skipToEnd();
            return {};
        }
        ++b;
        e = close;
        m_c.seek(close + 1);
        if (m_c.match("with")) {
            while (m_c.atAny({"log", "nowait", "seterror"})) {
                if (m_c.at("seterror")) s.setError = true;
                if (m_c.at("log")) s.log = true;
                m_c.skip();
                if (!m_c.matchSymbol(",")) break;
            }
        }
    }
    const auto args = m_ctx.splitTop(b, e, [&](size_t k) { return T[k].isSymbol(","); });
    if (args.size() < 3 || (s.isThrow && args.size() != 3)) {
        failNear(e);
        return {};
    }
    if (!s.isThrow && args.size() > 23) {
        m_ctx.fail(QStringLiteral("Too many substitution parameters for RAISERROR. Cannot exceed 20 substitution "
                                  "parameters."),
            2747, at);
        return {};
    }
    Vec q{word("select")};
    for (size_t n = 0; n < args.size(); ++n) {
        const auto [ab, ae] = args[n];
        if (ab >= ae) {
            failNear(ae);
            return {};
        }
        if (!s.isThrow && n >= 3 && m_ctx.schema()) {   // the types a substitution parameter may have
            const SqlType t = ExpressionTyper(m_ctx).typeOf(ab, ae);
            using K = SqlType::Kind;
            if (!(t.isInteger() || t.isString() || t.kind == K::Binary || t.kind == K::Null || t.kind == K::Unknown)
                || t.kind == K::Bit) {
                m_ctx.fail(QStringLiteral("Cannot specify %1 data type (parameter %2) as a substitution parameter.")
                               .arg(t.declaration().section(u'(', 0, 0))
                               .arg(n + 1),
                    2748, ab);
                return {};
            }
        }
        if (q.size() > 1) q.push_back(symbol(","));
        const Vec v = m_ctx.normalize(ab, ae);
        q.insert(q.end(), v.begin(), v.end());
    }
    s.query = expressionQuery(std::move(q));
    return {s};
}

}   // namespace orra::embedded::translator
