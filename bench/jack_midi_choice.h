#pragma once

// For the benches that play the real main window into a JACK MIDI port. Apart from
// bench_ports.h, which the benches built without the tests (bench_memory_startup) include too.
#include "app/qt_main_window.h"
#include "support/qt_harness.h"

#include <QListWidget>

#include <cstdio>
#include <string>

namespace fw::bench {

// Chooses the JACK MIDI port `port` ("client:port") in the "MIDI Output" list once it has
// registered; false, said on stderr, when it never shows.
inline bool chooseJackMidiOutput(TForm1& form, const std::string& port) {
    const QString wanted = QString::fromStdString("JACK: " + port);
    const int row = test::waitForMidiOutput(form, wanted);
    if (row < 0) {
        std::fprintf(stderr, "%s never showed in the MIDI Output list\n", wanted.toUtf8().data());
        return false;
    }
    form.MidiOutputList->setCurrentRow(row);
    return true;
}

} // namespace fw::bench
