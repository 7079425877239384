// Loading and checking documents, placeholders and the parameter prompt, the error
// convention, provider errors and the "#Report" result.

#include "tests/runtime/EngineFixture.h"
#include "tests/runtime/SqlScriptHost.h"

#include "common/Permissions.h"
#include "runtime/ProgId.h"
#include "tests/runtime/TestServer.h"

using namespace orra;
using namespace orra::test;

namespace {

// Answers every prompt with fixed values by parameter name and records what it was asked.
class ScriptedPrompt : public ParameterPrompt {
public:
    std::map<QString, QString> values;
    QList<PromptRequest> requests;
    bool cancel = false;
    bool ask(const PromptRequest& request, QList<PromptAnswer>& answers) override
    {
        requests.append(request);
        if (cancel) return false;
        for (const PromptCriterion& c : request.criteria) {
            auto it = values.find(c.Name);
            answers.append({c.ID, it != values.end() ? it->second : c.InitialDeger});
        }
        return true;
    }
};

QString errorText(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return QString::number(e.number()) + QLatin1Char('|') + e.source() + QLatin1Char('|') + e.description();
    }
    return QStringLiteral("no error");
}

}   // namespace

TEST_F(EngineTest, PlaceholdersTakeTheNearestParameterInScope)
{
    const QString doc = documentXml(factParameter("B0", "A", "root") + factParameter("B0", "R", "rootonly")
        + block("B0.0", traceSql("B0.0 <$A%> <$A%> <$R%> <$Nope%>"),
            factParameter("B0.0", "A", "outer") + factParameter("B0.0", "X", "x-<$A%>")
                + block("B0.0.0", traceSql("B0.0.0 <$A%> <$X%>"))
                + block("B0.0.1", traceSql("B0.0.1 <$A%>"), factParameter("B0.0.1", "A", "inner")))
        + block("B0.1", traceSql("B0.1 <$A%> <$X%>")));
    auto engine = engineFor(addDocument(doc));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(),
        (QStringList{
            "B0.0 outer outer rootonly <$Nope%>",
            // a default value is substituted in the enclosing scope, before the block's own answers
            "B0.0.0 outer x-root",
            "B0.0.1 inner",
            // a later sibling no longer sees the finished block's answers
            "B0.1 root <$X%>",
        }));
}

TEST_F(EngineTest, GetRunableSqlOutsideARunLeavesPlaceholders)
{
    auto engine = engineFor(addDocument(documentXml(QString())));
    bool isError = true;
    EXPECT_EQ(engine->GetRunableSQL(QStringLiteral("select '<$A%>'"), isError), QStringLiteral("select '<$A%>'"));
    EXPECT_FALSE(isError);
}

TEST_F(EngineTest, FactValuesFromQueriesAndHtextReachTheChainWithoutAPrompt)
{
    const QString doc = documentXml(block("B0.0", traceSql("<$N%>|<$S%>|<$H%>"),
        factParameter("B0.0", "N", "select 40+2") + factParameter("B0.0", "S", "sql:select 'seven'")
            + QStringLiteral(
                "<Parameter ID=\"B0.0.P_H\" Name=\"H\" Caption=\"Heading\" DefaultValue=\"shown only\" "
                "Type=\"htext\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>")));
    auto engine = engineFor(addDocument(doc));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{"42|seven|"});
}

