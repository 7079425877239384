#include "platform/widgets/SqlTokenizer.h"

#include <QHash>
#include <QString>

namespace orra {

namespace {

const char* const kKeywords[] = {"ADD", "ALTER", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN", "BREAK", "BROWSE",
    "BULK", "BY", "CASCADE", "CASE", "CATCH", "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED", "COLLATE", "COLUMN",
    "COMMIT", "COMPUTE", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE", "CONTINUE", "CREATE", "CROSS", "CURRENT", "CURSOR",
    "DATABASE", "DBCC", "DEALLOCATE", "DECLARE", "DEFAULT", "DELETE", "DENY", "DESC", "DISK", "DISTINCT", "DISTRIBUTED",
    "DROP", "DUMP", "ELSE", "END", "ERRLVL", "ESCAPE", "EXCEPT", "EXEC", "EXECUTE", "EXIT", "EXTERNAL", "FETCH", "FILE",
    "FILLFACTOR", "FOR", "FOREIGN", "FREETEXT", "FROM", "FULL", "FUNCTION", "GO", "GOTO", "GRANT", "GROUP", "HAVING",
    "HOLDLOCK", "IDENTITY", "IDENTITY_INSERT", "IDENTITYCOL", "IF", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO",
    "JOIN", "KEY", "KILL", "LEFT", "LINENO", "LOAD", "MERGE", "NATIONAL", "NEXT", "NOCHECK", "NOCOUNT", "NOLOCK",
    "NONCLUSTERED", "NULL", "OF", "OFF", "OFFSETS", "ON", "OPEN", "OPENQUERY", "OPENROWSET", "OPTION", "ORDER", "OUTER",
    "OUTPUT", "OVER", "PARTITION", "PERCENT", "PIVOT", "PLAN", "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC",
    "RAISERROR", "READ", "READTEXT", "RECONFIGURE", "REFERENCES", "REPLICATION", "RESTORE", "RESTRICT", "RETURN",
    "RETURNS", "REVERT", "REVOKE", "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE", "SCHEMA", "SELECT",
    "SET", "SETUSER", "SHUTDOWN", "STATISTICS", "TABLE", "TABLESAMPLE", "TEXTSIZE", "THEN", "THROW", "TO", "TOP",
    "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE", "TRY", "UNION", "UNIQUE", "UNPIVOT", "UPDATE", "UPDATETEXT", "USE",
    "VALUES", "VARYING", "VIEW", "WAITFOR", "WHEN", "WHERE", "WHILE", "WITH", "WRITETEXT"};

const char* const kDataTypes[] = {"BIGINT", "BINARY", "BIT", "CHAR", "DATE", "DATETIME", "DATETIME2", "DATETIMEOFFSET",
    "DECIMAL", "FLOAT", "GEOGRAPHY", "GEOMETRY", "HIERARCHYID", "IMAGE", "INT", "INTEGER", "MONEY", "NCHAR", "NTEXT",
    "NUMERIC", "NVARCHAR", "REAL", "ROWVERSION", "SMALLDATETIME", "SMALLINT", "SMALLMONEY", "SQL_VARIANT", "SYSNAME",
    "TEXT", "TIME", "TIMESTAMP", "TINYINT", "UNIQUEIDENTIFIER", "VARBINARY", "VARCHAR", "XML"};

const char* const kFunctions[] = {"ABS", "ACOS", "APP_NAME", "ASCII", "ASIN", "ATAN", "ATN2", "AVG", "CAST", "CEILING",
    "CHARINDEX", "CHECKSUM", "CHOOSE", "COALESCE", "COL_LENGTH", "COL_NAME", "CONCAT", "CONVERT", "COS", "COT", "COUNT",
    "COUNT_BIG", "CURRENT_TIMESTAMP", "CURRENT_USER", "DATALENGTH", "DATEADD", "DATEDIFF", "DATENAME", "DATEPART",
    "DAY", "DB_ID", "DB_NAME", "DEGREES", "DENSE_RANK", "DIFFERENCE", "ERROR_LINE", "ERROR_MESSAGE", "ERROR_NUMBER",
    "ERROR_PROCEDURE", "ERROR_SEVERITY", "ERROR_STATE", "EXP", "FLOOR", "FORMAT", "GETDATE", "GETUTCDATE", "GROUPING",
    "HOST_NAME", "IDENT_CURRENT", "IIF", "ISDATE", "ISNULL", "ISNUMERIC", "LEN", "LOG", "LOG10", "LOWER", "LTRIM",
    "MAX", "MIN", "MONTH", "NEWID", "NTILE", "NULLIF", "OBJECT_ID", "OBJECT_NAME", "PATINDEX", "PI", "POWER",
    "QUOTENAME", "RADIANS", "RAND", "RANK", "REPLACE", "REPLICATE", "REVERSE", "ROUND", "ROW_NUMBER", "RTRIM",
    "SCOPE_IDENTITY", "SESSION_USER", "SIGN", "SIN", "SOUNDEX", "SPACE", "SQRT", "SQUARE", "STDEV", "STR", "STUFF",
    "SUBSTRING", "SUM", "SUSER_NAME", "SUSER_SNAME", "SYSTEM_USER", "TAN", "TRY_CAST", "TRY_CONVERT", "UNICODE",
    "UPPER", "USER_ID", "USER_NAME", "VAR", "YEAR",
    // Functions that are also keywords: functions when a parenthesis follows.
    "LEFT", "RIGHT"};

const char* const kLogicOperators[] = {
    "ALL", "AND", "ANY", "BETWEEN", "EXISTS", "IN", "IS", "LIKE", "NOT", "OR", "SOME"};

// System procedures named without the sp_ / xp_ prefix are rare; the prefixes carry the class.
const char* const kSystemProcedures[] = {"SP_EXECUTESQL"};

struct WordTable {
    QHash<QString, int> words;        // class of a word standing alone
    QHash<QString, bool> functions;   // functions (also those shadowed by a keyword)
    WordTable()
    {
        for (const char* w : kFunctions) {
            functions.insert(QString::fromLatin1(w), true);
            words.insert(QString::fromLatin1(w), SqlFunction);
        }
        for (const char* w : kKeywords) words.insert(QString::fromLatin1(w), SqlKeyword);
        for (const char* w : kLogicOperators) words.insert(QString::fromLatin1(w), SqlLogicOperator);
        for (const char* w : kDataTypes) words.insert(QString::fromLatin1(w), SqlDataType);
        for (const char* w : kSystemProcedures) words.insert(QString::fromLatin1(w), SqlSystemProcedure);
    }
};

const WordTable& table()
{
    static const WordTable t;
    return t;
}

bool isWordStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isHexDigit(QChar c) { return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

// Runs to the end of a quoted run closed by close (doubled close is an escaped one). Returns
// the index after the closing character, or -1 when the line ends inside it.
int quotedEnd(QStringView line, int from, QChar close)
{
    int i = from;
    while (i < line.size()) {
        if (line[i] == close) {
            if (i + 1 < line.size() && line[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return -1;
}

// Continues a block comment nested depth deep from index i; returns the index after the
// comment's end and sets depth to 0, or returns line.size() with depth still open.
int commentEnd(QStringView line, int i, int& depth)
{
    while (i < line.size()) {
        if (line[i] == u'/' && i + 1 < line.size() && line[i + 1] == u'*') {
            ++depth;
            i += 2;
        } else if (line[i] == u'*' && i + 1 < line.size() && line[i + 1] == u'/') {
            i += 2;
            if (--depth == 0) return i;
        } else {
            ++i;
        }
    }
    return i;
}

void add(QList<SqlToken>& tokens, int start, int end, int cls)
{
    if (end > start && cls != SqlNoClass) tokens.append({start, end - start, cls});
}

}   // namespace

int classifySqlWord(QStringView word, bool nextIsParen)
{
    if (word.startsWith(u"@@")) return SqlGlobalVariable;
    if (word.startsWith(u'@') || word.startsWith(u'#')) return SqlLocalName;
    const QString upper = word.toString().toUpper();
    if (upper.startsWith(QLatin1String("SP_")) || upper.startsWith(QLatin1String("XP_"))) return SqlSystemProcedure;
    const WordTable& t = table();
    if (nextIsParen && t.functions.contains(upper)) {
        // A data type keeps its class: char(10) in a declaration is a type.
        const int cls = t.words.value(upper, SqlNoClass);
        return cls == SqlDataType ? SqlDataType : SqlFunction;
    }
    return t.words.value(upper, SqlNoClass);
}

int tokenizeSqlLine(QStringView line, int state, QList<SqlToken>& tokens)
{
    const int n = int(line.size());
    int i = 0;
    // Continue what the previous line left open.
    if (state == SqlStateString || state == SqlStateBracket || state == SqlStateQuoted) {
        const QChar close = state == SqlStateString ? u'\'' : state == SqlStateBracket ? u']' : u'"';
        const int end = quotedEnd(line, 0, close);
        if (state == SqlStateString) add(tokens, 0, end < 0 ? n : end, SqlString);
        if (end < 0) return state;
        i = end;
    } else if (state >= SqlStateComment) {
        int depth = state - SqlStateComment;
        const int end = commentEnd(line, 0, depth);
        add(tokens, 0, end, SqlComment);
        if (depth > 0) return SqlStateComment + depth;
        i = end;
    }

    while (i < n) {
        const QChar c = line[i];
        if (c == u'-' && i + 1 < n && line[i + 1] == u'-') {
            add(tokens, i, n, SqlComment);
            return SqlStatePlain;
        }
        if (c == u'/' && i + 1 < n && line[i + 1] == u'*') {
            int depth = 1;
            const int end = commentEnd(line, i + 2, depth);
            add(tokens, i, end, SqlComment);
            if (depth > 0) return SqlStateComment + depth;
            i = end;
            continue;
        }
        const bool national =
            (c == u'N' || c == u'n') && i + 1 < n && line[i + 1] == u'\'' && (i == 0 || !isWordChar(line[i - 1]));
        if (c == u'\'' || national) {
            const int open = national ? i + 1 : i;
            const int end = quotedEnd(line, open + 1, u'\'');
            add(tokens, i, end < 0 ? n : end, SqlString);
            if (end < 0) return SqlStateString;
            i = end;
            continue;
        }
        if (c == u'[' || c == u'"') {
            const int end = quotedEnd(line, i + 1, c == u'[' ? u']' : u'"');
            if (end < 0) return c == u'[' ? SqlStateBracket : SqlStateQuoted;
            i = end;
            continue;
        }
        if (isDigit(c) || (c == u'.' && i + 1 < n && isDigit(line[i + 1]))) {
            int j = i;
            if (c == u'0' && j + 1 < n && (line[j + 1] == u'x' || line[j + 1] == u'X')) {
                j += 2;
                while (j < n && isHexDigit(line[j])) ++j;
            } else {
                while (j < n && isDigit(line[j])) ++j;
                if (j < n && line[j] == u'.') {
                    ++j;
                    while (j < n && isDigit(line[j])) ++j;
                }
                if (j < n && (line[j] == u'e' || line[j] == u'E')) {
                    int k = j + 1;
                    if (k < n && (line[k] == u'+' || line[k] == u'-')) ++k;
                    if (k < n && isDigit(line[k])) {
                        while (k < n && isDigit(line[k])) ++k;
                        j = k;
                    }
                }
            }
            // Digits that run into letters are part of a name (1st, 2x): no number.
            if (j < n && isWordStart(line[j])) {
                while (j < n && isWordChar(line[j])) ++j;
            } else {
                add(tokens, i, j, SqlNumber);
            }
            i = j;
            continue;
        }
        if (isWordStart(c) || c == u'@' || c == u'#') {
            int j = i + 1;
            while (j < n && isWordChar(line[j])) ++j;
            int k = j;
            while (k < n && (line[k] == u' ' || line[k] == u'\t')) ++k;
            const bool paren = k < n && line[k] == u'(';
            // A name after a dot is a member (t.Count, dbo.Total): no class of its own, except a
            // system procedure (master.dbo.sp_who).
            const bool qualified = i > 0 && line[i - 1] == u'.';
            const QStringView word = line.mid(i, j - i);
            if (!(word.size() == 1 && (c == u'@' || c == u'#'))) {
                const int cls = classifySqlWord(word, paren);
                if (!qualified || cls == SqlSystemProcedure) add(tokens, i, j, cls);
            }
            i = j;
            continue;
        }
        ++i;
    }
    return SqlStatePlain;
}

}   // namespace orra
