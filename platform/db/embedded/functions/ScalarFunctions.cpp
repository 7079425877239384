#include "platform/db/embedded/functions/ScalarFunctions.h"
#include "platform/db/embedded/SqliteValues.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace orra::embedded {

namespace {

constexpr const char* kInvalidFloat = "An invalid floating point operation occurred.";

bool anyNull(int argc, sqlite3_value** argv)
{
    for (int a = 0; a < argc; ++a)
        if (sqlite3_value_type(argv[a]) == SQLITE_NULL) return true;
    return false;
}

// A float result, or the server's error for a value outside the function's domain.
void floatResult(sqlite3_context* ctx, double d)
{
    if (std::isfinite(d))
        sqlite3_result_double(ctx, d);
    else
        sqlite3_result_error(ctx, kInvalidFloat, -1);
}

// LOG(x [, base]): the natural logarithm, or the one to the base.
void fnLog(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const double x = sqlite3_value_double(argv[0]);
    if (x <= 0) return sqlite3_result_error(ctx, kInvalidFloat, -1);
    if (argc == 1) return floatResult(ctx, std::log(x));
    const double base = sqlite3_value_double(argv[1]);
    if (base <= 0 || base == 1) return sqlite3_result_error(ctx, kInvalidFloat, -1);
    floatResult(ctx, std::log(x) / std::log(base));
}

void fnSquare(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const double x = sqlite3_value_double(argv[0]);
    floatResult(ctx, x * x);
}

// The server's float functions of one argument over SQLite's own: a value outside the
// function's domain (SQRT(-1), ACOS(2), LOG10(0)) or a result no float holds (EXP(1000)) is the
// server's error, never NULL or infinity.
template <double (*F)(double)> void fnFloat1(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    floatResult(ctx, F(sqlite3_value_double(argv[0])));
}

double sqrtOf(double x) { return x < 0 ? NAN : std::sqrt(x); }
double log10Of(double x) { return x <= 0 ? NAN : std::log10(x); }
double degreesOf(double x) { return x * 180 / M_PI; }
double radiansOf(double x) { return x * M_PI / 180; }

// POWER(x, y) as a float; the translator keeps an integer, money or decimal x's type.
void fnPower(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    floatResult(ctx, std::pow(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1])));
}

// ROUND(x, length [, function]) of an integer or a float (exact values have orra_round of five
// arguments): rounded half away from zero, or truncated when function is not 0, to length
// decimals; a negative length rounds to the left of the point. An integer stays an integer.
void fnRoundNumber(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const sqlite3_int64 length = sqlite3_value_int64(argv[1]);
    const bool truncate = argc > 2 && sqlite3_value_int64(argv[2]) != 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        const sqlite3_int64 x = sqlite3_value_int64(argv[0]);
        if (length >= 0) return sqlite3_result_int64(ctx, x);
        // |x| < 10^19: rounding to 10^19 or more leaves 0, or overflows for |x| >= 5 * 10^18
        __int128 p = 1;
        for (sqlite3_int64 k = 0; k < -length && p <= __int128(10'000'000'000'000'000'000ULL); ++k) p *= 10;
        const __int128 r = __int128(x) % p;
        __int128 y = __int128(x) - r;
        if (!truncate && (r < 0 ? -r : r) * 2 >= p) y += x < 0 ? -p : p;
        if (y < std::numeric_limits<sqlite3_int64>::min() || y > std::numeric_limits<sqlite3_int64>::max())
            return sqlite3_result_error(ctx, "Arithmetic overflow error converting expression to data type bigint.", -1);
        return sqlite3_result_int64(ctx, sqlite3_int64(y));
    }
    const double x = sqlite3_value_double(argv[0]);
    const double scale = std::pow(10.0, double(std::clamp<sqlite3_int64>(length, -400, 400)));
    const double scaled = x * scale;
    if (!std::isfinite(scaled) || scale == 0) return sqlite3_result_double(ctx, scale == 0 ? 0.0 : x);
    const double whole = truncate ? std::trunc(scaled) : std::round(scaled);
    sqlite3_result_double(ctx, whole / scale);
}

// ATN2(y, x): the angle of the point (x, y).
void fnAtn2(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    floatResult(ctx, std::atan2(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1])));
}

void fnCot(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const double t = std::tan(sqlite3_value_double(argv[0]));
    if (t == 0) return sqlite3_result_error(ctx, kInvalidFloat, -1);
    floatResult(ctx, 1 / t);
}

// RAND([seed]): a float in [0, 1); a seed starts the connection's sequence anew, so the same
// seed gives the same values.
void fnRand(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* engine = static_cast<std::mt19937_64*>(sqlite3_user_data(ctx));
    if (argc == 1 && sqlite3_value_type(argv[0]) != SQLITE_NULL)
        engine->seed(std::uint64_t(std::uint32_t(sqlite3_value_int(argv[0]))));
    sqlite3_result_double(ctx, std::generate_canonical<double, 53>(*engine));
}

// CHOOSE(index, v1, v2, …): the index-th value (index truncated to an integer), NULL outside.
void fnChoose(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (argc < 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const sqlite3_int64 index = sqlite3_value_type(argv[0]) == SQLITE_FLOAT
        ? sqlite3_int64(std::trunc(sqlite3_value_double(argv[0])))
        : sqlite3_value_int64(argv[0]);
    if (index < 1 || index >= argc) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, argv[index]);
}

