#include "designer/editor/EditorTextHandlers.h"

#include "common/QueryDocument.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/ModHighlight.h"
#include "designer/editor/frmEdit.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "designer/shell/DesignerApplication.h"
#include "designer/shell/EditorOptions.h"
#include "designer/shell/frmMDIMain.h"

#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace morvane {

namespace xml = orra::xml;
using orra::RichTextBox;

namespace {

const char* const kEditorNames[EditorTextHandlers::KindCount] = {
    "txtBlockSQL", "txtStationSQL", "txtScriptSource", "txtparamDefaultVal", "txtparamSource", "txtdocDescription"};

// The 21 characters that end a word for the double-click selection.
bool isWordDelimiter(QChar c)
{
    static const QString delimiters = QStringLiteral(" .=,()[]{};:'\"+-/*\r\n\t");
    return delimiters.contains(c);
}

QString withCrLf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

// The body text of element (its first child node's text); the element gets a CDATA section
// in front when it has none.
void setBodyText(xml::Node element, const QString& text)
{
    xml::Node first = element.first_child();
    if (!first || (first.type() != pugi::node_cdata && first.type() != pugi::node_pcdata))
        first = element.prepend_child(pugi::node_cdata);
    xml::setNodeText(first, text);
}

frmMDIMain* mainWindow() { return frmMDIMain::instance(); }

}   // namespace

EditorTextHandlers::EditorTextHandlers(frmOrraDevelopment* window) : QObject(window), m_window(window) {}

EditorTextHandlers::Kind EditorTextHandlers::kindOf(const RichTextBox* editor) const
{
    for (int k = 0; k < KindCount; ++k)
        if (m_editors[k] == editor) return Kind(k);
    return KindCount;
}

void EditorTextHandlers::attach(RichTextBox* editor)
{
    if (!editor) return;
    int kind = 0;
    while (kind < KindCount && editor->objectName() != QLatin1String(kEditorNames[kind])) ++kind;
    if (kind == KindCount || m_editors[kind] == editor) return;
    const Kind k = Kind(kind);
    m_editors[k] = editor;

    // Each handler is an edge of the designer's error boundary: an error is shown there, and a
    // key that failed goes no further.
    connect(editor, &RichTextBox::Change, this, [this, k] { RunGuarded([&] { onChange(k); }); });
    connect(editor, &RichTextBox::SelChange, this, [editor] {
        if (frmMDIMain* main = mainWindow(); main && editor->hasFocus()) main->UpdatePanelLine(editor);
    });
    editor->onDblClick = [this, editor] { RunGuarded([&] { BeginWordSelection(editor); }); };
    editor->onMouseUp = [this, editor](Qt::MouseButton, int, QPoint) { RunGuarded([&] { SelectWordBounds(editor); }); };
    editor->installEventFilter(this);
    if (k == DocDescription) return;
    // The element tree's node drag is not text: the editor's viewport takes it here.
    editor->viewport()->setAcceptDrops(true);
    editor->viewport()->installEventFilter(this);
    editor->onKeyDown = [this, k](int& keyCode, int shift) {
        if (!RunGuarded([&] { onKeyDown(k, keyCode, shift); })) keyCode = 0;
    };
    editor->onKeyPress = [this, k](int& keyAscii) {
        if (!RunGuarded([&] { onKeyPress(k, keyAscii); })) keyAscii = 0;
    };
    editor->onKeyUp = [this, k](int& keyCode, int shift) { RunGuarded([&] { onKeyUp(k, keyCode, shift); }); };
    if (k == ParamDefaultVal) {
        if (auto* button = m_window->findChild<QPushButton*>(QStringLiteral("cmdEditDefaultValue")))
            connect(button, &QPushButton::clicked, this, &EditorTextHandlers::cmdEditDefaultValue_Click);
    }
}

