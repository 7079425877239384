#pragma once
// Resolves the type rules of a select's computed result columns (TypeRule, made by the
// translator) into declared types, as the server types such columns: date and time functions,
// casts and converts by the type they name, aggregates by their argument, arithmetic by the
// server's type precedence. Exact numeric results (decimal, money) and text are left to their
// values.

#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/Recordset.h"

#include <QStringList>

struct sqlite3;

namespace orra::embedded {

// One entry per rule: a declared type ("datetime", "int", "float", …) or empty. The probe of
// the typing is prepared (never run) on db to learn the declared types of the columns the
// rules read.
QStringList resolveColumnTypes(sqlite3* db, const ResultTyping& typing);

// The text columns of rs whose T-SQL type the translator knew (declarations as in
// SqlStatement::columnTypes) take that type and length as their field's: a concatenation, an
// ISNULL, a CASE or a union is as long as its type says, not as its longest value.
void applyTextTypes(const QStringList& declarations, db::ResultSet& rs);

}   // namespace orra::embedded
