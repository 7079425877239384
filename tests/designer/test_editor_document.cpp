// The editor window's document model on an embedded catalogue: load and expansion, the tree's
// nodes, the stored form, checksum and relations written by Save, the skeleton of a new
// document, and the failures of load and save.

#include "EditorFixture.h"

#include "common/Permissions.h"
#include "designer/editor/DocumentModel.h"
#include "designer/editor/DocumentTree.h"

namespace orra::test {
namespace {

using morvane::frmOrraDevelopment;

QString param(const QString& id, const QString& name, const QString& behaviour = QString())
{
    QString p = QStringLiteral("<Parameter ID=\"%1\" Name=\"%2\" Caption=\"%2\" DefaultValue=\"\" Type=\"text\" "
                               "Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\"")
                    .arg(id, name);
    if (!behaviour.isEmpty()) p += QStringLiteral(" Behaviour=\"%1\"").arg(behaviour);
    return p + QStringLiteral("/>");
}

// The text as the document object writes it back.
QString canonical(const QString& text)
{
    xml::Document d;
    EXPECT_TRUE(d.loadXML(text));
    return d.xml();
}

class EditorDocumentTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        addDocument(10, 1, QStringLiteral("Customers"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[inner]]>")
                + param("B0.P_Region", "Region", "dynamic")
                + QStringLiteral("<Block ID=\"B0.0\" Name=\"Totals\"><![CDATA[select 1]]></Block></Document>"));
        addDocument(11, 1, QStringLiteral("Cities"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[mid]]>")
                + param("B0.P_City", "City", "dynamic") + param("B0.P_Year", "Year", "static")
                + param("B0.P_Month", "Month", "Static")
                + QStringLiteral(
                    "<Include ID=\"B0.I0\" Name=\"Include:Customers\" DocID=\"10\">"
                    "<Inheritance PID=\"B0.P_Region\" RID=\"B0.P_City\"/></Include>"
                    "<Script ID=\"B0.X0\" Name=\"Script0\" Language=\"VBScript\"><![CDATA[RunFrom \"B0.I0\"]]></Script>"
                    "</Document>"));
        reportText = QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[The report's description]]>")
            + param("B0.P_From", "From") + param("B0.P_Fixed", "Fixed", "static")
            + QStringLiteral("<Block ID=\"B0.0\" Name=\"Prepare\"><![CDATA[select 'it''s' as x into #Report]]>")
            + param("B0.0.P_Limit", "Limit", "dynamic")
            + QStringLiteral("<Block ID=\"B0.0.0\" Name=\"Inner\"><![CDATA[select 2]]></Block>"
                             "<Station ID=\"B0.0.S0\" Name=\"Station0\"><![CDATA[]]></Station>"
                             "<Include ID=\"B0.0.I0\" Name=\"Include:Cities\" DocID=\"11\">"
                             "<Inheritance PID=\"B0.P_City\" RID=\"B0.P_From\"/>"
                             "<Inheritance PID=\"B0.P_Month\" RID=\"$5\" Type=\"Output\"/></Include>"
                             "</Block>"
                             "<Include ID=\"B0.I0\" Name=\"Include:Customers\" DocID=\"10\"/>"
                             "<Include ID=\"B0.I1\" Name=\"Include:Customers\" DocID=\"10\"/>"
                             "</Document>");
        addDocument(12, 1, QStringLiteral("Report"), reportText);
    }
    QString reportText;
};

TEST_F(EditorDocumentTest, TreeShowsEveryNodeKindWithKeysTagsTextsAndImages)
{
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
    ASSERT_TRUE(w) << ui.texts().join(QLatin1Char('\n')).toStdString();
    const QStringList expected = {
        "B0|Document|Document|Document",
        "  B0_ParamGroup|ParameterGroup|Parameters|ParameterGroup",
        "    B0.P_From|Parameter|From|Parameter",
        "    B0.P_Fixed|Parameter|Fixed|Parameter_static",
        "  B0.0|Block|Prepare|Block",
        "    B0.0_ParamGroup|ParameterGroup|Parameters|ParameterGroup",
        "      B0.0.P_Limit|Parameter|Limit|Parameter",
        "    B0.0.0|Block|Inner|Block",
        "    B0.0.S0|Station|Station0|Station",
        "    B0.0.I0|Include|Include:Cities|Include",
        "      B0.0.I0_ParamGroup|IParameterGroup|Parameters|IParameterGroup",
        "        B0.0.I0|B0.P_City|IParameter|City|IParameter",
        "        B0.0.I0|B0.P_Month|IParameter|Month|IParameter",
        "      B0.0.I0|B0.I0|IInclude|Include:Customers|IInclude",
        "        B0.0.I0|B0.I0_ParamGroup|IParameterGroup|Parameters|IParameterGroup",
        "          B0.0.I0|B0.I0|B0.P_Region|IParameter|Region|IParameter",
        "        B0.0.I0|B0.I0|B0.0|IBlock|Totals|IBlock",
        "      B0.0.I0|B0.X0|IScript|Script0|IScript",
        "  B0.I0|Include|Include:Customers|Include",
        "    B0.I0_ParamGroup|IParameterGroup|Parameters|IParameterGroup",
        "      B0.I0|B0.P_Region|IParameter|Region|IParameter",
        "    B0.I0|B0.0|IBlock|Totals|IBlock",
        "  B0.I1|Include|Include:Customers|Include",
        "    B0.I1_ParamGroup|IParameterGroup|Parameters|IParameterGroup",
        "      B0.I1|B0.P_Region|IParameter|Region|IParameter",
        "    B0.I1|B0.0|IBlock|Totals|IBlock",
    };
    EXPECT_EQ(treeLines(w->tvDocument()), expected);
    EXPECT_TRUE(ui.boxes.empty());

    // Selected images, the root selected and expanded, its pane shown with the description.
    auto* tree = w->documentTree();
    EXPECT_EQ(morvane::DocumentTree::selectedImage(tree->node("B0.0")), "SBlock");
    EXPECT_EQ(morvane::DocumentTree::selectedImage(tree->node("B0.P_Fixed")), "SParameter");
    EXPECT_EQ(morvane::DocumentTree::selectedImage(tree->node("B0.0.I0|B0.X0")), "SScript");
    EXPECT_EQ(morvane::DocumentTree::selectedImage(tree->node("B0")), "");
    EXPECT_EQ(tree->currentItem(), tree->node("B0"));
    EXPECT_TRUE(tree->node("B0")->isExpanded());
    EXPECT_FALSE(tree->node("B0.0")->isExpanded());
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneDocument);
    EXPECT_EQ(w->findChild<QPlainTextEdit*>("txtdocDescription")->toPlainText(), "The report's description");
    EXPECT_EQ(w->CurrentElement(), w->document()->documentElement());
    EXPECT_FALSE(w->documentChanged());
}

