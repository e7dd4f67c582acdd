#include "platform/BackgroundWork.h"

#include <QMetaObject>

#include <exception>

namespace quillet {

BackgroundWork::BackgroundWork(QObject *context, std::function<void(const QString &)> failed)
    : m_context(context)
    , m_failed(std::move(failed))
{
    // One work at a time: a new one waits for the one asked to stop.
    m_pool.setMaxThreadCount(1);
}

BackgroundWork::~BackgroundWork()
{
    stop();
    m_pool.waitForDone();
}

void BackgroundWork::start(std::function<void(const std::atomic<bool> &stop)> work)
{
    stop();
    auto flag = std::make_shared<std::atomic<bool>>(false);
    m_stop = flag;
    m_pool.start([this, flag, work = std::move(work)] {
        QString failure;
        try {
            work(*flag);
            return;
        } catch (const std::exception &error) {
            failure = QString::fromUtf8(error.what());
        } catch (...) {
            failure = QStringLiteral("An unexpected problem stopped the work.");
        }
        if (m_failed && !*flag)
            answer([this, failure] { m_failed(failure); });
    });
}

void BackgroundWork::stop()
{
    if (m_stop)
        *m_stop = true;
}

void BackgroundWork::answer(std::function<void()> answer)
{
    QMetaObject::invokeMethod(m_context, std::move(answer), Qt::QueuedConnection);
}

} // namespace quillet
