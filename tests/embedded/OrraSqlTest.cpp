#include "EmbeddedFixture.h"
#include "tools/orrasql/OrraSql.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <csignal>
#include <sys/resource.h>

using namespace orra;
using namespace orra::tools;
using namespace orra::embedded::test;

namespace {

struct Outcome {
    int status = 0;
    QString out;
    QString err;
};

Outcome run(const QStringList& args)
{
    Outcome r;
    SqlOptions o;
    const QString problem = parseArguments(args, o);
    if (!problem.isEmpty()) {
        r.status = 2;
        r.err = problem;
        return r;
    }
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = runOrraSql(o, out, err);
    out.flush();
    err.flush();
    return r;
}

}   // namespace

TEST(OrraSqlArguments, RequiredOptions)
{
    SqlOptions o;
    EXPECT_EQ(parseArguments({QStringLiteral("-Q"), QStringLiteral("select 1")}, o),
        QStringLiteral("the server (-S) is required"));
    SqlOptions p;
    EXPECT_EQ(parseArguments({QStringLiteral("-S"), QStringLiteral("x")}, p),
        QStringLiteral("give either -Q text or -i file"));
    SqlOptions q;
    EXPECT_EQ(parseArguments({QStringLiteral("-S"), QStringLiteral("x"), QStringLiteral("-E"), QStringLiteral("-U"),
                                 QStringLiteral("a"), QStringLiteral("-Q"), QStringLiteral("s")},
                  q),
        QStringLiteral("-E and -U cannot be used together"));
    SqlOptions r;
    EXPECT_EQ(parseArguments({QStringLiteral("-S")}, r), QStringLiteral("the option -S needs a value"));
    SqlOptions s;
    EXPECT_EQ(parseArguments({QStringLiteral("-x")}, s), QStringLiteral("unknown option '-x'"));
    SqlOptions t;
    EXPECT_TRUE(
        parseArguments({QStringLiteral("-S"), QStringLiteral("x"), QStringLiteral("-Q"), QStringLiteral("s")}, t)
            .isEmpty());
    EXPECT_TRUE(t.trusted);   // no login: a trusted log-on
}

TEST(OrraSqlArguments, GoSplitsBatches)
{
    const QList<ScriptBatch> b = splitBatches(QStringLiteral("select 1\r\nGO\r\n  go  \nselect 2\nselect 'GO'\ngo\n"));
    ASSERT_EQ(b.size(), 2);
    EXPECT_EQ(b.at(0).text.trimmed(), QStringLiteral("select 1"));
    EXPECT_EQ(b.at(1).text.trimmed(), QStringLiteral("select 2\nselect 'GO'"));
    // GO n runs the batch n times, as sqlcmd does; a large n is a count, not n copies of the text.
    QList<std::pair<QString, int>> repeated;
    for (const ScriptBatch& batch : splitBatches(QStringLiteral("select 1\ngo 3\nselect 2\ngo 2000000000\nselect 3\n")))
        repeated.append({batch.text.trimmed(), batch.count});
    EXPECT_EQ(repeated,
        (QList<std::pair<QString, int>>{{QStringLiteral("select 1"), 3}, {QStringLiteral("select 2"), 2000000000},
            {QStringLiteral("select 3"), 1}}));
}

