#pragma once
// The editor window's tests: an embedded catalogue made by the test (tests/common's fixture),
// the editor services wired to it, a user interface whose answers the test scripts, and a
// main window that stands in for the designer's frmMDIMain (an MDI area, the menus and
// toolbar buttons the editor switches, the members it calls by name, with every call logged).

#include "common/IncludeExpansion.h"
#include "common/QueryDocument.h"
#include "designer/editor/EditorServices.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "platform/text/UserInterface.h"
#include "tests/common/CatalogueFixture.h"
#include "tests/embedded/PrintQString.h"

#include <QAction>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QMenu>
#include <QStringList>
#include <QToolBar>
#include <deque>

namespace orra::test {

// Message boxes are recorded; questions take the next scripted answer (vbOK when none is left).
class ScriptedUserInterface : public UserInterface {
public:
    struct Box {
        QString text;
        int style;
        QString title;
    };
    ScriptedUserInterface() { m_previous = setUserInterface(this); }
    ~ScriptedUserInterface() override { setUserInterface(m_previous); }
    bool interactive() const override { return true; }
    int messageBox(const QString& text, int style, const QString& title) override {
        boxes.push_back({text, style, title});
        if (answers.empty()) return vbOK;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    QString inputBox(const QString&, const QString&, const QString& d, bool*) override { return d; }
    void reportError(long, const QString&, const QString& description, const QString& title) override {
        boxes.push_back({description, vbOKOnly, title});
    }
    void processEvents() override {}
    QStringList texts() const {
        QStringList t;
        for (const Box& b : boxes) t << b.text;
        return t;
    }

    std::vector<Box> boxes;
    std::deque<int> answers;

private:
    UserInterface* m_previous = nullptr;
};

// Stands in for the designer's main window: what the editor switches is observable.
class MainWindowDouble : public QMainWindow {
    Q_OBJECT
public:
    MainWindowDouble();
    Q_INVOKABLE void SetDebugButtons(bool running) { calls << QStringLiteral("SetDebugButtons(%1)").arg(running ? "true" : "false"); }
    Q_INVOKABLE void EnableDocumentCommands(bool enabled);
    Q_INVOKABLE void EnableToolbarButton(const QString& key, bool enabled);

    QAction* action(const QString& name) const { return findChild<QAction*>(name); }
    QAction* button(const QString& key) const;
    QMdiArea* area = nullptr;
    QMenu* mnuDoc = nullptr;
    QToolBar* tbMain = nullptr;
    QStringList calls;
};

class EditorTest : public CatalogueTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Wires the editor services to connection c (the administrator's by default).
    void useCatalogue(db::Connection* c);
    // Takes the document's lock as the shell does before it opens a window.
    void lockDocument(long docID);
    // Number of lock rows held for docID.
    long lockCount(long docID);
    // A window of document docID, loaded standalone (no main window); null when it failed.
    morvane::frmOrraDevelopment* openStandalone(long docID);
    // A window of docID in the main window double's MDI area, loaded and shown.
    morvane::frmOrraDevelopment* openInMain(long docID);

    QString storedText(long docID);
    long storedCheckSum(long docID);
    // The checksum computed from the row by the shared checksum code.
    long independentCheckSum(long docID);
    QStringList relations(long docID);
    // The tree in pre-order as "key|tag|text|image" lines, with indentation by depth.
    static QStringList treeLines(QTreeWidget* tree);

    ScriptedUserInterface ui;
    std::unique_ptr<MainWindowDouble> main;
    QList<long> unlocked;
    db::Connection* catalogue = nullptr;
};

} // namespace orra::test
