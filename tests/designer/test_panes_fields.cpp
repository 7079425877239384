// The property panes: the fixed lists, every field shown from the element, showing that never
// writes into the document, the write-back of every field and the type rule.

#include "PanesFixture.h"

#include "common/Connections.h"
#include "common/DataSources.h"

#include <QAccessible>
#include <QApplication>
#include <QPushButton>
#include <QTest>

namespace orra::test {
namespace {

using morvane::frmOrraDevelopment;

class PaneFieldsTest : public PanesTest {
protected:
    void SetUp() override
    {
        PanesTest::SetUp();
        w.reset(openStandalone(1));
        ASSERT_TRUE(w);
    }
    void TearDown() override
    {
        w.reset();
        PanesTest::TearDown();
    }
    std::unique_ptr<frmOrraDevelopment> w;
};

TEST_F(PaneFieldsTest, FixedListsHoldTheirEntriesInOrderWithNothingChosen)
{
    for (int pane = 0; pane < frmOrraDevelopment::PaneCount; ++pane) w->ShowFrame(pane);
    auto* type = field<QComboBox>(w.get(), "cbparamType");
    auto* selection = field<QComboBox>(w.get(), "cbparamSelectionType");
    auto* behaviour = field<QComboBox>(w.get(), "cbparamBehaviour");
    auto* server = field<QComboBox>(w.get(), "cbdocServer");
    auto* language = field<QComboBox>(w.get(), "cbScriptLang");
    EXPECT_EQ(items(type), QStringList({"text", "htext", "combo", "button", "date", "fact"}));
    EXPECT_EQ(items(selection), QStringList({"single", "multi"}));
    EXPECT_EQ(items(behaviour), QStringList({"dynamic", "static"}));
    EXPECT_EQ(items(server), QStringList({"{FREE}", "srv1", "srv2"}));
    EXPECT_EQ(items(language), QStringList({"VBScript", "JScript"}));
    // The drop-down lists take only their entries; the server list takes any text.
    EXPECT_FALSE(type->isEditable());
    EXPECT_FALSE(selection->isEditable());
    EXPECT_FALSE(behaviour->isEditable());
    EXPECT_FALSE(language->isEditable());
    EXPECT_TRUE(server->isEditable());
    EXPECT_EQ(frmOrraDevelopment::TypeIndex("fact"), 5);
    EXPECT_EQ(frmOrraDevelopment::TypeIndex("Text"), -1);
    EXPECT_EQ(frmOrraDevelopment::SelectionTypeIndex("multi"), 1);
    EXPECT_EQ(frmOrraDevelopment::BehaviourIndex("Static"), -1);
    EXPECT_EQ(frmOrraDevelopment::BehaviourIndex("static"), 1);
}

TEST_F(PaneFieldsTest, ServerListIsTheRegistryThatRegistrationWrites)
{
    // Registered as File > Register Server does it; a row left in the catalogue's own table is
    // no registered server.
    ASSERT_TRUE(SaveServerConnection("registered", "10.0.0.9", "sales", "", "", "tarvok", RegistryDatabase()));
    admin->execute("insert into tbOrraConnections (Server, IP, [Database], UserName, UserPwd) "
                   "values ('catalogueOnly', '', '', '', '')");
    std::unique_ptr<frmOrraDevelopment> other(openStandalone(2));
    ASSERT_TRUE(other);
    other->ShowFrame(frmOrraDevelopment::PaneDocument);
    const QStringList servers = items(field<QComboBox>(other.get(), "cbdocServer"));
    EXPECT_TRUE(servers.contains("registered")) << servers.join(',');
    EXPECT_FALSE(servers.contains("catalogueOnly")) << servers.join(',');
}

TEST_F(PaneFieldsTest, TypedServerIsWrittenWhenTheBoxIsLeft)
{
    w->show();
    QApplication::setActiveWindow(w.get());
    click(w.get(), "B0");
    auto* server = field<QComboBox>(w.get(), "cbdocServer");
    QLineEdit* box = server->lineEdit();
    ASSERT_TRUE(box);
    box->setFocus();
    ASSERT_TRUE(box->hasFocus());
    box->selectAll();
    QTest::keyClicks(server, "typed");
    EXPECT_EQ(xml::attribute(element(w.get(), "B0"), "Server"), "srv1") << "written only on leaving";
    QTest::keyClick(server, Qt::Key_Tab);
    EXPECT_FALSE(box->hasFocus());
    EXPECT_EQ(xml::attribute(element(w.get(), "B0"), "Server"), "typed");
    EXPECT_TRUE(w->documentChanged());
    EXPECT_TRUE(ui.boxes.empty());
    // Enter ends the typing as well.
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(server, "srv2");
    QTest::keyClick(server, Qt::Key_Return);
    EXPECT_EQ(xml::attribute(element(w.get(), "B0"), "Server"), "srv2");
    EXPECT_EQ(items(server), QStringList({"{FREE}", "srv1", "srv2"})) << "a typed name is no entry";
    // Leaving without a change writes nothing, also on a root of the older form.
    addDocument(6, 1, "Older", "<Document ID=\"B0\" Name=\"Older form\"><![CDATA[old]]></Document>");
    std::unique_ptr<frmOrraDevelopment> older(openStandalone(6));
    ASSERT_TRUE(older);
    older->show();
    QApplication::setActiveWindow(older.get());
    click(older.get(), "B0");
    QLineEdit* olderBox = field<QComboBox>(older.get(), "cbdocServer")->lineEdit();
    olderBox->setFocus();
    QTest::keyClick(field<QComboBox>(older.get(), "cbdocServer"), Qt::Key_Tab);
    EXPECT_FALSE(xml::hasAttribute(older->document()->documentElement(), "Server"));
    EXPECT_FALSE(older->documentChanged());
}

TEST_F(PaneFieldsTest, AnUnreadableRegistryLeavesTheListWithFreeAlone)
{
    admin->execute("drop table mat..tbOrraConnections");
    std::unique_ptr<frmOrraDevelopment> other(openStandalone(1));
    ASSERT_TRUE(other);
    click(other.get(), "B0");
    auto* server = field<QComboBox>(other.get(), "cbdocServer");
    EXPECT_EQ(items(server), QStringList({"{FREE}"}));
    EXPECT_EQ(server->currentText(), "srv1");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PaneFieldsTest, CaptionsOfEveryPaneAndField)
{
    for (int pane = 0; pane < frmOrraDevelopment::PaneCount; ++pane) w->ShowFrame(pane);
    const std::pair<const char*, const char*> labels[] = {{"lbCaption", "Caption"}, {"lbDefaultVal", "Default Value"},
        {"lbType", "Type"}, {"lbSource", "Source"}, {"lbReturnCol", "Return Column"}, {"lbPrompt", "Prompt"},
        {"lbSelectionType", "Selection Type"}, {"lbBehaviour", "Behaviour"}, {"lbdocDescription", "Description"},
        {"lbdocServer", "Server"}, {"lbScriptLang", "Language"}};
    for (const auto& [name, caption] : labels) {
        auto* l = field<QLabel>(w.get(), name);
        if (l) EXPECT_EQ(l->text(), QLatin1String(caption)) << name;
    }
    EXPECT_EQ(field<QPushButton>(w.get(), "cmdEditDefaultValue")->text(), "...");
    click(w.get(), "B0_ParamGroup");
    auto* list = field<QTreeWidget>(w.get(), "lvParameters");
    QStringList headers;
    for (int c = 0; c < list->columnCount(); ++c) headers << list->headerItem()->text(c);
    EXPECT_EQ(headers, QStringList({"Name", "Caption", "Type", "Default Value"}));
}

TEST_F(PaneFieldsTest, EveryLabelledFieldIsAnnouncedByItsLabel)
{
    for (int pane = 0; pane < frmOrraDevelopment::PaneCount; ++pane) w->ShowFrame(pane);
    click(w.get(), "B0.P_Cust");
    const std::pair<const char*, const char*> fields[] = {{"txtparamCaption", "Caption"},
        {"txtparamDefaultVal", "Default Value"}, {"cbparamType", "Type"}, {"txtparamSource", "Source"},
        {"txtparamReturnCol", "Return Column"}, {"txtparamPrompt", "Prompt"},
        {"cbparamSelectionType", "Selection Type"}, {"cbparamBehaviour", "Behaviour"},
        {"txtdocDescription", "Description"}, {"cbdocServer", "Server"}, {"cbScriptLang", "Language"}};
    for (const auto& [name, caption] : fields) {
        QWidget* f = field<QWidget>(w.get(), name);
        ASSERT_TRUE(f);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(f);
        ASSERT_TRUE(a) << name;
        QStringList labels;
        for (const auto& [other, relation] : a->relations(QAccessible::Label)) labels << other->text(QAccessible::Name);
        EXPECT_EQ(labels, QStringList{QLatin1String(caption)}) << name;
        // A drop-down list's value is what it shows; an editable one is its text box.
        auto* c = qobject_cast<QComboBox*>(f);
        if (c && c->isEditable()) a = QAccessible::queryAccessibleInterface(c->lineEdit());
        EXPECT_EQ(a->text(QAccessible::Name), QLatin1String(caption)) << name;
        if (c && !c->isEditable()) EXPECT_EQ(a->text(QAccessible::Value), c->currentText()) << name;
    }
}

TEST_F(PaneFieldsTest, DocumentPaneShowsDescriptionAndServer)
{
    click(w.get(), "B0");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneDocument);
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtdocDescription")->toPlainText(), "Sales report\nby city");
    EXPECT_EQ(field<QComboBox>(w.get(), "cbdocServer")->currentText(), "srv1");
    EXPECT_EQ(field<QComboBox>(w.get(), "cbdocServer")->currentIndex(), 1);
    EXPECT_FALSE(w->documentChanged());
}

TEST_F(PaneFieldsTest, ServerOutsideTheRegistryAndOlderRootShownWithoutChange)
{
    addDocument(5, 1, "Unknown server", "<Document ID=\"B0\" Server=\"gone\"><![CDATA[]]></Document>");
    addDocument(6, 1, "Older", "<Document ID=\"B0\" Name=\"Older form\"><![CDATA[old]]></Document>");
    std::unique_ptr<frmOrraDevelopment> unknown(openStandalone(5));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(field<QComboBox>(unknown.get(), "cbdocServer")->currentText(), "gone");
    std::unique_ptr<frmOrraDevelopment> older(openStandalone(6));
    ASSERT_TRUE(older);
    EXPECT_EQ(field<QComboBox>(older.get(), "cbdocServer")->currentText(), "{FREE}");
    // Showing writes nothing: the root keeps its Name and gets no Server.
    EXPECT_EQ(xml::outerXml(older->document()->documentElement()),
        "<Document ID=\"B0\" Name=\"Older form\"><![CDATA[old]]></Document>");
    EXPECT_FALSE(older->documentChanged());
}

TEST_F(PaneFieldsTest, ParameterPaneShowsEveryAttribute)
{
    click(w.get(), "B0.P_Cust");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneParameter);
    EXPECT_EQ(xml::attribute(w->CurrentParameter(), "ID"), "B0.P_Cust");
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamCaption")->text(), "Customer");
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtparamDefaultVal")->toPlainText(),
        "select top 1 Code from Customers where City='<$City%>'");
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtparamSource")->toPlainText(),
        "select Code, Name from Customers where City='<$City%>'");
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamReturnCol")->text(), "Code");
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamPrompt")->text(), "Pick a customer");
    EXPECT_EQ(field<QComboBox>(w.get(), "cbparamType")->currentText(), "button");
    EXPECT_EQ(field<QComboBox>(w.get(), "cbparamSelectionType")->currentText(), "multi");
    EXPECT_EQ(field<QComboBox>(w.get(), "cbparamBehaviour")->currentText(), "static");
    // "button" offers every field.
    for (const char* name : {"txtparamPrompt", "lbPrompt", "txtparamReturnCol", "lbReturnCol", "txtparamSource",
             "lbSource", "cbparamSelectionType", "lbSelectionType"})
        EXPECT_TRUE(field<QWidget>(w.get(), name)->isEnabled()) << name;

    click(w.get(), "B0.P_City");
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamCaption")->text(), "City name");
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtparamDefaultVal")->toPlainText(), "Ankara");
    EXPECT_EQ(field<QComboBox>(w.get(), "cbparamType")->currentIndex(), 2);
    EXPECT_EQ(field<QComboBox>(w.get(), "cbparamSelectionType")->currentIndex(), -1);
    EXPECT_EQ(field<QComboBox>(w.get(), "cbparamBehaviour")->currentText(), "dynamic");
    // "combo" offers the Source only.
    EXPECT_TRUE(field<QWidget>(w.get(), "txtparamSource")->isEnabled());
    for (const char* name :
        {"txtparamPrompt", "lbPrompt", "txtparamReturnCol", "lbReturnCol", "cbparamSelectionType", "lbSelectionType"})
        EXPECT_FALSE(field<QWidget>(w.get(), name)->isEnabled()) << name;
    EXPECT_FALSE(w->documentChanged());
}

