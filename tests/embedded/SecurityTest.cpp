// The embedded server as a hostile login tries it: a login "dave" with a user in the
// catalogue only must not read or change what his user may not; the ordinary road (the
// catalogue statements by an ordinary user, the login/user/role statements by an
// administrator) still works.
#include "EmbeddedFixture.h"

#include "common/Crc32.h"

#include "platform/db/embedded/Authorizer.h"
#include "platform/db/embedded/ServerInternal.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sodium.h>
#include <sqlite3.h>

#include <cmath>
#include <csignal>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

namespace {

const QString kDave = QStringLiteral("dave");
const QString kDavePassword = QStringLiteral("Dave#1");

class Hostile : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        const QString t = QStringLiteral("t");
        createLogin(t, kDave, kDavePassword);
        createUser(t, QStringLiteral("catalogue"), kDave, kDave);
        createDatabase(t, QStringLiteral("sales"));
        auto sa = connect(QStringLiteral("sales"));
        sa->execute(QStringLiteral("create table Orders (ID int primary key, Amount int)"));
        sa->execute(QStringLiteral("insert into Orders values (1, 10)"));
        dave = connect(QStringLiteral("catalogue"), kDave, kDavePassword);
    }

    QString serverFile(const QString& name) const { return m_dir.path() + QStringLiteral("/t/") + name; }

    std::unique_ptr<db::Connection> dave;
};

int modeOf(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return int(st.st_mode & 07777);
}

}   // namespace

// ---- statements that are not T-SQL never reach SQLite ------------------------------------

TEST_F(Hostile, AttachOfTheMasterFileIsRefused)
{
    const QString attach = QStringLiteral("attach database '%1' as m").arg(serverFile(QStringLiteral("master.db")));
    EXPECT_EQ(refusal(*dave, attach), QStringLiteral("The embedded server does not run 'attach' statements."));
    EXPECT_EQ(refusal(*dave, QStringLiteral("select 1; ") + attach),
        QStringLiteral("The embedded server does not run 'attach' statements."));
    EXPECT_FALSE(refusal(*dave, QStringLiteral("select name, password_hash from m.syslogins")).isEmpty());
    EXPECT_FALSE(refusal(*dave, QStringLiteral("detach database main")).isEmpty());
}

TEST_F(Hostile, PragmaAndVacuumAreRefused)
{
    EXPECT_EQ(refusal(*dave, QStringLiteral("pragma writable_schema = 1")),
        QStringLiteral("The embedded server does not run 'pragma' statements."));
    const QString copy = m_dir.path() + QStringLiteral("/copy.db");
    EXPECT_EQ(refusal(*dave, QStringLiteral("vacuum into '%1'").arg(copy)),
        QStringLiteral("The embedded server does not run 'vacuum' statements."));
    EXPECT_FALSE(QFileInfo::exists(copy));
    // The pragmas' table functions and extension loading are refused by SQLite's authorizer.
    EXPECT_FALSE(refusal(*dave, QStringLiteral("select * from pragma_table_info('tbOrraSQL')")).isEmpty());
    EXPECT_EQ(refusal(*dave, QStringLiteral("select load_extension('/tmp/x.so')")),
        QStringLiteral("'load_extension' is not a recognized built-in function name."));
    EXPECT_FALSE(refusal(*dave, QStringLiteral("create trigger tr on tbOrraSQL for insert as select 1")).isEmpty());
}

// ---- the server's tables and other databases -----------------------------------------------

