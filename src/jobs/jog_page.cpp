#include "jobs/jog_page.h"

#include <QColor>

#include "config/configuration.h"
#include "jobs/jog_button.h"
#include "jobs/jog_page_ids.h"
#include "jobs/run_page_ids.h"
#include "service/requests.h"
#include "service/shared_state.h"
#include "ui/typed_number.h"

namespace {

constexpr const char* kErrorCaption = "Error";
// The round buttons are circles, as many points a ring as their radius.
constexpr int kCircle = 2;
const QColor kPositiveCaption(100, 175, 100);

struct AxisLabels {
    const char* positive;
    const char* negative;
};
constexpr AxisLabels kLabels[4] = {
    {"Right +", "Left -"}, {"Front +", "Back -"}, {"Up +", "Down -"}, {"CCW +", "CW -"}};

ui::DialogTemplate JogPageTemplate() {
    using ui::ControlKind;
    using ui::Row;
    ui::DialogTemplate t = ui::Template(IDD_JOG_PAGE, "", 254, 209, ui::kChild);
    auto pushLike = [](ui::ControlTemplate row, unsigned more = 0) {
        row.style |= ui::kPushLike | more;
        return row;
    };
    // Sized to sit in the main window's tab control beside the position display.
    t.controls = {
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "Move To", 4, 2, 104, 34),
        Row(IDC_POSITION_LIST, ControlKind::ComboBox, "", 9, 15, 58, 80),
        Row(IDC_MOVE, ControlKind::Button, "Move", 70, 14, 33, 14),
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "Go To", 4, 40, 104, 94),
        Row(IDC_GO_X, ControlKind::RadioButton, "X", 9, 52, 22, 10, ui::kGroup),
        Row(IDC_GO_X + 1, ControlKind::RadioButton, "Y", 33, 52, 22, 10),
        Row(IDC_GO_X + 2, ControlKind::RadioButton, "Z", 57, 52, 22, 10),
        Row(IDC_GO_A_AXIS, ControlKind::RadioButton, "A", 81, 52, 22, 10),
        Row(ui::IDC_STATIC, ControlKind::Static, "Position:", 9, 67, 60, 8, ui::kGroup),
        Row(IDC_POSITION_EDIT, ControlKind::Edit, "", 9, 77, 94, 13),
        Row(ui::IDC_STATIC, ControlKind::Static, "Speed (mm/min):", 9, 95, 60, 8),
        Row(IDC_GO_SPEED, ControlKind::Edit, "", 9, 105, 56, 13),
        Row(IDC_GO, ControlKind::Button, "Go", 70, 104, 33, 14),
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "Jog", 112, 2, 116, 96),
        pushLike(Row(IDC_JOG_AXIS_X, ControlKind::RadioButton, "X Axis", 117, 12, 52, 13),
                 ui::kGroup),
        pushLike(Row(IDC_JOG_AXIS_X + 1, ControlKind::RadioButton, "Y Axis", 171, 12, 52, 13)),
        pushLike(Row(IDC_JOG_AXIS_X + 2, ControlKind::RadioButton, "Z Axis", 117, 26, 52, 13)),
        pushLike(Row(IDC_JOG_AXIS_A, ControlKind::RadioButton, "A Axis", 171, 26, 52, 13)),
        Row(IDC_JOG_MINUS, ControlKind::Custom, "Negative\n-", 118, 43, 48, 50, ui::kGroup),
        Row(IDC_JOG_PLUS, ControlKind::Custom, "Positive\n+", 174, 43, 48, 50),
        Row(ui::IDC_STATIC, ControlKind::GroupBox, "Jog Speed", 112, 100, 116, 34),
        Row(IDC_JOG_FAST, ControlKind::RadioButton, "Fast", 117, 111, 52, 10, ui::kGroup),
        Row(IDC_JOG_FAST + 1, ControlKind::RadioButton, "Medium", 171, 111, 52, 10),
        Row(IDC_JOG_FAST + 2, ControlKind::RadioButton, "Slow", 117, 122, 52, 10),
        Row(IDC_JOG_VERY_SLOW, ControlKind::RadioButton, "Very Slow", 171, 122, 52, 10),
        pushLike(Row(IDC_SPINDLE, ControlKind::CheckBox, "Spindle", 4, 140, 104, 18), ui::kGroup),
        Row(IDC_SET_TOOL_HEIGHT, ControlKind::Button, "Run Tool Detection", 112, 140, 116, 18),
    };
    return t;
}

}  // namespace

