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

} // namespace

void makeTables(Connection &db)
{
    db.exec(schema::creationSql);
    schema::setFileId(db, schema::newFileId());
}

void insertSettings(Connection &db)
{
    SettingInserter setting(db);
    for (int position = 1; position <= Settings::kCount; ++position)
        setting.insert(std::nullopt,
                       Value::integer(position <= static_cast<int>(kWindowGeometry.size())
                                          ? kWindowGeometry[position - 1]
                                          : 0));
}

void fillStarter(Connection &db, std::string_view title)
{
    ItemInserter(db).insert("A", title, "");
    insertSettings(db);
}

} // namespace quillet::newdatabase
