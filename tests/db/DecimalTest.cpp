// Exact decimal values: reading, rounding to a column's scale, text forms and QVariant use.
#include "platform/db/Decimal.h"
#include "platform/db/Recordset.h"

#include <cmath>
#include <gtest/gtest.h>
#include "tests/db/Printers.h"

using namespace orra::db;

namespace {

Decimal dec(const char* text)
{
    const auto d = Decimal::parse(QString::fromLatin1(text));
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(Decimal());
}

}   // namespace

TEST(Decimal, ParsesPlainAndExponentForms)
{
    EXPECT_EQ(dec("76493.74").toString(), QStringLiteral("76493.74"));
    EXPECT_EQ(dec(" -0.50 ").toString(), QStringLiteral("-0.50"));
    EXPECT_EQ(dec("1E+3").toString(), QStringLiteral("1000"));
    EXPECT_EQ(dec("1.5e-3").toString(), QStringLiteral("0.0015"));
    EXPECT_EQ(dec("+007").units(), Decimal::Units(7));
    EXPECT_EQ(dec("99999999999999999999999999999999999999").toString(),
        QStringLiteral("99999999999999999999999999999999999999"));
    EXPECT_FALSE(Decimal::parse(QStringLiteral("100000000000000000000000000000000000000")).has_value());
    EXPECT_FALSE(Decimal::parse(QStringLiteral("12a")).has_value());
    EXPECT_FALSE(Decimal::parse(QStringLiteral("")).has_value());
    EXPECT_FALSE(Decimal::parse(QStringLiteral("1e")).has_value());
}

TEST(Decimal, ADoubleSumComesBackAtTheColumnsScale)
{
    const double sum = std::nextafter(76493.74, 1e9);
    ASSERT_NE(sum, 76493.74);   // what a sum of money carried as doubles gives
    const auto d = Decimal::fromDouble(sum, 4);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->toString(), QStringLiteral("76493.7400"));
    EXPECT_EQ(d->toText(), QStringLiteral("76493.74"));
    EXPECT_EQ(d->toDouble(), 76493.74);
    EXPECT_EQ(Decimal::fromDouble(0.1 + 0.2, 2)->toString(), QStringLiteral("0.30"));
    EXPECT_FALSE(Decimal::fromDouble(std::numeric_limits<double>::infinity(), 2).has_value());
}

TEST(Decimal, RoundsHalfAwayFromZeroWhenTheScaleDrops)
{
    EXPECT_EQ(dec("2.345").rescaled(2).toString(), QStringLiteral("2.35"));
    EXPECT_EQ(dec("-2.345").rescaled(2).toString(), QStringLiteral("-2.35"));
    EXPECT_EQ(dec("2.344").rescaled(2).toString(), QStringLiteral("2.34"));
    EXPECT_EQ(dec("12").rescaled(4).toString(), QStringLiteral("12.0000"));
    EXPECT_EQ(dec("0.00005").rescaled(4).toString(), QStringLiteral("0.0001"));
    EXPECT_EQ(dec("1.50"), dec("1.5"));
    EXPECT_LT(dec("1.49"), dec("1.5"));
    qint64 scaled = 0;
    ASSERT_TRUE(dec("922337203685477.5807").toCurrencyScaled(scaled));
    EXPECT_EQ(scaled, std::numeric_limits<qint64>::max());
    EXPECT_FALSE(dec("922337203685477.5808").toCurrencyScaled(scaled));
}

TEST(Decimal, FieldValuesConvertLikeNumbers)
{
    const QVariant v = decimalVariant(dec("76493.7400"));
    EXPECT_TRUE(isDecimal(v));
    EXPECT_EQ(v.toDouble(), 76493.74);
    EXPECT_EQ(v.toString(), QStringLiteral("76493.74"));
    EXPECT_EQ(v.toLongLong(), 76493);
    EXPECT_EQ(Recordset::valueText(v, DataType::Currency), QStringLiteral("76493.74"));
    EXPECT_EQ(Recordset::valueText(decimalVariant(dec("-0.50")), DataType::Numeric), QStringLiteral("-0.5"));
    EXPECT_EQ(Recordset::valueText(decimalVariant(dec("12.000")), DataType::Numeric), QStringLiteral("12"));
    EXPECT_EQ(v, decimalVariant(dec("76493.74")));
    EXPECT_EQ(decimalOf(exactValue(QVariant(19.99 * 3), 4))->toString(), QStringLiteral("59.9700"));
    EXPECT_EQ(decimalOf(exactValue(QVariant(qlonglong(3)), 4))->toString(), QStringLiteral("3.0000"));
    EXPECT_EQ(decimalOf(exactValue(QVariant(QStringLiteral("1.005")), 2))->toString(), QStringLiteral("1.01"));
    EXPECT_FALSE(exactValue(QVariant(), 2).isValid());
}
