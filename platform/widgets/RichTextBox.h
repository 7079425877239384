#pragma once
// The designer's rich text box: a QPlainTextEdit that keeps the contract the editors were
// written against. Text has CR LF line breaks, and SelStart/SelLength count in that text (a
// line break is two characters), so positions match the stored element text. Locked is a
// read-only box that still moves its caret and selects by keyboard. Lines are paragraphs
// (the designer's boxes do not wrap): FirstVisibleLine is the paragraph at the top.
//
// Key events reach the owner with the key codes and shift states of the original control
// (Tab 9, Esc 27, "0".."9" 48..57, "A".."Z" 65..90, F1.. 112.., arrows 37..40; Shift 1, Ctrl 2,
// Alt 4): a key-down handler that sets the code to 0 swallows the key; key-press sees the typed
// character before it goes in. Change fires once for each change of the text (typed, pasted,
// SelText, Text or setPlainText by the program), never for colouring or formatting alone. The
// box owns its document's modified flag for this.

#include <QColor>
#include <QPlainTextEdit>
#include <functional>

namespace orra {

// VB key codes used by the editors.
enum VbKeyCode : int {
    vbKeyBack = 8,
    vbKeyTab = 9,
    vbKeyReturn = 13,
    vbKeyShift = 16,
    vbKeyControl = 17,
    vbKeyMenu = 18,
    vbKeyEscape = 27,
    vbKeySpace = 32,
    vbKeyPageUp = 33,
    vbKeyPageDown = 34,
    vbKeyEnd = 35,
    vbKeyHome = 36,
    vbKeyLeft = 37,
    vbKeyUp = 38,
    vbKeyRight = 39,
    vbKeyDown = 40,
    vbKeyDelete = 46,
    vbKey0 = 48,
    vbKey9 = 57,
    vbKeyA = 65,
    vbKeyC = 67,
    vbKeyY = 89,
    vbKeyZ = 90,
    vbKeyF1 = 112,
    vbKeyF5 = 116,
    vbKeyF12 = 123,
};
enum VbShift : int { vbShiftMask = 1, vbCtrlMask = 2, vbAltMask = 4 };

// The VB key code of a Qt key (0 when it has none) and the shift state of modifiers.
int vbKeyCode(int qtKey);
int vbShiftState(Qt::KeyboardModifiers modifiers);

class RichTextBox : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE setText)
    Q_PROPERTY(int SelStart READ SelStart WRITE setSelStart)
    Q_PROPERTY(int SelLength READ SelLength WRITE setSelLength)
    Q_PROPERTY(QString SelText READ SelText WRITE setSelText)
    Q_PROPERTY(bool Locked READ Locked WRITE setLocked)

public:
    explicit RichTextBox(QWidget* parent = nullptr);

    // The whole text with CR LF between lines. Setting it takes CR LF, LF or CR as a break.
    QString Text() const;
    void setText(const QString& text);
    // Length of Text() without building it.
    int TextLength() const;

    // The selection in Text() positions (0-based). Setting SelStart collapses the selection
    // there; a position past the end is the end; one between CR and LF is the end of its line.
    int SelStart() const;
    void setSelStart(int position);
    int SelLength() const;
    void setSelLength(int length);
    // The selected text (CR LF breaks); setting it replaces the selection, the caret after it.
    QString SelText() const;
    void setSelText(const QString& text);

    // The foreground colour of the selection as characters carry it (invalid when the
    // selection has more than one); setting it colours the selected characters. The text does
    // not change, so Change does not fire.
    QColor SelColor() const;
    void setSelColor(const QColor& color);

    bool Locked() const { return isReadOnly(); }
    void setLocked(bool locked);

    // Paragraph lines: the index of the one at the top, how many there are, scrolling.
    int FirstVisibleLine() const;
    int LineCount() const;
    void ScrollLines(int lines);   // positive: down
    void ScrollPages(int pages);   // positive: down
    // Brings line to the top as far as the box can scroll (the last page stops it).
    void ScrollToLine(int line);

    // Conversions between Text() positions and document positions.
    int textToDocument(int position) const;
    int documentToText(int position) const;

    // The character index nearest to a point of the viewport (EM_CHARFROMPOS).
    int CharFromPos(const QPoint& viewportPoint) const;

    // Handlers the owner sets (each may be empty).
    std::function<void(int& keyCode, int shift)> onKeyDown;
    std::function<void(int& keyAscii)> onKeyPress;
    std::function<void(int& keyCode, int shift)> onKeyUp;
    std::function<void()> onDblClick;
    std::function<void(Qt::MouseButton button, int shift, QPoint point)> onMouseUp;

signals:
    void Change();
    void SelChange();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void selectTextRange(int start, int end);
    int m_formatting = 0;   // >0 while Change is held back (formats only, or Text being set)
};

}   // namespace orra