TEST_F(EditorDocumentTest, ViewShowsTheRootsChildrenAndMakesDeeperNodesWhenExpanded)
{
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
    ASSERT_TRUE(w);
    QTreeWidget* tree = w->tvDocument();
    // What the view holds, without asking the tree for any node.
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_TRUE(root->isExpanded());
    QStringList children;
    for (int i = 0; i < root->childCount(); ++i) children << root->child(i)->text(0);
    EXPECT_EQ(children, QStringList({"Parameters", "Prepare", "Include:Customers", "Include:Customers"}));
    QTreeWidgetItem* block = root->child(1);
    EXPECT_EQ(block->childCount(), 0);
    EXPECT_EQ(block->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(root->child(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    // Expanding in the view makes the children.
    tree->expandItem(block);
    QStringList inner;
    for (int i = 0; i < block->childCount(); ++i) inner << morvane::DocumentTree::key(block->child(i));
    EXPECT_EQ(inner, QStringList({"B0.0_ParamGroup", "B0.0.0", "B0.0.S0", "B0.0.I0"}));
    EXPECT_EQ(block->child(1)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    // Asking for a deep node by key makes the way to it.
    QTreeWidgetItem* deep = w->documentTree()->node("B0.0.I0|B0.I0|B0.P_Region");
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->text(0), "Region");
    EXPECT_EQ(morvane::DocumentTree::key(deep->parent()->parent()), "B0.0.I0|B0.I0");
    EXPECT_EQ(w->documentTree()->nodeCount(), 26);
}

TEST_F(EditorDocumentTest, ParentWhoseParametersAreAllHiddenHasNoGroup)
{
    addDocument(20, 1, QStringLiteral("OnlyStatic"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>") + param("B0.P_A", "A", "static")
            + QStringLiteral("<Block ID=\"B0.0\" Name=\"B\"><![CDATA[]]></Block></Document>"));
    addDocument(21, 1, QStringLiteral("Outer"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>"
                       "<Include ID=\"B0.I0\" Name=\"Include:OnlyStatic\" DocID=\"20\"/></Document>"));
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(21));
    ASSERT_TRUE(w);
    EXPECT_EQ(treeLines(w->tvDocument()),
        QStringList({"B0|Document|Document|Document", "  B0.I0|Include|Include:OnlyStatic|Include",
            "    B0.I0|B0.0|IBlock|B|IBlock"}));
}

TEST_F(EditorDocumentTest, SaveWritesTheStoredFormChecksumAndRelationsInOneGo)
{
    admin->execute(QStringLiteral("insert into tbOrraRelations values (12, 11)"));
    admin->execute(QStringLiteral("insert into tbOrraRelations values (12, 12)"));
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
    ASSERT_TRUE(w);
    // The expanded form in memory: embedded documents and prefixed bindings.
    const QString expanded = w->document()->xml();
    EXPECT_TRUE(expanded.contains("PID=\"B0.0.I0|B0.P_City\""));
    EXPECT_TRUE(expanded.contains("Totals"));

    w->setDocumentChanged(true);
    ASSERT_TRUE(w->Save()) << ui.texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(w->documentChanged());
    const QString stored = storedText(12);
    EXPECT_EQ(stored, canonical(reportText));
    EXPECT_TRUE(stored.endsWith("</Document>\r\n"));
    EXPECT_FALSE(stored.contains("Totals"));
    EXPECT_FALSE(stored.contains('|'));
    EXPECT_TRUE(stored.contains("<Inheritance PID=\"B0.P_City\" RID=\"B0.P_From\""));
    EXPECT_TRUE(stored.contains("select 'it''s' as x into #Report"));
    EXPECT_EQ(storedCheckSum(12), independentCheckSum(12));
    EXPECT_EQ(w->ComputeDocumentCheckSum(), QString::number(storedCheckSum(12)));
    // One row per Include of the document itself: two of 10, one of 11 (inside a block);
    // the include inside document 11 is not recorded.
    EXPECT_EQ(relations(12), QStringList({"12>10", "12>10", "12>11"}));
    // The window keeps the expanded form.
    EXPECT_EQ(w->document()->xml(), expanded);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(EditorDocumentTest, TurkishTextAndQuotesInAttributesAreStoredUnchanged)
{
    const QString text = QStringLiteral(
        "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[Şehir raporu: müşteriler, 'ĞÜŞİÖÇ ğüşıöç']]>"
        "<Block ID=\"B0.0\" Name=\"Ali'nin bloğu\"><![CDATA[select 'it''s', N'ş' from t where a = '<$İl%>']]></Block>"
        "</Document>");
    addDocument(50, 1, QStringLiteral("Türkçe"), text);
    catalogue->setCommandTimeout(30);
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(50));
    ASSERT_TRUE(w);
    // The load's time-out is given back as none.
    EXPECT_EQ(catalogue->commandTimeout(), 0);
    EXPECT_EQ(w->documentTree()->node("B0.0")->text(0), "Ali'nin bloğu");
    w->setDocumentChanged(true);
    ASSERT_TRUE(w->Save()) << ui.texts().join('\n').toStdString();
    EXPECT_EQ(storedText(50), canonical(text));
    EXPECT_EQ(storedCheckSum(50), independentCheckSum(50));
}

TEST_F(EditorDocumentTest, ReopenedDocumentIsUnchangedApartFromTheEdit)
{
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
    ASSERT_TRUE(w);
    const xml::Node block = FindElementByAttribute(w->document()->documentElement(), "ID", "B0.0");
    w->CreateParameterElement(block, "B0.0.P_New_Parameter1", "New_Parameter1", "", "", "text", "", "", "", "dynamic");
    EXPECT_TRUE(w->documentChanged());
    ASSERT_TRUE(w->Save());
    w.reset();

    std::unique_ptr<frmOrraDevelopment> again(openStandalone(12));
    ASSERT_TRUE(again);
    QString expected = canonical(reportText);
    const QString added = QStringLiteral(
        "<Parameter ID=\"B0.0.P_New_Parameter1\" Name=\"New_Parameter1\" Caption=\"New_Parameter1\" DefaultValue=\"\" "
        "Type=\"text\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>");
    const qsizetype at = expected.indexOf("</Block><Include ID=\"B0.I0\"");
    ASSERT_GT(at, 0);
    expected.insert(at, added);
    EXPECT_EQ(storedText(12), expected);
    EXPECT_TRUE(again->documentTree()->node("B0.0.P_New_Parameter1"));
    EXPECT_EQ(storedCheckSum(12), independentCheckSum(12));
}

TEST_F(EditorDocumentTest, CreateParameterElementWritesItsAttributesInOrder)
{
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(10));
    ASSERT_TRUE(w);
    const xml::Node p = w->CreateParameterElement(
        w->document()->documentElement(), "B0.P_X", "X", "", "d", "combo", "select 1", "pr", "multi", "static");
    EXPECT_EQ(xml::outerXml(p),
        "<Parameter ID=\"B0.P_X\" Name=\"X\" Caption=\"X\" DefaultValue=\"d\" Type=\"combo\" Source=\"select 1\" "
        "ReturnCol=\"\" Prompt=\"pr\" SelectionType=\"multi\" Behaviour=\"static\"/>");
    EXPECT_TRUE(w->documentChanged());
    const xml::Node q =
        w->CreateParameterElement(w->document()->documentElement(), "B0.P_Y", "Y", "Why", "", "", "", "", "", "");
    EXPECT_EQ(xml::attribute(q, "Caption"), "Why");
}

TEST_F(EditorDocumentTest, EmptyStoredTextOpensAsSkeletonStoredAtOnce)
{
    addDocument(30, 1, QStringLiteral("Blank"), QString());
    admin->execute(QStringLiteral("insert into tbOrraRelations values (30, 10)"));
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(30));
    ASSERT_TRUE(w) << ui.texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(storedText(30), "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]></Document>\r\n");
    EXPECT_EQ(storedCheckSum(30), independentCheckSum(30));
    EXPECT_TRUE(relations(30).isEmpty());
    EXPECT_EQ(treeLines(w->tvDocument()), QStringList({"B0|Document|Document|Document"}));
    EXPECT_FALSE(w->documentChanged());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(EditorDocumentTest, TextThatDoesNotParseFailsTheLoadWithOneMessage)
{
    addDocument(31, 1, QStringLiteral("Broken"), QStringLiteral("<Document ID=\"B0\"><Block>"));
    addDocument(32, 1, QStringLiteral("Blanks"), QStringLiteral("   "));
    for (long id : {31L, 32L}) {
        ui.boxes.clear();
        lockDocument(id);
        EXPECT_EQ(lockCount(id), 1);
        EXPECT_EQ(openStandalone(id), nullptr);
        EXPECT_EQ(ui.texts(), QStringList({"Can not parse XML"})) << id;
        // The window unloaded itself: the lock it was opened with is released.
        EXPECT_EQ(lockCount(id), 0);
    }
    EXPECT_EQ(storedText(32), "   ");
}

TEST_F(EditorDocumentTest, MissingRowAndRecursiveIncludeFailTheLoad)
{
    EXPECT_EQ(openStandalone(99), nullptr);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.contains("EOF"));
    ui.boxes.clear();
    addDocument(33, 1, QStringLiteral("Self"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>"
                       "<Include ID=\"B0.I0\" Name=\"Include:Self\" DocID=\"33\"/></Document>"));
    EXPECT_EQ(openStandalone(33), nullptr);
    EXPECT_EQ(ui.texts(), QStringList({RecursiveIncludeMessage()}));
}

TEST_F(EditorDocumentTest, RefusedChangeRightStoresNothing)
{
    addUser(QStringLiteral("reader"));
    useCatalogue(std::shared_ptr<db::Connection>(connectAs(QStringLiteral("reader"))));
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
    ASSERT_TRUE(w);
    w->setDocumentChanged(true);
    const long before = storedCheckSum(12);
    EXPECT_FALSE(w->Save());
    EXPECT_EQ(ui.texts(), QStringList({"Permission Denied : You could not change this document"}));
    EXPECT_TRUE(w->documentChanged());
    EXPECT_EQ(storedText(12), reportText);
    EXPECT_EQ(storedCheckSum(12), before);
}

TEST_F(EditorDocumentTest, SectionsOfABodySplitByWhiteSpaceShowAsTheNextLoadShowsThem)
{
    addDocument(45, 1, QStringLiteral("Split"),
        QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>"
                       "<Block ID=\"B0.0\" Name=\"Both\"><![CDATA[select 1]]>\r\n  <![CDATA[ union select 2]]></Block>"
                       "</Document>"));
    QStringList shown;
    for (int load = 0; load < 2; ++load) {
        std::unique_ptr<frmOrraDevelopment> w(openStandalone(45));
        ASSERT_TRUE(w);
        QTreeWidgetItem* block = w->documentTree()->node(QStringLiteral("B0.0"));
        ASSERT_TRUE(block);
        w->tvDocument()->setCurrentItem(block);
        w->tvDocument_NodeClick(block);
        auto* sql = w->findChild<QPlainTextEdit*>(QStringLiteral("txtBlockSQL"));
        ASSERT_TRUE(sql);
        shown << sql->toPlainText();
        w->setDocumentChanged(true);
        ASSERT_TRUE(w->Save());
        w->setDocumentChanged(false);
    }
    EXPECT_EQ(shown, QStringList({"select 1 union select 2", "select 1 union select 2"}));
}

