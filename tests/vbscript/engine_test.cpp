// The host-facing contract of the script engine.

#include "platform/host/UserInterface.h"
#include "tests/support/RecordingUserInterface.h"
#include "platform/vbscript/Runtime.h"
#include "platform/vbscript/ScriptEngine.h"

#include <QLocale>
#include <atomic>
#include <chrono>
#include <clocale>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace orra::vbs;

namespace {

// The error that running code raises; none when it runs through.
std::optional<ScriptError> errorOf(ScriptEngine& e, const QString& code)
{
    try {
        e.executeStatement(code);
    } catch (const ScriptError& err) {
        return err;
    }
    return std::nullopt;
}

// A host object with the shapes the run-time engine hands to scripts.
class ShareObject : public Dispatch {
public:
    QStringList calls;
    QString typeName() const override { return QStringLiteral("clsScriptShare"); }
    bool hasMember(const QString& n) const override
    {
        QString k = n.toLower();
        return k == "runfrom" || k == "docid" || k == "parameter" || k == "twice" || k == "fail";
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = name.toLower();
        if (k == "docid") return Variant::longValue(7);
        if (k == "runfrom") {
            calls << QStringLiteral("RunFrom(%1)").arg(args.at(0).toString());
            return Variant();
        }
        if (k == "twice") {
            args.at(0) = Variant::longValue(args.at(0).toLong() * 2);   // by reference
            return Variant();
        }
        if (k == "fail")
            throw orra::Error(-1, QStringLiteral("Tavrel::clsScriptShare"),
                QStringLiteral("Could not found parameter 'P1' in the parameter chain"));
        return Dispatch::getProperty(name, args);
    }
    void putProperty(const QString& name, Arguments& args, const Variant& value) override
    {
        if (name.toLower() == "parameter") {
            calls << QStringLiteral("Parameter(%1)=%2").arg(args.at(0).toString(), value.toString());
            return;
        }
        Dispatch::putProperty(name, args, value);
    }
};

// A recordset-like object: rs("col") through the default member, For Each over its fields.
class RowObject : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("Recordset"); }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        if ((name.isEmpty() || name.toLower() == "fields") && args.size() == 1) {
            QString col = args[0].toString().toLower();
            if (col == "id" || col == "0") return Variant::longValue(5);
            if (col == "name" || col == "1") return Variant::string(QStringLiteral("Ada"));
            throw orra::Error(3265, QStringLiteral("ADODB.Recordset"),
                QStringLiteral(
                    "Item cannot be found in the collection corresponding to the requested name or ordinal."));
        }
        if (name.toLower() == "eof") return Variant::boolean(false);
        return Dispatch::getProperty(name, args);
    }
    std::vector<Variant> enumerate() override { return {Variant::string("id"), Variant::string("name")}; }
};

struct UiScope {
    orra::test::RecordingUserInterface ui;
    UiScope() { orra::setUserInterface(&ui); }
    ~UiScope() { orra::setUserInterface(nullptr); }
};

}   // namespace

TEST(ScriptEngine, GlobalsAndProceduresPersistBetweenCalls)
{
    ScriptEngine e;
    e.executeStatement("Dim n : n = 41");
    e.executeStatement("Function Inc(v)\n Inc = v + 1\nEnd Function");
    e.executeStatement("Class Pt\n Public X\nEnd Class\nSet p = New Pt : p.X = 3");
    Variant v = e.eval("Inc(n) + p.X");
    EXPECT_EQ(v.type(), VarType::Integer);
    EXPECT_EQ(v.rawInt(), 45);
    e.reset();
    EXPECT_TRUE(e.eval("n").isEmpty());
    EXPECT_THROW(e.eval("Inc(1)"), ScriptError);
}

