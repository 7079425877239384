// Permission resolution on a real embedded catalogue: owners, own rows, roles, the category
// chain, checksums of the permission rows and how failures reach the host.

#include "CatalogueFixture.h"

#include "common/Permissions.h"
#include "platform/host/UserInterface.h"

using namespace orra;

namespace {

// An interactive host that records the boxes it was asked to show.
class RecordingUi : public UserInterface {
public:
    struct Report {
        long number;
        QString source, description, title;
    };
    bool interactive() const override { return true; }
    int messageBox(const QString&, int, const QString&) override { return vbOK; }
    QString inputBox(const QString&, const QString&, const QString& d, bool*) override { return d; }
    void reportError(long number, const QString& source, const QString& description, const QString& title) override
    {
        reports.push_back({number, source, description, title});
    }
    void processEvents() override {}
    std::vector<Report> reports;
};

class Permissions : public test::CatalogueTest {
protected:
    void SetUp() override
    {
        CatalogueTest::SetUp();
        alice = addUser(QStringLiteral("alice"));
        bob = addUser(QStringLiteral("bob"));
        carl = addUser(QStringLiteral("carl"));
        addCategory(1, 0, QStringLiteral("Top"));
        addCategory(2, 1, QStringLiteral("Middle"));
        addCategory(3, 2, QStringLiteral("Child"));
        addDocument(
            10, 3, QStringLiteral("Alice's report"), QStringLiteral("<Document ID=\"B0\"/>"), QStringLiteral("alice"));
        addDocument(20, 3, QStringLiteral("Doc twenty"), QStringLiteral("<Document ID=\"B0\"/>"));
    }
    void TearDown() override { setUserInterface(nullptr); }

    long alice = 0, bob = 0, carl = 0;
};

}   // namespace

TEST_F(Permissions, CurrentLoginResolvesToItsUser)
{
    auto c = connectAs(QStringLiteral("bob"));
    EXPECT_EQ(CurrentUserUid(c.get()), bob);
    EXPECT_NE(alice, bob);
}

TEST_F(Permissions, OwnerBeatsItsOwnDeny)
{
    allowDoc(10, alice, 0, 0x7FFF);
    auto c = connectAs(QStringLiteral("alice"));
    EXPECT_EQ(DocPermissionOfUser(c.get(), 10, alice, rightEdit), permissionAllowed);
    for (long right : {rightEdit, rightChange, rightDelete, rightExecute, rightInclude, rightMove})
        EXPECT_TRUE(HasDocPermission(c.get(), 10, 0, right)) << right;
    // Not the owner of the other document, and nothing grants it.
    EXPECT_FALSE(HasDocPermission(c.get(), 20, 0, rightEdit));
    // Someone else is not the owner of alice's document.
    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_FALSE(HasDocPermission(b.get(), 10, 0, rightEdit));
}

TEST_F(Permissions, DenyBeatsAllowOnTheSameRow)
{
    allowDoc(20, bob, rightEdit | rightExecute, rightEdit);
    auto c = connectAs(QStringLiteral("bob"));
    EXPECT_EQ(DocPermissionOfUser(c.get(), 20, bob, rightEdit), permissionDenied);
    EXPECT_EQ(DocPermissionOfUser(c.get(), 20, bob, rightExecute), permissionAllowed);
    EXPECT_EQ(DocPermissionOfUser(c.get(), 20, bob, rightDelete), permissionNotSet);
    EXPECT_FALSE(HasDocPermission(c.get(), 20, 0, rightEdit));
    EXPECT_TRUE(HasDocPermission(c.get(), 20, 0, rightExecute));
    // Several bits: any denied bit denies, otherwise any allowed bit allows.
    EXPECT_FALSE(HasDocPermission(c.get(), 20, 0, rightEdit | rightExecute));
    EXPECT_TRUE(HasDocPermission(c.get(), 20, 0, rightExecute | rightDelete));
    // Asked for another principal by uid, on the administrator's connection.
    EXPECT_TRUE(HasDocPermission(admin.get(), 20, bob, rightExecute));
    EXPECT_FALSE(HasDocPermission(admin.get(), 20, bob, rightEdit));
}

