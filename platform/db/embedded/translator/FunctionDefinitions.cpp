// Functions' definitions: create, alter and drop in a batch (the text kept as written once the
// head reads and, for a scalar function, the body translates), and the body of a scalar
// function as the server runs it for a call.
#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/FunctionHeader.h"
#include "platform/db/embedded/translator/StatementParser.h"
#include "platform/db/embedded/translator/Rewriters.h"

namespace orra::embedded::translator {

namespace {

// What a function may not do, as the server names it in error 443; empty for what it may.
QString sideEffect(const Statement& st)
{
    if (st.is<PrintStatement>()) return QStringLiteral("PRINT");
    if (st.is<ProcedureCall>()) return QStringLiteral("EXECUTE");
    if (const auto* r = st.as<RaiseStatement>()) return r->isThrow ? QStringLiteral("THROW") : QStringLiteral("RAISERROR");
    if (st.is<NoCountStatement>() || st.is<SessionOption>() || st.is<XactAbortStatement>()) return QStringLiteral("SET");
    if (st.is<ModuleStatement>() || st.is<InsertExec>()) return QStringLiteral("EXECUTE");
    if (const auto* t = st.as<TransactionStatement>())
        return t->kind == TransactionStatement::Kind::Begin ? QStringLiteral("BEGIN")
            : t->kind == TransactionStatement::Kind::Commit ? QStringLiteral("COMMIT")
            : t->kind == TransactionStatement::Kind::Save   ? QStringLiteral("SAVE TRANSACTION")
                                                            : QStringLiteral("ROLLBACK");
    if (st.is<CreateSchema>() || st.is<CreateUser>()
        || st.is<CreateRole>() || st.is<CreateLogin>() || st.is<CreateDatabase>())
        return QStringLiteral("CREATE");
    if (const auto* sql = st.as<SqlStatement>()) {
        const QString verb = sql->sql.section(u' ', 0, 0).toUpper();
        // A function writes its own table variables only.
        if (sql->dml && !sql->sql.contains(QLatin1String("\"#@"))) return verb;
        if (!sql->dml && !sql->returnsRows && verb != u"SELECT" && verb != u"WITH") return verb;
    }
    return {};
}

}   // namespace

bool StatementParser::atFunctionStatement(const TokenCursor& c)
{
    if (c.at("create") && c.at("or", 1) && c.at("alter", 2)) return c.at("function", 3);
    return c.atAny({"create", "alter", "drop"}) && c.at("function", 1);
}

// create [or alter] | alter function name …: the whole rest of the batch is its definition;
// drop function [if exists] name [, name …].
Statement StatementParser::functionStatement()
{
    const std::vector<Token>& T = m_ctx.tokens();
    const size_t start = m_c.position();
    ModuleStatement s;
    if (m_c.at("drop")) {
        s.action = ModuleStatement::Action::Drop;
        s.type = QStringLiteral("FN,IF,TF");
        m_c.skip(2);
        return dropModules(std::move(s), start);
    }
    // The definition is the rest of the batch (which it begins).
    skipToEnd();
    const FunctionHeader h = readFunctionHeader(T, start);
    if (!h.ok()) {
        failNear(h.errorAt);
        return {};
    }
    if (!h.name.database.isEmpty()) {
        m_ctx.fail(QStringLiteral("'CREATE/ALTER FUNCTION' does not allow specifying the database name as a prefix to "
                                  "the object name."),
            166, start);
        return {};
    }
    if (h.type == u"TF") {
        m_ctx.fail(QStringLiteral("The embedded server does not run multi-statement table-valued functions "
                                  "(RETURNS @table TABLE); write an inline table-valued function (RETURNS TABLE AS "
                                  "RETURN select …)."),
            h.start);
        return {};
    }
    s.type = h.type;
    s.action = h.create && h.alter ? ModuleStatement::Action::CreateOrAlter
        : h.alter                  ? ModuleStatement::Action::Alter
                                   : ModuleStatement::Action::Create;
    s.names.push_back({h.name.schema, h.name.object});
    s.definition = m_ctx.sourceText(T[start].pos, m_ctx.textLength());
    if (h.type == u"FN") {
        // The body must translate now, as the server compiles it when the function is made; a
        // function it calls (itself too) need not exist yet, that is looked for when it runs.
        const auto body =
            translateCached(s.definition, m_ctx.currentDatabase(), m_ctx.schema(), TextKind::Function);
        if (!body->error.isEmpty() && body->errorNumber != 4121) {
            m_ctx.fail(body->error, body->errorNumber, start);
            return {};
        }
    } else {
        TokenCursor c(T, h.body);
        if (!c.match("return") || c.atEnd()) {
            failNear(c.position());
            return {};
        }
    }
    return {std::move(s)};
}

// The body of a scalar function: the parameters' slots converted to their types, then the
// statements between begin and end.
StatementList StatementParser::parseFunction()
{
    const std::vector<Token>& T = m_ctx.tokens();
    const FunctionHeader h = readFunctionHeader(T, 0);
    if (!h.ok() || h.type != u"FN") {
        failNear(h.ok() ? h.body : h.errorAt);
        return {};
    }
    StatementList list;
    Assignment parameters;
    Vec columns;
    for (const FunctionParameter& p : h.parameters) {
        if (m_ctx.variable(p.name)) {
            m_ctx.fail(QStringLiteral("The variable name '%1' has already been declared. Variable names must be unique "
                                      "within a query batch or stored procedure.")
                           .arg(p.name),
                134, p.typeBegin);
            return {};
        }
        const Variable& v = m_ctx.declareVariable(p.name, p.typeBegin, p.typeEnd);
        NT slot;
        slot.t = T[p.typeBegin];
        slot.out = QStringLiteral(":v%1").arg(v.slot);
        const Vec converted = m_ctx.convertedTo(v, Vec{slot});
        if (!columns.empty()) columns.push_back(symbol(","));
        columns.insert(columns.end(), converted.begin(), converted.end());
        parameters.targets.push_back(v.slot);
    }
    m_ctx.setReturnSlot(m_ctx.declareVariable(QString(), h.returnBegin, h.returnEnd).slot);
    if (!parameters.targets.empty()) {
        Vec q{word("select")};
        q.insert(q.end(), columns.begin(), columns.end());
        parameters.query = render(rewriteExpressions(q));
        list.push_back({std::move(parameters)});
    }
    m_c.seek(h.body);
    if (!m_c.match("begin")) {
        failNear(m_c.position());
        return {};
    }
    StatementList body = parseList(true);
    if (m_ctx.failed()) return {};
    if (!m_c.match("end")) {
        failNear(m_c.position());
        return {};
    }
    while (m_c.matchSymbol(";")) {}
    if (!m_c.atEnd()) {
        failNear(m_c.position());
        return {};
    }
    const auto* last = body.empty() ? nullptr : body.back().as<BlockStatement>();
    if (!last || last->body.empty() || !last->body.back().is<FlowStatement>()) {
        m_ctx.fail(QStringLiteral("The last statement included within a function must be a return statement."), 455,
            m_c.position());
        return {};
    }
    for (Statement& st : body) {
        if (const QString effect = sideEffect(st); !effect.isEmpty()) {
            m_ctx.fail(QStringLiteral("Invalid use of a side-effecting operator '%1' within a function.").arg(effect), 443,
                h.body);
            return {};
        }
        if (const auto* sql = st.as<SqlStatement>(); sql && sql->returnsRows) {
            m_ctx.fail(QStringLiteral("Select statements included within a function cannot return data to a client."),
                444, h.body);
            return {};
        }
        list.push_back(std::move(st));
    }
    return list;
}

// return expression, in a function's body: the value assigned to its slot as the declared type
// converts it, and the function ends.
Statement StatementParser::returnValue(size_t at)
{
    const size_t e = std::max(findEnd(at), at + 1);
    m_c.seek(e);
    const Vec expr = m_ctx.normalize(at + 1, e);
    if (m_ctx.failed()) return {};
    if (expr.empty()) {
        failNear(e);
        return {};
    }
    const Variable* result = m_ctx.variable(QString());
    Assignment a;
    a.targets.push_back(m_ctx.returnSlot());
    Vec q{word("select")};
    const Vec converted = m_ctx.convertedTo(*result, expr);
    q.insert(q.end(), converted.begin(), converted.end());
    rewriteForClauses(m_ctx, q);
    a.query = render(rewriteExpressions(q));
    FlowStatement done;
    done.kind = FlowStatement::Kind::Return;
    BlockStatement block;
    block.body.push_back({std::move(a)});
    block.body.push_back({done});
    return {std::move(block)};
}

}   // namespace orra::embedded::translator
