#pragma once
// Getting work onto the UI thread, the only thread that may touch a widget.
// A QApplication must exist.
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace ui {

bool IsUiThread();

// Queues `work` to run on the UI thread and returns at once, from any thread,
// the UI thread included (the work then runs after the current handler).
// With a context object the work is dropped if the context is destroyed
// before it runs; the context must live in the UI thread and must still exist
// while this call posts.
void PostToUiThread(std::function<void()> work, QObject* context = nullptr);

// Runs `work` on the UI thread and waits until it has run; true then. Gives up
// and returns false as soon as `stop` is raised, or when the application goes
// away with the work still queued, so shutdown can raise `stop` and join a
// thread that waits here. Work not started by then never starts; work already
// running finishes on the UI thread, so it must own what it uses. On the UI
// thread the work runs at once.
bool RunOnUiThread(std::function<void()> work, const std::atomic<bool>& stop);

// RunOnUiThread for work with a result; empty when given up.
template <class R>
std::optional<R> CallOnUiThread(std::function<R()> work, const std::atomic<bool>& stop) {
    auto result = std::make_shared<std::optional<R>>();
    if (!RunOnUiThread([result, work = std::move(work)] { *result = work(); }, stop))
        return std::nullopt;
    return std::move(*result);
}

}  // namespace ui
