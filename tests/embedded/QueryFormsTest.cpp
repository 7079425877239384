// The query forms of report SQL that SQLite writes otherwise or not at all: CROSS and OUTER
// APPLY, with the rows the server's documentation gives or its rules make.
#include "EmbeddedFixture.h"

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

namespace {

class QueryForms : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        sa = connect(QStringLiteral("mat"));
    }

    // Every row of the first result set with rows, its values joined by "|" (NULL for null).
    QStringList rows(const QString& sql)
    {
        db::RecordsetPtr rs = sa->execute(sql);
        while (rs && !rs->isOpen())
            if (!rs->NextRecordset()) return {};
        QStringList out;
        for (; !rs->isEOF(); rs->MoveNext()) {
            QStringList row;
            for (int i = 0; i < rs->fieldCount(); ++i)
                row << (rs->value(i).isNull() ? QStringLiteral("NULL") : rs->value(i).toString());
            out << row.join(u'|');
        }
        return out;
    }

    // The number and text of the error running sql raises; empty when it runs.
    QString refusal(const QString& sql)
    {
        try {
            sa->execute(sql);
        } catch (const orra::Error&) {
            if (sa->errors().isEmpty()) return QStringLiteral("(no error text)");
            return QString::number(sa->errors().first().nativeError) + u' ' + sa->errors().first().description;
        }
        return QString();
    }

    std::unique_ptr<db::Connection> sa;
};

}   // namespace

TEST_F(QueryForms, ApplyGivesEachLeftRowTheRowsOfItsRightSide)
{
    // The tagged products of STRING_SPLIT's documentation; departments and employees of the
    // FROM clause's APPLY example (a department without employees: 30).
    sa->execute(QStringLiteral(
        "create table Product (ProductId int, Name varchar(40), Tags varchar(100)) "
        "insert Product values (1, 'Full-Finger Gloves', 'clothing,road,touring,bike'), (2, 'LL Headset', 'bike'), "
        "(3, 'HL Mountain Frame', 'bike,mountain'), (4, 'Spare Part', null) "
        "create table Departments (DeptID int, DeptName varchar(20), DeptMgrID int) "
        "insert Departments values (10, 'Sales', 1), (20, 'Finance', 2), (30, 'Audit', 3) "
        "create table Employees (EmpID int, EmpLastName varchar(20), EmpSalary money, Hired datetime, DeptID int) "
        "insert Employees values (1, 'Ames', 5000.25, '2019-03-01', 10), (4, 'Bell', 3200, '2020-07-15', 10), "
        "(5, 'Cole', 4100.5, '2021-01-04', 10), (2, 'Dunn', 6100, '2018-11-30', 20)"));
    // The example's table-valued function: the employees of the department a manager leads.
    sa->execute(QStringLiteral("create function dbo.GetReports (@MgrID int) returns table as return "
                               "(select e.EmpID, e.EmpLastName, e.EmpSalary from Employees e join Departments m "
                               "on m.DeptID = e.DeptID where m.DeptMgrID = @MgrID)"));
    const struct {
        const char* sql;
        QStringList rows;
    } cases[] = {
        {"SELECT DeptID, DeptName, DeptMgrID, EmpID, EmpLastName, EmpSalary FROM Departments d "
         "CROSS APPLY dbo.GetReports(d.DeptMgrID) order by EmpID",
            {"10|Sales|1|1|Ames|5000.25", "20|Finance|2|2|Dunn|6100", "10|Sales|1|4|Bell|3200",
                "10|Sales|1|5|Cole|4100.5"}},
        {"SELECT DeptID, DeptName, EmpID FROM Departments d OUTER APPLY dbo.GetReports(d.DeptMgrID) "
         "where EmpID is null or EmpID = 2 order by DeptID",
            {"20|Finance|2", "30|Audit|NULL"}},
        {"select ProductId, Name, value from Product cross apply string_split(Tags, ',') where ProductId < 4",
            {"1|Full-Finger Gloves|clothing", "1|Full-Finger Gloves|road", "1|Full-Finger Gloves|touring",
                "1|Full-Finger Gloves|bike", "2|LL Headset|bike", "3|HL Mountain Frame|bike",
                "3|HL Mountain Frame|mountain"}},
        {"select value as tag, count(*) as [number_of_articles] from Product cross apply string_split(Tags, ',') "
         "group by value having count(*) > 2 order by count(*) desc",
            {"bike|3"}},
        // a NULL string splits into no rows: OUTER APPLY keeps the product with NULLs
        {"select p.ProductId, s.value from Product p outer apply string_split(p.Tags, ',') s where p.ProductId in (2, 4)",
            {"2|bike", "4|NULL"}},
        // the best paid employee of each department: none for Audit
        {"select d.DeptName, e.EmpLastName, e.EmpSalary from Departments d cross apply (select top 1 EmpLastName, "
         "EmpSalary from Employees where DeptID = d.DeptID order by EmpSalary desc) e order by d.DeptID",
            {"Sales|Ames|5000.25", "Finance|Dunn|6100"}},
        {"select d.DeptName, e.EmpLastName from Departments d outer apply (select top 1 EmpLastName from Employees "
         "x where x.DeptID = d.DeptID order by x.EmpSalary desc) as e order by d.DeptID",
            {"Sales|Ames", "Finance|Dunn", "Audit|NULL"}},
        // an aggregate gives its one row, also over no employees
        {"select DeptName, Staff, Payroll from Departments d cross apply (select count(*) as Staff, sum(EmpSalary) "
         "Payroll from Employees e where e.DeptID = d.DeptID) t order by Payroll desc",
            {"Sales|3|12300.75", "Finance|1|6100", "Audit|0|NULL"}},
        {"select d.DeptID, t.* from Departments d cross apply (select count(*) as Staff from Employees e where "
         "e.DeptID = d.DeptID) t where t.Staff > 0 order by t.Staff",
            {"20|1", "10|3"}},
        {"select * from Departments d cross apply (select min(Hired) First from Employees e where e.DeptID = "
         "d.DeptID) f where d.DeptID = 20",
            {"20|Finance|2|2018-11-30T00:00:00.000Z"}},
        // a later table reads an earlier one; rows of values read the left row
        {"select d.DeptID, h.Half from Departments d cross apply (select sum(EmpSalary) s from Employees e where "
         "e.DeptID = d.DeptID) t cross apply (select t.s / 2 as Half) h order by d.DeptID",
            {"10|6150.375", "20|3050", "30|NULL"}},
        {"select e.EmpID, v.Kind, v.Amount from Employees e cross apply (values ('salary', e.EmpSalary), ('bonus', "
         "e.EmpSalary / 10)) v (Kind, Amount) where e.EmpID = 2",
            {"2|salary|6100", "2|bonus|610"}},
        {"select count(*) from (select d.DeptID from Departments d cross apply string_split('a,b', ',') s) x",
            {"6"}},
        // the derived table's column list names what its select leaves unnamed
        {"select d.DeptID, t.Staff, t.Half from Departments d cross apply (select count(*), sum(EmpSalary) / 2 from "
         "Employees e where e.DeptID = d.DeptID) t (Staff, Half) order by d.DeptID",
            {"10|3|6150.375", "20|1|3050", "30|0|NULL"}},
        {"select d.DeptID, n.Next from Departments d outer apply (select d.DeptID + 1 where d.DeptID > 10) as n (Next) "
         "order by d.DeptID",
            {"10|NULL", "20|21", "30|31"}},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
}

TEST_F(QueryForms, AppliedColumnsKeepTheirNamesAndTypes)
{
    sa->execute(QStringLiteral("create table Emp (ID int, Pay money, Hired datetime, Active bit) "
                               "insert Emp values (1, 10.5, '2020-01-02', 1)"));
    db::RecordsetPtr rs =
        sa->execute(QStringLiteral("select * from (select 1 as k) o cross apply (select Pay, Hired, Active, "
                                   "Pay * 2 as Twice from Emp where ID = o.k) e"));
    ASSERT_EQ(rs->fieldCount(), 5);
    const struct {
        const char* name;
        db::DataType type;
    } fields[] = {{"k", db::DataType::Integer}, {"Pay", db::DataType::Currency}, {"Hired", db::DataType::DBTimeStamp},
        {"Active", db::DataType::Boolean}, {"Twice", db::DataType::Currency}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rs->field(i).name, QString::fromUtf8(fields[i].name));
        EXPECT_EQ(rs->field(i).type, fields[i].type) << fields[i].name;
    }
    // named by the derived table's column list
    rs = sa->execute(QStringLiteral("select * from (select 1 as k) o cross apply (select Pay, Hired, Active, Pay * 2 "
                                    "from Emp where ID = o.k) e (Pay, Hired, Active, Twice)"));
    ASSERT_EQ(rs->fieldCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rs->field(i).name, QString::fromUtf8(fields[i].name));
        EXPECT_EQ(rs->field(i).type, fields[i].type) << fields[i].name;
    }
}

TEST_F(QueryForms, ApplyRefusesWhatTheServerRefuses)
{
    sa->execute(QStringLiteral("create table T (ID int)"));
    const struct {
        const char* sql;
        const char* error;
    } cases[] = {
        {"select * from T cross apply (select ID + 1 from T u where u.ID = T.ID) x",
            "8155 No column name was specified for column 1 of 'x'."},
        {"select x.Nope from T cross apply (select ID from T u where u.ID = T.ID) x",
            "207 Invalid column name 'Nope'."},
        {"select * from T cross apply (select ID, ID from T u) x",
            "8156 The column 'ID' was specified multiple times for 'x'."},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(QString::fromUtf8(c.sql)), QString::fromUtf8(c.error)) << c.sql;
}

