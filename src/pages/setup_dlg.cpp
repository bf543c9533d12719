#include "pages/setup_dlg.h"

#include "config/configuration.h"
#include "link/machine_port.h"
#include "pages/fixture_offsets_form.h"
#include "pages/setup_page_ids.h"
#include "service/fixtures.h"
#include "service/shared_state.h"
#include "ui/typed_number.h"

namespace {

ui::DialogTemplate SetupDialogTemplate() {
    using ui::ControlKind;
    using ui::Row;
    ui::DialogTemplate t = ui::Template(IDD_SETUP_DIALOG, "", 210, 221);
    t.controls =
        fixture_form::Rows({{{{5, 5}, {107, 5}, {5, 77}, {107, 77}}}, 98, 68, 16, 48, 67, 26});
    const ui::ControlTemplate more[] = {
        Row(ui::IDC_STATIC, ControlKind::Static, "Tool Sensor Offset", 5, 153, 70, 8),
        Row(fixture_form::IDC_SENSOR_OFFSET, ControlKind::Edit, "", 78, 151, 50, 12,
            ui::kAlignRight),
        Row(IDC_SETUP_CALIBRATION, ControlKind::Button, "Machine Calibration", 5, 170, 98, 16),
        Row(IDC_SETUP_TOOL_BLOCK, ControlKind::Button, "Set Tool Block", 107, 170, 98, 16),
        Row(ui::IDOK, ControlKind::DefaultButton, "Exit", 78, 197, 54, 16),
    };
    t.controls.insert(t.controls.end(), std::begin(more), std::end(more));
    // The older layout hid the calibration button; here it is the way in.
    t.controls[t.controls.size() - 3].visible = false;
    t.controls[t.controls.size() - 3].enabled = false;
    return t;
}

}  // namespace

CSetupDlg::CSetupDlg(SetupLinks links, QWidget* parent)
    : ui::Dialog(SetupDialogTemplate(), parent), m_links(std::move(links)) {
    fixture_form::OnSetButtons(*this,
                               [this](int fixture, int axis) { CaptureOffset(fixture, axis); });
    OnClicked(IDC_SETUP_TOOL_BLOCK, [this] { m_links.openAuxLocations(this); });
    OnClicked(IDC_SETUP_CALIBRATION, [this] { m_links.openCalibration(this); });
}

void CSetupDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    fixture_form::ShowValues(*this, m_links.config);
    Show(IDC_SETUP_CALIBRATION, true);
    Enable(IDC_SETUP_CALIBRATION, true);
}

void CSetupDlg::CaptureOffset(int fixture, int axis) {
    MachinePosition p;
    if (!m_links.port.ReadMachinePosition(p)) return;
    const std::int32_t counts[] = {p.x, p.y, p.z, p.a};
    if (axis < 0 || axis >= fixture_form::kAxes) return;
    m_links.config.SetFixtureAxis(fixture, axis, counts[axis] * 0.01);
    Refresh();
    UpdateData(false);
}

void CSetupDlg::Refresh() {
    UpdateData(true);
    // The sensor offset typed so far stays: it is taken at "Exit".
    fixture_form::ShowValues(*this, m_links.config, fixture_form::Fields::Offsets);
    ActivateSelectedFixture(m_links.state, m_links.config);
    UpdateData(false);
}

void CSetupDlg::OnOK() {
    UpdateData(true);
    m_links.config.SetSensorOffset(ui::ReadTypedInteger(Text(fixture_form::IDC_SENSOR_OFFSET)));
    m_links.config.SaveSettings();
    EndDialog(ui::IDOK);
}
