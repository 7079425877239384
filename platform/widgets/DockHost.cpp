#include "platform/widgets/DockHost.h"

#include "platform/host/Error.h"

#include <QDockWidget>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

namespace orra {
namespace {

const QString kSource = QStringLiteral("DockHost");

Qt::DockWidgetArea areaOfPanel(int panel)
{
    switch (panel) {
    case 1:
        return Qt::TopDockWidgetArea;
    case 2:
        return Qt::BottomDockWidgetArea;
    case 3:
        return Qt::LeftDockWidgetArea;
    default:
        return Qt::RightDockWidgetArea;
    }
}

int panelOfArea(Qt::DockWidgetArea area)
{
    switch (area) {
    case Qt::TopDockWidgetArea:
        return 1;
    case Qt::BottomDockWidgetArea:
        return 2;
    case Qt::LeftDockWidgetArea:
        return 3;
    case Qt::RightDockWidgetArea:
        return 4;
    default:
        return 0;
    }
}

bool sizedByHeight(int panel) { return panel == 1 || panel == 2; }

void checkPanel(int panel)
{
    if (panel < 1 || panel > DockHost::kPanelCount)
        throw Error(kSystemError, kSource, QStringLiteral("There is no panel %1.").arg(panel));
}

}   // namespace

DockHost::DockHost(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("td")); }

DockHost::~DockHost() = default;

void DockHost::attach(QMainWindow* window)
{
    if (m_window) m_window->removeEventFilter(this);
    m_window = window;
    if (m_window) m_window->installEventFilter(this);
}

void DockHost::addPane(QWidget* form, int state, int panel, const QString& key, int /*style*/)
{
    if (!m_window) throw Error(kSystemError, kSource, QStringLiteral("The docking host is not attached to a window."));
    if (!form) throw Error(kSystemError, kSource, QStringLiteral("No pane form was given for the pane %1.").arg(key));
    checkPanel(panel);
    if (state != Docked && state != Floating)
        throw Error(kSystemError, kSource, QStringLiteral("%1 is not a pane state (1 docked, 2 floating).").arg(state));
    if (paneIndex(key) != 0)
        throw Error(kSystemError, kSource, QStringLiteral("The docking host already holds a pane %1.").arg(key));

    auto* dock = new QDockWidget(form->windowTitle(), m_window);
    dock->setObjectName(QStringLiteral("dock_") + key);
    dock->setAccessibleName(form->windowTitle());
    dock->setWidget(form);
    dock->installEventFilter(this);
    m_panes.append(Pane{key, form, dock, panel});

    connect(dock, &QDockWidget::dockLocationChanged, this, [this, key](Qt::DockWidgetArea area) {
        if (m_relayouting) return;
        for (auto& order : m_order) order.removeAll(key);
        const int p = panelOfArea(area);
        QDockWidget* d = dockOf(key);
        if (p != 0 && d && !d->isFloating()) m_order[p - 1].append(key);
    });
    connect(dock, &QDockWidget::topLevelChanged, this, [this, key](bool floating) {
        if (m_relayouting || !floating) return;
        for (auto& order : m_order) order.removeAll(key);
    });

    if (state == Floating) {
        m_window->addDockWidget(areaOfPanel(panel), dock);
        dock->setFloating(true);
        dock->show();
        return;
    }
    QList<QString>& order = m_order[panel - 1];
    order.prepend(key);
    QList<QDockWidget*> docks;
    for (const QString& k : order)
        if (QDockWidget* d = dockOf(k)) docks.append(d);
    relayoutPanel(panel, docks);
}

// Docks the panel's panes again in the given order (Qt appends a re-added dock at the end).
void DockHost::relayoutPanel(int panel, const QList<QDockWidget*>& order)
{
    m_relayouting = true;
    const Qt::Orientation orientation = sizedByHeight(panel) ? Qt::Horizontal : Qt::Vertical;
    for (QDockWidget* d : order) {
        // A pane hidden on purpose stays hidden; every other one is shown.
        const bool hidden = d->isHidden() && d->testAttribute(Qt::WA_WState_ExplicitShowHide);
        m_window->addDockWidget(areaOfPanel(panel), d, orientation);
        d->setVisible(!hidden);
    }
    m_relayouting = false;
    applySize(panel);
    // A dock added to a window on screen gets its geometry in the next layout pass.
    if (m_window->isVisible()) QTimer::singleShot(0, this, [this, panel] { applySize(panel); });
}

