#include "designer/editor/DocumentModel.h"

#include "common/Crc32.h"
#include "common/QueryDocument.h"
#include "common/RecordsetOpener.h"
#include "platform/text/Error.h"

namespace morvane {

using orra::xml::Node;
namespace xml = orra::xml;
namespace tags = orra::tags;

namespace {

const QString kID = QStringLiteral("ID");

// The image and selected image of an element node of kind tag (Block, Station, ...).
TreeNodeSpec elementNode(const QString& parentKey, Node element, const QString& kind, const QString& p)
{
    TreeNodeSpec n;
    n.parentKey = parentKey;
    n.key = xml::attribute(element, kID);
    n.text = xml::attribute(element, QStringLiteral("Name"));
    n.image = p + kind;
    n.selectedImage = QStringLiteral("S") + kind;
    n.tag = p + kind;
    return n;
}

} // namespace

TreeNodeSpec RootNodeSpec(Node root)
{
    TreeNodeSpec n;
    n.key = xml::attribute(root, kID);
    n.text = QStringLiteral("Document");
    n.image = QStringLiteral("Document");
    n.tag = QStringLiteral("Document");
    return n;
}

void AddChildNodes(const QString& parentKey, Node element, bool included, const AddTreeNode& add)
{
    if (!element.first_child()) return;
    const QString p = included ? QStringLiteral("I") : QString();

    // Parameters first, under one group node made for the first one shown.
    QString groupKey;
    for (Node child = element.first_child(); child; child = child.next_sibling()) {
        if (!xml::hasTag(child, tags::Parameter)) continue;
        const QString behaviour = xml::hasAttribute(child, QStringLiteral("Behaviour"))
                                      ? xml::attribute(child, QStringLiteral("Behaviour"))
                                      : QStringLiteral("dynamic");
        const bool isStatic = behaviour == QLatin1String("static");
        if (included && isStatic) continue;
        if (groupKey.isEmpty()) {
            groupKey = parentKey + QStringLiteral("_ParamGroup");
            add({parentKey, groupKey, QStringLiteral("Parameters"), p + QStringLiteral("ParameterGroup"), QString(),
                 p + QStringLiteral("ParameterGroup")});
        }
        TreeNodeSpec n = elementNode(groupKey, child, QStringLiteral("Parameter"), p);
        if (isStatic) n.image += QStringLiteral("_static");
        add(n);
    }

    for (Node child = element.first_child(); child; child = child.next_sibling()) {
        if (!xml::isElement(child)) continue;
        if (xml::hasTag(child, tags::Block)) {
            const TreeNodeSpec n = elementNode(parentKey, child, QStringLiteral("Block"), p);
            add(n);
            AddChildNodes(n.key, child, included, add);
        } else if (xml::hasTag(child, tags::Station)) {
            add(elementNode(parentKey, child, QStringLiteral("Station"), p));
        } else if (xml::hasTag(child, tags::Script)) {
            add(elementNode(parentKey, child, QStringLiteral("Script"), p));
        } else if (xml::hasTag(child, tags::Include)) {
            const TreeNodeSpec n = elementNode(parentKey, child, QStringLiteral("Include"), p);
            add(n);
            AddChildNodes(n.key, child, true, add);
        } else if (included && xml::hasTag(child, tags::Document)) {
            AddChildNodes(parentKey, child, true, add);
        }
    }
}

void NewDocumentSkeleton(xml::Document& doc)
{
    doc.clear();
    Node root = xml::appendElement(doc.node(), QStringLiteral("Document"));
    xml::setAttribute(root, kID, QStringLiteral("B0"));
    xml::setAttribute(root, QStringLiteral("Server"), QStringLiteral("{FREE}"));
    xml::appendCData(root, QString());
}

void StripRunTimeExpansions(Node element)
{
    for (Node child : xml::childNodes(element)) {
        if (xml::isCData(child)) continue;
        if (!xml::hasTag(child, tags::Include)) {
            if (child.first_child()) StripRunTimeExpansions(child);
            continue;
        }
        const QString prefix = xml::attribute(child, kID) + QLatin1Char('|');
        for (Node inner : xml::childNodes(child)) {
            if (xml::hasTag(inner, tags::Document)) {
                xml::removeChild(child, inner);
            } else if (xml::hasTag(inner, tags::Inheritance)) {
                QString pid = xml::attribute(inner, QStringLiteral("PID"));
                const qsizetype at = pid.indexOf(prefix);
                if (at >= 0) {
                    pid.remove(at, prefix.size());
                    xml::setAttribute(inner, QStringLiteral("PID"), pid);
                }
            }
        }
    }
}

QString StoredDocumentText(const xml::Document& doc)
{
    xml::Document copy;
    const Node root = doc.documentElement();
    if (root) {
        const Node stored = xml::appendCopy(copy.node(), root);
        StripRunTimeExpansions(stored);
    }
    return copy.xml();
}

QString DoubleQuotes(QString text)
{
    return text.replace(QLatin1Char('\''), QStringLiteral("''"));
}

Node CreateParameterElement(Node owner, const QString& id, const QString& name, const QString& caption,
                            const QString& defaultValue, const QString& type, const QString& source,
                            const QString& prompt, const QString& selectionType, const QString& behaviour)
{
    Node p = xml::appendElement(owner, QStringLiteral("Parameter"));
    xml::setAttribute(p, kID, id);
    xml::setAttribute(p, QStringLiteral("Name"), name);
    xml::setAttribute(p, QStringLiteral("Caption"), caption.isEmpty() ? name : caption);
    xml::setAttribute(p, QStringLiteral("DefaultValue"), defaultValue);
    xml::setAttribute(p, QStringLiteral("Type"), type);
    xml::setAttribute(p, QStringLiteral("Source"), source);
    xml::setAttribute(p, QStringLiteral("ReturnCol"), QString());
    xml::setAttribute(p, QStringLiteral("Prompt"), prompt);
    xml::setAttribute(p, QStringLiteral("SelectionType"), selectionType);
    xml::setAttribute(p, QStringLiteral("Behaviour"), behaviour);
    return p;
}

std::optional<int32_t> ReadDocumentCheckSum(orra::db::Connection* catalogue, const QString& catalogueDatabase,
                                            long docID)
{
    bool failed = false;
    orra::db::RecordsetPtr rs = orra::OpenRecordset(
        catalogue, QStringLiteral("select * from %1..tbOrraSQL where ID=%2").arg(catalogueDatabase).arg(docID), failed,
        orra::adUseClient, orra::adLockReadOnly, orra::adOpenStatic);
    if (failed || !rs || !rs->isOpen() || rs->isEOF() || rs->isBOF()) return std::nullopt;
    return orra::RowCheckSum(*rs);
}

QString ComputeDocumentCheckSum(orra::db::Connection* catalogue, const QString& catalogueDatabase, long docID)
{
    const std::optional<int32_t> sum = ReadDocumentCheckSum(catalogue, catalogueDatabase, docID);
    return QString::number(sum ? *sum : 0);
}

namespace {

void insertIncludeRelations(orra::db::Connection& catalogue, const QString& catalogueDatabase, long docID,
                            Node element)
{
    for (Node child = element.first_child(); child; child = child.next_sibling()) {
        if (xml::hasTag(child, tags::Include)) {
            long included = 0;
            if (!orra::ParseWholeNumber(xml::attribute(child, QStringLiteral("DocID")), included))
                throw orra::Error(-1, QStringLiteral("frmOrraDevelopment::Save"),
                                  QStringLiteral("The include %1 names no document (DocID)")
                                      .arg(xml::attribute(child, kID)));
            catalogue.execute(QStringLiteral("insert into %1..tbOrraRelations(ObjId,RelObjId) values(%2,%3)")
                                  .arg(catalogueDatabase)
                                  .arg(docID)
                                  .arg(included));
        } else if (xml::hasTag(child, tags::Block)) {
            insertIncludeRelations(catalogue, catalogueDatabase, docID, child);
        }
    }
}

} // namespace

void RewriteRelations(orra::db::Connection& catalogue, const QString& catalogueDatabase, long docID, Node root)
{
    catalogue.execute(QStringLiteral("delete %1..tbOrraRelations where ObjId=%2").arg(catalogueDatabase).arg(docID));
    insertIncludeRelations(catalogue, catalogueDatabase, docID, root);
}

} // namespace morvane
