#pragma once
// The command thread's way into the windows: every call is posted to the UI
// thread, where it finds its window (if that window is open) and control.
#include <QObject>
#include <QPointer>
#include <array>
#include <atomic>
#include <map>
#include <mutex>

#include "service/display.h"
#include "ui/dialog.h"
#include "ui/scoped_registration.h"

class WindowDisplay : public IDisplay {
public:
    // The window that takes the texts of `window`; null while it is closed.
    void SetTarget(Window window, ui::Dialog* dialog);
    // Makes `dialog` the target of `window` until the returned registration
    // ends; the target before it is back then (a dialog opened from another).
    // UI thread only.
    [[nodiscard]] ui::ScopedRegistration Register(Window window, ui::Dialog& dialog);

    void SetText(Window window, int controlId, const std::string& text) override;
    void EnableControls(std::initializer_list<int> controlIds, bool enable) override;
    bool IsEnabled(int controlId) const override;
    void SetProgress(int percent) override;
    void EndMainWindow(int result) override;
    void SetYCenter(int counts) override;
    bool ShowSensorPauses(const std::atomic<bool>& stop) override;

    // The Y centre of the last Y-center scan, also after its dialog has closed.
    int YCenter() const { return m_yCenter.load(); }

private:
    // Runs `work` with the window's dialog on the UI thread, if it is open then.
    void Post(Window window, std::function<void(ui::Dialog&)> work);

    // Work posted by the thread is dropped once this display is gone.
    QObject m_context;
    // Only touched on the UI thread.
    std::array<QPointer<ui::Dialog>, 3> m_targets;
    // The enabled state as the thread last set it (all enabled at first).
    mutable std::mutex m_mutex;
    std::map<int, bool> m_enabled;
    std::atomic<int> m_yCenter{0};
};
