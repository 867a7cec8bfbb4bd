#include "logs/log_files.h"
#include "logs/log_lines.h"
#include "logs/wav_render.h"
#include "platform/fluidsynth/fluid_synth_port.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace fw {
namespace {

namespace fs = std::filesystem;

std::uint32_t le32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

TEST(WavRender, PlanStartsAtTheFirstLineAndPlaysLateLinesAtOnce) {
    const LogRender plan = planLogRender(
        {"C0000000-500", "91405A00-600", "91470000-550", "91480000--3", "91400000-700"});
    ASSERT_EQ(plan.events.size(), 5u);
    const std::int64_t frames[] = {0, 44100, 44100, 44100, 88200};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(plan.events[i].frame, frames[i]) << i;
    EXPECT_EQ(plan.events[1].packed, 0x5A4091u);
    EXPECT_EQ(plan.totalFrames, 88200 + 2 * 44100);

    const auto errorOf = [](std::vector<std::string_view> lines) -> std::string {
        try {
            planLogRender(lines);
        } catch (const LogLineError& e) {
            return e.what();
        }
        return "planned";
    };
    EXPECT_EQ(errorOf({}), "The play log is empty: there is nothing to render.");
    EXPECT_EQ(errorOf({"91405A00-x"}), "'x' is not a valid integer value");
    EXPECT_EQ(errorOf({"91405A00-1", "F7000000-2"}),
              "Line 2 \"F7000000-2\" is not a valid MIDI channel message.");
    EXPECT_EQ(errorOf({"91405A00-0", "91400000-2000000000"}),
              "The play log lasts too long for a WAV file (more than 6 hours).");
}

TEST(WavRender, TheFileHasTheLogsLengthAndSoundWhereNotesPlay) {
    OfflineSynth synth;
    if (!synth.loaded())
        GTEST_SKIP() << "no General MIDI SoundFont";
    // One second of silence, then a chord for half a second.
    const LogRender plan =
        planLogRender({"C1190000-0", "91405A00-100", "91445A00-100", "91475A00-100", "91400000-150",
                       "91440000-150", "91470000-150"});
    const std::string path =
        (fs::temp_directory_path() / ("fw_render_" + std::to_string(getpid()) + ".wav")).string();
    {
        ReplacingFileWriter writer(path);
        ASSERT_TRUE(writer.ok());
        double lastProgress = 0;
        ASSERT_EQ(renderLogToWav(plan, synth, writer,
                                 [&](double f) {
                                     EXPECT_GE(f, lastProgress);
                                     lastProgress = f;
                                     return true;
                                 }),
                  RenderOutcome::Done);
        EXPECT_DOUBLE_EQ(lastProgress, 1.0);
        ASSERT_TRUE(writer.commit());
    }
    std::string error;
    const std::string wav = readWholeFile(path, error).value_or("");
    fs::remove(path);
    const std::size_t frames = (150 + 200) * 441;
    ASSERT_EQ(wav.size(), 44 + frames * 4);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(wav, 24), 44100u);
    EXPECT_EQ(le32(wav, 28), 44100u * 4);
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(le32(wav, 40), frames * 4);

    const auto rms = [&](double fromSeconds, double toSeconds) {
        double sum = 0;
        const auto a = static_cast<std::size_t>(fromSeconds * 44100) * 2;
        const auto b = static_cast<std::size_t>(toSeconds * 44100) * 2;
        for (std::size_t i = a; i < b; ++i) {
            std::int16_t s = 0;
            std::memcpy(&s, wav.data() + 44 + i * 2, 2);
            sum += static_cast<double>(s) * s;
        }
        return std::sqrt(sum / static_cast<double>(b - a));
    };
    EXPECT_LT(rms(0.0, 0.99), 1.0);
    EXPECT_GT(rms(1.0, 1.5), 300.0);
    // The same bytes as before the live synthesizer learned to load samples on demand: offline
    // rendering still loads the whole SoundFont (FNV-1a of the file, Debian's FluidR3 GM).
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : wav)
        hash = (hash ^ c) * 0x100000001b3ull;
    if (fs::canonical(FW_DEFAULT_SOUNDFONT).filename() == "FluidR3_GM.sf2") {
        EXPECT_EQ(hash, 0x1fcd7a2000fcd377ull);
    }

    // A cancelled rendering stops at once.
    ReplacingFileWriter cancelled(path);
    int calls = 0;
    EXPECT_EQ(renderLogToWav(plan, synth, cancelled, [&](double) { return ++calls < 2; }),
              RenderOutcome::Cancelled);
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace fw
