#include "platform/db/embedded/functions/ExactNumbers.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <type_traits>

namespace orra::embedded {

using db::Decimal;
using Units = Decimal::Units;

namespace {

Units pow10(int n) { return Decimal::powerOfTen(n); }

// The double's units at scale when it lies on one (a value that was kept at its scale), else
// the shortest text that reads back as the double, rounded.
std::optional<Decimal> fromDouble(double d, int scale)
{
    if (!std::isfinite(d)) return std::nullopt;
    static constexpr double kPowers[] = {
        1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (scale >= 0 && scale <= 15) {
        const double x = d * kPowers[scale];
        if (std::fabs(x) < 9.0e15) {
            const double r = std::nearbyint(x);
            if (std::fabs(x - r) <= 1e-7 * std::max(1.0, std::fabs(x)) && std::fabs(x - r) < 0.001)
                return Decimal::fromUnits(Units(qint64(r)), scale);
        }
    }
    return Decimal::fromDouble(d, scale);
}

// A text as money reads it besides a plain number: a currency symbol before the digits (a sign
// before or after it) and commas between them ('$1,234.56').
std::optional<Decimal> moneyText(sqlite3_value* v, int scale)
{
    QString t = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v))).trimmed();
    QString sign;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        sign = t.left(1);
        t = t.mid(1).trimmed();
    }
    static const QString symbols = QStringLiteral("$\u00a3\u00a5\u20ac\u00a2\u20a4\u20a9\u20aa\u20ab\u20a8");
    if (t.isEmpty() || !symbols.contains(t.front()) ) {
        if (!t.contains(u',')) return std::nullopt;
    } else {
        t = t.mid(1).trimmed();
    }
    if (sign.isEmpty() && (t.startsWith(u'-') || t.startsWith(u'+'))) {
        sign = t.left(1);
        t = t.mid(1);
    }
    if (t.isEmpty() || t.front() == u',' || !(t.front().isDigit() || t.front() == u'.')) return std::nullopt;
    const QString digits = sign + QString(t).remove(u',');
    for (const QChar c : digits.mid(sign.size()))
        if (!c.isDigit() && c != u'.') return std::nullopt;
    const std::optional<Decimal> d = Decimal::parse(digits);
    if (!d) return std::nullopt;
    return d->tryRescaled(scale);
}

void overflow(sqlite3_context* ctx, const char* type)
{
    const QByteArray message = QByteArrayLiteral("Arithmetic overflow error converting expression to data type ")
        + type + '.';
    sqlite3_result_error(ctx, message.constData(), -1);
}

// The largest count of units a value of the type holds (money's own range, else 10^p - 1).
bool fits(const Decimal& d, int precision, bool money)
{
    if (money) {
        const Units u = d.rescaled(4).units();
        return precision == 10 ? u >= -2147483648LL && u <= 2147483647LL
                               : u >= Units(std::numeric_limits<qint64>::min())
                && u <= Units(std::numeric_limits<qint64>::max());
    }
    const Units u = d.units();
    return (u < 0 ? -u : u) < pow10(precision);
}

struct SumState {
    Units sum = 0;
    qint64 count = 0;
    bool failed = false;
};

int intArg(sqlite3_value* v) { return sqlite3_value_int(v); }

// The aggregate's state in the call's context (NULL when the final call finds none). SQLite
// aligns that room to 8 bytes only, and the states hold 16-byte aligned sums: take room for the
// alignment and use its aligned part (the room stays put between calls, so the part does too).
template <class State> State* aggregateState(sqlite3_context* ctx, bool create)
{
    constexpr std::uintptr_t align = alignof(State);
    void* room = sqlite3_aggregate_context(ctx, create ? int(sizeof(State) + align - 1) : 0);
    if (!room) return nullptr;
    const std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(room) + align - 1) & ~(align - 1);
    return reinterpret_cast<State*>(at);
}

