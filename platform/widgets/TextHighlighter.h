#pragma once
// The colouring of the designer's text boxes, applied by a QSyntaxHighlighter: it sets display
// formats per paragraph and never touches the text, its undo history or its modified state.
//
// SQL: the runs of the SQL tokenizer in the colours of their classes (1 to 10), then the
// parameter placeholders ("<$" name "%>") in the placeholder colour over anything else.
// Script: the script keywords, then the script object words, double-quoted strings,
// placeholders and apostrophe comments, each over the ones before.
//
// A large text (a load or paste of many paragraphs) is coloured in slices from its first
// changed paragraph on, one slice per turn of the event loop, so the window stays responsive;
// typing recolours only the paragraphs whose colouring changed.

#include <QColor>
#include <QSet>
#include <QSyntaxHighlighter>
#include <QTimer>
#include <array>

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

    // True while paragraphs wait for their slice.
    bool colouringPending() const { return m_limit >= 0; }
    // Colours every waiting paragraph now.
    void finishColouring();

    // Paragraphs above this many are coloured in slices of this many.
    static constexpr int kSlice = 2000;

protected:
    void highlightBlock(const QString& text) override;

private:
    void documentChanged(int from, int removed, int added);
    void colourNextSlice();
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
    int m_limit = -1;   // last paragraph that may be coloured now; -1 all
    QTimer m_slice;
};

// The script keyword list and object word list of the designer.
extern const char* const kScriptKeywordList;
extern const char* const kScriptObjectWordList;

}   // namespace orra
