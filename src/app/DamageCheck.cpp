#include "app/DamageCheck.h"

#include "store/Sqlite.h"

#include <QMetaObject>

#include <sqlite3.h>

namespace quillet {

DamageCheck::DamageCheck(std::string databasePath, QObject *parent)
    : QObject(parent)
    , m_path(std::move(databasePath))
{
}

DamageCheck::~DamageCheck()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void DamageCheck::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

void DamageCheck::run()
{
    QString problem;
    try {
        Connection connection(m_path, Connection::Mode::ReadOnly);
        // The engine asks now and then whether to go on: a window closing stops the check.
        sqlite3_progress_handler(
            connection.handle(), 10000,
            [](void *stop) { return static_cast<std::atomic<bool> *>(stop)->load() ? 1 : 0; },
            &m_stop);
        Statement check(connection, "PRAGMA quick_check(20)");
        QStringList lines;
        while (check.step())
            lines << QString::fromStdString(check.columnText(0));
        if (lines != QStringList{QStringLiteral("ok")})
            problem = lines.join(QLatin1Char('\n'));
    } catch (const StoreError &error) {
        if (m_stop)
            return;
        // A lock held past the wait is no sign of damage; anything else is.
        if ((error.code() & 0xFF) == 5 /* busy */)
            return;
        problem = QString::fromStdString(error.message());
    }
    if (m_stop)
        return;
    QMetaObject::invokeMethod(
        this, [this, problem] { emit finished(problem); }, Qt::QueuedConnection);
}

} // namespace quillet
