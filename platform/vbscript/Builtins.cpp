// VBScript's built-in functions and constants.

#include "platform/text/AnsiCodePage.h"
#include "platform/host/UserInterface.h"
#include "platform/vbscript/Interpreter.h"
#include "platform/vbscript/Objects.h"
#include "platform/vbscript/Runtime.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTime>
#include <cmath>
#include <cstring>

namespace orra::vbs {

namespace {

using A = Arguments;

bool missing(const A& a, size_t i) { return isMissing(a, i); }

Variant val(const Variant& v) { return v.isObject() ? v.dereferenced() : v; }

QString str(const Variant& v) { return val(v).toString(); }

long lng(const Variant& v) { return val(v).toLong(); }

bool textCompareArg(const A& a, size_t i, long highest = 2)
{
    if (missing(a, i)) return false;
    long c = lng(a[i]);
    if (c < 0 || c > highest) raise(kInvalidProcedureCall);
    return c == 1;
}

Qt::CaseSensitivity cs(bool text) { return text ? Qt::CaseInsensitive : Qt::CaseSensitive; }

// ---------------------------------------------------------------- strings

Variant fLen(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) return v;
    return Variant::longValue(int32_t(v.toString().size()));
}

Variant fLeft(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    long n = lng(a[1]);
    if (n < 0) raise(kInvalidProcedureCall);
    if (v.isNull()) return v;
    return Variant::string(v.toString().left(n));
}

Variant fRight(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    long n = lng(a[1]);
    if (n < 0) raise(kInvalidProcedureCall);
    if (v.isNull()) return v;
    return Variant::string(v.toString().right(n));
}

Variant fMid(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    // A Null start or length is 94 before either is converted or checked; a Null string then
    // gives Null, as Left and Right do.
    const Variant startArg = val(a[1]);
    const Variant lenArg = missing(a, 2) ? Variant() : val(a[2]);
    if (startArg.isNull() || lenArg.isNull()) raise(kInvalidUseOfNull);
    long start = startArg.toLong();
    long len = -1;
    if (!missing(a, 2)) {
        len = lenArg.toLong();
        if (len < 0) raise(kInvalidProcedureCall);
    }
    if (start < 1) raise(kInvalidProcedureCall);
    if (v.isNull()) return v;
    QString s = v.toString();
    if (start > s.size()) return Variant::string(QString());
    return Variant::string(len < 0 ? s.mid(start - 1) : s.mid(start - 1, len));
}

Variant fInStr(Interpreter&, A& a)
{
    size_t k = 0;
    long start = 1;
    if (a.size() >= 3) {
        Variant s0 = val(a[0]);
        if (s0.isNull()) raise(kInvalidUseOfNull);
        start = s0.toLong();
        if (start < 1) raise(kInvalidProcedureCall);
        k = 1;
    } else if (a.size() < 2)
        raise(kWrongArgumentCount);
    bool text = a.size() >= 4 ? textCompareArg(a, 3) : false;
    Variant h = val(a[k]), n = val(a[k + 1]);
    if (h.isNull() || n.isNull()) return Variant::null();
    QString hs = h.toString(), ns = n.toString();
    if (start > hs.size()) return Variant::longValue(0);
    if (ns.isEmpty()) return Variant::longValue(int32_t(start));
    long r = hs.indexOf(ns, start - 1, cs(text));
    return Variant::longValue(int32_t(r + 1));
}

Variant fInStrRev(Interpreter&, A& a)
{
    Variant h = val(a[0]), n = val(a[1]);
    long start = missing(a, 2) ? -1 : lng(a[2]);
    if (start == 0 || start < -1) raise(kInvalidProcedureCall);
    bool text = textCompareArg(a, 3);
    QString hs = h.toString(), ns = n.toString();   // Null: 94, unlike InStr
    if (start == -1) start = long(hs.size());
    if (start > hs.size()) return Variant::longValue(0);
    if (ns.isEmpty()) return Variant::longValue(int32_t(start));
    long from = start - long(ns.size());
    if (from < 0) return Variant::longValue(0);
    long r = hs.lastIndexOf(ns, from, cs(text));
    return Variant::longValue(int32_t(r + 1));
}

Variant fReplace(Interpreter&, A& a)
{
    Variant e = val(a[0]);
    QString s = e.toString(), find = str(a[1]), with = str(a[2]);
    long start = missing(a, 3) ? 1 : lng(a[3]);
    long count = missing(a, 4) ? -1 : lng(a[4]);
    if (start < 1 || count < -1) raise(kInvalidProcedureCall);
    bool text = textCompareArg(a, 5);
    if (start > s.size()) return Variant::string(QString());
    s = s.mid(start - 1);   // the result starts at start
    if (find.isEmpty() || count == 0) return Variant::string(s);
    QString out;
    long pos = 0, done = 0;
    for (;;) {
        if (count >= 0 && done >= count) break;
        long hit = s.indexOf(find, pos, cs(text));
        if (hit < 0) break;
        out += QStringView(s).mid(pos, hit - pos);
        out += with;
        checkStringLength(out.size());
        pos = hit + long(find.size());
        ++done;
    }
    out += QStringView(s).mid(pos);
    return Variant::string(out);
}

QString trimSpaces(const QString& s, bool left, bool right)
{
    int i = 0, j = int(s.size());
    if (left)
        while (i < j && s[i] == u' ') ++i;
    if (right)
        while (j > i && s[j - 1] == u' ') --j;
    return s.mid(i, j - i);
}

Variant fTrim(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    return v.isNull() ? v : Variant::string(trimSpaces(v.toString(), true, true));
}
Variant fLTrim(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    return v.isNull() ? v : Variant::string(trimSpaces(v.toString(), true, false));
}
Variant fRTrim(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    return v.isNull() ? v : Variant::string(trimSpaces(v.toString(), false, true));
}
Variant fUCase(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    return v.isNull() ? v : Variant::string(upper(v.toString()));
}
Variant fLCase(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    return v.isNull() ? v : Variant::string(lower(v.toString()));
}

Variant stringArray(const QStringList& parts)
{
    auto arr = std::make_shared<VariantArray>();
    arr->bounds.push_back({0, long(parts.size())});
    arr->data.reserve(size_t(parts.size()));
    for (const QString& p : parts) arr->data.push_back(Variant::string(p));
    return Variant::array(arr);
}

Variant fSplit(Interpreter&, A& a)
{
    Variant e = val(a[0]);
    if (e.isNull()) raise(kInvalidUseOfNull);
    QString s = e.toString();
    QString d = missing(a, 1) ? QStringLiteral(" ") : str(a[1]);
    long count = missing(a, 2) ? -1 : lng(a[2]);
    bool text = textCompareArg(a, 3, 1);   // Split knows no database compare
    if (count < -1) raise(kInvalidProcedureCall);
    QStringList parts;
    if (s.isEmpty() || count == 0) return stringArray(parts);
    if (d.isEmpty()) {
        parts << s;
        return stringArray(parts);
    }
    long pos = 0;
    for (;;) {
        if (count > 0 && parts.size() == count - 1) break;
        long hit = s.indexOf(d, pos, cs(text));
        if (hit < 0) break;
        parts << s.mid(pos, hit - pos);
        pos = hit + long(d.size());
    }
    parts << s.mid(pos);
    return stringArray(parts);
}

Variant fJoin(Interpreter&, A& a)
{
    Variant arr = val(a[0]);
    if (arr.isNull()) raise(kInvalidUseOfNull);
    // Only a list joins: a scalar or an array of more dimensions is the wrong type.
    if (!arr.isArray() || arr.rawArray()->dims() > 1) raise(kTypeMismatch);
    QString d = missing(a, 1) ? QStringLiteral(" ") : str(a[1]);
    QString out;
    bool first = true;
    for (const Variant& v : arr.rawArray()->data) {
        if (!first) out += d;
        first = false;
        if (v.isNull()) raise(kTypeMismatch);
        out += val(v).toString();
        checkStringLength(out.size());
    }
    return Variant::string(out);
}

Variant fSpace(Interpreter&, A& a)
{
    long n = lng(a[0]);
    if (n < 0) raise(kInvalidProcedureCall);
    checkStringLength(n);
    return Variant::string(QString(n, u' '));
}

Variant fString(Interpreter&, A& a)
{
    long n = lng(a[0]);
    if (n < 0) raise(kInvalidProcedureCall);
    checkStringLength(n);
    Variant c = val(a[1]);
    if (c.isNull()) return c;
    QChar ch;
    if (c.isString()) {
        if (c.rawString().isEmpty()) raise(kInvalidProcedureCall);
        ch = c.rawString()[0];
    } else {
        long code = c.toLong();
        ch = text::AnsiCodePage::system().toChar(uint8_t(code & 0xFF));
    }
    return Variant::string(QString(n, ch));
}

Variant fStrComp(Interpreter&, A& a)
{
    Variant x = val(a[0]), y = val(a[1]);
    bool text = textCompareArg(a, 2);
    if (x.isNull() || y.isNull()) return Variant::null();
    int c = QString::compare(x.toString(), y.toString(), cs(text));
    return Variant::integer(int16_t(c < 0 ? -1 : c > 0 ? 1 : 0));
}

Variant fStrReverse(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) raise(kInvalidUseOfNull);
    QString s = v.toString();
    std::reverse(s.begin(), s.end());
    return Variant::string(s);
}

