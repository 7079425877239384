// money, smallmoney and decimal(p,s) on the embedded server: columns and the expressions over
// them come back typed as SQL Server types them, with their exact values.

#include "EmbeddedFixture.h"
#include "platform/db/Decimal.h"

using namespace orra;
using namespace orra::embedded::test;
using db::DataType;
using db::Decimal;

namespace {

class ExactValues : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        c = connect();
        c->execute("create table Sales (ID int, City varchar(20), Amount money, Fee smallmoney, Rate decimal(10,2),"
                   " Share numeric(5,3), Weight float)");
        // 0.1-like amounts whose sum as doubles is not the sum of the amounts
        c->execute("insert into Sales values (1, 'Ankara', 19.99, 1.10, 12.50, 0.125, 0.1)");
        c->execute("insert into Sales values (2, 'Ankara', 76473.75, 2.20, 0.05, 0.250, 0.2)");
        c->execute("insert into Sales values (3, 'İzmir', 0.10, 0.30, 0.10, 0.001, 0.3)");
    }

    // The single column of a select: its field and every row's value as text ("NULL" for NULL).
    std::pair<db::FieldInfo, QStringList> column(const QString& sql)
    {
        db::RecordsetPtr rs = c->execute(sql);
        QStringList values;
        if (!rs->isOpen()) return {};
        for (; !rs->isEOF(); rs->MoveNext()) {
            const QVariant& v = rs->value(0);
            values << (v.isNull() ? QStringLiteral("NULL") : db::isDecimal(v) ? db::decimalOf(v)->toString() : v.toString());
        }
        return {rs->field(0), values};
    }

    // The field and value of the single column of a one-row select.
    std::pair<db::FieldInfo, QVariant> one(const QString& sql)
    {
        db::RecordsetPtr rs = c->execute(sql);
        EXPECT_TRUE(rs->isOpen()) << sql.toStdString();
        EXPECT_FALSE(rs->isEOF()) << sql.toStdString();
        return {rs->field(0), rs->value(0)};
    }

    void expectExact(const QString& sql, DataType type, int precision, int scale, const char* value)
    {
        const auto [f, v] = one(sql);
        EXPECT_EQ(f.type, type) << sql.toStdString();
        EXPECT_EQ(f.precision, precision) << sql.toStdString();
        EXPECT_EQ(f.numericScale, scale) << sql.toStdString();
        ASSERT_TRUE(db::isDecimal(v)) << sql.toStdString() << " gave " << v.typeName();
        EXPECT_EQ(db::decimalOf(v)->toString(), QString::fromLatin1(value)) << sql.toStdString();
    }

    std::unique_ptr<db::Connection> c;
};

}   // namespace

TEST_F(ExactValues, ColumnsReadExactly)
{
    expectExact("select Amount from Sales where ID=2", DataType::Currency, 19, 4, "76473.7500");
    expectExact("select Fee from Sales where ID=3", DataType::Currency, 10, 4, "0.3000");
    expectExact("select Rate from Sales where ID=1", DataType::Numeric, 10, 2, "12.50");
    expectExact("select Share from Sales where ID=3", DataType::Numeric, 5, 3, "0.001");
}

TEST_F(ExactValues, SumsAndAveragesKeepTheirArgumentsType)
{
    ASSERT_NE(19.99 + 76473.75 + 0.10, 76493.84);   // what a double sum would have shown
    expectExact("select sum(Amount) from Sales", DataType::Currency, 19, 4, "76493.8400");
    expectExact("select sum(Fee) from Sales", DataType::Currency, 19, 4, "3.6000");
    expectExact("select sum(Rate) Total from Sales", DataType::Numeric, 38, 2, "12.65");
    expectExact("select avg(Rate) from Sales", DataType::Numeric, 38, 6, "4.216667");
    expectExact("select avg(Amount) from Sales", DataType::Currency, 19, 4, "25497.9467");
    expectExact("select max(Rate) from Sales s", DataType::Numeric, 10, 2, "12.50");
    expectExact(
        "select isnull(sum(s.Amount), 0) from Sales s where s.City='Ankara'", DataType::Currency, 19, 4, "76493.7400");
    // float stays float, counts are integers
    EXPECT_EQ(one("select sum(Weight) from Sales").first.type, DataType::Double);
    EXPECT_EQ(one("select count(*) from Sales").first.type, DataType::Integer);
}

TEST_F(ExactValues, ArithmeticFollowsTheServersRules)
{
    expectExact("select Amount * 2 from Sales where ID=1", DataType::Currency, 19, 4, "39.9800");
    expectExact("select Amount + Fee from Sales where ID=3", DataType::Currency, 19, 4, "0.4000");
    // decimal(10,2) * decimal(10,2) is decimal(21,4); + an int column (decimal(10,0)) decimal(13,2),
    // + an integer constant (decimal of its digits, decimal(1,0)) decimal(11,2)
    expectExact("select Rate * Rate from Sales where ID=1", DataType::Numeric, 21, 4, "156.2500");
    expectExact("select Rate + ID from Sales where ID=2", DataType::Numeric, 13, 2, "2.05");
    expectExact("select Rate + 1 from Sales where ID=2", DataType::Numeric, 11, 2, "1.05");
    // division: scale max(6, s1 + p2 + 1), precision p1 - s1 + s2 + scale
    expectExact("select Rate / ID from Sales where ID=2", DataType::Numeric, 21, 13, "0.0250000000000");
    expectExact("select Rate / 3 from Sales where ID=1", DataType::Numeric, 14, 6, "4.166667");
    // money meets decimal: decimal(19,4) + decimal(10,2)
    expectExact("select Amount + Rate from Sales where ID=1", DataType::Numeric, 20, 4, "32.4900");
    expectExact("select -Amount from Sales where ID=3", DataType::Currency, 19, 4, "-0.1000");
    expectExact("select 1.10 + 2.205", DataType::Numeric, 5, 3, "3.305");
    expectExact("select case when ID=1 then Rate else 0 end from Sales where ID=1", DataType::Numeric, 12, 2, "12.50");
    expectExact("select (select sum(Amount) from Sales) Total", DataType::Currency, 19, 4, "76493.8400");
    EXPECT_EQ(one("select Amount * Weight from Sales where ID=1").first.type, DataType::Double);
}

TEST_F(ExactValues, ConversionsToMoneyAndDecimal)
{
    expectExact("select convert(money, 3)", DataType::Currency, 19, 4, "3.0000");
    expectExact("select cast('12.345' as decimal(10,2))", DataType::Numeric, 10, 2, "12.35");
    expectExact("select convert(decimal(12,4), Weight) from Sales where ID=1", DataType::Numeric, 12, 4, "0.1000");
    expectExact("select cast(Amount as smallmoney) from Sales where ID=1", DataType::Currency, 10, 4, "19.9900");
}

