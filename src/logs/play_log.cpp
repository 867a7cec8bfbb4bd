#include "logs/play_log.h"

#include "engine/prompts.h"
#include "files/line_file.h"
#include "logs/log_files.h"
#include "logs/log_lines.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

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

namespace {
// A file name in folder that is not taken yet: stem.plog, stem-2.plog, ...
std::string freeName(const std::string& folder, const std::string& stem) {
    std::string path = folder + "/" + stem + ".plog";
    std::error_code unknown; // a name that cannot be looked at is taken as free; the write says
    for (int n = 2; std::filesystem::exists(path, unknown); ++n)
        path = folder + "/" + stem + "-" + std::to_string(n) + ".plog";
    return path;
}

std::string without(std::string text, char c) {
    text.erase(std::remove(text.begin(), text.end(), c), text.end());
    return text;
}
} // namespace

void PlayLog::recoverTakes(Prompts& prompts,
                           const std::function<void(const std::string&)>& putBack) {
    if (dataFolder_.empty())
        return;
    const std::string keptFolder = dataFolder_ + "/takes";
    bool restored = false;
    std::string keptAlso;
    for (const std::string& path : journalsLeftBehind(journalFolder())) {
        const FoundTake take = readTakeJournal(path);
        if (!take.unreadable.empty()) {
            // Kept under a name no later start looks for, and named.
            const std::string kept = path + ".unreadable";
            const std::string named = std::rename(path.c_str(), kept.c_str()) == 0 ? kept : path;
            prompts.showMessage("A take was left behind in " + named + ", but it cannot be read: " +
                                take.unreadable + ".\nThe file is kept.");
            continue;
        }
        if (take.lines.empty() && take.dropped == 0) {
            std::remove(path.c_str()); // a journal made just before the end, holding nothing
            continue;
        }
        const std::string file =
            freeName(keptFolder, "take-" + without(take.date, '-') + "-" + without(take.time, ':'));
        const std::vector<std::string_view> lines(take.lines.begin(), take.lines.end());
        const bool intoPlayLog =
            !restored && prompts.askYesNo(takeFoundMessage(take) +
                                          "\n\nYes puts it back into the play log \"PL\". No "
                                          "keeps it as the file " +
                                          file + ".");
        if (intoPlayLog) {
            putBack(joinLogLines(lines));
            // The restored take, and what is played after it, go on in its own journal until it
            // is saved: its lines never have to be safe anywhere else first.
            journal_.resume(path, take.wholeBytes);
            restored = true;
            continue;
        }
        std::error_code ignored; // a folder that cannot be made is said by the write
        std::filesystem::create_directories(keptFolder, ignored);
        if (auto error = writeFileReplacing(file, playLogFileText(lines))) {
            prompts.showMessage(*error + "\nThe take stays in " + path + ".");
            continue;
        }
        std::remove(path.c_str());
        if (restored)
            keptAlso += (keptAlso.empty() ? "" : "\n") + file;
    }
    if (!keptAlso.empty())
        prompts.showMessage("More takes that were not saved are kept as files:\n" + keptAlso);
}

std::string PlayLog::journalFolder() const {
    return dataFolder_ + "/journal";
}

} // namespace fw
