#pragma once
// How the command thread reaches the windows. It never touches a widget: the
// windows implement this by posting to the UI thread, tests by recording.
// Every call may come from the command thread.
#include <atomic>
#include <initializer_list>
#include <string>

enum class Window { Main, RunPage, Calibration };

class IDisplay {
public:
    virtual ~IDisplay() = default;

    // Sets a control's text and repaints it.
    virtual void SetText(Window window, int controlId, const std::string& text) = 0;
    virtual void EnableControls(std::initializer_list<int> controlIds, bool enable) = 0;
    // Whether a main-window control is enabled as far as the thread last set it
    // (the windows start with every control enabled).
    virtual bool IsEnabled(int controlId) const = 0;
    virtual void SetProgress(int percent) = 0;
    // Ends the main window's modal run with this result.
    virtual void EndMainWindow(int result) = 0;
    // The Y centre the calibration dialog keeps as a number beside its text.
    virtual void SetYCenter(int counts) = 0;
    // The two "Pause" boxes of the tool sensor scan, one after the other;
    // blocks until both are answered (true) or `stop` is raised (false).
    virtual bool ShowSensorPauses(const std::atomic<bool>& stop) = 0;
};