TEST_F(EngineTest, HeadlessPromptRefusesParametersThatNeedAnAnswer)
{
    const QString doc = documentXml(block("B0.0", traceSql("<$City%>"),
        textParameter("B0.0", "City", "Ankara") + textParameter("B0.0", "Year", "2024")
            + factParameter("B0.0", "F", "1")));
    auto engine = engineFor(addDocument(doc));
    EXPECT_EQ(errorText([&] { engine->RunDocument(); }),
        QStringLiteral("-1|DocOrra::RunDocument|Parameters need an answer but no one can give it: City, Year"));
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(EngineTest, PromptReceivesTheCriteriaAndItsAnswersAreUsed)
{
    ScriptedPrompt prompt;
    prompt.values[QStringLiteral("City")] = QStringLiteral("İzmir");
    setParameterPrompt(&prompt);
    const QString doc = documentXml(factParameter("B0", "Root", "r")
        + block("B0.0", traceSql("<$City%>/<$Pick%>"),
            textParameter("B0.0", "City", "<$Root%>-default")
                + QStringLiteral(
                    "<Parameter ID=\"B0.0.P_Pick\" Name=\"Pick\" Caption=\"Pick one\" DefaultValue=\"\" "
                    "Type=\" Button\" Source=\"select * from t where r='&lt;$Root%&gt;'\" ReturnCol=\"Code\" "
                    "Prompt=\"Choose\" SelectionType=\"multi\" Behaviour=\"dynamic\"/>"),
            "Cities"));
    auto engine = engineFor(addDocument(doc));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{"İzmir/"});
    ASSERT_EQ(prompt.requests.size(), 2);   // the root's fact, then the block
    const PromptRequest& r = prompt.requests.at(1);
    EXPECT_EQ(r.title, QStringLiteral("Cities"));
    EXPECT_TRUE(r.mustShow);
    EXPECT_EQ(r.connection, m_run);
    ASSERT_EQ(r.criteria.size(), 2);
    EXPECT_EQ(r.criteria[0].ID, QStringLiteral("B0.0.P_City"));
    EXPECT_EQ(r.criteria[0].Tip, QStringLiteral("text"));
    EXPECT_EQ(r.criteria[0].InitialDeger, QStringLiteral("r-default"));
    EXPECT_EQ(r.criteria[1].Tip, QStringLiteral("button"));
    EXPECT_EQ(r.criteria[1].Aciklama, QStringLiteral("Pick one"));
    EXPECT_EQ(r.criteria[1].OptionalParam, QStringLiteral("select * from t where r='r';Code;Choose;multi"));
    EXPECT_FALSE(prompt.requests.at(0).mustShow);
}

TEST_F(EngineTest, CancelledPromptEndsTheRunWithDocumentCanceled)
{
    ScriptedPrompt prompt;
    prompt.cancel = true;
    setParameterPrompt(&prompt);
    auto engine = engineFor(addDocument(documentXml(block("B0.0", traceSql("x"), textParameter("B0.0", "A", "")))));
    engine->flagShowErrorMessages = true;
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].text, QStringLiteral("Document Canceled"));
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("DocOrra::RunBlock;B0.0"));
    EXPECT_TRUE(trace().isEmpty());
    EXPECT_FALSE(rec.events.contains(QStringLiteral("ArrivetoStation DocEnd Document End")));
}

TEST_F(EngineTest, AfterModifyClauseLetsTheHostChangeTheText)
{
    auto engine =
        engineFor(addDocument(documentXml(block("B0.0", traceSql("<$A%>"), factParameter("B0.0", "A", "a")))));
    engine->flagReturnModifiedClause = true;
    EventRecorder rec(*engine);
    rec.clauseRewrites[QStringLiteral("B0.0")] = traceSql("changed");
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{"changed"});
    EXPECT_EQ(rec.clauses, (QStringList{"B0.0.P_A: a", "B0.0: " + traceSql("a")}));
}

TEST_F(EngineTest, ProviderErrorMessageListsStateAndDescription)
{
    auto engine = engineFor(addDocument(documentXml(block("B0.0", QStringLiteral("select * from NoSuchTable")))));
    QString expected;
    try {
        m_run->execute(QStringLiteral("/*set nocount on*/ select * from NoSuchTable"));
    } catch (const Error&) {
        for (const db::ProviderError& e : m_run->errors())
            if (e.number < 0)
                expected += QStringLiteral("State:") + e.sqlState + QStringLiteral("\r\n") + e.description
                    + QStringLiteral("\r\n");
    }
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_TRUE(expected.contains(QStringLiteral("NoSuchTable"), Qt::CaseInsensitive));
    EXPECT_EQ(errorText([&] { engine->RunDocument(); }), QStringLiteral("-1|DocOrra::RunDocument|") + expected);
}

