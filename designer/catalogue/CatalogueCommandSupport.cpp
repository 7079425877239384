#include "designer/catalogue/CatalogueCommandSupport.h"

#include "common/Connections.h"
#include "common/IncludeExpansion.h"
#include "common/Permissions.h"
#include "designer/catalogue/CatalogueCommands.h"
#include "designer/catalogue/frmpbOrra.h"
#include "designer/shell/mdMain.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/KeyedTree.h"

#include <QPointer>

namespace morvane::catcmd {

using orra::Error;
using orra::KeyedTree;

namespace {
const QString kSource = QStringLiteral("Morvane");
}   // namespace

orra::db::Connection& catalogue()
{
    orra::db::ConnectionPtr con = orra::mainConnection();
    if (!con || !con->isOpen())
        throw Error(orra::kSystemError, kSource, QStringLiteral("There is no open connection to the catalogue."));
    return *con;
}

namespace {
orra::db::Connection* catalogueOrNull() { return orra::mainConnection().get(); }

}   // namespace

void say(const QString& text) { orra::userInterface().messageBox(text, orra::vbOKOnly); }

bool confirm(const QString& text)
{
    return orra::userInterface().messageBox(text, orra::vbYesNo, QStringLiteral("Confirm")) == orra::vbYes;
}

bool hasDocRight(long id, long right) { return orra::HasDocPermission(catalogueOrNull(), id, 0, right); }
bool hasCategoryRight(long id, long right) { return orra::HasCategoryPermission(catalogueOrNull(), id, 0, right); }

bool mayCopyIncludesOf(long id)
{
    const QString text = scalar(QStringLiteral("select SQLtxt from %1 where ID=?").arg(table("tbOrraSQL")), {qlonglong(id)})
                             .toString();
    for (long included : orra::IncludedDocumentIDs(text))
        if (!hasDocRight(included, orra::rightInclude)) {
            say(QStringLiteral("Permission Denied : You could not include this document"));
            return false;
        }
    return true;
}

long idOf(const QTreeWidgetItem* node) { return KeyedTree::key(node).mid(1).toLong(); }
bool isDocumentNode(const QTreeWidgetItem* node) { return KeyedTree::key(node).startsWith(QLatin1Char('T')); }
bool isCategoryNode(const QTreeWidgetItem* node) { return KeyedTree::key(node).startsWith(QLatin1Char('C')); }

QString table(const char* name) { return CatalogueDatabase() + QStringLiteral("..") + QString::fromLatin1(name); }

// The first value of the first row of a statement, or an invalid value.
QVariant scalar(const QString& sql, const QList<orra::db::Parameter>& params)
{
    orra::db::RecordsetPtr rs = catalogue().execute(sql, params);
    while (rs && !rs->isOpen())
        if (!rs->NextRecordset()) return QVariant();
    return rs && !rs->isEOF() ? rs->value(0) : QVariant();
}

QList<long> column(const QString& sql, const QList<orra::db::Parameter>& params)
{
    QList<long> ids;
    orra::db::RecordsetPtr rs = catalogue().execute(sql, params);
    for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext()) ids.append(long(rs->value(0).toLongLong()));
    return ids;
}

QString documentName(long id)
{
    return scalar(QStringLiteral("select Name from %1 where ID=?").arg(table("tbOrraSQL")), {qlonglong(id)})
        .toString()
        .trimmed();
}

// A name the Name column cannot hold is refused rather than cut into another name.
bool nameFits(const QString& name)
{
    if (name.size() <= kCatalogueNameWidth) return true;
    say(QStringLiteral("The name '%1' is longer than the %2 characters a name may have.")
            .arg(name)
            .arg(kCatalogueNameWidth));
    return false;
}

Transaction::Transaction() : m_con(catalogue()) { m_con.beginTrans(); }

Transaction::~Transaction()
{
    if (m_open) {
        try {
            m_con.rollbackTrans();
        } catch (const Error&) {
        }
    }
}

void Transaction::commit()
{
    m_con.commitTrans();
    m_open = false;
}

