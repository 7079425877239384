#include "platform/db/embedded/translator/SqliteNames.h"

#include <QSet>

namespace orra::embedded::translator {

bool isSqliteOwnTable(const Token& t)
{
    if (!t.isName()) return false;
    return t.text.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive)
        || t.text.startsWith(QLatin1String("pragma_"), Qt::CaseInsensitive)
        || t.text.compare(QLatin1String("json_each"), Qt::CaseInsensitive) == 0
        || t.text.compare(QLatin1String("json_tree"), Qt::CaseInsensitive) == 0;
}

bool isSqliteOnlyFunction(const Token& t)
{
    if (t.kind != TokenKind::Word) return false;
    static const QSet<QString> names{QStringLiteral("typeof"), QStringLiteral("randomblob"), QStringLiteral("zeroblob"),
        QStringLiteral("hex"), QStringLiteral("unhex"), QStringLiteral("quote"), QStringLiteral("printf"),
        QStringLiteral("instr"), QStringLiteral("glob"), QStringLiteral("likelihood"), QStringLiteral("likely"),
        QStringLiteral("unlikely"), QStringLiteral("substr"), QStringLiteral("ifnull"), QStringLiteral("total"),
        QStringLiteral("group_concat"), QStringLiteral("julianday"), QStringLiteral("strftime"),
        QStringLiteral("unixepoch"), QStringLiteral("timediff"), QStringLiteral("random"), QStringLiteral("changes"),
        QStringLiteral("last_insert_rowid"), QStringLiteral("total_changes"), QStringLiteral("load_extension"),
        QStringLiteral("length"), QStringLiteral("octet_length"), QStringLiteral("ceil"), QStringLiteral("ln"),
        QStringLiteral("log2"), QStringLiteral("mod"), QStringLiteral("trunc"), QStringLiteral("pow"),
        QStringLiteral("atan2"), QStringLiteral("acosh"), QStringLiteral("asinh"), QStringLiteral("atanh"),
        QStringLiteral("cosh"), QStringLiteral("sinh"), QStringLiteral("tanh"), QStringLiteral("match"),
        QStringLiteral("highlight"), QStringLiteral("snippet"), QStringLiteral("bm25")};
    const QString lower = t.text.toLower();
    return names.contains(lower) || lower.startsWith(QLatin1String("sqlite_"))
        || lower.startsWith(QLatin1String("orra_")) || lower.startsWith(QLatin1String("json"));
}

}   // namespace orra::embedded::translator
