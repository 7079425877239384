#include "common/QueryDocument.h"
#include "common/DocumentRewrite.h"

#include <QByteArray>
#include <algorithm>
#include <functional>
#include <cstring>
#include <limits>
#include <string_view>

namespace orra {

namespace detail {

int replaceAll(std::string& s, std::string_view from, std::string_view to)
{
    if (from.empty()) return 0;
    size_t pos = s.find(from);
    if (pos == std::string::npos) return 0;
    std::string out;
    out.reserve(s.size() + (to.size() > from.size() ? (to.size() - from.size()) * 4 : 0));
    size_t last = 0;
    int n = 0;
    while (pos != std::string::npos) {
        out.append(s, last, pos - last);
        out.append(to);
        last = pos + from.size();
        ++n;
        pos = s.find(from, last);
    }
    out.append(s, last, std::string::npos);
    s.swap(out);
    return n;
}

namespace {

// The renames of one rewrite, hashed by old ID for a quick look at each script: an open
// addressing table of the first rename of each old ID, and for each rename the next one with
// the same old ID.
struct RenameIndex {
    const IdRenames& renames;
    std::vector<int32_t> table;      // rename index + 1; 0 = empty
    std::vector<int32_t> nextSame;   // next rename with the same old ID, or -1
    size_t mask = 0;
    bool quotedIds = false;   // some old ID holds a double quote: every rename is tried

    explicit RenameIndex(const IdRenames& r) : renames(r), nextSame(r.size(), -1)
    {
        size_t capacity = 16;
        while (capacity < r.size() * 2) capacity *= 2;
        table.assign(capacity, 0);
        mask = capacity - 1;
        std::vector<int32_t> lastSame(r.size(), -1);
        for (size_t i = 0; i < r.size(); ++i) {
            const std::string_view id = r.oldId(i);
            if (id.find('"') != std::string_view::npos) quotedIds = true;
            size_t h = std::hash<std::string_view>{}(id)&mask;
            for (;; h = (h + 1) & mask) {
                if (table[h] == 0) {
                    table[h] = int32_t(i) + 1;
                    lastSame[i] = int32_t(i);
                    break;
                }
                const size_t first = size_t(table[h] - 1);
                if (r.oldId(first) == id) {
                    nextSame[size_t(lastSame[first])] = int32_t(i);
                    lastSame[first] = int32_t(i);
                    break;
                }
            }
        }
    }

    // The first rename whose old ID is id, or -1.
    int32_t firstOf(std::string_view id) const
    {
        for (size_t h = std::hash<std::string_view>{}(id)&mask;; h = (h + 1) & mask) {
            if (table[h] == 0) return -1;
            if (renames.oldId(size_t(table[h] - 1)) == id) return table[h] - 1;
        }
    }

    // Appends every rename whose old ID is id.
    void renamesOf(std::string_view id, std::vector<size_t>& out) const
    {
        for (int32_t i = firstOf(id); i >= 0; i = nextSame[size_t(i)]) out.push_back(size_t(i));
    }

