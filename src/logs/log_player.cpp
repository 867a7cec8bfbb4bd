#include "logs/log_player.h"

#include "engine/z2uvir.h"

namespace fw {

LogPlayer::Result LogPlayer::play(const LogSource& log) {
    Result result;
    if (running_) {
        result.end = End::Busy;
        return result;
    }
    running_ = true;
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{running_};

    replayStop = false;
    out_.ensureOpenReporting();
    out_.reset();
    // Timed from here rather than from the click: the open failure message may have been on
    // screen for a while, and the first lines would otherwise all go out at once.
    replayStartMicros = out_.clock().micros();
    replayStartTime = out_.clockReading();

    const auto stopped = [this] { return replayStop; };
    for (int i = 0; i < log.lineCount(); ++i) {
        const std::string line = log.line(i);
        if (replayStop)
            break;
        int t = 0;
        try {
            t = logLineTime(line, i);
        } catch (const LogLineError& e) {
            result.end = End::Failed;
            result.error = e.what();
            return result;
        }
        const std::int64_t due = replayStartMicros + static_cast<std::int64_t>(t) * 10000;
        if (!out_.waitUntilMicros(due, *pump_, stopped))
            break;
        // An edited line may hold anything; a port must only ever get channel messages.
        const auto msg = channelMessageOf(line);
        if (!msg) {
            ++result.skipped;
            continue;
        }
        out_.setMessage(msg->status, msg->data1, msg->data2);
        out_.send();
        ++result.sent;
    }
    if (replayStop) {
        replayStop = false;
        out_.reset();
        result.end = End::Stopped;
    }
    return result;
}

} // namespace fw
