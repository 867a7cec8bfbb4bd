#include "logs/log_files.h"
#include "logs/log_lines.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fw {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("fw_logs_" + std::to_string(getpid()) + "_" + std::to_string(counter()++));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

std::string slurp(const std::string& path) {
    std::string error;
    return readWholeFile(path, error).value_or("<unreadable: " + error + ">");
}

TEST(LogFiles, PlayLogFilesAreCrLfLinesAndReplaceTheTargetWhole) {
    TempDir dir;
    const std::string target = dir.file("take.plog");
    EXPECT_FALSE(writeFileReplacing(target, playLogFileText({"C0000000-0", "91405A00-50"})));
    EXPECT_EQ(slurp(target), "C0000000-0\r\n91405A00-50\r\n");
    EXPECT_EQ(playLogFileText({}), "");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_read, fs::perms::owner_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

    // A target in a folder that does not exist: the error names the file, nothing is left.
    const auto error = writeFileReplacing(dir.file("missing/take.plog"), "x");
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "Cannot create file " + dir.file("missing/take.plog") +
                          ": No such file or directory");
    // A writer dropped before its commit leaves the old file as it was and no temporary file.
    {
        ReplacingFileWriter writer(target);
        ASSERT_TRUE(writer.ok());
        writer.write("half a fi");
    }
    EXPECT_EQ(slurp(target), "C0000000-0\r\n91405A00-50\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

    std::string readError;
    EXPECT_FALSE(readWholeFile(dir.file("nothing.plog"), readError));
    EXPECT_EQ(readError,
              "Cannot open file " + dir.file("nothing.plog") + ": No such file or directory");
}

TEST(LogFiles, ALoadChecksTheWholeFileFirst) {
    EXPECT_FALSE(checkPlayLogText("", "a.plog"));
    EXPECT_FALSE(checkPlayLogText("C0000000-0\r\n91405A00--50\r\n", "a.plog"));
    EXPECT_FALSE(checkPlayLogText("91405A00-50\n90400000-7", "a.plog"));
    EXPECT_EQ(checkPlayLogText("C0000000-0\r\n91405A00-5O\r\n", "a.plog").value_or(""),
              "a.plog is not a play log.\nLine 2 \"91405A00-5O\": '5O' is not a valid integer "
              "value");
    EXPECT_EQ(checkPlayLogText("C0000000-0\r\n\r\n91405A00-5\r\n", "a.plog").value_or(""),
              "a.plog is not a play log.\nLine 2 \"\": '' is not a valid integer value");
    EXPECT_EQ(checkPlayLogText(std::string("MThd\0\0\0\x06", 8), "x.mid").value_or(""),
              "x.mid is not a play log.\nIt holds bytes that are not text.");
}

// The command-line companion is built beside the test programs.
std::string toolPath() {
    return (fs::read_symlink("/proc/self/exe").parent_path() / "fretwright-log").string();
}

int runTool(const std::string& args, std::string& output) {
    output.clear();
    FILE* pipe = popen((toolPath() + " " + args + " 2>&1").c_str(), "r");
    char buffer[512];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LogTool, ConvertsAndMergesWithTheSameRulesAndReportsErrors) {
    if (!fs::exists(toolPath()))
        GTEST_SKIP() << "fretwright-log is not built";
    TempDir dir;
    std::string out;
    {
        std::ofstream(dir.file("a.plog"), std::ios::binary) << "C0000000-0\r\n91405A00-50\r\n";
        std::ofstream(dir.file("b.plog"), std::ios::binary) << "91400000-150\n";
        std::ofstream(dir.file("bad.plog"), std::ios::binary) << "91405A00-50\r\n91400000-\r\n";
    }
    EXPECT_EQ(runTool("merge " + dir.file("a.plog") + " " + dir.file("b.plog") + " " +
                          dir.file("ab.plog"),
                      out),
              0)
        << out;
    EXPECT_EQ(slurp(dir.file("ab.plog")), "C0000000-0\r\n91405A00-50\r\n91400000-150\r\n");
    EXPECT_EQ(runTool("midi " + dir.file("ab.plog") + " " + dir.file("ab.mid"), out), 0) << out;
    EXPECT_EQ(slurp(dir.file("ab.mid")).size(), 37u);

    EXPECT_EQ(runTool("merge " + dir.file("a.plog") + " " + dir.file("bad.plog") + " " +
                          dir.file("ab.plog"),
                      out),
              1);
    EXPECT_EQ(out,
              "fretwright-log: " + dir.file("bad.plog") + ":2: '' is not a valid integer value\n");
    // The earlier result is still there, whole.
    EXPECT_EQ(slurp(dir.file("ab.plog")), "C0000000-0\r\n91405A00-50\r\n91400000-150\r\n");
    EXPECT_EQ(runTool("midi " + dir.file("none.plog") + " " + dir.file("x.mid"), out), 1);
    EXPECT_EQ(out, "fretwright-log: Cannot open file " + dir.file("none.plog") +
                       ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir.file("x.mid")));
    EXPECT_EQ(runTool("--help", out), 0);
    EXPECT_NE(out.find("fretwright-log wav [--soundfont FILE] IN.plog OUT.wav"), std::string::npos);
    EXPECT_EQ(runTool("convert", out), 2);
}

