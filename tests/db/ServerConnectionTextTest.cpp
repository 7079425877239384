// The one builder of SQL Server connection texts: the configured driver, and values that hold
// ";", "{", "}", "=" and outer blanks read back exactly.
#include "platform/db/ConnectionString.h"
#include "platform/db/Connection.h"
#include "platform/db/ServerConnectionText.h"
#include "platform/db/odbc/OdbcBackend.h"

#include <gtest/gtest.h>
#include "tests/db/Printers.h"

using namespace orra::db;

namespace {

struct DriverSetting {
    explicit DriverSetting(const char* name) { qputenv("ORRA_ODBC_DRIVER", name); }
    ~DriverSetting() { qunsetenv("ORRA_ODBC_DRIVER"); }
};

const QStringList kAwkward = {QStringLiteral("srv;Trusted_Connection=No"), QStringLiteral("{braced}"),
    QStringLiteral("a}b{c"), QStringLiteral(" blanks around "), QStringLiteral("x=y"), QStringLiteral("plain"),
    QStringLiteral("}}"), QStringLiteral("İzmir Şube")};

}   // namespace

TEST(ServerConnectionText, NamesTheConfiguredDriver)
{
    DriverSetting setting("SQLite3");
    ServerLogOn logOn;
    logOn.server = QStringLiteral("nosuch");
    logOn.database = QStringLiteral("catalogue");
    const QString text = ServerConnectionText(logOn);
    EXPECT_EQ(text, QStringLiteral("Driver={SQLite3};Server=nosuch;Database=catalogue;Trusted_Connection=Yes;"));
    const ConnectionString cs = ConnectionString::parse(text);
    EXPECT_EQ(cs.value(QStringLiteral("Driver")), QStringLiteral("SQLite3"));
    // and that is what reaches the driver manager
    EXPECT_TRUE(odbc::OdbcBackend::driverConnectionText(cs, QString(), QString()).startsWith(u"Driver={SQLite3};"));
}

TEST(ServerConnectionText, ValuesComeBackExactly)
{
    DriverSetting setting("Free}TDS");
    for (const QString& value : kAwkward) {
        ServerLogOn logOn;
        logOn.server = value;
        logOn.database = value + QStringLiteral("db");
        logOn.trusted = false;
        logOn.login = value;
        logOn.password = QStringLiteral("p;") + value;
        logOn.persistSecurityInfo = true;
        const ConnectionString cs = ConnectionString::parse(ServerConnectionText(logOn));
        EXPECT_EQ(cs.value(QStringLiteral("Driver")), QStringLiteral("Free}TDS")) << value.toStdString();
        EXPECT_EQ(cs.value(QStringLiteral("Server")), value);
        EXPECT_EQ(cs.value(QStringLiteral("Database")), value + QStringLiteral("db"));
        EXPECT_EQ(cs.value(QStringLiteral("UID")), value);
        EXPECT_EQ(cs.value(QStringLiteral("PWD")), QStringLiteral("p;") + value);
        EXPECT_FALSE(cs.contains(QStringLiteral("Trusted_Connection"))) << value.toStdString();
        EXPECT_EQ(cs.items().size(), 6) << value.toStdString();
    }
}

TEST(ServerConnectionText, SqlServerInOldTextsIsTheConfiguredDriver)
{
    DriverSetting setting("FreeTDS");
    EXPECT_EQ(resolveDriverName(QStringLiteral("SQL Server")), QStringLiteral("FreeTDS"));
    EXPECT_EQ(resolveDriverName(QStringLiteral("{SQL Server}")), QStringLiteral("FreeTDS"));
    EXPECT_EQ(resolveDriverName(QStringLiteral("sql server")), QStringLiteral("FreeTDS"));
    EXPECT_EQ(resolveDriverName(QStringLiteral("SQLite3")), QStringLiteral("SQLite3"));
    // a text whose driver was braced twice still reaches the configured driver
    const ConnectionString twice = ConnectionString::parse(QStringLiteral("Driver={{SQL Server}}};Server=s"));
    EXPECT_TRUE(odbc::OdbcBackend::driverConnectionText(twice, QString(), QString()).startsWith(u"Driver={FreeTDS};"));
}
