#include "common/IncludeExpansion.h"

#include "common/DocumentRewrite.h"
#include "common/QueryDocument.h"
#include "platform/db/Recordset.h"
#include "platform/host/Error.h"

#include <QByteArray>
#include <QLocale>
#include <cstring>

namespace orra {

namespace {

const QString kSource = QStringLiteral("IncludeDocument");

bool isInclude(xml::Node n) { return xml::hasTag(n, tags::Include) || xml::hasTag(n, tags::IInclude); }

// True when an Include enclosing include (an ancestor) names docID: including it again would
// never end.
bool enclosedBy(xml::Node include, long docID)
{
    for (xml::Node p = include.parent(); p; p = p.parent()) {
        if (!isInclude(p)) continue;
        long enclosing = 0;
        if (detail::parseWholeNumber(p.attribute("DocID").value(), enclosing) && enclosing == docID) return true;
    }
    return false;
}

// Included text that one expansion may take in. Includes that each include the next several
// times multiply (22 levels of two give four million copies); the bound stops such a tree
// with a clear message long before memory runs out.
struct ExpansionBudget {
    qint64 used = 0;
};

void fillInclude(const IncludeTextSource& source, xml::Node include, long rootDocID, ExpansionBudget* budget);

void expand(const IncludeTextSource& source, xml::Node node, long rootDocID, ExpansionBudget& budget)
{
    if (!node) return;
    // Filling an include changes only that include's children, so the walk may go on from
    // each child to the sibling it had.
    for (xml::Node c = node.first_child(), next; c; c = next) {
        next = c.next_sibling();
        if (!xml::isElement(c)) continue;
        if (isInclude(c)) fillInclude(source, c, rootDocID, &budget);
        if (c.first_child()) expand(source, c, rootDocID, budget);
    }
}

}   // namespace

QString IncludeExpansionLimitMessage(long docID)
{
    return QStringLiteral("The included documents are too large: expanding them would exceed the limit of %1 "
                          "characters of included text (reached at the included document %2)")
        .arg(QLocale(QLocale::English).toString(kIncludeExpansionLimit))
        .arg(docID);
}

QString RecursiveIncludeMessage()
{
    return QStringLiteral("Could not include to current document\r\nbecause this will cause a recursive chain");
}

IncludeTextSource CatalogueIncludeSource(db::Connection* connection, const QString& catalogueDatabase)
{
    return [connection, catalogueDatabase](long docID) {
        if (!connection || !connection->isOpen())
            throw Error(kSystemError, kSource, QStringLiteral("The catalogue connection is not open"));
        db::RecordsetPtr rs = connection->execute(QStringLiteral("select Name,SQLTxt from ") + catalogueDatabase
            + QStringLiteral("..tbOrraSQL where Id=") + QString::number(docID));
        IncludedText t;
        if (!rs || !rs->isOpen() || rs->isEOF() || rs->fieldCount() < 2) return t;
        t.found = true;
        const QVariant& v = rs->value(1);
        t.isNull = db::isNull(v);
        if (!t.isNull) t.text = v.toString();
        return t;
    };
}

void IncludeDocument(const IncludeTextSource& source, xml::Node include, long rootDocID)
{
    fillInclude(source, include, rootDocID, nullptr);
}

namespace {

void fillInclude(const IncludeTextSource& source, xml::Node include, long rootDocID, ExpansionBudget* budget)
{
    if (!include) return;
    const std::string incId = include.attribute("ID").value();
    const std::string docIdText = include.attribute("DocID").value();

    // The number is pasted into SQL: nothing but a whole number goes there.
    long docID = 0;
    if (!detail::parseWholeNumber(docIdText, docID))
        throw Error(kSystemError, kSource,
            QStringLiteral("The include %1 names the document number '%2', which is not a whole number")
                .arg(QString::fromStdString(incId), QString::fromStdString(docIdText)));
    if (docID == rootDocID || enclosedBy(include, docID)) throw Error(kSystemError, kSource, RecursiveIncludeMessage());

    const IncludedText stored = source(docID);
    if (!stored.found)
        throw Error(kSystemError, kSource,
            QStringLiteral("The included document %1 does not exist in the catalogue").arg(docID));
    if (stored.isNull)
        throw Error(kSystemError, kSource, QStringLiteral("The included document %1 has no text").arg(docID));
    if (budget) {
        budget->used += stored.text.size();
        if (budget->used > kIncludeExpansionLimit)
            throw Error(kSystemError, kSource, IncludeExpansionLimitMessage(docID));
    }

    // Parse first: a text that does not load leaves the include as it was.
    xml::ParseError error;
    xml::Node root = xml::appendParsed(include, stored.text, error);
    if (!root)
        throw Error(kSystemError, kSource,
            QStringLiteral("The included document %1 could not be loaded: %2 (line %3, column %4)")
                .arg(docID)
                .arg(error.reason)
                .arg(error.line)
                .arg(error.linepos));

    const size_t lastPipe = incId.rfind('|');
    const std::string outerPrefix = lastPipe == std::string::npos ? std::string() : incId.substr(0, lastPipe);

    // The bindings of this include: PID into the embedded document's IDs, RID into the IDs of
    // the document that holds the include.
    for (xml::Node c = include.first_child(); c && c != root; c = c.next_sibling()) {
        if (!xml::hasTag(c, tags::Inheritance)) continue;
        if (pugi::xml_attribute pid = c.attribute("PID")) pid.set_value((incId + '|' + pid.value()).c_str());
        if (!outerPrefix.empty()) {
            pugi::xml_attribute rid = c.attribute("RID");
            if (rid && rid.value()[0] != '$') rid.set_value((outerPrefix + '|' + rid.value()).c_str());
        }
    }

    // The embedded document's own IDs, and the quoted references in its scripts.
    detail::prefixDocument(root, incId + '|');
}

}   // namespace

namespace {

void collectIncludes(xml::Node node, QSet<long>& ids)
{
    for (xml::Node c = node.first_child(); c; c = c.next_sibling()) {
        if (!xml::isElement(c)) continue;
        long docID = 0;
        if (isInclude(c) && detail::parseWholeNumber(c.attribute("DocID").value(), docID)) ids.insert(docID);
        collectIncludes(c, ids);
    }
}

}   // namespace

QSet<long> IncludedDocumentIDs(const QString& storedText)
{
    QSet<long> ids;
    xml::Document doc;
    if (doc.loadXML(storedText)) collectIncludes(doc.documentElement(), ids);
    return ids;
}

void ExpandIncludes(const IncludeTextSource& source, xml::Node node, long rootDocID)
{
    ExpansionBudget budget;
    expand(source, node, rootDocID, budget);
}

void ExpandIncludes(db::Connection* connection, xml::Node node, long rootDocID, const QString& catalogueDatabase)
{
    ExpandIncludes(CatalogueIncludeSource(connection, catalogueDatabase), node, rootDocID);
}

void IncludeDocument(db::Connection* connection, xml::Node include, long rootDocID, const QString& catalogueDatabase)
{
    IncludeDocument(CatalogueIncludeSource(connection, catalogueDatabase), include, rootDocID);
}

}   // namespace orra
