#include "EditorFixture.h"

#include "designer/editor/DocumentTree.h"
#include "designer/editor/frmtvDocument.h"

#include <QApplication>
#include <QTest>

namespace orra::test {

namespace {
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "designer_editor_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) m_app = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

const char* const kDocumentButtons[] = {"Save", "Refresh", "Block", "Station", "Parameter", "Script",
                                        "Delete", "Find", "AddRepository", "Copy", "Paste", "MoveUp",
                                        "MoveDown", "CommentBlock", "UnCommentBlock", "Outdent", "Indent"};
} // namespace

MainWindowDouble::MainWindowDouble()
{
    setObjectName(QStringLiteral("frmMDIMain"));
    area = new QMdiArea(this);
    setCentralWidget(area);
    mnuDoc = menuBar()->addMenu(QStringLiteral("&Document"));
    mnuDoc->setObjectName(QStringLiteral("mnuDoc"));
    for (const char* name : {"mnuDocComment", "mnuDocUnComment", "mnuDocOutdent", "mnuDocIndent"})
        mnuDoc->addAction(QLatin1String(name))->setObjectName(QLatin1String(name));
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    for (const char* name : {"mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh"})
        file->addAction(QLatin1String(name))->setObjectName(QLatin1String(name));
    QMenu* debug = menuBar()->addMenu(QStringLiteral("&Debug"));
    for (const char* name : {"mnuDebugStart", "mnuDebugStartNew", "mnuDebugTrace"})
        debug->addAction(QLatin1String(name))->setObjectName(QLatin1String(name));
    action(QStringLiteral("mnuDebugTrace"))->setCheckable(true);
    tbMain = addToolBar(QStringLiteral("tbMain"));
    tbMain->setObjectName(QStringLiteral("tbMain"));
    for (const char* key : kDocumentButtons) tbMain->addAction(QLatin1String(key))->setObjectName(QLatin1String(key));
    for (const char* key : {"Run", "RunNew", "ShowResultPane"})
        tbMain->addAction(QLatin1String(key))->setObjectName(QLatin1String(key));
    button(QStringLiteral("ShowResultPane"))->setCheckable(true);
}

QAction* MainWindowDouble::button(const QString& key) const
{
    for (QAction* a : tbMain->actions())
        if (a->objectName() == key) return a;
    return nullptr;
}

void MainWindowDouble::EnableDocumentCommands(bool enabled)
{
    calls << QStringLiteral("EnableDocumentCommands(%1)").arg(enabled ? "true" : "false");
    for (const char* key : kDocumentButtons) button(QLatin1String(key))->setEnabled(enabled);
}

void MainWindowDouble::EnableToolbarButton(const QString& key, bool enabled)
{
    calls << QStringLiteral("EnableToolbarButton(%1,%2)").arg(key, enabled ? "true" : "false");
    QAction* b = button(key);
    if (!b) throw Error(35601, QStringLiteral("Toolbar"), QStringLiteral("Element not found"));
    b->setEnabled(enabled);
}

void EditorTest::SetUp()
{
    CatalogueTest::SetUp();
    useCatalogue(admin.get());
    addCategory(1, 0, QStringLiteral("Reports"));
}

void EditorTest::TearDown()
{
    if (main) {
        // Windows left open by a test go without questions.
        for (QMdiSubWindow* sub : main->area->subWindowList())
            if (auto* w = qobject_cast<morvane::frmOrraDevelopment*>(sub->widget())) w->setDocumentChanged(false);
        main->area->closeAllSubWindows();
        main.reset();
    }
    morvane::setEditorServices({});
    CatalogueTest::TearDown();
}

void EditorTest::useCatalogue(db::Connection* c)
{
    catalogue = c;
    morvane::EditorServices s;
    s.catalogueConnection = [this] { return catalogue; };
    s.catalogueDatabase = [] { return database(); };
    s.unlockDocument = [this](long docID) {
        unlocked << docID;
        catalogue->execute(QStringLiteral("sp_UserLock '%1',1")
                               .arg(LockInfoXML(docID, QStringLiteral("Morvane"), database())));
    };
    morvane::setEditorServices(s);
}

void EditorTest::lockDocument(long docID)
{
    catalogue->execute(
        QStringLiteral("sp_UserLock '%1',0").arg(LockInfoXML(docID, QStringLiteral("Morvane"), database())));
}

long EditorTest::lockCount(long docID)
{
    return long(scalar(*admin, QStringLiteral("select count(*) from tbOrraLocks where DocID=%1").arg(docID)).toLongLong());
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

morvane::frmOrraDevelopment* EditorTest::openInMain(long docID)
{
    if (!main) {
        main = std::make_unique<MainWindowDouble>();
        main->resize(1000, 700);
        main->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    lockDocument(docID);
    auto* w = new morvane::frmOrraDevelopment;
    w->setDocID(int(docID));
    QMdiSubWindow* sub = main->area->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    if (!w->LoadWindow()) {
        delete sub;
        return nullptr;
    }
    w->setWindowTitle(QStringLiteral("Document %1").arg(docID));
    sub->show();
    main->area->setActiveSubWindow(sub);
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

} // namespace orra::test
