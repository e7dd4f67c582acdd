#include "session/NotesSession.h"
#include "store/MovePlan.h"
#include "tools/commands/Commands.h"

#include <ostream>
#include <stdexcept>

namespace quillet::dbtool {

const char *const kMoveHelp =
    "Usage: quillet-db move PATH KEY (--under KEY | --before KEY | --after KEY | --top)\n\n"
    "Moves the item with the key KEY, with everything under it, to be the last item under\n"
    "another, just before or after another among its siblings, or the last top-level item.\n"
    "The moved items take new keys where their parent changes, and new IDs only where the\n"
    "order of the outline needs them; their notes, formats, open state and earlier versions\n"
    "go with them. Refused, changing nothing: the first item \"A\", anything before it, a\n"
    "place inside the item itself, a parent with nine items, a place deeper than 100 levels,\n"
    "and while Quillet has PATH open.\n";

int moveCommand(const Arguments &args, std::ostream &out, std::ostream &err)
{
    const std::string &path = args.positional[0];
    const std::string &key = args.positional[1];
    moves::Place place;
    int given = 0;
    for (const auto &[option, kind] : {std::pair{"--under", moves::Place::Kind::Under},
                                       {"--before", moves::Place::Kind::Before},
                                       {"--after", moves::Place::Kind::After}}) {
        if (const auto found = args.options.find(option); found != args.options.end()) {
            place = {kind, found->second};
            ++given;
        }
    }
    if (args.options.contains("--top")) {
        place = {moves::Place::Kind::Top, {}};
        ++given;
    }
    if (given != 1) {
        err << "quillet-db move: give one place: --under KEY, --before KEY, --after KEY or "
               "--top.\n";
        return 2;
    }
    if (NotesSession::isOpenElsewhere(path))
        throw std::runtime_error("Quillet has " + path +
                                 " open. Close it first; nothing was moved.");
    NotesSession session;
    session.setPath(path);
    session.open();
    try {
        const moves::Plan done = session.moveItem(key, place);
        std::size_t renumbered = 0;
        for (const moves::RowChange &change : done.changes)
            renumbered += change.oldId != change.newId ? 1 : 0;
        out << "Moved \"" << key << "\" to \"" << done.newKey << "\"";
        if (renumbered > 0)
            out << "; " << renumbered << (renumbered == 1 ? " row" : " rows")
                << " took new IDs to keep the outline's order";
        out << ".\n";
    } catch (const moves::MoveRefused &refused) {
        return fail(err, refused.what());
    }
    return 0;
}

} // namespace quillet::dbtool
