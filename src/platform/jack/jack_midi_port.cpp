#include "platform/jack/jack_midi_port.h"

#include "engine/clock.h"
#include "engine/realtime_scope.h"
#include "platform/alsa/rtmidi_port.h"
#include "platform/jack/jack_session.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace fw {

namespace {

// Room for JACK's process callback to run late, and for a beat's messages to be handed over a
// little after their time stamp, before a message misses its frame.
constexpr std::int64_t kMarginMicros = 3000;
constexpr std::size_t kRingEntries = 4096;
constexpr std::size_t kPendingCapacity = 4096;
constexpr std::int64_t kLongestFlushMicros = 250000;

// AtOnce: a message for the first frame of the next period, not a latency after its stamp (the
// silence of a reset).
enum class Kind : std::uint32_t { Message, DropStatus, DropNotes, AtOnce };

// What the senders hand to the process callback. For a message waiting in the callback, `at` is
// the monotonic time of its frame.
struct Entry {
    std::int64_t at = 0;
    std::uint32_t packed = 0;
    Kind kind = Kind::Message;
};

} // namespace

struct JackMidiPort::Impl {
    std::string target;
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    jack_ringbuffer_t* ring = nullptr;
    std::mutex sendMutex; // between senders only; the process callback takes no lock
    std::atomic<bool> gone{false};
    bool opened = false;
    std::atomic<int> reopenings{0};
    std::atomic<std::int64_t> late{0};
    std::atomic<std::int64_t> latency{0};
    std::atomic<std::size_t> waiting{0}; // messages still in the callback after its last period

    // The process callback's own: messages waiting for their frame, in frame order.
    std::array<Entry, kPendingCapacity> pending{};
    JackFrameClock frameClock;
    std::size_t pendingCount = 0;

    bool push(const Entry& e) {
        const std::lock_guard<std::mutex> lock(sendMutex);
        if (!ring || jack_ringbuffer_write_space(ring) < sizeof(Entry))
            return false;
        jack_ringbuffer_write(ring, reinterpret_cast<const char*>(&e), sizeof(Entry));
        return true;
    }

