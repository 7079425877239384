// Cursors on the embedded server: declare, open, fetch in every direction, close and
// deallocate, their scopes, the cursor functions and the errors, with the values SQL Server's
// documentation gives for its examples or states as its rules.

#include "ShapesFixture.h"

namespace orra::embedded::test {

namespace {

// The first value of every result set that has columns (NULL for one without a row), in order.
QVariantList firstValues(db::Connection& c, const QString& sql)
{
    QVariantList values;
    db::RecordsetPtr rs = c.execute(sql);
    do {
        if (rs->isOpen()) values << (rs->isEOF() ? QVariant() : rs->value(0));
    } while (rs->NextRecordset());
    return values;
}

struct Case {
    const char* batch;
    QVariantList expected;
};

struct Failure {
    const char* batch;
    long number;
    const char* message;
};

}   // namespace

class Cursors : public Shapes {
protected:
    void expectValues(const std::vector<Case>& cases)
    {
        for (const Case& k : cases) {
            try {
                EXPECT_EQ(firstValues(*c, QString::fromUtf8(k.batch)), k.expected) << k.batch;
            } catch (const orra::Error& e) {
                ADD_FAILURE() << k.batch << ": " << e.description().toStdString();
            }
        }
    }
    void expectFailures(const std::vector<Failure>& cases)
    {
        for (const Failure& k : cases) {
            try {
                firstValues(*c, QString::fromUtf8(k.batch));
                ADD_FAILURE() << k.batch << " ran";
            } catch (const orra::Error& e) {
                EXPECT_EQ(e.number(), -k.number) << k.batch;
                EXPECT_EQ(e.description(), QString::fromUtf8(k.message)) << k.batch;
            }
        }
    }
};

TEST_F(Cursors, FetchIntoVariablesWalksTheRowsInTheSelectsOrder)
{
    expectValues({
        {"DECLARE @name nvarchar(50), @all nvarchar(200) = N'';"
         "DECLARE doc_cursor CURSOR FOR SELECT RTRIM(Name) FROM tbOrraSQL ORDER BY ID DESC;"
         "OPEN doc_cursor; FETCH NEXT FROM doc_cursor INTO @name;"
         "WHILE @@FETCH_STATUS = 0 BEGIN SET @all += @name + N';'; FETCH NEXT FROM doc_cursor INTO @name; END;"
         "CLOSE doc_cursor; DEALLOCATE doc_cursor; SELECT @all, @@FETCH_STATUS",
            {QStringLiteral("Document-3;Document-2;Document-1;")}},
        // the values take the variables' types; a fetch past the end leaves them as they were
        {"declare @id varchar(5), @cat int; declare c cursor local for select ID, CategoryID from tbOrraSQL where ID = 3;"
         "open c; fetch c into @id, @cat; fetch c into @id, @cat; select @id + 'x', @cat, @@fetch_status",
            {QStringLiteral("3x")}},
        // nested cursors, the inner one declared for each row of the outer
        {"set nocount on; declare @cat int, @n int = 0, @doc int;"
         "declare cats cursor for select ID from tbOrraCategory order by ID; open cats; fetch next from cats into @cat;"
         "while @@fetch_status = 0 begin"
         "  declare docs cursor for select ID from tbOrraSQL where CategoryID = @cat; open docs;"
         "  fetch next from docs into @doc; while @@fetch_status = 0 begin set @n += @doc * @cat; "
         "fetch next from docs into @doc; end;"
         "  close docs; deallocate docs; fetch next from cats into @cat;"
         "end; close cats; deallocate cats; select @n",
            {1 + 2 + 3 * 2}},
    });
    EXPECT_EQ(firstValues(*c, QStringLiteral("select @@fetch_status")), QVariantList{-1});
}

TEST_F(Cursors, FetchWithoutIntoGivesTheRowAsAResultSet)
{
    db::RecordsetPtr rs = c->execute(
        QStringLiteral("declare c cursor local for select rtrim(Name) as Name, ID * 2, ID as Twice from tbOrraSQL order by ID; open c; "
                       "fetch next from c; fetch next from c; fetch absolute 1 from c"));
    ASSERT_TRUE(rs->isOpen());
    ASSERT_EQ(rs->fieldCount(), 3);
    EXPECT_EQ(rs->field(0).name, QStringLiteral("Name"));
    EXPECT_EQ(rs->field(1).name, QString());
    EXPECT_EQ(rs->field(2).name, QStringLiteral("Twice"));
    EXPECT_EQ(rs->value(0), QStringLiteral("Document-1"));
    EXPECT_EQ(rs->value(1), 2);
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0), QStringLiteral("Document-2"));
    // a fetch from a forward-only cursor stops there: 16911
    EXPECT_THROW(rs->NextRecordset(), orra::Error);
}

