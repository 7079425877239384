#include "platform/vbscript/Variant.h"

#include "platform/vbscript/Dispatch.h"
#include "platform/vbscript/Runtime.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QTime>
#include <cmath>
#include <cstdio>
#include <limits>

namespace orra::vbs {

// ---------------------------------------------------------------- errors

QString errorMessage(long number)
{
    static const QHash<long, const char*> messages = {
        {kInvalidProcedureCall, "Invalid procedure call or argument"},
        {kOverflow, "Overflow"},
        {kOutOfMemory, "Out of memory"},
        {kSubscriptOutOfRange, "Subscript out of range"},
        {kArrayFixedOrLocked, "This array is fixed or temporarily locked"},
        {kDivisionByZero, "Division by zero"},
        {kTypeMismatch, "Type mismatch"},
        {kOutOfStringSpace, "Out of string space"},
        {kCannotPerformOperation, "Can't perform requested operation"},
        {kOutOfStackSpace, "Out of stack space"},
        {kProcedureNotDefined, "Sub or Function not defined"},
        {kInternalError, "Internal error"},
        {kPermissionDenied, "Permission denied"},
        {kObjectNotSet, "Object variable not set"},
        {kForLoopNotInitialized, "For loop not initialized"},
        {kInvalidUseOfNull, "Invalid use of Null"},
        {kObjectRequired, "Object required"},
        {kCannotCreateObject, "ActiveX component can't create object"},
        {kMemberNotSupported, "Object doesn't support this property or method"},
        {kAutomationError, "Automation error"},
        {kUnsupportedAutomationType, "Variable uses an Automation type not supported in VBScript"},
        {kWrongArgumentCount, "Wrong number of arguments or invalid property assignment"},
        {kNotACollection, "Object not a collection"},
        {kKeyAlreadyExists, "This key is already associated with an element of this collection"},
        {kVariableUndefined, "Variable is undefined"},
        {kIllegalAssignment, "Illegal assignment"},
        {kInvalidReference, "Invalid or unqualified reference"},
        {kClassNotDefined, "Class not defined"},
        {kRegExpSyntax, "Syntax error in regular expression"},
        {kRegExpUnexpectedQuantifier, "Unexpected quantifier"},
        {kRegExpExpectedBracket, "Expected ']' in regular expression"},
        {kRegExpExpectedParen, "Expected ')' in regular expression"},
        {kRegExpInvalidRange, "Invalid range in character set"},
        {kElementNotFound, "Element not found"},
        {kCompileOutOfMemory, "Out of memory"},
        {kSyntaxError, "Syntax error"},
        {kExpectedColon, "Expected ':'"},
        {kExpectedOpenParen, "Expected '('"},
        {kExpectedCloseParen, "Expected ')'"},
        {kExpectedCloseBracket, "Expected ']'"},
        {kExpectedIdentifier, "Expected identifier"},
        {kExpectedEquals, "Expected '='"},
        {kExpectedIf, "Expected 'If'"},
        {kExpectedTo, "Expected 'To'"},
        {kExpectedEnd, "Expected 'End'"},
        {kExpectedFunction, "Expected 'Function'"},
        {kExpectedSub, "Expected 'Sub'"},
        {kExpectedThen, "Expected 'Then'"},
        {kExpectedWend, "Expected 'Wend'"},
        {kExpectedLoop, "Expected 'Loop'"},
        {kExpectedNext, "Expected 'Next'"},
        {kExpectedCase, "Expected 'Case'"},
        {kExpectedSelect, "Expected 'Select'"},
        {kExpectedExpression, "Expected expression"},
        {kExpectedStatement, "Expected statement"},
        {kExpectedEndOfStatement, "Expected end of statement"},
        {kExpectedIntegerConstant, "Expected integer constant"},
        {kExpectedWhileOrUntil, "Expected 'While' or 'Until'"},
        {kExpectedWhileUntilOrEnd, "Expected 'While', 'Until' or end of statement"},
        {kExpectedWith, "Expected 'With'"},
        {kIdentifierTooLong, "Identifier too long"},
        {kInvalidNumber, "Invalid number"},
        {kInvalidCharacter, "Invalid character"},
        {kUnterminatedString, "Unterminated string constant"},
        {kInvalidUseOfMe, "Invalid use of 'Me' keyword"},
        {kLoopWithoutDo, "'loop' without 'do'"},
        {kInvalidExit, "Invalid 'exit' statement"},
        {kInvalidForControl, "Invalid 'for' loop control variable"},
        {kNameRedefined, "Name redefined"},
        {kMustBeFirstStatement, "Must be first statement on the line"},
        {kParenthesesCallingSub, "Cannot use parentheses when calling a Sub"},
        {kExpectedLiteralConstant, "Expected literal constant"},
        {kExpectedIn, "Expected 'In'"},
        {kExpectedClass, "Expected 'Class'"},
        {kMustBeInsideClass, "Must be defined inside a Class"},
        {kExpectedPropertyKind, "Expected Let or Set or Get in property declaration"},
        {kExpectedProperty, "Expected 'Property'"},
        {kInconsistentPropertyArguments, "Number of arguments must be consistent across properties specification"},
        {kMultipleDefaults, "Cannot have multiple default property/method in a Class"},
        {kClassEventWithArguments, "Class initialize or terminate do not have arguments"},
        {kPropertyWithoutArgument, "Property set or let must have at least one argument"},
        {kUnexpectedNext, "Unexpected 'Next'"},
        {kDefaultMustBePublic, "'Default' specification must also specify 'Public'"},
        {kDefaultOnlyOnPropertyGet, "'Default' specification can only be on Property Get"},
    };
    auto it = messages.find(number);
    return it == messages.end() ? QString() : QString::fromLatin1(it.value());
}

void raise(long number) { raise(number, errorMessage(number)); }

void raiseNamed(long number, const QString& name)
{
    ErrorReport r;
    r.number = number;
    r.source = QString::fromLatin1(kRuntimeErrorSource);
    r.errDescription = errorMessage(number);
    r.description = QStringLiteral("%1: '%2'").arg(r.errDescription, name);
    throw ScriptError(std::move(r));
}

void raise(long number, const QString& description)
{
    ErrorReport r;
    r.number = number;
    r.source = QString::fromLatin1(kRuntimeErrorSource);
    r.description = description.isEmpty() ? QStringLiteral("Unknown runtime error") : description;
    throw ScriptError(std::move(r));
}

// ---------------------------------------------------------------- text helpers

QString upper(const QString& s)
{
    QString r = s;
    for (QChar& c : r) {
        char16_t u = c.unicode();
        if (u < 128) {
            if (u >= 'a' && u <= 'z') c = QChar(u - 32);
        } else
            c = c.toUpper();   // QChar's mapping is locale-independent
    }
    return r;
}

QString lower(const QString& s)
{
    QString r = s;
    for (QChar& c : r) {
        char16_t u = c.unicode();
        if (u < 128) {
            if (u >= 'A' && u <= 'Z') c = QChar(u + 32);
        } else if (u == 0x130)
            c = QChar(u'i');   // dotted capital I: its one-letter lower case
        else
            c = c.toLower();
    }
    return r;
}

QString foldCase(const QString& s) { return lower(s); }

bool equalNoCase(const QString& a, const QString& b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

static bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == QChar(0xA0); }

bool parseNumber(const QString& s, double& out)
{
    int i = 0, n = int(s.size());
    while (i < n && isBlank(s[i])) ++i;
    while (n > i && isBlank(s[n - 1])) --n;
    if (i >= n) return false;
    if (s[i] == u'&' && i + 1 < n) {
        QChar k = s[i + 1].toUpper();
        int base = k == u'H' ? 16 : k == u'O' ? 8 : 0;
        if (!base) return false;
        i += 2;
        if (i >= n) return false;
        uint64_t v = 0;
        for (; i < n; ++i) {
            int d = QChar(s[i]).digitValue();
            if (base == 16 && d < 0) {
                char16_t c = s[i].toLower().unicode();
                if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            }
            if (d < 0 || d >= base) return false;
            v = v * base + d;
            if (v > 0xFFFFFFFFull) return false;
        }
        // &H forms are 16 or 32-bit two's complement.
        if (v <= 0xFFFF)
            out = double(int16_t(uint16_t(v)));
        else
            out = double(int32_t(uint32_t(v)));
        if (v > 0x7FFF && v <= 0xFFFF && n - i > 4) out = double(v);
        return true;
    }
    QByteArray buf;
    buf.reserve(n - i);
    bool digits = false, dot = false, exp = false;
    int j = i;
    if (s[j] == u'+' || s[j] == u'-') {
        buf.append(char(s[j].unicode()));
        ++j;
    }
    for (; j < n; ++j) {
        char16_t c = s[j].unicode();
        if (c >= '0' && c <= '9') {
            digits = true;
            buf.append(char(c));
        } else if (c == '.' && !dot && !exp) {
            dot = true;
            buf.append('.');
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && digits && !exp) {
            exp = true;
            buf.append('e');
            if (j + 1 < n && (s[j + 1] == u'+' || s[j + 1] == u'-')) {
                buf.append(char(s[j + 1].unicode()));
                ++j;
            }
            if (j + 1 >= n || !s[j + 1].isDigit()) return false;
        } else if (c == ',' && digits && !dot && !exp) {
            // thousands separator
        } else
            return false;
    }
    if (!digits) return false;
    char* end = nullptr;
    out = std::strtod(buf.constData(), &end);
    return std::isfinite(out);
}

static QString trimmedNumber(const char* buf) { return QString::fromLatin1(buf); }

QString formatDouble(double d)
{
    if (d == 0) return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    return trimmedNumber(buf);
}

QString formatSingle(float f)
{
    if (f == 0) return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7G", double(f));
    return trimmedNumber(buf);
}

QString formatCurrency(int64_t scaled)
{
    bool neg = scaled < 0;
    uint64_t a = neg ? uint64_t(-(scaled + 1)) + 1 : uint64_t(scaled);
    QString r = QString::number(a / 10000);
    uint64_t frac = a % 10000;
    if (frac) {
        QString f = QString::number(frac).rightJustified(4, u'0');
        while (f.endsWith(u'0')) f.chop(1);
        r += u'.' + f;
    }
    return neg ? u'-' + r : r;
}

double roundHalfEven(double d)
{
    double r = std::nearbyint(d);   // the default rounding mode is to nearest, ties to even
    return r;
}

// ---------------------------------------------------------------- dates

static constexpr qint64 kJulianOfZero = 2415019;   // 30 December 1899

DateParts splitDate(double oa)
{
    DateParts p;
    double days = std::trunc(oa);
    double frac = std::fabs(oa - days);
    qint64 secs = qint64(std::llround(frac * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        days += oa < 0 ? -1 : 1;
    }
    QDate d = QDate::fromJulianDay(kJulianOfZero + qint64(days));
    if (d.isValid()) {
        p.year = d.year();
        p.month = d.month();
        p.day = d.day();
    }
    p.hour = int(secs / 3600);
    p.minute = int(secs / 60 % 60);
    p.second = int(secs % 60);
    return p;
}

double makeDate(int year, int month, int day)
{
    if (std::abs(year) > 100000 || std::abs(month) > 1200000 || std::abs(day) > 10000000) raise(kInvalidProcedureCall);
    if (year >= 0 && year < 30)
        year += 2000;
    else if (year >= 30 && year < 100)
        year += 1900;
    // month overflow moves the year
    int m0 = month - 1;
    int yAdd = m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    year += yAdd;
    m0 -= yAdd * 12;
    QDate first(year, m0 + 1, 1);
    if (!first.isValid() || year < 100 || year > 9999) raise(kInvalidProcedureCall);
    qint64 jd = first.toJulianDay() + (day - 1);
    double r = double(jd - kJulianOfZero);
    if (r < -657434 || r > 2958465) raise(kInvalidProcedureCall);
    return r;
}

double makeTime(int hour, int minute, int second)
{
    double secs = double(hour) * 3600 + double(minute) * 60 + second;
    return secs / 86400.0;
}

double combineDateTime(double datePart, double timePart)
{
    if (datePart < 0) return datePart - timePart;
    return datePart + timePart;
}

double nowDate()
{
    QDateTime now = QDateTime::currentDateTime();
    QDate d = now.date();
    QTime t = now.time();
    return double(d.toJulianDay() - kJulianOfZero) + makeTime(t.hour(), t.minute(), t.second());
}

int weekdayOf(double oa)
{
    DateParts p = splitDate(oa);
    return QDate(p.year, p.month, p.day).dayOfWeek() % 7 + 1;
}

static const char* const kMonthNames[] = {"January", "February", "March", "April", "May", "June", "July", "August",
    "September", "October", "November", "December"};
static const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

QString formatShortDate(double oa)
{
    DateParts p = splitDate(oa);
    return QStringLiteral("%1/%2/%3").arg(p.month).arg(p.day).arg(p.year);
}

QString formatLongDate(double oa)
{
    DateParts p = splitDate(oa);
    return QStringLiteral("%1, %2 %3, %4")
        .arg(QLatin1String(kDayNames[weekdayOf(oa) - 1]), QLatin1String(kMonthNames[p.month - 1]))
        .arg(p.day)
        .arg(p.year);
}

QString formatLongTime(double oa)
{
    DateParts p = splitDate(oa);
    int h = p.hour % 12;
    if (h == 0) h = 12;
    return QStringLiteral("%1:%2:%3 %4")
        .arg(h)
        .arg(p.minute, 2, 10, QChar(u'0'))
        .arg(p.second, 2, 10, QChar(u'0'))
        .arg(p.hour < 12 ? u"AM" : u"PM");
}

QString formatShortTime(double oa)
{
    DateParts p = splitDate(oa);
    return QStringLiteral("%1:%2").arg(p.hour, 2, 10, QChar(u'0')).arg(p.minute, 2, 10, QChar(u'0'));
}

QString formatDate(double oa)
{
    double days = std::trunc(oa);
    bool hasTime = std::fabs(oa - days) * 86400.0 >= 0.5;
    if (days == 0) return formatLongTime(oa);
    if (!hasTime) return formatShortDate(oa);
    return formatShortDate(oa) + u' ' + formatLongTime(oa);
}

static int monthFromName(const QString& w)
{
    if (w.size() < 3) return 0;
    for (int i = 0; i < 12; ++i)
        if (QString::fromLatin1(kMonthNames[i]).startsWith(w, Qt::CaseInsensitive)) return i + 1;
    return 0;
}

bool parseDate(const QString& text, double& out)
{
    // Tokens: numbers, words, separators. Accepted: M/D/Y, Y-M-D, D.M.Y, month names,
    // optional time h:m[:s] [AM|PM].
    QString s = text.trimmed();
    if (s.isEmpty()) return false;
    QList<int> nums;
    QList<QChar> seps;
    int month = 0;
    int hour = -1, minute = 0, second = 0;
    bool pm = false, am = false;
    int i = 0, n = int(s.size());
    QList<int> dateNums;
    QChar dateSep;
    while (i < n) {
        QChar c = s[i];
        if (c.isSpace() || c == u',') {
            ++i;
            continue;
        }
        if (c.isDigit()) {
            int j = i;
            long v = 0;
            while (j < n && s[j].isDigit() && j - i < 6) {
                v = v * 10 + s[j].digitValue();
                ++j;
            }
            if (j < n && s[j].isDigit()) return false;
            if (j < n && s[j] == u':') {
                // a time
                if (hour >= 0) return false;
                hour = int(v);
                ++j;
                int k = j;
                long m = 0;
                while (j < n && s[j].isDigit()) {
                    if (m > 100000) return false;
                    m = m * 10 + s[j].digitValue();
                    ++j;
                }
                if (j == k) return false;
                minute = int(m);
                if (j < n && s[j] == u':') {
                    ++j;
                    k = j;
                    long sec = 0;
                    while (j < n && s[j].isDigit()) {
                        if (sec > 100000) return false;
                        sec = sec * 10 + s[j].digitValue();
                        ++j;
                    }
                    if (j == k) return false;
                    second = int(sec);
                }
                i = j;
                continue;
            }
            dateNums.append(int(v));
            i = j;
            if (i < n && (s[i] == u'/' || s[i] == u'-' || s[i] == u'.')) {
                if (!dateSep.isNull() && dateSep != s[i]) return false;
                dateSep = s[i];
                ++i;
            }
            continue;
        }
        if (c.isLetter()) {
            int j = i;
            while (j < n && s[j].isLetter()) ++j;
            QString w = s.mid(i, j - i);
            if (equalNoCase(w, QStringLiteral("AM")) || equalNoCase(w, QStringLiteral("A")))
                am = true;
            else if (equalNoCase(w, QStringLiteral("PM")) || equalNoCase(w, QStringLiteral("P")))
                pm = true;
            else {
                int m = monthFromName(w);
                if (!m) {
                    bool day = false;
                    for (auto d : kDayNames)
                        if (QString::fromLatin1(d).startsWith(w, Qt::CaseInsensitive) && w.size() >= 3) day = true;
                    if (!day || month) return false;
                } else {
                    if (month) return false;
                    month = m;
                }
            }
            i = j;
            if (i < n && (s[i] == u'-' || s[i] == u'/' || s[i] == u'.')) ++i;
            continue;
        }
        return false;
    }
    if ((am || pm) && hour < 0) return false;
    if (hour >= 0) {
        if (am || pm) {
            if (hour < 1 || hour > 12) return false;
            if (hour == 12) hour = 0;
            if (pm) hour += 12;
        }
        if (hour > 23 || minute > 59 || second > 59) return false;
    }
    double datePart = 0;
    int y = 0, m = 0, d = 0;
    if (month) {
        if (dateNums.size() == 2) {
            // "January 5, 2020" or "5 January 2020"
            if (dateNums[0] > 31) {
                y = dateNums[0];
                d = dateNums[1];
            } else {
                d = dateNums[0];
                y = dateNums[1];
            }
        } else if (dateNums.size() == 1) {
            d = dateNums[0];
            y = splitDate(nowDate()).year;
        } else
            return false;
        m = month;
    } else if (dateNums.size() == 3) {
        if (dateNums[0] > 31 || dateSep == u'-') {
            y = dateNums[0];
            m = dateNums[1];
            d = dateNums[2];
        } else if (dateSep == u'.') {
            d = dateNums[0];
            m = dateNums[1];
            y = dateNums[2];
        } else {
            m = dateNums[0];
            d = dateNums[1];
            y = dateNums[2];
            if (m > 12 && d <= 12) std::swap(m, d);
        }
    } else if (dateNums.size() == 2) {
        m = dateNums[0];
        d = dateNums[1];
        y = splitDate(nowDate()).year;
        if (m > 12 && d <= 12) std::swap(m, d);
    } else if (dateNums.isEmpty() && hour >= 0) {
        out = makeTime(hour, minute, second);
        return true;
    } else
        return false;
    if (y < 100) y += y < 30 ? 2000 : 1900;
    if (!QDate(y, m, d).isValid() || y > 9999) return false;
    datePart = double(QDate(y, m, d).toJulianDay() - kJulianOfZero);
    out = combineDateTime(datePart, hour >= 0 ? makeTime(hour, minute, second) : 0.0);
    return true;
}

// ---------------------------------------------------------------- arrays

long VariantArray::flatIndex(const Variant* subs, size_t n) const
{
    if (n != bounds.size()) return -1;
    long idx = 0;
    for (size_t k = 0; k < n; ++k) {
        long s = subs[k].toLong() - bounds[k].lower;
        if (s < 0 || s >= bounds[k].count) return -1;
        idx = idx * bounds[k].count + s;
    }
    return idx;
}

// ---------------------------------------------------------------- Variant

void Variant::copyPayload(const Variant& o)
{
    switch (m_type) {
    case VarType::String:
        new (&m_s) QString(o.m_s);
        break;
    case VarType::Object:
        new (&m_obj) DispatchPtr(o.m_obj);
        break;
    case VarType::Array:
        new (&m_arr) ArrayPtr(o.m_arr);
        break;
    default:
        break;
    }
}

void Variant::movePayload(Variant&& o) noexcept
{
    // o keeps its subtype with an empty payload, so it stays destructible.
    switch (m_type) {
    case VarType::String:
        new (&m_s) QString(std::move(o.m_s));
        break;
    case VarType::Object:
        new (&m_obj) DispatchPtr(std::move(o.m_obj));
        break;
    case VarType::Array:
        new (&m_arr) ArrayPtr(std::move(o.m_arr));
        break;
    default:
        break;
    }
}

Variant& Variant::copyAssignSlow(const Variant& o)
{
    if (this != &o) {
        Variant copy(o);
        *this = std::move(copy);
    }
    return *this;
}

Variant& Variant::moveAssignSlow(Variant&& o) noexcept
{
    if (this != &o) {
        // o may live inside what this holds (an array element): take it out first
        Variant taken(std::move(o));
        destroyPayload();
        m_type = taken.m_type;
        m_fixedArray = taken.m_fixedArray;
        m_u = taken.m_u;
        if (hasPayload(m_type)) movePayload(std::move(taken));
    }
    return *this;
}

void Variant::destroyPayload() noexcept
{
    switch (m_type) {
    case VarType::String:
        m_s.~QString();
        break;
    case VarType::Object:
        m_obj.~DispatchPtr();
        break;
    case VarType::Array:
        m_arr.~ArrayPtr();
        break;
    default:
        break;
    }
    m_type = VarType::Empty;
}

const QString& Variant::emptyString() noexcept
{
    static const QString s;
    return s;
}
const DispatchPtr& Variant::nullObject() noexcept
{
    static const DispatchPtr p;
    return p;
}
const ArrayPtr& Variant::nullArray() noexcept
{
    static const ArrayPtr p;
    return p;
}

QString& Variant::rawStringRef() noexcept
{
    if (m_type != VarType::String) {
        destroyPayload();
        m_type = VarType::String;
        new (&m_s) QString();
    }
    return m_s;
}

Variant Variant::fromInteger(int64_t x)
{
    if (x >= INT16_MIN && x <= INT16_MAX) return integer(int16_t(x));
    if (x >= INT32_MIN && x <= INT32_MAX) return longValue(int32_t(x));
    return dbl(double(x));
}

bool Variant::isNumeric() const noexcept
{
    switch (m_type) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Byte:
        return true;
    default:
        return false;
    }
}

bool Variant::isNumericLike() const noexcept
{
    return isNumeric() || m_type == VarType::Boolean || m_type == VarType::Date || m_type == VarType::Empty;
}

VariantArray* Variant::mutableArray()
{
    if (m_type != VarType::Array || !m_arr) return nullptr;
    if (m_arr.use_count() > 1) {
        auto copy = std::make_shared<VariantArray>(*m_arr);
        copy->locks = 0;
        m_arr = std::move(copy);
    }
    return m_arr.get();
}

Variant Variant::dereferenced() const
{
    if (m_type != VarType::Object) return *this;
    if (!m_obj) raise(kObjectNotSet);
    Arguments none;
    Variant v = m_obj->getProperty(QString(), none);
    if (v.m_type == VarType::Object) raise(kMemberNotSupported);
    return v;
}

QString Variant::toString() const
{
    switch (m_type) {
    case VarType::Empty:
        return QString();
    case VarType::Null:
        raise(kInvalidUseOfNull);
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
        return QString::number(m_u.i);
    case VarType::Single:
        return formatSingle(float(m_u.d));
    case VarType::Double:
        return formatDouble(m_u.d);
    case VarType::Currency:
        return formatCurrency(m_u.i);
    case VarType::Date:
        return formatDate(m_u.d);
    case VarType::String:
        return m_s;
    case VarType::Boolean:
        return m_u.i ? QStringLiteral("True") : QStringLiteral("False");
    case VarType::Error:
        return QStringLiteral("Error %1").arg(m_u.i);
    case VarType::Object:
        return dereferenced().toString();
    default:
        raise(kTypeMismatch);
    }
}

double Variant::toDouble() const
{
    switch (m_type) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        raise(kInvalidUseOfNull);
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
        return double(m_u.i);
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        return m_u.d;
    case VarType::Currency:
        return double(m_u.i) / 10000.0;
    case VarType::String: {
        double d;
        if (parseNumber(m_s, d)) return d;
        raise(kTypeMismatch);
    }
    case VarType::Object:
        return dereferenced().toDouble();
    default:
        raise(kTypeMismatch);
    }
}

