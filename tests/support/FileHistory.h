#pragma once

#include "keeping/History.h"
#include "store/NoteStore.h"

#include <string>

namespace quillet::test {

// The store a FileHistory reads the notes through, made before the history that uses it.
struct StoreOfFile
{
    explicit StoreOfFile(const std::string &path)
        : notes(path)
    {
    }
    NoteStore notes;
};

// The history of the notes file at path, for a test that plants or reads versions beside the
// program's own: the history reads the notes only through a store, here one of the test's own.
class FileHistory : private StoreOfFile, public NoteHistory
{
public:
    explicit FileHistory(const std::string &path)
        : StoreOfFile(path)
        , NoteHistory(notes)
    {
    }
};

} // namespace quillet::test
