// Included documents inside a run (bindings in and out, scopes, nesting, pauses at their events)
// and stations (pause, snapshots of the parameter chain, leaving them, the end station), all on
// the embedded server.

#include "tests/runtime/EngineFixture.h"

#include "common/QueryDocument.h"

using namespace orra;
using namespace orra::test;

namespace {

QString param(const QString& id, const QString& name, const QString& type, const QString& value)
{
    return QStringLiteral("<Parameter ID=\"%1\" Name=\"%2\" Caption=\"%2 caption\" DefaultValue=\"%3\" Type=\"%4\" "
                          "Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>")
        .arg(id, name, value, type);
}

// <Inheritance PID=".." RID=".."[ Type="Output"]/>
QString binding(const QString& pid, const QString& rid, bool output = false)
{
    return QStringLiteral("<Inheritance PID=\"%1\" RID=\"%2\"%3/>")
        .arg(pid, rid, output ? QStringLiteral(" Type=\"Output\"") : QString());
}

QString includeXml(const QString& id, const QString& name, int docId, const QString& bindings = QString())
{
    return QStringLiteral("<Include ID=\"%1\" Name=\"Include:%2\" DocID=\"%3\">%4</Include>")
        .arg(id, name, QString::number(docId), bindings);
}

// Answers prompts by parameter name (else with the initial value) and records each request.
class RecordingPrompt : public ParameterPrompt {
public:
    std::map<QString, QString> values;
    QList<PromptRequest> requests;
    bool ask(const PromptRequest& request, QList<PromptAnswer>& answers) override
    {
        requests.append(request);
        // What nobody has to answer is collected as the headless prompt does (facts evaluated);
        // the rest takes the scripted answer, else the initial value.
        PromptRequest unattended = request;
        unattended.mustShow = false;
        QList<PromptAnswer> collected;
        HeadlessParameterPrompt().ask(unattended, collected);
        for (qsizetype i = 0; i < request.criteria.size(); ++i) {
            const PromptCriterion& c = request.criteria.at(i);
            auto it = values.find(c.Name);
            if (c.needsAnswer)
                answers.append({c.ID, it != values.end() ? it->second : c.InitialDeger});
            else
                answers.append(collected.at(i));
        }
        return true;
    }
    QList<PromptRequest> titled(const QString& title) const
    {
        QList<PromptRequest> out;
        for (const PromptRequest& r : requests)
            if (r.title == title) out.append(r);
        return out;
    }
};

// The chain as text: an entry is its ID followed by its contents in brackets, a parameter
// Name=Value; "B0[Top=T B0.0[A=a]]".
QString outline(xml::Node element)
{
    if (!element) return QStringLiteral("(none)");
    if (xml::hasTag(element, "Parameter"))
        return xml::attribute(element, "Name") + QLatin1Char('=') + xml::attribute(element, "Value");
    QStringList parts;
    for (xml::Node c = element.first_child(); c; c = c.next_sibling())
        if (xml::isElement(c)) parts.append(outline(c));
    return xml::attribute(element, "ID") + QLatin1Char('[') + parts.join(QLatin1Char(' ')) + QLatin1Char(']');
}

QString chainOutline(const DocOrra& engine) { return outline(engine.ParameterChain().documentElement()); }

QStringList only(const QStringList& events, const QString& prefix)
{
    QStringList out;
    for (const QString& e : events)
        if (e.startsWith(prefix)) out.append(e);
    return out;
}

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return QString::number(e.number()) + QLatin1Char('|') + e.source() + QLatin1Char('|') + e.description();
    }
    return QStringLiteral("no error");
}

class IncludesTest : public EngineTest {
protected:
    void TearDown() override
    {
        setParameterPrompt(nullptr);
        EngineTest::TearDown();
    }
    RecordingPrompt m_prompt;
};

// ---------------------------------------------------------------------------------- includes

TEST_F(IncludesTest, InputBindingsFixValuesAndTheRestIsAsked)
{
    setParameterPrompt(&m_prompt);
    m_prompt.values[QStringLiteral("Plain")] = QStringLiteral("typed");
    const int inner = addDocument(documentXml(param("B0.P_Year", "Year", "text", "1999")
        + param("B0.P_Region", "Region", "combo", "South") + param("B0.P_Plain", "Plain", "text", "p")
        + block("B0.0", traceSql("inner <$Year%> <$Region%> <$Plain%>"))));
    const int outer = addDocument(documentXml(block("B0.0", QString(),
        factParameter("B0.0", "Area", "North")
            + includeXml(
                "B0.0.I0", "Inner", inner, binding("B0.P_Year", "$2024") + binding("B0.P_Region", "B0.0.P_Area")))));
    auto engine = engineFor(outer);
    EventRecorder rec(*engine);
    QString chainInside;
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlockSQL") && id == QLatin1String("B0.0.I0|B0.0"))
            chainInside = chainOutline(*engine);
    };
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{"inner 2024 North typed"});

    const QList<PromptRequest> asked = m_prompt.titled(QStringLiteral("Include:Inner"));
    ASSERT_EQ(asked.size(), 1);
    const PromptRequest& r = asked.first();
    EXPECT_TRUE(r.mustShow);   // "Plain" is not bound
    ASSERT_EQ(r.criteria.size(), 3);
    EXPECT_EQ(r.criteria[0].ID, QStringLiteral("B0.0.I0|B0.P_Year"));
    EXPECT_EQ(r.criteria[0].Tip, QStringLiteral("fact"));
    EXPECT_EQ(r.criteria[0].InitialDeger, QStringLiteral("2024"));
    EXPECT_FALSE(r.criteria[0].needsAnswer);
    EXPECT_EQ(r.criteria[1].Tip, QStringLiteral("fact"));   // a bound combo shows no row either
    EXPECT_EQ(r.criteria[1].InitialDeger, QStringLiteral("North"));
    EXPECT_EQ(r.criteria[1].OptionalParam, QString());
    EXPECT_FALSE(r.criteria[1].needsAnswer);
    EXPECT_EQ(r.criteria[2].Tip, QStringLiteral("text"));
    EXPECT_EQ(r.criteria[2].InitialDeger, QStringLiteral("p"));
    EXPECT_TRUE(r.criteria[2].needsAnswer);

    // The include's entry hangs from the chain root, not from the including block's entry.
    EXPECT_EQ(chainInside,
        QStringLiteral("B0[B0.0[Area=North] B0.0.I0|B0[Year=2024 Region=North Plain=typed "
                       "B0.0.I0|B0.0[]]]"));
}