Variant fChr(Interpreter&, A& a)
{
    long n = lng(a[0]);
    if (n < 0 || n > 255) raise(kInvalidProcedureCall);
    return Variant::string(QString(QChar(text::AnsiCodePage::system().toChar(uint8_t(n)))));
}

Variant fChrW(Interpreter&, A& a)
{
    long n = lng(a[0]);
    if (n < -32768 || n > 65535) raise(kInvalidProcedureCall);
    return Variant::string(QString(QChar(char16_t(n & 0xFFFF))));
}

Variant fAsc(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) raise(kInvalidUseOfNull);
    QString s = v.toString();
    if (s.isEmpty()) raise(kInvalidProcedureCall);
    return Variant::integer(int16_t(text::AnsiCodePage::system().toByte(s[0].unicode())));
}

Variant fAscW(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) raise(kInvalidUseOfNull);
    QString s = v.toString();
    if (s.isEmpty()) raise(kInvalidProcedureCall);
    return Variant::integer(int16_t(s[0].unicode()));
}

Variant fFilter(Interpreter&, A& a)
{
    Variant arr = val(a[0]);
    if (!arr.isArray()) raise(kTypeMismatch);
    if (arr.rawArray()->dims() != 1) raise(kInvalidProcedureCall);
    QString v = str(a[1]);
    bool include = missing(a, 2) ? true : val(a[2]).toBool();
    bool text = textCompareArg(a, 3);
    QStringList out;
    for (const Variant& e : arr.rawArray()->data) {
        QString s = e.isNull() ? QString() : val(e).toString();
        if (s.contains(v, cs(text)) == include) out << s;
    }
    return stringArray(out);
}

// ---------------------------------------------------------------- conversions

Variant fCStr(Interpreter&, A& a) { return Variant::string(val(a[0]).toString()); }
Variant fCInt(Interpreter&, A& a) { return Variant::integer(val(a[0]).toInteger()); }
Variant fCLng(Interpreter&, A& a) { return Variant::longValue(val(a[0]).toLong()); }
Variant fCDbl(Interpreter&, A& a) { return Variant::dbl(val(a[0]).toDouble()); }
Variant fCBool(Interpreter&, A& a) { return Variant::boolean(val(a[0]).toBool()); }
Variant fCCur(Interpreter&, A& a) { return Variant::currencyScaled(val(a[0]).toCurrencyScaled()); }
Variant fCDate(Interpreter&, A& a) { return Variant::date(val(a[0]).toDate()); }

Variant fCSng(Interpreter&, A& a)
{
    double d = val(a[0]).toDouble();
    if (std::fabs(d) > 3.402823466e38) raise(kOverflow);
    return Variant::single(float(d));
}