TEST_F(PaneFieldsTest, ParameterWithMissingAttributesShowsWithoutAnyWrite)
{
    const QString before = xmlOf(w.get());
    click(w.get(), "B0.P_Old");
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamCaption")->text(), "Older");
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtparamDefaultVal")->toPlainText(), "");
    // "Text" is no entry: no type is chosen; no Behaviour shows as "dynamic".
    EXPECT_EQ(field<QComboBox>(w.get(), "cbparamType")->currentIndex(), -1);
    EXPECT_EQ(field<QComboBox>(w.get(), "cbparamBehaviour")->currentText(), "dynamic");
    EXPECT_EQ(xml::outerXml(element(w.get(), "B0.P_Old")),
        "<Parameter ID=\"B0.P_Old\" Name=\"Old\" Caption=\"Older\" Type=\"Text\"/>");
    EXPECT_EQ(xmlOf(w.get()), before);
    EXPECT_FALSE(w->documentChanged());
}

TEST_F(PaneFieldsTest, ShowingAnyNodeNeverChangesTheDocument)
{
    const QString before = xmlOf(w.get());
    w->documentTree()->buildAllNodes();
    QStringList keys;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* n) {
        keys << morvane::DocumentTree::key(n);
        for (int i = 0; i < n->childCount(); ++i) walk(n->child(i));
    };
    walk(w->documentTree()->topLevelItem(0));
    EXPECT_GE(keys.size(), 18);
    for (const QString& key : keys) {
        click(w.get(), key);
        EXPECT_EQ(xmlOf(w.get()), before) << key;
        EXPECT_FALSE(w->documentChanged()) << key;
    }
    // Also with edits pending: showing keeps the flag as it was.
    w->setDocumentChanged(true);
    click(w.get(), "B0.P_Old");
    EXPECT_TRUE(w->documentChanged());
}

