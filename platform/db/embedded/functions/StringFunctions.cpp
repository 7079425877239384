#include "platform/db/embedded/functions/StringFunctions.h"

#include "platform/db/embedded/Collation.h"
#include "platform/text/AnsiCodePage.h"
#include "platform/db/embedded/SqliteValues.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QTime>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace orra::embedded {

namespace {

// ---- values in and out ------------------------------------------------------------------

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

bool anyNull(int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (isNull(argv[i])) return true;
    return false;
}

// A result longer than SQLite keeps is refused before it is built.
bool fits(sqlite3_context* ctx, qint64 characters)
{
    if (characters >= 0 && characters <= sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1) / 3)
        return true;
    sqlite3_result_error_toobig(ctx);
    return false;
}

// An integer argument as the server converts it: a text that is no number is error 245 (a
// decimal kept as text counts by its whole part).
bool integerArgument(sqlite3_context* ctx, sqlite3_value* v, qint64& out)
{
    out = sqlite3_value_int64(v);
    if (sqlite3_value_type(v) != SQLITE_TEXT) return true;
    const QString text = textOf(v).trimmed();
    bool ok = false;
    out = text.toLongLong(&ok);
    if (!ok) out = qint64(text.toDouble(&ok));
    if (ok) return true;
    resultError(ctx, QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.").arg(textOf(v)));
    return false;
}

// The longest text of the server's ordinary (not max) types: 8,000 bytes.
constexpr qsizetype kLongestText = 8000;

const text::AnsiCodePage& codePage() { return text::AnsiCodePage::system(); }

// ---- LEFT, RIGHT, SUBSTRING-like ----------------------------------------------------------

template <bool Left> void fnLeftRight(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    qint64 n = 0;
    if (!integerArgument(ctx, argv[1], n)) return;
    if (n < 0) {
        resultError(ctx,
            Left ? QStringLiteral("Invalid length parameter passed to the LEFT or SUBSTRING function.")
                 : QStringLiteral("Invalid length parameter passed to the right function."));
        return;
    }
    const QString s = textOf(argv[0]);
    resultText(ctx, Left ? s.left(qsizetype(std::min<qint64>(n, s.size()))) : s.right(qsizetype(std::min<qint64>(n, s.size()))));
}

// REPLACE(s, pattern, replacement [, probe]): every occurrence of pattern, found as the
// collation compares (the server's own when s was not probed), replaced; an empty pattern
// leaves s as it is.
// ISJSON(text): 1 when the text is a JSON object or array, else 0; NULL for NULL.
void fnIsJson(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QByteArray text(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    sqlite3_result_int(ctx, error.error == QJsonParseError::NoError && (document.isObject() || document.isArray()) ? 1 : 0);
}

// STRING_ESCAPE(text, 'json'): the text with JSON's special and control characters escaped.
void fnStringEscape(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (textOf(argv[1]).compare(QLatin1String("json"), Qt::CaseInsensitive) != 0) {
        const QString m = QStringLiteral("'%1' is not a valid type for STRING_ESCAPE: the type supported is 'json'.")
                              .arg(textOf(argv[1]));
        return resultError(ctx, m);
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    QString out;
    for (const QChar c : textOf(argv[0])) {
        switch (c.unicode()) {
        case u'"': out += QLatin1String("\\\""); break;
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'/': out += QLatin1String("\\/"); break;
        case u'\b': out += QLatin1String("\\b"); break;
        case u'\f': out += QLatin1String("\\f"); break;
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    resultText(ctx, out);
}

void fnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    const TextCollation c = argc > 3 ? probedCollation() : TextCollation();
    const QString s = textOf(argv[0]);
    const QString pattern = textOf(argv[1]);
    if (pattern.isEmpty()) return resultText(ctx, s);
    const QString with = textOf(argv[2]);
    const QString folded = comparableIn(s, c);
    const QString find = comparableIn(pattern, c);
    if (folded.size() != s.size() || find.size() != pattern.size()) {
        // A fold that changed lengths: compare character by character instead.
        return resultText(ctx, QString(s).replace(pattern, with, c.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive));
    }
    QString r;
    qsizetype from = 0;
    for (qsizetype at = folded.indexOf(find); at >= 0; at = folded.indexOf(find, from)) {
        r += QStringView(s).mid(from, at - from);
        r += with;
        from = at + find.size();
    }
    r += QStringView(s).mid(from);
    if (!fits(ctx, r.size())) return;
    resultText(ctx, r);
}

// SUBSTRING(s, start, length): the characters at positions start … start + length - 1 that
// exist (start may be 0 or negative); bytes of a binary value.
void fnSubstring(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    qint64 start = 0, length = 0;
    if (!integerArgument(ctx, argv[1], start) || !integerArgument(ctx, argv[2], length)) return;
    if (length < 0)
        return resultError(ctx, QStringLiteral("Invalid length parameter passed to the LEFT or SUBSTRING function."));
    const qint64 first = std::max<qint64>(start, 1);
    const qint64 end = start > 0 && length > INT64_MAX - start ? INT64_MAX : start + length;
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
        const QByteArray b(static_cast<const char*>(sqlite3_value_blob(argv[0])), sqlite3_value_bytes(argv[0]));
        const qint64 last = std::min<qint64>(end, b.size() + 1);
        const QByteArray r = last > first ? b.mid(qsizetype(first - 1), qsizetype(last - first)) : QByteArray();
        return sqlite3_result_blob(ctx, r.constData(), int(r.size()), SQLITE_TRANSIENT);
    }
    const QString s = textOf(argv[0]);
    const qint64 last = std::min<qint64>(end, s.size() + 1);
    resultText(ctx, last > first ? s.mid(qsizetype(first - 1), qsizetype(last - first)) : QString());
}

// CHARINDEX(find, search [, start]): 1-based, 0 when absent, compared as the collation
// compares. orra_charindex_in(find, search, start, probe) compares in the probed collation.
void charIndexIn(sqlite3_context* ctx, sqlite3_value** argv, bool withStart, const TextCollation& c)
{
    const QString find = comparableIn(textOf(argv[0]), c);
    const QString search = comparableIn(textOf(argv[1]), c);
    qint64 start = 1;
    if (withStart && !integerArgument(ctx, argv[2], start)) return;
    if (start < 1) start = 1;
    if (find.isEmpty() || start > search.size()) return sqlite3_result_int(ctx, 0);
    sqlite3_result_int64(ctx, search.indexOf(find, qsizetype(start - 1)) + 1);
}

void fnCharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    charIndexIn(ctx, argv, argc > 2, TextCollation());
}

void fnCharIndexIn(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    charIndexIn(ctx, argv, !isNull(argv[2]), probedCollation());
}

// PATINDEX(pattern, expression): where the LIKE pattern first matches, 1-based, 0 when nowhere.
void patIndexIn(sqlite3_context* ctx, sqlite3_value** argv, const TextCollation& c)
{
    QString pattern = textOf(argv[0]);
    const QString s = textOf(argv[1]);
    if (!pattern.startsWith(u'%')) return sqlite3_result_int(ctx, likeIn(pattern, s, QChar(), c) ? 1 : 0);
    while (pattern.startsWith(u'%')) pattern.remove(0, 1);
    if (pattern.isEmpty()) return sqlite3_result_int(ctx, 1);   // '%' alone matches from the first character
    for (qsizetype i = 0; i < s.size(); ++i)
        if (likeIn(pattern, s.mid(i), QChar(), c)) return sqlite3_result_int64(ctx, i + 1);
    sqlite3_result_int(ctx, 0);
}

void fnPatIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    patIndexIn(ctx, argv, argc > 2 ? probedCollation() : TextCollation());
}

// STUFF(s, start, length, replacement)
void fnStuff(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1]) || isNull(argv[2])) return sqlite3_result_null(ctx);
    const QString s = textOf(argv[0]);
    qint64 start = 0, length = 0;
    if (!integerArgument(ctx, argv[1], start) || !integerArgument(ctx, argv[2], length)) return;
    if (start < 1 || start > s.size() || length < 0) return sqlite3_result_null(ctx);
    const QString with = isNull(argv[3]) ? QString() : textOf(argv[3]);
    QString r = s;
    r.replace(qsizetype(start - 1), qsizetype(std::min<qint64>(length, s.size() - start + 1)), with);
    resultText(ctx, r);
}

