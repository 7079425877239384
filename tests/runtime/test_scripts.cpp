// Scripts in runs on the embedded server: the objects OrraCon, DocCon and ScriptShare, the
// "#Int" protocol, restarts, script errors, the host's stop request and the script bridge's
// members (elements, parameters, exports, connections to registered servers).

#include "tests/runtime/EngineFixture.h"
#include "tests/runtime/TestServer.h"
#include "tests/spreadsheet/XlsxTestReader.h"

#include "catalogue/EmbeddedCatalogue.h"
#include "common/QueryDocument.h"
#include "common/StoredPassword.h"
#include "platform/db/embedded/Server.h"
#include "runtime/ScriptHost.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <chrono>
#include <thread>

using namespace orra;
using namespace orra::test;

namespace {

// Answers every prompt with fixed values by parameter name and counts the prompts per element.
class CountingPrompt : public ParameterPrompt {
public:
    std::map<QString, QString> values;
    QStringList asked;   // element IDs, in order
    bool ask(const PromptRequest& request, QList<PromptAnswer>& answers) override
    {
        asked.append(xml::attribute(request.element, QStringLiteral("ID")));
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

// A script line that appends text (a VBScript expression) to Trace.
QString traceLine(const QString& expression)
{
    return QStringLiteral("OrraCon.Execute \"insert into Trace (Step) values ('\" & ") + expression
        + QStringLiteral(" & \"')\"\n");
}

QString readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<missing %1>").arg(path);
    return QString::fromUtf8(f.readAll());
}

class ScriptTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        DocOrra::setScriptHostFactory(&InitScriptEngine);
    }
};

}   // namespace

// ---------------------------------------------------------------- the "#Int" protocol

TEST_F(ScriptTest, ErrSetThroughOrraConEndsTheRunWithItsValue)
{
    auto engine = engineFor(addDocument(documentXml(block("B0.0", traceSql("before"))
        + script("B0.X1", "OrraCon.Execute \"update #Int set Err=5\"") + block("B0.2", traceSql("after")))));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 5.0f);
    EXPECT_EQ(trace(), QStringList{"before"});
    EXPECT_TRUE(rec.events.contains("AfterExecutionScript B0.X1"));
    EXPECT_FALSE(rec.events.contains("BeforeExecutionBlock B0.2"));
    EXPECT_FALSE(rec.events.contains("ArrivetoStation DocEnd Document End"));
    EXPECT_EQ(column("select Err from #Int"), QStringList{"5"});
}

TEST_F(ScriptTest, RunFromRestartsAtTheElementAndAsksItsPromptAgain)
{
    CountingPrompt prompt;
    prompt.values[QStringLiteral("City")] = QStringLiteral("Bursa");
    setParameterPrompt(&prompt);
    // The script inside B0.0 asks for a restart at B0.0 the first time it runs; its remaining
    // statements still run before the restart. The counter is a global of the run's scripts.
    const QString code = QStringLiteral("If IsEmpty(runs) Then runs = 0\n"
                                        "runs = runs + 1\n"
                                        "If runs = 1 Then RunFrom \"B0.0\"\n")
        + traceLine(QStringLiteral("\"script \" & runs & \" <$City%>\""));
    auto engine = engineFor(addDocument(documentXml(
        block("B0.0", traceSql("B0.0 <$City%>"), textParameter("B0.0", "City", "") + script("B0.0.X0", code))
        + block("B0.1", traceSql("B0.1")))));
    EventRecorder rec(*engine);

    EXPECT_EQ(engine->RunDocument(), 2.0f);
    EXPECT_EQ(engine->GoToID, QStringLiteral("B0.0"));
    EXPECT_EQ(engine->PauseAtEvent, DocOrra::enPauseAtEvent_Nothing);
    EXPECT_EQ(trace(), (QStringList{"B0.0 Bursa", "script 1 Bursa"}));
    EXPECT_EQ(prompt.asked, QStringList{"B0.0"});
    EXPECT_FALSE(rec.events.contains("AfterExecutionBlock B0.0"));
    // The restarted element's answers are gone from the chain.
    EXPECT_TRUE(
        FindElementByAttribute(engine->ParameterChain().node(), QStringLiteral("ID"), QStringLiteral("B0.0")).empty());

    prompt.values[QStringLiteral("City")] = QStringLiteral("Van");
    rec.events.clear();
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(prompt.asked, (QStringList{"B0.0", "B0.0"}));
    EXPECT_EQ(trace(), (QStringList{"B0.0 Bursa", "script 1 Bursa", "B0.0 Van", "script 2 Van", "B0.1"}));
    EXPECT_EQ(rec.events.first(), QStringLiteral("BeforeExecutionBlock B0.0"));
    EXPECT_EQ(rec.events.last(), QStringLiteral("DocumentEnd nothing"));
}

