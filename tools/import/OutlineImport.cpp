#include "tools/import/OutlineImport.h"

#include "keeping/History.h"
#include "keeping/NewDatabase.h"
#include "session/NotesSession.h"
#include "store/Keys.h"
#include "store/MoveRules.h"
#include "store/OutlineRowCheck.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/Tables.h"
#include "tools/import/ImportReaders.h"
#include "tools/import/KeyFolding.h"

#include <fstream>
#include <sys/stat.h>

namespace quillet::dbtool {

namespace {

std::string nameOf(const std::string &file)
{
    std::string trimmed = file;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    return trimmed.substr(trimmed.rfind('/') + 1);
}

bool endsWith(const std::string &text, std::string_view end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Encrypted CherryTree documents are 7-Zip archives.
void refuseEncrypted(const std::string &file)
{
    char magic[6] = {};
    std::ifstream(file, std::ios::binary).read(magic, sizeof magic);
    if (endsWith(file, ".ctz") || endsWith(file, ".ctx") ||
        std::string_view(magic, sizeof magic) == std::string_view("7z\xBC\xAF\x27\x1C", 6))
        throw ImportRefused(file + " is an encrypted CherryTree document, which cannot be read. "
                                   "Open it in CherryTree and save it unencrypted (as .ctd or "
                                   ".ctb) first.");
}

ImportedOutline readAs(ImportFormat format, const std::string &file, ImportReport &report)
{
    struct stat info
    {
    };
    const bool found = ::stat(file.c_str(), &info) == 0;
    if (found && S_ISDIR(info.st_mode) && format != ImportFormat::Markdown)
        throw ImportRefused(file + " is a folder; only a Markdown folder is read as one.");
    // A pipe or a device would be waited on, or read without end.
    if (found && !S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))
        throw ImportRefused(file + " is not a plain file.");
    switch (format) {
    case ImportFormat::Opml:
        return readOpml(file, report);
    case ImportFormat::Markdown:
        return readMarkdownFolder(file, report);
    case ImportFormat::CherryTreeXml:
        refuseEncrypted(file);
        return readCherryTreeXml(file, report);
    case ImportFormat::CherryTreeSqlite:
        refuseEncrypted(file);
        return readCherryTreeSqlite(file, report);
    }
    return {};
}

void checkCount(std::size_t total)
{
    if (total > static_cast<std::size_t>(keys::kMaxItems))
        throw ImportRefused("the outline would hold " + std::to_string(total) +
                            " items, more than the " + std::to_string(keys::kMaxItems) +
                            " Quillet shows; nothing was imported.");
}

// Writes rows by the outline's own row check: each must join the outline as the program
// loads it, after the rows already in the table.
class RowWriter
{
public:
    explicit RowWriter(Connection &db)
        : m_insert(db)
    {
    }

    OutlineRowCheck &check() { return m_check; }

    void write(const std::string &key, const ImportedItem &item)
    {
        const OutlineRow row{0, Value::text(key), Value::text(item.title),
                             Value::integer(item.expanded ? 1 : 0)};
        const CheckedRow checked = m_check.check(row);
        if (!checked.problems.empty())
            throw std::logic_error(
                "the item \"" + item.title + "\" with the key \"" + key +
                "\" would not load: " + describe(checked.problems[0], row, checked, std::nullopt));
        m_insert.insert(key, item.title, item.note, item.expanded, item.format);
    }

    void writeAll(const ImportedOutline &outline, const std::string &under)
    {
        forEachKeyed(outline, under,
                     [&](const std::string &key, const ImportedItem &item) { write(key, item); });
    }

private:
    ItemInserter m_insert;
    OutlineRowCheck m_check;
};

// Adds the outline under a new top-level item of an existing database, in one transaction.
void addToDatabase(const std::string &path, ImportedOutline &outline, const std::string &title,
                   ImportReport &report)
{
    // Asked again just before the file is opened, and never after: closing the descriptor the
    // question opens would drop the engine's locks of this process on the file.
    if (NotesSession::isOpenElsewhere(path))
        throw std::runtime_error("Quillet has " + path +
                                 " open. Close it first; nothing was imported.");
    // Opened for writing, as the program opens it: new IDs a crash left waiting for the notes'
    // versions are settled before rows are made that could take them.
    NotesSession session;
    session.setPath(path);
    session.open();
    session.writeTables([&](Connection &db) {
        RowWriter writer(db);
        // The new item's key by the program's rule over every key in the table, rows the
        // outline leaves out included: an item "Q1" left without its parent must not find one
        // in the imported item.
        std::vector<std::string> keys;
        scanOutlineRows(
            db, [&](const OutlineRow &row) { keys.push_back(writer.check().check(row).key); });
        const std::optional<std::string> key = moves::newChildKey({}, keys);
        if (!key)
            throw ImportRefused("every top-level key of " + path +
                                " is taken, so there is no room for one more top-level item; "
                                "nothing was imported.");
        report.groups = foldIntoKeys(outline, kChildRoom);
        checkDepth(outline, 1);
        checkCount(keys.size() + outline.size() + 1);
        ImportedItem top;
        top.title = title;
        writer.write(*key, top);
        writer.writeAll(outline, *key);
    });
    report.into = title;
}

} // namespace

std::optional<ImportFormat> formatOfName(const std::string &file)
{
    struct stat info
    {
    };
    if (::stat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return ImportFormat::Markdown;
    if (endsWith(file, ".ctz") || endsWith(file, ".ctx"))
        refuseEncrypted(file);
    if (endsWith(file, ".opml"))
        return ImportFormat::Opml;
    if (endsWith(file, ".ctd"))
        return ImportFormat::CherryTreeXml;
    if (endsWith(file, ".ctb"))
        return ImportFormat::CherryTreeSqlite;
    return std::nullopt;
}

ImportReport importOutline(const std::string &file, const std::string &path,
                           std::optional<ImportFormat> format)
{
    if (!format)
        format = formatOfName(file);
    if (!format)
        throw ImportRefused("the name of " + file +
                            " does not tell its format; name it with --from opml, markdown, "
                            "ctd or ctb.");
    struct stat info
    {
    };
    const bool adding = ::lstat(path.c_str(), &info) == 0;
    // Said before a large file is read; the writing checks again.
    if (adding) {
        if (NotesSession::isOpenElsewhere(path))
            throw std::runtime_error("Quillet has " + path +
                                     " open. Close it first; nothing was imported.");
        schema::verifyFile(path);
    }
    ImportReport report;
    ImportedOutline outline = readAs(*format, file, report);
    report.items = outline.size();
    if (outline.size() == 0)
        throw ImportRefused(file + " holds no items; nothing was imported.");
    if (adding) {
        addToDatabase(path, outline, "Imported from " + nameOf(file), report);
        return report;
    }
    report.groups = foldIntoKeys(outline, kTopLevelRoom);
    checkDepth(outline, 0);
    checkCount(outline.size());
    NotesSession::makeNew(
        path,
        [&](Connection &db, NoteHistory &) {
            newdatabase::insertSettings(db);
            RowWriter(db).writeAll(outline, {});
        },
        modeFromSource(file));
    return report;
}

} // namespace quillet::dbtool
