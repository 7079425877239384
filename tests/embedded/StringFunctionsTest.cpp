// The string functions on the embedded server, with the values SQL Server's documentation
// gives for its own examples.

#include "EmbeddedFixture.h"

#include "platform/db/Recordset.h"

namespace orra::embedded::test {

namespace {

struct Case {
    const char* sql;
    QVariant expected;
};

class StringFunctions : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        c = connect();
    }

    // "number: text" of the error a statement raises.
    QString errorOf(const QString& sql)
    {
        try {
            db::RecordsetPtr rs = c->execute(sql);
            while (rs && !rs->isOpen() && rs->NextRecordset()) {
            }
        } catch (const orra::Error& e) {
            return QStringLiteral("%1: %2").arg(-e.number()).arg(e.description());
        }
        return QStringLiteral("(no error)");
    }

    // The rows of the first column of a select, as text.
    QStringList column(const QString& sql, int field = 0)
    {
        QStringList out;
        db::RecordsetPtr rs = c->execute(sql);
        while (rs && !rs->isEOF()) {
            out << rs->value(field).toString();
            rs->MoveNext();
        }
        return out;
    }

    void expectAll(std::initializer_list<Case> cases)
    {
        for (const Case& k : cases) {
            QVariant v;
            try {
                v = scalar(*c, QString::fromUtf8(k.sql));
            } catch (const orra::Error& e) {
                ADD_FAILURE() << k.sql << ": " << e.description().toStdString();
                continue;
            }
            if (k.expected.isNull())
                EXPECT_TRUE(v.isNull()) << k.sql << " gave " << v.toString().toStdString();
            else
                EXPECT_EQ(v.toString(), k.expected.toString()) << k.sql;
        }
    }

    std::unique_ptr<db::Connection> c;
};

const char* const kDocument = "'Reflectors are vital safety components of your bicycle.'";

}   // namespace

TEST_F(StringFunctions, PositionsAndPartsOfText)
{
    const QString doc = QString::fromLatin1(kDocument);
    expectAll({
        {"select left('abcdefg',2)", "ab"},
        {"select substring('abcdef', 2, 3)", "bcd"},
        {"select substring('abcdef', 0, 3)", "ab"},
        {"select substring('abcdef', -1, 2)", ""},
        {"select substring('abcdef', 7, 2)", ""},
        {"select right('abcdefg',2)", "fg"},
        {"select stuff('abcdef', 2, 3, 'ijklmn')", "aijklmnef"},
        {"select charindex('is', 'This is a string')", 3},
        {"select charindex('is', 'This is a string', 4)", 6},
        {"select charindex('TEST', 'This is a Test')", 11},
        {"select charindex('TEST', 'This is a Test' COLLATE Latin1_General_CS_AS)", 0},
        {"select charindex('Test', 'This is a Test' COLLATE Latin1_General_CS_AS)", 11},
        {"select charindex('TEST', 'This is a Test' COLLATE Latin1_General_CI_AS)", 11},
        {"select patindex('%ein%', 'Das ist ein Test' COLLATE Latin1_General_BIN)", 9},
        {"select patindex('%ter%', 'interesting data')", 3},
        {"select patindex('%en_ure%', 'Please ensure the door is locked!')", 8},
        {"select patindex('a%', 'abc')", 1},
        {"select patindex('%', 'abc')", 1},
        {"select patindex('%a', 'cba')", 3},
        {"select patindex('%[^ 0-9A-z]%', 'Please ensure the door is locked!')", 33},
    });
    EXPECT_EQ(scalar(*c, QStringLiteral("select charindex('bicycle', %1)").arg(doc)).toInt(), 48);
    EXPECT_EQ(scalar(*c, QStringLiteral("select charindex('vital', %1, 5)").arg(doc)).toInt(), 16);
    EXPECT_EQ(scalar(*c, QStringLiteral("select charindex('bike', %1)").arg(doc)).toInt(), 0);
}

