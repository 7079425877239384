// Every statement shape the system composes, run on a real embedded catalogue.
#include "ShapesFixture.h"

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

TEST_F(Shapes, MaxPlusOneIdentifiers)
{
    EXPECT_EQ(
        scalar(*c, QStringLiteral("select coalesce(max(ID),0)+1 MaxID from catalogue..tbOrraSQL (nolock)")).toInt(), 4);
    c->execute(QStringLiteral("delete catalogue..tbOrraSQL where ID=3"));
    EXPECT_EQ(
        scalar(*c, QStringLiteral("select coalesce(max(ID),0)+1 MaxID from catalogue..tbOrraSQL (nolock)")).toInt(), 3);
}

TEST_F(Shapes, CharColumnsComeBackPaddedAndBitIsBoolean)
{
    db::RecordsetPtr rs = c->execute(QStringLiteral("select * from catalogue..tbOrraSQL where ID=1"));
    ASSERT_FALSE(rs->isEOF());
    EXPECT_EQ(rs->value(QStringLiteral("Name")).toString(), QStringLiteral("Document-1").leftJustified(50, u' '));
    EXPECT_EQ(rs->value(QStringLiteral("Type")).toString(), QStringLiteral("T"));
    EXPECT_EQ(rs->value(QStringLiteral("Description")).toString().size(), 1000);
    const int disabled = rs->fieldIndex(QStringLiteral("Disabled"));
    EXPECT_EQ(int(rs->field(disabled).type), 11);
    EXPECT_EQ(rs->value(disabled).typeId(), QMetaType::Bool);
    EXPECT_EQ(rs->fieldCount(), 9);
    EXPECT_EQ(rs->field(6).name, QStringLiteral("SQLtxt"));
}

