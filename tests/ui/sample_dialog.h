#pragma once
// A dialog with one control of every kind, laid out like a small main window.
#include "ui/dialog_template.h"

namespace sample {

enum : int {
    kClose = ui::IDOK,
    kAxisLabel = 1107,
    kAxisValue = 1111,
    kToolLabel = 1143,  // hidden
    kFixture1 = 1061,
    kFixture4 = 1064,
    kUseFixtures = 1065,
    kGoX = 1015,
    kGoA = 1018,
    kPosition = 1019,
    kSpeed = 1021,
    kRunList = 1200,
    kPositions = 1013,
    kMachines = 1147,  // editable, sorted
    kFeed = 1102,
    kFeedLabel = 1104,
    kProgress = 1300,
    kTabs = 1148,
    kStop = 1101,
    kSetUp = 1024,    // disabled
    kSpindle = 1141,  // push-like check box
    kPlaceholder = 1400,
};

ui::DialogTemplate Template();

}  // namespace sample