TEST_F(StringFunctions, BuildingAndChangingText)
{
    expectAll({
        {"select concat('Happy ', 'Birthday ', 11, '/', '25')", "Happy Birthday 11/25"},
        {"select replace('abcdefghicde','cde','xxx')", "abxxxfghixxx"},
        {"select replace('This is a Test' COLLATE Latin1_General_BIN, 'Test', 'desk')", "This is a desk"},
        {"select replace('This is a Test' COLLATE Latin1_General_BIN, 'test', 'desk')", "This is a Test"},
        {"select replace('This is a Test', 'TEST', 'desk')", "This is a desk"},
        {"select concat_ws(',','1 Microsoft Way', NULL, NULL, 'Redmond', 'WA', 98052)",
            "1 Microsoft Way,Redmond,WA,98052"},
        {"select quotename('abc[]def')", "[abc[]]def]"},
        {"select quotename('abc def')", "[abc def]"},
        {"select translate('2*[3+4]/{7-2}', '[]{}', '()()')", "2*(3+4)/(7-2)"},
        {"select translate('[137.4, 72.3]' , '[,]', '( )')", "(137.4  72.3)"},
        {"select translate('(137.4 72.3)' , '( )', '[,]')", "[137.4,72.3]"},
        {"select trim('     test    ')", "test"},
        {"select trim('.,! ' FROM '     #     test    .')", "#     test"},
        {"select trim(trailing '.,! ' from '     .#     test    .')", "     .#     test"},
        {"select trim(BOTH '123' FROM '123abc123')", "abc"},
        {"select str(123.45, 6, 1)", " 123.5"},
        {"select str(123.45, 2, 2)", "**"},
        {"select replicate('0', -1)", QVariant()},
        {"select len(replicate('ab', 9223372036854775807))", 8000},
        // 8,000 bytes, unless the text is cast to a large-value type
        {"select datalength(replicate(N'ab', 5000))", 8000},
        {"select len(replicate(cast('a' as varchar(max)), 10000))", 10000},
        {"declare @v nvarchar(max) = N'xy'; select len(replicate(@v, 6000))", 12000},
        {"select datalength(space(9000))", 8000},
        // ISNULL's replacement takes the checked value's type and length
        {"declare @x varchar(3); select isnull(@x, 'abcdef')", "abc"},
        {"declare @x varchar(3); select isnull(@x, 'ab' + 'cd')", "abc"},
        {"declare @x nvarchar(4); select isnull(@x, 'abcdef')", "abcd"},
    });
}

// Where a text is taken (the string functions, LIKE) a number or a date is converted as CAST
// converts it: money with two decimals, float with six digits, datetime as 'Apr 18 2006  9:58AM'.
TEST_F(StringFunctions, NumbersAndDatesAreReadAsCastWritesThem)
{
    c->execute("create table Prices (Price money, Rate float, At datetime)");
    c->execute("insert into Prices values (2, 1234.56789, '2006-04-18 09:58')");
    expectAll({
        {"select concat(14, cast(1234.56789 as float))", "141234.57"},
        {"select len(concat(14, cast(1234.56789 as float)))", 9},
        {"select concat('a', cast(2 as money))", "a2.00"},
        {"select concat_ws('-', Price, Rate) from Prices", "2.00-1234.57"},
        {"select len(Price) from Prices", 4},
        {"select left(At, 11) from Prices", "Apr 18 2006"},
        {"select string_agg(Price, ',') from Prices", "2.00"},
        {"select replace(Price, '.', ',') from Prices", "2,00"},
        {"select trim('0' from Price) from Prices", "2."},
        {"select count(*) from Prices where Price like '2.00'", 1},
        {"select count(*) from Prices p where p.At like 'Apr 18 2006%'", 1},
        {"select count(*) from Prices where Rate not like '1234.57'", 0},
    });
}

