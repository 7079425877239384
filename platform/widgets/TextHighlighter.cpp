#include "platform/widgets/TextHighlighter.h"

#include "platform/widgets/SqlTokenizer.h"

#include <QRegularExpression>
#include <QTextDocument>

namespace orra {

const char* const kScriptKeywordList =
    "#Const|#Else|#ElseIf|#End|#If|Alias|Alias|And|As|Base|Binary|Boolean|Byte|ByVal|Call|Case|CBool|CByte|"
    "CCur|CDate|CDbl|CDec|CInt|CLng|Close|Compare|Const|CreateObject|CSng|CStr|Currency|CVar|CVErr|Decimal|"
    "Declare|DefBool|DefByte|DefCur|DefDate|DefDbl|DefDec|DefInt|DefLng|DefObj|DefSng|DefStr|DefVar|Dim|Do|"
    "Double|Each|Else|ElseIf|End|Enum|Eqv|Erase|Error|Exit|Explicit|False|For|Function|Get|Global|GoSub|GoTo|"
    "If|Imp|In|Input|Input|Integer|Is|LBound|Let|Lib|Like|Line|Lock|Long|Loop|LSet|MsgBox|Name|New|Next|Not|"
    "Object|On|Open|Option|Or|Output|Print|Private|Property|Public|Put|Random|Read|ReDim|Resume|Return|RSet|"
    "Seek|Select|Set|Single|Spc|Static|String|Stop|Sub|Tab|Then|Then|True|Type|UBound|Unlock|Variant|Wend|"
    "While|With|Xor|Nothing|To";
const char* const kScriptObjectWordList =
    "Parameter|Item|ExportExcel|ExportToText|ReturnRecordSet|RunFrom|OrraCon|DocCon|MakeConnection|DocID";

namespace {

// A paragraph that waits for its slice (no colouring state of its own yet).
constexpr int kPendingState = 0x40000000;

QSet<QString> wordSet(const QString& list)
{
    QSet<QString> set;
    for (const QString& w : list.split(QLatin1Char('|'), Qt::SkipEmptyParts)) set.insert(w.toUpper());
    return set;
}

QTextCharFormat colourFormat(const QColor& color)
{
    QTextCharFormat f;
    if (color.isValid()) f.setForeground(color);
    return f;
}

bool isScriptWordChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

}   // namespace

TextHighlighter::TextHighlighter(QTextDocument* document, Mode mode)
    : QSyntaxHighlighter(static_cast<QObject*>(nullptr)), m_mode(mode)
{
    // Owned by the document it colours; attached below, after the slicing is in place.
    setParent(document);
    m_scriptKeywords = wordSet(QString::fromLatin1(kScriptKeywordList));
    m_scriptObjectWords = wordSet(QString::fromLatin1(kScriptObjectWordList));
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &TextHighlighter::colourNextSlice);
    // Connected before the highlighter's own handler, so that a large change is sliced before
    // the highlighter walks it.
    connect(document, &QTextDocument::contentsChange, this, &TextHighlighter::documentChanged);
    if (document->blockCount() > kSlice) {
        m_limit = kSlice;
        m_slice.start();
    }
    setDocument(document);
}

void TextHighlighter::setMode(Mode mode)
{
    if (mode == m_mode) return;
    m_mode = mode;
    recolour();
}

void TextHighlighter::setSqlColors(const std::array<QColor, 11>& classColors, const QColor& placeholder)
{
    if (classColors == m_sqlColors && placeholder == m_placeholderColor) return;
    m_sqlColors = classColors;
    m_placeholderColor = placeholder;
    if (m_mode == Sql) recolour();
}

void TextHighlighter::setScriptColors(const QColor& keywords, const QColor& objectWords, const QColor& strings,
    const QColor& placeholders, const QColor& comments)
{
    if (keywords == m_scriptKeywordColor && objectWords == m_scriptObjectColor && strings == m_scriptStringColor
        && placeholders == m_placeholderColor && comments == m_scriptCommentColor)
        return;
    m_scriptKeywordColor = keywords;
    m_scriptObjectColor = objectWords;
    m_scriptStringColor = strings;
    m_placeholderColor = placeholders;
    m_scriptCommentColor = comments;
    if (m_mode == Script) recolour();
}

void TextHighlighter::setScriptWords(const QString& keywordList, const QString& objectWordList)
{
    m_scriptKeywords = wordSet(keywordList);
    m_scriptObjectWords = wordSet(objectWordList);
    if (m_mode == Script) recolour();
}

