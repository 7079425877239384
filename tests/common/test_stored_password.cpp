#include "common/StoredPassword.h"
#include "platform/text/AnsiCodePage.h"
#include "platform/host/Error.h"

#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

using namespace orra;

namespace {

class StoredPassword : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(text::AnsiCodePage::setSystem(1254)); }
};

void expectMalformed(const QString& stored)
{
    try {
        DecodePassword(stored, QStringLiteral("tarvok"));
        ADD_FAILURE() << "no error for " << stored.toStdString();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kMalformedStoredPasswordError);
        EXPECT_EQ(e.source(), "DecodePassword");
        EXPECT_EQ(e.description(), "The stored password is malformed") << stored.toStdString();
    }
}

}   // namespace

TEST_F(StoredPassword, KnownForms)
{
    EXPECT_EQ(ScramblePassword("abc", "tarvok"), "21;3;17;");   // 97^116, 98^97, 99^114
    EXPECT_EQ(DecodePassword("21;3;17;", "tarvok"), "abc");
    EXPECT_EQ(DecodePassword("21;3;17;"), "abc");   // the fixed key by default
    EXPECT_EQ(kStoredPasswordKey, "tarvok");
    // Turkish letters go through the code page: ş is 0xFE in Windows-1254, 0xFE ^ 't' = 138.
    EXPECT_EQ(ScramblePassword(QStringLiteral("ş"), "tarvok"), "138;");
    EXPECT_EQ(DecodePassword("138;", "tarvok"), QStringLiteral("ş"));
}

TEST_F(StoredPassword, EmptyPasswordIsEmptyText)
{
    EXPECT_EQ(ScramblePassword("", "tarvok"), "");
    EXPECT_TRUE(DecodePassword("", "tarvok").isEmpty());
    EXPECT_EQ(ScramblePassword("", ""), "");
}

TEST_F(StoredPassword, KeyRepeatsForLongPasswords)
{
    const QString stored = ScramblePassword("aaaaaaaa", "tarvok");
    const QStringList parts = stored.split(';');
    ASSERT_EQ(parts.size(), 9);
    EXPECT_TRUE(parts.last().isEmpty());
    EXPECT_EQ(parts[6], parts[0]);   // character 7 pairs with key character 1
    EXPECT_EQ(parts[7], parts[1]);
    EXPECT_EQ(parts[0].toInt(), 'a' ^ 't');
    EXPECT_EQ(parts[5].toInt(), 'a' ^ 'k');
    // A key shorter than half the password is doubled more than once.
    EXPECT_EQ(ScramblePassword("abcde", "xy"),
        QStringLiteral("%1;%2;%3;%4;%5;").arg('a' ^ 'x').arg('b' ^ 'y').arg('c' ^ 'x').arg('d' ^ 'y').arg('e' ^ 'x'));
}

TEST_F(StoredPassword, EveryCharacterOfTheCodePageRoundTrips)
{
    const auto& cp = text::AnsiCodePage::system();
    QString all;
    for (int b = 0; b < 256; ++b) {
        const QString one(QChar(cp.toChar(uint8_t(b))));
        const QString stored = ScramblePassword(one, "tarvok");
        EXPECT_EQ(stored, QString::number(b ^ 't') + ";") << b;
        EXPECT_EQ(DecodePassword(stored, "tarvok"), one) << b;
        all += one;
    }
    // All 256 characters in one password, far longer than the key, under two keys.
    EXPECT_EQ(DecodePassword(ScramblePassword(all, "tarvok"), "tarvok"), all);
    EXPECT_EQ(DecodePassword(ScramblePassword(all, QStringLiteral("Şifre")), QStringLiteral("Şifre")), all);
    // The reverse order too, so every character meets every key position.
    QString reversed = all;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(DecodePassword(ScramblePassword(reversed + "x", "tarvok"), "tarvok"), reversed + "x");
}

TEST_F(StoredPassword, AnotherKeyDoesNotDecode)
{
    const QString stored = ScramblePassword("secret", "other");
    EXPECT_NE(DecodePassword(stored, "tarvok"), "secret");
}

TEST_F(StoredPassword, MalformedStoredFormsGiveOneClearError)
{
    expectMalformed("21;3;17");   // final ';' missing: would lose the last character
    expectMalformed("21;x;17;");
    expectMalformed("21;-3;17;");
    expectMalformed("256;");   // beyond a byte
    expectMalformed(";");
    expectMalformed("21;;");
    expectMalformed(" 21;");
    expectMalformed("abc");
}

TEST_F(StoredPassword, AnEmptyKeyIsRefused)
{
    EXPECT_THROW(ScramblePassword("abc", ""), Error);
    EXPECT_THROW(DecodePassword("21;", ""), Error);
}
