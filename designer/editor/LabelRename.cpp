// Renaming an element by editing its node's label: Blocks, Stations and Scripts take the new
// Name; a Parameter's new Name is also its placeholder key and part of its ID, so the rename
// is carried into the placeholders and include bindings of its owner and into the quoted
// references of the document's scripts.
//
// A parameter name that would break placeholders or IDs, or that another parameter of the
// same owner already has, is refused with a message and the old name kept. The placeholders
// in the Default Value and Source of the renamed parameter's siblings follow the rename as
// those of nested parameters do.

#include "common/QueryDocument.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/MainWindowLink.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QAbstractItemDelegate>
#include <QTreeWidgetItem>

namespace morvane {

namespace xml = orra::xml;

QString frmOrraDevelopment::ParameterNameProblem(const QString& name)
{
    if (name.isEmpty()) return QStringLiteral("A parameter must have a name.");
    static const QString forbidden = QStringLiteral(".|<>%$'");
    for (const QChar c : name) {
        if (forbidden.contains(c) || c.isSpace())
            return QStringLiteral("\"%1\" cannot be the name of a parameter: a parameter's name may not hold "
                                  "a blank or any of the characters . | < > %% $ '")
                .arg(name)
                .replace(QLatin1String("%%"), QLatin1String("%"));
    }
    return QString();
}

int frmOrraDevelopment::tvDocument_BeforeLabelEdit()
{
    if (StructureLocked() || !m_tree) return 1;
    const QString tag = DocumentTree::tag(m_tree->currentItem());
    const bool editable = tag == QLatin1String("Block") || tag == QLatin1String("Parameter")
        || tag == QLatin1String("Station") || tag == QLatin1String("Script");
    // The edit belongs to this node, wherever the selection is when it ends.
    m_labelEditKey = editable ? DocumentTree::key(m_tree->currentItem()) : QString();
    return editable ? 0 : 1;
}

int frmOrraDevelopment::tvDocument_AfterLabelEdit(const QString& NewString)
{
    if (!m_tree || !m_document || StructureLocked()) return 1;
    // The node the edit was opened on (the current one when no edit was recorded).
    QTreeWidgetItem* node = m_labelEditKey.isEmpty() ? m_tree->currentItem() : m_tree->node(m_labelEditKey);
    m_labelEditKey.clear();
    const QString tag = DocumentTree::tag(node);
    const QString key = DocumentTree::key(node);
    try {
        if (tag == QLatin1String("Parameter")) {
            xml::Node parameter = elementByID(key);
            xml::Node owner = parameter ? parameter.parent() : xml::Node();
            const QString ownerID = xml::attribute(owner, QStringLiteral("ID"));
            if (!parameter || !owner || !xml::hasTag(parameter, orra::tags::Parameter)) return 1;
            const QString oldID = xml::attribute(parameter, QStringLiteral("ID"));
            const QString oldName = xml::attribute(parameter, QStringLiteral("Name"));
            if (NewString == oldName) return 0;
            if (const QString problem = ParameterNameProblem(NewString); !problem.isEmpty()) {
                showError(problem);
                return 1;
            }
            for (xml::Node c : xml::childNodes(owner)) {
                if (c != parameter && xml::hasTag(c, orra::tags::Parameter)
                    && xml::attribute(c, QStringLiteral("Name")) == NewString) {
                    showError(
                        QStringLiteral("There is already a parameter named \"%1\" in this block.").arg(NewString));
                    return 1;
                }
            }
            // Documents that include this one and bind the parameter keep it as it is.
            if (!CheckParameterDependencies(oldID)) {
                m_documentChanged = true;
                return 1;
            }
            // Looked up again once the check has asked the author.
            owner = elementByID(ownerID);
            parameter = orra::FindElementByAttribute(owner, QStringLiteral("ID"), oldID);
            node = m_tree->node(oldID);
            if (!parameter || !node || StructureLocked()) return 1;
            const QString newID = xml::attribute(owner, QStringLiteral("ID")) + QStringLiteral(".P_") + NewString;
            m_tree->setNodeKey(node, newID);   // fails on a key in use before anything changed
            xml::setAttribute(parameter, QStringLiteral("ID"), newID);
            xml::setAttribute(parameter, QStringLiteral("Name"), NewString);
            // The parameters beside it follow too: their lists and defaults may name it.
            orra::RenameParameter(owner, oldID, oldName, newID, NewString, true);
            orra::RewriteReferences(m_document->documentElement(), oldID, newID);
            m_documentChanged = true;
            NotifyElementIDChanged(oldID, newID);
            // The status panel names the selected element by its new ID.
            if (m_tree->currentItem() == node)
                MainWindowLink().SetPanelText(QStringLiteral("ID"), QStringLiteral("ID:") + newID);
            return 0;
        }
        if (tag != QLatin1String("Block") && tag != QLatin1String("Station") && tag != QLatin1String("Script"))
            return 1;
        const xml::Node element = elementByID(key);
        if (!element) return 1;
        // A blank name would leave a node with no label.
        if (NewString.trimmed().isEmpty()) {
            showError(QStringLiteral("A %1 must have a name.").arg(tag.toLower()));
            return 1;
        }
        xml::setAttribute(element, QStringLiteral("Name"), NewString);
        m_documentChanged = true;
        return 0;
    } catch (const orra::Error& e) {
        showError(e.description());
        return 1;
    }
}

// An edit box left open (a node's label, the Inheritance pane's value box) is committed to the
// element it was opened on before a command moves the selection or changes the document.
void frmOrraDevelopment::FinishOpenEdits()
{
    if (m_tree && !m_labelEditKey.isEmpty()) {
        QTreeWidgetItem* node = m_tree->node(m_labelEditKey);
        if (QWidget* editor = node ? m_tree->itemWidget(node, 0) : nullptr) {
            QAbstractItemDelegate* delegate = m_tree->itemDelegateForIndex(m_tree->indexFromItem(node));
            emit delegate->commitData(editor);
            emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
        m_labelEditKey.clear();
    }
    CommitInheritanceInput();
}

}   // namespace morvane
