#include "logs/take_journal.h"

#include "files/line_file.h"
#include "logs/log_files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace fw {

namespace {

constexpr const char* kPrefix = "take-";
constexpr const char* kSuffix = ".journal";

std::string journalName(std::time_t started) {
    std::tm local{};
    localtime_r(&started, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return std::string(kPrefix) + stamp + "-" + std::to_string(::getpid()) + kSuffix;
}

bool isJournalName(const std::string& name) {
    return name.size() > std::strlen(kPrefix) + std::strlen(kSuffix) &&
           name.rfind(kPrefix, 0) == 0 &&
           name.compare(name.size() - std::strlen(kSuffix), std::string::npos, kSuffix) == 0;
}

} // namespace

TakeJournal::TakeJournal() : writer_([this] { run(); }) {}

TakeJournal::~TakeJournal() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    writer_.join();
}

void TakeJournal::setOnError(std::function<void(const std::string&)> onError) {
    const std::lock_guard<std::mutex> lock(mutex_);
    onError_ = std::move(onError);
}

void TakeJournal::start(const std::string& folder, std::time_t started) {
    folder_ = folder;
    path_ = (std::filesystem::path(folder) / journalName(started)).string();
    push({Op::Open, path_});
}

void TakeJournal::resume(const std::string& path, std::size_t wholeBytes) {
    folder_ = std::filesystem::path(path).parent_path().string();
    path_ = path;
    push({Op::Resume, path, wholeBytes});
}

void TakeJournal::discard() {
    if (!active())
        return;
    folder_.clear();
    path_.clear();
    push({Op::Remove, {}});
}

void TakeJournal::appendLine(const std::string& line) {
    if (!active())
        return;
    bool wasIdle = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        wasIdle = ops_.empty();
        if (wasIdle || ops_.back().kind != Op::Write)
            ops_.push_back({Op::Write, {}});
        std::string& bytes = ops_.back().text;
        bytes += line;
        bytes += "\r\n";
    }
    // One wake for the lines of a beat: the writer takes all that came meanwhile.
    if (wasIdle)
        wake_.notify_one();
}

bool TakeJournal::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t asked = ++flushAsked_;
    ops_.push_back({Op::Flush, std::to_string(asked)});
    wake_.notify_one();
    flushed_.wait(lock, [&] { return flushDone_ >= asked; });
    return flushIntact_;
}

void TakeJournal::push(Op op) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ops_.push_back(std::move(op));
    }
    wake_.notify_one();
}

void TakeJournal::run() {
    using Steady = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock(mutex_);
    Steady::time_point syncDue = Steady::time_point::max();
    for (;;) {
        if (ops_.empty()) {
            if (stop_)
                break;
            if (dirty_)
                wake_.wait_until(lock, syncDue);
            else
                wake_.wait(lock);
        }
        std::vector<Op> batch;
        batch.swap(ops_);
        lock.unlock();
        for (Op& op : batch)
            perform(op);
        const Steady::time_point now = Steady::now();
        if (dirty_ && syncDue == Steady::time_point::max())
            syncDue = now + std::chrono::milliseconds(kSyncMillis);
        if (dirty_ && now >= syncDue)
            sync();
        if (!dirty_)
            syncDue = Steady::time_point::max();
        lock.lock();
    }
    lock.unlock();
    sync();
    if (fd_ >= 0)
        ::close(fd_);
}

void TakeJournal::closeCurrent(bool remove) {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    dirty_ = false;
    if (remove && !openPath_.empty())
        ::unlink(openPath_.c_str());
    openPath_.clear();
    failed_ = false;
}

