#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <string>
#include <thread>

namespace quillet {

// Runs the engine's quick check of the database file on a read-only connection of its own, on
// a thread of its own, so that start-up does not wait for it; then, when the file passed and a
// backup is due (see backups::due), makes a verified backup, keeping 10. Reports on the
// user-interface thread. Destroying it stops a check or backup still running.
class DamageCheck : public QObject
{
    Q_OBJECT

public:
    explicit DamageCheck(std::string databasePath, QObject *parent = nullptr);
    ~DamageCheck() override;

    // backUp: whether to make a backup after a clean check (not for a file that cannot change).
    void start(bool backUp);

signals:
    // problem is empty when the file passed the check.
    void finished(const QString &problem);
    void backupFailed(const QString &problem);

private:
    void run();

    std::string m_path;
    bool m_backUp = false;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

} // namespace quillet
