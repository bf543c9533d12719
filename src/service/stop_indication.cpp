#include "service/stop_indication.h"

#include "service/control_ids.h"
#include "service/display.h"
#include "service/machine_status.h"

void StopIndication::ShowStatus(const char* text) {
    m_display.SetText(Window::Main, IDC_STATUS, text);
}

void StopIndication::Update(int status) {
    if (m_counter <= 0) return;
    if (status != kStatusJob) {
        ShowStatus("");
        Reset();
        return;
    }
    if (m_showing) {
        if (m_counter < 15) {
            ++m_counter;
        } else if (m_counter == 15) {
            ShowStatus("");
            m_showing = false;
            m_counter = 5;
        }
    } else {
        if (m_counter > 1) {
            --m_counter;
        } else if (m_counter == 1) {
            ShowStatus(kClearingText);
            m_showing = true;
            m_counter = 2;
        }
    }
}
