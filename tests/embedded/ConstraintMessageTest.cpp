// Constraint failures on the embedded server read as SQL Server words them: the constraint and
// the object are named.

#include "EmbeddedFixture.h"

namespace orra::embedded::test {

namespace {

db::ProviderError failureOf(db::Connection& c, const QString& sql)
{
    try {
        c.execute(sql);
    } catch (const orra::Error&) {
        if (!c.errors().isEmpty()) return c.errors().first();
    }
    return {};
}

}   // namespace

TEST_F(EmbeddedTest, UniqueIndexAndKeyViolationsNameTheConstraintAndTheObject)
{
    auto c = connect();
    c->execute(QStringLiteral(
        "insert into tbOrraCategory (ID, ParentID, Name, Type, Disabled) values (1, 0, 'Sales', 'T', 0)"));
    db::ProviderError e = failureOf(*c,
        QStringLiteral(
            "insert into tbOrraCategory (ID, ParentID, Name, Type, Disabled) values (2, 0, 'sales', 'T', 0)"));
    EXPECT_EQ(e.description,
        QStringLiteral("Cannot insert duplicate key row in object 'dbo.tbOrraCategory' with unique "
                       "index 'IX_ParentID_Name_tbOrraCategory'. The duplicate key value is (0, %1).")
            .arg(QStringLiteral("sales").leftJustified(50)));   // Name is char(50): the row's value, padded
    EXPECT_EQ(e.nativeError, 2601);
    EXPECT_EQ(e.sqlState, QStringLiteral("23000"));
    e = failureOf(*c, QStringLiteral("insert into tbOrraCategory (ID, ParentID, Name) values (1, 5, 'Other')"));
    EXPECT_EQ(e.description,
        QStringLiteral("Violation of PRIMARY KEY constraint 'PK_tbOrraCategory'. Cannot insert "
                       "duplicate key in object 'dbo.tbOrraCategory'. The duplicate key value is (1)."));
    EXPECT_EQ(e.nativeError, 2627);

    c->execute(QStringLiteral(
        "create table Regions (ID int identity(1,1) primary key, Code char(5) constraint UQ_Regions_Code unique, "
        "Name varchar(20))"));
    c->execute(QStringLiteral("insert into Regions (Code, Name) values ('N', 'North')"));
    e = failureOf(*c, QStringLiteral("insert into Regions (Code, Name) values ('N', 'Again')"));
    EXPECT_EQ(e.description,
        QStringLiteral("Violation of UNIQUE KEY constraint 'UQ_Regions_Code'. Cannot insert "
                       "duplicate key in object 'dbo.Regions'. The duplicate key value is (N    )."));
    e = failureOf(*c, QStringLiteral("update Regions set Name=Name"));
    EXPECT_EQ(e.description, QString());   // nothing failed
}

TEST_F(EmbeddedTest, ForeignKeyConflictsNameTheConstraintTableAndColumn)
{
    auto c = connect();
    c->execute(QStringLiteral("insert into tbOrraSQL (ID, CategoryID, Name) values (1, 0, 'One')"));
    c->execute(QStringLiteral("insert into tbOrraSQL (ID, CategoryID, Name) values (2, 0, 'Two')"));
    c->execute(QStringLiteral("insert into tbOrraRelations (ObjID, RelObjID) values (1, 2)"));
    db::ProviderError e = failureOf(*c, QStringLiteral("delete tbOrraSQL where ID=2"));
    EXPECT_EQ(e.description,
        QStringLiteral("The DELETE statement conflicted with the REFERENCE constraint "
                       "\"FK_tbOrraRelations_tbOrraSQL\". The conflict occurred in database "
                       "\"catalogue\", table \"dbo.tbOrraRelations\", column 'RelObjID'."));
    EXPECT_EQ(e.nativeError, 547);
    e = failureOf(*c, QStringLiteral("insert into tbOrraCallSchema (DocID, SchemaID, Name) values (9, 1, 'x')"));
    EXPECT_EQ(e.description,
        QStringLiteral("The INSERT statement conflicted with the FOREIGN KEY constraint "
                       "\"FK_tbOrraCallSchema_tbOrraSQL\". The conflict occurred in database "
                       "\"catalogue\", table \"dbo.tbOrraSQL\", column 'ID'."));
    c->execute(QStringLiteral("insert into tbOrraCallSchema (DocID, SchemaID, Name) values (1, 1, 'x')"));
    e = failureOf(*c, QStringLiteral("update tbOrraCallSchema set DocID=7"));
    EXPECT_EQ(e.description,
        QStringLiteral("The UPDATE statement conflicted with the FOREIGN KEY constraint "
                       "\"FK_tbOrraCallSchema_tbOrraSQL\". The conflict occurred in database "
                       "\"catalogue\", table \"dbo.tbOrraSQL\", column 'ID'."));
    e = failureOf(*c, QStringLiteral("update tbOrraSQL set ID=5 where ID=2"));
    EXPECT_EQ(e.description,
        QStringLiteral("The UPDATE statement conflicted with the REFERENCE constraint "
                       "\"FK_tbOrraRelations_tbOrraSQL\". The conflict occurred in database "
                       "\"catalogue\", table \"dbo.tbOrraRelations\", column 'RelObjID'."));
    // The row that only the cascading key points at goes.
    c->execute(QStringLiteral("delete from tbOrraRelations"));
    c->execute(QStringLiteral("delete tbOrraSQL where ID=2"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraSQL")).toInt(), 1);
}

// A row that a CHECK constraint refuses is error 547 naming the constraint, the table and, when
// the constraint reads one column, that column.
TEST_F(EmbeddedTest, CheckConflictsNameTheConstraintTableAndColumn)
{
    auto c = connect();
    c->execute(QStringLiteral("create table CK (ID int, A int constraint CK_A check (A > 0), B int, "
                              "constraint CK_AB check (A < B))"));
    c->execute(QStringLiteral("insert into CK values (1, 1, 2)"));
    const struct {
        const char* sql;
        const char* message;
    } cases[] = {
        {"insert into CK values (2, 0, 5)",
            "The INSERT statement conflicted with the CHECK constraint \"CK_A\". The conflict occurred in database "
            "\"catalogue\", table \"dbo.CK\", column 'A'."},
        {"update CK set A = -1 where ID = 1",
            "The UPDATE statement conflicted with the CHECK constraint \"CK_A\". The conflict occurred in database "
            "\"catalogue\", table \"dbo.CK\", column 'A'."},
        {"insert into CK values (3, 9, 5)",
            "The INSERT statement conflicted with the CHECK constraint \"CK_AB\". The conflict occurred in database "
            "\"catalogue\", table \"dbo.CK\"."},
    };
    for (const auto& k : cases) {
        const db::ProviderError e = failureOf(*c, QString::fromUtf8(k.sql));
        EXPECT_EQ(e.description, QString::fromUtf8(k.message)) << k.sql;
        EXPECT_EQ(e.nativeError, 547) << k.sql;
    }
}

}   // namespace orra::embedded::test
