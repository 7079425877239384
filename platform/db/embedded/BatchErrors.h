#pragma once
// SQL Server's numbers, texts and severities for the errors a batch meets, and RAISERROR's
// message formatting.

#include "platform/db/Types.h"

#include <QString>
#include <QVariantList>

namespace orra::embedded {

// Gives an error that SQLite or the server's functions reported SQL Server's number and text
// (invalid object or column, an object that exists already, syntax, divide by zero,
// conversion …); others stay as they are. statement is the T-SQL as written, whose names
// the message gives as written ('sys.tables', 'db..T'); database is the connection's.
void toServerError(db::ProviderError& e, const QString& statement = {}, const QString& database = {});

// The severity SQL Server gives its error number.
int severityOf(long number);

// Whether the error ends only its statement: the batch then goes on with the next one.
bool endsOnlyTheStatement(long number);

// RAISERROR's message: printf-style conversions (%d %i %u %s %o %x %X with flags, width,
// precision, '*' and the h, l and I64 sizes) taking the arguments in order; %% is '%'.
// mismatch, when given, is set to the number (from 1) of the first argument whose type does not
// fit its conversion (a text for %d, a number for %s), 0 when all fit.
QString formatRaisedMessage(const QString& format, const QVariantList& arguments, int* mismatch = nullptr);

}   // namespace orra::embedded
