#pragma once
// A user interface for tests that keeps what the system showed and asked instead of printing
// it: every message box (text, style, title), the order of box texts and input-box prompts, and
// the yields. Boxes take their default button's answer and input boxes their default value, as
// the headless user interface does; interactive() answers `desktop`.

#include "platform/host/UserInterface.h"

#include <QList>
#include <QStringList>

namespace orra::test {

class RecordingUserInterface : public HeadlessUserInterface {
public:
    struct Box {
        QString text;
        int style = vbOKOnly;
        QString title;
    };
    bool desktop = false;   // a person at a desktop (interactive) or not
    QList<Box> boxes;       // the message boxes, in order
    QStringList lines;      // each box's text and each input box's prompt, in order
    int yields = 0;         // calls of processEvents

    bool interactive() const override { return desktop; }
    int messageBox(const QString& text, int style, const QString& title) override
    {
        boxes.append({text, style, title});
        lines << text;
        return defaultButtonAnswer(style);
    }
    QString inputBox(const QString& prompt, const QString&, const QString& defaultValue, bool* cancelled) override
    {
        lines << prompt;
        if (cancelled) *cancelled = false;
        return defaultValue;
    }
    void processEvents() override { ++yields; }
};

}   // namespace orra::test
