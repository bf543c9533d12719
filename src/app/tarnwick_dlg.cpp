#include "app/tarnwick_dlg.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QTabWidget>

#include "app/about_dlg.h"
#include "app/main_window_ids.h"
#include "app/main_window_template.h"
#include "app/program_icon.h"
#include "config/configuration.h"
#include "jobs/page_tab_ctrl.h"
#include "pages/setup_dlg.h"
#include "pages/status_label.h"
#include "pages/tool_changer_dlg.h"
#include "platform/end_process.h"
#include "platform/program_folder.h"
#include "platform/system_clock.h"
#include "service/fixtures.h"
#include "service/log_file.h"
#include "service/units.h"
#include "ui/message_box_service.h"
#include "ui/trackbar.h"

namespace {

constexpr const char* kFontFace = "ariel";
constexpr int kStopPauseMs = 10;

// Keeps an action enabled exactly while a control is, whoever enables it.
class EnablingFollower : public QObject {
public:
    EnablingFollower(QWidget& control, QAction& action) : QObject(&action), m_action(action) {
        action.setEnabled(control.isEnabled());
        control.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            m_action.setEnabled(static_cast<QWidget*>(watched)->isEnabled());
        return false;
    }

private:
    QAction& m_action;
};

struct Appearance {
    int id;
    int points;
    QColor text;
    std::optional<QColor> raised;  // the 3-D copy, one pixel right and down
};

}  // namespace

CTarnwickDlg::CTarnwickDlg(Configuration& config, LogFile& log, QWidget* parent)
    : ui::Dialog(MainWindowTemplate(), parent), m_config(config), m_log(log) {
    // The drawn labels take the place of the template's statics.
    for (int id : {IDC_AXIS_X, IDC_AXIS_Y, IDC_AXIS_Z, IDC_AXIS_A, IDC_POS_X, IDC_POS_Y, IDC_POS_Z,
                   IDC_POS_A, IDC_RPM, IDC_SPINDLE_SPEED, IDC_STATUS}) {
        const ui::ControlTemplate* entry = FindTemplate(id);
        CStatusLabel::Style style;
        if (entry->style & ui::kAlignRight) style.align = CStatusLabel::Align::Right;
        if (entry->style & ui::kNoWrap) style.align = CStatusLabel::Align::LeftNoWrap;
        style.centreImage = (entry->style & ui::kCenterImage) != 0;
        ReplaceControl<CStatusLabel>(id, nullptr, id, style)
            ->SetText(QString::fromStdString(entry->text));
    }
    Bindings().Radio(IDC_GO_X, IDC_GO_A, m_goAxis);
    Bindings().Radio(IDC_FIXTURE1, IDC_FIXTURE4, m_selectedFixture);
    Bindings().Check(IDC_USE_FIXTURE_OFFSETS, m_useFixture);
    Bindings().Selection(IDC_POSITION_LIST, m_positionSelection);
    Bindings().Position(IDC_FEED_TRACKBAR, m_feedOverride);
    Bindings().Position(IDC_SPINDLE_TRACKBAR, m_spindleOverride);
    Bindings().Check(IDC_SPINDLE, m_spindleSwitch);
    Bindings().Check(IDC_AUX_DEVICE, m_auxDevice);
    Bindings().Text(IDC_POSITION_EDIT, m_positionEdit);
    BindHandlers();
    m_display.SetTarget(Window::Main, this);
}

CTarnwickDlg::~CTarnwickDlg() {
    // Shutdown normally ran already; this only guards a window destroyed early.
    // Its members must outlive a thread that uses them: one that does not end
    // ends the process here rather than run on in freed memory.
    if (m_thread) {
        m_thread->RequestStop();
        if (!m_thread->Join(m_threadJoinMs)) platform::EndProcess(1);
    }
    m_display.SetTarget(Window::Main, nullptr);
    m_display.SetTarget(Window::RunPage, nullptr);
}

CStatusLabel& CTarnwickDlg::Label(int id) { return *Control<CStatusLabel>(id); }

