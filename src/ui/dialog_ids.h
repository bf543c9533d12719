#pragma once
// Command ids every dialog shares, with the values the windows' templates use.

namespace ui {

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
// Statics and groups that nothing looks up share this id.
inline constexpr int IDC_STATIC = -1;

}  // namespace ui
