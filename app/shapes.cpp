#include "app/shapes.h"

#include <QPainter>

#include <algorithm>

namespace orv {

FilledShape::FilledShape(const QColor& fill, QWidget* parent) : QWidget(parent) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, fill);
    setPalette(colours);
    setAutoFillBackground(true);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

RoundedShape::RoundedShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void RoundedShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    const int radius = std::min(width(), height()) / 10;
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

} // namespace orv
