#pragma once
// How the system's code talks to a person: message boxes, input boxes and the yield to the
// host's event loop. Nothing below the GUI layer touches a widget; it asks the process's
// UserInterface. A desktop host installs the Qt implementation (platform/widgets); without
// one the headless implementation is in force, which never waits for anybody.

#include <QString>

namespace orra {

// VB's MsgBox button styles and answers, by their numbers.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };
// The answer of the default button of a MsgBox style (vbOK for vbOKOnly).
int defaultButtonAnswer(int style);

// What a log-on dialog asks and answers (the stand-in for the ODBC driver's login dialog).
struct LogOnRequest {
    QString server;
    QString database;
    bool trusted = false;   // log on as the operating-system user
    QString login;
    QString password;
    QString message;   // why it is asked (the last failure), shown above the fields
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // True when a person can answer (a desktop host).
    virtual bool interactive() const = 0;

    // VB's MsgBox: style is a sum of MsgBoxStyle values; returns an MsgBoxResult. An empty
    // title means the program's default title.
    virtual int messageBox(const QString& text, int style = vbOKOnly, const QString& title = QString()) = 0;

    // VB's InputBox; *cancelled (when given) tells Cancel from an empty answer.
    virtual QString inputBox(const QString& prompt, const QString& title = QString(),
        const QString& defaultValue = QString(), bool* cancelled = nullptr) = 0;

    // Reports an error that the original showed in an OK box and then carried on from.
    // Interactive: the box. Headless: throws orra::Error(number, source, description), so that
    // a run without a person never blocks and never loses the failure.
    virtual void reportError(
        long number, const QString& source, const QString& description, const QString& title = QString()) = 0;

    // DoEvents: let the host's event loop run (repaint, Esc, a stop request).
    virtual void processEvents() = 0;

    // Asks for the log-on to a server; false when cancelled or nobody can answer.
    virtual bool logOn(LogOnRequest& request) { return false; }
};

// The process's user interface (headless unless a host installed another).
UserInterface& userInterface();
// Installs ui (not owned; nullptr restores the headless one). Returns the previous one.
UserInterface* setUserInterface(UserInterface* ui);
// ui when a host gave one, else the process's (for parts that may answer to their own host).
inline UserInterface& userInterfaceOr(UserInterface* ui) { return ui ? *ui : userInterface(); }

// Headless: message boxes print "title: text" to standard error and take the default
// button's answer; input boxes print the prompt and take the default value; reportError throws.
class HeadlessUserInterface : public UserInterface {
public:
    bool interactive() const override { return false; }
    int messageBox(const QString& text, int style, const QString& title) override;
    QString inputBox(
        const QString& prompt, const QString& title, const QString& defaultValue, bool* cancelled) override;
    void reportError(long number, const QString& source, const QString& description, const QString& title) override;
    void processEvents() override {}
};

}   // namespace orra
