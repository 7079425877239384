// Opening documents in their windows: the Edit right, one window per document, the lock
// taken through the catalogue's lock procedure and released when no window came of it, and
// a document locked by another designer session.

#include "CatalogueTestSupport.h"

#include "common/Permissions.h"
#include "platform/host/Error.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

using namespace orra;
using namespace morvane;
using test::TestDocumentWindow;

namespace {

const QString kDenied = QStringLiteral("Permission Denied : You could not open this document");

class OpeningDocuments : public test::DesignerCatalogueTest {
protected:
    void SetUp() override
    {
        DesignerCatalogueTest::SetUp();
        alice = addUser(QStringLiteral("alice"));
        bob = addUser(QStringLiteral("bob"));
        readers = addRole(QStringLiteral("readers"));
        addMember(QStringLiteral("readers"), QStringLiteral("bob"));
        addCategory(1, 0, QStringLiteral("Sales"));
        addDocument(
            5, 1, QStringLiteral("City report"), QStringLiteral("<Document ID=\"B0\"/>"), QStringLiteral("alice"));
        addDocument(6, 1, QStringLiteral("Ledger"), QStringLiteral("<Document ID=\"B0\"/>"));
    }

    // The designer's catalogue connection becomes login's own.
    std::shared_ptr<db::Connection> logOnAs(const QString& login)
    {
        auto c = shared(login, QStringLiteral("pw_") + login);
        setMainConnection(c);
        return c;
    }

    TestDocumentWindow* windowOf(long id)
    {
        return qobject_cast<TestDocumentWindow*>(FindDocumentWindow(id, QString(), false));
    }

    long alice = 0, bob = 0, readers = 0;
};

TEST_F(OpeningDocuments, TheOwnerOpensTheDocumentUnderItsLock)
{
    auto c = logOnAs(QStringLiteral("alice"));
    OpenDocumentWindow(5, QStringLiteral("City report"));
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
    TestDocumentWindow* w = windowOf(5);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->docId(), 5);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("City report"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(TestDocumentWindow::loadedDocIds, QList<int>{5});
    // The lock is this session's.
    EXPECT_EQ(lockHolder(5), spidOf(*c));
    EXPECT_EQ(scalar(*admin, QStringLiteral("select Program from tbOrraLocks where DocID=5")).toString(),
        QStringLiteral("Morvane"));
    // Closing the window releases it.
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(lockHolder(5), -1);
    EXPECT_TRUE(DocumentWindows().isEmpty());
}

TEST_F(OpeningDocuments, WithoutTheEditRightNothingOpensAndNothingIsLocked)
{
    logOnAs(QStringLiteral("bob"));
    OpenDocumentWindow(5, QStringLiteral("City report"));
    EXPECT_EQ(ui.messages, QStringList{kDenied});
    EXPECT_EQ(ui.styles, QList<int>{vbOKOnly});
    EXPECT_EQ(TestDocumentWindow::created, 0);
    EXPECT_EQ(lockHolder(5), -1);
}

TEST_F(OpeningDocuments, ADocumentDeletedMeanwhileSaysSoInOneBox)
{
    admin->execute(QStringLiteral("delete from tbOrraSQL where ID=6"));
    logOnAs(QStringLiteral("bob"));
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Document 6 does not exist")});
    EXPECT_EQ(windowOf(6), nullptr);
    EXPECT_EQ(lockHolder(6), -1);
}

TEST_F(OpeningDocuments, ARoleThatAllowsOpensAndADenyOfTheUserWins)
{
    allowDoc(6, readers, rightEdit, 0);
    logOnAs(QStringLiteral("bob"));
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    EXPECT_TRUE(ui.messages.isEmpty());
    ASSERT_NE(windowOf(6), nullptr);
    delete windowOf(6);
    UnlockDocument(6);

    allowDoc(6, bob, 0, rightEdit);
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    EXPECT_EQ(ui.messages, QStringList{kDenied});
    EXPECT_EQ(windowOf(6), nullptr);
    EXPECT_EQ(lockHolder(6), -1);
}

TEST_F(OpeningDocuments, ACategoryRightOpensItsDocuments)
{
    allowCategory(1, bob, rightEdit, 0);
    logOnAs(QStringLiteral("bob"));
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_NE(windowOf(6), nullptr);
}

TEST_F(OpeningDocuments, AnOpenDocumentIsBroughtToTheFrontAndNeverOpenedTwice)
{
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    QWidget* first = windowOf(6);
    ASSERT_NE(first, nullptr);
    OpenDocumentWindow(5, QStringLiteral("City report"));
    // No second lock call: a lock removed behind the designer's back stays removed.
    admin->execute(QStringLiteral("delete from tbOrraLocks where DocID=6"));
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    EXPECT_EQ(lockHolder(6), -1);
    EXPECT_EQ(TestDocumentWindow::created, 2);
    EXPECT_EQ(TestDocumentWindow::loads, 2);
    EXPECT_EQ(DocumentWindows().size(), 2);
    EXPECT_EQ(FindDocumentWindow(6, QString(), true), first);
    // The window follows a DocID that was changed (Save As re-points a window).
    first->setProperty("DocID", 7);
    EXPECT_EQ(FindDocumentWindow(6, QString(), false), nullptr);
    EXPECT_EQ(FindDocumentWindow(7, QString(), false), first);
}

TEST_F(OpeningDocuments, InsideTheMainWindowDocumentsOpenAsSubWindowsAndComeToTheFront)
{
    QMainWindow mainWindow;
    auto* area = new QMdiArea;
    mainWindow.setCentralWidget(area);
    mainWindow.show();
    OpenDocumentWindow(5, QStringLiteral("City report"));
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    ASSERT_EQ(area->subWindowList().size(), 2);
    QWidget* report = windowOf(5);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->parentWidget(), area->subWindowList().at(0));
    EXPECT_EQ(area->subWindowList().at(0)->windowTitle(), QStringLiteral("City report"));
    area->setActiveSubWindow(area->subWindowList().at(1));
    OpenDocumentWindow(5, QStringLiteral("City report"));
    EXPECT_EQ(area->activeSubWindow(), area->subWindowList().at(0));
    EXPECT_EQ(area->subWindowList().size(), 2);
    // Closing the sub-window closes the document's window and releases its lock.
    area->subWindowList().at(0)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(lockHolder(5), -1);
    EXPECT_EQ(DocumentWindows().size(), 1);
}

