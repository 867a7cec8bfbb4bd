#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Writes a file so that the target is either left as it was or replaced whole: the bytes go to a
// temporary file beside it, which is renamed over the target only when everything was written.
class ReplacingFileWriter {
public:
    explicit ReplacingFileWriter(std::string target);
    ~ReplacingFileWriter();
    ReplacingFileWriter(const ReplacingFileWriter&) = delete;
    ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

    // False when the temporary file could not be created; error() says why.
    bool ok() const { return file_ != nullptr; }
    bool write(std::string_view bytes);
    // Flushes, closes and renames onto the target. False (with error()) when any step failed;
    // the target is then untouched.
    bool commit();
    // Drops what was written; the target is untouched.
    void abandon();
    const std::string& error() const { return error_; }

private:
    void fail(const std::string& what);
    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

// Replaces the file at path with bytes. Returns the user's error message, or nothing when done.
std::optional<std::string> writeFileReplacing(const std::string& path, std::string_view bytes);

// Reads a whole file. Returns nothing and sets error to "Cannot open file NAME: reason" when it
// cannot be read.
std::optional<std::string> readWholeFile(const std::string& path, std::string& error);

// Play log files (*.plog): one Z2UVIR line per line, every line ended by CR LF.
inline constexpr const char* kPlayLogFilter = "Play Log|*.plog";
inline constexpr const char* kPlayLogExt = "plog";
std::string playLogFileText(const std::vector<std::string_view>& lines);

// Checks the text of a play log file before it replaces a log: it must be text and every line
// must carry a time. Returns the user's message naming the first bad line, or nothing.
std::optional<std::string> checkPlayLogText(std::string_view text, const std::string& fileName);

} // namespace fw
