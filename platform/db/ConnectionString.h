#pragma once
// Parsing of connection texts "Key=Value;Key={Value};…". Keys are case-insensitive; values
// in braces may hold ';'. Keys that meant something only to the Windows provider
// (Persist Security Info, OLE DB Services, Provider, …) are kept but ignored by the backends.

#include <QList>
#include <QPair>
#include <QString>

namespace orra::db {

class ConnectionString {
public:
    ConnectionString() = default;
    static ConnectionString parse(const QString& text);

    bool contains(const QString& key) const;
    // The value of the first of the given synonyms that is present ("UID", "User ID").
    QString value(const QString& key, const QString& fallback = QString()) const;
    QString valueOf(std::initializer_list<const char*> synonyms, const QString& fallback = QString()) const;
    void set(const QString& key, const QString& value);
    void remove(const QString& key);

    // Back to text; values that need it are quoted with braces so that ';' cannot split them.
    QString toString() const;
    static QString quoteValue(const QString& value);

    const QList<QPair<QString, QString>>& items() const { return m_items; }

    // "Trusted_Connection=Yes" or "Integrated Security=SSPI".
    bool trusted() const;

    // The server the text names: the value of the first of "Server", "Data Source", "Address",
    // "Addr" and "Network Address" that it holds (the keys ADO's providers take for it); empty
    // when it names none. serverKey() is that key as spelled here.
    QString server() const;
    QString serverKey() const;
    static bool isServerKey(const QString& key);
    // A value that names a file, not a server: it holds "/", or begins with "~", "file:" or a
    // drive ("C:\", "C:/"). "host\instance", "." and "(local)" are servers.
    static bool isPath(const QString& value);

private:
    QList<QPair<QString, QString>> m_items;
};

}   // namespace orra::db
