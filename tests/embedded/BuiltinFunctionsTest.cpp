// The server's built-in functions on the embedded server: a call of a function the server
// does not have, or with the wrong number of arguments, is SQL Server's error and never
// SQLite's; the functions a report uses give the values SQL Server's documentation prints.

#include "EmbeddedFixture.h"

#include "platform/db/Recordset.h"

namespace orra::embedded::test {

namespace {

struct Case {
    const char* sql;
    const char* expected;   // "number: text" of the error, or the first value as text
};

class BuiltinFunctions : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        c = connect();
    }

    // The first value of the first result set as text, or "number: text" of the error.
    QString outcome(const QString& sql)
    {
        try {
            db::RecordsetPtr rs = c->execute(sql);
            while (rs && !rs->isOpen() && rs->NextRecordset()) {
            }
            if (!rs || !rs->isOpen() || rs->isEOF()) return QStringLiteral("(no row)");
            const QVariant v = rs->value(0);
            return v.isNull() ? QStringLiteral("NULL") : v.toString();
        } catch (const orra::Error& e) {
            return QStringLiteral("%1: %2").arg(-e.number()).arg(e.description());
        }
    }

    void expectAll(std::initializer_list<Case> cases)
    {
        for (const Case& k : cases) EXPECT_EQ(outcome(QString::fromUtf8(k.sql)), QString::fromUtf8(k.expected)) << k.sql;
    }

    std::unique_ptr<db::Connection> c;
};

}   // namespace

TEST_F(BuiltinFunctions, UnknownFunctionsAndWrongArgumentCountsAreTheServersErrors)
{
    expectAll({
        {"select no_such_function(1)", "195: 'no_such_function' is not a recognized built-in function name."},
        // SQLite's own functions are no functions of the server's
        {"select date('now')", "195: 'date' is not a recognized built-in function name."},
        {"select time('now')", "195: 'time' is not a recognized built-in function name."},
        {"select datetime('now')", "195: 'datetime' is not a recognized built-in function name."},
        {"select like('a', 'a')", "195: 'like' is not a recognized built-in function name."},
        {"select nth_value(1, 1) over (order by (select 1))",
            "195: 'nth_value' is not a recognized built-in function name."},
        // the server's functions with their own counts, under the name written
        {"select MAX(1, 2)", "174: The max function requires 1 argument(s)."},
        {"select min(1, 2, 3)", "174: The min function requires 1 argument(s)."},
        {"select count(1, 2)", "174: The count function requires 1 argument(s)."},
        {"select sum()", "174: The sum function requires 1 argument(s)."},
        {"select abs()", "174: The abs function requires 1 argument(s)."},
        {"select pi(1)", "174: The pi function requires 0 argument(s)."},
        {"select power(2)", "174: The power function requires 2 argument(s)."},
        {"select len('a', 'b')", "174: The len function requires 1 argument(s)."},
        {"select isnull(1)", "174: The isnull function requires 2 argument(s)."},
        {"select nullif(1)", "174: The nullif function requires 2 argument(s)."},
        {"select round(1.5)", "189: The round function requires 2 to 3 arguments."},
        {"select round(1.5, 0, 1, 1)", "189: The round function requires 2 to 3 arguments."},
        {"select db_name(1, 2)", "189: The db_name function requires 0 to 1 arguments."},
        // functions whose values SQL Server does not document are refused by name
        {"select checksum(N'Bearing Ball')",
            "1: The embedded server does not run CHECKSUM: SQL Server's hash values are its own, and no others would "
            "give them."},
        {"select type_name(type_id('datetime'))",
            "1: The embedded server does not run TYPE_NAME: SQL Server's numbers of its types are its own, and no "
            "others would give them."},
        {"select user_name(1, 2)", "189: The user_name function requires 0 to 1 arguments."},
        {"select ntile() over (order by (select 1))", "174: The ntile function requires 1 argument(s)."},
        {"select lag(1, 1, 0, 3) over (order by (select 1))", "189: The lag function requires 1 to 3 arguments."},
        // a conversion to a type the server does not have, or one the embedded server does not run
        {"select cast(1 as foo)", "243: Type foo is not a defined system type."},
        {"select cast('<a/>' as xml)", "1: The embedded server does not run the xml data type."},
        {"declare @v sql_variant = 1", "1: The embedded server does not run the sql_variant data type."},
        {"select cast(1 as uniqueidentifier)", "529: Explicit conversion from data type int to uniqueidentifier is not allowed."},
        {"select cast('6F9619FF-8B86-D011-B42D' as uniqueidentifier)",
            "8169: Conversion failed when converting from a character string to uniqueidentifier."},
        // counted at the top level only; type names with a length stay types
        {"select count(*) + max(power(2, 3)) + abs(round(-1.5, 0))", "11"},
        {"declare @t time(3) = '10:00'; select convert(varchar(8), cast(@t as time(0)))", "10:00:00"},
        // a table named like a function is a table
        {"create table Log (Line int); insert into Log (Line) values (1); insert Log values (2); "
         "select count(*) from Log (nolock)",
            "2"},
        {"create table #Count (a int); insert into #Count (a) select max(a) from #Count; select count(*) from #Count", "1"},
        {"create table #w (a time(3), b date); insert #w values ('10:00', '20200101'); select count(*) from #w", "1"},
    });
}

