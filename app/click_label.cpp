#include "app/click_label.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace orv {

ClickLabel::ClickLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAlignment(Qt::AlignCenter);
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        emit clicked();
}

void ClickLabel::paintEvent(QPaintEvent*) {
    // QLabel shows "&" literally unless it has a buddy, and a buddy would make
    // the access key work; so the caption is drawn here.
    QPainter painter(this);
    drawFrame(&painter);
    const int mnemonic = style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this)
                             ? Qt::TextShowMnemonic
                             : Qt::TextHideMnemonic;
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | mnemonic, palette(),
                          isEnabled(), text(), foregroundRole());
}

} // namespace orv
