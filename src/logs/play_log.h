#pragma once

#include "engine/log_sink.h"
#include "logs/take_journal.h"

#include <functional>
#include <string>
#include <vector>

namespace fw {

class Prompts;

// The play log as play writes it. Each line goes at once into the take's journal (appending
// only copies it; the journal's own thread writes the disk) and to the view that shows the log;
// the lines of a batch reach the view together when it ends.
class PlayLog final : public LogSink {
public:
    // Shows lines, several at once separated by LF. Until one is set, lines are not shown.
    using View = std::function<void(const std::string& lines)>;
    void setView(View view) { view_ = std::move(view); }
    void appendLine(const std::string& line) override;

    // Keeps every take from now on in a journal under dataFolder ("journal/"), so that it
    // outlives a crash. Without this call (in tests) nothing is kept. onError is told, on the
    // journal's thread, why a journal cannot be written, once per journal.
    void keepTakesIn(const std::string& dataFolder,
                     std::function<void(const std::string&)> onError);
    // A new take: while takes are kept, it starts a journal of its own and the last one goes.
    void newTake();
    // Offers the takes that runs which did not end cleanly left behind. The first one the player
    // wants back goes to putBack (its lines separated by LF) and, with what is played after it,
    // on in its own journal; the others are kept as files in "takes/" under the data folder.
    // Nothing is removed without the player's word.
    void recoverTakes(Prompts& prompts, const std::function<void(const std::string&)>& putBack);
    TakeJournal& journal() { return journal_; }

protected:
    void hold() override { ++batchDepth_; }
    void release() override;

private:
    std::string journalFolder() const;

    View view_;
    int batchDepth_ = 0;
    std::string pending_;
    int pendingLines_ = 0;
    std::string dataFolder_;
    TakeJournal journal_;
};

} // namespace fw
