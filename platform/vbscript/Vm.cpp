#include "platform/vbscript/Vm.h"

#include "platform/vbscript/Interpreter.h"
#include "platform/vbscript/Runtime.h"

#include <cstring>

namespace orra::vbs {

namespace {

constexpr int kConstBase = 1 << 24;              // constant registers until the layout is final
constexpr int kBorrowBase = 1 << 23;             // registers a RefGlobal points at a global: never shared
constexpr long kStackBudget = 3 * 1024 * 1024;   // as the tree walker's
constexpr int kMaxCallDepth = 2500;
constexpr int kLeanRegs = 20;   // callCompiledComputed's frames: variables, temporaries, constants

// Holds an array locked while a reference into it is passed on.
struct LockHold {
    std::vector<ArrayPtr> arrays;
    ~LockHold()
    {
        for (auto& a : arrays) --a->locks;
    }
    void add(const ArrayPtr& a)
    {
        ++a->locks;
        arrays.push_back(a);
    }
};
constexpr int kMaxForDepth = 4;   // deeper For loops run on the tree walker

// The outcomes (bit 0: less, 1: equal, 2: greater) for which a comparison is true.
int outcomeMask(Op op)
{
    switch (op) {
    case Op::Eq:
        return 2;
    case Op::Ne:
        return 5;
    case Op::Lt:
        return 1;
    case Op::Gt:
        return 4;
    case Op::Le:
        return 3;
    default:
        return 6;   // Ge
    }
}

VmOp binaryOp(Op op) { return op == Op::Add ? VmOp::BinaryAdd : op == Op::Sub ? VmOp::BinarySub : VmOp::Binary; }

bool hasOnError(const Block& b)
{
    for (const StmtPtr& s : b) {
        if (s->kind == StmtKind::OnError) return true;
        for (const Block& inner : s->blocks)
            if (hasOnError(inner)) return true;
    }
    return false;
}

class Compiler {
public:
    explicit Compiler(int vars) { m_out.vars = vars; }
    void directCall(bool on, int params)
    {
        m_out.directCall = on;
        m_out.paramCount = params;
    }

    std::shared_ptr<const VmCode> run(const Block& body)
    {
        block(body);
        put(VmOp::End, 0);
        finish();
        return std::make_shared<const VmCode>(std::move(m_out));
    }

private:
    struct Patch {
        size_t insn;
        bool forExit;
    };   // Exec: field b (For) or c (Do); Jump: field b
    struct Loop {
        bool isFor;
        std::vector<size_t> jumps;   // Exit statements compiled to jumps
        std::vector<size_t> execs;   // Exec instructions that may report this loop's Exit
    };

    size_t here() const { return m_out.code.size(); }

    size_t put(VmOp op, int line)
    {
        VmInsn in;
        in.op = op;
        in.line = line;
        m_out.code.push_back(in);
        return m_out.code.size() - 1;
    }

    // Temporaries live within one statement: each statement starts again from the first.
    int temp()
    {
        const int t = m_out.vars + m_tempTop++;
        m_out.temps = std::max(m_out.temps, m_tempTop);
        return t;
    }

    bool isTemp(int r) const { return r >= m_out.vars && r < kBorrowBase; }

    int expr(const Expr& e, int line)
    {
        switch (e.kind) {
        case ExprKind::Literal:
            for (size_t k = 0; k < m_out.consts.size(); ++k) {
                const Variant& v = m_out.consts[k];
                if (v.type() == e.value.type() && v.type() != VarType::String && v.rawInt() == e.value.rawInt())
                    return kConstBase + int(k);
            }
            m_out.consts.push_back(e.value);
            return kConstBase + int(m_out.consts.size()) - 1;
        case ExprKind::Ident:
            if (e.bind == Bind::Local && e.slot >= 0 && e.slot < m_out.vars) return e.slot;
            if (e.bind == Bind::Unresolved) {
                const int t = kBorrowBase + m_borrowed++;
                size_t i = put(VmOp::RefGlobal, line);
                m_out.code[i].a = t;
                m_out.code[i].expr = &e;
                return t;
            }
            break;
        case ExprKind::Paren:
            return expr(*e.a, line);
        case ExprKind::Binary: {
            if (e.op == Op::Is) break;
            // operands' temporaries are free again once the operator has read them
            const int mark = m_tempTop;
            const int ra = expr(*e.a, line);
            const int rb = expr(*e.b, line);
            m_tempTop = mark;
            const int t = temp();
            size_t i = put(binaryOp(e.op), line);
            m_out.code[i].a = t;
            m_out.code[i].b = ra;
            m_out.code[i].c = rb;
            m_out.code[i].expr = &e;
            m_out.code[i].sub = e.op;
            return t;
        }
        case ExprKind::Unary: {
            const int mark = m_tempTop;
            const int ra = expr(*e.a, line);
            m_tempTop = mark;
            const int t = temp();
            size_t i = put(VmOp::Unary, line);
            m_out.code[i].a = t;
            m_out.code[i].b = ra;
            m_out.code[i].expr = &e;
            m_out.code[i].sub = e.op;
            return t;
        }
        case ExprKind::Call:
            if (e.a->kind == ExprKind::Ident && e.a->bind == Bind::Unresolved) {
                // Arguments without side effects (variables, literals, arithmetic) are computed
                // here; a callee that is not a compiled procedure simply evaluates them again.
                bool pure = !e.args.empty();
                for (const ExprPtr& a : e.args)
                    if (a->kind != ExprKind::Ident && !(a->kind == ExprKind::Literal) && !Interpreter::isIntArith(*a))
                        pure = false;
                std::vector<VmArg> regs;
                const int mark = m_tempTop;
                if (pure) {
                    for (const ExprPtr& a : e.args) {
                        if (a->kind == ExprKind::Ident)
                            regs.push_back({kNoReg, false});
                        else {
                            const int r = expr(*a, line);
                            regs.push_back({r, isTemp(r)});
                        }
                    }
                }
                m_tempTop = mark;
                const int t = temp();
                size_t i = put(VmOp::CallNamed, line);
                m_out.code[i].a = t;
                m_out.code[i].c = int(e.args.size());
                m_out.code[i].expr = &e;
                if (pure) {
                    // d = 1: every argument is in a register (none is passed by reference)
                    m_out.code[i].d = 1;
                    for (const VmArg& a : regs)
                        if (a.reg == kNoReg) m_out.code[i].d = 0;
                    m_out.code[i].e = int(m_out.args.size());
                    m_out.args.insert(m_out.args.end(), regs.begin(), regs.end());
                }
                return t;
            }
            break;
        default:
            break;
        }
        const int t = temp();
        size_t i = put(VmOp::Eval, line);
        m_out.code[i].a = t;
        m_out.code[i].expr = &e;
        return t;
    }