Variant fCByte(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.type() == VarType::Boolean) return Variant::byte(v.rawInt() ? 255 : 0);   // True is all bits set
    double d = roundHalfEven(v.toDouble());
    if (d < 0 || d > 255) raise(kOverflow);
    return Variant::byte(uint8_t(d));
}

// Applies f to a number keeping its subtype (Int, Fix, Abs).
template <typename F> Variant keepType(const Variant& v0, F f)
{
    Variant v = val(v0);
    switch (v.type()) {
    case VarType::Null:
        return v;
    case VarType::Empty:
        return Variant::integer(0);
    case VarType::Boolean:
        return Variant::integer(int16_t(f(double(v.rawInt()))));
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long: {
        double r = f(double(v.rawInt()));
        if (v.type() == VarType::Integer && r >= -32768 && r <= 32767) return Variant::integer(int16_t(r));
        if (v.type() == VarType::Byte && r >= 0 && r <= 255) return Variant::byte(uint8_t(r));
        return Variant::fromInteger(int64_t(r)).type() == VarType::Integer ? Variant::longValue(int32_t(r))
                                                                           : Variant::fromInteger(int64_t(r));
    }
    case VarType::Single:
        return Variant::single(float(f(v.rawDouble())));
    case VarType::Currency: {
        double r = f(double(v.rawInt()) / 10000.0) * 10000.0;
        if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18)) raise(kOverflow);
        return Variant::currencyScaled(int64_t(r));
    }
    case VarType::Date:
        return Variant::date(f(v.rawDouble()));
    default:
        return Variant::dbl(f(v.toDouble()));
    }
}

Variant fInt(Interpreter&, A& a)
{
    return keepType(a[0], [](double d) { return std::floor(d); });
}
Variant fFix(Interpreter&, A& a)
{
    return keepType(a[0], [](double d) { return std::trunc(d); });
}
Variant fAbs(Interpreter&, A& a)
{
    return keepType(a[0], [](double d) { return std::fabs(d); });
}

Variant fRound(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    long n = missing(a, 1) ? 0 : lng(a[1]);
    if (n < 0) raise(kInvalidProcedureCall);
    if (v.isNull()) return v;
    switch (v.type()) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
        return v;
    case VarType::Empty:
        return Variant::integer(0);
    default:
        break;
    }
    double d = v.toDouble();
    double r;
    if (n == 0)
        r = roundHalfEven(d);
    else {
        double scale = std::pow(10.0, double(std::min(n, 22L)));
        double x = d * scale;
        // correct representation noise (2.345 * 100 = 234.49999...)
        double xr = std::nearbyint(x * 1e6) / 1e6;
        r = roundHalfEven(xr) / scale;
    }
    if (v.type() == VarType::Single) return Variant::single(float(r));
    if (v.type() == VarType::Currency) return Variant::currencyScaled(int64_t(std::llround(r * 10000.0)));
    return Variant::dbl(r);
}

Variant fSgn(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    double d = v.toDouble();
    return Variant::integer(int16_t(d > 0 ? 1 : d < 0 ? -1 : 0));
}

template <double (*F)(double)> Variant math1(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) return v;
    double r = F(v.toDouble());
    if (std::isnan(r)) raise(kInvalidProcedureCall);
    if (std::isinf(r)) raise(kOverflow);
    return Variant::dbl(r);
}

double dSqr(double d)
{
    if (d < 0) raise(kInvalidProcedureCall);
    return std::sqrt(d);
}
double dLog(double d)
{
    if (d <= 0) raise(kInvalidProcedureCall);
    return std::log(d);
}
double dExp(double d) { return std::exp(d); }
double dSin(double d) { return std::sin(d); }
double dCos(double d) { return std::cos(d); }
double dTan(double d) { return std::tan(d); }
double dAtn(double d) { return std::atan(d); }

QString radix(const Variant& v0, int base)
{
    Variant v = val(v0);
    uint32_t x;
    if (v.type() == VarType::Integer || v.type() == VarType::Byte || v.type() == VarType::Empty
        || v.type() == VarType::Boolean)
        x = uint16_t(int16_t(v.isEmpty() ? 0 : v.rawInt()));
    else
        x = uint32_t(v.toLong());
    return upper(QString::number(x, base));
}

Variant fHex(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    return v.isNull() ? v : Variant::string(radix(v, 16));
}
Variant fOct(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    return v.isNull() ? v : Variant::string(radix(v, 8));
}

