#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/embedded/SqliteValues.h"

#include <QDate>
#include <QRegularExpression>
#include <QDateTime>
#include <QTimeZone>

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace orra::embedded::dates {

namespace {

// ---- the date parts -----------------------------------------------------------------------

enum class Part {
    Year, Quarter, Month, DayOfYear, Day, Week, Weekday, Hour, Minute, Second, Millisecond, Microsecond,
    Nanosecond, TzOffset, IsoWeek, None
};

const struct {
    Part part;
    const char* name;
    const char* abbreviations[3];
} kParts[] = {
    {Part::Year, "year", {"yy", "yyyy", nullptr}},
    {Part::Quarter, "quarter", {"qq", "q", nullptr}},
    {Part::Month, "month", {"mm", "m", nullptr}},
    {Part::DayOfYear, "dayofyear", {"dy", "y", nullptr}},
    {Part::Day, "day", {"dd", "d", nullptr}},
    {Part::Week, "week", {"wk", "ww", nullptr}},
    {Part::Weekday, "weekday", {"dw", "w", nullptr}},
    {Part::Hour, "hour", {"hh", nullptr, nullptr}},
    {Part::Minute, "minute", {"mi", "n", nullptr}},
    {Part::Second, "second", {"ss", "s", nullptr}},
    {Part::Millisecond, "millisecond", {"ms", nullptr, nullptr}},
    {Part::Microsecond, "microsecond", {"mcs", nullptr, nullptr}},
    {Part::Nanosecond, "nanosecond", {"ns", nullptr, nullptr}},
    {Part::TzOffset, "tzoffset", {"tz", nullptr, nullptr}},
    {Part::IsoWeek, "iso_week", {"isowk", "isoww", nullptr}},
};

Part partNamed(QStringView word)
{
    for (const auto& p : kParts) {
        if (word.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0) return p.part;
        for (const char* a : p.abbreviations)
            if (a && word.compare(QLatin1String(a), Qt::CaseInsensitive) == 0) return p.part;
    }
    return Part::None;
}

const char* partName(Part part)
{
    for (const auto& p : kParts)
        if (p.part == part) return p.name;
    return "";
}

// ---- SQLite plumbing ----------------------------------------------------------------------

Settings& settingsOf(sqlite3_context* ctx)
{
    static Settings defaults;
    auto* s = static_cast<Settings*>(sqlite3_user_data(ctx));
    return s ? *s : defaults;
}

bool anyNull(int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

const char* sqlTypeOf(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return "int";
    case SQLITE_FLOAT:
        return "float";
    case SQLITE_BLOB:
        return "varbinary";
    default:
        return "varchar";
    }
}

// A date argument of a function: a value's canonical text keeps its type; other text is read
// as the server reads a literal here (datetime2, datetimeoffset when it has an offset); a
// number counts days from 1900-01-01 as datetime. False with the error set.
bool readDate(sqlite3_context* ctx, sqlite3_value* arg, Canonical& out)
{
    const int type = sqlite3_value_type(arg);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        const Conversion c = fromDays(sqlite3_value_double(arg), Type{Kind::DateTime, 3});
        if (!c.ok()) {
            resultError(ctx, failureMessage(c.failure, Type{Kind::DateTime, 3}, QString::fromLatin1(sqlTypeOf(arg))));
            return false;
        }
        out = {Type{Kind::DateTime, 3}, c.value};
        return true;
    }
    if (type == SQLITE_BLOB) {
        resultError(
            ctx, QStringLiteral("Argument data type varbinary is invalid for argument 2 of the date function."));
        return false;
    }
    const QString text = textOf(arg);
    if (const auto c = readCanonical(text)) {
        out = *c;
        return true;
    }
    Type wide{Kind::DateTimeOffset, 7};
    Conversion c = fromText(text, wide, settingsOf(ctx));
    if (!c.ok()) {
        resultError(ctx, failureMessage(c.failure, Type{Kind::DateTime2, 7}));
        return false;
    }
    if (!c.hasOffset) wide = Type{Kind::DateTime2, 7};
    out = {wide, c.value};
    return true;
}

// The type the translator knew for a date argument ('datetime2(3)', or null), where the text
// alone cannot tell it: datetime2(3) reads as datetime and datetime2(0) as smalldatetime.
void takeDeclaredType(Canonical& c, sqlite3_value* declaredType)
{
    if (sqlite3_value_type(declaredType) != SQLITE_TEXT) return;
    const QString declared = textOf(declaredType);
    const int open = int(declared.indexOf(u'('));
    if (const auto named = typeNamed(declared.left(open < 0 ? declared.size() : open),
            open < 0 ? -1 : declared.mid(open + 1).chopped(1).toInt());
        named && hasDate(*named) == hasDate(c.type) && hasTime(*named) == hasTime(c.type)
        && (named->kind == Kind::DateTimeOffset) == (c.type.kind == Kind::DateTimeOffset))
        c.type = *named;
}

// ---- conversions --------------------------------------------------------------------------

// The type a conversion converts to, from its name and scale; the name is a constant of the
// statement, read once.
std::optional<Type> conversionTarget(sqlite3_context* ctx, sqlite3_value* name, sqlite3_value* scaleArgument)
{
    struct Target {
        std::optional<Type> type;
        int scale;
    };
    const int scale = sqlite3_value_int(scaleArgument);
    if (const auto* known = static_cast<const Target*>(sqlite3_get_auxdata(ctx, 1)); known && known->scale == scale)
        return known->type;
    auto* target = new Target{typeNamed(textOf(name), scale), scale};
    const std::optional<Type> type = target->type;
    sqlite3_set_auxdata(ctx, 1, target, [](void* p) { delete static_cast<Target*>(p); });
    return type;
}

// Whether the value is already the canonical text of a value of type to (what a date column
// holds, what getdate() gives): then it is its own conversion. Read byte by byte, as this is
// what nearly every write into a date column meets; datetimeoffset goes the long way.
bool isCanonicalText(sqlite3_value* value, Type to)
{
    const auto* p = sqlite3_value_text(value);
    const int n = sqlite3_value_bytes(value);
    if (!p) return false;
    auto digits = [&](int at, int count, int& out) {
        out = 0;
        for (int k = at; k < at + count; ++k) {
            if (p[k] < '0' || p[k] > '9') return false;
            out = out * 10 + (p[k] - '0');
        }
        return true;
    };
    // yyyy-mm-dd at 0 within [minYear, maxYear]
    auto date = [&](int minYear, int maxYear) {
        int y, m, d;
        if (n < 10 || p[4] != '-' || p[7] != '-' || !digits(0, 4, y) || !digits(5, 2, m) || !digits(8, 2, d))
            return false;
        if (y < minYear || y > maxYear || m < 1 || m > 12 || d < 1) return false;
        static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    };
    // hh:mi:ss[.f…] at `at` with `fraction` digits; the last digit of the fraction when there is one
    auto clock = [&](int at, int fraction, int& last) {
        int h, mi, sec;
        if (n != at + 8 + (fraction > 0 ? fraction + 1 : 0) || p[at + 2] != ':' || p[at + 5] != ':'
            || !digits(at, 2, h) || !digits(at + 3, 2, mi) || !digits(at + 6, 2, sec) || h > 23 || mi > 59 || sec > 59)
            return false;
        last = sec;
        if (fraction == 0) return true;
        return p[at + 8] == '.' && digits(at + 9, fraction, last) && (last %= 10, true);
    };
    int last = 0;
    switch (to.kind) {
    case Kind::Date:
        return n == 10 && date(1, 9999);
    case Kind::Time:
        return clock(0, to.scale, last);
    case Kind::DateTime2:
        return date(1, 9999) && p[10] == ' ' && clock(11, to.scale, last);
    case Kind::DateTime:
        // its instants fall on thousandths ending in 0, 3 or 7
        return date(1753, 9999) && p[10] == ' ' && clock(11, 3, last) && (last == 0 || last == 3 || last == 7);
    case Kind::SmallDateTime:
        // whole minutes from 1900-01-01 to 2079-06-06
        return date(1900, 2079) && p[10] == ' ' && clock(11, 0, last) && last == 0
            && (p[0] != '2' || p[2] != '7' || p[3] != '9' || std::memcmp(p + 5, "06-06", 5) <= 0);
    case Kind::DateTimeOffset:
        return false;
    }
    return false;
}

// orra_to_date(value, 'type', scale, style [, literal]): literal 1 when the value is a string
// literal, which is read as the text it is even where it looks like a value of a date type.
void fnToDate(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const bool literal = argc > 4 && sqlite3_value_int(argv[4]) == 1;
    const std::optional<Type> to = conversionTarget(ctx, argv[1], argv[2]);
    if (to && !literal && sqlite3_value_type(argv[0]) == SQLITE_TEXT && isCanonicalText(argv[0], *to)) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    if (!to) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const int style = sqlite3_value_type(argv[3]) == SQLITE_NULL ? -1 : sqlite3_value_int(argv[3]);
    const int type = sqlite3_value_type(argv[0]);
    Conversion c;
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        if (to->kind != Kind::DateTime && to->kind != Kind::SmallDateTime) {
            resultError(ctx,
                QStringLiteral("Explicit conversion from data type %1 to %2 is not allowed.")
                    .arg(QLatin1String(sqlTypeOf(argv[0])), typeName(*to)));
            return;
        }
        c = fromDays(sqlite3_value_double(argv[0]), *to);
    } else if (type == SQLITE_BLOB) {
        resultError(ctx,
            QStringLiteral("Explicit conversion from data type varbinary to %1 is not allowed.").arg(typeName(*to)));
        return;
    } else {
        const QString text = textOf(argv[0]);
        const auto canonicalValue = literal ? std::nullopt : readCanonical(text);
        if (canonicalValue)
            c = convert(canonicalValue->value, canonicalValue->type, *to);
        else
            c = fromText(text, *to, settingsOf(ctx), style);
    }
    if (!c.ok()) {
        resultError(ctx, failureMessage(c.failure, *to, QString::fromLatin1(sqlTypeOf(argv[0]))));
        return;
    }
    resultText(ctx, canonical(c.value, *to));
}

