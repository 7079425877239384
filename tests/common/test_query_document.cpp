// The query document helpers: lookup, ID arithmetic, renumbering, prefixing, reference
// rewriting, parameter renaming and the lock information document.

#include "common/QueryDocument.h"

#include <gtest/gtest.h>

using namespace orra;

namespace {

QString id(xml::Node n) { return xml::attribute(n, QStringLiteral("ID")); }

xml::Node byId(const xml::Document& doc, const QString& value)
{
    return FindElementByAttribute(doc.node(), QStringLiteral("ID"), value);
}

}   // namespace

TEST(QueryDocument, FindPrefersDirectChildThenFirstSubtreeInOrder)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(
        QStringLiteral("<Document ID=\"B0\"><![CDATA[]]>"
                       "<Block ID=\"B0.0\" Name=\"deep-first\"><![CDATA[]]><Block ID=\"X\" Name=\"in-0\"/></Block>"
                       "<Block ID=\"B0.1\"><![CDATA[]]><Block ID=\"Y\" Name=\"in-1\"/></Block>"
                       "<Block ID=\"X\" Name=\"direct\"/>"
                       "<Block ID=\"B0.2\"><Block ID=\"B0.2.0\"><Block ID=\"Y\" Name=\"in-2\"/></Block></Block>"
                       "</Document>")));
    xml::Node root = doc.documentElement();
    EXPECT_EQ(
        xml::attribute(FindElementByAttribute(root, QStringLiteral("ID"), QStringLiteral("X")), QStringLiteral("Name")),
        QStringLiteral("direct"));
    EXPECT_EQ(
        xml::attribute(FindElementByAttribute(root, QStringLiteral("ID"), QStringLiteral("Y")), QStringLiteral("Name")),
        QStringLiteral("in-1"));
    // The start node is never compared: the root's own ID is not found below it, but is
    // found from the document node.
    EXPECT_TRUE(FindElementByAttribute(root, QStringLiteral("ID"), QStringLiteral("B0")).empty());
    EXPECT_EQ(FindElementByAttribute(doc.node(), QStringLiteral("ID"), QStringLiteral("B0")), root);
    // Exact, case-sensitive; a missing attribute never matches; no children: nothing.
    EXPECT_TRUE(FindElementByAttribute(root, QStringLiteral("ID"), QStringLiteral("b0.0")).empty());
    EXPECT_TRUE(FindElementByAttribute(root, QStringLiteral("Name"), QString()).empty());
    EXPECT_TRUE(FindElementByAttribute(
        byId(doc, QStringLiteral("B0.2.0")).child("Block"), QStringLiteral("ID"), QStringLiteral("Y"))
                    .empty());
    EXPECT_EQ(id(FindElementByAttribute(root, QStringLiteral("Name"), QStringLiteral("in-2")).parent()),
        QStringLiteral("B0.2.0"));
}

TEST(QueryDocument, IdArithmetic)
{
    EXPECT_EQ(TextBeforeLastDot(QStringLiteral("B0.1.S2")), QStringLiteral("B0.1"));
    EXPECT_EQ(TextBeforeLastDot(QStringLiteral("B0")), QString());
    EXPECT_EQ(TextBeforeLastDot(QStringLiteral("B0.I0|B0.P_X")), QStringLiteral("B0.I0|B0"));
    EXPECT_EQ(LastPipeSegment(QStringLiteral("B0.I0|B0.I1|B0.2")), QStringLiteral("B0.2"));
    EXPECT_EQ(LastPipeSegment(QStringLiteral("B0.2")), QStringLiteral("B0.2"));
    EXPECT_EQ(LastPipeSegment(QStringLiteral("B0|")), QString());
}

