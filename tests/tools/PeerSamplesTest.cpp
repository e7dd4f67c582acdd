#include "TransferSupport.h"
#include "tools/DbTool.h"
#include "tools/Transfer.h"
#include "tools/import/DocumentSnapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
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
