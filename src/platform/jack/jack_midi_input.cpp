#include "platform/jack/jack_midi_input.h"

#include "engine/realtime_scope.h"
#include "platform/alsa/rtmidi_port.h"
#include "platform/jack/jack_session.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <semaphore.h>
#include <thread>

namespace fw {

namespace {

constexpr std::size_t kRingEntries = 4096;

// A message as the process callback hands it on. Longer ones (system exclusive) are left out:
// nothing here reads them.
struct Entry {
    std::int64_t at = 0;
    std::uint8_t size = 0;
    std::uint8_t bytes[3] = {};
};

} // namespace

struct JackMidiInput::Impl {
    std::string source;
    Handler handler;
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    jack_ringbuffer_t* ring = nullptr;
    // The process callback may not call the handler (it may lock or allocate); a thread of ours
    // does, woken by a semaphore, which the callback may post.
    sem_t ready{};
    bool haveSemaphore = false;
    std::atomic<bool> stopping{false};
    std::thread relay;
    JackFrameClock frameClock; // the process callback's own

    // On JACK's process thread: no locks, no allocation.
    int process(jack_nframes_t frames) {
        const RealtimeScope realtime(RealtimeWork::JackMidiIn);
        void* buffer = jack_port_get_buffer(port, frames);
        // The clock counts every period, with or without messages.
        JackCycle cycle;
        const bool timed = frameClock.cycle(client, cycle);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        if (count == 0 || !timed)
            return 0;
        bool any = false;
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0 || event.size > 3)
                continue;
            if (jack_ringbuffer_write_space(ring) < sizeof(Entry))
                break;
            Entry e;
            e.at = cycle.start +
                   static_cast<std::int64_t>(event.time) * (cycle.end - cycle.start) / frames;
            e.size = static_cast<std::uint8_t>(event.size);
            std::memcpy(e.bytes, event.buffer, e.size);
            jack_ringbuffer_write(ring, reinterpret_cast<const char*>(&e), sizeof(Entry));
            any = true;
        }
        if (any)
            sem_post(&ready);
        return 0;
    }

    void relayMessages() {
        for (;;) {
            while (sem_wait(&ready) != 0 && errno == EINTR) {
            }
            if (stopping.load())
                return;
            Entry e;
            while (jack_ringbuffer_read_space(ring) >= sizeof(Entry)) {
                jack_ringbuffer_read(ring, reinterpret_cast<char*>(&e), sizeof(Entry));
                handler(e.bytes, e.size, e.at);
            }
        }
    }

    void close() {
        closeJackClient(client);
        port = nullptr;
        if (relay.joinable()) {
            stopping = true;
            sem_post(&ready);
            relay.join();
        }
        stopping = false;
        if (haveSemaphore)
            sem_destroy(&ready);
        haveSemaphore = false;
        if (ring)
            jack_ringbuffer_free(ring);
        ring = nullptr;
    }
};

JackMidiInput::JackMidiInput(std::string sourcePort) : impl_(std::make_unique<Impl>()) {
    impl_->source = std::move(sourcePort);
}

JackMidiInput::~JackMidiInput() {
    impl_->close();
}

bool JackMidiInput::open(Handler handler) {
    Impl& im = *impl_;
    im.close();
    im.handler = std::move(handler);
    im.client = openJackClient(ownClientName("in").c_str());
    if (!im.client)
        return false;
    im.port = jack_port_register(im.client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    im.ring = jack_ringbuffer_create(kRingEntries * sizeof(Entry));
    im.haveSemaphore = sem_init(&im.ready, 0, 0) == 0;
    if (!im.port || !im.ring || !im.haveSemaphore) {
        im.close();
        return false;
    }
    im.relay = std::thread([&im] { im.relayMessages(); });
    jack_set_process_callback(
        im.client, [](jack_nframes_t n, void* arg) { return static_cast<Impl*>(arg)->process(n); },
        &im);
    if (jack_activate(im.client) != 0) {
        im.close();
        return false;
    }
    const int connected = jack_connect(im.client, im.source.c_str(), jack_port_name(im.port));
    if (connected != 0 && connected != EEXIST) {
        im.close();
        return false;
    }
    return true;
}

void JackMidiInput::close() {
    impl_->close();
}

std::vector<std::string> jackMidiSources() {
    std::vector<std::string> names;
    jack_client_t* client = openJackClient(ownClientName("list").c_str());
    if (!client)
        return names;
    if (const char** ports =
            jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput)) {
        for (const char** p = ports; *p; ++p)
            if (!isOwnMidiPort(*p))
                names.emplace_back(*p);
        jack_free(ports);
    }
    jack_client_close(client);
    return names;
}

} // namespace fw
