#pragma once

#include <stdexcept>
#include <string>

namespace quillet {

// A failure of the note store: SQLite's result code (0 when the fault is in the data rather
// than in the engine), the engine's or our own description, and the database file it concerns.
class StoreError : public std::runtime_error
{
public:
    StoreError(int code, const std::string &message, const std::string &path);

    int code() const { return m_code; }
    // Another connection held the file locked past the wait.
    bool isBusy() const;
    // A change a crash cut short waits in the journal (or write-ahead log) beside the file,
    // and a connection that may not write cannot roll it back.
    bool waitsForRollback() const;
    const std::string &message() const { return m_message; }
    const std::string &path() const { return m_path; }

private:
    int m_code = 0;
    std::string m_message;
    std::string m_path;
};

// The database file cannot serve as the notes database at all: missing, unreadable, not a
// SQLite file, or lacking a table or column. Start-up cannot go on after this.
class DatabaseUnavailable : public StoreError
{
public:
    using StoreError::StoreError;
};

// A new row's key is taken by a row already in the table.
class KeyTaken : public StoreError
{
public:
    using StoreError::StoreError;
};

} // namespace quillet
