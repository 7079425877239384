#include "designer/shell/frmMDIMain.h"

#include "designer/shell/DesignerApplication.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/EditorOptions.h"
#include "designer/shell/ExplorerButton.h"
#include "designer/shell/SettingsStore.h"
#include "designer/shell/ToolbarImages.h"
#include "designer/shell/frmAbout.h"
#include "designer/shell/frmOptions.h"
#include "platform/db/Connection.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/AccessibleToolButtons.h"
#include "platform/widgets/DockHost.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace morvane {
namespace {

frmMDIMain* g_instance = nullptr;

const QString kSource = QStringLiteral("frmMDIMain");
const QString kObjectExplorer = QStringLiteral("frmpbOrra");
const QString kDocumentExplorer = QStringLiteral("frmtvDocument");
constexpr int kPaneStyle = 38;

QString programVersion()
{
#ifdef MORVANE_VERSION
    return QStringLiteral(MORVANE_VERSION);
#else
    return QStringLiteral("0.0.0");
#endif
}

void showMessage(const QString& text) { orra::userInterface().messageBox(text, orra::vbOKOnly | orra::vbExclamation); }

// VB's CLng/CInt of a stored text: a number, rounded half to even, within the type's range.
template <typename T> std::optional<T> toWhole(const QString& text)
{
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    const double r = std::nearbyint(d);
    if (r < double(std::numeric_limits<T>::min()) || r > double(std::numeric_limits<T>::max())) return std::nullopt;
    return T(r);
}

// The same, refused outside [low, high]: a damaged store can ask for no huge size or count.
template <typename T> std::optional<T> toWholeIn(const QString& text, T low, T high)
{
    const std::optional<T> v = toWhole<T>(text);
    if (v && (*v < low || *v > high)) return std::nullopt;
    return v;
}

// Editor fonts from 1 to 512 points, colours as red + 256 green + 65536 blue.
constexpr qint16 kMaxFontSize = 512;
constexpr std::int32_t kMaxColor = 0xFFFFFF;

// The slots j of a panel's stored pane list "Panels\i\Windows\j", from count down to 1. Only
// the slots the store holds are visited, so a damaged count costs nothing.
QList<int> storedPaneSlots(QSettings& store, const QString& panel, qint32 count)
{
    store.beginGroup(settingsGroup(panel + QStringLiteral("\\Windows")));
    const QStringList groups = store.childGroups();
    store.endGroup();
    QList<int> found;
    for (const QString& g : groups) {
        bool ok = false;
        const int j = g.toInt(&ok);
        if (ok && j >= 1 && j <= count && g == QString::number(j)) found.append(j);
    }
    std::sort(found.begin(), found.end(), std::greater<int>());
    return found;
}

// VB's CBool of a stored text: "True"/"False" in any case, or a number (non-zero is true).
std::optional<bool> toFlag(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok) return std::nullopt;
    return d != 0;
}

QString flagText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

QString plainCaption(QString caption) { return caption.remove(QLatin1Char('&')); }

}   // namespace

// ---- Construction -----------------------------------------------------------------------

