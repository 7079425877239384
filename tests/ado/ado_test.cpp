// ADO-shaped database objects for scripts, over a real embedded server (scripts reach servers
// by name only) and a database file that the host opens itself and lends.

#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "platform/db/sqlite/SqliteFileBackend.h"
#include "platform/host/UserInterface.h"
#include "tests/support/RecordingUserInterface.h"
#include "platform/vbscript/ScriptEngine.h"
#include "platform/ado/AdoObjects.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

static std::string joined(const QStringList& l) { return l.join(u'\n').toStdString(); }

using namespace orra::vbs;

namespace {

class Ado : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("ado.db");
        qputenv("ORRA_SERVERS", dir.filePath("servers").toUtf8());
        orra::embedded::createServer("adosrv", "sa", "secret");
        orra::embedded::createDatabase("adosrv", "ado");
        text = orra::embedded::connectionText("adosrv", "ado", "sa", "secret");
        orra::setUserInterface(&ui);
    }
    void TearDown() override
    {
        orra::setUserInterface(nullptr);
        qunsetenv("ORRA_SERVERS");
    }
    QString quoted(const QString& s) { return '"' + s + '"'; }

    QTemporaryDir dir;
    QString path;
    QString text;   // the embedded server's connection text
    orra::test::RecordingUserInterface ui;
};

}   // namespace

TEST_F(Ado, ConnectionExecuteTransactionsAndRecordsets)
{
    ScriptEngine e;
    e.setObjectFactory(&ado::createObject);
    e.executeStatement("Set con = CreateObject(\"ADODB.Connection\")\n"
                       "MsgBox con.State & TypeName(con)\n"
                       "con.Open "
        + quoted(text)
        + "\n"
          "MsgBox con.State\n"
          "con.Execute \"create table t (id integer, name text, amount real)\"\n"
          "MsgBox con.BeginTrans\n"
          "con.Execute \"insert into t values (1, 'a', 1.5)\"\n"
          "con.Execute \"insert into t values (2, NULL, 2)\", n\n"
          "MsgBox \"affected \" & n\n"
          "con.CommitTrans\n"
          "con.BeginTrans : con.Execute \"insert into t values (3, 'c', 3)\" : con.RollbackTrans\n"
          "Set rs = con.Execute(\"select id, name, amount from t order by id\")\n"
          "MsgBox rs.RecordCount & \" \" & rs.Fields.Count & \" \" & rs.Fields(1).Name & \" \" & rs.BOF & rs.EOF\n"
          "Do Until rs.EOF\n"
          "  MsgBox rs(\"id\") & \"|\" & IsNull(rs(\"name\")) & \"|\" & rs.Fields(\"amount\").Value & \"|\" & "
          "TypeName(rs(0).Value)\n"
          "  rs.MoveNext\n"
          "Loop\n"
          "rs.MoveFirst\n"
          "For Each f In rs.Fields : MsgBox f.Name & \"=\" & f.Value : Next\n"
          "MsgBox rs.GetString(2, , \",\", \";\", \"NULL\")\n"
          "rs.Close\n"
          "MsgBox rs.State & con.State\n"
          "con.Close\n"
          "MsgBox con.State");
    EXPECT_EQ(joined(ui.lines),
        joined({"0Connection", "1", "1", "affected 1", "2 3 name FalseFalse", "1|False|1.5|Long", "2|True|2|Long",
            "id=1", "name=a", "amount=1.5", "1,a,1.5;2,NULL,2;", "01", "0"}));
    // the rolled-back row is not there
    orra::db::Connection check;
    check.open(text);
    auto rs = check.execute("select count(*) from t");
    EXPECT_EQ(rs->value(0).toInt(), 2);
}

TEST_F(Ado, RecordsetMovesEveryWay)
{
    ScriptEngine e;
    e.setObjectFactory(&ado::createObject);
    e.executeStatement("Set con = CreateObject(\"ADODB.Connection\")\n"
                       "con.Open "
        + quoted(text)
        + "\n"
          "con.Execute \"create table t (id integer)\"\n"
          "con.Execute \"insert into t values (1), (2), (3), (4)\"\n"
          "Set rs = con.Execute(\"select id from t order by id\")\n"
          "rs.MoveLast : s = rs(0)\n"
          "rs.MovePrevious : s = s & rs(0)\n"
          "rs.MoveFirst : s = s & rs(0)\n"
          "rs.MoveNext : s = s & rs(0)\n"
          "rs.Move 2 : s = s & rs(0)\n"
          "rs.MoveNext : MsgBox s & rs.EOF\n"
          "rs.MoveFirst : rs.MovePrevious : MsgBox rs.BOF");
    EXPECT_EQ(joined(ui.lines), joined({"43124True", "True"}));
}

TEST_F(Ado, AConnectionGivenAsTextIsOpenedForTheRecordsetAndTheCommand)
{
    {
        orra::db::Connection setup;
        setup.open(text);
        setup.execute("create table t (id integer)");
        setup.execute("insert into t values (7), (8)");
    }
    ScriptEngine e;
    e.setObjectFactory(&ado::createObject);
    e.executeStatement("Set rs = CreateObject(\"ADODB.Recordset\")\n"
                       "rs.Open \"select id from t order by id\", "
        + quoted(text)
        + "\n"
          "MsgBox rs(0) & TypeName(rs.ActiveConnection) & rs.ActiveConnection.State\n"
          "Set cmd = CreateObject(\"ADODB.Command\")\n"
          "cmd.ActiveConnection = "
        + quoted(text)
        + "\n"
          "cmd.CommandText = \"select count(*) from t\"\n"
          "Set r2 = cmd.Execute\n"
          "MsgBox r2(0) & TypeName(cmd.ActiveConnection) & cmd.ActiveConnection.State");
    EXPECT_EQ(joined(ui.lines), joined({"7Connection1", "2Connection1"}));
}

