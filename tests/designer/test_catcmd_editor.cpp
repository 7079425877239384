// A document rename as the editor window of an including document shows it.

#include "designer/catalogue/CatalogueCommands.h"
#include "designer/catalogue/frmpbOrra.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/mdMain.h"
#include "tests/designer/EditorFixture.h"

#include <QApplication>

using namespace morvane;

namespace orra::test {
namespace {

class CatcmdEditor : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        addDocument(10, 1, QStringLiteral("Customers"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[inner]]>"
                           "<Block ID=\"B0.0\" Name=\"Totals\"><![CDATA[select 1]]></Block></Document>"));
        addDocument(12, 1, QStringLiteral("Report"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[report]]>"
                           "<Include ID=\"B0.I0\" Name=\"Include:Customers\" DocID=\"10\"/>"
                           "<Block ID=\"B0.0\" Name=\"Prepare\"><![CDATA[select 2]]>"
                           "<Include ID=\"B0.0.I0\" Name=\"Include:Customers\" DocID=\"10\"/></Block>"
                           "</Document>"));
        admin->execute(QStringLiteral("insert into tbOrraRelations values (12, 10)"));
        admin->execute(QStringLiteral("insert into tbOrraRelations values (12, 10)"));
        frmOrraDevelopment::registerWindow();
    }
    void TearDown() override
    {
        for (QWidget* w : DocumentWindows()) {
            w->setProperty("DocumentChanged", false);
            delete w;
        }
        setDocumentWindowCreator(nullptr);
        EditorTest::TearDown();
    }
};

TEST_F(CatcmdEditor, TheOpenIncluderShowsTheNewNameAndStaysUnchanged)
{
    OpenDocumentWindow(12, QStringLiteral("Report"));
    auto* w = qobject_cast<frmOrraDevelopment*>(FindDocumentWindow(12, QString(), false));
    ASSERT_NE(w, nullptr) << ui.texts().join(QLatin1Char('\n')).toStdString();
    ASSERT_FALSE(w->documentChanged());
    frmpbOrra pane;
    ASSERT_TRUE(tvOrra_AfterLabelEdit(pane, pane.tvOrra()->node(QStringLiteral("T10")), QStringLiteral("Müşteriler")))
        << ui.texts().join(QLatin1Char('\n')).toStdString();
    for (const char* key : {"B0.I0", "B0.0.I0"}) {
        QTreeWidgetItem* node = w->documentTree()->node(QString::fromLatin1(key));
        ASSERT_NE(node, nullptr) << key;
        EXPECT_EQ(node->text(0), QStringLiteral("Include:Müşteriler")) << key;
    }
    EXPECT_FALSE(w->document()->xml().contains(QStringLiteral("Include:Customers")));
    EXPECT_FALSE(w->documentChanged());
    // The stored includer has the new name already; the window's next save keeps it.
    const QString stored = scalar(*admin, QStringLiteral("select SQLtxt from tbOrraSQL where ID=12")).toString();
    EXPECT_EQ(stored.count(QStringLiteral("Include:Müşteriler")), 2);
    ASSERT_TRUE(w->Save());
    EXPECT_EQ(scalar(*admin, QStringLiteral("select SQLtxt from tbOrraSQL where ID=12"))
                  .toString()
                  .count(QStringLiteral("Include:Müşteriler")),
        2);
}

TEST_F(CatcmdEditor, TheRenamedDocumentsOwnWindowTakesTheNewCaption)
{
    OpenDocumentWindow(10, QStringLiteral("Customers"));
    QWidget* w = FindDocumentWindow(10, QString(), false);
    ASSERT_NE(w, nullptr) << ui.texts().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(w->windowTitle(), QStringLiteral("Customers"));
    frmpbOrra pane;
    ASSERT_TRUE(tvOrra_AfterLabelEdit(pane, pane.tvOrra()->node(QStringLiteral("T10")), QStringLiteral("Clients")))
        << ui.texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Clients"));
    EXPECT_EQ(w->property("OrraName").toString(), QStringLiteral("Clients"));
}

TEST_F(CatcmdEditor, DeletingADocumentOpenBehindLeavesTheActiveWindowItsCommands)
{
    addDocument(14, 1, QStringLiteral("Scratch"), QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"/>"));
    loadMain();
    OpenDocumentWindow(14, QStringLiteral("Scratch"));
    OpenDocumentWindow(12, QStringLiteral("Report"));
    QWidget* report = FindDocumentWindow(12, QString(), false);
    ASSERT_NE(report, nullptr) << ui.texts().join(QLatin1Char('\n')).toStdString();
    ASSERT_NE(FindDocumentWindow(14, QString(), false), nullptr);
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(report->parentWidget()));
    ASSERT_EQ(main->activeDocumentWindow(), report);
    ASSERT_TRUE(main->menuItem(QStringLiteral("mnuFileSave"))->isEnabled());

    frmpbOrra pane;
    ui.answers = {vbYes};
    DeleteDocument(pane, pane.tvOrra()->node(QStringLiteral("T14")));
    QApplication::processEvents();
    EXPECT_EQ(FindDocumentWindow(14, QString(), false), nullptr) << ui.texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(main->activeDocumentWindow(), report);
    for (const char* name :
        {"mnuDoc", "mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh", "mnuDebugStart"})
        EXPECT_TRUE(main->menuItem(QLatin1String(name))->isEnabled()) << name;
    for (const char* key : {"Save", "Refresh", "Block", "Run"})
        EXPECT_TRUE(main->toolbarButton(QLatin1String(key))->isEnabled()) << key;
}

}   // namespace
}   // namespace orra::test