TEST_F(ScriptTest, AScriptEmptiedBySubstitutionRaisesBothEventsAndLeavesIntAlone)
{
    auto engine = engineFor(addDocument(documentXml(block("B0.0", QString(),
        factParameter("B0.0", "Code", "") + script("B0.0.X0", "<$Code%>") + block("B0.0.1", traceSql("next"))))));
    engine->flagReturnModifiedClause = true;
    EventRecorder rec(*engine);
    QStringList flags;
    rec.hook = [&](const QString& event, const QString&) {
        if (event == QLatin1String("BeforeExecutionScript")) m_run->execute(QStringLiteral("update #Int set Err=9"));
        if (event == QLatin1String("AfterExecutionScript")) flags = column(QStringLiteral("select Err from #Int"));
    };
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    const qsizetype before = rec.events.indexOf("BeforeExecutionScript B0.0.X0");
    ASSERT_GE(before, 0);
    EXPECT_EQ(rec.events.at(before + 1), QStringLiteral("AfterExecutionScript B0.0.X0"));
    EXPECT_EQ(flags, QStringList{"9"});   // neither reset nor read
    EXPECT_TRUE(rec.clauses.contains("B0.0.X0: "));
    EXPECT_EQ(trace(), QStringList{"next"});
}

TEST_F(ScriptTest, GlobalsAreKeptAcrossTheScriptsOfOneRun)
{
    auto engine = engineFor(
        addDocument(documentXml(script("B0.X0", "Dim total\ntotal = 40\nFunction Twice(x)\nTwice = 2 * x\nEnd Function")
            + block("B0.1", traceSql("block"), script("B0.1.X0", "total = total + 1"))
            + script("B0.X2", traceLine("Twice(total) & \"/\" & TypeName(total)")))));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"block", "82/Integer"}));
    engine->EndExecution();

    // A new run starts with a fresh script scope.
    ASSERT_TRUE(engine->PrepareforExecution());
    m_run->execute(QStringLiteral("delete Trace"));
    engine->GoToID.clear();
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"block", "82/Integer"}));
}

TEST_F(ScriptTest, GlobalsSurvivePausesAndStationsAndAScriptRunsOnceAcrossAPause)
{
    auto engine = engineFor(addDocument(documentXml(script("B0.X0", "n = 10") + station("B0.S1")
        + script("B0.X2", QStringLiteral("n = n + 1\n") + traceLine(QStringLiteral("\"n=\" & n"))))));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 1.0f);   // the station
    engine->GoToID = QStringLiteral("B0.S1");
    rec.hook = [&](const QString& event, const QString&) {
        if (event == QLatin1String("AfterExecutionScript")) engine->Statu = DocOrra::enDocStatuPaused;
    };
    EXPECT_EQ(engine->RunDocument(), 1.0f);   // paused after B0.X2
    EXPECT_EQ(engine->PauseAtEvent, DocOrra::enPauseAtEvent_AfterExecutionScript);
    rec.hook = nullptr;
    engine->Statu = DocOrra::enDocStatuRunning;
    engine->GoToID = QStringLiteral("B0.X2");
    EXPECT_EQ(engine->RunDocument(), 0.0f);   // resumed after the script: it does not run again
    EXPECT_EQ(trace(), QStringList{"n=11"});
}

