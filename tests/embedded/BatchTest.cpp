// T-SQL batches on the embedded server: variables, control flow, errors and @@ROWCOUNT, with
// the values SQL Server's documentation gives for its examples or states as its rules.

#include "ShapesFixture.h"

namespace orra::embedded::test {

namespace {

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

struct Case {
    const char* batch;
    QVariant expected;
};

struct Failure {
    const char* batch;
    long number;
    const char* message;
};

}   // namespace

class Batch : public Shapes {
protected:
    void expectValues(const std::vector<Case>& cases)
    {
        for (const Case& k : cases) {
            const QString batch = QString::fromUtf8(k.batch);
            try {
                EXPECT_EQ(lastValue(*c, batch), k.expected) << k.batch;
            } catch (const orra::Error& e) {
                ADD_FAILURE() << k.batch << ": " << e.description().toStdString();
            }
        }
    }
    void expectFailures(const std::vector<Failure>& cases)
    {
        for (const Failure& k : cases) {
            try {
                lastValue(*c, QString::fromUtf8(k.batch));
                ADD_FAILURE() << k.batch << " ran";
            } catch (const orra::Error& e) {
                EXPECT_EQ(e.number(), -k.number) << k.batch;
                EXPECT_EQ(e.description(), QString::fromUtf8(k.message)) << k.batch;
            }
        }
    }
};

TEST_F(Batch, VariablesTakeAssignmentsByTheirDeclaredType)
{
    expectValues({
        // The compound operators' examples.
        {"DECLARE @x1 int = 27; SET @x1 += 2; SELECT @x1 AS Added_2;", 29},
        {"DECLARE @x2 int = 27; SET @x2 -= 2; SELECT @x2 AS Subtracted_2;", 25},
        {"DECLARE @x3 int = 27; SET @x3 *= 2; SELECT @x3 AS Multiplied_by_2;", 54},
        {"DECLARE @x4 int = 27; SET @x4 /= 2; SELECT @x4 AS Divided_by_2;", 13},
        {"DECLARE @x5 int = 27; SET @x5 %= 2; SELECT @x5 AS Modulo_of_27_divided_by_2;", 1},
        {"DECLARE @x6 int = 9; SET @x6 &= 13; SELECT @x6 AS Bitwise_AND;", 9},
        {"DECLARE @x7 int = 27; SET @x7 ^= 2; SELECT @x7 AS Bitwise_Exclusive_OR;", 25},
        {"DECLARE @x8 int = 27; SET @x8 |= 2; SELECT @x8 AS Bitwise_OR;", 27},
        // SELECT @local_variable: no row keeps the value, an empty subquery gives NULL, the
        // last row returned wins.
        {"DECLARE @var1 VARCHAR(30); SELECT @var1 = 'Generic Name'; SELECT @var1 = Name FROM tbOrraSQL WHERE ID = "
         "1000; SELECT @var1 AS 'Company Name';",
            QStringLiteral("Generic Name")},
        {"DECLARE @var1 VARCHAR(30) SELECT @var1 = 'Generic Name' SELECT @var1 = (SELECT Name FROM tbOrraSQL WHERE "
         "ID = 1000) SELECT @var1 AS 'Company Name'",
            QVariant()},
        {"declare @n varchar(30); select @n = rtrim(Name) from tbOrraSQL order by ID desc; select @n", QStringLiteral("Document-1")},
        {"declare @a int, @b varchar(20); select @a = ID, @b = rtrim(Name) from tbOrraSQL where ID = 2; select @b + ':' + "
         "cast(@a as varchar(5))",
            QStringLiteral("Document-2:2")},
        // A variable of a character type declared without a length is one character long; a
        // text assigned to an int is converted to int.
        {"declare @c varchar = 'abc'; select @c", QStringLiteral("a")},
        {"declare @i int = '12'; select @i + 1", 13},
        {"declare @i int; select @i", QVariant()},
        // Table variables are used like tables.
        {"declare @t table (id int primary key, name varchar(10)); insert into @t values (1, 'a'), (2, 'b'); "
         "update @t set name = 'c' where id = 2; select count(*) from @t where name in ('a', 'c')",
            2},
    });
}

TEST_F(Batch, AVariableLivesForItsBatch)
{
    c->execute(QStringLiteral("declare @t table (id int); insert into @t values (1); declare @v int = 1"));
    expectFailures({
        {"select @v", 137, "Must declare the scalar variable \"@v\"."},
        {"select * from @t", 1087, "Must declare the table variable \"@t\"."},
        {"declare @v int; declare @v int", 134,
            "The variable name '@v' has already been declared. Variable names must be unique within a query batch or "
            "stored procedure."},
    });
}

TEST_F(Batch, ControlFlow)
{
    expectValues({
        {"if 1 = 2 select 'a' else select 'b'", QStringLiteral("b")},
        {"if exists (select * from tbOrraSQL where ID = 2) begin select 'yes' end", QStringLiteral("yes")},
        {"declare @i int = 0, @s int = 0; while @i < 10 begin set @i += 1; if @i % 2 = 0 continue; set @s += @i; if "
         "@i >= 7 break end; select @s",
            16},
        {"select 1; return; select 2", 1},
        // GOTO's example: the loop leaves for Branch_One, which goes on to Branch_Three.
        {"DECLARE @Counter int; SET @Counter = 1; WHILE @Counter < 10 BEGIN SELECT @Counter SET @Counter = @Counter + "
         "1 IF @Counter = 4 GOTO Branch_One IF @Counter = 5 GOTO Branch_Two END Branch_One: SELECT 'Jumping To "
         "Branch One.' GOTO Branch_Three; Branch_Two: SELECT 'Jumping To Branch Two.' Branch_Three: SELECT "
         "'Jumping To Branch Three.';",
            QStringLiteral("Jumping To Branch Three.")},
    });
    expectFailures({
        {"break", 135, "Cannot use a BREAK statement outside the scope of a WHILE statement."},
        {"goto nowhere", 133, "A GOTO statement references the label 'nowhere' but the label has not been declared."},
    });
    // The GOTO example's result sets, in order.
    db::RecordsetPtr rs = c->execute(QStringLiteral(
        "DECLARE @Counter int; SET @Counter = 1; WHILE @Counter < 10 BEGIN SELECT @Counter SET @Counter = @Counter + 1 "
        "IF @Counter = 4 GOTO Branch_One IF @Counter = 5 GOTO Branch_Two END Branch_One: SELECT 'Jumping To Branch "
        "One.' GOTO Branch_Three; Branch_Two: SELECT 'Jumping To Branch Two.' Branch_Three: SELECT 'Jumping To "
        "Branch Three.';"));
    QVariantList values;
    do {
        if (rs->isOpen()) values << rs->value(0);
    } while (rs->NextRecordset());
    EXPECT_EQ(values, (QVariantList{1, 2, 3, QStringLiteral("Jumping To Branch One."),
                          QStringLiteral("Jumping To Branch Three.")}));
}

}   // namespace orra::embedded::test