frmMDIMain::frmMDIMain(QWidget* parent) : QMainWindow(parent)
{
    g_instance = this;
    setObjectName(QStringLiteral("frmMDIMain"));
    setWindowTitle(QStringLiteral("Morvane"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks | QMainWindow::AllowTabbedDocks);

    m_mdi = new QMdiArea;
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setAccessibleName(QStringLiteral("Documents"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    m_td = new orra::DockHost(this);
    connect(m_td, &orra::DockHost::paneClosed, this, &frmMDIMain::paneClosed);

    buildMenus();
    buildToolbar();
    buildStatusBar();
    buildSideBar();

    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_sideBar);
    layout->addWidget(m_mdi, 1);
    setCentralWidget(central);
    resize(1100, 750);
}

frmMDIMain::~frmMDIMain()
{
    // The docks outlive this object's own part: what they signal while the base class takes
    // them down must not reach this window's slots.
    if (QDockWidget* dock = m_td ? m_td->dockOf(kObjectExplorer) : nullptr) disconnect(dock, nullptr, this, nullptr);
    delete m_findDialog.data();
    // A pane never docked (hidden since start-up) belongs to no window: it goes with this one.
    for (const QPointer<QWidget>& form : std::as_const(m_paneForms))
        if (form && !form->parentWidget()) delete form.data();
    if (g_instance == this) g_instance = nullptr;
}

frmMDIMain* frmMDIMain::instance() { return g_instance; }

QMenu* frmMDIMain::addMenu(QMenu* parent, const QString& name, const QString& caption)
{
    QMenu* m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    m_menus.insert(name, m);
    return m;
}

QAction* frmMDIMain::addItem(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut)
{
    QAction* a = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
    a->setObjectName(name);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    m_items.insert(name, a);
    return a;
}

void frmMDIMain::addHandled(QMenu* menu, const QString& name, const QString& caption, void (frmMDIMain::*handler)(),
    const QKeySequence& shortcut)
{
    QAction* a = addItem(menu, name, caption, shortcut);
    connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
}

void frmMDIMain::addForeign(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut)
{
    QAction* a = addItem(menu, name, caption, shortcut);
    connect(a, &QAction::triggered, this, [this, name, caption] {
        const auto it = m_foreignHandlers.constFind(name);
        if (it != m_foreignHandlers.constEnd() && *it) {
            (*it)();
            return;
        }
        showMessage(QStringLiteral("The command \"%1\" is not available yet.").arg(plainCaption(caption)));
    });
}

void frmMDIMain::setCommandHandler(const QString& menuName, std::function<void()> handler)
{
    if (!m_items.contains(menuName))
        throw orra::Error(
            orra::kSystemError, kSource, QStringLiteral("The main window has no menu item %1.").arg(menuName));
    m_foreignHandlers.insert(menuName, std::move(handler));
}

void frmMDIMain::buildMenus()
{
    using K = QKeySequence;
    menuBar()->setAccessibleName(QStringLiteral("Menu bar"));
    QMenu* file = addMenu(nullptr, QStringLiteral("mnuFile"), QStringLiteral("&File"));
    addForeign(file, QStringLiteral("mnuFileNewOrra"), QStringLiteral("&New Orra"), K(Qt::CTRL | Qt::Key_N));
    addForeign(file, QStringLiteral("mnuFileNewCategory"), QStringLiteral("New Cate&gory"), K(Qt::CTRL | Qt::Key_G));
    addForeign(file, QStringLiteral("mnuFileNewParent"), QStringLiteral("New Pa&rent"), K(Qt::CTRL | Qt::Key_R));
    addItem(file, QStringLiteral("mnuFileDivider"), QStringLiteral("-"));
    addForeign(file, QStringLiteral("mnuFileCopy"), QStringLiteral("&Copy"), K(Qt::CTRL | Qt::Key_Insert));
    addForeign(file, QStringLiteral("mnuFilePaste"), QStringLiteral("&Paste"), K(Qt::SHIFT | Qt::Key_Insert));
    m_items[QStringLiteral("mnuFilePaste")]->setEnabled(false);
    addItem(file, QStringLiteral("mnuFileDivider1"), QStringLiteral("-"));
    addForeign(file, QStringLiteral("mnuFileRegisterServer"), QStringLiteral("Register &Server"));
    addForeign(file, QStringLiteral("mnuFileUnRegisterServer"), QStringLiteral("&UnRegister Server"));
    addItem(file, QStringLiteral("mnuFileDivider2"), QStringLiteral("-"))->setVisible(false);
    addHandled(file, QStringLiteral("mnuFileSave"), QStringLiteral("&Save"), &frmMDIMain::mnuFileSave_Click,
        K(Qt::CTRL | Qt::Key_S));
    addForeign(file, QStringLiteral("mnuFileSaveAs"), QStringLiteral("Save &As.."));
    addForeign(file, QStringLiteral("mnuFileSaveAsXML"), QStringLiteral("Save As XM&L"));
    addForeign(file, QStringLiteral("mnuFileDelete"), QStringLiteral("&Delete"), K(Qt::SHIFT | Qt::Key_Delete));
    addHandled(file, QStringLiteral("mnuFileRefresh"), QStringLiteral("&Refresh"), &frmMDIMain::mnuFileRefresh_Click,
        K(Qt::Key_F12));
    addItem(file, QStringLiteral("mnuFileDivider3"), QStringLiteral("-"));
    addHandled(file, QStringLiteral("mnuFileExit"), QStringLiteral("E&xit"), &frmMDIMain::mnuFileExit_Click,
        K(Qt::CTRL | Qt::Key_Q));
    for (const char* n : {"mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh"})
        m_items[QLatin1String(n)]->setEnabled(false);

    QMenu* doc = addMenu(nullptr, QStringLiteral("mnuDoc"), QStringLiteral("&Document"));
    addHandled(doc, QStringLiteral("mnuDocNewParameter"), QStringLiteral("New &Parameter"),
        &frmMDIMain::mnuDocNewParameter_Click, K(Qt::CTRL | Qt::Key_P));
    addHandled(doc, QStringLiteral("mnuDocNewBlock"), QStringLiteral("New &Block"), &frmMDIMain::mnuDocNewBlock_Click,
        K(Qt::CTRL | Qt::Key_B));
    addHandled(doc, QStringLiteral("mnuDocNewStation"), QStringLiteral("New S&tation"),
        &frmMDIMain::mnuDocNewStation_Click, K(Qt::CTRL | Qt::Key_T));
    addHandled(doc, QStringLiteral("mnuDocNewScript"), QStringLiteral("New Act&iveX Script"),
        &frmMDIMain::mnuDocNewScript_Click, K(Qt::CTRL | Qt::Key_I));
    addItem(doc, QStringLiteral("mnuDocDivider0"), QStringLiteral("-"));
    addHandled(doc, QStringLiteral("mnuDocOpenInclude"), QStringLiteral("&Open Main Document"),
        &frmMDIMain::mnuDocOpenInclude_Click);
    m_items[QStringLiteral("mnuDocOpenInclude")]->setEnabled(false);
    addItem(doc, QStringLiteral("mnuDocDivider1"), QStringLiteral("-"));
    addHandled(doc, QStringLiteral("mnuDocAddRepository"), QStringLiteral("&Add Repository"),
        &frmMDIMain::mnuDocAddRepository_Click);
    addHandled(doc, QStringLiteral("mnuDocCopy"), QStringLiteral("&Copy"), &frmMDIMain::mnuDocCopy_Click);
    addHandled(doc, QStringLiteral("mnuDocPaste"), QStringLiteral("Past&e"), &frmMDIMain::mnuDocPaste_Click);
    addItem(doc, QStringLiteral("mnuDocDivider2"), QStringLiteral("-"));
    addHandled(doc, QStringLiteral("mnuDocFind"), QStringLiteral("&Find"), &frmMDIMain::mnuDocFind_Click,
        K(Qt::CTRL | Qt::Key_F));
    addHandled(doc, QStringLiteral("mnuDocReplace"), QStringLiteral("&Replace"), &frmMDIMain::mnuDocReplace_Click,
        K(Qt::CTRL | Qt::Key_H));
    addItem(doc, QStringLiteral("mnuDocDivider3"), QStringLiteral("-"));
    addHandled(doc, QStringLiteral("mnuDocIndent"), QStringLiteral("In&dent"), &frmMDIMain::mnuDocIndent_Click);
    addHandled(doc, QStringLiteral("mnuDocOutdent"), QStringLiteral("O&utdent"), &frmMDIMain::mnuDocOutdent_Click);
    addItem(doc, QStringLiteral("mnuDocDivider4"), QStringLiteral("-"));
    addHandled(doc, QStringLiteral("mnuDocComment"), QStringLiteral("Comment Block"), &frmMDIMain::mnuDocComment_Click);
    addHandled(
        doc, QStringLiteral("mnuDocUnComment"), QStringLiteral("UnComment Block"), &frmMDIMain::mnuDocUnComment_Click);
    addItem(doc, QStringLiteral("mnuDocDivider5"), QStringLiteral("-"));
    addHandled(doc, QStringLiteral("mnuDocDelete"), QStringLiteral("&Delete"), &frmMDIMain::mnuDocDelete_Click);
    for (const char* n : {"mnuDocIndent", "mnuDocOutdent", "mnuDocComment", "mnuDocUnComment"})
        m_items[QLatin1String(n)]->setEnabled(false);

    QMenu* debug = addMenu(nullptr, QStringLiteral("mnuDebug"), QStringLiteral("De&bug"));
    addHandled(debug, QStringLiteral("mnuDebugStart"), QStringLiteral("&Start"), &frmMDIMain::mnuDebugStart_Click,
        K(Qt::Key_F5));
    addHandled(debug, QStringLiteral("mnuDebugStartNew"), QStringLiteral("St&art on New Connection"),
        &frmMDIMain::mnuDebugStartNew_Click, K(Qt::CTRL | Qt::Key_F5));
    addHandled(debug, QStringLiteral("mnuDebugContinue"), QStringLiteral("&Continue"),
        &frmMDIMain::mnuDebugContinue_Click, K(Qt::SHIFT | Qt::Key_F5));
    addHandled(debug, QStringLiteral("mnuDebugPause"), QStringLiteral("&Pause"), &frmMDIMain::mnuDebugPause_Click);
    addHandled(debug, QStringLiteral("mnuDebugStop"), QStringLiteral("S&top"), &frmMDIMain::mnuDebugStop_Click);
    addItem(debug, QStringLiteral("mnuDebugDivider0"), QStringLiteral("-"));
    addHandled(debug, QStringLiteral("mnuDebugTrace"), QStringLiteral("Show &Trace"), &frmMDIMain::mnuDebugTrace_Click);
    addItem(debug, QStringLiteral("mnuDebugDivider1"), QStringLiteral("-"));
    addHandled(debug, QStringLiteral("mnuDebugBreakPoint"), QStringLiteral("Toogle &Breakpoint"),
        &frmMDIMain::mnuDebugBreakPoint_Click, K(Qt::Key_F9));
    addHandled(debug, QStringLiteral("mnuDebugClearBreakPoints"), QStringLiteral("&Clear All Breakpoints"),
        &frmMDIMain::mnuDebugClearBreakPoints_Click, K(Qt::CTRL | Qt::SHIFT | Qt::Key_F9));
    addHandled(debug, QStringLiteral("mnuDebugStepInto"), QStringLiteral("Step &Into"),
        &frmMDIMain::mnuDebugStepInto_Click, K(Qt::Key_F8));
    addHandled(debug, QStringLiteral("mnuDebugStepOver"), QStringLiteral("Step &Over"),
        &frmMDIMain::mnuDebugStepOver_Click, K(Qt::SHIFT | Qt::Key_F8));
    addHandled(debug, QStringLiteral("mnuDebugStepOut"), QStringLiteral("Step O&ut"),
        &frmMDIMain::mnuDebugStepOut_Click, K(Qt::CTRL | Qt::SHIFT | Qt::Key_F8));
    addHandled(debug, QStringLiteral("mnuDebugJump"), QStringLiteral("&Jump To"), &frmMDIMain::mnuDebugJump_Click,
        K(Qt::CTRL | Qt::Key_J));
    // Show Trace keeps its check mark; its handler toggles it only when a document is active.
    m_items[QStringLiteral("mnuDebugTrace")]->setCheckable(true);
    m_items[QStringLiteral("mnuDebugTrace")]->setChecked(false);
    for (const char* n : {"mnuDebugStart", "mnuDebugStartNew", "mnuDebugPause", "mnuDebugStop", "mnuDebugStepInto",
             "mnuDebugStepOver", "mnuDebugStepOut", "mnuDebugJump", "mnuDebugContinue"})
        m_items[QLatin1String(n)]->setEnabled(false);
    m_items[QStringLiteral("mnuDebugContinue")]->setVisible(false);

    // The catalogue tree's pop-up lives in the menu bar, hidden; the catalogue pane pops it up.
    QMenu* popup = addMenu(nullptr, QStringLiteral("mnuPopuptvOrra"), QStringLiteral("PopUptvOrra"));
    popup->menuAction()->setVisible(false);
    addForeign(popup, QStringLiteral("mnuPopuptvOrraProperties"), QStringLiteral("Proper&ties"));
    addForeign(popup, QStringLiteral("mnuPopuptvOrraManagePermissions"), QStringLiteral("Manage &Permissions"));
    addForeign(popup, QStringLiteral("mnuPopuptvOrraManageSchemas"), QStringLiteral("Manage &Schemas"));
    addItem(popup, QStringLiteral("mnuPopupTVOrraDivider0"), QStringLiteral("-"));
    addForeign(popup, QStringLiteral("mnuPopuptvOrraExecute"), QStringLiteral("&Execute"));
    addItem(popup, QStringLiteral("mnuPopupTVOrraDivider1"), QStringLiteral("-"));
    addForeign(popup, QStringLiteral("mnuPopuptvOrraDependencies"), QStringLiteral("&Dependencies"));
    addForeign(popup, QStringLiteral("mnuPopuptvOrraRefresh"), QStringLiteral("&Refresh"));

    QMenu* tools = addMenu(nullptr, QStringLiteral("mnuTools"), QStringLiteral("&Tools"));
    addHandled(
        tools, QStringLiteral("mnuToolsOptions"), QStringLiteral("&Options"), &frmMDIMain::mnuToolsOptions_Click);

    m_windowMenu = addMenu(nullptr, QStringLiteral("mnuWindow"), QStringLiteral("&Window"));
    addHandled(m_windowMenu, QStringLiteral("mnuWindowCascade"), QStringLiteral("&Cascade"),
        &frmMDIMain::mnuWindowCascade_Click);
    addHandled(m_windowMenu, QStringLiteral("mnuWindowHorizontally"), QStringLiteral("Tile &Horizontally"),
        &frmMDIMain::mnuWindowHorizontally_Click);
    addHandled(m_windowMenu, QStringLiteral("mnuWindowVertically"), QStringLiteral("Tile &Vertically"),
        &frmMDIMain::mnuWindowVertically_Click);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &frmMDIMain::rebuildWindowList);

    QMenu* help = addMenu(nullptr, QStringLiteral("mnuHelp"), QStringLiteral("&Help"));
    addHandled(help, QStringLiteral("mnuHelpContents"), QStringLiteral("&Contents"), &frmMDIMain::mnuHelpContents_Click,
        K(Qt::Key_F1));
    addHandled(help, QStringLiteral("mnuHelpAbout"), QStringLiteral("&About"), &frmMDIMain::mnuHelpAbout_Click);
}

QAction* frmMDIMain::addButton(const QString& key, const QString& tip, const QString& image)
{
    QAction* a = m_tbMain->addAction(toolbarImage(image), tip.isEmpty() ? key : tip);
    a->setObjectName(key);
    a->setToolTip(tip);
    setButtonImage(a, image);
    m_buttons.insert(key, a);
    connect(a, &QAction::triggered, this, [this, key] { tbMain_ButtonClick(key); });
    return a;
}

void frmMDIMain::setButtonImage(QAction* button, const QString& image)
{
    button->setIcon(toolbarImage(image));
    button->setProperty("image", image);
}

void frmMDIMain::buildToolbar()
{
    m_tbMain = new QToolBar(QStringLiteral("Toolbar"), this);
    m_tbMain->setObjectName(QStringLiteral("tbMain"));
    m_tbMain->setIconSize(QSize(20, 20));
    m_tbMain->setMovable(false);
    addToolBar(Qt::TopToolBarArea, m_tbMain);

    addButton(QStringLiteral("Save"), QStringLiteral("Save active document"), QStringLiteral("Save"));
    addButton(QStringLiteral("Refresh"), QStringLiteral("ReLoad active document"), QStringLiteral("Refresh"));
    m_tbMain->addSeparator();
    QAction* tvOrra = addButton(
        QStringLiteral("tvOrra"), QStringLiteral("Show/Hide Object Explorer"), QStringLiteral("ObjectExplorer"));
    QAction* tvDocument = addButton(QStringLiteral("tvDocument"), QStringLiteral("Show / Hide Document Explorer"),
        QStringLiteral("DocumentExplorer"));
    for (QAction* a : {tvOrra, tvDocument}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    m_tbMain->addSeparator();
    addButton(QStringLiteral("AddRepository"), QStringLiteral("Add current Item to the repository"),
        QStringLiteral("AddRepository"));
    addButton(QStringLiteral("Copy"), QStringLiteral("Copy selected item"), QStringLiteral("Copy"));
    addButton(QStringLiteral("Paste"), QStringLiteral("Paste item"), QStringLiteral("Paste"));
    addButton(QStringLiteral("Delete"), QStringLiteral("Delete selected item"), QStringLiteral("Delete"));
    m_tbMain->addSeparator();
    addButton(QStringLiteral("Find"), QString(), QStringLiteral("Find"));
    m_tbMain->addSeparator();
    addButton(QStringLiteral("Parameter"), QStringLiteral("New Paremeter"), QStringLiteral("Parameter"));
    addButton(QStringLiteral("Block"), QStringLiteral("New Block"), QStringLiteral("Block"));
    addButton(QStringLiteral("Station"), QStringLiteral("New Station"), QStringLiteral("Station"));
    addButton(QStringLiteral("Script"), QStringLiteral("New Script"), QStringLiteral("Script"));
    m_tbMain->addSeparator();
    addButton(QStringLiteral("MoveUp"), QStringLiteral("Move selected item up"), QStringLiteral("MoveUp"));
    addButton(QStringLiteral("MoveDown"), QStringLiteral("Move selected item down"), QStringLiteral("MoveDown"));
    m_tbMain->addSeparator();
    addButton(QStringLiteral("RunNew"), QStringLiteral("Run Document on New Connection"), QStringLiteral("ExecNew"))
        ->setEnabled(false);
    addButton(QStringLiteral("Run"), QStringLiteral("Run Document"), QStringLiteral("Exec"))->setEnabled(false);
    QAction* cont = addButton(QStringLiteral("Continue"), QStringLiteral("Continue"), QStringLiteral("Exec"));
    cont->setVisible(false);
    cont->setEnabled(false);
    addButton(QStringLiteral("Pause"), QStringLiteral("Pause Document execution"), QStringLiteral("Pause"))
        ->setEnabled(false);
    addButton(QStringLiteral("Stop"), QStringLiteral("Stop document execution"), QStringLiteral("Stop"))
        ->setEnabled(false);
    m_tbMain->addSeparator();
    addButton(QStringLiteral("BreakPoint"), QStringLiteral("Toggle on/off Breakpoint"), QStringLiteral("BreakPoint"));
    addButton(QStringLiteral("StepInto"), QStringLiteral("Step into current item"), QStringLiteral("StepInto"))
        ->setEnabled(false);
    addButton(QStringLiteral("StepOver"), QStringLiteral("Step over current item"), QStringLiteral("StepOver"))
        ->setEnabled(false);
    addButton(QStringLiteral("StepOut"), QStringLiteral("Step out current item"), QStringLiteral("StepOut"))
        ->setEnabled(false);
    addButton(QStringLiteral("JumpTo"), QStringLiteral("Jump to selected item"), QStringLiteral("JumpTo"))
        ->setEnabled(false);
    m_tbMain->addSeparator();
    QAction* resultPane = addButton(
        QStringLiteral("ShowResultPane"), QStringLiteral("Show/Hide Result Pane"), QStringLiteral("ShowResultPane"));
    resultPane->setCheckable(true);
    resultPane->setChecked(false);

    // The result-style drop-down: its own click does nothing, its entries pick the style.
    auto* styleMenu = new QMenu(this);
    styleMenu->setObjectName(QStringLiteral("ResultStyleMenu"));
    for (const auto& [key, caption] :
        {std::pair{"ResultInText", "Results in Text"}, std::pair{"ResultInGrid", "Results in Grid"}}) {
        QAction* entry = styleMenu->addAction(QLatin1String(caption));
        entry->setObjectName(QLatin1String(key));
        const QString k = QLatin1String(key);
        connect(entry, &QAction::triggered, this, [this, k] { tbMain_ButtonMenuClick(k); });
    }
    auto* styleAction = new QAction(toolbarImage(QStringLiteral("Grid")), QStringLiteral("Select result style"), this);
    styleAction->setObjectName(QStringLiteral("ResultStyle"));
    styleAction->setToolTip(QStringLiteral("Select result style"));
    styleAction->setProperty("image", QStringLiteral("Grid"));
    styleAction->setMenu(styleMenu);
    m_buttons.insert(QStringLiteral("ResultStyle"), styleAction);
    m_resultStyleButton = new QToolButton;
    m_resultStyleButton->setDefaultAction(styleAction);
    m_resultStyleButton->setPopupMode(QToolButton::InstantPopup);
    m_resultStyleButton->setObjectName(QStringLiteral("ResultStyleButton"));
    m_tbMain->addWidget(m_resultStyleButton);
    m_tbMain->addSeparator();

    addButton(QStringLiteral("Outdent"), QStringLiteral("Decrease Indent"), QStringLiteral("Outdent"));
    addButton(QStringLiteral("Indent"), QStringLiteral("Increase Indent"), QStringLiteral("Indent"));
    m_tbMain->addSeparator();
    addButton(QStringLiteral("CommentBlock"), QStringLiteral("Comment Selected Block"), QStringLiteral("CommentBlock"));
    addButton(
        QStringLiteral("UnCommentBlock"), QStringLiteral("UnComment Selected Block"), QStringLiteral("UnCommentBlock"));
    // The toolbar's own overflow button, named for screen readers.
    if (auto* more = m_tbMain->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More buttons"));
    orra::makeToggleButtonsClick(m_tbMain);
}

void frmMDIMain::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatuBar"));
    bar->setAccessibleName(QStringLiteral("Status bar"));
    const std::pair<const char*, int> panels[] = {
        {"State", 160}, {"ID", 160}, {"Line", 90}, {"Server", 140}, {"UserName", 200}};
    for (const auto& [key, width] : panels) {
        auto* label = new QLabel;
        label->setObjectName(QLatin1String(key));
        label->setAccessibleName(QLatin1String(key));   // the panel's text once it has one
        label->setAccessibleDescription(QLatin1String(key));
        label->setMinimumWidth(width);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        bar->addPermanentWidget(label, key == std::string_view("UserName") ? 1 : 0);
        m_panels.insert(QLatin1String(key), label);
    }
    auto* date = new QLabel;
    date->setObjectName(QStringLiteral("Date"));
    date->setFrameShape(QFrame::StyledPanel);
    date->setFrameShadow(QFrame::Sunken);
    date->setMinimumWidth(90);
    date->setAlignment(Qt::AlignCenter);
    const auto showDate = [date] { date->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)); };
    showDate();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, date, showDate);
    timer->start(60 * 1000);
    bar->addPermanentWidget(date);
    m_panels.insert(QStringLiteral("Date"), date);
    bar->setSizeGripEnabled(true);
    if (auto* grip = bar->findChild<QSizeGrip*>()) grip->setAccessibleName(QStringLiteral("Size grip"));
}

