// The editor window's life cycle in a main window (activation, the close question, the lock),
// the element-tree pane, the layout and the editor options.

#include "EditorFixture.h"

#include "designer/editor/DocumentTree.h"
#include "designer/editor/MainWindowLink.h"
#include "designer/editor/frmtvDocument.h"
#include "designer/catalogue/frmpbOrra.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/mdMain.h"
#include "platform/widgets/KeyedTree.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QMenu>
#include <QTest>

namespace orra::test {
namespace {

using morvane::frmOrraDevelopment;
using morvane::frmtvDocument;

QString simple(const QString& name)
{
    return QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[%1]]>"
                          "<Block ID=\"B0.0\" Name=\"%1 block\"><![CDATA[select 1]]></Block></Document>")
        .arg(name);
}

class EditorWindowTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        addDocument(1, 1, QStringLiteral("First"), simple("First"));
        addDocument(2, 1, QStringLiteral("Second"), simple("Second"));
        addDocument(3, 1, QStringLiteral("Third"), simple("Third"));
    }
    // Closes the window's sub-window; true when it closed.
    bool closeWindow(frmOrraDevelopment* w)
    {
        QPointer<QMdiSubWindow> sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
        sub->close();
        QApplication::processEvents();
        return !sub || !sub->isVisible();
    }
    bool menuEnabled(const char* name)
    {
        if (QLatin1String(name) == QLatin1String("mnuDoc")) return main->menu("mnuDoc")->menuAction()->isEnabled();
        QAction* a = main->menuItem(QLatin1String(name));
        EXPECT_TRUE(a) << name;
        return a && a->isEnabled();
    }
    bool buttonEnabled(const char* key)
    {
        QAction* b = main->toolbarButton(QLatin1String(key));
        EXPECT_TRUE(b) << key;
        return b && b->isEnabled();
    }
};

TEST_F(EditorWindowTest, UnchangedWindowClosesWithoutQuestionAndReleasesItsLock)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    EXPECT_EQ(lockCount(1), 1);
    EXPECT_TRUE(closeWindow(w));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(lockCount(1), 0);
}

TEST_F(EditorWindowTest, CloseQuestionCancelKeepsWindowEditsAndLock)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    xml::setAttribute(w->document()->documentElement(), "Server", "edited");
    w->setDocumentChanged(true);
    ui.answers = {vbCancel};
    EXPECT_FALSE(closeWindow(w));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Save Changes ?");
    EXPECT_EQ(ui.boxes[0].style, vbYesNoCancel);
    EXPECT_EQ(ui.boxes[0].title, "Document 1");
    EXPECT_TRUE(w->documentChanged());
    EXPECT_EQ(xml::attribute(w->document()->documentElement(), "Server"), "edited");
    EXPECT_EQ(lockCount(1), 1);
    EXPECT_TRUE(w->tvDocument()->isVisibleTo(frmtvDocument::instance()));
}

TEST_F(EditorWindowTest, CloseQuestionNoClosesWithoutSaving)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    xml::setAttribute(w->document()->documentElement(), "Server", "edited");
    w->setDocumentChanged(true);
    ui.answers = {vbNo};
    EXPECT_TRUE(closeWindow(w));
    EXPECT_EQ(storedText(1), simple("First"));
    EXPECT_EQ(lockCount(1), 0);
}

TEST_F(EditorWindowTest, CloseQuestionYesSavesAndCloses)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    xml::setAttribute(w->document()->documentElement(), "Server", "edited");
    w->setDocumentChanged(true);
    ui.answers = {vbYes};
    EXPECT_TRUE(closeWindow(w));
    EXPECT_EQ(ui.texts(), QStringList({"Save Changes ?"}));
    EXPECT_TRUE(storedText(1).contains("Server=\"edited\""));
    EXPECT_EQ(storedCheckSum(1), independentCheckSum(1));
    EXPECT_EQ(lockCount(1), 0);
}

