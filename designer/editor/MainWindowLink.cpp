#include "designer/editor/MainWindowLink.h"

#include "platform/text/Error.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMetaObject>
#include <QToolBar>
#include <QTreeWidget>

namespace morvane {

QWidget* findMainWindow()
{
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget* w : tops)
        if (w->objectName() == QLatin1String("frmMDIMain")) return w;
    return nullptr;
}

QWidget* activeChildWindow()
{
    QWidget* main = findMainWindow();
    if (!main) return nullptr;
    auto* area = main->findChild<QMdiArea*>();
    if (!area) return nullptr;
    QMdiSubWindow* sub = area->activeSubWindow();
    return sub ? sub->widget() : nullptr;
}

void throwNoSuchMember(const QObject* target, const QString& member)
{
    throw orra::Error(438, target ? target->objectName() : QString(),
                      QStringLiteral("Object doesn't support this property or method: %1").arg(member));
}

void MainWindowLink::SetDebugButtons(bool running)
{
    if (m_main && !QMetaObject::invokeMethod(m_main, "SetDebugButtons", Qt::DirectConnection, Q_ARG(bool, running)))
        throwNoSuchMember(m_main, QStringLiteral("SetDebugButtons"));
}

void MainWindowLink::EnableDocumentCommands(bool enabled)
{
    if (m_main
        && !QMetaObject::invokeMethod(m_main, "EnableDocumentCommands", Qt::DirectConnection, Q_ARG(bool, enabled)))
        throwNoSuchMember(m_main, QStringLiteral("EnableDocumentCommands"));
}

void MainWindowLink::EnableToolbarButton(const QString& key, bool enabled)
{
    if (m_main
        && !QMetaObject::invokeMethod(m_main, "EnableToolbarButton", Qt::DirectConnection, Q_ARG(QString, key),
                                      Q_ARG(bool, enabled)))
        throwNoSuchMember(m_main, QStringLiteral("EnableToolbarButton"));
}

void MainWindowLink::SetToolbarButtonValue(const QString& key, int value)
{
    if (!m_main) return;
    auto* toolbar = m_main->findChild<QToolBar*>(QStringLiteral("tbMain"));
    if (toolbar) {
        const auto actions = toolbar->actions();
        for (QAction* a : actions) {
            if (a->objectName() == key || a->data().toString() == key) {
                a->setChecked(value == 1);
                return;
            }
        }
    }
    throwNoSuchMember(m_main, QStringLiteral("tbMain.Buttons(\"%1\")").arg(key));
}

void MainWindowLink::SetMenuEnabled(const QString& name, bool enabled)
{
    if (!m_main) return;
    if (auto* a = m_main->findChild<QAction*>(name)) {
        a->setEnabled(enabled);
        return;
    }
    if (auto* m = m_main->findChild<QMenu*>(name)) {
        m->setEnabled(enabled);
        if (QAction* a = m->menuAction()) a->setEnabled(enabled);
        return;
    }
    throwNoSuchMember(m_main, name);
}

void MainWindowLink::SetMenuChecked(const QString& name, bool checked)
{
    if (!m_main) return;
    auto* a = m_main->findChild<QAction*>(name);
    if (!a) throwNoSuchMember(m_main, name);
    a->setChecked(checked);
}

void MainWindowLink::SelectCatalogueNode(const QString& key)
{
    if (!m_main) return;
    auto* tree = m_main->findChild<QTreeWidget*>(QStringLiteral("tvOrra"));
    if (!tree) return; // the catalogue pane is closed: nothing to select
    const auto found = tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive);
    for (QTreeWidgetItem* item : found) {
        if (item->data(0, Qt::UserRole).toString() == key) {
            tree->setCurrentItem(item);
            return;
        }
    }
}

QMenu* MainWindowLink::DocumentMenu() const
{
    return m_main ? m_main->findChild<QMenu*>(QStringLiteral("mnuDoc")) : nullptr;
}

} // namespace morvane
