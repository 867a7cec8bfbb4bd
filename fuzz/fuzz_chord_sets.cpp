// A chord set file (*.chords) loaded as "Load Chord Set" loads it: a failed load changes neither
// memory nor view and says why in a short message; a load shows the file's lines, a save of them
// gives the same file back, and every chord it holds plays on the engine.
#include "chords/chord_sets.h"
#include "crlf.h"
#include "engine_checks.h"
#include "files/line_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    static const std::string in = fuzz::scratchPath("in.chords");
    static const std::string out = fuzz::scratchPath("out.chords");
    const std::string_view bytes = fuzz::bytesOf(data, size);
    fuzz::writeScratch(in, bytes);

    test::ScriptedPrompts prompts;
    ChordTable memory{};
    memory[2][3][4] = 77;
    ChordSets sets(memory, prompts);
    sets.showChordMemory();
    const ChordTable memoryBefore = memory;
    const std::vector<std::string> viewBefore = sets.viewLines();

    if (!sets.loadChordSetFile(in)) {
        FW_CHECK(memory == memoryBefore);
        FW_CHECK(sets.viewLines() == viewBefore);
        FW_CHECK(prompts.messages.size() == 1);
        FW_CHECK(prompts.messages[0].size() <= fuzz::kLongestMessage);
        return 0;
    }
    FW_CHECK(prompts.messages.empty());
    const std::vector<std::string> lines = splitLines(bytes);
    FW_CHECK(sets.viewLines() == lines);
    FW_CHECK(lines.size() >= kChordSetLineCount);
    // What the memory shows is what it holds.
    std::string error;
    FW_CHECK(chordTableFromLines(chordMemoryLines(memory), "memory", error) == memory);

    FW_CHECK(sets.saveChordSetFile(out));
    const std::string saved = fuzz::readScratch(out);
    FW_CHECK(splitLines(saved) == lines);
    if (fuzz::everyLineEndsInCrLf(bytes))
        FW_CHECK(saved == bytes);

    // One beat per chord at the highest fret, where entries are raised the most.
    fuzz::CheckedEngine e;
    e.engine.st.chordMemory = memory;
    e.engine.st.pickMemory[1][1] = "0123456";
    e.engine.fretHover(13);
    for (int set = 1; set <= 4; ++set)
        for (int chord = 1; chord <= 4; ++chord) {
            e.engine.st.selChordSet = set;
            e.engine.st.selChord = chord;
            e.engine.pickAction(1);
            e.tick();
        }
    return 0;
}
