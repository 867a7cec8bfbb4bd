#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class OfflineSynth;
class ReplacingFileWriter;

inline constexpr int kWavSampleRate = 44100;
// Sound that goes on after the last line: the last notes ring out and the reverb fades.
inline constexpr int kWavTailCentis = 200;

// A play log laid out on the sample clock of the rendering.
struct LogRender {
    struct Event {
        std::int64_t frame = 0;
        std::uint32_t packed = 0;
    };
    int sampleRate = kWavSampleRate;
    std::vector<Event> events; // in log order; frames never go down
    std::int64_t totalFrames = 0;
};

// Times the lines as a replay would: the rendering starts at the time of the first line, and a
// line whose time has already passed (out of order, or negative) sounds at once. Throws
// LogLineError for a line without a valid time or channel message, for an empty log, and for a
// log too long for a WAV file.
LogRender planLogRender(const std::vector<std::string_view>& lines,
                        int sampleRate = kWavSampleRate);

// The 44-byte header of a 16-bit stereo PCM WAV file holding `frames` sample frames.
std::string wavHeader(std::int64_t frames, int sampleRate);

enum class RenderOutcome { Done, Cancelled, Failed };

// What a rendering sounds like. A new choice for the player goes here, with a default that
// sounds as before.
struct WavRenderSettings {
    std::string soundFont = FW_DEFAULT_SOUNDFONT;
    int sampleRate = kWavSampleRate;
};

// Renders a plan made with settings.sampleRate into the WAV file at path, which is
// replaced only when the whole file was written. Cancelled or failed, the old file is untouched
// and no temporary file is left; failure then holds the user's message (empty when cancelled).
RenderOutcome renderLogToWavFile(const LogRender& plan, const WavRenderSettings& settings,
                                 const std::string& path,
                                 const std::function<bool(double)>& progress, std::string& failure);

// Plays the plan through the synthesizer into a WAV file. progress is told the fraction done
// from time to time and cancels the rendering by returning false. The writer is not committed.
RenderOutcome renderLogToWav(const LogRender& plan, OfflineSynth& synth, ReplacingFileWriter& out,
                             const std::function<bool(double)>& progress = {});

} // namespace fw
