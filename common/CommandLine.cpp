#include "common/CommandLine.h"

namespace orra {

QString CleanCommandLine(const QString& text)
{
    QString out = text;
    out.remove(QLatin1Char('\t'));
    out.remove(QStringLiteral("\r\n"));
    return out;
}

}   // namespace orra