TEST_F(Shapes, NamesDifferingOnlyInCaseAreRefused)
{
    EXPECT_THROW(c->execute(QStringLiteral(
                     "insert into catalogue..tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                     "select 9,1,'DOCUMENT-1','','T',0,'',suser_sid()")),
        orra::Error);
    EXPECT_THROW(c->execute(QStringLiteral(
                     "insert into catalogue..tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                     "select 9,1,'Document-1   ','','T',0,'',suser_sid()")),
        orra::Error);
    // Turkish letters: i/İ and ı/I are pairs, so "kitap" and "KİTAP" clash, "KITAP" does not.
    c->execute(QStringLiteral("update t set t.Name='kitap' from catalogue..tbOrraSQL t where ID=2"));
    EXPECT_THROW(
        c->execute(QStringLiteral("update t set t.Name='KİTAP' from catalogue..tbOrraSQL t where ID=1")), orra::Error);
    c->execute(QStringLiteral("update t set t.Name='KITAP' from catalogue..tbOrraSQL t where ID=1"));
    // The same name in another category is fine.
    c->execute(QStringLiteral("update t set t.Name='kitap' from catalogue..tbOrraSQL t where ID=3"));
    // Comparison in where clauses follows the column's collation.
    EXPECT_EQ(scalar(*c,
                  QStringLiteral("if exists(select 1 from catalogue..tbOrraSQL where Name='KİTAP' and CategoryID=1) "
                                 "\r\nselect 1 x else select 0 x"))
                  .toInt(),
        1);
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraSQL where Name like 'kİt%'")).toInt(), 2);
}

TEST_F(Shapes, IfExistsBothForms)
{
    EXPECT_EQ(scalar(*c,
                  QStringLiteral("if exists(select 1 from tbOrraSQL x (nolock) \r\ninner join sysusers s (nolock) on "
                                 "x.Owner=s.sid \r\nwhere uid=1 and x.ID=2) select 1 else select 0 "))
                  .toInt(),
        1);
    EXPECT_EQ(scalar(*c,
                  QStringLiteral("if exists(select 1 from tbOrraSQL x (nolock) \r\ninner join sysusers s (nolock) on "
                                 "x.Owner=s.sid \r\nwhere uid=0 and x.ID=2) select 1 else select 0 "))
                  .toInt(),
        0);
    EXPECT_EQ(
        scalar(*c,
            QStringLiteral(
                "if exists(select 1 from ..tbOrraSQL where ID=99) begin select 1 x end else begin select 0 x end"))
            .toInt(),
        0);
}

TEST_F(Shapes, UpdateThroughAliasAndJoin)
{
    c->execute(QStringLiteral("update t set t.SQLTxt='<Document ID=''B0''/>' from catalogue..tbOrraSQL t where ID=1"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select SQLTxt from catalogue..tbOrraSQL where ID=1")).toString(),
        QStringLiteral("<Document ID='B0'/>"));
    c->execute(QStringLiteral("update t set t.Disabled=1 from tbOrraSQL t inner join tbOrraCategory k on "
                              "t.CategoryID=k.ID where k.Disabled=1"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraSQL where Disabled=1")).toInt(), 1);
    EXPECT_EQ(scalar(*c, QStringLiteral("select ID from tbOrraSQL where Disabled=1")).toInt(), 3);
}

TEST_F(Shapes, RowsAffectedUnlessNoCount)
{
    long affected = -1;
    db::RecordsetPtr rs =
        c->execute(QStringLiteral("update t set t.Type='T' from catalogue..tbOrraSQL t where t.ID<3"), {}, &affected);
    EXPECT_EQ(affected, 2);
    EXPECT_FALSE(rs->isOpen());
    rs = c->execute(QStringLiteral("set nocount on select 5 set nocount off "));
    ASSERT_TRUE(rs->isOpen());
    EXPECT_EQ(rs->value(0).toInt(), 5);
    // Without nocount the insert's count comes first, the select's rows second.
    rs = c->execute(QStringLiteral("insert into tbOrraRepository select 'Block','a','x' select @@IDENTITY x"));
    EXPECT_FALSE(rs->isOpen());
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0).toInt(), 1);
}

TEST_F(Shapes, IdentityNeverReusesAValue)
{
    c->execute(QStringLiteral("insert into catalogue..tbOrraRepository select 'Block','one','<Block/>'"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select @@IDENTITY x")).toInt(), 1);
    c->execute(QStringLiteral("insert into catalogue..tbOrraRepository select 'Block','two','<Block/>'"));
    c->execute(QStringLiteral("delete catalogue..tbOrraRepository where ID=2"));
    c->execute(QStringLiteral("insert into catalogue..tbOrraRepository select 'Script','three','<Script/>'"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select @@IDENTITY x")).toInt(), 3);
    // An insert into a table without identity leaves @@IDENTITY alone.
    c->execute(QStringLiteral("insert into tbOrraRelations select 1,2"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select @@IDENTITY x")).toInt(), 3);
    EXPECT_EQ(scalar(*c, QStringLiteral("select Tag from tbOrraRepository where ID=3")).toString().trimmed(),
        QStringLiteral("Script"));
}

TEST_F(Shapes, CallSchemasCascadeWithTheirDocument)
{
    c->execute(QStringLiteral("insert into catalogue..tbOrraCallSchema (DocID,SchemaID,Name) select 1,1,'s'"));
    const int id = scalar(*c, QStringLiteral("select @@IDENTITY x")).toInt();
    c->execute(QStringLiteral("insert into catalogue..tbOrraCallSchemaDetail select %1,'B0.P0','v' insert into "
                              "catalogue..tbOrraCallSchemaDetail select %1,'B0.P1',NULL")
                   .arg(id));
    EXPECT_EQ(scalar(*c,
                  QStringLiteral(
                      "select isnull(max(SchemaID),0)+1 NewID \r\nfrom catalogue..tbOrraCallSchema\r\nwhere DocID=1"))
                  .toInt(),
        2);
    EXPECT_EQ(scalar(*c,
                  QStringLiteral("select count(*) from tbOrraCallSchemaDetail d (nolock)\r\ninner join "
                                 "tbOrraCallSchema b (nolock) on d.ParentId=b.ID\r\nwhere b.DocId=1 and b.SchemaID=1"))
                  .toInt(),
        2);
    c->execute(
        QStringLiteral("delete d  from catalogue..tbOrraCallSchemaDetail d  inner join catalogue..tbOrraCallSchema b "
                       "on d.ParentID=b.ID  where b.DocID=1 and d.ParamID='B0.P1'"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraCallSchemaDetail")).toInt(), 1);
    c->execute(QStringLiteral("insert into tbOrraRelations select 1,2"));
    c->execute(
        QStringLiteral("insert into tbOrraDocPermissions(OrraID,UserId,Allow,[Deny],CheckSum) select 1,0,2,0,0"));
    c->execute(QStringLiteral("delete catalogue..tbOrraSQL where ID=1"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraCallSchema")).toInt(), 0);
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraCallSchemaDetail")).toInt(), 0);
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraRelations")).toInt(), 0);
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraDocPermissions")).toInt(), 1);   // left behind
}

TEST_F(Shapes, IncludedDocumentCannotBeDeleted)
{
    c->execute(QStringLiteral("insert into tbOrraRelations select 1,2"));
    EXPECT_THROW(c->execute(QStringLiteral("delete catalogue..tbOrraSQL where ID=2")), orra::Error);
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraSQL where ID=2")).toInt(), 1);
}

TEST_F(Shapes, TempTablesBelongToTheSession)
{
    c->execute(QStringLiteral("create table #Int (Err smallint) insert into #Int select 0"));
    c->execute(QStringLiteral("update #Int set Err=2"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select Err from #Int")).toInt(), 2);
    c->execute(QStringLiteral("select ID, Name into #Report from catalogue..tbOrraSQL where ID>1"));
    db::RecordsetPtr rs = c->execute(QStringLiteral("select * from #Report"));
    EXPECT_EQ(rs->RecordCount(), 2);
    // The new table keeps the column types: char(50) stays padded.
    EXPECT_EQ(rs->value(1).toString(), QStringLiteral("Document-2").leftJustified(50, u' '));
    c->execute(QStringLiteral("select Disabled, Name + 'x' Tail into #Bits from tbOrraSQL where ID=1"));
    rs = c->execute(QStringLiteral("select * from #Bits"));
    EXPECT_EQ(int(rs->field(0).type), 11);
    // char(50) is padded in expressions too, as the server stores it.
    EXPECT_EQ(rs->value(1).toString(), QStringLiteral("Document-1").leftJustified(50, u' ') + u'x');
    EXPECT_THROW(c->execute(QStringLiteral("select 1 x into #Bits")), orra::Error);
    EXPECT_TRUE(c->errors().first().description.contains(QStringLiteral("There is already an object named '#Bits'")));
    auto other = connect();
    EXPECT_THROW(other->execute(QStringLiteral("select Err from #Int")), orra::Error);
    c->execute(QStringLiteral("drop table #Report"));
    EXPECT_THROW(c->execute(QStringLiteral("select * from #Report")), orra::Error);
    c->close();
    c = connect();
    EXPECT_THROW(c->execute(QStringLiteral("select Err from #Int")), orra::Error);
}

TEST_F(Shapes, RegistryInMat)
{
    c->execute(QStringLiteral("insert into mat..tbOrraConnections select 'DATA','1.2.3.4','sales','u','1;2;3'"));
    db::RecordsetPtr rs = c->execute(
        QStringLiteral("select Server,[Database],UserName,UserPwd from mat..tbOrraConnections where Server='data'"));
    ASSERT_FALSE(rs->isEOF());
    EXPECT_EQ(rs->value(QStringLiteral("Database")).toString(), QStringLiteral("sales"));
    c->execute(QStringLiteral("delete tbOrraConnections  where Server='x'"));
}

TEST_F(Shapes, TextFunctionsAndConcatenation)
{
    c->execute(QStringLiteral("insert into tbOrraConnections select 'SRV','1.2.3.4','db','u','p'"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select 'a' + Server + '/' + [Database] from tbOrraConnections")).toString(),
        QStringLiteral("aSRV/db"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select ID + 10 from tbOrraCategory where ID=1")).toInt(), 11);
    EXPECT_EQ(scalar(*c, QStringLiteral("select '5' + 1")).toInt(), 6);
    EXPECT_THROW(c->execute(QStringLiteral("select 'x' + 1")), orra::Error);
    EXPECT_TRUE(scalar(*c, QStringLiteral("select 'a' + NULL")).isNull());
    // an int too long for its text is "*", as CAST's conversion table gives it; text is cut
    EXPECT_EQ(scalar(*c, QStringLiteral("select cast(12345 as varchar(3))")).toString(), QStringLiteral("*"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select cast('12345' as varchar(3))")).toString(), QStringLiteral("123"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select isnull(Description,'-') from tbOrraCallSchema")).toString(), QString());
    EXPECT_EQ(scalar(*c, QStringLiteral("select db_name()")).toString(), QStringLiteral("catalogue"));
    const QString now = scalar(*c, QStringLiteral("select getdate()")).toString();
    EXPECT_EQ(now.left(10), QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd")));
}

TEST_F(Shapes, UnsupportedStatementFailsLoudly)
{
    EXPECT_THROW(c->execute(QStringLiteral("merge into tbOrraSQL using x on 1=1")), orra::Error);
    EXPECT_FALSE(c->errors().isEmpty());
    EXPECT_THROW(c->execute(QStringLiteral("declare c cursor dynamic for select 1")), orra::Error);
    EXPECT_THROW(c->execute(QStringLiteral("exec sp_nothing 1")), orra::Error);
    EXPECT_TRUE(
        c->errors().first().description.contains(QStringLiteral("Could not find stored procedure 'sp_nothing'")));
    EXPECT_THROW(c->execute(QStringLiteral("select * from nodb..tbOrraSQL")), orra::Error);
    EXPECT_TRUE(c->errors().first().description.contains(QStringLiteral("Database 'nodb' does not exist")));
}

TEST_F(Shapes, BoundParametersPassThrough)
{
    db::RecordsetPtr rs = c->execute(
        QStringLiteral("select Name from tbOrraSQL where ID=? and CategoryID=?"), {QVariant(3), QVariant(2)});
    ASSERT_FALSE(rs->isEOF());
    EXPECT_EQ(rs->value(0).toString().trimmed(), QStringLiteral("Document-3"));
    c->execute(QStringLiteral("update t set t.SQLtxt=? from catalogue..tbOrraSQL t where ID=?"),
        {QStringLiteral("it's <x/>"), QVariant(3)});
    EXPECT_EQ(
        scalar(*c, QStringLiteral("select SQLtxt from tbOrraSQL where ID=3")).toString(), QStringLiteral("it's <x/>"));
}

TEST_F(Shapes, PermissionQueries)
{
    c->execute(QStringLiteral(
        "insert into tbOrraCategoryPermissions(CategoryID,UserId,Allow,[Deny],CheckSum) select 1,0,16,0,5"));
    db::RecordsetPtr rs =
        c->execute(QStringLiteral("select * from tbOrraCategoryPermissions (nolock) where CategoryID=1 and UserID=0"));
    ASSERT_FALSE(rs->isEOF());
    EXPECT_EQ(rs->field(3).name, QStringLiteral("Deny"));
    rs = c->execute(
        QStringLiteral("select s.uid,s.name ,s.islogin  from tbOrraCategoryPermissions x (nolock)\r\ninner join "
                       "sysusers s (nolock) on x.UserID=s.uid \r\nwhere CategoryID = 1\r\norder by s.islogin"));
    ASSERT_FALSE(rs->isEOF());
    EXPECT_EQ(rs->value(1).toString(), QStringLiteral("public"));
    rs = c->execute(QStringLiteral(
        "select uid,name,case when islogin=1 then 'Login' else 'Role' end Type from sysusers (nolock) "));
    EXPECT_GE(rs->RecordCount(), 4);
    EXPECT_EQ(scalar(*c, QStringLiteral("select suser_sname(owner) from tbOrraSQL (nolock) where ID=1")).toString(),
        QStringLiteral("sa"));
    EXPECT_EQ(
        scalar(*c, QStringLiteral("select case when owner=suser_sid() then 1 else 0 end from tbOrraSQL where ID=1"))
            .toInt(),
        1);
}

TEST_F(Shapes, CatalogueCommandsAsComposed)
{
    // Copy of a document into another category.
    c->execute(
        QStringLiteral("insert into catalogue..tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                       "select 4,2,'Copy of ' +x.[Name],x.[Description], x.[Type], x.[Disabled], "
                       "x.[SQLtxt],suser_sid() from catalogue..tbOrraSQL x (nolock)where x.[ID]=1"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select Name from tbOrraSQL where ID=4")).toString().trimmed(),
        QStringLiteral("Copy of Document-1"));
    // Enable/disable and moves through the alias with two blanks.
    c->execute(QStringLiteral("update t  set t.[Disabled]=1 from catalogue..tbOrraSQL t where t.ID=4"));
    c->execute(QStringLiteral("update t  set t.ParentID=2 from catalogue..tbOrraCategory t where t.ID=1"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select ParentID from tbOrraCategory where ID=1")).toInt(), 2);
    EXPECT_TRUE(scalar(*c, QStringLiteral("select Disabled from tbOrraSQL where ID=4")).toBool());
    // Relations as the editor's save writes them, and the dependency lists.
    c->execute(QStringLiteral("insert into catalogue..tbOrraRelations(ObjId,RelObjId) values(1,2)"));
    c->execute(QStringLiteral("insert into catalogue..tbOrraRelations(ObjId,RelObjId) values(4,2)"));
    db::RecordsetPtr rs =
        c->execute(QStringLiteral(" select distinct s.ID, s.Name from tbOrraRelations r (nolock)  inner join tbOrraSQL "
                                  "s (nolock) on r.ObjId=s.ID  Where r.RelObjId = 2"));
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(
        scalar(*c, QStringLiteral("select RelObjId ID from catalogue..tbOrraRelations where ObjId=4")).toInt(), 2);
    // A call schema inserted without a column list, then its values.
    c->execute(QStringLiteral("insert into catalogue..tbOrraCallSchema \r\nselect 1,1,'Monthly',null"));
    const int id = scalar(*c, QStringLiteral("select @@IDENTITY x")).toInt();
    c->execute(QStringLiteral("insert into catalogue..tbOrraCallSchemaDetail\r\nselect %1,'B0.P0',NULL").arg(id));
    EXPECT_EQ(scalar(*c,
                  QStringLiteral("select count(*) from tbOrraCallSchemaDetail where ParentID=%1 and ParamVal is null")
                      .arg(id))
                  .toInt(),
        1);
    // The connection registry written without a database prefix.
    c->execute(QStringLiteral("insert into tbOrraConnections Select 'SRV','','db','u','1;2'"));
    c->execute(QStringLiteral(
        "update tbOrraConnections set Database='db2'   ,IP='ip'   ,UserName='u'   ,UserPwd='3' where Server='srv'"));
    EXPECT_EQ(scalar(*c, QStringLiteral("Select [Database] from tbOrraConnections where Server='SRV'")).toString(),
        QStringLiteral("db2"));
    c->execute(QStringLiteral("delete tbOrraConnections  where Server='SRV'"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraConnections")).toInt(), 0);
}

TEST_F(Shapes, TransactionsCommitAndRollBack)
{
    c->beginTrans();
    c->execute(QStringLiteral("insert into tbOrraRepository select 'Block','t1','x'"));
    c->rollbackTrans();
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraRepository")).toInt(), 0);
    c->beginTrans();
    c->execute(QStringLiteral("insert into tbOrraRepository select 'Block','t2','x'"));
    // Another session waits for the writer instead of failing.
    auto other = connect();
    EXPECT_EQ(scalar(*other, QStringLiteral("select count(*) from tbOrraRepository")).toInt(), 0);
    c->commitTrans();
    EXPECT_EQ(scalar(*other, QStringLiteral("select count(*) from tbOrraRepository")).toInt(), 1);
    c->execute(QStringLiteral("begin tran insert into tbOrraRepository select 'Block','t3','x' commit tran"));
    EXPECT_EQ(scalar(*other, QStringLiteral("select count(*) from tbOrraRepository")).toInt(), 2);
}

TEST_F(Shapes, ValuesLongerThanTheColumnAreRefused)
{
    auto refused = [&](const QString& sql, long number) {
        try {
            c->execute(sql);
            ADD_FAILURE() << "stored: " << sql.toStdString();
        } catch (const orra::Error&) {
            ASSERT_FALSE(c->errors().isEmpty()) << sql.toStdString();
            EXPECT_EQ(c->errors().front().nativeError, number) << sql.toStdString();
            if (number == 8152)
                EXPECT_EQ(c->errors().front().description, QStringLiteral("String or binary data would be truncated."));
        }
    };
    const QString long51 = QString(51, u'x');
    refused(QStringLiteral("update t set t.Name='%1' from catalogue..tbOrraSQL t where ID=1").arg(long51), 8152);
    EXPECT_EQ(scalar(*c, QStringLiteral("select Name from tbOrraSQL where ID=1")).toString().trimmed(),
        QStringLiteral("Document-1"));
    // Trailing blanks beyond the width are dropped, as the server drops them.
    c->execute(QStringLiteral("update t set t.Name='%1' from catalogue..tbOrraSQL t where ID=1")
                   .arg(QString(48, u'y') + QString(10, u' ')));
    EXPECT_EQ(scalar(*c, QStringLiteral("select Name from tbOrraSQL where ID=1")).toString(),
        QString(48, u'y') + QStringLiteral("  "));
    // The same for tables that statements create.
    c->execute(QStringLiteral("create table #Short (Code varchar(3), Pad char(4))"));
    EXPECT_THROW(c->execute(QStringLiteral("insert into #Short select 'abcd', 'x'")), orra::Error);
    c->execute(QStringLiteral("insert into #Short select 'abc', 'x'"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select Pad from #Short")).toString(), QStringLiteral("x   "));
    // Copies between tables: a column declared no longer than its target goes in unchecked, a
    // longer one is still refused, the next statement is checked again, and a table with a
    // check of its own keeps it.
    c->execute(QStringLiteral("create table #Wide (Code varchar(10)); create table #Copy (Code varchar(3))"));
    c->execute(QStringLiteral("insert into #Wide values ('abcdefghij')"));
    c->execute(QStringLiteral("insert into #Copy select s.Code from #Short s"));
    refused(QStringLiteral("insert into #Copy select Code from #Wide"), 8152);
    refused(QStringLiteral("insert into #Copy values ('abcd')"), 8152);
    c->execute(QStringLiteral("create table #Guarded (Code varchar(3) check (Code <> 'abc'))"));
    refused(QStringLiteral("insert into #Guarded select Code from #Copy"), 547);
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from #Copy where Code = 'abc'")).toInt(), 1);
}

TEST_F(Shapes, DatePartsOfDatetimeColumns)
{
    c->execute(QStringLiteral("create table #Dates (D datetime)"));
    c->execute(QStringLiteral("insert into #Dates values (?)"), {QDateTime(QDate(2025, 2, 28), QTime(23, 59, 1))});
    c->execute(QStringLiteral("insert into #Dates values ('2024-12-01')"));
    c->execute(QStringLiteral("insert into #Dates values (NULL)"));
    db::RecordsetPtr rs = c->execute(QStringLiteral("select year(D), month(D), day(D) from #Dates order by D desc"));
    ASSERT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->value(0).toInt(), 2025);
    EXPECT_EQ(rs->value(1).toInt(), 2);
    EXPECT_EQ(rs->value(2).toInt(), 28);
    rs->MoveNext();
    EXPECT_EQ(rs->value(0).toInt() * 10000 + rs->value(1).toInt() * 100 + rs->value(2).toInt(), 20241201);
    rs->MoveNext();
    EXPECT_TRUE(db::isNull(rs->value(0)));
    EXPECT_THROW(c->execute(QStringLiteral("select year('not a date')")), Error);
}

TEST_F(Shapes, PrintSendsInformationalMessagesInBatchOrder)
{
    db::RecordsetPtr rs = c->execute(QStringLiteral(
        "print 'first'\nselect count(*) n from catalogue..tbOrraSQL\n"
        "if exists (select * from catalogue..tbOrraSQL where ID=1) print 'ID ' + cast(1 as varchar(5)) + ' is there'\n"
        "print null\nprint 12.50"));
    EXPECT_EQ(rs->value(0).toInt(), 3);
    EXPECT_FALSE(rs->NextRecordset());
    const QList<db::ProviderError>& m = c->errors();
    ASSERT_EQ(m.size(), 4);
    const QStringList texts{
        QStringLiteral("first"), QStringLiteral("ID 1 is there"), QString(), QStringLiteral("12.50")};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m[i].number, 0) << i;
        EXPECT_EQ(m[i].sqlState, QStringLiteral("01000")) << i;
        EXPECT_EQ(m[i].description, texts[i]) << i;
    }
    // A value prints as CAST makes it text: a decimal with its scale, money with two decimals, a
    // float in at most six digits, binary as its characters; at most 8000 characters (4000 Unicode).
    const struct {
        const char* value;
        const char* printed;
    } values[] = {
        {"1.50", "1.50"},
        {"cast(2 as money)", "2.00"},
        {"1e10", "1e+010"},
        {"cast(3.14159265358979 as float)", "3.14159"},
        {"cast('abc' as varbinary(10))", "abc"},
    };
    for (const auto& k : values) {
        c->execute(QStringLiteral("print ") + QString::fromUtf8(k.value));
        ASSERT_EQ(c->errors().size(), 1) << k.value;
        EXPECT_EQ(c->errors().first().description, QString::fromUtf8(k.printed)) << k.value;
    }
    const struct {
        const char* text;
        qsizetype printed;
    } longTexts[] = {
        {"replicate(cast('a' as varchar(max)), 4500) + replicate(cast('a' as varchar(max)), 4500)", 8000},
        {"replicate(cast(N'a' as nvarchar(max)), 4500) + replicate(cast(N'a' as nvarchar(max)), 4500)", 4000},
    };
    for (const auto& k : longTexts) {
        c->execute(QStringLiteral("print ") + QString::fromUtf8(k.text));
        ASSERT_EQ(c->errors().size(), 1) << k.text;
        EXPECT_EQ(c->errors().first().description.size(), k.printed) << k.text;
    }
    // A print without a value is a syntax error.
    EXPECT_THROW(c->execute(QStringLiteral("print")), orra::Error);
    // A batch that fails after a print keeps the message ahead of its error.
    EXPECT_THROW(c->execute(QStringLiteral("print 'before'\nselect * from catalogue..nowhere")), orra::Error);
    ASSERT_EQ(c->errors().size(), 2);
    EXPECT_EQ(c->errors()[0].description, QStringLiteral("before"));
    EXPECT_LT(c->errors()[1].number, 0);
}
