// Variant values, conversions and operators.

#include "platform/vbscript/Interpreter.h"
#include "platform/vbscript/Runtime.h"
#include "platform/vbscript/Variant.h"

#include <gtest/gtest.h>

using namespace orra::vbs;

TEST(Variant, SubtypesAndNames)
{
    EXPECT_EQ(Variant().typeName(), "Empty");
    EXPECT_EQ(Variant::null().varType(), 1);
    EXPECT_EQ(Variant::fromInteger(5).type(), VarType::Integer);
    EXPECT_EQ(Variant::fromInteger(70000).type(), VarType::Long);
    EXPECT_EQ(Variant::fromInteger(5000000000LL).type(), VarType::Double);
    EXPECT_EQ(Variant::nothing().typeName(), "Nothing");
    EXPECT_EQ(Variant::byte(3).typeName(), "Byte");
}

TEST(Variant, NumberText)
{
    EXPECT_EQ(Variant::dbl(0.1 + 0.2).toString(), "0.3");
    EXPECT_EQ(Variant::dbl(1e15).toString(), "1E+15");
    EXPECT_EQ(Variant::dbl(123456789012345.0).toString(), "123456789012345");
    EXPECT_EQ(Variant::dbl(-1.5e-7).toString(), "-1.5E-07");
    EXPECT_EQ(Variant::single(1.1f).toString(), "1.1");
    EXPECT_EQ(Variant::currencyScaled(-12345).toString(), "-1.2345");
    EXPECT_EQ(Variant::currencyScaled(20000).toString(), "2");
    EXPECT_EQ(Variant::boolean(true).toString(), "True");
}

TEST(Variant, ParseNumber)
{
    double d = 0;
    EXPECT_TRUE(parseNumber(" 12.5 ", d));
    EXPECT_DOUBLE_EQ(d, 12.5);
    EXPECT_TRUE(parseNumber("-1e3", d));
    EXPECT_DOUBLE_EQ(d, -1000);
    EXPECT_TRUE(parseNumber("&HFFFF", d));
    EXPECT_DOUBLE_EQ(d, -1);
    EXPECT_TRUE(parseNumber("&o10", d));
    EXPECT_DOUBLE_EQ(d, 8);
    EXPECT_FALSE(parseNumber("", d));
    EXPECT_FALSE(parseNumber("1.2.3", d));
    EXPECT_FALSE(parseNumber("12abc", d));
    EXPECT_FALSE(parseNumber("e5", d));
}

TEST(Variant, ConversionErrors)
{
    auto number = [](auto f) {
        try {
            f();
        } catch (const ScriptError& e) {
            return e.number();
        }
        return 0L;
    };
    EXPECT_EQ(number([] { Variant::string("x").toDouble(); }), 13);
    EXPECT_EQ(number([] { Variant::null().toString(); }), 94);
    EXPECT_EQ(number([] { Variant::dbl(40000).toInteger(); }), 6);
    EXPECT_EQ(number([] { Variant::dbl(3e9).toLong(); }), 6);
    EXPECT_EQ(Variant::dbl(2.5).toInteger(), 2);
    EXPECT_EQ(Variant::dbl(-3.5).toLong(), -4);
    EXPECT_TRUE(Variant::string("TRUE").toBool());
}

TEST(Variant, ArraysAreCopiedOnWrite)
{
    auto arr = std::make_shared<VariantArray>();
    arr->bounds.push_back({0, 2});
    arr->data.resize(2);
    Variant a = Variant::array(arr);
    Variant b = a;
    b.mutableArray()->data[0] = Variant::string("b");
    EXPECT_TRUE(a.rawArray()->data[0].isEmpty());
    EXPECT_EQ(b.rawArray()->data[0].toString(), "b");
    Variant s[] = {Variant::integer(1)};
    EXPECT_EQ(b.rawArray()->flatIndex(s, 1), 1);
    Variant out[] = {Variant::integer(2)};
    EXPECT_EQ(b.rawArray()->flatIndex(out, 1), -1);
}