// STR(number [, length [, decimals]]): right-justified, rounded; '*' × length when the whole
// part does not fit, fewer decimals when only they do not.
void fnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const double value = sqlite3_value_double(argv[0]);
    const qint64 length = argc > 1 ? sqlite3_value_int64(argv[1]) : 10;
    qint64 decimals = argc > 2 ? sqlite3_value_int64(argv[2]) : 0;
    if (length <= 0 || length > 8000 || decimals < 0) return sqlite3_result_null(ctx);
    decimals = std::min<qint64>(decimals, 16);
    const QString whole = QString::number(value, 'f', 0);
    if (whole.size() > length) return resultText(ctx, QString(qsizetype(length), u'*'));
    decimals = std::min<qint64>(decimals, length - whole.size() - 1);
    const QString s = QString::number(value, 'f', int(std::max<qint64>(decimals, 0)));
    resultText(ctx, s.rightJustified(qsizetype(length), u' ', true));
}

// ---- CONCAT, CONCAT_WS --------------------------------------------------------------------

void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    QString r;
    for (int i = 0; i < argc; ++i)
        if (!isNull(argv[i])) r += textOf(argv[i]);
    resultText(ctx, r);
}

void fnConcatWs(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const QString separator = isNull(argv[0]) ? QString() : textOf(argv[0]);
    QString r;
    bool first = true;
    for (int i = 1; i < argc; ++i) {
        if (isNull(argv[i])) continue;
        if (!first) r += separator;
        r += textOf(argv[i]);
        first = false;
    }
    resultText(ctx, r);
}

// ---- QUOTENAME, REPLICATE, SPACE, REVERSE, TRANSLATE, TRIM -----------------------------------

