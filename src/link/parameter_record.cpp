#include "link/parameter_record.h"

#include <cstring>
#include <utility>

namespace {
constexpr std::size_t kSwappedFields[] = {36, 38, 40, 42, 44, 46, 58};
}

std::uint16_t ParameterRecord::Field(std::size_t offset) const {
    std::uint16_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

void ParameterRecord::SetField(std::size_t offset, std::uint16_t value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

void SwapParameterFields(ParameterRecord& record) {
    for (std::size_t offset : kSwappedFields) {
        std::swap(record.bytes[offset], record.bytes[offset + 1]);
    }
}
