#include "keeping/History.h"
#include "session/NotesSession.h"
#include "store/OutlineRowCheck.h"
#include "tools/commands/Commands.h"

#include <algorithm>
#include <ctime>
#include <ostream>
#include <stdexcept>

namespace quillet::dbtool {

const char *const kHistoryHelp =
    "Usage: quillet-db history PATH KEY [--show N] [--restore N]\n"
    "       quillet-db history PATH --prune\n\n"
    "Lists the earlier versions Quillet kept of the note with the key KEY, newest first: each\n"
    "one's number, date and time, size and first line. --show N writes version N's note as it\n"
    "was stored, byte for byte; --restore N puts it back (the note it replaces is kept as a\n"
    "version first), refused while Quillet has PATH open. --prune keeps, of every note, the\n"
    "versions of the last 7 days, the newest of each day up to 90 days, the newest of each\n"
    "month before that, and at most 200, as Quillet does after its daily backup.\n";

namespace {

std::int64_t numberOf(const std::string &text)
{
    try {
        std::size_t used = 0;
        const long long number = std::stoll(text, &used);
        if (used == text.size() && number > 0)
            return number;
    } catch (const std::exception &) {
    }
    throw std::invalid_argument(text);
}

std::string timeOf(std::int64_t keptAt)
{
    const std::time_t t = static_cast<std::time_t>(keptAt);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The first line of a note's first bytes, quoted as the tool quotes stored text.
std::string firstLine(const std::string &start)
{
    return quote(start.substr(0, start.find_first_of("\r\n")));
}

} // namespace

int historyCommand(const Arguments &args, std::ostream &out, std::ostream &err)
{
    const std::string &path = args.positional[0];
    const bool pruning = args.options.contains("--prune");
    if (pruning && (args.positional.size() != 1 || args.options.size() != 1)) {
        err << "quillet-db history: --prune takes the path alone.\n";
        return 2;
    }
    if (!pruning && args.positional.size() != 2) {
        err << "quillet-db history: takes the path and a key.\n";
        return 2;
    }
    std::int64_t show = 0;
    std::int64_t restore = 0;
    try {
        if (const auto option = args.options.find("--show"); option != args.options.end())
            show = numberOf(option->second);
        if (const auto option = args.options.find("--restore"); option != args.options.end())
            restore = numberOf(option->second);
    } catch (const std::invalid_argument &) {
        err << "quillet-db history: a version is given by its number, from 1 up.\n";
        return 2;
    }
    if (restore != 0 && NotesSession::isOpenElsewhere(path))
        throw std::runtime_error("Quillet has " + path +
                                 " open. Close it first; nothing was restored.");
    // A restore changes the note, and opens the file as the program does; a look, or pruning
    // the history file, changes no note and works beside a running program.
    NotesSession session;
    session.setPath(path);
    session.open(restore != 0 ? NotesSession::Access::Writing : NotesSession::Access::Reading);
    if (pruning) {
        const int pruned = session.pruneHistory(static_cast<std::int64_t>(std::time(nullptr)));
        out << "Pruned " << pruned << (pruned == 1 ? " version" : " versions") << " from the "
            << "history of " << path << ".\n";
        return 0;
    }
    const std::string &key = args.positional[1];
    const std::optional<std::vector<VersionSummary>> summaries = session.versionsOf(key);
    if (!summaries)
        throw std::runtime_error("No item of " + path + " has the key " + quote(key) + ".");
    const auto versionOfNote = [&](std::int64_t number) {
        const bool ofNote =
            std::any_of(summaries->begin(), summaries->end(),
                        [&](const VersionSummary &summary) { return summary.number == number; });
        const std::optional<NoteVersion> version = ofNote ? session.version(number) : std::nullopt;
        if (!version)
            throw std::runtime_error("The note " + quote(key) + " has no version " +
                                     std::to_string(number) + ".");
        return *version;
    };
    if (show != 0) {
        const NoteVersion version = versionOfNote(show);
        const Value &shown = version.row[version.titleOnly ? 2 : 3];
        out << shown.toText().value_or(std::string());
        return 0;
    }
    if (restore != 0) {
        if (versionOfNote(restore).titleOnly)
            throw std::runtime_error("Version " + std::to_string(restore) +
                                     " is an earlier title, not a note; nothing was restored.");
        session.restoreVersion(key, restore);
        out << "Restored version " << restore << " of the note " << quote(key) << "; ";
        if (const std::string why = session.takeHistoryProblem(); why.empty())
            out << "the note it replaced is kept as a version.\n";
        else
            out << "the note it replaced could not be kept as a version: " << why << "\n";
        return 0;
    }
    if (summaries->empty())
        out << "The note " << quote(key) << " has no earlier versions.\n";
    for (const VersionSummary &summary : *summaries)
        out << summary.number << "  " << timeOf(summary.keptAt) << "  "
            << (summary.titleOnly ? "title " : "") << summary.bytes
            << (summary.bytes == 1 ? " byte  " : " bytes  ") << firstLine(summary.start) << '\n';
    return 0;
}

} // namespace quillet::dbtool
