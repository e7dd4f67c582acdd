#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

namespace quillet {

// Tells whether another copy of this program, with the same notes database open, is running.
// The database is known by its file (links followed, so two folders whose mydata.mdb link to
// one file share it). The lock is a file in the user's runtime folder that the running copy
// holds locked, its process number inside; the system lets the lock go when the process ends,
// however it ends, so a copy that was killed does not block the next. The running copy also listens
// beside its lock, so that a second start can ask it to show itself.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &databasePath);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Takes the lock; false when another running copy holds it.
    bool acquire();
    // Lets the lock go, for a program that ends without its destructors running.
    void release();

    // The running copy: calls bringToFront, on the user-interface thread, whenever another
    // start asks for the window. False when nothing can be heard (no runtime folder).
    bool listen(std::function<void()> bringToFront);
    // The second start: asks the running copy to bring its window to the front. False when it
    // cannot be reached.
    bool askToBringToFront();

private:
    QString m_lockPath;
    QString m_socketPath;
    int m_lockFile = -1;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace quillet
