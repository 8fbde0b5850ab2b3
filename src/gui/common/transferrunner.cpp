#include "gui/common/transferrunner.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>

#include <thread>

namespace pw::gui {

namespace {

// An FTP client whose calls the runner makes on its worker thread.
class BackgroundFtpClient final : public FtpClient {
public:
    BackgroundFtpClient(std::unique_ptr<FtpClient> inner, TransferRunner& runner)
        : m_inner(std::move(inner))
        , m_runner(runner)
    {
    }

    FtpResult Connect() override
    {
        return m_runner.run(*m_inner, [this] { return m_inner->Connect(); });
    }
    FtpResult ChangeDir(const std::string& path) override
    {
        return m_runner.run(*m_inner, [&] { return m_inner->ChangeDir(path); });
    }
    FtpResult CurrentDir(std::string& path) override
    {
        return m_runner.run(*m_inner, [&] { return m_inner->CurrentDir(path); });
    }
    FtpResult List(std::string& listing) override
    {
        return m_runner.run(*m_inner, [&] { return m_inner->List(listing); });
    }
    FtpResult Retrieve(const std::string& path, TransferBuffer& buffer) override
    {
        return m_runner.run(*m_inner, [&] { return m_inner->Retrieve(path, buffer); });
    }
    FtpResult Store(const std::string& path, const TransferBuffer& buffer) override
    {
        return m_runner.run(*m_inner, [&] { return m_inner->Store(path, buffer); });
    }
    FtpResult Rename(const std::string& from, const std::string& to) override
    {
        return m_runner.run(*m_inner, [&] { return m_inner->Rename(from, to); });
    }
    FtpResult Delete(const std::string& path) override
    {
        return m_runner.run(*m_inner, [&] { return m_inner->Delete(path); });
    }
    FtpResult SetMode(const std::string& path, unsigned mode) override
    {
        return m_runner.run(*m_inner, [&] { return m_inner->SetMode(path, mode); });
    }
    void Quit() override
    {
        m_runner.run(*m_inner, [this] {
            m_inner->Quit();
            return FtpResult::Ok();
        });
    }
    bool Connected() const override { return m_inner->Connected(); }

private:
    std::unique_ptr<FtpClient> m_inner;
    TransferRunner& m_runner;
};

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

TransferRunner::TransferRunner(QWidget* window, QObject* parent)
    : QObject(parent)
    , m_window(window)
{
    m_delayTimer = new QTimer(this);
    m_delayTimer->setSingleShot(true);
    connect(m_delayTimer, &QTimer::timeout, this, &TransferRunner::showProgress);
    m_updateTimer = new QTimer(this);
    m_updateTimer->setInterval(100);
    connect(m_updateTimer, &QTimer::timeout, this, &TransferRunner::updateProgress);
}

TransferRunner::~TransferRunner() = default;

FtpClientFactory TransferRunner::wrap(FtpClientFactory inner)
{
    return [this, inner = std::move(inner)](const FtpClientSettings& settings) -> std::unique_ptr<FtpClient> {
        std::unique_ptr<FtpClient> client = inner(settings);
        if (!client)
            return client;
        return std::make_unique<BackgroundFtpClient>(std::move(client), *this);
    };
}

FtpResult TransferRunner::run(FtpClient& client, const std::function<FtpResult()>& call)
{
    // Calls made while one runs (they cannot come from the user) and calls
    // after the window went run where they are.
    if (m_inline || m_busy)
        return call();

    m_busy = true;
    m_done = 0;
    m_total = 0;
    m_cancelled = false;
    client.SetProgress([this](std::uint64_t done, std::uint64_t total) {
        m_done = done;
        m_total = total;
        return !m_cancelled.load();
    });
    qApp->installEventFilter(this);
    emit busyChanged(true);
    m_delayTimer->start(m_progressDelay);

    FtpResult result;
    QEventLoop loop;
    std::thread worker([&] {
        result = call();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    m_delayTimer->stop();
    m_updateTimer->stop();
    if (m_dialog) {
        m_dialog->hide();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
    client.SetProgress({});
    qApp->removeEventFilter(this);
    m_busy = false;
    emit busyChanged(false);
    return result;
}

void TransferRunner::showProgress()
{
    if (!m_busy || m_dialog)
        return;
    m_dialog = new QProgressDialog(m_window);
    m_dialog->setObjectName(QStringLiteral("TransferProgress"));
    m_dialog->setAccessibleName(QStringLiteral("転送の進み具合"));
    m_dialog->setWindowTitle(QStringLiteral("転送中"));
    m_dialog->setCancelButtonText(QStringLiteral("キャンセル"));
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setMinimumWidth(420);
    connect(m_dialog, &QProgressDialog::canceled, this, &TransferRunner::cancel);
    updateProgress();
    m_dialog->show();
    m_updateTimer->start();
    emit progressShown();
}

void TransferRunner::updateProgress()
{
    if (!m_dialog)
        return;
    const std::uint64_t done = m_done;
    const std::uint64_t total = m_total;
    const QLocale locale;
    QString bytes = locale.formattedDataSize(static_cast<qint64>(done));
    if (total > 0) {
        bytes += QStringLiteral(" / ") + locale.formattedDataSize(static_cast<qint64>(total));
        m_dialog->setRange(0, 1000);
        m_dialog->setValue(static_cast<int>(std::min<std::uint64_t>(1000, done * 1000 / total)));
    } else {
        m_dialog->setRange(0, 0);
    }
    QString text = m_description;
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    text += m_cancelled ? QStringLiteral("取り消し中...") : QStringLiteral("転送済み ") + bytes;
    m_dialog->setLabelText(text);
}

bool TransferRunner::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_busy)
        return false;
    const bool inDialog = m_dialog && watched->isWidgetType()
        && (watched == m_dialog || m_dialog->isAncestorOf(static_cast<QWidget*>(watched)));
    if (inDialog)
        return false;
    if (IsUserInput(event->type()))
        return true;
    if (event->type() == QEvent::Close && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
        event->ignore();
        return true;
    }
    return false;
}

} // namespace pw::gui
