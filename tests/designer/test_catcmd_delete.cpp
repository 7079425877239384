// File > Copy and File > Delete on documents, categories and repository items.

#include "tests/designer/CatcmdTestSupport.h"

#include <QTabWidget>

using namespace morvane;

namespace orra::test {
namespace {

class CatcmdDelete : public CatcmdTest {
protected:
    void SetUp() override
    {
        CatcmdTest::SetUp();
        addCategory(1, 0, QStringLiteral("Reports"));
        addCategory(2, 1, QStringLiteral("Monthly"));
        addCategory(5, 0, QStringLiteral("Other"));
        addDocument(10, 1, QStringLiteral("Alpha"), QString());
        addDocument(11, 1, QStringLiteral("Beta"), QString());
        addDocument(12, 1, QStringLiteral("Gamma"), QString());
        addDocument(13, 2, QStringLiteral("Delta"), QString());
        addDocument(14, 5, QStringLiteral("Outside"), QString());
        // Call schemas of 10, and 10 includes 14.
        admin->execute(
            QStringLiteral("insert into tbOrraCallSchema (DocID, SchemaID, Name) values (10, 1, 'Default')"));
        admin->execute(QStringLiteral("insert into tbOrraCallSchemaDetail values (%1, '0.P0', 'x')")
                           .arg(value(QStringLiteral("select max(ID) from tbOrraCallSchema")).toLongLong()));
        admin->execute(QStringLiteral("insert into tbOrraRelations values (10, 14)"));
    }
    long rows(const char* table, const char* column, long id)
    {
        return count(QStringLiteral("select count(*) from %1 where %2=%3")
                         .arg(QLatin1String(table), QLatin1String(column))
                         .arg(id));
    }
};

TEST_F(CatcmdDelete, CopyRemembersDocumentsOnly)
{
    frmpbOrra& p = loadPane();
    select("C1");
    mnuFileCopy_Click(p);
    EXPECT_EQ(CopiedDocumentID(), 0);
    EXPECT_FALSE(PasteEnabled());
    select("T11");
    mnuFileCopy_Click(p);
    EXPECT_EQ(CopiedDocumentID(), 11);
    EXPECT_TRUE(PasteEnabled());
    select("C1");
    mnuFileCopy_Click(p);
    EXPECT_EQ(CopiedDocumentID(), 11);
}

TEST_F(CatcmdDelete, ADeletedDocumentTakesItsRightsSchemasAndRelationsAndItsWindow)
{
    allowDoc(10, annUid, rightEdit | rightDelete, 0);
    frmpbOrra& p = loadPane();
    CatcmdWindow* window = openWindow(10);
    ASSERT_NE(window, nullptr);
    window->setChanged(true);
    select("T10");
    mnuFileDelete_Click(p);
    EXPECT_EQ(answering.messages, QStringList{QStringLiteral("Alpha Query will be deleted. Are you sure?")});
    EXPECT_EQ(answering.titles.value(0), QStringLiteral("Confirm"));
    EXPECT_EQ(rows("tbOrraSQL", "ID", 10), 0);
    EXPECT_EQ(rows("tbOrraDocPermissions", "OrraID", 10), 0);
    EXPECT_EQ(rows("tbOrraCallSchema", "DocID", 10), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraCallSchemaDetail")), 0);
    EXPECT_EQ(rows("tbOrraRelations", "ObjID", 10), 0);
    EXPECT_EQ(p.tvOrra()->node("T10"), nullptr);
    // The window went without asking to save, and the lock with it.
    EXPECT_EQ(FindDocumentWindow(10, QString(), false), nullptr);
    EXPECT_EQ(CatcmdWindow::questions, 0);
    EXPECT_EQ(lockHolder(10), -1);
}

TEST_F(CatcmdDelete, AReusedIdStartsWithoutTheRightsOfTheDeletedDocument)
{
    // The highest document is deleted; ann had every right on it.
    allowDoc(14, annUid, 0x7fffffff, 0);
    allowCategory(5, annUid, rightEdit | rightAddNewDocument, 0);
    frmpbOrra& p = loadPane();
    select("T14");
    answering.defaultAnswer = vbYes;
    admin->execute(QStringLiteral("delete from tbOrraRelations"));
    DeleteDocument(p, p.tvOrra()->node("T14"));
    ASSERT_EQ(rows("tbOrraSQL", "ID", 14), 0);
    EXPECT_EQ(rows("tbOrraDocPermissions", "OrraID", 14), 0);

    select("C5");
    mnuFileNewOrra_Click(p);
    ASSERT_EQ(rows("tbOrraSQL", "ID", 14), 1);   // the same number again
    EXPECT_EQ(name("tbOrraSQL", 14), QStringLiteral("Document-14"));
    EXPECT_EQ(rows("tbOrraDocPermissions", "OrraID", 14), 0);
    logOnAsAnn();
    EXPECT_FALSE(HasDocPermission(main.get(), 14, 0, rightDelete));
}

TEST_F(CatcmdDelete, NoAndMissingRightsChangeNothing)
{
    allowDoc(11, annUid, rightEdit, rightDelete);
    allowCategory(1, annUid, rightEdit, rightDeleteCategory);
    frmpbOrra* p = nullptr;
    {
        frmpbOrra& sa = loadPane();
        answering.defaultAnswer = vbNo;
        select("T11");
        mnuFileDelete_Click(sa);
        select("C1");
        mnuFileDelete_Click(sa);
        EXPECT_EQ(answering.messages.size(), 2);
        EXPECT_EQ(answering.messages[1],
            QStringLiteral("Reports Category and all its parents will be deleted. Are you sure?"));
        EXPECT_EQ(rows("tbOrraSQL", "ID", 11), 1);
        EXPECT_EQ(rows("tbOrraCategory", "ID", 1), 1);
    }
    answering.messages.clear();
    answering.defaultAnswer = vbYes;
    logOnAsAnn();
    p = &loadPane();
    select("T11");
    mnuFileDelete_Click(*p);
    select("C1");
    mnuFileDelete_Click(*p);
    EXPECT_EQ(answering.messages,
        QStringList({QStringLiteral("Permission Denied : You could not delete this document"),
            QStringLiteral("Permission Denied : You could not delete this category")}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 5);
    // Nothing selected, or a repository group: nothing at all.
    answering.messages.clear();
    p->tvOrra()->setCurrentItem(nullptr);
    mnuFileDelete_Click(*p);
    EXPECT_TRUE(answering.messages.isEmpty());
}

TEST_F(CatcmdDelete, ACategoryGoesWithEverythingBelowIt)
{
    allowCategory(1, annUid, rightEdit, 0);
    allowDoc(10, annUid, rightEdit, 0);
    allowCategory(2, annUid, rightEdit, 0);
    frmpbOrra& p = loadPane();
    select("C1");
    mnuFileDelete_Click(p);
    EXPECT_EQ(answering.messages.size(), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraCategory")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraCategoryPermissions")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraDocPermissions")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraCallSchema")), 0);
    EXPECT_EQ(p.tvOrra()->node("C1"), nullptr);
    EXPECT_EQ(p.tvOrra()->node("T13"), nullptr);
    EXPECT_NE(p.tvOrra()->node("T14"), nullptr);
}

TEST_F(CatcmdDelete, WhatMayNotBeDeletedStaysWithTheCategoriesAboveIt)
{
    // ann owns nothing; she may delete the categories and every document but Gamma and Delta.
    allowCategory(1, annUid, rightEdit | rightDelete | rightDeleteCategory, 0);
    allowDoc(12, annUid, rightEdit, rightDelete);
    allowDoc(13, annUid, rightEdit, rightDelete);
    logOnAsAnn();
    frmpbOrra& p = loadPane();
    select("C1");
    mnuFileDelete_Click(p);
    EXPECT_EQ(answering.messages,
        QStringList({QStringLiteral("Reports Category and all its parents will be deleted. Are you sure?"),
            QStringLiteral("Permission Denied : You could not delete document 'Gamma'"),
            QStringLiteral("Permission Denied : You could not delete document 'Delta'")}));
    EXPECT_EQ(rows("tbOrraSQL", "ID", 10), 0);
    EXPECT_EQ(rows("tbOrraSQL", "ID", 11), 0);
    EXPECT_EQ(rows("tbOrraSQL", "ID", 12), 1);
    EXPECT_EQ(rows("tbOrraSQL", "ID", 13), 1);
    EXPECT_EQ(rows("tbOrraCategory", "ID", 1), 1);
    EXPECT_EQ(rows("tbOrraCategory", "ID", 2), 1);
    EXPECT_EQ(rows("tbOrraCategoryPermissions", "CategoryID", 1), 1);
    // The refreshed node shows what is left.
    QTreeWidgetItem* node = p.tvOrra()->node("C1");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(p.tvOrra()->node("T10"), nullptr);
    EXPECT_NE(p.tvOrra()->node("T12"), nullptr);
    EXPECT_NE(p.tvOrra()->node("T13"), nullptr);
}

TEST_F(CatcmdDelete, DocumentsThatIncludeOneAnotherGoTogether)
{
    // Gamma includes Alpha; Delta, a level down, includes Beta.
    admin->execute(QStringLiteral("insert into tbOrraRelations values (12, 10)"));
    admin->execute(QStringLiteral("insert into tbOrraRelations values (13, 11)"));
    frmpbOrra& p = loadPane();
    select("C1");
    mnuFileDelete_Click(p);
    EXPECT_EQ(answering.messages,
        QStringList{QStringLiteral("Reports Category and all its parents will be deleted. Are you sure?")});
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraCategory")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraRelations")), 0);
    EXPECT_EQ(p.tvOrra()->node("C1"), nullptr);
}