void CTarnwickDlg::BindHandlers() {
    OnClicked(IDC_CLOSE, [this] { OnOK(); });
    OnClicked(IDC_STOP, [this] { OnStop(); });
    OnClicked(IDC_ABOUT, [this] { ShowAbout(); });
    OnClicked(IDC_MOVE, [this] {
        UpdateData(true);
        m_state.moveSelection = m_positionSelection;
        Request(kMoveRequest);
    });
    OnClicked(IDC_GO, [this] {
        UpdateData(true);
        m_state.goAxis = m_goAxis;
        m_state.positionEditText.Set(m_positionEdit);
        Request(kExecuteRequest);
    });
    OnClicked(IDC_SET_TOOL_HEIGHT, [this] { RequestToolDetection(); });
    OnClicked(IDC_SET_UP, [this] { OnSetUp(); });
    OnClicked(IDC_USE_FIXTURE_OFFSETS, [this] { OnUseFixtureOffsets(); });
    for (int i = 0; i < 4; ++i) OnClicked(IDC_FIXTURE1 + i, [this, i] { OnFixture(i); });
    OnTrackbarReleased(IDC_FEED_TRACKBAR,
                       [this] { OnOverrideReleased(IDC_FEED_TRACKBAR, IDC_FEED_LABEL); });
    OnTrackbarReleased(IDC_SPINDLE_TRACKBAR,
                       [this] { OnOverrideReleased(IDC_SPINDLE_TRACKBAR, IDC_SPINDLE_LABEL); });
    OnClicked(IDC_SPINDLE, [this] {
        UpdateData(true);
        m_state.spindleSwitch = m_spindleSwitch;
        m_state.SetCycleCode(kSpindleCycle);
    });
    OnClicked(IDC_AUX_DEVICE, [this] {
        UpdateData(true);
        m_state.SetCycleCode(kAuxDeviceCycle);
    });
    // The About dialog from the keyboard and from the window's context menu, as
    // a window manager may offer no system menu to put it in.
    auto* about = new QAction(tr("&About Tarnwick..."), this);
    about->setShortcut(QKeySequence::HelpContents);
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    OnClicked(IDC_TOOL_CHANGER, [this] { OnToolChanger(); });
    AddMenuEntry(tr("Tool Changer..."), IDC_TOOL_CHANGER, [this] { OnToolChanger(); });
    AddMenuEntry(tr("Set Up..."), IDC_SET_UP, [this] { OnSetUp(); });
    // The calibration scans sit behind the set-up dialog, under its button's enabling.
    AddMenuEntry(tr("Machine Calibration..."), IDC_SET_UP, [this] { ShowCalibration(); });
}

void CTarnwickDlg::AddMenuEntry(const QString& text, int hiddenButtonId, Handler handler) {
    // The button stays hidden; the menu entry takes its place and is enabled
    // and disabled with it.
    auto* action = new QAction(text, this);
    connect(action, &QAction::triggered, this, std::move(handler));
    new EnablingFollower(*Control(hiddenButtonId), *action);
    addAction(action);
}

void CTarnwickDlg::OnToolChanger() {
    CToolChangerDlg dialog(
        ToolChangerLinks{m_config, m_state, [this](int tool) { return RequestReplaceTool(tool); },
                         [this](int tool) { return RequestGetTool(tool); },
                         [this] { return RequestToolDetection(); }, [this] { OnStop(); },
                         MakeAuxLocationsLinks()},
        this);
    dialog.RunModal();
}

void CTarnwickDlg::ShowAbout() {
    CAboutDlg about(m_log, CalibrationSettingsLinks{m_state, m_config}, this);
    about.RunModal();
}

CalibrationDlgLinks CTarnwickDlg::CalibrationLinks() {
    return {m_port, m_state, [this] { OnStop(); },
            [this](ui::Dialog& dialog) { return m_display.Register(Window::Calibration, dialog); }};
}

void CTarnwickDlg::ShowCalibration(QWidget* parent) {
    CCalibrationDlg calibration(CalibrationLinks(), parent ? parent : this);
    calibration.RunModal();
}

void CTarnwickDlg::OnInitDialog() {
    setWindowIcon(ProgramIcon());
    m_config.SetMachineType(Configuration::ReadMachineType(platform::ProgramFolder()));
    m_modelName = std::string(::ModelName(m_config.MachineType()));
    m_port.SetPortName(m_modelName);
    if (!m_port.OpenPort()) {
        MessageBox(kNotFoundText, kErrorCaption);
        m_state.closingAcknowledged = true;
        EndDialog(-1);
        return;
    }
    m_config.LoadSettings(m_port, m_modelName);
    m_thread = std::make_unique<CCommandThread>(
        ServiceContext{m_port, m_config, m_state, m_display, m_log, platform::SleepMs});

    SetSelection(IDC_JOG_SPEED_LIST, 0);
    m_positionSelection = 0;
    m_goAxis = 0;
    Label(IDC_SPINDLE_SPEED).SetText(QString::number(0));
    m_useFixture = m_config.UseFixture() > 0;
    m_selectedFixture = m_config.SelectedFixture();
    for (int i = 0; i < 4; ++i) Enable(IDC_FIXTURE1 + i, m_useFixture);
    ApplyActiveOffsetsAtStartUp();
    SetUpOverrides();
    m_state.scanKind = kNoScan;
    m_state.EndCycle();
    m_state.jobState = kJobIdle;
    SetUpAppearance();
    auto requestToolDetection = [this] { return RequestToolDetection(); };
    m_pages =
        new CPageTabCtrl(*Control<QTabWidget>(IDC_TABS),
                         RunPageLinks{m_state, m_config, requestToolDetection,
                                      [this](int index) { ShowSelectedFixture(index); }},
                         JogPageLinks{m_state, m_config,
                                      [this](const MachinePosition& target, std::int32_t speed) {
                                          return RequestTargetMove(target, speed);
                                      },
                                      [this] { OnStop(); }, requestToolDetection},
                         MakeSetupLinks());
    m_display.SetTarget(Window::RunPage, &m_pages->RunPage());
    UpdateData(false);
    m_thread->Resume();
}

