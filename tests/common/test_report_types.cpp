// Computed columns of a report on the embedded server are typed as the server types them,
// and the export gives each its number format: dates and times, casts and converts,
// aggregates by their argument, arithmetic by precedence.

#include "catalogue/EmbeddedCatalogue.h"
#include "common/SpreadsheetExport.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "platform/spreadsheet/Desktop.h"
#include "tests/spreadsheet/XlsxTestReader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orra;
using orra::db::DataType;
using orra::testing::XlsxTestReader;

namespace {

class ReportTypes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("ORRA_SERVERS", QFile::encodeName(m_dir.path()));
        qputenv("ORRA_EXPORT_DIR", QFile::encodeName(m_dir.path()));
        spreadsheet::setDesktopOpener([](const QString&) { return true; });
        catalogue::registerEmbeddedCatalogue();
        catalogue::createEmbeddedServer(QStringLiteral("r"), QStringLiteral("sa"), QStringLiteral("pw"));
        embedded::createDatabase(QStringLiteral("r"), QStringLiteral("sales"));
        c.open(embedded::connectionText(
            QStringLiteral("r"), QStringLiteral("sales"), QStringLiteral("sa"), QStringLiteral("pw")));
        c.execute(QStringLiteral("create table Orders (ID int identity(1,1) primary key, OrderDate datetime, Qty int, "
                                 "Price float, Region char(5))"));
        c.execute(QStringLiteral(
            "insert into Orders (OrderDate, Qty, Price, Region) values ('2025-01-18 12:00:00', 2, 1.5, 'N')"));
        c.execute(QStringLiteral(
            "insert into Orders (OrderDate, Qty, Price, Region) values ('2025-01-18 16:45:00', 3, 2.25, 'S')"));
        c.execute(QStringLiteral(
            "insert into Orders (OrderDate, Qty, Price, Region) values ('2025-01-19 09:00:00', 1, 10, 'N')"));
    }
    void TearDown() override
    {
        spreadsheet::setDesktopOpener({});
        qunsetenv("ORRA_SERVERS");
        qunsetenv("ORRA_EXPORT_DIR");
    }
    QTemporaryDir m_dir;
    db::Connection c;
};

}   // namespace

TEST_F(ReportTypes, ComputedColumnsKeepTheServersTypesIntoTheWorkbook)
{
    c.execute(QStringLiteral(
        "select cast(OrderDate as date) Day, max(OrderDate) Last, min(ID) FirstID, sum(Qty) Qty, sum(Price) Total, "
        "count(*) N, getdate() Now, convert(datetime, '2025-01-18 10:30') Fixed, isnull(max(OrderDate), getdate()) "
        "Next, "
        "max(Qty) + max(Price) Mixed, convert(date, min(OrderDate), 120) Stamp, cast(max(OrderDate) as time) At, "
        "case when count(*) > 1 then max(OrderDate) else null end Busy "
        "into #Report from Orders group by cast(OrderDate as date) order by Day"));
    db::RecordsetPtr rs = c.execute(QStringLiteral("select * from #Report"));
    const std::vector<std::pair<const char*, DataType>> expected = {
        {"Day", DataType::DBDate},
        {"Last", DataType::DBTimeStamp},
        {"FirstID", DataType::Integer},
        {"Qty", DataType::Integer},
        {"Total", DataType::Double},
        {"N", DataType::Integer},
        {"Now", DataType::DBTimeStamp},
        {"Fixed", DataType::DBTimeStamp},
        {"Next", DataType::DBTimeStamp},
        {"Mixed", DataType::Double},
        {"Stamp", DataType::DBDate},
        {"At", DataType::DBTime},
        {"Busy", DataType::DBTimeStamp},
    };
    ASSERT_EQ(rs->fieldCount(), int(expected.size()));
    for (int i = 0; i < rs->fieldCount(); ++i) {
        EXPECT_EQ(rs->field(i).name, QString::fromLatin1(expected[size_t(i)].first));
        EXPECT_EQ(int(rs->field(i).type), int(expected[size_t(i)].second)) << expected[size_t(i)].first;
    }
    EXPECT_EQ(rs->value(0).toDate(), QDate(2025, 1, 18));
    EXPECT_EQ(rs->value(1).toDateTime().time(), QTime(16, 45));
    EXPECT_EQ(rs->value(8).toDateTime(), rs->value(1).toDateTime());

    const ExportResult r = ExportRecordsetToExcel(*rs);
    auto cells = XlsxTestReader(r.path).cells();
    const std::vector<std::pair<const char*, const char*>> formats = {
        {"A2", "dd.mm.yyyy"},
        {"B2", "dd.mm.yyyy hh:mm"},
        {"C2", "General"},
        {"D2", "General"},
        {"E2", "#,##0.00"},
        {"F2", "General"},
        {"G2", "dd.mm.yyyy hh:mm"},
        {"H2", "dd.mm.yyyy hh:mm"},
        {"I2", "dd.mm.yyyy hh:mm"},
        {"J2", "#,##0.00"},
        {"K2", "dd.mm.yyyy"},
        {"L2", "hh:mm:ss"},
        {"M2", "dd.mm.yyyy hh:mm"},
    };
    for (const auto& [cell, format] : formats) {
        EXPECT_EQ(cells[cell].type, "n") << cell;
        EXPECT_EQ(cells[cell].numberFormat, QString::fromLatin1(format)) << cell;
    }
    EXPECT_DOUBLE_EQ(cells["A2"].number, 45675);                // 18 January 2025
    EXPECT_DOUBLE_EQ(cells["B2"].number, 45675 + 16.75 / 24);   // 16:45
    EXPECT_DOUBLE_EQ(cells["E2"].number, 3.75);
    EXPECT_EQ(cells.count("M3"), 0u);   // one order on the 19th: NULL
}

TEST_F(ReportTypes, ArithmeticFollowsThePrecedenceOfItsOperands)
{
    db::RecordsetPtr rs = c.execute(QStringLiteral(
        "select ID + 1 A, Qty * Price B, year(OrderDate) * 100 C, isnull(Qty, 0) D, coalesce(null, Price) E, "
        "'[' + Region + ']' F from Orders where ID=1"));
    EXPECT_EQ(int(rs->field(0).type), int(DataType::Integer));
    EXPECT_EQ(int(rs->field(1).type), int(DataType::Double));
    EXPECT_EQ(int(rs->field(2).type), int(DataType::Integer));
    EXPECT_EQ(int(rs->field(3).type), int(DataType::Integer));
    EXPECT_EQ(int(rs->field(4).type), int(DataType::Double));
    EXPECT_EQ(int(rs->field(5).type), int(DataType::VarChar));
    EXPECT_EQ(rs->value(5).toString(), QStringLiteral("[N    ]"));
}
