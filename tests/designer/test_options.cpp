// The Options dialog: the editors' fonts, colours and query templates on a working copy, and
// the Options command that writes the store after it.
#include "ShellFixture.h"
#include "designer/shell/EditorOptions.h"
#include "designer/shell/SettingsStore.h"
#include "designer/shell/frmOptions.h"
#include "platform/widgets/FlexGrid.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace morvane;
using namespace morvane::test;

namespace {

class OptionsTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        editorOptions() = EditorOptions::defaults();
        editorOptions().RtfColorTable = BuildRtfColorTable(editorOptions());
    }
    // Double-clicks entry index of a colour list with the colour picker answering answer.
    static void chooseColour(frmOptions& d, QListWidget* list, int index, std::optional<QColor> answer)
    {
        d.pickColour = [answer](QColor& c) {
            if (!answer) return false;
            c = *answer;
            return true;
        };
        list->setCurrentRow(index);
        emit list->itemDoubleClicked(list->item(index));
    }
    static void chooseFont(frmOptions& d, QPushButton* button, std::optional<QFont> answer)
    {
        d.pickFont = [answer](QFont& f) {
            if (!answer) return false;
            f = *answer;
            return true;
        };
        button->click();
    }
};

QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

}   // namespace

TEST_F(OptionsTest, AnEmptyStoreShowsTheDefaultsAndEveryLabel)
{
    frmOptions d;
    EXPECT_EQ(d.windowTitle(), "Options");
    ASSERT_EQ(d.tbOptions()->count(), 3);
    EXPECT_EQ(d.tbOptions()->tabText(0), "SQL Editor");
    EXPECT_EQ(d.tbOptions()->tabText(1), "Script Editor");
    EXPECT_EQ(d.tbOptions()->tabText(2), "Keyboard");
    EXPECT_EQ(d.lbFont()->text(), "Verdana, 10");
    EXPECT_EQ(d.lbFontScript()->text(), "Verdana, 10");
    EXPECT_EQ(texts(d.lstColors()),
        (QStringList{"BackColor", "Keywords", "Data types", "Functions", "Reserved 4", "Logic operators", "Strings",
            "Numeric values", "Comments", "Reserved 9", "Rezerved 10"}));
    EXPECT_EQ(texts(d.lstColorScript()),
        (QStringList{"BackColor", "VB Keywords", "Orra Keywords", "Strings", "Orra Parameters", "Comments"}));
    EXPECT_EQ(d.txtSample()->toPlainText().split('\n').first(), "--This is a comment line ");
    EXPECT_EQ(d.txtSampleScript()->toPlainText().split('\n').at(2), "   Parameter(\"B0.Param1\")=\"Value\"");
    EXPECT_EQ(d.cmdOK()->text(), "OK");
    EXPECT_EQ(d.cmdCancel()->text(), "Cancel");
    const struct {
        int size;
        bool bold, italic;
        const char* caption;
    } fonts[] = {{10, false, false, "Verdana, 10"}, {12, true, true, "Verdana, 12, Bold, Italic"},
        {9, false, true, "Verdana, 9, Italic"}};
    for (const auto& f : fonts) {
        QFont font("Verdana");
        font.setPointSize(f.size);
        font.setBold(f.bold);
        font.setItalic(f.italic);
        EXPECT_EQ(frmOptions::fontCaption(font), f.caption);
    }
}

TEST_F(OptionsTest, CancelDropsTheWorkingValuesAndOkKeepsThem)
{
    const EditorOptions before = editorOptions();
    {
        frmOptions d;
        chooseColour(d, d.lstColors(), SqlKeyWords, QColor(10, 20, 30));
        EXPECT_EQ(d.working().SQLColors[SqlKeyWords], RGBColor(10, 20, 30));
        d.cmdCancel()->click();
    }
    EXPECT_EQ(editorOptions().SQLColors, before.SQLColors);
    {
        frmOptions d;
        chooseColour(d, d.lstColors(), SqlKeyWords, QColor(10, 20, 30));
        chooseColour(d, d.lstColorScript(), ScriptComments, QColor(1, 2, 3));
        d.cmdOK()->click();
    }
    EXPECT_EQ(editorOptions().SQLColors[SqlKeyWords], RGBColor(10, 20, 30));
    EXPECT_EQ(editorOptions().ScriptColors[ScriptComments], RGBColor(1, 2, 3));
    EXPECT_TRUE(editorOptions().RtfColorTable.startsWith("\\red10\\green20\\blue30;"))
        << editorOptions().RtfColorTable.toStdString();
}

TEST_F(OptionsTest, CancelledPickersAndNoSelectionChangeNothing)
{
    frmOptions d;
    const EditorOptions before = d.working();
    chooseColour(d, d.lstColors(), SqlStrings, std::nullopt);
    chooseFont(d, d.cmdFont(), std::nullopt);
    EXPECT_EQ(d.working().SQLColors, before.SQLColors);
    EXPECT_EQ(d.lbFont()->text(), "Verdana, 10");
    // A double-click with no entry selected does nothing.
    d.pickColour = [](QColor& c) {
        c = Qt::red;
        return true;
    };
    d.lstColors()->clearSelection();
    d.lstColors()->setCurrentRow(-1);
    emit d.lstColors()->itemDoubleClicked(nullptr);
    EXPECT_EQ(d.working().SQLColors, before.SQLColors);
}