TEST_F(IncludesTest, AConstantBindingNeedsNobody)
{
    // The headless prompt refuses any row that needs a person: the run succeeds only because
    // the bound parameter became a fact.
    const int inner =
        addDocument(documentXml(param("B0.P_Limit", "Limit", "text", "") + block("B0.0", traceSql("limit <$Limit%>"))));
    const int outer = addDocument(documentXml(includeXml("B0.I0", "Inner", inner, binding("B0.P_Limit", "$5"))
        + includeXml("B0.I1", "Inner", inner, binding("B0.P_Limit", "$ 7 "))));
    auto engine = engineFor(outer);
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    // The text after "$" is the value as it stands, blanks included.
    EXPECT_EQ(trace(), (QStringList{"limit 5", "limit  7 "}));
    // Two includes of one document run in entries of their own.
    EXPECT_EQ(only(rec.events, QStringLiteral("BeforeExecutionBlock ")),
        (QStringList{"BeforeExecutionBlock B0", "BeforeExecutionBlock B0.I0|B0.0", "BeforeExecutionBlock B0.I1|B0.0"}));
}

TEST_F(IncludesTest, AnOutputBindingReachesLaterBlocksOfTheIncludingDocument)
{
    setParameterPrompt(&m_prompt);
    m_prompt.values[QStringLiteral("Answer")] = QStringLiteral("from-inner");
    const int inner = addDocument(documentXml(
        param("B0.P_Answer", "Answer", "text", "") + block("B0.0", traceSql("inner <$Answer%> <$Result%>"))));
    const int outer = addDocument(documentXml(factParameter("B0", "Result", "none")
        + block("B0.0", traceSql("before <$Result%>"))
        + block("B0.1", QString(), includeXml("B0.1.I0", "Inner", inner, binding("B0.P_Answer", "B0.P_Result", true)))
        + block("B0.2", traceSql("after <$Result%>"), block("B0.2.0", traceSql("nested <$Result%>")))));
    auto engine = engineFor(outer);
    EventRecorder rec(*engine);
    QString chainAfterInclude;
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("AfterExecutionInclude"))
            chainAfterInclude = chainOutline(*engine) + QLatin1Char(' ') + id;
    };
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    // An output binding is no input binding: the included parameter is asked as usual, and the
    // including document's parameter (the root's, seen inside) keeps its value until the end.
    EXPECT_EQ(trace(), (QStringList{"before none", "inner from-inner none", "after from-inner", "nested from-inner"}));
    // The value landed in the root's entry; the include's entry is gone.
    EXPECT_EQ(chainAfterInclude, QStringLiteral("B0[Result=from-inner B0.1[]] B0.1.I0"));
}

TEST_F(IncludesTest, AnOutputBindingWithoutDestinationStopsTheInclude)
{
    const int inner = addDocument(documentXml(factParameter("B0", "Out", "x") + block("B0.0", traceSql("inner"))));
    const int outer =
        addDocument(documentXml(includeXml("B0.I0", "Inner", inner, binding("B0.P_Out", "$constant", true))
            + block("B0.0", traceSql("after"))));
    auto engine = engineFor(outer);
    EventRecorder rec(*engine);
    EXPECT_EQ(errorOf([&] { engine->RunDocument(); }),
        QStringLiteral("-1|DocOrra::RunDocument|Could not copy the output parameter B0.I0|B0.P_Out of include "
                       "B0.I0 to $constant: $constant is not in the parameter chain"));
    EXPECT_EQ(trace(), QStringList{"inner"});
    EXPECT_FALSE(rec.events.contains(QStringLiteral("AfterExecutionInclude B0.I0")));
}