void frmMDIMain::buildSideBar()
{
    m_sideBar = new QWidget;
    m_sideBar->setObjectName(QStringLiteral("pbObjectExplorer"));
    m_sideBar->setAccessibleName(QStringLiteral("Object Explorer side bar"));
    m_explorerButton = new ExplorerButton(m_sideBar);
    m_explorerButton->setObjectName(QStringLiteral("pbObjectExplorerButton"));
    m_explorerButton->setAccessibleName(QStringLiteral("Object Explorer"));
    // The strip brings the Object Explorer, as its toolbar button does.
    connect(m_explorerButton, &ExplorerButton::clicked, this, [this] {
        QAction* button = m_buttons.value(QStringLiteral("tvOrra"));
        if (!button) return;
        button->setChecked(true);
        paneButtonClicked(QStringLiteral("tvOrra"), kObjectExplorer, 3);
    });
}

// ---- Life cycle ---------------------------------------------------------------------------

void frmMDIMain::MDIForm_Load()
{
    m_td->attach(this);
    RestoreDockLayout();
    setWindowTitle(windowTitle() + QStringLiteral(" V.") + programVersion());
    LoadEditorSettings();
    DrawExplorerButton();
    EnableDocumentCommands(false);
    m_menus.value(QStringLiteral("mnuDoc"))->setEnabled(false);
    if (QWidget* pane = paneForm(kObjectExplorer)) {
        m_tvOrra = pane->findChild<QWidget*>(QStringLiteral("tvOrra"));
        m_tvRepository = pane->findChild<QWidget*>(QStringLiteral("tvRepository"));
    }
}

