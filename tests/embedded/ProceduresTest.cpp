// Stored procedures on the embedded server: made, altered and dropped by the database's
// owners, kept in the database, called with positional and named arguments, defaults, OUTPUT
// parameters and return statuses, their result sets reaching the caller, insert … exec, and
// SQL Server's errors for what a call gets wrong, in a database "sales".
#include "EmbeddedFixture.h"

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

namespace {

const QString kSales = QStringLiteral("sales");

struct Case {
    const char* batch;
    QVariant expected;
};

struct Failure {
    const char* batch;
    long number;
    const char* message;
};

// The first value of the last result set that has rows.
QVariant lastValue(db::Connection& c, const QString& sql)
{
    db::RecordsetPtr rs = c.execute(sql);
    QVariant value;
    do {
        if (rs->isOpen() && !rs->isEOF()) value = rs->value(0);
    } while (rs->NextRecordset());
    return value;
}

// Every row of every result set, a row as its values joined by '|', result sets apart by '/'.
QString allRows(db::Connection& c, const QString& sql)
{
    db::RecordsetPtr rs = c.execute(sql);
    QStringList sets;
    do {
        if (!rs->isOpen()) continue;
        QStringList rows;
        while (!rs->isEOF()) {
            QStringList values;
            for (int i = 0; i < rs->fieldCount(); ++i)
                values << (rs->value(i).isNull() ? QStringLiteral("NULL") : rs->value(i).toString().trimmed());
            rows << values.join(u'|');
            rs->MoveNext();
        }
        sets << rows.join(u',');
    } while (rs->NextRecordset());
    return sets.join(u'/');
}

class Procedures : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        const QString t = QStringLiteral("t");
        createDatabase(t, kSales);
        createLogin(t, QStringLiteral("olive"), QStringLiteral("Olive#1"));
        createUser(t, kSales, QStringLiteral("olive"), QStringLiteral("olive"));
        createLogin(t, QStringLiteral("paul"), QStringLiteral("Paul#1"));
        createUser(t, kSales, QStringLiteral("paul"), QStringLiteral("paul"));
        sa = connect(kSales);
        sa->execute(QStringLiteral("exec sp_addrolemember 'db_owner', 'olive'"));
        sa->execute(QStringLiteral(
            "create table Product (ID int primary key, Name varchar(40), ListPrice money, Category varchar(20)) "
            "insert into Product values (1, 'Road-750', 539.99, 'Bikes'), (2, 'Mountain-500', 564.99, 'Bikes'), "
            "(3, 'Helmet', 34.99, 'Accessories'), (4, 'Touring-1000', 2384.07, 'Bikes')"));
    }

    void expectValues(db::Connection& c, const std::vector<Case>& cases)
    {
        for (const Case& k : cases) {
            try {
                EXPECT_EQ(lastValue(c, QString::fromUtf8(k.batch)), k.expected) << k.batch;
            } catch (const orra::Error& e) {
                ADD_FAILURE() << k.batch << ": " << e.description().toStdString();
            }
        }
    }

    void expectFailures(db::Connection& c, const std::vector<Failure>& cases)
    {
        for (const Failure& k : cases) {
            try {
                lastValue(c, QString::fromUtf8(k.batch));
                ADD_FAILURE() << k.batch << " ran";
            } catch (const orra::Error& e) {
                EXPECT_EQ(e.number(), -k.number) << k.batch;
                EXPECT_EQ(c.errors().isEmpty() ? e.description() : c.errors().first().description,
                    QString::fromUtf8(k.message))
                    << k.batch;
            }
        }
    }

    std::unique_ptr<db::Connection> sa;
};

}   // namespace

TEST_F(Procedures, CallsPassArgumentsByPositionAndByName)
{
    sa->execute(QStringLiteral("create procedure dbo.uspGetList @Product varchar(40), @MaxPrice money = 1000 as "
                               "set nocount on; select Name from Product where Category like @Product and ListPrice < "
                               "@MaxPrice order by ID"));
    const struct {
        const char* batch;
        const char* rows;
    } cases[] = {
        {"exec dbo.uspGetList 'Bikes', 560", "Road-750"},
        {"execute uspGetList @MaxPrice = 600, @Product = 'B%'", "Road-750,Mountain-500"},
        {"exec [dbo].[uspGetList] 'Bikes'", "Road-750,Mountain-500"},
        {"exec uspGetList 'Bikes', default", "Road-750,Mountain-500"},
        {"declare @p varchar(40) = '%'; exec uspGetList @p, 100", "Helmet"},
        {"uspGetList '%es'", "Road-750,Mountain-500,Helmet"},
        {"exec sales.dbo.uspGetList 'Acc%'", "Helmet"},
    };
    for (const auto& k : cases) {
        try {
            EXPECT_EQ(allRows(*sa, QString::fromUtf8(k.batch)), QString::fromUtf8(k.rows)) << k.batch;
        } catch (const orra::Error& e) {
            ADD_FAILURE() << k.batch << ": " << e.description().toStdString();
        }
    }
}

