#include "NotesFixture.h"
#include "notes/outline/OutlineShape.h"
#include "store/Keys.h"
#include "store/OutlineChange.h"
#include "support/BadOutlineRows.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTest>

namespace quillet::test {
namespace {

using OutlineTest = NotesFixture;

// The outline's column is as wide as the widest item shown, and at least as wide as the view:
// after items are opened, closed, retitled or drawn in another font, and after the view is
// resized.
TEST(OutlineViewTest, TheColumnFitsTheWidestItemShownWhateverChanged)
{
    struct Probe : OutlineView
    {
        using QTreeView::sizeHintForColumn;
    } view;
    view.nodes().add(QStringLiteral("A"), QStringLiteral("short"), {});
    view.nodes().add(QStringLiteral("A1"), QString(60, QLatin1Char('w')), QStringLiteral("A"));
    view.resize(200, 300);
    view.show();
    const QModelIndex top = view.nodes().indexOf(0);
    const std::pair<const char *, std::function<void()>> steps[] = {
        {"shown",
         [] {
         }},
        {"opened",
         [&] {
             view.expand(top);
         }},
        {"widened",
         [&] {
             view.resize(3000, 300);
         }},
        {"narrowed",
         [&] {
             view.resize(200, 300);
         }},
        {"retitled",
         [&] {
             view.nodes().setData(view.nodes().indexOf(1), "w", Qt::EditRole);
         }},
        {"titled long again",
         [&] {
             view.nodes().setData(view.nodes().indexOf(1), QString(60, QLatin1Char('w')),
                                  Qt::EditRole);
         }},
        {"in a larger font",
         [&] {
             QFont font = view.font();
             font.setPointSizeF(font.pointSizeF() * 3);
             view.setFont(font);
         }},
        {"closed",
         [&] {
             view.collapse(top);
         }},
    };
    for (const auto &[name, step] : steps) {
        step();
        const auto fitted = [&] {
            return view.header()->sectionSize(0) ==
                   std::max(view.viewport()->width(), view.sizeHintForColumn(0));
        };
        EXPECT_TRUE(QTest::qWaitFor(fitted, 5000))
            << name << ": " << view.header()->sectionSize(0) << " against "
            << std::max(view.viewport()->width(), view.sizeHintForColumn(0));
    }
}

TEST_F(OutlineTest, KeysPlaceRowsInTheTreeAndIndicesFollowRowOrder)
{
    load({{"A", "Alpha"}, {"A1", "One"}, {"B", "Beta"}, {"A2", "Two"}, {"A11", "Eleven"}});
    OutlineView &tree = *ui().TreeView1;
    QAbstractItemModelTester tester(&tree.nodes(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);

    EXPECT_EQ(outline(),
              (std::vector<std::string>{"A:Alpha", "A1:One", "B:Beta", "A2:Two", "A11:Eleven"}));
    const OutlineModel &model = tree.nodes();
    ASSERT_EQ(model.rowCount(), 2);
    const QModelIndex a = model.index(0, 0);
    EXPECT_EQ(model.data(a, Qt::DisplayRole).toString(), "Alpha");
    EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(), "Beta");
    ASSERT_EQ(model.rowCount(a), 2);
    EXPECT_EQ(model.data(model.index(1, 0, a), Qt::DisplayRole).toString(), "Two");
    const QModelIndex one = model.index(0, 0, a);
    ASSERT_EQ(model.rowCount(one), 1);
    EXPECT_EQ(model.data(model.index(0, 0, one), Qt::DisplayRole).toString(), "Eleven");

    EXPECT_EQ(tree.fullPath(5), "Alpha > One > Eleven");
    EXPECT_EQ(tree.fullPath(3), "Beta");
    EXPECT_EQ(tree.children(1), 2);
    EXPECT_EQ(tree.children(3), 0);
    EXPECT_THROW(tree.key(0), std::out_of_range);
    EXPECT_THROW(tree.key(6), std::out_of_range);
    EXPECT_TRUE(boxes.asked.empty());
}

// Changes that do not fit the nodes as they are change nothing: the window loads the outline
// again instead. One that fits leaves the nodes as loading the changed rows would.
TEST(OutlineModelTest, AChangeThatDoesNotFitTheNodesChangesNothing)
{
    OutlineModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const std::pair<const char *, std::int64_t> nodes[] = {{"A", 1}, {"B", 2}, {"B1", 3}, {"C", 4}};
    for (const auto &[key, id] : nodes)
        model.add(key, QStringLiteral("t") + key, QString::fromStdString(keys::parent(key)), {},
                  id);
    const auto shown = [&] {
        std::string text;
        for (int number = 0; number < model.count(); ++number)
            text += model.node(number).key.toStdString() + "<" +
                    std::to_string(model.node(number).parent) + ":" +
                    model.node(number).text.toStdString() + " ";
        return text;
    };
    const auto row = [](std::int64_t id, const char *key, Value title = Value::text("new")) {
        return OutlineRow{id, Value::text(key), std::move(title), Value::integer(0)};
    };
    const std::string before = shown();
    const std::pair<const char *, OutlineChange> refused[] = {
        {"no such key", {{{9, 10, "D", "C1"}}, {}, {}}},
        {"another row's ID", {{{9, 10, "B1", "C1"}}, {}, {}}},
        {"a key another node keeps", {{{2, 10, "B", "C"}, {3, 11, "B1", "C1"}}, {}, {}}},
        {"a key given twice", {{{2, 10, "B", "C1"}, {3, 11, "B1", "C1"}}, {}, {}}},
        {"a parent not there", {{{3, 10, "B1", "D1"}}, {}, {}}},
        {"a parent after its child", {{{2, 10, "B", "B"}}, {}, {}}},
        {"one row twice", {{{2, 10, "B", "B"}, {2, 11, "B", "B"}}, {}, {}}},
        {"a row put in with a key there", {{}, {row(9, "B1")}, {}}},
        {"a row put in twice", {{}, {row(9, "D"), row(10, "D")}, {}}},
        {"a row put in under no item", {{}, {row(9, "D1")}, {}}},
        {"a row put in with an ID there", {{}, {row(4, "D")}, {}}},
        {"a row put in that loading leaves out", {{}, {row(9, "D", Value())}, {}}},
        {"a row taken out that is not there", {{}, {}, {9}}},
        {"a parent taken out without its child", {{}, {}, {2}}},
        {"a changed row taken out", {{{3, 10, "B1", "C1"}}, {}, {3}}},
        {"a row put in under one taken out", {{}, {row(9, "B2")}, {2, 3}}},
    };
    for (const auto &[why, change] : refused) {
        EXPECT_FALSE(model.apply(change)) << why;
        EXPECT_EQ(shown(), before) << why;
    }
    EXPECT_TRUE(model.apply({{{2, 10, "B", "C1"}, {3, 11, "B1", "C11"}}, {}, {}}));
    EXPECT_EQ(shown(), "A<-1:tA C<-1:tC C1<1:tB C11<2:tB1 ");
    // Taken out, put back under another key, and a new item under one put in: the rows in ID
    // order, each under the parent its key names.
    EXPECT_TRUE(model.apply({{}, {row(5, "B", Value::text(" b ")), row(12, "B1")}, {10, 11}}));
    EXPECT_EQ(shown(), "A<-1:tA C<-1:tC B<-1:b B1<2:new ");
    EXPECT_EQ(model.find("C1"), -1);
    EXPECT_EQ(model.find("B1"), 3);
}

// The outline on the screen and the rows in the file answer the rules of a move alike: every
// item to every place around every other item, and every step, gets the same verdict and key
// from both, so that a drop the outline shows as allowed is one the move makes.
TEST(OutlineModelTest, TheOutlineAndTheRowsAnswerTheMoveRulesAlike)
{
    std::vector<KeyedRow> rows;
    std::vector<std::string> keys{"A", "B", "C", "D"};
    for (char n = '1'; n <= '9'; ++n)
        keys.push_back(std::string("B") + n); // B full
    for (char n = '1'; n <= '8'; ++n)
        keys.push_back(std::string("C") + n); // C with room for one
    std::string chain = "D";
    while (chain.size() < 99) // down to level 99
        keys.push_back(chain += "1");
    keys.push_back("C11");
    OutlineModel model;
    std::int64_t id = 0;
    for (const std::string &key : keys) {
        rows.push_back({++id, key});
        model.add(QString::fromStdString(key), QString(), QString::fromStdString(keys::parent(key)),
                  {}, id);
    }
    const moves::RowsShape fromRows(rows);
    const OutlineShape fromNodes(model);
    const std::vector<std::string> some{
        "A", "B", "B1", "B9", "C", "C1", "C8", "C11", "D", "D1", chain.substr(0, 98), chain, "Q"};
    using Kind = moves::Place::Kind;
    int allowed = 0;
    int refused = 0;
    for (const std::string &key : some) {
        for (const moves::Step step :
             {moves::Step::Up, moves::Step::Down, moves::Step::Out, moves::Step::In})
            EXPECT_EQ(moves::placeOf(fromRows, key, step), moves::placeOf(fromNodes, key, step))
                << key;
        for (const std::string &target : some)
            for (const Kind kind : {Kind::Under, Kind::Before, Kind::After, Kind::Top}) {
                const moves::Verdict a = moves::judge(fromRows, key, {kind, target});
                const moves::Verdict b = moves::judge(fromNodes, key, {kind, target});
                EXPECT_EQ(a.refusal, b.refusal) << key << " " << int(kind) << " " << target;
                EXPECT_EQ(a.newKey, b.newKey) << key << " " << int(kind) << " " << target;
                (a.allowed() ? allowed : refused) += 1;
            }
    }
    // Both kinds of answer were asked for, each many times.
    EXPECT_GT(allowed, 100);
    EXPECT_GT(refused, 100);
}

TEST_F(OutlineTest, KeysAndTitlesAreTrimmedOfSpacesOnlyAndKeysAreCaseSensitive)
{
    load(
        {{"A ", "  Spaced title  "}, {" a", "lower"}, {"A1  ", "\tTabbed"}, {"a1", "lower child"}});
    EXPECT_EQ(outline(), (std::vector<std::string>{"A:Spaced title", "a:lower", "A1:\tTabbed",
                                                   "a1:lower child"}));
    EXPECT_EQ(ui().TreeView1->fullPath(4), "lower > lower child");
    EXPECT_EQ(ui().TreeView1->nodes().find("a"), 1);
}

TEST_F(OutlineTest, StoredExpandedFlagsAreAppliedAfterLoading)
{
    Form3 &notes = load({{"A", "a", true},
                         {"A1", "a1", false},
                         {"A11", "a11"},
                         {"B", "b", false},
                         {"B1", "b1", true},
                         {"B11", "b11"}});
    OutlineView &tree = *ui().TreeView1;
    // The tester checks every signal of the clear and the reload below.
    QAbstractItemModelTester tester(&tree.nodes(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_TRUE(tree.isExpanded(1));
    EXPECT_FALSE(tree.isExpanded(2));
    EXPECT_FALSE(tree.isExpanded(4));
    EXPECT_TRUE(tree.isExpanded(5));

    // Reloading brings back the stored flags, not the ones changed since.
    tree.setExpanded(1, false);
    tree.setExpanded(4, true);
    notes.ClearTree();
    EXPECT_EQ(tree.count(), 0);
    notes.LoadTree();
    EXPECT_TRUE(tree.isExpanded(1));
    EXPECT_FALSE(tree.isExpanded(4));
}

TEST_F(OutlineTest, LoadingTwiceWithoutClearingLeavesOutEveryRow)
{
    Form3 &notes = load({{"A", "a"}, {"B", "b"}});
    notes.LoadTree();
    ASSERT_EQ(notes.skippedRows().size(), 2u);
    EXPECT_EQ(notes.skippedRows()[0].id, 1);
    EXPECT_EQ(notes.skippedRows()[0].reason, "the key is already in the outline");
    EXPECT_EQ(ui().TreeView1->count(), 2);
}

// A row that cannot join the outline is left out, with why, and every later sound row still
// joins: quillet-db check reports the same rows.
TEST_F(OutlineTest, LoadingLeavesOutEveryRowTheToolReports)
{
    for (const BadOutlineRow &c : kBadOutlineRows) {
        SCOPED_TRACE(c.name);
        path = folder.path(std::string(c.name) + ".mdb");
        createForeignDatabase(path);
        execSql(path, c.sql);
        execSql(path,
                "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (100, 'Z', 'z', 0)");
        form = std::make_unique<Form3>(platform, session);
        session.setPath(path);
        form->Form_Load();
        ASSERT_FALSE(form->skippedRows().empty());
        EXPECT_EQ(form->skippedRows()[0].id, c.id);
        EXPECT_NE(form->skippedRows()[0].reason.find(c.reason), std::string::npos)
            << form->skippedRows()[0].reason;
        EXPECT_EQ(ui().TreeView1->key(ui().TreeView1->count()), "Z");
    }
}

// A row left out takes its descendants with it; the rows after them load.
TEST_F(OutlineTest, ARowLeftOutTakesItsDescendantsWithIt)
{
    createForeignDatabase(path);
    execSql(path, "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES "
                  "(2, 'B', NULL, 0), (3, 'B1', 'b1', 0), (4, 'B11', 'b11', 0), (5, 'C', 'c', 0)");
    form = std::make_unique<Form3>(platform, session);
    session.setPath(path);
    form->Form_Load();
    EXPECT_EQ(outline(), (std::vector<std::string>{"A:Top", "C:c"}));
    std::vector<std::int64_t> ids;
    for (const SkippedRow &row : form->skippedRows())
        ids.push_back(row.id);
    EXPECT_EQ(ids, (std::vector<std::int64_t>{2, 3, 4}));
}

TEST_F(OutlineTest, KeyboardSelectionActsLikeAClick)
{
    Form3 &notes = load({{"A", "Alpha"}, {"A1", "One"}, {"B", "Beta"}});
    execSql(path, "UPDATE mynodes SET Keimeno='beta note' WHERE Kleidi='B'");
    ui().Text2->setText("1");
    ASSERT_EQ(selectionOf(notes).Key, "A");
    notes.show();
    ui().TreeView1->setFocus();
    // A is collapsed, so Down moves to B.
    QTest::keyClick(ui().TreeView1, Qt::Key_Down);
    EXPECT_EQ(selectionOf(notes).Key, "B");
    EXPECT_EQ(selectionOf(notes).Index, "3");
    EXPECT_EQ(selectionOf(notes).FullPath, "Beta");
    EXPECT_EQ(ui().Text1->toPlainText(), "beta note");
}

TEST_F(OutlineTest, MouseClickSelectsTheNodeAndShowsItsPathAndNote)
{
    Form3 &notes = load({{"A", "Alpha", true}, {"A1", "One"}, {"B", "Beta"}});
    execSql(path, "UPDATE mynodes SET Keimeno='first child' WHERE Kleidi='A1'");
    notes.show();
    OutlineView &tree = *ui().TreeView1;
    const QRect rect = tree.visualRect(tree.nodes().indexOf(1));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(selectionOf(notes).Key, "A1");
    EXPECT_EQ(selectionOf(notes).Text, "One");
    EXPECT_EQ(selectionOf(notes).Index, "2");
    EXPECT_EQ(ui().Label3->text(), "Alpha > One");
    EXPECT_EQ(ui().Text1->toPlainText(), "first child");
}

} // namespace
} // namespace quillet::test
