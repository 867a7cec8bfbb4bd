#include "files/line_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fw {
namespace {

namespace fs = std::filesystem;

struct Dir {
    fs::path path = fs::temp_directory_path() / ("fw_files_" + std::to_string(getpid()));
    Dir() { fs::create_directories(path); }
    ~Dir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// Read apart from the program's reader, which refuses pipes.
std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t entries(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(ReplacingFileWriter, WritesThroughLinksDevicesAndPipesAndRefusesReadOnlyFiles) {
    Dir dir;
    // A link to a file: the file is replaced, the link stays a link.
    std::ofstream(dir / "real") << "old";
    fs::create_symlink("real", dir / "link");
    EXPECT_FALSE(writeFileReplacing(dir / "link", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(slurp(dir / "real"), "new");

    // A link that names no file yet: the file is made where it points.
    fs::create_symlink("made", dir / "dangling");
    EXPECT_FALSE(writeFileReplacing(dir / "dangling", "first"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_EQ(slurp(dir / "made"), "first");

    // A file without write permission is refused, also for root, and stays as it was.
    std::ofstream(dir / "kept") << "keep me";
    fs::permissions(dir / "kept", fs::perms::owner_read | fs::perms::group_read);
    const auto refused = writeFileReplacing(dir / "kept", "lost");
    ASSERT_TRUE(refused);
    EXPECT_EQ(*refused, "Cannot create file " + (dir / "kept") + ": Permission denied");
    EXPECT_EQ(slurp(dir / "kept"), "keep me");

    // A pipe is written, not replaced by a file; one that nobody reads is refused at once.
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const auto noReader = writeFileReplacing(dir / "pipe", "x");
    ASSERT_TRUE(noReader);
    EXPECT_EQ(*noReader, "Cannot create file " + (dir / "pipe") + ": No such device or address");
    auto reader = std::async(std::launch::async, [&] { return slurp(dir / "pipe"); });
    // The reader's open may come a moment later; retry until the pipe has one.
    std::optional<std::string> error;
    for (int i = 0; i < 500; ++i) {
        error = writeFileReplacing(dir / "pipe", "through the pipe");
        if (!error)
            break;
        usleep(2000);
    }
    EXPECT_FALSE(error) << *error;
    EXPECT_EQ(reader.get(), "through the pipe");
    struct stat st {};
    ASSERT_EQ(stat((dir / "pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A device node stays the device.
    EXPECT_FALSE(writeFileReplacing("/dev/null", "nothing"));
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // No temporary file was left anywhere.
    EXPECT_EQ(entries(dir.path), 6u);
}

TEST(ReplacingFileWriter, TheNextSaveRemovesWhatAKilledSaveLeftButNotASaveUnderWay) {
    Dir dir;
    const std::string target = dir / "take.plog";
    std::ofstream(target) << "old";
    std::ofstream(dir / "take.plog.backup") << "mine";
    // A save killed half way leaves its temporary file.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ReplacingFileWriter writer(target);
        writer.write(std::string(1 << 20, 'x'));
        std::fflush(nullptr);
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(entries(dir.path), 3u);
    EXPECT_EQ(slurp(target), "old");

    // Another save of the same file is under way meanwhile: its file stays.
    ReplacingFileWriter underWay(target);
    ASSERT_TRUE(underWay.ok());
    EXPECT_EQ(entries(dir.path), 3u); // the killed one went, the one under way came
    EXPECT_FALSE(writeFileReplacing(target, "new"));
    EXPECT_TRUE(fs::exists(underWay.tempPath()));
    EXPECT_TRUE(underWay.write("newer") && underWay.commit());
    EXPECT_EQ(slurp(target), "newer");
    EXPECT_EQ(slurp(dir / "take.plog.backup"), "mine");
    EXPECT_EQ(entries(dir.path), 2u);
}

TEST(FileReaders, RefuseWhatIsNoRegularFileOrTooLargeAtOnce) {
    Dir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0); // no writer: an open would wait
    fs::create_directory(dir / "folder");
    { std::ofstream sparse(dir / "huge"); }
    fs::resize_file(dir / "huge", kLargestFile + 1); // nothing but a hole
    std::ofstream(dir / "beat") << std::string(2000, 'A');
    const struct {
        std::string path;
        std::size_t limit;
        std::string reason; // as readWholeFile gives it
    } cases[] = {
        {dir / "fifo", kLargestFile, "it is not a regular file"},
        {"/dev/zero", kLargestFile, "it is not a regular file"},
        {dir / "folder", kLargestFile, "Is a directory"},
        {dir / "huge", kLargestFile, "it is larger than 256 MB"},
        {dir / "beat", 1000, "it is larger than 1000 bytes"},
    };
    for (const auto& c : cases) {
        std::string error;
        if (c.limit == kLargestFile) {
            EXPECT_FALSE(readWholeFile(c.path, error)) << c.path;
            EXPECT_EQ(error, "Cannot open file " + c.path + ": " + c.reason);
        }
        // The settings loaders keep the plain message, adding only why a large file is refused.
        EXPECT_FALSE(readSettingsBytes(c.path, error, c.limit)) << c.path;
        EXPECT_EQ(error, "Cannot open file " + c.path +
                             (c.reason.starts_with("it is larger") ? ": " + c.reason : ""));
    }
}

} // namespace
} // namespace fw