TEST_F(PaneFieldsTest, TextPanesShowTheirElements)
{
    click(w.get(), "B0.0");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneBlock);
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtBlockSQL")->toPlainText(),
        "select * into #Report from Orders\nwhere City='<$City%>'");
    click(w.get(), "B0.0.S0");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneStation);
    EXPECT_EQ(xml::attribute(w->CurrentStation(), "ID"), "B0.0.S0");
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtStationSQL")->toPlainText(), "select 2");
    click(w.get(), "B0.0.X0");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneScript);
    EXPECT_EQ(xml::attribute(w->CurrentScript(), "ID"), "B0.0.X0");
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtScriptSource")->toPlainText(),
        "If Item(\"B0.P_City\") = \"\" Then RunFrom \"B0.0\"");
    EXPECT_EQ(field<QComboBox>(w.get(), "cbScriptLang")->currentText(), "JScript");
    // The included forms show the same, read-only.
    click(w.get(), "B0.I0|B0.X0");
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtScriptSource")->toPlainText(), "x = 1");
    EXPECT_TRUE(field<QPlainTextEdit>(w.get(), "txtScriptSource")->isReadOnly());
    EXPECT_EQ(field<QComboBox>(w.get(), "cbScriptLang")->currentText(), "VBScript");
    click(w.get(), "B0.I0|B0.P_Region");
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamCaption")->text(), "Region");
    EXPECT_TRUE(field<QLineEdit>(w.get(), "txtparamCaption")->isReadOnly());
    EXPECT_FALSE(field<QComboBox>(w.get(), "cbparamType")->isEnabled());
    EXPECT_FALSE(field<QComboBox>(w.get(), "cbparamSelectionType")->isEnabled());
    EXPECT_FALSE(w->documentChanged());
}

