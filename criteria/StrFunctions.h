#pragma once
// The two text functions of the criteria control's template path: pulling the pieces between
// two delimiters out of a text, and splitting a piece into fields where braces group a field
// that holds the separator itself.

#include <QChar>
#include <QString>
#include <QStringList>

namespace orra::criteria {

// The texts between each startDelimiter and the next endDelimiter, searched case-sensitively,
// in order. Always at least one element: a text without delimiters gives {""}. A start
// without its end drops everything found and gives only the first piece (or "" when none was
// complete). More than 32,767 pieces is an overflow (orra::Error 6).
QStringList ExtractDelimited(const QString& text, const QString& startDelimiter, const QString& endDelimiter);

// Fields of text separated by separator. A groupOpen … groupClose run (nesting allowed) keeps
// its separators; a field that starts with groupOpen and ends with groupClose loses that outer
// pair. Fields are not trimmed; a field still open at the end (unbalanced) is dropped.
QStringList SplitGrouped(
    const QString& text, QChar separator, QChar groupOpen = QLatin1Char('{'), QChar groupClose = QLatin1Char('}'));

}   // namespace orra::criteria
