// User-defined functions on the embedded server: scalar functions called in expressions with
// their arguments and result converted as CAST converts, inline table-valued functions in from
// clauses, kept in the database and made by its owners, in a database "sales".
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

// Every row of the last result set, a row as its values joined by '|', rows by ','.
QString lastRows(db::Connection& c, const QString& sql)
{
    db::RecordsetPtr rs = c.execute(sql);
    QString last;
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
        last = rows.join(u',');
    } while (rs->NextRecordset());
    return last;
}

class Functions : public EmbeddedTest {
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

    void expectRows(db::Connection& c, const std::vector<Case>& cases)
    {
        for (const Case& k : cases) {
            try {
                EXPECT_EQ(lastRows(c, QString::fromUtf8(k.batch)), k.expected.toString()) << k.batch;
            } catch (const orra::Error& e) {
                ADD_FAILURE() << k.batch << ": " << e.description().toStdString();
            }
        }
    }

    void expectFailures(db::Connection& c, const std::vector<Failure>& cases)
    {
        for (const Failure& k : cases) {
            try {
                lastRows(c, QString::fromUtf8(k.batch));
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

TEST_F(Functions, ScalarFunctionsRunTheirBodyAndConvertAsCast)
{
    // The ISO week of the documentation's example: declare, set, if, a recursive call, return.
    sa->execute(QStringLiteral(
        "CREATE FUNCTION dbo.ISOweek (@DATE datetime)\nRETURNS int\nWITH EXECUTE AS CALLER\nAS\nBEGIN\n"
        "    DECLARE @ISOweek int;\n"
        "    SET @ISOweek= DATEPART(wk,@DATE)+1\n"
        "        -DATEPART(wk,CAST(DATEPART(yy,@DATE) as CHAR(4))+'0104');\n"
        "--Special cases: Jan 1-3 may belong to the previous year\n"
        "    IF (@ISOweek=0)\n"
        "        SET @ISOweek=dbo.ISOweek(CAST(DATEPART(yy,@DATE)-1\n"
        "            AS CHAR(4))+'12'+ CAST(24+DATEPART(DAY,@DATE) AS CHAR(2)))+1;\n"
        "--Special case: Dec 29-31 may belong to the next year\n"
        "    IF ((DATEPART(mm,@DATE)=12) AND\n"
        "        ((DATEPART(dd,@DATE)-DATEPART(dw,@DATE))>= 28))\n"
        "    SET @ISOweek=1;\n"
        "    RETURN(@ISOweek);\nEND;"));
    // Arguments and results convert as CAST does: int truncates, numeric and money round.
    sa->execute(QStringLiteral("create function dbo.AsInt(@v int) returns int as begin return @v end"));
    sa->execute(QStringLiteral("create function dbo.AsNumeric(@v float) returns numeric as begin return @v end"));
    sa->execute(QStringLiteral("create function Money4() returns money as begin return 10.3496847 end"));
    sa->execute(QStringLiteral("create function dbo.PriceOf(@id int, @discount money = 0) returns money as begin "
                               "declare @p money = (select ListPrice from Product where ID = @id); "
                               "return @p - @discount end"));
    expectRows(*sa, {
        {"SET DATEFIRST 1; SELECT dbo.ISOweek(CONVERT(DATETIME,'12/26/2004',101)) AS 'ISO Week'", QStringLiteral("52")},
        {"select dbo.AsInt(10.6496), dbo.AsInt(-10.6496), dbo.AsNumeric(10.6496), dbo.AsNumeric(-10.6496)",
            QStringLiteral("10|-10|11|-11")},
        {"select cast(dbo.Money4() as varchar(20))", QStringLiteral("10.35")},
        {"declare @m money; set @m = dbo.Money4(); select convert(varchar(20), @m, 2)", QStringLiteral("10.3497")},
        // In select lists, where clauses and with columns of the row as arguments.
        {"select Name from Product where dbo.PriceOf(ID, default) > 560 order by ID",
            QStringLiteral("Mountain-500,Touring-1000")},
        {"select ID, cast(dbo.PriceOf(ID, 4.99) as varchar(20)) from Product where Category = 'Accessories'",
            QStringLiteral("3|30.00")},
        {"select count(*) from Product where sales.dbo.PriceOf(ID, 0) = ListPrice", QStringLiteral("4")},
        {"select isnull(dbo.PriceOf(99, 0), -1)", QStringLiteral("-1")},
    });
    // A function calls itself no deeper than 32 levels.
    sa->execute(QStringLiteral(
        "create function dbo.Depth(@n int) returns int as begin if @n <= 1 return 1; return dbo.Depth(@n - 1) + 1 end"));
    expectRows(*sa, {{"select dbo.Depth(32)", QStringLiteral("32")}});
    expectFailures(*sa, {
        {"select dbo.Depth(33)", 217,
            "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32)."},
        {"select dbo.PriceOf()", 313,
            "An insufficient number of arguments were supplied for the procedure or function dbo.PriceOf."},
        {"select dbo.AsInt(1, 2)", 8144, "Procedure or function dbo.AsInt has too many arguments specified."},
        {"select dbo.AsInt('x')", 245, "Conversion failed when converting the varchar value 'x' to data type int."},
        {"select dbo.Missing(1)", 4121,
            "Cannot find either column \"dbo\" or the user-defined function or aggregate \"dbo.Missing\", or the name "
            "is ambiguous."},
        {"create function dbo.Sel() returns int as begin select 1; return 1 end", 444,
            "Select statements included within a function cannot return data to a client."},
        {"create function dbo.Del() returns int as begin delete from Product; return 1 end", 443,
            "Invalid use of a side-effecting operator 'DELETE' within a function."},
        {"create function dbo.NoReturn() returns int as begin declare @a int end", 455,
            "The last statement included within a function must be a return statement."},
        {"select 1; create function dbo.Late() returns int as begin return 1 end", 111,
            "'CREATE/ALTER FUNCTION' must be the first statement in a query batch."},
    });
}

TEST_F(Functions, InlineTableValuedFunctionsStandForTheirQuery)
{
    sa->execute(QStringLiteral("create function dbo.ProductsIn(@category varchar(20), @below money = 1000) returns table "
                               "as return (select ID, Name, ListPrice from Product where Category = @category and "
                               "ListPrice < @below)"));
    sa->execute(QStringLiteral("create function Cheapest(@n int) returns table as return select top (@n) ID from "
                               "Product order by ListPrice"));
    expectRows(*sa, {
        {"select Name from dbo.ProductsIn('Bikes', default) order by ID", QStringLiteral("Road-750,Mountain-500")},
        {"select p.Name from dbo.ProductsIn('Bikes', 3000) as p where p.ListPrice > 560 order by p.ID",
            QStringLiteral("Mountain-500,Touring-1000")},
        {"declare @c varchar(20) = 'Accessories'; select ProductsIn.Name from dbo.ProductsIn(@c, 100)",
            QStringLiteral("Helmet")},
        // joined, and called from another inline function's caller with an argument converted to int
        {"select x.ID, p.Name from Cheapest(2.9) x join Product p on p.ID = x.ID order by x.ID",
            QStringLiteral("1|Road-750,3|Helmet")},
        {"select count(*) from Product p, dbo.ProductsIn('Bikes', 600) b where b.ID = p.ID", QStringLiteral("2")},
        {"select isnull(object_id('dbo.ProductsIn', 'IF'), 0) - object_id('ProductsIn')", QStringLiteral("0")},
    });
    expectFailures(*sa, {
        {"select * from dbo.ProductsIn()", 313,
            "An insufficient number of arguments were supplied for the procedure or function dbo.ProductsIn."},
    });
}

TEST_F(Functions, OwnersDefineFunctionsThatOutliveTheirSession)
{
    auto olive = connect(kSales, QStringLiteral("olive"), QStringLiteral("Olive#1"));
    auto paul = connect(kSales, QStringLiteral("paul"), QStringLiteral("Paul#1"));
    olive->execute(QStringLiteral("create function dbo.Twice(@v int) returns int as begin return @v * 2 end"));
    olive->execute(QStringLiteral("create or alter function dbo.Twice(@v int) returns int as begin return @v * 3 end"));
    expectFailures(*paul, {
        {"create function dbo.Mine() returns int as begin return 1 end", 262,
            "CREATE FUNCTION permission denied in database 'sales'."},
        {"drop function dbo.Twice", 3701,
            "Cannot drop the function 'dbo.Twice', because it does not exist or you do not have permission."},
        {"create function dbo.Twice(@v int) returns int as begin return 1 end", 262,
            "CREATE FUNCTION permission denied in database 'sales'."},
    });
    olive.reset();
    expectRows(*connect(kSales, QStringLiteral("paul"), QStringLiteral("Paul#1")), {
        {"select dbo.Twice(5)", QStringLiteral("15")},
        {"select count(*) where object_id('dbo.Twice', 'FN') > 0 and object_id('Twice', 'P') is null",
            QStringLiteral("1")},
    });
    const QString id = lastRows(*sa, QStringLiteral("select object_id('Twice')"));
    sa->execute(QStringLiteral("alter function dbo.Twice(@v int) returns int as begin return @v + @v end"));
    expectRows(*sa, {
        {"select object_id('Twice')", id},
        {"select dbo.Twice(5)", QStringLiteral("10")},
        {"drop function if exists dbo.Twice, dbo.None; select isnull(object_id('Twice'), 0)", QStringLiteral("0")},
    });
    expectFailures(*sa, {
        {"create function dbo.Product() returns int as begin return 1 end", 2714,
            "There is already an object named 'Product' in the database."},
        {"alter function Gone() returns int as begin return 1 end", 208, "Invalid object name 'Gone'."},
        {"create function dbo.Multi() returns @t table (a int) as begin insert @t values (1) return end", 102,
            "The embedded server does not run multi-statement table-valued functions (RETURNS @table TABLE); write "
            "an inline table-valued function (RETURNS TABLE AS RETURN select …)."},
    });
}