// A value written into a money or decimal column takes the column's scale, rounded as the
// server rounds a number converted to fewer decimals, whichever statement writes it (an exact
// comparison finds it); a value too large for the column is refused and not stored.
TEST_F(ExactValues, WritesTakeTheColumnsScale)
{
    c->execute("create table MyTable (MyDecimalColumn decimal(5,2), MyNumericColumn numeric(10,5))");
    c->execute("insert into MyTable values (123, 12345.12)");
    c->execute("create table Prices (ID int, Price money default 1.23456, Fee smallmoney, Rate decimal(10,2))");
    const struct {
        const char* write;
        const char* read;
        DataType type;
        int precision, scale;
        const char* value;
    } cases[] = {
        {"", "select MyDecimalColumn from MyTable where MyDecimalColumn = 123", DataType::Numeric, 5, 2, "123.00"},
        {"", "select MyNumericColumn from MyTable", DataType::Numeric, 10, 5, "12345.12000"},
        {"insert into Prices (ID, Price) values (1, 1.23456)", "select Price from Prices where ID = 1 and Price = 1.2346",
            DataType::Currency, 19, 4, "1.2346"},
        {"insert into Prices (ID) values (2)", "select Price from Prices where ID = 2 and Price = 1.2346", DataType::Currency, 19, 4,
            "1.2346"},
        {"insert into Prices (ID, Rate) select 3, 2.345", "select Rate from Prices where ID = 3 and Rate = 2.35", DataType::Numeric, 10,
            2, "2.35"},
        {"update Prices set Fee = 0.12345 where ID = 1", "select Fee from Prices where ID = 1 and Fee = 0.1235", DataType::Currency,
            10, 4, "0.1235"},
        {"declare @t table (M money); insert into @t values (2.71828); insert into Prices (ID, Price) select 4, M "
         "from @t",
            "select Price from Prices where ID = 4 and Price = 2.7183", DataType::Currency, 19, 4, "2.7183"},
        {"create table #Later (R decimal(4,1)); insert into #Later values (9.96); insert Prices (ID, Rate) select 5, "
         "R from #Later",
            "select Rate from Prices where ID = 5 and Rate = 10", DataType::Numeric, 10, 2, "10.00"},
    };
    for (const auto& t : cases) {
        if (*t.write) c->execute(QString::fromUtf8(t.write));
        expectExact(QString::fromUtf8(t.read), t.type, t.precision, t.scale, t.value);
    }
    EXPECT_THROW(c->execute("insert into MyTable values (1234, 0)"), Error);
    EXPECT_THROW(c->execute("update Prices set Fee = 214748.3648 where ID = 1"), Error);
    EXPECT_EQ(scalar(*c, "select count(*) from MyTable").toInt(), 1);
    expectExact("select Fee from Prices where ID = 1", DataType::Currency, 10, 4, "0.1235");

    // copied from typed columns: a column of the same type or a wider one takes the values as
    // they are, a narrower one still rounds them and refuses what it cannot hold
    c->execute("create table Copies (R decimal(3,1), W decimal(12,2), M money, S smalldatetime, D datetime)");
    c->execute("insert into Copies (R, W, M, S, D) select s.Rate, Rate, Fee, "
               "cast('2026-01-01 10:00:31.000' as datetime), cast('2026-01-01 10:00:31.000' as datetime) "
               "from Sales s where ID = 1");
    expectExact("select R from Copies where R = 12.5", DataType::Numeric, 3, 1, "12.5");
    expectExact("select W from Copies where W = 12.5", DataType::Numeric, 12, 2, "12.50");
    expectExact("select M from Copies where M = 1.1", DataType::Currency, 19, 4, "1.1000");
    c->execute("create table Later (S smalldatetime, D datetime)");
    c->execute("insert into Later select D, D from Copies");
    EXPECT_EQ(scalar(*c, "select convert(varchar(30), S, 120) + ' ' + convert(varchar(30), D, 121) from Later"),
        QVariant(QStringLiteral("2026-01-01 10:01:00 2026-01-01 10:00:31.000")));
    c->execute("create table Tight (R decimal(2,1))");
    EXPECT_THROW(c->execute("insert into Tight (R) select R from Copies"), Error);
}

// Every write into an integer or text column or variable converts as CAST to its type does:
// numeric to int truncates (10.6496 is 10, -10.6496 is -10), money to int rounds, bit takes any
// nonzero value as 1 and 'TRUE' and 'FALSE' as 1 and 0; an integer too long for a char or varchar
// is "*", money is written with its two decimals (style 0).
TEST_F(ExactValues, WritesToIntegerAndTextTargetsConvertAsCast)
{
    c->execute("create table W (ID int, I int, S smallint, B bit, V varchar(1), V10 varchar(10))");
    c->execute("create table Defaults (ID int, I int default 10.6496)");
    c->execute("insert into W (ID, I) values (1, 10)");
    c->execute("create procedure Texts @s varchar(1), @o int output, @t varchar(1) output as "
               "begin set @o = 12; set @t = @s end");
    const struct {
        const char* write;
        const char* read;
        const char* value;
    } cases[] = {
        {"update W set I = I + 2.6 where ID = 1", "select I from W where ID = 1", "12"},
        {"update W set I += 2.6 where ID = 1", "select I from W where ID = 1", "14"},
        {"insert into W (ID, I) values (2, 10.6496), (3, -10.6496)", "select I from W where ID = 3", "-10"},
        {"", "select I from W where ID = 2", "10"},
        {"insert into W (ID, I) select 4, -10.6496", "select I from W where ID = 4", "-10"},
        {"insert into W (ID, I) values (5, $10.6496)", "select I from W where ID = 5", "11"},
        {"declare @i int = $10.6496; update W set I = @i where ID = 5", "select I from W where ID = 5", "11"},
        {"merge W t using (select 2 as ID, 10.6496 as X) s on t.ID = s.ID when matched then update set t.S = s.X",
            "select S from W where ID = 2", "10"},
        {"insert into Defaults (ID) values (1)", "select I from Defaults", "10"},
        {"insert into W (ID, B) values (6, 2.5), (7, 'TRUE'), (8, 'FALSE')", "select count(*) from W where B = 1", "2"},
        {"", "select ID from W where B = 0", "8"},
        {"insert into W (ID, V) values (9, 12)", "select V from W where ID = 9", "*"},
        {"update W set V = 25 where ID = 1", "select V from W where ID = 1", "*"},
        {"declare @s varchar(1) = 12; update W set V10 = @s where ID = 2", "select V10 from W where ID = 2", "*"},
        {"insert into W (ID, V10) values (10, $10.5)", "select V10 from W where ID = 10", "10.50"},
        {"declare @x varchar(1), @y varchar(1); exec Texts 12, @x output, @y output; "
         "insert into W (ID, V, V10) values (11, @x, @y)",
            "select V + V10 from W where ID = 11", "**"},
    };
    for (const auto& t : cases) {
        if (*t.write) c->execute(QString::fromUtf8(t.write));
        EXPECT_EQ(scalar(*c, QString::fromUtf8(t.read)).toString(), QString::fromLatin1(t.value)) << t.write << " | " << t.read;
    }
}

