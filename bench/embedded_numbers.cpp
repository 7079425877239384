// Timed checks of exact money and decimals on the embedded server, against plain SQLite doing
// the same over REAL columns:
//  1. inserting 1,000,000 rows with a datetime and a money column takes at most 1.5 times as long;
//  2. a report's aggregate over them (GROUP BY a text column, SUM of money, AVG of
//     decimal(18,4), COUNT) takes at most 1.5 times as long.
// Times are the thread's CPU time (best of three). Prints the figures; the exit status is 1 when
// a target is missed.

#include "bench/embedded_bench_server.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"

#include <QTemporaryDir>
#include <sqlite3.h>

#include <ctime>
#include <cstdio>
#include <functional>

using namespace orra;

namespace {

constexpr int kRows = 1000000;

// CPU time of the calling thread in milliseconds (everything runs on it): steadier than the
// wall clock on a machine that others share.
double cpuMillis()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double millis(const std::function<void()>& f)
{
    const double t0 = cpuMillis();
    f();
    return cpuMillis() - t0;
}

// The best of three runs.
double best(const std::function<void()>& f)
{
    double b = 1e300;
    for (int r = 0; r < 3; ++r) b = std::min(b, millis(f));
    return b;
}

void exec(sqlite3* db, const char* sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, err ? err : "?");
        std::exit(2);
    }
}

}   // namespace

int main()
{
    QTemporaryDir dir;
    db::Connection c;
    bench::openBenchServer(dir, c);

    // The same rows on both, made once in a staging table (not timed): 50 regions, amounts with
    // cents, prices with four decimals. The timed insert copies them into the typed table.
    const char* setup[] = {"create table Numbers (i int)", "insert into Numbers values (1)"};
    const char* doubleNumbers = "insert into Numbers select i + (select max(i) from Numbers) from Numbers";
    const QString staging = QStringLiteral(
        "insert into Staging select 'Region ' + cast(i % 50 as varchar(10)), '2026-01-01 10:00:00.000', "
        "i % 100000 * 0.01 + 0.07, i % 7919 * 0.0001 + 1 from Numbers where i <= %1")
                                .arg(kRows);
    const char* plainStaging = "insert into Staging select 'Region ' || (i % 50), '2026-01-01 10:00:00.000', "
                               "i % 100000 * 0.01 + 0.07, i % 7919 * 0.0001 + 1 from Numbers where i <= 1000000";
    const char* insert = "insert into Sales (Region, Sold, Amount, Price) select Region, Sold, Amount, Price from Staging";
    const QString report =
        QStringLiteral("select Region, sum(Amount) Total, avg(Price) AveragePrice, count(*) Orders from Sales "
                       "group by Region order by Region");
    const char* plainReport = "select Region, sum(Amount) Total, avg(Price) AveragePrice, count(*) Orders from Sales "
                              "group by Region order by Region";

    for (const char* sql : setup) c.execute(QString::fromLatin1(sql));
    for (int k = 0; k < 20; ++k) c.execute(QString::fromLatin1(doubleNumbers));
    c.execute(QStringLiteral("create table Staging (Region varchar(20), Sold varchar(23), Amount float, Price float)"));
    c.execute(staging);
    double serverInsert = 1e300;
    for (int r = 0; r < 3; ++r) {
        if (r > 0) c.execute(QStringLiteral("drop table Sales"));
        c.execute(QStringLiteral(
            "create table Sales (Region varchar(20), Sold datetime, Amount money, Price decimal(18,4))"));
        serverInsert = std::min(serverInsert, millis([&] { c.execute(QString::fromLatin1(insert)); }));
    }
    int groups = 0;
    QString first;
    const double serverReport = best([&] {
        db::RecordsetPtr rs = c.execute(report);
        groups = 0;
        first = rs->value(1).toString();
        while (!rs->isEOF()) {
            ++groups;
            rs->MoveNext();
        }
    });

    // Plain SQLite in its default rollback journal and in the write-ahead log the server's
    // databases use; the second is the like-for-like comparison the targets apply to.
    struct Plain {
        double insert = 1e300, report = 1e300;
        QString first;
    };
    auto runPlain = [&](bool wal) {
        Plain p;
        sqlite3* plain = nullptr;
        const QString file = dir.path() + (wal ? QStringLiteral("/plain-wal.db") : QStringLiteral("/plain.db"));
        sqlite3_open_v2(file.toUtf8().constData(), &plain, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (wal) exec(plain, "PRAGMA journal_mode = WAL");
        for (const char* sql : setup) exec(plain, sql);
        for (int k = 0; k < 20; ++k) exec(plain, doubleNumbers);
        exec(plain, "create table Staging (Region text, Sold text, Amount real, Price real)");
        exec(plain, plainStaging);
        for (int r = 0; r < 3; ++r) {
            exec(plain, "drop table if exists Sales");
            exec(plain, "create table Sales (Region text, Sold text, Amount real, Price real)");
            p.insert = std::min(p.insert, millis([&] { exec(plain, insert); }));
        }
        p.report = best([&] {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(plain, plainReport, -1, &st, nullptr);
            int n = 0;
            while (sqlite3_step(st) == SQLITE_ROW) {
                if (n++ == 0) p.first = QString::number(sqlite3_column_double(st, 1), 'f', 6);
                (void)sqlite3_column_text(st, 0);
                (void)sqlite3_column_double(st, 2);
                (void)sqlite3_column_int(st, 3);
            }
            sqlite3_finalize(st);
        });
        sqlite3_close(plain);
        return p;
    };
    const Plain rollback = runPlain(false);
    const Plain wal = runPlain(true);

    const double insertRatio = serverInsert / wal.insert;
    const double reportRatio = serverReport / wal.report;
    std::printf("insert %d rows: embedded %.0f ms; plain SQLite %.0f ms (WAL), %.0f ms (rollback journal); "
                "ratio %.2f (target <= 1.5), %.2f\n",
        kRows, serverInsert, wal.insert, rollback.insert, insertRatio, serverInsert / rollback.insert);
    std::printf("report over %d rows (%d groups): embedded %.0f ms; plain SQLite %.0f ms (WAL), %.0f ms (rollback "
                "journal); ratio %.2f (target <= 1.5), %.2f\n",
        kRows, groups, serverReport, wal.report, rollback.report, reportRatio, serverReport / rollback.report);
    std::printf("first group's sum: embedded %s, plain SQLite (double) %s\n", qPrintable(first), qPrintable(wal.first));
    return insertRatio <= 1.5 && reportRatio <= 1.5 ? 0 : 1;
}
