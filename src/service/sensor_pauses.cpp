#include "service/sensor_pauses.h"

bool ShowSensorPausesWith(const PauseBox& box) {
    for (const char* text : kSensorPauseTexts) {
        if (!box(text, kSensorPauseCaption)) return false;
    }
    return true;
}
