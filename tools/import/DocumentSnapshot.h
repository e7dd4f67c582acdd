#pragma once

#include "store/Sqlite.h"

#include <optional>
#include <string>

namespace quillet::dbtool {

// A private copy of another program's SQLite document, to be read in its place. The document is
// opened read-only with the notes file's own hardening (nothing stored in it runs) and copied
// whole in one step of the engine's online backup: the program's own writes wait only as long
// as the copying, not the reading. The copy is a file only this user may read, in the system's
// temporary folder, removed when the snapshot is dropped.
class DocumentSnapshot
{
public:
    // Throws ImportRefused when another program's lock keeps the document from being read,
    // StoreError when it cannot be read as a SQLite file.
    explicit DocumentSnapshot(const std::string &path);
    ~DocumentSnapshot();
    DocumentSnapshot(const DocumentSnapshot &) = delete;
    DocumentSnapshot &operator=(const DocumentSnapshot &) = delete;

    Connection &connection() { return *m_copy; }
    const std::string &file() const { return m_file; }

private:
    std::string m_file;
    std::optional<Connection> m_copy;
};

} // namespace quillet::dbtool
