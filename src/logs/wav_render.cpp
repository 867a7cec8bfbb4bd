#include "logs/wav_render.h"

#include "engine/midi_port.h"
#include "engine/z2uvir.h"
#include "logs/log_files.h"
#include "logs/log_lines.h"
#include "platform/fluidsynth/fluid_synth_port.h"

#include <algorithm>
#include <bit>

namespace fw {

namespace {
constexpr int kChunkFrames = 4096;
constexpr std::uint64_t kLargestWavData = 0xFFFFFFFFull - 36;

void putLe16(std::string& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void putLe32(std::string& out, std::uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}
} // namespace

LogRender planLogRender(const std::vector<std::string_view>& lines, int sampleRate) {
    if (lines.empty())
        throw LogLineError(0, "The play log is empty: there is nothing to render.");
    LogRender plan;
    plan.sampleRate = sampleRate;
    plan.events.reserve(lines.size());
    std::int64_t origin = 0;
    std::int64_t now = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int index = static_cast<int>(i);
        const std::string_view line = lines[i];
        const std::int64_t t = logLineTime(line, index);
        const auto msg = channelMessageOf(line);
        if (!msg)
            throw LogLineError(index, invalidMessageText(line, index));
        if (i == 0)
            origin = t;
        now = std::max(now, (t - origin) * sampleRate / 100);
        plan.events.push_back({now, msg->packed()});
    }
    plan.totalFrames = now + static_cast<std::int64_t>(kWavTailCentis) * sampleRate / 100;
    if (static_cast<std::uint64_t>(plan.totalFrames) * 4 > kLargestWavData)
        throw LogLineError(static_cast<int>(lines.size()) - 1,
                           "The play log lasts too long for a WAV file (more than 6 hours).");
    return plan;
}

std::string wavHeader(std::int64_t frames, int sampleRate) {
    const auto dataBytes = static_cast<std::uint32_t>(frames * 4);
    std::string h;
    h.reserve(44);
    h += "RIFF";
    putLe32(h, 36 + dataBytes);
    h += "WAVEfmt ";
    putLe32(h, 16);                                         // fmt chunk size
    putLe16(h, 1);                                          // PCM
    putLe16(h, 2);                                          // channels
    putLe32(h, static_cast<std::uint32_t>(sampleRate));     // sample rate
    putLe32(h, static_cast<std::uint32_t>(sampleRate) * 4); // byte rate
    putLe16(h, 4);                                          // block align
    putLe16(h, 16);                                         // bits per sample
    h += "data";
    putLe32(h, dataBytes);
    return h;
}

RenderOutcome renderLogToWav(const LogRender& plan, OfflineSynth& synth, ReplacingFileWriter& out,
                             const std::function<bool(double)>& progress) {
    if (!out.write(wavHeader(plan.totalFrames, plan.sampleRate)))
        return RenderOutcome::Failed;
    std::vector<std::int16_t> samples;
    samples.reserve(kChunkFrames * 2);
    std::int64_t done = 0;
    std::size_t next = 0;
    const double total = static_cast<double>(std::max<std::int64_t>(plan.totalFrames, 1));
    while (done < plan.totalFrames) {
        while (next < plan.events.size() && plan.events[next].frame <= done)
            synth.send(MidiMessage::fromPacked(plan.events[next++].packed));
        std::int64_t until = plan.totalFrames;
        if (next < plan.events.size())
            until = plan.events[next].frame;
        const auto frames = static_cast<int>(std::min<std::int64_t>(until - done, kChunkFrames));
        samples.clear();
        synth.render(frames, samples);
        if constexpr (std::endian::native == std::endian::big) {
            for (auto& s : samples)
                s = static_cast<std::int16_t>(((s & 0xFF) << 8) | ((s >> 8) & 0xFF));
        }
        if (!out.write(std::string_view(reinterpret_cast<const char*>(samples.data()),
                                        samples.size() * sizeof(std::int16_t))))
            return RenderOutcome::Failed;
        done += frames;
        if (progress && !progress(static_cast<double>(done) / total))
            return RenderOutcome::Cancelled;
    }
    return RenderOutcome::Done;
}

RenderOutcome renderLogToWavFile(const LogRender& plan, const WavRenderSettings& settings,
                                 const std::string& path,
                                 const std::function<bool(double)>& progress,
                                 std::string& failure) {
    OfflineSynth synth(plan.sampleRate, settings.soundFont);
    if (!synth.loaded()) {
        failure = "Cannot load the SoundFont " + settings.soundFont;
        return RenderOutcome::Failed;
    }
    ReplacingFileWriter writer(path);
    if (!writer.ok()) {
        failure = writer.error();
        return RenderOutcome::Failed;
    }
    const RenderOutcome outcome = renderLogToWav(plan, synth, writer, progress);
    if (outcome == RenderOutcome::Done && !writer.commit()) {
        failure = writer.error();
        return RenderOutcome::Failed;
    }
    if (outcome == RenderOutcome::Failed)
        failure = writer.error();
    return outcome;
}

} // namespace fw