// orra_date_text(value, style, 'source type'): the text CAST or CONVERT gives a date value;
// any other value as it is. The source type is '' when the translator does not know it: a
// value in a datetime's canonical form then counts as a datetime, and with a style any
// canonical value counts as its type.
void fnDateText(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const bool styledCall = sqlite3_value_type(argv[1]) != SQLITE_NULL;
    const int style = styledCall ? sqlite3_value_int(argv[1]) : 0;
    const QString source = textOf(argv[2]);
    const QString text = textOf(argv[0]);
    const std::optional<Canonical> c = readCanonical(text);
    if (!c) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    Type type = c->type;
    if (!source.isEmpty()) {
        const QString scale = source.section(u'(', 1).section(u')', 0, 0);
        const std::optional<Type> declared = typeNamed(source.section(u'(', 0, 0), scale.isEmpty() ? -1 : scale.toInt());
        if (!declared) {
            sqlite3_result_value(ctx, argv[0]);
            return;
        }
        // the value's own scale where its kind is the declared one (DATETIME2FROMPARTS' precision)
        type = declared->kind == c->type.kind ? c->type : *declared;
    } else if (!styledCall && type.kind != Kind::DateTime) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const Language& language = *settingsOf(ctx).language;
    if (!styledCall) {
        resultText(ctx, defaultText(c->value, type, language));
        return;
    }
    const std::optional<QString> s = styled(c->value, type, style, language);
    if (!s) {
        resultError(ctx,
            QStringLiteral("%1 is not a valid style number when converting from %2 to a character string.")
                .arg(style)
                .arg(typeName(type)));
        return;
    }
    resultText(ctx, *s);
}

