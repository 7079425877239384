#pragma once
// Splits a batch without semicolons into statements and reads each: control statements
// (if/else, begin … end, set nocount, transactions), procedure calls and administration come
// back as their own kinds; the rest goes to the rewriter of its kind.

#include "platform/db/embedded/translator/TokenCursor.h"
#include "platform/db/embedded/translator/TranslationContext.h"

namespace orra::embedded::translator {

// How deeply blocks, conditions, parentheses and case expressions may nest: far beyond what
// a person writes, far below what the recursive rewriting can take on any thread's stack.
constexpr int kMaxNesting = 128;
constexpr long kNestedTooDeeply = 191;
QString nestedTooDeeply();

// save tran[saction] begins at T[i] (a statement, though "save" alone may name a column).
inline bool beginsSave(const std::vector<Token>& T, size_t i)
{
    return i + 1 < T.size() && T[i].is("save") && isOneOf(T[i + 1], {"tran", "transaction"});
}

// The value of a literal argument: text, a number (negated when a minus went before it) or
// binary.
QVariant literalValue(const Token& t, bool negative);

class StatementParser {
public:
    explicit StatementParser(TranslationContext& ctx) : m_ctx(ctx), m_c(ctx.tokens()) {}

    // The batch's statements; a goto must name a label of the batch.
    StatementList parseBatch();
    // The statements up to the end of the text, or up to an "end" when untilEnd.
    StatementList parseList(bool untilEnd);
    // A procedure's stored definition: its body, with the parameters declared first.
    StatementList parseProcedure(std::vector<ProcedureParameter>& parameters, QString& name);
    // FunctionDefinitions.cpp: a scalar function's stored definition as the body that a call
    // runs (Translation::returnSlot).
    StatementList parseFunction();

private:
    Statement parseOne(bool batchStart);
    // The statement that if, else or while governs, with its line.
    Statement parseNested();
    // The source text of the tokens [from, the cursor).
    QString writtenText(size_t from) const;
    // The end of the statement that begins at the token `from`.
    size_t findEnd(size_t from) const;
    bool isAllowedStatement() const;
    QString statementWords() const;
    bool looksLikeProcedureCall() const;
    Statement sqlStatement(size_t b, size_t e);
    // The statement [b, e) normalised to v, rewritten by its kind.
    Statement changeStatement(Vec v, size_t b, size_t e, int maxRecursion);
    Statement withChange(Vec v, size_t main);

    // ControlStatements.cpp
    Statement transaction(const char* what);
    Statement noCount();
    Statement sessionOption();
    Statement rowCount();
    Statement identityInsert();
    Statement print();
    Statement ifStatement();
    Statement block();
    // The condition of if or while that begins at the cursor, as a query giving 1 when it
    // holds; the cursor then stands on the statement it governs.
    QString condition();
    // The SQLite text of a query the interpreter runs for a statement's expressions, written
    // by the expressions' types as a select is.
    QString expressionQuery(Vec q);

    // BatchStatements.cpp
    bool atBatchStatement() const;
    Statement batchStatement();
    Statement declare();
    Statement setVariable();
    Statement selectAssignment(size_t e);
    Statement whileStatement();
    Statement tryCatch();
    Statement raise();
    // The assignment of expr (tokens [b, e)) to the variable named at `at` with the operator
    // op ("=", "+=" …), converted to its declared type.
    bool assignmentColumn(Vec& out, std::vector<int>& targets, size_t at, const QString& op, size_t b, size_t e);

    // CursorStatements.cpp
    bool atCursorDeclaration() const;
    Statement declareCursor();
    bool cursorOptions(CursorStatement& s, bool iso);
    Statement cursorSelect(CursorStatement s);
    Statement cursorStatement();
    bool fetchDirection(CursorStatement& s);
    // set @c = cursor … for select …
    Statement cursorAssignment();
    bool refusesPositionedChange(size_t b, size_t e);

    // ProcedureCallParser.cpp
    Statement procedureCall();
    bool procedureArgument(ProcedureCall& call, size_t end);
    QString outputQuery(const Variable& v);

    // ProcedureStatements.cpp
    bool atModuleStatement() const;
    Statement moduleStatement();
    // "CREATE VIEW", "CREATE/ALTER PROCEDURE" … when the cursor is on the definition of a view,
    // procedure, function or trigger, which must begin its batch; else empty.
    QString moduleDefinition() const;
    // Such a definition that does not begin its batch: error 111, and true.
    bool refusesModuleDefinitionInside(bool batchStart);
    StatementList procedureDefinition(std::vector<ProcedureParameter>& parameters, QString& schema, QString& name);
    bool procedureParameter(std::vector<ProcedureParameter>& parameters);
    size_t insertExecAt() const;
    Statement insertExec(size_t exec);
    // drop procedure|function [if exists] name [, name …] of the statement begun at `start`,
    // the cursor after its first two words.
    Statement dropModules(ModuleStatement s, size_t start);

    // FunctionDefinitions.cpp
    static bool atFunctionStatement(const TokenCursor& c);
    Statement functionStatement();
    Statement returnValue(size_t at);

    // AdministrationParser.cpp
    Statement administration();
    QString nameAt(size_t i);

    void fail(const QString& message) { m_ctx.fail(message, m_c.position()); }
    void failNear(size_t at) { m_ctx.fail(m_ctx.near(at), at); }
    void skipToEnd() { m_c.seek(m_ctx.size()); }

    struct Nested {
        int& depth;
        explicit Nested(int& d) : depth(++d) {}
        ~Nested() { --depth; }
    };

    TranslationContext& m_ctx;
    TokenCursor m_c;
    int m_depth = 0;   // statements inside if and begin … end
    int m_loops = 0;    // while loops around the statement being read
    int m_catches = 0;  // catch blocks around it
    bool m_inProcedure = false;   // reading a procedure's body: return may give a status
    QStringList m_labels;
    QStringList m_cursorVariables;   // declared cursor variables (folded, with '@')
    std::vector<std::pair<QString, size_t>> m_gotos;   // label, where the goto stands
};

}   // namespace orra::embedded::translator
