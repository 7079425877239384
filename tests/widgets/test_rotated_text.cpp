// Text printed rotated: the rotation's rounding, the font height, the drawing's orientation and
// the surface's font left as it was.

#include "platform/widgets/RotatedText.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

void ensureApp()
{
    static int argc = 1;
    static char name[] = "test_rotated_text";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

// The bounding box of the pixels that are not the background.
QRect inked(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) box |= QRect(x, y, 1, 1);
    return box;
}

QImage surface()
{
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDotsPerMeterX(3780);   // 96 dpi
    image.setDotsPerMeterY(3780);
    return image;
}

}   // namespace

TEST(RotatedText, TheEscapementRoundsHalvesToEven)
{
    EXPECT_EQ(orra::RotatedTextEscapement(270.0f), 2700);
    EXPECT_EQ(orra::RotatedTextEscapement(0.0f), 0);
    EXPECT_EQ(orra::RotatedTextEscapement(22.25f), 222);
    EXPECT_EQ(orra::RotatedTextEscapement(22.75f), 228);
    EXPECT_EQ(orra::RotatedTextEscapement(-22.25f), -222);
}

TEST(RotatedText, TheFontHeightIsThePointSizeAtTheSurfacesResolution)
{
    EXPECT_EQ(orra::RotatedTextPixelHeight(10, 96), 13);    // 13.33
    EXPECT_EQ(orra::RotatedTextPixelHeight(10, 120), 17);   // 16.67
    EXPECT_EQ(orra::RotatedTextPixelHeight(9, 96), 12);     // exactly 12
    EXPECT_EQ(orra::RotatedTextPixelHeight(3, 60), 3);      // 2.5 rounds up
}

TEST(RotatedText, At270DegreesTheTextRunsDownwardsLeftOfThePoint)
{
    ensureApp();
    QImage image = surface();
    orra::PrintRotatedText(
        image, QStringLiteral("Object Explorer"), 100, 20, QStringLiteral("Tahoma"), 10, 270, 400, 0, 0, 0);
    const QRect box = inked(image);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GT(box.height(), 3 * box.width());
    EXPECT_LE(box.right(), 100);
    EXPECT_GE(box.top(), 20);
    EXPECT_GT(box.left(), 100 - 20);
}

TEST(RotatedText, AtZeroDegreesTheTextRunsToTheRightBelowThePoint)
{
    ensureApp();
    QImage image = surface();
    orra::PrintRotatedText(image, QStringLiteral("Object Explorer"), 10, 50, QStringLiteral("Tahoma"), 10, 0, 700);
    const QRect box = inked(image);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GT(box.width(), 3 * box.height());
    EXPECT_GE(box.left(), 10);
    EXPECT_GE(box.top(), 50);
    EXPECT_LE(box.bottom(), 50 + 20);
}

TEST(RotatedText, TheSurfacesOwnFontIsLeftAsItWas)
{
    ensureApp();
    QLabel label;
    label.resize(100, 100);
    QFont before = label.font();
    orra::PrintRotatedText(label, QStringLiteral("x"), 50, 50, QStringLiteral("Tahoma"), 24, 90, 700);
    EXPECT_EQ(label.font(), before);
}
