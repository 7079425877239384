#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/ObjectNames.h"
#include "platform/db/embedded/translator/StatementParser.h"
#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"

namespace orra::embedded::translator {

// begin tran[saction] [name], commit [tran|work] [name], rollback …
Statement StatementParser::transaction(const char* what)
{
    m_c.skip();
    if (m_c.atAny({"tran", "transaction", "work"})) m_c.skip();
    TransactionStatement s;
    s.kind = qstrcmp(what, "begin") == 0 ? TransactionStatement::Kind::Begin
        : qstrcmp(what, "commit") == 0   ? TransactionStatement::Kind::Commit
        : qstrcmp(what, "save") == 0     ? TransactionStatement::Kind::Save
                                         : TransactionStatement::Kind::Rollback;
    const Token* name = m_c.peek();
    const bool saveFollows = beginsSave(m_ctx.tokens(), m_c.position());
    if (name && !saveFollows
        && (name->kind == TokenKind::QuotedName || (name->kind == TokenKind::Word && !isStatementWord(*name)))) {
        if (name->text.startsWith(u'@')) {
            const Variable* v = m_ctx.variable(name->text);
            if (!v || v->slot < 0) {
                m_ctx.fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(name->text), 137,
                    m_c.position());
                return {};
            }
            s.nameSlot = v->slot;
        } else {
            s.name = name->text.left(32);   // names count to their 32nd character
        }
        m_c.skip();
    } else if (s.kind == TransactionStatement::Kind::Save) {
        failNear(m_c.position());
        return {};
    }
    return {s};
}

Statement StatementParser::noCount()
{
    const NoCountStatement s{m_c.at("on", 2)};
    m_c.skip(3);
    return {s};
}

