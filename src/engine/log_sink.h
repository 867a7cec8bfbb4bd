#pragma once

#include <string>
#include <vector>

namespace fw {

// Where the play engine appends its Z2UVIR lines: the play log view at run time.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void appendLine(const std::string& line) = 0;
};

// A log kept as plain lines, for tools and tests.
class VectorLog final : public LogSink {
public:
    void appendLine(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

} // namespace fw
