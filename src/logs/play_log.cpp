#include "logs/play_log.h"

#include <ctime>

namespace fw {

void PlayLog::appendLine(const std::string& line) {
    journal_.appendLine(line);
    if (batchDepth_ == 0) {
        if (view_)
            view_(line);
        return;
    }
    if (pendingLines_++ > 0)
        pending_ += '\n';
    pending_ += line;
}

void PlayLog::release() {
    if (--batchDepth_ > 0 || pendingLines_ == 0)
        return;
    if (view_)
        view_(pending_);
    pending_.clear(); // keeps its room for the next beat
    pendingLines_ = 0;
}

void PlayLog::keepTakesIn(const std::string& dataFolder,
                          std::function<void(const std::string&)> onError) {
    dataFolder_ = dataFolder;
    journal_.setOnError(std::move(onError));
    journal_.start(journalFolder(), std::time(nullptr));
}

void PlayLog::newTake() {
    if (journal_.active())
        journal_.start(journalFolder(), std::time(nullptr));
}

std::vector<std::string> PlayLog::takesLeftBehind() const {
    if (dataFolder_.empty())
        return {};
    return journalsLeftBehind(journalFolder());
}

void PlayLog::resumeTake(const std::string& path, std::size_t wholeBytes) {
    journal_.resume(path, wholeBytes);
}

std::string PlayLog::journalFolder() const {
    return dataFolder_ + "/journal";
}

} // namespace fw