TEST_F(ExactValues, SelectIntoMakesColumnsOfTheExpressionsType)
{
    c->execute("select City, sum(Amount) Tutar, sum(Rate) Oran, count(*) N into #Totals from Sales group by City");
    db::RecordsetPtr rs = c->execute("select * from #Totals order by City");
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->field(1).type, DataType::Currency);
    EXPECT_EQ(rs->field(2).type, DataType::Numeric);
    EXPECT_EQ(rs->field(2).precision, 38);
    EXPECT_EQ(rs->field(2).numericScale, 2);
    EXPECT_EQ(rs->field(3).type, DataType::Integer);
    EXPECT_EQ(rs->value(1).toString(), QStringLiteral("76493.74"));
    EXPECT_EQ(db::decimalOf(rs->value(2))->toString(), QStringLiteral("12.55"));
    // stored at its scale: an exact comparison finds it
    EXPECT_EQ(scalar(*c, "select count(*) from #Totals where Tutar = 76493.74").toInt(), 1);
    // and GetString, as ExportToText writes it
    rs->MoveFirst();
    EXPECT_EQ(rs->GetString(";", "|", "NULL"), QStringLiteral("Ankara;76493.74;12.55;2|İzmir;0.1;0.1;1|"));
}

TEST_F(ExactValues, StarsUnionsAndFunctionsKeepEachColumnInItsPlace)
{
    // a star before an expression: the expression's column is still found
    db::RecordsetPtr rs = c->execute("select s.*, s.Amount + 1 Plus, Weight W2 from Sales s where ID=1");
    ASSERT_EQ(rs->fieldCount(), 9);
    EXPECT_EQ(rs->field(2).type, DataType::Currency);   // the table's own Amount
    EXPECT_EQ(rs->field(7).type, DataType::Currency);   // Plus
    ASSERT_TRUE(db::isDecimal(rs->value(7)));
    EXPECT_EQ(db::decimalOf(rs->value(7))->toString(), QStringLiteral("20.9900"));
    EXPECT_EQ(rs->field(8).type, DataType::Double);

    expectExact("select coalesce(null, Rate, Amount) from Sales where ID=1", DataType::Numeric, 19, 4, "12.5000");
    expectExact("select abs(-Amount) from Sales where ID=1", DataType::Currency, 19, 4, "19.9900");
    expectExact("select round(Rate, 1) from Sales where ID=1", DataType::Numeric, 10, 2, "12.50");
    expectExact("select floor(Rate) from Sales where ID=1", DataType::Numeric, 10, 0, "12");
    expectExact(
        "select (select max(Rate) from Sales) + Amount from Sales where ID=3", DataType::Numeric, 20, 4, "12.6000");
    expectExact("select sum(Amount) from Sales where City in (select City from Sales where Rate > 1)",
        DataType::Currency, 19, 4, "76493.7400");
    expectExact(
        "select sum(case when City='Ankara' then Amount end) from Sales", DataType::Currency, 19, 4, "76493.7400");
    expectExact("select distinct Amount * Quantity from Sales s, (select 2 Quantity) q where ID=1", DataType::Currency,
        19, 4, "39.9800");
    // columns of derived tables
    expectExact("select x.Tutar from (select sum(Amount) Tutar from Sales) x", DataType::Currency, 19, 4, "76493.8400");
    expectExact("select * from (select sum(Amount) Tutar from Sales) as x", DataType::Currency, 19, 4, "76493.8400");
    expectExact("select Oran * 2 from (select City, sum(Rate) as Oran from Sales group by City) t where City='İzmir'",
        DataType::Numeric, 38, 2, "0.20");

    // a union's column takes every branch's type (money and decimal(10,2): decimal(19,4)); text,
    // counts and conditions are left alone
    expectExact("select Amount + 0 from Sales where ID=1 union all select Rate from Sales where ID=2", DataType::Numeric,
        19, 4, "19.9900");
    EXPECT_EQ(one("select City + 'x' from Sales where ID=1").first.type, DataType::VarChar);
    EXPECT_EQ(one("select count(distinct City) from Sales").first.type, DataType::Integer);
    EXPECT_EQ(one("select case when Amount > 1 then 'big' else 'small' end from Sales where ID=1").first.type,
        DataType::VarChar);
}
// Values and types that SQL Server's documentation gives: its precision and scale rules, the
// ranges of money and decimal, ROUND, POWER, ISNULL and AVG.
TEST_F(ExactValues, DocumentedValuesAndResultTypes)
{
    c->execute("create table Wide (M money, D decimal(38,4))");
    c->execute("insert into Wide values (922337203685477.5807, 12345678901234567890.1234)");
    c->execute("insert into Wide values (-922337203685477.5808, -0.0001)");
    // a sum whose double would drift from the exact 7649384000.00
    const QString rows = "with n(i) as (select 1 union all select i + 1 from n where i < 100000) ";
    double drift = 0;
    for (int k = 0; k < 100000; ++k) drift += 19.99 + 76473.75 + 0.10;
    ASSERT_NE(drift, 7649384000.0);
    const struct {
        const char* sql;
        DataType type;
        int precision, scale;
        const char* value;
    } cases[] = {
        {"select cast(12345678901234567890.1234 as decimal(38,4))", DataType::Numeric, 38, 4,
            "12345678901234567890.1234"},
        {"select cast(922337203685477.5807 as money)", DataType::Currency, 19, 4, "922337203685477.5807"},
        {"select cast(-922337203685477.5808 as money)", DataType::Currency, 19, 4, "-922337203685477.5808"},
        {"select cast(214748.3647 as smallmoney)", DataType::Currency, 10, 4, "214748.3647"},
        {"select max(M) from Wide", DataType::Currency, 19, 4, "922337203685477.5807"},
        {"select min(M) from Wide", DataType::Currency, 19, 4, "-922337203685477.5808"},
        {"select D from Wide where D > 1", DataType::Numeric, 38, 4, "12345678901234567890.1234"},
        {"select sum(D) from Wide", DataType::Numeric, 38, 4, "12345678901234567890.1233"},
        {"select cast(0.0000009000 as decimal(30,20)) * cast(1.0000000000 as decimal(30,20))", DataType::Numeric, 38,
            17, "0.00000090000000000"},
        {"select cast(0.0000009000 as decimal(30,10)) * cast(1.0000000000 as decimal(30,10))", DataType::Numeric, 38,
            6, "0.000001"},
        {"select 2147483649 / 2", DataType::Numeric, 16, 6, "1073741824.500000"},
        // % keeps the fractions of decimals and money
        {"select 10 % 3.5", DataType::Numeric, 2, 1, "3.0"},
        {"select -7.5 % 2", DataType::Numeric, 2, 1, "-1.5"},
        {"select cast(5.5 as money) % 2", DataType::Currency, 19, 4, "1.5000"},
        // money takes a currency symbol and commas
        {"select cast('$1,234.56' as money)", DataType::Currency, 19, 4, "1234.5600"},
        {"select cast('-$3148.29' as smallmoney)", DataType::Currency, 10, 4, "-3148.2900"},
        {"select round(748.58, -1)", DataType::Numeric, 5, 2, "750.00"},
        {"select round(748.58, -2)", DataType::Numeric, 5, 2, "700.00"},
        {"select round(748.58, -4)", DataType::Numeric, 5, 2, "0.00"},
        {"select round(cast(748.58 as decimal(6,2)), -3)", DataType::Numeric, 6, 2, "1000.00"},
        {"select round(123.9994, 3)", DataType::Numeric, 7, 4, "123.9990"},
        {"select round(123.9995, 3)", DataType::Numeric, 7, 4, "124.0000"},
        {"select round(123.4545, 2)", DataType::Numeric, 7, 4, "123.4500"},
        {"select round(123.45, -2)", DataType::Numeric, 5, 2, "100.00"},
        {"select round(150.75, 0)", DataType::Numeric, 5, 2, "151.00"},
        {"select round(150.75, 0, 1)", DataType::Numeric, 5, 2, "150.00"},
        {"select power(2.0, -100.0)", DataType::Numeric, 38, 1, "0.0"},
        {"select power(2.00, -100.0)", DataType::Numeric, 38, 2, "0.00"},
        {"select power(cast(2.0 as decimal(5,2)), -100.0)", DataType::Numeric, 38, 2, "0.00"},
        {"select power(2.0, 3)", DataType::Numeric, 38, 1, "8.0"},
        {"select sum(Amount) from Sales cross join n", DataType::Currency, 19, 4, "7649384000.0000"},
        {"select avg(Amount) from Sales cross join n", DataType::Currency, 19, 4, "25497.9467"},
        {"select sum(Amount) over (partition by City) from Sales where ID = 3", DataType::Currency, 19, 4, "0.1000"},
    };
    for (const auto& t : cases) {
        const QString sql = QString::fromLatin1(t.sql);
        // (the 100,000 rows take as many levels of recursion: no limit)
        expectExact(sql.contains(QLatin1String(" n")) ? rows + sql + QStringLiteral(" option (maxrecursion 0)") : sql,
            t.type, t.precision, t.scale, t.value);
    }
    // the first argument's type: int
    const struct {
        const char* sql;
        DataType type;
        const char* value;
    } integers[] = {
        {"select isnull(cast(null as int), 2.5)", DataType::Integer, "2"},
        {"select avg(ID) from Sales where ID in (1, 2)", DataType::Integer, "1"},
        {"select power(2, -100.0)", DataType::Integer, "0"},
        {"select power(cast(2.0 as int), -100.0)", DataType::Integer, "0"},
        {"select power(cast(2 as smallint), 3)", DataType::Integer, "8"},
        // a negative length rounds an integer or a float on the left of the point; the third
        // argument truncates
        {"select round(748, -1)", DataType::Integer, "750"},
        {"select round(cast(248 as tinyint), -2)", DataType::Integer, "200"},
        {"select round(748, -1, 1)", DataType::Integer, "740"},
        {"select round(cast(748 as bigint), -4)", DataType::BigInt, "0"},
        {"select round(cast(748.58 as float), -1)", DataType::Double, "750"},
        {"select round(cast(150.75 as float), 0, 1)", DataType::Double, "150"},
        {"select round(cast(-150.75 as float), 1, 1)", DataType::Double, "-150.7"},
        // DEGREES and RADIANS return their argument's type
        {"select radians(180)", DataType::Integer, "3"},
        {"select degrees(1)", DataType::Integer, "57"},
        // money to int rounds; decimal to int truncates
        {"select cast(cast(564.99 as money) as int)", DataType::Integer, "565"},
        {"select cast(10.6496 as int)", DataType::Integer, "10"},
        {"select cast(-10.6496 as int)", DataType::Integer, "-10"},
    };
    for (const auto& t : integers) {
        const auto [f, v] = one(QString::fromLatin1(t.sql));
        EXPECT_EQ(f.type, t.type) << t.sql;
        EXPECT_EQ(v.toString(), QString::fromLatin1(t.value)) << t.sql;
    }
}

