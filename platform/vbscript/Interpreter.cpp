#include "platform/vbscript/Interpreter.h"

#include "platform/vbscript/Dictionary.h"
#include "platform/vbscript/InterpreterInternal.h"
#include "platform/vbscript/Objects.h"
#include "platform/vbscript/Parser.h"
#include "platform/vbscript/Runtime.h"

#include <cmath>

namespace orra::vbs {

namespace {

constexpr int kMaxCallDepth = 2500;

bool isFatal(const orra::Error& e) { return e.number() == kErrorCancelled; }

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

// Pushes an object for With and pops it again.
struct WithScope {
    std::vector<DispatchPtr>& stack;
    WithScope(std::vector<DispatchPtr>& s, DispatchPtr o) : stack(s) { stack.push_back(std::move(o)); }
    ~WithScope() { stack.pop_back(); }
};

// Frame storage: up to 8 slots on the machine stack (only as many as the procedure has are
// constructed), more on the heap.
struct FrameStorage {
    static constexpr int kInline = 8;
    alignas(Variant) unsigned char inlineBuf[kInline * sizeof(Variant)];
    Variant* inlineSlots[kInline];
    std::vector<Variant> heapVals;
    std::vector<Variant*> heapSlots;
    Variant* vals;
    Variant** slotPtrs;
    int count;
    explicit FrameStorage(int n) : count(n)
    {
        if (n <= kInline) {
            vals = reinterpret_cast<Variant*>(inlineBuf);
            for (int i = 0; i < n; ++i) new (&vals[i]) Variant();
            slotPtrs = inlineSlots;
        } else {
            heapVals.resize(size_t(n));
            heapSlots.resize(size_t(n));
            vals = heapVals.data();
            slotPtrs = heapSlots.data();
        }
        for (int i = 0; i < n; ++i) slotPtrs[i] = &vals[i];
    }
    ~FrameStorage()
    {
        if (count <= kInline)
            for (int i = 0; i < count; ++i) vals[i].~Variant();
    }
    FrameStorage(const FrameStorage&) = delete;
    FrameStorage& operator=(const FrameStorage&) = delete;
};

Variant letValue(Variant v)
{
    if (v.isObject()) return v.dereferenced();
    return v;
}

ArrayPtr makeArray(const std::vector<long>& upper)
{
    auto a = std::make_shared<VariantArray>();
    long total = upper.empty() ? 0 : 1;   // Dim n(): no element yet
    for (long u : upper) {
        if (u < -1) raise(kSubscriptOutOfRange);
        a->bounds.push_back({0, u + 1});
        total *= (u + 1);
        if (total > 10'000'000) raise(kOutOfMemory);
    }
    a->data.resize(size_t(total));
    return a;
}

}   // namespace

// ============================================================================ set-up

Interpreter::Interpreter() : m_err(std::make_shared<ErrObject>()), m_alive(std::make_shared<bool>(true)) { reset(); }

Interpreter::~Interpreter()
{
    *m_alive = false;
    // Break reference cycles between script objects so that they are all released.
    auto instances = m_instances;
    for (ClassInstance* c : instances) c->detach();
    std::vector<Variant> hold;
    for (ClassInstance* c : instances)
        for (auto& v : c->fields) hold.push_back(std::move(v));
    m_instances.clear();
    m_globals.clear();
    m_entries.clear();
    hold.clear();
}

void Interpreter::reset()
{
    // Detach objects created so far: their Class_Terminate no longer runs.
    auto instances = m_instances;
    std::vector<Variant> hold;
    for (ClassInstance* c : instances) {
        c->detach();
        for (auto& v : c->fields) hold.push_back(std::move(v));
    }
    m_instances.clear();
    m_globals.clear();
    m_entries.clear();
    m_retiredProcs.clear();
    hold.clear();
    m_globalMembers.clear();
    m_withStack.clear();
    m_err->clear();
    ++m_generation;
    m_globalFrame = Frame();
    cancelRequested = false;
    for (auto it = builtins().begin(); it != builtins().end(); ++it) {
        GlobalEntry& e = defineGlobal(it.key(), GlobalEntry::BuiltinFunc);
        e.builtin = &it.value();
    }
    QHash<QString, Variant> constants;
    installConstants(constants);
    for (auto it = constants.begin(); it != constants.end(); ++it) {
        GlobalEntry& e = defineGlobal(it.key(), GlobalEntry::Const);
        e.value = it.value();
    }
    GlobalEntry& err = defineGlobal(QStringLiteral("Err"), GlobalEntry::HostObject);
    err.value = Variant::object(m_err);
}

DispatchPtr Interpreter::errObject() const { return m_err; }

void Interpreter::registerInstance(ClassInstance* c) { m_instances.push_back(c); }

void Interpreter::unregisterInstance(ClassInstance* c)
{
    for (size_t i = 0; i < m_instances.size(); ++i)
        if (m_instances[i] == c) {
            m_instances[i] = m_instances.back();
            m_instances.pop_back();
            return;
        }
}

GlobalEntry& Interpreter::defineGlobal(const QString& name, GlobalEntry::Kind kind)
{
    QString key = foldCase(name);
    auto it = m_globals.find(key);
    GlobalEntry* e;
    if (it != m_globals.end())
        e = it.value();
    else {
        m_entries.emplace_back();
        e = &m_entries.back();
        m_globals.insert(key, e);
    }
    e->kind = kind;
    e->name = name;
    e->value = Variant();
    // a procedure redefined while it runs (ExecuteGlobal) must outlive its calls
    if (e->proc) m_retiredProcs.push_back(std::move(e->proc));
    e->proc.reset();
    e->cls.reset();
    e->builtin = nullptr;
    ++m_generation;
    return *e;
}

std::shared_ptr<Proc> Interpreter::globalProc(const QString& name)
{
    GlobalEntry* e = findGlobal(foldCase(name));
    return e && e->kind == GlobalEntry::Proc ? e->proc : nullptr;
}

GlobalEntry* Interpreter::findGlobal(const QString& key)
{
    auto it = m_globals.find(key);
    return it == m_globals.end() ? nullptr : it.value();
}

GlobalEntry* Interpreter::lookupGlobalSlow(const Expr& e)
{
    e.cacheEntry = findGlobal(e.key);
    e.cacheGen = m_generation;
    return e.cacheEntry;
}

Dispatch* Interpreter::hostMemberOwner(const QString& key)
{
    for (auto& [name, obj] : m_globalMembers)
        if (obj && obj->hasMember(key)) return obj.get();
    return nullptr;
}

void Interpreter::addObject(const QString& name, DispatchPtr object, bool membersGlobal)
{
    QString key = foldCase(name);
    GlobalEntry* existing = findGlobal(key);
    if (existing && existing->kind == GlobalEntry::HostObject) raise(kKeyAlreadyExists);
    GlobalEntry& e = defineGlobal(name, GlobalEntry::HostObject);
    e.value = Variant::object(object);
    if (membersGlobal) m_globalMembers.emplace_back(key, std::move(object));
}

DispatchPtr Interpreter::createObject(const QString& progId)
{
    // the engine's own classes first, then the host's
    const QString key = foldCase(progId.trimmed());
    if (key == u"scripting.dictionary") return std::make_shared<DictionaryObject>();
    if (key == u"vbscript.regexp") return newRegExp();
    if (m_factory) {
        if (DispatchPtr o = m_factory(progId)) return o;
    }
    raise(kCannotCreateObject);
}

// ============================================================================ running code

void Interpreter::declareProgram(Program& prog)
{
    for (auto& p : prog.procs) p->optionExplicit = prog.optionExplicit;
    for (auto& c : prog.classes)
        for (auto* h : {&c->methods, &c->getters, &c->letters, &c->setters})
            for (auto& p : *h) p->optionExplicit = prog.optionExplicit;
    for (auto& p : prog.procs) {
        GlobalEntry& e = defineGlobal(p->name, GlobalEntry::Proc);
        e.proc = p;
    }
    for (auto& c : prog.classes) {
        GlobalEntry& e = defineGlobal(c->name, GlobalEntry::Class);
        e.cls = c;
    }
    for (const QString& name : prog.globalNames) {
        GlobalEntry* g = findGlobal(foldCase(name));
        if (!g || g->kind == GlobalEntry::BuiltinFunc) defineGlobal(name, GlobalEntry::Var);
    }
}

void Interpreter::runProgram(Program& prog, Frame* frame)
{
    bool outer = m_depth == 0;
    char probe;
    if (outer) {
        m_stackBase = &probe;
        m_hasDeadline = timeoutMs >= 0;
        if (m_hasDeadline) m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        m_withStack.clear();
    }
    // Option Explicit holds for the code that declares it (and its procedures) only.
    struct Restore {
        Interpreter& i;
        bool e;
        ~Restore() { i.m_optionExplicit = e; }
    } restore{*this, m_optionExplicit};
    m_optionExplicit = prog.optionExplicit || (frame != &m_globalFrame && m_optionExplicit);
    ++m_depth;
    try {
        std::shared_ptr<const VmCode> vm;
        if (frame == &m_globalFrame && !frame->resumeNext) vm = compileBlock(prog.body, 0);
        if (vm)
            runCompiled(*vm, *frame);
        else
            execBlock(prog.body, *frame);
    } catch (...) {
        --m_depth;
        throw;
    }
    --m_depth;
}

void Interpreter::executeGlobal(const QString& code)
{
    if (m_depth == 0) m_globalFrame.resumeNext = false;
    auto prog = parseProgram(code, {});
    declareProgram(*prog);
    Frame* f = m_depth == 0 ? &m_globalFrame : &m_globalFrame;
    Frame saved = *f;
    if (m_depth > 0) f->resumeNext = false;
    try {
        runProgram(*prog, f);
    } catch (...) {
        if (m_depth > 0) f->resumeNext = saved.resumeNext;
        throw;
    }
    if (m_depth > 0) f->resumeNext = saved.resumeNext;
}

Variant Interpreter::evalGlobal(const QString& expression)
{
    ParseOptions o;
    o.expressionOnly = true;
    auto prog = parseProgram(expression, o);
    bool outer = m_depth == 0;
    char probe;
    if (outer) {
        m_stackBase = &probe;
        m_hasDeadline = timeoutMs >= 0;
        if (m_hasDeadline) m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    }
    ++m_depth;
    try {
        Variant v = eval(*prog->expression, m_globalFrame);
        --m_depth;
        return v;
    } catch (...) {
        --m_depth;
        throw;
    }
}

void Interpreter::executeLocal(const QString& code)
{
    Frame* f = m_current ? m_current : &m_globalFrame;
    if (f == &m_globalFrame) {
        executeGlobal(code);
        return;
    }
    ParseOptions o;
    o.context = f->proc;
    o.contextClass = f->me ? &f->me->classDef() : nullptr;
    auto prog = parseProgram(code, o);
    declareProgram(*prog);
    Frame inner = *f;
    inner.resumeNext = false;
    if (!inner.dynamics) {
        // implicit locals created by the code live in the calling frame
        f->dynamics = new QHash<QString, Variant>();
        inner.dynamics = f->dynamics;
    }
    Frame* saved = m_current;
    m_current = &inner;
    try {
        runProgram(*prog, &inner);
    } catch (...) {
        m_current = saved;
        throw;
    }
    m_current = saved;
}

Variant Interpreter::evalLocal(const QString& code)
{
    Frame* f = m_current ? m_current : &m_globalFrame;
    ParseOptions o;
    o.expressionOnly = true;
    if (f != &m_globalFrame) {
        o.context = f->proc;
        o.contextClass = f->me ? &f->me->classDef() : nullptr;
    }
    auto prog = parseProgram(code, o);
    return eval(*prog->expression, *f);
}

void Interpreter::tickSlow()
{
    if (cancelRequested.load(std::memory_order_relaxed)) {
        cancelRequested = false;
        raise(kErrorCancelled, QStringLiteral("The script was cancelled"));
    }
    if (yieldHook && (++m_yieldTicks & 1023) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= m_nextYield) {
            m_nextYield = now + std::chrono::milliseconds(50);
            yieldHook();
        }
    }
    if (m_hasDeadline && (++m_ticks & 255) == 0 && std::chrono::steady_clock::now() > m_deadline)
        raise(kErrorCancelled, QStringLiteral("The script exceeded its time limit"));
}

