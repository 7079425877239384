// SQL and script colouring: the tokenizer's classes on T-SQL, the states that carry over line
// ends, the highlighter's formats (placeholders over everything), slicing of large texts, and
// that colouring never changes a character of the text.

#include "platform/text/AnsiCodePage.h"
#include "platform/widgets/RichTextBox.h"
#include "platform/widgets/SqlTokenizer.h"
#include "platform/widgets/TextHighlighter.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextLayout>
#include <QTest>
#include <gtest/gtest.h>

using namespace orra;

namespace {

// One application for the whole run, never destroyed (widgets of static tests may outlive it).
void app()
{
    static int argc = 1;
    static char name[] = "test_text_colouring";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

// The class of the run that covers exactly the first occurrence of what (after from).
int classOf(const QString& line, const QString& what, int state = 0, int from = 0)
{
    QList<SqlToken> tokens;
    tokenizeSqlLine(line, state, tokens);
    const int at = int(line.indexOf(what, from));
    EXPECT_GE(at, 0) << what.toStdString();
    for (const SqlToken& t : tokens)
        if (t.start == at && t.length == what.size()) return t.cls;
    for (const SqlToken& t : tokens)
        if (t.start <= at && t.start + t.length >= at + what.size()) return -t.cls;   // inside a longer run
    return SqlNoClass;
}

std::array<QColor, 11> classColors()
{
    std::array<QColor, 11> c{};
    for (int i = 1; i <= 10; ++i) c[size_t(i)] = QColor(i * 20, 255 - i * 20, i);
    return c;
}

// The colour the highlighter gave the character at position of block number blockNumber.
QColor colourAt(QTextDocument* doc, int blockNumber, int position)
{
    const QTextBlock b = doc->findBlockByNumber(blockNumber);
    QColor found;
    for (const QTextLayout::FormatRange& r : b.layout()->formats())
        if (position >= r.start && position < r.start + r.length) found = r.format.foreground().color();
    return found;
}

}   // namespace

TEST(SqlTokenizer, EveryClassOfATsqlSample)
{
    const QString sql = QStringLiteral(
        "SELECT TOP 10 o.[Order Date], N'Şehir''in', 'a', 1.5e-3, .5, 0x1F, 42, 7E+2, COUNT(*), "
        "LEFT(c.Name, 3), CAST(x AS varchar(20)), @@ROWCOUNT, @city, #Report, ##Shared "
        "FROM dbo.Orders o LEFT JOIN [select] s ON s.ID = o.ID WHERE a IS NOT NULL AND b BETWEEN 1 AND 2 "
        "OR c IN (1) EXEC sp_who \"from\" /* note */ -- the rest");
    EXPECT_EQ(classOf(sql, QStringLiteral("SELECT")), SqlKeyword);
    EXPECT_EQ(classOf(sql, QStringLiteral("TOP")), SqlKeyword);
    EXPECT_EQ(classOf(sql, QStringLiteral("10")), SqlNumber);
    EXPECT_EQ(classOf(sql, QStringLiteral("[Order Date]")), SqlNoClass) << "a quoted name is a name";
    EXPECT_EQ(classOf(sql, QStringLiteral("N'Şehir''in'")), SqlString) << "N prefix and a doubled quote";
    EXPECT_EQ(classOf(sql, QStringLiteral("'a'")), SqlString);
    EXPECT_EQ(classOf(sql, QStringLiteral("1.5e-3")), SqlNumber);
    EXPECT_EQ(classOf(sql, QStringLiteral(".5"), 0, int(sql.indexOf(QStringLiteral(" .5"))) + 1), SqlNumber);
    EXPECT_EQ(classOf(sql, QStringLiteral("0x1F")), SqlNumber);
    EXPECT_EQ(classOf(sql, QStringLiteral("42")), SqlNumber);
    EXPECT_EQ(classOf(sql, QStringLiteral("7E+2")), SqlNumber);
    EXPECT_EQ(classOf(sql, QStringLiteral("COUNT")), SqlFunction);
    EXPECT_EQ(classOf(sql, QStringLiteral("LEFT(")), SqlNoClass);   // not a run of its own
    EXPECT_EQ(classOf(sql, QStringLiteral("LEFT")), SqlFunction) << "LEFT( is the function";
    EXPECT_EQ(classOf(sql, QStringLiteral("Name")), SqlNoClass) << "a member after a dot";
    EXPECT_EQ(classOf(sql, QStringLiteral("CAST")), SqlFunction);
    EXPECT_EQ(classOf(sql, QStringLiteral("AS"), 0, int(sql.indexOf(QStringLiteral(" AS "))) + 1), SqlKeyword);
    EXPECT_EQ(classOf(sql, QStringLiteral("varchar")), SqlDataType) << "a type keeps its class before (";
    EXPECT_EQ(classOf(sql, QStringLiteral("@@ROWCOUNT")), SqlGlobalVariable);
    EXPECT_EQ(classOf(sql, QStringLiteral("@city")), SqlLocalName);
    EXPECT_EQ(classOf(sql, QStringLiteral("#Report")), SqlLocalName);
    EXPECT_EQ(classOf(sql, QStringLiteral("##Shared")), SqlLocalName);
    EXPECT_EQ(classOf(sql, QStringLiteral("FROM")), SqlKeyword);
    EXPECT_EQ(classOf(sql, QStringLiteral("Orders")), SqlNoClass);
    EXPECT_EQ(classOf(sql, QStringLiteral("LEFT"), 0, int(sql.indexOf(QStringLiteral("o LEFT")))), SqlKeyword)
        << "LEFT JOIN is the keyword";
    EXPECT_EQ(classOf(sql, QStringLiteral("[select]")), SqlNoClass);
    EXPECT_EQ(classOf(sql, QStringLiteral("IS")), SqlLogicOperator);
    EXPECT_EQ(classOf(sql, QStringLiteral("NOT")), SqlLogicOperator);
    EXPECT_EQ(classOf(sql, QStringLiteral("NULL")), SqlKeyword);
    EXPECT_EQ(classOf(sql, QStringLiteral("AND")), SqlLogicOperator);
    EXPECT_EQ(classOf(sql, QStringLiteral("BETWEEN")), SqlLogicOperator);
    EXPECT_EQ(classOf(sql, QStringLiteral("OR")), SqlLogicOperator);
    EXPECT_EQ(classOf(sql, QStringLiteral("IN"), 0, int(sql.indexOf(QStringLiteral(" IN "))) + 1), SqlLogicOperator);
    EXPECT_EQ(classOf(sql, QStringLiteral("sp_who")), SqlSystemProcedure);
    EXPECT_EQ(classOf(sql, QStringLiteral("\"from\"")), SqlNoClass) << "a double-quoted name";
    EXPECT_EQ(classOf(sql, QStringLiteral("/* note */")), SqlComment);
    EXPECT_EQ(classOf(sql, QStringLiteral("-- the rest")), SqlComment);
    EXPECT_EQ(classifySqlWord(u"master", false), SqlNoClass);
    EXPECT_EQ(classifySqlWord(u"datetime", false), SqlDataType);
    EXPECT_EQ(classifySqlWord(u"select", false), SqlKeyword) << "case is ignored";
}

TEST(SqlTokenizer, StatesCarryOverLineEnds)
{
    QList<SqlToken> t;
    // Nested block comments: the outer one ends only at its own */.
    int s = tokenizeSqlLine(u"select 1 /* a /* b */ still", 0, t);
    EXPECT_EQ(s, SqlStateComment + 1);
    t.clear();
    s = tokenizeSqlLine(u"/* deeper */ more */ select", s, t);
    EXPECT_EQ(s, SqlStatePlain);
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t[0], (SqlToken{0, 20, SqlComment}));
    EXPECT_EQ(t[1], (SqlToken{21, 6, SqlKeyword}));
    // A string over two lines.
    t.clear();
    s = tokenizeSqlLine(u"print 'it''s", 0, t);
    EXPECT_EQ(s, SqlStateString);
    t.clear();
    s = tokenizeSqlLine(u"done' from", s, t);
    EXPECT_EQ(s, SqlStatePlain);
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t[0], (SqlToken{0, 5, SqlString}));
    // A bracketed name over two lines hides keywords.
    t.clear();
    s = tokenizeSqlLine(u"select [from", 0, t);
    EXPECT_EQ(s, SqlStateBracket);
    t.clear();
    s = tokenizeSqlLine(u"where]] x] where", s, t);
    EXPECT_EQ(s, SqlStatePlain);
    ASSERT_EQ(t.size(), 1);
    EXPECT_EQ(t[0], (SqlToken{11, 5, SqlKeyword}));
    // A comment marker inside a string is text.
    t.clear();
    tokenizeSqlLine(u"'--' + '/*'", 0, t);
    EXPECT_EQ(t.size(), 2);
    EXPECT_EQ(t[1], (SqlToken{7, 4, SqlString}));
}

