#include "platform/jack/jack_transport.h"

#include "engine/client_name.h"
#include "engine/realtime_scope.h"
#include "platform/jack/jack_session.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <jack/transport.h>

#include <atomic>
#include <cmath>

namespace fw {

namespace {
constexpr std::size_t kRingEvents = 256;
// How long a start is held back: the window's time to take the first beat and send it ahead
// by the output's latency.
constexpr std::int64_t kStartLeadMicros = 60000;
} // namespace

struct JackTransportFollower::Impl {
    jack_client_t* client = nullptr;
    jack_ringbuffer_t* ring = nullptr;
    std::atomic<bool> gone{false};
    std::atomic<bool> rolling{false};
    std::atomic<double> ownBpm{120.0};
    std::atomic<double> masterBpm{0.0};
    // The process thread's own.
    bool wasRolling = false;
    std::int64_t lastBeatTold = INT64_MIN;
    bool anchored = false;
    double anchorBeats = 0;
    double anchorFrame = 0;
    double anchorBpm = 0;
    jack_nframes_t lastTransportFrame = 0; // the transport's frame, and JACK's, last period
    jack_nframes_t lastFrameTime = 0;
    JackFrameClock frameClock;
    // The period the clock placed last: the sync callback and process() share one a period.
    jack_nframes_t cycleFrame = 0;
    bool haveCycle = false;
    JackCycle lastCycle;
    int startWaits = -1;      // periods the start is still held back
    std::int64_t startAt = 0; // when the held-back start will roll

    void push(const Event& e) {
        if (jack_ringbuffer_write_space(ring) >= sizeof(Event))
            jack_ringbuffer_write(ring, reinterpret_cast<const char*>(&e), sizeof(Event));
    }

    // Where this period lies, counted once a period by whichever callback comes first.
    bool cycle(JackCycle& out) {
        const jack_nframes_t frame = jack_last_frame_time(client);
        if (!haveCycle || frame != cycleFrame) {
            haveCycle = frameClock.cycle(client, lastCycle);
            cycleFrame = frame;
            if (!haveCycle)
                return false;
        }
        out = lastCycle;
        return true;
    }

    // On JACK's process thread: no locks, no allocation.
    double beatsAt(jack_nframes_t frame, double rate) const {
        return anchorBeats + (static_cast<double>(frame) - anchorFrame) * anchorBpm / (60.0 * rate);
    }

    // The beats of the master's bars, beats and ticks, at a frame `offset` before the period.
    static double masterBeats(const jack_position_t& pos, double bpm, double rate) {
        double beats = (pos.bar - 1) * static_cast<double>(pos.beats_per_bar) + (pos.beat - 1) +
                       pos.tick / pos.ticks_per_beat;
        if (pos.valid & JackBBTFrameOffset)
            beats += pos.bbt_offset * bpm / (60.0 * rate);
        return beats;
    }

    // On JACK's process thread, before process(), while the transport is about to roll: the
    // client holds the start back a few periods, so that the first beat can be told as early as
    // every later one and sound on the start's very frame.
    int sync(jack_transport_state_t state, jack_position_t* pos) {
        if (state != JackTransportStarting) {
            startWaits = -1;
            return 1;
        }
        const RealtimeScope realtime(RealtimeWork::JackTransport);
        JackCycle cycle;
        if (!this->cycle(cycle))
            return 1;
        if (wasRolling) {
            // Moved while rolling: what was told is void.
            push({Event::Kind::Stopped, cycle.start, 0, false});
            wasRolling = false;
            rolling.store(false, std::memory_order_relaxed);
        }
        const std::int64_t period = cycle.end - cycle.start;
        if (startWaits < 0) {
            startWaits =
                static_cast<int>(std::ceil(static_cast<double>(kStartLeadMicros) /
                                           static_cast<double>(std::max<std::int64_t>(period, 1))));
            // Rolling begins with the period after the one that says ready.
            startAt = cycle.start + (startWaits + 1) * period;
            const bool master = (pos->valid & JackPositionBBT) && pos->beats_per_minute > 0 &&
                                pos->ticks_per_beat > 0 && pos->beats_per_bar > 0;
            const double rate = pos->frame_rate ? pos->frame_rate : jack_get_sample_rate(client);
            const double bpm =
                master ? pos->beats_per_minute : ownBpm.load(std::memory_order_relaxed);
            if (bpm > 0 && rate > 0) {
                const double beats =
                    master ? masterBeats(*pos, bpm, rate) : pos->frame * bpm / (60.0 * rate);
                const double nextBeat = std::ceil(beats - 1e-9);
                const double microsAway = (nextBeat - beats) * 60e6 / bpm;
                if (microsAway < kLookaheadMicros) {
                    lastBeatTold = static_cast<std::int64_t>(nextBeat);
                    push({Event::Kind::Beat, startAt + std::llround(microsAway), bpm, master});
                } else {
                    lastBeatTold = INT64_MIN;
                }
            }
        }
        if (startWaits == 0)
            return 1;
        --startWaits;
        return 0;
    }

