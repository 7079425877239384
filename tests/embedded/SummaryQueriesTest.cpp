// Queries that summarise and limit rows as report authors write them: GROUP BY ROLLUP, CUBE,
// GROUPING SETS and WITH ROLLUP / WITH CUBE with GROUPING() and GROUPING_ID(), with the
// results SQL Server's documentation gives for its examples.
#include "EmbeddedFixture.h"

#include <algorithm>

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

namespace {

class SummaryQueries : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        sa = connect(QStringLiteral("mat"));
    }

    // The rows of the last result set with rows, fields joined by '|', rows by '\n'.
    static QString rows(db::Connection& c, const QString& sql)
    {
        db::RecordsetPtr rs = c.execute(sql);
        QString last;
        for (bool more = true; more && rs; more = rs->NextRecordset())
            if (rs->isOpen()) last = rs->GetString(QStringLiteral("|"), QStringLiteral("\n"), QStringLiteral("NULL"));
        return last;
    }

    static QString sortedLines(const QString& text)
    {
        QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        std::sort(lines.begin(), lines.end());
        return lines.join(u'\n');
    }

    std::unique_ptr<db::Connection> sa;
};

// The documentation's Sales table: four rows, two of them of one country and region.
const char* const kSales = "CREATE TABLE Sales ( Country VARCHAR(50), Region VARCHAR(50), Sales INT ); "
                           "INSERT INTO sales VALUES (N'Canada', N'Alberta', 100); "
                           "INSERT INTO sales VALUES (N'Canada', N'British Columbia', 200); "
                           "INSERT INTO sales VALUES (N'Canada', N'British Columbia', 300); "
                           "INSERT INTO sales VALUES (N'United States', N'Montana', 100);";

const char* const kRollupRows = "Canada|Alberta|100\nCanada|British Columbia|500\nCanada|NULL|600\n"
                                "United States|Montana|100\nUnited States|NULL|100\nNULL|NULL|700\n";
const char* const kCubeRows = "Canada|Alberta|100\nNULL|Alberta|100\nCanada|British Columbia|500\n"
                              "NULL|British Columbia|500\nUnited States|Montana|100\nNULL|Montana|100\n"
                              "NULL|NULL|700\nCanada|NULL|600\nUnited States|NULL|100\n";

}   // namespace

