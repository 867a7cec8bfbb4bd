#pragma once

#include <string>
#include <vector>

namespace fw {

// Where the play engine appends its Z2UVIR lines: the play log view at run time.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void appendLine(const std::string& line) = 0;

    // While one lives, a sink that shows its lines may hold them back and show them together
    // when it ends: the messages of one beat then leave one after another, none of them waiting
    // on a view.
    class Batch {
    public:
        explicit Batch(LogSink& log) : log_(log) { log_.hold(); }
        ~Batch() { log_.release(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        LogSink& log_;
    };

protected:
    virtual void hold() {}
    virtual void release() {}
};

// A log kept as plain lines, for tools and tests.
class VectorLog final : public LogSink {
public:
    void appendLine(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

} // namespace fw