// Rnd: a 24-bit linear congruential generator, as VBScript's.
Variant fRnd(Interpreter& in, A& a)
{
    if (!missing(a, 0)) {
        float n = float(val(a[0]).toDouble());
        if (n == 0) return Variant::single(in.rndLast);
        if (n < 0) {
            uint32_t bits;
            std::memcpy(&bits, &n, 4);
            in.rndSeed = (bits + (bits >> 24)) & 0xFFFFFF;
        }
    }
    in.rndSeed = (in.rndSeed * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFF;
    in.rndLast = float(in.rndSeed) / 16777216.0f;
    return Variant::single(in.rndLast);
}

Variant fRandomize(Interpreter& in, A& a)
{
    double n = missing(a, 0) ? double(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0 : val(a[0]).toDouble();
    uint64_t bits;
    std::memcpy(&bits, &n, 8);
    uint32_t hi = uint32_t(bits >> 32);
    hi ^= hi >> 16;
    in.rndSeed = (in.rndSeed & 0xFF) | ((hi & 0xFFFF) << 8);
    in.rndSeed &= 0xFFFFFF;
    return Variant();
}

// ---------------------------------------------------------------- tests

// The tests look through an object to its default value (IsNull(rs("col"))).
Variant tested(const Variant& v)
{
    if (!v.isObject() || !v.rawObject()) return v;
    try {
        return v.dereferenced();
    } catch (const orra::Error&) {
        return v;
    }
}

Variant fIsNull(Interpreter&, A& a) { return Variant::boolean(tested(a[0]).isNull()); }
Variant fIsEmpty(Interpreter&, A& a) { return Variant::boolean(tested(a[0]).isEmpty()); }
Variant fIsArray(Interpreter&, A& a) { return Variant::boolean(a[0].isArray()); }
Variant fIsObject(Interpreter&, A& a) { return Variant::boolean(a[0].isObject()); }

Variant fIsNumeric(Interpreter&, A& a)
{
    const Variant v = tested(a[0]);
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Byte:
    case VarType::Boolean:
        return Variant::boolean(true);
    case VarType::String: {
        double d;
        return Variant::boolean(parseNumber(v.rawString(), d));
    }
    default:
        return Variant::boolean(false);
    }
}

Variant fIsDate(Interpreter&, A& a)
{
    const Variant v = tested(a[0]);
    if (v.type() == VarType::Date) return Variant::boolean(true);
    if (v.isString()) {
        double d;
        return Variant::boolean(parseDate(v.rawString(), d));
    }
    return Variant::boolean(false);
}

Variant fTypeName(Interpreter&, A& a) { return Variant::string(a[0].typeName()); }

Variant fVarType(Interpreter&, A& a)
{
    const Variant& v = a[0];
    if (v.isObject() && v.rawObject()) {
        // an object with a default value reports that value's type
        try {
            Arguments none;
            Variant d = v.rawObject()->getProperty(QString(), none);
            if (!d.isObject()) return Variant::integer(int16_t(d.varType()));
        } catch (const orra::Error&) {
        }
    }
    return Variant::integer(int16_t(v.varType()));
}

Variant bound(A& a, bool upperBound)
{
    const Variant& v = a[0];
    if (!v.isArray()) raise(kTypeMismatch);
    long dim = missing(a, 1) ? 1 : lng(a[1]);
    const VariantArray& arr = *v.rawArray();
    if (dim < 1 || dim > arr.dims()) raise(kSubscriptOutOfRange);
    const auto& b = arr.bounds[size_t(dim - 1)];
    return Variant::longValue(int32_t(upperBound ? b.lower + b.count - 1 : b.lower));
}

Variant fUBound(Interpreter&, A& a) { return bound(a, true); }
Variant fLBound(Interpreter&, A& a) { return bound(a, false); }

Variant fArray(Interpreter&, A& a)
{
    auto arr = std::make_shared<VariantArray>();
    arr->bounds.push_back({0, long(a.size())});
    arr->data = a;
    return Variant::array(arr);
}

// ---------------------------------------------------------------- dates

Variant fNow(Interpreter&, A&) { return Variant::date(nowDate()); }
Variant fDate(Interpreter&, A&) { return Variant::date(std::trunc(nowDate())); }
Variant fTime(Interpreter&, A&)
{
    double n = nowDate();
    return Variant::date(n - std::trunc(n));
}

Variant fTimer(Interpreter&, A&)
{
    QTime t = QTime::currentTime();
    return Variant::single(float(t.msecsSinceStartOfDay()) / 1000.0f);
}

template <int Part> Variant datePart(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) return v;
    DateParts p = splitDate(v.toDate());
    int r = Part == 0 ? p.year
        : Part == 1   ? p.month
        : Part == 2   ? p.day
        : Part == 3   ? p.hour
        : Part == 4   ? p.minute
                      : p.second;
    return Variant::integer(int16_t(r));
}

int firstDayArg(const A& a, size_t i)
{
    if (missing(a, i)) return 1;
    long f = lng(a[i]);
    if (f < 0 || f > 7) raise(kInvalidProcedureCall);
    return f == 0 ? 1 : int(f);
}

Variant fWeekday(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    int fd = firstDayArg(a, 1);   // checked first: a Null one is 94, also with a Null date
    if (v.isNull()) return v;
    int w = weekdayOf(v.toDate());
    return Variant::integer(int16_t((w - fd + 7) % 7 + 1));
}

const char* const kMonths[] = {"January", "February", "March", "April", "May", "June", "July", "August", "September",
    "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

Variant fWeekdayName(Interpreter&, A& a)
{
    long n = lng(a[0]);
    bool abbr = missing(a, 1) ? false : val(a[1]).toBool();
    int fd = firstDayArg(a, 2);
    if (n < 1 || n > 7) raise(kInvalidProcedureCall);
    int idx = int((n - 1 + fd - 1) % 7);
    QString s = QString::fromLatin1(kDays[idx]);
    return Variant::string(abbr ? s.left(3) : s);
}

Variant fMonthName(Interpreter&, A& a)
{
    long n = lng(a[0]);
    bool abbr = missing(a, 1) ? false : val(a[1]).toBool();
    if (n < 1 || n > 12) raise(kInvalidProcedureCall);
    QString s = QString::fromLatin1(kMonths[n - 1]);
    return Variant::string(abbr ? s.left(3) : s);
}

Variant fDateSerial(Interpreter&, A& a)
{
    return Variant::date(makeDate(int(lng(a[0])), int(lng(a[1])), int(lng(a[2]))));   // checks its ranges
}

double secondsToDate(double abs)
{
    double days = std::floor(abs / 86400);
    double rem = abs - days * 86400;
    return days < 0 ? days - rem / 86400 : days + rem / 86400;
}

Variant fTimeSerial(Interpreter&, A& a)
{
    double secs = double(lng(a[0])) * 3600 + double(lng(a[1])) * 60 + double(lng(a[2]));
    return Variant::date(secondsToDate(secs));
}

Variant fDateValue(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) return v;
    double d = v.toDate();
    return Variant::date(std::trunc(d));
}

Variant fTimeValue(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) return v;
    double d = v.toDate();
    return Variant::date(std::fabs(d - std::trunc(d)));
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval intervalArg(const Variant& v)
{
    QString s = lower(str(v));
    if (s == u"yyyy") return Interval::Year;
    if (s == u"q") return Interval::Quarter;
    if (s == u"m") return Interval::Month;
    if (s == u"y") return Interval::DayOfYear;
    if (s == u"d") return Interval::Day;
    if (s == u"w") return Interval::Weekday;
    if (s == u"ww") return Interval::Week;
    if (s == u"h") return Interval::Hour;
    if (s == u"n") return Interval::Minute;
    if (s == u"s") return Interval::Second;
    raise(kInvalidProcedureCall);
}