void CTarnwickDlg::ApplyActiveOffsetsAtStartUp() {
    ActiveOffsets& active = m_state.activeOffsets;
    if (m_config.UseFixture() != 0) {
        const int index = m_config.SelectedFixture();
        if (index >= 0 && index < kFixtureOffsetCount) {
            const FixtureOffset fixture = m_config.FixtureOffsets()[index];
            active.x = fixture.x;
            active.y = fixture.y;
            active.z = fixture.z;
            active.a = fixture.a;
        }
    } else {
        // Without a readable origin the offsets stay at 0 rather than take
        // values the machine never gave.
        ActivateMachineOrigin(m_state, m_port);
    }
    const MachinePosition origin = OriginForActiveOffsets(m_state, m_config);
    m_port.SetOrigin(origin.x, origin.y, origin.z, origin.a);
}

void CTarnwickDlg::SetUpOverrides() {
    for (auto [trackbar, label, percent] :
         {std::tuple{IDC_FEED_TRACKBAR, IDC_FEED_LABEL, &m_feedOverride},
          std::tuple{IDC_SPINDLE_TRACKBAR, IDC_SPINDLE_LABEL, &m_spindleOverride}}) {
        if (auto* slider = Control<ui::Trackbar>(trackbar)) {
            slider->setRange(0, 200);
            if (trackbar == IDC_FEED_TRACKBAR) slider->setTickInterval(10);
        }
        *percent = trackbar == IDC_FEED_TRACKBAR ? m_state.feedOverride.load()
                                                 : m_state.spindleOverride.load();
        SetPosition(trackbar, *percent);
        SetText(label, QString::number(*percent));
    }
    m_port.SetFeedOverride(static_cast<std::uint16_t>(m_feedOverride));
    m_port.SetSpindleOverride(static_cast<std::uint16_t>(m_spindleOverride));
}

void CTarnwickDlg::SetUpAppearance() {
    const Appearance table[] = {
        {IDC_AXIS_X, 35, Qt::black, QColor(255, 0, 0)},
        {IDC_AXIS_Y, 35, Qt::black, QColor(0, 255, 0)},
        {IDC_AXIS_Z, 35, Qt::black, QColor(0, 0, 255)},
        {IDC_AXIS_A, 35, Qt::black, QColor(50, 200, 200)},
        {IDC_POS_X, 35, Qt::black, std::nullopt},
        {IDC_POS_Y, 35, Qt::black, std::nullopt},
        {IDC_POS_Z, 35, Qt::black, std::nullopt},
        {IDC_POS_A, 35, Qt::black, std::nullopt},
        {IDC_RPM, 20, QColor(255, 0, 0), Qt::black},
        {IDC_SPINDLE_SPEED, 20, Qt::black, Qt::black},
        {IDC_STATUS, 10, QColor(255, 0, 0), std::nullopt},
    };
    for (const Appearance& a : table) {
        CStatusLabel& label = Label(a.id);
        label.SetFaceName(kFontFace).SetPointSize(a.points).SetBold(true).SetTextColor(a.text);
        if (a.raised) label.Set3DText(true, 1).Set3DColor(*a.raised);
    }
    Label(IDC_SPINDLE_SPEED).SetSunken(true);
    Label(IDC_STATUS).SetText("");
    Enable(IDC_STATUS, true);
    Show(IDC_TOOL_CHANGER, false);
    Show(IDC_AUX_DEVICE, false);
    Show(IDC_CURRENT_TOOL, false);
}

void CTarnwickDlg::OnOK() {
    m_state.closingAcknowledged = true;
    EndDialog(ui::IDOK);
}

