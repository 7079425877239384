#pragma once
// The recordset opener through which most catalogue queries run: every failure becomes
// "no recordset" plus the failed flag, never an error.

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"

#include <QString>

namespace orra {

// ADO's cursor settings as callers pass them; every connection of the system uses client-side
// static cursors, so they do not change the result.
enum CursorLocation { adUseServer = 2, adUseClient = 3 };
enum LockType { adLockReadOnly = 1 };
enum CursorType { adOpenForwardOnly = 0, adOpenStatic = 3 };

// Runs sqlText on connection. Success: the recordset (closed when the statement returned no
// rows) and failed = false. Any failure (closed or null connection, SQL error): nullptr and
// failed = true; the connection's errors() still tell what went wrong.
db::RecordsetPtr OpenRecordset(db::Connection* connection, const QString& sqlText, bool& failed,
    int cursorLocation = adUseClient, int lockType = adLockReadOnly, int cursorType = adOpenStatic);

}   // namespace orra