// orra_exact_sum(x, scale) and orra_exact_avg(x, scale, average scale): sums of the values at
// scale, exact; NULL over no values. The scales are the calls' constant arguments, kept by the step in the state's spare room.
struct ScaledState {
    SumState sum;
    int scale = 0;
    int outScale = 0;
};

void exactStep(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* s = aggregateState<ScaledState>(ctx, true);
    if (!s) return;
    s->scale = intArg(argv[1]);
    s->outScale = argc > 2 ? intArg(argv[2]) : s->scale;
    const std::optional<Decimal> d = readExact(argv[0], s->scale);
    if (!d) return;
    s->sum.sum += d->units();
    ++s->sum.count;
}

void exactInverse(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* s = aggregateState<ScaledState>(ctx, true);
    if (!s) return;
    const std::optional<Decimal> d = readExact(argv[0], s->scale);
    if (!d) return;
    s->sum.sum -= d->units();
    --s->sum.count;
}

template <bool average> void exactValue(sqlite3_context* ctx)
{
    auto* s = aggregateState<ScaledState>(ctx, false);
    if (!s || s->sum.count == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    const SumState& sum = s->sum;
    if constexpr (average) {
        const Units scaled = sum.sum * pow10(std::max(0, s->outScale - s->scale));
        Units q = scaled / sum.count;
        const Units r = scaled % sum.count;
        if ((r < 0 ? -r : r) * 2 >= sum.count) q += scaled < 0 ? -1 : 1;
        resultExact(ctx, Decimal::fromUnits(q, s->outScale));
    } else {
        resultExact(ctx, Decimal::fromUnits(sum.sum, s->scale));
    }
}

template <bool average> void exactFinal(sqlite3_context* ctx) { exactValue<average>(ctx); }

// orra_int_avg(x): the server's average of integers, an integer (the quotient truncated).
struct IntState {
    Units sum = 0;
    qint64 count = 0;
};

void intStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    auto* s = aggregateState<IntState>(ctx, true);
    if (!s) return;
    s->sum += sqlite3_value_int64(argv[0]);
    ++s->count;
}

void intInverse(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    auto* s = aggregateState<IntState>(ctx, true);
    if (!s) return;
    s->sum -= sqlite3_value_int64(argv[0]);
    --s->count;
}

void intValue(sqlite3_context* ctx)
{
    auto* s = aggregateState<IntState>(ctx, false);
    if (!s || s->count == 0)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, qint64(s->sum / s->count));
}

// orra_exact(x, precision, scale, money): CAST(x AS decimal(p,s)) / money / smallmoney, rounded
// half away from zero to the scale; a value too large for the type is the server's overflow.
void fnExact(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const int precision = intArg(argv[1]);
    const int scale = intArg(argv[2]);
    const bool money = intArg(argv[3]) != 0;
    // A double that lies on the scale (within the accuracy of its digits) is the count of
    // units it stands for, divided out again: no decimal is made for it.
    // (Below 10^15 units every money and decimal(p > 15) fits; smallmoney has its own range.)
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT && scale > 0 && scale <= 15 && !(money && precision == 10)) {
        static constexpr double kPowers[] = {
            1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double x = sqlite3_value_double(argv[0]) * kPowers[scale];
        const double r = std::nearbyint(x);
        if (std::fabs(r) < kPowers[std::min(precision, 15)] && std::fabs(x - r) <= 1e-7 * std::max(1.0, std::fabs(x))
            && std::fabs(x - r) < 0.001) {
            sqlite3_result_double(ctx, r / kPowers[scale]);
            return;
        }
    }
    std::optional<Decimal> d = readExact(argv[0], scale);
    if (!d && money && sqlite3_value_type(argv[0]) == SQLITE_TEXT) d = moneyText(argv[0], scale);
    if (!d) {
        const int type = sqlite3_value_type(argv[0]);
        if (type == SQLITE_TEXT || type == SQLITE_BLOB)
            sqlite3_result_error(ctx,
                money ? "Cannot convert a char value to money. The char value has incorrect syntax."
                      : "Error converting data type varchar to numeric.",
                -1);
        else
            overflow(ctx, money ? (precision == 10 ? "smallmoney" : "money") : "numeric");
        return;
    }
    if (!fits(*d, precision, money)) {
        if (money)
            overflow(ctx, precision == 10 ? "smallmoney" : "money");
        else
            sqlite3_result_error(ctx, "Arithmetic overflow error converting numeric to data type numeric.", -1);
        return;
    }
    resultExact(ctx, *d);
}

