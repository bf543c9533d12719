#include "pages/fixture_offsets_form.h"

#include <string>

#include "config/configuration.h"

namespace fixture_form {

std::vector<ui::ControlTemplate> Rows(const Layout& layout) {
    using ui::ControlKind;
    using ui::Row;
    constexpr const char* kAxisNames[kAxes] = {"X", "Y", "Z", "A"};
    constexpr int kRowTop = 12;   // below the group's title
    constexpr int kRowStep = 13;  // one row per axis
    std::vector<ui::ControlTemplate> rows;
    for (int fixture = 0; fixture < kFixtures; ++fixture) {
        const auto [left, top] = layout.groups[fixture];
        rows.push_back(Row(ui::IDC_STATIC, ControlKind::GroupBox,
                           "Fixture Offset " + std::to_string(fixture + 1), left, top,
                           layout.groupWidth, layout.groupHeight));
        for (int axis = 0; axis < kAxes; ++axis) {
            const int y = top + kRowTop + kRowStep * axis;
            rows.push_back(
                Row(ui::IDC_STATIC, ControlKind::Static, kAxisNames[axis], left + 6, y + 2, 8, 8));
            rows.push_back(Row(EditId(fixture, axis), ControlKind::Edit, "", left + layout.editX, y,
                               layout.editWidth, 12, ui::kReadOnly | ui::kAlignRight));
            rows.push_back(Row(SetButtonId(fixture, axis), ControlKind::Button, "Set",
                               left + layout.buttonX, y, layout.buttonWidth, 12));
        }
    }
    return rows;
}

void ShowValues(ui::Dialog& dialog, const Configuration& config, Fields fields) {
    if (fields == Fields::All)
        dialog.SetText(IDC_SENSOR_OFFSET, QString::number(config.SensorOffset()));
    const auto fixtures = config.FixtureOffsets();
    for (int fixture = kFixtures - 1; fixture >= 0; --fixture) {
        const FixtureOffset& f = fixtures[fixture];
        const double values[kAxes] = {f.x, f.y, f.z, f.a};
        for (int axis = kAxes - 1; axis >= 0; --axis)
            dialog.SetText(EditId(fixture, axis), QString::number(values[axis], 'f', 2));
    }
}

}  // namespace fixture_form
