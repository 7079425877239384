// The designer's command line, case by case.

#include "designer/shell/Startup.h"
#include "platform/host/Error.h"

#include <gtest/gtest.h>

using morvane::ReadCommandLine;

namespace {

QString errorOf(const QString& line)
{
    try {
        ReadCommandLine(line);
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), -1);
        return e.description();
    }
    return QStringLiteral("<no error>");
}

const QString kServerError = QStringLiteral("Hatalı parametre girisi\r\nParametre:server");
const QString kDatabaseError = QStringLiteral("Hatalı parametre girisi\r\nParametre:database");

}   // namespace

TEST(CommandLine, EmptyGivesNoNamesAndNoTrustedLogOn)
{
    const auto o = ReadCommandLine(QString());
    EXPECT_TRUE(o.server.isEmpty());
    EXPECT_TRUE(o.database.isEmpty());
    EXPECT_FALSE(o.trusted);
}

TEST(CommandLine, ServerDatabaseAndTrustedInAnyCase)
{
    const auto o = ReadCommandLine(QStringLiteral("/SERVER:Prod1 /Database:Cat /TC"));
    EXPECT_EQ(o.server, QStringLiteral("Prod1"));
    EXPECT_EQ(o.database, QStringLiteral("Cat"));
    EXPECT_TRUE(o.trusted);
    EXPECT_TRUE(ReadCommandLine(QStringLiteral("/trustedconnection")).trusted);
    EXPECT_TRUE(ReadCommandLine(QStringLiteral("/  TrustedConnection  ")).trusted);
}

TEST(CommandLine, ValuesKeepTheirCaseAndTheBlankAfterTheColon)
{
    EXPECT_EQ(ReadCommandLine(QStringLiteral("/Server: abc")).server, QStringLiteral(" abc"));
    // The piece is trimmed before the split: a blank before the next option is not kept.
    EXPECT_EQ(ReadCommandLine(QStringLiteral("/server:MixedCase /tc")).server, QStringLiteral("MixedCase"));
}

TEST(CommandLine, PrefixRules)
{
    // "serverX:abc" is a server option: only the first six characters are tested.
    EXPECT_EQ(ReadCommandLine(QStringLiteral("/serverX:abc")).server, QStringLiteral("abc"));
    EXPECT_EQ(ReadCommandLine(QStringLiteral("/databases:xyz")).database, QStringLiteral("xyz"));
    // The prefix test does not trim: a blank in front is another option, and is ignored.
    EXPECT_TRUE(ReadCommandLine(QStringLiteral("/ server:abc")).server.isEmpty());
    // "tc" and the other flags are compared whole.
    EXPECT_FALSE(ReadCommandLine(QStringLiteral("/tcx")).trusted);
}

TEST(CommandLine, BadServerAndDatabasePiecesFailWithTheirTexts)
{
    EXPECT_EQ(errorOf(QStringLiteral("/server:A:1")), kServerError);
    EXPECT_EQ(errorOf(QStringLiteral("/server")), kServerError);
    EXPECT_EQ(errorOf(QStringLiteral("/database:a:b")), kDatabaseError);
    EXPECT_EQ(errorOf(QStringLiteral("/databaseX")), kDatabaseError);
    // The first faulty piece ends the reading.
    EXPECT_EQ(errorOf(QStringLiteral("/server /database")), kServerError);
}

TEST(CommandLine, SkipVersionCheckAndOtherPiecesChangeNothing)
{
    for (const char* line : {"/scv", "/SkipCheckVersion", "/foo", "file.txt /bar:1:2", "server:x"}) {
        const auto o = ReadCommandLine(QLatin1String(line));
        EXPECT_TRUE(o.server.isEmpty()) << line;
        EXPECT_TRUE(o.database.isEmpty()) << line;
        EXPECT_FALSE(o.trusted) << line;
    }
}

TEST(CommandLine, TextBeforeTheFirstSlashIsIgnored)
{
    const auto o = ReadCommandLine(QStringLiteral("server:ignored /database:d"));
    EXPECT_TRUE(o.server.isEmpty());
    EXPECT_EQ(o.database, QStringLiteral("d"));
}
