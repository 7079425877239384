// Timed check of the embedded server's batch interpreter: a WHILE loop of 100,000 turns, a SET
// and an IF in each, runs within three times the same statements prepared once and stepped
// from C++ (each statement of the batch is translated once, its variables bound as
// parameters). Prints the figures; the exit status is 1 when the target is missed.

#include "bench/embedded_bench_server.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"

#include <QTemporaryDir>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace orra;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kTurns = 100000;

// Median time in milliseconds over five rounds.
double timeIt(const std::function<void()>& f)
{
    std::vector<double> rounds;
    for (int r = 0; r < 5; ++r) {
        const auto t0 = Clock::now();
        f();
        rounds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

// The loop's statements on plain SQLite: the condition, the SET, the IF's test and its SET,
// each prepared once, the two variables held in C++.
qint64 steppedFromCpp(sqlite3* db)
{
    auto prepare = [&](const char* sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
        return s;
    };
    sqlite3_stmt* loop = prepare("select case when ?1 < 100000 then 1 else 0 end");
    sqlite3_stmt* add = prepare("select ?1 + 1");
    sqlite3_stmt* test = prepare("select case when ?1 % 3 = 0 then 1 else 0 end");
    auto step = [](sqlite3_stmt* s, qint64 value) {
        sqlite3_bind_int64(s, 1, value);
        sqlite3_step(s);
        const qint64 r = sqlite3_column_int64(s, 0);
        sqlite3_reset(s);
        return r;
    };
    qint64 i = 0;
    qint64 n = 0;
    while (step(loop, i) == 1) {
        i = step(add, i);
        if (step(test, i) == 1) n = step(add, n);
    }
    for (sqlite3_stmt* s : {loop, add, test}) sqlite3_finalize(s);
    return n;
}

}   // namespace

int main()
{
    QTemporaryDir dir;
    db::Connection c;
    bench::openBenchServer(dir, c);

    const QString batch = QStringLiteral(
        "declare @i int = 0, @n int = 0\n"
        "while @i < 100000\n"
        "begin\n"
        "    set @i = @i + 1\n"
        "    if @i % 3 = 0 set @n = @n + 1\n"
        "end\n"
        "select @n");
    QVariant served;
    const double server = timeIt([&] { served = c.execute(batch)->value(0); });

    sqlite3* db = nullptr;
    sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    qint64 stepped = 0;
    const double plain = timeIt([&] { stepped = steppedFromCpp(db); });
    sqlite3_close(db);

    const double ratio = server / plain;
    std::printf("a WHILE loop of %d turns, a SET and an IF in each:\n", kTurns);
    std::printf("  the batch on the embedded server:             %8.1f ms  (result %lld)\n", server,
        served.toLongLong());
    std::printf("  the statements prepared once, stepped from C++: %6.1f ms  (result %lld)\n", plain,
        static_cast<long long>(stepped));
    std::printf("  ratio %.2f (target <= 3)\n", ratio);
    if (served.toLongLong() != stepped) {
        std::printf("  the results differ\n");
        return 1;
    }
    return ratio <= 3.0 ? 0 : 1;
}
