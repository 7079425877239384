#include "designer/catalogue/AdministrationCommands.h"

#include "designer/catalogue/AdminSupport.h"
#include "designer/catalogue/frmCallSchema.h"
#include "designer/catalogue/frmDependencies.h"
#include "designer/catalogue/frmProperties.h"
#include "designer/catalogue/frmRegister.h"
#include "designer/catalogue/frmpbOrra.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/frmMDIMain.h"
#include "designer/shell/mdMain.h"
#include "common/CommandLine.h"
#include "common/Permissions.h"
#include "platform/db/ConnectionString.h"
#include "platform/widgets/KeyedTree.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QTabWidget>

namespace morvane {

namespace {

long nodeId(const QTreeWidgetItem* node) { return orra::KeyedTree::key(node).mid(1).toLong(); }

// Opens frmProperties on page for node; true when the dialog ran.
void openProperties(QTreeWidgetItem* node, QWidget* owner, int page, bool updateNode)
{
    if (!node) return;
    frmProperties dialog(owner);
    dialog.setWindowTitle(dialog.windowTitle() + QStringLiteral(" for ") + node->text(0));
    dialog.ObjectID = nodeId(node);
    dialog.IsCategory = orra::KeyedTree::key(node).startsWith(QLatin1Char('C'));
    dialog.IsDisabled = orra::KeyedTree::checked(node);
    dialog.CTabMain()->setCurrentIndex(page);
    admin::runModal(&dialog);
    if (updateNode)
        if (auto* tree = qobject_cast<orra::KeyedTree*>(node->treeWidget()))
            SetCatalogueNodeState(*tree, node, dialog.IsDisabled);
}

}   // namespace

QString NodeFullPath(const QTreeWidgetItem* node)
{
    QStringList parts;
    for (; node; node = node->parent()) parts.prepend(node->text(0));
    return parts.join(QLatin1Char('\\'));
}

void mnuPopuptvOrraProperties_Click(QTreeWidgetItem* node, QWidget* owner) { openProperties(node, owner, 0, true); }

void mnuPopuptvOrraManagePermissions_Click(QTreeWidgetItem* node, QWidget* owner)
{
    openProperties(node, owner, 1, false);
}

void mnuPopuptvOrraManageSchemas_Click(QTreeWidgetItem* node, QWidget* owner)
{
    if (!node) return;
    // Every change the dialog makes is a change of the document's run: asked before it opens.
    try {
        if (!orra::HasDocPermission(&admin::catalogue(), nodeId(node), 0, orra::rightChange)) {
            admin::say(QStringLiteral("Permission Denied : You could not change this document"));
            return;
        }
    } catch (const orra::Error& e) {
        admin::showError(e);
        return;
    }
    frmCallSchema dialog(owner);
    dialog.setWindowTitle(dialog.windowTitle() + QStringLiteral(" for ") + node->text(0));
    dialog.txtPath()->setText(QStringLiteral("root\\") + NodeFullPath(node));
    dialog.DocID = nodeId(node);
    admin::runModal(&dialog);
}

void mnuPopuptvOrraDependencies_Click(QTreeWidgetItem* node, QWidget* owner)
{
    if (!node) return;
    frmDependencies::instance(owner)->ShowFor(nodeId(node), node->text(0));
}

QString LauncherProgram(const QString& programFolder)
{
    const QString configured = qEnvironmentVariable("ORRA_DORNEL");
    if (!configured.isEmpty()) return configured;
    const QDir folder(programFolder);
    const QString beside = folder.filePath(QStringLiteral("dornel"));
    // Installed, the programs share a folder; in the build tree each has its module's folder.
    for (const QString& candidate : {beside, folder.filePath(QStringLiteral("../launcher/dornel"))}) {
        const QFileInfo program(candidate);
        if (program.isFile() && program.isExecutable()) return QDir::cleanPath(program.absoluteFilePath());
    }
    return beside;
}

QString LauncherProgram() { return LauncherProgram(QCoreApplication::applicationDirPath()); }

namespace {

// The SQL login the designer is logged on with; none for a trusted log-on.
orra::db::ConnectionString catalogueLogOn()
{
    const orra::db::ConnectionString cs = orra::db::ConnectionString::parse(admin::catalogue().connectionString());
    if (cs.trusted()) return {};
    return cs;
}

QString logOnLogin(const orra::db::ConnectionString& cs) { return cs.valueOf({"UID", "User ID"}); }

}   // namespace

QStringList LauncherArguments(long id)
{
    QStringList arguments{QStringLiteral("/Server:") + catalogueServerName(),
        QStringLiteral("/DB:") + admin::catalogueDb(), QStringLiteral("/docid:") + QString::number(id)};
    const QString login = logOnLogin(catalogueLogOn());
    if (!login.isEmpty()) arguments << QStringLiteral("/userid:") + orra::EncodeOptionValue(login);
    return arguments;
}

QProcessEnvironment LauncherEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString variable = QString::fromLatin1(orra::kPasswordVariable);
    environment.remove(variable);
    const orra::db::ConnectionString logOn = catalogueLogOn();
    if (!logOnLogin(logOn).isEmpty()) environment.insert(variable, logOn.valueOf({"PWD", "Password"}));
    return environment;
}

