// The XML document layer: loading with error positions, serialisation without declaration and
// with attributes in insertion order, CDATA kept, in-place creation and copies.

#include "common/Xml.h"

#include <gtest/gtest.h>

using namespace orra;

TEST(Xml, LoadsAndWritesBackWithoutDeclarationAttributeOrderKept)
{
    xml::Document doc;
    const QString text =
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[desc]]>"
                       "<Parameter ID=\"B0.P_X\" Name=\"X\" Caption=\"X\" DefaultValue=\"\" Type=\"text\" Source=\"\" "
                       "ReturnCol=\"\" Prompt=\"\" SelectionType=\"single\" Behaviour=\"dynamic\"/>"
                       "<Block ID=\"B0.0\" Name=\"Block0\"><![CDATA[select 1 where a<b & c>d]]></Block></Document>");
    ASSERT_TRUE(doc.loadXML(text));
    EXPECT_EQ(doc.parseError().errorCode, 0);
    EXPECT_EQ(doc.xml(), text + QStringLiteral("\r\n"));
    EXPECT_EQ(xml::tagName(doc.documentElement()), QStringLiteral("Document"));
    EXPECT_EQ(xml::bodyText(doc.documentElement()), QStringLiteral("desc"));
}

TEST(Xml, NewAttributesGoAfterTheExistingOnes)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral("<Document ID=\"B0\" Name=\"old\"/>")));
    xml::Node root = doc.documentElement();
    xml::setAttribute(root, QStringLiteral("Server"), QStringLiteral("{FREE}"));
    xml::setAttribute(root, QStringLiteral("ID"), QStringLiteral("B0"));
    xml::removeAttribute(root, QStringLiteral("Name"));
    EXPECT_EQ(xml::outerXml(root), QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"/>"));
}

TEST(Xml, ParseErrorGivesLineAndColumn)
{
    xml::Document doc;
    EXPECT_FALSE(doc.loadXML(QStringLiteral("<Document ID=\"B0\">\n  <Block ID=\"B0.0\">\n  </Blok>\n</Document>")));
    EXPECT_NE(doc.parseError().errorCode, 0);
    EXPECT_EQ(doc.parseError().line, 3);
    EXPECT_GE(doc.parseError().linepos, 3);
    EXPECT_FALSE(doc.parseError().reason.isEmpty());
    EXPECT_TRUE(doc.documentElement().empty());
}

TEST(Xml, RefusesEmptyTextSeveralRootsAndStrayText)
{
    xml::Document doc;
    EXPECT_FALSE(doc.loadXML(QString()));
    EXPECT_FALSE(doc.loadXML(QStringLiteral("<A/><B/>")));
    EXPECT_FALSE(doc.loadXML(QStringLiteral("text<A/>")));
    EXPECT_FALSE(doc.loadXML(QStringLiteral("<A>")));
    EXPECT_TRUE(doc.loadXML(QStringLiteral("<?xml version=\"1.0\"?>\n<!-- c --><A/>")));
    EXPECT_EQ(xml::tagName(doc.documentElement()), QStringLiteral("A"));
}

TEST(Xml, LineEndsNormalisedInCDataAndNonAsciiKept)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral("<Block><![CDATA[a\r\nb\rc ığüşöç]]></Block>")));
    EXPECT_EQ(xml::bodyText(doc.documentElement()), QStringLiteral("a\nb\nc ığüşöç"));
}

TEST(Xml, CDataHelpersAndCreation)
{
    xml::Document doc;
    xml::Node root = xml::appendElement(doc.node(), QStringLiteral("Document"));
    xml::setAttribute(root, QStringLiteral("ID"), QStringLiteral("B0"));
    xml::appendCData(root, QStringLiteral("first"));
    xml::Node block = xml::appendElement(root, QStringLiteral("Block"));
    xml::appendCData(block, QStringLiteral("x ]]> y"));
    xml::appendCData(root, QStringLiteral("last"));
    EXPECT_EQ(xml::nodeText(xml::firstCDataChild(root)), QStringLiteral("first"));
    EXPECT_EQ(xml::nodeText(xml::lastCDataChild(root)), QStringLiteral("last"));
    EXPECT_TRUE(xml::firstCData(block));
    EXPECT_TRUE(xml::firstCData(xml::appendElement(block, QStringLiteral("Station"))).empty());

    // A CDATA section holding "]]>" survives a round trip.
    xml::Document again;
    ASSERT_TRUE(again.loadXML(doc.xml()));
    xml::Node b = again.documentElement().child("Block");
    EXPECT_EQ(xml::bodyText(b), QStringLiteral("x ]]> y"));
}

