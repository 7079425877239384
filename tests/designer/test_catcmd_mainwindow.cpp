// The catalogue commands reached through the main window's File menu, with document windows as
// children of its multiple-document area.

#include "designer/catalogue/frmSaveAs.h"
#include "designer/shell/frmMDIMain.h"
#include "tests/designer/CatcmdTestSupport.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>

using namespace morvane;

namespace orra::test {
namespace {

class CatcmdMainWindow : public CatcmdTest {
protected:
    void SetUp() override
    {
        CatcmdTest::SetUp();
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        addCategory(1, 0, QStringLiteral("Reports"));
        addCategory(2, 1, QStringLiteral("Monthly"));
        addDocument(10, 1, QStringLiteral("Alpha"),
            QStringLiteral("<Document ID=\"0\" Server=\"{FREE}\"><![CDATA[alpha]]></Document>"));
        RegisterCataloguePane();
        mainWindow = std::make_unique<frmMDIMain>();
        mainWindow->MDIForm_Load();
        mainWindow->show();
        form = qobject_cast<frmpbOrra*>(mainWindow->paneForm(QStringLiteral("frmpbOrra")));
    }
    void TearDown() override
    {
        for (QWidget* w : DocumentWindows()) delete w;
        mainWindow.reset();
        setPaneCreator(QStringLiteral("frmpbOrra"), nullptr);
        CatcmdTest::TearDown();
    }
    void trigger(const char* item) { mainWindow->menuItem(QString::fromLatin1(item))->trigger(); }
    void selectNode(const char* key) { form->tvOrra()->setCurrentItem(form->tvOrra()->node(QString::fromLatin1(key))); }

    QTemporaryDir config;
    std::unique_ptr<frmMDIMain> mainWindow;
    frmpbOrra* form = nullptr;
};

TEST_F(CatcmdMainWindow, TheFileMenuCarriesTheCatalogueCommands)
{
    ASSERT_NE(form, nullptr);
    QAction* paste = mainWindow->menuItem(QStringLiteral("mnuFilePaste"));
    EXPECT_FALSE(paste->isEnabled());
    selectNode("T10");
    trigger("mnuFileCopy");
    EXPECT_TRUE(paste->isEnabled());
    selectNode("C2");
    trigger("mnuFilePaste");
    EXPECT_TRUE(answering.messages.isEmpty()) << answering.messages.join('|').toStdString();
    EXPECT_FALSE(paste->isEnabled());
    EXPECT_EQ(name("tbOrraSQL", 11), QStringLiteral("Copy of Alpha"));
    ASSERT_EQ(mainWindow->documentWindows().size(), 1);
    EXPECT_EQ(mainWindow->activeDocumentWindow()->property("DocID").toInt(), 11);

    // Save As of the active window over Alpha, which is open too: Alpha's window goes.
    OpenDocumentWindow(10, QStringLiteral("Alpha"));
    ASSERT_EQ(mainWindow->mdiArea()->subWindowList().size(), 2);
    QWidget* copy = FindDocumentWindow(11, QString(), false);
    mainWindow->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(copy->parentWidget()));
    ASSERT_EQ(mainWindow->activeDocumentWindow(), copy);
    setSaveAsDialogRunner([](frmSaveAs& d) {
        d.tvOrra()->setCurrentItem(d.tvOrra()->node(QStringLiteral("T10")));
        d.NodeClick(d.tvOrra()->currentItem());
        d.cmdOK()->click();
    });
    // An editor window enables these items when it becomes active.
    mainWindow->menuItem(QStringLiteral("mnuFileSaveAs"))->setEnabled(true);
    mainWindow->menuItem(QStringLiteral("mnuFileSaveAsXML"))->setEnabled(true);
    answering.answers = {vbYes, vbYes};
    trigger("mnuFileSaveAs");
    EXPECT_EQ(answering.messages.size(), 2);
    EXPECT_EQ(mainWindow->mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(FindDocumentWindow(10, QString(), false), copy);
    EXPECT_EQ(copy->parentWidget()->windowTitle(), QStringLiteral("Alpha"));
    EXPECT_EQ(lockHolder(10), spidOf(*main));
    EXPECT_EQ(lockHolder(11), -1);
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 10));

    // Save As XML of the active window.
    QTemporaryDir dir;
    setSaveFileAsker([&](QWidget*, const QString& proposed) { return dir.filePath(QFileInfo(proposed).fileName()); });
    trigger("mnuFileSaveAsXML");
    QFile f(dir.filePath(QStringLiteral("Alpha.xml")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), qobject_cast<CatcmdWindow*>(copy)->document()->xml().toUtf8());

    // New Document and Delete through the menu.
    selectNode("C2");
    trigger("mnuFileNewOrra");
    EXPECT_EQ(name("tbOrraSQL", 12), QStringLiteral("Document-12"));
    answering.messages.clear();
    answering.answers = {vbYes};
    selectNode("T11");
    trigger("mnuFileDelete");
    EXPECT_EQ(answering.messages, QStringList{QStringLiteral("Copy of Alpha Query will be deleted. Are you sure?")});
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL where ID=11")), 0);
}

}   // namespace
}   // namespace orra::test
