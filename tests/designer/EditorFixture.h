#pragma once
// The editor window's tests: an embedded catalogue made by the test (tests/common's fixture)
// as the designer's catalogue connection, a user interface whose answers the test scripts, a
// settings store of the test's own, and the designer's main window when a test asks for it.

#include "common/IncludeExpansion.h"
#include "common/QueryDocument.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "designer/shell/frmMDIMain.h"
#include "platform/host/UserInterface.h"
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
    // Installed as the process's user interface while it lives, unless made as a host's own.
    explicit ScriptedUserInterface(bool installed = true) : m_installed(installed)
    {
        if (m_installed) m_previous = setUserInterface(this);
    }
    ~ScriptedUserInterface() override
    {
        if (m_installed) setUserInterface(m_previous);
    }
    bool interactive() const override { return true; }
    int messageBox(const QString& text, int style, const QString& title) override
    {
        boxes.push_back({text, style, title});
        if (answers.empty()) return vbOK;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    QString inputBox(const QString&, const QString&, const QString& d, bool*) override { return d; }
    void reportError(long, const QString&, const QString& description, const QString& title) override
    {
        boxes.push_back({description, vbOKOnly, title});
    }
    void processEvents() override {}
    QStringList texts() const
    {
        QStringList t;
        for (const Box& b : boxes) t << b.text;
        return t;
    }

    std::vector<Box> boxes;
    std::deque<int> answers;

private:
    bool m_installed = true;
    UserInterface* m_previous = nullptr;
};

class EditorTest : public CatalogueTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes c the designer's catalogue connection (the administrator's by default).
    void useCatalogue(std::shared_ptr<db::Connection> c);
    // Takes the document's lock as the shell does before it opens a window.
    void lockDocument(long docID);
    // Number of lock rows held for docID.
    long lockCount(long docID);
    // A window of document docID, loaded standalone (no main window); null when it failed.
    morvane::frmOrraDevelopment* openStandalone(long docID);
    // The designer's main window, loaded and shown.
    morvane::frmMDIMain* loadMain();
    // A window of docID in the main window's MDI area, locked, loaded, shown and active.
    morvane::frmOrraDevelopment* openInMain(long docID);

    QString storedText(long docID);
    long storedCheckSum(long docID);
    // The checksum computed from the row by the shared checksum code.
    long independentCheckSum(long docID);
    QStringList relations(long docID);
    // The tree in pre-order as "key|tag|text|image" lines, with indentation by depth.
    static QStringList treeLines(QTreeWidget* tree);

    ScriptedUserInterface ui;
    QTemporaryDir config;
    std::unique_ptr<morvane::frmMDIMain> main;
    std::shared_ptr<db::Connection> catalogue;
};

}   // namespace orra::test
