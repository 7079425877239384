// Dates and times on the embedded server as SQL Server's documentation gives them: the text
// forms a conversion reads, the rounding and range of each type, the styles of CONVERT, the
// date functions, the session's date settings, and what a date column stores.

#include "EmbeddedFixture.h"

#include "platform/db/Recordset.h"

namespace orra::embedded::test {

namespace {

// The first value of the batch's first rows as text, or "error: " and the error's text.
QString answer(db::Connection& c, const QString& sql)
{
    try {
        db::RecordsetPtr rs = c.execute(sql);
        while (rs && !rs->isOpen()) {
            if (!rs->NextRecordset()) return QStringLiteral("(no rows)");
        }
        if (!rs || rs->isEOF()) return QStringLiteral("(no rows)");
        const QVariant v = rs->value(0);
        return v.isNull() ? QStringLiteral("NULL") : v.toString();
    } catch (const orra::Error& e) {
        return QStringLiteral("error: ") + e.description();
    }
}

struct Case {
    const char* sql;
    const char* expected;
};

void expectAnswers(db::Connection& c, std::initializer_list<Case> cases)
{
    for (const Case& k : cases)
        EXPECT_EQ(answer(c, QString::fromUtf8(k.sql)), QString::fromUtf8(k.expected)) << k.sql;
}

const char kSyntax[] = "error: Conversion failed when converting date and/or time from character string.";
const char kOutOfRange[] =
    "error: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";

}   // namespace

// Each value is read back in style 121, the canonical text the server keeps.
TEST_F(EmbeddedTest, DateLiteralsConvertAsTheServerReadsThem)
{
    auto c = connect();
    expectAnswers(*c,
        {
            // the rounding of datetime
            {"select convert(varchar(30), cast('01/01/98 23:59:59.999' as datetime), 121)", "1998-01-02 00:00:00.000"},
            {"select convert(varchar(30), cast('01/01/98 23:59:59.995' as datetime), 121)", "1998-01-01 23:59:59.997"},
            {"select convert(varchar(30), cast('01/01/98 23:59:59.998' as datetime), 121)", "1998-01-01 23:59:59.997"},
            {"select convert(varchar(30), cast('01/01/98 23:59:59.992' as datetime), 121)", "1998-01-01 23:59:59.993"},
            {"select convert(varchar(30), cast('01/01/98 23:59:59.994' as datetime), 121)", "1998-01-01 23:59:59.993"},
            {"select convert(varchar(30), cast('01/01/98 23:59:59.991' as datetime), 121)", "1998-01-01 23:59:59.990"},
            // one text to each type
            {"select convert(varchar(40), cast('2007-05-08 12:35:29. 1234567 +12:15' as time(7)), 121)",
                "12:35:29.1234567"},
            {"select convert(varchar(40), cast('2007-05-08 12:35:29. 1234567 +12:15' as date), 121)", "2007-05-08"},
            {"select convert(varchar(40), cast('2007-05-08 12:35:29.123' as smalldatetime), 120)",
                "2007-05-08 12:35:00"},
            {"select convert(varchar(40), cast('2007-05-08 12:35:29.123' as datetime), 121)",
                "2007-05-08 12:35:29.123"},
            {"select convert(varchar(40), cast('2007-05-08 12:35:29. 1234567 +12:15' as datetime2(7)), 121)",
                "2007-05-08 12:35:29.1234567"},
            {"select convert(varchar(40), cast('2007-05-08 12:35:29.1234567 +12:15' as datetimeoffset(7)), 121)",
                "2007-05-08 12:35:29.1234567 +12:15"},
            // from one type to another
            {"select convert(varchar(40), cast(cast('12-21-16' as date) as datetime), 121)",
                "2016-12-21 00:00:00.000"},
            {"select convert(varchar(40), cast(cast('12:10:05.1237' as time(4)) as datetime), 121)",
                "1900-01-01 12:10:05.123"},
            {"select convert(varchar(40), cast(cast('12-01-16 12:32' as smalldatetime) as datetime), 121)",
                "2016-12-01 12:32:00.000"},
            {"select convert(varchar(40), cast(cast('1968-10-23 12:45:37.1234 +10:0' as datetimeoffset(4)) as "
             "datetime), 121)",
                "1968-10-23 12:45:37.123"},
            {"select convert(varchar(40), cast(cast('1968-10-23 12:45:37.1237' as datetime2(4)) as datetime), 121)",
                "1968-10-23 12:45:37.123"},
            // ISO 8601, unseparated, numeric, alphabetic, a time alone
            {"select convert(varchar(40), cast('2004-05-23T14:25:10.487' as datetime), 121)",
                "2004-05-23 14:25:10.487"},
            {"select convert(varchar(40), convert(datetime, '2006-04-25T15:50:59.997', 126), 121)",
                "2006-04-25 15:50:59.997"},
            {"select convert(varchar(40), cast('20011212' as datetime), 121)", "2001-12-12 00:00:00.000"},
            {"select convert(varchar(40), cast('5/20/97' as datetime), 121)", "1997-05-20 00:00:00.000"},
            {"select convert(varchar(40), cast('April 1996' as datetime), 121)", "1996-04-01 00:00:00.000"},
            {"select convert(varchar(40), cast('12:35:29' as smalldatetime), 120)", "1900-01-01 12:35:00"},
            {"select convert(varchar(40), cast('4 PM' as datetime), 121)", "1900-01-01 16:00:00.000"},
            // the ODBC escapes are datetime values
            {"select convert(varchar(40), { ts '1998-05-02 01:23:56.123' }, 121)", "1998-05-02 01:23:56.123"},
            {"select convert(varchar(40), { d '1990-10-02' }, 121)", "1990-10-02 00:00:00.000"},
            // the session's date order
            {"set dateformat dmy; select convert(varchar(40), cast('31/12/2008 09:01:01.1234567' as datetime2), 121)",
                "2008-12-31 09:01:01.1234567"},
            {"set dateformat dmy; select cast('12/31/2008 09:01:01.1234567' as datetime2)", kSyntax},
            {"set dateformat mdy; select cast('25/12/2009 00:00:00' as datetime)", kOutOfRange},
            // datetime reads at most three fractional digits and no offset, also from a text that looks
            // like a datetime2 or datetimeoffset value; DATEADD reads a literal date as datetime
            {"select cast('2004-05-23 14:25:10.4871' as datetime)", kSyntax},
            {"select dateadd(day, 1, '2006-07-31 10:00:00.1234')", kSyntax},
            {"select dateadd(day, 1, '2006-07-31 10:00:00 +01:00')", kSyntax},
            {"select convert(varchar(40), dateadd(day, 1, '2006-07-31 10:00:00.123'), 121)", "2006-08-01 10:00:00.123"},
            // impossible values are errors, never stored
            {"select cast('someday' as date)", kSyntax},
            {"select cast('9999-12-31 23:59:59.999' as datetime)", kOutOfRange},
            {"select cast(2958464 as datetime)",
                "error: Arithmetic overflow error converting expression to data type datetime."},
            {"select convert(varchar(40), cast(1 as datetime), 121)", "1900-01-02 00:00:00.000"},
        });
}

// A write to a date column converts as CAST to the column's type; an impossible value fails
// the statement and leaves the row as it was.
TEST_F(EmbeddedTest, DateColumnsStoreTheConvertedValue)
{
    auto c = connect();
    c->execute(QStringLiteral("create table D (ID int, A datetime, B smalldatetime, C date, T time(4))"));
    c->execute(QStringLiteral("insert into D (ID, A) values (1, '20011212')"));
    c->execute(QStringLiteral("insert into D (ID, A, B) values (2, '01/01/98 23:59:59.999', '12:35:29')"));
    c->execute(QStringLiteral("insert into D (ID, C, T) values (3, '12-21-16', '12:10:05.1237')"));
    expectAnswers(*c,
        {
            {"select convert(varchar(30), A, 121) from D where ID = 1", "2001-12-12 00:00:00.000"},
            {"select convert(varchar(30), A, 121) from D where ID = 2", "1998-01-02 00:00:00.000"},
            {"select convert(varchar(30), B, 120) from D where ID = 2", "1900-01-01 12:35:00"},
            {"select convert(varchar(30), C, 121) from D where ID = 3", "2016-12-21"},
            {"select convert(varchar(30), T, 121) from D where ID = 3", "12:10:05.1237"},
            {"update D set A = '2025-02-30' where ID = 1", kOutOfRange},
            {"insert into D (ID, C) values (4, 'someday')", kSyntax},
            {"select convert(varchar(30), A, 121) from D where ID = 1", "2001-12-12 00:00:00.000"},
            {"select count(*) from D", "3"},
            {"select convert(varchar(30), max(A), 121) from D", "2001-12-12 00:00:00.000"},
            // a text compared with a date column is read as a date: the values compare as instants
            {"select count(*) from D where A >= '20011212'", "1"},
            {"select count(*) from D d where d.A between '19980101' and '19980102'", "1"},
            {"select count(*) from D where 'Jan 1 2000' > A", "1"},
        });
    // a column added later converts its writes too, and the default it gives the rows there
    c->execute(QStringLiteral("alter table D add E datetime, F date not null default '12-21-16'"));
    c->execute(QStringLiteral("update D set E = '20011212' where ID = 1"));
    expectAnswers(*c,
        {
            {"select convert(varchar(30), E, 121) from D where ID = 1", "2001-12-12 00:00:00.000"},
            {"select convert(varchar(30), F, 121) from D where ID = 2", "2016-12-21"},
            {"insert into D (ID, E) values (5, '2025-02-30')", kOutOfRange},
        });
}

// Wherever two values are compared, the one of lower precedence is converted to the type of
// the other first: a text or a date compared with a datetime compares as instants, in every
// clause and statement.
TEST_F(EmbeddedTest, DatesCompareAsInstantsInEveryClause)
{
    auto c = connect();
    c->execute(QStringLiteral("create table D (ID int, Mark int, A datetime, C date, S varchar(20), "
                              "T7 datetime2(7), T3 datetime2(3))"));
    c->execute(QStringLiteral("insert into D values (1, 0, '20250601', '20250601', '20250601', '2025-06-01', "
                              "'2025-06-01'), (2, 0, '20260102', '20260102', '2026-01-02', "
                              "'2026-01-02 10:00:00.1234567', '2026-01-02 10:00:00.123')"));
    expectAnswers(*c,
        {
            {"update D set Mark = 1 where A >= '20260101'; select count(*) from D where Mark = 1", "1"},
            {"delete from D where A >= '20270101'; select count(*) from D", "2"},
            {"delete D where C < '20000101'; select count(*) from D", "2"},
            {"declare @d date = '20250601'; if @d = '20250601' select 'yes' else select 'no'", "yes"},
            {"if (select max(A) from D) > '20260101' select 'yes' else select 'no'", "yes"},
            {"declare @d datetime = '20250601', @n int = 0; while @d < '20250603' begin set @n = @n + 1; "
             "set @d = dateadd(day, 1, @d) end; select @n",
                "2"},
            {"select count(*) from D where A in ('20250601', '20260102')", "2"},
            {"select count(*) from D where C not in ('20250601')", "1"},
            {"select count(case when A >= '20260101' then 1 end) from D", "1"},
            {"select count(*) from D x join D y on x.A = y.C", "2"},
            {"select count(*) from (select C from D group by C having C >= '20260101') g", "1"},
            {"select count(*) from D where A not between '20250101' and '20251231'", "1"},
            {"declare @s varchar(10) = '20250601'; select count(*) from D where A = @s", "1"},
            {"declare @n int; select @n = count(*) from D where A >= '20260101'; select @n", "1"},
            // a text column, a date column and datetime2 of two scales against a datetime
            {"select count(*) from D where A = S", "2"},
            {"select count(*) from D where C = A", "2"},
            {"select count(*) from D where T7 = T3", "1"},
            {"select count(*) from D where T7 > T3", "1"},
            {"select count(*) from D where C = {d '2025-06-01'}", "1"},
        });
}

// datetime and smalldatetime add and subtract numbers of days (fractions too) and each other,
// wherever an expression stands; date, time, datetime2 and datetimeoffset take no arithmetic.
TEST_F(EmbeddedTest, DatetimeArithmeticCountsDays)
{
    auto c = connect();
    c->execute(QStringLiteral("create table A (ID int, D datetime default cast('20200101' as datetime) + 1.5, "
                              "S smalldatetime default (cast('2020-01-01 10:10' as datetime) - 1), N date)"));
    c->execute(QStringLiteral("insert into A (ID) values (1); "
                              "insert into A (ID, D, S, N) values (2, cast('20200101' as datetime) - 0.25, "
                              "cast('2020-01-01 10:10' as smalldatetime) + 0.5, '20200101')"));
    c->execute(QStringLiteral("create view VA as select ID, D - 1 as E from A"));
    const QString clash = QStringLiteral("error: Operand type clash: %1 is incompatible with %2");
    const QString invalid = QStringLiteral("error: Operand data type %1 is invalid for %2 operator.");
    expectAnswers(*c,
        {
            {"declare @startdate datetime, @adddays int; set @startdate = 'January 10, 1900 12:00 AM'; "
             "set @adddays = 5; select @startdate + 1.25",
                "1900-01-11 06:00:00.000"},
            {"declare @startdate datetime, @adddays int; set @startdate = 'January 10, 1900 12:00 AM'; "
             "set @adddays = 5; select @startdate + @adddays",
                "1900-01-15 00:00:00.000"},
            {"declare @altstartdate datetime; set @altstartdate = convert(datetime, 'January 10, 1900 3:00 AM', 101); "
             "select @altstartdate - 1.5",
                "1900-01-08 15:00:00.000"},
            {"select datediff(day, getdate()-1, getdate()+1)", "2"},
            // a number converts to datetime as days since 1900-01-01, then the two add
            {"select convert(varchar(30), 1 + cast('20200101' as datetime), 121)", "2020-01-02 00:00:00.000"},
            {"select convert(varchar(30), cast('2020-01-02 12:00' as datetime) - cast('20200101' as datetime), 121)", "1900-01-02 12:00:00.000"},
            {"select convert(varchar(30), cast('20200101' as datetime) - cast('2020-01-02' as datetime), 121)", "1899-12-31 00:00:00.000"},
            {"select convert(varchar(30), cast('20200101' as datetime) + '12:00', 121)", "2020-01-01 12:00:00.000"},
            {"select convert(varchar(30), (cast('20200101' as datetime) + '12:00') + 1, 121)", "2020-01-02 12:00:00.000"},
            {"select convert(varchar(30), cast('2020-01-01 00:00:00.003' as datetime) + cast('1900-01-01 00:00:00.003' as datetime), 121)",
                "2020-01-01 00:00:00.007"},
            {"select convert(varchar(30), cast('2020-01-01 10:10' as smalldatetime) + 0.5, 120)", "2020-01-01 22:10:00"},
            {"select convert(varchar(30), cast('2020-01-01 10:10' as smalldatetime) + cast('1900-01-02' as datetime), 121)",
                "2020-01-02 10:10:00.000"},
            {"select cast('9999-12-31' as datetime) + 1", "error: Adding a value to a 'datetime' column caused an overflow."},
            {"declare @d datetime = '20200101'; set @d = @d - 1 + 2 - 3; select @d", "2019-12-30 00:00:00.000"},
            {"declare @d datetime = '20200101'; set @d += 1.5; set @d -= 0.25; select @d", "2020-01-02 06:00:00.000"},
            {"declare @d datetime = '20200101'; if @d + 1 > @d select 'yes' else select 'no'", "yes"},
            {"declare @d datetime = '20200101'; select @d = @d + 0.5; select @d", "2020-01-01 12:00:00.000"},
            {"declare @t table (D datetime default cast('20200101' as datetime) - 1, N int); insert @t (N) values (1); "
             "select convert(varchar(30), D, 121) from @t",
                "2019-12-31 00:00:00.000"},
            {"select count(*) from A where D + 1 > '20200101' and D - 1 < '20200102'", "2"},
            {"select convert(varchar(30), D, 121) from A where ID = 1", "2020-01-02 12:00:00.000"},
            {"select convert(varchar(30), S, 120) from A where ID = 1", "2019-12-31 10:10:00"},
            {"select convert(varchar(30), D, 121) from A where ID = 2", "2019-12-31 18:00:00.000"},
            {"select convert(varchar(30), S, 120) from A where ID = 2", "2020-01-01 22:10:00"},
            {"update A set D = D + 2 where ID = 1; select convert(varchar(30), D, 121) from A where ID = 1",
                "2020-01-04 12:00:00.000"},
            {"insert into A (ID, D) select 3, D - 1 from A where ID = 1; select convert(varchar(30), D, 121) from A "
             "where ID = 3",
                "2020-01-03 12:00:00.000"},
            {"select top 1 ID from A order by D + 0 desc", "1"},
            {"select convert(varchar(30), E, 121) from VA where ID = 2", "2019-12-30 18:00:00.000"},
            {"with W (X) as (select D from A where ID = 2) select convert(varchar(30), X + 1, 121) from W",
                "2020-01-01 18:00:00.000"},
            {"select convert(varchar(30), 1 + case when ID = 2 then D end - 2, 121) from A where ID = 2",
                "2019-12-30 18:00:00.000"},
            {"select cast('20200101' as date) + 1", qPrintable(clash.arg("date", "int"))},
            {"select 1.5 - cast('20200101' as datetime2)", qPrintable(clash.arg("numeric", "datetime2"))},
            {"select N - 1 from A", qPrintable(clash.arg("date", "int"))},
            {"select cast('10:00' as time) + cast(1 as float)", qPrintable(clash.arg("time", "float"))},
            {"declare @d date = '20200101'; set @d += 1", qPrintable(clash.arg("date", "int"))},
            {"select sysdatetimeoffset() - sysdatetimeoffset()", qPrintable(invalid.arg("datetimeoffset", "subtract"))},
            {"select N - N from A", qPrintable(invalid.arg("date", "subtract"))},
            {"select getdate() * 2", qPrintable(invalid.arg("datetime", "multiply"))},
            {"select D / 2 from A", qPrintable(invalid.arg("datetime", "divide"))},
        });
}

// datetimeoffset values compare, sort, group and aggregate as the instants they name (on UTC),
// as columns, variables and expressions alike.
TEST_F(EmbeddedTest, DatetimeoffsetValuesCompareAsInstants)
{
    auto c = connect();
    c->execute(QStringLiteral("create table O (ID int, T datetimeoffset); insert into O values "
                              "(1, '2020-01-01 10:00 +02:00'), (2, '2020-01-01 09:30 +00:00'), "
                              "(3, '2020-01-01 03:30 -05:00'), (4, '2020-01-01 11:00 +03:00')"));
    expectAnswers(*c,
        {
            {"select case when cast('2020-01-01 10:00 +02:00' as datetimeoffset) < "
             "cast('2020-01-01 09:30 +00:00' as datetimeoffset) then 'yes' else 'no' end",
                "yes"},
            {"select case when cast('2020-01-01 10:00 +02:00' as datetimeoffset) = "
             "cast('2020-01-01 08:00 +00:00' as datetimeoffset) then 'yes' else 'no' end",
                "yes"},
            {"declare @a datetimeoffset = '2020-01-01 10:00 +02:00', @b datetimeoffset = '2020-01-01 09:30 +00:00'; "
             "if @a < @b select 'yes' else select 'no'",
                "yes"},
            {"select top 1 ID from O order by T, ID", "1"},
            {"select top 1 ID from O order by T desc", "2"},
            {"select top 1 ID from O order by cast(cast(T as varchar(40)) as datetimeoffset) desc", "2"},
            {"select ID from O where T = (select max(T) from O)", "2"},
            {"select count(*) from O where T = (select min(T) from O)", "2"},
            {"select count(*) from O where T > '2020-01-01 08:30 +00:00'", "1"},
            {"select count(*) from O where T between '2020-01-01 07:59 +00:00' and '2020-01-01 08:01 +00:00'", "2"},
            {"select count(distinct T) from O", "3"},
            {"select count(*) from O x join O y on x.T = y.T", "6"},
            {"select * into O2 from O; select top 1 ID from O2 order by T desc", "2"},
        });
}

// A date written into a text column takes the text CAST gives it (datetime and smalldatetime in
// the default style 0, the other types their canonical text), by insert, insert … select and
// update alike; PRINT shows a date the same way. A text stays the text it is.
TEST_F(EmbeddedTest, DatesWrittenAsTextTakeTheirCastText)
{
    auto c = connect();
    c->execute(QStringLiteral("create table W (ID int, C varchar(30), N nvarchar(30), D datetime)"));
    c->execute(QStringLiteral("insert into W values (1, cast('2006-04-18 09:58:04.570' as datetime), "
                              "cast('2006-04-18' as date), '2006-04-18 21:58'), "
                              "(2, '2006-04-18 09:58:04.570', cast('2006-04-18 09:58' as smalldatetime), null); "
                              "insert into W (ID, C, N) select 3, D, D + 1 from W where ID = 1; "
                              "update W set N = D where ID = 1"));
    expectAnswers(*c,
        {
            {"select C from W where ID = 1", "Apr 18 2006  9:58AM"},
            {"select C from W where ID = 2", "2006-04-18 09:58:04.570"},
            {"select N from W where ID = 2", "Apr 18 2006  9:58AM"},
            {"select C from W where ID = 3", "Apr 18 2006  9:58PM"},
            {"select N from W where ID = 3", "Apr 19 2006  9:58PM"},
            {"select N from W where ID = 1", "Apr 18 2006  9:58PM"},
            {"insert into W (ID, N) values (4, cast('2006-04-18' as date)); select N from W where ID = 4", "2006-04-18"},
            {"declare @s varchar(30); select @s = D from W where ID = 1; select @s", "Apr 18 2006  9:58PM"},
            // a string function, and LIKE, take a datetime as the text CAST gives it
            {"select concat('On ', D) from W where ID = 1", "On Apr 18 2006  9:58PM"},
            {"select concat_ws('|', ID, D) from W where ID = 1", "1|Apr 18 2006  9:58PM"},
            {"select left(D, 6) + '/' + cast(len(D) as varchar(5)) from W where ID = 1", "Apr 18/19"},
            {"select string_agg(D, ';') from W", "Apr 18 2006  9:58PM"},
            {"select count(*) from W where D like 'Apr 18%'", "1"},
            {"declare @d smalldatetime = '2006-04-18 09:58'; select case when @d not like 'Apr%' then 0 else 1 end",
                "1"},
            {"select concat(cast('2006-04-18' as date), '')", "2006-04-18"},
        });
    c->execute(QStringLiteral("declare @d datetime = '2006-04-18 09:58'; print @d; print @d + 1; "
                              "print cast('2006-04-18' as date)"));
    QStringList printed;
    for (const auto& e : c->errors()) printed << e.description;
    EXPECT_EQ(printed, (QStringList{QStringLiteral("Apr 18 2006  9:58AM"), QStringLiteral("Apr 19 2006  9:58AM"),
                           QStringLiteral("2006-04-18")}));
}

// A number compared with a text compares as numbers: the text is converted to the number's
// type (higher in data type precedence), as CAST converts it, and a text that is no number is
// the server's conversion error.
TEST_F(EmbeddedTest, TextsCompareWithNumbersAsNumbers)
{
    auto c = connect();
    c->execute(QStringLiteral("create table N (ID int, D datetime, Qty int, Code varchar(10), Price money, R float)"));
    c->execute(QStringLiteral("insert into N values (1, '20070115', 5, '5', 1.5, 2.5), "
                              "(2, '20081120', 7, 'x7', 2.25, 3.0)"));
    expectAnswers(*c,
        {
            {"select count(*) from N where datepart(yyyy, D) in (N'2007', N'2008')", "2"},
            {"select count(*) from N where datepart(mm, D) = N'1'", "1"},
            {"select count(*) from N where datepart(yyyy, D) not in ('2007')", "1"},
            {"select count(*) from N where datepart(dd, D) between '10' and '16'", "1"},
            {"declare @s nvarchar(10) = N'7'; select count(*) from N where Qty = @s", "1"},
            {"select count(*) from N where Qty + 0 = '5'", "1"},
            {"select count(*) from N where Price * 2 = '4.50'", "1"},
            {"select count(*) from N where R * 1 > '2.75'", "1"},
            {"select case when datepart(dd, D) = '15' then 'yes' else 'no' end from N where ID = 1", "yes"},
            {"if datepart(yyyy, getdate()) > '2000' select 'yes' else select 'no'", "yes"},
            {"select count(*) from N x join (select '1' as M) y on datepart(mm, x.D) = y.M", "1"},
            {"update N set Qty = 9 where datepart(yyyy, D) = '2008'; select Qty from N where ID = 2", "9"},
            {"select count(*) from (select Qty from N group by Qty having Qty > '6') g", "1"},
            {"select count(*) from N where datepart(yyyy, D) = 'abc'",
                "error: Conversion failed when converting the varchar value 'abc' to data type int."},
            {"select count(*) from N where ID = Code",
                "error: Conversion failed when converting the varchar value 'x7' to data type int."},
        });
}

// The styles of CONVERT for one datetime value, and CAST to text in the default form.
TEST_F(EmbeddedTest, ConvertStylesGiveTheDocumentedTexts)
{
    auto c = connect();
    const QString value = QStringLiteral("cast('2019-08-23 13:39:17.090' as datetime)");
    const struct {
        int style;
        const char* text;
    } styles[] = {
        {0, "Aug 23 2019  1:39PM"},
        {1, "08/23/19"},
        {2, "19.08.23"},
        {3, "23/08/19"},
        {4, "23.08.19"},
        {5, "23-08-19"},
        {6, "23 Aug 19"},
        {7, "Aug 23, 19"},
        {8, "13:39:17"},
        {24, "13:39:17"},
        {108, "13:39:17"},
        {9, "Aug 23 2019  1:39:17:090PM"},
        {10, "08-23-19"},
        {11, "19/08/23"},
        {12, "190823"},
        {13, "23 Aug 2019 13:39:17:090"},
        {14, "13:39:17:090"},
        {20, "2019-08-23 13:39:17"},
        {21, "2019-08-23 13:39:17.090"},
        {25, "2019-08-23 13:39:17.090"},
        {22, "08/23/19  1:39:17 PM"},
        {23, "2019-08-23"},
        {101, "08/23/2019"},
        {102, "2019.08.23"},
        {103, "23/08/2019"},
        {104, "23.08.2019"},
        {105, "23-08-2019"},
        {106, "23 Aug 2019"},
        {107, "Aug 23, 2019"},
        {110, "08-23-2019"},
        {111, "2019/08/23"},
        {112, "20190823"},
        {120, "2019-08-23 13:39:17"},
        {121, "2019-08-23 13:39:17.090"},
        {126, "2019-08-23T13:39:17.090"},
        {127, "2019-08-23T13:39:17.090"},
        {130, "22 ذو الحجة 1440  1:39:17.090P"},
        {131, "22/12/1440  1:39:17.090PM"},
    };
    for (const auto& s : styles)
        EXPECT_EQ(answer(*c, QStringLiteral("select convert(nvarchar, %1, %2)").arg(value).arg(s.style)),
            QString::fromUtf8(s.text))
            << s.style;
    expectAnswers(*c,
        {
            {"select convert(varchar(10), cast('2019-08-23 13:39:17.090' as datetime), 104)", "23.08.2019"},
            {"select cast(cast('2006-04-18 09:58:04.570' as datetime) as nvarchar(30))", "Apr 18 2006  9:58AM"},
            {"select convert(nvarchar(30), cast('2006-04-18 09:58:04.570' as datetime), 126)",
                "2006-04-18T09:58:04.570"},
            {"select cast(cast('2010-07-20 13:44:31.5879025' as datetime2) as nvarchar(30))",
                "2010-07-20 13:44:31.5879025"},
            {"select convert(nvarchar(30), cast('2010-07-20 13:44:31.5879025' as datetime2), 126)",
                "2010-07-20T13:44:31.5879025"},
            // text to a date by the style's order
            {"select convert(varchar(30), convert(datetime, '23.08.2019', 104), 121)", "2019-08-23 00:00:00.000"},
            {"select convert(varchar(30), convert(datetime, '08/23/2019', 101), 121)", "2019-08-23 00:00:00.000"},
            // a style held in a variable is the same style
            {"declare @s int = 104; select convert(varchar(10), cast('2019-08-23 13:39:17.090' as datetime), @s)",
                "23.08.2019"},
            {"declare @s int = 104; select convert(varchar(30), convert(datetime, '23.08.2019', @s), 121)",
                "2019-08-23 00:00:00.000"},
            {"declare @s int = 1; select convert(varchar(30), cast(4251368.55 as money), @s)", "4,251,368.55"},
            // a float: at most 6 digits by default, 8 and 16 always in scientific notation, 17 digits
            {"select cast(cast(3.14159265358979 as float) as varchar(30))", "3.14159"},
            {"select convert(varchar(30), cast(3.14159265358979 as float), 0)", "3.14159"},
            {"select convert(varchar(30), cast(100 as float), 0)", "100"},
            {"select convert(varchar(30), cast(3.14159265358979 as float), 1)", "3.1415927e+000"},
            {"select convert(varchar(30), cast(-2.5 as float), 2)", "-2.500000000000000e+000"},
            {"select convert(varchar(30), cast(0.1 as float), 3)", "0.10000000000000001"},
            // datetime and smalldatetime have their bytes (see the binary conversions); the
            // other date and time types are refused both ways
            {"select cast(cast('2020-01-01' as date) as binary(3))",
                "error: Explicit conversion from data type date to binary is not allowed."},
            {"select convert(varbinary(10), sysdatetimeoffset())",
                "error: Explicit conversion from data type datetimeoffset to varbinary is not allowed."},
            {"select cast(0x0000AB6000000000 as datetime2)",
                "error: Explicit conversion from data type varbinary to datetime2 is not allowed."},
            // datetime as float counts the days from 1900-01-01 as a float converted to datetime
            // does, both ways; the other date and time types are no numbers
            {"select convert(varchar(30), cast(floor(cast(cast('2025-01-01 13:00' as datetime) as float)) as datetime), 121)",
                "2025-01-01 00:00:00.000"},
            {"select cast(cast(cast(45000.5 as datetime) as float) as varchar(30))", "45000.5"},
            {"select cast(cast('2020-01-01' as date) as int)",
                "error: Explicit conversion from data type date to int is not allowed."},
        });
}

// The date functions with every date part and abbreviation, the month-end rule, the
// boundaries DATEDIFF counts, the FROMPARTS family and the session's date settings.
TEST_F(EmbeddedTest, DateFunctionsGiveTheDocumentedValues)
{
    auto c = connect();
    const char* d2 = "cast('2007-01-01 13:10:10.1111111' as datetime2)";
    const char* tz = "'2007-10-30 12:15:32.1234567 +05:10'";
    const char* before = "'2005-12-31 23:59:59.9999999'";
    const char* after = "'2006-01-01 00:00:00.0000000'";
    const struct {
        QString sql;
        const char* expected;
    } cases[] = {
        {QStringLiteral("select convert(varchar(30), dateadd(month, 1, '20060830'), 121)"), "2006-09-30 00:00:00.000"},
        {QStringLiteral("select convert(varchar(30), dateadd(month, 1, '20060831'), 121)"), "2006-09-30 00:00:00.000"},
        {QStringLiteral("select convert(varchar(30), dateadd(year, 1, %1), 121)").arg(d2), "2008-01-01 13:10:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(qq, 1, %1), 121)").arg(d2), "2007-04-01 13:10:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(dy, 1, %1), 121)").arg(d2), "2007-01-02 13:10:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(wk, 1, %1), 121)").arg(d2), "2007-01-08 13:10:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(dw, 1, %1), 121)").arg(d2), "2007-01-02 13:10:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(hh, 1, %1), 121)").arg(d2), "2007-01-01 14:10:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(mi, 1, %1), 121)").arg(d2), "2007-01-01 13:11:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(ss, 1, %1), 121)").arg(d2), "2007-01-01 13:10:11.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(ms, 1, %1), 121)").arg(d2), "2007-01-01 13:10:10.1121111"},
        {QStringLiteral("select convert(varchar(30), dateadd(mcs, 2, %1), 121)").arg(d2), "2007-01-01 13:10:10.1111131"},
        {QStringLiteral("select convert(varchar(30), dateadd(ns, 49, %1), 121)").arg(d2), "2007-01-01 13:10:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(ns, 50, %1), 121)").arg(d2), "2007-01-01 13:10:10.1111112"},
        {QStringLiteral("select convert(varchar(30), dateadd(ns, 150, %1), 121)").arg(d2), "2007-01-01 13:10:10.1111113"},
        {QStringLiteral("select convert(varchar(30), dateadd(month, 13, %1), 121)").arg(d2), "2008-02-01 13:10:10.1111111"},
        {QStringLiteral("select convert(varchar(30), dateadd(day, 365, cast('2000-01-01 01:01:01.111' as datetime)), 121)"),
            "2000-12-31 01:01:01.110"},
        // datetime2(3) counts whole milliseconds and datetime2(0) whole seconds, as their own types
        {QStringLiteral("select convert(varchar(30), dateadd(ms, 1, cast('2007-01-01 13:10:10.123' as datetime2(3))), 121)"),
            "2007-01-01 13:10:10.124"},
        {QStringLiteral("declare @d datetime2(3) = '2007-01-01 13:10:10.123'; "
                        "select convert(varchar(30), dateadd(mcs, 2000, @d), 121)"),
            "2007-01-01 13:10:10.125"},
        {QStringLiteral("declare @d datetime2(0) = '2007-01-01 13:10:00'; select convert(varchar(30), dateadd(ss, 1, @d), 121)"),
            "2007-01-01 13:10:01"},
        {QStringLiteral("select datepart(tz, cast('2007-01-01 13:10:10.123' as datetime2(3)))"), "0"},
        {QStringLiteral("select dateadd(year, 2147483647, '20060731')"),
            "error: Adding a value to a 'datetime' column caused an overflow."},
        {QStringLiteral("select dateadd(year, 2147483648, '20060731')"),
            "error: Arithmetic overflow error converting expression to data type int."},
        {QStringLiteral("select datediff(day, '2036-03-01', '2036-02-28')"), "-2"},
        {QStringLiteral("begin try select datediff(second, '19470101', '20160101') end try "
                        "begin catch select error_number() end catch"),
            "535"},
        {QStringLiteral("select datediff(year, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(quarter, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(month, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(dayofyear, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(week, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(hour, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(minute, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(second, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(millisecond, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datediff(microsecond, %1, %2)").arg(before, after), "1"},
        {QStringLiteral("select datepart(yyyy, %1)").arg(tz), "2007"},
        {QStringLiteral("select datepart(q, %1)").arg(tz), "4"},
        {QStringLiteral("select datepart(m, %1)").arg(tz), "10"},
        {QStringLiteral("select datepart(y, %1)").arg(tz), "303"},
        {QStringLiteral("select datepart(d, %1)").arg(tz), "30"},
        {QStringLiteral("select datepart(ww, %1)").arg(tz), "44"},
        {QStringLiteral("select datepart(dw, %1)").arg(tz), "3"},
        {QStringLiteral("select datepart(hour, %1)").arg(tz), "12"},
        {QStringLiteral("select datepart(n, %1)").arg(tz), "15"},
        {QStringLiteral("select datepart(s, %1)").arg(tz), "32"},
        {QStringLiteral("select datepart(ms, %1)").arg(tz), "123"},
        {QStringLiteral("select datepart(mcs, %1)").arg(tz), "123456"},
        {QStringLiteral("select datepart(ns, %1)").arg(tz), "123456700"},
        {QStringLiteral("select datepart(tz, %1)").arg(tz), "310"},
        {QStringLiteral("select datepart(isowk, %1)").arg(tz), "44"},
        {QStringLiteral("select datename(month, %1)").arg(tz), "October"},
        {QStringLiteral("select datename(weekday, %1)").arg(tz), "Tuesday"},
        {QStringLiteral("select datename(tzoffset, %1)").arg(tz), "+05:10"},
        {QStringLiteral("select datepart(year, '12:10:30.123')"), "1900"},
        {QStringLiteral("select datepart(weekday, '12:10:30.123')"), "2"},
        {QStringLiteral("select datepart(year, 0)"), "1900"},
        {QStringLiteral("select year(0) * 10000 + month(0) * 100 + day(0)"), "19000101"},
        {QStringLiteral("select datepart(millisecond, '00:00:01.1234567')"), "123"},
        {QStringLiteral("select datepart(day, '12/20/1974')"), "20"},
        {QStringLiteral("set datefirst 1; select datepart(week, '2007-04-21 ') * 10 + datepart(weekday, '2007-04-21 ')"),
            "166"},
        {QStringLiteral("set datefirst 3; select datepart(week, '2007-04-21 ') * 10 + datepart(weekday, '2007-04-21 ')"),
            "174"},
        {QStringLiteral("set datefirst 6; select datepart(week, '2007-04-21 ') * 10 + datepart(weekday, '2007-04-21 ')"),
            "171"},
        {QStringLiteral("set datefirst 7; select datepart(week, '2007-04-21 ') * 10 + datepart(weekday, '2007-04-21 ')"),
            "167"},
        {QStringLiteral("select convert(varchar(30), eomonth('12/1/2011'), 121)"), "2011-12-31"},
        {QStringLiteral("select convert(varchar(30), eomonth('12/1/2011', 1), 121)"), "2012-01-31"},
        {QStringLiteral("select convert(varchar(30), eomonth('12/1/2011', -1), 121)"), "2011-11-30"},
        {QStringLiteral("select convert(varchar(30), datefromparts(2010, 12, 31), 121)"), "2010-12-31"},
        {QStringLiteral("select convert(varchar(30), datetimefromparts(2010, 12, 31, 23, 59, 59, 0), 121)"),
            "2010-12-31 23:59:59.000"},
        {QStringLiteral("select convert(varchar(30), smalldatetimefromparts(2010, 12, 31, 23, 59), 120)"),
            "2010-12-31 23:59:00"},
        {QStringLiteral("select convert(varchar(30), datetime2fromparts(2011, 8, 15, 14, 23, 44, 5, 1), 121)"),
            "2011-08-15 14:23:44.5"},
        {QStringLiteral("select convert(varchar(30), timefromparts(14, 23, 44, 50, 2), 121)"), "14:23:44.50"},
        {QStringLiteral("select convert(varchar(40), datetimeoffsetfromparts(2010, 12, 31, 14, 23, 23, 0, 12, 0, 7), "
                        "121)"),
            "2010-12-31 14:23:23.0000000 +12:00"},
        {QStringLiteral("select datefromparts(2010, 2, 30)"),
            "error: Cannot construct data type date, some of the arguments have values which are not valid."},
        {QStringLiteral("select isdate('2009-05-12 10:19:41.177')"), "1"},
        {QStringLiteral("select isdate('2009-02-30')"), "0"},
        {QStringLiteral("select @@datefirst"), "7"},
        {QStringLiteral("set language Turkish; select datename(month, '2007-10-30') + ' ' + datename(dw, '2007-10-30')"),
            "Ekim Salı"},
        {QStringLiteral("set language Turkish; select @@datefirst"), "1"},
        // the settings take a variable's value
        {QStringLiteral("declare @f varchar(3) = 'dmy'; set dateformat @f; "
                        "select convert(varchar(30), cast('31/12/2008 09:01:01' as datetime), 121)"),
            "2008-12-31 09:01:01.000"},
        {QStringLiteral("declare @n int = 1; set datefirst @n; "
                        "select datepart(week, '2007-04-21 ') * 10 + datepart(weekday, '2007-04-21 ')"),
            "166"},
        {QStringLiteral("declare @l sysname = N'Turkish'; set language @l; select @@language"), "Turkish"},
    };
    for (const auto& k : cases) EXPECT_EQ(answer(*c, k.sql), QString::fromUtf8(k.expected)) << k.sql.toStdString();
    // now, a month ago: the date part is a keyword, never a column
    EXPECT_EQ(answer(*c, QStringLiteral("select datediff(month, dateadd(month, -1, getdate()), getdate())")), u"1");
    EXPECT_EQ(answer(*c, QStringLiteral("select datediff(day, current_timestamp, sysdatetime())")), u"0");
}

