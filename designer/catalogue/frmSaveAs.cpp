#include "designer/catalogue/frmSaveAs.h"

#include "common/Connections.h"
#include "designer/catalogue/CatalogueImages.h"
#include "designer/shell/mdMain.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/KeyedTree.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace morvane {

using orra::KeyedTree;

namespace {

// The node's path from the top, its texts joined by "\".
QString fullPath(const QTreeWidgetItem* node)
{
    QStringList parts;
    for (; node; node = node->parent()) parts.prepend(node->text(0));
    return parts.join(QLatin1Char('\\'));
}

bool isDocument(const QTreeWidgetItem* node) { return KeyedTree::key(node).startsWith(QLatin1Char('T')); }

}   // namespace

frmSaveAs::frmSaveAs(QWidget* parent) : QDialog(parent), m_images(new orra::ImageList(CatalogueImageList()))
{
    setObjectName(QStringLiteral("frmSaveAs"));
    setWindowTitle(QStringLiteral("Save As.."));
    setAccessibleName(QStringLiteral("Save As.."));
    setModal(true);

    m_tvOrra = new KeyedTree(this);
    m_tvOrra->setObjectName(QStringLiteral("tvOrra"));
    m_tvOrra->setAccessibleName(QStringLiteral("Categories and documents"));
    m_tvOrra->setImageList(m_images);
    m_tvOrra->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_txtCategoryName = new QLineEdit(this);
    m_txtCategoryName->setObjectName(QStringLiteral("txtCategoryName"));
    m_txtCategoryName->setAccessibleName(QStringLiteral("Category"));
    m_txtCategoryName->setReadOnly(true);
    m_txtDocumentName = new QLineEdit(this);
    m_txtDocumentName->setObjectName(QStringLiteral("txtDocumentName"));
    m_txtDocumentName->setAccessibleName(QStringLiteral("Document name"));
    m_cmdOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("Ok"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setAutoDefault(false);
    m_cmdCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setAutoDefault(false);

    auto* categoryLabel = new QLabel(QStringLiteral("Category:"), this);
    categoryLabel->setBuddy(m_txtCategoryName);
    auto* nameLabel = new QLabel(QStringLiteral("Name:"), this);
    nameLabel->setBuddy(m_txtDocumentName);
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_tvOrra, 0, 0, 1, 2);
    grid->addWidget(categoryLabel, 1, 0);
    grid->addWidget(m_txtCategoryName, 1, 1);
    grid->addWidget(nameLabel, 2, 0);
    grid->addWidget(m_txtDocumentName, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    resize(420, 420);

    connect(m_tvOrra, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) { NodeClick(node); });
    connect(m_cmdOK, &QPushButton::clicked, this, &frmSaveAs::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmSaveAs::cmdCancel_Click);
}

frmSaveAs::~frmSaveAs()
{
    delete m_tvOrra;
    m_tvOrra = nullptr;
    delete m_images;
}

void frmSaveAs::Form_Activate()
{
    m_tvOrra->clear();
    try {
        FillCatalogueTree(*m_tvOrra);
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
    }
    m_tvOrra->setCheckboxes(false);
    if (QTreeWidgetItem* node = m_tvOrra->node(QLatin1Char('C') + QString::number(CategoryID))) {
        m_tvOrra->setCurrentItem(node);
        m_tvOrra->scrollToItem(node);
        node->setExpanded(true);
        NodeClick(node);
    }
    try {
        orra::db::ConnectionPtr con = orra::mainConnection();
        if (con) {
            orra::db::RecordsetPtr rs = con->execute(
                QStringLiteral("select Name from %1..tbOrraSQL (nolock) where ID=?").arg(CatalogueDatabase()),
                {qlonglong(ObjectID)});
            m_txtDocumentName->setText(
                rs && rs->isOpen() && !rs->isEOF() ? rs->value(0).toString().trimmed() : QString());
        }
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
    }
    m_txtDocumentName->setFocus();
    m_txtDocumentName->selectAll();
}

void frmSaveAs::NodeClick(QTreeWidgetItem* node)
{
    if (!node) return;
    if (!isDocument(node)) {
        m_txtCategoryName->setText(fullPath(node));
        CategoryID = KeyedTree::key(node).mid(1).toLong();
        return;
    }
    QTreeWidgetItem* parent = node->parent();
    m_txtCategoryName->setText(fullPath(parent));
    m_txtDocumentName->setText(node->text(0));
    CategoryID = KeyedTree::key(parent).mid(1).toLong();
}

long frmSaveAs::ExistingDocumentID() const
{
    const QTreeWidgetItem* selected = m_tvOrra->currentItem();
    if (!selected) return -1;
    const QString name = m_txtDocumentName->text();
    if (isDocument(selected)) return selected->text(0) == name ? KeyedTree::key(selected).mid(1).toLong() : -1;
    for (int i = 0; i < selected->childCount(); ++i) {
        const QTreeWidgetItem* child = selected->child(i);
        if (isDocument(child) && child->text(0) == name) return KeyedTree::key(child).mid(1).toLong();
    }
    return -1;
}

void frmSaveAs::cmdOK_Click()
{
    bool exists = false;
    try {
        exists = DocumentNameExists(m_txtDocumentName->text().trimmed(), CategoryID);
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
        return;
    }
    if (exists) {
        const int answer = orra::userInterface().messageBox(m_txtCategoryName->text() + QLatin1Char('\\')
                + m_txtDocumentName->text() + QStringLiteral("\r\nis already exists. Do you want to overrite?"),
            orra::vbYesNo, QStringLiteral("Confirm"));
        if (answer != orra::vbYes) return;
        ObjectID = ExistingDocumentID();
    } else {
        ObjectID = -1;
    }
    flagIsOK = true;
    hide();
    done(QDialog::Accepted);
}

void frmSaveAs::cmdCancel_Click()
{
    flagIsOK = false;
    hide();
    done(QDialog::Rejected);
}

void frmSaveAs::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        cmdOK_Click();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

}   // namespace morvane