TEST_F(EditorWindowTest, CloseQuestionYesWithFailingSaveKeepsTheWindowOpen)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    xml::Node inc = xml::appendElement(w->document()->documentElement(), "Include");
    xml::setAttribute(inc, "ID", "B0.I0");
    w->setDocumentChanged(true);
    ui.answers = {vbYes};
    EXPECT_FALSE(closeWindow(w));
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_TRUE(w->documentChanged());
    EXPECT_EQ(storedText(1), simple("First"));
    EXPECT_EQ(lockCount(1), 1);
    // No: now it goes.
    ui.answers = {vbNo};
    EXPECT_TRUE(closeWindow(w));
    EXPECT_EQ(lockCount(1), 0);
}

TEST_F(EditorWindowTest, ActivationSwitchesTheMainWindowsCommandsBetweenWindows)
{
    frmOrraDevelopment* first = openInMain(1);
    ASSERT_TRUE(first);
    QPointer<QTreeWidget> firstTree = first->tvDocument();
    EXPECT_EQ(firstTree->parentWidget(), frmtvDocument::instance());
    EXPECT_TRUE(firstTree->isVisibleTo(frmtvDocument::instance()));
    for (const char* name : {"mnuDoc", "mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh"})
        EXPECT_TRUE(menuEnabled(name)) << name;
    EXPECT_TRUE(buttonEnabled("Save"));
    EXPECT_TRUE(buttonEnabled("Refresh"));
    EXPECT_FALSE(main->toolbarButton("ShowResultPane")->isChecked());
    EXPECT_EQ(main->panelText("ID"), "ID:B0");

    frmOrraDevelopment* second = openInMain(2);
    ASSERT_TRUE(second);
    // The first window's deactivation switched everything off, the second's activation
    // switched the File items, the Document menu, Save, Refresh and the debug buttons back on.
    EXPECT_FALSE(firstTree->isVisibleTo(frmtvDocument::instance()));
    EXPECT_TRUE(second->tvDocument()->isVisibleTo(frmtvDocument::instance()));
    for (const char* name : {"mnuDoc", "mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh",
             "mnuDebugStart", "mnuDebugStartNew"})
        EXPECT_TRUE(menuEnabled(name)) << name;
    EXPECT_TRUE(buttonEnabled("Save"));
    EXPECT_TRUE(buttonEnabled("Refresh"));
    // Node selection of the root: the element buttons on, the text commands off.
    for (const char* name : {"mnuDocComment", "mnuDocUnComment", "mnuDocOutdent", "mnuDocIndent"})
        EXPECT_FALSE(menuEnabled(name)) << name;
    EXPECT_TRUE(buttonEnabled("Block"));
    EXPECT_FALSE(buttonEnabled("CommentBlock"));
    // SetDebugButtons(False) of the activation offers Start again, Continue not.
    EXPECT_TRUE(buttonEnabled("Run"));
    EXPECT_FALSE(buttonEnabled("Continue"));

    // Back to the first: its tree, its selection kept.
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    first->documentTree()->setCurrentItem(first->documentTree()->node("B0.0"));
    EXPECT_EQ(first->visibleFrame(), frmOrraDevelopment::PaneBlock);
    EXPECT_EQ(main->panelText("ID"), "ID:B0.0");
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(second->parentWidget()));
    EXPECT_FALSE(firstTree->isVisibleTo(frmtvDocument::instance()));
    EXPECT_EQ(main->panelText("ID"), "ID:B0");
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_TRUE(firstTree->isVisibleTo(frmtvDocument::instance()));
    EXPECT_FALSE(second->tvDocument()->isVisibleTo(frmtvDocument::instance()));
    EXPECT_EQ(first->documentTree()->currentItem(), first->documentTree()->node("B0.0"));
    EXPECT_EQ(first->visibleFrame(), frmOrraDevelopment::PaneBlock);
    EXPECT_EQ(main->panelText("ID"), "ID:B0.0");

    // Closing the last windows leaves the document commands off.
    main->mdiArea()->closeAllSubWindows();
    QApplication::processEvents();
    for (const char* name : {"mnuDoc", "mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh",
             "mnuDebugStart", "mnuDebugStartNew", "mnuDocComment", "mnuDocUnComment", "mnuDocOutdent", "mnuDocIndent"})
        EXPECT_FALSE(menuEnabled(name)) << name;
    EXPECT_FALSE(buttonEnabled("Run"));
    EXPECT_FALSE(buttonEnabled("Save"));
    EXPECT_FALSE(buttonEnabled("Refresh"));
    EXPECT_EQ(lockCount(1) + lockCount(2), 0);
    EXPECT_TRUE(firstTree.isNull());
}

