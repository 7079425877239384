// Includes in the editor window: a catalogue document included with its checks (rights,
// self-inclusion at any depth, servers), numbering, the bindings grid and its edit box, the
// stored form of the bindings, and the engine running the saved document with them.

#include "ClipboardFixture.h"

#include "runtime/DocOrra.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>

namespace orra::test {
namespace {

void key(QWidget* w, int k)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
}

QStringList gridRows(QTableWidget* g)
{
    QStringList rows;
    for (int r = 0; r < g->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 4; ++c) cells << (g->item(r, c) ? g->item(r, c)->text() : QString());
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// A parameter as the document object writes it.
QString canonicalParam(const QString& id, const QString& name, const QString& def)
{
    return QStringLiteral("<Parameter ID=\"%1\" Name=\"%2\" Caption=\"%2\" DefaultValue=\"%3\" Type=\"fact\" "
                          "Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>")
        .arg(id, name, def);
}

TEST_F(ClipboardTest, IncludeEmbedsAnExpandedCopyUnderTheNextNumber)
{
    addDocument(30, 1, QStringLiteral("Numbered"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]><Block ID=\"B0.1\" Name=\"B\"><![CDATA[]]>"
                       "<Include ID=\"B0.1.I0\" Name=\"Include:OnX\" DocID=\"22\"/>"
                       "<Include ID=\"B0.1.I2\" Name=\"Include:OnX\" DocID=\"22\"/></Block></Document>"));
    auto* w = open(30);
    select(w, "B0.1");
    w->AddInclude(node(w, "B0.1"), 24);
    EXPECT_TRUE(ui.boxes.empty()) << ui.texts().join('\n').toStdString();
    const xml::Node inc = element(w, "B0.1.I3");
    ASSERT_TRUE(inc);
    EXPECT_EQ(xml::attribute(inc, "Name"), QStringLiteral("Include:Host"));
    EXPECT_EQ(xml::attribute(inc, "DocID"), QStringLiteral("24"));
    EXPECT_EQ(xml::tagName(inc.last_child()), QStringLiteral("Document"));
    // Host's own include is expanded in turn, its binding prefixed.
    EXPECT_TRUE(element(w, "B0.1.I3|B0.I0|B0.P_Year"));
    const xml::Node nested = element(w, "B0.1.I3|B0.I0");
    EXPECT_EQ(xml::attribute(nested.child("Inheritance"), "PID"), QStringLiteral("B0.1.I3|B0.I0|B0.P_Year"));
    EXPECT_EQ(xml::attribute(nested.child("Inheritance"), "RID"), QStringLiteral("B0.1.I3|B0.P_Y"));
    QTreeWidgetItem* n = node(w, "B0.1.I3");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->text(0), QStringLiteral("Include:Host"));
    EXPECT_EQ(morvane::DocumentTree::selectedImage(n), QStringLiteral("SInclude"));
    EXPECT_EQ(morvane::DocumentTree::tag(node(w, "B0.1.I3|B0.I0")), QStringLiteral("IInclude"));
    EXPECT_TRUE(w->documentChanged());
    // The name is trimmed.
    w->AddInclude(node(w, "B0"), 22);
    EXPECT_EQ(xml::attribute(element(w, "B0.I0"), "Name"), QStringLiteral("Include:Lib"));

    // Saved: the stored form and the relations.
    ASSERT_TRUE(w->Save());
    EXPECT_TRUE(
        storedText(30).contains(QStringLiteral("<Include ID=\"B0.1.I3\" Name=\"Include:Host\" DocID=\"24\"/>")));
    EXPECT_EQ(relations(30), QStringList({"30>22", "30>22", "30>22", "30>24"}));
}

