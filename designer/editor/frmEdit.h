#pragma once
// The value editor: a plain resizable window with one SQL-coloured rich text box, where a
// parameter's default value is edited at length. Closing it by its close box only hides it;
// the caller takes the text back and then lets the window go.

#include <QDialog>

namespace orra {
class RichTextBox;
}

namespace morvane {

class frmEdit : public QDialog {
    Q_OBJECT
public:
    explicit frmEdit(QWidget* parent = nullptr);
    orra::RichTextBox* rtfText() const { return m_rtfText; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    orra::RichTextBox* m_rtfText;
};

// What the Parameter pane's "..." button does: the value of defaultValue edited in the value
// editor (caption: the parameter's caption), written back only when it changed, the caret
// carried there and back.
class RichTextBoxValueEditing {
public:
    static void Edit(orra::RichTextBox* defaultValue, const QString& caption, QWidget* parent);
};

}   // namespace morvane
