#include "TransferSupport.h"
#include "keeping/NewDatabase.h"
#include "tools/commands/DbTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

// Suite names start with "tools" so that `ctest -R tools` selects exactly these tests.
namespace quillet::test {
namespace {

bool mentions(const std::vector<std::string> &lines, const std::string &part)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) {
        return line.find(part) != std::string::npos;
    });
}

// Made and written relative to a folder's descriptor, so that they reach deeper than a path.
int makeFolderIn(int at, const std::string &name)
{
    EXPECT_EQ(::mkdirat(at, name.c_str(), 0700), 0) << name;
    return ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void writeFileIn(int at, const std::string &name, const std::string &bytes)
{
    const int fd = ::openat(at, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << name;
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

// Empties a folder however deep it goes, which the temporary folder's own removal, by paths,
// cannot.
void removeInside(int at)
{
    DIR *dir = ::fdopendir(::dup(at));
    ASSERT_NE(dir, nullptr);
    std::vector<std::pair<std::string, bool>> entries;
    while (const dirent *found = ::readdir(dir))
        if (std::string_view(found->d_name) != "." && std::string_view(found->d_name) != "..")
            entries.emplace_back(found->d_name, found->d_type == DT_DIR);
    ::closedir(dir);
    for (const auto &[name, folder] : entries) {
        if (folder) {
            const int inside = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            removeInside(inside);
            ::close(inside);
        }
        ::unlinkat(at, name.c_str(), folder ? AT_REMOVEDIR : 0);
    }
}

TEST(toolsImportMarkdown, FilesAndFoldersInNaturalOrderWithTheirNotes)
{
    TempFolder folder;
    const std::string root = folder.path("notes");
    namespace fs = std::filesystem;
    fs::create_directories(root + "/Folder");
    fs::create_directories(root + "/Beside");
    writeFile(root + "/2 x.md", "two");
    writeFile(root + "/10 x.md", "ten");
    writeFile(root + "/Folder/README.md", "folder note");
    writeFile(root + "/Folder/a.md", "A");
    writeFile(root + "/Beside.md", "beside wins");
    writeFile(root + "/Beside/index.md", "inside");
    writeFile(root + "/Beside/b.md", "b");
    writeFile(root + "/.hidden.md", "secret");
    writeFile(root + "/image.png", "\x89PNG");
    writeFile(root + "/latin.md", "caf\xe9 \xce\xb1");
    writeFile(root + "/front.md", "---\ntitle: x\n---\nbody");
    ASSERT_EQ(::mkfifo((root + "/pipe.md").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("nowhere", (root + "/gone").c_str()), 0);

    dbtool::ImportReport report;
    const std::string path = folder.path("new.mdb");
    report = dbtool::importOutline(root, path, std::nullopt);
    const std::vector<Item> expected{
        {1, "2 x", "two"},
        {1, "10 x", "ten"},
        {1, "Beside", "beside wins"},
        {2, "b", "b"},
        {2, "index", "inside"},
        {1, "Folder", "folder note"},
        {2, "a", "A"},
        {1, "x", "---\ntitle: x\n---\nbody"},
        {1, "latin", "caf\xc3\xa9 \xce\xb1"},
    };
    EXPECT_EQ(readOutline(path), expected);
    EXPECT_EQ(report.latin1, 1u);
    EXPECT_EQ(report.skipped.size(), 4u);
    EXPECT_TRUE(mentions(report.skipped, ".hidden.md: hidden"));
    EXPECT_TRUE(mentions(report.skipped, "image.png: not a Markdown file"));
    EXPECT_TRUE(mentions(report.skipped, "pipe.md: not a plain file"));
    EXPECT_TRUE(mentions(report.skipped, "notes/gone: a link to nothing"));
}

// A Markdown file or a folder that cannot be read would leave its notes out of the copy: the
// import is refused, naming it, and no database is made or changed.
TEST(toolsImportMarkdown, LinkLoopsAndUnreadableEntriesAreRefused)
{
    struct Case
    {
        const char *name;
        std::function<void(const std::string &root)> spoil; // notes/ holds sub/a.md
        const char *locked; // then given the mode below, which root passes
        mode_t mode;
        const char *said;
    };
    const auto link = [](const char *to, const char *at) {
        return [=](const std::string &root) {
            ASSERT_EQ(::symlink(to, (root + "/" + at).c_str()), 0);
        };
    };
    const auto file = [](const char *at) {
        return [=](const std::string &root) {
            writeFile(root + "/" + at, "x");
        };
    };
    const auto folderWithin = [](const char *at) {
        return [=](const std::string &root) {
            std::filesystem::create_directories(root + "/" + at + "/inner");
        };
    };
    const Case cases[] = {
        {"LinkToAFolderAbove", link("..", "sub/loop"), nullptr, 0,
         "notes/sub/loop: is a link back to"},
        {"LinkToItself", link("self.md", "self.md"), nullptr, 0, "notes/self.md: cannot be read"},
        {"DanglingNote", link("nowhere.md", "gone.md"), nullptr, 0,
         "notes/gone.md: cannot be read"},
        {"UnreadableNote", file("sub/b.md"), "sub/b.md", 0, "notes/sub/b.md: cannot be read"},
        {"UnreadableFolder", folderWithin("locked"), "locked", 0, "notes/locked: cannot be read"},
        // Listed, but its entries cannot be examined: not even whether they are folders.
        {"FolderNotSearchable", folderWithin("dark"), "dark", 0400,
         "notes/dark/inner: cannot be read"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.locked && ::geteuid() == 0)
            continue;
        TempFolder folder;
        const std::string root = folder.path("notes");
        std::filesystem::create_directories(root + "/sub");
        writeFile(root + "/sub/a.md", "a");
        c.spoil(root);
        const std::string locked = c.locked ? root + "/" + c.locked : "";
        if (c.locked) {
            ASSERT_EQ(::chmod(locked.c_str(), c.mode), 0);
        }
        const std::string existing = folder.path("existing.mdb");
        initDatabase(existing);
        const std::string before = fileBytes(existing);
        for (const std::string &path : {folder.path("new.mdb"), existing}) {
            std::ostringstream out, err;
            EXPECT_EQ(dbtool::run({"import", root, path}, out, err), 1);
            EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
        }
        EXPECT_FALSE(std::filesystem::exists(folder.path("new.mdb")));
        EXPECT_EQ(fileBytes(existing), before);
        if (c.locked)
            ::chmod(locked.c_str(), 0700);
    }
}

TEST(toolsImportMarkdown, LinksThatMultiplyTheFoldersAreStoppedAtTheOutlinesLimit)
{
    // Each folder holds two links to the next: 2^20 paths to the last, each an item.
    TempFolder folder;
    const int levels = 20;
    for (int level = 0; level <= levels; ++level)
        std::filesystem::create_directories(folder.path("f" + std::to_string(level)));
    for (int level = 0; level < levels; ++level)
        for (const char *link : {"/a", "/b"})
            ASSERT_EQ(::symlink(folder.path("f" + std::to_string(level + 1)).c_str(),
                                (folder.path("f" + std::to_string(level)) + link).c_str()),
                      0);
    writeFile(folder.path("f20/note.md"), "n");
    try {
        dbtool::importOutline(folder.path("f0"), folder.path("new.mdb"), std::nullopt);
        ADD_FAILURE() << "imported";
    } catch (const dbtool::ImportRefused &refused) {
        EXPECT_NE(std::string(refused.what()).find("more than the 32766 items"), std::string::npos)
            << refused.what();
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path("new.mdb")));
}

// Each of levels items the child of the one before, titled by title(level).
std::vector<Item> nested(int levels, const std::function<std::string(int)> &title)
{
    std::vector<Item> items;
    for (int level = 1; level <= levels; ++level)
        items.push_back({level, title(level), "note " + std::to_string(level)});
    return items;
}

std::string repeated(std::string_view piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// The names along a path inside an exported folder share 3000 bytes: an item's name (number,
// title, ".md") is cut to 3000 / k - 1 bytes, and to 255, where k names make the deepest path
// through it; a name that would be shorter than 16 bytes (k over 176) refuses the export.
TEST(toolsMarkdownFolder, LongTitlesAreCutSoThatEveryPathFitsTheBudget)
{
    // Twenty levels of 230-byte titles: k = 20 on the chain, names of 149 bytes, so 146 bytes
    // of a folder's title and 143 of a file's, cut before a character that would not fit
    // whole. Beside the chain, a leaf at depth 2 and one at the top have names of 255 bytes.
    const auto chainTitle = [](int level) {
        return level == 5   ? repeated("\xCE\xB1", 115)    // Greek, two bytes a character
               : level == 6 ? repeated("\xE2\x82\xAC", 77) // the euro sign, three bytes
                            : std::string(230, static_cast<char>('A' + level));
    };
    std::vector<Item> longTitles = nested(20, chainTitle);
    std::vector<Item> cut = nested(20, [&](int level) {
        return level == 5   ? repeated("\xCE\xB1", 73)
               : level == 6 ? repeated("\xE2\x82\xAC", 48)
                            : chainTitle(level).substr(0, level == 20 ? 143 : 146);
    });
    longTitles.push_back({2, std::string(300, 's'), "beside"});
    cut.push_back({2, std::string(249, 's'), "beside"});
    longTitles.push_back({1, std::string(300, 't'), "top"});
    cut.push_back({1, std::string(249, 't'), "top"});

    const auto deepest = [](int levels, const std::string &folder, const std::string &file) {
        std::string path;
        for (int level = 1; level < levels; ++level)
            path += "01 " + folder + "/";
        return path + "01 " + file + ".md";
    };
    struct Case
    {
        const char *name;
        std::vector<Item> items;
        std::vector<Item> readBack; // nothing when not imported again
        std::string deepestFile;    // inside the folder; nothing when refused
        const char *said;
    };
    const Case cases[] = {
        {"TwentyLevelsOfLongTitles", longTitles, cut, "", "22 titles were cut"},
        // 176 names of 16 bytes: "01 ", 13 bytes of title or 10 and ".md".
        {"TheDeepestThatFits",
         nested(176, [](int) { return std::string(20, 'x'); }),
         {},
         deepest(176, std::string(13, 'x'), std::string(10, 'x')),
         "176 titles were cut"},
        {"OneLevelTooDeep",
         nested(177, [](int) { return std::string("x"); }),
         {},
         "",
         "a path in it would hold 177 names"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string source = folder.path("source.mdb");
        makeOutline(source, c.items);
        const std::string md = folder.path("md");
        std::ostringstream out, err;
        const bool refused = c.readBack.empty() && c.deepestFile.empty();
        EXPECT_EQ(dbtool::run({"export", source, "--format", "markdown-folder", "--output", md},
                              out, err),
                  refused ? 1 : 0);
        EXPECT_NE((refused ? err : out).str().find(c.said), std::string::npos)
            << out.str() << err.str();
        if (refused) {
            EXPECT_FALSE(std::filesystem::exists(md));
            EXPECT_FALSE(std::filesystem::exists(md + ".partial"));
            continue;
        }
        std::size_t longest = 0;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(md))
            longest = std::max(longest, entry.path().native().size() - md.size() - 1);
        EXPECT_LE(longest, 3000u);
        if (!c.deepestFile.empty()) {
            EXPECT_TRUE(std::filesystem::is_regular_file(md + "/" + c.deepestFile));
        }
        if (!c.readBack.empty()) {
            const std::string copy = folder.path("copy.mdb");
            dbtool::importOutline(md, copy, dbtool::ImportFormat::Markdown);
            EXPECT_EQ(readOutline(copy), c.readBack);
        }
    }
}

// A folder made where paths are longer than a program may open, and whose own items nest
// deeper than that too, as an export without a limit on its paths wrote them: twenty levels of
// 233-byte names.
TEST(toolsImportMarkdown, AFolderDeeperThanAPathMayBeIsReadWhole)
{
    TempFolder folder;
    const int top = ::open(folder.folder().toStdString().c_str(), O_RDONLY | O_DIRECTORY);
    std::vector<int> open{top};
    for (int level = 0; level < 17; ++level) // 17 names of 250 bytes: past the 4,096 of a path
        open.push_back(makeFolderIn(open.back(), std::string(250, 'o')));
    const int outside = open.back();
    open.push_back(makeFolderIn(outside, "notes"));
    writeFileIn(open.back(), "02 last.md", "the end");
    std::vector<Item> expected;
    for (int level = 1; level <= 20; ++level) {
        const std::string title(230, static_cast<char>('A' + level));
        const std::string name = "01 " + title;
        const std::string note = "note " + std::to_string(level);
        expected.push_back({level, title, note});
        if (level == 20) {
            writeFileIn(open.back(), name + ".md", note);
            break;
        }
        open.push_back(makeFolderIn(open.back(), name));
        writeFileIn(open.back(), "index.md", note);
    }
    expected.push_back({1, "last", "the end"});

    // Named from the folder it is in, as someone working there names it.
    const int working = ::open(".", O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::fchdir(outside), 0);
    dbtool::ImportReport report;
    try {
        report = dbtool::importOutline("notes", folder.path("new.mdb"), std::nullopt);
    } catch (const std::exception &error) {
        ADD_FAILURE() << error.what();
    }
    ASSERT_EQ(::fchdir(working), 0);
    ::close(working);
    EXPECT_EQ(readOutline(folder.path("new.mdb")), expected);
    EXPECT_TRUE(report.skipped.empty());

    removeInside(top);
    for (const int fd : open)
        ::close(fd);
}

} // namespace
} // namespace quillet::test
