#include "platform/db/embedded/functions/JsonFunctions.h"
#include "platform/db/embedded/SqliteValues.h"

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace orra::embedded {

namespace {

// The server's messages (13607 … 13625).
const char kPathFormat[] = "JSON path is not properly formatted. Unexpected character '%1' is found at position %2.";
const char kTextFormat[] = "JSON text is not properly formatted. Unexpected character '%1' is found at position %2.";
const char kNoProperty[] = "Property cannot be found on the specified JSON path.";
const char kNoScalar[] = "Scalar value cannot be found in the specified JSON path.";
const char kNoContainer[] = "Object or array cannot be found in the specified JSON path.";
const char kTruncated[] = "String value in the specified JSON path would be truncated.";

// JSON_VALUE's result is nvarchar(4000).
constexpr qsizetype kLongestValue = 4000;

QString unexpected(const char* format, const QString& text, qsizetype position)
{
    const QString c = position < text.size() ? QString(text.at(position)) : QString();
    return QString::fromLatin1(format).arg(c).arg(position);
}

// A path as the server writes it ("strict $.info.\"first name\"[0]"), read into SQLite's path
// syntax, or the position of the character that is wrong in it.
struct Path {
    bool strict = false;
    bool root = true;          // "$" alone: the whole text
    QByteArray sqlite = "$";   // SQLite's path to the same value
    bool expressible = true;   // false for a key SQLite's paths cannot name (one with a quote)
    qsizetype error = -1;      // the position of the wrong character, or -1
};

Path readPath(const QString& text)
{
    Path p;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto fail = [&](qsizetype at) {
        p.error = at;
        return p;
    };
    while (i < n && text.at(i).isSpace()) ++i;
    for (const auto& [word, strict] : {std::pair{QStringLiteral("strict"), true}, {QStringLiteral("lax"), false}}) {
        if (text.mid(i, word.size()).compare(word, Qt::CaseInsensitive) == 0 && i + word.size() < n
            && text.at(i + word.size()).isSpace()) {
            p.strict = strict;
            i += word.size();
            while (i < n && text.at(i).isSpace()) ++i;
            break;
        }
    }
    if (i >= n || text.at(i) != u'$') return fail(i);
    ++i;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == u'.') {
            ++i;
            QString key;
            if (i < n && text.at(i) == u'"') {
                // a quoted key, with JSON's escapes
                ++i;
                bool closed = false;
                while (i < n) {
                    const QChar k = text.at(i++);
                    if (k == u'"') {
                        closed = true;
                        break;
                    }
                    if (k == u'\\' && i < n) {
                        const QChar e = text.at(i++);
                        key += e == u'n' ? u'\n' : e == u't' ? u'\t' : e == u'r' ? u'\r' : e == u'b' ? u'\b'
                            : e == u'f' ? u'\f' : e;
                        continue;
                    }
                    key += k;
                }
                if (!closed) return fail(n);
            } else {
                const qsizetype start = i;
                while (i < n && text.at(i) != u'.' && text.at(i) != u'[' && !text.at(i).isSpace() && text.at(i) != u'"')
                    ++i;
                if (i == start) return fail(i);
                if (i < n && (text.at(i).isSpace() || text.at(i) == u'"')) return fail(i);
                key = text.mid(start, i - start);
            }
            if (key.contains(u'"')) p.expressible = false;
            p.sqlite += ".\"" + key.toUtf8() + '"';
        } else if (c == u'[') {
            ++i;
            const qsizetype start = i;
            while (i < n && text.at(i).isDigit()) ++i;
            if (i == start || i >= n || text.at(i) != u']') return fail(i);
            p.sqlite += '[' + text.mid(start, i - start).toLatin1() + ']';
            ++i;
        } else {
            return fail(i);
        }
        p.root = false;
    }
    return p;
}

// What SQLite's json functions find at a path: whether the text is JSON, the value's JSON
// type ("object", "text", …; empty when nothing is there), its SQL value and its JSON text.
struct Found {
    bool valid = false;
    QByteArray type;
    QByteArray value;   // a string unescaped
    QByteArray json;    // the value as JSON text (a number as written)
};

