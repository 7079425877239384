#include "EditorFixture.h"

#include "designer/editor/DocumentTree.h"
#include "common/Connections.h"
#include "designer/editor/frmtvDocument.h"
#include "designer/shell/DesignerApplication.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/EditorOptions.h"
#include "designer/shell/mdMain.h"

#include <QApplication>
#include <QSettings>
#include <QTest>

namespace orra::test {

namespace {
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "designer_editor_tests";
        static char* argv[] = {name, nullptr};
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        if (!QApplication::instance()) m_app = new morvane::DesignerApplication(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Orra"));
        QApplication::setApplicationName(QStringLiteral("Morvane"));
        // The element-tree pane that the main window docks is the editor's.
        morvane::frmtvDocument::registerPane();
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    QTemporaryDir m_config;
    QApplication* m_app = nullptr;
};
[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}   // namespace

void EditorTest::SetUp()
{
    CatalogueTest::SetUp();
    ASSERT_TRUE(config.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    morvane::editorOptions() = morvane::EditorOptions::defaults();
    morvane::setCatalogueDatabaseName(database());
    useCatalogue(std::shared_ptr<db::Connection>(connect(QStringLiteral("sa"), QStringLiteral("secret"))));
    addCategory(1, 0, QStringLiteral("Reports"));
}

void EditorTest::TearDown()
{
    if (main) {
        // Windows left open by a test go without questions.
        for (QMdiSubWindow* sub : main->mdiArea()->subWindowList())
            if (auto* w = qobject_cast<morvane::frmOrraDevelopment*>(sub->widget())) w->setDocumentChanged(false);
        main->mdiArea()->closeAllSubWindows();
        main.reset();
    }
    orra::setMainConnection(nullptr);
    catalogue.reset();
    CatalogueTest::TearDown();
}

void EditorTest::useCatalogue(std::shared_ptr<db::Connection> c)
{
    catalogue = c;
    orra::setMainConnection(c);
}

void EditorTest::lockDocument(long docID) { morvane::LockDocument(docID); }

long EditorTest::lockCount(long docID)
{
    return long(
        scalar(*admin, QStringLiteral("select count(*) from tbOrraLocks where DocID=%1").arg(docID)).toLongLong());
}

morvane::frmOrraDevelopment* EditorTest::openStandalone(long docID)
{
    auto* w = new morvane::frmOrraDevelopment;
    w->resize(800, 600);
    w->setDocID(int(docID));
    if (!w->LoadWindow()) {
        delete w;
        return nullptr;
    }
    return w;
}

morvane::frmMDIMain* EditorTest::loadMain()
{
    if (!main) {
        main = std::make_unique<morvane::frmMDIMain>();
        main->MDIForm_Load();
        main->resize(1000, 700);
        main->show();
        main->MDIForm_Activate();
    }
    return main.get();
}

morvane::frmOrraDevelopment* EditorTest::openInMain(long docID)
{
    loadMain();
    lockDocument(docID);
    auto* w = new morvane::frmOrraDevelopment;
    w->setDocID(int(docID));
    if (!w->LoadWindow()) {
        delete w;
        return nullptr;
    }
    w->setWindowTitle(QStringLiteral("Document %1").arg(docID));
    QMdiSubWindow* sub = main->addDocumentWindow(w);
    sub->show();
    main->mdiArea()->setActiveSubWindow(sub);
    return w;
}

QString EditorTest::storedText(long docID)
{
    return scalar(*admin, QStringLiteral("select SQLtxt from tbOrraSQL where ID=%1").arg(docID)).toString();
}

long EditorTest::storedCheckSum(long docID)
{
    return long(scalar(*admin, QStringLiteral("select CheckSum from tbOrraSQL where ID=%1").arg(docID)).toLongLong());
}

long EditorTest::independentCheckSum(long docID)
{
    db::RecordsetPtr rs = admin->execute(QStringLiteral("select * from tbOrraSQL where ID=%1").arg(docID));
    EXPECT_TRUE(rs && rs->isOpen() && !rs->isEOF());
    return RowCheckSum(*rs);
}

QStringList EditorTest::relations(long docID)
{
    QStringList rows;
    db::RecordsetPtr rs = admin->execute(
        QStringLiteral("select ObjID, RelObjID from tbOrraRelations where ObjID=%1 order by RelObjID").arg(docID));
    for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext())
        rows << QStringLiteral("%1>%2").arg(rs->value(0).toLongLong()).arg(rs->value(1).toLongLong());
    return rows;
}

QStringList EditorTest::treeLines(QTreeWidget* tree)
{
    if (auto* t = qobject_cast<morvane::DocumentTree*>(tree)) t->buildAllNodes();
    QStringList lines;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        lines << QString(depth * 2, QLatin1Char(' '))
                + QStringList{morvane::DocumentTree::key(item), morvane::DocumentTree::tag(item), item->text(0),
                    morvane::DocumentTree::image(item)}
                      .join(QLatin1Char('|'));
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), 0);
    return lines;
}

}   // namespace orra::test
