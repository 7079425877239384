#pragma once
// The server's date and time values: datetime, smalldatetime, date, time(n), datetime2(n) and
// datetimeoffset(n). A value is a day number and the 100-nanosecond ticks since midnight
// (plus an offset in minutes); stored, it is the ODBC canonical text (style 121), which sorts
// as the instants do. Here: the text forms the server reads (ISO 8601, unseparated, numeric by
// the session's date format, month names, a time alone), the rounding of each type, its
// range, and the texts of the CONVERT styles.

#include <QString>
#include <QStringView>

#include <optional>

namespace orra::embedded::dates {

enum class Kind { DateTime, SmallDateTime, Date, Time, DateTime2, DateTimeOffset };

struct Type {
    Kind kind = Kind::DateTime;
    int scale = 3;   // fractional digits: 3 for datetime, 0 for smalldatetime and date, n otherwise
};

// The type named (case-insensitive, "datetime2", "time" …) with scale (-1: the default, 7).
std::optional<Type> typeNamed(QStringView name, int scale = -1);
// The name as the server's messages give it ("datetime", "datetime2").
QString typeName(Type t);
bool hasDate(Type t);
bool hasTime(Type t);

struct Value {
    qint64 day = 0;     // Julian day number
    qint64 ticks = 0;   // 100 ns since midnight, [0, kTicksPerDay)
    int offset = 0;     // minutes east of UTC (datetimeoffset)
};
constexpr qint64 kTicksPerSecond = 10'000'000;
constexpr qint64 kTicksPerDay = 86'400 * kTicksPerSecond;

// A language's names for dates, as SET LANGUAGE chooses them.
struct Language {
    const char* name;            // "us_english"
    const char* alias;           // "English"
    const char* dateFormat;      // its DATEFORMAT
    int dateFirst;               // its DATEFIRST
    const char* months[12];      // full names
    const char* shortMonths[12];
    const char* days[7];         // Monday first
};
// us_english, Turkish (by name or alias, any case); nullptr for another.
const Language* languageNamed(QStringView name);
const Language& usEnglish();

// The session's settings that reading and naming dates follow.
struct Settings {
    const Language* language = &usEnglish();
    QString dateFormat = QStringLiteral("mdy");
    int dateFirst = 7;
};

enum class Failure { None, Syntax, OutOfRange, Overflow };

struct Conversion {
    Value value;
    Failure failure = Failure::None;
    bool hasOffset = false;   // the text gave a time zone offset
    bool ok() const { return failure == Failure::None; }
};

// Text to a value of the type: every literal form the server accepts, rounded and checked.
// style selects the input styles of CONVERT (-1 or 0 for none).
Conversion fromText(QStringView text, Type to, const Settings& settings, int style = -1);
// A number of days since 1900-01-01 (datetime and smalldatetime only).
Conversion fromDays(double days, Type to);
// A value of one type as another (date parts dropped or set to 1900-01-01, rounding).
Conversion convert(Value v, Type from, Type to);
// Rounds a value to the type's accuracy and checks its range.
Failure fit(Value& v, Type t);

// The value's type when text is the canonical form of one (what a date column or expression
// holds), with the value; nothing for any other text.
struct Canonical {
    Type type;
    Value value;
};
std::optional<Canonical> readCanonical(QStringView text);

// The canonical text (style 121 as the type gives it).
QString canonical(const Value& v, Type t);
// The text of CONVERT(varchar, v, style); nothing for a style the server does not have.
std::optional<QString> styled(const Value& v, Type t, int style, const Language& language);
// CAST to text: style 0 for datetime and smalldatetime, the canonical text otherwise.
QString defaultText(const Value& v, Type t, const Language& language);

// The server's message for a failure converting text to the type, and its number.
QString failureMessage(Failure f, Type to, const QString& fromType = QStringLiteral("varchar"));
long failureNumber(Failure f);

// Calendar helpers over Julian day numbers.
int yearOf(qint64 day);
int monthOf(qint64 day);
int dayOf(qint64 day);
qint64 dayNumber(int year, int month, int day);
// 1 Monday … 7 Sunday
int isoWeekday(qint64 day);
constexpr qint64 kDay19000101 = 2415021;

}   // namespace orra::embedded::dates
