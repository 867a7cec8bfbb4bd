// A pick set file (*.picks) read as "Load Pick Set" reads it: the memory takes the first 32
// lines in file order, a save of the lines gives the same file back, and every sequence it holds
// plays on the engine without a message that is not a channel message.
#include "crlf.h"
#include "engine_checks.h"
#include "files/line_file.h"
#include "picks/pick_sets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    static const std::string in = fuzz::scratchPath("in.picks");
    static const std::string out = fuzz::scratchPath("out.picks");
    const std::string_view bytes = fuzz::bytesOf(data, size);
    fuzz::writeScratch(in, bytes);

    std::string error;
    const auto file = readPickSetFile(in, error);
    if (!file) {
        FW_CHECK(!error.empty() && error.size() <= fuzz::kLongestMessage);
        return 0;
    }
    const std::vector<std::string> lines = splitLines(bytes);
    FW_CHECK(file->lines == lines);
    for (int set = 1; set <= kPickSets; ++set)
        for (int n = 1; n <= kPickSequences; ++n) {
            const auto i = static_cast<std::size_t>(kPickSequences * (set - 1) + n - 1);
            FW_CHECK(file->memory[set][n] == (i < lines.size() ? lines[i] : std::string()));
        }

    FW_CHECK(!writeLineFileAtomically(out, file->lines));
    const std::string saved = fuzz::readScratch(out);
    FW_CHECK(splitLines(saved) == lines);
    if (fuzz::everyLineEndsInCrLf(bytes))
        FW_CHECK(saved == bytes);

    fuzz::CheckedEngine e;
    for (int set = 1; set <= 4; ++set)
        for (int chord = 1; chord <= 4; ++chord)
            for (int s = 1; s <= 10; ++s)
                e.engine.st.chordMemory[set][chord][s] = 36 + 4 * chord + s;
    e.engine.st.pickMemory = file->memory;
    // Each sequence from its start; a second beat where it has a second group.
    for (int set = 1; set <= kPickSets; ++set)
        for (int n = 1; n <= kPickSequences; ++n) {
            e.engine.st.selPickSet = set;
            e.engine.ui.alt = n % 2 == 0;
            e.engine.pickAction((n + 1) / 2);
            e.tick();
            if (file->memory[set][n].size() > kPickChannels)
                e.tick();
        }
    return 0;
}
