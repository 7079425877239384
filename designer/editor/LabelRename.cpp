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
    return editable ? 0 : 1;
}

int frmOrraDevelopment::tvDocument_AfterLabelEdit(const QString& NewString)
{
    if (!m_tree || !m_document || StructureLocked()) return 1;
    QTreeWidgetItem* node = m_tree->currentItem();
    const QString tag = DocumentTree::tag(node);
    const QString key = DocumentTree::key(node);
    try {
        if (tag == QLatin1String("Parameter")) {
            xml::Node owner = CurrentElement();
            const QString ownerID = m_currentElementID;
            xml::Node parameter = orra::FindElementByAttribute(owner, QStringLiteral("ID"), key);
            if (!parameter || parameter.parent() != owner) return 1;
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
            // The status panel names the element by its new ID.
            MainWindowLink().SetPanelText(QStringLiteral("ID"), QStringLiteral("ID:") + newID);
            return 0;
        }
        xml::Node element;
        if (tag == QLatin1String("Block"))
            element = CurrentElement();
        else if (tag == QLatin1String("Station"))
            element = CurrentStation();
        else if (tag == QLatin1String("Script"))
            element = CurrentScript();
        if (!element) return 1;
        xml::setAttribute(element, QStringLiteral("Name"), NewString);
        m_documentChanged = true;
        return 0;
    } catch (const orra::Error& e) {
        showError(e.description());
        return 1;
    }
}

}   // namespace morvane
