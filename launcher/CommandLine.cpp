#include "launcher/CommandLine.h"

#include "platform/text/AnsiCodePage.h"
#include "platform/host/Error.h"

#include <QStringList>

namespace orra::launcher {

namespace {

const QString kBadParameter = QStringLiteral("Hatalı parametre girişi");

// VB's Int: the greatest whole number not above x (floor, also for negatives).
long floorDiv(long a, long b)
{
    long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}   // namespace

QString DecodeOptionValue(QString& value)
{
    if (value.startsWith(QLatin1Char('#'))) return DecodeBitTransposed(value.mid(1));
    if (value.startsWith(QLatin1Char('\''))) {
        value.remove(0, 1);
        if (value.endsWith(QLatin1Char('\''))) value.chop(1);
        return value;
    }
    return value;
}

QString DecodeBitTransposed(const QString& text)
{
    // VB's Split of an empty text gives no elements at all.
    const QStringList numbers = text.isEmpty() ? QStringList() : text.split(QLatin1Char(';'));
    const long n = long(numbers.size()) - 1;
    const auto& cp = text::AnsiCodePage::system();
    QString out;
    for (long b = 0; b <= floorDiv(n - 1, 8); ++b) {
        for (int j = 1; j <= 8; ++j) {
            int code = 0;
            for (int k = 1; k <= 8; ++k) {
                const long index = b * 8 + k - 1;
                if (index > n) continue;   // a missing element contributes no bits
                bool ok = false;
                const double x = numbers[index].trimmed().toDouble(&ok);
                if (!ok) continue;
                const long long whole = static_cast<long long>(x);
                if ((whole >> (j - 1)) & 1) code += 1 << (k - 1);
            }
            if (code > 0) out.append(QChar(cp.toChar(static_cast<uint8_t>(code))));
        }
    }
    return out;
}

Options ParseCommandLine(const QString& commandLine, bool* debugSeen)
{
    Options o;
    if (debugSeen) *debugSeen = false;
    const QStringList pieces = CleanCommandLine(commandLine).split(QLatin1Char('/'));
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QString& piece = pieces[i];
        const qsizetype colon = piece.indexOf(QLatin1Char(':'));
        // VB's InStr is 1-based: a colon at the first character, or none, is a fault.
        if (colon < 1) throw Error(kSystemError, QStringLiteral("Dornel"), kBadParameter);
        const QString key = piece.left(colon).trimmed().toLower();
        QString raw = piece.mid(colon + 1).trimmed();
        const QString value = DecodeOptionValue(raw);
        if (key == QLatin1String("docid"))
            o.docid = value;
        else if (key == QLatin1String("schemaid"))
            o.schemaid = value;
        else if (key == QLatin1String("db"))
            o.db = value;
        else if (key == QLatin1String("server"))
            o.server = value;
        else if (key == QLatin1String("userid"))
            o.userid = value;
        else if (key == QLatin1String("pwd"))
            o.pwd = value;
        else if (key == QLatin1String("debug")) {
            if (value.toLower() == QLatin1String("on")) {
                o.debug = true;
                if (debugSeen) *debugSeen = true;
            }
        } else if (key == QLatin1String("returnrecordset")) {
            if (value.toLower() == QLatin1String("off")) o.exportReport = false;
        } else {
            throw Error(kSystemError, QStringLiteral("Dornel"), kBadParameter + QStringLiteral(" -- ") + key);
        }
    }
    if (o.server.isEmpty() || o.db.isEmpty() || o.docid.isEmpty())
        throw Error(kSystemError, QStringLiteral("Dornel"), kBadParameter);
    // The password of /userid: may come in the environment rather than on the command line,
    // which other accounts can read.
    if (!o.userid.isEmpty() && o.pwd.isEmpty()) o.pwd = qEnvironmentVariable(kPasswordVariable);
    if (!o.userid.isEmpty() && o.pwd.isEmpty()) throw Error(kSystemError, QStringLiteral("Dornel"), kBadParameter);
    return o;
}

}   // namespace orra::launcher

namespace orra::launcher {

QString UsageText()
{
    return QStringLiteral(
        "usage: dornel /server:SERVER /db:CATALOGUE /docid:ID|root\\CATEGORY\\…\\DOCUMENT\n"
        "              [/schemaid:N] [/userid:LOGIN /pwd:PASSWORD] [/debug:on] [/returnrecordset:off]\n"
        "Values may be quoted ('…') or given in the \"#\" form. Without /userid the operating-system\n"
        "user logs on; without /pwd the password of /userid is taken from ORRA_PASSWORD. The result\n"
        "table #Report is written to a workbook whose path is printed.\n"
        "Exit status: 0 finished; 1 other failure; 2 bad command line; 3 connection failed;\n"
        "4 run stopped by an error; 5 no such call schema; 6 run left paused at a station.\n");
}

}   // namespace orra::launcher
