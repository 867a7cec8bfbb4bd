#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Plain 8-bit text files of lines, as every settings file of the program is kept. Bytes pass
// through unchanged; only the line ends are interpreted.

// The one notion of a line for every file and view of the program: lines end at CR LF, LF or a
// lone CR. A last line without an end still counts; the end of the last line does not start
// another one, so "" and "\r\n" give zero and one line. A text whose every line ends in CR LF
// is given back byte for byte by joinCrLf.
std::vector<std::string_view> splitLineViews(std::string_view text);
std::vector<std::string> splitLines(std::string_view text);

// Every line followed by CR LF, the last one included.
std::string joinCrLf(const std::vector<std::string>& lines);

// The largest file any loader reads, so that no file name (not even a sparse file of terabytes)
// can exhaust memory. A play log of a million lines weighs about 17 MB, so this holds some 14
// million; settings files are far smaller, and a format may ask for less.
inline constexpr std::size_t kLargestFile = std::size_t{256} << 20;

// Every loader reads through readSettingsBytes or readWholeFile, which read regular files only:
// a FIFO, a device (such as /dev/zero), a socket or a directory is refused at once, never
// waited on or read without end, and so is a file larger than the limit.

struct LineFileRead {
    std::vector<std::string> lines;
    std::string error; // empty when the file was read
    bool ok() const { return error.empty(); }
};

// Reads a whole file of text lines. A file that cannot be opened or read, or is no regular file,
// gives "Cannot open file <path>"; one larger than maxBytes gives the same with the limit; a
// file that holds NUL bytes is not text and is refused as well.
LineFileRead readLineFile(const std::string& path, std::size_t maxBytes = kLargestFile);

// The two halves of readLineFile, for loaders that parse text apart from reading it: the bytes
// of a settings file (or nothing, with error set), and the lines of such text (refused when it
// holds NUL bytes; name is the file named in the message).
std::optional<std::string> readSettingsBytes(const std::string& path, std::string& error,
                                             std::size_t maxBytes = kLargestFile);
LineFileRead linesOfText(std::string_view bytes, const std::string& name);

// Writes a file so that a regular file is either left as it was or replaced whole: the bytes go
// to a temporary file beside it, flushed to disk and renamed over the target only when
// everything was written; a replaced file keeps its permissions. A symbolic link, even one that
// names no file yet, is written through to its target and stays a link. A device, pipe or
// socket is written directly, and "-" is standard output. A target that may not be written
// (no write permission, or no write bit at all) is refused. Errors read "Cannot create file
// NAME: reason".
class ReplacingFileWriter {
public:
    explicit ReplacingFileWriter(const std::string& target);
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
    // The temporary file being written, empty when the target is written directly. A program
    // that is stopped by a signal removes it.
    const std::string& tempPath() const { return temp_; }

private:
    void openTarget();
    void fail(int err);
    std::string name_;   // as the user gave it, for messages
    std::string target_; // the file that is replaced, links followed
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool direct_ = false; // written in place: a device, a pipe, standard output
    std::string error_;
};

// Replaces the file at path with bytes. Returns the user's error message, or nothing when done.
std::optional<std::string> writeFileReplacing(const std::string& path, std::string_view bytes);

// The lines with CR LF ends, written as writeFileReplacing does.
std::optional<std::string> writeLineFileAtomically(const std::string& path,
                                                   const std::vector<std::string>& lines);

// Reads a whole file of at most kLargestFile bytes. Returns nothing and sets error to "Cannot
// open file NAME: reason" when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path, std::string& error);

} // namespace fw
