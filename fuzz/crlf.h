#pragma once

#include <string_view>

namespace fw::fuzz {

// True when the text is in the program's own file form: every line, the last included, ended by
// CR LF, and no other line end. Such a file must be saved back byte for byte.
inline bool everyLineEndsInCrLf(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
            return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
    }
    return text.empty() || text.ends_with("\r\n");
}

} // namespace fw::fuzz
