// Included documents at run time: their events, bindings in and out, scopes, pause and resume.

#include "tests/runtime/EngineFixture.h"

using namespace orra;
using namespace orra::test;

namespace {

QString parameterXml(const QString& id, const QString& name, const QString& type, const QString& value)
{
    return QStringLiteral("<Parameter ID=\"%1\" Name=\"%2\" Caption=\"%2\" DefaultValue=\"%3\" Type=\"%4\" "
                          "Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>")
        .arg(id, name, value, type);
}

class IncludeTest : public EngineTest {
protected:
    int m_inner = 0;
    int m_outer = 0;

    void SetUp() override
    {
        EngineTest::SetUp();
        m_inner = addDocument(documentXml(parameterXml("B0.P_Year", "Year", "text", "1999")
                                  + parameterXml("B0.P_Region", "Region", "text", "")
                                  + parameterXml("B0.P_Out", "Out", "fact", "select 6*7")
                                  + block("B0.0", traceSql("inc <$Year%> <$Region%> <$Top%> <$Hidden%>"))),
            QStringLiteral("Inner"));
        m_outer = addDocument(documentXml(factParameter("B0", "Top", "T")
            + block("B0.0", traceSql("outer <$Result%>"),
                factParameter("B0.0", "Region", "North") + factParameter("B0.0", "Result", "0")
                    + factParameter("B0.0", "Hidden", "h")
                    + QStringLiteral("<Include ID=\"B0.0.I0\" Name=\"Include:Inner\" DocID=\"%1\">"
                                     "<Inheritance PID=\"B0.P_Year\" RID=\"$2024\"/>"
                                     "<Inheritance PID=\"B0.P_Region\" RID=\"B0.0.P_Region\"/>"
                                     "<Inheritance PID=\"B0.P_Out\" RID=\"B0.0.P_Result\" Type=\"Output\"/>"
                                     "</Include>")
                          .arg(m_inner)
                    + block("B0.0.0", traceSql("after <$Result%> <$Year%>")))));
    }

    const QStringList expectedTrace{"outer 0", "inc 2024 North T <$Hidden%>", "after 42 <$Year%>"};
};

}   // namespace

TEST_F(IncludeTest, RunsTheEmbeddedDocumentWithItsBindings)
{
    auto engine = engineFor(m_outer);
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), expectedTrace);
    EXPECT_EQ(rec.events,
        (QStringList{"BeforeExecutionBlock B0", "BeforeExecutionChildBlocks B0", "BeforeExecutionBlock B0.0",
            "BeforeExecutionBlockSQL B0.0", "BeforeExecutionChildBlocks B0.0", "BeforeExecutionInclude B0.0.I0",
            "BeforeExecutionBlock B0.0.I0|B0.0", "BeforeExecutionBlockSQL B0.0.I0|B0.0",
            "BeforeExecutionChildBlocks B0.0.I0|B0.0", "AfterExecutionBlock B0.0.I0|B0.0",
            "AfterExecutionInclude B0.0.I0", "BeforeExecutionBlock B0.0.0", "BeforeExecutionBlockSQL B0.0.0",
            "BeforeExecutionChildBlocks B0.0.0", "AfterExecutionBlock B0.0.0", "AfterExecutionBlock B0.0",
            "AfterExecutionBlock B0", "ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}));
}

TEST_F(IncludeTest, PauseAtEitherIncludeEventAndResume)
{
    for (const auto& [eventName, pauseAt] : {std::pair{QStringLiteral("BeforeExecutionInclude"), 7},
             std::pair{QStringLiteral("AfterExecutionInclude"), 8}}) {
        SCOPED_TRACE(pauseAt);
        m_run->execute(QStringLiteral("delete from Trace"));
        auto engine = engineFor(m_outer);
        EventRecorder rec(*engine);
        bool once = false;
        rec.hook = [&](const QString& event, const QString& id) {
            if (!once && event == eventName && id == QLatin1String("B0.0.I0")) {
                once = true;
                engine->Statu = DocOrra::enDocStatuPaused;
            }
        };
        EXPECT_EQ(engine->RunDocument(), 1.0f);
        EXPECT_EQ(int(engine->PauseAtEvent), pauseAt);
        rec.events.clear();
        engine->Statu = DocOrra::enDocStatuRunning;
        engine->GoToID = QStringLiteral("B0.0.I0");
        EXPECT_EQ(engine->RunDocument(), 0.0f);
        EXPECT_EQ(trace(), expectedTrace);
        EXPECT_EQ(rec.events.first(),
            pauseAt == 7 ? QStringLiteral("BeforeExecutionBlock B0.0.I0|B0.0")
                         : QStringLiteral("BeforeExecutionBlock B0.0.0"));
        EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionInclude B0.0.I0")));
        EXPECT_EQ(rec.events.count(QStringLiteral("AfterExecutionInclude B0.0.I0")), pauseAt == 7 ? 1 : 0);
        engine->EndExecution();
    }
}

TEST_F(IncludeTest, ResumeAtABlockInsideTheIncludeUsesTheIncludeScope)
{
    auto engine = engineFor(m_outer);
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlockSQL") && id == QLatin1String("B0.0.I0|B0.0"))
            engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    rec.hook = nullptr;
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->GoToID = QStringLiteral("B0.0.I0|B0.0");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), expectedTrace);
}

TEST_F(IncludeTest, AnIncludeWithOnlyAHeadingStillAsks)
{
    const int heading =
        addDocument(documentXml(parameterXml("B0.P_H", "H", "htext", "") + block("B0.0", traceSql("inner"))));
    const int outer = addDocument(
        documentXml(QStringLiteral("<Include ID=\"B0.I0\" Name=\"Include:H\" DocID=\"%1\"/>").arg(heading)));
    auto engine = engineFor(outer);
    try {
        engine->RunDocument();
        FAIL() << "expected the prompt to refuse";
    } catch (const Error& e) {
        EXPECT_EQ(e.source(), QStringLiteral("DocOrra::RunDocument"));
        EXPECT_EQ(e.description(), QStringLiteral("Parameters need an answer but no one can give it: H"));
    }
    EXPECT_TRUE(trace().isEmpty());
}