void fnQuoteName(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const QString s = textOf(argv[0]);
    const QString q = argc > 1 ? textOf(argv[1]) : QStringLiteral("[");
    if (s.size() > 128 || q.size() != 1) return sqlite3_result_null(ctx);
    // The quote character given, and the pair it stands for; the closing one is doubled inside.
    static const struct {
        char16_t given, open, close;
    } quotes[] = {{u'[', u'[', u']'}, {u']', u'[', u']'}, {u'(', u'(', u')'}, {u')', u'(', u')'}, {u'<', u'<', u'>'},
        {u'>', u'<', u'>'}, {u'{', u'{', u'}'}, {u'}', u'{', u'}'}, {u'\'', u'\'', u'\''}, {u'"', u'"', u'"'},
        {u'`', u'`', u'`'}};
    for (const auto& quote : quotes) {
        if (q.at(0) != QChar(quote.given)) continue;
        const QString close(QChar(quote.close));
        QString body = s;
        body.replace(close, close + close);
        return resultText(ctx, QChar(quote.open) + body + close);
    }
    sqlite3_result_null(ctx);
}

void fnReplicate(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const QString s = textOf(argv[0]);
    qint64 n = 0;
    if (!integerArgument(ctx, argv[1], n)) return;
    if (n < 0) return sqlite3_result_null(ctx);
    if (s.isEmpty()) return resultText(ctx, s);
    // Text of the server's ordinary types ends at 8,000 bytes (4,000 Unicode characters); a
    // third argument names the limit in characters, -1 for a (max) text's.
    const qint64 longest = argc > 2 ? sqlite3_value_int64(argv[2]) : kLongestText;
    if (longest < 0) {
        if (n > 0 && !fits(ctx, qint64(s.size()) * std::min<qint64>(n, INT32_MAX))) return;
        return resultText(ctx, s.repeated(qsizetype(n)));
    }
    const qint64 times = std::min<qint64>(n, longest / s.size() + 1);
    resultText(ctx, s.repeated(qsizetype(times)).left(qsizetype(longest)));
}

void fnSpace(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    qint64 n = 0;
    if (!integerArgument(ctx, argv[0], n)) return;
    if (n < 0) return sqlite3_result_null(ctx);
    resultText(ctx, QString(qsizetype(std::min<qint64>(n, kLongestText)), u' '));
}

void fnReverse(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    std::u32string s = textOf(argv[0]).toStdU32String();
    std::reverse(s.begin(), s.end());
    resultText(ctx, QString::fromStdU32String(s));
}

void fnTranslate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    const QString s = textOf(argv[0]);
    if (isNull(argv[1]) || isNull(argv[2])) return resultText(ctx, s);
    const std::u32string from = textOf(argv[1]).toStdU32String();
    const std::u32string to = textOf(argv[2]).toStdU32String();
    if (from.size() != to.size()) {
        resultError(ctx,
            QStringLiteral("The second and third arguments of the TRANSLATE built-in function must contain an "
                           "equal number of characters."));
        return;
    }
    std::u32string r = s.toStdU32String();
    for (char32_t& c : r) {
        const size_t k = from.find(c);
        if (k != std::u32string::npos) c = to[k];
    }
    resultText(ctx, QString::fromStdU32String(r));
}

// orra_trim(side, characters, string): side 0 both ends, 1 the start, 2 the end; characters
// NULL for the blank.
void fnTrim(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[2])) return sqlite3_result_null(ctx);
    const int side = sqlite3_value_int(argv[0]);
    const QString characters = isNull(argv[1]) ? QStringLiteral(" ") : textOf(argv[1]);
    const QString s = textOf(argv[2]);
    qsizetype b = 0, e = s.size();
    if (side != 2)
        while (b < e && characters.contains(s.at(b))) ++b;
    if (side != 1)
        while (e > b && characters.contains(s.at(e - 1))) --e;
    resultText(ctx, s.mid(b, e - b));
}

// ---- characters and codes -----------------------------------------------------------------

// ASCII(s): the code-page byte of the first character.
void fnAscii(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    const QString s = textOf(argv[0]);
    if (s.isEmpty()) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, codePage().toByte(s.at(0).unicode()));
}

// CHAR(n): the code-page character n, NULL outside 0–255.
void fnCharOfCode(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    const qint64 n = sqlite3_value_int64(argv[0]);
    if (n < 0 || n > 255) return sqlite3_result_null(ctx);
    resultText(ctx, QString(QChar(codePage().toChar(uint8_t(n)))));
}

void fnNChar(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    const qint64 n = sqlite3_value_int64(argv[0]);
    if (n < 0 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) return sqlite3_result_null(ctx);
    const char32_t c = char32_t(n);
    resultText(ctx, QString::fromUcs4(&c, 1));
}

void fnUnicode(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    const std::u32string s = textOf(argv[0]).toStdU32String();
    if (s.empty()) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, qint64(s.front()));
}

// DATALENGTH(x [, probe]): bytes. Text is counted in the code page (one byte a character),
// Unicode text (a probed nchar or nvarchar) two bytes a UTF-16 unit; numbers by the width of
// the integer or float that holds them.
void fnDataLength(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        return sqlite3_result_null(ctx);
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_value_int64(argv[0]);
        return sqlite3_result_int(ctx, v >= INT32_MIN && v <= INT32_MAX ? 4 : 8);
    }
    case SQLITE_FLOAT:
        return sqlite3_result_int(ctx, 8);
    case SQLITE_BLOB:
        return sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    default:
        sqlite3_result_int64(ctx, textOf(argv[0]).size() * (argc > 1 && probedCollation().unicode ? 2 : 1));
    }
}

