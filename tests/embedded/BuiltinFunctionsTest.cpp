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
        {"select user_name(1, 2)", "189: The user_name function requires 0 to 1 arguments."},
        {"select ntile() over (order by (select 1))", "174: The ntile function requires 1 argument(s)."},
        {"select lag(1, 1, 0, 3) over (order by (select 1))", "189: The lag function requires 1 to 3 arguments."},
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
        {"SELECT CHOOSE ( 3, 'Manager', 'Director', 'Developer', 'Tester' ) AS Result", "Developer"},
        {"SELECT CHOOSE ( 5, 'Manager', 'Director' )", "NULL"},
        {"SELECT CHOOSE ( 2.9, 'Manager', 'Director' )", "Director"},
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
        {"create schema Sales; create table Sales.Orders (ID int); create view dbo.OrderList as select ID from "
         "Sales.Orders; select object_schema_name(object_id('Sales.Orders')) + '.' + "
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

}   // namespace orra::embedded::test