TEST_F(BuiltinFunctions, MathematicalAndLogicalFunctionsGiveTheDocumentedValues)
{
    // a view is defined by a batch of its own
    c->execute(QStringLiteral("create schema Sales; create table Sales.Orders (ID int)"));
    c->execute(QStringLiteral("create view dbo.OrderList as select ID from Sales.Orders"));
    expectAll({
        // LOG is the natural logarithm, or the one to the base given second
        {"DECLARE @var float = 10; SELECT 'The LOG of the variable is: ' + CONVERT(varchar, LOG(@var))",
            "The LOG of the variable is: 2.30259"},
        {"SELECT LOG (EXP (10))", "10"},
        {"SELECT LOG (8, 2)", "3"},
        {"SELECT LOG (0)", "3623: An invalid floating point operation occurred."},
        {"DECLARE @x FLOAT = 35.175643, @y FLOAT = 129.44; "
         "SELECT 'The ATN2 of the angle is: ' + CONVERT(VARCHAR, ATN2(@y, @x))",
            "The ATN2 of the angle is: 1.30545"},
        {"DECLARE @angle FLOAT; SET @angle = 124.1332; "
         "SELECT 'The COT of the angle is: ' + CONVERT(VARCHAR, COT(@angle))",
            "The COT of the angle is: -0.040312"},
        {"select square(2.5)", "6.25"},
        // NULLIF compares texts as = does, under the server's case-insensitive collation
        {"select coalesce(nullif('abc', 'ABC '), 'equal')", "equal"},
        {"DECLARE @notastring INT; SET @notastring = '1'; SELECT @notastring + '1'", "2"},
        {"SELECT 'The number of degrees in PI/2 radians is: ' + CONVERT(varchar, DEGREES((PI()/2)))",
            "The number of degrees in PI/2 radians is: 90"},
        {"DECLARE @angle FLOAT; SET @angle = -45.01; "
         "SELECT 'The RADIANS of the angle is: ' + CONVERT(VARCHAR, RADIANS(@angle))",
            "The RADIANS of the angle is: -0.785573"},
        {"SELECT CHOOSE ( 3, 'Manager', 'Director', 'Developer', 'Tester' ) AS Result", "Developer"},
        {"SELECT CHOOSE ( 5, 'Manager', 'Director' )", "NULL"},
        {"SELECT CHOOSE ( 2.9, 'Manager', 'Director' )", "Director"},
        {"SELECT COALESCE(NULL, NULL)",
            "4127: At least one of the arguments to COALESCE must be an expression that is not the NULL constant."},
        {"SELECT COALESCE(NULL, NULL, CAST(NULL AS int))", "NULL"},
        // the values' type of highest precedence
        {"SELECT CHOOSE ( 1, 'Manager', 2 )", "245: Conversion failed when converting the varchar value 'Manager' to data type int."},
        {"SELECT CHOOSE ( 2, 'Manager', 2.5 )", "2.5"},
        {"SELECT CAST(GREATEST ( '6.62', 3.1415, N'7' ) AS varchar(10)) AS GreatestVal", "7.0000"},
        {"SELECT GREATEST ('Glacier', N'Joshua Tree', 'Mount Rainier') AS GreatestString", "Mount Rainier"},
        {"SELECT LEAST (NULL, 3, 1)", "1"},
        {"SELECT GREATEST (NULL, NULL)", "NULL"},
        {"CREATE TABLE dbo.studies (VarX varchar(10) NOT NULL, Correlation decimal(4, 3) NULL); "
         "INSERT INTO dbo.studies VALUES ('Var1', 0.2), ('Var2', 0.825), ('Var3', 0.61); "
         "DECLARE @PredictionA DECIMAL(2,1) = 0.7; DECLARE @PredictionB DECIMAL(3,1) = 0.65; "
         "SELECT VarX FROM dbo.studies WHERE Correlation > GREATEST(@PredictionA, @PredictionB)",
            "Var2"},
        // a seed starts the sequence anew
        {"select iif(rand(100) = rand(100) and rand(7) <> rand(), 'same', 'differs')", "same"},
        {"select count_big(*) from (values (1), (2)) v(a)", "2"},
        {"select len(newid())", "36"},
        {"SELECT LTRIM('123abc.' , '123.')", "abc."},
        {"SELECT RTRIM('.123abc.' , 'abc.')", ".123"},
        {"SELECT STRING_ESCAPE('\\' + char(9) + '/' + char(10) + '\\\\' + char(9) + '\"' + char(9), 'json')",
            "\\\\\\t\\/\\n\\\\\\\\\\t\\\"\\t"},
        // the names of the objects OBJECT_ID numbers
        {"select object_schema_name(object_id('Sales.Orders')) + '.' + "
         "object_name(object_id('Sales.Orders')) + ' ' + object_schema_name(object_id('OrderList')) + '.' + "
         "object_name(object_id('dbo.OrderList'))",
            "Sales.Orders dbo.OrderList"},
        {"select isnull(object_name(123), 'none')", "none"},
        // ISJSON: a JSON object or array
        {"select isjson(N'{\"OrderID\": 43672, \"Status\": 5}')", "1"},
        {"select isjson('[1,2,3]')", "1"},
        {"select isjson('OrderID=43672')", "0"},
        {"select isjson('123')", "0"},
        {"select isjson(null)", "NULL"},
        {"select xact_state()", "0"},
        {"begin transaction; select xact_state(); rollback", "1"},
        {"select iif(system_user = suser_sname() and current_user = user_name() and session_user = user_name(), 1, 0)",
            "1"},
    });
}

