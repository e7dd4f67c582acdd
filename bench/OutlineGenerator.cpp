#include "OutlineGenerator.h"

#include "store/NewTables.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/Tables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace quillet {

namespace {

constexpr int kTopLevel = 50;
constexpr int kMaxDepth = 5;
constexpr int kMaxChildren = 9;
constexpr std::size_t kMinNoteBytes = 600;
constexpr std::size_t kMaxNoteBytes = 1400;
// The longest piece a note grows by in one step (a separator and the longest word) stays
// below this, so a note started under the limit less this margin never passes the limit.
constexpr std::size_t kLongestPiece = 30;

// SplitMix64: tiny, and the same sequence everywhere, unlike the standard distributions whose
// results differ between library implementations.
class Random
{
public:
    explicit Random(std::uint32_t seed)
        : m_state(0x9E3779B97F4A7C15ull ^ seed)
    {
    }

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // A whole number from 0 to bound - 1 (the bias of a 64-bit modulo is negligible here).
    int below(int bound) { return static_cast<int>(next() % static_cast<std::uint64_t>(bound)); }

    // A number in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t m_state;
};

// Descendants an item at this depth (1 = top level) can have at most under the key scheme.
int maxDescendants(int depth)
{
    int total = 0;
    int level = 1;
    for (int d = depth; d < kMaxDepth; ++d) {
        level *= kMaxChildren;
        total += level;
    }
    return total;
}

// The mean number of children b for which top-level items with full five-level subtrees of
// branching b hold `items` in all: top * (1 + b + b^2 + b^3 + b^4) = items.
double meanBranching(int items, int top)
{
    const double wanted = static_cast<double>(items) / top;
    double low = 0.0;
    double high = kMaxChildren;
    for (int step = 0; step < 60; ++step) {
        const double b = (low + high) / 2;
        double total = 0.0;
        double power = 1.0;
        for (int d = 0; d < kMaxDepth; ++d, power *= b)
            total += power;
        (total < wanted ? low : high) = b;
    }
    return low;
}

struct Item
{
    std::string key;
    int depth = 1;
    int firstChild = -1; // children are contiguous in breadth-first order
    int childCount = 0;
};

// Shapes the outline breadth-first. Each item gets a random number of children around the
// mean branching, but never fewer than the items still to place need: the remaining items
// must always fit in the subtrees still open, or the total could not come out exact.
std::vector<Item> shapeOutline(int items, int top, Random &random)
{
    std::vector<Item> outline;
    outline.reserve(static_cast<std::size_t>(items));
    for (int i = 0; i < top; ++i)
        outline.push_back(Item{std::string(1, static_cast<char>('A' + i)), 1, -1, 0});

    const double mean = meanBranching(items, std::max(top, 1));
    const double spread = std::min(mean, kMaxChildren - mean);
    int remaining = items - top;
    long long capacity = static_cast<long long>(top) * maxDescendants(1);
    for (std::size_t at = 0; at < outline.size() && remaining > 0; ++at) {
        const int depth = outline[at].depth;
        capacity -= maxDescendants(depth);
        if (depth == kMaxDepth)
            continue;
        const int perChild = 1 + maxDescendants(depth + 1);
        const long long shortfall = remaining - capacity;
        const int needed =
            shortfall > 0 ? static_cast<int>((shortfall + perChild - 1) / perChild) : 0;
        // A uniform pick in [mean - spread, mean + spread], rounded at random so that the
        // fractional part of the mean is kept on average.
        const double wish = mean - spread + 2 * spread * random.unit();
        int children = static_cast<int>(std::floor(wish + random.unit()));
        children = std::clamp(children, needed, kMaxChildren);
        children = std::min(children, remaining);

        outline[at].firstChild = static_cast<int>(outline.size());
        outline[at].childCount = children;
        for (int c = 1; c <= children; ++c)
            outline.push_back(Item{outline[at].key + static_cast<char>('0' + c), depth + 1, -1, 0});
        remaining -= children;
        capacity += static_cast<long long>(children) * maxDescendants(depth + 1);
    }
    if (remaining != 0)
        throw std::logic_error("the outline generator could not place every item");
    return outline;
}

constexpr std::array<std::string_view, 24> kLatinWords{
    "notes",  "outline", "meeting", "draft",  "review", "budget",  "chapter",  "garden",
    "letter", "summary", "plan",    "travel", "recipe", "invoice", "project",  "remember",
    "call",   "archive", "lorem",   "ipsum",  "dolor",  "amet",    "tomorrow", "idea"};

// Greek letters take two bytes each in UTF-8.
constexpr std::array<std::string_view, 20> kGreekWords{
    "σημείωση",  "κείμενο",     "ημέρα",    "εργασία", "σχέδιο",  "βιβλίο",  "ταξίδι",
    "συνάντηση", "περίληψη",    "κεφάλαιο", "γράμμα",  "κήπος",   "αρχείο",  "αύριο",
    "ιδέα",      "λογαριασμός", "τηλέφωνο", "σπίτι",   "δουλειά", "καλημέρα"};

template <std::size_t N>
std::string_view pick(const std::array<std::string_view, N> &words, Random &random)
{
    return words[static_cast<std::size_t>(random.below(static_cast<int>(N)))];
}

std::string capitalised(std::string_view word)
{
    std::string text(word);
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

// Sentences of mixed Latin and Greek words, in paragraphs, from 600 to 1,400 bytes, without
// leading or trailing spaces so that the note reads back exactly as written.
std::string noteText(Random &random)
{
    const std::size_t target =
        kMinNoteBytes + static_cast<std::size_t>(random.below(
                            static_cast<int>(kMaxNoteBytes - kLongestPiece - kMinNoteBytes + 1)));
    std::string text = capitalised(pick(kLatinWords, random));
    while (text.size() < target) {
        const int kind = random.below(20);
        if (kind == 0)
            text += ".\n" + capitalised(pick(kLatinWords, random));
        else if (kind < 3)
            text += ". " + capitalised(pick(kLatinWords, random));
        else if (kind < 11)
            text += ' ' + std::string(pick(kGreekWords, random));
        else
            text += ' ' + std::string(pick(kLatinWords, random));
    }
    text += '.';
    return text;
}

void checkPlace(const std::string &path, int items)
{
    if (items < 0 || items > kMaxOutlineItems)
        throw std::invalid_argument("An outline holds 0 to " + std::to_string(kMaxOutlineItems) +
                                    " items, not " + std::to_string(items) + ".");
    if (std::filesystem::symlink_status(path).type() != std::filesystem::file_type::not_found)
        throw std::runtime_error("Will not write an outline over the existing " + path + ".");
}

// Writes the outline's rows and the settings into a new database at path; roots are the
// top-level items in the order their rows go out.
void writeOutline(const std::string &path, const std::vector<Item> &outline,
                  const std::vector<int> &roots, Random &random)
{
    Connection connection(path, Connection::Mode::Create);
    newdatabase::makeTables(connection);
    Transaction transaction(connection);

    // Rows take the IDs 1, 2, 3 ... in the order written, as a new table gives them.
    ItemInserter insertItem(connection);
    const NoteFormat formatted{"DejaVu Sans", 12.0F, 255, 16777215, true, false};
    // Rows go out depth first, each item followed by its subtree, as a person writing the
    // outline top to bottom would have added them; every parent comes before its children.
    std::int64_t id = 0;
    std::vector<int> pending(roots.rbegin(), roots.rend());
    while (!pending.empty()) {
        const Item &item = outline[static_cast<std::size_t>(pending.back())];
        pending.pop_back();
        for (int c = item.childCount - 1; c >= 0; --c)
            pending.push_back(item.firstChild + c);

        ++id;
        // Drawn in this order, so that a seed gives the same outline as it always did.
        const std::string note = noteText(random);
        const bool expanded = item.childCount > 0 && random.below(3) == 0;
        const bool hasFormat = random.below(10) == 0;
        insertItem.insert(item.key, "Item " + std::to_string(id), note, expanded,
                          hasFormat ? std::optional<NoteFormat>(formatted) : std::nullopt);
    }

    // The window's left, top, width and height in twips, then the selected index.
    SettingInserter insertSetting(connection);
    constexpr std::array<std::int64_t, 5> kLeading{600, 600, 14340, 9465, 1};
    for (std::size_t position = 0; position < 30; ++position)
        insertSetting.insert(
            std::nullopt,
            Value::integer(position < kLeading.size() ? kLeading[position] : std::int64_t{0}));
    transaction.commit();
}

} // namespace

void generateOutline(const std::string &path, int items, std::uint32_t seed)
{
    checkPlace(path, items);
    Random random(seed);
    const int top = std::min(items, kTopLevel);
    std::vector<int> roots(static_cast<std::size_t>(top));
    for (int i = 0; i < top; ++i)
        roots[static_cast<std::size_t>(i)] = i;
    writeOutline(path, shapeOutline(items, top, random), roots, random);
}

void generateOutlineWithSubtree(const std::string &path, int items, int subtreeItems,
                                std::uint32_t seed)
{
    checkPlace(path, items);
    if (subtreeItems < 1 || subtreeItems > 1 + maxDescendants(1) ||
        items - subtreeItems < kTopLevel - 1)
        throw std::invalid_argument("No outline of " + std::to_string(items) +
                                    " items holds a subtree of " + std::to_string(subtreeItems) +
                                    " beside its other top-level items.");
    Random random(seed);
    std::vector<Item> outline = shapeOutline(items - subtreeItems, kTopLevel - 1, random);
    const std::vector<Item> subtree = shapeOutline(subtreeItems, 1, random);
    // The other items' first characters move up one from "B" on, to make room for the
    // subtree's "B".
    for (Item &item : outline)
        if (item.key[0] >= 'B')
            ++item.key[0];
    const int offset = static_cast<int>(outline.size());
    for (Item item : subtree) {
        item.key[0] = 'B';
        if (item.firstChild >= 0)
            item.firstChild += offset;
        outline.push_back(item);
    }
    std::vector<int> roots{0, offset};
    for (int i = 1; i < kTopLevel - 1; ++i)
        roots.push_back(i);
    writeOutline(path, outline, roots, random);
}

bool checkGenerated(const std::string &path, int items)
{
    Connection connection(path, Connection::Mode::ReadOnly);
    // The generator's keys are ASCII: a parent's key is its child's without the last character,
    // and a parent's first child's key is its own with "1" appended.
    std::map<std::string, std::int64_t> idOfKey;
    std::vector<std::string> expandedKeys;
    std::int64_t rows = 0, top = 0, depth = 0, formatted = 0, shortest = 0, longest = 0;
    forEachStoredRow(connection, [&](const StoredRow &row) {
        const std::string key = row[1].toText().value_or("");
        idOfKey.emplace(key, *row[0].integer());
        const auto length = static_cast<std::int64_t>(key.size());
        top += length == 1 ? 1 : 0;
        depth = std::max(depth, length);
        if (row[4].integer() == 1)
            expandedKeys.push_back(key);
        formatted += row[5].toDouble().value_or(0) != 0 ? 1 : 0;
        const auto bytes = static_cast<std::int64_t>(row[3].textView().value_or("").size());
        shortest = rows == 0 ? bytes : std::min(shortest, bytes);
        longest = std::max(longest, bytes);
        ++rows;
    });
    const auto hasChildren = [&](const std::string &key) {
        return idOfKey.contains(key + '1');
    };
    std::int64_t parents = 0, orphans = 0, expandedLeaves = 0;
    for (const auto &[key, id] : idOfKey) {
        parents += hasChildren(key) ? 1 : 0;
        const auto parent = idOfKey.find(key.substr(0, key.size() - 1));
        if (key.size() > 1 && (parent == idOfKey.end() || parent->second >= id))
            ++orphans;
    }
    for (const std::string &key : expandedKeys)
        expandedLeaves += hasChildren(key) ? 0 : 1;
    const auto expanded = static_cast<std::int64_t>(expandedKeys.size());
    std::int64_t settings = 0;
    forEachSetting(connection, [&](std::int64_t, const Value &) { ++settings; });

    std::printf("outline %6d: %lld rows, %lld top-level, depth %lld, %lld with children "
                "(%lld expanded), %lld formatted, notes %lld-%lld bytes\n",
                items, static_cast<long long>(rows), static_cast<long long>(top),
                static_cast<long long>(depth), static_cast<long long>(parents),
                static_cast<long long>(expanded), static_cast<long long>(formatted),
                static_cast<long long>(shortest), static_cast<long long>(longest));
    return rows == items && depth <= 5 && orphans == 0 && expandedLeaves == 0 && shortest >= 600 &&
           longest <= 1400 && settings == 30;
}

} // namespace quillet
