#include "chords/chord_sets.h"
#include "files/line_file.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "fw-chords-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, ec);
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (fs::path(path_) / name).string(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::array<std::string, 10> texts(std::initializer_list<const char*> values) {
    std::array<std::string, 10> out;
    std::size_t i = 0;
    for (const char* v : values)
        out[i++] = v;
    return out;
}

const auto kEMajorOffsets = texts({"0", "4", "7", "12", "12", "16", "19", "24", "0", "0"});

struct Fixture {
    PlayState st;
    test::ScriptedPrompts prompts;
    ChordSets sets{st.chordMemory, prompts};
};

// A chord set file whose every entry is its own line number (1..count), CR LF ended.
std::string numberedFile(int count) {
    std::string out;
    for (int i = 1; i <= count; ++i)
        out += std::to_string(i) + "\r\n";
    return out;
}

TEST(ChordSetFiles, SlotSaveShowsTheMemoryAndSavesItByteForByte) {
    Fixture f;
    TempDir dir;
    ASSERT_TRUE(f.sets.saveChordToSlot(1, 1, 40, kEMajorOffsets));
    // A negative entry is written with its sign.
    ASSERT_TRUE(f.sets.saveChordToSlot(4, 4, -1,
                                       texts({"0", "1", "2", "3", "4", "5", "6", "7", "8", "-2"})));
    const auto& view = f.sets.viewLines();
    ASSERT_EQ(view.size(), 160u);
    const std::vector<std::string> first(view.begin(), view.begin() + 10);
    EXPECT_EQ(first, (std::vector<std::string>{"40", "44", "47", "52", "52", "56", "59", "64", "40",
                                               "40"}));
    EXPECT_EQ(view[10], "0");
    EXPECT_EQ(view[150], "-1");
    EXPECT_EQ(view[159], "-3");
    EXPECT_EQ(f.st.chordMemory[4][4][10], -3);

    const std::string path = dir.file("e.chords");
    ASSERT_TRUE(f.sets.saveChordSetFile(path));
    std::string expected = "40\r\n44\r\n47\r\n52\r\n52\r\n56\r\n59\r\n64\r\n40\r\n40\r\n";
    for (int i = 10; i < 150; ++i)
        expected += "0\r\n";
    expected += "-1\r\n0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n-3\r\n";
    EXPECT_EQ(readBytes(path), expected);

    // Back into a fresh memory: every entry as it was, and the same bytes when saved again.
    Fixture g;
    ASSERT_TRUE(g.sets.loadChordSetFile(path));
    EXPECT_EQ(g.st.chordMemory, f.st.chordMemory);
    ASSERT_TRUE(g.sets.saveChordSetFile(dir.file("again.chords")));
    EXPECT_EQ(readBytes(dir.file("again.chords")), expected);
    EXPECT_TRUE(g.prompts.messages.empty());
}

TEST(ChordSetFiles, LoadFillsSetChordStringInFileOrderAndKeepsTheFileText) {
    Fixture f;
    TempDir dir;
    // 200 lines: the memory takes the first 160, the view shows and saves all of them.
    const std::string path = dir.file("long.chords");
    writeBytes(path, numberedFile(200));
    ASSERT_TRUE(f.sets.loadChordSetFile(path));
    EXPECT_EQ(f.st.chordMemory[1][1][1], 1);
    EXPECT_EQ(f.st.chordMemory[1][1][10], 10);
    EXPECT_EQ(f.st.chordMemory[1][2][1], 11);
    EXPECT_EQ(f.st.chordMemory[2][1][1], 41);
    EXPECT_EQ(f.st.chordMemory[4][4][10], 160);
    EXPECT_EQ(f.sets.viewLines().size(), 200u);
    ASSERT_TRUE(f.sets.saveChordSetFile(dir.file("copy.chords")));
    EXPECT_EQ(readBytes(dir.file("copy.chords")), numberedFile(200));

    // A 5th line of -3 goes to string 5 of set 1 chord 1; a slot save writes it back as -3
    // and drops the extra lines, since the view is rewritten from memory.
    std::string text = numberedFile(160);
    text.replace(text.find("5\r\n"), 1, "-3");
    writeBytes(path, text);
    ASSERT_TRUE(f.sets.loadChordSetFile(path));
    EXPECT_EQ(f.st.chordMemory[1][1][5], -3);
    ASSERT_TRUE(f.sets.saveChordToSlot(2, 2, 36, kEMajorOffsets));
    EXPECT_EQ(f.sets.viewLines().size(), 160u);
    EXPECT_EQ(f.sets.viewLines()[4], "-3");

    // Files from elsewhere may end lines with LF alone; saving writes CR LF.
    std::string lf;
    for (int i = 1; i <= 160; ++i)
        lf += std::to_string(i % 7) + "\n";
    writeBytes(path, lf);
    ASSERT_TRUE(f.sets.loadChordSetFile(path));
    EXPECT_EQ(f.st.chordMemory[1][1][6], 6 % 7);
    ASSERT_TRUE(f.sets.saveChordSetFile(dir.file("crlf.chords")));
    std::string crlf;
    for (int i = 1; i <= 160; ++i)
        crlf += std::to_string(i % 7) + "\r\n";
    EXPECT_EQ(readBytes(dir.file("crlf.chords")), crlf);
    EXPECT_TRUE(f.prompts.messages.empty());
}

TEST(ChordSetFiles, AFailedLoadChangesNeitherMemoryNorView) {
    Fixture f;
    TempDir dir;
    ASSERT_TRUE(f.sets.saveChordToSlot(3, 2, 40, kEMajorOffsets));
    const ChordTable before = f.st.chordMemory;
    const std::vector<std::string> viewBefore = f.sets.viewLines();
    int notified = 0;
    f.sets.viewChanged = [&] { ++notified; };

    const auto expectUnchanged = [&](const std::string& path, const std::string& message) {
        SCOPED_TRACE(path);
        f.prompts.messages.clear();
        EXPECT_FALSE(f.sets.loadChordSetFile(path));
        ASSERT_EQ(f.prompts.messages.size(), 1u);
        EXPECT_EQ(f.prompts.messages[0], message);
        EXPECT_EQ(f.st.chordMemory, before);
        EXPECT_EQ(f.sets.viewLines(), viewBefore);
        EXPECT_EQ(notified, 0);
    };

    expectUnchanged(dir.file("missing.chords"), "Cannot open file " + dir.file("missing.chords"));
    expectUnchanged(dir.path(), "Cannot open file " + dir.path());

    // A bad line deep in the file: nothing before it is taken either.
    std::string bad = numberedFile(160);
    bad.replace(bad.find("\r\n50\r\n") + 2, 2, "5x");
    writeBytes(dir.file("bad.chords"), bad);
    expectUnchanged(dir.file("bad.chords"), "'5x' is not a valid integer value\n(line 50 of " +
                                                dir.file("bad.chords") + "; nothing was loaded)");

    // Too short: the first missing line reads as empty text.
    writeBytes(dir.file("short.chords"), numberedFile(159));
    expectUnchanged(dir.file("short.chords"), "'' is not a valid integer value\n(line 160 of " +
                                                  dir.file("short.chords") +
                                                  "; nothing was loaded)");

    // An empty file, as "Save Chord Set" writes right after start.
    Fixture fresh;
    ASSERT_TRUE(fresh.sets.saveChordSetFile(dir.file("empty.chords")));
    EXPECT_EQ(readBytes(dir.file("empty.chords")), "");
    expectUnchanged(dir.file("empty.chords"), "'' is not a valid integer value\n(line 1 of " +
                                                  dir.file("empty.chords") +
                                                  "; nothing was loaded)");
}

TEST(ChordSetFiles, ABadOffsetBoxStoresNothing) {
    Fixture f;
    ASSERT_TRUE(f.sets.saveChordToSlot(1, 1, 40, kEMajorOffsets));
    const ChordTable before = f.st.chordMemory;
    const auto viewBefore = f.sets.viewLines();
    auto offsets = texts({"1", "2", "3", "4", "x5", "6", "7", "8", "9", "10"});
    EXPECT_FALSE(f.sets.saveChordToSlot(1, 1, 50, offsets));
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_EQ(f.prompts.messages[0], "'x5' is not a valid integer value");
    EXPECT_EQ(f.st.chordMemory, before);
    EXPECT_EQ(f.sets.viewLines(), viewBefore);

    // No root selected (-1) with offsets 0: every string stores -1. Root "C,,," with all
    // offsets 0 stores ten zeros, which counts as an empty chord.
    ASSERT_TRUE(f.sets.saveChordToSlot(2, 1, -1,
                                       texts({"0", "0", "0", "0", "0", "0", "0", "0", "0", "1"})));
    EXPECT_EQ(f.st.chordMemory[2][1][1], -1);
    EXPECT_EQ(f.st.chordMemory[2][1][10], 0);
    ASSERT_TRUE(
        f.sets.saveChordToSlot(1, 1, 0, texts({"0", "0", "0", "0", "0", "0", "0", "0", "0", "0"})));
    EXPECT_FALSE(chordIsStored(f.st.chordMemory[1][1]));
    EXPECT_TRUE(chordIsStored(f.st.chordMemory[2][1]));
}

TEST(ChordSetFiles, SavesReplaceTheTargetWholeOrNotAtAll) {
    Fixture f;
    TempDir dir;
    ASSERT_TRUE(f.sets.saveChordToSlot(1, 1, 40, kEMajorOffsets));
    const std::string path = dir.file("set.chords");
    writeBytes(path, "old contents\r\n");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(f.sets.saveChordSetFile(path));
    EXPECT_EQ(readBytes(path).substr(0, 8), "40\r\n44\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left beside the target.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // Saving through a symbolic link replaces the file it names and keeps the link.
    const std::string link = dir.file("link.chords");
    fs::create_symlink(path, link);
    ASSERT_TRUE(f.sets.saveChordToSlot(1, 1, 41, kEMajorOffsets));
    ASSERT_TRUE(f.sets.saveChordSetFile(link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(path).substr(0, 4), "41\r\n");

    // A folder that cannot be written: the old file stays as it was and the user is told.
    if (::geteuid() != 0) {
        const std::string before = readBytes(path);
        ::chmod(dir.path().c_str(), 0500);
        EXPECT_FALSE(f.sets.saveChordSetFile(path));
        ::chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(readBytes(path), before);
        ASSERT_FALSE(f.prompts.messages.empty());
        EXPECT_EQ(f.prompts.messages.back().rfind("Cannot create file " + path, 0), 0u);
    }
    f.prompts.messages.clear();
    const std::string nowhere = dir.file("no/such/folder.chords");
    EXPECT_FALSE(f.sets.saveChordSetFile(nowhere));
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_EQ(f.prompts.messages[0].rfind("Cannot create file " + nowhere, 0), 0u);
}

TEST(LineFiles, LinesAreSplitOnEveryEndingAndNeverCut) {
    TempDir dir;
    const std::string path = dir.file("lines.txt");
    const std::string longLine(100000, '7');
    writeBytes(path, "a\r\nb\nc\rd\r\n\r\n" + longLine);
    const LineFileRead read = readLineFile(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.lines, (std::vector<std::string>{"a", "b", "c", "d", "", longLine}));
    ASSERT_FALSE(writeLineFileAtomically(path, read.lines));
    EXPECT_EQ(readBytes(path), "a\r\nb\r\nc\r\nd\r\n\r\n" + longLine + "\r\n");
    // One empty line is one line; an empty file has none.
    writeBytes(path, "\r\n");
    EXPECT_EQ(readLineFile(path).lines.size(), 1u);
    writeBytes(path, "");
    EXPECT_TRUE(readLineFile(path).lines.empty());
}

TEST(ChordEditing, TheLowestNoteBecomesTheRoot) {
    const auto edit = [](std::initializer_list<int> values) {
        ChordNotes notes{};
        int k = 1;
        for (int v : values)
            notes[static_cast<std::size_t>(k++)] = v;
        return builderChordFor(notes);
    };
    BuilderChord a = edit({47, 43, 50, 55, 59, 67, 0, 0, 0, 0});
    EXPECT_EQ(a.root, 0);
    EXPECT_EQ(a.offsets, (std::array<int, 10>{47, 43, 50, 55, 59, 67, 0, 0, 0, 0}));
    BuilderChord e = edit({40, 44, 47, 52, 52, 56, 59, 64, 40, 40});
    EXPECT_EQ(e.root, 40);
    EXPECT_EQ(e.offsets, (std::array<int, 10>{0, 4, 7, 12, 12, 16, 19, 24, 0, 0}));
    BuilderChord none = edit({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(none.root, 0);
    EXPECT_EQ(none.offsets, (std::array<int, 10>{}));
    BuilderChord below = edit({-1, 3, 6, 9, 12, 15, 18, 21, 24, -1});
    EXPECT_EQ(below.root, -1);
    EXPECT_EQ(below.offsets, (std::array<int, 10>{0, 4, 7, 10, 13, 16, 19, 22, 25, 0}));
    // Storing the edited chord again gives the same notes.
    std::array<std::string, 10> back;
    for (std::size_t i = 0; i < 10; ++i)
        back[i] = std::to_string(below.offsets[i]);
    const ChordNotes again = chordFromBuilder(below.root, back);
    EXPECT_EQ(again[1], -1);
    EXPECT_EQ(again[2], 3);
    EXPECT_EQ(again[9], 24);
}

} // namespace
} // namespace fw
