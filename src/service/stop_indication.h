#pragma once
// "Machine is clearing memory...": after a stop, while the machine stays at
// status 3, the status line shows the text for 14 iterations and is blank for
// 5, over and over; it is cleared as soon as the status leaves 3.
class IDisplay;

class StopIndication {
public:
    explicit StopIndication(IDisplay& display) : m_display(display) {}

    void Start() {
        m_counter = 1;
        m_showing = false;
    }
    void Reset() {
        m_counter = 0;
        m_showing = false;
    }
    // One iteration of the indication with this iteration's status.
    void Update(int status);
    int Counter() const { return m_counter; }

    static constexpr const char* kClearingText = "Machine is clearing memory...";

private:
    void ShowStatus(const char* text);

    IDisplay& m_display;
    int m_counter = 0;
    bool m_showing = false;
};