TEST_F(IncludesTest, ARelatedParameterWithoutValueIsRefusedByName)
{
    // The bound parameter belongs to a block that has finished: in the including block's scope
    // it has no value, and its placeholder text must not become the included value.
    const int inner =
        addDocument(documentXml(param("B0.P_City", "City", "text", "") + block("B0.0", traceSql("inner <$City%>"))));
    const int outer = addDocument(documentXml(block("B0.0", traceSql("first"), factParameter("B0.0", "Town", "Bursa"))
        + block(
            "B0.1", traceSql("second"), includeXml("B0.1.I0", "Inner", inner, binding("B0.P_City", "B0.0.P_Town")))));
    auto engine = engineFor(outer);
    EXPECT_EQ(errorOf([&] { engine->RunDocument(); }),
        QStringLiteral("-1|DocOrra::RunDocument|Related parameter has no value in the including block\r\n"
                       "ID:B0.0.P_Town\r\nName:Town\r\nIncluded parameter ID:B0.1.I0|B0.P_City"));
    EXPECT_EQ(trace(), (QStringList{"first", "second"}));

    // Shown to the user under the include's own name, and the run ends with -1.
    m_run->execute(QStringLiteral("delete from Trace"));
    auto shown = engineFor(outer);
    shown->flagShowErrorMessages = true;
    EXPECT_EQ(shown->RunDocument(), -1.0f);
    ASSERT_FALSE(m_ui.boxes.isEmpty());
    EXPECT_EQ(m_ui.boxes.first().title, QStringLiteral("DocOrra::RunInclude;B0.1.I0"));
    EXPECT_TRUE(m_ui.boxes.first().text.startsWith(QStringLiteral("Related parameter has no value")));
    EXPECT_FALSE(trace().contains(QStringLiteral("inner <$Town%>")));
}

TEST_F(IncludesTest, ABindingToAnUnknownElementIsReported)
{
    const int inner =
        addDocument(documentXml(param("B0.P_City", "City", "text", "") + block("B0.0", traceSql("inner"))));
    const int outer =
        addDocument(documentXml(includeXml("B0.I0", "Inner", inner, binding("B0.P_City", "B0.P_Nowhere"))));
    auto engine = engineFor(outer);
    EXPECT_EQ(errorOf([&] { engine->RunDocument(); }),
        QStringLiteral("-1|DocOrra::RunDocument|Could not parse parameter related parameter name\r\n"
                       "ID:B0.P_Nowhere\r\nName:"));
    EXPECT_TRUE(trace().isEmpty());
}

// Outer includes A, A includes B, B includes C; values go in by a related parameter at each
// level and by a constant, and come back out by output bindings level after level.
class NestedIncludesTest : public IncludesTest {
protected:
    int m_outer = 0;
    void SetUp() override
    {
        IncludesTest::SetUp();
        const int c = addDocument(
            documentXml(param("B0.P_CP", "CP", "text", "") + param("B0.P_COut", "COut", "fact", "select 'c-out'")
                + block("B0.0", traceSql("C <$CP%> <$BP%> <$AP%> <$Top%>"))),
            QStringLiteral("C"));
        const int b =
            addDocument(documentXml(param("B0.P_BP", "BP", "text", "") + param("B0.P_BRes", "BRes", "fact", "none")
                            + block("B0.0", traceSql("B <$BP%> <$AP%>"),
                                includeXml("B0.0.I0", "C", c,
                                    binding("B0.P_CP", "B0.P_BP") + binding("B0.P_COut", "B0.P_BRes", true)))
                            + block("B0.1", traceSql("B after <$BRes%>"))),
                QStringLiteral("B"));
        const int a = addDocument(
            documentXml(param("B0.P_AP", "AP", "text", "") + param("B0.P_ARes", "ARes", "fact", "none")
                + includeXml("B0.I0", "B", b, binding("B0.P_BP", "$bee") + binding("B0.P_BRes", "B0.P_ARes", true))
                + block("B0.0", traceSql("A after <$ARes%> <$AP%>"))),
            QStringLiteral("A"));
        m_outer = addDocument(documentXml(factParameter("B0", "Top", "T")
            + block("B0.0", QString(),
                factParameter("B0.0", "Region", "North") + factParameter("B0.0", "Res", "none")
                    + includeXml("B0.0.I0", "A", a,
                        binding("B0.P_AP", "B0.0.P_Region") + binding("B0.P_ARes", "B0.0.P_Res", true))
                    + block("B0.0.0", traceSql("outer after <$Res%>")))));
    }

    const QStringList m_trace{
        "B bee <$AP%>", "C bee <$BP%> <$AP%> T", "B after c-out", "A after c-out North", "outer after c-out"};
    const QStringList m_includeEvents{"BeforeExecutionInclude B0.0.I0", "BeforeExecutionInclude B0.0.I0|B0.I0",
        "BeforeExecutionInclude B0.0.I0|B0.I0|B0.0.I0", "AfterExecutionInclude B0.0.I0|B0.I0|B0.0.I0",
        "AfterExecutionInclude B0.0.I0|B0.I0", "AfterExecutionInclude B0.0.I0"};
};