TEST_F(SummaryQueries, GroupingSetsGiveTheDocumentedGroups)
{
    sa->execute(QString::fromUtf8(kSales));
    const struct {
        const char* sql;
        QString expected;
        bool anyOrder;   // the documentation gives no order
    } cases[] = {
        {"SELECT Country, Region, SUM(Sales) AS TotalSales FROM Sales GROUP BY Country, Region",
            "Canada|Alberta|100\nCanada|British Columbia|500\nUnited States|Montana|100\n", true},
        // subtotals after their groups' rows, the grand total last
        {"SELECT Country, Region, SUM(Sales) AS TotalSales FROM Sales GROUP BY ROLLUP (Country, Region)",
            kRollupRows, false},
        {"SELECT Country, Region, SUM(Sales) AS TotalSales FROM Sales GROUP BY Country, Region WITH ROLLUP",
            kRollupRows, false},
        {"SELECT Country, Region, SUM(Sales) AS TotalSales FROM Sales GROUP BY GROUPING SETS ( ROLLUP (Country, Region) )",
            kRollupRows, false},
        {"SELECT Country, Region, SUM(Sales) AS TotalSales FROM Sales GROUP BY CUBE (Country, Region)", kCubeRows, true},
        {"SELECT Country, Region, SUM(Sales) AS TotalSales FROM Sales GROUP BY Country, Region WITH CUBE", kCubeRows, true},
        {"SELECT Country, Region, SUM(Sales) AS TotalSales FROM Sales "
         "GROUP BY GROUPING SETS ( ROLLUP (Country, Region), CUBE (Country, Region) )",
            QString::fromUtf8(kRollupRows) + QString::fromUtf8(kCubeRows), true},
        {"SELECT Country, SUM(Sales) AS TotalSales FROM Sales GROUP BY GROUPING SETS ( Country, () )",
            "Canada|600\nUnited States|100\nNULL|700\n", false},
        // duplicate grouping sets are not consolidated: two grand totals
        {"SELECT Country, Region, SUM(Sales) FROM Sales GROUP BY GROUPING SETS ( (), CUBE (Country, Region) )",
            QString::fromUtf8(kCubeRows) + QStringLiteral("NULL|NULL|700\n"), true},
        // GROUPING_ID (A, B) over CUBE (A, B): 3 for (), 1 for A, 2 for B, 0 for A, B
        {"SELECT g, COUNT(*) FROM (SELECT GROUPING_ID(Country, Region) g FROM Sales GROUP BY CUBE (Country, Region)) x "
         "GROUP BY g",
            "0|3\n2|3\n1|2\n3|1\n", true},
        // (Country, Region) grouped together in a rollup
        {"SELECT Country, Region, SUM(Sales) FROM Sales GROUP BY ROLLUP ((Country, Region))",
            "Canada|Alberta|100\nCanada|British Columbia|500\nUnited States|Montana|100\nNULL|NULL|700\n", false},
        // a column grouped besides a rollup is in every set
        {"SELECT Country, Region, SUM(Sales) FROM Sales GROUP BY Country, ROLLUP (Region)",
            "Canada|Alberta|100\nCanada|British Columbia|500\nCanada|NULL|600\nUnited States|Montana|100\n"
            "United States|NULL|100\n",
            false},
        // qualified and bare names of one column, HAVING and ORDER BY reading the sets
        {"SELECT s.Country, GROUPING(Country) AS g, SUM(Sales) AS TotalSales FROM Sales s "
         "GROUP BY ROLLUP (s.Country) HAVING GROUPING(s.Country) = 1 OR SUM(Sales) > 100 ORDER BY g DESC, Country",
            "NULL|1|700\nCanada|0|600\n", false},
        // in a derived table
        {"SELECT COUNT(*), SUM(t) FROM (SELECT Country c, SUM(Sales) t FROM Sales GROUP BY Country WITH ROLLUP) x "
         "WHERE c IS NULL",
            "1|700\n", false},
        // the server's case-insensitive collation groups 'canada' with 'Canada'
        {"SELECT Country, SUM(Sales) FROM (SELECT Country, Sales FROM Sales UNION ALL SELECT 'CANADA', 1) x "
         "GROUP BY ROLLUP (Country) HAVING GROUPING(Country) = 0 AND SUM(Sales) > 100",
            "Canada|601\n", false},
        // GROUPING is 0 in a query of one grouping set
        {"SELECT Country, GROUPING(Country) FROM Sales GROUP BY Country", "Canada|0\nUnited States|0\n", true},
    };
    for (const auto& c : cases) {
        const QString got = rows(*sa, QString::fromUtf8(c.sql));
        if (c.anyOrder)
            EXPECT_EQ(sortedLines(got), sortedLines(c.expected)) << c.sql;
        else
            EXPECT_EQ(got, c.expected) << c.sql;
    }
}

