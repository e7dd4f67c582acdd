#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace quillet {

// Tells whether another copy of this program, started from the same folder, is running. The
// lock is a file in the user's runtime folder that the running copy holds; a lock left behind
// by a copy that was killed names a process that no longer exists and does not block.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &programFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Takes the lock; false when another running copy holds it.
    bool acquire();
    // Lets the lock go, for a program that ends without its destructors running.
    void release();

    QString lockPath() const { return m_lockPath; }

private:
    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace quillet
