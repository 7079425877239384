// Engines that answer to their own hosts: two DocOrra in one process, each lent its own user
// interface, parameter prompt and script maker (RunHost), next to the process's own, which an
// engine lent nothing still uses.

#include "EngineFixture.h"
#include "TestServer.h"

#include "runtime/RunHost.h"
#include "runtime/ScriptHost.h"

#include <functional>

namespace orra::test {
namespace {

// A host's prompt: records what it was asked, and through which user interface the prompt's
// own messages were to go, and answers every criterion with its own value.
class HostPrompt : public ParameterPrompt {
public:
    explicit HostPrompt(QString value) : answer(std::move(value)) {}
    QString answer;
    QStringList asked;                  // "element ID: parameter names"
    QList<UserInterface*> interfaces;   // PromptRequest::userInterface of each ask
    bool ask(const PromptRequest& request, QList<PromptAnswer>& answers) override
    {
        QStringList names;
        for (const PromptCriterion& c : request.criteria) {
            names.append(c.Name);
            answers.append({c.ID, answer});
        }
        asked.append(xml::attribute(request.element, QStringLiteral("ID")) + QStringLiteral(": ")
            + names.join(QLatin1Char(',')));
        interfaces.append(request.userInterface);
        return true;
    }
};

// The boxes a user interface was shown, as "title|style|text".
QStringList boxesOf(const RecordingUserInterface& ui)
{
    QStringList out;
    for (const RecordingUserInterface::Box& b : ui.boxes)
        out.append(b.title + QLatin1Char('|') + QString::number(b.style) + QLatin1Char('|') + b.text);
    return out;
}

// A block asking for City, writing it to the trace, with a script under it that shows it.
QString cityDocument()
{
    return documentXml(block(QStringLiteral("B0.1"), traceSql(QStringLiteral("city <$City%>")),
        textParameter(QStringLiteral("B0.1"), QStringLiteral("City"), QString())
            + script(QStringLiteral("B0.1.X0"), QStringLiteral("MsgBox \"City <$City%>\", vbInformation, \"Host\""))));
}

class RunHostTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        DocOrra::setScriptHostFactory(&InitScriptEngine);
        setParameterPrompt(&m_processPrompt);
    }

    // Loads and prepares document id in engine, on a run connection of its own, errors shown
    // (through the engine's host).
    void prepare(DocOrra& engine, int id)
    {
        engine.flagShowErrorMessages = true;
        engine.setDoc_Con(m_doc);
        engine.OrraID = id;
        ASSERT_TRUE(engine.LoadDocument());
        engine.Expand();
        engine.setOrra_Con(openAs(QStringLiteral("Data"), QStringLiteral("sa"), QStringLiteral("secret")));
        ASSERT_TRUE(engine.PrepareforExecution());
    }

    // Prepares both engines for document id, runs them one after the other to their end, and
    // gives the events of each.
    std::pair<QStringList, QStringList> runBoth(DocOrra& first, DocOrra& second, int id)
    {
        prepare(first, id);
        prepare(second, id);
        EventRecorder eventsFirst(first), eventsSecond(second);
        EXPECT_EQ(first.RunDocument(), 0.0f);
        EXPECT_EQ(second.RunDocument(), 0.0f);
        return {eventsFirst.events, eventsSecond.events};
    }

    HostPrompt m_processPrompt{QStringLiteral("Izmir")};
    RecordingUserInterface m_uiA, m_uiB;
    HostPrompt m_promptA{QStringLiteral("Ankara")}, m_promptB{QStringLiteral("Bursa")};
};

}   // namespace

TEST_F(RunHostTest, TwoEnginesInOneProcessAnswerToTheirOwnHosts)
{
    const int id = addDocument(cityDocument());
    DocOrra a(RunHost{&m_uiA, &m_promptA, {}});   // lent through the constructor
    DocOrra b;
    b.setHost(RunHost{&m_uiB, &m_promptB, {}});   // and through the setter
    const auto [eventsA, eventsB] = runBoth(a, b, id);

    EXPECT_EQ(m_promptA.asked, QStringList{"B0.1: City"});
    EXPECT_EQ(m_promptB.asked, QStringList{"B0.1: City"});
    EXPECT_EQ(m_promptA.interfaces, QList<UserInterface*>{&m_uiA});
    EXPECT_EQ(m_promptB.interfaces, QList<UserInterface*>{&m_uiB});
    EXPECT_TRUE(m_processPrompt.asked.isEmpty());

    EXPECT_EQ(boxesOf(m_uiA), QStringList{"Host|64|City Ankara"});
    EXPECT_EQ(boxesOf(m_uiB), QStringList{"Host|64|City Bursa"});
    EXPECT_TRUE(m_ui.boxes.isEmpty());
    // Each engine yields to its own host before each block's SQL (the document's and B0.1's).
    EXPECT_EQ(m_uiA.yields, 2);
    EXPECT_EQ(m_uiB.yields, 2);
    EXPECT_EQ(m_ui.yields, 0);

    EXPECT_EQ(trace(), (QStringList{"city Ankara", "city Bursa"}));
    EXPECT_EQ(eventsA, eventsB);
}

