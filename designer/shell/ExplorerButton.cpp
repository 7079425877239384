#include "designer/shell/ExplorerButton.h"

#include "platform/widgets/RotatedText.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace morvane {

ExplorerButton::ExplorerButton(QWidget* parent) : QWidget(parent)
{
    resize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Show Object Explorer"));
    m_image = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    clear();
}

QSize ExplorerButton::sizeHint() const { return QSize(22, 128); }

void ExplorerButton::clear()
{
    if (m_image.size() != size()) m_image = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_image.fill(Qt::transparent);
    update();
}

void ExplorerButton::printRotated(
    const QString& text, float x, float y, const QString& fontName, int size, float angle, int weight)
{
    m_image.setDotsPerMeterX(int(logicalDpiX() / 0.0254));
    m_image.setDotsPerMeterY(int(logicalDpiY() / 0.0254));
    orra::PrintRotatedText(m_image, text, x, y, fontName, size, angle, weight, 0, 0, 0);
    update();
}

void ExplorerButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
    p.drawImage(0, 0, m_image);
}

void ExplorerButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QWidget::mouseReleaseEvent(event);
}

void ExplorerButton::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }

}   // namespace morvane