TEST_F(QueryForms, PivotAndUnpivotGiveTheDocumentedRows)
{
    // Products whose average standard cost by days to manufacture is the documentation's
    // 5.0885, 223.88, 359.1082 and 949.4105 (none made in three days); purchase orders of
    // vendors 1492 and 1494 by employee, counted as the documentation's first two rows; the
    // documentation's pvt table (with a NULL that UNPIVOT leaves out).
    sa->execute(QStringLiteral(
        "create table Product (ProductID int, DaysToManufacture int, StandardCost money) "
        "insert Product values (1, 0, 4.0885), (2, 0, 6.0885), (3, 1, 223.88), (4, 2, 359.1082), (5, 4, 949.4105) "
        "create table PurchaseOrderHeader (PurchaseOrderID int identity(1, 1), EmployeeID int, VendorID int) "
        "create table pvt (VendorID int, Emp1 int, Emp2 int, Emp3 int, Emp4 int, Emp5 int) "
        "insert into pvt values (1,4,3,5,4,4) insert into pvt values (2,4,1,5,5,5) "
        "insert into pvt values (3,4,3,5,4,4) insert into pvt values (4,4,2,5,5,4) "
        "insert into pvt values (5,5,1,5,5,5) insert into pvt values (6,null,1,null,null,null)"));
    const struct {
        int vendor, employee, orders;
    } orders[] = {{1492, 250, 2}, {1492, 251, 5}, {1492, 256, 4}, {1492, 257, 4}, {1492, 260, 4}, {1494, 250, 2},
        {1494, 251, 5}, {1494, 256, 4}, {1494, 257, 5}, {1494, 260, 4}, {1494, 300, 3}};
    for (const auto& o : orders)
        for (int n = 0; n < o.orders; ++n)
            sa->execute(QStringLiteral("insert PurchaseOrderHeader (EmployeeID, VendorID) values (%1, %2)")
                            .arg(o.employee)
                            .arg(o.vendor));
    const struct {
        const char* sql;
        QStringList rows;
    } cases[] = {
        {"SELECT 'AverageCost' AS Cost_Sorted_By_Production_Days, [0], [1], [2], [3], [4] FROM "
         "(SELECT DaysToManufacture, StandardCost FROM Product) AS SourceTable PIVOT (AVG(StandardCost) "
         "FOR DaysToManufacture IN ([0], [1], [2], [3], [4])) AS PivotTable;",
            {"AverageCost|5.0885|223.88|359.1082|NULL|949.4105"}},
        {"SELECT VendorID, [250] AS Emp1, [251] AS Emp2, [256] AS Emp3, [257] AS Emp4, [260] AS Emp5 FROM "
         "(SELECT PurchaseOrderID, EmployeeID, VendorID FROM PurchaseOrderHeader) p PIVOT (COUNT (PurchaseOrderID) "
         "FOR EmployeeID IN ( [250], [251], [256], [257], [260] )) AS pvt ORDER BY pvt.VendorID;",
            {"1492|2|5|4|4|4", "1494|2|5|4|5|4"}},
        {"SELECT VendorID, Employee, Orders FROM (SELECT VendorID, Emp1, Emp2, Emp3, Emp4, Emp5 FROM pvt) p "
         "UNPIVOT (Orders FOR Employee IN (Emp1, Emp2, Emp3, Emp4, Emp5))AS unpvt where VendorID <= 2 or VendorID = 6;",
            {"1|Emp1|4", "1|Emp2|3", "1|Emp3|5", "1|Emp4|4", "1|Emp5|4", "2|Emp1|4", "2|Emp2|1", "2|Emp3|5",
                "2|Emp4|5", "2|Emp5|5", "6|Emp2|1"}},
        // a table as the source: its other columns group and stay
        {"select * from pvt unpivot (Orders for Employee in (Emp1, Emp2)) u where VendorID = 4",
            {"4|5|5|4|Emp1|4", "4|5|5|4|Emp2|2"}},
        {"select VendorID, [1], [3] from pvt pivot (sum(Emp1) for Emp2 in ([1], [3])) as x where Emp3 = 5 "
         "order by VendorID",
            {"1|NULL|4", "2|4|NULL", "3|NULL|4", "4|NULL|NULL", "5|5|NULL"}},
        // a source whose column list names its columns
        {"select * from (select DaysToManufacture, StandardCost from Product) s (Days, Cost) "
         "pivot (max(Cost) for Days in ([0], [4])) p",
            {"6.0885|949.4105"}},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
}

TEST_F(QueryForms, MergeActsOnTheRowsItFoundAndCountsThem)
{
    sa->execute(QStringLiteral(
        "create table UnitMeasure (UnitMeasureCode nchar(3) primary key, Name nvarchar(25)) "
        "create table ProductInventory (ProductID int primary key, Quantity int, ModifiedDate datetime) "
        "insert ProductInventory values (1, 10, '2003-01-01'), (2, 3, '2003-01-01'), (3, 7, '2003-01-01') "
        "create table SalesOrderHeader (SalesOrderID int, OrderDate datetime) "
        "insert SalesOrderHeader values (1, '2003-05-01'), (2, '2003-05-01'), (3, '2003-06-01') "
        "create table SalesOrderDetail (SalesOrderID int, ProductID int, OrderQty int) "
        "insert SalesOrderDetail values (1, 1, 4), (2, 1, 2), (1, 2, 3), (3, 3, 7), (2, 4, 1) "
        "create table SalesReason (Name varchar(20), ReasonType varchar(20)) "
        "insert SalesReason values ('Price', 'Other'), ('Review', 'Other')"));
    // The procedure of the documentation's first example, as a batch: update the row if it
    // exists, else insert it; run for ABC, XYZ and ABC again.
    const QString upsert = QStringLiteral(
        "declare @UnitMeasureCode nchar(3) = '%1', @Name nvarchar(25) = '%2' "
        "MERGE UnitMeasure AS target USING (SELECT @UnitMeasureCode, @Name) AS source (UnitMeasureCode, Name) "
        "ON (target.UnitMeasureCode = source.UnitMeasureCode) WHEN MATCHED THEN UPDATE SET Name = source.Name "
        "WHEN NOT MATCHED THEN INSERT (UnitMeasureCode, Name) VALUES (source.UnitMeasureCode, source.Name); "
        "select @@rowcount");
    const struct {
        const char *code, *name;
    } calls[] = {{"ABC", "New Test Value"}, {"XYZ", "Test Value"}, {"ABC", "Another Test Value"}};
    for (const auto& c : calls)
        EXPECT_EQ(rows(upsert.arg(QLatin1String(c.code), QLatin1String(c.name))), QStringList{QStringLiteral("1")});
    EXPECT_EQ(rows(QStringLiteral("select UnitMeasureCode, Name from UnitMeasure order by UnitMeasureCode")),
        (QStringList{"ABC|Another Test Value", "XYZ|Test Value"}));

    // The second example: the day's orders taken from the inventory, a product sold out deleted.
    EXPECT_EQ(rows(QStringLiteral(
                  "declare @OrderDate datetime = '20030501' "
                  "MERGE ProductInventory AS target USING (SELECT ProductID, SUM(OrderQty) FROM SalesOrderDetail AS sod "
                  "JOIN SalesOrderHeader AS soh ON sod.SalesOrderID = soh.SalesOrderID AND soh.OrderDate = @OrderDate "
                  "GROUP BY ProductID) AS source (ProductID, OrderQty) ON (target.ProductID = source.ProductID) "
                  "WHEN MATCHED AND target.Quantity - source.OrderQty <= 0 THEN DELETE "
                  "WHEN MATCHED THEN UPDATE SET target.Quantity = target.Quantity - source.OrderQty, "
                  "target.ModifiedDate = '20030501'; "
                  "select @@rowcount")),
        QStringList{QStringLiteral("2")});
    EXPECT_EQ(rows(QStringLiteral("select ProductID, Quantity, year(ModifiedDate) from ProductInventory order by 1")),
        (QStringList{"1|4|2003", "3|7|2003"}));

    // The third: rows of values update the reasons they name and add the others.
    EXPECT_EQ(rows(QStringLiteral(
                  "MERGE INTO SalesReason AS Target USING (VALUES ('Recommendation','Other'), ('Review', 'Marketing'), "
                  "('Internet', 'Promotion')) AS Source (NewName, NewReasonType) ON Target.Name = Source.NewName "
                  "WHEN MATCHED THEN UPDATE SET ReasonType = Source.NewReasonType "
                  "WHEN NOT MATCHED BY TARGET THEN INSERT (Name, ReasonType) VALUES (NewName, NewReasonType); "
                  "select @@rowcount")),
        QStringList{QStringLiteral("3")});
    EXPECT_EQ(rows(QStringLiteral("select Name, ReasonType from SalesReason order by Name")),
        (QStringList{"Internet|Promotion", "Price|Other", "Recommendation|Other", "Review|Marketing"}));

    // Rows the source does not name, deleted; a row just inserted is none of them.
    EXPECT_EQ(rows(QStringLiteral(
                  "merge SalesReason t using (select 'Price' as n union all select 'Quality') s on t.Name = s.n "
                  "when not matched by source and t.Name <> 'Review' then delete "
                  "when not matched then insert (Name, ReasonType) values (s.n, 'Other'); select @@rowcount")),
        QStringList{QStringLiteral("3")});
    EXPECT_EQ(rows(QStringLiteral("select Name from SalesReason order by Name")),
        (QStringList{"Price", "Quality", "Review"}));
}

TEST_F(QueryForms, OutputClausesGiveTheRowsEachChangeMade)
{
    // The documentation's examples: a queue's rows deleted into a table variable, vacation
    // hours raised by 25 percent with the old and new values and their difference, rows
    // inserted into a table whose identity counts from 1 by 5 beside a computed column, and
    // the rows a merge deleted, told by $action.
    sa->execute(QStringLiteral(
        "CREATE TABLE dbo.table1 (id INT, employee VARCHAR(32)) "
        "INSERT INTO dbo.table1 VALUES (1, 'Fred'), (2, 'Tom'), (3, 'Sally'), (4, 'Alice') "
        "create table Employee (BusinessEntityID int, VacationHours int, ModifiedDate datetime) "
        "insert Employee values (1, 8, '2004-04-12'), (2, 20, '2004-04-12') "
        "CREATE TABLE dbo.EmployeeSales (EmployeeID INT IDENTITY (1,5) NOT NULL, LastName NVARCHAR(20) NOT NULL, "
        "FirstName NVARCHAR(20) NOT NULL, CurrentSales MONEY NOT NULL, ProjectedSales AS CurrentSales * 1.10) "
        "create table ProductInventory (ProductID int, Quantity int) insert ProductInventory values (1, 5), (2, 9) "
        "create table Orders (ProductID int, OrderQty int) insert Orders values (1, 5), (2, 4)"));
    const struct {
        const char* sql;
        QStringList rows;
    } cases[] = {
        {"DECLARE @MyTableVar TABLE (id INT, employee VARCHAR(32)); "
         "DELETE FROM dbo.table1 OUTPUT DELETED.* INTO @MyTableVar WHERE id = 4 OR id = 2; "
         "SELECT * FROM @MyTableVar order by id",
            {"2|Tom", "4|Alice"}},
        {"select * from dbo.table1 order by id", {"1|Fred", "3|Sally"}},
        {"DECLARE @MyTableVar TABLE (EmpID INT NOT NULL, OldVacationHours INT, NewVacationHours INT, "
         "VacationHoursDifference INT, ModifiedDate DATETIME); "
         "UPDATE TOP (10) Employee SET VacationHours = VacationHours * 1.25, ModifiedDate = '20040412 16:23:33.050' "
         "OUTPUT inserted.BusinessEntityID, deleted.VacationHours, inserted.VacationHours, "
         "inserted.VacationHours - deleted.VacationHours, inserted.ModifiedDate INTO @MyTableVar; "
         "SELECT EmpID, OldVacationHours, NewVacationHours, VacationHoursDifference, "
         "convert(varchar(23), ModifiedDate, 121), @@rowcount FROM @MyTableVar order by EmpID",
            {"1|8|10|2|2004-04-12 16:23:33.050|2", "2|20|25|5|2004-04-12 16:23:33.050|2"}},
        {"DECLARE @MyTableVar TABLE (EmployeeID INT NOT NULL, LastName NVARCHAR(20) NOT NULL, "
         "FirstName NVARCHAR(20) NOT NULL, CurrentSales MONEY NOT NULL, ProjectedSales MONEY NOT NULL); "
         "INSERT INTO dbo.EmployeeSales (LastName, FirstName, CurrentSales) OUTPUT INSERTED.EmployeeID, "
         "INSERTED.LastName, INSERTED.FirstName, INSERTED.CurrentSales, INSERTED.ProjectedSales INTO @MyTableVar "
         "SELECT l, f, s FROM (VALUES ('Blythe', 'Michael', 200), ('Abbas', 'Syed', 100)) AS sp (l, f, s) "
         "ORDER BY l; "
         "declare @n int = @@rowcount; SELECT EmployeeID, LastName, ProjectedSales, @n FROM @MyTableVar order by 1",
            {"1|Abbas|110|2", "6|Blythe|220|2"}},
        {"declare @Changes table (Action nvarchar(10), ProductID int); "
         "MERGE ProductInventory AS pi USING (SELECT ProductID, SUM(OrderQty) FROM Orders GROUP BY ProductID) "
         "AS src (ProductID, OrderQty) ON (pi.ProductID = src.ProductID) "
         "WHEN MATCHED AND pi.Quantity - src.OrderQty <= 0 THEN DELETE "
         "WHEN MATCHED THEN UPDATE SET pi.Quantity = pi.Quantity - src.OrderQty "
         "OUTPUT $action, deleted.ProductID INTO @Changes; "
         "select Action, ProductID from @Changes order by ProductID",
            {"DELETE|1", "UPDATE|2"}},
        // without INTO the rows come back, inserted and deleted side by side
        {"update ProductInventory set Quantity = 7 output deleted.Quantity, inserted.Quantity, $action", {}},
        {"update ProductInventory set Quantity = 7 output deleted.Quantity, inserted.Quantity", {"5|7"}},
        {"delete ProductInventory output deleted.*", {"2|7"}},
    };
    for (const auto& c : cases) {
        if (c.rows.isEmpty()) {
            EXPECT_EQ(refusal(QString::fromUtf8(c.sql)),
                QStringLiteral("0 $action is available only for the MERGE statement."));
            continue;
        }
        EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
    }
    // The output's columns are the table's, with their names and types.
    db::RecordsetPtr rs = sa->execute(QStringLiteral(
        "insert dbo.EmployeeSales (LastName, FirstName, CurrentSales) output inserted.EmployeeID, "
        "inserted.CurrentSales, inserted.CurrentSales * 2 values ('Ito', 'Shu', 1.5)"));
    ASSERT_EQ(rs->fieldCount(), 3);
    EXPECT_EQ(rs->field(0).name, QStringLiteral("EmployeeID"));
    EXPECT_EQ(rs->field(1).type, db::DataType::Currency);
    EXPECT_EQ(rs->field(2).type, db::DataType::Currency);
    EXPECT_EQ(rs->field(2).name, QString());
    EXPECT_EQ(rs->value(0).toInt(), 11);

    const struct {
        const char *sql, *error;
    } refused[] = {
        {"update e set VacationHours = 1 output p.ProductID from Employee e join ProductInventory p on 1 = 1",
            "0 The embedded server does not run OUTPUT of the columns of the FROM clause's tables ('p.ProductID'): it "
            "outputs inserted and deleted columns."},
        {"insert table1 output deleted.id values (5, 'x')",
            "0 DELETED cannot be used with the OUTPUT clause in the INSERT statement."},
        {"delete table1 output inserted.id", "0 INSERTED cannot be used with the OUTPUT clause in the DELETE statement."},
        {"insert table1 output inserted.id exec sp_who",
            "0 The OUTPUT clause is not supported in INSERT statements that contain an EXECUTE statement."},
        {"insert table1 select id, 'x' from (delete Employee output deleted.BusinessEntityID as id) d",
            "0 The embedded server does not run DELETE in a derived table (its OUTPUT rows as a table): output them "
            "INTO a table variable and read that."},
    };
    for (const auto& r : refused) EXPECT_EQ(refusal(QString::fromUtf8(r.sql)), QString::fromUtf8(r.error)) << r.sql;
    // a change that fails leaves nothing behind: the next output runs
    sa->execute(QStringLiteral("create table K (ID int primary key) insert K values (1)"));
    EXPECT_TRUE(refusal(QStringLiteral("insert K output inserted.ID values (2), (1)")).startsWith(QStringLiteral("2627 ")));
    EXPECT_EQ(rows(QStringLiteral("insert K output inserted.ID values (3)")), QStringList{QStringLiteral("3")});
    EXPECT_EQ(rows(QStringLiteral("select ID from K order by ID")), (QStringList{"1", "3"}));
}

TEST_F(QueryForms, MergeRefusesToUpdateARowTwice)
{
    sa->execute(QStringLiteral("create table T (ID int, V int) insert T values (1, 0), (2, 0)"));
    const QString twice = QStringLiteral("merge T using (select 1 as ID, 5 as V union all select 1, 6) s on T.ID = s.ID ");
    EXPECT_EQ(refusal(twice + QStringLiteral("when matched then update set V = s.V;")),
        QStringLiteral("8672 The MERGE statement attempted to UPDATE or DELETE the same row more than once. This happens "
                       "when a target row matches more than one source row. A MERGE statement cannot UPDATE/DELETE the "
                       "same row of the target table multiple times. Refine the ON clause to ensure a target row "
                       "matches at most one source row, or use the GROUP BY clause to group the source rows."));
    EXPECT_EQ(rows(QStringLiteral("select sum(V) from T")), QStringList{QStringLiteral("0")});
    // without an update nothing is changed twice
    EXPECT_EQ(refusal(twice + QStringLiteral("when not matched then insert (ID, V) values (s.ID, s.V);")), QString());
}

TEST_F(QueryForms, AMergeThatFailsChangesNothing)
{
    sa->execute(QStringLiteral("create table K (ID int primary key, V int) insert K values (1, 0), (2, 0)"));
    // the update of 1 and the delete of 2 come before the insert that breaks the key
    const QString merge = QStringLiteral(
        "merge K t using (select 1 as ID, 5 as V union all select 3, 1 union all select 4, 1) s on t.ID = s.ID "
        "when matched then update set V = s.V when not matched by source then delete "
        "when not matched then insert (ID, V) values (1, s.V);");
    EXPECT_TRUE(refusal(merge).startsWith(QStringLiteral("2627 ")));
    EXPECT_EQ(rows(QStringLiteral("select ID, V from K order by ID")), (QStringList{"1|0", "2|0"}));
    EXPECT_EQ(rows(QStringLiteral("select @@trancount")), QStringList{QStringLiteral("0")});
}

TEST_F(QueryForms, RecursiveQueriesStopAtTheirRecursionLimit)
{
    // The documentation's employees (examples D and the MAXRECURSION example) and genealogy
    // (example H: Bonnie's ancestors are her parents Jane and Jack and his parents Sue and Ed).
    sa->execute(QStringLiteral(
        "CREATE TABLE dbo.MyEmployees (EmployeeID SMALLINT NOT NULL, FirstName NVARCHAR(30) NOT NULL, LastName "
        "NVARCHAR(40) NOT NULL, Title NVARCHAR(50) NOT NULL, DeptID SMALLINT NOT NULL, ManagerID INT NULL, "
        "CONSTRAINT PK_EmployeeID PRIMARY KEY CLUSTERED (EmployeeID ASC)); "
        "INSERT INTO dbo.MyEmployees VALUES (1, N'Ken', N'Sánchez', N'Chief Executive Officer',16,NULL), "
        "(273, N'Brian', N'Welcker', N'Vice President of Sales',3,1), (274, N'Stephen', N'Jiang', N'North American "
        "Sales Manager',3,273), (275, N'Michael', N'Blythe', N'Sales Representative',3,274), (276, N'Linda', "
        "N'Mitchell', N'Sales Representative',3,274), (285, N'Syed', N'Abbas', N'Pacific Sales Manager',3,273), "
        "(286, N'Lynn', N'Tsoflias', N'Sales Representative',3,285), (16, N'David',N'Bradley', N'Marketing "
        "Manager', 4, 273), (23, N'Mary', N'Gibson', N'Marketing Specialist', 4, 16); "
        "CREATE TABLE dbo.Person(ID int, Name VARCHAR(30), Mother INT, Father INT); "
        "INSERT dbo.Person VALUES(1, 'Sue', NULL, NULL), (2, 'Ed', NULL, NULL), (3, 'Emma', 1, 2), (4, 'Jack', 1, "
        "2), (5, 'Jane', NULL, NULL), (6, 'Bonnie', 5, 4), (7, 'Bill', 5, 4); "
        "create table Levels (n int)"));
    const QString counting = QStringLiteral("with c (n) as (select 1 union all select n + 1 from c where n < %1) ");
    const QString exhausted = QStringLiteral(
        "530 The statement terminated. The maximum recursion %1 has been exhausted before statement completion.");
    const struct {
        QString sql;
        QStringList rows;
        QString error;
    } cases[] = {
        // a recursion that never ends stops at the default 100 levels; 100 levels run
        {QStringLiteral("with c (n) as (select 1 union all select n + 1 from c) select count(*) from c"), {},
            exhausted.arg(100)},
        {counting.arg(101) + QStringLiteral("select count(*), max(n) from c"), {"101|101"}, {}},
        {counting.arg(102) + QStringLiteral("select count(*) from c"), {}, exhausted.arg(100)},
        {counting.arg(1000) + QStringLiteral("select count(*) from c option (maxrecursion 0)"), {"1000"}, {}},
        {counting.arg(300) + QStringLiteral("select count(*) from c option (recompile, maxrecursion 300, maxdop 1)"),
            {"300"}, {}},
        {QStringLiteral("WITH cte (EmployeeID, ManagerID, Title) AS (SELECT EmployeeID, ManagerID, Title FROM "
                        "dbo.MyEmployees WHERE ManagerID IS NOT NULL UNION ALL SELECT cte.EmployeeID, cte.ManagerID, "
                        "cte.Title FROM cte JOIN dbo.MyEmployees AS e ON cte.ManagerID = e.EmployeeID) SELECT "
                        "EmployeeID, ManagerID, Title FROM cte OPTION (MAXRECURSION 2);"),
            {}, exhausted.arg(2)},
        {QStringLiteral("WITH DirectReports(ManagerID, EmployeeID, Title, EmployeeLevel) AS (SELECT ManagerID, "
                        "EmployeeID, Title, 0 AS EmployeeLevel FROM dbo.MyEmployees WHERE ManagerID IS NULL UNION ALL "
                        "SELECT e.ManagerID, e.EmployeeID, e.Title, EmployeeLevel + 1 FROM dbo.MyEmployees AS e INNER "
                        "JOIN DirectReports AS d ON e.ManagerID = d.EmployeeID) SELECT EmployeeID, EmployeeLevel FROM "
                        "DirectReports ORDER BY EmployeeID;"),
            {"1|0", "16|2", "23|3", "273|1", "274|2", "275|3", "276|3", "285|2", "286|3"}, {}},
        {QStringLiteral("WITH Generation (ID) AS (SELECT Mother FROM dbo.Person WHERE Name = 'Bonnie' UNION SELECT "
                        "Father FROM dbo.Person WHERE Name = 'Bonnie' UNION ALL SELECT Person.Father FROM Generation, "
                        "Person WHERE Generation.ID=Person.ID UNION ALL SELECT Person.Mother FROM Generation, "
                        "dbo.Person WHERE Generation.ID=Person.ID) SELECT Person.ID, Person.Name FROM Generation, "
                        "dbo.Person WHERE Generation.ID = Person.ID ORDER BY Person.ID;"),
            {"1|Sue", "2|Ed", "4|Jack", "5|Jane"}, {}},
        // the level the server counts is no column of the expression; without a column list
        // the anchor names the columns
        {QStringLiteral("with c as (select * from MyEmployees where ManagerID is null union all select e.* from "
                        "MyEmployees e join c on e.ManagerID = c.EmployeeID) select * from c where DeptID = 4 order "
                        "by EmployeeID"),
            {"16|David|Bradley|Marketing Manager|4|273", "23|Mary|Gibson|Marketing Specialist|4|16"}, {}},
        {QStringLiteral("with c as (select 1 as n, x = 'a' union all select n + 1, x from c where n < 3) select * "
                        "from c"),
            {"1|a", "2|a", "3|a"}, {}},
        // the changes read it too
        {counting.arg(150) + QStringLiteral("insert into Levels select n from c option (maxrecursion 150); select "
                                            "count(*) from Levels"),
            {"150"}, {}},
        {counting.arg(120) + QStringLiteral("delete from Levels where n in (select n from c) option (maxrecursion "
                                            "120); select count(*) from Levels"),
            {"30"}, {}},
        {counting.arg(200) + QStringLiteral("update Levels set n = 0 where n in (select n from c)"), {},
            exhausted.arg(100)},
        {QStringLiteral("select 1 option (maxrecursion 32768)"), {},
            QStringLiteral("310 The value 32768 specified for the MAXRECURSION option exceeds the allowed maximum of "
                           "32767.")},
        {QStringLiteral("select 1 option (optimize for unknown, hash join, fast 10)"), {"1"}, {}},
        {QStringLiteral("select 1 option (fastest)"), {}, QStringLiteral("102 Incorrect syntax near 'fastest'.")},
        {QStringLiteral("create view V as select 1 as n option (recompile)"), {},
            QStringLiteral("156 Incorrect syntax near the keyword 'option'.")},
        {QStringLiteral("create view Chain as with c (id, lvl) as (select EmployeeID, 0 from MyEmployees where "
                        "ManagerID is null union all select e.EmployeeID, lvl + 1 from MyEmployees e join c on "
                        "e.ManagerID = c.id) select * from c"),
            {}, {}},
        {QStringLiteral("select count(*), max(lvl) from Chain"), {"9|3"}, {}},
        // a query hint holds throughout its statement: the views it reads too
        {QStringLiteral("select count(*) from Chain option (maxrecursion 2)"), {}, exhausted.arg(2)},
        {QStringLiteral("create view Counted as ") + counting.arg(150) + QStringLiteral("select n from c"), {}, {}},
        {QStringLiteral("select count(*) from Counted"), {}, exhausted.arg(100)},
        {QStringLiteral("select count(*) from Counted option (maxrecursion 200)"), {"150"}, {}},
    };
    for (const auto& c : cases) {
        if (c.error.isEmpty())
            EXPECT_EQ(rows(c.sql), c.rows) << c.sql.toStdString();
        else
            EXPECT_EQ(refusal(c.sql), c.error) << c.sql.toStdString();
    }
    // the error ends its statement and the batch goes on
    db::RecordsetPtr rs = sa->execute(QStringLiteral("select 0; ") + counting.arg(200)
        + QStringLiteral("select count(*) from c; select @@error"));
    EXPECT_EQ(rs->value(0), 0);
    EXPECT_THROW(rs->NextRecordset(), orra::Error);
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0), 530);
}

