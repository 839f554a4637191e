#pragma once

#include <QWidget>

namespace orv {

// The logo, drawn from its SVG at whatever pixel ratio the screen has, so
// that it stays sharp at 1.5x and 2x.
class Picture : public QWidget {
public:
    explicit Picture(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orv
