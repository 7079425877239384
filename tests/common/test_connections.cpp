#include "catalogue/EmbeddedCatalogue.h"
#include "common/Connections.h"
#include "common/DataSources.h"
#include "common/StoredPassword.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/embedded/Server.h"
#include "platform/db/sqlite/SqliteFileBackend.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QDir>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

using namespace orra;

namespace {

// Answers log-on requests from a script and records every box.
class ScriptedUi : public HeadlessUserInterface {
public:
    bool interactive() const override { return isInteractive; }
    int messageBox(const QString& text, int, const QString&) override
    {
        boxes << text;
        return vbOK;
    }
    bool logOn(LogOnRequest& request) override
    {
        asked.push_back(request);
        if (answers.empty()) return false;
        const LogOnRequest a = answers.front();
        answers.pop_front();
        if (a.server == QLatin1String("<cancel>")) return false;
        request.trusted = a.trusted;
        request.login = a.login;
        request.password = a.password;
        if (!a.database.isEmpty()) request.database = a.database;
        return true;
    }
    void answer(const QString& login, const QString& password)
    {
        LogOnRequest a;
        a.login = login;
        a.password = password;
        answers.push_back(a);
    }
    void answerTrusted()
    {
        LogOnRequest a;
        a.trusted = true;
        answers.push_back(a);
    }
    void answerCancel()
    {
        LogOnRequest a;
        a.server = QStringLiteral("<cancel>");
        answers.push_back(a);
    }

    bool isInteractive = true;
    std::deque<LogOnRequest> answers;
    std::vector<LogOnRequest> asked;
    QStringList boxes;
};

class Connections : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldServers = qgetenv("ORRA_SERVERS");
        qputenv("ORRA_SERVERS", QFile::encodeName(m_dir.path()));
        catalogue::registerEmbeddedCatalogue();
        catalogue::createEmbeddedServer("demo");   // the operating-system user is its administrator
        catalogue::createEmbeddedCatalogue("demo", "catalogue");
        embedded::createLogin("demo", "sa", "secret");
        embedded::createUser("demo", "catalogue", "sa", "sa");
        catalogue::createEmbeddedServer("data1", "sa", "pw1");
        m_previousUi = setUserInterface(&m_ui);
        ResetConnectionCache();
        setMainConnection(nullptr);
    }
    void TearDown() override
    {
        setMainConnection(nullptr);
        ResetConnectionCache();
        setUserInterface(m_previousUi);
        qputenv("ORRA_SERVERS", m_oldServers);
    }

    // The registry rows, "Server|IP|Database|UserName|UserPwd" each.
    QStringList registryRows()
    {
        db::RecordsetPtr rs = mainConnection()->execute(
            "select Server, IP, [Database], UserName, UserPwd from tbOrraConnections order by Server");
        QStringList rows;
        for (; !rs->isEOF(); rs->MoveNext()) {
            QStringList cells;
            for (int i = 0; i < 5; ++i) cells << rs->value(i).toString();
            rows << cells.join('|');
        }
        return rows;
    }

    // Gives the login a new password, as an administrator would on the server.
    void changePassword(const QString& server, const QString& login, const QString& password)
    {
        db::Connection master;
        db::sqlite::openDatabaseFile(master, embedded::databaseFile(server, "master"));
        master.execute("update syslogins set password_hash=? where sid=?",
            {embedded::hashPassword(password), embedded::loginSid(server, login)});
    }

    QTemporaryDir m_dir;
    QByteArray m_oldServers;
    ScriptedUi m_ui;
    UserInterface* m_previousUi = nullptr;
};

}   // namespace

TEST(DisabledItemColor, IsLightRed)
{
    const std::uint32_t c = DisabledItemColor();
    EXPECT_EQ((c >> 16) & 0xFF, 255u);
    EXPECT_EQ((c >> 8) & 0xFF, 100u);
    EXPECT_EQ(c & 0xFF, 100u);
}

