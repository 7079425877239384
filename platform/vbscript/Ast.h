#pragma once
// The syntax tree of a compiled script. Names are resolved once, after their procedure or
// class is parsed: locals to frame slots, class members to their index; everything else is
// looked up in the global scope at run time and the result cached by generation.

#include "platform/vbscript/Variant.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

namespace orra::vbs {

struct Proc;
struct ClassDef;
struct VmCode;
struct GlobalEntry;
struct Expr;
struct Stmt;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

enum class Op : uint8_t {
    // binary, by precedence groups
    Imp,
    Eqv,
    Xor,
    Or,
    And,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Is,
    Concat,
    Add,
    Sub,
    Mod,
    IntDiv,
    Mul,
    Div,
    Pow,
    // unary
    Not,
    Neg,
    Plus,
};

enum class ExprKind : uint8_t {
    Literal,
    Ident,
    Member,
    Call,
    Unary,
    Binary,
    New,
    Me,
    Paren,
    Missing,
};

// How an identifier was resolved.
enum class Bind : uint8_t {
    Unresolved,    // look up at run time (globals, host objects, builtins, implicit locals)
    Local,         // frame slot
    ClassField,    // field of Me
    ClassMember,   // method or property of Me
};

struct Expr {
    ExprKind kind;
    Op op = Op::Add;
    bool hardLiteral = false;   // a literal constant (affects mixed string/number comparison)
    int line = 0, column = 0;
    int depth = 1;               // height of the tree below (bounded at parse time)
    Variant value;               // Literal
    QString name;                // Ident, Member (as written); New: class name
    QString key;                 // folded name
    ExprPtr a, b;                // Unary/Binary operands; Member/Call: a = object/callee
    std::vector<ExprPtr> args;   // Call
    // resolution
    Bind bind = Bind::Unresolved;
    int slot = -1;
    bool isCallee = false;   // Ident used as the callee of a Call
    // run-time cache for Unresolved idents
    mutable uint64_t cacheGen = 0;
    mutable GlobalEntry* cacheEntry = nullptr;
    // -1 not yet known; 1: integer arithmetic or comparison over literals and variables only
    // (no calls), which the interpreter may evaluate without building Variants
    mutable int8_t intArith = -1;

    explicit Expr(ExprKind k) : kind(k) {}
};

enum class StmtKind : uint8_t {
    CallStmt,
    Assign,
    SetAssign,
    AppendAssign,
    Dim,
    ReDim,
    Const,
    If,
    Select,
    For,
    ForEach,
    Do,
    While,
    Exit,
    With,
    OnError,
    Erase,
    OptionExplicit,
    Nop,
};

enum class ExitKind : uint8_t { Do, For, Sub, Function, Property };

struct CaseItem {
    enum Kind : uint8_t { Value, Range, Is } kind = Value;
    Op op = Op::Eq;
    ExprPtr a, b;
};

struct DimItem {
    QString name;
    QString key;
    ExprPtr target;              // ReDim: the variable expression
    std::vector<ExprPtr> dims;   // upper bounds
    bool isArray = false;        // Dim a() or Dim a(3)
};

struct Stmt {
    StmtKind kind;
    int line = 0, column = 0;
    ExprPtr target;              // Assign/Set/Call target, For counter, With object
    ExprPtr value;               // Assign value, Select subject, For start, loop condition
    ExprPtr end, step;           // For
    std::vector<ExprPtr> args;   // CallStmt: arguments
    bool hasArgs = false;
    std::vector<ExprPtr> conds;   // If/ElseIf conditions
    std::vector<Block> blocks;    // If branches (+ else), Select cases (+ else), loop body [0]
    std::vector<std::vector<CaseItem>> cases;
    bool hasElse = false;
    bool until = false;        // Do Until / Loop Until
    bool condAtEnd = false;    // Do ... Loop While
    bool preserve = false;     // ReDim Preserve
    bool resumeNext = false;   // On Error Resume Next
    ExitKind exitKind = ExitKind::Do;
    std::vector<DimItem> dims;   // Dim/ReDim/Erase/Const names (Const: dims[i].target = value)

    explicit Stmt(StmtKind k) : kind(k) {}
};

struct Param {
    QString name;
    QString key;
    bool byRef = true;
};

enum class ProcKind : uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Proc {
    QString name;
    QString key;
    ProcKind kind = ProcKind::Sub;
    bool isPublic = true;
    bool isDefault = false;
    bool optionExplicit = false;   // declared in code with Option Explicit
    std::vector<Param> params;
    Block body;
    QHash<QString, int> locals;          // folded name -> slot (params first)
    std::vector<DimItem*> arrayLocals;   // Dim'd arrays to create on entry
    int slotCount = 0;
    int resultSlot = -1;   // Function / Property Get result
    ClassDef* owner = nullptr;
    int line = 0;
    std::vector<Expr*> idents;   // identifiers to resolve when the procedure ends
    // compiled body, made at the first call (nullptr: runs on the tree walker)
    mutable std::shared_ptr<const VmCode> vm;
    mutable bool vmTried = false;
};

struct ClassField {
    QString name;
    QString key;
    bool isPublic = true;
    std::vector<ExprPtr> dims;
    bool isArray = false;
};

struct ClassDef {
    QString name;
    QString key;
    std::vector<ClassField> fields;
    QHash<QString, int> fieldIndex;
    QHash<QString, std::shared_ptr<Proc>> methods;   // Sub / Function
    QHash<QString, std::shared_ptr<Proc>> getters, letters, setters;
    QString defaultMember;   // folded, empty when none
    std::shared_ptr<Proc> initialize, terminate;
};

// One compiled unit (the code of one executeStatement, Execute or Eval).
struct Program {
    QString source;
    Block body;
    std::vector<std::shared_ptr<Proc>> procs;   // global procedures declared in it
    std::vector<std::shared_ptr<ClassDef>> classes;
    std::unique_ptr<Proc> top;   // pseudo procedure for the top-level code
    bool optionExplicit = false;
    ExprPtr expression;   // Eval
    // Script-level variables (Dim, ReDim): they exist from the start of the code, before
    // the statement declaring them runs.
    std::vector<QString> globalNames;
};

}   // namespace orra::vbs