TEST(ScriptEngine, ObjectsWithGlobalMembers)
{
    UiScope scope;
    ScriptEngine e;
    auto share = std::make_shared<ShareObject>();
    e.addObject("ScriptShare", share, true);
    e.addObject("OrraCon", std::make_shared<RowObject>(), false);
    e.executeStatement("RunFrom \"B0.3\"\nParameter(\"P1\") = \"x\"\nMsgBox DocID & \" \" & ScriptShare.DocID\n"
                       "Dim k : k = 5 : Twice k : MsgBox k\nScriptShare.Twice k : MsgBox k\nTwice (k) : MsgBox k");
    EXPECT_EQ(share->calls, QStringList({"RunFrom(B0.3)", "Parameter(P1)=x"}));
    EXPECT_EQ(scope.ui.lines, QStringList({"7 7", "10", "20", "20"}));
    // members of an object added without membersGlobal need its name
    EXPECT_EQ(e.eval("OrraCon(\"name\")").toString(), "Ada");
    try {
        e.executeStatement("x = EOF");
        EXPECT_TRUE(e.eval("IsEmpty(x)").toBool());
    } catch (const ScriptError&) {
        FAIL() << "an unknown bare name is an empty variable";
    }
    EXPECT_THROW(e.addObject("scriptshare", share, false), orra::Error);
}

TEST(ScriptEngine, DefaultMembersAndForEachOnHostObjects)
{
    UiScope scope;
    ScriptEngine e;
    e.addObject("rs", std::make_shared<RowObject>(), false);
    e.executeStatement("MsgBox rs(\"id\") + 1\nMsgBox rs.Fields(1)\nFor Each f In rs : MsgBox f : Next\n"
                       "Dim v : v = rs(\"name\") : MsgBox TypeName(v)");
    EXPECT_EQ(scope.ui.lines, QStringList({"6", "Ada", "id", "name", "String"}));
}

TEST(ScriptEngine, HostErrorsReachTheScriptAndTheHost)
{
    UiScope scope;
    ScriptEngine e;
    e.addObject("ScriptShare", std::make_shared<ShareObject>(), true);
    e.executeStatement("On Error Resume Next\nFail\nMsgBox Err.Number & \"|\" & Err.Source & \"|\" & Err.Description");
    EXPECT_EQ(
        scope.ui.lines.value(0), "-1|Tavrel::clsScriptShare|Could not found parameter 'P1' in the parameter chain");
    {
        const std::optional<ScriptError> err = errorOf(e, "x = 1\n\nFail");
        ASSERT_TRUE(err) << "no error";
        EXPECT_EQ(err->number(), -1);
        EXPECT_EQ(err->report().source, "Tavrel::clsScriptShare");
        EXPECT_EQ(err->report().line, 3);
    }
    EXPECT_EQ(e.lastError().number, -1);
}

TEST(ScriptEngine, CompilationErrorReport)
{
    ScriptEngine e;
    {
        const std::optional<ScriptError> err = errorOf(e, "x = 1\ny = (2 +\n");
        ASSERT_TRUE(err) << "no error";
        const ErrorReport& r = err->report();
        EXPECT_EQ(r.number, 1023);
        EXPECT_TRUE(r.source.contains("compilation"));
        EXPECT_EQ(r.description, "Expected expression");
        EXPECT_EQ(r.line, 2);
        EXPECT_EQ(r.column, 9);
        EXPECT_EQ(r.text, "y = (2 +");
    }
    EXPECT_EQ(e.lastError().number, 1023);
    EXPECT_EQ(e.lastError().line, 2);
    // nothing of a program with a syntax error runs
    EXPECT_THROW(e.executeStatement("z = 5\nIf z Then"), ScriptError);
    EXPECT_TRUE(e.eval("IsEmpty(z)").toBool());
    EXPECT_EQ(e.lastError().number, 0);
}

TEST(ScriptEngine, RuntimeErrorReport)
{
    ScriptEngine e;
    {
        const std::optional<ScriptError> err = errorOf(e, "Dim a\na = 1\nSub F\n  a = a / 0\nEnd Sub\nF");
        ASSERT_TRUE(err) << "no error";
        EXPECT_EQ(err->number(), 11);
        EXPECT_TRUE(err->source().contains("runtime"));
        EXPECT_FALSE(err->source().contains("compilation"));
        EXPECT_EQ(err->description(), "Division by zero");
        EXPECT_EQ(err->report().line, 4);
    }
    // the global state before the error stays
    EXPECT_EQ(e.eval("a").rawInt(), 1);
}