TEST(Operators, PromotionAndOverflow)
{
    Variant r = ops::add(Variant::integer(32767), Variant::integer(1));
    EXPECT_EQ(r.type(), VarType::Long);
    EXPECT_EQ(r.rawInt(), 32768);
    r = ops::mul(Variant::longValue(2147483647), Variant::integer(2));
    EXPECT_EQ(r.type(), VarType::Double);
    r = ops::add(Variant::string("1"), Variant::string("2"));
    EXPECT_EQ(r.toString(), "12");
    r = ops::sub(Variant::date(10), Variant::date(4));
    EXPECT_EQ(r.type(), VarType::Double);
    r = ops::add(Variant::date(10), Variant::integer(1));
    EXPECT_EQ(r.type(), VarType::Date);
    EXPECT_TRUE(ops::add(Variant::null(), Variant::integer(1)).isNull());
    EXPECT_EQ(ops::concat(Variant::null(), Variant::string("x")).toString(), "x");
    EXPECT_TRUE(ops::concat(Variant::null(), Variant::null()).isNull());
}

TEST(Operators, ComparisonRules)
{
    auto eq = [](const Variant& a, const Variant& b, bool ha = false, bool hb = false) {
        return ops::compare(Op::Eq, a, b, ha, hb);
    };
    EXPECT_FALSE(eq(Variant::integer(1), Variant::string("1")).toBool());        // variables: number < string
    EXPECT_TRUE(eq(Variant::integer(1), Variant::string("1"), true).toBool());   // a literal converts
    EXPECT_TRUE(ops::compare(Op::Lt, Variant::integer(99), Variant::string("1")).toBool());
    EXPECT_TRUE(eq(Variant(), Variant::integer(0)).toBool());
    EXPECT_TRUE(eq(Variant(), Variant::string("")).toBool());
    EXPECT_TRUE(eq(Variant::null(), Variant::null()).isNull());
    EXPECT_TRUE(ops::compare(Op::Lt, Variant::string("B"), Variant::string("a")).toBool());
    EXPECT_EQ(ops::compareValues(Variant::string("B"), Variant::string("a"), true), 1);
}

TEST(Operators, LogicalOperatorsAreBitwiseOnNumbers)
{
    EXPECT_EQ(ops::logical(Op::And, Variant::integer(12), Variant::integer(10)).rawInt(), 8);
    EXPECT_EQ(ops::logical(Op::Or, Variant::integer(12), Variant::integer(10)).rawInt(), 14);
    EXPECT_EQ(ops::notOp(Variant::integer(0)).rawInt(), -1);
    EXPECT_EQ(ops::logical(Op::And, Variant::boolean(true), Variant::boolean(true)).type(), VarType::Boolean);
    EXPECT_EQ(ops::logical(Op::And, Variant::null(), Variant::boolean(false)).type(), VarType::Boolean);
    EXPECT_TRUE(ops::logical(Op::And, Variant::null(), Variant::boolean(true)).isNull());
    EXPECT_TRUE(ops::logical(Op::Or, Variant::null(), Variant::boolean(true)).toBool());
    EXPECT_TRUE(ops::logical(Op::Imp, Variant::boolean(false), Variant::null()).toBool());
}

TEST(Dates, SerialNumbers)
{
    EXPECT_DOUBLE_EQ(makeDate(1900, 1, 1), 2);
    EXPECT_DOUBLE_EQ(makeDate(2021, 13, 1), makeDate(2022, 1, 1));
    DateParts p = splitDate(makeDate(2024, 2, 29) + makeTime(23, 59, 59));
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 2);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.second, 59);
    p = splitDate(-1.25);   // 29 December 1899, 6:00
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 6);
    double d = 0;
    EXPECT_TRUE(parseDate("2021-03-15 14:30", d));
    EXPECT_EQ(formatDate(d), "3/15/2021 2:30:00 PM");
    EXPECT_FALSE(parseDate("31/31/2021", d));
    EXPECT_EQ(weekdayOf(makeDate(2021, 3, 15)), 2);
}
