// The objects report SQL names and defines: one-, two- and three-part names in any quoting,
// schemas, OBJECT_ID, INFORMATION_SCHEMA.TABLES, indexes, views and table definitions, run
// by the administrator and by a member of db_owner in a database "sales".
#include "EmbeddedFixture.h"

#include <sqlite3.h>

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

namespace {

const QString kOlive = QStringLiteral("olive");
const QString kOlivePassword = QStringLiteral("Olive#1");

class Objects : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        const QString t = QStringLiteral("t");
        createDatabase(t, QStringLiteral("sales"));
        createLogin(t, kOlive, kOlivePassword);
        createUser(t, QStringLiteral("sales"), kOlive, kOlive);
        sa = connect(QStringLiteral("sales"));
        sa->execute(QStringLiteral("exec sp_addrolemember 'db_owner', 'olive'"));
        owner = connect(QStringLiteral("sales"), kOlive, kOlivePassword);
    }

    std::unique_ptr<db::Connection> sa;
    std::unique_ptr<db::Connection> owner;
};

}   // namespace

TEST_F(Objects, NamesReachTheirSchemasObjects)
{
    // dbo.Orders and Sales.Orders are two tables of one bare name.
    sa->execute(QStringLiteral("create schema Sales"));
    sa->execute(QStringLiteral("create table dbo.Orders (ID int primary key, Amount int) "
                               "insert into [dbo].[Orders] values (1, 10) insert into Orders values (2, 20)"));
    sa->execute(QStringLiteral("create table Sales.Orders (ID int primary key, Amount int) "
                               "insert into [Sales].[Orders] values (1, 1) insert into sales.Sales.Orders values (2, 2) "
                               "insert Sales.Orders values (3, 3)"));
    const struct {
        const char* sql;
        int count;
    } cases[] = {
        {"select count(*) from Orders", 2},
        {"select count(*) from dbo.Orders", 2},
        {"select count(*) from [dbo].[Orders]", 2},
        {"select count(*) from \"dbo\".\"Orders\"", 2},
        {"select count(*) from sales.dbo.Orders", 2},
        {"select count(*) from sales..Orders", 2},
        {"select count(*) from [sales]..[Orders]", 2},
        {"select count(*) from Sales.Orders", 3},
        {"select count(*) from [Sales].[Orders] o where o.ID > 1", 2},
        {"select count(*) from sales.Sales.Orders", 3},
        // the table's own name qualifies its columns when no alias is given
        {"select count(*) from Sales.Orders where Orders.Amount > 1", 2},
        {"select count(*) from dbo.Orders d join Sales.Orders s on s.ID = d.ID", 2},
        {"select count(*) from dbo.Orders d, Sales.Orders where Orders.ID = d.ID", 2},
        {"select count(*) from (select ID from Sales.Orders) x", 3},
        {"select sum(Amount) from Sales.Orders where ID in (select ID from dbo.Orders)", 3},
    };
    for (const auto& c : cases) EXPECT_EQ(scalar(*sa, QString::fromUtf8(c.sql)).toInt(), c.count) << c.sql;
    // Another database reaches them by three-part names.
    auto other = connect(QStringLiteral("catalogue"));
    EXPECT_EQ(scalar(*other, QStringLiteral("select count(*) from sales.Sales.Orders")).toInt(), 3);
    EXPECT_EQ(scalar(*other, QStringLiteral("select count(*) from [sales].[dbo].[Orders]")).toInt(), 2);
    // Writes through the schema name.
    sa->execute(QStringLiteral("update Sales.Orders set Amount = 0 where ID = 3 delete from Sales.Orders where ID = 1"));
    EXPECT_EQ(scalar(*sa, QStringLiteral("select sum(Amount) from Sales.Orders")).toInt(), 2);
    // update … from and delete … from with joins pick only the joined rows of the target.
    const struct {
        const char* sql;
        const char* check;
        int value;
    } joined[] = {
        {"update Sales.Orders set Amount = d.Amount from Sales.Orders join dbo.Orders d on d.ID = Orders.ID where d.ID = 2",
            "select sum(Amount) from Sales.Orders", 20},
        {"update s set s.Amount = 7 from Sales.Orders s inner join dbo.Orders d on d.ID = s.ID",
            "select sum(Amount) from Sales.Orders", 7},
        {"insert into Sales.Orders values (5, 5) delete from Sales.Orders from Sales.Orders s left join dbo.Orders d on "
         "d.ID = s.ID where d.ID is null",
            "select count(*) from Sales.Orders", 1},
        // delete top takes that many of the rows it finds (a percent counting a fraction as a row)
        {"insert into Sales.Orders values (6, 6), (7, 7), (8, 8), (9, 9) delete top (2) from Sales.Orders where ID > 5",
            "select count(*) from Sales.Orders where ID > 5", 2},
        {"declare @n int = 1 delete top (@n) Sales.Orders where ID > 5", "select count(*) from Sales.Orders", 2},
        {"delete top (50) percent s from Sales.Orders s where s.ID > 5", "select count(*) from Sales.Orders", 1},
        {"delete s from Sales.Orders s join dbo.Orders d on d.ID = s.ID", "select count(*) from Sales.Orders", 0},
        // update top too (its percent also counting a fraction as a row)
        {"insert into Sales.Orders values (10, 275), (11, 275), (12, 275) "
         "update top (2) Sales.Orders set Amount = 276 where Amount = 275",
            "select count(*) from Sales.Orders where Amount = 276", 2},
        {"declare @n int = 1 update top (@n) Sales.Orders set Amount = 276 where Amount = 275",
            "select count(*) from Sales.Orders where Amount = 276", 3},
        {"update top (50) percent Sales.Orders set Amount = 0 where Amount = 276",
            "select count(*) from Sales.Orders where Amount = 0", 2},
        {"update top (1) s set s.Amount = 9 from Sales.Orders s join dbo.Orders d on d.ID + 10 = s.ID where s.Amount = 0",
            "select count(*) from Sales.Orders where Amount = 9", 1},
        {"delete Sales.Orders", "select count(*) from Sales.Orders", 0},
    };
    for (const auto& j : joined) {
        EXPECT_EQ(refusal(*sa, QString::fromUtf8(j.sql)), QString()) << j.sql;
        EXPECT_EQ(scalar(*sa, QString::fromUtf8(j.check)).toInt(), j.value) << j.sql;
    }
    sa->execute(QStringLiteral("drop table Sales.Orders"));
    EXPECT_EQ(scalar(*sa, QStringLiteral("select count(*) from Orders")).toInt(), 2);
    // A schema must exist before it holds anything, and exists once.
    EXPECT_EQ(refusal(*sa, QStringLiteral("create table Nowhere.T (a int)")),
        QStringLiteral("The specified schema name \"Nowhere\" either does not exist or you do not have permission to use it."));
    EXPECT_EQ(refusal(*owner, QStringLiteral("create schema SALES")),
        QStringLiteral("There is already an object named 'SALES' in the database."));
    EXPECT_EQ(refusal(*owner, QStringLiteral("create schema Purchasing authorization dbo")), QString());
    EXPECT_EQ(refusal(*owner, QStringLiteral("create table Purchasing.Vendor (ID int)")), QString());
}