// ESCAPE makes the character after it plain, inside brackets too; with nothing after it the
// pattern matches nothing. Unicode LIKE counts the subject's trailing blanks.
TEST_F(StringFunctions, LikeEscapesAndUnicodeBlanks)
{
    expectAll({
        {"select count(*) where 'Discount is 10-15% off' like '%10-15!% off%' escape '!'", 1},
        {"select count(*) where 'Discount is .10-.15 off' like '%10-15!% off%' escape '!'", 0},
        {"select count(*) where 'ab!' like 'ab!' escape '!'", 0},
        {"select count(*) where ']' like '[!]]' escape '!'", 1},
        {"select count(*) where '-' like '[a!-c]' escape '!'", 1},
        {"select count(*) where 'b' like '[a!-c]' escape '!'", 0},
        {"select count(*) where '^' like '[!^b]' escape '!'", 1},
        {"select count(*) where '-' like '[-acdf]'", 1},
        {"select count(*) where 'e' like '[a-cdf]'", 0},
        {"select count(*) where 'abc  ' like 'abc'", 1},
        {"select count(*) where 'abc' like 'abc '", 0},
        {"select count(*) where N'abc  ' like N'abc'", 0},
        {"select count(*) where 'abc  ' like N'abc'", 0},
        {"declare @n nvarchar(10) = 'abc  '; select count(*) where @n like 'abc'", 0},
    });
    EXPECT_EQ(errorOf("select 1 where 'abc' like 'ab' escape 'xy'"),
        QStringLiteral("506: The invalid escape character \"xy\" was specified in a LIKE predicate."));
}

// FORMAT's custom numeric patterns as .NET's documentation gives them: sections for positive,
// negative and zero values, quoted literals, %, thousands scaling, rounding away from zero.
TEST_F(StringFunctions, FormatWritesNumbersByCustomPatterns)
{
    expectAll({
        {"select format(34.5, '00')", "35"},
        {"select format(1.2, '00.00')", "01.20"},
        {"select format(0.56, '0.0')", "0.6"},
        {"select format(1234567890, '#,#')", "1,234,567,890"},
        {"select format(19.95, '$#,##0.00;($#,##0.00);Zero')", "$19.95"},
        {"select format(-19.95, '$#,##0.00;($#,##0.00);Zero')", "($19.95)"},
        {"select format(0.0, '$#,##0.00;($#,##0.00);Zero')", "Zero"},
        {"select format(-5, '0;;zero')", "-5"},
        {"select format(0.256, '0.0%')", "25.6%"},
        {"select format(1234, '\"Total: \"0')", "Total: 1234"},
        {"select format(1234, '0 \\#')", "1234 #"},
        {"select format(1234567, '#,##0,K')", "1,235K"},
        {"select format(cast(2.675 as float), 'N2')", "2.68"},
        {"select format(123, 'E')", "1.230000E+002"},
        {"select format(cast(0.000123 as float), 'e2')", "1.23e-004"},
    });
}

// An operand's own COLLATE governs a comparison, whichever side it stands on: _CS_ counts case,
// _AI_ ignores accents.
TEST_F(StringFunctions, ExplicitCollationsGovernComparisons)
{
    expectAll({
        {"select count(*) where 'abc' = 'ABC' collate Latin1_General_CS_AS", 0},
        {"select count(*) where 'abc' = 'ABC' collate SQL_Latin1_General_CP1_CS_AS", 0},
        {"select count(*) where 'abc' = 'ABC' collate Turkish_CS_AS", 0},
        {"select count(*) where 'abc' = 'ABC' collate Latin1_General_CI_AS", 1},
        {"select count(*) where N'é' = N'e' collate Latin1_General_CI_AI", 1},
        {"select count(*) where N'É' = N'e' collate Latin1_General_CI_AI", 1},
        {"select count(*) where N'É' = N'e' collate Latin1_General_CS_AI", 0},
        {"select count(*) where N'é' = N'e' collate Latin1_General_CI_AS", 0},
        {"select count(*) where N'é' in (N'x', N'e' collate Latin1_General_CI_AI)", 1},
    });
}

