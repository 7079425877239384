// The editor window's life cycle in a main window (activation, the close question, the lock),
// the element-tree pane, the layout and the editor options.

#include "EditorFixture.h"

#include "designer/editor/DocumentTree.h"
#include "designer/editor/frmtvDocument.h"
#include "designer/shell/DesignerFactories.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabWidget>
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
    void SetUp() override {
        EditorTest::SetUp();
        addDocument(1, 1, QStringLiteral("First"), simple("First"));
        addDocument(2, 1, QStringLiteral("Second"), simple("Second"));
        addDocument(3, 1, QStringLiteral("Third"), simple("Third"));
    }
    // Closes the window's sub-window; true when it closed.
    bool closeWindow(frmOrraDevelopment* w) {
        QPointer<QMdiSubWindow> sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
        sub->close();
        QApplication::processEvents();
        return !sub || !sub->isVisible();
    }
    bool menuEnabled(const char* name) {
        if (QLatin1String(name) == QLatin1String("mnuDoc")) return main->mnuDoc->menuAction()->isEnabled();
        QAction* a = main->action(QLatin1String(name));
        EXPECT_TRUE(a) << name;
        return a && a->isEnabled();
    }
};

TEST_F(EditorWindowTest, UnchangedWindowClosesWithoutQuestionAndReleasesItsLock) {
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    EXPECT_EQ(lockCount(1), 1);
    EXPECT_TRUE(closeWindow(w));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(unlocked, QList<long>({1}));
    EXPECT_EQ(lockCount(1), 0);
}

TEST_F(EditorWindowTest, CloseQuestionCancelKeepsWindowEditsAndLock) {
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
    EXPECT_TRUE(unlocked.isEmpty());
    EXPECT_TRUE(w->tvDocument()->isVisibleTo(frmtvDocument::instance()));
}

TEST_F(EditorWindowTest, CloseQuestionNoClosesWithoutSaving) {
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    xml::setAttribute(w->document()->documentElement(), "Server", "edited");
    w->setDocumentChanged(true);
    ui.answers = {vbNo};
    EXPECT_TRUE(closeWindow(w));
    EXPECT_EQ(storedText(1), simple("First"));
    EXPECT_EQ(lockCount(1), 0);
}

