// The editor window's text editors on an embedded catalogue: element texts shown coloured and
// written back, keys (indent, outdent, comment, templates, F5), read-only included elements,
// positions remembered per element, word selection, dropped parameters, and find and replace
// over the document's elements.

#include "EditorFixture.h"

#include "designer/editor/DocumentTree.h"
#include "designer/editor/EditorTextHandlers.h"
#include "designer/editor/ModHighlight.h"
#include "designer/editor/frmEdit.h"
#include "designer/editor/frmFindReplace.h"
#include "designer/shell/EditorOptions.h"
#include "platform/widgets/TextHighlighter.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

namespace orra::test {
namespace {

using morvane::EditorTextHandlers;
using morvane::frmFindReplace;
using morvane::frmOrraDevelopment;
using orra::RichTextBox;

QString longText(int lines)
{
    QStringList l;
    for (int i = 0; i < lines; ++i) l << QStringLiteral("select c%1 from t").arg(i);
    return l.join(QLatin1Char('\n'));
}

class EditorTextsTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        addDocument(20, 1, QStringLiteral("Inner"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[inner]]>"
                           "<Block ID=\"B0.0\" Name=\"Totals\"><![CDATA[select City from t]]></Block>"
                           "</Document>"));
        addDocument(21, 1, QStringLiteral("Report"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[The City report]]>"
                           "<Block ID=\"B0.0\" Name=\"Orders\"><![CDATA[select City, Total\nfrom t.Orders\n"
                           "where City = '<$City%>' and t.Col1+5 > 0]]>"
                           "<Parameter ID=\"B0.0.P0\" Name=\"City\" Caption=\"Town\" DefaultValue=\"city\" "
                           "Type=\"combo\" Source=\"select City from Cities\" ReturnCol=\"\" Prompt=\"\" "
                           "SelectionType=\"single\" Behaviour=\"dynamic\"/>"
                           "<Station ID=\"B0.0.S0\" Name=\"Check\"><![CDATA[select count(*) from Cities]]></Station>"
                           "<Script ID=\"B0.0.X0\" Name=\"Export\" Language=\"VBScript\"><![CDATA[Dim city\n"
                           "city = \"Ankara\" ' the city]]></Script>"
                           "</Block>"
                           "<Block ID=\"B0.1\" Name=\"Long\"><![CDATA[")
                + longText(200)
                + QStringLiteral("]]></Block>"
                                 "<Include ID=\"B0.I0\" Name=\"Include:Inner\" DocID=\"20\"/>"
                                 "</Document>"));
        morvane::editorOptions() = morvane::EditorOptions::defaults();
    }
    void TearDown() override
    {
        delete window;
        EditorTest::TearDown();
    }
    frmOrraDevelopment* open()
    {
        window = openStandalone(21);
        EXPECT_TRUE(window) << ui.texts().join(QLatin1Char('\n')).toStdString();
        if (window) window->show();
        return window;
    }
    // Selects the node of key in the element tree as a click does.
    void click(const QString& key)
    {
        QTreeWidgetItem* node = window->documentTree()->node(key);
        ASSERT_TRUE(node) << key.toStdString();
        window->documentTree()->setCurrentItem(node);
        window->tvDocument_NodeClick(node);
    }
    RichTextBox* box(const char* name) { return window->findChild<RichTextBox*>(QLatin1String(name)); }
    orra::xml::Node element(const QString& id)
    {
        return orra::FindElementByAttribute(window->document()->documentElement(), QStringLiteral("ID"), id);
    }
    static void leave(RichTextBox* e)
    {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(e, &out);
    }
    static QColor colourAt(RichTextBox* e, int block, int position)
    {
        QColor found;
        for (const QTextLayout::FormatRange& r : e->document()->findBlockByNumber(block).layout()->formats())
            if (position >= r.start && position < r.start + r.length) found = r.format.foreground().color();
        return found;
    }
    // The report in the main window (its Document Explorer docked, as the designer shows it),
    // the node keyed key selected and the editor named editorName focused.
    void focusInMain(const char* key, const char* editorName, frmOrraDevelopment*& w, RichTextBox*& editor)
    {
        w = openInMain(21);
        ASSERT_TRUE(w);
        if (!w->tvDocument()->isVisibleTo(main.get())) main->toolbarButton(QStringLiteral("tvDocument"))->trigger();
        QApplication::processEvents();
        ASSERT_TRUE(w->tvDocument()->isVisible());
        w->documentTree()->setCurrentItem(w->documentTree()->node(QLatin1String(key)));
        editor = w->findChild<RichTextBox*>(QLatin1String(editorName));
        ASSERT_TRUE(editor);
        QApplication::setActiveWindow(main.get());
        editor->setFocus();
        ASSERT_TRUE(editor->hasFocus());
    }
    frmOrraDevelopment* window = nullptr;
};

