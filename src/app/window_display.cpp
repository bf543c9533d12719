#include "app/window_display.h"

#include "pages/calibration_dlg.h"
#include "pages/status_label.h"
#include "service/control_ids.h"
#include "service/sensor_pauses.h"
#include "ui/message_box_service.h"
#include "ui/ui_thread.h"

namespace {
std::size_t Slot(Window window) { return static_cast<std::size_t>(window); }
}  // namespace

void WindowDisplay::SetTarget(Window window, ui::Dialog* dialog) {
    m_targets[Slot(window)] = dialog;
}

ui::ScopedRegistration WindowDisplay::Register(Window window, ui::Dialog& dialog) {
    QPointer<ui::Dialog>& target = m_targets[Slot(window)];
    QPointer<ui::Dialog> previous = target;
    target = &dialog;
    // The display may go first (the main window's members before its children).
    return ui::ScopedRegistration(
        [this, alive = QPointer<QObject>(&m_context), window, previous, registered = &dialog] {
            if (!alive) return;
            QPointer<ui::Dialog>& target = m_targets[Slot(window)];
            if (target.isNull() || target.data() == registered) target = previous;
        });
}

void WindowDisplay::Post(Window window, std::function<void(ui::Dialog&)> work) {
    ui::PostToUiThread(
        [this, window, work = std::move(work)] {
            if (ui::Dialog* dialog = m_targets[Slot(window)]) work(*dialog);
        },
        &m_context);
}

void WindowDisplay::SetText(Window window, int controlId, const std::string& text) {
    Post(window, [controlId, text = QString::fromStdString(text)](ui::Dialog& dialog) {
        if (auto* label = dialog.Control<CStatusLabel>(controlId)) {
            label->SetText(text);
        } else if (dialog.Control(controlId)) {
            dialog.SetText(controlId, text);
        }
    });
}

void WindowDisplay::EnableControls(std::initializer_list<int> controlIds, bool enable) {
    std::vector<int> ids(controlIds);
    {
        std::lock_guard lock(m_mutex);
        for (int id : ids) m_enabled[id] = enable;
    }
    Post(Window::Main, [ids, enable](ui::Dialog& dialog) {
        for (int id : ids)
            if (dialog.Control(id)) dialog.Enable(id, enable);
    });
}

bool WindowDisplay::IsEnabled(int controlId) const {
    std::lock_guard lock(m_mutex);
    auto it = m_enabled.find(controlId);
    return it == m_enabled.end() || it->second;
}

void WindowDisplay::SetProgress(int percent) {
    Post(Window::RunPage, [percent](ui::Dialog& dialog) {
        if (dialog.Control(IDC_PROGRESS)) dialog.SetPosition(IDC_PROGRESS, percent);
    });
}

void WindowDisplay::EndMainWindow(int result) {
    Post(Window::Main, [result](ui::Dialog& dialog) { dialog.EndDialog(result); });
}

void WindowDisplay::SetYCenter(int counts) {
    m_yCenter = counts;
    Post(Window::Calibration, [counts](ui::Dialog& dialog) {
        if (auto* calibration = qobject_cast<CCalibrationDlg*>(&dialog))
            calibration->SetYCenter(counts);
    });
}

bool WindowDisplay::ShowSensorPauses(const std::atomic<bool>& stop) {
    return ShowSensorPausesWith([this, &stop](const char* text, const char* caption) {
        return ui::RunOnUiThread(
            [this, text, caption] { ui::MessageBox(m_targets[Slot(Window::Main)], text, caption); },
            stop);
    });
}
