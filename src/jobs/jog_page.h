#pragma once
// CJogPage: the "Jog" tab. Moves to a named position, drives one axis to a
// typed coordinate at a typed speed, jogs with click and hold, switches the
// spindle and starts tool detection; every action is a request to the
// command thread.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "link/machine_position.h"
#include "ui/dialog.h"

class Configuration;
class SharedState;
class CJogButton;

// What the jog page needs of the main window.
struct JogPageLinks {
    SharedState& state;
    const Configuration& config;  // the axis limits
    // The main window's target move (no busy check).
    std::function<bool(const MachinePosition& target, std::int32_t speed)> requestTargetMove;
    // The main window's Stop action.
    std::function<void()> stop;
    // The main window's tool detection request (with its refusal box).
    std::function<bool()> requestToolDetection;
};

class CJogPage : public ui::Dialog {
    Q_OBJECT
public:
    explicit CJogPage(JogPageLinks links, QWidget* parent = nullptr);
    ~CJogPage() override;

    void OnMove();
    void OnGo();
    void OnSpindle();
    void OnSelectJogAxis(int axis);

    CJogButton& PlusButton() const { return *m_plus; }
    CJogButton& MinusButton() const { return *m_minus; }

    // Speed by jog speed setting: Fast, Medium, Slow, Very Slow.
    static constexpr std::array<std::int32_t, 4> kJogSpeeds = {2000, 1000, 100, 10};
    static constexpr std::int32_t kStepSpeed = 10;  // a click moves one count at this speed
    static constexpr std::int32_t kRotaryTravel = 360000;
    static constexpr int kMaxGoSpeed = 3000;

protected:
    void OnInitDialog() override;

private:
    void OnJogPressed();
    void Jog(const CJogButton& button, bool held);
    void Relabel();

    JogPageLinks m_links;
    CJogButton* m_plus = nullptr;
    CJogButton* m_minus = nullptr;
    MachinePosition m_pressPosition;

    // Members bound to the controls.
    int m_goAxis = 0;
    int m_jogAxis = 0;
    int m_jogSpeed = 2;
    int m_spindle = 0;
    std::string m_positionText;
    std::string m_speedText = "500";
    int m_namedPosition = 0;
};
