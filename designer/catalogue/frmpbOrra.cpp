#include "designer/catalogue/frmpbOrra.h"
#include "designer/catalogue/AdministrationCommands.h"

#include "common/Connections.h"
#include "common/Permissions.h"
#include "common/RecordsetOpener.h"
#include "designer/catalogue/CatalogueCommands.h"
#include "designer/catalogue/CatalogueImages.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/frmMDIMain.h"
#include "designer/shell/mdMain.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QAction>
#include <QApplication>
#include <QHash>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace morvane {

using orra::Error;
using orra::KeyedTree;

namespace {

const QString kSource = QStringLiteral("Morvane");

Error openFailure(orra::db::Connection* con)
{
    if (con && !con->errors().isEmpty()) {
        const auto& e = con->errors().constFirst();
        return Error(e.number, e.source, e.description);
    }
    return Error(orra::kSystemError, kSource, QStringLiteral("The catalogue could not be read."));
}

// Runs a listing query on the catalogue connection; a failure is thrown with the provider's text.
orra::db::RecordsetPtr listing(const QString& sql)
{
    orra::db::ConnectionPtr con = orra::mainConnection();
    if (!con) throw Error(orra::kSystemError, kSource, QStringLiteral("There is no open connection to the catalogue."));
    bool failed = false;
    orra::db::RecordsetPtr rs =
        orra::OpenRecordset(con.get(), sql, failed, orra::adUseClient, orra::adLockReadOnly, orra::adOpenForwardOnly);
    if (failed || !rs) throw openFailure(con.get());
    return rs;
}

void showError(const Error& e) { orra::userInterface().messageBox(e.description(), orra::vbOKOnly); }

bool noModifiers(Qt::KeyboardModifiers m) { return !(m & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)); }

QString withoutAccelerator(QString caption) { return caption.remove(QLatin1Char('&')); }

}   // namespace

frmpbOrra::frmpbOrra(QWidget* parent) : QWidget(parent), m_images(CatalogueImageList())
{
    setObjectName(QStringLiteral("frmpbOrra"));
    setWindowTitle(QStringLiteral("Object Explorer"));
    setAccessibleName(QStringLiteral("Object Explorer"));

    m_tabOrra = new QTabWidget(this);
    m_tabOrra->setObjectName(QStringLiteral("tabOrra"));
    m_tabOrra->setDocumentMode(true);
    m_tvOrra = new KeyedTree;
    m_tvOrra->setObjectName(QStringLiteral("tvOrra"));
    m_tvOrra->setAccessibleName(QStringLiteral("Documents"));
    m_tvRepository = new KeyedTree;
    m_tvRepository->setObjectName(QStringLiteral("tvRepository"));
    m_tvRepository->setAccessibleName(QStringLiteral("Repository"));
    for (KeyedTree* tree : {m_tvOrra, m_tvRepository}) {
        tree->setImageList(&m_images);
        tree->viewport()->installEventFilter(this);
        tree->installEventFilter(this);
    }
    // Drags arrive at the viewport, where the pane's filter reads them.
    m_tvOrra->viewport()->setAcceptDrops(true);
    m_tabOrra->addTab(m_tvOrra, m_images.icon(QStringLiteral("Document")), QStringLiteral("Documents"));
    m_tabOrra->addTab(m_tvRepository, m_images.icon(QStringLiteral("Repository")), QStringLiteral("Repository"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabOrra);

    buildPopupMenu();
    RegisterCatalogueCommands(*this);
    m_dragExecutor = [](QDrag* drag) { return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction); };
    m_labelEditTimer.setSingleShot(true);
    connect(&m_labelEditTimer, &QTimer::timeout, this, &frmpbOrra::startClickedLabelEdit);

    // Load: the documents tab first, both trees filled.
    m_tabOrra->setCurrentIndex(0);
    RefreshCatalogueTree();
    UpdateTvRepository();
    RegisterAdministrationCommands(*this);
}

frmpbOrra::~frmpbOrra() = default;