    // The renames whose old ID is a quoted run of text (the contents between two consecutive
    // double quotes, every quote closing one run and opening the next), in order.
    void candidates(std::string_view text, std::vector<size_t>& out) const
    {
        out.clear();
        if (quotedIds) {
            for (size_t i = 0; i < renames.size(); ++i) out.push_back(i);
            return;
        }
        size_t open = text.find('"');
        while (open != std::string_view::npos) {
            const size_t close = text.find('"', open + 1);
            if (close == std::string_view::npos) break;
            renamesOf(text.substr(open + 1, close - open - 1), out);
            open = close;
        }
        if (out.size() > 1) {
            std::sort(out.begin(), out.end());
            out.erase(std::unique(out.begin(), out.end()), out.end());
        }
    }
};

std::string quoted(std::string_view id)
{
    std::string q;
    q.reserve(id.size() + 2);
    q += '"';
    q += id;
    q += '"';
    return q;
}

// Applies the renames in order, as one text replace each. A replace can only create the quoted
// run of its new ID, so the renames to try are those whose old ID is a quoted run of the text
// or the new ID of a rename applied before.
void rewriteScriptText(xml::Node cdata, const RenameIndex& index, std::vector<size_t>& work, std::vector<size_t>& found)
{
    const char* value = cdata.value();
    if (!std::strchr(value, '"')) return;
    index.candidates(value, work);
    if (work.empty()) return;

    std::string text(value);
    bool changed = false;
    for (size_t k = 0; k < work.size(); ++k) {
        const size_t i = work[k];
        if (replaceAll(text, quoted(index.renames.oldId(i)), quoted(index.renames.newId(i))) == 0) continue;
        changed = true;
        if (index.quotedIds) continue;   // every rename is in the work list already
        // The new quoted run is what later renames of that old ID will meet.
        found.clear();
        index.renamesOf(index.renames.newId(i), found);
        for (size_t m : found) {
            if (m <= i) continue;
            const auto pos = std::lower_bound(work.begin() + long(k) + 1, work.end(), m);
            if (pos == work.end() || *pos != m) work.insert(pos, m);
        }
    }
    if (changed) cdata.set_value(text.c_str());
}

void rewriteWalk(xml::Node element, const RenameIndex& index, std::vector<size_t>& work, std::vector<size_t>& found)
{
    const bool isScript = xml::hasTag(element, tags::Script);
    for (xml::Node c = element.first_child(); c; c = c.next_sibling()) {
        if (xml::isCData(c)) {
            if (isScript) rewriteScriptText(c, index, work, found);
        } else if (xml::hasTag(c, tags::Script) || xml::hasTag(c, tags::Block)) {
            rewriteWalk(c, index, work, found);
        }
    }
}

}   // namespace

void rewriteReferences(xml::Node root, const IdRenames& renames)
{
    if (!root || renames.empty()) return;
    const RenameIndex index(renames);
    std::vector<size_t> work, found;
    rewriteWalk(root, index, work, found);
}

namespace {

// Prefixes the IDs below element. When scripts is given, element is reachable by the reference
// rewrite (the root, or a Script or Block below reachable Blocks) and the CDATA sections of
// reachable Scripts are collected into it, in the order the rewrite walks them.
void prefixWalk(
    xml::Node element, std::string& buffer, size_t prefixLength, IdRenames& renames, std::vector<xml::Node>* scripts)
{
    if (xml::hasTag(element, tags::Inheritance)) return;
    pugi::xml_attribute id = element.attribute("ID");
    if (id && *id.value()) {
        buffer.resize(prefixLength);
        buffer += id.value();
        renames.add(std::string_view(buffer).substr(prefixLength), buffer);
        id.set_value(buffer.c_str());
    }
    const bool isScript = scripts && xml::hasTag(element, tags::Script);
    for (xml::Node c = element.first_child(); c; c = c.next_sibling()) {
        if (xml::isElement(c)) {
            const bool reachable = scripts && (xml::hasTag(c, tags::Script) || xml::hasTag(c, tags::Block));
            prefixWalk(c, buffer, prefixLength, renames, reachable ? scripts : nullptr);
        } else if (isScript && xml::isCData(c)) {
            scripts->push_back(c);
        }
    }
}

}   // namespace

void prefixIds(xml::Node element, const std::string& prefix, IdRenames& renames)
{
    std::string buffer = prefix;
    buffer.reserve(prefix.size() + 64);
    prefixWalk(element, buffer, prefix.size(), renames, nullptr);
}

void prefixDocument(xml::Node root, const std::string& prefix)
{
    if (!root) return;
    IdRenames renames;
    std::vector<xml::Node> scripts;
    std::string buffer = prefix;
    buffer.reserve(prefix.size() + 64);
    prefixWalk(root, buffer, prefix.size(), renames, &scripts);
    if (renames.empty() || scripts.empty()) return;
    const RenameIndex index(renames);
    std::vector<size_t> work, found;
    for (xml::Node cdata : scripts) rewriteScriptText(cdata, index, work, found);
}

bool parseWholeNumber(std::string_view t, long& value)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!t.empty() && blank(t.front())) t.remove_prefix(1);
    while (!t.empty() && blank(t.back())) t.remove_suffix(1);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty() || t.size() > 10) return false;
    int64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    value = long(v);
    return true;
}

}   // namespace detail

