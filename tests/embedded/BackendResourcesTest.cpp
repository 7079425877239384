// The owners of SQLite resources the embedded server uses: statements finalized and reset,
// transactions rolled back unless committed, and an outer transaction left to its owner; and
// the backend itself, found among the database layer's built-in ones.
#include "platform/db/embedded/SqliteHandles.h"

#include "EmbeddedFixture.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/embedded/EmbeddedBackend.h"

#include <gtest/gtest.h>

using namespace orra::embedded;
using orra::embedded::test::EmbeddedTest;

namespace {

class SqliteHandles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "create table t (v int)", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    void TearDown() override { EXPECT_EQ(sqlite3_close(db), SQLITE_OK); }   // busy when a statement leaked

    int rows()
    {
        const PreparedStatement count(db, "select count(*) from t");
        EXPECT_EQ(sqlite3_step(count), SQLITE_ROW);
        return sqlite3_column_int(count, 0);
    }
    void insert() { ASSERT_EQ(sqlite3_exec(db, "insert into t values (1)", nullptr, nullptr, nullptr), SQLITE_OK); }

    sqlite3* db = nullptr;
};

}   // namespace

TEST_F(SqliteHandles, PreparedStatementReportsItsPreparationAndFinalizes)
{
    {
        const PreparedStatement good(db, QStringLiteral("select v from t where v = ?"));
        EXPECT_TRUE(good.ok());
        EXPECT_NE(good.get(), nullptr);
        const PreparedStatement bad(db, "select nothing from nowhere");
        EXPECT_FALSE(bad.ok());
        EXPECT_EQ(bad.rc(), SQLITE_ERROR);
        EXPECT_EQ(bad.get(), nullptr);
    }
    EXPECT_EQ(sqlite3_next_stmt(db, nullptr), nullptr);
}

TEST_F(SqliteHandles, StatementResetClearsBindingsUnlessReleased)
{
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select ?", -1, &s, nullptr), SQLITE_OK);
    sqlite3_bind_int(s, 1, 42);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    {
        const StatementReset reset(s);
    }
    EXPECT_FALSE(sqlite3_stmt_busy(s));
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_type(s, 0), SQLITE_NULL);   // the binding went too
    {
        StatementReset reset(s);
        reset.release();
    }
    EXPECT_TRUE(sqlite3_stmt_busy(s));
    sqlite3_finalize(s);
}

TEST_F(SqliteHandles, WriteTransactionRollsBackUnlessCommitted)
{
    {
        WriteTransaction transaction(db);
        ASSERT_EQ(transaction.beginRc(), SQLITE_OK);
        EXPECT_EQ(sqlite3_get_autocommit(db), 0);
        insert();
    }
    EXPECT_NE(sqlite3_get_autocommit(db), 0);
    EXPECT_EQ(rows(), 0);
    {
        WriteTransaction transaction(db);
        insert();
        EXPECT_EQ(transaction.commit(), SQLITE_OK);
    }
    EXPECT_EQ(rows(), 1);
}

TEST_F(SqliteHandles, WriteTransactionInsideAnOpenOneLeavesItToItsOwner)
{
    ASSERT_EQ(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        WriteTransaction inner(db);
        EXPECT_EQ(inner.beginRc(), SQLITE_OK);
        insert();
    }
    EXPECT_EQ(sqlite3_get_autocommit(db), 0);   // the outer transaction is still open
    EXPECT_EQ(rows(), 1);
    {
        WriteTransaction inner(db);
        EXPECT_EQ(inner.commit(), SQLITE_OK);
    }
    EXPECT_EQ(sqlite3_get_autocommit(db), 0);
    ASSERT_EQ(sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(rows(), 0);
}

// The embedded server is one of the database layer's built-in backends: no program has to
// register it.
TEST_F(EmbeddedTest, BuiltInBackendsClaimTheirConnectionTexts)
{
    const auto backendFor = [](const QString& text) {
        return orra::db::createBackend(orra::db::ConnectionString::parse(text));
    };
    const auto embedded = backendFor(
        connectionText(QStringLiteral("t"), QStringLiteral("mat"), QStringLiteral("sa"), QStringLiteral("secret")));
    ASSERT_NE(embedded, nullptr);
    EXPECT_NE(dynamic_cast<EmbeddedBackend*>(embedded.get()), nullptr);
    // the same text naming a server that is not an embedded one goes to the ODBC backend
    const auto odbc = backendFor(QStringLiteral("Driver={FreeTDS};Server=nosuchserver;Database=mat"));
    ASSERT_NE(odbc, nullptr);
    EXPECT_EQ(dynamic_cast<EmbeddedBackend*>(odbc.get()), nullptr);
    EXPECT_EQ(odbc->name(), QStringLiteral("ODBC"));
    // so does a server named without a driver, as an OLE DB provider's text names it
    for (const QString& text : {QStringLiteral("Server=nosuchserver"),
             QStringLiteral("Provider=SQLOLEDB;Data Source=nosuchserver;Initial Catalog=mat")}) {
        const auto named = backendFor(text);
        ASSERT_NE(named, nullptr) << text.toStdString();
        EXPECT_EQ(named->name(), QStringLiteral("ODBC"));
    }
    EXPECT_EQ(backendFor(QStringLiteral("Database=mat")), nullptr);
}
