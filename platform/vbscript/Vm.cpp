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
            size_t i = put(VmOp::Binary, line);
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
            const int r = expr(*s.value, line);
            const Expr& t = *s.target;
            if (t.kind == ExprKind::Ident && t.bind == Bind::Local && t.slot >= 0 && t.slot < m_out.vars) {
                size_t i = put(VmOp::AssignLocal, line);
                m_out.code[i].b = t.slot;
                m_out.code[i].c = r;
                m_out.code[i].d = movable(r) ? 1 : 0;
            } else {
                size_t i = put(VmOp::AssignOther, line);
                m_out.code[i].c = r;
                m_out.code[i].d = movable(r) ? 1 : 0;
                m_out.code[i].stmt = &s;
            }
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

    // The borrowing registers go after the temporaries; constants become negative operands.
    void finish()
    {
        const int borrowAt = m_out.vars + m_out.temps;
        m_out.temps += m_borrowed;
        auto fix = [borrowAt](int& r) {
            if (r == kNoReg) return;
            if (r >= kConstBase)
                r = -1 - (r - kConstBase);
            else if (r >= kBorrowBase)
                r = borrowAt + (r - kBorrowBase);
        };
        for (VmInsn& in : m_out.code) {
            switch (in.op) {
            case VmOp::Binary:
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

// The top of a For loop's turn: the counter takes the value, then the end test.
bool Interpreter::forTop(ForState& st, const Expr& ctrExpr, Frame& f)
{
    if (st.intMode) {
        if (!st.stable && (st.gen != m_generation || f.dynamics)) {
            st.ctr = identStorage(ctrExpr, f, true);
            st.gen = m_generation;
            if (!st.ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
        }
        const int64_t cur = st.cur;
        if (st.wantLong || cur < -32768 || cur > 32767) {
            if (cur >= INT32_MIN && cur <= INT32_MAX)
                *st.ctr = Variant::longValue(int32_t(cur));
            else
                *st.ctr = Variant::dbl(double(cur));
        } else
            *st.ctr = Variant::integer(int16_t(cur));
        return !(st.step >= 0 ? cur > st.last : cur < st.last);
    }
    Variant* ctr = identStorage(ctrExpr, f, true);
    if (!ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
    *ctr = st.curV;
    const double cur = st.curV.toDouble();
    return !(st.dstep >= 0 ? cur > st.dlast : cur < st.dlast);
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
        const int n = c.vars + c.temps;
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
    Variant** callerRegs, const Variant* callerConsts, Variant& result)
{
    const VmCode& c = *p.vm;
    RegisterFile regs(c, 0);
    Variant** R = regs.R;
    Variant* vals = regs.vals;
    LockHold hold;
    for (size_t i = 0; i < args.size(); ++i) {
        if (computed && computed[i].reg != kNoReg) {
            const int r = computed[i].reg;
            if (r < 0)
                vals[i] = callerConsts[-1 - r];
            else if (computed[i].movable)
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
    const Variant* K = c.consts.data();
    const auto rd = [R, K](int r) -> const Variant& { return r >= 0 ? *R[r] : K[-1 - r]; };
    const VmInsn* ip = code;
    for (;;) {
        const VmInsn& in = *ip++;
        m_line = in.line;
        switch (in.op) {
        case VmOp::Eval:
            *R[in.a] = eval(*in.expr, f);
            break;
        case VmOp::RefGlobal: {
            const Expr& e = *in.expr;
            if (!f.dynamics) {
                GlobalEntry* g = lookupGlobal(e);
                if (g && (g->kind == GlobalEntry::Var || g->kind == GlobalEntry::Const)) {
                    R[in.a] = &g->value;
                    break;
                }
            }
            R[in.a] = &temps[in.a - c.vars];
            *R[in.a] = eval(e, f);
            break;
        }
        case VmOp::Binary: {
            const Variant& x = rd(in.b);
            const Variant& y = rd(in.c);
            if ((x.type() == VarType::Integer || x.type() == VarType::Long)
                && (y.type() == VarType::Integer || y.type() == VarType::Long)) {
                // Integer and Long operands: the short way binaryValues takes too
                const int64_t u = x.rawInt(), v = y.rawInt();
                const bool isLong = x.type() == VarType::Long || y.type() == VarType::Long;
                Variant& d = *R[in.a];
                switch (in.sub) {
                case Op::Add:
                    storeInt(d, u + v, isLong);
                    continue;
                case Op::Sub:
                    storeInt(d, u - v, isLong);
                    continue;
                case Op::Mul:
                    storeInt(d, u * v, isLong);
                    continue;
                case Op::Mod:
                    if (v != 0) {
                        storeInt(d, u % v, isLong);
                        continue;
                    }
                    break;
                case Op::IntDiv:
                    if (v != 0) {
                        storeInt(d, u / v, isLong);
                        continue;
                    }
                    break;
                case Op::Eq:
                    d.setRaw(VarType::Boolean, u == v ? -1 : 0);
                    continue;
                case Op::Ne:
                    d.setRaw(VarType::Boolean, u != v ? -1 : 0);
                    continue;
                case Op::Lt:
                    d.setRaw(VarType::Boolean, u < v ? -1 : 0);
                    continue;
                case Op::Gt:
                    d.setRaw(VarType::Boolean, u > v ? -1 : 0);
                    continue;
                case Op::Le:
                    d.setRaw(VarType::Boolean, u <= v ? -1 : 0);
                    continue;
                case Op::Ge:
                    d.setRaw(VarType::Boolean, u >= v ? -1 : 0);
                    continue;
                default:
                    break;
                }
            }
            *R[in.a] = binaryValues(*in.expr, x, y);
            break;
        }
        case VmOp::Unary: {
            const Variant& a = rd(in.b);
            switch (in.sub) {
            case Op::Neg:
                *R[in.a] = ops::neg(a);
                break;
            case Op::Not:
                *R[in.a] = ops::notOp(a);
                break;
            default:   // unary +
                *R[in.a] = a;
                break;
            }
            break;
        }
        case VmOp::CallNamed: {
            const Expr& e = *in.expr;
            if (!f.dynamics) {
                GlobalEntry* g = lookupGlobal(*e.a);
                if (g && g->kind == GlobalEntry::Proc) {
                    const Proc& p = *g->proc;
                    if (p.vm && p.vm->directCall && p.vm->paramCount == in.c && m_withStack.empty())
                        callCompiled(p, e.args, f, in.e >= 0 ? &c.args[size_t(in.e)] : nullptr, R, K, *R[in.a]);
                    else
                        *R[in.a] = callUser(p, nullptr, e.args, f);
                    break;
                }
            }
            *R[in.a] = evalCall(e, f);
            break;
        }
        case VmOp::AssignLocal: {
            const Variant& src = rd(in.c);
            Variant* st = R[in.b];
            if (!src.isObject() && !st->isArray()) {
                // the common case: no default member to read, no fixed array to protect
                if (in.d)
                    *st = std::move(*R[in.c]);
                else
                    *st = src;
                break;
            }
            Variant v;
            if (in.d)
                v = std::move(*R[in.c]);
            else
                v = rd(in.c);
            if (v.isObject()) v = v.dereferenced();
            if (st->isFixedArray()) raise(kArrayFixedOrLocked);
            *st = std::move(v);
            break;
        }
        case VmOp::AssignOther: {
            Variant v;
            if (in.d)
                v = std::move(*R[in.c]);
            else
                v = rd(in.c);
            if (v.isObject()) v = v.dereferenced();
            assignTo(*in.stmt->target, f, std::move(v), false);
            break;
        }
        case VmOp::Exec: {
            const Flow fl = exec(*in.stmt, f);
            if (fl == Flow::Normal) break;
            if (fl == Flow::ExitFor && in.b >= 0) {
                ip = code + in.b;
                break;
            }
            if (fl == Flow::ExitDo && in.c >= 0) {
                ip = code + in.c;
                break;
            }
            return fl;
        }
        case VmOp::JumpIfFalse: {
            const Variant& v = rd(in.a);
            const bool t = v.type() == VarType::Boolean ? v.rawInt() != 0 : v.isNull() ? false : v.toBool();
            if (t == (in.d != 0)) ip = code + in.b;
            break;
        }
        case VmOp::CondJumpIfFalse:
            if (evalCondition(*in.expr, f) == (in.d != 0)) ip = code + in.b;
            break;
        case VmOp::CompareJump: {
            const Variant& x = rd(in.a);
            const Variant& y = rd(in.c);
            bool t;
            if ((x.type() == VarType::Integer || x.type() == VarType::Long)
                && (y.type() == VarType::Integer || y.type() == VarType::Long)) {
                const int64_t u = x.rawInt(), v = y.rawInt();
                switch (in.sub) {
                case Op::Eq:
                    t = u == v;
                    break;
                case Op::Ne:
                    t = u != v;
                    break;
                case Op::Lt:
                    t = u < v;
                    break;
                case Op::Gt:
                    t = u > v;
                    break;
                case Op::Le:
                    t = u <= v;
                    break;
                default:
                    t = u >= v;
                    break;
                }
            } else
                t = evalCondition(*in.expr, f);
            if (t == (in.d != 0)) ip = code + in.b;
            break;
        }
        case VmOp::Jump:
            ip = code + in.b;
            break;
        case VmOp::Tick:
            tick();
            break;
        case VmOp::ForPrep: {
            ForState& st = fors[size_t(in.a)];
            Variant start = letValue(rd(in.b));
            Variant end = letValue(rd(in.c));
            Variant step = in.d != kNoReg ? letValue(rd(in.d)) : Variant::integer(1);
            if (start.isNull() || end.isNull() || step.isNull()) raise(kInvalidUseOfNull);
            const Expr& ctrExpr = *in.expr;
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
            if (!forTop(st, ctrExpr, f)) ip = code + in.e;
            break;
        }
        case VmOp::ForNext: {
            ForState& st = fors[size_t(in.a)];
            const Expr& ctrExpr = *in.expr;
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
            } else {
                Variant* ctr = identStorage(ctrExpr, f, true);
                if (!ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
                st.curV = ops::add(*ctr, st.stepV);
            }
            if (forTop(st, ctrExpr, f)) ip = code + in.b;
            break;
        }
        case VmOp::Return:
            return Flow::ExitProc;
        case VmOp::End:
            return Flow::Normal;
        }
    }
}

}   // namespace orra::vbs
