#include "pages/calibration_settings_dlg.h"

#include <QTimer>

#include "config/configuration.h"
#include "service/machine_status.h"
#include "service/requests.h"
#include "service/shared_state.h"
#include "ui/typed_number.h"

namespace {

constexpr const char* kErrorCaption = "Error";
// The edits are read as the system always read them: at most this many characters.
constexpr int kTypedLength = 255;

ui::DialogTemplate CalibrationSettingsTemplate() {
    using ui::ControlKind;
    using ui::Row;
    ui::DialogTemplate t =
        ui::Template(IDD_CALIBRATION_SETTINGS, "Machine Calibration Settings", 196, 112);
    t.controls = {
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "deltaXY", 7, 7, 124, 30),
        Row(ui::IDC_STATIC, ControlKind::Static, "Y wide/narrow:", 14, 21, 56, 8),
        Row(IDC_Y_WIDE_NARROW, ControlKind::Edit, "", 72, 19, 52, 12),
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "deltaXZ", 7, 41, 124, 30),
        Row(ui::IDC_STATIC, ControlKind::Static, "Z wide/narrow:", 14, 55, 56, 8),
        Row(IDC_Z_WIDE_NARROW, ControlKind::Edit, "", 72, 53, 52, 12),
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "WorkWidth", 7, 75, 124, 30),
        Row(ui::IDC_STATIC, ControlKind::Static, "Width:", 14, 89, 56, 8),
        Row(IDC_WORK_WIDTH, ControlKind::Edit, "", 72, 87, 52, 12),
        Row(ui::IDOK, ControlKind::DefaultButton, "OK", 139, 7, 50, 14),
        Row(ui::IDCANCEL, ControlKind::Button, "Cancel", 139, 24, 50, 14),
        Row(IDC_INITIALIZE, ControlKind::Button, "Initialize", 139, 87, 50, 14),
    };
    return t;
}

std::uint16_t Bits16(std::int32_t value) { return static_cast<std::uint16_t>(value); }

}  // namespace

CCalibrationSettingsDlg::CCalibrationSettingsDlg(CalibrationSettingsLinks links, QWidget* parent)
    : ui::Dialog(CalibrationSettingsTemplate(), parent), m_links(links) {
    Bindings().Text(IDC_Y_WIDE_NARROW, m_yWideNarrow);
    Bindings().Text(IDC_Z_WIDE_NARROW, m_zWideNarrow);
    Bindings().Text(IDC_WORK_WIDTH, m_workWidth);
    OnClicked(IDC_INITIALIZE, [this] { OnInitialize(); });
    m_readPoll = new QTimer(this);
    m_readPoll->setInterval(kReadPollMs);
    connect(m_readPoll, &QTimer::timeout, this, [this] { AwaitRead(); });
    connect(this, &QDialog::finished, m_readPoll, &QTimer::stop);
}

CCalibrationSettingsDlg::~CCalibrationSettingsDlg() = default;

void CCalibrationSettingsDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    EnableEdits(false);
    Enable(ui::IDOK, false);
    // Nothing to initialise from until the thread has read the blocks.
    Enable(IDC_INITIALIZE, false);
    {
        ParameterRecords& records = m_links.state.parameters;
        std::lock_guard lock(records.mutex);
        m_readsBefore = records.reads;
    }
    AwaitRead();
    m_readPoll->start();
}

void CCalibrationSettingsDlg::AwaitRead() {
    {
        ParameterRecords& records = m_links.state.parameters;
        std::lock_guard lock(records.mutex);
        if (records.reads != m_readsBefore) {
            m_readPoll->stop();
            Enable(IDC_INITIALIZE, true);
            return;
        }
    }
    // Asked for whenever no cycle is pending: the first time, and again after
    // a read that failed.
    RequestIfIdle(m_links.state, kReadParametersRequest);
}

void CCalibrationSettingsDlg::EnableEdits(bool enable) {
    for (int id : {IDC_Y_WIDE_NARROW, IDC_Z_WIDE_NARROW, IDC_WORK_WIDTH}) Enable(id, enable);
}

void CCalibrationSettingsDlg::OnInitialize() {
    if (m_links.state.lastStatus.load() != kStatusIdle) {
        MessageBox(kViewModeText);
        UpdateData(false);
        return;
    }
    EnableEdits(true);
    std::int16_t y = 0, z = 0, width = 0;
    {
        ParameterRecords& records = m_links.state.parameters;
        std::lock_guard lock(records.mutex);
        y = static_cast<std::int16_t>(records.current.Field(kYWideNarrowField));
        z = static_cast<std::int16_t>(records.current.Field(kZWideNarrowField));
        width = static_cast<std::int16_t>(records.current.Field(kWorkWidthField));
    }
    m_yWideNarrow = std::to_string(y);
    m_zWideNarrow = std::to_string(z);
    m_workWidth = std::to_string(width);
    m_initialised = true;
    Enable(ui::IDOK, true);
    UpdateData(false);
}

void CCalibrationSettingsDlg::OnOK() {
    UpdateData(true);
    if (m_initialised) {
        auto typed = [](const std::string& text) {
            return ui::ReadTypedInt16(QString::fromStdString(text).left(kTypedLength));
        };
        const std::uint16_t y = Bits16(typed(m_yWideNarrow));
        const std::uint16_t z = Bits16(typed(m_zWideNarrow));
        const std::uint16_t width = Bits16(typed(m_workWidth));
        {
            ParameterRecords& records = m_links.state.parameters;
            std::lock_guard lock(records.mutex);
            ParameterRecord& edited = records.edited;
            edited = records.current;
            edited.SetField(kSensorOffsetField, Bits16(m_links.config.SensorOffset()));
            edited.SetField(kYWideNarrowCopyField, y);
            edited.SetField(kZWideNarrowCopyField, z);
            edited.SetField(kClearedField, 0);
            edited.SetField(kYWideNarrowField, y);
            edited.SetField(kZWideNarrowField, z);
            edited.SetField(kWorkWidthField, width);
        }
        // A cycle still pending (a Stop above all) is not replaced: the
        // operator presses OK again once the machine has finished it.
        if (!RequestIfIdle(m_links.state, kWriteParametersRequest)) {
            MessageBox(kWriteParametersRequest.refusal, kErrorCaption);
            return;
        }
        MessageBox(kRestartText);
    }
    EndDialog(ui::IDOK);
}