// ============================================================================ statements

Flow Interpreter::execBlock(const Block& b, Frame& f)
{
    for (const StmtPtr& sp : b) {
        const Stmt& s = *sp;
        m_line = s.line;
        Flow fl;
        if (!f.resumeNext)
            fl = exec(s, f);
        else {
            try {
                fl = exec(s, f);
            } catch (const orra::Error& e) {
                if (isFatal(e) || !f.resumeNext) throw;
                m_err->setFrom(e);
                continue;
            }
        }
        if (fl != Flow::Normal) return fl;
    }
    return Flow::Normal;
}

bool Interpreter::evalConditionSlow(const Expr& e, Frame& f)
{
    Variant tmp;
    const Variant& v = evalRef(e, f, tmp);
    if (v.type() == VarType::Boolean) return v.rawInt() != 0;
    if (v.isNull()) return false;
    return v.toBool();
}

Flow Interpreter::exec(const Stmt& s, Frame& f)
{
    switch (s.kind) {
    case StmtKind::Assign:
        if (s.target->kind == ExprKind::Ident && s.target->bind == Bind::Local)
            execAssignLocal(s, f);
        else
            execAssign(s, f, false);
        return Flow::Normal;
    case StmtKind::SetAssign:
        execAssign(s, f, true);
        return Flow::Normal;
    case StmtKind::AppendAssign:
        execAppend(s, f);
        return Flow::Normal;
    case StmtKind::CallStmt:
        execCall(s, f);
        return Flow::Normal;
    case StmtKind::If:
        return execIf(s, f);
    case StmtKind::For:
        return execFor(s, f);
    case StmtKind::ForEach:
        return execForEach(s, f);
    case StmtKind::Do:
        return execDo(s, f);
    case StmtKind::While:
        for (;;) {
            tick();
            if (!evalCondition(*s.value, f)) return Flow::Normal;
            Flow fl = execBlock(s.blocks[0], f);
            if (fl != Flow::Normal) return fl;
        }
    case StmtKind::Select:
        return execSelect(s, f);
    case StmtKind::Exit:
        switch (s.exitKind) {
        case ExitKind::Do:
            return Flow::ExitDo;
        case ExitKind::For:
            return Flow::ExitFor;
        default:
            return Flow::ExitProc;
        }
    case StmtKind::With:
        return execWith(s, f);
    case StmtKind::OnError:
        f.resumeNext = s.resumeNext;
        m_err->clear();
        return Flow::Normal;
    case StmtKind::Dim:
        execDim(s, f);
        return Flow::Normal;
    case StmtKind::ReDim:
        execReDim(s, f);
        return Flow::Normal;
    case StmtKind::Erase:
        execErase(s, f);
        return Flow::Normal;
    case StmtKind::Const:
        execConst(s, f);
        return Flow::Normal;
    case StmtKind::OptionExplicit:
    case StmtKind::Nop:
        return Flow::Normal;
    }
    return Flow::Normal;
}

