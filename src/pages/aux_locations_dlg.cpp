#include "pages/aux_locations_dlg.h"

#include "pages/aux_locations_ids.h"

namespace {

constexpr const char* kButtonTexts[4] = {"Aux. Loc. 1", "Aux. Loc. 2", "Aux. Loc. 3",
                                         "Aux. Loc. 4"};
constexpr const char* kSetTexts[4] = {
    "Auxillary position #1 is now set", "Auxillary position #2 is now set",
    "Auxillary position #3 is now set", "Auxillary position #4 is now set"};

ui::DialogTemplate AuxLocationsTemplate() {
    using ui::ControlKind;
    using ui::Row;
    ui::DialogTemplate t = ui::Template(IDD_AUX_LOCATIONS, "Set Tool Block Positions", 274, 81);
    const char* texts[4] = {"Set Tool 1", "Set Tool 2", "Set Tool 3", "Set Tool 4"};
    for (int i = 0; i < 4; ++i)
        t.controls.push_back(
            Row(IDC_SET_TOOL1 + i, ControlKind::Button, texts[i], 9 + 66 * i, 16, 58, 24));
    t.controls.push_back(Row(ui::IDOK, ControlKind::DefaultButton, "Close", 207, 58, 58, 14));
    return t;
}

}  // namespace

CAuxLocationsDlg::CAuxLocationsDlg(AuxLocationsLinks links, QWidget* parent)
    : ui::Dialog(AuxLocationsTemplate(), parent), m_links(std::move(links)) {
    for (int i = 0; i < 4; ++i) OnClicked(IDC_SET_TOOL1 + i, [this, i] { SetAuxLocation(i + 1); });
}

void CAuxLocationsDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    // The template still names the tool block; the operator sees aux locations.
    for (int i = 0; i < 4; ++i) SetText(IDC_SET_TOOL1 + i, kButtonTexts[i]);
    setWindowTitle(kCaption);
}

void CAuxLocationsDlg::OnOK() { EndDialog(ui::IDOK); }

void CAuxLocationsDlg::SetAuxLocation(int location) {
    if (location < 1 || location > 4) return;
    // The thread stores the position when the machine is next idle; the
    // operator is told now, as nothing refuses this request.
    if (m_links.requestAuxLocation(location)) MessageBox(kSetTexts[location - 1], kSetCaption);
}
