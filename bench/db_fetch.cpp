// Buffering 1,000,000 rows x 5 columns (integer, real, text, text, integer) from SQLite:
// through Connection/Recordset, and through a bare sqlite3_step loop that reads the same
// columns into equivalent C++ values. The ratio of the two is the buffering overhead.
#include "platform/db/Connection.h"
#include "platform/db/sqlite/SqliteFileBackend.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRows = 1000000;

const QString& databasePath()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("fetch.db"));
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db,
            "create table t (id integer, amount real, name text, note text, qty integer);"
            "with recursive c(x) as (select 1 union all select x + 1 from c where x < 1000000)"
            " insert into t select x, x * 0.25, 'name ' || x, 'a somewhat longer note ' || (x % 977),"
            " x % 1000 from c;",
            nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    return path;
}

struct Row {
    qint64 id;
    double amount;
    QString name;
    QString note;
    qint64 qty;
};

void BM_BareStep(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        std::vector<Row> rows;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "select * from t", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            Row r;
            r.id = sqlite3_column_int64(st, 0);
            r.amount = sqlite3_column_double(st, 1);
            r.name = QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(st, 2)), sqlite3_column_bytes(st, 2));
            r.note = QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(st, 3)), sqlite3_column_bytes(st, 3));
            r.qty = sqlite3_column_int64(st, 4);
            rows.push_back(std::move(r));
        }
        sqlite3_finalize(st);
        if (rows.size() != size_t(kRows)) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(rows.data());
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_Recordset(benchmark::State& state)
{
    orra::db::Connection con;
    orra::db::sqlite::openDatabaseFile(con, databasePath(), orra::db::sqlite::FileMode::ReadOnly);
    for (auto _ : state) {
        auto rs = con.execute(QStringLiteral("select * from t"));
        if (rs->RecordCount() != kRows) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(rs.get());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

}   // namespace

BENCHMARK(BM_BareStep)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Recordset)->Unit(benchmark::kMillisecond)->MinTime(2.0);

namespace {

// The console output, followed by the ratio Recordset / bare loop (target: 2.0 at most).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
            const double t = r.GetAdjustedRealTime();
            const std::string name = r.benchmark_name();
            if (name.rfind("BM_BareStep", 0) == 0)
                bare.push_back(t);
            else if (name.rfind("BM_Recordset", 0) == 0)
                recordset.push_back(t);
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        if (bare.empty() || recordset.empty()) return;
        std::sort(bare.begin(), bare.end());
        std::sort(recordset.begin(), recordset.end());
        const double ratio = recordset[recordset.size() / 2] / bare[bare.size() / 2];
        std::printf("Recordset / bare sqlite3_step (medians): %.2f (target <= 2.0)\n", ratio);
    }

private:
    std::vector<double> bare;
    std::vector<double> recordset;
};

}   // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