TEST_F(PaneFieldsTest, ParameterGroupListsItsParametersWithStaticOnesInOrange)
{
    click(w.get(), "B0_ParamGroup");
    EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneParameterGroup);
    auto* list = field<QTreeWidget>(w.get(), "lvParameters");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    const QStringList expected[] = {{"City", "City name", "combo", "Ankara"},
        {"Cust", "Customer", "button", "select top 1 Code from Customers where City='<$City%>'"},
        {"Old", "Older", "Text", ""}};
    for (int r = 0; r < 3; ++r) {
        QTreeWidgetItem* item = list->topLevelItem(r);
        QStringList row;
        for (int c = 0; c < 4; ++c) row << item->text(c);
        EXPECT_EQ(row, expected[r]) << r;
        const QColor colour = r == 1 ? QColor(200, 125, 0) : QColor(0, 0, 0);
        for (int c = 0; c < 4; ++c) EXPECT_EQ(item->foreground(c).color(), colour) << r << "," << c;
    }
    EXPECT_EQ(list->topLevelItem(1)->data(0, Qt::UserRole).toString(), "B0.P_Cust");
    // A block's own group lists only its parameter.
    click(w.get(), "B0.0_ParamGroup");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Year");
    // An included document's group lists the parameters it shows.
    click(w.get(), "B0.I0_ParamGroup");
    EXPECT_EQ(xml::attribute(w->CurrentElement(), "ID"), "B0.I0");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Region");
    EXPECT_EQ(list->topLevelItem(0)->text(3), "North");
    EXPECT_EQ(list->topLevelItem(0)->data(0, Qt::UserRole).toString(), "B0.I0|B0.P_Region");
}

