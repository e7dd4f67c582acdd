#include "NotesFixture.h"
#include "keeping/History.h"
#include "notes/windows/ItemChooser.h"
#include "store/Keys.h"
#include "support/FileHistory.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>

namespace quillet::test {
namespace {

// The outline reorganised from the notes window: by the outline's keys, its menu and by
// dragging, with the undo of the last move.
class MoveTest : public NotesFixture
{
protected:
    void open(const std::vector<Row> &rows)
    {
        load(rows);
        // Any fault in the model's signals or indices after a move stops the test.
        tester = std::make_unique<QAbstractItemModelTester>(
            &ui().TreeView1->nodes(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText("1");
    }

    void selectKey(const QString &key)
    {
        OutlineView &tree = *ui().TreeView1;
        tree.setFocus();
        tree.select(tree.find(key));
        tree.nodeClicked(tree.find(key));
    }

    void press(int key, Qt::KeyboardModifiers modifiers = Qt::AltModifier)
    {
        // The desktop gives the window its activation back after a dialog.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().TreeView1->setFocus();
        QTest::keyClick(ui().TreeView1, static_cast<Qt::Key>(key), modifiers);
    }

    // The outline as the view walks it (each title at its depth, in its parent's order), then
    // each item's stored key and key in the order of the indices.
    static std::string shown(const OutlineView &tree)
    {
        const OutlineModel &model = tree.nodes();
        std::string text;
        const std::function<void(const QModelIndex &, int)> walk = [&](const QModelIndex &parent,
                                                                       int depth) {
            for (int row = 0; row < model.rowCount(parent); ++row) {
                const QModelIndex child = model.index(row, 0, parent);
                text += std::string(static_cast<std::size_t>(depth), '.') +
                        model.data(child, Qt::DisplayRole).toString().toStdString() + ' ';
                walk(child, depth + 1);
            }
        };
        walk({}, 0);
        text += '|';
        for (int index = 1; index <= tree.count(); ++index)
            text += " [" + tree.storedKey(index) + "]=" + tree.key(index).toStdString() +
                    (tree.find(tree.key(index)) == index ? "" : " (found elsewhere)");
        return text;
    }

    // The window shows what loading the file afresh shows.
    void expectShownAsLoaded()
    {
        OutlineView loaded;
        loadOutline(session, loaded);
        EXPECT_EQ(shown(*ui().TreeView1), shown(loaded));
    }

    std::string rows()
    {
        return querySql(path, "SELECT group_concat(ID || ':' || Kleidi, ' ') FROM (SELECT * "
                              "FROM mynodes ORDER BY ID)");
    }

    // Drags the item with the key over the row of the target, at the height given (a part of
    // the row's height from its top), through the view's own events; returns whether the view
    // took the drop there.
    bool drag(const QString &key, const QString &target, double height)
    {
        OutlineView &tree = *ui().TreeView1;
        std::unique_ptr<QMimeData> data(tree.nodes().mimeData({tree.modelIndexOf(tree.find(key))}));
        const QRect row = tree.visualRect(tree.modelIndexOf(tree.find(target)));
        const QPointF at(row.center().x(), row.top() + row.height() * height);
        QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &enter);
        QDragMoveEvent move(at.toPoint(), Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &move);
        if (!move.isAccepted())
            return false;
        QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &drop);
        return drop.isAccepted();
    }

