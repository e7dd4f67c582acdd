#include "app/ProgramOptions.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quillet {

namespace {

constexpr std::string_view kUsageLine = "Usage: quillet [--help | --version]\n";
constexpr std::string_view kHelp =
    "\n"
    "Starts Quillet, the notes organizer, with your notes database: mydata.mdb in\n"
    "$XDG_DATA_HOME/quillet (~/.local/share/quillet) when installed, else beside the\n"
    "program. The notes are stored as you type. quillet-db(1) checks, exports and imports\n"
    "notes databases from the command line.\n"
    "\n"
    "  -h, --help     show this help and end\n"
    "      --version  show the version and end\n";

// The toolkit's own options, which it takes from the command line itself; those in the second
// list are followed by a value.
constexpr std::array kToolkitFlags{"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
constexpr std::array kToolkitWithValue{
    "-style",         "-stylesheet", "-platform",        "-platformpluginpath",
    "-platformtheme", "-plugin",     "-qwindowgeometry", "-qwindowicon",
    "-qwindowtitle",  "-session",    "-display",         "-geometry",
    "-title",         "-name",       "-qmljsdebugger"};

// "-style=fusion" and "--style fusion" are the toolkit's too.
std::string_view toolkitName(std::string_view option)
{
    if (option.starts_with("--"))
        option.remove_prefix(1);
    return option.substr(0, option.find('='));
}

} // namespace

OptionsAnswer answerOptions(int argc, const char *const argv[], const char *version)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h")
            return {false, 0, std::string(kUsageLine) + std::string(kHelp), {}};
        if (option == "--version")
            return {false, 0, std::string("quillet ") + version + "\n", {}};
        const std::string_view name = toolkitName(option);
        const auto is = [&](const char *known) {
            return name == known;
        };
        if (std::any_of(kToolkitFlags.begin(), kToolkitFlags.end(), is))
            continue;
        if (std::any_of(kToolkitWithValue.begin(), kToolkitWithValue.end(), is)) {
            if (name.size() == option.size() ||
                (option.starts_with("--") && name.size() + 1 == option.size()))
                ++i; // the value follows as an argument of its own
            continue;
        }
        const std::string said =
            option.starts_with("-")
                ? "quillet: unknown option \"" + std::string(option) + "\"\n"
                : "quillet: takes no file or other argument: \"" + std::string(option) + "\"\n";
        return {false, 2, {}, said + std::string(kUsageLine)};
    }
    return {};
}

} // namespace quillet
