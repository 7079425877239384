#pragma once
// The evaluator: walks the syntax tree with VBScript's semantics. One Interpreter is one
// global scope (one ScriptEngine instance).

#include "platform/host/UserInterface.h"
#include "platform/vbscript/Ast.h"
#include "platform/vbscript/Vm.h"
#include "platform/vbscript/Dispatch.h"
#include "platform/vbscript/ScriptEngine.h"

#include <QHash>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace orra::vbs {

class Interpreter;
class ClassInstance;
class ErrObject;

using BuiltinFn = Variant (*)(Interpreter&, Arguments&);
struct Builtin {
    BuiltinFn fn;
    int minArgs;
    int maxArgs;
    bool valueOnly = false;       // called as a statement (Call CInt(1)): 458 once it has run
    bool statementOnly = false;   // used for a value (x = Randomize(0)): 13
};

struct GlobalEntry {
    enum Kind : uint8_t { Var, Const, Proc, Class, HostObject, BuiltinFunc } kind = Var;
    QString name;
    Variant value;
    std::shared_ptr<orra::vbs::Proc> proc;
    std::shared_ptr<ClassDef> cls;
    const Builtin* builtin = nullptr;
};

struct Frame {
    const Proc* proc = nullptr;
    Variant** slotPtrs = nullptr;
    ClassInstance* me = nullptr;
    QHash<QString, Variant>* dynamics = nullptr;   // implicit locals (created lazily)
    bool resumeNext = false;
    int exitRequest = 0;
};

// A thrown request to leave loops or procedures (Exit statements).
enum class Flow : uint8_t { Normal, ExitDo, ExitFor, ExitProc };

class Interpreter {
public:
    Interpreter();
    ~Interpreter();

    // ScriptEngine settings.
    long timeoutMs = -1;
    bool allowUI = true;
    std::atomic<bool> cancelRequested{false};
    // Called about every 50 ms while a script runs (ScriptEngine::setYield).
    std::function<void()> yieldHook;
    // Where MsgBox and InputBox go (ScriptEngine::setUserInterface); nullptr: the process's.
    orra::UserInterface* userInterface = nullptr;
    orra::UserInterface& ui() const { return orra::userInterfaceOr(userInterface); }
    // Rnd's generator state (each engine has its own sequence).
    uint32_t rndSeed = 0x50000;
    float rndLast = 0x50000 / 16777216.0f;   // what Rnd(0) gives before any other call

    void addObject(const QString& name, DispatchPtr object, bool membersGlobal);
    void executeGlobal(const QString& code);
    Variant evalGlobal(const QString& expression);
    void reset();

    // Used by built-in functions.
    void executeLocal(const QString& code);   // Execute: in the calling scope
    Variant evalLocal(const QString& code);   // Eval: in the calling scope
    ErrObject& err() { return *m_err; }
    DispatchPtr errObject() const;
    int currentLine() const { return m_line; }
    DispatchPtr createObject(const QString& progId);
    // The global Sub or Function of that name (GetRef), or nullptr.
    std::shared_ptr<Proc> globalProc(const QString& name);
    void setObjectFactory(std::function<DispatchPtr(const QString&)> f) { m_factory = std::move(f); }

    // Calls a procedure of a script class (ClassInstance's dispatch goes through here).
    Variant callProc(const Proc& proc, ClassInstance* me, Arguments& args, const Variant* assigned = nullptr);
    std::shared_ptr<bool> aliveToken() const { return m_alive; }
    void registerInstance(ClassInstance* c);
    void unregisterInstance(ClassInstance* c);

    // The error position of the last failure.
    int errorLine() const { return m_errorLine; }

private:
    friend struct Exec;
    struct ProgramHolder;

