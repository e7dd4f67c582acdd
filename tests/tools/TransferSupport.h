#pragma once

#include "store/Keys.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "support/TestDatabase.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Outlines written into a database and read back as plain rows, for the import and export
// tests: an outline is the list of its items in outline order, each with its depth.
namespace quillet::test {

struct Item
{
    int depth = 1;
    std::string title;
    std::string note;
    bool operator==(const Item &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const Item &item)
{
    return out << "{" << item.depth << ", \"" << item.title << "\", \"" << item.note << "\"}";
}

// Makes a database holding the items, keys numbered as the program numbers them, rows in
// outline order, and 30 settings.
inline void makeOutline(const std::string &path, const std::vector<Item> &items)
{
    createEmptyDatabase(path);
    Connection db(path, Connection::Mode::ReadWrite);
    Statement insert(db, "INSERT INTO mynodes (Kleidi, MyText, Keimeno) VALUES (?, ?, ?)");
    std::vector<std::string> keys;     // by depth, the last key given
    std::vector<int> numbers{'A' - 1}; // by depth, the last number given
    for (const Item &item : items) {
        keys.resize(static_cast<std::size_t>(item.depth));
        numbers.resize(static_cast<std::size_t>(item.depth), 0);
        const int number = ++numbers.back();
        keys.back() = item.depth == 1 ? keys::keyOfCode(static_cast<char32_t>(number))
                                      : keys[keys.size() - 2] + std::to_string(number);
        numbers.push_back(0);
        insert.reset();
        insert.bind(1, keys.back());
        insert.bind(2, item.title);
        insert.bind(3, item.note);
        insert.run();
    }
    for (int position = 1; position <= 30; ++position)
        db.exec("INSERT INTO parame (timilo) VALUES (0)");
}

// The rows in ID order, each item's depth told by its key: the outline order of rows written
// parents first.
inline std::vector<Item> readOutline(const std::string &path)
{
    Connection db(path, Connection::Mode::ReadOnly);
    Statement read(db, "SELECT Kleidi, MyText, Keimeno FROM mynodes ORDER BY ID");
    std::vector<Item> items;
    while (read.step())
        items.push_back(
            Item{keys::length(read.columnText(0)), read.columnText(1), read.columnText(2)});
    return items;
}

// The items below the first one, a level higher: what was imported under "Imported from".
inline std::vector<Item> below(std::vector<Item> items)
{
    items.erase(items.begin());
    for (Item &item : items)
        --item.depth;
    return items;
}

inline std::string readText(const std::string &path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

} // namespace quillet::test
