// The VBScript-style regular expression over QRegularExpression.

#include "platform/host/Error.h"
#include "platform/text/RegExp.h"

#include <gtest/gtest.h>

TEST(RegExp, ExecuteFirstOrAll)
{
    orra::RegExp re;
    re.pattern = QStringLiteral("(\\d+)-(x)?");
    auto one = re.execute(QStringLiteral("a 12- b 345-x"));
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].firstIndex, 2);
    EXPECT_EQ(one[0].length, 3);
    EXPECT_EQ(one[0].value, "12-");
    EXPECT_EQ(one[0].subMatches, QStringList({"12", ""}));
    EXPECT_EQ(one[0].subMatched, QList<bool>({true, false}));
    re.global = true;
    auto all = re.execute(QStringLiteral("a 12- b 345-x"));
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[1].firstIndex, 8);
    EXPECT_EQ(all[1].subMatches, QStringList({"345", "x"}));
}

TEST(RegExp, OptionsAndTest)
{
    orra::RegExp re;
    re.pattern = QStringLiteral("^abc$");
    EXPECT_FALSE(re.test(QStringLiteral("x\nABC")));
    re.ignoreCase = true;
    EXPECT_FALSE(re.test(QStringLiteral("x\nABC")));
    re.multiline = true;
    EXPECT_TRUE(re.test(QStringLiteral("x\nABC")));
}

TEST(RegExp, ReplaceTokens)
{
    orra::RegExp re;
    re.pattern = QStringLiteral("(\\w)(\\w)");
    re.global = true;
    EXPECT_EQ(re.replace(QStringLiteral("ab cd"), QStringLiteral("$2$1")), "ba dc");
    EXPECT_EQ(re.replace(QStringLiteral("ab"), QStringLiteral("<$&|$$|$3>")), "<ab|$|$3>");
    re.global = false;
    EXPECT_EQ(re.replace(QStringLiteral("ab cd"), QStringLiteral("[$`]")), "[] cd");
    re.pattern = QStringLiteral("x*");
    re.global = true;
    EXPECT_EQ(re.replace(QStringLiteral("ab"), QStringLiteral("-")), "-a-b-");
}

TEST(RegExp, InvalidPattern)
{
    orra::RegExp re;
    re.pattern = QStringLiteral("a(b");
    try {
        re.test(QStringLiteral("ab"));
        FAIL() << "no error";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), 5017);
        EXPECT_EQ(e.description(), "Syntax error in regular expression");
    }
}
