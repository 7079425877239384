// dornel on servers that are not embedded: with the SQLite ODBC driver registered under a name
// of our own in a private odbcinst.ini and ORRA_ODBC_DRIVER naming it, the catalogue, the
// registry's data servers and a script's MakeConnection all reach that driver; whatever fails
// then is the driver's word, never the driver manager's "Can't open lib".

#include "launcher/Dornel.h"
#include "platform/db/Connection.h"
#include "tests/launcher/DornelFixture.h"
#include "tests/spreadsheet/XlsxTestReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orra;
using orra::test::RunResult;
using orra::testing::XlsxTestReader;

namespace {

const char* kDriverPath = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// The "#" form of an option value, so that a path's "/" does not split the command line:
// each block of eight characters as eight numbers, number k holding bit k-1 of each.
QString hashForm(const QByteArray& text)
{
    QByteArray padded = text;
    while (padded.size() % 8) padded.append('\0');
    QString out = "#";
    for (qsizetype b = 0; b < padded.size(); b += 8)
        for (int k = 0; k < 8; ++k) {
            int n = 0;
            for (int j = 0; j < 8; ++j) n |= ((uchar(padded[b + j]) >> k) & 1) << j;
            out += QString::number(n) + ";";
        }
    return out;
}

class DornelOdbcTest : public orra::test::DornelFixture {
protected:
    void SetUp() override
    {
        DornelFixture::SetUp();
        ASSERT_TRUE(QFileInfo::exists(QString::fromLatin1(kDriverPath)))
            << "the SQLite ODBC driver (Debian libsqliteodbc) is required";
        QFile ini(m_odbc.filePath("odbcinst.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(
            QByteArray("[Orra Lite]\nDescription=SQLite3 standing in for SQL Server\nDriver=") + kDriverPath + "\n");
        ini.close();
        QFile(m_odbc.filePath("odbc.ini")).open(QIODevice::WriteOnly);
        m_saved = {qgetenv("ODBCSYSINI"), qgetenv("ODBCINSTINI"), qgetenv("ODBCINI"), qgetenv("ORRA_ODBC_DRIVER")};
        qputenv("ODBCSYSINI", m_odbc.path().toLocal8Bit());
        qputenv("ODBCINSTINI", "odbcinst.ini");
        qputenv("ODBCINI", m_odbc.filePath("odbc.ini").toLocal8Bit());
        qputenv("ORRA_ODBC_DRIVER", "Orra Lite");
        m_work = m_dir.filePath("work");
        QDir().mkpath(m_work);
    }

    void TearDown() override
    {
        const char* names[] = {"ODBCSYSINI", "ODBCINSTINI", "ODBCINI", "ORRA_ODBC_DRIVER"};
        for (int i = 0; i < 4; ++i) {
            if (m_saved[i].isNull())
                qunsetenv(names[i]);
            else
                qputenv(names[i], m_saved[i]);
        }
        DornelFixture::TearDown();
    }

    // The registry row of a data server that is not embedded.
    void registerServer(const QString& server, const QString& database)
    {
        db::Connection mat;
        mat.open(embedded::connectionText("demo", "mat"));
        mat.execute(
            "insert into tbOrraConnections (Server, IP, [Database], UserName, UserPwd) values (?, '', ?, '', '')",
            {server, database});
    }

    static void expectFromTheDriver(const RunResult& r)
    {
        EXPECT_TRUE(r.err.contains("[SQLite]")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("Can't open lib")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("SQL Server")) << r.err.toStdString();
    }

    QTemporaryDir m_odbc;
    QString m_work;
    std::vector<QByteArray> m_saved;
};

}   // namespace

TEST_F(DornelOdbcTest, TheCatalogueOfAServerThatIsNotEmbeddedIsOpenedByTheConfiguredDriver)
{
    // The driver opens (and so makes) the database named by /db in the working folder; the
    // catalogue's tables are not there, and the driver says so.
    RunResult r = run("/server:nosuch /db:catalogue /docid:3", m_work);
    EXPECT_EQ(r.exitCode, launcher::ExitFailed) << r.err.toStdString();
    expectFromTheDriver(r);
    EXPECT_TRUE(r.err.contains("no such table")) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(QDir(m_work).filePath("catalogue")));

    // A database the driver cannot open: a connection failure, told by the driver.
    r = run(
        "/server:nosuch \"/db:" + hashForm(m_dir.filePath("missing/folder/catalogue").toLocal8Bit()) + "\" /docid:3",
        m_work);
    EXPECT_EQ(r.exitCode, launcher::ExitConnectionFailed) << r.err.toStdString();
    expectFromTheDriver(r);
    EXPECT_TRUE(r.err.contains("connect failed")) << r.err.toStdString();
}

TEST_F(DornelOdbcTest, ARegisteredDataServerIsReachedThroughTheConfiguredDriver)
{
    // The document's server is registered with a database the driver opens: the run gets as far
    // as making its temporary table, which plain SQLite refuses.
    const QString file = m_dir.filePath("data.db");
    registerServer("remote", file);
    addDocument(30, 2, "Uzak", block("B0.0", "select 1 x into #Report"), "remote");
    RunResult r = run("/server:demo /db:catalogue /docid:30", m_work);
    EXPECT_EQ(r.exitCode, launcher::ExitRunError) << r.err.toStdString();
    expectFromTheDriver(r);
    EXPECT_TRUE(QFileInfo::exists(file));

    registerServer("gone", m_dir.filePath("missing/folder/data.db"));
    addDocument(31, 2, "Kayıp", block("B0.0", "select 1 x into #Report"), "gone");
    r = run("/server:demo /db:catalogue /docid:31", m_work);
    EXPECT_EQ(r.exitCode, launcher::ExitConnectionFailed) << r.err.toStdString();
    expectFromTheDriver(r);
    EXPECT_TRUE(r.err.contains("connect failed")) << r.err.toStdString();
}

TEST_F(DornelOdbcTest, AScriptsMakeConnectionReachesTheConfiguredDriver)
{
    // MakeConnection names no database: the SQLite driver then opens a database of its own in
    // memory, and the script reads the SQLite version through it into the report.
    registerServer("remote", QString());
    const QString script = "Set c = MakeConnection(OrraCon, \"remote\")\n"
                           "Set rs = c.Execute(\"select sqlite_version() v\")\n"
                           "OrraCon.Execute \"insert into #Report values ('\" & rs(\"v\") & \"')\"\n"
                           "c.Close\n";
    addDocument(32, 2, "Betik",
        block("B0.0", "create table #Report (V varchar(20))",
            "<Script ID=\"B0.0.X0\" Name=\"X0\"><![CDATA[" + script + "]]></Script>"));
    // The SQLite driver keeps about a hundred bytes of a connection that names no database (a
    // bare SQLDriverConnect shows the same), so a sanitizer build checks this run without leaks.
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    qputenv("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "detect_leaks=0");
    const RunResult r = run("/server:demo /db:catalogue /docid:32", m_work);
    if (asan.isNull())
        qunsetenv("ASAN_OPTIONS");
    else
        qputenv("ASAN_OPTIONS", asan);
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    ASSERT_EQ(exported().size(), 1);
    XlsxTestReader book(r.out);
    auto cells = book.cells();
    EXPECT_EQ(cells["A1"].text, "V");
    EXPECT_TRUE(cells["A2"].text.startsWith("3.")) << cells["A2"].text.toStdString();
}