void DockHost::arrange()
{
    for (int p = 1; p <= kPanelCount; ++p) applySize(p);
}

void DockHost::showPane(const QString& key)
{
    QDockWidget* d = dockOf(key);
    if (!d) throw Error(kSystemError, kSource, QStringLiteral("The docking host holds no pane %1.").arg(key));
    d->show();
    if (d->isFloating()) d->raise();
}

void DockHost::hidePane(const QString& key)
{
    QDockWidget* d = dockOf(key);
    if (!d) throw Error(kSystemError, kSource, QStringLiteral("The docking host holds no pane %1.").arg(key));
    rememberSize(d);
    d->hide();
}

int DockHost::panelOf(const Pane& pane) const
{
    if (!pane.dock || pane.dock->isFloating()) return 0;
    for (int p = 1; p <= kPanelCount; ++p)
        if (m_order[p - 1].contains(pane.key)) return p;
    return 0;
}

int DockHost::panelSize(int panel) const
{
    checkPanel(panel);
    if (m_window && m_window->isVisible()) {
        for (const QString& k : m_order[panel - 1]) {
            QDockWidget* d = dockOf(k);
            if (d && d->isVisible()) return sizedByHeight(panel) ? d->height() : d->width();
        }
    }
    return m_size[panel - 1];
}

void DockHost::setPanelSize(int panel, int pixels)
{
    checkPanel(panel);
    m_size[panel - 1] = pixels;
    applySize(panel);
}

void DockHost::applySize(int panel)
{
    if (!m_window) return;
    QList<QDockWidget*> docks;
    QList<int> sizes;
    for (const QString& k : m_order[panel - 1]) {
        QDockWidget* d = dockOf(k);
        if (d && !d->isHidden()) {
            docks.append(d);
            sizes.append(m_size[panel - 1]);
        }
    }
    if (!docks.isEmpty()) m_window->resizeDocks(docks, sizes, sizedByHeight(panel) ? Qt::Vertical : Qt::Horizontal);
}

QStringList DockHost::panelPanes(int panel) const
{
    checkPanel(panel);
    return m_order[panel - 1];
}

QString DockHost::paneName(int index) const
{
    if (index < 1 || index > paneCount())
        throw Error(kSystemError, kSource, QStringLiteral("There is no pane %1.").arg(index));
    return m_panes[index - 1].key;
}

int DockHost::paneState(int index) const
{
    paneName(index);
    const Pane& p = m_panes[index - 1];
    return p.dock && p.dock->isFloating() ? Floating : Docked;
}

bool DockHost::paneVisible(int index) const
{
    paneName(index);
    const Pane& p = m_panes[index - 1];
    return p.dock && !p.dock->isHidden();
}

QWidget* DockHost::paneForm(int index) const
{
    paneName(index);
    return m_panes[index - 1].form;
}

int DockHost::paneIndex(const QString& key) const
{
    for (int i = 0; i < m_panes.size(); ++i)
        if (m_panes[i].key == key) return i + 1;
    return 0;
}

QDockWidget* DockHost::dockOf(const QString& key) const
{
    const int i = paneIndex(key);
    return i ? m_panes[i - 1].dock.data() : nullptr;
}

// The size of a docked pane on screen is kept as its panel's size before the pane goes away,
// so that a panel left empty still reports (and saves) the size the user gave it.
void DockHost::rememberSize(QDockWidget* dock)
{
    if (!m_window || !m_window->isVisible() || !dock->isVisible() || dock->isFloating()) return;
    for (const Pane& p : std::as_const(m_panes))
        if (p.dock == dock)
            if (const int panel = panelOf(p)) m_size[panel - 1] = sizedByHeight(panel) ? dock->height() : dock->width();
}

bool DockHost::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: a window on its way out is no main window any more.
    if (event->type() == QEvent::Show && !m_shownOnce && watched == m_window) {
        // Sizes set before the window had a geometry are applied once it has one.
        m_shownOnce = true;
        arrange();
    } else if (event->type() == QEvent::Close && qobject_cast<QDockWidget*>(watched)) {
        // (A dock widget being destroyed is closed too, when it is no dock widget any more.)
        for (const Pane& p : std::as_const(m_panes)) {
            if (p.dock != watched) continue;
            rememberSize(p.dock);
            emit paneClosed(p.form);
        }
    }
    return QObject::eventFilter(watched, event);
}

}   // namespace orra
