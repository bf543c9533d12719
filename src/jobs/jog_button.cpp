#include "jobs/jog_button.h"

#include <QGuiApplication>
#include <QMouseEvent>

namespace {
constexpr int kWatchIntervalMs = 50;
}  // namespace

CJogButton::CJogButton(JogDirection direction, QWidget* parent)
    : CRoundButton(parent), m_direction(direction) {
    m_threshold.setSingleShot(true);
    m_threshold.setInterval(kHoldThresholdMs);
    connect(&m_threshold, &QTimer::timeout, this, &CJogButton::OnThreshold);
    m_watch.setInterval(kWatchIntervalMs);
    connect(&m_watch, &QTimer::timeout, this, &CJogButton::CheckButtonStillDown);
}

// The owner ends a hold before it takes the button down (see CJogPage); this
// is the last line, for a button deleted on its own.
CJogButton::~CJogButton() { EndHold(); }

void CJogButton::mousePressEvent(QMouseEvent* event) {
    CRoundButton::mousePressEvent(event);  // drawn pressed
    if (event->button() != Qt::LeftButton) return;
    m_held = false;
    m_pressing = true;
    emit JogPressed();
    m_threshold.start();
}

void CJogButton::mouseReleaseEvent(QMouseEvent* event) {
    CRoundButton::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !m_pressing) return;
    if (m_held) {
        EndHold();
        return;
    }
    m_threshold.stop();
    m_pressing = false;
    emit JogClicked();
}

void CJogButton::OnThreshold() {
    if (!m_pressing) return;
    m_held = true;
    m_watch.start();
    emit HoldStarted();
}

void CJogButton::EndHold() {
    if (!m_pressing) return;
    if (!m_held) {
        Abandon();
        return;
    }
    m_pressing = false;
    m_watch.stop();
    setDown(false);
    emit HoldEnded();
}

void CJogButton::Abandon() {
    m_threshold.stop();
    m_pressing = false;
    setDown(false);
}

void CJogButton::CheckButtonStillDown() {
    // A release that went elsewhere (a popup took the mouse) never reaches us.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) EndHold();
}

void CJogButton::focusOutEvent(QFocusEvent* event) {
    EndHold();
    CRoundButton::focusOutEvent(event);
}

void CJogButton::hideEvent(QHideEvent* event) {
    EndHold();
    CRoundButton::hideEvent(event);
}

bool CJogButton::event(QEvent* event) {
    // The window's deactivation reaches every widget in it.
    if (event->type() == QEvent::WindowDeactivate) EndHold();
    return CRoundButton::event(event);
}