TEST_F(Permissions, ARoleDenialWinsWhicheverRoleComesFirst)
{
    const long first = addRole(QStringLiteral("first"));
    const long second = addRole(QStringLiteral("second"));
    ASSERT_LT(first, second);
    addMember(QStringLiteral("first"), QStringLiteral("bob"));
    addMember(QStringLiteral("second"), QStringLiteral("bob"));
    addMember(QStringLiteral("first"), QStringLiteral("carl"));
    // Document 20: the first role allows, the second denies; document 21 the other way round.
    addDocument(21, 3, QStringLiteral("Doc twenty-one"), QStringLiteral("<Document ID=\"B0\"/>"));
    allowDoc(20, first, rightEdit, 0);
    allowDoc(20, second, 0, rightEdit);
    allowDoc(21, first, 0, rightEdit);
    allowDoc(21, second, rightEdit, 0);
    // The category would allow: the roles' denial decides before it is asked.
    allowCategory(3, bob, rightEdit, 0);

    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightEdit));
    EXPECT_FALSE(HasDocPermission(b.get(), 21, 0, rightEdit));
    // carl is only in the first role.
    auto c = connectAs(QStringLiteral("carl"));
    EXPECT_TRUE(HasDocPermission(c.get(), 20, 0, rightEdit));
    EXPECT_FALSE(HasDocPermission(c.get(), 21, 0, rightEdit));
    // bob's own row comes before his roles.
    allowDoc(20, bob, rightEdit, 0);
    EXPECT_TRUE(HasDocPermission(b.get(), 20, 0, rightEdit));
}

TEST_F(Permissions, DocumentInheritsFromItsCategoryAndTheAncestors)
{
    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightEdit));   // nothing anywhere
    allowCategory(1, bob, rightEdit | rightExecute, 0);          // the top category grants
    EXPECT_TRUE(HasDocPermission(b.get(), 20, 0, rightEdit));
    EXPECT_TRUE(HasCategoryPermission(b.get(), 3, 0, rightEdit));
    allowCategory(2, bob, 0, rightEdit);   // the nearer ancestor refuses
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightEdit));
    EXPECT_TRUE(HasDocPermission(b.get(), 20, 0, rightExecute));   // still granted from the top
    EXPECT_TRUE(HasCategoryPermission(b.get(), 1, 0, rightEdit));
    EXPECT_FALSE(HasCategoryPermission(b.get(), 2, 0, rightEdit));
    // A role's row on the category counts like the principal's.
    const long editors = addRole(QStringLiteral("editors"));
    addMember(QStringLiteral("editors"), QStringLiteral("carl"));
    allowCategory(3, editors, rightChange, 0);
    auto c = connectAs(QStringLiteral("carl"));
    EXPECT_TRUE(HasDocPermission(c.get(), 20, 0, rightChange));
    EXPECT_FALSE(HasDocPermission(c.get(), 20, 0, rightEdit));
    // The category's owner may do anything to it.
    addCategory(4, 0, QStringLiteral("Carl's"), QStringLiteral("carl"));
    EXPECT_TRUE(HasCategoryPermission(c.get(), 4, 0, rightDeleteCategory));
    EXPECT_FALSE(HasCategoryPermission(b.get(), 4, 0, rightDeleteCategory));
}

TEST_F(Permissions, LoopInTheCategoryChainStopsAndDenies)
{
    admin->execute(QStringLiteral("update tbOrraCategory set ParentID=3 where ID=1"));
    stamp(QStringLiteral("tbOrraCategory"), 1);
    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_FALSE(HasCategoryPermission(b.get(), 3, 0, rightEdit));
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightEdit));
    // A grant inside the loop is still found.
    allowCategory(1, bob, rightEdit, 0);
    EXPECT_TRUE(HasDocPermission(b.get(), 20, 0, rightEdit));
}

TEST_F(Permissions, TamperedRowIsRefusedWithTheChecksumMessage)
{
    allowDoc(20, bob, 0, rightEdit);
    admin->execute(
        QStringLiteral("update tbOrraDocPermissions set \"Deny\"=0, Allow=255 where OrraID=20 and UserId=%1").arg(bob));
    auto b = connectAs(QStringLiteral("bob"));
    const QString message =
        QStringLiteral("CheckSum Value is wrong for tbOrraDocPermissions DocName: 'Doc twenty' UserName: 'bob'");

    // Without a person to show it to, the report comes back as an error.
    try {
        HasDocPermission(b.get(), 20, 0, rightEdit);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), -1);
        EXPECT_EQ(e.source(), QStringLiteral("Tavrel"));
        EXPECT_EQ(e.description(), message);
    }
    // An interactive host shows the box (the description alone, the default title) and the
    // answer is no.
    RecordingUi ui;
    setUserInterface(&ui);
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightEdit));
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_EQ(ui.reports[0].number, -1);
    EXPECT_EQ(ui.reports[0].description, message);
    EXPECT_TRUE(ui.reports[0].title.isEmpty());
    // The own-standing check raises it to its caller.
    EXPECT_THROW(DocPermissionOfUser(b.get(), 20, bob, rightEdit), Error);
}

