#pragma once
// The property panes, node selection and element builders' tests: a report document with
// every kind of node (own and included), the connection registry of the catalogue, and
// helpers to select nodes and reach the panes' fields.

#include "EditorFixture.h"

#include "designer/editor/DocumentTree.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

// QString values in the notes of failing checks.
inline std::ostream& operator<<(std::ostream& os, const QString& s) { return os << s.toStdString(); }

namespace orra::test {

// The report: parameters of three forms at the root (a list, a record picker that is static,
// one of an older form with attributes missing), a block with a station, a script and a
// parameter of its own, and an include with a binding of the root's City.
inline QString reportDocument()
{
    return QStringLiteral(
        "<Document ID=\"B0\" Server=\"srv1\"><![CDATA[Sales report\nby city]]>"
        "<Parameter ID=\"B0.P_City\" Name=\"City\" Caption=\"City name\" DefaultValue=\"Ankara\" Type=\"combo\" "
        "Source=\"select City from Cities\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>"
        "<Parameter ID=\"B0.P_Cust\" Name=\"Cust\" Caption=\"Customer\" "
        "DefaultValue=\"select top 1 Code from Customers where City='&lt;$City%&gt;'\" Type=\"button\" "
        "Source=\"select Code, Name from Customers where City='&lt;$City%&gt;'\" ReturnCol=\"Code\" "
        "Prompt=\"Pick a customer\" SelectionType=\"multi\" Behaviour=\"static\"/>"
        "<Parameter ID=\"B0.P_Old\" Name=\"Old\" Caption=\"Older\" Type=\"Text\"/>"
        "<Block ID=\"B0.0\" Name=\"Prepare\"><![CDATA[select * into #Report from Orders\nwhere City='<$City%>']]>"
        "<Parameter ID=\"B0.0.P_Year\" Name=\"Year\" Caption=\"Year\" DefaultValue=\"select max(Y) from T where "
        "C='&lt;$City%&gt;'\" "
        "Type=\"combo\" Source=\"select Y from T where C='&lt;$City%&gt;'\" ReturnCol=\"\" Prompt=\"\" "
        "SelectionType=\"\" "
        "Behaviour=\"dynamic\"/>"
        "<Station ID=\"B0.0.S0\" Name=\"Check\"><![CDATA[select 2]]></Station>"
        "<Script ID=\"B0.0.X0\" Name=\"Decide\" Language=\"JScript\"><![CDATA[If Item(\"B0.P_City\") = \"\" Then "
        "RunFrom \"B0.0\"]]></Script>"
        "</Block>"
        "<Include ID=\"B0.I0\" Name=\"Include:Regions\" DocID=\"2\"><Inheritance PID=\"B0.P_Region\" "
        "RID=\"B0.P_City\"/></Include>"
        "</Document>");
}

// The included document: a parameter, a block, a station, a script and an include of its own.
inline QString regionsDocument()
{
    return QStringLiteral(
        "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[Regions]]>"
        "<Parameter ID=\"B0.P_Region\" Name=\"Region\" Caption=\"Region\" DefaultValue=\"North\" Type=\"text\" "
        "Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>"
        "<Block ID=\"B0.0\" Name=\"Totals\"><![CDATA[select 3]]></Block>"
        "<Station ID=\"B0.S0\" Name=\"Stop\"><![CDATA[select 4]]></Station>"
        "<Script ID=\"B0.X0\" Name=\"Note\" Language=\"VBScript\"><![CDATA[x = 1]]></Script>"
        "<Include ID=\"B0.I0\" Name=\"Include:Leaf\" DocID=\"4\"/>"
        "</Document>");
}

inline QString leafDocument()
{
    return QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[Leaf]]>"
                          "<Block ID=\"B0.0\" Name=\"LeafBlock\"><![CDATA[select 5]]></Block></Document>");
}

class PanesTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        addDocument(1, 1, QStringLiteral("Report"), reportDocument());
        addDocument(2, 1, QStringLiteral("Regions"), regionsDocument());
        addDocument(4, 1, QStringLiteral("Leaf"), leafDocument());
        // The registry that registration writes and the run-time reads.
        qputenv("ORRA_REGISTRY_DB", "mat");
        admin->execute(QStringLiteral("insert into mat..tbOrraConnections (Server, IP, [Database], UserName, UserPwd) "
                                      "values ('srv1', '10.0.0.1', 'sales', '', '')"));
        admin->execute(QStringLiteral("insert into mat..tbOrraConnections (Server, IP, [Database], UserName, UserPwd) "
                                      "values ('srv2', '10.0.0.2', 'stock', '', '')"));
    }
    void TearDown() override
    {
        EditorTest::TearDown();
        qunsetenv("ORRA_REGISTRY_DB");
    }

    // Selects the node with that key as a click does (the tree's selection, then node
    // selection on the window).
    static QTreeWidgetItem* click(morvane::frmOrraDevelopment* w, const QString& key)
    {
        morvane::DocumentTree* tree = w->documentTree();
        QTreeWidgetItem* node = tree->node(key);
        EXPECT_TRUE(node) << key;
        if (!node) return nullptr;
        {
            const QSignalBlocker block(tree);
            tree->setCurrentItem(node);
        }
        w->tvDocument_NodeClick(node);
        return node;
    }
    template <class T> static T* field(morvane::frmOrraDevelopment* w, const char* name)
    {
        T* f = w->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(f) << name;
        return f;
    }
    static QString xmlOf(morvane::frmOrraDevelopment* w) { return w->document()->xml(); }
    static xml::Node element(morvane::frmOrraDevelopment* w, const QString& id)
    {
        const xml::Node root = w->document()->documentElement();
        return xml::attribute(root, "ID") == id ? root : FindElementByAttribute(root, "ID", id);
    }
    static QStringList items(QComboBox* c)
    {
        QStringList l;
        for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
        return l;
    }
};

}   // namespace orra::test
