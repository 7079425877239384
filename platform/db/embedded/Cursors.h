#pragma once
// A cursor of a session: its declaration, and while it is open the rows its select gave when
// it opened (kept in a temporary table, numbered from 1 by rowid) and the row it stands on.

#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <map>
#include <memory>

namespace orra::embedded {

struct Cursor {
    QString written;   // its name as declared, for messages
    bool scroll = false;
    bool isStatic = false;
    SqlStatement select{};
    // The variables' values when it was declared: its select reads those, whenever it opens.
    std::vector<StoredValue> values{};
    bool assigned = true;   // a cursor variable declared but given no cursor yet: false
    // While open: the table of its rows, their count and names, and the current row (0 before
    // the first, rows + 1 after the last).
    QString table{};
    long rows = 0;
    QStringList columns{};
    long position = 0;

    bool isOpen() const { return !table.isEmpty(); }
};

}   // namespace orra::embedded
