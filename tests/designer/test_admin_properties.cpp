// The properties and permissions dialog and the users picker on an embedded catalogue with
// logins, users and roles made by T-SQL: the grid's rights and rules, rows written with their
// checksums in one transaction, edits kept until applied, the Disabled flag with the row's
// checksum, a tampered row shown as such, and rights granted or denied in the dialog as the
// engine then decides them for a second login.

#include "AdminTestSupport.h"

#include "common/Crc32.h"
#include "common/Permissions.h"
#include "designer/catalogue/frmProperties.h"
#include "designer/catalogue/frmUsers.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

using namespace orra;
using namespace morvane;

namespace {

constexpr long kDoc = 12;
constexpr long kCategory = 3;

class AdminProperties : public test::AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        bob = addUser(QStringLiteral("bob"));
        eve = addUser(QStringLiteral("eve"));
        readers = addRole(QStringLiteral("readers"));
        addCategory(kCategory, 0, QStringLiteral("Sales"));
        addDocument(kDoc, kCategory, QStringLiteral("Report"), QStringLiteral("<Document ID=\"B0\"/>"));
    }

    std::unique_ptr<frmProperties> open(long id, bool category, int page = 1)
    {
        auto dialog = std::make_unique<frmProperties>();
        dialog->ObjectID = id;
        dialog->IsCategory = category;
        dialog->CTabMain()->setCurrentIndex(page);
        dialog->show();
        return dialog;
    }

    struct Row {
        bool exists = false;
        long allow = 0, deny = 0, checksum = 0;
    };
    Row docRow(long uid, long doc = kDoc)
    {
        Row row;
        db::RecordsetPtr rs = admin->execute(
            QStringLiteral("select Allow, [Deny], CheckSum from tbOrraDocPermissions where OrraID=%1 and UserId=%2")
                .arg(doc)
                .arg(uid));
        if (rs && rs->isOpen() && !rs->isEOF()) {
            row.exists = true;
            row.allow = long(rs->value(0).toLongLong());
            row.deny = long(rs->value(1).toLongLong());
            row.checksum = long(rs->value(2).toLongLong());
        }
        return row;
    }
    static Qt::CheckState cell(frmProperties& d, int row, int column)
    {
        return d.fgPermissions()->item(row - 1, column)->checkState();
    }
    static QStringList listed(frmProperties& d)
    {
        QStringList names;
        for (int i = 0; i < d.lvUsers()->count(); ++i) names << d.lvUsers()->item(i)->text();
        return names;
    }
    // Picks the named principal in the users picker when it is shown.
    void pickInUsers(const QString& name)
    {
        onModal = [name](QDialog* dialog) {
            auto* picker = qobject_cast<frmUsers*>(dialog);
            if (!picker) return int(QDialog::Rejected);
            for (int r = 0; r < picker->fgUsers()->rowCount(); ++r)
                if (picker->fgUsers()->item(r, 1)->text() == name) picker->fgUsers()->setCurrentCell(r, 1);
            picker->cmdOK_Click();
            return picker->result();
        };
    }

    long bob = 0, eve = 0, readers = 0;
};

TEST_F(AdminProperties, TheGridListsTheTenRightsAndTheDialogItsPages)
{
    auto d = open(kDoc, false);
    EXPECT_EQ(d->objectName(), QStringLiteral("frmProperties"));
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Properties"));
    ASSERT_EQ(d->CTabMain()->count(), 2);
    EXPECT_EQ(d->CTabMain()->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(d->CTabMain()->tabText(1), QStringLiteral("Security"));
    QTableWidget* grid = d->fgPermissions();
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), QStringLiteral("Permissions"));
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), QStringLiteral("Allow"));
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), QStringLiteral("Deny"));
    const QStringList labels{"Secondary Owner", "Edit", "Change", "Delete", "Execute", "Include", "Move",
        "Add New Document", "Add New Category", "Delete Category"};
    const QList<long> bits{1, 2, 4, 8, 16, 32, 64, 2048, 4096, 8192};
    ASSERT_EQ(grid->rowCount(), 10);
    for (int r = 0; r < 10; ++r) {
        EXPECT_EQ(grid->item(r, 0)->text(), labels[r]);
        EXPECT_EQ(frmProperties::Rights()[r].second, bits[r]);
    }
    EXPECT_EQ(d->txtOwner()->text(), QStringLiteral("sa"));
    EXPECT_FALSE(d->cmdApply()->isEnabled());
    EXPECT_TRUE(d->cmdAdd()->isEnabled());
    EXPECT_TRUE(d->lvUsers()->count() == 0);
    EXPECT_TRUE(scripted.messages.isEmpty()) << scripted.messages.join('|').toStdString();
}