int32_t Variant::toLong() const
{
    switch (m_type) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
        return int32_t(m_u.i);
    case VarType::Empty:
        return 0;
    case VarType::Null:
        raise(kInvalidUseOfNull);
    default:
        break;
    }
    double d = roundHalfEven(toDouble());
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) raise(kOverflow);
    return int32_t(d);
}

int16_t Variant::toInteger() const
{
    double d =
        (m_type == VarType::Integer || m_type == VarType::Long || m_type == VarType::Byte || m_type == VarType::Boolean)
        ? double(m_u.i)
        : roundHalfEven(toDouble());
    if (!(d >= -32768.0 && d <= 32767.0)) raise(kOverflow);
    return int16_t(d);
}

bool Variant::toBool() const
{
    switch (m_type) {
    case VarType::Empty:
        return false;
    case VarType::Null:
        raise(kInvalidUseOfNull);
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
    case VarType::Currency:
        return m_u.i != 0;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        return m_u.d != 0;
    case VarType::String: {
        // also the forms Write # puts in files: #TRUE#, #FALSE#
        const QString t = m_s.trimmed();
        if (equalNoCase(t, QStringLiteral("True")) || equalNoCase(t, QStringLiteral("#True#"))) return true;
        if (equalNoCase(t, QStringLiteral("False")) || equalNoCase(t, QStringLiteral("#False#"))) return false;
        double d;
        if (parseNumber(m_s, d)) return d != 0;
        raise(kTypeMismatch);
    }
    case VarType::Object:
        return dereferenced().toBool();
    default:
        raise(kTypeMismatch);
    }
}

