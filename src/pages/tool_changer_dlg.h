#pragma once
// CToolChangerDlg: records which tool is in the spindle and asks the command
// thread to take the spindle to the tool block to put a tool back or fetch
// one. Every machine action is a request through the main window; the dialog
// never waits for a cycle.
#include <functional>

#include "pages/aux_locations_dlg.h"
#include "ui/dialog.h"

class Configuration;
class SharedState;

// What the dialog needs of the main window.
struct ToolChangerLinks {
    Configuration& config;  // the current tool number, and saving it
    SharedState& state;     // the spindle clamp request
    // The main window's busy-checked requests, each with its refusal box; the
    // tool cycles take the tool they go to.
    std::function<bool(int tool)> requestReplaceTool;
    std::function<bool(int tool)> requestGetTool;
    std::function<bool()> requestToolDetection;
    // The main window's Stop action.
    std::function<void()> stop;
    // For "Set Tool Block".
    AuxLocationsLinks auxLocations;
};

class CToolChangerDlg : public ui::Dialog {
    Q_OBJECT
public:
    // Takes the current tool number as it is now.
    explicit CToolChangerDlg(ToolChangerLinks links, QWidget* parent = nullptr);

    void OnReplaceTool();
    void OnGetTool();

    static constexpr int kClampOpen = 1;
    static constexpr int kClampClose = 2;

protected:
    void OnOK() override;

private:
    void RequestClamp(int request);

    ToolChangerLinks m_links;

    // Members bound to the controls: 0 none, 1..4; -1 when no radio is checked.
    int m_currentTool = 0;
    int m_toolToGet = 0;
};
