// The rich text box: CR LF text, selection positions that count a line break as two, the
// selection colour, Locked, lines and scrolling, and the key events its owners see.

#include "platform/widgets/RichTextBox.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using orra::RichTextBox;

namespace {

// One application for the whole run, never destroyed (widgets of static tests may outlive it).
void app()
{
    static int argc = 1;
    static char name[] = "test_rich_text_box";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

struct WithApp {
    WithApp() { app(); }
};

struct Box : ::testing::Test, WithApp {
    Box()
    {
        box.resize(400, 200);
        box.show();
    }
    RichTextBox box;
};

QString lines(int count)
{
    QStringList l;
    for (int i = 0; i < count; ++i) l << QStringLiteral("line %1").arg(i);
    return l.join(QStringLiteral("\r\n"));
}

}   // namespace

TEST_F(Box, TextKeepsCrLfAndEveryBreakFormBecomesCrLf)
{
    box.setText(QStringLiteral("ab\r\ncd\nef\rgh"));
    EXPECT_EQ(box.Text(), QStringLiteral("ab\r\ncd\r\nef\r\ngh"));
    EXPECT_EQ(box.TextLength(), 14);
    EXPECT_EQ(box.LineCount(), 4);
    // A non-breaking space stays one (a plain-text read would turn it into a space).
    box.setText(QString(QChar(0xA0)) + QStringLiteral("x"));
    EXPECT_EQ(box.Text(), QString(QChar(0xA0)) + QStringLiteral("x"));
}

TEST_F(Box, SelStartCountsALineBreakAsTwo)
{
    box.setText(QStringLiteral("ab\r\ncd\r\nef"));
    box.setSelStart(4);   // c
    EXPECT_EQ(box.SelStart(), 4);
    box.setSelLength(4);   // cd CR LF
    EXPECT_EQ(box.SelText(), QStringLiteral("cd\r\n"));
    EXPECT_EQ(box.SelLength(), 4);
    box.setSelStart(8);
    box.setSelLength(2);
    EXPECT_EQ(box.SelText(), QStringLiteral("ef"));
    // Between CR and LF: the end of that line.
    box.setSelStart(3);
    EXPECT_EQ(box.SelStart(), 2);
    // Past the end: the end.
    box.setSelStart(100);
    EXPECT_EQ(box.SelStart(), 10);
    // Positions match the stored text's.
    const QString text = box.Text();
    box.setSelStart(int(text.indexOf(QLatin1Char('e'))));
    box.setSelLength(1);
    EXPECT_EQ(box.SelText(), QStringLiteral("e"));
}

TEST_F(Box, SelTextReplacesTheSelectionAndFiresChange)
{
    box.setText(QStringLiteral("select a\r\nfrom t"));
    int changes = 0;
    QObject::connect(&box, &RichTextBox::Change, [&] { ++changes; });
    box.setSelStart(7);
    box.setSelLength(1);
    box.setSelText(QStringLiteral("b,\r\nc"));
    EXPECT_EQ(box.Text(), QStringLiteral("select b,\r\nc\r\nfrom t"));
    EXPECT_EQ(box.SelStart(), 12);
    EXPECT_EQ(changes, 1);
    // Colouring the selection changes no text: no Change.
    box.setSelStart(0);
    box.setSelLength(6);
    box.setSelColor(QColor(0, 0, 255));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(box.SelColor(), QColor(0, 0, 255));
    box.setSelLength(8);
    EXPECT_FALSE(box.SelColor().isValid()) << "two colours in the selection";
    // A new text is one change, however it is set.
    box.setText(QStringLiteral("a"));
    EXPECT_EQ(changes, 2);
    box.setPlainText(QStringLiteral("b"));
    EXPECT_EQ(changes, 3);
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_C);
    QTest::keyClick(&box, Qt::Key_D);
    EXPECT_EQ(changes, 5) << "each typed character";
}

