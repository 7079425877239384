#pragma once
// Text in and out of the server's SQLite functions: an argument's text (embedded NULs kept, NULL
// as the empty text), a text result, and an error that fails the statement with its message.

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

namespace orra::embedded {

inline QString textOf(sqlite3_value* v)
{
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return t ? QString::fromUtf8(t, sqlite3_value_bytes(v)) : QString();
}

inline void resultText(sqlite3_context* ctx, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

inline void resultError(sqlite3_context* ctx, const QString& message)
{
    const QByteArray utf8 = message.toUtf8();
    sqlite3_result_error(ctx, utf8.constData(), int(utf8.size()));
}

}   // namespace orra::embedded