// JSON_VALUE and JSON_QUERY on the documentation's text: lax mode gives NULL where strict mode
// gives the server's error.
TEST_F(BuiltinFunctions, JsonValueAndJsonQueryFollowThePathMode)
{
    const std::string info = "declare @info nvarchar(max) = N'{ \"info\":{ \"type\":1, \"address\":{ \"town\":\"Bristol\", "
                             "\"county\":\"Avon\", \"country\":\"England\" }, \"tags\":[\"Sport\", \"Water polo\"] }, "
                             "\"type\":\"Basic\" }'; ";
    const struct {
        const char* function;
        const char* path;
        const char* lax;
        const char* strict;
    } rows[] = {
        {"json_value", "$", "NULL", "13623: Scalar value cannot be found in the specified JSON path."},
        {"json_value", "$.info.type", "1", "1"},
        {"json_value", "$.info.address.town", "Bristol", "Bristol"},
        {"json_value", "$.info.\"address\"", "NULL", "13623: Scalar value cannot be found in the specified JSON path."},
        {"json_value", "$.info.tags", "NULL", "13623: Scalar value cannot be found in the specified JSON path."},
        {"json_value", "$.info.type[0]", "NULL", "13608: Property cannot be found on the specified JSON path."},
        {"json_value", "$.info.none", "NULL", "13608: Property cannot be found on the specified JSON path."},
        {"json_query", "$.info.type", "NULL", "13624: Object or array cannot be found in the specified JSON path."},
        {"json_query", "$.info.address.town", "NULL",
            "13624: Object or array cannot be found in the specified JSON path."},
        {"json_query", "$.info.\"address\"", "{\"town\":\"Bristol\",\"county\":\"Avon\",\"country\":\"England\"}",
            "{\"town\":\"Bristol\",\"county\":\"Avon\",\"country\":\"England\"}"},
        {"json_query", "$.info.tags", "[\"Sport\",\"Water polo\"]", "[\"Sport\",\"Water polo\"]"},
        {"json_query", "$.info.type[0]", "NULL", "13608: Property cannot be found on the specified JSON path."},
        {"json_query", "$.info.none", "NULL", "13608: Property cannot be found on the specified JSON path."},
    };
    for (const auto& r : rows) {
        for (const char* mode : {"", "lax ", "strict "}) {
            const std::string sql = info + "select " + r.function + "(@info, '" + mode + r.path + "')";
            EXPECT_EQ(outcome(QString::fromStdString(sql)), QString::fromUtf8(*mode == 's' ? r.strict : r.lax)) << sql;
        }
    }
    const QString whole = outcome(QString::fromStdString(info + "select json_query(@info)"));
    EXPECT_TRUE(whole.startsWith(QStringLiteral("{ \"info\":{ \"type\":1,"))) << whole.toStdString();
    expectAll({
        {"DECLARE @jsonInfo NVARCHAR(MAX); DECLARE @town NVARCHAR(32); "
         "SET @jsonInfo=N'{\"info\":{\"address\":[{\"town\":\"Paris\"},{\"town\":\"London\"}]}}'; "
         "SET @town=JSON_VALUE(@jsonInfo,'$.info.address[1].town'); select @town",
            "London"},
        {"select json_value(N'{\"people\":[{\"name\":\"John\",\"surname\":\"Doe\"},{\"name\":\"Jane\",\"surname\":null,"
         "\"active\":true}]}', '$.people[0].name') + json_value(N'{\"people\":[{\"name\":\"Jane\",\"active\":true}]}', "
         "'$.people[0].active')",
            "Johntrue"},
        {"select json_value(N'{\"people\":[{\"name\":\"Jane\",\"surname\":null}]}', 'strict $.people[0].surname')", "NULL"},
        // numbers as the text writes them; the first of duplicate keys
        {"select json_value('{\"price\":12.50}', '$.price')", "12.50"},
        {"select json_value(N'{\"person\":{\"info\":{\"name\":\"John\", \"name\":\"Jack\"}}}', '$.person.info.name')", "John"},
        {"select json_value('{\"first name\":\"Ann\"}', '$.\"first name\"')", "Ann"},
        // a value over 4000 characters: NULL in lax mode, an error in strict mode
        {"select len(json_value('{\"a\":\"' + replicate(cast('x' as varchar(max)), 4000) + '\"}', '$.a'))", "4000"},
        {"select json_value('{\"a\":\"' + replicate(cast('x' as varchar(max)), 4001) + '\"}', '$.a')", "NULL"},
        {"select json_value('{\"a\":\"' + replicate(cast('x' as varchar(max)), 4001) + '\"}', 'strict $.a')",
            "13625: String value in the specified JSON path would be truncated."},
        // text that is no JSON and a path that is none are errors in either mode
        {"select json_value('not json', 'lax $.a')",
            "13609: JSON text is not properly formatted. Unexpected character 'n' is found at position 0."},
        {"select json_query('{\"a\":[1,}', '$.a')",
            "13609: JSON text is not properly formatted. Unexpected character '}' is found at position 8."},
        {"select json_value('{\"a\":1}', 'a')",
            "13607: JSON path is not properly formatted. Unexpected character 'a' is found at position 0."},
        {"select json_value(null, '$.a')", "NULL"},
        {"select json_value('{}')", "174: The json_value function requires 2 argument(s)."},
        {"select json_query()", "189: The json_query function requires 1 to 2 arguments."},
    });
    db::RecordsetPtr rs = c->execute(QStringLiteral("select json_value('{\"a\":1}', '$.a')"));
    EXPECT_EQ(rs->field(0).type, db::DataType::VarWChar);
    EXPECT_EQ(rs->field(0).definedSize, 4000);
}

