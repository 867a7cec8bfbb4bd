#include "play/guitar.h"

#include "engine/clock.h"
#include "engine/output_choice.h"
#include "input/keyboard_play.h"
#include "platform/midi_outputs.h"

#include <algorithm>

namespace fw {

namespace {
constexpr const char* kPickStartKey = "pick-start"; // "at once", or absent
constexpr const char* kPickStartAtOnce = "at once";

// A strum's later plucks are handed over this much before they are due: they carry their exact
// time, so an output that keeps time by stamps sounds them on time even when the timer is late.
constexpr std::int64_t kStrumEarlyMicros = 1500;
} // namespace

Guitar::Guitar(Clock& clock, Prompts& prompts, MidiOutputs& outputs)
    : clock_(clock), prompts_(prompts), outputs_(outputs), output_(clock, playLog_, prompts),
      engine_(output_), beats_(clock) {
    engine_.beatGrid = [this] { return beatSpan(); };
    beats_.onBeat = [this] { beat(); };
    sync_.stopped = [this] { engine_.silence(); };
}

std::optional<std::string> Guitar::restoreSettings(Settings settings) {
    settings_ = std::move(settings);
    engine_.ui.pickAtOnce = settings_.value(kPickStartKey) == kPickStartAtOnce;
    const std::optional<std::string> key = readOutputChoice(settings_);
    if (!key)
        return std::nullopt;
    // Only a JACK port chosen last time needs JACK's ports before the window is up.
    outputs_.rescanQuickly();
    if (!outputs_.complete() && isPortKeyOf(*key, kJackPortKey))
        outputs_.rescan();
    const int row = outputs_.indexOfRemembered(*key);
    applyOutput(std::max(row, 0));
    if (row < 0)
        return MidiOutputs::displayName(*key);
    return std::nullopt;
}

// ---- play -----------------------------------------------------------------------------------

void Guitar::pick(int k) {
    {
        const LogSink::Batch lines(playLog_);
        engine_.pickAction(k);
    }
    if (strumChanged)
        strumChanged();
}

void Guitar::keyboardKey(int key) {
    {
        const LogSink::Batch lines(playLog_);
        keyboardPlayKey(engine_, key);
    }
    if (strumChanged)
        strumChanged();
}

JoystickPlay::PollResult Guitar::pollJoystick(Joystick& joystick, JoyInfo& info) {
    JoystickPlay::PollResult r;
    {
        const LogSink::Batch lines(playLog_);
        r = joystickPlay_.readAndPoll(joystick, info);
    }
    if (r.picked && strumChanged)
        strumChanged();
    return r;
}

void Guitar::setPickAtOnce(bool atOnce) {
    engine_.ui.pickAtOnce = atOnce;
    // A settings file that cannot be written is said once, as for every choice.
    settings_.setValue(kPickStartKey,
                       atOnce ? std::optional<std::string>(kPickStartAtOnce) : std::nullopt);
}

void Guitar::beat() {
    const std::int64_t due = beats_.beatUnderWay().value_or(clock_.stampMicros());
    {
        const LogSink::Batch lines(playLog_);
        const MidiOutput::HeldStamp beatTime(output_, due);
        engine_.sequencerTick();
    }
    if (strumChanged)
        strumChanged();
    // The beat's notes first, then its clocks.
    sync_.afterBeat(due);
    if (afterBeat)
        afterBeat(due);
}

std::optional<std::int64_t> Guitar::strumWakeDue() const {
    const std::optional<std::int64_t> due = engine_.nextPluckDue();
    if (!due)
        return std::nullopt;
    return *due - kStrumEarlyMicros;
}

void Guitar::releasePlucks() {
    engine_.releasePlucks(clock_.stampMicros() + kStrumEarlyMicros);
    if (strumChanged)
        strumChanged();
}

std::optional<Engine::BeatGrid> Guitar::beatSpan() const {
    if (!beats_.isEnabled())
        return std::nullopt;
    Engine::BeatGrid grid{beats_.lastBeatDue(), beats_.nextDeadline()};
    // Following another clock, the next beat is known only once it is asked for.
    if (grid.nextDue <= grid.lastDue)
        grid.nextDue = grid.lastDue + beats_.periodMicros();
    return grid;
}

// ---- the MIDI output ------------------------------------------------------------------------

int Guitar::rescanOutputs(bool withJack) {
    if (withJack)
        outputs_.rescan();
    else
        outputs_.rescanQuickly();
    int row = chosenOutputKey_.empty() ? 0 : outputs_.indexOfKey(chosenOutputKey_);
    const bool gone = row < 0;
    if (gone)
        row = 0;
    applyOutput(row);
    // The chosen output went away and the built-in synthesizer stands in for it.
    if (gone)
        sendStateToNewOutput();
    return row;
}

bool Guitar::chooseOutput(int row) {
    if (row < 0 || row >= outputs_.count() || outputs_.key(row) == chosenOutputKey_)
        return false;
    applyOutput(row);
    // A choice that cannot be kept is said once, for every setting alike.
    writeOutputChoice(settings_, chosenOutputKey_);
    sendStateToNewOutput();
    return true;
}

int Guitar::outputRow() const {
    return std::max(outputs_.indexOfKey(chosenOutputKey_), 0);
}

void Guitar::sendStateToNewOutput() {
    // The new output starts from nothing: it hears the beat channel's and the guitar's
    // instruments and the bend at once, logged as every message is.
    tellBeatInstrument();
    engine_.st.sentInstrument = -1;
    engine_.st.sentBend = -1;
    engine_.pitchUpdaterTick();
}

void Guitar::newTake() {
    output_.logStartTime = output_.clockReading();
    playLog_.newTake();
    engine_.st.sentInstrument = -1;
    engine_.st.sentBend = -1;
    if (resendAsked)
        resendAsked();
}

void Guitar::tellBeatInstrument() {
    if (announceBeatInstrument)
        announceBeatInstrument();
}

void Guitar::checkOutput() {
    if (MidiPort* port = output_.port()) {
        const int reopenings = port->reopenings();
        if (port == seenPort_ && reopenings != seenReopenings_)
            sendStateToNewOutput();
        seenPort_ = port;
        seenReopenings_ = reopenings;
    }
    // The instruments a button press switches to are loaded before they are chosen.
    const ControlState& ui = engine_.ui;
    const std::array<int, 4> wanted = {ui.instrumentItem, ui.alternateItem1, ui.alternateItem2,
                                       ui.alternateItem3};
    if (wanted == preloaded_)
        return;
    outputs_.preload({wanted.begin(), wanted.end()});
    preloaded_ = wanted;
}

void Guitar::applyOutput(int row) {
    if (row < 0 || row >= outputs_.count())
        return;
    chosenOutputKey_ = outputs_.key(row);
    output_.setPort(outputs_.port(row));
    sync_.outputChanged();
    if (outputChanged)
        outputChanged();
}

} // namespace fw
