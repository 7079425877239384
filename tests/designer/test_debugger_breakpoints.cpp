// Break points: toggling through the Debug menu, their look, clearing, and keeping them across
// rebuilds of the tree; the run right.

#include "DebuggerFixture.h"

#include "designer/editor/TreeEditing.h"

#include <QApplication>
#include <QFont>

namespace orra::test {
namespace {

using morvane::DocumentTree;

struct Look {
    QString image, selectedImage;
    QColor back, fore;
    bool bold;
};

Look lookOf(QTreeWidgetItem* n)
{
    // A node never touched has no brushes: the tree's own white and black.
    const QBrush back = n->background(0), fore = n->foreground(0);
    return {DocumentTree::image(n), DocumentTree::selectedImage(n),
        back.style() == Qt::NoBrush ? QColor(255, 255, 255) : back.color(),
        fore.style() == Qt::NoBrush ? QColor(0, 0, 0) : fore.color(), n->font(0).bold()};
}

void expectBreakPointLook(QTreeWidgetItem* n)
{
    const Look l = lookOf(n);
    EXPECT_EQ(l.image, QStringLiteral("BreakPoint"));
    EXPECT_EQ(l.selectedImage, QStringLiteral("BreakPoint"));
    EXPECT_EQ(l.back, QColor(128, 0, 0));
    EXPECT_EQ(l.fore, QColor(255, 255, 255));
    EXPECT_TRUE(l.bold);
}

void expectNormalLook(QTreeWidgetItem* n, const QString& image, const QString& selectedImage)
{
    const Look l = lookOf(n);
    EXPECT_EQ(l.image, image);
    EXPECT_EQ(l.selectedImage, selectedImage);
    EXPECT_EQ(l.back, QColor(255, 255, 255));
    EXPECT_EQ(l.fore, QColor(0, 0, 0));
    EXPECT_FALSE(l.bold);
}

class DebuggerBreakPointTest : public DebuggerTest {};

TEST_F(DebuggerBreakPointTest, ToggleGivesAndTakesTheBreakPointLook)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    select(w, QStringLiteral("B0.1.0"));
    trigger("mnuDebugBreakPoint");
    EXPECT_EQ(w->BreakPoints(), QStringList{QStringLiteral("B0.1.0")});
    expectBreakPointLook(node(w, QStringLiteral("B0.1.0")));
    trigger("mnuDebugBreakPoint");
    EXPECT_TRUE(w->BreakPoints().isEmpty());
    expectNormalLook(node(w, QStringLiteral("B0.1.0")), QStringLiteral("Block"), QStringLiteral("SBlock"));

