// The designer's text routines on real boxes: the line-prefix engine (comment, uncomment,
// indent, outdent) on selections that start and end anywhere, colouring that keeps the caret
// and the first visible line, the key filters, the colour table, the remembered positions and
// the value editor.

#include "designer/editor/ModHighlight.h"
#include "designer/editor/colBlockCursorPositions.h"
#include "designer/editor/frmEdit.h"
#include "designer/shell/EditorOptions.h"
#include "platform/host/Error.h"
#include "platform/widgets/TextHighlighter.h"
#include "tests/embedded/PrintQString.h"

#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <gtest/gtest.h>

using namespace morvane;
using orra::RichTextBox;

namespace {

void app()
{
    static int argc = 1;
    static char name[] = "test_text_editing";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

struct WithApp {
    WithApp() { app(); }
};

struct Editing : ::testing::Test, WithApp {
    Editing()
    {
        box.setLineWrapMode(QPlainTextEdit::NoWrap);
        box.resize(400, 200);
        box.show();
    }
    void select(int start, int length)
    {
        box.setSelStart(start);
        box.setSelLength(length);
    }
    QColor colourAt(int blockNumber, int position)
    {
        const QTextBlock b = box.document()->findBlockByNumber(blockNumber);
        QColor found;
        for (const QTextLayout::FormatRange& r : b.layout()->formats())
            if (position >= r.start && position < r.start + r.length) found = r.format.foreground().color();
        return found;
    }
    RichTextBox box;
};

const QString kThree = QStringLiteral("select a\r\nfrom t\r\nwhere b = 1");

}   // namespace

TEST_F(Editing, CommentThreeWholeLinesKeepsTheSameTextSelected)
{
    box.setText(kThree);
    select(0, int(kThree.size()));
    CommentLines(&box, QStringLiteral("--"));
    EXPECT_EQ(box.Text(), QStringLiteral("--select a\r\n--from t\r\n--where b = 1"));
    EXPECT_EQ(box.SelStart(), 2);
    EXPECT_EQ(box.SelText(), QStringLiteral("select a\r\n--from t\r\n--where b = 1"));
    // Re-coloured: the commented lines are comments now.
    ASSERT_NE(Highlighter(&box), nullptr);
    EXPECT_EQ(colourAt(1, 4), toQColor(editorOptions().SQLColors[SqlComments]));
    UncommentLines(&box, QStringLiteral("--"));
    EXPECT_EQ(box.Text(), kThree);
    EXPECT_EQ(box.SelStart(), 0);
    EXPECT_EQ(box.SelText(), kThree);
}

TEST_F(Editing, SelectionsThatStartOrEndMidLine)
{
    box.setText(kThree);
    // From "ct" in the first line to "fr" in the second: both lines, not the third.
    select(4, 8);
    CommentLines(&box, QStringLiteral("--"));
    EXPECT_EQ(box.Text(), QStringLiteral("--select a\r\n--from t\r\nwhere b = 1"));
    EXPECT_EQ(box.SelText(), QStringLiteral("ct a\r\n--fr"));
    UncommentLines(&box, QStringLiteral("--"));
    EXPECT_EQ(box.Text(), kThree);
    EXPECT_EQ(box.SelText(), QStringLiteral("ct a\r\nfr"));
    // A selection that starts inside a marker ends where the marker was.
    box.setText(QStringLiteral("--x\r\n--y"));
    select(1, 6);   // "-x CR LF --"
    UncommentLines(&box, QStringLiteral("--"));
    EXPECT_EQ(box.Text(), QStringLiteral("x\r\ny"));
    EXPECT_EQ(box.SelStart(), 0);
    EXPECT_EQ(box.SelText(), QStringLiteral("x\r\n"));
}

TEST_F(Editing, NoSelectionMarksTheCaretLineAndATrailingBreakTakesNoNextLine)
{
    box.setText(kThree);
    box.setSelStart(12);   // in "from t"
    CommentLines(&box, QStringLiteral("--"));
    EXPECT_EQ(box.Text(), QStringLiteral("select a\r\n--from t\r\nwhere b = 1"));
    EXPECT_EQ(box.SelStart(), 14);
    EXPECT_EQ(box.SelLength(), 0);
    box.setText(kThree);
    select(0, 10);   // "select a" and its line break
    CommentLines(&box, QStringLiteral("--"));
    EXPECT_EQ(box.Text(), QStringLiteral("--select a\r\nfrom t\r\nwhere b = 1"));
    EXPECT_EQ(box.SelText(), QStringLiteral("select a"));
}

TEST_F(Editing, UncommentTakesOnlyAMarkerInTheFirstColumns)
{
    box.setText(QStringLiteral("  --a\r\n--b\r\n-c"));
    select(0, int(box.Text().size()));
    UncommentLines(&box, QStringLiteral("--"));
    EXPECT_EQ(box.Text(), QStringLiteral("  --a\r\nb\r\n-c"));
}

TEST_F(Editing, IndentAndOutdentWithATabDoNotColour)
{
    box.setText(kThree);
    select(2, 10);
    CommentLines(&box, QStringLiteral("\t"));
    EXPECT_EQ(box.Text(), QStringLiteral("\tselect a\r\n\tfrom t\r\nwhere b = 1"));
    EXPECT_EQ(Highlighter(&box), nullptr) << "indenting does not colour";
    CommentLines(&box, QStringLiteral("\t"));
    EXPECT_EQ(box.Text(), QStringLiteral("\t\tselect a\r\n\t\tfrom t\r\nwhere b = 1"));
    UncommentLines(&box, QStringLiteral("\t"));
    UncommentLines(&box, QStringLiteral("\t"));
    UncommentLines(&box, QStringLiteral("\t"));
    EXPECT_EQ(box.Text(), kThree);
    EXPECT_EQ(box.SelText(), QStringLiteral("lect a\r\nfr"));
    // Script comments use the apostrophe and colour as script.
    select(0, 0);
    CommentLines(&box, QStringLiteral("'"));
    EXPECT_EQ(box.Text().left(9), QStringLiteral("'select a"));
    ASSERT_NE(Highlighter(&box), nullptr);
    EXPECT_EQ(Highlighter(&box)->mode(), orra::TextHighlighter::Script);
}

TEST_F(Editing, ALockedBoxIsLeftAlone)
{
    box.setText(kThree);
    box.setLocked(true);
    select(0, 5);
    CommentLines(&box, QStringLiteral("--"));
    UncommentLines(&box, QStringLiteral("s"));
    EXPECT_EQ(box.Text(), kThree);
}

TEST_F(Editing, ColouringKeepsTheCaretAndTheFirstVisibleLine)
{
    QStringList lines;
    for (int i = 0; i < 300; ++i) lines << QStringLiteral("select c%1 from t where x = '<$P%2%>'").arg(i).arg(i);
    box.setText(lines.join(QStringLiteral("\r\n")));
    box.ScrollToLine(120);
    const int caret = int(box.Text().indexOf(QStringLiteral("c130")));
    box.setSelStart(caret);
    box.ScrollToLine(120);
    ASSERT_EQ(FirstVisibleLine(&box), 120);
    HighlightSql(&box, QString());
    EXPECT_EQ(box.SelStart(), caret);
    EXPECT_EQ(FirstVisibleLine(&box), 120);
    EXPECT_EQ(colourAt(0, 0), toQColor(editorOptions().SQLColors[SqlKeyWords]));
    EXPECT_EQ(colourAt(0, 30), toQColor(editorOptions().ScriptColors[ScriptOrraParameters]));
    HighlightScript(&box, true);
    EXPECT_EQ(box.SelStart(), caret);
    EXPECT_EQ(FirstVisibleLine(&box), 120);
    // A read-only box stays read-only.
    box.setLocked(true);
    HighlightScript(&box, true);
    EXPECT_TRUE(box.Locked());
}

TEST_F(Editing, AKeyThatOpensAStringRecoloursTheRestInSlicesAsAFreshColouringWould)
{
    // Every line holds a string and a comment, so an apostrophe typed near the top turns what
    // follows inside out: strings become text and text strings, down to the last line.
    QStringList lines;
    const int count = (orra::TextHighlighter::kAtOnce + orra::TextHighlighter::kSlice) * 3;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("select c%1, 'v%1' from t /* n */ where x = <$P%>").arg(i);
    box.setText(lines.join(QStringLiteral("\r\n")));
    HighlightSql(&box, QString());
    orra::TextHighlighter* h = Highlighter(&box);
    ASSERT_NE(h, nullptr);
    h->finishColouring();
    QTextCursor c(box.document()->findBlockByNumber(3));
    c.movePosition(QTextCursor::EndOfBlock);
    box.setTextCursor(c);
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Apostrophe);
    EXPECT_EQ(colourAt(4, 0), toQColor(editorOptions().SQLColors[SqlStrings])) << "the lines in sight at once";
    EXPECT_TRUE(h->colouringPending()) << "the rest of the text waits for its slices";
    // The editor goes on taking keys while the slices run.
    QTest::keyClick(&box, Qt::Key_Z);
    QTRY_VERIFY_WITH_TIMEOUT(!h->colouringPending(), 20000);