    int process(jack_nframes_t frames) {
        const RealtimeScope realtime(RealtimeWork::JackTransport);
        jack_position_t pos{};
        const jack_transport_state_t state = jack_transport_query(client, &pos);
        const bool master = (pos.valid & JackPositionBBT) && pos.beats_per_minute > 0 &&
                            pos.ticks_per_beat > 0 && pos.beats_per_bar > 0;
        masterBpm.store(master ? pos.beats_per_minute : 0.0, std::memory_order_relaxed);
        JackCycle cycle;
        if (!this->cycle(cycle))
            return 0;
        if (state == JackTransportStarting)
            return 0; // the sync callback looks after the start
        if (state != JackTransportRolling) {
            startAt = 0;
            rolling.store(false, std::memory_order_relaxed);
            if (wasRolling)
                push({Event::Kind::Stopped, cycle.start, 0, master});
            wasRolling = false;
            lastBeatTold = INT64_MIN;
            anchored = false;
            return 0;
        }
        rolling.store(true, std::memory_order_relaxed);
        if (!wasRolling && startAt != 0) {
            // Another client kept the transport waiting longer than foreseen: the first beat was
            // told too early and is told again now, late.
            if (std::llabs(cycle.start - startAt) > (cycle.end - cycle.start) / 2) {
                push({Event::Kind::Withdrawn, cycle.start, 0, master});
                lastBeatTold = INT64_MIN;
            }
        }
        startAt = 0;
        wasRolling = true;
        const double rate = pos.frame_rate ? pos.frame_rate : jack_get_sample_rate(client);
        const double bpm = master ? pos.beats_per_minute : ownBpm.load(std::memory_order_relaxed);
        if (!(bpm > 0) || !(rate > 0))
            return 0;
        // Beats from the transport's start at the first frame of this period. The master's bars,
        // beats and ticks are taken where the count starts, the tempo changes or the transport
        // moves; between those the beats are counted on the frames, so that a master whose whole
        // ticks lose a fraction every period does not drag the beat behind the frame clock.
        // A period the backend skipped moves both frames alike: only a relocation moves the
        // transport's alone.
        const jack_nframes_t frameTime = jack_last_frame_time(client);
        const bool moved = anchored && pos.frame - lastTransportFrame != frameTime - lastFrameTime;
        if (moved)
            lastBeatTold = INT64_MIN; // a relocation: the beats start again from where it went
        if (master && (moved || bpm != anchorBpm || !anchored)) {
            anchorBeats = masterBeats(pos, bpm, rate);
            anchorFrame = pos.frame;
        } else if (!master && (moved || bpm != anchorBpm || !anchored)) {
            // The own tempo changed: the count goes on from where it is.
            anchorBeats =
                anchored && !moved ? beatsAt(pos.frame, rate) : pos.frame * bpm / (60.0 * rate);
            anchorFrame = pos.frame;
        }
        anchored = true;
        anchorBpm = bpm;
        lastTransportFrame = pos.frame;
        lastFrameTime = frameTime;
        const double beats = beatsAt(pos.frame, rate);
        const double nextBeat = std::ceil(beats - 1e-9);
        const auto index = static_cast<std::int64_t>(nextBeat);
        const double microsAway = (nextBeat - beats) * 60e6 / bpm;
        // Told early enough for the window to send it ahead by an output latency of a period.
        const double lookahead = kLookaheadMicros + 2e6 * frames / rate;
        if (index == lastBeatTold || microsAway >= lookahead)
            return 0;
        lastBeatTold = index;
        push({Event::Kind::Beat, cycle.start + std::llround(microsAway), bpm, master});
        return 0;
    }

    void close() {
        if (client)
            closeJackClient(client);
        if (ring)
            jack_ringbuffer_free(ring);
        ring = nullptr;
        gone = false;
        rolling = false;
        masterBpm = 0;
        wasRolling = false;
        lastBeatTold = INT64_MIN;
        anchored = false;
        startWaits = -1;
        startAt = 0;
        frameClock = {};
        haveCycle = false;
    }
};

JackTransportFollower::JackTransportFollower() : impl_(std::make_unique<Impl>()) {}

JackTransportFollower::~JackTransportFollower() {
    impl_->close();
}

bool JackTransportFollower::open() {
    Impl& im = *impl_;
    im.close();
    if (!jackServerMayRun())
        return false;
    im.ring = jack_ringbuffer_create(kRingEvents * sizeof(Event));
    im.client = openJackClient(ownClientName("transport").c_str());
    if (!im.client || !im.ring) {
        im.close();
        return false;
    }
    jack_set_process_callback(
        im.client, [](jack_nframes_t n, void* arg) { return static_cast<Impl*>(arg)->process(n); },
        &im);
    jack_on_shutdown(
        im.client, [](void* arg) { static_cast<Impl*>(arg)->gone = true; }, &im);
    jack_set_sync_callback(
        im.client,
        [](jack_transport_state_t state, jack_position_t* pos, void* arg) {
            return static_cast<Impl*>(arg)->sync(state, pos);
        },
        &im);
    if (jack_activate(im.client) != 0) {
        im.close();
        return false;
    }
    return true;
}

void JackTransportFollower::close() {
    impl_->close();
}

bool JackTransportFollower::isOpen() const {
    return impl_->client != nullptr;
}

bool JackTransportFollower::alive() const {
    return impl_->client && !impl_->gone.load();
}

bool JackTransportFollower::rolling() const {
    return alive() && impl_->rolling.load(std::memory_order_relaxed);
}

void JackTransportFollower::setOwnBpm(double bpm) {
    impl_->ownBpm.store(bpm, std::memory_order_relaxed);
}

double JackTransportFollower::masterBpm() const {
    return alive() ? impl_->masterBpm.load(std::memory_order_relaxed) : 0.0;
}

bool JackTransportFollower::next(Event& event) {
    jack_ringbuffer_t* ring = impl_->ring;
    if (!ring || jack_ringbuffer_read_space(ring) < sizeof(Event))
        return false;
    jack_ringbuffer_read(ring, reinterpret_cast<char*>(&event), sizeof(Event));
    return true;
}

} // namespace fw
