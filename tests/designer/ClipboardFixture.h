#pragma once
// The tree-editing tests of the editor window: documents with blocks, stations, scripts,
// parameters and includes on an embedded catalogue, windows opened standalone with their
// trees shown (so that positions in the tree mean something), and a user interface that
// answers name prompts too.

#include "EditorFixture.h"

#include "designer/editor/DocumentTree.h"
#include "designer/editor/TreeEditing.h"
#include "designer/editor/frmtvDocument.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QTreeWidget>

namespace orra::test {

// Also answers the input box: the next scripted name, or the default when none is left.
class NamingUserInterface : public ScriptedUserInterface {
public:
    QString inputBox(const QString& prompt, const QString& title, const QString& d, bool*) override
    {
        prompts << prompt + QLatin1Char('|') + title + QLatin1Char('|') + d;
        if (names.empty()) return d;
        const QString n = names.front();
        names.pop_front();
        return n;
    }
    std::deque<QString> names;
    QStringList prompts;
};

inline QString Param(const QString& id, const QString& name, const QString& def = QString(),
    const QString& behaviour = QStringLiteral("dynamic"), const QString& type = QStringLiteral("text"))
{
    return QStringLiteral("<Parameter ID=\"%1\" Name=\"%2\" Caption=\"%2\" DefaultValue=\"%3\" Type=\"%4\" "
                          "Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"%5\"/>")
        .arg(id, name, def, type, behaviour);
}

class ClipboardTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        morvane::CopyToClipboard(xml::Node());
        // No platform drag loop offscreen: a started drag is only recorded.
        morvane::setTreeDragExecutor([this](QDrag* drag) {
            startedDrags << QString::fromUtf8(drag->mimeData()->data(QStringLiteral("application/x-orra-tree-node")));
            return Qt::IgnoreAction;
        });
        sourceText = QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[src]]>")
            + Param("B0.P_Region", "Region")
            + QStringLiteral("<Block ID=\"B0.0\" Name=\"Outer\"><![CDATA[select <$Limit%>]]>")
            + Param("B0.0.P_Limit", "Limit", "5")
            + QStringLiteral(
                "<Block ID=\"B0.0.0\" Name=\"Inner\"><![CDATA[select 2]]></Block>"
                "<Station ID=\"B0.0.S0\" Name=\"Stop\"><![CDATA[]]></Station>"
                "<Script ID=\"B0.0.X0\" Name=\"Go\" Language=\"VBScript\"><![CDATA[RunFrom \"B0.0.0\"]]></Script>"
                "</Block>"
                "<Block ID=\"B0.1\" Name=\"Second\"><![CDATA[select 3]]></Block>"
                "<Script ID=\"B0.X0\" Name=\"Main\" Language=\"VBScript\"><![CDATA[RunFrom \"B0.0\" : RunFrom "
                "\"B0.0.S0\"]]></Script>"
                "</Document>");
        addDocument(20, 1, QStringLiteral("Source"), sourceText);
        addDocument(21, 1, QStringLiteral("Target"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[tgt]]>"
                           "<Block ID=\"B0.0\" Name=\"A\"><![CDATA[]]></Block>"
                           "<Block ID=\"B0.3\" Name=\"B\"><![CDATA[]]></Block></Document>"));
        addDocument(22, 1, QStringLiteral(" Lib "),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[lib]]>") + Param("B0.P_Year", "Year", "1999")
                + Param("B0.P_Fixed", "Fixed", "", "static")
                + QStringLiteral("<Block ID=\"B0.0\" Name=\"L\"><![CDATA[select '<$Year%>']]>")
                + Param("B0.0.P_Deep", "Deep") + QStringLiteral("</Block></Document>"));
        addDocument(23, 1, QStringLiteral("OnX"),
            QStringLiteral("<Document ID=\"B0\" Server=\"srvX\"><![CDATA[x]]></Document>"));
        // Host includes Lib.
        addDocument(24, 1, QStringLiteral("Host"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[host]]>") + Param("B0.P_Y", "Y")
                + QStringLiteral("<Include ID=\"B0.I0\" Name=\"Include:Lib\" DocID=\"22\">"
                                 "<Inheritance PID=\"B0.P_Year\" RID=\"B0.P_Y\"/></Include></Document>"));
        admin->execute(QStringLiteral("insert into tbOrraRelations values (24, 22)"));
    }
    void TearDown() override
    {
        windows.clear();
        morvane::CopyToClipboard(xml::Node());
        morvane::setTreeDragExecutor(nullptr);
        EditorTest::TearDown();
    }

    // A window of docID whose tree is shown and fully expanded.
    morvane::frmOrraDevelopment* open(long docID)
    {
        morvane::frmOrraDevelopment* w = openStandalone(docID);
        EXPECT_TRUE(w);
        if (!w) return nullptr;
        windows.emplace_back(w);
        showTree(w);
        return w;
    }
    // Only w's tree is shown in the element-tree pane, as for the active window.
    static void showTree(morvane::frmOrraDevelopment* w)
    {
        morvane::frmtvDocument* pane = morvane::frmtvDocument::instance();
        pane->resize(300, 900);
        pane->show();
        for (int i = 1; i <= pane->UBound(); ++i)
            if (morvane::DocumentTree* t = pane->tvDocument(i)) {
                t->setGeometry(pane->contentsRect());
                t->setVisible(t == w->tvDocument());
            }
        expandAll(w);
    }
    static void expandAll(morvane::frmOrraDevelopment* w)
    {
        w->documentTree()->buildAllNodes();
        w->documentTree()->expandAll();
        QApplication::processEvents();
    }
    static QTreeWidgetItem* node(morvane::frmOrraDevelopment* w, const QString& key)
    {
        return w->documentTree()->node(key);
    }
    static void select(morvane::frmOrraDevelopment* w, const QString& key)
    {
        QTreeWidgetItem* n = node(w, key);
        ASSERT_TRUE(n) << key.toStdString();
        w->tvDocument()->setCurrentItem(n);
        w->tvDocument_NodeClick(n);
    }
    // The centre of a node in the tree viewport's coordinates.
    static QPoint at(morvane::frmOrraDevelopment* w, const QString& key)
    {
        showTree(w);
        QTreeWidgetItem* n = node(w, key);
        EXPECT_TRUE(n) << key.toStdString();
        return n ? w->tvDocument()->visualItemRect(n).center() : QPoint();
    }
    static QString xmlOf(morvane::frmOrraDevelopment* w) { return w->document()->xml(); }
    static xml::Node element(morvane::frmOrraDevelopment* w, const QString& id)
    {
        return FindElementByAttribute(w->document()->node(), QStringLiteral("ID"), id);
    }
    // The IDs of an element's child elements, in document order.
    static QStringList childIDs(xml::Node e)
    {
        QStringList ids;
        for (xml::Node c = e.first_child(); c; c = c.next_sibling())
            if (xml::isElement(c)) ids << xml::attribute(c, QStringLiteral("ID"));
        return ids;
    }
    static QStringList childKeys(QTreeWidgetItem* n)
    {
        QStringList keys;
        for (int i = 0; n && i < n->childCount(); ++i) keys << morvane::DocumentTree::key(n->child(i));
        return keys;
    }

    QString sourceText;
    QStringList startedDrags;
    std::vector<std::unique_ptr<morvane::frmOrraDevelopment>> windows;
};

}   // namespace orra::test
