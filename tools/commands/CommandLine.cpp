#include "keeping/Backups.h"
#include "keeping/Deletions.h"
#include "packaging/BuildInfo.h"
#include "packaging/UserNotesPlace.h"
#include "session/NotesSession.h"
#include "store/OutlineRowCheck.h"
#include "store/StoreError.h"
#include "tools/commands/Commands.h"
#include "tools/commands/DbTool.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <ostream>
#include <sys/stat.h>
#include <system_error>

namespace quillet::dbtool {

namespace {

constexpr const char *kUsage =
    "Usage: quillet-db COMMAND [ARGUMENTS]\n"
    "\n"
    "  init PATH [--welcome]     create a new notes database at PATH\n"
    "  check PATH                list the problems of the notes database at PATH\n"
    "  recover PATH              roll back a change a crash cut short, then check PATH\n"
    "  export PATH --format markdown|html|text|json|opml|markdown-folder [--output FILE]\n"
    "                            write the notes out, to standard output or FILE\n"
    "  import FILE PATH [--from opml|markdown|ctd|ctb]\n"
    "                            bring in another outliner's notes, as a new database at\n"
    "                            PATH or under one new item of the database at PATH\n"
    "  import-json JSONFILE PATH make a new database at PATH from a JSON export\n"
    "  backup PATH [--keep N]    make a verified backup in backups/ beside PATH\n"
    "  restore BACKUP PATH       put a verified backup in the place of PATH\n"
    "  stats PATH                count the items and measure the notes\n"
    "  undelete FILE PATH [--under KEY | --top]\n"
    "                            put back the items a deletion copied to FILE\n"
    "  move PATH KEY (--under KEY | --before KEY | --after KEY | --top)\n"
    "                            move an item, with everything under it\n"
    "  history PATH KEY [--show N] [--restore N] | history PATH --prune\n"
    "                            list, show or restore a note's earlier versions\n"
    "\n"
    "quillet-db COMMAND --help tells more about each command, --version the version.\n"
    "Exit status: 0 done or no problems, 1 failed, refused or problems found, 2 usage error.\n";

// One command: its arguments, its help, and what runs it.
struct Command
{
    const char *name;
    std::size_t positionals;
    std::vector<std::string> options; // the options it takes, each with a value
    const char *help;
    int (*run)(const Arguments &, std::ostream &out, std::ostream &err);
    std::vector<std::string> flags = {}; // the options it takes without a value
    std::size_t fewestPositionals = positionals;
};

int init(const Arguments &args, std::ostream &out, std::ostream &)
{
    const std::string &path = args.positional[0];
    const Welcome welcome = args.options.contains("--welcome") ? Welcome::With : Welcome::Without;
    try {
        if (build::kPerUserNotes && path == installed::userDatabase())
            NotesSession::makeStarterIn(installed::userNotesFolder(), welcome);
        else
            NotesSession::makeStarter(path, welcome);
    } catch (const StoreError &error) {
        throw StoreError(error.code(),
                         "creating the database failed: " + error.message() +
                             " The partial file was removed.",
                         path);
    }
    out << "Created a new notes database at " << path << ".\n";
    return 0;
}

int check(const Arguments &args, std::ostream &out, std::ostream &)
{
    const std::string &path = args.positional[0];
    const CheckReport report = checkDatabase(path);
    if (report.problems.empty()) {
        out << "No problems found in " << path << " (" << report.items << " items, "
            << report.settings << " settings).\n";
        return 0;
    }
    for (const Problem &problem : report.problems)
        out << problem.text << '\n';
    const std::size_t count = report.problems.size();
    out << count << (count == 1 ? " problem" : " problems") << " found in " << path << ".\n";
    return 1;
}

int recover(const Arguments &args, std::ostream &out, std::ostream &err)
{
    const std::string &path = args.positional[0];
    if (recoverDatabase(path))
        out << "Rolled back the change a crash cut short in " << path
            << ": the file holds what it held before that change.\n";
    else
        out << "No change cut short waited beside " << path << "; nothing was rolled back.\n";
    return check(args, out, err);
}

int importNotes(const Arguments &args, std::ostream &out, std::ostream &)
{
    importJson(args.positional[0], args.positional[1]);
    out << "Made " << args.positional[1] << " from " << args.positional[0] << ".\n";
    return 0;
}

int backup(const Arguments &args, std::ostream &out, std::ostream &err)
{
    int keep = 10;
    if (const auto option = args.options.find("--keep"); option != args.options.end()) {
        const std::string &text = option->second;
        if (text.empty() || text.size() > 6 ||
            text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) < 1) {
            err << "quillet-db backup: --keep takes a number of backups from 1 up.\n";
            return 2;
        }
        keep = std::stoi(text);
    }
    const backups::Made made = NotesSession::backUp(args.positional[0], keep);
    out << "Backed up " << args.positional[0] << " to " << made.file << " and checked the copy.\n";
    for (const std::string &removed : made.removed)
        out << "Removed the older backup " << removed << ".\n";
    return 0;
}

int restore(const Arguments &args, std::ostream &out, std::ostream &)
{
    const backups::Restored restored =
        NotesSession::restoreBackup(args.positional[0], args.positional[1]);
    out << "Restored " << args.positional[0] << " to " << restored.file;
    // Named apart only when it is another file: a relative path names the same file too.
    struct stat link
    {
    };
    if (::lstat(args.positional[1].c_str(), &link) == 0 && S_ISLNK(link.st_mode))
        out << " (the file " << args.positional[1] << " links to)";
    out << ".\n";
    if (!restored.kept.empty())
        out << "The file it replaced is kept as " << restored.kept << ".\n";
    return 0;
}

std::string sizeText(std::int64_t bytes)
{
    char text[64];
    if (bytes == 1)
        return "1 byte";
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB (%lld bytes)", bytes / 1024.0,
                      static_cast<long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f MB (%lld bytes)", bytes / (1024.0 * 1024.0),
                      static_cast<long long>(bytes));
    return text;
}

