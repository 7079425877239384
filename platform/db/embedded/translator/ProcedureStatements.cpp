#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/StatementParser.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

// Stored procedures: create [or alter] | alter | drop procedure in a batch, the stored
// definition read back for a call (its parameters as the first variables of its body), and
// insert … exec.

namespace orra::embedded::translator {

namespace {

bool isProcedureWord(const Token* t) { return t && (t->is("procedure") || t->is("proc")); }

bool isVariableToken(const Token& t)
{
    return t.kind == TokenKind::Word && t.text.startsWith(u'@') && !t.text.startsWith(QLatin1String("@@"));
}

}   // namespace

bool StatementParser::atModuleStatement() const
{
    if (atFunctionStatement(m_c)) return true;
    if (m_c.at("create")) return isProcedureWord(m_c.peek(1)) || (m_c.at("or", 1) && m_c.at("alter", 2) && isProcedureWord(m_c.peek(3)));
    if (m_c.at("alter") || m_c.at("drop")) return isProcedureWord(m_c.peek(1));
    return false;
}

QString StatementParser::moduleDefinition() const
{
    const int kind = m_c.at("or", 1) && m_c.at("alter", 2) ? 3 : 1;
    const bool create = m_c.at("create");
    if (!create && !m_c.at("alter")) return {};
    if (isProcedureWord(m_c.peek(kind))) return create ? QStringLiteral("CREATE/ALTER PROCEDURE") : QStringLiteral("ALTER PROCEDURE");
    if (m_c.at("function", kind)) return QStringLiteral("CREATE/ALTER FUNCTION");
    if (m_c.at("view", kind)) return create ? QStringLiteral("CREATE VIEW") : QStringLiteral("ALTER VIEW");
    if (m_c.at("trigger", kind)) return create ? QStringLiteral("CREATE TRIGGER") : QStringLiteral("ALTER TRIGGER");
    return {};
}

bool StatementParser::refusesModuleDefinitionInside(bool batchStart)
{
    if (batchStart && m_depth <= 1) return false;
    const QString what = moduleDefinition();
    if (what.isEmpty()) return false;
    m_ctx.fail(QStringLiteral("'%1' must be the first statement in a query batch.").arg(what), 111, m_c.position());
    skipToEnd();
    return true;
}

// create [or alter] | alter procedure name …: the whole rest of the batch is its definition;
// drop procedure [if exists] name [, name …].
Statement StatementParser::moduleStatement()
{
    if (atFunctionStatement(m_c)) return functionStatement();
    const size_t at = m_c.position();
    ModuleStatement s;
    s.type = QStringLiteral("P");
    if (m_c.match("drop")) {
        m_c.skip();   // procedure
        s.action = ModuleStatement::Action::Drop;
        return dropModules(std::move(s), at);
    }
    s.action = m_c.at("alter")        ? ModuleStatement::Action::Alter
        : m_c.at("or", 1)             ? ModuleStatement::Action::CreateOrAlter
                                      : ModuleStatement::Action::Create;
    // The definition is read as a call would read it, so that a fault shows now.
    std::vector<ProcedureParameter> parameters;
    QString schema;
    QString name;
    procedureDefinition(parameters, schema, name);
    if (m_ctx.failed()) return {};
    s.names.push_back({schema, name});
    const std::vector<Token>& T = m_ctx.tokens();
    s.definition = m_ctx.sourceText(T[at].pos, m_ctx.textLength());
    skipToEnd();
    return {std::move(s)};
}

Statement StatementParser::dropModules(ModuleStatement s, size_t start)
{
    if (m_c.at("if") && m_c.at("exists", 1)) {
        s.ifExists = true;
        m_c.skip(2);
    }
    const size_t e = findEnd(start);
    for (;;) {
        const ObjectName name = readObjectName(m_ctx.tokens(), m_c.position(), e);
        if (name.parts == 0 || !name.database.isEmpty()) {
            failNear(m_c.position());
            return {};
        }
        s.names.push_back({name.schema, name.object});
        m_c.seek(name.end);
        if (!m_c.matchSymbol(",")) break;
    }
    if (m_c.position() < e) failNear(m_c.position());
    m_c.seek(e);
    return {std::move(s)};
}

StatementList StatementParser::parseProcedure(std::vector<ProcedureParameter>& parameters, QString& name)
{
    QString schema;
    StatementList body = procedureDefinition(parameters, schema, name);
    if (!isDefaultSchema(schema)) name = schema + u'.' + name;
    return body;
}

// [create [or alter] | alter] proc[edure] [schema.]name [(] [@p type [varying] [= default]
// [out[put]] [readonly], …] [)] [with recompile | encryption | execute as caller] as body
StatementList StatementParser::procedureDefinition(
    std::vector<ProcedureParameter>& parameters, QString& schema, QString& name)
{
    const std::vector<Token>& T = m_ctx.tokens();
    m_c.seek(0);
    if (m_c.match("create")) {
        if (m_c.match("or") && !m_c.match("alter")) {
            failNear(m_c.position());
            return {};
        }
    } else if (!m_c.match("alter")) {
        failNear(0);
        return {};
    }
    if (!isProcedureWord(m_c.peek())) {
        failNear(m_c.position());
        return {};
    }
    m_c.skip();
    const ObjectName n = readObjectName(T, m_c.position(), T.size());
    if (n.parts == 0) {
        failNear(m_c.position());
        return {};
    }
    if (!n.database.isEmpty()) {
        m_ctx.fail(QStringLiteral("'CREATE/ALTER PROCEDURE' does not allow specifying the database name as a prefix to "
                                  "the object name."),
            166, m_c.position());
        return {};
    }
    if (n.object.startsWith(u'#')) {
        m_ctx.fail(QStringLiteral("The embedded server does not keep temporary procedures."), m_c.position());
        return {};
    }
    schema = n.schema;
    name = n.object;
    m_c.seek(n.end);
    const bool parenthesised = m_c.matchSymbol("(");
    while (!m_c.atEnd() && m_c.peek()->kind == TokenKind::Word && m_c.peek()->text.startsWith(u'@')) {
        if (!procedureParameter(parameters)) return {};
        if (!m_c.matchSymbol(",")) break;
    }
    if (parenthesised && !m_c.matchSymbol(")")) {
        failNear(m_c.position());
        return {};
    }
    if (m_c.match("with")) {
        for (;;) {
            if (m_c.at("recompile") || m_c.at("encryption")) {
                m_c.skip();
            } else if (m_c.at("execute") && m_c.at("as", 1) && m_c.at("caller", 2)) {
                m_c.skip(3);
            } else {
                m_ctx.fail(QStringLiteral("The embedded server does not run procedures with the option '%1'.")
                               .arg(m_c.atEnd() ? QString() : m_c.peek()->text),
                    m_c.position());
                return {};
            }
            if (!m_c.matchSymbol(",")) break;
        }
    }
    if (m_c.at("for") && m_c.at("replication", 1)) {
        m_ctx.fail(QStringLiteral("The embedded server does not run procedures for replication."), m_c.position());
        return {};
    }
    if (!m_c.match("as")) {
        failNear(m_c.position());
        return {};
    }
    m_inProcedure = true;
    m_ctx.setTableVariableScope(isDefaultSchema(schema) ? name : schema + u'.' + name);
    StatementList body = parseBatch();
    m_inProcedure = false;
    return body;
}

// @name [as] type [varying] [= default] [out | output] [readonly]
bool StatementParser::procedureParameter(std::vector<ProcedureParameter>& parameters)
{
    const std::vector<Token>& T = m_ctx.tokens();
    const size_t at = m_c.position();
    ProcedureParameter p;
    p.name = T[at].text;
    if (m_ctx.variable(p.name)) {
        m_ctx.fail(QStringLiteral("The variable name '%1' has already been declared. Variable names must be unique "
                                  "within a query batch or stored procedure.")
                       .arg(p.name),
            134, at);
        return false;
    }
    m_c.skip();
    m_c.match("as");
    const size_t typeBegin = m_c.position();
    const auto endsType = [&](const Token& t) {
        return t.isSymbol("=") || t.isSymbol(",") || t.isSymbol(")")
            || isOneOf(t, {"varying", "out", "output", "readonly", "with", "as", "null", "not"});
    };
    while (!m_c.atEnd() && !endsType(*m_c.peek())) {
        if (m_c.atSymbol("("))
            m_c.skipGroup();
        else
            m_c.skip();
    }
    const size_t typeEnd = m_c.position();
    if (typeEnd == typeBegin) {
        failNear(typeEnd);
        return false;
    }
    if (T[typeBegin].is("table") || T[typeBegin].is("cursor")) {
        m_ctx.fail(QStringLiteral("The embedded server does not run procedures with %1 parameters.").arg(T[typeBegin].text.toLower()),
            typeBegin);
        return false;
    }
    const Variable& v = m_ctx.declareVariable(p.name, typeBegin, typeEnd);
    p.slot = v.slot;
    m_c.match("varying");
    if (m_c.matchSymbol("=")) {
        const size_t b = m_c.position();
        while (!m_c.atEnd() && !(m_c.atSymbol(",") || m_c.atSymbol(")") || m_c.atAny({"out", "output", "readonly", "with", "as"}))) {
            if (m_c.atSymbol("("))
                m_c.skipGroup();
            else
                m_c.skip();
        }
        if (m_c.position() == b) {
            failNear(b);
            return false;
        }
        for (size_t k = b; k < m_c.position(); ++k)
            if (isVariableToken(T[k]) || (T[k].isWord() && m_ctx.variable(T[k].text))) {
                failNear(k);
                return false;
            }
        Vec q{word("select")};
        const Vec value = m_ctx.convertedTo(*m_ctx.variable(p.name), m_ctx.normalize(b, m_c.position()), b, m_c.position());
        q.insert(q.end(), value.begin(), value.end());
        p.defaultQuery = render(rewriteExpressions(q));
    }
    if (m_c.match("out") || m_c.match("output")) p.output = true;
    m_c.match("readonly");
    Vec q{word("select")};
    const Vec argument = m_ctx.convertedTo(*m_ctx.variable(p.name), Vec{symbol("?")});
    q.insert(q.end(), argument.begin(), argument.end());
    p.argumentQuery = render(rewriteExpressions(q));
    parameters.push_back(std::move(p));
    return !m_ctx.failed();
}

// insert [into] T [(columns)] exec[ute] …: the target as written, and the call.
Statement StatementParser::insertExec(size_t exec)
{
    InsertExec s;
    Vec v = m_ctx.normalize(m_c.position(), exec);
    if (m_ctx.failed()) return {};
    v.insert(v.end(), {word("select"), symbol("*"), word("from"), raw(QStringLiteral("temp.") + quoteName(QString::fromLatin1(kInsertExecRows)))});
    rewriteByType(m_ctx, v);
    if (m_ctx.failed()) return {};
    s.insert = rewriteInsert(std::move(v));
    m_c.seek(exec + 1);
    Statement call = procedureCall();
    if (const auto* c = call.as<ProcedureCall>()) s.call = *c;
    return {std::move(s)};
}

// The exec that follows the target of an insert, or the end.
size_t StatementParser::insertExecAt() const
{
    if (!m_c.at("insert")) return m_ctx.size();
    size_t k = m_c.position() + 1;
    if (k < m_ctx.size() && m_ctx[k].is("into")) ++k;
    const ObjectName target = readObjectName(m_ctx.tokens(), k, m_ctx.size());
    if (target.parts == 0) {
        // a table variable
        if (k < m_ctx.size() && isVariableToken(m_ctx[k]))
            k = k + 1;
        else
            return m_ctx.size();
    } else {
        k = target.end;
    }
    if (k < m_ctx.size() && m_ctx[k].isSymbol("(")) k = m_ctx.matching(k, m_ctx.size()) + 1;
    if (k < m_ctx.size() && (m_ctx[k].is("exec") || m_ctx[k].is("execute"))) return k;
    return m_ctx.size();
}

}   // namespace orra::embedded::translator