// A plain decimal text ([sign] digits [. digits], thousands separators allowed) read exactly
// as a scaled Currency, rounding the fifth decimal half to even. False for other forms (an
// exponent, &H), which go through Double; raises 6 when the value is out of range.
static bool parseCurrencyText(const QString& s, int64_t& out)
{
    int i = 0, n = int(s.size());
    while (i < n && (s[i] == u' ' || s[i] == u'\t')) ++i;
    while (n > i && (s[n - 1] == u' ' || s[n - 1] == u'\t')) --n;
    bool neg = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        neg = s[i] == u'-';
        ++i;
    }
    unsigned __int128 v = 0;
    int decimals = 0, digits = 0;
    bool dot = false, roundUp = false, sticky = false;
    int firstDropped = -1;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c >= '0' && c <= '9') {
            ++digits;
            if (dot && decimals == 4) {
                if (firstDropped < 0)
                    firstDropped = c - '0';
                else if (c != '0')
                    sticky = true;
                continue;
            }
            v = v * 10 + (c - '0');
            if (v > (unsigned __int128)(1) << 100) raise(kOverflow);
            if (dot) ++decimals;
        } else if (c == '.' && !dot)
            dot = true;
        else if (c == ',' && !dot && digits)
            continue;
        else
            return false;
    }
    if (!digits) return false;
    for (; decimals < 4; ++decimals) v *= 10;
    if (firstDropped > 5 || (firstDropped == 5 && (sticky || (v & 1)))) roundUp = true;
    if (roundUp) ++v;
    const unsigned __int128 limit = neg ? (unsigned __int128)(INT64_MAX) + 1 : (unsigned __int128)(INT64_MAX);
    if (v > limit) raise(kOverflow);
    out = neg ? int64_t(-(__int128)v) : int64_t(v);
    return true;
}