TEST_F(EditorDocumentTest, RefreshKeepsTheEditsWhenTheSaveFails)
{
    // Two ways a save fails while the document still reads: the Change right withdrawn, and
    // an include the catalogue refuses as a relation.
    for (const bool withoutChangeRight : {true, false}) {
        SCOPED_TRACE(withoutChangeRight ? "no Change right" : "refused relation");
        if (withoutChangeRight) {
            addUser(QStringLiteral("reader"));
            useCatalogue(std::shared_ptr<db::Connection>(connectAs(QStringLiteral("reader"))));
        }
        std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
        ASSERT_TRUE(w);
        xml::setAttribute(w->document()->documentElement(), "Server", "edited");
        if (!withoutChangeRight) {
            xml::Node inc = xml::appendElement(w->document()->documentElement(), "Include");
            xml::setAttribute(inc, "ID", "B0.I2");
            xml::setAttribute(inc, "Name", "Include:Gone");
            xml::setAttribute(inc, "DocID", "777");
        }
        w->setDocumentChanged(true);
        ui.boxes.clear();
        ui.answers = {vbYes};
        w->ReLoad();
        ASSERT_EQ(ui.boxes.size(), 2u);
        EXPECT_EQ(ui.boxes[0].text, "Save Changes ?");
        if (withoutChangeRight)
            EXPECT_EQ(ui.boxes[1].text, "Permission Denied : You could not change this document");
        EXPECT_EQ(xml::attribute(w->document()->documentElement(), "Server"), "edited");
        EXPECT_TRUE(w->documentChanged());
        EXPECT_EQ(storedText(12), reportText);
        w->setDocumentChanged(false);
        useCatalogue(std::shared_ptr<db::Connection>(connect(QStringLiteral("sa"), QStringLiteral("secret"))));
    }
}