constexpr const char* kLookup =
    "select v, case when v then json_type(?1, ?2) end, case when v then ?1 ->> ?2 end, case when v then ?1 -> ?2 end "
    "from (select json_valid(?1) as v)";

// The lookup statement, kept with the call site while its last argument (the path, usually a
// literal) stays the same.
sqlite3_stmt* lookupStatement(sqlite3_context* ctx, int slot)
{
    if (auto* st = static_cast<sqlite3_stmt*>(sqlite3_get_auxdata(ctx, slot))) return st;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(sqlite3_context_db_handle(ctx), kLookup, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    sqlite3_set_auxdata(ctx, slot, st, [](void* s) { sqlite3_finalize(static_cast<sqlite3_stmt*>(s)); });
    return static_cast<sqlite3_stmt*>(sqlite3_get_auxdata(ctx, slot));
}

bool lookUp(sqlite3_context* ctx, int slot, sqlite3_value* json, const Path& path, Found& found)
{
    sqlite3_stmt* st = lookupStatement(ctx, slot);
    if (!st) {
        resultError(ctx, QString::fromUtf8(sqlite3_errmsg(sqlite3_context_db_handle(ctx))));
        return false;
    }
    sqlite3_reset(st);
    sqlite3_bind_value(st, 1, json);
    sqlite3_bind_text(st, 2, path.sqlite.constData(), int(path.sqlite.size()), SQLITE_STATIC);
    if (sqlite3_step(st) != SQLITE_ROW) {
        resultError(ctx, QString::fromUtf8(sqlite3_errmsg(sqlite3_context_db_handle(ctx))));
        sqlite3_reset(st);
        return false;
    }
    auto column = [&](int c) {
        return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, c)), sqlite3_column_bytes(st, c));
    };
    found.valid = sqlite3_column_int(st, 0) != 0;
    if (found.valid && path.expressible && sqlite3_column_type(st, 1) != SQLITE_NULL) {
        found.type = column(1);
        found.value = column(2);
        found.json = column(3);
    }
    sqlite3_reset(st);
    return true;
}

// Where text stops being JSON: the position of the first character that cannot continue it
// (the text's length when it ends too soon), or -1 when it is JSON.
class JsonScan {
public:
    explicit JsonScan(const QString& text) : s(text) {}

    qsizetype errorPosition()
    {
        space();
        if (!value()) return i;
        space();
        return i < s.size() ? i : -1;
    }

private:
    bool at(char c) const { return i < s.size() && s.at(i) == QLatin1Char(c); }
    void space()
    {
        while (i < s.size() && (at(' ') || at('\t') || at('\n') || at('\r'))) ++i;
    }
    bool value(int depth = 0)
    {
        if (depth > 128) return false;
        if (at('{') || at('[')) {
            const char close = at('{') ? '}' : ']';
            const bool object = close == '}';
            ++i;
            space();
            if (at(close)) return ++i, true;
            for (;;) {
                if (object) {
                    if (!string()) return false;
                    space();
                    if (!at(':')) return false;
                    ++i;
                    space();
                }
                if (!value(depth + 1)) return false;
                space();
                if (at(close)) return ++i, true;
                if (!at(',')) return false;
                ++i;
                space();
            }
        }
        if (at('"')) return string();
        for (const char* word : {"true", "false", "null"}) {
            if (!at(word[0])) continue;
            const qsizetype start = i;
            for (const char* w = word; *w; ++w, ++i)
                if (!at(*w)) return i = start, false;   // the word is wrong from its start
            return true;
        }
        return number();
    }
    bool string()
    {
        if (!at('"')) return false;
        for (++i; i < s.size(); ++i) {
            const QChar c = s.at(i);
            if (c == u'"') return ++i, true;
            if (c.unicode() < 0x20) return false;
            if (c != u'\\') continue;
            ++i;
            if (at('u')) {
                for (int k = 0; k < 4; ++k) {
                    ++i;
                    if (i >= s.size() || !isxdigit(s.at(i).toLatin1())) return false;
                }
            } else if (!(at('"') || at('\\') || at('/') || at('b') || at('f') || at('n') || at('r') || at('t'))) {
                return false;
            }
        }
        return false;
    }
    bool digits()
    {
        const qsizetype start = i;
        while (i < s.size() && s.at(i).unicode() >= '0' && s.at(i).unicode() <= '9') ++i;
        return i > start;
    }
    bool number()
    {
        if (at('-')) ++i;
        if (at('0'))
            ++i;
        else if (!digits())
            return false;
        if (at('.')) {
            ++i;
            if (!digits()) return false;
        }
        if (at('e') || at('E')) {
            ++i;
            if (at('+') || at('-')) ++i;
            if (!digits()) return false;
        }
        return true;
    }