// The checksum update inside a transaction; a refusal ends it (the update has said why, or the
// row is gone).
void checkSumOrThrow(bool stored, long id, const char* what)
{
    if (!stored)
        throw Error(orra::kSystemError, kSource,
            QStringLiteral("The checksum of %1 %2 could not be stored; nothing was changed.")
                .arg(QString::fromLatin1(what))
                .arg(id));
}

DocumentLocks::~DocumentLocks()
{
    for (long id : std::as_const(m_taken)) {
        try {
            UnlockDocument(id);
        } catch (const Error&) {
        }
    }
}

void DocumentLocks::take(long id)
{
    if (m_taken.contains(id) || FindDocumentWindow(id, QString(), false)) return;
    LockDocument(id);
    m_taken.append(id);
}

// Closes the open window of a document without the question about saving.
void discardWindow(long id)
{
    QPointer<QWidget> window = FindDocumentWindow(id, QString(), false);
    if (!window) return;
    QWidget* holder = window->parentWidget() && window->parentWidget()->inherits("QMdiSubWindow")
        ? window->parentWidget()
        : window.data();
    window->setProperty("DocumentChanged", false);
    // From now on the window stands for no document: no look-up finds it, and it neither saves
    // the document nor releases a lock that may soon be another window's.
    window->setProperty("DocumentReleased", true);
    // A closed window goes at once. One that put its close off (its run is unwinding, whatever
    // the window's state) goes by itself once the run has unwound: never under the run.
    if (window->close() && window) delete holder;
    // The window's lock goes with it, now.
    try {
        UnlockDocument(id);
    } catch (const Error&) {
    }
}

void nameWindow(QWidget* window, const QString& name)
{
    static const QString debug = QStringLiteral("-[DEBUG MODE]");
    window->setProperty("OrraName", name);
    window->setWindowTitle(name + (window->windowTitle().endsWith(debug) ? debug : QString()));
    if (auto* sub = window->parentWidget(); sub && sub->inherits("QMdiSubWindow"))
        sub->setWindowTitle(window->windowTitle());
}

// The catalogue pane's tree, when there is a pane.
KeyedTree* paneTree(frmpbOrra* pane) { return pane ? pane->tvOrra() : nullptr; }

void selectNode(KeyedTree* tree, QTreeWidgetItem* node)
{
    if (!tree || !node) return;
    tree->setCurrentItem(node);
    tree->scrollToItem(node);
}

QTreeWidgetItem* addDocumentNode(KeyedTree* tree, long categoryId, long id, const QString& name)
{
    if (!tree) return nullptr;
    QTreeWidgetItem* parent = tree->node(QLatin1Char('C') + QString::number(categoryId));
    if (!parent) return nullptr;   // the category is not shown: the document is not either
    QTreeWidgetItem* node =
        tree->addNode(parent, QLatin1Char('T') + QString::number(id), name, QStringLiteral("Template"));
    SetCatalogueNodeState(*tree, node, false);
    KeyedTree::setTag(node, qlonglong(id));
    parent->setExpanded(true);
    return node;
}

QTreeWidgetItem* addCategoryNode(KeyedTree* tree, long parentId, long id, const QString& name)
{
    if (!tree) return nullptr;
    QTreeWidgetItem* parent = parentId == 0 ? nullptr : tree->node(QLatin1Char('C') + QString::number(parentId));
    if (parentId != 0 && !parent) return nullptr;
    QTreeWidgetItem* node = tree->addNode(parent, QLatin1Char('C') + QString::number(id), name,
        QStringLiteral("Category"), QStringLiteral("selCategory"));
    SetCatalogueNodeState(*tree, node, false);
    KeyedTree::setTag(node, qlonglong(id));
    if (parent) parent->setExpanded(true);
    return node;
}

long newId(const char* tableName)
{
    return long(
        scalar(QStringLiteral("select coalesce(max(ID),0)+1 MaxID from %1").arg(table(tableName))).toLongLong());
}

bool saveWindow(QWidget* window)
{
    bool saved = false;
    if (!QMetaObject::invokeMethod(window, "Save", Qt::DirectConnection, Q_RETURN_ARG(bool, saved))) {
        say(QStringLiteral("The document window has no operation Save."));
        return false;
    }
    return saved;
}

}   // namespace morvane::catcmd