TEST_F(NestedIncludesTest, ThreeDeepWithTheirIdsAndScopes)
{
    auto engine = engineFor(m_outer);
    EventRecorder rec(*engine);
    QString chainInC;
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlockSQL") && id == QLatin1String("B0.0.I0|B0.I0|B0.0.I0|B0.0"))
            chainInC = chainOutline(*engine);
    };
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    // Inside C: its own answers, the root's, and nothing of the documents between.
    EXPECT_EQ(trace(), m_trace);
    EXPECT_EQ(only(rec.events, QStringLiteral("BeforeExecutionInclude"))
            + only(rec.events, QStringLiteral("AfterExecutionInclude")),
        m_includeEvents);
    EXPECT_EQ(only(rec.events, QStringLiteral("BeforeExecutionBlock ")),
        (QStringList{"BeforeExecutionBlock B0", "BeforeExecutionBlock B0.0", "BeforeExecutionBlock B0.0.I0|B0.I0|B0.0",
            "BeforeExecutionBlock B0.0.I0|B0.I0|B0.0.I0|B0.0", "BeforeExecutionBlock B0.0.I0|B0.I0|B0.1",
            "BeforeExecutionBlock B0.0.I0|B0.0", "BeforeExecutionBlock B0.0.0"}));
    // Every include's entry is a child of the chain root, named after its embedded root.
    EXPECT_EQ(chainInC,
        QStringLiteral("B0[Top=T B0.0[Region=North Res=none] B0.0.I0|B0[AP=North ARes=none] "
                       "B0.0.I0|B0.I0|B0[BP=bee BRes=none B0.0.I0|B0.I0|B0.0[]] "
                       "B0.0.I0|B0.I0|B0.0.I0|B0[CP=bee COut=c-out B0.0.I0|B0.I0|B0.0.I0|B0.0[]]]"));
}

TEST_F(NestedIncludesTest, PauseAtBeforeExecutionIncludeAndResumeAsksItsPromptOnce)
{
    setParameterPrompt(&m_prompt);
    auto engine = engineFor(m_outer);
    EventRecorder rec(*engine);
    const QString target = QStringLiteral("B0.0.I0|B0.I0");
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionInclude") && id == target) engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(engine->PauseAtEvent, DocOrra::enPauseAtEvent_BeforeExecutionInclude);
    EXPECT_EQ(rec.events.last(), QStringLiteral("BeforeExecutionInclude ") + target);
    EXPECT_TRUE(m_prompt.titled(QStringLiteral("Include:B")).isEmpty());   // not asked before the pause
    EXPECT_TRUE(trace().isEmpty());

    rec.events.clear();
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->GoToID = target;
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), m_trace);
    EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionInclude ") + target));
    EXPECT_EQ(rec.events.first(), QStringLiteral("BeforeExecutionBlock B0.0.I0|B0.I0|B0.0"));
    const QList<PromptRequest> asked = m_prompt.titled(QStringLiteral("Include:B"));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.first().criteria.first().InitialDeger, QStringLiteral("bee"));
    EXPECT_EQ(only(rec.events, QStringLiteral("AfterExecutionInclude")), m_includeEvents.mid(3));
}