TEST_F(RunHostTest, AnEngineLentNothingUsesTheProcesssInterfaceAndPrompt)
{
    const int id = addDocument(cityDocument());
    DocOrra hosted(RunHost{&m_uiA, &m_promptA, {}});
    DocOrra plain;
    EXPECT_EQ(plain.host().ui, nullptr);
    EXPECT_EQ(&plain.host().userInterface(), &m_ui);
    EXPECT_EQ(&plain.host().parameterPrompt(), &m_processPrompt);
    const auto [eventsPlain, eventsHosted] = runBoth(plain, hosted, id);

    EXPECT_EQ(m_processPrompt.asked, QStringList{"B0.1: City"});
    EXPECT_EQ(m_processPrompt.interfaces, QList<UserInterface*>{&m_ui});
    EXPECT_EQ(boxesOf(m_ui), QStringList{"Host|64|City Izmir"});
    EXPECT_EQ(m_ui.yields, 2);
    EXPECT_EQ(boxesOf(m_uiA), QStringList{"Host|64|City Ankara"});
    EXPECT_EQ(trace(), (QStringList{"city Izmir", "city Ankara"}));

    // A host changes nothing in the run's order of events.
    const QStringList expected{"BeforeExecutionBlock B0", "BeforeExecutionChildBlocks B0", "BeforeExecutionBlock B0.1",
        "BeforeExecutionBlockSQL B0.1", "BeforeExecutionChildBlocks B0.1", "BeforeExecutionScript B0.1.X0",
        "AfterExecutionScript B0.1.X0", "AfterExecutionBlock B0.1", "AfterExecutionBlock B0",
        "ArrivetoStation DocEnd Document End", "DocumentEnd nothing"};
    EXPECT_EQ(eventsPlain, expected);
    EXPECT_EQ(eventsHosted, expected);
}

TEST_F(RunHostTest, ErrorsOfTheRunAndOfItsScriptsAreShownByTheEnginesHost)
{
    const int failingSql =
        addDocument(documentXml(block(QStringLiteral("B0.1"), QStringLiteral("select * from NoSuchTable"))));
    const int failingScript = addDocument(documentXml(script(QStringLiteral("B0.X0"), QStringLiteral("Err.Raise 5"))));
    DocOrra a(RunHost{&m_uiA, &m_promptA, {}});
    DocOrra b(RunHost{&m_uiB, &m_promptB, {}});
    prepare(a, failingSql);
    prepare(b, failingScript);

    EXPECT_EQ(a.RunDocument(), -1.0f);
    EXPECT_EQ(b.RunDocument(), -1.0f);

    ASSERT_EQ(m_uiA.boxes.size(), 1);
    EXPECT_TRUE(m_uiA.boxes[0].text.contains(QLatin1String("NoSuchTable"))) << m_uiA.boxes[0].text.toStdString();
    ASSERT_EQ(m_uiB.boxes.size(), 1);
    EXPECT_EQ(m_uiB.boxes[0].title, kScriptErrorTitle);
    EXPECT_EQ(m_uiB.boxes[0].style, int(vbCritical));
    EXPECT_TRUE(m_uiB.boxes[0].text.endsWith(QLatin1String("\r\rAt line 1"))) << m_uiB.boxes[0].text.toStdString();
    EXPECT_TRUE(m_ui.boxes.isEmpty());
}

TEST_F(RunHostTest, AScriptYieldsToItsEnginesHostWhoseStopButtonEndsIt)
{
    const int id = addDocument(documentXml(script(QStringLiteral("B0.X0"), QStringLiteral("Do\n  n = n + 1\nLoop"))
        + block(QStringLiteral("B0.1"), traceSql(QStringLiteral("after")))));
    StopButton stopButton;
    DocOrra engine(RunHost{&stopButton, nullptr, {}});
    stopButton.engine = &engine;
    prepare(engine, id);

    EXPECT_EQ(engine.RunDocument(), -1.0f);
    stopButton.engine = nullptr;
    EXPECT_EQ(stopButton.yields, 3);
    EXPECT_EQ(m_ui.yields, 0);
    EXPECT_TRUE(stopButton.boxes.isEmpty());
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(RunHostTest, AHostsScriptMakerTakesPrecedenceOverTheProcesss)
{
    const QString xml = documentXml(script(QStringLiteral("B0.X0"), QStringLiteral("MsgBox \"made\"")));
    const int id = addDocument(xml);
    DocOrra::setScriptHostFactory(nullptr);   // the process refuses scripts
    int made = 0;
    DocOrraScriptHostFactory counting = [&made](DocOrra& engine) {
        ++made;
        return InitScriptEngine(engine);
    };
    DocOrra hosted(RunHost{&m_uiA, nullptr, counting});
    DocOrra plain;
    prepare(hosted, id);
    prepare(plain, id);
    EXPECT_EQ(made, 1);

    EXPECT_EQ(hosted.RunDocument(), 0.0f);
    EXPECT_EQ(boxesOf(m_uiA), QStringList{"|0|made"});
    EXPECT_EQ(plain.RunDocument(), -1.0f);
    EXPECT_EQ(boxesOf(m_ui),
        QStringList{
            "DocOrra::RunScript;B0.X0|16|Could not run script B0.X0: no script engine is available to this run"});

    // Installing a process factory again reaches engines lent none, at their next preparation.
    DocOrraScriptHostFactory previous = DocOrra::setScriptHostFactory(counting);
    EXPECT_FALSE(previous);
    ASSERT_TRUE(plain.PrepareforExecution());
    EXPECT_EQ(made, 2);
    EXPECT_EQ(plain.RunDocument(), 0.0f);
    EXPECT_EQ(boxesOf(m_ui).last(), QStringLiteral("|0|made"));
}

}   // namespace orra::test
