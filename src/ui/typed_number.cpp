#include "ui/typed_number.h"

#include "platform/profile_file.h"

namespace ui {

std::int32_t ReadTypedInteger(const QString& text) {
    return platform::ParseProfileInt(text.toStdString());
}

std::int16_t ReadTypedInt16(const QString& text) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(ReadTypedInteger(text)));
}

}  // namespace ui
