#pragma once
// The jog page's hold-to-jog buttons, CJogPlusButton (1008) and
// CJogMinusButton (1009). A press of the left button shorter than the hold
// threshold is a click; one still down at the threshold is a hold, which ends
// at the release or as soon as the release can no longer come: the button
// loses the focus, its window is deactivated or hidden, the left button is
// found up without a release having reached us, or the button goes away.
#include <QTimer>

#include "pages/round_button.h"

enum class JogDirection { Negative = -1, Positive = 1 };

class CJogButton : public CRoundButton {
    Q_OBJECT
public:
    CJogButton(JogDirection direction, QWidget* parent = nullptr);
    ~CJogButton() override;

    JogDirection Direction() const { return m_direction; }
    // The current press passed the hold threshold (kept until the next press).
    bool Held() const { return m_held; }
    // Ends a hold at once, as a release would; nothing happens without one.
    void EndHold();

    static constexpr int kHoldThresholdMs = 250;

signals:
    void JogPressed();   // the left button went down on the button
    void JogClicked();   // ... and came up again before the hold threshold
    void HoldStarted();  // ... and was still down at the threshold
    void HoldEnded();    // a hold ended, however

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    void OnThreshold();
    void CheckButtonStillDown();
    // A press that has not yet become a click or a hold is simply dropped.
    void Abandon();

    JogDirection m_direction;
    QTimer m_threshold;
    QTimer m_watch;  // while held: the left button still down?
    bool m_pressing = false;
    bool m_held = false;
};

class CJogPlusButton : public CJogButton {
    Q_OBJECT
public:
    explicit CJogPlusButton(QWidget* parent = nullptr)
        : CJogButton(JogDirection::Positive, parent) {}
};

class CJogMinusButton : public CJogButton {
    Q_OBJECT
public:
    explicit CJogMinusButton(QWidget* parent = nullptr)
        : CJogButton(JogDirection::Negative, parent) {}
};
