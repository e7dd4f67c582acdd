#include "keeping/Deletions.h"

#include "keeping/DurableFiles.h"
#include "keeping/Places.h"
#include "store/Keys.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillet::deletions {

namespace {

// The first line of a note, cut to whole characters within the bytes given.
std::string firstLineOf(std::string_view note, std::size_t most)
{
    std::string_view line = note.substr(0, note.find_first_of("\r\n"));
    if (line.size() > most) {
        std::size_t end = most;
        while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
            --end;
        line = line.substr(0, end);
    }
    return std::string(line);
}

// "2026-12-07 13:47:00" from a copy's name, which begins "20261207-134700-".
std::string whenOf(const std::string &name)
{
    return name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2) + " " +
           name.substr(9, 2) + ":" + name.substr(11, 2) + ":" + name.substr(13, 2);
}

// What the list shows of a copy, read as a stream: the rows are counted, not kept.
void summarise(Copy &copy)
{
    std::ifstream in(copy.file, std::ios::binary);
    if (!in) {
        copy.problem = "it cannot be opened";
        return;
    }
    std::optional<std::string> itemPath;
    int shortest = 0;
    try {
        archive::read(in, {[&](const archive::Row &row) {
                               ++copy.items;
                               // The deleted item is the row with the shortest key: every other
                               // row of the copy lies below it.
                               const std::string key =
                                   keys::trimSpaces(row[1].toText().value_or(std::string()));
                               const int length = keys::length(key);
                               if (copy.items > 1 && length >= shortest)
                                   return;
                               shortest = length;
                               copy.key = key;
                               copy.title = row[2].toText().value_or(std::string());
                               copy.firstLine = firstLineOf(row[3].textView().value_or(""), 200);
                           },
                           [](std::int64_t, const Value &) {},
                           {},
                           [&](const std::string &path) {
                               itemPath = path;
                           }});
    } catch (const archive::FormatError &error) {
        Copy unread;
        unread.file = copy.file;
        unread.when = copy.when;
        unread.problem = error.what();
        copy = std::move(unread);
        return;
    }
    if (copy.items == 0)
        copy.problem = "it holds no items";
    copy.itemPath = itemPath.value_or(std::string());
}

} // namespace

std::string keepCopy(const std::string &databasePath, std::string_view key,
                     const std::vector<archive::Row> &rows, std::string_view itemPath)
{
    // Beside the file a link points to, with the database's own permissions: the copy holds
    // the notes that were deleted.
    durable::makeFolder(places::deletedFolder(databasePath), durable::folderModeFor(databasePath));
    std::ostringstream content;
    archive::writeRows(rows, content, itemPath);
    const std::string timestamp = durable::timestamp();
    std::string file = places::deletionCopyFile(databasePath, timestamp, key, 1);
    for (int n = 2;; ++n) {
        try {
            durable::writeFile(file, content.str(), durable::fileModeFor(databasePath));
            return file;
        } catch (const std::system_error &error) {
            // Two deletions in the same second: the second copy takes the next number.
            if (error.code() != std::errc::file_exists || n > 1000)
                throw;
        }
        file = places::deletionCopyFile(databasePath, timestamp, key, n);
    }
}

std::vector<Copy> listCopies(const std::string &databasePath)
{
    struct Found
    {
        Copy copy;
        std::string name;
        std::filesystem::file_time_type written;
    };
    std::vector<Found> found;
    std::error_code error;
    for (const auto &entry :
         std::filesystem::directory_iterator(places::deletedFolder(databasePath), error)) {
        const std::string name = entry.path().filename().string();
        if (!places::isDeletionCopyName(name) || !entry.is_regular_file(error))
            continue;
        Found copy;
        copy.copy.file = entry.path().string();
        copy.copy.when = whenOf(name);
        copy.name = name;
        copy.written = entry.last_write_time(error);
        summarise(copy.copy);
        found.push_back(std::move(copy));
    }
    // Two deletions in the same second have the same time in their names; the one written
    // later is the newer.
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        const std::string_view stampA = std::string_view(a.name).substr(0, 15);
        const std::string_view stampB = std::string_view(b.name).substr(0, 15);
        if (stampA != stampB)
            return stampA > stampB;
        if (a.written != b.written)
            return a.written > b.written;
        return a.name > b.name;
    });
    std::vector<Copy> copies;
    copies.reserve(found.size());
    for (Found &copy : found)
        copies.push_back(std::move(copy.copy));
    return copies;
}

} // namespace quillet::deletions