TEST_F(ClipboardTest, IncludeIsRefusedWithoutTheRightForItselfAndThroughOthers)
{
    addUser(QStringLiteral("bob"));
    useCatalogue(std::shared_ptr<db::Connection>(connectAs(QStringLiteral("bob"))));
    auto* w = open(21);
    const QString before = xmlOf(w);
    w->AddInclude(node(w, "B0"), 22);
    EXPECT_EQ(ui.texts(), QStringList({"Permission Denied : You could not include this document"}));
    EXPECT_EQ(ui.boxes[0].style, int(vbOKOnly));
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_FALSE(w->documentChanged());
    allowDoc(22, uidOf(QStringLiteral("bob")), 32, 0);
    ui.boxes.clear();
    w->AddInclude(node(w, "B0"), 22);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(element(w, "B0.I0"));
    // A denied bit wins over an allowed one.
    allowDoc(24, uidOf(QStringLiteral("bob")), 32, 32);
    w->AddInclude(node(w, "B0"), 24);
    EXPECT_EQ(ui.texts(), QStringList({"Permission Denied : You could not include this document"}));

    useCatalogue(std::shared_ptr<db::Connection>(connect(QStringLiteral("sa"), QStringLiteral("secret"))));
    // The document itself.
    auto* lib = open(22);
    const QString libBefore = xmlOf(lib);
    ui.boxes.clear();
    lib->AddInclude(node(lib, "B0"), 22);
    EXPECT_EQ(ui.texts(), QStringList({RecursiveIncludeMessage()}));
    // A document that includes this one.
    ui.boxes.clear();
    lib->AddInclude(node(lib, "B0.0"), 24);
    EXPECT_EQ(ui.texts(), QStringList({RecursiveIncludeMessage()}));
    EXPECT_EQ(xmlOf(lib), libBefore);
    EXPECT_FALSE(lib->documentChanged());
    EXPECT_EQ(RecursiveIncludeMessage(),
        QStringLiteral("Could not include to current document\r\nbecause this will cause a recursive chain"));
}

TEST_F(ClipboardTest, IncludeFollowsTheServerRule)
{
    addDocument(
        31, 1, QStringLiteral("AlsoX"), QStringLiteral("<Document ID=\"B0\" Server=\"srvX\"><![CDATA[]]></Document>"));
    addDocument(
        32, 1, QStringLiteral("OnY"), QStringLiteral("<Document ID=\"B0\" Server=\"srvY\"><![CDATA[]]></Document>"));
    auto* free = open(21);
    free->AddInclude(node(free, "B0"), 23);
    EXPECT_EQ(ui.texts(), QStringList({"Could not include a document based on connection srvX to current document"}));
    EXPECT_EQ(ui.boxes[0].style, int(vbOKOnly | vbCritical));
    EXPECT_FALSE(element(free, "B0.I0"));
    auto* x = open(31);
    ui.boxes.clear();
    x->AddInclude(node(x, "B0"), 23);
    x->AddInclude(node(x, "B0"), 22);   // "{FREE}" fits anywhere
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(childIDs(x->document()->documentElement()), QStringList({"B0.I0", "B0.I1"}));
    x->AddInclude(node(x, "B0"), 32);
    EXPECT_EQ(ui.texts(), QStringList({"Could not include a document based on connection srvY to current document"}));
}

