#include "NotesFixture.h"
#include "notes/FindWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QRadioButton>

namespace quillet::test {
namespace {

class FindTest : public NotesFixture
{
protected:
    void open(const std::vector<Row> &rows, const char *selected)
    {
        load(rows);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText(selected);
    }

    // Opens the find window with Ctrl+F, as a user does.
    FindWindow *find()
    {
        QTest::keyClick(ui().Text1, Qt::Key_F, Qt::ControlModifier);
        return form->findChild<FindWindow *>();
    }

    // Types the query and waits for its matches to be listed.
    QListWidget *search(FindWindow *window, const QString &query)
    {
        auto *field = control<QLineEdit>(*window, "findText");
        field->setText(query);
        auto *status = control<QLabel>(*window, "findStatus");
        EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() != "Searching..."; }, 10000));
        return control<QListWidget>(*window, "findResults");
    }

    QStringList listed(QListWidget *results)
    {
        QStringList lines;
        for (int row = 0; row < results->count(); ++row)
            lines << results->item(row)->text();
        return lines;
    }
};

TEST_F(FindTest, MatchesAreListedWithTheirPathsAndLines)
{
    open({{"A", "Garden"}, {"A1", "Beds"}, {"B", "Letters"}}, "1");
    execSql(path, "UPDATE mynodes SET Keimeno='first\nroses in the garden bed\nlast' "
                  "WHERE Kleidi='A1'");
    FindWindow *window = find();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(listed(search(window, "garden")),
              (QStringList{"Garden", "Garden > Beds: roses in the garden bed"}));
    window->findChildren<QRadioButton *>().front()->setChecked(true); // titles only
    EXPECT_EQ(listed(search(window, "GARDEN")), QStringList{"Garden"});
    EXPECT_TRUE(listed(search(window, "50% _'\\")).isEmpty());
    EXPECT_TRUE(listed(search(window, QString(10000, QLatin1Char('x')))).isEmpty());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

// Choosing a match is a click on its item: the note being typed is stored first, the item's
// ancestors open, and it is selected with its note shown.
TEST_F(FindTest, ChoosingAMatchGoesToItsItemAsAClickDoes)
{
    open({{"A", "Alpha"}, {"A1", "One"}, {"A11", "Deep"}, {"B", "Beta"}}, "4");
    execSql(path, "UPDATE mynodes SET Keimeno='a needle here' WHERE Kleidi='A11'");
    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, "typed in Beta");
    FindWindow *window = find();
    QListWidget *results = search(window, "needle");
    ASSERT_EQ(results->count(), 1);
    QTest::keyClick(control<QLineEdit>(*window, "findText"), Qt::Key_Return);
    EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='B'"), "typed in Beta");
    EXPECT_EQ(selectionOf(*form).Key, "A11");
    EXPECT_EQ(ui().TreeView1->selectedIndex(), 3);
    EXPECT_TRUE(ui().TreeView1->isExpanded(1));
    EXPECT_TRUE(ui().TreeView1->isExpanded(2));
    EXPECT_EQ(ui().Text1->toPlainText(), "a needle here");
}

TEST_F(FindTest, PastFiveHundredMatchesAreCountedNotListed)
{
    std::vector<Row> rows = {{"A", "Alpha"}};
    for (int i = 1; i <= 9; ++i)
        rows.push_back({"A" + std::to_string(i), "item"});
    open(rows, "1");
    std::string more = "BEGIN;";
    for (int i = 0; i < 600; ++i)
        more += "INSERT INTO mynodes (Kleidi, MyText, Keimeno) VALUES ('x" + std::to_string(i) +
                "', 't', 'word');";
    execSql(path, more + "COMMIT;");
    FindWindow *window = find();
    EXPECT_EQ(search(window, "word")->count(), 500);
    EXPECT_EQ(control<QLabel>(*window, "findStatus")->text(),
              "600 matches; the first 500 are listed.");
}

} // namespace
} // namespace quillet::test