TEST_F(EngineTest, AnErrorInALaterStatementOfABatchIsNotLost)
{
    auto engine = engineFor(addDocument(
        documentXml(block("B0.0", traceSql("first") + QStringLiteral(" select 1 as One select * from NoSuchTable"),
            block("B0.0.0", traceSql("child"))))));
    const QString err = errorText([&] { engine->RunDocument(); });
    EXPECT_TRUE(err.startsWith(QStringLiteral("-1|DocOrra::RunDocument|State:"))) << err.toStdString();
    EXPECT_FALSE(trace().contains(QStringLiteral("child")));
}

TEST_F(EngineTest, ShownErrorsGoThroughTheHostAndReturnMinusOne)
{
    auto engine = engineFor(
        addDocument(documentXml(block("B0.0", QString(), block("B0.0.0", QStringLiteral("select * from NoSuchTable")))
            + block("B0.1", traceSql("after")))));
    engine->flagShowErrorMessages = true;
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("DocOrra::RunBlock;B0.0.0"));
    EXPECT_EQ(m_ui.boxes[0].style, int(vbCritical));
    EXPECT_TRUE(m_ui.boxes[0].text.startsWith(QStringLiteral("State:")));
    EXPECT_TRUE(trace().isEmpty());
    EXPECT_FALSE(rec.events.contains(QStringLiteral("AfterExecutionBlock B0.0")));
    EXPECT_FALSE(rec.events.contains(QStringLiteral("ArrivetoStation DocEnd Document End")));
}

TEST_F(EngineTest, UnparsableDocumentTextIsReportedWithLineAndColumn)
{
    auto engine = std::make_unique<DocOrra>();
    engine->flagShowErrorMessages = false;
    const QString err =
        errorText([&] { engine->LoadXML(QStringLiteral("<Document ID=\"B0\">\n<Block>\n</Document>")); });
    EXPECT_TRUE(err.startsWith(QStringLiteral("-1|DocOrra::LoadXML|Could not parse the document: ")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("(line 3, column "))) << err.toStdString();
    EXPECT_FALSE(engine->hasChildNodes());

    engine->flagShowErrorMessages = true;
    EXPECT_FALSE(engine->LoadXML(QStringLiteral("not xml")));
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("DocOrra::LoadXML"));
    EXPECT_TRUE(engine->LoadXML(documentXml(QString())));
    EXPECT_TRUE(engine->hasChildNodes());
}