TEST_F(Cursors, ScrollingFetchesFollowTheirDocumentedRules)
{
    const char* declare = "declare c scroll cursor for select ID from tbOrraSQL order by ID; open c; ";
    const struct {
        const char* fetches;
        QVariantList expected;
    } cases[] = {
        {"fetch last from c; fetch prior from c; fetch absolute 2 from c; fetch relative 1 from c; fetch relative -2 "
         "from c",
            {3, 2, 2, 3, 1}},
        // PRIOR or RELATIVE 0 or less as the first fetch: no row, before the first
        {"fetch prior from c; fetch next from c", {QVariant(), 1}},
        {"fetch relative -1 from c; fetch relative 0 from c; fetch relative 2 from c", {QVariant(), QVariant(), 2}},
        // ABSOLUTE n from the front, -n from the end, 0 none
        {"fetch absolute -1 from c; fetch absolute -3 from c; fetch absolute 0 from c; fetch absolute 4 from c",
            {3, 1, QVariant(), QVariant()}},
        // past the end NEXT finds nothing; PRIOR comes back to the last row
        {"fetch last from c; fetch next from c; fetch prior from c; fetch first from c", {3, QVariant(), 3, 1}},
        {"declare @n int = -2; fetch absolute @n from c; fetch relative @n from c", {2, QVariant()}},
    };
    for (const auto& k : cases) {
        const QString batch = QString::fromUtf8(declare) + QString::fromUtf8(k.fetches) + QStringLiteral("; deallocate c");
        EXPECT_EQ(firstValues(*c, batch), k.expected) << k.fetches;
    }
    // STATIC and KEYSET-less extended cursors scroll too; @@FETCH_STATUS says whether a row came
    expectValues({
        {"declare c cursor local static for select ID from tbOrraSQL order by ID; open c; fetch last from c; "
         "select @@fetch_status; fetch next from c; select @@fetch_status",
            {3, 0, QVariant(), -1}},
    });
}

TEST_F(Cursors, TheCursorFunctionsReportTheCursorsState)
{
    expectValues({
        // CURSOR_STATUS's example: -1 after declare, 1 after open, -1 after close, -3 once gone
        {"DECLARE cur CURSOR FOR SELECT ID FROM tbOrraSQL; SELECT CURSOR_STATUS('global','cur'); OPEN cur;"
         "SELECT CURSOR_STATUS('global','cur'); CLOSE cur; SELECT CURSOR_STATUS('global','cur'); DEALLOCATE cur;"
         "SELECT CURSOR_STATUS('global','cur')",
            {-1, 1, -1, -3}},
        // a static cursor's empty result set is 0; a local cursor is not a global one
        {"declare cur cursor local static for select ID from tbOrraSQL where ID > 10; open cur;"
         "select cursor_status('local','cur'), cursor_status('global','cur')",
            {0}},
        {"declare cur cursor local static for select ID from tbOrraSQL where ID > 10; open cur;"
         "select cursor_status('global','cur')",
            {-3}},
        // @@CURSOR_ROWS: 0 before any cursor opens, -1 for a dynamic one (the documented example),
        // the count of a static one, 0 again once the last opened is closed
        {"select @@cursor_rows; declare n cursor for select rtrim(Name), @@cursor_rows from tbOrraSQL order by ID; open n;"
         "fetch next from n; select @@cursor_rows; close n; deallocate n",
            {0, QStringLiteral("Document-1"), -1}},
        {"declare s cursor local static for select ID from tbOrraSQL; open s; select @@cursor_rows; close s;"
         "select @@cursor_rows",
            {3, 0}},
        // DECLARE CURSOR and FETCH set @@ROWCOUNT to 1; CLOSE and DEALLOCATE to 0
        {"declare r cursor local for select ID from tbOrraSQL order by ID; select @@rowcount; open r; fetch r; fetch r; fetch r;"
         "fetch r; select @@rowcount; close r; select @@rowcount",
            {1, 1, 2, 3, QVariant(), 1, 0}},
    });
}