    bool movable(int r) const { return isTemp(r); }

    // A jump taken when the condition's truth equals jumpWhen; returns it for patching.
    size_t condJump(const Expr& c, bool jumpWhen, int line)
    {
        const auto simple = [this](const Expr& x) {
            return x.kind == ExprKind::Literal
                || (x.kind == ExprKind::Ident && x.bind == Bind::Local && x.slot >= 0 && x.slot < m_out.vars);
        };
        if (c.kind == ExprKind::Binary && c.op >= Op::Eq && c.op <= Op::Ge && simple(*c.a) && simple(*c.b)) {
            // two variables or constants: compared in place
            const int ra = expr(*c.a, line), rb = expr(*c.b, line);
            size_t i = put(VmOp::CompareJump, line);
            m_out.code[i].a = ra;
            m_out.code[i].c = rb;
            m_out.code[i].expr = &c;
            m_out.code[i].sub = c.op;
            m_out.code[i].d = jumpWhen ? 1 : 0;
            m_out.code[i].e = outcomeMask(c.op);
            return i;
        }
        if (c.kind == ExprKind::Binary && c.op >= Op::Eq && c.op <= Op::Ge && Interpreter::isIntArith(c)) {
            size_t i = put(VmOp::CondJumpIfFalse, line);
            m_out.code[i].expr = &c;
            m_out.code[i].d = jumpWhen ? 1 : 0;
            return i;
        }
        const int r = expr(c, line);
        size_t i = put(VmOp::JumpIfFalse, line);
        m_out.code[i].a = r;
        m_out.code[i].d = jumpWhen ? 1 : 0;
        return i;
    }

    void block(const Block& b)
    {
        for (const StmtPtr& s : b) stmt(*s);
    }

    Loop* innermost(bool isFor)
    {
        for (auto it = m_loops.rbegin(); it != m_loops.rend(); ++it)
            if (it->isFor == isFor) return &*it;
        return nullptr;
    }

    void exec(const Stmt& s)
    {
        size_t i = put(VmOp::Exec, s.line);
        m_out.code[i].stmt = &s;
        if (Loop* l = innermost(true)) l->execs.push_back(i);
        if (Loop* l = innermost(false)) l->execs.push_back(i);
    }

    void closeLoop(size_t exitAt)
    {
        Loop& l = m_loops.back();
        for (size_t j : l.jumps) m_out.code[j].b = int(exitAt);
        for (size_t j : l.execs) {
            if (l.isFor)
                m_out.code[j].b = int(exitAt);
            else
                m_out.code[j].c = int(exitAt);
        }
        m_loops.pop_back();
    }