TEST_F(NestedIncludesTest, PauseAtAfterExecutionIncludeAndResumeGoesOnAfterIt)
{
    auto engine = engineFor(m_outer);
    EventRecorder rec(*engine);
    const QString target = QStringLiteral("B0.0.I0|B0.I0");
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("AfterExecutionInclude") && id == target) engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(engine->PauseAtEvent, DocOrra::enPauseAtEvent_AfterExecutionInclude);
    EXPECT_EQ(trace(), m_trace.mid(0, 3));
    // The output binding was copied before the event; the include's entry is gone.
    EXPECT_EQ(
        chainOutline(*engine), QStringLiteral("B0[Top=T B0.0[Region=North Res=none] B0.0.I0|B0[AP=North ARes=c-out]]"));

    rec.events.clear();
    rec.hook = nullptr;
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->GoToID = target;
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    // B's blocks do not run a second time; A and the outer document go on and end.
    EXPECT_EQ(trace(), m_trace);
    EXPECT_EQ(only(rec.events, QStringLiteral("BeforeExecutionBlock ")),
        (QStringList{"BeforeExecutionBlock B0.0.I0|B0.0", "BeforeExecutionBlock B0.0.0"}));
    EXPECT_EQ(only(rec.events, QStringLiteral("AfterExecutionInclude")), QStringList{"AfterExecutionInclude B0.0.I0"});
    EXPECT_EQ(rec.events.mid(rec.events.size() - 2),
        (QStringList{"ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}));
}

// ---------------------------------------------------------------------------------- stations

TEST_F(IncludesTest, AStationPausesTheRunAndResumingFinishesIt)
{
    const QString doc = documentXml(block("B0.0", traceSql("B0.0"), factParameter("B0.0", "P", "p"))
        + station("B0.S0", traceSql("S0 left")) + block("B0.1", traceSql("B0.1")));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(rec.events.last(), QStringLiteral("ArrivetoStation B0.S0 Station B0.S0"));
    EXPECT_EQ(engine->Statu, DocOrra::enDocStatuRunning);   // a station needs no Statu
    EXPECT_EQ(engine->PauseAtEvent, DocOrra::enPauseAtEvent_Nothing);
    EXPECT_EQ(trace(), QStringList{"B0.0"});   // the station's SQL does not run on arrival
    ASSERT_EQ(engine->Stations().size(), 1);
    EXPECT_EQ(outline(engine->Stations().first()->chParam()->documentElement()), QStringLiteral("B0[]"));

    rec.events.clear();
    engine->GoToID = QStringLiteral("B0.S0");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.1"}));
    EXPECT_EQ(rec.events,
        (QStringList{"BeforeExecutionBlock B0.1", "BeforeExecutionBlockSQL B0.1", "BeforeExecutionChildBlocks B0.1",
            "AfterExecutionBlock B0.1", "AfterExecutionBlock B0", "ArrivetoStation DocEnd Document End",
            "DocumentEnd nothing"}));
    ASSERT_EQ(engine->Stations().size(), 2);
    EXPECT_EQ(xml::attribute(engine->Stations().at(0)->Element, "ID"), QStringLiteral("DocEnd"));
    EXPECT_EQ(xml::attribute(engine->Stations().at(1)->Element, "ID"), QStringLiteral("B0.S0"));
}

TEST_F(IncludesTest, LeavingAStationRestoresTheEarlierSnapshotAndTheRunGoesOnFromThere)
{
    setParameterPrompt(&m_prompt);
    m_prompt.values[QStringLiteral("Out")] = QStringLiteral("new");
    const int inner = addDocument(documentXml(param("B0.P_Out", "Out", "text", "")));
    const QString doc = documentXml(block("B0.0", QString(),
        factParameter("B0.0", "P", "old") + station("B0.0.S0", traceSql("S0 left <$P%>"))
            + block("B0.0.0", traceSql("a <$P%>"))
            + includeXml("B0.0.I0", "Inner", inner, binding("B0.P_Out", "B0.0.P_P", true))
            + station("B0.0.S1", traceSql("S1 left <$P%>")) + block("B0.0.1", traceSql("b <$P%>"))));
    auto engine = engineFor(addDocument(doc));
    engine->flagReturnModifiedClause = true;
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    engine->GoToID = QStringLiteral("B0.0.S0");
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(rec.events.last(), QStringLiteral("ArrivetoStation B0.0.S1 Station B0.0.S1"));
    ASSERT_EQ(engine->Stations().size(), 2);
    EXPECT_EQ(outline(engine->Stations().at(0)->chParam()->documentElement()), QStringLiteral("B0[B0.0[P=new]]"));
    EXPECT_EQ(outline(engine->Stations().at(1)->chParam()->documentElement()), QStringLiteral("B0[B0.0[P=old]]"));

    rec.events.clear();
    rec.clauses.clear();
    rec.clauseRewrites[QStringLiteral("B0.0.S1")] = traceSql("S1 left, rewritten <$P%>");
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(rec.events, (QStringList{"BeforeExecutionStation B0.0.S1", "AfterExecutionStation B0.0.S1 B0.0.S0"}));
    // The station's SQL is substituted where the run stands, handed to the host, then run.
    EXPECT_EQ(rec.clauses, QStringList{"B0.0.S1: " + traceSql("S1 left new")});
    EXPECT_EQ(chainOutline(*engine), QStringLiteral("B0[B0.0[P=old]]"));
    EXPECT_EQ(engine->Stations().size(), 1);
    // Placeholders resolve in the restored chain at once.
    bool isError = true;
    EXPECT_EQ(engine->GetRunableSQL(QStringLiteral("<$P%>"), isError), QStringLiteral("old"));

    engine->GoToID = QStringLiteral("B0.0.S0");
    EXPECT_EQ(engine->RunDocument(), 1.0f);   // back at S1
    engine->GoToID = QStringLiteral("B0.0.S1");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"a old", "S1 left, rewritten <$P%>", "a old", "b new"}));
}

TEST_F(IncludesTest, SteppingBackTwiceRunsEachStationsSqlInItsOwnScope)
{
    const QString all = QStringLiteral("<$A%>/<$B%>/<$C%>");
    const QString doc = documentXml(block("B0.0", QString(),
        factParameter("B0.0", "A", "a") + station("B0.0.S0", traceSql("S0 " + all))
            + block("B0.0.0", QString(),
                factParameter("B0.0.0", "B", "b") + station("B0.0.0.S1", traceSql("S1 " + all))
                    + block("B0.0.0.0", QString(),
                        factParameter("B0.0.0.0", "C", "c") + station("B0.0.0.0.S2", traceSql("S2 " + all))
                            + block("B0.0.0.0.0", traceSql("end " + all))))));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    for (const char* s : {"B0.0.S0", "B0.0.0.S1"}) {
        engine->GoToID = QString::fromLatin1(s);
        EXPECT_EQ(engine->RunDocument(), 1.0f);
    }
    ASSERT_EQ(engine->Stations().size(), 3);

    rec.events.clear();
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(chainOutline(*engine), QStringLiteral("B0[B0.0[A=a B0.0.0[B=b]]]"));
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(chainOutline(*engine), QStringLiteral("B0[B0.0[A=a]]"));
    EXPECT_EQ(rec.events,
        (QStringList{"BeforeExecutionStation B0.0.0.0.S2", "AfterExecutionStation B0.0.0.0.S2 B0.0.0.S1",
            "BeforeExecutionStation B0.0.0.S1", "AfterExecutionStation B0.0.0.S1 B0.0.S0"}));
    // Each station's SQL saw the answers of its own scope.
    EXPECT_EQ(trace(), (QStringList{"S2 a/b/c", "S1 a/b/<$C%>"}));
    ASSERT_EQ(engine->Stations().size(), 1);
    EXPECT_EQ(xml::attribute(engine->Stations().first()->Element, "ID"), QStringLiteral("B0.0.S0"));

    // The run goes on from the first station through the others again.
    engine->GoToID = QStringLiteral("B0.0.S0");
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(rec.events.last(), QStringLiteral("ArrivetoStation B0.0.0.S1 Station B0.0.0.S1"));
    for (const char* s : {"B0.0.0.S1", "B0.0.0.0.S2"}) {
        engine->GoToID = QString::fromLatin1(s);
        engine->RunDocument();
    }
    EXPECT_EQ(trace().last(), QStringLiteral("end a/b/c"));
    EXPECT_EQ(rec.events.last(), QStringLiteral("DocumentEnd nothing"));
}