bool ExecuteDocument(long id)
{
    QProcess launcher;
    launcher.setProgram(LauncherProgram());
    try {
        launcher.setArguments(LauncherArguments(id));
        launcher.setProcessEnvironment(LauncherEnvironment());
    } catch (const orra::Error& e) {
        admin::showError(e);
        return false;
    }
    const QString program = launcher.program();
    if (!QFileInfo(program).isExecutable() || !launcher.startDetached()) {
        admin::say(QStringLiteral("The launcher could not be started: %1").arg(QDir::toNativeSeparators(program)));
        return false;
    }
    return true;
}

void mnuPopuptvOrraExecute_Click(QTreeWidgetItem* node)
{
    if (node) ExecuteDocument(nodeId(node));
}

void RegisterAdministrationCommands(frmpbOrra& pane)
{
    QPointer<frmpbOrra> self(&pane);
    auto selected = [self]() -> QTreeWidgetItem* { return self ? self->tvOrra()->currentItem() : nullptr; };
    auto owner = [self]() -> QWidget* {
        if (frmMDIMain* mainWindow = frmMDIMain::instance()) return mainWindow;
        return self ? self->window() : nullptr;
    };
    const QList<QPair<QString, std::function<void()>>> commands = {
        {QStringLiteral("mnuPopuptvOrraProperties"), [=] { mnuPopuptvOrraProperties_Click(selected(), owner()); }},
        {QStringLiteral("mnuPopuptvOrraManagePermissions"),
            [=] { mnuPopuptvOrraManagePermissions_Click(selected(), owner()); }},
        {QStringLiteral("mnuPopuptvOrraManageSchemas"),
            [=] { mnuPopuptvOrraManageSchemas_Click(selected(), owner()); }},
        {QStringLiteral("mnuPopuptvOrraExecute"), [=] { mnuPopuptvOrraExecute_Click(selected()); }},
        {QStringLiteral("mnuPopuptvOrraDependencies"), [=] { mnuPopuptvOrraDependencies_Click(selected(), owner()); }},
    };

    frmMDIMain* mainWindow = frmMDIMain::instance();
    QMenu* mainPopup = mainWindow ? mainWindow->menu(QStringLiteral("mnuPopuptvOrra")) : nullptr;
    if (mainPopup) {
        for (const auto& [name, handler] : commands) mainWindow->setCommandHandler(name, handler);
        mainWindow->setCommandHandler(
            QStringLiteral("mnuFileRegisterServer"), [] { mnuFileRegisterServer_Click(frmMDIMain::instance()); });
        mainWindow->setCommandHandler(
            QStringLiteral("mnuFileUnRegisterServer"), [] { mnuFileUnRegisterServer_Click(); });
    }
    // A pane with a pop-up of its own: its items call the same functions.
    QMenu* popup = pane.mnuPopuptvOrra();
    if (!popup || popup == mainPopup) return;
    for (QAction* action : popup->actions())
        for (const auto& [name, handler] : commands)
            if (action->objectName() == name) {
                QObject::disconnect(action, &QAction::triggered, &pane, nullptr);
                QObject::connect(action, &QAction::triggered, &pane, handler);
            }
}

}   // namespace morvane