    std::unique_ptr<QAbstractItemModelTester> tester;
};

const std::vector<Row> kOutline{{"A", "Alpha"}, {"B", "Beta"},  {"B1", "One"},
                                {"B2", "Two"},  {"C", "Gamma"}, {"C1", "Three"}};

// Each key moves the selected item as outliners do; the selection follows it, items open on
// the screen stay open, and an item at the edge stays put.
TEST_F(MoveTest, TheOutlineKeysMoveTheSelectedItem)
{
    open(kOutline);
    ui().TreeView1->setExpanded(ui().TreeView1->find("C"), true); // open on the screen only
    struct Step
    {
        const char *key;
        int pressed;
        std::string rows;
        const char *selected;
    };
    const Step steps[] = {
        {"B2", Qt::Key_Up, "1:A 2:B 4:B2 5:C 6:C1 7:B1", "B2"},
        {"B2", Qt::Key_Up, "1:A 2:B 4:B2 5:C 6:C1 7:B1", "B2"}, // first already: stays
        {"B2", Qt::Key_Left, "1:A 2:B 4:D 5:C 6:C1 7:B1", "D"},
        {"D", Qt::Key_Right, "1:A 2:B 5:C 6:C1 7:B1 8:B2", "B2"},
        {"C", Qt::Key_Up, "1:A 5:C 6:C1 9:B 10:B1 11:B2", "C"},
        {"C", Qt::Key_Down, "1:A 9:B 10:B1 11:B2 12:C 13:C1", "C"},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(std::string(step.key) + " " + std::to_string(step.pressed));
        selectKey(step.key);
        press(step.pressed);
        EXPECT_EQ(rows(), step.rows);
        EXPECT_EQ(selectionOf(*form).Key.toStdString(), step.selected);
        EXPECT_TRUE(ui().TreeView1->isExpanded(ui().TreeView1->find("C")));
        if (std::string(step.key) != step.selected) { // its old key names nothing now
            EXPECT_EQ(ui().TreeView1->find(step.key), 0);
        }
        expectShownAsLoaded();
    }
    EXPECT_TRUE(boxes.asked.empty());
}

// Ctrl+Z in the outline puts the last move back, IDs, keys and versions; after another change
// there is nothing to undo, and the undo says why.
TEST_F(MoveTest, TheUndoPutsTheLastMoveBackUntilSomethingElseChanged)
{
    open(kOutline);
    const std::string before = rows();
    {
        NoteStore store(path);
        NoteHistory(store).keep(*store.readRow("B1"), false, 1000);
    }
    selectKey("B2");
    press(Qt::Key_Up);
    ASSERT_NE(rows(), before);
    EXPECT_EQ(FileHistory(path).versionsOf(7).size(), 1u); // B1 went to ID 7
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(FileHistory(path).versionsOf(3).size(), 1u);
    EXPECT_EQ(selectionOf(*form).Key, "B2");
    expectShownAsLoaded();

    press(Qt::Key_Down);
    boxes.answers = {MessageBoxes::Answer::Yes};
    ui().Command4->click(); // an item added
    press(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_TRUE(boxes.asked[1].text.contains("an item was added since"))
        << boxes.asked[1].text.toStdString();
}

// The undo of a move that gave the item a new key shows the reverse move: the item back under
// its own key and selected, the items open on the screen still open.
TEST_F(MoveTest, TheUndoOfAMoveUnderAnotherItemShowsItBackWhereItWas)
{
    open(kOutline);
    OutlineView &tree = *ui().TreeView1;
    tree.setExpanded(tree.find("B"), true);
    tree.setExpanded(tree.find("C"), true);
    selectKey("C");
    press(Qt::Key_Right); // C goes under B as B3
    ASSERT_EQ(selectionOf(*form).Key, "B3");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rows(), "1:A 2:B 3:B1 4:B2 5:C 6:C1");
    EXPECT_EQ(selectionOf(*form).Key, "C");
    EXPECT_EQ(tree.find("B3"), 0);
    EXPECT_TRUE(tree.isExpanded(tree.find("B")));
    EXPECT_TRUE(tree.isExpanded(tree.find("C")));
    expectShownAsLoaded();
    EXPECT_TRUE(boxes.asked.empty());
}

// Ctrl+M moves the item under the item chosen, found by typing; Ctrl+Z then, as after a
// delete, puts back what the last change took, with the same IDs and keys.
TEST_F(MoveTest, MoveToAndTheUndoOfADelete)
{
    open(kOutline);
    const std::string before = rows();
    selectKey("C");
    QTimer::singleShot(0, [&] {
        auto *chooser = qobject_cast<ItemChooser *>(QApplication::activeModalWidget());
        ASSERT_TRUE(chooser);
        auto *filter = control<QLineEdit>(*chooser, "filter");
        QTest::keyClicks(filter, "two");
        QTest::keyClick(filter, Qt::Key_Return);
    });
    press(Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(rows(), "1:A 2:B 3:B1 4:B2 5:B21 6:B211");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rows(), before);

    selectKey("B");
    boxes.answers = {MessageBoxes::Answer::Yes};
    ui().Command5->click();
    EXPECT_EQ(rows(), "1:A 5:C 6:C1");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(selectionOf(*form).Key, "B");
}

// A key that cannot move the item says why in the status line, briefly and without a box, and
// changes nothing.
TEST_F(MoveTest, AKeyThatCannotMoveTheItemSaysWhyBriefly)
{
    open(kOutline);
    QSignalSpy said(form.get(), &Form3::saidBriefly);
    const std::string before = rows();
    const std::tuple<const char *, int, const char *> cases[] = {
        {"B1", Qt::Key_Up, "It is the first item at its level already."},
        {"B2", Qt::Key_Down, "It is the last item at its level already."},
        {"B", Qt::Key_Left, "It is at the top level already."},
        {"B1", Qt::Key_Right, "No item above it at its level to go into."},
        {"A", Qt::Key_Down, "The first item, \"A\", stays where it is."},
    };
    for (const auto &[key, pressed, why] : cases) {
        SCOPED_TRACE(key);
        said.clear();
        selectKey(key);
        press(pressed);
        ASSERT_EQ(said.size(), 1);
        EXPECT_EQ(said[0][0].toString().toStdString(), why);
    }
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(boxes.asked.empty());
}

// Move to… lists the outline as it shows, indented, titles only, starting on the item's parent;
// the places the move would refuse are greyed, why in their tooltip, and cannot be chosen.
TEST_F(MoveTest, MoveToListsTheOutlineAndGreysWhereTheMoveIsRefused)
{
    std::vector<Row> outline = kOutline;
    outline.push_back({"D", ""});
    for (char n = '1'; n <= '9'; ++n)
        outline.push_back({std::string("D") + n, "Full"});
    open(outline);
    selectKey("B1");
    QStringList lines;
    QString current;
    QStringList refused;
    QTimer::singleShot(0, [&] {
        auto *chooser = qobject_cast<ItemChooser *>(QApplication::activeModalWidget());
        ASSERT_TRUE(chooser);
        auto *list = control<QListWidget>(*chooser, "items");
        for (int row = 0; row < list->count() && row < 9; ++row) {
            const QListWidgetItem *line = list->item(row);
            lines << line->text();
            if (!(line->flags() & Qt::ItemIsEnabled))
                refused << line->text().trimmed() + ": " + line->toolTip();
        }
        current = list->currentItem()->text();
        QTest::keyClicks(control<QLineEdit>(*chooser, "filter"), "gamma");
        QTest::keyClick(control<QLineEdit>(*chooser, "filter"), Qt::Key_Return);
    });
    press(Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(lines, (QStringList{"(the top level)", "Alpha", "Beta", "    One", "    Two", "Gamma",
                                  "    Three", "(untitled)", "    Full"}));
    EXPECT_EQ(current, "Beta");
    EXPECT_EQ(refused, (QStringList{"One: Beta > One\nAn item cannot go into its own subtree.",
                                    "(untitled): The item \"D\" holds nine items already."}));
    EXPECT_EQ(selectionOf(*form).Key, "C2");
    EXPECT_EQ(ui().TreeView1->find("B1"), 0);
    EXPECT_TRUE(boxes.asked.empty());
}

// Dropping on an item puts the dragged one under it, between two items beside them; a place a
// move would refuse takes no drop, and changes nothing.
TEST_F(MoveTest, DraggingMovesWhereTheDropIsAndNowhereAMoveIsRefused)
{
    open(kOutline);
    ui().TreeView1->expandAll();
    EXPECT_TRUE(drag("C", "B", 0.5));
    EXPECT_EQ(rows(), "1:A 2:B 3:B1 4:B2 5:B3 6:B31");
    EXPECT_EQ(selectionOf(*form).Key, "B3");
    EXPECT_TRUE(drag("B2", "B1", 0.05));
    EXPECT_EQ(rows(), "1:A 2:B 4:B2 7:B1 8:B3 9:B31");
    expectShownAsLoaded();
    const std::string before = rows();
    EXPECT_FALSE(drag("B", "B1", 0.5)); // into its own subtree
    EXPECT_FALSE(drag("A", "B", 0.5));  // the first item
    EXPECT_FALSE(drag("B", "A", 0.05)); // before the first item
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(boxes.asked.empty());
}

// A parent with nine items, and a top level of 191, take no other item: the drag shows it as it
// moves, before any drop, and one fewer takes it. Items already there move among themselves.
TEST_F(MoveTest, AFullParentOrTopLevelTakesNoDrop)
{
    struct Case
    {
        const char *name;
        int children; // under B
        int topLevel; // items at the top level, A and B among them
        const char *dragged;
        const char *target;
        double height;
        bool taken;
    };
    const Case cases[] = {
        {"under a parent of eight", 8, 3, "C", "B", 0.5, true},
        {"under a parent of nine", 9, 3, "C", "B", 0.5, false},
        {"between two of eight", 8, 3, "C", "B1", 0.05, true},
        {"between two of nine", 9, 3, "C", "B1", 0.05, false},
        {"one of nine among its siblings", 9, 3, "B9", "B1", 0.05, true},
        {"to a top level of 190", 1, 190, "B1", "A", 0.95, true},
        {"to a top level of 191", 1, 191, "B1", "A", 0.95, false},
        {"a top-level item among 191", 1, 191, "C", "A", 0.95, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Row> outline{{"A", "Alpha"}, {"B", "Beta"}};
        for (int child = 1; child <= c.children; ++child)
            outline.push_back({"B" + std::to_string(child), "Child"});
        for (char32_t code = 'C'; code < 'A' + static_cast<char32_t>(c.topLevel); ++code)
            outline.push_back({keys::keyOfCode(code), "Top"});
        path = folder.path(std::string(c.name) + ".mdb");
        boxes.asked.clear();
        open(outline);
        ui().TreeView1->expandAll();
        const std::string before = rows();
        EXPECT_EQ(drag(c.dragged, c.target, c.height), c.taken);
        EXPECT_EQ(rows() != before, c.taken);
        EXPECT_TRUE(boxes.asked.empty());
        tester.reset();
        form.reset();
    }
}

// Every change of the outline (an add, a delete, the undo of the delete, a restore, a move
// and its undo) leaves the items open as the screen shows them and the outline scrolled where
// it was, selects what the command selects, and shows what loading the file afresh shows.
TEST_F(MoveTest, EveryChangeKeepsTheOpenItemsAndTheScrolling)
{
    std::vector<Row> outline{{"A", "Alpha"}};
    for (char32_t code = 'B'; code < 'B' + 40; ++code) {
        const std::string key = keys::keyOfCode(code);
        outline.push_back({key, "Item " + key, code % 3 == 0});
        outline.push_back({key + "1", "Child " + key});
        outline.push_back({key + "11", "Grandchild " + key});
    }
    open(outline);
    OutlineView &tree = *ui().TreeView1;
    // Opened and closed on the screen only, against the stored flags.
    tree.setExpanded(tree.find("T"), true);
    tree.setExpanded(tree.find("T1"), true);
    tree.setExpanded(tree.find("U"), false);
    tree.setExpanded(tree.find("V"), true);
    tree.scrollTo(tree.modelIndexOf(tree.find("T")), QAbstractItemView::PositionAtTop);
    const int scrolled = tree.verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    const auto openKeys = [&] {
        QStringList open;
        for (int index = 1; index <= tree.count(); ++index)
            if (tree.isExpanded(index))
                open << tree.key(index);
        open.sort();
        return open;
    };
    const QStringList openBefore = openKeys();
    struct Step
    {
        const char *name;
        const char *selected; // before the step
        std::function<void()> act;
        const char *selects;
        QStringList opened; // beside the items open before
    };
    const auto yes = [&](QAbstractButton *button) {
        return [this, button] {
            boxes.answers = {MessageBoxes::Answer::Yes};
            button->click();
        };
    };
    const Step steps[] = {
        {"an item added beside", "T1", yes(ui().Command4), "T2", {}},
        {"an item added under", "V", yes(ui().Command1), "V2", {}},
        {"a leaf deleted", "T2", yes(ui().Command5), "A", {}},
        {"the delete undone", "A", [&] { press(Qt::Key_Z, Qt::ControlModifier); }, "T2", {}},
        {"a move up", "T2", [&] { press(Qt::Key_Up); }, "T2", {}},
        {"the move undone", "T2", [&] { press(Qt::Key_Z, Qt::ControlModifier); }, "T2", {}},
        {"a move into the item above", "V", [&] { press(Qt::Key_Right); }, "U2", {"U"}},
    };
    QStringList opened;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        selectKey(step.selected);
        tree.verticalScrollBar()->setValue(scrolled);
        step.act();
        EXPECT_EQ(selectionOf(*form).Key.toStdString(), step.selects);
        opened << step.opened;
        QStringList expected = openBefore + opened;
        // A moved item takes its open state to its new key.
        if (std::string(step.name) == "a move into the item above")
            expected.replaceInStrings(QRegularExpression("^V$"), "U2");
        expected.removeDuplicates();
        expected.sort();
        EXPECT_EQ(openKeys(), expected);
        EXPECT_EQ(tree.verticalScrollBar()->value(), scrolled);
        expectShownAsLoaded();
    }
    EXPECT_EQ(boxes.asked.size(), 3u); // the two adds and the delete were asked
}

// A key stored with spaces stays as stored while its item moves among its siblings, and is
// written anew where the item takes a new key (the undo writes it as the key reads); an outline
// that left a row out (a second row keyed C1) is loaded again after a move, and shows the same.
TEST_F(MoveTest, StoredKeysAndRowsLeftOutShowAfterAMoveAsLoadingThemShows)
{
    const std::vector<Row> padded{
        {"A", "Alpha"}, {" B ", "Beta"}, {"B1", "One"}, {"C", "Gamma"}, {"C1", "Three"}};
    std::vector<Row> twinned = padded;
    twinned.push_back({" C1 ", "Twin"});
    struct Step
    {
        const char *key;
        int pressed;
        std::string padded; // the rows after it, in each outline
        std::string twinned;
    };
    const Step steps[] = {
        {"C", Qt::Key_Up, "1:A 4:C 5:C1 6: B  7:B1", "1:A 4:C 5:C1 6: C1  7: B  8:B1"},
        {"B", Qt::Key_Right, "1:A 4:C 5:C1 6:C2 7:C21", "1:A 4:C 5:C1 6: C1  7:C2 8:C21"},
        {"C2", Qt::Key_Z, "1:A 4:C 5:C1 6:B 7:B1", "1:A 4:C 5:C1 6: C1  7:B 8:B1"},
    };
    for (const bool twin : {false, true}) {
        SCOPED_TRACE(twin ? "twinned" : "padded");
        path = folder.path(twin ? "twinned.mdb" : "padded.mdb");
        open(twin ? twinned : padded);
        for (const Step &step : steps) {
            SCOPED_TRACE(step.key);
            selectKey(step.key);
            press(step.pressed, step.pressed == Qt::Key_Z ? Qt::ControlModifier : Qt::AltModifier);
            EXPECT_EQ(rows(), twin ? step.twinned : step.padded);
            expectShownAsLoaded();
        }
        EXPECT_TRUE(boxes.asked.empty());
        tester.reset();
        form.reset();
    }
}

// The outline's menu holds the moves and the item commands, and names what an undo would do.
TEST_F(MoveTest, TheOutlineMenuOffersTheMovesAndSaysWhatUndoWouldDo)
{
    open(kOutline);
    selectKey("B2");
    press(Qt::Key_Up);
    QStringList entries;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                entries << action->text() + (action->isEnabled() ? "" : " (off)");
        menu->close();
    });
    OutlineView &tree = *ui().TreeView1;
    emit tree.customContextMenuRequested(
        tree.visualRect(tree.modelIndexOf(tree.find("C"))).center());
    EXPECT_EQ(entries, (QStringList{"Move &up", "Move &down (off)", "Move &out (off)", "Move &in",
                                    "Move &to…", "&Rename", "&Add item", "Add &subitem", "De&lete",
                                    "&Undo the move", "Deleted &items…"}));
    EXPECT_EQ(selectionOf(*form).Key, "C"); // the menu is the item's under the pointer
}

} // namespace
} // namespace quillet::test