TEST(QueryDocument, RenumberMovesIdsBindingsAndQuotedReferences)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral("<Document ID=\"B0\"><![CDATA[see \"B0.1\"]]>"
                                           "<Script ID=\"B0.X0\" Name=\"s\" Language=\"VBScript\"><![CDATA[RunFrom "
                                           "\"B0.1\" ' B0.1 stays, \"B0.1.S0\" too]]></Script>"
                                           "<Block ID=\"B0.1\" Name=\"b\"><![CDATA[select '\"B0.1\"']]>"
                                           "<Station ID=\"B0.1.S0\" Name=\"st\"><![CDATA[]]></Station>"
                                           "<Include ID=\"B0.1.I0\" Name=\"Include:x\" DocID=\"4\"><Inheritance "
                                           "PID=\"B0.P_A\" RID=\"B0.1.P_Q\"/></Include>"
                                           "<Parameter ID=\"B0.1.P_Q\" Name=\"Q\"/>"
                                           "</Block></Document>")));
    RenumberElementIDs(byId(doc, QStringLiteral("B0.1")), QStringLiteral("B0.3"), QStringLiteral("B0.1"));

    xml::Node block = doc.documentElement().child("Block");
    EXPECT_EQ(id(block), QStringLiteral("B0.3"));
    EXPECT_EQ(id(block.child("Station")), QStringLiteral("B0.3.S0"));
    EXPECT_EQ(id(block.child("Include")), QStringLiteral("B0.3.I0"));
    EXPECT_EQ(id(block.child("Parameter")), QStringLiteral("B0.3.P_Q"));
    xml::Node inh = block.child("Include").child("Inheritance");
    EXPECT_EQ(xml::attribute(inh, QStringLiteral("PID")), QStringLiteral("B0.P_A"));
    EXPECT_EQ(xml::attribute(inh, QStringLiteral("RID")), QStringLiteral("B0.3.P_Q"));
    // Scripts follow, unquoted text stays; the description and block SQL are never touched.
    EXPECT_EQ(xml::bodyText(doc.documentElement().child("Script")),
        QStringLiteral("RunFrom \"B0.3\" ' B0.1 stays, \"B0.3.S0\" too"));
    EXPECT_EQ(xml::bodyText(doc.documentElement()), QStringLiteral("see \"B0.1\""));
    EXPECT_EQ(xml::bodyText(block), QStringLiteral("select '\"B0.1\"'"));
}

TEST(QueryDocument, RenumberReplacesOnlyTheFirstOccurrence)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(
        QStringLiteral("<Document ID=\"B0\"><Block ID=\"B0.1\"><Block ID=\"B0.1.B0.1\"/></Block></Document>")));
    RenumberElementIDs(byId(doc, QStringLiteral("B0.1")), QStringLiteral("B0.2"), QStringLiteral("B0.1"));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.2.B0.1")));
}

TEST(QueryDocument, PrefixLeavesInheritanceAndFollowsReferencesInNestedScripts)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral(
        "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[\"B0.0\"]]>"
        "<Block ID=\"B0.0\" Name=\"b\"><![CDATA[]]>"
        "<Script ID=\"B0.0.X0\" Name=\"s\" Language=\"VBScript\"><![CDATA[a = \"B0.0\" & \"B0\" & \"B0.1\"]]></Script>"
        "<Include ID=\"B0.0.I0\" Name=\"Include:n\" DocID=\"9\"><Inheritance PID=\"B0.P_X\" "
        "RID=\"B0.0.P_Y\"/></Include>"
        "</Block></Document>")));
    PrefixElementIDs(doc.documentElement(), QStringLiteral("B0.I0"), QStringLiteral("|"));
    EXPECT_EQ(id(doc.documentElement()), QStringLiteral("B0.I0|B0"));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.0.X0")));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.0.I0")));
    xml::Node inh = byId(doc, QStringLiteral("B0.I0|B0.0.I0")).child("Inheritance");
    EXPECT_EQ(xml::attribute(inh, QStringLiteral("PID")), QStringLiteral("B0.P_X"));
    EXPECT_EQ(xml::attribute(inh, QStringLiteral("RID")), QStringLiteral("B0.0.P_Y"));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.I0|B0.0.X0"))),
        QStringLiteral("a = \"B0.I0|B0.0\" & \"B0.I0|B0\" & \"B0.1\""));
    EXPECT_EQ(xml::bodyText(doc.documentElement()), QStringLiteral("\"B0.0\""));
}

