#include "platform/db/embedded/translator/TypedConversions.h"

#include "platform/db/embedded/functions/BinaryConversions.h"
#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/embedded/functions/DateTimeValues.h"
#include "platform/db/Decimal.h"

namespace orra::embedded::translator {

namespace {

using Kind = SqlType::Kind;

int byteSource(const SqlType& t)
{
    switch (t.kind) {
    case Kind::Bit:
    case Kind::TinyInt:
        return 1;
    case Kind::SmallInt:
        return 2;
    case Kind::Int:
        return 4;
    case Kind::BigInt:
        return 8;
    case Kind::Text:
        return kVarcharBytes;
    case Kind::NText:
        return kNVarcharBytes;
    case Kind::Binary:
        return kBinaryBytes;
    case Kind::Money:
        return kMoneyBytes;
    case Kind::SmallMoney:
        return kSmallMoneyBytes;
    case Kind::Float:
        return kFloatBytes;
    case Kind::Real:
        return kRealBytes;
    case Kind::DateTime:
        return kDateTimeBytes;
    case Kind::SmallDateTime:
        return kSmallDateTimeBytes;
    case Kind::Decimal:
        return kDecimalBytes + 100 * t.precision + t.scale;
    default:
        return kUnknownBytes;
    }
}

Vec call(const char* fn, const Vec& expr, const QString& more)
{
    Vec out{word(fn), symbol("(")};
    out.insert(out.end(), expr.begin(), expr.end());
    out.push_back(symbol(","));
    out.push_back(number(more));
    out.push_back(symbol(")"));
    return out;
}

}   // namespace

bool typedConversion(
    Vec& out, Vec& expr, const SqlType& source, const QString& declared, int style, const QString& styleText)
{
    const QString styleArg = styleText.isEmpty() ? QString::number(std::max(style, 0)) : styleText;
    const SqlType target = SqlType::fromDeclared(declared);
    const QString name = declared.section(u'(', 0, 0).trimmed().toLower();
    if (target.kind == Kind::Binary) {
        // varbinary without a length in a conversion is varbinary(30); (max) has none
        int length = declared.contains(u'(') ? target.length : 30;
        const Vec c = call("orra_to_binary", expr,
            QStringLiteral("%1, %2, %3, %4")
                .arg(length)
                .arg(name == u"binary" ? 1 : 0)
                .arg(byteSource(source))
                .arg(styleArg));
        out.insert(out.end(), c.begin(), c.end());
        return true;
    }
    if (source.kind == Kind::Binary) {
        if (target.kind == Kind::DateTime || target.kind == Kind::SmallDateTime) {
            const Vec bytes = call("orra_from_binary", expr, QString::number(byteSource(target)));
            out.insert(out.end(), {word(dates::kToDate), symbol("(")});
            out.insert(out.end(), bytes.begin(), bytes.end());
            out.insert(out.end(), {symbol(","), raw(u'\'' + name + u'\''), symbol(","), number(QStringLiteral("-1")),
                                      symbol(","), word("null"), symbol(")")});
            return true;
        }
        if (target.kind == Kind::Decimal) {
            expr = call("orra_from_binary", expr, QString::number(byteSource(target)));
            return false;
        }
        if (target.isInteger() || target.isMoney()) {
            const int code = target.kind == Kind::Money ? kMoneyBytes
                : target.kind == Kind::SmallMoney       ? kSmallMoneyBytes
                                                        : byteSource(target);
            expr = call("orra_from_binary", expr, QString::number(code));
        } else if (target.isString()) {
            const int length = declared.contains(u'(') ? target.length : 30;
            expr = call("orra_binary_text", expr,
                QStringLiteral("%1, %2, %3").arg(length).arg(styleArg).arg(target.kind == Kind::NText ? 1 : 0));
        }
        return false;
    }
    // money to an integer type is rounded, not truncated as decimal and float are
    if (source.isMoney() && target.isInteger()) expr = call("round", expr, QStringLiteral("0"));
    if (target.isString() && (source.isNumber() || source.kind == Kind::Unknown)) {
        SqlType sized = target;
        if (!declared.contains(u'(')) sized.length = 30;
        wrapConversion(expr, 0, expr.size(), numberAsText(sized, source, name, styleArg));
    }
    return false;
}

StoredConversion numberAsText(const SqlType& target, const SqlType& source, const QString& name, const QString& style)
{
    StoredConversion c;
    if (source.kind == Kind::Unknown) {   // judged by the value when it comes
        if (target.length >= 0)
            c = {QStringLiteral("orra_value_text_fits("), QStringLiteral(", %1, '%2')").arg(target.length).arg(name)};
        return c;
    }
    if (source.isApproximate()) {
        c.before = QStringLiteral("orra_float_text(");
        c.after = QStringLiteral(", %1)").arg(style);
    } else if (source.isExact()) {
        c.before = QStringLiteral("orra_exact_text(");
        c.after = QStringLiteral(", %1, %2, %3)").arg(source.scale).arg(style).arg(source.isMoney() ? 1 : 0);
    }
    // A number is never cut to a text too short for it: int, smallint and tinyint become "*"
    // in char and varchar, every other case of the table is an error (bigint and bit are cut,
    // as the conversion table does not name them).
    const bool small = source.kind == Kind::Int || source.kind == Kind::SmallInt || source.kind == Kind::TinyInt;
    if (target.length >= 0 && (small || source.isExact() || source.isApproximate())) {
        const bool star = small && target.kind == Kind::Text;
        c.before.prepend(QStringLiteral("orra_number_text_fits("));
        c.after += QStringLiteral(", %1, '%2')").arg(target.length).arg(star ? QString() : name);
    }
    return c;
}

StoredConversion storedConversion(const SqlType& t)
{
    if (t.isInteger()) return {QStringLiteral("orra_integer("), QStringLiteral(", '%1')").arg(t.declaration())};
    if (t.isExact())
        return {QStringLiteral("orra_exact("), QStringLiteral(", %1, %2, %3)")
                                                    .arg(t.kind == Kind::Decimal ? t.precision : t.digits().first)
                                                    .arg(t.scale)
                                                    .arg(t.isMoney() ? 1 : 0)};
    if (t.isDateOrTime()) {
        const QString declared = t.declaration();
        const QString scale = declared.section(u'(', 1).section(u')', 0, 0);
        return {QLatin1String(dates::kToDate) + u'(',
            QStringLiteral(", '%1', %2, null)")
                .arg(declared.section(u'(', 0, 0), scale.isEmpty() ? QStringLiteral("-1") : scale)};
    }
    return {};
}

namespace {

// The SQL of a conversion's part as tokens: each "name(" a word and a parenthesis, commas and
// closing parentheses as themselves, the arguments between them (numbers, quoted text, null)
// kept as written; so that the rewrites that follow read the conversion as the call it is.
Vec conversionTokens(const QString& sql)
{
    Vec out;
    QString piece;
    auto flush = [&] {
        if (!piece.trimmed().isEmpty()) out.push_back(raw(piece.trimmed()));
        piece.clear();
    };
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c == u'\'') {
            const qsizetype close = sql.indexOf(u'\'', i + 1);
            const qsizetype end = close < 0 ? sql.size() : close + 1;
            piece += sql.mid(i, end - i);
            i = end - 1;
        } else if (c == u'(') {
            const QString name = piece.trimmed();
            piece.clear();
            NT w = word("");
            w.t.text = name;
            w.out = name;
            out.push_back(w);
            out.push_back(symbol("("));
        } else if (c == u',' || c == u')') {
            flush();
            out.push_back(symbol(c == u',' ? "," : ")"));
        } else {
            piece += c;
        }
    }
    flush();
    return out;
}

}   // namespace

