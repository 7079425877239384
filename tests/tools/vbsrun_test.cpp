// vbsrun: the headless script runner, as a program.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

struct ProcessResult {
    int status = -1;
    QString out;
    QString err;
};

// addressSpace: a limit on the child's address space in bytes (0: none).
ProcessResult runScript(const QString& code, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
    rlim_t addressSpace = 0)
{
    QTemporaryDir dir;
    EXPECT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("script.vbs"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(code.toUtf8());
    f.close();
    QProcess p;
    p.setProcessEnvironment(env);
    if (addressSpace)
        p.setChildProcessModifier([addressSpace] {
            const rlimit limit{addressSpace, addressSpace};
            ::setrlimit(RLIMIT_AS, &limit);
        });
    p.start(QStringLiteral(ORRA_BINARY_DIR "/tools/vbsrun/vbsrun"), {path});
    EXPECT_TRUE(p.waitForFinished(120000));
    ProcessResult r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError()).replace(path, QStringLiteral("script.vbs"));
    return r;
}

}   // namespace

TEST(Vbsrun, OffersNoDatabaseObjects)
{
    ProcessResult r = runScript(QStringLiteral("On Error Resume Next\n"
                                               "Set d = CreateObject(\"Scripting.Dictionary\")\n"
                                               "MsgBox TypeName(d)\n"
                                               "Set c = CreateObject(\"ADODB.Connection\")\n"
                                               "MsgBox Err.Number & \" \" & Err.Description\n"
                                               "On Error GoTo 0\n"
                                               "Set c = CreateObject(\"ADODB.Recordset\")\n"
                                               "MsgBox \"not reached\"\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.toStdString(), "Dictionary\n429 ActiveX component can't create object\n");
    EXPECT_EQ(r.err.toStdString(),
        "script.vbs(7, 0) Microsoft VBScript runtime error: ActiveX component can't create object (429)\n");
}

TEST(Vbsrun, LoadsNoDatabaseLibrary)
{
    // The dynamic loader names every library it starts.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("libs"));
    ProcessResult r = runScript(QStringLiteral("MsgBox 1 + 1\n"), env);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.toStdString(), "2\n");
    EXPECT_TRUE(r.err.contains(QLatin1String("libplatform_vbscript"))) << r.err.left(2000).toStdString();
    for (const char* lib : {"libplatform_db", "libplatform_ado", "libsqlite3", "libodbc", "libsodium"})
        EXPECT_FALSE(r.err.contains(QLatin1String(lib))) << lib;
}

TEST(Vbsrun, MemoryRunningOutIsTheScriptsErrorSeven)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
    // A Dictionary filled with small dictionaries until the address space ends, at a few
    // limits so that memory runs out in different places: each time the script stops with
    // error 7, and the process ends normally.
    for (const rlim_t megabytes : {500, 600, 700}) {
        ProcessResult r = runScript(QStringLiteral("Set d = CreateObject(\"Scripting.Dictionary\")\n"
                                                   "i = 0\n"
                                                   "Do\n"
                                                   "  i = i + 1\n"
                                                   "  Set e = CreateObject(\"Scripting.Dictionary\")\n"
                                                   "  e.Add \"a\", Space(100)\n"
                                                   "  d.Add CStr(i), e\n"
                                                   "Loop\n"),
            QProcessEnvironment::systemEnvironment(), megabytes << 20);
        EXPECT_EQ(r.status, 1) << megabytes << " MB: " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Microsoft VBScript runtime error: Out of memory (7)"))
            << megabytes << " MB: " << r.err.toStdString();
    }
}