TEST_F(EditorWindowTest, CatalogueOpensTheEditorWindowAndActivationSelectsItsDocument)
{
    morvane::RegisterCataloguePane();
    frmOrraDevelopment::registerWindow();
    loadMain();
    auto* catalogueTree = qobject_cast<KeyedTree*>(main->tvOrra());
    ASSERT_TRUE(catalogueTree);
    ASSERT_TRUE(catalogueTree->node("T2"));
    auto* first = qobject_cast<frmOrraDevelopment*>(morvane::FindDocumentWindow(1, "First", true));
    ASSERT_TRUE(first) << ui.texts().join('\n').toStdString();
    auto* second = qobject_cast<frmOrraDevelopment*>(morvane::FindDocumentWindow(2, "Second", true));
    ASSERT_TRUE(second);
    EXPECT_EQ(lockCount(1), 1);
    EXPECT_EQ(lockCount(2), 1);
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(second->parentWidget()));
    EXPECT_EQ(catalogueTree->currentItem(), catalogueTree->node("T2"));
    EXPECT_TRUE(second->tvDocument()->isVisibleTo(frmtvDocument::instance()));
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_EQ(catalogueTree->currentItem(), catalogueTree->node("T1"));
    EXPECT_EQ(morvane::FindDocumentWindow(1, "First", false), first);
    // Closing releases the lock the catalogue took.
    EXPECT_TRUE(closeWindow(first));
    EXPECT_EQ(lockCount(1), 0);
    EXPECT_EQ(lockCount(2), 1);
    morvane::setDocumentWindowCreator({});
    morvane::setPaneCreator("frmpbOrra", {});
}

TEST_F(EditorWindowTest, AWindowThatNeverLoadedClosesQuietly)
{
    lockDocument(1);
    {
        frmOrraDevelopment w;
        w.setDocID(1);
        EXPECT_TRUE(w.close());
    }
    EXPECT_TRUE(ui.boxes.empty());
    // Its lock is not its own to release.
    EXPECT_EQ(lockCount(1), 1);
}

TEST_F(EditorWindowTest, MissingMainWindowMemberIsAnErrorNotANoOp)
{
    loadMain();
    try {
        morvane::MainWindowLink().SetMenuEnabled("mnuNoSuchItem", true);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 438);
        EXPECT_TRUE(e.description().startsWith("Object doesn't support this property or method"));
    }
    EXPECT_THROW(morvane::MainWindowLink().SetToolbarButtonValue("NoSuchButton", 1), Error);
    EXPECT_THROW(morvane::MainWindowLink().EnableToolbarButton("NoSuchButton", true), Error);
}

TEST_F(EditorWindowTest, RightClickOnANodeShowsTheDocumentMenu)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    QTreeWidget* tree = w->tvDocument();
    frmtvDocument::instance()->show();
    QApplication::processEvents();
    QMenu* menu = main->menu("mnuDoc");
    const QRect item = tree->visualItemRect(w->documentTree()->node("B0.0"));
    ASSERT_TRUE(item.isValid());
    emit tree->customContextMenuRequested(item.center());
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    // Empty space: no menu.
    emit tree->customContextMenuRequested(QPoint(5, tree->viewport()->height() - 2));
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(EditorWindowTest, PaneHandsOutTreesAtOneAboveTheHighestIndex)
{
    frmtvDocument* pane = frmtvDocument::instance();
    const int base = pane->UBound();
    auto open = [&](long id) {
        frmOrraDevelopment* w = openStandalone(id);
        EXPECT_TRUE(w);
        return w;
    };
    frmOrraDevelopment* a = open(1);
    frmOrraDevelopment* b = open(2);
    frmOrraDevelopment* c = open(3);
    EXPECT_EQ(frmtvDocument::indexOf(a->tvDocument()), base + 1);
    EXPECT_EQ(frmtvDocument::indexOf(b->tvDocument()), base + 2);
    EXPECT_EQ(frmtvDocument::indexOf(c->tvDocument()), base + 3);
    EXPECT_EQ(b->tvDocument()->objectName(), "tvDocument");
    EXPECT_EQ(b->tvDocument()->parentWidget(), pane);
    EXPECT_FALSE(b->tvDocument()->isVisibleTo(pane));
    b->close();
    delete b;
    frmOrraDevelopment* d = open(2);
    EXPECT_EQ(frmtvDocument::indexOf(d->tvDocument()), base + 4);
    d->close();
    delete d;
    c->close();
    delete c;
    // Index base+3 and base+4 are free again; base+2 stays a gap.
    frmOrraDevelopment* e = open(3);
    EXPECT_EQ(frmtvDocument::indexOf(e->tvDocument()), base + 2);
    EXPECT_EQ(pane->tvDocument(base + 2), e->documentTree());
    // Every loaded tree takes the pane's client area.
    pane->show();
    pane->resize(230, 410);
    QApplication::processEvents();
    EXPECT_EQ(a->tvDocument()->geometry(), pane->contentsRect());
    EXPECT_EQ(e->tvDocument()->geometry(), pane->contentsRect());
    a->close();
    delete a;
    e->close();
    delete e;
    pane->hide();
    EXPECT_EQ(pane->UBound(), base);
    EXPECT_EQ(pane->windowTitle(), "Document Explorer");
}

