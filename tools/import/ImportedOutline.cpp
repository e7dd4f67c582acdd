#include "tools/import/ImportedOutline.h"

#include "store/Keys.h"

#include <algorithm>

namespace quillet::dbtool {

std::size_t ImportedOutline::add(std::size_t parent, std::string title, std::string note,
                                 std::int64_t place)
{
    // Said as soon as it is so, so that a file of millions of items, or a folder whose links
    // lead into the same folders again and again, is not read to its end first.
    if (size() >= static_cast<std::size_t>(keys::kMaxItems))
        throw ImportRefused("the outline read holds more than the " +
                            std::to_string(keys::kMaxItems) +
                            " items Quillet shows; nothing was imported.");
    const std::size_t index = items.size();
    ImportedItem item;
    item.title = std::move(title);
    item.note = std::move(note);
    item.place = place;
    item.depth = items[parent].depth + 1;
    items.push_back(std::move(item));
    items[parent].children.push_back(index);
    // Said at once: a file of thousands of nested items would otherwise be read and grouped
    // whole first, only to be refused.
    if (items[index].depth > keys::kMaxLevels) {
        // The items above it, by a search back: parents come before their children here, and
        // this is said once.
        std::vector<std::size_t> path{index};
        for (std::size_t parentOf = parent; parentOf != 0;) {
            path.insert(path.begin(), parentOf);
            std::size_t above = parentOf - 1;
            while (above > 0 &&
                   std::find(items[above].children.begin(), items[above].children.end(),
                             parentOf) == items[above].children.end())
                --above;
            parentOf = above;
        }
        throw tooDeep(path, items[index].depth);
    }
    return index;
}

ImportRefused ImportedOutline::tooDeep(const std::vector<std::size_t> &path, int depth) const
{
    // A deep path is named by its first items and its last.
    constexpr std::size_t kShown = 3;
    std::string titles;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path.size() > 2 * kShown && i >= kShown && i < path.size() - kShown) {
            if (i == kShown)
                titles += " > …";
            continue;
        }
        titles += (i == 0 ? "\"" : " > ") + items[path[i]].title;
    }
    std::string named = "the item " + titles + "\"";
    if (placeName && items[path.back()].place >= 0)
        named += " (" + placeName(items[path.back()].place) + ")";
    return ImportRefused(named + " would lie " + std::to_string(depth) +
                         " levels deep, and an outline goes at most " +
                         std::to_string(keys::kMaxLevels) + " levels deep; nothing was imported.");
}

bool toUtf8(std::string &text)
{
    // Most text is ASCII or valid UTF-8: the copy is made only when some byte is not.
    if (keys::isUtf8(text))
        return false;
    std::size_t pos = 0;
    for (; pos < text.size(); ++pos) {
        if (static_cast<unsigned char>(text[pos]) < 0x80)
            continue;
        std::size_t next = pos;
        if (!keys::decode(text, next))
            break;
        pos = next - 1;
    }
    std::string out = text.substr(0, pos);
    out.reserve(text.size() + text.size() / 8);
    while (pos < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[pos]);
        std::size_t next = pos;
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++pos;
        } else if (keys::decode(text, next)) {
            out.append(text, pos, next - pos);
            pos = next;
        } else {
            out += keys::keyOfCode(byte);
            ++pos;
        }
    }
    text = std::move(out);
    return true;
}

} // namespace quillet::dbtool