// PERCENTILE_CONT interpolates, PERCENTILE_DISC gives a value of the set: the documentation's
// medians per department (money rates), float and the key's type as results.
TEST_F(BuiltinFunctions, PercentilesGiveTheDocumentedMedians)
{
    c->execute(QStringLiteral(
        "create table #Pay (DepartmentName nvarchar(50), Rate money); insert #Pay values "
        "('Document Control', 16.8269), ('Document Control', 16.8269), ('Engineering', 32.6923), "
        "('Engineering', 36.0577), ('Executive', 48.5577), ('Executive', 60.0962), "
        "('Human Resources', 16.5865), ('Human Resources', 18.2692), ('Human Resources', null), "
        "('Shipping and Receiving', 9.00), ('Shipping and Receiving', 9.50)"));
    db::RecordsetPtr rs = c->execute(QStringLiteral(
        "SELECT DISTINCT DepartmentName, PERCENTILE_CONT(0.5) WITHIN GROUP (ORDER BY Rate) OVER (PARTITION BY "
        "DepartmentName) AS MedianCont, PERCENTILE_DISC(0.5) WITHIN GROUP (ORDER BY Rate) OVER (PARTITION BY "
        "DepartmentName) AS MedianDisc FROM #Pay ORDER BY DepartmentName"));
    EXPECT_EQ(rs->field(1).type, db::DataType::Double);
    EXPECT_EQ(rs->field(2).type, db::DataType::Currency);
    const char* expected[][3] = {
        {"Document Control", "16.8269", "16.8269"},
        {"Engineering", "34.375", "32.6923"},
        {"Executive", "54.32695", "48.5577"},
        {"Human Resources", "17.42785", "16.5865"},
        {"Shipping and Receiving", "9.25", "9"},
    };
    for (const auto& row : expected) {
        ASSERT_FALSE(rs->isEOF()) << row[0];
        EXPECT_EQ(rs->value(0).toString(), QString::fromUtf8(row[0]));
        EXPECT_DOUBLE_EQ(rs->value(1).toDouble(), QString::fromUtf8(row[1]).toDouble()) << row[0];
        EXPECT_EQ(rs->value(2).toDouble(), QString::fromUtf8(row[2]).toDouble()) << row[0];
        rs->MoveNext();
    }
    EXPECT_TRUE(rs->isEOF());
    expectAll({
        // the smallest value whose cumulative distribution reaches p, in the order named
        {"select top 1 percentile_disc(0.25) within group (order by x desc) over () from (values (1),(2),(3),(4)) v(x)",
            "4"},
        {"select top 1 percentile_disc(0.26) within group (order by x) over () from (values (1),(2),(3),(4)) v(x)", "2"},
        {"select top 1 percentile_disc(0) within group (order by x) over () from (values (3),(1),(2)) v(x)", "1"},
        {"select top 1 percentile_cont(1) within group (order by x) over () from (values (3),(1),(2)) v(x)", "3"},
        {"select top 1 percentile_cont(0.25) within group (order by x) over () from (values (10),(20),(30)) v(x)", "15"},
        {"select top 1 percentile_cont(0.5) within group (order by x) over () from (values (cast(null as int))) v(x)",
            "NULL"},
        {"select percentile_cont(0.5) within group (order by x) from (values (1)) v(x)",
            "10753: The function 'percentile_cont' must have an OVER clause."},
        {"select percentile_disc(0.5) over () from (values (1)) v(x)",
            "10754: The function 'percentile_disc' must have a WITHIN GROUP clause."},
        // "The value must range between 0.0 and 1.0."
        {"select top 1 percentile_cont(1.5) within group (order by x) over () from (values (1)) v(x)",
            "1: The percentile value must be between 0.0 and 1.0."},
        {"select top 1 percentile_disc(-0.1) within group (order by x) over () from (values (1)) v(x)",
            "1: The percentile value must be between 0.0 and 1.0."},
    });
}

