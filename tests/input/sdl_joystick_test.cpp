// The SDL capture against SDL's own virtual joystick: no hardware, the real read path.
#include "input/joystick_poll.h"
#include "picks/pick_sets.h"
#include "platform/sdl/sdl_joystick.h"
#include "support/engine_rig.h"
#include "support/virtual_joystick.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::VirtualJoystick;

TEST(SdlJoystick, ReadsAxesButtonsAndHatAsHundredths) {
    VirtualJoystick pad;
    ASSERT_TRUE(pad.attached());
    SdlJoystick sdl;
    ASSERT_EQ(sdl.setCapture(), kJoyNoError);
    EXPECT_EQ(joystickCaptureMessage(kJoyNoError), "Joystick Enabled!");

    pad.setAxis(1, 0);
    pad.setAxis(4, 2560);
    pad.setAxis(6, 65535);
    pad.setButton(1, true);
    pad.setButton(32, true);
    JoyInfo info;
    ASSERT_EQ(sdl.getPosEx(info), kJoyNoError);
    EXPECT_EQ(info.x, 0u);
    EXPECT_EQ(info.y, kAxisCentre);
    EXPECT_EQ(info.r, 2560u);
    EXPECT_EQ(info.v, 65535u);
    EXPECT_EQ(info.buttons, 0x80000001u);
    EXPECT_EQ(info.buttonNumber, 2u);
    const std::pair<Uint8, std::uint32_t> hats[] = {{SDL_HAT_UP, 0},
                                                    {SDL_HAT_RIGHTUP, 4500},
                                                    {SDL_HAT_RIGHT, 9000},
                                                    {SDL_HAT_RIGHTDOWN, 13500},
                                                    {SDL_HAT_DOWN, 18000},
                                                    {SDL_HAT_LEFTDOWN, 22500},
                                                    {SDL_HAT_LEFT, 27000},
                                                    {SDL_HAT_LEFTUP, 31500},
                                                    {SDL_HAT_CENTERED, kHatCentred}};
    for (auto [hat, pov] : hats) {
        pad.setHat(hat);
        sdl.getPosEx(info);
        EXPECT_EQ(info.pov, pov) << int(hat);
    }

    // "ReInit Joystick" and a second capture let go of nothing that others hold.
    {
        SdlJoystick other;
        EXPECT_EQ(other.setCapture(), kJoyNoError);
        other.releaseCapture();
    }
    EXPECT_EQ(sdl.setCapture(), kJoyNoError);
    EXPECT_EQ(sdl.getPosEx(info), kJoyNoError);
    EXPECT_EQ(info.v, 65535u);
}

TEST(SdlJoystick, ControllersComeAndGoWhilePlaying) {
    VirtualJoystick pad(false);
    SdlJoystick sdl;
    EXPECT_EQ(sdl.setCapture(), kJoyUnplugged);
    EXPECT_EQ(joystickCaptureMessage(kJoyUnplugged), "JOYERR_UNPLUGGED\t");

    test::EngineRig rig;
    rig.engine.st.pickMemory[1][1] = interleaveChannels({"0"});
    JoystickPlay joy(rig.engine);
    applyBrambleFirstGuitar(joy.map); // strum on R, chord 1 on the hat's right
    JoyInfo info;
    int picks = 0;
    auto poll = [&] { picks += joy.readAndPoll(sdl, info).picked ? 1 : 0; };
    auto swing = [&](int out) {
        pad.setStep(4, out);
        poll();
        pad.setStep(4, 128);
        poll();
    };

    for (int round = 0; round < 2; ++round) {
        // Plugged in with play running: taken up at the next read, no capture needed.
        ASSERT_TRUE(pad.attach());
        picks = 0;
        pad.setHat(SDL_HAT_RIGHT);
        pad.setButton(11, true); // fret 2 in the preset
        swing(10);
        EXPECT_EQ(picks, 1) << round;
        EXPECT_EQ(rig.engine.ui.checkedFret, 2);
        EXPECT_EQ(rig.engine.st.velocity, 117);

        // Pulled out while a fret is held and the bar is out: the reading is at rest and the
        // swing it left does not strum.
        pad.setStep(4, 220);
        poll();
        pad.detach();
        poll();
        EXPECT_EQ(info.buttons, 0u);
        EXPECT_EQ(info.pov, kHatCentred);
        EXPECT_EQ(info.r, kAxisCentre);
        EXPECT_EQ(rig.engine.ui.checkedFret, 1);
        for (int i = 0; i < 3; ++i)
            poll();
        EXPECT_EQ(picks, 1);
    }
}

} // namespace
} // namespace fw