TEST_F(StringFunctions, SoundsAlike)
{
    expectAll({
        {"select soundex('Smith')", "S530"},
        {"select soundex('Smythe')", "S530"},
        {"select soundex('Green')", "G650"},
        {"select soundex('Blotchet-Halls')", "B432"},
        {"select difference('Smithers', 'Smythers')", 4},
        {"select difference('Anothers', 'Brothers')", 2},
        {"select difference('Green','Greene')", 4},
        {"select difference('Blotchet-Halls', 'Greene')", 0},
    });
}

TEST_F(StringFunctions, ReplicateAgainstTheBytesOfVarcharAndChar)
{
    c->execute("create table t1 (c1 varchar(3), c2 char(3))");
    c->execute("insert into t1 values ('2', '2')");
    c->execute("insert into t1 values ('37', '37')");
    c->execute("insert into t1 values ('597', '597')");
    const QString sql = QStringLiteral("select replicate('0', 3 - datalength(c1)) + c1 as 'Varchar Column', "
                                       "replicate('0', 3 - datalength(c2)) + c2 as 'Char Column' from t1");
    EXPECT_EQ(column(sql, 0), (QStringList{"002", "037", "597"}));
    EXPECT_EQ(column(sql, 1), (QStringList{"2  ", "37 ", "597"}));
}

TEST_F(StringFunctions, StringAggJoinsTheGroupsValuesInTheirOrder)
{
    c->execute("create table Employee (town varchar(20), email varchar(60))");
    for (const char* row : {"('Seattle', 'syed0@adventure-works.com')", "('Seattle', 'catherine0@adventure-works.com')",
             "('Seattle', 'kim2@adventure-works.com')", "('LA', 'sam1@adventure-works.com')",
             "('LA', 'hazem0@adventure-works.com')"})
        c->execute(QStringLiteral("insert into Employee values ") + QLatin1String(row));
    EXPECT_EQ(column("select town, string_agg(email, ';') within group (order by email asc) as emails "
                     "from Employee group by town order by town desc",
                  1),
        (QStringList{"catherine0@adventure-works.com;kim2@adventure-works.com;syed0@adventure-works.com",
            "hazem0@adventure-works.com;sam1@adventure-works.com"}));

    c->execute("create table Person (ID int, FirstName varchar(20))");
    int id = 0;
    for (const char* name : {"'John'", "NULL", "'Mike'", "'Peter'", "NULL", "NULL", "'Alice'", "'Bob'"})
        c->execute(QStringLiteral("insert into Person values (%1, %2)").arg(++id).arg(QLatin1String(name)));
    EXPECT_EQ(scalar(*c, "select string_agg(isnull(FirstName,'N/A'), ',') as csv from Person").toString(),
        "John,N/A,Mike,Peter,N/A,N/A,Alice,Bob");
    EXPECT_TRUE(scalar(*c, "select string_agg(FirstName, ',') from Person where ID = 2").isNull());

    // an ordinary text's result ends at 8,000 bytes; a large-value one's does not
    EXPECT_EQ(errorOf("select string_agg(cast(replicate('a', 3000) as varchar(3000)), ',') from Person"),
        QStringLiteral("9829: STRING_AGG aggregation result exceeded the limit of 8000 bytes. Use LOB types to avoid "
                       "result truncation."));
    EXPECT_EQ(scalar(*c, "select len(string_agg(cast(replicate('a', 3000) as varchar(max)), ',')) from Person").toInt(),
        8 * 3000 + 7);
}