// set dateformat dmy | set datefirst 1 | set language Turkish (or 'Turkish', N'Turkish'), or
// the value of a variable (set dateformat @f), read when the statement runs
Statement StatementParser::sessionOption()
{
    SessionOption s;
    s.name = m_ctx[m_c.position() + 1].text.toLower();
    m_c.skip(2);
    const Token* value = m_c.peek();
    if (!value || value->isSymbol(";")) {
        failNear(m_c.position());
        return {s};
    }
    if (value->isWord() && value->text.startsWith(u'@') && !value->text.startsWith(QLatin1String("@@"))) {
        const size_t at = m_c.position();
        Vec v = m_ctx.normalize(at, at + 1);
        m_c.skip();
        v.insert(v.begin(), word("select"));
        s.value = expressionQuery(std::move(v));
        s.query = true;
        return {s};
    }
    QString v = value->text;
    if (value->kind == TokenKind::String) {
        if (v.startsWith(u'N') || v.startsWith(u'n')) v = v.mid(1);
        v = v.mid(1, v.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    }
    s.value = v;
    m_c.skip();
    return {s};
}

// set rowcount n | @n: the session's limit on the rows a statement returns or changes (0: none),
// read when the statement runs; the value is a query of the number.
Statement StatementParser::rowCount()
{
    const size_t at = m_c.position() + 2;
    const Token* value = m_c.peek(2);
    if (!value || !(value->kind == TokenKind::Number || (value->isWord() && value->text.startsWith(u'@')))) {
        failNear(at);
        skipToEnd();
        return {};
    }
    Vec v = m_ctx.normalize(at, at + 1);
    m_c.seek(at + 1);
    v.insert(v.begin(), word("select"));
    SessionOption s;
    s.name = QStringLiteral("rowcount");
    s.value = expressionQuery(std::move(v));
    return {s};
}

// set identity_insert [[db.]schema.]table on|off: the name goes to the server as OBJECT_ID reads
// it ("ON:[db].[schema].[table]"), resolved when the statement runs.
Statement StatementParser::identityInsert()
{
    const size_t at = m_c.position() + 2;
    const ObjectName name = readObjectName(m_ctx.tokens(), at, m_ctx.size());
    const Token* state = name.parts > 0 && name.end < m_ctx.size() ? &m_ctx[name.end] : nullptr;
    if (!state || !(state->is("on") || state->is("off"))) {
        failNear(name.parts > 0 ? name.end : at);
        skipToEnd();
        return {};
    }
    const auto bracketed = [](const QString& part) { return u'[' + QString(part).replace(u']', QStringLiteral("]]")) + u']'; };
    QString text = bracketed(name.object);
    if (name.parts > 1) text.prepend(bracketed(name.schema.isEmpty() ? QStringLiteral("dbo") : name.schema) + u'.');
    if (name.parts > 2 && !name.database.isEmpty()) text.prepend(bracketed(name.database) + u'.');
    m_c.seek(name.end + 1);
    SessionOption s;
    s.name = QStringLiteral("identity_insert");
    s.value = (state->is("on") ? QStringLiteral("ON:") : QStringLiteral("OFF:")) + text;
    return {s};
}

// print <expression>: the expression's value, read by a one-column select, goes back to the
// client as an informational message.
Statement StatementParser::print()
{
    const size_t start = m_c.position();   // print
    const size_t e = std::max(findEnd(start), start + 1);
    PrintStatement s;
    Vec v = m_ctx.normalize(start + 1, e);
    m_c.seek(e);
    if (v.empty()) {
        failNear(e);
        return {s};
    }
    // The value prints as CAST gives it as text ('Apr 18 2006  9:58AM' for a datetime, 1.50 for
    // a decimal(3,2), 2.00 for money, 1e+010 for a float), at most 8000 characters, or 4000
    // for Unicode.
    if (m_ctx.schema()) {
        const SqlType t = ExpressionTyper(m_ctx).typeOf(start + 1, e);
        v = m_ctx.convertedTo(
            t.kind == SqlType::Kind::NText ? QStringLiteral("nvarchar(4000)") : QStringLiteral("varchar(8000)"), v,
            start + 1, e);
    }
    v.insert(v.begin(), word("select"));
    s.query = expressionQuery(std::move(v));
    return {s};
}

QString StatementParser::condition()
{
    const std::vector<Token>& T = m_ctx.tokens();
    const size_t start = m_c.position();
    size_t i = start;
    int depth = 0;
    for (; i < T.size(); ++i) {
        if (T[i].isSymbol("("))
            ++depth;
        else if (T[i].isSymbol(")"))
            --depth;
        else if (depth == 0 && T[i].is("case"))
            i = m_ctx.groupEnd(i, T.size());
        else if (depth == 0 && (isStatementWord(T[i]) || beginsSave(T, i)))
            break;
    }
    if (i == start || i >= T.size()) {
        failNear(i);
        skipToEnd();
        return {};
    }
    const Vec cond = m_ctx.normalize(start, i);
    Vec q{word("select"), word("case"), word("when")};
    q.insert(q.end(), cond.begin(), cond.end());
    q.insert(
        q.end(), {word("then"), number(QStringLiteral("1")), word("else"), number(QStringLiteral("0")), word("end")});
    m_c.seek(i);
    return expressionQuery(std::move(q));
}

// if <condition> <statement> [else <statement>]
Statement StatementParser::ifStatement()
{
    m_c.skip();   // if
    IfStatement s;
    s.condition = condition();
    if (m_ctx.failed()) return {std::move(s)};
    s.thenBranch.push_back(parseNested());
    if (m_c.atSymbol(";") && m_c.at("else", 1)) m_c.skip();   // if … stmt; else …
    if (m_c.match("else")) {
        if (m_c.atEnd()) {
            failNear(m_c.position());
            return {std::move(s)};
        }
        s.elseBranch.push_back(parseNested());
    }
    return {std::move(s)};
}

Statement StatementParser::block()
{
    m_c.skip();   // begin
    BlockStatement s;
    s.body = parseList(true);
    if (!m_c.match("end")) fail(QStringLiteral("Incorrect syntax near the keyword 'begin': 'end' expected."));
    return {std::move(s)};
}

}   // namespace orra::embedded::translator