TEST_F(Cursors, CursorsLiveInTheirScope)
{
    // a global cursor outlives its batch; a local one ends with it
    c->execute(QStringLiteral("declare g cursor global static for select ID from tbOrraSQL order by ID; "
                              "declare l cursor local for select ID from tbOrraSQL; open g; fetch g"));
    EXPECT_EQ(firstValues(*c, QStringLiteral("fetch next from g; select cursor_status('local', 'l')")),
        (QVariantList{2, -3}));
    expectFailures({{"open l", 16916, "A cursor with the name 'l' does not exist."}});
    // a local cursor of that name hides the global one unless GLOBAL is written
    expectValues({
        {"declare g cursor local for select 10; open g; fetch g; fetch global g; deallocate g", {10, 3}},
    });
    c->execute(QStringLiteral("close global g; deallocate global g"));
    EXPECT_EQ(firstValues(*c, QStringLiteral("select cursor_status('global', 'g')")), QVariantList{-3});

    // the select reads the variables' values of the declaration, whenever it opens
    expectValues({
        {"declare @id int = 2; declare c cursor local for select ID from tbOrraSQL where ID >= @id order by ID;"
         "set @id = 3; open c; fetch c",
            {2}},
    });

    // a procedure's local cursors end with it; a global one it declares stays
    c->execute(QStringLiteral(
        "create procedure walk as begin declare p cursor local for select ID from tbOrraSQL; open p; "
        "declare q cursor global for select ID from tbOrraSQL order by ID desc; open q; end"));
    expectValues({
        {"exec walk; select cursor_status('local', 'p'), 0; fetch q; close q; deallocate q", {-3, 3}},
    });

    // a cursor variable: -2 before it has a cursor and after deallocate
    expectValues({
        {"declare @c cursor; select cursor_status('variable', '@c');"
         "set @c = cursor forward_only static for select rtrim(Name) from tbOrraSQL order by ID desc; open @c;"
         "fetch next from @c; select cursor_status('variable', '@c'); deallocate @c;"
         "select cursor_status('variable', '@c')",
            {-2, QStringLiteral("Document-3"), 1, -2}},
    });
}

TEST_F(Cursors, ErrorsCarrySqlServersNumbersAndTexts)
{
    expectFailures({
        {"declare c cursor local for select 1; declare c cursor local for select 2", 16915,
            "A cursor with the name 'c' already exists."},
        {"open nowhere", 16916, "A cursor with the name 'nowhere' does not exist."},
        {"declare c cursor local for select 1; fetch next from c", 16917, "Cursor is not open."},
        {"declare c cursor local for select 1; close c", 16917, "Cursor is not open."},
        {"declare c cursor local for select 1; open c; open c", 16905, "The cursor is already open."},
        {"declare @a int; declare c cursor local for select 1, 2; open c; fetch c into @a", 16924,
            "Cursorfetch: The number of variables declared in the INTO list must match that of selected columns."},
        {"declare c cursor local for select 1; open c; fetch last from c", 16911,
            "fetch: The fetch type LAST cannot be used with forward only cursors."},
        {"declare c cursor local fast_forward for select 1; open c; fetch first from c", 16911,
            "fetch: The fetch type FIRST cannot be used with forward only cursors."},
        {"declare c cursor local static forward_only for select 1; open c; fetch prior from c", 16911,
            "fetch: The fetch type PRIOR cannot be used with forward only cursors."},
        {"declare c insensitive cursor for select 1; open c; fetch absolute 1 from c", 16911,
            "fetch: The fetch type ABSOLUTE cannot be used with forward only cursors."},
        {"declare @c cursor; open @c", 16950, "The variable '@c' does not currently have a cursor allocated to it."},
        {"fetch next from @c", 137, "Must declare the scalar variable \"@c\"."},
        // what the server does not run it refuses by name
        {"declare c cursor keyset for select 1", 102,
            "The embedded server does not run KEYSET cursors: it runs STATIC, FAST_FORWARD and READ_ONLY ones."},
        {"declare c cursor dynamic for select 1", 102,
            "The embedded server does not run DYNAMIC cursors: it runs STATIC, FAST_FORWARD and READ_ONLY ones."},
        {"declare c cursor for select ID from tbOrraSQL for update of Name", 102,
            "The embedded server does not run cursors FOR UPDATE: it runs read-only ones."},
        {"declare c scroll cursor static for select 1", 102, "Incorrect syntax near 'static'."},
    });
    // a cursor error ends its statement; the batch goes on
    db::RecordsetPtr rs = c->execute(QStringLiteral("select 1; open nowhere; select 2"));
    EXPECT_EQ(rs->value(0), 1);
    EXPECT_THROW(rs->NextRecordset(), orra::Error);
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0), 2);
}

}   // namespace orra::embedded::test
