#pragma once
// Control ids the command thread writes to or enables, by window. The windows
// use the same constants, so the thread and the windows agree on them.

// Main window.
inline constexpr int IDC_CLOSE = 1;  // the default button "Close" (IDOK)
inline constexpr int IDC_JOG_PLUS = 1008;
inline constexpr int IDC_JOG_MINUS = 1009;
inline constexpr int IDC_POSITION_LIST = 1013;
inline constexpr int IDC_MOVE = 1014;
inline constexpr int IDC_GO_X = 1015;  // radio group 1015-1018: X, Y, Z, A
inline constexpr int IDC_POSITION_EDIT = 1019;
inline constexpr int IDC_GO = 1020;
inline constexpr int IDC_OPEN = 1021;
inline constexpr int IDC_START = 1022;
inline constexpr int IDC_SET_UP = 1024;
inline constexpr int IDC_SET_TOOL_HEIGHT = 1026;
inline constexpr int IDC_FIXTURE1 = 1061;
inline constexpr int IDC_FIXTURE2 = 1062;
inline constexpr int IDC_FIXTURE3 = 1063;
inline constexpr int IDC_FIXTURE4 = 1064;
inline constexpr int IDC_USE_FIXTURE_OFFSETS = 1065;
inline constexpr int IDC_TOOL_CHANGER = 1066;
inline constexpr int IDC_STOP = 1101;
inline constexpr int IDC_FEED_TRACKBAR = 1102;
inline constexpr int IDC_SPINDLE_TRACKBAR = 1103;
inline constexpr int IDC_POS_X = 1111;
inline constexpr int IDC_POS_Y = 1112;
inline constexpr int IDC_POS_Z = 1113;
inline constexpr int IDC_POS_A = 1114;
inline constexpr int IDC_SPINDLE_SPEED = 1115;
inline constexpr int IDC_SPINDLE = 1141;
inline constexpr int IDC_AUX_DEVICE = 1142;
inline constexpr int IDC_CURRENT_TOOL = 1143;
inline constexpr int IDC_STATUS = 1146;

// Run page.
inline constexpr int IDC_PERCENT_TEXT = 1155;
inline constexpr int IDC_PROGRESS = 1158;
inline constexpr int IDC_CUT_TIME = 1159;

// Machine Calibration dialog.
inline constexpr int IDC_SCAN_0 = 1079;  // 1079-1082: runout at 0, 90, 180, 270 degrees
inline constexpr int IDC_SCAN_90 = 1080;
inline constexpr int IDC_SCAN_180 = 1081;
inline constexpr int IDC_SCAN_270 = 1082;
inline constexpr int IDC_SCAN_STATUS = 1083;
inline constexpr int IDC_RIGHT_FRONT = 1085;
inline constexpr int IDC_RIGHT_BACK = 1086;
inline constexpr int IDC_NOMINAL = 1087;
inline constexpr int IDC_REF_RIGHT = 1089;
inline constexpr int IDC_TOOL_SENSOR = 1090;
inline constexpr int IDC_ZA = 1091;
inline constexpr int IDC_LEFT_FRONT = 1092;
inline constexpr int IDC_LEFT_BACK = 1093;
inline constexpr int IDC_REF_LEFT = 1094;
