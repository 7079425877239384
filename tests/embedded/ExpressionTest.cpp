// Expressions on the embedded server as SQL Server evaluates them: conversions to date,
// binary literals, division by zero, bigint overflow, top, long '+' chains.

#include "EmbeddedFixture.h"

#include "platform/db/Recordset.h"
#include "platform/db/embedded/TsqlTranslator.h"

namespace orra::embedded::test {

namespace {

QString errorOf(db::Connection& c, const QString& sql)
{
    try {
        db::RecordsetPtr rs = c.execute(sql);
        while (rs && !rs->isOpen() && rs->NextRecordset()) {
        }
    } catch (const orra::Error& e) {
        return e.description();
    }
    return QStringLiteral("(no error)");
}

}   // namespace

TEST_F(EmbeddedTest, CastAndConvertToDateDropTheTime)
{
    auto c = connect();
    c->execute(QStringLiteral("create table Orders (ID int, OrderDate datetime)"));
    c->execute(QStringLiteral("insert into Orders values (1, '2025-01-18 12:00:00')"));
    c->execute(QStringLiteral("insert into Orders values (2, '2025-01-19 08:30:00')"));
    EXPECT_EQ(
        scalar(*c, QStringLiteral("select count(*) from Orders where cast(OrderDate as date)='2025-01-18'")).toInt(),
        1);
    EXPECT_EQ(
        scalar(*c, QStringLiteral("select ID from Orders where convert(date, OrderDate)='2025-01-19'")).toInt(), 2);
    EXPECT_EQ(scalar(*c, QStringLiteral("select convert(date, OrderDate, 120) from Orders where ID=1")).toDate(),
        QDate(2025, 1, 18));
    EXPECT_EQ(scalar(*c, QStringLiteral("select cast('2025-01-18T12:00:00' as time)")).toTime(), QTime(12, 0));
    EXPECT_EQ(errorOf(*c, QStringLiteral("select cast(1.5 as date)")),
        QStringLiteral("Explicit conversion from data type float to date is not allowed."));
    EXPECT_EQ(errorOf(*c, QStringLiteral("select cast('someday' as date)")),
        QStringLiteral("Conversion failed when converting date and/or time from character string."));
}

TEST_F(EmbeddedTest, HexadecimalLiteralsAreBinary)
{
    auto c = connect();
    c->execute(QStringLiteral("create table B (ID int, Data varbinary(20))"));
    c->execute(QStringLiteral("insert into B values (1, 0x0102)"));
    c->execute(QStringLiteral("insert into B values (2, 0x)"));
    c->execute(QStringLiteral("insert into B values (3, 0xABC)"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select Data from B where ID=1")).toByteArray(), QByteArray("\x01\x02", 2));
    EXPECT_EQ(scalar(*c, QStringLiteral("select Data from B where ID=2")).toByteArray(), QByteArray());
    EXPECT_EQ(scalar(*c, QStringLiteral("select Data from B where ID=3")).toByteArray(), QByteArray("\x0a\xbc", 2));
    EXPECT_EQ(scalar(*c, QStringLiteral("select ID from B where Data=0x0102")).toInt(), 1);
    EXPECT_EQ(scalar(*c, QStringLiteral("select 0x01 + 0x02")).toByteArray(), QByteArray("\x01\x02", 2));
}

TEST_F(EmbeddedTest, DivisionByZeroIsAnError)
{
    auto c = connect();
    const QString message = QStringLiteral("Divide by zero error encountered.");
    EXPECT_EQ(errorOf(*c, QStringLiteral("select 1/0")), message);
    EXPECT_EQ(errorOf(*c, QStringLiteral("select 10 % (3-3)")), message);
    EXPECT_EQ(errorOf(*c, QStringLiteral("select 1.5/0.0")), message);
    c->execute(QStringLiteral("create table N (A int, B int)"));
    c->execute(QStringLiteral("insert into N values (7, 2)"));
    c->execute(QStringLiteral("insert into N values (7, 0)"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select A/B from N where B<>0")).toInt(), 3);
    EXPECT_EQ(scalar(*c, QStringLiteral("select A/abs(B)*2 + 1 from N where B=2")).toInt(), 7);
    EXPECT_EQ(errorOf(*c, QStringLiteral("select sum(A/B) from N")), message);
    EXPECT_TRUE(scalar(*c, QStringLiteral("select 1/null")).isNull());
}

TEST_F(EmbeddedTest, BigintOverflowIsAnError)
{
    auto c = connect();
    EXPECT_EQ(errorOf(*c, QStringLiteral("select 9223372036854775807 + 1")),
        QStringLiteral("Arithmetic overflow error converting expression to data type bigint."));
    EXPECT_EQ(scalar(*c, QStringLiteral("select 9223372036854775806 + 1")).toLongLong(), 9223372036854775807LL);
}

TEST_F(EmbeddedTest, TopLimitsTheRows)
{
    auto c = connect();
    c->execute(QStringLiteral("create table Orders (ID int, Amount int)"));
    for (int i = 1; i <= 5; ++i) c->execute(QStringLiteral("insert into Orders values (%1, %2)").arg(i).arg(i * 10));
    db::RecordsetPtr rs = c->execute(QStringLiteral("select top 2 ID from Orders order by ID desc"));
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->value(0).toInt(), 5);
    rs = c->execute(QStringLiteral("select distinct top (3) ID from Orders order by ID"));
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(
        scalar(*c, QStringLiteral("select (select top 1 Amount from Orders order by Amount desc) + 1")).toInt(), 51);
    c->execute(QStringLiteral("select top 1 * into #First from Orders order by ID"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from #First")).toInt(), 1);
    EXPECT_EQ(scalar(*c, QStringLiteral("if exists (select top 1 ID from Orders where ID > 4) select 1 else select 0"))
                  .toInt(),
        1);
}

TEST_F(EmbeddedTest, LongPlusChainsRunFromTheLeft)
{
    auto c = connect();
    for (int n : {32, 130, 8000}) {
        QStringList terms;
        QString expected;
        for (int i = 0; i < n; ++i) {
            terms << QStringLiteral("'%1'").arg(i % 10);
            expected += QString::number(i % 10);
        }
        EXPECT_EQ(scalar(*c, QStringLiteral("select ") + terms.join(u'+')).toString(), expected) << n;
    }
    // Left to right: 1 + 2 adds before the text joins, and the text then converts back.
    EXPECT_EQ(scalar(*c, QStringLiteral("select 1 + 2 + '3'")).toInt(), 6);
    EXPECT_EQ(scalar(*c, QStringLiteral("select '1' + '2' + 3")).toInt(), 15);
    QStringList numbers;
    for (int i = 1; i <= 500; ++i) numbers << QString::number(i);
    EXPECT_EQ(scalar(*c, QStringLiteral("select ") + numbers.join(QStringLiteral(" + "))).toInt(), 125250);
    EXPECT_EQ(scalar(*c, QStringLiteral("select 10 - 2 + 3 - 1 + '5'")).toInt(), 15);
    EXPECT_EQ(errorOf(*c, QStringLiteral("select 10 - 2 + 'x'")),
        QStringLiteral("Conversion failed when converting the varchar value 'x' to data type int."));
}

TEST_F(EmbeddedTest, FixedWidthTextIsPaddedInExpressions)
{
    auto c = connect();
    c->execute(QStringLiteral("insert into tbOrraCategory (ID, ParentID, Name, Type) values (1, 0, 'Sales', 'T')"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select '[' + Name + ']' from tbOrraCategory")).toString(),
        QStringLiteral("[Sales") + QString(45, u' ') + u']');
    EXPECT_EQ(scalar(*c, QStringLiteral("select ID from tbOrraCategory where Name='Sales'")).toInt(), 1);
    EXPECT_EQ(scalar(*c, QStringLiteral("select len(Name) from tbOrraCategory")).toInt(), 5);
    c->execute(QStringLiteral("update tbOrraCategory set Name='North' where ID=1"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select Name + '|' from tbOrraCategory")).toString(),
        QStringLiteral("North") + QString(45, u' ') + u'|');

    c->execute(QStringLiteral("create table #Codes (Code char(4), Label nchar(6), Note varchar(10))"));
    c->execute(QStringLiteral("insert into #Codes values ('A', 'x', 'y')"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select '[' + Code + Label + Note + ']' from #Codes")).toString(),
        QStringLiteral("[A   x     y]"));
    c->execute(QStringLiteral("select Code into #Copy from #Codes"));
    c->execute(QStringLiteral("insert into #Copy values ('B')"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select max(Code + '|') from #Copy")).toString(), QStringLiteral("B   |"));
    c->execute(QStringLiteral("create table Codes (Code char(4) null)"));
    c->execute(QStringLiteral("insert into Codes values (null)"));
    EXPECT_TRUE(scalar(*c, QStringLiteral("select Code from Codes")).isNull());
}

TEST(Translator, LongChainsTranslateWithoutDeepNesting)
{
    QStringList terms;
    for (int i = 0; i < 20000; ++i) terms << QStringLiteral("Name");
    const Translation t = translate(
        QStringLiteral("select ") + terms.join(u'+') + QStringLiteral(" from T"), QStringLiteral("catalogue"));
    ASSERT_TRUE(t.error.isEmpty()) << t.error.toStdString();
    ASSERT_TRUE(t.statements.at(0).is<SqlStatement>());
    const QString sql = t.statements.at(0).as<SqlStatement>()->sql;
    int depth = 0, deepest = 0;
    for (QChar ch : sql) {
        if (ch == u'(')
            deepest = std::max(deepest, ++depth);
        else if (ch == u')')
            --depth;
    }
    EXPECT_LE(deepest, 4);
    EXPECT_TRUE(sql.startsWith(QStringLiteral("select orra_add(Name, orra_list(orra_list(Name,")))
        << sql.left(80).toStdString();
}

}   // namespace orra::embedded::test
