#include "monkey_watch.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/fanotify.h>
#include <unistd.h>

namespace fw::monkey {

namespace {
std::int64_t nowMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

Watchdog::Watchdog(int limitMillis, std::function<std::string()> describe,
                   std::function<long()> mark)
    : limit_(limitMillis), describe_(std::move(describe)), mark_(std::move(mark)),
      windowThread_(pthread_self()), thread_([this] { run(); }) {}

Watchdog::~Watchdog() {
    stop();
}

void Watchdog::stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void Watchdog::beat() {
    const std::int64_t now = nowMillis();
    const std::int64_t last = last_.exchange(now);
    if (last != 0 && now - last > longest_) {
        longest_ = now - last;
        longestMark_ = mark_();
    }
}

void Watchdog::run() {
    while (!stop_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::int64_t last = last_;
        // The first beat comes when the event loop first turns; start-up is not timed here.
        if (last == 0 || nowMillis() - last <= limit_)
            continue;
        std::fprintf(stderr, "\nmonkey: HANG: the event loop has not turned for %lld ms; %s\n",
                     static_cast<long long>(nowMillis() - last), describe_().c_str());
        std::fflush(stderr);
        // Aborted on its own thread, the window thread shows where it is stuck.
        pthread_kill(static_cast<pthread_t>(windowThread_), SIGABRT);
        std::this_thread::sleep_for(std::chrono::seconds(5));
        std::abort();
    }
}

WriteWatch::WriteWatch(const std::vector<std::string>& places) {
    fd_ = fanotify_init(FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_UNLIMITED_QUEUE,
                        O_RDONLY | O_LARGEFILE | O_CLOEXEC);
    if (fd_ < 0) {
        why_ = std::string("fanotify: ") + std::strerror(errno);
        return;
    }
    for (const std::string& place : places) {
        if (fanotify_mark(fd_, FAN_MARK_ADD | FAN_MARK_FILESYSTEM, FAN_CLOSE_WRITE, AT_FDCWD,
                          place.c_str()) != 0) {
            why_ = "fanotify on " + place + ": " + std::strerror(errno);
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
    thread_ = std::thread([this] { run(); });
}

WriteWatch::~WriteWatch() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (fd_ >= 0)
        ::close(fd_);
}

void WriteWatch::run() {
    while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0)
            drain();
    }
}

// Reads every queued event. Other processes' writes come too (the mark is on whole file
// systems); only this process's are kept.
bool WriteWatch::drain() {
    alignas(fanotify_event_metadata) char buffer[64 * 1024];
    const pid_t self = ::getpid();
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            return true;
        auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
        ssize_t left = n;
        for (; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
            if (event->mask & FAN_Q_OVERFLOW)
                overflowed_ = true;
            if (event->fd < 0)
                continue;
            if (event->pid == self) {
                char link[64];
                char path[4096];
                std::snprintf(link, sizeof link, "/proc/self/fd/%d", event->fd);
                const ssize_t len = ::readlink(link, path, sizeof path - 1);
                if (len > 0) {
                    std::lock_guard lock(mutex_);
                    paths_.emplace(path, static_cast<std::size_t>(len));
                }
            }
            ::close(event->fd);
        }
    }
}

std::set<std::string> WriteWatch::written() {
    if (fd_ < 0)
        return {};
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    drain();
    std::lock_guard lock(mutex_);
    return paths_;
}

} // namespace fw::monkey
