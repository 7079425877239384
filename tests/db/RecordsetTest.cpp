#include "platform/db/Recordset.h"
#include "platform/host/Error.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include "tests/db/Printers.h"

using namespace orra::db;

namespace {

ResultSet makeSet(int rows)
{
    ResultSet rs;
    rs.hasRows = true;
    rs.fields = {{QStringLiteral("Id"), DataType::Integer, 4}, {QStringLiteral("Name"), DataType::VarChar, 20}};
    for (int i = 0; i < rows; ++i) {
        rs.values.emplace_back(i + 1);
        rs.values.emplace_back(i == 1 ? QVariant() : QVariant(QStringLiteral("n%1").arg(i + 1)));
    }
    return rs;
}

long errorNumber(const std::function<void()>& f)
{
    try {
        f();
    } catch (const orra::Error& e) {
        return e.number();
    }
    return 0;
}

}   // namespace

TEST(Recordset, EmptySetIsBofAndEof)
{
    std::vector<ResultSet> sets;
    sets.push_back(makeSet(0));
    Recordset rs(std::move(sets));
    EXPECT_EQ(rs.state(), 1);
    EXPECT_TRUE(rs.BOF());
    EXPECT_TRUE(rs.isEOF());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_EQ(rs.fieldCount(), 2);
    EXPECT_EQ(errorNumber([&] { rs.MoveNext(); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs.MoveFirst(); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs.value(0); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs.GetString(); }), 3021);
}

TEST(Recordset, NavigationThroughBofAndEof)
{
    std::vector<ResultSet> sets;
    sets.push_back(makeSet(3));
    Recordset rs(std::move(sets));
    EXPECT_FALSE(rs.BOF());
    EXPECT_FALSE(rs.isEOF());
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    EXPECT_EQ(rs.value(0).toInt(), 1);
    rs.MovePrevious();
    EXPECT_TRUE(rs.BOF());
    EXPECT_FALSE(rs.isEOF());
    EXPECT_EQ(rs.AbsolutePosition(), -2);
    EXPECT_EQ(errorNumber([&] { rs.MovePrevious(); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs.value(0); }), 3021);
    rs.MoveNext();
    EXPECT_EQ(rs.value(QStringLiteral("id")).toInt(), 1);
    rs.MoveLast();
    EXPECT_EQ(rs.value(0).toInt(), 3);
    rs.MoveNext();
    EXPECT_TRUE(rs.isEOF());
    EXPECT_EQ(rs.AbsolutePosition(), -3);
    EXPECT_EQ(errorNumber([&] { rs.MoveNext(); }), 3021);
    rs.MoveFirst();
    rs.Move(2);
    EXPECT_EQ(rs.value(0).toInt(), 3);
    rs.Move(-1);
    EXPECT_EQ(rs.value(0).toInt(), 2);
    rs.Move(10);
    EXPECT_TRUE(rs.isEOF());
    rs.Move(1, Recordset::FromFirst);
    EXPECT_EQ(rs.value(0).toInt(), 2);
    rs.Move(0, Recordset::FromLast);
    EXPECT_EQ(rs.value(0).toInt(), 3);
    rs.Move(-5);
    EXPECT_TRUE(rs.BOF());
}

TEST(Recordset, FieldsByNameAndNullVersusEmpty)
{
    ResultSet set = makeSet(3);
    set.values[5] = QVariant(QString(""));
    std::vector<ResultSet> sets;
    sets.push_back(std::move(set));
    Recordset rs(std::move(sets));
    EXPECT_EQ(rs.fieldIndex(QStringLiteral("NAME")), 1);
    EXPECT_EQ(rs.fieldIndex(QStringLiteral("nope")), -1);
    EXPECT_EQ(errorNumber([&] { rs.value(QStringLiteral("nope")); }), 3265);
    EXPECT_EQ(errorNumber([&] { rs.field(2); }), 3265);
    EXPECT_EQ(rs.field(1).name, QStringLiteral("Name"));
    EXPECT_EQ(rs.field(1).definedSize, 20);
    rs.MoveNext();
    EXPECT_TRUE(isNull(rs.value(QStringLiteral("name"))));
    rs.MoveNext();
    EXPECT_FALSE(isNull(rs.value(1)));
    EXPECT_EQ(rs.value(1).toString(), QString());
}

TEST(Recordset, GetStringFromCurrentRowWithNullText)
{
    std::vector<ResultSet> sets;
    sets.push_back(makeSet(3));
    Recordset rs(std::move(sets));
    rs.MoveNext();
    EXPECT_EQ(rs.GetString(QStringLiteral("\t"), QStringLiteral("\r\n"), QStringLiteral("NULL")),
        QStringLiteral("2\tNULL\r\n3\tn3\r\n"));
    EXPECT_TRUE(rs.isEOF());
    rs.MoveFirst();
    EXPECT_EQ(rs.GetString(QStringLiteral(","), QStringLiteral(";"), QString(), 1), QStringLiteral("1,n1;"));
    EXPECT_EQ(rs.value(0).toInt(), 2);
    // the defaults: TAB and CR, NULL as nothing
    EXPECT_EQ(rs.GetString(), QStringLiteral("2\t\r3\tn3\r"));
}

