// Rename in place and move by drag in the catalogue trees.

#include "tests/designer/CatcmdTestSupport.h"

#include <QLineEdit>
#include <QTest>

using namespace morvane;

namespace orra::test {
namespace {

QString includeXml(long includeDocId, const QString& includedName, int count = 1)
{
    QString body;
    for (int i = 0; i < count; ++i)
        body += QStringLiteral("<Include ID=\"0.I%1\" Name=\"Include:%2\" DocID=\"%3\"/>")
                    .arg(i)
                    .arg(includedName)
                    .arg(includeDocId);
    return QStringLiteral("<Document ID=\"0\" Server=\"{FREE}\"><![CDATA[]]><Block ID=\"0.0\" "
                          "Name=\"B\"><![CDATA[select 1]]>%1</Block></Document>")
        .arg(body);
}

class CatcmdRename : public CatcmdTest {
protected:
    void SetUp() override
    {
        CatcmdTest::SetUp();
        addCategory(1, 0, QStringLiteral("Reports"));
        addCategory(2, 1, QStringLiteral("Monthly"));
        addCategory(3, 2, QStringLiteral("Archive"));
        addCategory(4, 0, QStringLiteral("Other"));
        addDocument(7, 1, QStringLiteral("Turnover"), QStringLiteral("<Document ID=\"0\" Server=\"{FREE}\"/>"));
        addDocument(3, 1, QStringLiteral("ByCity"), includeXml(7, QStringLiteral("Turnover"), 2));
        addDocument(9, 4, QStringLiteral("ByRegion"), includeXml(7, QStringLiteral("Turnover")));
        addDocument(1, 4, QStringLiteral("Top"), includeXml(3, QStringLiteral("ByCity")));
        for (auto [obj, rel] : {std::pair{3, 7}, {3, 7}, {9, 7}, {1, 3}})
            admin->execute(QStringLiteral("insert into tbOrraRelations values (%1,%2)").arg(obj).arg(rel));
    }
    QString stored(long id)
    {
        return value(QStringLiteral("select SQLtxt from tbOrraSQL where ID=%1").arg(id)).toString();
    }
};

TEST_F(CatcmdRename, ADocumentRenameRewritesItsDirectIncludersStoredAndOpen)
{
    frmpbOrra& p = loadPane();
    CatcmdWindow* open = openWindow(3);
    ASSERT_NE(open, nullptr);
    open->setChanged(false);
    const QString topBefore = stored(1);

    ASSERT_TRUE(tvOrra_AfterLabelEdit(p, p.tvOrra()->node("T7"), QStringLiteral("Sales")));
    EXPECT_TRUE(answering.messages.isEmpty()) << answering.messages.join('|').toStdString();
    EXPECT_EQ(name("tbOrraSQL", 7), QStringLiteral("Sales"));
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 7));
    // Both includes in 3, the one in 9; their checksums recomputed.
    EXPECT_EQ(stored(3).count(QStringLiteral("Name=\"Include:Sales\"")), 2);
    EXPECT_FALSE(stored(3).contains(QStringLiteral("Include:Turnover")));
    EXPECT_EQ(stored(9).count(QStringLiteral("Name=\"Include:Sales\"")), 1);
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 3));
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 9));
    // Top includes ByCity, not the renamed document: untouched.
    EXPECT_EQ(stored(1), topBefore);
    // The open window of 3 shows the new name at once and does not count as changed.
    EXPECT_EQ(open->nodeTexts.value(QStringLiteral("0.I0")), QStringLiteral("Include:Sales"));
    EXPECT_EQ(open->nodeTexts.value(QStringLiteral("0.I1")), QStringLiteral("Include:Sales"));
    EXPECT_TRUE(open->document()->xml().contains(QStringLiteral("Include:Sales")));
    EXPECT_FALSE(open->changed());
    // The locks taken for the rename are given back; the window's own stays.
    EXPECT_EQ(lockHolder(7), -1);
    EXPECT_EQ(lockHolder(9), -1);
    EXPECT_EQ(lockHolder(3), spidOf(*main));
}