double addMonths(double d, long months)
{
    DateParts p = splitDate(d);
    long total = long(p.year) * 12 + (p.month - 1) + months;
    int y = int(total / 12), m = int(total % 12) + 1;
    if (y < 100 || y > 9999) raise(kInvalidProcedureCall);
    int dim = QDate(y, m, 1).daysInMonth();
    int day = std::min(p.day, dim);
    double base = double(QDate(y, m, day).toJulianDay() - 2415019);
    double frac = std::fabs(d - std::trunc(d));
    return combineDateTime(base, frac);
}

Variant fDateAdd(Interpreter&, A& a)
{
    Interval iv = intervalArg(a[0]);
    Variant nv = val(a[1]);
    Variant dv = val(a[2]);
    if (dv.isNull()) return dv;
    double n = std::trunc(nv.toDouble());
    if (std::fabs(n) > 1e9) raise(kInvalidProcedureCall);
    double d = dv.toDate();
    double r;
    switch (iv) {
    case Interval::Year:
        r = addMonths(d, long(n) * 12);
        break;
    case Interval::Quarter:
        r = addMonths(d, long(n) * 3);
        break;
    case Interval::Month:
        r = addMonths(d, long(n));
        break;
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday:
        r = d + n;
        break;
    case Interval::Week:
        r = d + n * 7;
        break;
    default: {
        double secs = iv == Interval::Hour ? n * 3600 : iv == Interval::Minute ? n * 60 : n;
        // work in whole seconds to keep the time part exact
        DateParts p = splitDate(d);
        double day = std::trunc(d);
        double t = double(p.hour) * 3600 + p.minute * 60 + p.second;
        double abs = day * 86400 + t + secs;
        r = secondsToDate(abs);
        break;
    }
    }
    if (r < -657434.0 || r >= 2958466.0) raise(kInvalidProcedureCall);
    return Variant::date(r);
}

long long dayNumber(double d) { return (long long)std::floor(d + 1e-9); }

Variant fDateDiff(Interpreter&, A& a)
{
    Interval iv = intervalArg(a[0]);
    Variant v1 = val(a[1]), v2 = val(a[2]);
    if (v1.isNull() || v2.isNull()) return Variant::null();
    double d1 = v1.toDate(), d2 = v2.toDate();
    int fd = firstDayArg(a, 3);
    DateParts p1 = splitDate(d1), p2 = splitDate(d2);
    auto secsOf = [](double d) {
        DateParts p = splitDate(d);
        double day = std::trunc(d);
        double t = double(p.hour) * 3600 + p.minute * 60 + p.second;
        return day * 86400 + t;
    };
    long long r = 0;
    switch (iv) {
    case Interval::Year:
        r = p2.year - p1.year;
        break;
    case Interval::Quarter:
        r = (p2.year * 4 + (p2.month - 1) / 3) - (p1.year * 4 + (p1.month - 1) / 3);
        break;
    case Interval::Month:
        r = (p2.year * 12LL + p2.month) - (p1.year * 12LL + p1.month);
        break;
    case Interval::DayOfYear:
    case Interval::Day:
        r = dayNumber(std::trunc(d2)) - dayNumber(std::trunc(d1));
        break;
    case Interval::Weekday:
        r = (dayNumber(std::trunc(d2)) - dayNumber(std::trunc(d1))) / 7;
        break;
    case Interval::Week: {
        // number of first-days-of-week between the two dates
        auto weekStart = [fd](double d) {
            long long n = dayNumber(std::trunc(d));
            int w = weekdayOf(std::trunc(d));
            return n - ((w - fd + 7) % 7);
        };
        r = (weekStart(d2) - weekStart(d1)) / 7;
        break;
    }
    case Interval::Hour:
        r = (long long)std::floor(secsOf(d2) / 3600) - (long long)std::floor(secsOf(d1) / 3600);
        break;
    case Interval::Minute:
        r = (long long)std::floor(secsOf(d2) / 60) - (long long)std::floor(secsOf(d1) / 60);
        break;
    case Interval::Second:
        r = (long long)(secsOf(d2) - secsOf(d1));
        break;
    }
    return Variant::fromInteger(r).type() == VarType::Integer ? Variant::longValue(int32_t(r))
                                                              : Variant::fromInteger(r);
}

Variant fDatePart(Interpreter&, A& a)
{
    Interval iv = intervalArg(a[0]);
    Variant v = val(a[1]);
    if (v.isNull()) return v;
    double d = v.toDate();
    int fd = firstDayArg(a, 2);
    DateParts p = splitDate(d);
    QDate qd(p.year, p.month, p.day);
    int r = 0;
    switch (iv) {
    case Interval::Year:
        r = p.year;
        break;
    case Interval::Quarter:
        r = (p.month - 1) / 3 + 1;
        break;
    case Interval::Month:
        r = p.month;
        break;
    case Interval::DayOfYear:
        r = qd.dayOfYear();
        break;
    case Interval::Day:
        r = p.day;
        break;
    case Interval::Weekday:
        r = (weekdayOf(d) - fd + 7) % 7 + 1;
        break;
    case Interval::Week: {
        // week of the year, the week holding 1 January being week 1
        QDate jan1(p.year, 1, 1);
        int w1 = jan1.dayOfWeek() % 7 + 1;
        int offset = (w1 - fd + 7) % 7;
        r = (qd.dayOfYear() - 1 + offset) / 7 + 1;
        break;
    }
    case Interval::Hour:
        r = p.hour;
        break;
    case Interval::Minute:
        r = p.minute;
        break;
    case Interval::Second:
        r = p.second;
        break;
    }
    return Variant::integer(int16_t(r));
}

// ---------------------------------------------------------------- formatting

int tristate(const A& a, size_t i, int def)
{
    if (missing(a, i)) return def;
    long v = lng(a[i]);
    if (v == -2) return def;
    return v != 0 ? 1 : 0;
}

