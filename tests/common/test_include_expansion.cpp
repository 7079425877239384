// Include expansion over an in-memory catalogue: prefixed IDs and bindings, the recursion
// guard (direct, through the root and without it), depth, and the refusals of bad input.

#include "common/IncludeExpansion.h"
#include "common/QueryDocument.h"
#include "platform/host/Error.h"

#include <QMap>
#include <gtest/gtest.h>

using namespace orra;

namespace {

struct Catalogue {
    QMap<long, QString> texts;   // document number -> SQLtxt
    QList<long> nullTexts;
    QList<long> asked;

    IncludeTextSource source()
    {
        return [this](long docID) {
            asked.append(docID);
            IncludedText t;
            if (nullTexts.contains(docID)) {
                t.found = true;
                t.isNull = true;
                return t;
            }
            if (!texts.contains(docID)) return t;
            t.found = true;
            t.text = texts.value(docID);
            return t;
        };
    }
};

QString id(xml::Node n) { return xml::attribute(n, QStringLiteral("ID")); }
xml::Node byId(const xml::Document& doc, const QString& v)
{
    return FindElementByAttribute(doc.node(), QStringLiteral("ID"), v);
}

// The worked example: 5 includes 7 at B0.I0; 7's block B0.0 includes 9 binding X to Y.
Catalogue workedExample()
{
    Catalogue c;
    c.texts[5] = QStringLiteral(
        "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[five]]>"
        "<Parameter ID=\"B0.P_Top\" Name=\"Top\"/>"
        "<Include ID=\"B0.I0\" Name=\"Include:seven\" DocID=\"7\"><Inheritance PID=\"B0.0.P_Y\" RID=\"B0.P_Top\"/>"
        "<Inheritance PID=\"B0.0.P_Y\" RID=\"$const\" Type=\"Output\"/></Include></Document>");
    c.texts[7] = QStringLiteral(
        "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[seven]]>"
        "<Block ID=\"B0.0\" Name=\"b\"><![CDATA[select <$Y%>]]>"
        "<Parameter ID=\"B0.0.P_Y\" Name=\"Y\"/>"
        "<Script ID=\"B0.0.X0\" Name=\"s\" Language=\"VBScript\"><![CDATA[RunFrom \"B0.0\"]]></Script>"
        "<Include ID=\"B0.0.I0\" Name=\"Include:nine\" DocID=\"9\">"
        "<Inheritance PID=\"B0.P_X\" RID=\"B0.0.P_Y\"/><Inheritance PID=\"B0.P_X\" RID=\"$5\"/></Include>"
        "</Block></Document>");
    c.texts[9] = QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[nine]]>"
                                "<Parameter ID=\"B0.P_X\" Name=\"X\"/><Block ID=\"B0.0\" Name=\"n\"><![CDATA[select "
                                "<$X%>]]></Block></Document>");
    return c;
}

}   // namespace

TEST(IncludeExpansion, WorkedExamplePrefixesIdsPidsAndRids)
{
    Catalogue cat = workedExample();
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(cat.texts[5]));
    ExpandIncludes(cat.source(), doc.documentElement(), 5);

    xml::Node inc = byId(doc, QStringLiteral("B0.I0"));
    ASSERT_TRUE(inc);
    xml::Node seven = inc.last_child();
    EXPECT_EQ(xml::tagName(seven), QStringLiteral("Document"));
    EXPECT_EQ(id(seven), QStringLiteral("B0.I0|B0"));
    EXPECT_EQ(xml::bodyText(seven), QStringLiteral("seven"));
    EXPECT_EQ(id(seven.child("Block")), QStringLiteral("B0.I0|B0.0"));
    // Top-level include: PID prefixed, RID unchanged (also a constant).
    EXPECT_EQ(xml::attribute(inc.first_child(), QStringLiteral("PID")), QStringLiteral("B0.I0|B0.0.P_Y"));
    EXPECT_EQ(xml::attribute(inc.first_child(), QStringLiteral("RID")), QStringLiteral("B0.P_Top"));
    EXPECT_EQ(xml::attribute(inc.first_child().next_sibling(), QStringLiteral("RID")), QStringLiteral("$const"));
    EXPECT_EQ(xml::attribute(inc.first_child().next_sibling(), QStringLiteral("Type")), QStringLiteral("Output"));

    xml::Node nestedInc = byId(doc, QStringLiteral("B0.I0|B0.0.I0"));
    ASSERT_TRUE(nestedInc);
    xml::Node nine = nestedInc.last_child();
    EXPECT_EQ(id(nine), QStringLiteral("B0.I0|B0.0.I0|B0"));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.0.I0|B0.P_X")));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.0.I0|B0.0")));
    xml::Node binding = nestedInc.first_child();
    EXPECT_EQ(xml::attribute(binding, QStringLiteral("PID")), QStringLiteral("B0.I0|B0.0.I0|B0.P_X"));
    EXPECT_EQ(xml::attribute(binding, QStringLiteral("RID")), QStringLiteral("B0.I0|B0.0.P_Y"));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.0.P_Y")));   // the RID names a real element
    EXPECT_EQ(xml::attribute(binding.next_sibling(), QStringLiteral("RID")), QStringLiteral("$5"));
    // Quoted references in the embedded scripts follow their prefix.
    EXPECT_EQ(xml::bodyText(byId(doc, QStringLiteral("B0.I0|B0.0.X0"))), QStringLiteral("RunFrom \"B0.I0|B0.0\""));
    // The including document's own IDs stay.
    EXPECT_EQ(id(doc.documentElement()), QStringLiteral("B0"));
    EXPECT_EQ(cat.asked, (QList<long>{7, 9}));
}

