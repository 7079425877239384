// A document of 1,000 blocks of one small statement each, run by DocOrra on the embedded
// server, against the same statements plus the "#Int" protocol executed in a plain loop on
// the same connection. Target: the engine within 1.3 times the loop.

#include "platform/db/Connection.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/embedded/Server.h"
#include "common/Crc32.h"
#include "runtime/DocOrra.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace orra;

namespace {

constexpr int kBlocks = 1000;

QString statement(int i) { return QStringLiteral("update Counter set N=N+%1").arg(i % 7 + 1); }

struct Setup {
    QTemporaryDir dir;
    db::ConnectionPtr catalogue;
    db::ConnectionPtr data;
    int docId = 1;

    Setup()
    {
        qputenv("ORRA_SERVERS", dir.path().toLocal8Bit());
        catalogue::registerEmbeddedCatalogue();
        catalogue::createEmbeddedServer(QStringLiteral("bench"), QStringLiteral("sa"), QStringLiteral("secret"));
        catalogue::createEmbeddedCatalogue(QStringLiteral("bench"), QStringLiteral("Orra"));
        embedded::createDatabase(QStringLiteral("bench"), QStringLiteral("Data"));
        catalogue = std::make_shared<db::Connection>();
        catalogue->open(embedded::connectionText(
            QStringLiteral("bench"), QStringLiteral("Orra"), QStringLiteral("sa"), QStringLiteral("secret")));
        data = std::make_shared<db::Connection>();
        data->open(embedded::connectionText(
            QStringLiteral("bench"), QStringLiteral("Data"), QStringLiteral("sa"), QStringLiteral("secret")));
        data->execute(QStringLiteral("create table Counter (N int)"));
        data->execute(QStringLiteral("insert into Counter values (0)"));

        QString xml = QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[bench]]>");
        for (int i = 0; i < kBlocks; ++i)
            xml +=
                QStringLiteral("<Block ID=\"B0.%1\" Name=\"Block%1\"><![CDATA[%2]]></Block>").arg(i).arg(statement(i));
        xml += QStringLiteral("</Document>");
        catalogue->execute(QStringLiteral(
            "insert into tbOrraSQL (ID, CategoryID, Name, Description, Type, Disabled, SQLtxt, Owner, CheckSum) "
            "values (1, 1, 'Bench', '', 'T', 0, '%1', suser_sid(), 0)")
                               .arg(xml));
        auto rs = catalogue->execute(QStringLiteral("select * from tbOrraSQL where ID=1"));
        catalogue->execute(QStringLiteral("update tbOrraSQL set CheckSum=%1 where ID=1").arg(RowCheckSum(*rs)));
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

void BM_EngineRun(benchmark::State& state)
{
    Setup& s = setup();
    DocOrra engine;
    engine.flagShowErrorMessages = false;
    engine.flagReturnRecordSet = false;
    engine.setDoc_Con(s.catalogue);
    engine.OrraID = s.docId;
    engine.LoadDocument();
    engine.setOrra_Con(s.data);
    engine.PrepareforExecution();
    for (auto _ : state) {
        engine.GoToID.clear();
        if (engine.RunDocument() != orra::RunResult::Finished) state.SkipWithError("run failed");
    }
    engine.EndExecution();
    state.SetItemsProcessed(state.iterations() * kBlocks);
}

void BM_DirectLoop(benchmark::State& state)
{
    Setup& s = setup();
    s.data->execute(QStringLiteral("create table #Int (Err smallint) insert into #Int select 0"));
    QStringList statements;
    for (int i = 0; i < kBlocks; ++i) statements.append(QStringLiteral("/*set nocount on*/ ") + statement(i));
    for (auto _ : state) {
        for (const QString& sql : statements) {
            s.data->execute(QStringLiteral("update #Int set Err=0"));
            s.data->execute(sql);
            auto rs = s.data->execute(QStringLiteral("select Err from #Int"));
            benchmark::DoNotOptimize(rs->value(0).toInt());
        }
    }
    s.data->execute(QStringLiteral("drop table #Int"));
    state.SetItemsProcessed(state.iterations() * kBlocks);
}

}   // namespace

BENCHMARK(BM_DirectLoop)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EngineRun)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
