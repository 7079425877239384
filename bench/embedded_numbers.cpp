// Timed checks of exact money and decimals on the embedded server, against plain SQLite doing
// the same over REAL columns:
//  1. inserting 1,000,000 rows with a datetime and a money column takes at most 1.5 times as long.
//     The rows come from a staging table as a report fills one: dates already datetime, amounts
//     and prices computed as floats, converted to money and decimal(18,4) on the way in. (The
//     same insert with the dates as text, parsed row by row, is printed for information.)
//  2. a report's aggregate over them (GROUP BY a text column, SUM of money, AVG of
//     decimal(18,4), COUNT) takes at most 1.5 times as long.
// Times are the thread's CPU time, the best of five rounds; each round times the server and
// plain SQLite one after the other, so that a busy spell of the machine falls on both. Prints
// the figures; the exit status is 1 when a target is missed.

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

constexpr int kRounds = 5;

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
        "'2026-01-01 10:00:00.000', i % 100000 * 0.01 + 0.07, i % 7919 * 0.0001 + 1 from Numbers where i <= %1")
                                .arg(kRows);
    const char* plainStaging = "insert into Staging select 'Region ' || (i % 50), '2026-01-01 10:00:00.000', "
                               "i % 100000 * 0.01 + 0.07, i % 7919 * 0.0001 + 1 from Numbers where i <= 1000000";
    const char* insert = "insert into Sales (Region, Sold, Amount, Price) select Region, Sold, Amount, Price from Staging";
    const QString textDatesInsert = QStringLiteral(
        "insert into Sales (Region, Sold, Amount, Price) select Region, SoldText, Amount, Price from Staging");
    const QString salesTable =
        QStringLiteral("create table Sales (Region varchar(20), Sold datetime, Amount money, Price decimal(18,4))");
    const char* report = "select Region, sum(Amount) Total, avg(Price) AveragePrice, count(*) Orders from Sales "
                         "group by Region order by Region";

    for (const char* sql : setup) c.execute(QString::fromLatin1(sql));
    for (int k = 0; k < 20; ++k) c.execute(QString::fromLatin1(doubleNumbers));
    c.execute(QStringLiteral(
        "create table Staging (Region varchar(20), Sold datetime, SoldText varchar(23), Amount float, Price float)"));
    c.execute(staging);

    // Plain SQLite in its default rollback journal and in the write-ahead log the server's
    // databases use; the second is the like-for-like comparison the targets apply to.
    struct Plain {
        sqlite3* db = nullptr;
        double insert = 1e300, report = 1e300;
        QString first;
    };
    auto openPlain = [&](bool wal) {
        Plain p;
        const QString file = dir.path() + (wal ? QStringLiteral("/plain-wal.db") : QStringLiteral("/plain.db"));
        sqlite3_open_v2(file.toUtf8().constData(), &p.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (wal) exec(p.db, "PRAGMA journal_mode = WAL");
        for (const char* sql : setup) exec(p.db, sql);
        for (int k = 0; k < 20; ++k) exec(p.db, doubleNumbers);
        exec(p.db, "create table Staging (Region text, Sold text, Amount real, Price real)");
        exec(p.db, plainStaging);
        return p;
    };
    Plain wal = openPlain(true);
    Plain rollback = openPlain(false);
    auto plainInsert = [&](Plain& p) {
        exec(p.db, "drop table if exists Sales");
        exec(p.db, "create table Sales (Region text, Sold text, Amount real, Price real)");
        p.insert = std::min(p.insert, millis([&] { exec(p.db, insert); }));
    };
    auto plainReport = [&](Plain& p) {
        p.report = std::min(p.report, millis([&] {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(p.db, report, -1, &st, nullptr);
            int n = 0;
            while (sqlite3_step(st) == SQLITE_ROW) {
                if (n++ == 0) p.first = QString::number(sqlite3_column_double(st, 1), 'f', 6);
                (void)sqlite3_column_text(st, 0);
                (void)sqlite3_column_double(st, 2);
                (void)sqlite3_column_int(st, 3);
            }
            sqlite3_finalize(st);
        }));
    };

    double serverInsert = 1e300;
    double textDates = 1e300;
    for (int r = 0; r < kRounds; ++r) {
        c.execute(QStringLiteral("drop table if exists Sales"));
        c.execute(salesTable);
        textDates = std::min(textDates, millis([&] { c.execute(textDatesInsert); }));
        c.execute(QStringLiteral("drop table Sales"));
        c.execute(salesTable);
        serverInsert = std::min(serverInsert, millis([&] { c.execute(QString::fromLatin1(insert)); }));
        plainInsert(wal);
        plainInsert(rollback);
    }
    int groups = 0;
    QString first;
    double serverReport = 1e300;
    for (int r = 0; r < kRounds; ++r) {
        serverReport = std::min(serverReport, millis([&] {
            db::RecordsetPtr rs = c.execute(QString::fromLatin1(report));
            groups = 0;
            first = rs->value(1).toString();
            while (!rs->isEOF()) {
                ++groups;
                rs->MoveNext();
            }
        }));
        plainReport(wal);
        plainReport(rollback);
    }
    sqlite3_close(wal.db);
    sqlite3_close(rollback.db);

    const double insertRatio = serverInsert / wal.insert;
    const double reportRatio = serverReport / wal.report;
    std::printf("insert %d rows: embedded %.0f ms; plain SQLite %.0f ms (WAL), %.0f ms (rollback journal); "
                "ratio %.2f (target <= 1.5), %.2f\n",
        kRows, serverInsert, wal.insert, rollback.insert, insertRatio, serverInsert / rollback.insert);
    std::printf("  the same with the dates as text: embedded %.0f ms, ratio %.2f\n", textDates, textDates / wal.insert);
    std::printf("report over %d rows (%d groups): embedded %.0f ms; plain SQLite %.0f ms (WAL), %.0f ms (rollback "
                "journal); ratio %.2f (target <= 1.5), %.2f\n",
        kRows, groups, serverReport, wal.report, rollback.report, reportRatio, serverReport / rollback.report);
    std::printf("first group's sum: embedded %s, plain SQLite (double) %s\n", qPrintable(first), qPrintable(wal.first));
    return insertRatio <= 1.5 && reportRatio <= 1.5 ? 0 : 1;
}