void frmpbOrra::buildPopupMenu()
{
    if (frmMDIMain* mainWindow = frmMDIMain::instance();
        mainWindow && mainWindow->menu(QStringLiteral("mnuPopuptvOrra"))) {
        // The main window's items without a handler say that they are not available yet.
        QPointer<frmpbOrra> self(this);
        mainWindow->setCommandHandler(QStringLiteral("mnuPopuptvOrraRefresh"), [self] {
            if (self) self->refreshSelectedCategory();
        });
        return;
    }
    m_popup = new QMenu(QStringLiteral("PopUptvOrra"), this);
    m_popup->setObjectName(QStringLiteral("mnuPopuptvOrra"));
    auto item = [this](const char* name, const QString& caption) {
        QAction* a = m_popup->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    auto divider = [this](const char* name) { m_popup->addSeparator()->setObjectName(QString::fromLatin1(name)); };
    QList<QAction*> later;
    later << item("mnuPopuptvOrraProperties", QStringLiteral("Proper&ties"));
    later << item("mnuPopuptvOrraManagePermissions", QStringLiteral("Manage &Permissions"));
    later << item("mnuPopuptvOrraManageSchemas", QStringLiteral("Manage &Schemas"));
    divider("mnuPopupTVOrraDivider0");
    later << item("mnuPopuptvOrraExecute", QStringLiteral("&Execute"));
    divider("mnuPopupTVOrraDivider1");
    later << item("mnuPopuptvOrraDependencies", QStringLiteral("&Dependencies"));
    QAction* refresh = item("mnuPopuptvOrraRefresh", QStringLiteral("&Refresh"));

    // Commands that this version does not have yet say so instead of doing nothing.
    for (QAction* a : later)
        connect(a, &QAction::triggered, this, [this, a] { notYetAvailable(withoutAccelerator(a->text())); });
    connect(refresh, &QAction::triggered, this, &frmpbOrra::refreshSelectedCategory);
}

QMenu* frmpbOrra::mnuPopuptvOrra() const
{
    if (m_popup) return m_popup;
    frmMDIMain* mainWindow = frmMDIMain::instance();
    return mainWindow ? mainWindow->menu(QStringLiteral("mnuPopuptvOrra")) : nullptr;
}

QAction* frmpbOrra::popupItem(const QString& name) const
{
    if (QMenu* menu = mnuPopuptvOrra())
        for (QAction* a : menu->actions())
            if (a->objectName() == name) return a;
    return nullptr;
}

void frmpbOrra::refreshSelectedCategory()
{
    if (QTreeWidgetItem* node = m_tvOrra->currentItem()) RefreshCategoryNode(KeyedTree::key(node));
}

void frmpbOrra::notYetAvailable(const QString& command)
{
    orra::userInterface().messageBox(
        QStringLiteral("The command \"%1\" is not available yet.").arg(command), orra::vbOKOnly | orra::vbExclamation);
}

void frmpbOrra::showPopupFor(QTreeWidgetItem* node, const QPoint& globalPos)
{
    QMenu* menu = mnuPopuptvOrra();
    if (!menu) return;
    const bool category = KeyedTree::key(node).startsWith(QLatin1Char('C'));
    auto enable = [this](const char* name, bool on) {
        if (QAction* a = popupItem(QString::fromLatin1(name))) a->setEnabled(on);
    };
    enable("mnuPopuptvOrraManageSchemas", !category);
    enable("mnuPopuptvOrraExecute", !category);
    enable("mnuPopuptvOrraDependencies", !category);
    enable("mnuPopuptvOrraRefresh", category);
    menu->popup(globalPos);
}

// --- Fills ----------------------------------------------------------------------------------

void frmpbOrra::RefreshCatalogueTree()
{
    m_dragNode = nullptr;
    m_tvOrra->clear();
    try {
        FillCatalogueTree(*m_tvOrra);
    } catch (const Error& e) {
        showError(e);
    }
    if (m_tvOrra->topLevelItemCount() > 0) NodeClick(m_tvOrra->topLevelItem(0));
}

void frmpbOrra::UpdateTvRepository()
{
    if (m_dragNode && m_dragNode->treeWidget() == m_tvRepository) m_dragNode = nullptr;
    m_tvRepository->clear();
    try {
        const QString db = CatalogueDatabase();
        KeyedTree::BulkAdd bulk(*m_tvRepository);
        orra::db::RecordsetPtr rs = listing(QStringLiteral("select distinct Tag from %1..tbOrraRepository").arg(db));
        QHash<QString, QString> groupOfFolded;   // the group key of each tag in lower case
        for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
            const QString tag = rs->value(0).toString().trimmed();
            groupOfFolded.insert(tag.toLower(), tag);
            QTreeWidgetItem* group =
                m_tvRepository->addNode(QString(), tag, tag, QStringLiteral("Category"), QStringLiteral("selCategory"));
            KeyedTree::setTag(group, QStringLiteral("Category"));
        }
        rs = listing(QStringLiteral("select ID,Tag,Name from %1..tbOrraRepository").arg(db));
        for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
            const qlonglong id = rs->value(0).toLongLong();
            const QString tag = rs->value(1).toString().trimmed();
            // The distinct tags come as the catalogue's collation folds them: an item whose tag
            // differs only in letter case belongs to the same group.
            const QString groupKey = m_tvRepository->contains(tag) ? tag : groupOfFolded.value(tag.toLower(), tag);
            QTreeWidgetItem* item = m_tvRepository->addNode(
                groupKey, QLatin1Char('K') + QString::number(id), rs->value(2).toString().trimmed(), tag);
            KeyedTree::setTag(item, id);
        }
    } catch (const Error& e) {
        showError(e);
    }
}

