#include "EmbeddedFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

namespace {

QStringList filesOf(const QString& folder)
{
    QStringList r;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        r << f.fileName() + QStringLiteral(":") + QString::number(f.size());
    return r;
}

}   // namespace

TEST_F(EmbeddedTest, NewServerHasMasterMatAndCatalogue)
{
    EXPECT_TRUE(isEmbeddedServer(QStringLiteral("t")));
    EXPECT_FALSE(isEmbeddedServer(QStringLiteral("nothere")));
    EXPECT_TRUE(QFileInfo::exists(m_dir.path() + QStringLiteral("/t/master.db")));
    EXPECT_TRUE(QFileInfo::exists(m_dir.path() + QStringLiteral("/t/mat.db")));
    EXPECT_TRUE(QFileInfo::exists(m_dir.path() + QStringLiteral("/t/catalogue.db")));
    auto c = connect(QStringLiteral("mat"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraConnections")).toInt(), 0);
    EXPECT_EQ(c->property(QStringLiteral("Server Name")), QStringLiteral("t"));
    EXPECT_EQ(c->property(QStringLiteral("Current Catalog")), QStringLiteral("mat"));
}

TEST_F(EmbeddedTest, CreatingAnExistingServerFailsAndKeepsIt)
{
    const QStringList before = filesOf(m_dir.path() + QStringLiteral("/t"));
    EXPECT_THROW(createServer(QStringLiteral("t"), QStringLiteral("x"), QStringLiteral("y")), orra::Error);
    EXPECT_EQ(filesOf(m_dir.path() + QStringLiteral("/t")), before);
    EXPECT_THROW(createDatabase(QStringLiteral("t"), QStringLiteral("catalogue")), orra::Error);
    EXPECT_EQ(filesOf(m_dir.path() + QStringLiteral("/t")), before);
}

TEST_F(EmbeddedTest, UnwritableRootGivesOneClearError)
{
    // A root below a plain file cannot hold folders, whoever runs the test.
    const QString file = m_dir.path() + QStringLiteral("/plain");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    qputenv("ORRA_SERVERS", (file + QStringLiteral("/servers")).toUtf8());
    try {
        createServer(QStringLiteral("s"), QStringLiteral("sa"), QStringLiteral("pw"));
        FAIL() << "no error";
    } catch (const orra::Error& e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("Cannot create the server folder"))) << e.what();
    }
    EXPECT_EQ(QFileInfo(file).size(), 0);
    qputenv("ORRA_SERVERS", m_dir.path().toUtf8());
}

TEST_F(EmbeddedTest, WrongPasswordIsRefused)
{
    db::Connection c;
    try {
        c.open(connectionText(
            QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("sa"), QStringLiteral("wrong")));
        FAIL() << "opened";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Login failed for user 'sa'."));
    }
    ASSERT_FALSE(c.errors().isEmpty());
    EXPECT_EQ(c.errors().first().sqlState, QStringLiteral("28000"));
    EXPECT_EQ(c.errors().first().nativeError, 18456);
    EXPECT_FALSE(c.isOpen());
}

TEST_F(EmbeddedTest, UnknownLoginAndTrustedStrangerAreRefused)
{
    db::Connection c;
    EXPECT_THROW(c.open(connectionText(
                     QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("nobody"), QStringLiteral("x"))),
        orra::Error);
    EXPECT_EQ(c.errors().first().sqlState, QStringLiteral("28000"));
    // The administrator is a SQL login here, so the operating-system user has no login.
    EXPECT_THROW(c.open(connectionText(QStringLiteral("t"), QStringLiteral("catalogue"))), orra::Error);
    EXPECT_EQ(c.errors().first().nativeError, 18456);
}

TEST_F(EmbeddedTest, UnknownDatabaseIsRefused)
{
    db::Connection c;
    try {
        c.open(connectionText(
            QStringLiteral("t"), QStringLiteral("nodb"), QStringLiteral("sa"), QStringLiteral("secret")));
        FAIL() << "opened";
    } catch (const orra::Error& e) {
        EXPECT_EQ(
            e.description(), QStringLiteral("Cannot open database \"nodb\" requested by the login. The login failed."));
    }
    EXPECT_EQ(c.errors().size(), 2);
    EXPECT_EQ(c.errors().first().sqlState, QStringLiteral("42000"));
    EXPECT_FALSE(QFileInfo::exists(m_dir.path() + QStringLiteral("/t/nodb.db")));
}

