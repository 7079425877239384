#pragma once
// Numbers written by .NET's custom numeric format strings, as FORMAT writes them: up to three
// sections (positive; negative; zero) separated by ';', the placeholders 0 and #, the decimal
// point, ',' for groups (or, just before the point, for thousands to divide by), % and ‰, and
// literals quoted ('text', "text") or after a backslash. Digits are rounded half away from zero.

#include <QLocale>
#include <QString>

namespace orra::embedded {

// digits: the value's absolute amount as decimal text ("1234.5", no exponent); negative and
// zero: its sign.
QString customNumber(const QString& pattern, const QString& digits, bool negative, bool zero, const QLocale& locale);

// The absolute amount of value as decimal text of up to 15 significant digits (as .NET writes a
// double before it applies a pattern), or of the exact text an exact value keeps.
QString decimalDigits(const QString& exactText, double value);

// The standard format E: one digit, precision decimals (6 by default), 'E' or 'e', a sign and
// at least three exponent digits.
QString scientificNumber(const QString& digits, bool negative, int precision, bool upper, const QLocale& locale);

}   // namespace orra::embedded
