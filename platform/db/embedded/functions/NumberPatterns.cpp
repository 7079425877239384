#include "platform/db/embedded/functions/NumberPatterns.h"

#include <cmath>
#include <vector>

namespace orra::embedded {

namespace {

// A pattern character: a specifier, or a literal copied as it stands.
struct PatternChar {
    QChar c;
    bool literal;
    bool is(char16_t s) const { return !literal && c == s; }
    bool placeholder() const { return is(u'0') || is(u'#'); }
};
using Section = std::vector<PatternChar>;

std::vector<Section> sectionsOf(const QString& pattern)
{
    std::vector<Section> sections(1);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'\\' && i + 1 < pattern.size()) {
            sections.back().push_back({pattern[++i], true});
        } else if (c == u'\'' || c == u'"') {
            qsizetype end = pattern.indexOf(c, i + 1);
            if (end < 0) end = pattern.size();
            for (qsizetype k = i + 1; k < end; ++k) sections.back().push_back({pattern[k], true});
            i = end;
        } else if (c == u';') {
            if (sections.size() == 3) break;
            sections.emplace_back();
        } else {
            sections.back().push_back({c, false});
        }
    }
    return sections;
}

// A decimal amount as its digits and the place of its point among them.
struct Amount {
    QString digits;   // no sign, no point
    qsizetype point = 0;

    static Amount of(const QString& text)
    {
        Amount a;
        const qsizetype dot = text.indexOf(u'.');
        a.digits = QString(text).remove(u'.');
        a.point = dot < 0 ? text.size() : dot;
        return a;
    }
    void shift(int places) { point += places; }   // times 10^places
    // Rounded half away from zero to decimals places after the point.
    void round(int decimals)
    {
        while (point < 1) {
            digits.prepend(u'0');
            ++point;
        }
        while (digits.size() < point + decimals + 1) digits.append(u'0');
        const bool up = digits[point + decimals] >= u'5';
        digits.truncate(point + decimals);
        if (!up) return;
        qsizetype i = digits.size();
        while (i-- > 0) {
            if (digits[i] == u'9') {
                digits[i] = u'0';
                continue;
            }
            digits[i] = QChar(digits[i].unicode() + 1);
            return;
        }
        digits.prepend(u'1');
        ++point;
    }
    QString whole() const
    {
        QString w = digits.left(point);
        while (w.size() > 1 && w.startsWith(u'0')) w.remove(0, 1);
        return w.isEmpty() ? QStringLiteral("0") : w;
    }
    QString fraction() const { return digits.mid(point); }
    bool isZero() const
    {
        for (QChar d : digits)
            if (d != u'0') return false;
        return true;
    }
};

// One section applied to the amount (a copy: rounded and scaled here); zero tells whether
// it came out as zero.
QString applySection(const Section& p, Amount a, const QLocale& locale, bool& zero)
{
    size_t point = p.size();
    for (size_t i = 0; i < p.size() && point == p.size(); ++i)
        if (p[i].is(u'.')) point = i;
    size_t lastPlaceholder = p.size();   // the last placeholder before the point
    for (size_t i = 0; i < point; ++i)
        if (p[i].placeholder()) lastPlaceholder = i;
    int scaling = 0, fracDigits = 0;
    bool grouping = false;
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i].is(u'%')) a.shift(2);
        if (p[i].is(QChar(0x2030).unicode())) a.shift(3);
        if (i > point && p[i].placeholder()) ++fracDigits;
        if (i < point && p[i].is(u',') && lastPlaceholder < p.size()) {
            // commas right after the last placeholder divide by a thousand each; others group
            bool scales = i > lastPlaceholder;
            if (scales) ++scaling;
            else grouping = true;
        }
    }
    a.shift(-3 * scaling);
    a.round(fracDigits);
    zero = a.isZero();
    // the integer part: placeholders filled from the right, the leftmost takes the digits left
    QString intDigits = a.whole();
    int placeholders = 0;
    for (size_t i = 0; i < point; ++i) placeholders += p[i].placeholder() ? 1 : 0;
    if (intDigits == u"0") {
        bool zeroShown = false;
        for (size_t i = 0; i < point; ++i) zeroShown = zeroShown || p[i].is(u'0');
        if (!zeroShown) intDigits.clear();
    }
    QString intOut;
    qsizetype di = intDigits.size();
    int seen = 0;
    std::vector<bool> isDigit;   // of intOut's characters, for the group separators
    auto prepend = [&](const QString& s, bool digits) {
        intOut.prepend(s);
        isDigit.insert(isDigit.begin(), size_t(s.size()), digits);
    };
    for (size_t i = point; i-- > 0;) {
        const PatternChar& c = p[i];
        if (c.placeholder()) {
            if (++seen == placeholders) {
                const QString rest = intDigits.left(di);
                prepend(rest.isEmpty() && c.is(u'0') ? QStringLiteral("0") : rest, true);
                di = 0;
            } else if (di > 0) {
                prepend(QString(intDigits[--di]), true);
            } else if (c.is(u'0')) {
                prepend(QStringLiteral("0"), true);
            }
        } else if (c.is(u',')) {
        } else if (c.is(u'%')) {
            prepend(locale.percent(), false);
        } else {
            prepend(QString(c.c), false);
        }
    }
    if (placeholders == 0) prepend(intDigits, true);
    if (grouping) {
        QString grouped;
        int count = 0;
        for (qsizetype i = intOut.size(); i-- > 0;) {
            grouped.prepend(intOut[i]);
            if (isDigit[size_t(i)] && ++count % 3 == 0 && i > 0 && isDigit[size_t(i - 1)])
                grouped.prepend(locale.groupSeparator());
        }
        intOut = grouped;
    }
    // the fraction: its digits, trailing zeros left out where # stands
    QString f = a.fraction();
    int optional = 0;
    for (size_t i = p.size(); i-- > point + 1 && !p[i].is(u'0');) optional += p[i].is(u'#') ? 1 : 0;
    while (optional-- > 0 && f.endsWith(u'0')) f.chop(1);
    QString fracOut;
    qsizetype fi = 0;
    for (size_t i = point + 1; i < p.size(); ++i) {
        const PatternChar& c = p[i];
        if (c.placeholder()) {
            if (fi < f.size()) fracOut += f[fi++];
        } else if (c.is(u'%')) {
            fracOut += locale.percent();
        } else if (!c.is(u',')) {
            fracOut += c.c;
        }
    }
    return intOut + (f.isEmpty() ? QString() : QString(locale.decimalPoint())) + fracOut;
}

}   // namespace

