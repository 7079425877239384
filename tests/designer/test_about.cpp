// The About box and the help contents of the designer.
#include "ShellFixture.h"
#include "designer/shell/frmAbout.h"
#include "designer/shell/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QUrl>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace morvane;

namespace {

// A private settings store and PATH for each case.
class About : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_oldPath = qgetenv("PATH");
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
        QDir().mkpath(m_dir.filePath("bin"));
        qputenv("PATH", m_dir.filePath("bin").toLocal8Bit());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("config"));
    }
    void TearDown() override
    {
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        qputenv("PATH", m_oldPath);
    }
    void setSysInfoPath(const QString& path)
    {
        const std::unique_ptr<QSettings> store = openSettingsStore();
        SaveSetting(*store, "System Information", "Path", path);
        store->sync();
    }
    // An executable script that leaves a mark when it runs.
    QString program(const QString& name)
    {
        const QString path = m_dir.filePath("bin/" + name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\necho ran > '%1'\n").arg(mark()).toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QString mark() const { return m_dir.filePath("ran"); }
    bool ran() const
    {
        for (int i = 0; i < 200 && !QFile::exists(mark()); ++i) QTest::qWait(10);
        return QFile::exists(mark());
    }

    QTemporaryDir m_dir;
    QByteArray m_oldConfig, m_oldPath;
    morvane::test::Recorder ui;
};

}   // namespace

TEST_F(About, ShowsTheVersionInformationOfTheBuild)
{
    QApplication::setApplicationDisplayName("Morvane");
    frmAbout box;
    const VersionInfo v = programVersionInfo();
    EXPECT_EQ(box.objectName(), "frmAbout");
    EXPECT_EQ(box.windowTitle(), "About Morvane");
    EXPECT_EQ(box.lblVersion()->text(), QStringLiteral("Version %1.%2.%3 ").arg(v.major).arg(v.minor).arg(v.revision));
    EXPECT_EQ(box.lblVersion()->text(), "Version 0.1.0 ");
    EXPECT_EQ(box.lblTitle()->text(), "Morvane");
    EXPECT_EQ(box.lblCompany()->text(), "Orra");
    EXPECT_EQ(box.lblDescription()->text(), v.fileDescription);
    EXPECT_FALSE(v.fileDescription.isEmpty());
    EXPECT_EQ(box.lblDisclaimer()->text(), "");
    EXPECT_TRUE(box.lbWebSite()->text().startsWith("https://"));
    EXPECT_EQ(box.cmdOK()->objectName(), "cmdOK");
    EXPECT_EQ(box.cmdSysInfo()->objectName(), "cmdSysInfo");
}

TEST_F(About, GetKeyValueReadsTheSettingsStore)
{
    QString value = "left over";
    EXPECT_FALSE(frmAbout::GetKeyValue("System Information", "Path", value));
    EXPECT_EQ(value, "");
    setSysInfoPath("/opt/info");
    EXPECT_TRUE(frmAbout::GetKeyValue("System Information", "Path", value));
    EXPECT_EQ(value, "/opt/info");
}

TEST_F(About, SystemInformationFromTheSettingsOrThePath)
{
    frmAbout box;
    // Nothing configured and nothing on PATH.
    box.StartSysInfo();
    EXPECT_EQ(ui.messages, QStringList{"System Information Is Unavailable At This Time"});
    // A desktop's usual program on PATH.
    program(systemInformationPrograms().last());
    box.cmdSysInfo()->click();
    EXPECT_TRUE(ran());
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST_F(About, AConfiguredProgramThatCannotStartIsReported)
{
    program(systemInformationPrograms().first());   // would start, but the setting comes first
    setSysInfoPath(m_dir.filePath("missing/sysinfo"));
    frmAbout box;
    box.StartSysInfo();
    EXPECT_EQ(ui.messages, QStringList{"System Information Is Unavailable At This Time"});
    EXPECT_FALSE(QFile::exists(mark()));
    setSysInfoPath(program("my-info"));
    box.StartSysInfo();
    EXPECT_TRUE(ran());
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST_F(About, HelpContentsIsThePageBesideTheProgram)
{
    EXPECT_EQ(helpContentsPath(), QDir(QCoreApplication::applicationDirPath()).filePath("help/index.html"));
    if (!QFile::exists(helpContentsPath())) {
        EXPECT_FALSE(ShowHelpContents());
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_TRUE(ui.messages.first().startsWith("The help file ")) << ui.messages.first().toStdString();
    }
    // The page the build installs beside the designer is a guide to its windows and commands.
    QFile page(QString::fromUtf8(ORRA_BINARY_DIR) + "/designer/help/index.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    for (const char* part : {"Object Explorer", "Document Explorer", "Debug", "dornel"})
        EXPECT_TRUE(html.contains(QLatin1String(part))) << part;
}

TEST_F(About, HelpContentsWithNoProgramForThePageNamesTheFile)
{
    const QString page = QString::fromUtf8(ORRA_BINARY_DIR) + "/designer/help/index.html";
    QList<QUrl> asked;
    bool taken = false;
    setUrlOpener([&](const QUrl& url) {
        asked.append(url);
        return taken;
    });
    EXPECT_FALSE(ShowHelpContents(page));
    EXPECT_EQ(asked, QList<QUrl>{QUrl::fromLocalFile(page)});
    EXPECT_EQ(ui.messages,
        QStringList{
            QStringLiteral("There is no program to show the help file %1.").arg(QDir::toNativeSeparators(page))});
    taken = true;
    EXPECT_TRUE(ShowHelpContents(page));
    EXPECT_EQ(ui.messages.size(), 1);
    setUrlOpener(nullptr);
}
