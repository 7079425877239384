// The settings store of the main window: first run, fallbacks, the "null" sentinel, panel sizes
// and a store that refuses the write.

#include "ShellFixture.h"

#include "designer/shell/DesignerState.h"
#include "designer/shell/EditorOptions.h"
#include "platform/widgets/DockHost.h"

#include <QAction>
#include <QDir>
#include <QFile>

using namespace morvane;
using namespace morvane::test;

namespace {
using SettingsTest = ShellTest;
}

TEST_F(SettingsTest, FirstRunWithAnEmptyStoreHidesThePanesAndUsesTheDefaults)
{
    loadMain();
    EXPECT_FALSE(main->IsPaneLoaded(QStringLiteral("frmpbOrra")));
    EXPECT_FALSE(main->IsPaneLoaded(QStringLiteral("frmtvDocument")));
    EXPECT_FALSE(main->toolbarButton(QStringLiteral("tvOrra"))->isChecked());
    EXPECT_FALSE(main->toolbarButton(QStringLiteral("tvDocument"))->isChecked());

    const EditorOptions& o = editorOptions();
    EXPECT_EQ(o.SQLColors[SqlBackColor], RGBColor(255, 255, 255));
    EXPECT_EQ(o.SQLColors[SqlKeyWords], RGBColor(0, 0, 255));
    EXPECT_EQ(o.SQLColors[SqlFunctions], RGBColor(255, 0, 255));
    EXPECT_EQ(o.SQLColors[SqlLogicOperators], RGBColor(128, 128, 128));
    EXPECT_EQ(o.SQLColors[SqlStrings], RGBColor(255, 0, 0));
    EXPECT_EQ(o.SQLColors[SqlComments], RGBColor(0, 128, 128));
    EXPECT_EQ(o.SQLColors[SqlReserved9], RGBColor(0, 255, 0));
    EXPECT_EQ(o.ScriptColors[ScriptOrraKeyWords], RGBColor(0, 0, 200));
    EXPECT_EQ(o.ScriptColors[ScriptOrraParameters], RGBColor(128, 0, 0));
    for (const EditorFont* f : {&o.SQLFont, &o.ScriptFont}) {
        EXPECT_EQ(f->name, QStringLiteral("Verdana"));
        EXPECT_EQ(f->size, 10);
        EXPECT_FALSE(f->bold);
        EXPECT_FALSE(f->italic);
    }
    for (const QString& s : o.QueryShortcuts) EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(o.RtfColorTable,
        QStringLiteral("\\red0\\green0\\blue255;\\red0\\green0\\blue255;\\red255\\green0\\blue255;"
                       "\\red0\\green0\\blue255;\\red128\\green128\\blue128;\\red255\\green0\\blue0;"
                       "\\red0\\green0\\blue0;\\red0\\green128\\blue128;\\red0\\green255\\blue0;"
                       "\\red0\\green0\\blue0;}"));

    setCatalogueServerName(QStringLiteral("srv"));
    setCatalogueDatabaseName(QStringLiteral("db"));
    main->close();
    ASSERT_TRUE(QFile::exists(settingsFile()));

    const QString ms = QStringLiteral("Main Settings");
    EXPECT_EQ(storedSetting(ms, QStringLiteral("Server")), QStringLiteral("srv"));
    EXPECT_EQ(storedSetting(ms, QStringLiteral("Database")), QStringLiteral("db"));
    EXPECT_EQ(storedSetting(ms, QStringLiteral("ShowHidetvOrra")), QStringLiteral("0"));
    EXPECT_EQ(storedSetting(ms, QStringLiteral("ShowHidetvDocument")), QStringLiteral("0"));
    for (int i = 1; i <= 4; ++i) {
        const QString panel = QStringLiteral("Panels\\%1").arg(i);
        const QString sizeKey = i <= 2 ? QStringLiteral("Height") : QStringLiteral("Width");
        EXPECT_EQ(storedSetting(panel, sizeKey), QString::number(main->dockHost()->panelSize(i))) << i;
        EXPECT_EQ(storedSetting(panel, QStringLiteral("WindowsCount")), QStringLiteral("0")) << i;
    }
    for (int i = 0; i < SqlColorCount; ++i)
        EXPECT_EQ(storedSetting(QStringLiteral("SQLColors"), QLatin1String(kSqlColorKeys[size_t(i)])),
            QString::number(kSqlColorDefaults[size_t(i)]));
    for (int i = 0; i < ScriptColorCount; ++i)
        EXPECT_EQ(storedSetting(QStringLiteral("ScriptColors"), QLatin1String(kScriptColorKeys[size_t(i)])),
            QString::number(kScriptColorDefaults[size_t(i)]));
    for (const char* section : {"SQLFont", "ScriptFont"}) {
        EXPECT_EQ(storedSetting(QLatin1String(section), QStringLiteral("Name")), QStringLiteral("Verdana"));
        EXPECT_EQ(storedSetting(QLatin1String(section), QStringLiteral("Size")), QStringLiteral("10"));
        EXPECT_EQ(storedSetting(QLatin1String(section), QStringLiteral("Bold")), QStringLiteral("0"));
        EXPECT_EQ(storedSetting(QLatin1String(section), QStringLiteral("Italic")), QStringLiteral("0"));
    }
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(storedSetting(QStringLiteral("ShortCuts"), QString::number(i)), QString());
}