TEST_F(EditorDocumentTest, FailingRelationsRewriteRollsTheWholeSaveBack)
{
    admin->execute(QStringLiteral("insert into tbOrraRelations values (12, 11)"));
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
    ASSERT_TRUE(w);
    const long before = storedCheckSum(12);
    // An include of a document that is not in the catalogue: the relation row is refused.
    xml::Node inc = xml::appendElement(w->document()->documentElement(), "Include");
    xml::setAttribute(inc, "ID", "B0.I2");
    xml::setAttribute(inc, "Name", "Include:Gone");
    xml::setAttribute(inc, "DocID", "777");
    w->setDocumentChanged(true);
    EXPECT_FALSE(w->Save());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(w->documentChanged());
    EXPECT_EQ(storedText(12), reportText);
    EXPECT_EQ(storedCheckSum(12), before);
    EXPECT_EQ(relations(12), QStringList({"12>11"}));
    EXPECT_EQ(admin->transactionLevel(), 0);

    // An Include without a DocID is refused before any relation row is written.
    ui.boxes.clear();
    xml::setAttribute(inc, "DocID", "10); delete tbOrraSQL --");
    EXPECT_FALSE(w->Save());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.contains("B0.I2"));
    EXPECT_EQ(storedText(12), reportText);
    EXPECT_EQ(relations(12), QStringList({"12>11"}));
    EXPECT_EQ(long(scalar(*admin, "select count(*) from tbOrraSQL").toLongLong()), 3);
}

