#include "faults/power/PowerCutWorkload.h"

#include "faults/power/BrokenWriting.h"
#include "keeping/Backups.h"
#include "keeping/Deletions.h"
#include "keeping/FileOperations.h"
#include "keeping/History.h"
#include "keeping/InUseLock.h"
#include "keeping/MovesWithVersions.h"
#include "keeping/NewDatabase.h"
#include "keeping/RecoveryFile.h"
#include "store/NoteStore.h"
#include "tools/commands/DbTool.h"

#include <memory>
#include <optional>
#include <sstream>

namespace quillet::test {

using crashtest::noteTag;
using crashtest::RowState;
using crashtest::StoreState;
using crashtest::textDigest;
using crashtest::Write;

namespace {

// Thrown to end the run: a step failed, or the power is off.
struct Stopped
{
};

// Notes of Latin and Greek words, long enough to span several pages and sectors, each
// beginning with its note's tag.
std::string noteText(const std::string &tag, std::size_t size, int variant)
{
    static const char *const kWords[] = {"lorem ",  "\xce\xbb\xcf\x8c\xce\xb3\xce\xbf\xcf\x82 ",
                                         "ipsum\n", "\xce\x91\xce\xb8\xce\xae\xce\xbd\xce\xb1 ",
                                         "dolor ",  "\"quoted\" "};
    std::string text = "[" + tag + "] note " + std::to_string(variant) + ": ";
    for (std::size_t i = static_cast<std::size_t>(variant); text.size() < size; ++i)
        text += kWords[i % 6];
    text.resize(size, '.');
    return text;
}

} // namespace

// The open notes file as the program holds it: the in-use lock, then the store, and the
// history, open from its first use to the end of the session.
class PowerCutWorkload::Session
{
public:
    Session(const std::string &path, Writing writing)
        : m_lock(path)
        , m_store(path)
        , m_history(m_store)
    {
        if (writing == Writing::CommitsWithFullSync)
            m_store.connection().exec("PRAGMA synchronous=FULL");
        else if (writing == Writing::CommitsWithNormalSync)
            m_store.connection().exec("PRAGMA synchronous=NORMAL");
    }