TEST_F(Procedures, OutputParametersAndStatusesComeBackIntoTheCallersVariables)
{
    // Example F's shape: two OUTPUT parameters (OUTPUT and OUT), set in the body.
    sa->execute(QStringLiteral(
        "create procedure uspGetList @Product varchar(40), @MaxPrice money, @ComparePrice money output, "
        "@ListPrice money out as set nocount on; select Name from Product where Category like @Product and "
        "ListPrice < @MaxPrice; set @ListPrice = (select max(ListPrice) from Product where Category like @Product "
        "and ListPrice < @MaxPrice); set @ComparePrice = @MaxPrice;"));
    sa->execute(QStringLiteral("create proc dbo.uspCount (@Category varchar(20) = null) as "
                               "if @Category is null return -1 "
                               "declare @n int = (select count(*) from Product where Category = @Category) "
                               "if @n = 0 return 0 return @n"));
    sa->execute(QStringLiteral("create procedure uspNothing as select 1 where 1 = 0"));
    sa->execute(QStringLiteral("create procedure uspNull as return null"));
    expectValues(*sa, {
        {"declare @ComparePrice money, @Cost money; execute uspGetList '%Bikes%', 700, @ComparePrice OUT, @Cost "
         "OUTPUT; select cast(@Cost as varchar(20)) + ' ' + cast(@ComparePrice as varchar(20))",
            QStringLiteral("564.99 700.00")},
        // Without OUTPUT in the call the variable keeps its value.
        {"declare @c money = 1, @l money = 2; exec uspGetList 'Bikes', 700, @c, @l; select cast(@c + @l as int)", 3},
        // Named OUTPUT arguments, in any order; the value comes back converted to the variable's type.
        {"declare @text varchar(10); exec uspGetList @ListPrice = @text output, @ComparePrice = null, @MaxPrice = 600, "
         "@Product = 'Bikes'; select @text",
            QStringLiteral("564.99")},
        {"declare @rc int; exec @rc = uspCount 'Bikes'; select @rc", 3},
        {"declare @rc int; exec @rc = dbo.uspCount @Category = 'Toys'; select @rc", 0},
        {"declare @rc int; exec @rc = uspCount; select @rc", -1},
        // A body that ends without return gives status 0; so does a registered procedure.
        {"declare @rc int = 9; exec @rc = uspNothing; select @rc", 0},
        {"declare @rc varchar(5); exec @rc = uspNull; select @rc", QStringLiteral("0")},
        // The procedure's variables are its own.
        {"declare @n int = 42; exec uspCount 'Bikes'; select @n", 42},
    });
    expectValues(*connect(), {{"declare @rc int = 9; exec @rc = sp_Orra_GetDocumentsAndCategories default; select @rc", 0}});
}

