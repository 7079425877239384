#include "platform/db/embedded/BatchErrors.h"

#include <QRegularExpression>

namespace orra::embedded {

namespace {

// The last part of a name SQLite reports ("main.T", "temp.#T", "t.C").
QString lastPart(QString name)
{
    name = name.trimmed();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) name = name.mid(dot + 1);
    if (name.startsWith(u'"') && name.endsWith(u'"') && name.size() >= 2) name = name.mid(1, name.size() - 2);
    return name;
}

void set(db::ProviderError& e, long number, const QString& text, const char* state = "42000")
{
    e.nativeError = number;
    e.number = -number;
    e.description = text;
    e.sqlState = QString::fromLatin1(state);
}

}   // namespace

void toServerError(db::ProviderError& e)
{
    const QString& m = e.description;
    static const QRegularExpression syntax(QStringLiteral("^near \"(.*)\": syntax error$"));
    static const QRegularExpression valuesCount(
        QStringLiteral("^(table \\S+ has \\d+ columns but \\d+ values were supplied|\\d+ values for \\d+ columns)$"));
    if (m.startsWith(QLatin1String("no such table: ")))
        set(e, 208, QStringLiteral("Invalid object name '%1'.").arg(lastPart(m.mid(15))), "42S02");
    else if (m.startsWith(QLatin1String("no such column: ")))
        set(e, 207, QStringLiteral("Invalid column name '%1'.").arg(lastPart(m.mid(16))), "42S22");
    else if (m.startsWith(QLatin1String("ambiguous column name: ")))
        set(e, 209, QStringLiteral("Ambiguous column name '%1'.").arg(lastPart(m.mid(23))));
    else if (const QRegularExpressionMatch s = syntax.match(m); s.hasMatch())
        set(e, 102, QStringLiteral("Incorrect syntax near '%1'.").arg(s.captured(1)));
    else if (valuesCount.match(m).hasMatch())
        set(e, 213, QStringLiteral("Column name or number of supplied values does not match table definition."),
            "21S01");
    else if (m == u"incomplete input")
        set(e, 102, QStringLiteral("Incorrect syntax near the end of the statement."));
    else if (m.startsWith(QLatin1String("Maximum stored procedure, function, trigger, or view nesting level exceeded")))
        set(e, 217, m);
    else if (m.startsWith(QLatin1String("The MERGE statement attempted to UPDATE or DELETE the same row")))
        set(e, 8672, m);
    else if (m == u"Divide by zero error encountered.")
        set(e, 8134, m, "22012");
    else if (m.startsWith(QLatin1String("Conversion failed when converting date and/or time")))
        set(e, 241, m, "22007");
    else if (m.startsWith(QLatin1String("Conversion failed when converting the ")))
        set(e, 245, m, "22018");
    else if (m.startsWith(QLatin1String("Error converting data type ")))
        set(e, 8114, m, "22018");
    else if (m.startsWith(QLatin1String("Arithmetic overflow error")))
        set(e, 8115, m, "22003");
    else if (m == u"Invalid length parameter passed to the LEFT or SUBSTRING function.")
        set(e, 537, m);
    else if (m.startsWith(QLatin1String("Invalid length parameter passed to the ")))
        set(e, 536, m);
    else if (m.startsWith(QLatin1String("The second and third arguments of the TRANSLATE built-in function")))
        set(e, 9828, m);
    else if (m.startsWith(QLatin1String("The culture parameter '")))
        set(e, 9818, m);
    else if (m.startsWith(QLatin1String("Error converting string value '")))
        set(e, 9819, m);
}

int severityOf(long number)
{
    switch (number) {
    case 2627:
    case 2601:
        return 14;
    case 102:
        return 15;
    default:
        return 16;
    }
}

