#include "platform/db/embedded/ColumnTypes.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/sqlite/SqliteSession.h"

#include <sqlite3.h>

namespace orra::embedded {

namespace {

QString baseName(const QString& declared)
{
    return declared.section(u'(', 0, 0).trimmed().section(u' ', 0, 0).toLower();
}

// The server's data type precedence: a higher number wins in an expression of two types.
int precedence(const QString& declared)
{
    static const struct {
        const char* name;
        int rank;
    } ranks[] = {
        {"datetimeoffset", 31},
        {"datetime2", 30},
        {"datetime", 29},
        {"smalldatetime", 28},
        {"date", 27},
        {"time", 26},
        {"float", 25},
        {"double", 25},
        {"real", 24},
        {"decimal", 23},
        {"numeric", 23},
        {"money", 22},
        {"smallmoney", 21},
        {"bigint", 20},
        {"int", 19},
        {"integer", 19},
        {"smallint", 18},
        {"tinyint", 17},
        {"bit", 16},
        {"boolean", 16},
        {"ntext", 15},
        {"text", 14},
        {"image", 13},
        {"uniqueidentifier", 12},
        {"nvarchar", 11},
        {"nchar", 10},
        {"varchar", 9},
        {"char", 8},
        {"varbinary", 7},
        {"binary", 6},
    };
    const QString base = baseName(declared);
    for (const auto& r : ranks)
        if (base == QLatin1String(r.name)) return r.rank;
    return -1;
}

// Ranks whose values type the column better than a declared type would: exact numerics
// (their scale comes with the values) and text and binary (their length does).
bool leftToValues(int rank) { return rank <= 15 || (rank >= 21 && rank <= 23); }

struct Resolved {
    bool known = false;
    bool null = false;
    QString type;
};

Resolved resolve(const TypeRule& rule, const QStringList& columns)
{
    Resolved r;
    switch (rule.kind) {
    case TypeRule::Kind::Unknown:
        return r;
    case TypeRule::Kind::Null:
        r.null = true;
        return r;
    case TypeRule::Kind::Fixed:
        r.known = precedence(rule.type) >= 0;
        r.type = rule.type;
        return r;
    case TypeRule::Kind::Column:
        if (rule.column >= 0 && rule.column < columns.size() && precedence(columns.at(rule.column)) >= 0) {
            r.known = true;
            r.type = columns.at(rule.column);
        }
        return r;
    case TypeRule::Kind::Promote: {
        int best = -1;
        bool any = false, unknown = false;
        for (const TypeRule& a : rule.args) {
            const Resolved x = resolve(a, columns);
            if (x.null) continue;
            if (!x.known) {
                unknown = true;   // no number or text outranks a date
                continue;
            }
            any = true;
            if (precedence(x.type) > best) {
                best = precedence(x.type);
                r.type = x.type;
            }
        }
        if (unknown && best < precedence(QStringLiteral("time"))) return {};
        if (!any) {
            r.null = true;
            return r;
        }
        r.known = !leftToValues(best);
        return r;
    }
    case TypeRule::Kind::Text: {
        bool unicode = false;
        Resolved first;
        for (size_t k = 0; k < rule.args.size(); ++k) {
            const Resolved x = resolve(rule.args[k], columns);
            if (k == 0) first = x;
            if (!x.known) continue;
            const QString base = baseName(x.type);
            const bool text = base.endsWith(QLatin1String("char")) || base.endsWith(QLatin1String("text"));
            unicode = unicode || base.startsWith(u'n') || (!text && !rule.type.isEmpty());
        }
        if (rule.type.isEmpty()) {
            // The text of a char or nchar argument comes back as varchar or nvarchar.
            if (!first.known || precedence(first.type) > 15) return {};
            const QString base = baseName(first.type);
            if (base == u"char" || base == u"nchar") first.type.insert(base.size() - 4, QLatin1String("var"));
            return first;
        }
        r.known = true;
        r.type = rule.type;
        if (unicode) r.type = u'n' + QString(r.type).replace(QLatin1String("(8000)"), QLatin1String("(4000)"));
        return r;
    }
    case TypeRule::Kind::Sum: {
        const Resolved x = rule.args.empty() ? Resolved() : resolve(rule.args.front(), columns);
        if (!x.known) return {};
        const QString base = baseName(x.type);
        if (base == u"int" || base == u"integer" || base == u"smallint" || base == u"tinyint")
            r.type = QStringLiteral("int");
        else if (base == u"bigint")
            r.type = QStringLiteral("bigint");
        else if (base == u"float" || base == u"double" || base == u"real")
            r.type = QStringLiteral("float");
        else
            return {};
        r.known = true;
        return r;
    }
    }
    return r;
}

}   // namespace

QStringList resolveColumnTypes(sqlite3* db, const ResultTyping& typing)
{
    QStringList columns;
    if (!typing.probe.isEmpty()) {
        const PreparedStatement probe(db, typing.probe);
        if (probe.ok() && probe.get()) {
            for (int i = 0; i < sqlite3_column_count(probe); ++i) {
                const char* d = sqlite3_column_decltype(probe, i);
                columns << (d ? QString::fromUtf8(d) : QString());
            }
        }
    }
    QStringList out;
    for (const TypeRule& rule : typing.columns) {
        const Resolved r = resolve(rule, columns);
        out << (r.known ? r.type : QString());
    }
    return out;
}

void applyTextTypes(const QStringList& declarations, db::ResultSet& rs)
{
    if (declarations.size() != qsizetype(rs.fields.size())) return;
    for (size_t c = 0; c < rs.fields.size(); ++c) {
        const SqlType t = SqlType::fromDeclared(declarations[qsizetype(c)]);
        if (!t.isString() || t.length == 0) continue;
        db::FieldInfo& f = rs.fields[c];
        const bool text = f.type == db::DataType::VarChar || f.type == db::DataType::VarWChar
            || f.type == db::DataType::Char || f.type == db::DataType::WChar;
        // a column typed by its values: text, or no value at all
        const bool byValues = text || (f.type == db::DataType::Integer && f.precision == 0);
        if (!byValues || (text && t.length > 0 && t.length <= f.definedSize && (f.type == db::DataType::VarWChar) == (t.kind == SqlType::Kind::NText)))
            continue;
        const db::sqlite::ColumnType declared = db::sqlite::typeFromDeclared(t.declaration().toUtf8().constData());
        f.type = declared.type;
        f.definedSize = declared.definedSize;
    }
}

}   // namespace orra::embedded
