// The element builders (IDs and names of new elements, their place in the tree and the
// document, the new node selected and open for its name) and the renaming of elements by
// label edit, with a parameter's rename carried into placeholders, bindings and scripts.

#include "PanesFixture.h"

#include <QApplication>
#include <QTest>

namespace orra::test {
namespace {

using morvane::DocumentTree;
using morvane::frmOrraDevelopment;

class BuildersTest : public PanesTest {
protected:
    void SetUp() override
    {
        PanesTest::SetUp();
        addDocument(8, 1, "Empty", "");
    }
    // The keys of node's children, in tree order.
    static QStringList childKeys(frmOrraDevelopment* w, const QString& key)
    {
        QTreeWidgetItem* n = w->documentTree()->node(key);
        w->documentTree()->buildChildItems(n);
        QStringList keys;
        for (int i = 0; i < n->childCount(); ++i) keys << DocumentTree::key(n->child(i));
        return keys;
    }
    // Every own named node of the tree shows its element's Name under its element's ID.
    static void expectTreeAndDocumentAgree(frmOrraDevelopment* w)
    {
        const xml::Node root = w->document()->documentElement();
        for (const QString& line : treeLines(w->tvDocument())) {
            const QStringList parts = line.trimmed().split(QLatin1Char('|'));
            if (!QStringList{"Block", "Station", "Script", "Parameter"}.contains(parts[1])) continue;
            const xml::Node e = FindElementByAttribute(root, "ID", parts[0]);
            ASSERT_TRUE(e) << parts[0];
            EXPECT_EQ(xml::attribute(e, "Name"), parts[2]) << parts[0];
        }
    }
    // The editor open on the selected node's label, or null.
    static QLineEdit* labelEditor(frmOrraDevelopment* w)
    {
        QTreeWidget* tree = w->documentTree();
        return tree->currentItem() ? qobject_cast<QLineEdit*>(tree->itemWidget(tree->currentItem(), 0)) : nullptr;
    }
};

TEST_F(BuildersTest, NewElementsOfANewDocument)
{
    frmOrraDevelopment* w = openInMain(8);
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->documentChanged());
    click(w, "B0");
    main->mnuDocNewBlock_Click();
    EXPECT_TRUE(w->documentChanged());
    QTreeWidgetItem* block = w->documentTree()->currentItem();
    EXPECT_EQ(DocumentTree::key(block), "B0.0");
    EXPECT_EQ(block->text(0), "Block1");
    EXPECT_EQ(DocumentTree::tag(block), "Block");
    EXPECT_EQ(DocumentTree::image(block), "Block");
    EXPECT_EQ(DocumentTree::selectedImage(block), "SBlock");
    EXPECT_EQ(main->panelText("ID"), "ID:B0.0");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneBlock);
    // The new node's label is open for its name.
    ASSERT_TRUE(labelEditor(w));
    EXPECT_EQ(labelEditor(w)->text(), "Block1");

    main->mnuDocNewStation_Click();
    EXPECT_EQ(DocumentTree::key(w->documentTree()->currentItem()), "B0.0.S0");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneStation);
    // With the Station selected, a Script goes to its Block.
    main->mnuDocNewScript_Click();
    EXPECT_EQ(DocumentTree::key(w->documentTree()->currentItem()), "B0.0.X0");
    EXPECT_EQ(w->documentTree()->currentItem()->text(0), "Script1");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneScript);
    EXPECT_EQ(field<QComboBox>(w, "cbScriptLang")->currentText(), "VBScript");
    // And a Block too: under the Station's Block, not under the Station.
    click(w, "B0.0.S0");
    main->mnuDocNewBlock_Click();
    EXPECT_EQ(DocumentTree::key(w->documentTree()->currentItem()), "B0.0.0");
    EXPECT_EQ(childKeys(w, "B0.0"), QStringList({"B0.0.S0", "B0.0.X0", "B0.0.0"}));

    EXPECT_EQ(xml::outerXml(w->document()->documentElement()),
        "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]><Block ID=\"B0.0\" Name=\"Block1\"><![CDATA[]]>"
        "<Station ID=\"B0.0.S0\" Name=\"Station1\"><![CDATA[]]></Station>"
        "<Script ID=\"B0.0.X0\" Name=\"Script1\" Language=\"VBScript\"><![CDATA[]]></Script>"
        "<Block ID=\"B0.0.0\" Name=\"Block1\"><![CDATA[]]></Block></Block></Document>");
}

