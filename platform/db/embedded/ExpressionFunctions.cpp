#include "platform/db/embedded/ExpressionFunctions.h"
#include "platform/db/embedded/SqliteValues.h"

#include "platform/db/Decimal.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace orra::embedded {

namespace {

// One operand of a '+' chain, copied out of SQLite.
struct Value {
    int type = SQLITE_NULL;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes;   // text (UTF-8) or blob
};

Value fromSqlite(sqlite3_value* v)
{
    Value r;
    r.type = sqlite3_value_type(v);
    switch (r.type) {
    case SQLITE_INTEGER:
        r.integer = sqlite3_value_int64(v);
        break;
    case SQLITE_FLOAT:
        r.real = sqlite3_value_double(v);
        break;
    case SQLITE_TEXT:
        r.bytes = QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
        break;
    case SQLITE_BLOB:
        r.bytes = QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
        break;
    default:
        break;
    }
    return r;
}

void toSqlite(sqlite3_context* ctx, const Value& v)
{
    switch (v.type) {
    case SQLITE_INTEGER:
        sqlite3_result_int64(ctx, v.integer);
        break;
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, v.real);
        break;
    case SQLITE_TEXT:
        sqlite3_result_text(ctx, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    case SQLITE_BLOB:
        sqlite3_result_blob(ctx, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_result_null(ctx);
        break;
    }
}

// ---- packed term lists --------------------------------------------------------------------
// A list is a blob: the marker, then per value one type byte and its data (8 bytes for
// numbers, a 4-byte length and the bytes for text and blobs).

const char kListMarker[] = "\x00orra-terms\x01\x7f";
constexpr int kListMarkerSize = sizeof(kListMarker) - 1;

bool isList(sqlite3_value* v)
{
    return sqlite3_value_type(v) == SQLITE_BLOB && sqlite3_value_bytes(v) >= kListMarkerSize
        && std::memcmp(sqlite3_value_blob(v), kListMarker, kListMarkerSize) == 0;
}

void appendValue(QByteArray& out, const Value& v)
{
    out.append(char(v.type));
    switch (v.type) {
    case SQLITE_INTEGER:
        out.append(reinterpret_cast<const char*>(&v.integer), sizeof v.integer);
        break;
    case SQLITE_FLOAT:
        out.append(reinterpret_cast<const char*>(&v.real), sizeof v.real);
        break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const quint32 n = quint32(v.bytes.size());
        out.append(reinterpret_cast<const char*>(&n), sizeof n);
        out.append(v.bytes);
        break;
    }
    default:
        break;
    }
}

// Calls f for every value of the list in order.
template <class F> void forEachInList(sqlite3_value* list, F&& f)
{
    const char* p = static_cast<const char*>(sqlite3_value_blob(list)) + kListMarkerSize;
    const char* end = static_cast<const char*>(sqlite3_value_blob(list)) + sqlite3_value_bytes(list);
    // Only orra_list writes these; the bounds are checked all the same.
    auto fits = [&](size_t n) { return size_t(end - p) >= n; };
    while (p < end) {
        Value v;
        v.type = *p++;
        switch (v.type) {
        case SQLITE_INTEGER:
            if (!fits(sizeof v.integer)) return;
            std::memcpy(&v.integer, p, sizeof v.integer);
            p += sizeof v.integer;
            break;
        case SQLITE_FLOAT:
            if (!fits(sizeof v.real)) return;
            std::memcpy(&v.real, p, sizeof v.real);
            p += sizeof v.real;
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            quint32 n = 0;
            if (!fits(sizeof n)) return;
            std::memcpy(&n, p, sizeof n);
            p += sizeof n;
            if (!fits(n)) return;
            v.bytes = QByteArray(p, qsizetype(n));
            p += n;
            break;
        }
        default:
            v.type = SQLITE_NULL;
            break;
        }
        f(v);
    }
}

