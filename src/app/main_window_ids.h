#pragma once
// Control ids of the main window (template 142). The ones the command thread
// writes or enables are shared with it.
#include "service/control_ids.h"

inline constexpr int IDD_TARNWICK_DIALOG = 142;

inline constexpr int IDC_JOG_X = 1004;  // radio group 1004-1007: jog axis
inline constexpr int IDC_JOG_Y = 1005;
inline constexpr int IDC_JOG_Z = 1006;
inline constexpr int IDC_JOG_A = 1007;
inline constexpr int IDC_JOG_SPEED_LIST = 1012;
inline constexpr int IDC_GO_Y = 1016;
inline constexpr int IDC_GO_Z = 1017;
inline constexpr int IDC_GO_A = 1018;
inline constexpr int IDC_PROBE = 1070;
inline constexpr int IDC_TEST_PROBE = 1071;
inline constexpr int IDC_PROGRAM_PATH = 1089;
inline constexpr int IDC_FEED_LABEL = 1104;
inline constexpr int IDC_SPINDLE_LABEL = 1105;
inline constexpr int IDC_AXIS_X = 1107;
inline constexpr int IDC_AXIS_Y = 1108;
inline constexpr int IDC_AXIS_Z = 1109;
inline constexpr int IDC_AXIS_A = 1110;
inline constexpr int IDC_RPM = 1116;
inline constexpr int IDC_TABS = 1148;
// Not in the older layout: the operator's way to the About dialog.
inline constexpr int IDC_ABOUT = 1200;
