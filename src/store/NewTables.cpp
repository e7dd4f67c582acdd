#include "store/NewTables.h"

#include "store/Schema.h"
#include "store/Settings.h"
#include "store/Tables.h"

#include <array>

namespace quillet::newdatabase {

namespace {

// The main window's place and size in twips at first start: its outer frame 600 twips in from
// the screen's corner, and the notes window's design size inside the frame.
constexpr std::array<std::int64_t, 4> kWindowGeometry{600, 600, 14340, 9465};
// The selected item's index in the outline, counted from 1 in outline order.
constexpr int kSelectedPosition = 5;

} // namespace

void makeTables(Connection &db)
{
    db.exec(schema::creationSql);
    schema::setFileId(db, schema::newFileId());
}

void insertSettings(Connection &db, std::int32_t selected)
{
    SettingInserter setting(db);
    for (int position = 1; position <= Settings::kCount; ++position)
        setting.insert(std::nullopt,
                       Value::integer(position <= static_cast<int>(kWindowGeometry.size())
                                          ? kWindowGeometry[position - 1]
                                      : position == kSelectedPosition ? selected
                                                                      : 0));
}

void fillStarter(Connection &db, std::string_view title)
{
    ItemInserter(db).insert("A", title, "");
    insertSettings(db);
}

std::string welcomeNote(std::string_view path)
{
    return "Each item in the outline on the left holds one note, shown here. What you type is "
           "stored as you type: there is nothing to save.\n"
           "\n"
           "- Add: Insert adds an item after the selected one, Ctrl+Insert one under it. F2 "
           "renames it.\n"
           "- Move: drag an item, or Alt and an arrow key; Ctrl+M moves it under an item you "
           "choose.\n"
           "- Find: Ctrl+F, in the titles or in the notes too; F3 goes to the next match.\n"
           "- Delete: the Delete key, in the outline. Ctrl+Z brings back the last delete or "
           "move, and Ctrl+Shift+D lists every deleted item to bring back.\n"
           "- Earlier versions of a note: Ctrl+H.\n"
           "\n"
           "Your notes are kept in " +
           std::string(path) +
           ", with its backups, deleted items and earlier versions in the same folder.\n"
           "\n"
           "This is an ordinary item: delete it when you no longer need it.\n";
}

void fillWelcomed(Connection &db, std::string_view title, std::string_view path)
{
    ItemInserter items(db);
    items.insert("A", title, "");
    items.insert("B", kWelcomeTitle, welcomeNote(path));
    insertSettings(db, 2);
}

} // namespace quillet::newdatabase