TEST_F(IncludesTest, ReachingAStationAgainReplacesItsSnapshot)
{
    const QString doc = documentXml(block("B0.0", QString(),
        factParameter("B0.0", "N", "select count(*) from Trace") + station("B0.0.S0") + block("B0.0.0", traceSql("x"))
            + station("B0.0.S1")));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    engine->GoToID = QStringLiteral("B0.0.S0");
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    ASSERT_EQ(engine->Stations().size(), 2);

    // Back to the block's start, as a jump or a script's restart does: S0 is reached a second
    // time without having been left.
    engine->GoToID = QStringLiteral("B0.0");
    engine->PauseAtEvent = DocOrra::enPauseAtEvent_Nothing;
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(rec.events.last(), QStringLiteral("ArrivetoStation B0.0.S0 Station B0.0.S0"));
    ASSERT_EQ(engine->Stations().size(), 2);
    EXPECT_EQ(xml::attribute(engine->Stations().at(0)->Element, "ID"), QStringLiteral("B0.0.S0"));
    EXPECT_EQ(xml::attribute(engine->Stations().at(1)->Element, "ID"), QStringLiteral("B0.0.S1"));
    EXPECT_EQ(outline(engine->Stations().at(0)->chParam()->documentElement()), QStringLiteral("B0[B0.0[N=1]]"));

    // Finishing twice leaves one end station.
    engine->GoToID = QStringLiteral("B0.0.S1");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    engine->GoToID = QStringLiteral("B0.0.S1");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    QStringList ids;
    for (const auto& s : engine->Stations()) ids.append(xml::attribute(s->Element, "ID"));
    EXPECT_EQ(ids, (QStringList{"DocEnd", "B0.0.S0", "B0.0.S1"}));
}

TEST_F(IncludesTest, LeavingWithNoStationSaysSoAndReturnsFalse)
{
    auto engine = engineFor(addDocument(documentXml(block("B0.0", traceSql("x")))));
    EventRecorder rec(*engine);
    engine->flagShowErrorMessages = true;
    EXPECT_FALSE(engine->RunStation());
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].text, QStringLiteral("There is no station to leave"));
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("DocOrra::RunStation"));
    EXPECT_EQ(m_ui.boxes[0].style, vbCritical);
    EXPECT_TRUE(rec.events.isEmpty());

    engine->flagShowErrorMessages = false;
    EXPECT_EQ(
        errorOf([&] { engine->RunStation(); }), QStringLiteral("-1|DocOrra::RunStation|There is no station to leave"));
    // A fresh engine, never prepared, answers the same way.
    DocOrra fresh;
    fresh.flagShowErrorMessages = false;
    EXPECT_EQ(
        errorOf([&] { fresh.RunStation(); }), QStringLiteral("-1|DocOrra::RunStation|There is no station to leave"));
}