// orra_datalength_units(x, n): text typed as Unicode, n bytes a UTF-16 unit.
void fnDataLengthUnits(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) return sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    sqlite3_result_int64(ctx, textOf(argv[0]).size() * sqlite3_value_int64(argv[1]));
}

// UPPER(x [, probe]) and LOWER: by the collation of x when it was probed, else the server's.
template <bool Upper> void fnCase(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    const TextCollation c = argc > 1 ? probedCollation() : TextCollation();
    resultText(ctx, Upper ? upperIn(textOf(argv[0]), c) : lowerIn(textOf(argv[0]), c));
}

// ---- SOUNDEX, DIFFERENCE ------------------------------------------------------------------

char soundexDigit(QChar c)
{
    switch (c.toUpper().unicode()) {
    case u'B': case u'F': case u'P': case u'V':
        return '1';
    case u'C': case u'G': case u'J': case u'K': case u'Q': case u'S': case u'X': case u'Z':
        return '2';
    case u'D': case u'T':
        return '3';
    case u'L':
        return '4';
    case u'M': case u'N':
        return '5';
    case u'R':
        return '6';
    case u'H': case u'W':
        return 'h';   // neither coded nor separating
    case u'A': case u'E': case u'I': case u'O': case u'U': case u'Y':
        return '0';   // not coded, separates equal codes
    default:
        return 0;   // not a letter of the code
    }
}

// The American Soundex code: the first letter, then the codes of the consonants that follow,
// equal neighbours (also across H and W) coded once, zeros to four characters.
QString soundex(const QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && !soundexDigit(s.at(i))) ++i;
    if (i >= s.size()) return QStringLiteral("0000");
    QString r(s.at(i).toUpper());
    char last = soundexDigit(s.at(i));
    for (++i; i < s.size() && r.size() < 4; ++i) {
        const char d = soundexDigit(s.at(i));
        if (d == 0 || d == 'h') continue;
        if (d != '0' && d != last) r += QLatin1Char(d);
        last = d;
    }
    return r.leftJustified(4, u'0');
}

void fnSoundex(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    resultText(ctx, soundex(textOf(argv[0])));
}

void fnDifference(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const QString a = soundex(textOf(argv[0]));
    const QString b = soundex(textOf(argv[1]));
    int same = 0;
    for (int k = 0; k < 4; ++k) same += a.at(k) == b.at(k) ? 1 : 0;
    sqlite3_result_int(ctx, same);
}

// ---- ISNUMERIC ----------------------------------------------------------------------------

// Text that converts to one of the numeric types: blanks around, a sign and a currency symbol
// in either order, digits with thousands commas, one decimal point, an exponent; the sign or
// the currency symbol alone counts too.
bool isNumericText(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(
        "^\\s*(?:[+-]?[$€£¥₺]?|[$€£¥₺][+-]?)(?:(?:\\d[\\d,]*)?(?:\\.\\d*)?(?:(?<=[\\d.])[eEdD][+-]?\\d+)?)\\s*$"));
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    return number.match(t).hasMatch();
}

void fnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_result_int(ctx, 1);
    case SQLITE_TEXT:
        return sqlite3_result_int(ctx, isNumericText(textOf(argv[0])) ? 1 : 0);
    default:
        sqlite3_result_int(ctx, 0);
    }
}

// ---- STRING_AGG ---------------------------------------------------------------------------

struct AggregateKey {
    int type = SQLITE_NULL;
    double number = 0;
    QByteArray text;
};

struct AggregateRow {
    QString value;
    std::vector<AggregateKey> keys;
};

struct StringAggregate {
    bool started = false;
    QString separator;
    std::vector<bool> descending;
    std::vector<AggregateRow> rows;
};

int compareKeys(const AggregateKey& a, const AggregateKey& b)
{
    if (a.type == SQLITE_NULL || b.type == SQLITE_NULL) return (a.type != SQLITE_NULL) - (b.type != SQLITE_NULL);
    const bool an = a.type == SQLITE_INTEGER || a.type == SQLITE_FLOAT;
    const bool bn = b.type == SQLITE_INTEGER || b.type == SQLITE_FLOAT;
    if (an && bn) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    if (an != bn) return an ? -1 : 1;
    return turkishCompare(a.text.constData(), int(a.text.size()), b.text.constData(), int(b.text.size()));
}

// orra_string_agg(value, separator [, descending, key]…): the keys order the values.
void stringAggStep(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* agg = static_cast<StringAggregate**>(sqlite3_aggregate_context(ctx, sizeof(StringAggregate*)));
    if (!agg) return sqlite3_result_error_nomem(ctx);
    if (!*agg) *agg = new StringAggregate;
    StringAggregate& a = **agg;
    if (isNull(argv[0])) return;
    if (!a.started) {
        a.started = true;
        a.separator = isNull(argv[1]) ? QString() : textOf(argv[1]);
        for (int i = 2; i + 1 < argc; i += 2) a.descending.push_back(sqlite3_value_int(argv[i]) != 0);
    }
    AggregateRow row;
    row.value = textOf(argv[0]);
    for (int i = 3; i < argc; i += 2) {
        AggregateKey k;
        k.type = sqlite3_value_type(argv[i]);
        if (k.type == SQLITE_INTEGER || k.type == SQLITE_FLOAT)
            k.number = sqlite3_value_double(argv[i]);
        else if (k.type != SQLITE_NULL)
            k.text = QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(argv[i])), sqlite3_value_bytes(argv[i]));
        row.keys.push_back(std::move(k));
    }
    a.rows.push_back(std::move(row));
}

