#include "files/line_file.h"
#include "logs/take_journal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

namespace fw {
namespace {

namespace fs = std::filesystem;

struct JournalRig {
    fs::path dir = fs::temp_directory_path() / ("fw_journal_" + std::to_string(getpid()));
    JournalRig() { fs::remove_all(dir); }
    ~JournalRig() { fs::remove_all(dir); }
    std::string read(const std::string& path) const {
        std::string error;
        return readWholeFile(path, error).value_or("<unreadable>");
    }
    std::string file(const char* name) const { return (dir / name).string(); }
    void write(const char* name, std::string_view bytes) const {
        fs::create_directories(dir);
        ASSERT_FALSE(writeFileReplacing(file(name), bytes));
    }
};

TEST(TakeJournal, KeepsTheLinesOnDiskAndIsLeftBehindOnlyWhenItsProgramIsGone) {
    JournalRig rig;
    std::string first;
    std::string second;
    {
        TakeJournal journal;
        journal.appendLine("91405A00-1"); // no journal yet: not kept
        journal.start(rig.dir.string(), 1700000000);
        first = journal.path();
        EXPECT_FALSE(fs::exists(first)); // made with its first line
        journal.appendLine("C0000000-0");
        journal.appendLine("91405A00-12");
        journal.flush();
        EXPECT_EQ(rig.read(first), "C0000000-0\r\n91405A00-12\r\n");
        // While its program runs, a journal is no take left behind.
        EXPECT_TRUE(journalsLeftBehind(rig.dir.string()).empty());
        // A new take: the journal of the one before goes.
        journal.start(rig.dir.string(), 1700000100);
        second = journal.path();
        journal.appendLine("91400000-5");
        journal.flush();
        EXPECT_FALSE(fs::exists(first));
        EXPECT_EQ(rig.read(second), "91400000-5\r\n");
    } // the program ends without discarding: the take stays
    EXPECT_EQ(journalsLeftBehind(rig.dir.string()), std::vector<std::string>{second});
    const FoundTake take = readTakeJournal(second);
    EXPECT_EQ(take.lines, std::vector<std::string>{"91400000-5"});
    EXPECT_EQ(take.dropped, 0);
    EXPECT_EQ(take.started, 1700000100);

    // A clean end removes it.
    TakeJournal journal;
    journal.start(rig.dir.string(), 1700000200);
    journal.appendLine("91400000-5");
    journal.flush();
    journal.discard();
    journal.appendLine("91400000-6"); // after the end: not kept
    journal.flush();
    EXPECT_EQ(journalsLeftBehind(rig.dir.string()), std::vector<std::string>{second});

    // A folder that cannot be made is reported once.
    std::vector<std::string> errors;
    journal.setOnError([&](const std::string& e) { errors.push_back(e); });
    rig.write("plain", "x");
    journal.start(rig.file("plain"), 1700000300);
    journal.appendLine("91400000-7");
    journal.appendLine("91400000-8");
    journal.flush();
    journal.appendLine("91400000-9");
    journal.flush();
    ASSERT_EQ(errors.size(), 1u);
    // The cause is the folder's, not a missing file's.
    EXPECT_EQ(errors[0].rfind("Cannot create folder " + rig.file("plain") + ": ", 0), 0u);
}

// Files may grow no further than this while it lives (a full disk, as far as the writer can
// tell); the signal such a write raises is ignored meanwhile, as the write fails anyway.
struct FileSizeLimit {
    rlimit saved{};
    void (*oldHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    }
};

TEST(TakeJournal, ATakeBackInThePlayLogStaysInItsOwnFileThroughAWriteThatFails) {
    JournalRig rig;
    const std::string left = rig.file("take-20250302-140322-77.journal");
    rig.write("take-20250302-140322-77.journal", "C0000000-0\r\n91405A00-12\r\n91405");
    const FoundTake take = readTakeJournal(left);
    ASSERT_EQ(take.lines.size(), 2u);
    std::vector<std::string> errors;
    {
        TakeJournal journal;
        journal.setOnError([&](const std::string& e) { errors.push_back(e); });
        journal.start(rig.dir.string(), 1700000000);
        journal.appendLine("C0000000-0"); // this run's own take until the old one comes back
        journal.flush();
        const std::string own = journal.path();
        journal.resume(left, take.wholeBytes);
        journal.flush();
        EXPECT_EQ(journal.path(), left);
        EXPECT_FALSE(fs::exists(own));
        // The cut line is gone, the whole ones never moved, and it is held while we run.
        EXPECT_EQ(rig.read(left), "C0000000-0\r\n91405A00-12\r\n");
        EXPECT_TRUE(journalsLeftBehind(rig.dir.string()).empty());
        journal.appendLine("91400000-20");
        journal.flush();
        EXPECT_EQ(rig.read(left), "C0000000-0\r\n91405A00-12\r\n91400000-20\r\n");
        {
            const FileSizeLimit full(fs::file_size(left));
            journal.appendLine("91405A00-30");
            journal.flush();
        }
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0], "Cannot write file " + left + ": File too large");
        EXPECT_TRUE(journalsLeftBehind(rig.dir.string()).empty());
    } // killed before the take was saved
    EXPECT_EQ(journalsLeftBehind(rig.dir.string()), std::vector<std::string>{left});
    EXPECT_EQ(readTakeJournal(left).lines,
              (std::vector<std::string>{"C0000000-0", "91405A00-12", "91400000-20"}));