// Calls f for every operand of a call, unpacking lists in order.
template <class F> void forEachOperand(int argc, sqlite3_value** argv, F&& f)
{
    for (int i = 0; i < argc; ++i) {
        if (isList(argv[i]))
            forEachInList(argv[i], f);
        else
            f(fromSqlite(argv[i]));
    }
}

void fnList(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    QByteArray out(kListMarker, kListMarkerSize);
    forEachOperand(argc, argv, [&](const Value& v) { appendValue(out, v); });
    sqlite3_result_blob(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}

// ---- '+' ----------------------------------------------------------------------------------

// Numeric value of a text operand as the server converts it for '+' with a number.
bool textToNumber(const QByteArray& text, double& d, bool& integral, qint64& n)
{
    const QString t = QString::fromUtf8(text).trimmed();
    bool ok = false;
    n = t.toLongLong(&ok);
    if (ok) {
        d = double(n);
        integral = true;
        return true;
    }
    d = t.toDouble(&ok);
    integral = false;
    return ok;
}

// acc + next by the operands' types; false with error set when the server refuses it.
bool add(Value& acc, const Value& next, QString& error)
{
    if (acc.type == SQLITE_NULL) return true;
    if (next.type == SQLITE_NULL) {
        acc = Value();
        return true;
    }
    if ((acc.type == SQLITE_TEXT && next.type == SQLITE_TEXT)
        || (acc.type == SQLITE_BLOB && next.type == SQLITE_BLOB)) {
        acc.bytes.append(next.bytes);
        return true;
    }
    struct Number {
        double d = 0;
        qint64 n = 0;
        bool integral = false;
    };
    auto number = [&](const Value& v, Number& out) {
        if (v.type == SQLITE_INTEGER) {
            out.n = v.integer;
            out.d = double(v.integer);
            out.integral = true;
            return true;
        }
        if (v.type == SQLITE_FLOAT) {
            out.d = v.real;
            out.integral = false;
            return true;
        }
        if (textToNumber(v.bytes, out.d, out.integral, out.n)) return true;
        error = QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.")
                    .arg(QString::fromUtf8(v.bytes));
        return false;
    };
    Number a, b;
    if (!number(acc, a) || !number(next, b)) return false;
    if (a.integral && b.integral) {
        qint64 r = 0;
        if (__builtin_add_overflow(a.n, b.n, &r)) {
            error = QStringLiteral("Arithmetic overflow error converting expression to data type bigint.");
            return false;
        }
        acc = Value();
        acc.type = SQLITE_INTEGER;
        acc.integer = r;
        return true;
    }
    acc = Value();
    acc.type = SQLITE_FLOAT;
    acc.real = a.d + b.d;
    return true;
}

// orra_add(t0, t1, …): ((t0 + t1) + …) from the left; lists made by orra_list count as their
// terms in order.
void fnAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    Value acc;
    bool first = true;
    QString error;
    bool failed = false;
    forEachOperand(argc, argv, [&](const Value& v) {
        if (failed) return;
        if (first) {
            acc = v;
            first = false;
            return;
        }
        if (!add(acc, v, error)) failed = true;
    });
    if (failed) {
        resultError(ctx, error);
        return;
    }
    toSqlite(ctx, acc);
}

// ---- divisors and conversions -------------------------------------------------------------

void fnDivisor(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const Value v = fromSqlite(argv[0]);
    bool zero = false;
    if (v.type == SQLITE_INTEGER)
        zero = v.integer == 0;
    else if (v.type == SQLITE_FLOAT)
        zero = v.real == 0.0;
    else if (v.type == SQLITE_TEXT) {
        double d = 0;
        bool integral = false;
        qint64 n = 0;
        zero = textToNumber(v.bytes, d, integral, n) && d == 0.0;
    }
    if (zero) {
        sqlite3_result_error(ctx, "Divide by zero error encountered.", -1);
        return;
    }
    sqlite3_result_value(ctx, argv[0]);
}

