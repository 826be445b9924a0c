// Reading the test tools' number boxes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

// A box that holds a whole decimal number within 32 bits (blanks around allowed): value takes
// it and true is returned. An empty box keeps value and returns true. Anything else (a sign
// alone, trailing text, a number out of range) returns false and keeps value.
bool readDecimalField(std::string_view text, int32_t& value);

// The same for a count or time that cannot be negative: the error text naming the field
// ("Cycles: not a whole number.", "Cycles: cannot be negative."), or an empty string.
std::string readCountField(std::string_view name, std::string_view text, int32_t& value);

} // namespace vx
