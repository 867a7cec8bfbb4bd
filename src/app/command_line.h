#pragma once

#include <string>
#include <vector>

namespace fw {

// What the command line asks of the program, decided before any window system is touched, so
// that --help and --version work on a machine without a display.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string error; // for Error: what was wrong, without the program's name
};

// The program's own options are --help and --version; every option the Qt toolkit reads
// (-platform NAME, -style=NAME, --display NAME, ...) is left for it. Anything else is an error.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The texts that --help prints, for the program and its version.
std::string usageText();

} // namespace fw
