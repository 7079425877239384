// FORMAT(value, format [, culture]) as the server formats through .NET: standard and custom
// date and time patterns, the TimeSpan rules for time values (':' and '.' escaped), standard
// numeric formats N, C, D, G and custom digit patterns; NULL for a pattern the value's type
// does not take. Names, separators and currencies come from the culture through QLocale.

#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/embedded/functions/NumberPatterns.h"
#include "platform/db/embedded/SqliteValues.h"

#include <QDate>
#include <QLocale>

#include <sqlite3.h>

#include <cmath>

namespace orra::embedded::dates {

namespace {

// The standard date patterns of the cultures the server is used with: d, D, and whether t and
// T read the hours by the 24-hour clock.
QString standardDatePattern(QChar c, const QString& culture)
{
    struct Patterns {
        const char16_t* shortDate;
        const char16_t* longDate;
        bool clock24;
    };
    static const Patterns de{u"dd.MM.yyyy", u"dddd, d. MMMM yyyy", true};
    static const Patterns tr{u"d.MM.yyyy", u"d MMMM yyyy dddd", true};
    static const Patterns gb{u"dd/MM/yyyy", u"dd MMMM yyyy", true};
    static const Patterns zh{u"yyyy/M/d", u"yyyy'年'M'月'd'日'", false};
    static const Patterns us{u"M/d/yyyy", u"dddd, MMMM d, yyyy", false};
    const QString k = culture.toLower();
    const Patterns& p = k.startsWith(u"de") ? de
        : k.startsWith(u"tr")               ? tr
        : k == u"en-gb"                     ? gb
        : k == u"zh-cn"                     ? zh
                                            : us;
    if (c == u'd') return QString::fromUtf16(p.shortDate);
    if (c == u'D') return QString::fromUtf16(p.longDate);
    if (c == u't') return p.clock24 ? QStringLiteral("HH:mm") : QStringLiteral("h:mm tt");
    if (c == u'T') return p.clock24 ? QStringLiteral("HH:mm:ss") : QStringLiteral("h:mm:ss tt");
    return QString();
}

// A custom date and time pattern; false for one the value cannot take.
bool formatDate(const Value& v, bool timeSpan, const QString& pattern, const QLocale& locale, QString& out)
{
    const QDate d = QDate::fromJulianDay(v.day);
    const qint64 secs = v.ticks / kTicksPerSecond;
    const int h = int(secs / 3600), mi = int(secs / 60 % 60), s = int(secs % 60);
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        qsizetype n = 1;
        while (i + n < pattern.size() && pattern[i + n] == c) ++n;
        auto pad = [](qint64 x, int w) { return QStringLiteral("%1").arg(x, w, 10, QLatin1Char('0')); };
        if (c == u'\\') {
            if (i + 1 >= pattern.size()) return false;
            out += pattern[i + 1];
            i += 2;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            const qsizetype close = pattern.indexOf(c, i + 1);
            if (close < 0) return false;
            out += pattern.mid(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        if (timeSpan && c != u'h' && c != u'm' && c != u's' && c != u'f') return false;
        switch (c.unicode()) {
        case 'd':
            out += n == 1 ? QString::number(d.day()) : n == 2 ? pad(d.day(), 2)
                : n == 3 ? locale.dayName(d.dayOfWeek(), QLocale::ShortFormat) : locale.dayName(d.dayOfWeek());
            break;
        case 'M':
            out += n == 1 ? QString::number(d.month()) : n == 2 ? pad(d.month(), 2)
                : n == 3 ? locale.monthName(d.month(), QLocale::ShortFormat) : locale.monthName(d.month());
            break;
        case 'y':
            out += n <= 2 ? pad(d.year() % 100, n) : pad(d.year(), int(n));
            break;
        case 'h':
            out += timeSpan ? pad(h, int(std::min<qsizetype>(n, 2))) : pad(h % 12 == 0 ? 12 : h % 12, int(std::min<qsizetype>(n, 2)));
            break;
        case 'H':
            out += pad(h, int(std::min<qsizetype>(n, 2)));
            break;
        case 'm':
            out += pad(mi, int(std::min<qsizetype>(n, 2)));
            break;
        case 's':
            out += pad(s, int(std::min<qsizetype>(n, 2)));
            break;
        case 'f':
        case 'F': {
            if (n > 7) return false;
            QString f = QStringLiteral("%1").arg(v.ticks % kTicksPerSecond, 7, 10, QLatin1Char('0')).left(int(n));
            out += f;
            break;
        }
        case 't': {
            const QString ampm = h < 12 ? locale.amText() : locale.pmText();
            out += n == 1 ? ampm.left(1) : ampm;
            break;
        }
        case 'z': {
            const int o = std::abs(v.offset);
            out += (v.offset < 0 ? u'-' : u'+') + pad(o / 60, 2) + (n >= 3 ? u':' + pad(o % 60, 2) : QString());
            break;
        }
        case '/':
            out += locale.dateFormat(QLocale::ShortFormat).contains(u'.') ? u'.' : u'/';
            break;
        default:
            out += QString(n, c);
            break;
        }
        i += n;
    }
    return true;
}

// A number by a standard (N, C, D, E, F, G, P, X with an optional precision) or custom
// (NumberPatterns.h) pattern, rounded half away from zero; false for a pattern the value
// cannot take.
bool formatNumber(const QString& text, double value, bool integral, const QString& pattern, const QLocale& locale,
    QString& out)
{
    const QChar k = pattern.isEmpty() ? u'G' : pattern[0].toUpper();
    bool digitsOk = true;
    const int precision = pattern.size() > 1 ? pattern.mid(1).toInt(&digitsOk) : -1;
    const QString digits = decimalDigits(text, value);
    const bool negative = value < 0 || text.trimmed().startsWith(u'-');
    const bool zero = QString(digits).remove(u'0').remove(u'.').isEmpty();
    const int decimals = precision < 0 ? 2 : precision;
    const QString fraction = decimals > 0 ? u'.' + QString(decimals, u'0') : QString();
    if (pattern.size() <= 3 && k.isLetter() && digitsOk) {
        switch (k.unicode()) {
        case 'N':
            out = customNumber(QStringLiteral("#,##0") + fraction, digits, negative, zero, locale);
            return true;
        case 'C': {
            // the amount rounded as the other formats round it; the .NET Framework's cultures put
            // a plain blank between amount and symbol
            const double rounded = customNumber(QStringLiteral("0") + fraction, digits, negative, zero, QLocale::c()).toDouble();
            out = locale.toCurrencyString(rounded, QString(), decimals).replace(QChar(0x00A0), u' ');
            return true;
        }
        case 'D': {
            if (!integral) return false;
            const qint64 n = qint64(value);
            out = QStringLiteral("%1").arg(std::abs(n), std::max(precision, 1), 10, QLatin1Char('0'));
            if (n < 0) out.prepend(locale.negativeSign());
            return true;
        }
        case 'E':
            out = scientificNumber(digits, negative && !zero, precision < 0 ? 6 : precision, pattern[0] == u'E', locale);
            return true;
        case 'F':
            out = customNumber(QStringLiteral("0") + fraction, digits, negative, zero, locale);
            return true;
        case 'P':
            // the number times 100 as N gives it, then a blank and the percent sign
            out = customNumber(QStringLiteral("#,##0") + fraction + QStringLiteral(" %"), digits, negative, zero, locale);
            return true;
        case 'X': {
            // integers only, in hexadecimal digits of the pattern's case; a negative one as its
            // two's complement (32 bits for an int's range)
            if (!integral) return false;
            const auto whole = qint64(value);
            const quint64 n = whole >= INT32_MIN ? quint64(quint32(qint32(whole))) : quint64(whole);
            out = QStringLiteral("%1").arg(n, std::max(precision, 1), 16, QLatin1Char('0'));
            if (pattern[0] == u'X') out = out.toUpper();
            return true;
        }
        case 'G': {
            // the value as it is kept (an exact value keeps its scale)
            QString t = text.trimmed();
            if (t.isEmpty()) t = QString::number(value, 'g', 15);
            out = t.replace(u'.', locale.decimalPoint());
            return true;
        }
        default:
            return false;
        }
    }
    out = customNumber(pattern, digits, negative, zero, locale);
    return true;
}

void fnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
    const QString pattern = textOf(argv[1]);
    const QString culture = argc > 2 ? textOf(argv[2]) : QStringLiteral("en-US");
    const QLocale locale(QString(culture).replace(u'-', u'_'));
    if (argc > 2 && locale == QLocale::c() && culture.compare(QLatin1String("c"), Qt::CaseInsensitive) != 0) {
        const QString m = QStringLiteral("The culture parameter '%1' provided in the function call is not "
                                         "supported.")
                              .arg(culture);
        resultError(ctx, m);
        return;
    }
    QString out;
    bool ok = false;
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_TEXT) {
        const QString text = textOf(argv[0]);
        if (const auto c = readCanonical(text)) {
            const bool timeSpan = c->type.kind == Kind::Time;
            QString p = pattern;
            if (!timeSpan && p.size() == 1) p = standardDatePattern(p[0], culture);
            ok = !p.isEmpty() && formatDate(c->value, timeSpan, p, locale, out);
        } else {
            bool number = false;
            const double d = text.trimmed().toDouble(&number);
            ok = number && formatNumber(text, d, !text.contains(u'.'), pattern, locale, out);
        }
    } else if (type == SQLITE_INTEGER) {
        ok = formatNumber(QString::number(sqlite3_value_int64(argv[0])), double(sqlite3_value_int64(argv[0])), true,
            pattern, locale, out);
    } else if (type == SQLITE_FLOAT) {
        ok = formatNumber(QString(), sqlite3_value_double(argv[0]), false, pattern, locale, out);
    }
    if (!ok) {
        sqlite3_result_null(ctx);
        return;
    }
    resultText(ctx, out);
}

}   // namespace

void registerFormatFunction(sqlite3* db)
{
    sqlite3_create_function_v2(db, "orra_format", 2, SQLITE_UTF8, nullptr, fnFormat, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_format", 3, SQLITE_UTF8, nullptr, fnFormat, nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded::dates
