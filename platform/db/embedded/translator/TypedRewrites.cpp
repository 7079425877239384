#include "platform/db/embedded/translator/TypedRewrites.h"

#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/TypedConversions.h"
#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/functions/DateFunctions.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace orra::embedded::translator {

namespace {

using Kind = SqlType::Kind;

Vec numbers(std::initializer_list<int> values)
{
    Vec out;
    for (int n : values) {
        out.push_back(symbol(","));
        out.push_back(number(QString::number(n)));
    }
    return out;
}

// f( … ) around the tokens [b, e) of v, with more arguments after them.
void wrap(Vec& v, size_t b, size_t e, const char* f, const Vec& more)
{
    Vec after = more;
    after.push_back(symbol(")"));
    v.insert(v.begin() + long(e), after.begin(), after.end());
    v.insert(v.begin() + long(b), {word(f), symbol("(")});
}

// The arguments of the call whose parenthesis opens at v[open], as ranges of v.
std::vector<std::pair<size_t, size_t>> arguments(const Vec& v, size_t open, size_t close)
{
    std::vector<std::pair<size_t, size_t>> args;
    size_t start = open + 1;
    int depth = 0;
    for (size_t k = open + 1; k < close; ++k) {
        if (v[k].t.isSymbol("(") || v[k].t.is("case"))
            ++depth;
        else if (v[k].t.isSymbol(")") || v[k].t.is("end"))
            --depth;
        else if (depth == 0 && v[k].t.isSymbol(",")) {
            args.emplace_back(start, k);
            start = k + 1;
        }
    }
    if (start < close) args.emplace_back(start, close);
    return args;
}

int exactPrecision(const SqlType& t) { return t.kind == Kind::Decimal ? t.precision : t.digits().first; }


// a / b divides as the server does by the operands' types: SQLite divides two integers as
// integers, so a division whose operands are decimal, money or float divides as reals.
void divideAsTyped(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    const size_t k = indexOf(ctx, v[i].t);
    if (k == 0 || k + 1 >= T.size()) return;
    const SqlType left = typer.typeOf(operandStart(ctx, k - 1), k);
    const SqlType right = typer.typeOf(k + 1, std::min(operandEnd(ctx, k + 1), T.size()));
    auto real = [](const SqlType& t) { return t.isExact() || t.isApproximate(); };
    if (!real(left) && !real(right)) return;
    v.insert(v.begin() + long(i), {symbol("*"), number(QStringLiteral("1.0"))});
}

// Whether T[k] ends an operand, so that an operator after it is binary.
bool isArithmetic(const Token& t, bool multiplicativeOnly)
{
    return t.isSymbol("*") || t.isSymbol("/") || t.isSymbol("%")
        || (!multiplicativeOnly && (t.isSymbol("+") || t.isSymbol("-")));
}

// The first token of the operand of v that ends at v[k] (a name, a literal, a call, a group).
size_t operandStartIn(const Vec& v, size_t k)
{
    if (v[k].t.is("end")) {   // a case expression
        int depth = 0;
        for (size_t j = k + 1; j-- > 0;) {
            if (v[j].t.is("end"))
                ++depth;
            else if (v[j].t.is("case") && --depth == 0)
                return j;
        }
        return k;
    }
    if (v[k].t.isSymbol(")")) {
        int depth = 0;
        for (size_t j = k + 1; j-- > 0;) {
            if (v[j].t.isSymbol(")"))
                ++depth;
            else if (v[j].t.isSymbol("(") && --depth == 0) {
                if (const auto call = callBeforeClause(v, j)) return operandStartIn(v, *call);
                return j > 0 && v[j - 1].t.kind == TokenKind::Word && !isExpressionBoundary(v[j - 1].t) ? j - 1 : j;
            }
        }
        return k;
    }
    while (k >= 2 && v[k - 1].t.isSymbol(".") && v[k - 2].t.isName()) k -= 2;
    return k;
}

// The end of the operand of v that begins at v[k].
size_t operandEndIn(const Vec& v, size_t k)
{
    while (k < v.size() && (v[k].t.isSymbol("-") || v[k].t.isSymbol("+"))) ++k;
    if (k >= v.size()) return k;
    if (v[k].t.isSymbol("(")) return closeOf(v, k, v.size()) + 1;
    if (v[k].t.is("case")) return caseEnd(v, k, v.size()) + 1;
    if (v[k].t.kind == TokenKind::Word && k + 1 < v.size() && v[k + 1].t.isSymbol("("))
        return pastCallClauses(v, closeOf(v, k + 1, v.size()) + 1, v.size());
    size_t e = k + 1;
    while (e + 1 < v.size() && v[e].t.isSymbol(".") && v[e + 1].t.isName()) e += 2;
    return e;
}

// The left operand of the operator at index k of tokens (the batch's or v): the operations
// before it that bind at least as tightly belong to it (a - b + c adds c to a - b).
template <class Tokens, class Start>
size_t leftOperand(const Tokens& tokens, size_t k, bool multiplicative, Start start)
{
    size_t b = start(k - 1);
    while (b >= 2 && isArithmetic(tokenOf(tokens[b - 1]), multiplicative)) {
        if (!endsOperand(tokenOf(tokens[b - 2]))) return b - 1;   // a sign
        b = start(b - 2);
    }
    if (b >= 1 && (tokenOf(tokens[b - 1]).isSymbol("-") || tokenOf(tokens[b - 1]).isSymbol("+"))
        && (b < 2 || !endsOperand(tokenOf(tokens[b - 2]))))
        --b;
    return b;
}

// The right operand of the operator at index k: for + and - the products after it too.
template <class Tokens, class End>
size_t rightOperand(const Tokens& tokens, size_t k, bool multiplicative, End end)
{
    size_t e = std::min(end(k + 1), tokens.size());
    while (!multiplicative && e + 1 < tokens.size() && isArithmetic(tokenOf(tokens[e]), true))
        e = std::min(end(e + 1), tokens.size());
    return e;
}

// The binary arithmetic operator at v[i], at index k of the batch's tokens: its nearest operand
// each side (nearStart..k, k+1..nearEnd) and its whole ones (lb..k, k+1..re), where + and -
// take the products beside them. None where v[i] is no binary operator.
struct BinaryOperation {
    size_t k = 0, nearStart = 0, nearEnd = 0, lb = 0, re = 0;
    bool multiplicative = false;