    void stmt(const Stmt& s)
    {
        const int line = s.line;
        m_tempTop = 0;
        switch (s.kind) {
        case StmtKind::Assign: {
            const Expr& t = *s.target;
            const bool localTarget =
                t.kind == ExprKind::Ident && t.bind == Bind::Local && t.slot >= 0 && t.slot < m_out.vars;
            if (localTarget && s.value->kind == ExprKind::Binary && s.value->op != Op::Is) {
                // the operator stores its result in the variable itself
                const Expr& v = *s.value;
                const int ra = expr(*v.a, line);
                const int rb = expr(*v.b, line);
                size_t i = put(binaryOp(v.op), line);
                m_out.code[i].a = t.slot;
                m_out.code[i].b = ra;
                m_out.code[i].c = rb;
                m_out.code[i].d = 1;
                m_out.code[i].expr = &v;
                m_out.code[i].sub = v.op;
                return;
            }
            const int r = expr(*s.value, line);
            if (localTarget) {
                size_t i = put(VmOp::AssignLocal, line);
                m_out.code[i].b = t.slot;
                m_out.code[i].c = r;
                m_out.code[i].d = movable(r) ? 1 : 0;
            } else {
                size_t i = put(VmOp::AssignOther, line);
                m_out.code[i].c = r;
                m_out.code[i].d = movable(r) ? 1 : 0;
                m_out.code[i].e = t.kind == ExprKind::Ident && t.bind == Bind::Unresolved ? 1 : 0;
                m_out.code[i].stmt = &s;
            }
            return;
        }
        case StmtKind::AppendAssign: {
            const Expr& t = *s.target;
            const bool local = t.bind == Bind::Local && t.slot >= 0 && t.slot < m_out.vars;
            if (!local && t.bind != Bind::Unresolved) {
                exec(s);
                return;
            }
            const int r = expr(*s.value->b, line);
            size_t i = put(VmOp::Append, line);
            m_out.code[i].a = r;
            m_out.code[i].b = local ? t.slot : -1;
            m_out.code[i].stmt = &s;
            return;
        }
        case StmtKind::If: {
            std::vector<size_t> ends;
            const size_t n = s.conds.size();
            for (size_t k = 0; k < n; ++k) {
                const size_t skip = condJump(*s.conds[k], false, line);
                block(s.blocks[k]);
                if (k + 1 < n || s.hasElse) ends.push_back(put(VmOp::Jump, line));
                m_out.code[skip].b = int(here());
            }
            if (s.hasElse) block(s.blocks[n]);
            for (size_t j : ends) m_out.code[j].b = int(here());
            return;
        }
        case StmtKind::Do: {
            const size_t top = here();
            put(VmOp::Tick, line);
            m_loops.push_back({false, {}, {}});
            // Do While c / Do Until c: leave when the condition equals Until
            if (s.value && !s.condAtEnd) m_loops.back().jumps.push_back(condJump(*s.value, s.until, line));
            block(s.blocks[0]);
            if (s.value && s.condAtEnd) m_loops.back().jumps.push_back(condJump(*s.value, s.until, line));
            size_t back = put(VmOp::Jump, line);
            m_out.code[back].b = int(top);
            closeLoop(here());
            return;
        }
        case StmtKind::While: {
            // no Exit of its own: an Exit Do inside leaves the enclosing Do
            const size_t top = here();
            put(VmOp::Tick, line);
            const size_t leave = condJump(*s.value, false, line);
            block(s.blocks[0]);
            size_t back = put(VmOp::Jump, line);
            m_out.code[back].b = int(top);
            m_out.code[leave].b = int(here());
            return;
        }
        case StmtKind::For: {
            if (m_forDepth >= kMaxForDepth) {
                exec(s);
                return;
            }
            const int rs = expr(*s.value, line);
            const int re = expr(*s.end, line);
            const int rst = s.step ? expr(*s.step, line) : kNoReg;
            const size_t prep = put(VmOp::ForPrep, line);
            m_out.code[prep].a = m_forDepth;
            m_out.code[prep].b = rs;
            m_out.code[prep].c = re;
            m_out.code[prep].d = rst;
            m_out.code[prep].expr = s.target.get();
            ++m_forDepth;
            m_out.forDepth = std::max(m_out.forDepth, m_forDepth);
            m_loops.push_back({true, {}, {}});
            const size_t bodyStart = here();
            block(s.blocks[0]);
            const size_t next = put(VmOp::ForNext, line);
            m_out.code[next].a = m_forDepth - 1;
            m_out.code[next].b = int(bodyStart);
            m_out.code[next].expr = s.target.get();
            --m_forDepth;
            m_out.code[prep].e = int(here());
            closeLoop(here());
            return;
        }
        case StmtKind::Exit:
            switch (s.exitKind) {
            case ExitKind::Do:
            case ExitKind::For:
                if (Loop* l = innermost(s.exitKind == ExitKind::For)) {
                    l->jumps.push_back(put(VmOp::Jump, line));
                    return;
                }
                exec(s);
                return;
            default:
                put(VmOp::Return, line);
                return;
            }
        default:
            exec(s);
            return;
        }
    }

