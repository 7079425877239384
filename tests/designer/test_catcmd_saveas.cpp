// Save As, its dialog, and Save As XML.

#include "designer/catalogue/frmSaveAs.h"
#include "tests/designer/CatcmdTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace morvane;

namespace orra::test {
namespace {

class CatcmdSaveAs : public CatcmdTest {
protected:
    void SetUp() override
    {
        CatcmdTest::SetUp();
        addCategory(1, 0, QStringLiteral("Reports"));
        addCategory(2, 1, QStringLiteral("Monthly"));
        addDocument(10, 1, QStringLiteral("Alpha"),
            QStringLiteral("<Document ID=\"0\" Server=\"{FREE}\"><![CDATA[old]]></Document>"));
        addDocument(11, 2, QStringLiteral("Beta"),
            QStringLiteral("<Document ID=\"0\" Server=\"{FREE}\"><![CDATA[beta]]></Document>"));
        admin->execute(QStringLiteral("update tbOrraSQL set Description='about Alpha' where ID=10"));
        stamp(QStringLiteral("tbOrraSQL"), 10);
    }
    // The window of 10 with an unsaved edit.
    CatcmdWindow* editedAlpha()
    {
        CatcmdWindow* w = openWindow(10);
        if (w) {
            w->document()->loadXML(
                QStringLiteral("<Document ID=\"0\" Server=\"{FREE}\"><![CDATA[new 'text']]></Document>"));
            w->setChanged(true);
        }
        return w;
    }
    // The dialog is driven as a user would: a node clicked, a name typed, OK.
    void answerDialog(const QString& clickKey, const QString& typed, bool ok = true)
    {
        setSaveAsDialogRunner([=, this](frmSaveAs& d) {
            dialogCategoryPath = d.txtCategoryName()->text();
            dialogName = d.txtDocumentName()->text();
            if (!clickKey.isEmpty()) {
                d.tvOrra()->setCurrentItem(d.tvOrra()->node(clickKey));
                d.NodeClick(d.tvOrra()->node(clickKey));
            }
            if (!typed.isNull()) d.txtDocumentName()->setText(typed);
            if (ok)
                d.cmdOK()->click();
            else
                d.cmdCancel()->click();
        });
    }
    QString stored(long id)
    {
        return value(QStringLiteral("select SQLtxt from tbOrraSQL where ID=%1").arg(id)).toString();
    }
    QString dialogCategoryPath, dialogName;
};

TEST_F(CatcmdSaveAs, TheDialogShowsTheCatalogueAndTheDocumentsPlace)
{
    frmSaveAs d;
    d.ObjectID = 10;
    d.CategoryID = 1;
    d.Form_Activate();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Save As.."));
    EXPECT_EQ(d.cmdOK()->text(), QStringLiteral("Ok"));
    EXPECT_EQ(d.cmdCancel()->text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(d.cmdOK()->icon().isNull());
    EXPECT_NE(d.tvOrra()->node("T11"), nullptr);
    EXPECT_EQ(KeyedTree::key(d.tvOrra()->currentItem()), QStringLiteral("C1"));
    EXPECT_EQ(d.txtCategoryName()->text(), QStringLiteral("Reports"));
    EXPECT_EQ(d.txtDocumentName()->text(), QStringLiteral("Alpha"));
    EXPECT_EQ(d.txtDocumentName()->selectedText(), QStringLiteral("Alpha"));

    // A document click gives its category's path and its name; OK then asks.
    d.tvOrra()->setCurrentItem(d.tvOrra()->node("T11"));
    d.NodeClick(d.tvOrra()->node("T11"));
    EXPECT_EQ(d.txtCategoryName()->text(), QStringLiteral("Reports\\Monthly"));
    EXPECT_EQ(d.txtDocumentName()->text(), QStringLiteral("Beta"));
    EXPECT_EQ(d.CategoryID, 2);
    EXPECT_EQ(d.ExistingDocumentID(), 11);
    answering.answers = {vbNo};
    d.cmdOK_Click();
    EXPECT_EQ(answering.messages,
        QStringList{QStringLiteral("Reports\\Monthly\\Beta\r\nis already exists. Do you want to overrite?")});
    EXPECT_EQ(answering.titles.value(0), QStringLiteral("Confirm"));
    EXPECT_FALSE(d.flagIsOK);
    EXPECT_EQ(d.txtDocumentName()->text(), QStringLiteral("Beta"));
    // Enter is OK, Esc is Cancel.
    answering.answers = {vbYes};
    QTest::keyClick(&d, Qt::Key_Return);
    EXPECT_TRUE(d.flagIsOK);
    EXPECT_EQ(d.ObjectID, 11);
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_FALSE(d.flagIsOK);
}

TEST_F(CatcmdSaveAs, ANewNameMakesANewRowAndTheWindowFollowsIt)
{
    frmpbOrra& p = loadPane();
    CatcmdWindow* w = editedAlpha();
    ASSERT_NE(w, nullptr);
    w->setWindowTitle(QStringLiteral("Alpha-[DEBUG MODE]"));
    answerDialog(QStringLiteral("C2"), QStringLiteral("  Gamma 'ş'  "));
    mnuFileSaveAs_Click(&p, w);
    EXPECT_TRUE(answering.messages.isEmpty()) << answering.messages.join('|').toStdString();
    EXPECT_EQ(dialogCategoryPath, QStringLiteral("Reports"));
    EXPECT_EQ(dialogName, QStringLiteral("Alpha"));
    // Row 12: the window's XML, the old row's description, in category 2.
    EXPECT_EQ(name("tbOrraSQL", 12), QStringLiteral("Gamma 'ş'"));
    EXPECT_EQ(count(QStringLiteral("select CategoryID from tbOrraSQL where ID=12")), 2);
    EXPECT_EQ(value(QStringLiteral("select rtrim(Description) from tbOrraSQL where ID=12")).toString(),
        QStringLiteral("about Alpha"));
    EXPECT_TRUE(stored(12).contains(QStringLiteral("new 'text'")));
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 12));
    // The old document keeps its last saved state.
    EXPECT_TRUE(stored(10).contains(QStringLiteral("old")));
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 10));
    EXPECT_EQ(w->docId(), 12);
    EXPECT_EQ(w->property("OrraName").toString(), QStringLiteral("Gamma 'ş'"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Gamma 'ş'-[DEBUG MODE]"));
    EXPECT_EQ(lockHolder(10), -1);
    EXPECT_EQ(lockHolder(12), spidOf(*main));
    ASSERT_NE(p.tvOrra()->node("T12"), nullptr);
    EXPECT_EQ(p.tvOrra()->currentItem(), p.tvOrra()->node("T12"));
    EXPECT_EQ(KeyedTree::key(p.tvOrra()->node("T12")->parent()), QStringLiteral("C2"));
}

TEST_F(CatcmdSaveAs, ANewRowWhoseLockCannotBeTakenIsNotKept)
{
    frmpbOrra& p = loadPane();
    CatcmdWindow* w = editedAlpha();
    ASSERT_NE(w, nullptr);
    // Another session holds the lock of number 12, which the new row would get.
    auto other = connect(QStringLiteral("sa"), QStringLiteral("secret"));
    other->execute(QStringLiteral("sp_UserLock '<Document><Program Name=\"Morvane\" DB=\"cat\"/><Parameter "
                                  "Name=\"DocID\" Value=\"12\"/></Document>',0"));
    answerDialog(QStringLiteral("C2"), QStringLiteral("Gamma"));
    mnuFileSaveAs_Click(&p, w);
    ASSERT_EQ(answering.messages.size(), 1);
    EXPECT_TRUE(answering.messages[0].startsWith(QStringLiteral("The document 12 is locked by")))
        << answering.messages[0].toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 2);
    EXPECT_EQ(p.tvOrra()->node("T12"), nullptr);
    EXPECT_EQ(w->docId(), 10);
    EXPECT_EQ(w->saves, 0);
    EXPECT_TRUE(w->changed());
    EXPECT_EQ(lockHolder(10), spidOf(*main));
    EXPECT_EQ(lockHolder(12), spidOf(*other));
}