TEST_F(EngineTest, DocumentDescriptionUsesCrLf)
{
    auto engine = std::make_unique<DocOrra>();
    EXPECT_TRUE(
        engine->LoadXML(QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[one\ntwo]]></Document>")));
    EXPECT_EQ(engine->DocumentDescription().toString(), QStringLiteral("one\r\ntwo"));
}

TEST_F(EngineTest, LoadDocumentRefusals)
{
    auto engine = std::make_unique<DocOrra>();
    engine->flagShowErrorMessages = false;
    EXPECT_EQ(
        errorText([&] { engine->LoadDocument(); }), QStringLiteral("-1|DocOrra::LoadDocument|No Document ID defined"));
    engine->OrraID = 5;
    EXPECT_EQ(errorText([&] { engine->LoadDocument(); }),
        QStringLiteral("-1|DocOrra::LoadDocument|Document connection missing or couldn't be open"));
    engine->setDoc_Con(m_doc);
    engine->OrraID = 999;
    // The permission check reports the missing document itself, before the row is read.
    EXPECT_EQ(errorText([&] { engine->LoadDocument(); }),
        QStringLiteral("-1|DocOrra::LoadDocument|Document 999 does not exist"));
}

TEST_F(EngineTest, RightsToLoadAndToRunAreChecked)
{
    const int id = addDocument(documentXml(block("B0.0", traceSql("ran"))));
    const QString server = QString::fromLatin1(kTestServer);
    embedded::createLogin(server, QStringLiteral("bob"), QStringLiteral("pw"));
    const int bobUid =
        embedded::createUser(server, QStringLiteral("Orra"), QStringLiteral("bob"), QStringLiteral("bob"));
    embedded::createUser(server, QStringLiteral("Data"), QStringLiteral("bob"), QStringLiteral("bob"));
    db::ConnectionPtr bobDoc = openAs(QStringLiteral("Orra"), QStringLiteral("bob"), QStringLiteral("pw"));

    DocOrra engine;
    engine.flagShowErrorMessages = false;
    engine.setDoc_Con(bobDoc);
    engine.OrraID = id;
    EXPECT_EQ(errorText([&] { engine.LoadDocument(); }),
        QStringLiteral("-1|DocOrra::LoadDocument|User does not have permission to load document"));
    EXPECT_EQ(
        errorText([&] { engine.Expand(); }), QStringLiteral("-1||User does not have permission to load document"));

    auto grant = [&](long allow) {
        m_doc->execute(QStringLiteral("delete from tbOrraDocPermissions where OrraID=%1").arg(id));
        m_doc->execute(QStringLiteral("insert into tbOrraDocPermissions (OrraID, UserId, Allow, Deny, CheckSum) "
                                      "values (%1, %2, %3, 0, %4)")
                           .arg(id)
                           .arg(bobUid)
                           .arg(allow)
                           .arg(PermissionRowCheckSum(id, bobUid, allow, 0)));
    };
    grant(rightEdit);
    EXPECT_TRUE(engine.LoadDocument());
    engine.setOrra_Con(openAs(QStringLiteral("Data"), QStringLiteral("bob"), QStringLiteral("pw")));
    EXPECT_EQ(errorText([&] { engine.PrepareforExecution(); }),
        QStringLiteral("-1|DocOrra::PrepareforExecution|User does not have permission to run document"));
    EXPECT_EQ(errorText([&] { engine.RunDocument(); }),
        QStringLiteral("-1|DocOrra::RunDocument|User does not have permission to run document"));
    engine.flagShowErrorMessages = true;
    EXPECT_FALSE(engine.PrepareforExecution());
    EXPECT_EQ(engine.RunDocument(), -1.0f);
    ASSERT_EQ(m_ui.boxes.size(), 2);
    EXPECT_EQ(m_ui.boxes[1].text, QStringLiteral("User does not have permission to run document"));
    EXPECT_EQ(m_ui.boxes[1].title, QString());   // the program's default title
    EXPECT_EQ(m_ui.boxes[1].style, int(vbOKOnly));

    grant(rightEdit | rightExecute);
    EXPECT_TRUE(engine.PrepareforExecution());
    EXPECT_EQ(engine.RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{"ran"});
}

TEST_F(EngineTest, TamperedDocumentRowIsRefusedByItsChecksum)
{
    const int id = addDocument(documentXml(block("B0.0", traceSql("x"))), QStringLiteral("Monthly Sales"));
    m_doc->execute(QStringLiteral("update tbOrraSQL set Description='edited by hand' where ID=%1").arg(id));
    auto engine = std::make_unique<DocOrra>();
    engine->flagShowErrorMessages = false;
    engine->setDoc_Con(m_doc);
    engine->OrraID = id;
    EXPECT_EQ(errorText([&] { engine->LoadDocument(); }),
        QStringLiteral("-1|DocOrra::LoadDocument|CheckSum Value is wrong for Document Name: 'Monthly Sales"));
    engine->flagShowErrorMessages = true;
    EXPECT_FALSE(engine->LoadDocument());
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].text, QStringLiteral("CheckSum Value is wrong for Document Name: 'Monthly Sales"));
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("DocOrra::LoadDocument"));
}