// DATETRUNC keeps the date's type and the documented errors; SWITCHOFFSET and TODATETIMEOFFSET
// move a value between offsets.
TEST_F(BuiltinFunctions, DateTruncAndOffsetsGiveTheDocumentedValues)
{
    const char* parts[][2] = {
        {"year", "2021-01-01 00:00:00.0000000"},
        {"quarter", "2021-10-01 00:00:00.0000000"},
        {"month", "2021-12-01 00:00:00.0000000"},
        {"week", "2021-12-05 00:00:00.0000000"},
        {"iso_week", "2021-12-06 00:00:00.0000000"},
        {"dayofyear", "2021-12-08 00:00:00.0000000"},
        {"day", "2021-12-08 00:00:00.0000000"},
        {"hour", "2021-12-08 11:00:00.0000000"},
        {"minute", "2021-12-08 11:30:00.0000000"},
        {"second", "2021-12-08 11:30:15.0000000"},
        {"millisecond", "2021-12-08 11:30:15.1230000"},
        {"microsecond", "2021-12-08 11:30:15.1234560"},
    };
    for (const auto& p : parts)
        EXPECT_EQ(outcome(QStringLiteral("DECLARE @d datetime2 = '2021-12-08 11:30:15.1234567'; "
                                         "SELECT convert(varchar(30), DATETRUNC(%1, @d), 121)")
                              .arg(QLatin1String(p[0]))),
            QString::fromUtf8(p[1]))
            << p[0];
    expectAll({
        {"DECLARE @d datetime2 = '2021-11-11 11:11:11.1234567'; SET DATEFIRST 6; "
         "SELECT convert(varchar(30), DATETRUNC(week, @d), 121)",
            "2021-11-06 00:00:00.0000000"},
        {"DECLARE @d datetime2 = '2021-11-11 11:11:11.1234567'; SET DATEFIRST 3; "
         "SELECT convert(varchar(30), DATETRUNC(week, @d), 121)",
            "2021-11-10 00:00:00.0000000"},
        // literals are datetime2(7)
        {"SELECT convert(varchar(30), DATETRUNC(month, '1998-03-04'), 121)", "1998-03-01 00:00:00.0000000"},
        {"SELECT convert(varchar(30), DATETRUNC(millisecond, '1998-03-04 10:10:05.1234567'), 121)",
            "1998-03-04 10:10:05.1230000"},
        {"DECLARE @d2 nvarchar(max) = '1998-03-04 10:10:05'; SELECT convert(varchar(30), DATETRUNC(minute, @d2), 121)",
            "1998-03-04 10:10:00.0000000"},
        // a part at the type's own precision changes nothing
        {"DECLARE @d datetime = '2020-02-02 02:02:02.002'; SELECT convert(varchar(30), DATETRUNC(millisecond, @d), 121)",
            "2020-02-02 02:02:02.003"},
        {"DECLARE @d smalldatetime = '2009-09-11 12:42:12'; SELECT convert(varchar(30), DATETRUNC(second, @d), 120)",
            "2009-09-11 12:42:00"},
        {"DECLARE @d date = '2050-04-04'; SELECT convert(varchar(10), DATETRUNC(day, @d), 121)", "2050-04-04"},
        {"DECLARE @d date= '0001-01-01 00:00:00'; SELECT DATETRUNC(week, @d)",
            "9837: An invalid date value was encountered: The date value is less than the minimum date value allowed "
            "for the data type."},
        {"DECLARE @d time = '12:12:12.1234567'; SELECT DATETRUNC(year, @d)",
            "9810: The datepart year is not supported by date function datetrunc for data type time."},
        {"DECLARE @d datetime2(3) = '2021-12-12 12:12:12.12345'; SELECT DATETRUNC(microsecond, @d)",
            "9810: The datepart microsecond is not supported by date function datetrunc for data type datetime2."},
        {"SELECT DATETRUNC(weekday, getdate())",
            "9810: The datepart weekday is not supported by date function datetrunc for data type datetime."},
        {"SELECT DATETRUNC(day)", "174: The datetrunc function requires 2 argument(s)."},
        // the date functions' own failures keep their numbers
        {"SELECT DATEFROMPARTS(2025, 2, 29)",
            "289: Cannot construct data type date, some of the arguments have values which are not valid."},
        {"SELECT DATEADD(year, 9000, cast('2000-01-01' as date))",
            "517: Adding a value to a 'date' column caused an overflow."},
        {"SELECT EOMONTH('9999-12-31', 1)", "517: Adding a value to a 'date' column caused an overflow."},
        {"SELECT DATEADD(tzoffset, 1, getdate())", "9806: The datepart tzoffset is not supported by date function dateadd."},
        {"SELECT DATETIME2FROMPARTS(2015, 1, 1, 0, 0, 0, 0, NULL)",
            "10760: Scale argument is not valid. Valid expressions for data type datetime2 scale argument are integer "
            "constants and integer constant expressions."},
        {"SELECT CONVERT(varchar(30), getdate(), 99)",
            "281: 99 is not a valid style number when converting from datetime to a character string."},
        // the date functions' own argument counts
        {"SELECT EOMONTH()", "189: The eomonth function requires 1 to 2 arguments."},
        {"SELECT DATEPART(day)", "174: The datepart function requires 2 argument(s)."},
        {"SELECT YEAR(1, 2)", "174: The year function requires 1 argument(s)."},
        // offsets
        {"CREATE TABLE #test (ColDatetimeoffset datetimeoffset); INSERT INTO #test VALUES ('1998-09-20 7:45:50.71345 "
         "-5:00'); SELECT convert(varchar(40), SWITCHOFFSET (ColDatetimeoffset, '-08:00'), 121) FROM #test",
            "1998-09-20 04:45:50.7134500 -08:00"},
        {"SELECT convert(varchar(40), TODATETIMEOFFSET(cast('2019-04-22 11:39:21.6986813' as datetime2), -120), 121)",
            "2019-04-22 11:39:21.6986813 -02:00"},
        {"SELECT convert(varchar(40), TODATETIMEOFFSET(cast('2019-04-22 11:39:29.0339301' as datetime2), '+13:00'), 121)",
            "2019-04-22 11:39:29.0339301 +13:00"},
        {"SELECT SWITCHOFFSET(sysdatetimeoffset(), '+14:01')",
            "9812: The timezone provided to builtin function switchoffset is invalid."},
        {"SELECT TODATETIMEOFFSET(cast('9999-12-31 23:00' as datetime2), '-14:00')",
            "9813: The timezone provided to builtin function todatetimeoffset would cause the datetimeoffset to overflow "
            "the range of valid date range in either UTC or local time."},
    });
}

