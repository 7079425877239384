// The catalogue pane on an embedded catalogue, with real widgets: both trees after load, the
// repository groups, the pop-up menu by node kind, opening documents by double-click and
// Enter, the refresh of one category with the read right, the "ID" panel text and the start
// of a drag.

#include "CatalogueTestSupport.h"

#include "common/Permissions.h"
#include "designer/catalogue/frmpbOrra.h"
#include "platform/db/sqlite/SqliteFileBackend.h"

#include <QAction>
#include <QDrag>
#include <QMenu>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using namespace orra;
using namespace morvane;
using test::TestDocumentWindow;

namespace {

class CataloguePane : public test::DesignerCatalogueTest {
protected:
    void SetUp() override
    {
        DesignerCatalogueTest::SetUp();
        bob = addUser(QStringLiteral("bob"));
        addCategory(1, 0, QStringLiteral("Sales"));
        addCategory(2, 1, QStringLiteral("Weekly"));
        addCategory(3, 1, QStringLiteral("Archive"));
        addCategory(4, 3, QStringLiteral("Old years"));
        addCategory(5, 0, QStringLiteral("Finance"));
        addDocument(10, 1, QStringLiteral("Zeta report"), QStringLiteral("<Document ID=\"B0\"/>"));
        addDocument(11, 1, QStringLiteral("Alpha report"), QStringLiteral("<Document ID=\"B0\"/>"));
        addDocument(12, 4, QStringLiteral("Year 2001"), QStringLiteral("<Document ID=\"B0\"/>"));
        addRepositoryItem(QStringLiteral("Block"), QStringLiteral("Totals"));
        addRepositoryItem(QStringLiteral("Script"), QStringLiteral("Greeting"));
        addRepositoryItem(QStringLiteral("Block"), QStringLiteral("Header"));
    }
    void TearDown() override
    {
        pane.reset();
        DesignerCatalogueTest::TearDown();
    }

    void addRepositoryItem(const QString& tag, const QString& name)
    {
        admin->execute(QStringLiteral("insert into tbOrraRepository values (?, ?, ?)"),
            {tag, name, QStringLiteral("<%1 ID=\"B0.0\"/>").arg(tag)});
    }

    frmpbOrra& load()
    {
        pane = std::make_unique<frmpbOrra>();
        pane->resize(300, 500);
        pane->show();
        pane->tvOrra()->expandAll();
        return *pane;
    }

    QPoint at(const QString& key) const
    {
        QTreeWidgetItem* node = pane->tvOrra()->node(key);
        if (!node) node = pane->tvRepository()->node(key);
        EXPECT_NE(node, nullptr) << key.toStdString();
        return node ? node->treeWidget()->visualItemRect(node).center() : QPoint();
    }
    QWidget* viewport() const { return pane->tvOrra()->viewport(); }
    // As the window system delivers a double-click: a click, then the double-click event.
    void doubleClick(const QString& key)
    {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(key));
        QTest::mouseDClick(viewport(), Qt::LeftButton, {}, at(key));
    }

    QStringList childTexts(QTreeWidgetItem* node) const
    {
        QStringList texts;
        for (int i = 0; i < node->childCount(); ++i) texts << node->child(i)->text(0);
        return texts;
    }

    QAction* action(const char* name) const { return pane->popupItem(QString::fromLatin1(name)); }

    long bob = 0;
    std::unique_ptr<frmpbOrra> pane;
};

