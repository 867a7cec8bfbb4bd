#include "files/line_file.h"
#include "picks/pick_sets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fw {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "fw-picks-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(PickSets, InterleavePadsEveryChannelToTheLongestAndJoinsColumnByColumn) {
    EXPECT_EQ(interleaveChannels({"0123", "--5"}), "0------1------25-----3------");
    EXPECT_EQ(interleaveChannels({"0"}), "0------");
    EXPECT_EQ(interleaveChannels({}), "");
    const std::string steps = interleaveChannels({"1-1-1", "", "9"});
    EXPECT_EQ(steps.size(), 35u);
    EXPECT_EQ(steps.substr(0, 7), "1-9----");
    EXPECT_EQ(steps.substr(7), "-------"
                               "1------"
                               "-------"
                               "1------");
    // The last channel counts as much as the first; texts pass through unchecked.
    EXPECT_EQ(interleaveChannels({"", "", "", "", "", "", "ab"}), "------a------b");
}

TEST(PickSets, MemoryAndLinesFollowTheFileOrder) {
    PickMemory memory{};
    memory[1][1] = "0------";
    memory[1][8] = "7------";
    memory[2][1] = "-1-----";
    memory[4][8] = "9999999";
    const auto lines = pickMemoryLines(memory);
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[0], "0------");
    EXPECT_EQ(lines[7], "7------");
    EXPECT_EQ(lines[8], "-1-----");
    EXPECT_EQ(lines[31], "9999999");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(pickMemoryFromLines(lines), memory);

    // Short files leave the missing entries empty; lines past the 32nd belong to no entry.
    const PickMemory shortOne = pickMemoryFromLines({"a", "b", "c"});
    EXPECT_EQ(shortOne[1][1], "a");
    EXPECT_EQ(shortOne[1][3], "c");
    EXPECT_EQ(shortOne[1][4], "");
    EXPECT_EQ(shortOne[4][8], "");
    auto longer = lines;
    longer.push_back("extra");
    EXPECT_EQ(pickMemoryFromLines(longer), memory);
}

TEST(PickSets, LinesSplitAtEveryKindOfLineEnd) {
    EXPECT_TRUE(splitLines("").empty());
    EXPECT_EQ(splitLines("\r\n"), std::vector<std::string>{""});
    EXPECT_EQ(splitLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(splitLines("a\nb\rc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(joinCrLf({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(joinCrLf({}), "");
}

TEST(PickSets, FilesAreWrittenByteForByteAndReadBackWhole) {
    TempDir dir;
    const fs::path file = dir.path / "set.picks";
    PickMemory memory{};
    memory[1][1] = interleaveChannels({"0123", "--5"});
    // A sequence of 700 steps: 4900 characters, longer than any line buffer may cut.
    memory[3][5] = interleaveChannels({std::string(700, '1'), std::string(650, '2')});
    ASSERT_GT(memory[3][5].size(), 4096u);
    ASSERT_FALSE(writeLineFileAtomically(file.string(), pickMemoryLines(memory)));

    const std::string bytes = slurp(file);
    std::string expected = "0------1------25-----3------\r\n";
    for (int i = 2; i <= 20; ++i)
        expected += "\r\n";
    expected += memory[3][5] + "\r\n";
    for (int i = 22; i <= 32; ++i)
        expected += "\r\n";
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"set.picks"}); // no temporary file left

    std::string error;
    auto read = readPickSetFile(file.string(), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->memory, memory);
    EXPECT_EQ(read->lines.size(), 32u);
    EXPECT_EQ(read->memory[3][5].size(), memory[3][5].size());

    // Saving an empty view writes an empty file, which loads as an empty memory.
    ASSERT_FALSE(writeLineFileAtomically(file.string(), {}));
    EXPECT_EQ(fs::file_size(file), 0u);
    read = readPickSetFile(file.string(), error);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->lines.empty());
    EXPECT_EQ(read->memory, PickMemory{});

    // A file of LF-ended lines from another editor, with a last line left open, reads the same.
    spit(file, "0------\n\n2------");
    read = readPickSetFile(file.string(), error);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->memory[1][1], "0------");
    EXPECT_EQ(read->memory[1][3], "2------");
    EXPECT_EQ(read->memory[1][4], "");
}

TEST(PickSets, FailedReadsAndWritesReportAndKeepTheOldFile) {
    TempDir dir;
    std::string error;
    const std::string missing = (dir.path / "missing.picks").string();
    EXPECT_FALSE(readPickSetFile(missing, error));
    EXPECT_EQ(error, "Cannot open file " + missing);
    EXPECT_FALSE(readPickSetFile(dir.path.string(), error));
    EXPECT_EQ(error, "Cannot open file " + dir.path.string());

    const fs::path binary = dir.path / "binary.picks";
    spit(binary, std::string("01\0"
                             "23\r\n",
                             7));
    EXPECT_FALSE(readPickSetFile(binary.string(), error));
    EXPECT_EQ(error, binary.string() + " is not a text file.");

    const fs::path big = dir.path / "big.picks";
    spit(big, std::string(2000, '1'));
    EXPECT_FALSE(readLineFile(big.string(), 1000).ok());
    EXPECT_TRUE(readLineFile(big.string(), 4000).ok());

    // A save that cannot finish leaves what was there.
    const fs::path kept = dir.path / "kept.picks";
    spit(kept, "old\r\n");
    const fs::path blocked = dir.path / "blocked";
    fs::create_directory(blocked);
    auto failure = writeLineFileAtomically(blocked.string(), {"new"});
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->rfind("Cannot create file " + blocked.string(), 0), 0u) << *failure;
    EXPECT_TRUE(fs::is_directory(blocked));
    failure = writeLineFileAtomically((dir.path / "no" / "such.picks").string(), {"new"});
    ASSERT_TRUE(failure);
    EXPECT_EQ(slurp(kept), "old\r\n");
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"big.picks", "binary.picks", "blocked", "kept.picks"}));

    // A save over a link replaces the file it names and keeps the link and the file's mode.
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
    const fs::path link = dir.path / "link.picks";
    fs::create_symlink(kept, link);
    ASSERT_FALSE(writeLineFileAtomically(link.string(), {"new"}));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(kept), "new\r\n");
    EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

} // namespace
} // namespace fw
