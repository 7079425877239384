#include "common/CommandLine.h"

#include "platform/text/AnsiCodePage.h"

namespace orra {

QString CleanCommandLine(const QString& text)
{
    QString out = text;
    out.remove(QLatin1Char('\t'));
    out.remove(QStringLiteral("\r\n"));
    return out;
}

QString EncodeOptionValue(const QString& value)
{
    const bool plain = !value.contains(QLatin1Char('/')) && !value.contains(QLatin1Char('\t'))
        && !value.contains(QStringLiteral("\r\n")) && value.trimmed() == value && !value.startsWith(QLatin1Char('#'))
        && !value.startsWith(QLatin1Char('\''));
    if (plain) return value;
    // DecodeBitTransposed backwards: number k of a block holds bit k-1 of its eight characters.
    const auto& cp = text::AnsiCodePage::system();
    QString out = QStringLiteral("#");
    for (qsizetype b = 0; b < value.size(); b += 8) {
        for (int k = 0; k < 8; ++k) {
            int n = 0;
            for (int j = 0; j < 8 && b + j < value.size(); ++j)
                n |= ((cp.toByte(value.at(b + j).unicode()) >> k) & 1) << j;
            out += QString::number(n) + QLatin1Char(';');
        }
    }
    return out;
}

}   // namespace orra