TEST_F(EditorTextsTest, ElementTextsAreShownColouredAndWrittenBack)
{
    ASSERT_TRUE(open());
    click(QStringLiteral("B0.0"));
    RichTextBox* sql = box("txtBlockSQL");
    ASSERT_TRUE(sql);
    EXPECT_EQ(
        sql->Text(), QStringLiteral("select City, Total\r\nfrom t.Orders\r\nwhere City = '<$City%>' and t.Col1+5 > 0"));
    EXPECT_FALSE(window->documentChanged()) << "showing a text changes nothing";
    EXPECT_EQ(colourAt(sql, 0, 0), morvane::toQColor(morvane::editorOptions().SQLColors[morvane::SqlKeyWords]));
    EXPECT_EQ(
        colourAt(sql, 2, 15), morvane::toQColor(morvane::editorOptions().ScriptColors[morvane::ScriptOrraParameters]));
    sql->setFocus();
    sql->setSelStart(6);
    QTest::keyClicks(sql, QStringLiteral(" top 5"));
    EXPECT_TRUE(window->documentChanged());
    EXPECT_EQ(orra::xml::bodyText(element(QStringLiteral("B0.0"))),
        QStringLiteral("select top 5 City, Total\r\nfrom t.Orders\r\nwhere City = '<$City%>' and t.Col1+5 > 0"));

    // The script is coloured as script; the parameter's two texts go to their attributes.
    click(QStringLiteral("B0.0.X0"));
    RichTextBox* script = box("txtScriptSource");
    ASSERT_TRUE(script);
    ASSERT_TRUE(morvane::Highlighter(script));
    EXPECT_EQ(morvane::Highlighter(script)->mode(), orra::TextHighlighter::Script);
    EXPECT_EQ(colourAt(script, 1, 8), morvane::toQColor(morvane::editorOptions().ScriptColors[morvane::ScriptStrings]));
    click(QStringLiteral("B0.0.P0"));
    RichTextBox* value = box("txtparamDefaultVal");
    RichTextBox* source = box("txtparamSource");
    ASSERT_TRUE(value && source);
    EXPECT_EQ(value->Text(), QStringLiteral("city"));
    EXPECT_EQ(source->Text(), QStringLiteral("select City from Cities"));
    window->setDocumentChanged(false);
    source->setFocus();
    source->setSelStart(0);
    QTest::keyClick(source, Qt::Key_Tab);
    EXPECT_EQ(orra::xml::attribute(element(QStringLiteral("B0.0.P0")), QStringLiteral("Source")),
        QStringLiteral("\tselect City from Cities"));
    EXPECT_TRUE(window->documentChanged());

    // The description goes into the root's body.
    click(QStringLiteral("B0"));
    window->setDocumentChanged(false);
    RichTextBox* description = box("txtdocDescription");
    ASSERT_TRUE(description);
    EXPECT_FALSE(window->documentChanged());
    description->setFocus();
    description->setSelStart(description->TextLength());
    QTest::keyClicks(description, QStringLiteral(" 2026"));
    EXPECT_EQ(orra::xml::bodyText(window->document()->documentElement()), QStringLiteral("The City report 2026"));
    EXPECT_TRUE(window->documentChanged());
    EXPECT_EQ(morvane::Highlighter(description), nullptr) << "the description is not coloured";
}