namespace {

xml::Node findByAttribute(xml::Node node, const char* name, const char* value)
{
    if (!node.first_child()) return xml::Node();
    for (xml::Node c = node.first_child(); c; c = c.next_sibling()) {
        if (!xml::isElement(c)) continue;
        const pugi::xml_attribute a = c.attribute(name);
        if (a && std::strcmp(a.value(), value) == 0) return c;
    }
    for (xml::Node c = node.first_child(); c; c = c.next_sibling()) {
        if (!xml::isElement(c)) continue;
        if (xml::Node found = findByAttribute(c, name, value)) return found;
    }
    return xml::Node();
}

// The root element of the document that holds node.
xml::Node documentRootOf(xml::Node node)
{
    for (xml::Node c = node.root().first_child(); c; c = c.next_sibling())
        if (xml::isElement(c)) return c;
    return xml::Node();
}

// Replaces the first occurrence of from in s by to; false when there is none.
bool replaceFirst(std::string& s, const std::string& from, const std::string& to)
{
    if (from.empty()) return false;   // VB's Replace with an empty find text changes nothing
    const size_t pos = s.find(from);
    if (pos == std::string::npos) return false;
    s.replace(pos, from.size(), to);
    return true;
}

void renumber(xml::Node element, const std::string& newText, const std::string& oldText, detail::IdRenames& renames)
{
    if (xml::hasTag(element, tags::Inheritance)) {
        for (const char* name : {"PID", "RID"}) {
            pugi::xml_attribute a = element.attribute(name);
            if (!a) continue;
            std::string v = a.value();
            if (replaceFirst(v, oldText, newText)) a.set_value(v.c_str());
        }
        return;
    }
    pugi::xml_attribute id = element.attribute("ID");
    if (id) {
        std::string oldId = id.value();
        std::string newId = oldId;
        if (replaceFirst(newId, oldText, newText)) {
            id.set_value(newId.c_str());
            if (!oldId.empty()) renames.add(oldId, newId);
        }
    }
    for (xml::Node c = element.first_child(); c; c = c.next_sibling())
        if (xml::isElement(c)) renumber(c, newText, oldText, renames);
}

std::string u8(const QString& s)
{
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}

struct RenameTexts {
    std::string oldId, newId, oldPlaceholder, newPlaceholder, oldName;
};

void replaceInAttribute(xml::Node element, const char* name, const RenameTexts& t)
{
    pugi::xml_attribute a = element.attribute(name);
    if (!a) return;   // a missing DefaultValue or Source counts as empty
    std::string v = a.value();
    if (detail::replaceAll(v, t.oldPlaceholder, t.newPlaceholder) > 0) a.set_value(v.c_str());
}

void rebindInheritances(xml::Node include, const RenameTexts& t)
{
    for (xml::Node c = include.first_child(); c; c = c.next_sibling()) {
        if (!xml::isElement(c)) continue;
        if (xml::hasTag(c, tags::Inheritance)) {
            pugi::xml_attribute rid = c.attribute("RID");
            if (rid && t.oldId == rid.value()) rid.set_value(t.newId.c_str());
        }
        rebindInheritances(c, t);
    }
}

void renameParameter(xml::Node element, const RenameTexts& t, bool rewriteParameters)
{
    const std::vector<xml::Node> children = xml::childNodes(element);
    bool shadowed = false;
    for (xml::Node c : children) {
        if (rewriteParameters && xml::hasTag(c, tags::Parameter)) {
            if (t.oldName == c.attribute("Name").value()) shadowed = true;
            replaceInAttribute(c, "DefaultValue", t);
            replaceInAttribute(c, "Source", t);
        } else if (xml::hasTag(c, tags::Include)) {
            rebindInheritances(c, t);
        }
    }
    if (shadowed) return;
    for (xml::Node c : children) {
        if (xml::isCData(c)) {
            std::string v = c.value();
            if (detail::replaceAll(v, t.oldPlaceholder, t.newPlaceholder) > 0) c.set_value(v.c_str());
        } else if (xml::hasTag(c, tags::Script) || xml::hasTag(c, tags::Block)) {
            renameParameter(c, t, true);
        }
    }
}

}   // namespace

