#include "tools/orrasql/OrraSql.h"

#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/Connection.h"
#include "platform/db/Decimal.h"
#include "platform/db/embedded/Server.h"
#include "platform/host/Error.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace orra::tools {

QString usage()
{
    return QStringLiteral(
        "usage: orrasql -S server -d database [-U login -P password | -E] (-Q \"text\" | -i file) [-s separator]\n"
        "       orrasql --create-server NAME [-U login -P password] [-d catalogue]\n"
        "  -S server        an embedded server (a folder under $ORRA_SERVERS)\n"
        "  -d database      the database to use (for --create-server: the catalogue's name, default catalogue)\n"
        "  -U login -P pwd  a SQL login; -E a trusted log-on as the operating-system user\n"
        "  -Q text          run the text and exit\n"
        "  -i file          run the file's batches (separated by lines holding GO; GO n runs the batch n times)\n"
        "  -s separator     print values separated by the text instead of aligned columns\n"
        "  --create-server  make a server with its master and mat databases and a catalogue\n");
}

QString parseArguments(const QStringList& args, SqlOptions& o)
{
    auto value = [&](qsizetype& i, const QString& flag, QString& target) -> QString {
        if (i + 1 >= args.size()) return QStringLiteral("the option %1 needs a value").arg(flag);
        target = args.at(++i);
        return QString();
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        QString e;
        if (a == u"-S")
            e = value(i, a, o.server);
        else if (a == u"-d")
            e = value(i, a, o.database);
        else if (a == u"-U")
            e = value(i, a, o.login);
        else if (a == u"-P")
            e = value(i, a, o.password);
        else if (a == u"-E")
            o.trusted = true;
        else if (a == u"-Q" || a == u"-q")
            e = value(i, a, o.query);
        else if (a == u"-i")
            e = value(i, a, o.inputFile);
        else if (a == u"-s") {
            e = value(i, a, o.separator);
            o.separated = true;
        } else if (a == u"--create-server")
            e = value(i, a, o.createServer);
        else if (a == u"-h" || a == u"-?" || a == u"--help")
            o.help = true;
        else
            e = QStringLiteral("unknown option '%1'").arg(a);
        if (!e.isEmpty()) return e;
    }
    if (o.help) return QString();
    if (o.trusted && !o.login.isEmpty()) return QStringLiteral("-E and -U cannot be used together");
    if (!o.createServer.isEmpty()) {
        if (!o.query.isEmpty() || !o.inputFile.isEmpty()) return QStringLiteral("--create-server runs no statements");
        return QString();
    }
    if (o.server.isEmpty()) return QStringLiteral("the server (-S) is required");
    if (o.query.isEmpty() == o.inputFile.isEmpty()) return QStringLiteral("give either -Q text or -i file");
    if (o.login.isEmpty()) o.trusted = true;
    return QString();
}

QList<ScriptBatch> splitBatches(const QString& script)
{
    // GO [count]: the batch before it runs count times (kept as a count, not as copies).
    static const QRegularExpression go(
        QStringLiteral("^[ \\t]*go(?:[ \\t]+(\\d+))?[ \\t]*$"), QRegularExpression::CaseInsensitiveOption);
    QList<ScriptBatch> batches;
    QString current;
    const QStringList lines = script.split(QRegularExpression(QStringLiteral("\\r?\\n")));
    for (const QString& line : lines) {
        if (const QRegularExpressionMatch m = go.match(line); m.hasMatch()) {
            const int count = m.captured(1).isEmpty() ? 1 : m.captured(1).toInt();
            if (!current.trimmed().isEmpty() && count > 0) batches << ScriptBatch{current, count};
            current.clear();
        } else {
            current += line;
            current += u'\n';
        }
    }
    if (!current.trimmed().isEmpty()) batches << ScriptBatch{current};
    return batches;
}

