// The editor window's structural edits: remove the current element, copy it to the element
// clipboard or to the catalogue's element repository, paste the clipboard with fresh IDs, move
// an element among its siblings, and open the document behind an Include. The document and
// its tree change together: every element keeps a node keyed by its ID.

#include "designer/editor/frmOrraDevelopment.h"

#include "common/IncludeExpansion.h"
#include "common/Permissions.h"
#include "common/QueryDocument.h"
#include "designer/editor/DocumentModel.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/TreeEditing.h"
#include "designer/shell/mdMain.h"
#include "platform/db/Connection.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/host/UserInterface.h"

#include <functional>

namespace morvane {

namespace xml = orra::xml;

namespace {

const QString kID = QStringLiteral("ID");

bool isMovable(const QString& tag)
{
    return tag == QLatin1String("Block") || tag == QLatin1String("Station") || tag == QLatin1String("Script")
        || tag == QLatin1String("Include");
}

// The element's previous sibling, or nothing when it is the body text (or there is none).
xml::Node PreviousElementSibling(xml::Node e)
{
    const xml::Node p = e.previous_sibling();
    return xml::isElement(p) ? p : xml::Node();
}

xml::Node NextElementSibling(xml::Node e)
{
    const xml::Node n = e.next_sibling();
    return xml::isElement(n) ? n : xml::Node();
}

// The IDs of a subtree in document order (Inheritance elements have none).
void collectIDs(xml::Node e, QStringList& ids)
{
    if (!xml::hasTag(e, orra::tags::Inheritance)) ids << xml::attribute(e, kID);
    for (xml::Node c = e.first_child(); c; c = c.next_sibling())
        if (xml::isElement(c)) collectIDs(c, ids);
}

// A node of a document's own elements: an included document's nodes are read-only.
bool isOwnNode(QTreeWidgetItem* node)
{
    const QString tag = DocumentTree::tag(node);
    return !tag.startsWith(QLatin1Char('I')) || tag == QLatin1String("Include");
}

}   // namespace

xml::Node frmOrraDevelopment::elementByID(const QString& id) const
{
    if (!m_document || id.isEmpty()) return {};
    return orra::FindElementByAttribute(m_document->node(), kID, id);
}

// The element the clipboard commands act on: the current Parameter, Station or Script, else
// the current element.
xml::Node frmOrraDevelopment::clipboardSubject() const
{
    for (const QString* id : {&m_currentParameterID, &m_currentStationID, &m_currentScriptID, &m_currentElementID})
        if (!id->isEmpty()) return elementByID(*id);
    return {};
}

void frmOrraDevelopment::removeElementAndNode(xml::Node element, QTreeWidgetItem* node)
{
    QStringList ids;
    collectIDs(element, ids);
    if (node) m_tree->removeNode(node);
    xml::removeChild(element.parent(), element);
    m_documentChanged = true;
    NotifyElementsRemoved(ids);
}

void frmOrraDevelopment::RemoveElement()
{
    FinishOpenEdits();
    if (!m_tree || !m_document || StructureLocked()) return;
    QTreeWidgetItem* selected = m_tree->currentItem();
    // An included document's elements belong to that document.
    if (selected && isOwnNode(selected)) {
        if (!m_currentParameterID.isEmpty()) {
            const QString id = m_currentParameterID;
            // The check may ask the author: the parameter is looked up once it has answered.
            if (CheckParameterDependencies(id)) {
                if (const xml::Node p = elementByID(id); p && !StructureLocked()) {
                    QTreeWidgetItem* node = m_tree->node(id);
                    QTreeWidgetItem* group = node ? node->parent() : nullptr;
                    removeElementAndNode(p, group && group->childCount() == 1 ? group : node);
                }
            }
        } else if (const xml::Node e = !m_currentStationID.isEmpty() ? CurrentStation() : CurrentScript()) {
            removeElementAndNode(e, m_tree->node(xml::attribute(e, kID)));
        } else if (const xml::Node e = CurrentElement();
                   e && !xml::hasTag(e, orra::tags::Document) && e != m_document->documentElement()) {
            removeElementAndNode(e, m_tree->node(xml::attribute(e, kID)));
        }
    }
    if (QTreeWidgetItem* now = m_tree->currentItem()) tvDocument_NodeClick(now);
}

void frmOrraDevelopment::CopyElement() { CopyToClipboard(clipboardSubject()); }

bool frmOrraDevelopment::CopyToRepository()
{
    try {
        const xml::Node e = clipboardSubject();
        if (!e) return false;
        const QString tag = xml::tagName(e);
        QString name = xml::attribute(e, QStringLiteral("Name"));
        const QString text = xml::outerXml(e);
        orra::db::Connection* con = catalogue();
        const QString db = catalogueDatabase();
        for (;;) {
            // Tag and name are literals of the statement like the text: their quotes are doubled.
            orra::db::RecordsetPtr rs = con->execute(
                QStringLiteral("if exists(select 1 from %1..tbOrraRepository where Tag='%2' and Name='%3') "
                               "select 1 x else select 0 x")
                    .arg(db, DoubleQuotes(tag), DoubleQuotes(name)));
            if (!rs || !rs->isOpen() || rs->isEOF())
                throw orra::Error(orra::db::kNoCurrentRecord, QStringLiteral("ADODB.Field"),
                    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                   "Requested operation requires a current record."));
            if (rs->value(QStringLiteral("x")).toInt() != 1) break;
            rs.reset();
            const int answer =
                orra::userInterface().messageBox(QStringLiteral("There is already an Item in the repository with Tag:")
                        + tag + QStringLiteral(" and Name:") + name
                        + QStringLiteral("\r\nWould you like to save with a new name"),
                    orra::vbYesNoCancel, QStringLiteral("Error"));
            if (answer != orra::vbYes) return false;
            name = orra::userInterface().inputBox(QStringLiteral("New Name:"), QStringLiteral("Name"), name);
        }
        con->execute(QStringLiteral("insert into %1..tbOrraRepository select '%2','%3','%4'")
                         .arg(db, DoubleQuotes(tag), DoubleQuotes(name), DoubleQuotes(text)));
        return true;
    } catch (const orra::Error& e) {
        showError(e.description());
        return false;
    }
}