int stats(const Arguments &args, std::ostream &out, std::ostream &)
{
    const Stats stats = statsOf(args.positional[0]);
    out << "Items: " << stats.items;
    if (stats.leftOut > 0)
        out << " (" << stats.leftOut << " left out of the outline; quillet-db check names them)";
    out << "\nDepth: " << stats.depth << "\nNotes: " << sizeText(stats.noteBytes) << " in all\n";
    if (stats.largestNoteBytes > 0)
        out << "Largest note: " << sizeText(stats.largestNoteBytes) << ", ID "
            << stats.largestNoteId << ", key " << quote(stats.largestNoteKey) << ", "
            << quote(stats.largestNoteTitle) << "\n";
    out << "Items per level:\n";
    for (std::size_t level = 0; level < stats.itemsPerLevel.size(); ++level)
        out << "  " << level + 1 << ": " << stats.itemsPerLevel[level] << '\n';
    return 0;
}

int undelete(const Arguments &args, std::ostream &out, std::ostream &err)
{
    const std::string &copy = args.positional[0];
    const std::string &path = args.positional[1];
    std::optional<std::string> under;
    if (const auto option = args.options.find("--under"); option != args.options.end())
        under = option->second;
    if (args.options.contains("--top")) {
        if (under) {
            err << "quillet-db undelete: give --under KEY or --top, not both.\n";
            return 2;
        }
        under = std::string();
    }
    if (NotesSession::isOpenElsewhere(path))
        throw std::runtime_error("Quillet has " + path +
                                 " open. Close it first; nothing was put back.");
    NotesSession session;
    session.setPath(path);
    session.open();
    deletions::Restored done;
    try {
        done = session.putBack(copy, under);
    } catch (const deletions::PlaceTaken &taken) {
        return fail(err, std::string(taken.what()) +
                             " --under KEY or --top puts the items under another item.");
    }
    out << "Put back " << done.items << (done.items == 1 ? " item" : " items") << " from " << copy
        << " into " << path;
    if (under)
        out << " as \"" << done.key << "\"" << (done.newIds ? ", with new IDs" : "");
    out << ".\n";
    if (done.copyProblem.empty())
        out << "The copy is kept as " << done.keptAs << ".\n";
    else
        err << "quillet-db: the copy could not be renamed to say it was put back: "
            << done.copyProblem << "\n";
    return 0;
}