TEST_F(Permissions, NullChecksumAndTamperedCategoryRowsFail)
{
    admin->execute(QStringLiteral("insert into tbOrraDocPermissions values (20, %1, 2, 0, NULL)").arg(bob));
    allowCategory(3, carl, rightEdit, 0);
    admin->execute(QStringLiteral("update tbOrraCategoryPermissions set Allow=6 where CategoryID=3"));
    RecordingUi ui;
    setUserInterface(&ui);
    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightEdit));
    auto c = connectAs(QStringLiteral("carl"));
    EXPECT_FALSE(HasDocPermission(c.get(), 20, 0, rightEdit));
    ASSERT_EQ(ui.reports.size(), 2u);
    EXPECT_EQ(ui.reports[0].description,
        QStringLiteral("CheckSum Value is wrong for tbOrraDocPermissions DocName: 'Doc twenty' UserName: 'bob'"));
    EXPECT_EQ(ui.reports[1].description,
        QStringLiteral("CheckSum Value is wrong for tbOrraCategoryPermissions CategoryName: 'Child' UserName: 'carl'"));
}

TEST_F(Permissions, CategoryRowsChangedOutsideTheSystemAreRefused)
{
    // Category 4 lets bob run what it holds; bob may do nothing with "Child" and its document.
    addCategory(4, 0, QStringLiteral("Bob's reports"));
    allowCategory(4, bob, rightExecute, 0);
    auto b = connectAs(QStringLiteral("bob"));
    RecordingUi ui;
    setUserInterface(&ui);
    ASSERT_FALSE(HasDocPermission(b.get(), 20, 0, rightExecute));

    // The owner written by hand, without the row's checksum.
    admin->execute(QStringLiteral("update tbOrraCategory set Owner=? where ID=3"),
        {embedded::loginSid(server(), QStringLiteral("bob"))});
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightExecute));
    EXPECT_FALSE(HasCategoryPermission(b.get(), 3, 0, rightExecute));
    EXPECT_THROW(CategoryPermissionOfUser(b.get(), 3, bob, rightExecute), Error);
    stamp(QStringLiteral("tbOrraCategory"), 3);
    admin->execute(QStringLiteral("update tbOrraCategory set Owner=? where ID=3"),
        {embedded::loginSid(server(), QStringLiteral("sa"))});
    stamp(QStringLiteral("tbOrraCategory"), 3);

    // The parent written by hand: "Child" under the category bob may run.
    admin->execute(QStringLiteral("update tbOrraCategory set ParentID=4 where ID=3"));
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightExecute));
    const QString message = QStringLiteral("CheckSum Value is wrong for tbOrraCategory CategoryName: 'Child'");
    ASSERT_EQ(ui.reports.size(), 3u);
    for (const auto& report : ui.reports) {
        EXPECT_EQ(report.number, -1);
        EXPECT_EQ(report.description, message);
    }
    // Moved by the system (the checksum written with it), the parent counts.
    stamp(QStringLiteral("tbOrraCategory"), 3);
    EXPECT_TRUE(HasDocPermission(b.get(), 20, 0, rightExecute));
    EXPECT_EQ(ui.reports.size(), 3u);
}

TEST_F(Permissions, CorrectRowsPassTheirChecksum)
{
    allowDoc(20, bob, rightEdit, 0);
    allowCategory(3, bob, rightExecute, 0);
    RecordingUi ui;
    setUserInterface(&ui);
    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_TRUE(HasDocPermission(b.get(), 20, 0, rightEdit));
    EXPECT_TRUE(HasDocPermission(b.get(), 20, 0, rightExecute));
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(Permissions, FailuresAndClosedConnections)
{
    RecordingUi ui;
    setUserInterface(&ui);
    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_FALSE(HasDocPermission(b.get(), 999, 0, rightEdit));
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_EQ(ui.reports[0].description, QStringLiteral("Document 999 does not exist"));
    EXPECT_FALSE(HasCategoryPermission(b.get(), 77, 0, rightEdit));
    ASSERT_EQ(ui.reports.size(), 2u);
    EXPECT_EQ(ui.reports[1].description, QStringLiteral("Category 77 does not exist"));

    b->close();
    EXPECT_FALSE(HasDocPermission(b.get(), 20, 0, rightEdit));
    EXPECT_FALSE(HasDocPermission(nullptr, 20, 0, rightEdit));
    EXPECT_EQ(DocPermissionOfUser(b.get(), 20, bob, rightEdit), permissionDenied);
    EXPECT_EQ(ui.reports.size(), 2u);
}