// Arithmetic whose result has more digits than a double carries keeps every digit, at the
// result type the precision and scale rules give.
TEST_F(ExactValues, ArithmeticBeyondADoublesDigitsIsExact)
{
    c->execute("create table Wide (D decimal(38,4), M money)");
    c->execute("insert into Wide values (12345678901234567890.1234, 922337203685477.5807)");
    const struct {
        const char* sql;
        DataType type;
        int precision, scale;
        const char* value;
    } cases[] = {
        {"select cast(12345678901234567890.1234 as decimal(38,4)) + 1", DataType::Numeric, 38, 4,
            "12345678901234567891.1234"},
        {"select D + 1 from Wide", DataType::Numeric, 38, 4, "12345678901234567891.1234"},
        {"select D - D * 2 from Wide", DataType::Numeric, 38, 4, "-12345678901234567890.1234"},
        {"select 1 + D * 2 - 3 from Wide", DataType::Numeric, 38, 4, "24691357802469135778.2468"},
        {"select D / 2 from Wide", DataType::Numeric, 38, 6, "6172839450617283945.061700"},
        {"select D % D from Wide", DataType::Numeric, 38, 4, "0.0000"},
        {"select M - 0.0001 from Wide", DataType::Numeric, 20, 4, "922337203685477.5806"},
        {"select cast(0.0000009000 as decimal(30,20)) * cast(1.0000000000 as decimal(30,20))", DataType::Numeric, 38,
            17, "0.00000090000000000"},
    };
    for (const auto& t : cases) expectExact(QString::fromLatin1(t.sql), t.type, t.precision, t.scale, t.value);
    for (const char* sql : {"select D * D from Wide", "select D / 0 from Wide"}) {
        try {
            db::RecordsetPtr rs = c->execute(sql);
            ADD_FAILURE() << sql << " ran";
        } catch (const Error&) {
        }
    }
}

