#pragma once
// The behaviour of the editor window's six text editors: each change written back into the
// element the editor shows (and the document marked changed), the keys (comment, uncomment,
// indent, outdent, F5, Ctrl+F5, Esc, the Ctrl+digit query templates), re-colouring while
// typing, word selection on double-click, the caret line in the main window's status bar, the
// remembered caret and scroll position per element, and a tree node dropped on an editor.
//
// The window owns one EditorTextHandlers; its panes hand it each editor when they are made
// (attach) and each element text they show (LoadElementText).

#include "common/Xml.h"
#include "designer/editor/colBlockCursorPositions.h"
#include "platform/widgets/RichTextBox.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QTreeWidgetItem;

namespace morvane {

class frmOrraDevelopment;

// Where F5, Ctrl+F5, Esc and the query templates reach the window's ad-hoc SQL execution.
// Each may be empty: the key then does nothing more.
struct AdHocSqlSeam {
    // Runs a text (placeholders still in it) on the run connection.
    std::function<void(const QString& sql)> ExecuteEditorSQL;
    // The text with its placeholders replaced by the run's parameter values.
    std::function<QString(const QString& sql)> GetRunableSQL;
    // Cancels a running ad-hoc statement (Esc); false when none is running.
    std::function<bool()> CancelEditorSQL;
};

class EditorTextHandlers : public QObject {
    Q_OBJECT
public:
    // The editors by what they edit.
    enum Kind { BlockSQL, StationSQL, ScriptSource, ParamDefaultVal, ParamSource, DocDescription, KindCount };

    explicit EditorTextHandlers(frmOrraDevelopment* window);

    // Takes over an editor of the window (known by its objectName); other boxes are ignored.
    void attach(orra::RichTextBox* editor);
    orra::RichTextBox* editor(Kind kind) const { return m_editors[kind]; }

    // Shows element, the element of node, in its editors (Block, Station, Script, Parameter
    // and their included forms): its text, coloured, Locked when the pane is read-only or in
    // debug mode, the caret and scroll where they were left for that element.
    void LoadElementText(QTreeWidgetItem* node, orra::xml::Node element);

    // What the window tells: the document was replaced (no editor edits anything until it is
    // shown an element again; the remembered positions stay, as positions of IDs), elements went (their editors edit
    // nothing and their remembered positions go), an element's ID changed (its editor and position follow).
    void DocumentReplaced();
    void ElementsRemoved(const QStringList& ids);
    void ElementIDChanged(const QString& oldID, const QString& newID);

    // The public text commands of the window, by the selected node's tag.
    void CommentBlock();
    void UnCommentBlock();
    void IndentBlock();
    void OutdentBlock();

    // The Parameter pane's "...": the default value in the value editor.
    void cmdEditDefaultValue_Click();

    // A node of the element tree dropped on editor (dragShift: 1 Shift, 2 Ctrl, 4 Alt when the
    // drag began). Parameters go in as their placeholder; the script editor takes any node's
    // key with Ctrl.
    void DropNode(orra::RichTextBox* editor, QTreeWidgetItem* node, int dragShift);
    // While a node is dragged over editor: the caret follows the mouse (viewport point).
    void ShowDropCaret(orra::RichTextBox* editor, const QPoint& point);
    // A drag event on editor's viewport: the window's element-tree drag moves the caret and
    // drops there; true when the event was the tree's.
    bool treeDragEvent(orra::RichTextBox* editor, QEvent* event);

    void StoreCursorPosition(orra::RichTextBox* editor, const QString& id);
    void RestoreCursorPosition(orra::RichTextBox* editor, const QString& id);
    colBlockCursorPositions& CursorPositions() { return m_cursorPositions; }

    void setAdHocSql(AdHocSqlSeam seam) { m_adHoc = std::move(seam); }
    const AdHocSqlSeam& adHocSql() const { return m_adHoc; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Kind kindOf(const orra::RichTextBox* editor) const;
    void onChange(Kind kind);
    void onKeyDown(Kind kind, int& keyCode, int shift);
    void onKeyPress(Kind kind, int& keyAscii);
    void onKeyUp(Kind kind, int& keyCode, int shift);
    void onGotFocus(Kind kind);
    void onLostFocus(Kind kind);
    void BeginWordSelection(orra::RichTextBox* editor);
    void SelectWordBounds(orra::RichTextBox* editor);
    void runTemplate(orra::RichTextBox* editor, int digit);
    void showRunableSQL(orra::RichTextBox* editor);
    void colour(Kind kind);
    // The editor of the selected node's tag for the four text commands, with its marker.
    orra::RichTextBox* commandEditor(QString* commentMarker) const;

    frmOrraDevelopment* m_window;
    orra::RichTextBox* m_editors[KindCount] = {};
    // The ID of the element each editor shows (its write-back target), looked up at each write.
    QString m_targetIDs[KindCount];
    bool m_loading = false;
    bool m_wordSelectPending = false;
    int m_wordSelectStart = 0;
    colBlockCursorPositions m_cursorPositions;
    AdHocSqlSeam m_adHoc;
};

}   // namespace morvane
