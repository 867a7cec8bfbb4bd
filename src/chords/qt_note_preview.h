#pragma once

#include <QHash>
#include <QObject>

#include <cstdint>

namespace fw {

class MidiOutput;

// Sounds single notes for the preview buttons. A preview is for listening, not for the
// performance, so nothing is written to the play log; the note is ended about a second later
// so previews do not pile up into a drone.
class NotePreview : public QObject {
    Q_OBJECT
public:
    explicit NotePreview(MidiOutput& output, QObject* parent = nullptr);

    // Makes sure the output is open, then sends a note-on. A note outside 0..127 is not a note
    // a MIDI port can take: it is not sent, and false is returned.
    bool play(int status, int note, int velocity);

    // How long a preview note sounds, in milliseconds.
    int holdMillis = 1000;

private:
    MidiOutput& output_;
    // The latest preview of each channel and note; an older preview's note-off must not cut a
    // newer one short.
    QHash<std::uint32_t, quint64> latest_;
    quint64 counter_ = 0;
};

} // namespace fw
