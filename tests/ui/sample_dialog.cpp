#include "sample_dialog.h"

namespace sample {

using ui::ControlKind;

ui::DialogTemplate Template() {
    ui::DialogTemplate t;
    t.id = 142;
    t.caption = "Sample";
    t.width = 300;
    t.height = 200;
    t.fontFace = "DejaVu Sans";
    t.fontPointSize = 8;
    t.flags = ui::kSystemMenu | ui::kMinimizeBox;
    auto add = [&t](int id, ControlKind kind, const char* text, int x, int y, int w, int h,
                    unsigned style = 0) -> ui::ControlTemplate& {
        t.controls.push_back({id, kind, text, x, y, w, h, true, true, style, {}});
        return t.controls.back();
    };
    add(ui::IDC_STATIC, ControlKind::GroupBox, "Current Position", 7, 5, 140, 50);
    add(kAxisLabel, ControlKind::Static, "X", 14, 20, 20, 14, ui::kCenterImage);
    add(kAxisValue, ControlKind::Static, "0.00", 40, 20, 60, 14,
        ui::kAlignRight | ui::kCenterImage | ui::kStaticEdge);
    add(kToolLabel, ControlKind::Static, "Current Tool: 0", 14, 38, 80, 10).visible = false;
    add(ui::IDC_STATIC, ControlKind::GroupBox, "Fixture Offsets", 153, 5, 140, 30);
    for (int i = 0; i < 4; ++i) {
        const char* names[] = {"1", "2", "3", "4"};
        add(kFixture1 + i, ControlKind::RadioButton, names[i], 162 + i * 32, 18, 26, 10,
            i == 0 ? ui::kGroup : 0u);
    }
    add(kUseFixtures, ControlKind::CheckBox, "Use Fixture Offsets", 153, 40, 100, 10, ui::kGroup);
    for (int i = 0; i < 4; ++i) {
        const char* names[] = {"X", "Y", "Z", "A"};
        add(kGoX + i, ControlKind::RadioButton, names[i], 7 + i * 25, 62, 22, 10,
            i == 0 ? ui::kGroup : 0u);
    }
    add(ui::IDC_STATIC, ControlKind::Static, "Position:", 110, 63, 36, 10, ui::kGroup);
    add(kPosition, ControlKind::Edit, "", 148, 60, 50, 14);
    add(ui::IDC_STATIC, ControlKind::Static, "Speed:", 205, 63, 30, 10);
    add(kSpeed, ControlKind::Edit, "500", 238, 60, 55, 14, ui::kAlignRight);
    add(kRunList, ControlKind::ListBox, "", 7, 80, 100, 44).items = {"a.prn", "b.nc", "c.txt"};
    add(kPositions, ControlKind::ComboBox, "", 115, 80, 80, 60).items = {"XY Origin", "Z Origin",
                                                                         "A Origin", "View Pos."};
    add(kMachines, ControlKind::ComboBox, "", 203, 80, 90, 40, ui::kEditable | ui::kSorted)
        .items = {"Roland MDX-40", "Roland JWX-10"};
    add(kFeed, ControlKind::Trackbar, "", 115, 100, 150, 15);
    add(kFeedLabel, ControlKind::Static, "100", 270, 102, 23, 10, ui::kAlignRight);
    add(kProgress, ControlKind::ProgressBar, "", 115, 118, 178, 8);
    add(kTabs, ControlKind::TabControl, "", 7, 130, 286, 44);
    add(kStop, ControlKind::Button, "Stop", 7, 180, 60, 14);
    add(kSetUp, ControlKind::Button, "Set Up", 72, 180, 50, 14).enabled = false;
    add(kSpindle, ControlKind::CheckBox, "Spindle", 127, 180, 50, 14, ui::kPushLike);
    add(kPlaceholder, ControlKind::Custom, "", 182, 180, 50, 14);
    add(kClose, ControlKind::DefaultButton, "Close", 243, 180, 50, 14);
    return t;
}

}  // namespace sample