TEST_F(ClipboardTest, GridOffersDynamicRootParametersAndEditsBindings)
{
    auto* host = open(24);
    select(host, "B0.I0");
    QTableWidget* grid = host->grdInheritance();
    EXPECT_EQ(host->visibleFrame(), int(morvane::frmOrraDevelopment::PaneInheritance)) << host->visibleFrame();
    // Fixed is static and Deep lies in a Block: neither is offered.
    EXPECT_EQ(gridRows(grid), QStringList({"B0.I0|B0.P_Year|Year|B0.P_Y|"}));
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), QStringLiteral("Related Parameter"));
    EXPECT_TRUE(grid->isColumnHidden(0));

    // Enter in column 2 opens the box with the constant without its "$".
    grid->setCurrentCell(0, 2);
    key(grid, Qt::Key_Return);
    QLineEdit* box = host->txtInheritanceInput();
    ASSERT_TRUE(box);
    EXPECT_FALSE(box->isHidden());   // the window itself is not shown
    EXPECT_EQ(box->text(), QString());
    box->setText(QStringLiteral("2024"));
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(box, &out);
    EXPECT_TRUE(box->isHidden());
    EXPECT_EQ(gridRows(grid), QStringList({"B0.I0|B0.P_Year|Year|$2024|"}));
    const xml::Node inc = element(host, "B0.I0");
    EXPECT_EQ(xml::outerXml(inc.child("Inheritance")),
        QStringLiteral("<Inheritance PID=\"B0.I0|B0.P_Year\" RID=\"$2024\"/>"));
    EXPECT_EQ(xml::tagName(inc.last_child()), QStringLiteral("Document"));
    EXPECT_TRUE(host->documentChanged());
    // Reopened on another cell visit: the value without "$"; emptied, the binding stays.
    grid->setCurrentCell(0, 3);
    grid->setCurrentCell(0, 2);
    key(grid, Qt::Key_Return);
    EXPECT_EQ(box->text(), QStringLiteral("2024"));
    box->clear();
    QCoreApplication::sendEvent(box, &out);
    EXPECT_EQ(xml::attribute(inc.child("Inheritance"), "RID"), QStringLiteral("$2024"));

    // Column 3: Enter toggles Output, Delete clears it; Delete in column 2 unbinds.
    grid->setCurrentCell(0, 3);
    key(grid, Qt::Key_Return);
    EXPECT_EQ(xml::attribute(inc.child("Inheritance"), "Type"), QStringLiteral("Output"));
    key(grid, Qt::Key_Delete);
    EXPECT_FALSE(xml::hasAttribute(inc.child("Inheritance"), "Type"));
    grid->setCurrentCell(0, 2);
    key(grid, Qt::Key_Delete);
    EXPECT_FALSE(inc.child("Inheritance"));
    EXPECT_EQ(gridRows(grid), QStringList({"B0.I0|B0.P_Year|Year||"}));

    // Without a binding, Enter in column 3 only shows the text.
    host->setDocumentChanged(false);
    grid->setCurrentCell(0, 3);
    key(grid, Qt::Key_Return);
    EXPECT_EQ(grid->item(0, 3)->text(), QStringLiteral("Output"));
    EXPECT_FALSE(host->documentChanged());
}

// A document that includes another, bound in the grid to a constant (input) and to its own
// parameter (output), saved, and run by the engine from the catalogue.
TEST_F(ClipboardTest, BindingsAreStoredAndRunByTheEngine)
{
    admin->execute(QStringLiteral("create table Trace (N int identity(1,1) primary key, Step varchar(200))"));
    addDocument(40, 1, QStringLiteral("Callee"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>")
            + Param("B0.P_Year", "Year", "1999", "dynamic", "fact")
            + Param("B0.P_Out", "Out", "select 6*7", "dynamic", "fact")
            + QStringLiteral(
                "<Block ID=\"B0.0\" Name=\"In\"><![CDATA[insert into Trace (Step) values ('inner <$Year%>')]]></Block>"
                "</Document>"));
    addDocument(41, 1, QStringLiteral("Caller"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>")
            + Param("B0.P_Result", "Result", "0", "dynamic", "fact")
            + QStringLiteral(
                "<Block ID=\"B0.0\" Name=\"Report\"><![CDATA[select '<$Result%>' as r into #Report]]></Block>"
                "</Document>"));
    auto* w = open(41);
    select(w, "B0");
    w->AddInclude(node(w, "B0"), 40);
    ASSERT_TRUE(element(w, "B0.I0"));
    // The include runs first.
    select(w, "B0.I0");
    w->MoveUpBlock();
    select(w, "B0.I0");
    QTableWidget* grid = w->grdInheritance();
    ASSERT_EQ(gridRows(grid), QStringList({"B0.I0|B0.P_Year|Year||", "B0.I0|B0.P_Out|Out||"}));
    grid->setCurrentCell(0, 2);
    key(grid, Qt::Key_Return);
    w->txtInheritanceInput()->setText(QStringLiteral("2024"));
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(w->txtInheritanceInput(), &out);
    grid->setCurrentCell(1, 2);
    w->AddInheritance(QStringLiteral("B0.P_Result"), QStringLiteral("B0.I0|B0.P_Out"));
    grid->setCurrentCell(1, 3);
    key(grid, Qt::Key_Return);
    ASSERT_TRUE(w->Save());
    EXPECT_EQ(storedText(41),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>")
            + canonicalParam("B0.P_Result", "Result", "0")
            + QStringLiteral(
                "<Include ID=\"B0.I0\" Name=\"Include:Callee\" DocID=\"40\">"
                "<Inheritance PID=\"B0.P_Year\" RID=\"$2024\"/>"
                "<Inheritance PID=\"B0.P_Out\" RID=\"B0.P_Result\" Type=\"Output\"/>"
                "</Include>"
                "<Block ID=\"B0.0\" Name=\"Report\"><![CDATA[select '<$Result%>' as r into #Report]]></Block>"
                "</Document>\r\n"));
    EXPECT_EQ(relations(41), QStringList({"41>40"}));

    DocOrra engine;
    engine.flagShowErrorMessages = false;
    engine.setDoc_Con(catalogue);
    engine.OrraID = 41;
    ASSERT_TRUE(engine.LoadDocument());
    engine.Expand();
    engine.setOrra_Con(catalogue);
    ASSERT_TRUE(engine.PrepareforExecution());
    QStringList report;
    QObject::connect(&engine, &DocOrra::DocumentEnd, [&](db::RecordsetPtr& rs) {
        for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext()) report << rs->value(0).toString();
    });
    EXPECT_EQ(engine.RunDocument(), 0.0f);
    EXPECT_EQ(report, QStringList({"42"}));
    EXPECT_EQ(scalar(*admin, QStringLiteral("select Step from Trace")).toString(), QStringLiteral("inner 2024"));
}

}   // namespace
}   // namespace orra::test

