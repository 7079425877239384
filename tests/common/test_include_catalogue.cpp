// Include expansion reading the included documents from a real embedded catalogue, in the
// run-time library's form of the query ("..tbOrraSQL") and in the designer's (with the
// catalogue database's name).

#include "CatalogueFixture.h"

#include "common/IncludeExpansion.h"
#include "common/QueryDocument.h"

using namespace orra;

namespace {

class IncludeCatalogue : public test::CatalogueTest {
protected:
    void SetUp() override
    {
        CatalogueTest::SetUp();
        addCategory(1, 0, QStringLiteral("Top"));
        addDocument(5, 1, QStringLiteral("Five"),
            QStringLiteral(
                "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[five]]><Parameter ID=\"B0.P_Top\" Name=\"Top\"/>"
                "<Include ID=\"B0.I0\" Name=\"Include:Seven\" DocID=\"7\"><Inheritance PID=\"B0.0.P_Y\" "
                "RID=\"B0.P_Top\"/></Include>"
                "</Document>"));
        addDocument(7, 1, QStringLiteral("Seven"),
            QStringLiteral(
                "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[it's seven]]>"
                "<Block ID=\"B0.0\" Name=\"b\"><![CDATA[select '<$Y%>']]><Parameter ID=\"B0.0.P_Y\" Name=\"Y\"/>"
                "<Script ID=\"B0.0.X0\" Name=\"s\" Language=\"VBScript\"><![CDATA[RunFrom \"B0.0\"]]></Script>"
                "<Include ID=\"B0.0.I0\" Name=\"Include:Nine\" DocID=\"9\"><Inheritance PID=\"B0.P_X\" "
                "RID=\"B0.0.P_Y\"/></Include>"
                "</Block></Document>"));
        addDocument(9, 1, QStringLiteral("Nine"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[nine]]><Parameter ID=\"B0.P_X\" Name=\"X\"/>"
                           "<Block ID=\"B0.0\" Name=\"n\"><![CDATA[select <$X%>]]></Block></Document>"));
    }

    QString expanded(long docID, const QString& catalogueDatabase = database())
    {
        xml::Document doc;
        const QVariant text = scalar(*admin, QStringLiteral("select SQLtxt from tbOrraSQL where ID=%1").arg(docID));
        EXPECT_TRUE(doc.loadXML(text.toString()));
        ExpandIncludes(admin.get(), doc.documentElement(), docID, catalogueDatabase);
        return doc.xml();
    }
};

QString id(xml::Node n) { return xml::attribute(n, QStringLiteral("ID")); }

}   // namespace

TEST_F(IncludeCatalogue, WorkedExampleFromTheCatalogue)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(expanded(5)));
    auto byId = [&](const char* v) {
        return FindElementByAttribute(doc.node(), QStringLiteral("ID"), QString::fromLatin1(v));
    };
    EXPECT_EQ(xml::bodyText(byId("B0.I0|B0")), QStringLiteral("it's seven"));
    EXPECT_TRUE(byId("B0.I0|B0.0"));
    EXPECT_TRUE(byId("B0.I0|B0.0.I0|B0"));
    EXPECT_TRUE(byId("B0.I0|B0.0.I0|B0.P_X"));
    xml::Node nested = byId("B0.I0|B0.0.I0");
    EXPECT_EQ(xml::attribute(nested.first_child(), QStringLiteral("PID")), QStringLiteral("B0.I0|B0.0.I0|B0.P_X"));
    EXPECT_EQ(xml::attribute(nested.first_child(), QStringLiteral("RID")), QStringLiteral("B0.I0|B0.0.P_Y"));
    xml::Node top = byId("B0.I0");
    EXPECT_EQ(xml::attribute(top.first_child(), QStringLiteral("PID")), QStringLiteral("B0.I0|B0.0.P_Y"));
    EXPECT_EQ(xml::attribute(top.first_child(), QStringLiteral("RID")), QStringLiteral("B0.P_Top"));
    EXPECT_EQ(xml::bodyText(byId("B0.I0|B0.0.X0")), QStringLiteral("RunFrom \"B0.I0|B0.0\""));
    EXPECT_EQ(id(doc.documentElement()), QStringLiteral("B0"));
}

// The run-time library names no database: "..tbOrraSQL" is the table of the connection's
// current database.
TEST_F(IncludeCatalogue, RunTimeFormReadsTheCurrentDatabase)
{
    EXPECT_EQ(expanded(5, QString()), expanded(5, database()));
}

TEST_F(IncludeCatalogue, SelfAndIndirectLoopsRefused)
{
    addDocument(30, 1, QStringLiteral("Self"),
        QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"30\"/></Document>"));
    addDocument(31, 1, QStringLiteral("A"),
        QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"32\"/></Document>"));
    addDocument(32, 1, QStringLiteral("B"),
        QStringLiteral(
            "<Document ID=\"B0\"><Block ID=\"B0.0\"><Include ID=\"B0.0.I0\" DocID=\"33\"/></Block></Document>"));
    addDocument(33, 1, QStringLiteral("C"),
        QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I2\" DocID=\"32\"/></Document>"));
    for (long doc : {30L, 31L}) {
        try {
            expanded(doc);
            FAIL() << doc;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), -1);
            EXPECT_EQ(e.description(),
                QStringLiteral("Could not include to current document\r\nbecause this will cause a recursive chain"));
        }
    }
}

TEST_F(IncludeCatalogue, MissingRowAndNullTextNameTheDocument)
{
    addDocument(40, 1, QStringLiteral("Missing"),
        QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"404\"/></Document>"));
    addDocument(41, 1, QStringLiteral("Null"),
        QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"42\"/></Document>"));
    addDocument(42, 1, QStringLiteral("Empty"), QString());
    admin->execute(QStringLiteral("update tbOrraSQL set SQLtxt=NULL where ID=42"));
    try {
        expanded(40);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.description(), QStringLiteral("The included document 404 does not exist in the catalogue"));
    }
    try {
        expanded(41, database());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.description(), QStringLiteral("The included document 42 has no text"));
    }
}

TEST_F(IncludeCatalogue, ClosedConnectionIsAnError)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"7\"/></Document>")));
    admin->close();
    EXPECT_THROW(ExpandIncludes(admin.get(), doc.documentElement(), 5), Error);
    EXPECT_THROW(ExpandIncludes(static_cast<db::Connection*>(nullptr), doc.documentElement(), 5), Error);
}