void TextHighlighter::recolour()
{
    if (!document()) return;
    if (document()->blockCount() > kSlice) {
        m_limit = kSlice;
        m_slice.start();
    } else {
        m_limit = -1;
    }
    rehighlight();
}

void TextHighlighter::documentChanged(int from, int removed, int added)
{
    // Format-only changes (the highlighter's own among them) change no length.
    if (added == removed || !document()) return;
    const QTextBlock first = document()->findBlock(from);
    const QTextBlock last = document()->findBlock(from + added);
    if (!first.isValid()) return;
    const int lastNumber = last.isValid() ? last.blockNumber() : document()->blockCount() - 1;
    if (lastNumber - first.blockNumber() <= kSlice) return;
    const int limit = first.blockNumber() + kSlice;
    if (m_limit < 0 || limit < m_limit) m_limit = limit;
    m_slice.start();
}

void TextHighlighter::colourNextSlice()
{
    if (m_limit < 0 || !document()) return;
    const int from = m_limit + 1;
    m_limit += kSlice;
    if (m_limit >= document()->blockCount() - 1)
        m_limit = -1;
    else
        m_slice.start();
    const QTextBlock block = document()->findBlockByNumber(from);
    // The slice's first paragraph was waiting: colouring it changes its state, so the
    // highlighter goes on until the next waiting paragraph.
    if (block.isValid()) rehighlightBlock(block);
}

void TextHighlighter::finishColouring()
{
    while (m_limit >= 0) colourNextSlice();
    m_slice.stop();
}

void TextHighlighter::highlightBlock(const QString& text)
{
    if (m_limit >= 0 && currentBlock().blockNumber() > m_limit) {
        setCurrentBlockState(kPendingState);
        return;
    }
    if (m_mode == Sql)
        highlightSql(text);
    else
        highlightScript(text);
}

void TextHighlighter::highlightSql(const QString& text)
{
    int state = previousBlockState();
    if (state < 0 || state == kPendingState) state = SqlStatePlain;
    QList<SqlToken> tokens;
    const int end = tokenizeSqlLine(text, state, tokens);
    for (const SqlToken& t : tokens)
        if (t.cls > 0 && t.cls <= 10 && m_sqlColors[size_t(t.cls)].isValid())
            setFormat(t.start, t.length, colourFormat(m_sqlColors[size_t(t.cls)]));
    colourPlaceholders(text, m_placeholderColor);
    setCurrentBlockState(end);
}

void TextHighlighter::colourPlaceholders(const QString& text, const QColor& color)
{
    if (!color.isValid() || !text.contains(QLatin1String("<$"))) return;
    static const QRegularExpression placeholder(QStringLiteral("<\\$[^<,>]*%>"));
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (m.capturedLength() > 0) setFormat(int(m.capturedStart()), int(m.capturedLength()), colourFormat(color));
    }
}

void TextHighlighter::highlightScript(const QString& text)
{
    const int n = int(text.size());
    // Words: a run of letters, digits and underscores, or one of the "#" directives.
    for (int i = 0; i < n;) {
        if (!isScriptWordChar(text[i]) && text[i] != u'#') {
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < n && isScriptWordChar(text[j])) ++j;
        const bool boundary = i == 0 || !isScriptWordChar(text[i - 1]);
        if (boundary) {
            const QString word = text.mid(i, j - i).toUpper();
            if (m_scriptKeywords.contains(word))
                setFormat(i, j - i, colourFormat(m_scriptKeywordColor));
            else if (m_scriptObjectWords.contains(word))
                setFormat(i, j - i, colourFormat(m_scriptObjectColor));
        }
        i = j;
    }
    // Strings: pairs of double quotes; an unclosed one leaves the rest of the line.
    int commentFrom = -1;
    for (int i = 0; i < n; ++i) {
        if (text[i] == u'"') {
            const int close = int(text.indexOf(u'"', i + 1));
            if (close < 0) break;
            setFormat(i, close - i + 1, colourFormat(m_scriptStringColor));
            i = close;
        } else if (text[i] == u'\'') {
            commentFrom = i;
            break;
        }
    }
    colourPlaceholders(text, m_placeholderColor);
    // A comment: an apostrophe outside a string, to the end of the line.
    if (commentFrom >= 0) setFormat(commentFrom, n - commentFrom, colourFormat(m_scriptCommentColor));
    setCurrentBlockState(0);
}

}   // namespace orra
