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
    const struct {
        const char* sql;
        QStringList rows;
    } cases[] = {
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