    // The borrowing registers go after the temporaries, the constants after them.
    void finish()
    {
        const int borrowAt = m_out.vars + m_out.temps;
        m_out.temps += m_borrowed;
        const int constAt = m_out.vars + m_out.temps;
        auto fix = [borrowAt, constAt](int& r) {
            if (r == kNoReg) return;
            if (r >= kConstBase)
                r = constAt + (r - kConstBase);
            else if (r >= kBorrowBase)
                r = borrowAt + (r - kBorrowBase);
        };
        for (VmInsn& in : m_out.code) {
            switch (in.op) {
            case VmOp::Binary:
            case VmOp::BinaryAdd:
            case VmOp::BinarySub:
                fix(in.b);
                fix(in.c);
                break;
            case VmOp::Unary:
                fix(in.b);
                break;
            case VmOp::AssignLocal:
            case VmOp::AssignOther:
                fix(in.c);
                break;
            case VmOp::JumpIfFalse:
            case VmOp::Append:
                fix(in.a);
                break;
            case VmOp::CompareJump:
                fix(in.a);
                fix(in.c);
                break;
            case VmOp::ForPrep:
                fix(in.b);
                fix(in.c);
                fix(in.d);
                break;
            case VmOp::RefGlobal:
                fix(in.a);
                break;
            default:
                break;
            }
        }
        // a jump to the end or to a return is that end or return itself
        for (VmInsn& in : m_out.code) {
            if (in.op != VmOp::Jump || in.b < 0 || size_t(in.b) >= m_out.code.size()) continue;
            const VmOp to = m_out.code[size_t(in.b)].op;
            if (to == VmOp::End || to == VmOp::Return) in.op = to;
        }
        for (VmArg& a : m_out.args) fix(a.reg);
        m_out.constCount = int(m_out.consts.size());
        m_out.codeSize = int(m_out.code.size());
    }