bool frmOrraDevelopment::PasteElement() { return pasteInto(false); }

// Every Include that a paste brings in passes the tests of AddInclude: the right to include,
// no document that is (or includes, at any depth) this one, the servers.
void frmOrraDevelopment::checkIncludesMayBePasted(xml::Node pasted)
{
    std::vector<xml::Node> includes;
    std::function<void(xml::Node)> walk = [&](xml::Node e) {
        if (xml::hasTag(e, orra::tags::Include) || xml::hasTag(e, orra::tags::IInclude)) {
            includes.push_back(e);
            return;   // what the included document holds was checked when it was included
        }
        for (xml::Node c = e.first_child(); c; c = c.next_sibling())
            if (xml::isElement(c)) walk(c);
    };
    walk(pasted);
    if (includes.empty()) return;
    orra::db::Connection* con = catalogue();
    const QString ownServer = xml::attribute(m_document->documentElement(), QStringLiteral("Server"));
    for (const xml::Node inc : includes) {
        long docID = 0;
        if (!orra::ParseWholeNumber(xml::attribute(inc, QStringLiteral("DocID")), docID))
            throw orra::Error(
                orra::kTypeMismatch, QStringLiteral("frmOrraDevelopment"), QStringLiteral("Type mismatch"));
        if (!orra::HasDocPermission(con, docID, 0, orra::rightInclude))
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment"),
                QStringLiteral("Permission Denied : You could not include this document"));
        // The document itself, or one whose embedded copy includes it somewhere.
        bool recursive = docID == m_docID;
        std::function<void(xml::Node)> nested = [&](xml::Node e) {
            for (xml::Node c = e.first_child(); c && !recursive; c = c.next_sibling()) {
                if (!xml::isElement(c)) continue;
                long inner = 0;
                if ((xml::hasTag(c, orra::tags::Include) || xml::hasTag(c, orra::tags::IInclude))
                    && orra::ParseWholeNumber(xml::attribute(c, QStringLiteral("DocID")), inner) && inner == m_docID)
                    recursive = true;
                nested(c);
            }
        };
        nested(inc);
        if (recursive)
            throw orra::Error(
                orra::kSystemError, QStringLiteral("frmOrraDevelopment"), orra::RecursiveIncludeMessage());
        xml::Node embedded;
        for (xml::Node c = inc.first_child(); c; c = c.next_sibling())
            if (xml::hasTag(c, orra::tags::Document)) embedded = c;
        const QString server = xml::attribute(embedded, QStringLiteral("Server"));
        if (embedded && server != QLatin1String("{FREE}") && server != ownServer)
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment"),
                QStringLiteral("Could not include a document based on connection ") + server
                    + QStringLiteral(" to current document"));
    }
}