Flow Interpreter::execIf(const Stmt& s, Frame& f)
{
    size_t n = s.conds.size();
    for (size_t i = 0; i < n; ++i) {
        bool c;
        if (f.resumeNext) {
            // With Resume Next a failing condition enters the branch, as VBScript does.
            try {
                c = evalCondition(*s.conds[i], f);
            } catch (const orra::Error& e) {
                if (isFatal(e)) throw;
                m_err->setFrom(e);
                c = true;
            }
        } else
            c = evalCondition(*s.conds[i], f);
        if (c) return execBlock(s.blocks[i], f);
    }
    if (s.hasElse) return execBlock(s.blocks[n], f);
    return Flow::Normal;
}

Flow Interpreter::execWith(const Stmt& s, Frame& f)
{
    Variant o = eval(*s.target, f);
    if (!o.isObject()) raise(kObjectRequired);
    // With Nothing is only an error once a member is used
    WithScope w(m_withStack, o.rawObject());
    return execBlock(s.blocks[0], f);
}

// A local variable (or the function's result): no lookup to make.
void Interpreter::execAssignLocal(const Stmt& s, Frame& f)
{
    Variant v = eval(*s.value, f);
    if (v.isObject()) v = v.dereferenced();
    Variant* st = f.slotPtrs[s.target->slot];
    if (st->isFixedArray()) raise(kArrayFixedOrLocked);
    *st = std::move(v);
}

void Interpreter::execAssign(const Stmt& s, Frame& f, bool isSet)
{
    Variant v = eval(*s.value, f);
    if (isSet) {
        if (!v.isObject()) raise(kObjectRequired);
    } else if (v.isObject()) {
        v = v.dereferenced();
    }
    assignTo(*s.target, f, std::move(v), isSet);
}

void Interpreter::execAppend(const Stmt& s, Frame& f)
{
    Variant tmp;
    appendValue(s, f, evalRef(*s.value->b, f, tmp));
}

