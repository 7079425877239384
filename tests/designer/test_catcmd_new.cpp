// New Category, New Document, New Parent and Paste.

#include "tests/designer/CatcmdTestSupport.h"

#include <QLineEdit>

using namespace morvane;

namespace orra::test {
namespace {

class CatcmdNew : public CatcmdTest {
protected:
    void SetUp() override
    {
        CatcmdTest::SetUp();
        addCategory(1, 0, QStringLiteral("Reports"));
        addCategory(2, 1, QStringLiteral("Monthly"));
        addDocument(10, 1, QStringLiteral("Alpha"),
            QStringLiteral("<Document ID=\"0\" Server=\"{FREE}\"><![CDATA[it's]]></Document>"));
        admin->execute(QStringLiteral("update tbOrraSQL set Description='about Alpha' where ID=10"));
        stamp(QStringLiteral("tbOrraSQL"), 10);
    }
};

TEST_F(CatcmdNew, NewCategoryBesideTheSelectedDocumentWithItsChecksumAndLabelEditing)
{
    frmpbOrra& p = loadPane();
    p.show();
    select("T10");
    mnuFileNewCategory_Click(p);
    EXPECT_TRUE(answering.messages.isEmpty()) << answering.messages.join('|').toStdString();
    EXPECT_EQ(name("tbOrraCategory", 3), QStringLiteral("Category-3"));
    EXPECT_EQ(count(QStringLiteral("select ParentID from tbOrraCategory where ID=3")), 1);
    EXPECT_EQ(value(QStringLiteral("select Owner from tbOrraCategory where ID=3")).toByteArray(),
        value(QStringLiteral("select Owner from tbOrraCategory where ID=1")).toByteArray());
    EXPECT_TRUE(checkSumHolds("tbOrraCategory", 3));
    QTreeWidgetItem* node = p.tvOrra()->node("C3");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(KeyedTree::key(node->parent()), QStringLiteral("C1"));
    EXPECT_EQ(node->text(0), QStringLiteral("Category-3"));
    EXPECT_EQ(p.tvOrra()->currentItem(), node);
    EXPECT_NE(p.tvOrra()->findChild<QLineEdit*>(), nullptr);
}

TEST_F(CatcmdNew, NewParentAndTopLevelCategoriesAndTheirRights)
{
    allowCategory(1, annUid, rightEdit, rightAddNewCategory | rightAddNewDocument);
    logOnAsAnn();
    frmpbOrra& p = loadPane();
    p.tvOrra()->setCurrentItem(nullptr);
    // Without a node the right is asked on category 0, which ann does not hold.
    mnuFileNewCategory_Click(p);
    ASSERT_FALSE(answering.messages.isEmpty());
    EXPECT_EQ(
        answering.messages.last(), QStringLiteral("Permission Denied : You could not add category to this category"));
    select("C1");
    answering.messages.clear();
    mnuFileNewCategory_Click(p);
    mnuFileNewOrra_Click(p);
    EXPECT_EQ(answering.messages,
        QStringList({QStringLiteral("Permission Denied : You could not add category to this category"),
            QStringLiteral("Permission Denied : You could not add documents to this category")}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraCategory")), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 1);

    // New Parent asks no right.
    answering.messages.clear();
    mnuFileNewParent_Click(p);
    EXPECT_TRUE(answering.messages.isEmpty());
    EXPECT_EQ(count(QStringLiteral("select ParentID from tbOrraCategory where ID=3")), 0);
    EXPECT_TRUE(checkSumHolds("tbOrraCategory", 3));
    ASSERT_NE(p.tvOrra()->node("C3"), nullptr);
    EXPECT_EQ(p.tvOrra()->node("C3")->parent(), nullptr);
    // Its creator owns it.
    EXPECT_TRUE(HasCategoryPermission(main.get(), 3, 0, rightAddNewCategory));

    // A right on category 0 allows top-level categories.
    allowCategory(0, annUid, rightAddNewCategory, 0);
    p.tvOrra()->setCurrentItem(nullptr);
    mnuFileNewCategory_Click(p);
    EXPECT_EQ(count(QStringLiteral("select ParentID from tbOrraCategory where ID=4")), 0);
}

TEST_F(CatcmdNew, NewDocumentNeedsACategory)
{
    frmpbOrra& p = loadPane();
    p.tvOrra()->setCurrentItem(nullptr);
    mnuFileNewOrra_Click(p);
    mnuFilePaste_Click(p);
    EXPECT_EQ(answering.messages,
        QStringList({QStringLiteral("Please select a category"), QStringLiteral("Please select a category")}));
    select("C2");
    mnuFileNewOrra_Click(p);
    EXPECT_EQ(name("tbOrraSQL", 11), QStringLiteral("Document-11"));
    EXPECT_EQ(value(QStringLiteral("select SQLtxt from tbOrraSQL where ID=11")).toString(), QString());
    EXPECT_EQ(count(QStringLiteral("select CategoryID from tbOrraSQL where ID=11")), 2);
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 11));
    EXPECT_EQ(KeyedTree::key(p.tvOrra()->node("T11")->parent()), QStringLiteral("C2"));
    EXPECT_EQ(KeyedTree::tag(p.tvOrra()->node("T11")).toLongLong(), 11);
}

TEST_F(CatcmdNew, PasteCopiesTheRowOpensAndSavesItOnce)
{
    frmpbOrra& p = loadPane();
    select("T10");
    mnuFileCopy_Click(p);
    select("C2");
    mnuFilePaste_Click(p);
    EXPECT_TRUE(answering.messages.isEmpty()) << answering.messages.join('|').toStdString();
    EXPECT_EQ(name("tbOrraSQL", 11), QStringLiteral("Copy of Alpha"));
    EXPECT_EQ(value(QStringLiteral("select rtrim(Description) from tbOrraSQL where ID=11")).toString(),
        QStringLiteral("about Alpha"));
    EXPECT_TRUE(
        value(QStringLiteral("select SQLtxt from tbOrraSQL where ID=11")).toString().contains(QStringLiteral("it's")));
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 11));
    auto* window = qobject_cast<CatcmdWindow*>(FindDocumentWindow(11, QString(), false));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->saves, 1);
    EXPECT_EQ(lockHolder(11), spidOf(*main));
    EXPECT_EQ(p.tvOrra()->node("T11")->text(0), QStringLiteral("Copy of Alpha"));
    EXPECT_EQ(CopiedDocumentID(), 0);
    EXPECT_FALSE(PasteEnabled());
}

