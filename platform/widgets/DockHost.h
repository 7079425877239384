#pragma once
// The docking host of the designer's main window: pane forms live in four docked panels (1 top,
// 2 bottom, sized by height; 3 left, 4 right, sized by width; sizes in pixels) or float. Panes
// are known by their key, the pane form's name. Each pane is wrapped in a QDockWidget titled
// with the form's window title.
//
// A panel lists its panes top to bottom (left to right for panels 1 and 2); a pane added to a
// panel goes first, so that adding a saved list from its last entry to its first rebuilds it in
// the saved order.

#include <QDockWidget>
#include <QList>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>

namespace orra {

class DockHost : public QObject {
    Q_OBJECT
public:
    enum PaneState { Docked = 1, Floating = 2 };
    static constexpr int kPanelCount = 4;

    explicit DockHost(QObject* parent = nullptr);
    ~DockHost() override;

    // Later panes dock inside window. Called once, before any pane is added.
    void attach(QMainWindow* window);
    QMainWindow* window() const { return m_window; }

    // Makes form a pane under key (the form's name), docked in panel 1 to 4 or floating
    // (panel = its home panel, where it docks when the user docks it again). style is kept
    // for the callers' sake and has no meaning here. A key already held, a panel out of range,
    // a bad state or no attached window throws orra::Error.
    void addPane(QWidget* form, int state, int panel, const QString& key, int style = 38);
    // Applies the panel sizes to the docked panes (after a restore).
    void arrange();
    // Shows or hides the pane of that key; hiding keeps it in the pane collection. An unknown
    // key throws orra::Error.
    void showPane(const QString& key);
    void hidePane(const QString& key);

    // ---- Panels (1-based, 1 to panelCount()) ------------------------------------------
    int panelCount() const { return kPanelCount; }
    // The panel's size: its height for panels 1 and 2, its width for 3 and 4 (the size of its
    // visible docked panes, or the last size set or seen while it holds none).
    int panelSize(int panel) const;
    void setPanelSize(int panel, int pixels);
    // The keys of the panes docked in the panel, in the panel's order.
    QStringList panelPanes(int panel) const;

    // ---- Pane collection (1-based, in the order the panes were added) -------------------
    int paneCount() const { return int(m_panes.size()); }
    QString paneName(int index) const;
    int paneState(int index) const;   // Docked or Floating
    bool paneVisible(int index) const;
    QWidget* paneForm(int index) const;
    // 0 when no pane has that key.
    int paneIndex(const QString& key) const;
    QDockWidget* dockOf(const QString& key) const;

signals:
    // The user closed the pane (its close button); reported once per closing.
    void paneClosed(QWidget* form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Pane {
        QString key;
        QPointer<QWidget> form;
        QPointer<QDockWidget> dock;
        int homePanel = 3;
    };
    int panelOf(const Pane& pane) const;   // 0 when floating or not docked
    void relayoutPanel(int panel, const QList<QDockWidget*>& order);
    void applySize(int panel);
    void rememberSize(QDockWidget* dock);

    QPointer<QMainWindow> m_window;
    QList<Pane> m_panes;
    std::array<QList<QString>, kPanelCount> m_order;   // panel pane keys, in order
    std::array<int, kPanelCount> m_size{{150, 150, 250, 250}};
    bool m_relayouting = false;
    bool m_shownOnce = false;
};

}   // namespace orra