// FORMAT with .NET patterns and cultures; a time value takes only escaped separators.
TEST_F(EmbeddedTest, FormatFollowsPatternsAndCultures)
{
    auto c = connect();
    expectAnswers(*c,
        {
            {"select format(cast('2024-08-09' as date), 'd', 'en-US')", "8/9/2024"},
            {"select format(cast('2024-08-09' as date), 'd', 'en-gb')", "09/08/2024"},
            {"select format(cast('2024-08-09' as date), 'd', 'de-de')", "09.08.2024"},
            {"select format(cast('2024-08-09' as date), 'D', 'en-US')", "Friday, August 9, 2024"},
            {"select format(cast('2024-08-09' as date), 'D', 'en-gb')", "09 August 2024"},
            {"select format(cast('2024-08-09' as date), 'D', 'de-de')", "Freitag, 9. August 2024"},
            {"select format(cast('2024-08-09' as date), 'd', 'zh-cn')", "2024/8/9"},
            {"select format(cast('2024-08-09' as date), 'D', 'zh-cn')", "2024年8月9日"},
            // the hexadecimal and percent patterns of .NET's standard numeric formats
            {"select format(255, 'X')", "FF"},
            {"select format(255, 'x4')", "00ff"},
            {"select format(1.5, 'X')", "NULL"},
            {"select format(0.1234, 'P', 'en-US')", "12.34 %"},
            {"select format(cast('2024-08-09' as date), 'dd/MM/yyyy', 'en-US')", "09/08/2024"},
            {"select format(123456789, '###-##-####')", "123-45-6789"},
            {"select format(cast(1.0002 as money), 'N', 'en-us')", "1.00"},
            {"select format(cast(1.9419 as money), 'C', 'en-us')", "$1.94"},
            {"select format(cast(1.55 as money), 'G', 'en-us')", "1.5500"},
            {"select format(cast(1.0002 as money), 'G', 'en-us')", "1.0002"},
            {"select format(cast(1.4683 as money), 'N', 'de-de')", "1,47"},
            {"select format(cast(8.2784 as money), 'C', 'de-de')", "8,28 €"},
            {"select format(cast('07:35' as time), N'hh.mm')", "NULL"},
            {"select format(cast('07:35' as time), N'hh:mm')", "NULL"},
            {"select format(cast('07:35' as time), N'hh\\.mm')", "07.35"},
            {"select format(cast('07:35' as time), N'hh\\:mm')", "07:35"},
            {"select format(cast('2018-01-01 01:00' as datetime2), N'hh:mm tt')", "01:00 AM"},
            {"select format(cast('2018-01-01 14:00' as datetime2), N'hh:mm t')", "02:00 P"},
            {"select format(cast('2018-01-01 14:00' as datetime2), N'HH:mm')", "14:00"},
        });
}

}   // namespace orra::embedded::test
