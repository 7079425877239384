#include "common/Xml.h"

#include <QByteArray>
#include <cctype>
#include <cstring>
#include <string>

namespace orra::xml {

namespace {

// Parse options: CDATA kept, entities and character references decoded, line ends normalised,
// attribute whitespace normalised as the XML rules ask, whitespace-only text dropped, comments
// and processing instructions kept, a declaration kept when present.
// Parsed as a fragment, so that stray text around the root shows up and can be refused.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration
    | pugi::parse_doctype | pugi::parse_fragment;
// Parsing into an element: a declaration there is skipped rather than refused.
constexpr unsigned kAppendOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;

// Output: no indentation, no added declaration, UTF-8 bytes.
constexpr unsigned kWriteOptions = pugi::format_raw | pugi::format_no_declaration;

QByteArray utf8(const QString& s) { return s.toUtf8(); }

QString fromUtf8(const char* s) { return QString::fromUtf8(s, qsizetype(std::strlen(s))); }

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), qsizetype(size)); }
    QByteArray out;
};

const char* statusText(pugi::xml_parse_status s)
{
    switch (s) {
    case pugi::status_ok:
        return "No error";
    case pugi::status_no_document_element:
        return "The document has no root element";
    case pugi::status_bad_pi:
        return "Invalid processing instruction or declaration";
    case pugi::status_bad_comment:
        return "Invalid comment";
    case pugi::status_bad_cdata:
        return "Invalid CDATA section";
    case pugi::status_bad_doctype:
        return "Invalid document type declaration";
    case pugi::status_bad_pcdata:
        return "Invalid text";
    case pugi::status_bad_start_element:
        return "Invalid start tag";
    case pugi::status_bad_attribute:
        return "Invalid attribute";
    case pugi::status_bad_end_element:
        return "Invalid end tag";
    case pugi::status_end_element_mismatch:
        return "End tag does not match the start tag";
    case pugi::status_append_invalid_root:
        return "Invalid root";
    default:
        return "The text is not well-formed XML";
    }
}

// Line, column (1-based, in UTF-16 characters as QString counts them) and character offset
// of a byte offset into a UTF-8 buffer.
void locate(const QByteArray& bytes, ptrdiff_t offset, ParseError& e)
{
    if (offset < 0) offset = 0;
    if (offset > bytes.size()) offset = bytes.size();
    const QString before = QString::fromUtf8(bytes.constData(), qsizetype(offset));
    e.filepos = before.size();
    e.line = before.count(QLatin1Char('\n')) + 1;
    const qsizetype nl = before.lastIndexOf(QLatin1Char('\n'));
    e.linepos = before.size() - (nl + 1) + 1;
}

// A CDATA section holding "]]>" is written as two adjacent sections; joining adjacent sections
// on load gives the body text back whole. Sections with only white space between them (written
// by hand or by another tool) are adjacent too once loaded, and are joined the same way, so
// that the text shown after this load is the text the next load shows.
void joinSplitCData(Node n)
{
    for (Node c = n.first_child(); c;) {
        Node next = c.next_sibling();
        if (c.type() == pugi::node_cdata && next.type() == pugi::node_cdata) {
            std::string joined = std::string(c.value()) + next.value();
            c.set_value(joined.c_str());
            n.remove_child(next);
            continue;
        }
        if (c.type() == pugi::node_element) joinSplitCData(c);
        c = next;
    }
}

void joinSplitCDataIfAny(const QByteArray& bytes, Node n)
{
    static const QByteArray open("<![CDATA[");
    for (qsizetype at = bytes.indexOf("]]>"); at >= 0; at = bytes.indexOf("]]>", at + 3)) {
        qsizetype next = at + 3;
        while (next < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[next]))) ++next;
        if (QByteArrayView(bytes).sliced(next).startsWith(open)) {
            joinSplitCData(n);
            return;
        }
    }
}