TEST_F(IncludesTest, TheEndStationLeadsBackToTheLastStation)
{
    const QString doc = documentXml(factParameter("B0", "P", "p") + block("B0.0", traceSql("B0.0"))
        + station("B0.S0", traceSql("S0 left <$P%>")) + block("B0.1", traceSql("B0.1 <$P%>")));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    engine->GoToID = QStringLiteral("B0.S0");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    ASSERT_EQ(engine->Stations().size(), 2);
    // The end station keeps the chain as the finished run left it: without a root.
    EXPECT_TRUE(engine->Stations().first()->chParam()->documentElement().empty());
    EXPECT_EQ(xml::attribute(engine->Stations().first()->Element, "Name"), QStringLiteral("Document End"));

    rec.events.clear();
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(rec.events, (QStringList{"BeforeExecutionStation DocEnd", "AfterExecutionStation DocEnd B0.S0"}));
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.1 p"}));   // no SQL for the end station
    EXPECT_EQ(chainOutline(*engine), QStringLiteral("B0[P=p]"));

    // Resume at the station again: the rest runs once more and the run ends again.
    rec.events.clear();
    engine->GoToID = QStringLiteral("B0.S0");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"B0.0", "B0.1 p", "B0.1 p"}));
    EXPECT_EQ(rec.events.mid(rec.events.size() - 2),
        (QStringList{"ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}));

    // Leaving everything: the end station, then the station with its SQL, then nothing.
    rec.events.clear();
    EXPECT_TRUE(engine->RunStation());
    EXPECT_TRUE(engine->RunStation());
    EXPECT_EQ(rec.events,
        (QStringList{"BeforeExecutionStation DocEnd", "AfterExecutionStation DocEnd B0.S0",
            "BeforeExecutionStation B0.S0", "AfterExecutionStation B0.S0 "}));
    EXPECT_EQ(trace().last(), QStringLiteral("S0 left p"));
    EXPECT_EQ(chainOutline(*engine), QStringLiteral("[]"));
    EXPECT_TRUE(engine->Stations().isEmpty());
}

TEST_F(IncludesTest, AStationInsideAnIncludedDocument)
{
    const int inner = addDocument(documentXml(param("B0.P_X", "X", "text", "")
        + param("B0.P_Back", "Back", "fact", "back") + block("B0.0", traceSql("inner <$X%>"))
        + station("B0.S0", traceSql("inner station <$X%>")) + block("B0.1", traceSql("inner after"))));
    const int outer = addDocument(documentXml(factParameter("B0", "Res", "none")
        + includeXml("B0.I0", "Inner", inner, binding("B0.P_X", "$ex") + binding("B0.P_Back", "B0.P_Res", true))
        + block("B0.0", traceSql("outer <$Res%>"))));

    // Paused at the station; leaving it runs its SQL in the included document's scope.
    {
        auto engine = engineFor(outer);
        EventRecorder rec(*engine);
        EXPECT_EQ(engine->RunDocument(), 1.0f);
        EXPECT_EQ(rec.events.last(), QStringLiteral("ArrivetoStation B0.I0|B0.S0 Station B0.S0"));
        EXPECT_EQ(outline(engine->Stations().first()->chParam()->documentElement()),
            QStringLiteral("B0[Res=none B0.I0|B0[X=ex Back=back]]"));
        EXPECT_TRUE(engine->RunStation());
        EXPECT_EQ(trace(), (QStringList{"inner ex", "inner station ex"}));
        engine->EndExecution();
    }

    // Resumed from inside the station event, as the designer does: the nested run finishes the
    // included document, copies its output and ends the including one.
    m_run->execute(QStringLiteral("delete from Trace"));
    auto engine = engineFor(outer);
    EventRecorder rec(*engine);
    float nested = -99;
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("ArrivetoStation") && id == QLatin1String("B0.I0|B0.S0")) {
            engine->GoToID = id;
            nested = engine->RunDocument();
        }
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(nested, 0.0f);
    EXPECT_EQ(trace(), (QStringList{"inner ex", "inner after", "outer back"}));
    EXPECT_EQ(rec.events.count(QStringLiteral("AfterExecutionInclude B0.I0")), 1);
    EXPECT_EQ(rec.events.count(QStringLiteral("DocumentEnd nothing")), 1);
}

TEST_F(IncludesTest, JumpingIntoAnIncludeThatHasEndedBindsItsParametersAgain)
{
    setParameterPrompt(&m_prompt);
    const int inner = addDocument(documentXml(param("B0.P_X", "X", "text", "")
        + param("B0.P_Back", "Back", "fact", "back") + block("B0.0", traceSql("inner <$X%>"))));
    const int outer = addDocument(documentXml(factParameter("B0", "Res", "none")
        + includeXml("B0.I0", "Inner", inner, binding("B0.P_X", "$ex") + binding("B0.P_Back", "B0.P_Res", true))
        + block("B0.0", traceSql("outer <$Res%>"))));
    for (const bool jumpInside : {false, true}) {
        SCOPED_TRACE(jumpInside);
        m_run->execute(QStringLiteral("delete from Trace"));
        m_prompt.requests.clear();
        auto engine = engineFor(outer);
        EventRecorder rec(*engine);
        rec.hook = [&](const QString& event, const QString& id) {
            if (event == QLatin1String("BeforeExecutionBlockSQL") && id == QLatin1String("B0.0"))
                engine->Statu = DocOrra::enDocStatuPaused;
        };
        EXPECT_EQ(engine->RunDocument(), 1.0f);
        EXPECT_EQ(trace(), QStringList{"inner ex"});
        rec.hook = nullptr;
        rec.events.clear();
        engine->Statu = DocOrra::enDocStatuRunning;
        if (jumpInside) {
            // Back into the included document, whose entry ended with it: its bindings are
            // applied again (no events), so its placeholders and its output binding work.
            engine->GoToID = QStringLiteral("B0.I0|B0.0");
            engine->PauseAtEvent = DocOrra::enPauseAtEvent_Nothing;
        } else {
            // Passing by an include on the way to a later element asks nothing.
            engine->GoToID = QStringLiteral("B0.0");
        }
        EXPECT_EQ(engine->RunDocument(), 0.0f);
        if (jumpInside) {
            EXPECT_EQ(trace(), (QStringList{"inner ex", "inner ex", "outer back"}));
            EXPECT_EQ(m_prompt.titled(QStringLiteral("Include:Inner")).size(), 2);
            EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionInclude B0.I0")));
            EXPECT_EQ(rec.events.count(QStringLiteral("AfterExecutionInclude B0.I0")), 1);
        } else {
            EXPECT_EQ(trace(), (QStringList{"inner ex", "outer back"}));
            EXPECT_EQ(m_prompt.titled(QStringLiteral("Include:Inner")).size(), 1);
            EXPECT_FALSE(rec.events.contains(QStringLiteral("AfterExecutionInclude B0.I0")));
        }
    }
}

TEST_F(IncludesTest, JumpingIntoANestedBlockOfAnEndedIncludeBindsTheIncludeAndItsEnclosingBlock)
{
    setParameterPrompt(&m_prompt);
    const int inner = addDocument(documentXml(param("B0.P_X", "X", "text", "")
        + block(
            "B0.0", QString(), factParameter("B0.0", "Y", "why") + block("B0.0.0", traceSql("inner <$X%> <$Y%>")))));
    const int outer = addDocument(
        documentXml(includeXml("B0.I0", "Inner", inner, binding("B0.P_X", "$ex")) + block("B0.0", traceSql("outer"))));
    auto engine = engineFor(outer);
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString& id) {
        if (event == QLatin1String("BeforeExecutionBlockSQL") && id == QLatin1String("B0.0"))
            engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    rec.hook = nullptr;
    rec.events.clear();
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->PauseAtEvent = DocOrra::enPauseAtEvent_Nothing;
    engine->GoToID = QStringLiteral("B0.I0|B0.0.0");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"inner ex why", "inner ex why", "outer"}));
    EXPECT_FALSE(rec.events.contains(QStringLiteral("BeforeExecutionBlock B0.I0|B0.0")));
    EXPECT_EQ(only(rec.events, QStringLiteral("AfterExecution")),
        (QStringList{"AfterExecutionBlock B0.I0|B0.0.0", "AfterExecutionBlock B0.I0|B0.0",
            "AfterExecutionInclude B0.I0", "AfterExecutionBlock B0.0", "AfterExecutionBlock B0"}));
}

