#include "faults/crash/WriterChoices.h"

#include "store/Keys.h"

#include <algorithm>
#include <string_view>

namespace quillet::crashtest {

namespace {

std::size_t below(std::mt19937_64 &random, std::size_t n)
{
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
}

} // namespace

std::string utf8(unsigned codePoint)
{
    std::string out;
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}

std::string makeText(std::mt19937_64 &random, std::size_t size)
{
    static const char *const kWords[] = {"lorem ",
                                         "ipsum ",
                                         "dolor ",
                                         "sit ",
                                         "amet, ",
                                         "\xce\xbb\xcf\x8c\xce\xb3\xce\xbf\xcf\x82 ",
                                         "\xce\xbd\xce\xb5\xcf\x81\xcf\x8c ",
                                         "notes ",
                                         "item\n",
                                         "\"quoted\" ",
                                         "it's ",
                                         "\xce\x91\xce\xb8\xce\xae\xce\xbd\xce\xb1\n",
                                         "\t",
                                         "0123456789 "};
    constexpr std::size_t kCount = sizeof kWords / sizeof kWords[0];
    std::string text;
    text.reserve(size);
    while (true) {
        const std::string_view word = kWords[below(random, kCount)];
        if (text.size() + word.size() > size)
            break;
        text += word;
    }
    text.append(size - text.size(), '.');
    return text;
}

std::optional<moves::Plan> chooseMove(Connection &db, const std::vector<std::string> &keys,
                                      int maxLevels, std::mt19937_64 &random, Write &write)
{
    if (keys.size() < 2)
        return std::nullopt;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::string &key = keys[below(random, keys.size())];
        const std::string &other = keys[below(random, keys.size())];
        if (key == "A")
            continue;
        static constexpr Write::Place kPlaces[] = {Write::Place::Under, Write::Place::Before,
                                                   Write::Place::After, Write::Place::Top};
        const Write::Place place = kPlaces[below(random, 4)];
        moves::Place where;
        where.kind = place == Write::Place::Under    ? moves::Place::Kind::Under
                     : place == Write::Place::Before ? moves::Place::Kind::Before
                     : place == Write::Place::After  ? moves::Place::Kind::After
                                                     : moves::Place::Kind::Top;
        if (place != Write::Place::Top)
            where.key = other;
        try {
            moves::Plan plan = moves::plan(db, key, where);
            if (std::any_of(plan.changes.begin(), plan.changes.end(),
                            [&](const moves::RowChange &change) {
                                return keys::length(change.newKey) > maxLevels;
                            }))
                continue;
            write = Write{};
            write.kind = Write::Kind::Move;
            write.key = key;
            write.place = place;
            write.placeKey = where.key;
            write.newKey = plan.newKey;
            return plan;
        } catch (const moves::MoveRefused &) {
        }
    }
    return std::nullopt;
}

} // namespace quillet::crashtest
