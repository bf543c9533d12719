#pragma once
// Control ids of the run page (template 143). The progress controls are
// shared with the command thread.
#include "service/control_ids.h"

inline constexpr int IDD_RUN_PAGE = 143;
inline constexpr int IDD_JOG_PAGE = 144;

inline constexpr int IDC_RUN_ADD = 1021;
inline constexpr int IDC_RUN_RUN = 1022;
inline constexpr int IDC_RUN_TOOL_DETECTION = 1026;
inline constexpr int IDC_RUN_FEED_TRACKBAR = 1102;
inline constexpr int IDC_RUN_SPINDLE_TRACKBAR = 1103;
inline constexpr int IDC_RUN_FEED_LABEL = 1104;
inline constexpr int IDC_RUN_SPINDLE_LABEL = 1105;
inline constexpr int IDC_FILE_LIST = 1156;
inline constexpr int IDC_RUN_DELETE = 1157;
// Not in the older layout: where the preview panel sits.
inline constexpr int IDC_PREVIEW = 1160;
// Beyond the older layout: the machine time the run still needs.
inline constexpr int IDC_TIME_LEFT = 1167;