void frmMDIMain::MDIForm_Activate()
{
    if (!m_firstActivation) return;
    m_firstActivation = false;
    const auto store = openSettingsStore();
    const std::pair<const char*, const char*> panes[] = {
        {"ShowHidetvDocument", "tvDocument"}, {"ShowHidetvOrra", "tvOrra"}};
    for (const auto& [setting, key] : panes) {
        // A value other than a number counts as hidden, like an absent one.
        const auto shown = toWhole<qint32>(
            GetSetting(*store, QStringLiteral("Main Settings"), QLatin1String(setting), QStringLiteral("0")));
        if (!shown || *shown == 0) {
            m_buttons.value(QLatin1String(key))->setChecked(false);
            tbMain_ButtonClick(QLatin1String(key));
        }
    }
}

void frmMDIMain::MDIForm_Unload()
{
    if (m_unloaded) return;
    m_unloaded = true;
    SaveSettings();
}

bool frmMDIMain::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) MDIForm_Activate();
    return QMainWindow::event(e);
}

void frmMDIMain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    // Without a window manager a window may never be activated: the first show stands in.
    if (m_firstActivation) QTimer::singleShot(0, this, &frmMDIMain::MDIForm_Activate);
}

bool frmMDIMain::closeDocumentWindows()
{
    for (QMdiSubWindow* sub : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        m_mdi->setActiveSubWindow(sub);
        if (!sub->close()) return false;   // it refused (a failed save, or Cancel)
    }
    return true;
}

void frmMDIMain::closeEvent(QCloseEvent* e)
{
    if (!closeDocumentWindows()) {
        e->ignore();
        return;
    }
    MDIForm_Unload();
    e->accept();
}