    RichTextBox fresh;
    fresh.setText(box.Text());
    HighlightSql(&fresh, QString());
    Highlighter(&fresh)->finishColouring();
    ASSERT_EQ(fresh.document()->blockCount(), box.document()->blockCount());
    for (QTextBlock a = box.document()->begin(), b = fresh.document()->begin(); a.isValid();
         a = a.next(), b = b.next()) {
        const auto got = a.layout()->formats(), want = b.layout()->formats();
        ASSERT_EQ(got.size(), want.size()) << "line " << a.blockNumber();
        for (qsizetype i = 0; i < got.size(); ++i) {
            ASSERT_EQ(got[i].start, want[i].start) << "line " << a.blockNumber();
            ASSERT_EQ(got[i].length, want[i].length) << "line " << a.blockNumber();
            ASSERT_EQ(got[i].format.foreground().color(), want[i].format.foreground().color())
                << "line " << a.blockNumber();
        }
    }
}

TEST_F(Editing, TheColourTableDrivesSqlColours)
{
    box.setText(QStringLiteral("select 10"));
    EditorOptions o = EditorOptions::defaults();
    o.SQLColors[SqlKeyWords] = RGBColor(1, 2, 3);
    o.SQLColors[SqlReserved10] = RGBColor(7, 8, 9);
    const QString table = BuildRtfColorTable(o);
    EXPECT_TRUE(table.startsWith(QStringLiteral("\\red1\\green2\\blue3;\\red0\\green0\\blue255;")));
    const auto colours = ParseRtfColorTable(table);
    EXPECT_EQ(colours[1], QColor(1, 2, 3));
    EXPECT_EQ(colours[10], QColor(7, 8, 9)) << "class 10 is its own colour, not 1 followed by 0";
    HighlightSql(&box, table);
    EXPECT_EQ(colourAt(0, 0), QColor(1, 2, 3));
    std::int16_t r = 0, g = 0, b = 0;
    SplitColor(RGBColor(0, 0, 255), r, g, b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 255);
}