TEST_F(CataloguePane, LoadShowsBothTreesOnTheirTabs)
{
    frmpbOrra& p = load();
    EXPECT_EQ(p.objectName(), QStringLiteral("frmpbOrra"));
    EXPECT_EQ(p.windowTitle(), QStringLiteral("Object Explorer"));
    QTabWidget* tabs = p.tabOrra();
    EXPECT_EQ(tabs->objectName(), QStringLiteral("tabOrra"));
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Documents"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Repository"));
    EXPECT_FALSE(tabs->tabIcon(0).isNull());
    EXPECT_EQ(tabs->currentWidget(), p.tvOrra());
    EXPECT_TRUE(p.tvOrra()->isVisible());
    EXPECT_FALSE(p.tvRepository()->isVisible());
    tabs->setCurrentIndex(1);
    EXPECT_FALSE(p.tvOrra()->isVisible());
    EXPECT_TRUE(p.tvRepository()->isVisible());

    EXPECT_EQ(p.tvOrra()->objectName(), QStringLiteral("tvOrra"));
    EXPECT_EQ(p.tvOrra()->nodeCount(), 8);
    EXPECT_EQ(p.tvOrra()->node(QStringLiteral("T12"))->parent(), p.tvOrra()->node(QStringLiteral("C4")));
    EXPECT_TRUE(p.tvOrra()->checkboxes());
    // The image list holds every key the trees name.
    for (const char* key : {"Repository", "Category", "selCategory", "Template", "Document", "Parameter", "Block",
             "Include", "Station", "Script"})
        EXPECT_FALSE(p.ImgListTv().icon(QString::fromLatin1(key)).isNull()) << key;
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(CataloguePane, TheRepositoryIsGroupedByTrimmedTag)
{
    addRepositoryItem(QStringLiteral("block"), QStringLiteral("Lower-case tag"));
    frmpbOrra& p = load();
    KeyedTree* repo = p.tvRepository();
    EXPECT_EQ(repo->objectName(), QStringLiteral("tvRepository"));
    ASSERT_EQ(repo->topLevelItemCount(), 2);
    QStringList groups{repo->topLevelItem(0)->text(0), repo->topLevelItem(1)->text(0)};
    groups.sort();
    EXPECT_EQ(groups, (QStringList{QStringLiteral("Block"), QStringLiteral("Script")}));
    QTreeWidgetItem* block = repo->node(QStringLiteral("Block"));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(KeyedTree::tag(block).toString(), QStringLiteral("Category"));
    EXPECT_EQ(KeyedTree::image(block), QStringLiteral("Category"));
    EXPECT_EQ(KeyedTree::selectedImage(block), QStringLiteral("selCategory"));
    EXPECT_EQ(childTexts(block),
        (QStringList{QStringLiteral("Totals"), QStringLiteral("Header"), QStringLiteral("Lower-case tag")}));
    QTreeWidgetItem* item = repo->node(QStringLiteral("K2"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(0), QStringLiteral("Greeting"));
    EXPECT_EQ(item->parent(), repo->node(QStringLiteral("Script")));
    EXPECT_EQ(KeyedTree::image(item), QStringLiteral("Script"));
    EXPECT_EQ(KeyedTree::tag(item).toLongLong(), 2);

    // A new item appears after UpdateTvRepository, reached by name as the main window does.
    addRepositoryItem(QStringLiteral("Parameter"), QStringLiteral("Region"));
    ASSERT_TRUE(QMetaObject::invokeMethod(&p, "UpdateTvRepository"));
    EXPECT_EQ(repo->topLevelItemCount(), 3);
    EXPECT_EQ(repo->node(QStringLiteral("K5"))->parent(), repo->node(QStringLiteral("Parameter")));
}

TEST_F(CataloguePane, AnEmptyCatalogueGivesEmptyTrees)
{
    admin->execute(QStringLiteral("delete from tbOrraSQL"));
    admin->execute(QStringLiteral("delete from tbOrraCategory"));
    admin->execute(QStringLiteral("delete from tbOrraRepository"));
    frmpbOrra& p = load();
    EXPECT_EQ(p.tvOrra()->topLevelItemCount(), 0);
    EXPECT_EQ(p.tvRepository()->topLevelItemCount(), 0);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(p.idPanelText(), QString());
}

TEST_F(CataloguePane, ThePopUpMenuFitsTheNodeKind)
{
    load();
    QMenu* menu = pane->mnuPopuptvOrra();
    EXPECT_EQ(menu->objectName(), QStringLiteral("mnuPopuptvOrra"));
    QStringList names, captions;
    for (QAction* a : menu->actions()) {
        names << a->objectName();
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    EXPECT_EQ(names,
        (QStringList{QStringLiteral("mnuPopuptvOrraProperties"), QStringLiteral("mnuPopuptvOrraManagePermissions"),
            QStringLiteral("mnuPopuptvOrraManageSchemas"), QStringLiteral("mnuPopupTVOrraDivider0"),
            QStringLiteral("mnuPopuptvOrraExecute"), QStringLiteral("mnuPopupTVOrraDivider1"),
            QStringLiteral("mnuPopuptvOrraDependencies"), QStringLiteral("mnuPopuptvOrraRefresh")}));
    EXPECT_EQ(captions,
        (QStringList{QStringLiteral("Proper&ties"), QStringLiteral("Manage &Permissions"),
            QStringLiteral("Manage &Schemas"), QStringLiteral("-"), QStringLiteral("&Execute"), QStringLiteral("-"),
            QStringLiteral("&Dependencies"), QStringLiteral("&Refresh")}));

    action("mnuPopuptvOrraProperties")->setEnabled(false);   // left as it is by the menu
    QTest::mouseClick(viewport(), Qt::RightButton, {}, at(QStringLiteral("C3")));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(pane->tvOrra()->currentItem(), pane->tvOrra()->node(QStringLiteral("C3")));
    EXPECT_FALSE(action("mnuPopuptvOrraManageSchemas")->isEnabled());
    EXPECT_FALSE(action("mnuPopuptvOrraExecute")->isEnabled());
    EXPECT_FALSE(action("mnuPopuptvOrraDependencies")->isEnabled());
    EXPECT_TRUE(action("mnuPopuptvOrraRefresh")->isEnabled());
    EXPECT_FALSE(action("mnuPopuptvOrraProperties")->isEnabled());
    EXPECT_TRUE(action("mnuPopuptvOrraManagePermissions")->isEnabled());
    menu->hide();

    QTest::mouseClick(viewport(), Qt::RightButton, {}, at(QStringLiteral("T10")));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(pane->tvOrra()->currentItem(), pane->tvOrra()->node(QStringLiteral("T10")));
    EXPECT_TRUE(action("mnuPopuptvOrraManageSchemas")->isEnabled());
    EXPECT_TRUE(action("mnuPopuptvOrraExecute")->isEnabled());
    EXPECT_TRUE(action("mnuPopuptvOrraDependencies")->isEnabled());
    EXPECT_FALSE(action("mnuPopuptvOrraRefresh")->isEnabled());
    EXPECT_FALSE(action("mnuPopuptvOrraProperties")->isEnabled());
    menu->hide();

    // Away from any node: no menu.
    QTest::mouseClick(viewport(), Qt::RightButton, {}, QPoint(250, 480));
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(CataloguePane, RefreshReloadsOneCategoryWithTheReadRightAndKeepsItsExpansion)
{
    // Bob may read Sales and what lies below it, except the Archive.
    allowCategory(1, bob, rightEdit, 0);
    allowCategory(3, bob, 0, rightEdit);
    main = shared(QStringLiteral("bob"), QStringLiteral("pw_bob"));
    setMainConnection(main);
    frmpbOrra& p = load();
    KeyedTree* tree = p.tvOrra();
    // The full fill shows what the procedure gives.
    ASSERT_NE(tree->node(QStringLiteral("C3")), nullptr);
    addDocument(13, 1, QStringLiteral("Middle report"), QStringLiteral("<Document ID=\"B0\"/>"));

    QTreeWidgetItem* sales = tree->node(QStringLiteral("C1"));
    sales->setExpanded(true);
    QTest::mouseClick(viewport(), Qt::RightButton, {}, at(QStringLiteral("C1")));
    pane->mnuPopuptvOrra()->hide();
    action("mnuPopuptvOrraRefresh")->trigger();
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
    // Sub-categories by name first, then the documents by name; the Archive is gone with its
    // whole sub-tree.
    EXPECT_EQ(childTexts(sales),
        (QStringList{QStringLiteral("Weekly"), QStringLiteral("Alpha report"), QStringLiteral("Middle report"),
            QStringLiteral("Zeta report")}));
    EXPECT_EQ(tree->node(QStringLiteral("C3")), nullptr);
    EXPECT_EQ(tree->node(QStringLiteral("C4")), nullptr);
    EXPECT_EQ(tree->node(QStringLiteral("T12")), nullptr);
    EXPECT_TRUE(sales->isExpanded());
    QTreeWidgetItem* middle = tree->node(QStringLiteral("T13"));
    ASSERT_NE(middle, nullptr);
    EXPECT_EQ(KeyedTree::tag(middle).toLongLong(), 13);
    EXPECT_EQ(KeyedTree::image(middle), QStringLiteral("Template"));
    EXPECT_EQ(middle->checkState(0), Qt::Unchecked);

    // A collapsed node stays collapsed.
    sales->setExpanded(false);
    p.RefreshCategoryNode(QStringLiteral("C1"));
    EXPECT_FALSE(sales->isExpanded());
    EXPECT_EQ(sales->childCount(), 4);
}

TEST_F(CataloguePane, ARefreshedDisabledCategoryKeepsItsMarkAndColour)
{
    admin->execute(QStringLiteral("update tbOrraCategory set Disabled=1 where ID=2"));
    stamp(QStringLiteral("tbOrraCategory"), 2);
    frmpbOrra& p = load();
    p.RefreshCategoryNode(QStringLiteral("C1"));
    QTreeWidgetItem* weekly = p.tvOrra()->node(QStringLiteral("C2"));
    ASSERT_NE(weekly, nullptr);
    EXPECT_EQ(weekly->checkState(0), Qt::Checked);
    EXPECT_EQ(KeyedTree::foreColor(weekly), qRgb(255, 100, 100));
    EXPECT_EQ(KeyedTree::image(weekly), QStringLiteral("Category"));
    EXPECT_EQ(KeyedTree::selectedImage(weekly), QStringLiteral("selCategory"));
}

TEST_F(CataloguePane, AFailingQueryIsShownAndEndsTheRefresh)
{
    frmpbOrra& p = load();
    // A plain SQLite database reads no catalogue statement: the provider's text is shown.
    auto file = std::make_shared<db::Connection>();
    db::sqlite::openDatabaseFile(*file, m_dir.path() + QStringLiteral("/plain.db"), db::sqlite::FileMode::Create);
    setMainConnection(file);
    p.RefreshCategoryNode(QStringLiteral("C1"));
    ASSERT_EQ(ui.messages.size(), 1);
    ASSERT_FALSE(file->errors().isEmpty());
    EXPECT_EQ(ui.messages.at(0), file->errors().constFirst().description);
    EXPECT_FALSE(ui.messages.at(0).isEmpty());
    EXPECT_NE(p.tvOrra()->node(QStringLiteral("C1")), nullptr);
    EXPECT_EQ(p.tvOrra()->node(QStringLiteral("C1"))->childCount(), 0);
    p.UpdateTvRepository();
    ASSERT_EQ(ui.messages.size(), 2);
    EXPECT_EQ(ui.messages.at(1), file->errors().constFirst().description);
    EXPECT_EQ(p.tvRepository()->topLevelItemCount(), 0);
}

TEST_F(CataloguePane, ClickingANodeSetsTheIdPanel)
{
    frmpbOrra& p = load();
    QSignalSpy spy(&p, &frmpbOrra::idPanelTextChanged);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(QStringLiteral("T11")));
    EXPECT_EQ(p.idPanelText(), QStringLiteral("ID:11"));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(QStringLiteral("C4")));
    EXPECT_EQ(p.idPanelText(), QString());
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("ID:11"));
}