    // Whether a look at the near operands alone decides: the whole ones are the near ones, or
    // too long to type again for every operator of a long chain (which so stays linear).
    bool nearDecides() const { return (lb == nearStart || k - lb > 64) && (re == nearEnd || re - k > 64); }
};

std::optional<BinaryOperation> binaryOperation(const TranslationContext& ctx, const Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    BinaryOperation o;
    o.k = indexOf(ctx, v[i].t);
    const size_t k = o.k;
    if (k == 0 || k + 1 >= T.size() || i == 0 || i + 1 >= v.size() || !endsOperand(T[k - 1])
        || !endsOperand(v[i - 1].t))
        return std::nullopt;
    o.multiplicative = isArithmetic(v[i].t, true);
    o.nearStart = operandStart(ctx, k - 1);
    o.nearEnd = std::min(operandEnd(ctx, k + 1), T.size());
    o.lb = leftOperand(T, k, o.multiplicative, [&](size_t x) { return operandStart(ctx, x); });
    o.re = rightOperand(T, k, o.multiplicative, [&](size_t x) { return operandEnd(ctx, x); });
    return o;
}

// The whole operands of the operator at v[i] in v: their first index and the end of the right one.
std::pair<size_t, size_t> operandsIn(const Vec& v, size_t i, bool multiplicative)
{
    return {leftOperand(v, i, multiplicative, [&](size_t x) { return operandStartIn(v, x); }),
        rightOperand(v, i, multiplicative, [&](size_t x) { return operandEndIn(v, x); })};
}

// a op b (+ - * / %) of money or decimals whose result type holds more digits than a double
// carries exactly is computed in 128 bits with the server's result precision and scale.
// Gives the index in v that the rewriting loop continues from (i when nothing changed).
size_t exactArithmetic(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    const auto o = binaryOperation(ctx, v, i);
    if (!o) return i;
    const size_t k = o->k;
    // A cheap look first: an operator whose next operands are no money or decimal (apart from
    // literals) over a long chain stays as it is, so that long chains translate in linear time.
    auto exactOperand = [&](size_t b, size_t e) {
        return !(e == b + 1 && T[b].kind == TokenKind::Number) && typer.typeOf(b, e).isExact();
    };
    const bool modulo = v[i].t.isSymbol("%");
    if (!modulo && !exactOperand(o->nearStart, k) && !exactOperand(k + 1, o->nearEnd) && o->nearDecides()) return i;
    const SqlType left = typer.typeOf(o->lb, k);
    const SqlType right = typer.typeOf(k + 1, o->re);
    if (!left.isNumber() || !right.isNumber() || (!left.isExact() && !right.isExact())) return i;
    const SqlType result = arithmeticType(v[i].t.text.at(0), left, right);
    if (!result.isExact()) return i;
    // (SQLite's % takes whole numbers only: 10 % 3.5 is 3.0 the exact way)
    if (result.digits().first <= 15 && left.digits().first <= 15 && right.digits().first <= 15 && !modulo)
        return i;
    const auto [vb, ve] = operandsIn(v, i, o->multiplicative);
    const int op = v[i].t.text.at(0).unicode();
    const auto [p, s] = result.digits();
    // orra_dec_op(op, a, scale of a, b, scale of b, precision, scale, money)
    Vec tail = numbers({right.digits().second, p, s, result.isMoney() ? 1 : 0});
    tail.push_back(symbol(")"));
    v.insert(v.begin() + long(ve), tail.begin(), tail.end());
    v[i] = symbol(",");
    v.insert(v.begin() + long(i), number(QString::number(left.digits().second)));
    v.insert(v.begin() + long(i), symbol(","));
    v.insert(v.begin() + long(vb), {word("orra_dec_op"), symbol("("), number(QString::number(op)), symbol(",")});
    return i + 6;
}

// a + b, a - b, a * b and a / b of integer operands overflow as the server's integers do (error
// 8115: tinyint + tinyint is a tinyint, -2147483648 / -1 no int), where SQLite would widen them
// or turn a bigint into a float.
size_t integerArithmetic(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    if (!v[i].t.isSymbol("+") && !v[i].t.isSymbol("-") && !v[i].t.isSymbol("*") && !v[i].t.isSymbol("/")) return i;
    const auto o = binaryOperation(ctx, v, i);
    if (!o) return i;
    const size_t k = o->k;
    auto integer = [&](size_t b, size_t e) { return typer.typeOf(b, e).isInteger(); };
    if (!integer(o->nearStart, k) || !integer(k + 1, o->nearEnd)) return i;
    SqlType result;
    if (o->nearDecides())
        result = arithmeticType(v[i].t.text.at(0), typer.typeOf(o->nearStart, k), typer.typeOf(k + 1, o->nearEnd));
    else
        result = arithmeticType(v[i].t.text.at(0), typer.typeOf(o->lb, k), typer.typeOf(k + 1, o->re));
    int bits = 0;   // tinyint counts 0 to 255, the others are signed
    switch (result.kind) {
    case Kind::TinyInt: bits = 8; break;
    case Kind::SmallInt: bits = 16; break;
    case Kind::Int: bits = 32; break;
    case Kind::BigInt: bits = 64; break;
    default: return i;
    }
    auto [vb, ve] = operandsIn(v, i, o->multiplicative);
    // Each step of a chain of its level (a + b - c) is checked, as the server adds from the left
    // (2147483647 + 1 - 1 overflows); a chain of more than a few steps is checked once, at its
    // end, since SQLite's parser takes only so many nested calls.
    auto sameLevel = [&](size_t x) {
        return x < v.size() && isArithmetic(v[x].t, o->multiplicative) && (o->multiplicative || !isArithmetic(v[x].t, true));
    };
    if (sameLevel(ve)) {
        // the steps after this one, counted in the batch as written (v holds the later steps'
        // checks already)
        const auto& T = ctx.tokens();
        auto sameLevelAt = [&](size_t x) {
            return x < T.size() && isArithmetic(T[x], o->multiplicative) && (o->multiplicative || !isArithmetic(T[x], true));
        };
        constexpr size_t kCheckedSteps = 4;
        size_t steps = 0;
        for (size_t x = o->re; sameLevelAt(x) && steps <= kCheckedSteps; ++steps)
            x = rightOperand(T, x, o->multiplicative, [&](size_t y) { return operandEnd(ctx, y); });
        if (steps > kCheckedSteps) return i;
    }
    while (vb > 0 && v[vb - 1].t.isSymbol("~")) --vb;   // ~ binds closer than any operation
    wrap(v, vb, ve, "orra_int_check", numbers({bits}));
    return i + 2;   // the operator's place after the call's name and parenthesis
}

// a op b (+ - * / %) of a text and an integer, money or float: the text converts to the other
// operand's type as CAST converts it, by data type precedence ('1.5' + 1 is error 245, not 2.5).
// Gives the index in v of the operator after the conversions.
size_t textOperandAsNumber(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto o = binaryOperation(ctx, v, i);
    if (!o) return i;
    const size_t k = o->k;
    const SqlType nearLeft = typer.typeOf(o->nearStart, k), nearRight = typer.typeOf(k + 1, o->nearEnd);
    if (!nearLeft.isString() && !nearRight.isString()) return i;
    // (a long chain is typed by its near operands, so that it translates in linear time)
    const SqlType left = o->nearDecides() ? nearLeft : typer.typeOf(o->lb, k);
    const SqlType right = o->nearDecides() ? nearRight : typer.typeOf(k + 1, o->re);
    auto target = [](const SqlType& t) { return (t.isInteger() && t.kind != Kind::Bit) || t.isMoney() || t.isApproximate(); };
    const bool leftText = left.isString() && target(right), rightText = right.isString() && target(left);
    if (!leftText && !rightText) return i;
    const auto [vb, ve] = operandsIn(v, i, o->multiplicative);
    if (rightText) convertTo(v, i + 1, ve, left, right);
    if (leftText) {
        const size_t before = v.size();
        convertTo(v, vb, i, right, left);
        i += v.size() - before;
    }
    return i;
}

// The server's name of a type in its operand messages: a decimal literal is numeric.
QString operandTypeName(const SqlType& t, bool literal)
{
    if (t.kind == Kind::Decimal) return literal ? QStringLiteral("numeric") : QStringLiteral("decimal");
    return t.declaration().section(u'(', 0, 0);
}

// The operator's name in the server's messages.
QString operatorName(QChar op)
{
    switch (op.unicode()) {
    case '+':
        return QStringLiteral("add");
    case '-':
        return QStringLiteral("subtract");
    case '*':
        return QStringLiteral("multiply");
    case '/':
        return QStringLiteral("divide");
    default:
        return QStringLiteral("modulo");
    }
}

bool isCountedDate(const SqlType& t) { return t.kind == Kind::DateTime || t.kind == Kind::SmallDateTime; }

// a % b takes integers, money and decimals: a float or real operand is the server's error 402.
void refuseFloatModulo(TranslationContext& ctx, const ExpressionTyper& typer, const Vec& v, size_t i)
{
    const auto o = binaryOperation(ctx, v, i);
    if (!o) return;
    const size_t k = o->k;
    const SqlType left = typer.typeOf(o->nearStart, k), right = typer.typeOf(k + 1, o->nearEnd);
    if (!left.isApproximate() && !right.isApproximate()) return;
    const auto& T = ctx.tokens();
    auto literal = [&](size_t b, size_t e) { return e == b + 1 && T[b].kind == TokenKind::Number; };
    if (left.kind == Kind::Unknown || right.kind == Kind::Unknown || left.kind == Kind::Null || right.kind == Kind::Null)
        return;
    ctx.fail(QStringLiteral("The data types %1 and %2 are incompatible in the modulo operator.")
                 .arg(operandTypeName(left, literal(o->nearStart, k)), operandTypeName(right, literal(k + 1, o->nearEnd))),
        402, k);
}

// Arithmetic on dates: datetime and smalldatetime add and subtract numbers (days and fractions
// of a day) and each other, in the type of higher precedence; date, time, datetime2 and
// datetimeoffset take no arithmetic, and no date multiplies or divides. Whether left op right
// is datetime arithmetic to rewrite; an operation the server refuses fails ctx at token k.
bool isDateArithmetic(TranslationContext& ctx, const SqlType& left, const SqlType& right, QChar op,
    std::pair<bool, bool> literals, size_t k)
{
    if (!left.isDateOrTime() && !right.isDateOrTime()) return false;
    const SqlType& date = left.isDateOrTime() ? left : right;
    const SqlType& other = left.isDateOrTime() ? right : left;
    auto invalidFor = [&](const SqlType& t) {
        ctx.fail(QStringLiteral("Operand data type %1 is invalid for %2 operator.")
                     .arg(operandTypeName(t, false), operatorName(op)),
            8117, k);
        return false;
    };
    auto clash = [&] {
        ctx.fail(QStringLiteral("Operand type clash: %1 is incompatible with %2")
                     .arg(operandTypeName(left, literals.first), operandTypeName(right, literals.second)),
            206, k);
        return false;
    };
    if (op != u'+' && op != u'-') return invalidFor(date);
    if (other.isNumber() && !isCountedDate(date)) return clash();
    if (other.isDateOrTime() && other.kind != date.kind && (!isCountedDate(date) || !isCountedDate(other)))
        return clash();
    if (isCountedDate(date)) return true;
    // a text converts to the date's type, which adds and subtracts nothing
    if (other.isDateOrTime() || other.isString()) return invalidFor(date);
    return false;
}

// orra_date_arith( … , op, 'result type') closing the operation: smalldatetime only when no
// operand is a datetime.
Vec dateArithmeticTail(const SqlType& left, const SqlType& right, QChar op)
{
    const bool small = left.kind != Kind::DateTime && right.kind != Kind::DateTime;
    Vec tail = numbers({op.unicode()});
    tail.push_back(symbol(","));
    tail.push_back(raw(small ? QStringLiteral("'smalldatetime'") : QStringLiteral("'datetime'")));
    tail.push_back(symbol(")"));
    return tail;
}

// a + b and a - b of datetime values as orra_date_arith(a, b, op, 'result type'). Gives the
// index in v that the rewriting loop continues from (i when nothing changed).
size_t dateArithmetic(TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    const auto o = binaryOperation(ctx, v, i);
    if (!o) return i;
    const size_t k = o->k;
    auto literal = [&](size_t b, size_t e) {
        return e == b + 1 && (T[b].kind == TokenKind::Number || T[b].kind == TokenKind::String);
    };
    auto dateOperand = [&](size_t b, size_t e) { return !literal(b, e) && typer.typeOf(b, e).isDateOrTime(); };
    // the cheap look first, as for exact numbers: long chains of other values stay linear
    if (!dateOperand(o->nearStart, k) && !dateOperand(k + 1, o->nearEnd) && o->nearDecides()) return i;
    const SqlType left = typer.typeOf(o->lb, k);
    const SqlType right = typer.typeOf(k + 1, o->re);
    const QChar op = v[i].t.text.at(0);
    if (!isDateArithmetic(ctx, left, right, op, {literal(o->lb, k), literal(k + 1, o->re)}, k)) return i;
    const auto [vb, ve] = operandsIn(v, i, o->multiplicative);
    const Vec tail = dateArithmeticTail(left, right, op);
    v.insert(v.begin() + long(ve), tail.begin(), tail.end());
    v[i] = symbol(",");
    v.insert(v.begin() + long(vb), {word(dates::kDateArithmetic), symbol("(")});
    return i + 2;
}

}   // namespace

