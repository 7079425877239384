// Money and decimal values through a whole run: sums of a money and a decimal(10,2) column in
// "#Report" reach the workbook and a script with their exact values, not the neighbouring
// doubles that a sum carried as floating point gives.

#include "launcher/Dornel.h"
#include "platform/db/Connection.h"
#include "tests/launcher/DornelFixture.h"
#include "tests/spreadsheet/XlsxTestReader.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include "tests/embedded/PrintQString.h"

using namespace orra;
using orra::test::RunResult;
using orra::testing::XlsxTestReader;

namespace {

class DornelExactTest : public orra::test::DornelFixture {
protected:
    void SetUp() override
    {
        DornelFixture::SetUp();
        db::Connection sales;
        sales.open(embedded::connectionText("demo", "sales"));
        sales.execute("create table Payments (ID int, City varchar(20), Amount money, Rate decimal(10,2))");
        sales.execute("insert into Payments values (1, 'Ankara', 19.99, 0.10), (2, 'Ankara', 76473.75, 0.20),"
                      " (3, 'Ankara', 0.10, 0.30), (4, 'İzmir', 1234.5, 12.5), (5, 'Bursa', 76493.74, 0.01)");
    }
};

const char* kTotals = "select City, sum(Amount) Tutar, sum(Rate) Oran, sum(Amount) * 2 Cift into #Report "
                      "from Payments group by City order by City";

}   // namespace

TEST_F(DornelExactTest, SumsOfMoneyAndDecimalReachTheWorkbookExactly)
{
    ASSERT_NE(19.99 + 76473.75 + 0.10, 76493.84);   // the double sum is not the money sum
    addDocument(40, 2, "Toplamlar", block("B0.0", kTotals));
    const RunResult r = run("/server:demo /db:catalogue /docid:40");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    XlsxTestReader book(r.out);
    auto cells = book.cells();
    EXPECT_EQ(cells["B1"].text, "Tutar");
    ASSERT_EQ(cells["B2"].type, "n");
    // the cell holds the double nearest to the exact value, written as that value
    EXPECT_EQ(cells["B2"].number, 76493.84);
    EXPECT_EQ(cells["B2"].text, "76493.84");
    EXPECT_EQ(cells["C2"].text, "0.6");
    EXPECT_EQ(cells["D2"].text, "152987.68");
    // the value of the demo's city report, in its own digits
    EXPECT_EQ(cells["A3"].text, "Bursa");
    EXPECT_EQ(cells["B3"].text, "76493.74");
    EXPECT_EQ(cells["D3"].text, "152987.48");
    EXPECT_EQ(cells["B4"].text, "1234.5");
    // money shows two decimals with thousands separators; a decimal column stays General
    auto columns = book.columns();
    EXPECT_EQ(columns[2].numberFormat, "#,##0.00");
    EXPECT_EQ(columns[3].numberFormat, "General");
    EXPECT_EQ(columns[4].numberFormat, "#,##0.00");
}

TEST_F(DornelExactTest, ScriptsSeeMoneyAsCurrencyAndExportItsText)
{
    // The script adds the amounts itself (Currency arithmetic is exact), reads the sums, and
    // writes #Report through ExportToText.
    const QString textFile = QDir(m_export).filePath("totals.txt");
    const QString checkFile = QDir(m_export).filePath("check.txt");
    const QString script =
        "total = 0\n"
        "Set rs = OrraCon.Execute(\"select Amount, Rate from Payments where City='Ankara' order by ID\")\n"
        "Do While Not rs.EOF\n"
        "  total = total + rs(\"Amount\")\n"
        "  rs.MoveNext\n"
        "Loop\n"
        "Set s = OrraCon.Execute(\"select Tutar, Oran from #Report where City='Ankara'\")\n"
        "OrraCon.Execute \"create table #Check (Kind varchar(20), Value varchar(40))\"\n"
        "OrraCon.Execute \"insert into #Check values ('loop', '\" & CStr(total) & \"')\"\n"
        "OrraCon.Execute \"insert into #Check values ('type', '\" & TypeName(total) & \"/\" & "
        "TypeName(s(\"Tutar\").Value) & \"')\"\n"
        "OrraCon.Execute \"insert into #Check values ('same', '\" & CStr(total = s(\"Tutar\")) & \"')\"\n"
        "OrraCon.Execute \"insert into #Check values ('rate', '\" & CStr(s(\"Oran\")) & \"')\"\n"
        "ExportToText OrraCon.Execute(\"select * from #Report order by City\"), \""
        + textFile
        + "\", \";\", \"|\"\n"
          "ExportToText OrraCon.Execute(\"select * from #Check\"), \""
        + checkFile
        + "\", \"=\", \"|\"\n"
          "ReturnRecordSet = False\n";
    addDocument(41, 2, "Betik",
        block("B0.0", kTotals, "<Script ID=\"B0.0.X0\" Name=\"X0\"><![CDATA[" + script + "]]></Script>"));
    const RunResult r = run("/server:demo /db:catalogue /docid:41");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();

    QFile f(textFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()),
        "City;Tutar;Oran;Cift|Ankara;76493.84;0.6;152987.68|Bursa;76493.74;0.01;152987.48|İzmir;1234.5;12.5;2469|");
    QFile check(checkFile);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        QString::fromUtf8(check.readAll()), "Kind=Value|loop=76493.84|type=Currency/Currency|same=True|rate=0.6|");
}