TEST_F(EmbeddedTest, OrraSqlPrintsAlignedAndSeparatedResults)
{
    const QStringList login{QStringLiteral("-S"), QStringLiteral("t"), QStringLiteral("-d"),
        QStringLiteral("catalogue"), QStringLiteral("-U"), QStringLiteral("sa"), QStringLiteral("-P"),
        QStringLiteral("secret")};
    Outcome r = run(
        login + QStringList{QStringLiteral("-Q"), QStringLiteral("select 1 ID, 'abc' Name union all select 22, NULL")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("ID Name\n-- ----\n1  abc\n22 NULL\n\n(2 rows affected)\n\n"));
    r = run(login
        + QStringList{
            QStringLiteral("-s"), QStringLiteral(";"), QStringLiteral("-Q"), QStringLiteral("select 1 a, 2 b")});
    EXPECT_EQ(r.out, QStringLiteral("a;b\n1;2\n\n(1 row affected)\n\n"));
    // money with its four decimals, a decimal with its scale; $ takes a sign
    r = run(login
        + QStringList{QStringLiteral("-s"), QStringLiteral(";"), QStringLiteral("-Q"),
            QStringLiteral("SELECT FLOOR(123.45), FLOOR(-123.45), FLOOR($123.45), CEILING($-123.45); "
                           "SELECT ROUND(123.9994, 3), ROUND(123.9995, 3)")});
    EXPECT_EQ(r.out,
        QStringLiteral(";;;\n123;-124;123.0000;-123.0000\n\n(1 row affected)\n\n;\n123.9990;124.0000\n\n(1 row "
                       "affected)\n\n"))
        << r.err.toStdString();
    // dates and times as their type writes them: smalldatetime to the second, time(n) and
    // datetime2(n) with n fraction digits
    r = run(login
        + QStringList{QStringLiteral("-s"), QStringLiteral(";"), QStringLiteral("-Q"),
            QStringLiteral("SELECT CAST('2007-05-08 12:35:29.123' AS smalldatetime), "
                           "CAST('2007-05-08 12:35:29.123' AS datetime), CAST('2007-05-08 12:35:29.123' AS date), "
                           "CAST(CAST('1955-12-13 12:43:10' AS smalldatetime) AS time(4)), "
                           "CAST(CAST('1955-12-13 12:43:10' AS smalldatetime) AS datetime2(4)), "
                           "CAST(CAST('12:34:54.1237' AS time(4)) AS time(3)), "
                           "CAST(CAST('12:15:04.1237' AS time(4)) AS datetime2(3)); SELECT SYSDATETIME()")});
    const QStringList lines = r.out.split(u'\n');
    ASSERT_GE(lines.size(), 7) << r.err.toStdString();
    EXPECT_EQ(lines.at(1), QStringLiteral("2007-05-08 12:35:00;2007-05-08 12:35:29.123;2007-05-08;12:43:00.0000;"
                                          "1955-12-13 12:43:00.0000;12:34:54.124;1900-01-01 12:15:04.124"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{7}$"))
                    .match(lines.at(6))
                    .hasMatch())
        << lines.at(6).toStdString();   // SYSDATETIME is a datetime2(7)
}

TEST_F(EmbeddedTest, OrraSqlReportsErrorsOnStderrWithStatus)
{
    const QStringList login{QStringLiteral("-S"), QStringLiteral("t"), QStringLiteral("-d"),
        QStringLiteral("catalogue"), QStringLiteral("-U"), QStringLiteral("sa"), QStringLiteral("-P"),
        QStringLiteral("wrong")};
    Outcome r = run(login + QStringList{QStringLiteral("-Q"), QStringLiteral("select 1")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, QStringLiteral("Msg 18456, SQL state 28000: Login failed for user 'sa'.\n"));
    EXPECT_TRUE(r.out.isEmpty());
    r = run({QStringLiteral("-S"), QStringLiteral("t"), QStringLiteral("-d"), QStringLiteral("catalogue"),
        QStringLiteral("-U"), QStringLiteral("sa"), QStringLiteral("-P"), QStringLiteral("secret"),
        QStringLiteral("-Q"), QStringLiteral("exec sp_missing")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Could not find stored procedure 'sp_missing'."))) << r.err.toStdString();
    r = run({QStringLiteral("-S"), QStringLiteral("nothere"), QStringLiteral("-Q"), QStringLiteral("select 1")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("The server 'nothere' does not exist")));
}

TEST_F(EmbeddedTest, OrraSqlRunsScriptBatches)
{
    const QString file = m_dir.path() + QStringLiteral("/script.sql");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("insert into tbOrraRepository select 'Block','a','x'\nGO\nselect bad syntax here\nGO\nselect count(*) n "
            "from tbOrraRepository\n");
    f.close();
    const Outcome r = run({QStringLiteral("-S"), QStringLiteral("t"), QStringLiteral("-d"), QStringLiteral("catalogue"),
        QStringLiteral("-U"), QStringLiteral("sa"), QStringLiteral("-P"), QStringLiteral("secret"),
        QStringLiteral("-i"), file});
    EXPECT_EQ(r.status, 1);   // the failed middle batch
    EXPECT_EQ(r.out, QStringLiteral("(1 row affected)\n\nn\n-\n1\n\n(1 row affected)\n\n"));
    EXPECT_FALSE(r.err.isEmpty());
}

TEST_F(EmbeddedTest, OrraSqlCreatesAServerWithACatalogue)
{
    const Outcome made = run({QStringLiteral("--create-server"), QStringLiteral("demo"), QStringLiteral("-U"),
        QStringLiteral("admin"), QStringLiteral("-P"), QStringLiteral("pw")});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    // Made aside and renamed into place whole: nothing else is left beside the servers.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList{QStringLiteral("demo"), QStringLiteral("t")}));
    EXPECT_EQ(QFileInfo(m_dir.path() + QStringLiteral("/demo")).permissions(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    const Outcome again = run({QStringLiteral("--create-server"), QStringLiteral("demo")});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, QStringLiteral("The server 'demo' already exists.\n"));
    const Outcome r = run({QStringLiteral("-S"), QStringLiteral("demo"), QStringLiteral("-d"),
        QStringLiteral("catalogue"), QStringLiteral("-U"), QStringLiteral("admin"), QStringLiteral("-P"),
        QStringLiteral("pw"), QStringLiteral("-Q"), QStringLiteral("exec sp_Orra_GetDocumentsAndCategories default")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
        QStringLiteral("CatID DocID DocName DocDisabled\n----- ----- ------- -----------\n\n(0 rows affected)\n\n"
                       "ID ParentID Name Disabled\n-- -------- ---- --------\n\n(0 rows affected)\n\n"));
    const Outcome mat = run({QStringLiteral("-S"), QStringLiteral("demo"), QStringLiteral("-d"), QStringLiteral("mat"),
        QStringLiteral("-U"), QStringLiteral("admin"), QStringLiteral("-P"), QStringLiteral("pw"), QStringLiteral("-Q"),
        QStringLiteral("select count(*) n from tbOrraConnections")});
    EXPECT_EQ(mat.status, 0) << mat.err.toStdString();
}

TEST_F(EmbeddedTest, OrraSqlRefusesAServerNameThatCouldNotBeOpened)
{
    // A name is looked up without its outer blanks: one that has them would never open.
    for (const char* name : {"demo2 ", " demo2", "demo2\t"}) {
        const Outcome made = run({QStringLiteral("--create-server"), QString::fromUtf8(name)});
        EXPECT_EQ(made.status, 1) << name;
        EXPECT_EQ(made.err,
            QStringLiteral("The server name '%1' begins or ends with a blank: it could not be opened.\n")
                .arg(QString::fromUtf8(name)))
            << name;
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("t")});
}

TEST_F(EmbeddedTest, AFileSystemWithoutRoomIsNamedWithTheFile)
{
    // orrasql whose files may not grow past 4 KB, as on a full disk: the log-on fails saying
    // why and with which file, not with "disk I/O error".
    QProcess p;
    p.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);   // a real full disk sends no signal either
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    p.start(QStringLiteral(ORRA_BINARY_DIR "/tools/orrasql/orrasql"),
        {"-S", "t", "-d", "catalogue", "-U", "sa", "-P", "secret", "-Q", "select 1"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_FALSE(err.contains("disk I/O error")) << err.toStdString();
    // A write cut short reads as a full disk; one refused outright names the size limit.
    EXPECT_TRUE(err.contains("the disk is full") || err.contains("the file has reached the largest size allowed"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("The database file '" + m_dir.path() + "/t/")) << err.toStdString();
}

// What sqlcmd shows of a batch: no row counts under set nocount on, each message where the
// batch sent it.
TEST_F(EmbeddedTest, OrraSqlShowsTheBatchInItsOrder)
{
    const QStringList login{QStringLiteral("-S"), QStringLiteral("t"), QStringLiteral("-d"),
        QStringLiteral("catalogue"), QStringLiteral("-U"), QStringLiteral("sa"), QStringLiteral("-P"),
        QStringLiteral("secret"), QStringLiteral("-Q")};
    const struct {
        const char* batch;
        const char* out;
        const char* err;
    } cases[] = {
        {"set nocount on; select 1 a; select 2 b", "a\n-\n1\n\nb\n-\n2\n\n", ""},
        {"print 'before'; select 1/0; print 'after'", "",
            "before\nMsg 8134, SQL state 22012: Divide by zero error encountered.\nafter\n"},
    };
    for (const auto& t : cases) {
        const Outcome r = run(login + QStringList{QString::fromUtf8(t.batch)});
        EXPECT_EQ(r.out, QString::fromUtf8(t.out)) << t.batch;
        EXPECT_EQ(r.err, QString::fromUtf8(t.err)) << t.batch;
    }
}
