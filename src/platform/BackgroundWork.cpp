#include "platform/BackgroundWork.h"

#include <QMetaObject>

namespace quillet {

BackgroundWork::BackgroundWork(QObject *context)
    : m_context(context)
{
}

BackgroundWork::~BackgroundWork()
{
    stop();
}

void BackgroundWork::start(std::function<void(const std::atomic<bool> &stop)> work)
{
    stop();
    m_thread = std::thread([this, work = std::move(work)] { work(m_stop); });
}

void BackgroundWork::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_stop = false;
}

void BackgroundWork::answer(std::function<void()> answer)
{
    QMetaObject::invokeMethod(m_context, std::move(answer), Qt::QueuedConnection);
}

} // namespace quillet