TEST_F(ScriptTest, ScriptsSeeBothConnectionsAndCanShowMessages)
{
    auto engine = engineFor(addDocument(
        documentXml(script("B0.X0",
            QStringLiteral("Set r = DocCon.Execute(\"select Name from tbOrraSQL where ID=\" & DocID)\n")
                + traceLine(QStringLiteral("Trim(r(\"Name\")) & \"|\" & OrraCon.State & \"|\" & ReturnRecordSet"))
                + QStringLiteral("ReturnRecordSet = False\nMsgBox \"done\", 64, \"Script\"\n"))),
        QStringLiteral("Scripted")));
    m_run->execute(QStringLiteral("create table #Report (A int)"));
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{"Scripted|1|True"});
    EXPECT_FALSE(engine->flagReturnRecordSet);
    EXPECT_EQ(rec.events.last(), QStringLiteral("DocumentEnd nothing"));
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].text, QStringLiteral("done"));
    EXPECT_EQ(m_ui.boxes[0].style, 64);
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("Script"));
}

// ---------------------------------------------------------------- script errors

TEST_F(ScriptTest, ACompileErrorIsShownOnceWithLineColumnAndText)
{
    auto engine = engineFor(addDocument(documentXml(
        script("B0.X0", "Dim a\na = 1\nIf a = 1 Then\n  a = (a + \nEnd If") + block("B0.1", traceSql("after")))));
    engine->flagShowErrorMessages = true;
    EventRecorder rec(*engine);
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("Error in Script Engine"));
    EXPECT_EQ(m_ui.boxes[0].style, vbCritical);
    EXPECT_EQ(m_ui.boxes[0].text, QStringLiteral("Expected expression\r\rAt line 4, col 12: [  a = (a + ]"));
    EXPECT_FALSE(rec.events.contains("AfterExecutionScript B0.X0"));
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(ScriptTest, ARunTimeErrorIsShownOnceWithItsLine)
{
    auto engine = engineFor(
        addDocument(documentXml(script("B0.X0", "Dim a\na = 1\na = a / 0\na = 2") + block("B0.1", traceSql("after")))));
    engine->flagShowErrorMessages = true;
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("Error in Script Engine"));
    EXPECT_EQ(m_ui.boxes[0].text, QStringLiteral("Division by zero\r\rAt line 3"));
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(ScriptTest, WithoutMessagesTheScriptErrorReachesTheHost)
{
    auto engine = engineFor(addDocument(documentXml(block("B0.0", QString(), script("B0.0.X0", "x = 1 / 0")))));
    EXPECT_EQ(errorText([&] { engine->RunDocument(); }), QStringLiteral("11|DocOrra::RunDocument|Division by zero"));
    EXPECT_TRUE(m_ui.boxes.isEmpty());
}

TEST_F(ScriptTest, AnErrorOfTheRunConnectionKeepsItsText)
{
    auto engine = engineFor(addDocument(documentXml(script("B0.X0", "OrraCon.Execute \"select * from NoSuchTable\""))));
    engine->flagShowErrorMessages = true;
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_TRUE(m_ui.boxes[0].text.contains(QLatin1String("NoSuchTable"))) << m_ui.boxes[0].text.toStdString();
    EXPECT_TRUE(m_ui.boxes[0].text.endsWith(QLatin1String("\r\rAt line 1"))) << m_ui.boxes[0].text.toStdString();
}

// ---------------------------------------------------------------- the host's stop request

