#include "platform/jack/jack_session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr std::uint32_t kFrames = 1024;
constexpr double kPeriod = kFrames * 1e6 / kRate; // 21333.3 us

using Cycles = std::vector<fw::JackCycle>;

// Periods as a backend reports them: the true start of period n is n periods after `origin`
// (times `rateRatio`, for a sample clock a little off the system's), reported `late(n)` later.
template <typename Late>
Cycles periods(fw::JackFrameClock& clock, int count, Late late, double rateRatio = 1.0,
               std::uint32_t firstFrame = 5000, std::int64_t origin = 1'000'000) {
    Cycles run;
    for (int n = 0; n < count; ++n) {
        const double truth = static_cast<double>(origin) + n * kPeriod * rateRatio;
        fw::JackCycle c;
        clock.advance(firstFrame + static_cast<std::uint32_t>(n) * kFrames, kFrames,
                      static_cast<std::int64_t>(truth + late(n)), kRate, c);
        run.push_back(c);
    }
    return run;
}

TEST(JackFrameClock, ReportsThatJumpMoveNoPeriod) {
    // The dummy backend's timer wakes up to 9 ms late now and then, and now and then a period
    // goes by without the client: the reports jump, the periods the clock gives stay where the
    // frames put them, end to end.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> ms(0, 9);
    std::bernoulli_distribution jumps(0.2);
    std::bernoulli_distribution skips(0.02);
    fw::JackFrameClock clock;
    std::uint32_t frame = 5000;
    fw::JackCycle last;
    double worst = 0;
    for (int n = 0; n < 3000; ++n) {
        const std::uint32_t missed = skips(random) ? kFrames : 0;
        frame += missed;
        const double truth = 1e6 + (frame - 5000) * 1e6 / kRate;
        fw::JackCycle c;
        clock.advance(frame, kFrames,
                      static_cast<std::int64_t>(truth + (jumps(random) ? ms(random) * 1000 : 0)),
                      kRate, c);
        if (n > 0) {
            if (missed == 0) {
                EXPECT_EQ(c.start, last.end);
            }
            worst =
                std::max(worst, std::abs((c.start - last.start) - kPeriod - missed * 1e6 / kRate));
        }
        last = c;
        frame += kFrames;
    }
    EXPECT_LT(worst, 250.0);
}

TEST(JackFrameClock, TakesUpALastingDifferenceAndStartsAgainAfterALeap) {
    fw::JackFrameClock clock;
    // A sample clock 0.1 % fast against the system's, and every report 4 ms late from the
    // 100th period on: after a few seconds the periods lie where the reports say.
    Cycles run = periods(
        clock, 1000, [](int n) { return n >= 100 ? 4000.0 : 0.0; }, 0.999);
    const double lastTruth = 1'000'000 + 999 * kPeriod * 0.999 + 4000;
    EXPECT_NEAR(static_cast<double>(run.back().start), lastTruth, 100.0);
    EXPECT_NEAR(static_cast<double>(run.back().end - run.back().start), kPeriod * 0.999, 5.0);

    // A new buffer size keeps the grid; a frame counter that leaps or goes back, and a report
    // that far off, are taken as they come.
    const std::uint32_t next = 5000 + 1000 * kFrames;
    fw::JackCycle c;
    clock.advance(next, 512, static_cast<std::int64_t>(lastTruth + kPeriod * 0.999), kRate, c);
    EXPECT_EQ(c.start, run.back().end);
    EXPECT_NEAR(static_cast<double>(c.end - c.start), kPeriod * 0.999 / 2, 5.0);
    clock.advance(next + 10 * kRate, kFrames, 50'000'000, kRate, c);
    EXPECT_EQ(c.start, 50'000'000);
    clock.advance(next, kFrames, 50'030'000, kRate, c);
    EXPECT_EQ(c.start, 50'030'000);
    clock.advance(next + kFrames, kFrames, 90'000'000, kRate, c);
    EXPECT_EQ(c.start, 90'000'000);
}

} // namespace

namespace {

// A UNIX socket bound at path, as a JACK server's.
int listenAt(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    listen(fd, 1);
    return fd;
}

} // namespace

TEST(JackServer, IsAskedOnlyWhileOneListensNotForWhatAStoppedOneLeftBehind) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("fw-jack-shm-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "jack_db-0");
    std::ofstream(dir / "jack-shm-registry") << "left";
    std::ofstream(dir / "jack-0-0") << "left";
    EXPECT_FALSE(fw::jackServerMayRun(dir.c_str()));
    const int fd = listenAt((dir / "jack_default_0_0").string());
    EXPECT_TRUE(fw::jackServerMayRun(dir.c_str()));
    close(fd); // a killed server's socket file stays
    EXPECT_FALSE(fw::jackServerMayRun(dir.c_str()));
    EXPECT_TRUE(fw::jackServerMayRun(dir.c_str(), (dir / "missing").c_str()));
    // A server starting again binds a new file (the old one is kept aside here so that its
    // inode number cannot come back at once).
    fs::create_hard_link(dir / "jack_default_0_0", dir / "killed");
    fs::remove(dir / "jack_default_0_0");
    const int again = listenAt((dir / "jack_default_0_0").string());
    EXPECT_TRUE(fw::jackServerMayRun(dir.c_str()));
    close(again);
    fs::remove(dir / "jack_default_0_0");
    fs::create_directories(dir / "jack-0" / "default"); // JACK 1's layout
    EXPECT_TRUE(fw::jackServerMayRun(dir.c_str()));
    fs::remove_all(dir);
    EXPECT_FALSE(fw::jackServerMayRun(dir.c_str()));
}
