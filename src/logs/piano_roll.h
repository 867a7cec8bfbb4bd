#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace fw {

// A log read as music for the piano roll: notes with their lengths and pitch bends, on the
// time the log plays at. A line whose time lies before the time already reached sounds at once,
// as a replay sends it, so times never go back. Lines that are not read (no valid time or
// channel message) are counted and passed over: the roll shows what it can.
class PianoRoll {
public:
    struct Note {
        std::int64_t start = 0; // centiseconds on the log's time
        std::int64_t end = -1;  // -1: still sounding at the end of the log
        int line = 0;           // the note-on's line, 0-based
        std::uint8_t note = 0;
        std::uint8_t channel = 0; // 0..15
        std::uint8_t velocity = 0;
    };
    struct Bend {
        std::int64_t time = 0;
        int line = 0;
        std::uint16_t value = 8192; // 0..16383, 8192 the middle
        std::uint8_t channel = 0;
    };

    PianoRoll() { clear(); }
    void clear();
    // Reads the next line of the log (line numbers follow on from lines()).
    void appendLine(std::string_view line);
    int lines() const { return lines_; }
    int unread() const { return unread_; }

    // Notes in the order they started; bends in log order.
    const std::vector<Note>& notes() const { return notes_; }
    const std::vector<Bend>& bends() const { return bends_; }
    bool empty() const { return notes_.empty() && bends_.empty(); }
    std::int64_t firstTime() const { return first_; }
    std::int64_t lastTime() const { return last_; }
    // Where a note ends when drawn: a note still sounding lasts to the end of the log.
    std::int64_t endOf(const Note& n) const { return n.end < 0 ? last_ : n.end; }
    int lowestNote() const { return lowest_; }
    int highestNote() const { return highest_; }

    // Calls visit(note index) for every note that sounds somewhere in [from, to), each once.
    template <typename Visit>
    void forEachNoteIn(std::int64_t from, std::int64_t to, Visit&& visit) const;
    // The line of the note `note` sounding at time t (the latest started), or -1.
    int lineOfNoteAt(std::int64_t t, int note) const;
    // The first bend at or after t.
    std::size_t firstBendFrom(std::int64_t t) const;

    // Notes are found by the seconds they sound in.
    static constexpr std::int64_t kBucketCentis = 100;

private:
    void endNote(int index, std::int64_t t);
    std::size_t bucketOf(std::int64_t t) const {
        return static_cast<std::size_t>((t - first_) / kBucketCentis);
    }

    std::vector<Note> notes_;
    std::vector<Bend> bends_;
    // For each second of the log, the ended notes that sound in it; sounding notes stand apart.
    std::vector<std::vector<int>> buckets_;
    std::vector<int> sounding_;
    std::array<int, 16 * 128> open_{}; // per channel and note: the sounding note, or -1
    int lines_ = 0;
    int unread_ = 0;
    bool started_ = false;
    std::int64_t first_ = 0;
    std::int64_t last_ = 0;
    int lowest_ = 127;
    int highest_ = 0;
};

template <typename Visit>
void PianoRoll::forEachNoteIn(std::int64_t from, std::int64_t to, Visit&& visit) const {
    if (!started_ || to <= first_ || from > last_)
        return;
    const std::size_t b0 = from <= first_ ? 0 : bucketOf(from);
    const std::size_t b1 = std::min(bucketOf(std::max(to - 1, first_)) + 1, buckets_.size());
    for (std::size_t b = b0; b < b1; ++b) {
        for (const int i : buckets_[b]) {
            const Note& n = notes_[static_cast<std::size_t>(i)];
            // A note found in several seconds is taken in the first one looked at.
            if ((b == b0 || bucketOf(n.start) == b) && n.start < to && endOf(n) >= from)
                visit(i);
        }
    }
    for (const int i : sounding_) {
        const Note& n = notes_[static_cast<std::size_t>(i)];
        if (n.start < to)
            visit(i);
    }
}

} // namespace fw
