#pragma once
// CAuxLocationsDlg: stores the spindle's X, Y as one of the four aux (tool
// block) locations. Each button is a request to the command thread, which
// reads the position once the machine is idle; the dialog says so at once.
#include <functional>

#include "ui/dialog.h"

// What the dialog needs of the main window.
struct AuxLocationsLinks {
    // The main window's aux location request (no busy check; replaces a
    // pending cycle).
    std::function<bool(int location)> requestAuxLocation;
};

class CAuxLocationsDlg : public ui::Dialog {
    Q_OBJECT
public:
    explicit CAuxLocationsDlg(AuxLocationsLinks links, QWidget* parent = nullptr);

    // `location` 1..4.
    void SetAuxLocation(int location);

    static constexpr const char* kCaption = "Set Aux. Locations";
    static constexpr const char* kSetCaption = "Aux. Position Set";

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    AuxLocationsLinks m_links;
};
