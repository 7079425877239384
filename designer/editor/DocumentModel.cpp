#include "designer/editor/DocumentModel.h"

#include "common/Crc32.h"
#include "common/IncludeExpansion.h"
#include "common/Permissions.h"
#include "common/QueryDocument.h"
#include "common/RecordsetOpener.h"
#include "platform/host/Error.h"

#include <cstring>

namespace morvane {

using orra::xml::Node;
namespace xml = orra::xml;
namespace tags = orra::tags;

namespace {

const QString kID = QStringLiteral("ID");

enum Kind { KindParameter, KindBlock, KindStation, KindScript, KindInclude, KindParameterGroup, KindCount };

// The names of a node kind, made once: tag and image of the document's own node and of an
// included one, and the selected image.
struct KindNames {
    QString own, included, selected;
};
const KindNames& names(Kind kind)
{
    static const KindNames table[KindCount] = {
        {QStringLiteral("Parameter"), QStringLiteral("IParameter"), QStringLiteral("SParameter")},
        {QStringLiteral("Block"), QStringLiteral("IBlock"), QStringLiteral("SBlock")},
        {QStringLiteral("Station"), QStringLiteral("IStation"), QStringLiteral("SStation")},
        {QStringLiteral("Script"), QStringLiteral("IScript"), QStringLiteral("SScript")},
        {QStringLiteral("Include"), QStringLiteral("IInclude"), QStringLiteral("SInclude")},
        {QStringLiteral("ParameterGroup"), QStringLiteral("IParameterGroup"), QString()},
    };
    return table[kind];
}

TreeNodeSpec elementNode(const QString& parentKey, Node element, Kind kind, bool included)
{
    const KindNames& k = names(kind);
    TreeNodeSpec n;
    n.parentKey = parentKey;
    n.key = QString::fromUtf8(element.attribute("ID").value());
    n.text = QString::fromUtf8(element.attribute("Name").value());
    n.image = included ? k.included : k.own;
    n.selectedImage = k.selected;
    n.tag = n.image;
    return n;
}

}   // namespace

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

    // Parameters first, under one group node made for the first one shown.
    QString groupKey;
    for (Node child = element.first_child(); child; child = child.next_sibling()) {
        if (!xml::hasTag(child, tags::Parameter)) continue;
        // A missing Behaviour counts as "dynamic"; only exactly "static" is static.
        const bool isStatic = std::strcmp(child.attribute("Behaviour").value(), "static") == 0;
        if (included && isStatic) continue;
        if (groupKey.isEmpty()) {
            groupKey = parentKey + QStringLiteral("_ParamGroup");
            const KindNames& g = names(KindParameterGroup);
            const QString& tag = included ? g.included : g.own;
            add({parentKey, groupKey, QStringLiteral("Parameters"), tag, QString(), tag});
        }
        TreeNodeSpec n = elementNode(groupKey, child, KindParameter, included);
        if (isStatic) {
            static const QString ownStatic = QStringLiteral("Parameter_static");
            static const QString includedStatic = QStringLiteral("IParameter_static");
            n.image = included ? includedStatic : ownStatic;
        }
        add(std::move(n));
    }

    for (Node child = element.first_child(); child; child = child.next_sibling()) {
        if (!xml::isElement(child)) continue;
        if (xml::hasTag(child, tags::Block)) {
            TreeNodeSpec n = elementNode(parentKey, child, KindBlock, included);
            const QString key = n.key;
            add(std::move(n));
            AddChildNodes(key, child, included, add);
        } else if (xml::hasTag(child, tags::Station)) {
            add(elementNode(parentKey, child, KindStation, included));
        } else if (xml::hasTag(child, tags::Script)) {
            add(elementNode(parentKey, child, KindScript, included));
        } else if (xml::hasTag(child, tags::Include)) {
            TreeNodeSpec n = elementNode(parentKey, child, KindInclude, included);
            const QString key = n.key;
            add(std::move(n));
            AddChildNodes(key, child, true, add);
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

QString DoubleQuotes(QString text) { return text.replace(QLatin1Char('\''), QStringLiteral("''")); }

Node CreateParameterElement(Node owner, const QString& id, const QString& name, const QString& caption,
    const QString& defaultValue, const QString& type, const QString& source, const QString& prompt,
    const QString& selectionType, const QString& behaviour)
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

std::optional<int32_t> ReadDocumentCheckSum(
    orra::db::Connection* catalogue, const QString& catalogueDatabase, long docID)
{
    bool failed = false;
    orra::db::RecordsetPtr rs = orra::OpenRecordset(catalogue,
        QStringLiteral("select * from %1..tbOrraSQL where ID=%2").arg(catalogueDatabase).arg(docID), failed,
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

void insertIncludeRelations(orra::db::Connection& catalogue, const QString& catalogueDatabase, long docID, Node element)
{
    for (Node child = element.first_child(); child; child = child.next_sibling()) {
        if (xml::hasTag(child, tags::Include)) {
            long included = 0;
            if (!orra::ParseWholeNumber(xml::attribute(child, QStringLiteral("DocID")), included))
                throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment::Save"),
                    QStringLiteral("The include %1 names no document (DocID)").arg(xml::attribute(child, kID)));
            catalogue.execute(QStringLiteral("insert into %1..tbOrraRelations(ObjId,RelObjId) values(%2,%3)")
                                  .arg(catalogueDatabase)
                                  .arg(docID)
                                  .arg(included));
        } else if (xml::hasTag(child, tags::Block)) {
            insertIncludeRelations(catalogue, catalogueDatabase, docID, child);
        }
    }
}

}   // namespace

bool MayAddIncludes(orra::db::Connection& catalogue, const QString& catalogueDatabase, long docID, const QString& text)
{
    QSet<long> added = orra::IncludedDocumentIDs(text);
    if (added.isEmpty()) return true;
    orra::db::RecordsetPtr rs = catalogue.execute(
        QStringLiteral("select SQLtxt from %1..tbOrraSQL where ID=%2").arg(catalogueDatabase).arg(docID));
    if (rs && rs->isOpen() && !rs->isEOF()) added.subtract(orra::IncludedDocumentIDs(rs->value(0).toString()));
    for (long included : std::as_const(added)) {
        // A document that is not in the catalogue is refused by the relation record's key.
        rs = catalogue.execute(
            QStringLiteral("select 1 from %1..tbOrraSQL where ID=%2").arg(catalogueDatabase).arg(included));
        if (!rs || !rs->isOpen() || rs->isEOF()) continue;
        if (!orra::HasDocPermission(&catalogue, included, 0, orra::rightInclude)) return false;
    }
    return true;
}

void RewriteRelations(orra::db::Connection& catalogue, const QString& catalogueDatabase, long docID, Node root)
{
    catalogue.execute(QStringLiteral("delete %1..tbOrraRelations where ObjId=%2").arg(catalogueDatabase).arg(docID));
    insertIncludeRelations(catalogue, catalogueDatabase, docID, root);
}

}   // namespace morvane