// True when some element below n lies more than limit levels below it (n's children are one
// level below). Walks without recursion, so that the depth itself cannot exhaust the stack.
bool nestedDeeperThan(Node n, long limit, Node& at)
{
    long depth = 1;
    Node cur = n.first_child();
    while (cur) {
        if (depth > limit && cur.type() == pugi::node_element) {
            at = cur;
            return true;
        }
        if (Node child = cur.first_child()) {
            cur = child;
            ++depth;
            continue;
        }
        while (!cur.next_sibling()) {
            cur = cur.parent();
            --depth;
            if (cur == n || !cur) return false;
        }
        cur = cur.next_sibling();
    }
    return false;
}

// The levels above n up to its document.
long levelsAbove(Node n)
{
    long d = 0;
    for (Node p = n; p && p.type() != pugi::node_document; p = p.parent()) ++d;
    return d;
}

// Refuses a parse result that nests elements deeper than kMaxDepth below the document.
bool checkDepth(const QByteArray& bytes, Node parsedInto, ParseError& e)
{
    const long room = kMaxDepth - levelsAbove(parsedInto);
    if (bytes.count('<') <= room) return true;   // cannot be that deep
    Node at;
    if (!nestedDeeperThan(parsedInto, room, at)) return true;
    e.errorCode = int(pugi::status_internal_error);
    e.reason = QStringLiteral("The document is nested more than %1 levels deep").arg(kMaxDepth);
    const ptrdiff_t offset = at.offset_debug();
    locate(bytes, offset >= 0 ? offset : 0, e);
    return false;
}

}   // namespace

Document::Document() = default;
Document::~Document() = default;

bool Document::loadXML(const QString& text)
{
    m_doc.reset();
    m_error = ParseError{};
    const QByteArray bytes = utf8(text);
    const pugi::xml_parse_result r =
        m_doc.load_buffer(bytes.constData(), size_t(bytes.size()), kParseOptions, pugi::encoding_utf8);
    if (!r) {
        m_error.errorCode = int(r.status);
        m_error.reason = QString::fromLatin1(statusText(r.status));
        locate(bytes, r.offset, m_error);
        m_doc.reset();
        return false;
    }
    // One root element and nothing but markup around it; pugixml itself is lenient there.
    int elements = 0;
    for (Node n = m_doc.first_child(); n; n = n.next_sibling()) {
        switch (n.type()) {
        case pugi::node_element:
            ++elements;
            break;
        case pugi::node_comment:
        case pugi::node_pi:
        case pugi::node_declaration:
        case pugi::node_doctype:
            break;
        default:
            elements = 2;
            break;   // text or CDATA at the top level
        }
    }
    if (elements != 1) {
        m_error.errorCode = int(elements == 0 ? pugi::status_no_document_element : pugi::status_append_invalid_root);
        m_error.reason = elements == 0 ? QStringLiteral("The document has no root element")
                                       : QStringLiteral("Only one top level element is allowed");
        locate(bytes, elements == 0 ? bytes.size() : 0, m_error);
        m_doc.reset();
        return false;
    }
    if (!checkDepth(bytes, m_doc, m_error)) {
        m_doc.reset();
        return false;
    }
    joinSplitCDataIfAny(bytes, m_doc);
    return true;
}

QString Document::xml() const
{
    StringWriter w;
    for (Node n = m_doc.first_child(); n; n = n.next_sibling()) {
        n.print(w, "", kWriteOptions, pugi::encoding_utf8);
        w.out.append("\r\n");
    }
    return QString::fromUtf8(w.out);
}

Node Document::documentElement() const { return m_doc.document_element(); }

void Document::clear()
{
    m_doc.reset();
    m_error = ParseError{};
}

QString tagName(Node n) { return isElement(n) ? fromUtf8(n.name()) : QString(); }

QString attribute(Node element, const QString& name)
{
    const Attribute a = element.attribute(utf8(name).constData());
    return a ? fromUtf8(a.value()) : QString();
}

bool hasAttribute(Node element, const QString& name) { return bool(element.attribute(utf8(name).constData())); }

