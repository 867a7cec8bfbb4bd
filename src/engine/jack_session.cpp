#include "engine/jack_session.h"

#include "engine/clock.h"

#include <jack/jack.h>

#include <filesystem>
#include <mutex>

namespace fw {

namespace {
void quietJack(const char*) {}
} // namespace

bool jackServerMayRun() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
        if (entry.path().filename().string().rfind("jack", 0) == 0)
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

bool currentJackCycle(jack_client_t* client, JackCycle& cycle) {
    jack_nframes_t frame = 0;
    jack_time_t start = 0, next = 0;
    float period = 0;
    if (jack_get_cycle_times(client, &frame, &start, &next, &period) != 0 || next <= start)
        return false;
    const std::int64_t offset = monotonicMicros() - static_cast<std::int64_t>(jack_get_time());
    cycle.start = static_cast<std::int64_t>(start) + offset;
    cycle.end = static_cast<std::int64_t>(next) + offset;
    return true;
}

void closeJackClient(jack_client_t*& client) {
    if (!client)
        return;
    jack_deactivate(client);
    jack_client_close(client);
    client = nullptr;
}

} // namespace fw