TEST_F(OptionsTest, FontSizesBecomeWholeNumbersHalvesToEven)
{
    EXPECT_EQ(wholeFontSize(10.5), 10);
    EXPECT_EQ(wholeFontSize(11.5), 12);
    EXPECT_EQ(wholeFontSize(10.4), 10);
    frmOptions d;
    QFont f("Courier New");
    f.setPointSizeF(11.5);
    f.setBold(true);
    chooseFont(d, d.cmdFont(), f);
    EXPECT_TRUE(d.lbFont()->text().endsWith(", Bold")) << d.lbFont()->text().toStdString();
    EXPECT_EQ(d.txtSample()->font().bold(), true);   // the sample shows the working font
    d.cmdOK()->click();
    EXPECT_EQ(editorOptions().SQLFont.size, 12);
    EXPECT_TRUE(editorOptions().SQLFont.bold);
    EXPECT_EQ(editorOptions().ScriptFont.size, 10);   // untouched
}

TEST_F(OptionsTest, TheTemplateGridEditsOnlyTheTemplates)
{
    editorOptions().QueryShortcuts[0] = "select * from %s";
    frmOptions d;
    d.FillKeyboardGrid();
    orra::FlexGrid* g = d.fgKeyboard();
    ASSERT_EQ(g->rows(), 11);
    EXPECT_EQ(g->textMatrix(0, 0), "Shortcuts");
    EXPECT_EQ(g->textMatrix(0, 1), "Command");
    EXPECT_EQ(g->textMatrix(1, 0), "Ctrl+1");
    EXPECT_EQ(g->textMatrix(10, 0), "Ctrl+0");
    EXPECT_EQ(g->textMatrix(1, 1), "select * from %s");
    EXPECT_FALSE(g->item(9, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(g->item(9, 1)->flags() & Qt::ItemIsEditable);
    g->item(9, 1)->setText("sp_help %s");   // row 10: Ctrl+0
    d.cmdOK()->click();
    EXPECT_EQ(editorOptions().QueryShortcuts[9], "sp_help %s");
    EXPECT_EQ(editorOptions().QueryShortcuts[0], "select * from %s");
}

TEST_F(OptionsTest, TheSamplesTakeTheWorkingBackgroundAndTheInstalledColouring)
{
    int sqlCalls = 0, scriptCalls = 0;
    std::int32_t seenKeywords = 0;
    frmOptions::setSampleColouring([&](QPlainTextEdit* sql, QPlainTextEdit* script, const EditorOptions& w) {
        sqlCalls += sql != nullptr;
        scriptCalls += script != nullptr;
        seenKeywords = w.SQLColors[SqlKeyWords];
    });
    {
        frmOptions d;
        chooseColour(d, d.lstColors(), SqlBackColor, QColor(250, 240, 230));
        EXPECT_EQ(d.txtSample()->palette().color(QPalette::Base), QColor(250, 240, 230));
        chooseColour(d, d.lstColors(), SqlKeyWords, QColor(0, 128, 0));
        EXPECT_EQ(seenKeywords, RGBColor(0, 128, 0));
        chooseColour(d, d.lstColorScript(), ScriptBackColor, QColor(5, 6, 7));
        EXPECT_EQ(d.txtSampleScript()->palette().color(QPalette::Base), QColor(5, 6, 7));
    }
    frmOptions::setSampleColouring(nullptr);
    EXPECT_EQ(sqlCalls, 2);
    EXPECT_EQ(scriptCalls, 1);
}

TEST_F(OptionsTest, TheOptionsCommandWritesTheStoreAfterOk)
{
    loadMain();
    QTimer::singleShot(0, [] {
        for (int i = 0; i < 200 && !qobject_cast<frmOptions*>(QApplication::activeModalWidget()); ++i) QTest::qWait(10);
        auto* d = qobject_cast<frmOptions*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->pickColour = [](QColor& c) {
            c = QColor(1, 2, 3);
            return true;
        };
        d->lstColors()->setCurrentRow(SqlComments);
        emit d->lstColors()->itemDoubleClicked(d->lstColors()->item(SqlComments));
        d->cmdOK()->click();
    });
    main->menuItem(QStringLiteral("mnuToolsOptions"))->trigger();
    EXPECT_EQ(editorOptions().SQLColors[SqlComments], RGBColor(1, 2, 3));
    EXPECT_EQ(
        storedSetting(QStringLiteral("SQLColors"), QStringLiteral("Comments")), QString::number(RGBColor(1, 2, 3)));
}

TEST_F(OptionsTest, TheHelpMenuShowsTheAboutBoxAndLooksForTheHelpPage)
{
    loadMain();
    QString aboutTitle;
    QTimer::singleShot(0, [&] {
        for (int i = 0; i < 200 && !QApplication::activeModalWidget(); ++i) QTest::qWait(10);
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        aboutTitle = box->objectName() + ":" + box->windowTitle();
        box->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    main->menuItem(QStringLiteral("mnuHelpAbout"))->trigger();
    EXPECT_TRUE(aboutTitle.startsWith("frmAbout:About ")) << aboutTitle.toStdString();
    // The test program has no help folder beside it: the designer says which file is missing.
    main->menuItem(QStringLiteral("mnuHelpContents"))->trigger();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages.first().endsWith("help/index.html is missing.")) << ui.messages.first().toStdString();
}