TEST_F(CatcmdRename, NamesWithQuotesTurkishLettersAndBlanksAreStoredAsTyped)
{
    frmpbOrra& p = loadPane();
    const QString category = QStringLiteral("Şube'ler ıİ ğ");
    const QString document = QStringLiteral("O'Brien çalışma  ");
    ASSERT_TRUE(tvOrra_AfterLabelEdit(p, p.tvOrra()->node("C2"), category));
    ASSERT_TRUE(tvOrra_AfterLabelEdit(p, p.tvOrra()->node("T7"), document));
    EXPECT_EQ(name("tbOrraCategory", 2), category.trimmed());
    EXPECT_EQ(name("tbOrraSQL", 7), document.trimmed());
    EXPECT_TRUE(checkSumHolds("tbOrraCategory", 2));
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 7));
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(stored(9)));
    EXPECT_TRUE(doc.xml().contains(QStringLiteral("Name=\"Include:O&apos;Brien çalışma  \""))
        || doc.xml().contains(QStringLiteral("Name=\"Include:O'Brien çalışma  \"")));
}

TEST_F(CatcmdRename, ARefusedNameLeavesEverythingAndSaysWhy)
{
    frmpbOrra& p = loadPane();
    const QString before3 = stored(3);
    // A name used in the same category (case ignored by the catalogue).
    EXPECT_FALSE(tvOrra_AfterLabelEdit(p, p.tvOrra()->node("T7"), QStringLiteral("bycity")));
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(name("tbOrraSQL", 7), QStringLiteral("Turnover"));
    EXPECT_EQ(stored(3), before3);
    // A name longer than the column: refused with a clear message, not cut.
    answering.messages.clear();
    const QString longName(51, QLatin1Char('x'));
    EXPECT_FALSE(tvOrra_AfterLabelEdit(p, p.tvOrra()->node("T7"), longName));
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(answering.messages[0],
        QStringLiteral("The name '%1' is longer than the 50 characters a name may have.").arg(longName));
    EXPECT_EQ(name("tbOrraSQL", 7), QStringLiteral("Turnover"));
    EXPECT_TRUE(tvOrra_AfterLabelEdit(p, p.tvOrra()->node("T7"), QString(50, QLatin1Char('y'))));
}

TEST_F(CatcmdRename, AnIncluderLockedElsewhereStopsTheWholeRename)
{
    frmpbOrra& p = loadPane();
    // Another designer edits document 9.
    auto other = connect(QStringLiteral("sa"), QStringLiteral("secret"));
    other->execute(QStringLiteral("sp_UserLock '<Document><Program Name=\"Morvane\" DB=\"cat\"/><Parameter "
                                  "Name=\"DocID\" Value=\"9\"/></Document>',0"));
    const QString before3 = stored(3), before9 = stored(9);

    EXPECT_FALSE(tvOrra_AfterLabelEdit(p, p.tvOrra()->node("T7"), QStringLiteral("Sales")));
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_TRUE(answering.messages[0].startsWith(QStringLiteral("The document 9 is locked by")))
        << answering.messages[0].toStdString();
    EXPECT_EQ(name("tbOrraSQL", 7), QStringLiteral("Turnover"));
    EXPECT_EQ(stored(3), before3);
    EXPECT_EQ(stored(9), before9);
    EXPECT_EQ(lockHolder(7), -1);
    EXPECT_EQ(lockHolder(3), -1);
    EXPECT_EQ(lockHolder(9), spidOf(*other));
}