TEST(IncludeExpansion, SelfIncludeRefusedWithTheRecursionMessage)
{
    Catalogue cat;
    cat.texts[3] = QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"3\"/></Document>");
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(cat.texts[3]));
    try {
        ExpandIncludes(cat.source(), doc.documentElement(), 3);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), -1);
        EXPECT_EQ(e.description(),
            QStringLiteral("Could not include to current document\r\nbecause this will cause a recursive chain"));
    }
    EXPECT_TRUE(cat.asked.isEmpty());
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0")).first_child().empty());
}

TEST(IncludeExpansion, LoopThroughTheRootRefused)
{
    Catalogue cat;
    cat.texts[1] = QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"2\"/></Document>");
    cat.texts[2] = QStringLiteral(
        "<Document ID=\"B0\"><Block ID=\"B0.0\"><Include ID=\"B0.0.I0\" DocID=\"1\"/></Block></Document>");
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(cat.texts[1]));
    EXPECT_THROW(ExpandIncludes(cat.source(), doc.documentElement(), 1), Error);
    // What was expanded before the failing include stays.
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.0")));
}

TEST(IncludeExpansion, IndirectLoopBelowTheRootRefusedWithTheSameMessage)
{
    Catalogue cat;   // A(1) includes B(2), B includes C(3), C includes B
    cat.texts[1] = QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"2\"/></Document>");
    cat.texts[2] = QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"3\"/></Document>");
    cat.texts[3] = QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\" 2\"/></Document>");
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(cat.texts[1]));
    try {
        ExpandIncludes(cat.source(), doc.documentElement(), 1);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), -1);
        EXPECT_EQ(e.description(), RecursiveIncludeMessage());
    }
    EXPECT_EQ(cat.asked, (QList<long>{2, 3}));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.I0|B0.I0")));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.I0|B0.I0")).first_child().empty());
}

TEST(IncludeExpansion, ThreeLevelsDeepAndTwoCopiesOfOneDocument)
{
    Catalogue cat;
    cat.texts[10] = QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"11\"/><Block ID=\"B0.0\">"
                                   "<Include ID=\"B0.0.I0\" DocID=\"11\"/></Block></Document>");
    cat.texts[11] = QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I1\" DocID=\"12\"><Inheritance PID=\"B0.P_Q\" "
                                   "RID=\"B0.P_R\"/></Include></Document>");
    cat.texts[12] = QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"13\"><Inheritance PID=\"B0.P_S\" "
                                   "RID=\"B0.P_Q\"/></Include><Parameter ID=\"B0.P_Q\" Name=\"Q\"/></Document>");
    cat.texts[13] =
        QStringLiteral("<Document ID=\"B0\"><Block ID=\"B0.0\"/><Parameter ID=\"B0.P_S\" Name=\"S\"/></Document>");
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(cat.texts[10]));
    ExpandIncludes(cat.source(), doc.documentElement(), 10);

    EXPECT_TRUE(byId(doc, QStringLiteral("B0.I0|B0.I1|B0.I0|B0.0")));
    EXPECT_TRUE(byId(doc, QStringLiteral("B0.0.I0|B0.I1|B0.I0|B0.0")));
    xml::Node third = byId(doc, QStringLiteral("B0.I0|B0.I1|B0.I0"));
    EXPECT_EQ(xml::attribute(third.first_child(), QStringLiteral("PID")), QStringLiteral("B0.I0|B0.I1|B0.I0|B0.P_S"));
    EXPECT_EQ(xml::attribute(third.first_child(), QStringLiteral("RID")), QStringLiteral("B0.I0|B0.I1|B0.P_Q"));
    xml::Node second = byId(doc, QStringLiteral("B0.0.I0|B0.I1"));
    EXPECT_EQ(xml::attribute(second.first_child(), QStringLiteral("PID")), QStringLiteral("B0.0.I0|B0.I1|B0.P_Q"));
    EXPECT_EQ(xml::attribute(second.first_child(), QStringLiteral("RID")), QStringLiteral("B0.0.I0|B0.P_R"));
    EXPECT_EQ(cat.asked, (QList<long>{11, 12, 13, 11, 12, 13}));
}

