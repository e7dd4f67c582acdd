#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <string>
#include <thread>

namespace quillet {

// Runs the engine's quick check of the database file on a read-only connection of its own, on
// a thread of its own, so that start-up does not wait for it. Reports on the user-interface
// thread. Destroying it stops a check still running.
class DamageCheck : public QObject
{
    Q_OBJECT

public:
    explicit DamageCheck(std::string databasePath, QObject *parent = nullptr);
    ~DamageCheck() override;

    void start();

signals:
    // problem is empty when the file passed the check.
    void finished(const QString &problem);

private:
    void run();

    std::string m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

} // namespace quillet