TEST_F(EditorTextsTest, IncludedElementsAreLockedAndTheirKeysChangeNothing)
{
    ASSERT_TRUE(open());
    click(QStringLiteral("B0.I0|B0.0"));
    RichTextBox* sql = box("txtBlockSQL");
    ASSERT_TRUE(sql);
    EXPECT_EQ(sql->Text(), QStringLiteral("select City from t"));
    EXPECT_TRUE(sql->Locked());
    sql->setFocus();
    sql->setSelStart(0);
    sql->setSelLength(6);
    QTest::keyClick(sql, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(sql, Qt::Key_Tab);
    QTest::keyClick(sql, Qt::Key_X);
    EXPECT_EQ(sql->Text(), QStringLiteral("select City from t"));
    EXPECT_FALSE(window->documentChanged());
    // The root's own block is editable again.
    click(QStringLiteral("B0.0"));
    EXPECT_FALSE(sql->Locked());
}

TEST_F(EditorTextsTest, TabCommentKeysAndTheWindowsTextCommands)
{
    ASSERT_TRUE(open());
    click(QStringLiteral("B0.0"));
    RichTextBox* sql = box("txtBlockSQL");
    sql->setFocus();
    const QString original = sql->Text();
    // Tab without a selection inserts a Tab character.
    sql->setSelStart(0);
    QTest::keyClick(sql, Qt::Key_Tab);
    EXPECT_TRUE(sql->Text().startsWith(QLatin1String("\tselect City")));
    QTest::keyClick(sql, Qt::Key_Backspace);
    // With a selection over two lines: indent, then outdent with Shift+Tab.
    sql->setSelStart(2);
    sql->setSelLength(20);
    QTest::keyClick(sql, Qt::Key_Tab);
    EXPECT_TRUE(sql->Text().startsWith(QLatin1String("\tselect City, Total\r\n\tfrom t.Orders\r\nwhere")));
    QTest::keyClick(sql, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(sql->Text(), original);
    // Ctrl+Shift+C and Ctrl+Shift+Y.
    QTest::keyClick(sql, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(sql->Text().startsWith(QLatin1String("--select City, Total\r\n--from t.Orders\r\nwhere")));
    QTest::keyClick(sql, Qt::Key_Y, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(sql->Text(), original);
    // The main window's commands reach the window by name and act on the selected node's editor.
    sql->setSelStart(0);
    ASSERT_TRUE(QMetaObject::invokeMethod(window, "CommentBlock"));
    EXPECT_TRUE(sql->Text().startsWith(QLatin1String("--select")));
    ASSERT_TRUE(QMetaObject::invokeMethod(window, "UnCommentBlock"));
    ASSERT_TRUE(QMetaObject::invokeMethod(window, "IndentBlock"));
    EXPECT_TRUE(sql->Text().startsWith(QLatin1String("\tselect")));
    ASSERT_TRUE(QMetaObject::invokeMethod(window, "OutdentBlock"));
    EXPECT_EQ(sql->Text(), original);
    EXPECT_EQ(orra::xml::bodyText(element(QStringLiteral("B0.0"))), original);
    // Script comments take the apostrophe.
    click(QStringLiteral("B0.0.X0"));
    RichTextBox* script = box("txtScriptSource");
    script->setSelStart(0);
    ASSERT_TRUE(QMetaObject::invokeMethod(window, "CommentBlock"));
    EXPECT_TRUE(script->Text().startsWith(QLatin1String("'Dim city")));
    // With the root selected the commands do nothing.
    click(QStringLiteral("B0"));
    const QString scriptText = script->Text();
    ASSERT_TRUE(QMetaObject::invokeMethod(window, "CommentBlock"));
    EXPECT_EQ(script->Text(), scriptText);
}

TEST_F(EditorTextsTest, QueryTemplatesAndF5ReachTheAdHocSeam)
{
    ASSERT_TRUE(open());
    QStringList executed;
    window->textEditors()->setAdHocSql({[&](const QString& sql) { executed << sql; }, {}, {}});
    morvane::editorOptions().QueryShortcuts[0] = QStringLiteral("select top 10 * from %s order by %s");
    morvane::editorOptions().QueryShortcuts[1] = QStringLiteral("exec sp_help");
    morvane::editorOptions().QueryShortcuts[9] = QStringLiteral("select count(*) from %s");
    click(QStringLiteral("B0.0"));
    RichTextBox* sql = box("txtBlockSQL");
    sql->setFocus();
    sql->setSelStart(int(sql->Text().indexOf(QLatin1String("t.Orders"))));
    sql->setSelLength(8);
    const QString before = sql->Text();
    QTest::keyClick(sql, Qt::Key_1, Qt::ControlModifier);
    QTest::keyClick(sql, Qt::Key_2, Qt::ControlModifier);
    QTest::keyClick(sql, Qt::Key_3, Qt::ControlModifier);   // empty: swallowed, nothing runs
    QTest::keyClick(sql, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(executed,
        QStringList(
            {"select top 10 * from t.Orders order by t.Orders", "exec sp_help", "select count(*) from t.Orders"}));
    EXPECT_EQ(sql->Text(), before) << "the keys were swallowed";
    // Every digit: Ctrl+1 to Ctrl+9 are templates 1 to 9, Ctrl+0 the tenth.
    executed.clear();
    for (int i = 0; i < 10; ++i)
        morvane::editorOptions().QueryShortcuts[size_t(i)] = QStringLiteral("T%1 %s").arg(i + 1);
    for (int digit = 0; digit <= 9; ++digit) QTest::keyClick(sql, Qt::Key(Qt::Key_0 + digit), Qt::ControlModifier);
    EXPECT_EQ(executed,
        QStringList({"T10 t.Orders", "T1 t.Orders", "T2 t.Orders", "T3 t.Orders", "T4 t.Orders", "T5 t.Orders",
            "T6 t.Orders", "T7 t.Orders", "T8 t.Orders", "T9 t.Orders"}));
    // F5 outside debug mode runs nothing.
    executed.clear();
    QTest::keyClick(sql, Qt::Key_F5);
    QTest::keyClick(sql, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_TRUE(executed.isEmpty());
    // The station editor has no templates.
    click(QStringLiteral("B0.0.S0"));
    RichTextBox* station = box("txtStationSQL");
    station->setFocus();
    QTest::keyClick(station, Qt::Key_1, Qt::ControlModifier);
    EXPECT_TRUE(executed.isEmpty());
}

TEST_F(EditorTextsTest, CaretAndScrollAreRememberedPerElement)
{
    ASSERT_TRUE(open());
    window->resize(800, 600);
    click(QStringLiteral("B0.1"));
    RichTextBox* sql = box("txtBlockSQL");
    QApplication::processEvents();
    const int caret = int(sql->Text().indexOf(QLatin1String("select c40 ")));
    sql->setSelStart(caret);
    sql->ScrollToLine(35);
    ASSERT_EQ(sql->FirstVisibleLine(), 35);
    leave(sql);
    click(QStringLiteral("B0.0"));
    EXPECT_EQ(sql->SelStart(), 0) << "an element shown for the first time starts at its top";
    EXPECT_EQ(sql->FirstVisibleLine(), 0);
    leave(sql);
    click(QStringLiteral("B0.1"));
    EXPECT_EQ(sql->SelStart(), caret);
    EXPECT_EQ(sql->FirstVisibleLine(), 35);
    // Stored twice for one ID: one position, the latest.
    sql->setSelStart(caret + 3);
    leave(sql);
    leave(sql);
    click(QStringLiteral("B0.1"));
    EXPECT_EQ(sql->SelStart(), caret + 3);
    EXPECT_EQ(window->textEditors()->CursorPositions().Count(), 2);
}

TEST_F(EditorTextsTest, DoubleClickSelectsAWordByTheDelimiters)
{
    ASSERT_TRUE(open());
    click(QStringLiteral("B0.0"));
    RichTextBox* sql = box("txtBlockSQL");
    sql->setSelStart(int(sql->Text().indexOf(QLatin1String("Col1"))) + 2);
    sql->onDblClick();
    sql->onMouseUp(Qt::LeftButton, 0, QPoint());
    EXPECT_EQ(sql->SelText(), QStringLiteral("Col1"));
    // A mouse up without a double-click before it leaves the selection alone.
    sql->setSelStart(3);
    sql->onMouseUp(Qt::LeftButton, 0, QPoint());
    EXPECT_EQ(sql->SelLength(), 0);
}

TEST_F(EditorTextsTest, DroppedTreeNodesInsertPlaceholdersOrKeys)
{
    ASSERT_TRUE(open());
    EditorTextHandlers* t = window->textEditors();
    click(QStringLiteral("B0.0"));
    RichTextBox* sql = box("txtBlockSQL");
    QTreeWidgetItem* parameter = window->documentTree()->node(QStringLiteral("B0.0.P0"));
    QTreeWidgetItem* block = window->documentTree()->node(QStringLiteral("B0.1"));
    sql->setSelStart(0);
    t->DropNode(sql, parameter, 0);
    EXPECT_TRUE(sql->Text().startsWith(QLatin1String("<$City%>select")));
    const QString after = sql->Text();
    t->DropNode(sql, block, 0);
    EXPECT_EQ(sql->Text(), after) << "a Block node inserts nothing";
    click(QStringLiteral("B0.0.X0"));
    RichTextBox* script = box("txtScriptSource");
    script->setSelStart(0);
    t->DropNode(script, parameter, 2);
    EXPECT_TRUE(script->Text().startsWith(QLatin1String("B0.0.P0Dim")));
    t->DropNode(script, block, 2);
    EXPECT_TRUE(script->Text().startsWith(QLatin1String("B0.0.P0B0.1Dim")));
    t->DropNode(script, block, 0);
    EXPECT_TRUE(script->Text().startsWith(QLatin1String("B0.0.P0B0.1Dim")));
    EXPECT_TRUE(window->documentChanged());
    // While a node is dragged over an editor its caret follows the mouse.
    script->setSelStart(script->TextLength());
    const QString text = script->Text();
    script->setSelStart(int(text.indexOf(QLatin1String("city ="))));
    const QPoint over = script->cursorRect().center() + QPoint(1, 0);
    script->setSelStart(0);
    t->ShowDropCaret(script, over);
    EXPECT_EQ(script->SelStart(), int(text.indexOf(QLatin1String("city ="))));
}

TEST_F(EditorTextsTest, TheValueEditorWritesBackOnlyAChangedValue)
{
    ASSERT_TRUE(open());
    click(QStringLiteral("B0.0.P0"));
    RichTextBox* value = box("txtparamDefaultVal");
    auto* button = window->findChild<QPushButton*>(QStringLiteral("cmdEditDefaultValue"));
    ASSERT_TRUE(value && button);
    window->setDocumentChanged(false);
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<morvane::frmEdit*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        shown = form->rtfText()->Text();
        form->close();
    });
    button->click();
    EXPECT_EQ(shown, QStringLiteral("city"));
    EXPECT_FALSE(window->documentChanged()) << "an unchanged value marks nothing";
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<morvane::frmEdit*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        form->rtfText()->setText(QStringLiteral("select 'Ankara'\r\nunion select 'Izmir'"));
        form->close();
    });
    button->click();
    EXPECT_EQ(orra::xml::attribute(element(QStringLiteral("B0.0.P0")), QStringLiteral("DefaultValue")),
        QStringLiteral("select 'Ankara'\r\nunion select 'Izmir'"));
    EXPECT_TRUE(window->documentChanged());
}

TEST_F(EditorTextsTest, TheMainWindowShowsTheCaretLineAndOpensTheFindDialog)
{
    morvane::frmFindReplace::registerDialog();
    frmOrraDevelopment* w = openInMain(21);
    ASSERT_TRUE(w);
    w->documentTree()->setCurrentItem(w->documentTree()->node(QStringLiteral("B0.0")));
    w->tvDocument_NodeClick(w->documentTree()->node(QStringLiteral("B0.0")));
    auto* sql = w->findChild<RichTextBox*>(QStringLiteral("txtBlockSQL"));
    ASSERT_TRUE(sql);
    QApplication::setActiveWindow(main.get());
    sql->setFocus();
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(sql, &in);
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), QStringLiteral("Line: 1"));
    ASSERT_TRUE(sql->hasFocus());
    sql->setSelStart(int(sql->Text().indexOf(QLatin1String("where"))));
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), QStringLiteral("Line: 3"));
    // With nothing selected Find opens on its first text; with a selection, on that.
    QString searched, caption;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<frmFindReplace*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        searched = dialog->findChild<QLineEdit*>(QStringLiteral("txtFindWhat"))->text();
        dialog->cmdCancel_Click();
    });
    main->mnuDocFind_Click();
    EXPECT_EQ(searched, QStringLiteral("{Regular Expression}"));
    sql->setSelStart(int(sql->Text().indexOf(QLatin1String("Orders"))));
    sql->setSelLength(6);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<frmFindReplace*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        caption = dialog->windowTitle();
        searched = dialog->findChild<QLineEdit*>(QStringLiteral("txtFindWhat"))->text();
        dialog->cmdFind_Click();
        dialog->cmdCancel_Click();
    });
    main->mnuDocFind_Click();
    EXPECT_EQ(caption, QStringLiteral("Find"));
    EXPECT_EQ(searched, QStringLiteral("Orders"));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(sql, &out);
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), QString());
    window = nullptr;   // the main window owns it
}