    void runProgram(Program& prog, Frame* frame);
    void declareProgram(Program& prog);
    Flow execBlock(const Block& b, Frame& f);
    Flow exec(const Stmt& s, Frame& f);
    Flow execFor(const Stmt& s, Frame& f);
    Flow execForEach(const Stmt& s, Frame& f);
    Flow execDo(const Stmt& s, Frame& f);
    Flow execSelect(const Stmt& s, Frame& f);
    void execAssign(const Stmt& s, Frame& f, bool isSet);
    void execAssignLocal(const Stmt& s, Frame& f);
    // Compiled code (Vm.cpp).
    struct ForState;
    Flow runCompiled(const VmCode& c, Frame& f);
    Flow execInsns(const VmCode& c, Frame& f, Variant** R, Variant* temps);
    void callCompiled(const Proc& p, const std::vector<ExprPtr>& args, Frame& caller, const VmArg* computed,
        Variant** callerRegs, Variant& result);
    void callCompiledComputed(const Proc& p, const VmArg* computed, Variant** callerRegs, Variant& result);
    bool forTop(ForState& st, const Expr& ctrExpr, Frame& f);
    void runBody(const Proc& p, Frame& f);
    Flow execIf(const Stmt& s, Frame& f);
    Flow execWith(const Stmt& s, Frame& f);
    void execAppend(const Stmt& s, Frame& f);
    // The rest of s = s & x once x is evaluated (r).
    void appendValue(const Stmt& s, Frame& f, const Variant& r);
    void execCall(const Stmt& s, Frame& f);
    void execDim(const Stmt& s, Frame& f);
    void execReDim(const Stmt& s, Frame& f);
    void execErase(const Stmt& s, Frame& f);
    void execConst(const Stmt& s, Frame& f);

public:
    // Integer arithmetic or comparison over literals and variables only (Expr::intArith).
    static bool isIntArith(const Expr& e) { return e.intArith >= 0 ? e.intArith > 0 : computeIntArith(e); }
    static bool computeIntArith(const Expr& e);
    Variant eval(const Expr& e, Frame& f);
    // Evaluates without copying when the expression names a variable.
    const Variant& evalRef(const Expr& e, Frame& f, Variant& tmp);
    bool evalCondition(const Expr& e, Frame& f)
    {
        bool c;
        if (e.kind == ExprKind::Binary && isIntArith(e) && tryIntCondition(e, f, c)) return c;
        return evalConditionSlow(e, f);
    }
    bool evalConditionSlow(const Expr& e, Frame& f);

private:
    Variant evalIdent(const Expr& e, Frame& f);
    Variant evalBinary(const Expr& e, Frame& f);
    // The operator of a Binary expression applied to operand values already evaluated.
    Variant binaryValues(const Expr& e, const Variant& a, const Variant& b);
    Variant evalUnary(const Expr& e, Frame& f);
    Variant evalMember(const Expr& e, Frame& f);
    Variant evalCall(const Expr& e, Frame& f);
    Variant callNamed(const Expr& callee, Frame& f, const std::vector<ExprPtr>& args, bool statement, bool hasArgs);
    Variant invokeObject(
        const Variant& obj, const QString& member, const std::vector<ExprPtr>& args, Frame& f, bool statement);
    Variant callBuiltin(const Builtin& b, const std::vector<ExprPtr>& args, Frame& f, const Expr& at);
    Variant callUser(const Proc& p, ClassInstance* me, const std::vector<ExprPtr>& args, Frame& f);
    Variant runFrame(const Proc& p, ClassInstance* me, Variant** slotPtrs);
    Variant indexValue(const Variant& base, const std::vector<ExprPtr>& args, Frame& f);
    Variant newInstance(const Expr& e);
    DispatchPtr withObject(Frame& f);

