// Drag and drop on the element tree and label editing: a catalogue document dropped from the
// catalogue pane ("T" nodes include, self-inclusion refused), a repository item dropped from it
// ("K" nodes paste, the clipboard kept), the repository round trip with its name clash, moves
// within the tree, the Delete key, and renaming in place.

#include "ClipboardFixture.h"

#include "designer/catalogue/frmpbOrra.h"
#include "platform/widgets/RichTextBox.h"

#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextCursor>

namespace orra::test {
namespace {

using morvane::frmpbOrra;

class DragDropTest : public ClipboardTest {
protected:
    void TearDown() override
    {
        pane.reset();
        ClipboardTest::TearDown();
    }
    frmpbOrra& loadPane()
    {
        pane = std::make_unique<frmpbOrra>();
        pane->resize(300, 600);
        pane->show();
        pane->tvOrra()->expandAll();
        return *pane;
    }
    // Drags the pane's node keyed key (with the real press and move) and, while the drag is
    // under way, lets it over and onto the node keyed onto of w's tree.
    void dragFromPane(const QString& key, morvane::frmOrraDevelopment* w, const QString& onto)
    {
        QTreeWidget* tree = pane->tvOrra()->node(key) ? static_cast<QTreeWidget*>(pane->tvOrra())
                                                      : static_cast<QTreeWidget*>(pane->tvRepository());
        pane->findChild<QTabWidget*>(QStringLiteral("tabOrra"))->setCurrentWidget(tree);
        tree->expandAll();
        QTreeWidgetItem* item = orra::KeyedTree::key(pane->tvOrra()->node(key)).isEmpty()
            ? pane->tvRepository()->node(key)
            : pane->tvOrra()->node(key);
        ASSERT_TRUE(item) << key.toStdString();
        const QPoint start = tree->visualItemRect(item).center();
        const QPoint target = at(w, onto);
        bool dropped = false;
        pane->setDragExecutor([&](QDrag*) {
            EXPECT_EQ(pane->property("dragNode").toString(), key);
            w->tvDocument_DragOver(tree, target);
            EXPECT_EQ(morvane::DocumentTree::key(w->DropHighlight()), onto);
            w->tvDocument_DragDrop(tree, target);
            dropped = true;
            return Qt::MoveAction;
        });
        QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, start);
        QMouseEvent far(QEvent::MouseMove, QPointF(start + QPoint(0, 30)),
            tree->viewport()->mapToGlobal(QPointF(start)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &far);
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, start + QPoint(0, 30));
        EXPECT_TRUE(dropped);
        EXPECT_EQ(w->DropHighlight(), nullptr);
    }
    // A drag within w's tree from the node keyed from onto the node keyed onto.
    static void moveInTree(morvane::frmOrraDevelopment* w, const QString& from, const QString& onto)
    {
        const QPoint start = at(w, from);
        w->tvDocument_MouseDown(1, 0, start);
        w->tvDocument_MouseMove(1, 0, start + QPoint(0, 40));
        ASSERT_TRUE(w->DraggingNode());
        const QPoint target = at(w, onto);
        w->tvDocument_DragOver(w->tvDocument(), target);
        w->tvDocument_DragDrop(w->tvDocument(), target);
        w->tvDocument_MouseUp();
    }