TEST(QueryDocument, RewriteReferencesWalksOnlyScriptsAndBlocks)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral(
        "<Document ID=\"B0\"><![CDATA[\"A\"]]>"
        "<Script ID=\"B0.X0\"><![CDATA[\"A\"\"A\" \"A\"A\" A]]></Script>"
        "<Block ID=\"B0.0\"><![CDATA[\"A\"]]><Script ID=\"B0.0.X0\"><![CDATA[x(\"A\")]]></Script></Block>"
        "<Station ID=\"B0.S0\"><![CDATA[\"A\"]]></Station>"
        "<Include ID=\"B0.I0\" DocID=\"3\"><Document ID=\"B0.I0|B0\"><Script "
        "ID=\"B0.I0|B0.X0\"><![CDATA[\"A\"]]></Script></Document></Include>"
        "</Document>")));
    RewriteReferences(doc.documentElement(), QStringLiteral("A"), QStringLiteral("Z"));
    // Replacements go left to right without overlapping, as a text replace does.
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.X0"))), QStringLiteral("\"Z\"\"Z\" \"Z\"A\" A"));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.0.X0"))), QStringLiteral("x(\"Z\")"));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.0"))), QStringLiteral("\"A\""));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.S0"))), QStringLiteral("\"A\""));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.I0|B0.X0"))), QStringLiteral("\"A\""));
    EXPECT_EQ(xml::bodyText(doc.documentElement()), QStringLiteral("\"A\""));
}

TEST(QueryDocument, RenumberChainsAsOneRewritePerElementInOrder)
{
    // Renaming B0.1 -> B0.2 and then B0.1.0 -> B0.2.0: a text naming both is rewritten as two
    // successive replacements would do it, shared quotes included.
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(
        QStringLiteral("<Document ID=\"B0\"><Script ID=\"B0.X0\"><![CDATA[\"B0.1\"B0.1.0\" \"B0.1.0\"]]></Script>"
                       "<Block ID=\"B0.1\"><Block ID=\"B0.1.0\"/></Block></Document>")));
    RenumberElementIDs(byId(doc, QStringLiteral("B0.1")), QStringLiteral("B0.2"), QStringLiteral("B0.1"));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.X0"))), QStringLiteral("\"B0.2\"B0.2.0\" \"B0.2.0\""));
}

TEST(QueryDocument, PrefixSkipsElementsWithoutId)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral(
        "<Document ID=\"B0\"><Script ID=\"B0.X0\"><![CDATA[x = \"\"]]></Script><Block Name=\"noid\"/></Document>")));
    PrefixElementIDs(doc.documentElement(), QStringLiteral("B0.I1"), QStringLiteral("|"));
    EXPECT_FALSE(xml::hasAttribute(doc.documentElement().child("Block"), QStringLiteral("ID")));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.I1|B0.X0"))), QStringLiteral("x = \"\""));
}

