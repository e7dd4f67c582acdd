#pragma once

#include "platform/BackgroundWork.h"
#include "session/NotesSession.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

namespace quillet {

// Schedules the work the notes session does with the file after start-up (its damage check,
// then its daily backup) on a thread of its own, so that start-up does not wait for it, and
// reports what it found on the user-interface thread. Destroying it stops work still running.
class DamageCheckAndBackup : public QObject
{
    Q_OBJECT

public:
    using Work = std::function<Upkeep(const std::atomic<bool> &stop)>;
    explicit DamageCheckAndBackup(Work work, QObject *parent = nullptr);
    ~DamageCheckAndBackup() override;

    void start();

signals:
    // problem is empty when the file passed the check.
    void finished(const QString &problem);
    void backupFailed(const QString &problem);

private:
    Work m_upkeep;
    bool m_started = false;
    // Last, so that it is destroyed first: the work stops before anything it uses goes. What
    // escapes the work is said as its backup's failure, the part of it that writes.
    BackgroundWork m_work{this, [this](const QString &what) {
                              emit backupFailed(what);
                          }};
};

} // namespace quillet
