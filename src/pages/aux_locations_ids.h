#pragma once
// Control ids of the Set Aux. Locations dialog (template 140).

inline constexpr int IDD_AUX_LOCATIONS = 140;

inline constexpr int IDC_SET_TOOL1 = 1144;  // 1144-1147: aux locations 1-4
inline constexpr int IDC_SET_TOOL4 = 1147;
