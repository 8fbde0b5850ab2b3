#pragma once

#include "sites/ftpclient.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>

#include <QProgressDialog>
class QTimer;
class QWidget;

namespace pw::gui {

// Runs the network calls of the FTP clients on a worker thread, one at a time,
// while the window stays painted and takes no command. A call that takes
// longer than the progress delay shows a progress dialog with the bytes moved
// and a Cancel button; Cancel makes the call fail.
class TransferRunner : public QObject {
    Q_OBJECT
public:
    explicit TransferRunner(QWidget* window, QObject* parent = nullptr);
    ~TransferRunner() override;

    // A factory whose clients make every call through this runner.
    FtpClientFactory wrap(FtpClientFactory inner);

    // Runs `call` (a call on `client`) on a worker thread and waits for it.
    FtpResult run(FtpClient& client, const std::function<FtpResult()>& call);

    bool busy() const { return m_busy; }
    // The text the progress dialog shows above the byte count.
    void setDescription(const QString& text) { m_description = text; }
    // Milliseconds before the progress dialog shows (default 500).
    void setProgressDelay(int ms) { m_progressDelay = ms; }
    // From now on calls run on the calling thread without waiting in an event
    // loop (used once the window is going away).
    void setInline(bool runInline) { m_inline = runInline; }
    // Asks the running call to stop, as the dialog's Cancel button does.
    void cancel() { m_cancelled = true; }
    QProgressDialog* progressDialog() const { return m_dialog; }

signals:
    void busyChanged(bool busy);
    // The progress dialog has just been shown.
    void progressShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showProgress();
    void updateProgress();

    QWidget* m_window;
    QString m_description;
    int m_progressDelay = 500;
    bool m_busy = false;
    bool m_inline = false;
    std::atomic<std::uint64_t> m_done { 0 };
    std::atomic<std::uint64_t> m_total { 0 };
    std::atomic<bool> m_cancelled { false };
    QPointer<QProgressDialog> m_dialog;
    QTimer* m_delayTimer = nullptr;
    QTimer* m_updateTimer = nullptr;
};

} // namespace pw::gui
