// Stored procedures and database schemas registered with the embedded server from above it.
// Nothing of the catalogue is registered in this program: a server made here has none of it.
#include "platform/db/Connection.h"
#include "platform/db/embedded/Extensions.h"
#include "platform/db/embedded/Server.h"
#include "platform/host/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include "PrintQString.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace orra;
using namespace orra::embedded;

namespace {

// sp_Echo: one result set holding what each argument carried (name, value, default), then a
// message with the session's login.
void echo(const ProcedureArguments& arguments, ProcedureSession& session)
{
    db::ResultSet rows = session.query(QStringLiteral("select '' as Name, '' as Value, 0 as IsDefault where 0"));
    for (const ProcedureArgument& a : arguments) {
        rows.values.push_back(a.name);
        rows.values.push_back(a.value.isValid() ? a.value.toString() : QStringLiteral("<null>"));
        rows.values.push_back(a.isDefault ? 1 : 0);
    }
    session.addResult(std::move(rows));
    session.addMessage(QStringLiteral("called by ") + session.login());
}

class Extensions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("ORRA_SERVERS", m_dir.path().toUtf8());
        registerDatabaseSchema(QStringLiteral("notes"),
            QStringLiteral("create table Notes (ID int primary key, Code char(4) COLLATE TR_CI);"));
        createServer(QStringLiteral("x"), QStringLiteral("sa"), QStringLiteral("pw"),
            {{QStringLiteral("work"), QStringLiteral("notes")}});
        registerProcedure(QStringLiteral("sp_Echo"), echo);
        c.open(connectionText(QStringLiteral("x"), QStringLiteral("work"), QStringLiteral("sa"), QStringLiteral("pw")));
    }
    void TearDown() override
    {
        unregisterProcedure(QStringLiteral("sp_Echo"));
        unregisterDatabaseSchema(QStringLiteral("notes"));
    }

    // The first error of a batch that must fail.
    db::ProviderError failure(const QString& sql)
    {
        try {
            c.execute(sql);
        } catch (const orra::Error&) {
            EXPECT_FALSE(c.errors().isEmpty());
            for (const db::ProviderError& e : c.errors())
                if (e.number != 0) return e;
        }
        ADD_FAILURE() << "no error from " << sql.toStdString();
        return {};
    }

    QTemporaryDir m_dir;
    db::Connection c;
};

}   // namespace

TEST_F(Extensions, ARegisteredProcedureGetsItsArgumentsAndAnswersInBatchOrder)
{
    db::RecordsetPtr rs = c.execute(QStringLiteral(
        "select count(*) n from Notes\nexec dbo.SP_ECHO 'it''s', @n = -12, default, null\nprint 'after'"));
    EXPECT_EQ(rs->value(0).toInt(), 0);
    ASSERT_TRUE(rs->NextRecordset());
    ASSERT_EQ(rs->RecordCount(), 4);
    QStringList seen;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        seen << rs->value(0).toString() + u'|' + rs->value(1).toString() + u'|' + rs->value(2).toString();
    EXPECT_EQ(seen,
        (QStringList{QStringLiteral("|it's|0"), QStringLiteral("@n|-12|0"), QStringLiteral("|<null>|1"),
            QStringLiteral("|<null>|0")}));
    EXPECT_FALSE(rs->NextRecordset());
    ASSERT_EQ(c.errors().size(), 2);
    EXPECT_EQ(c.errors()[0].description, QStringLiteral("called by sa"));
    EXPECT_EQ(c.errors()[0].sqlState, QStringLiteral("01000"));
    EXPECT_EQ(c.errors()[1].description, QStringLiteral("after"));
    // A bare name at the start of a batch is a call too.
    rs = c.execute(QStringLiteral("sp_echo 7"));
    EXPECT_EQ(rs->value(1).toString(), QStringLiteral("7"));
}