void frmpbOrra::addCatalogueNode(const QString& parentKey, QChar kind, long id, const QString& name, bool disabled)
{
    const bool category = kind == QLatin1Char('C');
    QTreeWidgetItem* node = m_tvOrra->addNode(parentKey, kind + QString::number(id), name,
        category ? QStringLiteral("Category") : QStringLiteral("Template"),
        category ? QStringLiteral("selCategory") : QString());
    SetCatalogueNodeState(*m_tvOrra, node, disabled);
    KeyedTree::setTag(node, qlonglong(id));
}

void frmpbOrra::FillCategoryChildren(long categoryId)
{
    orra::db::RecordsetPtr rs =
        listing(QStringLiteral("select ID,Name,coalesce(Disabled,0) Disabled from %1..tbOrraCategory"
                               " where [Type]='T' and ParentID=%2 order by Name")
                    .arg(CatalogueDatabase())
                    .arg(categoryId));
    const QString parentKey = QLatin1Char('C') + QString::number(categoryId);
    for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
        const long id = long(rs->value(0).toLongLong());
        if (!orra::HasCategoryPermission(orra::mainConnection().get(), id, 0, orra::rightEdit)) continue;
        addCatalogueNode(parentKey, QLatin1Char('C'), id, rs->value(1).toString().trimmed(), rs->value(2).toBool());
        FillCategoryChildren(id);
    }
    rs.reset();
    FillCategoryDocuments(categoryId);
}

void frmpbOrra::FillCategoryDocuments(long categoryId)
{
    orra::db::RecordsetPtr rs = listing(QStringLiteral("select ID,Name,coalesce(Disabled,0) Disabled from %1..tbOrraSQL"
                                                       " where [Type]='T' and CategoryID=%2 order by Name")
                                            .arg(CatalogueDatabase())
                                            .arg(categoryId));
    const QString parentKey = QLatin1Char('C') + QString::number(categoryId);
    for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
        const long id = long(rs->value(0).toLongLong());
        if (orra::HasDocPermission(orra::mainConnection().get(), id, 0, orra::rightEdit))
            addCatalogueNode(parentKey, QLatin1Char('T'), id, rs->value(1).toString().trimmed(), rs->value(2).toBool());
    }
}

void frmpbOrra::RefreshCategoryNode(const QString& key)
{
    QTreeWidgetItem* node = m_tvOrra->node(key);
    if (!node || !key.startsWith(QLatin1Char('C'))) return;
    const long id = key.mid(1).toLong();
    const bool expanded = node->isExpanded();
    m_dragNode = nullptr;
    try {
        while (node->childCount() > 0) {
            QTreeWidgetItem* child = node->child(0);
            const QString childKey = KeyedTree::key(child);
            if (childKey.isEmpty())
                delete child;
            else
                m_tvOrra->removeNode(childKey);
        }
        FillCategoryChildren(id);
    } catch (const Error& e) {
        showError(e);
    }
    node->setExpanded(expanded);
}

