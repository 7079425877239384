#pragma once
// A headless user interface that keeps, one line each, what scripts showed in message boxes
// and asked in input boxes (an input box takes its default answer).

#include "platform/host/UserInterface.h"

#include <QStringList>

class CaptureUI : public orra::HeadlessUserInterface {
public:
    QStringList lines;
    int messageBox(const QString& text, int, const QString&) override
    {
        lines << text;
        return orra::vbOK;
    }
    QString inputBox(const QString& prompt, const QString&, const QString& def, bool* cancelled) override
    {
        lines << prompt;
        if (cancelled) *cancelled = false;
        return def;
    }
};
