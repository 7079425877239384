#pragma once
// What the catalogue commands share: the catalogue connection and its table names, messages and
// questions, rights of the current login, the one transaction of a command, the document locks
// a command takes, and the nodes the commands add to the catalogue tree.

#include "platform/db/Connection.h"

#include <QList>
#include <QString>
#include <QVariant>

class QTreeWidgetItem;
class QWidget;

namespace orra {
class KeyedTree;
}

namespace morvane {

class frmpbOrra;

namespace catcmd {

// The open catalogue connection; throws orra::Error when there is none.
orra::db::Connection& catalogue();
// <catalogue database>..name
QString table(const char* name);
// The first value of the first row of a statement, or an invalid value.
QVariant scalar(const QString& sql, const QList<orra::db::Parameter>& params = {});
// The first column of every row, as numbers.
QList<long> column(const QString& sql, const QList<orra::db::Parameter>& params = {});
// The trimmed name of document id ("" when there is none).
QString documentName(long id);
// "select coalesce(max(ID),0)+1 MaxID" of the table.
long newId(const char* tableName);

// A message with an OK button; a Yes/No question titled "Confirm" (true on Yes).
void say(const QString& text);
bool confirm(const QString& text);

bool hasDocRight(long id, long right);
bool hasCategoryRight(long id, long right);
// A copy of document id adds every document its stored text includes to the new one: true when
// the login holds the Include right on each; otherwise says "Permission Denied : You could not
// include this document" and gives false.
bool mayCopyIncludesOf(long id);

// The number behind a node's key letter, and the kind the letter tells.
long idOf(const QTreeWidgetItem* node);
bool isDocumentNode(const QTreeWidgetItem* node);
bool isCategoryNode(const QTreeWidgetItem* node);

// A name the Name column cannot hold is refused (with a message) rather than cut into another.
bool nameFits(const QString& name);

// One transaction on the catalogue connection; rolled back unless committed.
class Transaction {
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();
    orra::db::Connection& con() { return m_con; }

private:
    orra::db::Connection& m_con;
    bool m_open = true;
};

// A checksum update that did not store ends the transaction it belongs to.
void checkSumOrThrow(bool stored, long id, const char* what);

// Locks of documents taken by a command, released when it ends. A document whose window is open
// in this designer is locked already by that window and is left alone.
class DocumentLocks {
public:
    DocumentLocks() = default;
    ~DocumentLocks();
    DocumentLocks(const DocumentLocks&) = delete;
    DocumentLocks& operator=(const DocumentLocks&) = delete;
    // Throws the lock's refusal (another session edits the document).
    void take(long id);

private:
    QList<long> m_taken;
};

// Closes the open window of a document without the question about saving; it is gone at once,
// or, while its run unwinds, once the run has unwound (it stands for the document no more).
void discardWindow(long id);
// Gives a document window the document's name: its caption (a window in debug mode keeps its
// ending) and its OrraName.
void nameWindow(QWidget* window, const QString& name);
// Saves a document window through its Save; true when it saved.
bool saveWindow(QWidget* window);

// The catalogue pane's tree, when there is a pane.
orra::KeyedTree* paneTree(frmpbOrra* pane);
void selectNode(orra::KeyedTree* tree, QTreeWidgetItem* node);
// New nodes in the shape of the catalogue tree; null when the parent category is not shown.
QTreeWidgetItem* addDocumentNode(orra::KeyedTree* tree, long categoryId, long id, const QString& name);
QTreeWidgetItem* addCategoryNode(orra::KeyedTree* tree, long parentId, long id, const QString& name);

}   // namespace catcmd
}   // namespace morvane