// orra_recursion_level(level, limit): the level of a row a recursive common table expression
// makes from a row of the given level; past the limit (0: none) the statement ends with the
// server's error 530.
void fnRecursionLevel(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    resultRecursionLevel(ctx, sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]));
}

}   // namespace

void resultRecursionLevel(sqlite3_context* ctx, long long from, long long limit)
{
    const sqlite3_int64 level = from + 1;
    if (limit > 0 && level > limit) {
        const QString message = QStringLiteral("The statement terminated. The maximum recursion %1 has been exhausted "
                                               "before statement completion.")
                                    .arg(limit);
        resultError(ctx, message);
        return;
    }
    sqlite3_result_int64(ctx, level);
}

// ---- CAST( … AS float | real) --------------------------------------------------------------

// A text as the server reads a float: digits with an optional sign, point and exponent
// (blanks around it allowed); the empty text is 0.
bool textToFloat(const QString& text, double& d)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        d = 0;
        return true;
    }
    static const QRegularExpression form(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    if (!form.match(t).hasMatch()) return false;
    bool ok = false;
    d = t.toDouble(&ok);
    return ok && std::isfinite(d);
}

// orra_float(x, 'source type', 'float' | 'real'): a text that is no number is the server's
// error 8114 (never 0, as SQLite's own cast gives).
void fnFloat(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    double d = 0;
    const QString text = type == SQLITE_INTEGER || type == SQLITE_FLOAT
        ? QString()
        : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        d = sqlite3_value_double(argv[0]);
    } else if (!textToFloat(text, d)) {
        const QString message = QStringLiteral("Error converting data type %1 to %2.")
                                    .arg(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[1]))),
                                        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[2]))));
        sqlite3_result_error(ctx, message.toUtf8().constData(), -1);
        return;
    }
    // a value beyond real's range (3.40E+38) is no real
    if (std::fabs(d) > double(std::numeric_limits<float>::max())
        && sqlite3_stricmp(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])), "real") == 0) {
        sqlite3_result_error(ctx, "Arithmetic overflow error converting expression to data type real.", -1);
        return;
    }
    sqlite3_result_double(ctx, d);
}

// A float as text in the given significant digits: scientific notation (a three-digit
// exponent) when forced, else when the exponent is below -4 or reaches the digits; trailing
// zeros dropped in the form of at most 6 digits.
QString floatText(double d, int digits, bool scientific)
{
    if (d == 0) return scientific ? QStringLiteral("0.%1e+000").arg(QString(digits - 1, u'0')) : QStringLiteral("0");
    auto withExponent = [](QString text) {
        // C's e+NN to e+NNN
        const qsizetype e = text.indexOf(u'e');
        if (e < 0) return text;
        QString digitsPart = text.mid(e + 2);
        while (digitsPart.size() < 3) digitsPart.prepend(u'0');
        return text.left(e + 2) + digitsPart;
    };
    if (scientific) return withExponent(QString::asprintf("%.*e", digits - 1, d));
    // (style 3 keeps all its digits)
    return withExponent(QString::asprintf(digits == 17 ? "%#.*g" : "%.*g", digits, d));
}

// orra_float_text(x, style): CONVERT of a float to text; style 0 at most 6 digits, 1 always 8
// and 2 always 16 digits in scientific notation, 3 always 17 digits.
void fnFloatText(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const double d = sqlite3_value_double(argv[0]);
    const int style = sqlite3_value_type(argv[1]) == SQLITE_NULL ? 0 : sqlite3_value_int(argv[1]);
    QString text;
    switch (style) {
    case 1:
        text = floatText(d, 8, true);
        break;
    case 2:
        text = floatText(d, 16, true);
        break;
    case 3:
        text = floatText(d, 17, false);
        break;
    default:
        text = floatText(d, 6, false);
        break;
    }
    resultText(ctx, text);
}