std::optional<Vec> compoundDateAssignment(
    TranslationContext& ctx, const SqlType& target, QChar op, const Vec& self, const Vec& expr, size_t b, size_t e)
{
    if (!ctx.schema() || b >= e) return std::nullopt;
    const SqlType value = ExpressionTyper(ctx).typeOf(b, e);
    const auto& T = ctx.tokens();
    const bool literal = e == b + 1 && (T[b].kind == TokenKind::Number || T[b].kind == TokenKind::String);
    if (!isDateArithmetic(ctx, target, value, op, {false, literal}, b)) return std::nullopt;
    Vec out{word(dates::kDateArithmetic), symbol("(")};
    out.insert(out.end(), self.begin(), self.end());
    out.insert(out.end(), {symbol(","), symbol("(")});
    out.insert(out.end(), expr.begin(), expr.end());
    out.push_back(symbol(")"));
    const Vec tail = dateArithmeticTail(target, value, op);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

namespace {

// -x of money or a decimal with more digits than a double carries keeps x's type and every
// digit (SQLite would negate the decimal text as a double): 0 - x at x's precision and scale.
void negateExactly(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    const size_t k = indexOf(ctx, v[i].t);
    if (k + 1 >= T.size() || (k > 0 && endsOperand(T[k - 1])) || i + 1 >= v.size()) return;
    const SqlType a = typer.typeOf(k + 1, std::min(operandEnd(ctx, k + 1), T.size()));
    if (!a.isExact() || a.digits().first <= 15) return;
    const size_t ve = operandEndIn(v, i + 1);
    const auto [p, s] = a.digits();
    // orra_dec_op(op, a, scale of a, b, scale of b, precision, scale, money)
    Vec tail = numbers({s, p, s, a.isMoney() ? 1 : 0});
    tail.push_back(symbol(")"));
    v.insert(v.begin() + long(ve), tail.begin(), tail.end());
    v[i] = symbol(",");
    v.insert(v.begin() + long(i), {word("orra_dec_op"), symbol("("), number(QString::number(int(u'-'))), symbol(","),
                                      number(QStringLiteral("0")), symbol(","), number(QStringLiteral("0"))});
}

// FORMAT of money or a decimal reads the value at its type's scale (money with its four
// decimals), as the general pattern shows it: FORMAT(CAST(1.55 AS money), 'G') is 1.5500.
// The bytes a value of type t takes when every value of the type takes as many; 0 for the
// types whose values differ in length (text, binary) and for an unknown type.
int fixedDataLength(const SqlType& t)
{
    const auto byScale = [&](int small, int middle, int large) { return t.scale < 3 ? small : t.scale < 5 ? middle : large; };
    switch (t.kind) {
    case Kind::Bit:
    case Kind::TinyInt: return 1;
    case Kind::SmallInt: return 2;
    case Kind::Int:
    case Kind::SmallMoney:
    case Kind::Real:
    case Kind::SmallDateTime: return 4;
    case Kind::BigInt:
    case Kind::Money:
    case Kind::Float:
    case Kind::DateTime: return 8;
    case Kind::Guid: return 16;
    case Kind::Date: return 3;
    case Kind::Time: return byScale(3, 4, 5);
    case Kind::DateTime2: return byScale(6, 7, 8);
    case Kind::DateTimeOffset: return byScale(8, 9, 10);
    case Kind::Decimal: return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    default: return 0;
    }
}

// DATALENGTH by its argument's type: the storage size of a fixed-size type, two bytes a UTF-16
// unit of Unicode text, whatever form SQLite keeps the value in.
void dataLengthAsTyped(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    size_t k = indexOf(ctx, v[i + 1].t);
    const bool probed = k >= T.size();   // a column's collation is probed: f(x, probe)
    if (probed && i + 2 < v.size()) {
        k = indexOf(ctx, v[i + 2].t);
        if (k > 0 && k < T.size() && T[k - 1].isSymbol("(")) --k;
    }
    if (k >= T.size() || !T[k].isSymbol("(")) return;
    const size_t tclose = ctx.matching(k, T.size());
    const auto targs = ctx.splitTop(k + 1, tclose, [&](size_t x) { return T[x].isSymbol(","); });
    if (targs.size() != 1) return;
    const SqlType a = typer.typeOf(targs[0].first, targs[0].second);
    const size_t close = closeOf(v, i + 1, v.size());
    if (close >= v.size()) return;
    const auto args = arguments(v, i + 1, close);
    if (args.empty()) return;
    if (const int bytes = fixedDataLength(a)) {
        Vec out{raw(QStringLiteral("(case when")), symbol("(")};
        out.insert(out.end(), v.begin() + long(args[0].first), v.begin() + long(args[0].second));
        out.push_back(symbol(")"));
        out.push_back(raw(QStringLiteral("is null then null else %1 end)").arg(bytes)));
        v.erase(v.begin() + long(i), v.begin() + long(close + 1));
        v.insert(v.begin() + long(i), out.begin(), out.end());
    } else if (a.kind == Kind::NText && !probed) {
        v[i].out = QStringLiteral("orra_datalength_units");
        const Vec more = numbers({2});
        v.insert(v.begin() + long(close), more.begin(), more.end());
    }
}

void formatAsKept(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    const size_t k = indexOf(ctx, v[i + 1].t);
    if (k >= T.size()) return;
    const auto targs = ctx.splitTop(k + 1, ctx.matching(k, T.size()), [&](size_t x) { return T[x].isSymbol(","); });
    if (targs.empty()) return;
    const SqlType a = typer.typeOf(targs[0].first, targs[0].second);
    const size_t close = closeOf(v, i + 1, v.size());
    const auto args = arguments(v, i + 1, close);
    if (!a.isExact() || args.empty()) return;
    // money's style 2 keeps four decimals
    wrap(v, args[0].first, args[0].second, "orra_exact_text",
        numbers({a.scale, a.isMoney() ? 2 : 0, a.isMoney() ? 1 : 0}));
}

// LIKE reads both its operands as texts: a number or a date is converted as CAST to varchar
// converts it (1.50 LIKE '1.50', a datetime LIKE 'Jan%'). When either is Unicode the match is
// Unicode's, which counts the subject's trailing blanks (N'abc  ' LIKE N'abc' is false).
void likeOperandsAsText(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    const size_t k = indexOf(ctx, v[i].t);
    if (k < 2 || k + 1 >= T.size()) return;
    const size_t subjectEnd = T[k - 1].is("not") ? k - 1 : k;
    const size_t subjectBegin = operandStart(ctx, subjectEnd - 1);
    const size_t patternEnd = operandEnd(ctx, k + 1);
    // an operand typed alone, not the last term of a longer expression (a + b LIKE …)
    const auto opens = [](const Token& t) { return isExpressionBoundary(t) || t.isSymbol("(") || t.isSymbol(","); };
    const bool wholeSubject = subjectBegin > 0 && opens(T[subjectBegin - 1]);
    const bool wholePattern = patternEnd >= T.size() || opens(T[patternEnd]) || T[patternEnd].isSymbol(")")
        || T[patternEnd].isSymbol(";");
    const SqlType subject = wholeSubject ? typer.typeOf(subjectBegin, subjectEnd) : SqlType{};
    const SqlType pattern = wholePattern ? typer.typeOf(k + 1, patternEnd) : SqlType{};
    const auto converted = [](const SqlType& t) { return t.isDateOrTime() || t.isExact() || t.isApproximate(); };
    const SqlType text = SqlType::fromDeclared(QStringLiteral("varchar(8000)"));
    if (converted(pattern))
        if (const auto r = placesBetween(ctx, v, k + 1, patternEnd)) wrapConversion(v, r->first, r->second, storedConversion(text, pattern));
    const auto r = wholeSubject ? placesBetween(ctx, v, subjectBegin, subjectEnd) : std::nullopt;
    if (!r) return;
    auto [b, e] = *r;
    if (subject.kind == Kind::NText || pattern.kind == Kind::NText) {
        if (v[b].t.text == u"orra_like_subject" && e - 1 > b && v[e - 1].t.isSymbol(")")) {
            v.insert(v.begin() + long(e - 1), {symbol(","), number(QStringLiteral("1"))});
            e += 2;
        } else {
            wrap(v, b, e, "orra_like_subject", {symbol(","), word("null"), symbol(","), number(QStringLiteral("1"))});
            e += 7;
        }
    }
    if (converted(subject)) wrapConversion(v, b, e, storedConversion(text, subject));
}

}   // namespace

void convertTo(Vec& v, size_t b, size_t e, const SqlType& t, const SqlType& source)
{
    if (t.isExact()) {
        wrap(v, b, e, "orra_exact", numbers({exactPrecision(t), t.scale, t.isMoney() ? 1 : 0}));
    } else if (t.isInteger()) {
        wrap(v, b, e, "orra_integer", {symbol(","), raw(u'\'' + t.declaration() + u'\'')});
    } else if (t.isApproximate()) {
        wrap(v, b, e, "orra_float",
            {symbol(","), raw(source.kind == Kind::NText ? QStringLiteral("'nvarchar'") : QStringLiteral("'varchar'")),
                symbol(","), raw(t.kind == Kind::Real ? QStringLiteral("'real'") : QStringLiteral("'float'"))});
    } else if (t.isDateOrTime()) {
        const QString declared = t.declaration();
        const bool scaled = t.kind == Kind::Time || t.kind == Kind::DateTime2 || t.kind == Kind::DateTimeOffset;
        wrap(v, b, e, dates::kToDate,
            {symbol(","), raw(u'\'' + declared.section(u'(', 0, 0) + u'\''), symbol(","),
                number(scaled ? QString::number(t.scale) : QStringLiteral("-1")), symbol(","), word("null")});
    }
}

// The index of t among the batch's tokens (tokens keep their offsets in the text).
size_t indexOf(const TranslationContext& ctx, const Token& t)
{
    const auto& T = ctx.tokens();
    const auto it = std::lower_bound(T.begin(), T.end(), t.pos, [](const Token& a, int pos) { return a.pos < pos; });
    if (it == T.end() || it->pos != t.pos) return T.size();
    // the operator of "c += x" stands for the "+" of the "c = c + x" it is rewritten to
    const bool compound = t.text.size() == 1 && it->text.size() == 2 && it->text[0] == t.text[0] && it->text[1] == u'=';
    return it->text == t.text || compound ? size_t(it - T.begin()) : T.size();
}

// The first token of the operand that ends at token k (a name, a literal, a call, a group).
size_t operandStart(const TranslationContext& ctx, size_t k)
{
    const auto& T = ctx.tokens();
    if (T[k].is("end")) {   // a case expression
        int depth = 0;
        for (size_t j = k + 1; j-- > 0;) {
            if (T[j].is("end"))
                ++depth;
            else if (T[j].is("case") && --depth == 0)
                return j;
        }
        return k;
    }
    if (T[k].isSymbol(")")) {
        int depth = 0;
        for (size_t j = k + 1; j-- > 0;) {
            if (T[j].isSymbol(")"))
                ++depth;
            else if (T[j].isSymbol("(") && --depth == 0) {
                if (const auto call = callBeforeClause(T, j)) return operandStart(ctx, *call);
                return j > 0 && T[j - 1].kind == TokenKind::Word && !isExpressionBoundary(T[j - 1]) ? j - 1 : j;
            }
        }
        return k;
    }
    while (k >= 2 && T[k - 1].isSymbol(".") && T[k - 2].isName()) k -= 2;
    return k;
}

// The end of the operand that begins at token k.
size_t operandEnd(const TranslationContext& ctx, size_t k)
{
    const auto& T = ctx.tokens();
    while (k < T.size() && (T[k].isSymbol("-") || T[k].isSymbol("+"))) ++k;
    if (k >= T.size()) return k;
    if (T[k].isSymbol("(")) return ctx.matching(k, T.size()) + 1;
    if (T[k].is("case")) return ctx.groupEnd(k, T.size()) + 1;
    if (T[k].kind == TokenKind::Word && k + 1 < T.size() && T[k + 1].isSymbol("("))
        return pastCallClauses(T, ctx.matching(k + 1, T.size()) + 1, T.size());
    size_t e = k + 1;
    while (e + 1 < T.size() && T[e].isSymbol(".") && T[e + 1].isName()) e += 2;
    return e;
}

namespace {

// GROUP BY over text columns of the server's collation groups by their group keys: the same
// groups, sorted by SQLite's binary order instead of a call of the collation per comparison.
void groupByKeys(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t from)
{
    const size_t end = topLevel(v, from, {"having", "order", "union", "except", "intersect", "option", "for"});
    size_t stop = end;
    for (size_t k = from; k < end; ++k) {
        if (v[k].t.isSymbol("(")) {
            k = closeOf(v, k, end);
        } else if (v[k].t.isSymbol(")") || v[k].t.isSymbol(";") || v[k].t.is("rollup") || v[k].t.is("cube")
            || v[k].t.is("grouping") || v[k].t.is("with")) {
            stop = k;
            break;
        }
    }
    if (stop < end && !v[stop].t.isSymbol(")") && !v[stop].t.isSymbol(";")) return;
    std::vector<std::pair<size_t, size_t>> items;
    size_t start = from;
    for (size_t k = from; k <= stop; ++k) {
        if (k < stop && v[k].t.isSymbol("(")) {
            k = closeOf(v, k, stop);
            continue;
        }
        if (k == stop || v[k].t.isSymbol(",")) {
            items.emplace_back(start, k);
            start = k + 1;
        }
    }
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const auto [x, y] = *it;
        if (x >= y) continue;
        const size_t b = indexOf(ctx, v[x].t);
        const size_t e = indexOf(ctx, v[y - 1].t);
        if (b >= ctx.size() || e >= ctx.size()) continue;
        const SqlType t = typer.typeOf(b, e + 1);
        // a text of no column's (a literal, an expression) has the server's collation
        if (!t.isString() || (!t.collation.isEmpty() && t.collation != u"TR_CI" && t.collation != u"TR_CI_N")) continue;
        if (t.collation.isEmpty()
            && (isBareColumn(ctx, b, e + 1)
                || ctx.firstAtTopLevel(b, e + 1, [](const Token& tok) { return tok.is("collate"); }) <= e))
            continue;
        wrap(v, x, y, "orra_group_key", {});
    }
}

// ORDER BY items of datetimeoffset values sort as instants: a column carries that collation
// from its declaration, any other expression gets it here. The items are typed in the batch's
// tokens (the order by at v[i]); the collation goes before the comma, ASC or DESC that ends
// an item in v, or at the end of the clause.
void orderInstants(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i)
{
    const auto& T = ctx.tokens();
    const size_t ko = indexOf(ctx, v[i].t);
    if (ko + 2 >= T.size()) return;
    auto ends = [](const Token& t) {
        return t.isSymbol(")") || t.isSymbol(";")
            || (isExpressionBoundary(t) && !isOneOf(t, {"asc", "desc", "case"})) || isStatementWord(t);
    };
    // the end of the clause in v
    size_t vEnd = i + 2;
    for (; vEnd < v.size() && !ends(v[vEnd].t); ++vEnd) {
        if (v[vEnd].t.isSymbol("(")) vEnd = closeOf(v, vEnd, v.size());
        else if (v[vEnd].t.is("case")) vEnd = caseEnd(v, vEnd, v.size());
    }
    std::vector<std::pair<size_t, size_t>> items;
    size_t start = ko + 2, k = ko + 2;
    for (; k < T.size() && !ends(T[k]); ++k) {
        if (T[k].isSymbol("(")) {
            k = ctx.matching(k, T.size());
        } else if (T[k].is("case")) {
            k = ctx.groupEnd(k, T.size());
        } else if (T[k].isSymbol(",") || T[k].is("asc") || T[k].is("desc")) {
            if (k > start) items.emplace_back(start, k);
            start = k + 1;
        }
    }
    if (k > start) items.emplace_back(start, std::min(k, T.size()));
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const auto [b, e] = *it;
        const SqlType type = typer.typeOf(b, e);
        QString collation;
        if (type.kind == Kind::DateTimeOffset)
            collation = QLatin1String(dates::kInstantCollation);
        else if (type.isString() && type.collation.isEmpty() && !isBareColumn(ctx, b, e)
            && ctx.firstAtTopLevel(b, e, [](const Token& tok) { return tok.is("collate"); }) >= e)
            collation = collationNameFor(QString(), type.kind == Kind::NText);   // no column's: the server's own
        if (collation.isEmpty()) continue;
        size_t at = vEnd;
        if (e < T.size() && (T[e].isSymbol(",") || T[e].is("asc") || T[e].is("desc")))
            for (size_t x = i + 2; x < vEnd; ++x)
                if (v[x].t.pos == T[e].pos && v[x].t.text == T[e].text) at = x;
        v.insert(v.begin() + long(at), raw(QStringLiteral("COLLATE ") + collation));
    }
}

}   // namespace

