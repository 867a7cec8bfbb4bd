#pragma once

#include "files/line_file.h"
#include "logs/log_lines.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Play log files (*.plog): one Z2UVIR line per line, every line ended by CR LF.
inline constexpr const char* kPlayLogFilter = "Play Log|*.plog";
inline constexpr const char* kPlayLogExt = "plog";
std::string playLogFileText(const std::vector<std::string_view>& lines);

// Why a text is not a play log: the first line holding a byte that is not text, or else the
// first line without a time. Nothing when it is one.
std::optional<LogLineError> playLogProblem(std::string_view text);

// Checks the text of a play log file before it replaces a log, as playLogProblem does. Returns
// the user's message naming the first bad line, or nothing.
std::optional<std::string> checkPlayLogText(std::string_view text, const std::string& fileName);

// True when some line is a note played (a note-on with a velocity), not only the instrument and
// controller messages every start and every take begins with.
bool holdsPlayedNotes(const std::vector<std::string_view>& lines);

// Reads and checks a play log file for "Load Log...". fretwright-log reads with readWholeFile
// and the same playLogProblem, so both accept the same files and see the same lines
// (splitLogLines of the text). Returns nothing and sets error to the user's message when the
// file cannot be read or is not a play log.
std::optional<std::string> readPlayLogFile(const std::string& path, std::string& error);

} // namespace fw
