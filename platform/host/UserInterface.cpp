#include "platform/host/UserInterface.h"

#include "platform/host/Error.h"

#include <QCoreApplication>
#include <cstdio>

namespace orra {
namespace {

HeadlessUserInterface g_headless;
UserInterface* g_current = nullptr;

QString titleOrDefault(const QString& title)
{
    if (!title.isEmpty()) return title;
    const QString app = QCoreApplication::applicationName();
    return app.isEmpty() ? QStringLiteral("Orra") : app;
}

}   // namespace

int defaultButtonAnswer(int style)
{
    const int buttons = style & 7;
    const int which = (style & vbDefaultButton3) ? 2 : (style & vbDefaultButton2) ? 1 : 0;
    static const int answers[6][3] = {
        {vbOK, vbOK, vbOK},
        {vbOK, vbCancel, vbCancel},
        {vbAbort, vbRetry, vbIgnore},
        {vbYes, vbNo, vbCancel},
        {vbYes, vbNo, vbNo},
        {vbRetry, vbCancel, vbCancel},
    };
    return buttons < 6 ? answers[buttons][which] : vbOK;
}

UserInterface& userInterface() { return g_current ? *g_current : g_headless; }

UserInterface* setUserInterface(UserInterface* ui)
{
    UserInterface* previous = g_current ? g_current : &g_headless;
    g_current = ui;
    return previous;
}

int HeadlessUserInterface::messageBox(const QString& text, int style, const QString& title)
{
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(titleOrDefault(title)), qUtf8Printable(text));
    return defaultButtonAnswer(style);
}

QString HeadlessUserInterface::inputBox(
    const QString& prompt, const QString& title, const QString& defaultValue, bool* cancelled)
{
    std::fprintf(stderr, "%s: %s [%s]\n", qUtf8Printable(titleOrDefault(title)), qUtf8Printable(prompt),
        qUtf8Printable(defaultValue));
    if (cancelled) *cancelled = false;
    return defaultValue;
}

void HeadlessUserInterface::reportError(long number, const QString& source, const QString& description, const QString&)
{
    throw Error(number, source, description);
}

}   // namespace orra