TEST_F(CatcmdRename, RightsGuardTheLabelAndTheIncluders)
{
    // ann may change 7 and the categories below 1, not document 9 that includes 7.
    allowDoc(7, annUid, rightEdit | rightChange, 0);
    allowDoc(3, annUid, rightEdit | rightChange, 0);
    allowDoc(9, annUid, rightEdit, rightChange);
    allowCategory(1, annUid, rightEdit, 0);
    allowCategory(2, annUid, rightEdit | rightChange, 0);
    logOnAsAnn();
    frmpbOrra& p = loadPane();
    EXPECT_TRUE(tvOrra_BeforeLabelEdit(p.tvOrra()->node("T7")));
    EXPECT_TRUE(tvOrra_BeforeLabelEdit(p.tvOrra()->node("C2")));
    EXPECT_FALSE(tvOrra_BeforeLabelEdit(p.tvOrra()->node("C1")));
    EXPECT_FALSE(tvOrra_BeforeLabelEdit(p.tvOrra()->node("T9")));

    // F2 opens the editor only where the guard allows.
    p.show();
    p.tvOrra()->setCurrentItem(p.tvOrra()->node("C1"));
    QTest::keyClick(p.tvOrra(), Qt::Key_F2);
    EXPECT_EQ(p.tvOrra()->findChild<QLineEdit*>(), nullptr);

    EXPECT_FALSE(tvOrra_AfterLabelEdit(p, p.tvOrra()->node("T7"), QStringLiteral("Sales")));
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(answering.messages[0],
        QStringLiteral("Permission Denied : You could not change document 'ByRegion', which includes this document"));
    EXPECT_EQ(name("tbOrraSQL", 7), QStringLiteral("Turnover"));
}

// The label editor open now (a closed one lingers until it is deleted).
QLineEdit* openEditor(QWidget* tree)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QLineEdit* e : tree->findChildren<QLineEdit*>())
        if (e->isVisible()) return e;
    return nullptr;
}

TEST_F(CatcmdRename, EditingTheLabelStoresTheNameAndARefusalReopensTheEditor)
{
    frmpbOrra& p = loadPane();
    p.show();
    QTreeWidgetItem* node = p.tvOrra()->node("C4");
    StartLabelEdit(p, p.tvOrra(), node);
    auto* editor = p.tvOrra()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Yıllık"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(node->text(0), QStringLiteral("Yıllık"));
    EXPECT_EQ(name("tbOrraCategory", 4), QStringLiteral("Yıllık"));

    // "Reports" is taken at the top level: the node keeps its text and opens again.
    StartLabelEdit(p, p.tvOrra(), node);
    editor = openEditor(p.tvOrra());
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("REPORTS"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(node->text(0), QStringLiteral("Yıllık"));
    EXPECT_EQ(answering.messages.size(), 1);
    QTest::qWait(20);
    EXPECT_NE(openEditor(p.tvOrra()), nullptr);
}

TEST_F(CatcmdRename, TheEnterThatEndsARenameOnlyEndsIt)
{
    frmpbOrra& p = loadPane();
    p.show();
    QTreeWidgetItem* node = select(QStringLiteral("T7"));
    QTest::keyClick(p.tvOrra(), Qt::Key_F2);
    QLineEdit* editor = openEditor(p.tvOrra());
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Sales"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(name("tbOrraSQL", 7), QStringLiteral("Sales"));
    EXPECT_EQ(node->text(0), QStringLiteral("Sales"));
    EXPECT_EQ(CatcmdWindow::created, 0);
    EXPECT_EQ(openEditor(p.tvOrra()), nullptr);
    // Enter on the node opens the document, under its new name.
    QTest::keyClick(p.tvOrra(), Qt::Key_Return);
    QWidget* window = FindDocumentWindow(7, QString(), false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Sales"));
}

TEST_F(CatcmdRename, AClickOnTheSelectedNodeOpensItsLabel)
{
    frmpbOrra& p = loadPane();
    p.show();
    KeyedTree* tree = p.tvOrra();
    QTreeWidgetItem* node = tree->node(QStringLiteral("T7"));
    node->parent()->setExpanded(true);
    const QPoint at = tree->visualItemRect(node).center();
    const int wait = QApplication::doubleClickInterval() + 100;
    // The click that selects the node does not open it.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(tree->currentItem(), node);
    QTest::qWait(wait);
    EXPECT_EQ(openEditor(tree), nullptr);
    // A double-click on it opens the document, not the label.
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::qWait(wait);
    EXPECT_EQ(openEditor(tree), nullptr);
    ASSERT_NE(FindDocumentWindow(7, QString(), false), nullptr);
    // A click on the selected node opens its label once no double-click can follow.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(openEditor(tree), nullptr);
    QTest::qWait(wait);
    QLineEdit* editor = openEditor(tree);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Sales"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(name("tbOrraSQL", 7), QStringLiteral("Sales"));
    // Without the Change right the click opens nothing.
    allowDoc(9, annUid, rightEdit, 0);
    allowCategory(4, annUid, rightEdit, 0);
    logOnAsAnn();
    loadPane().show();
    tree = pane->tvOrra();
    node = tree->node(QStringLiteral("T9"));
    node->parent()->setExpanded(true);
    const QPoint on9 = tree->visualItemRect(node).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, on9);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, on9, wait);
    QTest::qWait(wait);
    EXPECT_EQ(openEditor(tree), nullptr);
}