TEST_F(Objects, ObjectIdAndInformationSchemaFindWhatExists)
{
    sa->execute(QStringLiteral("create schema Sales"));
    sa->execute(QStringLiteral("create table Orders (ID int) create table Sales.Customer (ID int) "
                               "create table #Work (ID int)"));
    const struct {
        const char* sql;
        bool found;
    } cases[] = {
        {"select object_id('Orders')", true},
        {"select object_id('dbo.Orders')", true},
        {"select object_id('[dbo].[Orders]', 'U')", true},
        {"select object_id('sales.dbo.Orders')", true},
        {"select object_id('sales..Orders')", true},
        {"select object_id('Sales.Customer')", true},
        {"select object_id('Customer')", false},
        {"select object_id('dbo.Customer')", false},
        {"select object_id('tempdb..#Work')", true},
        {"select object_id('tempdb..#Other')", false},
        {"select object_id('Orders', 'V')", false},
        {"select object_id('Nothing')", false},
    };
    for (const auto& c : cases) EXPECT_EQ(!scalar(*sa, QString::fromUtf8(c.sql)).isNull(), c.found) << c.sql;
    // The usual start of a report block: drop what an earlier run left.
    sa->execute(QStringLiteral("if object_id('tempdb..#Work') is not null drop table #Work"));
    EXPECT_TRUE(scalar(*sa, QStringLiteral("select object_id('tempdb..#Work')")).isNull());
    sa->execute(QStringLiteral("drop table if exists Sales.Customer drop table if exists Sales.Customer"));
    EXPECT_TRUE(scalar(*sa, QStringLiteral("select object_id('Sales.Customer')")).isNull());
    // INFORMATION_SCHEMA.TABLES: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE ('BASE TABLE' or 'VIEW').
    sa->execute(QStringLiteral("create table Sales.Customer (ID int)"));
    sa->execute(QStringLiteral("create view Sales.Big as select ID from Orders"));
    db::RecordsetPtr rs = sa->execute(QStringLiteral(
        "select TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE from INFORMATION_SCHEMA.TABLES order by TABLE_NAME"));
    QStringList rows;
    for (; !rs->isEOF(); rs->MoveNext())
        rows << QStringLiteral("%1 %2 %3 %4").arg(rs->value(0).toString(), rs->value(1).toString(),
                    rs->value(2).toString(), rs->value(3).toString());
    EXPECT_EQ(rows, QStringList({QStringLiteral("sales Sales Big VIEW"), QStringLiteral("sales Sales Customer BASE TABLE"),
                        QStringLiteral("sales dbo Orders BASE TABLE")}));
    EXPECT_EQ(scalar(*sa, QStringLiteral("if exists (select * from INFORMATION_SCHEMA.TABLES where TABLE_SCHEMA = 'sales' "
                                         "and TABLE_NAME = 'CUSTOMER') select 1 else select 0"))
                  .toInt(),
        1);
    auto other = connect(QStringLiteral("catalogue"));
    EXPECT_EQ(scalar(*other, QStringLiteral("select count(*) from sales.INFORMATION_SCHEMA.TABLES t "
                                            "where t.TABLE_NAME = 'Orders'"))
                  .toInt(),
        1);
}

TEST_F(Objects, OwnersMakeAndDropIndexes)
{
    for (db::Connection* c : {sa.get(), owner.get()}) {
        const struct {
            const char* sql;
        } steps[] = {
            {"create table Lines (ID int, Item varchar(10), Qty int)"},
            {"create index IX_Item on Lines (Item)"},
            {"create unique nonclustered index UX_Lines on dbo.Lines (ID, Item) include (Qty)"},
            {"create clustered index CX_Qty on Lines (Qty desc)"},
            {"drop index IX_Item on Lines"},
            {"drop index Lines.UX_Lines, CX_Qty on dbo.Lines"},
            {"create unique index UX_Lines on Lines (ID)"},
            {"drop table Lines"},
        };
        for (const auto& s : steps) EXPECT_EQ(refusal(*c, QString::fromUtf8(s.sql)), QString()) << s.sql;
    }
}

