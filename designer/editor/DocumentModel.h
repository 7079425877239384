#pragma once
// The document model of the editor window without its widgets: how the expanded document
// becomes tree nodes, the skeleton of a new document, the stored form written back to the
// catalogue, the row checksum and the include relations. The window (frmOrraDevelopment) and
// the benchmarks use the same code.

#include "common/Xml.h"
#include "platform/db/Connection.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace morvane {

// One node of the element tree as the document describes it.
struct TreeNodeSpec {
    QString parentKey;   // empty for the root
    QString key;         // the element's ID (a group: parent key & "_ParamGroup")
    QString text;
    QString image;
    QString selectedImage;   // empty: none
    QString tag;             // the node kind ("Block", "IBlock", "ParameterGroup", ...)
};
// Receives each node to add; the node's description is the receiver's to keep.
using AddTreeNode = std::function<void(TreeNodeSpec&&)>;

// The root node of a document: Key = the root's ID, Text/Image/Tag "Document".
TreeNodeSpec RootNodeSpec(orra::xml::Node root);

// The nodes below element, parents before children, each added as the last child of its
// parent: first the parameter group (when a parameter is shown), then blocks, stations,
// scripts and includes in document order. included marks the nodes of an included document
// ("I" in front of tag and image); its static parameters get no node. The embedded Document of
// an Include adds no node: its children appear under the Include's node.
void AddChildNodes(const QString& parentKey, orra::xml::Node element, bool included, const AddTreeNode& add);

// Replaces the content of doc by a new document: <Document ID="B0" Server="{FREE}"> with one
// empty CDATA section.
void NewDocumentSkeleton(orra::xml::Document& doc);

// Turns an expanded subtree back into the stored form, in place: every Include loses its
// embedded Document, and "<Include ID>|" is removed once from the PID of its Inheritance
// children. The inside of an Include is not walked further.
void StripRunTimeExpansions(orra::xml::Node element);

// The stored text of an expanded document: a copy stripped of its run-time expansions,
// serialised without declaration. doc is not changed.
QString StoredDocumentText(const orra::xml::Document& doc);

// Every "'" doubled, for a text literal of a statement.
QString DoubleQuotes(QString text);

// Appends to owner a Parameter element with the attributes ID, Name, Caption (Name when
// empty), DefaultValue, Type, Source, ReturnCol (empty), Prompt, SelectionType, Behaviour, in
// that order, and returns it.
orra::xml::Node CreateParameterElement(orra::xml::Node owner, const QString& id, const QString& name,
    const QString& caption, const QString& defaultValue, const QString& type, const QString& source,
    const QString& prompt, const QString& selectionType, const QString& behaviour);

// The checksum of the document row as "select *" reads it, or nothing when the row cannot
// be read (statement failure, no row).
std::optional<int32_t> ReadDocumentCheckSum(
    orra::db::Connection* catalogue, const QString& catalogueDatabase, long docID);
// The same as decimal text, "0" when the row cannot be read.
QString ComputeDocumentCheckSum(orra::db::Connection* catalogue, const QString& catalogueDatabase, long docID);

// True when the login holds the Include right on every document that text includes and the
// stored text of document docID does not (the includes a save of text would add).
bool MayAddIncludes(orra::db::Connection& catalogue, const QString& catalogueDatabase, long docID, const QString& text);

// Deletes the relation rows of docID and writes one row per Include of the document itself
// (below the root and its blocks, never inside an Include). Throws orra::Error on a failing
// statement and for an Include whose DocID is missing or not a whole number.
void RewriteRelations(
    orra::db::Connection& catalogue, const QString& catalogueDatabase, long docID, orra::xml::Node root);

}   // namespace morvane