TEST_F(Editing, KeyFiltersAndWhiteSpace)
{
    box.setText(QStringLiteral("select 1"));
    int key = orra::vbKeyDown, shift = orra::vbCtrlMask;
    SqlEditorKeyHandler(&box, key, shift);
    EXPECT_EQ(Highlighter(&box), nullptr) << "Ctrl and an arrow: nothing";
    shift = orra::vbShiftMask | orra::vbCtrlMask;
    SqlEditorKeyHandler(&box, key, shift);
    ASSERT_NE(Highlighter(&box), nullptr) << "Ctrl+Shift and an arrow re-colours";
    EXPECT_EQ(key, orra::vbKeyDown);
    for (int k : {orra::vbKeyEnd, orra::vbKeyHome, orra::vbKeyReturn, orra::vbKeyTab, orra::vbKeyShift,
             orra::vbKeyControl, orra::vbKeyF5}) {
        key = k;
        shift = 0;
        SqlEditorKeyHandler(&box, key, shift);
        EXPECT_EQ(key, 0) << k;
    }
    key = orra::vbKeyF5;
    ScriptEditorKeyHandler(&box, key, shift);
    EXPECT_EQ(key, orra::vbKeyF5) << "the script filter passes F5";
    key = orra::vbKeyLeft;
    ScriptEditorKeyHandler(&box, key, shift);
    EXPECT_EQ(Highlighter(&box)->mode(), orra::TextHighlighter::Script);
    for (const char* white : {" ", "\t", "\r", "\n", "\f", "\v"})
        EXPECT_FALSE(HasNoWhiteSpace(QString::fromLatin1(white))) << int(white[0]);
    EXPECT_TRUE(HasNoWhiteSpace(QStringLiteral("a")));
    EXPECT_TRUE(HasNoWhiteSpace(QString()));
}

TEST_F(Editing, ColourByMatchesForTheOptionsSample)
{
    box.setText(QStringLiteral("x = \"a\" ' c\r\nMsgBox <$P%>"));
    ColorQuotedStrings(&box, RGBColor(200, 0, 0));
    box.setSelStart(4);
    box.setSelLength(3);
    EXPECT_EQ(box.SelColor(), QColor(200, 0, 0));
    ColorPlaceholders(&box, RGBColor(128, 0, 0));
    EXPECT_EQ(box.SelText(), QStringLiteral("<$P%>")) << "the selection is left on the last match";
    EXPECT_EQ(box.SelColor(), QColor(128, 0, 0));
    ColorScriptComments(&box, RGBColor(0, 128, 128));
    EXPECT_EQ(box.SelText(), QStringLiteral("' c\r\n"));
    EXPECT_EQ(box.Text(), QStringLiteral("x = \"a\" ' c\r\nMsgBox <$P%>"));
}