void stringAggFinal(sqlite3_context* ctx)
{
    auto* agg = static_cast<StringAggregate**>(sqlite3_aggregate_context(ctx, 0));
    if (!agg || !*agg) return sqlite3_result_null(ctx);
    StringAggregate* a = *agg;
    *agg = nullptr;
    if (a->rows.empty()) {
        delete a;
        return sqlite3_result_null(ctx);
    }
    std::stable_sort(a->rows.begin(), a->rows.end(), [&](const AggregateRow& x, const AggregateRow& y) {
        for (size_t k = 0; k < x.keys.size() && k < y.keys.size(); ++k) {
            const int c = compareKeys(x.keys[k], y.keys[k]);
            if (c != 0) return a->descending[k] ? c > 0 : c < 0;
        }
        return false;
    });
    QString r;
    for (size_t i = 0; i < a->rows.size(); ++i) {
        if (i > 0) r += a->separator;
        r += a->rows[i].value;
    }
    delete a;
    // a text of an ordinary type ends at 8,000 bytes: the characters this aggregate may hold
    if (const auto* longest = static_cast<const int*>(sqlite3_user_data(ctx)); longest && r.size() > *longest)
        return resultError(ctx, QStringLiteral("STRING_AGG aggregation result exceeded the limit of 8000 bytes. Use LOB "
                                               "types to avoid result truncation."));
    resultText(ctx, r);
}

// ---- STRING_SPLIT -------------------------------------------------------------------------

struct SplitTable {
    sqlite3_vtab base{};
    bool ordinal = false;
};

struct SplitCursor {
    sqlite3_vtab_cursor base{};
    QStringList parts;
    qsizetype row = 0;
};

// Columns: value, [ordinal,] then the hidden arguments.
int splitConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**)
{
    const bool ordinal = aux != nullptr;
    const int rc = sqlite3_declare_vtab(db,
        ordinal ? "create table x(value varchar(8000), ordinal bigint, input hidden, separator hidden, flag hidden)"
                : "create table x(value varchar(8000), input hidden, separator hidden)");
    if (rc != SQLITE_OK) return rc;
    auto* t = new SplitTable;
    t->ordinal = ordinal;
    *out = &t->base;
    return SQLITE_OK;
}

int splitDisconnect(sqlite3_vtab* v)
{
    delete reinterpret_cast<SplitTable*>(v);
    return SQLITE_OK;
}

// The input and the separator must be given: they are the function's arguments.
int splitBestIndex(sqlite3_vtab* v, sqlite3_index_info* info)
{
    const int first = reinterpret_cast<SplitTable*>(v)->ordinal ? 2 : 1;
    int input = -1, separator = -1;
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
        if (c.iColumn == first) {
            if (!c.usable) return SQLITE_CONSTRAINT;
            input = i;
        } else if (c.iColumn == first + 1) {
            if (!c.usable) return SQLITE_CONSTRAINT;
            separator = i;
        }
    }
    if (input < 0 || separator < 0) {
        v->zErrMsg = sqlite3_mprintf("%s", "An insufficient number of arguments were supplied for the procedure or "
                                           "function STRING_SPLIT.");
        return SQLITE_ERROR;
    }
    info->aConstraintUsage[input].argvIndex = 1;
    info->aConstraintUsage[input].omit = 1;
    info->aConstraintUsage[separator].argvIndex = 2;
    info->aConstraintUsage[separator].omit = 1;
    info->estimatedCost = 10;
    info->estimatedRows = 10;
    return SQLITE_OK;
}

int splitOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    *out = &(new SplitCursor)->base;
    return SQLITE_OK;
}

int splitClose(sqlite3_vtab_cursor* c)
{
    delete reinterpret_cast<SplitCursor*>(c);
    return SQLITE_OK;
}

int splitFilter(sqlite3_vtab_cursor* cur, int, const char*, int argc, sqlite3_value** argv)
{
    auto* c = reinterpret_cast<SplitCursor*>(cur);
    c->parts.clear();
    c->row = 0;
    if (argc < 2 || isNull(argv[0])) return SQLITE_OK;
    const QString separator = isNull(argv[1]) ? QString() : textOf(argv[1]);
    if (separator.size() != 1) {
        cur->pVtab->zErrMsg = sqlite3_mprintf("%s", "Procedure expects parameter 'separator' of type 'nchar(1)/nvarchar(1)'.");
        return SQLITE_ERROR;
    }
    c->parts = textOf(argv[0]).split(separator.at(0));
    return SQLITE_OK;
}

int splitNext(sqlite3_vtab_cursor* cur)
{
    ++reinterpret_cast<SplitCursor*>(cur)->row;
    return SQLITE_OK;
}

