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

// [exec] name [argument [, argument …]]: the name may be qualified (D..sp, dbo.sp), the last
// part names the procedure.
Statement StatementParser::procedureCall()
{
    ProcedureCall s;
    if (!m_c.atName()) {
        failNear(m_c.position());
        return {std::move(s)};
    }
    s.name = m_c.peek()->text;
    m_c.skip();
    while (m_c.peek(1) && m_c.atSymbol(".")) {
        size_t ahead = 0;
        while (m_c.atSymbol(".", ahead)) ++ahead;
        if (!m_c.atName(ahead)) break;
        s.name = m_c.peek(ahead)->text;
        m_c.skip(ahead + 1);
    }
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

// [@name =] [-]literal | null | default [output]; false (with the error) for anything else.
bool StatementParser::procedureArgument(ProcedureCall& call, size_t end)
{
    ProcedureArgument a;
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
    } else if (v.kind == TokenKind::Word && v.text.startsWith(u'@')) {
        fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(v.text));
        return false;
    } else {
        a.value = literalValue(v, negative);
    }
    m_c.skip();
    if (m_c.at("output") || m_c.at("out")) m_c.skip();
    call.arguments.push_back(a);
    return true;
}

}   // namespace orra::embedded::translator
