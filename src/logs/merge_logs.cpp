#include "logs/merge_logs.h"

#include "logs/log_lines.h"

namespace fw {

void mergeLogs(const std::vector<std::string_view>& first,
               const std::vector<std::string_view>& second, std::vector<std::string_view>& target) {
    const std::size_t nA = first.size();
    const std::size_t nB = second.size();
    target.clear();
    target.reserve(nA + nB);
    std::size_t i = 0;
    std::size_t j = 0;
    // Each head's time is read once and kept until that line is taken.
    int tA = 0;
    int tB = 0;
    std::size_t readA = static_cast<std::size_t>(-1);
    std::size_t readB = static_cast<std::size_t>(-1);
    while (i < nA || j < nB) {
        if (i < nA && readA != i) {
            tA = logLineTime(first[i], static_cast<int>(i));
            readA = i;
        }
        if (j < nB && readB != j) {
            try {
                tB = logLineTime(second[j], static_cast<int>(j));
            } catch (const LogLineError& e) {
                throw LogLineError(e.line(), e.what(), 1);
            }
            readB = j;
        }
        const bool takeA = i < nA && (j >= nB || tA <= tB);
        const bool takeB = j < nB && (i >= nA || tB <= tA);
        if (takeA)
            target.push_back(first[i++]);
        if (takeB)
            target.push_back(second[j++]);
    }
}

} // namespace fw
