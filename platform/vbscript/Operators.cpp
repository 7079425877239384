// VBScript's operators over Variants: subtype promotion, overflow to the next wider type,
// Null propagation, the bitwise meaning of the logical operators on numbers.

#include "platform/vbscript/Interpreter.h"
#include "platform/vbscript/Runtime.h"

#include <cmath>

namespace orra::vbs::ops {

namespace {

enum Kind { kByte, kInt, kLong, kSingle, kDouble, kCur, kDate };

struct Num {
    Kind k;
    int64_t i = 0;
    double d = 0;
};

// The numeric view of an operand of an arithmetic operator (Null handled by the caller).
Num num(const Variant& v)
{
    switch (v.type()) {
    case VarType::Empty:
        return {kInt, 0, 0};
    case VarType::Boolean:
        return {kInt, v.rawInt(), 0};
    case VarType::Byte:
        return {kByte, v.rawInt(), 0};
    case VarType::Integer:
        return {kInt, v.rawInt(), 0};
    case VarType::Long:
        return {kLong, v.rawInt(), 0};
    case VarType::Single:
        return {kSingle, 0, v.rawDouble()};
    case VarType::Double:
        return {kDouble, 0, v.rawDouble()};
    case VarType::Currency:
        return {kCur, v.rawInt(), 0};
    case VarType::Date:
        return {kDate, 0, v.rawDouble()};
    case VarType::String: {
        double d;
        if (!parseNumber(v.rawString(), d)) raise(kTypeMismatch);
        return {kDouble, 0, d};
    }
    case VarType::Object:
        return num(v.dereferenced());
    default:
        raise(kTypeMismatch);
    }
}

double asDouble(const Num& n)
{
    switch (n.k) {
    case kByte:
    case kInt:
    case kLong:
        return double(n.i);
    case kCur:
        return double(n.i) / 10000.0;
    default:
        return n.d;
    }
}

bool isIntKind(Kind k) { return k == kByte || k == kInt || k == kLong; }

Variant intResult(int64_t r, Kind k)
{
    if (k == kByte && r >= 0 && r <= 255) return Variant::byte(uint8_t(r));
    if ((k == kByte || k == kInt) && r >= -32768 && r <= 32767) return Variant::integer(int16_t(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return Variant::longValue(int32_t(r));
    return Variant::dbl(double(r));
}

Variant floatResult(double r, Kind k)
{
    if (!std::isfinite(r)) raise(kOverflow);
    if (k == kSingle) {
        if (std::fabs(r) <= 3.402823466e38) return Variant::single(float(r));
        return Variant::dbl(r);
    }
    return Variant::dbl(r);
}

Kind widest(Kind a, Kind b)
{
    if (a == kDate || b == kDate) return kDate;
    if (a == kCur || b == kCur) return (a == kDouble || b == kDouble || a == kSingle || b == kSingle) ? kDouble : kCur;
    if ((a == kSingle && b == kLong) || (a == kLong && b == kSingle)) return kDouble;
    return a > b ? a : b;
}

Variant dateResult(double r)
{
    if (r < -657434.0 || r >= 2958466.0) raise(kOverflow);
    return Variant::date(r);
}

enum class Arith { Add, Sub, Mul };

Variant arith(Arith op, const Variant& a, const Variant& b)
{
    if (a.isNull() || b.isNull()) return Variant::null();
    Num x = num(a), y = num(b);
    Kind k = widest(x.k, y.k);
    if (isIntKind(k)) {
        int64_t r = op == Arith::Add ? x.i + y.i : op == Arith::Sub ? x.i - y.i : x.i * y.i;
        return intResult(r, k);
    }
    if (k == kCur) {
        int64_t xi = x.k == kCur ? x.i : x.i * 10000, yi = y.k == kCur ? y.i : y.i * 10000;
        if (op == Arith::Mul) {
            // exact: the 128-bit product, scaled back with the last digit rounded half to even
            const __int128 p = (__int128)xi * yi;
            __int128 q = p / 10000, rem = p % 10000;
            if (rem < 0) rem = -rem;
            if (rem > 5000 || (rem == 5000 && (q & 1))) q += p < 0 ? -1 : 1;
            if (q > INT64_MAX || q < INT64_MIN) raise(kOverflow);
            return Variant::currencyScaled(int64_t(q));
        }
        int64_t r;
        if (op == Arith::Add ? __builtin_add_overflow(xi, yi, &r) : __builtin_sub_overflow(xi, yi, &r))
            raise(kOverflow);
        return Variant::currencyScaled(r);
    }
    double dx = asDouble(x), dy = asDouble(y);
    double r = op == Arith::Add ? dx + dy : op == Arith::Sub ? dx - dy : dx * dy;
    if (k == kDate) {
        if (op == Arith::Sub && x.k == kDate && y.k == kDate) return Variant::dbl(r);
        if (op == Arith::Mul) return Variant::dbl(r);
        return dateResult(r);
    }
    return floatResult(r, k);
}

}   // namespace

Variant add(const Variant& a, const Variant& b)
{
    if (a.isString() && b.isString()) {
        checkStringLength(a.rawString().size() + b.rawString().size());
        return Variant::string(a.rawString() + b.rawString());
    }
    if ((a.isString() && b.isEmpty()) || (a.isEmpty() && b.isString()))
        return Variant::string(a.isString() ? a.rawString() : b.rawString());
    return arith(Arith::Add, a, b);
}

Variant sub(const Variant& a, const Variant& b) { return arith(Arith::Sub, a, b); }
Variant mul(const Variant& a, const Variant& b) { return arith(Arith::Mul, a, b); }

Variant div(const Variant& a, const Variant& b)
{
    if (a.isNull() || b.isNull()) return Variant::null();
    Num x = num(a), y = num(b);
    double dy = asDouble(y);
    if (dy == 0) raise(kDivisionByZero);
    double r = asDouble(x) / dy;
    if (x.k == kSingle && y.k == kSingle) return floatResult(r, kSingle);
    return floatResult(r, kDouble);
}

static int64_t toIntOperand(const Num& n)
{
    double d;
    switch (n.k) {
    case kByte:
    case kInt:
    case kLong:
        return n.i;
    case kCur:
        d = double(n.i) / 10000.0;
        break;
    default:
        d = n.d;
        break;
    }
    d = roundHalfEven(d);
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) raise(kOverflow);
    return int64_t(d);
}

static Kind intKindOf(const Num& x, const Num& y)
{
    if (x.k == kByte && y.k == kByte) return kByte;
    if ((x.k == kByte || x.k == kInt) && (y.k == kByte || y.k == kInt)) return kInt;
    return kLong;
}

Variant intDiv(const Variant& a, const Variant& b)
{
    if (a.isNull() || b.isNull()) return Variant::null();
    Num x = num(a), y = num(b);
    int64_t xi = toIntOperand(x), yi = toIntOperand(y);
    if (yi == 0) raise(kDivisionByZero);
    return intResult(xi / yi, intKindOf(x, y));
}

Variant mod(const Variant& a, const Variant& b)
{
    if (a.isNull() || b.isNull()) return Variant::null();
    Num x = num(a), y = num(b);
    int64_t xi = toIntOperand(x), yi = toIntOperand(y);
    if (yi == 0) raise(kDivisionByZero);
    return intResult(xi % yi, intKindOf(x, y));
}

Variant pow(const Variant& a, const Variant& b)
{
    if (a.isNull() || b.isNull()) return Variant::null();
    double x = asDouble(num(a)), y = asDouble(num(b));
    if (x == 0 && y < 0) raise(kInvalidProcedureCall);
    if (x < 0 && y != std::floor(y)) raise(kInvalidProcedureCall);
    double r = std::pow(x, y);
    if (!std::isfinite(r)) raise(kOverflow);
    return Variant::dbl(r);
}

Variant concat(const Variant& a, const Variant& b)
{
    if (a.isNull() && b.isNull()) return Variant::null();
    QString s = a.isNull() ? QString() : a.toString();
    if (!b.isNull()) {
        QString t = b.toString();
        checkStringLength(s.size() + t.size());
        s += t;
    }
    return Variant::string(s);
}

Variant neg(const Variant& a)
{
    switch (a.type()) {
    case VarType::Null:
        return a;
    case VarType::Empty:
        return Variant::integer(0);
    case VarType::Byte:
        return Variant::integer(int16_t(-a.rawInt()));
    case VarType::Boolean:
    case VarType::Integer:
        return intResult(-a.rawInt(), kInt);
    case VarType::Long:
        return intResult(-a.rawInt(), kLong);
    case VarType::Single:
        return Variant::single(float(-a.rawDouble()));
    case VarType::Double:
        return Variant::dbl(-a.rawDouble());
    case VarType::Currency:
        if (a.rawInt() == INT64_MIN) raise(kOverflow);
        return Variant::currencyScaled(-a.rawInt());
    case VarType::Date:
        return dateResult(-a.rawDouble());
    case VarType::String:
        return Variant::dbl(-a.toDouble());
    case VarType::Object:
        return neg(a.dereferenced());
    default:
        raise(kTypeMismatch);
    }
}

namespace {

// Operand of a logical operator: a Boolean stays Boolean, numbers become Integer/Long.
struct Bits {
    bool isBool;
    Kind k;
    int64_t v;
};

Bits bits(const Variant& v)
{
    switch (v.type()) {
    case VarType::Boolean:
        return {true, kInt, v.rawInt() ? -1 : 0};
    case VarType::Empty:
        return {false, kInt, 0};
    case VarType::Byte:
        return {false, kByte, v.rawInt()};
    case VarType::Integer:
        return {false, kInt, v.rawInt()};
    case VarType::Long:
        return {false, kLong, v.rawInt()};
    case VarType::String: {
        QString t = v.rawString().trimmed();
        if (equalNoCase(t, QStringLiteral("True")) || equalNoCase(t, QStringLiteral("#True#"))) return {true, kInt, -1};
        if (equalNoCase(t, QStringLiteral("False")) || equalNoCase(t, QStringLiteral("#False#")))
            return {true, kInt, 0};
        return {false, kLong, v.toLong()};
    }
    case VarType::Object:
        return bits(v.dereferenced());
    default:
        return {false, kLong, v.toLong()};
    }
}

Variant bitsResult(int64_t r, const Bits& x, const Bits& y)
{
    if (x.isBool && y.isBool) return Variant::boolean(r != 0);
    Kind k = (x.k == kByte && y.k == kByte) ? kByte : (x.k == kLong || y.k == kLong) ? kLong : kInt;
    if (k == kByte) return Variant::byte(uint8_t(r));
    if (k == kInt) return Variant::integer(int16_t(r));
    return Variant::longValue(int32_t(r));
}

}   // namespace

Variant logical(Op op, const Variant& a, const Variant& b)
{
    if (a.isNull() || b.isNull()) {
        const Variant& other = a.isNull() ? b : a;
        bool otherNull = other.isNull();
        switch (op) {
        case Op::And:
            if (!otherNull) {
                Bits o = bits(other);
                if (o.v == 0) return o.isBool ? Variant::boolean(false) : bitsResult(0, o, o);
            }
            return Variant::null();
        case Op::Or:
            if (!otherNull) {
                Bits o = bits(other);
                if (o.v == -1 && o.isBool) return Variant::boolean(true);
            }
            return Variant::null();
        case Op::Imp:
            if (a.isNull() && !b.isNull()) {
                Bits o = bits(b);
                if (o.v == -1) return o.isBool ? Variant::boolean(true) : bitsResult(-1, o, o);
                return Variant::null();
            }
            if (!a.isNull() && b.isNull()) {
                Bits o = bits(a);
                if (o.v == 0) return o.isBool ? Variant::boolean(true) : bitsResult(-1, o, o);
                return Variant::null();
            }
            return Variant::null();
        default:
            return Variant::null();
        }
    }
    Bits x = bits(a), y = bits(b);
    int64_t r = 0;
    switch (op) {
    case Op::And:
        r = x.v & y.v;
        break;
    case Op::Or:
        r = x.v | y.v;
        break;
    case Op::Xor:
        r = x.v ^ y.v;
        break;
    case Op::Eqv:
        r = ~(x.v ^ y.v);
        break;
    case Op::Imp:
        r = (~x.v) | y.v;
        break;
    default:
        raise(kInternalError);
    }
    return bitsResult(r, x, y);
}

Variant notOp(const Variant& a)
{
    if (a.isNull()) return a;
    Bits x = bits(a);
    return bitsResult(~x.v, x, x);
}

int compareValues(const Variant& a0, const Variant& b0, bool textCompare)
{
    const Variant a = a0.isObject() ? a0.dereferenced() : a0;
    const Variant b = b0.isObject() ? b0.dereferenced() : b0;
    bool as = a.isString(), bs = b.isString();
    if (as && bs) {
        int c = textCompare ? QString::compare(a.rawString(), b.rawString(), Qt::CaseInsensitive)
                            : QString::compare(a.rawString(), b.rawString(), Qt::CaseSensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (as || bs) {
        const Variant& other = as ? b : a;
        if (other.isEmpty()) {
            const QString& s = as ? a.rawString() : b.rawString();
            int c = as ? (s.isEmpty() ? 0 : 1) : (s.isEmpty() ? 0 : -1);
            return c;
        }
        // a number is less than a string
        return as ? 1 : -1;
    }
    if (a.isArray() || b.isArray()) raise(kTypeMismatch);
    if (a.type() == VarType::Currency && b.type() == VarType::Currency)
        return a.rawInt() < b.rawInt() ? -1 : a.rawInt() > b.rawInt() ? 1 : 0;
    if ((a.type() == VarType::Single && b.type() == VarType::Double)
        || (a.type() == VarType::Double && b.type() == VarType::Single)) {
        // a Single against a Double compares at the Single's precision (CSng(0.1) = 0.1)
        const float x = float(a.rawDouble()), y = float(b.rawDouble());
        return x < y ? -1 : x > y ? 1 : 0;
    }
    double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : x > y ? 1 : 0;
}

Variant compare(Op op, const Variant& a0, const Variant& b0, bool hardA, bool hardB)
{
    if (a0.isNull() || b0.isNull()) return Variant::null();
    const Variant* a = &a0;
    const Variant* b = &b0;
    Variant ta, tb;
    if (a->isObject()) {
        ta = a->dereferenced();
        a = &ta;
    }
    if (b->isObject()) {
        tb = b->dereferenced();
        b = &tb;
    }
    if (a->isNull() || b->isNull()) return Variant::null();
    int c;
    // A literal compared with a value of the other kind converts that value to the literal's kind.
    if ((hardA || hardB) && a->isString() != b->isString() && !a->isEmpty() && !b->isEmpty() && !a->isArray()
        && !b->isArray()) {
        bool stringIsLiteral = a->isString() ? hardA : hardB;
        bool numberIsLiteral = a->isString() ? hardB : hardA;
        const Variant& str = a->isString() ? *a : *b;
        const Variant& number = a->isString() ? *b : *a;
        double d;
        if (numberIsLiteral && parseNumber(str.rawString(), d)) {
            double n = number.toDouble();
            double x = a->isString() ? d : n, y = a->isString() ? n : d;
            c = x < y ? -1 : x > y ? 1 : 0;
        } else if (stringIsLiteral && !numberIsLiteral) {
            int r = a->isString() ? QString::compare(a->rawString(), b->toString(), Qt::CaseSensitive)
                                  : QString::compare(a->toString(), b->rawString(), Qt::CaseSensitive);
            c = r < 0 ? -1 : r > 0 ? 1 : 0;
        } else
            c = compareValues(*a, *b);
    } else
        c = compareValues(*a, *b);
    bool r = false;
    switch (op) {
    case Op::Eq:
        r = c == 0;
        break;
    case Op::Ne:
        r = c != 0;
        break;
    case Op::Lt:
        r = c < 0;
        break;
    case Op::Gt:
        r = c > 0;
        break;
    case Op::Le:
        r = c <= 0;
        break;
    case Op::Ge:
        r = c >= 0;
        break;
    default:
        raise(kInternalError);
    }
    return Variant::boolean(r);
}

bool identical(const Variant& a, const Variant& b)
{
    if (!a.isObject() || !b.isObject()) raise(kObjectRequired);
    return a.rawObject() == b.rawObject();
}

}   // namespace orra::vbs::ops
