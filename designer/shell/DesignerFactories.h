#pragma once
// How the shell obtains the windows that live in the libraries above it. The shell includes
// no catalogue or editor header: the program registers a creator for each pane form and one
// for document windows, and the shell asks for them by form name.
//
// Contract of a document window (the editor's frmOrraDevelopment, or a test window):
//  - it is a QWidget with the Q_PROPERTYs DocID (int), OrraName (QString) and
//    DocumentChanged (bool);
//  - the shell creates it, sets DocID, then invokes its Q_INVOKABLE bool LoadWindow(); false
//    means the window could not load its document (it has said why) and is destroyed;
//  - closing it runs its own close handling (the save question, the lock release); a window
//    that refuses (closeEvent ignored) stays open.
// Every other call from the shell or the catalogue reaches it by name through
// QMetaObject::invokeMethod; a member that does not exist is an error, never a silent no-op.

#include <QString>
#include <QWidget>
#include <functional>

namespace morvane {

using WidgetCreator = std::function<QWidget*(QWidget* parent)>;

// The creator of document windows; null until the program (or a test) registers one.
void setDocumentWindowCreator(WidgetCreator creator);
const WidgetCreator& documentWindowCreator();

// Creators of the docked pane forms by form name ("frmpbOrra", "frmtvDocument"). A pane with
// no registered creator is an empty form of that name.
void setPaneCreator(const QString& formName, WidgetCreator creator);
QWidget* createPane(const QString& formName, QWidget* parent);

// Creators of dialogs that the main window opens but libraries above it own ("frmFindReplace",
// "frmOptions"). createDialog gives null when no creator is registered for that name.
void setDialogCreator(const QString& formName, WidgetCreator creator);
QWidget* createDialog(const QString& formName, QWidget* parent);

}   // namespace morvane
