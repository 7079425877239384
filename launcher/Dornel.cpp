#include "launcher/Dornel.h"

#include "common/SpreadsheetExport.h"
#include "launcher/CommandLine.h"
#include "launcher/DataSource.h"
#include "platform/db/ServerConnectionText.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/host/MemoryReserve.h"
#include "platform/host/PrivateFolder.h"
#include "platform/host/UserInterface.h"
#include "runtime/DocOrra.h"
#include "runtime/ProgId.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace orra::launcher {

namespace {

// A failure with the exit status it ends the program with.
struct Failure {
    Error error;
    ExitStatus status;
};

// Opens the log for writing from its start. The file is never reached through a symbolic
// link, and a file that is not this user's own plain file (a link planted in a shared folder)
// is left alone.
int openLogFile(const QString& path)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QFileInfo(dir).isDir() && !makePrivateFolder(dir)) return -1;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1
        || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeLog(const Error& e)
{
    const int fd = openLogFile(LogFilePath());
    if (fd < 0) return false;
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Text, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    QTextStream out(&file);
    out << "Number:" << e.number() << '\n'
        << "Source:" << e.source() << '\n'
        << "Description:" << e.description() << '\n';
    return out.status() == QTextStream::Ok && file.flush();
}

void report(const Error& e, bool debug, const RunHost& host)
{
    std::fprintf(stderr, "dornel: error %ld (%s): %s\n", e.number(), qUtf8Printable(e.source()),
        qUtf8Printable(e.description()));
    if (debug && writeLog(e)) return;
    if (debug) std::fprintf(stderr, "dornel: could not write the log file %s\n", qUtf8Printable(LogFilePath()));
    UserInterface& ui = host.userInterface();
    if (ui.interactive()) ui.messageBox(e.description(), vbOKOnly, QString());
}

// Memory running out stops the run with an error wherever it happens (the export's read of
// the rows included); every other error ends with the status of the stage it happened in.
ExitStatus statusOf(const Error& e, ExitStatus stageStatus)
{
    return e.number() == kOutOfMemory ? ExitRunError : stageStatus;
}

template <class F> auto stage(ExitStatus status, F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const Error& e) {
        throw Failure{e, statusOf(e, status)};
    } catch (const std::bad_alloc&) {
        // What failed has given its memory back; the reserve leaves room to report it.
        releaseMemoryReserve();
        throw Failure{Error(kOutOfMemory, QStringLiteral("Dornel"), QStringLiteral("Out of memory")), ExitRunError};
    }
}

// Every workbook the run writes (the report's, a script's ExportExcel) has its path on
// standard output, one a line, as soon as it is complete.
void printWorkbookPath(const QString& path)
{
    std::printf("%s\n", qUtf8Printable(path));
    std::fflush(stdout);
}

