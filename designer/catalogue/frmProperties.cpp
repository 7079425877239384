#include "designer/catalogue/frmProperties.h"

#include "common/CatalogueChecksums.h"
#include "common/Crc32.h"
#include "common/Permissions.h"
#include "designer/catalogue/AdminSupport.h"
#include "designer/catalogue/frmUsers.h"
#include "platform/widgets/AccessibleCheckGrid.h"
#include "platform/host/UserInterface.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace morvane {

using orra::Error;

namespace {
const QColor kGrey(150, 150, 150);
const QColor kTampered(200, 0, 0);
constexpr int kUidRole = Qt::UserRole + 1;
constexpr int kLoginRole = Qt::UserRole + 2;
constexpr int kRowCount = 10;
}   // namespace

const QList<QPair<QString, long>>& frmProperties::Rights()
{
    static const QList<QPair<QString, long>> rights = {
        {QStringLiteral("Secondary Owner"), orra::rightSecondaryOwner},
        {QStringLiteral("Edit"), orra::rightEdit},
        {QStringLiteral("Change"), orra::rightChange},
        {QStringLiteral("Delete"), orra::rightDelete},
        {QStringLiteral("Execute"), orra::rightExecute},
        {QStringLiteral("Include"), orra::rightInclude},
        {QStringLiteral("Move"), orra::rightMove},
        {QStringLiteral("Add New Document"), orra::rightAddNewDocument},
        {QStringLiteral("Add New Category"), orra::rightAddNewCategory},
        {QStringLiteral("Delete Category"), orra::rightDeleteCategory},
    };
    return rights;
}

