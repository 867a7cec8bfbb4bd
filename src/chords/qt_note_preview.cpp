#include "chords/qt_note_preview.h"

#include "engine/midi_message.h"
#include "engine/midi_output.h"

#include <QTimer>

namespace fw {

NotePreview::NotePreview(MidiOutput& output, QObject* parent) : QObject(parent), output_(output) {}

bool NotePreview::play(int status, int note, int velocity) {
    output_.ensureOpenSilent();
    if (note < 0 || note > 127)
        return false;
    output_.setMessage(status, note, velocity);
    output_.send();
    const std::uint32_t key = MidiMessage(status, note).packed();
    const quint64 id = ++counter_;
    latest_.insert(key, id);
    QTimer::singleShot(holdMillis, this, [this, key, id, status, note] {
        if (latest_.value(key) != id)
            return;
        latest_.remove(key);
        output_.setMessage(status, note, 0);
        output_.send();
    });
    return true;
}

} // namespace fw
