#include "notes/NotesSession.h"

#include "keeping/Deletions.h"

#include <charconv>
#include <stdexcept>

namespace quillet {

NotesSession::~NotesSession()
{
    close();
}

void NotesSession::open(const std::string &path)
{
    close();
    m_path = path;
    m_inUse = std::make_unique<InUseLock>(path);
    m_store = std::make_unique<NoteStore>(path);
}

void NotesSession::close()
{
    m_store.reset();
    m_inUse.reset();
}

NoteStore &NotesSession::store()
{
    if (!m_store)
        throw std::logic_error("The notes database is not open.");
    return *m_store;
}

bool NotesSession::isReadOnly() const
{
    return m_store && m_store->isReadOnly();
}

void NotesSession::loadSettings()
{
    store().loadSettings(m_settings);
}

void NotesSession::storeWorkspace(const std::vector<bool> &expanded, const WindowGeometry &geometry,
                                  const std::string &selectedIndex)
{
    store().storeExpanded(expanded);
    m_settings.at(1) = geometry.left;
    m_settings.at(2) = geometry.top;
    m_settings.at(3) = geometry.width;
    m_settings.at(4) = geometry.height;
    std::int32_t index = 0;
    const char *end = selectedIndex.data() + selectedIndex.size();
    const auto [stop, error] = std::from_chars(selectedIndex.data(), end, index);
    if (error != std::errc() || stop != end || index < -32768 || index > 32767)
        throw std::out_of_range("The selected item's index \"" + selectedIndex +
                                "\" is not a number from -32768 to 32767.");
    m_settings.at(5) = index;
    store().storeSettings(m_settings);
}

int NotesSession::deleteWithCopy(const std::string &key)
{
    // The rows go only once their copy is on the disk in deleted/, from where quillet-db
    // undelete puts them back.
    NoteStore &notes = store();
    return notes.deleteSubtree(key, [&](const std::vector<StoredRow> &rows) {
        deletions::keepCopy(notes.path(), key, rows);
    });
}

} // namespace quillet