bool isNumber(sqlite3_value* v)
{
    const int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// a < b as the server compares two values of the call: numbers as numbers (a text beside a
// number is read as one), texts by their characters.
bool less(sqlite3_value* a, sqlite3_value* b)
{
    if (isNumber(a) || isNumber(b)) return sqlite3_value_double(a) < sqlite3_value_double(b);
    const QString x = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(a)));
    const QString y = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(b)));
    return x.compare(y, Qt::CaseInsensitive) < 0;
}

// GREATEST and LEAST: the largest or smallest value that is not NULL; NULL when all are.
template <bool Greatest> void fnExtreme(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    sqlite3_value* best = nullptr;
    for (int a = 0; a < argc; ++a) {
        if (sqlite3_value_type(argv[a]) == SQLITE_NULL) continue;
        if (!best || (Greatest ? less(best, argv[a]) : less(argv[a], best))) best = argv[a];
    }
    if (!best) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, best);
}

// CAST(x AS uniqueidentifier): a text of 32 hexadecimal digits grouped 8-4-4-4-12 (in braces or
// not), kept in capitals as NEWID() makes them; 16 bytes as they are.
void fnGuid(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL || type == SQLITE_BLOB) return sqlite3_result_value(ctx, argv[0]);
    QString t = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0]))).trimmed();
    if (t.startsWith(u'{') && t.endsWith(u'}')) t = t.mid(1, t.size() - 2);
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!form.match(t).hasMatch())
        return sqlite3_result_error(ctx, "Conversion failed when converting from a character string to uniqueidentifier.", -1);
    resultText(ctx, t.toUpper());
}

void fnNewId(sqlite3_context* ctx, int, sqlite3_value**)
{
    const QByteArray text = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toLatin1();
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// HOST_NAME(): the client's computer; APP_NAME(): the client application's name.
void fnHostName(sqlite3_context* ctx, int, sqlite3_value**) { resultText(ctx, QSysInfo::machineHostName()); }

void fnAppName(sqlite3_context* ctx, int, sqlite3_value**) { resultText(ctx, QCoreApplication::applicationName()); }

// @@VERSION: the server and the engine under it.
void fnVersion(sqlite3_context* ctx, int, sqlite3_value**)
{
    resultText(ctx, QStringLiteral("Orra embedded server on SQLite %1").arg(QLatin1String(sqlite3_libversion())));
}

}   // namespace

void registerScalarFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "orra_log", 1, flags, nullptr, fnLog, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_log", 2, flags, nullptr, fnLog, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_square", 1, flags, nullptr, fnSquare, nullptr, nullptr, nullptr);
    // SQLite's own float functions give NULL or infinity where the server's give its error
    const struct {
        const char* name;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    } floats[] = {{"sqrt", fnFloat1<sqrtOf>}, {"exp", fnFloat1<static_cast<double (*)(double)>(std::exp)>},
        {"log10", fnFloat1<log10Of>}, {"acos", fnFloat1<static_cast<double (*)(double)>(std::acos)>},
        {"asin", fnFloat1<static_cast<double (*)(double)>(std::asin)>},
        {"atan", fnFloat1<static_cast<double (*)(double)>(std::atan)>},
        {"cos", fnFloat1<static_cast<double (*)(double)>(std::cos)>},
        {"sin", fnFloat1<static_cast<double (*)(double)>(std::sin)>},
        {"tan", fnFloat1<static_cast<double (*)(double)>(std::tan)>}, {"degrees", fnFloat1<degreesOf>},
        {"radians", fnFloat1<radiansOf>}};
    for (const auto& f : floats) sqlite3_create_function_v2(db, f.name, 1, flags, nullptr, f.fn, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "power", 2, flags, nullptr, fnPower, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_round", 2, flags, nullptr, fnRoundNumber, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_round", 3, flags, nullptr, fnRoundNumber, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_atn2", 2, flags, nullptr, fnAtn2, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_cot", 1, flags, nullptr, fnCot, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_choose", -1, flags, nullptr, fnChoose, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_greatest", -1, flags, nullptr, fnExtreme<true>, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_least", -1, flags, nullptr, fnExtreme<false>, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_guid", 1, flags, nullptr, fnGuid, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_newid", 0, SQLITE_UTF8, nullptr, fnNewId, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_host_name", 0, SQLITE_UTF8, nullptr, fnHostName, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_app_name", 0, SQLITE_UTF8, nullptr, fnAppName, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_version", 0, SQLITE_UTF8, nullptr, fnVersion, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_host_name", 0, SQLITE_UTF8, nullptr, fnHostName, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_app_name", 0, SQLITE_UTF8, nullptr, fnAppName, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_version", 0, SQLITE_UTF8, nullptr, fnVersion, nullptr, nullptr, nullptr);
    auto* engine = new std::mt19937_64(std::random_device{}());
    sqlite3_create_function_v2(db, "orra_rand", -1, SQLITE_UTF8, engine, fnRand, nullptr, nullptr,
        [](void* p) { delete static_cast<std::mt19937_64*>(p); });
}

}   // namespace orra::embedded