TEST_F(CatcmdNew, ACollidingPasteKeepsTheClipboardAndWritesNothing)
{
    addDocument(20, 2, QStringLiteral("Copy of Alpha"), QString());
    frmpbOrra& p = loadPane();
    select("T10");
    mnuFileCopy_Click(p);
    select("C2");
    mnuFilePaste_Click(p);
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 2);
    EXPECT_EQ(CopiedDocumentID(), 10);
    EXPECT_TRUE(PasteEnabled());
    EXPECT_EQ(p.tvOrra()->node("T21"), nullptr);
}

TEST_F(CatcmdNew, PasteNeedsTheTargetRightTheEditRightOnTheSourceAndARoomyName)
{
    addDocument(30, 1, QString(43, QLatin1Char('n')), QString());
    allowCategory(1, annUid, rightEdit, 0);
    allowCategory(2, annUid, rightEdit | rightAddNewDocument, 0);
    allowDoc(10, annUid, 0, rightEdit);
    allowDoc(30, annUid, rightEdit, 0);
    logOnAsAnn();
    frmpbOrra& p = loadPane();
    SetCopiedDocumentID(10);
    select("C1");
    mnuFilePaste_Click(p);
    select("C2");
    mnuFilePaste_Click(p);
    SetCopiedDocumentID(30);
    mnuFilePaste_Click(p);
    // A copy adds the includes of its source to a new document: only with the Include right.
    admin->execute(QStringLiteral("update tbOrraSQL set SQLtxt='<Document ID=\"B0\"><Include ID=\"B0.I0\" "
                                  "Name=\"Include:Alpha\" DocID=\"10\"/></Document>', Name='Short' where ID=30"));
    stamp(QStringLiteral("tbOrraSQL"), 30);
    mnuFilePaste_Click(p);
    EXPECT_EQ(answering.messages,
        QStringList({QStringLiteral("Permission Denied : You could not add document to 'Reports' category"),
            QStringLiteral("Permission Denied : You could not copy this document"),
            QStringLiteral("The name 'Copy of %1' is longer than the 50 characters a name may have.")
                .arg(QString(43, QLatin1Char('n'))),
            QStringLiteral("Permission Denied : You could not include this document")}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 2);
}

}   // namespace
}   // namespace orra::test