TEST(QueryDocument, RenameParameterRewritesPlaceholdersBindingsAndRespectsShadowing)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral(
        "<Document ID=\"B0\"><![CDATA[]]>"
        "<Block ID=\"B0.0\" Name=\"outer\"><![CDATA[select <$A%> , <$A%>, <$AB%>]]>"
        "<Parameter ID=\"B0.0.P_B\" Name=\"B\" Caption=\"B\" DefaultValue=\"\" Type=\"text\" Source=\"\"/>"
        "<Parameter ID=\"B0.0.P_C\" Name=\"C\" DefaultValue=\"<$A%>\" Source=\"select <$A%>\"/>"
        "<Script ID=\"B0.0.X0\"><![CDATA[x = \"<$A%>\"]]>"
        "</Script>"
        "<Station ID=\"B0.0.S0\"><![CDATA[<$A%>]]></Station>"
        "<Include ID=\"B0.0.I0\" DocID=\"7\"><Inheritance PID=\"B0.P_Z\" RID=\"B0.0.P_A\"/>"
        "<Inheritance PID=\"B0.P_W\" RID=\"$<$A%>\"/></Include>"
        "<Block ID=\"B0.0.0\" Name=\"inner\"><![CDATA[<$A%>]]>"
        "<Parameter ID=\"B0.0.0.P_D\" Name=\"D\" DefaultValue=\"<$A%>\"/>"
        "<Parameter ID=\"B0.0.0.P_E\" Name=\"E\"/>"
        "</Block>"
        "<Block ID=\"B0.0.1\" Name=\"shadowing\"><![CDATA[<$A%>]]>"
        "<Parameter ID=\"B0.0.1.P_A\" Name=\"A\" DefaultValue=\"<$A%>\" Source=\"<$A%>\"/>"
        "<Block ID=\"B0.0.1.0\"><![CDATA[<$A%>]]></Block>"
        "</Block>"
        "</Block></Document>")));
    RenameParameter(byId(doc, QStringLiteral("B0.0")), QStringLiteral("B0.0.P_A"), QStringLiteral("A"),
        QStringLiteral("B0.0.P_B"), QStringLiteral("B"), false);

    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.0"))), QStringLiteral("select <$B%> , <$B%>, <$AB%>"));
    // The parameters beside the renamed one keep their texts (rewriteParameters false).
    EXPECT_EQ(
        xml::attribute(byId(doc, QStringLiteral("B0.0.P_C")), QStringLiteral("DefaultValue")), QStringLiteral("<$A%>"));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.0.X0"))), QStringLiteral("x = \"<$B%>\""));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.0.S0"))), QStringLiteral("<$A%>"));
    xml::Node inc = byId(doc, QStringLiteral("B0.0.I0"));
    EXPECT_EQ(xml::attribute(inc.first_child(), QStringLiteral("RID")), QStringLiteral("B0.0.P_B"));
    EXPECT_EQ(xml::attribute(inc.last_child(), QStringLiteral("RID")), QStringLiteral("$<$A%>"));
    // Nested block: text and its parameters rewritten; a missing DefaultValue/Source stays absent.
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.0.0"))), QStringLiteral("<$B%>"));
    EXPECT_EQ(xml::attribute(byId(doc, QStringLiteral("B0.0.0.P_D")), QStringLiteral("DefaultValue")),
        QStringLiteral("<$B%>"));
    EXPECT_FALSE(xml::hasAttribute(byId(doc, QStringLiteral("B0.0.0.P_E")), QStringLiteral("DefaultValue")));
    EXPECT_FALSE(xml::hasAttribute(byId(doc, QStringLiteral("B0.0.0.P_E")), QStringLiteral("Source")));
    // A nested block declaring its own A keeps its texts and those below it, but its
    // parameters' texts are still rewritten.
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.0.1"))), QStringLiteral("<$A%>"));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.0.1.0"))), QStringLiteral("<$A%>"));
    EXPECT_EQ(xml::attribute(byId(doc, QStringLiteral("B0.0.1.P_A")), QStringLiteral("DefaultValue")),
        QStringLiteral("<$B%>"));
    EXPECT_EQ(
        xml::attribute(byId(doc, QStringLiteral("B0.0.1.P_A")), QStringLiteral("Source")), QStringLiteral("<$B%>"));
}

