#pragma once
// ADO-shaped script objects over the database layer: what scripts know as ADODB.Connection,
// ADODB.Recordset (with Fields and Field) and ADODB.Command. The run-time engine hands its run
// and catalogue connections to scripts through wrapConnection(); CreateObject makes new ones.
//
// Members offered:
//   Connection: Open(text, [user], [password]), Close, Execute(sql, [recordsAffected], [options])
//     -> Recordset, BeginTrans, CommitTrans, RollbackTrans, State, ConnectionString,
//     CommandTimeout, ConnectionTimeout, CursorLocation, Properties(name).Value, Errors.
//   Recordset: Open(source, [connection], ...), Close, State, EOF, BOF, MoveFirst, MoveNext,
//     MovePrevious, MoveLast, Move(n), RecordCount, AbsolutePosition, Fields, Fields(i|name),
//     rs(i|name) (the default member), GetString([format], [rows], [colDelim], [rowDelim],
//     [nullExpr]), NextRecordset, ActiveConnection, CursorLocation, CursorType, LockType.
//   Field: Name, Value (default), Type, DefinedSize, Precision, NumericScale.
//   Command: ActiveConnection, CommandText, CommandType, CommandTimeout, Execute([affected]).

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/vbscript/Dispatch.h"

#include <QString>
#include <memory>

namespace orra::vbs::ado {

DispatchPtr wrapConnection(std::shared_ptr<db::Connection> connection);
DispatchPtr wrapRecordset(db::RecordsetPtr recordset);

// The database object behind a script value (nullptr when it is not one of ours).
std::shared_ptr<db::Connection> connectionOf(const Variant& value);
db::RecordsetPtr recordsetOf(const Variant& value);

// CreateObject for "ADODB.Connection", "ADODB.Recordset" and "ADODB.Command" (nullptr for
// anything else).
DispatchPtr createObject(const QString& progId);

// A field value as a script sees it (NULL -> Null, dates -> Date, bit -> Boolean...).
Variant toVariant(const QVariant& value, db::DataType type);

}   // namespace orra::vbs::ado
