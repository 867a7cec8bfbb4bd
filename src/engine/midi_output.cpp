#include "engine/midi_output.h"

#include "engine/prompts.h"
#include "engine/z2uvir.h"

#include <algorithm>

namespace fw {

namespace {
// Below this much remaining time a wait stops handing control to the window system and sleeps
// to its deadline instead; event processing can overrun by about a millisecond.
constexpr std::int64_t kSleepMarginMicros = 2500;
constexpr int kLongestPumpMillis = 20;
} // namespace

MidiOutput::MidiOutput(Clock& clock, LogSink& playLog, Prompts& prompts)
    : clock_(clock), playLog_(playLog), prompts_(prompts) {}

void MidiOutput::setPort(MidiPort* port) {
    if (port == midiOut_)
        return;
    if (midiOut_ && midiOut_->usable())
        midiOut_->reset();
    midiOut_ = port;
}

bool MidiOutput::waitUntil(int target, EventPump& pump, const std::function<bool()>& cancelled) {
    return waitUntilMicros(static_cast<std::int64_t>(target) * 10000, pump, cancelled);
}

bool MidiOutput::waitUntilMicros(std::int64_t targetMicros, EventPump& pump,
                                 const std::function<bool()>& cancelled) {
    for (;;) {
        if (cancelled && cancelled())
            return false;
        const std::int64_t remaining = targetMicros - clock_.micros();
        if (remaining <= 0)
            return true;
        if (remaining > kSleepMarginMicros) {
            const auto ms = static_cast<int>(std::min<std::int64_t>(
                (remaining - kSleepMarginMicros) / 1000, kLongestPumpMillis));
            pump.processEventsFor(std::max(ms, 1));
        } else {
            clock_.sleepUntil(targetMicros);
        }
    }
}

void MidiOutput::ensureOpenSilent() {
    // The probe is a check of the output, not a message on the wire: a DAW listening on a
    // system port would otherwise record it on every tick.
    setMessage(0x90, 0, 0);
    if (midiOut_ && !midiOut_->usable())
        midiOut_->open();
}

void MidiOutput::ensureOpenReporting() {
    if (midiOut_ && midiOut_->usable())
        return;
    if (!midiOut_ || (!midiOut_->open() && !midiOut_->opening()))
        prompts_.showMessage(kMidiOpenError);
}

bool MidiOutput::probeOnly() {
    setMessage(0x90, 0, 0);
    return midiOut_ && midiOut_->usable();
}

bool MidiOutput::send() {
    return midiOut_ && midiOut_->sendAt(midiMsg, sendStamp());
}

bool MidiOutput::sendAndLog(int status, int data1, int data2) {
    if (!isValidChannelMessage(status, data1, data2))
        return false;
    setMessage(status, data1, data2);
    send();
    playLog_.appendLine(formatZ2uvirLine(status, data1, data2, logTime(sendStamp())));
    return true;
}

int MidiOutput::logTime(std::int64_t stamp) const {
    const std::int64_t now = clock_.micros();
    const std::int64_t ahead = std::max<std::int64_t>(stamp - (now - clock_.stampOffset()), 0);
    return static_cast<int>((now + ahead) / 10000) - logStartTime;
}

bool MidiOutput::sendAndLogAt(int status, int data1, int data2, std::int64_t dueMicros) {
    if (!isValidChannelMessage(status, data1, data2))
        return false;
    const HeldStamp stamp(*this, dueMicros);
    setMessage(status, data1, data2);
    send();
    playLog_.appendLine(formatZ2uvirLine(status, data1, data2, logTime(dueMicros)));
    return true;
}

void MidiOutput::reset() {
    if (midiOut_)
        midiOut_->reset();
}

} // namespace fw
