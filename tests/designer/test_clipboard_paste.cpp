// The element clipboard of the editor windows: copy and paste within one window and between
// two (IDs renumbered, prefixes, script references, the source left alone), parameters and
// their group node, pasted includes and their checks, removal, and moves among siblings.

#include "ClipboardFixture.h"

namespace orra::test {
namespace {

using morvane::CopiedElement;

TEST_F(ClipboardTest, BlockPastedIntoAnotherWindowTakesTheNextNumberAndLeavesTheSourceAlone)
{
    auto* src = open(20);
    auto* dst = open(21);
    ASSERT_TRUE(src && dst);
    const QString before = xmlOf(src);
    select(src, "B0.0");
    src->CopyElement();
    ASSERT_TRUE(CopiedElement());
    EXPECT_EQ(xml::attribute(CopiedElement(), "ID"), QStringLiteral("B0.0"));

    select(dst, "B0");
    EXPECT_TRUE(dst->PasteElement());
    EXPECT_TRUE(dst->PasteElement());
    EXPECT_TRUE(dst->documentChanged());
    // Blocks 0 and 3 are there: the copies get 4 and 5 and keep their name.
    const xml::Node root = dst->document()->documentElement();
    EXPECT_EQ(childIDs(root), QStringList({"B0.0", "B0.3", "B0.4", "B0.5"}));
    const xml::Node pasted = element(dst, "B0.4");
    EXPECT_EQ(xml::attribute(pasted, "Name"), QStringLiteral("Outer"));
    EXPECT_EQ(xml::attribute(element(dst, "B0.5"), "Name"), QStringLiteral("Outer"));
    EXPECT_EQ(childIDs(pasted), QStringList({"B0.4.P_Limit", "B0.4.0", "B0.4.S0", "B0.4.X0"}));
    // The pasted script follows its own block; the placeholder text is untouched.
    EXPECT_EQ(xml::bodyText(element(dst, "B0.4.X0")), QStringLiteral("RunFrom \"B0.4.0\""));
    EXPECT_EQ(xml::bodyText(pasted), QStringLiteral("select <$Limit%>"));
    // The tree shows the copy as the last child of the Document, with its descendants.
    expandAll(dst);
    EXPECT_EQ(childKeys(node(dst, "B0")), QStringList({"B0.0", "B0.3", "B0.4", "B0.5"}));
    EXPECT_EQ(childKeys(node(dst, "B0.4")), QStringList({"B0.4_ParamGroup", "B0.4.0", "B0.4.S0", "B0.4.X0"}));
    EXPECT_EQ(morvane::DocumentTree::tag(node(dst, "B0.4.S0")), QStringLiteral("Station"));
    // The window it was copied from is exactly as it was.
    EXPECT_EQ(xmlOf(src), before);
    EXPECT_FALSE(src->documentChanged());

    // Saved: the stored form holds the copy.
    ASSERT_TRUE(dst->Save());
    EXPECT_TRUE(storedText(21).contains(QStringLiteral("<Block ID=\"B0.4\" Name=\"Outer\">")));
    EXPECT_TRUE(storedText(21).contains(QStringLiteral("RunFrom \"B0.4.0\"")));
    EXPECT_EQ(storedText(20), sourceText);
}

TEST_F(ClipboardTest, CopyWithinOneWindowDoesNotRedirectTheOriginalsReferences)
{
    auto* w = open(20);
    select(w, "B0.0.S0");
    w->CopyElement();
    select(w, "B0.1");
    ASSERT_TRUE(w->PasteElement());
    EXPECT_EQ(childIDs(element(w, "B0.1")), QStringList({"B0.1.S0"}));
    EXPECT_EQ(xml::attribute(element(w, "B0.1.S0"), "Name"), QStringLiteral("Stop"));
    EXPECT_TRUE(element(w, "B0.0.S0"));
    EXPECT_EQ(xml::bodyText(element(w, "B0.X0")), QStringLiteral("RunFrom \"B0.0\" : RunFrom \"B0.0.S0\""));
    // The selection stays where it was.
    EXPECT_EQ(morvane::DocumentTree::key(w->tvDocument()->currentItem()), QStringLiteral("B0.1"));
}

TEST_F(ClipboardTest, ClipboardSurvivesItsWindowAndIsIndependentOfTheDocument)
{
    auto* src = open(20);
    select(src, "B0.1");
    src->CopyElement();
    // Changing the document afterwards does not change the copy.
    xml::setAttribute(element(src, "B0.1"), "Name", "Changed");
    windows.erase(windows.begin());
    auto* dst = open(21);
    select(dst, "B0.3");
    ASSERT_TRUE(dst->PasteElement());
    EXPECT_EQ(xml::attribute(element(dst, "B0.3.0"), "Name"), QStringLiteral("Second"));
}

TEST_F(ClipboardTest, ParameterPasteMakesTheGroupAndRefusesADuplicate)
{
    auto* src = open(20);
    auto* dst = open(21);
    select(src, "B0.P_Region");
    src->CopyElement();
    select(dst, "B0.0");
    ASSERT_TRUE(dst->PasteElement());
    QTreeWidgetItem* group = node(dst, "B0.0_ParameterGroup");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->text(0), QStringLiteral("Parameters"));
    EXPECT_EQ(morvane::DocumentTree::tag(group), QStringLiteral("ParameterGroup"));
    EXPECT_EQ(childKeys(group), QStringList({"B0.0.P_Region"}));
    EXPECT_EQ(morvane::DocumentTree::selectedImage(node(dst, "B0.0.P_Region")), QStringLiteral("SParameter"));
    EXPECT_EQ(childIDs(element(dst, "B0.0")), QStringList({"B0.0.P_Region"}));

