#pragma once
// Shared helpers of the criteria tests: the application object, a user interface that records
// message boxes instead of showing them, and a small SQLite database of sample rows.

#include "platform/db/Connection.h"
#include "platform/host/UserInterface.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>

namespace orra::test {

// Message boxes are recorded; nothing waits for a person. Installed as the process's user
// interface while it lives, unless made as a host's own (installed false).
class MessageRecorder : public UserInterface {
public:
    explicit MessageRecorder(bool installed = true) : m_installed(installed)
    {
        if (m_installed) m_previous = setUserInterface(this);
    }
    ~MessageRecorder() override
    {
        if (m_installed) setUserInterface(m_previous);
    }
    bool interactive() const override { return true; }
    int messageBox(const QString& text, int, const QString&) override
    {
        messages << text;
        return vbOK;
    }
    QString inputBox(const QString&, const QString&, const QString& d, bool*) override { return d; }
    void reportError(long, const QString&, const QString& description, const QString&) override
    {
        messages << description;
    }
    void processEvents() override {}
    QStringList messages;

private:
    bool m_installed = true;
    UserInterface* m_previous = nullptr;
};

// A database file with tables "city" (code, name, region) and "numbers" (n), opened.
class SampleDatabase {
public:
    SampleDatabase();
    db::ConnectionPtr connection;
    QString path;

private:
    QTemporaryDir m_dir;
};

// Runs action on the next modal dialog that appears (polling the event loop), e.g. to press its
// buttons while the code under test sits in exec(). Deleting the returned watch (while it is
// still there) withdraws the action.
QPointer<QTimer> onNextModal(std::function<void(QWidget*)> action);

// Shows w as a real window and waits until it is active, so focus moves as it does on a desktop.
void showActive(QWidget* w);

}   // namespace orra::test