// ---- arithmetic ---------------------------------------------------------------------------

// An operand of datetime arithmetic as a datetime: a date value's canonical text, a number of
// days since 1900-01-01 (an exact number beyond a double's digits comes as its text), or a
// text the server reads as a datetime. False with the error set.
bool readCounted(sqlite3_context* ctx, sqlite3_value* arg, Value& out)
{
    const Type datetime{Kind::DateTime, 3};
    const int type = sqlite3_value_type(arg);
    Conversion c;
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT || type == SQLITE_BLOB) {
        const double days = type == SQLITE_BLOB ? textOf(arg).toDouble() : sqlite3_value_double(arg);
        c = fromDays(days, datetime);
        if (!c.ok()) {
            resultError(ctx, QStringLiteral("Arithmetic overflow error converting expression to data type datetime."));
            return false;
        }
    } else {
        const QString text = textOf(arg);
        if (const auto canonicalValue = readCanonical(text))
            c = convert(canonicalValue->value, canonicalValue->type, datetime);
        else
            c = fromText(text, datetime, settingsOf(ctx));
        if (!c.ok()) {
            resultError(ctx, failureMessage(c.failure, datetime));
            return false;
        }
    }
    out = c.value;
    return true;
}

// orra_date_arith(a, b, op, 'type'): a + b or a - b as the server counts datetime values, in
// days from 1900-01-01, the result rounded to its type.
void fnDateArithmetic(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (anyNull(2, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    Value a, b;
    if (!readCounted(ctx, argv[0], a) || !readCounted(ctx, argv[1], b)) return;
    const Type t = textOf(argv[3]) == u"smalldatetime" ? Type{Kind::SmallDateTime, 0} : Type{Kind::DateTime, 3};
    auto since1900 = [](const Value& v) { return (v.day - kDay19000101) * kTicksPerDay + v.ticks; };
    const qint64 sum = sqlite3_value_int(argv[2]) == '-' ? since1900(a) - since1900(b) : since1900(a) + since1900(b);
    Value r;
    const qint64 days = sum >= 0 ? sum / kTicksPerDay : -((-sum + kTicksPerDay - 1) / kTicksPerDay);
    r.day = kDay19000101 + days;
    r.ticks = sum - days * kTicksPerDay;
    if (fit(r, t) != Failure::None) {
        resultError(ctx, QStringLiteral("Adding a value to a '%1' column caused an overflow.").arg(typeName(t)));
        return;
    }
    resultText(ctx, canonical(r, t));
}

// orra_days_since_1900(d): a datetime or smalldatetime as float, the days from 1900-01-01 with
// the time as their fraction (what a float converted to datetime counts).
void fnDaysSince1900(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    Value v;
    if (!readCounted(ctx, argv[0], v)) return;
    sqlite3_result_double(ctx, double(v.day - kDay19000101) + double(v.ticks) / double(kTicksPerDay));
}

// The instant in ticks since day 0, on UTC for values with an offset.
qint64 instantOf(const Canonical& c)
{
    return c.value.day * kTicksPerDay + c.value.ticks - qint64(c.value.offset) * 60 * kTicksPerSecond;
}

// ---- datetimeoffset order ------------------------------------------------------------------

// The collation under which datetimeoffset values compare and sort as the instants they name
// (on UTC): 10:00 +02:00 comes before 09:30 +00:00, and the two forms of one instant are
// equal. A text that is no datetimeoffset's canonical form sorts by its bytes after them.
int compareInstants(void*, int an, const void* a, int bn, const void* b)
{
    const QString x = QString::fromUtf8(static_cast<const char*>(a), an);
    const QString y = QString::fromUtf8(static_cast<const char*>(b), bn);
    const std::optional<Canonical> cx = readCanonical(x), cy = readCanonical(y);
    if (cx && cy) {
        const qint64 ix = instantOf(*cx), iy = instantOf(*cy);
        return ix < iy ? -1 : (ix > iy ? 1 : 0);
    }
    if (cx || cy) return cx ? -1 : 1;
    const int n = std::memcmp(a, b, size_t(std::min(an, bn)));
    return n != 0 ? n : an - bn;
}

// ---- the clock ----------------------------------------------------------------------------

Value nowValue(bool utc)
{
    const QDateTime now = utc ? QDateTime::currentDateTimeUtc() : QDateTime::currentDateTime();
    Value v;
    v.day = now.date().toJulianDay();
    v.ticks = qint64(now.time().msecsSinceStartOfDay()) * 10'000;
    v.offset = utc ? 0 : now.offsetFromUtc() / 60;
    return v;
}

template <Kind K, bool Utc> void fnNow(sqlite3_context* ctx, int, sqlite3_value**)
{
    Value v = nowValue(Utc);
    const Type t{K, K == Kind::DateTime ? 3 : 7};
    fit(v, t);
    resultText(ctx, canonical(v, t));
}

// ---- dateadd, datediff, datepart, datename ------------------------------------------------

int daysInMonth(int y, int m) { return QDate(y, m, 1).daysInMonth(); }

QString partNotSupported(Part part, const char* function, Type t)
{
    return QStringLiteral("The datepart %1 is not supported by date function %2 for data type %3.")
        .arg(QLatin1String(partName(part)), QLatin1String(function), typeName(t));
}

bool isTimePart(Part p)
{
    return p == Part::Hour || p == Part::Minute || p == Part::Second || p == Part::Millisecond
        || p == Part::Microsecond || p == Part::Nanosecond;
}

void fnDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(3, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const Part part = partNamed(textOf(argv[0]));
    const double number = sqlite3_value_double(argv[1]);
    if (std::trunc(number) > double(std::numeric_limits<int>::max())
        || std::trunc(number) < double(std::numeric_limits<int>::min())) {
        resultError(ctx, QStringLiteral("Arithmetic overflow error converting expression to data type int."));
        return;
    }
    const qint64 n = qint64(std::trunc(number));
    Canonical d;
    if (!readDate(ctx, argv[2], d)) return;
    if (argc > 3) takeDeclaredType(d, argv[3]);
    const Type t = d.type;
    Value v = d.value;
    if (part == Part::TzOffset || part == Part::IsoWeek || part == Part::None) {
        resultError(
            ctx, QStringLiteral("The datepart %1 is not supported by date function dateadd.").arg(textOf(argv[0])));
        return;
    }
    if ((t.kind == Kind::Time && !isTimePart(part)) || (t.kind == Kind::Date && isTimePart(part))
        || ((part == Part::Microsecond || part == Part::Nanosecond)
            && (t.kind == Kind::DateTime || t.kind == Kind::SmallDateTime || t.kind == Kind::Date))) {
        resultError(ctx, partNotSupported(part, "dateadd", t));
        return;
    }
    bool overflow = false;
    auto addMonths = [&](qint64 months) {
        const QDate date = QDate::fromJulianDay(v.day);
        const qint64 total = qint64(date.year()) * 12 + (date.month() - 1) + months;
        const qint64 year = total / 12;
        if (total < 12 || year > 9999) {
            overflow = true;
            return;
        }
        const int month = int(total % 12) + 1;
        v.day = QDate(int(year), month, std::min(date.day(), daysInMonth(int(year), month))).toJulianDay();
    };
    auto addTicks = [&](qint64 ticks) {
        qint64 days = ticks / kTicksPerDay;
        qint64 rest = v.ticks + ticks % kTicksPerDay;
        if (rest < 0) {
            rest += kTicksPerDay;
            --days;
        } else if (rest >= kTicksPerDay) {
            rest -= kTicksPerDay;
            ++days;
        }
        v.ticks = rest;
        if (t.kind != Kind::Time) v.day += days;
    };
    switch (part) {
    case Part::Year:
        addMonths(n * 12);
        break;
    case Part::Quarter:
        addMonths(n * 3);
        break;
    case Part::Month:
        addMonths(n);
        break;
    case Part::DayOfYear:
    case Part::Day:
    case Part::Weekday:
        v.day += n;
        break;
    case Part::Week:
        v.day += n * 7;
        break;
    case Part::Hour:
        addTicks(n * 3600 * kTicksPerSecond);
        break;
    case Part::Minute:
        addTicks(n * 60 * kTicksPerSecond);
        break;
    case Part::Second:
        addTicks(n * kTicksPerSecond);
        break;
    case Part::Millisecond:
        addTicks(n * 10'000);
        break;
    case Part::Microsecond:
        addTicks(n * 10);
        break;
    case Part::Nanosecond:
        addTicks(n >= 0 ? (n + 50) / 100 : -((-n + 49) / 100));
        break;
    default:
        break;
    }
    if (overflow || fit(v, t) != Failure::None) {
        resultError(ctx, QStringLiteral("Adding a value to a '%1' column caused an overflow.").arg(typeName(t)));
        return;
    }
    resultText(ctx, canonical(v, t));
}

template <bool Big> void fnDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (anyNull(3, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const Part part = partNamed(textOf(argv[0]));
    Canonical a, b;
    if (!readDate(ctx, argv[1], a) || !readDate(ctx, argv[2], b)) return;
    if (part == Part::TzOffset || part == Part::IsoWeek || part == Part::None) {
        resultError(
            ctx, QStringLiteral("The datepart %1 is not supported by date function datediff.").arg(textOf(argv[0])));
        return;
    }
    const qint64 ia = instantOf(a), ib = instantOf(b);
    auto floorDiv = [](qint64 x, qint64 y) { return x / y - ((x % y != 0) && ((x < 0) != (y < 0))); };
    const qint64 dayA = floorDiv(ia, kTicksPerDay), dayB = floorDiv(ib, kTicksPerDay);
    const QDate da = QDate::fromJulianDay(dayA), db = QDate::fromJulianDay(dayB);
    __int128 r = 0;
    switch (part) {
    case Part::Year:
        r = db.year() - da.year();
        break;
    case Part::Quarter:
        r = (db.year() * 4 + (db.month() - 1) / 3) - (da.year() * 4 + (da.month() - 1) / 3);
        break;
    case Part::Month:
        r = (db.year() * 12 + db.month()) - (da.year() * 12 + da.month());
        break;
    case Part::DayOfYear:
    case Part::Day:
    case Part::Weekday:
        r = dayB - dayA;
        break;
    case Part::Week: {
        // weeks begin on Sunday here, whatever DATEFIRST says
        auto sunday = [](qint64 day) { return day - (isoWeekday(day) % 7); };
        r = (sunday(dayB) - sunday(dayA)) / 7;
        break;
    }
    case Part::Hour:
        r = floorDiv(ib, 3600 * kTicksPerSecond) - floorDiv(ia, 3600 * kTicksPerSecond);
        break;
    case Part::Minute:
        r = floorDiv(ib, 60 * kTicksPerSecond) - floorDiv(ia, 60 * kTicksPerSecond);
        break;
    case Part::Second:
        r = floorDiv(ib, kTicksPerSecond) - floorDiv(ia, kTicksPerSecond);
        break;
    case Part::Millisecond:
        r = floorDiv(ib, 10'000) - floorDiv(ia, 10'000);
        break;
    case Part::Microsecond:
        r = floorDiv(ib, 10) - floorDiv(ia, 10);
        break;
    case Part::Nanosecond:
        r = (__int128(ib) - ia) * 100;
        break;
    default:
        break;
    }
    const __int128 lo = Big ? std::numeric_limits<qint64>::min() : std::numeric_limits<int>::min();
    const __int128 hi = Big ? std::numeric_limits<qint64>::max() : std::numeric_limits<int>::max();
    if (r < lo || r > hi) {
        resultError(ctx,
            QStringLiteral("The %1 function resulted in an overflow. The number of dateparts separating two "
                           "date/time instances is too large. Try to use %1 with a less precise datepart.")
                .arg(QLatin1String(Big ? "datediff_big" : "datediff")));
        return;
    }
    sqlite3_result_int64(ctx, qint64(r));
}

int isoWeekOf(qint64 day)
{
    return QDate::fromJulianDay(day).weekNumber();
}

// The value of a date part as DATEPART gives it; false when the part is not one DATEPART has.
bool partValue(Part part, const Canonical& c, const Settings& s, qint64& out)
{
    const QDate d = QDate::fromJulianDay(c.value.day);
    const qint64 frac = c.value.ticks % kTicksPerSecond;
    const qint64 secs = c.value.ticks / kTicksPerSecond;
    auto weekday = [&](qint64 day) { return (isoWeekday(day) - s.dateFirst + 7) % 7 + 1; };
    switch (part) {
    case Part::Year:
        out = d.year();
        return true;
    case Part::Quarter:
        out = (d.month() - 1) / 3 + 1;
        return true;
    case Part::Month:
        out = d.month();
        return true;
    case Part::DayOfYear:
        out = d.dayOfYear();
        return true;
    case Part::Day:
        out = d.day();
        return true;
    case Part::Week: {
        const qint64 jan1 = QDate(d.year(), 1, 1).toJulianDay();
        const qint64 startOf = c.value.day - (weekday(c.value.day) - 1);
        const qint64 startOfFirst = jan1 - (weekday(jan1) - 1);
        out = (startOf - startOfFirst) / 7 + 1;
        return true;
    }
    case Part::Weekday:
        out = weekday(c.value.day);
        return true;
    case Part::Hour:
        out = secs / 3600;
        return true;
    case Part::Minute:
        out = secs / 60 % 60;
        return true;
    case Part::Second:
        out = secs % 60;
        return true;
    case Part::Millisecond:
        out = frac / 10'000;
        return true;
    case Part::Microsecond:
        out = frac / 10;
        return true;
    case Part::Nanosecond:
        out = frac * 100;
        return true;
    case Part::TzOffset:
        out = c.value.offset;
        return true;
    case Part::IsoWeek:
        out = isoWeekOf(c.value.day);
        return true;
    case Part::None:
        break;
    }
    return false;
}

// The part (argv[0]) and the value (argv[1]) of DATEPART or DATENAME. False with the result
// given: null for a null argument, or the refusal of a value that does not read as a date or
// of a part its type does not have (a year of a time, an hour of a date; only for values of a
// type, a literal takes the defaults).
bool readPartOfDate(
    sqlite3_context* ctx, int argc, sqlite3_value** argv, const char* function, Part& part, Canonical& c)
{
    if (anyNull(2, argv)) {
        sqlite3_result_null(ctx);
        return false;
    }
    part = partNamed(textOf(argv[0]));
    if (!readDate(ctx, argv[1], c)) return false;
    if (argc > 2) takeDeclaredType(c, argv[2]);
    const bool timePart = isTimePart(part);
    if ((c.type.kind == Kind::Time && !timePart) || (c.type.kind == Kind::Date && timePart)
        || (part == Part::TzOffset && c.type.kind != Kind::DateTimeOffset && c.type.kind != Kind::DateTime2)) {
        resultError(ctx, partNotSupported(part, function, c.type));
        return false;
    }
    return true;
}

void fnDatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    Part part = Part::None;
    Canonical c;
    if (!readPartOfDate(ctx, argc, argv, "datepart", part, c)) return;
    qint64 v = 0;
    if (!partValue(part, c, settingsOf(ctx), v)) {
        resultError(ctx, QStringLiteral("'%1' is not a recognized datepart option.").arg(textOf(argv[0])));
        return;
    }
    sqlite3_result_int64(ctx, v);
}

void fnDateName(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    Part part = Part::None;
    Canonical c;
    if (!readPartOfDate(ctx, argc, argv, "datename", part, c)) return;
    const Settings& s = settingsOf(ctx);
    const QDate d = QDate::fromJulianDay(c.value.day);
    if (part == Part::Month) {
        resultText(ctx, QString::fromUtf8(s.language->months[d.month() - 1]));
        return;
    }
    if (part == Part::Weekday) {
        resultText(ctx, QString::fromUtf8(s.language->days[isoWeekday(c.value.day) - 1]));
        return;
    }
    if (part == Part::TzOffset) {
        const int o = std::abs(c.value.offset);
        resultText(ctx, QStringLiteral("%1%2:%3")
                            .arg(QChar(c.value.offset < 0 ? u'-' : u'+'))
                            .arg(o / 60, 2, 10, QLatin1Char('0'))
                            .arg(o % 60, 2, 10, QLatin1Char('0')));
        return;
    }
    qint64 v = 0;
    if (!partValue(part, c, s, v)) {
        resultError(ctx, QStringLiteral("'%1' is not a recognized datename option.").arg(textOf(argv[0])));
        return;
    }
    resultText(ctx, QString::number(v));
}

// YEAR(), MONTH(), DAY(): 0 is 1900-01-01.
template <Part P> void fnYearMonthDay(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    Canonical c;
    if (!readDate(ctx, argv[0], c)) return;
    qint64 v = 0;
    partValue(P, c, settingsOf(ctx), v);
    sqlite3_result_int64(ctx, v);
}

// EOMONTH(date [, months])
void fnEndOfMonth(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    Canonical c;
    if (!readDate(ctx, argv[0], c)) return;
    const QDate d = QDate::fromJulianDay(c.value.day);
    const qint64 total = qint64(d.year()) * 12 + (d.month() - 1) + (argc > 1 ? sqlite3_value_int64(argv[1]) : 0);
    if (total < 12 || total / 12 > 9999) {
        resultError(ctx, QStringLiteral("Adding a value to a 'date' column caused an overflow."));
        return;
    }
    const int y = int(total / 12), m = int(total % 12) + 1;
    Value v;
    v.day = QDate(y, m, daysInMonth(y, m)).toJulianDay();
    resultText(ctx, canonical(v, Type{Kind::Date, 0}));
}

// DATETRUNC(part, date): the date cut to the start of the part, of the date's own type; a
// literal is datetime2(7).
void fnDateTrunc(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    const Part part = partNamed(textOf(argv[0]));
    const int argType = sqlite3_value_type(argv[1]);
    if (argType != SQLITE_TEXT) {
        resultError(ctx,
            QStringLiteral("Argument data type %1 is invalid for argument 2 of datetrunc function.")
                .arg(QLatin1String(sqlTypeOf(argv[1]))));
        return;
    }
    Canonical c;
    if (!readDate(ctx, argv[1], c)) return;
    if (argc > 2) takeDeclaredType(c, argv[2]);
    const Type t = c.type;
    const bool timePart = isTimePart(part);
    if (part == Part::Weekday || part == Part::TzOffset || part == Part::Nanosecond || part == Part::None
        || (t.kind == Kind::Time && !timePart) || (t.kind == Kind::Date && timePart)
        || (part == Part::Millisecond && t.scale < 3) || (part == Part::Microsecond && t.scale < 6)) {
        resultError(ctx, partNotSupported(part, "datetrunc", t));
        return;
    }
    Value v = c.value;
    const QDate d = QDate::fromJulianDay(v.day);
    auto startOfDay = [&](qint64 day) {
        v.day = day;
        v.ticks = 0;
    };
    auto cut = [&](qint64 unit) { v.ticks -= v.ticks % unit; };
    switch (part) {
    case Part::Year:
        startOfDay(dayNumber(d.year(), 1, 1));
        break;
    case Part::Quarter:
        startOfDay(dayNumber(d.year(), (d.month() - 1) / 3 * 3 + 1, 1));
        break;
    case Part::Month:
        startOfDay(dayNumber(d.year(), d.month(), 1));
        break;
    case Part::DayOfYear:
    case Part::Day:
        startOfDay(v.day);
        break;
    case Part::Week:
        startOfDay(v.day - (isoWeekday(v.day) - settingsOf(ctx).dateFirst + 7) % 7);
        break;
    case Part::IsoWeek:
        startOfDay(v.day - (isoWeekday(v.day) - 1));
        break;
    case Part::Hour:
        cut(3600 * kTicksPerSecond);
        break;
    case Part::Minute:
        cut(60 * kTicksPerSecond);
        break;
    case Part::Second:
        cut(kTicksPerSecond);
        break;
    case Part::Millisecond:
        cut(10'000);
        break;
    case Part::Microsecond:
        cut(10);
        break;
    default:
        break;
    }
    if (fit(v, t) != Failure::None) {
        resultError(ctx,
            QStringLiteral("An invalid date value was encountered: The date value is less than the minimum date "
                           "value allowed for the data type."));
        return;
    }
    resultText(ctx, canonical(v, t));
}

// A time zone offset as SWITCHOFFSET and TODATETIMEOFFSET take it: [+|-]hh:mm or a number of
// minutes, within 14 hours either way.
std::optional<int> offsetMinutes(sqlite3_value* arg)
{
    int minutes = 0;
    if (sqlite3_value_type(arg) == SQLITE_INTEGER || sqlite3_value_type(arg) == SQLITE_FLOAT) {
        minutes = int(sqlite3_value_int64(arg));
    } else {
        static const QRegularExpression form(QStringLiteral("^\\s*([+-])(\\d{1,2}):(\\d{2})\\s*$"));
        const QRegularExpressionMatch m = form.match(textOf(arg));
        if (!m.hasMatch() || m.captured(3).toInt() > 59) return std::nullopt;
        minutes = (m.captured(2).toInt() * 60 + m.captured(3).toInt()) * (m.captured(1) == u"-" ? -1 : 1);
    }
    if (minutes < -14 * 60 || minutes > 14 * 60) return std::nullopt;
    return minutes;
}

// The datetimeoffset of a local time at an offset; false with the server's error when the
// offset is none or the instant leaves the type's range.
bool offsetResult(sqlite3_context* ctx, sqlite3_value* offset, Value v, int scale, const char* function, bool keepInstant)
{
    const std::optional<int> minutes = offsetMinutes(offset);
    if (!minutes) {
        resultError(ctx,
            QStringLiteral("The timezone provided to builtin function %1 is invalid.").arg(QLatin1String(function)));
        return false;
    }
    if (keepInstant) {
        const qint64 local = v.day * kTicksPerDay + v.ticks + qint64(*minutes - v.offset) * 60 * kTicksPerSecond;
        v.day = local / kTicksPerDay;
        v.ticks = local % kTicksPerDay;
    }
    v.offset = *minutes;
    const Type t{Kind::DateTimeOffset, scale};
    const qint64 utcDay = (v.day * kTicksPerDay + v.ticks - qint64(v.offset) * 60 * kTicksPerSecond) / kTicksPerDay;
    if (fit(v, t) != Failure::None || utcDay < dayNumber(1, 1, 1) || utcDay > dayNumber(9999, 12, 31)) {
        resultError(ctx,
            QStringLiteral("The timezone provided to builtin function %1 would cause the datetimeoffset to overflow "
                           "the range of valid date range in either UTC or local time.")
                .arg(QLatin1String(function)));
        return false;
    }
    resultText(ctx, canonical(v, t));
    return true;
}

// The fractional digits a value keeps as datetimeoffset.
int offsetScale(Type t) { return t.kind == Kind::Date ? 7 : t.scale; }

// SWITCHOFFSET(datetimeoffset, offset): the same instant at another offset.
void fnSwitchOffset(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    Canonical c;
    if (!readDate(ctx, argv[0], c)) return;
    const int scale = offsetScale(c.type);
    const Conversion asOffset = convert(c.value, c.type, Type{Kind::DateTimeOffset, scale});
    offsetResult(ctx, argv[1], asOffset.value, scale, "switchoffset", true);
}

// TODATETIMEOFFSET(datetime2, offset): the local time given the offset.
void fnToDateTimeOffset(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    Canonical c;
    if (!readDate(ctx, argv[0], c)) return;
    const int scale = offsetScale(c.type);
    const Conversion local = convert(c.value, c.type, Type{Kind::DateTime2, scale});
    offsetResult(ctx, argv[1], local.value, scale, "todatetimeoffset", false);
}

// ISDATE(expression): 1 for text that converts to datetime.
void fnIsDate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const QString text = textOf(argv[0]);
    const Type t{Kind::DateTime, 3};
    bool ok = false;
    if (const auto c = readCanonical(text))
        ok = c->type.kind != Kind::Time && convert(c->value, c->type, t).ok() && c->type.scale <= 3;
    else
        ok = !text.trimmed().isEmpty() && fromText(text, t, settingsOf(ctx)).ok();
    sqlite3_result_int(ctx, ok ? 1 : 0);
}

// ---- the FROMPARTS family ------------------------------------------------------------------

void cannotConstruct(sqlite3_context* ctx, const char* type)
{
    resultError(ctx,
        QStringLiteral("Cannot construct data type %1, some of the arguments have values which are not valid.")
            .arg(QLatin1String(type)));
}

// The fraction argument in ticks for a precision; false when it does not fit.
bool fractionTicks(qint64 fraction, qint64 precision, qint64& ticks)
{
    if (precision < 0 || precision > 7 || fraction < 0) return false;
    qint64 limit = 1;
    for (int k = 0; k < precision; ++k) limit *= 10;
    if (fraction >= limit) return false;
    ticks = fraction;
    for (qint64 k = precision; k < 7; ++k) ticks *= 10;
    return true;
}

bool clockTicks(qint64 h, qint64 mi, qint64 s, qint64& ticks)
{
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return false;
    ticks = (h * 3600 + mi * 60 + s) * kTicksPerSecond;
    return true;
}

template <Kind K> void fnMake(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // The precision argument of the types that have one may not be NULL.
    const bool precise = K == Kind::Time || K == Kind::DateTime2 || K == Kind::DateTimeOffset;
    if (precise && sqlite3_value_type(argv[argc - 1]) == SQLITE_NULL) {
        resultError(ctx,
            QStringLiteral("Scale argument is not valid. Valid expressions for data type %1 scale argument "
                           "are integer constants and integer constant expressions.")
                .arg(typeName(Type{K, 7})));
        return;
    }
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 a[10] = {};
    for (int i = 0; i < argc && i < 10; ++i) a[i] = sqlite3_value_int64(argv[i]);
    Value v;
    Type t{K, 0};
    bool ok = true;
    auto date = [&](qint64 y, qint64 m, qint64 d) {
        if (!QDate::isValid(int(y), int(m), int(d)) || y < 1 || y > 9999) {
            ok = false;
            return;
        }
        v.day = QDate(int(y), int(m), int(d)).toJulianDay();
    };
    switch (K) {
    case Kind::Date:   // y, m, d
        date(a[0], a[1], a[2]);
        break;
    case Kind::DateTime: {   // y, m, d, h, mi, s, ms
        date(a[0], a[1], a[2]);
        qint64 ticks = 0;
        ok = ok && clockTicks(a[3], a[4], a[5], ticks) && a[6] >= 0 && a[6] <= 999;
        v.ticks = ticks + a[6] * 10'000;
        t.scale = 3;
        break;
    }
    case Kind::SmallDateTime: {   // y, m, d, h, mi
        date(a[0], a[1], a[2]);
        qint64 ticks = 0;
        ok = ok && clockTicks(a[3], a[4], 0, ticks);
        v.ticks = ticks;
        break;
    }
    case Kind::Time: {   // h, mi, s, fractions, precision
        qint64 ticks = 0, f = 0;
        ok = clockTicks(a[0], a[1], a[2], ticks) && fractionTicks(a[3], a[4], f);
        v.day = kDay19000101;
        v.ticks = ticks + f;
        t.scale = int(a[4]);
        break;
    }
    case Kind::DateTime2: {   // y, m, d, h, mi, s, fractions, precision
        date(a[0], a[1], a[2]);
        qint64 ticks = 0, f = 0;
        ok = ok && clockTicks(a[3], a[4], a[5], ticks) && fractionTicks(a[6], a[7], f);
        v.ticks = ticks + f;
        t.scale = int(a[7]);
        break;
    }
    case Kind::DateTimeOffset: {   // y, m, d, h, mi, s, fractions, hour offset, minute offset, precision
        date(a[0], a[1], a[2]);
        qint64 ticks = 0, f = 0;
        ok = ok && clockTicks(a[3], a[4], a[5], ticks) && fractionTicks(a[6], a[9], f) && std::abs(a[7]) <= 14
            && std::abs(a[8]) <= 59;
        v.ticks = ticks + f;
        v.offset = int(a[7] * 60 + (a[7] < 0 ? -std::abs(a[8]) : a[8]));
        t.scale = int(a[9]);
        break;
    }
    }
    if (!ok || fit(v, t) != Failure::None) {
        const QString name = typeName(t);
        cannotConstruct(ctx, name.toLatin1().constData());
        return;
    }
    resultText(ctx, canonical(v, t));
}

// @@DATEFIRST and @@LANGUAGE
void fnDateFirst(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_int(ctx, settingsOf(ctx).dateFirst); }
void fnLanguage(sqlite3_context* ctx, int, sqlite3_value**)
{
    resultText(ctx, QString::fromUtf8(settingsOf(ctx).language->name));
}

const FunctionName kNames[] = {
    {"dateadd", "orra_dateadd", true, nullptr, 3, 3, true},
    {"datediff", "orra_datediff", true, "int", 3, 3},
    {"datediff_big", "orra_datediff_big", true, "bigint", 3, 3},
    {"datepart", "orra_datepart", true, "int", 2, 2, true},
    {"datename", "orra_datename", true, "nvarchar(30)", 2, 2, true},
    {"eomonth", "orra_eomonth", false, "date", 1, 2},
    {"year", "orra_year", false, "int", 1, 1},
    {"month", "orra_month", false, "int", 1, 1},
    {"day", "orra_day", false, "int", 1, 1},
    {"isdate", "orra_isdate", false, "int", 1, 1},
    {"getdate", "orra_getdate", false, "datetime", 0, 0},
    {"getutcdate", "orra_getutcdate", false, "datetime", 0, 0},
    {"sysdatetime", "orra_sysdatetime", false, "datetime2(7)", 0, 0},
    {"sysutcdatetime", "orra_sysutcdatetime", false, "datetime2(7)", 0, 0},
    {"sysdatetimeoffset", "orra_sysdatetimeoffset", false, "datetimeoffset(7)", 0, 0},
    {"datefromparts", "orra_datefromparts", false, "date", 3, 3},
    {"datetimefromparts", "orra_datetimefromparts", false, "datetime", 7, 7},
    {"smalldatetimefromparts", "orra_smalldatetimefromparts", false, "smalldatetime", 5, 5},
    {"timefromparts", "orra_timefromparts", false, "time", 5, 5},
    {"datetime2fromparts", "orra_datetime2fromparts", false, "datetime2", 8, 8},
    {"datetimeoffsetfromparts", "orra_datetimeoffsetfromparts", false, "datetimeoffset", 10, 10},
    {"format", "orra_format", false, "nvarchar(4000)", 2, 3},
    {"datetrunc", "orra_datetrunc", true, nullptr, 2, 2, true},
    {"switchoffset", "orra_switchoffset", false, nullptr, 2, 2},
    {"todatetimeoffset", "orra_todatetimeoffset", false, nullptr, 2, 2},
};

struct Registration {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

const Registration kFunctions[] = {
    {kToDate, 4, fnToDate, false},
    {kToDate, 5, fnToDate, false},
    {kDateText, 3, fnDateText, false},
    {kDateArithmetic, 4, fnDateArithmetic, false},
    {"orra_days_since_1900", 1, fnDaysSince1900, true},
    {"orra_dateadd", 3, fnDateAdd, false},
    {"orra_dateadd", 4, fnDateAdd, false},
    {"orra_datediff", 3, fnDateDiff<false>, false},
    {"orra_datediff_big", 3, fnDateDiff<true>, false},
    {"orra_datepart", 2, fnDatePart, false},
    {"orra_datepart", 3, fnDatePart, false},
    {"orra_datename", 2, fnDateName, false},
    {"orra_datename", 3, fnDateName, false},
    {"orra_eomonth", 1, fnEndOfMonth, false},
    {"orra_eomonth", 2, fnEndOfMonth, false},
    {"orra_year", 1, fnYearMonthDay<Part::Year>, false},
    {"orra_month", 1, fnYearMonthDay<Part::Month>, false},
    {"orra_day", 1, fnYearMonthDay<Part::Day>, false},
    {"orra_isdate", 1, fnIsDate, false},
    {"orra_getdate", 0, fnNow<Kind::DateTime, false>, false},
    {"orra_getutcdate", 0, fnNow<Kind::DateTime, true>, false},
    {"orra_sysdatetime", 0, fnNow<Kind::DateTime2, false>, false},
    {"orra_sysutcdatetime", 0, fnNow<Kind::DateTime2, true>, false},
    {"orra_sysdatetimeoffset", 0, fnNow<Kind::DateTimeOffset, false>, false},
    {"orra_datefromparts", 3, fnMake<Kind::Date>, true},
    {"orra_datetimefromparts", 7, fnMake<Kind::DateTime>, true},
    {"orra_smalldatetimefromparts", 5, fnMake<Kind::SmallDateTime>, true},
    {"orra_timefromparts", 5, fnMake<Kind::Time>, true},
    {"orra_datetime2fromparts", 8, fnMake<Kind::DateTime2>, true},
    {"orra_datetimeoffsetfromparts", 10, fnMake<Kind::DateTimeOffset>, true},
    {"orra_datetrunc", 2, fnDateTrunc, false},
    {"orra_datetrunc", 3, fnDateTrunc, false},
    {"orra_switchoffset", 2, fnSwitchOffset, false},
    {"orra_todatetimeoffset", 2, fnToDateTimeOffset, false},
    {"orra_datefirst", 0, fnDateFirst, false},
    {"orra_language", 0, fnLanguage, false},
};

}   // namespace

const FunctionName* functionNamed(QStringView name)
{
    for (const FunctionName& f : kNames)
        if (name.compare(QLatin1String(f.tsql), Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

QString datePartNamed(QStringView word)
{
    const Part p = partNamed(word);
    return p == Part::None ? QString() : QString::fromLatin1(partName(p));
}

void registerDateFunctions(sqlite3* db, Settings* settings)
{
    for (const Registration& f : kFunctions)
        sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0),
            settings, f.fn, nullptr, nullptr, nullptr);
    sqlite3_create_collation_v2(db, kInstantCollation, SQLITE_UTF8, nullptr, compareInstants, nullptr);
    registerFormatFunction(db);
}

}   // namespace orra::embedded::dates