void frmMDIMain::mnuFileExit_Click()
{
    if (m_exitWait) m_exitWait->stop();
    m_exitWaitsFor.clear();
    // The main window first: its document windows may ask to save; one that refuses stops Exit,
    // unless it only put its close off until its run has unwound.
    if (!close()) {
        for (QWidget* w : documentWindows())
            if (w->property("ClosePending").toBool()) m_exitWaitsFor.append(w);
        if (m_exitWaitsFor.isEmpty()) return;
        if (!m_exitWait) {
            m_exitWait = new QTimer(this);
            m_exitWait->setInterval(50);
            connect(m_exitWait, &QTimer::timeout, this, &frmMDIMain::exitAfterRuns);
        }
        m_exitWait->start();
        return;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible()) continue;
        w->raise();
        w->close();   // a window that only hides itself (the free-standing text window) is done too
    }
    QCoreApplication::quit();
}

void frmMDIMain::exitAfterRuns()
{
    bool gone = true;
    for (const QPointer<QWidget>& w : std::as_const(m_exitWaitsFor)) {
        if (!w) continue;
        if (w->property("ClosePending").toBool()) return;   // still unwinding
        gone = false;
    }
    m_exitWait->stop();
    m_exitWaitsFor.clear();
    if (gone) mnuFileExit_Click();
}

// ---- Panes --------------------------------------------------------------------------------

QWidget* frmMDIMain::paneForm(const QString& formName)
{
    if (formName != kObjectExplorer && formName != kDocumentExplorer) return nullptr;
    QPointer<QWidget>& form = m_paneForms[formName];
    if (!form) {
        form = createPane(formName, nullptr);
        if (form->windowTitle().isEmpty())
            form->setWindowTitle(
                formName == kObjectExplorer ? QStringLiteral("Object Explorer") : QStringLiteral("Document Explorer"));
        if (form->accessibleName().isEmpty()) form->setAccessibleName(form->windowTitle());
    }
    return form;
}

bool frmMDIMain::IsPaneLoaded(const QString& formName) const
{
    for (int i = 1; i <= m_td->paneCount(); ++i)
        if (m_td->paneName(i) == formName) return true;
    return false;
}

void frmMDIMain::paneClosed(QWidget* pane)
{
    if (!pane) return;
    if (pane->objectName() == kObjectExplorer)
        m_buttons.value(QStringLiteral("tvOrra"))->setChecked(false);
    else if (pane->objectName() == kDocumentExplorer)
        m_buttons.value(QStringLiteral("tvDocument"))->setChecked(false);
}

void frmMDIMain::paneButtonClicked(const QString& key, const QString& formName, int panel)
{
    const bool pressed = m_buttons.value(key)->isChecked();
    try {
        if (pressed) {
            if (IsPaneLoaded(formName))
                m_td->showPane(formName);
            else
                m_td->addPane(paneForm(formName), orra::DockHost::Docked, panel, formName, kPaneStyle);
            watchExplorerPane();
        } else if (IsPaneLoaded(formName)) {
            m_td->hidePane(formName);
        }
    } catch (const orra::Error& e) {
        showMessage(e.description());
    }
}

void frmMDIMain::watchExplorerPane()
{
    QDockWidget* dock = m_td->dockOf(kObjectExplorer);
    if (!dock) return;
    connect(dock, &QDockWidget::visibilityChanged, this, &frmMDIMain::updateSideBar, Qt::UniqueConnection);
    connect(dock, &QDockWidget::topLevelChanged, this, &frmMDIMain::updateSideBar, Qt::UniqueConnection);
    updateSideBar();
}

void frmMDIMain::updateSideBar()
{
    QDockWidget* dock = m_td->dockOf(kObjectExplorer);
    m_sideBar->setVisible(!dock || dock->isFloating() || !dock->isVisible());
}

// ---- Settings -----------------------------------------------------------------------------

void frmMDIMain::RestoreDockLayout()
{
    const auto store = openSettingsStore();
    for (int i = 1; i <= orra::DockHost::kPanelCount; ++i) {
        const QString panel = QStringLiteral("Panels\\%1").arg(i);
        const auto count =
            toWhole<qint32>(GetSetting(*store, panel, QStringLiteral("WindowsCount"), QStringLiteral("0")));
        if (!count) continue;
        for (int j : storedPaneSlots(*store, panel, *count)) {
            const QString key =
                GetSetting(*store, panel + QStringLiteral("\\Windows\\%1").arg(j), QStringLiteral("Key"));
            if ((key != kObjectExplorer && key != kDocumentExplorer) || IsPaneLoaded(key)) continue;
            try {
                m_td->addPane(paneForm(key), orra::DockHost::Docked, i, key, kPaneStyle);
                watchExplorerPane();
            } catch (const orra::Error&) {
                // a pane that cannot be added is left out; the rest of the layout goes on
            }
        }
    }
    for (const QString& key : GetAllSettings(*store, QStringLiteral("Panels\\5"))) {
        if ((key != kObjectExplorer && key != kDocumentExplorer) || IsPaneLoaded(key)) continue;
        try {
            m_td->addPane(paneForm(key), orra::DockHost::Floating, key == kObjectExplorer ? 3 : 4, key, kPaneStyle);
            watchExplorerPane();
        } catch (const orra::Error&) {
        }
    }
    m_td->arrange();
    for (int i = 1; i <= orra::DockHost::kPanelCount; ++i) {
        const QString name = i <= 2 ? QStringLiteral("Height") : QStringLiteral("Width");
        const QString current = QString::number(m_td->panelSize(i));
        if (const auto size = toWholeIn<qint16>(GetSetting(*store, QStringLiteral("Panels\\%1").arg(i), name, current),
                0, std::numeric_limits<qint16>::max()))
            m_td->setPanelSize(i, *size);
    }
    m_firstActivation = true;
}

void frmMDIMain::LoadEditorSettings()
{
    const auto store = openSettingsStore();
    EditorOptions& o = editorOptions();
    const auto readColor = [&](const QString& section, const char* key, std::int32_t& slot, std::int32_t def) {
        const QString text = GetSetting(*store, section, QLatin1String(key), QStringLiteral("null"));
        if (text == QLatin1String("null"))
            slot = def;
        else if (const auto v = toWholeIn<std::int32_t>(text, 0, kMaxColor))
            slot = *v;
    };
    for (int i = 0; i < SqlColorCount; ++i)
        readColor(QStringLiteral("SQLColors"), kSqlColorKeys[size_t(i)], o.SQLColors[size_t(i)],
            kSqlColorDefaults[size_t(i)]);
    for (int i = 0; i < ScriptColorCount; ++i)
        readColor(QStringLiteral("ScriptColors"), kScriptColorKeys[size_t(i)], o.ScriptColors[size_t(i)],
            kScriptColorDefaults[size_t(i)]);

    const auto readFont = [&](const QString& section, EditorFont& font) {
        font.name = GetSetting(*store, section, QStringLiteral("Name"), QStringLiteral("Verdana"));
        if (const auto v = toWholeIn<qint16>(
                GetSetting(*store, section, QStringLiteral("Size"), QStringLiteral("10")), 1, kMaxFontSize))
            font.size = *v;
        if (const auto v = toFlag(GetSetting(*store, section, QStringLiteral("Bold"), QStringLiteral("0"))))
            font.bold = *v;
        if (const auto v = toFlag(GetSetting(*store, section, QStringLiteral("Italic"), QStringLiteral("0"))))
            font.italic = *v;
    };
    readFont(QStringLiteral("SQLFont"), o.SQLFont);
    readFont(QStringLiteral("ScriptFont"), o.ScriptFont);
    o.RtfColorTable = BuildRtfColorTable(o);
    for (int i = 1; i <= 10; ++i)
        o.QueryShortcuts[size_t(i - 1)] = GetSetting(*store, QStringLiteral("ShortCuts"), QString::number(i));
}