TEST(TextHighlighter, SqlClassesAndPlaceholdersInTheirColours)
{
    app();
    RichTextBox box;
    box.setText(QStringLiteral("select Name from t where Code = '<$City%>' -- <$x%>\r\n"
                               "/* open\r\nselect */ exec sp_who <$A,B%> <$Ok%>"));
    auto* h = new TextHighlighter(box.document(), TextHighlighter::Sql);
    const QColor placeholder(1, 2, 3);
    h->setSqlColors(classColors(), placeholder);
    QTextDocument* doc = box.document();
    EXPECT_EQ(colourAt(doc, 0, 0), classColors()[SqlKeyword]);
    EXPECT_FALSE(colourAt(doc, 0, 7).isValid()) << "a name is not coloured";
    EXPECT_EQ(colourAt(doc, 0, 32), classColors()[SqlString]);
    EXPECT_EQ(colourAt(doc, 0, 33), placeholder) << "a placeholder inside a string";
    EXPECT_EQ(colourAt(doc, 0, 47), placeholder) << "a placeholder inside a comment";
    EXPECT_EQ(colourAt(doc, 1, 3), classColors()[SqlComment]);
    EXPECT_EQ(colourAt(doc, 2, 0), classColors()[SqlComment]) << "the comment goes on on the next line";
    EXPECT_EQ(colourAt(doc, 2, 10), classColors()[SqlKeyword]);
    EXPECT_EQ(colourAt(doc, 2, 15), classColors()[SqlSystemProcedure]);
    EXPECT_FALSE(colourAt(doc, 2, 23).isValid()) << "<$A,B%> holds a comma: no placeholder";
    EXPECT_EQ(colourAt(doc, 2, 31), placeholder);
    // New colours recolour at once.
    std::array<QColor, 11> other = classColors();
    other[SqlKeyword] = QColor(9, 9, 9);
    h->setSqlColors(other, placeholder);
    EXPECT_EQ(colourAt(doc, 0, 0), QColor(9, 9, 9));
    // Closing the comment on the first line recolours the lines after it.
    QTextCursor c(doc->findBlockByNumber(1));
    c.movePosition(QTextCursor::EndOfBlock);
    c.insertText(QStringLiteral(" */"));
    EXPECT_EQ(colourAt(doc, 2, 0), other[SqlKeyword]);
}

