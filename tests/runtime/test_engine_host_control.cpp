// A host driving a run from inside its events and from its event loop, as a debugger does, on
// the embedded server: stopping a run (RequestStop, EndExecution during the run), the run
// connection taken away during a run, RunDocument called again during a run, resuming at the
// root, and resume targets below blocks whose answers are no longer in the chain.

#include "tests/runtime/EngineFixture.h"
#include "tests/runtime/TestServer.h"

#include "common/QueryDocument.h"
#include "runtime/ScriptHost.h"

#include <functional>

using namespace orra;
using namespace orra::test;

namespace {

const QString kConnectionGone =
    QStringLiteral("The run connection (Orra_Con) was set to Nothing: the run cannot go on");
const QString kAlreadyRunning = QStringLiteral(
    "The document is already running: RunDocument can be called again only from inside one of the run's events");

// B0 > B0.0 > B0.0.0, then B0.1; every block writes its ID to Trace.
QString nestedDocument()
{
    return documentXml(
        block("B0.0", traceSql("B0.0"), block("B0.0.0", traceSql("B0.0.0"))) + block("B0.1", traceSql("B0.1")));
}

QString errorText(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return QString::number(e.number()) + QLatin1Char('|') + e.source() + QLatin1Char('|') + e.description();
    }
    return QStringLiteral("no error");
}

// The host's event loop: every yield of the run (before a block's SQL, during a script) calls
// the command, as a click on a toolbar button arriving then would.
class HostLoop : public RecordingUserInterface {
public:
    std::function<void(int yield)> command;
    void processEvents() override
    {
        ++yields;
        if (command) command(yields);
    }
};

class HostControlTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_oldLoopUi = setUserInterface(&m_loop);
    }
    void TearDown() override
    {
        m_loop.command = nullptr;
        setUserInterface(m_oldLoopUi);
        EngineTest::TearDown();
    }
    bool intExists()
    {
        try {
            m_run->execute(QStringLiteral("select Err from #Int"));
            return true;
        } catch (const Error&) {
            return false;
        }
    }
    HostLoop m_loop;
    UserInterface* m_oldLoopUi = nullptr;
};

}   // namespace

// ---------------------------------------------------------------- stopping a run

TEST_F(HostControlTest, EndExecutionInAnEventStopsTheRunAndReleasesOnlyAfterIt)
{
    for (const bool show : {true, false}) {
        SCOPED_TRACE(show);
        m_run->execute(QStringLiteral("delete from Trace"));
        auto engine = engineFor(addDocument(nestedDocument()));
        engine->flagShowErrorMessages = show;
        EventRecorder rec(*engine);
        bool intKeptDuringTheRun = false;
        rec.hook = [&](const QString& event, const QString& id) {
            if (event == QLatin1String("AfterExecutionBlock") && id == QLatin1String("B0.0.0")) {
                EXPECT_FALSE(engine->EndExecution());
                intKeptDuringTheRun = intExists();
                EXPECT_TRUE(engine->IsRunning());
            }
        };
        EXPECT_EQ(engine->RunDocument(), -1.0f);
        EXPECT_TRUE(intKeptDuringTheRun);
        EXPECT_FALSE(intExists());   // dropped once the run had unwound
        EXPECT_FALSE(engine->IsRunning());
        EXPECT_EQ(rec.events.last(), QStringLiteral("AfterExecutionBlock B0.0.0"));
        EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.0.0"}));
        EXPECT_TRUE(engine->Stations().isEmpty());   // no end station: the run did not finish
        EXPECT_TRUE(m_loop.boxes.isEmpty());
    }
}

TEST_F(HostControlTest, RequestStopDuringTheYieldBeforeABlocksSqlSkipsThatSql)
{
    auto engine = engineFor(addDocument(nestedDocument()));
    engine->flagShowErrorMessages = true;
    EventRecorder rec(*engine);
    // Yields: the root, B0.0, B0.0.0 (each before its SQL step).
    m_loop.command = [&](int yield) {
        if (yield == 3) engine->RequestStop();
    };
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    EXPECT_EQ(trace(), QStringList{"B0.0"});
    EXPECT_EQ(rec.events.last(), QStringLiteral("BeforeExecutionBlock B0.0.0"));
    EXPECT_TRUE(m_loop.boxes.isEmpty());
    // A stop keeps the run's objects: the host ends the run itself.
    EXPECT_TRUE(intExists());
    engine->EndExecution();
    EXPECT_FALSE(intExists());
}