    // A script of an included document and the root keep their own pictures.
    select(w, QStringLiteral("B0.1.X0"));
    main->tbMain_ButtonClick(QStringLiteral("BreakPoint"));
    select(w, QStringLiteral("B0.I0|B0.0"));
    trigger("mnuDebugBreakPoint");
    select(w, QStringLiteral("B0"));
    trigger("mnuDebugBreakPoint");
    EXPECT_EQ(
        w->BreakPoints(), (QStringList{QStringLiteral("B0.1.X0"), QStringLiteral("B0.I0|B0.0"), QStringLiteral("B0")}));
    trigger("mnuDebugBreakPoint");
    expectNormalLook(node(w, QStringLiteral("B0")), QStringLiteral("Document"), QStringLiteral("Document"));
    select(w, QStringLiteral("B0.I0|B0.0"));
    trigger("mnuDebugBreakPoint");
    expectNormalLook(node(w, QStringLiteral("B0.I0|B0.0")), QStringLiteral("IBlock"), QStringLiteral("SBlock"));
    select(w, QStringLiteral("B0.1.X0"));
    trigger("mnuDebugBreakPoint");
    expectNormalLook(node(w, QStringLiteral("B0.1.X0")), QStringLiteral("Script"), QStringLiteral("SScript"));
    EXPECT_TRUE(w->BreakPoints().isEmpty());
}

TEST_F(DebuggerBreakPointTest, StationsAndParametersTakeNoBreakPoint)
{
    addDocument(30, 1, QStringLiteral("WithStation"),
        docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("a")),
                   QStringLiteral("<Parameter ID=\"B0.0.P_X\" Name=\"X\" Caption=\"X\" DefaultValue=\"1\" "
                                  "Type=\"fact\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" "
                                  "Behaviour=\"dynamic\"/>"))
            + QStringLiteral("<Station ID=\"B0.S0\" Name=\"S\"><![CDATA[]]></Station>")));
    morvane::frmOrraDevelopment* w = openInMain(30);
    ASSERT_NE(w, nullptr);
    for (const QString& key :
        {QStringLiteral("B0.S0"), QStringLiteral("B0.0.P_X"), QStringLiteral("B0.0_ParamGroup")}) {
        select(w, key);
        const Look before = lookOf(node(w, key));
        trigger("mnuDebugBreakPoint");
        EXPECT_TRUE(w->BreakPoints().isEmpty()) << key.toStdString();
        EXPECT_EQ(lookOf(node(w, key)).image, before.image);
        EXPECT_FALSE(lookOf(node(w, key)).bold);
    }
    // Nothing selected: nothing happens.
    w->tvDocument()->setCurrentItem(nullptr);
    w->CheckBreakPoint();
    EXPECT_TRUE(w->BreakPoints().isEmpty());
}

TEST_F(DebuggerBreakPointTest, ClearAllAndReloadKeepTheirPromise)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    trigger("mnuDebugClearBreakPoints");
    EXPECT_TRUE(w->BreakPoints().isEmpty());
    for (const char* key : {"B0.1.0", "B0.I0"}) {
        select(w, QLatin1String(key));
        trigger("mnuDebugBreakPoint");
    }
    // A reload rebuilds the tree: the break points come back on the new nodes.
    trigger("mnuFileRefresh");
    EXPECT_EQ(w->BreakPoints(), (QStringList{QStringLiteral("B0.1.0"), QStringLiteral("B0.I0")}));
    expectBreakPointLook(node(w, QStringLiteral("B0.1.0")));
    expectBreakPointLook(node(w, QStringLiteral("B0.I0")));
    expectNormalLook(node(w, QStringLiteral("B0.1")), QStringLiteral("Block"), QStringLiteral("SBlock"));
    trigger("mnuDebugClearBreakPoints");
    EXPECT_TRUE(w->BreakPoints().isEmpty());
    expectNormalLook(node(w, QStringLiteral("B0.1.0")), QStringLiteral("Block"), QStringLiteral("SBlock"));
    expectNormalLook(node(w, QStringLiteral("B0.I0")), QStringLiteral("Include"), QStringLiteral("SInclude"));
}

