#include "engine/z2uvir.h"

#include "engine/strict_int.h"

namespace fw {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string_view field(std::string_view line, std::size_t pos, std::size_t len) {
    if (pos >= line.size())
        return {};
    return line.substr(pos, len);
}
} // namespace

std::string byteToHex(int value) {
    const auto b = static_cast<unsigned>(value) & 0xFFu;
    return {kHexDigits[b >> 4], kHexDigits[b & 0xF]};
}

int hexToInt(std::string_view text) {
    int result = 0;
    unsigned place = 1;
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        const int d = hexDigit(*it);
        const unsigned digit = d < 0 ? 0u : static_cast<unsigned>(d);
        result = static_cast<int>(static_cast<unsigned>(result) + digit * place);
        place *= 16;
    }
    return result;
}

std::string formatZ2uvirLine(int status, int data1, int data2, int timeCs) {
    std::string line;
    line.reserve(20);
    line += byteToHex(status);
    line += byteToHex(data1);
    line += byteToHex(data2);
    line += "00-";
    line += std::to_string(timeCs);
    return line;
}

int z2uvirTime(std::string_view line) {
    return strToInt(field(line, 9, std::string_view::npos));
}

Z2uvirLine parseZ2uvirLine(std::string_view line) {
    Z2uvirLine out;
    out.status = hexToInt(field(line, 0, 2));
    out.data1 = hexToInt(field(line, 2, 2));
    out.data2 = hexToInt(field(line, 4, 2));
    out.time = z2uvirTime(line);
    return out;
}

std::optional<MidiMessage> channelMessageOf(std::string_view line) {
    if (line.size() < 6)
        return std::nullopt;
    int bytes[3];
    for (int i = 0; i < 3; ++i) {
        const int hi = hexDigit(line[2 * i]);
        const int lo = hexDigit(line[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes[i] = hi * 16 + lo;
    }
    if (!isValidChannelMessage(bytes[0], bytes[1], bytes[2]))
        return std::nullopt;
    return MidiMessage(bytes[0], bytes[1], bytes[2]);
}

} // namespace fw
