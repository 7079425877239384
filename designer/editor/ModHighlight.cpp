#include "designer/editor/ModHighlight.h"

#include "designer/shell/EditorOptions.h"
#include "platform/text/RegExp.h"
#include "platform/widgets/TextHighlighter.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace morvane {

int FirstVisibleLine(const RichTextBox* editor) { return editor->FirstVisibleLine(); }

void ScrollToLine(RichTextBox* editor, int target) { editor->ScrollToLine(target); }

bool HasNoWhiteSpace(const QString& text)
{
    for (const QChar c : text)
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v') return false;
    return true;
}

void ColorMatches(RichTextBox* editor, std::int32_t color, const QString& pattern, bool ignoreCase, bool globalMatch)
{
    orra::RegExp re;
    re.pattern = pattern;
    re.ignoreCase = ignoreCase;
    re.global = globalMatch;
    const QColor c = toQColor(color);
    for (const orra::RegExpMatch& m : re.execute(editor->Text())) {
        if (m.value.isEmpty()) continue;
        editor->setSelStart(m.firstIndex);
        editor->setSelLength(m.length);
        editor->setSelColor(c);
    }
}

void ColorQuotedStrings(RichTextBox* editor, std::int32_t color)
{
    const QColor c = toQColor(color);
    int offset = 0;
    for (const QString& line : editor->Text().split(QStringLiteral("\r\n"))) {
        int p = int(line.indexOf(u'"'));
        while (p >= 0) {
            const int q = int(line.indexOf(u'"', p + 1));
            if (q < 0) break;
            editor->setSelStart(offset + p);
            editor->setSelLength(q - p + 1);
            editor->setSelColor(c);
            p = int(line.indexOf(u'"', q + 1));
        }
        offset += int(line.size()) + 2;
    }
}

void ColorPlaceholders(RichTextBox* editor, std::int32_t color)
{
    ColorMatches(editor, color, QStringLiteral("<\\$[^<,>]*%>"), true, true);
}

void ColorScriptComments(RichTextBox* editor, std::int32_t color)
{
    ColorMatches(editor, color, QStringLiteral("'.*\\n"), true, true);
}

std::array<QColor, 11> ParseRtfColorTable(const QString& colorTable)
{
    std::array<QColor, 11> colors{};
    static const QRegularExpression entry(QStringLiteral("\\\\red(\\d+)\\\\green(\\d+)\\\\blue(\\d+);"));
    size_t i = 1;
    for (auto it = entry.globalMatch(colorTable); it.hasNext() && i < colors.size(); ++i) {
        const auto m = it.next();
        colors[i] = QColor(qBound(0, m.captured(1).toInt(), 255), qBound(0, m.captured(2).toInt(), 255),
            qBound(0, m.captured(3).toInt(), 255));
    }
    return colors;
}

orra::TextHighlighter* Highlighter(const RichTextBox* editor)
{
    return editor->document()->findChild<orra::TextHighlighter*>(QString(), Qt::FindDirectChildrenOnly);
}

namespace {

orra::TextHighlighter* highlighterFor(QPlainTextEdit* editor, orra::TextHighlighter::Mode mode)
{
    auto* h = editor->document()->findChild<orra::TextHighlighter*>(QString(), Qt::FindDirectChildrenOnly);
    if (!h) {
        h = new orra::TextHighlighter(editor->document(), mode);
        h->setView(editor);
    }
    h->setMode(mode);
    return h;
}

void highlightSql(QPlainTextEdit* editor, const QString& colorTable, const EditorOptions& options)
{
    highlighterFor(editor, orra::TextHighlighter::Sql)
        ->setSqlColors(ParseRtfColorTable(colorTable), toQColor(options.ScriptColors[ScriptOrraParameters]));
}

void highlightScript(QPlainTextEdit* editor, const EditorOptions& o)
{
    highlighterFor(editor, orra::TextHighlighter::Script)
        ->setScriptColors(toQColor(o.ScriptColors[ScriptVBKeyWords]), toQColor(o.ScriptColors[ScriptOrraKeyWords]),
            toQColor(o.ScriptColors[ScriptStrings]), toQColor(o.ScriptColors[ScriptOrraParameters]),
            toQColor(o.ScriptColors[ScriptComments]));
}

// Line starts (in Text() positions) of the lines a selection [start, end) touches: the first
// line always, then every line that begins before end.
QList<int> touchedLineStarts(const QString& text, int start, int end)
{
    int lineStart = start;
    while (lineStart > 0 && text[lineStart - 1] != u'\r' && text[lineStart - 1] != u'\n') --lineStart;
    QList<int> starts{lineStart};
    for (;;) {
        int p = lineStart;
        while (p < text.size() && text[p] != u'\r' && text[p] != u'\n') ++p;
        p = qMin(p + 2, int(text.size()));
        if (p >= text.size() || p >= end) break;
        lineStart = p;
        starts.append(lineStart);
    }
    return starts;
}

// Trims a selection that ends with a line break, so the next line is not taken in.
void trimTrailingBreak(RichTextBox* editor)
{
    if (editor->SelText().endsWith(QLatin1String("\r\n"))) editor->setSelLength(editor->SelLength() - 2);
}

void recolourAfterMarker(RichTextBox* editor, const QString& marker)
{
    if (marker == QLatin1String("--"))
        HighlightSql(editor, QString());
    else if (marker == QLatin1String("'"))
        HighlightScript(editor, true);
}

void selectText(RichTextBox* editor, int start, int length)
{
    editor->setSelStart(start);
    editor->setSelLength(length);
}

}   // namespace

