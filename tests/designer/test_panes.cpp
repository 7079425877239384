// The two panes in the docking host: restore order, the floating set, the toolbar buttons and
// the pane closed by the user.

#include "ShellFixture.h"

#include "designer/shell/DesignerFactories.h"
#include "platform/widgets/DockHost.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QDockWidget>
#include <QSettings>
#include <QTest>
#include <QToolBar>

using namespace morvane;
using namespace morvane::test;

namespace {

class PanesTest : public ShellTest {
protected:
    void storePanel(int panel, const QStringList& keys)
    {
        const QString section = QStringLiteral("Panels\\%1").arg(panel);
        writeSetting(section, QStringLiteral("WindowsCount"), QString::number(keys.size()));
        for (int j = 1; j <= keys.size(); ++j)
            writeSetting(section + QStringLiteral("\\Windows\\%1").arg(j), QStringLiteral("Key"), keys[j - 1]);
    }
    void showBoth()
    {
        writeSetting(QStringLiteral("Main Settings"), QStringLiteral("ShowHidetvOrra"), QStringLiteral("1"));
        writeSetting(QStringLiteral("Main Settings"), QStringLiteral("ShowHidetvDocument"), QStringLiteral("1"));
    }
    orra::DockHost* td() { return main->dockHost(); }
};

}   // namespace

TEST_F(PanesTest, ADamagedWindowsCountReadsOnlyTheStoredPanes)
{
    storePanel(3, {QStringLiteral("frmpbOrra")});
    writeSetting(QStringLiteral("Panels\\3"), QStringLiteral("WindowsCount"), QStringLiteral("2000000000"));
    writeSetting(QStringLiteral("Panels\\4"), QStringLiteral("WindowsCount"), QStringLiteral("2000000000"));
    showBoth();
    loadMain();
    ASSERT_EQ(td()->paneCount(), 1);
    EXPECT_EQ(td()->panelPanes(3), QStringList{QStringLiteral("frmpbOrra")});
    // Exit writes the counts the panels have.
    ASSERT_TRUE(main->SaveSettings());
    EXPECT_EQ(storedSetting(QStringLiteral("Panels\\3"), QStringLiteral("WindowsCount")), QStringLiteral("1"));
    EXPECT_EQ(storedSetting(QStringLiteral("Panels\\4"), QStringLiteral("WindowsCount")), QStringLiteral("0"));
    EXPECT_EQ(
        storedSetting(QStringLiteral("Panels\\3\\Windows\\1"), QStringLiteral("Key")), QStringLiteral("frmpbOrra"));
}

TEST_F(PanesTest, PanesOfAPanelAreAddedFromTheLastStoredToTheFirstAndKeepTheirOrder)
{
    storePanel(3, {QStringLiteral("frmpbOrra"), QStringLiteral("frmtvDocument")});
    showBoth();
    loadMain();
    ASSERT_EQ(td()->paneCount(), 2);
    EXPECT_EQ(td()->paneName(1), QStringLiteral("frmtvDocument"));   // added first: j = WindowsCount
    EXPECT_EQ(td()->paneName(2), QStringLiteral("frmpbOrra"));
    EXPECT_EQ(td()->panelPanes(3), (QStringList{QStringLiteral("frmpbOrra"), QStringLiteral("frmtvDocument")}));
    EXPECT_TRUE(td()->paneVisible(1));
    EXPECT_TRUE(td()->paneVisible(2));
    EXPECT_TRUE(main->toolbarButton(QStringLiteral("tvOrra"))->isChecked());

    ASSERT_TRUE(main->SaveSettings());
    EXPECT_EQ(storedSetting(QStringLiteral("Panels\\3"), QStringLiteral("WindowsCount")), QStringLiteral("2"));
    EXPECT_EQ(
        storedSetting(QStringLiteral("Panels\\3\\Windows\\1"), QStringLiteral("Key")), QStringLiteral("frmpbOrra"));
    EXPECT_EQ(
        storedSetting(QStringLiteral("Panels\\3\\Windows\\2"), QStringLiteral("Key")), QStringLiteral("frmtvDocument"));
    EXPECT_EQ(storedSetting(QStringLiteral("Main Settings"), QStringLiteral("ShowHidetvOrra")), QStringLiteral("1"));
}