TEST_F(HostControlTest, EndExecutionFromTheYieldOfALongScriptEndsItSafely)
{
    DocOrra::setScriptHostFactory(&InitScriptEngine);
    // The debugger's stop path while a script that never ends has the thread: EndExecution,
    // then the run connection is closed and taken away. The script's next statement uses the
    // closed connection; that failure is the stop's and is not reported.
    db::ConnectionPtr run = openAs(QStringLiteral("Data"), QStringLiteral("sa"), QStringLiteral("secret"));
    const int id = addDocument(documentXml(block("B0.0", traceSql("B0.0"))
        + script("B0.X1", "Do\n  OrraCon.Execute \"update #Int set Err=0\"\nLoop") + block("B0.2", traceSql("B0.2"))));
    for (const bool closeConnection : {false, true}) {
        SCOPED_TRACE(closeConnection);
        auto engine = std::make_unique<DocOrra>();
        engine->setDoc_Con(m_doc);
        engine->OrraID = id;
        ASSERT_TRUE(engine->LoadDocument());
        engine->setOrra_Con(run);
        ASSERT_TRUE(engine->PrepareforExecution());
        EventRecorder rec(*engine);
        bool inScript = false;
        rec.hook = [&](const QString& event, const QString&) {
            if (event == QLatin1String("BeforeExecutionScript")) inScript = true;
        };
        int stopAt = 0;
        m_loop.command = [&](int yield) {
            if (!inScript || stopAt) return;
            stopAt = yield;
            engine->EndExecution();
            if (closeConnection) {
                if (engine->Orra_Con()->state() != 0) engine->Orra_Con()->close();
                engine->setOrra_Con(nullptr);
            }
        };
        EXPECT_EQ(engine->RunDocument(), -1.0f);
        EXPECT_GT(stopAt, 0);
        EXPECT_TRUE(m_loop.boxes.isEmpty());
        EXPECT_FALSE(rec.events.contains(QStringLiteral("AfterExecutionScript B0.X1")));
        EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionBlock B0.2")));
        if (!closeConnection) {
            // The deferred end dropped "#Int" on the run connection.
            EXPECT_THROW(run->execute(QStringLiteral("select Err from #Int")), Error);
        }
        m_loop.command = nullptr;
        engine.reset();
    }
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.0"}));
}

TEST_F(HostControlTest, AStopInsideARunCarriedOnFromAStationStopsBothCalls)
{
    const QString doc = documentXml(block("B0.0", traceSql("B0.0")) + station("B0.S0") + block("B0.1", traceSql("B0.1"))
        + block("B0.2", traceSql("B0.2")));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    float nested = -99;
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("ArrivetoStation") && id == QLatin1String("B0.S0")) {
            engine->GoToID = id;
            nested = engine->RunDocument();
        } else if (event == QLatin1String("AfterExecutionBlock") && id == QLatin1String("B0.1")) {
            engine->EndExecution();
        }
    };
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    EXPECT_EQ(nested, -1.0f);
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.1"}));
    EXPECT_FALSE(intExists());
    EXPECT_FALSE(rec.events.contains(QStringLiteral("ArrivetoStation DocEnd Document End")));
}

// ---------------------------------------------------------------- the run connection taken away

class ConnectionTakenAway : public HostControlTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ConnectionTakenAway, NearTheEndTheRunStopsWithAClearError)
{
    // The event and its argument, "AfterExecutionBlock B0" or "ArrivetoStation DocEnd".
    const QStringList at = QString::fromLatin1(GetParam()).split(QLatin1Char(' '));
    const int id =
        addDocument(documentXml(block("B0.0", "create table #Report (N int) insert into #Report values (1)")));
    for (const bool show : {true, false}) {
        SCOPED_TRACE(show);
        m_loop.boxes.clear();
        auto engine = engineFor(id);
        engine->flagShowErrorMessages = show;
        EventRecorder rec(*engine);
        rec.hook = [&](const QString& event, const QString& arg) {
            if (event == at[0] && arg == at[1]) engine->setOrra_Con(nullptr);
        };
        if (show) {
            EXPECT_EQ(engine->RunDocument(), -1.0f);
            ASSERT_EQ(m_loop.boxes.size(), 1);
            EXPECT_EQ(m_loop.boxes[0].text, kConnectionGone);
        } else {
            EXPECT_EQ(errorText([&] { engine->RunDocument(); }),
                QStringLiteral("-1|DocOrra::RunDocument|") + kConnectionGone);
        }
        EXPECT_FALSE(rec.events.contains(QStringLiteral("DocumentEnd rows=1")));
        engine->setOrra_Con(m_run);
        engine->EndExecution();
    }
}