int splitEof(sqlite3_vtab_cursor* cur)
{
    auto* c = reinterpret_cast<SplitCursor*>(cur);
    return c->row >= c->parts.size();
}

int splitColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int column)
{
    auto* c = reinterpret_cast<SplitCursor*>(cur);
    const bool ordinal = reinterpret_cast<SplitTable*>(cur->pVtab)->ordinal;
    if (column == 0)
        resultText(ctx, c->parts.at(c->row));
    else if (ordinal && column == 1)
        sqlite3_result_int64(ctx, c->row + 1);
    else
        sqlite3_result_null(ctx);
    return SQLITE_OK;
}

int splitRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* rowid)
{
    *rowid = reinterpret_cast<SplitCursor*>(cur)->row + 1;
    return SQLITE_OK;
}

sqlite3_module splitModule()
{
    sqlite3_module m{};
    m.iVersion = 0;
    m.xCreate = nullptr;   // eponymous only: no CREATE VIRTUAL TABLE of it
    m.xConnect = splitConnect;
    m.xBestIndex = splitBestIndex;
    m.xDisconnect = splitDisconnect;
    m.xDestroy = splitDisconnect;
    m.xOpen = splitOpen;
    m.xClose = splitClose;
    m.xFilter = splitFilter;
    m.xNext = splitNext;
    m.xEof = splitEof;
    m.xColumn = splitColumn;
    m.xRowid = splitRowid;
    return m;
}

// ---- TRY_CAST, TRY_CONVERT, PARSE ---------------------------------------------------------

// The conversion as its SQL text ("select orra_int(?)"), prepared once per call site.
sqlite3_stmt* conversionStatement(sqlite3_context* ctx, sqlite3_value* sql, int slot)
{
    if (auto* st = static_cast<sqlite3_stmt*>(sqlite3_get_auxdata(ctx, slot))) return st;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(sqlite3_context_db_handle(ctx), reinterpret_cast<const char*>(sqlite3_value_text(sql)), -1,
            &st, nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    sqlite3_set_auxdata(ctx, slot, st, [](void* p) { sqlite3_finalize(static_cast<sqlite3_stmt*>(p)); });
    return static_cast<sqlite3_stmt*>(sqlite3_get_auxdata(ctx, slot));
}

// Runs the conversion of value; on failure NULL (orTry) or the conversion's own error. A
// conversion the server never allows stays an error.
template <class Bind> void convertThrough(sqlite3_context* ctx, sqlite3_value* sql, int slot, Bind bind, bool orNull)
{
    sqlite3_stmt* st = conversionStatement(ctx, sql, slot);
    if (!st) return resultError(ctx, QString::fromUtf8(sqlite3_errmsg(sqlite3_context_db_handle(ctx))));
    sqlite3_reset(st);
    bind(st);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        sqlite3_result_value(ctx, sqlite3_column_value(st, 0));
        sqlite3_reset(st);
        return;
    }
    const QString message = QString::fromUtf8(sqlite3_errmsg(sqlite3_context_db_handle(ctx)));
    sqlite3_reset(st);
    if (orNull && !message.startsWith(QLatin1String("Explicit conversion from"))) return sqlite3_result_null(ctx);
    resultError(ctx, message);
}

// orra_try(conversion, value): TRY_CAST and TRY_CONVERT.
void fnTry(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[1])) return sqlite3_result_null(ctx);
    convertThrough(ctx, argv[0], 0, [&](sqlite3_stmt* st) { sqlite3_bind_value(st, 1, argv[1]); }, true);
}

// The .NET culture a PARSE names; the session's (en-US) when none.
QLocale cultureOf(const QString& name, bool& known)
{
    const QString n = name.trimmed();
    known = true;
    if (n.isEmpty()) return QLocale(QLocale::English, QLocale::UnitedStates);
    const QLocale l(QString(n).replace(u'-', u'_'));
    known = l.language() != QLocale::C && n.contains(u'-');
    return l;
}

// A number written in the culture as invariant text ("345.98"), or empty.
QString invariantNumber(const QString& text, const QLocale& l, bool currency)
{
    QString t = text.trimmed();
    if (currency) {
        for (const QString& symbol : {l.currencySymbol(QLocale::CurrencySymbol), l.currencySymbol(QLocale::CurrencyIsoCode),
                 QStringLiteral("$"), QStringLiteral("€")})
            if (!symbol.isEmpty()) t.remove(symbol);
        t = t.trimmed();
    }
    bool negative = false;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        negative = t.startsWith(u'-');
        t = t.mid(1).trimmed();
    } else if (t.endsWith(u'-') || t.endsWith(u'+')) {
        negative = t.endsWith(u'-');
        t.chop(1);
    }
    t.remove(l.groupSeparator());
    const QString point = l.decimalPoint();
    static const QRegularExpression digits(QStringLiteral("^\\d*(?:\\.\\d*)?(?:[eE][+-]?\\d+)?$"));
    QString r = t;
    r.replace(point, QStringLiteral("."));
    if (point != u"." && t.contains(u'.')) return QString();
    if (r.isEmpty() || r == u"." || !digits.match(r).hasMatch()) return QString();
    return negative ? u'-' + r : r;
}

