#include "pages/setup_page.h"

#include "config/configuration.h"
#include "pages/fixture_offsets_form.h"
#include "pages/setup_page_ids.h"
#include "service/fixtures.h"
#include "service/shared_state.h"
#include "ui/typed_number.h"

namespace {

ui::DialogTemplate SetupPageTemplate() {
    using ui::ControlKind;
    using ui::Row;
    ui::DialogTemplate t = ui::Template(IDD_SETUP_PAGE, "", 254, 209, ui::kChild);
    // Sized to sit in the main window's tab control beside the position display.
    t.controls =
        fixture_form::Rows({{{{4, 2}, {120, 2}, {4, 72}, {120, 72}}}, 112, 68, 18, 58, 80, 28});
    const ui::ControlTemplate more[] = {
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "Tool Detection", 4, 142, 160, 30),
        Row(ui::IDC_STATIC, ControlKind::Static, "Sensor Offset", 10, 156, 50, 8),
        Row(fixture_form::IDC_SENSOR_OFFSET, ControlKind::Edit, "", 62, 154, 50, 12,
            ui::kAlignRight),
        Row(IDC_SETUP_APPLY, ControlKind::Button, "Apply", 118, 153, 40, 14),
        Row(IDC_SETUP_SET_AUX, ControlKind::Button, "Set Aux. Loc.", 170, 153, 62, 14),
    };
    t.controls.insert(t.controls.end(), std::begin(more), std::end(more));
    return t;
}

}  // namespace

CSetupPage::CSetupPage(SetupLinks links, QWidget* parent)
    : ui::Dialog(SetupPageTemplate(), parent), m_links(std::move(links)) {
    fixture_form::OnSetButtons(*this,
                               [this](int fixture, int axis) { CaptureOffset(fixture, axis); });
    OnClicked(IDC_SETUP_APPLY, [this] { ApplySettings(); });
    OnClicked(IDC_SETUP_SET_AUX, [this] { m_links.openAuxLocations(this); });
}

void CSetupPage::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    ShowValues();
}

void CSetupPage::showEvent(QShowEvent* event) {
    ui::Dialog::showEvent(event);
    ShowValues();
}

void CSetupPage::ShowValues() { fixture_form::ShowValues(*this, m_links.config); }

void CSetupPage::CaptureOffset(int fixture, int axis) {
    const MachinePosition last = m_links.state.lastPosition.Get();
    const std::int32_t counts[] = {last.x, last.y, last.z, last.a};
    if (axis < 0 || axis >= fixture_form::kAxes) return;
    m_links.config.SetFixtureAxis(fixture, axis, counts[axis] * 0.01);
    // From now on the Z origin comes from the fixture, not the last tool measurement.
    if (axis == fixture_form::kZ) m_links.config.SetToolOffsetValue(0.0);
    ApplySettings();
    UpdateData(false);
}

void CSetupPage::ApplySettings() {
    UpdateData(true);
    Configuration& config = m_links.config;
    const std::int32_t sensorOffset = ui::ReadTypedInteger(Text(fixture_form::IDC_SENSOR_OFFSET));
    config.SetSensorOffset(sensorOffset);
    SetText(fixture_form::IDC_SENSOR_OFFSET, QString::number(sensorOffset));
    ShowValues();
    ActivateSelectedFixture(m_links.state, config);
    config.SaveSettings();
    m_links.reapplyFixture();
    UpdateData(false);
}