// The window tells its editors when the document is read again or an element goes: no editor
// writes into an element that is gone, and the focus is not left in a pane that went away.
TEST_F(EditorTextsTest, ARefreshUnbindsTheTextEditorsAndTheirFocus)
{
    frmOrraDevelopment* w = nullptr;
    RichTextBox* sql = nullptr;
    ASSERT_NO_FATAL_FAILURE(focusInMain("B0.0", "txtBlockSQL", w, sql));
    sql->setSelStart(6);
    main->menuItem(QStringLiteral("mnuFileRefresh"))->trigger();
    EXPECT_EQ(QApplication::focusWidget(), w->tvDocument());
    // Keys that still reach the editor write into nothing: not into the element read again.
    QTest::keyClicks(sql, QStringLiteral(" top 5"));
    leave(sql);
    EXPECT_FALSE(w->documentChanged());
    EXPECT_EQ(orra::xml::bodyText(orra::FindElementByAttribute(
                  w->document()->documentElement(), QStringLiteral("ID"), QStringLiteral("B0.0"))),
        QStringLiteral("select City, Total\nfrom t.Orders\nwhere City = '<$City%>' and t.Col1+5 > 0"));
    EXPECT_FALSE(w->textEditors()->CursorPositions().IsExists(QStringLiteral("B0.0")));
    // Shown again, the element's editor writes into the element as it now is.
    w->documentTree()->setCurrentItem(w->documentTree()->node(QStringLiteral("B0.0")));
    sql->setFocus();
    sql->setSelStart(6);
    QTest::keyClicks(sql, QStringLiteral(" top 5"));
    EXPECT_TRUE(w->documentChanged());
    EXPECT_TRUE(orra::xml::bodyText(
        orra::FindElementByAttribute(w->document()->documentElement(), QStringLiteral("ID"), QStringLiteral("B0.0")))
                    .startsWith(QStringLiteral("select top 5 City")));
}