TEST(TextHighlighter, ScriptWordsStringsPlaceholdersAndComments)
{
    app();
    RichTextBox box;
    box.setText(QStringLiteral("Dim x : x = Parameter.Item(\"a'b\") & \"<$P%>\" ' Then done\r\n#If dimension Then"));
    auto* h = new TextHighlighter(box.document(), TextHighlighter::Script);
    const QColor kw(1, 0, 0), obj(2, 0, 0), str(3, 0, 0), ph(4, 0, 0), cm(5, 0, 0);
    h->setScriptColors(kw, obj, str, ph, cm);
    QTextDocument* doc = box.document();
    EXPECT_EQ(colourAt(doc, 0, 0), kw);
    EXPECT_EQ(colourAt(doc, 0, 12), obj);   // Parameter
    EXPECT_EQ(colourAt(doc, 0, 22), obj);   // Item
    EXPECT_EQ(colourAt(doc, 0, 29), str) << "an apostrophe inside a string starts no comment";
    EXPECT_EQ(colourAt(doc, 0, 38), ph) << "a placeholder inside a string";
    EXPECT_EQ(colourAt(doc, 0, 46), cm);
    EXPECT_EQ(colourAt(doc, 0, 48), cm) << "a keyword in a comment takes the comment colour";
    EXPECT_EQ(colourAt(doc, 1, 0), kw) << "#If";
    EXPECT_FALSE(colourAt(doc, 1, 4).isValid()) << "Dim inside a longer word";
    EXPECT_EQ(colourAt(doc, 1, 14), kw);
}