TEST_F(PaneFieldsTest, EveryParameterFieldWritesBack)
{
    click(w.get(), "B0.P_Cust");
    const xml::Node p = element(w.get(), "B0.P_Cust");
    field<QLineEdit>(w.get(), "txtparamCaption")->setText("Client");
    EXPECT_EQ(xml::attribute(p, "Caption"), "Client");
    EXPECT_TRUE(w->documentChanged());
    w->setDocumentChanged(false);
    field<QLineEdit>(w.get(), "txtparamPrompt")->setText("Choose");
    EXPECT_EQ(xml::attribute(p, "Prompt"), "Choose");
    EXPECT_TRUE(w->documentChanged());
    field<QLineEdit>(w.get(), "txtparamReturnCol")->setText("Name");
    EXPECT_EQ(xml::attribute(p, "ReturnCol"), "Name");
    field<QPlainTextEdit>(w.get(), "txtparamDefaultVal")->setPlainText("C1");
    EXPECT_EQ(xml::attribute(p, "DefaultValue"), "C1");
    field<QPlainTextEdit>(w.get(), "txtparamSource")->setPlainText("select 1 a,\n2 b");
    // The text box keeps its lines with CR LF, as the stored texts have them.
    EXPECT_EQ(xml::attribute(p, "Source"), "select 1 a,\r\n2 b");
    w->setDocumentChanged(false);
    field<QComboBox>(w.get(), "cbparamSelectionType")->setCurrentIndex(0);
    EXPECT_EQ(xml::attribute(p, "SelectionType"), "single");
    EXPECT_TRUE(w->documentChanged());

    // combo after button: Prompt, Return Column and Selection Type off, their values kept.
    field<QComboBox>(w.get(), "cbparamType")->setCurrentIndex(2);
    EXPECT_EQ(xml::attribute(p, "Type"), "combo");
    EXPECT_FALSE(field<QWidget>(w.get(), "txtparamPrompt")->isEnabled());
    EXPECT_FALSE(field<QWidget>(w.get(), "cbparamSelectionType")->isEnabled());
    EXPECT_TRUE(field<QWidget>(w.get(), "txtparamSource")->isEnabled());
    EXPECT_EQ(xml::attribute(p, "Prompt"), "Choose");
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamPrompt")->text(), "Choose");
    EXPECT_EQ(xml::attribute(p, "SelectionType"), "single");

    // text: everything but Caption, Default Value and Behaviour emptied and off.
    field<QComboBox>(w.get(), "cbparamType")->setCurrentIndex(0);
    EXPECT_EQ(xml::outerXml(p),
        "<Parameter ID=\"B0.P_Cust\" Name=\"Cust\" Caption=\"Client\" DefaultValue=\"C1\" Type=\"text\" "
        "Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"static\"/>");
    for (const char* name : {"txtparamPrompt", "txtparamReturnCol", "txtparamSource", "cbparamSelectionType"})
        EXPECT_FALSE(field<QWidget>(w.get(), name)->isEnabled()) << name;
    for (const char* name : {"txtparamCaption", "txtparamDefaultVal", "cbparamBehaviour"})
        EXPECT_TRUE(field<QWidget>(w.get(), name)->isEnabled()) << name;

    // button again: all on, the emptied values stay empty.
    field<QComboBox>(w.get(), "cbparamType")->setCurrentIndex(3);
    EXPECT_TRUE(field<QWidget>(w.get(), "txtparamPrompt")->isEnabled());
    EXPECT_TRUE(field<QWidget>(w.get(), "cbparamSelectionType")->isEnabled());
    EXPECT_EQ(xml::attribute(p, "Type"), "button");
}