TEST_F(Objects, OwnersDefineViewsAndColumns)
{
    for (db::Connection* c : {sa.get(), owner.get()}) {
        // Each step runs; the select after it gives the value shown.
        const struct {
            const char* sql;
            const char* check;
            QVariant value;
        } steps[] = {
            {"create table Stock (ID int identity(100, 1) primary key, Qty int default 0, Price int default (2), "
             "Unit varchar(5) constraint DF_Unit default ('pc'), Total as Qty * Price, Twice as (Qty * 2) persisted)",
                "select count(*) from Stock", 0},
            // identity(seed, increment): the first row takes the seed
            {"insert into Stock (Qty) values (3) insert into Stock default values", "select min(ID) from Stock", 100},
            {"select 1", "select max(ID) from Stock", 101},
            {"select 1", "select Total from Stock where ID = 100", 6},
            {"select 1", "select Twice + Price from Stock where ID = 100", 8},
            {"select 1", "select Unit from Stock where ID = 101", QStringLiteral("pc")},
            {"alter table Stock add Note varchar(10) null, Shelf int not null default 4", "select sum(Shelf) from Stock", 8},
            {"alter table dbo.Stock drop column Note, Shelf", "select count(*) from Stock where Qty = 0", 1},
            // a computed column added, persisted or not
            {"alter table Stock add Thrice as (Qty * 3) persisted, Half as Qty / 2", "select Thrice + Half from Stock "
                                                                                    "where ID = 100", 10},
            {"alter table Stock drop column Thrice, Half", "select count(*) from Stock", 2},
            {"create view dbo.Cheap with schemabinding as select ID, Qty from dbo.Stock where Price < 3",
                "select count(*) from Cheap", 2},
            {"create or alter view Cheap as select ID from Stock where Qty > 0", "select count(*) from Cheap", 1},
            {"alter view Cheap as select ID from Stock", "select count(*) from Cheap", 2},
            {"drop view if exists Cheap drop view if exists Cheap", "select object_id('Cheap')", QVariant()},
            {"drop table Stock", "select object_id('Stock')", QVariant()},
        };
        for (const auto& s : steps) {
            EXPECT_EQ(refusal(*c, QString::fromUtf8(s.sql)), QString()) << s.sql;
            EXPECT_EQ(scalar(*c, QString::fromUtf8(s.check)), s.value) << s.sql << " / " << s.check;
        }
    }
    // An identity that counts by 2 is counted as declared.
    EXPECT_EQ(refusal(*sa, QStringLiteral("create table Steps (ID int identity(1, 2))")), QString());
    EXPECT_EQ(refusal(*sa, QStringLiteral("drop table Steps")), QString());
    sa->execute(QStringLiteral("create table Steps (ID int)"));
    EXPECT_EQ(refusal(*sa, QStringLiteral("alter table Steps add constraint UQ_Steps unique (ID)")), QString());
    // Not the owner: no definitions.
    createLogin(QStringLiteral("t"), QStringLiteral("rita"), QStringLiteral("Rita#1"));
    createUser(QStringLiteral("t"), QStringLiteral("sales"), QStringLiteral("rita"), QStringLiteral("rita"));
    auto rita = connect(QStringLiteral("sales"), QStringLiteral("rita"), QStringLiteral("Rita#1"));
    EXPECT_EQ(refusal(*rita, QStringLiteral("create view Mine as select 1 a")),
        QStringLiteral("CREATE VIEW permission denied in database 'sales'."));
    EXPECT_FALSE(refusal(*rita, QStringLiteral("alter table Steps add Extra int")).isEmpty());
    EXPECT_EQ(refusal(*rita, QStringLiteral("alter table Steps drop constraint UQ_Steps")),
        QStringLiteral("Cannot alter the table 'Steps', because it does not exist or you do not have permission."));
    EXPECT_FALSE(refusal(*rita, QStringLiteral("create schema Hers")).isEmpty());
    EXPECT_FALSE(refusal(*rita, QStringLiteral("create index IX_Steps on Steps (ID)")).isEmpty());
}