namespace {

// A time of day as the server writes its type: seconds, then as many fraction digits as the
// type's scale (the value holds milliseconds; finer digits are zeros).
QString timeText(const QTime& t, int scale)
{
    QString text = t.toString(QStringLiteral("HH:mm:ss"));
    if (scale > 0)
        text += u'.' + QStringLiteral("%1").arg(t.msec(), 3, 10, QLatin1Char('0')).leftJustified(scale, u'0', true);
    return text;
}

QString cell(const QVariant& v, const db::FieldInfo& field)
{
    const db::DataType type = field.type;
    if (!v.isValid() || v.isNull()) return QStringLiteral("NULL");
    if (type == db::DataType::Boolean) return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (v.typeId() == QMetaType::QByteArray)
        return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex().toUpper());
    // dates and times in their type's own text: smalldatetime to the second, datetime to the
    // millisecond, time(n) and datetime2(n) with n digits
    // (milliseconds where the field tells no precision)
    const int scale = field.precision > 0 ? field.numericScale : 3;
    if (v.typeId() == QMetaType::QTime) return timeText(v.toTime(), scale);
    if (v.typeId() == QMetaType::QDate) return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (v.typeId() == QMetaType::QDateTime) {
        const QDateTime at = v.toDateTime();
        return at.date().toString(QStringLiteral("yyyy-MM-dd ")) + timeText(at.time(), scale);
    }
    // money with its four decimals and a decimal with its scale, as sqlcmd shows them
    if (const auto d = db::decimalOf(v)) return d->toString();
    return db::Recordset::valueText(v, type);
}

void printSet(db::Recordset& rs, const SqlOptions& o, QTextStream& out)
{
    const int n = rs.fieldCount();
    QList<QStringList> rows;
    for (; !rs.isEOF(); rs.MoveNext()) {
        QStringList row;
        for (int c = 0; c < n; ++c) row << cell(rs.value(c), rs.field(c));
        rows << row;
    }
    QStringList header;
    for (int c = 0; c < n; ++c) header << rs.field(c).name;
    if (o.separated) {
        out << header.join(o.separator) << '\n';
        for (const QStringList& r : std::as_const(rows)) out << r.join(o.separator) << '\n';
    } else {
        QList<int> width;
        for (int c = 0; c < n; ++c) {
            int w = int(header.at(c).size());
            for (const QStringList& r : std::as_const(rows)) w = std::max(w, int(r.at(c).size()));
            width << w;
        }
        auto line = [&](const QStringList& r) {
            QStringList cells;
            for (int c = 0; c < n; ++c) cells << (c + 1 < n ? r.at(c).leftJustified(width.at(c), u' ') : r.at(c));
            out << cells.join(u' ') << '\n';
        };
        line(header);
        QStringList dashes;
        for (int c = 0; c < n; ++c) dashes << QString(width.at(c), u'-');
        out << dashes.join(u' ') << '\n';
        for (const QStringList& r : std::as_const(rows)) line(r);
    }
    out << '\n';
    if (rs.current() && rs.current()->countShown)
        out << QStringLiteral("(%1 row%2 affected)").arg(rows.size()).arg(rows.size() == 1 ? "" : "s") << "\n\n";
}

void printErrors(const db::Connection& c, const orra::Error& e, QTextStream& err)
{
    bool any = false;
    // In the order the batch gave them: a message before the error of the statement after it;
    // an error of no known place ended the batch, after its messages.
    QList<db::ProviderError> entries = c.errors();
    const auto place = [](const db::ProviderError& p) {
        return p.resultSet >= 0 ? p.resultSet : p.number == 0 ? -1 : std::numeric_limits<int>::max();
    };
    std::stable_sort(entries.begin(), entries.end(),
        [&](const db::ProviderError& a, const db::ProviderError& b) { return place(a) < place(b); });
    for (const db::ProviderError& p : std::as_const(entries)) {
        if (p.number == 0) {   // the batch's messages before its error
            err << p.description << '\n';
            continue;
        }
        err << QStringLiteral("Msg %1, SQL state %2: %3").arg(p.nativeError).arg(p.sqlState, p.description) << '\n';
        any = true;
    }
    if (!any) err << e.description() << '\n';
}

