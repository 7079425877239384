#include "platform/vbscript/Interpreter.h"

#include "platform/vbscript/InterpreterInternal.h"
#include "platform/vbscript/Objects.h"
#include "platform/vbscript/Runtime.h"

#include <cmath>

namespace orra::vbs {

// ============================================================================ expressions

DispatchPtr Interpreter::withObject(Frame&)
{
    if (m_withStack.empty()) raise(kObjectRequired);
    if (!m_withStack.back()) raise(kObjectNotSet);
    return m_withStack.back();
}

const Variant& Interpreter::evalRef(const Expr& e, Frame& f, Variant& tmp)
{
    if (e.kind == ExprKind::Ident) {
        switch (e.bind) {
        case Bind::Local:
            return *f.slotPtrs[e.slot];
        case Bind::ClassField:
            return f.me->fields[size_t(e.slot)];
        case Bind::Unresolved:
            if (!f.dynamics) {
                GlobalEntry* g = lookupGlobal(e);
                if (g && (g->kind == GlobalEntry::Var || g->kind == GlobalEntry::Const)) return g->value;
            }
            break;
        default:
            break;
        }
    } else if (e.kind == ExprKind::Literal) {
        return e.value;
    } else if (e.kind == ExprKind::Paren) {
        return evalRef(*e.a, f, tmp);
    }
    tmp = eval(e, f);
    return tmp;
}

void Interpreter::evalArgs(const std::vector<ExprPtr>& args, Frame& f, Arguments& out)
{
    out.reserve(args.size());
    for (auto& a : args) {
        if (a->kind == ExprKind::Missing)
            out.push_back(Variant::error(kParamNotFound));
        else
            out.push_back(eval(*a, f));
    }
}

Variant Interpreter::evalUnary(const Expr& e, Frame& f)
{
    Variant t;
    const Variant& a = evalRef(*e.a, f, t);
    switch (e.op) {
    case Op::Neg:
        return ops::neg(a);
    case Op::Not:
        return ops::notOp(a);
    default:   // unary +: the value itself, an object too
        return a;
    }
}

Variant Interpreter::evalBinary(const Expr& e, Frame& f)
{
    char probe;
    if (m_stackBase && m_stackBase - &probe > kStackBudget) raise(kOutOfStackSpace);
    if (isIntArith(e)) {
        int64_t r;
        bool isLong = false;
        if (e.op >= Op::Concat && tryInt(e, f, r, isLong)) return intFast(r, isLong);
        bool c;
        if (e.op >= Op::Eq && e.op <= Op::Ge && tryIntCondition(e, f, c)) return Variant::boolean(c);
    }
    Variant ta, tb;
    if (e.op == Op::Is) {
        Variant a = eval(*e.a, f), b = eval(*e.b, f);
        return Variant::boolean(ops::identical(a, b));
    }
    const Variant& a = evalRef(*e.a, f, ta);
    const Variant& b = evalRef(*e.b, f, tb);
    return binaryValues(e, a, b);
}

Variant Interpreter::binaryValues(const Expr& e, const Variant& a, const Variant& b)
{
    if (e.op == Op::Is) return Variant::boolean(ops::identical(a, b));
    // Integer and Long operands take the short way; everything else goes through ops.
    const bool ints = (a.type() == VarType::Integer || a.type() == VarType::Long)
        && (b.type() == VarType::Integer || b.type() == VarType::Long);
    const bool isLong = a.type() == VarType::Long || b.type() == VarType::Long;
    switch (e.op) {
    case Op::Add:
        if (ints) return intFast(a.rawInt() + b.rawInt(), isLong);
        if (a.type() == VarType::Double && b.type() == VarType::Double)
            return Variant::dbl(a.rawDouble() + b.rawDouble());
        return ops::add(a, b);
    case Op::Sub:
        if (ints) return intFast(a.rawInt() - b.rawInt(), isLong);
        return ops::sub(a, b);
    case Op::Mul:
        if (ints) return intFast(a.rawInt() * b.rawInt(), isLong);
        return ops::mul(a, b);
    case Op::Mod:
        if (ints && b.rawInt() != 0) return intFast(a.rawInt() % b.rawInt(), isLong);
        return ops::mod(a, b);
    case Op::IntDiv:
        if (ints && b.rawInt() != 0) return intFast(a.rawInt() / b.rawInt(), isLong);
        return ops::intDiv(a, b);
    case Op::Div:
        return ops::div(a, b);
    case Op::Pow:
        return ops::pow(a, b);
    case Op::Concat:
        return ops::concat(a, b);
    case Op::Eq:
    case Op::Ne:
    case Op::Lt:
    case Op::Gt:
    case Op::Le:
    case Op::Ge:
        if ((a.type() == VarType::Integer || a.type() == VarType::Long)
            && (b.type() == VarType::Integer || b.type() == VarType::Long)) {
            int64_t x = a.rawInt(), y = b.rawInt();
            bool r = e.op == Op::Eq ? x == y
                : e.op == Op::Ne    ? x != y
                : e.op == Op::Lt    ? x < y
                : e.op == Op::Gt    ? x > y
                : e.op == Op::Le    ? x <= y
                                    : x >= y;
            return Variant::boolean(r);
        }
        return ops::compare(e.op, a, b, e.a->hardLiteral, e.b->hardLiteral);
    default:
        return ops::logical(e.op, a, b);
    }
}

Variant Interpreter::eval(const Expr& e, Frame& f)
{
    switch (e.kind) {
    case ExprKind::Literal:
        return e.value;
    case ExprKind::Ident:
        if (e.bind == Bind::Local) return *f.slotPtrs[e.slot];
        return evalIdent(e, f);
    case ExprKind::Binary:
        return evalBinary(e, f);
    case ExprKind::Unary:
        return evalUnary(e, f);
    case ExprKind::Paren: {
        Variant v = eval(*e.a, f);
        return v;
    }
    case ExprKind::Member:
        return evalMember(e, f);
    case ExprKind::Call: {
        // the common case first: a global procedure called by its name
        const Expr& callee = *e.a;
        if (callee.kind == ExprKind::Ident && callee.bind == Bind::Unresolved && !f.dynamics) {
            GlobalEntry* g = lookupGlobal(callee);
            if (g && g->kind == GlobalEntry::Proc) return callUser(*g->proc, nullptr, e.args, f);
        }
        return evalCall(e, f);
    }
    case ExprKind::New:
        return newInstance(e);
    case ExprKind::Me:
        if (!f.me) raise(kInvalidUseOfMe, errorMessage(kInvalidUseOfMe));
        return Variant::object(f.me->weak_from_this().lock());
    case ExprKind::Missing:
        return Variant::error(kParamNotFound);
    }
    return Variant();
}

bool Interpreter::computeIntArith(const Expr& e)
{
    bool pure = false;
    switch (e.kind) {
    case ExprKind::Literal:
        pure = e.value.type() == VarType::Integer || e.value.type() == VarType::Long;
        break;
    case ExprKind::Ident:
        pure = e.bind != Bind::ClassMember;
        break;
    case ExprKind::Paren:
        pure = isIntArith(*e.a);
        break;
    case ExprKind::Unary:
        pure = e.op == Op::Neg && isIntArith(*e.a);
        break;
    case ExprKind::Binary:
        switch (e.op) {
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Mod:
        case Op::IntDiv:
        case Op::Eq:
        case Op::Ne:
        case Op::Lt:
        case Op::Gt:
        case Op::Le:
        case Op::Ge:
            pure = isIntArith(*e.a) && isIntArith(*e.b);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    e.intArith = pure ? 1 : 0;
    return pure;
}

bool Interpreter::tryInt(const Expr& e, Frame& f, int64_t& out, bool& isLong)
{
    if (!isIntArith(e)) return false;
    const Variant* v = nullptr;
    switch (e.kind) {
    case ExprKind::Literal:
        v = &e.value;
        break;
    case ExprKind::Ident:
        switch (e.bind) {
        case Bind::Local:
            v = f.slotPtrs[e.slot];
            break;
        case Bind::ClassField:
            v = &f.me->fields[size_t(e.slot)];
            break;
        case Bind::Unresolved: {
            if (f.dynamics) {
                auto it = f.dynamics->find(e.key);
                if (it != f.dynamics->end()) {
                    v = &it.value();
                    break;
                }
            }
            GlobalEntry* g = lookupGlobal(e);
            if (!g || (g->kind != GlobalEntry::Var && g->kind != GlobalEntry::Const)) return false;
            v = &g->value;
            break;
        }
        default:
            return false;
        }
        break;
    case ExprKind::Paren:
        return tryInt(*e.a, f, out, isLong);
    case ExprKind::Unary: {
        if (!tryInt(*e.a, f, out, isLong)) return false;
        out = -out;
        if (out > INT32_MAX) return false;
        if (out > 32767) isLong = true;
        return true;
    }
    case ExprKind::Binary: {
        int64_t x, y;
        bool lx = false, ly = false;
        if (!intOperand(*e.a, f, x, lx) || !intOperand(*e.b, f, y, ly)) return false;
        switch (e.op) {
        case Op::Add:
            out = x + y;
            break;
        case Op::Sub:
            out = x - y;
            break;
        case Op::Mul:
            out = x * y;
            break;
        case Op::Mod:
            if (y == 0) return false;
            out = x % y;
            break;
        case Op::IntDiv:
            if (y == 0) return false;
            out = x / y;
            break;
        default:
            return false;   // comparisons give Booleans
        }
        if (out < INT32_MIN || out > INT32_MAX) return false;
        isLong = lx || ly || out < -32768 || out > 32767;
        return true;
    }
    default:
        return false;
    }
    return plainInt(*v, out, isLong);
}

bool Interpreter::tryIntCondition(const Expr& e, Frame& f, bool& out)
{
    if (e.op < Op::Eq || e.op > Op::Ge || !isIntArith(e)) return false;
    int64_t x, y;
    bool lx = false, ly = false;
    if (!intOperand(*e.a, f, x, lx) || !intOperand(*e.b, f, y, ly)) return false;
    switch (e.op) {
    case Op::Eq:
        out = x == y;
        break;
    case Op::Ne:
        out = x != y;
        break;
    case Op::Lt:
        out = x < y;
        break;
    case Op::Gt:
        out = x > y;
        break;
    case Op::Le:
        out = x <= y;
        break;
    default:
        out = x >= y;
        break;
    }
    return true;
}

Variant Interpreter::evalIdent(const Expr& e, Frame& f)
{
    switch (e.bind) {
    case Bind::Local:
        return *f.slotPtrs[e.slot];
    case Bind::ClassField:
        return f.me->fields[size_t(e.slot)];
    case Bind::ClassMember: {
        Arguments none;
        return f.me->getMember(e.key, none, true);
    }
    case Bind::Unresolved:
        break;
    }
    if (f.dynamics) {
        auto it = f.dynamics->find(e.key);
        if (it != f.dynamics->end()) return it.value();
    }
    if (GlobalEntry* g = lookupGlobal(e)) {
        switch (g->kind) {
        case GlobalEntry::Var:
        case GlobalEntry::Const:
        case GlobalEntry::HostObject:
            return g->value;
        case GlobalEntry::Proc: {
            std::vector<ExprPtr> none;
            return callUser(*g->proc, nullptr, none, f);
        }
        case GlobalEntry::BuiltinFunc: {
            if (g->builtin->statementOnly) raiseNamed(kTypeMismatch, e.name);
            std::vector<ExprPtr> none;
            return callBuiltin(*g->builtin, none, f, e);
        }
        case GlobalEntry::Class:
            raise(kTypeMismatch);
        }
    }
    if (Dispatch* owner = hostMemberOwner(e.key)) {
        Arguments none;
        return owner->getProperty(e.name, none);
    }
    if (m_optionExplicit) undefinedName(e);
    return Variant();
}

Variant Interpreter::evalMember(const Expr& e, Frame& f)
{
    Variant o = e.a ? eval(*e.a, f) : Variant::object(withObject(f));
    if (!o.isObject() || !o.rawObject()) objectRequired(e.a.get());
    Arguments none;
    return o.rawObject()->getProperty(e.name, none);
}

Variant Interpreter::evalCall(const Expr& e, Frame& f)
{
    const Expr& callee = *e.a;
    if (callee.kind == ExprKind::Ident || callee.kind == ExprKind::Member)
        return callNamed(callee, f, e.args, false, true);
    Variant base = eval(callee, f);
    return indexValue(base, e.args, f);
}

Variant Interpreter::indexValue(const Variant& base, const std::vector<ExprPtr>& args, Frame& f)
{
    if (base.isArray()) {
        Arguments subs;
        evalArgs(args, f, subs);
        return arrayElement(base, subs);
    }
    if (base.isObject()) {
        if (!base.rawObject()) raise(kObjectNotSet);
        Arguments a;
        evalArgs(args, f, a);
        return base.rawObject()->getProperty(QString(), a);
    }
    if (args.empty()) return base;
    raise(kTypeMismatch);
}

}   // namespace orra::vbs
