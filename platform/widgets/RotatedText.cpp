#include "platform/widgets/RotatedText.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <cmath>
#include <cstdint>

namespace orra {

int RotatedTextEscapement(float angle)
{
    return int(std::nearbyint(double(angle) * 10.0));   // the default rounding: halves to even
}

int RotatedTextPixelHeight(int size, int dpiY)
{
    // MulDiv rounds the exact quotient half away from zero.
    const std::int64_t product = std::int64_t(size) * dpiY;
    const std::int64_t half = 36;
    return int(product >= 0 ? (product + half) / 72 : (product - half) / 72);
}

void PrintRotatedText(QPaintDevice& target, const QString& text, float x, float y, const QString& fontName, int size,
    float angle, int weight, int /*italic*/, int /*underline*/, int /*strikeout*/)
{
    QFont font(fontName);
    font.setPixelSize(std::max(1, RotatedTextPixelHeight(size, target.logicalDpiY())));
    font.setWeight(QFont::Weight(std::clamp(weight, 1, 1000)));
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);

    QPainter painter(&target);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.translate(double(x), double(y));
    // The escapement turns counter-clockwise; the painter's y axis points down.
    painter.rotate(-RotatedTextEscapement(angle) / 10.0);
    painter.drawText(QPointF(0, QFontMetricsF(font).ascent()), text);
}

}   // namespace orra
