#pragma once
// Internals shared by the interpreter's parts: raising errors, conversions and dates.

#include "platform/vbscript/ErrorNumbers.h"
#include "platform/vbscript/ScriptEngine.h"
#include "platform/vbscript/Variant.h"

#include <QString>
#include <cstdint>
#include <cstring>

namespace orra::vbs {

// VBScript's own message for a run-time or compilation error number ("" when unknown).
QString errorMessage(long number);

// Raises a run-time error with VBScript's message for number (or the given description).
[[noreturn]] void raise(long number);
[[noreturn]] void raise(long number, const QString& description);
// Raises number with VBScript's message; the host's report names the identifier ("msg: 'x'"),
// Err.Description does not.
[[noreturn]] void raiseNamed(long number, const QString& name);

// Strings longer than this raise 14 ("Out of string space").
constexpr qsizetype kMaxStringLength = qsizetype(1) << 26;
inline void checkStringLength(qsizetype n)
{
    if (n > kMaxStringLength) raise(kOutOfStringSpace);
}

// s = s & piece in place: the string grows geometrically (resize keeps spare room), so a loop
// of appends copies each character about once.
inline void appendText(QString& text, const QString& piece)
{
    const qsizetype n = text.size(), add = piece.size();
    if (add == 0) return;
    checkStringLength(n + add);
    text.resize(n + add);
    std::memcpy(static_cast<void*>(text.data() + n), piece.constData(), size_t(add) * sizeof(QChar));
}

// Case folding independent of the process locale ("i" never becomes a dotted capital).
QString foldCase(const QString& s);
QString upper(const QString& s);
QString lower(const QString& s);
bool equalNoCase(const QString& a, const QString& b);

// Numbers in text: leading/trailing blanks, sign, decimals, exponent, &H and &O forms.
bool parseNumber(const QString& s, double& out);
// Number to text as CStr gives it (15 significant digits for Double, 7 for Single).
QString formatDouble(double d);
QString formatSingle(float f);
QString formatCurrency(int64_t scaled);

// Banker's rounding to a whole number.
double roundHalfEven(double d);

// OLE automation dates: days since 30 December 1899, the time as the fraction.
struct DateParts {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
DateParts splitDate(double oa);
double makeDate(int year, int month, int day);       // month/day may overflow (DateSerial)
double makeTime(int hour, int minute, int second);   // may overflow / be negative
double combineDateTime(double datePart, double timePart);
bool parseDate(const QString& s, double& out);
QString formatDate(double oa);   // CStr of a Date
QString formatShortDate(double oa);
QString formatLongDate(double oa);
QString formatLongTime(double oa);
QString formatShortTime(double oa);
int weekdayOf(double oa);   // 1 = Sunday
double nowDate();

}   // namespace orra::vbs