TEST_F(SummaryQueries, GroupingFunctionsMarkTheSummaryRows)
{
    // GROUPING tells the NULL of the summary row from the group of NULL quotas.
    sa->execute(QStringLiteral("create table SalesPerson (SalesQuota money, SalesYTD money); "
                               "insert SalesPerson values (NULL, 1533087.5999), (250000, 33461260.59), "
                               "(300000, 9299677.9445)"));
    EXPECT_EQ(rows(*sa, QStringLiteral("SELECT SalesQuota, SUM(SalesYTD) 'TotalSalesYTD', GROUPING(SalesQuota) AS 'Grouping' "
                                       "FROM SalesPerson GROUP BY SalesQuota WITH ROLLUP")),
        QStringLiteral("NULL|1533087.5999|0\n250000|33461260.59|0\n300000|9299677.9445|0\nNULL|44294026.1344|1\n"));

    // Levels of a rollup of departments and job titles.
    sa->execute(QStringLiteral(
        "create table Staff (Name nvarchar(50), JobTitle nvarchar(50), BusinessEntityID int identity(1, 1)); "
        "insert Staff (Name, JobTitle) values ('Document Control', 'Control Specialist'), "
        "('Document Control', 'Control Specialist'), ('Document Control', 'Document Control Assistant'), "
        "('Document Control', 'Document Control Assistant'), ('Document Control', 'Document Control Manager'), "
        "('Facilities and Maintenance', 'Facilities Administrative Assistant'), "
        "('Facilities and Maintenance', 'Facilities Manager'), ('Facilities and Maintenance', 'Janitor'), "
        "('Facilities and Maintenance', 'Janitor'), ('Facilities and Maintenance', 'Janitor'), "
        "('Facilities and Maintenance', 'Janitor'), ('Facilities and Maintenance', 'Maintenance Supervisor')"));
    const QString levels = QStringLiteral(
        "SELECT D.Name, D.JobTitle, GROUPING_ID(D.Name, D.JobTitle) AS 'Grouping Level', "
        "COUNT(D.BusinessEntityID) AS N'Employee Count' FROM Staff AS D GROUP BY ROLLUP(D.Name, D.JobTitle) ");
    EXPECT_EQ(rows(*sa, levels),
        QStringLiteral("Document Control|Control Specialist|0|2\n"
                       "Document Control|Document Control Assistant|0|2\n"
                       "Document Control|Document Control Manager|0|1\n"
                       "Document Control|NULL|1|5\n"
                       "Facilities and Maintenance|Facilities Administrative Assistant|0|1\n"
                       "Facilities and Maintenance|Facilities Manager|0|1\n"
                       "Facilities and Maintenance|Janitor|0|4\n"
                       "Facilities and Maintenance|Maintenance Supervisor|0|1\n"
                       "Facilities and Maintenance|NULL|1|7\n"
                       "NULL|NULL|3|12\n"));
    EXPECT_EQ(rows(*sa, levels + QStringLiteral("HAVING GROUPING_ID(D.Name, D.JobTitle) = 1")),
        QStringLiteral("Document Control|NULL|1|5\nFacilities and Maintenance|NULL|1|7\n"));
    EXPECT_EQ(rows(*sa, QStringLiteral("SELECT D.Name, CASE WHEN GROUPING_ID(D.Name, D.JobTitle) = 0 THEN D.JobTitle "
                                       "WHEN GROUPING_ID(D.Name, D.JobTitle) = 1 THEN N'Total: ' + D.Name "
                                       "WHEN GROUPING_ID(D.Name, D.JobTitle) = 3 THEN N'Company Total:' "
                                       "ELSE N'Unknown' END AS N'Job Title', COUNT(D.BusinessEntityID) "
                                       "FROM Staff D WHERE D.Name = 'Document Control' GROUP BY ROLLUP(D.Name, D.JobTitle)")),
        QStringLiteral("Document Control|Control Specialist|2\nDocument Control|Document Control Assistant|2\n"
                       "Document Control|Document Control Manager|1\nDocument Control|Total: Document Control|5\n"
                       "NULL|Company Total:|5\n"));

    // Year, month and day of a date rolled up: the bits of GROUPING and GROUPING_ID's number.
    sa->execute(QStringLiteral(
        "create table SalesOrderHeader (OrderDate datetime, TotalDue money); "
        "insert SalesOrderHeader values ('2007-01-01', 1497452.6066), ('2007-01-02', 21772.3494), "
        "('2007-02-01', 2705653.5913), ('2007-02-02', 21684.4068), ('2008-01-01', 1908122.0967), "
        "('2008-01-02', 46458.0691), ('2008-02-01', 3108771.9729), ('2008-02-02', 54598.5488)"));
    EXPECT_EQ(rows(*sa, QStringLiteral(
                  "SELECT DATEPART(yyyy,OrderDate) AS N'Year', DATEPART(mm,OrderDate) AS N'Month', "
                  "DATEPART(dd,OrderDate) AS N'Day', SUM(TotalDue) AS N'Total Due', "
                  "CAST(GROUPING(DATEPART(dd,OrderDate)) AS CHAR(1)) + CAST(GROUPING(DATEPART(mm,OrderDate)) AS CHAR(1)) "
                  "+ CAST(GROUPING(DATEPART(yyyy,OrderDate)) AS CHAR(1)) AS N'Bit Vector(base-2)', "
                  "GROUPING_ID(DATEPART(yyyy,OrderDate), DATEPART(mm,OrderDate), DATEPART(dd,OrderDate)) "
                  "AS N'Integer Equivalent' FROM SalesOrderHeader "
                  "GROUP BY ROLLUP(DATEPART(yyyy,OrderDate), DATEPART(mm,OrderDate), DATEPART(dd,OrderDate)) "
                  "ORDER BY GROUPING_ID(DATEPART(mm,OrderDate), DATEPART(yyyy,OrderDate), DATEPART(dd,OrderDate)), "
                  "DATEPART(yyyy,OrderDate), DATEPART(mm,OrderDate), DATEPART(dd,OrderDate)")),
        QStringLiteral("2007|1|1|1497452.6066|000|0\n2007|1|2|21772.3494|000|0\n2007|2|1|2705653.5913|000|0\n"
                       "2007|2|2|21684.4068|000|0\n2008|1|1|1908122.0967|000|0\n2008|1|2|46458.0691|000|0\n"
                       "2008|2|1|3108771.9729|000|0\n2008|2|2|54598.5488|000|0\n"
                       "2007|1|NULL|1519224.956|100|1\n2007|2|NULL|2727337.9981|100|1\n"
                       "2008|1|NULL|1954580.1658|100|1\n2008|2|NULL|3163370.5217|100|1\n"
                       "2007|NULL|NULL|4246562.9541|110|3\n2008|NULL|NULL|5117950.6875|110|3\n"
                       "NULL|NULL|NULL|9364513.6416|111|7\n"));

    // GROUPING is tinyint, GROUPING_ID int; the grouped column keeps its type.
    db::RecordsetPtr rs = sa->execute(QStringLiteral(
        "SELECT SalesQuota, GROUPING(SalesQuota), GROUPING_ID(SalesQuota) FROM SalesPerson GROUP BY ROLLUP (SalesQuota)"));
    ASSERT_EQ(rs->fieldCount(), 3);
    EXPECT_EQ(rs->field(0).name, QStringLiteral("SalesQuota"));
    EXPECT_EQ(rs->field(0).type, db::DataType::Currency);
    EXPECT_EQ(rs->field(1).type, db::DataType::TinyInt);
    EXPECT_EQ(rs->field(2).type, db::DataType::Integer);

    const struct {
        const char* sql;
        const char* error;
    } refused[] = {
        {"select grouping(SalesYTD) from SalesPerson group by rollup(SalesQuota)",
            "Argument 1 of the GROUPING function does not match any of the expressions in the GROUP BY clause."},
        {"select grouping_id(SalesQuota, SalesYTD) from SalesPerson group by SalesQuota",
            "Argument 2 of the GROUPING_ID function does not match any of the expressions in the GROUP BY clause."},
        {"select grouping(SalesQuota, SalesYTD) from SalesPerson group by cube(SalesQuota, SalesYTD)",
            "The GROUPING function requires 1 argument(s)."},
    };
    for (const auto& r : refused) EXPECT_EQ(refusal(*sa, QString::fromUtf8(r.sql)), QString::fromUtf8(r.error)) << r.sql;
}

