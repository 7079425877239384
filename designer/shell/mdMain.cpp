#include "designer/shell/mdMain.h"

#include "common/CatalogueChecksums.h"
#include "common/Connections.h"
#include "common/Permissions.h"
#include "common/QueryDocument.h"
#include "common/RecordsetOpener.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/frmMDIMain.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/KeyedTree.h"

#include <QApplication>
#include <QHash>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>

namespace morvane {

using orra::Error;
using orra::KeyedTree;

namespace {

const QString kSource = QStringLiteral("Morvane");

orra::db::Connection& catalogue()
{
    orra::db::ConnectionPtr con = orra::mainConnection();
    if (!con || !con->isOpen())
        throw Error(orra::kSystemError, kSource, QStringLiteral("There is no open connection to the catalogue."));
    return *con;
}

// Windows made by FindDocumentWindow, oldest first; a window that is gone drops out by itself.
QList<QPointer<QWidget>>& windowList()
{
    static QList<QPointer<QWidget>> windows;
    return windows;
}

// prefix & id in decimal, made in one allocation (the fill makes one key per row).
QString prefixedNumber(char16_t prefix, qint64 id)
{
    char16_t buffer[24];
    int i = 24;
    quint64 n = id < 0 ? quint64(0) - quint64(id) : quint64(id);
    do {
        buffer[--i] = char16_t(u'0' + n % 10);
        n /= 10;
    } while (n != 0);
    if (id < 0) buffer[--i] = u'-';
    buffer[--i] = prefix;
    return QString(reinterpret_cast<const QChar*>(buffer + i), 24 - i);
}
QString categoryKey(qint64 id) { return prefixedNumber(u'C', id); }
QString documentKey(qint64 id) { return prefixedNumber(u'T', id); }

// The error a failed open left on the connection, as the provider gave it.
Error providerError(orra::db::Connection* con, const QString& fallback)
{
    if (con && !con->errors().isEmpty()) {
        const auto& e = con->errors().constFirst();
        return Error(e.number, e.source.isEmpty() ? kSource : e.source, e.description);
    }
    return Error(orra::kSystemError, kSource, fallback);
}

int fieldIndex(const orra::db::ResultSet& rs, const char* name)
{
    const QString n = QString::fromLatin1(name);
    for (size_t i = 0; i < rs.fields.size(); ++i)
        if (rs.fields[i].name.compare(n, Qt::CaseInsensitive) == 0) return int(i);
    throw Error(orra::db::kItemNotFound, kSource,
        QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal (%1).")
            .arg(n));
}

QMdiArea* mainMdiArea()
{
    auto areaOf = [](QWidget* w) -> QMdiArea* {
        auto* main = qobject_cast<QMainWindow*>(w);
        return main ? main->findChild<QMdiArea*>() : nullptr;
    };
    if (QMdiArea* a = areaOf(QApplication::activeWindow())) return a;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (QMdiArea* a = areaOf(w)) return a;
    return nullptr;
}

// Keeps the error a check reported instead of showing it; everything else goes to the host.
class ReasonKeeper : public orra::UserInterface {
public:
    bool interactive() const override { return orra::userInterface().interactive(); }
    int messageBox(const QString& text, int style, const QString& title) override
    {
        return orra::userInterface().messageBox(text, style, title);
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& initial, bool* cancelled) override
    {
        return orra::userInterface().inputBox(prompt, title, initial, cancelled);
    }
    void reportError(long, const QString&, const QString& text, const QString&) override
    {
        if (description.isEmpty()) description = text;
    }
    void processEvents() override { orra::userInterface().processEvents(); }

