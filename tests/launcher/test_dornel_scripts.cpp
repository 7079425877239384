// dornel as a process running documents with scripts: the run-time library brings its script
// engine to the launcher, scripts compute values into "#Report", restarts are followed, and a
// script error stops the run with its message.

#include "common/CatalogueChecksums.h"
#include "launcher/Dornel.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "platform/host/UserInterface.h"
#include "tests/launcher/DornelFixture.h"
#include "tests/spreadsheet/XlsxTestReader.h"
#include "tests/support/RecordingUserInterface.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orra;
using orra::test::RunResult;
using orra::testing::XlsxTestReader;

namespace {

class DornelScriptTest : public orra::test::DornelFixture {
protected:
    void addDocument(int id, const QString& body)
    {
        DornelFixture::addDocument(id, 1, QStringLiteral("Doc%1").arg(id), body);
    }
};

QString cdata(const QString& tag, const QString& id, const QString& text, const QString& inner = QString())
{
    return "<" + tag + " ID=\"" + id + "\" Name=\"" + id + "\"><![CDATA[" + text + "]]>" + inner + "</" + tag + ">";
}

}   // namespace

TEST_F(DornelScriptTest, ScriptComputesValuesIntoTheReport)
{
    // The block makes #Report; the first script computes each order's gross amount from a
    // recordset, the second (a global carried over) adds the total and the document number.
    const QString gross = "Dim total\n"
                          "total = 0\n"
                          "Set rs = OrraCon.Execute(\"select ID, Customer, Amount from Orders order by ID\")\n"
                          "Do While Not rs.EOF\n"
                          "  g = Round(rs(\"Amount\") * 1.2, 2)\n"
                          "  total = total + g\n"
                          "  OrraCon.Execute \"insert into #Report (Item, Value) values ('\" & rs(\"Customer\") & \"', "
                          "\" & Replace(CStr(g), \",\", \".\") & \")\"\n"
                          "  rs.MoveNext\n"
                          "Loop\n";
    const QString summary =
        "OrraCon.Execute \"insert into #Report (Item, Value) values ('Total', \" & Replace(CStr(total), \",\", \".\") "
        "& \")\"\n"
        "OrraCon.Execute \"insert into #Report (Item, Value) values ('Document', \" & DocID & \")\"\n";
    addDocument(20,
        cdata(
            "Block", "B0.0", "create table #Report (Item varchar(20), Value float)", cdata("Script", "B0.0.X0", gross))
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
    addDocument(21,
        cdata("Block", "B0.0", "create table #Report (Pass int)")
            + cdata("Block", "B0.1", "insert into #Report values (1)",
                cdata("Script", "B0.1.X0", "n = n + 1\nIf n < 3 Then RunFrom \"B0.1\"")));
    const RunResult r = run("/server:demo /db:catalogue /docid:21");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    auto cells = XlsxTestReader(r.out).cells();
    EXPECT_EQ(cells["A1"].text, "Pass");
    EXPECT_DOUBLE_EQ(cells["A4"].number, 1);   // B0.1 ran three times
    EXPECT_EQ(cells.count("A5"), 0u);
}

TEST_F(DornelScriptTest, EveryWorkbookTheRunWritesHasItsPathPrinted)
{
    // A script's workbook while the run goes on, then the report's.
    addDocument(24,
        cdata("Block", "B0.0", "select count(*) N into #Report from Orders",
            cdata("Script", "B0.0.X0", "ExportExcel OrraCon.Execute(\"select Customer from Orders order by ID\")")));
    const RunResult r = run("/server:demo /db:catalogue /docid:24");
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    const QStringList paths = r.out.split('\n');
    ASSERT_EQ(paths.size(), 2) << r.out.toStdString();
    EXPECT_EQ(exported().size(), 2);
    auto script = XlsxTestReader(paths[0]).cells();
    EXPECT_EQ(script["A1"].text, "Customer");
    EXPECT_EQ(script["A4"].text, "Cem");
    auto report = XlsxTestReader(paths[1]).cells();
    EXPECT_EQ(report["A1"].text, "N");
    EXPECT_DOUBLE_EQ(report["A2"].number, 3);
}

TEST_F(DornelScriptTest, AScriptErrorStopsTheRun)
{
    addDocument(22, cdata("Block", "B0.0", "create table #Report (X int)") + cdata("Script", "B0.X1", "x = 1 / 0"));
    const RunResult r = run("/server:demo /db:catalogue /docid:22");
    EXPECT_EQ(r.exitCode, launcher::ExitRunError);
    EXPECT_TRUE(r.err.contains("Division by zero")) << r.err.toStdString();
    EXPECT_TRUE(exported().isEmpty());
}

TEST_F(DornelScriptTest, TheRunAnswersToTheHostTheLauncherIsGiven)
{
    addDocument(23, cdata("Script", "B0.X0", "MsgBox \"from the script\"") + cdata("Script", "B0.X1", "x = 1 / 0"));
    // A person at a desktop, as the host's own user interface and as the process's.
    test::RecordingUserInterface process, host;
    process.desktop = host.desktop = true;
    UserInterface* previous = setUserInterface(&process);
    const int status = launcher::RunLauncher(
        QStringLiteral("dornel /server:demo /db:catalogue /docid:23"), RunHost{&host, nullptr, {}});
    setUserInterface(previous);
    EXPECT_EQ(status, launcher::ExitRunError);
    ASSERT_EQ(host.lines.size(), 2) << host.lines.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(host.lines[0], QStringLiteral("from the script"));
    EXPECT_TRUE(host.lines[1].contains(QStringLiteral("Division by zero"))) << host.lines[1].toStdString();
    EXPECT_TRUE(process.lines.isEmpty()) << process.lines.join(QLatin1Char('|')).toStdString();
}
