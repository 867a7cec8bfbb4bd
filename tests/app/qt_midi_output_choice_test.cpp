// The MIDI output choice on the "Config" tab: kept for the next run, and a new output hears the
// instruments and bend in play at once.
#include "app/qt_main_window.h"
#include "engine/qt_sound_group.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace fw {
namespace {

struct ProgramRun {
    test::ManualClock clock{123 * 10000, test::ManualClock::Stamps::System};
    test::ScriptedPrompts prompts;
    test::FakeJoystick joystick;
    SeededRandom random{1};
    std::map<std::string, test::RecordingMidiPort*> ports;
    std::vector<std::string> present;
    MidiOutputs outputs;
    Guitar guitar{clock, prompts, outputs};
    TForm1 form;

    ProgramRun(std::vector<std::string> presentPorts, const std::string& settings)
        : present(std::move(presentPorts)),
          outputs(
              "builtin:", [this] { return present; },
              [this](const std::string& key) {
                  auto p = std::make_unique<test::RecordingMidiPort>(&clock, key);
                  ports[key] = p.get();
                  return p;
              }),
          form(guitar, Services{joystick, random}) {
        form.Timer2->stop();
        form.PitchUpdater->stop();
        form.restoreSettings(settings);
    }
};

TEST(MidiOutputChoice, IsKeptByNameAndANewOutputHearsTheStateInPlay) {
    const std::string settings = std::filesystem::temp_directory_path() /
                                 ("fw-output-" + std::to_string(getpid())) / "Fretwright.conf";
    {
        ProgramRun run({"alsa:Synth A 128:0", "alsa:Synth B 129:0"}, settings);
        EXPECT_EQ(run.form.MidiOutputList->currentRow(), 0);
        run.form.Timer2Timer(); // the built-in output opens and hears the first tick
        run.form.PitchUpdaterTimer();
        run.form.MidiOutputList->setCurrentRow(2); // the user picks Synth B
        const auto& sent = run.ports.at("alsa:Synth B 129:0")->sent;
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ((std::vector<int>{sent[0].status, sent[0].data1}), (std::vector<int>{0xC0, 0}));
        EXPECT_EQ((std::vector<int>{sent[1].status, sent[1].data1}), (std::vector<int>{0xC1, 25}));
        EXPECT_EQ((std::vector<int>{sent[2].status, sent[2].data1, sent[2].data2}),
                  (std::vector<int>{0xE1, 0, 0x40}));
        const QStringList log = run.form.R2IMemo->toPlainText().split('\n');
        ASSERT_GE(log.size(), 3);
        EXPECT_TRUE(log[log.size() - 3].startsWith("C0000000-"));
        EXPECT_TRUE(log[log.size() - 1].startsWith("E1004000-"));
        // Choosing it again sends nothing more.
        run.form.MidiOutputList->setCurrentRow(2);
        EXPECT_EQ(sent.size(), 3u);
    }
    {
        // Next run: Synth B came back under other numbers; it is the output again.
        ProgramRun run({"alsa:Synth B 131:0"}, settings);
        EXPECT_EQ(run.form.MidiOutputList->currentRow(), 1);
        EXPECT_EQ(run.form.output().port(), run.ports.at("alsa:Synth B 131:0"));
        EXPECT_TRUE(run.form.MidiOutputNote->text().isEmpty());
    }
    {
        // Gone while running: "Rescan" falls back to the built-in output, which hears the state.
        ProgramRun run({"alsa:Synth B 131:0"}, settings);
        run.present.clear();
        run.form.MidiRescanButton->click();
        EXPECT_EQ(run.form.MidiOutputList->currentRow(), 0);
        const auto& sent = run.ports.at("builtin:")->sent;
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[1].status, 0xC1);
    }
    {
        // Gone at the start: the built-in synthesizer, and the tab says why.
        ProgramRun run({}, settings);
        EXPECT_EQ(run.form.MidiOutputList->currentRow(), 0);
        EXPECT_EQ(run.form.MidiOutputNote->text(),
                  "The MIDI output chosen last time, \"Synth B 129:0\", is not there now: "
                  "playing through the built-in synthesizer.");
    }
    std::filesystem::remove_all(std::filesystem::path(settings).parent_path());
}

TEST(MidiOutputChoice, SettingsThatCannotBeWrittenAreSaidOnceOnTheConfigTab) {
    // A home where the settings' folder cannot be made: a file stands in its place.
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("fw-home-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    { std::ofstream(home / "config") << "x"; }
    const std::string settings = (home / "config" / "Fretwright.conf").string();
    // The first start already writes the settings: the tab says so at once, with the cause.
    ProgramRun run({"alsa:Synth A 128:0"}, settings);
    const QString said = run.form.SettingsNote->text();
    EXPECT_TRUE(said.startsWith(QString::fromStdString(
        "Cannot create folder " + (home / "config").string() + ": Not a directory\n")))
        << said.toStdString();
    EXPECT_FALSE(run.form.SettingsNote->isHidden());
    // Said once: more choices that cannot be kept add nothing, and nothing pops up.
    run.form.SettingsNote->clear();
    run.prompts.messages.clear();
    run.form.MidiOutputList->setCurrentRow(1);
    run.form.Sound->SynthVolume->setValue(50);
    EXPECT_TRUE(run.form.SettingsNote->text().isEmpty());
    EXPECT_TRUE(run.form.MidiOutputNote->text().isEmpty());
    EXPECT_TRUE(run.prompts.messages.empty());
    std::filesystem::remove_all(home);
}

} // namespace
} // namespace fw