bool TakeJournal::openFile(const std::string& path, std::size_t keep) {
    // A journal left behind is nobody's but ours once locked; its lines stay where they are.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0 ||
        ::ftruncate(fd_, static_cast<off_t>(keep)) != 0 || ::lseek(fd_, 0, SEEK_END) < 0) {
        fail("Cannot write file " + path + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

void TakeJournal::perform(Op& op) {
    switch (op.kind) {
    case Op::Open:
    case Op::Remove:
        // The take before is over: its journal goes.
        closeCurrent(true);
        if (op.kind == Op::Open)
            openPath_ = op.text;
        break;
    case Op::Resume:
        closeCurrent(true);
        // Should it fail, the file is left as it is, to be offered again at the next start.
        if (openFile(op.text, op.size))
            openPath_ = op.text;
        break;
    case Op::Write: {
        if (openPath_.empty() || failed_)
            break;
        if (fd_ < 0) {
            std::error_code ec;
            const std::filesystem::path folder = std::filesystem::path(openPath_).parent_path();
            // The folder's own failure names the cause (a read-only home, say), which the file's
            // would hide behind "No such file or directory".
            if (!std::filesystem::create_directories(folder, ec) && ec) {
                fail("Cannot create folder " + folder.string() + ": " + ec.message());
                break;
            }
            // Made and locked under another name, so that no one ever sees it unlocked.
            const std::string fresh = openPath_ + ".new";
            fd_ = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0 ||
                ::rename(fresh.c_str(), openPath_.c_str()) != 0) {
                fail("Cannot create file " + openPath_ + ": " + std::strerror(errno));
                ::unlink(fresh.c_str());
                break;
            }
        }
        const char* p = op.text.data();
        std::size_t left = op.text.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_, p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                fail("Cannot write file " + openPath_ + ": " +
                     std::strerror(n < 0 ? errno : ENOSPC));
                return;
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        dirty_ = true;
        break;
    }
    case Op::Flush: {
        sync();
        const std::lock_guard<std::mutex> lock(mutex_);
        flushDone_ = std::max<std::uint64_t>(flushDone_, std::stoull(op.text));
        flushIntact_ = !failed_;
        flushed_.notify_all();
        break;
    }
    }
}

void TakeJournal::sync() {
    if (fd_ >= 0 && dirty_)
        ::fdatasync(fd_);
    dirty_ = false;
}

void TakeJournal::fail(const std::string& what) {
    // The file stays open, and locked, until the journal ends: a journal resumed from a take
    // left behind must not look left behind again while this program runs.
    failed_ = true;
    std::function<void(const std::string&)> onError;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        onError = onError_;
    }
    if (onError)
        onError(what);
}

std::vector<std::string> journalsLeftBehind(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!isJournalName(name) || !entry.is_regular_file(ec))
            continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            found.push_back(entry.path().string()); // unreadable, and said so
            continue;
        }
        // A running program holds its journal locked.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            found.push_back(entry.path().string());
            ::flock(fd, LOCK_UN);
        }
        ::close(fd);
    }
    std::sort(found.begin(), found.end());
    return found;
}

FoundTake readTakeJournal(const std::string& path) {
    FoundTake take;
    take.path = path;
    // take-YYYYMMDD-HHMMSS-PID.journal
    const std::string name = std::filesystem::path(path).filename().string();
    if (name.size() >= 20 && name[13] == '-') {
        take.date = name.substr(5, 4) + "-" + name.substr(9, 2) + "-" + name.substr(11, 2);
        take.time = name.substr(14, 2) + ":" + name.substr(16, 2);
        std::tm local{};
        if (strptime(name.substr(5, 15).c_str(), "%Y%m%d-%H%M%S", &local)) {
            local.tm_isdst = -1;
            take.started = std::mktime(&local);
        }
    }
    std::string error;
    auto text = readWholeFile(path, error);
    if (!text) {
        take.unreadable = error;
        return take;
    }
    // A power cut can leave the end of the file filled with zeros.
    const std::size_t end = text->find_last_not_of('\0');
    text->resize(end == std::string::npos ? 0 : end + 1);
    // The lines up to the first one that is not whole and valid; only the very last may be
    // damaged, by the end of the program in the middle of writing it.
    std::size_t at = 0;
    while (at < text->size()) {
        const std::size_t eol = text->find("\r\n", at);
        const std::string_view line(text->data() + at,
                                    (eol == std::string::npos ? text->size() : eol) - at);
        const bool last = eol == std::string::npos || eol + 2 >= text->size();
        if (eol == std::string::npos || playLogProblem(line)) {
            if (!last) {
                take.unreadable =
                    "line " + std::to_string(take.lines.size() + 1) + " is not a play log line";
                take.lines.clear();
                return take;
            }
            take.dropped = 1;
            break;
        }
        take.lines.emplace_back(line);
        at = eol + 2;
        take.wholeBytes = at;
    }
    return take;
}

std::string takeFoundMessage(const FoundTake& take) {
    const std::size_t n = take.lines.size();
    std::string text = "A take of " + std::to_string(n) + (n == 1 ? " line" : " lines") +
                       " recorded on " + take.date + " at " + take.time + " was not saved.";
    if (take.dropped > 0)
        text += " Its last line was cut off when the program ended and is left out (" +
                std::to_string(take.dropped) + " line).";
    return text;
}

} // namespace fw
