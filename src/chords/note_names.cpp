#include "chords/note_names.h"

namespace fw {

const std::vector<std::string>& noteNames() {
    static const std::vector<std::string> names = [] {
        static const char* const kUpper[12] = {"C",  "^C", "D",  "^D", "E",  "F",
                                               "^F", "G",  "^G", "A",  "^A", "B"};
        static const char* const kLower[12] = {"c",  "^c", "d",  "^d", "e",  "f",
                                               "^f", "g",  "^g", "a",  "^a", "b"};
        static const char* const kMarks[8] = {",,,", ",,", ",", "", "", "'", "''", "'''"};
        std::vector<std::string> out;
        out.reserve(96);
        for (int octave = 0; octave < 8; ++octave)
            for (int i = 0; i < 12; ++i)
                out.push_back(std::string(octave < 4 ? kUpper[i] : kLower[i]) + kMarks[octave]);
        return out;
    }();
    return names;
}

} // namespace fw
