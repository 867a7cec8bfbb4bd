#pragma once

#include "files/line_file.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// The lines of a log, read one at a time. The play log view, a file read into memory and test
// vectors all look the same to the players, the merge and the exporters.
class LogSource {
public:
    virtual ~LogSource() = default;
    virtual int lineCount() const = 0;
    virtual std::string line(int index) const = 0;
};

// A log held as views into text that outlives it.
class LineViews final : public LogSource {
public:
    LineViews() = default;
    explicit LineViews(std::vector<std::string_view> lines) : lines_(std::move(lines)) {}
    int lineCount() const override { return static_cast<int>(lines_.size()); }
    std::string line(int index) const override { return std::string(lines_[index]); }
    const std::vector<std::string_view>& views() const { return lines_; }

private:
    std::vector<std::string_view> lines_;
};

// Splits log text into its lines, as every file of the program is split (splitLineViews): lines
// end in CR LF, LF or a lone CR; a final line end does not start another line, so "" has no
// lines and "a\r\n" has one.
inline std::vector<std::string_view> splitLogLines(std::string_view text) {
    return splitLineViews(text);
}

// Joins lines with the given line end; the last line gets no line end ("a\nb"), as a text box
// holds them.
std::string joinLogLines(const std::vector<std::string_view>& lines, std::string_view eol = "\n");

// A log line that cannot be used. what() is the text the user sees; line() is 0-based.
class LogLineError : public std::runtime_error {
public:
    LogLineError(int line, const std::string& message, int source = 0)
        : std::runtime_error(message), line_(line), source_(source) {}
    int line() const { return line_; }
    // Which input the line is in, for operations that read several logs (0: the first).
    int source() const { return source_; }

private:
    int line_;
    int source_;
};

// The time field of line `index` (characters 10 onwards). Throws LogLineError carrying the
// conversion error's text ("'x' is not a valid integer value") when it is not an integer.
int logLineTime(std::string_view line, int index);

// The message the players and exporters give for a line whose bytes are not a channel message
// that a MIDI port or file may carry.
std::string invalidMessageText(std::string_view line, int index);

// Shortens a line for a message: a pasted megabyte must not fill the screen.
std::string quotedLine(std::string_view line);

// A problem with line `index` (0-based) as the user reads it: "Line 3 "text": problem".
std::string lineProblemText(std::string_view line, int index, const std::string& problem);

} // namespace fw