TEST_F(StringFunctions, StringSplitIsATable)
{
    EXPECT_EQ(column("select value from string_split('Lorem ipsum dolor sit amet.', ' ')"),
        (QStringList{"Lorem", "ipsum", "dolor", "sit", "amet."}));
    EXPECT_EQ(column("select value from string_split('clothing,road,,touring,bike', ',') where rtrim(value) <> ''"),
        (QStringList{"clothing", "road", "touring", "bike"}));
    EXPECT_EQ(column("select * from string_split('E-D-C-B-A', '-', 1) order by ordinal desc"),
        (QStringList{"A", "B", "C", "D", "E"}));
    EXPECT_EQ(column("select * from string_split('Austin,Texas,Seattle,Washington,Denver,Colorado', ',', 1) "
                     "where ordinal % 2 = 0",
                  1),
        (QStringList{"2", "4", "6"}));
    db::RecordsetPtr rs = c->execute("select * from string_split('a b', ' ')");
    EXPECT_EQ(rs->fieldCount(), 1);
}

TEST_F(StringFunctions, TryAndParseConvertOrGiveNull)
{
    expectAll({
        {"select case when try_cast('test' as int) is null then 'Cast failed' else 'Cast succeeded' end", "Cast failed"},
        {"select try_cast('12' as int) + 1", 13},
        {"select try_convert(int, 'x12')", QVariant()},
        {"select parse('€345,98' as money using 'de-DE')", "345.98"},
        {"select try_parse('x' as money using 'de-DE')", QVariant()},
        {"select try_parse('Jabberwokkie' as datetime2 using 'en-US')", QVariant()},
        {"select case when try_parse('Aragorn' as decimal using 'sr-Latn-CS') is null then 'True' else 'False' end",
            "True"},
        {"select case when try_parse('01/01/2011' as datetime2) is null then 'True' else 'False' end", "False"},
        {"select isnumeric('+')", 1},
        {"select isnumeric('$')", 1},
        {"select isnumeric('12.5e3')", 1},
        {"select isnumeric('abc')", 0},
    });
    EXPECT_EQ(scalar(*c, "select parse('Monday, 13 December 2010' as datetime2 using 'en-US')").toDateTime(),
        QDateTime(QDate(2010, 12, 13), QTime(0, 0)));
    EXPECT_EQ(scalar(*c, "select parse('12/16/2010' as datetime2)").toDateTime(),
        QDateTime(QDate(2010, 12, 16), QTime(0, 0)));
}

