#include "common/QueryDocument.h"
#include "common/DocumentRewrite.h"

#include <QByteArray>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_set>

namespace orra {

namespace detail {

int replaceAll(std::string& s, const std::string& from, const std::string& to) {
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

// The contents between consecutive double quotes of a text: every quote may close one quoted
// run and open the next, so this is a superset of what "\"x\"" can match for an x without quotes.
std::unordered_set<std::string_view> quotedRuns(std::string_view text) {
    std::unordered_set<std::string_view> runs;
    size_t open = text.find('"');
    while (open != std::string_view::npos) {
        const size_t close = text.find('"', open + 1);
        if (close == std::string_view::npos) break;
        runs.insert(text.substr(open + 1, close - open - 1));
        open = close;
    }
    return runs;
}

void rewriteScriptText(xml::Node cdata, const IdRenames& renames) {
    const char* value = cdata.value();
    if (!std::strchr(value, '"')) return;
    std::string text(value);
    // Which renames can apply at all; a replacement adds its new ID to what later ones may meet.
    std::unordered_set<std::string> present;
    for (std::string_view run : quotedRuns(text)) present.emplace(run);
    bool changed = false;
    for (const auto& [oldId, newId] : renames) {
        const bool candidate = oldId.find('"') != std::string::npos || present.count(oldId) != 0;
        if (!candidate) continue;
        if (replaceAll(text, '"' + oldId + '"', '"' + newId + '"') > 0) {
            changed = true;
            present.insert(newId);
        }
    }
    if (changed) cdata.set_value(text.c_str());
}

void rewriteWalk(xml::Node element, const IdRenames& renames) {
    const bool isScript = xml::hasTag(element, tags::Script);
    for (xml::Node c = element.first_child(); c; c = c.next_sibling()) {
        if (xml::isCData(c)) {
            if (isScript) rewriteScriptText(c, renames);
        } else if (xml::hasTag(c, tags::Script) || xml::hasTag(c, tags::Block)) {
            rewriteWalk(c, renames);
        }
    }
}

} // namespace

void rewriteReferences(xml::Node root, const IdRenames& renames) {
    if (!root || renames.empty()) return;
    rewriteWalk(root, renames);
}

void prefixIds(xml::Node element, const std::string& prefix, IdRenames& renames) {
    if (xml::hasTag(element, tags::Inheritance)) return;
    pugi::xml_attribute id = element.attribute("ID");
    if (id && *id.value()) {
        std::string oldId = id.value();
        std::string newId = prefix + oldId;
        id.set_value(newId.c_str());
        renames.emplace_back(std::move(oldId), std::move(newId));
    }
    for (xml::Node c = element.first_child(); c; c = c.next_sibling())
        if (xml::isElement(c)) prefixIds(c, prefix, renames);
}

} // namespace detail

namespace {

xml::Node findByAttribute(xml::Node node, const char* name, const char* value) {
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
xml::Node documentRootOf(xml::Node node) {
    for (xml::Node c = node.root().first_child(); c; c = c.next_sibling())
        if (xml::isElement(c)) return c;
    return xml::Node();
}

// Replaces the first occurrence of from in s by to; false when there is none.
bool replaceFirst(std::string& s, const std::string& from, const std::string& to) {
    if (from.empty()) return false;   // VB's Replace with an empty find text changes nothing
    const size_t pos = s.find(from);
    if (pos == std::string::npos) return false;
    s.replace(pos, from.size(), to);
    return true;
}

void renumber(xml::Node element, const std::string& newText, const std::string& oldText,
              detail::IdRenames& renames) {
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
            if (!oldId.empty()) renames.emplace_back(std::move(oldId), std::move(newId));
        }
    }
    for (xml::Node c = element.first_child(); c; c = c.next_sibling())
        if (xml::isElement(c)) renumber(c, newText, oldText, renames);
}

std::string u8(const QString& s) {
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}

struct RenameTexts {
    std::string oldId, newId, oldPlaceholder, newPlaceholder, oldName;
};

void replaceInAttribute(xml::Node element, const char* name, const RenameTexts& t) {
    pugi::xml_attribute a = element.attribute(name);
    if (!a) return;   // a missing DefaultValue or Source counts as empty
    std::string v = a.value();
    if (detail::replaceAll(v, t.oldPlaceholder, t.newPlaceholder) > 0) a.set_value(v.c_str());
}

void rebindInheritances(xml::Node include, const RenameTexts& t) {
    for (xml::Node c = include.first_child(); c; c = c.next_sibling()) {
        if (!xml::isElement(c)) continue;
        if (xml::hasTag(c, tags::Inheritance)) {
            pugi::xml_attribute rid = c.attribute("RID");
            if (rid && t.oldId == rid.value()) rid.set_value(t.newId.c_str());
        }
        rebindInheritances(c, t);
    }
}

void renameParameter(xml::Node element, const RenameTexts& t, bool rewriteParameters) {
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

} // namespace

xml::Node FindElementByAttribute(xml::Node node, const QString& attributeName, const QString& value) {
    if (!node) return xml::Node();
    const QByteArray name = attributeName.toUtf8();
    const QByteArray v = value.toUtf8();
    return findByAttribute(node, name.constData(), v.constData());
}

QString TextBeforeLastDot(const QString& text) {
    const qsizetype i = text.lastIndexOf(QLatin1Char('.'));
    return i < 0 ? QString() : text.left(i);
}

QString LastPipeSegment(const QString& text) {
    const qsizetype i = text.lastIndexOf(QLatin1Char('|'));
    return i < 0 ? text : text.mid(i + 1);
}

void RenumberElementIDs(xml::Node element, const QString& newText, const QString& oldText) {
    if (!element) return;
    detail::IdRenames renames;
    renumber(element, u8(newText), u8(oldText), renames);
    detail::rewriteReferences(documentRootOf(element), renames);
}

void PrefixElementIDs(xml::Node element, const QString& prefix, const QString& separator) {
    if (!element) return;
    detail::IdRenames renames;
    detail::prefixIds(element, u8(prefix + separator), renames);
    detail::rewriteReferences(documentRootOf(element), renames);
}

void RewriteReferences(xml::Node element, const QString& oldID, const QString& newID) {
    if (!element || oldID.isEmpty()) return;
    detail::rewriteReferences(element, {{u8(oldID), u8(newID)}});
}

void RenameParameter(xml::Node element, const QString& oldID, const QString& oldName,
                     const QString& newID, const QString& newName, bool rewriteParameters) {
    if (!element) return;
    RenameTexts t;
    t.oldId = u8(oldID);
    t.newId = u8(newID);
    t.oldName = u8(oldName);
    t.oldPlaceholder = u8(QStringLiteral("<$") + oldName + QStringLiteral("%>"));
    t.newPlaceholder = u8(QStringLiteral("<$") + newName + QStringLiteral("%>"));
    renameParameter(element, t, rewriteParameters);
}

QString LockInfoXML(long docID, const QString& programName, const QString& database) {
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

bool ParseWholeNumber(const QString& text, long& value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.unicode() >= '0' && c.unicode() <= '9') continue;
        if (i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+')) && t.size() > 1) continue;
        return false;
    }
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return false;
    value = long(v);
    return true;
}

} // namespace orra