TEST_F(Objects, IdentityColumnsCountFromTheirSeedByTheirIncrement)
{
    // Each step runs as the owner; the select after it gives the value shown.
    const struct {
        const char* sql;
        const char* check;
        QVariant value;
    } steps[] = {
        // SCOPE_IDENTITY's example: identity(100, 5) gives 100, 105 and 110
        {"create table TY (Y_id int identity(100, 5) primary key, Y_name varchar(20) null) "
         "insert TY (Y_name) values ('boathouse'), ('rocks'), ('elevator')",
            "select string_agg(Y_id, ',') within group (order by Y_name) from TY", QStringLiteral("100,110,105")},
        // a batch is a scope: no insert in this one yet
        {"select 1", "select scope_identity()", QVariant()},
        {"select 1", "select @@identity", 110},
        {"select 1", "select ident_current('dbo.TY')", 110},
        {"select 1", "select ident_seed('TY') * 10 + ident_incr('[dbo].[TY]')", 1005},
        // select … into: a column read as it is from the identity inherits it, counting on from the
        // values copied; one that is part of an expression does not
        {"select * into Copied from TY insert Copied (Y_name) values ('quay')", "select max(Y_id) from Copied", 115},
        {"select Y_id + 0 as Y_id, Y_name into Computed from TY insert Computed (Y_name) values ('quay')",
            "select count(*) from Computed where Y_id is null", 1},
        // each value is the last one plus the increment, also going down; many rows of a select
        // take theirs in the select's order
        {"create table Down (ID int identity(-1, -10), N int) insert Down (N) select 1 union all select 2 "
         "insert Down (N) values (3)",
            "select string_agg(ID, ',') within group (order by N) from Down", QStringLiteral("-1,-11,-21")},
        {"select 1", "select ident_current('Down')", -21},
        // never a row, and after truncate table: the seed; the next row takes it again
        {"truncate table Down", "select ident_current('Down')", -1},
        {"insert Down (N) values (4)", "select max(ID) from Down", -1},
        {"create table Fresh (ID int identity(7, 3), N int)", "select ident_current('Fresh')", 7},
        // a written value beyond the last one moves the count on; a value before it does not
        {"set identity_insert Fresh on insert Fresh (ID, N) values (50, 1) set identity_insert Fresh off "
         "insert Fresh (N) values (2)",
            "select max(ID) from Fresh", 53},
        {"set identity_insert dbo.Fresh on insert Fresh (ID, N) values (8, 3) set identity_insert dbo.Fresh off "
         "insert Fresh (N) values (4)",
            "select ID from Fresh where N = 4", 56},
        {"create table #Work (ID int identity(10, 10), N int) insert #Work (N) values (1), (2)",
            "select ident_current('tempdb..#Work')", 20},
        {"select 1", "declare @t table (ID int identity(10, 5), N int) insert @t (N) values (1), (2) select max(ID) from @t",
            15},
        // a constraint added makes the table anew; its identity counts on
        {"alter table Fresh add constraint UQ_Fresh_N unique (N) insert Fresh (N) values (5)",
            "select ID from Fresh where N = 5", 59},
        // merge inserts as insert does
        {"merge Fresh as t using (values (6)) as s (N) on t.N = s.N when not matched then insert (N) values (s.N);",
            "select ID from Fresh where N = 6", 62},
        // a row the count moves keeps its fixed-width padding
        {"create table Padded (id int identity(1, 5), code char(4)) insert Padded (code) values ('a'), ('b')",
            "select string_agg('[' + code + ']', ',') within group (order by id) from Padded",
            QStringLiteral("[a   ],[b   ]")},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(refusal(*owner, QString::fromUtf8(s.sql)), QString()) << s.sql;
        EXPECT_EQ(scalar(*owner, QString::fromUtf8(s.check)), s.value) << s.sql << " / " << s.check;
    }
    // scope_identity() keeps to its batch or procedure; @@identity is the session's last value.
    EXPECT_EQ(refusal(*owner, QStringLiteral("create procedure AddDock as insert TY (Y_name) values ('dock')")), QString());
    EXPECT_EQ(scalar(*owner, QStringLiteral("insert Down (N) values (5) exec AddDock select scope_identity()")), -11);
    EXPECT_EQ(scalar(*owner, QStringLiteral("select @@identity")), 115);
    EXPECT_EQ(scalar(*owner, QStringLiteral("select scope_identity()")), QVariant());
    // SET IDENTITY_INSERT's example: the gap a delete left filled with identity_insert on
    sa->execute(QStringLiteral("create table dbo.Tool (ID int identity not null primary key, Name varchar(40) not null) "
                               "insert into dbo.Tool (Name) values ('Screwdriver'), ('Hammer'), ('Saw'), ('Shovel') "
                               "delete dbo.Tool where Name = 'Saw'"));
    const struct {
        const char* sql;
        const char* error;
    } rules[] = {
        {"insert into dbo.Tool (ID, Name) values (3, 'Garden shovel')",
            "Cannot insert explicit value for identity column in table 'Tool' when IDENTITY_INSERT is set to OFF."},
        {"set identity_insert dbo.Tool on insert into dbo.Tool (ID, Name) values (3, 'Garden shovel')", ""},
        {"insert into dbo.Tool (Name) values ('Rake')",
            "Explicit value must be specified for identity column in table 'Tool' either when IDENTITY_INSERT is set "
            "to ON or when a replication user is inserting into a NOT FOR REPLICATION identity column."},
        {"insert into dbo.Tool values (9, 'Rake')",
            "An explicit value for the identity column in table 'Tool' can only be specified when a column list is "
            "used and IDENTITY_INSERT is ON."},
        {"set identity_insert TY on",
            "IDENTITY_INSERT is already ON for table 'sales.dbo.Tool'. Cannot perform SET operation for table 'TY'."},
        {"create table Plain (N int) set identity_insert Plain on",
            "Table 'Plain' does not have the identity property. Cannot perform SET operation."},
        {"create table Steps (ID int identity(1, 0))", "Identity column 'ID' contains invalid INCREMENT."},
        {"create table Steps (ID int identity(1.5, 1))", "Identity column 'ID' contains invalid SEED."},
        // the rows there would be left without values
        {"alter table Plain add Counted int identity",
            "The embedded server does not add an identity column to a table that exists: make the table anew with it "
            "('create table' with the column, then 'insert … select')."},
    };
    for (const auto& r : rules) EXPECT_EQ(refusal(*sa, QString::fromUtf8(r.sql)), QString::fromUtf8(r.error)) << r.sql;
    EXPECT_EQ(scalar(*sa, QStringLiteral("select string_agg(Name, ',') within group (order by ID) from Tool")),
        QStringLiteral("Screwdriver,Hammer,Garden shovel,Shovel"));
    // Another user of the database writes rows; the server counts them.
    createLogin(QStringLiteral("t"), QStringLiteral("rita"), QStringLiteral("Rita#1"));
    createUser(QStringLiteral("t"), QStringLiteral("sales"), QStringLiteral("rita"), QStringLiteral("rita"));
    auto rita = connect(QStringLiteral("sales"), QStringLiteral("rita"), QStringLiteral("Rita#1"));
    EXPECT_EQ(refusal(*rita, QStringLiteral("insert TY (Y_name) values ('dock')")), QString());
    EXPECT_EQ(scalar(*rita, QStringLiteral("select max(Y_id) from TY")), 120);
}

