// Where dornel's log goes, and that it is never written through a link planted for it.
#include "DornelFixture.h"

#include "launcher/Dornel.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

using namespace orra;
using namespace orra::test;

namespace {

class DornelLogTest : public DornelFixture {
protected:
    void SetUp() override
    {
        DornelFixture::SetUp();
        addDocument(16, 2, "Hatalı", block("B0.0", "select * from NoSuchTable"));
    }
};

int modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

}   // namespace

TEST_F(DornelLogTest, ALinkPlantedAsTheLogIsNotFollowed)
{
    const QString victim = m_dir.filePath("victim.txt");
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious\n");
    }
    ASSERT_TRUE(QFile::link(victim, QDir(m_log).filePath("Dornelerr.txt")));
    const RunResult r = run("/debug:on /server:demo /db:catalogue /docid:16");
    EXPECT_EQ(r.exitCode, launcher::ExitRunError);
    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("precious\n"));
    EXPECT_TRUE(r.err.contains("could not write the log file")) << r.err.toStdString();
    // A hard link to another file is left alone as well.
    QFile::remove(QDir(m_log).filePath("Dornelerr.txt"));
    ASSERT_EQ(::link(QFile::encodeName(victim).constData(),
                  QFile::encodeName(QDir(m_log).filePath("Dornelerr.txt")).constData()),
        0);
    run("/debug:on /server:demo /db:catalogue /docid:16");
    EXPECT_EQ(QFileInfo(victim).size(), 9);
}

TEST_F(DornelLogTest, TheDefaultLogFolderIsTheUsersOwnState)
{
    const QString state = m_dir.filePath("state");
    m_adjustEnvironment = [&](QProcessEnvironment& env) {
        env.remove("ORRA_LOG_DIR");
        env.insert("XDG_STATE_HOME", state);
    };
    const RunResult r = run("/debug:on /server:demo /db:catalogue /docid:16");
    EXPECT_EQ(r.exitCode, launcher::ExitRunError);
    const QString log = state + "/orra/Dornelerr.txt";
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << r.err.toStdString();
    EXPECT_TRUE(f.readAll().startsWith("Number:-1\nSource:DocOrra::RunDocument\n"));
    EXPECT_EQ(modeOf(state + "/orra"), 0700);
    EXPECT_EQ(modeOf(log), 0600);
    // Without XDG_STATE_HOME: ~/.local/state/orra.
    const QString home = m_dir.filePath("home");
    QDir().mkpath(home);
    m_adjustEnvironment = [&](QProcessEnvironment& env) {
        env.remove("ORRA_LOG_DIR");
        env.remove("XDG_STATE_HOME");
        env.insert("HOME", home);
    };
    run("/debug:on /server:demo /db:catalogue /docid:16");
    EXPECT_TRUE(QFileInfo::exists(home + "/.local/state/orra/Dornelerr.txt"));
}
