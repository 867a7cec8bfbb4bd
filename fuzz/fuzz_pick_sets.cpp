// A pick set file (*.picks) read as "Load Pick Set" reads it: the memory takes the first 32
// lines in file order, a save of the lines gives the same file back, and the sequences it holds
// play on the engine without a message that is not a channel message. The text is read in
// memory; inputs in the program's own form also go through real files, byte for byte. One pick
// set of four (chosen by the input's length) is played, each sequence from its start.
#include "crlf.h"
#include "engine_checks.h"
#include "files/line_file.h"
#include "picks/pick_sets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    LineFileRead read = linesOfText(bytes, "in.picks");
    FW_CHECK(read.ok() == (bytes.find('\0') == std::string_view::npos));
    if (!read.ok()) {
        FW_CHECK(read.error.size() <= fuzz::kLongestMessage);
        return 0;
    }
    const std::vector<std::string>& lines = read.lines;
    const PickMemory memory = pickMemoryFromLines(lines);
    for (int set = 1; set <= kPickSets; ++set)
        for (int n = 1; n <= kPickSequences; ++n) {
            const auto i = static_cast<std::size_t>(kPickSequences * (set - 1) + n - 1);
            FW_CHECK(memory[set][n] == (i < lines.size() ? lines[i] : std::string()));
        }
    const std::string savedText = joinCrLf(lines);
    FW_CHECK(splitLines(savedText) == lines);
    if (fuzz::everyLineEndsInCrLf(bytes)) {
        FW_CHECK(savedText == bytes);
        static const std::string in = fuzz::scratchPath("in.picks");
        static const std::string out = fuzz::scratchPath("out.picks");
        fuzz::writeScratch(in, bytes);
        std::string error;
        const auto file = readPickSetFile(in, error);
        FW_CHECK(file && file->lines == lines && file->memory == memory);
        FW_CHECK(!writeLineFileAtomically(out, file->lines));
        FW_CHECK(fuzz::readScratch(out) == bytes);
    }

    fuzz::CheckedEngine e;
    for (int set = 1; set <= 4; ++set)
        for (int chord = 1; chord <= 4; ++chord)
            for (int s = 1; s <= 10; ++s)
                e.engine.st.chordMemory[set][chord][s] = 36 + 4 * chord + s;
    e.engine.st.pickMemory = memory;
    e.engine.st.selPickSet = 1 + static_cast<int>(size % kPickSets);
    // A second beat where a sequence has a second group.
    for (int n = 1; n <= kPickSequences; ++n) {
        e.engine.ui.alt = n % 2 == 0;
        e.engine.pickAction((n + 1) / 2);
        e.tick();
        if (memory[e.engine.st.selPickSet][n].size() > kPickChannels)
            e.tick();
    }
    return 0;
}