TEST_F(PanesTest, UnknownKeysAreSkippedAndOldWindowSectionsAreGoneAfterTheSave)
{
    storePanel(4, {QStringLiteral("frmOther"), QStringLiteral("frmtvDocument"), QString()});
    showBoth();
    loadMain();
    ASSERT_EQ(td()->paneCount(), 1);
    EXPECT_EQ(td()->panelPanes(4), QStringList{QStringLiteral("frmtvDocument")});
    ASSERT_TRUE(main->SaveSettings());
    EXPECT_EQ(storedSetting(QStringLiteral("Panels\\4"), QStringLiteral("WindowsCount")), QStringLiteral("1"));
    EXPECT_EQ(
        storedSetting(QStringLiteral("Panels\\4\\Windows\\1"), QStringLiteral("Key")), QStringLiteral("frmtvDocument"));
    EXPECT_EQ(
        storedSetting(QStringLiteral("Panels\\4\\Windows\\2"), QStringLiteral("Key")), QStringLiteral("<absent>"));
    EXPECT_EQ(
        storedSetting(QStringLiteral("Panels\\4\\Windows\\3"), QStringLiteral("Key")), QStringLiteral("<absent>"));
}

TEST_F(PanesTest, TheFloatingSetIsRestoredAndOtherKeysAreDroppedOnTheNextSave)
{
    writeSetting(QStringLiteral("Panels\\5"), QStringLiteral("frmtvDocument"), QStringLiteral("1"));
    writeSetting(QStringLiteral("Panels\\5"), QStringLiteral("frmBogus"), QStringLiteral("1"));
    showBoth();
    loadMain();
    ASSERT_EQ(td()->paneCount(), 1);
    EXPECT_EQ(td()->paneName(1), QStringLiteral("frmtvDocument"));
    EXPECT_EQ(td()->paneState(1), orra::DockHost::Floating);
    for (int p = 1; p <= 4; ++p) EXPECT_TRUE(td()->panelPanes(p).isEmpty());

    ASSERT_TRUE(main->SaveSettings());
    QSettings file(settingsFile(), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("Panels/5"));
    EXPECT_EQ(file.childKeys(), QStringList{QStringLiteral("frmtvDocument")});
    EXPECT_EQ(file.value(QStringLiteral("frmtvDocument")).toString(), QStringLiteral("1"));
    EXPECT_EQ(storedSetting(QStringLiteral("Panels\\4"), QStringLiteral("WindowsCount")), QStringLiteral("0"));
}

TEST_F(PanesTest, StoredHiddenPanesAreHiddenAtTheFirstActivation)
{
    storePanel(3, {QStringLiteral("frmpbOrra")});
    storePanel(4, {QStringLiteral("frmtvDocument")});
    writeSetting(QStringLiteral("Main Settings"), QStringLiteral("ShowHidetvOrra"), QStringLiteral("0"));
    writeSetting(QStringLiteral("Main Settings"), QStringLiteral("ShowHidetvDocument"), QStringLiteral("1"));
    loadMain();
    EXPECT_TRUE(main->IsPaneLoaded(QStringLiteral("frmpbOrra")));
    EXPECT_FALSE(td()->paneVisible(td()->paneIndex(QStringLiteral("frmpbOrra"))));
    EXPECT_TRUE(td()->paneVisible(td()->paneIndex(QStringLiteral("frmtvDocument"))));
    EXPECT_FALSE(main->toolbarButton(QStringLiteral("tvOrra"))->isChecked());
    EXPECT_TRUE(main->toolbarButton(QStringLiteral("tvDocument"))->isChecked());
    // Later activations change nothing.
    main->toolbarButton(QStringLiteral("tvDocument"))->setChecked(true);
    main->MDIForm_Activate();
    EXPECT_TRUE(td()->paneVisible(td()->paneIndex(QStringLiteral("frmtvDocument"))));
}

TEST_F(PanesTest, ThePaneButtonsAddShowAndHideThePanes)
{
    loadMain();
    QAction* tvOrra = main->toolbarButton(QStringLiteral("tvOrra"));
    tvOrra->trigger();   // pressed: the pane is added, docked in panel 3
    ASSERT_TRUE(main->IsPaneLoaded(QStringLiteral("frmpbOrra")));
    EXPECT_EQ(td()->panelPanes(3), QStringList{QStringLiteral("frmpbOrra")});
    const int index = td()->paneIndex(QStringLiteral("frmpbOrra"));
    EXPECT_TRUE(td()->paneVisible(index));
    EXPECT_EQ(td()->dockOf(QStringLiteral("frmpbOrra"))->windowTitle(), QStringLiteral("Object Explorer"));
    tvOrra->trigger();   // released: hidden, still held
    EXPECT_FALSE(td()->paneVisible(index));
    EXPECT_EQ(td()->paneCount(), 1);
    tvOrra->trigger();
    EXPECT_TRUE(td()->paneVisible(index));
    EXPECT_EQ(td()->paneCount(), 1);

    // The side bar's "Object Explorer" strip brings the hidden pane back, as the button does.
    tvOrra->trigger();
    ASSERT_FALSE(td()->paneVisible(index));
    QTest::mouseClick(main->findChild<QWidget*>(QStringLiteral("pbObjectExplorerButton")), Qt::LeftButton);
    EXPECT_TRUE(td()->paneVisible(index));
    EXPECT_TRUE(tvOrra->isChecked());

    main->toolbarButton(QStringLiteral("tvDocument"))->trigger();
    EXPECT_EQ(td()->panelPanes(4), QStringList{QStringLiteral("frmtvDocument")});
    EXPECT_EQ(td()->dockOf(QStringLiteral("frmtvDocument"))->windowTitle(), QStringLiteral("Document Explorer"));
}