TEST_F(AdminProperties, ApplyWritesTheRowWithTheChecksumOfItsFourNumbers)
{
    pickInUsers(QStringLiteral("bob"));
    auto d = open(kDoc, false);
    d->cmdAdd_Click();
    ASSERT_EQ(listed(*d), QStringList{"bob"});
    EXPECT_EQ(d->SelectedPrincipal(), bob);
    EXPECT_FALSE(docRow(bob).exists);   // nothing written before Apply
    ASSERT_TRUE(d->ClickCell(2, 1));    // Allow Edit
    ASSERT_TRUE(d->ClickCell(3, 1));    // Allow Change
    ASSERT_TRUE(d->ClickCell(4, 2));    // Deny Delete
    EXPECT_TRUE(d->cmdApply()->isEnabled());
    EXPECT_EQ(d->PermissionMask(1), 6);
    EXPECT_EQ(d->PermissionMask(2), 8);
    ASSERT_TRUE(d->cmdApply_Click());
    const Row row = docRow(bob);
    ASSERT_TRUE(row.exists);
    EXPECT_EQ(row.allow, 6);
    EXPECT_EQ(row.deny, 8);
    EXPECT_EQ(row.checksum, ComputeCheckSum(QStringLiteral("%1%2%3%4").arg(kDoc).arg(bob).arg(6).arg(8)));
    EXPECT_EQ(PermissionRowCheckSum(12, 5, 6, 8), ComputeCheckSum(QStringLiteral("12568")));
    EXPECT_FALSE(d->cmdApply()->isEnabled());
    EXPECT_EQ(long(scalar(*admin, QStringLiteral("select count(*) from tbOrraDocPermissions")).toLongLong()), 1);
}