TEST_F(Extensions, AProcedureErrorKeepsItsNumberAndStateAndUndoesItsTransaction)
{
    registerProcedure(QStringLiteral("sp_Fail"), [](const ProcedureArguments& arguments, ProcedureSession& session) {
        session.addMessage(QStringLiteral("starting"));
        session.inWriteTransaction([&] {
            session.query(QStringLiteral("insert into main.Notes (ID, Code) values (?, 'a')"), {arguments.at(0).value});
            session.raise(QStringLiteral("42000"), QStringLiteral("No notes today."), 50017);
        });
    });
    const db::ProviderError e = failure(QStringLiteral("exec sp_Fail 1"));
    EXPECT_EQ(e.nativeError, 50017);
    EXPECT_EQ(e.number, -50017);
    EXPECT_EQ(e.sqlState, QStringLiteral("42000"));
    EXPECT_EQ(e.description, QStringLiteral("No notes today."));
    ASSERT_EQ(c.errors().size(), 2);
    EXPECT_EQ(c.errors()[0].description, QStringLiteral("starting"));
    EXPECT_EQ(c.execute(QStringLiteral("select count(*) from Notes"))->value(0).toInt(), 0);
    // A failing statement inside the procedure gives the server's own error.
    registerProcedure(QStringLiteral("sp_Fail"), [](const ProcedureArguments&, ProcedureSession& session) {
        session.query(QStringLiteral("select * from main.Nowhere"));
    });
    const db::ProviderError statement = failure(QStringLiteral("exec sp_Fail"));
    EXPECT_LT(statement.number, 0);
    EXPECT_TRUE(statement.description.contains(QStringLiteral("Nowhere"))) << statement.description.toStdString();
    unregisterProcedure(QStringLiteral("sp_Fail"));
}

TEST_F(Extensions, WritesOfAProcedureStayAndFixedWidthTextIsPadded)
{
    registerProcedure(QStringLiteral("sp_Note"), [](const ProcedureArguments& arguments, ProcedureSession& session) {
        session.inWriteTransaction([&] {
            session.query(QStringLiteral("insert into main.Notes (ID, Code) values (?, ?)"),
                {arguments.at(0).value, arguments.at(1).value});
        });
        session.addResult(session.query(QStringLiteral("select Code, '[' || Code || ']' Bracketed from main.Notes")));
    });
    db::RecordsetPtr rs = c.execute(QStringLiteral("exec sp_Note 1, 'ab'"));
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("ab  "));
    EXPECT_EQ(rs->value(1).toString(), QStringLiteral("[ab  ]"));
    EXPECT_EQ(c.execute(QStringLiteral("select count(*) from Notes"))->value(0).toInt(), 1);
    unregisterProcedure(QStringLiteral("sp_Note"));
}

TEST_F(Extensions, UnknownNamesGiveTheServersMessageAndRegisteringAgainReplaces)
{
    db::ProviderError e = failure(QStringLiteral("exec sp_Nothing 1"));
    EXPECT_EQ(e.description, QStringLiteral("Could not find stored procedure 'sp_Nothing'."));
    EXPECT_EQ(e.nativeError, 2812);
    EXPECT_EQ(e.sqlState, QStringLiteral("42000"));
    registerProcedure(QStringLiteral("SP_ECHO"),
        [](const ProcedureArguments&, ProcedureSession& session) { session.addMessage(QStringLiteral("second")); });
    c.execute(QStringLiteral("exec sp_Echo"));
    ASSERT_EQ(c.errors().size(), 1);
    EXPECT_EQ(c.errors()[0].description, QStringLiteral("second"));
    unregisterProcedure(QStringLiteral("sp_echo"));
    EXPECT_EQ(failure(QStringLiteral("exec sp_Echo")).description,
        QStringLiteral("Could not find stored procedure 'sp_Echo'."));
    // The server's own procedures stay its own.
    EXPECT_THROW(registerProcedure(QStringLiteral("sp_AddRoleMember"), echo), orra::Error);
}

TEST_F(Extensions, AServerWithoutTheCatalogueHasNoneOfIt)
{
    createServer(QStringLiteral("bare"), QStringLiteral("sa"), QStringLiteral("pw"));
    EXPECT_EQ(QDir(serverFolder(QStringLiteral("bare"))).entryList({QStringLiteral("*.db")}, QDir::Files),
        QStringList{QStringLiteral("master.db")});
    createDatabase(QStringLiteral("bare"), QStringLiteral("catalogue"));
    db::Connection bare;
    bare.open(connectionText(
        QStringLiteral("bare"), QStringLiteral("catalogue"), QStringLiteral("sa"), QStringLiteral("pw")));
    EXPECT_THROW(bare.execute(QStringLiteral("select * from tbOrraSQL")), orra::Error);
    EXPECT_THROW(bare.execute(QStringLiteral("select * from mat..tbOrraConnections")), orra::Error);
    for (const char* call : {"exec sp_Orra_GetDocumentsAndCategories", "sp_UserLock '<Document/>', 0"}) {
        EXPECT_THROW(bare.execute(QString::fromLatin1(call)), orra::Error);
        ASSERT_FALSE(bare.errors().isEmpty());
        EXPECT_EQ(bare.errors().first().nativeError, 2812) << call;
    }
    EXPECT_THROW(databaseSchema(QStringLiteral("catalogue")), orra::Error);
}

