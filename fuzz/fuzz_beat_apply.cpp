// "Apply" of the beat manager over any pattern lines and row numbers, and the accompaniment
// playing the line it gives. Input lines 1..7 are the pattern lines, 8..32 the numbers of rows
// "A".."Y" (a missing row keeps its initial number). The line is checked as beat_checks.h says;
// each beat then sends on channel 1 exactly the notes of its step, at velocity 90, and nothing
// that is not a channel message.
#include "beat_checks.h"
#include "engine_checks.h"
#include "files/line_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::vector<std::string_view> lines = splitLineViews(fuzz::bytesOf(data, size));
    BeatVoices voices;
    BeatRowNumbers rows;
    for (std::size_t i = 0; i < voices.size() && i < lines.size(); ++i)
        voices[i] = lines[i];
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::size_t i = voices.size() + r;
        rows[r] = i < lines.size() ? std::string(lines[i]) : std::to_string(r + 1);
    }
    const auto line = fuzz::checkedBeatCompile(voices, rows);
    if (!line || line->empty())
        return 0;

    fuzz::CheckedEngine e;
    e.engine.st.accompBeatLine = *line;
    e.engine.ui.accompBeat = true;
    const std::size_t steps = (line->size() + 13) / 14;
    // Every step once, at most 24, and the first again after a full pass.
    const std::size_t beats = std::min<std::size_t>(steps, 24) + (steps <= 24 ? 1 : 0);
    for (std::size_t b = 0; b < beats; ++b) {
        const std::size_t first = e.port.sent.size();
        e.tick();
        std::vector<int> expected;
        const std::size_t start = 14 * (b % steps);
        for (std::size_t j = start; j < start + 14 && j < line->size(); j += 2)
            if ((*line)[j] != '-')
                expected.push_back(std::stoi(line->substr(j, 2), nullptr, 16));
        std::vector<int> sent;
        for (std::size_t i = first; i < e.port.sent.size(); ++i)
            if (e.port.sent[i].status == 0x90) {
                FW_CHECK(e.port.sent[i].data2 == 90);
                sent.push_back(e.port.sent[i].data1);
            }
        FW_CHECK(sent == expected);
    }
    return 0;
}
