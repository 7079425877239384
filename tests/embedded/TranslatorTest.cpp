#include "platform/db/embedded/TsqlTranslator.h"

#include "PrintQString.h"

#include <gtest/gtest.h>

using namespace orra::embedded;

namespace {

Translation tr(const char* sql) { return translate(QString::fromUtf8(sql), QStringLiteral("catalogue")); }

// The statement handed on to SQLite (fails the test when the statement is of another kind).
const SqlStatement& sqlOf(const Statement& s)
{
    static const SqlStatement none;
    EXPECT_TRUE(s.is<SqlStatement>());
    return s.is<SqlStatement>() ? *s.as<SqlStatement>() : none;
}

QString one(const char* sql)
{
    const Translation t = tr(sql);
    EXPECT_TRUE(t.error.isEmpty()) << t.error.toStdString();
    EXPECT_EQ(t.statements.size(), 1u);
    return t.statements.empty() ? QString() : sqlOf(t.statements[0]).sql;
}

}   // namespace

TEST(Translator, CurrentDatabasePrefixNamesMain)
{
    EXPECT_EQ(one("select * from catalogue..tbOrraSQL (nolock) where ID=5"),
        QStringLiteral("select * from main.\"tbOrraSQL\" where ID = 5"));
    EXPECT_EQ(one("select Name,SQLTxt from ..tbOrraSQL where Id=3"),
        QStringLiteral("select Name, SQLTxt from main.\"tbOrraSQL\" where Id = 3"));
}

TEST(Translator, OtherDatabaseIsAttachedByName)
{
    const Translation t = tr("select Server,[Database],UserName,UserPwd from mat..tbOrraConnections where Server='x'");
    ASSERT_EQ(t.statements.size(), 1u);
    EXPECT_EQ(t.databases, QStringList{QStringLiteral("mat")});
    EXPECT_EQ(sqlOf(t.statements[0]).sql,
        QStringLiteral(
            "select Server, \"Database\", UserName, UserPwd from \"mat\".\"tbOrraConnections\" where Server = 'x'"));
}

TEST(Translator, NolockOnAliasesAndJoins)
{
    EXPECT_EQ(one("select distinct s.UserID from tbOrraDocPermissions s (nolock)\r\ninner join sysmembers m (nolock) "
                  "on s.UserId=m.groupuid\r\nwhere m.memberuid=5"),
        QStringLiteral("select distinct s.UserID from tbOrraDocPermissions s inner join sysmembers m on s.UserId = "
                       "m.groupuid where m.memberuid = 5"));
    EXPECT_EQ(one("select * from T with (nolock)"), QStringLiteral("select * from T"));
}

TEST(Translator, BatchWithoutSemicolonsSplitsIntoStatements)
{
    const Translation t = tr("create table #Int (Err smallint) insert into #Int select 0");
    ASSERT_EQ(t.statements.size(), 2u);
    EXPECT_EQ(sqlOf(t.statements[0]).sql, QStringLiteral("create temp table \"#Int\"(Err smallint)"));
    EXPECT_EQ(sqlOf(t.statements[1]).sql, QStringLiteral("insert into \"#Int\" select 0"));
    EXPECT_TRUE(sqlOf(t.statements[1]).dml);
    EXPECT_EQ(sqlOf(t.statements[1]).insert.schema, QStringLiteral("temp"));
    EXPECT_GE(sqlOf(t.statements[1]).insert.columnsAt, 0);
}

TEST(Translator, UnionKeepsSelectsTogether)
{
    const Translation t = tr("select 1 union all select 2 select 3");
    ASSERT_EQ(t.statements.size(), 2u);
    EXPECT_EQ(sqlOf(t.statements[0]).sql, QStringLiteral("select 1 union all select 2"));
}

TEST(Translator, IfExistsElseWithAndWithoutBeginEnd)
{
    Translation t = tr(
        "if exists(select 1 from catalogue..tbOrraSQL where Name='a' and CategoryID=1) \r\nselect 1 x else select 0 x");
    ASSERT_EQ(t.statements.size(), 1u);
    const auto* s = t.statements[0].as<IfStatement>();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->condition,
        QStringLiteral("select case when exists (select 1 from main.\"tbOrraSQL\" where Name = 'a' and CategoryID = 1) "
                       "then 1 else 0 end"));
    ASSERT_EQ(s->thenBranch.size(), 1u);
    ASSERT_EQ(s->elseBranch.size(), 1u);
    EXPECT_EQ(sqlOf(s->thenBranch[0]).sql, QStringLiteral("select 1 x"));
    EXPECT_EQ(sqlOf(s->elseBranch[0]).sql, QStringLiteral("select 0 x"));

    t = tr("if exists(select 1 from T) begin select 1 x end else begin select 0 x end");
    ASSERT_EQ(t.statements.size(), 1u);
    const auto* withBlocks = t.statements[0].as<IfStatement>();
    ASSERT_NE(withBlocks, nullptr);
    EXPECT_TRUE(withBlocks->thenBranch[0].is<BlockStatement>());
    const auto* elseBlock = withBlocks->elseBranch[0].as<BlockStatement>();
    ASSERT_NE(elseBlock, nullptr);
    EXPECT_EQ(sqlOf(elseBlock->body[0]).sql, QStringLiteral("select 0 x"));
}