TEST_F(OpeningDocuments, ADocumentLockedByAnotherSessionSaysWhoHoldsIt)
{
    // Alice's designer holds the lock of document 6.
    auto aliceSession = logOnAs(QStringLiteral("alice"));
    allowDoc(6, alice, rightEdit, 0);
    allowDoc(6, bob, rightEdit, 0);
    LockDocument(6);
    const long aliceSpid = spidOf(*aliceSession);
    ASSERT_EQ(lockHolder(6), aliceSpid);

    // Bob's designer, on the same server, is told and gets no window.
    logOnAs(QStringLiteral("bob"));
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages.at(0).contains(QStringLiteral("locked by 'alice'"))) << ui.messages.at(0).toStdString();
    EXPECT_TRUE(ui.messages.at(0).contains(QStringLiteral("Morvane")));
    EXPECT_EQ(TestDocumentWindow::created, 0);
    EXPECT_EQ(lockHolder(6), aliceSpid);
    // Bob's release does not free Alice's lock.
    UnlockDocument(6);
    EXPECT_EQ(lockHolder(6), aliceSpid);

    // Once Alice's session has ended, Bob takes the document over.
    setMainConnection(nullptr);
    aliceSession->close();
    aliceSession.reset();
    auto bobSession = logOnAs(QStringLiteral("bob"));
    ui.messages.clear();
    OpenDocumentWindow(6, QStringLiteral("Ledger"));
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(lockHolder(6), spidOf(*bobSession));
}

TEST_F(OpeningDocuments, ALockIsReleasedWhenTheWindowCannotLoad)
{
    TestDocumentWindow::loadResult = false;
    OpenDocumentWindow(5, QStringLiteral("City report"));
    EXPECT_EQ(TestDocumentWindow::loads, 1);
    EXPECT_EQ(TestDocumentWindow::destroyed, 1);
    EXPECT_TRUE(DocumentWindows().isEmpty());
    EXPECT_EQ(lockHolder(5), -1);
    // The window has said why; the shell adds nothing.
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(OpeningDocuments, ALockIsReleasedWhenTheWindowFailsWithAnError)
{
    TestDocumentWindow::loadError = QStringLiteral("Can not parse XML");
    OpenDocumentWindow(5, QStringLiteral("City report"));
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Can not parse XML")});
    EXPECT_EQ(TestDocumentWindow::destroyed, 1);
    EXPECT_TRUE(DocumentWindows().isEmpty());
    EXPECT_EQ(lockHolder(5), -1);
}

TEST_F(OpeningDocuments, ALockIsReleasedWhenNoWindowCanBeMade)
{
    setDocumentWindowCreator(nullptr);
    OpenDocumentWindow(5, QStringLiteral("City report"));
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("This program has no document window to open the document in.")});
    EXPECT_EQ(lockHolder(5), -1);

    // A window without the contract's members is an error, not a silent window.
    ui.messages.clear();
    setDocumentWindowCreator([](QWidget* parent) { return new QWidget(parent); });
    OpenDocumentWindow(5, QStringLiteral("City report"));
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("The document window has no property DocID.")});
    EXPECT_EQ(lockHolder(5), -1);
    EXPECT_TRUE(DocumentWindows().isEmpty());
}

TEST_F(OpeningDocuments, FindWithoutCreateTakesNoLock)
{
    EXPECT_EQ(FindDocumentWindow(5, QStringLiteral("x"), false), nullptr);
    EXPECT_EQ(lockHolder(5), -1);
    EXPECT_EQ(TestDocumentWindow::created, 0);
}

TEST_F(OpeningDocuments, LockAndUnlockCallTheLockProcedureWithTheLockInformation)
{
    LockDocument(6);
    EXPECT_EQ(lockHolder(6), spidOf(*main));
    // Taking it again in the same session is allowed.
    LockDocument(6);
    UnlockDocument(6);
    EXPECT_EQ(lockHolder(6), -1);
    // Releasing a lock that is not held is harmless.
    UnlockDocument(6);
    // Without a catalogue connection the error reaches the caller.
    setMainConnection(nullptr);
    EXPECT_THROW(LockDocument(6), Error);
}

}   // namespace