QString customNumber(const QString& pattern, const QString& digits, bool negative, bool zero, const QLocale& locale)
{
    const std::vector<Section> sections = sectionsOf(pattern);
    const Amount amount = Amount::of(digits);
    bool roundedToZero = false;
    if (sections.size() == 1 || (negative && sections[1].empty())) {
        const QString out = applySection(sections[0], amount, locale, roundedToZero);
        if (sections.size() == 3 && roundedToZero && !zero) return applySection(sections[2], amount, locale, roundedToZero);
        return negative && !roundedToZero ? locale.negativeSign() + out : out;
    }
    if (zero && sections.size() == 3) return applySection(sections[2], amount, locale, roundedToZero);
    // a section of its own for negative values, which then show no sign of their own
    const QString out = applySection(negative ? sections[1] : sections[0], amount, locale, roundedToZero);
    if (!roundedToZero) return out;
    if (sections.size() == 3) return applySection(sections[2], amount, locale, roundedToZero);
    return negative ? applySection(sections[0], amount, locale, roundedToZero) : out;
}

QString decimalDigits(const QString& exactText, double value)
{
    QString t = exactText.trimmed();
    if (t.startsWith(u'-') || t.startsWith(u'+')) t.remove(0, 1);
    if (!t.isEmpty() && !t.contains(u'e', Qt::CaseInsensitive)) return t;
    const double a = std::abs(value);
    if (a == 0) return QStringLiteral("0");
    const int exponent = int(std::floor(std::log10(a)));
    QString s = QString::number(a, 'f', std::max(0, 14 - exponent));
    if (exponent > 14) {   // digits past the fifteenth are zeros
        s = QString::number(a, 'e', 14);
        const int e = s.section(u'e', 1).toInt();
        QString m = s.section(u'e', 0, 0).remove(u'.');
        while (m.size() < e + 1) m.append(u'0');
        return m;
    }
    if (s.contains(u'.')) {
        while (s.endsWith(u'0')) s.chop(1);
        if (s.endsWith(u'.')) s.chop(1);
    }
    return s;
}

QString scientificNumber(const QString& digits, bool negative, int precision, bool upper, const QLocale& locale)
{
    Amount a = Amount::of(digits);
    int exponent = 0;
    // one digit before the point: the first significant one
    qsizetype first = 0;
    while (first < a.digits.size() && a.digits[first] == u'0') ++first;
    if (first < a.digits.size()) {
        exponent = int(a.point - first - 1);
        a.shift(-exponent);
    }
    a.round(precision);
    if (a.whole().size() > 1) {   // rounded up to 10
        a.shift(-1);
        ++exponent;
        a.round(precision);
    }
    QString out = negative ? locale.negativeSign() : QString();
    out += a.whole();
    if (precision > 0) out += locale.decimalPoint() + a.fraction();
    out += upper ? u'E' : u'e';
    out += exponent < 0 ? u'-' : u'+';
    out += QStringLiteral("%1").arg(std::abs(exponent), 3, 10, QLatin1Char('0'));
    return out;
}

}   // namespace orra::embedded