TEST(IncludeExpansion, IIncludeIsExpandedAndExpandingTwiceAppendsASecondCopy)
{
    Catalogue cat;
    cat.texts[2] = QStringLiteral("<Document ID=\"B0\"/>");
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral("<Document ID=\"B0\"><IInclude ID=\"B0.I0\" DocID=\"2\"><Inheritance "
                                           "PID=\"B0.P_A\" RID=\"B0.P_B\"/></IInclude></Document>")));
    ExpandIncludes(cat.source(), doc.documentElement(), 1);
    xml::Node inc = doc.documentElement().first_child();
    EXPECT_EQ(xml::outerXml(inc),
        QStringLiteral("<IInclude ID=\"B0.I0\" DocID=\"2\"><Inheritance PID=\"B0.I0|B0.P_A\" RID=\"B0.P_B\"/><Document "
                       "ID=\"B0.I0|B0\"/></IInclude>"));
    ExpandIncludes(cat.source(), doc.documentElement(), 1);
    EXPECT_EQ(xml::outerXml(inc),
        QStringLiteral("<IInclude ID=\"B0.I0\" DocID=\"2\"><Inheritance PID=\"B0.I0|B0.I0|B0.P_A\" RID=\"B0.P_B\"/>"
                       "<Document ID=\"B0.I0|B0\"/><Document ID=\"B0.I0|B0\"/></IInclude>"));
}

TEST(IncludeExpansion, DocIdThatIsNotAWholeNumberRefusedBeforeAnyLookup)
{
    Catalogue cat;
    for (const char* bad : {"", "7 or 1=1", "7;drop table tbOrraSQL", "1.5", "abc"}) {
        xml::Document doc;
        ASSERT_TRUE(doc.loadXML(QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I4\" DocID=\"%1\"/></Document>")
                                    .arg(QString::fromLatin1(bad))));
        try {
            ExpandIncludes(cat.source(), doc.documentElement(), 1);
            FAIL() << bad;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), -1);
            EXPECT_TRUE(e.description().contains(QStringLiteral("B0.I4"))) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(QStringLiteral("not a whole number")));
        }
    }
    EXPECT_TRUE(cat.asked.isEmpty());
}

TEST(IncludeExpansion, MissingNullAndUnparsableTextsNameTheDocument)
{
    Catalogue cat;
    cat.nullTexts.append(21);
    cat.texts[22] = QStringLiteral("<Document ID=\"B0\"><Block></Document>");
    struct Case {
        long doc;
        const char* words;
    };
    for (const Case& c : {Case{20, "does not exist"}, Case{21, "has no text"}, Case{22, "could not be loaded"}}) {
        xml::Document doc;
        ASSERT_TRUE(doc.loadXML(QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"%1\">"
                                               "<Inheritance PID=\"B0.P_A\" RID=\"B0.P_B\"/></Include></Document>")
                                    .arg(c.doc)));
        const QString before = doc.xml();
        try {
            ExpandIncludes(cat.source(), doc.documentElement(), 1);
            FAIL() << c.doc;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), -1);
            EXPECT_TRUE(e.description().contains(QString::number(c.doc))) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(QString::fromLatin1(c.words))) << e.description().toStdString();
        }
        // Nothing changed: the binding keeps its PID, no half-embedded document.
        EXPECT_EQ(doc.xml(), before);
    }
}

TEST(IncludeExpansion, FanOutIsBoundedWithAMessageNamingTheLimit)
{
    // 22 documents, each including the next twice: four million copies of the last one.
    Catalogue cat;
    const QString filler(4000, QLatin1Char('x'));
    for (long d = 100; d < 121; ++d)
        cat.texts[d] = QStringLiteral("<Document ID=\"B0\"><![CDATA[%1]]><Include ID=\"B0.I0\" DocID=\"%2\"/>"
                                      "<Include ID=\"B0.I1\" DocID=\"%2\"/></Document>")
                           .arg(filler)
                           .arg(d + 1);
    cat.texts[121] =
        QStringLiteral("<Document ID=\"B0\"><Block ID=\"B0.0\"><![CDATA[%1]]></Block></Document>").arg(filler);
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(cat.texts[100]));
    try {
        ExpandIncludes(cat.source(), doc.documentElement(), 100);
        FAIL() << "expanded";
    } catch (const Error& e) {
        EXPECT_EQ(e.source(), QStringLiteral("IncludeDocument"));
        EXPECT_TRUE(e.description().startsWith(QStringLiteral(
            "The included documents are too large: expanding them would exceed the limit of 33,554,432 characters "
            "of included text (reached at the included document 1")))
            << e.what();
    }
    // The bound is counted per expansion: a small tree expands after the refusal.
    Catalogue small = workedExample();
    xml::Document ok;
    ASSERT_TRUE(ok.loadXML(small.texts[5]));
    EXPECT_NO_THROW(ExpandIncludes(small.source(), ok.documentElement(), 5));
}