bool frmMDIMain::SaveSettings()
{
    const auto store = openSettingsStore();
    for (int i = 1; i <= m_td->panelCount(); ++i) {
        const QString panel = QStringLiteral("Panels\\%1").arg(i);
        SaveSetting(*store, panel, i <= 2 ? QStringLiteral("Height") : QStringLiteral("Width"),
            QString::number(m_td->panelSize(i)));
        // The old list goes with its section, whatever count it claimed.
        DeleteSetting(*store, panel + QStringLiteral("\\Windows"));
        const QStringList panes = m_td->panelPanes(i);
        SaveSetting(*store, panel, QStringLiteral("WindowsCount"), QString::number(panes.size()));
        for (int j = 1; j <= panes.size(); ++j)
            SaveSetting(*store, panel + QStringLiteral("\\Windows\\%1").arg(j), QStringLiteral("Key"), panes[j - 1]);
    }
    DeleteSetting(*store, QStringLiteral("Panels\\%1").arg(m_td->panelCount() + 1));
    for (int i = 1; i <= m_td->paneCount(); ++i)
        if (m_td->paneState(i) == orra::DockHost::Floating)
            SaveSetting(*store, QStringLiteral("Panels\\5"), m_td->paneName(i), QStringLiteral("1"));

    const QString main = QStringLiteral("Main Settings");
    SaveSetting(*store, main, QStringLiteral("ShowHidetvOrra"),
        flagText(m_buttons.value(QStringLiteral("tvOrra"))->isChecked()));
    SaveSetting(*store, main, QStringLiteral("ShowHidetvDocument"),
        flagText(m_buttons.value(QStringLiteral("tvDocument"))->isChecked()));
    SaveSetting(*store, main, QStringLiteral("Server"), catalogueServerName());
    SaveSetting(*store, main, QStringLiteral("Database"), catalogueDatabaseName());

    const EditorOptions& o = editorOptions();
    for (int i = 0; i < SqlColorCount; ++i)
        SaveSetting(*store, QStringLiteral("SQLColors"), QLatin1String(kSqlColorKeys[size_t(i)]),
            QString::number(o.SQLColors[size_t(i)]));
    for (int i = 0; i < ScriptColorCount; ++i)
        SaveSetting(*store, QStringLiteral("ScriptColors"), QLatin1String(kScriptColorKeys[size_t(i)]),
            QString::number(o.ScriptColors[size_t(i)]));
    for (const auto& [section, font] :
        {std::pair{QStringLiteral("SQLFont"), &o.SQLFont}, std::pair{QStringLiteral("ScriptFont"), &o.ScriptFont}}) {
        SaveSetting(*store, section, QStringLiteral("Name"), font->name);
        SaveSetting(*store, section, QStringLiteral("Size"), QString::number(font->size));
        SaveSetting(*store, section, QStringLiteral("Bold"), flagText(font->bold));
        SaveSetting(*store, section, QStringLiteral("Italic"), flagText(font->italic));
    }
    for (int i = 1; i <= 10; ++i)
        SaveSetting(*store, QStringLiteral("ShortCuts"), QString::number(i), o.QueryShortcuts[size_t(i - 1)]);

    // The store reaches its file in one replacement; a refusal is reported, not swallowed.
    store->sync();
    if (store->status() != QSettings::NoError) {
        showMessage(QStringLiteral("The settings could not be saved to %1.").arg(store->fileName()));
        return false;
    }
    return true;
}

// ---- Document windows ---------------------------------------------------------------------

QMdiSubWindow* frmMDIMain::addDocumentWindow(QWidget* window)
{
    QMdiSubWindow* sub = m_mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // The program's icon, not the toolkit's, on the document's title bar.
    if (!windowIcon().isNull()) sub->setWindowIcon(windowIcon());
    return sub;
}

QList<QWidget*> frmMDIMain::documentWindows() const
{
    QList<QWidget*> windows;
    for (QMdiSubWindow* sub : m_mdi->subWindowList(QMdiArea::CreationOrder))
        if (sub->widget()) windows.append(sub->widget());
    return windows;
}

QWidget* frmMDIMain::activeDocumentWindow() const
{
    QMdiSubWindow* sub = m_mdi->currentSubWindow();
    return sub ? sub->widget() : nullptr;
}

bool frmMDIMain::isEditorWindow(const QWidget* window)
{
    return window && window->objectName() == QLatin1String("frmOrraDevelopment");
}

bool frmMDIMain::callActiveWindow(const char* member, const QVariantList& args, QVariant* result)
{
    QWidget* window = activeDocumentWindow();
    if (!window) return false;
    const QByteArray name(member);
    QStringList types;
    for (const QVariant& a : args) types.append(QLatin1String(a.metaType().name()));
    const QMetaObject* meta = window->metaObject();
    for (int m = 0; m < meta->methodCount(); ++m) {
        const QMetaMethod method = meta->method(m);
        if (method.name() != name || method.parameterCount() != args.size()) continue;
        if (method.methodType() != QMetaMethod::Method && method.methodType() != QMetaMethod::Slot) continue;
        QVariantList converted = args;
        bool fits = true;
        for (int i = 0; i < args.size(); ++i) fits = fits && converted[i].convert(method.parameterMetaType(i));
        if (!fits) continue;
        QGenericArgument a[2];
        for (int i = 0; i < converted.size() && i < 2; ++i)
            a[i] = QGenericArgument(method.parameterMetaType(i).name(), converted[i].constData());
        QVariant ret;
        QGenericReturnArgument r;
        if (method.returnMetaType().isValid() && method.returnMetaType().id() != QMetaType::Void) {
            ret = QVariant(method.returnMetaType());
            r = QGenericReturnArgument(method.returnMetaType().name(), ret.data());
        }
        bool ok = false;
        try {
            ok = method.invoke(window, Qt::DirectConnection, r, a[0], a[1]);
        } catch (const orra::Error& e) {
            ShowSystemError(e);
            return false;
        } catch (const std::exception& e) {
            showMessage(QString::fromLocal8Bit(e.what()));
            return false;
        }
        if (!ok) break;
        if (result) *result = ret;
        return true;
    }
    showMessage(QStringLiteral("The window \"%1\" cannot do this: it has no operation %2(%3).")
                    .arg(window->windowTitle(), QString::fromLatin1(name), types.join(QStringLiteral(", "))));
    return false;
}

// ---- Menus and toolbar --------------------------------------------------------------------

QAction* frmMDIMain::menuItem(const QString& name) const
{
    if (QAction* a = m_items.value(name)) return a;
    if (QMenu* m = m_menus.value(name)) return m->menuAction();
    return nullptr;
}

QMenu* frmMDIMain::menu(const QString& name) const { return m_menus.value(name); }

QAction* frmMDIMain::toolbarButton(const QString& key) const { return m_buttons.value(key); }

QString frmMDIMain::toolbarButtonImage(const QString& key) const
{
    QAction* a = m_buttons.value(key);
    return a ? a->property("image").toString() : QString();
}

const QStringList& frmMDIMain::documentCommandKeys()
{
    static const QStringList keys{QStringLiteral("Save"), QStringLiteral("Refresh"), QStringLiteral("Block"),
        QStringLiteral("Station"), QStringLiteral("Parameter"), QStringLiteral("Script"), QStringLiteral("Delete"),
        QStringLiteral("Find"), QStringLiteral("AddRepository"), QStringLiteral("Copy"), QStringLiteral("Paste"),
        QStringLiteral("MoveUp"), QStringLiteral("MoveDown"), QStringLiteral("CommentBlock"),
        QStringLiteral("UnCommentBlock"), QStringLiteral("Outdent"), QStringLiteral("Indent")};
    return keys;
}

void frmMDIMain::EnableDocumentCommands(bool enabled)
{
    for (const QString& key : documentCommandKeys()) EnableToolbarButton(key, enabled);
}