TEST(ScriptEngine, CancelFromAnotherThreadEndsALoop)
{
    ScriptEngine e;
    std::atomic<bool> started{false};
    e.addObject("Probe", std::make_shared<ShareObject>(), false);
    std::thread canceller([&] {
        while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        e.requestCancel();
    });
    started = true;
    try {
        e.executeStatement("On Error Resume Next\nDo\n x = x + 1\nLoop");
        ADD_FAILURE() << "not cancelled";
    } catch (const ScriptError& err) {
        EXPECT_EQ(err.number(), kErrorCancelled);
    }
    canceller.join();
    // the engine is usable afterwards
    EXPECT_GT(e.eval("x").toDouble(), 0);
    e.executeStatement("y = 1");
    EXPECT_EQ(e.eval("y").rawInt(), 1);
}

TEST(ScriptEngine, TimeoutEndsARunawayScript)
{
    ScriptEngine e;
    EXPECT_EQ(e.timeout(), -1);
    e.setTimeout(50);
    try {
        e.executeStatement("Sub Spin\n Do : Loop\nEnd Sub\nSpin");
        ADD_FAILURE() << "not stopped";
    } catch (const ScriptError& err) {
        EXPECT_EQ(err.number(), kErrorCancelled);
    }
}

TEST(ScriptEngine, DeepRecursionIsOutOfStackSpace)
{
    ScriptEngine e;
    {
        const std::optional<ScriptError> err = errorOf(e, "Function R(n)\n R = R(n + 1) + 1\nEnd Function\nx = R(0)");
        ASSERT_TRUE(err) << "no error";
        EXPECT_EQ(err->number(), 28);
        EXPECT_EQ(err->description(), "Out of stack space");
    }
    // deeply nested source is refused, not a crash
    QString nested = QString("x = ") + QString(5000, '(') + "1" + QString(5000, ')');
    EXPECT_THROW(e.executeStatement(nested), ScriptError);
}

TEST(ScriptEngine, LanguageAndUserInterface)
{
    ScriptEngine e;
    EXPECT_NO_THROW(e.setLanguage("vbscript"));
    EXPECT_THROW(e.setLanguage("JScript"), orra::Error);
    EXPECT_EQ(e.language(), "VBScript");
    EXPECT_TRUE(e.allowUI());
    // headless: the default button's answer
    EXPECT_EQ(e.eval("MsgBox(\"Go on?\", vbYesNo + vbDefaultButton2)").rawInt(), 7);
    EXPECT_EQ(e.eval("InputBox(\"Name?\", \"T\", \"def\")").toString(), "def");
    e.setAllowUI(false);
    {
        const std::optional<ScriptError> err = errorOf(e, "MsgBox \"x\"");
        ASSERT_TRUE(err) << "no error";
        EXPECT_EQ(err->number(), 70);
    }
}

TEST(ScriptEngine, CreateObjectRefusesUnknownClasses)
{
    ScriptEngine e;
    {
        const std::optional<ScriptError> err = errorOf(e, "Set o = CreateObject(\"Scripting.FileSystemObject\")");
        ASSERT_TRUE(err) << "no error";
        EXPECT_EQ(err->number(), 429);
        EXPECT_EQ(err->description(), "ActiveX component can't create object");
    }
}

TEST(ScriptEngine, CreateObjectAsksTheHostsFactoryAfterItsOwnClasses)
{
    UiScope scope;
    ScriptEngine e;
    // The engine alone knows no database objects.
    {
        const std::optional<ScriptError> err = errorOf(e, "Set con = CreateObject(\"ADODB.Connection\")");
        ASSERT_TRUE(err) << "no error";
        EXPECT_EQ(err->number(), 429);
        EXPECT_EQ(err->description(), "ActiveX component can't create object");
    }
    QStringList asked;
    e.setObjectFactory([&](const QString& progId) -> DispatchPtr {
        asked << progId;
        if (progId.compare(QStringLiteral("orra.row"), Qt::CaseInsensitive) == 0) return std::make_shared<RowObject>();
        return nullptr;
    });
    e.executeStatement("Set d = CreateObject(\"Scripting.Dictionary\")\n"
                       "Set r = CreateObject(\"Orra.Row\")\n"
                       "MsgBox TypeName(d) & \" \" & TypeName(r) & \" \" & r(\"name\")\n"
                       "On Error Resume Next\n"
                       "Set x = CreateObject(\"Excel.Application\")\n"
                       "MsgBox Err.Number");
    EXPECT_EQ(scope.ui.lines.join(u'|').toStdString(), "Dictionary Recordset Ada|429");
    // The engine's own classes never reach the factory; the others arrive as the script wrote them.
    EXPECT_EQ(asked.join(u'|').toStdString(), "Orra.Row|Excel.Application");
}

