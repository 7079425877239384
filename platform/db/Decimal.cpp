#include "platform/db/Decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <mutex>

namespace orra::db {

namespace {

using Units = Decimal::Units;

Units pow10(int n) { return Decimal::powerOfTen(n); }

const Units kLimit = pow10(38);   // 38 digits at most

Units absolute(Units u) { return u < 0 ? -u : u; }

// Divides by 10^k, rounding half away from zero.
Units divideRounded(Units u, int k)
{
    const Units p = pow10(k);
    Units q = u / p;
    const Units r = absolute(u % p);
    if (r * 2 >= p) q += u < 0 ? -1 : 1;
    return q;
}

std::once_flag g_registered;

void registerType()
{
    std::call_once(g_registered, [] {
        qRegisterMetaType<Decimal>();
        QMetaType::registerConverter<Decimal, double>([](const Decimal& d) { return d.toDouble(); });
        QMetaType::registerConverter<Decimal, float>([](const Decimal& d) { return float(d.toDouble()); });
        QMetaType::registerConverter<Decimal, QString>([](const Decimal& d) { return d.toText(); });
        QMetaType::registerConverter<Decimal, qlonglong>([](const Decimal& d) { return d.toLongLong(); });
        QMetaType::registerConverter<Decimal, int>([](const Decimal& d) { return int(d.toLongLong()); });
        QMetaType::registerConverter<Decimal, bool>([](const Decimal& d) { return !d.isZero(); });
    });
}

}   // namespace

Decimal::Units Decimal::powerOfTen(int n)
{
    static const auto powers = [] {
        std::array<Units, kMaxScale + 1> p{};
        p[0] = 1;
        for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
        return p;
    }();
    return powers[size_t(std::clamp(n, 0, kMaxScale))];
}

Decimal Decimal::fromUnits(Units units, int scale)
{
    Decimal d;
    d.m_units = units;
    d.m_scale = std::clamp(scale, 0, kMaxScale);
    return d;
}

std::optional<Decimal> Decimal::parse(QStringView text)
{
    text = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    QString digits;
    int fraction = 0;
    bool point = false, any = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            any = true;
            if (point) ++fraction;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return std::nullopt;
    int exponent = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == u'-' || text[i] == u'+')) expNegative = text[i++] == u'-';
        bool expAny = false;
        for (; i < n && text[i].isDigit(); ++i) {
            exponent = std::min(exponent * 10 + text[i].digitValue(), 10000);
            expAny = true;
        }
        if (!expAny) return std::nullopt;
        if (expNegative) exponent = -exponent;
    }
    if (i != n) return std::nullopt;
    int scale = fraction - exponent;
    // leading zeros carry nothing
    qsizetype lead = 0;
    while (lead < digits.size() - 1 && digits[lead] == u'0') ++lead;
    digits = digits.mid(lead);
    if (scale < 0) {
        if (digits != u"0") digits += QString(-scale, u'0');
        scale = 0;
    }
    bool roundUp = false;
    if (scale > kMaxScale) {
        const int drop = scale - kMaxScale;
        if (drop >= digits.size()) {
            roundUp = drop == digits.size() && digits[0].digitValue() >= 5;
            digits = QStringLiteral("0");
        } else {
            roundUp = digits[digits.size() - drop].digitValue() >= 5;
            digits.chop(drop);
        }
        scale = kMaxScale;
    }
    if (digits.size() > 38) return std::nullopt;
    Units u = 0;
    for (const QChar c : digits) u = u * 10 + c.digitValue();
    if (roundUp) ++u;
    if (u >= kLimit) return std::nullopt;
    return fromUnits(negative ? -u : u, scale);
}

std::optional<Decimal> Decimal::fromDouble(double d, int scale)
{
    if (!std::isfinite(d)) return std::nullopt;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, d);   // shortest form that reads back as d
    const std::optional<Decimal> exact = parse(QString::fromLatin1(buf, int(r.ptr - buf)));
    if (!exact) return std::nullopt;
    return exact->tryRescaled(scale);
}