TEST_F(EditorDocumentTest, SaveOfADeletedRowReportsFailure)
{
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(10));
    ASSERT_TRUE(w);
    admin->execute(QStringLiteral("delete from tbOrraRelations"));
    admin->execute(QStringLiteral("delete from tbOrraSQL where ID=10"));
    w->setDocumentChanged(true);
    // The right check finds no row to judge: the failure is reported, nothing is written.
    EXPECT_FALSE(w->Save());
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, "Permission Denied : You could not change this document");
    EXPECT_TRUE(w->documentChanged());
    EXPECT_EQ(long(scalar(*admin, "select count(*) from tbOrraSQL where ID=10").toLongLong()), 0);
    EXPECT_EQ(w->ComputeDocumentCheckSum(), "0");
}

TEST_F(EditorDocumentTest, ReLoadAsksAndKeepsTheShownDocumentWhenTheTextNoLongerParses)
{
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
    ASSERT_TRUE(w);
    xml::setAttribute(w->document()->documentElement(), "Server", "edited");
    w->setDocumentChanged(true);

    // Cancel: nothing changes.
    ui.answers = {vbCancel};
    w->ReLoad();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Save Changes ?");
    EXPECT_EQ(ui.boxes[0].style, vbYesNoCancel);
    EXPECT_EQ(xml::attribute(w->document()->documentElement(), "Server"), "edited");

    // No: the edits are gone from the window, the flag stays.
    ui.answers = {vbNo};
    w->ReLoad();
    EXPECT_EQ(xml::attribute(w->document()->documentElement(), "Server"), "{FREE}");
    EXPECT_TRUE(w->documentChanged());
    EXPECT_EQ(storedText(12), reportText);

    // Yes: stored first, then read back.
    xml::setAttribute(w->document()->documentElement(), "Server", "saved");
    ui.boxes.clear();
    ui.answers = {vbYes};
    w->ReLoad();
    EXPECT_EQ(ui.texts(), QStringList({"Save Changes ?"}));
    EXPECT_FALSE(w->documentChanged());
    EXPECT_TRUE(storedText(12).contains("Server=\"saved\""));
    EXPECT_EQ(xml::attribute(w->document()->documentElement(), "Server"), "saved");
    EXPECT_EQ(storedCheckSum(12), independentCheckSum(12));

    // A stored text that no longer parses: the error, and the shown document stays.
    w->setDocumentChanged(false);
    ui.boxes.clear();
    admin->execute(QStringLiteral("update tbOrraSQL set SQLtxt='<Document' where ID=12"));
    const QString shown = w->document()->xml();
    w->ReLoad();
    EXPECT_EQ(ui.texts(), QStringList({"Can not parse XML"}));
    EXPECT_EQ(w->document()->xml(), shown);
    EXPECT_EQ(w->documentTree()->nodeCount(), 26);

    // A text that changed: the tree follows.
    admin->execute(QStringLiteral("update tbOrraSQL set SQLtxt='<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]>"
                                  "<Block ID=\"B0.0\" Name=\"Only\"><![CDATA[]]></Block></Document>' where ID=12"));
    w->ReLoad();
    EXPECT_EQ(treeLines(w->tvDocument()), QStringList({"B0|Document|Document|Document", "  B0.0|Block|Only|Block"}));
}

