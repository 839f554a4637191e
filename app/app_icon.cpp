#include "app/app_icon.h"

#include <QPainter>
#include <QSvgRenderer>

namespace orv {

QPixmap logoPixmap(int size) {
    QSvgRenderer renderer(QString::fromLatin1(logoResource));
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(logoPixmap(size));
    return icon;
}

} // namespace orv