TEST(ScriptEngine, CaseMappingIgnoresTheProcessLocale)
{
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "tr_TR.UTF-8");
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    ScriptEngine e;
    EXPECT_EQ(e.eval("UCase(\"quit\")").toString(), "QUIT");
    EXPECT_EQ(e.eval("LCase(\"QUIT\")").toString(), "quit");
    EXPECT_EQ(e.eval("StrComp(\"QUIT\", \"quit\", vbTextCompare)").rawInt(), 0);
    e.executeStatement("Dim iTem : ITEM = 3");
    EXPECT_EQ(e.eval("item").rawInt(), 3);
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, saved.c_str());
}

namespace {
std::atomic<int> g_liveTrackers{0};
class Tracker : public Dispatch {
public:
    Tracker() { ++g_liveTrackers; }
    ~Tracker() override { --g_liveTrackers; }
    QString typeName() const override { return QStringLiteral("Tracker"); }
};
class TrackerFactory : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("Factory"); }
    Variant getProperty(const QString&, Arguments&) override { return Variant::object(std::make_shared<Tracker>()); }
};
}   // namespace

TEST(ScriptEngine, CyclicScriptObjectsAreReleased)
{
    {
        ScriptEngine e;
        e.addObject("Make", std::make_shared<TrackerFactory>(), false);
        e.executeStatement("Class N\n Public Other, T\nEnd Class\n"
                           "Set a = New N : Set b = New N : Set a.Other = b : Set b.Other = a\n"
                           "Set a.T = Make.Tracker() : Set b.T = Make.Tracker()\nSet a = Nothing : Set b = Nothing");
        EXPECT_EQ(g_liveTrackers.load(), 2);   // the cycle keeps both alive while the engine lives
    }
    EXPECT_EQ(g_liveTrackers.load(), 0);
}

TEST(ScriptEngine, EvalKeepsSubtypes)
{
    ScriptEngine e;
    EXPECT_EQ(e.eval("1 + 1.5").type(), VarType::Double);
    EXPECT_EQ(e.eval("\"a\" & 1").toString(), "a1");
    EXPECT_EQ(e.eval("Array(1, 2)").varType(), 8204);
    EXPECT_TRUE(e.eval("Null").isNull());
    EXPECT_EQ(e.eval("CCur(1.23456)").toString(), "1.2346");
    EXPECT_EQ(e.eval("#1/2/2003#").type(), VarType::Date);
}

TEST(ScriptEngine, OptionExplicitHoldsForItsOwnCode)
{
    ScriptEngine e;
    e.executeStatement("Option Explicit\nDim a\nSub Strict\n  b = 1\nEnd Sub");
    // a later script without Option Explicit may use undeclared names
    EXPECT_NO_THROW(e.executeStatement("c = 2"));
    EXPECT_EQ(e.eval("c").rawInt(), 2);
    // the procedure declared under Option Explicit stays strict
    {
        const std::optional<ScriptError> err = errorOf(e, "Strict");
        ASSERT_TRUE(err) << "no error";
        EXPECT_EQ(err->number(), 500);
        EXPECT_EQ(err->report().line, 4);
    }
}