const std::array<Command, 12> kCommands{{
    {"init",
     1,
     {},
     "Usage: quillet-db init PATH [--welcome]\n\n"
     "Creates a new notes database at PATH with one item, \"My notes\", and the settings.\n"
     "--welcome adds a second item, \"Welcome to Quillet\", with a note on how to begin, as\n"
     "the program's first start does. Never overwrites: anything already at PATH is refused.\n",
     init,
     {"--welcome"}},
    {"check",
     1,
     {},
     "Usage: quillet-db check PATH\n\n"
     "Lists every problem that would stop Quillet or keep items out of its outline, the\n"
     "damage the engine's integrity check finds, and triggers or views Quillet does not make.\n"
     "Opens the file read-only. Exit status 1 when there are problems.\n",
     check},
    {"recover",
     1,
     {},
     "Usage: quillet-db recover PATH\n\n"
     "Rolls back a change that a crash cut short, which the journal beside PATH holds (the\n"
     "program does the same when it starts), says whether there was one, then checks PATH as\n"
     "check does. Never remove the journal by hand: without it the file is damaged. Refused\n"
     "while Quillet has PATH open.\n",
     recover},
    {"export", 1, {"--format", "--output"}, kExportHelp, exportCommand, {"--with-history"}},
    {"import", 2, {"--from"}, kImportHelp, importCommand},
    {"import-json",
     2,
     {},
     "Usage: quillet-db import-json JSONFILE PATH\n\n"
     "Makes a new notes database at PATH from a JSON export, every row with its own ID and\n"
     "values. Refuses an existing PATH, and a file whose keys break the key scheme or whose\n"
     "items come before their parents.\n",
     importNotes},
    {"backup",
     1,
     {"--keep"},
     "Usage: quillet-db backup PATH [--keep N]\n\n"
     "Copies the database into backups/ beside it, named by the date and time, and checks\n"
     "the copy with the engine's integrity check. Only then are the oldest backups beyond N\n"
     "(10 unless given) removed; a damaged database gives no backup and removes nothing.\n",
     backup},
    {"restore",
     2,
     {},
     "Usage: quillet-db restore BACKUP PATH\n\n"
     "Checks the backup, keeps the current PATH as PATH.before-restore-DATE-TIME, then puts\n"
     "the backup in its place in one step. Refused while Quillet has PATH open.\n",
     restore},
    {"stats",
     1,
     {},
     "Usage: quillet-db stats PATH\n\n"
     "Counts the items and the levels, the notes' total size, the largest note and the items\n"
     "on each level.\n",
     stats},
    {"undelete",
     2,
     {"--under"},
     "Usage: quillet-db undelete FILE PATH [--under KEY | --top]\n\n"
     "Puts back the items whose copy Quillet wrote to deleted/ when they were deleted, where\n"
     "they were, under their own keys and IDs. Refused, changing nothing, when any of the keys\n"
     "or IDs is taken, or when the item they go under is gone or was made again.\n"
     "--under KEY puts them as the last item under the item KEY (--top: the last top-level\n"
     "item), with new keys by the rule of adding, and new IDs where theirs are taken or would\n"
     "break the outline's order; their notes, formats and earlier versions go with them.\n"
     "Refused there, changing nothing: an item that holds nine items, a place deeper than 100\n"
     "levels. Always refused while Quillet has PATH open. Once done, FILE is renamed to say\n"
     "so: NAME.json becomes NAME.restored.json, and the notes window lists it no more.\n",
     undelete,
     {"--top"}},
    {"move", 2, {"--under", "--before", "--after"}, kMoveHelp, moveCommand, {"--top"}},
    {"history", 2, {"--show", "--restore"}, kHistoryHelp, historyCommand, {"--prune"}, 1},
}};

