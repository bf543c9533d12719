#include "app/machine_type_dlg.h"

#include "config/machine_profile.h"

namespace {

ui::DialogTemplate MachineTypeTemplate() {
    using ui::ControlKind;
    ui::DialogTemplate t = ui::Template(IDD_MACHINE_TYPE, "Machine Type", 150, 60);
    t.flags = 0;  // no system menu, no close box: OK or Escape
    t.controls = {
        ui::Row(IDC_MACHINE_TYPE_LIST, ControlKind::ComboBox, "", 10, 12, 130, 60,
                ui::kEditable | ui::kSorted, true, {kModelJwx10, kModelMdx40}),
        ui::Row(ui::IDOK, ControlKind::DefaultButton, "OK", 50, 38, 50, 14),
    };
    return t;
}

}  // namespace

CMachineTypeDlg::CMachineTypeDlg(int& machineType, QWidget* parent)
    : ui::Dialog(MachineTypeTemplate(), parent), m_machineType(machineType) {
    Bindings().Selection(IDC_MACHINE_TYPE_LIST, m_selection);
}

void CMachineTypeDlg::OnInitDialog() {
    m_selection = 0;
    ui::Dialog::OnInitDialog();
}

void CMachineTypeDlg::OnOK() {
    UpdateData(true);
    m_machineType = m_selection;
    EndDialog(ui::IDOK);
}