TEST(Translator, UpdateThroughAlias)
{
    EXPECT_EQ(one("update t set t.Name='x' from catalogue..tbOrraSQL t where ID=7"),
        QStringLiteral("update main.\"tbOrraSQL\" as \"t\" set Name = 'x' where ID = 7"));
    EXPECT_EQ(one("update t  set t.CategoryID=3 from catalogue..tbOrraSQL t where t.ID=4"),
        QStringLiteral("update main.\"tbOrraSQL\" as \"t\" set CategoryID = 3 where t.ID = 4"));
    EXPECT_EQ(one("update #Int set Err=2"), QStringLiteral("update \"#Int\" set Err = 2"));
}

TEST(Translator, UpdateWithInnerJoinBecomesUpdateFrom)
{
    EXPECT_EQ(one("update t set t.Name=b.Name from A t inner join B b on t.ID=b.ID where b.X=1"),
        QStringLiteral("update A as \"t\" set Name = b.Name from B b where (t.ID = b.ID) and (b.X = 1)"));
}

TEST(Translator, DeleteForms)
{
    EXPECT_EQ(one("delete tbOrraDocPermissions where OrraID=5"),
        QStringLiteral("delete from tbOrraDocPermissions where OrraID = 5"));
    EXPECT_EQ(one("delete d  from catalogue..tbOrraCallSchemaDetail d  inner join catalogue..tbOrraCallSchema b on "
                  "d.ParentID=b.ID where b.DocID=1"),
        QStringLiteral("delete from main.\"tbOrraCallSchemaDetail\" where rowid in (select \"d\".rowid from "
                       "main.\"tbOrraCallSchemaDetail\" d inner join main.\"tbOrraCallSchema\" b on d.ParentID = b.ID "
                       "where b.DocID = 1)"));
}

TEST(Translator, PlusOnTextBecomesServerAddition)
{
    EXPECT_EQ(one("select SUser_SName() + ' (' + cast(@@SPID as varchar(10)) + ')'"),
        QStringLiteral("select orra_add(orra_suser_sname(), ' (', orra_varchar(orra_value_text_fits(orra_spid(), 10, "
                       "'varchar'), 10), ')')"));
    EXPECT_EQ(one("select 1 + 2 * 3"), QStringLiteral("select orra_add(1, 2 * 3)"));
    EXPECT_EQ(one("select a + b - c + d + e"), QStringLiteral("select orra_add((orra_add(a, b) - c), d, e)"));
    EXPECT_EQ(one("select a - b + c from T"), QStringLiteral("select orra_add((a - b), c) from T"));
    EXPECT_EQ(one("select coalesce(max(ID),0)+1 MaxID from catalogue..tbOrraSQL (nolock)"),
        QStringLiteral("select orra_add(coalesce(max(ID), 0), 1) MaxID from main.\"tbOrraSQL\""));
    EXPECT_EQ(one("select case when a=1 then 'x' else 'y' end + 'z'"),
        QStringLiteral("select orra_add(case when a = 1 then 'x' else 'y' end, 'z')"));
}

TEST(Translator, ServerFunctions)
{
    EXPECT_EQ(one("select isnull(Description,''), getdate(), user_name(5), db_name(), @@IDENTITY x"),
        QStringLiteral(
            "select ifnull(Description, ''), orra_getdate(), orra_user_name(5), orra_db_name(), orra_identity() x"));
    EXPECT_EQ(one("select uid from sysusers (nolock) where sid=suser_sid()"),
        QStringLiteral("select uid from sysusers where sid = orra_suser_sid()"));
}

TEST(Translator, SelectIntoTempTable)
{
    const Translation t = tr("select ID, Name into #T from catalogue..tbOrraSQL where ID>1 drop table #T");
    ASSERT_EQ(t.statements.size(), 2u);
    EXPECT_EQ(sqlOf(t.statements[0]).sql, QStringLiteral("select ID, Name from main.\"tbOrraSQL\" where ID > 1"));
    EXPECT_EQ(sqlOf(t.statements[0]).intoTable, QStringLiteral("temp.\"#T\""));
    EXPECT_FALSE(sqlOf(t.statements[0]).returnsRows);
    EXPECT_EQ(sqlOf(t.statements[1]).sql, QStringLiteral("drop table temp.\"#T\""));
}

