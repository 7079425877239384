#include "platform/text/AnsiCodePage.h"

#include <gtest/gtest.h>

using orra::text::AnsiCodePage;

TEST(AnsiCodePage, Windows1254IsTheDefaultAndRoundTripsEveryByte)
{
    const AnsiCodePage cp(1254);
    EXPECT_EQ(cp.number(), 1254);
    for (int b = 0; b < 256; ++b) {
        const char16_t ch = cp.toChar(static_cast<uint8_t>(b));
        EXPECT_EQ(cp.toByte(ch), b) << "byte " << b;
    }
}

TEST(AnsiCodePage, TurkishLettersHaveTheirWindows1254Bytes)
{
    const AnsiCodePage cp(1254);
    EXPECT_EQ(cp.toByte(u'ş'), 0xFE);
    EXPECT_EQ(cp.toByte(u'Ş'), 0xDE);
    EXPECT_EQ(cp.toByte(u'ğ'), 0xF0);
    EXPECT_EQ(cp.toByte(u'Ğ'), 0xD0);
    EXPECT_EQ(cp.toByte(u'İ'), 0xDD);
    EXPECT_EQ(cp.toByte(u'ı'), 0xFD);
    EXPECT_EQ(cp.toByte(u'€'), 0x80);
    EXPECT_EQ(cp.toChar(0xDD), u'İ');
    EXPECT_EQ(cp.toChar(0x80), u'€');
}

TEST(AnsiCodePage, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    const AnsiCodePage cp(1254);
    EXPECT_EQ(cp.toByte(u'Ж'), '?');
    EXPECT_EQ(cp.toByte(u'中'), '?');
    EXPECT_FALSE(cp.contains(u'Ж'));
    EXPECT_TRUE(cp.contains(u'?'));
    EXPECT_EQ(cp.encode(QStringLiteral("aЖb")), QByteArray("a?b"));
    // 1252 has no ş: the same letter that 1254 maps is a question mark there.
    const AnsiCodePage western(1252);
    EXPECT_EQ(western.toByte(u'ş'), '?');
    EXPECT_EQ(western.toByte(u'é'), 0xE9);
}

TEST(AnsiCodePage, EncodeAndDecodeAreInverseOverEveryByte)
{
    for (int number : {1250, 1251, 1252, 1253, 1254, 1257}) {
        const AnsiCodePage cp(number);
        QByteArray all;
        for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
        EXPECT_EQ(cp.encode(cp.decode(all)), all) << "code page " << number;
    }
}

TEST(AnsiCodePage, SystemCodePageIsSettableAndKeepsEarlierReferencesValid)
{
    const AnsiCodePage& before = AnsiCodePage::system();
    const int original = before.number();
    EXPECT_FALSE(AnsiCodePage::setSystem(437));
    ASSERT_TRUE(AnsiCodePage::setSystem(1251));
    EXPECT_EQ(AnsiCodePage::system().number(), 1251);
    EXPECT_EQ(AnsiCodePage::system().toByte(u'Ж'), 0xC6);
    EXPECT_EQ(before.number(), original);   // the old object is still alive
    ASSERT_TRUE(AnsiCodePage::setSystem(original));
}
