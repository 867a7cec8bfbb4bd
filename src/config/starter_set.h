#pragma once

#include "beats/beat_files.h"
#include "chords/chord_sets.h"
#include "config/configuration_set.h"
#include "picks/pick_sets.h"

#include <optional>
#include <string>
#include <vector>

namespace fw {

// The starter set ships with the program: sixteen chords, four pick sets and a beat, named by a
// configuration set, so that a new player hears a chord at the first press.
inline constexpr const char* kStarterSetFile = "starter.cset";

// The tempo and strum spread its patterns are written for. Every step is an eighth note at
// 100 beats a minute, so the sequencer steps at 200 ("T" bar at 1001 - 200), 300 ms a step: a
// bar of 4/4 is eight steps, 2.4 s. A strum crosses the six strings in 24 ms, as a relaxed hand
// does: heard as one stroke on the beat, yet long enough to hear which way it went.
inline constexpr int kStarterMusicalBpm = 100;
inline constexpr int kStarterStepsPerBeat = 2;
inline constexpr int kStarterTempoPosition = 1001 - kStarterMusicalBpm * kStarterStepsPerBeat;
inline constexpr int kStarterStrumSpreadMs = 24;

// The starter set's configuration set: installed relative to the program's folder, or, for a
// program run from its build tree, in the source tree. Nothing when neither holds it.
std::optional<std::string> findStarterSet(const std::string& programFolder);

// A configuration set read whole: every file it names read and checked before anything changes,
// so that the set goes in complete or not at all. The joystick file is not read: what a
// controller plays with is the mapping kept for it.
struct WholeSet {
    ConfigurationSet names; // as opened: relative names joined to the set's folder
    ChordTable chords{};
    std::vector<std::string> chordLines;
    PickSetFile picks;
    std::optional<BeatPattern> beat;
};
// Nothing, with the user's message in error, when the set or one of its files is bad.
std::optional<WholeSet> readWholeSet(const std::string& csetPath, std::string& error);

} // namespace fw
