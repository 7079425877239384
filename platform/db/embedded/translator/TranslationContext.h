#pragma once
// What the rewriters of one batch share: its tokens, the connection's database, the
// translation being built (databases to attach, the first error and where it was found),
// and the normalisation of a token range into SQLite's vocabulary.

#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/BatchSchema.h"
#include "platform/db/embedded/translator/ObjectNames.h"
#include "platform/db/embedded/translator/Rewriting.h"

#include <utility>
#include <vector>

namespace orra::embedded::dates {
struct FunctionName;
}

namespace orra::embedded::translator {

// A variable of the batch: a scalar's value slot and declared type, or a table variable's
// temporary table.
struct Variable {
    QString name;        // folded
    int slot = -1;       // scalar: the value slot; -1 for a table variable
    size_t typeBegin = 0;
    size_t typeEnd = 0;   // scalar: the declared type's tokens
    QString table;        // table variable: the temporary table's name ("#@t")
};

// Where a statement names a table or view (out: the statement so far): its sources and the
// targets of insert, update, delete, select … into, create/alter/drop, references and create
// index … on.
bool atTablePosition(const Vec& out);

class TranslationContext {
public:
    TranslationContext(const std::vector<Token>& tokens, int textLength, const QString& currentDatabase,
        Translation& translation, const Schema* schema = nullptr);

    // The connection's schema with the tables the batch creates, when the translation may
    // read declared types; else nullptr.
    const Schema* schema() const { return m_schema ? &m_batchSchema : nullptr; }
    // A table created by the batch (its name at the offset `at`), known to the statements after
    // it. Translated again while the batch runs, the tables made before the statements still
    // to run are as the connection has them now (altered, perhaps) when it has them.
    void declareTable(const QString& database, const QString& table, std::vector<DeclaredColumn> columns, int at)
    {
        if (at < m_resumeAt && m_schema && !m_schema->columns(database, table).isEmpty()) return;
        m_batchSchema.declare(database, table, std::move(columns));
    }
    // An output clause's tokens [b, e): its inserted and deleted columns are the columns of the
    // table its statement changes (database as SQLite names it, bare table name).
    struct OutputScope {
        size_t b = 0, e = 0;
        QString database, table;
    };
    void addOutputScope(OutputScope scope) { m_outputScopes.push_back(std::move(scope)); }
    const OutputScope* outputScopeAt(size_t i) const
    {
        for (const OutputScope& s : m_outputScopes)
            if (i >= s.b && i < s.e) return &s;
        return nullptr;
    }
    void setResumeAt(int at) { m_resumeAt = at; }
    // The SQLite schema that a database name written in T-SQL stands for: "main" for none or
    // the connection's database, else the (attached) database's own name.
    QString schemaName(const QString& database) const;

    const std::vector<Token>& tokens() const { return m_tokens; }
    // The text translated, [from, to) of it (offsets as tokens keep them).
    void setSource(const QString& text) { m_source = text; }
    QString sourceText(int from, int to) const { return m_source.mid(from, to - from); }
    int textLength() const { return m_textLength; }
    // The connection's database, as the translation was asked for it.
    const QString& currentDatabase() const { return m_current; }
    // A scalar function's body: the value slot RETURN assigns (-1 elsewhere).
    int returnSlot() const { return m_translation.returnSlot; }
    void setReturnSlot(int slot) { m_translation.returnSlot = slot; }
    // FunctionReferences.cpp: a call of a user-defined scalar function whose name begins at
    // token i, written for the server's orra_udf (i then on its closing parenthesis); false for
    // a name that is none.
    bool userFunctionCall(Vec& out, const ObjectName& name, size_t& i, size_t e);
    const Token& operator[](size_t i) const { return m_tokens[i]; }
    size_t size() const { return m_tokens.size(); }

    bool failed() const { return !m_translation.error.isEmpty(); }
    // Records the first error, found at the token `at` (the end of the text past the last).
    void fail(const QString& message, size_t at);
    void fail(const QString& message, long number, size_t at);
    // "Incorrect syntax near '…'." for the token at i.
    QString near(size_t i) const;

    // The tokens [b, e) with T-SQL's names, hints, variables, functions and conversions in
    // SQLite's terms.
    Vec normalize(size_t b, size_t e);

    // Variables are known from their declaration to the end of the batch's text.
    const Variable* variable(const QString& name) const;
    // A scalar variable of the declared type [typeBegin, typeEnd), or a table variable.
    const Variable& declareVariable(const QString& name, size_t typeBegin, size_t typeEnd);
    const Variable& declareTableVariable(const QString& name);
    // A procedure's table variables are its own: their tables are named after it too.
    void setTableVariableScope(const QString& procedure) { m_tableVariableScope = procedure; }
    // expr converted to a scalar variable's declared type, as CAST to that type converts; the
    // expression's own tokens [sourceBegin, sourceEnd) when it has them, for conversions that
    // follow its type (12 into varchar(1) is "*").
    Vec convertedTo(const Variable& v, const Vec& expr, size_t sourceBegin = 0, size_t sourceEnd = 0);
    // expr, of the type given, converted to the variable's declared type (@v += x: the sum's
    // type decides, as in @v = @v + x).
    Vec convertedTo(const Variable& v, const Vec& expr, const SqlType& source);
    // The type of the value @v op= x gives the variable, x being the batch's tokens [b, e): x's
    // own for "=" (op empty), else that of @v op x.
    SqlType assignedType(const Variable& v, const QString& op, size_t b, size_t e) const;
    // expr converted to the type declared ("nvarchar(4000)"), as CAST to it converts.
    Vec convertedTo(const QString& declared, const Vec& expr, size_t sourceBegin = 0, size_t sourceEnd = 0);
    // The line of the batch the token at i is on (1 for the first).
    int lineOf(size_t i) const;
    void setLineStarts(std::vector<int> starts) { m_lineStarts = std::move(starts); }

