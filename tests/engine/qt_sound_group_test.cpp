// The "Sound" group with the real built-in synthesizer (never opened: no sound is needed to load
// a SoundFont) and a real settings file, across a restart.
#include "engine/qt_sound_group.h"
#include "engine/sound_settings.h"
#include "files/settings.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "support/fakes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fw {
namespace {

struct SoundRig {
    explicit SoundRig(const std::string& settingsFile) : settings(settingsFile) {
        group = std::make_unique<SoundGroup>(
            settings, prompts,
            SoundGroup::Hooks{[this] { return &port; }, [this](int ms) { spread = ms; }});
    }
    // Clicks, then waits for the change to finish.
    void settle(const std::function<void()>& click) {
        QSignalSpy done(group.get(), &SoundGroup::soundFontSettled);
        click();
        ASSERT_TRUE(done.count() > 0 || done.wait(60000));
    }
    Settings settings;
    test::ScriptedPrompts prompts;
    FluidSynthPort port;
    int spread = -1;
    std::unique_ptr<SoundGroup> group;
};

TEST(SoundGroup, ChoosesRefusesRemembersAndGoesBackToTheDefaultSoundFont) {
    QTemporaryDir dir;
    const std::string conf = dir.filePath("Fretwright.conf").toStdString();
    // Another SoundFont: the default one under another name.
    const std::string guitar = dir.filePath("Guitar.sf2").toStdString();
    std::filesystem::create_symlink(std::filesystem::canonical(FW_DEFAULT_SOUNDFONT), guitar);
    const std::string text = dir.filePath("notes.sf2").toStdString();
    std::ofstream(text) << "not a SoundFont at all\n";
    const std::string missing = dir.filePath("gone.sf2").toStdString();
    {
        SoundRig rig(conf);
        EXPECT_EQ(rig.group->SoundFontName->text(), "default-GM.sf2");
        rig.prompts.answer(guitar);
        rig.settle([&] { rig.group->ChooseSoundFont->click(); });
        EXPECT_EQ(rig.group->SoundFontName->text(), "Guitar.sf2");
        EXPECT_EQ(rig.port.soundFont(), guitar);
        EXPECT_TRUE(rig.prompts.messages.empty());

        // Refused with a message naming the file; the chosen SoundFont stays.
        for (const auto& [file, says] :
             {std::pair{missing, "does not exist"}, std::pair{text, "is not a SoundFont"}}) {
            rig.prompts.answer(file);
            rig.settle([&] { rig.group->ChooseSoundFont->click(); });
            ASSERT_FALSE(rig.prompts.messages.empty());
            EXPECT_NE(rig.prompts.messages.back().find(file), std::string::npos);
            EXPECT_NE(rig.prompts.messages.back().find(says), std::string::npos);
            EXPECT_EQ(rig.group->SoundFontName->text(), "Guitar.sf2");
            EXPECT_EQ(rig.port.soundFont(), guitar);
        }
        rig.group->StrumSpread->setValue(20);
        EXPECT_EQ(rig.spread, 20);
        rig.group->SynthVolume->setValue(70);
    }
    {
        // The next start takes it all up again.
        SoundRig rig(conf);
        rig.settle([&] { rig.group->restore(); });
        EXPECT_EQ(rig.group->SoundFontName->text(), "Guitar.sf2");
        EXPECT_EQ(rig.port.soundFont(), guitar);
        EXPECT_EQ(rig.group->StrumSpread->value(), 20);
        EXPECT_EQ(rig.spread, 20);
        EXPECT_EQ(rig.group->SynthVolume->value(), 70);

        rig.settle([&] { rig.group->DefaultSoundFont->click(); });
        EXPECT_EQ(rig.group->SoundFontName->text(), "default-GM.sf2");
        EXPECT_EQ(rig.port.soundFont(), FW_DEFAULT_SOUNDFONT);
        EXPECT_FALSE(rig.settings.value(kSoundFontSetting));
        EXPECT_EQ(chosenSoundFont(Settings(conf)), FW_DEFAULT_SOUNDFONT);
    }
    {
        // A remembered SoundFont that has gone meanwhile is noted, not asked about.
        Settings(conf).setValue(kSoundFontSetting, missing);
        SoundRig rig(conf);
        rig.settle([&] { rig.group->restore(); });
        EXPECT_TRUE(rig.prompts.messages.empty());
        EXPECT_NE(rig.group->SoundNote->text().toStdString().find("does not exist"),
                  std::string::npos);
        EXPECT_EQ(rig.group->SoundFontName->text(), "default-GM.sf2");
    }
}

TEST(SoundGroup, ASoundFontCutShortOnDiskGivesWayToTheDefaultAndTheGroupSaysSo) {
    QTemporaryDir dir;
    const std::string conf = dir.filePath("Fretwright.conf").toStdString();
    const std::string copy = dir.filePath("Copy.sf2").toStdString();
    std::filesystem::copy_file(FW_DEFAULT_SOUNDFONT, copy);
    std::string inUse;
    SoundRig rig(conf);
    rig.group = std::make_unique<SoundGroup>(
        rig.settings, rig.prompts,
        SoundGroup::Hooks{[&] { return &rig.port; }, [](int) {},
                          [&](const std::string& path) { inUse = path; }});
    rig.prompts.answer(copy);
    rig.settle([&] { rig.group->ChooseSoundFont->click(); });
    ASSERT_EQ(rig.group->SoundFontName->text(), "Copy.sf2");
    std::filesystem::resize_file(copy, 1 << 20);
    rig.port.preload(40); // an instrument not loaded yet
    rig.port.waitUntilSettled();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.group->SoundNote->isHidden(); }, 10000));
    EXPECT_EQ(rig.group->SoundNote->text().toStdString(),
              "The SoundFont \"" + copy +
                  "\" has changed on disk and can no longer be read: the default SoundFont "
                  "plays instead.");
    EXPECT_EQ(rig.group->SoundFontName->text(), "default-GM.sf2");
    EXPECT_EQ(inUse, FW_DEFAULT_SOUNDFONT);
    EXPECT_EQ(rig.port.soundFont(), FW_DEFAULT_SOUNDFONT);
    // The choice stays for the next start, which says what it finds then.
    EXPECT_EQ(rig.settings.value(kSoundFontSetting), copy);
}

} // namespace
} // namespace fw
