#pragma once
// What the catalogue tests share: a QApplication (offscreen), a user interface that records
// every box instead of showing it, a document window that keeps the shell's contract and
// records its calls, and a fixture with an embedded catalogue as the designer's catalogue
// connection.

#include "common/Connections.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/mdMain.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"
#include "tests/common/CatalogueFixture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QStringList>
#include <QWidget>

namespace orra::test {

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "test_catalogue";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

// Every box a test provokes, in order; message boxes answer OK.
class RecordingUi : public UserInterface {
public:
    bool interactive() const override { return true; }
    int messageBox(const QString& text, int style, const QString&) override
    {
        messages.append(text);
        styles.append(style);
        return vbOK;
    }
    QString inputBox(const QString&, const QString&, const QString& defaultValue, bool*) override
    {
        return defaultValue;
    }
    void reportError(long, const QString&, const QString& description, const QString&) override
    {
        messages.append(description);
        styles.append(vbOKOnly);
    }
    void processEvents() override {}

    QStringList messages;
    QList<int> styles;
};

// A document window as the shell expects one: DocID, OrraName, DocumentChanged and
// LoadWindow(); its close releases the document's lock, as the editor's does.
class TestDocumentWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int DocID MEMBER m_docId)
    Q_PROPERTY(QString OrraName MEMBER m_name)
    Q_PROPERTY(bool DocumentChanged MEMBER m_changed)
public:
    explicit TestDocumentWindow(QWidget* parent = nullptr) : QWidget(parent) { ++created; }
    ~TestDocumentWindow() override { ++destroyed; }

    Q_INVOKABLE bool LoadWindow()
    {
        ++loads;
        loadedDocIds.append(m_docId);
        if (!loadError.isEmpty()) throw Error(-1, QStringLiteral("frmOrraDevelopment"), loadError);
        return loadResult;
    }

    int docId() const { return m_docId; }

    static inline bool loadResult = true;
    static inline QString loadError;   // thrown by LoadWindow when set
    static inline int created = 0;
    static inline int destroyed = 0;
    static inline int loads = 0;
    static inline QList<int> loadedDocIds;
    static void reset()
    {
        loadResult = true;
        loadError.clear();
        created = destroyed = loads = 0;
        loadedDocIds.clear();
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        morvane::UnlockDocument(m_docId);
        event->accept();
    }

private:
    int m_docId = 0;
    QString m_name;
    bool m_changed = false;
};

class DesignerCatalogueTest : public CatalogueTest {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override
    {
        CatalogueTest::SetUp();
        main = shared(QStringLiteral("sa"), QStringLiteral("secret"));
        setMainConnection(main);
        previousUi = setUserInterface(&ui);
        TestDocumentWindow::reset();
        morvane::setDocumentWindowCreator([](QWidget* parent) { return new TestDocumentWindow(parent); });
    }

    void TearDown() override
    {
        for (QWidget* w : morvane::DocumentWindows()) delete w;
        morvane::setDocumentWindowCreator(nullptr);
        setUserInterface(previousUi);
        setMainConnection(nullptr);
        main.reset();
    }

    std::shared_ptr<db::Connection> shared(const QString& login, const QString& password)
    {
        return std::shared_ptr<db::Connection>(connect(login, password).release());
    }

    // The session holding the lock of a document, or -1 when it is free.
    long lockHolder(long docId)
    {
        const QVariant v = scalar(*admin, QStringLiteral("select SPID from tbOrraLocks where DocID=%1").arg(docId));
        return v.isValid() ? long(v.toLongLong()) : -1;
    }
    static long spidOf(db::Connection& c) { return long(scalar(c, QStringLiteral("select @@SPID")).toLongLong()); }

    std::shared_ptr<db::Connection> main;
    RecordingUi ui;
    UserInterface* previousUi = nullptr;
};

}   // namespace orra::test