TEST(LogTool, ReadsWhatTheWindowReadsQuotesBadLinesShortAndWritesToStandardOutput) {
    if (!fs::exists(toolPath()))
        GTEST_SKIP() << "fretwright-log is not built";
    TempDir dir;
    std::string out;
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
        return dir.file(name);
    };
    // A megabyte of bad line: both messages quote its start only.
    const std::string huge = write("huge.plog", "90400000-" + std::string(1 << 20, '7') + "x\r\n");
    EXPECT_EQ(runTool("midi " + huge + " " + dir.file("x.mid"), out), 1);
    EXPECT_EQ(out, "fretwright-log: " + huge + ":1: '" + std::string(40, '7') +
                       "...' is not a valid integer value\n");
    EXPECT_LT(checkPlayLogText(slurp(huge), huge).value_or("").size(), huge.size() + 150);

    // The same lines as the window: a lone CR ends a line, a no-break space is not a blank.
    const std::string cr = write("cr.plog", "90400000-10\r90410000-20\r\n");
    EXPECT_EQ(runTool("merge " + cr + " " + cr + " -", out), 0) << out;
    EXPECT_EQ(out, "90400000-10\r\n90400000-10\r\n90410000-20\r\n90410000-20\r\n");
    const std::string nbsp = write("nbsp.plog", "90400000-10\xA0\r\n");
    EXPECT_EQ(runTool("midi " + nbsp + " -", out), 1);
    EXPECT_TRUE(checkPlayLogText(slurp(nbsp), nbsp));
}

TEST(LogTool, RendersWithTheSoundFontNamedAndRefusesOneThatIsNot) {
    if (!fs::exists(toolPath()) || !fs::exists(FW_DEFAULT_SOUNDFONT))
        GTEST_SKIP() << "fretwright-log or the SoundFont is missing";
    TempDir dir;
    std::string out;
    std::ofstream(dir.file("a.plog"), std::ios::binary) << "C1190000-0\r\n91405A00-10\r\n";
    std::ofstream(dir.file("text.sf2"), std::ios::binary) << "no SoundFont\n";
    fs::create_symlink(fs::canonical(FW_DEFAULT_SOUNDFONT), dir.file("other.sf2"));
    EXPECT_EQ(runTool("wav " + dir.file("a.plog") + " " + dir.file("a.wav"), out), 0) << out;
    EXPECT_EQ(runTool("wav --soundfont " + dir.file("other.sf2") + " " + dir.file("a.plog") + " " +
                          dir.file("b.wav"),
                      out),
              0)
        << out;
    EXPECT_EQ(slurp(dir.file("a.wav")), slurp(dir.file("b.wav")));
    EXPECT_EQ(runTool("wav --soundfont " + dir.file("text.sf2") + " " + dir.file("a.plog") + " " +
                          dir.file("c.wav"),
                      out),
              1);
    EXPECT_EQ(out, "fretwright-log: \"" + dir.file("text.sf2") +
                       "\" is not a SoundFont (SF2 or SF3).\n");
    EXPECT_FALSE(fs::exists(dir.file("c.wav")));
}

TEST(LogTool, ASignalDuringAWavRenderingLeavesTheOldFileAndNoTemporaryOne) {
    if (!fs::exists(toolPath()) || !fs::exists(FW_DEFAULT_SOUNDFONT))
        GTEST_SKIP() << "fretwright-log or the SoundFont is missing";
    TempDir dir;
    // Half an hour of log takes far longer to render than the test waits.
    std::ofstream(dir.file("long.plog"), std::ios::binary) << "90405A00-0\r\n90400000-180000\r\n";
    for (int sig : {SIGTERM, SIGINT}) {
        std::ofstream(dir.file("out.wav"), std::ios::binary) << "old";
        const pid_t pid = fork();
        if (pid == 0) {
            const std::string tool = toolPath();
            const std::string in = dir.file("long.plog");
            const std::string outPath = dir.file("out.wav");
            execl(tool.c_str(), tool.c_str(), "wav", in.c_str(), outPath.c_str(), nullptr);
            _exit(127);
        }
        // Wait for the temporary file beside the output, then interrupt.
        bool started = false;
        for (int i = 0; i < 3000 && !started; ++i) {
            usleep(10000);
            for (const auto& e : fs::directory_iterator(dir.path))
                started |= e.path().filename().string().rfind("out.wav.", 0) == 0;
        }
        EXPECT_TRUE(started);
        kill(pid, sig);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(slurp(dir.file("out.wav")), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
    }
}

} // namespace
} // namespace fw
