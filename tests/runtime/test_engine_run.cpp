// Runs of documents on the embedded server: event order, pause and resume, re-entrant runs,
// the "#Int" protocol, placeholders and the end of a run.

#include "tests/runtime/EngineFixture.h"
#include "tests/runtime/SqlScriptHost.h"

#include "common/QueryDocument.h"

using namespace orra;
using namespace orra::test;

namespace {

// B0 > B0.0 > B0.0.0, then B0.1; every block writes its ID to Trace.
QString nestedDocument()
{
    return documentXml(block(QStringLiteral("B0.0"), traceSql(QStringLiteral("B0.0")),
                           block(QStringLiteral("B0.0.0"), traceSql(QStringLiteral("B0.0.0"))))
        + block(QStringLiteral("B0.1"), traceSql(QStringLiteral("B0.1"))));
}

const QStringList kNestedEvents = {
    "BeforeExecutionBlock B0",
    "BeforeExecutionChildBlocks B0",
    "BeforeExecutionBlock B0.0",
    "BeforeExecutionBlockSQL B0.0",
    "BeforeExecutionChildBlocks B0.0",
    "BeforeExecutionBlock B0.0.0",
    "BeforeExecutionBlockSQL B0.0.0",
    "BeforeExecutionChildBlocks B0.0.0",
    "AfterExecutionBlock B0.0.0",
    "AfterExecutionBlock B0.0",
    "BeforeExecutionBlock B0.1",
    "BeforeExecutionBlockSQL B0.1",
    "BeforeExecutionChildBlocks B0.1",
    "AfterExecutionBlock B0.1",
    "AfterExecutionBlock B0",
    "ArrivetoStation DocEnd Document End",
    "DocumentEnd nothing",
};

const QStringList kNestedTrace = {"B0.0", "B0.0.0", "B0.1"};

}   // namespace

TEST_F(EngineTest, NestedDocumentRaisesEventsInDocumentOrder)
{
    auto engine = engineFor(addDocument(nestedDocument()));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(rec.events, kNestedEvents);
    EXPECT_EQ(trace(), kNestedTrace);
    // The root's end step took the chain root away.
    EXPECT_TRUE(engine->ParameterChain().documentElement().empty());
    EXPECT_EQ(engine->Stations().size(), 1);
    EXPECT_GE(m_ui.yields, 4);   // one yield per block, before its SQL
}

struct PauseCase {
    const char* event;
    const char* element;
    int pauseAtEvent;
    QStringList eventsAfterResume;
};
// Readable, stable test names: the event and the element.
void PrintTo(const PauseCase& c, std::ostream* os) { *os << c.event << '@' << c.element; }

class PauseResume : public EngineTest, public ::testing::WithParamInterface<PauseCase> {};