// orra_number_text_fits(x, length, type): a number converted to a text of length characters.
// It fits: x as it is. Too long: "*" when type is empty, else the server's overflow error
// naming the text type.
void fnNumberTextFits(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL
        || sqlite3_value_bytes(argv[0]) <= sqlite3_value_int(argv[1])) {   // digits, signs and points are ASCII
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const QByteArray type(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])));
    if (type.isEmpty()) {
        sqlite3_result_text(ctx, "*", 1, SQLITE_STATIC);
        return;
    }
    const QByteArray message = "Arithmetic overflow error converting expression to data type " + type + '.';
    sqlite3_result_error(ctx, message.constData(), int(message.size()));
}

// The integer types a value converts to: their names, ranges and how an overflow reads.
struct IntegerType {
    const char* name;
    qint64 least, most;
};

constexpr IntegerType kIntegerTypes[] = {
    {"bit", 0, 1},
    {"tinyint", 0, 255},
    {"smallint", -32768, 32767},
    {"int", -2147483648LL, 2147483647LL},
    {"bigint", std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()},
};

const IntegerType* integerTypeNamed(const QByteArray& name)
{
    for (const IntegerType& t : kIntegerTypes)
        if (name == t.name) return &t;
    return nullptr;
}

void integerOverflow(sqlite3_context* ctx, const IntegerType& t)
{
    const QByteArray message = QByteArrayLiteral("Arithmetic overflow error converting expression to data type ")
        + t.name + '.';
    sqlite3_result_error(ctx, message.constData(), int(message.size()));
}

// A whole number n as a value of type t: bit takes any nonzero as 1; outside t's range a
// tinyint or smallint names the value, the others the type.
void integerResult(sqlite3_context* ctx, const IntegerType& t, qint64 n, bool fromInteger)
{
    if (t.most == 1) {
        sqlite3_result_int64(ctx, n != 0 ? 1 : 0);
    } else if (n >= t.least && n <= t.most) {
        sqlite3_result_int64(ctx, n);
    } else if (fromInteger && t.most < 2147483647LL) {
        const QByteArray message =
            QByteArrayLiteral("Arithmetic overflow error for data type ") + t.name + ", value = " + QByteArray::number(n) + '.';
        sqlite3_result_error(ctx, message.constData(), int(message.size()));
    } else {
        integerOverflow(ctx, t);
    }
}

// orra_integer(x, type): x converted to bit, tinyint, smallint, int or bigint as CAST converts
// it: decimals and floats truncated toward zero, text that is a whole number read as one
// (TRUE and FALSE too for bit), and the server's errors for a value out of range or no number.
void fnInteger(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const IntegerType* t = integerTypeNamed(QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(argv[1]))));
    if (!t) t = &kIntegerTypes[4];
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
        integerResult(ctx, *t, sqlite3_value_int64(argv[0]), true);
        return;
    case SQLITE_FLOAT: {
        const double d = std::trunc(sqlite3_value_double(argv[0]));
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
            integerOverflow(ctx, *t);
        else
            integerResult(ctx, *t, qint64(d), false);
        return;
    }
    case SQLITE_BLOB: {   // an exact value beyond a double's digits, as its decimal text
        const QByteArray text(static_cast<const char*>(sqlite3_value_blob(argv[0])), sqlite3_value_bytes(argv[0]));
        const std::optional<db::Decimal> d = db::Decimal::parse(QString::fromLatin1(text));
        const db::Decimal::Units whole = d ? d->units() / db::Decimal::powerOfTen(d->scale()) : 0;
        if (!d || whole < std::numeric_limits<qint64>::min() || whole > std::numeric_limits<qint64>::max())
            integerOverflow(ctx, *t);
        else
            integerResult(ctx, *t, qint64(whole), false);
        return;
    }
    default:
        break;
    }
    // the server's messages show the value as it is, blanks included
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    const QString text = value.trimmed();
    if (t->most == 1 && (text.compare(u"true", Qt::CaseInsensitive) == 0 || text.compare(u"false", Qt::CaseInsensitive) == 0)) {
        sqlite3_result_int64(ctx, text.size() == 4 ? 1 : 0);
        return;
    }
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    if (!whole.match(text).hasMatch()) {
        const QByteArray message = QStringLiteral("Conversion failed when converting the varchar value '%1' to data type %2.")
                                       .arg(value, QLatin1String(t->name))
                                       .toUtf8();
        sqlite3_result_error(ctx, message.constData(), int(message.size()));
        return;
    }
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (ok && (t->most == 1 || (n >= t->least && n <= t->most))) {
        integerResult(ctx, *t, n, false);
        return;
    }
    QByteArray message;
    if (t->most < 2147483647LL)
        message = QStringLiteral("The conversion of the varchar value '%1' overflowed an %2 column. Use a larger integer column.")
                      .arg(value, QLatin1String(t->name))
                      .toUtf8();
    else if (t->most == 2147483647LL)
        message = QStringLiteral("The conversion of the varchar value '%1' overflowed an int column.").arg(value).toUtf8();
    else
        message = QByteArrayLiteral("Error converting data type varchar to bigint.");
    sqlite3_result_error(ctx, message.constData(), int(message.size()));
}

