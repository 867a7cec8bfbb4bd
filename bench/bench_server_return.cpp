// How long the built-in synthesizer stays silent after its server comes back: a sound server
// (or, with --jack, a JACK server) of the bench's own is killed and started again, and the time
// from the moment it answers to the moment the synthesizer's stream plays again is measured, with
// the stream's latency added to give the time to sound. Also how long a death takes to notice.
// With --memory it says instead what moving the sound to JACK audio costs in resident memory.
//   build/bin/bench_server_return [--jack] [--memory] [rounds]
#include "engine/clock.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "support/sound_servers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace fw;

namespace {

double millisSince(std::int64_t start) {
    return static_cast<double>(monotonicMicros() - start) / 1000.0;
}

void summary(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-34s min %7.1f  median %7.1f  max %7.1f ms (%zu rounds)\n", what, v.front(),
                v[v.size() / 2], v.back(), v.size());
}

long residentKb() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = 0;
    while (f && std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    if (f)
        std::fclose(f);
    return kb;
}

int memory() {
    FluidSynthPort port;
    if (!port.openAndWait())
        return 1;
    const auto play = [&] {
        port.send(MidiMessage::programChange(1, 25));
        port.send(MidiMessage::noteOn(1, 52, 100));
        port.waitUntilSettled();
        std::this_thread::sleep_for(std::chrono::seconds(1));
    };
    play();
    const long sound = residentKb();
    port.setAudioSystem(FluidSynthPort::AudioSystem::Jack);
    port.waitUntilSettled();
    play();
    const long jack = residentKb();
    std::printf("Resident memory: %ld MB through the sound server, %ld MB through JACK audio "
                "(%s)\n",
                sound / 1024, jack / 1024, port.driverName().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool jack = false;
    bool memoryOnly = false;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--jack") == 0)
            jack = true;
        else if (std::strcmp(argv[i], "--memory") == 0)
            memoryOnly = true;
        else
            rounds = std::max(1, std::atoi(argv[i]));
    }
    test::OwnSoundServer sound;
    test::OwnJackServer jackServer;
    if (!sound.start() || ((jack || memoryOnly) && !jackServer.start())) {
        std::fprintf(stderr, "the bench's own server did not start\n");
        return 1;
    }
    if (memoryOnly)
        return memory();
    FluidSynthPort port;
    if (jack)
        port.setAudioSystem(FluidSynthPort::AudioSystem::Jack);
    if (!port.openAndWait()) {
        std::fprintf(stderr, "the synthesizer did not open\n");
        return 1;
    }
    const std::string wanted = jack ? "jack" : "pulseaudio";
    port.send(MidiMessage::programChange(1, 25));
    std::vector<double> noticed, back, heard;
    for (int r = 0; r < rounds; ++r) {
        const std::int64_t killed = monotonicMicros();
        if (jack)
            jackServer.stop();
        else
            sound.stop();
        if (!test::waitUntil([&] { return port.driverName() != wanted; })) {
            std::fprintf(stderr, "the death was not noticed\n");
            return 1;
        }
        noticed.push_back(millisSince(killed));
        // Away for a while, as a restarted server is.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500 + 137 * r));
        if (!(jack ? jackServer.start() : sound.start()))
            return 1;
        const std::int64_t answered = monotonicMicros();
        if (!test::waitUntil([&] { return port.driverName() == wanted; })) {
            std::fprintf(stderr, "the sound did not come back\n");
            return 1;
        }
        back.push_back(millisSince(answered));
        heard.push_back(back.back() + port.latencyMillis());
    }
    std::printf("%s server killed and started again:\n", jack ? "JACK" : "Sound");
    summary("death noticed after", noticed);
    summary("playing again after it answers", back);
    summary("sound again after it answers", heard);
    return 0;
}