TEST_F(CataloguePane, DoubleClickAndEnterOpenDocumentsOnly)
{
    load();
    doubleClick(QStringLiteral("C4"));
    EXPECT_EQ(TestDocumentWindow::created, 0);
    pane->tvOrra()->expandAll();   // the double-click folded the category
    doubleClick(QStringLiteral("T12"));
    ASSERT_EQ(TestDocumentWindow::loadedDocIds, QList<int>{12});
    EXPECT_EQ(FindDocumentWindow(12, QString(), false)->windowTitle(), QStringLiteral("Year 2001"));
    EXPECT_GE(lockHolder(12), 0);

    pane->tvOrra()->setCurrentItem(pane->tvOrra()->node(QStringLiteral("C1")));
    QTest::keyClick(pane->tvOrra(), Qt::Key_Return);
    EXPECT_EQ(TestDocumentWindow::created, 1);
    pane->tvOrra()->setCurrentItem(pane->tvOrra()->node(QStringLiteral("T10")));
    QTest::keyClick(pane->tvOrra(), Qt::Key_Return);
    EXPECT_EQ(TestDocumentWindow::loadedDocIds, (QList<int>{12, 10}));
    EXPECT_TRUE(ui.messages.isEmpty());
    // A double-click whose press was not a plain left press opens nothing.
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, at(QStringLiteral("T11")));
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, at(QStringLiteral("T11")));
    EXPECT_EQ(TestDocumentWindow::created, 2);
}

