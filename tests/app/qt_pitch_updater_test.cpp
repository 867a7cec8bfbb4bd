#include "logs/qt_play_logs_page.h"
#include "support/qt_harness.h"

#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

namespace fw {
namespace {

using test::MainWindowHarness;
using Bar = KeyboardPlayHost::Bar;

// What the pitch updater leaves behind: what went out, the play log, the beat and the displays.
auto outcome(MainWindowHarness& h) {
    std::vector<std::tuple<int, int, int>> sent;
    for (const auto& m : h.port->sent)
        sent.emplace_back(m.status, m.data1, m.data2);
    return std::tuple(sent, h.logLines(), h.form->Timer2->interval(), h.form->TempoModified->text(),
                      h.form->JoyStickYPos->text());
}

// Every change the pitch updater answers, made once in a window whose updater runs only on
// changes and once in a window whose updater is ticked after every step, as the 5 ms timer
// would tick it: the two send, log and show the same, and the first wakes only when it has work.
TEST(PitchUpdater, RunsOnChangesWithTheMessagesOfTheFiveMillisecondTimer) {
    MainWindowHarness timed, onChange;
    onChange.form->PitchUpdater->start();
    timed.form->PitchUpdaterTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !onChange.form->PitchUpdater->pending(); }));

    struct Step {
        const char* what;
        std::function<void(MainWindowHarness&)> act;
        bool work;
    };
    const std::vector<Step> steps = {
        {"the first beat opens the output", [](auto& h) { h.form->Timer2Timer(); }, true},
        {"the user moves P", [](auto& h) { h.form->TremTracker->setValue(140); }, true},
        {"the user chooses an instrument", [](auto& h) { h.form->ListBox1->setCurrentRow(40); },
         true},
        {"alternate 2", [](auto& h) { h.form->Button31Click(); }, true},
        {"instrument and bend in one handler, as a joystick poll sets them",
         [](auto& h) {
             h.form->engine().ui.tremPosition = 90;
             h.form->engine().ui.instrumentItem = 10;
             h.form->syncControls();
         },
         true},
        {"the keyboard window's P bar",
         [](auto& h) {
             h.links->moveMainBar(Bar::Bend, 200);
             h.links->syncControls();
         },
         true},
        {"another track alone sends nothing",
         [](auto& h) {
             h.form->engine().ui.track = 3;
             h.form->syncControls();
         },
         false},
        {"the user moves T", [](auto& h) { h.form->TempTracker->setValue(500); }, true},
        {"RESET and  RECORD", [](auto& h) { h.form->PlayLogs->Button81->click(); }, true},
        {"P moved while the output takes nothing",
         [](auto& h) {
             h.port->failSend = true;
             h.form->TremTracker->setValue(60);
         },
         true},
        {"the output is back: the monitor finds the bend unsent",
         [](auto& h) {
             h.port->failSend = false;
             h.form->Timer4Timer();
         },
         true},
        {"a beat with nothing changed", [](auto& h) { h.form->Timer2Timer(); }, false},
        {"the monitor with nothing changed", [](auto& h) { h.form->Timer4Timer(); }, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(timed);
        timed.form->PitchUpdaterTimer();
        step.act(onChange);
        EXPECT_EQ(onChange.form->PitchUpdater->pending(), step.work);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !onChange.form->PitchUpdater->pending(); }));
        EXPECT_EQ(outcome(onChange), outcome(timed));
    }
    // Not an empty comparison: since "RESET and  RECORD", the instrument and the bend on track
    // 4, then the bend that waited for the output.
    EXPECT_EQ(onChange.logLines(),
              (QStringList{"C0000000-0", "C40A0000-0", "E4406400-0", "E4401E00-0"}));
    EXPECT_EQ(onChange.form->TempoModified->text(), "501 BPM");
}

} // namespace
} // namespace fw