// orra_round(x, length, truncate, precision, scale): ROUND of an exact value, kept at its type's
// scale; a result the type cannot hold is the server's overflow.
void fnRound(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const int length = intArg(argv[1]);
    const bool truncate = intArg(argv[2]) != 0;
    const int precision = intArg(argv[3]);
    const int scale = intArg(argv[4]);
    const std::optional<Decimal> d = readExact(argv[0], scale);
    if (!d) {
        sqlite3_result_null(ctx);
        return;
    }
    const int drop = scale - length;   // digits to clear
    Units u = d->units();
    if (drop > 0) {
        if (drop > 38) {
            u = 0;
        } else {
            const Units p = pow10(drop);
            const Units r = u % p;
            u -= r;
            if (!truncate && (r < 0 ? -r : r) * 2 >= p) u += u < 0 || (u == 0 && r < 0) ? -p : p;
        }
    }
    const Decimal result = Decimal::fromUnits(u, scale);
    if ((u < 0 ? -u : u) >= pow10(precision)) {
        sqlite3_result_error(ctx, "Arithmetic overflow error converting expression to data type numeric.", -1);
        return;
    }
    resultExact(ctx, result);
}

// orra_int_check(x, bits): x when an integer of that many bits holds it (8: tinyint, 0 to 255;
// 16, 32, 64 signed), else the server's overflow (abs(-2147483648) is no int).
void fnIntCheck(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    // SQLite turns a 64-bit integer result that overflows into a float
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT && intArg(argv[1]) == 64) {
        overflow(ctx, "bigint");
        return;
    }
    if (sqlite3_value_type(argv[0]) != SQLITE_INTEGER) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const qint64 v = sqlite3_value_int64(argv[0]);
    const int bits = intArg(argv[1]);
    if (bits == 32 && (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())) {
        overflow(ctx, "int");
        return;
    }
    if (bits == 16 && (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())) {
        overflow(ctx, "smallint");
        return;
    }
    if (bits == 8 && (v < 0 || v > 255)) {
        overflow(ctx, "tinyint");
        return;
    }
    sqlite3_result_int64(ctx, v);
}

// orra_abs(x): abs over 64-bit integers that reports overflow as the server does.
void fnAbs(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_int64(argv[0]) == std::numeric_limits<qint64>::min()) {
        overflow(ctx, "bigint");
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB || sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        if (const auto d = readExact(argv[0], 38)) {
            const Units u = d->units();
            resultExact(ctx, Decimal::fromUnits(u < 0 ? -u : u, d->scale()));
            return;
        }
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        const qint64 v = sqlite3_value_int64(argv[0]);
        sqlite3_result_int64(ctx, v < 0 ? -v : v);
    } else if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
    } else {
        sqlite3_result_double(ctx, std::fabs(sqlite3_value_double(argv[0])));
    }
}

// Drops the last `drop` digits of u, rounding half away from zero.
Units roundOff(Units u, int drop)
{
    if (drop <= 0) return u;
    if (drop > 38) return 0;
    const Units p = pow10(drop);
    Units q = u / p;
    const Units r = u % p;
    const Units m = r < 0 ? -r : r;
    if (m >= p - m) q += u < 0 ? -1 : 1;
    return q;
}