TEST_F(DornelExactTest, ALargeSumOfMoneyReachesTheWorkbookExactly)
{
    // 390,625 amounts: summed as doubles they drift by more than a cent
    double drift = 0;
    for (int k = 0; k < 78125; ++k)
        for (const double v : {19.99, 76473.75, 0.10, 1234.5, 76493.74}) drift += v;
    ASSERT_GT(std::abs(drift - 12048600000.0), 0.005);
    addDocument(42, 2, "Buyuk",
        block("B0.0", "select sum(a.Amount) Toplam into #Report from Payments a cross join Payments b cross join Payments c "
                      "cross join Payments d cross join Payments e cross join Payments f cross join Payments g "
                      "cross join Payments h"));
    const RunResult r = run("/server:demo /db:catalogue /docid:42");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    XlsxTestReader book(r.out);
    auto cells = book.cells();
    ASSERT_EQ(cells["A2"].type, "n");
    EXPECT_EQ(cells["A2"].text, "12048600000");
}

TEST_F(DornelExactTest, AReportAuthorsBatchRunsToTheWorkbook)
{
    // A block as report authors write them: variables, DATEADD, CONVERT with a style and
    // TRY … CATCH. DATEADD(month, -1, '20250715') is 2025-06-15; style 104 writes dd.mm.yyyy;
    // a divide by zero is error 8134 and goes to the CATCH block.
    const char* sql = "declare @from datetime = dateadd(month, -1, '20250715'), @label varchar(10)\n"
                      "set @label = convert(varchar(10), @from, 104)\n"
                      "select ID, City, Amount, @label Since into #Report from Payments where ID <= 2\n"
                      "begin try\n"
                      "  insert into #Report values (3, 'Bölme', 1 / 0, @label)\n"
                      "end try\n"
                      "begin catch\n"
                      "  insert into #Report values (9, 'Hata', 0, cast(error_number() as varchar(10)))\n"
                      "end catch";
    addDocument(43, 2, "Yazar", block("B0.0", sql));
    const RunResult r = run("/server:demo /db:catalogue /docid:43");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    XlsxTestReader book(r.out);
    auto cells = book.cells();
    EXPECT_EQ(cells["D1"].text, "Since");
    EXPECT_EQ(cells["D2"].text, "15.06.2025");
    EXPECT_EQ(cells["D3"].text, "15.06.2025");
    EXPECT_EQ(cells["C3"].text, "76473.75");
    EXPECT_EQ(cells["B4"].text, "Hata");
    EXPECT_EQ(cells["D4"].text, "8134");
    EXPECT_TRUE(cells["A5"].text.isEmpty());
}

TEST_F(DornelExactTest, AReportFromAStoredProcedureReachesTheWorkbook)
{
    // A block that is one call of a stored procedure, its rows put into #Report by insert … exec,
    // the document's parameters passed as the procedure's arguments.
    db::Connection sales;
    sales.open(embedded::connectionText("demo", "sales"));
    sales.execute("create procedure dbo.usp_Payments @from int, @to int = 5 as set nocount on; "
                  "select City, Amount from Payments where ID between @from and @to order by ID");
    const QString parameters =
        "<Parameter ID=\"B0.0.P_From\" Name=\"From\" Caption=\"From\" DefaultValue=\"2\" Type=\"fact\" Source=\"\"/>"
        "<Parameter ID=\"B0.0.P_To\" Name=\"To\" Caption=\"To\" DefaultValue=\"4\" Type=\"fact\" Source=\"\"/>";
    addDocument(44, 2, "Yordam",
        block("B0.0",
            "declare @p1 int = <$From%>, @p2 int = <$To%>\n"
            "create table #Report (City varchar(20), Amount money)\n"
            "insert into #Report exec dbo.usp_Payments @p1, @p2",
            parameters));
    const RunResult r = run("/server:demo /db:catalogue /docid:44");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    XlsxTestReader book(r.out);
    auto cells = book.cells();
    EXPECT_EQ(cells["A1"].text, "City");
    EXPECT_EQ(cells["B1"].text, "Amount");
    EXPECT_EQ(cells["A2"].text, "Ankara");
    EXPECT_EQ(cells["B2"].text, "76473.75");
    EXPECT_EQ(cells["B3"].text, "0.1");
    EXPECT_EQ(cells["A4"].text, "İzmir");
    EXPECT_EQ(cells["B4"].text, "1234.5");
    EXPECT_TRUE(cells["A5"].text.isEmpty());
}