    // Pasting it again where it is: the tree's duplicate-key error, nothing added.
    const QString before = xmlOf(dst);
    ui.boxes.clear();
    EXPECT_FALSE(dst->PasteElement());
    EXPECT_EQ(ui.texts(), QStringList({"Key is not unique in collection"}));
    EXPECT_EQ(xmlOf(dst), before);

    // A Parameter selection pastes into its block, first in the group, last in the document.
    morvane::CopyToClipboard(element(src, "B0.0.P_Limit"));
    select(dst, "B0.0.P_Region");
    ASSERT_TRUE(dst->PasteElement());
    EXPECT_EQ(childKeys(node(dst, "B0.0_ParameterGroup")), QStringList({"B0.0.P_Limit", "B0.0.P_Region"}));
    EXPECT_EQ(childIDs(element(dst, "B0.0")), QStringList({"B0.0.P_Region", "B0.0.P_Limit"}));
    EXPECT_EQ(xml::attribute(element(dst, "B0.0.P_Limit"), "DefaultValue"), QStringLiteral("5"));
}

TEST_F(ClipboardTest, EmptyClipboardAndDocumentPasteNothing)
{
    auto* w = open(21);
    const QString before = xmlOf(w);
    select(w, "B0");
    EXPECT_TRUE(w->PasteElement());
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_FALSE(w->documentChanged());
    w->CopyElement();   // the Document
    EXPECT_TRUE(w->PasteElement());
    EXPECT_EQ(xmlOf(w), before);
    w->tvDocument()->setCurrentItem(nullptr);
    EXPECT_FALSE(w->PasteElement());
}

TEST_F(ClipboardTest, ElementOfAnIncludedDocumentPastesAsAnOwnElement)
{
    auto* host = open(24);
    select(host, "B0.I0|B0.0");
    EXPECT_EQ(morvane::DocumentTree::tag(host->tvDocument()->currentItem()), QStringLiteral("IBlock"));
    host->CopyElement();
    select(host, "B0");
    ASSERT_TRUE(host->PasteElement());
    const xml::Node pasted = element(host, "B0.0");
    ASSERT_TRUE(pasted);
    EXPECT_EQ(childIDs(pasted), QStringList({"B0.0.P_Deep"}));
    EXPECT_EQ(morvane::DocumentTree::tag(node(host, "B0.0")), QStringLiteral("Block"));
    EXPECT_EQ(morvane::DocumentTree::tag(node(host, "B0.0.P_Deep")), QStringLiteral("Parameter"));
    // An included parameter is copied itself and pastes with the receiving block's ID.
    select(host, "B0.I0|B0.P_Year");
    host->CopyElement();
    EXPECT_EQ(xml::attribute(CopiedElement(), "ID"), QStringLiteral("B0.I0|B0.P_Year"));
    select(host, "B0");
    ASSERT_TRUE(host->PasteElement());
    EXPECT_EQ(xml::attribute(element(host, "B0.P_Year"), "DefaultValue"), QStringLiteral("1999"));
    EXPECT_EQ(morvane::DocumentTree::tag(node(host, "B0.P_Year")), QStringLiteral("Parameter"));
    // Nothing is pasted into an included document.
    select(host, "B0.I0|B0.0");
    const QString before = xmlOf(host);
    EXPECT_FALSE(host->PasteElement());
    EXPECT_EQ(xmlOf(host), before);
}

TEST_F(ClipboardTest, PastedIncludeIsCheckedLikeAnAddedOne)
{
    addDocument(25, 1, QStringLiteral("XHost"),
        QStringLiteral("<Document ID=\"B0\" Server=\"srvX\"><![CDATA[]]>"
                       "<Include ID=\"B0.I0\" Name=\"Include:OnX\" DocID=\"23\"/></Document>"));
    auto* host = open(24);
    select(host, "B0.I0");
    host->CopyElement();

    // Into the included document itself: a recursive chain.
    auto* lib = open(22);
    const QString libBefore = xmlOf(lib);
    select(lib, "B0");
    ui.boxes.clear();
    EXPECT_FALSE(lib->PasteElement());
    EXPECT_EQ(ui.texts(), QStringList({RecursiveIncludeMessage()}));
    EXPECT_EQ(xmlOf(lib), libBefore);
    EXPECT_FALSE(lib->documentChanged());

    // Into a document whose user may not include Lib.
    addUser(QStringLiteral("bob"));
    useCatalogue(std::shared_ptr<db::Connection>(connectAs(QStringLiteral("bob"))));
    auto* target = open(21);
    const QString before = xmlOf(target);
    select(target, "B0.0");
    ui.boxes.clear();
    EXPECT_FALSE(target->PasteElement());
    EXPECT_EQ(ui.texts(), QStringList({"Permission Denied : You could not include this document"}));
    EXPECT_EQ(xmlOf(target), before);

    // With the right: the include and its embedded copy move to the new ID.
    allowDoc(22, uidOf(QStringLiteral("bob")), 32, 0);
    ui.boxes.clear();
    ASSERT_TRUE(target->PasteElement());
    EXPECT_TRUE(ui.boxes.empty());
    const xml::Node inc = element(target, "B0.0.I0");
    ASSERT_TRUE(inc);
    EXPECT_EQ(xml::attribute(inc, "DocID"), QStringLiteral("22"));
    EXPECT_TRUE(element(target, "B0.0.I0|B0.P_Year"));
    EXPECT_EQ(morvane::DocumentTree::tag(node(target, "B0.0.I0|B0.0")), QStringLiteral("IBlock"));
    // The binding's included parameter follows; its related parameter is not this document's.
    xml::Node binding = inc.child("Inheritance");
    EXPECT_EQ(xml::attribute(binding, "PID"), QStringLiteral("B0.0.I0|B0.P_Year"));

    // A fixed-server document does not go into a "{FREE}" one.
    useCatalogue(std::shared_ptr<db::Connection>(connect(QStringLiteral("sa"), QStringLiteral("secret"))));
    auto* xhost = open(25);
    select(xhost, "B0.I0");
    xhost->CopyElement();
    const QString targetBefore = xmlOf(target);
    select(target, "B0");
    ui.boxes.clear();
    EXPECT_FALSE(target->PasteElement());
    EXPECT_EQ(ui.texts(), QStringList({"Could not include a document based on connection srvX to current document"}));
    EXPECT_EQ(xmlOf(target), targetBefore);
}

TEST_F(ClipboardTest, RemoveTakesTheGroupWithTheLastParameterAndNeverTheDocument)
{
    auto* w = open(20);
    select(w, "B0.0.P_Limit");
    w->RemoveElement();
    EXPECT_FALSE(node(w, "B0.0.P_Limit"));
    EXPECT_FALSE(node(w, "B0.0_ParamGroup"));
    EXPECT_FALSE(element(w, "B0.0.P_Limit"));
    EXPECT_TRUE(w->documentChanged());

    select(w, "B0.0.X0");
    w->RemoveElement();
    EXPECT_FALSE(element(w, "B0.0.X0"));
    EXPECT_EQ(childIDs(element(w, "B0.0")), QStringList({"B0.0.0", "B0.0.S0"}));

    select(w, "B0.0");
    w->RemoveElement();
    EXPECT_FALSE(element(w, "B0.0.0"));
    EXPECT_FALSE(node(w, "B0.0.S0"));

    const QString before = xmlOf(w);
    select(w, "B0");
    w->RemoveElement();
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_TRUE(node(w, "B0"));

    // Elements of an included document stay.
    auto* host = open(24);
    const QString hostBefore = xmlOf(host);
    select(host, "B0.I0|B0.0");
    host->RemoveElement();
    EXPECT_EQ(xmlOf(host), hostBefore);
}

TEST_F(ClipboardTest, RemovingAnInheritedParameterAsksAndKeepsIt)
{
    auto* lib = open(22);
    select(lib, "B0.P_Year");
    ui.answers = {vbOK};
    lib->RemoveElement();
    EXPECT_EQ(ui.texts(),
        QStringList({"Document 'Host' depend on this document\r\nhave inheritance for this parameter"
                     "\r\n\r\nContinue checking dependencies?"}));
    EXPECT_EQ(ui.boxes[0].title, QStringLiteral("Error"));
    EXPECT_EQ(ui.boxes[0].style, int(vbOKCancel));
    EXPECT_TRUE(element(lib, "B0.P_Year"));
    EXPECT_TRUE(node(lib, "B0.P_Year"));
    EXPECT_FALSE(lib->documentChanged());
    // A parameter nobody binds goes without a question.
    ui.boxes.clear();
    select(lib, "B0.P_Fixed");
    lib->RemoveElement();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(element(lib, "B0.P_Fixed"));
}

TEST_F(ClipboardTest, MovesStopAtTheEndsAndSkipParameters)
{
    auto* w = open(20);
    const QString before = xmlOf(w);
    // The first Block after the root's parameter: nothing moves.
    select(w, "B0.0");
    w->MoveUpBlock();
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_FALSE(w->documentChanged());
    // The last element: nothing moves down.
    select(w, "B0.X0");
    w->MoveDownBlock();
    EXPECT_EQ(xmlOf(w), before);
    EXPECT_FALSE(w->documentChanged());

    // The Script moves up past Block B0.1 in the document and the tree, and stays selected.
    w->MoveUpBlock();
    const xml::Node root = w->document()->documentElement();
    EXPECT_EQ(childIDs(root), QStringList({"B0.P_Region", "B0.0", "B0.X0", "B0.1"}));
    EXPECT_EQ(childKeys(node(w, "B0")), QStringList({"B0_ParamGroup", "B0.0", "B0.X0", "B0.1"}));
    EXPECT_EQ(morvane::DocumentTree::key(w->tvDocument()->currentItem()), QStringLiteral("B0.X0"));
    EXPECT_TRUE(w->documentChanged());

    // Block B0.0 moves down past the Script, with its subtree rebuilt in the tree.
    select(w, "B0.0");
    w->MoveDownBlock();
    EXPECT_EQ(childIDs(root), QStringList({"B0.P_Region", "B0.X0", "B0.0", "B0.1"}));
    expandAll(w);
    EXPECT_EQ(childKeys(node(w, "B0")), QStringList({"B0_ParamGroup", "B0.X0", "B0.0", "B0.1"}));
    EXPECT_EQ(childKeys(node(w, "B0.0")), QStringList({"B0.0_ParamGroup", "B0.0.0", "B0.0.S0", "B0.0.X0"}));

    // Station followed by a Script: the Station moves down past it.
    select(w, "B0.0.S0");
    w->MoveDownBlock();
    EXPECT_EQ(childIDs(element(w, "B0.0")), QStringList({"B0.0.P_Limit", "B0.0.0", "B0.0.X0", "B0.0.S0"}));
    EXPECT_EQ(childKeys(node(w, "B0.0")), QStringList({"B0.0_ParamGroup", "B0.0.0", "B0.0.X0", "B0.0.S0"}));
}

TEST_F(ClipboardTest, ParametersMoveAmongParameters)
{
    addDocument(26, 1, QStringLiteral("Params"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>") + Param("B0.P_A", "A")
            + QStringLiteral("<Block ID=\"B0.0\" Name=\"X\"><![CDATA[]]></Block>") + Param("B0.P_B", "B")
            + QStringLiteral("</Document>"));
    auto* w = open(26);
    select(w, "B0.P_A");
    w->MoveUpBlock();
    EXPECT_FALSE(w->documentChanged());
    w->MoveDownBlock();
    // The next parameter goes before the moving one, over the Block between them.
    EXPECT_EQ(childIDs(w->document()->documentElement()), QStringList({"B0.P_B", "B0.P_A", "B0.0"}));
    EXPECT_EQ(childKeys(node(w, "B0_ParamGroup")), QStringList({"B0.P_B", "B0.P_A"}));
    select(w, "B0.P_A");
    w->MoveUpBlock();
    EXPECT_EQ(childIDs(w->document()->documentElement()), QStringList({"B0.P_A", "B0.P_B", "B0.0"}));
    EXPECT_EQ(childKeys(node(w, "B0_ParamGroup")), QStringList({"B0.P_A", "B0.P_B"}));
    EXPECT_EQ(morvane::DocumentTree::key(w->tvDocument()->currentItem()), QStringLiteral("B0.P_A"));
}

TEST_F(ClipboardTest, ChildNumbersCountNamesAndIDsApart)
{
    addDocument(27, 1, QStringLiteral("Numbers"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>"
                       "<Block ID=\"B0.0\" Name=\"Block1\"><![CDATA[]]></Block>"
                       "<Block ID=\"B0.1\" Name=\"Block2\"><![CDATA[]]></Block>"
                       "<Script ID=\"B0.X7\" Name=\"Block script\" Language=\"VBScript\"><![CDATA[]]></Script>"
                       "</Document>"));
    auto* w = open(27);
    int nameNumber = 0, idNumber = 0;
    w->GetNextChildNumber(node(w, "B0"), nameNumber, idNumber, "Block");
    EXPECT_EQ(nameNumber, 4);
    EXPECT_EQ(idNumber, 2);
    w->GetNextChildNumber(node(w, "B0"), nameNumber, idNumber, "Script");
    EXPECT_EQ(idNumber, 8);
    // A pasted Script takes the next Script number.
    morvane::CopyToClipboard(element(w, "B0.X7"));
    select(w, "B0");
    ASSERT_TRUE(w->PasteElement());
    EXPECT_TRUE(element(w, "B0.X8"));
}

}   // namespace
}   // namespace orra::test