    // Drags the node keyed from out of w's tree (the real press and move, with modifiers held)
    // and, while the drag is under way, over and onto editor at the caret position of
    // character `at`. The drop's result.
    struct EditorDrop {
        bool started = false;
        bool accepted = false;
        bool dropImage = false;
    };
    static EditorDrop dragOntoEditor(morvane::frmOrraDevelopment* w, const QString& from, orra::RichTextBox* editor,
        int at, Qt::KeyboardModifiers modifiers)
    {
        EditorDrop result;
        QTextCursor c(editor->document());
        c.setPosition(at);
        const QPoint target = editor->cursorRect(c).center() + QPoint(1, 0);
        morvane::setTreeDragExecutor([&](QDrag* drag) {
            result.started = true;
            result.dropImage = !drag->dragCursor(Qt::CopyAction).isNull();
            const Qt::DropActions actions = Qt::MoveAction | Qt::CopyAction;
            QWidget* viewport = editor->viewport();
            QDragEnterEvent enter(target, actions, drag->mimeData(), Qt::LeftButton, modifiers);
            QCoreApplication::sendEvent(viewport, &enter);
            if (!enter.isAccepted()) return Qt::IgnoreAction;
            QDragMoveEvent move(target, actions, drag->mimeData(), Qt::LeftButton, modifiers);
            QCoreApplication::sendEvent(viewport, &move);
            QDropEvent drop(QPointF(target), actions, drag->mimeData(), Qt::LeftButton, modifiers);
            QCoreApplication::sendEvent(viewport, &drop);
            result.accepted = move.isAccepted() && drop.isAccepted();
            return result.accepted ? drop.dropAction() : Qt::IgnoreAction;
        });
        QWidget* viewport = w->tvDocument()->viewport();
        const QPoint start = ClipboardTest::at(w, from);
        QTest::mousePress(viewport, Qt::LeftButton, modifiers, start);
        QMouseEvent far(QEvent::MouseMove, QPointF(start + QPoint(0, 30)), viewport->mapToGlobal(QPointF(start)),
            Qt::NoButton, Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(viewport, &far);
        QTest::mouseRelease(viewport, Qt::LeftButton, modifiers, start + QPoint(0, 30));
        return result;
    }

    std::unique_ptr<frmpbOrra> pane;
};

TEST_F(DragDropTest, TreeNodeDroppedOnATextEditorGoesInWhereTheCaretFollowedTheMouse)
{
    morvane::frmOrraDevelopment* w = open(20);
    ASSERT_TRUE(w);
    w->resize(900, 600);
    w->show();
    select(w, "B0.0");
    auto* sql = w->findChild<orra::RichTextBox*>(QStringLiteral("txtBlockSQL"));
    ASSERT_TRUE(sql && sql->isVisible());
    ASSERT_EQ(sql->Text(), QStringLiteral("select <$Limit%>"));

    // A parameter goes into a SQL text as its placeholder, under the mouse.
    EditorDrop drop = dragOntoEditor(w, "B0.0.P_Limit", sql, 7, Qt::NoModifier);
    ASSERT_TRUE(drop.started);
    EXPECT_TRUE(drop.accepted);
    EXPECT_TRUE(drop.dropImage);
    EXPECT_EQ(sql->Text(), QStringLiteral("select <$Limit%><$Limit%>"));
    EXPECT_EQ(xml::bodyText(element(w, "B0.0")), QStringLiteral("select <$Limit%><$Limit%>"));
    EXPECT_TRUE(w->documentChanged());
    // A block dropped on a SQL text moves the caret and inserts nothing.
    drop = dragOntoEditor(w, "B0.1", sql, 0, Qt::NoModifier);
    EXPECT_EQ(sql->Text(), QStringLiteral("select <$Limit%><$Limit%>"));

    // With Ctrl held, the script takes any node's ID; the drop ends the tree's drag.
    select(w, "B0.0.X0");
    auto* script = w->findChild<orra::RichTextBox*>(QStringLiteral("txtScriptSource"));
    ASSERT_TRUE(script && script->isVisible());
    ASSERT_EQ(script->Text(), QStringLiteral("RunFrom \"B0.0.0\""));
    drop = dragOntoEditor(w, "B0.1", script, 8, Qt::ControlModifier);
    EXPECT_TRUE(drop.accepted);
    EXPECT_EQ(script->Text(), QStringLiteral("RunFrom B0.1\"B0.0.0\""));
    EXPECT_FALSE(w->DraggingNode());
    // Without Ctrl a parameter goes in as its placeholder.
    drop = dragOntoEditor(w, "B0.0.P_Limit", script, 0, Qt::NoModifier);
    EXPECT_EQ(script->Text(), QStringLiteral("<$Limit%>RunFrom B0.1\"B0.0.0\""));
    // The structure stays as it was: nothing was moved in the tree.
    EXPECT_TRUE(element(w, "B0.0.P_Limit") && element(w, "B0.1"));
}

TEST_F(DragDropTest, CatalogueDocumentDroppedOnABlockIsIncluded)
{
    auto* w = open(21);
    loadPane();
    dragFromPane("T22", w, "B0.3");
    EXPECT_TRUE(ui.boxes.empty()) << ui.texts().join('\n').toStdString();
    const xml::Node inc = element(w, "B0.3.I0");
    ASSERT_TRUE(inc);
    EXPECT_EQ(xml::attribute(inc, "Name"), QStringLiteral("Include:Lib"));
    EXPECT_TRUE(w->documentChanged());
    // The drop made the target current.
    EXPECT_EQ(xml::attribute(w->CurrentElement(), "ID"), QStringLiteral("B0.3"));

    // A category, or a drop on a node that is no Block or Document, includes nothing.
    const QString before = xmlOf(w);
    dragFromPane("C1", w, "B0.0");
    dragFromPane("T22", w, "B0.3.I0");
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DragDropTest, DocumentDroppedIntoItselfDirectlyOrThroughOthersIsRefused)
{
    auto* lib = open(22);
    loadPane();
    const QString before = xmlOf(lib);
    dragFromPane("T22", lib, "B0");
    EXPECT_EQ(ui.texts(), QStringList({RecursiveIncludeMessage()}));
    ui.boxes.clear();
    // Host includes Lib: dropping Host into Lib would make Lib include itself.
    dragFromPane("T24", lib, "B0.0");
    EXPECT_EQ(ui.texts(), QStringList({RecursiveIncludeMessage()}));
    EXPECT_EQ(xmlOf(lib), before);
    EXPECT_FALSE(lib->documentChanged());
}

TEST_F(DragDropTest, RepositoryRoundTripAndDrop)
{
    NamingUserInterface naming;
    auto* src = open(20);
    select(src, "B0.0.X0");
    ASSERT_TRUE(src->CopyToRepository());
    EXPECT_EQ(scalar(*admin, "select count(*) from tbOrraRepository").toInt(), 1);
    EXPECT_EQ(scalar(*admin, "select rtrim(Tag) + '/' + rtrim(Name) from tbOrraRepository").toString(),
        QStringLiteral("Script/Go"));
    EXPECT_EQ(scalar(*admin, "select SQLTxt from tbOrraRepository").toString(), xml::outerXml(element(src, "B0.0.X0")));
    EXPECT_FALSE(src->documentChanged());

    // The same again: the clash question; No stores nothing.
    naming.answers = {vbNo};
    EXPECT_FALSE(src->CopyToRepository());
    ASSERT_EQ(naming.boxes.size(), 1u);
    EXPECT_EQ(naming.boxes[0].text,
        QStringLiteral("There is already an Item in the repository with Tag:Script and "
                       "Name:Go\r\nWould you like to save with a new name"));
    EXPECT_EQ(naming.boxes[0].style, int(vbYesNoCancel));
    EXPECT_EQ(naming.boxes[0].title, QStringLiteral("Error"));
    // Yes, and a new name with a quote in it: stored under that name.
    naming.answers = {vbYes};
    naming.names = {QStringLiteral("Go'2")};
    EXPECT_TRUE(src->CopyToRepository());
    EXPECT_EQ(naming.prompts, QStringList({"New Name:|Name|Go"}));
    EXPECT_EQ(scalar(*admin, "select count(*) from tbOrraRepository where Name='Go''2'").toInt(), 1);

    // Dropped from the repository tree onto a parameter group: pasted into its block; the
    // clipboard keeps what it held.
    select(src, "B0.1");
    src->CopyElement();
    const QString clipboard = xml::outerXml(morvane::CopiedElement());
    auto* dst = open(21);
    loadPane();
    const long id = scalar(*admin, "select ID from tbOrraRepository where Name='Go'").toLongLong();
    select(dst, "B0.0");
    morvane::CopyToClipboard(element(src, "B0.P_Region"));
    ASSERT_TRUE(dst->PasteElement());
    morvane::CopyToClipboard(element(src, "B0.1"));
    dragFromPane(QStringLiteral("K%1").arg(id), dst, "B0.0_ParameterGroup");
    EXPECT_EQ(childIDs(element(dst, "B0.0")), QStringList({"B0.0.P_Region", "B0.0.X0"}));
    EXPECT_EQ(xml::attribute(element(dst, "B0.0.X0"), "Name"), QStringLiteral("Go"));
    EXPECT_EQ(xml::outerXml(morvane::CopiedElement()), clipboard);
    // A group node of the repository pastes nothing.
    const QString before = xmlOf(dst);
    dragFromPane("Script", dst, "B0.3");
    EXPECT_EQ(xmlOf(dst), before);
}

TEST_F(DragDropTest, DraggedElementMovesWithNewIDsAndReferencesFollow)
{
    auto* w = open(20);
    select(w, "B0.1");
    // Exactly 50 twips is no drag, one pixel more is.
    const QPoint start = at(w, "B0.0.S0");
    w->tvDocument_MouseDown(1, 0, start);
    const int fifty = 50 * w->tvDocument()->logicalDpiX() / 1440;
    w->tvDocument_MouseMove(1, 0, start + QPoint(fifty, 0));
    EXPECT_EQ(w->DraggingNode(), fifty * 1440 / w->tvDocument()->logicalDpiX() > 50);
    w->tvDocument_MouseMove(1, 0, start + QPoint(fifty + 1, 0));
    EXPECT_TRUE(w->DraggingNode());
    EXPECT_EQ(startedDrags, QStringList({"B0.0.S0"}));
    // The tree still shows the node selected before the press.
    EXPECT_EQ(morvane::DocumentTree::key(w->tvDocument()->currentItem()), QStringLiteral("B0.1"));
    w->tvDocument_MouseUp();
    EXPECT_FALSE(w->DraggingNode());
    // Neither the Document nor a parameter group can be dragged.
    for (const char* fixed : {"B0", "B0_ParamGroup"}) {
        w->tvDocument_MouseDown(1, 0, at(w, fixed));
        w->tvDocument_MouseMove(1, 0, at(w, fixed) + QPoint(0, 40));
        EXPECT_FALSE(w->DraggingNode()) << fixed;
        w->tvDocument_MouseUp();
    }

    moveInTree(w, "B0.0.S0", "B0");
    EXPECT_FALSE(element(w, "B0.0.S0"));
    EXPECT_FALSE(node(w, "B0.0.S0"));
    EXPECT_EQ(xml::attribute(element(w, "B0.S0"), "Name"), QStringLiteral("Stop"));
    EXPECT_EQ(childKeys(node(w, "B0")).last(), QStringLiteral("B0.S0"));
    // The script that named the station follows it.
    EXPECT_EQ(xml::bodyText(element(w, "B0.X0")), QStringLiteral("RunFrom \"B0.0\" : RunFrom \"B0.S0\""));
    EXPECT_EQ(morvane::DocumentTree::key(w->tvDocument()->currentItem()), QStringLiteral("B0"));
    EXPECT_TRUE(w->documentChanged());

    // A parameter onto another block's group... its old group goes with it.
    select(w, "B0.1");
    morvane::CopyToClipboard(element(w, "B0.P_Region"));
    ASSERT_TRUE(w->PasteElement());
    morvane::CopyToClipboard(xml::Node());
    moveInTree(w, "B0.0.P_Limit", "B0.1_ParameterGroup");
    EXPECT_EQ(childIDs(element(w, "B0.1")), QStringList({"B0.1.P_Region", "B0.1.P_Limit"}));
    EXPECT_FALSE(node(w, "B0.0_ParamGroup"));
    EXPECT_FALSE(morvane::CopiedElement());

    // Onto its own sub-block, or onto itself: nothing happens.
    const QString before = xmlOf(w);
    moveInTree(w, "B0.0", "B0.0.0");
    moveInTree(w, "B0.0", "B0.0");
    EXPECT_EQ(xmlOf(w), before);
    // A parameter onto its own group: the duplicate-key message, nothing moves.
    ui.boxes.clear();
    moveInTree(w, "B0.1.P_Region", "B0.1_ParameterGroup");
    EXPECT_EQ(ui.texts(), QStringList({"Key is not unique in collection"}));
    EXPECT_EQ(xmlOf(w), before);

    // A node of an included document does not move.
    auto* host = open(24);
    const QString hostBefore = xmlOf(host);
    moveInTree(host, "B0.I0|B0.0", "B0");
    EXPECT_EQ(xmlOf(host), hostBefore);
}

TEST_F(DragDropTest, ParameterNodeDroppedOnTheGridBindsItsRow)
{
    auto* host = open(24);
    select(host, "B0.I0");
    QTableWidget* grid = host->grdInheritance();
    ASSERT_EQ(grid->rowCount(), 1);
    // A Station binds nothing, a Parameter binds its ID.
    addDocument(29, 1, QStringLiteral("WithStation"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>") + Param("B0.P_Z", "Z")
            + QStringLiteral("<Station ID=\"B0.S0\" Name=\"S\"><![CDATA[]]></Station>"
                             "<Include ID=\"B0.I0\" Name=\"Include:Lib\" DocID=\"22\"/></Document>"));
    auto* w = open(29);
    select(w, "B0.I0");
    grid = w->grdInheritance();
    const QPoint row0 = grid->visualRect(grid->model()->index(0, 1)).center();
    w->tvDocument_MouseDown(1, 0, at(w, "B0.S0"));
    w->grdInheritance_DragEnter();
    w->grdInheritance_DragOver(w->tvDocument(), row0);
    EXPECT_EQ(grid->currentColumn(), 2);
    EXPECT_EQ(grid->palette().color(QPalette::Highlight), QColor(0xff, 0xff, 0x00));
    w->grdInheritance_DragDrop(w->tvDocument());
    EXPECT_FALSE(element(w, "B0.I0").child("Inheritance"));
    EXPECT_EQ(grid->palette().color(QPalette::Highlight), grid->palette().color(QPalette::Base));
    w->tvDocument_MouseDown(1, 0, at(w, "B0.P_Z"));
    w->grdInheritance_DragEnter();
    w->grdInheritance_DragOver(w->tvDocument(), row0);
    // Only a drag from an element tree counts.
    w->grdInheritance_DragDrop(pane ? static_cast<QObject*>(pane.get()) : static_cast<QObject*>(grid));
    EXPECT_FALSE(element(w, "B0.I0").child("Inheritance"));
    w->grdInheritance_DragDrop(w->tvDocument());
    EXPECT_EQ(xml::outerXml(element(w, "B0.I0").child("Inheritance")),
        QStringLiteral("<Inheritance PID=\"B0.I0|B0.P_Year\" RID=\"B0.P_Z\"/>"));
    EXPECT_EQ(grid->item(0, 2)->text(), QStringLiteral("B0.P_Z"));
    EXPECT_TRUE(w->documentChanged());
    // The bound cell, still the selected one, shows its text: some of it is dark ink.
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    ASSERT_TRUE(grid->selectionModel()->isSelected(grid->model()->index(0, 2)));
    const QImage cell = grid->viewport()->grab(grid->visualRect(grid->model()->index(0, 2))).toImage();
    ASSERT_FALSE(cell.isNull());
    int ink = 0;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x) ink += qGray(cell.pixel(x, y)) < 128;
    EXPECT_GT(ink, 10);
}

TEST_F(DragDropTest, DeleteKeyFollowsTheToolbarsDeleteButton)
{
    morvane::frmOrraDevelopment* w = openInMain(20);
    ASSERT_TRUE(w);
    expandAll(w);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    select(w, "B0.0.S0");
    ASSERT_TRUE(main->toolbarButton(QStringLiteral("Delete"))->isEnabled());
    QCoreApplication::sendEvent(w->tvDocument(), &del);
    EXPECT_FALSE(element(w, "B0.0.S0"));
    // The Document node: the button is off and nothing goes.
    select(w, "B0");
    ASSERT_FALSE(main->toolbarButton(QStringLiteral("Delete"))->isEnabled());
    const QString before = xmlOf(w);
    QCoreApplication::sendEvent(w->tvDocument(), &del);
    EXPECT_EQ(xmlOf(w), before);
}

TEST_F(DragDropTest, DeleteKeyRemovesTheSelectedElement)
{
    auto* w = open(20);
    select(w, "B0.1");
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(w->tvDocument(), &del);
    EXPECT_FALSE(element(w, "B0.1"));
    EXPECT_FALSE(node(w, "B0.1"));
}

TEST_F(DragDropTest, AnErrorUnderTheDeleteKeyIsShownWithItsSourceAndTheDesignerGoesOn)
{
    // A document that includes this one holds text that is no document: the dependency check
    // of a parameter's removal fails.
    addDocument(30, 1, QStringLiteral("Broken"), QStringLiteral("<Document ID=\"B0\""));
    admin->execute(QStringLiteral("insert into tbOrraRelations values (30, 20)"));
    morvane::frmOrraDevelopment* w = openInMain(20);
    ASSERT_TRUE(w);
    expandAll(w);
    select(w, "B0.0.P_Limit");
    ASSERT_TRUE(main->toolbarButton(QStringLiteral("Delete"))->isEnabled());
    ui.boxes.clear();
    QTest::keyClick(w->tvDocument(), Qt::Key_Delete);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_FALSE(ui.boxes.front().text.isEmpty());
    EXPECT_EQ(ui.boxes.front().title, QStringLiteral("frmOrraDevelopment"));
    EXPECT_TRUE(element(w, "B0.0.P_Limit"));
    EXPECT_TRUE(node(w, "B0.0.P_Limit"));
    // The window goes on: the next key removes what it can.
    select(w, "B0.0.S0");
    QTest::keyClick(w->tvDocument(), Qt::Key_Delete);
    EXPECT_FALSE(element(w, "B0.0.S0"));
}

TEST_F(DragDropTest, BlockRenamedInPlaceInTheMainWindow)
{
    morvane::frmOrraDevelopment* w = openInMain(21);
    ASSERT_TRUE(w);
    expandAll(w);
    select(w, "B0.3");
    w->tvDocument()->editItem(node(w, "B0.3"));
    auto* editor = w->tvDocument()->viewport()->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->setText(QStringLiteral("Renamed"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();   // the delegate commits on its next turn
    EXPECT_EQ(node(w, "B0.3")->text(0), QStringLiteral("Renamed"));
    EXPECT_EQ(xml::attribute(element(w, "B0.3"), "Name"), QStringLiteral("Renamed"));
    EXPECT_EQ(xml::attribute(element(w, "B0.3"), "ID"), QStringLiteral("B0.3"));
    EXPECT_TRUE(w->documentChanged());
    // The Document's label is not edited.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(w->tvDocument()->viewport()->findChild<QLineEdit*>());
    select(w, "B0");
    w->tvDocument()->editItem(node(w, "B0"));
    EXPECT_FALSE(w->tvDocument()->viewport()->findChild<QLineEdit*>());
}

TEST_F(DragDropTest, LabelEditRenamesByTheRules)
{
    auto* w = open(20);
    for (const char* refused : {"B0", "B0_ParamGroup"}) {
        select(w, refused);
        EXPECT_EQ(w->tvDocument_BeforeLabelEdit(), 1) << refused;
    }
    auto* host = open(24);
    select(host, "B0.I0");
    EXPECT_EQ(host->tvDocument_BeforeLabelEdit(), 1);
    select(host, "B0.I0|B0.0");
    EXPECT_EQ(host->tvDocument_BeforeLabelEdit(), 1);

    // A parameter: its key, ID, name and placeholders follow.
    select(w, "B0.0.P_Limit");
    EXPECT_EQ(w->tvDocument_AfterLabelEdit(QStringLiteral("Cap")), 0);
    EXPECT_TRUE(node(w, "B0.0.P_Cap"));
    EXPECT_FALSE(node(w, "B0.0.P_Limit"));
    EXPECT_EQ(xml::attribute(element(w, "B0.0.P_Cap"), "Name"), QStringLiteral("Cap"));
    EXPECT_EQ(xml::bodyText(element(w, "B0.0")), QStringLiteral("select <$Cap%>"));

    // Names that would break IDs or placeholders, and a name in use, are refused.
    addDocument(28, 1, QStringLiteral("Two"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>") + Param("B0.P_A", "A")
            + Param("B0.P_B", "B") + QStringLiteral("</Document>"));
    auto* two = open(28);
    const QString before = xmlOf(two);
    select(two, "B0.P_A");
    for (const char* bad : {"", "a b", "x.y", "p|q", "<x", "5%", "$d", "it's"}) {
        ui.boxes.clear();
        EXPECT_EQ(two->tvDocument_AfterLabelEdit(QString::fromUtf8(bad)), 1) << bad;
        EXPECT_EQ(ui.texts(), QStringList({morvane::frmOrraDevelopment::ParameterNameProblem(QString::fromUtf8(bad))}))
            << bad;
    }
    ui.boxes.clear();
    EXPECT_EQ(two->tvDocument_AfterLabelEdit(QStringLiteral("B")), 1);
    EXPECT_EQ(ui.texts(), QStringList({"There is already a parameter named \"B\" in this block."}));
    EXPECT_EQ(xmlOf(two), before);
    EXPECT_TRUE(node(two, "B0.P_A"));

    // A parameter an including document binds: asked, and kept.
    auto* lib = open(22);
    select(lib, "B0.P_Year");
    ui.boxes.clear();
    ui.answers = {vbCancel};
    EXPECT_EQ(lib->tvDocument_AfterLabelEdit(QStringLiteral("When")), 1);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(element(lib, "B0.P_Year"));
    EXPECT_TRUE(node(lib, "B0.P_Year"));
    EXPECT_TRUE(lib->documentChanged());
}

}   // namespace
}   // namespace orra::test