TEST(ScriptEngine, CancelEndsACompiledLoop)
{
    // without On Error the loop runs as compiled code; the request still reaches it
    ScriptEngine e;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        e.requestCancel();
    });
    try {
        e.executeStatement("Dim n\nDo While True\n n = n + 1\nLoop");
        ADD_FAILURE() << "not cancelled";
    } catch (const ScriptError& err) {
        EXPECT_EQ(err.number(), kErrorCancelled);
    }
    canceller.join();
    EXPECT_GT(e.eval("n").toDouble(), 0);
}

TEST(ScriptEngine, ProcedureReplacedWhileItRunsFinishesItsOldBody)
{
    ScriptEngine e;
    e.executeStatement("Function F(n)\n"
                       "  ExecuteGlobal \"Function F(n): F = -1: End Function\"\n"
                       "  F = n * 2\n"
                       "End Function\n"
                       "x = F(21)\n"
                       "y = F(1)");
    EXPECT_EQ(e.eval("x").rawInt(), 42);
    EXPECT_EQ(e.eval("y").rawInt(), -1);
}

TEST(ScriptEngine, ErrDescriptionLeavesOutTheNameTheReportGives)
{
    ScriptEngine e;
    e.executeStatement("Option Explicit\nDim d, a\nOn Error Resume Next\na = b\nd = Err.Description");
    EXPECT_EQ(e.eval("d").toString(), "Variable is undefined");
    {
        const std::optional<ScriptError> err = errorOf(e, "Option Explicit\nDim a\na = undeclared + 1");
        ASSERT_TRUE(err) << "no error";
        EXPECT_EQ(err->number(), 500);
        EXPECT_EQ(err->description(), "Variable is undefined: 'undeclared'");
        EXPECT_EQ(e.lastError().errDescription, "Variable is undefined");
        EXPECT_EQ(err->report().line, 3);
    }
}

TEST(ScriptEngine, DictionaryReachesTheHostAsAnObject)
{
    ScriptEngine e;
    e.executeStatement("Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"b\", 2\nd.Add \"a\", 1\nd(3) = \"c\"");
    Variant d = e.eval("d");
    ASSERT_TRUE(d.isObject());
    ASSERT_TRUE(d.rawObject());
    EXPECT_EQ(d.typeName(), "Dictionary");
    std::vector<Variant> keys = d.rawObject()->enumerate();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].toString(), "b");
    EXPECT_EQ(keys[1].toString(), "a");
    EXPECT_EQ(keys[2].type(), VarType::Integer);
    Arguments key{Variant("a")};
    EXPECT_EQ(d.rawObject()->getProperty("Item", key).rawInt(), 1);
    Arguments none;
    EXPECT_EQ(d.rawObject()->getProperty("Count", none).rawInt(), 3);
    // the host's writes are the script's too
    Arguments newKey{Variant("z")};
    d.rawObject()->putProperty(QString(), newKey, Variant::longValue(26));
    EXPECT_EQ(e.eval("d(\"z\") + d.Count").rawInt(), 30);
}

TEST(ScriptEngine, CurrencyKeepsEveryDigit)
{
    ScriptEngine e;
    Variant top = e.eval("CCur(\"922337203685477.5807\")");
    EXPECT_EQ(top.type(), VarType::Currency);
    EXPECT_EQ(top.rawInt(), INT64_MAX);
    EXPECT_EQ(e.eval("CCur(\"-922337203685477.5808\")").rawInt(), INT64_MIN);
    // the fifth decimal rounds half to even
    EXPECT_EQ(e.eval("CCur(\"0.00005\")").rawInt(), 0);
    EXPECT_EQ(e.eval("CCur(\"0.00015\")").rawInt(), 2);
    EXPECT_EQ(e.eval("CCur(\"1,234.5\")").rawInt(), 12345000);
    // products are exact even where the scaled product needs more than 64 bits
    Variant big = e.eval("CCur(\"3000000\") * CCur(\"3000000\")");
    EXPECT_EQ(big.type(), VarType::Currency);
    EXPECT_EQ(big.rawInt(), 90000000000000000LL);
    EXPECT_EQ(e.eval("CCur(\"123456.7891\") * CCur(\"1000.0001\")").rawInt(), 1234568014457LL);
    EXPECT_THROW(e.eval("CCur(\"922337203685477.5808\")"), ScriptError);
}