bool endsOnlyTheStatement(long number)
{
    switch (number) {
    case 8134:   // divide by zero
    case 515:    // NULL into a column that takes none
    case 547:    // constraint conflict
    case 2601:   // duplicate key in a unique index
    case 2627:   // duplicate primary or unique key
    case 8152:   // data would be truncated
    case 536:    // a negative length for RIGHT and the like
    case 537:    // a negative length for LEFT or SUBSTRING
    case 544:    // an identity value written without identity_insert
    case 545:    // identity_insert on and no identity value
    case 8101:   // identity_insert on and no column list
    case 8106:   // identity_insert of a table without identity
    case 8107:   // identity_insert on for another table
    case 1088:   // identity_insert of a table not there
        return true;
    default:
        return false;
    }
}

QString formatRaisedMessage(const QString& format, const QVariantList& arguments)
{
    QString out;
    qsizetype next = 0;
    auto take = [&]() -> QVariant { return next < arguments.size() ? arguments.at(next++) : QVariant(); };
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%') {
            out += c;
            continue;
        }
        qsizetype j = i + 1;
        if (j < format.size() && format.at(j) == u'%') {
            out += u'%';
            i = j;
            continue;
        }
        bool left = false, plus = false, zero = false, alternate = false, blank = false;
        for (; j < format.size(); ++j) {
            const QChar f = format.at(j);
            if (f == u'-')
                left = true;
            else if (f == u'+')
                plus = true;
            else if (f == u'0')
                zero = true;
            else if (f == u'#')
                alternate = true;
            else if (f == u' ')
                blank = true;
            else
                break;
        }
        auto number = [&](int& value) {
            if (j < format.size() && format.at(j) == u'*') {
                value = take().toInt();
                ++j;
                return;
            }
            while (j < format.size() && format.at(j).isDigit()) value = value * 10 + format.at(j++).digitValue();
        };
        int width = 0;
        number(width);
        int precision = -1;
        if (j < format.size() && format.at(j) == u'.') {
            ++j;
            precision = 0;
            number(precision);
        }
        if (format.mid(j, 3).compare(QLatin1String("I64"), Qt::CaseInsensitive) == 0)
            j += 3;
        else if (j < format.size() && (format.at(j) == u'h' || format.at(j) == u'l'))
            ++j;
        if (j >= format.size()) {
            out += format.mid(i);
            break;
        }
        const QChar type = format.at(j);
        QString text;
        QString sign;
        const QVariant arg = take();
        if (type == u's') {
            text = arg.isNull() ? QStringLiteral("(null)") : arg.toString();
            if (precision >= 0) text = text.left(precision);
        } else if (type == u'd' || type == u'i' || type == u'u' || type == u'o' || type == u'x' || type == u'X') {
            if (arg.isNull()) {
                text = QStringLiteral("(null)");
            } else {
                const qlonglong v = arg.toLongLong();
                if (type == u'd' || type == u'i') {
                    text = QString::number(v < 0 ? -v : v);
                    sign = v < 0 ? QStringLiteral("-") : plus ? QStringLiteral("+") : blank ? QStringLiteral(" ") : QString();
                } else {
                    const quint64 u = v < 0 ? quint64(quint32(v)) : quint64(v);
                    const int base = type == u'o' ? 8 : type == u'u' ? 10 : 16;
                    text = QString::number(u, base);
                    if (type == u'X') text = text.toUpper();
                    if (alternate && u != 0 && base != 10)
                        sign = base == 8 ? QStringLiteral("0") : type == u'X' ? QStringLiteral("0X") : QStringLiteral("0x");
                }
                if (precision >= 0 && text.size() < precision) text = QString(precision - text.size(), u'0') + text;
            }
        } else {   // not a conversion: kept as written
            out += format.mid(i, j - i + 1);
            i = j;
            continue;
        }
        const qsizetype length = sign.size() + text.size();
        if (length < width) {
            const qsizetype pad = width - length;
            if (left)
                text = sign + text + QString(pad, u' ');
            else if (zero && type != u's')
                text = sign + QString(pad, u'0') + text;
            else
                text = QString(pad, u' ') + sign + text;
        } else {
            text = sign + text;
        }
        out += text;
        i = j;
    }
    return out;
}

}   // namespace orra::embedded