int64_t Variant::toCurrencyScaled() const
{
    switch (m_type) {
    case VarType::Currency:
        return m_u.i;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
        return m_u.i * 10000;
    case VarType::String: {
        int64_t exact;
        if (parseCurrencyText(m_s, exact)) return exact;
        break;
    }
    default:
        break;
    }
    double d = toDouble() * 10000.0;
    d = roundHalfEven(d);
    if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)) raise(kOverflow);
    return int64_t(d);
}

double Variant::toDate() const
{
    switch (m_type) {
    case VarType::Date:
        return m_u.d;
    case VarType::String: {
        double d;
        if (parseDate(m_s, d)) return d;
        if (parseNumber(m_s, d)) return d;
        raise(kTypeMismatch);
    }
    case VarType::Null:
        raise(kInvalidUseOfNull);
    default: {
        double d = toDouble();
        if (d < -657434.0 || d > 2958465.999999) raise(kOverflow);
        return d;
    }
    }
}

DispatchPtr Variant::toObject() const
{
    if (m_type != VarType::Object) raise(kObjectRequired);
    return m_obj;
}

QString Variant::typeName() const
{
    switch (m_type) {
    case VarType::Empty:
        return QStringLiteral("Empty");
    case VarType::Null:
        return QStringLiteral("Null");
    case VarType::Integer:
        return QStringLiteral("Integer");
    case VarType::Long:
        return QStringLiteral("Long");
    case VarType::Single:
        return QStringLiteral("Single");
    case VarType::Double:
        return QStringLiteral("Double");
    case VarType::Currency:
        return QStringLiteral("Currency");
    case VarType::Date:
        return QStringLiteral("Date");
    case VarType::String:
        return QStringLiteral("String");
    case VarType::Object:
        return m_obj ? m_obj->typeName() : QStringLiteral("Nothing");
    case VarType::Error:
        return QStringLiteral("Error");
    case VarType::Boolean:
        return QStringLiteral("Boolean");
    case VarType::Byte:
        return QStringLiteral("Byte");
    case VarType::Array:
        return QStringLiteral("Variant()");
    default:
        return QStringLiteral("Unknown");
    }
}

// ---------------------------------------------------------------- Dispatch defaults

Variant Dispatch::getProperty(const QString&, Arguments&) { raise(kMemberNotSupported); }
void Dispatch::putProperty(const QString&, Arguments&, const Variant&) { raise(kMemberNotSupported); }
void Dispatch::setProperty(const QString& name, Arguments& args, const Variant& value)
{
    putProperty(name, args, value);
}
Variant Dispatch::call(const QString& name, Arguments& args) { return getProperty(name, args); }
std::vector<Variant> Dispatch::enumerate() { raise(kNotACollection); }

}   // namespace orra::vbs
