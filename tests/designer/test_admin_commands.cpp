// The catalogue pane's administration commands: what Properties, Manage Permissions and Manage
// Schemas hand to their dialogs and do on return, the dependencies window over a three-level
// include chain, and Execute starting the launcher (a recording script in its place) without
// waiting for it.

#include "AdminTestSupport.h"

#include "common/Permissions.h"
#include "designer/catalogue/AdministrationCommands.h"
#include "designer/catalogue/frmCallSchema.h"
#include "designer/catalogue/frmDependencies.h"
#include "designer/catalogue/frmProperties.h"
#include "designer/catalogue/frmpbOrra.h"
#include "designer/catalogue/frmRegister.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/frmMDIMain.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace orra;
using namespace morvane;

namespace {

class AdminCommands : public test::AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        setCatalogueServerName(server());
        setCatalogueDatabaseName(database());
        addCategory(1, 0, QStringLiteral("Sales"));
        addCategory(3, 1, QStringLiteral("Archive"));
        addCategory(4, 3, QStringLiteral("Old years"));
        addDocument(12, 4, QStringLiteral("Year 2001"), QStringLiteral("<Document ID=\"B0\"/>"));
        addDocument(31, 1, QStringLiteral("A"), QStringLiteral("<Document ID=\"B0\"/>"));
        addDocument(32, 1, QStringLiteral("B"), QStringLiteral("<Document ID=\"B0\"/>"));
        addDocument(33, 1, QStringLiteral("C"), QStringLiteral("<Document ID=\"B0\"/>"));
        // A includes B twice, B includes C: as the editor's save records the includes.
        admin->execute(QStringLiteral("insert into tbOrraRelations values (31, 32), (31, 32), (32, 33)"));
        pane = std::make_unique<frmpbOrra>();
        pane->show();
        pane->tvOrra()->expandAll();
    }
    void TearDown() override
    {
        if (frmDependencies* window = frmDependencies::instance(nullptr)) delete window;
        pane.reset();
        setCatalogueServerName(QString());
        setCatalogueDatabaseName(QString());
        qunsetenv("ORRA_DORNEL");
        AdminTest::TearDown();
    }

    void trigger(const QString& key, const char* item)
    {
        pane->tvOrra()->setCurrentItem(pane->tvOrra()->node(key));
        QAction* action = nullptr;
        for (QAction* a : pane->mnuPopuptvOrra()->actions())
            if (a->objectName() == QLatin1String(item)) action = a;
        ASSERT_NE(action, nullptr) << item;
        action->trigger();
    }

    static QStringList texts(QTreeWidget* list)
    {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
        return out;
    }

    std::unique_ptr<frmpbOrra> pane;
};

TEST_F(AdminCommands, PropertiesOpensTheFirstPageAndUpdatesTheNodeOnReturn)
{
    QString title;
    long objectId = -1;
    bool category = false, disabledIn = true;
    int page = -1;
    onModal = [&](QDialog* dialog) {
        auto* d = qobject_cast<frmProperties*>(dialog);
        EXPECT_NE(d, nullptr);
        if (!d) return 0;
        title = d->windowTitle();
        objectId = d->ObjectID;
        category = d->IsCategory;
        disabledIn = d->IsDisabled;
        page = d->CTabMain()->currentIndex();
        d->chcDisabled()->click();   // disables the category
        return 0;
    };
    trigger(QStringLiteral("C3"), "mnuPopuptvOrraProperties");
    EXPECT_EQ(modalRuns, 1);
    EXPECT_EQ(title, QStringLiteral("Properties for Archive"));
    EXPECT_EQ(objectId, 3);
    EXPECT_TRUE(category);
    EXPECT_FALSE(disabledIn);
    EXPECT_EQ(page, 0);
    QTreeWidgetItem* node = pane->tvOrra()->node(QStringLiteral("C3"));
    EXPECT_TRUE(KeyedTree::checked(node));
    EXPECT_EQ(KeyedTree::foreColor(node) & 0xFFFFFF, DisabledItemColor() & 0xFFFFFF);
    EXPECT_TRUE(scalar(*admin, QStringLiteral("select Disabled from tbOrraCategory where ID=3")).toBool());

    // Clearing the box again leaves the node unchecked and black.
    trigger(QStringLiteral("C3"), "mnuPopuptvOrraProperties");
    EXPECT_TRUE(disabledIn);
    EXPECT_FALSE(KeyedTree::checked(node));
    EXPECT_EQ(KeyedTree::foreColor(node) & 0xFFFFFF, 0u);
}

