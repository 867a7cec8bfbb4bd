#include "app/command_line.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, AnswersHelpAndVersionAndLeavesQtItsOptions) {
    const struct {
        std::vector<std::string> args;
        Action action;
    } cases[] = {
        {{}, Action::Run},
        {{"--help"}, Action::Help},
        {{"-h"}, Action::Help},
        {{"--version"}, Action::Version},
        {{"-v"}, Action::Version},
        // Qt's options, with one dash or two, the value apart or after "=".
        {{"-platform", "offscreen"}, Action::Run},
        {{"--platform", "xcb", "-style=Fusion", "-reverse"}, Action::Run},
        {{"-display", ":1", "--help"}, Action::Help},
        // A value that looks like our option belongs to the Qt option before it.
        {{"-qwindowtitle", "--version"}, Action::Run},
    };
    for (const auto& c : cases) {
        const CommandLine got = parseCommandLine(c.args);
        EXPECT_EQ(got.action, c.action) << ::testing::PrintToString(c.args);
        EXPECT_EQ(got.error, "");
    }
}

TEST(CommandLine, RefusesWhatNeitherItNorQtTakes) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"song.chords"}, "unexpected argument 'song.chords'"},
        {{"-"}, "unexpected argument '-'"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-reverse=yes"}, "unknown option '-reverse=yes'"},
        {{"-platform"}, "option '-platform' needs a value"},
    };
    for (const auto& c : cases) {
        const CommandLine got = parseCommandLine(c.args);
        EXPECT_EQ(got.action, Action::Error) << ::testing::PrintToString(c.args);
        EXPECT_EQ(got.error, c.error);
    }
}

} // namespace
} // namespace fw
