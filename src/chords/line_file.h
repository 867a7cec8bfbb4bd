#pragma once

#include <optional>
#include <string>
#include <vector>

namespace fw {

// Plain 8-bit text files of one value per line, as the chord, pick and configuration files are.

// The lines of a file. A line ends at CR LF, a lone LF or a lone CR; a last line without an
// ending still counts, an ending at the very end adds no empty line. Lines are never cut,
// whatever their length. Nothing when the file cannot be opened or read.
std::optional<std::vector<std::string>> readLineFile(const std::string& path);

// Writes every line followed by CR LF. The text goes to a temporary file beside the target,
// which is then renamed over it, so an interrupted save leaves the old file whole. A target
// that is a symbolic link keeps the link and replaces the file it points to. False when the
// file could not be written; the target is then untouched.
bool writeLineFileAtomic(const std::string& path, const std::vector<std::string>& lines);

// The messages the user sees when a file fails.
std::string cannotOpenFileMessage(const std::string& path);
std::string cannotCreateFileMessage(const std::string& path);

} // namespace fw