TEST_F(SummaryQueries, TopTakesTiesPercentsAndExpressions)
{
    sa->execute(QStringLiteral("CREATE TABLE dbo.Cars(Model VARCHAR(15), Price MONEY, Color VARCHAR(10)); "
                               "INSERT dbo.Cars VALUES ('sedan', 10000, 'red'), ('convertible', 15000, 'blue'), "
                               "('coupe', 20000, 'red'), ('van', 8000, 'blue'); "
                               "create table Pay (ID int, Rate money); "
                               "insert Pay values (1, 1), (2, 2), (3, 3), (4, 4), (5, 9), (6, 9), (7, 9), (8, 20), "
                               "(9, 20), (10, 30)"));
    const struct {
        const char* sql;
        const char* expected;
    } cases[] = {
        {"SELECT Model, Color, Price FROM (SELECT TOP(1) Model, Color, Price FROM dbo.Cars WHERE Color = 'red' "
         "ORDER BY Price ASC) AS a UNION ALL SELECT Model, Color, Price FROM (SELECT TOP(1) Model, Color, Price "
         "FROM dbo.Cars WHERE Color = 'blue' ORDER BY Price ASC) AS b",
            "sedan|red|10000\nvan|blue|8000\n"},
        // each TOP takes one row of its own select; the ORDER BY sorts the union
        {"SELECT TOP(1) Model, Color, Price FROM dbo.Cars WHERE Color = 'red' UNION ALL SELECT TOP(1) Model, Color, "
         "Price FROM dbo.Cars WHERE Color = 'blue' ORDER BY Price ASC",
            "sedan|red|10000\nconvertible|blue|15000\n"},
        // TOP (5) WITH TIES: rows 6 and 7 tie with row 5
        {"SELECT COUNT(*) FROM (SELECT TOP (5) WITH TIES ID FROM Pay ORDER BY Rate ASC) x", "7\n"},
        {"SELECT COUNT(*) FROM (SELECT TOP (5) ID FROM Pay ORDER BY Rate ASC) x", "5\n"},
        {"SELECT TOP (2) WITH TIES ID, Rate FROM Pay ORDER BY Rate DESC, ID", "10|30\n8|20\n"},
        // ORDER BY an alias, a position
        {"SELECT COUNT(*), MIN(Rate) FROM (SELECT TOP 2 WITH TIES Rate AS r, Rate FROM Pay ORDER BY r DESC) x", "3|20\n"},
        {"SELECT COUNT(*) FROM (SELECT TOP (2) WITH TIES ID, Rate FROM Pay ORDER BY 2 DESC) x", "3\n"},
        // 10 percent of 10 rows is one row; 20 percent two, and the tie of the second
        {"SELECT COUNT(*) FROM (SELECT TOP (10) PERCENT WITH TIES ID FROM Pay ORDER BY Rate DESC) x", "1\n"},
        {"SELECT COUNT(*) FROM (SELECT TOP (20) PERCENT ID FROM Pay ORDER BY Rate DESC) x", "2\n"},
        {"SELECT COUNT(*) FROM (SELECT TOP (20) PERCENT WITH TIES ID FROM Pay ORDER BY Rate DESC) x", "3\n"},
        // the count as a variable or an expression
        {"DECLARE @p AS INT = 3; SELECT TOP(@p) ID FROM Pay ORDER BY ID DESC", "10\n9\n8\n"},
        {"DECLARE @p AS INT = 3; SELECT TOP(@p - 1) WITH TIES Rate FROM Pay ORDER BY Rate DESC", "30\n20\n20\n"},
        {"SELECT TOP (1 + 1) ID, Rate FROM Pay ORDER BY ID", "1|1\n2|2\n"},
        // the groups of a grouped query that tie
        {"SELECT COUNT(*) FROM (SELECT TOP (1) WITH TIES Rate, COUNT(*) n FROM Pay GROUP BY Rate ORDER BY n) x", "5\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(*sa, QString::fromUtf8(c.sql)), QString::fromUtf8(c.expected)) << c.sql;
    // in a common table expression; the outer select's column keeps no name of the translation's
    db::RecordsetPtr rs =
        sa->execute(QStringLiteral("WITH x AS (SELECT TOP (5) WITH TIES ID FROM Pay ORDER BY Rate) SELECT COUNT(*) FROM x"));
    EXPECT_EQ(rs->value(0).toInt(), 7);
    EXPECT_EQ(rs->field(0).name, QString());
    EXPECT_EQ(refusal(*sa, QStringLiteral("SELECT TOP (3) WITH TIES ID FROM Pay")),
        QStringLiteral("The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause."));
}

TEST_F(SummaryQueries, RowCountLimitsEveryStatementOfTheSession)
{
    sa->execute(QStringLiteral("create table Inventory (ID int identity(1, 1), Quantity int); "
                               "insert Inventory (Quantity) values (10), (20), (30), (40), (50), (60)"));
    const struct {
        const char* sql;
        const char* expected;   // the last result set's rows
    } cases[] = {
        {"SET ROWCOUNT 4; SELECT ID FROM Inventory WHERE Quantity < 300 ORDER BY ID", "1\n2\n3\n4\n"},
        // the setting stays with the session; TOP takes the smaller of the two
        {"SELECT COUNT(*) FROM Inventory", "6\n"},
        {"SELECT TOP (2) ID FROM Inventory ORDER BY ID DESC", "6\n5\n"},
        {"SELECT ID FROM Inventory ORDER BY ID DESC", "6\n5\n4\n3\n"},
        {"DECLARE @n int = 2; SET ROWCOUNT @n; UPDATE Inventory SET Quantity = 0; SELECT @@ROWCOUNT", "2\n"},
        {"SET ROWCOUNT 0; SELECT COUNT(*) FROM Inventory WHERE Quantity = 0", "2\n"},
        {"SET ROWCOUNT 3; DELETE FROM Inventory WHERE Quantity > 0; SET ROWCOUNT 0; SELECT COUNT(*) FROM Inventory",
            "3\n"},
        {"SET ROWCOUNT 1; INSERT Inventory (Quantity) SELECT Quantity FROM Inventory; SET ROWCOUNT 0; "
         "SELECT COUNT(*) FROM Inventory",
            "4\n"},
        {"SET ROWCOUNT 2; SELECT * INTO #Copy FROM Inventory; SET ROWCOUNT 0; SELECT COUNT(*) FROM #Copy", "2\n"},
        {"SELECT COUNT(*) FROM Inventory", "4\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(*sa, QString::fromUtf8(c.sql)), QString::fromUtf8(c.expected)) << c.sql;
}