TEST_F(EngineTest, DocumentWhoseOwnerWasChangedIsRefusedByItsChecksum)
{
    const int id = addDocument(documentXml(block("B0.0", traceSql("x"))), QStringLiteral("Owned"));
    embedded::createLogin(QString::fromLatin1(test::kTestServer), QStringLiteral("mallory"), QStringLiteral("pw"));
    const QByteArray other = embedded::loginSid(QString::fromLatin1(test::kTestServer), QStringLiteral("mallory"));
    ASSERT_FALSE(other.isEmpty());
    m_doc->execute(
        QStringLiteral("update tbOrraSQL set Owner=0x%1 where ID=%2").arg(QString::fromLatin1(other.toHex())).arg(id));
    auto engine = std::make_unique<DocOrra>();
    engine->flagShowErrorMessages = false;
    engine->setDoc_Con(m_doc);
    engine->OrraID = id;
    EXPECT_EQ(errorText([&] { engine->LoadDocument(); }),
        QStringLiteral("-1|DocOrra::LoadDocument|CheckSum Value is wrong for Document Name: 'Owned"));
}

TEST_F(EngineTest, PrepareDropsAnIntLeftByAnEarlierRun)
{
    const int id = addDocument(documentXml(block("B0.0", traceSql("x"))));
    auto first = engineFor(id);
    m_run->execute(QStringLiteral("update #Int set Err=3"));
    auto second = engineFor(id);   // no EndExecution in between
    EXPECT_EQ(column(QStringLiteral("select Err from #Int")), QStringList{"0"});
    EXPECT_EQ(second->RunDocument(), 0.0f);
}

TEST_F(EngineTest, FinishedRunWithoutReportHandsNothingAndReturnsZero)
{
    auto engine = engineFor(addDocument(documentXml(block("B0.0", traceSql("x")))));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(rec.events.mid(rec.events.size() - 2),
        (QStringList{"ArrivetoStation DocEnd Document End", "DocumentEnd nothing"}));
    EXPECT_FALSE(rec.reportGiven);
}

TEST_F(EngineTest, DocumentEndCarriesReportUnlessSwitchedOff)
{
    const QString doc = documentXml(block("B0.0",
        QStringLiteral("create table #Report (Code int, Name varchar(20)) "
                       "insert into #Report values (1, 'one') insert into #Report values (2, 'two')")));
    auto engine = engineFor(addDocument(doc));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_TRUE(rec.reportGiven);
    EXPECT_EQ(rec.reportRows, (QStringList{"1|one", "2|two"}));
    EXPECT_EQ(rec.events.last(), QStringLiteral("DocumentEnd rows=2"));
    engine->EndExecution();

    auto quiet = engineFor(addDocument(doc));
    quiet->flagReturnRecordSet = false;
    EventRecorder rec2(*quiet);
    EXPECT_EQ(quiet->RunDocument(), 0.0f);
    EXPECT_FALSE(rec2.reportGiven);
    EXPECT_EQ(rec2.events.last(), QStringLiteral("DocumentEnd nothing"));
}

TEST_F(EngineTest, CatalogueDocumentFromLoadToEnd)
{
    const QString doc = documentXml(factParameter("B0", "Year", "2024")
        + block("B0.0",
            QStringLiteral("create table #Sales (Region varchar(10), Amount int) "
                           "insert into #Sales values ('North', 10) insert into #Sales values ('North', 5) "
                           "insert into #Sales values ('South', 7)"))
        + block("B0.1",
            QStringLiteral("select Region, sum(Amount) as Total, '<$Year%>' as Year into #Report "
                           "from #Sales group by Region order by Region"))
        + block("B0.2", QStringLiteral("drop table #Sales")));
    const int id = addDocument(doc, QStringLiteral("Sales by region"));

    DocOrra engine;
    engine.flagShowErrorMessages = false;
    engine.setDoc_Con(m_doc);
    engine.OrraID = id;
    ASSERT_TRUE(engine.LoadDocument());
    engine.Expand();
    engine.setOrra_Con(m_run);
    ASSERT_TRUE(engine.PrepareforExecution());
    engine.GoToID = QString();
    EventRecorder rec(engine);
    EXPECT_EQ(engine.RunDocument(), 0.0f);
    EXPECT_EQ(rec.reportRows, (QStringList{"North|15|2024", "South|7|2024"}));
    EXPECT_FALSE(engine.EndExecution());
    EXPECT_THROW(m_run->execute(QStringLiteral("select * from #Report")), Error);
    EXPECT_THROW(m_run->execute(QStringLiteral("select * from #Int")), Error);
}