TEST_F(EditorWindowTest, PaneForwardsNodeClicksToTheActiveWindow)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    QTreeWidgetItem* block = w->documentTree()->node("B0.0");
    w->documentTree()->setCurrentItem(block);
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneBlock);
    EXPECT_EQ(xml::attribute(w->CurrentElement(), "ID"), "B0.0");
    w->documentTree()->setCurrentItem(w->documentTree()->node("B0"));
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneDocument);
    EXPECT_EQ(w->CurrentElement(), w->document()->documentElement());
}

TEST_F(EditorWindowTest, ShellCreatorsGiveTheEditorWindowAndThePane)
{
    frmOrraDevelopment::registerWindow();
    frmtvDocument::registerPane();
    QWidget host;
    QWidget* pane = morvane::createPane("frmtvDocument", &host);
    EXPECT_EQ(pane, frmtvDocument::instance());
    EXPECT_EQ(pane->parentWidget(), &host);
    std::unique_ptr<QWidget> window(morvane::documentWindowCreator()(nullptr));
    ASSERT_TRUE(qobject_cast<frmOrraDevelopment*>(window.get()));
    // The shell's contract: DocID by name, then LoadWindow by name.
    EXPECT_TRUE(window->setProperty("DocID", 2));
    bool loaded = false;
    EXPECT_TRUE(QMetaObject::invokeMethod(window.get(), "LoadWindow", Q_RETURN_ARG(bool, loaded)));
    EXPECT_TRUE(loaded);
    EXPECT_EQ(window->property("DocumentChanged").toBool(), false);
    EXPECT_EQ(window->property("OrraName").toString(), "");
    EXPECT_TRUE(window->property("Document").value<xml::Document*>());
    EXPECT_TRUE(window->property("tvDocument").value<QTreeWidget*>());
    window->close();
    pane->setParent(nullptr);
    morvane::setDocumentWindowCreator({});
    morvane::setPaneCreator("frmtvDocument", {});
}

