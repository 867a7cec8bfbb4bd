#include "platform/alsa/rtmidi_port.h"

#include "engine/client_name.h"
#include "engine/clock.h"
#include "platform/alsa/alsa_quiet.h"
#include "platform/jack/jack_session.h"

#include <rtmidi/RtMidi.h>

#include <cstdarg>
#include <unistd.h>

namespace fw {

namespace {

void quietRtMidi(RtMidiError::Type, const std::string&, void*) {}

// A message due this close to now goes at once: the thread could not be woken any sooner.
constexpr std::int64_t kSendAtOnceMicros = 200;

template <typename Client> std::unique_ptr<Client> makeClient(MidiSystem system) {
    silenceAlsaErrors();
    if (system == MidiSystem::Jack && !jackServerMayRun())
        return nullptr;
    // Without the sequencer device RtMidi would only print its failure before throwing.
    if (system == MidiSystem::Alsa && access("/dev/snd/seq", R_OK | W_OK) != 0)
        return nullptr;
    try {
        auto api = system == MidiSystem::Jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
        // RtMidi's JACK clients only list the ports: beside the program's own they are a second
        // client of the session.
        auto client = std::make_unique<Client>(
            api, system == MidiSystem::Jack ? ownClientName("list") : ownClientName());
        client->setErrorCallback(quietRtMidi, nullptr);
        return client;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

} // namespace

std::unique_ptr<RtMidiIn> makeAlsaMidiIn() {
    return makeClient<RtMidiIn>(MidiSystem::Alsa);
}

RtMidiPort::RtMidiPort(MidiSystem system, std::string portName)
    : system_(system), portName_(std::move(portName)) {}

RtMidiPort::~RtMidiPort() = default;

std::string RtMidiPort::name() const {
    if (portName_.empty())
        return std::string(kVirtualPortName) + " (virtual output port)";
    return system_ == MidiSystem::Jack ? "JACK: " + portName_ : portName_;
}

bool RtMidiPort::open() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (out_ && out_->isPortOpen())
        return true;
    out_ = makeClient<RtMidiOut>(system_);
    if (!out_)
        return false;
    if (!openRtMidiPort(*out_, portName_, kVirtualPortName)) {
        out_.reset();
        return false;
    }
    return true;
}

bool openRtMidiPort(RtMidi& client, const std::string& portName, const std::string& ownName) {
    try {
        if (portName.empty()) {
            client.openVirtualPort(ownName);
        } else {
            const unsigned count = client.getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                if (client.getPortName(i) == portName) {
                    client.openPort(i, ownName);
                    break;
                }
            }
        }
    } catch (const RtMidiError&) {
        return false;
    }
    return client.isPortOpen();
}

bool RtMidiPort::usable() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return out_ && out_->isPortOpen();
}

bool RtMidiPort::send(MidiMessage message) {
    return sendNow(message.packed());
}

bool RtMidiPort::sendAt(MidiMessage message, std::int64_t monoMicros) {
    if (monoMicros <= monotonicMicros() + kSendAtOnceMicros)
        return sendNow(message.packed());
    if (!usable() || message.size() == 0)
        return false;
    later_.add(monoMicros, message.packed());
    return true;
}

bool RtMidiPort::sendNow(std::uint32_t packed) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!out_ || !out_->isPortOpen())
        return false;
    const MidiMessage msg = MidiMessage::fromPacked(packed);
    const int size = msg.size();
    if (size == 0)
        return false;
    const auto bytes = msg.wireBytes();
    try {
        out_->sendMessage(bytes.data(), static_cast<std::size_t>(size));
    } catch (const RtMidiError&) {
        return false;
    }
    return true;
}

void RtMidiPort::reset() {
    later_.dropIf([](std::uint32_t packed) {
        return MidiMessage::fromPacked(packed).kind() != MidiKind::System;
    });
    for (int ch = 0; ch < 16; ++ch) {
        if (!sendNow(MidiMessage::controlChange(ch, kAllSoundOff, 0).packed()) ||
            !sendNow(MidiMessage::controlChange(ch, kAllNotesOff, 0).packed()))
            return;
    }
}

void RtMidiPort::dropPending(int status) {
    later_.dropIf([status](std::uint32_t packed) {
        return MidiMessage::fromPacked(packed).status() == status;
    });
}

std::vector<SystemPortName> listSystemMidiPorts(bool withJack) {
    std::vector<SystemPortName> names;
    for (MidiSystem system : {MidiSystem::Alsa, MidiSystem::Jack}) {
        if (system == MidiSystem::Jack && !withJack)
            continue;
        auto client = makeClient<RtMidiOut>(system);
        if (!client)
            continue;
        try {
            const unsigned count = client->getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                std::string name = client->getPortName(i);
                if (!name.empty() && !isOwnMidiPort(name))
                    names.push_back({system, std::move(name)});
            }
        } catch (const RtMidiError&) {
        }
    }
    return names;
}

} // namespace fw
