#include "platform/db/embedded/functions/StatisticalAggregates.h"

#include <sqlite3.h>

#include <cmath>

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
}

}   // namespace orra::embedded
