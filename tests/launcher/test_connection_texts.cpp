// The connection texts of every caller that reaches a SQL Server: the launcher's catalogue,
// the registry's data servers (launcher, run-time library and scripts' MakeConnection) and the
// designer's log-on. Each names the configured driver, and each value comes back from the
// parser exactly as given.

#include "common/Connections.h"
#include "common/DataSources.h"
#include "launcher/Dornel.h"
#include "platform/db/ConnectionString.h"

#include <gtest/gtest.h>

using namespace orra;
using db::ConnectionString;

namespace {

class ConnectionTexts : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = qgetenv("ORRA_ODBC_DRIVER");
        qputenv("ORRA_ODBC_DRIVER", "ODBC Driver 18 for SQL Server");
    }
    void TearDown() override
    {
        if (m_saved.isNull())
            qunsetenv("ORRA_ODBC_DRIVER");
        else
            qputenv("ORRA_ODBC_DRIVER", m_saved);
    }
    QByteArray m_saved;
};

const QStringList kValues = {"srv;Database=master", "{x}", "a}b", " padded ", "x=y", "İzmir\\Şube", "plain"};

}   // namespace

TEST_F(ConnectionTexts, TheLaunchersCatalogue)
{
    for (const QString& v : kValues) {
        ConnectionString cs = ConnectionString::parse(launcher::CatalogueConnectionText(v, v + "db", "", ""));
        EXPECT_EQ(cs.value("Driver"), "ODBC Driver 18 for SQL Server");
        EXPECT_EQ(cs.value("Server"), v);
        EXPECT_EQ(cs.value("Database"), v + "db");
        EXPECT_TRUE(cs.trusted());
        EXPECT_FALSE(cs.contains("UID"));

        cs = ConnectionString::parse(launcher::CatalogueConnectionText(v, "catalogue", v, "p;" + v + "}"));
        EXPECT_EQ(cs.value("Server"), v);
        EXPECT_EQ(cs.value("UID"), v);
        EXPECT_EQ(cs.value("PWD"), "p;" + v + "}");
        EXPECT_FALSE(cs.trusted()) << v.toStdString();
        EXPECT_EQ(cs.items().size(), 5) << v.toStdString();
    }
}

TEST_F(ConnectionTexts, RegisteredDataServers)
{
    for (const QString& v : kValues) {
        ConnectionString cs = ConnectionString::parse(DataSourceConnectionText(v, v, true));
        EXPECT_EQ(cs.value("Driver"), "ODBC Driver 18 for SQL Server");
        EXPECT_EQ(cs.value("Server"), v);
        EXPECT_EQ(cs.value("Database"), v);
        EXPECT_TRUE(cs.trusted());
        // a SQL login's name and password go to open(), never into the text; no database: the
        // login's default one (MakeConnection)
        cs = ConnectionString::parse(DataSourceConnectionText(v, QString(), false));
        EXPECT_EQ(cs.value("Server"), v);
        EXPECT_FALSE(cs.contains("Database"));
        EXPECT_FALSE(cs.trusted());
        EXPECT_FALSE(cs.contains("UID") || cs.contains("PWD")) << v.toStdString();
    }
}

TEST_F(ConnectionTexts, TheDesignersLogOn)
{
    for (const QString& v : kValues) {
        LogOnRequest request;
        request.server = v;
        request.database = "catalogue";
        request.trusted = false;
        request.login = v;
        request.password = "{" + v;
        ConnectionString cs = ConnectionString::parse(LogOnConnectionText(request, true));
        EXPECT_EQ(cs.value("Driver"), "ODBC Driver 18 for SQL Server");
        EXPECT_EQ(cs.value("Server"), v);
        EXPECT_EQ(cs.value("UID"), v);
        EXPECT_EQ(cs.value("PWD"), "{" + v);
        EXPECT_EQ(cs.value("Persist Security Info"), "True");
        request.trusted = true;
        cs = ConnectionString::parse(LogOnConnectionText(request, false));
        EXPECT_TRUE(cs.trusted());
        EXPECT_FALSE(cs.contains("UID") || cs.contains("Persist Security Info")) << v.toStdString();
    }
}
