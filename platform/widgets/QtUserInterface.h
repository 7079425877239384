#pragma once
// The desktop's user interface: message and input boxes as Qt dialogs, errors in a box, the
// event loop for DoEvents, and the log-on dialog. A desktop host installs it with
// orra::setUserInterface().

#include "platform/host/UserInterface.h"

class QWidget;

namespace orra {

class QtUserInterface : public UserInterface {
public:
    // parent (may be null) owns the dialogs; the active window is used when it is null.
    explicit QtUserInterface(QWidget* parent = nullptr) : m_parent(parent) {}

    bool interactive() const override { return true; }
    int messageBox(const QString& text, int style = vbOKOnly, const QString& title = QString()) override;
    QString inputBox(const QString& prompt, const QString& title = QString(), const QString& defaultValue = QString(),
        bool* cancelled = nullptr) override;
    // An OK box with the description, titled with title (else the source).
    void reportError(
        long number, const QString& source, const QString& description, const QString& title = QString()) override;
    void processEvents() override;
    bool logOn(LogOnRequest& request) override;

private:
    QWidget* parentWidget() const;
    QWidget* m_parent;
};

}   // namespace orra
