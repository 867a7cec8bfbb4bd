#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace fw {

// Text from a file or a box as a message quotes it: whole when short, otherwise its first
// `longest` characters and "...", so a pasted megabyte cannot make a megabyte message box.
std::string textForMessage(std::string_view text, std::size_t longest = 40);

// A text that should have been an integer was not. The message is the one the user sees.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(std::string_view text);
};

// Strict decimal conversion: an optional sign and digits, nothing else (surrounding blanks are
// tolerated), within the range of a 32-bit int. Throws ConversionError otherwise.
int strToInt(std::string_view text);

// The conversion message for a line of a file that is loaded whole or not at all: it quotes at
// most a short prefix of the line and names the line (counted from 1) and the file.
std::string fileLineConversionMessage(std::string_view line, std::size_t lineNumber,
                                      std::string_view fileName);

} // namespace fw