TEST_F(SettingsTest, StoredValuesAreReadAndNullCountsAsAbsent)
{
    writeSetting(QStringLiteral("SQLColors"), QStringLiteral("KeyWords"), QStringLiteral("null"));
    writeSetting(QStringLiteral("SQLColors"), QStringLiteral("Strings"), QString::number(RGBColor(1, 2, 3)));
    writeSetting(QStringLiteral("SQLColors"), QStringLiteral("Comments"), QStringLiteral("green"));
    writeSetting(QStringLiteral("ScriptColors"), QStringLiteral("Comments"), QStringLiteral("65280"));
    writeSetting(QStringLiteral("SQLFont"), QStringLiteral("Name"), QStringLiteral("null"));
    writeSetting(QStringLiteral("SQLFont"), QStringLiteral("Size"), QStringLiteral("null"));
    writeSetting(QStringLiteral("SQLFont"), QStringLiteral("Bold"), QStringLiteral("True"));
    writeSetting(QStringLiteral("ScriptFont"), QStringLiteral("Name"), QStringLiteral("Courier New"));
    writeSetting(QStringLiteral("ScriptFont"), QStringLiteral("Size"), QStringLiteral("12"));
    writeSetting(QStringLiteral("ScriptFont"), QStringLiteral("Italic"), QStringLiteral("1"));
    writeSetting(QStringLiteral("ShortCuts"), QStringLiteral("1"), QStringLiteral("select a, b from t"));
    writeSetting(QStringLiteral("ShortCuts"), QStringLiteral("10"), QStringLiteral("sp_who"));
    writeSetting(QStringLiteral("ShortCuts"), QStringLiteral("5"), QStringLiteral("null"));
    loadMain();

    const EditorOptions& o = editorOptions();
    EXPECT_EQ(o.SQLColors[SqlKeyWords], RGBColor(0, 0, 255));
    EXPECT_EQ(o.SQLColors[SqlStrings], RGBColor(1, 2, 3));
    EXPECT_EQ(o.SQLColors[SqlComments], RGBColor(0, 128, 128));   // not a number: the step is skipped
    EXPECT_EQ(o.ScriptColors[ScriptComments], 65280);
    EXPECT_EQ(o.SQLFont.name, QStringLiteral("Verdana"));
    EXPECT_EQ(o.SQLFont.size, 10);
    EXPECT_TRUE(o.SQLFont.bold);
    EXPECT_FALSE(o.SQLFont.italic);
    EXPECT_EQ(o.ScriptFont.name, QStringLiteral("Courier New"));
    EXPECT_EQ(o.ScriptFont.size, 12);
    EXPECT_TRUE(o.ScriptFont.italic);
    EXPECT_EQ(o.QueryShortcuts[0], QStringLiteral("select a, b from t"));
    EXPECT_EQ(o.QueryShortcuts[9], QStringLiteral("sp_who"));
    EXPECT_TRUE(o.QueryShortcuts[4].isEmpty());
    EXPECT_TRUE(o.RtfColorTable.contains(QStringLiteral("\\red255\\green0\\blue255;\\red0\\green0\\blue255;"
                                                        "\\red128\\green128\\blue128;\\red1\\green2\\blue3;")));

    // Written back as read (True becomes "1"; the options are the store's source of truth).
    ASSERT_TRUE(main->SaveSettings());
    EXPECT_EQ(storedSetting(QStringLiteral("SQLFont"), QStringLiteral("Bold")), QStringLiteral("1"));
    EXPECT_EQ(storedSetting(QStringLiteral("ShortCuts"), QStringLiteral("1")), QStringLiteral("select a, b from t"));
    EXPECT_EQ(
        storedSetting(QStringLiteral("SQLColors"), QStringLiteral("KeyWords")), QString::number(RGBColor(0, 0, 255)));
}

