// Opening a 1 MB SQL text in a coloured SQL editor against the same load into a plain
// QPlainTextEdit (target: at most 3 times), the time until the whole text is coloured, and
// keystrokes in the middle of that text, among them an apostrophe that opens a string and "/*"
// that opens a comment, each changing the colour of every line after it (target: every
// keystroke under one frame, 16.7 ms; the median and the maximum are reported, and the longest
// turn of the event loop while the rest of the text is re-coloured). Runs offscreen unless a
// platform is named in QT_QPA_PLATFORM.

#include "platform/widgets/RichTextBox.h"
#include "platform/widgets/TextHighlighter.h"

#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace orra;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QString sqlText(int bytes)
{
    const QString block = QStringLiteral(
        "/* monthly totals per city */\r\n"
        "select c.City, count(*) as Orders, sum(o.Amount) as Total, max(o.OrderDate) as Last\r\n"
        "  from dbo.Orders o inner join dbo.Customers c on c.ID = o.CustomerID\r\n"
        " where o.OrderDate between '<$From%>' and '<$To%>' and c.Country = N'Türkiye' -- parameters\r\n"
        "   and o.Amount > 1.5e2 and isnull(o.Status, 0) in (1, 2, 3)\r\n"
        " group by c.City order by Total desc\r\n"
        "insert into #Report (City, Total) select City, Total from #Totals where @@ROWCOUNT > 0\r\n\r\n");
    QString text;
    text.reserve(bytes + block.size());
    while (text.size() < bytes) text += block;
    return text;
}

std::array<QColor, 11> colours()
{
    std::array<QColor, 11> c{};
    const QRgb rgb[] = {0, 0x0000ff, 0x0000ff, 0xff00ff, 0x0000ff, 0x808080, 0xff0000, 0, 0x008080, 0x00ff00, 0};
    for (int i = 1; i <= 10; ++i) c[size_t(i)] = QColor(rgb[i]);
    return c;
}

}   // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString text = sqlText(1 << 20);
    const int runs = 5;
    std::vector<double> plain, coloured, complete;
    for (int run = 0; run < runs; ++run) {
        {
            QPlainTextEdit edit;
            edit.setLineWrapMode(QPlainTextEdit::NoWrap);
            edit.resize(900, 600);
            edit.show();
            const auto t0 = Clock::now();
            edit.setPlainText(text);
            QApplication::processEvents();
            plain.push_back(ms(Clock::now() - t0));
        }
        {
            RichTextBox box;
            box.setLineWrapMode(QPlainTextEdit::NoWrap);
            box.resize(900, 600);
            box.show();
            auto* h = new TextHighlighter(box.document(), TextHighlighter::Sql);
            h->setView(&box);
            h->setSqlColors(colours(), QColor(128, 0, 0));
            const auto t0 = Clock::now();
            box.setText(text);
            QApplication::processEvents();
            coloured.push_back(ms(Clock::now() - t0));
            while (h->colouringPending()) QApplication::processEvents();
            complete.push_back(ms(Clock::now() - t0));
        }
    }

    // Keystrokes in the middle of the coloured text.
    RichTextBox box;
    box.setLineWrapMode(QPlainTextEdit::NoWrap);
    box.resize(900, 600);
    box.show();
    auto* h = new TextHighlighter(box.document(), TextHighlighter::Sql);
    h->setView(&box);
    h->setSqlColors(colours(), QColor(128, 0, 0));
    box.setText(text);
    h->finishColouring();
    box.setFocus();
    // A line in the middle that starts in plain text and has no line comment, so that the keys
    // typed at its end open and close strings and comments.
    QTextBlock middle = box.document()->findBlockByNumber(box.document()->blockCount() / 2);
    while (middle.text().contains(QLatin1String("--")) || middle.previous().userState() != 0) middle = middle.next();
    QTextCursor c(middle);
    c.movePosition(QTextCursor::EndOfBlock);
    box.setTextCursor(c);
    box.centerCursor();
    QApplication::processEvents();
    // A round: a word, a space, an apostrophe that opens a string and one more character,
    // both taken back (the second Backspace closes the string again), then "/*" that opens a
    // comment, taken back character by character. Each round leaves "x " behind.
    struct Typed {
        Qt::Key key;
        const char* flips;   // what the key does to the lines after it, or null
    };
    const Typed round[] = {{Qt::Key_X, nullptr}, {Qt::Key_Space, nullptr}, {Qt::Key_Apostrophe, "opens a string"},
        {Qt::Key_A, nullptr}, {Qt::Key_Backspace, nullptr}, {Qt::Key_Backspace, "closes the string"},
        {Qt::Key_Slash, nullptr}, {Qt::Key_Asterisk, "opens a comment"}, {Qt::Key_Backspace, "closes the comment"},
        {Qt::Key_Backspace, nullptr}};
    const int rounds = 20;
    std::vector<double> keys, flipping;
    double slowest = 0;
    const char* slowestKey = "";
    for (int i = 0; i < rounds; ++i) {
        for (const Typed& t : round) {
            const auto t0 = Clock::now();
            QTest::keyClick(&box, t.key);
            QApplication::processEvents();
            const double d = ms(Clock::now() - t0);
            keys.push_back(d);
            if (t.flips) flipping.push_back(d);
            if (d > slowest) {
                slowest = d;
                slowestKey = t.flips ? t.flips : "another key";
            }
        }
    }
    // After the last key: each turn of the event loop until the whole text is coloured again.
    double longestTurn = 0, recoloured = 0;
    {
        const auto t0 = Clock::now();
        QTest::keyClick(&box, Qt::Key_Apostrophe);
        QApplication::processEvents();
        longestTurn = ms(Clock::now() - t0);
        while (h->colouringPending()) {
            const auto a = Clock::now();
            QApplication::processEvents();
            longestTurn = std::max(longestTurn, ms(Clock::now() - a));
        }
        recoloured = ms(Clock::now() - t0);
    }

    // What an editor writes back into its element on each change: the whole text.
    std::vector<double> reads;
    qsizetype length = 0;
    for (int i = 0; i < 20; ++i) {
        const auto t0 = Clock::now();
        length += box.Text().size();
        reads.push_back(ms(Clock::now() - t0));
    }

    const double p = median(plain), o = median(coloured), f = median(complete);
    std::printf("1 MB SQL text (%d lines), median of %d loads\n", int(box.document()->blockCount()), runs);
    std::printf("  plain QPlainTextEdit load:        %8.1f ms\n", p);
    std::printf("  coloured SQL editor load:         %8.1f ms  (ratio %.2f, target <= 3)\n", o, o / p);
    std::printf("  until the whole text is coloured: %8.1f ms  (ratio %.2f)\n", f, f / p);
    std::printf("  keystroke in the middle (%d keys), median %.2f ms, max %.2f ms (%s); target: max < 16.7\n",
        int(keys.size()), median(keys), slowest, slowestKey);
    std::printf("  keys that open or close a string or a comment (%d), median %.2f ms, max %.2f ms\n",
        int(flipping.size()), median(flipping), *std::max_element(flipping.begin(), flipping.end()));
    std::printf("  an apostrophe until the whole text is coloured again: %.1f ms, longest turn of the event loop %.2f ms\n",
        recoloured, longestTurn);
    std::printf("  the whole text read back (Text), median: %8.2f ms (%lld characters)\n", median(reads),
        static_cast<long long>(length / 20));
    return 0;
}