// Runs the document; the engine's EndExecution always runs once it was created, so that no
// temporary table or lock is left behind, whatever happened.
int runDocument(const Options& o, const RunHost& host)
{
    auto catalogue = std::make_shared<db::Connection>();
    stage(ExitConnectionFailed, [&] {
        catalogue->open(CatalogueConnectionText(o.server, o.db, o.userid, o.pwd));
        catalogue->setCommandTimeout(0);
    });
    const long id = stage(ExitFailed, [&] { return ResolveDocumentID(*catalogue, o.docid); });
    const bool withSchema = !o.schemaid.isEmpty();
    const long schemaID = withSchema ? stage(ExitBadCommandLine, [&] { return ParseSchemaID(o.schemaid); }) : 0;

    // Created by its program identifier, as any late-bound host does.
    std::unique_ptr<QObject> object = stage(ExitFailed, [] { return CreateObject(QStringLiteral("Tavrel.DocOrra")); });
    auto* engine = qobject_cast<DocOrra*>(object.get());
    if (!engine)
        throw Failure{Error(kCannotCreateObject, QStringLiteral("Dornel"),
                          QStringLiteral("ActiveX component can't create object")),
            ExitFailed};
    struct EndAlways {
        DocOrra& engine;
        bool prepared = false;
        ~EndAlways()
        {
            if (!prepared) return;
            try {
                engine.EndExecution();
            } catch (...) {
            }
        }
    } ender{*engine};

    RunHost runHost = host;
    runHost.workbookWritten = printWorkbookPath;
    engine->setHost(runHost);
    // The station the run last arrived at, while no element has run since: where it is left paused.
    QString stationName;
    bool atStation = false;
    QObject::connect(engine, &DocOrra::ArrivetoStation, engine, [&](QString&, QString& name) {
        stationName = name;
        atStation = true;
    });
    const auto leftStation = [&](QString&) { atStation = false; };
    QObject::connect(engine, &DocOrra::BeforeExecutionBlock, engine, leftStation);
    QObject::connect(engine, &DocOrra::BeforeExecutionScript, engine, leftStation);
    QObject::connect(engine, &DocOrra::BeforeExecutionInclude, engine, leftStation);
    engine->setDoc_Con(catalogue);
    engine->flagReturnRecordSet = o.exportReport;
    engine->flagShowErrorMessages = false;
    engine->OrraID = static_cast<int>(id);
    stage(ExitFailed, [&] {
        engine->LoadDocument();
        engine->Expand();
    });
    const QString server = xml::attribute(engine->XMLDOMDocument()->documentElement(), QStringLiteral("Server"));
    engine->setOrra_Con(stage(ExitConnectionFailed, [&] { return OpenDataSourceConnection(*catalogue, server); }));
    if (withSchema) {
        try {
            ApplyCallSchema(*catalogue, *engine->XMLDOMDocument(), id, schemaID);
        } catch (const Error& e) {
            throw Failure{e, e.number() == kErrorNoSchema ? ExitNoSchema : statusOf(e, ExitFailed)};
        }
    }
    stage(ExitRunError, [&] { engine->PrepareforExecution(); });
    ender.prepared = true;
    engine->GoToID.clear();
    float r = stage(ExitRunError, [&] { return engine->RunDocument(); });
    while (r == RunResult::RestartRequested) r = stage(ExitRunError, [&] { return engine->RunDocument(); });
    if (r == RunResult::Stopped)
        throw Failure{
            Error(kErrorRunFailed, QStringLiteral("Dornel"), QStringLiteral("An Error occur while running Tavrel")),
            ExitRunError};

    if (o.exportReport && engine->flagReturnRecordSet) {
        stage(ExitFailed, [&] {
            db::RecordsetPtr rs = engine->Orra_Con()->execute(QStringLiteral("select * from #Report"));
            printWorkbookPath(ExportRecordsetToExcel(*rs).path);
            // A warning of the export has been shown (headless: on standard error) by the export.
            rs->close();
        });
    }
    // A run that stopped at a station (or was paused by a script) is not resumed.
    if (r < RunResult::Paused) return ExitFinished;
    if (atStation)
        std::fprintf(stderr, "dornel: the run stopped at the station '%s' and was left paused\n",
            qUtf8Printable(stationName));
    else
        std::fprintf(stderr, "dornel: the run was paused by the document and was left paused\n");
    return ExitPaused;
}

}   // namespace

QString CatalogueConnectionText(const QString& server, const QString& db, const QString& userid, const QString& pwd)
{
    db::ServerLogOn logOn;
    logOn.server = server;
    logOn.database = db;
    logOn.trusted = userid.isEmpty();
    logOn.login = userid;
    logOn.password = pwd;
    return db::ServerConnectionText(logOn);
}

QString LogDirectory()
{
    QString dir = qEnvironmentVariable("ORRA_LOG_DIR");
    if (!dir.isEmpty()) return dir;
    // The user's own state folder, never a folder that other accounts write to.
    dir = qEnvironmentVariable("XDG_STATE_HOME");
    if (dir.isEmpty() || QDir::isRelativePath(dir)) dir = QDir::homePath() + QStringLiteral("/.local/state");
    return dir + QStringLiteral("/orra");
}

QString LogFilePath() { return QDir(LogDirectory()).filePath(QStringLiteral("Dornelerr.txt")); }

int RunLauncher(const QString& commandLine, const RunHost& host)
{
    bool debug = false;
    Options options;
    try {
        options = ParseCommandLine(commandLine, &debug);
        qunsetenv(kPasswordVariable);   // read once; nothing the run starts inherits it
    } catch (const Error& e) {
        report(e, debug, host);
        std::fprintf(stderr, "%s", qUtf8Printable(UsageText()));
        return ExitBadCommandLine;
    }
    try {
        return runDocument(options, host);
    } catch (const Failure& f) {
        report(f.error, options.debug, host);
        return f.status;
    } catch (const Error& e) {
        report(e, options.debug, host);
        return statusOf(e, ExitFailed);
    } catch (const std::exception& e) {
        report(Error(kSystemError, QStringLiteral("Dornel"), QString::fromLocal8Bit(e.what())), options.debug, host);
        return ExitFailed;
    }
}

}   // namespace orra::launcher
