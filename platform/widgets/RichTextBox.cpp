#include "platform/widgets/RichTextBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace orra {

int vbKeyCode(int qtKey)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return vbKey0 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return vbKeyA + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return vbKeyF1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return vbKeyBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return vbKeyTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vbKeyReturn;
    case Qt::Key_Shift:
        return vbKeyShift;
    case Qt::Key_Control:
        return vbKeyControl;
    case Qt::Key_Alt:
        return vbKeyMenu;
    case Qt::Key_Escape:
        return vbKeyEscape;
    case Qt::Key_Space:
        return vbKeySpace;
    case Qt::Key_PageUp:
        return vbKeyPageUp;
    case Qt::Key_PageDown:
        return vbKeyPageDown;
    case Qt::Key_End:
        return vbKeyEnd;
    case Qt::Key_Home:
        return vbKeyHome;
    case Qt::Key_Left:
        return vbKeyLeft;
    case Qt::Key_Up:
        return vbKeyUp;
    case Qt::Key_Right:
        return vbKeyRight;
    case Qt::Key_Down:
        return vbKeyDown;
    case Qt::Key_Delete:
        return vbKeyDelete;
    default:
        return 0;
    }
}

int vbShiftState(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= vbShiftMask;
    if (modifiers & Qt::ControlModifier) shift |= vbCtrlMask;
    if (modifiers & Qt::AltModifier) shift |= vbAltMask;
    return shift;
}

RichTextBox::RichTextBox(QWidget* parent) : QPlainTextEdit(parent)
{
    // Colouring passes end edit blocks too, so textChanged alone does not tell an edit from
    // colouring. An edit of the text (or of character formats) goes on the undo stack and so
    // marks the document modified; colouring does not. Clearing the mark after each edit
    // re-arms it for the next.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!document()->isModified()) return;
        document()->setModified(false);
        if (m_formatting == 0) emit Change();
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &RichTextBox::SelChange);
    connect(this, &QPlainTextEdit::selectionChanged, this, &RichTextBox::SelChange);
}

QString RichTextBox::Text() const
{
    // The raw text keeps non-breaking spaces (toPlainText would turn them into spaces).
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return raw;
}

void RichTextBox::setText(const QString& text)
{
    ++m_formatting;
    setPlainText(text);
    document()->setModified(false);
    --m_formatting;
    emit Change();
}

int RichTextBox::TextLength() const
{
    const QTextDocument* doc = document();
    return doc->characterCount() - 1 + (doc->blockCount() - 1);
}

int RichTextBox::documentToText(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    return position + (block.isValid() ? block.blockNumber() : document()->blockCount() - 1);
}

int RichTextBox::textToDocument(int position) const
{
    if (position <= 0) return 0;
    const QTextDocument* doc = document();
    // The last block whose start in Text() is at or before position.
    int lo = 0, hi = doc->blockCount() - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (doc->findBlockByNumber(mid).position() + mid <= position)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(lo);
    const int offset = position - (block.position() + lo);
    // Inside the line break (or past the end): the end of the line.
    return block.position() + qMin(offset, block.length() - 1);
}

int RichTextBox::SelStart() const { return documentToText(textCursor().selectionStart()); }

int RichTextBox::SelLength() const
{
    const QTextCursor c = textCursor();
    return documentToText(c.selectionEnd()) - documentToText(c.selectionStart());
}

void RichTextBox::selectTextRange(int start, int end)
{
    QTextCursor c(document());
    c.setPosition(textToDocument(start));
    c.setPosition(textToDocument(end), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void RichTextBox::setSelStart(int position)
{
    const int p = qMax(0, position);
    selectTextRange(p, p);
}

void RichTextBox::setSelLength(int length)
{
    const int start = SelStart();
    selectTextRange(start, start + qMax(0, length));
}

QString RichTextBox::SelText() const
{
    QString s = textCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return s;
}

void RichTextBox::setSelText(const QString& text)
{
    QTextCursor c = textCursor();
    c.insertText(text);
    setTextCursor(c);
}

QColor RichTextBox::SelColor() const
{
    const QTextCursor c = textCursor();
    if (!c.hasSelection()) return c.charFormat().foreground().color();
    QColor found;
    const int start = c.selectionStart(), end = c.selectionEnd();
    for (QTextBlock b = document()->findBlock(start); b.isValid() && b.position() < end; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() + f.length() <= start || f.position() >= end) continue;
            const QColor color = f.charFormat().foreground().color();
            if (!found.isValid())
                found = color;
            else if (found != color)
                return QColor();
        }
    }
    return found;
}

void RichTextBox::setSelColor(const QColor& color)
{
    QTextCharFormat format;
    format.setForeground(color);
    ++m_formatting;
    QTextCursor c = textCursor();
    c.mergeCharFormat(format);
    document()->setModified(false);
    --m_formatting;
}

void RichTextBox::setLocked(bool locked)
{
    setReadOnly(locked);
    // A locked box still shows its caret and selects by keyboard.
    if (locked) setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

int RichTextBox::FirstVisibleLine() const { return firstVisibleBlock().blockNumber(); }

int RichTextBox::LineCount() const { return document()->blockCount(); }

void RichTextBox::ScrollLines(int lines)
{
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + lines * bar->singleStep());
}

void RichTextBox::ScrollPages(int pages)
{
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + pages * bar->pageStep());
}

void RichTextBox::ScrollToLine(int line)
{
    // Without wrapping the scroll bar counts paragraphs: its value is the line at the top.
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(qBound(bar->minimum(), line, bar->maximum()));
}

int RichTextBox::CharFromPos(const QPoint& viewportPoint) const
{
    return documentToText(cursorForPosition(viewportPoint).position());
}

void RichTextBox::keyPressEvent(QKeyEvent* event)
{
    int keyCode = vbKeyCode(event->key());
    const int shift = vbShiftState(event->modifiers());
    if (keyCode != 0 && onKeyDown) {
        onKeyDown(keyCode, shift);
        if (keyCode == 0) {
            event->accept();
            return;
        }
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && onKeyPress && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        int keyAscii = typed.at(0).unicode();
        onKeyPress(keyAscii);
        if (keyAscii == 0) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void RichTextBox::keyReleaseEvent(QKeyEvent* event)
{
    QPlainTextEdit::keyReleaseEvent(event);
    if (event->isAutoRepeat() || !onKeyUp) return;
    int keyCode = vbKeyCode(event->key());
    if (keyCode != 0) onKeyUp(keyCode, vbShiftState(event->modifiers()));
}

void RichTextBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onDblClick) onDblClick();
    QPlainTextEdit::mouseDoubleClickEvent(event);
}

void RichTextBox::mouseReleaseEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    if (onMouseUp) onMouseUp(event->button(), vbShiftState(event->modifiers()), event->position().toPoint());
}

bool RichTextBox::focusNextPrevChild(bool next) { return QPlainTextEdit::focusNextPrevChild(next); }

}   // namespace orra