CJogPage::CJogPage(JogPageLinks links, QWidget* parent)
    : ui::Dialog(JogPageTemplate(), parent), m_links(std::move(links)) {
    m_plus = ReplaceControl<CJogPlusButton>(IDC_JOG_PLUS);
    m_minus = ReplaceControl<CJogMinusButton>(IDC_JOG_MINUS);
    m_plus->SetCaptionColor(kPositiveCaption);
    for (CJogButton* button : {m_plus, m_minus}) {
        connect(button, &CJogButton::JogPressed, this, [this] { OnJogPressed(); });
        connect(button, &CJogButton::JogClicked, this, [this, button] { Jog(*button, false); });
        connect(button, &CJogButton::HoldStarted, this, [this, button] { Jog(*button, true); });
        connect(button, &CJogButton::HoldEnded, this, [this] { m_links.stop(); });
    }
    Bindings().Radio(IDC_GO_X, IDC_GO_A_AXIS, m_goAxis);
    Bindings().Radio(IDC_JOG_AXIS_X, IDC_JOG_AXIS_A, m_jogAxis);
    Bindings().Radio(IDC_JOG_FAST, IDC_JOG_VERY_SLOW, m_jogSpeed);
    Bindings().Check(IDC_SPINDLE, m_spindle);
    Bindings().Text(IDC_POSITION_EDIT, m_positionText);
    Bindings().Text(IDC_GO_SPEED, m_speedText);
    Bindings().Selection(IDC_POSITION_LIST, m_namedPosition);
    OnClicked(IDC_MOVE, [this] { OnMove(); });
    OnClicked(IDC_GO, [this] { OnGo(); });
    OnClicked(IDC_SPINDLE, [this] { OnSpindle(); });
    OnClicked(IDC_SET_TOOL_HEIGHT, [this] { m_links.requestToolDetection(); });
    for (int axis = 0; axis < 4; ++axis)
        OnClicked(IDC_JOG_AXIS_X + axis, [this, axis] { OnSelectJogAxis(axis); });
}

// A hold still running stops before the page goes: afterwards nothing would.
CJogPage::~CJogPage() {
    m_plus->EndHold();
    m_minus->EndHold();
}

void CJogPage::OnInitDialog() {
    m_goAxis = 0;
    m_jogAxis = 0;
    m_jogSpeed = 2;
    m_speedText = "500";
    for (const char* name : {"XY Origin", "Z Origin", "A Origin", "View Pos.", "Aux. Loc. 1",
                             "Aux. Loc. 2", "Aux. Loc. 3", "Aux. Loc. 4"})
        AddString(IDC_POSITION_LIST, name);
    m_namedPosition = 0;
    m_plus->SetShape(kCircle, 0);
    m_minus->SetShape(kCircle, 0);
    Relabel();
    ui::Dialog::OnInitDialog();
}

void CJogPage::Relabel() {
    if (m_jogAxis < 0 || m_jogAxis > 3) return;
    m_plus->setText(kLabels[m_jogAxis].positive);
    m_minus->setText(kLabels[m_jogAxis].negative);
}

void CJogPage::OnMove() {
    UpdateData(true);
    SharedState& state = m_links.state;
    state.moveSelection = m_namedPosition;
    if (!RequestIfIdle(state, kMoveRequest)) MessageBox(kMoveRequest.refusal, kErrorCaption);
}

void CJogPage::OnGo() {
    UpdateData(true);
    SharedState& state = m_links.state;
    state.goAxis = m_goAxis;
    state.positionEditText.Set(m_positionText);
    int speed = ui::ReadTypedInteger(QString::fromStdString(m_speedText));
    if (speed > kMaxGoSpeed) {
        speed = kMaxGoSpeed;
        SetText(IDC_GO_SPEED, QString::number(speed));
    }
    if (speed <= 0) {
        speed = 1;
        SetText(IDC_GO_SPEED, QString::number(speed));
    }
    m_speedText = Text(IDC_GO_SPEED).toStdString();
    state.goSpeed = speed;
    if (!RequestIfIdle(state, kExecuteRequest)) MessageBox(kExecuteRequest.refusal, kErrorCaption);
}

void CJogPage::OnSpindle() {
    UpdateData(true);
    m_links.state.spindleSwitch = m_spindle;
    m_links.state.SetCycle(kSpindleCycle, 0);
}

void CJogPage::OnSelectJogAxis(int axis) {
    m_jogAxis = axis;
    Relabel();
    m_plus->SetRebuild();
    m_minus->SetRebuild();
    m_plus->update();
    m_minus->update();
    UpdateData(false);
}

void CJogPage::OnJogPressed() {
    UpdateData(true);
    m_pressPosition = m_links.state.lastPosition.Get();
}

void CJogPage::Jog(const CJogButton& button, bool held) {
    if (m_jogAxis < 0 || m_jogAxis > 3) return;
    const bool positive = button.Direction() == JogDirection::Positive;
    const MachineProfile profile = m_links.config.Profile();
    MachinePosition target = m_pressPosition;
    std::int32_t* coordinate[4] = {&target.x, &target.y, &target.z, &target.a};
    const std::int32_t limits[4] = {profile.xLimit, profile.yLimit, profile.zLimit, kRotaryTravel};
    const std::int32_t lowEnds[4] = {0, 0, 0, -kRotaryTravel};
    std::int32_t& moved = *coordinate[m_jogAxis];
    if (held) {
        moved = positive ? limits[m_jogAxis] : lowEnds[m_jogAxis];
    } else {
        // One count, wrapping as the machine's 32-bit counts do rather than overflowing.
        moved =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(moved) + (positive ? 1u : ~0u));
    }
    const int setting = m_jogSpeed >= 0 && m_jogSpeed < 4 ? m_jogSpeed : 2;
    m_links.requestTargetMove(target, held ? kJogSpeeds[setting] : kStepSpeed);
}