namespace orra::test {
namespace {

TEST_F(ClipboardTest, OpenIncludedDocumentOpensItsOwnWindowOnce)
{
    morvane::frmOrraDevelopment::registerWindow();
    morvane::frmOrraDevelopment* host = openInMain(24);
    ASSERT_TRUE(host);
    const int before = main->mdiArea()->subWindowList().size();
    QTreeWidgetItem* inc = host->documentTree()->node(QStringLiteral("B0.I0"));
    host->tvDocument()->setCurrentItem(inc);
    host->OpenIncludedDocument();
    ASSERT_EQ(main->mdiArea()->subWindowList().size(), before + 1);
    auto* opened = qobject_cast<morvane::frmOrraDevelopment*>(main->mdiArea()->activeSubWindow()->widget());
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->docID(), 22);
    // Again: the open window comes to the front, no second one.
    main->mdiArea()->setActiveSubWindow(main->mdiArea()->subWindowList().first());
    host->tvDocument()->setCurrentItem(inc);
    host->OpenIncludedDocument();
    EXPECT_EQ(main->mdiArea()->subWindowList().size(), before + 1);
    EXPECT_EQ(main->mdiArea()->activeSubWindow()->widget(), opened);
    // Another node names no document: nothing opens.
    host->tvDocument()->setCurrentItem(host->documentTree()->node(QStringLiteral("B0")));
    host->OpenIncludedDocument();
    EXPECT_EQ(main->mdiArea()->subWindowList().size(), before + 1);
    EXPECT_TRUE(ui.boxes.empty()) << ui.texts().join('\n').toStdString();
}

}   // namespace
}   // namespace orra::test

