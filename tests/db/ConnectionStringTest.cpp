#include "platform/db/ConnectionString.h"

#include <gtest/gtest.h>
#include "tests/db/Printers.h"

using orra::db::ConnectionString;

TEST(ConnectionString, ParsesKeysCaseInsensitivelyAndTrims)
{
    const auto cs = ConnectionString::parse(QStringLiteral(
        "Driver={SQL Server};Server=srv1;Persist Security Info=false;OLE DB Services = -4;;Database=mat"));
    EXPECT_EQ(cs.value(QStringLiteral("driver")), QStringLiteral("SQL Server"));
    EXPECT_EQ(cs.value(QStringLiteral("SERVER")), QStringLiteral("srv1"));
    EXPECT_EQ(cs.value(QStringLiteral("OLE DB Services")), QStringLiteral("-4"));
    EXPECT_EQ(cs.value(QStringLiteral("Database")), QStringLiteral("mat"));
    EXPECT_EQ(cs.items().size(), 5);
    EXPECT_FALSE(cs.contains(QStringLiteral("UID")));
    EXPECT_EQ(cs.value(QStringLiteral("UID"), QStringLiteral("none")), QStringLiteral("none"));
}

TEST(ConnectionString, BracedValuesKeepSemicolons)
{
    const auto cs = ConnectionString::parse(QStringLiteral("PWD={a;b}}c};UID=x"));
    EXPECT_EQ(cs.value(QStringLiteral("pwd")), QStringLiteral("a;b}c"));
    EXPECT_EQ(cs.value(QStringLiteral("uid")), QStringLiteral("x"));
    // and back: the value survives a round trip
    const auto again = ConnectionString::parse(cs.toString());
    EXPECT_EQ(again.value(QStringLiteral("PWD")), QStringLiteral("a;b}c"));
    EXPECT_EQ(cs.toString(), QStringLiteral("PWD={a;b}}c};UID=x;"));
}

TEST(ConnectionString, SynonymsSetRemoveTrusted)
{
    auto cs = ConnectionString::parse(QStringLiteral("Server=s;User ID=ali;Password=p"));
    EXPECT_EQ(cs.valueOf({"UID", "User ID"}), QStringLiteral("ali"));
    EXPECT_EQ(cs.valueOf({"PWD", "Password"}), QStringLiteral("p"));
    EXPECT_FALSE(cs.trusted());
    cs.set(QStringLiteral("trusted_connection"), QStringLiteral("Yes"));
    EXPECT_TRUE(cs.trusted());
    cs.remove(QStringLiteral("USER id"));
    EXPECT_FALSE(cs.contains(QStringLiteral("User ID")));
    EXPECT_TRUE(ConnectionString::parse(QStringLiteral("Integrated Security=SSPI")).trusted());
    // a repeated key: the last value wins
    EXPECT_EQ(ConnectionString::parse(QStringLiteral("A=1;a=2")).value(QStringLiteral("A")), QStringLiteral("2"));
}

TEST(ConnectionString, NamesItsServerByAnyOfTheProvidersKeysNeverByAPath)
{
    const struct {
        const char* text;
        const char* server;
        bool path;
    } cases[] = {
        {"Provider=SQLOLEDB;Data Source=demo;Initial Catalog=sales;Integrated Security=SSPI", "demo", false},
        {"Network Address=10.0.0.5,1433;Server=sql01", "sql01", false},
        {"Addr=sql01\\REPORTS", "sql01\\REPORTS", false},
        {"Address=tcp:sql01,1433", "tcp:sql01,1433", false},
        {"Data Source=.", ".", false},
        {"Data Source=(local)", "(local)", false},
        {"Data Source=/srv/orra/demo/master.db;Mode=Create", "/srv/orra/demo/master.db", true},
        {"Data Source=./made.db", "./made.db", true},
        {"Server=~/made.db", "~/made.db", true},
        {"Addr=C:\\data\\sales.mdb", "C:\\data\\sales.mdb", true},
        {"Data Source=file:made.db?mode=rwc", "file:made.db?mode=rwc", true},
        {"Database=sales", "", false},
    };
    for (const auto& c : cases) {
        const auto cs = ConnectionString::parse(QString::fromUtf8(c.text));
        EXPECT_EQ(cs.server(), QString::fromUtf8(c.server)) << c.text;
        EXPECT_EQ(ConnectionString::isPath(cs.server()), c.path) << c.text;
    }
}