TEST_F(PaneFieldsTest, TextsAndLanguageWriteBack)
{
    click(w.get(), "B0.0");
    field<QPlainTextEdit>(w.get(), "txtBlockSQL")->setPlainText("select 10");
    EXPECT_EQ(xml::bodyText(element(w.get(), "B0.0")), "select 10");
    EXPECT_TRUE(w->documentChanged());
    click(w.get(), "B0.0.S0");
    field<QPlainTextEdit>(w.get(), "txtStationSQL")->setPlainText("select 20");
    EXPECT_EQ(xml::bodyText(element(w.get(), "B0.0.S0")), "select 20");
    click(w.get(), "B0.0.X0");
    field<QPlainTextEdit>(w.get(), "txtScriptSource")->setPlainText("y = 2");
    field<QComboBox>(w.get(), "cbScriptLang")->setCurrentIndex(0);
    EXPECT_EQ(xml::outerXml(element(w.get(), "B0.0.X0")),
        "<Script ID=\"B0.0.X0\" Name=\"Decide\" Language=\"VBScript\"><![CDATA[y = 2]]></Script>");
    click(w.get(), "B0");
    field<QPlainTextEdit>(w.get(), "txtdocDescription")->setPlainText("Sales");
    EXPECT_EQ(xml::bodyText(w->document()->documentElement()), "Sales");
    // A CDATA section stays the one body text.
    EXPECT_TRUE(xml::outerXml(element(w.get(), "B0.0"))
                    .startsWith("<Block ID=\"B0.0\" Name=\"Prepare\"><![CDATA[select 10]]>"));
}

TEST_F(PaneFieldsTest, LockedFieldsWriteButDoNotMarkTheDocument)
{
    click(w.get(), "B0.I0|B0.P_Region");
    auto* caption = field<QLineEdit>(w.get(), "txtparamCaption");
    ASSERT_TRUE(caption->isReadOnly());
    caption->setText("Area");
    EXPECT_EQ(xml::attribute(element(w.get(), "B0.I0|B0.P_Region"), "Caption"), "Area");
    EXPECT_FALSE(w->documentChanged());
}

TEST_F(PaneFieldsTest, SwitchingNodesKeepsUnsavedFieldEdits)
{
    lockDocument(1);
    click(w.get(), "B0.P_City");
    field<QLineEdit>(w.get(), "txtparamCaption")->setText("Town");
    click(w.get(), "B0.0");
    field<QPlainTextEdit>(w.get(), "txtBlockSQL")->setPlainText("select 'edited'");
    click(w.get(), "B0.0.X0");
    field<QComboBox>(w.get(), "cbScriptLang")->setCurrentIndex(0);
    click(w.get(), "B0.P_Cust");
    click(w.get(), "B0.P_City");
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamCaption")->text(), "Town");
    click(w.get(), "B0.0");
    EXPECT_EQ(field<QPlainTextEdit>(w.get(), "txtBlockSQL")->toPlainText(), "select 'edited'");
    click(w.get(), "B0.0.X0");
    EXPECT_EQ(field<QComboBox>(w.get(), "cbScriptLang")->currentText(), "VBScript");
    EXPECT_TRUE(w->documentChanged());
    ASSERT_TRUE(w->Save());
    const QString stored = storedText(1);
    EXPECT_TRUE(stored.contains("Caption=\"Town\"")) << stored;
    EXPECT_TRUE(stored.contains("<![CDATA[select 'edited']]>")) << stored;
    EXPECT_TRUE(stored.contains("Name=\"Decide\" Language=\"VBScript\"")) << stored;
    EXPECT_EQ(storedCheckSum(1), independentCheckSum(1));
}

TEST_F(PaneFieldsTest, ApplyingSettingsWritesNoSingleLineField)
{
    click(w.get(), "B0.P_City");
    w->ApplySettings();
    EXPECT_EQ(field<QLineEdit>(w.get(), "txtparamCaption")->text(), "City name");
    EXPECT_FALSE(w->documentChanged());
    EXPECT_EQ(xml::attribute(w->CurrentParameter(), "ID"), "B0.P_City");
}

}   // namespace
}   // namespace orra::test
