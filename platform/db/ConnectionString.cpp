#include "platform/db/ConnectionString.h"

namespace orra::db {

ConnectionString ConnectionString::parse(const QString& text)
{
    ConnectionString cs;
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        // key: up to '='; a ';' before any '=' ends an entry without value
        int keyStart = i;
        while (i < n && text[i] != u'=' && text[i] != u';') ++i;
        QString key = text.mid(keyStart, i - keyStart).trimmed();
        if (i >= n || text[i] == u';') {
            ++i;
            if (!key.isEmpty()) cs.m_items.append({key, QString()});
            continue;
        }
        ++i;   // '='
        while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
        QString value;
        // a braced or quoted value: up to its closing mark, which doubled stands for itself
        const auto enclosed = [&](QChar close) {
            for (++i; i < n;) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (i < n && text[i] != u';') ++i;
        };
        if (i < n && text[i] == u'{') {
            enclosed(u'}');
        } else if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            enclosed(text[i]);
        } else {
            int valueStart = i;
            while (i < n && text[i] != u';') ++i;
            value = text.mid(valueStart, i - valueStart).trimmed();
        }
        ++i;   // ';'
        if (key.isEmpty()) continue;
        // a repeated key: the last one wins, keeping the first position
        bool replaced = false;
        for (auto& item : cs.m_items) {
            if (item.first.compare(key, Qt::CaseInsensitive) == 0) {
                item.second = value;
                replaced = true;
                break;
            }
        }
        if (!replaced) cs.m_items.append({key, value});
    }
    return cs;
}

bool ConnectionString::contains(const QString& key) const
{
    for (const auto& item : m_items)
        if (item.first.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString ConnectionString::value(const QString& key, const QString& fallback) const
{
    for (const auto& item : m_items)
        if (item.first.compare(key, Qt::CaseInsensitive) == 0) return item.second;
    return fallback;
}

QString ConnectionString::valueOf(std::initializer_list<const char*> synonyms, const QString& fallback) const
{
    for (const char* key : synonyms) {
        const QString k = QString::fromLatin1(key);
        if (contains(k)) return value(k);
    }
    return fallback;
}

void ConnectionString::set(const QString& key, const QString& value)
{
    for (auto& item : m_items) {
        if (item.first.compare(key, Qt::CaseInsensitive) == 0) {
            item.second = value;
            return;
        }
    }
    m_items.append({key, value});
}

void ConnectionString::remove(const QString& key)
{
    m_items.removeIf(
        [&](const QPair<QString, QString>& item) { return item.first.compare(key, Qt::CaseInsensitive) == 0; });
}

QString ConnectionString::quoteValue(const QString& value)
{
    bool needs = value.contains(u';') || value.contains(u'{') || value.contains(u'}') || value.contains(u'=')
        || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needs) return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + escaped + u'}';
}

QString ConnectionString::toString() const
{
    QString out;
    for (const auto& item : m_items) {
        out += item.first;
        out += u'=';
        out += quoteValue(item.second);
        out += u';';
    }
    return out;
}

namespace {

constexpr const char* kServerKeys[] = {"Server", "Data Source", "Address", "Addr", "Network Address"};

}   // namespace

QString ConnectionString::serverKey() const
{
    for (const char* key : kServerKeys)
        if (contains(QLatin1String(key))) return QLatin1String(key);
    return QString();
}

QString ConnectionString::server() const
{
    const QString key = serverKey();
    return key.isEmpty() ? QString() : value(key).trimmed();
}

bool ConnectionString::isServerKey(const QString& key)
{
    for (const char* k : kServerKeys)
        if (key.compare(QLatin1String(k), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool ConnectionString::isPath(const QString& value)
{
    const QString v = value.trimmed();
    const bool drive = v.size() >= 3 && v[0].isLetter() && v[1] == u':' && (v[2] == u'\\' || v[2] == u'/');
    return v.contains(u'/') || v.startsWith(u'~') || v.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
        || drive;
}

bool ConnectionString::trusted() const
{
    const QString t = value(QStringLiteral("Trusted_Connection")).trimmed();
    if (t.compare(u"yes", Qt::CaseInsensitive) == 0 || t.compare(u"true", Qt::CaseInsensitive) == 0) return true;
    const QString i = value(QStringLiteral("Integrated Security")).trimmed();
    return i.compare(u"SSPI", Qt::CaseInsensitive) == 0 || i.compare(u"true", Qt::CaseInsensitive) == 0
        || i.compare(u"yes", Qt::CaseInsensitive) == 0;
}

}   // namespace orra::db
