#pragma once

#include "engine/log_sink.h"

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fw {

// The take being recorded, kept on disk line by line as play appends it to the play log, so
// that a kill, a crash or a power cut loses at most the last second of it. A thread of its own
// writes the file and flushes it to the disk at least twice a second; appending a line only
// copies it. The file is a play log file (CR LF lines) named for the moment the take started,
// and it is locked while a program writes it, so that a second running copy of the program
// never takes it for a take left behind.
class TakeJournal final : public LogSink {
public:
    TakeJournal();
    ~TakeJournal() override; // the file stays: a journal left behind is a take not saved
    TakeJournal(const TakeJournal&) = delete;
    TakeJournal& operator=(const TakeJournal&) = delete;

    // Starts a new journal in folder for a take that starts at `started`; the previous journal
    // is removed. The file is made with the first line.
    void start(const std::string& folder, std::time_t started);
    // Goes on writing a journal left behind, whose first wholeBytes hold its whole lines, for its
    // take is back in the play log: the lines stay in the one file they are safe in, never
    // emptied or copied. What follows those bytes (a line cut off) is cut away; the journal of
    // this run so far is removed.
    void resume(const std::string& path, std::size_t wholeBytes);
    void appendLine(const std::string& line) override;
    // Ends the journal and removes its file: the take is safe elsewhere, or was never wanted.
    void discard();
    // Returns when every line appended so far is on the disk: true when they all are there, false
    // when a write of this journal has failed.
    bool flush();
    bool active() const { return !folder_.empty(); }
    // The journal's file name, also before the file exists.
    const std::string& path() const { return path_; }
    // Told, on the writer's thread, when the journal cannot be written, once per journal.
    void setOnError(std::function<void(const std::string&)> onError);

    // How long written lines may wait for the flush to the disk.
    static constexpr int kSyncMillis = 500;

private:
    struct Op {
        enum Kind { Open, Resume, Write, Remove, Flush } kind;
        std::string text;     // the path to open, or the bytes to write
        std::size_t size = 0; // the bytes of a resumed journal to keep
    };
    void closeCurrent(bool remove);
    bool openFile(const std::string& path, std::size_t keep);
    void push(Op op);
    void run();
    void perform(Op& op);
    void fail(const std::string& what);
    void sync();

    std::string folder_;
    std::string path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable flushed_;
    std::vector<Op> ops_;
    bool stop_ = false;
    std::uint64_t flushAsked_ = 0;
    std::uint64_t flushDone_ = 0;
    bool flushIntact_ = true;
    std::function<void(const std::string&)> onError_;
    // The writer's own state.
    std::string openPath_;
    int fd_ = -1;
    bool dirty_ = false;
    bool failed_ = false;
    std::thread writer_;
};

// Journals in folder that no running program holds: takes of runs that did not end cleanly.
std::vector<std::string> journalsLeftBehind(const std::string& folder);

// What a journal left behind holds.
struct FoundTake {
    std::string path;
    std::vector<std::string> lines; // the whole lines, in order
    std::size_t wholeBytes = 0;     // of the file, up to the end of the last whole line
    int dropped = 0;                // a damaged last line, cut by the end of the program
    std::string date;               // when the take started, "2025-03-02"
    std::string time;               // and "14:03"
    std::time_t started = 0;        // the same, 0 when the name does not say
    std::string unreadable;         // why the journal cannot be read; empty when it can
};
FoundTake readTakeJournal(const std::string& path);

// "A take of N lines recorded on DATE at TIME was not saved.", with the damaged line counted.
std::string takeFoundMessage(const FoundTake& take);

} // namespace fw