// u * 10^n; false when 128 bits do not hold it.
bool scaleUp(Units u, int n, Units& out)
{
    out = u;
    for (; n > 0; n -= 18)
        if (__builtin_mul_overflow(out, pow10(std::min(n, 18)), &out)) return false;
    return true;
}

// a op b of two exact values (units ua at scale sa, ub at sb), at scale s; nothing on
// overflow. Division and modulo by zero are the caller's.
std::optional<Units> exactOperation(int op, Units ua, int sa, Units ub, int sb, int s)
{
    Units r = 0;
    switch (op) {
    case '+':
    case '-':
    case '%': {
        const int common = std::max(sa, sb);
        Units a = 0, b = 0;
        if (!scaleUp(ua, common - sa, a) || !scaleUp(ub, common - sb, b)) return std::nullopt;
        if (op == '%')
            r = a % b;
        else if (op == '+' ? __builtin_add_overflow(a, b, &r) : __builtin_sub_overflow(a, b, &r))
            return std::nullopt;
        if (s >= common) return scaleUp(r, s - common, r) ? std::optional<Units>(r) : std::nullopt;
        return roundOff(r, common - s);
    }
    case '*':
        if (__builtin_mul_overflow(ua, ub, &r)) return std::nullopt;
        if (s >= sa + sb) return scaleUp(r, s - sa - sb, r) ? std::optional<Units>(r) : std::nullopt;
        return roundOff(r, sa + sb - s);
    case '/': {
        // the quotient at scale sa - sb, then digit by digit down to s, rounded
        const bool negative = (ua < 0) != (ub < 0);
        const Units a = ua < 0 ? -ua : ua, b = ub < 0 ? -ub : ub;
        Units q = a / b, rest = a % b;
        int scale = sa - sb;
        for (; scale < s; ++scale) {
            Units ten = 0;
            if (__builtin_mul_overflow(rest, Units(10), &ten) || __builtin_mul_overflow(q, Units(10), &q))
                return std::nullopt;
            q += ten / b;
            rest = ten % b;
        }
        if (scale > s)
            q = roundOff(q, scale - s);
        else if (rest >= b - rest)
            ++q;
        return negative ? -q : q;
    }
    default:
        return std::nullopt;
    }
}

// orra_dec_op(op, a, scale of a, b, scale of b, precision, scale, money): a op b for + - * / %
// of exact values, computed in 128 bits and given at the result type's precision and scale
// as the server rounds them; overflow and division by zero are the server's errors.
void fnDecimalOperation(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[3]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const int op = intArg(argv[0]);
    const int sa = intArg(argv[2]), sb = intArg(argv[4]);
    const int precision = intArg(argv[5]), scale = intArg(argv[6]);
    const bool money = intArg(argv[7]) != 0;
    const std::optional<Decimal> a = readExact(argv[1], sa);
    const std::optional<Decimal> b = readExact(argv[3], sb);
    const char* type = money ? (precision == 10 ? "smallmoney" : "money") : "numeric";
    if (!a || !b) {
        overflow(ctx, type);
        return;
    }
    if ((op == '/' || op == '%') && b->isZero()) {
        sqlite3_result_error(ctx, "Divide by zero error encountered.", -1);
        return;
    }
    const std::optional<Units> u = exactOperation(op, a->units(), a->scale(), b->units(), b->scale(), scale);
    if (!u || !fits(Decimal::fromUnits(*u, scale), precision, money)) {
        overflow(ctx, type);
        return;
    }
    resultExact(ctx, Decimal::fromUnits(*u, scale));
}

// The exact value of v: a double read at scale (the operand's own), a decimal text as it is
// written; nothing for NULL.
std::optional<Decimal> exactOperand(sqlite3_value* v, int scale)
{
    const int type = sqlite3_value_type(v);
    if (type != SQLITE_TEXT && type != SQLITE_BLOB) return readExact(v, scale);
    const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
    return Decimal::parse(QString::fromUtf8(p, sqlite3_value_bytes(v)));
}

