#pragma once

#include "platform/BackgroundWork.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <string>

namespace quillet {

// Runs the engine's quick check of the database file on a read-only connection of its own, on
// a thread of its own, so that start-up does not wait for it; then, when the file passed and a
// backup is due (see backups::due), makes a verified backup, keeping 10. Reports on the
// user-interface thread. Destroying it stops a check or backup still running.
class DamageCheckAndBackup : public QObject
{
    Q_OBJECT

public:
    explicit DamageCheckAndBackup(std::string databasePath, QObject *parent = nullptr);
    ~DamageCheckAndBackup() override;

    // backUp: whether to make a backup after a clean check (not for a file that cannot change).
    void start(bool backUp);

signals:
    // problem is empty when the file passed the check.
    void finished(const QString &problem);
    void backupFailed(const QString &problem);

private:
    void run(const std::atomic<bool> &stop, bool backUp);

    std::string m_path;
    bool m_started = false;
    // Last, so that it is destroyed first: the work stops before anything it uses goes.
    BackgroundWork m_work{this};
};

} // namespace quillet