void Interpreter::appendValue(const Stmt& s, Frame& f, const Variant& r)
{
    Variant* st = identStorage(*s.target, f, false);
    if (st && st->isString() && !r.isNull() && !r.isObject() && !r.isArray()) {
        if (r.isString()) {
            appendText(st->rawStringRef(), r.rawString());
        } else {
            QString piece = r.toString();
            st = identStorage(*s.target, f, false);
            appendText(st->rawStringRef(), piece);
        }
        return;
    }
    Variant left = eval(*s.value->a, f);
    Variant v = ops::concat(left.isObject() ? left.dereferenced() : left, r.isObject() ? r.dereferenced() : r);
    assignTo(*s.target, f, std::move(v), false);
}

void Interpreter::assignTo(const Expr& t, Frame& f, Variant value, bool isSet)
{
    switch (t.kind) {
    case ExprKind::Ident: {
        if (t.bind == Bind::Unresolved && !f.dynamics) {
            GlobalEntry* g = lookupGlobal(t);
            if (g && g->kind == GlobalEntry::Var && !(g->value.isFixedArray() && !isSet)) {
                g->value = std::move(value);
                return;
            }
        }
        if (t.bind == Bind::ClassMember) {
            Arguments none;
            f.me->letMember(t.key, none, value, isSet, true);
            return;
        }
        if (t.bind == Bind::Unresolved) {
            GlobalEntry* g = (f.dynamics && f.dynamics->contains(t.key)) ? nullptr : lookupGlobal(t);
            if (g && g->kind != GlobalEntry::Var) {
                if (g->kind == GlobalEntry::Proc && f.proc && f.proc->key == t.key && f.proc->resultSlot >= 0) {
                    *f.slotPtrs[f.proc->resultSlot] = std::move(value);
                    return;
                }
                raise(kIllegalAssignment);
            }
            if (!g && !(f.dynamics && f.dynamics->contains(t.key))) {
                if (Dispatch* owner = hostMemberOwner(t.key)) {
                    Arguments none;
                    if (isSet)
                        owner->setProperty(t.name, none, value);
                    else
                        owner->putProperty(t.name, none, value);
                    return;
                }
            }
        }
        Variant* st = identStorage(t, f, true);
        if (!st) raise(kIllegalAssignment);
        if (st->isFixedArray() && !isSet) raise(kArrayFixedOrLocked);
        *st = std::move(value);
        return;
    }
    case ExprKind::Member: {
        Variant o = t.a ? eval(*t.a, f) : Variant::object(withObject(f));
        if (!o.isObject() || !o.rawObject()) objectRequired(t.a.get());
        Arguments none;
        if (isSet)
            o.rawObject()->setProperty(t.name, none, value);
        else
            o.rawObject()->putProperty(t.name, none, value);
        return;
    }
    case ExprKind::Call: {
        const Expr& callee = *t.a;
        Arguments args;
        evalArgs(t.args, f, args);
        if (callee.kind == ExprKind::Member) {
            Variant o = callee.a ? eval(*callee.a, f) : Variant::object(withObject(f));
            if (!o.isObject() || !o.rawObject()) objectRequired(callee.a.get());
            if (isSet)
                o.rawObject()->setProperty(callee.name, args, value);
            else
                o.rawObject()->putProperty(callee.name, args, value);
            return;
        }
        if (callee.kind == ExprKind::Ident && callee.bind == Bind::ClassMember) {
            f.me->letMember(callee.key, args, value, isSet, true);
            return;
        }
        Variant* st = nullptr;
        LockHold hold;
        if (callee.kind == ExprKind::Ident) {
            st = identStorage(callee, f, false);
            if (!st && callee.bind == Bind::Unresolved) {
                GlobalEntry* g = lookupGlobal(callee);
                if (g && g->kind == GlobalEntry::HostObject)
                    st = &g->value;
                else if (!g) {
                    if (Dispatch* owner = hostMemberOwner(callee.key)) {
                        if (isSet)
                            owner->setProperty(callee.name, args, value);
                        else
                            owner->putProperty(callee.name, args, value);
                        return;
                    }
                }
            }
        } else if (callee.kind == ExprKind::Call) {
            st = refStorage(callee, f, nullptr);
        }
        if (!st) {
            if (callee.kind == ExprKind::Ident && callee.bind == Bind::Unresolved && !lookupGlobal(callee)
                && m_optionExplicit)
                undefinedName(callee);
            raise(callee.kind == ExprKind::Ident ? kTypeMismatch : kIllegalAssignment);
        }
        if (st->isArray()) {
            VariantArray* arr = st->mutableArray();
            long idx = arr->flatIndex(args.data(), args.size());
            if (idx < 0) raise(kSubscriptOutOfRange);
            arr->data[size_t(idx)] = std::move(value);
            return;
        }
        if (st->isObject()) {
            if (!st->rawObject()) raise(kObjectNotSet);
            DispatchPtr o = st->rawObject();
            if (isSet)
                o->setProperty(QString(), args, value);
            else
                o->putProperty(QString(), args, value);
            return;
        }
        raise(kTypeMismatch);
    }
    default:
        raise(kIllegalAssignment);
    }
}

void Interpreter::undefinedName(const Expr& e) { raiseNamed(kVariableUndefined, e.name); }

Variant* Interpreter::identStorage(const Expr& e, Frame& f, bool create)
{
    switch (e.bind) {
    case Bind::Local:
        return f.slotPtrs[e.slot];
    case Bind::ClassField:
        return &f.me->fields[size_t(e.slot)];
    case Bind::ClassMember:
        return nullptr;
    case Bind::Unresolved:
        break;
    }
    if (f.dynamics) {
        auto it = f.dynamics->find(e.key);
        if (it != f.dynamics->end()) return &it.value();
    }
    GlobalEntry* g = lookupGlobal(e);
    if (g) return g->kind == GlobalEntry::Var ? &g->value : nullptr;
    if (!create) return nullptr;
    if (m_optionExplicit) undefinedName(e);
    if (hostMemberOwner(e.key)) return nullptr;
    if (f.proc && &f != &m_globalFrame) {
        if (!f.dynamics) f.dynamics = new QHash<QString, Variant>();
        return &(*f.dynamics)[e.key];
    }
    GlobalEntry& ng = defineGlobal(e.name, GlobalEntry::Var);
    return &ng.value;
}

