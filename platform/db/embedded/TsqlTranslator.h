#pragma once
// Translation of the T-SQL that the system composes into statements for the embedded server
// (SQLite). A batch without semicolons is split into statements by a small parser over
// tokens; each statement is rewritten token by token: D..table names, (nolock) hints,
// #temp tables, [names], text '+', cast/convert, isnull, getdate() and the server's
// functions, update … from, delete … from, select … into, create table types. Control
// statements (if/else, begin/end, set nocount, procedure calls, administration) come back
// as their own statement kinds for the server to carry out. Statements outside the subset
// (attach, pragma, vacuum …) are refused, and so is nesting deeper than the translator takes.

#include "platform/db/embedded/Extensions.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <variant>
#include <vector>

namespace orra::embedded {

// How the type of a computed result column follows from its expression, as the server types
// it: a fixed type (getdate(), cast, convert, count), the declared type of a column the probe
// reads, the highest of several by the server's precedence (arithmetic, case, coalesce), the
// type of a sum or average over an argument, the text a string function makes of its
// arguments. Resolved when the statement runs.
struct TypeRule {
    enum class Kind { Unknown, Null, Fixed, Column, Promote, Sum, Text };
    Kind kind = Kind::Unknown;
    // Fixed: a declared type ("datetime", "int", "varchar(10)"). Text: the non-Unicode result
    // ("varchar(8000)"), made Unicode ("nvarchar(4000)") by an argument of a Unicode or a
    // non-text type; empty for the type of the first argument itself.
    QString type;
    int column = -1;              // Column: result column of the probe
    std::vector<TypeRule> args;   // Promote, Sum
};

struct Statement;
class Schema;   // translator/ExpressionTyping.h
using StatementList = std::vector<Statement>;

// The target of an insert, as the server needs it to supply the column list.
struct InsertTarget {
    QString table;        // as written for SQLite ("main".T, "other".T, "#T")
    QString schema;       // "main", a database name, or "temp"
    QString name;         // bare table name
    int columnsAt = -1;   // offset in sql where a column list goes when the statement names none
};

// A select's result columns: one rule each (empty when no column is computed), and the probe,
// "select <columns the rules read> from <the select's from clause>", whose declared column
// types the Column rules take.
struct ResultTyping {
    std::vector<TypeRule> columns;
    QString probe;
};

// One statement handed on to SQLite.
struct SqlStatement {
    QString sql;
    bool dml = false;           // insert/update/delete: reports its row count unless nocount is on
    bool returnsRows = false;   // a select that hands rows back
    InsertTarget insert;        // insert only
    InsertTarget restartsIdentity;   // truncate table: the table whose identity counts again from its seed
    // select … into T: the new table as written for SQLite (temp."#T", main."T"); sql is then
    // the select alone, and the server makes the table with the select's column types.
    QString intoTable;
    ResultTyping typing;   // select only
    // select only: the T-SQL type of each result column as the translator typed it ("money",
    // "decimal(38,2)", "" when unknown); empty when the select list holds a star.
    QStringList columnTypes;
    // select only: the result columns that have no name (an expression without an alias); the
    // server gives them an empty name, never SQLite's text of the expression.
    std::vector<int> unnamedColumns;
    // The recursion limit of the statement (OPTION (MAXRECURSION n), else 100; 0 for none), which
    // the views it reads take too.
    int maxRecursion = 100;
};

// if <condition> <statement> [else <statement>]
struct IfStatement {
    QString condition;   // a query giving 1 when the condition holds
    StatementList thenBranch;
    StatementList elseBranch;
};

// begin … end
struct BlockStatement {
    StatementList body;
};

// set nocount on|off
struct NoCountStatement {
    bool on = false;
};

// set dateformat|datefirst|language <value>: a session setting for reading and naming dates
struct SessionOption {
    QString name;    // "dateformat", "datefirst", "language", "rowcount"
    QString value;   // as written, without quotes; for rowcount the query of its number
    bool query = false;   // value is the query of a variable's value (set dateformat @f)
};

// print <expression>: a select of the one value that goes back as an informational message
struct PrintStatement {
    QString query;
};

// An argument of a procedure call that names a variable of the caller: read for the call,
// and with OUTPUT given the parameter's value back.
struct ArgumentVariable {
    int slot = -1;   // the caller's value slot; -1 for a constant, NULL or DEFAULT
    bool output = false;
    QString outputQuery;   // output: the value bound to ? converted to the variable's type
};

// exec [@status =] name arguments, or a bare procedure name at the start of a batch
struct ProcedureCall {
    QString name;       // the last part of the name
    QString schema;     // as written; empty for none
    QString database;   // as written; empty for none
    ProcedureArguments arguments;
    std::vector<ArgumentVariable> variables;   // one per argument
    int statusSlot = -1;   // exec @status = …: the variable that takes the return status
    QString statusQuery;   // the status bound to ? converted to that variable's type
};

// insert [into] T [(columns)] exec …: the procedure's rows go into T. The server stages
// them in the temporary table kInsertExecRows, which insert selects from.
struct InsertExec {
    SqlStatement insert;
    ProcedureCall call;
};
inline constexpr char kInsertExecRows[] = "#orra insert exec";

// create [or alter] | alter procedure …, drop procedure [if exists] …: the server stores or
// drops the module (ObjectCatalog.h).
struct ModuleStatement {
    enum class Action { Create, Alter, CreateOrAlter, Drop };
    Action action = Action::Create;
    QString type;   // "P"; for drop the kinds the names may be ("P")
    std::vector<std::pair<QString, QString>> names;   // schema (empty: dbo) and name; one unless dropped
    QString definition;   // create and alter: the statement as written
    bool ifExists = false;
};

// A parameter of a procedure: a variable of its body, given the argument, its default or NULL.
struct ProcedureParameter {
    QString name;   // as declared ("@from")
    int slot = -1;
    bool output = false;
    QString argumentQuery;   // the argument bound to ? converted to the parameter's type
    QString defaultQuery;    // the default converted to the type; empty when it has none
};

struct CreateDatabase {
    QString name;
};

struct CreateLogin {
    QString name;
    QString password;
};

struct CreateUser {
    QString name;
    QString login;
};

struct CreateRole {
    QString name;
};

// set @v = …, set @v += …, select @v = … [from …], declare @v type = …: a query with one
// column per variable, each already converted to the variable's declared type. The variables
// are the batch's value slots; statements read slot N as the parameter ":vN".
struct Assignment {
    std::vector<int> targets;   // the value slots assigned, in column order
    QString query;
    bool lastRow = false;   // select: the values of the last row (none: the variables keep theirs)
    // select @s = @s + x from …: each row's value is assigned as SQLite computes it
    // (orra_assign), so that the next row reads it.
    bool accumulates = false;
};

// declare @t table (…): the session's temporary table that stands for the variable until the
// batch ends.
struct DeclareTable {
    QString create;   // the create table statement as SQLite runs it
    QString table;    // its name as SQLite writes it
    QStringList identity;   // the statements that make the server count its identity column, if it does
};

// alter table T [with check|nocheck] add constraint … | drop constraint name: the table made
// anew with its constraints changed, keeping its rows, indexes and triggers.
struct ConstraintChange {
    QString schema;   // SQLite's schema of the table ("main", "temp", an attached database)
    QString table;    // its bare name
    QString display;  // its name as messages give it ("dbo.T")
    bool add = false;
    bool check = true;       // add: existing rows are checked (with check, the default)
    QString name;            // the constraint's name (drop; add when named)
    QString definition;      // add: the table constraint as SQLite declares it
    QString defaultColumn;   // add default … for column: the column, definition its "default (…)"
};

// while <condition> <statement>
struct WhileStatement {
    QString condition;   // a query giving 1 while the condition holds
    StatementList body;
};

// break, continue, return, goto label, and a label
struct FlowStatement {
    enum class Kind { Break, Continue, Return, Goto, Label };
    Kind kind = Kind::Break;
    QString label;   // goto and label: the folded name
    QString value;   // return in a procedure: a query of its status; empty for none
};

// begin try … end try begin catch … end catch
struct TryCatchStatement {
    StatementList tryBody;
    StatementList catchBody;
};

// raiserror (message, severity, state [, argument …]) [with option …] and throw [number,
// message, state]: the query reads the message (text or number), severity, state and the
// arguments in that order; a throw without arguments re-raises the error being handled.
struct RaiseStatement {
    QString query;
    bool isThrow = false;
    bool setError = false;   // with seterror
    bool log = false;        // with log
};

// set xact_abort on|off
struct XactAbortStatement {
    bool on = false;
};

// A cursor statement. declare c cursor … for select … (or set @c = cursor … for select …):
// the cursor's scope, scrolling and select; open, fetch, close and deallocate name a cursor
// (global: the connection's, else the batch's own first) or a cursor variable.
struct CursorStatement {
    enum class Kind { Declare, DeclareVariable, Open, Fetch, Close, Deallocate };
    enum class Direction { Next, Prior, First, Last, Absolute, Relative };
    Kind kind = Kind::Open;
    QString name;          // folded; a cursor variable's with its '@'
    QString written;       // the name as written, for messages
    bool global = false;   // declare: the connection's cursor; else: the global one is meant
    bool scroll = false;   // declare: every fetch direction; else next only
    bool isStatic = false;   // declare: STATIC or INSENSITIVE (its row count is known at open)
    SqlStatement select;     // declare
    Direction direction = Direction::Next;   // fetch
    QString offset;          // fetch absolute|relative: a query of n
    QString directionWord;   // fetch: the direction as messages name it
    bool into = false;                // fetch … into: the values go to variables
    std::vector<int> targets;         // fetch … into: the variables' value slots
    QStringList conversions;          // … and for each, "select ?" converted to its type
};

// begin tran[saction], commit [tran|work], rollback [tran|work], with or without a name: the
// server counts the nesting (@@TRANCOUNT); the outermost begin and commit and any rollback
// reach SQLite. save tran[saction] name sets a savepoint (SQLite's); rollback tran name goes
// back to the latest savepoint of that name, or ends the transaction the outermost begin named.
struct TransactionStatement {
    enum class Kind { Begin, Commit, Rollback, Save };
    Kind kind = Kind::Begin;
    QString name;        // as written (its first 32 characters); empty for none
    int nameSlot = -1;   // a variable holding the name
};

struct CreateSchema {
    QString name;
};

// insert | update | delete | merge … output …: the change runs while the server notes the rows
// it inserts, updates and deletes (kOutputRows, the old values in kOutputDeleted); then each
// output reads them as inserted, deleted and $action, handing its rows back or inserting them
// into its table.
struct OutputStatement {
    std::vector<Statement> change;   // the statement without its output clauses (one)
    QString verb;                    // "insert", "update", "delete" or "merge"
    QString schema;                  // the changed table: its SQLite schema ("main", "temp" …)
    QString table;                   // … and bare name
    std::vector<SqlStatement> outputs;   // selects handing rows back, inserts into a table
};
inline constexpr char kOutputRows[] = "orra output rows";
inline constexpr char kOutputDeleted[] = "orra output deleted";

struct Statement {
    using Node = std::variant<SqlStatement, IfStatement, BlockStatement, NoCountStatement, SessionOption,
        PrintStatement, ProcedureCall, CreateDatabase, CreateLogin, CreateUser, CreateRole, CreateSchema, Assignment,
        DeclareTable, WhileStatement, FlowStatement, TryCatchStatement, RaiseStatement, XactAbortStatement,
        ModuleStatement, InsertExec, ConstraintChange, TransactionStatement, CursorStatement, OutputStatement>;
    Node node;
    int line = 1;   // the line of the batch the statement begins on
    QString text = {};   // the statement as written: its errors name what it names
    int at = -1;      // the offset in the text where it begins
    int order = -1;   // its place among all the translation's statements, nested ones too