    NoteStore &store() { return m_store; }
    NoteHistory &history() { return m_history; }

private:
    InUseLock m_lock;
    NoteStore m_store;
    NoteHistory m_history;
};

PowerCutWorkload::PowerCutWorkload(std::string folder, Writing writing)
    : m_folder(std::move(folder))
    , m_writing(writing)
{
}

void PowerCutWorkload::run(const std::function<bool()> &powerIsOff)
{
    // The broken writer stands between the code and the disk for the run only.
    struct Skipping
    {
        FolderSyncSkipping writer{durable::fileOperations()};
        durable::FileOperations *disk = durable::useFileOperations(&writer);
        ~Skipping() { durable::useFileOperations(disk); }
    };
    std::optional<Skipping> skipping;
    if (m_writing == Writing::FolderSyncsSkipped)
        skipping.emplace();

    const std::string path = databasePath();
    Acknowledged &acknowledged = m_acknowledged;
    StoreState model;
    std::unique_ptr<Session> session;

    // A step that fails with the power on is a fault of the program's, not of the disk.
    const auto stopOrRethrow = [&] {
        if (powerIsOff())
            throw Stopped{};
        throw;
    };
    const auto done = [&] {
        acknowledged.underWay.reset();
        acknowledged.deletingRows.clear();
        acknowledged.restoreReplaces.reset();
        ++acknowledged.steps;
        if (powerIsOff())
            throw Stopped{};
    };
    // A step that changes the database: after is what it leaves once acknowledged.
    const auto change = [&](const StoreState &after, const auto &act) {
        acknowledged.underWay = after;
        try {
            act();
        } catch (const std::exception &) {
            stopOrRethrow();
        }
        acknowledged.states.push_back(after);
        model = after;
    };
    const auto write = [&](const Write &write, const auto &act) {
        change(*crashtest::applied(model, write), act);
        done();
    };
    const auto file = [&](AcknowledgedFile::Kind kind, const auto &act) {
        AcknowledgedFile made{kind, {}, {}, model, {}};
        try {
            made.path = act(made);
        } catch (const std::exception &) {
            stopOrRethrow();
        }
        acknowledged.files.push_back(made);
        done();
    };
    const auto text = [&](const std::string &key, const std::string &note) {
        Write save;
        save.kind = Write::Kind::Text;
        save.key = key;
        save.textSize = note.size();
        save.textHash = crashtest::textHash(note);
        // As the program saves: the note it replaces is kept in the history first, whose
        // versions nobody is promised at a power cut, but whose file must stay whole. A note
        // never saved has no tag to tell whose it is, and nothing worth keeping.
        write(save, [&] {
            if (const std::optional<StoredRow> row = session->store().readRow(key);
                row && !noteTag(row->at(3).textView().value_or("")).empty())
                session->history().keep(*row, false, static_cast<std::int64_t>(model.rows.size()));
            session->store().saveText(key, note);
        });
    };
    const auto add = [&](const std::string &key, const std::string &title) {
        Write item;
        item.kind = Write::Kind::Add;
        item.key = key;
        item.title = title;
        write(item, [&] { session->store().insertItem(key, title); });
    };
    // A move, having counted the versions each row of the subtree has, by its tag: the history
    // makes them durable before the notes change (see Acknowledged::Move).
    const auto move = [&](const std::string &key, const moves::Place &place,
                          const StoreState &after) {
        Acknowledged::Move made{acknowledged.states.size(), {}};
        try {
            for (const RowState &row : model.rows) {
                if (!row.key.starts_with(key))
                    continue;
                const std::optional<StoredRow> stored = session->store().readRow(row.key);
                const std::string tag = noteTag(stored->at(3).textView().value_or(""));
                std::size_t &count = made.versions[tag];
                for (const NoteVersion &version :
                     session->history().versionsOf(*stored->at(0).integer()))
                    count += noteTag(version.row[3].textView().value_or("")) == tag ? 1 : 0;
            }
        } catch (const std::exception &) {
            stopOrRethrow();
        }
        acknowledged.move = made;
        change(after, [&] {
            if (m_writing == Writing::MoveWithoutVersions ||
                m_writing == Writing::MoveCrossingVersions)
                moveBroken(session->store(), session->history(), key, place,
                           m_writing == Writing::MoveCrossingVersions);
            else
                moving::move(session->store(), session->history(), key, place);
        });
        done();
    };
    const auto workspace = [&](int variant) {
        Write flags;
        flags.kind = Write::Kind::Expanded;
        for (std::size_t i = 0; i < model.rows.size(); ++i)
            flags.flags.push_back((i + static_cast<std::size_t>(variant)) % 2 == 0);
        write(flags, [&] { session->store().storeExpanded(flags.flags); });
        Write settings;
        settings.kind = Write::Kind::Settings;
        Settings values;
        for (int position = 1; position <= Settings::kCount; ++position) {
            values.at(position) = position * 1009 * (variant + 1) - 7000;
            settings.settings[static_cast<std::size_t>(position - 1)] = values.at(position);
        }
        write(settings, [&] { session->store().storeSettings(values); });
    };

    try {
        StoreState made;
        made.rows.push_back(
            RowState{"A", std::string(newdatabase::kStarterTitle), textDigest(""), 0});
        made.settings = {600, 600, 14340, 9465};
        change(made, [&] { initDatabase(path); });
        done();

        session = std::make_unique<Session>(path, m_writing);
        text("A", noteText("A", 6000, 1));
        add("B", "Second item");
        add("A1", "Child \xc2\xab\xce\xb1\xc2\xbb");
        text("A1", noteText("A1", 2000, 2));
        StoreState renamed = model;
        renamed.rows[1].title = "Renamed 'B'";
        change(renamed, [&] { session->store().rename("B", "Renamed 'B'"); });
        done();
        add("B1", "Grandchild");
        text("B1", noteText("B1", 9000, 3));
        // A second save keeps the first in the history, which the backup then copies.
        text("A", noteText("A", 4000, 11));
        workspace(0);

        // The daily backup, as the program makes it after start-up.
        std::string backup;
        file(AcknowledgedFile::Kind::Backup, [&](AcknowledgedFile &) {
            backup = backups::make(path, 3).file;
            return backup;
        });
        const StoreState backedUp = model;

        // Deleting with a copy, as the notes window does: the copy first, then the rows.
        std::vector<RowState> deleting;
        std::vector<std::size_t> deletedAt;
        for (std::size_t i = 0; i < model.rows.size(); ++i)
            if (model.rows[i].key.starts_with("B")) {
                deleting.push_back(model.rows[i]);
                deletedAt.push_back(i);
            }
        acknowledged.deletingRows = deleting;
        std::string copy;
        Write remove;
        remove.kind = Write::Kind::Delete;
        remove.key = "B";
        change(*crashtest::applied(model, remove), [&] {
            session->store().deleteSubtree("B", [&](const std::vector<StoredRow> &rows) {
                copy = deletions::keepCopy(path, "B", rows);
            });
        });
        acknowledged.files.push_back(
            {AcknowledgedFile::Kind::DeletionCopy, copy, {}, {}, deleting});
        done();

        // A note that could not be stored goes to its recovery file.
        acknowledged.recoveryText = noteText("A1", 1500, 4);
        file(AcknowledgedFile::Kind::Recovery, [&](AcknowledgedFile &recovered) {
            recovered.bytes = acknowledged.recoveryText;
            const std::string written = recovery::write(path, "A1", acknowledged.recoveryText, {});
            if (written.empty())
                throw std::runtime_error("no recovery file was written");
            return written;
        });
        text("A", noteText("A", 500, 5));
        session.reset();

        // The tool, with the program closed: the deleted items put back, an export, a restore.
        StoreState undeleted = model;
        for (std::size_t i = 0; i < deleting.size(); ++i)
            undeleted.rows.insert(
                undeleted.rows.begin() + static_cast<std::ptrdiff_t>(deletedAt[i]), deleting[i]);
        change(undeleted, [&] { deletions::undelete(copy, path); });
        done();

        acknowledged.exportPath = m_folder + "/notes.json";
        {
            std::ostringstream expected;
            dbtool::exportDatabase(path, dbtool::ExportFormat::Json, expected);
            acknowledged.exportBytes = expected.str();
        }
        file(AcknowledgedFile::Kind::Export, [&](AcknowledgedFile &exported) {
            exported.bytes = acknowledged.exportBytes;
            std::ostringstream out, err;
            if (dbtool::run(
                    {"export", path, "--format", "json", "--output", acknowledged.exportPath}, out,
                    err) != 0)
                throw std::runtime_error(err.str());
            return acknowledged.exportPath;
        });

        std::string kept;
        acknowledged.restoreReplaces = model;
        const StoreState replaced = model;
        change(backedUp, [&] { kept = backups::restore(backup, path).kept; });
        acknowledged.files.push_back(
            {AcknowledgedFile::Kind::BeforeRestore, kept, {}, replaced, {}});
        done();

        // The program again, on the restored file: versions of B and B1, then B moved under C.
        // B's ID is below C's, so B and B1 take new IDs (last in ID order), and their
        // versions follow them there.
        session = std::make_unique<Session>(path, m_writing);
        text("A1", noteText("A1", 3000, 6));
        text(kMoved, noteText(kMoved, 1200, 7));
        text(kMoved, noteText(kMoved, 2500, 8));
        text("B1", noteText("B1", 4000, 9));
        add(kMovedUnder, "After the restore");
        StoreState moved;
        std::vector<RowState> subtree;
        for (RowState row : model.rows) {
            if (!row.key.starts_with(kMoved)) {
                moved.rows.push_back(row);
                continue;
            }
            row.key = kMovedUnder + ("1" + row.key.substr(1));
            subtree.push_back(row);
        }
        moved.rows.insert(moved.rows.end(), subtree.begin(), subtree.end());
        moved.settings = model.settings;
        move(kMoved, {moves::Place::Kind::Under, kMovedUnder}, moved);
        // A save after the move keeps its version under the note's new ID.
        text(std::string(kMovedUnder) + "1", noteText(kMoved, 800, 10));
        // A1 deleted with its copy, then put back under C as the deleted items window does:
        // its rows take new keys and, being older than C, new IDs, last in ID order; its
        // versions follow them, which the check of every version's note sees after each cut.
        std::vector<RowState> deletingA1;
        for (const RowState &row : model.rows)
            if (row.key.starts_with("A1"))
                deletingA1.push_back(row);
        std::string copyA1;
        Write removeA1;
        removeA1.kind = Write::Kind::Delete;
        removeA1.key = "A1";
        change(*crashtest::applied(model, removeA1), [&] {
            session->store().deleteSubtree("A1", [&](const std::vector<StoredRow> &rows) {
                copyA1 = deletions::keepCopy(path, "A1", rows);
            });
        });
        done();
        StoreState putBack = model;
        const std::string underC = std::string(kMovedUnder) + "2"; // C1 is the moved B
        for (RowState row : deletingA1) {
            row.key = underC + row.key.substr(2);
            putBack.rows.push_back(row);
        }
        change(putBack, [&] {
            deletions::restore(session->store(), session->history(), copyA1,
                               std::string(kMovedUnder));
        });
        done();
        workspace(1);
        session.reset();
    } catch (const Stopped &) {
    } catch (const std::exception &) {
        if (!powerIsOff())
            throw;
    }
}

} // namespace quillet::test
