#pragma once
// Internal to common/: the ID and reference rewriting shared by the query document helpers and
// include expansion, working on UTF-8 text as pugixml holds it.

#include "common/Xml.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orra::detail {

// Old ID -> new ID, in the order the elements were renamed. The texts live in one buffer.
class IdRenames {
public:
    IdRenames() = default;
    IdRenames(std::initializer_list<std::pair<std::string_view, std::string_view>> list)
    {
        for (const auto& [o, n] : list) add(o, n);
    }
    void add(std::string_view oldId, std::string_view newId)
    {
        Entry e{m_text.size(), oldId.size(), 0, newId.size()};
        m_text.append(oldId);
        e.newPos = m_text.size();
        m_text.append(newId);
        m_entries.push_back(e);
    }
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    std::string_view oldId(size_t i) const { return {m_text.data() + m_entries[i].oldPos, m_entries[i].oldLen}; }
    std::string_view newId(size_t i) const { return {m_text.data() + m_entries[i].newPos, m_entries[i].newLen}; }
    void reserve(size_t n, size_t textBytes)
    {
        m_entries.reserve(n);
        m_text.reserve(textBytes);
    }

private:
    struct Entry {
        size_t oldPos, oldLen, newPos, newLen;
    };
    std::string m_text;
    std::vector<Entry> m_entries;
};

// Applies, to the Script texts reachable from root as RewriteReferences walks them, every
// rename in order: each "\"old\"" becomes "\"new\"" (all occurrences, case-sensitive), exactly as
// if RewriteReferences had been called once per rename in that order.
void rewriteReferences(xml::Node root, const IdRenames& renames);

// Prefixes the IDs of element's subtree (Inheritance excluded) with prefix and collects the
// renames (old, new) in document order. An element without an ID, or with an empty one, is
// left as it is.
void prefixIds(xml::Node element, const std::string& prefix, IdRenames& renames);

// prefixIds then rewriteReferences, both from root, in one walk of the tree: what
// PrefixElementIDs does to the root element of a document.
void prefixDocument(xml::Node root, const std::string& prefix);

// Whole-number text (blanks around, an optional sign, decimal digits, 32-bit range).
bool parseWholeNumber(std::string_view text, long& value);

// Replaces every occurrence of from in s by to (non-overlapping, left to right). Returns the
// number of replacements.
int replaceAll(std::string& s, std::string_view from, std::string_view to);

}   // namespace orra::detail
