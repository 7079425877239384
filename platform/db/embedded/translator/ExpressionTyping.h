#pragma once
// The T-SQL type of an expression, known while a statement is translated, so that the
// translator can write each expression for SQLite by its type (an exact sum of money, an
// integer average of int, a date compared with a text as dates …).
//
// Use:
//     ExpressionTyper typer(ctx);              // over the batch's tokens, with ctx.schema()
//     SqlType t = typer.typeOf(b, e);          // the expression in tokens [b, e)
//     if (t.kind == SqlType::Kind::Money) …
// Column names resolve against the from clauses of the selects (and of update and delete)
// that enclose the expression, innermost first, the way the server resolves them; a column's
// type is its declared type, read from the database through the connection's Schema.
// Derived tables "(select …) x" type their columns from their select lists. What cannot be
// typed is Kind::Unknown, and the caller then keeps SQLite's own behaviour.

#include "platform/db/embedded/TsqlLexer.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace orra::embedded {

// A T-SQL data type with its precision, scale or length.
struct SqlType {
    // In the server's order of data type precedence, lowest first (Unknown and Null aside).
    enum class Kind {
        Unknown,
        Null,
        Binary,      // binary, varbinary, image
        Text,        // char, varchar, text
        NText,       // nchar, nvarchar, ntext, sysname
        Guid,
        Bit,
        TinyInt,
        SmallInt,
        Int,
        BigInt,
        SmallMoney,
        Money,
        Decimal,     // decimal, numeric
        Real,
        Float,
        Date,
        Time,
        SmallDateTime,
        DateTime,
        DateTime2,
        DateTimeOffset,
    };
    Kind kind = Kind::Unknown;
    int precision = 0;   // Decimal: 1-38
    int scale = 0;       // Decimal: 0-precision; money and smallmoney: 4
    int length = 0;      // Text, NText, Binary: declared length, -1 for (max)
    QString collation{};   // Text, NText read from a column: the column's collation in SQLite

    bool isInteger() const;
    bool isMoney() const { return kind == Kind::Money || kind == Kind::SmallMoney; }
    bool isExact() const { return isMoney() || kind == Kind::Decimal; }   // kept exactly at a scale
    bool isApproximate() const { return kind == Kind::Real || kind == Kind::Float; }
    bool isNumber() const { return isInteger() || isExact() || isApproximate(); }
    bool isString() const { return kind == Kind::Text || kind == Kind::NText; }
    bool isDateOrTime() const { return kind >= Kind::Date; }
    // Precision and scale as a decimal (money is decimal(19,4), int decimal(10,0) …).
    std::pair<int, int> digits() const;

    static SqlType decimal(int precision, int scale);   // reduced to 38 digits as the server does
    // A declared type as written in T-SQL or kept in SQLite's schema ("money", "decimal(10, 2)",
    // "nvarchar(max)"); Unknown for a type the server does not know.
    static SqlType fromDeclared(const QString& declaration);
    // The type of a numeric literal: int, a decimal of its digits, float with an exponent.
    static SqlType ofNumber(const QString& literal);
    // The type as T-SQL declares it ("money", "decimal(38,4)", "varchar(10)"); empty for Unknown.
    QString declaration() const;
};

// The result type of a op b for + - * / % by the server's precedence and its precision and
// scale rules for decimals.
SqlType arithmeticType(QChar op, const SqlType& a, const SqlType& b);
// The type of values that come from either of two expressions (case branches, coalesce).
SqlType commonType(const SqlType& a, const SqlType& b);

// Functions whose result type follows their arguments' types (sum, avg, min, max, abs, round,
// sign, nullif, ceiling, floor, power, isnull, coalesce, iif), and that type for fn (lower case).
bool isTypedByArguments(const QString& fn);
SqlType typeByArguments(const QString& fn, const std::vector<SqlType>& args);

// Where the translator learns the declared type of a table's column: the connection's schema.
class Schema {
public:
    virtual ~Schema() = default;
    // The declared type (as kept in SQLite's schema) of column in table of database ("main",
    // "temp" or an attached database's name); empty when there is no such column.
    virtual QString columnType(const QString& database, const QString& table, const QString& column) const = 0;
    // The column's collation sequence as SQLite names it ("TR_CI", "BINARY"); empty when unknown.
    virtual QString columnCollation(const QString&, const QString&, const QString&) const { return {}; }
    // The definition of the procedure or function of that schema and name in database ("main",
    // …) and its type ("P", "FN", "IF", "TF"); empty when there is none.
    virtual QString moduleDefinition(const QString& database, const QString& schema, const QString& name,
        QString& type) const
    {
        Q_UNUSED(database);
        Q_UNUSED(schema);
        Q_UNUSED(name);
        Q_UNUSED(type);
        return {};
    }
    // The columns an insert without a column list fills, in order (the identity and computed
    // columns left out); empty when unknown.
    virtual QStringList insertColumns(const QString&, const QString&) const { return {}; }
    // Every column of the table or view, in order; empty when unknown.
    virtual QStringList columns(const QString&, const QString&) const { return {}; }
    // Whether the only checks on the table's rows are the length rules of its text columns
    // and no trigger runs on its writes; false when unknown.
    virtual bool checksOnlyLengths(const QString&, const QString&) const { return false; }
    // Changes whenever a declared type may have changed: part of the translation cache's key.
    virtual QString version() const = 0;
};

