#include "jobs/run_page.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <cmath>

#include "config/configuration.h"
#include "jobs/preview_wnd.h"
#include "jobs/run_page_ids.h"
#include "jobs/toolpath_library.h"
#include "service/fixtures.h"
#include "service/machine_status.h"
#include "service/requests.h"
#include "service/run_list.h"
#include "service/shared_state.h"
#include "ui/trackbar.h"

namespace {

ui::DialogTemplate RunPageTemplate() {
    using ui::ControlKind;
    using ui::Row;
    ui::DialogTemplate t = ui::Template(IDD_RUN_PAGE, "", 254, 209, ui::kChild);
    // Sized to sit in the main window's tab control beside the position display.
    t.controls = {
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "File List", 4, 2, 104, 100),
        Row(IDC_FILE_LIST, ControlKind::ListBox, "", 9, 12, 94, 66),
        Row(IDC_RUN_ADD, ControlKind::Button, "Add", 9, 82, 28, 14),
        Row(IDC_RUN_DELETE, ControlKind::Button, "Delete", 40, 82, 30, 14),
        Row(IDC_RUN_RUN, ControlKind::Button, "Run", 73, 82, 30, 14),
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "Overrides", 4, 104, 104, 74),
        Row(ui::IDC_STATIC, ControlKind::Static, "Feedrate %", 9, 114, 60, 8),
        Row(IDC_RUN_FEED_TRACKBAR, ControlKind::Trackbar, "", 9, 123, 72, 16),
        Row(IDC_RUN_FEED_LABEL, ControlKind::Static, "100", 84, 126, 20, 8, ui::kAlignRight),
        Row(ui::IDC_STATIC, ControlKind::Static, "Spindle %", 9, 142, 60, 8),
        Row(IDC_RUN_SPINDLE_TRACKBAR, ControlKind::Trackbar, "", 9, 151, 72, 16),
        Row(IDC_RUN_SPINDLE_LABEL, ControlKind::Static, "100", 84, 154, 20, 8, ui::kAlignRight),
        Row(IDC_RUN_TOOL_DETECTION, ControlKind::Button, "Run Tool Detection", 4, 184, 104, 16),
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "% Complete", 112, 2, 120, 40),
        Row(IDC_PROGRESS, ControlKind::ProgressBar, "", 117, 13, 110, 10),
        Row(ui::IDC_STATIC, ControlKind::Static, "0", 117, 26, 10, 8),
        Row(IDC_PERCENT_TEXT, ControlKind::Static, "0", 148, 26, 48, 8, ui::kAlignCenter),
        Row(ui::IDC_STATIC, ControlKind::Static, "100", 211, 26, 16, 8, ui::kAlignRight),
        Row(ui::IDC_STATIC, ControlKind::Static, "Cut Time:", 113, 46, 36, 8),
        Row(IDC_CUT_TIME, ControlKind::Static, "0.0 min.", 150, 46, 60, 8),
        // Under the cut time, at the right, over the preview's empty top corner.
        Row(IDC_TIME_LEFT, ControlKind::Static, "", 160, 55, 72, 8, ui::kAlignRight),
        Row(IDC_PREVIEW, ControlKind::Custom, "", 112, 58, 120, 146),
    };
    return t;
}

CRunPage::FileChooser& Chooser() {
    static CRunPage::FileChooser chooser;
    return chooser;
}

