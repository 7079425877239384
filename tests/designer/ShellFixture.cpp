#include "ShellFixture.h"

#include "catalogue/EmbeddedCatalogue.h"
#include "common/Connections.h"
#include "designer/shell/DesignerApplication.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/EditorOptions.h"
#include "designer/shell/SettingsStore.h"
#include "platform/db/embedded/Server.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

namespace morvane::test {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        // The store's folder is moved per test with QSettings::setPath; XDG_CONFIG_HOME keeps
        // anything else of the process away from the user's own settings.
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        static int argc = 1;
        static char name[] = "designer_shell_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) m_app = new DesignerApplication(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Orra"));
        QApplication::setApplicationName(QStringLiteral("Morvane"));
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    QTemporaryDir m_config;
    QApplication* m_app = nullptr;
};
[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}   // namespace

void ShellTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("config")));
    qputenv("ORRA_SERVERS", m_dir.filePath(QStringLiteral("servers")).toUtf8());
    editorOptions() = EditorOptions::defaults();
    setCatalogueServerName(QString());
    setCatalogueDatabaseName(QString());
    setDocumentWindowCreator([](QWidget* parent) { return new RecordingWindow(parent); });
    setPaneCreator(QStringLiteral("frmpbOrra"), nullptr);
    setPaneCreator(QStringLiteral("frmtvDocument"), nullptr);
    setDialogCreator(QStringLiteral("frmFindReplace"), nullptr);
    setDialogCreator(QStringLiteral("frmOptions"), nullptr);
}

void ShellTest::TearDown()
{
    main.reset();
    orra::setMainConnection(nullptr);
}

void ShellTest::makeCatalogue()
{
    orra::catalogue::registerEmbeddedCatalogue();
    orra::catalogue::createEmbeddedServer(QStringLiteral("shellsrv"));
    orra::catalogue::createEmbeddedCatalogue(QStringLiteral("shellsrv"), QStringLiteral("cat"));
}

QString ShellTest::settingsFile() const { return m_dir.filePath(QStringLiteral("config/Orra/Morvane.conf")); }

void ShellTest::writeSetting(const QString& section, const QString& key, const QString& value)
{
    auto store = openSettingsStore();
    SaveSetting(*store, section, key, value);
    store->sync();
}

QString ShellTest::storedSetting(const QString& section, const QString& key) const
{
    QSettings file(settingsFile(), QSettings::IniFormat);
    const QVariant v = file.value(settingsGroup(section) + QLatin1Char('/') + key);
    return v.isValid() ? v.toString() : QStringLiteral("<absent>");
}

frmMDIMain* ShellTest::loadMain()
{
    main = std::make_unique<frmMDIMain>();
    main->MDIForm_Load();
    main->show();
    main->MDIForm_Activate();
    return main.get();
}

RecordingWindow* ShellTest::openWindow(const QString& caption)
{
    auto* window = static_cast<RecordingWindow*>(documentWindowCreator()(nullptr));
    window->setWindowTitle(caption);
    QMdiSubWindow* sub = main->addDocumentWindow(window);
    sub->show();
    main->mdiArea()->setActiveSubWindow(sub);
    return window;
}

}   // namespace morvane::test
