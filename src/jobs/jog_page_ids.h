#pragma once
// Control ids of the jog page (template 144). Most have the numbers of the
// main window's older controls for the same functions.
#include "service/control_ids.h"

inline constexpr int IDC_JOG_AXIS_X = 1004;  // radio group 1004-1007: jog axis X, Y, Z, A
inline constexpr int IDC_JOG_AXIS_A = 1007;
inline constexpr int IDC_GO_A_AXIS = 1018;  // radio group 1015-1018 (IDC_GO_X ...): go-to axis
inline constexpr int IDC_GO_SPEED = 1021;   // the speed edit, mm/min
inline constexpr int IDC_JOG_FAST = 1149;   // radio group 1149-1152: jog speed
inline constexpr int IDC_JOG_VERY_SLOW = 1152;
