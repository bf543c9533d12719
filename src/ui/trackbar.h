#pragma once
// A slider that reports when the operator lets go of it. Windows act on a
// trackbar only then, so dragging through values changes nothing until the
// drag ends.
#include <QSlider>

namespace ui {

// Released() fires once at the end of each operator gesture:
// - a mouse button released after pressing the handle (drag) or the groove
//   (page steps), whether or not the value changed;
// - a key released after key presses that moved the slider (held keys repeat
//   and fire once, when the key comes up).
// The wheel is left to the parent: it would move the slider without any
// release. Values set by the program never fire.
class Trackbar : public QSlider {
    Q_OBJECT
public:
    explicit Trackbar(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);

signals:
    void Released();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool m_movedByKey = false;
};

}  // namespace ui