TEST(Translator, NoCountAndProcedures)
{
    Translation t = tr("set nocount on select 5 set nocount off ");
    ASSERT_EQ(t.statements.size(), 3u);
    ASSERT_TRUE(t.statements[0].is<NoCountStatement>());
    EXPECT_TRUE(t.statements[0].as<NoCountStatement>()->on);
    ASSERT_TRUE(t.statements[2].is<NoCountStatement>());
    EXPECT_FALSE(t.statements[2].as<NoCountStatement>()->on);

    t = tr("sp_UserLock '<Document><Parameter Name=\"DocID\" Value=\"3\"/></Document>',0");
    ASSERT_EQ(t.statements.size(), 1u);
    const auto* lock = t.statements[0].as<ProcedureCall>();
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(lock->name, QStringLiteral("sp_UserLock"));
    ASSERT_EQ(lock->arguments.size(), 2u);
    EXPECT_EQ(lock->arguments[1].value.toInt(), 0);

    t = tr("exec sp_Orra_GetDocumentsAndCategories default");
    ASSERT_EQ(t.statements.size(), 1u);
    const auto* list = t.statements[0].as<ProcedureCall>();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->arguments.size(), 1u);
    EXPECT_TRUE(list->arguments[0].isDefault);

    t = tr("exec sp_addrolemember 'Editors', 'ali'");
    ASSERT_EQ(t.statements.size(), 1u);
    ASSERT_TRUE(t.statements[0].is<ProcedureCall>());
    EXPECT_EQ(t.statements[0].as<ProcedureCall>()->arguments[0].value.toString(), QStringLiteral("Editors"));
}

TEST(Translator, AdministrationStatements)
{
    Translation t = tr("create database Sales create login ali with password='p''w' create user ali for login ali "
                       "create role Editors");
    ASSERT_EQ(t.statements.size(), 4u);
    ASSERT_TRUE(t.statements[0].is<CreateDatabase>());
    EXPECT_EQ(t.statements[0].as<CreateDatabase>()->name, QStringLiteral("Sales"));
    ASSERT_TRUE(t.statements[1].is<CreateLogin>());
    EXPECT_EQ(t.statements[1].as<CreateLogin>()->name, QStringLiteral("ali"));
    EXPECT_EQ(t.statements[1].as<CreateLogin>()->password, QStringLiteral("p'w"));
    ASSERT_TRUE(t.statements[2].is<CreateUser>());
    EXPECT_EQ(t.statements[2].as<CreateUser>()->login, QStringLiteral("ali"));
    ASSERT_TRUE(t.statements[3].is<CreateRole>());
    EXPECT_EQ(t.statements[3].as<CreateRole>()->name, QStringLiteral("Editors"));
}

TEST(Translator, CreateTableTypes)
{
    EXPECT_EQ(one("create table X (ID int identity(1,1) not null primary key clustered, Name char(10) collate "
                  "Turkish_CI_AS null, Note varchar(max), B bit)"),
        QStringLiteral(
            "create table X(ID INTEGER CONSTRAINT \"PK__X\" PRIMARY KEY AUTOINCREMENT /*primary key*/ not null, Name "
            "char(10) COLLATE TR_CI null "
            "CONSTRAINT \"String or binary data would be truncated.\" CHECK (length(\"Name\") <= 10 OR length(rtrim(\"Name\")) <= 10), "
            "Note varchar COLLATE TR_CI, B bit)"));
}

TEST(Translator, VariablesAndBrokenTextAreRefused)
{
    EXPECT_FALSE(tr("select @x").error.isEmpty());
    EXPECT_FALSE(tr("select 'abc").error.isEmpty());
    EXPECT_FALSE(tr("select [abc").error.isEmpty());
    EXPECT_FALSE(tr("if exists(select 1)").error.isEmpty());
}

TEST(Translator, StatementsOutsideTheSubsetAreRefused)
{
    EXPECT_EQ(tr("merge into x using y").error, QStringLiteral("Incorrect syntax near the end of the statement."));
    EXPECT_EQ(tr("select 1 reindex").error, QString());
    EXPECT_EQ(tr("select 1\nreindex").statements.size(), 1u);
    EXPECT_EQ(tr("create trigger t on x for insert as select 1").error,
        QStringLiteral("The embedded server does not run 'create trigger' statements."));
    EXPECT_EQ(tr("select 1; analyze").error, QStringLiteral("The embedded server does not run 'analyze' statements."));
    // An index name is its table's: SQLite keeps it as "T.IX".
    EXPECT_EQ(one("create unique index IX on T (a)"), QStringLiteral("create unique index main.\"T.IX\" on \"T\" (a)"));
}

TEST(Translator, ParametersPassThrough)
{
    EXPECT_EQ(one("select * from T where a = ? and b = ?"), QStringLiteral("select * from T where a = ? and b = ?"));
}

TEST(Translator, CacheReturnsSameTranslation)
{
    auto a = translateCached(QStringLiteral("select 1"), QStringLiteral("db"));
    auto b = translateCached(QStringLiteral("select 1"), QStringLiteral("db"));
    auto c = translateCached(QStringLiteral("select 1"), QStringLiteral("other"));
    EXPECT_EQ(a.get(), b.get());
    EXPECT_NE(a.get(), c.get());
}

TEST(Translator, NamesThatOnlySqliteReservesAreQuoted)
{
    EXPECT_EQ(
        one("select Limit, Offset from Nothing"), QStringLiteral("select \"Limit\", \"Offset\" from \"Nothing\""));
}