TEST_F(EditorTextsTest, ARemovedElementKeepsNoEditorAndNoCaret)
{
    frmOrraDevelopment* w = nullptr;
    RichTextBox* station = nullptr;
    ASSERT_NO_FATAL_FAILURE(focusInMain("B0.0.S0", "txtStationSQL", w, station));
    main->menuItem(QStringLiteral("mnuDocDelete"))->trigger();
    ASSERT_FALSE(w->documentTree()->hasNode(QStringLiteral("B0.0.S0")));
    EXPECT_EQ(QApplication::focusWidget(), w->tvDocument());
    w->setDocumentChanged(false);
    const QString before = w->document()->xml();
    QTest::keyClicks(station, QStringLiteral("x"));
    leave(station);
    EXPECT_FALSE(w->documentChanged());
    EXPECT_EQ(w->document()->xml(), before);
    EXPECT_FALSE(w->textEditors()->CursorPositions().IsExists(QStringLiteral("B0.0.S0")));
    // The same for a Block removed from the toolbar with its pane's editor focused.
    w->documentTree()->setCurrentItem(w->documentTree()->node(QStringLiteral("B0.1")));
    RichTextBox* sql = w->findChild<RichTextBox*>(QStringLiteral("txtBlockSQL"));
    sql->setFocus();
    leave(sql);
    ASSERT_TRUE(w->textEditors()->CursorPositions().IsExists(QStringLiteral("B0.1")));
    sql->setFocus();
    main->toolbarButton(QStringLiteral("Delete"))->trigger();
    ASSERT_FALSE(w->documentTree()->hasNode(QStringLiteral("B0.1")));
    EXPECT_FALSE(w->textEditors()->CursorPositions().IsExists(QStringLiteral("B0.1")));
    w->setDocumentChanged(false);
    QTest::keyClicks(sql, QStringLiteral("x"));
    leave(sql);
    EXPECT_FALSE(w->documentChanged());
    EXPECT_FALSE(w->textEditors()->CursorPositions().IsExists(QStringLiteral("B0.1")));
}

