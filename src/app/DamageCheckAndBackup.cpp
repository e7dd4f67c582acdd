#include "app/DamageCheckAndBackup.h"

#include "keeping/Backups.h"
#include "keeping/History.h"
#include "store/QuickCheck.h"

#include <ctime>

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
        if (backups::due(m_path)) {
            backups::make(m_path, 10, &stop);
            // The history is pruned once a day, once its copy is in the backup.
            NoteHistory(m_path).prune(static_cast<std::int64_t>(std::time(nullptr)));
        }
    } catch (const std::exception &error) {
        if (stop)
            return;
        const QString why = QString::fromUtf8(error.what());
        m_work.answer([this, why] { emit backupFailed(why); });
    }
}

} // namespace quillet