TEST_F(AdminProperties, ABoxTicksBySpaceAndByTheAccessibleToggleAsByTheMouse)
{
    pickInUsers(QStringLiteral("bob"));
    auto d = open(kDoc, false);
    d->cmdAdd_Click();
    QTableWidget* grid = d->fgPermissions();
    // Space on the current cell: Allow Change, with Edit as its rule says.
    grid->setFocus();
    grid->setCurrentCell(2, 1);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(cell(*d, 3, 1), Qt::Checked);
    EXPECT_EQ(cell(*d, 2, 1), Qt::Checked);
    EXPECT_TRUE(d->cmdApply()->isEnabled());
    // A screen reader's toggle of the Deny Delete cell, twice.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table->tableInterface(), nullptr);
    QAccessibleInterface* denyDelete = table->tableInterface()->cellAt(3, 2);
    ASSERT_NE(denyDelete, nullptr);
    EXPECT_EQ(denyDelete->text(QAccessible::Name), QStringLiteral("Delete Deny"));
    EXPECT_TRUE(denyDelete->state().checkable);
    EXPECT_FALSE(denyDelete->state().checked);
    ASSERT_NE(denyDelete->actionInterface(), nullptr);
    ASSERT_TRUE(denyDelete->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    denyDelete->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(cell(*d, 4, 2), Qt::Checked);
    EXPECT_TRUE(table->tableInterface()->cellAt(3, 2)->state().checked);
    EXPECT_EQ(d->PermissionMask(2), 8);
    denyDelete->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(cell(*d, 4, 2), Qt::Unchecked);
    // A grey box (Add New Document of a document) does not toggle.
    QAccessibleInterface* grey = table->tableInterface()->cellAt(7, 1);
    ASSERT_NE(grey, nullptr);
    EXPECT_FALSE(grey->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    grey->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(cell(*d, 8, 1), Qt::Unchecked);
    grid->setCurrentCell(7, 1);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(cell(*d, 8, 1), Qt::Unchecked);
}

TEST_F(AdminProperties, TheRulesOfTheBoxes)
{
    allowDoc(kDoc, bob, 0, 0);
    auto d = open(kDoc, false);
    // Change and Execute need Edit.
    ASSERT_TRUE(d->ClickCell(5, 1));
    EXPECT_EQ(cell(*d, 2, 1), Qt::Checked);
    ASSERT_TRUE(d->ClickCell(3, 2));
    EXPECT_EQ(cell(*d, 2, 2), Qt::Checked);
    // Unchecking changes nothing else.
    ASSERT_TRUE(d->ClickCell(5, 1));
    EXPECT_EQ(cell(*d, 2, 1), Qt::Checked);
    // Secondary Owner Allow checks every editable Allow; its Deny checks every editable Deny and
    // clears every Allow of the editable rows, its own included.
    ASSERT_TRUE(d->ClickCell(1, 1));
    for (int r = 1; r <= 7; ++r) EXPECT_EQ(cell(*d, r, 1), Qt::Checked) << r;
    for (int r = 8; r <= 10; ++r) EXPECT_EQ(cell(*d, r, 1), Qt::Unchecked) << r;   // the category rights of a document
    ASSERT_TRUE(d->ClickCell(1, 2));
    for (int r = 1; r <= 7; ++r) {
        EXPECT_EQ(cell(*d, r, 1), Qt::Unchecked) << r;
        EXPECT_EQ(cell(*d, r, 2), Qt::Checked) << r;
    }
    // Rows 8 to 10 of a document are grey and cannot be edited.
    for (int r = 8; r <= 10; ++r) {
        EXPECT_FALSE(d->CanEditCell(r, 1));
        EXPECT_FALSE(d->ClickCell(r, 2));
        EXPECT_EQ(d->fgPermissions()->item(r - 1, 0)->foreground().color(), QColor(150, 150, 150));
    }
    EXPECT_FALSE(d->CanEditCell(0, 1));
    EXPECT_FALSE(d->CanEditCell(2, 0));
}

TEST_F(AdminProperties, ACategoryEditsAllTenRowsAndKeepsStoredBitsOfADocumentsCategoryRows)
{
    allowCategory(kCategory, bob, 0, 0);
    auto c = open(kCategory, true);
    ASSERT_TRUE(c->ClickCell(1, 1));
    for (int r = 1; r <= 10; ++r) EXPECT_EQ(cell(*c, r, 1), Qt::Checked) << r;
    ASSERT_TRUE(c->cmdApply_Click());
    EXPECT_EQ(long(scalar(*admin,
                  QStringLiteral("select Allow from tbOrraCategoryPermissions where CategoryID=%1 and UserId=%2")
                      .arg(kCategory)
                      .arg(bob))
                       .toLongLong()),
        1 + 2 + 4 + 8 + 16 + 32 + 64 + 2048 + 4096 + 8192);

    // A document row holding category bits shows them and writes them back unchanged.
    allowDoc(kDoc, bob, 2048 + 2, 4096);
    auto d = open(kDoc, false);
    EXPECT_EQ(cell(*d, 8, 1), Qt::Checked);
    EXPECT_EQ(cell(*d, 9, 2), Qt::Checked);
    ASSERT_TRUE(d->ClickCell(4, 1));
    ASSERT_TRUE(d->cmdApply_Click());
    const Row row = docRow(bob);
    EXPECT_EQ(row.allow, 2048 + 2 + 8);
    EXPECT_EQ(row.deny, 4096);
    EXPECT_EQ(row.checksum, PermissionRowCheckSum(kDoc, bob, row.allow, row.deny));
}

TEST_F(AdminProperties, OnlyTheOwnerEditsSecondaryOwnerAndOnlyAManagerEditsAtAll)
{
    allowDoc(kDoc, bob, 1, 0);   // bob is a secondary owner, not the owner
    allowDoc(kDoc, eve, 2, 0);
    logOnAs(QStringLiteral("bob"), QStringLiteral("pw_bob"));
    auto d = open(kDoc, false);
    EXPECT_TRUE(d->cmdAdd()->isEnabled());
    EXPECT_FALSE(d->CanEditCell(1, 1));
    EXPECT_TRUE(d->CanEditCell(2, 1));
    EXPECT_EQ(d->fgPermissions()->item(0, 1)->foreground().color(), QColor(150, 150, 150));
    d.reset();

    logOnAs(QStringLiteral("eve"), QStringLiteral("pw_eve"));
    d = open(kDoc, false);
    EXPECT_FALSE(d->cmdAdd()->isEnabled());
    EXPECT_FALSE(d->cmdRemove()->isEnabled());
    EXPECT_FALSE(d->chcDisabled()->isEnabled());   // eve may not change the document
    for (int r = 1; r <= 10; ++r) {
        EXPECT_FALSE(d->ClickCell(r, 1)) << r;
        EXPECT_EQ(d->fgPermissions()->item(r - 1, 0)->foreground().color(), QColor(150, 150, 150)) << r;
    }
    EXPECT_FALSE(d->cmdApply()->isEnabled());
}

TEST_F(AdminProperties, UnappliedEditsSurviveSwitchingPrincipalsAndPagesAndClosingAsks)
{
    allowDoc(kDoc, bob, 2, 0);
    allowDoc(kDoc, readers, 0, 0);
    auto d = open(kDoc, false);
    EXPECT_EQ(listed(*d), (QStringList{"readers", "bob"}));   // roles first
    ASSERT_TRUE(d->SelectPrincipal(bob));
    ASSERT_TRUE(d->ClickCell(6, 1));   // Include for bob
    ASSERT_TRUE(d->SelectPrincipal(readers));
    EXPECT_EQ(cell(*d, 6, 1), Qt::Unchecked);
    ASSERT_TRUE(d->ClickCell(7, 2));   // Move denied to readers
    d->CTabMain()->setCurrentIndex(0);
    d->CTabMain()->setCurrentIndex(1);
    ASSERT_TRUE(d->SelectPrincipal(bob));
    EXPECT_EQ(cell(*d, 6, 1), Qt::Checked);
    EXPECT_EQ(cell(*d, 2, 1), Qt::Checked);
    EXPECT_TRUE(d->HasUnappliedEdits());

    // Cancel keeps the dialog open with its edits; Yes applies both principals.
    scripted.answers.enqueue(vbCancel);
    d->reject();
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(scripted.last(),
        QStringLiteral("The permissions of bob, readers were changed and not applied. Apply them now?"));
    EXPECT_EQ(docRow(bob).allow, 2);
    scripted.answers.enqueue(vbYes);
    d->reject();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(docRow(bob).allow, 2 + 32);
    EXPECT_EQ(docRow(readers).deny, 64);
    EXPECT_EQ(docRow(readers).checksum, PermissionRowCheckSum(kDoc, readers, 0, 64));

    // No closes without writing.
    d = open(kDoc, false);
    ASSERT_TRUE(d->SelectPrincipal(bob));
    ASSERT_TRUE(d->ClickCell(4, 1));
    scripted.answers.enqueue(vbNo);
    d->reject();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(docRow(bob).allow, 2 + 32);
}

TEST_F(AdminProperties, RemoveAsksFirstAndThenDeletesAtOnce)
{
    allowDoc(kDoc, bob, 2, 0);
    allowDoc(kDoc, eve, 2, 0);
    auto d = open(kDoc, false);
    ASSERT_TRUE(d->SelectPrincipal(bob));
    scripted.answers.enqueue(vbNo);
    d->cmdRemove_Click();
    EXPECT_EQ(
        scripted.last(), QStringLiteral("The permissions of 'bob' on this document will be removed. Are you sure?"));
    EXPECT_EQ(scripted.titles.last(), QStringLiteral("Confirm"));
    EXPECT_TRUE(docRow(bob).exists);
    EXPECT_EQ(listed(*d), (QStringList{"bob", "eve"}));
    scripted.answers.enqueue(vbYes);
    d->cmdRemove_Click();
    EXPECT_FALSE(docRow(bob).exists);
    EXPECT_TRUE(docRow(eve).exists);
    EXPECT_EQ(listed(*d), QStringList{"eve"});
    EXPECT_EQ(d->SelectedPrincipal(), eve);
    d->reject();
    EXPECT_FALSE(docRow(bob).exists);
}

TEST_F(AdminProperties, AddingAListedPrincipalChangesNothing)
{
    allowDoc(kDoc, bob, 2, 0);
    pickInUsers(QStringLiteral("bob"));
    auto d = open(kDoc, false);
    d->cmdAdd_Click();
    EXPECT_EQ(scripted.last(), QStringLiteral("Key is not unique in collection"));
    EXPECT_EQ(listed(*d), QStringList{"bob"});
    pickInUsers(QStringLiteral("readers"));
    d->cmdAdd_Click();
    EXPECT_EQ(listed(*d), (QStringList{"bob", "readers"}));
    EXPECT_EQ(d->lvUsers()->currentItem()->toolTip(), QStringLiteral("role"));
    for (int r = 1; r <= 10; ++r) EXPECT_EQ(cell(*d, r, 1), Qt::Unchecked);
}

TEST_F(AdminProperties, ATamperedPermissionRowIsShownAsSuch)
{
    allowDoc(kDoc, bob, 2, 0);
    allowDoc(kDoc, eve, 2, 0);
    admin->execute(QStringLiteral("update tbOrraDocPermissions set Allow=127 where UserId=%1").arg(bob));
    auto d = open(kDoc, false);
    EXPECT_TRUE(d->IsTampered(bob));
    EXPECT_FALSE(d->IsTampered(eve));
    ASSERT_TRUE(d->SelectPrincipal(bob));
    EXPECT_TRUE(d->lblCheckSum()->isVisibleTo(d.get()));
    EXPECT_EQ(d->lblCheckSum()->text(),
        QStringLiteral("CheckSum Value is wrong for tbOrraDocPermissions DocName: 'Report' UserName: 'bob'"));
    EXPECT_EQ(d->lvUsers()->currentItem()->foreground().color(), QColor(200, 0, 0));
    EXPECT_EQ(d->lvUsers()->currentItem()->data(Qt::AccessibleDescriptionRole).toString(),
        QStringLiteral("user, checksum is wrong"));
    ASSERT_TRUE(d->SelectPrincipal(eve));
    EXPECT_FALSE(d->lblCheckSum()->isVisibleTo(d.get()));

    // The engine refuses the row; applying it again (after the owner looked at it) mends it.
    auto bobCon = connectAs(QStringLiteral("bob"));
    EXPECT_FALSE(HasDocPermission(bobCon.get(), kDoc, 0, rightEdit));
    ASSERT_TRUE(d->SelectPrincipal(bob));
    ASSERT_TRUE(d->ClickCell(7, 1));
    ASSERT_TRUE(d->cmdApply_Click());
    EXPECT_FALSE(d->IsTampered(bob));
    scripted.messages.clear();
    EXPECT_TRUE(HasDocPermission(bobCon.get(), kDoc, 0, rightEdit));
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(AdminProperties, TheDisabledFlagIsWrittenWithTheRowsChecksum)
{
    auto d = open(kDoc, false, 0);
    EXPECT_FALSE(d->chcDisabled()->isChecked());
    d->chcDisabled()->click();
    EXPECT_TRUE(d->IsDisabled);
    db::RecordsetPtr rs = admin->execute(QStringLiteral("select * from tbOrraSQL where ID=%1").arg(kDoc));
    ASSERT_FALSE(rs->isEOF());
    EXPECT_TRUE(rs->value(QStringLiteral("Disabled")).toBool());
    EXPECT_EQ(rs->value(QStringLiteral("CheckSum")).toLongLong(), RowCheckSum(*rs));
    d->chcDisabled()->click();
    EXPECT_FALSE(d->IsDisabled);
    rs = admin->execute(QStringLiteral("select * from tbOrraSQL where ID=%1").arg(kDoc));
    EXPECT_FALSE(rs->value(QStringLiteral("Disabled")).toBool());
    EXPECT_EQ(rs->value(QStringLiteral("CheckSum")).toLongLong(), RowCheckSum(*rs));

    // Opening with IsDisabled set shows the box ticked and writes nothing.
    auto c = std::make_unique<frmProperties>();
    c->ObjectID = kCategory;
    c->IsCategory = true;
    c->IsDisabled = true;
    c->show();
    EXPECT_TRUE(c->chcDisabled()->isChecked());
    EXPECT_FALSE(
        scalar(*admin, QStringLiteral("select Disabled from tbOrraCategory where ID=%1").arg(kCategory)).toBool());
    c->chcDisabled()->click();   // clearing it writes 0 and a fresh checksum
    rs = admin->execute(QStringLiteral("select * from tbOrraCategory where ID=%1").arg(kCategory));
    EXPECT_EQ(rs->value(QStringLiteral("CheckSum")).toLongLong(), RowCheckSum(*rs));
}

TEST_F(AdminProperties, AFailedDisabledWriteLeavesRowAndBoxAsTheyWere)
{
    auto d = open(kDoc, false, 0);
    const QVariant before = scalar(*admin, QStringLiteral("select CheckSum from tbOrraSQL where ID=%1").arg(kDoc));
    admin->execute(QStringLiteral("delete from tbOrraSQL where ID=%1").arg(kDoc));   // gone under the dialog
    d->chcDisabled()->click();
    EXPECT_FALSE(d->chcDisabled()->isChecked());
    EXPECT_FALSE(d->IsDisabled);
    EXPECT_EQ(scripted.last(),
        QStringLiteral("The checksum of the changed row could not be written; the Disabled flag is unchanged."));
    EXPECT_TRUE(before.isValid());
}

TEST_F(AdminProperties, RightsGrantedAndDeniedInTheDialogDecideForASecondLogin)
{
    auto bobCon = connectAs(QStringLiteral("bob"));
    EXPECT_FALSE(HasDocPermission(bobCon.get(), kDoc, 0, rightExecute));

    pickInUsers(QStringLiteral("bob"));
    auto d = open(kDoc, false);
    d->cmdAdd_Click();
    ASSERT_TRUE(d->ClickCell(5, 1));   // Execute (and with it Edit)
    ASSERT_TRUE(d->cmdApply_Click());
    EXPECT_TRUE(HasDocPermission(bobCon.get(), kDoc, 0, rightExecute));
    EXPECT_TRUE(HasDocPermission(bobCon.get(), kDoc, 0, rightEdit));
    EXPECT_FALSE(HasDocPermission(bobCon.get(), kDoc, 0, rightChange));

    // A role's denial through the dialog wins over the user's own allowance only where the
    // user's own row says nothing: deny Change to readers, bob a member.
    addMember(QStringLiteral("readers"), QStringLiteral("bob"));
    allowCategory(kCategory, bob, rightChange, 0);
    EXPECT_TRUE(HasDocPermission(bobCon.get(), kDoc, 0, rightChange));
    pickInUsers(QStringLiteral("readers"));
    d->cmdAdd_Click();
    ASSERT_TRUE(d->ClickCell(3, 2));
    ASSERT_TRUE(d->cmdApply_Click());
    EXPECT_FALSE(HasDocPermission(bobCon.get(), kDoc, 0, rightChange));

    // Denying Execute to bob himself.
    ASSERT_TRUE(d->SelectPrincipal(bob));
    ASSERT_TRUE(d->ClickCell(5, 2));
    ASSERT_TRUE(d->cmdApply_Click());
    EXPECT_FALSE(HasDocPermission(bobCon.get(), kDoc, 0, rightExecute));
    EXPECT_TRUE(scripted.messages.isEmpty()) << scripted.messages.join('|').toStdString();
}

// --- The users picker ---------------------------------------------------------------------

TEST_F(AdminProperties, TheUsersPickerListsEveryPrincipalAndReturnsThePickedOne)
{
    frmUsers picker;
    picker.show();
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("Users"));
    QTableWidget* grid = picker.fgUsers();
    EXPECT_EQ(grid->objectName(), QStringLiteral("fgUsers"));
    ASSERT_EQ(grid->columnCount(), 3);
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), QStringLiteral("Type"));
    const long principals = long(scalar(*admin, QStringLiteral("select count(*) from sysusers")).toLongLong());
    EXPECT_EQ(grid->rowCount(), principals);
    EXPECT_GE(principals, 4);
    QHash<QString, QString> types;
    for (int r = 0; r < grid->rowCount(); ++r) types.insert(grid->item(r, 1)->text(), grid->item(r, 2)->text());
    EXPECT_EQ(types.value(QStringLiteral("bob")), QStringLiteral("Login"));
    EXPECT_EQ(types.value(QStringLiteral("readers")), QStringLiteral("Role"));
    EXPECT_TRUE(types.contains(QStringLiteral("public")));

    // Ok without a current row does nothing.
    picker.cmdOK_Click();
    EXPECT_FALSE(picker.IsOk);
    EXPECT_TRUE(picker.isVisible());
    for (int r = 0; r < grid->rowCount(); ++r)
        if (grid->item(r, 1)->text() == QLatin1String("readers")) grid->setCurrentCell(r, 0);
    picker.cmdOK_Click();
    EXPECT_TRUE(picker.IsOk);
    EXPECT_EQ(picker.UserId, readers);
    EXPECT_EQ(picker.UserName, QStringLiteral("readers"));
    EXPECT_FALSE(picker.IsLogin);
    EXPECT_FALSE(picker.isVisible());

    // The close box returns nothing.
    frmUsers again;
    again.show();
    again.fgUsers()->setCurrentCell(0, 0);
    again.close();
    EXPECT_FALSE(again.IsOk);
    EXPECT_FALSE(again.isVisible());
}

}   // namespace
