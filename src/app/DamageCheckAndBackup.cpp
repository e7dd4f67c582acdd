#include "app/DamageCheckAndBackup.h"

#include "keeping/Backups.h"
#include "store/QuickCheck.h"

namespace quillet {

DamageCheckAndBackup::DamageCheckAndBackup(std::string databasePath, QObject *parent)
    : QObject(parent)
    , m_path(std::move(databasePath))
{
}

DamageCheckAndBackup::~DamageCheckAndBackup() = default;

void DamageCheckAndBackup::start(bool backUp)
{
    if (m_started)
        return;
    m_started = true;
    m_work.start([this, backUp](const std::atomic<bool> &stop) { run(stop, backUp); });
}

void DamageCheckAndBackup::run(const std::atomic<bool> &stop, bool backUp)
{
    const DamageFinding finding = quickCheck(m_path, stop);
    if (finding.outcome == DamageFinding::Outcome::NotChecked)
        return;
    const QString problem = QString::fromStdString(finding.problem);
    m_work.answer([this, problem] { emit finished(problem); });
    if (finding.outcome != DamageFinding::Outcome::Sound || !backUp)
        return;
    try {
        if (backups::due(m_path))
            backups::make(m_path, 10, &stop);
    } catch (const std::exception &error) {
        if (stop)
            return;
        const QString why = QString::fromUtf8(error.what());
        m_work.answer([this, why] { emit backupFailed(why); });
    }
}

} // namespace quillet
