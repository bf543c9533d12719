#pragma once
// What the fixture offsets page and the set-up dialog share: the four groups
// of X, Y, Z, A offsets with a "Set" button beside each, the sensor offset
// edit, and how their values are shown.
#include <array>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_template.h"

class Configuration;

namespace fixture_form {

inline constexpr int kFixtures = 4;
inline constexpr int kAxes = 4;  // X, Y, Z, A
inline constexpr int kZ = 2;
inline constexpr int IDC_SENSOR_OFFSET = 1059;

// Fixture 0..3, axis 0..3: the read-only edit 1027.. and its "Set" button 1031...
constexpr int EditId(int fixture, int axis) { return 1027 + 8 * fixture + axis; }
constexpr int SetButtonId(int fixture, int axis) { return 1031 + 8 * fixture + axis; }

// Where a window puts the groups: the top left corner of each group and the
// columns inside one, in dialog units.
struct Layout {
    std::array<std::array<int, 2>, kFixtures> groups;
    int groupWidth, groupHeight;
    int editX, editWidth, buttonX, buttonWidth;  // from the group's left edge
};
std::vector<ui::ControlTemplate> Rows(const Layout& layout);

// The field display: the sensor offset with "%d", every offset with "%.2f".
enum class Fields { All, Offsets };
void ShowValues(ui::Dialog& dialog, const Configuration& config, Fields fields = Fields::All);

// Calls `capture(fixture, axis)` when the "Set" button of that fixture and axis is clicked.
template <class Capture>
void OnSetButtons(ui::Dialog& dialog, Capture capture) {
    for (int fixture = 0; fixture < kFixtures; ++fixture)
        for (int axis = 0; axis < kAxes; ++axis)
            dialog.OnClicked(SetButtonId(fixture, axis),
                             [capture, fixture, axis] { capture(fixture, axis); });
}

}  // namespace fixture_form