    // Storage of an identifier for writing (nullptr when it is not a variable).
    Variant* identStorage(const Expr& e, Frame& f, bool create);
    // Storage for a ByRef argument (variable or array element); nullptr for values.
    Variant* refStorage(const Expr& e, Frame& f, ArrayPtr* lockHold);
    GlobalEntry* lookupGlobal(const Expr& e) { return e.cacheGen == m_generation ? e.cacheEntry : lookupGlobalSlow(e); }
    GlobalEntry* lookupGlobalSlow(const Expr& e);
    GlobalEntry* findGlobal(const QString& key);
    GlobalEntry& defineGlobal(const QString& name, GlobalEntry::Kind kind);
    Dispatch* hostMemberOwner(const QString& key);
    void assignTo(const Expr& target, Frame& f, Variant value, bool isSet);
    void evalArgs(const std::vector<ExprPtr>& args, Frame& f, Arguments& out);
    void tick()
    {
        if (cancelRequested.load(std::memory_order_relaxed) || yieldHook || m_hasDeadline) tickSlow();
    }
    void tickSlow();
    // Integer/Long arithmetic and comparisons evaluated on plain integers (see Expr::intArith).
    // False when an operand holds another subtype or a result leaves the Long range: the
    // expression has no side effects, so the general path then evaluates it again.

    bool tryInt(const Expr& e, Frame& f, int64_t& out, bool& isLong);
    bool tryIntCondition(const Expr& e, Frame& f, bool& out);
    // tryInt with literals and local variables read in place.
    bool intOperand(const Expr& e, Frame& f, int64_t& out, bool& isLong)
    {
        const Variant* v;
        if (e.kind == ExprKind::Literal)
            v = &e.value;
        else if (e.kind == ExprKind::Ident && e.bind == Bind::Local)
            v = f.slotPtrs[e.slot];
        else
            return tryInt(e, f, out, isLong);
        return plainInt(*v, out, isLong);
    }
    // An Integer or Long value as a plain integer; false for every other subtype.
    static bool plainInt(const Variant& v, int64_t& out, bool& isLong)
    {
        if (v.type() != VarType::Integer && v.type() != VarType::Long) return false;
        out = v.rawInt();
        if (v.type() == VarType::Long) isLong = true;
        return true;
    }
    [[noreturn]] void undefinedName(const Expr& e);

    QHash<QString, GlobalEntry*> m_globals;
    std::deque<GlobalEntry> m_entries;
    uint64_t m_generation = 1;
    std::vector<std::pair<QString, DispatchPtr>> m_globalMembers;   // objects whose members are global
    std::vector<std::shared_ptr<orra::vbs::Proc>> m_retiredProcs;   // replaced procedures, kept for running calls
    std::vector<std::unique_ptr<Program>> m_programs;               // kept alive: procedures point into them
    std::vector<DispatchPtr> m_withStack;
    std::shared_ptr<ErrObject> m_err;
    std::function<DispatchPtr(const QString&)> m_factory;
    Frame m_globalFrame;
    Frame* m_current = nullptr;
    bool m_optionExplicit = false;
    int m_depth = 0;
    int m_line = 0;
    int m_errorLine = 0;
    uint32_t m_ticks = 0;
    char* m_stackBase = nullptr;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_hasDeadline = false;
    uint32_t m_yieldTicks = 0;
    std::chrono::steady_clock::time_point m_nextYield{};
    std::shared_ptr<bool> m_alive;
    std::vector<ClassInstance*> m_instances;

    friend class ClassInstance;
};

// Operators (Operators.cpp).
namespace ops {
Variant add(const Variant& a, const Variant& b);
Variant sub(const Variant& a, const Variant& b);
Variant mul(const Variant& a, const Variant& b);
Variant div(const Variant& a, const Variant& b);
Variant intDiv(const Variant& a, const Variant& b);
Variant mod(const Variant& a, const Variant& b);
Variant pow(const Variant& a, const Variant& b);
Variant concat(const Variant& a, const Variant& b);
Variant neg(const Variant& a);
Variant logical(Op op, const Variant& a, const Variant& b);
Variant notOp(const Variant& a);
// Comparison: Null when either is Null; hard marks literal operands.
Variant compare(Op op, const Variant& a, const Variant& b, bool hardA = false, bool hardB = false);
// -1, 0, 1 (Null never reaches it); textCompare ignores case.
int compareValues(const Variant& a, const Variant& b, bool textCompare = false);
bool identical(const Variant& a, const Variant& b);   // Is
}   // namespace ops

// The built-in function table (Builtins.cpp).
const QHash<QString, Builtin>& builtins();
void installConstants(QHash<QString, Variant>& out);

}   // namespace orra::vbs
