#include "logs/piano_roll.h"

#include "engine/strict_int.h"
#include "engine/z2uvir.h"

#include <algorithm>

namespace fw {

void PianoRoll::clear() {
    notes_.clear();
    bends_.clear();
    buckets_.clear();
    sounding_.clear();
    open_.fill(-1);
    lines_ = 0;
    unread_ = 0;
    started_ = false;
    first_ = last_ = 0;
    lowest_ = 127;
    highest_ = 0;
}

void PianoRoll::appendLine(std::string_view line) {
    const int index = lines_++;
    // Read as a replay reads it.
    std::int64_t t = 0;
    try {
        t = z2uvirTime(line);
    } catch (const ConversionError&) {
        ++unread_;
        return;
    }
    const auto msg = channelMessageOf(line);
    if (!msg) {
        ++unread_;
        return;
    }
    if (!started_) {
        started_ = true;
        first_ = last_ = t;
    }
    last_ = std::max<std::int64_t>(last_, t);
    const std::int64_t now = last_;
    const auto channel = static_cast<std::uint8_t>(msg->channel());
    const MidiKind kind = msg->kind();
    if (kind == MidiKind::PitchBend) {
        bends_.push_back({now, index, static_cast<std::uint16_t>(msg->bend()), channel});
        return;
    }
    if (kind != MidiKind::NoteOff && kind != MidiKind::NoteOn)
        return;
    const std::size_t key =
        static_cast<std::size_t>(channel) * 128 + static_cast<std::size_t>(msg->data1());
    // A note-off, or a note-on of a note already sounding, ends the note before.
    if (open_[key] >= 0) {
        endNote(open_[key], now);
        open_[key] = -1;
    }
    if (msg->isNoteOn()) {
        open_[key] = static_cast<int>(notes_.size());
        sounding_.push_back(open_[key]);
        notes_.push_back({now, -1, index, static_cast<std::uint8_t>(msg->data1()), channel,
                          static_cast<std::uint8_t>(msg->data2())});
        lowest_ = std::min(lowest_, msg->data1());
        highest_ = std::max(highest_, msg->data1());
    }
}

void PianoRoll::endNote(int index, std::int64_t t) {
    Note& n = notes_[static_cast<std::size_t>(index)];
    n.end = t;
    sounding_.erase(std::find(sounding_.begin(), sounding_.end(), index));
    const std::size_t last = bucketOf(t);
    if (buckets_.size() <= last)
        buckets_.resize(last + 1);
    for (std::size_t b = bucketOf(n.start); b <= last; ++b)
        buckets_[b].push_back(index);
}

int PianoRoll::lineOfNoteAt(std::int64_t t, int note) const {
    int found = -1;
    std::int64_t latest = 0;
    forEachNoteIn(t, t + 1, [&](int i) {
        const Note& n = notes_[static_cast<std::size_t>(i)];
        if (n.note == note && n.start <= t && (found < 0 || n.start >= latest)) {
            found = n.line;
            latest = n.start;
        }
    });
    return found;
}

std::size_t PianoRoll::firstBendFrom(std::int64_t t) const {
    return static_cast<std::size_t>(
        std::lower_bound(bends_.begin(), bends_.end(), t,
                         [](const Bend& b, std::int64_t v) { return b.time < v; }) -
        bends_.begin());
}

} // namespace fw