TEST_F(BuildersTest, IdsFollowTheLargestNumberAndNamesTheCount)
{
    frmOrraDevelopment* w = openInMain(8);
    ASSERT_TRUE(w);
    for (int i = 0; i < 3; ++i) {
        click(w, "B0");
        w->AddBlock();
    }
    EXPECT_EQ(childKeys(w, "B0"), QStringList({"B0.0", "B0.1", "B0.2"}));
    // The first is deleted: the next is named Block3 again, its ID one above the largest.
    xml::removeChild(w->document()->documentElement(), element(w, "B0.0"));
    w->documentTree()->removeNode(w->documentTree()->node("B0.0"));
    click(w, "B0.1");
    w->AddBlock();
    EXPECT_EQ(DocumentTree::key(w->documentTree()->currentItem()), "B0.1.0");
    click(w, "B0");
    w->AddBlock();
    QTreeWidgetItem* n = w->documentTree()->currentItem();
    EXPECT_EQ(DocumentTree::key(n), "B0.3");
    EXPECT_EQ(n->text(0), "Block3");
    EXPECT_EQ(xml::attribute(element(w, "B0.3"), "Name"), "Block3");

    // Any child whose text begins with the word counts for the name; only that kind's IDs count.
    click(w, "B0");
    w->AddScript();
    w->documentTree()->currentItem()->setText(0, "Blocking script");
    int nameNumber = 0, idNumber = 0;
    w->GetNextChildNumber(w->documentTree()->node("B0"), nameNumber, idNumber, "Block");
    EXPECT_EQ(nameNumber, 5);
    EXPECT_EQ(idNumber, 4);
    w->GetNextChildNumber(w->documentTree()->node("B0"), nameNumber, idNumber, "Script");
    EXPECT_EQ(nameNumber, 1);
    EXPECT_EQ(idNumber, 1);
    EXPECT_EQ(frmOrraDevelopment::ParseChildNumber("B0.1.S3", "S"), 3);
    EXPECT_EQ(frmOrraDevelopment::ParseChildNumber("B0.12", "."), 12);
    EXPECT_THROW(frmOrraDevelopment::ParseChildNumber("B0.1.S40000", "S"), Error);
    EXPECT_THROW(frmOrraDevelopment::ParseChildNumber("B0.1.Sx", "S"), Error);
}

TEST_F(BuildersTest, NewParameterAtTheRoot)
{
    frmOrraDevelopment* w = openInMain(8);
    ASSERT_TRUE(w);
    click(w, "B0");
    main->mnuDocNewParameter_Click();
    QTreeWidgetItem* p = w->documentTree()->currentItem();
    EXPECT_EQ(DocumentTree::key(p), "B0.P_New_Parameter1");
    EXPECT_EQ(p->text(0), "New_Parameter1");
    EXPECT_EQ(DocumentTree::tag(p), "Parameter");
    EXPECT_EQ(DocumentTree::image(p), "Parameter");
    EXPECT_EQ(DocumentTree::selectedImage(p), "SParameter");
    QTreeWidgetItem* group = p->parent();
    EXPECT_EQ(DocumentTree::key(group), "B0_ParameterGroup");
    EXPECT_EQ(DocumentTree::tag(group), "ParameterGroup");
    EXPECT_EQ(group->text(0), "Parameters");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneParameter);
    EXPECT_EQ(field<QLineEdit>(w, "txtparamCaption")->text(), "New_Parameter1");
    EXPECT_EQ(field<QComboBox>(w, "cbparamType")->currentText(), "text");
    EXPECT_TRUE(w->documentChanged());
    ASSERT_TRUE(labelEditor(w));
    // The stored attributes in their order.
    EXPECT_EQ(xml::outerXml(element(w, "B0.P_New_Parameter1")),
        "<Parameter ID=\"B0.P_New_Parameter1\" Name=\"New_Parameter1\" Caption=\"New_Parameter1\" "
        "DefaultValue=\"\" Type=\"text\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" "
        "Behaviour=\"dynamic\"/>");
    // The group comes first among the root's children, also when the root has blocks.
    click(w, "B0");
    w->AddBlock();
    click(w, "B0.P_New_Parameter1");
    w->AddParameter();
    EXPECT_EQ(childKeys(w, "B0"), QStringList({"B0_ParameterGroup", "B0.0"}));
    EXPECT_EQ(childKeys(w, "B0_ParameterGroup"), QStringList({"B0.P_New_Parameter1", "B0.P_New_Parameter2"}));
    // In the document the new parameter follows every child of its owner.
    const xml::Node last = w->document()->documentElement().last_child();
    EXPECT_EQ(xml::attribute(last, "ID"), "B0.P_New_Parameter2");
    ASSERT_TRUE(w->Save());
    EXPECT_TRUE(storedText(8).endsWith(
        "<Parameter ID=\"B0.P_New_Parameter2\" Name=\"New_Parameter2\" Caption=\"New_Parameter2\" DefaultValue=\"\" "
        "Type=\"text\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" "
        "Behaviour=\"dynamic\"/></Document>\r\n"))
        << storedText(8);
}

