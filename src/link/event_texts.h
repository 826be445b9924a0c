// The receiver's soft event codes (8-bit) and fatal error codes (16-bit) with their texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vx {

struct SoftEvent {
    uint8_t code;
    std::string_view text;
};

struct FatalError {
    uint16_t code;
    std::string_view text;
};

// Both tables in ascending code order (also the order the soft event window lists them).
const std::vector<SoftEvent>& softEventTable();
const std::vector<FatalError>& fatalErrorTable();

std::optional<std::string_view> softEventText(uint8_t code);
// The code whose text equals text exactly.
std::optional<uint8_t> softEventCode(std::string_view text);
// All soft event texts in ascending code order.
std::vector<std::string_view> softEventTexts();
std::optional<std::string_view> fatalErrorText(uint16_t code);

} // namespace vx
