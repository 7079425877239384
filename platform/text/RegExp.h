#pragma once
// VBScript-style regular expressions over QRegularExpression: pattern, ignore case, global,
// multiline; execute gives the matches with their first index (0-based, in UTF-16 units),
// length, value and submatches; replace understands $1..$99, $&, $`, $' and $$.
// An invalid pattern raises orra::Error 5017 ("Syntax error in regular expression").

#include <QList>
#include <QString>
#include <QStringList>

namespace orra {

struct RegExpMatch {
    int firstIndex = 0;
    int length = 0;
    QString value;
    QStringList subMatches;   // one per group, "" when the group did not take part
    QList<bool> subMatched;   // whether each group took part in the match
};

class RegExp {
public:
    QString pattern;
    bool ignoreCase = false;
    bool global = false;
    bool multiline = false;

    // All matches (global) or the first one.
    QList<RegExpMatch> execute(const QString& text) const;
    bool test(const QString& text) const;
    QString replace(const QString& text, const QString& replacement) const;
};

}   // namespace orra