// Values beyond a double's digits compare, sort and find their least and greatest exactly,
// whatever their scales; a unary minus keeps the operand's type and digits.
TEST_F(ExactValues, ComparisonsBeyondADoublesDigitsAreExact)
{
    c->execute("create table Wide (ID int, D decimal(38,4), E decimal(38,2), M money)");
    c->execute("insert into Wide values (1, 12345678901234567890.1234, 12345678901234567890.12, 922337203685477.5807),"
               " (2, 12345678901234567890.1235, 1, 922337203685477.5806),"
               " (3, -12345678901234567890.1234, -5, -922337203685477.5808),"
               " (4, 12345678901234567890.1200, 12345678901234567890.13, 0), (5, 5.5, null, 5.5)");
    auto rows = [&](const char* sql) {
        QStringList out;
        for (db::RecordsetPtr rs = c->execute(sql); !rs->isEOF(); rs->MoveNext()) {
            QStringList row;
            for (int i = 0; i < rs->fieldCount(); ++i) {
                const QVariant v = rs->value(i);
                row << (db::isDecimal(v) ? db::decimalOf(v)->toString() : v.toString());
            }
            out << row.join(u'|');
        }
        return out.join(u',');
    };
    const struct {
        const char* sql;
        const char* rows;
    } cases[] = {
        {"select ID from Wide where D > 1 order by ID", "1,2,4,5"},
        {"select ID from Wide where D < 0", "3"},
        {"select ID from Wide where D = 12345678901234567890.1234", "1"},
        {"select ID from Wide where D <> 12345678901234567890.1234 and D >= 12345678901234567890.12 order by ID",
            "2,4"},
        {"select ID from Wide where D in (12345678901234567890.1235, 5.5) order by ID", "2,5"},
        {"select ID from Wide where D not between -1 and 12345678901234567890.1234 order by ID", "2,3"},
        {"select ID from Wide where M > 922337203685477.5806", "1"},
        {"select ID from Wide where '12345678901234567890.1235' = D", "2"},
        {"select ID from Wide order by D", "3,5,4,1,2"},
        {"select ID from Wide order by M desc, ID", "1,2,5,4,3"},
        {"select min(D), max(D), min(M), max(M), min(E) from Wide",
            "-12345678901234567890.1234|12345678901234567890.1235|-922337203685477.5808|922337203685477.5807|-5.00"},
        {"select a.ID, b.ID from Wide a join Wide b on a.D = b.E", "4|1"},
        {"select ID from Wide where D in (select E from Wide)", "4"},
        {"select ID from Wide where D not in (select E from Wide where E is not null) order by ID", "1,2,3,5"},
        {"select ID, case D when 12345678901234567890.12 then 'equal' else 'other' end from Wide where ID in (1, 4)"
         " order by ID",
            "1|other,4|equal"},
        {"select count(*) from Wide a join Wide b on a.D < b.E", "9"},
        {"declare @a decimal(38,4) = 12345678901234567890.1234, @b decimal(38,4) = 12345678901234567890.1235; "
         "select case when @a < @b then 'below' else 'not below' end",
            "below"},
        {"declare @a decimal(38,4) = -12345678901234567890.1234; if @a < 1 select 'below' else select 'not below'",
            "below"},
        {"declare @d decimal(38,4) = 12345678901234567890.1234; select -@d + 1, -@d", 
            "-12345678901234567889.1234|-12345678901234567890.1234"},
        {"select -D from Wide where ID in (1, 5) order by ID", "-12345678901234567890.1234,-5.5000"},
        {"select D, count(*) from Wide group by D having count(*) = 1 and D > 12345678901234567890.1234", 
            "12345678901234567890.1235|1"},
        {"select count(distinct D) from Wide", "5"},
    };
    for (const auto& t : cases) EXPECT_EQ(rows(t.sql), QString::fromLatin1(t.rows)) << t.sql;
}

// What the server refuses, it refuses: overflow, and IIF of two NULL constants.
TEST_F(ExactValues, OverflowsAndNullOnlyResultsAreErrors)
{
    c->execute("create table Extremes (I int)");
    c->execute("insert into Extremes values (-2147483648)");
    const struct {
        const char* sql;
        const char* message;   // empty: the documentation names no text
        long number;           // 0: the documentation names no number
    } cases[] = {
        {"select abs(I) from Extremes", "Arithmetic overflow error converting expression to data type int.", 8115},
        // integer arithmetic overflows its type (SQLite would widen the int, float the bigint)
        {"select 2147483647 + 1", "Arithmetic overflow error converting expression to data type int.", 8115},
        {"select 65536 * 65536", "Arithmetic overflow error converting expression to data type int.", 8115},
        // from the left: the first step overflows though the whole would fit
        {"select 2147483647 + 1 - 1", "Arithmetic overflow error converting expression to data type int.", 8115},
        {"declare @a int = 2147483647; select @a * 2 / 2", "Arithmetic overflow error converting expression to data type int.",
            8115},
        {"select I - 1 from Extremes", "Arithmetic overflow error converting expression to data type int.", 8115},
        {"select cast(9223372036854775807 as bigint) + 1",
            "Arithmetic overflow error converting expression to data type bigint.", 8115},
        // tinyint with tinyint is a tinyint (0 to 255), smallint with smallint a smallint
        {"declare @a tinyint = 255, @b tinyint = 1; select @a + @b",
            "Arithmetic overflow error converting expression to data type tinyint.", 8115},
        {"declare @a tinyint = 0, @b tinyint = 1; select @a - @b",
            "Arithmetic overflow error converting expression to data type tinyint.", 8115},
        {"declare @a smallint = 200, @b tinyint = 200; select @a * @b",
            "Arithmetic overflow error converting expression to data type smallint.", 8115},
        {"select round(748.58, -3)", "", 0},
        // a text beside an int converts to int, which has the higher precedence
        {"DECLARE @notastring INT; SET @notastring = '1'; SELECT @notastring + ' is not a string.' AS Result",
            "Conversion failed when converting the varchar value ' is not a string.' to data type int.", 245},
        {"select '1.5' + 1", "Conversion failed when converting the varchar value '1.5' to data type int.", 245},
        {"declare @s varchar(10) = '2.5'; select 2 * @s",
            "Conversion failed when converting the varchar value '2.5' to data type int.", 245},
        {"select cast(-2147483648 as int) / -1", "Arithmetic overflow error converting expression to data type int.",
            8115},
        {"select cast(3.5e38 as real)", "Arithmetic overflow error converting expression to data type real.", 8115},
        {"select cast('12x' as money)", "Cannot convert a char value to money. The char value has incorrect syntax.",
            235},
        // a float beyond its range is no infinity
        {"select cast(1e308 as float) * 10", "Arithmetic overflow error converting expression to data type float.", 8115},
        // % takes integers, money and decimals only
        {"select cast(7 as float) % 2", "The data types float and int are incompatible in the modulo operator.", 402},
        {"select round(2147483647, -1)", "Arithmetic overflow error converting expression to data type int.", 8115},
        // POWER's result does not fit its type
        {"select power(2, 31)", "Arithmetic overflow error converting expression to data type int.", 8115},
        {"select power(cast(2 as bigint), 63)", "Arithmetic overflow error converting expression to data type bigint.",
            8115},
        // SUM of int is an int, of bigint a bigint; bit is no operand of SUM or AVG
        {"select sum(I) from (values (2147483647), (1)) v(I)",
            "Arithmetic overflow error converting expression to data type int.", 8115},
        {"select sum(I) over (order by I) from (values (2147483647), (1)) v(I)",
            "Arithmetic overflow error converting expression to data type int.", 8115},
        {"select sum(cast(I as bigint)) from (values (9223372036854775807), (1)) v(I)",
            "Arithmetic overflow error converting expression to data type bigint.", 8115},
        {"select sum(cast(1 as bit))", "Operand data type bit is invalid for sum operator.", 8117},
        {"select avg(cast(1 as bit))", "Operand data type bit is invalid for avg operator.", 8117},
        // a float function outside its domain, or beyond a float's range
        {"select sqrt(-1)", "An invalid floating point operation occurred.", 3623},
        {"select acos(2)", "An invalid floating point operation occurred.", 3623},
        {"select log10(0)", "An invalid floating point operation occurred.", 3623},
        {"select exp(1000)", "An invalid floating point operation occurred.", 3623},
        {"select power(-8.0e0, 0.5)", "An invalid floating point operation occurred.", 3623},
        {"select cast(922337203685477.5808 as money)", "", 0},
        {"select cast(214748.3648 as smallmoney)", "", 0},
        {"select iif(45 > 30, null, null)", "", 0},
        // a number too long for the text it converts to (int to nchar; decimal, money, float to any)
        {"select cast(12 as nchar(1))", "", 0},
        {"select cast(12.5 as varchar(2))", "", 0},
        {"select cast(cast(1234.5 as money) as char(5))", "", 0},
        {"select cast(cast(12.5 as float) as nvarchar(2))", "", 0},
        // a value out of an integer type's range, text that is no whole number
        {"select cast(300 as tinyint)", "Arithmetic overflow error for data type tinyint, value = 300.", 220},
        {"declare @w table (T tinyint); insert @w values (256)",
            "Arithmetic overflow error for data type tinyint, value = 256.", 220},
        {"declare @w table (S smallint); insert @w values (1); update @w set S = 32768",
            "Arithmetic overflow error for data type smallint, value = 32768.", 220},
        {"declare @w table (I int); insert @w values (2147483648)",
            "Arithmetic overflow error converting expression to data type int.", 8115},
        {"declare @w table (I int); insert @w values ('2.5')",
            "Conversion failed when converting the varchar value '2.5' to data type int.", 245},
        {"declare @w table (T tinyint); insert @w values ('300')",
            "The conversion of the varchar value '300' overflowed an tinyint column. Use a larger integer column.", 244},
        {"declare @w table (N nvarchar(1)); insert @w values (12)", "", 0},
        {"declare @s varchar(1) = 12.5", "", 0},
        {"select cast('2025-02-30' as datetime)",
            "The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.", 242},
    };
    for (const auto& t : cases) {
        try {
            db::RecordsetPtr rs = c->execute(t.sql);
            ADD_FAILURE() << t.sql << " ran";
        } catch (const Error& e) {
            if (*t.message) {
                EXPECT_EQ(e.description(), QString::fromLatin1(t.message)) << t.sql;
            }
            if (t.number) {
                EXPECT_EQ(c->errors().first().nativeError, t.number) << t.sql;
            }
        }
    }
    // with arithabort and ansi_warnings on, as sessions have them, an overflow ends its query and
    // the batch goes on
    db::RecordsetPtr rs = c->execute("declare @a tinyint = 255; select 1; select @a + @a; select 2");
    EXPECT_THROW(rs->NextRecordset(), Error);
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0).toInt(), 2);
}