TEST_F(ScriptTest, AScriptThatNeverEndsIsStoppedByTheHost)
{
    auto engine = engineFor(
        addDocument(documentXml(script("B0.X0", "Do\n  n = n + 1\nLoop") + block("B0.1", traceSql("after")))));
    engine->flagShowErrorMessages = true;
    EventRecorder rec(*engine);
    std::atomic<bool> started{false};
    rec.hook = [&](const QString& event, const QString&) {
        if (event == QLatin1String("BeforeExecutionScript")) started = true;
    };
    std::thread stopper([&] {
        while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        engine->RequestStop();
    });
    const float result = engine->RunDocument();
    stopper.join();
    EXPECT_EQ(result, -1.0f);
    EXPECT_TRUE(m_ui.boxes.isEmpty());   // the host asked for it: nothing to report
    EXPECT_FALSE(rec.events.contains("AfterExecutionScript B0.X0"));
    EXPECT_FALSE(rec.events.contains("DocumentEnd nothing"));
    EXPECT_TRUE(trace().isEmpty());
    EXPECT_FALSE(engine->EndExecution());
    EXPECT_THROW(m_run->execute(QStringLiteral("select * from #Int")), Error);
}

TEST_F(ScriptTest, TheHostsEventLoopRunsDuringAScriptAndCanStopIt)
{
    auto engine = engineFor(
        addDocument(documentXml(script("B0.X0", "Do\n  n = n + 1\nLoop") + block("B0.1", traceSql("after")))));
    engine->flagShowErrorMessages = true;
    StopButton button;
    button.engine = engine.get();
    UserInterface* old = setUserInterface(&button);
    const float result = engine->RunDocument();
    button.engine = nullptr;
    setUserInterface(old);
    EXPECT_EQ(result, -1.0f);
    EXPECT_GE(button.yields, 3);
    EXPECT_TRUE(button.boxes.isEmpty());
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(ScriptTest, AStopRequestOutsideARunIsNotKept)
{
    auto engine =
        engineFor(addDocument(documentXml(block("B0.0", traceSql("B0.0")) + script("B0.X1", traceLine("\"script\"")))));
    EXPECT_FALSE(engine->IsRunning());
    engine->RequestStop();   // nothing runs: nothing to stop
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"B0.0", "script"}));
    engine->RequestStop();
    EXPECT_TRUE(engine->PrepareforExecution());
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"B0.0", "script", "B0.0", "script"}));
}

TEST_F(ScriptTest, AStopRequestBetweenScriptsStopsTheRunBeforeTheNextOne)
{
    auto engine =
        engineFor(addDocument(documentXml(block("B0.0", traceSql("B0.0")) + script("B0.X1", traceLine("\"script\"")))));
    EventRecorder rec(*engine);
    rec.hook = [&](const QString& event, const QString&) {
        if (event == QLatin1String("AfterExecutionBlock")) engine->RequestStop();
    };
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    EXPECT_EQ(trace(), QStringList{"B0.0"});
    EXPECT_EQ(rec.events.last(), QStringLiteral("AfterExecutionBlock B0.0"));
    EXPECT_TRUE(m_ui.boxes.isEmpty());
}

// ---------------------------------------------------------------- elements

TEST_F(ScriptTest, ItemGivesElementsAsXmlNodesAndNeverTheRoot)
{
    const int inner = addDocument(documentXml(block("B0.0", traceSql("inner"))), QStringLiteral("Inner"));
    const QString code =
        QStringLiteral(
            "If Item(\"B0\") Is Nothing Then OrraCon.Execute \"insert into Trace (Step) values ('no root')\"\n"
            "If Item(\"B0.0\") Is Nothing Then OrraCon.Execute \"insert into Trace (Step) values ('no unprefixed')\"\n"
            "Set n = Item(\"B0.I0|B0.0\")\n")
        + traceLine(
            QStringLiteral("n.nodeName & \"|\" & n.getAttribute(\"ID\") & \"|\" & n.parentNode.nodeName & \"|\" & "
                           "n.parentNode.parentNode.getAttribute(\"Name\")"))
        + QStringLiteral("Set b = Item(\"B0.1\")\n")
        + traceLine(QStringLiteral(
            "b.attributes.length & \"|\" & b.attributes(1).name & \"=\" & b.attributes.getNamedItem(\"Name\").value"
            " & \"|\" & b.childNodes.length & \"|\" & b.firstChild.nodeName & \"|\" & b.childNodes(1).nodeName"))
        + QStringLiteral("Set p = b.childNodes.item(1)\n")
        + traceLine(QStringLiteral("Replace(p.xml, \"'\", \"''\") & \"|\" & IsNull(p.getAttribute(\"Missing\"))"))
        + QStringLiteral("p.setAttribute \"DefaultValue\", \"changed by script\"\n")
        + traceLine(QStringLiteral("Replace(b.text, \"'\", \"''\")"));
    auto engine = engineFor(addDocument(documentXml(
        QStringLiteral("<Include ID=\"B0.I0\" Name=\"Include:Inner\" DocID=\"%1\"/>").arg(inner) + script("B0.X0", code)
        + QStringLiteral("<Block ID=\"B0.1\" Name=\"Last\"><![CDATA[insert into Trace (Step) values ('<$P%>')]]>"
                         "<Parameter ID=\"B0.1.P_P\" Name=\"P\" DefaultValue=\"original\" Type=\"fact\"/></Block>"))));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(),
        (QStringList{
            "inner",
            "no root",
            "no unprefixed",
            "Block|B0.I0|B0.0|Document|Include:Inner",
            "2|Name=Last|2|#cdata-section|Parameter",
            "<Parameter ID=\"B0.1.P_P\" Name=\"P\" DefaultValue=\"original\" Type=\"fact\"/>|True",
            "insert into Trace (Step) values ('<$P%>')",
            "changed by script",
        }));
}