TEST_F(Ado, HostConnectionsAreSharedWithScripts)
{
    auto con = std::make_shared<orra::db::Connection>();
    orra::db::sqlite::openDatabaseFile(*con, path, orra::db::sqlite::FileMode::Create);
    con->execute("create table Int_ (Err real)");
    con->execute("insert into Int_ values (0)");
    ScriptEngine e;
    e.setObjectFactory(&ado::createObject);
    e.addObject("OrraCon", ado::wrapConnection(con), false);
    e.executeStatement("OrraCon.Execute \"update Int_ set Err=5\"\n"
                       "Set rs = CreateObject(\"ADODB.Recordset\")\n"
                       "rs.Open \"select Err from Int_\", OrraCon\n"
                       "MsgBox rs(\"Err\") & \" \" & TypeName(rs.ActiveConnection)\n"
                       "Set cmd = CreateObject(\"ADODB.Command\")\n"
                       "Set cmd.ActiveConnection = OrraCon\n"
                       "cmd.CommandText = \"select Err * 2 as x from Int_\"\n"
                       "MsgBox cmd.Execute()(\"x\")\n"
                       "MsgBox OrraCon.Properties(\"Current Catalog\")");
    EXPECT_EQ(joined(ui.lines), joined({"5 Connection", "10", "ado"}));
    EXPECT_EQ(con->execute("select Err from Int_")->value(0).toDouble(), 5.0);
    // the wrapper gives back the same connection and recordsets
    Variant v = e.eval("OrraCon");
    EXPECT_EQ(ado::connectionOf(v), con);
    Variant r = e.eval("OrraCon.Execute(\"select 1 as one\")");
    ASSERT_TRUE(ado::recordsetOf(r));
    EXPECT_EQ(ado::recordsetOf(r)->value(0).toInt(), 1);
}

TEST_F(Ado, ProviderErrorsAndClosedObjects)
{
    ScriptEngine e;
    e.setObjectFactory(&ado::createObject);
    e.executeStatement("Set con = CreateObject(\"ADODB.Connection\")\n"
                       "On Error Resume Next\n"
                       "con.Execute \"select 1\"\n"
                       "MsgBox Err.Number & \" \" & Err.Description\n"
                       "Err.Clear\n"
                       "con.Open "
        + quoted(text)
        + "\n"
          "con.Execute \"selec nothing\"\n"
          "MsgBox (Err.Number < 0) & \" \" & (Len(Err.Description) > 0) & \" \" & con.Errors.Count\n"
          "Err.Clear\n"
          "Set rs = con.Execute(\"select 1 as a where 1 = 0\")\n"
          "MsgBox rs.EOF & rs.BOF & rs.RecordCount\n"
          "x = rs(\"a\")\n"
          "MsgBox Err.Number\n"
          "Err.Clear\n"
          "x = rs(\"nope\")\n"
          "MsgBox Err.Number\n"
          "Err.Clear\n"
          "Set o = CreateObject(\"Excel.Application\")\n"
          "MsgBox Err.Number & \" \" & Err.Description");
    EXPECT_EQ(joined(ui.lines),
        joined({"3704 Operation is not allowed when the object is closed.", "True True 1", "TrueTrue0", "3021", "3265",
            "429 ActiveX component can't create object"}));
}

TEST_F(Ado, AScriptNamesTheServerByEveryKeyOfAnAdoText)
{
    // An OLE DB provider's text names the server by "Data Source" (or its synonyms): the
    // embedded server of that name, its database and log-on.
    ScriptEngine e;
    e.setObjectFactory(&ado::createObject);
    QString script = "On Error Resume Next\n";
    for (const char* key : {"Data Source", "Server", "Address", "Addr", "Network Address"})
        script += QStringLiteral("Set con = CreateObject(\"ADODB.Connection\")\n"
                                 "con.Open \"Provider=SQLOLEDB;%1=adosrv;Initial Catalog=ado;User ID=sa;"
                                 "Password=secret\"\n"
                                 "MsgBox Err.Number & \" \" & con.State & \" \" & con.Execute(\"select db_name() + "
                                 "'@' + @@SERVERNAME\")(0)\n"
                                 "Err.Clear\n")
                      .arg(QLatin1String(key));
    e.executeStatement(script);
    EXPECT_EQ(joined(ui.lines), joined(QStringList(5, QStringLiteral("0 1 ado@adosrv"))));
}

TEST_F(Ado, AScriptOpensNoDatabaseFileByItsPath)
{
    // The server's own files hold the logins and every database: a script reaches them only
    // through the server, with its log-on; a path opens nothing and makes nothing.
    const QString master = orra::embedded::serverFolder("adosrv") + "/master.db";
    const QString made = dir.filePath("made.db");
    ScriptEngine e;
    e.setObjectFactory(&ado::createObject);
    e.executeStatement("Set con = CreateObject(\"ADODB.Connection\")\n"
                       "On Error Resume Next\n"
                       "con.Open "
        + quoted("Data Source=" + master)
        + "\n"
          "MsgBox Err.Number & \" \" & con.State\n"
          "Err.Clear\n"
          "con.Open "
        + quoted("Data Source=" + made + ";Mode=Create")
        + "\n"
          "MsgBox Err.Number & \" \" & con.State & \" \" & Err.Description\n");
    EXPECT_EQ(joined(ui.lines),
        joined({"3706 0",
            "3706 0 The connection text names no server: a database file is never opened by its path "
            "('Data Source="
                + made + "')."}));
    EXPECT_FALSE(QFileInfo::exists(made));
}
