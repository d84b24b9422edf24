#include "tools/dis/FloatText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string RawText(uint64_t bits, int digits) {
    char text[40];
    std::snprintf(text, sizeof text, "raw(0x%0*llX)", digits,
                  static_cast<unsigned long long>(bits));
    return text;
}

// The assembler reads a decimal as a double (and then rounds it to F32 for a single), so
// a text is good when that same path gives back the bits.
template <typename Accept>
std::string ShortestDecimal(double value, Accept accept, int maxDigits) {
    if (value == 0)
        return std::signbit(value) ? "-0.0" : "0.0";
    char text[64];
    for (int digits = 1; digits <= maxDigits; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (accept(std::strtod(text, nullptr)))
            break;
    }
    std::string result = text;
    if (result.find_first_of(".e") == std::string::npos)
        result += ".0";
    return result;
}

} // namespace

std::string FormatF32(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value))
        return RawText(bits, 8);
    const std::string text = ShortestDecimal(
        value,
        [&](double parsed) {
            const float back = static_cast<float>(parsed);
            return std::memcmp(&back, &value, sizeof back) == 0;
        },
        17);
    // Double rounding through the double could in principle miss; then the bits are exact.
    const float back = static_cast<float>(std::strtod(text.c_str(), nullptr));
    return std::memcmp(&back, &value, sizeof back) == 0 ? text : RawText(bits, 8);
}

std::string FormatF64(uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value))
        return RawText(bits, 16);
    return ShortestDecimal(
        value, [&](double parsed) { return std::memcmp(&parsed, &value, sizeof parsed) == 0; }, 17);
}
