#pragma once
// The one way code below the windows shows a message to the operator. The
// windows plug their dialogs in; tests plug in a recorder.
#include <functional>
#include <string>

namespace platform {

using MessageBoxHandler = std::function<void(const std::string& text, const std::string& caption)>;

// The program's default caption (the application's title), which the default
// handler shows for an empty caption. A handler receives the caption exactly as
// given, empty included, and substitutes this itself.
inline constexpr const char* kDefaultMessageBoxCaption = "Tarnwick";

// Shows an OK box; an empty caption means the program's default caption.
void ShowMessageBox(const std::string& text, const std::string& caption = std::string());
// Replaces the handler; an empty handler restores the default (standard error).
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
