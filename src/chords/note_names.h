#pragma once

#include <string>
#include <vector>

namespace fw {

// The chord builder's root list: 96 names "C,,," .. "b'''", list index = MIDI note number.
const std::vector<std::string>& noteNames();

} // namespace fw