// The metadata functions over the objects OBJECT_ID numbers: COL_LENGTH in bytes (-1 for max),
// COL_NAME by position, SCHEMA_ID and SCHEMA_NAME of dbo and of a schema made.
TEST_F(BuiltinFunctions, MetadataFunctionsNameTheDatabasesObjects)
{
    expectAll({
        {"CREATE TABLE t1(c1 varchar(40), c2 nvarchar(40), c3 varchar(max)); "
         "SELECT cast(COL_LENGTH('t1','c1') as varchar) + ' ' + cast(COL_LENGTH('t1','c2') as varchar) + ' ' + "
         "cast(COL_LENGTH('dbo.t1','c3') as varchar)",
            "40 80 -1"},
        {"SELECT isnull(COL_LENGTH('t1', 'none'), 0) + isnull(COL_LENGTH('none', 'c1'), 0)", "0"},
        {"SELECT COL_NAME(OBJECT_ID('dbo.t1'), 2)", "c2"},
        {"SELECT isnull(COL_NAME(OBJECT_ID('dbo.t1'), 4), 'none')", "none"},
        {"create table #w (a int, b nchar(5)); select cast(col_length('#w', 'b') as varchar) + col_name(object_id('tempdb..#w'), 1)",
            "10a"},
        {"SELECT SCHEMA_NAME()", "dbo"},
        {"SELECT SCHEMA_NAME(SCHEMA_ID('dbo'))", "dbo"},
        {"create schema Sales; select schema_name(schema_id('Sales'))", "Sales"},
        {"select isnull(schema_id('none'), 0) + isnull(len(schema_name(-1)), 0)", "0"},
        {"SELECT COL_LENGTH('t1')", "174: The col_length function requires 2 argument(s)."},
        {"SELECT SCHEMA_NAME(1, 2)", "189: The schema_name function requires 0 to 1 arguments."},
    });
}

}   // namespace orra::embedded::test
