// dornel as a process against an embedded server: the command line, documents by number and
// by path, call schemas, registered data servers, errors, the log file and exit statuses.

#include "common/StoredPassword.h"
#include "launcher/Dornel.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "tests/launcher/DornelFixture.h"
#include "tests/spreadsheet/XlsxTestReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace orra;
using orra::test::RunResult;
using orra::testing::XlsxTestReader;

namespace {

class DornelTest : public orra::test::DornelFixture {};

const QString kReport = "select ID, Customer, Amount into #Report from Orders where Amount > <$Min%> order by ID";

// The temporary tables #D (0 to 15) and #E (0 to 3), whose cross joins make large results.
const QString kDigits = "create table #D (d int) insert into #D values (0),(1),(2),(3),(4),(5),(6),(7),(8),(9),"
                        "(10),(11),(12),(13),(14),(15)";
const QString kDigitsAndQuarters = kDigits + " create table #E (d int) insert into #E values (0),(1),(2),(3)";

QString minParameter(const QString& type, const QString& value)
{
    return "<Parameter ID=\"B0.0.P_Min\" Name=\"Min\" Caption=\"Smallest amount\" DefaultValue=\"" + value
        + "\" Type=\"" + type + "\" Source=\"\"/>";
}

}   // namespace

TEST_F(DornelTest, RunsADocumentByNumberAndExportsReport)
{
    addDocument(10, 2, "Büyük siparişler", block("B0.0", kReport, minParameter("fact", "15")));
    const RunResult r = run("/Server:demo /DB:catalogue /docid:10");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    ASSERT_EQ(exported().size(), 1);
    EXPECT_EQ(r.out, QDir(m_export).filePath(exported().first()));
    XlsxTestReader book(r.out);
    auto cells = book.cells();
    EXPECT_EQ(cells["A1"].text, "ID");
    EXPECT_EQ(cells["B1"].text, "Customer");
    EXPECT_EQ(cells["B2"].text, "Barış");
    EXPECT_DOUBLE_EQ(cells["C3"].number, 30.25);
    EXPECT_EQ(cells.count("A4"), 0u);   // only the two rows over 15
}

TEST_F(DornelTest, RunsADocumentByCataloguePathInAnyCase)
{
    addDocument(11, 2, "Özet", block("B0.0", "select count(*) N into #Report from Orders"));
    RunResult r = run("/server:demo /db:catalogue \"/docid:ROOT\\Satış\\Aylık\\Özet\"");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    EXPECT_EQ(exported().size(), 1);

    r = run("/server:demo /db:catalogue \"/docid:root\\Satış\\Yok\\Özet\"");
    EXPECT_EQ(r.exitCode, launcher::ExitFailed);
    EXPECT_TRUE(r.err.contains("document not found: root\\Satış\\Yok\\Özet")) << r.err.toStdString();
}

TEST_F(DornelTest, CallSchemaMakesTheRunSilentAndNoSchemaIsAnError)
{
    addDocument(12, 2, "Parametreli", block("B0.0", kReport, minParameter("text", "0")));
    // Without a schema the parameter needs an answer, and nobody is there to give it.
    RunResult r = run("/server:demo /db:catalogue /docid:12");
    EXPECT_EQ(r.exitCode, launcher::ExitRunError);
    EXPECT_TRUE(r.err.contains("Min")) << r.err.toStdString();
    EXPECT_TRUE(exported().isEmpty());

    m_catalogue.execute(
        "insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (12, 1, 'Yirmi', '')");
    m_catalogue.execute("insert into tbOrraCallSchemaDetail (ParentID, ParamID, ParamVal) "
                        "select ID, 'B0.0.P_Min', '20' from tbOrraCallSchema where DocID=12 and SchemaID=1");
    r = run("/server:demo /db:catalogue /docid:12 /schemaid:1");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    ASSERT_EQ(exported().size(), 1);
    auto cells = XlsxTestReader(r.out).cells();
    EXPECT_EQ(cells["B2"].text, "Cem");
    EXPECT_EQ(cells.count("A3"), 0u);

    r = run("/server:demo /db:catalogue /docid:12 /schemaid:7");
    EXPECT_EQ(r.exitCode, launcher::ExitNoSchema);
    EXPECT_TRUE(r.err.contains("No Schema found"));
    r = run("/server:demo /db:catalogue /docid:12 /schemaid:1;drop");
    EXPECT_EQ(r.exitCode, launcher::ExitBadCommandLine);
}