// ---------------------------------------------------------------------------------------------
// Find and replace.

class FindReplaceTest : public EditorTextsTest {
protected:
    void SetUp() override
    {
        EditorTextsTest::SetUp();
        ASSERT_TRUE(open());
        dialog = std::make_unique<frmFindReplace>();
        dialog->setSearchDoc(window);
        what = dialog->findChild<QLineEdit*>(QStringLiteral("txtFindWhat"));
        with = dialog->findChild<QLineEdit*>(QStringLiteral("txtReplaceWith"));
    }
    void TearDown() override
    {
        dialog.reset();
        EditorTextsTest::TearDown();
    }
    void check(const char* name, bool on)
    {
        auto* c = dialog->findChild<QCheckBox*>(QLatin1String(name));
        if (c->isChecked() != on) c->click();
    }
    void scope(bool currentElement)
    {
        dialog
            ->findChild<QRadioButton*>(
                currentElement ? QStringLiteral("optCurrentElement") : QStringLiteral("optAllDocument"))
            ->setChecked(true);
    }
    // Where the last find stands: "key:selected text", or the message it gave.
    QString find()
    {
        const size_t boxes = ui.boxes.size();
        dialog->cmdFind_Click();
        if (ui.boxes.size() > boxes) return ui.boxes.back().title + QLatin1Char(':') + ui.boxes.back().text;
        return morvane::DocumentTree::key(window->documentTree()->currentItem()) + QLatin1Char(':')
            + dialog->SearchRTFText()->SelText();
    }
    std::unique_ptr<frmFindReplace> dialog;
    QLineEdit* what = nullptr;
    QLineEdit* with = nullptr;
};

TEST_F(FindReplaceTest, FindWalksTheElementsInDocumentOrderWithoutWrapping)
{
    dialog->setTypeOfAction(0);
    what->setText(QStringLiteral("city"));
    QStringList found;
    for (int i = 0; i < 9; ++i) found << find();
    EXPECT_EQ(found,
        QStringList({
            "B0.0:City", "B0.0:City", "B0.0:City",            // the block, case ignored
            "B0.0.P0:city", "B0.0.P0:City",                   // default value, then source
            "B0.0.X0:city", "B0.0.X0:city", "B0.0.X0:city",   // the script ("Cities" is no "city")
            "B0.I0|B0.0:City",                                // the included block
        }));
    EXPECT_EQ(find(), QStringLiteral("Find:Search text is not found")) << "no wrap";
    EXPECT_EQ(ui.boxes.back().style, orra::vbInformation);
    EXPECT_EQ(find(), QStringLiteral("B0.0:City")) << "the next Find starts over";
    EXPECT_FALSE(window->documentChanged());
}

