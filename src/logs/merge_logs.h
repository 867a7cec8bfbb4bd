#pragma once

#include <string_view>
#include <vector>

namespace fw {

// Merges two logs by time into target (cleared first): on every pass the heads of both logs
// are compared and the earlier one is taken; when both have the same time both are taken in
// the same pass, the line of `first` before the line of `second`. Nothing is sorted, so an
// out-of-order line leaves when it reaches the head of its log. A time field that is not an
// integer throws LogLineError (its line counted in its own log, source() 1 for
// `second`); target then keeps the lines
// taken before that pass.
void mergeLogs(const std::vector<std::string_view>& first,
               const std::vector<std::string_view>& second, std::vector<std::string_view>& target);

} // namespace fw
