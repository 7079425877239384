#pragma once
// The shell's test fixture: a fresh settings store and embedded server per test, message boxes
// and log-on requests recorded instead of shown, and the recording document window registered
// as the document-window factory.

#include "RecordingWindow.h"
#include "designer/shell/frmMDIMain.h"
#include "platform/host/UserInterface.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class QMdiSubWindow;

namespace morvane::test {

// Message boxes and log-on requests are recorded; nothing waits for a person. The log-on is
// refused unless acceptLogOn is set.
class Recorder : public orra::UserInterface {
public:
    Recorder() { m_previous = orra::setUserInterface(this); }
    ~Recorder() override { orra::setUserInterface(m_previous); }
    bool interactive() const override { return true; }
    int messageBox(const QString& text, int, const QString& title) override
    {
        messages << text;
        titles << title;
        return orra::vbOK;
    }
    QString inputBox(const QString&, const QString&, const QString& d, bool*) override { return d; }
    void reportError(long, const QString&, const QString& description, const QString&) override
    {
        messages << description;
    }
    void processEvents() override {}
    bool logOn(orra::LogOnRequest& request) override
    {
        logOns << request.server + QLatin1Char('/') + request.database;
        if (!acceptLogOn) return false;
        request.trusted = true;
        if (!changeDatabaseTo.isEmpty()) request.database = changeDatabaseTo;
        return true;
    }
    QStringList messages;
    QStringList titles;   // of the message boxes, in step with messages
    QStringList logOns;
    bool acceptLogOn = false;
    QString changeDatabaseTo;   // the person picks another database in the log-on dialog

private:
    orra::UserInterface* m_previous = nullptr;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The embedded server "shellsrv" with the catalogue "cat", its administrator the
    // operating-system user (trusted log-on).
    void makeCatalogue();
    QString settingsFile() const;
    void writeSetting(const QString& section, const QString& key, const QString& value);
    // The stored text, or "<absent>".
    QString storedSetting(const QString& section, const QString& key) const;

    // A main window made, loaded, shown and activated (the first activation has run).
    frmMDIMain* loadMain();
    // A recording window opened as the active document window.
    RecordingWindow* openWindow(const QString& caption = QStringLiteral("Document"));

    QTemporaryDir m_dir;
    Recorder ui;
    std::unique_ptr<frmMDIMain> main;
};

}   // namespace morvane::test