QString formatFixed(double d, long digits, bool leadingZero, bool parens, bool group)
{
    if (digits < 0) digits = 2;
    if (digits > 255) raise(kInvalidProcedureCall);
    double scale = std::pow(10.0, double(std::min(digits, 22L)));
    double r = std::round(std::fabs(d) * scale + 1e-9 * 0) / scale;   // half away from zero, as the format routines do
    bool neg = d < 0 && r != 0;
    QString s = QString::number(r, 'f', int(digits));
    QString intPart = s, frac;
    int dot = int(s.indexOf(u'.'));
    if (dot >= 0) {
        intPart = s.left(dot);
        frac = s.mid(dot + 1);
    }
    if (group) {
        QString g;
        int n = int(intPart.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0) g += u',';
            g += intPart[i];
        }
        intPart = g;
    }
    if (intPart == u"0" && !leadingZero && digits > 0) intPart.clear();
    QString out = intPart;
    if (digits > 0) out += u'.' + frac;
    if (neg) out = parens ? u'(' + out + u')' : u'-' + out;
    return out;
}

Variant fFormatNumber(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) raise(kTypeMismatch);
    long digits = missing(a, 1) ? -1 : lng(a[1]);
    return Variant::string(formatFixed(v.toDouble(), digits, tristate(a, 2, 1), tristate(a, 3, 0), tristate(a, 4, 1)));
}

Variant fFormatCurrency(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) raise(kTypeMismatch);
    long digits = missing(a, 1) ? -1 : lng(a[1]);
    double d = v.toDouble();
    bool parens = tristate(a, 3, 1);
    QString s = formatFixed(std::fabs(d), digits, tristate(a, 2, 1), false, tristate(a, 4, 1));
    s = u'$' + s;
    bool neg = d < 0
        && formatFixed(std::fabs(d), digits, true, false, false).contains(QRegularExpression(QStringLiteral("[1-9]")));
    if (neg) s = parens ? u'(' + s + u')' : u'-' + s;
    return Variant::string(s);
}

Variant fFormatPercent(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) raise(kTypeMismatch);
    long digits = missing(a, 1) ? -1 : lng(a[1]);
    return Variant::string(
        formatFixed(v.toDouble() * 100.0, digits, tristate(a, 2, 1), tristate(a, 3, 0), tristate(a, 4, 1)) + u'%');
}

Variant fFormatDateTime(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) raise(kTypeMismatch);
    double d = v.toDate();
    long f = missing(a, 1) ? 0 : lng(a[1]);
    switch (f) {
    case 0:
        return Variant::string(formatDate(d));
    case 1:
        return Variant::string(formatLongDate(d));
    case 2:
        return Variant::string(formatShortDate(d));
    case 3:
        return Variant::string(formatLongTime(d));
    case 4:
        return Variant::string(formatShortTime(d));
    default:
        raise(kInvalidProcedureCall);
    }
}

// ---------------------------------------------------------------- the host

Variant fMsgBox(Interpreter& in, A& a)
{
    if (!in.allowUI) raise(kPermissionDenied);
    QString prompt = val(a[0]).isNull() ? QStringLiteral("Null") : str(a[0]);
    int style = missing(a, 1) ? 0 : int(lng(a[1]));
    QString title = missing(a, 2) ? QString() : str(a[2]);
    return Variant::integer(int16_t(in.ui().messageBox(prompt, style, title)));
}

Variant fInputBox(Interpreter& in, A& a)
{
    if (!in.allowUI) raise(kPermissionDenied);
    QString prompt = str(a[0]);
    QString title = missing(a, 1) ? QString() : str(a[1]);
    QString def = missing(a, 2) ? QString() : str(a[2]);
    bool cancelled = false;
    QString r = in.ui().inputBox(prompt, title, def, &cancelled);
    if (cancelled) return Variant::string(QString());
    return Variant::string(r);
}

Variant fGetRef(Interpreter& in, A& a)
{
    std::shared_ptr<Proc> p = in.globalProc(str(a[0]));
    if (!p) raise(kInvalidProcedureCall);
    return Variant::object(std::make_shared<ProcRef>(std::move(p), &in));
}

// ---------------------------------------------------------------- engine, colours, URL escapes

Variant fScriptEngine(Interpreter&, A&) { return Variant::string(QStringLiteral("VBScript")); }
Variant fScriptEngineMajorVersion(Interpreter&, A&) { return Variant::longValue(5); }
Variant fScriptEngineMinorVersion(Interpreter&, A&) { return Variant::longValue(8); }
Variant fScriptEngineBuildVersion(Interpreter&, A&) { return Variant::longValue(16384); }

// Scripts format and read numbers and dates the United States way (locale 1033) only.
constexpr long kLocaleUS = 1033;
Variant fGetLocale(Interpreter&, A&) { return Variant::longValue(kLocaleUS); }
Variant fSetLocale(Interpreter&, A& a)
{
    if (!missing(a, 0)) {
        Variant v = val(a[0]);
        const bool us = v.isString() ? (v.rawString().isEmpty() || equalNoCase(v.rawString(), QStringLiteral("en-us")))
                                     : (v.toLong() == 0 || v.toLong() == kLocaleUS);
        if (!us) raise(kInvalidProcedureCall);
    }
    return Variant::longValue(kLocaleUS);
}

Variant fRGB(Interpreter&, A& a)
{
    int32_t c[3];
    for (int i = 0; i < 3; ++i) {
        const long v = lng(a[size_t(i)]);
        if (v < 0) raise(kInvalidProcedureCall);
        c[i] = int32_t(std::min(v, 255L));
    }
    return Variant::longValue(c[0] + c[1] * 256 + c[2] * 65536);
}

Variant fEscape(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) return v;
    const QString s = v.toString();
    static const char* const hex = "0123456789ABCDEF";
    QString out;
    out.reserve(s.size() * 3);
    for (QChar ch : s) {
        const char16_t c = ch.unicode();
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '@'
            || c == '*' || c == '_' || c == '+' || c == '-' || c == '.' || c == '/';
        if (keep)
            out += ch;
        else if (c < 256) {
            out += u'%';
            out += QChar(hex[c >> 4]);
            out += QChar(hex[c & 15]);
        } else {
            out += QStringLiteral("%u");
            for (int sh = 12; sh >= 0; sh -= 4) out += QChar(hex[(c >> sh) & 15]);
        }
    }
    return Variant::string(out);
}