Variant* Interpreter::refStorage(const Expr& e, Frame& f, ArrayPtr* lockHold)
{
    if (e.kind == ExprKind::Ident) {
        if (e.bind == Bind::ClassMember) return nullptr;
        if (e.bind == Bind::Unresolved && m_optionExplicit) {
            // reading an undefined name under Option Explicit fails later, in eval
            if (!(f.dynamics && f.dynamics->contains(e.key)) && !lookupGlobal(e)) return nullptr;
        }
        return identStorage(e, f, !m_optionExplicit && !hostMemberOwner(e.key) && !lookupGlobal(e));
    }
    if (e.kind == ExprKind::Call && e.a->kind == ExprKind::Ident && e.a->bind != Bind::ClassMember) {
        Variant* base = identStorage(*e.a, f, false);
        if (!base || !base->isArray()) return nullptr;
        Arguments subs;
        evalArgs(e.args, f, subs);
        base = identStorage(*e.a, f, false);
        if (!base || !base->isArray()) return nullptr;
        VariantArray* arr = base->mutableArray();
        long idx = arr->flatIndex(subs.data(), subs.size());
        if (idx < 0) raise(kSubscriptOutOfRange);
        if (lockHold) *lockHold = base->rawArray();
        return &arr->data[size_t(idx)];
    }
    return nullptr;
}

void Interpreter::execCall(const Stmt& s, Frame& f)
{
    const Expr& t = *s.target;
    if (t.kind == ExprKind::Call) {
        // a(1) b / o.m(1).n x: evaluate the callee then call its default member
        Variant base = eval(t, f);
        if (!base.isObject() || !base.rawObject()) raise(base.isObject() ? kObjectNotSet : kTypeMismatch);
        Arguments args;
        evalArgs(s.args, f, args);
        base.rawObject()->call(QString(), args);
        return;
    }
    callNamed(t, f, s.args, true, s.hasArgs);
}

void Interpreter::execDim(const Stmt& s, Frame& f)
{
    for (const DimItem& d : s.dims) {
        std::vector<long> upper;
        for (auto& e : d.dims) upper.push_back(eval(*e, f).toLong());
        if (f.proc && &f != &m_globalFrame) {
            auto it = f.proc->locals.find(d.key);
            if (it != f.proc->locals.end()) continue;   // created on entry
            if (!f.dynamics) f.dynamics = new QHash<QString, Variant>();
            Variant& v = (*f.dynamics)[d.key];
            if (d.isArray) v = Variant::array(makeArray(upper), !upper.empty());
            continue;
        }
        GlobalEntry* g = findGlobal(d.key);
        if (g && g->kind != GlobalEntry::Var && g->kind != GlobalEntry::BuiltinFunc) continue;
        if (!g || g->kind == GlobalEntry::BuiltinFunc) g = &defineGlobal(d.name, GlobalEntry::Var);
        if (d.isArray && !g->value.isArray())
            g->value = Variant::array(makeArray(upper), !upper.empty());
        else if (d.isArray && !upper.empty())
            g->value = Variant::array(makeArray(upper), true);
    }
}

void Interpreter::execReDim(const Stmt& s, Frame& f)
{
    for (const DimItem& d : s.dims) {
        std::vector<long> upper;
        for (auto& e : d.dims) upper.push_back(eval(*e, f).toLong());
        Variant* st = identStorage(*d.target, f, true);
        if (!st) raise(kIllegalAssignment);
        if (st->isArray() && st->rawArray()) {
            if (st->isFixedArray() || st->rawArray()->locks > 0) raise(kArrayFixedOrLocked);
        }
        ArrayPtr fresh = makeArray(upper);
        if (s.preserve && st->isArray() && st->rawArray() && !st->rawArray()->bounds.empty()) {
            const VariantArray& old = *st->rawArray();
            if (old.bounds.size() != upper.size()) raise(kSubscriptOutOfRange);
            for (size_t k = 0; k + 1 < upper.size(); ++k)
                if (old.bounds[k].count != fresh->bounds[k].count) raise(kSubscriptOutOfRange);
            // copy element by element over the common part
            long lastOld = old.bounds.back().count, lastNew = fresh->bounds.back().count;
            long rows = lastOld ? long(old.data.size()) / lastOld : 0;
            long common = std::min(lastOld, lastNew);
            for (long r = 0; r < rows; ++r)
                for (long c = 0; c < common; ++c)
                    fresh->data[size_t(r * lastNew + c)] = old.data[size_t(r * lastOld + c)];
        }
        *st = Variant::array(std::move(fresh));
    }
}

void Interpreter::execErase(const Stmt& s, Frame& f)
{
    for (const DimItem& d : s.dims) {
        Variant* st = identStorage(*d.target, f, false);
        if (!st) {
            if (m_optionExplicit) undefinedName(*d.target);
            raise(kTypeMismatch);
        }
        if (!st->isArray()) raise(kTypeMismatch);
        if (st->rawArray()->locks > 0) raise(kArrayFixedOrLocked);
        if (st->isFixedArray()) {
            VariantArray* a = st->mutableArray();
            for (auto& v : a->data) v = Variant();
        } else {
            *st = Variant::array(std::make_shared<VariantArray>());
        }
    }
}

void Interpreter::execConst(const Stmt& s, Frame& f)
{
    for (const DimItem& d : s.dims) {
        Variant v = eval(*d.target, f);
        if (!d.dims.empty()) {
            *identStorage(*d.dims[0], f, false) = std::move(v);
            continue;
        }
        if (f.proc && &f != &m_globalFrame) {
            if (!f.dynamics) f.dynamics = new QHash<QString, Variant>();
            (*f.dynamics)[d.key] = std::move(v);
            continue;
        }
        GlobalEntry& g = defineGlobal(d.name, GlobalEntry::Const);
        g.value = std::move(v);
    }
}