// --- Node behaviour ---------------------------------------------------------------------------

void frmpbOrra::NodeClick(QTreeWidgetItem* node)
{
    const QString key = KeyedTree::key(node);
    const QString text =
        key.startsWith(QLatin1Char('T')) ? QStringLiteral("ID:") + KeyedTree::tag(node).toString() : QString();
    m_idPanelText = text;
    if (frmMDIMain* mainWindow = frmMDIMain::instance()) mainWindow->setPanelText(QStringLiteral("ID"), text);
    emit idPanelTextChanged(text);
}

void frmpbOrra::OpenNode(QTreeWidgetItem* node)
{
    const QString key = KeyedTree::key(node);
    if (!key.startsWith(QLatin1Char('T'))) return;
    OpenDocumentWindow(key.mid(1).toLong(), node->text(0));
}

bool frmpbOrra::DragDistanceExceeded(QPoint start, QPoint now)
{
    return std::abs(now.x() - start.x()) > 50 || std::abs(now.y() - start.y()) > 50;
}

QPoint frmpbOrra::PixelsToTwips(const QWidget* widget, QPoint pixels)
{
    const double dx = 1440.0 / widget->logicalDpiX(), dy = 1440.0 / widget->logicalDpiY();
    return QPoint(qRound(pixels.x() * dx), qRound(pixels.y() * dy));
}

QPoint frmpbOrra::TwipsToPixels(const QWidget* widget, QPoint twips)
{
    const double dx = widget->logicalDpiX() / 1440.0, dy = widget->logicalDpiY() / 1440.0;
    return QPoint(qRound(twips.x() * dx), qRound(twips.y() * dy));
}

// --- Events -----------------------------------------------------------------------------------

bool frmpbOrra::eventFilter(QObject* watched, QEvent* event)
{
    KeyedTree* tree = nullptr;
    if (watched == m_tvOrra || watched == m_tvOrra->viewport())
        tree = m_tvOrra;
    else if (watched == m_tvRepository || watched == m_tvRepository->viewport())
        tree = m_tvRepository;
    if (!tree) return QWidget::eventFilter(watched, event);

    if (watched == tree) {
        // Keys of an open label editor (its Enter ends the editing) are the editor's.
        if (event->type() == QEvent::KeyPress && !tree->isEditing()) {
            const int k = static_cast<QKeyEvent*>(event)->key();
            // Enter on a document of tvOrra opens it.
            if (tree == m_tvOrra && (k == Qt::Key_Return || k == Qt::Key_Enter)) {
                OpenNode(m_tvOrra->currentItem());
                return true;
            }
            if (k == Qt::Key_F2 && tree->currentItem()) {
                StartLabelEdit(*this, tree, tree->currentItem());
                return true;
            }
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return treeMouseEvent(tree, event);
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        return tree == m_tvOrra && treeDragEvent(event);
    default:
        return false;
    }
}

bool frmpbOrra::treeMouseEvent(KeyedTree* tree, QEvent* event)
{
    auto* me = static_cast<QMouseEvent*>(event);
    const QPoint pos = me->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const Qt::KeyboardModifiers mods =
            me->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        m_labelEditTimer.stop();
        m_labelEditKey.clear();
        if (me->button() == Qt::LeftButton && noModifiers(mods)) {
            m_dragStart = PixelsToTwips(tree, pos);
            m_dragNode = tree->itemAt(pos);
            // The press comes before the tree selects: a node that is current already was
            // clicked while selected.
            if (m_dragNode && m_dragNode == tree->currentItem() && m_dragNode->isSelected() && !tree->isEditing()) {
                m_labelEditTree = tree;
                m_labelEditKey = KeyedTree::key(m_dragNode);
            }
            if (tree == m_tvOrra && m_dragNode) NodeClick(m_dragNode);
            return false;
        }
        if (tree == m_tvOrra && me->button() == Qt::LeftButton && mods == Qt::ShiftModifier) return false;
        if (tree == m_tvOrra && me->button() == Qt::RightButton && noModifiers(mods)) {
            if (QTreeWidgetItem* node = tree->itemAt(pos)) {
                tree->setCurrentItem(node);
                showPopupFor(node, tree->viewport()->mapToGlobal(pos));
            }
            return true;
        }
        m_dragStart = QPoint(-1, -1);
        return false;
    }
    case QEvent::MouseMove:
        if ((me->buttons() & Qt::LeftButton) && m_dragNode && m_dragNode->treeWidget() == tree) {
            if (DragDistanceExceeded(m_dragStart, PixelsToTwips(tree, pos))) startDrag(tree);
            return true;
        }
        return false;
    case QEvent::MouseButtonRelease:
        m_dragNode = nullptr;
        if (me->button() == Qt::LeftButton && !m_labelEditKey.isEmpty() && tree == m_labelEditTree
            && KeyedTree::key(tree->itemAt(pos)) == m_labelEditKey)
            m_labelEditTimer.start(QApplication::doubleClickInterval());
        else
            m_labelEditKey.clear();
        return false;
    case QEvent::MouseButtonDblClick:
        m_labelEditTimer.stop();
        m_labelEditKey.clear();
        if (tree == m_tvOrra && me->button() == Qt::LeftButton) {
            if (m_dragStart != QPoint(-1, -1)) OpenNode(tree->itemAt(TwipsToPixels(tree, m_dragStart)));
        }
        return false;
    default:
        return false;
    }
}

