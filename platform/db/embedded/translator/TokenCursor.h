#pragma once
// A cursor over a token list: look ahead, take a keyword or symbol when it is there, step
// over a parenthesised group. Works on lexer tokens and on normalised ones alike.

#include "platform/db/embedded/translator/Rewriting.h"

#include <vector>

namespace orra::embedded::translator {

template <class Item> class BasicTokenCursor {
public:
    explicit BasicTokenCursor(const std::vector<Item>& items, size_t pos = 0) : m_items(items), m_pos(pos) {}

    size_t position() const { return m_pos; }
    void seek(size_t pos) { m_pos = pos; }
    void skip(size_t count = 1) { m_pos += count; }
    size_t size() const { return m_items.size(); }
    bool atEnd() const { return m_pos >= m_items.size(); }

    // The token `ahead` places on, or nullptr past the end.
    const Token* peek(size_t ahead = 0) const
    {
        return m_pos + ahead < m_items.size() ? &tokenOf(m_items[m_pos + ahead]) : nullptr;
    }
    bool at(const char* word, size_t ahead = 0) const
    {
        const Token* t = peek(ahead);
        return t && t->is(word);
    }
    bool atAny(std::initializer_list<const char*> words, size_t ahead = 0) const
    {
        const Token* t = peek(ahead);
        return t && isOneOf(*t, words);
    }
    bool atSymbol(const char* s, size_t ahead = 0) const
    {
        const Token* t = peek(ahead);
        return t && t->isSymbol(s);
    }
    bool atName(size_t ahead = 0) const
    {
        const Token* t = peek(ahead);
        return t && t->isName();
    }
    bool match(const char* word)
    {
        if (!at(word)) return false;
        ++m_pos;
        return true;
    }
    bool matchSymbol(const char* s)
    {
        if (!atSymbol(s)) return false;
        ++m_pos;
        return true;
    }
    // On "(": moves past the parenthesis that closes it and returns that parenthesis's index
    // (the end when it is not closed).
    size_t skipGroup()
    {
        int depth = 0;
        for (; m_pos < m_items.size(); ++m_pos) {
            const Token& t = tokenOf(m_items[m_pos]);
            if (t.isSymbol("("))
                ++depth;
            else if (t.isSymbol(")") && --depth == 0)
                return m_pos++;
        }
        return m_pos;
    }

private:
    const std::vector<Item>& m_items;
    size_t m_pos;
};

using TokenCursor = BasicTokenCursor<Token>;
using RewriteCursor = BasicTokenCursor<NT>;

}   // namespace orra::embedded::translator
