#pragma once
// Tokenizer for the T-SQL that the system composes. Comments and blanks are dropped;
// every other token keeps its exact text so that statements can be rebuilt.

#include <QString>
#include <vector>

namespace orra::embedded {

enum class TokenKind {
    Word,         // identifier or keyword, also #temp names and @variables / @@functions
    QuotedName,   // [name] or "name"; text holds the bare name
    String,       // 'text' or N'text'; text holds the literal as SQLite writes it ('…')
    Number,       // 12, 1.5, 1e3, 0x1F
    Symbol,       // operators and punctuation: ( ) , . ; = < > <= >= <> != + - * / % etc.
};

struct Token {
    TokenKind kind = TokenKind::Symbol;
    QString text;
    int pos = 0;                // offset in the source text
    bool spaceBefore = false;   // blanks, line ends or comments preceded the token
    bool national = false;      // a String written N'…' (nvarchar)

    bool isWord() const { return kind == TokenKind::Word; }
    // Case-insensitive keyword test (for Word tokens only).
    bool is(const char* word) const;
    bool isSymbol(const char* s) const { return kind == TokenKind::Symbol && text == QLatin1String(s); }
    // A name: a word or a quoted name.
    bool isName() const { return kind == TokenKind::Word || kind == TokenKind::QuotedName; }
};

struct LexResult {
    std::vector<Token> tokens;
    QString error;            // non-empty for an unterminated string, name or comment
    int errorPosition = -1;   // where the unterminated string, name or comment begins
};

LexResult tokenize(const QString& text);

}   // namespace orra::embedded