void frmpbOrra::startClickedLabelEdit()
{
    KeyedTree* tree = m_labelEditTree;
    const QString key = m_labelEditKey;
    m_labelEditKey.clear();
    if (!tree || key.isEmpty() || tree->isEditing()) return;
    QTreeWidgetItem* node = tree->node(key);
    if (node && node == tree->currentItem()) StartLabelEdit(*this, tree, node);
}

void frmpbOrra::startDrag(KeyedTree* tree)
{
    QTreeWidgetItem* node = m_dragNode;
    m_dragging = true;
    m_labelEditKey.clear();
    auto* drag = new QDrag(tree);
    auto* mime = new QMimeData;
    mime->setData(dragMimeType(), KeyedTree::key(node).toUtf8());
    mime->setText(node->text(0));
    drag->setMimeData(mime);
    // The drag image: the node's icon and text.
    const QIcon icon = node->icon(0);
    const QFontMetrics fm(tree->font());
    QPixmap image(20 + fm.horizontalAdvance(node->text(0)) + 4, qMax(18, fm.height() + 2));
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        icon.paint(&p, QRect(1, (image.height() - 16) / 2, 16, 16));
        p.setFont(tree->font());
        p.setPen(tree->palette().color(QPalette::Text));
        p.drawText(QRect(20, 0, image.width() - 20, image.height()), Qt::AlignVCenter | Qt::AlignLeft, node->text(0));
    }
    drag->setPixmap(image);
    drag->setHotSpot(QPoint(8, image.height() / 2));
    m_dragExecutor(drag);
    drag->deleteLater();
    // The button is up again once the drag is over.
    m_dragging = false;
    m_dragNode = nullptr;
    m_tvOrra->setDropHighlight(nullptr);
}

bool frmpbOrra::treeDragEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* de = static_cast<QDragMoveEvent*>(event);
        if (!m_dragging || !qobject_cast<QTreeWidget*>(de->source())) {
            de->ignore();
            return true;
        }
        m_tvOrra->setDropHighlight(m_tvOrra->itemAt(de->position().toPoint()));
        de->acceptProposedAction();
        return true;
    }
    case QEvent::DragLeave:
        m_tvOrra->setDropHighlight(nullptr);
        return true;
    case QEvent::Drop: {
        auto* de = static_cast<QDropEvent*>(event);
        QTreeWidgetItem* target = m_tvOrra->dropHighlight();
        m_tvOrra->setDropHighlight(nullptr);
        m_dragging = false;
        de->ignore();
        if (qobject_cast<QTreeWidget*>(de->source()) && de->mimeData()->hasFormat(dragMimeType()))
            tvOrra_DragDrop(*this, QString::fromUtf8(de->mimeData()->data(dragMimeType())), target);
        return true;
    }
    default:
        return false;
    }
}

void RegisterCataloguePane()
{
    setPaneCreator(QStringLiteral("frmpbOrra"), [](QWidget* parent) { return new frmpbOrra(parent); });
}

}   // namespace morvane