TEST_F(Connections, MainConnectionWithTrustedLogOn)
{
    ASSERT_TRUE(OpenMainConnection(false, "demo", "catalogue"));
    ASSERT_TRUE(mainConnection());
    EXPECT_TRUE(mainConnection()->isOpen());
    EXPECT_EQ(mainConnection()->property("Current Catalog"), "catalogue");
    EXPECT_TRUE(m_ui.asked.empty());
    EXPECT_EQ(mainConnection()->commandTimeout(), 0);
}

TEST_F(Connections, MainConnectionAsksTheLogOnWhenPrompted)
{
    m_ui.answer("sa", "secret");
    ASSERT_TRUE(OpenMainConnection(true, "demo", "catalogue"));
    ASSERT_EQ(m_ui.asked.size(), 1u);
    EXPECT_EQ(m_ui.asked[0].server, "demo");
    EXPECT_EQ(m_ui.asked[0].database, "catalogue");
    db::RecordsetPtr rs = mainConnection()->execute("select suser_sname()");
    EXPECT_EQ(rs->value(0).toString(), "sa");
    EXPECT_TRUE(m_ui.boxes.isEmpty());
}

TEST_F(Connections, FailedMainLogOnShowsOneBoxAndKeepsThePreviousConnection)
{
    ASSERT_TRUE(OpenMainConnection(false, "demo", "catalogue"));
    const db::ConnectionPtr first = mainConnection();
    m_ui.answer("sa", "wrong");
    EXPECT_FALSE(OpenMainConnection(true, "demo", "catalogue"));
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_FALSE(m_ui.boxes[0].isEmpty());
    EXPECT_EQ(mainConnection(), first);

    m_ui.answerCancel();
    EXPECT_FALSE(OpenMainConnection(true, "demo", "catalogue"));
    EXPECT_EQ(m_ui.boxes.last(), "The log-on to the server demo was cancelled.");
}

TEST_F(Connections, HeadlessRunCannotAnswerTheLogOn)
{
    m_ui.isInteractive = false;
    EXPECT_FALSE(OpenMainConnection(true, "demo", "catalogue"));
    EXPECT_EQ(m_ui.boxes.last(), "Cannot log on to the server demo: this run has no one to ask for the login.");
    db::ConnectionPtr c;
    EXPECT_FALSE(GetServerConnection("data1", c));
    EXPECT_FALSE(c);
    EXPECT_EQ(m_ui.boxes.last(), "Cannot log on to the server data1: this run has no one to ask for the login.");
    EXPECT_EQ(connectionCacheEntries().size(), 1);
}

TEST_F(Connections, CacheStartsWithOneEmptyEntry)
{
    const auto entries = connectionCacheEntries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0].first.isEmpty());
    EXPECT_TRUE(entries[0].second.isEmpty());
}

TEST_F(Connections, SecondConnectionToAServerComesFromTheCache)
{
    m_ui.answer("sa", "pw1");
    db::ConnectionPtr a, b;
    ASSERT_TRUE(GetServerConnection("data1", a));
    ASSERT_TRUE(a && a->isOpen());
    ASSERT_EQ(m_ui.asked.size(), 1u);
    EXPECT_EQ(m_ui.asked[0].server, "data1");
    auto entries = connectionCacheEntries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1].first, "data1");
    const db::ConnectionString cs = db::ConnectionString::parse(entries[1].second);
    EXPECT_EQ(cs.value("Server"), "data1");
    EXPECT_EQ(cs.value("UID"), "sa");
    EXPECT_EQ(cs.value("PWD"), "pw1");

    ASSERT_TRUE(GetServerConnection("data1", b));
    EXPECT_EQ(m_ui.asked.size(), 1u);   // no second log-on
    ASSERT_TRUE(b && b->isOpen());
    EXPECT_NE(a, b);   // a new connection each time
    EXPECT_EQ(b->execute("select suser_sname()")->value(0).toString(), "sa");
    EXPECT_EQ(connectionCacheEntries().size(), 2);
}