    QString description;
};

bool standsFor(const QWidget* window, long id)
{
    return window->property("DocID").toLongLong() == id && !window->property("DocumentReleased").toBool();
}

void releaseQuietly(long id)
{
    try {
        UnlockDocument(id);
    } catch (const Error&) {
        // The window never came; a release that fails leaves the lock to the session's end.
    }
}

}   // namespace

QString ProductName() { return QStringLiteral("Morvane"); }

QString CatalogueDatabase()
{
    const QString name = catalogueDatabaseName();
    return name.isEmpty() ? catalogue().property(QStringLiteral("Current Catalog")) : name;
}

// --- The catalogue tree -------------------------------------------------------------------

void SetCatalogueNodeState(KeyedTree& tree, QTreeWidgetItem* node, bool disabled)
{
    tree.setChecked(node, disabled);
    KeyedTree::setForeColor(node, disabled ? QRgb(orra::DisabledItemColor()) : qRgb(0, 0, 0));
}

void AddCategoryNode(long id, long parentId, const QString& name, bool disabled, KeyedTree& tree)
{
    const QString key = categoryKey(id);
    if (tree.contains(key)) return;
    QTreeWidgetItem* node = tree.addNode(parentId == 0 ? QString() : categoryKey(parentId), key, name,
        QStringLiteral("Category"), QStringLiteral("selCategory"));
    SetCatalogueNodeState(tree, node, disabled);
    KeyedTree::setTag(node, qlonglong(id));
}

static void fillTree(KeyedTree& tree, orra::db::ResultSet& documents, const orra::db::ResultSet& cats, bool takeNames);

void FillCatalogueTree(KeyedTree& tree)
{
    // Tree lines, plus/minus signs, pictures and text; the check marks show the Disabled flag.
    tree.setRootIsDecorated(true);
    tree.setCheckboxes(true);

    orra::db::Connection& con = catalogue();
    bool failed = false;
    orra::db::RecordsetPtr rs =
        orra::OpenRecordset(&con, QStringLiteral("exec sp_Orra_GetDocumentsAndCategories default"), failed,
            orra::adUseClient, orra::adLockReadOnly, orra::adOpenForwardOnly);
    if (failed || !rs) throw providerError(&con, QStringLiteral("The catalogue could not be read."));
    // The documents are placed after the categories: their rows are kept while the recordset
    // moves on to the categories (which lets go of the rows it leaves).
    if (!rs->current())
        throw Error(
            orra::kSystemError, kSource, QStringLiteral("The catalogue procedure did not return its two result sets."));
    // The recordset is this function's own: its rows are taken rather than copied.
    orra::db::ResultSet docs = std::move(const_cast<orra::db::ResultSet&>(*rs->current()));
    if (!rs->NextRecordset() || !rs->current())
        throw Error(
            orra::kSystemError, kSource, QStringLiteral("The catalogue procedure did not return its two result sets."));
    fillTree(tree, docs, *rs->current(), true);
}

void FillCatalogueTree(KeyedTree& tree, const orra::db::ResultSet& documents, const orra::db::ResultSet& cats)
{
    fillTree(tree, const_cast<orra::db::ResultSet&>(documents), cats, false);
}

namespace {
// The text of a value; with take, the value's own text is taken (and trimmed in place).
QString textOf(QVariant& value, bool take)
{
    if (take && value.metaType() == QMetaType::fromType<QString>())
        return std::move(*static_cast<QString*>(value.data())).trimmed();
    return value.toString().trimmed();
}
}   // namespace

// takeNames: the document rows are the caller's to spend (their names are moved out).
static void fillTree(KeyedTree& tree, orra::db::ResultSet& documents, const orra::db::ResultSet& cats, bool takeNames)
{
    tree.setRootIsDecorated(true);
    tree.setCheckboxes(true);
    orra::db::ResultSet* docs = &documents;
    const int cId = fieldIndex(cats, "ID"), cParent = fieldIndex(cats, "ParentID"), cName = fieldIndex(cats, "Name"),
              cDisabled = fieldIndex(cats, "Disabled");
    const int dCat = fieldIndex(*docs, "CatID"), dId = fieldIndex(*docs, "DocID"), dName = fieldIndex(*docs, "DocName"),
              dDisabled = fieldIndex(*docs, "DocDisabled");

    KeyedTree::BulkAdd bulk(tree);
    QStringList misplaced;

    // Categories: a row whose parent is not there yet waits for it.
    const size_t cw = cats.fields.size();
    const long catRows = cats.rowCount();
    auto catValue = [&](long row, int col) -> const QVariant& { return cats.values[size_t(row) * cw + size_t(col)]; };
    QHash<qint64, QList<long>> waiting;
    auto placeWaiting = [&](qint64 parentId) {
        QList<qint64> ready{parentId};
        while (!ready.isEmpty()) {
            const qint64 p = ready.takeLast();
            const QList<long> rows = waiting.take(p);
            for (long r : rows) {
                const qint64 id = catValue(r, cId).toLongLong();
                AddCategoryNode(
                    long(id), long(p), catValue(r, cName).toString().trimmed(), catValue(r, cDisabled).toBool(), tree);
                ready.append(id);
            }
        }
    };
    for (long r = 0; r < catRows; ++r) {
        const qint64 id = catValue(r, cId).toLongLong();
        const qint64 parent = catValue(r, cParent).toLongLong();
        if (parent != 0 && !tree.contains(categoryKey(parent))) {
            waiting[parent].append(r);
            continue;
        }
        const bool isNew = !tree.contains(categoryKey(id));
        AddCategoryNode(
            long(id), long(parent), catValue(r, cName).toString().trimmed(), catValue(r, cDisabled).toBool(), tree);
        if (isNew && waiting.contains(id)) placeWaiting(id);
    }
    // What still waits has no parent in the catalogue (or its parents form a loop): shown at
    // the top level, in the procedure's order, with whatever waits for it below it.
    for (long r = 0; r < catRows && !waiting.isEmpty(); ++r) {
        const qint64 id = catValue(r, cId).toLongLong();
        const qint64 parent = catValue(r, cParent).toLongLong();
        auto it = waiting.find(parent);
        if (it == waiting.end() || !it->contains(r)) continue;
        it->removeOne(r);
        if (it->isEmpty()) waiting.erase(it);
        if (tree.contains(categoryKey(id))) continue;
        const QString name = catValue(r, cName).toString().trimmed();
        AddCategoryNode(long(id), 0, name, catValue(r, cDisabled).toBool(), tree);
        misplaced.append(
            QStringLiteral("Category '%1' (ID %2): parent category %3 not found").arg(name).arg(id).arg(parent));
        placeWaiting(id);
    }

    // Documents below their categories, found by number.
    QHash<qint64, QTreeWidgetItem*> categoryNodes;
    categoryNodes.reserve(catRows);
    for (long r = 0; r < catRows; ++r) {
        const qint64 id = catValue(r, cId).toLongLong();
        categoryNodes.insert(id, tree.node(categoryKey(id)));
    }
    const size_t dw = docs->fields.size();
    const long docRows = docs->rowCount();
    tree.reserveKeys(tree.nodeCount() + docRows);
    const QString templateImage = QStringLiteral("Template");
    for (long r = 0; r < docRows; ++r) {
        QVariant* row = docs->values.data() + size_t(r) * dw;
        const qint64 id = row[dId].toLongLong();
        const qint64 cat = row[dCat].toLongLong();
        const QString name = textOf(row[dName], takeNames);
        QTreeWidgetItem* parent = categoryNodes.value(cat);
        if (!parent)
            misplaced.append(QStringLiteral("Document '%1' (ID %2): category %3 not found").arg(name).arg(id).arg(cat));
        QTreeWidgetItem* node = tree.addNode(parent, documentKey(id), name, templateImage);
        SetCatalogueNodeState(tree, node, row[dDisabled].toBool());
        KeyedTree::setTag(node, qlonglong(id));
    }

    if (!misplaced.isEmpty())
        throw Error(orra::kSystemError, kSource,
            QStringLiteral("These entries of the catalogue are shown at the top level because their parent "
                           "is missing:\n")
                + misplaced.join(QLatin1Char('\n')));
}

// --- Document windows ---------------------------------------------------------------------

QList<QWidget*> DocumentWindows()
{
    QList<QWidget*> result;
    auto& list = windowList();
    for (auto it = list.begin(); it != list.end();) {
        if (it->isNull()) {
            it = list.erase(it);
        } else {
            result.append(it->data());
            ++it;
        }
    }
    return result;
}

bool DocumentHeldByAnotherWindow(long id, const QWidget* except)
{
    QList<QWidget*> windows = DocumentWindows();
    if (frmMDIMain* main = frmMDIMain::instance()) windows += main->documentWindows();
    for (QWidget* w : std::as_const(windows))
        if (w != except && standsFor(w, id)) return true;
    return false;
}

void BringDocumentWindowToFront(QWidget* window)
{
    if (!window) return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
        sub->show();
        sub->raise();
        return;
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void OpenDocumentWindow(long id, const QString& caption)
{
    // A right that could not be decided (the document is gone, the connection failed) says why
    // in one box; only a right refused is a denial.
    ReasonKeeper reason;
    if (!orra::HasDocPermission(orra::mainConnection().get(), id, 0, orra::rightEdit, &reason)) {
        orra::userInterface().messageBox(reason.description.isEmpty()
                ? QStringLiteral("Permission Denied : You could not open this document")
                : reason.description,
            orra::vbOKOnly);
        return;
    }
    if (QWidget* window = FindDocumentWindow(id, caption, true)) BringDocumentWindowToFront(window);
}

QWidget* FindDocumentWindow(long id, const QString& caption, bool create)
{
    for (QWidget* w : DocumentWindows())
        if (standsFor(w, id)) return w;
    if (!create) return nullptr;

    bool locked = false;
    QWidget* window = nullptr;
    try {
        LockDocument(id);
        locked = true;
        const WidgetCreator& creator = documentWindowCreator();
        if (creator) window = creator(nullptr);
        if (!window)
            throw Error(orra::kSystemError, kSource,
                QStringLiteral("This program has no document window to open the document in."));
        if (window->metaObject()->indexOfProperty("DocID") < 0 || !window->setProperty("DocID", int(id)))
            throw Error(orra::kSystemError, kSource, QStringLiteral("The document window has no property DocID."));
        bool loaded = false;
        if (!QMetaObject::invokeMethod(window, "LoadWindow", Qt::DirectConnection, Q_RETURN_ARG(bool, loaded)))
            throw Error(
                orra::kSystemError, kSource, QStringLiteral("The document window has no operation LoadWindow."));
        if (!loaded) {
            // The window has said why; it goes, and so does the lock taken for it.
            delete window;
            releaseQuietly(id);
            return nullptr;
        }
        window->setWindowTitle(caption);
        window->setAttribute(Qt::WA_DeleteOnClose);
        windowList().append(window);
        if (frmMDIMain* mainWindow = frmMDIMain::instance()) {
            mainWindow->addDocumentWindow(window)->show();
        } else if (QMdiArea* area = mainMdiArea()) {
            QMdiSubWindow* sub = area->addSubWindow(window);
            sub->setAttribute(Qt::WA_DeleteOnClose);
            sub->show();
        } else {
            window->show();
        }
        return window;
    } catch (const Error& e) {
        delete window;
        if (locked) releaseQuietly(id);
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
        return nullptr;
    } catch (const std::exception& e) {
        // A window's own failure of another kind: no window, no lock, and the reason shown.
        delete window;
        if (locked) releaseQuietly(id);
        orra::userInterface().messageBox(QString::fromLocal8Bit(e.what()), orra::vbOKOnly);
        return nullptr;
    }
}

namespace {
void callUserLock(long id, int mode)
{
    orra::db::Connection& con = catalogue();
    QString info = orra::LockInfoXML(id, ProductName(), con.property(QStringLiteral("Current Catalog")));
    // The information is a text literal of the call: its quotes are doubled.
    info.replace(QLatin1Char('\''), QStringLiteral("''"));
    con.execute(QStringLiteral("sp_UserLock '%1',%2").arg(info).arg(mode));
}
}   // namespace

void LockDocument(long id) { callUserLock(id, 0); }

void UnlockDocument(long id) { callUserLock(id, 1); }

// --- Row checksums and names --------------------------------------------------------------

bool UpdateDocumentCheckSum(long id)
{
    orra::db::ConnectionPtr con = orra::mainConnection();
    if (!con || !con->isOpen()) return false;
    return orra::UpdateDocumentCheckSum(*con, CatalogueDatabase(), id);
}

bool UpdateCategoryCheckSum(long id)
{
    orra::db::ConnectionPtr con = orra::mainConnection();
    if (!con || !con->isOpen()) return false;
    return orra::UpdateCategoryCheckSum(*con, CatalogueDatabase(), id);
}

bool DocumentNameExists(const QString& name, long categoryId)
{
    orra::db::Connection& con = catalogue();
    const QString sql = QStringLiteral("if exists(select 1 from %1..tbOrraSQL where Name=? and CategoryID=?) \r\n"
                                       "select 1 x else select 0 x")
                            .arg(CatalogueDatabase());
    orra::db::RecordsetPtr rs = con.execute(sql, {name, qlonglong(categoryId)});
    while (rs && !rs->isOpen())
        if (!rs->NextRecordset()) break;
    return rs && rs->isOpen() && !rs->isEOF() && rs->value(0).toLongLong() == 1;
}

}   // namespace morvane
