#include "faults/crash/WriterChoices.h"

#include "keeping/Archive.h"
#include "store/Keys.h"

#include <algorithm>
#include <fstream>
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

std::optional<std::size_t> chooseUndelete(Connection &db, const std::vector<KeptCopy> &copies,
                                          const std::vector<std::string> &keys, int maxLevels,
                                          std::mt19937_64 &random, Write &write)
{
    if (copies.empty())
        return std::nullopt;
    const std::size_t chosen = below(random, copies.size());
    const KeptCopy &copy = copies[chosen];
    std::ifstream in(copy.file, std::ios::binary);
    std::vector<archive::Row> rows = archive::read(in).rows;
    std::sort(rows.begin(), rows.end(), [](const archive::Row &a, const archive::Row &b) {
        return *a[0].integer() < *b[0].integer();
    });
    std::int64_t copyId = 0;
    int deepest = 0;
    for (const archive::Row &row : rows) {
        const std::string key = keys::trimSpaces(row[1].textView().value_or(""));
        deepest = std::max(deepest, keys::length(key) - keys::length(copy.key));
        if (key == copy.key)
            copyId = *row[0].integer();
    }
    const std::vector<KeyedRow> outline = moves::keyedRows(db);
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::string parent =
            below(random, 4) == 0 ? std::string() : keys[below(random, keys.size())];
        // A row there with a higher ID than the copy's item means new IDs for every row.
        const bool renumbered = std::any_of(outline.begin(), outline.end(), [&](const auto &row) {
            return row.id > copyId && (row.key == parent || keys::parent(row.key) == parent);
        });
        const std::optional<std::string> newKey =
            moves::newChildKey(parent, moves::RowsShape(outline).numberedUnder(parent));
        if (!renumbered || !newKey || keys::length(*newKey) + deepest > maxLevels)
            continue;
        write = Write{};
        write.kind = Write::Kind::Undelete;
        write.key = copy.key;
        write.place = parent.empty() ? Write::Place::Top : Write::Place::Under;
        write.placeKey = parent;
        write.newKey = *newKey;
        for (const archive::Row &row : rows) {
            const std::optional<std::string_view> text =
                row[3].type() == Value::Type::Text ? row[3].textView() : std::nullopt;
            write.rows.push_back(
                {*newKey + keys::trimSpaces(row[1].textView().value_or("")).substr(copy.key.size()),
                 std::string(row[2].textView().value_or("")), text ? textDigest(*text) : "Null",
                 row[4].toInt32().value_or(-1)});
        }
        return chosen;
    }
    return std::nullopt;
}

} // namespace quillet::crashtest