// orra_dec_key(x, scale of x): a key whose byte order is the numeric order of exact values of
// any scale, and equal exactly when the values are. Values beyond a double's digits travel as
// decimal text, which SQLite would order as bytes above every number. The key is a sign byte,
// then the whole part and the fraction (at 38 digits) as 16-byte big-endian counts, all
// complemented for a negative value so that a larger magnitude sorts first.
void fnDecimalKey(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::optional<Decimal> d = exactOperand(argv[0], intArg(argv[1]));
    if (!d) {
        sqlite3_result_error(ctx, "Error converting data type varchar to numeric.", -1);
        return;
    }
    using Count = unsigned __int128;
    const bool negative = d->isNegative();
    const Count magnitude = Count(negative ? -d->units() : d->units());
    const Count unit = Count(pow10(d->scale()));
    const Count parts[2] = {magnitude / unit, (magnitude % unit) * Count(pow10(Decimal::kMaxScale - d->scale()))};
    unsigned char key[33];
    key[0] = negative ? 0 : 1;
    for (int part = 0; part < 2; ++part)
        for (int byte = 0; byte < 16; ++byte) {
            const auto b = static_cast<unsigned char>(parts[part] >> (8 * (15 - byte)));
            key[1 + 16 * part + byte] = negative ? static_cast<unsigned char>(~b) : b;
        }
    sqlite3_result_blob(ctx, key, int(sizeof key), SQLITE_TRANSIENT);
}

// orra_exact_min(x, scale) and orra_exact_max(x, scale): the least or greatest exact value,
// compared exactly, given as it was kept.
struct ExtremeState {
    Units units = 0;
    int scale = 0;
    bool found = false;
};

template <bool greatest> void extremeStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    auto* s = aggregateState<ExtremeState>(ctx, true);
    if (!s) return;
    const std::optional<Decimal> d = exactOperand(argv[0], intArg(argv[1]));
    if (!d) {
        sqlite3_result_error(ctx, "Error converting data type varchar to numeric.", -1);
        return;
    }
    const int order = s->found ? Decimal::compare(*d, Decimal::fromUnits(s->units, s->scale)) : 0;
    if (!s->found || (greatest ? order > 0 : order < 0)) {
        s->units = d->units();
        s->scale = d->scale();
        s->found = true;
    }
}

void extremeFinal(sqlite3_context* ctx)
{
    auto* s = aggregateState<ExtremeState>(ctx, false);
    if (!s || !s->found)
        sqlite3_result_null(ctx);
    else
        resultExact(ctx, Decimal::fromUnits(s->units, s->scale));
}

// orra_exact_min_over(x, scale) and orra_exact_max_over(x, scale): MIN and MAX over a window,
// compared exactly. A frame's values come and go (xInverse), so the state keeps them all,
// ordered, in a set that the final call frees.
using FrameValues = std::multiset<Decimal>;

FrameValues* frameValues(sqlite3_context* ctx, bool create)
{
    auto** room = static_cast<FrameValues**>(sqlite3_aggregate_context(ctx, create ? int(sizeof(FrameValues*)) : 0));
    if (!room) return nullptr;
    if (!*room && create) *room = new FrameValues;
    return *room;
}

void frameStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    const std::optional<Decimal> d = exactOperand(argv[0], intArg(argv[1]));
    if (!d) {
        sqlite3_result_error(ctx, "Error converting data type varchar to numeric.", -1);
        return;
    }
    if (FrameValues* values = frameValues(ctx, true)) values->insert(*d);
}

void frameInverse(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    const std::optional<Decimal> d = exactOperand(argv[0], intArg(argv[1]));
    FrameValues* values = frameValues(ctx, true);
    if (!d || !values) return;
    if (const auto it = values->find(*d); it != values->end()) values->erase(it);
}