void wrapConversion(Vec& v, size_t b, size_t e, const StoredConversion& c)
{
    if (c.isEmpty() || b >= e || (e == b + 1 && v[b].t.is("default"))) return;   // the column's default converts itself
    const Vec after = conversionTokens(c.after);
    v.insert(v.begin() + long(e), after.begin(), after.end());
    const Vec before = conversionTokens(c.before);
    v.insert(v.begin() + long(b), before.begin(), before.end());
}

StoredConversion storedConversion(const SqlType& t, const SqlType& source)
{
    if (t.isString() && source.isDateOrTime())
        return {QLatin1String(dates::kDateText) + u'(', QStringLiteral(", null, '%1')").arg(source.declaration())};
    if (t.isString() && (source.isNumber() || source.kind == SqlType::Kind::Unknown))
        return numberAsText(t, source, t.declaration().section(u'(', 0, 0), QStringLiteral("0"));
    if (t.isInteger() && storedAsIs(t, source)) return {};
    StoredConversion c = storedConversion(t);
    // money to an integer type is rounded, not truncated as decimal and float are
    if (t.isInteger() && source.isMoney()) {
        c.before += QStringLiteral("round(");
        c.after.prepend(QStringLiteral(", 0)"));
    }
    return c;
}

bool storedAsIs(const SqlType& target, const SqlType& source)
{
    switch (target.kind) {
    case Kind::Money:
        return source.isMoney();
    case Kind::SmallMoney:
        return source.kind == Kind::SmallMoney;
    case Kind::Decimal:
        return source.kind == Kind::Decimal && source.scale == target.scale
            && source.precision - source.scale <= target.precision - target.scale;
    case Kind::Bit:
        return source.kind == Kind::Bit;
    case Kind::TinyInt:
    case Kind::SmallInt:
    case Kind::Int:
    case Kind::BigInt:   // an integer type no wider than the target (bit, tinyint … in that order)
        return source.isInteger() && source.kind <= target.kind;
    default:
        return target.isDateOrTime() && source.declaration() == target.declaration();
    }
}

std::optional<QString> storedLiteral(const SqlType& t, const Token& literal)
{
    QString text = literal.text;
    if (literal.kind == TokenKind::String && text.size() >= 2)
        text = text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    else if (literal.kind != TokenKind::Number)
        return std::nullopt;
    if (t.isExact()) {
        const std::optional<db::Decimal> d = db::Decimal::parse(text);
        const std::optional<db::Decimal> scaled = d ? d->tryRescaled(t.scale) : std::nullopt;
        if (!scaled) return std::nullopt;
        return scaled->toString();
    }
    if (t.isDateOrTime() && literal.kind == TokenKind::String) {
        const QString declared = t.declaration();
        const QString scale = declared.section(u'(', 1).section(u')', 0, 0);
        const std::optional<dates::Type> type =
            dates::typeNamed(declared.section(u'(', 0, 0), scale.isEmpty() ? -1 : scale.toInt());
        if (!type) return std::nullopt;
        const dates::Conversion c = dates::fromText(text, *type, dates::Settings());
        if (!c.ok()) return std::nullopt;
        return u'\'' + dates::canonical(c.value, *type) + u'\'';
    }
    return std::nullopt;
}

}   // namespace orra::embedded::translator