    // The parenthesis that closes the one at open, or end.
    size_t matching(size_t open, size_t end) const;
    // {d '…'}, {t '…'} or {ts '…'} begins at token i (and ends before e).
    bool isOdbcDateEscape(size_t i, size_t e) const;
    // The end of the group that opens at i: the matching parenthesis or the case's end.
    size_t groupEnd(size_t i, size_t e) const;
    // The first token in [from, to) outside any parentheses that pred accepts, or `to`.
    template <class Pred> size_t firstAtTopLevel(size_t from, size_t to, Pred pred) const
    {
        int depth = 0;
        for (size_t k = from; k < to; ++k) {
            if (m_tokens[k].isSymbol("("))
                ++depth;
            else if (m_tokens[k].isSymbol(")"))
                --depth;
            else if (depth == 0 && pred(m_tokens[k]))
                return k;
        }
        return to;
    }
    // Splits [b, e) at top-level tokens that split accepts; the pieces in order.
    template <class Pred> std::vector<std::pair<size_t, size_t>> splitTop(size_t b, size_t e, Pred split) const
    {
        std::vector<std::pair<size_t, size_t>> parts;
        size_t start = b;
        for (size_t k = b; k < e; ++k) {
            if (m_tokens[k].isSymbol("(") || m_tokens[k].is("case")) {
                k = groupEnd(k, e);
                continue;
            }
            if (split(k)) {
                parts.push_back({start, k});
                start = k + 1;
            }
        }
        parts.push_back({start, e});
        return parts;
    }

private:
    // The SQLite schema of a database the text names ("main" for the connection's own),
    // attached when the statement runs.
    QString databaseRef(const QString& database);
    NT tableRef(const QString& database, const QString& schema, const QString& object);
    // ObjectReferences.cpp
    bool objectReference(Vec& out, const ObjectName& name);
    QString informationSchemaTables(const QString& database);
    bool functionCall(Vec& out, size_t& i, size_t e);
    bool builtinCallFits(size_t i, size_t e);
    bool namesObject(size_t i) const;
    bool dateFunctionCall(Vec& out, size_t& i, size_t e, const dates::FunctionName& f);
    QString sourceDateType(size_t b, size_t e) const;
    // The string functions (StringCalls.cpp): as functionCall.
    bool stringFunctionCall(Vec& out, size_t& i, size_t e);
    // The expression in tokens [b, e) where the server reads a text: a number or a date is
    // converted to text as CAST converts it.
    Vec textArgument(size_t b, size_t e);
    SqlType convertedToText(size_t b, size_t e) const;
    void writeTextArguments(Vec& out, size_t& i, size_t close, const std::vector<std::pair<size_t, size_t>>& args);
    // PERCENTILE_CONT and PERCENTILE_DISC … WITHIN GROUP … OVER (PercentileCalls.cpp): as functionCall.
    bool percentileCall(Vec& out, size_t& i, size_t e);
    QString conversionOfParameter(const QString& tsql, size_t at);
    QString tokenText(size_t b, size_t e) const;
    bool hasCollation(size_t b, size_t e) const;
    static void markLikeSubject(Vec& out);
    // A character or binary type without a length is 30 long in a conversion, 1 long in a
    // declaration.
    // The conversion of expr to the type in tokens [typeBegin, typeEnd); the source's tokens and
    // CONVERT's style (a literal, or the SQL of an expression in styleText) when known, for
    // conversions that follow them.
    void emitConversion(Vec& out, const Vec& expr, size_t typeBegin, size_t typeEnd, int defaultLength = 30,
        size_t sourceBegin = 0, size_t sourceEnd = 0, int style = -1, const QString& styleText = {},
        const SqlType* knownSource = nullptr);
    // The same to the type declared; its tokens [typeBegin, typeEnd) when it was written; the
    // source's type when known apart from its tokens.
    void emitConversion(Vec& out, const Vec& expr, const QString& declared, size_t typeBegin, size_t typeEnd,
        int defaultLength, size_t sourceBegin, size_t sourceEnd, int style, const QString& styleText,
        const SqlType* knownSource = nullptr);

    const std::vector<Token>& m_tokens;
    int m_textLength;
    QString m_current;
    Translation& m_translation;
    std::vector<Variable> m_variables;
    std::vector<int> m_lineStarts;   // offsets where the lines after the first begin
    const Schema* m_schema = nullptr;
    BatchSchema m_batchSchema;
    QString m_source;
    QString m_tableVariableScope;
    std::vector<OutputScope> m_outputScopes;
    int m_resumeAt = -1;
};

}   // namespace orra::embedded::translator