void HighlightSql(RichTextBox* editor, const QString& colorTable)
{
    const EditorOptions& o = editorOptions();
    highlightSql(editor, colorTable.isEmpty() ? o.RtfColorTable : colorTable, o);
}

void HighlightScript(RichTextBox* editor, bool) { highlightScript(editor, editorOptions()); }

void HighlightOptionsSamples(QPlainTextEdit* sqlSample, QPlainTextEdit* scriptSample, const EditorOptions& working)
{
    // The sample's own colour table, in the form BuildRtfColorTable gives the designer's.
    if (sqlSample) highlightSql(sqlSample, BuildRtfColorTable(working), working);
    if (scriptSample) highlightScript(scriptSample, working);
}

namespace {

void editorKeyHandler(RichTextBox* editor, int& keyCode, int& shift, bool sql)
{
    if (shift == orra::vbShiftMask || shift == orra::vbCtrlMask) return;
    switch (keyCode) {
    case orra::vbKeyEnd:
    case orra::vbKeyHome:
    case orra::vbKeyReturn:
    case orra::vbKeyTab:
    case orra::vbKeyShift:
    case orra::vbKeyControl:
        keyCode = 0;
        return;
    case orra::vbKeyF5:
        if (sql) keyCode = 0;
        return;
    case orra::vbKeyDown:
    case orra::vbKeyUp:
    case orra::vbKeyLeft:
    case orra::vbKeyRight:
        if (sql)
            HighlightSql(editor, QString());
        else
            HighlightScript(editor, true);
        return;
    default:
        return;
    }
}

}   // namespace

void SqlEditorKeyHandler(RichTextBox* editor, int& keyCode, int& shift)
{
    editorKeyHandler(editor, keyCode, shift, true);
}

void ScriptEditorKeyHandler(RichTextBox* editor, int& keyCode, int& shift)
{
    editorKeyHandler(editor, keyCode, shift, false);
}

void CommentLines(RichTextBox* editor, const QString& marker)
{
    if (editor->Locked() || marker.isEmpty()) return;
    const int n = int(marker.size());
    trimTrailingBreak(editor);
    const int start = editor->SelStart();
    const int length = editor->SelLength();
    const int line = FirstVisibleLine(editor);
    const QList<int> starts = touchedLineStarts(editor->Text(), start, start + length);

    QTextCursor c(editor->document());
    c.beginEditBlock();
    for (qsizetype i = starts.size() - 1; i >= 0; --i) {
        c.setPosition(editor->textToDocument(starts[i]));
        c.insertText(marker);
    }
    c.endEditBlock();

    ScrollToLine(editor, line);
    recolourAfterMarker(editor, marker);
    // The same text as before, now with its markers: every marker but a first one in front of
    // the selection's start is inside it.
    selectText(editor, start + n, length + int(starts.size()) * n - n);
}

void UncommentLines(RichTextBox* editor, const QString& marker)
{
    if (editor->Locked() || marker.isEmpty()) return;
    const int n = int(marker.size());
    trimTrailingBreak(editor);
    const int start = editor->SelStart();
    const int end = start + editor->SelLength();
    const int line = FirstVisibleLine(editor);
    const QString text = editor->Text();
    QList<int> removed;
    for (int s : touchedLineStarts(text, start, end))
        if (QStringView(text).mid(s, n) == marker) removed.append(s);

    QTextCursor c(editor->document());
    c.beginEditBlock();
    for (qsizetype i = removed.size() - 1; i >= 0; --i) {
        c.setPosition(editor->textToDocument(removed[i]));
        c.setPosition(editor->textToDocument(removed[i] + n), QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    c.endEditBlock();

    ScrollToLine(editor, line);
    recolourAfterMarker(editor, marker);
    // Where a position of the old text is now: each removed marker before it shifts it back;
    // one inside a removed marker goes to where the marker was.
    auto moved = [&](int p) {
        int shift = 0;
        for (int s : removed) {
            if (s + n <= p)
                shift += n;
            else if (s < p)
                shift += p - s;
        }
        return p - shift;
    };
    const int newStart = moved(start);
    selectText(editor, newStart, moved(end) - newStart);
}

}   // namespace morvane
