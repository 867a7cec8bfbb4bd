#include "engine/output_choice.h"
#include "files/line_file.h"
#include "platform/midi_outputs.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fw {
namespace {

TEST(OutputChoice, ReadsTheKeyBackAndTakesADamagedFileForNone) {
    const std::string dir =
        std::filesystem::temp_directory_path() / ("fw-choice-" + std::to_string(getpid()));
    const std::string path = dir + "/config/Fretwright.conf";
    EXPECT_FALSE(readOutputChoice(path));                        // no file yet
    ASSERT_FALSE(writeOutputChoice(path, "alsa:Synth B 129:0")); // creates the folder
    EXPECT_EQ(readOutputChoice(path), "alsa:Synth B 129:0");

    const struct {
        std::string bytes;
        std::optional<std::string> key;
    } cases[] = {
        {"other=1\nmidi-output=jack:Y\n", "jack:Y"},
        {"", std::nullopt},
        {"midi-output=\r\n", std::nullopt},
        {"midi-output=a\x01z\r\n", std::nullopt},
        {std::string("midi-output=alsa:X\r\n\0\0", 22), std::nullopt},
        {"midi-output=" + std::string(5000, 'x') + "\r\n", std::nullopt},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(writeFileReplacing(path, c.bytes));
        EXPECT_EQ(readOutputChoice(path), c.key) << c.bytes.substr(0, 30);
    }

    // The output shares its file with the other settings: a write keeps them, and a value that
    // could not be read back is refused.
    ASSERT_FALSE(writeFileReplacing(path, "sound=a.sf2\r\nbroken line\r\nmidi-output=x\r\n"));
    ASSERT_FALSE(writeOutputChoice(path, "jack:Z"));
    Settings kept(path);
    EXPECT_EQ(kept.value("sound"), "a.sf2");
    EXPECT_EQ(kept.value("midi-output"), "jack:Z");
    EXPECT_TRUE(kept.setValue("sound", std::string("a\nb")));
    EXPECT_EQ(Settings(path).value("sound"), "a.sf2");
    std::filesystem::remove_all(dir);
}

TEST(OutputChoice, ARememberedPortIsFoundByItsNameWhenItsNumbersChanged) {
    std::vector<std::string> present = {"alsa:Synth A 128:0", "alsa:Synth B 130:0"};
    MidiOutputs outputs(
        "builtin:", [&] { return present; },
        [](const std::string& key) {
            return std::make_unique<test::RecordingMidiPort>(nullptr, key);
        });
    outputs.rescan();
    EXPECT_EQ(outputs.indexOfRemembered("alsa:Synth B 130:0"), 2);
    EXPECT_EQ(outputs.indexOfRemembered("alsa:Synth B 129:0"), 2);
    EXPECT_EQ(outputs.indexOfRemembered("alsa:Synth C 129:0"), -1);
    EXPECT_EQ(outputs.indexOfRemembered("builtin:"), 0);
}

} // namespace
} // namespace fw