// Pastes the clipboard element below the selected node's container. followReferences: the
// clipboard element is an element of this document that is moving, and the quoted references
// to it in this document's scripts follow it to its new IDs.
bool frmOrraDevelopment::pasteInto(bool followReferences)
{
    FinishOpenEdits();
    if (!m_tree || !m_document || StructureLocked()) return false;
    QTreeWidgetItem* selected = m_tree->currentItem();
    if (!selected) return false;
    try {
        const QString selectedTag = DocumentTree::tag(selected);
        QTreeWidgetItem* target = selectedTag == QLatin1String("Block") || selectedTag == QLatin1String("Document")
            ? selected
            : FindParameterGroupNode(selected);
        const QString targetTag = DocumentTree::tag(target);
        // Only a Block or the Document receives elements: never an Include, never an included
        // document (whose copy is not saved).
        if (targetTag != QLatin1String("Block") && targetTag != QLatin1String("Document")) return false;
        const QString targetKey = DocumentTree::key(target);
        // The element of the target node in this window's document, whichever window the
        // clipboard element came from.
        const xml::Node receiver = targetKey == xml::attribute(m_document->documentElement(), kID)
            ? m_document->documentElement()
            : elementByID(targetKey);
        if (!receiver) return false;
        const xml::Node copied = CopiedElement();
        if (!copied) return true;

        // The copy is renumbered in a document of its own: no other document changes.
        xml::Document scratch;
        const xml::Node e = xml::appendCopy(scratch.node(), copied);
        const QString tag = xml::tagName(e);
        const QString oldID = xml::attribute(e, kID);
        const QString B = xml::attribute(receiver, kID);

        if (tag == QLatin1String("Parameter")) {
            orra::RenumberElementIDs(e, B, orra::TextBeforeLastDot(oldID));
            const QString newID = xml::attribute(e, kID);
            const QString name = xml::attribute(e, QStringLiteral("Name"));
            if (m_tree->hasNode(newID) || elementByID(newID)) throw orra::KeyedTree::keyNotUnique();
            const QString image = xml::attribute(e, QStringLiteral("Behaviour")) == QLatin1String("static")
                ? QStringLiteral("Parameter_static")
                : QStringLiteral("Parameter");
            QTreeWidgetItem* group = AddParameterGroupNode(target, true);
            m_tree->buildChildItems(group);
            const TreeNodeSpec spec{DocumentTree::key(group), newID, name, image, QStringLiteral("SParameter"), tag};
            if (group->childCount() > 0)
                m_tree->insertNode(spec, DocumentTree::key(group->child(0)), DocumentTree::Previous);
            else
                m_tree->addNode(spec);
            xml::appendCopy(receiver, e);
            if (followReferences) orra::RewriteReferences(m_document->documentElement(), oldID, newID);
            m_documentChanged = true;
            return true;
        }
        if (isMovable(tag)) {
            checkIncludesMayBePasted(e);
            int nameNumber = 0, idNumber = 0;
            GetNextChildNumber(target, nameNumber, idNumber, tag);
            const QString newID = targetKey + ChildIDInfix(tag) + QString::number(idNumber);
            QStringList before;
            collectIDs(e, before);
            orra::RenumberElementIDs(e, newID, oldID);
            QStringList after;
            collectIDs(e, after);
            const xml::Node appended = xml::appendCopy(receiver, e);
            m_tree->addNode({targetKey, newID, xml::attribute(appended, QStringLiteral("Name")), tag, QString(), tag});
            AddChildNodes(newID, appended, tag == QLatin1String("Include"),
                [this](TreeNodeSpec&& n) { m_tree->addNode(std::move(n)); });
            if (followReferences)
                for (int i = 0; i < before.size() && i < after.size(); ++i)
                    if (before[i] != after[i])
                        orra::RewriteReferences(m_document->documentElement(), before[i], after[i]);
            m_documentChanged = true;
            return true;
        }
        // A Document on the clipboard pastes nothing.
        m_documentChanged = true;
        return true;
    } catch (const orra::Error& err) {
        showError(err.description());
        return false;
    }
}

// Removes node and adds it again, with its subtree rebuilt from element, before the node
// keyed beforeKey.
void frmOrraDevelopment::readdNode(QTreeWidgetItem* node, xml::Node element, const QString& beforeKey, bool included)
{
    const DocumentNode* n = DocumentTree::asNode(node);
    TreeNodeSpec spec{QString(), n->key, node->text(0), n->image, n->selectedImage, n->tag};
    m_tree->removeNode(node);
    m_tree->insertNode(spec, beforeKey, DocumentTree::Previous);
    AddChildNodes(spec.key, element, included, [this](TreeNodeSpec&& s) { m_tree->addNode(std::move(s)); });
}

