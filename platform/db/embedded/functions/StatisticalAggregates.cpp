#include "platform/db/embedded/functions/StatisticalAggregates.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace orra::embedded {

namespace {

// Running count, mean and sum of squared deviations (Welford), so that a window may also
// take values out again.
struct Moments {
    sqlite3_int64 n;
    double mean;
    double m2;
};

enum Kind { SampleDeviation, PopulationDeviation, SampleVariance, PopulationVariance };

Moments* momentsOf(sqlite3_context* ctx, bool create)
{
    return static_cast<Moments*>(sqlite3_aggregate_context(ctx, create ? int(sizeof(Moments)) : 0));
}

void step(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    Moments* m = momentsOf(ctx, true);
    if (!m) return;
    const double x = sqlite3_value_double(argv[0]);
    ++m->n;
    const double delta = x - m->mean;
    m->mean += delta / double(m->n);
    m->m2 += delta * (x - m->mean);
}

void inverse(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    Moments* m = momentsOf(ctx, true);
    if (!m || m->n == 0) return;
    const double x = sqlite3_value_double(argv[0]);
    if (m->n == 1) {
        *m = Moments{0, 0, 0};
        return;
    }
    const double before = m->mean;
    m->mean = (before * double(m->n) - x) / double(m->n - 1);
    m->m2 -= (x - before) * (x - m->mean);
    if (m->m2 < 0) m->m2 = 0;
    --m->n;
}

template <Kind K> void value(sqlite3_context* ctx)
{
    const Moments* m = momentsOf(ctx, false);
    const sqlite3_int64 n = m ? m->n : 0;
    const bool sample = K == SampleDeviation || K == SampleVariance;
    // A sample needs two values, a population one.
    if (n == 0 || (sample && n < 2)) {
        sqlite3_result_null(ctx);
        return;
    }
    const double variance = m->m2 / double(sample ? n - 1 : n);
    sqlite3_result_double(ctx, K == SampleDeviation || K == PopulationDeviation ? std::sqrt(variance) : variance);
}

// ---- PERCENTILE_CONT and PERCENTILE_DISC over a partition --------------------------------
// orra_percentile_cont(p, x, descending) and orra_percentile_disc(p, x, descending): the
// partition's values of x (NULLs ignored), sorted when a value is asked for.

struct Percentile {
    std::vector<sqlite3_value*> values;
    double fraction = 0;
    bool descending = false;
    bool sorted = true;
    bool outOfRange = false;
};

struct PercentileSlot {
    Percentile* p;
};

Percentile* percentileOf(sqlite3_context* ctx, bool create)
{
    auto* slot = static_cast<PercentileSlot*>(sqlite3_aggregate_context(ctx, create ? int(sizeof(PercentileSlot)) : 0));
    if (!slot) return nullptr;
    if (!slot->p && create) slot->p = new Percentile;
    return slot->p;
}

bool isNumber(sqlite3_value* v)
{
    const int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// SQLite's order of values: numbers before text and blobs, numbers by value, the rest by bytes.
int compareValues(sqlite3_value* a, sqlite3_value* b)
{
    if (isNumber(a) || isNumber(b)) {
        if (!isNumber(a)) return 1;
        if (!isNumber(b)) return -1;
        if (sqlite3_value_type(a) == SQLITE_INTEGER && sqlite3_value_type(b) == SQLITE_INTEGER) {
            const sqlite3_int64 x = sqlite3_value_int64(a), y = sqlite3_value_int64(b);
            return x < y ? -1 : x > y ? 1 : 0;
        }
        const double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const int na = sqlite3_value_bytes(a), nb = sqlite3_value_bytes(b);
    const int c = std::memcmp(sqlite3_value_blob(a), sqlite3_value_blob(b), size_t(std::min(na, nb)));
    return c != 0 ? c : na - nb;
}

void percentileStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    Percentile* p = percentileOf(ctx, true);
    if (!p) return sqlite3_result_error_nomem(ctx);
    if (p->values.empty()) {
        p->fraction = sqlite3_value_double(argv[0]);
        p->outOfRange = sqlite3_value_type(argv[0]) == SQLITE_NULL || p->fraction < 0 || p->fraction > 1;
        p->descending = sqlite3_value_int(argv[2]) != 0;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return;
    p->values.push_back(sqlite3_value_dup(argv[1]));
    p->sorted = false;
}

void percentileInverse(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    Percentile* p = percentileOf(ctx, false);
    if (!p || sqlite3_value_type(argv[1]) == SQLITE_NULL) return;
    const auto it = std::find_if(p->values.begin(), p->values.end(), [&](sqlite3_value* v) {
        return compareValues(v, argv[1]) == 0;
    });
    if (it == p->values.end()) return;
    sqlite3_value_free(*it);
    p->values.erase(it);
}

// The values in the order WITHIN GROUP names, or nullptr (the result set) when there is none.
const std::vector<sqlite3_value*>* orderedValues(sqlite3_context* ctx)
{
    Percentile* p = percentileOf(ctx, false);
    if (p && p->outOfRange) {
        sqlite3_result_error(ctx, "The percentile value must be between 0.0 and 1.0.", -1);
        return nullptr;
    }
    if (!p || p->values.empty()) {
        sqlite3_result_null(ctx);
        return nullptr;
    }
    if (!p->sorted) {
        std::stable_sort(p->values.begin(), p->values.end(), [&](sqlite3_value* a, sqlite3_value* b) {
            return p->descending ? compareValues(b, a) < 0 : compareValues(a, b) < 0;
        });
        p->sorted = true;
    }
    return &p->values;
}

// PERCENTILE_CONT: the value at row 1 + p * (n - 1), interpolated between its neighbours.
void percentileContValue(sqlite3_context* ctx)
{
    const std::vector<sqlite3_value*>* v = orderedValues(ctx);
    if (!v) return;
    const double row = percentileOf(ctx, false)->fraction * double(v->size() - 1);
    const size_t below = size_t(std::floor(row)), above = size_t(std::ceil(row));
    const double low = sqlite3_value_double((*v)[below]), high = sqlite3_value_double((*v)[above]);
    sqlite3_result_double(ctx, below == above ? low : (double(above) - row) * low + (row - double(below)) * high);
}

// PERCENTILE_DISC: the first value whose cumulative distribution reaches p.
void percentileDiscValue(sqlite3_context* ctx)
{
    const std::vector<sqlite3_value*>* v = orderedValues(ctx);
    if (!v) return;
    const double p = percentileOf(ctx, false)->fraction;
    const size_t n = v->size();
    size_t k = 0;
    while (k + 1 < n && double(k + 1) / double(n) < p) ++k;
    sqlite3_result_value(ctx, (*v)[k]);
}

template <void (*Value)(sqlite3_context*)> void percentileFinal(sqlite3_context* ctx)
{
    Value(ctx);
    auto* slot = static_cast<PercentileSlot*>(sqlite3_aggregate_context(ctx, 0));
    if (!slot || !slot->p) return;
    for (sqlite3_value* v : slot->p->values) sqlite3_value_free(v);
    delete slot->p;
    slot->p = nullptr;
}

}   // namespace

void registerStatisticalAggregates(sqlite3* db)
{
    const struct {
        const char* name;
        void (*value)(sqlite3_context*);
    } aggregates[] = {
        {"stdev", value<SampleDeviation>},
        {"stdevp", value<PopulationDeviation>},
        {"var", value<SampleVariance>},
        {"varp", value<PopulationVariance>},
    };
    for (const auto& a : aggregates)
        sqlite3_create_window_function(
            db, a.name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, step, a.value, a.value, inverse, nullptr);
    sqlite3_create_window_function(db, "orra_percentile_cont", 3, SQLITE_UTF8, nullptr, percentileStep,
        percentileFinal<percentileContValue>, percentileContValue, percentileInverse, nullptr);
    sqlite3_create_window_function(db, "orra_percentile_disc", 3, SQLITE_UTF8, nullptr, percentileStep,
        percentileFinal<percentileDiscValue>, percentileDiscValue, percentileInverse, nullptr);
}

}   // namespace orra::embedded
