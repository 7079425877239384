#pragma once
// The compiled form of a procedure body or of top-level code: a flat register program for what
// runs most (assignments, If, loops, arithmetic, calls of procedures by name). Every other
// statement or expression is one instruction that hands it to the tree walker, so the two
// always agree. Code containing On Error is never compiled (the tree walker traps per statement).

#include "platform/vbscript/Ast.h"

#include <climits>
#include <memory>
#include <vector>

namespace orra::vbs {

enum class VmOp : uint8_t {
    Eval,        // R[a] = eval(expr)
    RefGlobal,   // R[a] refers to the global variable expr names (as evalRef reads it), else eval(expr)
    Binary,      // R[a] = R[b] expr->op R[c]; d = 1: R[a] is a variable (assigned as AssignLocal does)
    BinaryAdd,   // Binary for + and -: the operator has its own dispatch
    BinarySub,
    Unary,             // R[a] = expr->op R[b]
    CallNamed,         // R[a] = expr (a call): a global procedure directly, anything else through eval;
                       // e >= 0: its arguments were computed into the registers listed from args[e];
                       // d = 1: all of them (none is a variable passed by reference)
    AssignLocal,       // variable slot b = R[c]; d = 1: R[c] is a temp that may be moved from
    AssignOther,       // stmt's target = R[c] (let assignment through assignTo); e = 1: the target is a
                       // name not bound at compile time (a global variable stored directly)
    Append,            // stmt (s = s & x) with x in R[a]; b >= 0: s is variable slot b, else a global
    Exec,              // exec(stmt); Exit For jumps to b, Exit Do to c (-1: the flow leaves the code)
    JumpIfFalse,       // if R[a] is not true: jump to b
    CondJumpIfFalse,   // if the condition expr is not true: jump to b
    CompareJump,       // the comparison expr of R[a] and R[c]; jumps to b as JumpIfFalse; e: the outcomes
                       // (bit 0 less, 1 equal, 2 greater) that make it true
    Jump,              // jump to b
    Tick,              // loop turn: cancel, yield and time-out checks
    ForPrep,           // For state a from start R[b], end R[c], step R[d] (kNoReg: 1); finished: jump to e
    ForNext,           // For state a: next value; still running: jump to b
    Return,            // Exit Function / Sub / Property
    End,               // the end of the code
};

struct VmInsn {
    VmOp op;
    Op sub = Op::Add;   // Binary, Unary, CompareJump: the operator (expr->op)
    int line = 0;
    int a = -1, b = -1, c = -1, d = -1, e = -1;
    const Expr* expr = nullptr;
    const Stmt* stmt = nullptr;
};

// Operand registers are reached through the frame's register pointers: the variables, the
// temporaries, then the constants of the code.
constexpr int kNoReg = INT32_MIN;

// An argument computed before a call: its register, and whether the value may be moved out.
struct VmArg {
    int reg = kNoReg;   // kNoReg: a variable, passed by the tree walker's rules (ByRef)
    bool movable = false;
};

struct VmCode {
    std::vector<VmInsn> code;
    std::vector<VmArg> args;
    std::vector<Variant> consts;

    int vars = 0;       // registers [0, vars): the frame's variables
    int temps = 0;      // [vars, vars + temps): temporaries; then the constants
    int forDepth = 0;   // For loops nested at most this deep
    int constCount = 0;
    int codeSize = 0;
    bool directCall = false;   // a global procedure without arrays to create: callCompiled may run it
    int paramCount = 0;
};

// Compiles a block whose frame has slotCount variables; nullptr when it must run on the tree walker.
std::shared_ptr<const VmCode> compileBlock(const Block& body, int slotCount);
// The same for a procedure's body.
std::shared_ptr<const VmCode> compileProc(const Proc& p);

}   // namespace orra::vbs
