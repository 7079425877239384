#pragma once
// The catalogue pane's administration commands, one function per menu item, and their wiring:
// Properties and Manage Permissions (frmProperties), Manage Schemas (frmCallSchema), Execute
// (the launcher dornel as a process of its own), Dependencies (frmDependencies), and the main
// window's File > Register Server and UnRegister Server (frmRegister.h).

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QTreeWidgetItem;
class QWidget;

namespace morvane {

class frmpbOrra;

// Each takes the selected node of tvOrra ("C" & ID for a category, "T" & ID for a document)
// and the window that owns the dialog; a null node does nothing.
void mnuPopuptvOrraProperties_Click(QTreeWidgetItem* node, QWidget* owner);
void mnuPopuptvOrraManagePermissions_Click(QTreeWidgetItem* node, QWidget* owner);
void mnuPopuptvOrraManageSchemas_Click(QTreeWidgetItem* node, QWidget* owner);
void mnuPopuptvOrraExecute_Click(QTreeWidgetItem* node);
void mnuPopuptvOrraDependencies_Click(QTreeWidgetItem* node, QWidget* owner);

// The texts of the node's ancestors and its own, joined by "\".
QString NodeFullPath(const QTreeWidgetItem* node);

// The launcher's program: $ORRA_DORNEL when set, else "dornel" beside the designer's program
// (an installed system), else the build tree's launcher/dornel beside the designer's folder;
// when neither is there, the one beside the designer's program (which the failure names).
QString LauncherProgram();
// The same for a designer whose program lies in programFolder.
QString LauncherProgram(const QString& programFolder);
// The launcher's arguments for running document id on the designer's catalogue, as the login
// the designer is logged on with: a SQL login is named by /userid:, a trusted log-on by nothing.
QStringList LauncherArguments(long id);
// The launcher's environment: the designer's, with the SQL login's password in ORRA_PASSWORD
// (never on the command line, which other accounts can read) or, for a trusted log-on, none.
QProcessEnvironment LauncherEnvironment();
// Starts the launcher for document id without waiting for it; false (after a message) when it
// could not be started.
bool ExecuteDocument(long id);

// Connects the pane's pop-up items (and the main window's File > Register Server and
// UnRegister Server) to the functions above.
void RegisterAdministrationCommands(frmpbOrra& pane);

}   // namespace morvane