TEST_F(CatcmdDelete, AFailingStatementLeavesTheWholeCategoryAsItWas)
{
    // Outside includes Beta: Beta cannot go, and so nothing goes.
    admin->execute(QStringLiteral("insert into tbOrraRelations values (14, 11)"));
    frmpbOrra& p = loadPane();
    select("C1");
    mnuFileDelete_Click(p);
    ASSERT_EQ(answering.messages.size(), 2);
    EXPECT_TRUE(answering.messages[1].endsWith(QStringLiteral("\r\nNothing was deleted.")))
        << answering.messages[1].toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 5);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraCategory")), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraCallSchema")), 1);
    EXPECT_NE(p.tvOrra()->node("T10"), nullptr);
    for (long id : {10, 11, 12, 13}) EXPECT_EQ(lockHolder(id), -1);
}

TEST_F(CatcmdDelete, ADocumentLockedElsewhereIsToldAndKept)
{
    auto other = connect(QStringLiteral("sa"), QStringLiteral("secret"));
    other->execute(QStringLiteral("sp_UserLock '<Document><Program Name=\"Morvane\" DB=\"cat\"/><Parameter "
                                  "Name=\"DocID\" Value=\"12\"/></Document>',0"));
    frmpbOrra& p = loadPane();
    select("T12");
    mnuFileDelete_Click(p);
    ASSERT_EQ(answering.messages.size(), 2);
    EXPECT_TRUE(answering.messages[1].startsWith(QStringLiteral("The document 12 is locked by")));
    EXPECT_EQ(rows("tbOrraSQL", "ID", 12), 1);

    answering.messages.clear();
    select("C1");
    mnuFileDelete_Click(p);
    ASSERT_EQ(answering.messages.size(), 2);
    EXPECT_TRUE(answering.messages[1].startsWith(QStringLiteral("The document 12 is locked by")));
    EXPECT_EQ(rows("tbOrraSQL", "ID", 12), 1);
    EXPECT_EQ(rows("tbOrraSQL", "ID", 13), 0);
    EXPECT_EQ(rows("tbOrraCategory", "ID", 2), 0);
    EXPECT_EQ(rows("tbOrraCategory", "ID", 1), 1);
}

TEST_F(CatcmdDelete, RepositoryItemsAreDeletedAndTheirGroupStays)
{
    admin->execute(QStringLiteral("insert into tbOrraRepository values ('Block', 'Totals', '<Block/>')"));
    frmpbOrra& p = loadPane();
    p.tabOrra()->setCurrentIndex(1);
    QTreeWidgetItem* group = p.tvRepository()->node(QStringLiteral("Block"));
    p.tvRepository()->setCurrentItem(group);
    mnuFileDelete_Click(p);
    EXPECT_TRUE(answering.messages.isEmpty());
    p.tvRepository()->setCurrentItem(group->child(0));
    mnuFileDelete_Click(p);
    EXPECT_EQ(answering.messages, QStringList{QStringLiteral("Totals Block will be deleted. Are you sure?")});
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraRepository")), 0);
    EXPECT_NE(p.tvRepository()->node(QStringLiteral("Block")), nullptr);
    EXPECT_EQ(p.tvRepository()->node(QStringLiteral("Block"))->childCount(), 0);
}

}   // namespace
}   // namespace orra::test
