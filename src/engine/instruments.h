#pragma once

#include <array>
#include <string>
#include <vector>

namespace fw {

// The 128 General MIDI instrument names in program order.
const std::array<const char*, 128>& instrumentNames();
// The list item of a program number (0..127): "26   Steel String Guitar".
std::string instrumentItemText(int program);
// All 128 items, index = program number.
std::vector<std::string> instrumentItems();

} // namespace fw
