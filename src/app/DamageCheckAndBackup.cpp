#include "app/DamageCheckAndBackup.h"

namespace quillet {

DamageCheckAndBackup::DamageCheckAndBackup(Work work, QObject *parent)
    : QObject(parent)
    , m_upkeep(std::move(work))
{
}

DamageCheckAndBackup::~DamageCheckAndBackup() = default;

void DamageCheckAndBackup::start()
{
    if (m_started)
        return;
    m_started = true;
    m_work.start([this](const std::atomic<bool> &stop) {
        const Upkeep done = m_upkeep(stop);
        if (!done.checked)
            return;
        const QString damage = QString::fromStdString(done.damage);
        const QString backup = QString::fromStdString(done.backupFailure);
        m_work.answer([this, damage, backup] {
            emit finished(damage);
            if (!backup.isEmpty())
                emit backupFailed(backup);
        });
    });
}

} // namespace quillet