TEST_F(BuildersTest, NewParameterNumberIsOneAboveTheHighest)
{
    addDocument(9, 1, "Numbered",
        "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]><Block ID=\"B0.0\" Name=\"B\"><![CDATA[]]>"
        "<Parameter ID=\"B0.0.P_New_Parameter1\" Name=\"New_Parameter1\" Caption=\"a\" DefaultValue=\"\" "
        "Type=\"text\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>"
        "<Parameter ID=\"B0.0.P_New_Parameter5\" Name=\"New_Parameter5\" Caption=\"b\" DefaultValue=\"\" "
        "Type=\"text\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>"
        "<Parameter ID=\"B0.0.P_New_ParameterX\" Name=\"New_ParameterX\" Caption=\"c\" DefaultValue=\"\" "
        "Type=\"text\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>"
        "<Parameter ID=\"B0.0.P_Renamed9\" Name=\"Renamed9\" Caption=\"d\" DefaultValue=\"\" "
        "Type=\"text\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>"
        "</Block></Document>");
    frmOrraDevelopment* w = openInMain(9);
    ASSERT_TRUE(w);
    // With a Parameter selected: added to the same Block, after its last Parameter.
    click(w, "B0.0.P_New_Parameter1");
    w->AddParameter();
    EXPECT_EQ(DocumentTree::key(w->documentTree()->currentItem()), "B0.0.P_New_Parameter6");
    EXPECT_EQ(childKeys(w, "B0.0_ParamGroup"),
        QStringList({"B0.0.P_New_Parameter1", "B0.0.P_New_Parameter5", "B0.0.P_New_ParameterX", "B0.0.P_Renamed9",
            "B0.0.P_New_Parameter6"}));
    EXPECT_EQ(xml::attribute(w->CurrentElement(), "ID"), "B0.0");
    EXPECT_EQ(xml::attribute(w->CurrentParameter(), "ID"), "B0.0.P_New_Parameter6");
}

TEST_F(BuildersTest, ParameterNumberThatDoesNotFitChangesNothing)
{
    addDocument(9, 1, "Full",
        "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>"
        "<Parameter ID=\"B0.P_New_Parameter32767\" Name=\"New_Parameter32767\" Caption=\"a\" DefaultValue=\"\" "
        "Type=\"text\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>"
        "</Document>");
    frmOrraDevelopment* w = openInMain(9);
    ASSERT_TRUE(w);
    click(w, "B0");
    const QString before = xmlOf(w);
    const int nodes = w->documentTree()->nodeCount();
    main->mnuDocNewParameter_Click();
    EXPECT_EQ(ui.texts(), QStringList({"Overflow"}));
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_EQ(w->documentTree()->nodeCount(), nodes);
    EXPECT_FALSE(w->documentChanged());
}

TEST_F(BuildersTest, IncludedNodesTakeNoNewElements)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    const QString before = xmlOf(w);
    for (const char* key : {"B0.I0|B0.0", "B0.I0|B0.S0", "B0.I0|B0.P_Region", "B0.I0|B0.I0", "B0.I0_ParamGroup"}) {
        click(w, QLatin1String(key));
        w->AddBlock();
        w->AddStation();
        w->AddScript();
        w->AddParameter();
    }
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_FALSE(w->documentChanged());
    // With an Include selected the new element goes to the element that holds the Include,
    // in the tree and the document alike: never into the Include.
    click(w, "B0.I0");
    w->AddStation();
    EXPECT_EQ(DocumentTree::key(w->documentTree()->currentItem()), "B0.S0");
    EXPECT_EQ(DocumentTree::key(w->documentTree()->currentItem()->parent()), "B0");
    EXPECT_EQ(xml::tagName(element(w, "B0.S0").parent()), "Document");
    EXPECT_EQ(element(w, "B0.S0").parent(), w->document()->documentElement());
}

// ---------------------------------------------------------------------------------------------
// Renaming.