Flow Interpreter::execFor(const Stmt& s, Frame& f)
{
    Variant start = letValue(eval(*s.value, f));
    Variant end = letValue(eval(*s.end, f));
    Variant step = s.step ? letValue(eval(*s.step, f)) : Variant::integer(1);
    if (start.isNull() || end.isNull() || step.isNull()) raise(kInvalidUseOfNull);
    auto isInt = [](const Variant& v) {
        return v.type() == VarType::Integer || v.type() == VarType::Long || v.type() == VarType::Byte
            || v.type() == VarType::Empty || v.type() == VarType::Boolean;
    };
    const Expr& ctrExpr = *s.target;
    bool stable = ctrExpr.bind == Bind::Local || ctrExpr.bind == Bind::ClassField;
    if (isInt(start) && isInt(end) && isInt(step)) {
        bool wantLong = start.type() == VarType::Long || end.type() == VarType::Long || step.type() == VarType::Long;
        int64_t cur = start.rawInt(), last = end.rawInt(), st = step.rawInt();
        if (start.isEmpty()) cur = 0;
        if (end.isEmpty()) last = 0;
        if (step.isEmpty()) st = 0;
        Variant* ctr = identStorage(ctrExpr, f, true);
        if (!ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
        uint64_t gen = m_generation;
        for (;;) {
            if (!stable && (gen != m_generation || f.dynamics)) {
                ctr = identStorage(ctrExpr, f, true);
                gen = m_generation;
            }
            if (wantLong || cur < -32768 || cur > 32767) {
                if (cur >= INT32_MIN && cur <= INT32_MAX)
                    *ctr = Variant::longValue(int32_t(cur));
                else
                    *ctr = Variant::dbl(double(cur));
            } else
                *ctr = Variant::integer(int16_t(cur));
            if (st >= 0 ? cur > last : cur < last) return Flow::Normal;
            Flow fl = execBlock(s.blocks[0], f);
            if (fl == Flow::ExitFor) return Flow::Normal;
            if (fl != Flow::Normal) return fl;
            tick();
            if (!stable && (gen != m_generation || f.dynamics)) {
                ctr = identStorage(ctrExpr, f, true);
                gen = m_generation;
            }
            if (!ctr) return Flow::Normal;
            const Variant& c = *ctr;
            if (c.type() == VarType::Integer || c.type() == VarType::Long)
                cur = c.rawInt() + st;
            else
                cur = int64_t(c.toDouble()) + st;
            if (cur > INT32_MAX || cur < INT32_MIN) raise(kOverflow);
        }
    }
    double last = end.toDouble(), st = step.toDouble();
    Variant curV = start;
    if (start.isString()) curV = Variant::dbl(start.toDouble());
    for (;;) {
        Variant* ctr = identStorage(ctrExpr, f, true);
        if (!ctr) raise(kInvalidForControl, errorMessage(kInvalidForControl));
        *ctr = curV;
        double cur = curV.toDouble();
        if (st >= 0 ? cur > last : cur < last) return Flow::Normal;
        Flow fl = execBlock(s.blocks[0], f);
        if (fl == Flow::ExitFor) return Flow::Normal;
        if (fl != Flow::Normal) return fl;
        tick();
        ctr = identStorage(ctrExpr, f, true);
        curV = ops::add(*ctr, step);
    }
}

Flow Interpreter::execForEach(const Stmt& s, Frame& f)
{
    Variant coll = eval(*s.value, f);
    std::vector<Variant> items;
    if (coll.isArray()) {
        const VariantArray& a = *coll.rawArray();
        if (a.bounds.size() <= 1)
            items = a.data;
        else {
            // Storage keeps the last subscript fastest; For Each walks the first fastest.
            const size_t n = a.bounds.size();
            std::vector<size_t> stride(n, 1);
            for (size_t k = n - 1; k > 0; --k) stride[k - 1] = stride[k] * size_t(a.bounds[k].count);
            std::vector<long> sub(n, 0);
            items.reserve(a.data.size());
            for (size_t done = 0; done < a.data.size(); ++done) {
                size_t flat = 0;
                for (size_t k = 0; k < n; ++k) flat += size_t(sub[k]) * stride[k];
                items.push_back(a.data[flat]);
                for (size_t k = 0; k < n && ++sub[k] == a.bounds[k].count; ++k) sub[k] = 0;
            }
        }
    } else if (coll.isObject()) {
        if (!coll.rawObject()) raise(kObjectNotSet);
        items = coll.rawObject()->enumerate();
    } else
        raise(kNotACollection);
    for (Variant& item : items) {
        assignTo(*s.target, f, std::move(item), false);
        Flow fl = execBlock(s.blocks[0], f);
        if (fl == Flow::ExitFor) return Flow::Normal;
        if (fl != Flow::Normal) return fl;
        tick();
    }
    return Flow::Normal;
}

Flow Interpreter::execDo(const Stmt& s, Frame& f)
{
    for (;;) {
        tick();
        if (s.value && !s.condAtEnd) {
            bool c = evalCondition(*s.value, f);
            if (c == s.until) return Flow::Normal;
        }
        Flow fl = execBlock(s.blocks[0], f);
        if (fl == Flow::ExitDo) return Flow::Normal;
        if (fl != Flow::Normal) return fl;
        if (s.value && s.condAtEnd) {
            bool c = evalCondition(*s.value, f);
            if (c == s.until) return Flow::Normal;
        }
    }
}

Flow Interpreter::execSelect(const Stmt& s, Frame& f)
{
    Variant subject = eval(*s.value, f);
    if (subject.isObject()) subject = subject.dereferenced();
    for (size_t i = 0; i < s.cases.size(); ++i) {
        for (const CaseItem& it : s.cases[i]) {
            Variant a = eval(*it.a, f);
            bool hit = false;
            switch (it.kind) {
            case CaseItem::Value: {
                Variant r = ops::compare(Op::Eq, subject, a, false, it.a->hardLiteral);
                hit = r.type() == VarType::Boolean && r.rawInt();
                break;
            }
            case CaseItem::Range: {
                Variant b = eval(*it.b, f);
                Variant r1 = ops::compare(Op::Ge, subject, a, false, it.a->hardLiteral);
                Variant r2 = ops::compare(Op::Le, subject, b, false, it.b->hardLiteral);
                hit = r1.type() == VarType::Boolean && r1.rawInt() && r2.type() == VarType::Boolean && r2.rawInt();
                break;
            }
            case CaseItem::Is: {
                Variant r = ops::compare(it.op, subject, a, false, it.a->hardLiteral);
                hit = r.type() == VarType::Boolean && r.rawInt();
                break;
            }
            }
            if (hit) return execBlock(s.blocks[i], f);
        }
    }
    if (s.hasElse) return execBlock(s.blocks.back(), f);
    return Flow::Normal;
}

Variant arrayElement(const Variant& array, const Arguments& subs)
{
    if (!array.isArray()) raise(kTypeMismatch);
    const VariantArray& a = *array.rawArray();
    long idx = a.flatIndex(subs.data(), subs.size());
    if (idx < 0) raise(kSubscriptOutOfRange);
    return a.data[size_t(idx)];
}

// Calls what a name means: procedure, built-in, array element, default member, host member.
Variant Interpreter::callNamed(
    const Expr& callee, Frame& f, const std::vector<ExprPtr>& args, bool statement, bool hasArgs)
{
    if (callee.kind == ExprKind::Member) {
        Variant o = callee.a ? eval(*callee.a, f) : Variant::object(withObject(f));
        if (!o.isObject() || !o.rawObject()) objectRequired(callee.a.get());
        return invokeObject(o, callee.name, args, f, statement);
    }
    // an identifier
    switch (callee.bind) {
    case Bind::Local:
    case Bind::ClassField: {
        Variant v = callee.bind == Bind::Local ? *f.slotPtrs[callee.slot] : f.me->fields[size_t(callee.slot)];
        if (!hasArgs && statement) {
            if (v.isObject() && v.rawObject()) {
                Arguments none;
                return v.rawObject()->call(QString(), none);
            }
            raiseNamed(kTypeMismatch, callee.name);
        }
        if (v.isObject()) return invokeObject(v, QString(), args, f, statement);
        return indexValue(v, args, f);
    }
    case Bind::ClassMember: {
        const ClassDef& cls = f.me->classDef();
        std::shared_ptr<Proc> p = cls.methods.value(callee.key);
        if (!p) p = cls.getters.value(callee.key);
        if (!p) raise(kMemberNotSupported);
        return callUser(*p, f.me, args, f);
    }
    case Bind::Unresolved:
        break;
    }
    if (f.dynamics) {
        auto it = f.dynamics->find(callee.key);
        if (it != f.dynamics->end()) {
            Variant v = it.value();
            if (v.isObject()) return invokeObject(v, QString(), args, f, statement);
            return indexValue(v, args, f);
        }
    }
    GlobalEntry* g = lookupGlobal(callee);
    if (g) {
        switch (g->kind) {
        case GlobalEntry::Proc:
            return callUser(*g->proc, nullptr, args, f);
        case GlobalEntry::BuiltinFunc: {
            if (!statement && g->builtin->statementOnly) raiseNamed(kTypeMismatch, callee.name);
            Variant r = callBuiltin(*g->builtin, args, f, callee);
            if (statement && g->builtin->valueOnly) raise(kUnsupportedAutomationType);
            return r;
        }
        case GlobalEntry::Var:
        case GlobalEntry::Const:
        case GlobalEntry::HostObject: {
            Variant v = g->value;
            if (v.isObject()) return invokeObject(v, QString(), args, f, statement);
            if (statement && !hasArgs) raiseNamed(kTypeMismatch, callee.name);
            return indexValue(v, args, f);
        }
        case GlobalEntry::Class:
            raiseNamed(kTypeMismatch, callee.name);
        }
    }
    for (auto& [name, obj] : m_globalMembers) {
        if (obj && obj->hasMember(callee.key)) {
            DispatchPtr hold = obj;
            return invokeObject(Variant::object(hold), callee.name, args, f, statement);
        }
    }
    if (m_optionExplicit && !hasArgs) undefinedName(callee);
    raiseNamed(kTypeMismatch, callee.name);
}

Variant Interpreter::invokeObject(
    const Variant& obj, const QString& member, const std::vector<ExprPtr>& args, Frame& f, bool statement)
{
    if (!obj.isObject()) raise(kObjectRequired);
    if (!obj.rawObject()) raise(kObjectNotSet);
    DispatchPtr o = obj.rawObject();
    Arguments a;
    a.reserve(args.size());
    // Arguments that name variables are written back after the call (by reference).
    struct Ref {
        size_t index;
        Variant* target;
    };
    std::vector<Ref> refs;
    LockHold hold;
    for (size_t i = 0; i < args.size(); ++i) {
        const Expr& ae = *args[i];
        if (ae.kind == ExprKind::Missing) {
            a.push_back(Variant::error(kParamNotFound));
            continue;
        }
        ArrayPtr locked;
        Variant* st = (ae.kind == ExprKind::Ident || ae.kind == ExprKind::Call) ? refStorage(ae, f, &locked) : nullptr;
        if (st) {
            if (locked) hold.add(locked);
            a.push_back(*st);
            refs.push_back({i, st});
        } else
            a.push_back(eval(ae, f));
    }
    Variant r = statement ? o->call(member, a) : o->getProperty(member, a);
    for (const Ref& ref : refs) {
        // only what the member changed goes back (a shared array stays shared)
        const Variant& nv = a[ref.index];
        if (nv.type() != ref.target->type() || nv.type() >= VarType::String || nv.rawInt() != ref.target->rawInt())
            *ref.target = nv;
    }
    return r;
}

Variant Interpreter::callBuiltin(const Builtin& b, const std::vector<ExprPtr>& args, Frame& f, const Expr& at)
{
    if (int(args.size()) < b.minArgs || int(args.size()) > b.maxArgs) raiseNamed(kWrongArgumentCount, at.name);
    Arguments a;
    evalArgs(args, f, a);
    Frame* saved = m_current;
    m_current = &f;
    struct Restore {
        Interpreter& i;
        Frame* s;
        ~Restore() { i.m_current = s; }
    } restore{*this, saved};
    return b.fn(*this, a);
}

// Runs a script procedure: binds parameters to the caller's variables (ByRef) or to copies.
Variant Interpreter::callUser(const Proc& p, ClassInstance* me, const std::vector<ExprPtr>& args, Frame& caller)
{
    if (args.size() != p.params.size()) raiseNamed(kWrongArgumentCount, p.name);
    FrameStorage st(p.slotCount);
    LockHold hold;
    for (size_t i = 0; i < args.size(); ++i) {
        const Expr& ae = *args[i];
        if (ae.kind == ExprKind::Missing) raise(kWrongArgumentCount);
        if (p.params[i].byRef && (ae.kind == ExprKind::Ident || ae.kind == ExprKind::Call)) {
            ArrayPtr locked;
            Variant* ref = refStorage(ae, caller, &locked);
            if (ref) {
                if (locked) hold.add(locked);
                st.slotPtrs[i] = ref;
                continue;
            }
        }
        int64_t r;
        bool isLong = false;
        if (ae.kind == ExprKind::Binary && isIntArith(ae) && ae.op >= Op::Concat && tryInt(ae, caller, r, isLong))
            st.vals[i] = intFast(r, isLong);
        else
            st.vals[i] = eval(ae, caller);
    }
    return runFrame(p, me, st.slotPtrs);
}

Variant Interpreter::callProc(const Proc& p, ClassInstance* me, Arguments& args, const Variant* assigned)
{
    size_t given = args.size() + (assigned ? 1 : 0);
    if (given != p.params.size()) raiseNamed(kWrongArgumentCount, p.name);
    char probe;
    if (m_depth == 0) m_stackBase = &probe;
    FrameStorage st(p.slotCount);
    for (size_t i = 0; i < args.size(); ++i) {
        if (isMissing(args, i)) raise(kWrongArgumentCount);
        if (p.params[i].byRef)
            st.slotPtrs[i] = &args[i];
        else
            st.vals[i] = args[i];
    }
    if (assigned) st.vals[args.size()] = *assigned;
    return runFrame(p, me, st.slotPtrs);
}

void Interpreter::runBody(const Proc& p, Frame& f)
{
    if (!p.vmTried) {
        p.vmTried = true;
        p.vm = compileProc(p);
    }
    if (p.vm)
        runCompiled(*p.vm, f);
    else
        execBlock(p.body, f);
}

Variant Interpreter::runFrame(const Proc& p, ClassInstance* me, Variant** slotPtrs)
{
    char probe;
    if (m_depth + 1 > kMaxCallDepth || (m_stackBase && m_stackBase - &probe > kStackBudget)) raise(kOutOfStackSpace);
    struct Depth {
        int& d;
        explicit Depth(int& d) : d(d) { ++d; }
        ~Depth() { --d; }
    } depth(m_depth);
    tick();
    Frame f;
    f.proc = &p;
    f.slotPtrs = slotPtrs;
    f.me = me;
    struct Explicit {
        bool& flag;
        bool saved;
        ~Explicit() { flag = saved; }
    } explicitScope{m_optionExplicit, m_optionExplicit};
    m_optionExplicit = p.optionExplicit;
    struct Dyn {
        Frame& f;
        ~Dyn() { delete f.dynamics; }
    } dyn{f};
    for (DimItem* d : p.arrayLocals) {
        std::vector<long> upper;
        for (auto& e : d->dims) upper.push_back(e->value.toLong());
        *slotPtrs[p.locals.value(d->key)] = Variant::array(makeArray(upper), !upper.empty());
    }
    if (m_withStack.empty()) {
        // nothing to hide from the callee (its own With blocks leave the stack as they found it)
        runBody(p, f);
        if (p.resultSlot >= 0) return std::move(*slotPtrs[p.resultSlot]);
        return Variant();
    }
    std::vector<DispatchPtr> savedWith;
    savedWith.swap(m_withStack);
    struct WithRestore {
        std::vector<DispatchPtr>& s;
        std::vector<DispatchPtr>& saved;
        ~WithRestore() { s.swap(saved); }
    } wr{m_withStack, savedWith};
    runBody(p, f);
    if (p.resultSlot >= 0) return std::move(*slotPtrs[p.resultSlot]);
    return Variant();
}

Variant Interpreter::newInstance(const Expr& e)
{
    // The built-in class wins: a script's own class RegExp may be declared but never made.
    if (e.key == u"regexp") return Variant::object(newRegExp());
    GlobalEntry* g = lookupGlobal(e);
    if (g && g->kind == GlobalEntry::Class) {
        auto cls = g->cls;
        auto inst = std::make_shared<ClassInstance>(cls, this);
        for (size_t i = 0; i < cls->fields.size(); ++i) {
            const ClassField& fd = cls->fields[i];
            if (fd.isArray) {
                std::vector<long> upper;
                for (auto& d : fd.dims) upper.push_back(d->value.toLong());
                inst->fields[i] = Variant::array(makeArray(upper), !upper.empty());
            }
        }
        if (cls->initialize) {
            Arguments none;
            callProc(*cls->initialize, inst.get(), none, nullptr);
        }
        return Variant::object(inst);
    }
    raiseNamed(kClassNotDefined, e.name);
}

}   // namespace orra::vbs
