// The catalogue tree fill on an embedded catalogue: nested and disabled categories and
// documents, an empty catalogue, categories that come child-first, rows whose parent is
// missing, duplicate documents and a procedure that fails.

#include "CatalogueTestSupport.h"

#include "platform/host/Error.h"
#include "platform/db/sqlite/SqliteFileBackend.h"
#include "platform/widgets/KeyedTree.h"

using namespace orra;
using morvane::FillCatalogueTree;

namespace {

class CatalogueTreeFill : public test::DesignerCatalogueTest {
protected:
    void SetUp() override
    {
        DesignerCatalogueTest::SetUp();
        tree = std::make_unique<KeyedTree>();
    }
    void TearDown() override
    {
        tree.reset();
        DesignerCatalogueTest::TearDown();
    }

    void addDisabledCategory(long id, long parent, const QString& name)
    {
        addCategory(id, parent, name);
        admin->execute(QStringLiteral("update tbOrraCategory set Disabled=1 where ID=%1").arg(id));
        stamp(QStringLiteral("tbOrraCategory"), id);
    }
    void disableDocument(long id)
    {
        admin->execute(QStringLiteral("update tbOrraSQL set Disabled=1 where ID=%1").arg(id));
        stamp(QStringLiteral("tbOrraSQL"), id);
    }

    // A nested catalogue: Sales > (Monthly [disabled] > Archive), Sales > documents, Finance.
    void addNestedCatalogue()
    {
        addCategory(1, 0, QStringLiteral("Sales"));
        addDisabledCategory(2, 1, QStringLiteral("Monthly"));
        addCategory(3, 2, QStringLiteral("Archive"));
        addCategory(4, 0, QStringLiteral("Finance"));
        addDocument(10, 1, QStringLiteral("City report"), QStringLiteral("<Document ID=\"B0\"/>"));
        addDocument(11, 2, QStringLiteral("January"), QStringLiteral("<Document ID=\"B0\"/>"));
        addDocument(12, 3, QStringLiteral("Old"), QStringLiteral("<Document ID=\"B0\"/>"));
        disableDocument(12);
        addDocument(13, 4, QStringLiteral("Ledger"), QStringLiteral("<Document ID=\"B0\"/>"));
    }

    QStringList childKeys(QTreeWidgetItem* node) const
    {
        QStringList keys;
        const int n = node ? node->childCount() : tree->topLevelItemCount();
        for (int i = 0; i < n; ++i) keys << KeyedTree::key(node ? node->child(i) : tree->topLevelItem(i));
        return keys;
    }

    db::ResultSet resultOf(const QString& sql)
    {
        db::RecordsetPtr rs = admin->execute(sql);
        return *rs->current();
    }