TEST_F(BuildersTest, ParameterRenameFollowsIntoPlaceholdersBindingsAndScripts)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    lockDocument(1);
    click(w, "B0.P_City");
    EXPECT_EQ(w->tvDocument_BeforeLabelEdit(), 0);
    EXPECT_EQ(w->tvDocument_AfterLabelEdit("Town"), 0);
    EXPECT_TRUE(w->documentChanged());
    EXPECT_EQ(DocumentTree::key(w->documentTree()->currentItem()), "B0.P_Town");
    EXPECT_TRUE(w->documentTree()->hasNode("B0.P_Town"));
    EXPECT_FALSE(w->documentTree()->hasNode("B0.P_City"));
    EXPECT_EQ(main->panelText("ID"), "ID:B0.P_Town");
    const xml::Node town = element(w, "B0.P_Town");
    EXPECT_EQ(xml::attribute(town, "Name"), "Town");
    // The block's SQL, the nested parameter's default value and source.
    EXPECT_EQ(xml::bodyText(element(w, "B0.0")), "select * into #Report from Orders\nwhere City='<$Town%>'");
    EXPECT_EQ(xml::attribute(element(w, "B0.0.P_Year"), "DefaultValue"), "select max(Y) from T where C='<$Town%>'");
    EXPECT_EQ(xml::attribute(element(w, "B0.0.P_Year"), "Source"), "select Y from T where C='<$Town%>'");
    // The parameter beside it.
    EXPECT_EQ(
        xml::attribute(element(w, "B0.P_Cust"), "Source"), "select Code, Name from Customers where City='<$Town%>'");
    EXPECT_EQ(xml::attribute(element(w, "B0.P_Cust"), "DefaultValue"),
        "select top 1 Code from Customers where City='<$Town%>'");
    // The include's binding and the script's quoted reference.
    EXPECT_EQ(xml::attribute(element(w, "B0.I0").child("Inheritance"), "RID"), "B0.P_Town");
    EXPECT_EQ(xml::bodyText(element(w, "B0.0.X0")), "If Item(\"B0.P_Town\") = \"\" Then RunFrom \"B0.0\"");
    ASSERT_TRUE(w->Save());
    const QString stored = storedText(1);
    EXPECT_TRUE(stored.contains("<Inheritance PID=\"B0.P_Region\" RID=\"B0.P_Town\"/>")) << stored;
    EXPECT_FALSE(stored.contains("City%")) << stored;
}

TEST_F(BuildersTest, ParameterNamesThatBreakPlaceholdersOrIdsAreRefused)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    click(w, "B0.P_City");
    const QString before = xmlOf(w);
    EXPECT_EQ(w->tvDocument_AfterLabelEdit(""), 1);
    EXPECT_EQ(ui.texts(), QStringList({"A parameter must have a name."}));
    for (const char* bad : {"a b", "a.b", "a|b", "a<b", "a>b", "a%b", "a$b", "a'b", "a\tb"}) {
        ui.boxes.clear();
        EXPECT_EQ(w->tvDocument_AfterLabelEdit(QLatin1String(bad)), 1) << bad;
        EXPECT_EQ(ui.texts(),
            QStringList({QStringLiteral("\"%1\" cannot be the name of a parameter: a parameter's "
                                        "name may not hold a blank or any of the characters "
                                        ". | < > % $ '")
                             .arg(QLatin1String(bad))}));
    }
    ui.boxes.clear();
    EXPECT_EQ(w->tvDocument_AfterLabelEdit("Cust"), 1);
    EXPECT_EQ(ui.texts(), QStringList({"There is already a parameter named \"Cust\" in this block."}));
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_FALSE(w->documentChanged());
    EXPECT_TRUE(w->documentTree()->hasNode("B0.P_City"));
    // A parameter of another owner may have the name.
    click(w, "B0.0.P_Year");
    EXPECT_EQ(w->tvDocument_AfterLabelEdit("City"), 0);
    EXPECT_EQ(xml::attribute(element(w, "B0.0.P_City"), "Name"), "City");
}

