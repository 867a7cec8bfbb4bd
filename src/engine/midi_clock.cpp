#include "engine/midi_clock.h"

#include "engine/clock.h"

namespace fw {

namespace {
// A pause longer than this between clocks starts the tempo measurement afresh: the source
// stopped and started again.
constexpr std::int64_t kLongestClockGapMicros = 2000000;
constexpr int kRing = kClocksPerBeat + 1;
// The shortest beat the sequencer plays (1000 BPM). Shorter ones are the first beats at start-up,
// 1 ms apart until the tempo bar is read: clocks for them would tell followers a wild tempo.
constexpr std::int64_t kShortestBeatMicros = 60000;
} // namespace

void MidiClockOut::setSending(bool on) {
    if (on == sending_)
        return;
    sending_ = on;
    if (on)
        startOn(out_.port(), out_.clock().stampMicros());
    else
        stopStarted();
}

void MidiClockOut::startOn(MidiPort* port, std::int64_t at) {
    if (port && port->usable() && port->sendAt(MidiMessage::systemRealtime(kMidiStart), at))
        started_ = port;
}

void MidiClockOut::stopStarted() {
    if (started_ && started_->usable()) {
        // Clocks still due would otherwise follow the Stop.
        started_->dropPending(kMidiClock);
        started_->sendAt(MidiMessage::systemRealtime(kMidiStop), out_.clock().stampMicros());
    }
    started_ = nullptr;
}

void MidiClockOut::outputChanged() {
    if (!sending_ || out_.port() == started_)
        return;
    stopStarted();
    startOn(out_.port(), out_.clock().stampMicros());
}

void MidiClockOut::beat(std::int64_t beatMicros, std::int64_t periodMicros) {
    if (!sending_ || periodMicros < kShortestBeatMicros)
        return;
    // An output that was not open when sending began, or that closed, hears Start first.
    if (started_ != out_.port() || (started_ && !started_->usable())) {
        stopStarted();
        startOn(out_.port(), beatMicros);
    }
    if (!started_)
        return;
    for (int i = 0; i < kClocksPerBeat; ++i)
        started_->sendAt(MidiMessage::systemRealtime(kMidiClock),
                         beatMicros + periodMicros * i / kClocksPerBeat);
}

MidiClockFollower::Event MidiClockFollower::feed(int byte, std::int64_t monoMicros) {
    switch (byte) {
    case kMidiStart:
    case kMidiContinue:
        armed_ = true;
        count_ = 0;
        return Event::None;
    case kMidiStop:
        armed_ = false;
        return Event::Stop;
    case kMidiClock: {
        if (const auto last = lastClock(); last && monoMicros - *last > kLongestClockGapMicros)
            heard_ = 0;
        times_[static_cast<std::size_t>(next_)] = monoMicros;
        next_ = (next_ + 1) % kRing;
        heard_ = std::min(heard_ + 1, kRing);
        if (!armed_)
            return Event::None;
        return count_++ % kClocksPerBeat == 0 ? Event::Beat : Event::None;
    }
    default:
        return Event::None;
    }
}

std::optional<std::int64_t> MidiClockFollower::lastClock() const {
    if (heard_ == 0)
        return std::nullopt;
    return times_[static_cast<std::size_t>((next_ + kRing - 1) % kRing)];
}

std::optional<double> MidiClockFollower::bpm() const {
    if (heard_ < 2)
        return std::nullopt;
    const std::int64_t last = *lastClock();
    const std::int64_t first = times_[static_cast<std::size_t>((next_ + kRing - heard_) % kRing)];
    if (last <= first)
        return std::nullopt;
    const double clockMicros = static_cast<double>(last - first) / (heard_ - 1);
    return 60e6 / (clockMicros * kClocksPerBeat);
}

} // namespace fw