TEST_F(StringFunctions, ColumnsTypeAndCollationGovernLikeCaseAndBytes)
{
    // LIKE: the trailing blanks of an nchar value count, those of a char value do not.
    c->execute("create table tc (col1 char(30))");
    c->execute("insert into tc values ('Robert King')");
    c->execute("create table tn (col1 nchar(30))");
    c->execute("insert into tn values ('Robert King')");
    EXPECT_EQ(scalar(*c, "select count(*) from tc where col1 like '% King'").toInt(), 1);
    EXPECT_EQ(scalar(*c, "select count(*) from tn where col1 like '% King'").toInt(), 0);
    EXPECT_EQ(scalar(*c, "select count(*) from tn t where t.col1 not like '% King'").toInt(), 1);
    EXPECT_EQ(scalar(*c, "select count(*) from tn where rtrim(col1) like '% King'").toInt(), 1);
    EXPECT_EQ(scalar(*c, "select count(*) from tc where col1 like 'robert%'").toInt(), 1);
    EXPECT_EQ(scalar(*c, "select count(*) from tc where col1 collate Latin1_General_CS_AS like 'robert%'").toInt(), 0);
    EXPECT_EQ(scalar(*c, "select count(*) from tc where 'Robert' collate Latin1_General_CS_AS like 'Rob%'").toInt(), 1);

    // UPPER and LOWER by the column's collation; the server's own is Turkish.
    c->execute("create table Names (Plain varchar(10), Latin varchar(10) COLLATE Latin1_General_CI_AS, "
               "Wide nvarchar(10))");
    c->execute("insert into Names values ('i', 'i', 'abc')");
    expectAll({
        {"select upper(Latin) from Names", "I"},
        {"select upper(n.Latin) from Names n", "I"},
        {"select upper(Plain) from Names", "İ"},
        {"select lower(upper(Latin)) from Names", "ı"},
        {"select upper(Plain collate Latin1_General_CI_AS) from Names", "I"},
        {"select count(*) from Names where Latin = 'I'", 1},
        // a computed text compares under the collation of its column, or the server's own
        {"select count(*) from Names where upper(Latin) = 'i'", 1},
        {"select count(*) from Names where left(Wide, 2) = 'AB'", 1},
        {"select count(*) from Names where left(Wide, 1) in ('A', 'x')", 1},
        {"select count(*) from Names where left(Wide, 1) between 'A' and 'A'", 1},
        {"select count(*) where 'abc' = 'ABC'", 1},
        {"select datalength(Wide) from Names", 6},
        {"select datalength(Plain) from Names", 1},
        // texts that no column holds (literals, VALUES, unions, expressions) sort, group and
        // compare under the server's collation too, not byte by byte
        {"select top 1 x from (values (N'Zonguldak'), (N'Çorum')) v(x) order by x", "Çorum"},
        {"select top 1 x from (select N'Zonguldak' x union all select N'Çorum') u order by x", "Çorum"},
        {"select top 1 x + N'' from (select N'Zonguldak' x union all select N'Çorum') v order by x + N''", "Çorum"},
        {"select count(*) from (select distinct x from (values ('a'), ('A')) v(x)) d", 1},
        {"select count(*) from (select 'a' x union select 'A') u", 1},
        {"select count(*) from (select x + '' k from (select 'a' x union all select 'A') v group by x + '') g", 1},
        {"select top 1 upper(Latin) + 'z' u from Names order by u", "Iz"},
        {"select max(x + N'') from (select N'Zonguldak' x union all select N'Çorum') v", "Zonguldak"},
        {"select count(distinct x + '') from (select 'a' x union all select 'A') v", 1},
        {"select top 1 count(*) over (partition by x + '') from (select 'a' x union all select 'A') v", 2},
        {"select case x + '' when 'A' then 'yes' else 'no' end from (select 'a' x) v", "yes"},
    });
    // DATALENGTH by the type's storage size, however SQLite keeps the value
    c->execute("create table Moments (At datetime, Day date)");
    c->execute("insert into Moments values ('2025-06-01 10:00', '2025-06-01')");
    expectAll({
        {"select datalength(N'abc')", 6},
        {"select datalength(cast(N'ab' as nvarchar(10)))", 4},
        {"select datalength(cast(1 as bigint))", 8},
        {"select datalength(cast(1 as decimal(20,2)))", 13},
        {"select datalength(getdate())", 8},
        {"select datalength(newid())", 16},
        {"select datalength(At) from Moments", 8},
        {"select datalength(m.Day) from Moments m", 3},
        {"select datalength(cast(null as int))", QVariant()},
    });
}

TEST_F(StringFunctions, CodesAndCharacters)
{
    expectAll({
        {"select char(65)", "A"},
        {"select char(66)", "B"},
        {"select char(97)", "a"},
        {"select char(98)", "b"},
        {"select char(49)", "1"},
        {"select char(50)", "2"},
        {"select char(256)", QVariant()},
        {"select ascii('N')", 78},
        {"select ascii('e')", 101},
        {"select ascii(' ')", 32},
        {"select char(ascii(substring('New Moon', 5, 1)))", "M"},
    });
}