TEST_F(EngineTest, ScriptsAreRefusedWithoutAScriptEngine)
{
    DocOrra::setScriptHostFactory(nullptr);   // the library installs its own by default
    auto engine = engineFor(addDocument(documentXml(script("B0.X0", "MsgBox 1") + block("B0.0", traceSql("x")))));
    EXPECT_EQ(errorText([&] { engine->RunDocument(); }),
        QStringLiteral(
            "-1|DocOrra::RunDocument|Could not run script B0.X0: no script engine is available to this run"));
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(EngineTest, AnIncludeThatWasNotExpandedIsRefused)
{
    auto engine = std::make_unique<DocOrra>();
    engine->flagShowErrorMessages = false;
    engine->setDoc_Con(m_doc);
    engine->OrraID = addDocument(documentXml(QString()));
    engine->LoadXML(documentXml(QStringLiteral("<Include ID=\"B0.I0\" Name=\"Include:x\" DocID=\"1\"/>")));
    engine->setOrra_Con(m_run);
    ASSERT_TRUE(engine->PrepareforExecution());
    EXPECT_EQ(errorText([&] { engine->RunDocument(); }),
        QStringLiteral("-1|DocOrra::RunDocument|Could not run include B0.I0: the included document was not expanded"));
}

TEST_F(EngineTest, ProgramIdentifierCreatesTheEngine)
{
    std::unique_ptr<QObject> o = CreateObject(QStringLiteral("tavrel.docorra"));
    auto* engine = qobject_cast<DocOrra*>(o.get());
    ASSERT_NE(engine, nullptr);
    EXPECT_TRUE(engine->flagShowErrorMessages);
    EXPECT_TRUE(engine->flagReturnRecordSet);
    EXPECT_FALSE(engine->flagReturnModifiedClause);
    EXPECT_EQ(engine->OrraID, 0);
    EXPECT_NE(engine->Orra_Con(), nullptr);
    EXPECT_FALSE(engine->Orra_Con()->isOpen());
    // Late-bound access by member name, as a launcher drives it.
    EXPECT_TRUE(o->setProperty("OrraID", 12));
    EXPECT_EQ(engine->OrraID, 12);
    EXPECT_EQ(errorText([] { CreateObject(QStringLiteral("Tavrel.Nothing")); }),
        QStringLiteral("429||ActiveX component can't create object"));
}

TEST_F(EngineTest, AnErrorKeepsItsNumberOnTheWayToTheHost)
{
    // The block removes the row the engine reads its flag from: the recordset's own error.
    auto engine = engineFor(addDocument(
        documentXml(block("B0.0", QStringLiteral("delete from #Int"), block("B0.0.0", traceSql("child"))))));
    try {
        engine->RunDocument();
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3021);
        EXPECT_EQ(e.source(), QStringLiteral("DocOrra::RunDocument"));
    }
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(EngineTest, DocumentDescriptionWithoutADocumentShowsAPlainBox)
{
    DocOrra engine;
    EXPECT_FALSE(engine.hasChildNodes());
    EXPECT_FALSE(engine.DocumentDescription().isValid());
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].style, int(vbOKOnly));
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("DocOrra::DocumentDescription"));
}
