// One play log line read as every player and exporter reads it: the bytes are six hexadecimal
// digits in either case or the line is refused, never read as other bytes; the time is a 32-bit
// decimal or a short message says why; a line written back from what was read reads the same.
#include "checks.h"
#include "engine/strict_int.h"
#include "engine/z2uvir.h"
#include "logs/log_lines.h"

#include <cctype>
#include <charconv>
#include <string>

namespace {

std::string withCase(std::string_view line, int (*change)(int)) {
    std::string out(line);
    for (auto& c : out)
        c = static_cast<char>(change(static_cast<unsigned char>(c)));
    return out;
}

// The time field as an independent reader sees it: blanks around it, an optional sign.
std::optional<int> independentTime(std::string_view field) {
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
        field.remove_prefix(1);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t' || field.back() == '\r'))
        field.remove_suffix(1);
    if (!field.empty() && field.front() == '+' && field.size() > 1 && field[1] != '-')
        field.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || field.empty())
        return std::nullopt;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::string_view line = fuzz::bytesOf(data, size);

    std::optional<int> time;
    try {
        time = logLineTime(line, 0);
    } catch (const LogLineError& e) {
        FW_CHECK(std::string_view(e.what()).size() <= 100);
    }
    const std::string_view field = line.size() > 9 ? line.substr(9) : std::string_view();
    FW_CHECK(time == independentTime(field));

    // Two hexadecimal digits read as their value, in either case.
    if (line.size() >= 2 && std::isxdigit(static_cast<unsigned char>(line[0])) &&
        std::isxdigit(static_cast<unsigned char>(line[1])))
        FW_CHECK(hexToInt(line.substr(0, 2)) ==
                 std::stoi(std::string(line.substr(0, 2)), nullptr, 16));

    const auto msg = channelMessageOf(line);
    const auto upper = channelMessageOf(withCase(line, ::toupper));
    const auto lower = channelMessageOf(withCase(line, ::tolower));
    FW_CHECK(msg.has_value() == upper.has_value() && msg.has_value() == lower.has_value());
    if (!msg) {
        FW_CHECK(invalidMessageText(line, 0).size() <= 100);
        return 0;
    }
    FW_CHECK(*msg == *upper && *msg == *lower);
    FW_CHECK(msg->isValidChannelMessage());
    const std::string bytes = withCase(line.substr(0, 6), ::toupper);
    FW_CHECK(bytes == byteToHex(msg->status()) + byteToHex(msg->data1()) + byteToHex(msg->data2()));
    if (time) {
        const std::string again =
            formatZ2uvirLine(msg->status(), msg->data1(), msg->data2(), *time);
        const Z2uvirLine read = parseZ2uvirLine(again);
        FW_CHECK(read.status == msg->status() && read.data1 == msg->data1() &&
                 read.data2 == msg->data2() && read.time == *time);
    }
    return 0;
}