TEST_F(Extensions, SchemasAreLaidDownByNameOrRefused)
{
    // createServer laid the schema down with the padding of fixed-width columns.
    c.execute(QStringLiteral("insert into Notes (ID, Code) values (1, 'x')"));
    EXPECT_EQ(
        c.execute(QStringLiteral("select '[' + Code + ']' from Notes"))->value(0).toString(), QStringLiteral("[x   ]"));
    // Into a database made on the way, or an existing one.
    applyDatabaseSchema(QStringLiteral("x"), QStringLiteral("more"), QStringLiteral("notes"));
    EXPECT_TRUE(databaseExists(QStringLiteral("x"), QStringLiteral("more")));
    c.execute(QStringLiteral("insert into more..Notes (ID, Code) values (1, 'y')"));
    EXPECT_EQ(c.execute(QStringLiteral("select '[' + Code + ']' from more..Notes"))->value(0).toString(),
        QStringLiteral("[y   ]"));
    // Laid down twice: the tables exist already, and nothing changes.
    EXPECT_THROW(
        applyDatabaseSchema(QStringLiteral("x"), QStringLiteral("more"), QStringLiteral("notes")), orra::Error);
    EXPECT_EQ(c.execute(QStringLiteral("select count(*) from more..Notes"))->value(0).toInt(), 1);
    // An unknown schema, or a database named twice, makes no server at all.
    EXPECT_THROW(createServer(QStringLiteral("y"), QStringLiteral("sa"), QStringLiteral("pw"),
                     {{QStringLiteral("a"), QStringLiteral("nothing")}}),
        orra::Error);
    EXPECT_THROW(createServer(QStringLiteral("y"), QStringLiteral("sa"), QStringLiteral("pw"),
                     {{QStringLiteral("a"), QStringLiteral("notes")}, {QStringLiteral("A"), QStringLiteral("notes")}}),
        orra::Error);
    EXPECT_THROW(createServer(QStringLiteral("y"), QStringLiteral("sa"), QStringLiteral("pw"),
                     {{QStringLiteral("MASTER"), QStringLiteral("notes")}}),
        orra::Error);
    EXPECT_FALSE(QFileInfo::exists(serverFolder(QStringLiteral("y"))));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("x")});
    // A schema that fails leaves no server either.
    registerDatabaseSchema(QStringLiteral("broken"), QStringLiteral("create table T (a int); create tabel U (b int);"));
    EXPECT_THROW(createServer(QStringLiteral("y"), QStringLiteral("sa"), QStringLiteral("pw"),
                     {{QStringLiteral("a"), QStringLiteral("broken")}}),
        orra::Error);
    EXPECT_FALSE(QFileInfo::exists(serverFolder(QStringLiteral("y"))));
    unregisterDatabaseSchema(QStringLiteral("broken"));
}

TEST_F(Extensions, SessionsOnSeveralThreadsCallWhileProceduresAreReplaced)
{
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> sessions;
    for (int t = 0; t < 4; ++t)
        sessions.emplace_back([&, t] {
            db::Connection mine;
            mine.open(connectionText(
                QStringLiteral("x"), QStringLiteral("work"), QStringLiteral("sa"), QStringLiteral("pw")));
            for (int i = 0; i < 100; ++i) {
                db::RecordsetPtr rs = mine.execute(QStringLiteral("exec sp_Echo %1").arg(t * 1000 + i));
                if (rs->value(1).toInt() != t * 1000 + i) ++wrong;
                ++calls;
            }
        });
    std::thread replacing([&] {
        while (!stop) registerProcedure(QStringLiteral("sp_Echo"), echo);
    });
    for (std::thread& s : sessions) s.join();
    stop = true;
    replacing.join();
    EXPECT_EQ(calls, 400);
    EXPECT_EQ(wrong, 0);
}
