// Times the script engine against CPython on the same three programs, as whole processes:
//   vbscript_bench [runs]
// Each run starts `vbsrun FILE.vbs` and `python3 -S FILE.py` and counts the CPU time (user and
// system) each process took from exec to exit, start-up included; CPU time rather than wall
// time, so that other work on a shared machine does not skew the comparison. python3 is the
// interpreter itself (a launcher script such as a version manager's shim is resolved first) and
// runs with -S: the installation's site hooks are not CPython's start-up, and leaving them out
// only makes python3 faster. The best of the runs is reported with the ratio vbsrun / python3
// and the wall times. The exit status is 1 when a ratio is not below 0.8.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr double kTarget = 0.8;

struct Timing {
    double cpu = -1;    // user + system seconds
    double wall = -1;
};

double now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Runs argv to completion with its output discarded; cpu < 0 when it failed.
Timing runProcess(const std::vector<QByteArray>& args)
{
    std::vector<char*> argv;
    for (const QByteArray& a : args) argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    Timing t;
    const double start = now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return t;
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid) return t;
    t.wall = now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return t;
    t.cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return t;
}

// The python3 interpreter's own path (not a launcher script in front of it).
QByteArray pythonExecutable()
{
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral("import sys; print(sys.executable)")});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) return QByteArray();
    return p.readAllStandardOutput().trimmed();
}

}   // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const QByteArray dir = ORRA_BENCH_DIR;
    const QByteArray python = pythonExecutable();
    if (python.isEmpty()) {
        std::fprintf(stderr, "python3 not found\n");
        return 1;
    }
    const char* names[] = {"loop", "concat", "fib"};
    int failures = 0;
    std::printf("%-8s %14s %14s %8s %12s %12s\n", "program", "vbsrun cpu(s)", "python3 cpu(s)", "v/p",
        "vbsrun wall", "python3 wall");
    for (const char* name : names) {
        const QByteArray base = dir + "/vbscript_" + name;
        Timing bestV, bestP;
        for (int i = 0; i < runs; ++i) {
            Timing v = runProcess({ORRA_VBSRUN, base + ".vbs"});
            if (v.cpu < 0) {
                std::fprintf(stderr, "%s: vbsrun failed\n", name);
                return 1;
            }
            Timing p = runProcess({python, "-S", base + ".py"});
            if (p.cpu < 0) {
                std::fprintf(stderr, "%s: python3 failed\n", name);
                return 1;
            }
            if (bestV.cpu < 0 || v.cpu < bestV.cpu) bestV = v;
            if (bestP.cpu < 0 || p.cpu < bestP.cpu) bestP = p;
        }
        const double ratio = bestV.cpu / bestP.cpu;
        if (ratio >= kTarget) ++failures;
        std::printf("%-8s %14.3f %14.3f %8.2f %12.3f %12.3f\n", name, bestV.cpu, bestP.cpu, ratio, bestV.wall,
            bestP.wall);
    }
    return failures ? 1 : 0;
}