TEST_F(EmbeddedTest, LoginWithoutUserCannotOpenDatabase)
{
    createLogin(QStringLiteral("t"), QStringLiteral("ali"), QStringLiteral("pw1"));
    db::Connection c;
    EXPECT_THROW(c.open(connectionText(
                     QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("ali"), QStringLiteral("pw1"))),
        orra::Error);
    EXPECT_TRUE(c.errors().first().description.startsWith(QStringLiteral("Cannot open database \"catalogue\"")));
    const int uid =
        createUser(QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("ali"), QStringLiteral("ali"));
    EXPECT_EQ(uid, 5);
    c.open(
        connectionText(QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("ali"), QStringLiteral("pw1")));
    EXPECT_EQ(scalar(c, QStringLiteral("select user_name()")).toString(), QStringLiteral("ali"));
    EXPECT_EQ(scalar(c, QStringLiteral("select uid from sysusers (nolock) where sid=suser_sid()")).toInt(), 5);
    // No user in mat: the registry cannot be read through this login.
    EXPECT_THROW(c.execute(QStringLiteral("select * from mat..tbOrraConnections")), orra::Error);
    EXPECT_TRUE(c.errors().first().description.contains(QStringLiteral("not able to access the database \"mat\"")));
}

TEST_F(EmbeddedTest, TrustedLogOnUsesTheOperatingSystemUser)
{
    QTemporaryDir other;
    qputenv("ORRA_SERVERS", other.path().toUtf8());
    catalogue::createEmbeddedServer(QStringLiteral("mine"));
    catalogue::createEmbeddedCatalogue(QStringLiteral("mine"), QStringLiteral("catalogue"));
    db::Connection c;
    c.open(connectionText(QStringLiteral("mine"), QStringLiteral("catalogue")));
    EXPECT_EQ(scalar(c, QStringLiteral("select suser_sname()")).toString(), osUserName());
    EXPECT_EQ(scalar(c, QStringLiteral("select user_name()")).toString(), QStringLiteral("dbo"));
    EXPECT_EQ(scalar(c, QStringLiteral("select @@SERVERNAME")).toString(), QStringLiteral("mine"));
    qputenv("ORRA_SERVERS", m_dir.path().toUtf8());
}

TEST_F(EmbeddedTest, SessionsHaveDistinctSpids)
{
    auto a = connect();
    auto b = connect();
    const int sa = scalar(*a, QStringLiteral("select @@SPID")).toInt();
    const int sb = scalar(*b, QStringLiteral("select @@SPID")).toInt();
    EXPECT_GE(sa, 51);
    EXPECT_NE(sa, sb);
    EXPECT_EQ(scalar(*a, QStringLiteral("select SUser_SName() + ' (' + cast(@@SPID as varchar(10)) + ')'")).toString(),
        QStringLiteral("sa (%1)").arg(sa));
    a->close();
    auto c = connect();
    EXPECT_EQ(scalar(*c, QStringLiteral("select @@SPID")).toInt(), sa);   // a freed number is reused
}