// A date and time written in the culture ('Monday, 13 December 2010', '12/16/2010',
// '16.12.2010 14:30') as "yyyy-MM-dd HH:mm:ss.zzz", or empty.
QString invariantDateTime(const QString& text, const QLocale& l)
{
    QString t = text.trimmed();
    QTime time(0, 0);
    static const QRegularExpression clock(QStringLiteral("(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d{1,7}))?)?\\s*([AaPp][Mm])?"));
    const QRegularExpressionMatch m = clock.match(t);
    if (m.hasMatch()) {
        int h = m.captured(1).toInt();
        const QString ampm = m.captured(5).toUpper();
        if (ampm == u"PM" && h < 12) h += 12;
        if (ampm == u"AM" && h == 12) h = 0;
        time = QTime(h, m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).left(3).leftJustified(3, u'0').toInt());
        if (!time.isValid()) return QString();
        t.remove(m.capturedStart(), m.capturedLength());
    }
    int day = 0, month = 0, year = 0;
    std::vector<int> numbers;
    static const QRegularExpression word(QStringLiteral("[^\\s,./-]+"));
    for (auto it = word.globalMatch(t); it.hasNext();) {
        const QString w = it.next().captured();
        bool isNumber = false;
        const int n = w.toInt(&isNumber);
        if (isNumber) {
            numbers.push_back(n);
            continue;
        }
        bool found = false;
        for (int k = 1; k <= 12 && !found; ++k)
            for (QLocale::FormatType f : {QLocale::LongFormat, QLocale::ShortFormat})
                if (w.compare(l.monthName(k, f), Qt::CaseInsensitive) == 0
                    || w.compare(l.standaloneMonthName(k, f), Qt::CaseInsensitive) == 0) {
                    month = k;
                    found = true;
                }
        for (int k = 1; k <= 7 && !found; ++k)
            for (QLocale::FormatType f : {QLocale::LongFormat, QLocale::ShortFormat})
                if (w.compare(l.dayName(k, f), Qt::CaseInsensitive) == 0) found = true;
        if (!found) return QString();
    }
    if (month) {
        if (numbers.size() != 2) return QString();
        const bool yearFirst = numbers[0] > 31;
        day = yearFirst ? numbers[1] : numbers[0];
        year = yearFirst ? numbers[0] : numbers[1];
    } else if (numbers.size() == 3) {
        // The order of the culture's short date: d before M, or M before d.
        const QString f = l.dateFormat(QLocale::ShortFormat);
        if (numbers[0] > 31) {
            year = numbers[0];
            month = numbers[1];
            day = numbers[2];
        } else if (f.indexOf(u'M') < f.indexOf(u'd')) {
            month = numbers[0];
            day = numbers[1];
            year = numbers[2];
        } else {
            day = numbers[0];
            month = numbers[1];
            year = numbers[2];
        }
    } else if (numbers.empty() && m.hasMatch()) {
        day = 1;
        month = 1;
        year = 1900;
    } else {
        return QString();
    }
    if (year < 100) year += year < 50 ? 2000 : 1900;
    const QDate date(year, month, day);
    if (!date.isValid()) return QString();
    return date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + time.toString(QStringLiteral("HH:mm:ss.zzz"));
}

// orra_parse(text, culture, kind, conversion, type, try): kind 0 a number, 1 money, 2 a date
// or time; the invariant text goes on through the conversion to the named type.
void fnParse(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    const bool orNull = sqlite3_value_int(argv[5]) != 0;
    const QString cultureName = isNull(argv[1]) ? QString() : textOf(argv[1]);
    bool known = false;
    const QLocale l = cultureOf(cultureName, known);
    if (!known)
        return resultError(ctx,
            QStringLiteral("The culture parameter '%1' provided in the function call is not supported.").arg(cultureName));
    const QString text = textOf(argv[0]);
    const int kind = sqlite3_value_int(argv[2]);
    const QString invariant = kind == 2 ? invariantDateTime(text, l) : invariantNumber(text, l, kind == 1);
    if (invariant.isEmpty()) {
        if (orNull) return sqlite3_result_null(ctx);
        return resultError(ctx,
            QStringLiteral("Error converting string value '%1' into data type %2 using culture '%3'.")
                .arg(text, textOf(argv[4]), cultureName));
    }
    const QByteArray u = invariant.toUtf8();
    convertThrough(
        ctx, argv[3], 3,
        [&](sqlite3_stmt* st) { sqlite3_bind_text(st, 1, u.constData(), int(u.size()), SQLITE_TRANSIENT); }, orNull);
}

// ---- the table ----------------------------------------------------------------------------

struct Registration {
    const StringFunction name;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
};