// orra_value_text_fits(x, length, type): a value of a type not known before it comes (a client's
// parameter, a procedure's argument) converted to a text of length characters: a whole number
// too long for it is "*" in char and varchar and the overflow error in nchar and nvarchar, any
// other number too long is the overflow error; text and other values as they are.
void fnValueTextFits(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const int kind = sqlite3_value_type(argv[0]);
    if ((kind != SQLITE_INTEGER && kind != SQLITE_FLOAT) || sqlite3_value_bytes(argv[0]) <= sqlite3_value_int(argv[1])) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const QByteArray type(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])));
    if (kind == SQLITE_INTEGER && !type.startsWith('n')) {
        sqlite3_result_text(ctx, "*", 1, SQLITE_STATIC);
        return;
    }
    const QByteArray message = "Arithmetic overflow error converting expression to data type " + type + '.';
    sqlite3_result_error(ctx, message.constData(), int(message.size()));
}

// orra_single_value(x): the value of a subquery's one row (NULL without rows); a second row is
// the server's error 512.
struct SingleValue {
    sqlite3_value* value;
    bool taken;
};

void singleValueStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* state = static_cast<SingleValue*>(sqlite3_aggregate_context(ctx, sizeof(SingleValue)));
    if (!state) return sqlite3_result_error_nomem(ctx);
    if (state->taken) {
        sqlite3_result_error(ctx,
            "Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, <, <= , >, >= "
            "or when the subquery is used as an expression.",
            -1);
        return;
    }
    state->taken = true;
    state->value = sqlite3_value_dup(argv[0]);
}

void singleValueFinal(sqlite3_context* ctx)
{
    auto* state = static_cast<SingleValue*>(sqlite3_aggregate_context(ctx, 0));
    if (!state || !state->value) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, state->value);
    sqlite3_value_free(state->value);
}

void registerExpressionFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "orra_add", -1, flags, nullptr, fnAdd, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_list", -1, flags, nullptr, fnList, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "orra_single_value", 1, SQLITE_UTF8, nullptr, nullptr, singleValueStep, singleValueFinal, nullptr);
    sqlite3_create_function_v2(db, "orra_divisor", 1, flags, nullptr, fnDivisor, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "orra_recursion_level", 2, flags, nullptr, fnRecursionLevel, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_float", 3, flags, nullptr, fnFloat, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_float_text", 2, flags, nullptr, fnFloatText, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "orra_number_text_fits", 3, flags, nullptr, fnNumberTextFits, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_integer", 2, flags, nullptr, fnInteger, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "orra_value_text_fits", 3, flags, nullptr, fnValueTextFits, nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
