#pragma once

#include <QLabel>

namespace orv {

// A label that acts as a button: a single flat border, its caption centred
// with the access key underlined, and a clicked signal for the mouse only.
// It grabs no shortcut, so its access key does nothing.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(const QString& caption, QWidget* parent = nullptr);
    // What a click does; for assistive technology, which presses it.
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressed_ = false;
};

} // namespace orv
