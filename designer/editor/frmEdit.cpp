#include "designer/editor/frmEdit.h"

#include "designer/editor/ModHighlight.h"
#include "platform/widgets/RichTextBox.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace morvane {

frmEdit::frmEdit(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEdit"));
    setWindowTitle(QStringLiteral("Form1"));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_rtfText = new orra::RichTextBox(this);
    m_rtfText->setObjectName(QStringLiteral("rtfText"));
    m_rtfText->setAccessibleName(QStringLiteral("Value"));
    m_rtfText->setFont(QFont(QStringLiteral("Verdana")));
    // Lines wrap only beyond the width of the whole screen: in practice, not at all.
    m_rtfText->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_rtfText);
    resize(640, 400);

    m_rtfText->onKeyDown = [this](int& keyCode, int) {
        if (keyCode != orra::vbKeyTab) return;
        m_rtfText->setSelText(QStringLiteral("\t"));
        keyCode = 0;
    };
    m_rtfText->onKeyUp = [this](int& keyCode, int shift) { SqlEditorKeyHandler(m_rtfText, keyCode, shift); };
}

void frmEdit::closeEvent(QCloseEvent* event)
{
    // The user's close only hides the window: its text is still to be taken back.
    event->ignore();
    hide();
    done(QDialog::Accepted);
}

void RichTextBoxValueEditing::Edit(orra::RichTextBox* defaultValue, const QString& caption, QWidget* parent)
{
    int position = defaultValue->SelStart();
    frmEdit form(parent);
    form.rtfText()->setText(defaultValue->Text());
    HighlightSql(form.rtfText(), QString());
    form.rtfText()->setSelStart(position);
    form.setWindowTitle(caption);
    form.exec();
    position = form.rtfText()->SelStart();
    const QString edited = form.rtfText()->Text();
    if (edited != defaultValue->Text()) {
        defaultValue->setText(edited);
        HighlightSql(defaultValue, QString());
    }
    defaultValue->setSelStart(position);
}

}   // namespace morvane
