#include "pages/calibration_dlg.h"

#include "link/machine_port.h"
#include "service/control_ids.h"
#include "service/machine_status.h"
#include "service/requests.h"
#include "service/shared_state.h"

namespace {

constexpr const char* kErrorCaption = "Error";

struct Field {
    const char* label;
    int id;
};

// Two columns of label and read-only edit, a row every 14 units from `y`.
void AddFields(std::vector<ui::ControlTemplate>& controls, int y,
               std::initializer_list<Field> fields) {
    using ui::ControlKind;
    int column = 0;
    for (const Field& field : fields) {
        const int x = column == 0 ? 14 : 132;
        controls.push_back(
            ui::Row(ui::IDC_STATIC, ControlKind::Static, field.label, x, y + 2, 62, 8));
        controls.push_back(
            ui::Row(field.id, ControlKind::Edit, "", x + 64, y, 44, 12, ui::kReadOnly));
        if (++column == 2) {
            column = 0;
            y += 14;
        }
    }
}

ui::DialogTemplate CalibrationTemplate() {
    using ui::ControlKind;
    using ui::Row;
    ui::DialogTemplate t = ui::Template(IDD_CALIBRATION, "Machine Calibration", 260, 238);
    t.controls = {
        Row(ui::IDOK, ControlKind::DefaultButton, "Exit", 193, 218, 60, 14),
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "Runout Check", 7, 7, 246, 62),
        Row(IDC_CHECK_RUNOUT, ControlKind::Button, "Check Runout", 14, 20, 76, 14),
    };
    AddFields(t.controls, 40,
              {{"Scan at 0 deg.", IDC_SCAN_0},
               {"Scan at 90 deg.", IDC_SCAN_90},
               {"Scan at 180 deg.", IDC_SCAN_180},
               {"Scan at 270 deg.", IDC_SCAN_270}});
    t.controls.push_back(
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "Y Center/Tool Sensor", 7, 74, 246, 134));
    t.controls.push_back(
        Row(IDC_FIND_ROTARY_CENTER, ControlKind::Button, "Find Rotary Center", 14, 87, 76, 14));
    AddFields(t.controls, 107,
              {{"Left F:", IDC_LEFT_FRONT},
               {"Right F:", IDC_RIGHT_FRONT},
               {"Left B:", IDC_LEFT_BACK},
               {"Right B:", IDC_RIGHT_BACK},
               {"Nominal:", IDC_NOMINAL}});
    t.controls.push_back(
        Row(IDC_TOOL_SENSOR_SETUP, ControlKind::Button, "Tool Sensor Setup", 14, 153, 76, 14));
    AddFields(t.controls, 173,
              {{"Left:", IDC_REF_LEFT},
               {"Right:", IDC_REF_RIGHT},
               {"Tool Sensor:", IDC_TOOL_SENSOR},
               {"ZA:", IDC_ZA}});
    t.controls.push_back(Row(IDC_STOP, ControlKind::Button, "Stop", 7, 218, 60, 14));
    t.controls.push_back(
        Row(IDC_SCAN_STATUS, ControlKind::Static, "", 72, 221, 116, 8, ui::kAlignCenter));
    return t;
}

}  // namespace

CCalibrationDlg::CCalibrationDlg(CalibrationDlgLinks links, QWidget* parent)
    : ui::Dialog(CalibrationTemplate(), parent), m_links(std::move(links)) {
    OnClicked(IDC_CHECK_RUNOUT, [this] { OnCheckRunout(); });
    OnClicked(IDC_FIND_ROTARY_CENTER, [this] { OnFindRotaryCenter(); });
    OnClicked(IDC_TOOL_SENSOR_SETUP, [this] { OnToolSensorSetup(); });
    OnClicked(IDC_STOP, [this] { m_links.stop(); });
    if (m_links.registerResults) m_results = m_links.registerResults(*this);
}

CCalibrationDlg::~CCalibrationDlg() = default;

void CCalibrationDlg::done(int result) {
    // A scan still running goes on; only its results no longer come here.
    m_results.Reset();
    ui::Dialog::done(result);
}

void CCalibrationDlg::OnCheckRunout() { StartScan(kRunoutScan, kRunoutRefusal); }

void CCalibrationDlg::OnFindRotaryCenter() { StartScan(kYCenterScan, kYCenterRefusal); }

void CCalibrationDlg::OnToolSensorSetup() { StartScan(kToolSensorScan, kToolSensorRefusal); }

void CCalibrationDlg::StartScan(int kind, const char* refusal) {
    // Without the sensor there is nothing to touch, and a machine at work (or
    // in View mode) is not to be moved: the buttons then do nothing.
    if (!m_links.port.IsSensorConnected()) return;
    if (m_links.port.ReadStatus() != kStatusIdle) return;
    if (!RequestScan(m_links.state, kind)) {
        MessageBox(refusal, kErrorCaption);
        return;
    }
    // The thread's texts are posted to this thread, so they all come after this one.
    SetText(IDC_SCAN_STATUS, kScanInProcessText);
    Control(IDC_SCAN_STATUS)->repaint();
}
