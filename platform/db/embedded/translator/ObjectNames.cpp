#include "platform/db/embedded/translator/ObjectNames.h"

#include <QStringList>

namespace orra::embedded::translator {

ObjectName readObjectName(const std::vector<Token>& T, size_t i, size_t e)
{
    ObjectName n;
    QStringList parts;
    size_t k = i;
    // part (. part)*, a part may be empty between two dots (db..T) or at the start (..T)
    while (k < e && parts.size() < 3) {
        if (T[k].isName() && !T[k].text.startsWith(u'@')) {
            parts.append(T[k].text);
            ++k;
        } else if (T[k].isSymbol(".")) {
            parts.append(QString());
        } else {
            break;
        }
        if (k < e && T[k].isSymbol(".") && parts.size() < 3 && k + 1 < e && (T[k + 1].isName() || T[k + 1].isSymbol(".")))
            ++k;
        else
            break;
    }
    if (parts.isEmpty() || parts.last().isEmpty()) return {};
    n.parts = int(parts.size());
    n.end = k;
    n.object = parts.last();
    if (parts.size() >= 2) n.schema = parts[parts.size() - 2];
    if (parts.size() == 3) n.database = parts[0];
    return n;
}

bool isDefaultSchema(const QString& schema)
{
    return schema.isEmpty() || schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0;
}

QString storedName(const QString& schema, const QString& object)
{
    return isDefaultSchema(schema) ? object : schema + u'.' + object;
}

ObjectName parseObjectName(const QString& text)
{
    QStringList parts;
    QString part;
    const QString s = text.trimmed();
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'[' || c == u'"') {
            const QChar close = c == u'[' ? u']' : u'"';
            for (++i; i < s.size(); ++i) {
                if (s[i] == close) {
                    if (i + 1 < s.size() && s[i + 1] == close) {
                        part += close;
                        ++i;
                        continue;
                    }
                    break;
                }
                part += s[i];
            }
        } else if (c == u'.') {
            parts.append(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.append(part.trimmed());
    ObjectName n;
    if (parts.size() > 4 || parts.last().isEmpty()) return n;
    if (parts.size() == 4) parts.removeFirst();   // a server name: this server
    n.parts = int(parts.size());
    n.object = parts.last();
    if (parts.size() >= 2) n.schema = parts[parts.size() - 2].trimmed();
    if (parts.size() == 3) n.database = parts[0].trimmed();
    return n;
}

}   // namespace orra::embedded::translator
