// Timed checks of the embedded server:
//  1. translating a statement that is already in the cache adds under 5% to executing it;
//  2. sp_Orra_GetDocumentsAndCategories on 100,000 documents in 2,000 categories takes
//     under twice the time of the two plain selects it stands for;
//  3. a chain of 8,000 '+' terms translates and runs in linear time (16,000 terms take under
//     three times as long as 8,000) and within 100 ms.
// Prints the figures; the exit status is 1 when a target is missed.

#include "platform/db/embedded/ExactTyping.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Collation.h"
#include "bench/embedded_bench_server.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/embedded/Server.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/sqlite/SqliteSession.h"

#include <QFile>
#include <QStringList>
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

// Median time per call in microseconds over several rounds.
double timeIt(int calls, const std::function<void()>& f)
{
    std::vector<double> rounds;
    for (int r = 0; r < 7; ++r) {
        const auto t0 = Clock::now();
        for (int i = 0; i < calls; ++i) f();
        rounds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / calls);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

}   // namespace

int main()
{
    QTemporaryDir dir;
    db::Connection c;
    bench::openBenchServer(dir, c);

    const int categories = 2000;
    const int documents = 100000;
    c.beginTrans();
    for (int i = 1; i <= categories; ++i)
        c.execute(
            QStringLiteral(
                "insert into tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) values (?,?,?,'T',0,suser_sid())"),
            {i, i <= 20 ? 0 : (i - 1) / 10 + 1, QStringLiteral("Category-%1").arg(i)});
    for (int i = 1; i <= documents; ++i)
        c.execute(QStringLiteral("insert into tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                                 "values (?,?,?,'','T',0,?,suser_sid())"),
            {i, (i % categories) + 1, QStringLiteral("Document-%1").arg(i),
                QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]><Block ID=\"B0.0\" "
                               "Name=\"Block0\"><![CDATA[select %1]]></Block></Document>")
                    .arg(i)});
    c.commitTrans();

    // 1. Translation of a cached statement against executing it.
    const QString tsql = QStringLiteral("select * from catalogue..tbOrraSQL (nolock) where ID=4711");
    const double execute = timeIt(20000, [&] { c.execute(tsql); });
    const double translate = timeIt(200000, [&] { embedded::translateCached(tsql, QStringLiteral("catalogue")); });
    // The same statement, already translated, run straight on SQLite (prepared once).
    sqlite3* raw = nullptr;
    sqlite3_open_v2(
        QFile::encodeName(embedded::databaseFile(QStringLiteral("bench"), QStringLiteral("catalogue"))).constData(),
        &raw, SQLITE_OPEN_READONLY, nullptr);
    embedded::registerCollation(raw);
    db::sqlite::SqliteSession session(raw);
    const QString translated =
        embedded::translate(tsql, QStringLiteral("catalogue")).statements.at(0).as<embedded::SqlStatement>()->sql;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw, translated.toUtf8().constData(), -1, &st, nullptr);
    const double plain = timeIt(20000, [&] {
        db::ResultSet rs = session.run(st);
        sqlite3_reset(st);
    });
    sqlite3_finalize(st);
    session.detach();
    sqlite3_close(raw);
    const double share = 100.0 * translate / execute;
    std::printf("statement: %s\n", qPrintable(tsql));
    std::printf("  execute through the embedded server: %8.2f us\n", execute);
    std::printf(
        "  cached translation alone:            %8.3f us  (%.2f%% of the execution; target < 5%%)\n", translate, share);
    std::printf("  translated text run straight on SQLite: %5.2f us  (the whole server path adds %.1f%%)\n", plain,
        100.0 * (execute - plain) / plain);

    // 1b. Typing the expression columns (money, decimal) of a select whose columns are
    // expressions over named columns: done once per statement text (the connection keeps the
    // result until its schema changes), so a repeated run pays only the look-up.
    const QString aggregate = QStringLiteral(
        "select CategoryID, count(*) N, max(ID) * 2 M from tbOrraSQL where CategoryID=7 group by CategoryID");
    const double aggregateRun = timeIt(2000, [&] { c.execute(aggregate); });
    sqlite3* typingDb = nullptr;
    sqlite3_open_v2(
        QFile::encodeName(embedded::databaseFile(QStringLiteral("bench"), QStringLiteral("catalogue"))).constData(),
        &typingDb, SQLITE_OPEN_READONLY, nullptr);
    embedded::registerCollation(typingDb);
    sqlite3_stmt* typed = nullptr;
    sqlite3_prepare_v2(typingDb,
        embedded::translate(aggregate, QStringLiteral("catalogue"))
            .statements.at(0)
            .as<embedded::SqlStatement>()
            ->sql.toUtf8()
            .constData(),
        -1, &typed, nullptr);
    const double typing = timeIt(2000, [&] { embedded::exactColumnTypes(typingDb, typed); });
    sqlite3_finalize(typed);
    sqlite3_close(typingDb);
    std::printf("statement: %s\n", qPrintable(aggregate));
    std::printf("  execute through the embedded server (typing cached): %8.2f us\n", aggregateRun);
    std::printf("  typing its expression columns the first time:       %8.2f us\n", typing);

    // 2. The catalogue procedure against the two plain selects it stands for.
    const double proc = timeIt(5, [&] { c.execute(QStringLiteral("exec sp_Orra_GetDocumentsAndCategories default")); });
    const double selects = timeIt(5, [&] {
        c.execute(
            QStringLiteral("select CategoryID CatID, ID DocID, Name DocName, Disabled DocDisabled from tbOrraSQL"));
        c.execute(QStringLiteral("select ID, ParentID, Name, Disabled from tbOrraCategory"));
    });
    const double ratio = proc / selects;
    std::printf("catalogue of %d documents in %d categories:\n", documents, categories);
    std::printf("  exec sp_Orra_GetDocumentsAndCategories default: %8.1f ms\n", proc / 1000.0);
    std::printf("  the two plain selects:                          %8.1f ms  (ratio %.2f; target < 2)\n",
        selects / 1000.0, ratio);

    // 3. Long '+' chains: translated (not from the cache) and run.
    auto chain = [](int terms) {
        QStringList t;
        for (int i = 0; i < terms; ++i) t << QStringLiteral("'%1'").arg(i % 10);
        return QStringLiteral("select ") + t.join(u'+');
    };
    const QString chain8 = chain(8000), chain16 = chain(16000);
    const double translate8 = timeIt(3, [&] { embedded::translate(chain8, QStringLiteral("catalogue")); });
    const double translate16 = timeIt(3, [&] { embedded::translate(chain16, QStringLiteral("catalogue")); });
    const double run8 = timeIt(3, [&] { c.execute(chain8); });
    const double growth = translate16 / translate8;
    std::printf("'+' chains:\n");
    std::printf("  translate 8,000 terms: %8.2f ms; 16,000 terms: %8.2f ms (growth %.2f; target < 3)\n",
        translate8 / 1000.0, translate16 / 1000.0, growth);
    std::printf("  execute 8,000 terms through the server: %8.2f ms (target < 100)\n", run8 / 1000.0);

    const bool ok = share < 5.0 && ratio < 2.0 && growth < 3.0 && run8 < 100000.0;
    std::printf("%s\n", ok ? "targets met" : "TARGET MISSED");
    return ok ? 0 : 1;
}
