#include "platform/widgets/TextHighlighter.h"

#include "platform/widgets/SqlTokenizer.h"

#include <QRegularExpression>
#include <QAbstractTextDocumentLayout>
#include <QSignalBlocker>
#include <QTextLayout>
#include <QTextDocument>
#include <algorithm>

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

// The state of a paragraph that waits for its colours (no colouring gives it).
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
    // Owned by the document it colours; attached below, after the passes are bounded.
    setParent(document);
    m_scriptKeywords = wordSet(QString::fromLatin1(kScriptKeywordList));
    m_scriptObjectWords = wordSet(QString::fromLatin1(kScriptObjectWordList));
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, [this] { colourNextSlice(); });
    // An edit's pass is the highlighter's own handler of the change: it is bounded just before
    // and unbounded just after it.
    connect(document, &QTextDocument::contentsChange, this, &TextHighlighter::armForEdit);
    setDocument(document);
    connect(document, &QTextDocument::contentsChange, this, &TextHighlighter::editDone);
    // A text that is there already is coloured now, in a bounded pass (which also takes the
    // place of the highlighter's own deferred colouring of the whole text).
    if (!document->isEmpty()) {
        armPass(document->begin(), document->characterCount(), lastVisibleLine(0), 0);
        m_ownPass = true;
        rehighlight();
        m_ownPass = false;
        m_pass.armed = false;
    }
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
    QTextDocument* doc = document();
    if (!doc) return;
    // Every paragraph waits (with the colours it has) and the first pass starts at the top; the
    // waiting state is one no colouring gives, so the passes walk on to the end.
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) b.setUserState(kPendingState);
    m_waiting.clear();
    addWaiting(doc->begin());
    colourNextSlice();
}

void TextHighlighter::armForEdit(int from, int removed, int added)
{
    // Changes made while a pass runs are the pass's own.
    if (m_ownPass || currentBlock().isValid() || !document()) return;
    QTextDocument* doc = document();
    const QTextBlock first = doc->findBlock(from);
    if (!first.isValid()) return;
    // The paragraphs the highlighter walks whatever their states (as it computes them).
    const QTextBlock last = doc->findBlock(from + added + (removed > 0 ? 1 : 0));
    const int changedEnd = last.isValid() ? last.position() + last.length() : doc->characterCount();
    armPass(first, changedEnd, lastVisibleLine(first.blockNumber()), 0);
}

void TextHighlighter::editDone()
{
    if (m_ownPass || currentBlock().isValid()) return;
    m_pass.armed = false;
}

void TextHighlighter::armPass(const QTextBlock& first, int changedEnd, int mustColourTo, qint64 budgetNs)
{
    m_pass = Pass{};
    m_pass.armed = true;
    m_pass.budgetNs = budgetNs;
    m_pass.changedEnd = changedEnd;
    m_pass.mustColourTo = std::max(mustColourTo, first.blockNumber());
    m_pass.clock.start();
}

int TextHighlighter::lastVisibleLine(int changedFrom) const
{
    // Only an edit in sight brings the lines below it on the screen with it.
    if (!m_view || !m_view->isVisible()) return changedFrom;
    const int top = m_view->cursorForPosition(QPoint(0, 0)).blockNumber();
    const int lines = m_view->viewport()->height() / std::max(1, m_view->fontMetrics().lineSpacing()) + 1;
    if (changedFrom < top || changedFrom > top + lines) return changedFrom;
    return top + lines;
}

bool TextHighlighter::belowView(const QTextBlock& block) const
{
    if (!m_view || !m_view->isVisible()) return false;
    const QTextBlock bottom = m_view->cursorForPosition(QPoint(0, m_view->viewport()->height())).block();
    return bottom.isValid() && block.blockNumber() > bottom.blockNumber();
}

bool TextHighlighter::mustWait(const QTextBlock& block)
{
    if (!m_pass.armed || m_pass.budgetNs < 0) return false;
    if (m_pass.deferring) return true;
    if (m_pass.coloured < kAtOnce || block.blockNumber() <= m_pass.mustColourTo) return false;
    return m_pass.coloured >= kAtOnce + kSlice || m_pass.clock.nsecsElapsed() >= m_pass.budgetNs;
}

void TextHighlighter::wait(const QTextBlock& block)
{
    if (!m_pass.deferring) {
        m_pass.deferring = true;
        addWaiting(block);
        m_slice.start();
    }
    // The paragraph keeps its colours until its turn comes.
    for (const QTextLayout::FormatRange& r : block.layout()->formats()) setFormat(r.start, r.length, r.format);
    // Inside the changed paragraphs every one waits; past them the first waiting one keeps its
    // state, which ends the pass.
    if (block.position() < m_pass.changedEnd) setCurrentBlockState(kPendingState);
}

void TextHighlighter::addWaiting(const QTextBlock& block)
{
    const int at = block.position();
    auto it = std::lower_bound(m_waiting.begin(), m_waiting.end(), at,
        [](const QTextCursor& c, int position) { return c.position() < position; });
    if (it != m_waiting.end() && it->position() == at) return;
    QTextCursor c(block);
    m_waiting.insert(it, c);
}

void TextHighlighter::dropWaitingIn(const QTextBlock& block)
{
    if (m_waiting.empty()) return;
    const int from = block.position(), to = from + block.length();
    m_waiting.erase(std::remove_if(m_waiting.begin(), m_waiting.end(),
                        [&](const QTextCursor& c) { return c.position() >= from && c.position() < to; }),
        m_waiting.end());
}

void TextHighlighter::colourNextSlice(bool unbounded)
{
    QTextDocument* doc = document();
    if (m_waiting.empty() || !doc) return;
    const int at = m_waiting.front().position();
    const QTextBlock block = doc->findBlock(at);
    if (!block.isValid()) {
        m_waiting.erase(m_waiting.begin());
    } else {
        armPass(block, block.position() + block.length(), block.blockNumber(), unbounded ? -1 : kBudgetNs);
        m_ownPass = true;
        // Colours below the last visible line change nothing on the screen: the view is not
        // asked to repaint for them.
        const QSignalBlocker quiet(belowView(block) ? doc->documentLayout() : nullptr);
        rehighlightBlock(block);
        m_ownPass = false;
        m_pass.armed = false;
        // A waiting paragraph is coloured by its own pass at least.
        if (!m_waiting.empty() && m_waiting.front().position() == at) m_waiting.erase(m_waiting.begin());
    }
    if (!m_waiting.empty() && !unbounded) m_slice.start();
}

void TextHighlighter::finishColouring()
{
    while (!m_waiting.empty()) colourNextSlice(true);
    m_slice.stop();
}

void TextHighlighter::highlightBlock(const QString& text)
{
    const QTextBlock block = currentBlock();
    if (mustWait(block)) {
        wait(block);
        return;
    }
    ++m_pass.coloured;
    dropWaitingIn(block);
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