// The element a move acts on: the current Station, else Script, else the current element.
static xml::Node movedElement(const frmOrraDevelopment* w)
{
    xml::Node e = w->CurrentStation();
    if (!e) e = w->CurrentScript();
    if (!e) e = w->CurrentElement();
    return e;
}

void frmOrraDevelopment::MoveUpBlock()
{
    FinishOpenEdits();
    if (!m_tree || !m_document || StructureLocked() || !isOwnNode(m_tree->currentItem())) return;
    if (!m_currentParameterID.isEmpty()) {
        moveParameter(true);
        return;
    }
    xml::Node e = movedElement(this);
    if (!e) return;
    xml::Node p = PreviousElementSibling(e);
    while (xml::hasTag(p, orra::tags::Parameter)) p = PreviousElementSibling(p);
    if (!p || !isMovable(xml::tagName(p))) return;
    e.parent().insert_move_before(e, p);
    const QString key = xml::attribute(e, kID);
    QTreeWidgetItem* node = m_tree->node(key);
    if (!node) return;
    readdNode(node, e, xml::attribute(p, kID), xml::hasTag(e, orra::tags::Include));
    // The nodes made again carry their break points as before.
    PopulateBreakPoints();
    QTreeWidgetItem* moved = m_tree->node(key);
    m_tree->setCurrentItem(moved);
    tvDocument_NodeClick(moved);
    m_documentChanged = true;
}

void frmOrraDevelopment::MoveDownBlock()
{
    FinishOpenEdits();
    if (!m_tree || !m_document || StructureLocked() || !isOwnNode(m_tree->currentItem())) return;
    if (!m_currentParameterID.isEmpty()) {
        moveParameter(false);
        return;
    }
    xml::Node e = movedElement(this);
    if (!e) return;
    xml::Node x = NextElementSibling(e);
    while (xml::hasTag(x, orra::tags::Parameter)) x = NextElementSibling(x);
    if (!x || !isMovable(xml::tagName(x))) return;
    e.parent().insert_move_before(x, e);
    if (QTreeWidgetItem* node = m_tree->node(xml::attribute(x, kID)))
        readdNode(node, x, xml::attribute(e, kID), xml::hasTag(x, orra::tags::Include));
    PopulateBreakPoints();
    m_documentChanged = true;
}

void frmOrraDevelopment::moveParameter(bool up)
{
    const xml::Node e = CurrentParameter();
    if (!e) return;
    auto neighbour = [up](xml::Node from) {
        for (xml::Node n = up ? from.previous_sibling() : from.next_sibling(); n;
             n = up ? n.previous_sibling() : n.next_sibling())
            if (xml::hasTag(n, orra::tags::Parameter)) return n;
        return xml::Node();
    };
    const xml::Node other = neighbour(e);
    if (!other) return;
    const QString key = xml::attribute(e, kID);
    const QString otherKey = xml::attribute(other, kID);
    if (up) {
        e.parent().insert_move_before(e, other);
        if (QTreeWidgetItem* node = m_tree->node(key)) readdNode(node, e, otherKey, false);
        QTreeWidgetItem* moved = m_tree->node(key);
        m_tree->setCurrentItem(moved);
        tvDocument_NodeClick(moved);
    } else {
        e.parent().insert_move_before(other, e);
        if (QTreeWidgetItem* node = m_tree->node(otherKey)) readdNode(node, other, key, false);
    }
    m_documentChanged = true;
}

void frmOrraDevelopment::OpenIncludedDocument()
{
    if (!m_tree) return;
    QTreeWidgetItem* node = m_tree->currentItem();
    const xml::Node e = elementByID(DocumentTree::key(node));
    long docID = 0;
    // Only an Include names a document to open.
    if (!(xml::hasTag(e, orra::tags::Include) || xml::hasTag(e, orra::tags::IInclude))
        || !orra::ParseWholeNumber(xml::attribute(e, QStringLiteral("DocID")), docID))
        return;
    QString caption = node->text(0);
    caption.replace(caption.indexOf(QLatin1String("Include:")) >= 0 ? caption.indexOf(QLatin1String("Include:")) : 0,
        caption.contains(QLatin1String("Include:")) ? 8 : 0, QString());
    OpenDocumentWindow(docID, caption);
}

}   // namespace morvane
