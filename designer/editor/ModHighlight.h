#pragma once
// What colours and edits text in the designer's rich text boxes: SQL and script colouring with
// the designer's colour settings, the line-prefix engine behind comment, uncomment, indent and
// outdent, the key filters that re-colour after caret movement, and the scroll position
// helpers. The routines work on any box given to them and keep no state of their own.

#include "platform/widgets/RichTextBox.h"

#include <QColor>
#include <QString>
#include <array>
#include <cstdint>

namespace orra {
class TextHighlighter;
}

namespace morvane {

struct EditorOptions;
using orra::RichTextBox;

// The index of the first visible line of the box.
int FirstVisibleLine(const RichTextBox* editor);
// Brings line target to the top of the box as far as it scrolls.
void ScrollToLine(RichTextBox* editor, int target);
// False when text holds white space (space, tab, CR, LF, form feed, vertical tab).
bool HasNoWhiteSpace(const QString& text);

// Colours every non-empty match of pattern in the box's text (by selection; the selection is
// left on the last match).
void ColorMatches(RichTextBox* editor, std::int32_t color, const QString& pattern, bool ignoreCase, bool globalMatch);
void ColorQuotedStrings(RichTextBox* editor, std::int32_t color);
void ColorPlaceholders(RichTextBox* editor, std::int32_t color);
void ColorScriptComments(RichTextBox* editor, std::int32_t color);

// The colours of a rich-text colour table ("\redR\greenG\blueB;" entries for the SQL colour
// classes 1 to 10, as BuildRtfColorTable writes it); index 0 stays invalid.
std::array<QColor, 11> ParseRtfColorTable(const QString& colorTable);

// Colours the box as SQL with colorTable ("" = the designer's RtfColorTable); placeholders in
// the script colour OrraParameters. The text, the caret and the scroll position stay.
void HighlightSql(RichTextBox* editor, const QString& colorTable = QString());
// Colours the box as script with the designer's script colours.
void HighlightScript(RichTextBox* editor, bool freezePainting = true);
// The box's colouring (null when it has none).
orra::TextHighlighter* Highlighter(const RichTextBox* editor);

// The Options dialog's two samples (either may be null) coloured with the colours being edited
// (working), not yet the designer's.
void HighlightOptionsSamples(QPlainTextEdit* sqlSample, QPlainTextEdit* scriptSample, const EditorOptions& working);

// Key-up filters: with Shift or Ctrl alone nothing; End, Home, Enter, Tab, Shift, Ctrl (and F5
// for SQL) are swallowed; the arrow keys re-colour.
void SqlEditorKeyHandler(RichTextBox* editor, int& keyCode, int& shift);
void ScriptEditorKeyHandler(RichTextBox* editor, int& keyCode, int& shift);

// Puts marker at the start of every line the selection touches ("--" and "'" then re-colour);
// the selection keeps covering the same text. A locked box is left alone.
void CommentLines(RichTextBox* editor, const QString& marker);
// Takes marker off the start of every line the selection touches that begins with it.
void UncommentLines(RichTextBox* editor, const QString& marker);

}   // namespace morvane