TEST(Recordset, ClosedAndNextRecordset)
{
    ResultSet closed;
    closed.recordsAffected = 4;
    std::vector<ResultSet> sets;
    sets.push_back(std::move(closed));
    sets.push_back(makeSet(1));
    Recordset rs(std::move(sets));
    EXPECT_EQ(rs.state(), 0);
    EXPECT_EQ(rs.RecordCount(), -1);
    EXPECT_EQ(rs.recordsAffected(), 4);
    EXPECT_EQ(errorNumber([&] { rs.isEOF(); }), 3704);
    EXPECT_TRUE(rs.NextRecordset());
    EXPECT_EQ(rs.state(), 1);
    EXPECT_EQ(rs.value(1).toString(), QStringLiteral("n1"));
    EXPECT_FALSE(rs.NextRecordset());
    EXPECT_EQ(rs.state(), 0);
    EXPECT_FALSE(rs.NextRecordset());
    Recordset none;
    EXPECT_EQ(none.state(), 0);
}

TEST(Recordset, ValueTextAsVbWritesIt)
{
    EXPECT_EQ(Recordset::valueText(QVariant(0.5), DataType::Double), QStringLiteral("0.5"));
    EXPECT_EQ(Recordset::valueText(QVariant(1e20), DataType::Double), QStringLiteral("1E+20"));
    EXPECT_EQ(Recordset::valueText(QVariant(1.5e-7), DataType::Double), QStringLiteral("1.5E-07"));
    EXPECT_EQ(Recordset::valueText(QVariant(0.1 + 0.2), DataType::Double), QStringLiteral("0.3"));
    EXPECT_EQ(Recordset::valueText(QVariant(123456789012345.0), DataType::Double), QStringLiteral("123456789012345"));
    EXPECT_EQ(Recordset::valueText(QVariant(1e15), DataType::Double), QStringLiteral("1E+15"));
    EXPECT_EQ(Recordset::valueText(QVariant(0.0001), DataType::Double), QStringLiteral("0.0001"));
    EXPECT_EQ(Recordset::valueText(QVariant(-2.25), DataType::Numeric), QStringLiteral("-2.25"));
    EXPECT_EQ(Recordset::valueText(QVariant(-0.0), DataType::Double), QStringLiteral("0"));
    EXPECT_EQ(Recordset::valueText(QVariant(0.1f), DataType::Single), QStringLiteral("0.1"));
    EXPECT_EQ(Recordset::valueText(QVariant(double(0.1f)), DataType::Single), QStringLiteral("0.1"));
    EXPECT_EQ(Recordset::valueText(QVariant(12.345678), DataType::Currency), QStringLiteral("12.3457"));
    EXPECT_EQ(Recordset::valueText(QVariant(42), DataType::Integer), QStringLiteral("42"));
    EXPECT_EQ(
        Recordset::valueText(QVariant(qlonglong(-9000000000LL)), DataType::BigInt), QStringLiteral("-9000000000"));
    EXPECT_EQ(Recordset::valueText(QVariant(true), DataType::Boolean), QStringLiteral("True"));
    EXPECT_EQ(Recordset::valueText(QVariant(false), DataType::Boolean), QStringLiteral("False"));
    EXPECT_EQ(
        Recordset::valueText(QVariant(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9), Qt::UTC)), DataType::DBTimeStamp),
        QStringLiteral("2024-02-29 13:05:09"));
    EXPECT_EQ(
        Recordset::valueText(QVariant(QDateTime(QDate(2024, 2, 29), QTime(0, 0), Qt::UTC)), DataType::DBTimeStamp),
        QStringLiteral("2024-02-29"));
    EXPECT_EQ(Recordset::valueText(QVariant(QDate(2001, 1, 2)), DataType::DBDate), QStringLiteral("2001-01-02"));
    // binary: two bytes make one UTF-16 character (low byte first)
    EXPECT_EQ(Recordset::valueText(QVariant(QByteArray("\x41\x00\x5f\x01\x42", 5)), DataType::VarBinary),
        QString(QChar(u'A')) + QChar(char16_t(0x015F)) + QChar(u'B'));
    EXPECT_EQ(Recordset::valueText(QVariant(QStringLiteral("ab ")), DataType::Char), QStringLiteral("ab "));
    EXPECT_EQ(Recordset::valueText(QVariant(), DataType::Char), QString());
}
