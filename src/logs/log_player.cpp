#include "logs/log_player.h"

#include "engine/z2uvir.h"

namespace fw {

void LogPlayer::setWakeTimer(WakeTimer& timer) {
    timer_->cancel();
    timer_ = &timer;
}

bool LogPlayer::play(const LogSource& log, EndHandler onEnd) {
    if (running())
        return false;
    log_ = &log;
    onEnd_ = std::move(onEnd);
    result_ = {};
    next_ = 0;
    out_.ensureOpenReporting();
    out_.reset();
    // Timed from here rather than from the click: the open failure message may have been on
    // screen for a while, and the first lines would otherwise all go out at once.
    replayStartMicros = out_.clock().micros();
    replayStartTime = out_.clockReading();
    advance();
    return true;
}

void LogPlayer::stop() {
    if (!running())
        return;
    timer_->cancel();
    out_.reset();
    finish(End::Stopped);
}

void LogPlayer::advance() {
    const std::int64_t now = out_.clock().micros();
    for (; log_ && next_ < log_->lineCount(); ++next_) {
        const std::string line = log_->line(next_);
        int t = 0;
        try {
            t = logLineTime(line, next_);
        } catch (const LogLineError& e) {
            finish(End::Failed, lineProblemText(line, next_, e.what()));
            return;
        }
        const std::int64_t due = replayStartMicros + static_cast<std::int64_t>(t) * 10000;
        if (due > now) {
            timer_->wakeAt(due, [this] { advance(); });
            return;
        }
        // An edited line may hold anything; a port must only ever get channel messages.
        const auto msg = channelMessageOf(line);
        if (!msg) {
            ++result_.skipped;
            continue;
        }
        out_.setMessage(*msg);
        out_.send();
        ++result_.sent;
    }
    if (log_)
        finish(End::Finished);
}

void LogPlayer::finish(End end, std::string error) {
    result_.end = end;
    result_.error = std::move(error);
    log_ = nullptr;
    // The handler may start the next playback.
    const EndHandler onEnd = std::move(onEnd_);
    onEnd_ = {};
    if (onEnd)
        onEnd(result_);
}

} // namespace fw
