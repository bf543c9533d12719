#include "app/main_window_template.h"

#include "app/main_window_ids.h"

using ui::ControlKind;

ui::DialogTemplate MainWindowTemplate() {
    ui::DialogTemplate t =
        ui::Template(IDD_TARNWICK_DIALOG, "Tarnwick", 399, 256, ui::kSystemMenu | ui::kMinimizeBox);
    auto add = [&t](int id, ControlKind kind, const char* text, int x, int y, int w, int h,
                    bool visible = true, unsigned style = 0) {
        t.controls.push_back(ui::Row(id, kind, text, x, y, w, h, style, visible));
    };
    constexpr bool kHidden = false;

    // Position display.
    // Wide enough for "-305.00" in the 35-point display font.
    add(ui::IDC_STATIC, ControlKind::GroupBox, "Current Position", 6, 4, 146, 166);
    const int axisLetters[] = {IDC_AXIS_X, IDC_AXIS_Y, IDC_AXIS_Z, IDC_AXIS_A};
    const int axisValues[] = {IDC_POS_X, IDC_POS_Y, IDC_POS_Z, IDC_POS_A};
    const char* letters[] = {"X", "Y", "Z", "A"};
    for (int i = 0; i < 4; ++i) {
        add(axisLetters[i], ControlKind::Static, letters[i], 10, 14 + 30 * i, 22, 28);
        add(axisValues[i], ControlKind::Static, "0.00", 30, 14 + 30 * i, 118, 28, true,
            ui::kAlignRight | ui::kCenterImage);
    }
    add(IDC_RPM, ControlKind::Static, "RPM", 10, 140, 44, 22, true, ui::kCenterImage);
    add(IDC_SPINDLE_SPEED, ControlKind::Static, "0", 58, 140, 90, 22, true,
        ui::kAlignRight | ui::kCenterImage);

    // Fixture offsets and Stop.
    add(ui::IDC_STATIC, ControlKind::GroupBox, "Fixture Offsets", 6, 174, 146, 26);
    const char* fixtures[] = {"1", "2", "3", "4"};
    for (int i = 0; i < 4; ++i)
        add(IDC_FIXTURE1 + i, ControlKind::RadioButton, fixtures[i], 16 + 34 * i, 185, 26, 10, true,
            i == 0 ? ui::kGroup : 0u);
    add(IDC_STOP, ControlKind::Button, "Stop", 6, 205, 146, 30);

    // Pages, status line, Close.
    add(IDC_TABS, ControlKind::TabControl, "", 156, 4, 240, 231);
    add(IDC_STATUS, ControlKind::Static, "Machine in View Mode...", 80, 240, 258, 12, true,
        ui::kNoWrap | ui::kCenterImage);
    add(IDC_ABOUT, ControlKind::Button, "About Tarnwick...", 6, 239, 70, 14);
    add(IDC_CLOSE, ControlKind::DefaultButton, "Close", 342, 239, 54, 14);

    // The older layout: created invisible, reached through the pages.
    add(IDC_SET_UP, ControlKind::Button, "Set Up", 0, 0, 40, 14, kHidden);
    t.controls.push_back(ui::Row(IDC_POSITION_LIST, ControlKind::ComboBox, "", 0, 0, 60, 80, 0,
                                 kHidden,
                                 {"XY Origin", "Z Origin", "A Origin", "View Pos", "Tool Pos 1",
                                  "Tool Pos 2", "Tool Pos 3", "Tool Pos 4"}));
    add(IDC_MOVE, ControlKind::Button, "Move", 0, 0, 40, 14, kHidden);
    const char* axes[] = {"X", "Y", "Z", "A"};
    for (int i = 0; i < 4; ++i)
        add(IDC_GO_X + i, ControlKind::RadioButton, axes[i], 0, 0, 20, 10, kHidden,
            i == 0 ? ui::kGroup : 0u);
    add(IDC_POSITION_EDIT, ControlKind::Edit, "", 0, 0, 40, 12, kHidden);
    add(IDC_GO, ControlKind::Button, "Go", 0, 0, 40, 14, kHidden);
    const char* jogAxes[] = {"X Axis", "Y Axis", "Z Axis", "A Axis"};
    for (int i = 0; i < 4; ++i)
        add(IDC_JOG_X + i, ControlKind::RadioButton, jogAxes[i], 0, 0, 40, 10, kHidden,
            i == 0 ? ui::kGroup : 0u);
    add(IDC_JOG_PLUS, ControlKind::Button, "+", 0, 0, 20, 14, kHidden);
    add(IDC_JOG_MINUS, ControlKind::Button, "-", 0, 0, 20, 14, kHidden);
    t.controls.push_back(ui::Row(IDC_JOG_SPEED_LIST, ControlKind::ComboBox, "", 0, 0, 60, 60, 0,
                                 kHidden, {"Fast", "Medium", "Slow", "Very Slow"}));
    add(IDC_PROGRAM_PATH, ControlKind::Static, "", 0, 0, 60, 10, kHidden);
    add(IDC_OPEN, ControlKind::Button, "Open", 0, 0, 40, 14, kHidden);
    add(IDC_START, ControlKind::Button, "Start", 0, 0, 40, 14, kHidden);
    add(IDC_SET_TOOL_HEIGHT, ControlKind::Button, "Set Tool Height", 0, 0, 60, 14, kHidden);
    add(IDC_USE_FIXTURE_OFFSETS, ControlKind::CheckBox, "Use Fixture Offsets", 0, 0, 80, 10,
        kHidden);
    add(IDC_TOOL_CHANGER, ControlKind::Button, "Tool Changer", 0, 0, 60, 14, kHidden);
    add(IDC_PROBE, ControlKind::CheckBox, "Probe", 0, 0, 40, 10, kHidden);
    add(IDC_TEST_PROBE, ControlKind::Button, "Test Probe", 0, 0, 40, 14, kHidden);
    add(IDC_FEED_TRACKBAR, ControlKind::Trackbar, "", 0, 0, 80, 14, kHidden);
    add(IDC_SPINDLE_TRACKBAR, ControlKind::Trackbar, "", 0, 0, 80, 14, kHidden);
    add(IDC_FEED_LABEL, ControlKind::Static, "100", 0, 0, 20, 10, kHidden);
    add(IDC_SPINDLE_LABEL, ControlKind::Static, "100", 0, 0, 20, 10, kHidden);
    add(IDC_SPINDLE, ControlKind::CheckBox, "Spindle", 0, 0, 40, 10, kHidden);
    add(IDC_AUX_DEVICE, ControlKind::CheckBox, "Auxillary Device", 0, 0, 70, 10, kHidden);
    add(IDC_CURRENT_TOOL, ControlKind::Static, "Current Tool: 0", 0, 0, 70, 10, kHidden);
    return t;
}