TEST_F(Connections, NoCacheAsksEveryTimeAndRemembersNothing)
{
    m_ui.answer("sa", "pw1");
    m_ui.answer("sa", "pw1");
    db::ConnectionPtr c;
    ASSERT_TRUE(GetServerConnection("data1", c, true));
    ASSERT_TRUE(GetServerConnection("data1", c, true));
    EXPECT_EQ(m_ui.asked.size(), 2u);
    EXPECT_EQ(connectionCacheEntries().size(), 1);
    // A cached entry is not read with noCache either.
    m_ui.answer("sa", "pw1");
    ASSERT_TRUE(GetServerConnection("data1", c));
    m_ui.answer("sa", "pw1");
    ASSERT_TRUE(GetServerConnection("data1", c, true));
    EXPECT_EQ(m_ui.asked.size(), 4u);
    EXPECT_EQ(connectionCacheEntries().size(), 2);
}

TEST_F(Connections, ServerNamesAreComparedWithLetterCase)
{
    catalogue::createEmbeddedServer("Data1", "sa", "pw2");
    m_ui.answer("sa", "pw1");
    m_ui.answer("sa", "pw2");
    db::ConnectionPtr c;
    ASSERT_TRUE(GetServerConnection("data1", c));
    ASSERT_TRUE(GetServerConnection("Data1", c));
    EXPECT_EQ(m_ui.asked.size(), 2u);
    const auto entries = connectionCacheEntries();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[1].first, "data1");
    EXPECT_EQ(entries[2].first, "Data1");
}

TEST_F(Connections, AFailedLogOnShowsOneBoxAndCachesNothing)
{
    m_ui.answer("sa", "wrong");
    db::ConnectionPtr c;
    EXPECT_FALSE(GetServerConnection("data1", c));
    EXPECT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(connectionCacheEntries().size(), 1);
    EXPECT_FALSE(OpenServerConnectionWithLogin("nosuchserver"));
    EXPECT_EQ(m_ui.boxes.size(), 2);
}

TEST_F(Connections, AStaleCachedLogOnIsDroppedAndAskedAgain)
{
    m_ui.answer("sa", "pw1");
    db::ConnectionPtr c;
    ASSERT_TRUE(GetServerConnection("data1", c));
    changePassword("data1", "sa", "pw9");
    c.reset();
    EXPECT_FALSE(GetServerConnection("data1", c));   // the remembered password no longer works
    EXPECT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(connectionCacheEntries().size(), 1);   // forgotten
    m_ui.answer("sa", "pw9");
    ASSERT_TRUE(GetServerConnection("data1", c));   // asked again instead of failing until restart
    EXPECT_EQ(m_ui.asked.size(), 2u);
    EXPECT_EQ(db::ConnectionString::parse(connectionCacheEntries()[1].second).value("PWD"), "pw9");
}

TEST_F(Connections, TrustedAnswerConnectsAsTheOperatingSystemUser)
{
    catalogue::createEmbeddedServer("data2");   // administered by the operating-system user
    m_ui.answerTrusted();
    db::ConnectionPtr c = OpenServerConnectionWithLogin("data2");
    ASSERT_TRUE(c);
    const db::ConnectionString cs = db::ConnectionString::parse(c->connectionString());
    EXPECT_TRUE(cs.trusted());
    EXPECT_FALSE(cs.contains("UID"));
    EXPECT_EQ(c->execute("select suser_sname()")->value(0).toString(), embedded::osUserName());
}

TEST_F(Connections, ServerLogOnStartsFromTheRegistryRowAndTheCatalogueLogOn)
{
    struct RegistryInMat {
        RegistryInMat() { qputenv("ORRA_REGISTRY_DB", "mat"); }
        ~RegistryInMat() { qunsetenv("ORRA_REGISTRY_DB"); }
    } registry;
    // A trusted catalogue log-on: the data server's log-on is offered as trusted, with the
    // database of its registry row.
    ASSERT_TRUE(OpenMainConnection(false, "demo", "catalogue"));
    ASSERT_TRUE(SaveServerConnection("data1", "", "stock", "sa", "pw1", "tarvok", RegistryDatabase()));
    m_ui.answerCancel();
    EXPECT_FALSE(OpenServerConnectionWithLogin("data1"));
    ASSERT_EQ(m_ui.asked.size(), 1u);
    EXPECT_EQ(m_ui.asked[0].database, "stock");
    EXPECT_TRUE(m_ui.asked[0].trusted);
    // A catalogue log-on with a SQL login offers a SQL login; an unregistered server no database.
    m_ui.answer("sa", "secret");
    ASSERT_TRUE(OpenMainConnection(true, "demo", "catalogue"));
    m_ui.answerCancel();
    EXPECT_FALSE(OpenServerConnectionWithLogin("other"));
    ASSERT_EQ(m_ui.asked.size(), 3u);
    EXPECT_FALSE(m_ui.asked[2].trusted);
    EXPECT_EQ(m_ui.asked[2].login, "sa");
    EXPECT_TRUE(m_ui.asked[2].database.isEmpty());
}