TEST_F(EditorWindowTest, LayoutShowsOnePaneAndLocksReadOnlyPanes)
{
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(1));
    ASSERT_TRUE(w);
    w->show();
    for (int i = 0; i < frmOrraDevelopment::PaneCount; ++i) {
        w->ShowFrame(i);
        EXPECT_EQ(w->visibleFrame(), i);
        EXPECT_EQ(w->frame(i)->objectName(), QStringLiteral("frames%1").arg(i));
        int shown = 0;
        for (int j = 0; j < frmOrraDevelopment::PaneCount; ++j) shown += w->frame(j)->isVisible() ? 1 : 0;
        EXPECT_EQ(shown, 1);
    }
    auto* sql = w->findChild<QPlainTextEdit*>("txtBlockSQL");
    w->SetEditable(frmOrraDevelopment::PaneBlock, false);
    EXPECT_TRUE(sql->isReadOnly());
    w->SetEditable(frmOrraDevelopment::PaneBlock, true);
    EXPECT_FALSE(sql->isReadOnly());
    w->SetEditable(frmOrraDevelopment::PaneParameter, false);
    EXPECT_TRUE(w->findChild<QLineEdit*>("txtparamCaption")->isReadOnly());
    EXPECT_FALSE(w->findChild<QPushButton*>("cmdEditDefaultValue")->isEnabled());
    EXPECT_FALSE(w->findChild<QComboBox*>("cbparamType")->isEnabled());
    // The Script pane's language list is never locked.
    w->SetEditable(frmOrraDevelopment::PaneScript, false);
    EXPECT_TRUE(w->findChild<QPlainTextEdit*>("txtScriptSource")->isReadOnly());
    EXPECT_TRUE(w->findChild<QComboBox*>("cbScriptLang")->isEnabled());

    // Text editors do not wrap; the result pane starts hidden with its three tabs.
    EXPECT_EQ(sql->lineWrapMode(), QPlainTextEdit::NoWrap);
    QTabWidget* tab = w->resultPane();
    EXPECT_EQ(tab->objectName(), "dbgTab");
    EXPECT_FALSE(tab->isVisible());
    ASSERT_EQ(tab->count(), 3);
    EXPECT_EQ(tab->tabText(0), "Grids");
    EXPECT_EQ(tab->tabText(1), "Message");
    EXPECT_EQ(tab->tabText(2), "Trace");
    EXPECT_EQ(w->resultPaneTop(), 600 * 3 / 4);
    EXPECT_TRUE(w->findChild<QWidget*>("imgSplitterYatay"));
    // The panes take the whole window while the result pane is hidden.
    EXPECT_EQ(w->frame(frmOrraDevelopment::PaneScript)->parentWidget()->height(), w->height());
    EXPECT_EQ(w->ResultStyle(), "ResultInGrid");
}

TEST_F(EditorWindowTest, ApplySettingsTakesTheEditorOptionsAndKeepsTheChangedFlag)
{
    morvane::EditorOptions& o = morvane::editorOptions();
    o.SQLFont = {QStringLiteral("Courier New"), 11, true, false};
    o.ScriptFont = {QStringLiteral("Monospace"), 9, false, true};
    o.SQLColors[morvane::SqlBackColor] = morvane::RGBColor(0xff, 0xff, 0xe0);
    o.ScriptColors[morvane::ScriptBackColor] = morvane::RGBColor(0xe0, 0xff, 0xff);
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(1));
    ASSERT_TRUE(w);
    // The Block pane exists before the options are applied; the others are made afterwards and
    // take the options last applied.
    w->ShowFrame(frmOrraDevelopment::PaneBlock);
    for (bool changed : {true, false}) {
        w->setDocumentChanged(changed);
        w->ApplySettings();
        EXPECT_EQ(w->documentChanged(), changed);
    }
    EXPECT_FALSE(w->findChild<QPlainTextEdit*>("txtScriptSource"));
    for (int pane = 0; pane < frmOrraDevelopment::PaneCount; ++pane) w->ShowFrame(pane);
    for (const char* name : {"txtBlockSQL", "txtparamDefaultVal", "txtparamSource", "txtStationSQL"}) {
        auto* e = w->findChild<QPlainTextEdit*>(name);
        ASSERT_TRUE(e) << name;
        EXPECT_EQ(e->font().family(), "Courier New") << name;
        EXPECT_EQ(e->font().pointSize(), 11);
        EXPECT_TRUE(e->font().bold());
        EXPECT_EQ(e->palette().color(QPalette::Base), QColor(0xff, 0xff, 0xe0));
    }
    auto* script = w->findChild<QPlainTextEdit*>("txtScriptSource");
    EXPECT_EQ(script->font().family(), "Monospace");
    EXPECT_TRUE(script->font().italic());
    EXPECT_EQ(script->palette().color(QPalette::Base), QColor(0xe0, 0xff, 0xff));
    auto* description = w->findChild<QPlainTextEdit*>("txtdocDescription");
    EXPECT_EQ(description->font().family(), "Verdana");
    EXPECT_EQ(description->font().pointSize(), 8);
    EXPECT_FALSE(description->font().bold());
    EXPECT_EQ(description->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(description->toPlainText(), "First");
}

}   // namespace
}   // namespace orra::test