    VmCode m_out;
    std::vector<Loop> m_loops;
    int m_borrowed = 0;
    int m_forDepth = 0;
    int m_tempTop = 0;
};

}   // namespace

std::shared_ptr<const VmCode> compileBlock(const Block& body, int slotCount)
{
    if (hasOnError(body)) return nullptr;
    return Compiler(slotCount).run(body);
}

std::shared_ptr<const VmCode> compileProc(const Proc& p)
{
    if (hasOnError(p.body)) return nullptr;
    Compiler c(p.slotCount);
    c.directCall(p.arrayLocals.empty() && !p.owner, int(p.params.size()));
    return c.run(p.body);
}

// ============================================================================ running compiled code

namespace {

Variant letValue(const Variant& v) { return v.isObject() ? v.dereferenced() : v; }

bool isIntLike(const Variant& v)
{
    return v.type() == VarType::Integer || v.type() == VarType::Long || v.type() == VarType::Byte
        || v.type() == VarType::Empty || v.type() == VarType::Boolean;
}

// An integer result in the subtype VBScript gives it: Integer, else Long, else Double.
inline Variant intValue(int64_t r, bool isLong)
{
    if (!isLong && r >= -32768 && r <= 32767) return Variant::integer(int16_t(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return Variant::longValue(int32_t(r));
    return Variant::dbl(double(r));
}

inline void storeInt(Variant& dst, int64_t r, bool isLong)
{
    if (!isLong && r >= -32768 && r <= 32767)
        dst.setRaw(VarType::Integer, r);
    else if (r >= INT32_MIN && r <= INT32_MAX)
        dst.setRaw(VarType::Long, r);
    else
        dst = Variant::dbl(double(r));
}

}   // namespace

struct Interpreter::ForState {
    bool intMode = true;
    bool wantLong = false;
    bool stable = false;
    int64_t cur = 0, last = 0, step = 0;
    double dlast = 0, dstep = 0;
    Variant curV, stepV;
    Variant* ctr = nullptr;
    uint64_t gen = 0;
};

namespace {

// A For counter's value: Integer while it fits unless the bounds asked for Long.
inline void storeCounter(Variant& ctr, int64_t cur, bool wantLong)
{
    if (!wantLong && cur >= -32768 && cur <= 32767)
        ctr.setRaw(VarType::Integer, cur);
    else if (cur >= INT32_MIN && cur <= INT32_MAX)
        ctr.setRaw(VarType::Long, cur);
    else
        ctr = Variant::dbl(double(cur));
}

inline bool forEnded(int64_t cur, int64_t last, int64_t step) { return step >= 0 ? cur > last : cur < last; }

}   // namespace

// The top of a For loop's turn: the counter takes the value, then the end test.
bool Interpreter::forTop(ForState& st, const Expr& ctrExpr, Frame& f)
{
    if (st.intMode) {
        if (!st.stable && (st.gen != m_generation || f.dynamics)) {
            st.ctr = identStorage(ctrExpr, f, true);
            st.gen = m_generation;
            if (!st.ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
        }
        storeCounter(*st.ctr, st.cur, st.wantLong);
        return !forEnded(st.cur, st.last, st.step);
    }
    Variant* ctr = identStorage(ctrExpr, f, true);
    if (!ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
    *ctr = st.curV;
    const double cur = st.curV.toDouble();
    return !(st.dstep >= 0 ? cur > st.dlast : cur < st.dlast);
}

// The constant registers follow the variables and temporaries; nothing writes to them.
inline void pointAtConstants(const VmCode& c, Variant** R)
{
    Variant** k = R + c.vars + c.temps;
    for (int i = 0; i < c.constCount; ++i) k[i] = const_cast<Variant*>(&c.consts[size_t(i)]);
}

// The registers of one run of compiled code: pointers to the variables and the temporaries;
// owned Variants for the variables from `first` on and
// the temporaries, on the machine stack for the small cases.
struct RegisterFile {
    static constexpr int kInlineRegs = 48;
    static constexpr int kInlineVals = 16;
    Variant* inlineRegs[kInlineRegs];
    alignas(Variant) unsigned char inlineVals[kInlineVals * sizeof(Variant)];
    std::unique_ptr<Variant*[]> heapRegs;
    std::unique_ptr<Variant[]> heapVals;
    Variant** R;
    Variant* vals;
    int owned;
    RegisterFile(const VmCode& c, int first)
    {
        const int n = c.vars + c.temps + c.constCount;
        owned = c.vars + c.temps - first;
        R = inlineRegs;
        if (n > kInlineRegs) {
            heapRegs.reset(new Variant*[size_t(n)]);
            R = heapRegs.get();
        }
        if (owned <= kInlineVals) {
            vals = reinterpret_cast<Variant*>(inlineVals);
            for (int i = 0; i < owned; ++i) R[first + i] = new (&vals[i]) Variant();
        } else {
            heapVals.reset(new Variant[size_t(owned)]);
            vals = heapVals.get();
            for (int i = 0; i < owned; ++i) R[first + i] = &vals[i];
        }
        pointAtConstants(c, R);
    }
    ~RegisterFile()
    {
        if (owned <= kInlineVals)
            for (int i = 0; i < owned; ++i) vals[i].~Variant();
    }
    RegisterFile(const RegisterFile&) = delete;
    RegisterFile& operator=(const RegisterFile&) = delete;
};

Flow Interpreter::runCompiled(const VmCode& c, Frame& f)
{
    RegisterFile regs(c, c.vars);   // the variables are the frame's own slots
    for (int i = 0; i < c.vars; ++i) regs.R[i] = f.slotPtrs[i];
    return execInsns(c, f, regs.R, regs.vals);
}

// A call of a compiled procedure in one piece: the variables, temporaries and register
// pointers of the frame live in one block, and the register pointers serve as the slots.
void Interpreter::callCompiled(const Proc& p, const std::vector<ExprPtr>& args, Frame& caller, const VmArg* computed,
    Variant** callerRegs, Variant& result)
{
    const VmCode& c = *p.vm;
    RegisterFile regs(c, 0);
    Variant** R = regs.R;
    Variant* vals = regs.vals;
    LockHold hold;
    for (size_t i = 0; i < args.size(); ++i) {
        if (computed && computed[i].reg != kNoReg) {
            const int r = computed[i].reg;
            if (computed[i].movable)
                vals[i] = std::move(*callerRegs[r]);
            else
                vals[i] = *callerRegs[r];
            continue;
        }
        const Expr& ae = *args[i];
        if (ae.kind == ExprKind::Missing) raise(kWrongArgumentCount);
        if (p.params[i].byRef && (ae.kind == ExprKind::Ident || ae.kind == ExprKind::Call)) {
            ArrayPtr locked;
            Variant* ref = refStorage(ae, caller, &locked);
            if (ref) {
                if (locked) hold.add(locked);
                R[i] = ref;
                continue;
            }
        }
        int64_t r;
        bool isLong = false;
        if (ae.kind == ExprKind::Binary && isIntArith(ae) && ae.op >= Op::Concat && tryInt(ae, caller, r, isLong))
            vals[i] = intValue(r, isLong);
        else
            vals[i] = eval(ae, caller);
    }
    char probe;
    if (m_depth + 1 > kMaxCallDepth || (m_stackBase && m_stackBase - &probe > kStackBudget)) raise(kOutOfStackSpace);
    struct Scope {
        Interpreter& in;
        Frame& f;
        bool explicitSaved;
        ~Scope()
        {
            --in.m_depth;
            in.m_optionExplicit = explicitSaved;
            delete f.dynamics;
        }
    };
    Frame f;
    f.proc = &p;
    f.slotPtrs = R;
    ++m_depth;
    Scope scope{*this, f, m_optionExplicit};
    tick();
    m_optionExplicit = p.optionExplicit;
    execInsns(c, f, R, vals + c.vars);
    // the result register may be one the arguments came from: they are all read by now
    if (p.resultSlot >= 0)
        result = std::move(*R[p.resultSlot]);
    else
        result = Variant();
}

// callCompiled when every argument is already in the caller's registers and the frame fits the
// machine stack: no references to take, nothing to evaluate, no heap.
void Interpreter::callCompiledComputed(const Proc& p, const VmArg* computed, Variant** callerRegs, Variant& result)
{
    const VmCode& c = *p.vm;
    const int n = c.vars + c.temps;
    char probe;
    if (m_depth + 1 > kMaxCallDepth || (m_stackBase && m_stackBase - &probe > kStackBudget)) raise(kOutOfStackSpace);
    alignas(Variant) unsigned char buf[kLeanRegs * sizeof(Variant)];
    Variant* vals = reinterpret_cast<Variant*>(buf);
    Variant* R[kLeanRegs];
    int i = 0;
    for (; i < c.paramCount; ++i) {
        const VmArg& a = computed[i];
        if (a.movable)
            R[i] = new (&vals[i]) Variant(std::move(*callerRegs[a.reg]));
        else
            R[i] = new (&vals[i]) Variant(*callerRegs[a.reg]);
    }
    for (; i < n; ++i) R[i] = new (&vals[i]) Variant();
    pointAtConstants(c, R);
    struct Scope {
        Interpreter& in;
        Frame& f;
        Variant* vals;
        int n;
        bool explicitSaved;
        ~Scope()
        {
            --in.m_depth;
            in.m_optionExplicit = explicitSaved;
            delete f.dynamics;
            for (int k = 0; k < n; ++k) vals[k].~Variant();
        }
    };
    Frame f;
    f.proc = &p;
    f.slotPtrs = R;
    ++m_depth;
    Scope scope{*this, f, vals, n, m_optionExplicit};
    tick();
    m_optionExplicit = p.optionExplicit;
    execInsns(c, f, R, vals + c.vars);
    if (p.resultSlot >= 0)
        result = std::move(*R[p.resultSlot]);
    else
        result = Variant();
}

Flow Interpreter::execInsns(const VmCode& c, Frame& f, Variant** R, Variant* temps)
{
    // the states of the For loops running in this code, on the machine stack
    alignas(ForState) unsigned char forBuf[kMaxForDepth * sizeof(ForState)];
    ForState* fors = reinterpret_cast<ForState*>(forBuf);
    struct ForStates {
        ForState* s;
        int n;
        ForStates(ForState* s, int n) : s(s), n(n)
        {
            for (int i = 0; i < n; ++i) new (&s[i]) ForState();
        }
        ~ForStates()
        {
            for (int i = 0; i < n; ++i) s[i].~ForState();
        }
    } forScope(fors, c.forDepth);

    const VmInsn* code = c.code.data();
    const auto rd = [R](int r) -> const Variant& { return *R[r]; };
    const VmInsn* ip = code;
    // Threaded dispatch: every operation ends in its own jump to the next one, which the
    // processor predicts far better than one shared jump. The table follows VmOp's order.
    static const void* const kOps[] = {&&op_Eval, &&op_RefGlobal, &&op_Binary, &&op_BinaryAdd, &&op_BinarySub,
        &&op_Unary, &&op_CallNamed, &&op_AssignLocal, &&op_AssignOther, &&op_Append, &&op_Exec, &&op_JumpIfFalse,
        &&op_CondJumpIfFalse, &&op_CompareJump, &&op_Jump, &&op_Tick, &&op_ForPrep, &&op_ForNext, &&op_Return,
        &&op_End};
    static_assert(sizeof(kOps) / sizeof(kOps[0]) == size_t(VmOp::End) + 1);
    const VmInsn* in;
#define VM_NEXT                                                                                                        \
    do {                                                                                                               \
        in = ip++;                                                                                                     \
        m_line = in->line;                                                                                             \
        goto* kOps[size_t(in->op)];                                                                                    \
    } while (0)
    VM_NEXT;
    {
    // each operation's body is a block that `break` leaves for the VM_NEXT after it
    op_Eval:
        switch (0) {
        default:
            *R[in->a] = eval(*in->expr, f);
            break;
        }
        VM_NEXT;
    op_RefGlobal:
        switch (0) {
        default: {
            const Expr& e = *in->expr;
            if (!f.dynamics) {
                GlobalEntry* g = lookupGlobal(e);
                if (g && (g->kind == GlobalEntry::Var || g->kind == GlobalEntry::Const)) {
                    R[in->a] = &g->value;
                    break;
                }
            }
            R[in->a] = &temps[in->a - c.vars];
            *R[in->a] = eval(e, f);
            break;
        }
        }
        VM_NEXT;
    op_BinaryAdd:
    op_BinarySub : {
        const Variant& x = rd(in->b);
        const Variant& y = rd(in->c);
        Variant& d = *R[in->a];
        if ((x.type() == VarType::Integer || x.type() == VarType::Long)
            && (y.type() == VarType::Integer || y.type() == VarType::Long) && !(in->d == 1 && d.isArray())) {
            const int64_t u = x.rawInt(), v = y.rawInt();
            storeInt(
                d, in->op == VmOp::BinaryAdd ? u + v : u - v, x.type() == VarType::Long || y.type() == VarType::Long);
            VM_NEXT;
        }
    }
        goto op_Binary;
    op_Binary:
        switch (0) {
        default: {
            const Variant& x = rd(in->b);
            const Variant& y = rd(in->c);
            Variant& d = *R[in->a];
            if ((x.type() == VarType::Integer || x.type() == VarType::Long)
                && (y.type() == VarType::Integer || y.type() == VarType::Long) && !(in->d == 1 && d.isArray())) {
                // Integer and Long operands: the short way binaryValues takes too
                const int64_t u = x.rawInt(), v = y.rawInt();
                const bool isLong = x.type() == VarType::Long || y.type() == VarType::Long;
                switch (in->sub) {
                case Op::Add:
                    storeInt(d, u + v, isLong);
                    VM_NEXT;
                case Op::Sub:
                    storeInt(d, u - v, isLong);
                    VM_NEXT;
                case Op::Mul:
                    storeInt(d, u * v, isLong);
                    VM_NEXT;
                case Op::Mod:
                    if (v != 0) {
                        storeInt(d, u % v, isLong);
                        VM_NEXT;
                    }
                    break;
                case Op::IntDiv:
                    if (v != 0) {
                        storeInt(d, u / v, isLong);
                        VM_NEXT;
                    }
                    break;
                case Op::Eq:
                    d.setRaw(VarType::Boolean, u == v ? -1 : 0);
                    VM_NEXT;
                case Op::Ne:
                    d.setRaw(VarType::Boolean, u != v ? -1 : 0);
                    VM_NEXT;
                case Op::Lt:
                    d.setRaw(VarType::Boolean, u < v ? -1 : 0);
                    VM_NEXT;
                case Op::Gt:
                    d.setRaw(VarType::Boolean, u > v ? -1 : 0);
                    VM_NEXT;
                case Op::Le:
                    d.setRaw(VarType::Boolean, u <= v ? -1 : 0);
                    VM_NEXT;
                case Op::Ge:
                    d.setRaw(VarType::Boolean, u >= v ? -1 : 0);
                    VM_NEXT;
                default:
                    break;
                }
            }
            if (in->d != 1) {
                d = binaryValues(*in->expr, x, y);
                break;
            }
            Variant v = binaryValues(*in->expr, x, y);
            if (d.isFixedArray()) raise(kArrayFixedOrLocked);
            d = std::move(v);
            break;
        }
        }
        VM_NEXT;
    op_Unary:
        switch (0) {
        default: {
            const Variant& a = rd(in->b);
            switch (in->sub) {
            case Op::Neg:
                *R[in->a] = ops::neg(a);
                break;
            case Op::Not:
                *R[in->a] = ops::notOp(a);
                break;
            default:   // unary +
                *R[in->a] = a;
                break;
            }
            break;
        }
        }
        VM_NEXT;
    op_CallNamed:
        switch (0) {
        default: {
            const Expr& e = *in->expr;
            if (!f.dynamics) {
                GlobalEntry* g = lookupGlobal(*e.a);
                if (g && g->kind == GlobalEntry::Proc) {
                    const Proc& p = *g->proc;
                    if (p.vm && p.vm->directCall && p.vm->paramCount == in->c && m_withStack.empty())
                        if (in->d == 1 && p.vm->vars + p.vm->temps + p.vm->constCount <= kLeanRegs)
                            callCompiledComputed(p, &c.args[size_t(in->e)], R, *R[in->a]);
                        else
                            callCompiled(p, e.args, f, in->e >= 0 ? &c.args[size_t(in->e)] : nullptr, R, *R[in->a]);
                    else
                        *R[in->a] = callUser(p, nullptr, e.args, f);
                    break;
                }
            }
            *R[in->a] = evalCall(e, f);
            break;
        }
        }
        VM_NEXT;
    op_AssignLocal:
        switch (0) {
        default: {
            const Variant& src = rd(in->c);
            Variant* st = R[in->b];
            if (!src.isObject() && !st->isArray()) {
                // the common case: no default member to read, no fixed array to protect
                if (in->d)
                    *st = std::move(*R[in->c]);
                else
                    *st = src;
                break;
            }
            Variant v;
            if (in->d)
                v = std::move(*R[in->c]);
            else
                v = rd(in->c);
            if (v.isObject()) v = v.dereferenced();
            if (st->isFixedArray()) raise(kArrayFixedOrLocked);
            *st = std::move(v);
            break;
        }
        }
        VM_NEXT;
    op_AssignOther:
        switch (0) {
        default: {
            if (in->e == 1 && !f.dynamics) {
                // a global variable: stored as assignTo would, without its checks
                const Variant& src = rd(in->c);
                GlobalEntry* g = lookupGlobal(*in->stmt->target);
                if (!src.isObject() && g && g->kind == GlobalEntry::Var && !g->value.isArray()) {
                    if (in->d)
                        g->value = std::move(*R[in->c]);
                    else
                        g->value = src;
                    break;
                }
            }
            Variant v;
            if (in->d)
                v = std::move(*R[in->c]);
            else
                v = rd(in->c);
            if (v.isObject()) v = v.dereferenced();
            assignTo(*in->stmt->target, f, std::move(v), false);
            break;
        }
        }
        VM_NEXT;
    op_Append:
        switch (0) {
        default: {
            const Variant& r = rd(in->a);
            Variant* st = nullptr;
            if (in->b >= 0)
                st = R[in->b];
            else if (!f.dynamics) {
                GlobalEntry* g = lookupGlobal(*in->stmt->target);
                if (g && g->kind == GlobalEntry::Var) st = &g->value;
            }
            if (st && st->isString() && r.isString()) {
                appendText(st->rawStringRef(), r.rawString());
                break;
            }
            appendValue(*in->stmt, f, r);
            break;
        }
        }
        VM_NEXT;
    op_Exec:
        switch (0) {
        default: {
            const Flow fl = exec(*in->stmt, f);
            if (fl == Flow::Normal) break;
            if (fl == Flow::ExitFor && in->b >= 0) {
                ip = code + in->b;
                break;
            }
            if (fl == Flow::ExitDo && in->c >= 0) {
                ip = code + in->c;
                break;
            }
            return fl;
        }
        }
        VM_NEXT;
    op_JumpIfFalse:
        switch (0) {
        default: {
            const Variant& v = rd(in->a);
            const bool t = v.type() == VarType::Boolean ? v.rawInt() != 0 : v.isNull() ? false : v.toBool();
            if (t == (in->d != 0)) ip = code + in->b;
            break;
        }
        }
        VM_NEXT;
    op_CondJumpIfFalse:
        switch (0) {
        default:
            if (evalCondition(*in->expr, f) == (in->d != 0)) ip = code + in->b;
            break;
        }
        VM_NEXT;
    op_CompareJump:
        switch (0) {
        default: {
            const Variant& x = rd(in->a);
            const Variant& y = rd(in->c);
            bool t;
            if ((x.type() == VarType::Integer || x.type() == VarType::Long)
                && (y.type() == VarType::Integer || y.type() == VarType::Long)) {
                // without a jump per operator: the outcome's bit in the mask
                const int64_t u = x.rawInt(), v = y.rawInt();
                const int outcome = u < v ? 0 : u == v ? 1 : 2;
                t = (in->e >> outcome) & 1;
            } else
                t = evalCondition(*in->expr, f);
            if (t == (in->d != 0)) ip = code + in->b;
            break;
        }
        }
        VM_NEXT;
    op_Jump:
        switch (0) {
        default:
            ip = code + in->b;
            break;
        }
        VM_NEXT;
    op_Tick:
        switch (0) {
        default:
            tick();
            break;
        }
        VM_NEXT;
    op_ForPrep:
        switch (0) {
        default: {
            ForState& st = fors[size_t(in->a)];
            Variant start = letValue(rd(in->b));
            Variant end = letValue(rd(in->c));
            Variant step = in->d != kNoReg ? letValue(rd(in->d)) : Variant::integer(1);
            if (start.isNull() || end.isNull() || step.isNull()) raise(kInvalidUseOfNull);
            const Expr& ctrExpr = *in->expr;
            st.stable = ctrExpr.bind == Bind::Local || ctrExpr.bind == Bind::ClassField;
            if (isIntLike(start) && isIntLike(end) && isIntLike(step)) {
                st.intMode = true;
                st.wantLong =
                    start.type() == VarType::Long || end.type() == VarType::Long || step.type() == VarType::Long;
                st.cur = start.isEmpty() ? 0 : start.rawInt();
                st.last = end.isEmpty() ? 0 : end.rawInt();
                st.step = step.isEmpty() ? 0 : step.rawInt();
                st.ctr = identStorage(ctrExpr, f, true);
                if (!st.ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
                st.gen = m_generation;
            } else {
                st.intMode = false;
                st.dlast = end.toDouble();
                st.dstep = step.toDouble();
                st.stepV = step;
                st.curV = start.isString() ? Variant::dbl(start.toDouble()) : start;
            }
            if (!forTop(st, ctrExpr, f)) ip = code + in->e;
            break;
        }
        }
        VM_NEXT;
    op_ForNext:
        switch (0) {
        default: {
            ForState& st = fors[size_t(in->a)];
            const Expr& ctrExpr = *in->expr;
            tick();
            if (st.intMode) {
                if (!st.stable && (st.gen != m_generation || f.dynamics)) {
                    st.ctr = identStorage(ctrExpr, f, true);
                    st.gen = m_generation;
                }
                if (!st.ctr) break;   // the counter went away: the loop ends
                const Variant& cv = *st.ctr;
                int64_t cur;
                if (cv.type() == VarType::Integer || cv.type() == VarType::Long)
                    cur = cv.rawInt() + st.step;
                else
                    cur = int64_t(cv.toDouble()) + st.step;
                if (cur > INT32_MAX || cur < INT32_MIN) raise(kOverflow);
                st.cur = cur;
                if (st.stable || (st.gen == m_generation && !f.dynamics)) {
                    // the counter's storage is still valid: forTop's work in place
                    storeCounter(*st.ctr, cur, st.wantLong);
                    if (!forEnded(cur, st.last, st.step)) ip = code + in->b;
                    break;
                }
            } else {
                Variant* ctr = identStorage(ctrExpr, f, true);
                if (!ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
                st.curV = ops::add(*ctr, st.stepV);
            }
            if (forTop(st, ctrExpr, f)) ip = code + in->b;
            break;
        }
        }
        VM_NEXT;
    op_Return:
        switch (0) {
        default:
            return Flow::ExitProc;
        }
        VM_NEXT;
    op_End:
        switch (0) {
        default:
            return Flow::Normal;
        }
    }
#undef VM_NEXT
}

}   // namespace orra::vbs