TEST_F(CatcmdSaveAs, SaveAsOntoItselfIsASaveAndACancelWritesNothing)
{
    frmpbOrra& p = loadPane();
    CatcmdWindow* w = editedAlpha();
    ASSERT_NE(w, nullptr);
    answerDialog(QString(), QStringLiteral("Gamma"), false);
    mnuFileSaveAs_Click(&p, w);
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 2);
    EXPECT_EQ(w->saves, 0);
    EXPECT_TRUE(stored(10).contains(QStringLiteral("old")));

    answerDialog(QStringLiteral("T10"), QString());
    mnuFileSaveAs_Click(&p, w);
    EXPECT_EQ(answering.messages.size(), 1);   // the overwrite question only
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 2);
    EXPECT_EQ(w->saves, 1);
    EXPECT_EQ(w->docId(), 10);
    EXPECT_TRUE(stored(10).contains(QStringLiteral("new 'text'")));
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 10));
    EXPECT_EQ(lockHolder(10), spidOf(*main));
    EXPECT_EQ(FindDocumentWindow(10, QString(), false), w);
}

TEST_F(CatcmdSaveAs, OverAnotherOpenDocumentAsksBeforeItsWindowIsDiscarded)
{
    frmpbOrra& p = loadPane();
    CatcmdWindow* beta = openWindow(11);
    ASSERT_NE(beta, nullptr);
    beta->setChanged(true);
    CatcmdWindow* w = editedAlpha();
    ASSERT_NE(w, nullptr);

    // Yes to the overwrite, No to discarding Beta's window: nothing is written.
    answering.answers = {vbYes, vbNo};
    answerDialog(QStringLiteral("T11"), QString());
    mnuFileSaveAs_Click(&p, w);
    ASSERT_EQ(answering.messages.size(), 2);
    EXPECT_EQ(answering.messages[1],
        QStringLiteral("The document 'Beta' is open in another window. That window will be "
                       "closed and its unsaved changes lost. Do you want to go on?"));
    EXPECT_TRUE(stored(11).contains(QStringLiteral("beta")));
    EXPECT_EQ(FindDocumentWindow(11, QString(), false), beta);
    EXPECT_EQ(w->docId(), 10);

    answering.answers = {vbYes, vbYes};
    mnuFileSaveAs_Click(&p, w);
    EXPECT_EQ(CatcmdWindow::questions, 0);
    EXPECT_EQ(FindDocumentWindow(11, QString(), false), w);
    EXPECT_EQ(w->docId(), 11);
    EXPECT_TRUE(stored(11).contains(QStringLiteral("new 'text'")));
    EXPECT_EQ(name("tbOrraSQL", 11), QStringLiteral("Beta"));
    EXPECT_EQ(count(QStringLiteral("select CategoryID from tbOrraSQL where ID=11")), 2);
    EXPECT_TRUE(checkSumHolds("tbOrraSQL", 11));
    EXPECT_TRUE(stored(10).contains(QStringLiteral("old")));
    // The target stays locked by the window that now edits it.
    EXPECT_EQ(lockHolder(11), spidOf(*main));
    EXPECT_EQ(lockHolder(10), -1);
}