    const QString& s;
    qsizetype i = 0;
};

// 13609 for text that is no JSON, at the character where reading it stops.
void textError(sqlite3_context* ctx, sqlite3_value* json)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(json)), sqlite3_value_bytes(json));
    const qsizetype at = JsonScan(text).errorPosition();
    resultError(ctx, unexpected(kTextFormat, text, std::max<qsizetype>(at, 0)));
}

// The common start of JSON_VALUE and JSON_QUERY: false when the result is given already
// (NULL for a NULL argument, or an error).
bool begin(sqlite3_context* ctx, int argc, sqlite3_value** argv, Path& path, Found& found)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || (argc > 1 && sqlite3_value_type(argv[1]) == SQLITE_NULL)) {
        sqlite3_result_null(ctx);
        return false;
    }
    if (argc > 1) {
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])),
            sqlite3_value_bytes(argv[1]));
        path = readPath(text);
        if (path.error >= 0) {
            resultError(ctx, unexpected(kPathFormat, text, path.error));
            return false;
        }
    }
    if (!lookUp(ctx, argc - 1, argv[0], path, found)) return false;
    if (!found.valid) {
        textError(ctx, argv[0]);
        return false;
    }
    return true;
}

// Lax mode's NULL, or strict mode's error.
void missing(sqlite3_context* ctx, const Path& path, const char* message)
{
    if (path.strict) return resultError(ctx, QString::fromLatin1(message));
    sqlite3_result_null(ctx);
}

// JSON_VALUE(expression, path): the scalar at the path as nvarchar(4000).
void fnJsonValue(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    Path path;
    Found found;
    if (!begin(ctx, argc, argv, path, found)) return;
    if (found.type.isEmpty()) return missing(ctx, path, kNoProperty);
    if (found.type == "object" || found.type == "array") return missing(ctx, path, kNoScalar);
    if (found.type == "null") return sqlite3_result_null(ctx);
    const QByteArray& value = found.type == "text" ? found.value : found.json;
    if (QString::fromUtf8(value).size() > kLongestValue) return missing(ctx, path, kTruncated);
    sqlite3_result_text(ctx, value.constData(), int(value.size()), SQLITE_TRANSIENT);
}

// JSON_QUERY(expression [, path]): the object or array at the path (the whole text for "$").
void fnJsonQuery(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    Path path;
    Found found;
    if (!begin(ctx, argc, argv, path, found)) return;
    if (found.type.isEmpty()) return missing(ctx, path, kNoProperty);
    if (found.type != "object" && found.type != "array") return missing(ctx, path, kNoContainer);
    if (path.root) return sqlite3_result_value(ctx, argv[0]);
    sqlite3_result_text(ctx, found.json.constData(), int(found.json.size()), SQLITE_TRANSIENT);
}

}   // namespace

void registerJsonFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "orra_json_value", 2, SQLITE_UTF8, nullptr, fnJsonValue, nullptr, nullptr, nullptr);
    for (int args = 1; args <= 2; ++args)
        sqlite3_create_function_v2(db, "orra_json_query", args, SQLITE_UTF8, nullptr, fnJsonQuery, nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
