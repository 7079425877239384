#pragma once
// Include expansion: every `Include` (or "IInclude") of a stored query document receives a copy
// of the included document's current text as an embedded `Document`, its last child. The
// embedded elements (except Inheritance) carry their IDs prefixed with the Include's ID and
// "|", the quoted references in their scripts follow, the PID of each binding of the Include
// is prefixed the same way, and the RID of a binding of a nested Include takes the prefix of
// the document that holds it (unless it is a constant, "$" first). Expansion recurses depth
// first in document order.
//
// Guard: an Include whose document is the one being expanded (rootDocID), or a document that
// already encloses that Include (a loop that does not pass through the root, A > B > C > B),
// is refused with orra::Error(kSystemError, "IncludeDocument",
//   "Could not include to current document" CR LF "because this will cause a recursive chain").
// The tree keeps what was expanded before the failing include.
//
// A DocID that is not a whole number is refused before any SQL runs; a missing catalogue row,
// a NULL text or a text that does not parse gives an orra::Error naming the document number.

#include "common/Xml.h"
#include "platform/db/Connection.h"

#include <QSet>
#include <QString>
#include <functional>

namespace orra {

// The recursion guard's message.
QString RecursiveIncludeMessage();

// The most characters of included text that one expansion (ExpandIncludes) takes in; more is
// refused with orra::Error(kSystemError, "IncludeDocument", IncludeExpansionLimitMessage(docID)), docID
// being the document whose copy would pass the limit.
inline constexpr qint64 kIncludeExpansionLimit = 32 * 1024 * 1024;
QString IncludeExpansionLimitMessage(long docID);

// What a source knows of one catalogue document's stored text (SQLtxt). A source may throw
// orra::Error (provider failure).
struct IncludedText {
    bool found = false;    // a catalogue row exists
    bool isNull = false;   // its SQLtxt is NULL
    QString text;
};
using IncludeTextSource = std::function<IncludedText(long docID)>;

// The source that reads the catalogue on connection:
// "select Name,SQLTxt from " + catalogueDatabase + "..tbOrraSQL where Id=" + docID.
// The designer passes its catalogue database name; the run-time library passes "" and so
// names the table in the connection's current database.
IncludeTextSource CatalogueIncludeSource(db::Connection* connection, const QString& catalogueDatabase = QString());

// Expands every include below node (the root element or any element); rootDocID is the
// catalogue number of the document being expanded. Throws orra::Error as described above.
void ExpandIncludes(
    db::Connection* connection, xml::Node node, long rootDocID, const QString& catalogueDatabase = QString());
void ExpandIncludes(const IncludeTextSource& source, xml::Node node, long rootDocID);

// Fills one Include element (without expanding what the embedded document includes).
void IncludeDocument(
    db::Connection* connection, xml::Node include, long rootDocID, const QString& catalogueDatabase = QString());
void IncludeDocument(const IncludeTextSource& source, xml::Node include, long rootDocID);

// The documents that expansion would take into the stored text: the DocID of every Include
// (or "IInclude") at any depth that names a whole number, read as expansion reads it. A text
// that does not load includes nothing (it never runs).
QSet<long> IncludedDocumentIDs(const QString& storedText);

}   // namespace orra