TEST_F(DornelTest, ANullSchemaValueKeepsTheDefault)
{
    addDocument(13, 2, "Varsayılan", block("B0.0", kReport, minParameter("text", "25")));
    m_catalogue.execute("insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (13, 1, 'Boş', '')");
    m_catalogue.execute("insert into tbOrraCallSchemaDetail (ParentID, ParamID, ParamVal) "
                        "select ID, 'B0.0.P_Min', NULL from tbOrraCallSchema where DocID=13");
    const RunResult r = run("/server:demo /db:catalogue /docid:13 /schemaid:1");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    auto cells = XlsxTestReader(r.out).cells();
    EXPECT_EQ(cells["B2"].text, "Cem");   // 25 kept: only Cem's 30.25
    EXPECT_EQ(cells.count("A3"), 0u);
}

TEST_F(DornelTest, RegisteredServerWithAStoredPassword)
{
    embedded::createLogin("demo", "reporter", "p@ss;word=1");
    embedded::createUser("demo", "sales", "reporter", "reporter");
    embedded::createDatabase("demo", "other");
    db::Connection mat;
    mat.open(embedded::connectionText("demo", "mat"));
    // A second registry name for the same embedded server would not resolve; register the
    // login on the server's own name instead.
    mat.execute("update tbOrraConnections set UserName=?, UserPwd=? where Server='demo'",
        {QStringLiteral("reporter"), ScramblePassword("p@ss;word=1", "tarvok")});
    addDocument(14, 2, "Kullanıcılı", block("B0.0", "select user_name() U into #Report"));
    RunResult r = run("/server:demo /db:catalogue /docid:14");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    ASSERT_EQ(exported().size(), 1);
    EXPECT_EQ(XlsxTestReader(r.out).cells()["A2"].text, "reporter");

    mat.execute("update tbOrraConnections set UserPwd=? where Server='demo'", {ScramblePassword("wrong", "tarvok")});
    r = run("/server:demo /db:catalogue /docid:14");
    EXPECT_EQ(r.exitCode, launcher::ExitConnectionFailed);
}

TEST_F(DornelTest, UnregisteredServerAndTheFreeServer)
{
    addDocument(15, 2, "Serbest", block("B0.0", "select 1 X into #Report"), "{FREE}");
    const RunResult r = run("/server:demo /db:catalogue /docid:15");
    EXPECT_EQ(r.exitCode, launcher::ExitConnectionFailed);
    EXPECT_TRUE(r.err.contains("{FREE} verikaynağı ile bağlantı kurulamıyor")) << r.err.toStdString();
}