// A column without an alias has no name; alias = expression names it, a searched case too.
TEST_F(ExactValues, ColumnsAreNamedAsTheServerNamesThem)
{
    db::RecordsetPtr rs = c->execute("select ID + 1, Amount, s.City, Rate r, x = ID * 2, \"Band\" = case when Amount > "
                                     "100 then 'high' else 'low' end, @@rowcount, count(*) over () from Sales s "
                                     "where ID = 2");
    ASSERT_EQ(rs->fieldCount(), 8);
    const char* names[] = {"", "Amount", "City", "r", "x", "Band", "", ""};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(rs->field(k).name, QString::fromLatin1(names[k])) << k;
    EXPECT_EQ(rs->value(4).toInt(), 4);
    EXPECT_EQ(rs->value(5).toString(), QStringLiteral("high"));
}

// Conversions to and from binary and varbinary, and CONVERT's binary and money styles.
TEST_F(ExactValues, BinaryConversionsAndStyles)
{
    const struct {
        const char* sql;
        const char* bytes;   // hexadecimal digits of a binary result
    } binaries[] = {
        {"select cast(0x41FF as varbinary(10))", "41ff"},
        {"select cast(16895 as varbinary(4))", "000041ff"},
        {"select cast(123456 as binary(4))", "0001e240"},
        {"select cast(123456 as binary(2))", "e240"},
        {"select cast('Name' as varbinary(max))", "4e616d65"},
        {"select convert(binary(8), 'Name', 0)", "4e616d6500000000"},
        {"select convert(binary(4), '0x4E616D65', 1)", "4e616d65"},
        {"select convert(binary(4), '4E616D65', 2)", "4e616d65"},
        // Unicode text takes two bytes a character: an odd byte is a character of its own
        {"select cast(cast(0x41 as nvarchar) as varbinary)", "4100"},
    };
    for (const auto& t : binaries) {
        const auto [f, v] = one(QString::fromLatin1(t.sql));
        EXPECT_EQ(v.toByteArray().toHex(), QByteArray(t.bytes)) << t.sql;
    }
    const struct {
        const char* sql;
        const char* text;
    } values[] = {
        {"select cast(cast(123456 as binary(2)) as int)", "57920"},
        // an int, smallint or tinyint too long for a char or varchar is "*"
        {"select cast(12 as char(1))", "*"},
        {"select cast(cast(255 as tinyint) as varchar(2))", "*"},
        {"select cast(-5 as char(2))", "-5"},
        {"select convert(char(8), 0x4E616d65, 0)", "Name    "},
        {"select convert(char(8), 0x4E616d65, 1)", "0x4E616D"},
        {"select convert(char(8), 0x4E616d65, 2)", "4E616D65"},
        {"select convert(varchar(12), cast(1453719.4653 as money), 1)", "1,453,719.47"},
        {"select convert(varchar(12), cast(4235.98 as money), 0)", "4235.98"},
        {"select convert(varchar(12), cast(3510.92 as money), 1)", "3,510.92"},
        {"select convert(varchar(12), cast(4235.9819 as money), 2)", "4235.9819"},
        // a value converted to binary of a length that holds it and back is the same value
        {"select cast(cast(cast(123.45 as decimal(5,2)) as varbinary(20)) as decimal(5,2))", "123.45"},
        {"select cast(cast(cast(-12345678901234567890.1234 as decimal(38,4)) as varbinary(30)) as decimal(38,4))",
            "-12345678901234567890.1234"},
        {"select convert(varchar(30), cast(cast(cast('1998-01-01 23:59:59.997' as datetime) as binary(8)) as "
         "datetime), 121)",
            "1998-01-01 23:59:59.997"},
        {"select convert(varchar(30), cast(cast(cast('2007-05-08 12:35:29' as smalldatetime) as varbinary(4)) as "
         "smalldatetime), 120)",
            "2007-05-08 12:35:00"},
    };
    for (const auto& t : values) EXPECT_EQ(one(QString::fromLatin1(t.sql)).second.toString(), QString::fromLatin1(t.text)) << t.sql;
}


