#include "common/Crc32.h"
#include "common/RecordsetOpener.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/db/sqlite/SqliteFileBackend.h"
#include "platform/text/AnsiCodePage.h"

#include <QFile>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace orra;

namespace {

db::Recordset oneRow(std::vector<db::FieldInfo> fields, std::vector<QVariant> values)
{
    db::ResultSet set;
    set.fields = std::move(fields);
    set.values = std::move(values);
    set.hasRows = true;
    std::vector<db::ResultSet> sets;
    sets.push_back(std::move(set));
    return db::Recordset(std::move(sets));
}

db::FieldInfo field(const char* name, db::DataType type, long size = 0)
{
    db::FieldInfo f;
    f.name = QString::fromLatin1(name);
    f.type = type;
    f.definedSize = size;
    return f;
}

}   // namespace

TEST(Crc32, KnownValues)
{
    EXPECT_EQ(ComputeCheckSum(QString()), 0);
    EXPECT_EQ(ComputeCheckSum(QStringLiteral("abc")), 891568578);
    EXPECT_EQ(ComputeCheckSum(QStringLiteral("123456789")), -873187034);
    clsCrc32 crc;
    // The table is rebuilt at each call: the same object gives the same answer twice.
    EXPECT_EQ(crc.GetCheckSum(QStringLiteral("abc")), 891568578);
    EXPECT_EQ(crc.GetCheckSum(QStringLiteral("abc")), 891568578);
}

TEST(Crc32, HashesTheWindows1254BytesOfTurkishLetters)
{
    ASSERT_EQ(text::AnsiCodePage::system().number(), 1254);
    const QString turkish = QStringLiteral("şğİı ŞĞÜÖÇ");
    const QByteArray bytes = text::AnsiCodePage::system().encode(turkish);
    EXPECT_EQ(bytes, QByteArray("\xFE\xF0\xDD\xFD\x20\xDE\xD0\xDC\xD6\xC7"));
    const auto expected = static_cast<int32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), static_cast<uInt>(bytes.size())));
    EXPECT_EQ(ComputeCheckSum(turkish), expected);
    // A character outside the code page counts as '?'.
    EXPECT_EQ(ComputeCheckSum(QStringLiteral("aЖ")), ComputeCheckSum(QStringLiteral("a?")));
}

TEST(Crc32, RowTextLeavesOutOnlyTheExactCheckSumColumn)
{
    db::Recordset rs = oneRow({field("ID", db::DataType::Integer), field("Name", db::DataType::Char, 6),
                                  field("Disabled", db::DataType::Boolean), field("checksum", db::DataType::Integer),
                                  field("CheckSum", db::DataType::Integer)},
        {QVariant(qint64(12)), QVariant(QStringLiteral("ab    ")), QVariant(true), QVariant(7), QVariant(99)});
    EXPECT_EQ(RowCheckSumText(rs), QStringLiteral("12ab    True7"));
    EXPECT_EQ(RowCheckSum(rs), ComputeCheckSum(QStringLiteral("12ab    True7")));
}

TEST(Crc32, NullColumnsContributeNothingAndAnAllNullRowIsZero)
{
    db::Recordset allNull = oneRow({field("A", db::DataType::Integer), field("B", db::DataType::VarChar, 10),
                                       field("CheckSum", db::DataType::Integer)},
        {QVariant(), QVariant(), QVariant(5)});
    EXPECT_EQ(RowCheckSumText(allNull), QString());
    EXPECT_EQ(RowCheckSum(allNull), 0);
    db::Recordset mixed = oneRow(
        {field("A", db::DataType::Integer), field("B", db::DataType::VarChar, 10), field("C", db::DataType::Boolean)},
        {QVariant(qint64(-3)), QVariant(), QVariant(false)});
    EXPECT_EQ(RowCheckSumText(mixed), QStringLiteral("-3False"));
}

TEST(Crc32, BinaryOwnerEntersAsHexadecimalCoveringEveryByte)
{
    QByteArray sid("\x01\x05\x00\x00\xA1\xFF", 6);
    db::Recordset rs = oneRow({field("Owner", db::DataType::VarBinary, 85)}, {QVariant(sid)});
    EXPECT_EQ(RowCheckSumText(rs), QStringLiteral("0x01050000A1FF"));
    // Two owners that differ only in bytes outside the code page still differ in checksum.
    QByteArray other = sid;
    other[4] = char(0xA2);
    db::Recordset changed = oneRow({field("Owner", db::DataType::VarBinary, 85)}, {QVariant(other)});
    EXPECT_NE(RowCheckSum(rs), RowCheckSum(changed));
    db::Recordset empty = oneRow({field("Owner", db::DataType::VarBinary, 85)}, {QVariant(QByteArray(""))});
    EXPECT_EQ(RowCheckSumText(empty), QStringLiteral("0x"));
}

TEST(Crc32, PermissionRowChecksumIsTheFourNumbersInDecimal)
{
    EXPECT_EQ(PermissionRowCheckSum(10, 5, 2048, 16), ComputeCheckSum(QStringLiteral("105204816")));
}

TEST(RecordsetOpener, FailureIsAFlagNotAnError)
{
    bool failed = false;
    EXPECT_EQ(OpenRecordset(nullptr, "select 1", failed), nullptr);
    EXPECT_TRUE(failed);
    db::Connection closed;
    failed = false;
    EXPECT_EQ(OpenRecordset(&closed, "select 1", failed), nullptr);
    EXPECT_TRUE(failed);
}

TEST(RecordsetOpener, RowsNoRowsAndSqlErrorsOnARealDatabase)
{
    const QString path = QString::fromUtf8(ORRA_BINARY_DIR) + "/opener-test.db";
    QFile::remove(path);
    db::Connection c;
    db::sqlite::openDatabaseFile(c, path, db::sqlite::FileMode::Create);
    c.execute("create table t (ID integer, Name varchar(20))");
    c.execute("insert into t values (1, 'a'), (2, NULL)");

    bool failed = true;
    db::RecordsetPtr rows = OpenRecordset(&c, "select * from t order by ID", failed);
    ASSERT_TRUE(rows);
    EXPECT_FALSE(failed);
    EXPECT_EQ(rows->RecordCount(), 2);

    failed = true;
    db::RecordsetPtr none = OpenRecordset(&c, "update t set Name='b' where ID=2", failed);
    ASSERT_TRUE(none);   // a statement without rows gives the closed recordset
    EXPECT_FALSE(failed);
    EXPECT_EQ(none->state(), 0);

    failed = false;
    EXPECT_EQ(OpenRecordset(&c, "select * from missing_table", failed), nullptr);
    EXPECT_TRUE(failed);
    ASSERT_FALSE(c.errors().isEmpty());   // the error stays available to the caller
    EXPECT_LT(c.errors().first().number, 0);
    c.close();
    QFile::remove(path);
}
