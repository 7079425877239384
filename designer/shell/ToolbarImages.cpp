#include "designer/shell/ToolbarImages.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <functional>

namespace morvane {
namespace {

constexpr int kSize = 32;   // drawn at 32 px; the toolbar scales down

const QColor kInk(40, 40, 40);
const QColor kBlue(38, 110, 190);
const QColor kGreen(40, 150, 60);
const QColor kRed(200, 50, 50);
const QColor kAmber(215, 150, 30);
const QColor kPaper(250, 250, 245);

QIcon drawn(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return QIcon(pixmap);
}

void page(QPainter& p, const QRectF& r, const QColor& fill = kPaper)
{
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(fill);
    p.drawRect(r);
}

void lines(QPainter& p, qreal x0, qreal x1, qreal y0, int count, qreal step = 5, qreal indent = 0)
{
    p.setPen(QPen(kInk, 2));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(x0 + (i % 2 ? indent : 0), y0 + i * step), QPointF(x1, y0 + i * step));
}

// A coloured badge with a letter: the element kinds of a document.
QIcon badge(const QColor& color, const QString& letter, bool round = false)
{
    return drawn([=](QPainter& p) {
        p.setPen(QPen(color.darker(140), 1.5));
        p.setBrush(color);
        const QRectF r(3, 3, 26, 26);
        if (round)
            p.drawEllipse(r);
        else
            p.drawRoundedRect(r, 5, 5);
        QFont f = QApplication::font();
        f.setPixelSize(18);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, letter);
    });
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& color)
{
    p.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF a = line, b = line;
    a.setLength(7);
    b.setLength(7);
    a.setAngle(line.angle() + 35);
    b.setAngle(line.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

QIcon standard(QStyle::StandardPixmap sp) { return QApplication::style()->standardIcon(sp); }

QHash<QString, QIcon> makeImages()
{
    QHash<QString, QIcon> m;
    m.insert(QStringLiteral("Save"), standard(QStyle::SP_DialogSaveButton));
    m.insert(QStringLiteral("Refresh"), standard(QStyle::SP_BrowserReload));
    m.insert(QStringLiteral("ObjectExplorer"), drawn([](QPainter& p) {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kAmber);
        p.drawRect(QRectF(3, 5, 10, 7));
        p.drawRect(QRectF(13, 17, 10, 7));
        p.setPen(QPen(kInk, 2));
        p.drawLine(QPointF(8, 12), QPointF(8, 21));
        p.drawLine(QPointF(8, 21), QPointF(13, 21));
        p.setBrush(kBlue);
        p.setPen(QPen(kInk, 1.5));
        p.drawRect(QRectF(19, 5, 10, 7));
    }));
    m.insert(QStringLiteral("DocumentExplorer"), drawn([](QPainter& p) {
        page(p, QRectF(5, 3, 22, 26));
        p.setBrush(kBlue);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(9, 8, 5, 4));
        p.drawRect(QRectF(13, 15, 5, 4));
        p.drawRect(QRectF(13, 22, 5, 4));
        p.setPen(QPen(kInk, 1.5));
        p.drawLine(QPointF(11, 12), QPointF(11, 24));
        p.drawLine(QPointF(11, 17), QPointF(13, 17));
        p.drawLine(QPointF(11, 24), QPointF(13, 24));
    }));
    m.insert(QStringLiteral("AddRepository"), drawn([](QPainter& p) {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(180, 140, 90));
        p.drawRect(QRectF(4, 14, 24, 14));
        p.drawLine(QPointF(4, 19), QPointF(28, 19));
        arrow(p, QPointF(16, 2), QPointF(16, 15), kGreen);
    }));
    m.insert(QStringLiteral("Copy"), drawn([](QPainter& p) {
        page(p, QRectF(4, 3, 16, 20));
        page(p, QRectF(12, 9, 16, 20));
        lines(p, 15, 25, 15, 3);
    }));
    m.insert(QStringLiteral("Paste"), drawn([](QPainter& p) {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(190, 150, 100));
        p.drawRoundedRect(QRectF(4, 5, 20, 24), 2, 2);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(QRectF(9, 2, 10, 6));
        page(p, QRectF(13, 12, 16, 17));
        lines(p, 16, 26, 17, 3);
    }));
    m.insert(QStringLiteral("Delete"), drawn([](QPainter& p) {
        p.setPen(QPen(kRed, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(24, 24));
        p.drawLine(QPointF(24, 8), QPointF(8, 24));
    }));
    m.insert(QStringLiteral("Find"), drawn([](QPainter& p) {
        p.setPen(QPen(kInk, 3));
        p.setBrush(QColor(200, 225, 250));
        p.drawEllipse(QRectF(4, 4, 16, 16));
        p.setPen(QPen(kInk, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(19, 19), QPointF(27, 27));
    }));
    m.insert(QStringLiteral("Parameter"), badge(QColor(140, 80, 170), QStringLiteral("P"), true));
    m.insert(QStringLiteral("Block"), badge(kBlue, QStringLiteral("B")));
    m.insert(QStringLiteral("Station"), badge(kAmber, QStringLiteral("S")));
    m.insert(QStringLiteral("Script"), badge(kGreen, QStringLiteral("X")));
    m.insert(QStringLiteral("MoveUp"), drawn([](QPainter& p) { arrow(p, QPointF(16, 28), QPointF(16, 4), kBlue); }));
    m.insert(QStringLiteral("MoveDown"), drawn([](QPainter& p) { arrow(p, QPointF(16, 4), QPointF(16, 28), kBlue); }));
    const auto play = [](QPainter& p, const QColor& c) {
        p.setPen(QPen(c.darker(150), 1.5));
        p.setBrush(c);
        p.drawPolygon(QPolygonF({QPointF(8, 4), QPointF(27, 16), QPointF(8, 28)}));
    };
    m.insert(QStringLiteral("Exec"), drawn([=](QPainter& p) { play(p, kGreen); }));
    m.insert(QStringLiteral("ExecNew"), drawn([=](QPainter& p) {
        play(p, kGreen);
        p.setPen(QPen(kAmber.darker(130), 1));
        p.setBrush(kAmber);
        p.drawEllipse(QRectF(18, 18, 12, 12));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(24, 20), QPointF(24, 28));
        p.drawLine(QPointF(20, 24), QPointF(28, 24));
    }));
    m.insert(QStringLiteral("Pause"), drawn([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(7, 5, 7, 22));
        p.drawRect(QRectF(18, 5, 7, 22));
    }));
    m.insert(QStringLiteral("Stop"), drawn([](QPainter& p) {
        p.setPen(QPen(kRed.darker(150), 1.5));
        p.setBrush(kRed);
        p.drawRect(QRectF(6, 6, 20, 20));
    }));
    m.insert(QStringLiteral("BreakPoint"), drawn([](QPainter& p) {
        p.setPen(QPen(QColor(120, 20, 20), 1.5));
        p.setBrush(QColor(170, 30, 30));
        p.drawEllipse(QRectF(6, 6, 20, 20));
    }));
    const auto dots = [](QPainter& p) {
        p.setPen(QPen(kInk, 2));
        p.drawLine(QPointF(6, 26), QPointF(26, 26));
    };
    m.insert(QStringLiteral("StepInto"), drawn([=](QPainter& p) {
        dots(p);
        arrow(p, QPointF(16, 3), QPointF(16, 22), kBlue);
    }));
    m.insert(QStringLiteral("StepOver"), drawn([=](QPainter& p) {
        dots(p);
        p.setPen(QPen(kBlue, 3));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(5, 5, 20, 20), 180 * 16, -180 * 16);
        arrow(p, QPointF(25, 14), QPointF(25, 22), kBlue);
    }));
    m.insert(QStringLiteral("StepOut"), drawn([=](QPainter& p) {
        dots(p);
        arrow(p, QPointF(16, 22), QPointF(16, 3), kBlue);
    }));
    m.insert(QStringLiteral("JumpTo"), drawn([](QPainter& p) {
        p.setPen(QPen(kInk, 2));
        lines(p, 6, 26, 6, 4, 7);
        arrow(p, QPointF(4, 6), QPointF(4, 26), kAmber);
    }));
    m.insert(QStringLiteral("ShowResultPane"), drawn([](QPainter& p) {
        page(p, QRectF(3, 4, 26, 24));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(4, 17, 24, 10));
    }));
    m.insert(QStringLiteral("Grid"), drawn([](QPainter& p) {
        page(p, QRectF(3, 5, 26, 22));
        p.setPen(QPen(kInk, 1.5));
        for (qreal y : {12.0, 19.0}) p.drawLine(QPointF(3, y), QPointF(29, y));
        for (qreal x : {12.0, 20.0}) p.drawLine(QPointF(x, 5), QPointF(x, 27));
    }));
    m.insert(QStringLiteral("Text"), drawn([](QPainter& p) {
        page(p, QRectF(5, 3, 22, 26));
        lines(p, 9, 23, 9, 4, 5, 0);
    }));
    const auto indent = [](QPainter& p, bool in) {
        p.setPen(QPen(kInk, 2));
        for (int i = 0; i < 4; ++i) p.drawLine(QPointF(i == 0 || i == 3 ? 4 : 14, 6 + i * 7), QPointF(28, 6 + i * 7));
        if (in)
            arrow(p, QPointF(3, 16), QPointF(11, 16), kBlue);
        else
            arrow(p, QPointF(11, 16), QPointF(3, 16), kBlue);
    };
    m.insert(QStringLiteral("Indent"), drawn([=](QPainter& p) { indent(p, true); }));
    m.insert(QStringLiteral("Outdent"), drawn([=](QPainter& p) { indent(p, false); }));
    const auto comment = [](QPainter& p, bool on) {
        lines(p, 14, 28, 7, 4, 6);
        p.setPen(QPen(on ? kGreen : QColor(150, 150, 150), 3));
        p.drawLine(QPointF(3, 7), QPointF(10, 7));
        p.drawLine(QPointF(3, 13), QPointF(10, 13));
        if (!on) {
            p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3, 19), QPointF(11, 29));
            p.drawLine(QPointF(11, 19), QPointF(3, 29));
        }
    };
    m.insert(QStringLiteral("CommentBlock"), drawn([=](QPainter& p) { comment(p, true); }));
    m.insert(QStringLiteral("UnCommentBlock"), drawn([=](QPainter& p) { comment(p, false); }));
    return m;
}

}   // namespace

QIcon toolbarImage(const QString& key)
{
    static const QHash<QString, QIcon> images = makeImages();
    return images.value(key);
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        // A query document: a page with its lines of SQL, and a blue element tree on it.
        p.setPen(QPen(kInk, 3));
        p.setBrush(kPaper);
        p.drawRoundedRect(QRectF(8, 4, 40, 54), 4, 4);
        p.setPen(QPen(kInk.lighter(250), 3));
        for (int i = 0; i < 4; ++i) p.drawLine(QPointF(15, 13 + i * 7), QPointF(41, 13 + i * 7));
        p.setPen(QPen(kBlue.darker(130), 3));
        p.drawLine(QPointF(34, 36), QPointF(34, 56));
        p.drawLine(QPointF(34, 46), QPointF(46, 46));
        p.drawLine(QPointF(34, 56), QPointF(46, 56));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(26, 28, 16, 12), 2, 2);
        p.setBrush(kGreen);
        p.drawRoundedRect(QRectF(44, 41, 14, 10), 2, 2);
        p.setBrush(kAmber);
        p.drawRoundedRect(QRectF(44, 51, 14, 10), 2, 2);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}   // namespace morvane