const Registration kFunctions[] = {
    {{"left", "orra_left", 2, 2}, fnLeftRight<true>},
    {{"substring", "orra_substring", 3, 3}, fnSubstring},
    {{"right", "orra_right", 2, 2}, fnLeftRight<false>},
    {{"charindex", "orra_charindex", 2, 3}, fnCharIndex},
    {{"patindex", "orra_patindex", 2, 2}, fnPatIndex},
    {{"stuff", "orra_stuff", 4, 4}, fnStuff},
    {{"str", "orra_str", 1, 3}, fnStr},
    {{"concat", "orra_concat", 2, 254}, fnConcat},
    {{"concat_ws", "orra_concat_ws", 3, 254}, fnConcatWs},
    {{"quotename", "orra_quotename", 1, 2}, fnQuoteName},
    {{"replicate", "orra_replicate", 2, 2}, fnReplicate},
    {{"space", "orra_space", 1, 1}, fnSpace},
    {{"datalength", "orra_datalength", 1, 1}, fnDataLength},
    {{"upper", "orra_upper", 1, 1}, fnCase<true>},
    {{"lower", "orra_lower", 1, 1}, fnCase<false>},
    {{"reverse", "orra_reverse", 1, 1}, fnReverse},
    {{"ascii", "orra_ascii", 1, 1}, fnAscii},
    {{"char", "orra_char_of_code", 1, 1}, fnCharOfCode},
    {{"nchar", "orra_nchar", 1, 1}, fnNChar},
    {{"unicode", "orra_unicode", 1, 1}, fnUnicode},
    {{"translate", "orra_translate", 3, 3}, fnTranslate},
    {{"soundex", "orra_soundex", 1, 1}, fnSoundex},
    {{"difference", "orra_difference", 2, 2}, fnDifference},
    {{"isnumeric", "orra_isnumeric", 1, 1}, fnIsNumeric},
    {{"ltrim", "ltrim", 1, 2}, nullptr},
    {{"rtrim", "rtrim", 1, 2}, nullptr},
    {{"string_escape", "orra_string_escape", 2, 2}, fnStringEscape},
    {{"isjson", "orra_isjson", 1, 1}, fnIsJson},
    {{"replace", "orra_replace", 3, 3}, fnReplace},
};

}   // namespace

const StringFunction* findStringFunction(const QString& tsqlName)
{
    for (const Registration& r : kFunctions)
        if (tsqlName.compare(QLatin1String(r.name.tsql), Qt::CaseInsensitive) == 0) return &r.name;
    return nullptr;
}

QString argumentCountError(const StringFunction& f, int count, long& errorNumber)
{
    return argumentCountError(f.tsql, f.minArgs, f.maxArgs, count, errorNumber);
}

QString argumentCountError(const char* function, int minArgs, int maxArgs, int count, long& errorNumber)
{
    if (count >= minArgs && count <= maxArgs) return QString();
    if (minArgs == maxArgs) {
        errorNumber = 174;
        return QStringLiteral("The %1 function requires %2 argument(s).").arg(QLatin1String(function)).arg(minArgs);
    }
    errorNumber = 189;
    return QStringLiteral("The %1 function requires %2 to %3 arguments.")
        .arg(QLatin1String(function))
        .arg(minArgs)
        .arg(maxArgs);
}

const char* stringSplitTable(bool ordinal) { return ordinal ? "orra_string_split_ordinal" : "orra_string_split"; }

void registerStringFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    for (const Registration& r : kFunctions) {
        if (!r.fn) continue;
        const int args = r.name.minArgs == r.name.maxArgs ? r.name.minArgs : -1;
        sqlite3_create_function_v2(db, r.name.sqlite, args, flags, nullptr, r.fn, nullptr, nullptr, nullptr);
    }
    // The forms with a collation probe: f(x, orra_collation_probe(x) = x).
    sqlite3_create_function_v2(db, "orra_upper", 2, SQLITE_UTF8, nullptr, fnCase<true>, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_lower", 2, SQLITE_UTF8, nullptr, fnCase<false>, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_charindex_in", 4, SQLITE_UTF8, nullptr, fnCharIndexIn, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_replace", 4, SQLITE_UTF8, nullptr, fnReplace, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_patindex", 3, SQLITE_UTF8, nullptr, fnPatIndex, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_datalength", 2, SQLITE_UTF8, nullptr, fnDataLength, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_datalength_units", 2, flags, nullptr, fnDataLengthUnits, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_replicate", 3, flags, nullptr, fnReplicate, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_trim", 3, flags, nullptr, fnTrim, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "orra_string_agg", -1, SQLITE_UTF8, nullptr, nullptr, stringAggStep, stringAggFinal, nullptr);
    static int textLimit = 8000, unicodeLimit = 4000;
    sqlite3_create_function_v2(
        db, "orra_string_agg_text", -1, SQLITE_UTF8, &textLimit, nullptr, stringAggStep, stringAggFinal, nullptr);
    sqlite3_create_function_v2(
        db, "orra_string_agg_unicode", -1, SQLITE_UTF8, &unicodeLimit, nullptr, stringAggStep, stringAggFinal, nullptr);
    sqlite3_create_function_v2(db, "orra_try", 2, SQLITE_UTF8, nullptr, fnTry, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_parse", 6, SQLITE_UTF8, nullptr, fnParse, nullptr, nullptr, nullptr);
    static const sqlite3_module module = splitModule();
    static int ordinalTag = 1;
    sqlite3_create_module_v2(db, stringSplitTable(false), &module, nullptr, nullptr);
    sqlite3_create_module_v2(db, stringSplitTable(true), &module, &ordinalTag, nullptr);
}

}   // namespace orra::embedded
