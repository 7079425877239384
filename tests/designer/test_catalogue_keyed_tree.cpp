// The keyed tree: nodes by key, refused duplicates and missing parents, per-node properties
// and the keys forgotten with removed nodes.

#include "CatalogueTestSupport.h"

#include "platform/host/Error.h"
#include "platform/widgets/KeyedTree.h"

#include <QPixmap>

using namespace orra;

namespace {

class KeyedTreeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }

    static QIcon solid(QColor c)
    {
        QPixmap pm(16, 16);
        pm.fill(c);
        return QIcon(pm);
    }

    void SetUp() override
    {
        images.add(QStringLiteral("Category"), solid(Qt::yellow));
        images.add(QStringLiteral("selCategory"), solid(Qt::green));
        tree.setImageList(&images);
    }

    long errorOf(const std::function<void()>& f)
    {
        try {
            f();
        } catch (const Error& e) {
            lastError = e.description();
            return e.number();
        }
        return 0;
    }

    ImageList images;
    KeyedTree tree;
    QString lastError;
};

TEST_F(KeyedTreeTest, NodesAreFoundByKeyAndPlacedBelowTheirParent)
{
    QTreeWidgetItem* top = tree.addNode(QString(), QStringLiteral("C1"), QStringLiteral("Top"));
    QTreeWidgetItem* child = tree.addNode(QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("Child"));
    QTreeWidgetItem* doc = tree.addNode(QStringLiteral("C2"), QStringLiteral("T7"), QStringLiteral("Doc"));
    EXPECT_EQ(tree.node(QStringLiteral("C1")), top);
    EXPECT_EQ(tree.node(QStringLiteral("T7")), doc);
    EXPECT_EQ(doc->parent(), child);
    EXPECT_EQ(child->parent(), top);
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(KeyedTree::key(doc), QStringLiteral("T7"));
    EXPECT_EQ(doc->text(0), QStringLiteral("Doc"));
    EXPECT_EQ(tree.nodeCount(), 3);
    // Keys are compared exactly.
    EXPECT_EQ(tree.node(QStringLiteral("t7")), nullptr);
}

TEST_F(KeyedTreeTest, ADuplicateKeyOrAMissingParentIsRefusedAndNothingIsAdded)
{
    tree.addNode(QString(), QStringLiteral("C1"), QStringLiteral("Top"));
    EXPECT_EQ(errorOf([&] { tree.addNode(QString(), QStringLiteral("C1"), QStringLiteral("Again")); }),
        KeyedTree::errKeyNotUnique);
    EXPECT_EQ(lastError, QStringLiteral("Key is not unique in collection"));
    EXPECT_EQ(errorOf([&] { tree.addNode(QStringLiteral("C9"), QStringLiteral("C2"), QStringLiteral("Orphan")); }),
        KeyedTree::errElementNotFound);
    EXPECT_EQ(lastError, QStringLiteral("Element not found"));
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), QStringLiteral("Top"));
    EXPECT_FALSE(tree.contains(QStringLiteral("C2")));
    EXPECT_EQ(errorOf([&] { tree.removeNode(QStringLiteral("C9")); }), KeyedTree::errElementNotFound);
}

TEST_F(KeyedTreeTest, RemovedNodesTakeTheKeysOfTheirSubtreeWithThem)
{
    tree.addNode(QString(), QStringLiteral("C1"), QStringLiteral("Top"));
    tree.addNode(QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("Child"));
    tree.addNode(QStringLiteral("C2"), QStringLiteral("T3"), QStringLiteral("Doc"));
    tree.addNode(QString(), QStringLiteral("C4"), QStringLiteral("Other"));
    tree.removeNode(QStringLiteral("C2"));
    EXPECT_FALSE(tree.contains(QStringLiteral("C2")));
    EXPECT_FALSE(tree.contains(QStringLiteral("T3")));
    EXPECT_EQ(tree.node(QStringLiteral("C1"))->childCount(), 0);
    // The key may be used again.
    tree.addNode(QStringLiteral("C4"), QStringLiteral("T3"), QStringLiteral("Doc again"));
    // Deleting an item directly, and clearing the tree, forget keys as well.
    delete tree.node(QStringLiteral("C4"));
    EXPECT_FALSE(tree.contains(QStringLiteral("T3")));
    tree.clear();
    EXPECT_EQ(tree.nodeCount(), 0);
    EXPECT_FALSE(tree.contains(QStringLiteral("C1")));
}