TEST(QueryDocument, LockInfoDocument)
{
    EXPECT_EQ(LockInfoXML(12, QStringLiteral("Morvane"), QStringLiteral("OrraCat")),
        QStringLiteral("<Document><Program Name=\"Morvane\" DB=\"OrraCat\"/>"
                       "<Parameter Name=\"DocID\" Value=\"12\"/></Document>\r\n"));
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(LockInfoXML(12, QStringLiteral("M"), QStringLiteral("D"))));
    EXPECT_EQ(xml::attribute(doc.documentElement().child("Parameter"), QStringLiteral("Value")), QStringLiteral("12"));
}

TEST(QueryDocument, WholeNumbers)
{
    long v = 0;
    EXPECT_TRUE(ParseWholeNumber(QStringLiteral("12"), v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(ParseWholeNumber(QStringLiteral(" -3 "), v));
    EXPECT_EQ(v, -3);
    for (const char* bad : {"", " ", "12a", "1e3", "1.5", "0x10", "1 2", "-", "3;drop table x", "99999999999"})
        EXPECT_FALSE(ParseWholeNumber(QString::fromLatin1(bad), v)) << bad;
}

TEST(QueryDocument, PrefixOfASubtreeRewritesTheScriptsOfTheWholeDocument)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral(
        "<Document ID=\"B0\"><Script ID=\"B0.X0\"><![CDATA[RunFrom \"B0.1\": x = \"B0.1.S0\" & \"B0.0\"]]></Script>"
        "<Block ID=\"B0.0\"/><Block ID=\"B0.1\"><Station ID=\"B0.1.S0\"/><Script "
        "ID=\"B0.1.X0\"><![CDATA[\"B0.1\"]]></Script></Block>"
        "</Document>")));
    PrefixElementIDs(byId(doc, QStringLiteral("B0.1")), QStringLiteral("P"), QStringLiteral("#"));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.X0"))),
        QStringLiteral("RunFrom \"P#B0.1\": x = \"P#B0.1.S0\" & \"B0.0\""));
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("P#B0.1.X0"))), QStringLiteral("\"P#B0.1\""));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.0")));
    EXPECT_TRUE(byId(doc, QStringLiteral("P#B0.1.S0")));
}

TEST(QueryDocument, ExpansionWorksInASeparateDocumentBeforeItIsInserted)
{
    // What the editor does when it adds an include: the loaded document is prefixed on its own,
    // so only its own scripts follow.
    xml::Document window;
    ASSERT_TRUE(window.loadXML(
        QStringLiteral("<Document ID=\"B0\"><Script ID=\"B0.X0\"><![CDATA[\"B0.0\"]]></Script></Document>")));
    xml::Document loaded;
    ASSERT_TRUE(loaded.loadXML(QStringLiteral("<Document ID=\"B0\"><Block ID=\"B0.0\"><Script "
                                              "ID=\"B0.0.X0\"><![CDATA[\"B0.0\"]]></Script></Block></Document>")));
    PrefixElementIDs(loaded.documentElement(), QStringLiteral("B0.I0"), QStringLiteral("|"));
    xml::Node include = xml::appendElement(window.documentElement(), QStringLiteral("Include"));
    xml::appendCopy(include, loaded.documentElement());
    EXPECT_EQ(xml::bodyText(byId(window, QStringLiteral("B0.X0"))), QStringLiteral("\"B0.0\""));
    EXPECT_EQ(xml::bodyText(byId(window, QStringLiteral("B0.I0|B0.0.X0"))), QStringLiteral("\"B0.I0|B0.0\""));
}

TEST(QueryDocument, LockInfoEscapesItsValues)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(LockInfoXML(7, QStringLiteral("A&B \"x\""), QStringLiteral("<db>"))));
    EXPECT_EQ(
        xml::attribute(doc.documentElement().child("Program"), QStringLiteral("Name")), QStringLiteral("A&B \"x\""));
    EXPECT_EQ(xml::attribute(doc.documentElement().child("Program"), QStringLiteral("DB")), QStringLiteral("<db>"));
}
