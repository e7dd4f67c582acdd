#include "TransferSupport.h"
#include "tools/DbTool.h"
#include "tools/Transfer.h"

#include <gtest/gtest.h>

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
        {1, "front", "---\ntitle: x\n---\nbody"},
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
        dbtool::initDatabase(existing);
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
