#include "play/guitar.h"

#include "engine/output_choice.h"
#include "platform/midi_outputs.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fw {
namespace {

// The guitar on recording ports: output 0 and the system ports the test says are there.
struct GuitarRig {
    test::ManualClock clock{500 * 10000};
    test::ScriptedPrompts prompts;
    std::vector<std::string> present;
    std::map<std::string, test::RecordingMidiPort*> ports;
    MidiOutputs outputs{"builtin:", [this] { return present; },
                        [this](const std::string& key) {
                            auto p = std::make_unique<test::RecordingMidiPort>(&clock, key);
                            p->open();
                            ports[key] = p.get();
                            return p;
                        }};
    Guitar guitar{clock, prompts, outputs};
    int announced = 0;

    explicit GuitarRig(std::vector<std::string> ports) : present(std::move(ports)) {
        guitar.announceBeatInstrument = [this] { ++announced; };
    }
    // The program change and bend the output heard, as (status, data 1) pairs.
    std::vector<std::pair<int, int>> stateHeardBy(const std::string& key) const {
        std::vector<std::pair<int, int>> heard;
        for (const auto& m : ports.at(key)->sent)
            heard.emplace_back(m.status, m.data1);
        return heard;
    }
};

const std::vector<std::pair<int, int>> kState = {{0xC1, 25}, {0xE1, 0}};

TEST(GuitarOutput, AChoiceIsKeptByNameAndAnOutputThatGoesFallsBackToTheBuiltInOne) {
    GuitarRig rig({"alsa:Synth A 128:0", "alsa:Synth B 129:0"});
    EXPECT_EQ(rig.guitar.rescanOutputs(), 0);
    EXPECT_FALSE(rig.guitar.chooseOutput(0)) << "the output in use already";

    ASSERT_TRUE(rig.guitar.chooseOutput(2));
    EXPECT_EQ(rig.guitar.output().port(), rig.ports.at("alsa:Synth B 129:0"));
    EXPECT_EQ(readOutputChoice(rig.guitar.settings()), "alsa:Synth B 129:0");
    EXPECT_EQ(rig.stateHeardBy("alsa:Synth B 129:0"), kState) << "a new output hears the state";
    EXPECT_EQ(rig.announced, 1);

    const struct {
        const char* name;
        std::vector<std::string> present;
        int row;
        const char* port;
        int announced;
    } rescans[] = {
        {"another port comes: the choice stays",
         {"alsa:Synth A 128:0", "alsa:New 130:0", "alsa:Synth B 129:0"},
         3,
         "alsa:Synth B 129:0",
         1},
        {"the chosen one goes: the built-in one stands in",
         {"alsa:Synth A 128:0"},
         0,
         "builtin:",
         2},
        {"it comes back: the stand-in stays", {"alsa:Synth B 129:0"}, 0, "builtin:", 2},
    };
    for (const auto& r : rescans) {
        SCOPED_TRACE(r.name);
        rig.present = r.present;
        EXPECT_EQ(rig.guitar.rescanOutputs(), r.row);
        EXPECT_EQ(rig.guitar.outputRow(), r.row);
        EXPECT_EQ(rig.guitar.output().port(), rig.ports.at(r.port));
        EXPECT_EQ(rig.announced, r.announced);
    }
    EXPECT_EQ(rig.stateHeardBy("builtin:"), kState);
    // What was chosen is still what the next start looks for.
    EXPECT_EQ(readOutputChoice(rig.guitar.settings()), "alsa:Synth B 129:0");
}

TEST(GuitarOutput, TheOutputChosenLastTimeIsTakenUpByNameOrSaidToBeGone) {
    const struct {
        const char* name;
        std::vector<std::string> present;
        std::optional<std::string> gone;
        const char* port;
    } cases[] = {
        {"there, with other port numbers", {"alsa:Synth 131:0"}, std::nullopt, "alsa:Synth 131:0"},
        {"not there", {"alsa:Other 128:0"}, "Synth 128:0", "builtin:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GuitarRig rig(c.present);
        Settings kept;
        writeOutputChoice(kept, "alsa:Synth 128:0");
        kept.setValue("pick-start", "at once");
        EXPECT_EQ(rig.guitar.restoreSettings(std::move(kept)), c.gone);
        EXPECT_EQ(rig.guitar.output().port(), rig.ports.at(c.port));
        EXPECT_TRUE(rig.guitar.engine().ui.pickAtOnce);
        EXPECT_TRUE(rig.ports.at(c.port)->sent.empty()) << "taken up before anything plays";
    }
}

} // namespace
} // namespace fw