TEST_F(EditorDocumentTest, OlderRootWithoutServerIsShownAsFreeAndKeptAsStored)
{
    addDocument(40, 1, QStringLiteral("Old"),
        QStringLiteral("<Document ID=\"B0\" Name=\"Old one\"><![CDATA[old]]></Document>"));
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(40));
    ASSERT_TRUE(w);
    const xml::Node root = w->document()->documentElement();
    // Showing the root writes nothing into it.
    EXPECT_EQ(xml::attribute(root, "Name"), "Old one");
    EXPECT_FALSE(xml::hasAttribute(root, "Server"));
    EXPECT_EQ(w->findChild<QComboBox*>("cbdocServer")->currentText(), "{FREE}");
    EXPECT_FALSE(w->documentChanged());
    w->setDocumentChanged(true);
    ASSERT_TRUE(w->Save());
    EXPECT_EQ(storedText(40), "<Document ID=\"B0\" Name=\"Old one\"><![CDATA[old]]></Document>\r\n");
}

TEST(EditorDocumentModel, StripRunTimeExpansionsRemovesTheIncludePrefixOnce)
{
    xml::Document d;
    ASSERT_TRUE(d.loadXML(
        "<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"1\"><Inheritance PID=\"B0.I0|B0.P_X\" RID=\"B0.P_Y\"/>"
        "<Inheritance PID=\"B0.P_Z\" RID=\"$1\"/><Document ID=\"B0.I0|B0\"/>"
        "<Inheritance PID=\"x B0.I0|B0.I0|B0.P_W\" RID=\"B0.I0|B0.P_Y\"/></Include>"
        "<Block ID=\"B0.0\"><Include ID=\"B0.0.I0\" DocID=\"2\"><Document "
        "ID=\"B0.0.I0|B0\"/><Document/></Include></Block>"
        "</Document>"));
    morvane::StripRunTimeExpansions(d.documentElement());
    EXPECT_EQ(d.xml(),
        "<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"1\"><Inheritance PID=\"B0.P_X\" RID=\"B0.P_Y\"/>"
        "<Inheritance PID=\"B0.P_Z\" RID=\"$1\"/><Inheritance PID=\"x B0.I0|B0.P_W\" RID=\"B0.I0|B0.P_Y\"/>"
        "</Include><Block ID=\"B0.0\"><Include ID=\"B0.0.I0\" DocID=\"2\"/></Block></Document>\r\n");
    EXPECT_EQ(morvane::DoubleQuotes("a'b''c"), "a''b''''c");
}

