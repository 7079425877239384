#include "platform/db/embedded/functions/DateTimeValues.h"

#include <QDate>
#include <QList>

#include <cmath>

namespace orra::embedded::dates {

namespace {

const Language kLanguages[] = {
    {"us_english", "English", "mdy", 7,
        {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November",
            "December"},
        {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
        {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"}},
    {"Turkish", "Türkçe", "dmy", 1,
        {"Ocak", "Şubat", "Mart", "Nisan", "Mayıs", "Haziran", "Temmuz", "Ağustos", "Eylül", "Ekim", "Kasım", "Aralık"},
        {"Oca", "Şub", "Mar", "Nis", "May", "Haz", "Tem", "Ağu", "Eyl", "Eki", "Kas", "Ara"},
        {"Pazartesi", "Salı", "Çarşamba", "Perşembe", "Cuma", "Cumartesi", "Pazar"}},
};

// The first and last days of each type's range.
qint64 firstDay(Kind k)
{
    if (k == Kind::DateTime) return dayNumber(1753, 1, 1);
    if (k == Kind::SmallDateTime) return kDay19000101;
    return dayNumber(1, 1, 1);
}

qint64 lastDay(Kind k) { return k == Kind::SmallDateTime ? dayNumber(2079, 6, 6) : dayNumber(9999, 12, 31); }

qint64 pow10(int n)
{
    qint64 p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

QString two(qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }
QString four(qint64 n) { return QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0')); }

// The fraction of a second in the type's digits ("" for none).
QString fraction(qint64 ticks, int digits)
{
    if (digits <= 0) return QString();
    const qint64 f = (ticks % kTicksPerSecond) / pow10(7 - digits);
    return QStringLiteral("%1").arg(f, digits, 10, QLatin1Char('0'));
}

int fractionDigits(Type t)
{
    switch (t.kind) {
    case Kind::DateTime:
        return 3;
    case Kind::SmallDateTime:
    case Kind::Date:
        return 0;
    default:
        return t.scale;
    }
}

// ---- reading text ---------------------------------------------------------------------------

struct Piece {
    enum Kind { Number, Word, Sep } kind;
    QString text;
};

struct Clock {
    bool present = false;
    qint64 ticks = 0;
    int fractionDigits = 0;   // digits after '.' (or 3 for ':mmm')
    bool hasOffset = false;
    bool zulu = false;   // the offset is written Z
    int offset = 0;
    bool valid = true;
};

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The time of day at the text's end: "hh:mi[:ss[.f…|:mmm]][ ]AM|PM", "h AM|PM", with an offset
// "±hh:mi" or "Z" after it. The text before it is left in rest.
Clock readClock(QString& text)
{
    Clock c;
    QString s = text.trimmed();
    // offset
    {
        if (s.endsWith(u'Z') || s.endsWith(u'z')) {
            const QString before = s.left(s.size() - 1);
            if (!before.isEmpty() && isDigit(before.back())) {
                c.hasOffset = true;
                c.zulu = true;
                s = before;
            }
        }
        const qsizetype sign = std::max(s.lastIndexOf(u'+'), s.lastIndexOf(u'-'));
        if (!c.hasOffset && sign > 0 && s.indexOf(u':') >= 0 && s.indexOf(u':') < sign) {
            const QString o = s.mid(sign + 1).trimmed();
            const QStringList hm = o.split(u':');
            bool okH = false, okM = true;
            const int h = hm.value(0).toInt(&okH);
            const int m = hm.size() > 1 ? hm.value(1).toInt(&okM) : 0;
            if (okH && okM && hm.size() <= 2 && hm.value(0).size() <= 2 && h <= 14 && m < 60) {
                c.hasOffset = true;
                c.offset = (h * 60 + m) * (s[sign] == u'-' ? -1 : 1);
                if (h == 14 && m) c.valid = false;
                s = s.left(sign).trimmed();
            } else {
                c.valid = false;
                return c;
            }
        }
    }
    // AM / PM
    int half = 0;   // 1 am, 2 pm
    {
        const QString low = s.toLower();
        if (low.endsWith(QLatin1String("am")) || low.endsWith(QLatin1String("pm"))) {
            half = low.endsWith(QLatin1String("am")) ? 1 : 2;
            s = s.left(s.size() - 2).trimmed();
        }
    }
    // the clock itself: find where it begins (after the last blank or 'T' before a ':'), or
    // a bare hour before AM/PM
    qsizetype colon = s.indexOf(u':');
    qsizetype start = -1;
    if (colon >= 0) {
        start = colon;
        while (start > 0 && isDigit(s[start - 1])) --start;
    } else if (half) {
        start = s.size();
        while (start > 0 && isDigit(s[start - 1])) --start;
        if (start == s.size()) {
            c.valid = false;
            return c;
        }
    } else {
        if (c.hasOffset) c.valid = false;
        return c;
    }
    QString clock = s.mid(start);
    QString rest = s.left(start);
    if (rest.endsWith(u'T') || rest.endsWith(u't')) {
        rest.chop(1);
        if (rest.isEmpty() || !isDigit(rest.back())) {
            c.valid = false;
            return c;
        }
    }
    c.present = true;
    // hh[:mi[:ss[.f|:mmm]]]
    int h = 0, mi = 0, sec = 0;
    qint64 frac = 0;
    {
        qsizetype i = 0;
        auto number = [&](int maxDigits, int& out) {
            const qsizetype from = i;
            while (i < clock.size() && isDigit(clock[i])) ++i;
            if (i == from || i - from > maxDigits) return false;
            out = clock.mid(from, i - from).toInt();
            return true;
        };
        if (!number(2, h)) c.valid = false;
        if (c.valid && i < clock.size() && clock[i] == u':') {
            ++i;
            if (!number(2, mi)) c.valid = false;
            if (c.valid && i < clock.size() && clock[i] == u':') {
                ++i;
                if (!number(2, sec)) c.valid = false;
                if (c.valid && i < clock.size() && (clock[i] == u'.' || clock[i] == u':')) {
                    const bool milli = clock[i] == u':';
                    ++i;
                    while (!milli && i < clock.size() && clock[i] == u' ') ++i;
                    const qsizetype from = i;
                    while (i < clock.size() && isDigit(clock[i])) ++i;
                    const QString digits = clock.mid(from, i - from);
                    if (milli) {
                        if (digits.isEmpty() || digits.size() > 3) c.valid = false;
                        frac = qint64(digits.toInt()) * 10'000;
                        c.fractionDigits = 3;
                    } else {
                        c.fractionDigits = int(digits.size());
                        if (digits.size() > 9) c.valid = false;
                        // 100-ns ticks, rounded from the digits beyond the seventh
                        QString d = digits.leftJustified(9, u'0');
                        const qint64 nanos = d.toLongLong();
                        frac = (nanos + 50) / 100;
                    }
                }
            }
        }
        if (i != clock.size()) c.valid = false;
    }
    if (half) {
        if (h < 1 || h > 12)
            c.valid = h == 0 && half == 1 ? c.valid : false;
        if (h == 12) h = 0;
        if (half == 2) h += 12;
    }
    if (h > 23 || mi > 59 || sec > 59) c.valid = false;
    c.ticks = (qint64(h) * 3600 + mi * 60 + sec) * kTicksPerSecond + frac;
    text = rest.trimmed();
    return c;
}

struct Calendar {
    bool present = false;
    bool valid = true;
    bool outOfRange = false;   // read as numbers, but no such day
    int year = 1900, month = 1, day = 1;
};

int fullYear(const QString& digits)
{
    const int y = digits.toInt();
    if (digits.size() > 2) return y;
    return y < 50 ? 2000 + y : 1900 + y;   // two-digit year cutoff 2049
}

int monthNamed(const QString& word, const Language& language)
{
    const QString w = word.toLower();
    for (int m = 0; m < 12; ++m) {
        const QString full = QString::fromUtf8(language.months[m]).toLower();
        const QString abbr = QString::fromUtf8(language.shortMonths[m]).toLower();
        if (w == full || w == abbr) return m + 1;
    }
    return 0;
}

void setDay(Calendar& c, int y, int m, int d)
{
    c.year = y;
    c.month = m;
    c.day = d;
    if (!QDate::isValid(y, m, d)) c.outOfRange = true;
}

// The date before the clock: unseparated digits, numbers with one separator, or a month name.
Calendar readCalendar(const QString& text, Type to, const Settings& settings, bool canonicalShape)
{
    Calendar c;
    const QString s = text.trimmed();
    if (s.isEmpty()) return c;
    c.present = true;
    // pieces
    QList<Piece> pieces;
    for (qsizetype i = 0; i < s.size();) {
        const QChar ch = s[i];
        if (isDigit(ch)) {
            qsizetype j = i;
            while (j < s.size() && isDigit(s[j])) ++j;
            pieces.append({Piece::Number, s.mid(i, j - i)});
            i = j;
        } else if (ch.isLetter()) {
            qsizetype j = i;
            while (j < s.size() && s[j].isLetter()) ++j;
            pieces.append({Piece::Word, s.mid(i, j - i)});
            i = j;
        } else if (ch == u'/' || ch == u'-' || ch == u'.') {
            pieces.append({Piece::Sep, QString(ch)});
            ++i;
        } else if (ch == u' ' || ch == u',') {
            ++i;
        } else {
            c.valid = false;
            return c;
        }
    }
    QList<QString> numbers;
    int month = 0;
    QList<QChar> seps;
    bool wordFirst = false;
    for (qsizetype k = 0; k < pieces.size(); ++k) {
        const Piece& p = pieces[k];
        if (p.kind == Piece::Number)
            numbers.append(p.text);
        else if (p.kind == Piece::Sep)
            seps.append(p.text[0]);
        else {
            if (month) {
                c.valid = false;
                return c;
            }
            month = monthNamed(p.text, *settings.language);
            if (!month) {
                c.valid = false;
                return c;
            }
            wordFirst = numbers.isEmpty();
        }
    }
    Q_UNUSED(wordFirst);
    if (month) {
        // Apr[il] [15][,] 1996 | 15 Apr 96 | 1996 apr 15 …: a four-digit number is the year;
        // else the first number is the day and the second the year.
        if (!seps.isEmpty() || numbers.isEmpty() || numbers.size() > 2) {
            c.valid = false;
            return c;
        }
        for (const QString& n : numbers)
            if (n.size() > 4 || n.size() == 3) {
                c.valid = false;
                return c;
            }
        int y = 0, d = 1;
        if (numbers.size() == 1) {
            if (numbers[0].size() != 4) {
                c.valid = false;
                return c;
            }
            y = numbers[0].toInt();
        } else if (numbers[0].size() == 4) {
            y = numbers[0].toInt();
            d = numbers[1].toInt();
        } else if (numbers[1].size() == 4) {
            d = numbers[0].toInt();
            y = numbers[1].toInt();
        } else {
            d = numbers[0].toInt();
            y = fullYear(numbers[1]);
        }
        setDay(c, y, month, d);
        return c;
    }
    if (numbers.size() == 1 && seps.isEmpty()) {
        // unseparated: yyyymmdd, yymmdd, yyyy
        const QString& n = numbers[0];
        if (n.size() == 8)
            setDay(c, n.left(4).toInt(), n.mid(4, 2).toInt(), n.mid(6, 2).toInt());
        else if (n.size() == 6)
            setDay(c, fullYear(n.left(2)), n.mid(2, 2).toInt(), n.mid(4, 2).toInt());
        else if (n.size() == 4)
            setDay(c, n.toInt(), 1, 1);
        else
            c.valid = false;
        return c;
    }
    if (numbers.size() != 3 || seps.size() != 2 || seps[0] != seps[1] || pieces.size() != 5) {
        c.valid = false;
        return c;
    }
    for (const QString& n : numbers)
        if (n.isEmpty() || n.size() > 4 || n.size() == 3) {
            c.valid = false;
            return c;
        }
    const QString order = settings.dateFormat;
    const bool dayBeforeMonth = order.indexOf(u'd') < order.indexOf(u'm');
    const bool oldType = to.kind == Kind::DateTime || to.kind == Kind::SmallDateTime;
    int y = 0, m = 0, d = 0;
    if (numbers[0].size() == 4) {
        // year first: yyyy-mm-dd, or yyyy-dd-mm where the old types follow a day-first order
        y = numbers[0].toInt();
        const bool ydm = oldType && dayBeforeMonth && !canonicalShape;
        m = numbers[ydm ? 2 : 1].toInt();
        d = numbers[ydm ? 1 : 2].toInt();
    } else if (numbers[1].size() == 4) {
        y = numbers[1].toInt();
        m = numbers[dayBeforeMonth ? 2 : 0].toInt();
        d = numbers[dayBeforeMonth ? 0 : 2].toInt();
    } else {
        // the session's order of the parts
        int parts[3] = {0, 0, 0};
        QString yearText;
        for (int k = 0; k < 3; ++k) {
            const QChar which = order.size() == 3 ? order[k] : QChar(u"mdy"[k]);
            if (which == u'y')
                yearText = numbers[k];
            else
                parts[which == u'm' ? 0 : 1] = numbers[k].toInt();
        }
        if (!oldType && order == u"ydm") {
            c.valid = false;
            return c;
        }
        y = fullYear(yearText);
        m = parts[0];
        d = parts[1];
    }
    setDay(c, y, m, d);
    return c;
}

// Whether the text has the shape of a canonical value: yyyy-mm-dd[ hh:mi:ss[.f…]][ ±hh:mi].
bool canonicalShapeOf(QStringView t)
{
    return t.size() >= 10 && isDigit(t[0]) && isDigit(t[3]) && t[4] == u'-' && t[7] == u'-' && isDigit(t[9])
        && (t.size() == 10 || t[10] == u' ');
}

}   // namespace

std::optional<Type> typeNamed(QStringView name, int scale)
{
    const QString n = name.toString().trimmed().toLower();
    const int s = scale < 0 ? 7 : std::min(scale, 7);
    if (n == u"datetime") return Type{Kind::DateTime, 3};
    if (n == u"smalldatetime") return Type{Kind::SmallDateTime, 0};
    if (n == u"date") return Type{Kind::Date, 0};
    if (n == u"time") return Type{Kind::Time, s};
    if (n == u"datetime2") return Type{Kind::DateTime2, s};
    if (n == u"datetimeoffset") return Type{Kind::DateTimeOffset, s};
    return std::nullopt;
}

QString typeName(Type t)
{
    switch (t.kind) {
    case Kind::DateTime:
        return QStringLiteral("datetime");
    case Kind::SmallDateTime:
        return QStringLiteral("smalldatetime");
    case Kind::Date:
        return QStringLiteral("date");
    case Kind::Time:
        return QStringLiteral("time");
    case Kind::DateTime2:
        return QStringLiteral("datetime2");
    case Kind::DateTimeOffset:
        return QStringLiteral("datetimeoffset");
    }
    return QString();
}

bool hasDate(Type t) { return t.kind != Kind::Time; }
bool hasTime(Type t) { return t.kind != Kind::Date; }

const Language* languageNamed(QStringView name)
{
    const QString n = name.toString().trimmed();
    for (const Language& l : kLanguages)
        if (n.compare(QString::fromUtf8(l.name), Qt::CaseInsensitive) == 0
            || n.compare(QString::fromUtf8(l.alias), Qt::CaseInsensitive) == 0)
            return &l;
    return nullptr;
}

const Language& usEnglish() { return kLanguages[0]; }

qint64 dayNumber(int year, int month, int day) { return QDate(year, month, day).toJulianDay(); }
int yearOf(qint64 day) { return QDate::fromJulianDay(day).year(); }
int monthOf(qint64 day) { return QDate::fromJulianDay(day).month(); }
int dayOf(qint64 day) { return QDate::fromJulianDay(day).day(); }
int isoWeekday(qint64 day) { return int(day % 7) + 1; }

Failure fit(Value& v, Type t)
{
    switch (t.kind) {
    case Kind::DateTime: {
        // 1/300 of a second, shown as .000, .003 or .007
        const qint64 unit = kTicksPerSecond / 1000;   // ticks per ms
        const qint64 seconds = v.ticks / kTicksPerSecond;
        const qint64 rest = v.ticks % kTicksPerSecond;
        const qint64 three = (rest * 300 + kTicksPerSecond / 2) / kTicksPerSecond;   // 0..300
        const qint64 ms = (three * 1000 + 150) / 300;
        v.ticks = seconds * kTicksPerSecond + ms * unit;
        break;
    }
    case Kind::SmallDateTime: {
        // to the minute: 29.998 seconds or less down, 29.999 or more up
        const qint64 minute = 60 * kTicksPerSecond;
        const qint64 rest = v.ticks % minute;
        v.ticks -= rest;
        if (rest >= 29'999 * (kTicksPerSecond / 1000)) v.ticks += minute;
        break;
    }
    case Kind::Date:
        v.ticks = 0;
        break;
    default: {
        const qint64 unit = pow10(7 - t.scale);
        v.ticks = (v.ticks + unit / 2) / unit * unit;
        break;
    }
    }
    if (v.ticks >= kTicksPerDay) {
        v.ticks -= kTicksPerDay;
        if (t.kind != Kind::Time) ++v.day;
    }
    if (t.kind == Kind::Time) {
        v.day = kDay19000101;
        return Failure::None;
    }
    if (t.kind != Kind::DateTimeOffset) v.offset = 0;
    if (v.day < firstDay(t.kind) || v.day > lastDay(t.kind)) return Failure::OutOfRange;
    return Failure::None;
}

Conversion fromText(QStringView input, Type to, const Settings& settings, int style)
{
    Conversion r;
    QString text = input.toString().trimmed();
    if (text.isEmpty()) {
        // the empty text is 1900-01-01 00:00
        r.value.day = kDay19000101;
        if (to.kind == Kind::DateTime || to.kind == Kind::SmallDateTime) return r;
        r.failure = Failure::Syntax;
        return r;
    }
    const bool canonicalShape = canonicalShapeOf(text);
    Settings effective = settings;
    // input styles of CONVERT: the numeric ones name their order
    switch (style % 100) {
    case 1: case 10: case 22: effective.dateFormat = QStringLiteral("mdy"); break;
    case 3: case 4: case 5: case 31: effective.dateFormat = QStringLiteral("dmy"); break;
    case 2: case 11: case 20: case 21: case 23: case 26: case 27: effective.dateFormat = QStringLiteral("ymd"); break;
    default: break;
    }
    if (style == 131 || style == 130) effective.dateFormat = QStringLiteral("dmy");
    Clock clock = readClock(text);
    if (!clock.valid) {
        r.failure = Failure::Syntax;
        return r;
    }
    const bool oldType = to.kind == Kind::DateTime || to.kind == Kind::SmallDateTime;
    // datetime and smalldatetime read three fractional digits at most and no offset but Z (an
    // ISO 8601 text of CONVERT's style 127 may carry one)
    if (oldType && (clock.fractionDigits > 3 || (clock.hasOffset && !clock.zulu && style != 127))) {
        r.failure = Failure::Syntax;
        return r;
    }
    if (clock.fractionDigits > 7) {
        r.failure = Failure::Syntax;
        return r;
    }
    const Calendar cal = readCalendar(text, to, effective, canonicalShape);
    if (!cal.valid || (!cal.present && !clock.present)) {
        r.failure = Failure::Syntax;
        return r;
    }
    if (cal.outOfRange) {
        r.failure = oldType ? Failure::OutOfRange : Failure::Syntax;
        return r;
    }
    if (!QDate::isValid(cal.year, cal.month, cal.day) || cal.year < 1) {
        r.failure = oldType ? Failure::OutOfRange : Failure::Syntax;
        return r;
    }
    r.value.day = dayNumber(cal.year, cal.month, cal.day);
    r.value.ticks = clock.ticks;
    r.value.offset = clock.hasOffset ? clock.offset : 0;
    r.hasOffset = clock.hasOffset;
    r.failure = fit(r.value, to);
    if (r.failure == Failure::OutOfRange && !oldType) r.failure = Failure::Syntax;
    return r;
}

Conversion fromDays(double days, Type to)
{
    Conversion r;
    if (to.kind != Kind::DateTime && to.kind != Kind::SmallDateTime) {
        r.failure = Failure::Syntax;
        return r;
    }
    const double whole = std::floor(days);
    if (std::abs(whole) > 4e6) {
        r.failure = Failure::Overflow;
        return r;
    }
    r.value.day = kDay19000101 + qint64(whole);
    r.value.ticks = qint64(std::llround((days - whole) * double(kTicksPerDay)));
    if (fit(r.value, to) != Failure::None) r.failure = Failure::Overflow;
    return r;
}

Conversion convert(Value v, Type from, Type to)
{
    Conversion r;
    r.value = v;
    if (from.kind == Kind::Time) r.value.day = kDay19000101;
    if (from.kind == Kind::Date) r.value.ticks = 0;
    if (to.kind == Kind::DateTime && from.kind != Kind::SmallDateTime && from.kind != Kind::DateTime) {
        // more digits than datetime keeps are cut, not rounded
        r.value.ticks = r.value.ticks / 10'000 * 10'000;
    }
    if (from.kind == Kind::DateTimeOffset && to.kind != Kind::DateTimeOffset) r.value.offset = 0;
    r.failure = fit(r.value, to);
    return r;
}

std::optional<Canonical> readCanonical(QStringView t)
{
    auto num = [&](qsizetype at, int n, int& out) {
        if (at + n > t.size()) return false;
        int v = 0;
        for (int k = 0; k < n; ++k) {
            const QChar c = t[at + k];
            if (!isDigit(c)) return false;
            v = v * 10 + (c.unicode() - '0');
        }
        out = v;
        return true;
    };
    // the time of day at `at`: hh:mi:ss[.f…]; returns the end or -1
    auto clock = [&](qsizetype at, qint64& ticks, int& digits) -> qsizetype {
        int h, mi, s;
        if (!num(at, 2, h) || at + 8 > t.size() || t[at + 2] != u':' || !num(at + 3, 2, mi) || t[at + 5] != u':'
            || !num(at + 6, 2, s) || h > 23 || mi > 59 || s > 59)
            return -1;
        qsizetype i = at + 8;
        digits = 0;
        qint64 frac = 0;
        if (i < t.size() && t[i] == u'.') {
            ++i;
            while (i < t.size() && isDigit(t[i]) && digits < 7) {
                frac = frac * 10 + (t[i].unicode() - '0');
                ++digits;
                ++i;
            }
            if (digits == 0) return -1;
        }
        ticks = (qint64(h) * 3600 + mi * 60 + s) * kTicksPerSecond + frac * pow10(7 - digits);
        return i;
    };
    Canonical c;
    if (t.size() >= 8 && t[2] == u':') {
        int digits = 0;
        const qsizetype end = clock(0, c.value.ticks, digits);
        if (end != t.size()) return std::nullopt;
        c.value.day = kDay19000101;
        c.type = {Kind::Time, digits};
        return c;
    }
    int y, m, d;
    if (!num(0, 4, y) || t.size() < 10 || t[4] != u'-' || !num(5, 2, m) || t[7] != u'-' || !num(8, 2, d)
        || !QDate::isValid(y, m, d))
        return std::nullopt;
    c.value.day = dayNumber(y, m, d);
    if (t.size() == 10) {
        c.type = {Kind::Date, 0};
        return c;
    }
    if (t[10] != u' ') return std::nullopt;
    int digits = 0;
    const qsizetype end = clock(11, c.value.ticks, digits);
    if (end < 0) return std::nullopt;
    if (end == t.size()) {
        if (digits == 3)
            c.type = {Kind::DateTime, 3};
        else if (digits == 0 && c.value.ticks % (60 * kTicksPerSecond) == 0 && t.size() == 19)
            c.type = {Kind::SmallDateTime, 0};
        else
            c.type = {Kind::DateTime2, digits};
        return c;
    }
    // ' ±hh:mi'
    int oh, om;
    if (end + 7 != t.size() || t[end] != u' ' || (t[end + 1] != u'+' && t[end + 1] != u'-') || !num(end + 2, 2, oh)
        || t[end + 4] != u':' || !num(end + 5, 2, om))
        return std::nullopt;
    c.value.offset = (oh * 60 + om) * (t[end + 1] == u'-' ? -1 : 1);
    c.type = {Kind::DateTimeOffset, digits};
    return c;
}

QString canonical(const Value& v, Type t)
{
    const qint64 seconds = v.ticks / kTicksPerSecond;
    const QString clock = two(seconds / 3600) + u':' + two(seconds / 60 % 60) + u':' + two(seconds % 60);
    const int digits = fractionDigits(t);
    const QString frac = digits > 0 ? u'.' + fraction(v.ticks, digits) : QString();
    if (t.kind == Kind::Time) return clock + frac;
    const QDate d = QDate::fromJulianDay(v.day);
    const QString date = four(d.year()) + u'-' + two(d.month()) + u'-' + two(d.day());
    if (t.kind == Kind::Date) return date;
    QString s = date + u' ' + clock + frac;
    if (t.kind == Kind::DateTimeOffset) {
        const int o = std::abs(v.offset);
        s += QStringLiteral(" %1%2:%3").arg(QChar(v.offset < 0 ? u'-' : u'+')).arg(two(o / 60), two(o % 60));
    }
    return s;
}

namespace {

// Hijri (Kuwaiti algorithm: the tabular calendar) year, month and day of a Julian day.
void hijri(qint64 jd, int& y, int& m, int& d)
{
    const qint64 epoch = 1948439;   // 1 Muharram 1 AH as a Julian day (the astronomical epoch)
    qint64 rest = jd - epoch;
    int year = int(rest / 10631) * 30;
    rest %= 10631;
    auto leap = [](int k) {
        static const int leaps[] = {2, 5, 7, 10, 13, 16, 18, 21, 24, 26, 29};
        for (int l : leaps)
            if (l == k) return true;
        return false;
    };
    int k = 1;
    for (; k <= 30; ++k) {
        const int len = leap(k) ? 355 : 354;
        if (rest < len) break;
        rest -= len;
    }
    y = year + k;
    m = 1;
    for (; m <= 12; ++m) {
        const int len = (m % 2 ? 30 : 29) + (m == 12 && leap(k) ? 1 : 0);
        if (rest < len) break;
        rest -= len;
    }
    d = int(rest) + 1;
}

const char* const kHijriMonths[12] = {"محرم", "صفر", "ربيع الاول", "ربيع الثاني", "جمادى الاولى", "جمادى الثانية",
    "رجب", "شعبان", "رمضان", "شوال", "ذو القعدة", "ذو الحجة"};

}   // namespace

std::optional<QString> styled(const Value& value, Type t, int style, const Language& language)
{
    Value v = value;
    if (t.kind == Kind::Time) v.day = kDay19000101;
    const QDate date = QDate::fromJulianDay(v.day);
    const qint64 seconds = v.ticks / kTicksPerSecond;
    const int h = int(seconds / 3600), mi = int(seconds / 60 % 60), s = int(seconds % 60);
    const bool century = style >= 100 || style == 0 || style == 9 || style == 13 || style == 20 || style == 21
        || style == 23 || style == 25;
    const QString yy = century ? four(date.year()) : two(date.year() % 100);
    const QString mm = two(date.month()), dd = two(date.day());
    const QString mon = QString::fromUtf8(language.shortMonths[date.month() - 1]);
    const int digits = fractionDigits(t);
    // milliseconds as the old styles show them (3 digits; the type's own for the new types)
    const QString ms = t.kind == Kind::DateTime || t.kind == Kind::SmallDateTime
        ? fraction(v.ticks, 3)
        : fraction(v.ticks, std::max(digits, 0));
    const QString hh12 = QStringLiteral("%1").arg(h % 12 == 0 ? 12 : h % 12, 2, 10, QLatin1Char(' '));
    const QString ampm = h < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
    const QString hms = two(h) + u':' + two(mi) + u':' + two(s);
    const QString dayPadded = QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char(' '));
    const QString frac = ms.isEmpty() ? QString() : u':' + ms;
    switch (style) {
    case 0:
    case 100:
        return mon + u' ' + dayPadded + u' ' + four(date.year()) + u' ' + hh12 + u':' + two(mi) + ampm;
    case 1:
    case 101:
        return mm + u'/' + dd + u'/' + yy;
    case 2:
    case 102:
        return yy + u'.' + mm + u'.' + dd;
    case 3:
    case 103:
        return dd + u'/' + mm + u'/' + yy;
    case 4:
    case 104:
        return dd + u'.' + mm + u'.' + yy;
    case 5:
    case 105:
        return dd + u'-' + mm + u'-' + yy;
    case 6:
    case 106:
        return dd + u' ' + mon + u' ' + yy;
    case 7:
    case 107:
        return mon + u' ' + dd + QStringLiteral(", ") + yy;
    case 8:
    case 24:
    case 108:
        return hms;
    case 9:
    case 109:
        return mon + u' ' + dayPadded + u' ' + four(date.year()) + u' ' + hh12 + u':' + two(mi) + u':' + two(s) + frac
            + ampm;
    case 10:
    case 110:
        return mm + u'-' + dd + u'-' + yy;
    case 11:
    case 111:
        return yy + u'/' + mm + u'/' + dd;
    case 12:
    case 112:
        return yy + mm + dd;
    case 13:
    case 113:
        return dd + u' ' + mon + u' ' + four(date.year()) + u' ' + hms + frac;
    case 14:
    case 114:
        return hms + frac;
    case 20:
    case 120:
        if (t.kind == Kind::Time) return hms;
        if (t.kind == Kind::Date) return four(date.year()) + u'-' + mm + u'-' + dd;
        return four(date.year()) + u'-' + mm + u'-' + dd + u' ' + hms;
    case 21:
    case 25:
    case 121:
        if (t.kind == Kind::DateTime || t.kind == Kind::SmallDateTime)
            return four(date.year()) + u'-' + mm + u'-' + dd + u' ' + hms + u'.' + fraction(v.ticks, 3);
        return canonical(v, t);
    case 22:
        return mm + u'/' + dd + u'/' + two(date.year() % 100) + u' ' + hh12 + u':' + two(mi) + u':' + two(s) + u' '
            + ampm;
    case 23:
        return four(date.year()) + u'-' + mm + u'-' + dd;
    case 126:
    case 127: {
        Value u = v;
        if (style == 127 && t.kind == Kind::DateTimeOffset) {
            qint64 ticks = u.ticks - qint64(u.offset) * 60 * kTicksPerSecond;
            while (ticks < 0) {
                ticks += kTicksPerDay;
                --u.day;
            }
            while (ticks >= kTicksPerDay) {
                ticks -= kTicksPerDay;
                ++u.day;
            }
            u.ticks = ticks;
        }
        const QDate ud = QDate::fromJulianDay(u.day);
        const qint64 us = u.ticks / kTicksPerSecond;
        QString r;
        if (t.kind != Kind::Time) r = four(ud.year()) + u'-' + two(ud.month()) + u'-' + two(ud.day());
        if (t.kind != Kind::Date) {
            if (!r.isEmpty()) r += u'T';
            r += two(us / 3600) + u':' + two(us / 60 % 60) + u':' + two(us % 60);
            const int n = t.kind == Kind::DateTime || t.kind == Kind::SmallDateTime ? 3 : digits;
            if (n > 0 && u.ticks % kTicksPerSecond != 0) r += u'.' + fraction(u.ticks, n);
        }
        if (style == 127 && t.kind == Kind::DateTimeOffset) r += u'Z';
        else if (t.kind == Kind::DateTimeOffset) {
            const int o = std::abs(v.offset);
            r += QStringLiteral("%1%2:%3").arg(QChar(v.offset < 0 ? u'-' : u'+')).arg(two(o / 60), two(o % 60));
        }
        return r;
    }
    case 130:
    case 131: {
        int hy, hm, hd;
        hijri(v.day, hy, hm, hd);
        const QString clock = hh12 + u':' + two(mi) + u':' + two(s) + u'.' + fraction(v.ticks, 3) + ampm;
        if (style == 130)
            return two(hd) + u' ' + QString::fromUtf8(kHijriMonths[hm - 1]) + u' ' + four(hy) + u' ' + clock;
        return two(hd) + u'/' + two(hm) + u'/' + four(hy) + u' ' + clock;
    }
    default:
        return std::nullopt;
    }
}

QString defaultText(const Value& v, Type t, const Language& language)
{
    if (t.kind == Kind::DateTime || t.kind == Kind::SmallDateTime) return *styled(v, t, 0, language);
    return canonical(v, t);
}

QString failureMessage(Failure f, Type to, const QString& fromType)
{
    switch (f) {
    case Failure::Syntax:
        return QStringLiteral("Conversion failed when converting date and/or time from character string.");
    case Failure::OutOfRange:
        return QStringLiteral("The conversion of a %1 data type to a %2 data type resulted in an out-of-range value.")
            .arg(fromType, typeName(to));
    case Failure::Overflow:
        return QStringLiteral("Arithmetic overflow error converting expression to data type %1.").arg(typeName(to));
    case Failure::None:
        break;
    }
    return QString();
}

long failureNumber(Failure f)
{
    switch (f) {
    case Failure::Syntax:
        return 241;
    case Failure::OutOfRange:
        return 242;
    case Failure::Overflow:
        return 8115;
    case Failure::None:
        break;
    }
    return 0;
}

}   // namespace orra::embedded::dates