TEST_F(Objects, QueryFormsGiveTheDocumentedRows)
{
    // The quarterly sales quotas of the STDEV example: 91000, 140000, 70000, 154000, whose running
    // standard deviations are null, 34648.23, 35921.21 and 39752.36.
    const QString quotas = QStringLiteral("(values (1, 91000.0), (2, 140000.0), (3, 70000.0), (4, 154000.0)) as q (Quarter, Quota)");
    db::RecordsetPtr rs = sa->execute(
        QStringLiteral("select Quarter, StdDeviation = stdev(Quota) over (order by Quarter) from %1 order by Quarter").arg(quotas));
    QStringList running;
    for (; !rs->isEOF(); rs->MoveNext())
        running << (rs->value(1).isNull() ? QStringLiteral("null") : QString::number(rs->value(1).toDouble(), 'f', 2));
    EXPECT_EQ(running, QStringList({QStringLiteral("null"), QStringLiteral("34648.23"), QStringLiteral("35921.21"),
                           QStringLiteral("39752.36")}));
    EXPECT_EQ(rs->field(1).name, QStringLiteral("StdDeviation"));
    const struct {
        QString sql;
        double value;
    } cases[] = {
        // STDEVP divides by n, VAR and VARP are the squares
        {QStringLiteral("select round(stdevp(Quota), 2) from %1").arg(quotas), 34426.55},
        {QStringLiteral("select var(Quota) from %1").arg(quotas), 1580250000.0},
        {QStringLiteral("select varp(Quota) from %1").arg(quotas), 1185187500.0},
        {QStringLiteral("select count(*) from (select stdev(Quota) s from %1 where Quarter = 1) x where s is null").arg(quotas), 1},
        // OFFSET … FETCH skips and takes in the order given
        {QStringLiteral("select sum(Quarter) from (select Quarter from %1 order by Quota offset 1 rows fetch next 2 rows only) x")
                .arg(quotas),
            3},
        {QStringLiteral("select sum(Quarter) from (select Quarter from %1 order by Quarter offset 3 rows) x").arg(quotas), 4},
        {QStringLiteral("select $12.50 * 2"), 25.0},
        // TOP (5) PERCENT of 290 rows: the fraction rounds up to 15 rows
        {QStringLiteral("with n (i) as (select 1 union all select i + 1 from n where i < 290) "
                        "select count(*) from (select top (5) percent i from n order by i desc) x "
                        "option (maxrecursion 290)"),
            15},
        {QStringLiteral("with n (i) as (select 1 union all select i + 1 from n where i < 290) "
                        "select min(i) from (select top (5) percent i from n order by i desc) x "
                        "option (maxrecursion 290)"),
            276},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(scalar(*sa, c.sql).toDouble(), c.value) << c.sql.toStdString();
}

TEST_F(Objects, UseMovesTheSessionWhereItsLoginHasAUser)
{
    EXPECT_EQ(scalar(*sa, QStringLiteral("use catalogue; select db_name()")).toString(), QStringLiteral("catalogue"));
    // the session stays there for its next batches, and moves back
    EXPECT_EQ(scalar(*sa, QStringLiteral("select db_name()")).toString(), QStringLiteral("catalogue"));
    EXPECT_EQ(scalar(*sa, QStringLiteral("USE [sales]\nselect db_name()")).toString(), QStringLiteral("sales"));
    EXPECT_EQ(scalar(*owner, QStringLiteral("use sales select user_name()")).toString(), QStringLiteral("olive"));
    const struct {
        db::Connection* c;
        const char* sql;
        const char* error;
    } refused[] = {
        {sa.get(), "use nosuch; select 1", "Database 'nosuch' does not exist. Make sure that the name is entered correctly."},
        {owner.get(), "use catalogue; select 1",
            "The server principal \"olive\" is not able to access the database \"catalogue\" under the current "
            "security context."},
    };
    for (const auto& r : refused) EXPECT_EQ(refusal(*r.c, QString::fromUtf8(r.sql)), QString::fromUtf8(r.error)) << r.sql;
    // a refused USE leaves the session where it was
    EXPECT_EQ(scalar(*owner, QStringLiteral("select db_name()")).toString(), QStringLiteral("sales"));
    // DB_ID: the current database's number without a name, NULL for none; DB_NAME its name back.
    // Each database keeps its number, whoever asks.
    const QVariant sales = scalar(*owner, QStringLiteral("select db_id()"));
    EXPECT_GT(sales.toInt(), 0);
    EXPECT_EQ(scalar(*sa, QStringLiteral("select db_id('SALES')")), sales);
    EXPECT_EQ(scalar(*sa, QStringLiteral("select db_name(db_id('sales'))")).toString(), QStringLiteral("sales"));
    EXPECT_NE(scalar(*sa, QStringLiteral("select db_id('catalogue')")), sales);
    EXPECT_TRUE(scalar(*sa, QStringLiteral("select db_id('nosuch')")).isNull());
    EXPECT_TRUE(scalar(*sa, QStringLiteral("select db_name(-1)")).isNull());
}

TEST_F(Objects, ConstraintsChangeOnATableThatKeepsItsRows)
{
    owner->execute(QStringLiteral(
        "CREATE TABLE dbo.doc_exz ( column_a INT, column_b INT); INSERT INTO dbo.doc_exz (column_a) VALUES (7); "
        "CREATE TABLE dbo.doc_exd ( column_a INT); INSERT INTO dbo.doc_exd VALUES (-1); "
        "create table Parent (ID int constraint PK_Parent primary key, Name varchar(10)); "
        "insert Parent values (1, 'one'), (2, 'two'); "
        "create table Child (ID int identity(1, 1), ParentID int, Made datetime, Qty int); "
        "create index IX_Child_Made on Child (Made); "
        "insert Child (ParentID, Made, Qty) values (1, '20260102', 5), (3, '20260103', 0), (2, '20260104', 1), "
        "(1, '20260107', 5); "
        "delete Child where ID = 3"));
    const struct {
        const char* sql;
        const char* error;   // empty: it runs
    } steps[] = {
        {"ALTER TABLE dbo.doc_exz ADD CONSTRAINT col_b_def DEFAULT 50 FOR column_b", ""},
        {"ALTER TABLE dbo.doc_exz ADD CONSTRAINT col_b_def2 DEFAULT 60 FOR column_b",
            "Column already has a DEFAULT bound to it."},
        {"INSERT INTO dbo.doc_exz (column_a) VALUES (10)", ""},
        // the rows there are not checked WITH NOCHECK, new rows are
        {"ALTER TABLE dbo.doc_exd WITH NOCHECK ADD CONSTRAINT exd_check CHECK (column_a > 1)", ""},
        {"ALTER TABLE dbo.doc_exd ADD CONSTRAINT exd_check2 CHECK (column_a > 0)",
            "The ALTER TABLE statement conflicted with the CHECK constraint \"exd_check2\". The conflict occurred in "
            "database \"sales\", table \"dbo.doc_exd\"."},
        {"ALTER TABLE Child ADD CONSTRAINT FK_Child_Parent FOREIGN KEY (ParentID) REFERENCES Parent (ID)",
            "The ALTER TABLE statement conflicted with the FOREIGN KEY constraint \"FK_Child_Parent\". The conflict "
            "occurred in database \"sales\", table \"dbo.Parent\", column 'ID'."},
        {"UPDATE Child SET ParentID = 2 WHERE ParentID = 3", ""},
        {"ALTER TABLE Child WITH CHECK ADD CONSTRAINT FK_Child_Parent FOREIGN KEY (ParentID) REFERENCES Parent (ID)", ""},
        {"ALTER TABLE Child CHECK CONSTRAINT FK_Child_Parent", ""},
        {"INSERT Child (ParentID, Made, Qty) VALUES (9, '20260105', 1)",
            "The INSERT statement conflicted with the FOREIGN KEY constraint \"FK_Child_Parent\". The conflict occurred "
            "in database \"sales\", table \"dbo.Parent\", column 'ID'."},
        {"ALTER TABLE Child ADD CONSTRAINT UQ_Child_Parent UNIQUE (ParentID)",
            "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name "
            "'dbo.Child' and the index name 'UQ_Child_Parent'. The duplicate key value is (1)."},
        {"ALTER TABLE Child ADD CONSTRAINT UQ_Child_Made UNIQUE (Made)", ""},
        {"ALTER TABLE Child ADD CONSTRAINT PK_Child PRIMARY KEY (ID)", ""},
        {"ALTER TABLE Parent ADD CONSTRAINT PK_Parent2 PRIMARY KEY (Name)",
            "Table 'Parent' already has a primary key defined on it."},
        {"ALTER TABLE Child DROP CONSTRAINT FK_Child_Parent", ""},
        {"ALTER TABLE Child DROP CONSTRAINT FK_Child_Parent", "'FK_Child_Parent' is not a constraint."},
        {"INSERT Child (ParentID, Made, Qty) VALUES (9, '2026-01-06T10:00:00', 1)", ""},
    };
    for (const auto& s : steps)
        EXPECT_EQ(refusal(*owner, QString::fromUtf8(s.sql)), QString::fromUtf8(s.error)) << s.sql;
    const struct {
        const char* sql;
        const char* expected;
    } rows[] = {
        {"SELECT column_a, column_b FROM dbo.doc_exz ORDER BY column_a", "7;NULL|10;50|"},
        // the identity counts on past the deleted row, the date column keeps converting what is written
        {"SELECT ID, ParentID, Made FROM Child ORDER BY ID",
            "1;1;2026-01-02|2;2;2026-01-03|4;1;2026-01-07|5;9;2026-01-06 10:00:00|"},
    };
    for (const auto& r : rows) {
        db::RecordsetPtr rs = owner->execute(QString::fromUtf8(r.sql));
        EXPECT_EQ(rs->GetString(QStringLiteral(";"), QStringLiteral("|"), QStringLiteral("NULL")), QString::fromUtf8(r.expected))
            << r.sql;
    }
    EXPECT_EQ(refusal(*owner, QStringLiteral("INSERT dbo.doc_exd VALUES (0)")).left(63),
        QStringLiteral("The INSERT statement conflicted with the CHECK constraint \"exd_"));
    // the index stays with its table
    EXPECT_EQ(refusal(*owner, QStringLiteral("DROP INDEX IX_Child_Made ON Child")), QString());
}

namespace {

// The number and text of the first error that running sql raises, its result sets read through;
// empty when it runs.
QString numberedRefusal(db::Connection& c, const QString& sql)
{
    try {
        db::RecordsetPtr rs = c.execute(sql);
        while (rs && rs->NextRecordset()) {
        }
    } catch (const orra::Error&) {
        if (c.errors().isEmpty()) return QStringLiteral("(no error text)");
        return QString::number(c.errors().first().nativeError) + u' ' + c.errors().first().description;
    }
    return QString();
}

}   // namespace

namespace {

// Each result set of sql: its column names, then its rows (";" between values, "|" after each
// row, NULL as NULL), the sets separated by " / ".
QString resultSets(db::Connection& c, const QString& sql)
{
    QStringList sets;
    db::RecordsetPtr rs = c.execute(sql);
    do {
        if (!rs->isOpen()) continue;
        QStringList names;
        for (int i = 0; i < rs->fieldCount(); ++i) names << rs->field(i).name;
        sets << names.join(u',') + u':' + rs->GetString(QStringLiteral(";"), QStringLiteral("|"), QStringLiteral("NULL"));
    } while (rs->NextRecordset());
    return sets.join(QStringLiteral(" / "));
}

}   // namespace

// A statement of a batch runs as the objects are when it runs, after the statements before it
// have made, altered or dropped them (SQL Server compiles it again).
TEST_F(Objects, StatementsAfterADefinitionSeeWhatItMade)
{
    owner->execute(QStringLiteral("create procedure Reshape as create table #R (A int) insert #R values (1) "
                                  "alter table #R add D date update #R set D = '20200102' select * from #R"));
    const struct {
        const char* batch;
        const char* sets;
    } cases[] = {
        {"create table W1 (A int) insert W1 values (1) select * from W1 alter table W1 add B int select * from W1",
            "A:1| / A,B:1;NULL|"},
        // a value written to a column added in the batch converts to its type
        {"create table W2 (A int) alter table W2 add D date insert W2 values (1, '20200102') select * from W2",
            "A,D:1;2020-01-02|"},
        {"create table #W3 (A int) insert #W3 values (1) select * from #W3 drop table #W3 "
         "create table #W3 (D date, N money) insert #W3 values ('20200102', 1.23456) select * from #W3",
            "A:1| / D,N:2020-01-02;1.2346|"},
        // in a loop, each turn as the table is then
        {"create table W4 (A int) declare @i int = 0 while @i < 2 begin set @i += 1 if @i = 2 alter table W4 add D "
         "date insert W4 (A) values (@i) select * from W4 end",
            "A:1| / A,D:1;NULL|2;NULL|"},
        {"create table #W5 (A int) drop table #W5 create table #W5 (ID int identity(5, 5), A int) "
         "insert #W5 (A) values (1) select * from #W5",
            "ID,A:5;1|"},
        {"exec Reshape", "A,D:1;2020-01-02|"},
    };
    for (const auto& k : cases) {
        try {
            EXPECT_EQ(resultSets(*owner, QString::fromUtf8(k.batch)), QString::fromUtf8(k.sets)) << k.batch;
        } catch (const orra::Error& e) {
            ADD_FAILURE() << k.batch << ": " << e.description().toStdString();
        }
    }
}

TEST_F(Objects, NoUpdateSetsAnIdentityColumn)
{
    owner->execute(QStringLiteral("create table Tally (ID int identity(10, 5) primary key, N int) "
                                  "insert Tally (N) values (1), (2) "
                                  "create table Counted (ID int identity, N int) insert Counted (N) values (1)"));
    const QString refused = QStringLiteral("8102 Cannot update identity column 'ID'.");
    const struct {
        const char* sql;
        bool refused;
    } cases[] = {
        {"update Tally set ID = 5 where N = 1", true},
        {"update Counted set ID = ID", true},
        {"update Tally set ID = 1 where 1 = 0", true},   // whatever rows it reaches
        {"update t set t.ID = 7, N = 3 from Tally t join Counted c on c.N = t.N", true},
        {"merge Tally as t using (values (1)) as s (N) on t.N = s.N when matched then update set ID = 3;", true},
        {"declare @t table (ID int identity, N int) insert @t (N) values (1) update @t set ID = 2", true},
        {"create table #Work (ID int identity(1, 1), N int) insert #Work (N) values (1) update #Work set ID = 2", true},
        {"update Tally set N = N + 10", false},
        {"merge Tally as t using (values (11)) as s (N) on t.N = s.N when matched then update set N = 21;", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numberedRefusal(*owner, QString::fromUtf8(c.sql)), c.refused ? refused : QString()) << c.sql;
    EXPECT_EQ(scalar(*owner, QStringLiteral("select string_agg(concat(ID, ':', N), ',') within group (order by ID) from Tally")),
        QStringLiteral("10:21,15:12"));
}

TEST_F(Objects, UniqueKeysHoldOneNull)
{
    owner->execute(QStringLiteral(
        "create table Keyed (Code varchar(10) constraint UQ_Keyed_Code unique, A int, B int) "
        "create unique index UX_Keyed_AB on Keyed (A, B) "
        "insert Keyed (Code, A, B) values (null, 1, null) "
        "create table Optional (X int) create unique index UX_Optional on Optional (X) where X is not null "
        "create table Loose (A int, B int) insert Loose values (1, null), (1, null), (null, 2)"));
    const struct {
        const char* sql;
        const char* error;   // number and text; empty: it runs
    } steps[] = {
        // a second NULL repeats the key of a unique constraint, of a unique index
        {"insert Keyed (Code, A, B) values (null, 2, null)",
            "2627 Violation of UNIQUE KEY constraint 'UQ_Keyed_Code'. Cannot insert duplicate key in object "
            "'dbo.Keyed'. The duplicate key value is (<NULL>)."},
        {"insert Keyed (Code, A, B) values ('x', 1, null)",
            "2601 Cannot insert duplicate key row in object 'dbo.Keyed' with unique index 'UX_Keyed_AB'. The duplicate "
            "key value is (1, <NULL>)."},
        {"insert Keyed (Code, A, B) values ('y', null, null)", ""},
        {"insert Keyed (Code, A, B) values ('z', null, null)",
            "2601 Cannot insert duplicate key row in object 'dbo.Keyed' with unique index 'UX_Keyed_AB'. The duplicate "
            "key value is (<NULL>, <NULL>)."},
        {"update Keyed set Code = null where Code = 'y'",
            "2627 Violation of UNIQUE KEY constraint 'UQ_Keyed_Code'. Cannot insert duplicate key in object "
            "'dbo.Keyed'. The duplicate key value is (<NULL>)."},
        {"insert Keyed (Code, A, B) values ('z', 1, 2)", ""},
        // a filtered index leaves out the rows its filter does not take
        {"insert Optional values (null), (null), (1)", ""},
        {"insert Optional values (1)", "2601 Cannot insert duplicate key row in object 'dbo.Optional' with unique index "
                                      "'UX_Optional'. The duplicate key value is (1)."},
        // rows that repeat a key holding NULL take no unique key, and keep taking rows
        {"create unique index UX_Loose on Loose (A, B)",
            "1505 The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name "
            "'dbo.Loose' and the index name 'UX_Loose'. The duplicate key value is (1, <NULL>)."},
        {"alter table Loose add constraint UQ_Loose unique (A, B)",
            "1505 The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name "
            "'dbo.Loose' and the index name 'UQ_Loose'. The duplicate key value is (1, <NULL>)."},
        {"insert Loose values (1, null)", ""},
        {"delete Loose where A = 1 alter table Loose add constraint UQ_Loose unique (A, B)", ""},
        {"insert Loose values (null, 2)",
            "2627 Violation of UNIQUE KEY constraint 'UQ_Loose'. Cannot insert duplicate key in object 'dbo.Loose'. "
            "The duplicate key value is (<NULL>, 2)."},
        {"alter table Loose drop constraint UQ_Loose insert Loose values (null, 2)", ""},
        {"create table #Once (X int constraint UQ_Once unique) insert #Once values (null) insert #Once values (null)",
            "2627 Violation of UNIQUE KEY constraint 'UQ_Once'. Cannot insert duplicate key in object '#Once'. The "
            "duplicate key value is (<NULL>)."},
    };
    for (const auto& s : steps)
        EXPECT_EQ(numberedRefusal(*owner, QString::fromUtf8(s.sql)), QString::fromUtf8(s.error)) << s.sql;
    // a table variable's key too (its constraint has a name of the server's making)
    EXPECT_TRUE(numberedRefusal(*owner, QStringLiteral("declare @t table (X int unique) insert @t values (null) "
                                                       "insert @t values (null)"))
                    .startsWith(QStringLiteral("2627 Violation of UNIQUE KEY constraint ")));
}

// A database file from a build whose unique keys let NULLs repeat takes the rule when opened, and
// keeps the rows that repeat a NULL key already.
TEST_F(Objects, AnOlderDatabaseTakesTheNullRuleWhenOpened)
{
    owner->execute(QStringLiteral("create table Legacy (Code varchar(10) constraint UQ_Legacy unique) "
                                  "create table Repeated (N int) create unique index UX_Repeated on Repeated (N)"));
    sa.reset();
    owner.reset();
    {
        // as the older build left it: no companion indexes, NULL keys repeated, no format mark
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((m_dir.path() + QStringLiteral("/t/sales.db")).toUtf8().constData(), &db), SQLITE_OK);
        std::vector<std::string> companions;
        sqlite3_exec(db, "select name from sqlite_master where type = 'index' and name like 'orra_nulls$%'",
            [](void* out, int, char** values, char**) {
                static_cast<std::vector<std::string>*>(out)->push_back(values[0]);
                return 0;
            },
            &companions, nullptr);
        EXPECT_EQ(companions.size(), 2u);
        for (const std::string& name : companions)
            EXPECT_EQ(sqlite3_exec(db, ("drop index \"" + name + "\"").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "insert into Repeated values (null), (null); pragma user_version = 0", nullptr,
                      nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);
    }
    owner = connect(QStringLiteral("sales"), kOlive, kOlivePassword);
    const struct {
        const char* sql;
        const char* error;   // number and text; empty: it runs
    } steps[] = {
        {"insert Legacy values (null)", ""},
        {"insert Legacy values (null)",
            "2627 Violation of UNIQUE KEY constraint 'UQ_Legacy'. Cannot insert duplicate key in object 'dbo.Legacy'. "
            "The duplicate key value is (<NULL>)."},
        // the rows there stay; the key cannot hold them to the rule
        {"insert Repeated values (null)", ""},
    };
    for (const auto& s : steps)
        EXPECT_EQ(numberedRefusal(*owner, QString::fromUtf8(s.sql)), QString::fromUtf8(s.error)) << s.sql;
    EXPECT_EQ(scalar(*owner, QStringLiteral("select count(*) from Repeated")).toInt(), 3);
}

TEST_F(Objects, PrimaryKeysHoldNoNull)
{
    const struct {
        const char* sql;
        const char* error;   // number and text; empty: it runs
    } steps[] = {
        // a key's column whose nullability is not written is NOT NULL
        {"create table K1 (A int, B int, primary key (A, B)) insert K1 values (1, null)",
            "515 Cannot insert the value NULL into column 'B', table 'sales.dbo.K1'; column does not allow nulls. "
            "INSERT fails."},
        {"create table K2 (A varchar(5) constraint PK_K2 primary key nonclustered) insert K2 values (null)",
            "515 Cannot insert the value NULL into column 'A', table 'sales.dbo.K2'; column does not allow nulls. "
            "INSERT fails."},
        {"create table K3 (A int null, B int) alter table K3 add constraint PK_K3 primary key (A)",
            "8111 Cannot define PRIMARY KEY constraint on nullable column in table 'K3'."},
        {"create table K4 (A int not null, B int) alter table K4 add constraint PK_K4 primary key (A) "
         "insert K4 values (1, 1) insert K4 values (1, 2)",
            "2627 Violation of PRIMARY KEY constraint 'PK_K4'. Cannot insert duplicate key in object 'dbo.K4'. The "
            "duplicate key value is (1)."},
        // a primary key beside an identity column
        {"create table K5 (ID int identity, Code varchar(5) constraint PK_K5 primary key) "
         "insert K5 (Code) values ('a') insert K5 (Code) values ('a')",
            "2627 Violation of PRIMARY KEY constraint 'PK_K5'. Cannot insert duplicate key in object 'dbo.K5'. The "
            "duplicate key value is (a)."},
        {"insert K5 (Code) values (null)",
            "515 Cannot insert the value NULL into column 'Code', table 'sales.dbo.K5'; column does not allow nulls. "
            "INSERT fails."},
        {"create table K6 (ID int identity(10, 10), A int, B int, primary key (A, B)) insert K6 (A, B) values (1, 2), (1, 3)",
            ""},
        // added to a table with an identity column, on it and beside it: the rows stay, the count goes on
        {"create table K7 (ID int identity(1, 1) not null, O int not null) insert K7 (O) values (1), (2) "
         "alter table K7 add constraint PK_K7 primary key (ID, O) insert K7 (O) values (1)",
            ""},
        {"alter table K7 add constraint PK_K7b primary key (ID)",
            "1779 Table 'K7' already has a primary key defined on it."},
        {"alter table K7 drop constraint PK_K7", ""},
        {"alter table K7 add constraint PK_K7 primary key (ID) insert K7 (O) values (4)", ""},
        {"set identity_insert K7 on insert K7 (ID, O) values (4, 9)",
            "2627 Violation of PRIMARY KEY constraint 'PK_K7'. Cannot insert duplicate key in object 'dbo.K7'. The "
            "duplicate key value is (4)."},
        // the key's values as CAST writes them as text (money with two decimals, datetime in style 0)
        {"create table K9 (M money not null, D datetime not null, constraint PK_K9 primary key (M, D)) "
         "insert K9 values ($1, '20150101') insert K9 values (1.0, '2015-01-01T00:00:00')",
            "2627 Violation of PRIMARY KEY constraint 'PK_K9'. Cannot insert duplicate key in object 'dbo.K9'. The "
            "duplicate key value is (1.00, Jan  1 2015 12:00AM)."},
        {"create table K10 (M money, D datetime) insert K10 values ($1, '20150101'), (1, '20150101') "
         "create unique index UX_K10 on K10 (M, D)",
            "1505 The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name "
            "'dbo.K10' and the index name 'UX_K10'. The duplicate key value is (1.00, Jan  1 2015 12:00AM)."},
        {"set identity_insert K7 off create table K8 (A int not null, B int not null) "
         "alter table K8 add constraint PK_K8 primary key (A) alter table K8 add constraint PK_K8b primary key (A, B)",
            "1779 Table 'K8' already has a primary key defined on it."},
        // declared on the identity column itself, or by a table constraint of it: the table's key,
        // named as declared, which can be dropped (the count goes on)
        {"create table K11 (ID int identity primary key, A int not null) alter table K11 add primary key (A)",
            "1779 Table 'K11' already has a primary key defined on it."},
        {"create table K12 (ID int identity, A int not null, constraint PK_K12 primary key (ID)) "
         "alter table K12 add constraint PK_K12b primary key (A)",
            "1779 Table 'K12' already has a primary key defined on it."},
        {"set identity_insert K12 on insert K12 (ID, A) values (7, 1), (7, 2)",
            "2627 Violation of PRIMARY KEY constraint 'PK_K12'. Cannot insert duplicate key in object 'dbo.K12'. The "
            "duplicate key value is (7)."},
        {"set identity_insert K12 off create table K13 (ID int identity constraint PK_K13 primary key, A int not null) "
         "insert K13 (A) values (1) alter table K13 drop constraint PK_K13 insert K13 (A) values (2) "
         "alter table K13 add constraint PK_K13b primary key (A)",
            ""},
        {"alter table K13 drop constraint PK_K13", "3728 'PK_K13' is not a constraint."},
    };
    for (const auto& s : steps)
        EXPECT_EQ(numberedRefusal(*owner, QString::fromUtf8(s.sql)), QString::fromUtf8(s.error)) << s.sql;
    EXPECT_EQ(scalar(*owner, QStringLiteral("select string_agg(ID, ',') within group (order by B) from K6")),
        QStringLiteral("10,20"));
    EXPECT_EQ(scalar(*owner, QStringLiteral("select string_agg(concat(ID, ':', O), ',') within group (order by ID) from K7")),
        QStringLiteral("1:1,2:2,3:1,4:4"));
    EXPECT_EQ(scalar(*owner, QStringLiteral("select string_agg(concat(ID, ':', A), ',') within group (order by ID) from K13")),
        QStringLiteral("1:1,2:2"));
}