TEST_F(EditorDocumentTest, ASaveThatAddsAnIncludeAsksTheIncludeRight)
{
    addDocument(13, 1, QStringLiteral("Regions"), QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"/>"));
    const long author = addUser(QStringLiteral("author"));
    allowDoc(12, author, rightEdit | rightChange, 0);
    allowDoc(13, author, rightEdit, rightInclude);
    useCatalogue(std::shared_ptr<db::Connection>(connectAs(QStringLiteral("author"))));
    std::unique_ptr<frmOrraDevelopment> w(openStandalone(12));
    ASSERT_TRUE(w);
    // The includes of Customers and Cities are the document's own already; Regions would be new.
    xml::Node inc = xml::appendElement(w->document()->documentElement(), "Include");
    xml::setAttribute(inc, "ID", "B0.I2");
    xml::setAttribute(inc, "Name", "Include:Regions");
    xml::setAttribute(inc, "DocID", "13");
    w->setDocumentChanged(true);
    EXPECT_FALSE(w->Save());
    EXPECT_EQ(ui.texts(), QStringList({"Permission Denied : You could not include this document"}));
    EXPECT_TRUE(w->documentChanged());
    EXPECT_EQ(storedText(12), reportText);

    ui.boxes.clear();
    xml::removeChild(w->document()->documentElement(), inc);
    EXPECT_TRUE(w->Save());
    EXPECT_EQ(ui.texts(), QStringList());
}

}   // namespace
}   // namespace orra::test
