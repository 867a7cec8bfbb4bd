#pragma once

// The play engine on fake ports: a manual clock, a recording output and a plain line log.
#include "engine/engine.h"
#include "support/fakes.h"

namespace fw::test {

struct EngineRig {
    ManualClock clock{500 * 10000};
    ScriptedPrompts prompts;
    VectorLog log;
    RecordingMidiPort port{&clock};
    MidiOutput out{clock, log, prompts};
    Engine engine{out};

    EngineRig() { out.setPort(&port); }
};

} // namespace fw::test
