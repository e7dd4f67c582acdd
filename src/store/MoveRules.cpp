#include "store/MoveRules.h"

#include "store/Keys.h"

#include <algorithm>
#include <bitset>

namespace quillet::moves {

namespace {

std::string quoted(const std::string &key)
{
    return "\"" + key + "\"";
}

Verdict refused(std::string why)
{
    return Verdict{{}, std::move(why)};
}

} // namespace

std::optional<std::string> newChildKey(const std::string &parent,
                                       const std::vector<std::string> &children)
{
    if (parent.empty()) {
        std::bitset<256> codes;
        char32_t highest = 0;
        for (const std::string &key : children) {
            std::size_t pos = 0;
            const std::optional<char32_t> code = keys::decode(key, pos);
            if (!code)
                continue;
            highest = std::max(highest, *code);
            if (*code < 256)
                codes.set(*code);
        }
        const std::optional<char32_t> code = keys::nextTopLevelCode(codes, highest);
        return code ? std::optional(keys::keyOfCode(*code)) : std::nullopt;
    }
    std::bitset<10> used;
    for (const std::string &key : children)
        if (key.size() == parent.size() + 1 && key.starts_with(parent) && key.back() >= '1' &&
            key.back() <= '9')
            used.set(static_cast<std::size_t>(key.back() - '0'));
    const std::optional<int> number = keys::nextChildNumber(used);
    return number ? std::optional(parent + static_cast<char>('0' + *number)) : std::nullopt;
}

std::string parentOf(const Place &place)
{
    switch (place.kind) {
    case Place::Kind::Under:
        return place.key;
    case Place::Kind::Before:
    case Place::Kind::After:
        return keys::parent(place.key);
    case Place::Kind::Top:
        break;
    }
    return {};
}

Verdict judge(const Shape &outline, const std::string &key, const Place &place)
{
    const auto missing = [](const std::string &of) {
        return refused("No item has the key " + quoted(of));
    };
    if (!outline.has(key))
        return missing(key);
    if (key == "A")
        return refused("The first item, \"A\", stays where it is");

    if (place.kind != Place::Kind::Top && !outline.has(place.key))
        return missing(place.key);
    if (place.kind == Place::Kind::Before || place.kind == Place::Kind::After) {
        if (place.key == key)
            return refused("An item cannot go beside itself");
        if (place.kind == Place::Kind::Before && place.key == "A")
            return refused("Nothing goes before the first item, \"A\"");
    }
    const std::string parent = parentOf(place);
    if (parent.starts_with(key))
        return refused("An item cannot go into its own subtree");

    // A new parent numbers it by the rule of adding; among its siblings it keeps its key.
    std::string newKey = key;
    if (keys::parent(key) != parent) {
        const std::optional<std::string> child = newChildKey(parent, outline.numberedUnder(parent));
        if (!child)
            return refused(parent.empty()
                               ? std::string("Every top-level key is taken")
                               : "The item " + quoted(parent) + " holds nine items already");
        newKey = *child;
    }
    const int levels = keys::length(newKey) + outline.levelsBelow(key);
    if (levels > keys::kMaxLevels)
        return refused("There the items would lie " + std::to_string(levels) +
                       " levels deep, and an outline goes at most " +
                       std::to_string(keys::kMaxLevels) + " levels deep");
    return Verdict{std::move(newKey), {}};
}

StepVerdict stepTo(const Shape &outline, const std::string &key, Step step)
{
    const std::optional<Place> place = placeOf(outline, key, step);
    if (!place) {
        if (!outline.has(key))
            return {std::nullopt, "No item has the key " + quoted(key)};
        switch (step) {
        case Step::Up:
            return {std::nullopt, "It is the first item at its level already"};
        case Step::Down:
            return {std::nullopt, "It is the last item at its level already"};
        case Step::Out:
            return {std::nullopt, "It is at the top level already"};
        case Step::In:
            return {std::nullopt, "No item above it at its level to go into"};
        }
    }
    Verdict verdict = judge(outline, key, *place);
    if (!verdict.allowed())
        return {std::nullopt, std::move(verdict.refusal)};
    return {place, {}};
}

std::optional<Place> placeOf(const Shape &outline, const std::string &key, Step step)
{
    const std::string parent = keys::parent(key);
    const std::vector<std::string> siblings = outline.childrenOf(parent);
    const auto self = std::find(siblings.begin(), siblings.end(), key);
    if (self == siblings.end())
        return std::nullopt;
    switch (step) {
    case Step::Up:
        if (self == siblings.begin())
            return std::nullopt;
        return Place{Place::Kind::Before, *(self - 1)};
    case Step::Down:
        if (self + 1 == siblings.end())
            return std::nullopt;
        return Place{Place::Kind::After, *(self + 1)};
    case Step::Out:
        if (parent.empty())
            return std::nullopt;
        return Place{Place::Kind::After, parent};
    case Step::In:
        if (self == siblings.begin())
            return std::nullopt;
        return Place{Place::Kind::Under, *(self - 1)};
    }
    return std::nullopt;
}

} // namespace quillet::moves