TEST_F(StringFunctions, ResultsAreTypedAsTheServerTypesThem)
{
    c->execute("create table T (V varchar(20), N nvarchar(20), C char(5))");
    c->execute("insert into T values ('abc', 'def', 'x')");
    const struct {
        const char* sql;
        db::DataType type;
        long size;
    } cases[] = {
        {"select quotename(V) from T", db::DataType::VarWChar, 258},
        {"select char(65)", db::DataType::Char, 1},
        {"select string_agg(V, ',') from T", db::DataType::VarChar, 8000},
        {"select string_agg(N, ',') from T", db::DataType::VarWChar, 4000},
        {"select string_agg(ascii(V), ',') from T", db::DataType::VarWChar, 4000},
        {"select left(V, 2) from T", db::DataType::VarChar, 20},
        {"select left(N, 2) from T", db::DataType::VarWChar, 20},
        {"select rtrim(C) from T", db::DataType::VarChar, 5},
        {"select str(123.45, 6, 1)", db::DataType::VarChar, 6},
        {"select try_cast(V as varchar(9)) from T", db::DataType::VarChar, 9},
        // a Unicode constant is nvarchar, a plain one varchar
        {"select N'Michél'", db::DataType::VarWChar, 6},
        {"select 'Cincinnati'", db::DataType::VarChar, 10},
    };
    for (const auto& k : cases) {
        db::RecordsetPtr rs = c->execute(QString::fromUtf8(k.sql));
        EXPECT_EQ(rs->field(0).type, k.type) << k.sql;
        EXPECT_EQ(rs->field(0).definedSize, k.size) << k.sql;
    }
}

TEST_F(StringFunctions, ExamplesWithVariables)
{
    EXPECT_EQ(scalar(*c,
                  "DECLARE @document VARCHAR(64); SELECT @document = 'Reflectors are vital safety' + "
                  "' components of your bicycle.'; SELECT CHARINDEX('bicycle', @document);")
                  .toInt(),
        48);
    EXPECT_EQ(column("DECLARE @tags NVARCHAR(400) = 'clothing,road,,touring,bike' SELECT value FROM "
                     "STRING_SPLIT(@tags, ',') WHERE RTRIM(value) <> ''"),
        (QStringList{"clothing", "road", "touring", "bike"}));
    // A char variable keeps its trailing blanks, which LIKE counts in the pattern.
    c->execute("create table Person2 (LastName varchar(20))");
    c->execute("insert into Person2 values ('Barbariol')");
    c->execute("insert into Person2 values ('Barber')");
    EXPECT_EQ(scalar(*c,
                  "DECLARE @EmpLName CHAR(20) = 'Barb'; SELECT @EmpLName = RTRIM(@EmpLName) + '%'; "
                  "SELECT count(*) FROM Person2 WHERE LastName LIKE @EmpLName")
                  .toInt(),
        0);
    EXPECT_EQ(scalar(*c,
                  "DECLARE @EmpLName VARCHAR(20) = 'Barb'; SELECT @EmpLName = RTRIM(@EmpLName) + '%'; "
                  "SELECT count(*) FROM Person2 WHERE LastName LIKE @EmpLName")
                  .toInt(),
        2);
}

TEST_F(StringFunctions, WrongCallsGiveTheServersErrors)
{
    const struct {
        const char* sql;
        const char* error;
    } cases[] = {
        {"select left('abc', -1)", "537: Invalid length parameter passed to the LEFT or SUBSTRING function."},
        {"select left('abc')", "174: The left function requires 2 argument(s)."},
        {"select substring('abc', 1, -1)", "537: Invalid length parameter passed to the LEFT or SUBSTRING function."},
        {"select concat('a')", "189: The concat function requires 2 to 254 arguments."},
        {"select substring('abc', 'x', 1)", "245: Conversion failed when converting the varchar value 'x' to data type int."},
        {"select replicate('a', 'z')", "245: Conversion failed when converting the varchar value 'z' to data type int."},
        {"select value from string_split('a,b', ',,')",
            "214: Procedure expects parameter 'separator' of type 'nchar(1)/nvarchar(1)'."},
        {"select translate('abc', 'ab', 'x')",
            "9828: The second and third arguments of the TRANSLATE built-in function must contain an equal number "
            "of characters."},
    };
    for (const auto& k : cases) EXPECT_EQ(errorOf(QString::fromUtf8(k.sql)), QString::fromUtf8(k.error)) << k.sql;
}

}   // namespace orra::embedded::test