TEST_F(Box, LockedTakesNoTypingButMovesItsCaret)
{
    box.setText(QStringLiteral("abc"));
    box.setLocked(true);
    box.setFocus();
    box.setSelStart(0);
    QTest::keyClick(&box, Qt::Key_X);
    EXPECT_EQ(box.Text(), QStringLiteral("abc"));
    QTest::keyClick(&box, Qt::Key_Right);
    EXPECT_EQ(box.SelStart(), 1);
    // The program may still write into it.
    box.setSelText(QStringLiteral("-"));
    EXPECT_EQ(box.Text(), QStringLiteral("a-bc"));
    box.setLocked(false);
    QTest::keyClick(&box, Qt::Key_Y);
    EXPECT_EQ(box.Text(), QStringLiteral("a-ybc"));
}

TEST_F(Box, FirstVisibleLineAndScrolling)
{
    box.setLineWrapMode(QPlainTextEdit::NoWrap);
    box.setText(lines(500));
    EXPECT_EQ(box.LineCount(), 500);
    EXPECT_EQ(box.FirstVisibleLine(), 0);
    box.ScrollToLine(40);
    EXPECT_EQ(box.FirstVisibleLine(), 40);
    box.ScrollLines(3);
    EXPECT_EQ(box.FirstVisibleLine(), 43);
    box.ScrollLines(-5);
    EXPECT_EQ(box.FirstVisibleLine(), 38);
    const int page = box.verticalScrollBar()->pageStep();
    ASSERT_GT(page, 1);
    box.ScrollPages(1);
    EXPECT_EQ(box.FirstVisibleLine(), 38 + page);
    box.ScrollPages(-1);
    EXPECT_EQ(box.FirstVisibleLine(), 38);
    // Beyond the last page the box stops where it can.
    box.ScrollToLine(10000);
    EXPECT_EQ(box.FirstVisibleLine(), box.verticalScrollBar()->maximum());
    EXPECT_LT(box.FirstVisibleLine(), 500);
    box.ScrollToLine(0);
    EXPECT_EQ(box.FirstVisibleLine(), 0);
}

TEST_F(Box, KeyEventsCarryVbCodesAndCanBeSwallowed)
{
    box.setText(QString());
    box.setFocus();
    std::vector<std::pair<int, int>> downs, ups;
    std::vector<int> presses;
    box.onKeyDown = [&](int& code, int shift) {
        downs.emplace_back(code, shift);
        if (code == orra::vbKeyTab) code = 0;   // swallowed
    };
    box.onKeyPress = [&](int& ascii) {
        presses.push_back(ascii);
        if (ascii == 'q') ascii = 0;
    };
    box.onKeyUp = [&](int& code, int shift) { ups.emplace_back(code, shift); };
    QTest::keyClick(&box, Qt::Key_Tab);
    QTest::keyClick(&box, Qt::Key_A);
    QTest::keyClick(&box, Qt::Key_Q);
    QTest::keyClick(&box, Qt::Key_F5, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&box, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(box.Text(), QStringLiteral("a"));
    // The modifier keys arrive as keys of their own, as they did.
    const std::vector<std::pair<int, int>> expected{
        {9, 0}, {65, 0}, {81, 0}, {17, 2}, {116, 2}, {16, 1}, {17, 3}, {67, 3}, {16, 1}, {9, 1}};
    EXPECT_EQ(downs, expected);
    EXPECT_EQ(presses, (std::vector<int>{'a', 'q'}));
    ASSERT_EQ(ups.size(), expected.size());
    EXPECT_EQ(ups[3], std::make_pair(116, 2));   // F5 goes up before Ctrl
}

TEST_F(Box, CharFromPosFindsTheCharacterUnderAPoint)
{
    box.setText(QStringLiteral("first\r\nsecond"));
    box.setSelStart(9);   // c of second
    const QRect r = box.cursorRect();
    EXPECT_EQ(box.CharFromPos(r.center() + QPoint(1, 0)), 9);
}
