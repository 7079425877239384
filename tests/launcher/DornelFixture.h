#pragma once
// A fixture for running dornel as a process against an embedded server "demo": a catalogue
// with the categories root\Satış\Aylık (IDs 1 and 2), a "sales" database with three orders,
// and the registry entry of "demo" (trusted log-on, database sales).

#include "catalogue/EmbeddedCatalogue.h"
#include "common/CatalogueChecksums.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace orra::test {

struct RunResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class DornelFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_servers = m_dir.filePath("servers");
        m_export = m_dir.filePath("export");
        m_log = m_dir.filePath("log");
        QDir().mkpath(m_servers);
        QDir().mkpath(m_export);
        QDir().mkpath(m_log);
        m_oldServers = qgetenv("ORRA_SERVERS");
        qputenv("ORRA_SERVERS", m_servers.toLocal8Bit());

        orra::catalogue::registerEmbeddedCatalogue();
        orra::catalogue::createEmbeddedServer("demo");   // the operating-system user administers it
        orra::catalogue::createEmbeddedCatalogue("demo", "catalogue");
        orra::embedded::createDatabase("demo", "sales");
        m_catalogue.open(orra::embedded::connectionText("demo", "catalogue"));
        orra::db::Connection sales;
        sales.open(orra::embedded::connectionText("demo", "sales"));
        sales.execute("create table Orders (ID int primary key, Customer varchar(40), Amount float)");
        sales.execute("insert into Orders values (1, 'Ayşe', 10.5), (2, 'Barış', 20), (3, 'Cem', 30.25)");

        // The registry lists the data server "demo" (trusted log-on, database sales).
        orra::db::Connection mat;
        mat.open(orra::embedded::connectionText("demo", "mat"));
        mat.execute(
            "insert into tbOrraConnections (Server, IP, [Database], UserName, UserPwd) values (?, '', ?, '', '')",
            {QStringLiteral("demo"), QStringLiteral("sales")});

        m_catalogue.execute("insert into tbOrraCategory (ID, ParentID, Name, Type, Disabled, Owner, CheckSum) "
                            "values (1, 0, 'Satış', 'C', 0, suser_sid(), 0)");
        m_catalogue.execute("insert into tbOrraCategory (ID, ParentID, Name, Type, Disabled, Owner, CheckSum) "
                            "values (2, 1, 'Aylık', 'C', 0, suser_sid(), 0)");
        orra::UpdateCategoryCheckSum(m_catalogue, "catalogue", 1);
        orra::UpdateCategoryCheckSum(m_catalogue, "catalogue", 2);
    }

    void TearDown() override
    {
        m_catalogue.close();
        if (m_oldServers.isNull())
            qunsetenv("ORRA_SERVERS");
        else
            qputenv("ORRA_SERVERS", m_oldServers);
    }

    void addDocument(int id, int category, const QString& name, const QString& body, const QString& server = "demo")
    {
        const QString xml =
            "<Document ID=\"B0\" Server=\"" + server + "\"><![CDATA[" + name + "]]>" + body + "</Document>";
        m_catalogue.execute(
            "insert into tbOrraSQL (ID, CategoryID, Name, Description, Type, Disabled, SQLtxt, Owner, CheckSum) "
            "values (?, ?, ?, '', 'T', 0, ?, suser_sid(), 0)",
            {id, category, name, xml});
        ASSERT_TRUE(orra::UpdateDocumentCheckSum(m_catalogue, "catalogue", id));
    }

    static QString block(const QString& id, const QString& sql, const QString& inner = QString())
    {
        return "<Block ID=\"" + id + "\" Name=\"" + id + "\"><![CDATA[" + sql + "]]>" + inner + "</Block>";
    }

    // Starts dornel in p with the fixture's folders, headless.
    void start(QProcess& p, const QString& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORRA_SERVERS", m_servers);
        env.insert("ORRA_EXPORT_DIR", m_export);
        env.insert("ORRA_LOG_DIR", m_log);
        env.insert("ORRA_NO_OPEN", "1");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        if (m_adjustEnvironment) m_adjustEnvironment(env);
        p.setProcessEnvironment(env);
        if (m_childSetup) p.setChildProcessModifier(m_childSetup);
        p.start(QString::fromUtf8(ORRA_BINARY_DIR) + "/launcher/dornel", QProcess::splitCommand(args));
    }

    // workingDirectory: where dornel runs (a driver may make files there).
    RunResult run(const QString& args, const QString& workingDirectory = QString())
    {
        QProcess p;
        if (!workingDirectory.isEmpty()) p.setWorkingDirectory(workingDirectory);
        start(p, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        RunResult r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QStringList exported() const { return QDir(m_export).entryList({"*.xlsx"}, QDir::Files); }

    QTemporaryDir m_dir;
    QString m_servers, m_export, m_log;
    std::function<void(QProcessEnvironment&)> m_adjustEnvironment;   // last word on the run's environment
    std::function<void()> m_childSetup;   // runs in the child before dornel starts (limits)
    QByteArray m_oldServers;
    orra::db::Connection m_catalogue;
};

}   // namespace orra::test