TEST_F(PanesTest, AScreenReaderTogglesAPaneButtonAsAClickWould)
{
    loadMain();
    QAction* tvOrra = main->toolbarButton(QStringLiteral("tvOrra"));
    auto* button =
        qobject_cast<QAbstractButton*>(main->findChild<QToolBar*>(QStringLiteral("tbMain"))->widgetForAction(tvOrra));
    ASSERT_NE(button, nullptr);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(accessible, nullptr);
    QAccessibleActionInterface* actions = accessible->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));

    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(tvOrra->isChecked());
    ASSERT_TRUE(main->IsPaneLoaded(QStringLiteral("frmpbOrra")));
    const int index = td()->paneIndex(QStringLiteral("frmpbOrra"));
    EXPECT_TRUE(td()->paneVisible(index));
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(tvOrra->isChecked());
    EXPECT_FALSE(td()->paneVisible(index));

    // A click is handled once: one press shows, the next hides.
    button->click();
    EXPECT_TRUE(tvOrra->isChecked());
    EXPECT_TRUE(td()->paneVisible(index));
    button->click();
    EXPECT_FALSE(td()->paneVisible(index));
    EXPECT_EQ(td()->paneCount(), 1);
}

TEST_F(PanesTest, APaneClosedByTheUserReleasesItsButtonOnly)
{
    loadMain();
    main->toolbarButton(QStringLiteral("tvDocument"))->trigger();
    QDockWidget* dock = td()->dockOf(QStringLiteral("frmtvDocument"));
    ASSERT_NE(dock, nullptr);
    ASSERT_TRUE(main->toolbarButton(QStringLiteral("tvDocument"))->isChecked());
    dock->close();
    EXPECT_FALSE(main->toolbarButton(QStringLiteral("tvDocument"))->isChecked());
    EXPECT_TRUE(main->IsPaneLoaded(QStringLiteral("frmtvDocument")));
    EXPECT_TRUE(main->toolbarButton(QStringLiteral("tvOrra"))->isChecked() == false);
    ASSERT_TRUE(main->SaveSettings());
    EXPECT_EQ(
        storedSetting(QStringLiteral("Main Settings"), QStringLiteral("ShowHidetvDocument")), QStringLiteral("0"));
}

TEST_F(PanesTest, IsPaneLoadedComparesNamesExactly)
{
    loadMain();
    main->toolbarButton(QStringLiteral("tvOrra"))->trigger();
    EXPECT_TRUE(main->IsPaneLoaded(QStringLiteral("frmpbOrra")));
    EXPECT_FALSE(main->IsPaneLoaded(QStringLiteral("FRMPBORRA")));
    EXPECT_FALSE(main->IsPaneLoaded(QStringLiteral("frmtvDocument")));
}

TEST_F(PanesTest, PanesComeFromTheRegisteredCreatorsAndTheTreesAreFound)
{
    setPaneCreator(QStringLiteral("frmpbOrra"), [](QWidget* parent) { return new RecordingPane(parent); });
    loadMain();
    ASSERT_NE(main->tvOrra(), nullptr);
    EXPECT_EQ(main->tvOrra()->objectName(), QStringLiteral("tvOrra"));
    ASSERT_NE(main->tvRepository(), nullptr);
    EXPECT_EQ(main->paneForm(QStringLiteral("frmpbOrra"))->objectName(), QStringLiteral("frmpbOrra"));
    EXPECT_NE(qobject_cast<RecordingPane*>(main->paneForm(QStringLiteral("frmpbOrra"))), nullptr);
    EXPECT_EQ(main->paneForm(QStringLiteral("frmOther")), nullptr);
}
