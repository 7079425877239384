// An ad-hoc select of 1,000,000 rows x 10 columns in the editor window's result grid, on the
// embedded server: the time from F5 until the first rows are painted, against executing the
// same statement into a recordset alone; and the memory the view adds to the recordset's own
// (target: below 10% of it). Each side runs in its own child process so that its resident
// size is its own; the grid side paints its first page, then its last. Times are the best of
// three runs of each side. Runs offscreen unless
// a platform is named in QT_QPA_PLATFORM.
//
//   bench_adhoc_result [rows]

#include "catalogue/EmbeddedCatalogue.h"
#include "designer/editor/ResultGridModel.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace orra;

namespace {

const QString kServer = QStringLiteral("adhocbench");
const QString kDatabase = QStringLiteral("data");
const QString kSelect = QStringLiteral("select n, k, name, city, amount, ratio, made, flag, code, note from big");

long statusKb(const char* key)
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

db::ConnectionPtr connect()
{
    auto c = std::make_shared<db::Connection>();
    c->open(embedded::connectionText(kServer, kDatabase, QStringLiteral("sa"), QStringLiteral("secret")));
    return c;
}

// rows rows of ten columns of the usual kinds: integers, texts, money, a float, a date-time,
// a bit, a fixed-width code and a text that is NULL on every seventh row.
void makeData(long rows)
{
    catalogue::registerEmbeddedCatalogue();
    catalogue::createEmbeddedServer(kServer, QStringLiteral("sa"), QStringLiteral("secret"));
    embedded::createDatabase(kServer, kDatabase);
    db::ConnectionPtr c = connect();
    c->execute(QStringLiteral("create table seed (i int)"));
    c->execute(
        QStringLiteral("create table big (n int, k int, name varchar(20), city varchar(20), amount decimal(12,2), "
                       "ratio float, made datetime, flag bit, code char(4), note varchar(30))"));
    c->beginTrans();
    for (int i = 0; i < 1000; ++i) c->execute(QStringLiteral("insert into seed values (?)"), {i});
    c->commitTrans();
    c->execute(QStringLiteral(
        "insert into big select a.i * 1000 + b.i, b.i * 7 % 1000, 'name ' + cast(a.i * 1000 + b.i as varchar(10)), "
        "case when b.i % 3 = 0 then 'Ankara' when b.i % 3 = 1 then 'Izmir' else 'Bursa' end, "
        "cast(a.i as decimal(12,2)) + 0.25, b.i / 7.0, getdate(), b.i % 2, 'C' + cast(b.i % 100 as varchar(3)), "
        "case when b.i % 7 = 0 then null else 'note of row ' + cast(b.i as varchar(10)) end "
        "from seed a, seed b where a.i * 1000 + b.i < %1")
                   .arg(rows));
}

// The recordset alone: the statement executed on a worker thread, as the window executes it.
int runRecordset()
{
    db::ConnectionPtr c = connect();
    c->execute(QStringLiteral("select count(*) from seed"));   // the connection warmed up
    const long before = statusKb("VmRSS:");
    db::RecordsetPtr rs;
    const auto t0 = std::chrono::steady_clock::now();
    std::thread worker([&] { rs = c->execute(kSelect); });
    worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const long after = statusKb("VmRSS:");
    std::printf("%f %ld %ld\n", seconds, after - before, rs->RecordCount());
    return 0;
}

// The grid: F5 in an editor window, until the first rows are painted, then the last page.
int runGrid(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    db::ConnectionPtr c = connect();
    c->execute(QStringLiteral("select count(*) from seed"));
    morvane::frmOrraDevelopment w;
    w.resize(1000, 700);
    w.ChangeResultStyle(QStringLiteral("ResultInGrid"));
    w.setAdHocRunSource({[c] { return c; }, {}});
    w.show();
    w.ShowHideResultPane(true);
    QTest::qWait(50);
    auto* grid = w.findChild<QTableView*>(QStringLiteral("dbgGrid"));
    morvane::ResultGridModel* model = w.adHocSql()->gridModel();

    // The first paint of the grid's cells with rows in the model.
    struct PaintWatch : QObject {
        morvane::ResultGridModel* model;
        QElapsedTimer* clock;
        qint64 firstRows = -1;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && firstRows < 0 && model->rowCount() > 0) firstRows = clock->nsecsElapsed();
            return false;
        }
    } watch;
    QElapsedTimer clock;
    watch.model = model;
    watch.clock = &clock;
    grid->viewport()->installEventFilter(&watch);

    const long before = statusKb("VmRSS:");
    clock.start();
    w.ExecuteEditorSQL(kSelect);
    while (watch.firstRows < 0 || w.ExecutionState() != 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double firstRows = double(watch.firstRows) / 1e9;
    // The whole result is reachable: the last page painted too.
    grid->scrollToBottom();
    grid->viewport()->repaint();
    QCoreApplication::processEvents();
    const long after = statusKb("VmRSS:");
    std::printf("%f %ld %d\n", firstRows, after - before, model->rowCount());
    return 0;
}

struct Side {
    double seconds = 0;
    long kb = 0;
    long rows = 0;
};

Side spawn(const char* side, const QString& servers)
{
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        qputenv("ORRA_SERVERS", servers.toUtf8());
        execl("/proc/self/exe", "bench_adhoc_result", "--side", side, nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    Side s;
    // The last line is the figures (Qt may have written notes before it).
    const size_t at = out.rfind('\n', out.size() >= 2 ? out.size() - 2 : 0);
    const std::string last = at == std::string::npos ? out : out.substr(at + 1);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0
        || std::sscanf(last.c_str(), "%lf %ld %ld", &s.seconds, &s.kb, &s.rows) != 3) {
        std::fprintf(stderr, "%s side failed: %s\n", side, out.c_str());
        std::exit(1);
    }
    return s;
}

}   // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--side") == 0)
        return std::strcmp(argv[2], "grid") == 0 ? runGrid(argc, argv) : runRecordset();

    const long rows = argc >= 2 ? std::atol(argv[1]) : 1000000;
    QTemporaryDir dir;
    qputenv("ORRA_SERVERS", dir.path().toUtf8());
    const auto t0 = std::chrono::steady_clock::now();
    makeData(rows);
    std::printf("%ld rows x 10 columns made in %.1f s\n", rows,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    // Best time of three runs of each side (the machine may be busy); memory of the first.
    Side alone = spawn("recordset", dir.path());
    Side grid = spawn("grid", dir.path());
    for (int run = 1; run < 3; ++run) {
        alone.seconds = std::min(alone.seconds, spawn("recordset", dir.path()).seconds);
        grid.seconds = std::min(grid.seconds, spawn("grid", dir.path()).seconds);
    }
    if (alone.rows != rows || grid.rows != rows) {
        std::fprintf(stderr, "row counts differ: %ld %ld\n", alone.rows, grid.rows);
        return 1;
    }
    const long viewKb = grid.kb - alone.kb;
    std::printf("recordset alone (execute):      %.2f s, %ld KiB\n", alone.seconds, alone.kb);
    std::printf("grid, F5 to first rows painted: %.2f s (ratio %.2f), %ld KiB in all\n", grid.seconds,
        grid.seconds / alone.seconds, grid.kb);
    std::printf("memory the view adds:           %ld KiB = %.1f%% of the recordset (target below 10%%)\n", viewKb,
        100.0 * double(viewKb) / double(alone.kb));
    return 0;
}