TEST_F(CatcmdRename, RepositoryItemsAreRenamedAndGroupsAreNot)
{
    admin->execute(QStringLiteral("insert into tbOrraRepository values ('Block', 'Totals', '<Block/>')"));
    frmpbOrra& p = loadPane();
    QTreeWidgetItem* group = p.tvRepository()->node(QStringLiteral("Block"));
    ASSERT_NE(group, nullptr);
    EXPECT_FALSE(tvRepository_BeforeLabelEdit(group));
    QTreeWidgetItem* item = group->child(0);
    EXPECT_TRUE(tvRepository_BeforeLabelEdit(item));
    EXPECT_TRUE(tvRepository_AfterLabelEdit(item, QStringLiteral("Ara 'toplam'")));
    EXPECT_EQ(
        value(QStringLiteral("select rtrim(Name) from tbOrraRepository")).toString(), QStringLiteral("Ara 'toplam'"));
}

// --- Move -----------------------------------------------------------------------------------

TEST_F(CatcmdRename, ADroppedDocumentMovesWithItsRightsAndChecksum)
{
    allowDoc(7, annUid, rightEdit, 0);
    frmpbOrra& p = loadPane();
    tvOrra_DragDrop(p, QStringLiteral("T7"), p.tvOrra()->node("C4"));
    EXPECT_TRUE(answering.messages.isEmpty());
    EXPECT_EQ(count(QStringLiteral("select CategoryID from tbOrraSQL where ID=7")), 4);
    EXPECT_EQ(name("tbOrraSQL", 7), QStringLiteral("Turnover"));
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 7));
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraDocPermissions where OrraID=7")), 1);
    QTreeWidgetItem* moved = p.tvOrra()->node("T7");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(KeyedTree::key(moved->parent()), QStringLiteral("C4"));
    EXPECT_EQ(p.tvOrra()->currentItem(), moved);
}

TEST_F(CatcmdRename, ADroppedCategoryTakesItsSubTreeAndCannotGoBelowItself)
{
    frmpbOrra& p = loadPane();
    // Below its own grandchild and onto itself: nothing moves.
    tvOrra_DragDrop(p, QStringLiteral("C1"), p.tvOrra()->node("C3"));
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(answering.messages[0],
        QStringLiteral("The category 'Reports' cannot be moved below itself or one of its sub-categories."));
    tvOrra_DragDrop(p, QStringLiteral("C1"), p.tvOrra()->node("C1"));
    EXPECT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(count(QStringLiteral("select ParentID from tbOrraCategory where ID=1")), 0);
    // Onto a document or nowhere: nothing.
    tvOrra_DragDrop(p, QStringLiteral("C2"), p.tvOrra()->node("T9"));
    tvOrra_DragDrop(p, QStringLiteral("C2"), nullptr);
    EXPECT_EQ(count(QStringLiteral("select ParentID from tbOrraCategory where ID=2")), 1);

    tvOrra_DragDrop(p, QStringLiteral("C2"), p.tvOrra()->node("C4"));
    EXPECT_EQ(count(QStringLiteral("select ParentID from tbOrraCategory where ID=2")), 4);
    EXPECT_TRUE(checkSumHolds("tbOrraCategory", 2));
    EXPECT_EQ(KeyedTree::key(p.tvOrra()->node("C2")->parent()), QStringLiteral("C4"));
    EXPECT_EQ(KeyedTree::key(p.tvOrra()->node("C3")->parent()), QStringLiteral("C2"));
}