// ---------------------------------------------------------------- parameters

TEST_F(ScriptTest, ParameterChangesTheChainValueThatLaterPlaceholdersReceive)
{
    auto engine = engineFor(addDocument(documentXml(block("B0.0", traceSql("first <$A%>"),
        factParameter("B0.0", "A", "old") + script("B0.0.X0", "Parameter(\"B0.0.P_A\") = \"new\" & 1")
            + block("B0.0.1", traceSql("inner <$A%>"))))));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"first old", "inner new1"}));
}

TEST_F(ScriptTest, ParameterOfAnUnknownIDRaisesItsMessage)
{
    const QString doc =
        documentXml(block("B0.0", QString(), script("B0.0.X0", "Dim a\nParameter(\"B0.1.P_A\") = \"x\""))
            + block("B0.1", traceSql("<$A%>"), factParameter("B0.1", "A", "a")));
    auto engine = engineFor(addDocument(doc));
    EXPECT_EQ(errorText([&] { engine->RunDocument(); }),
        QStringLiteral("-1|DocOrra::RunDocument|Could not found parameter 'B0.1.P_A' in the parameter chain"));

    engine = engineFor(addDocument(doc));
    engine->flagShowErrorMessages = true;
    EXPECT_EQ(engine->RunDocument(), -1.0f);
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].title, QStringLiteral("Error in Script Engine"));
    EXPECT_EQ(
        m_ui.boxes[0].text, QStringLiteral("Could not found parameter 'B0.1.P_A' in the parameter chain\r\rAt line 2"));
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(ScriptTest, ScriptErrorsCanBeTrappedWithTheirSource)
{
    auto engine = engineFor(addDocument(documentXml(script("B0.X0",
        QStringLiteral("On Error Resume Next\nParameter(\"none\") = 1\n")
            + traceLine(QStringLiteral("Err.Number & \"|\" & Err.Source")) + QStringLiteral("Err.Clear\n")
            + QStringLiteral("Set c = MakeConnection(OrraCon, \"O'Brien\")\n")
            + traceLine(QStringLiteral("Err.Number & \"|\" & Replace(Err.Description, \"'\", \"''\")"))))));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), (QStringList{"-1|Tavrel::clsScriptShare", "-1|O'Brien verikaynağı ile bağlantı kurulamıyor"}));
}

// ---------------------------------------------------------------- exports

