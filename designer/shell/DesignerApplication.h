#pragma once
// The designer's one error boundary: whatever the event loop calls (slots, event filters, key
// and mouse handlers, timers) that raises the system's error has it shown, with its source, and
// the designer goes on. The application object catches at every delivery; the designer's own
// event filters and key handlers catch at their edge with the same RunGuarded, so that an error
// never has to cross the toolkit's frames to be caught.

#include "platform/host/Error.h"

#include <QApplication>
#include <exception>

namespace morvane {

// Shows an error of the system the way the designer shows errors: its description in a message
// box titled with its source.
void ShowSystemError(const orra::Error& error);
// Another exception, shown as the designer's own error.
void ShowSystemError(const std::exception& error);

// Runs f; an error it raises is shown (ShowSystemError) instead of going on. False when it did.
template <typename F> bool RunGuarded(F&& f)
{
    try {
        f();
        return true;
    } catch (const orra::Error& e) {
        ShowSystemError(e);
    } catch (const std::exception& e) {
        ShowSystemError(e);
    }
    return false;
}

class DesignerApplication : public QApplication {
public:
    DesignerApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

}   // namespace morvane
