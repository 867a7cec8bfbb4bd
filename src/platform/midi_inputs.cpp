#include "platform/midi_inputs.h"

#include "engine/clock.h"
#include "engine/output_choice.h"
#include "platform/alsa/rtmidi_port.h"
#include "platform/jack/jack_midi_input.h"
#include "platform/midi_outputs.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>

namespace fw {

namespace {

constexpr const char* kInputSetting = "midi-input";
constexpr std::size_t kLongestKey = 512;

std::vector<std::string> namesOf(RtMidiIn* in) {
    std::vector<std::string> names;
    try {
        const unsigned count = in->getPortCount();
        for (unsigned i = 0; i < count; ++i)
            if (std::string name = in->getPortName(i); !name.empty() && !isOwnMidiPort(name))
                names.push_back(std::move(name));
    } catch (const RtMidiError&) {
    }
    return names;
}

// An ALSA sequencer port found by name, or the virtual input port others connect to.
class AlsaMidiInput final : public MidiInputPort {
public:
    explicit AlsaMidiInput(std::string portName) : portName_(std::move(portName)) {}
    ~AlsaMidiInput() override { close(); }

    bool open(Handler handler) override {
        close();
        handler_ = std::move(handler);
        in_ = makeAlsaMidiIn();
        if (!in_)
            return false;
        try {
            // System exclusive and active sensing stay out; clock is what we are here for.
            in_->ignoreTypes(true, false, true);
            in_->setCallback(&AlsaMidiInput::heard, this);
        } catch (const RtMidiError&) {
            in_.reset();
            return false;
        }
        if (!openRtMidiPort(*in_, portName_, kVirtualInputName)) {
            in_.reset();
            return false;
        }
        return true;
    }

    void close() override { in_.reset(); }

private:
    static void heard(double, std::vector<unsigned char>* message, void* self) {
        const std::int64_t now = monotonicMicros();
        if (message && !message->empty())
            static_cast<AlsaMidiInput*>(self)->handler_(message->data(), message->size(), now);
    }

    std::string portName_;
    Handler handler_;
    std::unique_ptr<RtMidiIn> in_;
};

} // namespace

MidiInputs::MidiInputs()
    : MidiInputs(
          [] {
              std::vector<std::string> keys;
              if (auto alsa = makeAlsaMidiIn())
                  for (auto& name : namesOf(alsa.get()))
                      keys.push_back(kAlsaPortKey + name);
              for (auto& name : jackMidiSources())
                  keys.push_back(kJackPortKey + name);
              return keys;
          },
          [](const std::string& key) -> std::unique_ptr<MidiInputPort> {
              if (key == kVirtualPortKey)
                  return std::make_unique<AlsaMidiInput>("");
              if (isPortKeyOf(key, kJackPortKey))
                  return std::make_unique<JackMidiInput>(portNameOfKey(key));
              if (isPortKeyOf(key, kAlsaPortKey))
                  return std::make_unique<AlsaMidiInput>(portNameOfKey(key));
              return nullptr;
          }) {}

MidiInputs::MidiInputs(PortLister lister, PortFactory factory)
    : lister_(std::move(lister)), factory_(std::move(factory)) {
    keys_ = {kNone, kVirtualPortKey};
}

void MidiInputs::rescan() {
    keys_.assign(1, kNone);
    for (auto& k : lister_())
        keys_.push_back(std::move(k));
    keys_.emplace_back(kVirtualPortKey);
}

std::vector<std::string> MidiInputs::names() const {
    std::vector<std::string> out;
    for (const auto& k : keys_)
        out.push_back(displayName(k));
    return out;
}

std::string MidiInputs::displayName(const std::string& key) {
    if (key == kNone)
        return "None";
    if (key == kVirtualPortKey)
        return std::string(kVirtualInputName) + " (virtual input port)";
    return MidiOutputs::displayName(key);
}

int MidiInputs::indexOfRemembered(const std::string& key) const {
    auto it = std::find(keys_.begin(), keys_.end(), key);
    if (it == keys_.end()) {
        const std::string name = withoutPortNumbers(key);
        it = std::find_if(keys_.begin(), keys_.end(),
                          [&](const std::string& k) { return withoutPortNumbers(k) == name; });
    }
    return it == keys_.end() ? -1 : static_cast<int>(it - keys_.begin());
}

std::unique_ptr<MidiInputPort> MidiInputs::make(int index) const {
    if (index <= 0 || index >= count())
        return nullptr;
    return factory_(key(index));
}

std::optional<std::string> readInputChoice(const Settings& settings) {
    std::optional<std::string> key = settings.value(kInputSetting);
    if (!key || key->empty() || key->size() > kLongestKey || *key == MidiInputs::kNone)
        return std::nullopt;
    return key;
}

std::optional<std::string> writeInputChoice(Settings& settings, const std::string& key) {
    return settings.setValue(kInputSetting, key);
}

} // namespace fw
