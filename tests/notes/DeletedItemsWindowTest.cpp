#include "notes/windows/DeletedItemsWindow.h"

#include "NotesFixture.h"
#include "keeping/History.h"
#include "keeping/Places.h"
#include "notes/windows/ItemChooser.h"
#include "store/NoteStore.h"
#include "support/FileHistory.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>

#include <sstream>

namespace quillet::test {
namespace {

// The lines a list shows, hidden ones left out.
QStringList shownLines(const QListWidget &list)
{
    QStringList lines;
    for (int row = 0; row < list.count(); ++row)
        if (!list.item(row)->isHidden())
            lines << list.item(row)->text();
    return lines;
}

// The chooser shows the outline as it shows, titles indented by level, an untitled item as
// "(untitled)"; it narrows the items to those whose path holds every word typed; Enter chooses
// the line that shows chosen (the one selected before while it shows), Escape nothing. A line
// that cannot be chosen is passed over by the keys and never chosen.
TEST(ItemChooserTest, NarrowsAsTheUserTypesAndGivesTheChosenKey)
{
    const std::vector<ChoosableItem> items{
        {"A", "Top", "Top", 0, {}},
        {"A1", "Alpha one", "Top > Alpha one", 1, {}},
        {"B", "Beta", "Beta", 0, "The item holds nine items already."},
        {"B1", "Alpha two", "Beta > Alpha two", 1, {}},
        {"C", "", "", 0, {}}};
    struct Case
    {
        const char *name;
        bool offerTopLevel;
        QString current;
        QString typed;
        int downs;
        Qt::Key last;
        QStringList shown;
        std::optional<QString> chosen;
    };
    const QString top = "(the top level)";
    const QStringList all{top, "Top", "    Alpha one", "Beta", "    Alpha two", "(untitled)"};
    const Case cases[] = {
        {"nothing typed", true, "A1", "", 0, Qt::Key_Return, all, "A1"},
        {"the chosen line hidden",
         true,
         "A",
         "alpha",
         0,
         Qt::Key_Return,
         {"    Alpha one", "    Alpha two"},
         "A1"},
        {"the arrow from the filter",
         true,
         "A",
         "ALPHA",
         1,
         Qt::Key_Return,
         {"    Alpha one", "    Alpha two"},
         "B1"},
        {"words in any order", true, "A", "two beta", 0, Qt::Key_Return, {"    Alpha two"}, "B1"},
        {"the top level", true, "A", "top level", 0, Qt::Key_Return, {top}, ""},
        {"no top level offered",
         false,
         "A1",
         "top",
         0,
         Qt::Key_Return,
         {"Top", "    Alpha one"},
         "A1"},
        {"a line that cannot be chosen passed over", true, "A1", "", 1, Qt::Key_Return, all, "B1"},
        {"a line that cannot be chosen, started on", true, "B", "", 0, Qt::Key_Return, all,
         std::nullopt},
        {"nothing shows", true, "A", "zzz", 0, Qt::Key_Return, {}, std::nullopt},
        {"cancelled", true, "A", "", 0, Qt::Key_Escape, all, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ItemChooser chooser(items, c.current, c.offerTopLevel, "Choose");
        chooser.show();
        auto *filter = control<QLineEdit>(chooser, "filter");
        QTest::keyClicks(filter, c.typed);
        for (int i = 0; i < c.downs; ++i)
            QTest::keyClick(filter, Qt::Key_Down);
        EXPECT_EQ(shownLines(*control<QListWidget>(chooser, "items")), c.shown);
        QTest::keyClick(filter, c.last);
        const bool accepted = chooser.result() == QDialog::Accepted;
        EXPECT_EQ(accepted ? chooser.chosenKey() : std::nullopt, c.chosen);
    }
}

class DeletedItemsWindowTest : public NotesFixture
{
protected:
    // A with nine children (IDs 1 to 10), B (11) with B1 (12) and B11 (13), C (14); B1 deleted
    // with its copy, after an earlier version of its note was kept.
    void open()
    {
        std::vector<Row> rows{{"A", "Top"}};
        for (char n = '1'; n <= '9'; ++n)
            rows.push_back({std::string("A") + n, "child"});
        rows.insert(rows.end(), {{"B", "Beta"}, {"B1", "b1"}, {"B11", "b11"}, {"C", "Gamma"}});
        load(rows);
        execSql(path, "UPDATE mynodes SET Keimeno = 'line one' || char(10) || 'two' WHERE "
                      "Kleidi = 'B1'");
        session.keepVersion("B1", true, false);
        session.deleteWithCopy("B1", "Beta > b1");
    }

    std::unique_ptr<DeletedItemsWindow> window()
    {
        auto made = std::make_unique<DeletedItemsWindow>(
            session, boxes, choosableItems(ui().TreeView1->nodes()), "B");
        made->show();
        return made;
    }

    std::string rowsAfterA()
    {
        return querySql(path, "SELECT group_concat(Kleidi || ':' || ID, ' ') FROM (SELECT * "
                              "FROM mynodes WHERE ID > 10 ORDER BY ID)");
    }
};

// Put back from the notes window's own Deleted items: the outline shows the item at once, in
// its place and selected, while the window stays open for more, and the items opened on the
// screen stay open.
TEST_F(DeletedItemsWindowTest, TheOutlineShowsWhatIsPutBackWhileTheWindowIsOpen)
{
    open();
    form->ClearTree();
    form->LoadTree();
    OutlineView &tree = *ui().TreeView1;
    tree.setExpanded(tree.find("A"), true);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_EQ(tree.find("B1"), 0);
    std::string shownWhileOpen;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *window = qobject_cast<DeletedItemsWindow *>(QApplication::activeModalWidget());
        ASSERT_TRUE(window);
        seen = true;
        control<QPushButton>(*window, "restore")->click();
        for (int index = 1; index <= tree.count(); ++index)
            shownWhileOpen += tree.key(index).toStdString() + " ";
        shownWhileOpen += "| " + selectionOf(*form).Key.toStdString();
        window->reject();
    });
    tree.setFocus();
    QTest::keyClick(&tree, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(seen);
    EXPECT_EQ(shownWhileOpen, "A A1 A2 A3 A4 A5 A6 A7 A8 A9 B B1 B11 C | B1");
    EXPECT_TRUE(tree.isExpanded(tree.find("A")));
    EXPECT_TRUE(boxes.asked.empty());
}

// Each line: when, the path at deletion (older copies: key and title), how many items, the
// first line of the note; a copy that cannot be read says so and cannot be restored.
TEST_F(DeletedItemsWindowTest, ListsTheCopiesNewestFirst)
{
    open();
    const std::string deleted = places::deletedFolder(path) + "/";
    const auto write = [&](const std::string &name, const std::vector<StoredRow> &rows) {
        std::ostringstream out;
        archive::writeRows(rows, out);
        writeFile(deleted + name, out.str());
    };
    write("20250101-100000-C.json", {*NoteStore(path).readRow("C")});
    writeFile(deleted + "20250102-000000-E.json", "{\"quillet-export\": 1}");
    const std::unique_ptr<DeletedItemsWindow> shown = window();
    const QStringList lines = shownLines(*control<QListWidget>(*shown, "copies"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith("   Beta > b1   2 items   line one")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("2025-01-02 00:00:00   20250102-000000-E.json cannot be read"))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], "2025-01-01 10:00:00   C: Gamma   1 item   (empty note)");
    auto *list = control<QListWidget>(*shown, "copies");
    auto *restore = control<QPushButton>(*shown, "restore");
    EXPECT_TRUE(restore->isEnabled());
    list->setCurrentRow(1);
    EXPECT_FALSE(restore->isEnabled());
}

// Restore puts the items back where they were; when their key is taken there, it asks, and on
// Yes the chooser gives the item they go under, with new keys and IDs, the versions following.
// No, a cancelled chooser and a refusal there change nothing.
TEST_F(DeletedItemsWindowTest, RestoresWhereTheyWereOrUnderTheItemChosen)
{
    struct Case
    {
        const char *name;
        bool placeTaken;
        std::optional<MessageBoxes::Answer> answer;
        QString typed; // in the chooser; empty: no chooser
        int downs;
        Qt::Key last;
        std::size_t boxes;
        std::string rows; // after the window's work, from B on
        std::optional<QString> restored;
        std::int64_t versionsAt; // the ID B1's versions are under
    };
    const std::string taken = "B:11 C:14 B1:15";
    const Case cases[] = {
        {"where they were", false, std::nullopt, "", 0, Qt::Key_Return, 0, "B:11 B1:12 B11:13 C:14",
         "B1", 12},
        {"not elsewhere", true, MessageBoxes::Answer::No, "", 0, Qt::Key_Return, 1, taken,
         std::nullopt, 12},
        {"under the item chosen", true, MessageBoxes::Answer::Yes, "gamma", 0, Qt::Key_Return, 1,
         taken + " C1:16 C11:17", "C1", 16},
        {"at the top level", true, MessageBoxes::Answer::Yes, "top level", 0, Qt::Key_Return, 1,
         taken + " D:16 D1:17", "D", 16},
        {"the chooser cancelled", true, MessageBoxes::Answer::Yes, "gamma", 0, Qt::Key_Escape, 1,
         taken, std::nullopt, 12},
        {"under an item with nine", true, MessageBoxes::Answer::Yes, "top", 1, Qt::Key_Return, 2,
         taken, std::nullopt, 12},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        session.close();
        std::filesystem::remove_all(folder.path("deleted"));
        std::filesystem::remove_all(folder.path("history"));
        std::filesystem::remove(path);
        boxes.asked.clear();
        open();
        if (c.placeTaken)
            session.addItem("B1", "taken");
        if (c.answer)
            boxes.answers = {*c.answer};
        bool chooserSeen = false;
        if (!c.typed.isEmpty()) {
            QTimer::singleShot(0, [&] {
                auto *chooser = qobject_cast<ItemChooser *>(QApplication::activeModalWidget());
                if (!chooser)
                    return;
                chooserSeen = true;
                auto *filter = control<QLineEdit>(*chooser, "filter");
                QTest::keyClicks(filter, c.typed);
                for (int i = 0; i < c.downs; ++i)
                    QTest::keyClick(filter, Qt::Key_Down);
                QTest::keyClick(filter, c.last);
            });
        }
        const std::unique_ptr<DeletedItemsWindow> shown = window();
        control<QPushButton>(*shown, "restore")->click();
        EXPECT_EQ(chooserSeen, !c.typed.isEmpty());
        ASSERT_EQ(boxes.asked.size(), c.boxes);
        if (c.boxes > 0) {
            EXPECT_EQ(boxes.asked[0].buttons, MessageBoxes::Buttons::YesNo);
            EXPECT_TRUE(boxes.asked[0].text.contains("\"B1\" is taken"))
                << boxes.asked[0].text.toStdString();
        }
        if (c.boxes > 1) {
            EXPECT_TRUE(boxes.asked[1].text.contains("holds nine items"))
                << boxes.asked[1].text.toStdString();
        }
        EXPECT_EQ(rowsAfterA(), c.rows);
        EXPECT_EQ(shown->restoredKey(), c.restored);
        EXPECT_EQ(FileHistory(path).versionsOf(c.versionsAt).size(), 1u);
        // A copy put back leaves the list; one not put back stays in it.
        EXPECT_EQ(control<QListWidget>(*shown, "copies")->count(), c.restored ? 0 : 1);
        if (c.restored) {
            EXPECT_TRUE(control<QLabel>(*shown, "status")
                            ->text()
                            .contains("Put back 2 items as \"" + *c.restored + "\""));
        }
    }
}

} // namespace
} // namespace quillet::test