TEST_F(DebuggerBreakPointTest, RemovedElementsTakeTheirBreakPointsWithThem)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    // The last block goes; a new block takes its ID and is no break point.
    select(w, QStringLiteral("B0.2"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDocDelete");
    EXPECT_TRUE(w->BreakPoints().isEmpty());
    select(w, QStringLiteral("B0"));
    trigger("mnuDocNewBlock");
    ASSERT_NE(node(w, QStringLiteral("B0.2")), nullptr);
    expectNormalLook(node(w, QStringLiteral("B0.2")), QStringLiteral("Block"), QStringLiteral("SBlock"));
    trigger("mnuDebugStart");
    EXPECT_FALSE(enabled("mnuDebugContinue")) << "the run paused at " << selectedKey(w).toStdString();
    trigger("mnuDebugStop");
    // A block moved among its siblings keeps its mark; one removed takes the marks below it.
    for (const char* key : {"B0.1.0", "B0.1.X0", "B0.I0"}) {
        select(w, QLatin1String(key));
        trigger("mnuDebugBreakPoint");
    }
    select(w, QStringLiteral("B0.I0"));
    main->toolbarButton(QStringLiteral("MoveUp"))->trigger();
    EXPECT_EQ(
        w->BreakPoints(), (QStringList{QStringLiteral("B0.1.0"), QStringLiteral("B0.1.X0"), QStringLiteral("B0.I0")}));
    expectBreakPointLook(node(w, QStringLiteral("B0.I0")));
    select(w, QStringLiteral("B0.1"));
    trigger("mnuDocDelete");
    EXPECT_EQ(w->BreakPoints(), QStringList{QStringLiteral("B0.I0")});
    // A block dragged elsewhere gets new IDs: its old one is no break point any more.
    morvane::setTreeDragExecutor([](QDrag*) { return Qt::IgnoreAction; });
    select(w, QStringLiteral("B0.0"));
    trigger("mnuDebugBreakPoint");
    w->documentTree()->expandAll();
    QApplication::processEvents();
    const QPoint from = w->tvDocument()->visualItemRect(node(w, QStringLiteral("B0.0"))).center();
    const QPoint onto = w->tvDocument()->visualItemRect(node(w, QStringLiteral("B0.2"))).center();
    w->tvDocument_MouseDown(1, 0, from);
    w->tvDocument_MouseMove(1, 0, from + QPoint(0, 60));
    ASSERT_TRUE(w->DraggingNode());
    w->tvDocument_DragOver(w->tvDocument(), onto);
    w->tvDocument_DragDrop(w->tvDocument(), onto);
    w->tvDocument_MouseUp();
    morvane::setTreeDragExecutor(nullptr);
    ASSERT_NE(node(w, QStringLiteral("B0.2.0")), nullptr);
    EXPECT_EQ(w->BreakPoints(), QStringList{QStringLiteral("B0.I0")});
}

TEST_F(DebuggerBreakPointTest, StopRebuildsTheTreeWithItsBreakPoints)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    select(w, QStringLiteral("B0.1.0"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    ASSERT_TRUE(w->DebugMode());
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.1.0"));
    // Entered elements were marked as running; the paused one carries the running colours.
    EXPECT_EQ(node(w, QStringLiteral("B0.1"))->background(0).color(), QColor(255, 255, 0));
    EXPECT_EQ(node(w, QStringLiteral("B0.1.0"))->background(0).color(), QColor(255, 255, 0));
    EXPECT_EQ(node(w, QStringLiteral("B0.0"))->background(0).color(), QColor(255, 255, 255));
    trigger("mnuDebugStop");
    EXPECT_FALSE(w->DebugMode());
    expectBreakPointLook(node(w, QStringLiteral("B0.1.0")));
    expectNormalLook(node(w, QStringLiteral("B0.1")), QStringLiteral("Block"), QStringLiteral("SBlock"));
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0"));
}

TEST_F(DebuggerBreakPointTest, StartWithoutTheRunRightIsRefused)
{
    addSampleDocuments();
    const long uid = addUser(QStringLiteral("ann"));
    allowDoc(10, uid, 2, 0);   // edit, no execute
    useCatalogue(std::shared_ptr<db::Connection>(connectAs(QStringLiteral("ann"))));
    morvane::frmOrraDevelopment* w = openInMain(10);
    ASSERT_NE(w, nullptr);
    const QString caption = w->windowTitle();
    dui.boxes.clear();
    trigger("mnuDebugStart");
    ASSERT_EQ(dui.texts(), QStringList{QStringLiteral("Permission Denied : You could not run this document")});
    EXPECT_EQ(dui.boxes.front().style, vbOKOnly);
    EXPECT_FALSE(w->DebugMode());
    EXPECT_EQ(w->windowTitle(), caption);
    EXPECT_EQ(w->DocOrra(), nullptr);
    EXPECT_TRUE(dui.logOnServers.isEmpty());
    EXPECT_TRUE(enabled("mnuDebugStart"));
    EXPECT_TRUE(traceRows().isEmpty());
}

}   // namespace
}   // namespace orra::test
