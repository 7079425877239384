// The designer's start-up on an embedded catalogue: command line, settings fallback, log-on,
// the names of record and the main window.

#include "ShellFixture.h"

#include "common/Connections.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/Startup.h"
#include "platform/db/embedded/Server.h"

#include <QAction>
#include <QMenu>
#include <QRegularExpression>

using namespace morvane;
using namespace morvane::test;

namespace {

class StartupTest : public ShellTest {
protected:
    void TearDown() override
    {
        delete frmMDIMain::instance();
        ShellTest::TearDown();
    }
};

}   // namespace

TEST_F(StartupTest, TrustedLogOnWithBothNamesShowsTheMainWindowWithoutAskingTheLogOn)
{
    makeCatalogue();
    ASSERT_EQ(Main({QStringLiteral("/server:shellsrv"), QStringLiteral("/database:cat"), QStringLiteral("/tc")}), 0);
    EXPECT_TRUE(ui.logOns.isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
    frmMDIMain* w = frmMDIMain::instance();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^Morvane V\\.\\d+\\.\\d+\\.\\d+$")).match(w->windowTitle()).hasMatch())
        << w->windowTitle().toStdString();
    EXPECT_EQ(catalogueServerName(), QStringLiteral("shellsrv"));
    EXPECT_EQ(catalogueDatabaseName(), QStringLiteral("cat"));
    EXPECT_EQ(w->panelText(QStringLiteral("Server")), QStringLiteral("shellsrv"));
    const QRegularExpression user(
        QStringLiteral("^%1 \\(\\d+\\)$").arg(QRegularExpression::escape(orra::embedded::osUserName())));
    EXPECT_TRUE(user.match(w->panelText(QStringLiteral("UserName"))).hasMatch())
        << w->panelText(QStringLiteral("UserName")).toStdString();
    // The connection cache starts with its one empty entry.
    EXPECT_EQ(orra::connectionCacheEntries().size(), 1);
    // The document commands start disabled.
    EXPECT_FALSE(w->toolbarButton(QStringLiteral("Save"))->isEnabled());
    EXPECT_FALSE(w->menu(QStringLiteral("mnuDoc"))->isEnabled());
}

TEST_F(StartupTest, MissingNamesComeFromTheSettings)
{
    makeCatalogue();
    writeSetting(QStringLiteral("Main Settings"), QStringLiteral("Server"), QStringLiteral("shellsrv"));
    writeSetting(QStringLiteral("Main Settings"), QStringLiteral("Database"), QStringLiteral("cat"));
    ASSERT_EQ(Main({QStringLiteral("/tc")}), 0);
    EXPECT_TRUE(ui.logOns.isEmpty());
    EXPECT_EQ(catalogueDatabaseName(), QStringLiteral("cat"));
}

TEST_F(StartupTest, TrustedLogOnWithOneNameMissingAsksTheLogOnAllTheSame)
{
    makeCatalogue();
    EXPECT_EQ(Main({QStringLiteral("/server:shellsrv"), QStringLiteral("/tc")}), 1);
    EXPECT_EQ(ui.logOns, QStringList{QStringLiteral("shellsrv/")});
    EXPECT_EQ(frmMDIMain::instance(), nullptr);
}

TEST_F(StartupTest, WithoutTheTrustedOptionTheLogOnIsAlwaysAsked)
{
    makeCatalogue();
    writeSetting(QStringLiteral("Main Settings"), QStringLiteral("Server"), QStringLiteral("shellsrv"));
    writeSetting(QStringLiteral("Main Settings"), QStringLiteral("Database"), QStringLiteral("cat"));
    EXPECT_EQ(Main({}), 1);   // the recorder refuses the log-on: the program ends
    EXPECT_EQ(ui.logOns, QStringList{QStringLiteral("shellsrv/cat")});
    EXPECT_EQ(frmMDIMain::instance(), nullptr);
}

TEST_F(StartupTest, TheNamesOfRecordAreThoseTheLogOnChose)
{
    makeCatalogue();
    ui.acceptLogOn = true;
    ui.changeDatabaseTo = QStringLiteral("cat");
    ASSERT_EQ(Main({QStringLiteral("/server:shellsrv"), QStringLiteral("/database:elsewhere")}), 0);
    EXPECT_EQ(catalogueDatabaseName(), QStringLiteral("cat"));
    ASSERT_TRUE(frmMDIMain::instance()->SaveSettings());
    EXPECT_EQ(storedSetting(QStringLiteral("Main Settings"), QStringLiteral("Database")), QStringLiteral("cat"));
    EXPECT_EQ(storedSetting(QStringLiteral("Main Settings"), QStringLiteral("Server")), QStringLiteral("shellsrv"));
}

TEST_F(StartupTest, AFaultyOptionIsOneMessageAndTheProgramEnds)
{
    EXPECT_EQ(Main({QStringLiteral("/server:A:1"), QStringLiteral("/database:cat"), QStringLiteral("/tc")}), 1);
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Hatalı parametre girisi\r\nParametre:server")});
    EXPECT_TRUE(ui.logOns.isEmpty());
    EXPECT_EQ(frmMDIMain::instance(), nullptr);
}

TEST_F(StartupTest, TabsAndLineBreaksAreCleanedFromTheCommandLine)
{
    makeCatalogue();
    ASSERT_EQ(
        Main({QStringLiteral("/server:shell\tsrv"), QStringLiteral("/database:c\r\nat"), QStringLiteral("/tc")}), 0);
    EXPECT_EQ(catalogueDatabaseName(), QStringLiteral("cat"));
}
