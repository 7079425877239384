#pragma once
// The colouring of the designer's text boxes, applied by a QSyntaxHighlighter: it sets display
// formats per paragraph and never touches the text, its undo history or its modified state.
//
// SQL: the runs of the SQL tokenizer in the colours of their classes (1 to 10), then the
// parameter placeholders ("<$" name "%>") in the placeholder colour over anything else.
// Script: the script keywords, then the script object words, double-quoted strings,
// placeholders and apostrophe comments, each over the ones before.
//
// Colouring runs in passes of bounded length, so that the window keeps taking keys. An edit's
// pass colours the edited paragraph and the lines after it that are in sight (at least kAtOnce
// paragraphs); what its change reaches beyond that (a load or paste of many paragraphs, or an
// apostrophe that opens a string, "/*" that opens a comment, changing the state of every line
// after it) waits with the colours it had. The waiting paragraphs are then coloured from the
// first of them on, one pass of a few milliseconds per turn of the event loop, until the
// colouring reaches a line whose state it does not change: the colours are then those a full
// colouring gives.

#include <QColor>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSet>
#include <QSyntaxHighlighter>
#include <QTextCursor>
#include <QTimer>
#include <array>
#include <vector>

namespace orra {

class TextHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    enum Mode { Sql, Script };

    // Attaches to document in mode (no colours until they are set).
    TextHighlighter(QTextDocument* document, Mode mode);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);

    // SQL colours by class (index 1 to 10; index 0 unused) and the placeholder colour.
    // Recolours when they differ from the ones in force.
    void setSqlColors(const std::array<QColor, 11>& classColors, const QColor& placeholder);
    // Script colours: keywords, object words, strings, placeholders, comments.
    void setScriptColors(const QColor& keywords, const QColor& objectWords, const QColor& strings,
        const QColor& placeholders, const QColor& comments);
    // The two word lists of script colouring ("|"-separated, case ignored).
    void setScriptWords(const QString& keywordList, const QString& objectWordList);

    // The view whose visible lines an edit colours first (none: only the changed ones).
    void setView(QPlainTextEdit* view) { m_view = view; }

    // True while paragraphs wait for their colours.
    bool colouringPending() const { return !m_waiting.empty(); }
    // Colours every waiting paragraph now.
    void finishColouring();

    // Every pass colours at least this many paragraphs (a short text is coloured at once) and
    // the lines in sight after an edit.
    static constexpr int kAtOnce = 200;
    // A pass of waiting paragraphs goes on for at most this long, and this many more.
    static constexpr qint64 kBudgetNs = 3'000'000;
    static constexpr int kSlice = 1000;

protected:
    void highlightBlock(const QString& text) override;

private:
    // One colouring pass: its bounds, and where it stands.
    struct Pass {
        bool armed = false;       // false: a pass nobody bounded (an outside rehighlight) colours all
        qint64 budgetNs = 0;      // time for more than kAtOnce and the lines in sight; -1: no limit
        bool deferring = false;   // the budget is spent: the rest of the pass waits
        int mustColourTo = -1;    // the last paragraph (by number) coloured whatever the budget
        int changedEnd = 0;       // end position of the paragraphs the pass walks in any case
        int coloured = 0;
        QElapsedTimer clock;
    };

    void armForEdit(int from, int removed, int added);
    void armPass(const QTextBlock& first, int changedEnd, int mustColourTo, qint64 budgetNs);
    void editDone();
    bool mustWait(const QTextBlock& block);
    void wait(const QTextBlock& block);
    void addWaiting(const QTextBlock& block);
    void dropWaitingIn(const QTextBlock& block);
    int lastVisibleLine(int changedFrom) const;
    bool belowView(const QTextBlock& block) const;
    void colourNextSlice(bool unbounded = false);
    void recolour();
    void highlightSql(const QString& text);
    void highlightScript(const QString& text);
    void colourPlaceholders(const QString& text, const QColor& color);

    Mode m_mode;
    std::array<QColor, 11> m_sqlColors{};
    QColor m_placeholderColor;
    QColor m_scriptKeywordColor, m_scriptObjectColor, m_scriptStringColor, m_scriptCommentColor;
    QSet<QString> m_scriptKeywords;   // upper case
    QSet<QString> m_scriptObjectWords;
    Pass m_pass;
    bool m_ownPass = false;               // a pass of this highlighter's own runs
    std::vector<QTextCursor> m_waiting;   // first paragraphs of the waiting runs, in text order
    QPointer<QPlainTextEdit> m_view;
    QTimer m_slice;
};

// The script keyword list and object word list of the designer.
extern const char* const kScriptKeywordList;
extern const char* const kScriptObjectWordList;

}   // namespace orra