TEST_F(CataloguePane, F2OpensTheLabelAndADropFromNoTreeMovesNothing)
{
    frmpbOrra& p = load();
    p.show();
    p.tvOrra()->setCurrentItem(p.tvOrra()->node(QStringLiteral("T10")));
    QTest::keyClick(p.tvOrra(), Qt::Key_F2);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_NE(p.tvOrra()->findChild<QLineEdit*>(), nullptr);
    EXPECT_EQ(p.tvOrra()->node(QStringLiteral("T10"))->text(0), QStringLiteral("Zeta report"));
    QTest::keyClick(p.tvOrra()->findChild<QLineEdit*>(), Qt::Key_Escape);

    // A drag that this pane did not start is not accepted; one that it started highlights the
    // node under the pointer; a drop whose source is no tree view moves nothing.
    QMimeData mime;
    mime.setData(frmpbOrra::dragMimeType(), QByteArray("T10"));
    // Qt delivers drag events from its drag manager only; the pane's filter is handed them here.
    QObject* filter = &p;
    EXPECT_TRUE(viewport()->acceptDrops());
    QDragMoveEvent foreign(at(QStringLiteral("C5")), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    filter->eventFilter(viewport(), &foreign);
    EXPECT_FALSE(foreign.isAccepted());
    EXPECT_EQ(p.tvOrra()->dropHighlight(), nullptr);
    ui.messages.clear();
    QTreeWidgetItem* parentBefore = p.tvOrra()->node(QStringLiteral("T10"))->parent();
    bool started = false;
    p.setDragExecutor([&](QDrag*) {
        started = true;
        QDropEvent drop(QPointF(at(QStringLiteral("C5"))), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        filter->eventFilter(viewport(), &drop);
        return Qt::IgnoreAction;
    });
    const QPoint start = at(QStringLiteral("T10"));
    QTest::mousePress(viewport(), Qt::LeftButton, {}, start);
    QMouseEvent far(QEvent::MouseMove, QPointF(start + QPoint(0, 20)), viewport()->mapToGlobal(QPointF(start)),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(p.property("dragNode").toString(), QStringLiteral("T10"));
    QCoreApplication::sendEvent(viewport(), &far);
    EXPECT_TRUE(started);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(p.tvOrra()->node(QStringLiteral("T10"))->parent(), parentBefore);
    EXPECT_FALSE(p.dragging());
    EXPECT_EQ(p.tvOrra()->dropHighlight(), nullptr);
}

TEST_F(CataloguePane, ADragStartsOnlyBeyondFiftyTwips)
{
    EXPECT_FALSE(frmpbOrra::DragDistanceExceeded(QPoint(100, 100), QPoint(150, 50)));
    EXPECT_TRUE(frmpbOrra::DragDistanceExceeded(QPoint(100, 100), QPoint(151, 100)));
    EXPECT_TRUE(frmpbOrra::DragDistanceExceeded(QPoint(100, 100), QPoint(100, 49)));

    frmpbOrra& p = load();
    QStringList dragged;
    p.setDragExecutor([&](QDrag* drag) {
        EXPECT_TRUE(p.dragging());
        dragged << QString::fromUtf8(drag->mimeData()->data(frmpbOrra::dragMimeType()));
        // What the element tree reads when a node is dropped on it.
        dragged << p.property("dragNode").toString();
        return Qt::IgnoreAction;
    });
    const QPoint start = at(QStringLiteral("T10"));
    QTest::mousePress(viewport(), Qt::LeftButton, {}, start);
    EXPECT_EQ(p.property("dragNode").toString(), QStringLiteral("T10"));
    EXPECT_EQ(p.dragStartPoint(), frmpbOrra::PixelsToTwips(p.tvOrra(), start));
    // The largest pixel step that stays within 50 twips, then one more pixel.
    int within = 0;
    while (!frmpbOrra::DragDistanceExceeded(QPoint(0, 0), frmpbOrra::PixelsToTwips(p.tvOrra(), QPoint(within + 1, 0))))
        ++within;
    QMouseEvent near(QEvent::MouseMove, QPointF(start + QPoint(within, 0)), viewport()->mapToGlobal(QPointF(start)),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport(), &near);
    EXPECT_TRUE(dragged.isEmpty());
    QMouseEvent far(QEvent::MouseMove, QPointF(start + QPoint(within + 1, 0)), viewport()->mapToGlobal(QPointF(start)),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport(), &far);
    EXPECT_EQ(dragged, (QStringList{QStringLiteral("T10"), QStringLiteral("T10")}));
    EXPECT_FALSE(p.dragging());
    EXPECT_EQ(p.property("dragNode").toString(), QString());

    // A repository item is dragged the same way; a release without a move clears dragNode.
    p.tabOrra()->setCurrentIndex(1);
    p.tvRepository()->expandAll();
    QTest::mousePress(p.tvRepository()->viewport(), Qt::LeftButton, {}, at(QStringLiteral("K1")));
    EXPECT_EQ(p.property("dragNode").toString(), QStringLiteral("K1"));
    QTest::mouseRelease(p.tvRepository()->viewport(), Qt::LeftButton, {}, at(QStringLiteral("K1")));
    EXPECT_EQ(p.property("dragNode").toString(), QString());
    // A press with Shift is no drag start.
    QTest::mousePress(p.tvRepository()->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(QStringLiteral("K1")));
    EXPECT_EQ(p.dragStartPoint(), QPoint(-1, -1));
}

TEST_F(CataloguePane, TheShellCreatesThePaneByItsFormName)
{
    RegisterCataloguePane();
    std::unique_ptr<QWidget> created(createPane(QStringLiteral("frmpbOrra"), nullptr));
    auto* form = qobject_cast<frmpbOrra*>(created.get());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->tvOrra()->nodeCount(), 8);
    setPaneCreator(QStringLiteral("frmpbOrra"), nullptr);
}

}   // namespace

#include "designer/shell/frmMDIMain.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

// The pane as the main window docks it: the main window's pop-up and "ID" panel, documents as
// MDI children.
class CataloguePaneInMainWindow : public CataloguePane {
protected:
    void SetUp() override
    {
        CataloguePane::SetUp();
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
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
        CataloguePane::TearDown();
    }
    QPoint atNode(const QString& key) const
    {
        QTreeWidgetItem* node = form->tvOrra()->node(key);
        return form->tvOrra()->visualItemRect(node).center();
    }

    QTemporaryDir config;
    std::unique_ptr<frmMDIMain> mainWindow;
    frmpbOrra* form = nullptr;
};

TEST_F(CataloguePaneInMainWindow, TheMainWindowHoldsThePaneItsPopUpAndItsDocuments)
{
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(mainWindow->tvOrra(), form->tvOrra());
    EXPECT_EQ(mainWindow->tvRepository(), form->tvRepository());
    EXPECT_EQ(form->mnuPopuptvOrra(), mainWindow->menu(QStringLiteral("mnuPopuptvOrra")));
    form->show();
    form->resize(300, 500);
    form->tvOrra()->expandAll();
    QWidget* vp = form->tvOrra()->viewport();

    // The "ID" panel of the status bar follows the clicked node.
    QTest::mouseClick(vp, Qt::LeftButton, {}, atNode(QStringLiteral("T10")));
    EXPECT_EQ(mainWindow->panelText(QStringLiteral("ID")), QStringLiteral("ID:10"));
    QTest::mouseClick(vp, Qt::LeftButton, {}, atNode(QStringLiteral("C1")));
    EXPECT_EQ(mainWindow->panelText(QStringLiteral("ID")), QString());

    // The main window's pop-up, set for the node; its Refresh reaches the pane.
    QTest::mouseClick(vp, Qt::RightButton, {}, atNode(QStringLiteral("C1")));
    QMenu* popup = mainWindow->menu(QStringLiteral("mnuPopuptvOrra"));
    EXPECT_TRUE(popup->isVisible());
    popup->hide();
    EXPECT_FALSE(mainWindow->menuItem(QStringLiteral("mnuPopuptvOrraExecute"))->isEnabled());
    EXPECT_TRUE(mainWindow->menuItem(QStringLiteral("mnuPopuptvOrraRefresh"))->isEnabled());
    addDocument(13, 1, QStringLiteral("Middle report"), QStringLiteral("<Document ID=\"B0\"/>"));
    mainWindow->menuItem(QStringLiteral("mnuPopuptvOrraRefresh"))->trigger();
    EXPECT_NE(form->tvOrra()->node(QStringLiteral("T13")), nullptr);
    QTest::mouseClick(vp, Qt::RightButton, {}, atNode(QStringLiteral("T10")));
    popup->hide();
    EXPECT_TRUE(mainWindow->menuItem(QStringLiteral("mnuPopuptvOrraExecute"))->isEnabled());
    mainWindow->menuItem(QStringLiteral("mnuPopuptvOrraExecute"))->trigger();   // no launcher beside the test
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(QStringLiteral("The launcher could not be started: ")))
        << ui.messages[0].toStdString();

    // A document opens as a child of the multiple-document area.
    form->OpenNode(form->tvOrra()->node(QStringLiteral("T10")));
    ASSERT_EQ(mainWindow->documentWindows().size(), 1);
    EXPECT_EQ(mainWindow->documentWindows().at(0), FindDocumentWindow(10, QString(), false));
    EXPECT_EQ(mainWindow->mdiArea()->subWindowList().at(0)->windowTitle(), QStringLiteral("Zeta report"));
    EXPECT_EQ(mainWindow->activeDocumentWindow(), mainWindow->documentWindows().at(0));
    // The Add Repository command rebuilds the repository through the pane.
    addRepositoryItem(QStringLiteral("Station"), QStringLiteral("Stop here"));
    ASSERT_TRUE(QMetaObject::invokeMethod(form, "UpdateTvRepository"));
    EXPECT_NE(form->tvRepository()->node(QStringLiteral("Station")), nullptr);
}

}   // namespace