    // After every waiting message of the same time or earlier, so equal times keep their order.
    void insert(const Entry& e) {
        if (pendingCount == pending.size()) {
            late.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        std::size_t i = pendingCount;
        while (i > 0 && pending[i - 1].at > e.at) {
            pending[i] = pending[i - 1];
            --i;
        }
        pending[i] = e;
        ++pendingCount;
    }

    // On JACK's process thread: no locks, no allocation.
    int process(jack_nframes_t frames) {
        const RealtimeScope realtime(RealtimeWork::JackMidiOut);
        void* buffer = jack_port_get_buffer(port, frames);
        jack_midi_clear_buffer(buffer);
        JackCycle cycle;
        if (!frameClock.cycle(client, cycle))
            return 0;
        const std::int64_t start = cycle.start;
        const std::int64_t end = cycle.end;
        const std::int64_t delay =
            static_cast<std::int64_t>(frames) * 1000000 / jack_get_sample_rate(client) +
            kMarginMicros;
        latency.store(delay, std::memory_order_relaxed);

        Entry e;
        while (jack_ringbuffer_read_space(ring) >= sizeof(Entry)) {
            jack_ringbuffer_read(ring, reinterpret_cast<char*>(&e), sizeof(Entry));
            if (e.kind == Kind::DropStatus) {
                // Only what was due after the drop was asked for: the rest is already late.
                const std::int64_t from = e.at + delay;
                const int status = MidiMessage::fromPacked(e.packed).status();
                auto keep = std::remove_if(
                    pending.begin(), pending.begin() + pendingCount, [&](const Entry& w) {
                        return MidiMessage::fromPacked(w.packed).status() == status && w.at > from;
                    });
                pendingCount = static_cast<std::size_t>(keep - pending.begin());
            } else if (e.kind == Kind::DropNotes) {
                auto keep = std::remove_if(
                    pending.begin(), pending.begin() + pendingCount, [](const Entry& w) {
                        return MidiMessage::fromPacked(w.packed).kind() != MidiKind::System;
                    });
                pendingCount = static_cast<std::size_t>(keep - pending.begin());
            } else if (e.kind == Kind::AtOnce) {
                e.at = start;
                insert(e);
            } else {
                e.at += delay;
                if (e.at < start) {
                    late.fetch_add(1, std::memory_order_relaxed);
                    e.at = start;
                }
                insert(e);
            }
        }

        std::size_t written = 0;
        jack_nframes_t lastFrame = 0;
        for (; written < pendingCount; ++written) {
            const Entry& w = pending[written];
            if (w.at >= end)
                break;
            const auto at = static_cast<jack_nframes_t>(std::max<std::int64_t>(
                (w.at - start) * static_cast<std::int64_t>(frames) / (end - start), 0));
            lastFrame = std::clamp(at, lastFrame, frames - 1);
            const MidiMessage msg = MidiMessage::fromPacked(w.packed);
            if (jack_midi_event_write(buffer, lastFrame, msg.wireBytes().data(),
                                      static_cast<std::size_t>(msg.size())) != 0)
                break; // the buffer is full: the rest waits for the next period
        }
        std::copy(pending.begin() + written, pending.begin() + pendingCount, pending.begin());
        pendingCount -= written;
        waiting.store(pendingCount, std::memory_order_release);
        return 0;
    }

    void close() {
        closeJackClient(client);
        port = nullptr;
        if (ring)
            jack_ringbuffer_free(ring);
        ring = nullptr;
        pendingCount = 0;
        frameClock = {};
        gone = false;
    }
};

JackMidiPort::JackMidiPort(std::string portName) : impl_(std::make_unique<Impl>()) {
    impl_->target = std::move(portName);
}

JackMidiPort::~JackMidiPort() {
    // What was just sent (Stop as the program ends) is written a period or so later: let it go
    // out before the client closes, but never wait long for a server that hangs.
    const std::int64_t giveUp = monotonicMicros() + kLongestFlushMicros;
    while (usable() && monotonicMicros() < giveUp &&
           (jack_ringbuffer_read_space(impl_->ring) > 0 || impl_->waiting.load() > 0))
        sleepUntilMonotonic(monotonicMicros() + 2000);
    impl_->close();
}

std::string JackMidiPort::name() const {
    return "JACK: " + impl_->target;
}

bool JackMidiPort::open() {
    if (usable())
        return true;
    impl_->close();
    jack_client_t* client = openJackClient(ownClientName().c_str());
    if (!client)
        return false;
    impl_->client = client;
    impl_->port =
        jack_port_register(client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    impl_->ring = jack_ringbuffer_create(kRingEntries * sizeof(Entry));
    if (!impl_->port || !impl_->ring) {
        impl_->close();
        return false;
    }
    jack_set_process_callback(
        client, [](jack_nframes_t n, void* arg) { return static_cast<Impl*>(arg)->process(n); },
        impl_.get());
    jack_on_shutdown(
        client, [](void* arg) { static_cast<Impl*>(arg)->gone = true; }, impl_.get());
    if (jack_activate(client) != 0) {
        impl_->close();
        return false;
    }
    const int connected = jack_connect(client, jack_port_name(impl_->port), impl_->target.c_str());
    if (connected != 0 && connected != EEXIST) {
        impl_->close();
        return false;
    }
    if (impl_->opened)
        ++impl_->reopenings;
    impl_->opened = true;
    return true;
}

int JackMidiPort::reopenings() const {
    return impl_->reopenings.load();
}

bool JackMidiPort::usable() const {
    return impl_->client && !impl_->gone.load();
}

bool JackMidiPort::send(MidiMessage message) {
    return sendAt(message, monotonicMicros());
}

bool JackMidiPort::sendAt(MidiMessage message, std::int64_t monoMicros) {
    if (!usable() || message.size() == 0)
        return false;
    return impl_->push({monoMicros, message.packed(), Kind::Message});
}

void JackMidiPort::reset() {
    if (!usable())
        return;
    impl_->push({0, 0, Kind::DropNotes});
    const std::int64_t now = monotonicMicros();
    for (int ch = 0; ch < 16; ++ch) {
        impl_->push({now, MidiMessage::controlChange(ch, kAllSoundOff, 0).packed(), Kind::AtOnce});
        impl_->push({now, MidiMessage::controlChange(ch, kAllNotesOff, 0).packed(), Kind::AtOnce});
    }
}

std::int64_t JackMidiPort::latencyMicros() const {
    return usable() ? impl_->latency.load(std::memory_order_relaxed) : 0;
}

void JackMidiPort::dropPending(int status) {
    if (usable())
        impl_->push({monotonicMicros(), MidiMessage(status).packed(), Kind::DropStatus});
}

double JackMidiPort::latencyMillis() const {
    return static_cast<double>(impl_->latency.load(std::memory_order_relaxed)) / 1000.0;
}

std::int64_t JackMidiPort::lateMessages() const {
    return impl_->late.load(std::memory_order_relaxed);
}

} // namespace fw
