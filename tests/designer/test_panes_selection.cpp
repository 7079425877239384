// Node selection: the "ID" panel, the pane and its editability, the current element, and the
// command state of every toolbar button and menu item for every node kind, in and out of
// debug mode.

#include "PanesFixture.h"

#include "designer/editor/MainWindowLink.h"

namespace orra::test {
namespace {

using morvane::frmOrraDevelopment;

const char* const kButtons[] = {"Save", "Refresh", "Block", "Station", "Parameter", "Script", "Delete", "Find",
    "AddRepository", "Copy", "Paste", "MoveUp", "MoveDown", "CommentBlock", "UnCommentBlock", "Outdent", "Indent",
    "JumpTo"};
const char* const kMenus[] = {"mnuDocAddRepository", "mnuDocCopy", "mnuDocDelete", "mnuDocFind", "mnuDocNewBlock",
    "mnuDocNewParameter", "mnuDocNewScript", "mnuDocNewStation", "mnuDocOpenInclude", "mnuDocPaste", "mnuDocReplace",
    "mnuDebugJump", "mnuDocComment", "mnuDocUnComment", "mnuDocOutdent", "mnuDocIndent"};

// In debug mode the document's structure is locked (and its texts): these are off whatever the
// kind offers.
const QStringList kLockedInDebug = {"Refresh", "Block", "Station", "Parameter", "Script", "Delete", "Paste", "MoveUp",
    "MoveDown", "CommentBlock", "UnCommentBlock", "Outdent", "Indent", "mnuDocNewBlock", "mnuDocNewParameter",
    "mnuDocNewScript", "mnuDocNewStation", "mnuDocPaste", "mnuDocDelete", "mnuDocComment", "mnuDocUnComment",
    "mnuDocOutdent", "mnuDocIndent"};

// What each kind offers: the enabled buttons and menu items; those marked with a "*" only in
// debug mode. Everything not named is disabled.
struct Expected {
    const char* key;   // a node of that kind in the report
    const char* tag;
    int pane;
    const char* currentElement;   // ID of the element that becomes current
    QStringList buttons;
    QStringList menus;
};

const QStringList kFindOnly = {"Save", "Refresh", "Find"};

std::vector<Expected> expectations()
{
    const QStringList all = {"Save", "Refresh", "Block", "Station", "Parameter", "Script", "Delete", "Find",
        "AddRepository", "Copy", "Paste", "MoveUp", "MoveDown", "CommentBlock", "UnCommentBlock", "Outdent", "Indent"};
    const QStringList allMenus = {"mnuDocAddRepository", "mnuDocCopy", "mnuDocDelete", "mnuDocFind", "mnuDocNewBlock",
        "mnuDocNewParameter", "mnuDocNewScript", "mnuDocNewStation", "mnuDocPaste", "mnuDocReplace", "mnuDocComment",
        "mnuDocUnComment", "mnuDocOutdent", "mnuDocIndent"};
    QStringList parameterButtons = all;
    for (const char* t : {"CommentBlock", "UnCommentBlock", "Outdent", "Indent"}) parameterButtons.removeAll(t);
    QStringList parameterMenus = allMenus;
    for (const char* t : {"mnuDocComment", "mnuDocUnComment", "mnuDocOutdent", "mnuDocIndent"})
        parameterMenus.removeAll(t);
    using F = frmOrraDevelopment;
    return {
        {"B0", "Document", F::PaneDocument, "B0",
            {"Save", "Refresh", "Find", "Block", "Station", "Parameter", "Script", "Paste"},
            {"mnuDocFind", "mnuDocNewBlock", "mnuDocNewParameter", "mnuDocNewScript", "mnuDocNewStation",
                "mnuDocPaste"}},
        {"B0.0", "Block", F::PaneBlock, "B0.0", all + QStringList{"*JumpTo"}, allMenus + QStringList{"*mnuDebugJump"}},
        {"B0_ParamGroup", "ParameterGroup", F::PaneParameterGroup, "B0", {"Save", "Refresh", "Find", "Parameter"},
            {"mnuDocFind", "mnuDocNewParameter"}},
        {"B0.I0_ParamGroup", "IParameterGroup", F::PaneParameterGroup, "B0.I0", kFindOnly, {"mnuDocFind"}},
        {"B0.P_City", "Parameter", F::PaneParameter, "B0", parameterButtons, parameterMenus},
        {"B0.0.S0", "Station", F::PaneStation, "B0.0", all, allMenus},
        {"B0.0.X0", "Script", F::PaneScript, "B0.0", all + QStringList{"*JumpTo"},
            allMenus + QStringList{"*mnuDebugJump"}},
        {"B0.I0|B0", "IDocument", F::PaneDocument, "B0.I0|B0", kFindOnly, {"mnuDocFind"}},
        {"B0.I0|B0.0", "IBlock", F::PaneBlock, "B0.I0|B0.0", kFindOnly + QStringList{"*JumpTo"},
            {"mnuDocFind", "*mnuDebugJump"}},
        {"B0.I0|B0.P_Region", "IParameter", F::PaneParameter, "B0.I0", kFindOnly, {"mnuDocFind"}},
        {"B0.I0|B0.S0", "IStation", F::PaneStation, "B0.I0", kFindOnly, {"mnuDocFind"}},
        {"B0.I0|B0.X0", "IScript", F::PaneScript, "B0.I0", kFindOnly + QStringList{"*JumpTo"},
            {"mnuDocFind", "*mnuDebugJump"}},
        {"B0.I0", "Include", F::PaneInheritance, "B0.I0",
            {"Save", "Refresh", "Find", "Delete", "Copy", "MoveUp", "MoveDown", "*JumpTo"},
            {"mnuDocCopy", "mnuDocDelete", "mnuDocFind", "mnuDocOpenInclude", "*mnuDebugJump"}},
        {"B0.I0|B0.I0", "IInclude", F::PaneInheritance, "B0.I0|B0.I0", kFindOnly + QStringList{"*JumpTo"},
            {"mnuDocFind", "mnuDocOpenInclude", "*mnuDebugJump"}},
    };
}

bool editable(frmOrraDevelopment* w, int pane)
{
    const char* probe = nullptr;
    switch (pane) {
    case frmOrraDevelopment::PaneParameter:
        probe = "txtparamCaption";
        break;
    case frmOrraDevelopment::PaneBlock:
        probe = "txtBlockSQL";
        break;
    case frmOrraDevelopment::PaneDocument:
        probe = "txtdocDescription";
        break;
    case frmOrraDevelopment::PaneStation:
        probe = "txtStationSQL";
        break;
    case frmOrraDevelopment::PaneScript:
        probe = "txtScriptSource";
        break;
    case frmOrraDevelopment::PaneInheritance:
        return w->findChild<QWidget*>("grdInheritance")->isEnabled();
    default:
        return true;
    }
    QWidget* f = w->findChild<QWidget*>(QLatin1String(probe));
    if (auto* e = qobject_cast<QPlainTextEdit*>(f)) return !e->isReadOnly();
    if (auto* e = qobject_cast<QLineEdit*>(f)) return !e->isReadOnly();
    return false;
}

class NodeSelectionTest : public PanesTest {
protected:
    void SetUp() override
    {
        PanesTest::SetUp();
        w = openInMain(1);
        ASSERT_TRUE(w);
        // An included document's root shows as IDocument where a tree gives it a node.
        w->documentTree()->insertNode({QString(), "B0.I0|B0", "Regions", "IInclude", QString(), "IDocument"}, "B0.I0",
            morvane::DocumentTree::Child);
    }
    void checkCommands(const Expected& e, bool debug)
    {
        const QString where = QStringLiteral("%1 (%2)").arg(e.tag, debug ? "debug" : "design");
        for (const char* b : kButtons) {
            const bool expected = (e.buttons.contains(QLatin1String(b))
                                      || (debug && e.buttons.contains(QLatin1Char('*') + QLatin1String(b))))
                && !(debug && kLockedInDebug.contains(QLatin1String(b)));
            EXPECT_EQ(main->toolbarButton(QLatin1String(b))->isEnabled(), expected) << where << " button " << b;
        }
        for (const char* m : kMenus) {
            const bool expected =
                (e.menus.contains(QLatin1String(m)) || (debug && e.menus.contains(QLatin1Char('*') + QLatin1String(m))))
                && !(debug && kLockedInDebug.contains(QLatin1String(m)));
            EXPECT_EQ(main->menuItem(QLatin1String(m))->isEnabled(), expected) << where << " menu " << m;
        }
    }
    frmOrraDevelopment* w = nullptr;
};

TEST_F(NodeSelectionTest, EveryKindSetsPanelPaneCurrentElementAndCommands)
{
    for (bool debug : {false, true}) {
        w->setDebugModeFlag(debug);
        // The selection as it stands takes the mode (the debugger does this when it starts).
        w->tvDocument_NodeClick(w->tvDocument()->currentItem());
        for (const Expected& e : expectations()) {
            QTreeWidgetItem* node = w->documentTree()->node(QLatin1String(e.key));
            ASSERT_TRUE(node) << e.key;
            ASSERT_EQ(morvane::DocumentTree::tag(node), QLatin1String(e.tag)) << e.key;
            // A click goes through the tree's selection to the active window by name.
            w->documentTree()->setCurrentItem(node);
            EXPECT_EQ(main->panelText("ID"), QStringLiteral("ID:") + QLatin1String(e.key));
            EXPECT_EQ(w->visibleFrame(), e.pane) << e.tag;
            // (In debug mode the text editors are read-only whatever the kind.)
            if (!debug && e.pane != frmOrraDevelopment::PaneParameterGroup)
                EXPECT_EQ(editable(w, e.pane), !QByteArray(e.tag).startsWith('I') || QByteArray(e.tag) == "Include")
                    << e.tag;
            EXPECT_EQ(xml::attribute(w->CurrentElement(), "ID"), QLatin1String(e.currentElement)) << e.tag;
            checkCommands(e, debug);
            // Away to the root and back: the state is the node's, not what was before.
            w->documentTree()->setCurrentItem(w->documentTree()->node("B0"));
        }
    }
}

TEST_F(NodeSelectionTest, CurrentElementsOfTheSelection)
{
    click(w, "B0.P_Cust");
    EXPECT_EQ(xml::attribute(w->CurrentParameter(), "ID"), "B0.P_Cust");
    EXPECT_FALSE(w->CurrentStation());
    click(w, "B0.0.S0");
    EXPECT_FALSE(w->CurrentParameter());
    EXPECT_EQ(xml::attribute(w->CurrentStation(), "ID"), "B0.0.S0");
    click(w, "B0.0.X0");
    EXPECT_FALSE(w->CurrentStation());
    EXPECT_EQ(xml::attribute(w->CurrentScript(), "ID"), "B0.0.X0");
    click(w, "B0.0.P_Year");
    EXPECT_EQ(xml::attribute(w->CurrentElement(), "ID"), "B0.0");
    EXPECT_EQ(xml::attribute(w->CurrentParameter(), "ID"), "B0.0.P_Year");
    EXPECT_FALSE(w->CurrentScript());
    click(w, "B0.0");
    EXPECT_FALSE(w->CurrentParameter());
    EXPECT_FALSE(w->CurrentStation());
    EXPECT_FALSE(w->CurrentScript());
}

TEST_F(NodeSelectionTest, UnknownKindChangesOnlyTheIdPanel)
{
    click(w, "B0.0.S0");
    w->documentTree()->insertNode(
        {QString(), "odd", "Odd", "Block", QString(), "block"}, "B0.0", morvane::DocumentTree::Child);
    w->documentTree()->insertNode(
        {QString(), "empty", "Empty", "Block", QString(), QString()}, "B0.0", morvane::DocumentTree::Child);
    for (const char* key : {"odd", "empty"}) {
        click(w, QLatin1String(key));
        EXPECT_EQ(main->panelText("ID"), QStringLiteral("ID:") + QLatin1String(key));
        EXPECT_EQ(w->visibleFrame(), frmOrraDevelopment::PaneStation);
        EXPECT_EQ(xml::attribute(w->CurrentElement(), "ID"), "B0.0");
        EXPECT_EQ(xml::attribute(w->CurrentStation(), "ID"), "B0.0.S0");
        EXPECT_TRUE(main->toolbarButton("CommentBlock")->isEnabled());
        EXPECT_FALSE(main->toolbarButton("JumpTo")->isEnabled());
    }
}

TEST_F(NodeSelectionTest, FindParameterGroupNodeGivesTheContainer)
{
    morvane::DocumentTree* tree = w->documentTree();
    EXPECT_EQ(w->FindParameterGroupNode(tree->node("B0")), nullptr);
    EXPECT_EQ(w->FindParameterGroupNode(tree->node("B0.P_City")), tree->node("B0"));
    EXPECT_EQ(w->FindParameterGroupNode(tree->node("B0.0.P_Year")), tree->node("B0.0"));
    EXPECT_EQ(w->FindParameterGroupNode(tree->node("B0.0_ParamGroup")), tree->node("B0.0"));
    EXPECT_EQ(w->FindParameterGroupNode(tree->node("B0.0.S0")), tree->node("B0.0"));
    EXPECT_EQ(w->FindParameterGroupNode(tree->node("B0.0")), tree->node("B0"));
    EXPECT_EQ(w->FindParameterGroupNode(tree->node("B0.I0|B0.P_Region")), tree->node("B0.I0"));
}

TEST_F(NodeSelectionTest, RedrawingOfTheMainWindowComesBack)
{
    click(w, "B0.0");
    EXPECT_TRUE(main->updatesEnabled());
    click(w, "B0.I0");
    EXPECT_TRUE(main->updatesEnabled());
}

TEST_F(NodeSelectionTest, ActivationReappliesTheSelectedNodesState)
{
    click(w, "B0.0.S0");
    addDocument(7, 1, "Other", "<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[]]></Document>");
    frmOrraDevelopment* other = openInMain(7);
    ASSERT_TRUE(other);
    EXPECT_EQ(main->panelText("ID"), "ID:B0");
    EXPECT_FALSE(main->toolbarButton("CommentBlock")->isEnabled());
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(w->parentWidget()));
    EXPECT_EQ(main->panelText("ID"), "ID:B0.0.S0");
    EXPECT_TRUE(main->toolbarButton("CommentBlock")->isEnabled());
    EXPECT_TRUE(main->menuItem("mnuDocComment")->isEnabled());
}

}   // namespace
}   // namespace orra::test