int runBatch(db::Connection& c, const QString& text, const SqlOptions& o, QTextStream& out, QTextStream& err)
{
    try {
        db::RecordsetPtr rs = c.execute(text);
        // The batch's messages, each in its place among the result sets, as sqlcmd shows them.
        const QList<db::ProviderError> messages = c.errors();
        qsizetype shown = 0;
        auto messagesBefore = [&](int set) {
            out.flush();
            for (; shown < messages.size() && messages.at(shown).resultSet <= set; ++shown)
                if (messages.at(shown).number == 0) err << messages.at(shown).description << '\n';
            err.flush();
        };
        bool more = true;
        int status = 0;
        int set = 0;
        while (rs && more) {
            messagesBefore(set);
            if (rs->isOpen())
                printSet(*rs, o, out);
            else if (rs->recordsAffected() >= 0)
                out << QStringLiteral("(%1 row%2 affected)")
                           .arg(rs->recordsAffected())
                           .arg(rs->recordsAffected() == 1 ? "" : "s")
                    << "\n\n";
            ++set;
            try {
                more = rs->NextRecordset();
            } catch (const orra::Error& e) {
                // A statement that failed: the batch went on after it, or ended there.
                messagesBefore(set);
                err << QStringLiteral("Msg %1: %2").arg(-e.number()).arg(e.description()) << '\n';
                status = 1;
            }
        }
        messagesBefore(std::numeric_limits<int>::max());
        return status;
    } catch (const orra::Error& e) {
        printErrors(c, e, err);
        return 1;
    }
}

}   // namespace

int runOrraSql(const SqlOptions& o, QTextStream& out, QTextStream& err)
{
    if (o.help) {
        out << usage();
        return 0;
    }
    if (!o.createServer.isEmpty()) {
        const QString catalogue = o.database.isEmpty() ? QStringLiteral("catalogue") : o.database;
        try {
            // One step: the server appears whole, with its catalogue, or not at all.
            catalogue::createEmbeddedServer(o.createServer, o.trusted ? QString() : o.login, o.password, catalogue);
        } catch (const orra::Error& e) {
            err << e.description() << '\n';
            return 1;
        }
        err << QStringLiteral("Server '%1' made in %2 with the databases master, mat and %3.")
                   .arg(o.createServer, embedded::serverFolder(o.createServer), catalogue)
            << '\n';
        return 0;
    }
    QList<ScriptBatch> batches;
    if (!o.query.isEmpty()) {
        batches << ScriptBatch{o.query};
    } else {
        QFile f(o.inputFile);
        if (!f.open(QIODevice::ReadOnly)) {
            err << QStringLiteral("Cannot read the file '%1'.").arg(o.inputFile) << '\n';
            return 1;
        }
        batches = splitBatches(QString::fromUtf8(f.readAll()));
    }
    if (!embedded::isEmbeddedServer(o.server)) {
        err << QStringLiteral("The server '%1' does not exist under %2.").arg(o.server, embedded::serversRoot())
            << '\n';
        return 1;
    }
    db::Connection c;
    try {
        c.open(embedded::connectionText(o.server, o.database.isEmpty() ? QStringLiteral("master") : o.database,
            o.trusted ? QString() : o.login, o.password));
    } catch (const orra::Error& e) {
        printErrors(c, e, err);
        return 1;
    }
    int status = 0;
    for (const ScriptBatch& b : std::as_const(batches))
        for (int i = 0; i < b.count; ++i) {
            status |= runBatch(c, b.text, o, out, err);
            // what a batch printed shows before the next one runs, as sqlcmd shows it
            out.flush();
            err.flush();
        }
    out.flush();
    err.flush();
    return status;
}

}   // namespace orra::tools