// The values that come from several branches (UNION, EXCEPT, INTERSECT, CASE, COALESCE, IIF)
// and from windows take the type the documentation's rules give: for decimals precision
// max(s1, s2) + max(p1 - s1, p2 - s2) and scale max(s1, s2), else the type of higher
// precedence. Values equal at different scales are one value to a union, DISTINCT and GROUP BY;
// MIN, MAX, FIRST_VALUE, LAST_VALUE, LAG and LEAD over windows keep their argument's type and
// compare exactly beyond a double's digits.
TEST_F(ExactValues, BranchesAndWindowsTakeTheDocumentedType)
{
    c->execute("create table W (G int, D decimal(30,4))");
    c->execute("insert into W values (1, 12345678901234567890.1234), (1, 2.5), (2, -12345678901234567890.1234), (2, 7)");
    const QString wide1 = "cast(12345678901234567890.1 as decimal(30,1))", wide2 = "cast(12345678901234567890.10 as decimal(30,2))";
    const QString big1 = "cast(12345678901234567.01 as decimal(38,2))", big2 = "cast(9345678901234567.01 as decimal(38,2))",
                  big3 = "cast(12345678901234567.02 as decimal(38,2))";
    c->execute("select * into #Copied from (values (cast(1.5 as money)), (cast(2.25 as money))) v(a)");
    c->execute("create table Written (d decimal(38,2))");
    c->execute("insert into Written select a * 3 from (values (" + big1 + ")) v(a)");
    c->execute("create table Pv (Cat varchar(10), Yr int, Amount money)");
    c->execute("insert into Pv values ('a', 2020, 1.10), ('a', 2021, 2.2), ('b', 2020, 922337203685477.5807)");
    const struct {
        QString sql;
        DataType type;
        int precision, scale;
        QStringList values;
    } cases[] = {
        {"select cast(1 as decimal(5,1)) x union all select cast(1 as decimal(5,2))", DataType::Numeric, 6, 2,
            {"1.00", "1.00"}},
        {"select x from (select cast(1 as decimal(5,1)) x union all select cast(1 as decimal(5,2))) q", DataType::Numeric,
            6, 2, {"1.00", "1.00"}},
        {"select cast(1.5 as decimal(5,1)) union select cast(1.50 as decimal(5,2))", DataType::Numeric, 6, 2, {"1.50"}},
        {"select " + wide1 + " union select " + wide2, DataType::Numeric, 31, 2, {"12345678901234567890.10"}},
        {"select 1 union all select 2.5", DataType::Numeric, 11, 1, {"1.0", "2.5"}},
        {"select Amount from Sales where ID=1 union all select Rate from Sales where ID=1", DataType::Numeric, 19, 4,
            {"19.9900", "12.5000"}},
        {"select ID from Sales where ID=1 union all select Fee from Sales where ID=1", DataType::Currency, 10, 4,
            {"1.0000", "1.1000"}},
        {"select Rate from Sales except select cast(12.5 as decimal(4,1)) order by 1", DataType::Numeric, 10, 2,
            {"0.05", "0.10"}},
        {"select Share from Sales intersect select cast(0.25 as decimal(3,2))", DataType::Numeric, 5, 3, {"0.250"}},
        {"select distinct case when ID = 1 then " + wide1 + " else " + wide2 + " end from Sales", DataType::Numeric, 31,
            2, {"12345678901234567890.10"}},
        {"select iif(ID = 1, " + wide1 + ", " + wide2 + ") from Sales group by iif(ID = 1, " + wide1 + ", " + wide2 + ")",
            DataType::Numeric, 31, 2, {"12345678901234567890.10"}},
        {"select coalesce(Share, Amount) from Sales where ID = 3", DataType::Numeric, 19, 4, {"0.0010"}},
        {"select min(D) over (partition by G) from W where G = 2", DataType::Numeric, 30, 4,
            {"-12345678901234567890.1234", "-12345678901234567890.1234"}},
        {"select max(D) over (partition by G) from W where G = 2", DataType::Numeric, 30, 4, {"7.0000", "7.0000"}},
        {"select max(D) over (order by D rows between 1 preceding and current row) from W order by D", DataType::Numeric,
            30, 4, {"-12345678901234567890.1234", "2.5000", "7.0000", "12345678901234567890.1234"}},
        {"select first_value(D) over (partition by G order by D) from W where G = 2", DataType::Numeric, 30, 4,
            {"-12345678901234567890.1234", "-12345678901234567890.1234"}},
        {"select last_value(D) over (order by D rows between current row and unbounded following) from W where G = 1",
            DataType::Numeric, 30, 4, {"12345678901234567890.1234", "12345678901234567890.1234"}},
        {"select lag(D) over (order by D) from W order by D", DataType::Numeric, 30, 4,
            {"NULL", "-12345678901234567890.1234", "2.5000", "7.0000"}},
        {"select lead(Rate) over (order by ID) from Sales", DataType::Numeric, 10, 2, {"0.05", "0.10", "NULL"}},
        {"select min(Amount) over () from Sales where ID = 3", DataType::Currency, 19, 4, {"0.1000"}},
        // a windowed aggregate is one operand, its over clause with it
        {"select D - sum(D) over (partition by G) from W where G = 2 order by D", DataType::Numeric, 38, 4,
            {"-7.0000", "12345678901234567890.1234"}},
        // VALUES rows combine as UNION ALL does; derived tables, pivots and their column lists keep the types
        {"select a from (values (cast(1.5 as money)), (2.25)) v(a)", DataType::Numeric, 19, 4, {"1.5000", "2.2500"}},
        {"select a from (values ($1.5), (cast(2.25 as money))) v(a) order by a desc", DataType::Currency, 19, 4,
            {"2.2500", "1.5000"}},
        {"select a from (values (" + big1 + "), (" + big2 + "), (-5), (" + big3 + ")) v(a) order by a", DataType::Numeric,
            38, 2, {"-5.00", "9345678901234567.01", "12345678901234567.01", "12345678901234567.02"}},
        {"select distinct a from (values (" + wide1 + "), (" + wide2 + ")) as v (a)", DataType::Numeric, 31, 2,
            {"12345678901234567890.10"}},
        {"select b from (values (" + big1 + ", $2), (" + big1 + ", $1), (-5, $3)) v(a, b) order by a desc, b",
            DataType::Currency, 19, 4, {"1.0000", "2.0000", "3.0000"}},
        {"select max(a) from (values (" + big1 + "), (" + big3 + "), (-5)) v(a)", DataType::Numeric, 38, 2,
            {"12345678901234567.02"}},
        {"select a from (select a, row_number() over (order by a desc) n from (values (" + big1 + "), (" + big3
                + "), (-5)) v(a)) x where n = 1",
            DataType::Numeric, 38, 2, {"12345678901234567.02"}},
        {"select a from (select " + wide1 + " union all select " + wide2 + " union all select 1) x (a) group by a order by a desc",
            DataType::Numeric, 31, 2, {"12345678901234567890.10", "1.00"}},
        {"select a + 1 from (select cast(1 as decimal(5,1)), 2) x (a, b)", DataType::Numeric, 6, 1, {"2.0"}},
        {"select a * 3 from #Copied", DataType::Currency, 19, 4, {"4.5000", "6.7500"}},
        {"select d from Written", DataType::Numeric, 38, 2, {"37037036703703701.03"}},
        {"select [2020] from Pv pivot (sum(Amount) for Yr in ([2020], [2021])) p order by [2020] desc",
            DataType::Currency, 19, 4, {"922337203685477.5807", "1.1000"}},
        {"select [1] from (select G, D, 'k' K from W) s pivot (sum(D) for G in ([1], [2])) p", DataType::Numeric, 38, 4,
            {"12345678901234567892.6234"}},
        {"select [2] from (select G, D, 'k' K from W) s pivot (avg(D) for G in ([1], [2])) p", DataType::Numeric, 38, 6,
            {"-6172839450617283941.561700"}},
        // a union's own order compares exactly, by name and by position
        {"select " + big1 + " a union all select " + big2 + " union all select -5 union all select " + big3 + " order by a desc",
            DataType::Numeric, 38, 2, {"12345678901234567.02", "12345678901234567.01", "9345678901234567.01", "-5.00"}},
        {"select " + big1 + " union all select " + big2 + " union all select -5 order by 1", DataType::Numeric, 38, 2,
            {"-5.00", "9345678901234567.01", "12345678901234567.01"}},
        {"select D from W except select cast(7 as decimal(30,4)) order by D", DataType::Numeric, 30, 4,
            {"-12345678901234567890.1234", "2.5000", "12345678901234567890.1234"}},
        // a table variable's columns keep their declared types
        {"set nocount on; declare @t table (D decimal(30,2), M money); insert @t values (12345678901234567.25, 0.5); "
         "select D * 2 from @t",
            DataType::Numeric, 32, 2, {"24691357802469134.50"}},
    };
    for (const auto& t : cases) {
        const auto [f, values] = column(t.sql);
        EXPECT_EQ(f.type, t.type) << t.sql.toStdString();
        EXPECT_EQ(f.precision, t.precision) << t.sql.toStdString();
        EXPECT_EQ(f.numericScale, t.scale) << t.sql.toStdString();
        EXPECT_EQ(values, t.values) << t.sql.toStdString();
    }
    // money 0.5 into an int rounds to 1, read from a table variable's column too, and @i += M
    // converts the sum 1.5 as @i = @i + M does
    EXPECT_EQ(column("set nocount on; declare @t table (M money); insert @t values (0.5); declare @i int = 1, @j int; "
                     "select @j = M from @t; update @t set @i += M, M = M; select @i * 10 + @j")
                  .second,
        QStringList{"21"});
    EXPECT_EQ(column("declare @k int = 1; set @k += $0.5; select @k").second, QStringList{"2"});
    // dates keep their type through derived tables, VALUES and common table expressions
    const struct {
        const char* sql;
        DataType type;
        QStringList values;
    } dates[] = {
        {"select a from (values (cast('2020-01-01' as date)), ('20200102')) v(a) order by a desc", DataType::DBDate,
            {"2020-01-02", "2020-01-01"}},
        {"with c as (select cast('2020-01-01' as date) a) select a from c", DataType::DBDate, {"2020-01-01"}},
        {"select a from (select cast('2020-01-01 10:00' as datetime) a union all select '20200102') x order by a",
            DataType::DBTimeStamp, {"2020-01-01T10:00:00.000Z", "2020-01-02T00:00:00.000Z"}},
    };
    for (const auto& t : dates) {
        const auto [f, values] = column(t.sql);
        EXPECT_EQ(f.type, t.type) << t.sql;
        EXPECT_EQ(values, t.values) << t.sql;
    }
}