TEST_F(FindReplaceTest, CaseWholeWordPatternsAndTheCurrentElement)
{
    what->setText(QStringLiteral("CITY"));
    check("chcMatchCase", true);
    EXPECT_EQ(find(), QStringLiteral("Find:Search text is not found"));
    check("chcMatchCase", false);
    // Whole words: "Cities" holds no word "Cit".
    what->setText(QStringLiteral("Cit"));
    check("chcWholeWord", true);
    EXPECT_EQ(find(), QStringLiteral("Find:Search text is not found"));
    check("chcWholeWord", false);
    // A pattern: the dot matches any character; a lone parenthesis is no pattern.
    what->setText(QStringLiteral("C.ties"));
    EXPECT_EQ(find(), QStringLiteral("B0.0.P0:Cities"));
    what->setText(QStringLiteral("("));
    EXPECT_EQ(find(), QStringLiteral("Find:Search text is not found"));
    // The current element: its three matches in turn, then not found, then the first again.
    click(QStringLiteral("B0.0"));
    scope(true);
    what->setText(QStringLiteral("city"));
    EXPECT_EQ(find(), QStringLiteral("B0.0:City"));
    const int first = dialog->SearchRTFText()->SelStart();
    EXPECT_EQ(find(), QStringLiteral("B0.0:City"));
    EXPECT_EQ(find(), QStringLiteral("B0.0:City"));
    EXPECT_GT(dialog->SearchRTFText()->SelStart(), first);
    EXPECT_EQ(find(), QStringLiteral("Find:Search text is not found"));
    EXPECT_EQ(find(), QStringLiteral("B0.0:City"));
    EXPECT_EQ(dialog->SearchRTFText()->SelStart(), first);
    // A parameter group node stands for no element (a new search text starts a new search).
    click(QStringLiteral("B0.0_ParamGroup"));
    what->setText(QStringLiteral("City"));
    EXPECT_EQ(find(), QStringLiteral("Find:Search text is not found"));
}

TEST_F(FindReplaceTest, ReplaceReplacesTheFoundMatchAndSkipsIncludedElements)
{
    dialog->setTypeOfAction(1);
    what->setText(QStringLiteral("Cities"));
    with->setText(QStringLiteral("Towns"));
    dialog->cmdReplace_Click();   // the first press only finds
    EXPECT_EQ(dialog->SearchRTFText()->SelText(), QStringLiteral("Cities"));
    EXPECT_EQ(morvane::DocumentTree::key(window->documentTree()->currentItem()), QStringLiteral("B0.0.P0"));
    dialog->cmdReplace_Click();   // replaces, then finds the next
    EXPECT_EQ(orra::xml::attribute(element(QStringLiteral("B0.0.P0")), QStringLiteral("Source")),
        QStringLiteral("select City from Towns"));
    EXPECT_TRUE(window->documentChanged());
    EXPECT_EQ(morvane::DocumentTree::key(window->documentTree()->currentItem()), QStringLiteral("B0.0.S0"));
    dialog->cmdReplace_Click();
    EXPECT_EQ(orra::xml::bodyText(element(QStringLiteral("B0.0.S0"))), QStringLiteral("select count(*) from Towns"));
    EXPECT_EQ(ui.boxes.back().text, QStringLiteral("Search text is not found"));
    // After "not found" the author's own selection is not overwritten.
    RichTextBox* station = box("txtStationSQL");
    station->setSelStart(0);
    station->setSelLength(6);
    const size_t boxes = ui.boxes.size();
    what->setText(QStringLiteral("nothing like this"));
    dialog->cmdReplace_Click();
    EXPECT_EQ(station->Text(), QStringLiteral("select count(*) from Towns"));
    EXPECT_EQ(ui.boxes.size(), boxes + 1);
    // Replace mode passes over included elements; find mode searches them.
    what->setText(QStringLiteral("select City from t"));
    check("chcMatchCase", true);
    EXPECT_EQ(find(), QStringLiteral("Find:Search text is not found"));
    dialog->setTypeOfAction(0);
    EXPECT_EQ(find(), QStringLiteral("B0.I0|B0.0:select City from t"));
}