std::vector<int> nameResultColumns(Vec& v, size_t at)
{
    std::vector<int> unnamed;
    if (at >= v.size() || !v[at].t.is("select")) return unnamed;
    size_t i = at + 1;
    if (i < v.size() && (v[i].t.is("distinct") || v[i].t.is("all"))) ++i;
    if (i < v.size() && v[i].t.is("top")) {
        i = (i + 1 < v.size() && v[i + 1].t.isSymbol("(")) ? closeOf(v, i + 1, v.size()) + 1 : i + 2;
        if (i < v.size() && v[i].t.is("percent")) ++i;
        if (i + 1 < v.size() && v[i].t.is("with") && v[i + 1].t.is("ties")) i += 2;
    }
    const size_t listEnd = topLevel(v, i,
        {"from", "into", "where", "group", "having", "order", "union", "except", "intersect", "option", "for"});
    std::vector<std::pair<size_t, size_t>> items;
    size_t start = i;
    for (size_t k = i; k < listEnd; ++k) {
        if (v[k].t.isSymbol("(")) {
            k = closeOf(v, k, listEnd);
        } else if (v[k].t.is("case")) {
            k = caseEnd(v, k, listEnd);
        } else if (v[k].t.isSymbol(",")) {
            items.emplace_back(start, k);
            start = k + 1;
        }
    }
    items.emplace_back(start, listEnd);
    Vec out(v.begin(), v.begin() + long(i));
    for (size_t n = 0; n < items.size(); ++n) {
        auto [x, y] = items[n];
        if (n > 0) out.push_back(symbol(","));
        bool plain = x < y && (y - x) % 2 == 1;
        for (size_t k = x; plain && k < y; ++k)
            // (a variable is an expression: its column has no name)
            plain = (k - x) % 2 == 0 ? (v[k].t.isName() && !isExpressionBoundary(v[k].t) && !v[k].t.text.startsWith(u'@'))
                    || v[k].t.isSymbol("*")
                                     : v[k].t.isSymbol(".");
        const bool assigned = y - x > 2 && v[x].t.isName() && v[x + 1].t.isSymbol("=");
        if (assigned && !v[x].t.text.startsWith(u'@')) {
            // alias = expression
            out.insert(out.end(), v.begin() + long(x + 2), v.begin() + long(y));
            out.push_back(word("as"));
            out.push_back(raw(quoteName(v[x].t.text)));
            continue;
        }
        out.insert(out.end(), v.begin() + long(x), v.begin() + long(y));
        const bool aliased = y - x >= 2
            && (v[y - 2].t.is("as")
                || ((v[y - 1].t.isName() || v[y - 1].t.kind == TokenKind::String) && !isExpressionBoundary(v[y - 1].t)
                    && endsOperand(v[y - 2].t) && !v[y - 2].t.isSymbol(".")));
        if (plain || aliased || assigned || x >= y) continue;
        unnamed.push_back(int(n));
    }
    out.insert(out.end(), v.begin() + long(listEnd), v.end());
    v = std::move(out);
    return unnamed;
}