TEST_F(IncludesTest, ARelatedParameterIsTakenByNameInTheIncludingScopeWhenTheIncludeStarts)
{
    // The first include hands its answer out to the block's Region; the second include binds
    // the root's Region, whose name the block's own Region hides: it receives the block's value
    // as it is when it starts.
    const int setter = addDocument(documentXml(param("B0.P_Out", "Out", "fact", "changed")));
    const int reader =
        addDocument(documentXml(param("B0.P_X", "X", "text", "") + block("B0.0", traceSql("reader <$X%>"))));
    const int outer = addDocument(documentXml(factParameter("B0", "Region", "South")
        + block("B0.0", traceSql("block <$Region%>"),
            factParameter("B0.0", "Region", "North")
                + includeXml("B0.0.I0", "Reader", reader, binding("B0.P_X", "B0.P_Region"))
                + includeXml("B0.0.I1", "Setter", setter, binding("B0.P_Out", "B0.0.P_Region", true))
                + includeXml("B0.0.I2", "Reader", reader, binding("B0.P_X", "B0.P_Region")))
        + block("B0.1", traceSql("root <$Region%>"))));
    auto engine = engineFor(outer);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"block North", "reader North", "reader changed", "root South"}));
}

TEST_F(IncludesTest, JumpingIntoAnIncludePausedBeforeItsPromptBindsItsParameters)
{
    const int inner =
        addDocument(documentXml(param("B0.P_X", "X", "text", "") + param("B0.P_Back", "Back", "fact", "back")
            + block("B0.0", traceSql("inner <$X%>")) + block("B0.1", traceSql("inner second <$X%>"))));
    const int outer = addDocument(documentXml(factParameter("B0", "Res", "none")
        + includeXml("B0.I0", "Inner", inner, binding("B0.P_X", "$ex") + binding("B0.P_Back", "B0.P_Res", true))
        + block("B0.0", traceSql("outer <$Res%>"))));
    auto engine = engineFor(outer);
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString&) {
        if (event == QLatin1String("BeforeExecutionInclude")) engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);
    EXPECT_EQ(engine->PauseAtEvent, DocOrra::enPauseAtEvent_BeforeExecutionInclude);
    rec.hook = nullptr;
    // Jump to the second block of the included document: its entry exists, but was never answered.
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->GoToID = QStringLiteral("B0.I0|B0.1");
    engine->PauseAtEvent = DocOrra::enPauseAtEvent_Nothing;
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"inner second ex", "outer back"}));
}

TEST_F(IncludesTest, AnIncludesPromptHandsValuesToTheHostBeforeSources)
{
    setParameterPrompt(&m_prompt);
    const QString combo = QStringLiteral(
        "<Parameter ID=\"B0.P_C\" Name=\"C\" Caption=\"C\" DefaultValue=\"d-&lt;$Top%&gt;\" Type=\"combo\" "
        "Source=\"select '&lt;$Top%&gt;'\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>");
    const int inner =
        addDocument(documentXml(param("B0.P_Y", "Y", "text", "") + combo + block("B0.0", traceSql("<$Y%> <$C%>"))));
    const int outer = addDocument(
        documentXml(factParameter("B0", "Top", "t") + includeXml("B0.I0", "Inner", inner, binding("B0.P_Y", "$y"))));
    auto engine = engineFor(outer);
    engine->flagReturnModifiedClause = true;
    EventRecorder rec(*engine);
    rec.clauseRewrites[QStringLiteral("B0.I0|B0.P_Y")] = QStringLiteral("y changed by the host");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(rec.clauses,
        (QStringList{"B0.P_Top: t", "B0.I0|B0.P_Y: y", "B0.I0|B0.P_C: d-t", "B0.I0|B0.P_C: select 't'",
            "B0.I0|B0.0: " + traceSql("y changed by the host d-t")}));
    const QList<PromptRequest> asked = m_prompt.titled(QStringLiteral("Include:Inner"));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.first().criteria.at(1).OptionalParam, QStringLiteral("select 't'"));
}

}   // namespace
