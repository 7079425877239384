#pragma once
// The query document and the helpers that search and rewrite it in memory.
//
// A query document is XML with the root `Document` (ID "B0") and the elements `Block`,
// `Station`, `Script`, `Parameter`, `Include` and `Inheritance`. The body text of Document,
// Block, Station and Script is one CDATA section, the element's first child. IDs:
//   Block     parent + "." + n        Station  parent + ".S" + n
//   Script    parent + ".X" + n       Include  parent + ".I" + n
//   Parameter owner + ".P_" + Name    Inheritance has none
// In the expanded form every element of an embedded document carries its own ID prefixed
// with the ID of the Include that holds it and "|" (B0.I0|B0.0), stacking for nested includes.
// Placeholders "<$" + parameter Name + "%>" appear in SQL and script texts, DefaultValue and
// Source. Scripts name elements by their ID between double quotes.
//
// All tag and attribute names are compared case-sensitively. The helpers raise no errors of
// their own.

#include "common/Xml.h"

#include <QString>

namespace orra {

// Tag and attribute names of the format.
namespace tags {
inline constexpr char Document[] = "Document";
inline constexpr char Block[] = "Block";
inline constexpr char Station[] = "Station";
inline constexpr char Script[] = "Script";
inline constexpr char Parameter[] = "Parameter";
inline constexpr char Include[] = "Include";
inline constexpr char IInclude[] = "IInclude";
inline constexpr char Inheritance[] = "Inheritance";
}   // namespace tags

// The first element below node whose attribute attributeName equals value exactly, or a null
// node. node itself is never compared. The direct children are tried first (CDATA passed
// over), then each child's subtree in document order by the same rule. Searching from a
// Document's node() therefore finds the root element too; from the root element, "B0" is not
// found.
xml::Node FindElementByAttribute(xml::Node node, const QString& attributeName, const QString& value);

// "B0.1.S2" -> "B0.1"; "B0" -> "".
QString TextBeforeLastDot(const QString& text);
// "B0.I0|B0.I1|B0.2" -> "B0.2"; "B0.2" -> "B0.2".
QString LastPipeSegment(const QString& text);

// Gives a subtree new IDs (a pasted copy): in every element but Inheritance the first
// occurrence of oldText in `ID` becomes newText, and the quoted references to the old ID in the
// scripts of the element's document (RewriteReferences from the root element of the pugixml
// document that holds element) follow; in an Inheritance the first occurrence in `PID` and in
// `RID` is replaced. Recurses into every child that is not CDATA. Changes the tree in place.
void RenumberElementIDs(xml::Node element, const QString& newText, const QString& oldText);

// Prefixes every ID of the subtree (except Inheritance elements, which keep theirs) with
// prefix + separator; the quoted references in the scripts of the element's document follow.
void PrefixElementIDs(xml::Node element, const QString& prefix, const QString& separator);

// In the body text of element when it is a Script, every "\"" + oldID + "\"" becomes
// "\"" + newID + "\""; then the same for every child Script or Block (recursively). Include,
// Parameter and Station elements are not entered; the document's description is never changed.
void RewriteReferences(xml::Node element, const QString& oldID, const QString& newID);

// Carries a parameter's rename through its owner (called on the owning element after the
// parameter's ID and Name were changed, with rewriteParameters false):
// - rewriteParameters: in DefaultValue and Source of each child Parameter, "<$old%>" ->
//   "<$new%>" (a missing attribute counts as empty and stays absent); a child Parameter named
//   oldName shadows the old name at this level;
// - every Inheritance of a child Include whose RID equals oldID gets RID = newID;
// - unless shadowed: "<$old%>" -> "<$new%>" in the owner's CDATA texts, and the same walk in
//   every child Script and Block with rewriteParameters true.
// Station texts are not rewritten.
void RenameParameter(xml::Node element, const QString& oldID, const QString& oldName, const QString& newID,
    const QString& newName, bool rewriteParameters);

// The lock information document handed to the catalogue's lock procedure:
// <Document><Program Name="programName" DB="database"/><Parameter Name="DocID" Value="docID"/></Document>
// serialised as Document::xml() gives it.
QString LockInfoXML(long docID, const QString& programName, const QString& database);

// Whole-number text as the system writes document numbers ("12", "-3"; surrounding blanks
// allowed). Returns false for anything else (empty, "12a", "1e3", "1.5", out of range).
bool ParseWholeNumber(const QString& text, long& value);

}   // namespace orra
