#include "designer/catalogue/CatalogueImages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace morvane {

namespace {

QIcon drawn(const std::function<void(QPainter&)>& draw)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return QIcon(pm);
}

void folder(QPainter& p, bool open)
{
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(235, 190, 70));
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6.5, 3.5);
    back.lineTo(8, 5);
    back.lineTo(14.5, 5);
    back.lineTo(14.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(250, 215, 110));
    if (open) {
        QPainterPath front;
        front.moveTo(3.5, 7.5);
        front.lineTo(15.5, 7.5);
        front.lineTo(13.5, 13.5);
        front.lineTo(1.5, 13.5);
        front.closeSubpath();
        p.drawPath(front);
    } else {
        p.drawRect(QRectF(1.5, 6.5, 13, 7));
    }
}

void page(QPainter& p, const QColor& band)
{
    p.setPen(QColor(90, 90, 110));
    p.setBrush(Qt::white);
    QPainterPath sheet;
    sheet.moveTo(3.5, 1.5);
    sheet.lineTo(10, 1.5);
    sheet.lineTo(13.5, 5);
    sheet.lineTo(13.5, 14.5);
    sheet.lineTo(3.5, 14.5);
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.drawLine(QPointF(10, 1.5), QPointF(10, 5));
    p.drawLine(QPointF(10, 5), QPointF(13.5, 5));
    p.setPen(band);
    for (double y = 7.5; y < 14; y += 2) p.drawLine(QPointF(5, y), QPointF(12, y));
}

void badge(QPainter& p, const QColor& fill, const QString& letter)
{
    p.setPen(fill.darker(140));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 3, 3);
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, letter);
}

}   // namespace

orra::ImageList CatalogueImageList()
{
    orra::ImageList list;
    list.add(QStringLiteral("Repository"), drawn([](QPainter& p) {
        p.setPen(QColor(90, 60, 30));
        p.setBrush(QColor(180, 130, 80));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.setBrush(QColor(240, 220, 170));
        p.drawRect(QRectF(6.5, 4, 3, 2));
        p.drawRect(QRectF(6.5, 9.5, 3, 2));
    }));
    list.add(QStringLiteral("Category"), drawn([](QPainter& p) { folder(p, false); }));
    list.add(QStringLiteral("selCategory"), drawn([](QPainter& p) { folder(p, true); }));
    list.add(QStringLiteral("Template"), drawn([](QPainter& p) { page(p, QColor(70, 110, 200)); }));
    list.add(QStringLiteral("Document"), drawn([](QPainter& p) { page(p, QColor(60, 150, 80)); }));
    list.add(
        QStringLiteral("Parameter"), drawn([](QPainter& p) { badge(p, QColor(220, 130, 30), QStringLiteral("P")); }));
    list.add(QStringLiteral("Block"), drawn([](QPainter& p) { badge(p, QColor(50, 100, 190), QStringLiteral("B")); }));
    list.add(
        QStringLiteral("Include"), drawn([](QPainter& p) { badge(p, QColor(30, 140, 140), QStringLiteral("I")); }));
    list.add(QStringLiteral("Station"), drawn([](QPainter& p) {
        p.setPen(QColor(130, 20, 20));
        p.setBrush(QColor(200, 40, 40));
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
            octagon << QPointF(8 + 6.8 * std::cos(a), 8 + 6.8 * std::sin(a));
        }
        p.drawPolygon(octagon);
        p.setPen(QPen(Qt::white, 1.6));
        p.drawLine(QPointF(5, 8), QPointF(11, 8));
    }));
    list.add(QStringLiteral("Script"), drawn([](QPainter& p) { badge(p, QColor(110, 70, 160), QStringLiteral("S")); }));
    return list;
}

}   // namespace morvane
