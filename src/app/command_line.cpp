#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace fw {

namespace {

// The options of QGuiApplication, QApplication and the X11 plug-in that take a value as the
// next argument (or after "="), and those that take none.
constexpr std::array<std::string_view, 17> kQtValueOptions = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "title",         "name",    "visual",
    "inputstyle",  "qmljsdebugger"};
constexpr std::array<std::string_view, 5> kQtFlags = {"reverse", "widgetcount", "nograb", "dograb",
                                                      "sync"};

bool contains(auto& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h")
            return {CommandLine::Action::Help, {}};
        if (arg == "--version" || arg == "-v")
            return {CommandLine::Action::Version, {}};
        if (arg.size() < 2 || arg[0] != '-')
            return {CommandLine::Action::Error, "unexpected argument '" + arg + "'"};
        // Qt reads its options with one dash or two.
        std::string_view name(arg);
        name.remove_prefix(name.starts_with("--") ? 2 : 1);
        const auto eq = name.find('=');
        const bool hasValue = eq != std::string_view::npos;
        if (hasValue)
            name = name.substr(0, eq);
        if (contains(kQtFlags, name) && !hasValue)
            continue;
        if (!contains(kQtValueOptions, name))
            return {CommandLine::Action::Error, "unknown option '" + arg + "'"};
        if (!hasValue && ++i == args.size())
            return {CommandLine::Action::Error, "option '" + arg + "' needs a value"};
    }
    return out;
}

std::string usageText() {
    return "Usage: fretwright [OPTION]...\n"
           "Plays a guitar through MIDI from a game controller or the computer keyboard.\n"
           "\n"
           "  -h, --help          print this help and exit\n"
           "  -v, --version       print the version and exit\n"
           "\n"
           "The options of the Qt toolkit are taken as well, among them:\n"
           "  -platform NAME      the window system plug-in: xcb, wayland, offscreen\n"
           "  -display DISPLAY    the X display to open\n"
           "  -style NAME         the widget style, for example Fusion\n"
           "  -reverse            lays the windows out from right to left\n"
           "\n"
           "The output chosen on the \"Config\" tab is kept in\n"
           "~/.config/Fretwright/Fretwright.conf. fretwright-log converts and merges play logs\n"
           "without opening a window. More in fretwright(1).\n";
}

} // namespace fw