bool EditorTextHandlers::eventFilter(QObject* watched, QEvent* event)
{
    if (const QEvent::Type t = event->type();
        t == QEvent::DragEnter || t == QEvent::DragMove || t == QEvent::DragLeave || t == QEvent::Drop) {
        RichTextBox* editor = nullptr;
        for (RichTextBox* e : m_editors)
            if (e && e != m_editors[DocDescription] && e->viewport() == watched) editor = e;
        if (editor) return treeDragEvent(editor, event);
    }
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        const Kind k = kindOf(qobject_cast<RichTextBox*>(watched));
        if (k != KindCount) {
            RunGuarded([&] {
                if (event->type() == QEvent::FocusIn)
                    onGotFocus(k);
                else
                    onLostFocus(k);
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Showing an element's text.

void EditorTextHandlers::LoadElementText(QTreeWidgetItem* node, xml::Node element)
{
    if (!node || !element) return;
    QString tag = DocumentTree::tag(node);
    if (tag.startsWith(QLatin1Char('I'))) tag.remove(0, 1);
    const QString id = xml::attribute(element, QStringLiteral("ID"));
    auto show = [&](Kind k, const QString& text, bool script) {
        RichTextBox* e = m_editors[k];
        if (!e) return;
        m_targetIDs[k].clear();
        // In debug mode the texts are read-only; else the pane's editability holds.
        e->setLocked(e->isReadOnly() || m_window->StructureLocked());
        m_loading = true;
        e->setText(text);
        m_loading = false;
        if (script)
            HighlightScript(e, true);
        else
            HighlightSql(e, QString());
        m_targetIDs[k] = id;
    };
    if (tag == QLatin1String("Block") || tag == QLatin1String("Station") || tag == QLatin1String("Script")) {
        const Kind k = tag == QLatin1String("Block") ? BlockSQL
            : tag == QLatin1String("Station")        ? StationSQL
                                                     : ScriptSource;
        show(k, xml::bodyText(element), k == ScriptSource);
        if (m_editors[k]) RestoreCursorPosition(m_editors[k], id);
    } else if (tag == QLatin1String("Parameter")) {
        show(ParamDefaultVal, xml::attribute(element, QStringLiteral("DefaultValue")), false);
        show(ParamSource, xml::attribute(element, QStringLiteral("Source")), false);
    }
}

void EditorTextHandlers::DocumentReplaced()
{
    for (QString& id : m_targetIDs) id.clear();
}

void EditorTextHandlers::ElementsRemoved(const QStringList& ids)
{
    for (QString& id : m_targetIDs)
        if (ids.contains(id)) id.clear();
    for (const QString& id : ids)
        if (m_cursorPositions.IsExists(id)) m_cursorPositions.Remove(id);
}

void EditorTextHandlers::ElementIDChanged(const QString& oldID, const QString& newID)
{
    for (QString& id : m_targetIDs)
        if (id == oldID) id = newID;
    if (!m_cursorPositions.IsExists(oldID)) return;
    const clsRTFPosition kept = m_cursorPositions.Item(oldID);
    m_cursorPositions.Remove(oldID);
    if (m_cursorPositions.IsExists(newID)) m_cursorPositions.Remove(newID);
    m_cursorPositions.Add(kept.FirstRow, kept.Position, newID);
}

// ---------------------------------------------------------------------------------------------
// Change: the text goes back into the element.

void EditorTextHandlers::onChange(Kind k)
{
    // Texts shown or re-shown (settings applied) are no edits.
    if (m_loading || m_window->ApplyingSettings()) return;
    RichTextBox* e = m_editors[k];
    xml::Node target = k == DocDescription ? m_window->CurrentElement() : m_window->elementByID(m_targetIDs[k]);
    if (!e || !target) return;
    if (k == DocDescription && xml::tagName(target) != QLatin1String("Document")) return;
    const QString text = e->Text();
    if (k == ParamDefaultVal || k == ParamSource) {
        xml::setAttribute(
            target, k == ParamDefaultVal ? QStringLiteral("DefaultValue") : QStringLiteral("Source"), text);
    } else {
        // The description is filled by its pane directly: showing it changes nothing.
        if (k == DocDescription && withCrLf(xml::bodyText(target)) == text) return;
        setBodyText(target, text);
    }
    if (k == DocDescription || !e->Locked()) m_window->setDocumentChanged(true);
}

// ---------------------------------------------------------------------------------------------
// Keys.

void EditorTextHandlers::onKeyDown(Kind k, int& keyCode, int shift)
{
    RichTextBox* e = m_editors[k];
    if (!e) return;
    if (k == ParamDefaultVal || k == ParamSource) {
        if (keyCode == orra::vbKeyTab && !e->Locked()) {
            e->setSelText(QStringLiteral("\t"));
            keyCode = 0;
        }
        return;
    }
    const bool script = k == ScriptSource;
    if (keyCode == orra::vbKeyTab) {
        if (!e->Locked() && e->SelLength() >= 1 && (shift == 0 || shift == orra::vbShiftMask)) {
            if (shift == 0)
                CommentLines(e, QStringLiteral("\t"));
            else
                UncommentLines(e, QStringLiteral("\t"));
            keyCode = 0;
        }
        return;
    }
    const int ctrlShift = orra::vbCtrlMask | orra::vbShiftMask;
    const QString marker = script ? QStringLiteral("'") : QStringLiteral("--");
    if (shift == ctrlShift && !e->Locked() && keyCode == orra::vbKeyC) {
        CommentLines(e, marker);
        keyCode = 0;
        return;
    }
    if (shift == ctrlShift && !e->Locked() && keyCode == orra::vbKeyY) {
        UncommentLines(e, marker);
        keyCode = 0;
        return;
    }
    if (script) return;
    if (keyCode == orra::vbKeyEscape) {
        if (m_adHoc.CancelEditorSQL) m_adHoc.CancelEditorSQL();
        return;
    }
    if (keyCode == orra::vbKeyF5) {
        if (!m_window->DebugMode()) return;
        if (shift == 0) {
            if (m_adHoc.ExecuteEditorSQL) m_adHoc.ExecuteEditorSQL(e->SelText());
        } else if (shift == orra::vbCtrlMask) {
            showRunableSQL(e);
        }
        return;
    }
    if (k == BlockSQL && shift == orra::vbCtrlMask && keyCode >= orra::vbKey0 && keyCode <= orra::vbKey9) {
        runTemplate(e, keyCode - orra::vbKey0);
        keyCode = 0;
    }
}

void EditorTextHandlers::runTemplate(RichTextBox* editor, int digit)
{
    // Ctrl+1 is the first template, Ctrl+9 the ninth, Ctrl+0 the tenth.
    const int index = digit == 0 ? 9 : digit - 1;
    QString sql = editorOptions().QueryShortcuts[size_t(index)];
    if (sql.isEmpty()) return;
    sql.replace(QLatin1String("%s"), editor->SelText());
    if (m_adHoc.ExecuteEditorSQL) m_adHoc.ExecuteEditorSQL(sql);
}

void EditorTextHandlers::showRunableSQL(RichTextBox* editor)
{
    const QString result = m_adHoc.GetRunableSQL ? m_adHoc.GetRunableSQL(editor->SelText()) : editor->SelText();
    QTabWidget* pane = m_window->resultPane();
    auto* message = pane->findChild<QPlainTextEdit*>(QStringLiteral("dbgMessage"));
    if (message) {
        message->setPlainText(message->toPlainText() + QStringLiteral("\r\n") + QString(40, QLatin1Char('-'))
            + QStringLiteral("\r\n") + result);
        message->moveCursor(QTextCursor::End);
        pane->setCurrentWidget(message);
    }
    // The result pane is shown (through the window's own command once it has one).
    if (!QMetaObject::invokeMethod(m_window, "ShowHideResultPane", Qt::DirectConnection, Q_ARG(bool, true)))
        pane->setVisible(true);
}

void EditorTextHandlers::onKeyPress(Kind k, int& keyAscii)
{
    RichTextBox* e = m_editors[k];
    if (!e || e->Locked() || HasNoWhiteSpace(QString(QChar(keyAscii)))) return;
    colour(k);
}

void EditorTextHandlers::onKeyUp(Kind k, int& keyCode, int shift)
{
    RichTextBox* e = m_editors[k];
    if (!e || e->Locked()) return;
    // Re-colouring alone does not mark the document changed.
    const bool changed = m_window->documentChanged();
    int s = shift;
    if (k == ScriptSource)
        ScriptEditorKeyHandler(e, keyCode, s);
    else
        SqlEditorKeyHandler(e, keyCode, s);
    m_window->setDocumentChanged(changed);
}

void EditorTextHandlers::colour(Kind k)
{
    if (RichTextBox* e = m_editors[k]) {
        if (k == ScriptSource)
            HighlightScript(e, true);
        else if (k != DocDescription)
            HighlightSql(e, QString());
    }
}

// ---------------------------------------------------------------------------------------------
// Focus: the caret line in the status bar; leaving an element's text remembers its position.

void EditorTextHandlers::onGotFocus(Kind k)
{
    if (k == BlockSQL)
        if (frmMDIMain* main = mainWindow()) main->UpdatePanelLine(m_editors[k]);
}

void EditorTextHandlers::onLostFocus(Kind k)
{
    if (frmMDIMain* main = mainWindow()) main->setPanelText(QStringLiteral("Line"), QString());
    // Only for an element that is still there.
    if ((k == BlockSQL || k == StationSQL || k == ScriptSource) && m_window->elementByID(m_targetIDs[k]))
        StoreCursorPosition(m_editors[k], m_targetIDs[k]);
}

// ---------------------------------------------------------------------------------------------
// Word selection.

void EditorTextHandlers::BeginWordSelection(RichTextBox* editor)
{
    m_wordSelectPending = true;
    m_wordSelectStart = editor->SelStart();
}

void EditorTextHandlers::SelectWordBounds(RichTextBox* editor)
{
    if (!m_wordSelectPending) return;
    m_wordSelectPending = false;
    const int line = FirstVisibleLine(editor);
    const QString text = editor->Text();
    int start = qBound(0, m_wordSelectStart, int(text.size()));
    while (start > 0 && !isWordDelimiter(text[start - 1])) --start;
    int end = start;
    while (end < text.size() && !isWordDelimiter(text[end])) ++end;
    editor->setSelStart(start);
    editor->setSelLength(end - start);
    ScrollToLine(editor, line);
}

// ---------------------------------------------------------------------------------------------
// Cursor positions.

void EditorTextHandlers::StoreCursorPosition(RichTextBox* editor, const QString& id)
{
    const long line = FirstVisibleLine(editor);
    const long caret = editor->SelStart();
    if (m_cursorPositions.IsExists(id)) m_cursorPositions.Remove(id);
    m_cursorPositions.Add(line, caret, id);
}

void EditorTextHandlers::RestoreCursorPosition(RichTextBox* editor, const QString& id)
{
    if (!m_cursorPositions.IsExists(id)) return;
    const clsRTFPosition& pos = m_cursorPositions.Item(id);
    editor->setSelStart(int(pos.Position));
    ScrollToLine(editor, int(pos.FirstRow));
}

// ---------------------------------------------------------------------------------------------
// The window's text commands.

RichTextBox* EditorTextHandlers::commandEditor(QString* commentMarker) const
{
    const QTreeWidgetItem* node = m_window->tvDocument() ? m_window->tvDocument()->currentItem() : nullptr;
    const QString tag = DocumentTree::tag(node);
    RichTextBox* editor = nullptr;
    if (tag == QLatin1String("Block")) {
        *commentMarker = QStringLiteral("--");
        editor = m_editors[BlockSQL];
    } else if (tag == QLatin1String("Station")) {
        *commentMarker = QStringLiteral("--");
        editor = m_editors[StationSQL];
    } else if (tag == QLatin1String("Script")) {
        *commentMarker = QStringLiteral("'");
        editor = m_editors[ScriptSource];
    }
    // A locked text changes by no command.
    return editor && !editor->Locked() ? editor : nullptr;
}

void EditorTextHandlers::CommentBlock()
{
    QString marker;
    if (RichTextBox* e = commandEditor(&marker)) CommentLines(e, marker);
}

void EditorTextHandlers::UnCommentBlock()
{
    QString marker;
    if (RichTextBox* e = commandEditor(&marker)) UncommentLines(e, marker);
}

void EditorTextHandlers::IndentBlock()
{
    QString marker;
    if (RichTextBox* e = commandEditor(&marker)) CommentLines(e, QStringLiteral("\t"));
}

void EditorTextHandlers::OutdentBlock()
{
    QString marker;
    if (RichTextBox* e = commandEditor(&marker)) UncommentLines(e, QStringLiteral("\t"));
}

void EditorTextHandlers::cmdEditDefaultValue_Click()
{
    RichTextBox* value = m_editors[ParamDefaultVal];
    if (!value) return;
    const auto* caption = m_window->findChild<QLineEdit*>(QStringLiteral("txtparamCaption"));
    RichTextBoxValueEditing::Edit(value, caption ? caption->text() : QString(), m_window);
}

// ---------------------------------------------------------------------------------------------
// Dropping tree nodes.

void EditorTextHandlers::DropNode(RichTextBox* editor, QTreeWidgetItem* node, int dragShift)
{
    const Kind k = kindOf(editor);
    if (!node || k == KindCount || k == DocDescription || editor->Locked()) return;
    const QString tag = DocumentTree::tag(node);
    QString inserted;
    if (k == ScriptSource) {
        if (tag == QLatin1String("Parameter") && dragShift == 0)
            inserted = QStringLiteral("<$") + node->text(0) + QStringLiteral("%>");
        else if (dragShift == orra::vbCtrlMask)
            inserted = DocumentTree::key(node);
    } else if (tag == QLatin1String("Parameter")) {
        inserted = QStringLiteral("<$") + node->text(0) + QStringLiteral("%>");
    }
    if (inserted.isEmpty()) return;
    editor->setSelText(inserted);
    m_window->setDocumentChanged(true);
}

bool EditorTextHandlers::treeDragEvent(RichTextBox* editor, QEvent* event)
{
    if (event->type() == QEvent::DragLeave) return false;
    auto* de = static_cast<QDropEvent*>(event);
    // Only this window's own element-tree drag; any other drag (text) is the editor's.
    const QMimeData* ours = m_window->TreeDragData();
    if (!ours || de->mimeData() != ours) return false;
    if (editor->Locked() || !m_window->DraggingNode()) {
        de->ignore();
        return true;
    }
    const QPoint at = de->position().toPoint();
    RunGuarded([&] {
        ShowDropCaret(editor, at);
        if (event->type() == QEvent::Drop) {
            if (editor == m_editors[ScriptSource]) m_window->EndTreeDrag();
            DropNode(editor, m_window->PressedNode(), m_window->DragShift());
        }
    });
    de->setDropAction(Qt::CopyAction);
    de->accept();
    return true;
}

void EditorTextHandlers::ShowDropCaret(RichTextBox* editor, const QPoint& point)
{
    if (!editor || editor->Locked()) return;
    editor->setFocus();
    editor->setSelStart(editor->CharFromPos(point));
}

// ---------------------------------------------------------------------------------------------
// The window's public text commands (called by name by the main window).

void frmOrraDevelopment::CommentBlock() { m_text->CommentBlock(); }
void frmOrraDevelopment::UnCommentBlock() { m_text->UnCommentBlock(); }
void frmOrraDevelopment::IndentBlock() { m_text->IndentBlock(); }
void frmOrraDevelopment::OutdentBlock() { m_text->OutdentBlock(); }

}   // namespace morvane