// A result column's field (type, defined size) is its expression's type, not its values':
// a concatenation is as long as its parts together, a union's text as its longer branch, a
// union's number of the type of higher precedence, ISNULL of its first argument's type.
TEST_F(ExactValues, ResultFieldsComeFromTheTypedExpression)
{
    const struct {
        const char* sql;
        DataType type;
        long size;
    } cases[] = {
        {"select City + 'x' from Sales", DataType::VarChar, 21},
        {"select isnull(City, 'abc') from Sales", DataType::VarChar, 20},
        {"select case when ID = 1 then City else 'x' end from Sales", DataType::VarChar, 20},
        {"select City from Sales union all select 'a much longer text than twenty'", DataType::VarChar, 30},
        {"select 'ab' union all select 'abcd'", DataType::VarChar, 4},
        {"select coalesce(City, N'x') from Sales", DataType::VarWChar, 20},
        {"select ID from Sales where ID = 1 union all select cast(5 as bigint)", DataType::BigInt, 8},
        {"select ID from Sales where ID = 1 union all select Weight from Sales where ID = 1", DataType::Double, 8},
    };
    for (const auto& t : cases) {
        db::RecordsetPtr rs = c->execute(t.sql);
        EXPECT_EQ(rs->field(0).type, t.type) << t.sql;
        EXPECT_EQ(rs->field(0).definedSize, t.size) << t.sql;
    }
}

// A client's date parameters compare and count as dates: "where d <= ?" with a datetime holds
// for the same instant, "? + 1" is the next day (a number added to a datetime counts days).
// Its exact parameters keep every digit (more than a double's 15) as a value, in a column and in
// a comparison: money's largest value is 922,337,203,685,477.5807.
TEST_F(ExactValues, DateParametersKeepTheirType)
{
    const QVariant big = db::decimalVariant(*Decimal::parse(u"12345678901234567.89"));
    const QVariant largestMoney = db::decimalVariant(*Decimal::parse(u"922337203685477.5807"));
    c->execute("create table Big (ID int, D decimal(38,2))");
    c->execute("insert into Big values (1, ?)", {big});
    c->execute("insert into Sales (ID, Amount) values (9, ?)", {largestMoney});
    const struct {
        const char* sql;
        QList<QVariant> params;
        const char* value;
    } exact[] = {
        {"select ?", {big}, "12345678901234567.89"},
        {"select D from Big where ID = 1", {}, "12345678901234567.89"},
        {"select count(*) from Big where D = ?", {big}, "1"},
        {"select Amount from Sales where ID = 9", {}, "922337203685477.5807"},
        {"select count(*) from Sales where Amount = ?", {largestMoney}, "1"},
    };
    for (const auto& t : exact) {
        db::RecordsetPtr rs = c->execute(t.sql, t.params);
        ASSERT_FALSE(rs->isEOF()) << t.sql;
        const QVariant v = rs->value(0);
        EXPECT_EQ(db::isDecimal(v) ? db::decimalOf(v)->toString() : v.toString(), QString::fromLatin1(t.value)) << t.sql;
    }

    c->execute("create table Orders (ID int, OrderDate datetime)");
    c->execute("insert into Orders values (1, '2025-06-01'), (2, '2025-06-01 10:00'), (3, '2025-06-02')");
    const QDateTime june1(QDate(2025, 6, 1), QTime(0, 0));
    const struct {
        const char* sql;
        QList<QVariant> params;
        QVariant value;
    } cases[] = {
        {"select count(*) from Orders where OrderDate <= ?", {june1}, 1},
        {"select count(*) from Orders where OrderDate >= ? and OrderDate < ? + 1", {june1, june1}, 2},
        {"select count(*) from Orders where OrderDate = ?", {QDate(2025, 6, 2)}, 1},
        {"select ? + 1", {QDateTime(QDate(2025, 6, 1), QTime(10, 0))}, QDateTime(QDate(2025, 6, 2), QTime(10, 0))},
        {"select datediff(day, ?, OrderDate) from Orders where ID = 3", {QDate(2025, 6, 1)}, 1},
    };
    for (const auto& t : cases) {
        db::RecordsetPtr rs = c->execute(t.sql, t.params);
        ASSERT_FALSE(rs->isEOF()) << t.sql;
        EXPECT_EQ(rs->value(0), t.value) << t.sql << " gave " << rs->value(0).toString().toStdString();
    }
}