namespace {

// COLLATE collation after the expression that ends before the batch's token e (just after
// its last token, or before e when that token was written anew), with AS when an alias without
// one follows, so that the alias still names the column.
void collateAt(const TranslationContext& ctx, Vec& v, size_t b, size_t e, const QString& collation, bool aliasFollows)
{
    Vec inserted{raw(QStringLiteral("COLLATE ") + collation)};
    if (aliasFollows) inserted.push_back(word("as"));
    size_t at = placeOf(ctx, v, e - 1);
    if (at < v.size()) {
        ++at;
    } else {
        // only an expression of this statement's (v holds one statement of the batch)
        bool here = false;
        for (size_t k = b; k < e && !here; ++k) here = placeOf(ctx, v, k) < v.size();
        if (!here || e >= ctx.tokens().size()) return;
        at = placeOf(ctx, v, e);
        if (at >= v.size()) return;
    }
    v.insert(v.begin() + long(at), inserted.begin(), inserted.end());
}

// The text expression [b, e) collated as the server collates it when SQLite would take none
// from it: an expression over a column has the column's collation, any other text (a literal,
// a variable) the server's own. A column named alone brings its own; so does COLLATE.
void collateComputedText(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t b, size_t e,
    bool aliasFollows)
{
    if (b >= e || isBareColumn(ctx, b, e)) return;
    if (ctx.firstAtTopLevel(b, e, [](const Token& tok) { return tok.is("collate"); }) < e) return;
    const SqlType t = typer.typeOf(b, e);
    if (!t.isString()) return;
    collateAt(ctx, v, b, e, t.collation.isEmpty() ? collationNameFor(QString(), t.kind == Kind::NText) : t.collation,
        aliasFollows);
}

// The items of the select list that begins after the batch's token at (a select), each
// without its alias.
std::vector<std::pair<size_t, size_t>> selectedExpressions(const TranslationContext& ctx, size_t at)
{
    const auto& T = ctx.tokens();
    std::vector<std::pair<size_t, size_t>> out;
    size_t i = at + 1;
    if (i < T.size() && (T[i].is("distinct") || T[i].is("all"))) ++i;
    if (i < T.size() && T[i].is("top")) {
        i = (i + 1 < T.size() && T[i + 1].isSymbol("(")) ? ctx.matching(i + 1, T.size()) + 1 : i + 2;
        if (i < T.size() && T[i].is("percent")) ++i;
        if (i + 1 < T.size() && T[i].is("with") && T[i + 1].is("ties")) i += 2;
    }
    auto ends = [](const Token& t) {
        return t.isSymbol(")") || t.isSymbol(";") || isStatementWord(t)
            || isOneOf(t, {"from", "into", "where", "group", "having", "order", "union", "except", "intersect",
                              "option", "for"});
    };
    size_t start = i, k = i;
    for (; k < T.size() && !ends(T[k]); ++k) {
        if (T[k].isSymbol("("))
            k = ctx.matching(k, T.size());
        else if (T[k].is("case"))
            k = ctx.groupEnd(k, T.size());
        else if (T[k].isSymbol(",")) {
            out.emplace_back(start, k);
            start = k + 1;
        }
    }
    out.emplace_back(start, std::min(k, T.size()));
    for (auto& [x, y] : out) {
        if (y - x > 2 && T[x].isName() && T[x + 1].isSymbol("=")) {
            x = T[x].text.startsWith(u'@') ? y : x + 2;   // an assignment is no column
        } else if (y - x >= 3 && T[y - 2].is("as")) {
            y -= 2;
        } else if (y - x >= 2 && (T[y - 1].isName() || T[y - 1].kind == TokenKind::String)
            && !isExpressionBoundary(T[y - 1]) && endsOperand(T[y - 2]) && !T[y - 2].isSymbol(".")) {
            y -= 1;
        }
    }
    return out;
}

// Whether the select at the batch's token at ends in FOR XML or FOR JSON.
bool shapedByForClause(const TranslationContext& ctx, size_t at)
{
    const auto& T = ctx.tokens();
    for (size_t k = at + 1; k < T.size(); ++k) {
        if (T[k].isSymbol("("))
            k = ctx.matching(k, T.size());
        else if (T[k].is("case"))
            k = ctx.groupEnd(k, T.size());
        else if (T[k].isSymbol(")") || T[k].isSymbol(";") || (isStatementWord(T[k]) && !T[k].is("select")))
            return false;
        else if (T[k].is("for") && k + 1 < T.size() && (T[k + 1].is("xml") || T[k + 1].is("json")))
            return true;
    }
    return false;
}

// Texts that a select computes, and those of the first row of VALUES in FROM, carry their
// collation into the columns they make: DISTINCT, UNION, GROUP BY and ORDER BY over a derived
// table's or a union's columns then compare them as the server does (case-insensitive, 'Ç'
// before 'Z'), not byte by byte.
void collateComputedColumns(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v)
{
    const auto& T = ctx.tokens();
    // the batch's tokens of this statement
    size_t first = T.size(), last = 0;
    for (const auto& x : v)
        if (const size_t k = indexOf(ctx, x.t); k < T.size()) {
            first = std::min(first, k);
            last = std::max(last, k);
        }
    if (first >= T.size()) return;
    for (size_t k = last + 1; k-- > first;) {
        if (T[k].is("select")) {
            if (shapedByForClause(ctx, k)) continue;   // its columns become XML or JSON
            const auto items = selectedExpressions(ctx, k);
            for (auto it = items.rbegin(); it != items.rend(); ++it) {
                const auto [b, e] = *it;
                // (the list's items end before an alias written without AS)
                const bool aliasFollows = e < T.size() && (T[e].isName() || T[e].kind == TokenKind::String)
                    && !isExpressionBoundary(T[e]) && !isStatementWord(T[e]) && !T[e].is("as")
                    && e + 1 <= T.size() && (e + 1 == T.size() || !T[e + 1].isSymbol("."));
                collateComputedText(ctx, typer, v, b, e, aliasFollows);
            }
        } else if (T[k].is("partition") && k + 2 < T.size() && T[k + 1].is("by")) {
            // the items up to the window's ORDER BY, ROWS or RANGE, or its end
            size_t end = k + 2;
            for (; end < T.size() && !T[end].isSymbol(")") && !isOneOf(T[end], {"order", "rows", "range"}); ++end)
                if (T[end].isSymbol("(")) end = ctx.matching(end, T.size());
            const auto items = ctx.splitTop(k + 2, end, [&](size_t x) { return T[x].isSymbol(","); });
            for (auto it = items.rbegin(); it != items.rend(); ++it) collateComputedText(ctx, typer, v, it->first, it->second, false);
        } else if ((T[k].is("min") || T[k].is("max") || T[k].is("count")) && k + 1 < T.size() && T[k + 1].isSymbol("(")) {
            // the extremes of texts and the distinct ones counted
            size_t b = k + 2;
            const size_t close = ctx.matching(k + 1, T.size());
            if (b < close && (T[b].is("distinct") || T[b].is("all"))) ++b;
            if (T[k].is("count") && !T[k + 2].is("distinct")) continue;
            collateComputedText(ctx, typer, v, b, close, false);
        } else if (T[k].is("case") && k + 1 < T.size() && !T[k + 1].is("when")) {
            // the operand that CASE x WHEN compares
            const size_t end = ctx.firstAtTopLevel(k + 1, ctx.groupEnd(k, T.size()), [](const Token& t) { return t.is("when"); });
            collateComputedText(ctx, typer, v, k + 1, end, false);
        } else if (T[k].is("values") && k > 0 && T[k - 1].isSymbol("(") && k + 1 < T.size() && T[k + 1].isSymbol("(")) {
            const size_t close = ctx.matching(k + 1, T.size());
            const auto items = ctx.splitTop(k + 2, close, [&](size_t x) { return T[x].isSymbol(","); });
            for (auto it = items.rbegin(); it != items.rend(); ++it) collateComputedText(ctx, typer, v, it->first, it->second, false);
        }
    }
}

}   // namespace