TEST_F(Hostile, NoLoginMakesItselfDbo)
{
    EXPECT_EQ(refusal(*dave, QStringLiteral("delete sysusers where name='dbo'")),
        QStringLiteral(
            "The DELETE permission was denied on the object 'sysusers', database 'catalogue', schema 'dbo'."));
    EXPECT_EQ(refusal(*dave, QStringLiteral("update sysusers set uid=1 where name='dave'")),
        QStringLiteral(
            "The UPDATE permission was denied on the object 'sysusers', database 'catalogue', schema 'dbo'."));
    EXPECT_FALSE(refusal(*dave, QStringLiteral("insert into sysmembers values (5, 16384)")).isEmpty());
    // Not even the administrator writes them except through the statements for principals.
    auto sa = connect();
    EXPECT_FALSE(refusal(*sa, QStringLiteral("delete catalogue..sysusers where name='dave'")).isEmpty());
    EXPECT_EQ(scalar(*sa, QStringLiteral("select name from sysusers where uid=1")).toString(), QStringLiteral("dbo"));
    EXPECT_EQ(scalar(*sa, QStringLiteral("select uid from sysusers where name='dave'")).toInt(), 5);
    EXPECT_EQ(scalar(*sa, QStringLiteral("select count(*) from sysmembers")).toInt(), 0);
    EXPECT_EQ(scalar(*dave, QStringLiteral("select user_name()")).toString(), kDave);
    // Nor stands a temporary table in for them in the session's own names.
    EXPECT_FALSE(refusal(
        *dave, QStringLiteral("create table temp.sysusers (uid int, name varchar(10), islogin int, sid varbinary(85))"))
                     .isEmpty());
    EXPECT_FALSE(refusal(*dave, QStringLiteral("select 1 uid into temp.sysmembers")).isEmpty());
    EXPECT_EQ(scalar(*dave, QStringLiteral("select uid from sysusers (nolock) where sid=suser_sid()")).toInt(), 5);
}

TEST_F(Hostile, NoLoginReadsHashesOrMakesLogins)
{
    EXPECT_TRUE(refusal(*dave, QStringLiteral("select name, password_hash from master..syslogins"))
                    .contains(QStringLiteral("not able to access the database \"master\"")));
    EXPECT_TRUE(refusal(*dave, QStringLiteral("select count(*) from sales..Orders"))
                    .contains(QStringLiteral("not able to access the database \"sales\"")));
    // The administrator reads the hashes but writes no login by hand.
    auto sa = connect();
    EXPECT_TRUE(scalar(*sa, QStringLiteral("select password_hash from master..syslogins where name='dave'"))
                    .toString()
                    .startsWith(QStringLiteral("$argon2id$")));
    EXPECT_EQ(refusal(*sa,
                  QStringLiteral(
                      "insert into master..syslogins (name, sid, password_hash, isntname, sysadmin, createdate) "
                      "select 'evil', x'01', password_hash, 0, 1, getdate() from master..syslogins where name='dave'")),
        QStringLiteral("The INSERT permission was denied on the object 'syslogins', database 'master', schema 'dbo'."));
    EXPECT_FALSE(loginSid(QStringLiteral("t"), QStringLiteral("evil")).size() > 0);
}

TEST_F(Hostile, OnlyOwnersChangeTheSchema)
{
    EXPECT_EQ(refusal(*dave, QStringLiteral("drop table tbOrraSQL")),
        QStringLiteral("Cannot drop the table 'tbOrraSQL', because it does not exist or you do not have permission."));
    EXPECT_EQ(refusal(*dave, QStringLiteral("create table Mine (a int)")),
        QStringLiteral("CREATE TABLE permission denied in database 'catalogue'."));
    EXPECT_FALSE(refusal(*dave, QStringLiteral("alter table tbOrraSQL add Extra int")).isEmpty());
    EXPECT_FALSE(refusal(*dave, QStringLiteral("create index IX_Mine on tbOrraSQL (Name)")).isEmpty());
    EXPECT_EQ(refusal(*dave, QStringLiteral("select 1 a into Kept")),
        QStringLiteral("CREATE TABLE permission denied in database 'catalogue'."));
    EXPECT_EQ(refusal(*dave, QStringLiteral("truncate table tbOrraCallSchema")), QString());
    EXPECT_EQ(scalar(*dave, QStringLiteral("select count(*) from tbOrraSQL")).toInt(), 0);
    // Temporary tables are everyone's.
    dave->execute(QStringLiteral("create table #Int (Err smallint) insert into #Int select 0"));
    dave->execute(QStringLiteral("select 1 x into #Report"));
    dave->execute(QStringLiteral("drop table #Report"));
    // A member of db_owner may.
    auto sa = connect();
    sa->execute(QStringLiteral("exec sp_addrolemember 'db_owner', 'dave'"));
    auto owner = connect(QStringLiteral("catalogue"), kDave, kDavePassword);
    owner->execute(QStringLiteral("create table Mine (a int)"));
    owner->execute(QStringLiteral("drop table Mine"));
    EXPECT_FALSE(refusal(*owner, QStringLiteral("drop table sysmembers")).isEmpty());
}

