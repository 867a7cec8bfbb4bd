#include "play/beat_sync.h"

#include "engine/clock.h"
#include "engine/midi_output.h"
#include "platform/jack/jack_transport.h"

#include <algorithm>
#include <cstdio>

namespace fw {

namespace {

constexpr const char* kSendClockSetting = "send-midi-clock";
constexpr const char* kFollowTransportSetting = "follow-jack-transport";
// No clock for this long and it says it is waiting for one.
constexpr std::int64_t kClockSilenceMicros = 1000000;

std::string bpmText(double bpm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f BPM", bpm);
    return text;
}

std::optional<std::string> flag(bool on) {
    return on ? std::optional<std::string>("1") : std::nullopt;
}

} // namespace

BeatSync::BeatSync(MidiOutput& output, BeatGrid& beats, Settings& settings,
                   std::unique_ptr<MidiInputs> inputs, std::unique_ptr<TransportPort> transport)
    : output_(output), beats_(beats), settings_(settings),
      inputs_(inputs ? std::move(inputs) : std::make_unique<MidiInputs>()),
      transport_(transport ? std::move(transport) : std::make_unique<JackTransportFollower>()),
      clockOut_(output) {}

BeatSync::~BeatSync() {
    if (input_)
        input_->close();
}

void BeatSync::tell() const {
    if (changed)
        changed();
}

void BeatSync::restoreSettings() {
    if (settings_.value(kSendClockSetting) == "1")
        setSending(true);
    if (settings_.value(kFollowTransportSetting) == "1")
        setFollowTransport(true);
    const std::optional<std::string> key = readInputChoice(settings_);
    if (!key)
        return;
    inputs_->rescan();
    const int row = inputs_->indexOfRemembered(*key);
    if (row < 0) {
        inputProblem_ = "The input chosen last time is not there.";
        missingInput_ = MidiInputs::displayName(*key);
        checkState();
        return;
    }
    openInput(row);
}

void BeatSync::shutDown() {
    clockOut_.setSending(false);
    if (input_)
        input_->close();
    transport_->close();
    down_ = true;
    tell();
}

// ---- sending --------------------------------------------------------------------------------

void BeatSync::setSending(bool on) {
    clockOut_.setSending(on);
    // The clocks of a beat under way keep its period, so a new tempo counts from the next one.
    beats_.setTempoFromNextBeat(on);
    settings_.setValue(kSendClockSetting, flag(on));
    tell();
}

void BeatSync::afterBeat(std::int64_t dueMicros) {
    std::int64_t period = beats_.periodMicros();
    if (const auto bpm = followMidiClock_ ? follower_.bpm() : std::nullopt)
        period = static_cast<std::int64_t>(60e6 / *bpm);
    else if (followingTransport_ && transportBpm_ > 0)
        period = static_cast<std::int64_t>(60e6 / transportBpm_);
    clockOut_.beat(dueMicros, period);
}

// ---- the input ------------------------------------------------------------------------------

void BeatSync::rescanInputs() {
    inputs_->rescan();
    tell();
}

std::vector<std::string> BeatSync::inputList() const {
    std::vector<std::string> names = inputs_->names();
    // A port in use that went away stays chosen until another is.
    if (inputs_->indexOfRemembered(inputKey_) < 0 && inputKey_ != MidiInputs::kNone)
        names.push_back(MidiInputs::displayName(inputKey_));
    return names;
}

int BeatSync::inputRow() const {
    const int row = inputs_->indexOfRemembered(inputKey_);
    if (row < 0 && inputKey_ != MidiInputs::kNone)
        return inputs_->count();
    return std::max(row, 0);
}

void BeatSync::chooseInput(int row) {
    if (row < 0 || row >= inputs_->count() || inputs_->key(row) == inputKey_)
        return;
    openInput(row);
    if (auto error = writeInputChoice(settings_, inputKey_)) {
        inputProblem_ = *error;
        checkState();
    }
}

void BeatSync::openInput(int row) {
    if (input_)
        input_->close();
    heard_.clear();
    input_ = inputs_->make(row);
    inputKey_ = inputs_->key(row);
    inputProblem_.clear();
    follower_ = MidiClockFollower{};
    // Only what the follower reads crosses: clock, Start, Continue and Stop.
    const auto handler = [this](const std::uint8_t* bytes, std::size_t size, std::int64_t at) {
        bool queued = false;
        for (std::size_t i = 0; i < size; ++i)
            if (bytes[i] == kMidiClock || bytes[i] == kMidiStart || bytes[i] == kMidiContinue ||
                bytes[i] == kMidiStop)
                queued = heard_.push({bytes[i], at}) || queued;
        if (queued && inputWaiting)
            inputWaiting();
    };
    if (input_ && !input_->open(handler)) {
        input_.reset();
        inputProblem_ = "This input cannot be opened.";
    }
    checkState();
}

void BeatSync::takeInput() {
    Heard h;
    while (heard_.pop(h)) {
        if (!followMidiClock_)
            continue;
        switch (follower_.feed(h.byte, h.stamp)) {
        case MidiClockFollower::Event::Beat:
            beatDue(h.stamp);
            break;
        case MidiClockFollower::Event::Stop:
            stop();
            break;
        case MidiClockFollower::Event::None:
            break;
        }
    }
}

// ---- following ------------------------------------------------------------------------------

void BeatSync::setFollowMidiClock(bool on) {
    // One source at a time: the other is left first, as if turned off by hand.
    if (on && followTransport_)
        setFollowTransport(false);
    followMidiClock_ = on;
    follower_ = MidiClockFollower{};
    updateTransport();
}

void BeatSync::setFollowTransport(bool on) {
    if (on && followMidiClock_)
        setFollowMidiClock(false);
    followTransport_ = on;
    settings_.setValue(kFollowTransportSetting, flag(on));
    updateTransport();
}

void BeatSync::updateTransport() {
    if (followTransport_ && !transport_->alive()) {
        // A server started, or one that went away came back.
        takeOwnTempo();
        transport_->close();
        transport_->open();
    } else if (!followTransport_ && transport_->isOpen()) {
        transport_->close();
    }
    followingTransport_ = followTransport_ && transport_->alive();
    if (!followingTransport_)
        transportBpm_ = 0;
    const bool now = followingAny();
    if (now != announcedFollowing_) {
        announcedFollowing_ = now;
        beats_.setFollowing(now);
        if (followingChanged)
            followingChanged(now);
    }
    tell();
}

void BeatSync::takeOwnTempo() {
    // Without a timebase master the transport is followed at the program's own tempo.
    transport_->setOwnBpm(60000.0 / beats_.interval());
}

void BeatSync::pollTransport() {
    takeOwnTempo();
    TransportPort::Event e;
    while (transport_->next(e)) {
        if (e.kind == TransportPort::Event::Kind::Stopped) {
            stop();
        } else if (e.kind == TransportPort::Event::Kind::Withdrawn) {
            beats_.cancelBeat();
        } else {
            transportBpm_ = e.bpm;
            // Sent early by the output's latency, so that the notes sound on the transport's beat.
            const MidiPort* port = output_.port();
            beatDue(e.monoMicros - (port ? port->latencyMicros() : 0));
        }
    }
}

void BeatSync::beatDue(std::int64_t stamp) {
    beats_.beatAt(stamp);
    if (beatTaken)
        beatTaken();
}

void BeatSync::stop() {
    beats_.cancelBeat();
    if (stopped)
        stopped();
}

void BeatSync::checkState() {
    if (followTransport_ && !transport_->alive())
        updateTransport();
    else
        tell();
}

std::optional<std::string> BeatSync::followedTempoText() const {
    if (followingTransport_) {
        // Without a timebase master the "T" bar's tempo, which the box shows anyway.
        const double bpm = transport_->masterBpm();
        return bpm > 0 ? std::optional(bpmText(bpm)) : std::nullopt;
    }
    if (!followMidiClock_)
        return std::nullopt;
    const auto bpm = follower_.bpm();
    return bpm ? bpmText(*bpm) : "- BPM";
}

std::string BeatSync::stateText() const {
    if (followTransport_) {
        const double bpm = transport_->masterBpm();
        if (!followingTransport_)
            return "No JACK server runs.";
        if (!transport_->rolling())
            return "JACK transport stopped.";
        if (bpm > 0)
            return "Following JACK transport at " + bpmText(bpm) + ".";
        return "Following JACK transport (no timebase master).";
    }
    if (!inputProblem_.empty() || !followMidiClock_)
        return inputProblem_;
    const auto last = follower_.lastClock();
    const auto bpm = follower_.bpm();
    if (inputKey_ == MidiInputs::kNone)
        return "Choose the MIDI input to follow.";
    if (!last || output_.clock().stampMicros() - *last > kClockSilenceMicros || !bpm)
        return "Waiting for MIDI clock...";
    if (!follower_.armed())
        return "Clock at " + bpmText(*bpm) + "; waiting for Start.";
    return "Following at " + bpmText(*bpm) + ".";
}

} // namespace fw