TEST(Xml, CopiesAcrossDocuments)
{
    xml::Document source;
    ASSERT_TRUE(
        source.loadXML(QStringLiteral("<Block ID=\"B0.1\" Name=\"n\"><![CDATA[q]]><Script ID=\"B0.1.X0\"/></Block>")));
    xml::Document target;
    ASSERT_TRUE(target.loadXML(QStringLiteral("<Document ID=\"B0\"><![CDATA[]]><Block ID=\"B0.0\"/></Document>")));
    xml::Node root = target.documentElement();
    xml::Node copy = xml::insertCopyBefore(root, source.documentElement(), root.child("Block"));
    ASSERT_TRUE(copy);
    EXPECT_EQ(xml::outerXml(root),
        QStringLiteral("<Document ID=\"B0\"><![CDATA[]]><Block ID=\"B0.1\" Name=\"n\"><![CDATA[q]]><Script "
                       "ID=\"B0.1.X0\"/></Block>"
                       "<Block ID=\"B0.0\"/></Document>"));
    // The source is untouched.
    EXPECT_EQ(xml::outerXml(source.documentElement()),
        QStringLiteral("<Block ID=\"B0.1\" Name=\"n\"><![CDATA[q]]><Script ID=\"B0.1.X0\"/></Block>"));
    EXPECT_TRUE(xml::removeChild(root, copy));
    EXPECT_EQ(xml::childNodes(root).size(), 2u);
}

TEST(Xml, AppendParsedEmbedsOrLeavesTheParentAlone)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral("<Include ID=\"B0.I0\"><Inheritance PID=\"a\" RID=\"b\"/></Include>")));
    xml::Node inc = doc.documentElement();
    xml::ParseError error;
    EXPECT_TRUE(
        xml::appendParsed(inc, QStringLiteral("<Document ID=\"B0\"><Block ID=\"B0.0\"></Document>"), error).empty());
    EXPECT_NE(error.errorCode, 0);
    EXPECT_TRUE(xml::appendParsed(inc, QStringLiteral("<A/><B/>"), error).empty());
    EXPECT_EQ(xml::outerXml(inc), QStringLiteral("<Include ID=\"B0.I0\"><Inheritance PID=\"a\" RID=\"b\"/></Include>"));

    xml::Node root =
        xml::appendParsed(inc, QStringLiteral("<?xml version=\"1.0\"?><!--x--><Document ID=\"B0\"/>"), error);
    ASSERT_TRUE(root);
    EXPECT_EQ(error.errorCode, 0);
    EXPECT_EQ(xml::outerXml(inc),
        QStringLiteral("<Include ID=\"B0.I0\"><Inheritance PID=\"a\" RID=\"b\"/><Document ID=\"B0\"/></Include>"));
}

TEST(Xml, AttributeValuesEscapedOnWrite)
{
    xml::Document doc;
    xml::Node p = xml::appendElement(doc.node(), QStringLiteral("Parameter"));
    xml::setAttribute(p, QStringLiteral("DefaultValue"), QStringLiteral("select 'a' where x<\"y\" & z"));
    xml::Document again;
    ASSERT_TRUE(again.loadXML(doc.xml()));
    EXPECT_EQ(xml::attribute(again.documentElement(), QStringLiteral("DefaultValue")),
        QStringLiteral("select 'a' where x<\"y\" & z"));
    EXPECT_FALSE(xml::hasAttribute(again.documentElement(), QStringLiteral("Source")));
    EXPECT_EQ(xml::attribute(again.documentElement(), QStringLiteral("Source")), QString());
}

namespace {
QString nested(long levels)
{
    QString t;
    for (long i = 0; i < levels; ++i) t += QStringLiteral("<Block ID=\"x\">");
    t += QStringLiteral("<![CDATA[deepest]]>");
    for (long i = 0; i < levels; ++i) t += QStringLiteral("</Block>");
    return t;
}
}   // namespace

TEST(Xml, NestingIsBoundedSoThatNoWalkRunsOutOfStack)
{
    xml::Document doc;
    EXPECT_TRUE(doc.loadXML(nested(xml::kMaxDepth)));
    EXPECT_FALSE(doc.loadXML(nested(xml::kMaxDepth + 1)));
    EXPECT_EQ(doc.parseError().reason, QStringLiteral("The document is nested more than 1000 levels deep"));
    EXPECT_TRUE(doc.documentElement().empty());
    EXPECT_FALSE(doc.loadXML(nested(200000)));

    // Appended below an element, the levels above count too.
    ASSERT_TRUE(doc.loadXML(QStringLiteral("<Document><Include/></Document>")));
    xml::Node include = doc.documentElement().first_child();
    xml::ParseError error;
    EXPECT_TRUE(xml::appendParsed(include, nested(xml::kMaxDepth - 2), error));
    EXPECT_FALSE(xml::appendParsed(include, nested(xml::kMaxDepth - 1), error));
    EXPECT_NE(error.errorCode, 0);
    EXPECT_EQ(xml::childNodes(include).size(), 1u);
}