// ---- the ordinary road ------------------------------------------------------------------------

TEST_F(Hostile, AdministratorManagesLoginsUsersAndRoles)
{
    auto sa = connect();
    sa->execute(QStringLiteral("create login erin with password='Erin#2'"));
    sa->execute(QStringLiteral("create user erin for login erin"));
    sa->execute(QStringLiteral("create role editors"));
    sa->execute(QStringLiteral("exec sp_addrolemember 'editors', 'erin'"));
    EXPECT_EQ(scalar(*sa,
                  QStringLiteral("select count(*) from sysmembers m join sysusers u on u.uid=m.memberuid "
                                 "join sysusers g on g.uid=m.groupuid where u.name='erin' and g.name='editors'"))
                  .toInt(),
        1);
    auto erin = connect(QStringLiteral("catalogue"), QStringLiteral("erin"), QStringLiteral("Erin#2"));
    EXPECT_EQ(scalar(*erin, QStringLiteral("select user_name()")).toString(), QStringLiteral("erin"));
    // An ordinary user manages nobody.
    EXPECT_TRUE(
        refusal(*dave, QStringLiteral("create user erin2 for login erin")).contains(QStringLiteral("permission")));
    EXPECT_TRUE(refusal(*dave, QStringLiteral("create role mine")).contains(QStringLiteral("permission")));
    EXPECT_TRUE(refusal(*dave, QStringLiteral("exec sp_addrolemember 'db_owner', 'dave'"))
                    .contains(QStringLiteral("permission")));
    EXPECT_TRUE(
        refusal(*dave, QStringLiteral("create login evil with password='x'")).contains(QStringLiteral("permission")));
}

