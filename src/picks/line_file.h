#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Plain 8-bit text files of lines, as every settings file of the program is kept. Bytes pass
// through unchanged; only the line ends are interpreted.

// Splits text into lines at CR LF, LF or a lone CR. A last line without an end still counts;
// the end of the last line does not start another one, so "" and "\r\n" give zero and one line.
std::vector<std::string> splitLines(std::string_view text);

// Every line followed by CR LF, the last one included.
std::string joinCrLf(const std::vector<std::string>& lines);

struct LineFileRead {
    std::vector<std::string> lines;
    std::string error; // empty when the file was read
    bool ok() const { return error.empty(); }
};

// Reads a whole file of text lines. A file that cannot be opened or read gives "Cannot open
// file <path>"; a file that holds NUL bytes is not text and is refused as well, as is one larger
// than maxBytes.
LineFileRead readLineFile(const std::string& path, std::size_t maxBytes = 64u << 20);

// Writes the lines with CR LF ends to a temporary file beside the target, flushes it to disk and
// renames it over the target, so the old file survives anything that stops the save half way.
// Returns the message for the user when the file cannot be written.
std::optional<std::string> writeLineFileAtomically(const std::string& path,
                                                   const std::vector<std::string>& lines);

} // namespace fw
