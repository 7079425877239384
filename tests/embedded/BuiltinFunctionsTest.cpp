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
        {"create table #w (a time(3), b date); insert #w values ('10:00', '20200101'); select count(*) from #w", "1"},
    });
}

}   // namespace orra::embedded::test