namespace translator {

class TranslationContext;

// A subquery (select … for xml | json …) in tokens [open, close] of T, with the xml method
// value('.', 'type') after it or not: the type of its value ("nvarchar(max)", or the method's
// type), end then past it; empty for any other parenthesis (ForClauses.cpp).
QString shapedValueType(const std::vector<Token>& T, size_t open, size_t close, size_t& end);

class ExpressionTyper {
public:
    explicit ExpressionTyper(const TranslationContext& ctx);

    // The type of the expression in tokens [b, e) of the batch.
    SqlType typeOf(size_t b, size_t e) const;
    // The type of the function call whose name is at token i (an aggregate's own result type
    // too); Unknown when i is no call.
    SqlType callType(size_t i) const;
    // The types of the items of the select list of the select at token s; empty when an item
    // is a star (whose columns the typer does not count), unless the star is the whole list over
    // one derived table: then that table's.
    std::vector<SqlType> selectTypes(size_t s) const;
    // An item of a select list: its name (alias or column) and its expression, tokens [b, e).
    struct Item {
        QString name;
        size_t b = 0, e = 0;
    };
    std::vector<Item> selectItemRanges(size_t s) const;
    // The alias (or bare table name) of the table source of the select at s that has a column of
    // that name; empty when none has, nothing when the columns of a source are not known.
    std::optional<QString> sourceOfColumn(size_t s, const QString& column) const;
    // The select of the next branch of a union, except or intersect after the select at s;
    // the number of tokens when there is none.
    size_t nextBranch(size_t s) const;
    // The rows of the table value constructor whose "values" is token at: each row's
    // expressions, tokens [b, e); and the type of each column, as a union of the rows types it.
    std::vector<std::vector<std::pair<size_t, size_t>>> valuesRows(size_t at) const;
    std::vector<SqlType> valuesTypes(size_t at) const;

private:
    struct Source;
    struct Scope;
    SqlType expression(size_t b, size_t e) const;
    SqlType primary(size_t b, size_t e) const;
    SqlType call(size_t i, size_t close) const;
    SqlType column(size_t b, size_t e) const;
    SqlType caseType(size_t b, size_t e) const;
    SqlType userFunctionType(size_t b, size_t e) const;
    // The type of each item of the select list of the select at token s (with the branches
    // that follow it in a union, except or intersect).
    std::vector<std::pair<QString, SqlType>> selectItems(size_t s) const;
    bool endsSelectList(const Token& t) const;
    std::vector<Source> sourcesOf(size_t select) const;
    std::vector<Source> sourcesIn(size_t from, size_t stop) const;
    void commonTableExpression(Source& src, size_t from) const;
    size_t aliasOf(Source& src, size_t k, size_t stop) const;
    std::vector<std::pair<QString, SqlType>> pivotColumns(const Source& input, size_t b, size_t e) const;
    std::vector<std::pair<QString, SqlType>> unpivotColumns(const Source& input, size_t b, size_t e) const;
    SqlType tableColumn(const Source& src, const QString& name) const;
    std::vector<std::pair<QString, SqlType>> columnsOf(const Source& src) const;
    std::optional<std::vector<std::pair<QString, SqlType>>> starColumns(size_t s) const;
    bool setOfUpdate(size_t k) const;
    size_t enclosingSelect(size_t i, size_t floor) const;
    size_t selectEnd(size_t s) const;

    const TranslationContext& m_ctx;
    const std::vector<Token>& T;
    // How deep column look-ups nest: a column of a derived table inside the select whose
    // sources name that same derived table would otherwise look itself up without end.
    mutable int m_columnDepth = 0;
    // The selects whose union branches are being typed: a recursive reference types by its anchor.
    mutable std::vector<size_t> m_compounds;
    // The table value constructors whose rows are being typed.
    mutable std::vector<size_t> m_valuesTyped;
};

}   // namespace translator

}   // namespace orra::embedded