void rewriteByType(TranslationContext& ctx, Vec& v)
{
    if (!ctx.schema()) return;
    const ExpressionTyper typer(ctx);
    convertBranchesToResultType(ctx, typer, v);
    collateComputedColumns(ctx, typer, v);
    compareByPrecedence(ctx, typer, v);
    compareOtherFormsExactly(ctx, typer, v);
    const auto& T = ctx.tokens();
    for (size_t i = v.size(); i-- > 0;) {
        const Token& t = v[i].t;
        if (t.is("group") && i + 1 < v.size() && v[i + 1].t.is("by")) {
            groupByKeys(ctx, typer, v, i + 2);
            continue;
        }
        if (t.is("order") && i + 1 < v.size() && v[i + 1].t.is("by")) {
            orderInstants(ctx, typer, v, i);
            orderByExactKeys(ctx, typer, v, i + 2);
            continue;
        }
        if ((t.is("min") || t.is("max")) && i + 1 < v.size() && v[i + 1].t.isSymbol("(")) {
            extremeExactly(ctx, typer, v, i);
            continue;
        }
        if (t.isSymbol("+") || t.isSymbol("-") || t.isSymbol("*") || t.isSymbol("/") || t.isSymbol("%")) {
            if (v[i].t.isSymbol("%")) refuseFloatModulo(ctx, typer, v, i);
            if (ctx.failed()) return;
            i = textOperandAsNumber(ctx, typer, v, i);
            size_t next = exactArithmetic(ctx, typer, v, i);
            if (next == i) next = dateArithmetic(ctx, typer, v, i);
            if (next == i) next = integerArithmetic(ctx, typer, v, i);
            if (ctx.failed()) return;
            if (next != i)
                i = next;
            else if (v[i].t.isSymbol("/"))
                divideAsTyped(ctx, typer, v, i);
            else if (v[i].t.isSymbol("-"))
                negateExactly(ctx, typer, v, i);
            continue;
        }
        if (t.is("iif")) {
            const size_t k = indexOf(ctx, t);
            if (k + 1 >= T.size() || !T[k + 1].isSymbol("(")) continue;
            const auto targs = ctx.splitTop(k + 2, ctx.matching(k + 1, T.size()), [&](size_t x) { return T[x].isSymbol(","); });
            auto isNull = [&](size_t n) { return targs[n].second == targs[n].first + 1 && T[targs[n].first].is("null"); };
            if (targs.size() == 3 && isNull(1) && isNull(2))
                ctx.fail(QStringLiteral("At least one of the result expressions in a CASE specification must be an "
                                        "expression other than the NULL constant."),
                    8133, k);
            continue;
        }
        if (t.is("coalesce")) {
            // a result needs a type: one argument at least must be no NULL constant
            const size_t k = indexOf(ctx, t);
            if (k + 1 >= T.size() || !T[k + 1].isSymbol("(")) continue;
            const auto targs = ctx.splitTop(k + 2, ctx.matching(k + 1, T.size()), [&](size_t x) { return T[x].isSymbol(","); });
            if (!targs.empty() && std::all_of(targs.begin(), targs.end(), [&](const auto& a) {
                    return a.second == a.first + 1 && T[a.first].is("null");
                }))
                ctx.fail(QStringLiteral("At least one of the arguments to COALESCE must be an expression that is not the "
                                        "NULL constant."),
                    4127, k);
            continue;
        }
        if (t.text == u"orra_format" && i + 1 < v.size() && v[i + 1].t.isSymbol("(")) {
            formatAsKept(ctx, typer, v, i);
            continue;
        }
        if (t.isSymbol("~")) {
            // NOT of a bit or a tinyint stays in its type: ~1 of bit is 0, ~1 of tinyint 254
            const size_t k = indexOf(ctx, t);
            if (k >= T.size()) continue;
            const size_t end = operandEnd(ctx, k + 1);
            const Kind kind = typer.typeOf(k + 1, end).kind;
            if (kind != Kind::Bit && kind != Kind::TinyInt) continue;
            const auto r = placesBetween(ctx, v, k + 1, end);
            if (!r || r->first != i + 1) continue;
            v.insert(v.begin() + long(r->second), symbol(")"));
            v.erase(v.begin() + long(i));
            v.insert(v.begin() + long(i), {symbol("("), number(kind == Kind::Bit ? QStringLiteral("1") : QStringLiteral("255")),
                                              symbol("-")});
            continue;
        }
        if (t.is("like")) {
            likeOperandsAsText(ctx, typer, v, i);
            continue;
        }
        if (t.text == u"orra_datalength" && i + 1 < v.size() && v[i + 1].t.isSymbol("(")) {
            dataLengthAsTyped(ctx, typer, v, i);
            continue;
        }
        if (t.kind != TokenKind::Word || i + 1 >= v.size() || !v[i + 1].t.isSymbol("(")) continue;
        const bool sum = t.is("sum"), avg = t.is("avg"), round = t.is("round"), abs = t.is("abs"),
                   power = t.is("power"), isnull = t.is("isnull"), angle = t.is("degrees") || t.is("radians"),
                   nullif = t.is("nullif"), offset = t.is("lag") || t.is("lead");
        if (!sum && !avg && !round && !abs && !power && !isnull && !angle && !nullif && !offset) continue;
        const size_t k = indexOf(ctx, t);
        if (k + 1 >= T.size() || !T[k + 1].isSymbol("(")) continue;
        const size_t close = closeOf(v, i + 1, v.size());
        if (close >= v.size()) continue;
        const size_t tclose = ctx.matching(k + 1, T.size());
        const auto targs = ctx.splitTop(k + 2, tclose, [&](size_t x) { return T[x].isSymbol(","); });
        if (targs.empty() || T[targs[0].first].is("distinct")) continue;
        const SqlType a = typer.typeOf(targs[0].first, targs[0].second);
        const auto args = arguments(v, i + 1, close);
        if (sum || avg) {
            if (a.kind == Kind::Bit) {
                ctx.fail(QStringLiteral("Operand data type bit is invalid for %1 operator.").arg(sum ? u"sum" : u"avg"),
                    8117, k);
                return;
            }
            if (a.isExact()) {
                v[i].out = sum ? QStringLiteral("orra_exact_sum") : QStringLiteral("orra_exact_avg");
                const Vec more = sum ? numbers({a.scale}) : numbers({a.scale, a.isMoney() ? 4 : std::max(a.scale, 6)});
                v.insert(v.begin() + long(close), more.begin(), more.end());
            } else if (avg && a.isInteger()) {
                v[i].out = QStringLiteral("orra_int_avg");
            } else if (sum && a.isInteger()) {
                // a total beyond its type (int, or bigint for bigint) is the server's overflow
                size_t end = close + 1;
                const bool over = end < v.size() && v[end].t.is("over");
                if (over && end + 1 < v.size() && v[end + 1].t.isSymbol("(")) end = closeOf(v, end + 1, v.size()) + 1;
                if (end <= v.size() && (!over || end > close + 1)) wrap(v, i, end, "orra_int_check", numbers({a.kind == Kind::BigInt ? 64 : 32}));
            }
        } else if (round) {
            if (args.size() < 2) continue;
            // int, smallint and tinyint round to an int, which may overflow (bigint checks its own)
            if (a.isInteger() && a.kind != Kind::BigInt && a.kind != Kind::Bit)
                wrap(v, i, close + 1, "orra_int_check", numbers({32}));
            if (!a.isExact()) continue;
            const SqlType r = a.isMoney() ? SqlType::fromDeclared(QStringLiteral("money")) : a;
            v[i].out = QStringLiteral("orra_round");
            Vec more;
            if (args.size() < 3) more = numbers({0});
            const Vec typeArgs = numbers({exactPrecision(r), r.scale});
            more.insert(more.end(), typeArgs.begin(), typeArgs.end());
            v.insert(v.begin() + long(close), more.begin(), more.end());
        } else if (abs) {
            if (a.kind == Kind::Int || a.kind == Kind::SmallInt || a.kind == Kind::TinyInt)
                wrap(v, i, close + 1, "orra_int_check", numbers({32}));
            else if (a.kind == Kind::BigInt || a.isExact())
                v[i].out = QStringLiteral("orra_abs");
        } else if (nullif) {
            // two texts compare under the server's collation (case-insensitive), which SQLite
            // applies only to a column named alone: the first argument carries it
            if (args.size() != 2 || targs.size() != 2) continue;
            const SqlType b = typer.typeOf(targs[1].first, targs[1].second);
            if (!a.isString() || !b.isString() || isBareColumn(ctx, targs[0].first, targs[0].second)) continue;
            const QString collation = !a.collation.isEmpty() ? a.collation
                : !b.collation.isEmpty()                   ? b.collation
                    : collationNameFor(QString(), a.kind == Kind::NText || b.kind == Kind::NText);
            v.insert(v.begin() + long(args[0].second), raw(QStringLiteral("COLLATE ") + collation));
        } else if (angle) {
            // DEGREES and RADIANS keep an integer argument's type: RADIANS(180) is 3
            if (a.isInteger() && a.kind != Kind::Bit) convertTo(v, i, close + 1, a);
        } else if (power) {
            // tinyint and smallint give an int; a result the type cannot hold is its overflow
            if (a.isInteger())
                convertTo(v, i, close + 1, SqlType::fromDeclared(a.kind == Kind::BigInt ? QStringLiteral("bigint") : QStringLiteral("int")));
            else if (a.isExact())
                convertTo(v, i, close + 1, a.kind == Kind::Decimal ? SqlType::decimal(38, a.scale) : a);
        } else if (isnull && args.size() == 2 && targs.size() == 2) {
            const SqlType b = typer.typeOf(targs[1].first, targs[1].second);
            if (a.isString() && b.isString()) {
                // the replacement takes the checked text's type: a longer one is cut to its length
                if (a.length > 0 && (b.length <= 0 || b.length > a.length))
                    wrap(v, args[1].first, args[1].second, "orra_varchar", numbers({a.length}));
                continue;
            }
            if (a.kind == b.kind && (!a.isExact() || (a.precision == b.precision && a.scale == b.scale))) continue;
            if (b.kind == Kind::Null || b.kind == Kind::Unknown) continue;
            convertTo(v, args[1].first, args[1].second, a);
        } else if (offset && args.size() == 3 && targs.size() == 3) {
            // LAG's and LEAD's default comes back as the type of the values they read
            const SqlType d = typer.typeOf(targs[2].first, targs[2].second);
            if (a.kind == Kind::Unknown || d.kind == Kind::Null || d.kind == Kind::Unknown) continue;
            if (a.isString() && d.isString()) continue;
            if (a.kind == d.kind && (!a.isExact() || (a.precision == d.precision && a.scale == d.scale))) continue;
            convertTo(v, args[2].first, args[2].second, a);
        }
    }
    convertWrittenValues(ctx, v);
}

void rewriteDateArithmetic(TranslationContext& ctx, Vec& v)
{
    if (!ctx.schema()) return;
    const ExpressionTyper typer(ctx);
    for (size_t i = v.size(); i-- > 0 && !ctx.failed();) {
        const Token& t = v[i].t;
        if (t.isSymbol("+") || t.isSymbol("-") || t.isSymbol("*") || t.isSymbol("/") || t.isSymbol("%"))
            i = dateArithmetic(ctx, typer, v, i);
    }
}

QStringList resultTypes(const TranslationContext& ctx, size_t b)
{
    QStringList out;
    if (!ctx.schema()) return out;
    for (const SqlType& t : ExpressionTyper(ctx).selectTypes(b)) out << t.declaration();
    return out;
}

}   // namespace orra::embedded::translator
