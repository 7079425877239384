#include "platform/db/embedded/Collation.h"

#include "PrintQString.h"

#include <gtest/gtest.h>

using namespace orra::embedded;

namespace {
int cmp(const QString& a, const QString& b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    const int r = turkishCompare(x.constData(), int(x.size()), y.constData(), int(y.size()));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}
}   // namespace

TEST(Collation, TurkishCaseFolding)
{
    EXPECT_EQ(cmp(QStringLiteral("kitap"), QStringLiteral("KİTAP")), 0);
    EXPECT_NE(cmp(QStringLiteral("kitap"), QStringLiteral("KITAP")), 0);
    EXPECT_EQ(cmp(QStringLiteral("ılık"), QStringLiteral("ILIK")), 0);
    EXPECT_EQ(cmp(QStringLiteral("şeker"), QStringLiteral("ŞEKER")), 0);
    EXPECT_EQ(cmp(QStringLiteral("Ağaç"), QStringLiteral("AĞAÇ")), 0);
}

TEST(Collation, TrailingBlanksIgnored)
{
    EXPECT_EQ(cmp(QStringLiteral("abc"), QStringLiteral("abc     ")), 0);
    EXPECT_NE(cmp(QStringLiteral(" abc"), QStringLiteral("abc")), 0);
}

TEST(Collation, TurkishAlphabetOrder)
{
    EXPECT_LT(cmp(QStringLiteral("c"), QStringLiteral("ç")), 0);
    EXPECT_LT(cmp(QStringLiteral("ç"), QStringLiteral("d")), 0);
    EXPECT_LT(cmp(QStringLiteral("ı"), QStringLiteral("i")), 0);
    EXPECT_LT(cmp(QStringLiteral("i"), QStringLiteral("j")), 0);
    EXPECT_LT(cmp(QStringLiteral("o"), QStringLiteral("ö")), 0);
    EXPECT_LT(cmp(QStringLiteral("ö"), QStringLiteral("p")), 0);
    EXPECT_LT(cmp(QStringLiteral("ab"), QStringLiteral("abc")), 0);
}

TEST(Collation, LikePatterns)
{
    EXPECT_TRUE(turkishLike(QStringLiteral("kİt%"), QStringLiteral("kitap")));
    EXPECT_FALSE(turkishLike(QStringLiteral("KIT%"), QStringLiteral("kitap")));
    EXPECT_TRUE(turkishLike(QStringLiteral("_a[rs]%"), QStringLiteral("Bar")));
    EXPECT_FALSE(turkishLike(QStringLiteral("_a[^rs]%"), QStringLiteral("Bar")));
    EXPECT_TRUE(turkishLike(QStringLiteral("[a-c]x"), QStringLiteral("Bx")));
    EXPECT_TRUE(turkishLike(QStringLiteral("10!%"), QStringLiteral("10%"), u'!'));
    EXPECT_FALSE(turkishLike(QStringLiteral("10!%"), QStringLiteral("100"), u'!'));
}
