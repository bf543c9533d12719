#pragma once
// Control ids of the fixture offsets page (template 145) and the set-up
// dialog (template 134); the offset edits and their "Set" buttons are in
// pages/fixture_offsets_form.h.
inline constexpr int IDD_SETUP_DIALOG = 134;
inline constexpr int IDD_SETUP_PAGE = 145;

inline constexpr int IDC_SETUP_APPLY = 1153;
inline constexpr int IDC_SETUP_SET_AUX = 1160;
inline constexpr int IDC_SETUP_CALIBRATION = 1078;
inline constexpr int IDC_SETUP_TOOL_BLOCK = 1101;