TEST_F(ScriptTest, ExportToTextDefaultsToReportTxtInTemp)
{
    QTemporaryDir temp;
    const QByteArray oldTemp = qgetenv("TEMP");
    qputenv("TEMP", temp.path().toLocal8Bit());
    m_run->execute(QStringLiteral("insert into Trace (Step) values ('a')"));
    m_run->execute(QStringLiteral("insert into Trace (Step) values (NULL)"));
    auto engine = engineFor(addDocument(documentXml(script("B0.X0",
        "Set rs = OrraCon.Execute(\"select N, Step from Trace order by N\")\nExportToText rs\n"
        "Set rs = OrraCon.Execute(\"select N, Step from Trace where N > 5\")\n"
        "ScriptShare.ExportToText rs, \""
            + temp.filePath("empty.txt")
            + "\"\n"
              "Set rs = OrraCon.Execute(\"select N, Step from Trace order by N\")\n"
              "rs.MoveNext\n"
              "ExportToText rs, \""
            + temp.filePath("custom.txt") + "\", \";\", \"|\", \"-\""))));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    if (oldTemp.isNull())
        qunsetenv("TEMP");
    else
        qputenv("TEMP", oldTemp);
    EXPECT_EQ(readFile(QDir(temp.path()).filePath("Report.txt")), QStringLiteral("N,Step\r\n1,a\r\n2,NULL\r\n"));
    EXPECT_EQ(readFile(temp.filePath("empty.txt")), QStringLiteral("N,Step\r\n"));
    EXPECT_EQ(readFile(temp.filePath("custom.txt")), QStringLiteral("N;Step|2;-|"));
}

TEST_F(ScriptTest, ExportToTextOfAClosedRecordsetFailsAndWritesNothing)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("closed.txt");
    auto engine = engineFor(addDocument(documentXml(script(
        "B0.X0", "Set rs = OrraCon.Execute(\"update Trace set Step = Step\")\nExportToText rs, \"" + path + "\""))));
    EXPECT_EQ(errorText([&] { engine->RunDocument(); }),
        QStringLiteral("3704|DocOrra::RunDocument|Operation is not allowed when the object is closed."));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ScriptTest, ExportExcelWritesAWorkbookWithoutFormats)
{
    QTemporaryDir exportDir;
    const QByteArray oldExport = qgetenv("ORRA_EXPORT_DIR");
    qputenv("ORRA_EXPORT_DIR", exportDir.path().toLocal8Bit());
    m_run->execute(QStringLiteral("create table Sales (Region varchar(20), Amount float, Day datetime)"));
    m_run->execute(QStringLiteral("insert into Sales values ('North', 1234.5, '2024-03-01')"));
    m_run->execute(QStringLiteral("insert into Sales values ('South', 7, NULL)"));
    auto engine = engineFor(addDocument(documentXml(script("B0.X0",
        "Set rs = OrraCon.Execute(\"select Region, Amount, Day from Sales order by Region\")\nExportExcel rs\n"
        "ExportExcel rs, \"\", \"\"\n"))));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    if (oldExport.isNull())
        qunsetenv("ORRA_EXPORT_DIR");
    else
        qputenv("ORRA_EXPORT_DIR", oldExport);
    const QStringList books = QDir(exportDir.path()).entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
    ASSERT_EQ(books.size(), 2);
    std::map<std::string, orra::testing::XlsxCell> first, second;
    for (const QString& b : books) {
        auto cells = orra::testing::XlsxTestReader(QDir(exportDir.path()).filePath(b)).cells();
        (cells.count("A2") ? first : second) = cells;
    }
    EXPECT_EQ(first["A1"].text, QStringLiteral("Region"));
    EXPECT_EQ(first["C1"].text, QStringLiteral("Day"));
    EXPECT_EQ(first["A2"].text, QStringLiteral("North"));
    EXPECT_DOUBLE_EQ(first["B2"].number, 1234.5);
    EXPECT_EQ(first["B2"].numberFormat, QStringLiteral("General"));
    EXPECT_EQ(first["A3"].text, QStringLiteral("South"));
    EXPECT_EQ(first.count("C3"), 0u);   // NULL: an empty cell
    // The first export left the recordset at its end: the second has the header alone.
    EXPECT_EQ(second["A1"].text, QStringLiteral("Region"));
    EXPECT_EQ(second.count("A2"), 0u);
}

