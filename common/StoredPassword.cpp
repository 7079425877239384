#include "common/StoredPassword.h"

#include "platform/text/AnsiCodePage.h"
#include "platform/host/Error.h"

#include <QList>

namespace orra {
namespace {

// The key repeated (doubled) until it covers length characters, then cut to that length.
QString coveringKey(const QString& key, qsizetype length, const char* operation)
{
    if (length == 0) return QString();
    if (key.isEmpty())
        throw Error(kInvalidProcedureCall, QString::fromLatin1(operation),
            QStringLiteral("The key of the stored password is empty"));
    QString k = key;
    while (k.size() < length) k += k;
    k.truncate(length);
    return k;
}

[[noreturn]] void malformed()
{
    throw Error(kMalformedStoredPasswordError, QStringLiteral("DecodePassword"),
        QStringLiteral("The stored password is malformed"));
}

}   // namespace

QString ScramblePassword(const QString& password, const QString& key)
{
    const auto& cp = text::AnsiCodePage::system();
    const QString k = coveringKey(key, password.size(), "ScramblePassword");
    QString out;
    out.reserve(password.size() * 4);
    for (qsizetype i = 0; i < password.size(); ++i) {
        const int code = cp.toByte(password.at(i).unicode()) ^ cp.toByte(k.at(i).unicode());
        out += QString::number(code);
        out += QLatin1Char(';');
    }
    return out;
}

QString DecodePassword(const QString& stored, const QString& key)
{
    if (stored.isEmpty()) return QString();
    // Every number is one to three digits of 0..255, each ended by ';' (the last one included).
    QList<int> codes;
    int value = -1;
    for (const QChar ch : stored) {
        if (ch == QLatin1Char(';')) {
            if (value < 0) malformed();
            codes.append(value);
            value = -1;
        } else if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) {
            value = (value < 0 ? 0 : value * 10) + (ch.unicode() - '0');
            if (value > 255) malformed();
        } else {
            malformed();
        }
    }
    if (value >= 0) malformed();   // text after the last ';'

    const auto& cp = text::AnsiCodePage::system();
    const QString k = coveringKey(key, codes.size(), "DecodePassword");
    QString out;
    out.reserve(codes.size());
    for (qsizetype i = 0; i < codes.size(); ++i)
        out += QChar(cp.toChar(static_cast<uint8_t>(codes[i] ^ cp.toByte(k.at(i).unicode()))));
    return out;
}

}   // namespace orra