frmProperties::frmProperties(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("Properties"));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("CTabMain"));

    auto* general = new QWidget;
    general->setObjectName(QStringLiteral("General"));
    m_disabled = new QCheckBox(QStringLiteral("Disabled"));
    m_disabled->setObjectName(QStringLiteral("chcDisabled"));
    m_owner = new QLineEdit;
    m_owner->setObjectName(QStringLiteral("txtOwner"));
    m_owner->setReadOnly(true);
    m_owner->setAccessibleName(QStringLiteral("Owner"));
    auto* ownerLabel = new QLabel(QStringLiteral("Owner"));
    ownerLabel->setObjectName(QStringLiteral("lblOwner"));
    ownerLabel->setBuddy(m_owner);
    auto* generalLayout = new QFormLayout(general);
    generalLayout->addRow(m_disabled);
    generalLayout->addRow(ownerLabel, m_owner);

    auto* security = new QWidget;
    security->setObjectName(QStringLiteral("Security"));
    m_users = new QListWidget;
    m_users->setObjectName(QStringLiteral("lvUsers"));
    m_users->setAccessibleName(QStringLiteral("Users and roles"));
    m_grid = new QTableWidget(kRowCount, 3);
    m_grid->setObjectName(QStringLiteral("fgPermissions"));
    m_grid->setAccessibleName(QStringLiteral("Permissions"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Permissions"), QStringLiteral("Allow"), QStringLiteral("Deny")});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_grid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    m_grid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    m_grid->horizontalHeader()->resizeSection(1, 56);
    m_grid->horizontalHeader()->resizeSection(2, 56);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 8);
    m_grid->setWordWrap(false);
    // A screen reader's toggle ticks a box as the mouse and Space do.
    orra::makeCheckCellsToggle(m_grid);
    for (int r = 0; r < kRowCount; ++r) {
        auto* label = new QTableWidgetItem(Rights()[r].first);
        label->setFlags(Qt::ItemIsEnabled);
        m_grid->setItem(r, 0, label);
        for (int c = 1; c <= 2; ++c) {
            auto* box = new QTableWidgetItem;
            box->setCheckState(Qt::Unchecked);
            box->setFlags(Qt::ItemIsEnabled);
            box->setData(Qt::AccessibleTextRole,
                QStringLiteral("%1 %2").arg(
                    Rights()[r].first, c == 1 ? QStringLiteral("Allow") : QStringLiteral("Deny")));
            m_grid->setItem(r, c, box);
        }
    }
    m_add = new QPushButton(QStringLiteral("Add"));
    m_add->setObjectName(QStringLiteral("cmdAdd"));
    m_remove = new QPushButton(QStringLiteral("Remove"));
    m_remove->setObjectName(QStringLiteral("cmdRemove"));
    m_apply = new QPushButton(QStringLiteral("Apply"));
    m_apply->setObjectName(QStringLiteral("cmdApply"));
    m_apply->setEnabled(false);
    for (QPushButton* b : {m_add, m_remove, m_apply}) b->setAutoDefault(false);
    m_checksumNote = new QLabel;
    m_checksumNote->setObjectName(QStringLiteral("lblCheckSum"));
    m_checksumNote->setWordWrap(true);
    m_checksumNote->setStyleSheet(QStringLiteral("color: rgb(200,0,0)"));
    m_checksumNote->hide();

    auto* lists = new QHBoxLayout;
    lists->addWidget(m_users, 1);
    lists->addWidget(m_grid, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch();
    buttons->addWidget(m_apply);
    auto* securityLayout = new QVBoxLayout(security);
    securityLayout->addLayout(lists);
    securityLayout->addWidget(m_checksumNote);
    securityLayout->addLayout(buttons);

    m_tabs->addTab(general, QStringLiteral("General"));
    m_tabs->addTab(security, QStringLiteral("Security"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    m_grid->setMinimumHeight(m_grid->verticalHeader()->defaultSectionSize() * (kRowCount + 1) + 8);
    m_grid->setMinimumWidth(300);
    resize(600, 420);

    connect(m_disabled, &QCheckBox::clicked, this, [this] { chcDisabled_Click(); });
    connect(m_add, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(m_remove, &QPushButton::clicked, this, [this] { cmdRemove_Click(); });
    connect(m_apply, &QPushButton::clicked, this, [this] { cmdApply_Click(); });
    connect(m_grid, &QTableWidget::itemChanged, this, &frmProperties::cellChanged);
    connect(m_users, &QListWidget::currentItemChanged, this,
        [this](QListWidgetItem* current) { principalChanged(current); });
}

QString frmProperties::objectTable() const
{
    return IsCategory ? QStringLiteral("tbOrraCategory") : QStringLiteral("tbOrraSQL");
}
QString frmProperties::permissionTable() const
{
    return IsCategory ? QStringLiteral("tbOrraCategoryPermissions") : QStringLiteral("tbOrraDocPermissions");
}
QString frmProperties::idColumn() const { return IsCategory ? QStringLiteral("CategoryID") : QStringLiteral("OrraID"); }

void frmProperties::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_filled) Activate();
}

void frmProperties::Activate()
{
    m_filled = true;
    m_activated = false;
    const qlonglong id = ObjectID;
    auto permitted = [this](long right) {
        auto& con = admin::catalogue();
        return IsCategory ? orra::HasCategoryPermission(&con, ObjectID, 0, right)
                          : orra::HasDocPermission(&con, ObjectID, 0, right);
    };
    try {
        m_mayManage = permitted(orra::rightSecondaryOwner);
        m_canChange = permitted(orra::rightChange);
        m_loginIsOwner =
            admin::scalar(
                QStringLiteral("select case when owner=suser_sid() then 1 else 0 end from %1 (nolock) where ID=?")
                    .arg(objectTable()),
                {id})
                .toInt()
            == 1;
        m_owner->setText(admin::scalar(
            QStringLiteral("select suser_sname(owner) from %1 (nolock) where ID=?").arg(objectTable()), {id})
                             .toString());
    } catch (const Error& e) {
        admin::showError(e);
    }
    m_disabled->setChecked(IsDisabled);
    m_add->setEnabled(m_mayManage);
    m_remove->setEnabled(m_mayManage);
    m_disabled->setEnabled(m_canChange);
    ListPrincipals();
    refreshCellStates();
    m_activated = true;
}

void frmProperties::ListPrincipals()
{
    m_filling = true;
    m_users->clear();
    m_tampered.clear();
    try {
        orra::db::RecordsetPtr rs = admin::rows(
            QStringLiteral("select s.uid,s.name ,s.islogin, x.Allow, x.[Deny], x.CheckSum from %1 x (nolock)\r\n"
                           "inner join sysusers s (nolock) on x.UserID=s.uid \r\n"
                           "where %2 = ?\r\norder by s.islogin")
                .arg(permissionTable(), idColumn()),
            {qlonglong(ObjectID)});
        for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
            const long uid = long(rs->value(0).toLongLong());
            const bool login = rs->value(2).toInt() == 1;
            auto* item = new QListWidgetItem(rs->value(1).toString().trimmed(), m_users);
            item->setData(kUidRole, qlonglong(uid));
            item->setData(kLoginRole, login);
            item->setIcon(style()->standardIcon(login ? QStyle::SP_FileIcon : QStyle::SP_DirIcon));
            item->setToolTip(login ? QStringLiteral("user") : QStringLiteral("role"));
            const long allow = long(rs->value(3).toLongLong());
            const long deny = long(rs->value(4).toLongLong());
            const bool tampered = rs->value(5).isNull()
                || rs->value(5).toLongLong() != orra::PermissionRowCheckSum(ObjectID, uid, allow, deny);
            m_tampered.insert(uid, tampered);
            markTampered(item, tampered);
        }
    } catch (const Error& e) {
        admin::showError(e);
    }
    m_filling = false;
    if (m_users->count() > 0)
        m_users->setCurrentRow(0);
    else
        principalChanged(nullptr);
}

void frmProperties::markTampered(QListWidgetItem* item, bool tampered)
{
    item->setForeground(tampered ? QBrush(kTampered) : QBrush());
    // What a screen reader says besides the name: the kind, and a wrong checksum.
    item->setData(Qt::AccessibleDescriptionRole,
        item->toolTip() + (tampered ? QStringLiteral(", checksum is wrong") : QString()));
}

QString frmProperties::tamperMessage(long uid) const
{
    QString objectName;
    try {
        objectName = admin::scalar(
            QStringLiteral("select Name from %1 (nolock) where ID=?").arg(objectTable()), {qlonglong(ObjectID)})
                         .toString()
                         .trimmed();
    } catch (const Error&) {
    }
    const QListWidgetItem* item = itemOf(uid);
    return QStringLiteral("CheckSum Value is wrong for %1 %2: '%3' UserName: '%4'")
        .arg(permissionTable(), IsCategory ? QStringLiteral("CategoryName") : QStringLiteral("DocName"), objectName,
            item ? item->text() : QString());
}

QListWidgetItem* frmProperties::itemOf(long uid) const
{
    for (int i = 0; i < m_users->count(); ++i)
        if (m_users->item(i)->data(kUidRole).toLongLong() == uid) return m_users->item(i);
    return nullptr;
}

long frmProperties::SelectedPrincipal() const
{
    const QListWidgetItem* item = m_users->currentItem();
    return item ? long(item->data(kUidRole).toLongLong()) : -1;
}

bool frmProperties::IsTampered(long uid) const { return m_tampered.value(uid, false); }

bool frmProperties::SelectPrincipal(long uid)
{
    QListWidgetItem* item = itemOf(uid);
    if (!item) return false;
    m_users->setCurrentItem(item);
    return true;
}

void frmProperties::principalChanged(QListWidgetItem* current)
{
    if (m_filling) return;
    if (!current) {
        showMasks(0, 0);
        m_checksumNote->hide();
        refreshCellStates();
        return;
    }
    const long uid = long(current->data(kUidRole).toLongLong());
    const auto pending = m_pending.constFind(uid);
    if (pending != m_pending.constEnd())
        showMasks(pending->first, pending->second);
    else
        LoadPrincipalRights(uid);
    if (IsTampered(uid) && !m_pending.contains(uid)) {
        m_checksumNote->setText(tamperMessage(uid));
        m_checksumNote->show();
    } else {
        m_checksumNote->hide();
    }
    refreshCellStates();
}

void frmProperties::LoadPrincipalRights(long uid)
{
    long allow = 0, deny = 0;
    try {
        orra::db::RecordsetPtr rs =
            admin::rows(QStringLiteral("select * from %1 x (nolock)\r\nwhere %2 = ? and UserID=?")
                            .arg(permissionTable(), idColumn()),
                {qlonglong(ObjectID), qlonglong(uid)});
        if (rs->isOpen() && !rs->isEOF()) {
            allow = long(rs->value(QStringLiteral("Allow")).toLongLong());
            deny = long(rs->value(QStringLiteral("Deny")).toLongLong());
        }
    } catch (const Error& e) {
        admin::showError(e);
    }
    showMasks(allow, deny);
}

void frmProperties::showMasks(long allow, long deny)
{
    const bool filling = m_filling;
    m_filling = true;
    for (int r = 0; r < kRowCount; ++r) {
        const long bit = Rights()[r].second;
        m_grid->item(r, 1)->setCheckState((allow & bit) ? Qt::Checked : Qt::Unchecked);
        m_grid->item(r, 2)->setCheckState((deny & bit) ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = filling;
}

bool frmProperties::CanEditCell(int row, int column) const
{
    if (!m_mayManage || !m_users->currentItem()) return false;
    if (row < 1 || row > kRowCount || column < 1 || column > 2) return false;
    if (row == 1) return m_loginIsOwner;
    return IsCategory || row <= 7;
}

void frmProperties::setCellEditable(int row, int column, bool editable)
{
    QTableWidgetItem* item = m_grid->item(row - 1, column);
    const bool filling = m_filling;
    m_filling = true;
    item->setFlags(editable ? (Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable) : Qt::ItemIsEnabled);
    m_filling = filling;
}

void frmProperties::refreshCellStates()
{
    const bool filling = m_filling;
    m_filling = true;
    for (int r = 1; r <= kRowCount; ++r) {
        // Grey: everything for a login that may not manage; row 1 for all but the owner; the
        // category rights of a document.
        const bool grey = !m_mayManage || (r == 1 && !m_loginIsOwner) || (!IsCategory && r >= 8);
        for (int c = 0; c <= 2; ++c) {
            m_grid->item(r - 1, c)->setForeground(grey ? QBrush(kGrey) : QBrush());
            if (c > 0) setCellEditable(r, c, CanEditCell(r, c));
        }
    }
    m_filling = filling;
}

bool frmProperties::ClickCell(int row, int column)
{
    if (!CanEditCell(row, column)) return false;
    QTableWidgetItem* item = m_grid->item(row - 1, column);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    return true;
}

void frmProperties::cellChanged(QTableWidgetItem* item)
{
    if (m_filling || !item || item->column() == 0) return;
    const int row = item->row() + 1;
    const int column = item->column();
    if (!CanEditCell(row, column)) return;
    m_filling = true;
    applyCellRules(row, column, item->checkState() == Qt::Checked);
    m_filling = false;
    m_pending.insert(SelectedPrincipal(), {PermissionMask(1), PermissionMask(2)});
    m_checksumNote->hide();
    m_apply->setEnabled(true);
}

void frmProperties::applyCellRules(int row, int column, bool checked)
{
    if (!checked) return;
    const int last = IsCategory ? kRowCount : 7;
    auto set = [this](
                   int r, int c, bool on) { m_grid->item(r - 1, c)->setCheckState(on ? Qt::Checked : Qt::Unchecked); };
    if (row == 1) {
        for (int r = 2; r <= last; ++r) set(r, column, true);
        if (column == 2)
            for (int r = 1; r <= last; ++r) set(r, 1, false);
    } else if (row == 3 || row == 5) {   // Change or Execute need Edit
        set(2, column, true);
    }
}

long frmProperties::PermissionMask(int column) const
{
    long mask = 0;
    for (int r = 0; r < kRowCount; ++r)
        if (m_grid->item(r, column)->checkState() == Qt::Checked) mask += Rights()[r].second;
    return mask;
}

bool frmProperties::cmdApply_Click()
{
    if (m_pending.isEmpty()) return true;
    try {
        admin::Transaction transaction;
        for (auto it = m_pending.constBegin(); it != m_pending.constEnd(); ++it) {
            const qlonglong uid = it.key();
            const qlonglong allow = it->first, deny = it->second;
            const qlonglong checksum = orra::PermissionRowCheckSum(ObjectID, long(uid), long(allow), long(deny));
            admin::catalogue().execute(
                QStringLiteral("delete %1 where %2=? and UserId=?").arg(permissionTable(), idColumn()),
                {qlonglong(ObjectID), uid});
            admin::catalogue().execute(
                QStringLiteral("insert into %1(%2,UserId,Allow,[Deny],CheckSum)\r\nselect ?,?,?,?,?")
                    .arg(permissionTable(), idColumn()),
                {qlonglong(ObjectID), uid, allow, deny, checksum});
        }
        transaction.commit();
    } catch (const Error& e) {
        admin::showError(e);
        return false;
    }
    for (auto it = m_pending.constBegin(); it != m_pending.constEnd(); ++it) {
        m_tampered.insert(it.key(), false);
        if (QListWidgetItem* item = itemOf(it.key())) markTampered(item, false);
    }
    m_pending.clear();
    m_apply->setEnabled(false);
    return true;
}

void frmProperties::cmdAdd_Click()
{
    frmUsers picker(this);
    admin::runModal(&picker);
    if (!picker.IsOk) return;
    if (itemOf(picker.UserId)) {
        admin::say(QStringLiteral("Key is not unique in collection"));
        return;
    }
    auto* item = new QListWidgetItem(picker.UserName, m_users);
    item->setData(kUidRole, qlonglong(picker.UserId));
    item->setData(kLoginRole, picker.IsLogin);
    item->setIcon(style()->standardIcon(picker.IsLogin ? QStyle::SP_FileIcon : QStyle::SP_DirIcon));
    item->setToolTip(picker.IsLogin ? QStringLiteral("user") : QStringLiteral("role"));
    markTampered(item, false);
    m_users->setCurrentItem(item);
}

void frmProperties::cmdRemove_Click()
{
    QListWidgetItem* item = m_users->currentItem();
    if (!item || !m_mayManage) return;
    const long uid = long(item->data(kUidRole).toLongLong());
    if (!admin::ask(QStringLiteral("The permissions of '%1' on this %2 will be removed. Are you sure?")
                        .arg(item->text(), IsCategory ? QStringLiteral("category") : QStringLiteral("document")),
            QStringLiteral("Confirm")))
        return;
    try {
        admin::catalogue().execute(
            QStringLiteral("delete %1 where %2=? and UserId=?").arg(permissionTable(), idColumn()),
            {qlonglong(ObjectID), qlonglong(uid)});
    } catch (const Error& e) {
        admin::showError(e);
        return;
    }
    m_pending.remove(uid);
    m_tampered.remove(uid);
    m_apply->setEnabled(!m_pending.isEmpty());
    delete item;
    principalChanged(m_users->currentItem());
}

void frmProperties::chcDisabled_Click()
{
    if (!m_activated) return;
    const bool disabled = m_disabled->isChecked();
    try {
        admin::Transaction transaction;
        const QString db = admin::catalogueDb();
        admin::catalogue().execute(
            QStringLiteral("update t  set t.[Disabled]=? from %1..%2 t where t.ID=?").arg(db, objectTable()),
            {disabled ? 1 : 0, qlonglong(ObjectID)});
        const bool stamped = IsCategory ? orra::UpdateCategoryCheckSum(admin::catalogue(), db, ObjectID)
                                        : orra::UpdateDocumentCheckSum(admin::catalogue(), db, ObjectID);
        if (!stamped)
            throw Error(orra::kSystemError, QStringLiteral("Morvane"),
                QStringLiteral(
                    "The checksum of the changed row could not be written; the Disabled flag is unchanged."));
        transaction.commit();
    } catch (const Error& e) {
        m_disabled->setChecked(!disabled);
        admin::showError(e);
        return;
    }
    IsDisabled = disabled;
}

bool frmProperties::mayClose()
{
    if (m_pending.isEmpty()) return true;
    QStringList names;
    for (auto it = m_pending.constBegin(); it != m_pending.constEnd(); ++it)
        if (const QListWidgetItem* item = itemOf(it.key())) names << item->text();
    names.sort();
    const int answer =
        admin::askYesNoCancel(QStringLiteral("The permissions of %1 were changed and not applied. Apply them now?")
                                  .arg(names.join(QStringLiteral(", "))),
            QStringLiteral("Properties"));
    if (answer == orra::vbYes) return cmdApply_Click();
    return answer == orra::vbNo;
}

void frmProperties::reject()
{
    if (mayClose()) QDialog::reject();
}

}   // namespace morvane
