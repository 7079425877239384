// Node selection: the one operation that brings everything that depends on the selected node
// into line with its kind: the "ID" panel, the pane shown and its editability, the main
// window's document commands (toolbar and menus), the current element and the pane's
// contents.

#include "common/QueryDocument.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/MainWindowLink.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "designer/shell/frmMDIMain.h"

#include <QTreeWidgetItem>

namespace morvane {

namespace xml = orra::xml;

namespace {

// Where a node's current element comes from.
enum class Context { Node, Parent, Container };

// One row of the command table. The toolbar string gives, in the order of
// frmMDIMain::documentCommandKeys() and then "JumpTo", each button's state; the menu string
// the sixteen items of kMenuItems. 'E' enabled, '-' disabled, 'D' enabled in debug mode only.
struct KindRule {
    const char* tag;
    Context context;
    int pane;
    bool editable;
    bool base;   // the value EnableDocumentCommands gets
    const char* toolbar;
    const char* menus;
};

constexpr int kToolbarFlags = 18;
constexpr int kMenuFlags = 16;

const char* const kMenuItems[kMenuFlags] = {"mnuDocAddRepository", "mnuDocCopy", "mnuDocDelete", "mnuDocFind",
    "mnuDocNewBlock", "mnuDocNewParameter", "mnuDocNewScript", "mnuDocNewStation", "mnuDocOpenInclude", "mnuDocPaste",
    "mnuDocReplace", "mnuDebugJump", "mnuDocComment", "mnuDocUnComment", "mnuDocOutdent", "mnuDocIndent"};

using W = frmOrraDevelopment;
//                                                          Save,Refresh,Block,Station,Parameter,Script,
//                                                          Delete,Find,AddRepository,Copy,Paste,MoveUp,
//                                                          MoveDown,Comment,UnComment,Outdent,Indent,JumpTo
const KindRule kRules[] = {
    {"Document", Context::Node, W::PaneDocument, true, true, "EEEEEE-E--E-------", "---EEEEE-E------"},
    {"Block", Context::Node, W::PaneBlock, true, true, "EEEEEEEEEEEEEEEEED", "EEEEEEEE-EEDEEEE"},
    {"ParameterGroup", Context::Parent, W::PaneParameterGroup, true, false, "EE--E--E----------", "---E-E----------"},
    {"IParameterGroup", Context::Parent, W::PaneParameterGroup, false, false, "EE-----E----------", "---E------------"},
    {"Parameter", Context::Container, W::PaneParameter, true, true, "EEEEEEEEEEEEE-----", "EEEEEEEE-EE-----"},
    {"Station", Context::Container, W::PaneStation, true, true, "EEEEEEEEEEEEEEEEE-", "EEEEEEEE-EE-EEEE"},
    {"Script", Context::Container, W::PaneScript, true, true, "EEEEEEEEEEEEEEEEED", "EEEEEEEE-EEDEEEE"},
    {"IDocument", Context::Node, W::PaneDocument, false, false, "EE-----E----------", "---E------------"},
    {"IBlock", Context::Node, W::PaneBlock, false, false, "EE-----E---------D", "---E-------D----"},
    {"IParameter", Context::Container, W::PaneParameter, false, false, "EE-----E----------", "---E------------"},
    {"IStation", Context::Container, W::PaneStation, false, false, "EE-----E----------", "---E------------"},
    {"IScript", Context::Container, W::PaneScript, false, false, "EE-----E---------D", "---E-------D----"},
    {"Include", Context::Node, W::PaneInheritance, true, false, "EE----EE-E-EE----D", "-EEE----E--D----"},
    {"IInclude", Context::Node, W::PaneInheritance, false, false, "EE-----E---------D", "---E----E--D----"},
};

const KindRule* ruleFor(const QString& tag)
{
    for (const KindRule& r : kRules)
        if (tag == QLatin1String(r.tag)) return &r;
    return nullptr;
}

bool flagValue(char flag, bool debugMode) { return flag == 'E' || (flag == 'D' && debugMode); }

bool isParameterLevel(const QString& tag)
{
    return tag == QLatin1String("Parameter") || tag == QLatin1String("IParameter")
        || tag == QLatin1String("ParameterGroup") || tag == QLatin1String("IParameterGroup");
}

// The main window's redrawing stays off while the commands change, and comes back on whatever
// happens in between.
class RedrawLock {
public:
    RedrawLock() : m_main(frmMDIMain::instance())
    {
        if (m_main) {
            m_wasEnabled = m_main->updatesEnabled();
            m_main->setUpdatesEnabled(false);
        }
    }
    ~RedrawLock() { unlock(); }
    void unlock()
    {
        if (m_main && m_wasEnabled) m_main->setUpdatesEnabled(true);
        m_main = nullptr;
    }

private:
    frmMDIMain* m_main;
    bool m_wasEnabled = false;
};

}   // namespace

QTreeWidgetItem* frmOrraDevelopment::FindParameterGroupNode(QTreeWidgetItem* node) const
{
    QTreeWidgetItem* p = node ? node->parent() : nullptr;
    while (p && isParameterLevel(DocumentTree::tag(p))) p = p->parent();
    return p;
}

void frmOrraDevelopment::tvDocument_NodeClick(QTreeWidgetItem* node)
{
    if (!node || !m_document) return;
    const KindRule* rule = ruleFor(DocumentTree::tag(node));
    QTreeWidgetItem* context = nullptr;
    {
        RedrawLock lock;
        MainWindowLink main;
        main.SetPanelText(QStringLiteral("ID"), QStringLiteral("ID:") + DocumentTree::key(node));
        if (!rule) return;
        switch (rule->context) {
        case Context::Node:
            context = node;
            break;
        case Context::Parent:
            context = node->parent();
            break;
        case Context::Container:
            context = FindParameterGroupNode(node);
            break;
        }
        ShowFrame(rule->pane);
        if (rule->pane != PaneParameterGroup) SetEditable(rule->pane, rule->editable && !StructureLocked());

        main.EnableDocumentCommands(rule->base);
        const QStringList& keys = frmMDIMain::documentCommandKeys();
        for (int i = 0; i < keys.size() && i < kToolbarFlags - 1; ++i) {
            const bool value = flagValue(rule->toolbar[i], m_debugMode);
            if (value != rule->base) main.EnableToolbarButton(keys[i], value);
        }
        main.EnableToolbarButton(QStringLiteral("JumpTo"), flagValue(rule->toolbar[kToolbarFlags - 1], m_debugMode));
        for (int i = 0; i < kMenuFlags; ++i)
            main.SetMenuEnabled(QLatin1String(kMenuItems[i]), flagValue(rule->menus[i], m_debugMode));
        ApplyStructureLock();
    }
    if (!context) return;

    const QString key = DocumentTree::key(context);
    m_currentElementID = elementByID(key) ? key : QString();
    m_currentParameterID.clear();
    m_currentStationID.clear();
    m_currentScriptID.clear();
    ShowElement(node);
}

}   // namespace morvane