    // A journal that cannot be written is left as it was, to be offered again (root writes
    // read-only files: it sees this only as another user).
    errors.clear();
    fs::permissions(left, fs::perms::owner_read);
    if (::access(left.c_str(), W_OK) == 0)
        return;
    {
        TakeJournal journal;
        journal.setOnError([&](const std::string& e) { errors.push_back(e); });
        journal.resume(left, 5);
        journal.appendLine("91405A00-40");
        journal.flush();
        journal.discard();
        journal.flush();
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Cannot write file " + left + ": Permission denied");
    EXPECT_EQ(readTakeJournal(left).lines.size(), 3u);
}

TEST(TakeJournal, ADamagedLastLineIsDroppedAndCountedAndDamageBeforeItMakesItUnreadable) {
    JournalRig rig;
    const auto found = [&](std::string_view bytes) {
        rig.write("take-20250302-140322-77.journal", bytes);
        return readTakeJournal(rig.file("take-20250302-140322-77.journal"));
    };
    FoundTake take = found("C0000000-0\r\n91405A00-12\r\n");
    EXPECT_EQ(take.lines.size(), 2u);
    EXPECT_EQ(takeFoundMessage(take),
              "A take of 2 lines recorded on 2025-03-02 at 14:03 was not saved.");
    // Cut in the middle of its last line, with or without the zeros a power cut leaves.
    for (std::string_view cut : {std::string_view("C0000000-0\r\n91405A00-12\r\n91405"),
                                 std::string_view("C0000000-0\r\n91405A00-12\r\n914\0\0\0", 29),
                                 std::string_view("C0000000-0\r\n91405A00-12\r\n91405A00-\r\n")}) {
        take = found(cut);
        EXPECT_EQ(take.lines, (std::vector<std::string>{"C0000000-0", "91405A00-12"}));
        EXPECT_EQ(take.dropped, 1);
        EXPECT_TRUE(take.unreadable.empty());
        EXPECT_EQ(takeFoundMessage(take),
                  "A take of 2 lines recorded on 2025-03-02 at 14:03 was not saved. Its last "
                  "line was cut off when the program ended and is left out (1 line).");
    }
    // Damage anywhere but at the end is not ours: the file is not read as a take.
    take = found("C0000000-0\r\nhello\r\n91405A00-12\r\n");
    EXPECT_TRUE(take.lines.empty());
    EXPECT_EQ(take.unreadable, "line 2 is not a play log line");
    EXPECT_FALSE(readTakeJournal(rig.file("none.journal")).unreadable.empty());
}

} // namespace
} // namespace fw
