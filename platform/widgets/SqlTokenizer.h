#pragma once
// The SQL colouring's tokenizer: splits T-SQL, one line at a time, into the runs of the ten
// colour classes of the designer's SQL colours (1 keywords ... 10). Text that belongs to no
// class (names, quoted names, punctuation, white space) yields no run. A line ends in a state
// that the next line starts from: inside a string, a bracketed or double-quoted name, or a
// block comment (block comments nest, as in T-SQL).

#include <QList>
#include <QStringView>

namespace orra {

// The classes, by the number of their colour in the settings.
enum SqlTokenClass : int {
    SqlNoClass = 0,
    SqlKeyword = 1,           // SELECT, FROM, BEGIN, ...
    SqlDataType = 2,          // int, varchar, datetime, ...
    SqlFunction = 3,          // COUNT, GETDATE, ISNULL, LEFT( ...
    SqlGlobalVariable = 4,    // @@ROWCOUNT, @@SPID, ...
    SqlLogicOperator = 5,     // AND, OR, NOT, IN, LIKE, BETWEEN, EXISTS, ...
    SqlString = 6,            // 'text', N'text'
    SqlNumber = 7,            // 12, 1.5, .5e-3, 0x1F
    SqlComment = 8,           // -- to the end of the line, /* nested */
    SqlSystemProcedure = 9,   // sp_..., xp_... and the system procedures without those prefixes
    SqlLocalName = 10,        // @variable, #temporary and ##global temporary tables
};

struct SqlToken {
    int start = 0;
    int length = 0;
    int cls = SqlNoClass;
    bool operator==(const SqlToken&) const = default;
};

// Line states: 0 plain; 1 in a string; 2 in a [name]; 3 in a "name"; 4 + d in a block comment
// nested d deep (d >= 1).
enum SqlLineState : int {
    SqlStatePlain = 0,
    SqlStateString = 1,
    SqlStateBracket = 2,
    SqlStateQuoted = 3,
    SqlStateComment = 4
};

// Appends the coloured runs of line (no line break in it) to tokens, starting in state; returns
// the state at its end.
int tokenizeSqlLine(QStringView line, int state, QList<SqlToken>& tokens);

// The class of a word standing alone (nextIsParen: an opening parenthesis follows it).
int classifySqlWord(QStringView word, bool nextIsParen);

}   // namespace orra