TEST_F(FindReplaceTest, ReplaceAllCountsAndPutsEachReplacementInPlace)
{
    // Replace All before any search has no box.
    dialog->cmdReplaceAll_Click();
    EXPECT_EQ(ui.boxes.back().text, QStringLiteral("Search text is not found"));
    EXPECT_EQ(ui.boxes.back().title, QStringLiteral("Replace"));
    dialog->setTypeOfAction(1);
    what->setText(QStringLiteral("t"));
    check("chcMatchCase", true);
    check("chcWholeWord", true);
    with->setText(QStringLiteral("tt"));
    dialog->cmdFind_Click();   // the block: "t.Orders", "t.Col1"
    RichTextBox* sql = dialog->SearchRTFText();
    ASSERT_EQ(sql, box("txtBlockSQL"));
    dialog->cmdReplaceAll_Click();
    EXPECT_EQ(ui.boxes.back().text, QStringLiteral("Search complete. 2 replacement made."));
    EXPECT_EQ(ui.boxes.back().title, QStringLiteral("Replace"));
    EXPECT_EQ(sql->Text(),
        QStringLiteral("select City, Total\r\nfrom tt.Orders\r\nwhere City = '<$City%>' and tt.Col1+5 > 0"));
    EXPECT_EQ(orra::xml::bodyText(element(QStringLiteral("B0.0"))), sql->Text());
    what->setText(QStringLiteral("zzz"));
    dialog->cmdReplaceAll_Click();
    EXPECT_EQ(ui.boxes.back().text, QStringLiteral("Search complete. 0 replacement made."));
    // A pattern that is no pattern: its error, then not found.
    what->setText(QStringLiteral("("));
    dialog->cmdReplaceAll_Click();
    ASSERT_GE(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[ui.boxes.size() - 2].text, QStringLiteral("Syntax error in regular expression"));
    EXPECT_EQ(ui.boxes.back().text, QStringLiteral("Search text is not found"));
    // A locked box changes nothing and says so.
    sql->setLocked(true);
    what->setText(QStringLiteral("City"));
    const QString locked = sql->Text();
    dialog->cmdReplaceAll_Click();
    EXPECT_EQ(sql->Text(), locked);
    EXPECT_EQ(ui.boxes.back().text, QStringLiteral("The text is read-only: nothing was replaced."));
}

TEST_F(FindReplaceTest, ADocumentReadAgainOrAWindowClosedStartsTheSearchOver)
{
    what->setText(QStringLiteral("city"));
    EXPECT_EQ(find(), QStringLiteral("B0.0:City"));
    const int first = dialog->SearchRTFText()->SelStart();
    EXPECT_EQ(find(), QStringLiteral("B0.0:City"));
    window->ReLoad();
    EXPECT_EQ(find(), QStringLiteral("B0.0:City"));
    EXPECT_EQ(dialog->SearchRTFText()->SelStart(), first) << "the elements of the old document are gone";
    delete window;
    window = nullptr;
    EXPECT_EQ(find(), QStringLiteral("Find:Search text is not found"));
    dialog->cmdReplaceAll_Click();
    EXPECT_EQ(ui.boxes.back().text, QStringLiteral("Search text is not found"));
}

TEST_F(FindReplaceTest, CaptionsControlsAndKeys)
{
    dialog->setTypeOfAction(0);
    dialog->show();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Find"));
    EXPECT_TRUE(with->isHidden());
    EXPECT_TRUE(dialog->findChild<QPushButton*>(QStringLiteral("cmdReplaceAll"))->isHidden());
    EXPECT_FALSE(dialog->findChild<QPushButton*>(QStringLiteral("cmdReplace"))->isHidden());
    EXPECT_EQ(what->selectedText(), what->text());
    dialog->hide();
    dialog->setTypeOfAction(1);
    dialog->show();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Replace"));
    EXPECT_FALSE(with->isHidden());
    // "Include Scripts" only with the whole document.
    auto* include = dialog->findChild<QCheckBox*>(QStringLiteral("chcIncludeScript"));
    scope(true);
    EXPECT_FALSE(include->isEnabled());
    scope(false);
    EXPECT_TRUE(include->isEnabled());
    // Enter in the search text finds; Esc hides the dialog, which keeps its search.
    what->setText(QStringLiteral("Total"));
    what->setFocus();
    QTest::keyClick(what, Qt::Key_Return);
    EXPECT_EQ(dialog->SearchRTFText()->SelText(), QStringLiteral("Total"));
    QTest::keyClick(what, Qt::Key_Escape);
    EXPECT_TRUE(dialog->isHidden());
    dialog->close();
    EXPECT_EQ(what->text(), QStringLiteral("Total"));
}

}   // namespace
}   // namespace orra::test