TEST_F(BuildersTest, LabelEditRenamesThroughTheTree)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    morvane::DocumentTree* tree = w->documentTree();
    click(w, "B0.0");
    tree->editItem(tree->currentItem());
    QLineEdit* e = labelEditor(w);
    ASSERT_TRUE(e);
    e->setText("Orders");
    QTest::keyClick(e, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(tree->node("B0.0")->text(0), "Orders");
    EXPECT_EQ(xml::attribute(element(w, "B0.0"), "Name"), "Orders");
    EXPECT_TRUE(w->documentChanged());

    // A refused parameter name keeps the old label.
    click(w, "B0.P_City");
    tree->editItem(tree->currentItem());
    e = labelEditor(w);
    ASSERT_TRUE(e);
    e->setText("Big City");
    QTest::keyClick(e, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(tree->node("B0.P_City")->text(0), "City");
    EXPECT_EQ(ui.boxes.size(), 1u);

    // Labels that may not be edited do not open.
    for (const char* key : {"B0", "B0_ParamGroup", "B0.I0", "B0.I0|B0.0"}) {
        click(w, QLatin1String(key));
        EXPECT_EQ(w->tvDocument_BeforeLabelEdit(), 1) << key;
        tree->editItem(tree->currentItem());
        EXPECT_FALSE(labelEditor(w)) << key;
    }
    click(w, "B0.0.S0");
    w->setDebugModeFlag(true);
    EXPECT_EQ(w->tvDocument_BeforeLabelEdit(), 1);
    w->setDebugModeFlag(false);
    EXPECT_EQ(w->tvDocument_BeforeLabelEdit(), 0);
    EXPECT_EQ(w->tvDocument_AfterLabelEdit("Checkpoint"), 0);
    EXPECT_EQ(xml::attribute(element(w, "B0.0.S0"), "Name"), "Checkpoint");
    EXPECT_EQ(xml::attribute(element(w, "B0.0.S0"), "ID"), "B0.0.S0");
}

TEST_F(BuildersTest, ALabelLeftOpenGoesToItsOwnElementBeforeTheNextCommand)
{
    frmOrraDevelopment* w = openInMain(8);
    ASSERT_TRUE(w);
    int n = 0;
    for (const char* builder : {"mnuDocNewBlock", "mnuDocNewParameter"}) {
        for (const char* command : {"mnuDocNewBlock", "mnuDocNewStation", "mnuDocNewScript", "mnuDocNewParameter",
                 "mnuFileSave", "mnuDocDelete"}) {
            SCOPED_TRACE(std::string(builder) + " then " + command);
            click(w, "B0");
            main->menuItem(QLatin1String(builder))->trigger();
            QLineEdit* e = labelEditor(w);
            ASSERT_TRUE(e);
            const QString key = DocumentTree::key(w->documentTree()->currentItem());
            // Typed without Enter; the next command comes first.
            const QString typed = QStringLiteral("Sales%1").arg(++n);
            e->setText(typed);
            main->menuItem(QLatin1String(command))->trigger();
            QApplication::processEvents();
            const QString renamed = std::string(builder) == "mnuDocNewParameter" ? "B0.P_" + typed : key;
            if (std::string(command) != "mnuDocDelete") {
                ASSERT_TRUE(w->documentTree()->node(renamed));
                EXPECT_EQ(w->documentTree()->node(renamed)->text(0), typed);
                EXPECT_EQ(xml::attribute(element(w, renamed), "Name"), typed);
            }
            expectTreeAndDocumentAgree(w);
        }
    }
    EXPECT_TRUE(storedText(8).contains("Name=\"Sales5\""));
}

TEST_F(BuildersTest, ABlankElementNameIsRefused)
{
    frmOrraDevelopment* w = openInMain(1);
    ASSERT_TRUE(w);
    morvane::DocumentTree* tree = w->documentTree();
    for (const char* key : {"B0.0", "B0.0.S0", "B0.0.X0", "B0.P_City"}) {
        SCOPED_TRACE(key);
        QTreeWidgetItem* node = click(w, key);
        const QString before = node->text(0);
        ui.boxes.clear();
        tree->editItem(node);
        QLineEdit* e = labelEditor(w);
        ASSERT_TRUE(e);
        e->setText("  ");
        QTest::keyClick(e, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_EQ(tree->node(key)->text(0), before);
        EXPECT_EQ(xml::attribute(element(w, key), "Name"), before);
        EXPECT_EQ(ui.boxes.size(), 1u);
    }
}

TEST_F(BuildersTest, NewBlockNamedByItsLabel)
{
    frmOrraDevelopment* w = openInMain(8);
    ASSERT_TRUE(w);
    click(w, "B0");
    w->AddParameter();
    QLineEdit* e = labelEditor(w);
    ASSERT_TRUE(e);
    e->setText("Region");
    QTest::keyClick(e, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(w->documentTree()->hasNode("B0.P_Region"));
    EXPECT_EQ(xml::attribute(element(w, "B0.P_Region"), "Name"), "Region");
    // The caption was the old name and stays as written.
    EXPECT_EQ(xml::attribute(element(w, "B0.P_Region"), "Caption"), "New_Parameter1");
}

}   // namespace
}   // namespace orra::test