Variant fUnescape(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) return v;
    const QString s = v.toString();
    auto hexAt = [&](qsizetype i, int count, char16_t& out) {
        if (i + count > s.size()) return false;
        out = 0;
        for (int k = 0; k < count; ++k) {
            const int d = QChar(s[i + k]).digitValue();
            const char16_t c = s[i + k].toLower().unicode();
            const int x = (d >= 0 && d <= 9) ? d : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (x < 0) return false;
            out = char16_t(out * 16 + x);
        }
        return true;
    };
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        char16_t c;
        if (s[i] == u'%') {
            // %uXXXX and %XX decode; any other % stays as written
            if (i + 1 < s.size() && (s[i + 1] == u'u' || s[i + 1] == u'U') && hexAt(i + 2, 4, c)) {
                out += QChar(c);
                i += 5;
                continue;
            }
            if (hexAt(i + 1, 2, c)) {
                out += QChar(c);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return Variant::string(out);
}

// Byte-string measures of ordinary (two bytes a character) strings.
Variant fLenB(Interpreter&, A& a)
{
    Variant v = val(a[0]);
    if (v.isNull()) return v;
    return Variant::longValue(int32_t(v.toString().size() * 2));
}

Variant fAscB(Interpreter&, A& a)
{
    const QString s = str(a[0]);
    if (s.isEmpty()) raise(kInvalidProcedureCall);
    return Variant::integer(int16_t(s[0].unicode() & 0xFF));
}

Variant fCreateObject(Interpreter& in, A& a) { return Variant::object(in.createObject(str(a[0]))); }

Variant fEval(Interpreter& in, A& a) { return in.evalLocal(str(a[0])); }
Variant fExecute(Interpreter& in, A& a)
{
    in.executeLocal(str(a[0]));
    return Variant();
}
Variant fExecuteGlobal(Interpreter& in, A& a)
{
    in.executeGlobal(str(a[0]));
    return Variant();
}

}   // namespace

const QHash<QString, Builtin>& builtins()
{
    static const QHash<QString, Builtin> table = {
        {"Len", {fLen, 1, 1}},
        {"Left", {fLeft, 2, 2}},
        {"Right", {fRight, 2, 2}},
        {"Mid", {fMid, 2, 3}},
        {"InStr", {fInStr, 2, 4}},
        {"InStrRev", {fInStrRev, 2, 4}},
        {"Replace", {fReplace, 3, 6}},
        {"Trim", {fTrim, 1, 1}},
        {"LTrim", {fLTrim, 1, 1}},
        {"RTrim", {fRTrim, 1, 1}},
        {"UCase", {fUCase, 1, 1}},
        {"LCase", {fLCase, 1, 1}},
        {"Split", {fSplit, 1, 4}},
        {"Join", {fJoin, 1, 2}},
        {"Space", {fSpace, 1, 1}},
        {"String", {fString, 2, 2}},
        {"StrComp", {fStrComp, 2, 3}},
        {"StrReverse", {fStrReverse, 1, 1}},
        {"Chr", {fChr, 1, 1}},
        {"Asc", {fAsc, 1, 1}},
        {"ChrW", {fChrW, 1, 1}},
        {"AscW", {fAscW, 1, 1}},
        {"Filter", {fFilter, 2, 4}},
        {"CStr", {fCStr, 1, 1}},
        {"CInt", {fCInt, 1, 1, true}},
        {"CLng", {fCLng, 1, 1, true}},
        {"CDbl", {fCDbl, 1, 1, true}},
        {"CSng", {fCSng, 1, 1, true}},
        {"CBool", {fCBool, 1, 1}},
        {"CByte", {fCByte, 1, 1, true}},
        {"CDate", {fCDate, 1, 1, true}},
        {"CCur", {fCCur, 1, 1, true}},
        {"Int", {fInt, 1, 1}},
        {"Fix", {fFix, 1, 1}},
        {"Round", {fRound, 1, 2}},
        {"Abs", {fAbs, 1, 1}},
        {"Sgn", {fSgn, 1, 1}},
        {"Sqr", {math1<dSqr>, 1, 1}},
        {"Exp", {math1<dExp>, 1, 1}},
        {"Log", {math1<dLog>, 1, 1}},
        {"Sin", {math1<dSin>, 1, 1}},
        {"Cos", {math1<dCos>, 1, 1}},
        {"Tan", {math1<dTan>, 1, 1}},
        {"Atn", {math1<dAtn>, 1, 1}},
        {"Hex", {fHex, 1, 1}},
        {"Oct", {fOct, 1, 1}},
        {"Rnd", {fRnd, 0, 1}},
        {"Randomize", {fRandomize, 0, 1, false, true}},
        {"IsNull", {fIsNull, 1, 1}},
        {"IsEmpty", {fIsEmpty, 1, 1}},
        {"IsNumeric", {fIsNumeric, 1, 1}},
        {"IsDate", {fIsDate, 1, 1}},
        {"IsArray", {fIsArray, 1, 1}},
        {"IsObject", {fIsObject, 1, 1}},
        {"TypeName", {fTypeName, 1, 1}},
        {"VarType", {fVarType, 1, 1}},
        {"UBound", {fUBound, 1, 2}},
        {"LBound", {fLBound, 1, 2}},
        {"Array", {fArray, 0, 100000}},
        {"Now", {fNow, 0, 0}},
        {"Date", {fDate, 0, 0}},
        {"Time", {fTime, 0, 0}},
        {"Timer", {fTimer, 0, 0}},
        {"Year", {datePart<0>, 1, 1}},
        {"Month", {datePart<1>, 1, 1}},
        {"Day", {datePart<2>, 1, 1}},
        {"Hour", {datePart<3>, 1, 1}},
        {"Minute", {datePart<4>, 1, 1}},
        {"Second", {datePart<5>, 1, 1}},
        {"Weekday", {fWeekday, 1, 2}},
        {"WeekdayName", {fWeekdayName, 1, 3}},
        {"MonthName", {fMonthName, 1, 2}},
        {"DateAdd", {fDateAdd, 3, 3}},
        {"DateDiff", {fDateDiff, 3, 5}},
        {"DatePart", {fDatePart, 2, 4}},
        {"DateSerial", {fDateSerial, 3, 3}},
        {"TimeSerial", {fTimeSerial, 3, 3}},
        {"DateValue", {fDateValue, 1, 1}},
        {"TimeValue", {fTimeValue, 1, 1}},
        {"FormatNumber", {fFormatNumber, 1, 5}},
        {"FormatCurrency", {fFormatCurrency, 1, 5}},
        {"FormatPercent", {fFormatPercent, 1, 5}},
        {"FormatDateTime", {fFormatDateTime, 1, 2}},
        {"MsgBox", {fMsgBox, 1, 5}},
        {"InputBox", {fInputBox, 1, 7}},
        {"CreateObject", {fCreateObject, 1, 2}},
        {"GetRef", {fGetRef, 1, 1}},
        {"RGB", {fRGB, 3, 3}},
        {"Escape", {fEscape, 1, 1}},
        {"Unescape", {fUnescape, 1, 1}},
        {"ScriptEngine", {fScriptEngine, 0, 0}},
        {"ScriptEngineMajorVersion", {fScriptEngineMajorVersion, 0, 0}},
        {"ScriptEngineMinorVersion", {fScriptEngineMinorVersion, 0, 0}},
        {"ScriptEngineBuildVersion", {fScriptEngineBuildVersion, 0, 0}},
        {"GetLocale", {fGetLocale, 0, 0}},
        {"SetLocale", {fSetLocale, 0, 1}},
        {"LenB", {fLenB, 1, 1}},
        {"AscB", {fAscB, 1, 1}},
        {"Eval", {fEval, 1, 1}},
        {"Execute", {fExecute, 1, 1}},
        {"ExecuteGlobal", {fExecuteGlobal, 1, 1}},
    };
    return table;
}

