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

// The same, going on past the errors of statements that end only themselves.
QVariant lastValuePastErrors(db::Connection& c, const QString& sql)
{
    db::RecordsetPtr rs = c.execute(sql);
    QVariant value;
    for (bool more = true; more;) {
        if (rs->isOpen() && !rs->isEOF()) value = rs->value(0);
        try {
            more = rs->NextRecordset();
        } catch (const orra::Error&) {
        }
    }
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
        // the operators themselves: ^ (SQLite has none), ~ in the operand's type, !< and !>
        {"SELECT a_int_value ^ b_int_value FROM (SELECT 170 AS a_int_value, 75 AS b_int_value) bitwise", 225},
        {"select 1 + 4 ^ 3 * 1", 6},
        {"select ~cast(170 as tinyint)", 85},
        {"select ~cast(1 as bit) + 0", 0},
        {"select count(*) where 2 !< 1 and 1 !> 1", 1},
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

TEST_F(Batch, AVariableSelectedAloneMakesAnUnnamedColumn)
{
    db::RecordsetPtr rs = c->execute(QStringLiteral("declare @v int = 1; select @v, @v as named"));
    EXPECT_EQ(rs->field(0).name, QString());
    EXPECT_EQ(rs->field(1).name, QStringLiteral("named"));
    // a table's column needs the name a result's column may lack
    expectFailures({
        {"select sysdatetime() into #x", 1038,
            "An object or column name is missing or empty. For SELECT INTO statements, verify each column has a name. "
            "For other statements, look for empty alias names. Aliases defined as \"\" or [] are not allowed. Change "
            "the alias to a valid name."},
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
    // PRINT reads the batch's variables like any other statement.
    c->execute(QStringLiteral("declare @i int = 0; while @i < 3 begin set @i += 1; if @i = 2 continue; print @i end"));
    QStringList printed;
    for (const auto& e : c->errors()) printed << e.description;
    EXPECT_EQ(printed, (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
}

TEST_F(Batch, ErrorsCarrySqlServersNumbersAndTexts)
{
    expectFailures({
        {"select * from nothere", 208, "Invalid object name 'nothere'."},
        {"select nocolumn from tbOrraSQL", 207, "Invalid column name 'nocolumn'."},
        {"select ID from tbOrraSQL a, tbOrraSQL b", 209, "Ambiguous column name 'ID'."},
        {"select from", 102, "Incorrect syntax near 'from'."},
        {"select 1/0", 8134, "Divide by zero error encountered."},
        {"select cast('abc' as int)", 245, "Conversion failed when converting the varchar value 'abc' to data type int."},
        // a text that is no number is an error for float, real and decimal too, never 0
        {"select cast('test' as float)", 8114, "Error converting data type varchar to float."},
        {"select convert(real, 'test')", 8114, "Error converting data type varchar to real."},
        {"select cast(N'test' as float)", 8114, "Error converting data type nvarchar to float."},
        {"select cast('abc' as decimal(10, 2))", 8114, "Error converting data type varchar to numeric."},
        {"declare @x int = 2147483647; set @x += 1", 8115,
            "Arithmetic overflow error converting expression to data type int."},
        {"insert into tbOrraSQL (ID) values (null)", 515,
            "Cannot insert the value NULL into column 'ID', table 'catalogue.dbo.tbOrraSQL'; column does not allow "
            "nulls. INSERT fails."},
        // SQLite's own tables and functions are none of the server's.
        {"select name from sqlite_master", 208, "Invalid object name 'sqlite_master'."},
        {"select * from pragma_table_info('tbOrraSQL')", 208, "Invalid object name 'pragma_table_info'."},
        {"select typeof(1)", 195, "'typeof' is not a recognized built-in function name."},
        {"select orra_getdate()", 195, "'orra_getdate' is not a recognized built-in function name."},
        // What SQLite says of objects, columns, statements and transactions reads as the server's error.
        {"create table Twice(a int); create table Twice(a int)", 2714,
            "There is already an object named 'Twice' in the database."},
        {"create view Twice as select 2 as a", 2714, "There is already an object named 'Twice' in the database."},
        {"insert tbOrraSQL(NoSuch) values (1)", 207, "Invalid column name 'NoSuch'."},
        {"select * from sys.tables", 208, "Invalid object name 'sys.tables'."},
        {"select * from [dbo].[nothere]", 208, "Invalid object name 'dbo.nothere'."},
        {"select * from catalogue..nothere", 208, "Invalid object name 'catalogue..nothere'."},
        {"drop table dbo.nothere", 3701,
            "Cannot drop the table 'dbo.nothere', because it does not exist or you do not have permission."},
        {"drop view nothere", 3701,
            "Cannot drop the view 'nothere', because it does not exist or you do not have permission."},
        {"drop index tbOrraSQL.nothere", 3701,
            "Cannot drop the index 'tbOrraSQL.nothere', because it does not exist or you do not have permission."},
        {"create index IxTwice on tbOrraSQL(Name); create index IxTwice on tbOrraSQL(Name)", 1913,
            "The operation failed because an index or statistics with name 'IxTwice' already exists on table "
            "'tbOrraSQL'."},
        {"create unique index UxType on tbOrraSQL(Type)", 1505,
            "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name "
            "'dbo.tbOrraSQL' and the index name 'UxType'. The duplicate key value is (T)."},
        {"create table TwoA(a int, a int)", 2705,
            "Column names in each table must be unique. Column name 'a' in table 'TwoA' is specified more than once."},
        {"alter table tbOrraSQL add Name int", 2705,
            "Column names in each table must be unique. Column name 'Name' in table 'tbOrraSQL' is specified more "
            "than once."},
        {"alter table tbOrraSQL add Extra int not null", 4901,
            "ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT definition "
            "specified, or the column being added is an identity or timestamp column, or alternatively if none of the "
            "previous conditions are satisfied the table must be empty to allow addition of this column. Column "
            "'Extra' cannot be added to non-empty table 'tbOrraSQL' because it does not satisfy these conditions."},
        {"alter table tbOrraSQL drop column Nothere", 4924,
            "ALTER TABLE DROP COLUMN failed because column 'Nothere' does not exist in table 'tbOrraSQL'."},
        {"create table Indexed(a int, b int); create index IxB on Indexed(b); alter table Indexed drop column b", 4922,
            "ALTER TABLE DROP COLUMN b failed because one or more objects access this column."},
        {"insert into tbOrraCategory(ID, Name) values (9)", 109,
            "There are more columns in the INSERT statement than values specified in the VALUES clause. The number "
            "of values in the VALUES clause must match the number of columns specified in the INSERT statement."},
        {"insert into tbOrraCategory(ID) values (9, 'x')", 110,
            "There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number "
            "of values in the VALUES clause must match the number of columns specified in the INSERT statement."},
        {"insert into tbOrraCategory(ID, Name) select 9", 120,
            "The select list for the INSERT statement contains fewer items than the insert list. The number of "
            "SELECT values must match the number of INSERT columns."},
        {"insert into tbOrraCategory(ID) select 9, 'x'", 121,
            "The select list for the INSERT statement contains more items than the insert list. The number of "
            "SELECT values must match the number of INSERT columns."},
        {"select ID from tbOrraSQL order by 1, 3", 108,
            "The ORDER BY position number 3 is out of range of the number of items in the select list."},
        {"select ID from tbOrraSQL union select ID, Name from tbOrraSQL", 205,
            "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number of "
            "expressions in their target lists."},
        {"select ID from tbOrraSQL union select ID from tbOrraSQL order by Name", 104,
            "ORDER BY items must appear in the select list if the statement contains a UNION, INTERSECT or EXCEPT "
            "operator."},
        {"select (select ID, Name from tbOrraSQL)", 116,
            "Only one expression can be specified in the select list when the subquery is not introduced with "
            "EXISTS."},
        {"select x.ID from tbOrraSQL", 4104, "The multi-part identifier \"x.ID\" could not be bound."},
        {"select s.Nothere from tbOrraSQL s", 207, "Invalid column name 'Nothere'."},
        {"select ID from tbOrraSQL where sum(ID) > 0", 147,
            "An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING clause "
            "or a select list, and the column being aggregated is an outer reference."},
        {"select max(min(ID)) from tbOrraSQL", 130,
            "Cannot perform an aggregate function on an expression containing an aggregate or a subquery."},
        {"select count(*) from tbOrraSQL group by count(*)", 144,
            "Cannot use an aggregate or a subquery in an expression used for the group by list of a GROUP BY "
            "clause."},
        {"select ID from tbOrraSQL where row_number() over (order by ID) = 1", 4108,
            "Windowed functions can only appear in the SELECT or ORDER BY clauses."},
        {"select sum(row_number() over (order by ID)) from tbOrraSQL", 4109,
            "Windowed functions cannot be used in the context of another windowed function or aggregate."},
        {"insert into tbOrraCategory(ID, Name) values (9, 'x'), (10)", 10710,
            "The number of columns for each row in a table value constructor must be the same."},
        {"select * order by 1", 263, "Must specify table to select from."},
        {"commit", 3902, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."},
        {"rollback", 3903, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."},
        {"create table master..Written(a int)", 3906,
            "Failed to update database \"master\" because the database is read-only."},
        // THROW's example, and its error number below 50000.
        {"THROW 51000, 'The record does not exist.', 1;", 51000, "The record does not exist."},
        {"THROW 100, 'x', 1;", 35100,
            "Error number 100 in the THROW statement is outside the valid range. Specify an error number in the "
            "valid range of 50000 to 2147483647."},
    });
    // An error inside a function keeps its number on the way out of the statement that calls it.
    c->execute(QStringLiteral("create table Gone (a int)"));
    c->execute(QStringLiteral("create function dbo.CountGone() returns int as begin return (select count(*) from Gone) "
                              "end"));
    c->execute(QStringLiteral("drop table Gone"));
    expectFailures({{"select dbo.CountGone()", 208, "Invalid object name 'Gone'."}});
}

TEST_F(Batch, TryCatchHandsTheErrorToItsCatchBlock)
{
    expectValues({
        {"BEGIN TRY\n    SELECT 1/0;\nEND TRY\nBEGIN CATCH\n    SELECT cast(ERROR_NUMBER() as varchar(10)) + '|' + "
         "ERROR_MESSAGE() + '|' + cast(ERROR_SEVERITY() as varchar(5)) + '|' + cast(ERROR_STATE() as varchar(5)) + "
         "'|' + cast(ERROR_LINE() as varchar(5)) + '|' + isnull(ERROR_PROCEDURE(), 'NULL');\nEND CATCH;",
            QStringLiteral("8134|Divide by zero error encountered.|16|1|2|NULL")},
        {"select isnull(cast(ERROR_NUMBER() as varchar(10)), 'none')", QStringLiteral("none")},
        {"begin try raiserror('bad %d', 16, 3, 7) end try begin catch select error_message() + '/' + "
         "cast(error_state() as varchar(3)) end catch",
            QStringLiteral("bad 7/3")},
        // Below severity 11 RAISERROR is a message: the catch block does not run.
        {"begin try raiserror('note', 10, 1); select 'tried' end try begin catch select 'caught' end catch",
            QStringLiteral("tried")},
        {"begin try insert into tbOrraSQL (ID) values (1) end try begin catch select error_number() end catch", 2627},
    });
    // RAISERROR's example A: the catch block raises the error it handles again.
    expectFailures({
        {"BEGIN TRY RAISERROR ('Error raised in TRY block.', 16, 1); END TRY BEGIN CATCH DECLARE @ErrorMessage "
         "NVARCHAR(4000); DECLARE @ErrorSeverity INT; DECLARE @ErrorState INT; SELECT @ErrorMessage = "
         "ERROR_MESSAGE(), @ErrorSeverity = ERROR_SEVERITY(), @ErrorState = ERROR_STATE(); RAISERROR (@ErrorMessage, "
         "@ErrorSeverity, @ErrorState); END CATCH;",
            50000, "Error raised in TRY block."},
    });
    // THROW's example B: the message of the catch block, then the error thrown again.
    EXPECT_THROW(c->execute(QStringLiteral("BEGIN TRY INSERT tbOrraSQL(ID) VALUES(1); END TRY BEGIN CATCH PRINT 'In "
                                           "catch block.'; THROW; END CATCH;")),
        orra::Error);
    ASSERT_EQ(c->errors().size(), 2);
    EXPECT_EQ(c->errors().at(0).description, QStringLiteral("In catch block."));
    EXPECT_EQ(c->errors().at(1).nativeError, 2627);

    // The catch block's first statement reads in @@ERROR the error of the statement that failed;
    // THROW doubles % to write one.
    expectValues({
        {"begin try throw 51000, 'The record does not exist.', 1; end try begin catch select @@error end catch", 51000},
        {"begin try raiserror('x', 16, 1) end try begin catch select @@error end catch", 50000},
        {"begin try throw 50001, 'The increase exceeded 15%% of the original value.', 1 end try begin catch select "
         "error_message() end catch",
            QStringLiteral("The increase exceeded 15% of the original value.")},
    });
    // A name that does not resolve is no error its own level's catch block takes; one in a
    // procedure the try block runs is.
    c->execute(QStringLiteral("CREATE PROCEDURE usp_ExampleProc AS SELECT * FROM NonexistentTable;"));
    expectFailures({
        {"BEGIN TRY SELECT * FROM NonexistentTable; END TRY BEGIN CATCH SELECT ERROR_NUMBER() AS ErrorNumber, "
         "ERROR_MESSAGE() AS ErrorMessage; END CATCH",
            208, "Invalid object name 'NonexistentTable'."},
        {"begin try begin try select nocolumn from tbOrraSQL end try begin catch select 1 end catch end try begin "
         "catch select 2 end catch",
            207, "Invalid column name 'nocolumn'."},
    });
    // ERROR_LINE of RAISERROR and THROW: their own line, in the procedure's text for one raised there.
    c->execute(QStringLiteral("create procedure usp_RaiseOnFive as\nbegin\n  declare @x int;\n  select @x = 1;\n  "
                              "raiserror('inner fail %d', 16, 2, 9);\nend"));
    expectValues({
        {"select 1;\nbegin try\n  throw 50001, 'x', 1\nend try begin catch select error_line() end catch", 3},
        {"select 1;\nbegin try raiserror('x', 16, 1) end try begin catch select error_line() end catch", 2},
        {"begin try exec usp_RaiseOnFive end try begin catch select error_message() + '|' + error_procedure() + '|' + "
         "cast(error_line() as varchar(5)) + '|' + cast(error_state() as varchar(5)) end catch",
            QStringLiteral("inner fail 9|usp_RaiseOnFive|5|2")},
    });
    expectValues({
        {"BEGIN TRY EXECUTE usp_ExampleProc; END TRY BEGIN CATCH SELECT cast(ERROR_NUMBER() as varchar(10)) + ' ' + "
         "ERROR_MESSAGE() + ' ' + ERROR_PROCEDURE(); END CATCH;",
            QStringLiteral("208 Invalid object name 'NonexistentTable'. usp_ExampleProc")},
    });
}

TEST_F(Batch, XactAbortDoomsTheTransactionACatchBlockSees)
{
    c->execute(QStringLiteral("create table Product (ProductID int primary key); create table ProductUse (ProductID "
                              "int references Product(ProductID)); insert Product values (980); insert ProductUse "
                              "values (980)"));
    // XACT_STATE's example: the constraint error under XACT_ABORT leaves an uncommittable
    // transaction that the catch block rolls back.
    db::RecordsetPtr rs = c->execute(QStringLiteral(
        "SET XACT_ABORT ON;\nBEGIN TRY\n    BEGIN TRANSACTION;\n        DELETE FROM Product WHERE ProductID = 980;\n"
        "    COMMIT TRANSACTION;\nEND TRY\nBEGIN CATCH\n    select xact_state(), @@trancount;\n    IF (XACT_STATE()) = "
        "-1\n    BEGIN\n        PRINT 'The transaction is in an uncommittable state.' + ' Rolling back transaction.'\n "
        "       ROLLBACK TRANSACTION;\n    END;\n    IF (XACT_STATE()) = 1\n    BEGIN\n        PRINT 'The transaction "
        "is committable.' + ' Committing transaction.'\n        COMMIT TRANSACTION;\n    END;\nEND CATCH;\nSET "
        "XACT_ABORT OFF;"));
    EXPECT_EQ(rs->value(0), -1);
    EXPECT_EQ(rs->value(1), 1);
    ASSERT_EQ(c->errors().size(), 1);
    EXPECT_EQ(c->errors().first().description,
        QStringLiteral("The transaction is in an uncommittable state. Rolling back transaction."));
    expectValues({
        {"select @@trancount", 0},
        // RAISERROR does not heed XACT_ABORT: its error leaves the transaction committable.
        {"set xact_abort on; begin tran; begin try raiserror('x', 16, 1) end try begin catch select xact_state() end "
         "catch; rollback; set xact_abort off",
            1},
    });
    // The doomed transaction only reads and rolls back; the batch that leaves it open ends it.
    expectFailures({
        {"set xact_abort on; begin tran; begin try throw 50001, 'x', 1 end try begin catch delete from ProductUse "
         "end catch",
            3930,
            "The current transaction cannot be committed and cannot support operations that write to the log file. "
            "Roll back the transaction."},
        {"set xact_abort on; begin tran; begin try throw 50001, 'x', 1 end try begin catch commit end catch", 3930,
            "The current transaction cannot be committed and cannot support operations that write to the log file. "
            "Roll back the transaction."},
        {"set xact_abort on; begin tran; save tran s; begin try throw 50001, 'x', 1 end try begin catch rollback tran "
         "s end catch",
            3931,
            "The current transaction cannot be committed and cannot be rolled back to a savepoint. Roll back the "
            "entire transaction."},
        {"set xact_abort on; begin tran; begin try throw 50001, 'x', 1 end try begin catch select 1 end catch", 3998,
            "Uncommittable transaction is detected at the end of the batch. The transaction is rolled back."},
    });
    c->execute(QStringLiteral("set xact_abort off"));
    expectValues({{"select cast(@@trancount as varchar(5)) + '/' + cast((select count(*) from ProductUse) as "
                   "varchar(5))",
        QStringLiteral("0/1")}});
}

TEST_F(Batch, RaiserrorFormatsItsMessage)
{
    const struct {
        const char* batch;
        const char* message;
    } cases[] = {
        {"RAISERROR (N'This is message %s %d.', 10, 1, N'number', 5);", "This is message number 5."},
        {"RAISERROR (N'<<%*.*s>>', 10, 1, 7, 3, N'abcde');", "<<    abc>>"},
        {"RAISERROR (N'<<%7.3s>>', 10, 1, N'abcde');", "<<    abc>>"},
        {"DECLARE @StringVariable NVARCHAR(50); SET @StringVariable = N'<<%7.3s>>'; RAISERROR (@StringVariable, 10, "
         "1, N'abcde');",
            "<<    abc>>"},
    };
    for (const auto& k : cases) {
        c->execute(QString::fromUtf8(k.batch));
        ASSERT_EQ(c->errors().size(), 1) << k.batch;
        EXPECT_EQ(c->errors().first().number, 0) << k.batch;
        EXPECT_EQ(c->errors().first().description, QString::fromUtf8(k.message)) << k.batch;
    }
    // The errors of RAISERROR itself: its arguments' types and count, message numbers that
    // sys.messages does not hold, severities beyond 18.
    expectFailures({
        {"raiserror('%d', 16, 1, 'abc')", 2786,
            "The data type of substitution parameter 1 does not match the expected type of the format specification."},
        {"raiserror('%s %s', 16, 1, 'a', 5)", 2786,
            "The data type of substitution parameter 2 does not match the expected type of the format specification."},
        {"raiserror('%s', 16, 1, getdate())", 2748,
            "Cannot specify datetime data type (parameter 4) as a substitution parameter."},
        {"raiserror('x', 16, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21)", 2747,
            "Too many substitution parameters for RAISERROR. Cannot exceed 20 substitution parameters."},
        {"raiserror(50000, 16, 1)", 2732,
            "Error number 50000 is invalid. The number must be from 13000 through 2147483647 and it cannot be 50000."},
        {"raiserror(50005, 16, 3)", 18054,
            "Error 50005, severity 16, state 3 was raised, but no message with that error number was found in "
            "sys.messages. If error is larger than 50000, make sure the user-defined message is added using "
            "sp_addmessage."},
        // from severity 20 on it ends the session's work: no catch block takes it
        {"begin try raiserror('fatal', 20, 1) with log end try begin catch select 1 end catch", 50000, "fatal"},
        {"raiserror('x', 19, 1)", 2754,
            "Error severity levels greater than 18 can only be specified by members of the sysadmin role, using the "
            "WITH LOG option."},
    });
    // @@ERROR after RAISERROR: its number from severity 11 on, and with SETERROR at any severity.
    for (const Case& k : std::vector<Case>{
             {"select 0; raiserror('x', 16, 1); select @@error", 50000},
             {"raiserror('x', 10, 1); select @@error", 0},
             {"raiserror('x', 10, 1) with seterror; select @@error", 50000},
             {"select 0; raiserror(50005, 16, 1) with seterror; select @@error", 50005},
         })
        EXPECT_EQ(lastValuePastErrors(*c, QString::fromUtf8(k.batch)), k.expected) << k.batch;
}

TEST_F(Batch, AStatementErrorEndsItsStatementNotTheBatch)
{
    db::RecordsetPtr rs = c->execute(QStringLiteral("select 1; select 1/0; select 2"));
    EXPECT_EQ(rs->value(0), 1);
    try {
        rs->NextRecordset();
        ADD_FAILURE() << "no error";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), -8134);
    }
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0), 2);

    // The same inside WHILE, IF and BEGIN … END: the batch goes on after the failed statement.
    const struct {
        const char* batch;
        QVariantList values;
        int errors;
    } nested[] = {
        {"declare @i int = 0; select 1; while @i < 2 begin set @i += 1; select 1/0 end; select 'after'",
            {1, QStringLiteral("after")}, 2},
        {"select 1; if 1 = 1 begin select 1/0; select 'inside' end; select 'after'",
            {1, QStringLiteral("inside"), QStringLiteral("after")}, 1},
        {"select 1; begin begin select 1/0 end select 'inside' end select 'after'",
            {1, QStringLiteral("inside"), QStringLiteral("after")}, 1},
    };
    for (const auto& k : nested) {
        QVariantList values;
        int errors = 0;
        db::RecordsetPtr set = c->execute(QString::fromUtf8(k.batch));
        for (bool more = true; more;) {
            if (set->isOpen()) values << set->value(0);
            try {
                more = set->NextRecordset();
            } catch (const orra::Error& e) {
                EXPECT_EQ(e.number(), -8134) << k.batch;
                ++errors;
            }
        }
        EXPECT_EQ(values, k.values) << k.batch;
        EXPECT_EQ(errors, k.errors) << k.batch;
    }

    // SET XACT_ABORT's example: with it off the failed insert alone is undone, with it on the
    // whole transaction.
    c->execute(QStringLiteral("CREATE TABLE t1 (a INT NOT NULL PRIMARY KEY); CREATE TABLE t2 (a INT NOT NULL "
                              "REFERENCES t1(a)); INSERT INTO t1 VALUES (1); INSERT INTO t1 VALUES (3); INSERT INTO "
                              "t1 VALUES (4); INSERT INTO t1 VALUES (6);"));
    c->execute(QStringLiteral("SET XACT_ABORT OFF;"));
    EXPECT_THROW(c->execute(QStringLiteral("BEGIN TRANSACTION; INSERT INTO t2 VALUES (1); INSERT INTO t2 VALUES (2); "
                                           "INSERT INTO t2 VALUES (3); COMMIT TRANSACTION;")),
        orra::Error);
    EXPECT_EQ(c->errors().first().nativeError, 547);
    c->execute(QStringLiteral("SET XACT_ABORT ON;"));
    EXPECT_THROW(c->execute(QStringLiteral("BEGIN TRANSACTION; INSERT INTO t2 VALUES (4); INSERT INTO t2 VALUES (5); "
                                           "INSERT INTO t2 VALUES (6); COMMIT TRANSACTION;")),
        orra::Error);
    c->execute(QStringLiteral("SET XACT_ABORT OFF;"));
    EXPECT_EQ(lastValue(*c, QStringLiteral("select count(*) from t2 where a in (1, 3)")), 2);
    EXPECT_EQ(lastValue(*c, QStringLiteral("select count(*) from t2")), 2);
    // @@ERROR holds the number of the statement's error.
    EXPECT_THROW(c->execute(QStringLiteral("INSERT INTO t2 VALUES (9) IF @@ERROR = 547 PRINT N'A check constraint "
                                           "violation occurred.';")),
        orra::Error);
    ASSERT_EQ(c->errors().size(), 2);
    EXPECT_EQ(c->errors().at(0).description, QStringLiteral("A check constraint violation occurred."));
    EXPECT_EQ(c->errors().at(1).nativeError, 547);
}

TEST_F(Batch, TransactionsNestByTheirCount)
{
    // @@TRANCOUNT's examples: BEGIN and COMMIT count up and down, ROLLBACK ends them all.
    const struct {
        const char* batch;
        QStringList printed;
    } cases[] = {
        {"PRINT @@TRANCOUNT BEGIN TRAN PRINT @@TRANCOUNT BEGIN TRAN PRINT @@TRANCOUNT COMMIT PRINT @@TRANCOUNT COMMIT "
         "PRINT @@TRANCOUNT",
            {"0", "1", "2", "1", "0"}},
        {"PRINT @@TRANCOUNT BEGIN TRAN PRINT @@TRANCOUNT BEGIN TRAN PRINT @@TRANCOUNT ROLLBACK PRINT @@TRANCOUNT",
            {"0", "1", "2", "0"}},
    };
    for (const auto& k : cases) {
        c->execute(QString::fromUtf8(k.batch));
        QStringList printed;
        for (const auto& e : c->errors()) printed << e.description;
        EXPECT_EQ(printed, k.printed) << k.batch;
    }
    // An inner COMMIT keeps the rows for the outer transaction to decide; its ROLLBACK undoes them.
    expectValues({
        {"create table Nested(a int); begin tran; insert Nested values (1); begin tran; insert Nested values (2); "
         "commit; rollback; select count(*) from Nested",
            0},
        // Rollbacks do not touch table variables: their rows and identity count stay, also for one
        // declared inside the transaction.
        {"declare @t table (id int identity, a int); begin tran; insert @t (a) values (1); save tran s; insert @t (a) "
         "values (2); rollback tran s; rollback; insert @t (a) values (3); select cast(count(*) as varchar(5)) + '/' + "
         "cast(max(id) as varchar(5)) from @t",
            QStringLiteral("3/3")},
        {"begin tran; declare @u table (a int primary key); insert @u values (1); rollback; select count(*) from @u", 1},
    });
}

TEST_F(Batch, RollbackToASavepointKeepsTheTransaction)
{
    c->execute(QStringLiteral("create table Saved (v int)"));
    // Savepoint names count their case; a rollback to one leaves @@TRANCOUNT as it is and the
    // savepoint in place; ROLLBACK TRANSACTION's example rolls back the transaction a variable names.
    const struct {
        const char* batch;
        QStringList printed;
    } cases[] = {
        {"BEGIN TRAN T1 insert Saved values (1) SAVE TRAN a insert Saved values (2) SAVE TRANSACTION A insert Saved "
         "values (4) ROLLBACK TRAN a PRINT @@TRANCOUNT insert Saved values (8) COMMIT PRINT @@TRANCOUNT",
            {"1", "0"}},
        {"BEGIN TRAN SAVE TRAN s insert Saved values (16) ROLLBACK TRAN s insert Saved values (32) ROLLBACK TRAN s "
         "PRINT @@TRANCOUNT COMMIT",
            {"1"}},
        {"DECLARE @TransactionName VARCHAR(20) = 'Transaction1'; BEGIN TRAN @TransactionName; INSERT INTO Saved "
         "VALUES (64), (128); ROLLBACK TRAN @TransactionName; PRINT @@TRANCOUNT",
            {"0"}},
    };
    for (const auto& k : cases) {
        c->execute(QString::fromUtf8(k.batch));
        QStringList printed;
        for (const auto& e : c->errors()) printed << e.description;
        EXPECT_EQ(printed, k.printed) << k.batch;
    }
    expectValues({{"select sum(v) from Saved", 9}});
    expectFailures({
        {"SAVE TRAN x", 628, "Cannot issue SAVE TRANSACTION when there is no active transaction."},
        {"BEGIN TRAN T1 ROLLBACK TRAN t1", 6401, "Cannot roll back t1. No transaction or savepoint of that name was found."},
    });
}

TEST_F(Batch, RowCountFollowsEveryStatement)
{
    expectValues({
        {"select ID from tbOrraSQL; select @@rowcount", 3},
        {"select getdate(); select @@rowcount", 1},
        {"declare @v int; set @v = 5; select @@rowcount", 1},
        {"declare @v int; select @v = ID from tbOrraSQL; select @@rowcount", 3},
        {"update tbOrraSQL set CheckSum = 1 where ID < 3; select @@rowcount", 2},
        {"select ID from tbOrraSQL; print 'x'; select @@rowcount", 0},
        {"select ID from tbOrraSQL; set nocount on; select @@rowcount", 0},
        {"select ID from tbOrraSQL; set nocount off; raiserror('m', 10, 1); select @@rowcount", 0},
    });
    c->execute(QStringLiteral("UPDATE tbOrraSQL SET Name = N'Executive' WHERE ID = 123456789 IF @@ROWCOUNT = 0 PRINT "
                              "'Warning: No rows were updated';"));
    ASSERT_FALSE(c->errors().isEmpty());
    EXPECT_EQ(c->errors().last().description, QStringLiteral("Warning: No rows were updated"));
}

}   // namespace orra::embedded::test
