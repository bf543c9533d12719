#pragma once
// Control ids of the Tool Changer dialog (template 135). Several numbers are
// the main window's for other controls, so the names differ from its names.

inline constexpr int IDD_TOOL_CHANGER = 135;

inline constexpr int IDC_GET_TOOL = 1074;
inline constexpr int IDC_CLOSE_SPINDLE = 1073;
inline constexpr int IDC_REPLACE_TOOL = 1075;
inline constexpr int IDC_OPEN_SPINDLE = 1021;
inline constexpr int IDC_CURRENT_TOOL_NONE = 1090;  // radio group 1090-1094: none, 1-4
inline constexpr int IDC_CURRENT_TOOL4 = 1094;
inline constexpr int IDC_TOOL_TO_GET_NONE = 1095;  // radio group 1095-1099: none, 1-4
inline constexpr int IDC_TOOL_TO_GET4 = 1099;
inline constexpr int IDC_MEASURE_TOOL = 1100;  // "Set Tool Height"
inline constexpr int IDC_SET_TOOL_BLOCK = 1101;
inline constexpr int IDC_TOOL_CHANGER_STOP = 1105;
inline constexpr int IDC_ADVANCED = 1122;
