// Times the script engine against CPython on the same three programs:
//   vbscript_bench [runs]
// Each program runs in a fresh engine (and a fresh python3 process). Both sides count the
// thread's CPU time of the computation alone (python3 reports its own, start-up excluded), so
// other work on the machine does not skew the comparison. The best of the runs is reported
// with the ratio engine time / python3 time: below 1, the engine is faster. The exit status is
// 1 when a ratio is not below 1.

#include "platform/vbscript/ScriptEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <ctime>

namespace {

QString readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double timeEngine(const QString& code)
{
    orra::vbs::ScriptEngine engine;
    const double start = threadCpuSeconds();
    engine.executeStatement(code);
    return threadCpuSeconds() - start;
}

// The program prints the CPU seconds its computation took.
double timePython(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("python3"), {path});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) return -1;
    bool ok = false;
    const double s = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok ? s : -1;
}

}   // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QString dir = QStringLiteral(ORRA_BENCH_DIR);
    const char* names[] = {"loop", "concat", "fib"};
    int failures = 0;
    std::printf("%-8s %12s %12s %8s\n", "program", "engine (s)", "python3 (s)", "e/p");
    for (const char* name : names) {
        QString base = dir + QStringLiteral("/vbscript_") + QLatin1String(name);
        QString code = readFile(base + QStringLiteral(".vbs"));
        double bestE = 1e9, bestP = 1e9;
        for (int i = 0; i < runs; ++i) {
            try {
                bestE = std::min(bestE, timeEngine(code));
            } catch (const orra::vbs::ScriptError& e) {
                std::fprintf(stderr, "%s: %s\n", name, qUtf8Printable(e.description()));
                return 1;
            }
            double p = timePython(base + QStringLiteral(".py"));
            if (p < 0) {
                std::fprintf(stderr, "%s: python3 failed\n", name);
                return 1;
            }
            bestP = std::min(bestP, p);
        }
        double ratio = bestE / bestP;
        if (ratio >= 1) ++failures;
        std::printf("%-8s %12.3f %12.3f %8.2f\n", name, bestE, bestP, ratio);
    }
    return failures ? 1 : 0;
}
