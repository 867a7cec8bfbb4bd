// A chord set file (*.chords) loaded as "Load Chord Set" loads it: a failed load changes neither
// memory nor view and says why in a short message; a load shows the file's lines, a save of them
// gives the same file back, and every string of the chords it holds plays on the engine. The
// text is loaded in memory; the inputs that load also go through real files, and one chord set
// of four (chosen by the input's length) is played, every string at the highest fret.
#include "chords/chord_sets.h"
#include "crlf.h"
#include "engine_checks.h"
#include "files/line_file.h"

#include <algorithm>

namespace {

bool sameLines(const std::vector<std::string>& a, const std::vector<std::string_view>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::string_view bytes = fuzz::bytesOf(data, size);

    test::ScriptedPrompts prompts;
    ChordTable memory{};
    memory[2][3][4] = 77;
    ChordSets sets(memory, prompts);
    sets.showChordMemory();
    const ChordTable memoryBefore = memory;
    const std::vector<std::string> viewBefore = sets.viewLines();

    if (!sets.loadChordSetText(bytes, "in.chords")) {
        FW_CHECK(memory == memoryBefore);
        FW_CHECK(sets.viewLines() == viewBefore);
        FW_CHECK(prompts.messages.size() == 1);
        FW_CHECK(prompts.messages[0].size() <= fuzz::kLongestMessage);
        return 0;
    }
    FW_CHECK(prompts.messages.empty());
    const std::vector<std::string_view> lines = splitLineViews(bytes);
    FW_CHECK(sameLines(sets.viewLines(), lines));
    FW_CHECK(lines.size() >= kChordSetLineCount);
    // What the memory shows is what it holds.
    std::string error;
    FW_CHECK(chordTableFromLines(chordMemoryLines(memory), "memory", error) == memory);
    const std::string savedText = joinCrLf(sets.viewLines());
    if (fuzz::everyLineEndsInCrLf(bytes))
        FW_CHECK(savedText == bytes);

    // The same through real files, as the window loads and saves them.
    static const std::string in = fuzz::scratchPath("in.chords");
    static const std::string out = fuzz::scratchPath("out.chords");
    fuzz::writeScratch(in, bytes);
    ChordTable fromFile{};
    ChordSets fileSets(fromFile, prompts);
    FW_CHECK(fileSets.loadChordSetFile(in));
    FW_CHECK(fromFile == memory && fileSets.viewLines() == sets.viewLines());
    FW_CHECK(fileSets.saveChordSetFile(out));
    FW_CHECK(fuzz::readScratch(out) == savedText);

    // Strings 1..7 on one beat, 8..10 on the next, for each chord of the set.
    fuzz::CheckedEngine e;
    e.engine.st.chordMemory = memory;
    e.engine.st.pickMemory[1][1] = "0123456789----";
    e.engine.fretHover(13);
    e.engine.st.selChordSet = 1 + static_cast<int>(size % 4);
    for (int chord = 1; chord <= 4; ++chord) {
        e.engine.st.selChord = chord;
        e.engine.pickAction(1);
        e.tick();
        e.tick();
    }
    return 0;
}
