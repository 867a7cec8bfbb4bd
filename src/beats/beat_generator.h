#pragma once

#include <string>

namespace fw {

class Random;

// Markers that the counting toy puts in the beat line to ask the generator for a register.
inline constexpr const char* kHighBeatMarker = "HIGH";
inline constexpr const char* kLowBeatMarker = "LOW";

// Replaces the beat line with a random beat of the given number of steps, seven units each, of
// which about one in four is a note. The range is read from the line it replaces: exactly
// "HIGH" gives notes 92..127, exactly "LOW" 56..91, anything else 0..126. Per unit the numbers
// are drawn in a fixed order (the full-range note, the register note if any, then the one that
// decides note or rest), so a seeded source gives the same beat.
void generateBeat(std::string& accompBeatLine, int steps, Random& random);

} // namespace fw