    std::unique_ptr<KeyedTree> tree;
};

TEST_F(CatalogueTreeFill, NestedAndDisabledCategoriesAndDocuments)
{
    addNestedCatalogue();
    FillCatalogueTree(*tree);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();

    EXPECT_EQ(tree->nodeCount(), 8);
    QStringList top = childKeys(nullptr);
    top.sort();
    EXPECT_EQ(top, (QStringList{QStringLiteral("C1"), QStringLiteral("C4")}));
    QTreeWidgetItem* sales = tree->node(QStringLiteral("C1"));
    QTreeWidgetItem* monthly = tree->node(QStringLiteral("C2"));
    QTreeWidgetItem* archive = tree->node(QStringLiteral("C3"));
    ASSERT_TRUE(sales && monthly && archive);
    EXPECT_EQ(monthly->parent(), sales);
    EXPECT_EQ(archive->parent(), monthly);
    EXPECT_EQ(tree->node(QStringLiteral("T10"))->parent(), sales);
    EXPECT_EQ(tree->node(QStringLiteral("T11"))->parent(), monthly);
    EXPECT_EQ(tree->node(QStringLiteral("T12"))->parent(), archive);
    EXPECT_EQ(tree->node(QStringLiteral("T13"))->parent(), tree->node(QStringLiteral("C4")));
    // Categories before the documents beneath them.
    EXPECT_EQ(childKeys(sales), (QStringList{QStringLiteral("C2"), QStringLiteral("T10")}));

    // Texts are trimmed (the names are fixed-width), tags are the row numbers.
    EXPECT_EQ(sales->text(0), QStringLiteral("Sales"));
    EXPECT_EQ(tree->node(QStringLiteral("T10"))->text(0), QStringLiteral("City report"));
    EXPECT_EQ(KeyedTree::tag(tree->node(QStringLiteral("T10"))).toLongLong(), 10);
    EXPECT_EQ(KeyedTree::tag(monthly).toLongLong(), 2);

    // Images by key.
    EXPECT_EQ(KeyedTree::image(sales), QStringLiteral("Category"));
    EXPECT_EQ(KeyedTree::selectedImage(sales), QStringLiteral("selCategory"));
    EXPECT_EQ(KeyedTree::image(tree->node(QStringLiteral("T10"))), QStringLiteral("Template"));
    EXPECT_EQ(KeyedTree::selectedImage(tree->node(QStringLiteral("T10"))), QString());

    // Only the disabled rows carry the check mark and the disabled colour; documents below a
    // disabled category keep their own state.
    const QRgb red = QRgb(DisabledItemColor());
    EXPECT_EQ(red, qRgb(255, 100, 100));
    EXPECT_TRUE(KeyedTree::checked(monthly));
    EXPECT_EQ(KeyedTree::foreColor(monthly), red);
    EXPECT_EQ(monthly->checkState(0), Qt::Checked);
    for (const char* key : {"C1", "C3", "C4", "T10", "T11", "T13"}) {
        QTreeWidgetItem* n = tree->node(QString::fromLatin1(key));
        EXPECT_FALSE(KeyedTree::checked(n)) << key;
        EXPECT_EQ(n->checkState(0), Qt::Unchecked) << key;
        EXPECT_EQ(KeyedTree::foreColor(n), qRgb(0, 0, 0)) << key;
    }
    EXPECT_TRUE(KeyedTree::checked(tree->node(QStringLiteral("T12"))));
    EXPECT_EQ(KeyedTree::foreColor(tree->node(QStringLiteral("T12"))), red);
}

TEST_F(CatalogueTreeFill, AnEmptyCatalogueGivesNoNodesAndNoError)
{
    FillCatalogueTree(*tree);
    EXPECT_EQ(tree->nodeCount(), 0);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(CatalogueTreeFill, CategoriesReturnedChildFirstStillBuildTheWholeTree)
{
    addNestedCatalogue();
    addCategory(5, 3, QStringLiteral("Deep"));
    // The categories deepest first, the documents as they are.
    const db::ResultSet docs = resultOf(
        QStringLiteral("select CategoryID CatID, ID DocID, Name DocName, Disabled DocDisabled from tbOrraSQL"));
    const db::ResultSet cats =
        resultOf(QStringLiteral("select ID, ParentID, Name, Disabled from tbOrraCategory order by ID desc"));
    ASSERT_EQ(cats.values.at(0).toInt(), 5);
    FillCatalogueTree(*tree, docs, cats);
    EXPECT_EQ(tree->nodeCount(), 9);
    EXPECT_EQ(tree->node(QStringLiteral("C5"))->parent(), tree->node(QStringLiteral("C3")));
    EXPECT_EQ(tree->node(QStringLiteral("C3"))->parent(), tree->node(QStringLiteral("C2")));
    EXPECT_EQ(tree->node(QStringLiteral("C2"))->parent(), tree->node(QStringLiteral("C1")));
    EXPECT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_TRUE(KeyedTree::checked(tree->node(QStringLiteral("C2"))));
}

TEST_F(CatalogueTreeFill, RowsWithoutTheirParentAreShownAtTheTopAndReportedOnce)
{
    addNestedCatalogue();
    addCategory(7, 99, QStringLiteral("Lost"));
    addCategory(8, 7, QStringLiteral("Below lost"));
    addDocument(20, 8, QStringLiteral("Found"), QStringLiteral("<Document ID=\"B0\"/>"));
    addDocument(21, 55, QStringLiteral("Homeless"), QStringLiteral("<Document ID=\"B0\"/>"));
    try {
        FillCatalogueTree(*tree);
        FAIL() << "the misplaced rows were not reported";
    } catch (const Error& e) {
        EXPECT_EQ(e.description(),
            QStringLiteral("These entries of the catalogue are shown at the top level because their parent is "
                           "missing:\nCategory 'Lost' (ID 7): parent category 99 not found\n"
                           "Document 'Homeless' (ID 21): category 55 not found"));
    }
    // The tree is complete all the same.
    EXPECT_EQ(tree->nodeCount(), 12);
    EXPECT_EQ(tree->node(QStringLiteral("C7"))->parent(), nullptr);
    EXPECT_EQ(tree->node(QStringLiteral("C8"))->parent(), tree->node(QStringLiteral("C7")));
    EXPECT_EQ(tree->node(QStringLiteral("T20"))->parent(), tree->node(QStringLiteral("C8")));
    EXPECT_EQ(tree->node(QStringLiteral("T21"))->parent(), nullptr);
    EXPECT_EQ(tree->node(QStringLiteral("T13"))->parent(), tree->node(QStringLiteral("C4")));
}

TEST_F(CatalogueTreeFill, CategoriesWhoseParentsFormALoopAreShownOnce)
{
    addCategory(1, 2, QStringLiteral("A"));
    addCategory(2, 1, QStringLiteral("B"));
    EXPECT_THROW(FillCatalogueTree(*tree), Error);
    EXPECT_EQ(tree->nodeCount(), 2);
    EXPECT_EQ(tree->topLevelItemCount(), 1);
}

TEST_F(CatalogueTreeFill, ACategoryListedTwiceIsAddedOnceAndASecondDocumentIsRefused)
{
    addNestedCatalogue();
    const db::ResultSet cats =
        resultOf(QStringLiteral("select ID, ParentID, Name, Disabled from tbOrraCategory "
                                "union all select ID, ParentID, 'Other', Disabled from tbOrraCategory where ID=1"));
    const db::ResultSet docs =
        resultOf(QStringLiteral("select CategoryID CatID, ID DocID, Name DocName, Disabled DocDisabled from tbOrraSQL "
                                "union all select CategoryID, ID, Name, Disabled from tbOrraSQL where ID=13"));
    try {
        FillCatalogueTree(*tree, docs, cats);
        FAIL() << "the second document with the same number was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), KeyedTree::errKeyNotUnique);
        EXPECT_EQ(e.description(), QStringLiteral("Key is not unique in collection"));
    }
    EXPECT_EQ(tree->node(QStringLiteral("C1"))->text(0), QStringLiteral("Sales"));
    EXPECT_EQ(tree->nodeCount(), 8);
}

TEST_F(CatalogueTreeFill, AFailingProcedureLeavesTheTreeAsItWas)
{
    tree->addNode(QString(), QStringLiteral("C1"), QStringLiteral("kept"));
    // A plain SQLite database has no catalogue procedure.
    auto file = std::make_shared<db::Connection>();
    db::sqlite::openDatabaseFile(*file, m_dir.path() + QStringLiteral("/plain.db"), db::sqlite::FileMode::Create);
    setMainConnection(file);
    try {
        FillCatalogueTree(*tree);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_FALSE(e.description().isEmpty());
    }
    EXPECT_EQ(tree->nodeCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("kept"));
}

TEST_F(CatalogueTreeFill, AddCategoryNodeSkipsAKnownKeyAndNeedsItsParent)
{
    morvane::AddCategoryNode(1, 0, QStringLiteral("One"), false, *tree);
    morvane::AddCategoryNode(1, 0, QStringLiteral("Again"), true, *tree);
    EXPECT_EQ(tree->nodeCount(), 1);
    EXPECT_EQ(tree->node(QStringLiteral("C1"))->text(0), QStringLiteral("One"));
    EXPECT_FALSE(KeyedTree::checked(tree->node(QStringLiteral("C1"))));
    morvane::AddCategoryNode(2, 1, QStringLiteral("Two"), true, *tree);
    EXPECT_EQ(tree->node(QStringLiteral("C2"))->parent(), tree->node(QStringLiteral("C1")));
    EXPECT_EQ(KeyedTree::foreColor(tree->node(QStringLiteral("C2"))), qRgb(255, 100, 100));
    try {
        morvane::AddCategoryNode(3, 9, QStringLiteral("Three"), false, *tree);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), KeyedTree::errElementNotFound);
    }
}

}   // namespace