// ---------------------------------------------------------------- connections to registered servers

class MakeConnectionTest : public ScriptTest {
protected:
    void registerServer(const QString& server, const QString& login, const QString& storedPassword)
    {
        auto mat = openAs(QStringLiteral("mat"), QStringLiteral("sa"), QStringLiteral("secret"));
        mat->execute(QStringLiteral("insert into tbOrraConnections (Server, IP, [Database], UserName, UserPwd) "
                                    "values (?, '', '', ?, ?)"),
            {server, login, storedPassword});
    }
};

TEST_F(MakeConnectionTest, WithAStoredPassword)
{
    catalogue::registerEmbeddedCatalogue();
    catalogue::createEmbeddedServer(QStringLiteral("remote"), QStringLiteral("reporter"), QStringLiteral("p@ss;w=1"));
    registerServer(QStringLiteral("remote"), QStringLiteral("reporter"),
        ScramblePassword(QStringLiteral("p@ss;w=1"), kStoredPasswordKey));
    auto engine = engineFor(addDocument(documentXml(script("B0.X0",
        QStringLiteral("Set c = MakeConnection(OrraCon, \"remote\")\n"
                       "Set r = c.Execute(\"select suser_sname() as L, db_name() as D\")\n")
            + traceLine(QStringLiteral("r(\"L\") & \"|\" & c.State & \"|\" & c.CommandTimeout"))
            + QStringLiteral("c.Close\n")))));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{"reporter|1|0"});
}

TEST_F(MakeConnectionTest, WithAnEmptyLoginTheLogOnIsTrustedAndThePasswordIsNeverRead)
{
    catalogue::createEmbeddedServer(QStringLiteral("trusted"));   // administered by the operating-system user
    registerServer(QStringLiteral("trusted"), QString(), QStringLiteral("not a stored password"));
    auto engine = engineFor(addDocument(documentXml(script("B0.X0",
        QStringLiteral("Set c = ScriptShare.MakeConnection(DocCon, \"trusted\")\n"
                       "Set r = c.Execute(\"select suser_sname()\")\n")
            + traceLine(QStringLiteral("r(0)"))))));
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(trace(), QStringList{embedded::osUserName()});
}

TEST_F(MakeConnectionTest, AnUnregisteredServerRaisesTheRegistryMessage)
{
    auto engine = engineFor(addDocument(documentXml(script("B0.X0", "Set c = MakeConnection(OrraCon, \"nowhere\")"))));
    EXPECT_EQ(errorText([&] { engine->RunDocument(); }),
        QStringLiteral("-1|DocOrra::RunDocument|nowhere verikaynağı ile bağlantı kurulamıyor"));
}

TEST_F(MakeConnectionTest, TheRegistryDatabaseIsASetting)
{
    catalogue::createEmbeddedServer(QStringLiteral("remote"), QStringLiteral("reporter"), QStringLiteral("pw"));
    // Registered only in Data, which the setting names as the registry.
    m_run->execute(
        QStringLiteral("create table tbOrraConnections (Server varchar(50), IP varchar(50), [Database] varchar(50), "
                       "UserName varchar(50), UserPwd varchar(255))"));
    m_run->execute(QStringLiteral("insert into tbOrraConnections values ('remote', '', '', 'reporter', ?)"),
        {ScramblePassword(QStringLiteral("pw"), kStoredPasswordKey)});
    const QByteArray old = qgetenv("ORRA_REGISTRY_DB");
    qputenv("ORRA_REGISTRY_DB", "Data");
    auto engine = engineFor(addDocument(documentXml(script("B0.X0",
        QStringLiteral("Set c = MakeConnection(OrraCon, \"remote\")\n") + traceLine(QStringLiteral("c.State"))))));
    const float result = engine->RunDocument();
    if (old.isNull())
        qunsetenv("ORRA_REGISTRY_DB");
    else
        qputenv("ORRA_REGISTRY_DB", old);
    EXPECT_EQ(result, 0.0f);
    EXPECT_EQ(trace(), QStringList{"1"});
}