void frmMDIMain::EnableToolbarButton(const QString& key, bool enabled)
{
    QAction* a = m_buttons.value(key);
    if (!a)
        throw orra::Error(
            orra::kSystemError, kSource, QStringLiteral("The toolbar has no button with the key %1.").arg(key));
    a->setEnabled(enabled);
}

void frmMDIMain::SetDebugButtons(bool running)
{
    const auto item = [this](const char* n) { return m_items.value(QLatin1String(n)); };
    const auto button = [this](const char* k) { return m_buttons.value(QLatin1String(k)); };
    item("mnuDebugStart")->setEnabled(!running);
    item("mnuDebugStart")->setVisible(!running);
    item("mnuDebugStartNew")->setEnabled(!running);
    item("mnuDebugContinue")->setEnabled(running);
    item("mnuDebugContinue")->setVisible(running);
    for (const char* n : {"mnuDebugPause", "mnuDebugStop", "mnuDebugStepInto", "mnuDebugStepOver", "mnuDebugStepOut"})
        item(n)->setEnabled(running);
    button("Run")->setEnabled(!running);
    button("Run")->setVisible(!running);
    button("RunNew")->setEnabled(!running);
    button("Continue")->setEnabled(running);
    button("Continue")->setVisible(running);
    for (const char* k : {"Pause", "Stop", "StepInto", "StepOut", "StepOver"}) button(k)->setEnabled(running);
}

void frmMDIMain::SetState(int state)
{
    static const char* const texts[] = {"", "Running Document", "Executing...", "Getting Results...", "Canceling..."};
    if (state < 0 || state > 4) return;
    setPanelText(QStringLiteral("State"), QLatin1String(texts[state]));
}

void frmMDIMain::tbMain_ButtonClick(const QString& key)
{
    using Handler = void (frmMDIMain::*)();
    static const QHash<QString, Handler> twins{
        {QStringLiteral("Save"), &frmMDIMain::mnuFileSave_Click},
        {QStringLiteral("Refresh"), &frmMDIMain::mnuFileRefresh_Click},
        {QStringLiteral("Block"), &frmMDIMain::mnuDocNewBlock_Click},
        {QStringLiteral("Parameter"), &frmMDIMain::mnuDocNewParameter_Click},
        {QStringLiteral("Station"), &frmMDIMain::mnuDocNewStation_Click},
        {QStringLiteral("Script"), &frmMDIMain::mnuDocNewScript_Click},
        {QStringLiteral("Delete"), &frmMDIMain::mnuDocDelete_Click},
        {QStringLiteral("Find"), &frmMDIMain::mnuDocFind_Click},
        {QStringLiteral("AddRepository"), &frmMDIMain::mnuDocAddRepository_Click},
        {QStringLiteral("Copy"), &frmMDIMain::mnuDocCopy_Click},
        {QStringLiteral("Paste"), &frmMDIMain::mnuDocPaste_Click},
        {QStringLiteral("Run"), &frmMDIMain::mnuDebugStart_Click},
        {QStringLiteral("RunNew"), &frmMDIMain::mnuDebugStartNew_Click},
        {QStringLiteral("Continue"), &frmMDIMain::mnuDebugContinue_Click},
        {QStringLiteral("Pause"), &frmMDIMain::mnuDebugPause_Click},
        {QStringLiteral("Stop"), &frmMDIMain::mnuDebugStop_Click},
        {QStringLiteral("BreakPoint"), &frmMDIMain::mnuDebugBreakPoint_Click},
        {QStringLiteral("StepInto"), &frmMDIMain::mnuDebugStepInto_Click},
        {QStringLiteral("StepOver"), &frmMDIMain::mnuDebugStepOver_Click},
        {QStringLiteral("StepOut"), &frmMDIMain::mnuDebugStepOut_Click},
        {QStringLiteral("JumpTo"), &frmMDIMain::mnuDebugJump_Click},
        {QStringLiteral("Outdent"), &frmMDIMain::mnuDocOutdent_Click},
        {QStringLiteral("Indent"), &frmMDIMain::mnuDocIndent_Click},
        {QStringLiteral("CommentBlock"), &frmMDIMain::mnuDocComment_Click},
        {QStringLiteral("UnCommentBlock"), &frmMDIMain::mnuDocUnComment_Click},
    };
    if (const auto it = twins.constFind(key); it != twins.constEnd()) {
        (this->*(*it))();
    } else if (key == QLatin1String("tvOrra")) {
        paneButtonClicked(key, kObjectExplorer, 3);
    } else if (key == QLatin1String("tvDocument")) {
        paneButtonClicked(key, kDocumentExplorer, 4);
    } else if (key == QLatin1String("MoveUp")) {
        callActiveWindow("MoveUpBlock");
    } else if (key == QLatin1String("MoveDown")) {
        callActiveWindow("MoveDownBlock");
    } else if (key == QLatin1String("ShowResultPane")) {
        if (activeDocumentWindow()) callActiveWindow("ShowHideResultPane", {m_buttons.value(key)->isChecked()});
    }
    // Any other key: nothing.
}

void frmMDIMain::tbMain_ButtonMenuClick(const QString& key)
{
    if (!activeDocumentWindow()) return;
    QAction* style = m_buttons.value(QStringLiteral("ResultStyle"));
    if (key == QLatin1String("ResultInText")) {
        setButtonImage(style, QStringLiteral("Text"));
        callActiveWindow("ChangeResultStyle", {QStringLiteral("ResultInText")});
    } else if (key == QLatin1String("ResultInGrid")) {
        setButtonImage(style, QStringLiteral("Grid"));
        callActiveWindow("ChangeResultStyle", {QStringLiteral("ResultInGrid")});
    }
}

// The unguarded commands of the original rely on being disabled while no document window is
// active; here every one of them has the guard too (callActiveWindow does nothing without one).
void frmMDIMain::mnuFileSave_Click() { callActiveWindow("Save"); }
void frmMDIMain::mnuFileRefresh_Click() { callActiveWindow("ReLoad"); }
void frmMDIMain::mnuDocNewParameter_Click() { callActiveWindow("AddParameter"); }
void frmMDIMain::mnuDocNewBlock_Click() { callActiveWindow("AddBlock"); }
void frmMDIMain::mnuDocNewStation_Click() { callActiveWindow("AddStation"); }
void frmMDIMain::mnuDocNewScript_Click() { callActiveWindow("AddScript"); }
void frmMDIMain::mnuDocOpenInclude_Click() { callActiveWindow("OpenIncludedDocument"); }
void frmMDIMain::mnuDocCopy_Click() { callActiveWindow("CopyElement"); }
void frmMDIMain::mnuDocPaste_Click() { callActiveWindow("PasteElement"); }
void frmMDIMain::mnuDocDelete_Click() { callActiveWindow("RemoveElement"); }
void frmMDIMain::mnuDocIndent_Click() { callActiveWindow("IndentBlock"); }
void frmMDIMain::mnuDocOutdent_Click() { callActiveWindow("OutdentBlock"); }
void frmMDIMain::mnuDocComment_Click() { callActiveWindow("CommentBlock"); }
void frmMDIMain::mnuDocUnComment_Click() { callActiveWindow("UnCommentBlock"); }
void frmMDIMain::mnuDebugStart_Click() { callActiveWindow("SetDebugMode", {true}); }
void frmMDIMain::mnuDebugStartNew_Click() { callActiveWindow("SetDebugMode", {true, true}); }
void frmMDIMain::mnuDebugContinue_Click() { callActiveWindow("StepInto", {3}); }
void frmMDIMain::mnuDebugPause_Click() { callActiveWindow("PauseDocument"); }
void frmMDIMain::mnuDebugStop_Click() { callActiveWindow("SetDebugMode", {false}); }
void frmMDIMain::mnuDebugBreakPoint_Click() { callActiveWindow("CheckBreakPoint"); }
void frmMDIMain::mnuDebugClearBreakPoints_Click() { callActiveWindow("RemoveAllBreakPoints"); }
void frmMDIMain::mnuDebugStepInto_Click() { callActiveWindow("StepInto", {0}); }
void frmMDIMain::mnuDebugStepOver_Click() { callActiveWindow("StepInto", {1}); }
void frmMDIMain::mnuDebugStepOut_Click() { callActiveWindow("StepInto", {2}); }
void frmMDIMain::mnuDebugJump_Click() { callActiveWindow("JumpTo"); }