void installConstants(QHash<QString, Variant>& c)
{
    auto i = [](long v) { return Variant::fromInteger(v); };
    auto l = [](long v) { return Variant::longValue(int32_t(v)); };
    c.insert("vbCr", QStringLiteral("\r"));
    c.insert("vbLf", QStringLiteral("\n"));
    c.insert("vbCrLf", QStringLiteral("\r\n"));
    c.insert("vbNewLine", QStringLiteral("\r\n"));
    c.insert("vbTab", QStringLiteral("\t"));
    c.insert("vbFormFeed", QStringLiteral("\f"));
    c.insert("vbVerticalTab", QStringLiteral("\v"));
    c.insert("vbNullChar", Variant::string(QString(QChar(0))));
    c.insert("vbNullString", Variant::string(QString()));
    c.insert("vbTrue", i(-1));
    c.insert("vbFalse", i(0));
    c.insert("vbUseDefault", i(-2));
    c.insert("vbBinaryCompare", i(0));
    c.insert("vbTextCompare", i(1));
    c.insert("vbDatabaseCompare", i(2));
    const std::pair<const char*, long> numbers[] = {
        {"vbOKOnly", 0},
        {"vbOKCancel", 1},
        {"vbAbortRetryIgnore", 2},
        {"vbYesNoCancel", 3},
        {"vbYesNo", 4},
        {"vbRetryCancel", 5},
        {"vbCritical", 16},
        {"vbQuestion", 32},
        {"vbExclamation", 48},
        {"vbInformation", 64},
        {"vbDefaultButton1", 0},
        {"vbDefaultButton2", 256},
        {"vbDefaultButton3", 512},
        {"vbDefaultButton4", 768},
        {"vbApplicationModal", 0},
        {"vbSystemModal", 4096},
        {"vbOK", 1},
        {"vbCancel", 2},
        {"vbAbort", 3},
        {"vbRetry", 4},
        {"vbIgnore", 5},
        {"vbYes", 6},
        {"vbNo", 7},
        {"vbSunday", 1},
        {"vbMonday", 2},
        {"vbTuesday", 3},
        {"vbWednesday", 4},
        {"vbThursday", 5},
        {"vbFriday", 6},
        {"vbSaturday", 7},
        {"vbUseSystemDayOfWeek", 0},
        {"vbFirstJan1", 1},
        {"vbFirstFourDays", 2},
        {"vbFirstFullWeek", 3},
        {"vbUseSystem", 0},
        {"vbGeneralDate", 0},
        {"vbLongDate", 1},
        {"vbShortDate", 2},
        {"vbLongTime", 3},
        {"vbShortTime", 4},
        {"vbEmpty", 0},
        {"vbNull", 1},
        {"vbInteger", 2},
        {"vbLong", 3},
        {"vbSingle", 4},
        {"vbDouble", 5},
        {"vbCurrency", 6},
        {"vbDate", 7},
        {"vbString", 8},
        {"vbObject", 9},
        {"vbError", 10},
        {"vbBoolean", 11},
        {"vbVariant", 12},
        {"vbDataObject", 13},
        {"vbDecimal", 14},
        {"vbByte", 17},
        {"vbArray", 8192},
    };
    for (auto& [name, v] : numbers) c.insert(QString::fromLatin1(name), i(v));
    const std::pair<const char*, long> longs[] = {
        {"vbObjectError", -2147221504L},
        {"vbBlack", 0},
        {"vbRed", 255},
        {"vbGreen", 65280},
        {"vbYellow", 65535},
        {"vbBlue", 16711680},
        {"vbMagenta", 16711935},
        {"vbCyan", 16776960},
        {"vbWhite", 16777215},
        {"vbMsgBoxHelpButton", 16384},
        {"vbMsgBoxSetForeground", 65536},
        {"vbMsgBoxRight", 524288},
        {"vbMsgBoxRtlReading", 1048576},
    };
    for (auto& [name, v] : longs) c.insert(QString::fromLatin1(name), l(v));
}

}   // namespace orra::vbs