TEST_F(Hostile, OrdinaryUserRunsTheCatalogueStatements)
{
    createUser(QStringLiteral("t"), QStringLiteral("mat"), kDave, kDave);
    auto& c = *dave;
    const QStringList statements = {
        QStringLiteral("select coalesce(max(ID),0)+1 MaxID from catalogue..tbOrraCategory (nolock)"),
        QStringLiteral("insert into catalogue..tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select "
                       "1,0,'Category-1','T',0,suser_sid()"),
        QStringLiteral("update tbOrraCategory set CheckSum=12345 where ID=1"),
        QStringLiteral("insert into catalogue..tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                       "select 1,1,'Document-1','','T',0,'<Document ID=\"B0\"/>',suser_sid()"),
        QStringLiteral("insert into catalogue..tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                       "select 2,2-1,'Copy of ' +x.[Name],x.[Description], x.[Type], x.[Disabled], "
                       "x.[SQLtxt],suser_sid() from catalogue..tbOrraSQL x (nolock)where x.[ID]=1"),
        QStringLiteral("update t set t.Name='Renamed' from catalogue..tbOrraSQL t where ID=2"),
        QStringLiteral("update t  set t.[Disabled]=1 from catalogue..tbOrraSQL t where t.ID=2"),
        QStringLiteral("update tbOrraSQL set CheckSum=-5 where ID=1"),
        QStringLiteral("update t set t.SQLTxt='<Document ID=\"B0\"><Include ID=\"B0.I0\" Name=\"Include:Document-1\" "
                       "DocID=\"1\"/></Document>' from catalogue..tbOrraSQL t where ID=2"),
        QStringLiteral("delete catalogue..tbOrraRelations where ObjID=2"),
        QStringLiteral("insert into catalogue..tbOrraRelations(ObjId,RelObjId) values(2,1)"),
        QStringLiteral("insert into catalogue..tbOrraRepository select 'Block','B','<Block/>'"),
        QStringLiteral("select @@IDENTITY x"),
        QStringLiteral("insert into catalogue..tbOrraCallSchema \r\nselect 1,1,'Monthly',null"),
        QStringLiteral("insert into catalogue..tbOrraCallSchemaDetail\r\nselect 1,'B0.P0',NULL"),
        QStringLiteral("update catalogue..tbOrraCallSchema set Description='d' where ID=1"),
        QStringLiteral("delete from tbOrraCallSchemaDetail where ParentID=1"),
        QStringLiteral("begin transaction"),
        QStringLiteral("delete tbOrraDocPermissions where OrraID=1 and UserId=5"),
        QStringLiteral("insert into tbOrraDocPermissions(OrraID,UserId,Allow,[Deny],CheckSum) select 1,5,16,0,7"),
        QStringLiteral("commit transaction"),
        QStringLiteral("select s.uid,s.name ,s.islogin  from tbOrraDocPermissions x (nolock)\r\ninner join sysusers s "
                       "(nolock) on x.UserID=s.uid where OrraID = 1"),
        QStringLiteral("select distinct s.UserID from tbOrraDocPermissions s (nolock) where s.UserID in (select "
                       "groupuid from sysmembers where memberuid=5)"),
        QStringLiteral("select uid from sysusers (nolock) where sid=suser_sid()"),
        QStringLiteral("select User_Name(5), suser_sname(), suser_sname(owner) from tbOrraSQL where ID=1"),
        QStringLiteral("insert into tbOrraConnections Select 'SRV','','db','u','1;2'"),
        QStringLiteral("update tbOrraConnections set [Database]='db2' where Server='srv'"),
        QStringLiteral("delete tbOrraConnections  where Server='SRV'"),
        QStringLiteral("insert into mat..tbOrraConnections select 'DATA','1.2.3.4','sales','u','1;2;3'"),
        QStringLiteral("select Server,[Database],UserName,UserPwd from mat..tbOrraConnections where Server='data'"),
        QStringLiteral("exec sp_Orra_GetDocumentsAndCategories default"),
        QStringLiteral("sp_UserLock '<Document><Program Name=\"Morvane\" DB=\"catalogue\"/><Parameter Name=\"DocID\" "
                       "Value=\"1\"/></Document>',0"),
        QStringLiteral("sp_UserLock '<Document><Program Name=\"Morvane\" DB=\"catalogue\"/><Parameter Name=\"DocID\" "
                       "Value=\"1\"/></Document>',1"),
        QStringLiteral(
            "set nocount on create table #Int (Err smallint) insert into #Int select 0 "
            "if exists(select 1 from tbOrraSQL x (nolock) where x.ID=1) update #Int set Err=2 select Err from #Int"),
        QStringLiteral("select Name,SQLTxt from catalogue..tbOrraSQL (nolock) where ID=1"),
        QStringLiteral("delete catalogue..tbOrraRepository where ID=1"),
        QStringLiteral("delete catalogue..tbOrraSQL where ID=2"),
        QStringLiteral(
            "delete catalogue..tbOrraCategory where ID=1 and not exists(select 1 from tbOrraSQL where CategoryID=1)"),
    };
    for (const QString& sql : statements) {
        EXPECT_EQ(refusal(c, sql), QString()) << sql.toStdString();
        // The rights rely on the category row's checksum: stamped as the designer stamps it.
        if (sql.startsWith(QLatin1String("update tbOrraCategory set CheckSum="))) {
            const int32_t sum =
                orra::RowCheckSum(*c.execute(QStringLiteral("select * from tbOrraCategory where ID=1")));
            EXPECT_EQ(
                refusal(c, QStringLiteral("update tbOrraCategory set CheckSum=%1 where ID=1").arg(sum)), QString());
        }
    }
    EXPECT_EQ(scalar(c, QStringLiteral("select count(*) from tbOrraSQL")).toInt(), 1);
    EXPECT_EQ(scalar(c, QStringLiteral("select Description from tbOrraCallSchema where ID=1")).toString().trimmed(),
        QStringLiteral("d"));
    EXPECT_EQ(scalar(c, QStringLiteral("select count(*) from mat..tbOrraConnections")).toInt(), 1);
    EXPECT_EQ(scalar(c, QStringLiteral("select suser_sname(Owner) from tbOrraSQL where ID=1")).toString(), kDave);
}

// ---- files ----------------------------------------------------------------------------------------

TEST_F(Hostile, ServerFilesAreTheOwnersAlone)
{
    const mode_t old = ::umask(0);
    catalogue::createEmbeddedServer(QStringLiteral("open"), QStringLiteral("sa"), QStringLiteral("pw"));
    catalogue::createEmbeddedCatalogue(QStringLiteral("open"), QStringLiteral("catalogue"));
    {
        db::Connection c;
        c.open(connectionText(
            QStringLiteral("open"), QStringLiteral("catalogue"), QStringLiteral("sa"), QStringLiteral("pw")));
        c.execute(QStringLiteral("insert into tbOrraConnections select 'A','','d','u','p'"));
        const QString folder = m_dir.path() + QStringLiteral("/open");
        // While the session is open the write-ahead files exist too.
        for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
            EXPECT_EQ(modeOf(f.filePath()), 0600) << f.fileName().toStdString();
        EXPECT_EQ(modeOf(folder), 0700);
        EXPECT_EQ(modeOf(folder + QStringLiteral("/master.db")), 0600);
        EXPECT_EQ(modeOf(folder + QStringLiteral("/mat.db")), 0600);
        EXPECT_EQ(modeOf(folder + QStringLiteral("/catalogue.db")), 0600);
    }
    ::umask(old);
}

TEST_F(Hostile, AnOpenedUpServerIsClosedAgainByItsOwnersLogOn)
{
    const QString folder = m_dir.path() + QStringLiteral("/t");
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ::chmod(QFile::encodeName(serverFile(QStringLiteral("master.db"))).constData(), 0644);
    ::chmod(QFile::encodeName(serverFile(QStringLiteral("sales.db"))).constData(), 0644);
    auto c = connect();
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(serverFile(QStringLiteral("master.db"))), 0600);
    EXPECT_EQ(modeOf(serverFile(QStringLiteral("sales.db"))), 0600);
}

