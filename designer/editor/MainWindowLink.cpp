#include "designer/editor/MainWindowLink.h"

#include "designer/shell/frmMDIMain.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/widgets/KeyedTree.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

namespace morvane {

QWidget* activeChildWindow()
{
    frmMDIMain* main = frmMDIMain::instance();
    return main ? main->activeDocumentWindow() : nullptr;
}

void throwNoSuchMember(const QObject* target, const QString& member)
{
    throw orra::Error(orra::kMemberNotSupported, target ? target->objectName() : QString(),
        QStringLiteral("Object doesn't support this property or method: %1").arg(member));
}

MainWindowLink::MainWindowLink() : m_main(frmMDIMain::instance()) {}

void MainWindowLink::SetDebugButtons(bool running)
{
    if (m_main) m_main->SetDebugButtons(running);
}

void MainWindowLink::EnableDocumentCommands(bool enabled)
{
    if (m_main) m_main->EnableDocumentCommands(enabled);
}

void MainWindowLink::EnableToolbarButton(const QString& key, bool enabled)
{
    if (m_main) m_main->EnableToolbarButton(key, enabled);
}

void MainWindowLink::SetToolbarButtonValue(const QString& key, int value)
{
    if (!m_main) return;
    QAction* button = m_main->toolbarButton(key);
    if (!button) throwNoSuchMember(m_main, QStringLiteral("tbMain.Buttons(\"%1\")").arg(key));
    button->setChecked(value == 1);
}

bool MainWindowLink::ToolbarButtonEnabled(const QString& key) const
{
    if (!m_main) return true;
    QAction* button = m_main->toolbarButton(key);
    if (!button) throwNoSuchMember(m_main, QStringLiteral("tbMain.Buttons(\"%1\")").arg(key));
    return button->isEnabled();
}

void MainWindowLink::SetMenuEnabled(const QString& name, bool enabled)
{
    if (!m_main) return;
    if (QAction* item = m_main->menuItem(name)) {
        item->setEnabled(enabled);
        return;
    }
    if (QMenu* menu = m_main->menu(name)) {
        menu->setEnabled(enabled);
        menu->menuAction()->setEnabled(enabled);
        return;
    }
    throwNoSuchMember(m_main, name);
}

void MainWindowLink::SetMenuChecked(const QString& name, bool checked)
{
    if (!m_main) return;
    QAction* item = m_main->menuItem(name);
    if (!item) throwNoSuchMember(m_main, name);
    item->setChecked(checked);
}

void MainWindowLink::SetPanelText(const QString& key, const QString& text)
{
    if (m_main) m_main->setPanelText(key, text);
}

void MainWindowLink::SelectCatalogueNode(const QString& key)
{
    if (!m_main) return;
    auto* tree = qobject_cast<orra::KeyedTree*>(m_main->tvOrra());
    if (!tree) return;   // no catalogue pane: nothing to select
    // Selecting the node is no click on it: the catalogue pane's handlers do not run.
    if (QTreeWidgetItem* node = tree->node(key)) {
        const QSignalBlocker block(tree);
        tree->setCurrentItem(node);
    }
}

QMenu* MainWindowLink::DocumentMenu() const { return m_main ? m_main->menu(QStringLiteral("mnuDoc")) : nullptr; }

}   // namespace morvane