TEST_F(AdminCommands, ManagePermissionsOpensTheSecurityPageAndLeavesTheNode)
{
    int page = -1;
    QString title;
    onModal = [&](QDialog* dialog) {
        auto* d = qobject_cast<frmProperties*>(dialog);
        page = d ? d->CTabMain()->currentIndex() : -1;
        title = dialog->windowTitle();
        if (d) d->chcDisabled()->click();
        return 0;
    };
    trigger(QStringLiteral("T12"), "mnuPopuptvOrraManagePermissions");
    EXPECT_EQ(page, 1);
    EXPECT_EQ(title, QStringLiteral("Properties for Year 2001"));
    EXPECT_FALSE(KeyedTree::checked(pane->tvOrra()->node(QStringLiteral("T12"))));
}

TEST_F(AdminCommands, ManageSchemasHandsTheDocumentAndItsPathForTheLauncher)
{
    QString title, path;
    long docId = -1;
    onModal = [&](QDialog* dialog) {
        auto* d = qobject_cast<frmCallSchema*>(dialog);
        EXPECT_NE(d, nullptr);
        if (d) {
            title = d->windowTitle();
            path = d->txtPath()->text();
            docId = d->DocID;
        }
        return 0;
    };
    trigger(QStringLiteral("T12"), "mnuPopuptvOrraManageSchemas");
    EXPECT_EQ(title, QStringLiteral("Schemas for Year 2001"));
    EXPECT_EQ(path, QStringLiteral("root\\Sales\\Archive\\Old years\\Year 2001"));
    EXPECT_EQ(docId, 12);
}

TEST_F(AdminCommands, ManageSchemasIsRefusedUpFrontWithoutTheChangeRight)
{
    const long bob = addUser(QStringLiteral("bob"));
    allowDoc(12, bob, rightEdit | rightExecute, 0);
    allowDoc(31, bob, rightEdit | rightChange, 0);
    logOnAs(QStringLiteral("bob"), QStringLiteral("pw_bob"));
    QList<long> opened;
    onModal = [&](QDialog* dialog) {
        if (auto* d = qobject_cast<frmCallSchema*>(dialog)) opened << d->DocID;
        return 0;
    };
    trigger(QStringLiteral("T12"), "mnuPopuptvOrraManageSchemas");
    trigger(QStringLiteral("T31"), "mnuPopuptvOrraManageSchemas");
    EXPECT_EQ(opened, QList<long>{31});
    EXPECT_EQ(scripted.messages, QStringList{QStringLiteral("Permission Denied : You could not change this document")});
}

TEST_F(AdminCommands, DependenciesListsIncludersAndIncludedOnceEach)
{
    trigger(QStringLiteral("T32"), "mnuPopuptvOrraDependencies");
    frmDependencies* window = frmDependencies::instance(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Dependencies for B"));
    EXPECT_EQ(texts(window->lwDepandCurDoc()), QStringList{"A"});
    EXPECT_EQ(texts(window->lwCurDocDepand()), QStringList{"C"});
    EXPECT_EQ(window->lwDepandCurDoc()->headerItem()->text(0), QStringLiteral("Name"));

    trigger(QStringLiteral("T31"), "mnuPopuptvOrraDependencies");
    EXPECT_EQ(frmDependencies::instance(nullptr), window);   // reused
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Dependencies for A"));
    EXPECT_TRUE(texts(window->lwDepandCurDoc()).isEmpty());
    EXPECT_EQ(texts(window->lwCurDocDepand()), QStringList{"B"});   // two includes, listed once

    trigger(QStringLiteral("T12"), "mnuPopuptvOrraDependencies");
    EXPECT_TRUE(texts(window->lwDepandCurDoc()).isEmpty());
    EXPECT_TRUE(texts(window->lwCurDocDepand()).isEmpty());

    // Activation refills: a relation recorded meanwhile appears.
    admin->execute(QStringLiteral("insert into tbOrraRelations values (33, 12)"));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window, &activate);
    EXPECT_EQ(texts(window->lwDepandCurDoc()), QStringList{"C"});

    // A double-click opens the listed document; without a selection nothing happens.
    window->OpenSelected(window->lwDepandCurDoc());
    EXPECT_EQ(test::TestDocumentWindow::created, 0);
    window->lwDepandCurDoc()->setCurrentItem(window->lwDepandCurDoc()->topLevelItem(0));
    window->OpenSelected(window->lwDepandCurDoc());
    EXPECT_EQ(test::TestDocumentWindow::loadedDocIds, QList<int>{33});
}