// Reads the positionals and the command's options ("--keep 3" or "--keep=3"); nothing when
// the arguments do not fit.
std::optional<Arguments> parse(const Command &command, const std::vector<std::string> &args,
                               std::ostream &err)
{
    Arguments parsed;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            parsed.positional.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (std::find(command.flags.begin(), command.flags.end(), name) != command.flags.end() &&
            equals == std::string::npos) {
            parsed.options[name];
            continue;
        }
        if (std::find(command.options.begin(), command.options.end(), name) ==
            command.options.end()) {
            err << "quillet-db " << command.name << ": unknown option \"" << name << "\".\n";
            return std::nullopt;
        }
        if (equals != std::string::npos) {
            parsed.options[name] = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            parsed.options[name] = args[++i];
        } else {
            err << "quillet-db " << command.name << ": " << name << " needs a value.\n";
            return std::nullopt;
        }
    }
    // The installed tool's PATH may be left out: one positional fewer than the command takes
    // (history takes the path alone with --prune). PATH comes before a KEY, otherwise last.
    const std::size_t takes = parsed.options.contains("--prune") ? 1 : command.positionals;
    if (build::kPerUserNotes && parsed.positional.size() + 1 == takes) {
        const std::string_view name = command.name;
        const bool keyFollows = name == "move" || name == "history";
        const std::string path = NotesSession::databaseIn(installed::userNotesFolder());
        err << "quillet-db: the notes database is " << path << ".\n";
        parsed.positional.insert(keyFollows ? parsed.positional.begin() : parsed.positional.end(),
                                 path);
    }
    if (parsed.positional.size() < command.fewestPositionals ||
        parsed.positional.size() > command.positionals) {
        err << "quillet-db " << command.name << ": takes " << command.positionals
            << (command.positionals == 1 ? " path" : " paths") << ", not "
            << parsed.positional.size() << ".\n";
        return std::nullopt;
    }
    return parsed;
}

} // namespace

int fail(std::ostream &err, const std::string &message)
{
    err << "quillet-db: " << message << '\n';
    return 1;
}

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    const char *usageEnd = build::kPerUserNotes ? installed::kDefaultPathHelp : "";
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? err : out) << kUsage << usageEnd;
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        out << "quillet-db " << build::kVersion << '\n';
        return 0;
    }
    const auto command = std::find_if(kCommands.begin(), kCommands.end(),
                                      [&](const Command &c) { return args[0] == c.name; });
    if (command == kCommands.end()) {
        err << "quillet-db: unknown command \"" << args[0] << "\".\n" << kUsage << usageEnd;
        return 2;
    }
    if (std::find(args.begin() + 1, args.end(), "--help") != args.end()) {
        out << command->help;
        return 0;
    }
    const std::optional<Arguments> parsed = parse(*command, args, err);
    if (!parsed) {
        err << command->help;
        return 2;
    }
    try {
        return command->run(*parsed, out, err);
    } catch (const StoreError &error) {
        return fail(err, (error.path().empty() ? "" : error.path() + ": ") + error.message());
    } catch (const NotesUnavailable &error) {
        return fail(err, (error.path().empty() ? "" : error.path() + ": ") + error.what());
    } catch (const std::system_error &error) {
        return fail(err, error.what());
    } catch (const std::runtime_error &error) {
        return fail(err, error.what());
    }
}

} // namespace quillet::dbtool