    template <class Kind> bool is() const { return std::holds_alternative<Kind>(node); }
    template <class Kind> const Kind* as() const { return std::get_if<Kind>(&node); }
};

struct Translation {
    StatementList statements;
    QStringList databases;    // other databases the text names (D..table), to attach
    int variables = 0;        // value slots of the batch's scalar variables
    QString error;            // set when the text cannot be read at all (unclosed quote …)
    long errorNumber = 102;   // the server's number for error
    int errorPosition = -1;   // offset in the text where the error was found
    // A procedure's definition: its parameters (the first value slots) and its name.
    std::vector<ProcedureParameter> parameters;
    QString procedure;
    // A scalar function's definition: its parameters are the value slots 0 … n-1 (the first
    // statement converts them to their declared types) and RETURN assigns returnSlot.
    int returnSlot = -1;
    QString schemaVersion;   // the version of the schema it was translated against
    // Every statement by its order (Statement::order), nested ones too.
    std::vector<const Statement*> byOrder() const;
};

// What a text is: a batch, or the stored definition of a procedure whose body runs.
enum class TextKind { Batch, Procedure, Function };

// Translates a batch. currentDatabase is the connection's database: "D..t" with D equal to it
// (any case) names the main database. schema, when given, tells the declared types of the
// columns the batch reads, so that expressions are written for SQLite by their types.
// resumeAt: the text is translated again while it runs, from the statement that begins at
// that offset on; the tables that the statements before it created are then as the schema
// has them now, no longer as they were declared.
Translation translate(const QString& text, const QString& currentDatabase, const Schema* schema = nullptr,
    TextKind kind = TextKind::Batch, int resumeAt = -1);

// The same through a cache keyed by database, the schema's version and text (thread-safe).
std::shared_ptr<const Translation> translateCached(const QString& text, const QString& currentDatabase,
    const Schema* schema = nullptr, TextKind kind = TextKind::Batch, int resumeAt = -1);
void clearTranslationCache();

// A client's parameter markers typed by the values bound to them, as the client declares a
// parameter's type: each "?" whose value is a date, a time or a date and time becomes
// "cast(? as date|time|datetime)", and one whose value is exact (a db::Decimal: money, decimal)
// "cast(? as decimal(p,s))" of its own digits, so that comparisons and arithmetic on it are those
// of its type, never those of the text or double it travels in. The text unchanged when no such
// value is bound.
QString withTypedParameters(const QString& text, const QList<QVariant>& params);

// Turkish-aware fold used by the names the server compares (database and login names).
QString foldName(const QString& name);

}   // namespace orra::embedded
