#include "platform/widgets/QtUserInterface.h"

#include "platform/widgets/LogOnDialog.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace orra {
namespace {

QString titleOrDefault(const QString& title)
{
    if (!title.isEmpty()) return title;
    const QString app = QCoreApplication::applicationName();
    return app.isEmpty() ? QStringLiteral("Orra") : app;
}

struct ButtonSet {
    QMessageBox::StandardButton buttons[3];
    int count;
};

ButtonSet buttonsOf(int style)
{
    switch (style & 7) {
    case vbOKCancel:
        return {{QMessageBox::Ok, QMessageBox::Cancel}, 2};
    case vbAbortRetryIgnore:
        return {{QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}, 3};
    case vbYesNoCancel:
        return {{QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}, 3};
    case vbYesNo:
        return {{QMessageBox::Yes, QMessageBox::No}, 2};
    case vbRetryCancel:
        return {{QMessageBox::Retry, QMessageBox::Cancel}, 2};
    default:
        return {{QMessageBox::Ok}, 1};
    }
}

int answerOf(QMessageBox::StandardButton b)
{
    switch (b) {
    case QMessageBox::Cancel:
        return vbCancel;
    case QMessageBox::Abort:
        return vbAbort;
    case QMessageBox::Retry:
        return vbRetry;
    case QMessageBox::Ignore:
        return vbIgnore;
    case QMessageBox::Yes:
        return vbYes;
    case QMessageBox::No:
        return vbNo;
    default:
        return vbOK;
    }
}

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbQuestion:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case vbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

}   // namespace

QWidget* QtUserInterface::parentWidget() const { return m_parent ? m_parent : QApplication::activeWindow(); }

int QtUserInterface::messageBox(const QString& text, int style, const QString& title)
{
    QMessageBox box(iconOf(style), titleOrDefault(title), text, QMessageBox::NoButton, parentWidget());
    const ButtonSet set = buttonsOf(style);
    for (int i = 0; i < set.count; ++i) box.addButton(set.buttons[i]);
    const int which = (style & vbDefaultButton3) ? 2 : (style & vbDefaultButton2) ? 1 : 0;
    box.setDefaultButton(set.buttons[std::min(which, set.count - 1)]);
    // Esc answers as VB's box does: Cancel where there is one, OK in an OK-only box.
    for (int i = 0; i < set.count; ++i)
        if (set.buttons[i] == QMessageBox::Cancel || set.count == 1) box.setEscapeButton(set.buttons[i]);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked) return answerOf(set.count == 1 ? QMessageBox::Ok : QMessageBox::Cancel);
    return answerOf(box.standardButton(clicked));
}

QString QtUserInterface::inputBox(
    const QString& prompt, const QString& title, const QString& defaultValue, bool* cancelled)
{
    QInputDialog dialog(parentWidget());
    dialog.setWindowTitle(titleOrDefault(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultValue);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (cancelled) *cancelled = !ok;
    // Cancel answers the empty text, as VB's InputBox does.
    return ok ? dialog.textValue() : QString();
}

void QtUserInterface::reportError(long, const QString& source, const QString& description, const QString& title)
{
    messageBox(description, vbOKOnly | vbCritical, title.isEmpty() ? source : title);
}

void QtUserInterface::processEvents() { QCoreApplication::processEvents(); }

bool QtUserInterface::logOn(LogOnRequest& request)
{
    LogOnDialog dialog(request, parentWidget());
    if (dialog.exec() != QDialog::Accepted) return false;
    request = dialog.request();
    return true;
}

}   // namespace orra