TEST_F(Procedures, CallsThatDoNotFitTheDefinitionFailAsTheServerSays)
{
    sa->execute(QStringLiteral("create procedure uspTwo @a int, @b int = 2, @c int = null output as select @a + @b"));
    expectFailures(*sa, {
        {"exec uspTwo", 201, "Procedure or function 'uspTwo' expects parameter '@a', which was not supplied."},
        {"exec uspTwo @b = 1", 201, "Procedure or function 'uspTwo' expects parameter '@a', which was not supplied."},
        {"exec uspTwo 1, 2, 3, 4", 8144, "Procedure or function uspTwo has too many arguments specified."},
        {"exec uspTwo @a = 1, @d = 2", 8145, "@d is not a parameter for procedure uspTwo."},
        {"declare @v int; exec uspTwo 1, @v output", 8162,
            "The formal parameter \"@b\" was not declared as an OUTPUT parameter, but the actual parameter passed in "
            "requested output."},
        {"exec uspTwo @a = 1, 2", 119,
            "Must pass parameter number 2 and subsequent parameters as '@name = value'. After the form '@name = value' "
            "has been used, all subsequent parameters must be passed in the form '@name = value'."},
        {"exec uspTwo 1, 2, 3 output", 179,
            "Cannot use the OUTPUT option when passing a constant to a stored procedure."},
        {"exec uspMissing", 2812, "Could not find stored procedure 'uspMissing'."},
        {"exec Sales.uspTwo 1", 2812, "Could not find stored procedure 'Sales.uspTwo'."},
        {"exec uspTwo @x", 137, "Must declare the scalar variable \"@x\"."},
        {"select 1 create procedure uspLate as select 1", 111,
            "'CREATE/ALTER PROCEDURE' must be the first statement in a query batch."},
        {"select 1 create view vLate as select 1 a", 111, "'CREATE VIEW' must be the first statement in a query batch."},
        {"if 1 = 1 create or alter view vLate as select 1 a", 111,
            "'CREATE VIEW' must be the first statement in a query batch."},
        {"declare @n int alter view vLate as select 1 a", 111,
            "'ALTER VIEW' must be the first statement in a query batch."},
        {"select 1 create trigger trLate on Product after insert as select 1", 111,
            "'CREATE TRIGGER' must be the first statement in a query batch."},
        {"create procedure uspTwo as select 1", 2714, "There is already an object named 'uspTwo' in the database."},
        {"create procedure Product as select 1", 2714, "There is already an object named 'Product' in the database."},
        {"create procedure sp_UserLock as select 1", 2714,
            "There is already an object named 'sp_UserLock' in the database."},
        {"create table uspTwo (a int)", 2714, "There is already an object named 'uspTwo' in the database."},
        {"create view dbo.uspTwo as select 1 a", 2714, "There is already an object named 'uspTwo' in the database."},
        {"alter procedure uspNone as select 1", 208, "Invalid object name 'uspNone'."},
        {"drop procedure uspNone", 3701,
            "Cannot drop the procedure 'uspNone', because it does not exist or you do not have permission."},
        {"return 1", 178, "A RETURN statement with a return value cannot be used in this context."},
        {"exec ('select 1')", 102, "The embedded server does not run dynamic SQL ('exec (…)')."},
        {"exec sp_executesql N'select 1'", 102, "The embedded server does not run dynamic SQL ('sp_executesql')."},
        {"create procedure other.dbo.uspX as select 1", 166,
            "'CREATE/ALTER PROCEDURE' does not allow specifying the database name as a prefix to the object name."},
    });
    // The failed calls changed nothing: the procedure still runs.
    expectValues(*sa, {{"exec uspTwo 1", 3}});
}

TEST_F(Procedures, ResultSetsAndMessagesReachTheCallerInOrder)
{
    // Example B's shape: two result sets; a nested call's between its caller's.
    sa->execute(QStringLiteral("create procedure dbo.uspMultipleResults as "
                               "select top(2) ID, Name from Product order by ID; "
                               "select Category from Product where ID = 3;"));
    sa->execute(QStringLiteral("create procedure uspOuter as print 'outer'; select @@NESTLEVEL; "
                               "exec uspMultipleResults; exec uspInner; select 'last'"));
    sa->execute(QStringLiteral("create procedure uspInner as select @@NESTLEVEL"));
    EXPECT_EQ(allRows(*sa, QStringLiteral("exec uspMultipleResults")),
        QStringLiteral("1|Road-750,2|Mountain-500/Accessories"));
    EXPECT_EQ(allRows(*sa, QStringLiteral("select @@NESTLEVEL exec uspOuter select @@NESTLEVEL")),
        QStringLiteral("0/1/1|Road-750,2|Mountain-500/Accessories/2/last/0"));
    sa->execute(QStringLiteral("exec uspOuter"));
    ASSERT_FALSE(sa->errors().isEmpty());
    EXPECT_EQ(sa->errors().first().description, QStringLiteral("outer"));
    // Rows counted inside the body are counted for the client too, unless the body sets
    // nocount; a SET option the body changes lasts until it ends.
    sa->execute(QStringLiteral("create table Log (Line int)"));
    sa->execute(QStringLiteral("create procedure uspQuiet as set nocount on; insert into Log values (1)"));
    sa->execute(QStringLiteral("create procedure uspLoud as insert into Log values (2), (3)"));
    db::RecordsetPtr rs = sa->execute(QStringLiteral("exec uspQuiet; exec uspLoud; insert into Log values (4)"));
    std::vector<long> counts;
    do {
        if (!rs->isOpen()) counts.push_back(rs->recordsAffected());
    } while (rs->NextRecordset());
    EXPECT_EQ(counts, (std::vector<long>{2, 1}));
    sa->execute(QStringLiteral("create procedure uspFirst as set rowcount 1; select ID from Product order by ID"));
    EXPECT_EQ(allRows(*sa, QStringLiteral("exec uspFirst; select ID from Product order by ID")),
        QStringLiteral("1/1,2,3,4"));
}

