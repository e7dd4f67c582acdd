#pragma once

#include <QTemporaryDir>

#include <string>

namespace quillet::test {

// A temporary folder for one test, removed afterwards.
class TempFolder
{
public:
    TempFolder();
    std::string path(const std::string &name) const;
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Makes a database file with the program's two tables and no rows.
void createEmptyDatabase(const std::string &path);

// Runs SQL against a database file through a connection of its own (for setting up rows,
// or for damaging a file on purpose).
void execSql(const std::string &path, const std::string &sql);

// Runs a query that returns one value, as text ("NULL" for a Null).
std::string querySql(const std::string &path, const std::string &sql);

// Makes a database holding the given outline rows (key, title, expanded) in that order, and
// 30 settings rows all 0.
struct Row
{
    std::string key;
    std::string title;
    bool expanded = false;
};
void createDatabase(const std::string &path, const std::vector<Row> &rows);

// The program's two tables without their constraints, as another program might have made
// them: duplicate and Null keys, Null titles and Null flags can all be stored. The row "A"
// (ID 1) and 30 zero settings make it a database without problems to start from.
void createForeignDatabase(const std::string &path);

// The file's bytes, for checking that a file was left exactly as it was.
std::string fileBytes(const std::string &path);

// Makes the file hold exactly these bytes.
void writeFile(const std::string &path, const std::string &bytes);

} // namespace quillet::test