TEST(TextHighlighter, LargeTextsAreColouredInSlices)
{
    app();
    RichTextBox box;
    auto* h = new TextHighlighter(box.document(), TextHighlighter::Sql);
    h->setSqlColors(classColors(), QColor(1, 2, 3));
    QStringList lines;
    const int count = TextHighlighter::kSlice * 3 + 17;
    for (int i = 0; i < count; ++i) lines << QStringLiteral("select %1 from t").arg(i);
    lines[5] = QStringLiteral("/* a comment");
    lines[count - 10] = QStringLiteral("end */ select");
    box.setText(lines.join(QStringLiteral("\r\n")));
    QTextDocument* doc = box.document();
    EXPECT_TRUE(h->colouringPending());
    EXPECT_EQ(colourAt(doc, 6, 0), classColors()[SqlComment]) << "the first slice at once";
    EXPECT_FALSE(colourAt(doc, count - 1, 0).isValid()) << "the last slice later";
    QTRY_VERIFY_WITH_TIMEOUT(!h->colouringPending(), 5000);
    EXPECT_EQ(colourAt(doc, TextHighlighter::kSlice + 5, 0), classColors()[SqlComment]);
    EXPECT_EQ(colourAt(doc, count - 10, 0), classColors()[SqlComment]);
    EXPECT_EQ(colourAt(doc, count - 10, 7), classColors()[SqlKeyword]);
    EXPECT_EQ(colourAt(doc, count - 1, 0), classColors()[SqlKeyword]);
}

TEST(TextHighlighter, AnEditInTheWaitingPartIsColouredWhenItsSliceComes)
{
    app();
    RichTextBox box;
    auto* h = new TextHighlighter(box.document(), TextHighlighter::Sql);
    h->setSqlColors(classColors(), QColor(1, 2, 3));
    QStringList lines;
    const int count = TextHighlighter::kSlice * 2 + 50;
    for (int i = 0; i < count; ++i) lines << QStringLiteral("x%1 y").arg(i);
    box.setText(lines.join(QStringLiteral("\r\n")));
    ASSERT_TRUE(h->colouringPending());
    // Typed into a line that waits for its slice.
    const int line = count - 5;
    QTextCursor c(box.document()->findBlockByNumber(line));
    c.insertText(QStringLiteral("select "));
    QTRY_VERIFY_WITH_TIMEOUT(!h->colouringPending(), 5000);
    EXPECT_EQ(colourAt(box.document(), line, 0), classColors()[SqlKeyword]);
    EXPECT_FALSE(colourAt(box.document(), line - 1, 0).isValid());
}

TEST(SqlTokenizer, AnyTextGivesOrderedRunsInsideTheLine)
{
    // Random lines of the characters that steer the tokenizer: runs stay inside the line, in
    // order, without overlapping, and every state is one the tokenizer knows.
    const QString alphabet = QStringLiteral("ab N'\"[]/*-@#.0123456789eE+x()\t");
    quint32 seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    int state = SqlStatePlain;
    for (int round = 0; round < 20000; ++round) {
        QString line;
        const int length = int(next() % 24);
        for (int i = 0; i < length; ++i) line += alphabet[int(next() % alphabet.size())];
        QList<SqlToken> tokens;
        state = tokenizeSqlLine(line, state, tokens);
        ASSERT_TRUE(state == SqlStatePlain || state == SqlStateString || state == SqlStateBracket
            || state == SqlStateQuoted || state > SqlStateComment - 1)
            << line.toStdString();
        int end = 0;
        for (const SqlToken& t : tokens) {
            ASSERT_GE(t.start, end) << line.toStdString();
            ASSERT_GT(t.length, 0) << line.toStdString();
            ASSERT_LE(t.start + t.length, line.size()) << line.toStdString();
            ASSERT_TRUE(t.cls >= 1 && t.cls <= 10);
            end = t.start + t.length;
        }
    }
}

TEST(TextHighlighter, ColouringNeverChangesTheText)
{
    app();
    // Every character of Windows-1254 (line breaks only as CR LF), with the runs an older
    // colourer used as its own markers.
    const auto cp = orra::text::AnsiCodePage(1254);
    QString all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n') all += QChar(cp.toChar(uint8_t(b)));
    const QString text = QStringLiteral("select '") + all + QStringLiteral("' as x -- ") + all
        + QStringLiteral("\r\n/* ") + all + QStringLiteral(" */ ##0 ##1 ##9 \\cf1 \\cf ")
        + QStringLiteral("{ISARETKUMEAC} \\ ISARETBACKSLASH <$P%>\r\n") + all + QStringLiteral("\r\n");
    for (TextHighlighter::Mode mode : {TextHighlighter::Sql, TextHighlighter::Script}) {
        RichTextBox box;
        box.setText(text);
        int changes = 0;
        QObject::connect(&box, &RichTextBox::Change, [&] { ++changes; });
        auto* h = new TextHighlighter(box.document(), mode);
        h->setSqlColors(classColors(), QColor(1, 2, 3));
        h->setScriptColors(Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta);
        h->rehighlight();
        EXPECT_EQ(box.Text(), text);
        EXPECT_EQ(changes, 0);
        EXPECT_FALSE(box.document()->isUndoAvailable());
    }
}
