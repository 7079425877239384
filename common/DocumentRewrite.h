#pragma once
// Internal to common/: the ID and reference rewriting shared by the query document helpers and
// include expansion, working on UTF-8 text as pugixml holds it.

#include "common/Xml.h"

#include <string>
#include <utility>
#include <vector>

namespace orra::detail {

// Old ID -> new ID, in the order the elements were renamed.
using IdRenames = std::vector<std::pair<std::string, std::string>>;

// Applies, to the Script texts reachable from root as RewriteReferences walks them, every
// rename in order: each "\"old\"" becomes "\"new\"" (all occurrences, case-sensitive), exactly as
// if RewriteReferences had been called once per rename in that order.
void rewriteReferences(xml::Node root, const IdRenames& renames);

// Prefixes the IDs of element's subtree (Inheritance excluded) with prefix and collects the
// renames (old, new) in document order. An element without an ID, or with an empty one, is
// left as it is.
void prefixIds(xml::Node element, const std::string& prefix, IdRenames& renames);

// Replaces every occurrence of from in s by to (non-overlapping, left to right). Returns the
// number of replacements.
int replaceAll(std::string& s, const std::string& from, const std::string& to);

} // namespace orra::detail