TEST_F(SettingsTest, PanelSizesAreRestoredAndOneTooLargeForSixteenBitsIsLeftAsItWas)
{
    frmMDIMain probe;
    const int width3 = probe.dockHost()->panelSize(3);
    const int height1 = probe.dockHost()->panelSize(1);
    writeSetting(QStringLiteral("Panels\\3"), QStringLiteral("Width"), QStringLiteral("40000"));
    writeSetting(QStringLiteral("Panels\\4"), QStringLiteral("Width"), QStringLiteral("321"));
    writeSetting(QStringLiteral("Panels\\1"), QStringLiteral("Height"), QStringLiteral("tall"));
    writeSetting(QStringLiteral("Panels\\2"), QStringLiteral("Height"), QStringLiteral("null"));
    main = std::make_unique<frmMDIMain>();
    main->MDIForm_Load();
    EXPECT_EQ(main->dockHost()->panelSize(3), width3);
    EXPECT_EQ(main->dockHost()->panelSize(4), 321);
    EXPECT_EQ(main->dockHost()->panelSize(1), height1);
    EXPECT_EQ(main->dockHost()->panelSize(2), probe.dockHost()->panelSize(2));
}

TEST_F(SettingsTest, SizesAndColoursOutsideTheirRangeKeepTheDefaults)
{
    writeSetting(QStringLiteral("SQLFont"), QStringLiteral("Size"), QStringLiteral("30000"));
    writeSetting(QStringLiteral("ScriptFont"), QStringLiteral("Size"), QStringLiteral("0"));
    writeSetting(QStringLiteral("SQLColors"), QStringLiteral("Strings"), QStringLiteral("-1"));
    writeSetting(QStringLiteral("SQLColors"), QStringLiteral("Comments"), QString::number(0x1000000));
    writeSetting(QStringLiteral("ScriptColors"), QStringLiteral("Comments"), QString::number(0xFFFFFF));
    writeSetting(QStringLiteral("Panels\\4"), QStringLiteral("Width"), QStringLiteral("-5"));
    frmMDIMain probe;
    const int width4 = probe.dockHost()->panelSize(4);
    loadMain();
    const EditorOptions& o = editorOptions();
    EXPECT_EQ(o.SQLFont.size, 10);
    EXPECT_EQ(o.ScriptFont.size, 10);
    EXPECT_EQ(o.SQLColors[SqlStrings], RGBColor(255, 0, 0));
    EXPECT_EQ(o.SQLColors[SqlComments], RGBColor(0, 128, 128));
    EXPECT_EQ(o.ScriptColors[ScriptComments], 0xFFFFFF);
    EXPECT_EQ(main->dockHost()->panelSize(4), width4);
}

TEST_F(SettingsTest, AStoreThatRefusesTheWriteIsReportedOnce)
{
    loadMain();
    // A folder where the file should be: the store cannot replace it.
    ASSERT_TRUE(QDir().mkpath(settingsFile()));
    EXPECT_FALSE(main->SaveSettings());
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(QStringLiteral("The settings could not be saved to ")))
        << ui.messages[0].toStdString();
    EXPECT_TRUE(ui.messages[0].contains(QStringLiteral("Morvane.conf")));
}

TEST_F(SettingsTest, ClosingTheMainWindowWritesTheStoreOnce)
{
    loadMain();
    main->close();
    ASSERT_TRUE(QFile::exists(settingsFile()));
    QFile::remove(settingsFile());
    main->close();   // already unloaded: nothing more is written
    EXPECT_FALSE(QFile::exists(settingsFile()));
}