TEST_F(KeyedTreeTest, NodesCarryTagCheckMarkForeColourAndImagesByKey)
{
    tree.setCheckboxes(true);
    QTreeWidgetItem* n = tree.addNode(QString(), QStringLiteral("C1"), QStringLiteral("Top"),
        QStringLiteral("Category"), QStringLiteral("selCategory"));
    EXPECT_FALSE(KeyedTree::checked(n));
    EXPECT_EQ(n->checkState(0), Qt::Unchecked);
    tree.setChecked(n, true);
    EXPECT_TRUE(KeyedTree::checked(n));
    EXPECT_EQ(n->checkState(0), Qt::Checked);
    // The user does not toggle the mark.
    EXPECT_FALSE(n->flags() & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(n->flags() & Qt::ItemIsEditable);

    EXPECT_EQ(KeyedTree::foreColor(n), qRgb(0, 0, 0));
    KeyedTree::setForeColor(n, qRgb(255, 100, 100));
    EXPECT_EQ(KeyedTree::foreColor(n), qRgb(255, 100, 100));
    EXPECT_EQ(n->foreground(0).color(), QColor(255, 100, 100));
    KeyedTree::setForeColor(n, 0);
    EXPECT_EQ(KeyedTree::foreColor(n), qRgb(0, 0, 0));

    EXPECT_FALSE(KeyedTree::tag(n).isValid());
    KeyedTree::setTag(n, 42);
    EXPECT_EQ(KeyedTree::tag(n).toInt(), 42);

    EXPECT_EQ(KeyedTree::image(n), QStringLiteral("Category"));
    EXPECT_EQ(KeyedTree::selectedImage(n), QStringLiteral("selCategory"));
    // The selected image is what a selected node shows.
    const QImage normal = n->icon(0).pixmap(16, QIcon::Normal).toImage();
    const QImage selected = n->icon(0).pixmap(16, QIcon::Selected).toImage();
    EXPECT_EQ(QColor(normal.pixel(8, 8)), QColor(Qt::yellow));
    EXPECT_EQ(QColor(selected.pixel(8, 8)), QColor(Qt::green));
    // An image key that the list lacks shows no image.
    QTreeWidgetItem* bare = tree.addNode(QString(), QStringLiteral("X"), QStringLiteral("x"), QStringLiteral("Nope"));
    EXPECT_TRUE(bare->icon(0).isNull());
}

TEST_F(KeyedTreeTest, CheckMarksShowOnlyWithCheckboxes)
{
    QTreeWidgetItem* n = tree.addNode(QString(), QStringLiteral("C1"), QStringLiteral("Top"));
    tree.setChecked(n, true);
    EXPECT_TRUE(KeyedTree::checked(n));
    EXPECT_FALSE(n->data(0, Qt::CheckStateRole).isValid());
    tree.setCheckboxes(true);
    EXPECT_EQ(n->checkState(0), Qt::Checked);
}

TEST_F(KeyedTreeTest, ABulkAddAttachesItsTopLevelNodesAtTheEnd)
{
    {
        KeyedTree::BulkAdd bulk(tree);
        tree.addNode(QString(), QStringLiteral("C1"), QStringLiteral("One"));
        tree.addNode(QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("Two"));
        EXPECT_EQ(tree.topLevelItemCount(), 0);
        EXPECT_TRUE(tree.contains(QStringLiteral("C2")));
        tree.addNode(QString(), QStringLiteral("C3"), QStringLiteral("Three"));
        tree.removeNode(QStringLiteral("C3"));
    }
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->child(0)->text(0), QStringLiteral("Two"));
    EXPECT_FALSE(tree.contains(QStringLiteral("C3")));
    // An error inside a bulk add still attaches what was added.
    try {
        KeyedTree::BulkAdd bulk(tree);
        tree.addNode(QString(), QStringLiteral("C4"), QStringLiteral("Four"));
        tree.addNode(QString(), QStringLiteral("C4"), QStringLiteral("Four again"));
    } catch (const Error&) {
    }
    EXPECT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_TRUE(tree.updatesEnabled());
}

TEST_F(KeyedTreeTest, TheDropHighlightFollowsTheNodeAndForgetsARemovedOne)
{
    QTreeWidgetItem* a = tree.addNode(QString(), QStringLiteral("A"), QStringLiteral("a"));
    QTreeWidgetItem* b = tree.addNode(QString(), QStringLiteral("B"), QStringLiteral("b"));
    tree.setDropHighlight(a);
    EXPECT_EQ(tree.dropHighlight(), a);
    EXPECT_TRUE(a->data(0, Qt::BackgroundRole).isValid());
    tree.setDropHighlight(b);
    EXPECT_FALSE(a->data(0, Qt::BackgroundRole).isValid());
    tree.removeNode(QStringLiteral("B"));
    EXPECT_EQ(tree.dropHighlight(), nullptr);
}

}   // namespace