xml::Node FindElementByAttribute(xml::Node node, const QString& attributeName, const QString& value)
{
    if (!node) return xml::Node();
    const QByteArray name = attributeName.toUtf8();
    const QByteArray v = value.toUtf8();
    return findByAttribute(node, name.constData(), v.constData());
}

QString TextBeforeLastDot(const QString& text)
{
    const qsizetype i = text.lastIndexOf(QLatin1Char('.'));
    return i < 0 ? QString() : text.left(i);
}

QString LastPipeSegment(const QString& text)
{
    const qsizetype i = text.lastIndexOf(QLatin1Char('|'));
    return i < 0 ? text : text.mid(i + 1);
}

void RenumberElementIDs(xml::Node element, const QString& newText, const QString& oldText)
{
    if (!element) return;
    detail::IdRenames renames;
    renumber(element, u8(newText), u8(oldText), renames);
    detail::rewriteReferences(documentRootOf(element), renames);
}

void PrefixElementIDs(xml::Node element, const QString& prefix, const QString& separator)
{
    if (!element) return;
    if (element == documentRootOf(element)) {
        detail::prefixDocument(element, u8(prefix + separator));
        return;
    }
    detail::IdRenames renames;
    detail::prefixIds(element, u8(prefix + separator), renames);
    detail::rewriteReferences(documentRootOf(element), renames);
}

void RewriteReferences(xml::Node element, const QString& oldID, const QString& newID)
{
    if (!element || oldID.isEmpty()) return;
    const std::string o = u8(oldID), n = u8(newID);
    detail::rewriteReferences(element, {{o, n}});
}

void RenameParameter(xml::Node element, const QString& oldID, const QString& oldName, const QString& newID,
    const QString& newName, bool rewriteParameters)
{
    if (!element) return;
    RenameTexts t;
    t.oldId = u8(oldID);
    t.newId = u8(newID);
    t.oldName = u8(oldName);
    t.oldPlaceholder = u8(QStringLiteral("<$") + oldName + QStringLiteral("%>"));
    t.newPlaceholder = u8(QStringLiteral("<$") + newName + QStringLiteral("%>"));
    renameParameter(element, t, rewriteParameters);
}

QString LockInfoXML(long docID, const QString& programName, const QString& database)
{
    xml::Document doc;
    xml::Node root = xml::appendElement(doc.node(), QStringLiteral("Document"));
    xml::Node program = xml::appendElement(root, QStringLiteral("Program"));
    xml::setAttribute(program, QStringLiteral("Name"), programName);
    xml::setAttribute(program, QStringLiteral("DB"), database);
    xml::Node parameter = xml::appendElement(root, QStringLiteral("Parameter"));
    xml::setAttribute(parameter, QStringLiteral("Name"), QStringLiteral("DocID"));
    xml::setAttribute(parameter, QStringLiteral("Value"), QString::number(docID));
    return doc.xml();
}

bool ParseWholeNumber(const QString& text, long& value)
{
    const QByteArray bytes = text.toUtf8();
    return detail::parseWholeNumber(std::string_view(bytes.constData(), size_t(bytes.size())), value);
}

}   // namespace orra