TEST_F(CatcmdSaveAs, RightsAreAskedOnTheTarget)
{
    allowCategory(1, annUid, rightEdit, rightAddNewDocument);
    allowDoc(10, annUid, rightEdit | rightChange, 0);
    allowDoc(11, annUid, rightEdit, rightChange);
    logOnAsAnn();
    frmpbOrra& p = loadPane();
    CatcmdWindow* w = editedAlpha();
    ASSERT_NE(w, nullptr);
    answerDialog(QStringLiteral("C1"), QStringLiteral("Gamma"));
    mnuFileSaveAs_Click(&p, w);
    answering.answers = {vbYes};
    answerDialog(QStringLiteral("T11"), QString());
    mnuFileSaveAs_Click(&p, w);
    ASSERT_EQ(answering.messages.size(), 3);
    EXPECT_EQ(
        answering.messages[0], QStringLiteral("Permission Denied : You could not add document to 'Reports' category"));
    EXPECT_EQ(answering.messages[2], QStringLiteral("Permission Denied : You could not change document: 'Beta'"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from tbOrraSQL")), 2);
    EXPECT_TRUE(stored(11).contains(QStringLiteral("beta")));
    EXPECT_EQ(w->docId(), 10);
}

TEST_F(CatcmdSaveAs, SaveAsXmlWritesTheDocumentByteForByte)
{
    CatcmdWindow* w = editedAlpha();
    ASSERT_NE(w, nullptr);
    w->document()->loadXML(QStringLiteral("<Document ID=\"0\" Name=\"Çığ\"><![CDATA[select 'x' < 1]]></Document>"));
    QTemporaryDir dir;
    QString proposed;
    const QString path = dir.filePath(QStringLiteral("out.xml"));
    setSaveFileAsker([&](QWidget*, const QString& name) {
        proposed = name;
        return path;
    });
    // A window opened from the tree has no OrraName yet: the catalogue's name is proposed, in the
    // user's documents folder.
    w->setProperty("OrraName", QString());
    mnuFileSaveAsXML_Click(w);
    EXPECT_EQ(proposed,
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("Alpha.xml")));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), w->document()->xml().toUtf8());
    EXPECT_EQ(w->document()->xml(),
        QStringLiteral("<Document ID=\"0\" Name=\"Çığ\"><![CDATA[select 'x' < 1]]></Document>\r\n"));

    // A cancelled file dialog writes nothing.
    const QString other = dir.filePath(QStringLiteral("Alpha.xml"));
    setSaveFileAsker([](QWidget*, const QString&) { return QString(); });
    mnuFileSaveAsXML_Click(w);
    EXPECT_FALSE(QFile::exists(other));
    EXPECT_TRUE(answering.messages.isEmpty());
}

}   // namespace
}   // namespace orra::test
