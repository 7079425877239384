#pragma once
// An exact decimal value as SQL Server's decimal, numeric, money and smallmoney hold it: a
// whole number of units of 10^-scale (up to 38 digits), so that 76493.74 stays 76493.74 on
// its way from the server to a script or a workbook.
//
// Field values of money and decimal columns are Decimal inside the QVariant (see Types.h);
// QVariant's toDouble(), toString() and toLongLong() work on them (converters are registered
// with the type).

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <optional>

namespace orra::db {

class Decimal {
public:
    using Units = __int128;
    static constexpr int kMaxScale = 38;

    Decimal() = default;
    // units * 10^-scale; scale 0 to 38.
    static Decimal fromUnits(Units units, int scale);
    static Decimal fromInteger(qlonglong n, int scale = 0) { return fromUnits(Units(n), 0).rescaled(scale); }
    // Plain or exponent text ("-12.50", "1E+3", " 7 "), '.' as the decimal point; nothing for
    // text that is not a number or needs more than 38 digits.
    static std::optional<Decimal> parse(QStringView text);
    // The double's shortest exact-looking form, rounded to scale (half away from zero), so that
    // a sum of money carried as a double (76493.74000000001) comes back as 76493.74.
    static std::optional<Decimal> fromDouble(double d, int scale);

    // 10^n for n from 0 to 38 (n is clamped to that range).
    static Units powerOfTen(int n);

    Units units() const { return m_units; }
    int scale() const { return m_scale; }
    bool isZero() const { return m_units == 0; }
    bool isNegative() const { return m_units < 0; }

    // The same value at another scale, rounded half away from zero when the scale drops;
    // nothing when it needs more than 38 digits.
    Decimal rescaled(int scale) const;
    std::optional<Decimal> tryRescaled(int scale) const;

    double toDouble() const;
    // Currency's scaled integer (value * 10000), rounded; false when out of its range.
    bool toCurrencyScaled(qint64& out) const;
    qlonglong toLongLong() const;   // truncated toward zero

    // All scale digits: "76493.7400", "-0.50", "12".
    QString toString() const;
    // Without trailing zeros after the point (and without the point when none is left), as
    // VB's CStr writes Currency and Decimal values: "76493.74", "-0.5", "12".
    QString toText() const;

    // Numeric equality and order, whatever the scales.
    friend bool operator==(const Decimal& a, const Decimal& b) { return compare(a, b) == 0; }
    friend bool operator!=(const Decimal& a, const Decimal& b) { return compare(a, b) != 0; }
    friend bool operator<(const Decimal& a, const Decimal& b) { return compare(a, b) < 0; }
    static int compare(const Decimal& a, const Decimal& b);

private:
    Units m_units = 0;
    int m_scale = 0;
};

// A field value holding d (registers the type with Qt's meta-type system on first use).
QVariant decimalVariant(const Decimal& d);
// The Decimal inside a field value, or nothing when v holds another type.
std::optional<Decimal> decimalOf(const QVariant& v);
bool isDecimal(const QVariant& v);
// A number (integer, double, Decimal) or numeric text as a Decimal field value at scale;
// NULL stays NULL, and a value that is no number or needs more than 38 digits is kept as it is.
QVariant exactValue(const QVariant& v, int scale);
int decimalMetaTypeId();

}   // namespace orra::db

Q_DECLARE_METATYPE(orra::db::Decimal)
