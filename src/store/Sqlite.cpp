#include "store/Sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace quillet {

StoreError::StoreError(int code, const std::string &message, const std::string &path)
    : std::runtime_error(path.empty() ? message : message + "\nDatabase file: " + path)
    , m_code(code)
    , m_message(message)
    , m_path(path)
{
}

// The engine may read a name as a URI ("file:...") or a special name (":memory:"); a path of
// our own always means the file of that name.
static std::string sqliteName(const std::string &path)
{
    if (path.empty() || path.front() == '/')
        return path;
    return "./" + path;
}

static int openFlags(Connection::Mode mode)
{
    // Extended result codes tell a full disk from a read-only file from an I/O error.
    int flags = SQLITE_OPEN_EXRESCODE;
    switch (mode) {
    case Connection::Mode::ReadWrite:
        return flags | SQLITE_OPEN_READWRITE;
    case Connection::Mode::ReadOnly:
        return flags | SQLITE_OPEN_READONLY;
    case Connection::Mode::Create:
        return flags | SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    }
    return flags;
}

// What a failure means in words a user can act on, and its code for whoever helps them; the
// engine's own text is for developers and never reaches a message.
static std::string plainFailure(int code)
{
    std::string reason = plainReason(code);
    if (reason.empty())
        reason = "The database engine reported an unexpected problem.";
    return reason + " (code " + std::to_string(code) + ")";
}

Connection::Connection(const std::string &path, Mode mode)
    : m_path(path)
{
    const int rc = sqlite3_open_v2(sqliteName(path).c_str(), &m_db, openFlags(mode), nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError(rc, "Cannot open the database. " + plainFailure(rc), path);
    }
    // Our schema has no triggers or views; one planted in the file must never run. Defensive
    // mode refuses writes that could corrupt the file even through SQL.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_busy_timeout(m_db, 3000);
}

Connection::~Connection()
{
    sqlite3_close_v2(m_db);
}

Connection::Connection(Connection &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr))
    , m_path(std::move(other.m_path))
{
}

void Connection::exec(const char *sql)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, "Writing to the database");
}

bool Connection::tryExec(const char *sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void Connection::setBusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(m_db, milliseconds);
}

bool StoreError::isBusy() const
{
    return (m_code & 0xFF) == SQLITE_BUSY || (m_code & 0xFF) == SQLITE_LOCKED;
}

bool StoreError::waitsForRollback() const
{
    return m_code == SQLITE_READONLY_ROLLBACK || m_code == SQLITE_READONLY_RECOVERY;
}

void Connection::useDurableCommits()
{
    tryExec("PRAGMA journal_mode=DELETE");
    exec("PRAGMA synchronous=EXTRA");
}

int Connection::changes() const
{
    return sqlite3_changes(m_db);
}

bool Connection::isReadOnly() const
{
    return sqlite3_db_readonly(m_db, "main") == 1;
}

void Connection::stopWhen(const std::atomic<bool> &stop, int steps)
{
    sqlite3_progress_handler(
        m_db, steps,
        [](void *flag) { return static_cast<const std::atomic<bool> *>(flag)->load() ? 1 : 0; },
        const_cast<std::atomic<bool> *>(&stop));
}

bool Connection::copyTo(Connection &destination, const std::atomic<bool> *stop)
{
    sqlite3_backup *backup = sqlite3_backup_init(destination.m_db, "main", m_db, "main");
    if (!backup)
        destination.fail(sqlite3_errcode(destination.m_db), "Starting the backup");
    int rc = SQLITE_OK;
    while (!(stop && *stop)) {
        rc = sqlite3_backup_step(backup, 1024);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            sqlite3_sleep(20); // a write of another connection is under way
        else if (rc != SQLITE_OK)
            break;
    }
    sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        return true;
    if (stop && *stop)
        return false;
    fail(rc, "Copying the database");
}

namespace {

// A failure's cause, and what the user can do about it.
struct Plain
{
    const char *cause;
    const char *advice;
};

Plain plainOf(int code)
{
    // A read-only connection met a journal of a change a crash cut short: the file is sound
    // once that change is rolled back, which needs a connection that may write.
    if (code == SQLITE_READONLY_ROLLBACK)
        return {"A change cut short by a crash waits in the journal beside the database file to "
                "be rolled back.",
                "Starting Quillet rolls it back, or run quillet-db recover on the file. Keep the "
                "journal: without it the file is damaged."};
    switch (code & 0xFF) {
    case SQLITE_FULL:
        return {"The disk is full.", "Make room on it, then try again."};
    case SQLITE_READONLY:
        return {"The database file or its folder is read-only, so changes cannot be stored.",
                nullptr};
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {"Another program is using the database file and holds it locked.",
                "Close it, then try again."};
    case SQLITE_IOERR:
        return {"The disk reported an error while reading or writing the file.", nullptr};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return {"The database file is damaged.", nullptr};
    case SQLITE_CANTOPEN:
        return {"The database file, or its journal beside it, cannot be opened.", nullptr};
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return {"Permission to use the database file was denied.", nullptr};
    case SQLITE_NOMEM:
        return {"The computer ran out of memory.", nullptr};
    case SQLITE_TOOBIG:
        return {"The text is too large to store.", nullptr};
    case SQLITE_CONSTRAINT:
        return {"The change conflicts with a row already in the file.", nullptr};
    default:
        return {nullptr, nullptr};
    }
}

} // namespace