TEST_P(ConnectionTakenAway, TheDebuggersStopPathThereEndsTheRunQuietly)
{
    const QStringList at = QString::fromLatin1(GetParam()).split(QLatin1Char(' '));
    db::ConnectionPtr run = openAs(QStringLiteral("Data"), QStringLiteral("sa"), QStringLiteral("secret"));
    auto engine = std::make_unique<DocOrra>();
    engine->setDoc_Con(m_doc);
    engine->OrraID =
        addDocument(documentXml(block("B0.0", "create table #Report (N int) insert into #Report values (1)")));
    ASSERT_TRUE(engine->LoadDocument());
    engine->setOrra_Con(run);
    ASSERT_TRUE(engine->PrepareforExecution());
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString& arg) {
        if (event == at[0] && arg == at[1]) {
            engine->EndExecution();
            if (engine->Orra_Con()->state() != 0) engine->Orra_Con()->close();
            engine->setOrra_Con(nullptr);
        }
    };
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    EXPECT_TRUE(m_loop.boxes.isEmpty());
    EXPECT_FALSE(rec.events.contains(QStringLiteral("DocumentEnd rows=1")));
    EXPECT_FALSE(run->isOpen());
    EXPECT_FALSE(engine->IsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Events, ConnectionTakenAway, ::testing::Values("AfterExecutionBlock B0", "ArrivetoStation DocEnd"));

TEST_F(HostControlTest, TheRunConnectionTakenAwayBeforeABlockStopsThatBlockWithAClearError)
{
    auto engine = engineFor(addDocument(nestedDocument()));
    engine->flagShowErrorMessages = true;
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("AfterExecutionBlock") && id == QLatin1String("B0.0")) engine->setOrra_Con(nullptr);
    };
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    ASSERT_EQ(m_loop.boxes.size(), 1);
    EXPECT_EQ(m_loop.boxes[0].text, kConnectionGone);
    EXPECT_EQ(m_loop.boxes[0].title, QStringLiteral("DocOrra::RunBlock;B0.1"));
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.0.0"}));
}

// ---------------------------------------------------------------- one run at a time

TEST_F(HostControlTest, RunDocumentFromTheHostsEventLoopDuringARunIsRefused)
{
    for (const bool show : {true, false}) {
        SCOPED_TRACE(show);
        m_run->execute(QStringLiteral("delete from Trace"));
        m_loop.boxes.clear();
        m_loop.yields = 0;
        auto engine = engineFor(addDocument(nestedDocument()));
        engine->flagShowErrorMessages = show;
        EventRecorder rec(*engine);
        QString refusal;
        float inner = -99;
        bool runningThen = false;
        // A host command arriving in the yield before B0.0's SQL.
        m_loop.command = [&](int yield) {
            if (yield != 2) return;
            runningThen = engine->IsRunning();
            engine->GoToID.clear();
            refusal = errorText([&] { inner = engine->RunDocument(); });
        };
        EXPECT_FALSE(engine->IsRunning());
        EXPECT_EQ(engine->RunDocument(), 0.0f);
        EXPECT_FALSE(engine->IsRunning());
        EXPECT_TRUE(runningThen);
        EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.0.0", "B0.1"}));   // once, not twice
        EXPECT_EQ(rec.events.count(QStringLiteral("BeforeExecutionBlock B0.0")), 1);
        EXPECT_EQ(rec.events.count(QStringLiteral("DocumentEnd nothing")), 1);
        if (show) {
            EXPECT_EQ(inner, -1.0f);
            EXPECT_EQ(refusal, QStringLiteral("no error"));
            ASSERT_EQ(m_loop.boxes.size(), 1);
            EXPECT_EQ(m_loop.boxes[0].text, kAlreadyRunning);
            EXPECT_EQ(m_loop.boxes[0].style, int(vbOKOnly));
            EXPECT_EQ(m_loop.boxes[0].title, QString());
        } else {
            EXPECT_EQ(refusal, QStringLiteral("-1|DocOrra::RunDocument|") + kAlreadyRunning);
            EXPECT_TRUE(m_loop.boxes.isEmpty());
        }
        m_loop.command = nullptr;
    }
}

TEST_F(HostControlTest, RunDocumentFromTheYieldOfAScriptIsRefusedAndTheScriptGoesOn)
{
    DocOrra::setScriptHostFactory(&InitScriptEngine);
    auto engine =
        engineFor(addDocument(documentXml(script("B0.X0",
                                              "Do While n < 200000\n  n = n + 1\nLoop\n"
                                              "OrraCon.Execute \"insert into Trace (Step) values ('script done')\"")
            + block("B0.1", traceSql("B0.1")))));
    bool inScript = false;
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString&) {
        inScript = event == QLatin1String("BeforeExecutionScript");
    };
    QStringList refusals;
    m_loop.command = [&](int) {
        if (inScript && refusals.isEmpty()) refusals.append(errorText([&] { engine->RunDocument(); }));
    };
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(refusals, QStringList{QStringLiteral("-1|DocOrra::RunDocument|") + kAlreadyRunning});
    EXPECT_EQ(trace(), (QStringList{"script done", "B0.1"}));
}