void setAttribute(Node element, const QString& name, const QString& value)
{
    const QByteArray n = utf8(name);
    Attribute a = element.attribute(n.constData());
    if (!a) a = element.append_attribute(n.constData());
    a.set_value(utf8(value).constData());
}

void removeAttribute(Node element, const QString& name) { element.remove_attribute(utf8(name).constData()); }

Node firstCData(Node element)
{
    const Node c = element.first_child();
    return (c.type() == pugi::node_cdata || c.type() == pugi::node_pcdata) ? c : Node();
}

Node firstCDataChild(Node element)
{
    for (Node c = element.first_child(); c; c = c.next_sibling())
        if (isCData(c)) return c;
    return Node();
}

Node lastCDataChild(Node element)
{
    for (Node c = element.last_child(); c; c = c.previous_sibling())
        if (isCData(c)) return c;
    return Node();
}

QString nodeText(Node n) { return n ? fromUtf8(n.value()) : QString(); }

void setNodeText(Node n, const QString& text) { n.set_value(utf8(text).constData()); }

QString bodyText(Node element) { return nodeText(firstCData(element)); }

Node appendElement(Node parent, const QString& name) { return parent.append_child(utf8(name).constData()); }

Node insertElementBefore(Node parent, const QString& name, Node before)
{
    return parent.insert_child_before(utf8(name).constData(), before);
}

Node appendCData(Node parent, const QString& text)
{
    Node c = parent.append_child(pugi::node_cdata);
    c.set_value(utf8(text).constData());
    return c;
}

Node appendCopy(Node parent, Node source) { return parent.append_copy(source); }

Node insertCopyBefore(Node parent, Node source, Node before) { return parent.insert_copy_before(source, before); }

bool removeChild(Node parent, Node child) { return parent.remove_child(child); }

Node appendParsed(Node parent, const QString& text, ParseError& error)
{
    error = ParseError{};
    const QByteArray bytes = utf8(text);
    const Node before = parent.last_child();
    const pugi::xml_parse_result r =
        parent.append_buffer(bytes.constData(), size_t(bytes.size()), kAppendOptions, pugi::encoding_utf8);
    // The nodes this call appended (also on failure, pugixml may leave what it parsed).
    std::vector<Node> added;
    for (Node n = before ? before.next_sibling() : parent.first_child(); n; n = n.next_sibling()) added.push_back(n);
    auto undo = [&] {
        for (Node n : added) parent.remove_child(n);
    };
    if (!r) {
        undo();
        error.errorCode = int(r.status);
        error.reason = QString::fromLatin1(statusText(r.status));
        locate(bytes, r.offset, error);
        return Node();
    }
    Node root;
    int elements = 0;
    for (Node n : added) {
        switch (n.type()) {
        case pugi::node_element:
            ++elements;
            root = n;
            break;
        case pugi::node_comment:
        case pugi::node_pi:
        case pugi::node_declaration:
        case pugi::node_doctype:
            break;
        default:
            elements = 2;
            break;
        }
    }
    if (elements != 1) {
        undo();
        error.errorCode = int(elements == 0 ? pugi::status_no_document_element : pugi::status_append_invalid_root);
        error.reason = elements == 0 ? QStringLiteral("The document has no root element")
                                     : QStringLiteral("Only one top level element is allowed");
        locate(bytes, elements == 0 ? bytes.size() : 0, error);
        return Node();
    }
    for (Node n : added)
        if (n != root) parent.remove_child(n);
    if (!checkDepth(bytes, parent, error)) {
        parent.remove_child(root);
        return Node();
    }
    joinSplitCDataIfAny(bytes, root);
    return root;
}

QString outerXml(Node n)
{
    StringWriter w;
    n.print(w, "", kWriteOptions, pugi::encoding_utf8);
    return QString::fromUtf8(w.out);
}

std::vector<Node> childNodes(Node n)
{
    std::vector<Node> out;
    for (Node c = n.first_child(); c; c = c.next_sibling()) out.push_back(c);
    return out;
}

}   // namespace orra::xml
