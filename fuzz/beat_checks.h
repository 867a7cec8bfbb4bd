#pragma once

// "Apply" of the beat manager checked against a compile worked out apart from the program's:
// each "-" of the interleaved voices becomes "--", each row letter "A".."Y" its row's number in
// two upper-case hexadecimal digits, anything else nothing; a row whose text is no integer in
// 0..127 refuses the whole line with a short message. Every unit of a line that compiled is
// "--" or a note 0..127, so what the sequencer plays is always a note.
#include "beats/beat_pattern.h"
#include "checks.h"

#include <optional>
#include <string>

namespace fw::fuzz {

// A row's note as a strict reader takes it: an integer from 0 to 127.
inline std::optional<int> independentRowNote(std::string_view s) {
    const auto v = independentInteger(s);
    return v && *v >= 0 && *v <= 127 ? v : std::nullopt;
}

inline std::optional<std::string> expectedBeatLine(const BeatVoices& voices,
                                                   const BeatRowNumbers& rows) {
    std::size_t longest = 0;
    for (const auto& v : voices)
        longest = std::max(longest, v.size());
    std::string line;
    const char* hex = "0123456789ABCDEF";
    for (std::size_t p = 0; p < longest; ++p)
        for (const auto& v : voices) {
            const char c = p < v.size() ? v[p] : '-';
            if (c == '-') {
                line += "--";
            } else if (c >= 'A' && c <= 'Y') {
                const auto note = independentRowNote(rows[static_cast<std::size_t>(c - 'A')]);
                if (!note)
                    return std::nullopt;
                line += hex[*note >> 4];
                line += hex[*note & 15];
            }
        }
    return line;
}

// Compiles as "Apply" does and checks the result; the line, or nothing when refused.
inline std::optional<std::string> checkedBeatCompile(const BeatVoices& voices,
                                                     const BeatRowNumbers& rows) {
    std::string error;
    const auto line = compileBeatLine(voices, rows, error);
    FW_CHECK(line == expectedBeatLine(voices, rows));
    if (!line) {
        FW_CHECK(!error.empty() && error.size() <= kLongestMessage);
        return line;
    }
    FW_CHECK(line->size() % 2 == 0);
    const auto upperHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    for (std::size_t i = 0; i < line->size(); i += 2) {
        const char a = (*line)[i], b = (*line)[i + 1];
        FW_CHECK((a == '-' && b == '-') || (a >= '0' && a <= '7' && upperHex(b)));
    }
    return line;
}

} // namespace fw::fuzz
