#include "engine/strict_int.h"

#include <cstdint>

namespace fw {

std::string textForMessage(std::string_view text, std::size_t longest) {
    if (text.size() <= longest)
        return std::string(text);
    return std::string(text.substr(0, longest)) + "...";
}

ConversionError::ConversionError(std::string_view text)
    : std::runtime_error("'" + textForMessage(text) + "' is not a valid integer value") {}

int strToInt(std::string_view text) {
    std::string_view s = text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        throw ConversionError(text);
    std::int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            throw ConversionError(text);
        value = value * 10 + (c - '0');
        if (value > 2147483648LL)
            throw ConversionError(text);
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        throw ConversionError(text);
    return static_cast<int>(value);
}

std::string fileLineConversionMessage(std::string_view line, std::size_t lineNumber,
                                      std::string_view fileName) {
    return std::string(ConversionError(line).what()) + "\n(line " + std::to_string(lineNumber) +
           " of " + std::string(fileName) + "; nothing was loaded)";
}

} // namespace fw
