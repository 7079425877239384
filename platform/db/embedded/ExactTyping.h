#pragma once
// The exact numeric types of a select's expression columns, as SQL Server types them: money,
// smallmoney and decimal(p,s) through arithmetic, aggregates, isnull/coalesce, case and casts.
// SQLite declares a type only for plain column references; an expression over a money column
// would otherwise come back as a double (a sum of 76493.74 read as 76493.74000000001).
//
// The columns that an expression names are typed by SQLite itself: a probe statement selects
// them over the same FROM clause and reports their declared types, so that aliases, joins and
// attached databases resolve as the statement resolves them. The types follow the translator's
// own rules (translator/ExpressionTyping.h); only the reading of SQLite's text is this file's.

#include "platform/db/Recordset.h"

#include <QHash>
#include <QStringList>
#include <QString>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orra::embedded {

struct ExactType {
    db::DataType type = db::DataType::Numeric;   // Currency (money, smallmoney) or Numeric
    int precision = 18;
    int scale = 0;
    // The declaration for a table column of this type ("money", "decimal(38,2)").
    QString declaration() const;
};

using ExactTypes = std::vector<std::optional<ExactType>>;

// The types found per statement text, for a connection that runs the same statements again.
// Types depend on the tables' declarations: clear it whenever the schema may have changed.
class ExactTypeCache {
public:
    const ExactTypes* find(const QString& sql) const;
    void insert(const QString& sql, ExactTypes types);
    void clear() { m_types.clear(); }

private:
    QHash<QString, ExactTypes> m_types;
};

// For every result column of a prepared select: its exact type when SQLite declares none and
// the expression has one, else nothing.
ExactTypes exactColumnTypes(sqlite3* db, sqlite3_stmt* select, ExactTypeCache* cache = nullptr);

// Types the expression columns of rs (the rows of select) found exact: Currency or Numeric
// with precision and scale, values as Decimal at that scale.
void applyExactTypes(sqlite3* db, sqlite3_stmt* select, db::ResultSet& rs, ExactTypeCache* cache = nullptr);

// The exact type a T-SQL declaration names ("money", "decimal(10,2)"), or nothing.
std::optional<ExactType> exactTypeOf(const QString& declaration);

// Types the expression columns of rs whose T-SQL type the translator knew (declarations, one
// per column: "money", "decimal(38,2)", "" when unknown) and found exact. True when every
// column that SQLite declares no type for had a known type, so that no probe is needed.
bool applyTranslatedTypes(sqlite3_stmt* select, const QStringList& declarations, db::ResultSet& rs);

}   // namespace orra::embedded