TEST_F(HostControlTest, PrepareforExecutionDuringARunIsRefused)
{
    auto engine = engineFor(addDocument(nestedDocument()));
    QString refusal;
    m_loop.command = [&](int yield) {
        if (yield == 2) refusal = errorText([&] { engine->PrepareforExecution(); });
    };
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(refusal,
        QStringLiteral("-1|DocOrra::PrepareforExecution|The document is running: it cannot be "
                       "prepared again before the run has ended"));
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.0.0", "B0.1"}));
}

// ---------------------------------------------------------------- resuming at the root

struct RootPause {
    const char* event;
    DocOrra::enPauseAtEvent pause;
    const char* firstEventOnResume;
};
void PrintTo(const RootPause& c, std::ostream* os) { *os << c.event; }
class RootResume : public HostControlTest, public ::testing::WithParamInterface<RootPause> {};

TEST_P(RootResume, PausedAtTheRootsOwnEventTheRunGoesOnFromTheRoot)
{
    const RootPause c = GetParam();
    auto engine = engineFor(addDocument(documentXml(factParameter("B0", "Region", "North")
        + block("B0.0", traceSql("B0.0 <$Region%>")) + block("B0.1", traceSql("B0.1")))));
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String(c.event) && id == QLatin1String("B0")) engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(engine->PauseAtEvent, c.pause);
    EXPECT_TRUE(trace().isEmpty());
    rec.hook = nullptr;
    rec.events.clear();
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->GoToID = QStringLiteral("B0");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"B0.0 North", "B0.1"}));
    ASSERT_FALSE(rec.events.isEmpty());
    EXPECT_EQ(rec.events.first(), QLatin1String(c.firstEventOnResume));
    EXPECT_EQ(rec.events.count(QStringLiteral("BeforeExecutionBlock B0")), 0);
    EXPECT_EQ(rec.events.mid(rec.events.size() - 3),
        (QStringList{"AfterExecutionBlock B0", "ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}));
}

INSTANTIATE_TEST_SUITE_P(Events, RootResume,
    ::testing::Values(RootPause{"BeforeExecutionBlock", DocOrra::enPauseAtEvent_BeforeExecutionBlock,
                          "BeforeExecutionChildBlocks B0"},
        RootPause{"BeforeExecutionChildBlocks", DocOrra::enPauseAtEvent_BeforeExecutionChildBlocks,
            "BeforeExecutionBlock B0.0"}));

// ---------------------------------------------------------------- resume targets and their scopes

TEST_F(HostControlTest, JumpingBackIntoANestedBlockSeesTheAnswersOfItsEndedEnclosingBlock)
{
    auto engine = engineFor(addDocument(
        documentXml(block("B0.0", traceSql("B0.0 <$Region%>"),
                        factParameter("B0.0", "Region", "North") + block("B0.0.0", traceSql("B0.0.0 <$Region%>")))
            + block("B0.1", traceSql("B0.1")))));
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlockSQL") && id == QLatin1String("B0.1"))
            engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    rec.hook = nullptr;
    rec.events.clear();
    // Jump To the nested block: B0.0 has ended and its answers left the chain with it.
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->PauseAtEvent = DocOrra::enPauseAtEvent_Nothing;
    engine->GoToID = QStringLiteral("B0.0.0");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"B0.0 North", "B0.0.0 North", "B0.0.0 North", "B0.1"}));
    EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionBlock B0.0")));
    EXPECT_EQ(rec.events.count(QStringLiteral("AfterExecutionBlock B0.0")), 1);
}

TEST_F(HostControlTest, RunFromIntoANestedBlockAsksItsEnclosingBlockAgain)
{
    DocOrra::setScriptHostFactory(&InitScriptEngine);
    // Answers City by a counter, so that each prompt gives another value.
    class Prompt : public ParameterPrompt {
    public:
        QStringList asked;
        bool ask(const PromptRequest& request, QList<PromptAnswer>& answers) override
        {
            asked.append(xml::attribute(request.element, QStringLiteral("ID")));
            for (const PromptCriterion& c : request.criteria)
                answers.append({c.ID, QStringLiteral("city%1").arg(asked.size())});
            return true;
        }
    } prompt;
    setParameterPrompt(&prompt);
    auto engine = engineFor(addDocument(documentXml(
        block("B0.0", QString(), textParameter("B0.0", "City", "") + block("B0.0.0", traceSql("B0.0.0 <$City%>")))
        + block("B0.1", traceSql("B0.1"),
            script("B0.1.X0",
                "If IsEmpty(runs) Then runs = 0\nruns = runs + 1\n"
                "If runs = 1 Then RunFrom \"B0.0.0\"")))));
    EXPECT_EQ(engine->RunDocument(), 2.0f);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(prompt.asked, (QStringList{"B0.0", "B0.0"}));
    EXPECT_EQ(trace(), (QStringList{"B0.0.0 city1", "B0.1", "B0.0.0 city2", "B0.1"}));
}