TEST_F(Procedures, NestingStopsAtThirtyTwoLevels)
{
    sa->execute(QStringLiteral("create procedure uspDown @n int as if @n > 0 begin declare @m int = @n - 1; "
                               "exec uspDown @m end else select @@NESTLEVEL"));
    expectValues(*sa, {{"exec uspDown 31", 32}});
    expectFailures(*sa, {
        {"exec uspDown 32", 217, "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32)."},
    });
    // The failure leaves the session as it was.
    expectValues(*sa, {{"select @@NESTLEVEL", 0}, {"exec uspDown 2", 3}});
}

TEST_F(Procedures, ErrorsInsideAProcedureFollowTheCallersHandling)
{
    sa->execute(QStringLiteral("create procedure uspDivide @a int, @b int as\n"
                               "select @a / @b\n"
                               "select 'after'"));
    sa->execute(QStringLiteral("create procedure uspThrow as\nbegin\n  throw 50001, 'from the body', 1;\nend"));
    // A statement's error ends the statement; the body goes on.
    db::RecordsetPtr rs = sa->execute(QStringLiteral("select 'before' exec uspDivide 1, 0"));
    EXPECT_EQ(rs->value(0), QStringLiteral("before"));
    try {
        rs->NextRecordset();
        ADD_FAILURE() << "no error";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), -8134);
    }
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0), QStringLiteral("after"));
    expectValues(*sa, {
        {"begin try exec uspDivide 1, 0 end try begin catch select error_procedure() + ':' + "
         "cast(error_line() as varchar) + ':' + cast(error_number() as varchar) end catch",
            QStringLiteral("uspDivide:2:8134")},
        {"begin try exec uspThrow end try begin catch select error_procedure() + ' ' + error_message() end catch",
            QStringLiteral("uspThrow from the body")},
        {"begin try select 1/0 end try begin catch select isnull(error_procedure(), 'batch') end catch",
            QStringLiteral("batch")},
    });
    // A procedure that leaves @@TRANCOUNT other than it found it: error 266 after its call,
    // and the caller goes on.
    sa->execute(QStringLiteral("create procedure uspOpens as begin tran"));
    sa->execute(QStringLiteral("create procedure uspRollsBack as rollback"));
    expectFailures(*sa, {
        {"begin tran exec uspRollsBack", 266,
            "Transaction count after EXECUTE indicates a mismatching number of BEGIN and COMMIT statements. Previous "
            "count = 1, current count = 0."},
        {"exec uspOpens", 266,
            "Transaction count after EXECUTE indicates a mismatching number of BEGIN and COMMIT statements. Previous "
            "count = 0, current count = 1."},
    });
    sa->execute(QStringLiteral("rollback"));
    expectValues(*sa, {
        {"begin try exec uspOpens end try begin catch select cast(error_number() as varchar(5)) + '/' + "
         "cast(@@trancount as varchar(5)) end catch rollback",
            QStringLiteral("266/1")},
    });
    db::RecordsetPtr after = sa->execute(QStringLiteral("select 1 begin tran exec uspRollsBack select @@error"));
    EXPECT_THROW(after->NextRecordset(), orra::Error);
    ASSERT_TRUE(after->NextRecordset());
    EXPECT_EQ(after->value(0), 266);
}

TEST_F(Procedures, InsertExecPutsTheProceduresRowsIntoATable)
{
    sa->execute(QStringLiteral("create procedure dbo.usp_Report @from int, @to int as "
                               "select ID, Name, ListPrice from Product where ID between @from and @to order by ID; "
                               "select 9, 'Extra', 1.5"));
    sa->execute(QStringLiteral("create procedure usp_None as select ID from Product where ID < 0"));
    sa->execute(QStringLiteral("create procedure usp_Nested as declare @t table (ID int) insert into @t exec usp_None"));
    sa->execute(QStringLiteral("create table Report (ID int, Name varchar(40), Price money)"));
    expectValues(*sa, {
        {"create table #Report (ID int, Name varchar(40), Price money) "
         "declare @p1 int = 2, @p2 int = 3 insert into #Report exec dbo.usp_Report @p1, @p2 "
         "select cast(count(*) as varchar) + ':' + cast(sum(Price) as varchar) from #Report",
            QStringLiteral("3:601.48")},
        {"declare @t table (ID int, Name varchar(40), Price money) insert @t (ID, Name, Price) execute usp_Report 1, 1 "
         "select @@ROWCOUNT * 100 + count(*) from @t",
            202},
        {"insert into Report (ID, Name, Price) exec usp_Report @from = 4, @to = 9 select sum(ID) from Report", 13},
        {"declare @t table (ID int) insert into @t exec usp_None select @@ROWCOUNT + count(*) from @t", 0},
    });
    expectFailures(*sa, {
        {"declare @t table (ID int, Name varchar(40)) insert into @t exec usp_Report 1, 2", 213,
            "Column name or number of supplied values does not match table definition."},
        {"insert into Report (ID, Name) exec usp_Report 1, 2", 213,
            "Column name or number of supplied values does not match table definition."},
        {"declare @t table (ID int) insert into @t exec usp_Nested", 8164, "An INSERT EXEC statement cannot be nested."},
    });
}