template <bool greatest> void frameValue(sqlite3_context* ctx)
{
    FrameValues* values = frameValues(ctx, false);
    if (!values || values->empty())
        sqlite3_result_null(ctx);
    else
        resultExact(ctx, greatest ? *values->rbegin() : *values->begin());
}

template <bool greatest> void frameFinal(sqlite3_context* ctx)
{
    frameValue<greatest>(ctx);
    if (auto** room = static_cast<FrameValues**>(sqlite3_aggregate_context(ctx, 0))) {
        delete *room;
        *room = nullptr;
    }
}

}   // namespace

std::optional<Decimal> readExact(sqlite3_value* v, int scale)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return Decimal::fromInteger(sqlite3_value_int64(v), 0).tryRescaled(scale);
    case SQLITE_FLOAT:
        return fromDouble(sqlite3_value_double(v), scale);
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
        const QString text = QString::fromUtf8(p, sqlite3_value_bytes(v));
        const std::optional<Decimal> d = Decimal::parse(text);
        return d ? d->tryRescaled(std::max(scale, 0)) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

namespace {

// d in the form an exact value travels in (see ExactNumbers.h), handed to set.
template <class Set> void asExact(const Decimal& d, Set&& set)
{
    const Units u = d.units();
    if (d.scale() == 0 && u >= Units(std::numeric_limits<qint64>::min()) && u <= Units(std::numeric_limits<qint64>::max())) {
        set(qint64(u));
        return;
    }
    // a double carries at most 15 significant digits exactly
    if ((u < 0 ? -u : u) < pow10(15)) {
        set(d.toDouble());
        return;
    }
    set(d.toString().toLatin1());
}

}   // namespace

void resultExact(sqlite3_context* ctx, const Decimal& d)
{
    asExact(d, [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, qint64>)
            sqlite3_result_int64(ctx, v);
        else if constexpr (std::is_same_v<V, double>)
            sqlite3_result_double(ctx, v);
        else
            sqlite3_result_blob(ctx, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    });
}

void bindExact(sqlite3_stmt* st, int index, const Decimal& d)
{
    asExact(d, [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, qint64>)
            sqlite3_bind_int64(st, index, v);
        else if constexpr (std::is_same_v<V, double>)
            sqlite3_bind_double(st, index, v);
        else
            sqlite3_bind_blob(st, index, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    });
}

void registerExactNumberFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_window_function(db, "orra_exact_sum", 2, flags, nullptr, exactStep, exactFinal<false>,
        exactValue<false>, exactInverse, nullptr);
    sqlite3_create_window_function(db, "orra_exact_avg", 3, flags, nullptr, exactStep, exactFinal<true>,
        exactValue<true>, exactInverse, nullptr);
    sqlite3_create_window_function(
        db, "orra_int_avg", 1, flags, nullptr, intStep, intValue, intValue, intInverse, nullptr);
    sqlite3_create_function_v2(db, "orra_exact", 4, flags, nullptr, fnExact, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_round", 5, flags, nullptr, fnRound, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_int_check", 2, flags, nullptr, fnIntCheck, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_dec_op", 8, flags, nullptr, fnDecimalOperation, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_dec_key", 2, flags, nullptr, fnDecimalKey, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_exact_min", 2, flags, nullptr, nullptr, extremeStep<false>, extremeFinal, nullptr);
    sqlite3_create_function_v2(db, "orra_exact_max", 2, flags, nullptr, nullptr, extremeStep<true>, extremeFinal, nullptr);
    sqlite3_create_window_function(db, "orra_exact_min_over", 2, flags, nullptr, frameStep, frameFinal<false>,
        frameValue<false>, frameInverse, nullptr);
    sqlite3_create_window_function(db, "orra_exact_max_over", 2, flags, nullptr, frameStep, frameFinal<true>,
        frameValue<true>, frameInverse, nullptr);
    sqlite3_create_function_v2(db, "orra_abs", 1, flags, nullptr, fnAbs, nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