TEST_F(Editing, TheOptionsSamplesTakeTheColoursBeingEdited)
{
    QPlainTextEdit sql, script;
    sql.setPlainText(QStringLiteral("select Col1 from Table1 where Col3=<$Param%>"));
    script.setPlainText(QStringLiteral("if x then ' note"));
    EditorOptions working = EditorOptions::defaults();
    working.SQLColors[SqlKeyWords] = RGBColor(10, 20, 30);
    working.ScriptColors[ScriptOrraParameters] = RGBColor(40, 50, 60);
    working.ScriptColors[ScriptComments] = RGBColor(70, 80, 90);
    HighlightOptionsSamples(&sql, &script, working);
    auto colour = [](QPlainTextEdit& e, int position) {
        QColor found;
        for (const QTextLayout::FormatRange& r : e.document()->firstBlock().layout()->formats())
            if (position >= r.start && position < r.start + r.length) found = r.format.foreground().color();
        return found;
    };
    EXPECT_EQ(colour(sql, 0), QColor(10, 20, 30));
    EXPECT_EQ(colour(sql, 36), QColor(40, 50, 60));
    EXPECT_EQ(colour(script, 11), QColor(70, 80, 90));
    EXPECT_EQ(colour(script, 0), toQColor(working.ScriptColors[ScriptVBKeyWords]));
    // The designer's own colours are not touched.
    EXPECT_EQ(editorOptions().SQLColors[SqlKeyWords], kSqlColorDefaults[SqlKeyWords]);
}

TEST(CursorPositions, KeyedCollection)
{
    colBlockCursorPositions positions;
    positions.Add(40, 1234, QStringLiteral("B3"));
    EXPECT_TRUE(positions.IsExists(QStringLiteral("B3")));
    EXPECT_EQ(positions.Item(QStringLiteral("B3")).FirstRow, 40);
    EXPECT_EQ(positions.Item(QStringLiteral("B3")).Position, 1234);
    try {
        positions.Add(1, 1, QStringLiteral("B3"));
        ADD_FAILURE() << "a duplicate key";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), 457);
    }
    // An empty key: added without one, never found by it.
    positions.Add(5, 6, QString());
    EXPECT_EQ(positions.Count(), 2);
    EXPECT_FALSE(positions.IsExists(QString()));
    EXPECT_EQ(positions.Item(2).Position, 6);
    positions.Remove(QStringLiteral("B3"));
    EXPECT_FALSE(positions.IsExists(QStringLiteral("B3")));
    EXPECT_EQ(positions.Count(), 1);
    try {
        positions.Item(QStringLiteral("B3"));
        ADD_FAILURE() << "a missing key";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), 5);
    }
}

TEST(ValueEditor, EditsTheValueAndCarriesTheCaret)
{
    app();
    RichTextBox value;
    value.setText(QStringLiteral("select 1"));
    value.setSelStart(3);
    int changes = 0;
    QObject::connect(&value, &RichTextBox::Change, [&] { ++changes; });
    QString caption;
    int startCaret = -1;
    bool hiddenNotClosed = false;
    // Unchanged: nothing written back.
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<frmEdit*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        caption = form->windowTitle();
        startCaret = form->rtfText()->SelStart();
        form->rtfText()->setSelStart(5);
        form->close();
        hiddenNotClosed = form->isHidden();
    });
    RichTextBoxValueEditing::Edit(&value, QStringLiteral("City"), nullptr);
    EXPECT_EQ(caption, QStringLiteral("City"));
    EXPECT_EQ(startCaret, 3);
    EXPECT_TRUE(hiddenNotClosed);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(value.SelStart(), 5);
    // Changed, with a Tab typed: written back, the caret where it was left, even past a shorter end.
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<frmEdit*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        form->rtfText()->setFocus();
        form->rtfText()->setSelStart(0);
        QTest::keyClick(form->rtfText(), Qt::Key_Tab);
        form->close();
    });
    RichTextBoxValueEditing::Edit(&value, QString(), nullptr);
    EXPECT_EQ(value.Text(), QStringLiteral("\tselect 1"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(value.SelStart(), 1);
    ASSERT_NE(Highlighter(&value), nullptr);
}