void CTarnwickDlg::OnDestroy() {
    if (m_thread && !m_thread->StopRequested()) m_thread->RequestStop();
    const bool stopped = !m_thread || m_thread->Join(m_threadJoinMs);
    m_threadAbandoned = !stopped;
    if (stopped) {
        m_thread.reset();
        m_log.Close();
        m_port.ClosePort();
    } else {
        // The thread is stuck in the driver and still holds the port and the
        // log: both stay open for the rest of the process, the log's lines on disk.
        m_log.Flush();
    }
    if (!m_state.closingAcknowledged.load())
        ui::MessageBox(nullptr, QString::fromStdString(m_state.closingReason.Get()),
                       kClosingCaption);
}

bool CTarnwickDlg::Request(const BusyCheckedRequest& request) {
    if (RequestIfIdle(m_state, request)) return true;
    MessageBox(request.refusal, kErrorCaption);
    return false;
}

bool CTarnwickDlg::RequestTool(const BusyCheckedRequest& request, int tool) {
    if (RequestToolCycle(m_state, request, tool)) return true;
    MessageBox(request.refusal, kErrorCaption);
    return false;
}

bool CTarnwickDlg::RequestTargetMove(const MachinePosition& target, std::int32_t speed) {
    ::RequestTargetMove(m_state, target.x, target.y, target.z, target.a, speed);
    return true;
}

bool CTarnwickDlg::RequestAuxLocation(int location) {
    ::RequestAuxLocation(m_state, location);
    return true;
}

void CTarnwickDlg::OnUseFixtureOffsets() {
    UpdateData(true);
    m_config.SetUseFixture(m_useFixture ? 1 : 0);
    for (int i = 0; i < 4; ++i) Enable(IDC_FIXTURE1 + i, m_useFixture);
    const ActiveOffsets& active = m_state.activeOffsets;
    if (m_useFixture) {
        MachinePosition ignored;
        ActivateFixture(m_state, m_config, m_selectedFixture, ignored);
    } else {
        // An unreadable origin leaves the offsets as they were.
        ActivateMachineOrigin(m_state, m_port);
    }
    RequestSetOrigin(m_state, TruncCounts(active.x.load()), TruncCounts(active.y.load()),
                     TruncCounts(active.z.load()), TruncCounts(active.a.load()));
    UpdateData(false);
}

void CTarnwickDlg::OnFixture(int index) {
    UpdateData(true);
    m_selectedFixture = index;
    m_config.SetSelectedFixture(index);
    MachinePosition origin;
    if (ActivateFixture(m_state, m_config, index, origin))
        RequestSetOrigin(m_state, origin.x, origin.y, origin.z, origin.a);
}

void CTarnwickDlg::ShowSelectedFixture(int index) {
    m_selectedFixture = index;
    SetCheck(IDC_FIXTURE1 + index, true);
}

void CTarnwickDlg::ReapplyFixture() {
    if (m_config.UseFixture() == 0) return;
    const int index = m_config.SelectedFixture();
    if (index >= 0 && index < kFixtureOffsetCount) {
        SetCheck(IDC_FIXTURE1 + index, true);
        OnFixture(index);
    }
}

AuxLocationsLinks CTarnwickDlg::MakeAuxLocationsLinks() {
    return AuxLocationsLinks{[this](int n) { return RequestAuxLocation(n); }};
}

SetupLinks CTarnwickDlg::MakeSetupLinks() {
    return SetupLinks{m_state,
                      m_config,
                      m_port,
                      [this] { ReapplyFixture(); },
                      [this](QWidget* parent) {
                          CAuxLocationsDlg dialog(MakeAuxLocationsLinks(), parent);
                          dialog.RunModal();
                      },
                      [this](QWidget* parent) { ShowCalibration(parent); }};
}

void CTarnwickDlg::OnSetUp() {
    CSetupDlg dialog(MakeSetupLinks(), this);
    if (dialog.RunModal() != ui::IDOK || m_config.UseFixture() == 0) return;
    const int index = m_config.SelectedFixture();
    if (index >= 0 && index < kFixtureOffsetCount) OnFixture(index);
}

void CTarnwickDlg::OnStop() {
    if (RequestStopCycle(m_state))
        m_display.SetText(Window::Calibration, IDC_SCAN_STATUS, kScanCancelledText);
    platform::SleepMs(kStopPauseMs);
}

void CTarnwickDlg::OnOverrideReleased(int trackbarId, int labelId) {
    UpdateData(true);
    const int percent = Position(trackbarId);
    RequestOverride(m_state, trackbarId == IDC_FEED_TRACKBAR ? Override::Feed : Override::Spindle,
                    percent);
    SetText(labelId, QString::number(percent));
    UpdateData(false);
}