TEST_F(EditorWindowTest, CloseQuestionYesSavesAndCloses) {
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

TEST_F(EditorWindowTest, CloseQuestionYesWithFailingSaveKeepsTheWindowOpen) {
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

TEST_F(EditorWindowTest, ActivationSwitchesTheMainWindowsCommandsBetweenWindows) {
    frmOrraDevelopment* first = openInMain(1);
    ASSERT_TRUE(first);
    QPointer<QTreeWidget> firstTree = first->tvDocument();
    EXPECT_TRUE(firstTree->isVisibleTo(frmtvDocument::instance()));
    for (const char* name : {"mnuDoc", "mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh"})
        EXPECT_TRUE(menuEnabled(name)) << name;
    EXPECT_TRUE(main->calls.contains("SetDebugButtons(false)"));
    EXPECT_TRUE(main->calls.contains("EnableToolbarButton(Save,true)"));
    EXPECT_TRUE(main->calls.contains("EnableToolbarButton(Refresh,true)"));
    EXPECT_FALSE(main->button("ShowResultPane")->isChecked());

    main->calls.clear();
    frmOrraDevelopment* second = openInMain(2);
    ASSERT_TRUE(second);
    // The first window was deactivated, then the second activated.
    const QStringList expected = {"EnableDocumentCommands(false)",  "SetDebugButtons(false)",
                                  "EnableToolbarButton(Run,false)", "EnableToolbarButton(RunNew,false)",
                                  "SetDebugButtons(false)",         "EnableToolbarButton(Save,true)",
                                  "EnableToolbarButton(Refresh,true)"};
    EXPECT_EQ(main->calls, expected);
    EXPECT_FALSE(firstTree->isVisibleTo(frmtvDocument::instance()));
    EXPECT_TRUE(second->tvDocument()->isVisibleTo(frmtvDocument::instance()));
    EXPECT_TRUE(menuEnabled("mnuFileSave"));
    // Deactivation turned the text commands off; activation leaves them to node selection.
    EXPECT_FALSE(menuEnabled("mnuDocComment"));

    // Back to the first: its tree, its selection kept.
    main->area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    first->documentTree()->setCurrentItem(first->documentTree()->node("B0.0"));
    EXPECT_EQ(first->visibleFrame(), frmOrraDevelopment::PaneBlock);
    main->area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(second->parentWidget()));
    EXPECT_FALSE(firstTree->isVisibleTo(frmtvDocument::instance()));
    main->area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_TRUE(firstTree->isVisibleTo(frmtvDocument::instance()));
    EXPECT_FALSE(second->tvDocument()->isVisibleTo(frmtvDocument::instance()));
    EXPECT_EQ(first->documentTree()->currentItem(), first->documentTree()->node("B0.0"));
    EXPECT_EQ(first->visibleFrame(), frmOrraDevelopment::PaneBlock);

    // Closing the last windows leaves the document commands off.
    second->setDocumentChanged(false);
    main->area->closeAllSubWindows();
    QApplication::processEvents();
    for (const char* name : {"mnuDoc", "mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh",
                             "mnuDebugStart", "mnuDebugStartNew", "mnuDocComment", "mnuDocUnComment",
                             "mnuDocOutdent", "mnuDocIndent"})
        EXPECT_FALSE(menuEnabled(name)) << name;
    EXPECT_FALSE(main->button("Run")->isEnabled());
    EXPECT_FALSE(main->button("Save")->isEnabled());
    EXPECT_EQ(lockCount(1) + lockCount(2), 0);
    EXPECT_TRUE(firstTree.isNull());
}

TEST_F(EditorWindowTest, MissingMainWindowMemberIsAnErrorNotANoOp) {
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    delete main->button("ShowResultPane");
    frmOrraDevelopment* other = openInMain(2);
    ASSERT_TRUE(other);
    ui.boxes.clear();
    main->area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(w->parentWidget()));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.startsWith("Object doesn't support this property or method"));
}

TEST_F(EditorWindowTest, PaneHandsOutTreesAtOneAboveTheHighestIndex) {
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

TEST_F(EditorWindowTest, PaneForwardsNodeClicksToTheActiveWindow) {
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

TEST_F(EditorWindowTest, ShellCreatorsGiveTheEditorWindowAndThePane) {
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

TEST_F(EditorWindowTest, LayoutShowsOnePaneAndLocksReadOnlyPanes) {
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
    EXPECT_EQ(tab->tabText(0), "Result");
    EXPECT_EQ(tab->tabText(1), "Message");
    EXPECT_EQ(tab->tabText(2), "Trace");
    EXPECT_EQ(w->resultPaneTop(), 600 * 3 / 4);
    EXPECT_TRUE(w->findChild<QWidget*>("imgSplitterYatay"));
    // The panes take the whole window while the result pane is hidden.
    EXPECT_EQ(w->frame(frmOrraDevelopment::PaneScript)->parentWidget()->height(), w->height());
    EXPECT_EQ(w->ResultStyle(), "ResultInGrid");
}

TEST_F(EditorWindowTest, ApplySettingsTakesTheEditorOptionsAndKeepsTheChangedFlag) {
    morvane::EditorServices s = morvane::editorServices();
    s.editorLook = [] {
        morvane::EditorLook o;
        o.sqlFont = QFont(QStringLiteral("Courier New"), 11);
        o.sqlFont.setBold(true);
        o.scriptFont = QFont(QStringLiteral("Monospace"), 9);
        o.scriptFont.setItalic(true);
        o.sqlBackColor = QColor(0xff, 0xff, 0xe0);
        o.scriptBackColor = QColor(0xe0, 0xff, 0xff);
        return o;
    };
    morvane::setEditorServices(s);
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

} // namespace
} // namespace orra::test
