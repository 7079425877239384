#pragma once
// Resolves the type rules of a select's computed result columns (TypeRule, made by the
// translator) into declared types, as the server types such columns: date and time functions,
// casts and converts by the type they name, aggregates by their argument, arithmetic by the
// server's type precedence. Exact numeric results (decimal, money) and text are left to their
// values.

#include "platform/db/embedded/TsqlTranslator.h"

#include <QStringList>

struct sqlite3;

namespace orra::embedded {

// One entry per rule: a declared type ("datetime", "int", "float", …) or empty. The probe of
// the typing is prepared (never run) on db to learn the declared types of the columns the
// rules read.
QStringList resolveColumnTypes(sqlite3* db, const ResultTyping& typing);

}   // namespace orra::embedded