TEST_P(PauseResume, ResumesAfterTheEventWithoutRepeatingWork)
{
    const PauseCase& c = GetParam();
    auto engine = engineFor(addDocument(nestedDocument()));
    EventRecorder rec(*engine);
    bool pausedOnce = false;
    rec.hook = [&](const QString& event, const QString& id) {
        if (!pausedOnce && event == QLatin1String(c.event) && id == QLatin1String(c.element)) {
            pausedOnce = true;
            engine->Statu = DocOrra::enDocStatuPaused;
        }
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(int(engine->PauseAtEvent), c.pauseAtEvent);
    EXPECT_EQ(rec.events.last(), QString::fromLatin1(c.event) + ' ' + c.element);

    rec.events.clear();
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->GoToID = QString::fromLatin1(c.element);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(rec.events, c.eventsAfterResume);
    EXPECT_EQ(trace(), kNestedTrace) << "every block's SQL ran exactly once";
    EXPECT_EQ(int(engine->PauseAtEvent), 0);
}

INSTANTIATE_TEST_SUITE_P(Events, PauseResume,
    ::testing::Values(
        PauseCase{"BeforeExecutionChildBlocks", "B0.0", 1,
            {"BeforeExecutionBlock B0.0.0", "BeforeExecutionBlockSQL B0.0.0", "BeforeExecutionChildBlocks B0.0.0",
                "AfterExecutionBlock B0.0.0", "AfterExecutionBlock B0.0", "BeforeExecutionBlock B0.1",
                "BeforeExecutionBlockSQL B0.1", "BeforeExecutionChildBlocks B0.1", "AfterExecutionBlock B0.1",
                "AfterExecutionBlock B0", "ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}},
        PauseCase{"BeforeExecutionBlock", "B0.0", 2,
            {"BeforeExecutionBlockSQL B0.0", "BeforeExecutionChildBlocks B0.0", "BeforeExecutionBlock B0.0.0",
                "BeforeExecutionBlockSQL B0.0.0", "BeforeExecutionChildBlocks B0.0.0", "AfterExecutionBlock B0.0.0",
                "AfterExecutionBlock B0.0", "BeforeExecutionBlock B0.1", "BeforeExecutionBlockSQL B0.1",
                "BeforeExecutionChildBlocks B0.1", "AfterExecutionBlock B0.1", "AfterExecutionBlock B0",
                "ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}},
        PauseCase{"BeforeExecutionBlockSQL", "B0.0.0", 3,
            {"BeforeExecutionChildBlocks B0.0.0", "AfterExecutionBlock B0.0.0", "AfterExecutionBlock B0.0",
                "BeforeExecutionBlock B0.1", "BeforeExecutionBlockSQL B0.1", "BeforeExecutionChildBlocks B0.1",
                "AfterExecutionBlock B0.1", "AfterExecutionBlock B0", "ArrivetoStation DocEnd Document End",
                "DocumentEnd nothing"}},
        // After a block: its children are not run again; the enclosing block still ends.
        PauseCase{"AfterExecutionBlock", "B0.0", 4,
            {"BeforeExecutionBlock B0.1", "BeforeExecutionBlockSQL B0.1", "BeforeExecutionChildBlocks B0.1",
                "AfterExecutionBlock B0.1", "AfterExecutionBlock B0", "ArrivetoStation DocEnd Document End",
                "DocumentEnd nothing"}},
        PauseCase{"AfterExecutionBlock", "B0.0.0", 4,
            {"AfterExecutionBlock B0.0", "BeforeExecutionBlock B0.1", "BeforeExecutionBlockSQL B0.1",
                "BeforeExecutionChildBlocks B0.1", "AfterExecutionBlock B0.1", "AfterExecutionBlock B0",
                "ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}}));

TEST_F(EngineTest, PauseAtEventZeroOnResumeRaisesTheElementsEventsAgain)
{
    auto engine = engineFor(addDocument(nestedDocument()));
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlockSQL") && id == QLatin1String("B0.1") && rec.events.size() < 20)
            engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    rec.hook = nullptr;
    rec.events.clear();
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->GoToID = QStringLiteral("B0.1");
    engine->PauseAtEvent = DocOrra::enPauseAtEvent_Nothing;
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(rec.events.mid(0, 3),
        (QStringList{"BeforeExecutionBlock B0.1", "BeforeExecutionBlockSQL B0.1", "BeforeExecutionChildBlocks B0.1"}));
}

TEST_F(EngineTest, PauseInScriptEventsAndResume)
{
    installSqlScriptHost();
    const QString doc = documentXml(block(QStringLiteral("B0.0"), traceSql(QStringLiteral("B0.0")))
        + script(QStringLiteral("B0.X0"), traceSql(QStringLiteral("X0")))
        + block(QStringLiteral("B0.1"), traceSql(QStringLiteral("B0.1"))));
    for (int pauseEvent : {5, 6}) {
        SCOPED_TRACE(pauseEvent);
        m_run->execute(QStringLiteral("delete from Trace"));
        auto engine = engineFor(addDocument(doc));
        EventRecorder rec(*engine);
        const QString pauseName =
            pauseEvent == 5 ? QStringLiteral("BeforeExecutionScript") : QStringLiteral("AfterExecutionScript");
        rec.hook = [&](const QString& event, const QString&) {
            if (event == pauseName && engine->PauseAtEvent == 0 && rec.events.size() < 10)
                engine->Statu = DocOrra::enDocStatuPaused;
        };
        EXPECT_EQ(engine->RunDocument(), 1.0f);
        EXPECT_EQ(int(engine->PauseAtEvent), pauseEvent);
        rec.hook = nullptr;
        rec.events.clear();
        engine->Statu = DocOrra::enDocStatuRunning;
        engine->GoToID = QStringLiteral("B0.X0");
        EXPECT_EQ(engine->RunDocument(), 0.0f);
        if (pauseEvent == 5)
            EXPECT_EQ(rec.events.first(), QStringLiteral("AfterExecutionScript B0.X0"));
        else
            EXPECT_EQ(rec.events.first(), QStringLiteral("BeforeExecutionBlock B0.1"));
        EXPECT_EQ(trace(), (QStringList{"B0.0", "X0", "B0.1"}));
        engine->EndExecution();
    }
}

TEST_F(EngineTest, RunDocumentCalledAgainFromTheStationEvent)
{
    const QString doc = documentXml(block(QStringLiteral("B0.0"), traceSql(QStringLiteral("B0.0")))
        + station(QStringLiteral("B0.S0")) + block(QStringLiteral("B0.1"), traceSql(QStringLiteral("B0.1"))));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    float nested = -99;
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("ArrivetoStation") && id == QLatin1String("B0.S0")) {
            engine->Statu = DocOrra::enDocStatuRunning;
            engine->GoToID = id;
            nested = engine->RunDocument();
        }
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);   // the outer call reports the station
    EXPECT_EQ(nested, 0.0f);                  // the nested call finished the run
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.1"}));
    EXPECT_EQ(rec.events.count(QStringLiteral("ArrivetoStation DocEnd Document End")), 1);
    ASSERT_EQ(engine->Stations().size(), 2);
    EXPECT_EQ(xml::attribute(engine->Stations().at(0)->Element, "ID"), QStringLiteral("DocEnd"));
    EXPECT_EQ(xml::attribute(engine->Stations().at(1)->Element, "ID"), QStringLiteral("B0.S0"));
}

TEST_F(EngineTest, RunDocumentCalledAgainFromABlockEventContinuesTheSameRun)
{
    auto engine = engineFor(addDocument(nestedDocument()));
    EventRecorder rec(*engine);
    float nested = -99;
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlock") && id == QLatin1String("B0.1") && nested == -99) {
            nested = -98;
            engine->GoToID = id;
            engine->PauseAtEvent = DocOrra::enPauseAtEvent_BeforeExecutionBlock;
            nested = engine->RunDocument();
        }
    };
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(nested, 0.0f);
    EXPECT_EQ(trace(), kNestedTrace);
    EXPECT_EQ(rec.events.count(QStringLiteral("ArrivetoStation DocEnd Document End")), 1);
    EXPECT_EQ(rec.events.count(QStringLiteral("AfterExecutionBlock B0.1")), 1);
}

TEST_F(EngineTest, HostReplacingTheDocumentInsideAnEventStopsTheRun)
{
    auto engine = engineFor(addDocument(nestedDocument()));
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlock") && id == QLatin1String("B0.0"))
            engine->LoadXML(documentXml(QString()));
    };
    try {
        engine->RunDocument();
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(e.source(), QStringLiteral("DocOrra::RunDocument"));
        EXPECT_EQ(e.description(),
            QStringLiteral("The run was stopped: its document or parameter chain was replaced during an event"));
    }
    EXPECT_TRUE(trace().isEmpty());
}

class IntFlag : public EngineTest, public ::testing::WithParamInterface<int> {};

TEST_P(IntFlag, ANonZeroFlagAfterABlockSkipsItsChildrenOnly)
{
    const int value = GetParam();
    const QString doc =
        documentXml(block(QStringLiteral("B0.0"),
                        QStringLiteral("update #Int set Err=%1 ").arg(value) + traceSql(QStringLiteral("B0.0")),
                        block(QStringLiteral("B0.0.0"), traceSql(QStringLiteral("B0.0.0"))))
            + block(QStringLiteral("B0.1"), traceSql(QStringLiteral("B0.1"))));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    if (value == 0) {
        EXPECT_EQ(trace(), kNestedTrace);
        EXPECT_TRUE(rec.events.contains(QStringLiteral("BeforeExecutionChildBlocks B0.0")));
    } else {
        EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.1"}));
        EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionChildBlocks B0.0")));
        EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionBlock B0.0.0")));
    }
    EXPECT_TRUE(rec.events.contains(QStringLiteral("AfterExecutionBlock B0.0")));
    // The next block starts from a reset flag.
    EXPECT_EQ(column(QStringLiteral("select Err from #Int")), QStringList{"0"});
}

INSTANTIATE_TEST_SUITE_P(Values, IntFlag, ::testing::Values(0, 1, 2, -1, 5, -3));

struct ScriptFlagCase {
    int value;
    float result;
    bool documentEnd;
};
void PrintTo(const ScriptFlagCase& c, std::ostream* os) { *os << "Err=" << c.value; }
class ScriptIntFlag : public EngineTest, public ::testing::WithParamInterface<ScriptFlagCase> {};

TEST_P(ScriptIntFlag, AScriptsFlagBecomesTheRunsResult)
{
    installSqlScriptHost();
    const ScriptFlagCase c = GetParam();
    const QString doc =
        documentXml(block(QStringLiteral("B0.0"), traceSql(QStringLiteral("B0.0")),
                        script(QStringLiteral("B0.0.X0"), QStringLiteral("update #Int set Err=%1").arg(c.value))
                            + block(QStringLiteral("B0.0.0"), traceSql(QStringLiteral("B0.0.0"))))
            + block(QStringLiteral("B0.1"), traceSql(QStringLiteral("B0.1"))));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), c.result);
    if (c.value == 0)
        EXPECT_EQ(trace(), kNestedTrace);
    else
        EXPECT_EQ(trace(), QStringList{"B0.0"}) << "no later element runs";
    EXPECT_EQ(rec.events.contains(QStringLiteral("ArrivetoStation DocEnd Document End")), c.documentEnd);
    EXPECT_EQ(rec.events.contains(QStringLiteral("DocumentEnd nothing")), c.documentEnd);
    EXPECT_EQ(rec.events.contains(QStringLiteral("AfterExecutionBlock B0.0")), c.value == 0);
}

INSTANTIATE_TEST_SUITE_P(Values, ScriptIntFlag,
    ::testing::Values(ScriptFlagCase{0, 0.0f, true}, ScriptFlagCase{1, 1.0f, false}, ScriptFlagCase{2, 2.0f, false},
        ScriptFlagCase{-1, -1.0f, false}, ScriptFlagCase{5, 5.0f, false}, ScriptFlagCase{-3, -3.0f, true}));

TEST_F(EngineTest, EmptyBlockSqlStillResetsTheFlagAndRunsChildren)
{
    const QString doc = documentXml(
        block(QStringLiteral("B0.0"), QString(), block(QStringLiteral("B0.0.0"), traceSql(QStringLiteral("B0.0.0")))));
    auto engine = engineFor(addDocument(doc));
    m_run->execute(QStringLiteral("update #Int set Err=7"));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{"B0.0.0"});
    EXPECT_EQ(column(QStringLiteral("select Err from #Int")), QStringList{"0"});
}

TEST_F(EngineTest, SeekTargetNamingNoElementRunsNothing)
{
    auto engine = engineFor(addDocument(nestedDocument()));
    EventRecorder rec(*engine);
    engine->GoToID = QStringLiteral("B0.9");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_TRUE(trace().isEmpty());
    EXPECT_EQ(rec.events, (QStringList{"ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}));
}

TEST_F(EngineTest, StationPausesAndResumingContinuesAfterIt)
{
    const QString doc = documentXml(block(QStringLiteral("B0.0"), traceSql(QStringLiteral("B0.0")))
        + station(QStringLiteral("B0.S0"), traceSql(QStringLiteral("S0 left")))
        + block(QStringLiteral("B0.1"), traceSql(QStringLiteral("B0.1")))
        + station(QStringLiteral("B0.S1"), traceSql(QStringLiteral("S1 left"))));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(rec.events.last(), QStringLiteral("ArrivetoStation B0.S0 Station B0.S0"));
    engine->GoToID = QStringLiteral("B0.S0");
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(rec.events.last(), QStringLiteral("ArrivetoStation B0.S1 Station B0.S1"));
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.1"}));

    rec.events.clear();
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(rec.events, (QStringList{"BeforeExecutionStation B0.S1", "AfterExecutionStation B0.S1 B0.S0"}));
    EXPECT_EQ(trace().last(), QStringLiteral("S1 left"));
    rec.events.clear();
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(rec.events, (QStringList{"BeforeExecutionStation B0.S0", "AfterExecutionStation B0.S0 "}));
    EXPECT_EQ(trace().last(), QStringLiteral("S0 left"));
    // Nothing left to leave.
    EXPECT_THROW(engine->RunStation(), Error);
}

TEST_F(EngineTest, ResumingInsideABlockThatNeverRanBindsItsAnswersOnTheWay)
{
    const QString doc = documentXml(factParameter("B0", "A", "root") + block("B0.0", traceSql("B0.0"))
        + block(
            "B0.1", traceSql("B0.1"), factParameter("B0.1", "A", "own") + block("B0.1.0", traceSql("B0.1.0 <$A%>"))));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    // Pause before B0.0: the root has been answered by then.
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlock") && id == QLatin1String("B0.0"))
            engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    rec.hook = nullptr;
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->PauseAtEvent = DocOrra::enPauseAtEvent_Nothing;
    engine->GoToID = QStringLiteral("B0.1.0");
    rec.events.clear();
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    // B0.1 never ran: its answers are bound on the way, without its events, and its own A hides
    // the root's.
    EXPECT_EQ(trace(), QStringList{"B0.1.0 own"});
    EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionBlock B0.1")));
    EXPECT_EQ(rec.events.first(), QStringLiteral("BeforeExecutionBlock B0.1.0"));
    EXPECT_EQ(rec.events.mid(rec.events.size() - 5),
        (QStringList{"AfterExecutionBlock B0.1.0", "AfterExecutionBlock B0.1", "AfterExecutionBlock B0",
            "ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}));
}

TEST_F(EngineTest, StationSnapshotOutlivesTheDocumentAndRestoresTheChain)
{
    const QString doc = documentXml(block("B0.0", QString(),
        factParameter("B0.0", "P", "first") + station("B0.0.S0", traceSql("S0 <$P%>"))
            + station("B0.0.S1", traceSql("S1 <$P%>"))));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    engine->GoToID = QStringLiteral("B0.0.S0");
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    ASSERT_EQ(engine->Stations().size(), 2);
    // The snapshot holds the chain as it was: the block's answer is in it.
    auto chain = engine->Stations().at(0)->chParam();
    xml::Node p = FindElementByAttribute(chain->node(), QStringLiteral("ID"), QStringLiteral("B0.0.P_P"));
    EXPECT_EQ(xml::attribute(p, QStringLiteral("Value")), QStringLiteral("first"));
    // Another document replaces the one that held the stations; leaving them still works.
    EXPECT_TRUE(engine->LoadXML(documentXml(QString())));
    rec.events.clear();
    EXPECT_TRUE(engine->RunStation());
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(rec.events,
        (QStringList{"BeforeExecutionStation B0.0.S1", "AfterExecutionStation B0.0.S1 B0.0.S0",
            "BeforeExecutionStation B0.0.S0", "AfterExecutionStation B0.0.S0 "}));
    EXPECT_EQ(trace(), (QStringList{"S1 first", "S0 first"}));
    EXPECT_TRUE(engine->ParameterChain().documentElement().first_child().empty());
}

TEST_F(EngineTest, TheEndStationCanBeLeftAndReachedAgain)
{
    auto engine = engineFor(addDocument(documentXml(block("B0.0", traceSql("x")))));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    rec.events.clear();
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(rec.events, (QStringList{"BeforeExecutionStation DocEnd", "AfterExecutionStation DocEnd "}));
    EXPECT_EQ(trace(), QStringList{"x"});   // the end station runs no SQL
    // A second run from the start on the same preparation finishes again.
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(engine->Stations().size(), 1);
    EXPECT_EQ(trace(), (QStringList{"x", "x", "x"}));
}
