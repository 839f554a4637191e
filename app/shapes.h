#pragma once

#include <QWidget>

namespace orv {

// A rectangle filled with one colour, without border: the banner behind the
// logo and the title.
class FilledShape : public QWidget {
public:
    FilledShape(const QColor& fill, QWidget* parent = nullptr);
};

// A rounded rectangle with a grey dotted border and no fill.
class RoundedShape : public QWidget {
public:
    explicit RoundedShape(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orv
