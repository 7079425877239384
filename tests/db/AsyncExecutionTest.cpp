#include "platform/db/Connection.h"
#include "platform/db/sqlite/SqliteFileBackend.h"
#include "platform/host/Error.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "tests/db/Printers.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace orra::db;

namespace {

const QString kLongQuery = QStringLiteral(
    "with recursive c(x) as (select 1 union all select x + 1 from c where x < 2000000000) select count(*) from c");

class Async : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        sqlite::openDatabaseFile(con, dir.filePath(QStringLiteral("a.db")), sqlite::FileMode::Create);
    }
    QTemporaryDir dir;
    Connection con;
};

}   // namespace

TEST_F(Async, FinishedExecutionGivesItsRecordset)
{
    auto run = con.executeAsync(QStringLiteral("select ? as a; select 'z' as c"), {QVariant(5)});
    ASSERT_TRUE(run->wait(10000));
    EXPECT_EQ(run->state(), 0);
    EXPECT_FALSE(run->failed());
    auto rs = run->result();
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->value(QStringLiteral("A")).toInt(), 5);
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("z"));
    EXPECT_TRUE(con.errors().isEmpty());
}

TEST_F(Async, PollingThenCancelStopsTheStatement)
{
    auto run = con.executeAsync(kLongQuery);
    EXPECT_EQ(run->state(), 4);
    EXPECT_FALSE(run->wait(150));
    EXPECT_EQ(run->state(), 4);
    const auto start = std::chrono::steady_clock::now();
    run->cancel();
    while (run->state() == 4) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(run->failed());
    try {
        run->result();
        FAIL() << "a cancelled execution has no result";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Operation canceled"));
    }
    ASSERT_EQ(con.errors().size(), 1);
    EXPECT_EQ(con.errors()[0].sqlState, QStringLiteral("HY008"));
    EXPECT_EQ(con.execute(QStringLiteral("select 3"))->value(0).toInt(), 3);
}

TEST_F(Async, ErrorsArriveInTheConnectionList)
{
    auto run = con.executeAsync(QStringLiteral("select * from nowhere"));
    EXPECT_TRUE(run->failed());
    ASSERT_EQ(con.errors().size(), 1);
    EXPECT_EQ(con.errors()[0].description, QStringLiteral("no such table: nowhere"));
    EXPECT_EQ(con.errors()[0].sqlState, QStringLiteral("42S02"));
}

TEST_F(Async, DestroyingARunningExecutionCancelsIt)
{
    const auto start = std::chrono::steady_clock::now();
    {
        auto run = con.executeAsync(kLongQuery);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(con.errors().value(0).sqlState, QStringLiteral("HY008"));
}

TEST_F(Async, FinishedFunctionRunsOnceAfterTheStateIsIdle)
{
    std::mutex mutex;
    std::condition_variable called;
    int calls = 0;
    int stateSeen = -1;
    AsyncExecution* self = nullptr;
    auto run = con.executeAsync(QStringLiteral("select 7 as a"), {}, [&] {
        std::lock_guard lock(mutex);
        ++calls;
        stateSeen = self ? self->state() : -2;
        called.notify_all();
    });
    {
        std::lock_guard lock(mutex);
        self = run.get();
    }
    std::unique_lock lock(mutex);
    ASSERT_TRUE(called.wait_for(lock, std::chrono::seconds(10), [&] { return calls > 0; }));
    lock.unlock();
    EXPECT_EQ(run->result()->value(0).toInt(), 7);
    EXPECT_EQ(calls, 1);
    // The function may run before the caller took the pointer; when it saw one, the state was 0.
    EXPECT_TRUE(stateSeen == 0 || stateSeen == -2) << stateSeen;
}

TEST_F(Async, FinishedFunctionRunsAfterACancelToo)
{
    std::atomic<int> calls{0};
    auto run = con.executeAsync(kLongQuery, {}, [&] { ++calls; });
    EXPECT_FALSE(run->wait(100));
    EXPECT_EQ(calls.load(), 0);
    run->cancel();
    EXPECT_TRUE(run->failed());
    run.reset();   // joins the worker, so the function has returned
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(con.errors().value(0).sqlState, QStringLiteral("HY008"));
}
