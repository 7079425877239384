#pragma once
// The from clause of update and delete: the items and how they are joined.

#include "platform/db/embedded/translator/Rewriting.h"

namespace orra::embedded::translator {

// The from clause of update/delete: items "table [as] alias" joined by commas or joins.
struct FromItem {
    size_t begin = 0, end = 0;       // token range of the item (table and alias)
    QString table;                   // SQLite name of the table
    QString alias;                   // alias or bare table name
    QString joinKind;                // "" for the first, "," or "inner"/"left"… for the others
    size_t onBegin = 0, onEnd = 0;   // the join condition range (after "on")
};

// The items of the from clause in [from, end) of v; empty when it is not a shape of the subset.
std::vector<FromItem> fromItems(const Vec& v, size_t from, size_t end);

// The index of the item that alias names (its alias or bare table name, any case), or
// items.size().
size_t itemNamed(const std::vector<FromItem>& items, const QString& alias);
// The item a statement's target names: by alias, or a table of a schema by its table.
size_t itemNamed(const std::vector<FromItem>& items, const NT& target);

// "in (select alias.rowid from …)" with the from clause that begins at v[from]: the rows of
// the target that a joined from clause picks.
void appendRowidsPicked(Vec& out, const QString& alias, const Vec& v, size_t from);

}   // namespace orra::embedded::translator
