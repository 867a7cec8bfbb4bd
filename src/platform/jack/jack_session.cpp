#include "platform/jack/jack_session.h"

#include "engine/clock.h"

#include <jack/jack.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fw {

namespace {
void quietJack(const char*) {}

// Whether a process listens on the socket at this path. A server that was killed leaves its
// socket file behind, so the file alone says nothing; the kernel's table of Unix sockets does.
// Without that table (no /proc) a socket file is taken for a server, as it always was.
//
// The transport follower asks four times a second whether a server has come, so a file found
// dead is remembered by inode and change time and not looked up again: a server that starts
// binds a new file.
bool listensOn(const std::string& path, const char* table) {
    std::ifstream in(table);
    if (!in)
        return true;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return false;
    const std::pair<ino_t, std::int64_t> file{
        st.st_ino, static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
    static std::mutex mutex;
    static std::vector<std::pair<ino_t, std::int64_t>> dead;
    const std::lock_guard<std::mutex> lock(mutex);
    if (std::find(dead.begin(), dead.end(), file) != dead.end())
        return false;
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, refs, protocol, flags, type, state, inode, name;
        if (!(fields >> slot >> refs >> protocol >> flags >> type >> state >> inode >> name))
            continue;
        constexpr unsigned long accepting = 0x10000; // __SO_ACCEPTCON: listen() was called
        if (name == path && (std::strtoul(flags.c_str(), nullptr, 16) & accepting))
            return true;
    }
    dead.push_back(file);
    return false;
}
} // namespace

bool jackServerMayRun(const char* folder, const char* socketTable) {
    // JACK 2 listens on jack_<server>_<user>_0 in the folder itself; JACK 1 keeps its sockets
    // in a folder jack-<user>, taken as it always was.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("jack", 0) != 0)
            continue;
        std::error_code typeError;
        const auto type = entry.symlink_status(typeError).type();
        if ((type == std::filesystem::file_type::socket &&
             listensOn(entry.path().string(), socketTable)) ||
            (type == std::filesystem::file_type::directory && name.rfind("jack-", 0) == 0))
            return true;
    }
    return false;
}

jack_client_t* openJackClient(const char* name) {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
    });
    if (!jackServerMayRun())
        return nullptr;
    jack_status_t status{};
    return jack_client_open(name, JackNoStartServer, &status);
}

bool JackFrameClock::cycle(jack_client_t* client, JackCycle& out) {
    jack_nframes_t frame = 0;
    jack_time_t start = 0, next = 0;
    float period = 0;
    if (jack_get_cycle_times(client, &frame, &start, &next, &period) != 0 || next <= start)
        return false;
    const std::int64_t offset = monotonicMicros() - static_cast<std::int64_t>(jack_get_time());
    advance(frame, jack_get_buffer_size(client), static_cast<std::int64_t>(start) + offset,
            static_cast<int>(jack_get_sample_rate(client)), out);
    return true;
}

void JackFrameClock::advance(std::uint32_t firstFrame, std::uint32_t frames,
                             std::int64_t reportedStart, int sampleRate, JackCycle& out) {
    const double reported = static_cast<double>(reportedStart);
    // Frames since the last period ended: more than none when a period went by without this
    // client (the dummy backend skips one now and then), wrapping as JACK's frame counter does.
    const std::uint32_t gap = firstFrame - nextFrame_;
    double start = nextStart_ + gap * microsPerFrame_;
    const bool sameStream =
        locked_ && sampleRate == rate_ && gap < static_cast<std::uint32_t>(sampleRate);
    // A report this far off is no late timer but a clock that was set anew.
    if (!sameStream || std::abs(reported - start) > 100000) {
        locked_ = true;
        rate_ = sampleRate;
        microsPerFrame_ = 1e6 / sampleRate;
        start = reported;
    }
    const double period = frames * microsPerFrame_;
    // The loop settles within a few hundred periods; a report 9 ms late moves the next period
    // by a tenth of a millisecond.
    constexpr double omega = 0.0075;
    const double error = reported - start;
    nextStart_ = start + period + 1.4142135623731 * omega * error;
    microsPerFrame_ += omega * omega * error / frames;
    nextFrame_ = firstFrame + frames;
    out.start = std::llround(start);
    out.end = std::llround(nextStart_);
}

void closeJackClient(jack_client_t*& client) {
    if (!client)
        return;
    jack_deactivate(client);
    jack_client_close(client);
    client = nullptr;
}

} // namespace fw