TEST_F(QueryForms, UpdateAndMergeTakeCompoundAssignments)
{
    // The compound operators' examples, each on a column: 27 += 2 … 27 |= 2, 9 &= 13; a
    // decimal divides exactly, a datetime moves by days, a text appends.
    sa->execute(QStringLiteral(
        "create table X (ID int, x1 int, x2 int, x3 int, x4 int, x5 int, x6 int, x7 int, x8 int, D decimal(10,2), "
        "T datetime, S varchar(10)) insert X values (1, 27, 27, 27, 27, 27, 9, 27, 27, 10, '2020-01-31', 'ab') "
        "create table Y (ID int, N int) insert Y values (1, 5)"));
    const struct {
        const char* sql;
        QStringList rows;
    } cases[] = {
        {"update X set x1 += 2, x2 -= 2, x3 *= 2, x4 /= 2, x5 %= 2, x6 &= 13, x7 ^= 2, x8 |= 2; "
         "select x1, x2, x3, x4, x5, x6, x7, x8 from X",
            {"29|25|54|13|1|9|25|27"}},
        {"update X set D /= 3, T += 1, S += 'cd'; select D, convert(varchar(10), T, 120), S from X",
            {"3.33|2020-02-01|abcd"}},
        {"update x set x.x1 += y.N * 2 from X x join Y y on y.ID = x.ID; select x1 from X", {"39"}},
        {"merge X t using Y s on t.ID = s.ID when matched then update set t.x2 -= s.N; select x2 from X", {"20"}},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
}

TEST_F(QueryForms, UpdateAssignsVariablesInItsSetClause)
{
    // "SET @variable = column = expression sets the variable to the same value as the column.
    // This differs from SET @variable = column, column = expression, which sets the variable to
    // the pre-update value of the column." The variable takes the column's value as its own type
    // converts it (money to int rounds); a variable the clause assigns is read as it is at each
    // row.
    sa->execute(QStringLiteral("create table X (ID int, Amount money, Total money) "
                               "insert X values (1, 10, 0), (2, 5.5, 0), (3, 7.6, 0) "
                               "create table Y (ID int, N int) insert Y values (1, 4)"));
    const struct {
        const char* sql;
        QStringList rows;
    } cases[] = {
        {"declare @v money; update X set @v = Amount = Amount * 2 where ID = 1; select @v, Amount from X where ID = 1",
            {"20|20"}},
        {"declare @v money; update X set @v = Amount, Amount = Amount * 2 where ID = 1; "
         "select @v, Amount from X where ID = 1",
            {"20|40"}},
        {"declare @i int, @s varchar(10); update X set @i = Amount = 7.6, @s = ID where ID = 3; select @i, @s",
            {"8|3"}},
        {"declare @i int = 1; update X set @i += 1, Amount += 1 where ID = 3; select @i, Amount from X where ID = 3",
            {"2|8.6"}},
        {"declare @run money = 0; update X set @run = Total = @run + Amount where ID in (1, 2); "
         "select Total from X where ID in (1, 2) order by ID",
            {"40", "45.5"}},
        {"declare @v int; update x set @v = Amount = y.N from X x join Y y on y.ID = x.ID; select @v", {"4"}},
        {"declare @v int; merge X t using Y s on t.ID = s.ID when matched then update set @v = t.Amount = s.N + 1; "
         "select @v",
            {"5"}},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
    EXPECT_EQ(refusal(QStringLiteral("declare @v int; update X set @v = Amount where ID = 1")),
        QStringLiteral("0 The embedded server does not run an UPDATE whose SET clause assigns only variables: assign "
                       "them in a SELECT."));
}

TEST_F(QueryForms, ForXmlWritesTheDocumentedXml)
{
    // The documentation's product models, products and employee, in small tables of their own.
    sa->execute(QStringLiteral(
        "create table ProductModel (ProductModelID int, Name nvarchar(50)) "
        "insert ProductModel values (122, 'All-Purpose Bike Stand'), (119, 'Bike Wash'), (7, 'HL Touring Frame') "
        "create table Product (ProductID int, ProductModelID int, Name nvarchar(50)) "
        "insert Product values (885, 7, 'HL Touring Frame - Yellow, 60'), (887, 7, 'HL Touring Frame - Yellow, 46'), "
        "(888, 7, 'HL Touring Frame - Yellow, 50') "
        "create table Employee (EmployeeID int, FirstName nvarchar(20), MiddleName nvarchar(20), "
        "LastName nvarchar(20), AddressLine1 nvarchar(40), AddressLine2 nvarchar(40), City nvarchar(20)) "
        "insert Employee values (1, 'Gustavo', null, 'Achong', '7726 Driftwood Drive', null, 'Monroe')"));
    const QString nil = QStringLiteral("xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"");
    const struct {
        const char* sql;
        QString xml;
    } cases[] = {
        {"SELECT 2+2 FOR XML PATH", "<row>4</row>"},
        {"SELECT 2+2 as result for xml PATH", "<row><result>4</result></row>"},
        {"SELECT ProductModelID, Name FROM ProductModel WHERE ProductModelID=122 OR ProductModelID=119 "
         "ORDER BY ProductModelID DESC FOR XML PATH",
            "<row><ProductModelID>122</ProductModelID><Name>All-Purpose Bike Stand</Name></row>"
            "<row><ProductModelID>119</ProductModelID><Name>Bike Wash</Name></row>"},
        {"SELECT ProductModelID, Name FROM ProductModel WHERE ProductModelID=122 or ProductModelID=119 "
         "ORDER BY ProductModelID DESC FOR XML PATH ('ProductModel')",
            "<ProductModel><ProductModelID>122</ProductModelID><Name>All-Purpose Bike Stand</Name></ProductModel>"
            "<ProductModel><ProductModelID>119</ProductModelID><Name>Bike Wash</Name></ProductModel>"},
        {"SELECT ProductModelID, Name FROM ProductModel WHERE ProductModelID=122 OR ProductModelID=119 "
         "ORDER BY ProductModelID DESC FOR XML PATH ('')",
            "<ProductModelID>122</ProductModelID><Name>All-Purpose Bike Stand</Name>"
            "<ProductModelID>119</ProductModelID><Name>Bike Wash</Name>"},
        {"SELECT ProductModelID AS \"@id\", Name AS \"SomeChild/ModelName\" FROM ProductModel "
         "WHERE ProductModelID=122 or ProductModelID=119 ORDER BY ProductModelID DESC "
         "FOR XML PATH ('ProductModelData'), root ('Root')",
            "<Root><ProductModelData id=\"122\"><SomeChild><ModelName>All-Purpose Bike Stand</ModelName></SomeChild>"
            "</ProductModelData><ProductModelData id=\"119\"><SomeChild><ModelName>Bike Wash</ModelName></SomeChild>"
            "</ProductModelData></Root>"},
        {"SELECT EmployeeID \"@EmpID\", FirstName \"EmpName/First\", MiddleName \"EmpName/Middle\", "
         "LastName \"EmpName/Last\" FROM Employee E WHERE E.EmployeeID=1 FOR XML PATH",
            "<row EmpID=\"1\"><EmpName><First>Gustavo</First><Last>Achong</Last></EmpName></row>"},
        {"SELECT EmployeeID \"@EmpID\", FirstName \"EmpName/First\", MiddleName \"EmpName/Middle\", "
         "LastName \"EmpName/Last\" FROM Employee E WHERE E.EmployeeID=1 FOR XML PATH, ELEMENTS XSINIL",
            "<row " + nil + " EmpID=\"1\"><EmpName><First>Gustavo</First><Middle xsi:nil=\"true\" />"
                "<Last>Achong</Last></EmpName></row>"},
        // a column with another name in between breaks the grouping
        {"SELECT EmployeeID \"@EmpID\", FirstName \"EmpName/First\", AddressLine1 \"Address/AddrLine1\", "
         "AddressLine2 \"Address/AddrLIne2\", City \"Address/City\", MiddleName \"EmpName/Middle\", "
         "LastName \"EmpName/Last\" FROM Employee E WHERE E.EmployeeID=1 FOR XML PATH",
            "<row EmpID=\"1\"><EmpName><First>Gustavo</First></EmpName><Address><AddrLine1>7726 Driftwood Drive"
            "</AddrLine1><City>Monroe</City></Address><EmpName><Last>Achong</Last></EmpName></row>"},
        {"SELECT E.EmployeeID \"@EmpID\", FirstName \"*\", MiddleName \"*\", LastName \"*\" FROM Employee AS E "
         "WHERE E.EmployeeID=1 FOR XML PATH",
            "<row EmpID=\"1\">GustavoAchong</row>"},
        {"SELECT E.EmployeeID \"@EmpID\", 'Some PI' as \"processing-instruction(PI)\", "
         "'Employee name and address data' as \"text()\", 'middle name is optional' as \"EmpName/text()\", "
         "FirstName as \"EmpName/First\", MiddleName as \"EmpName/Middle\", LastName as \"EmpName/Last\", "
         "AddressLine1 as \"Address/AddrLine1\", AddressLine2 as \"Address/AddrLIne2\", City as \"Address/City\" "
         "FROM Employee AS E WHERE E.EmployeeID=1 FOR XML PATH",
            "<row EmpID=\"1\"><?PI Some PI?>Employee name and address data<EmpName>middle name is optional"
            "<First>Gustavo</First><Last>Achong</Last></EmpName><Address><AddrLine1>7726 Driftwood Drive"
            "</AddrLine1><City>Monroe</City></Address></row>"},
        {"SELECT 'en' as \"English/@xml:lang\", 'food' as \"English\", 'ger' as \"German/@xml:lang\", "
         "'Essen' as \"German\" FOR XML PATH ('Translation')",
            "<Translation><English xml:lang=\"en\">food</English><German xml:lang=\"ger\">Essen</German>"
            "</Translation>"},
        // a value list of data() values; nested results as text, or as xml with TYPE
        {"SELECT ProductModelID AS \"@ProductModelID\", Name AS \"@ProductModelName\", "
         "(SELECT ProductID AS \"data()\" FROM Product WHERE Product.ProductModelID = ProductModel.ProductModelID "
         "FOR XML PATH ('')) AS \"@ProductIDs\", "
         "(SELECT Name AS \"ProductName\" FROM Product WHERE Product.ProductModelID = ProductModel.ProductModelID "
         "FOR XML PATH (''), type) AS \"ProductNames\" "
         "FROM ProductModel WHERE ProductModelID= 7 FOR XML PATH('ProductModelData')",
            "<ProductModelData ProductModelID=\"7\" ProductModelName=\"HL Touring Frame\" ProductIDs=\"885 887 888\">"
            "<ProductNames><ProductName>HL Touring Frame - Yellow, 60</ProductName><ProductName>HL Touring Frame - "
            "Yellow, 46</ProductName><ProductName>HL Touring Frame - Yellow, 50</ProductName></ProductNames>"
            "</ProductModelData>"},
        // RAW: attributes, or subelements with ELEMENTS; AUTO: the element named by the table
        {"SELECT ProductModelID, Name FROM ProductModel WHERE ProductModelID=122 or ProductModelID=119 "
         "ORDER BY ProductModelID DESC FOR XML RAW, ROOT('MyRoot')",
            "<MyRoot><row ProductModelID=\"122\" Name=\"All-Purpose Bike Stand\" /><row ProductModelID=\"119\" "
            "Name=\"Bike Wash\" /></MyRoot>"},
        {"SELECT ProductModelID, Name FROM ProductModel WHERE ProductModelID=122 FOR XML RAW ('ProductModel'), ELEMENTS",
            "<ProductModel><ProductModelID>122</ProductModelID><Name>All-Purpose Bike Stand</Name></ProductModel>"},
        {"SELECT EmployeeID, FirstName, MiddleName FROM Employee FOR XML RAW, ELEMENTS XSINIL",
            "<row " + nil + "><EmployeeID>1</EmployeeID><FirstName>Gustavo</FirstName><MiddleName xsi:nil=\"true\" />"
                "</row>"},
        {"SELECT TOP 1 LastName FROM dbo.Employee FOR XML AUTO", "<dbo.Employee LastName=\"Achong\" />"},
        {"SELECT TOP 1 LastName FROM Employee x FOR XML AUTO, ELEMENTS", "<x><LastName>Achong</LastName></x>"},
        {"SELECT (SELECT Name AS \"ProductName\" FROM Product WHERE ProductID < 887 FOR XML PATH ('')) AS "
         "\"ProductNames\" FOR XML PATH('ProductModelData')",
            "<ProductModelData><ProductNames>&lt;ProductName&gt;HL Touring Frame - Yellow, 60&lt;/ProductName&gt;"
            "</ProductNames></ProductModelData>"},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(QString::fromUtf8(c.sql)), QStringList{c.xml}) << c.sql;
}

TEST_F(QueryForms, ForXmlPathConcatenatesAListInItsOrder)
{
    // The list idiom of report SQL: a text per row, its order the subquery's, & < > escaped
    // unless TYPE's value is read; no rows give NULL.
    sa->execute(QStringLiteral("create table Customers (ID int, Name nvarchar(20), Since datetime) "
                               "insert Customers values (1, 'Smith & Co', '2011-05-31'), (2, 'Bell', "
                               "'2011-05-31 10:01:02.123'), (3, '<Ames>', null), (4, 'Zed', null)"));
    const struct {
        const char* sql;
        QStringList rows;
    } cases[] = {
        {"select stuff((select ',' + Name from Customers where ID < 4 for xml path('')), 1, 1, '') as names",
            {"Smith &amp; Co,Bell,&lt;Ames&gt;"}},
        {"select stuff((select ',' + Name from Customers where ID < 4 order by Name desc for xml path('')), 1, 1, '')",
            {"Smith &amp; Co,Bell,&lt;Ames&gt;"}},
        {"select stuff((select ', ' + Name from Customers where ID < 4 order by 1 for xml path(''), type)"
         ".value('.', 'nvarchar(max)'), 1, 2, '')",
            {"<Ames>, Bell, Smith & Co"}},
        {"select (select Name as N from Customers where ID > 9 for xml path(''))", {"NULL"}},
        {"select c.ID, (select Since from Customers s where s.ID = c.ID for xml path('')) from Customers c "
         "where c.ID < 4",
            {"1|<Since>2011-05-31T00:00:00</Since>", "2|<Since>2011-05-31T10:01:02.123</Since>", "3|NULL"}},
        {"declare @names nvarchar(max) = stuff((select ';' + Name from Customers where ID in (2, 4) order by ID desc "
         "for xml path('')), 1, 1, '') select @names",
            {"Zed;Bell"}},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
    // the value is nvarchar(max), whatever the type of the columns shaped
    db::RecordsetPtr rs = sa->execute(QStringLiteral(
        "select (select ID from Customers where ID = 1 for xml path('')) as a, (select Since from Customers where "
        "ID = 1 for json path) as b, stuff((select ',' + Name from Customers for xml path('')), 1, 1, '') as c, "
        "(select ID from Customers where ID = 1 for xml path(''), type).value('.', 'nvarchar(max)') as d"));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rs->field(i).type, db::DataType::LongVarWChar) << i;
}

TEST_F(QueryForms, ForJsonWritesTheDocumentedJson)
{
    // The documentation's people, orders and employees, in small tables of their own.
    sa->execute(QStringLiteral(
        "create table Person (BusinessEntityID int, FirstName nvarchar(20), LastName nvarchar(20), "
        "Title nvarchar(8), MiddleName nvarchar(20)) "
        "insert Person values (1, 'Ken', 'Sanchez', null, 'J'), (2, 'Terri', 'Duffy', null, 'Lee'), "
        "(3, 'Roberto', 'Tamburello', null, null), (4, 'Rob', 'Walters', null, null), (5, 'Gail', 'Erickson', 'Ms.', 'A') "
        "create table SalesOrderHeader (SalesOrderID int, SalesOrderNumber nvarchar(10), OrderDate datetime) "
        "insert SalesOrderHeader values (43659, 'SO43659', '2011-05-31'), (43660, 'SO43659', null) "
        "create table SalesOrderDetail (SalesOrderID int, UnitPrice money, OrderQty smallint) "
        "insert SalesOrderDetail values (43659, 2024.994, 1), (43660, 2024.994, null) "
        "create table OrderDetail (SalesOrderID int, UnitPrice decimal(10, 2), OrderQty smallint) "
        "insert OrderDetail values (43659, 24.99, 1) "
        "create table emp (name nvarchar(10), surname nvarchar(10)) insert emp values ('John', null), ('Jane', 'Doe')"));
    const QString people =
        "{\"Id\":1,\"FirstName\":\"Ken\",\"LastName\":\"Sanchez\",\"Info\":{\"MiddleName\":\"J\"}},"
        "{\"Id\":2,\"FirstName\":\"Terri\",\"LastName\":\"Duffy\",\"Info\":{\"MiddleName\":\"Lee\"}},"
        "{\"Id\":3,\"FirstName\":\"Roberto\",\"LastName\":\"Tamburello\"},"
        "{\"Id\":4,\"FirstName\":\"Rob\",\"LastName\":\"Walters\"},"
        "{\"Id\":5,\"FirstName\":\"Gail\",\"LastName\":\"Erickson\",\"Info\":{\"Title\":\"Ms.\",\"MiddleName\":\"A\"}}";
    const char* peopleQuery = "SELECT TOP 5 BusinessEntityID As Id, FirstName, LastName, Title As 'Info.Title', "
                              "MiddleName As 'Info.MiddleName' FROM Person ORDER BY BusinessEntityID ";
    const struct {
        QString sql;
        QString json;
    } cases[] = {
        {peopleQuery + QStringLiteral("FOR JSON PATH"), u'[' + people + u']'},
        {peopleQuery + QStringLiteral("FOR JSON PATH, ROOT('info')"), "{\"info\":[" + people + "]}"},
        {peopleQuery + QStringLiteral("FOR JSON AUTO"),
            "[{\"Id\":1,\"FirstName\":\"Ken\",\"LastName\":\"Sanchez\",\"Info.MiddleName\":\"J\"},"
            "{\"Id\":2,\"FirstName\":\"Terri\",\"LastName\":\"Duffy\",\"Info.MiddleName\":\"Lee\"},"
            "{\"Id\":3,\"FirstName\":\"Roberto\",\"LastName\":\"Tamburello\"},"
            "{\"Id\":4,\"FirstName\":\"Rob\",\"LastName\":\"Walters\"},"
            "{\"Id\":5,\"FirstName\":\"Gail\",\"LastName\":\"Erickson\",\"Info.Title\":\"Ms.\",\"Info.MiddleName\":\"A\"}]"},
        // dates in ISO 8601, money with its four decimals
        {"SELECT TOP 2 H.SalesOrderNumber AS 'Order.Number', H.OrderDate AS 'Order.Date', D.UnitPrice AS "
         "'Product.Price', D.OrderQty AS 'Product.Quantity' FROM SalesOrderHeader H INNER JOIN SalesOrderDetail D "
         "ON H.SalesOrderID = D.SalesOrderID ORDER BY H.SalesOrderID FOR JSON PATH",
            "[{\"Order\":{\"Number\":\"SO43659\",\"Date\":\"2011-05-31T00:00:00\"},\"Product\":{\"Price\":2024.9940,"
            "\"Quantity\":1}},{\"Order\":{\"Number\":\"SO43659\"},\"Product\":{\"Price\":2024.9940}}]"},
        // every select of a union writes its dates as the first does
        {"SELECT SalesOrderNumber AS 'Order.Number', OrderDate AS 'Order.Date' FROM SalesOrderHeader WHERE "
         "SalesOrderID = 43659 UNION ALL SELECT 'SO1', OrderDate FROM SalesOrderHeader WHERE SalesOrderID = 43659 "
         "FOR JSON PATH",
            "[{\"Order\":{\"Number\":\"SO43659\",\"Date\":\"2011-05-31T00:00:00\"}},{\"Order\":{\"Number\":\"SO1\","
            "\"Date\":\"2011-05-31T00:00:00\"}}]"},
        // a nested FOR JSON PATH is JSON, not text
        {"SELECT TOP 2 SalesOrderNumber, OrderDate, (SELECT UnitPrice, OrderQty FROM OrderDetail AS D WHERE "
         "H.SalesOrderID = D.SalesOrderID FOR JSON PATH) AS D FROM SalesOrderHeader AS H WHERE SalesOrderID = 43659 "
         "FOR JSON PATH",
            "[{\"SalesOrderNumber\":\"SO43659\",\"OrderDate\":\"2011-05-31T00:00:00\",\"D\":[{\"UnitPrice\":24.99,"
            "\"OrderQty\":1}]}]"},
        {"SELECT name, surname FROM emp FOR JSON AUTO", "[{\"name\":\"John\"},{\"name\":\"Jane\",\"surname\":\"Doe\"}]"},
        {"SELECT name, surname FROM emp FOR JSON AUTO, INCLUDE_NULL_VALUES",
            "[{\"name\":\"John\",\"surname\":null},{\"name\":\"Jane\",\"surname\":\"Doe\"}]"},
        {"SELECT 2015 as year, 12 as month, 15 as day FOR JSON PATH, WITHOUT_ARRAY_WRAPPER",
            "{\"year\":2015,\"month\":12,\"day\":15}"},
        {"SELECT 2015 as year, 12 as month, 15 as day FOR JSON PATH", "[{\"year\":2015,\"month\":12,\"day\":15}]"},
        {"SELECT 2015 as year FOR JSON PATH, ROOT, WITHOUT_ARRAY_WRAPPER", "{\"root\":{\"year\":2015}}"},
        // bit as a Boolean; the special and control characters escaped in names and values
        {"SELECT cast(1 as bit) as yes, cast(0 as bit) as no FOR JSON PATH", "[{\"yes\":true,\"no\":false}]"},
        {"SELECT 'a\"b\\c/d' + char(8) + char(12) + char(10) + char(13) + char(9) as [K\"\\/], char(1) as '1', "
         "char(31) as '31' FOR JSON PATH",
            "[{\"K\\\"\\\\\\/\":\"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\t\",\"1\":\"\\u0001\",\"31\":\"\\u001f\"}]"},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(c.sql), QStringList{c.json}) << qPrintable(c.sql);
    // the documented uses of the nvarchar(max) it gives: a variable and a function's result
    sa->execute(QStringLiteral("CREATE FUNCTION GetSalesOrderDetails(@salesOrderId int) RETURNS NVARCHAR(MAX) AS "
                               "BEGIN RETURN (SELECT UnitPrice, OrderQty FROM SalesOrderDetail WHERE SalesOrderID = "
                               "@salesOrderId FOR JSON AUTO) END"));
    EXPECT_EQ(rows(QStringLiteral("select dbo.GetSalesOrderDetails(43659)")),
        QStringList{"[{\"UnitPrice\":2024.9940,\"OrderQty\":1}]"});
    EXPECT_EQ(rows(QStringLiteral("DECLARE @x NVARCHAR(MAX) = (SELECT TOP 10 * FROM SalesOrderHeader ORDER BY "
                                  "SalesOrderID FOR JSON AUTO) select @x")),
        QStringList{"[{\"SalesOrderID\":43659,\"SalesOrderNumber\":\"SO43659\",\"OrderDate\":\"2011-05-31T00:00:00\"},"
                    "{\"SalesOrderID\":43660,\"SalesOrderNumber\":\"SO43659\"}]"});
    // one column, named as the server names it
    db::RecordsetPtr rs = sa->execute(QStringLiteral("select name from emp for json path"));
    ASSERT_EQ(rs->fieldCount(), 1);
    EXPECT_EQ(rs->field(0).name, QStringLiteral("JSON_F52E2B61-18A1-11d1-B105-00805F49916B"));
}

TEST_F(QueryForms, ForClausesTheServerDoesNotRunAreRefusedByName)
{
    sa->execute(QStringLiteral("create table T (ID int, Name nvarchar(10)) create table U (ID int)"));
    const struct {
        const char* sql;
        const char* error;
    } cases[] = {
        {"select ID + 1 from T for xml raw",
            "102 The embedded server does not run FOR XML RAW with a column without a name: give it an alias."},
        {"select T.ID, U.ID from T join U on U.ID = T.ID for xml auto",
            "102 The embedded server does not run FOR XML AUTO over joined tables or derived tables: use FOR XML PATH."},
        {"select 1 as Tag, null as Parent, ID as [T!1!ID] from T for xml explicit",
            "102 The embedded server does not run FOR XML EXPLICIT."},
        {"select ID from T for browse", "102 The embedded server does not run FOR BROWSE."},
        {"select ID from T union select ID from U order by ID for xml path",
            "102 The embedded server does not run FOR XML PATH over UNION, EXCEPT or INTERSECT with ORDER BY."},
        {"select (select ID from T for xml path, type).query('/row')",
            "102 The embedded server does not run the xml method query(): only value('.', 'nvarchar(max)') reads a "
            "FOR XML result."},
        {"select T.ID, U.ID as UID from T join U on U.ID = T.ID for json auto",
            "102 The embedded server does not run FOR JSON AUTO over joined tables or derived tables: use FOR JSON "
            "PATH."},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(QString::fromUtf8(c.sql)), QString::fromUtf8(c.error)) << c.sql;
}

// INTERSECT binds before UNION and EXCEPT, which go from the left; a query in parentheses is
// one operand, and a select's TOP takes rows of that select alone.
TEST_F(QueryForms, SetOperatorsBindAsTheServerBindsThem)
{
    const struct {
        const char* sql;
        QStringList expected;
    } cases[] = {
        {"select 1 as x union all select 2 intersect select 3", {"1"}},
        {"select x from (values (1), (2), (3)) v(x) except select 2 intersect select 3 order by x", {"1", "2", "3"}},
        {"select count(*) from (select 1 as x union select 2 intersect select 2 union select 3 intersect select 4) d",
            {"2"}},
        {"select 1 where 3 in (select 1 union all select 2 intersect select 3)", {}},
        {"with c as (select 1 as x union all select 2 intersect select 2) select x from c order by x", {"1", "2"}},
        {"select 1 as x union all (select 2 intersect select 3)", {"1"}},
        {"(select 1 as x union all select 2) intersect select 2", {"2"}},
        {"((select 5 as x)) order by x", {"5"}},
        {"select 0 as y union all select top 2 x from (values (7), (7), (7)) v(x) order by y", {"0", "7", "7"}},
        {"select 0 as x union all (select top 2 a from (values (1), (2), (3)) v(a) order by a desc) order by x",
            {"0", "2", "3"}},
        {"select 0 as y union all select top 1 n = x from (values (4)) v(x) order by y", {"0", "4"}},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.expected) << c.sql;
    // the operands' types combine through the parentheses: decimal(2,1) and int make decimal(11,1)
    db::RecordsetPtr rs = sa->execute(QStringLiteral("(select 1.5 as x) union all (select 2) order by x"));
    EXPECT_EQ(rs->field(0).type, db::DataType::Numeric);
    EXPECT_EQ(rs->field(0).precision, 11);
    EXPECT_EQ(rs->field(0).numericScale, 1);
    sa->execute(QStringLiteral("create table #s (x int); insert into #s select 1 union all select 2 intersect select 3"));
    EXPECT_EQ(rows(QStringLiteral("select x from #s")), QStringList{QStringLiteral("1")});
    // an ORDER BY belongs to the whole: inside one select it is a syntax error
    EXPECT_EQ(refusal(QStringLiteral("select x from (values (1)) v(x) order by x union all select 5")),
        QStringLiteral("156 Incorrect syntax near the keyword 'union'."));
}

TEST_F(QueryForms, QuantifiedComparisonsHoldForAllOrSomeValues)
{
    // The documentation's table T1 with the IDs 1 to 4, and the components of order 49080: one
    // takes 2 days to manufacture, two take 0.
    sa->execute(QStringLiteral("create table T1 (ID int) insert T1 values (1) insert T1 values (2) insert T1 values (3) "
                               "insert T1 values (4) "
                               "create table OrderDetail (SalesOrderID int, DaysToManufacture int) "
                               "insert OrderDetail values (49080, 2), (49080, 0), (49080, 0)"));
    sa->execute(QStringLiteral(
        "CREATE PROCEDURE DaysToBuild @OrderID int, @NumberOfDays int AS IF @NumberOfDays >= ALL (SELECT "
        "DaysToManufacture FROM OrderDetail WHERE SalesOrderID = @OrderID) PRINT 'All items for this order can be "
        "manufactured in specified number of days or less.' ELSE PRINT 'Some items for this order cannot be "
        "manufactured in specified number of days or less.' ;"));
    sa->execute(QStringLiteral(
        "CREATE PROCEDURE ManyDaysToComplete @OrderID INT, @NumberOfDays INT AS IF @NumberOfDays < SOME (SELECT "
        "DaysToManufacture FROM OrderDetail WHERE SalesOrderID = @OrderID) PRINT 'At least one item for this order "
        "can''t be manufactured in specified number of days.' ELSE PRINT 'All items for this order can be "
        "manufactured in the specified number of days or less.' ;"));
    const struct {
        const char* sql;
        const char* message;
    } printed[] = {
        {"IF 3 < SOME (SELECT ID FROM T1) PRINT 'TRUE' ELSE PRINT 'FALSE' ;", "TRUE"},
        {"IF 3 < ALL (SELECT ID FROM T1) PRINT 'TRUE' ELSE PRINT 'FALSE' ;", "FALSE"},
        {"EXECUTE DaysToBuild 49080, 2 ;", "All items for this order can be manufactured in specified number of days or less."},
        {"EXECUTE DaysToBuild 49080, 1 ;",
            "Some items for this order cannot be manufactured in specified number of days or less."},
        {"EXECUTE ManyDaysToComplete 49080, 2 ;",
            "All items for this order can be manufactured in the specified number of days or less."},
        {"EXECUTE ManyDaysToComplete 49080, 1 ;",
            "At least one item for this order can't be manufactured in specified number of days."},
    };
    for (const auto& p : printed) {
        sa->execute(QString::fromUtf8(p.sql));
        ASSERT_EQ(sa->errors().size(), 1) << p.sql;
        EXPECT_EQ(sa->errors().first().description, QString::fromUtf8(p.message)) << p.sql;
    }
    // Subqueries giving 2 and 3: 2 <= ALL and 2 = SOME are TRUE, 2 = ALL is FALSE. The result is
    // TRUE or FALSE, never unknown: a NULL among the values makes ALL FALSE.
    const struct {
        const char* sql;
        QStringList rows;
    } cases[] = {
        {"select case when 2 <= all (select ID from T1 where ID in (2, 3)) then 'TRUE' else 'FALSE' end", {"TRUE"}},
        {"select case when 2 = all (select ID from T1 where ID in (2, 3)) then 'TRUE' else 'FALSE' end", {"FALSE"}},
        {"select case when 2 = some (select ID from T1 where ID in (2, 3)) then 'TRUE' else 'FALSE' end", {"TRUE"}},
        {"select case when 9 > all (select ID from T1 where ID > 4) then 'TRUE' else 'FALSE' end", {"TRUE"}},
        {"select ID from T1 where not (ID > all (select ID from T1 union all select null)) order by ID",
            {"1", "2", "3", "4"}},
        {"select ID from T1 where ID * 2 <> any (select DaysToManufacture from OrderDetail) and ID !< all (select 3) "
         "order by ID",
            {"3", "4"}},
        {"select ID from T1 t where ID > any (select ID from T1 where ID >= all (select ID from T1 where ID < t.ID))",
            {"2", "3", "4"}},
        {"select count(*) from T1 group by ID % 2 having sum(ID) >= all (select ID * 2 from T1 where ID < 4)", {"2"}},
    };
    for (const auto& c : cases) EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
}

TEST_F(QueryForms, ASubqueryUsedAsAValueGivesOneRowAtMost)
{
    sa->execute(QStringLiteral("create table Parts (ID int, Kind varchar(10), Price money) "
                               "insert Parts values (1, 'bolt', 2), (2, 'nut', 1), (3, 'bolt', 3)"));
    const QString error512 = QStringLiteral("512 Subquery returned more than 1 value. This is not permitted when the "
                                            "subquery follows =, !=, <, <= , >, >= or when the subquery is used as an "
                                            "expression.");
    const struct {
        const char* sql;
        QStringList rows;   // empty: error 512
    } cases[] = {
        {"select ID, (select Price from Parts p where p.Kind = 'nut') from Parts order by ID", {"1|1", "2|1", "3|1"}},
        {"select ID from Parts where Price > (select Price from Parts where Kind = 'bolt')", {}},
        {"select ID, (select Price from Parts p where p.Kind = q.Kind) from Parts q order by ID", {}},
        {"select ID, isnull((select ID from Parts p where p.ID = q.ID + 1), 0) from Parts q order by ID",
            {"1|2", "2|3", "3|0"}},
        {"select (select Kind from Parts where ID > 1 group by Kind)", {}},
        {"select (select top 1 ID from Parts order by Price desc), (select max(ID) from Parts), (select 7)",
            {"3|3|7"}},
        {"select ID from Parts where ID = (select ID from Parts where Kind = 'nut' union select 2)", {"2"}},
        {"select ID from Parts where ID = (select ID from Parts where Kind = 'nut' union select 3)", {}},
        {"select ID from Parts where ID in (select ID from Parts where Kind = 'bolt') order by ID", {"1", "3"}},
    };
    for (const auto& c : cases) {
        if (c.rows.isEmpty())
            EXPECT_EQ(refusal(QString::fromUtf8(c.sql)), error512) << c.sql;
        else
            EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
    }
    // set and update take the subquery's one value, or fail the same way
    EXPECT_EQ(refusal(QStringLiteral("declare @p money set @p = (select Price from Parts where Kind = 'bolt')")),
        error512);
    EXPECT_EQ(refusal(QStringLiteral("update Parts set Price = (select Price from Parts where Kind = 'bolt')")),
        error512);
    EXPECT_EQ(rows(QStringLiteral("select sum(Price) from Parts")), QStringList{QStringLiteral("6")});
}

TEST_F(QueryForms, OrderByStandsAndNamesWhatTheServerTakes)
{
    // With SELECT DISTINCT the columns and aliases of the ORDER BY must be in the select list;
    // views, derived tables, subqueries and common table expressions order only for TOP, OFFSET
    // or FOR XML.
    sa->execute(QStringLiteral("create table Hired (ID int, Dept varchar(10), Salary int) "
                               "insert Hired values (1, 'Sales', 30), (2, 'Audit', 10), (3, 'Sales', 20)"));
    const QString error145 =
        QStringLiteral("145 ORDER BY items must appear in the select list if SELECT DISTINCT is specified.");
    const QString error1033 = QStringLiteral("1033 The ORDER BY clause is invalid in views, inline functions, derived "
                                             "tables, subqueries, and common table expressions, unless TOP or FOR XML "
                                             "is also specified.");
    const struct {
        const char* sql;
        QStringList rows;
        const QString* error;
    } cases[] = {
        {"select distinct Dept from Hired order by Salary", {}, &error145},
        {"select distinct top 1 Dept from Hired order by ID desc", {}, &error145},
        {"select distinct Dept, Salary / 10 as Tens from Hired order by Salary", {}, &error145},
        {"select distinct Dept from Hired order by Dept desc", {"Sales", "Audit"}, nullptr},
        {"select distinct h.Dept as D from Hired h order by D", {"Audit", "Sales"}, nullptr},
        {"select distinct h.Dept as D from Hired h order by h.Dept desc", {"Sales", "Audit"}, nullptr},
        {"select distinct Dept, Salary / 10 as Tens from Hired order by Salary / 10, 1",
            {"Audit|1", "Sales|2", "Sales|3"}, nullptr},
        {"select distinct [DEPT] from Hired order by dept offset 1 rows", {"Sales"}, nullptr},
        {"select distinct Dept from Hired union select 'Zoo' order by Dept", {"Audit", "Sales", "Zoo"}, nullptr},
        {"select * from (select ID from Hired order by Salary) d", {}, &error1033},
        {"with c as (select ID from Hired order by Salary) select ID from c", {}, &error1033},
        {"select ID from Hired where ID in (select ID from Hired order by Salary)", {}, &error1033},
        {"create view Ordered as select ID from Hired order by Salary", {}, &error1033},
        {"select * from (select top 2 ID from Hired order by Salary) d order by ID", {"2", "3"}, nullptr},
        {"select * from (select ID from Hired order by Salary offset 2 rows) d", {"1"}, nullptr},
        {"select (select ',' + Dept from Hired order by Salary for xml path(''))", {",Audit,Sales,Sales"}, nullptr},
        {"(select ID from Hired) order by ID desc", {"3", "2", "1"}, nullptr},
    };
    for (const auto& c : cases) {
        if (c.error)
            EXPECT_EQ(refusal(QString::fromUtf8(c.sql)), *c.error) << c.sql;
        else
            EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
    }
}

TEST_F(QueryForms, WindowFunctionsTakeTheOverClausesTheServerCompiles)
{
    // LAG's example of arbitrary expressions: its default comes back as the type of the value
    // read (int), so -(-3)/2.0 is 1.
    sa->execute(QStringLiteral("CREATE TABLE T (a INT, b INT, c INT); "
                               "INSERT INTO T VALUES (1, 1, -3), (2, 2, 4), (3, 1, NULL), (4, 3, 1), (5, 2, NULL), (6, 1, 5);"));
    EXPECT_EQ(rows(QStringLiteral("SELECT b, c, LAG(2*c, b*(SELECT MIN(b) FROM T), -c/2.0) OVER (ORDER BY a) AS i FROM T "
                                  "order by a")),
        (QStringList{"1|-3|1", "2|4|-2", "1|NULL|8", "3|1|-6", "2|NULL|NULL", "1|5|NULL"}));
    const struct {
        const char* sql;
        const char* error;
    } refused[] = {
        {"select row_number() over () from T", "4112 The function 'row_number' must have an OVER clause with ORDER BY."},
        {"select a, LAG(c) over (partition by b) from T", "4112 The function 'LAG' must have an OVER clause with ORDER BY."},
        {"select rank() over (order by a rows unbounded preceding) from T",
            "10752 The function 'rank' may not have a window frame."},
        {"select sum(c) over (order by a range between 1 preceding and current row) from T",
            "4194 RANGE is only supported with UNBOUNDED and CURRENT ROW window frame delimiters."},
    };
    for (const auto& r : refused) EXPECT_EQ(refusal(QString::fromUtf8(r.sql)), QString::fromUtf8(r.error)) << r.sql;
}

TEST_F(QueryForms, GroupedQueriesReadColumnsOnlyThroughAggregatesOrTheirGroups)
{
    sa->execute(QStringLiteral("create table Staff (ID int, Dept varchar(10), Salary int) "
                               "insert Staff values (1, 'Sales', 30), (2, 'Audit', 10), (3, 'Sales', 20)"));
    const struct {
        const char* sql;
        QStringList rows;
        const char* error;
    } cases[] = {
        {"select Dept, Salary from Staff group by Dept", {},
            "8120 Column 'Staff.Salary' is invalid in the select list because it is not contained in either an "
            "aggregate function or the GROUP BY clause."},
        {"select s.ID, count(*) from Staff s group by s.Dept", {},
            "8120 Column 's.ID' is invalid in the select list because it is not contained in either an aggregate "
            "function or the GROUP BY clause."},
        {"select Salary + 2 from Staff group by Salary + 1", {},
            "8120 Column 'Staff.Salary' is invalid in the select list because it is not contained in either an "
            "aggregate function or the GROUP BY clause."},
        {"select Dept, count(*) from Staff", {},
            "8118 Column 'Staff.Dept' is invalid in the select list because it is not contained in an aggregate "
            "function and there is no GROUP BY clause."},
        {"select Dept from Staff group by Dept having Salary > 10", {},
            "8121 Column 'Staff.Salary' is invalid in the HAVING clause because it is not contained in either an "
            "aggregate function or the GROUP BY clause."},
        {"select Dept, max(Salary) from Staff group by Dept order by ID", {},
            "8127 Column \"Staff.ID\" is invalid in the ORDER BY clause because it is not contained in either an "
            "aggregate function or the GROUP BY clause."},
        {"select (Salary / 10) * 2, count(*) from Staff group by Salary / 10 order by 1", {"2|1", "4|1", "6|1"}, nullptr},
        {"select s.Dept, count(*) as N from Staff s group by Dept order by N desc, s.Dept", {"Sales|2", "Audit|1"},
            nullptr},
        {"select Dept, sum(Salary) from Staff group by Staff.Dept having min(ID) > 1", {"Audit|10"}, nullptr},
        {"select datepart(year, '2024-05-01'), cast(count(*) as varchar(5)) from Staff", {"2024|3"}, nullptr},
        {"select Dept, (select count(*) from Staff i where i.Dept = o.Dept) from Staff o group by Dept order by Dept",
            {"Audit|1", "Sales|2"}, nullptr},
        // a select list's aliases name nothing in WHERE, GROUP BY and HAVING
        {"select Salary * 2 as Twice from Staff where Twice > 30", {}, "207 Invalid column name 'Twice'."},
        {"select Salary / 10 as Tens, count(*) from Staff group by Tens", {}, "207 Invalid column name 'Tens'."},
        {"select Dept, count(*) as N from Staff group by Dept having N > 1", {}, "207 Invalid column name 'N'."},
        {"select Salary as ID from Staff where ID = 2", {"10"}, nullptr},
    };
    for (const auto& c : cases) {
        if (c.error)
            EXPECT_EQ(refusal(QString::fromUtf8(c.sql)), QString::fromUtf8(c.error)) << c.sql;
        else
            EXPECT_EQ(rows(QString::fromUtf8(c.sql)), c.rows) << c.sql;
    }
}