std::optional<Decimal> Decimal::tryRescaled(int scale) const
{
    scale = std::clamp(scale, 0, kMaxScale);
    if (scale == m_scale) return *this;
    if (scale < m_scale) return fromUnits(divideRounded(m_units, m_scale - scale), scale);
    // units * 10^k within 38 digits: units below 10^(38 - k)
    if (absolute(m_units) >= pow10(kMaxScale - (scale - m_scale))) return std::nullopt;
    return fromUnits(m_units * pow10(scale - m_scale), scale);
}

Decimal Decimal::rescaled(int scale) const
{
    if (const auto d = tryRescaled(scale)) return *d;
    return *this;
}

double Decimal::toDouble() const
{
    // Both the units and the power of ten are exact doubles here, and a division rounds
    // correctly: the same double as reading the decimal text.
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13,
        1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr Units kExactUnits = Units(1) << 53;
    if (m_scale <= 22 && m_units < kExactUnits && m_units > -kExactUnits) return double(m_units) / kPowers[m_scale];
    const QByteArray text = toString().toLatin1();
    double d = 0;
    std::from_chars(text.constData(), text.constData() + text.size(), d);
    return d;
}

bool Decimal::toCurrencyScaled(qint64& out) const
{
    const std::optional<Decimal> c = tryRescaled(4);
    if (!c || c->m_units > Units(std::numeric_limits<qint64>::max())
        || c->m_units < Units(std::numeric_limits<qint64>::min()))
        return false;
    out = qint64(c->m_units);
    return true;
}

qlonglong Decimal::toLongLong() const
{
    const Units whole = m_units / pow10(m_scale);
    if (whole > Units(std::numeric_limits<qlonglong>::max())) return std::numeric_limits<qlonglong>::max();
    if (whole < Units(std::numeric_limits<qlonglong>::min())) return std::numeric_limits<qlonglong>::min();
    return qlonglong(whole);
}

QString Decimal::toString() const
{
    Units u = absolute(m_units);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(u % 10)));
        u /= 10;
    } while (u > 0);
    if (m_scale > 0) {
        if (digits.size() <= m_scale) digits.prepend(QString(m_scale - digits.size() + 1, u'0'));
        digits.insert(digits.size() - m_scale, u'.');
    }
    if (m_units < 0) digits.prepend(u'-');
    return digits;
}

QString Decimal::toText() const
{
    QString s = toString();
    if (m_scale > 0) {
        while (s.endsWith(u'0')) s.chop(1);
        if (s.endsWith(u'.')) s.chop(1);
    }
    return s;
}

int Decimal::compare(const Decimal& a, const Decimal& b)
{
    const int scale = std::max(a.m_scale, b.m_scale);
    const auto x = a.tryRescaled(scale);
    const auto y = b.tryRescaled(scale);
    if (x && y) return x->m_units < y->m_units ? -1 : (x->m_units > y->m_units ? 1 : 0);
    const double p = a.toDouble(), q = b.toDouble();
    return p < q ? -1 : (p > q ? 1 : 0);
}

QVariant decimalVariant(const Decimal& d)
{
    registerType();
    return QVariant::fromValue(d);
}

int decimalMetaTypeId()
{
    registerType();
    return qMetaTypeId<Decimal>();
}

std::optional<Decimal> decimalOf(const QVariant& v)
{
    if (v.typeId() != decimalMetaTypeId()) return std::nullopt;
    return *static_cast<const Decimal*>(v.constData());
}

bool isDecimal(const QVariant& v) { return v.isValid() && v.typeId() == decimalMetaTypeId(); }

QVariant exactValue(const QVariant& v, int scale)
{
    if (!v.isValid()) return v;
    std::optional<Decimal> d;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::SChar:
        d = Decimal::fromInteger(v.toLongLong(), 0).tryRescaled(scale);
        break;
    case QMetaType::Bool:
        d = Decimal::fromInteger(v.toBool() ? 1 : 0, 0).tryRescaled(scale);
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        d = Decimal::fromDouble(v.toDouble(), scale);
        break;
    case QMetaType::QString:
        if (const auto parsed = Decimal::parse(*static_cast<const QString*>(v.constData())))
            d = parsed->tryRescaled(scale);
        break;
    default:
        if (const auto exact = decimalOf(v)) d = exact->tryRescaled(scale);
        break;
    }
    return d ? decimalVariant(*d) : v;
}

}   // namespace orra::db