void frmMDIMain::mnuDebugTrace_Click()
{
    QAction* trace = m_items.value(QStringLiteral("mnuDebugTrace"));
    // The menu has already flipped the check mark; without a document it is put back.
    if (!activeDocumentWindow()) {
        trace->setChecked(!trace->isChecked());
        return;
    }
    callActiveWindow("SetTraceMode", {trace->isChecked()});
}

void frmMDIMain::mnuDocAddRepository_Click()
{
    QVariant stored;
    if (!callActiveWindow("CopyToRepository", {}, &stored) || !stored.toBool()) return;
    QWidget* pane = paneForm(kObjectExplorer);
    if (!QMetaObject::invokeMethod(pane, "UpdateTvRepository", Qt::DirectConnection))
        showMessage(QStringLiteral("The Object Explorer cannot do this: it has no operation UpdateTvRepository()."));
}

void frmMDIMain::openFindDialog(int mode)
{
    QWidget* window = activeDocumentWindow();
    if (!isEditorWindow(window)) return;
    // One find dialog for the session: it keeps what was searched for last.
    QPointer<QWidget>& dialog = m_findDialog;
    if (!dialog) dialog = createDialog(QStringLiteral("frmFindReplace"), nullptr);
    if (!dialog) {
        showMessage(QStringLiteral("The command \"%1\" is not available yet.").arg(mode == 0 ? "Find" : "Replace"));
        return;
    }
    if (!dialog->setProperty("TypeOfAction", mode)
        || !dialog->setProperty("SearchDoc", QVariant::fromValue<QObject*>(window))) {
        showMessage(QStringLiteral("The find dialog has no property TypeOfAction or SearchDoc."));
        return;
    }
    if (auto* editor = qobject_cast<QPlainTextEdit*>(window->focusWidget())) {
        QString selected = editor->textCursor().selectedText();
        selected.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
        // Nothing selected leaves the field as it was (its first text, or the last search).
        if (auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("txtFindWhat")); field && !selected.isEmpty())
            field->setText(selected);
    }
    if (auto* d = qobject_cast<QDialog*>(dialog.data()))
        d->exec();
    else
        dialog->show();
}

void frmMDIMain::mnuDocFind_Click() { openFindDialog(0); }
void frmMDIMain::mnuDocReplace_Click() { openFindDialog(1); }

void frmMDIMain::mnuHelpContents_Click() { ShowHelpContents(); }

void frmMDIMain::mnuHelpAbout_Click()
{
    frmAbout about;   // modal, no owner
    about.exec();
}

void frmMDIMain::mnuToolsOptions_Click()
{
    // The dialog may be replaced by a registered one (tests); by default it is the shell's own.
    QWidget* options = createDialog(QStringLiteral("frmOptions"), this);
    if (!options) options = new frmOptions(this);
    if (auto* d = qobject_cast<QDialog*>(options)) d->exec();
    delete options;
    SaveSettings();
    if (activeDocumentWindow()) callActiveWindow("ApplySettings");
}

void frmMDIMain::mnuWindowCascade_Click() { m_mdi->cascadeSubWindows(); }
void frmMDIMain::mnuWindowHorizontally_Click() { tileWindows(Qt::Vertical); }
void frmMDIMain::mnuWindowVertically_Click() { tileWindows(Qt::Horizontal); }

// Tile horizontally stacks the windows one above the other, each as wide as the area; tile
// vertically sets them side by side, each as high as the area.
void frmMDIMain::tileWindows(Qt::Orientation stacking)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : m_mdi->subWindowList(QMdiArea::StackingOrder))
        if (sub->isVisible() && !sub->isMinimized()) windows.append(sub);
    if (windows.isEmpty()) return;
    const QRect area = m_mdi->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = windows[i];
        if (sub->isMaximized()) sub->showNormal();
        if (stacking == Qt::Vertical) {
            const int h = area.height() / n;
            sub->setGeometry(0, i * h, area.width(), i == n - 1 ? area.height() - i * h : h);
        } else {
            const int w = area.width() / n;
            sub->setGeometry(i * w, 0, i == n - 1 ? area.width() - i * w : w, area.height());
        }
    }
}

void frmMDIMain::rebuildWindowList()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty()) return;
    m_windowListActions.append(m_windowMenu->addSeparator());
    int n = 0;
    for (QMdiSubWindow* sub : windows) {
        QAction* a = m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(++n).arg(sub->windowTitle()));
        a->setCheckable(true);
        a->setChecked(sub == m_mdi->currentSubWindow());
        connect(a, &QAction::triggered, this, [this, sub = QPointer<QMdiSubWindow>(sub)] {
            if (sub) m_mdi->setActiveSubWindow(sub);
        });
        m_windowListActions.append(a);
    }
}

// ---- Status bar ---------------------------------------------------------------------------

QString frmMDIMain::panelText(const QString& key) const
{
    QLabel* label = m_panels.value(key);
    return label ? label->text() : QString();
}

void frmMDIMain::setPanelText(const QString& key, const QString& text)
{
    QLabel* label = m_panels.value(key);
    if (!label)
        throw orra::Error(
            orra::kSystemError, kSource, QStringLiteral("The status bar has no panel with the key %1.").arg(key));
    label->setText(text);
    label->setAccessibleName(text.isEmpty() ? key : text);
}

void frmMDIMain::UpdatePanelLine(QPlainTextEdit* rtfText)
{
    if (!rtfText)
        throw orra::Error(orra::kSystemError, kSource, QStringLiteral("UpdatePanelLine was given no text editor."));
    const int position = rtfText->textCursor().selectionStart();
    const int line = rtfText->document()->findBlock(position).blockNumber();
    setPanelText(QStringLiteral("Line"), QStringLiteral("Line: %1").arg(line + 1));
}

void frmMDIMain::UpdatePanelUser(orra::db::Connection& mCon)
{
    orra::db::RecordsetPtr rs =
        mCon.execute(QStringLiteral("select SUser_SName() + ' (' + cast(@@SPID as varchar(10)) + ')'"));
    if (!rs || !rs->isOpen() || rs->isEOF())
        throw orra::Error(
            orra::kSystemError, kSource, QStringLiteral("The server did not name the login of the connection."));
    setPanelText(QStringLiteral("UserName"), rs->value(0).toString());
}

// ---- Side bar -----------------------------------------------------------------------------

void frmMDIMain::DrawExplorerButton()
{
    // Positions are given in twips, as the side bar's layout was drawn.
    const double twip = logicalDpiX() / 1440.0;
    m_explorerButton->move(int(std::lround(30 * twip)), int(std::lround(30 * twip)));
    m_sideBar->setFixedWidth(m_explorerButton->width() + int(std::lround(60 * twip)));
    m_explorerButton->clear();
    m_explorerButton->printRotated(QStringLiteral("Object Explorer"),
        float(m_explorerButton->width() / 2.0 + 100 * twip), float(250 * twip), QStringLiteral("Tahoma"), 10, 270, 400);
}

}   // namespace morvane
