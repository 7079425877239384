#include "criteria/StrFunctions.h"

#include "platform/host/Error.h"

namespace orra::criteria {

QStringList ExtractDelimited(const QString& text, const QString& startDelimiter, const QString& endDelimiter)
{
    QStringList result{QString()};
    qsizetype pos = 0;
    for (int i = 0;; ++i) {
        const qsizetype b = text.indexOf(startDelimiter, pos, Qt::CaseSensitive);
        if (b < 0) break;
        const qsizetype c = text.indexOf(endDelimiter, b, Qt::CaseSensitive);
        if (c < 0) {
            result.resize(1);
            break;
        }
        if (i == 32767) throw Error(kOverflow, QStringLiteral("mdStrFunctions"), QStringLiteral("Overflow"));
        const qsizetype from = b + startDelimiter.size();
        const QString piece = c > from ? text.mid(from, c - from) : QString();
        if (i == 0)
            result[0] = piece;
        else
            result.append(piece);
        pos = c;
    }
    return result;
}

QStringList SplitGrouped(const QString& text, QChar separator, QChar groupOpen, QChar groupClose)
{
    QStringList result;
    int depth = 0;
    QString current;
    const QString closed = text + separator;   // so that the last field is closed too
    for (const QChar ch : closed) {
        if (depth != 0) {
            if (ch == groupClose)
                --depth;
            else if (ch == groupOpen)
                ++depth;
            current += ch;
        } else if (ch == separator) {
            if (current.size() >= 2 && current.startsWith(groupOpen) && current.endsWith(groupClose))
                current = current.mid(1, current.size() - 2);
            result.append(current);
            current.clear();
        } else {
            if (ch == groupOpen)
                ++depth;
            else if (ch == groupClose)
                --depth;
            current += ch;
        }
    }
    return result;
}

}   // namespace orra::criteria
