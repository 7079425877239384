#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/StatementParser.h"

namespace orra::embedded::translator {

QVariant literalValue(const Token& t, bool negative)
{
    if (t.kind == TokenKind::String) {
        QString v = t.text.mid(1, t.text.size() - 2);
        v.replace(QStringLiteral("''"), QStringLiteral("'"));
        return v;
    }
    if (isBinaryLiteral(t)) return QByteArray::fromHex(binaryDigits(t).toLatin1());
    if (t.kind == TokenKind::Number) {
        bool ok = false;
        const qlonglong n = t.text.toLongLong(&ok);
        if (ok) return negative ? -n : n;
        const double d = t.text.toDouble(&ok);
        return negative ? -d : d;
    }
    return t.text;
}

// [exec] [@status =] name [argument [, argument …]]: the name may be qualified (D..sp, dbo.sp).
Statement StatementParser::procedureCall()
{
    ProcedureCall s;
    const std::vector<Token>& T = m_ctx.tokens();
    if (!m_c.atEnd() && m_c.peek()->kind == TokenKind::Word && m_c.peek()->text.startsWith(u'@') && m_c.atSymbol("=", 1)) {
        const Variable* status = m_ctx.variable(m_c.peek()->text);
        if (!status || status->slot < 0) {
            m_ctx.fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(m_c.peek()->text), 137, m_c.position());
            return {std::move(s)};
        }
        s.statusSlot = status->slot;
        s.statusQuery = outputQuery(*status);
        m_c.skip(2);
    }
    if (m_c.atSymbol("(") || m_c.at("sp_executesql")) {
        fail(QStringLiteral("The embedded server does not run dynamic SQL ('%1').")
                 .arg(m_c.atSymbol("(") ? QStringLiteral("exec (…)") : QStringLiteral("sp_executesql")));
        skipToEnd();
        return {std::move(s)};
    }
    const ObjectName name = readObjectName(T, m_c.position(), T.size());
    if (name.parts == 0) {
        failNear(m_c.position());
        return {std::move(s)};
    }
    s.name = name.object;
    s.schema = name.schema;
    s.database = name.database;
    m_c.seek(name.end);
    const size_t end = findEnd(m_c.position() - 1);
    bool expectValue = true;
    while (m_c.position() < end) {
        if (m_c.atSymbol(",")) {
            if (expectValue) {
                failNear(m_c.position());
                return {std::move(s)};
            }
            expectValue = true;
            m_c.skip();
            continue;
        }
        if (!expectValue || !procedureArgument(s, end)) {
            if (!expectValue) failNear(m_c.position());
            return {std::move(s)};
        }
        expectValue = false;
    }
    m_c.seek(end);
    return {std::move(s)};
}

// "select ?" converted to the variable's declared type: how a value comes back into it.
QString StatementParser::outputQuery(const Variable& v)
{
    Vec q{word("select")};
    const Vec value = m_ctx.convertedTo(v, Vec{symbol("?")});
    q.insert(q.end(), value.begin(), value.end());
    return render(rewriteExpressions(q));
}

// [@name =] [-]literal | null | default | @variable [out[put]]; false (with the error) for
// anything else.
bool StatementParser::procedureArgument(ProcedureCall& call, size_t end)
{
    ProcedureArgument a;
    ArgumentVariable variable;
    const Token& first = *m_c.peek();
    if (first.kind == TokenKind::Word && first.text.startsWith(u'@') && m_c.atSymbol("=", 1)) {
        a.name = first.text;
        m_c.skip(2);
        if (m_c.position() >= end) {
            failNear(m_c.position());
            return false;
        }
    }
    bool negative = false;
    if (m_c.atSymbol("-") && m_c.position() + 1 < end && m_c.peek(1)->kind == TokenKind::Number) {
        negative = true;
        m_c.skip();
    }
    const Token& v = *m_c.peek();
    if (v.is("default")) {
        a.isDefault = true;
    } else if (v.is("null")) {
        a.value = QVariant();
    } else if (v.kind == TokenKind::Word && v.text.startsWith(u'@') && !v.text.startsWith(QLatin1String("@@"))) {
        const Variable* var = m_ctx.variable(v.text);
        if (!var || var->slot < 0) {
            m_ctx.fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(v.text), 137, m_c.position());
            return false;
        }
        variable.slot = var->slot;
    } else if (v.kind == TokenKind::String || v.kind == TokenKind::Number || v.kind == TokenKind::Word) {
        a.value = literalValue(v, negative);
    } else {
        failNear(m_c.position());
        return false;
    }
    m_c.skip();
    if (m_c.at("output") || m_c.at("out")) {
        if (variable.slot < 0) {
            m_ctx.fail(QStringLiteral("Cannot use the OUTPUT option when passing a constant to a stored procedure."), 179,
                m_c.position());
            return false;
        }
        variable.output = true;
        variable.outputQuery = outputQuery(*m_ctx.variable(v.text));
        m_c.skip();
    }
    call.arguments.push_back(a);
    call.variables.push_back(variable);
    return true;
}

}   // namespace orra::embedded::translator
