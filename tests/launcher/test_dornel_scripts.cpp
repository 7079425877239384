// dornel as a process running documents with scripts: the run-time library brings its script
// engine to the launcher, scripts compute values into "#Report", restarts are followed, and a
// script error stops the run with its message.

#include "common/CatalogueChecksums.h"
#include "launcher/Dornel.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "tests/spreadsheet/XlsxTestReader.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orra;
using orra::testing::XlsxTestReader;

namespace {

struct RunResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class DornelScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_servers = m_dir.filePath("servers");
        m_export = m_dir.filePath("export");
        QDir().mkpath(m_servers);
        QDir().mkpath(m_export);
        m_oldServers = qgetenv("ORRA_SERVERS");
        qputenv("ORRA_SERVERS", m_servers.toLocal8Bit());

        embedded::createServer("demo");
        embedded::createCatalogue("demo", "catalogue");
        embedded::createDatabase("demo", "sales");
        m_catalogue.open(embedded::connectionText("demo", "catalogue"));
        db::Connection sales;
        sales.open(embedded::connectionText("demo", "sales"));
        sales.execute("create table Orders (ID int primary key, Customer varchar(40), Amount float)");
        sales.execute("insert into Orders values (1, 'Ayşe', 10.5), (2, 'Barış', 20), (3, 'Cem', 30.25)");
        db::Connection mat;
        mat.open(embedded::connectionText("demo", "mat"));
        mat.execute("insert into tbOrraConnections (Server, IP, [Database], UserName, UserPwd) values ('demo', '', 'sales', '', '')");
        m_catalogue.execute("insert into tbOrraCategory (ID, ParentID, Name, Type, Disabled, Owner, CheckSum) "
                            "values (1, 0, 'Raporlar', 'C', 0, suser_sid(), 0)");
        UpdateCategoryCheckSum(m_catalogue, "catalogue", 1);
    }

    void TearDown() override
    {
        m_catalogue.close();
        if (m_oldServers.isNull())
            qunsetenv("ORRA_SERVERS");
        else
            qputenv("ORRA_SERVERS", m_oldServers);
    }

    void addDocument(int id, const QString& body)
    {
        const QString xml = "<Document ID=\"B0\" Server=\"demo\"><![CDATA[Scripted]]>" + body + "</Document>";
        m_catalogue.execute("insert into tbOrraSQL (ID, CategoryID, Name, Description, Type, Disabled, SQLtxt, Owner, CheckSum) "
                            "values (?, 1, ?, '', 'T', 0, ?, suser_sid(), 0)",
                            {id, QStringLiteral("Doc%1").arg(id), xml});
        ASSERT_TRUE(UpdateDocumentCheckSum(m_catalogue, "catalogue", id));
    }

    RunResult run(const QString& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORRA_SERVERS", m_servers);
        env.insert("ORRA_EXPORT_DIR", m_export);
        env.insert("ORRA_LOG_DIR", m_dir.path());
        env.insert("ORRA_NO_OPEN", "1");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        p.setProcessEnvironment(env);
        p.start(QString::fromUtf8(ORRA_BINARY_DIR) + "/launcher/dornel", QProcess::splitCommand(args));
        EXPECT_TRUE(p.waitForFinished(60000));
        RunResult r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QStringList exported() const { return QDir(m_export).entryList({"*.xlsx"}, QDir::Files); }

    QTemporaryDir m_dir;
    QString m_servers, m_export;
    QByteArray m_oldServers;
    db::Connection m_catalogue;
};

QString cdata(const QString& tag, const QString& id, const QString& text, const QString& inner = QString())
{
    return "<" + tag + " ID=\"" + id + "\" Name=\"" + id + "\"><![CDATA[" + text + "]]>" + inner + "</" + tag + ">";
}

} // namespace

TEST_F(DornelScriptTest, ScriptComputesValuesIntoTheReport)
{
    // The block makes #Report; the first script computes each order's gross amount from a
    // recordset, the second (a global carried over) adds the total and the document number.
    const QString gross =
        "Dim total\n"
        "total = 0\n"
        "Set rs = OrraCon.Execute(\"select ID, Customer, Amount from Orders order by ID\")\n"
        "Do While Not rs.EOF\n"
        "  g = Round(rs(\"Amount\") * 1.2, 2)\n"
        "  total = total + g\n"
        "  OrraCon.Execute \"insert into #Report (Item, Value) values ('\" & rs(\"Customer\") & \"', \" & Replace(CStr(g), \",\", \".\") & \")\"\n"
        "  rs.MoveNext\n"
        "Loop\n";
    const QString summary =
        "OrraCon.Execute \"insert into #Report (Item, Value) values ('Total', \" & Replace(CStr(total), \",\", \".\") & \")\"\n"
        "OrraCon.Execute \"insert into #Report (Item, Value) values ('Document', \" & DocID & \")\"\n";
    addDocument(20, cdata("Block", "B0.0", "create table #Report (Item varchar(20), Value float)",
                          cdata("Script", "B0.0.X0", gross))
                        + cdata("Script", "B0.X1", summary));
    const RunResult r = run("/server:demo /db:catalogue /docid:20");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    ASSERT_EQ(exported().size(), 1);
    auto cells = XlsxTestReader(r.out).cells();
    EXPECT_EQ(cells["A1"].text, "Item");
    EXPECT_EQ(cells["B1"].text, "Value");
    EXPECT_EQ(cells["A2"].text, "Ayşe");
    EXPECT_DOUBLE_EQ(cells["B2"].number, 12.6);
    EXPECT_EQ(cells["A3"].text, "Barış");
    EXPECT_DOUBLE_EQ(cells["B3"].number, 24);
    EXPECT_EQ(cells["A4"].text, "Cem");
    EXPECT_DOUBLE_EQ(cells["B4"].number, 36.3);
    EXPECT_EQ(cells["A5"].text, "Total");
    EXPECT_DOUBLE_EQ(cells["B5"].number, 72.9);
    EXPECT_EQ(cells["A6"].text, "Document");
    EXPECT_DOUBLE_EQ(cells["B6"].number, 20);
    EXPECT_EQ(cells.count("A7"), 0u);
}

TEST_F(DornelScriptTest, ARestartRequestedByAScriptIsFollowed)
{
    // The first pass asks for a restart at B0.1; the launcher calls the run again, which
    // resumes there and runs the script a second time with its global counter kept.
    addDocument(21, cdata("Block", "B0.0", "create table #Report (Pass int)")
                        + cdata("Block", "B0.1", "insert into #Report values (1)",
                                cdata("Script", "B0.1.X0", "n = n + 1\nIf n < 3 Then RunFrom \"B0.1\"")));
    const RunResult r = run("/server:demo /db:catalogue /docid:21");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    auto cells = XlsxTestReader(r.out).cells();
    EXPECT_EQ(cells["A1"].text, "Pass");
    EXPECT_DOUBLE_EQ(cells["A4"].number, 1);   // B0.1 ran three times
    EXPECT_EQ(cells.count("A5"), 0u);
}

TEST_F(DornelScriptTest, AScriptErrorStopsTheRun)
{
    addDocument(22, cdata("Block", "B0.0", "create table #Report (X int)") + cdata("Script", "B0.X1", "x = 1 / 0"));
    const RunResult r = run("/server:demo /db:catalogue /docid:22");
    EXPECT_EQ(r.exitCode, launcher::ExitRunError);
    EXPECT_TRUE(r.err.contains("Division by zero")) << r.err.toStdString();
    EXPECT_TRUE(exported().isEmpty());
}