TEST_F(Hostile, AnInterruptedCreationLeavesNoHalfServer)
{
    const QString root = m_dir.path() + QStringLiteral("/fresh");
    qputenv("ORRA_SERVERS", root.toUtf8());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            catalogue::createEmbeddedServer(QStringLiteral("demo"), QStringLiteral("sa"), QStringLiteral("pw"));
        } catch (...) {
        }
        ::_exit(0);
    }
    // Kill the child as soon as anything of the server appears under the root.
    for (int i = 0; i < 200000
         && (!QFileInfo(root).isDir()
             || QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
         ++i)
        ::usleep(50);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    // Whatever the moment: either a whole server or none under its name.
    const QString folder = root + QStringLiteral("/demo");
    if (QFileInfo::exists(folder)) {
        EXPECT_TRUE(isEmbeddedServer(QStringLiteral("demo")));
        EXPECT_TRUE(databaseExists(QStringLiteral("demo"), QStringLiteral("mat")));
    } else {
        catalogue::createEmbeddedServer(QStringLiteral("demo"), QStringLiteral("sa"), QStringLiteral("pw"));
        EXPECT_TRUE(isEmbeddedServer(QStringLiteral("demo")));
    }
    db::Connection c;
    c.open(connectionText(QStringLiteral("demo"), QStringLiteral("mat"), QStringLiteral("sa"), QStringLiteral("pw")));
    EXPECT_EQ(scalar(c, QStringLiteral("select count(*) from tbOrraConnections")).toInt(), 0);
    qputenv("ORRA_SERVERS", m_dir.path().toUtf8());
}

// ---- log-on -----------------------------------------------------------------------------------------

TEST_F(Hostile, ATransactionOverMasterHoldsUpNoLogOn)
{
    auto sa = connect();
    sa->execute(QStringLiteral("select count(*) from master..syslogins"));
    sa->execute(QStringLiteral("begin transaction"));
    sa->execute(QStringLiteral("select count(*) from master..syslogins"));
    auto other = connect(QStringLiteral("catalogue"), kDave, kDavePassword);
    EXPECT_EQ(scalar(*other, QStringLiteral("select user_name()")).toString(), kDave);
    sa->execute(QStringLiteral("commit transaction"));
    // Nor a session whose database is master.
    auto inMaster = connect(QStringLiteral("master"));
    inMaster->execute(QStringLiteral("begin transaction"));
    EXPECT_EQ(scalar(*inMaster, QStringLiteral("select count(*) from syslogins")).toInt(), 2);
    auto third = connect(QStringLiteral("catalogue"), kDave, kDavePassword);
    EXPECT_TRUE(third->isOpen());
    inMaster->execute(QStringLiteral("rollback transaction"));
}