TEST_F(EmbeddedTest, AdministrationStatements)
{
    auto c = connect();
    c->execute(QStringLiteral("create login veli with password='pw2' create user veli for login veli create role "
                              "Editors exec sp_addrolemember 'Editors', 'veli'"));
    EXPECT_EQ(scalar(*c,
                  QStringLiteral("select count(*) from sysmembers m inner join sysusers g on g.uid=m.groupuid inner "
                                 "join sysusers u on u.uid=m.memberuid where g.name='Editors' and u.name='veli'"))
                  .toInt(),
        1);
    EXPECT_GE(scalar(*c, QStringLiteral("select uid from sysusers where name='Editors'")).toInt(), 16400);
    EXPECT_EQ(scalar(*c, QStringLiteral("select islogin from sysusers where name='Editors'")).toInt(), 0);
    c->execute(QStringLiteral("create database Sales"));
    EXPECT_TRUE(databaseExists(QStringLiteral("t"), QStringLiteral("Sales")));
    EXPECT_THROW(c->execute(QStringLiteral("create login veli with password='x'")), orra::Error);
    EXPECT_TRUE(c->errors().first().description.contains(QStringLiteral("already exists")));

    auto v = connect(QStringLiteral("catalogue"), QStringLiteral("veli"), QStringLiteral("pw2"));
    EXPECT_EQ(scalar(*v, QStringLiteral("select user_name()")).toString(), QStringLiteral("veli"));
    // Not an administrator: cannot create logins.
    EXPECT_THROW(v->execute(QStringLiteral("create login x with password='y'")), orra::Error);
}

TEST_F(EmbeddedTest, FixedPrincipals)
{
    auto c = connect();
    EXPECT_EQ(scalar(*c, QStringLiteral("select name from sysusers where uid=0")).toString(), QStringLiteral("public"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select name from sysusers where uid=1")).toString(), QStringLiteral("dbo"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select User_Name(1)")).toString(), QStringLiteral("dbo"));
    EXPECT_EQ(scalar(*c, QStringLiteral("select case when sid=suser_sid() then 1 else 0 end from sysusers where uid=1"))
                  .toInt(),
        1);
    EXPECT_EQ(scalar(*c, QStringLiteral("select suser_sname(sid) from sysusers where uid=1")).toString(),
        QStringLiteral("sa"));
}

TEST_F(EmbeddedTest, TwoProcessesWriteWithoutLockFailures)
{
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(120);
        int code = 0;
        try {
            db::Connection c;
            c.open(connectionText(
                QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("sa"), QStringLiteral("secret")));
            for (int i = 0; i < 200; ++i)
                c.execute(QStringLiteral("insert into tbOrraRepository select 'Block','child%1','x'").arg(i));
        } catch (...) {
            code = 1;
        }
        _exit(code);
    }
    auto c = connect();
    for (int i = 0; i < 200; ++i)
        c->execute(QStringLiteral("insert into tbOrraRepository select 'Block','parent%1','x'").arg(i));
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraRepository")).toInt(), 400);
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(distinct ID) from tbOrraRepository")).toInt(), 400);
}

namespace {

QString openError(const QString& database)
{
    db::Connection c;
    try {
        c.open(connectionText(QStringLiteral("t"), database, QStringLiteral("sa"), QStringLiteral("secret")));
    } catch (const orra::Error& e) {
        return e.description();
    }
    return QStringLiteral("(opened)");
}

}   // namespace

TEST_F(EmbeddedTest, DamagedOrEmptyDatabaseFilesAreNamedWithTheirCause)
{
    const QString file = m_dir.path() + QStringLiteral("/t/catalogue.db");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    QFile::remove(file + QStringLiteral("-wal"));
    QFile::remove(file + QStringLiteral("-shm"));
    EXPECT_EQ(openError(QStringLiteral("catalogue")),
        QStringLiteral("Cannot open database \"catalogue\" requested by the login. The database file '%1' is "
                       "empty (zero length): it is not a database.")
            .arg(file));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(4096, 'z'));
    }
    EXPECT_EQ(openError(QStringLiteral("catalogue")),
        QStringLiteral("Cannot open database \"catalogue\" requested by the login. The database file '%1' is "
                       "damaged or is not a database: file is not a database.")
            .arg(file));
}

TEST_F(EmbeddedTest, ReadOnlyServerFolderIsNamed)
{
    if (::geteuid() == 0) GTEST_SKIP() << "the administrator writes into read-only folders";
    const QString folder = m_dir.path() + QStringLiteral("/t");
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString message = openError(QStringLiteral("catalogue"));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(message.contains(QStringLiteral("its folder '%1' is read-only").arg(folder))) << message.toStdString();
    EXPECT_TRUE(message.contains(folder + QStringLiteral("/master.db"))) << message.toStdString();
}