TEST_F(Procedures, OwnersDefineProceduresThatOutliveTheirSession)
{
    auto olive = connect(kSales, QStringLiteral("olive"), QStringLiteral("Olive#1"));
    auto paul = connect(kSales, QStringLiteral("paul"), QStringLiteral("Paul#1"));
    olive->execute(QStringLiteral("create procedure uspPrice @id int as select ListPrice from Product where ID = @id"));
    olive->execute(QStringLiteral("create procedure uspMake as create table Made (ID int)"));
    olive->execute(QStringLiteral("create or alter procedure uspPrice @id int as select Name from Product where ID = @id"));
    expectFailures(*paul, {
        {"create procedure uspMine as select 1", 262, "CREATE PROCEDURE permission denied in database 'sales'."},
        {"alter procedure uspPrice @id int as select 1", 262, "CREATE PROCEDURE permission denied in database 'sales'."},
        {"drop procedure uspPrice", 3701,
            "Cannot drop the procedure 'uspPrice', because it does not exist or you do not have permission."},
        // The body runs with the caller's rights.
        {"exec uspMake", 262, "CREATE TABLE permission denied in database 'sales'."},
        // The server's table of procedures is written only by these statements.
        {"delete from sysmodules", 229,
            "The DELETE permission was denied on the object 'sysmodules', database 'sales', schema 'dbo'."},
    });
    olive.reset();
    sa = connect(kSales);
    // Kept in the database: any user runs them, in a new session too.
    expectValues(*connect(kSales, QStringLiteral("paul"), QStringLiteral("Paul#1")), {
        {"exec uspPrice 3", QStringLiteral("Helmet")},
        {"select object_id('uspPrice', 'P') - object_id('dbo.uspPrice')", 0},
        {"select count(*) where object_id('sales..uspPrice', 'P') > 0 and object_id('uspPrice', 'U') is null "
         "and object_id('uspPrice', 'V') is null",
            1},
    });
    // An altered procedure keeps its object id; a dropped one is gone.
    const QVariant id = scalar(*sa, QStringLiteral("select object_id('uspPrice')"));
    sa->execute(QStringLiteral("alter procedure dbo.uspPrice @id int = 1 as select ID from Product where ID = @id"));
    expectValues(*sa, {
        {"select object_id('uspPrice')", id},
        {"exec uspPrice", 1},
        {"drop procedure if exists uspPrice, uspNone; select isnull(object_id('uspPrice'), 0)", 0},
        {"create schema Sales", QVariant()},
        {"create proc Sales.uspPrice as select 'Sales'", QVariant()},
        {"exec Sales.uspPrice", QStringLiteral("Sales")},
        {"drop proc Sales.uspPrice; select count(*) where object_id('Sales.uspPrice') is null", 1},
    });
    expectFailures(*sa, {{"exec uspPrice 1", 2812, "Could not find stored procedure 'uspPrice'."},
        {"create procedure Nowhere.uspX as select 1", 2760,
            "The specified schema name \"Nowhere\" either does not exist or you do not have permission to use it."}});
}

TEST_F(Procedures, TemporaryTablesOfTheBodyLastUntilItEnds)
{
    sa->execute(QStringLiteral("create procedure uspFill as create table #Work (ID int); insert into #Work values (1); "
                               "insert into #Report select count(*) from #Work"));
    sa->execute(QStringLiteral("create procedure uspTable as declare @t table (ID int); insert into @t values (7); "
                               "select ID from @t"));
    expectValues(*sa, {
        // The caller's temporary tables are the body's too; the body's go when it ends.
        {"create table #Report (n int) exec uspFill exec uspFill select sum(n) from #Report", 2},
        {"select isnull(object_id('tempdb..#Work'), 0)", 0},
        // A table variable of the body is its own, whatever the caller names its own.
        {"declare @t table (ID int); insert into @t values (1); exec uspTable; select count(*) from @t", 1},
    });
}
