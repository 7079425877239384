#pragma once
// The XML document object of the system: a thin layer over pugixml in the vocabulary the query
// document code is written in (load from text with the parse error's line and column, the
// serialised ".xml" without a declaration, the first/last CDATA child, copies of subtrees).
//
// Nodes are pugi::xml_node handles (cheap to copy, null when "nothing"). Names and values are
// UTF-8 inside pugixml; every helper here takes and gives QString, so text crosses to Qt at
// this edge. pugixml keeps attributes in insertion order and CDATA sections as they are, so a
// document written back comes out in the order it was built.
//
// pugixml has no detached nodes: where MSXML creates a node and appends it later, the helpers
// below create it directly in place (appendElement, appendCData, appendCopy). A subtree meant
// to live on its own (a clipboard copy, a document about to be embedded) lives in its own
// Document.

#include <QString>
#include <pugixml.hpp>
#include <cstring>
#include <vector>

namespace orra::xml {

using Node = pugi::xml_node;
using Attribute = pugi::xml_attribute;

// The deepest nesting of elements a document may have (counting the root as level 1). Deeper
// text is refused on load, so that no walk over a document can exhaust the stack.
inline constexpr long kMaxDepth = 1000;

// What loadXML reports when the text is not a well-formed document. errorCode 0: no error.
struct ParseError {
    int errorCode = 0;   // pugi::xml_parse_status (0 = ok)
    QString reason;      // a short English description
    long line = 0;       // 1-based line of the fault
    long linepos = 0;    // 1-based column (in characters) of the fault
    long filepos = 0;    // 0-based character offset of the fault
};

class Document {
public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Replaces the content with the document parsed from text. Line ends are normalised to LF,
    // whitespace-only text between elements is dropped, CDATA is kept as written (adjacent
    // sections, as a section holding "]]>" is written, are joined into one). A text that
    // is not exactly one well-formed element (with optional declaration, comments and processing
    // instructions around it), or that nests elements more than kMaxDepth levels deep, fails:
    // false, the document is left empty, parseError() tells why.
    bool loadXML(const QString& text);
    const ParseError& parseError() const { return m_error; }

    // The serialised document without an XML declaration (unless one was loaded), each
    // top-level node followed by CR LF, as MSXML's xml property gives it.
    QString xml() const;

    // The root element, or a null node when the document is empty.
    Node documentElement() const;
    // The document node itself (parent of the root element).
    Node node() const { return m_doc; }

    // Empties the document.
    void clear();

    pugi::xml_document& pugiDocument() { return m_doc; }
    const pugi::xml_document& pugiDocument() const { return m_doc; }

private:
    pugi::xml_document m_doc;
    ParseError m_error;
};

// Node kinds.
inline bool isElement(Node n) { return n.type() == pugi::node_element; }
inline bool isCData(Node n) { return n.type() == pugi::node_cdata; }

// The tag name of an element ("" for other nodes).
QString tagName(Node n);
inline bool hasTag(Node n, const char* tag)
{
    if (n.type() != pugi::node_element) return false;
    const char* name = n.name();
    return name[0] == tag[0] && std::strcmp(name, tag) == 0;
}

// Attribute values: "" when absent (MSXML's getAttribute would give Null; callers of the system
// read it as text). hasAttribute tells the two apart.
QString attribute(Node element, const QString& name);
bool hasAttribute(Node element, const QString& name);
// Sets an attribute; a new one is appended after the existing ones (insertion order).
void setAttribute(Node element, const QString& name, const QString& value);
void removeAttribute(Node element, const QString& name);

// The first child of element when it is a CDATA (or text) node, else a null node.
Node firstCData(Node element);
// The first CDATA section among element's children, or a null node.
Node firstCDataChild(Node element);
// The last CDATA section among element's children, or a null node.
Node lastCDataChild(Node element);
// The text of a CDATA/text node ("" for a null node).
QString nodeText(Node n);
void setNodeText(Node n, const QString& text);
// The text of element's first child when it is CDATA or text ("" otherwise): the body text of
// Document, Block, Station and Script.
QString bodyText(Node element);

// Creation in place.
Node appendElement(Node parent, const QString& name);
Node insertElementBefore(Node parent, const QString& name, Node before);
Node appendCData(Node parent, const QString& text);
// Deep copy of source (from any document) appended to parent; returns the copy.
Node appendCopy(Node parent, Node source);
Node insertCopyBefore(Node parent, Node source, Node before);
// Removes child from its parent (with its subtree).
bool removeChild(Node parent, Node child);

// Parses text as a document (the rules of Document::loadXML) and appends its root element to
// parent as the last child; declaration, comments and processing instructions around the root
// are dropped. The result may not reach deeper than kMaxDepth levels below the document.
// Returns the appended root, or a null node with error filled and parent unchanged.
Node appendParsed(Node parent, const QString& text, ParseError& error);

// Serialised form of one node and its subtree (no trailing line end).
QString outerXml(Node n);

// The child nodes of n (of every kind), in order, as a snapshot (safe to change the tree while walking it).
std::vector<Node> childNodes(Node n);

}   // namespace orra::xml