// A launcher in place of dornel that appends its process number and arguments to a file.
class RecordingLauncher {
public:
    explicit RecordingLauncher(const QString& folderName = QStringLiteral("bin"))
    {
        const QString folder = m_dir.filePath(folderName);
        QDir().mkpath(folder);
        program = QDir(folder).filePath(QStringLiteral("dornel"));
        record = m_dir.filePath(QStringLiteral("record.txt"));
        QFile script(program);
        script.open(QIODevice::WriteOnly);
        script.write(
            QStringLiteral("#!/bin/sh\nsleep 1\nprintf '%s|%s\\n' \"$$\" \"$*\" >> '%1'\n").arg(record).toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        qputenv("ORRA_DORNEL", program.toUtf8());
    }
    QStringList lines(int expected) const
    {
        QElapsedTimer timer;
        timer.start();
        QStringList out;
        while (timer.elapsed() < 15000) {
            QFile f(record);
            if (f.open(QIODevice::ReadOnly))
                out = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (out.size() >= expected) break;
            QTest::qWait(50);
        }
        return out;
    }
    QTemporaryDir m_dir;
    QString program, record;
};

TEST_F(AdminCommands, ExecuteStartsTheLauncherWithTheCatalogueAndTheDocumentAndDoesNotWait)
{
    RecordingLauncher launcher(QStringLiteral("my tools"));   // a blank in the folder's name
    EXPECT_EQ(LauncherProgram(), launcher.program);
    QElapsedTimer timer;
    timer.start();
    trigger(QStringLiteral("T12"), "mnuPopuptvOrraExecute");
    trigger(QStringLiteral("T12"), "mnuPopuptvOrraExecute");
    EXPECT_LT(timer.elapsed(), 900);   // the script sleeps a second before it records
    const QStringList lines = launcher.lines(2);
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    const QString expected = QStringLiteral("/Server:permsrv /DB:cat /docid:12 /userid:sa");   // the designer's login
    EXPECT_EQ(lines[0].section(QLatin1Char('|'), 1), expected);
    EXPECT_EQ(lines[1].section(QLatin1Char('|'), 1), expected);
    EXPECT_NE(lines[0].section(QLatin1Char('|'), 0, 0), lines[1].section(QLatin1Char('|'), 0, 0));   // two processes
    EXPECT_TRUE(scripted.messages.isEmpty()) << scripted.messages.join('|').toStdString();
}

TEST_F(AdminCommands, AMissingLauncherIsReported)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("dornel"));
    qputenv("ORRA_DORNEL", missing.toUtf8());
    EXPECT_FALSE(ExecuteDocument(12));
    EXPECT_EQ(scripted.last(), QStringLiteral("The launcher could not be started: ") + missing);
    qunsetenv("ORRA_DORNEL");
    EXPECT_EQ(LauncherProgram(), QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("dornel")));
}

TEST_F(AdminCommands, TheLauncherIsFoundWhereTheBuildAndAnInstallationPutIt)
{
    QTemporaryDir dir;
    for (const char* program : {"build/launcher/dornel", "prefix/bin/dornel"}) {
        QDir().mkpath(QFileInfo(dir.filePath(program)).path());
        QFile file(dir.filePath(program));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
    QDir().mkpath(dir.filePath("build/designer"));
    QDir().mkpath(dir.filePath("lonely"));
    const struct {
        const char* designerFolder;
        const char* launcher;
    } cases[] = {
        {"build/designer", "build/launcher/dornel"},   // the build tree, as README runs the designer
        {"prefix/bin", "prefix/bin/dornel"},           // installed: the programs share a folder
        {"lonely", "lonely/dornel"},                   // none: the one beside, which a failure names
    };
    for (const auto& c : cases)
        EXPECT_EQ(LauncherProgram(dir.filePath(c.designerFolder)), dir.filePath(c.launcher)) << c.designerFolder;
    qputenv("ORRA_DORNEL", "/opt/orra/dornel");   // still first
    EXPECT_EQ(LauncherProgram(dir.filePath("build/designer")), QStringLiteral("/opt/orra/dornel"));
}

TEST_F(AdminCommands, TheMainWindowsItemsReachTheSameCommands)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    pane.reset();
    auto mainWindow = std::make_unique<frmMDIMain>();
    pane = std::make_unique<frmpbOrra>();   // registers its commands with the main window
    pane->tvOrra()->expandAll();
    QStringList shown;
    onModal = [&](QDialog* dialog) {
        shown << dialog->objectName() + QLatin1Char(' ') + dialog->windowTitle();
        return 0;
    };
    mainWindow->menuItem(QStringLiteral("mnuFileRegisterServer"))->trigger();
    pane->tvOrra()->setCurrentItem(pane->tvOrra()->node(QStringLiteral("T12")));
    mainWindow->menuItem(QStringLiteral("mnuPopuptvOrraProperties"))->trigger();
    mainWindow->menuItem(QStringLiteral("mnuPopuptvOrraManageSchemas"))->trigger();
    EXPECT_EQ(shown,
        (QStringList{"frmRegister Register Server", "frmProperties Properties for Year 2001",
            "frmCallSchema Schemas for Year 2001"}));
    scripted.inputs.enqueue(QStringLiteral("nosuch"));
    mainWindow->menuItem(QStringLiteral("mnuFileUnRegisterServer"))->trigger();
    EXPECT_EQ(scripted.last(), QStringLiteral("The server 'nosuch' is not registered."));
    pane.reset();
    mainWindow.reset();
    qunsetenv("XDG_CONFIG_HOME");
}

}   // namespace
