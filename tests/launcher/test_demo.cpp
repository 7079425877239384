// The demonstration server of the README: every document it holds runs from the launcher
// without a person, through its call schema where it asks, and its catalogue holds the rows the
// designer writes.
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

class Demo : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"servers", "export", "log"}) {
            QDir().mkpath(m_dir.filePath(name));
        }
        m_env.insert("ORRA_SERVERS", m_dir.filePath("servers"));
        m_env.insert("ORRA_EXPORT_DIR", m_dir.filePath("export"));
        m_env.insert("ORRA_LOG_DIR", m_dir.filePath("log"));
        m_env.insert("ORRA_NO_OPEN", "1");
        m_env.remove("DISPLAY");
        m_env.remove("WAYLAND_DISPLAY");
        const Result made = run("/tools/orrademo/orra-demo", {});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    }

    Result run(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QString::fromUtf8(ORRA_BINARY_DIR) + program, args);
        EXPECT_TRUE(p.waitForFinished(120000));
        Result r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // The rows of a query on the demo's catalogue, fields joined by "|", without the header.
    QStringList rows(const QString& sql)
    {
        const Result r = run("/tools/orrasql/orrasql", {"-S", "demo", "-d", "catalogue", "-E", "-s", "|", "-Q", sql});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QStringList lines = r.out.split('\n');
        QStringList result;
        for (qsizetype i = 1; i < lines.size() && !lines[i].trimmed().isEmpty(); ++i) result << lines[i].trimmed();
        return result;
    }
    // What the designer shows: the sub-categories of a refreshed category, and the documents
    // that a document includes and that include it (its Dependencies).
    void expectTheDesignersView()
    {
        EXPECT_EQ(rows("select ID,rtrim(Name) Name from tbOrraCategory where [Type]='T' and ParentID=1 order by ID"),
            (QStringList{"2|Raporlar", "3|Ortak"}));
        EXPECT_EQ(rows("select distinct s.ID, rtrim(s.Name) Name from tbOrraRelations r (nolock) "
                       "inner join tbOrraSQL s (nolock) on r.RelObjId=s.ID Where r.ObjId = 2 order by Name"),
            QStringList{"1|Şehir müşteri toplamları"});
        EXPECT_EQ(rows("select distinct s.ID, rtrim(s.Name) Name from tbOrraRelations r (nolock) "
                       "inner join tbOrraSQL s (nolock) on r.ObjId=s.ID Where r.RelObjId = 1 order by s.ID"),
            (QStringList{"2|Şehir raporu", "4|Şehir özeti"}));
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
};

}   // namespace

TEST_F(Demo, EveryDocumentThatNeedsNoPersonRunsToItsWorkbook)
{
    for (const QStringList& args : {QStringList{"/docid:1", "/schemaid:1"},   // included totals, alone
             QStringList{"/docid:2", "/schemaid:1"},                          // the city report
             QStringList{"/docid:3"},                                         // monthly sales
             QStringList{"/docid:root\\Satış\\Raporlar\\Şehir raporu", "/schemaid:1"}}) {
        const Result r = run("/launcher/dornel", QStringList{"/server:demo", "/db:catalogue"} + args);
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.endsWith(".xlsx") && QFileInfo::exists(r.out)) << r.out.toStdString();
    }
}

TEST_F(Demo, TheStationDocumentAsksInItsIncludeAndSaysSoWithoutAPerson)
{
    const Result r = run("/launcher/dornel", {"/server:demo", "/db:catalogue", "/docid:4"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_TRUE(r.err.contains("no one can give it: EnAz")) << r.err.toStdString();
}

TEST_F(Demo, MakingTheDemoAgainStampsTheChecksumsOfItsSampleRows)
{
    // A checksum of an earlier form (here: none) is refused, and orra-demo on the existing
    // server brings it up to date.
    const Result spoil = run("/tools/orrasql/orrasql",
        {"-S", "demo", "-d", "catalogue", "-E", "-Q", "update tbOrraSQL set CheckSum=0 where ID=3"});
    ASSERT_EQ(spoil.exitCode, 0) << spoil.err.toStdString();
    Result r = run("/launcher/dornel", {"/server:demo", "/db:catalogue", "/docid:3"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("CheckSum Value is wrong for Document Name: 'Aylık satışlar")) << r.err.toStdString();
    const Result again = run("/tools/orrademo/orra-demo", {});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    r = run("/launcher/dornel", {"/server:demo", "/db:catalogue", "/docid:3"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
}

TEST_F(Demo, TheCatalogueHoldsWhatTheDesignerWrites)
{
    expectTheDesignersView();
    // A demo made by an earlier version (categories of another type, no relations) is brought up
    // to date when it is made again.
    const Result spoil = run("/tools/orrasql/orrasql",
        {"-S", "demo", "-d", "catalogue", "-E", "-Q", "update tbOrraCategory set Type='C' delete tbOrraRelations"});
    ASSERT_EQ(spoil.exitCode, 0) << spoil.err.toStdString();
    const Result again = run("/tools/orrademo/orra-demo", {});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    expectTheDesignersView();
    const Result r = run("/launcher/dornel", {"/server:demo", "/db:catalogue", "/docid:2", "/schemaid:1"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
}
