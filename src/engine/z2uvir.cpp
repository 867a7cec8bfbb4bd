#include "engine/z2uvir.h"

#include "engine/strict_int.h"

namespace fw {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

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
        const char c = *it;
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
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

bool isValidChannelMessage(int status, int data1, int data2) {
    return status >= 0x80 && status <= 0xEF && data1 >= 0 && data1 < 0x80 && data2 >= 0 &&
           data2 < 0x80;
}

} // namespace fw
