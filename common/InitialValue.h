#pragma once
// The initial value of a parameter as the criteria control and the engine's prompt both read
// it: a text longer than 6 characters that begins with "select" (any case) is run on the
// connection and gives field 0 of its first row; one longer than 4 that begins with "sql:" runs
// "set nocount on " & rest & " set nocount off " likewise; anything else is the value itself.

#include "platform/db/Connection.h"

#include <QString>

namespace orra {

// Throws orra::Error (with `source`) when there is no open connection, the query fails,
// returns no row or returns NULL.
QString EvaluateInitialValue(
    db::Connection* connection, const QString& initialValue, const QString& source = QString());

}   // namespace orra
