#include "designer/catalogue/CatalogueCommands.h"

#include "common/Permissions.h"
#include "common/Xml.h"
#include "designer/catalogue/CatalogueCommandSupport.h"
#include "designer/catalogue/frmSaveAs.h"
#include "designer/shell/mdMain.h"
#include "platform/host/Error.h"
#include "platform/widgets/KeyedTree.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QSaveFile>
#include <QStandardPaths>

Q_DECLARE_OPAQUE_POINTER(orra::xml::Document*)

namespace morvane {

using orra::Error;
using orra::KeyedTree;
using namespace catcmd;

namespace {

SaveAsDialogRunner& dialogRunner()
{
    static SaveAsDialogRunner runner;
    return runner;
}

SaveFileAsker& fileAsker()
{
    static SaveFileAsker asker;
    return asker;
}

void repoint(QWidget* window, long id, const QString& name)
{
    window->setProperty("DocID", int(id));
    nameWindow(window, name);
}

// The file Save As XML proposes: the document's name in the user's documents folder. A window
// opened from the tree has no OrraName (only Save As gives one): the catalogue's name is taken.
QString proposedXmlPath(QWidget* window)
{
    QString name = window->property("OrraName").toString().trimmed();
    if (name.isEmpty()) {
        try {
            name = documentName(long(window->property("DocID").toLongLong()));
        } catch (const Error&) {
        }
    }
    if (name.isEmpty()) name = window->windowTitle().remove(QStringLiteral("-[DEBUG MODE]")).trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));   // a name is one file, never a folder
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    return QDir(folder).filePath(name + QStringLiteral(".xml"));
}

}   // namespace

void setSaveAsDialogRunner(SaveAsDialogRunner runner) { dialogRunner() = std::move(runner); }

void setSaveFileAsker(SaveFileAsker asker) { fileAsker() = std::move(asker); }

void mnuFileSaveAs_Click(frmpbOrra* pane, QWidget* window)
{
    if (!window) return;
    const long oldId = window->property("DocID").toLongLong();
    frmSaveAs dialog(window->window());
    dialog.ObjectID = oldId;
    try {
        dialog.CategoryID = long(scalar(
            QStringLiteral("select CategoryID from %1 (nolock) where ID=?").arg(table("tbOrraSQL")), {qlonglong(oldId)})
                                     .toLongLong());
    } catch (const Error& e) {
        say(e.description());
        return;
    }
    dialog.Form_Activate();
    if (dialogRunner())
        dialogRunner()(dialog);
    else
        dialog.exec();
    if (!dialog.flagIsOK) return;   // a cancelled dialog writes nothing

    const QString name = dialog.txtDocumentName()->text().trimmed();
    const long categoryId = dialog.CategoryID;
    const long target = dialog.ObjectID;

    // Save As onto the window's own document is its Save.
    if (target == oldId) {
        saveWindow(window);
        return;
    }
    if (!nameFits(name)) return;

    if (target == -1) {
        if (!hasCategoryRight(categoryId, orra::rightAddNewDocument)) {
            say(QStringLiteral("Permission Denied : You could not add document to '") + dialog.txtCategoryName()->text()
                + QStringLiteral("' category"));
            return;
        }
        if (!mayCopyIncludesOf(oldId)) return;
        long id = 0;
        try {
            Transaction t;
            id = newId("tbOrraSQL");
            t.con().execute(
                QStringLiteral("insert into %1(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                               "select ?,?,?,x.[Description], x.[Type], x.[Disabled], x.[SQLtxt],suser_sid() "
                               "from %1 x where x.[ID]=?")
                    .arg(table("tbOrraSQL")),
                {qlonglong(id), qlonglong(categoryId), name, qlonglong(oldId)});
            if (!UpdateDocumentCheckSum(id)) return;
            // The window moves to the new row with its lock: a lock that cannot be taken (another
            // session holds one on that number) leaves no row behind.
            LockDocument(id);
            t.commit();
        } catch (const Error& e) {
            say(e.description());
            return;
        }
        KeyedTree* tree = paneTree(pane);
        selectNode(tree, addDocumentNode(tree, categoryId, id, name));
        try {
            UnlockDocument(oldId);
        } catch (const Error&) {
        }
        repoint(window, id, name);
        saveWindow(window);
        return;
    }

    if (!hasDocRight(target, orra::rightChange)) {
        say(QStringLiteral("Permission Denied : You could not change document: '") + dialog.txtDocumentName()->text()
            + QLatin1Char('\''));
        return;
    }
    // Another window of the target loses its unsaved work only when the user agrees.
    if (QWidget* other = FindDocumentWindow(target, name, false); other && other != window) {
        if (!confirm(QStringLiteral("The document '%1' is open in another window. That window will be closed and its "
                                    "unsaved changes lost. Do you want to go on?")
                         .arg(name)))
            return;
        discardWindow(target);
    }
    try {
        LockDocument(target);
    } catch (const Error& e) {
        say(e.description());
        return;
    }
    try {
        UnlockDocument(oldId);
    } catch (const Error&) {
    }
    repoint(window, target, name);
    saveWindow(window);
}

void mnuFileSaveAsXML_Click(QWidget* window)
{
    if (!window) return;
    auto* doc = window->property("Document").value<orra::xml::Document*>();
    if (!doc) {
        say(QStringLiteral("The window holds no document to save."));
        return;
    }
    const QString proposed = proposedXmlPath(window);
    const QString path = fileAsker()
        ? fileAsker()(window, proposed)
        : QFileDialog::getSaveFileName(window, QStringLiteral("Save As XML"), proposed, QStringLiteral("(*.xml)"));
    if (path.isEmpty()) return;   // cancelled: no file is written
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        say(file.errorString());
        return;
    }
    file.write(doc->xml().toUtf8());
    if (!file.commit()) say(file.errorString());
}

}   // namespace morvane