std::string plainReason(int code)
{
    const Plain plain = plainOf(code);
    if (!plain.cause)
        return {};
    return plain.advice ? std::string(plain.cause) + " " + plain.advice : plain.cause;
}

std::string plainCause(int code)
{
    const Plain plain = plainOf(code);
    return std::string(plain.cause ? plain.cause
                                   : "The database engine reported an unexpected problem.") +
           " (code " + std::to_string(code) + ")";
}

void Connection::fail(int code, std::string_view doing) const
{
    throw StoreError(code, std::string(doing) + " failed. " + plainFailure(code), m_path);
}

Statement::Statement(Connection &connection, std::string_view sql)
    : m_connection(connection)
{
    const int rc = sqlite3_prepare_v2(connection.handle(), sql.data(), static_cast<int>(sql.size()),
                                      &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        connection.fail(rc, "Reading the database");
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int position, std::string_view text)
{
    // An empty view may have no data pointer, which the engine would store as Null.
    const int rc = sqlite3_bind_text64(m_stmt, position, text.data() ? text.data() : "",
                                       text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK)
        m_connection.fail(rc, "Binding a value");
}

void Statement::bind(int position, std::int64_t number)
{
    const int rc = sqlite3_bind_int64(m_stmt, position, number);
    if (rc != SQLITE_OK)
        m_connection.fail(rc, "Binding a value");
}

void Statement::bind(int position, double number)
{
    const int rc = sqlite3_bind_double(m_stmt, position, number);
    if (rc != SQLITE_OK)
        m_connection.fail(rc, "Binding a value");
}

void Statement::bindNull(int position)
{
    const int rc = sqlite3_bind_null(m_stmt, position);
    if (rc != SQLITE_OK)
        m_connection.fail(rc, "Binding a value");
}

void Statement::bind(int position, const Value &value)
{
    switch (value.type()) {
    case Value::Type::Null:
        return bindNull(position);
    case Value::Type::Integer:
        return bind(position, *value.integer());
    case Value::Type::Real:
        return bind(position, *value.real());
    case Value::Type::Text:
        return bind(position, *value.textView());
    case Value::Type::Blob: {
        const std::string_view bytes = *value.textView();
        const int rc = sqlite3_bind_blob64(m_stmt, position, bytes.data() ? bytes.data() : "",
                                           bytes.size(), SQLITE_TRANSIENT);
        if (rc != SQLITE_OK)
            m_connection.fail(rc, "Binding a value");
        return;
    }
    }
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_connection.fail(rc, sqlite3_stmt_readonly(m_stmt) ? "Reading the database"
                                                        : "Writing to the database");
}

void Statement::run()
{
    while (step()) {
    }
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
}

Value Statement::column(int index) const
{
    Value value;
    column(index, value);
    return value;
}

void Statement::column(int index, Value &into) const
{
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_INTEGER:
        into.setInteger(sqlite3_column_int64(m_stmt, index));
        break;
    case SQLITE_FLOAT:
        into.setReal(sqlite3_column_double(m_stmt, index));
        break;
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
        into.setText(
            std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, index))));
        break;
    }
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_stmt, index));
        into.setText(std::string_view(bytes ? bytes : "", static_cast<std::size_t>(
                                                              sqlite3_column_bytes(m_stmt, index))),
                     Value::Type::Blob);
        break;
    }
    default:
        into.setNull();
        break;
    }
}

std::int64_t Statement::columnInt64(int index) const
{
    return sqlite3_column_int64(m_stmt, index);
}

std::string_view Statement::columnBytes(int index) const
{
    // Text and blobs as stored, numbers as text; nothing for Null.
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_stmt, index));
        return bytes ? std::string_view(
                           bytes, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, index)))
                     : std::string_view();
    }
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
        return text ? std::string_view(
                          text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, index)))
                    : std::string_view();
    }
    }
}

std::string Statement::columnText(int index) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
    return text ? std::string(text, sqlite3_column_bytes(m_stmt, index)) : std::string();
}

Transaction::Transaction(Connection &connection)
    : m_connection(connection)
{
    m_connection.exec("BEGIN IMMEDIATE");
    m_open = true;
}

Transaction::~Transaction()
{
    if (m_open)
        sqlite3_exec(m_connection.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    m_connection.exec("COMMIT");
    m_open = false;
}

} // namespace quillet
