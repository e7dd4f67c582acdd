#include "TransferSupport.h"
#include "tools/commands/DbTool.h"
#include "tools/import/DocumentSnapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

// Documents other outliners really wrote (tests/tools/data/README.md says which and how), read
// beside hand-made edge cases. Suite names start with "tools" so that `ctest -R tools` selects
// exactly these tests.
namespace quillet::test {
namespace {

std::string sample(const std::string &name)
{
    return std::string(QUILLET_TOOLS_TEST_DATA) + "/" + name;
}

TEST(toolsImportPeers, FrontMatterTitlesItemsOutsideAnExportsNumberedFolders)
{
    const auto joplin = [](const char *file) {
        return readText(sample("joplin-md-frontmatter/Recettes/") + file);
    };
    const auto hugo = [](const char *file) {
        return readText(sample("hugo-content/") + file);
    };
    const auto handMade = [](const TempFolder &folder) {
        const std::string root = folder.path("notes");
        std::filesystem::create_directories(root + "/empty");
        std::filesystem::create_directories(root + "/deep/inner");
        std::filesystem::create_directories(root + "/bundle");
        writeFile(root + "/bundle/index.md", "---\ntitle: Bundle title\n---\n");
        // Only index.md titles its folder: a README.md in it, or a file named after it beside
        // it, is the folder's note and leaves the folder's name alone.
        std::filesystem::create_directories(root + "/readme");
        writeFile(root + "/readme/README.md", "---\ntitle: From the readme\n---\n");
        std::filesystem::create_directories(root + "/beside");
        writeFile(root + "/beside/inner.md", "text");
        writeFile(root + "/beside.md", "---\ntitle: From beside\n---\n");
        const std::pair<const char *, const char *> files[] = {
            {"none", "not at the start\n---\ntitle: late\n---\n"},
            {"plain", "---\ntitle: Soupe # brouillon\ntags:\n  - x\n---\ntext"},
            {"single", "---\r\ntitle: 'l''oignon'\r\n---\r\n"},
            {"double", "\xEF\xBB\xBF---\ntitle: \"Caf\\u00e9 \\\"noir\\\"\"\n---\n"},
            {"block", "---\ntitle: |\n  Soupe\n---\n"},
            {"folded", "---\ntitle: Soupe\n  au pistou\n---\n"},
            {"unclosed", "---\ntitle: Soupe\n"},
            {"mapping", "---\ntitle: a: b\n---\n"},
            {"badescape", "---\ntitle: \"a\\qb\"\n---\n"},
            {"twice", "---\ntitle: First\ntitle: Second\n---\n"}, // the first is taken
        };
        for (const auto &[name, text] : files)
            writeFile(root + "/" + name + ".md", text);
        return root;
    };
    // Quillet's own export of notes that start with front matter: read back as they were.
    const std::vector<Item> exported{{1, "Soupe", "---\ntitle: Autre\n---\n"},
                                     {1, "Parent", "---\ntitle: P\n---\n"},
                                     {2, "Child", "c"}};
    const auto exportOf = [&](const TempFolder &folder) {
        makeOutline(folder.path("source.mdb"), exported);
        std::ostringstream out, err;
        EXPECT_EQ(dbtool::run({"export", folder.path("source.mdb"), "--format", "markdown-folder",
                               "--output", folder.path("md")},
                              out, err),
                  0)
            << err.str();
        return folder.path("md");
    };
    struct Case
    {
        const char *name;
        std::function<std::string(const TempFolder &)> folder;
        std::vector<Item> expected;
        std::size_t titles;
        std::vector<std::string> skipped;
    };
    const Case cases[] = {
        {"JoplinExport",
         [](const TempFolder &) { return sample("joplin-md-frontmatter"); },
         {{1, "Recettes", ""},
          {2, "It's #1 \xE2\x80\x94 'quoted'", joplin("It_s _1 \xE2\x80\x94 _quoted_.md")},
          {2, "Plain title", joplin("Plain title.md")},
          {2, "Soupe \xC3\xA0 l'oignon", joplin("Soupe \xC3\xA0 l_oignon.md")},
          {2, "Tab\there", joplin("Tab_here.md")},
          {2, "Tarte: \"Tatin\"", joplin("Tarte_ _Tatin_.md")}},
         5,
         {"joplin-md-frontmatter/_resources: no Markdown file in it, not imported"}},
        {"HugoPageBundle",
         [](const TempFolder &) { return sample("hugo-content"); },
         {{1, "recettes", ""},
          {2, "Soupe a L Oignon", hugo("recettes/soupe-a-l-oignon/index.md")},
          {2, "Tarte Tatin", hugo("recettes/tarte-tatin.md")}},
         2,
         {}},
        {"HandMade",
         handMade,
         {{1, "badescape", "---\ntitle: \"a\\qb\"\n---\n"},
          {1, "beside", "---\ntitle: From beside\n---\n"},
          {2, "inner", "text"},
          {1, "block", "---\ntitle: |\n  Soupe\n---\n"},
          {1, "Bundle title", "---\ntitle: Bundle title\n---\n"},
          {1, "Caf\xC3\xA9 \"noir\"", "\xEF\xBB\xBF---\ntitle: \"Caf\\u00e9 \\\"noir\\\"\"\n---\n"},
          {1, "folded", "---\ntitle: Soupe\n  au pistou\n---\n"},
          {1, "mapping", "---\ntitle: a: b\n---\n"},
          {1, "none", "not at the start\n---\ntitle: late\n---\n"},
          {1, "Soupe", "---\ntitle: Soupe # brouillon\ntags:\n  - x\n---\ntext"},
          {1, "readme", "---\ntitle: From the readme\n---\n"},
          {1, "l'oignon", "---\r\ntitle: 'l''oignon'\r\n---\r\n"},
          {1, "First", "---\ntitle: First\ntitle: Second\n---\n"},
          {1, "unclosed", "---\ntitle: Soupe\n"}},
         5,
         {"notes/deep: no Markdown file in it", "notes/empty: no Markdown file in it"}},
        {"NumberedExportLeftAsItIs", exportOf, exported, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string path = folder.path("new.mdb");
        dbtool::ImportReport report = dbtool::importOutline(c.folder(folder), path, {});
        EXPECT_EQ(readOutline(path), c.expected);
        EXPECT_EQ(report.frontMatterTitles, c.titles);
        // In the order the folders list them.
        std::sort(report.skipped.begin(), report.skipped.end());
        ASSERT_EQ(report.skipped.size(), c.skipped.size());
        for (std::size_t i = 0; i < c.skipped.size(); ++i)
            EXPECT_NE(report.skipped[i].find(c.skipped[i]), std::string::npos) << report.skipped[i];
    }
}

TEST(toolsImportPeers, FormulaBoxesKeepTheirSourceWhereTheyStoodAndAnchorsAreCounted)
{
    const std::string formula = "\\documentclass{article}\n\\pagestyle{empty}\n"
                                "\\usepackage{amsmath}\n\\begin{document}\n\\begin{align*}\n"
                                "f(x) &= x^2\\\\\ng(x) &= \\frac{1}{x}\\\\\n"
                                "F(x) &= \\int^a_b \\frac{1}{3}x^3\n\\end{align*}\n\\end{document}";
    for (const char *name : {"formula.ctd", "formula.ctb"}) {
        SCOPED_TRACE(name);
        TempFolder folder;
        const std::string path = folder.path("new.mdb");
        const dbtool::ImportReport report =
            dbtool::importOutline(sample("cherrytree/") + name, path, std::nullopt);
        EXPECT_EQ(readOutline(path),
                  (std::vector<Item>{
                      {1, "Formules", "Avant la formule.\n" + formula + "\nApr\xC3\xA8s.\n"}}));
        EXPECT_EQ(report.formulas, 1u);
        EXPECT_EQ(report.anchors, 1u);
        EXPECT_EQ(report.attachments + report.images, 0u);
        const std::string said = dbtool::describe(report, name, path);
        EXPECT_NE(said.find("  1 formula kept as its LaTeX source\n"), std::string::npos) << said;
        EXPECT_NE(said.find("  1 anchor left out"), std::string::npos) << said;
    }
}

// The document's program saves while it is imported: the import reads the document as last
// committed from a private copy, and the save commits without waiting while the copy is read.
TEST(toolsImportPeers, ADocumentBeingSavedIsCopiedInOneStepAndLeftToTheSave)
{
    TempFolder folder;
    const std::string document = folder.path("formula.ctb");
    std::filesystem::copy_file(sample("cherrytree/formula.ctb"), document);
    Connection saving(document, Connection::Mode::ReadWrite);
    saving.setBusyTimeout(0);
    saving.exec("BEGIN IMMEDIATE; UPDATE node SET name = 'Saving'");
    dbtool::importOutline(document, folder.path("new.mdb"), std::nullopt);
    EXPECT_EQ(readOutline(folder.path("new.mdb")).at(0).title, "Formules");
    std::string copy;
    {
        dbtool::DocumentSnapshot snapshot(document);
        copy = snapshot.file();
        struct stat info
        {
        };
        ASSERT_EQ(::stat(copy.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
        EXPECT_NO_THROW(saving.exec("COMMIT"));
        Statement read(snapshot.connection(), "SELECT name FROM node");
        ASSERT_TRUE(read.step());
        EXPECT_EQ(read.columnText(0), "Formules");
    }
    EXPECT_FALSE(std::filesystem::exists(copy));
    // Locked for the writing itself past the engine's wait: refused, saying what to do.
    saving.exec("BEGIN EXCLUSIVE");
    try {
        dbtool::importOutline(document, folder.path("other.mdb"), std::nullopt);
        ADD_FAILURE() << "imported";
    } catch (const dbtool::ImportRefused &refused) {
        EXPECT_NE(std::string(refused.what())
                      .find("may be being saved by its program just now: "
                            "try again when it is not"),
                  std::string::npos)
            << refused.what();
    }
    saving.exec("ROLLBACK");
    EXPECT_FALSE(std::filesystem::exists(folder.path("other.mdb")));
}

} // namespace
} // namespace quillet::test
