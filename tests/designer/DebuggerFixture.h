#pragma once
// The debugger's tests: an editor window in the main window, driven through the main window's
// Debug commands; the run connection goes to the test's embedded server (the log-on is answered
// by the test), a Trace table records which blocks ran, and workbooks go to a folder of the
// test's own.

#include "EditorFixture.h"

#include "designer/editor/DocumentTree.h"
#include "runtime/DocOrra.h"

#include <QTreeWidgetItem>
#include <functional>

namespace orra::test {

// Log-ons are answered with the administrator's login (or refused), and the engine's yields
// to the event loop run the test's hook, where it acts as a user pressing commands mid-run.
class DebugUserInterface : public ScriptedUserInterface {
public:
    bool logOn(LogOnRequest& request) override;
    void processEvents() override;
    int messageBox(const QString& text, int style, const QString& title) override;

    bool refuseLogOn = false;
    // Answers with the login only, keeping the database the log-on was offered with.
    bool answerAsAsked = false;
    QStringList logOnServers;
    std::vector<LogOnRequest> logOnsAsked;
    std::function<void()> onYield;
    std::function<void()> onLogOn;
    std::function<void(const QString&)> onMessage;
    int yields = 0;
};

class DebuggerTest : public EditorTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The main document (10) and the document it includes (20): a setup block making #Report,
    // an outer block with a nested block and a script, an include, a last block.
    void addSampleDocuments();
    morvane::frmOrraDevelopment* openSample();
    // The sample, with a break point on the element keyed key, run until it pauses there.
    morvane::frmOrraDevelopment* openSamplePausedAt(const QString& key);
    QStringList traceRows();
    void trigger(const char* menuItem);
    void select(morvane::frmOrraDevelopment* w, const QString& key);
    QTreeWidgetItem* node(morvane::frmOrraDevelopment* w, const QString& key);
    QString selectedKey(morvane::frmOrraDevelopment* w);
    bool enabled(const char* menuItem);

    DebugUserInterface dui;
    QTemporaryDir exportDir;
};

QString docXml(const QString& children, const QString& server = QStringLiteral("{FREE}"));
QString blockXml(const QString& id, const QString& sql, const QString& children = QString());
QString scriptXml(const QString& id, const QString& code);
QString traceInsert(const QString& step);

}   // namespace orra::test