TEST_F(CatcmdRename, MovesAskTheTargetRightFirstThenTheMoveRight)
{
    allowCategory(1, annUid, rightEdit, 0);
    allowCategory(4, annUid, rightEdit | rightAddNewDocument, 0);
    allowDoc(7, annUid, rightEdit, rightMove);
    logOnAsAnn();
    frmpbOrra& p = loadPane();
    tvOrra_DragDrop(p, QStringLiteral("C2"), p.tvOrra()->node("C4"));
    tvOrra_DragDrop(p, QStringLiteral("T7"), p.tvOrra()->node("C2"));
    tvOrra_DragDrop(p, QStringLiteral("T7"), p.tvOrra()->node("C4"));
    EXPECT_EQ(answering.messages,
        QStringList({QStringLiteral("Permission Denied : You could not add category to 'Other' category"),
            QStringLiteral("Permission Denied : You could not add document to 'Monthly' category"),
            QStringLiteral("Permission Denied : You could not move this document")}));
    EXPECT_EQ(count(QStringLiteral("select ParentID from tbOrraCategory where ID=2")), 1);
    EXPECT_EQ(count(QStringLiteral("select CategoryID from tbOrraSQL where ID=7")), 1);
}

TEST_F(CatcmdRename, AMoveTakesTheDocumentsLock)
{
    frmpbOrra& p = loadPane();
    // Another designer edits document 7: it stays where it is.
    auto other = connect(QStringLiteral("sa"), QStringLiteral("secret"));
    const QString lockXml = QStringLiteral("'<Document><Program Name=\"Morvane\" DB=\"cat\"/><Parameter "
                                           "Name=\"DocID\" Value=\"7\"/></Document>'");
    other->execute(QStringLiteral("sp_UserLock %1,0").arg(lockXml));
    tvOrra_DragDrop(p, QStringLiteral("T7"), p.tvOrra()->node("C4"));
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_TRUE(answering.messages[0].startsWith(QStringLiteral("The document 7 is locked by")))
        << answering.messages[0].toStdString();
    EXPECT_EQ(count(QStringLiteral("select CategoryID from tbOrraSQL where ID=7")), 1);
    EXPECT_EQ(KeyedTree::key(p.tvOrra()->node("T7")->parent()), QStringLiteral("C1"));
    EXPECT_EQ(lockHolder(7), spidOf(*other));
    // Once it is free the move goes, and the lock taken for it is given back.
    other->execute(QStringLiteral("sp_UserLock %1,1").arg(lockXml));
    tvOrra_DragDrop(p, QStringLiteral("T7"), p.tvOrra()->node("C4"));
    EXPECT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(count(QStringLiteral("select CategoryID from tbOrraSQL where ID=7")), 4);
    EXPECT_EQ(lockHolder(7), -1);
}

TEST_F(CatcmdRename, AMoveThatCollidesIsRolledBack)
{
    addDocument(20, 4, QStringLiteral("Turnover"), QString());
    frmpbOrra& p = loadPane();
    tvOrra_DragDrop(p, QStringLiteral("T7"), p.tvOrra()->node("C4"));
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(count(QStringLiteral("select CategoryID from tbOrraSQL where ID=7")), 1);
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 7));
    EXPECT_EQ(KeyedTree::key(p.tvOrra()->node("T7")->parent()), QStringLiteral("C1"));
}

}   // namespace
}   // namespace orra::test
