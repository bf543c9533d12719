#include "ui/trackbar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace ui {

Trackbar::Trackbar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {
    setRange(0, 100);
}

void Trackbar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) emit Released();
}

void Trackbar::keyPressEvent(QKeyEvent* event) {
    const int before = value();
    QSlider::keyPressEvent(event);
    if (value() != before) m_movedByKey = true;
}

void Trackbar::keyReleaseEvent(QKeyEvent* event) {
    QSlider::keyReleaseEvent(event);
    if (event->isAutoRepeat() || !m_movedByKey) return;
    m_movedByKey = false;
    emit Released();
}

void Trackbar::wheelEvent(QWheelEvent* event) { event->ignore(); }

}  // namespace ui
