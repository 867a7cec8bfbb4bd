#pragma once

#include "files/line_file.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Play log files (*.plog): one Z2UVIR line per line, every line ended by CR LF.
inline constexpr const char* kPlayLogFilter = "Play Log|*.plog";
inline constexpr const char* kPlayLogExt = "plog";
std::string playLogFileText(const std::vector<std::string_view>& lines);

// Checks the text of a play log file before it replaces a log: it must be text and every line
// must carry a time. Returns the user's message naming the first bad line, or nothing.
std::optional<std::string> checkPlayLogText(std::string_view text, const std::string& fileName);

} // namespace fw