TEST_F(DornelTest, ARunStoppedByAnErrorAndTheLogFile)
{
    addDocument(16, 2, "Hatalı", block("B0.0", "select * from NoSuchTable"));
    RunResult r = run("/server:demo /db:catalogue /docid:16");
    EXPECT_EQ(r.exitCode, launcher::ExitRunError);
    EXPECT_TRUE(r.err.contains("State:")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(QDir(m_log).filePath("Dornelerr.txt")));

    r = run("/debug:on /server:demo /db:catalogue /docid:16");
    EXPECT_EQ(r.exitCode, launcher::ExitRunError);
    QFile log(QDir(m_log).filePath("Dornelerr.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    // Three lines; the provider's description itself may run over several.
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.startsWith("Number:-1\nSource:DocOrra::RunDocument\nDescription:State:")) << text.toStdString();
    EXPECT_TRUE(text.contains("NoSuchTable"));
}

TEST_F(DornelTest, BadCommandLinesPrintTheUsage)
{
    RunResult r = run("");
    EXPECT_EQ(r.exitCode, launcher::ExitBadCommandLine);
    EXPECT_TRUE(r.err.contains("Hatalı parametre girişi"));
    EXPECT_TRUE(r.err.contains("usage: dornel"));
    r = run("/server:demo /db:catalogue /docid:1 /colour:red");
    EXPECT_EQ(r.exitCode, launcher::ExitBadCommandLine);
    EXPECT_TRUE(r.err.contains("Hatalı parametre girişi -- colour"));
}

TEST_F(DornelTest, ReturnRecordsetOffAndAStationLeaveNoWorkbookOrAPausedRun)
{
    addDocument(17, 2, "Sessiz", block("B0.0", "select 1 X into #Report"));
    RunResult r = run("/server:demo /db:catalogue /docid:17 /returnrecordset:off");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    EXPECT_TRUE(exported().isEmpty());

    addDocument(18, 2, "Duraklı",
        block("B0.0", "select 1 X into #Report") + "<Station ID=\"B0.S0\" Name=\"Kontrol\"><![CDATA[]]></Station>"
            + block("B0.1", "insert into #Report values (2)"));
    r = run("/server:demo /db:catalogue /docid:18");
    EXPECT_EQ(r.exitCode, launcher::ExitPaused) << r.err.toStdString();
    ASSERT_EQ(exported().size(), 1);   // what #Report holds at the station
    auto cells = XlsxTestReader(r.out).cells();
    EXPECT_EQ(cells["A2"].number, 1);
    EXPECT_EQ(cells.count("A3"), 0u);
    EXPECT_TRUE(r.err.contains("dornel: the run stopped at the station 'Kontrol' and was left paused"))
        << r.err.toStdString();
}

TEST_F(DornelTest, ADisplayThatCannotBeOpenedMeansAHeadlessRun)
{
    // What a scheduled job or a service inherits: a display named, and gone.
    addDocument(10, 2, "Büyük siparişler", block("B0.0", kReport, minParameter("fact", "15")));
    const struct {
        const char* variable;
        const char* value;
    } stale[] = {{"DISPLAY", ":9871"}, {"WAYLAND_DISPLAY", "wayland-gone"}};
    for (const auto& c : stale) {
        m_adjustEnvironment = [&](QProcessEnvironment& env) {
            env.remove("QT_QPA_PLATFORM");
            env.insert("XDG_RUNTIME_DIR", m_dir.path());
            env.insert(c.variable, c.value);
        };
        const RunResult r = run("/server:demo /db:catalogue /docid:10");
        EXPECT_EQ(r.exitCode, launcher::ExitFinished) << c.variable << ": " << r.err.toStdString();
        EXPECT_TRUE(QFileInfo(r.out).isFile()) << c.variable << ": " << r.out.toStdString();
    }
}

TEST_F(DornelTest, EveryFolderMadeForTheOutputIsTheUsersAlone)
{
    addDocument(10, 2, "Büyük siparişler", block("B0.0", kReport, minParameter("fact", "15")));
    const QString exports = m_dir.filePath("nest/a/b");
    const QString logs = m_dir.filePath("logs/c/d");
    m_adjustEnvironment = [&](QProcessEnvironment& env) {
        env.insert("ORRA_EXPORT_DIR", exports);
        env.insert("ORRA_LOG_DIR", logs);
    };
    m_childSetup = [] { ::umask(022); };
    RunResult r = run("/server:demo /db:catalogue /docid:10");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(exports + "/")) << r.out.toStdString();
    r = run("/server:demo /db:catalogue /debug:on /docid:99");   // no such document: logged
    EXPECT_EQ(r.exitCode, launcher::ExitFailed) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(logs + "/Dornelerr.txt"));
    for (const char* made : {"nest", "nest/a", "nest/a/b", "logs", "logs/c", "logs/c/d"}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(m_dir.filePath(made)).constData(), &st), 0) << made;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
}

TEST_F(DornelTest, AReportLargerThanASheetContinuesOnASecondSheetAndSaysSoOnce)
{
    // 16^5 = 1,048,576 rows: one more than a sheet holds below its header.
    addDocument(30, 2, "Büyük",
        block("B0.0", kDigits)
            + block("B0.1",
                "select a.d*65536 + b.d*4096 + c.d*256 + e.d*16 + f.d + 1 N into #Report "
                "from #D a, #D b, #D c, #D e, #D f"));
    const RunResult r = run("/server:demo /db:catalogue /docid:30");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    const QString warning = "they continue on the sheet \"Sheet1 (2)\" of the same workbook.";
    EXPECT_EQ(r.err.count(warning), 1) << r.err.toStdString();
    XlsxTestReader book(r.out);
    EXPECT_EQ(book.sheetNames(), (QStringList{"Sheet1", "Sheet1 (2)"}));
    auto second = book.cells("Sheet1 (2)");
    EXPECT_EQ(second["A1"].text, "N");
    EXPECT_EQ(second.count("A2"), 1u);
    EXPECT_EQ(second.count("A3"), 0u);
}

