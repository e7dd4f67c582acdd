#include "app/DamageCheck.h"

#include "keeping/Backups.h"
#include "store/QuickCheck.h"

#include <QMetaObject>

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

void DamageCheck::start(bool backUp)
{
    m_backUp = backUp;
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

void DamageCheck::run()
{
    const DamageFinding finding = quickCheck(m_path, m_stop);
    if (finding.outcome == DamageFinding::Outcome::NotChecked)
        return;
    const QString problem = QString::fromStdString(finding.problem);
    QMetaObject::invokeMethod(
        this, [this, problem] { emit finished(problem); }, Qt::QueuedConnection);
    if (finding.outcome != DamageFinding::Outcome::Sound || !m_backUp)
        return;
    try {
        if (backups::due(m_path))
            backups::make(m_path, 10, &m_stop);
    } catch (const std::exception &error) {
        if (m_stop)
            return;
        const QString why = QString::fromUtf8(error.what());
        QMetaObject::invokeMethod(
            this, [this, why] { emit backupFailed(why); }, Qt::QueuedConnection);
    }
}

} // namespace quillet
