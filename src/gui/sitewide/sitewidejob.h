#pragma once

#include "sites/sitewalk.h"

#include <QElapsedTimer>
#include <QObject>

#include <atomic>
#include <functional>
#include <mutex>

class QThread;
class QTimer;

namespace pw::gui {

// Runs one whole-site operation (a scan, an update run, a restore) on a
// worker thread while the window goes on. The operation reports its progress
// through the callback it is given; the window reads the latest state a few
// times a second (progressed) rather than once per page. Cancel sets the flag
// the operation watches. Deleting the job cancels it and waits for its end.
class SiteWideJob : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(const SiteProgressCallback& progress, const std::atomic<bool>& cancel)>;

    explicit SiteWideJob(QObject* parent = nullptr);
    ~SiteWideJob() override;

    // Starts `work` on a new worker thread; false while another runs.
    bool start(Work work);
    bool running() const { return m_thread != nullptr; }
    // Asks the running work to stop at its next page.
    void cancel() { m_cancel = true; }
    bool cancelled() const { return m_cancel.load(); }
    // Cancels and waits for the worker to end (finished is not emitted).
    void cancelAndWait();

    SiteProgress progress() const;
    qint64 elapsedMs() const { return m_elapsed.isValid() ? m_elapsed.elapsed() : 0; }

signals:
    // A few times a second while the work runs.
    void progressed();
    // The work has returned; its results are the caller's to read now.
    void finished();

private:
    void onThreadFinished();

    QThread* m_thread = nullptr;
    unsigned m_generation = 0;
    QTimer* m_timer = nullptr;
    std::atomic<bool> m_cancel { false };
    mutable std::mutex m_mutex;
    SiteProgress m_progress;
    QElapsedTimer m_elapsed;
};

} // namespace pw::gui