TEST_F(DornelTest, AKilledExportLeavesNoFileUnderAReportsName)
{
    // 16^4 x 4 rows of three columns: long enough an export to be killed in the middle.
    addDocument(31, 2, "Uzun",
        block("B0.0", kDigitsAndQuarters)
            + block("B0.1",
                "select a.d*16384 + b.d*1024 + c.d*64 + e.d*4 + f.d + 1 N, 'Satır' Ad, 2.5 Tutar into #Report "
                "from #D a, #D b, #D c, #D e, #E f"));
    addDocument(10, 2, "Büyük siparişler", block("B0.0", kReport, minParameter("fact", "15")));
    // Killed when the export makes its first file, and again once workbook bytes reach the disk.
    for (const bool bytesWritten : {false, true}) {
        QProcess p;
        start(p, "/server:demo /db:catalogue /docid:31");
        ASSERT_TRUE(p.waitForStarted());
        bool killed = false;
        QElapsedTimer clock;
        clock.start();
        while (!killed && p.state() == QProcess::Running && clock.elapsed() < 120000) {
            for (const QFileInfo& f : QDir(m_export).entryInfoList(QDir::Files | QDir::Hidden))
                if (!bytesWritten || f.size() > 0) killed = true;
            if (killed)
                p.kill();
            else
                QThread::usleep(200);
        }
        p.waitForFinished();
        ASSERT_TRUE(killed) << "the run ended before its export could be killed: "
                            << p.readAllStandardError().toStdString();
        EXPECT_TRUE(exported().isEmpty())
            << (bytesWritten ? "while writing: " : "at the start: ") << exported().join(", ").toStdString();
    }
    // What the killed runs left does not stand in the next one's way.
    const RunResult r = run("/server:demo /db:catalogue /docid:10");
    EXPECT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    EXPECT_EQ(exported().size(), 1);
    EXPECT_TRUE(QFileInfo(r.out).isFile());
}

namespace {

// The launcher's address space ends at 768 MB.
void limitAddressSpace()
{
    const rlimit limit{rlim_t(768) << 20, rlim_t(768) << 20};
    ::setrlimit(RLIMIT_AS, &limit);
}

}   // namespace

TEST_F(DornelTest, MemoryRunningOutStopsTheRunWithErrorSeven)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
    // A script filling a Dictionary, and a statement whose rows do not fit: each stops the run
    // with error 7, reported, and nothing is exported.
    const QString filling = "Set d = CreateObject(\"Scripting.Dictionary\")\n"
                            "i = 0\n"
                            "Do\n"
                            "  i = i + 1\n"
                            "  Set e = CreateObject(\"Scripting.Dictionary\")\n"
                            "  e.Add \"a\", Space(100)\n"
                            "  d.Add CStr(i), e\n"
                            "Loop\n";
    addDocument(40, 2, "Sözlük",
        block("B0.0", "select 1 N into #Report", "<Script ID=\"B0.0.X0\" Name=\"X0\"><![CDATA[" + filling + "]]></Script>"));
    // 2^18 rows of 2,000 characters: #Report is made on the server, and the export's read of
    // it does not fit.
    addDocument(42, 2, "Büyük rapor",
        block("B0.0", kDigitsAndQuarters)
            + block("B0.1",
                "select a.d*16384 + b.d*1024 + c.d*64 + e.d*4 + f.d N, '" + QString(2000, 'x') + "' Metin "
                "into #Report from #D a, #D b, #D c, #D e, #E f"));
    addDocument(41, 2, "Geniş",
        block("B0.0", kDigits)
            + block("B0.1",
                "select a.d*65536 + b.d*4096 + c.d*256 + e.d*16 + f.d N, '" + QString(1000, 'x') + "' Metin "
                "from #D a, #D b, #D c, #D e, #D f"));
    m_childSetup = limitAddressSpace;
    for (const char* id : {"40", "41", "42"}) {
        const RunResult r = run(QStringLiteral("/server:demo /db:catalogue /docid:") + id);
        EXPECT_EQ(r.exitCode, launcher::ExitRunError) << id << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Out of memory")) << id << ": " << r.err.toStdString();
        EXPECT_TRUE(exported().isEmpty()) << id << ": " << exported().join(", ").toStdString();
    }
}