namespace orra::test {
namespace {

QComboBox* combo(morvane::frmOrraDevelopment* w, const char* name, const QStringList& items)
{
    auto* c = w->findChild<QComboBox*>(QLatin1String(name));
    EXPECT_TRUE(c) << name;
    for (const QString& item : items)
        if (c && c->findText(item) < 0) c->addItem(item);
    return c;
}

void choose(QComboBox* c, const QString& text)
{
    const int i = c->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    c->setCurrentIndex(i);
    emit c->activated(i);
}

TEST_F(ClipboardTest, ServerChangesOnlyWhereNoDependentDocumentIsTiedElsewhere)
{
    const QStringList servers{"{FREE}", "srvX", "srvY"};
    addDocument(25, 1, QStringLiteral("XHost"),
        QStringLiteral("<Document ID=\"B0\" Server=\"srvX\"><![CDATA[]]>"
                       "<Include ID=\"B0.I0\" Name=\"Include:OnX\" DocID=\"23\"/></Document>"));
    addDocument(33, 1, QStringLiteral("XUser"),
        QStringLiteral("<Document ID=\"B0\" Server=\"srvX\"><![CDATA[]]>"
                       "<Include ID=\"B0.I0\" Name=\"Include:OnX\" DocID=\"23\"/></Document>"));
    admin->execute(QStringLiteral("insert into tbOrraRelations values (33, 23)"));

    // Host includes only a "{FREE}" document and nobody includes it: it may take a server.
    auto* host = open(24);
    select(host, "B0");
    QComboBox* c = combo(host, "cbdocServer", servers);
    choose(c, "srvX");
    EXPECT_TRUE(ui.boxes.empty()) << ui.texts().join('\n').toStdString();
    EXPECT_EQ(xml::attribute(host->document()->documentElement(), "Server"), QStringLiteral("srvX"));
    EXPECT_TRUE(host->documentChanged());

    // Lib is included by the "{FREE}" Host (as saved): it may not take srvX.
    auto* lib = open(22);
    select(lib, "B0");
    c = combo(lib, "cbdocServer", servers);
    choose(c, "srvX");
    EXPECT_EQ(ui.texts(),
        QStringList({"Could not change document Server \r\nBecause document Host that depand on "
                     "current document based on a different Server"}));
    EXPECT_EQ(c->currentText(), QStringLiteral("{FREE}"));
    EXPECT_EQ(xml::attribute(lib->document()->documentElement(), "Server"), QStringLiteral("{FREE}"));
    EXPECT_FALSE(lib->documentChanged());

    // XHost embeds a fixed-server document: no change at all.
    ui.boxes.clear();
    auto* xhost = open(25);
    select(xhost, "B0");
    c = combo(xhost, "cbdocServer", servers);
    choose(c, "{FREE}");
    EXPECT_EQ(ui.texts(),
        QStringList({"Could not change document Server \r\nBecause document Include:OnX that current "
                     "document depands based on a different Server"}));
    EXPECT_EQ(c->currentText(), QStringLiteral("srvX"));

    // OnX is included by XUser: not to another server, but to "{FREE}" (XUser is on srvX).
    ui.boxes.clear();
    auto* onx = open(23);
    select(onx, "B0");
    c = combo(onx, "cbdocServer", servers);
    choose(c, "srvY");
    EXPECT_EQ(ui.texts(),
        QStringList({"Could not change document Server \r\nBecause there are documents that depand "
                     "on current document based on a different Server"}));
    EXPECT_EQ(xml::attribute(onx->document()->documentElement(), "Server"), QStringLiteral("srvX"));
    ui.boxes.clear();
    choose(c, "{FREE}");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(xml::attribute(onx->document()->documentElement(), "Server"), QStringLiteral("{FREE}"));
}

TEST_F(ClipboardTest, ParameterBecomesStaticOnlyWhenNobodyBindsIt)
{
    const QStringList behaviours{"dynamic", "static"};
    auto* lib = open(22);
    select(lib, "B0.P_Year");
    QComboBox* c = combo(lib, "cbparamBehaviour", behaviours);
    c->setCurrentIndex(0);
    ui.answers = {vbOK};
    choose(c, "static");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(c->currentText(), QStringLiteral("dynamic"));
    EXPECT_EQ(xml::attribute(element(lib, "B0.P_Year"), "Behaviour"), QStringLiteral("dynamic"));
    EXPECT_FALSE(lib->documentChanged());

    auto* src = open(20);
    select(src, "B0.P_Region");
    c = combo(src, "cbparamBehaviour", behaviours);
    c->setCurrentIndex(0);
    ui.boxes.clear();
    choose(c, "static");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(xml::attribute(element(src, "B0.P_Region"), "Behaviour"), QStringLiteral("static"));
    EXPECT_EQ(morvane::DocumentTree::image(node(src, "B0.P_Region")), QStringLiteral("Parameter_static"));
    EXPECT_TRUE(src->documentChanged());
    choose(c, "dynamic");
    EXPECT_EQ(morvane::DocumentTree::image(node(src, "B0.P_Region")), QStringLiteral("Parameter"));
}

}   // namespace
}   // namespace orra::test
