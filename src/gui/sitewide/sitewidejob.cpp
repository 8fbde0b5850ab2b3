#include "gui/sitewide/sitewidejob.h"

#include <QThread>
#include <QTimer>

namespace pw::gui {

SiteWideJob::SiteWideJob(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &SiteWideJob::progressed);
}

SiteWideJob::~SiteWideJob()
{
    cancelAndWait();
}

bool SiteWideJob::start(Work work)
{
    if (m_thread)
        return false;
    m_cancel = false;
    {
        std::lock_guard lock(m_mutex);
        m_progress = {};
    }
    SiteProgressCallback progress = [this](const SiteProgress& now) {
        std::lock_guard lock(m_mutex);
        m_progress = now;
    };
    m_thread = QThread::create(
        [this, work = std::move(work), progress = std::move(progress)] { work(progress, m_cancel); });
    // Emitted on the worker thread: queued to this object's thread.
    // Emitted on the worker thread: queued to this object's thread. A job
    // waited for by cancelAndWait has a newer generation and is not ended twice.
    connect(
        m_thread, &QThread::finished, this,
        [this, generation = ++m_generation] {
            if (generation == m_generation)
                onThreadFinished();
        },
        Qt::QueuedConnection);
    m_elapsed.start();
    m_timer->start();
    m_thread->start();
    return true;
}

void SiteWideJob::cancelAndWait()
{
    if (!m_thread)
        return;
    m_cancel = true;
    m_thread->wait();
    m_timer->stop();
    ++m_generation;
    delete m_thread;
    m_thread = nullptr;
}

void SiteWideJob::onThreadFinished()
{
    if (!m_thread)
        return;
    m_thread->wait();
    m_timer->stop();
    delete m_thread;
    m_thread = nullptr;
    emit progressed();
    emit finished();
}

SiteProgress SiteWideJob::progress() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

} // namespace pw::gui