std::string ChooseWithDialog(QWidget* parent) {
    QFileDialog dialog(parent, QObject::tr("Open"), QString(), CRunPage::kFilter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(CRunPage::kDefaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

QString CommandsTip(const std::string& path, const CToolpathLibrary& toolpaths) {
    // A toolpath read has counted the file's commands already: no second pass
    // over a large file on this thread.
    const bool reading = toolpaths.IsReading(path);
    const auto toolpath = reading ? nullptr : toolpaths.Find(path);
    const auto commands =
        toolpath ? std::optional(toolpath->CommandCount()) : RunList::CountCommands(path);
    if (!commands) return QObject::tr("This file cannot be read: 0 commands.");
    if (*commands == 0)
        return QObject::tr("This file holds no commands (no ';'): nothing is sent.");
    if (reading) return QObject::tr("%1 commands, reading the toolpath...").arg(*commands);
    if (!toolpath) return QObject::tr("%1 commands").arg(*commands);
    return QObject::tr("%1 commands, about %2 min.")
        .arg(*commands)
        .arg(toolpath->Seconds() / 60, 0, 'f', 1);
}

// Often enough for the tool marker to follow a jog smoothly.
constexpr int kFollowEveryMs = 100;

}  // namespace

void CRunPage::SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

CRunPage::CRunPage(RunPageLinks links, QWidget* parent)
    : ui::Dialog(RunPageTemplate(), parent),
      m_links(std::move(links)),
      m_toolpaths(std::make_unique<CToolpathLibrary>()) {
    m_preview = ReplaceControl<CPreviewWnd>(IDC_PREVIEW);
    Control<QWidget>(IDC_TIME_LEFT)->raise();  // the panel came later: above it
    connect(m_toolpaths.get(), &CToolpathLibrary::Read, this,
            [this](const QString& path) { ShowToolpathRead(path); });
    connect(&m_followTimer, &QTimer::timeout, this, [this] {
        ShowTimeLeft();
        FollowMachine();
    });
    m_followTimer.start(kFollowEveryMs);
    OnClicked(IDC_RUN_ADD, [this] { OnAdd(); });
    OnClicked(IDC_RUN_DELETE, [this] { OnDelete(); });
    OnClicked(IDC_RUN_RUN, [this] { OnRun(); });
    OnClicked(IDC_RUN_TOOL_DETECTION, [this] { m_links.requestToolDetection(); });
    OnTrackbarReleased(IDC_RUN_FEED_TRACKBAR,
                       [this] { OnOverrideReleased(IDC_RUN_FEED_TRACKBAR, IDC_RUN_FEED_LABEL); });
    OnTrackbarReleased(IDC_RUN_SPINDLE_TRACKBAR, [this] {
        OnOverrideReleased(IDC_RUN_SPINDLE_TRACKBAR, IDC_RUN_SPINDLE_LABEL);
    });
}

CRunPage::~CRunPage() = default;

void CRunPage::OnInitDialog() {
    Control<QListWidget>(IDC_FILE_LIST)->clear();
    SharedState& state = m_links.state;
    for (auto [trackbar, label, percent] :
         {std::tuple{IDC_RUN_FEED_TRACKBAR, IDC_RUN_FEED_LABEL, state.feedOverride.load()},
          std::tuple{IDC_RUN_SPINDLE_TRACKBAR, IDC_RUN_SPINDLE_LABEL,
                     int(state.spindleOverride.load())}}) {
        auto* slider = Control<ui::Trackbar>(trackbar);
        slider->setRange(0, 200);
        slider->setTickPosition(QSlider::TicksBothSides);
        slider->setTickInterval(10);
        SetPosition(trackbar, percent);
        SetText(label, "100");
    }
    state.SetCycleCode(kOverrideCycle);
    SetText(IDC_CUT_TIME, "0.0 min.");
    ui::Dialog::OnInitDialog();
}

void CRunPage::AddListEntry(const std::string& path) {
    auto* list = Control<QListWidget>(IDC_FILE_LIST);
    auto* item = new QListWidgetItem(QFileInfo(QString::fromStdString(path)).fileName());
    item->setData(Qt::UserRole, QString::fromStdString(path));
    m_toolpaths->Want(path, Limits());
    item->setToolTip(CommandsTip(path, *m_toolpaths));
    list->addItem(item);
    ShowTimeLeft();
    ShowPaths();
}

std::vector<std::string> CRunPage::Paths() const {
    std::vector<std::string> paths;
    const RunList& runList = m_links.state.runList;
    for (int i = 0; i < runList.Count(); ++i) paths.push_back(runList.Path(i));
    return paths;
}

jobs::MachineLimits CRunPage::Limits() const {
    // Only fixture offsets tell where the job's origin is on the machine; without
    // them the travel is not known in job coordinates, and nothing is cut short.
    const MachineProfile profile = m_links.config.Profile();
    const ActiveOffsets& o = m_links.state.activeOffsets;
    jobs::MachineLimits limits;
    limits.topZ = profile.zLimit * 0.01 - o.z.load();
    if (m_links.config.UseFixture() == 1 && profile.xLimit > 0 && profile.yLimit > 0 &&
        profile.zLimit > 0) {
        limits.travelLow = {float(-o.x.load()), float(-o.y.load()), float(-o.z.load()), 0};
        limits.travelHigh = {float(profile.xLimit * 0.01 - o.x.load()),
                             float(profile.yLimit * 0.01 - o.y.load()),
                             float(profile.zLimit * 0.01 - o.z.load()), 0};
    }
    return limits;
}

void CRunPage::ShowToolpathRead(const QString& path) {
    auto* list = Control<QListWidget>(IDC_FILE_LIST);
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        if (item->data(Qt::UserRole).toString() == path)
            item->setToolTip(CommandsTip(path.toStdString(), *m_toolpaths));
    }
    ShowTimeLeft();
    ShowPaths();
}

void CRunPage::ShowPaths() {
    std::vector<CPreviewWnd::Path> paths;
    for (const std::string& path : Paths())
        paths.push_back({m_toolpaths->Find(path), m_toolpaths->FindVertices(path)});
    m_preview->SetPaths(std::move(paths));
}

std::uint32_t CRunPage::CommandsDone() const {
    // Counted while the machine runs job data; else the whole run is ahead.
    const SharedState& state = m_links.state;
    return state.lastStatus.load() == kStatusJob ? state.commandsDone.load() : 0;
}

void CRunPage::FollowMachine() {
    const SharedState& state = m_links.state;
    m_preview->SetCommandsDone(CommandsDone());
    if (state.lastStatus.load() == 0) return;  // no word from the machine yet
    const auto p = ShownPosition(state.lastPosition.Get(), state, m_links.config);
    m_preview->SetTool(jobs::PathPoint{float(p[0]), float(p[1]), float(p[2]), float(p[3])});
}

std::optional<double> CRunPage::MinutesLeftAfter(std::uint32_t commandsDone) const {
    const auto seconds =
        m_toolpaths->SecondsLeft(Paths(), commandsDone, m_links.state.feedOverride.load());
    if (!seconds) return std::nullopt;
    return *seconds / 60;
}

void CRunPage::ShowTimeLeft() {
    QString text;
    if (m_links.state.runList.Count() > 0) {
        if (m_toolpaths->IsReadingAny()) {
            text = tr("Time Left: reading...");
        } else if (const auto minutes = MinutesLeftAfter(CommandsDone())) {
            text = tr("Time Left: %1 min.").arg(int(std::ceil(*minutes - 1e-9)));
        }
    }
    if (Text(IDC_TIME_LEFT) != text) SetText(IDC_TIME_LEFT, text);
}

void CRunPage::ShowRunList() {
    Control<QListWidget>(IDC_FILE_LIST)->clear();
    const RunList& runList = m_links.state.runList;
    for (int i = 0; i < runList.Count(); ++i) AddListEntry(runList.Path(i));
    m_toolpaths->KeepOnly(Paths());
}

void CRunPage::OnAdd() {
    const std::string path = Chooser() ? Chooser()(this) : ChooseWithDialog(this);
    if (path.empty()) {
        UpdateData(false);
        return;
    }
    if (!m_links.state.runList.Add(path)) {
        MessageBox(RunList::kFullText, "Error");
        return;
    }
    AddListEntry(path);
    UpdateData(false);
}

void CRunPage::OnDelete() {
    auto* list = Control<QListWidget>(IDC_FILE_LIST);
    if (list->count() == 0) return;
    int index = list->currentRow();
    if (index < 0 || !list->item(index)->isSelected()) index = list->count() - 1;
    delete list->takeItem(index);
    // Qt would select the next line; with none selected, the next Delete takes the last file.
    list->setCurrentRow(-1);
    list->clearSelection();
    m_links.state.runList.Delete(index);
    m_toolpaths->KeepOnly(Paths());
    ShowTimeLeft();
    ShowPaths();
}

void CRunPage::OnRun() {
    if (Control<QListWidget>(IDC_FILE_LIST)->count() == 0) return;
    // A refused Run changes nothing, the fixture radios included.
    if (RequestRun(m_links.state, m_links.config).fixtureApplied) m_links.showSelectedFixture(0);
}

void CRunPage::OnOverrideReleased(int trackbarId, int labelId) {
    UpdateData(true);
    const int percent = Position(trackbarId);
    RequestOverride(m_links.state,
                    trackbarId == IDC_RUN_FEED_TRACKBAR ? Override::Feed : Override::Spindle,
                    percent);
    SetText(labelId, QString::number(percent));
    UpdateData(false);
}