TEST_F(Hostile, HashCostsOutsideTheBoundsAreRefused)
{
    // A hash as the server makes it today, and the interactive level of new ones.
    const QString made = hashPassword(QStringLiteral("pw"));
    EXPECT_TRUE(made.startsWith(QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$"))) << made.toStdString();
    EXPECT_TRUE(verifyPassword(made, QStringLiteral("pw")));
    auto hashWith = [](unsigned long long passes, size_t bytes) {
        char out[crypto_pwhash_STRBYTES];
        EXPECT_EQ(crypto_pwhash_str(out, "pw", 2, passes, bytes), 0);
        return QString::fromLatin1(out);
    };
    // Earlier servers' hashes (16 MiB) still log on.
    EXPECT_TRUE(verifyPassword(hashWith(2, 16u << 20), QStringLiteral("pw")));
    // Weaker than that, or dearer than the ceiling, are refused even with the right password.
    EXPECT_FALSE(verifyPassword(hashWith(2, 8u << 20), QStringLiteral("pw")));
    EXPECT_FALSE(verifyPassword(hashWith(5, 16u << 20), QStringLiteral("pw")));
    EXPECT_FALSE(
        acceptableHashParameters(QString(made).replace(QStringLiteral("m=65536"), QStringLiteral("m=2097152"))));
    EXPECT_FALSE(
        acceptableHashParameters(QString(made).replace(QStringLiteral("t=2"), QStringLiteral("t=4294967295"))));
    EXPECT_FALSE(acceptableHashParameters(QString(made).replace(QStringLiteral("p=1"), QStringLiteral("p=64"))));
    EXPECT_FALSE(
        acceptableHashParameters(QString(made).replace(QStringLiteral("argon2id"), QStringLiteral("argon2i"))));
    // A row planted with a hostile cost does not log on (and costs nothing to refuse).
    sqlite3* m = detail::openFile(serverFile(QStringLiteral("master.db")), false);
    const QByteArray hostile = QString(made).replace(QStringLiteral("t=2"), QStringLiteral("t=4294967295")).toLatin1();
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(m, "update syslogins set password_hash = ? where name = 'dave'", -1, &st, nullptr),
        SQLITE_OK);
    sqlite3_bind_text(st, 1, hostile.constData(), -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_finalize(st);
    detail::closeFile(m);
    db::Connection c;
    EXPECT_THROW(c.open(connectionText(QStringLiteral("t"), QStringLiteral("catalogue"), kDave, QStringLiteral("pw"))),
        orra::Error);
    EXPECT_EQ(c.errors().first().nativeError, 18456);
}

TEST_F(Hostile, LoginNamesCompareAsTheServerCollation)
{
    for (const QString& name :
        {QStringLiteral("DAVE"), QStringLiteral("Dave"), QStringLiteral("dave "), QStringLiteral(" dave")}) {
        db::Connection c;
        if (name.startsWith(u' ')) {
            EXPECT_THROW(c.open(connectionText(QStringLiteral("t"), QStringLiteral("catalogue"), name, kDavePassword)),
                orra::Error);
            continue;
        }
        c.open(connectionText(QStringLiteral("t"), QStringLiteral("catalogue"), name, kDavePassword));
        // The session goes by the login's own name.
        EXPECT_EQ(scalar(c, QStringLiteral("select suser_sname()")).toString(), kDave) << name.toStdString();
    }
    // Case in the Turkish manner: i pairs with İ, ı with I.
    createLogin(QStringLiteral("t"), QStringLiteral("ali"), QStringLiteral("Ali#3"));
    createUser(QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("ali"), QStringLiteral("ali"));
    db::Connection turkish;
    turkish.open(connectionText(
        QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("ALİ"), QStringLiteral("Ali#3")));
    EXPECT_EQ(scalar(turkish, QStringLiteral("select suser_sname()")).toString(), QStringLiteral("ali"));
    auto sa = connect();
    EXPECT_TRUE(
        refusal(*sa, QStringLiteral("create login DAVE with password='x'")).contains(QStringLiteral("already exists")));
    EXPECT_TRUE(refusal(*sa, QStringLiteral("create login [dave ] with password='x'"))
                    .contains(QStringLiteral("already exists")));
}

// ---- nesting ----------------------------------------------------------------------------------------

TEST(Nesting, DeepNestingIsRefusedLongBeforeTheStackEnds)
{
    const QString tooDeep = QStringLiteral(
        "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries.");
    const QStringList texts = {
        QStringLiteral("begin ").repeated(20000) + QStringLiteral("select 1") + QStringLiteral(" end").repeated(20000),
        QStringLiteral("if 1=1 ").repeated(20000) + QStringLiteral("select 1"),
        QStringLiteral("if 1=1 begin ").repeated(5000) + QStringLiteral("select 1")
            + QStringLiteral(" end").repeated(5000),
        QStringLiteral("select ") + QStringLiteral("cast(").repeated(100000) + u'1'
            + QStringLiteral(" as int)").repeated(100000),
        QStringLiteral("select ") + QStringLiteral("(").repeated(100000) + QStringLiteral("1+'a'")
            + QStringLiteral(")").repeated(100000),
        QStringLiteral("select ") + QStringLiteral("case when 1=1 then ").repeated(20000) + QStringLiteral("'a'+'b'")
            + QStringLiteral(" end").repeated(20000),
        QStringLiteral("if ") + QStringLiteral("(").repeated(50000) + QStringLiteral("1=1")
            + QStringLiteral(")").repeated(50000) + QStringLiteral(" select 1"),
        QStringLiteral("select ") + QStringLiteral("convert(int, ").repeated(50000) + u'1'
            + QStringLiteral(")").repeated(50000),
    };
    for (const QString& text : texts) {
        const Translation t = translate(text, QStringLiteral("catalogue"));
        EXPECT_EQ(t.error, tooDeep) << text.left(40).toStdString();
        EXPECT_EQ(t.errorNumber, 191);
        EXPECT_TRUE(t.statements.empty());
    }
    // Nesting as people write it still translates.
    const Translation ok = translate(QStringLiteral("if 1=1 begin ").repeated(40)
            + QStringLiteral("select cast((1+2) as int)") + QStringLiteral(" end").repeated(40),
        QStringLiteral("catalogue"));
    EXPECT_TRUE(ok.error.isEmpty()) << ok.error.toStdString();
}

// Random mixtures of the nesting forms at random depths (the sanitizer build runs this too):
// each ends as a translation or as the one error, never as a crash.
TEST(Nesting, RandomDeepMixturesEndAsTranslationOrError)
{
    const QString tooDeep = QStringLiteral(
        "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries.");
    std::mt19937 random(20261209);
    const char* const blockOpen[] = {"begin ", "if 1=1 ", "if exists(select 1) "};
    const char* const exprOpen[] = {"(", "cast(", "case when 1=1 then ", "convert(int, ", "isnull("};
    const char* const exprClose[] = {")", " as int)", " end", ")", ", 0)"};
    for (int round = 0; round < 300; ++round) {
        // Depths spread from a few to tens of thousands.
        const int blocks = int(std::exp2(std::uniform_real_distribution<double>(0, 15)(random)));
        const int exprs = int(std::exp2(std::uniform_real_distribution<double>(0, 15)(random)));
        QString text;
        QString blockEnd;
        for (int i = 0; i < blocks; ++i) {
            const int k = int(random() % 3);
            text += QLatin1String(blockOpen[k]);
            if (k == 0) blockEnd += QStringLiteral(" end");
        }
        text += QStringLiteral("select ");
        QString close;
        for (int i = 0; i < exprs; ++i) {
            const int k = int(random() % 5);
            text += QLatin1String(exprOpen[k]);
            close.prepend(QLatin1String(exprClose[k]));
        }
        text += QStringLiteral("1+'a'") + close + blockEnd;
        const Translation t = translate(text, QStringLiteral("catalogue"));
        // The innermost statement is one level below the blocks.
        if (blocks + 1 > 128 || exprs > 128)
            EXPECT_EQ(t.error, tooDeep) << "blocks " << blocks << " expressions " << exprs;
        else
            EXPECT_NE(t.error, tooDeep) << "blocks " << blocks << " expressions " << exprs;
        EXPECT_TRUE(t.error.isEmpty() || t.statements.empty());
    }
}

TEST_F(Hostile, DeepNestingFailsAsAnErrorOfTheStatement)
{
    EXPECT_EQ(refusal(*dave,
                  QStringLiteral("begin ").repeated(20000) + QStringLiteral("select 1")
                      + QStringLiteral(" end").repeated(20000)),
        QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
                       "smaller queries."));
    EXPECT_EQ(dave->errors().first().nativeError, 191);
    EXPECT_EQ(scalar(*dave, QStringLiteral("if 1=1 begin if 2=2 begin select 7 end end")).toInt(), 7);
}

// ---- the translator's cache -------------------------------------------------------------------

TEST(TranslationCache, DatabasesWhoseNamesFoldApartShareNothing)
{
    // "dbi" and "dbI" are two databases under the Turkish fold (i/İ, ı/I), one under toLower().
    clearTranslationCache();
    const QString sql = QStringLiteral("select * from dbi..T");
    const auto inDbi = translateCached(sql, QStringLiteral("dbi"));
    const auto inDbI = translateCached(sql, QStringLiteral("dbI"));
    EXPECT_TRUE(inDbi->databases.isEmpty());
    EXPECT_EQ(inDbI->databases, QStringList{QStringLiteral("dbi")});
    // Spellings that fold alike are one database and one entry.
    EXPECT_EQ(translateCached(sql, QStringLiteral("DBİ")).get(), inDbi.get());
}

// ---- the authorizer on its own -----------------------------------------------------------------

TEST(SessionRightsTest, RefusesWhatClientTextMayNotDo)
{
    QTemporaryDir dir;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dir.path() + QStringLiteral("/a.db")).constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "create table sysusers (uid int, name text); create table t (a int);", nullptr, nullptr, nullptr);
    SessionRights rights;
    rights.setDatabaseName(QStringLiteral("a"));
    rights.install(db);
    auto run = [&](const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); };
    const QByteArray attach = "attach database '" + QFile::encodeName(dir.path()) + "/b.db' as b";
    EXPECT_EQ(run(attach.constData()), SQLITE_AUTH);
    EXPECT_EQ(run("pragma writable_schema = 1"), SQLITE_AUTH);
    const QByteArray vacuum = "vacuum into '" + QFile::encodeName(dir.path()) + "/c.db'";
    EXPECT_EQ(run(vacuum.constData()), SQLITE_AUTH);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/c.db")));
    EXPECT_EQ(run("select * from pragma_table_info('t')"), SQLITE_AUTH);
    EXPECT_EQ(run("insert into sysusers values (1, 'dbo')"), SQLITE_AUTH);
    EXPECT_EQ(run("create table u (a int)"), SQLITE_AUTH);
    EXPECT_EQ(rights.denial(), QStringLiteral("CREATE TABLE permission denied in database 'a'."));
    EXPECT_EQ(run("drop table t"), SQLITE_AUTH);
    EXPECT_EQ(run("insert into t values (1)"), SQLITE_OK);
    EXPECT_EQ(run("create temp table x (a int)"), SQLITE_OK);
    rights.setOwner(QStringLiteral("main"), true);
    EXPECT_EQ(run("create table u (a int)"), SQLITE_OK);
    EXPECT_EQ(run("drop table u"), SQLITE_OK);
    EXPECT_EQ(run("drop table sysusers"), SQLITE_AUTH);
    EXPECT_EQ(run("pragma writable_schema = 1"), SQLITE_AUTH);
    {
        const SessionRights::Trusted trusted(rights);
        EXPECT_EQ(run("insert into sysusers values (1, 'dbo')"), SQLITE_OK);
    }
    EXPECT_EQ(run("delete from sysusers"), SQLITE_AUTH);
    sqlite3_close(db);
}
