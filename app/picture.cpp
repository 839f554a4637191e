#include "app/picture.h"

#include "app/app_icon.h"

#include <QPainter>
#include <QSvgRenderer>

namespace orv {

Picture::Picture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Picture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QSvgRenderer(QString::fromLatin1(logoResource)).render(&painter, QRectF(rect()));
}

} // namespace orv
