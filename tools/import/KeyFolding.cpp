#include "tools/import/KeyFolding.h"

#include "store/Keys.h"

#include <bitset>
#include <utility>

namespace quillet::dbtool {

namespace {

// A title as a group's title shows it: at most this many characters.
constexpr std::size_t kShownTitle = 40;

std::string shortTitle(const std::string &title)
{
    std::size_t pos = 0;
    for (std::size_t count = 0; pos < title.size() && count < kShownTitle; ++count) {
        std::size_t next = pos;
        pos = keys::decode(title, next) ? next : pos + 1;
    }
    return pos < title.size() ? title.substr(0, pos) + "…" : title;
}

class Folder
{
public:
    explicit Folder(ImportedOutline &outline)
        : m_outline(outline)
    {
    }

    // The children of one item, regrouped so that at most room of them stay directly under it.
    std::vector<std::size_t> group(std::vector<std::size_t> children, std::size_t room)
    {
        const std::size_t count = children.size();
        if (count <= room)
            return children;
        // Each group at this level holds up to span items: the smallest power of nine that
        // makes room enough. The children are then shared out evenly among as few groups as
        // that allows, and each group is split again below until nine fit.
        std::size_t span = 1;
        while (room * span < count)
            span *= kChildRoom;
        const std::size_t groups = (count + span - 1) / span;
        std::vector<std::size_t> grouped;
        for (std::size_t g = 0; g < groups; ++g) {
            std::vector<std::size_t> slice(children.begin() + static_cast<long>(g * count / groups),
                                           children.begin() +
                                               static_cast<long>((g + 1) * count / groups));
            // The slice holds the children as read, never groups: the groups inside it are made
            // below, after its title.
            const std::string title = "More (" + shortTitle(titleOf(slice.front())) + " … " +
                                      shortTitle(titleOf(slice.back())) + ")";
            std::vector<std::size_t> inside = group(std::move(slice), kChildRoom);
            const std::size_t index = m_outline.items.size();
            m_outline.items.emplace_back();
            m_outline.items[index].title = title;
            m_outline.items[index].children = std::move(inside);
            ++m_made;
            grouped.push_back(index);
        }
        return grouped;
    }

    std::size_t made() const { return m_made; }

private:
    ImportedOutline &m_outline;
    std::size_t m_made = 0;

    const std::string &titleOf(std::size_t item) const { return m_outline.items[item].title; }
};

} // namespace

std::size_t foldIntoKeys(ImportedOutline &outline, std::size_t topRoom)
{
    Folder folder(outline);
    // Groups are added past the end as the loop goes; they hold no more than fits already.
    const std::size_t read = outline.items.size();
    for (std::size_t item = 0; item < read; ++item) {
        if (outline.items[item].children.size() <= (item == 0 ? topRoom : kChildRoom))
            continue;
        // group() adds items, which may move the vector: the parent is looked up again after.
        std::vector<std::size_t> grouped =
            folder.group(std::move(outline.items[item].children), item == 0 ? topRoom : kChildRoom);
        outline.items[item].children = std::move(grouped);
    }
    return folder.made();
}

void checkDepth(const ImportedOutline &outline, int levelsAbove)
{
    // Depth first, the path to the current item kept: the groups folding made are counted as
    // the levels they are.
    std::vector<std::pair<std::size_t, std::size_t>> open{{0, 0}}; // item, next child
    std::vector<std::size_t> path;
    while (!open.empty()) {
        auto &[item, next] = open.back();
        const std::vector<std::size_t> &children = outline.items[item].children;
        if (next == children.size()) {
            open.pop_back();
            if (!path.empty())
                path.pop_back();
            continue;
        }
        const std::size_t child = children[next++];
        path.push_back(child);
        if (static_cast<int>(path.size()) + levelsAbove > keys::kMaxLevels) {
            // A group is named by the first item read below it.
            while (outline.items[path.back()].place < 0 &&
                   !outline.items[path.back()].children.empty())
                path.push_back(outline.items[path.back()].children.front());
            throw outline.tooDeep(path, static_cast<int>(path.size()) + levelsAbove);
        }
        open.emplace_back(child, 0);
    }
}

void forEachKeyed(const ImportedOutline &outline, const std::string &under,
                  const std::function<void(const std::string &key, const ImportedItem &)> &visit)
{
    // Keys of the items still to visit, last first, so that the walk goes in outline order.
    struct Pending
    {
        std::size_t item;
        std::string key;
    };
    std::vector<Pending> pending;
    const auto push = [&](std::size_t parent, const std::string &parentKey) {
        const std::vector<std::size_t> &children = outline.items[parent].children;
        std::vector<Pending> keyed;
        keyed.reserve(children.size());
        std::bitset<256> codes;
        char32_t highest = 0;
        std::bitset<10> numbers;
        for (const std::size_t child : children) {
            std::string key;
            if (parentKey.empty()) {
                const std::optional<char32_t> code = keys::nextTopLevelCode(codes, highest);
                if (!code)
                    throw std::logic_error("more top-level items than the keys allow");
                codes.set(*code);
                highest = *code;
                key = keys::keyOfCode(*code);
            } else {
                const std::optional<int> number = keys::nextChildNumber(numbers);
                if (!number)
                    throw std::logic_error("more than nine children under one item");
                numbers.set(static_cast<std::size_t>(*number));
                key = parentKey + static_cast<char>('0' + *number);
            }
            keyed.push_back(Pending{child, std::move(key)});
        }
        for (auto at = keyed.rbegin(); at != keyed.rend(); ++at)
            pending.push_back(std::move(*at));
    };
    push(0, under);
    while (!pending.empty()) {
        Pending next = std::move(pending.back());
        pending.pop_back();
        visit(next.key, outline.items[next.item]);
        push(next.item, next.key);
    }
}

} // namespace quillet::dbtool