TEST_F(Connections, RegistryInsertThenUpdateKeepsOneRow)
{
    ASSERT_TRUE(OpenMainConnection(false, "demo", "catalogue"));
    ASSERT_TRUE(SaveServerConnection("O'Brien", "10.0.0.1", "sales'db", "reader", "abc", "tarvok"));
    EXPECT_EQ(registryRows(), QStringList{"O'Brien|10.0.0.1|sales'db|reader|21;3;17;"});
    ASSERT_TRUE(SaveServerConnection("O'Brien", "10.0.0.2", "stock", "", "", "tarvok"));
    EXPECT_EQ(registryRows(), QStringList{"O'Brien|10.0.0.2|stock||"});
    ASSERT_TRUE(SaveServerConnection("data1", "", "", "sa", "pw1", "tarvok"));
    EXPECT_EQ(registryRows().size(), 2);
    // What the run-time reads back with the fixed key is the password.
    db::RecordsetPtr rs = mainConnection()->execute("select UserPwd from tbOrraConnections where Server='data1'");
    EXPECT_EQ(DecodePassword(rs->value(0).toString(), kStoredPasswordKey), "pw1");
}

TEST_F(Connections, RegistryValuesAreNeverPastedIntoSql)
{
    ASSERT_TRUE(OpenMainConnection(false, "demo", "catalogue"));
    const QString evil = "x'); delete from tbOrraConnections; --";
    ASSERT_TRUE(SaveServerConnection("keep", "", "", "u", "p", "tarvok"));
    ASSERT_TRUE(SaveServerConnection(evil, "'", "'", "'", "'", "tarvok"));
    const QStringList rows = registryRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows.contains("keep|||u|" + ScramblePassword("p", "tarvok"))) << rows.join("\n").toStdString();
    EXPECT_TRUE(rows.contains(evil + "|'|'|'|" + ScramblePassword("'", "tarvok")));
    ASSERT_TRUE(DeleteServerConnection(evil));
    EXPECT_EQ(registryRows().size(), 1);
}

TEST_F(Connections, RegistryRefusesAnEmptyKeyAndNeedsTheCatalogue)
{
    EXPECT_FALSE(SaveServerConnection("data1", "", "", "sa", "pw1", "tarvok"));   // no catalogue connection
    EXPECT_FALSE(DeleteServerConnection("data1"));
    ASSERT_TRUE(OpenMainConnection(false, "demo", "catalogue"));
    EXPECT_FALSE(SaveServerConnection("data1", "", "", "sa", "pw1", ""));
    EXPECT_TRUE(registryRows().isEmpty());
    EXPECT_TRUE(m_ui.boxes.isEmpty());   // these two never show a box
}

TEST_F(Connections, DeleteRemovesTheRowAndAMissingRowIsNoFailure)
{
    ASSERT_TRUE(OpenMainConnection(false, "demo", "catalogue"));
    ASSERT_TRUE(SaveServerConnection("data1", "", "", "sa", "pw1", "tarvok"));
    ASSERT_TRUE(SaveServerConnection("data2", "", "", "", "", "tarvok"));
    ASSERT_TRUE(DeleteServerConnection("data1"));
    EXPECT_EQ(registryRows(), QStringList{"data2||||"});
    EXPECT_TRUE(DeleteServerConnection("data1"));
    EXPECT_EQ(registryRows().size(), 1);
}
