#pragma once
// Numbers the operator types into edits, read the way the windows have always
// read them: as C atol does, so "12.7" is 12, " -5mm" is -5 and letters are 0.
#include <QString>
#include <cstdint>

namespace ui {

// Leading blanks, an optional sign, then digits up to the first other
// character; no digits gives 0; wraps to 32 bits.
std::int32_t ReadTypedInteger(const QString& text);
// The same, keeping the low 16 bits, for the machine's 16-bit fields.
std::int16_t ReadTypedInt16(const QString& text);

}  // namespace ui
