#include "pages/tool_changer_dlg.h"

#include "config/configuration.h"
#include "pages/tool_changer_ids.h"
#include "service/shared_state.h"

namespace {

ui::DialogTemplate ToolChangerTemplate() {
    using ui::ControlKind;
    using ui::Row;
    ui::DialogTemplate t = ui::Template(IDD_TOOL_CHANGER, "Tool Changer", 290, 100);
    // Two groups of five radios, each with its button below.
    auto group = [&t](const char* title, int x, int firstRadio, int button,
                      const char* buttonText) {
        t.controls.push_back(Row(ui::IDC_STATIC, ControlKind::GroupBox, title, x, 4, 114, 50));
        const char* names[5] = {"None", "1", "2", "3", "4"};
        for (int i = 0; i < 5; ++i) {
            const int left = i == 0 ? x + 7 : x + 20 + 18 * i;
            t.controls.push_back(Row(firstRadio + i, ControlKind::RadioButton, names[i], left, 17,
                                     i == 0 ? 30 : 16, 10, i == 0 ? ui::kGroup : 0u));
        }
        t.controls.push_back(
            Row(button, ControlKind::Button, buttonText, x + 7, 33, 100, 14, ui::kGroup));
    };
    group("Current Tool", 7, IDC_CURRENT_TOOL_NONE, IDC_REPLACE_TOOL, "Replace Tool");
    group("Get Tool", 127, IDC_TOOL_TO_GET_NONE, IDC_GET_TOOL, "Get Tool");
    t.controls.push_back(Row(IDC_TOOL_CHANGER_STOP, ControlKind::Button, "Stop", 247, 8, 36, 46));
    const struct {
        int id;
        const char* text;
    } buttons[] = {{IDC_SET_TOOL_BLOCK, "Set Tool Block"},
                   {IDC_MEASURE_TOOL, "Set Tool Height"},
                   {IDC_OPEN_SPINDLE, "Open Spindle"},
                   {IDC_CLOSE_SPINDLE, "Close Spindle"}};
    for (int i = 0; i < 4; ++i)
        t.controls.push_back(
            Row(buttons[i].id, ControlKind::Button, buttons[i].text, 7 + 70 * i, 61, 66, 14));
    ui::ControlTemplate advanced =
        Row(IDC_ADVANCED, ControlKind::Button, "Advanced", 7, 80, 66, 14, 0, false);
    advanced.enabled = false;
    t.controls.push_back(advanced);
    t.controls.push_back(Row(ui::IDOK, ControlKind::DefaultButton, "Exit", 217, 80, 66, 14));
    return t;
}

}  // namespace

CToolChangerDlg::CToolChangerDlg(ToolChangerLinks links, QWidget* parent)
    : ui::Dialog(ToolChangerTemplate(), parent),
      m_links(std::move(links)),
      m_currentTool(m_links.config.CurrentTool()) {
    Bindings().Radio(IDC_CURRENT_TOOL_NONE, IDC_CURRENT_TOOL4, m_currentTool);
    Bindings().Radio(IDC_TOOL_TO_GET_NONE, IDC_TOOL_TO_GET4, m_toolToGet);
    OnClicked(IDC_REPLACE_TOOL, [this] { OnReplaceTool(); });
    OnClicked(IDC_GET_TOOL, [this] { OnGetTool(); });
    OnClicked(IDC_MEASURE_TOOL, [this] { m_links.requestToolDetection(); });
    OnClicked(IDC_TOOL_CHANGER_STOP, [this] { m_links.stop(); });
    OnClicked(IDC_SET_TOOL_BLOCK, [this] {
        CAuxLocationsDlg auxLocations(m_links.auxLocations, this);
        auxLocations.RunModal();
    });
    OnClicked(IDC_OPEN_SPINDLE, [this] { RequestClamp(kClampOpen); });
    OnClicked(IDC_CLOSE_SPINDLE, [this] { RequestClamp(kClampClose); });
}

void CToolChangerDlg::OnReplaceTool() {
    UpdateData(true);
    m_links.config.SetCurrentTool(m_currentTool);
    m_links.requestReplaceTool(m_currentTool);
    // The tool is on its way back to the block, whether or not the machine
    // took the request now.
    m_currentTool = 0;
    UpdateData(false);
}

void CToolChangerDlg::OnGetTool() {
    UpdateData(true);
    m_links.requestGetTool(m_toolToGet);
    m_currentTool = m_toolToGet;
    UpdateData(false);
}

void CToolChangerDlg::OnOK() {
    UpdateData(true);
    m_links.config.SetCurrentTool(m_currentTool);
    m_links.config.SaveSettings();
    EndDialog(ui::IDOK);
}

void CToolChangerDlg::RequestClamp(int request) {
    SharedState& state = m_links.state;
    state.spindleClampRequest = request;
    state.spindleClampWord = 0;
}
