#include "gui/common/cappeddownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <memory>

namespace pw::gui {

CappedDownload DownloadCapped(
    QNetworkAccessManager& client, const QUrl& address, qint64 limit, int idleMs, int totalMs)
{
    QNetworkRequest request(address);
    request.setTransferTimeout(idleMs);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> reply(client.get(request), [](QNetworkReply* r) {
        // The handlers below refer to this call's locals.
        r->disconnect();
        r->deleteLater();
    });
    // Qt keeps no more than this unread; what arrives is taken at once below.
    reply->setReadBufferSize(64 * 1024);

    CappedDownload result;
    bool tooLarge = false;
    bool timedOut = false;
    auto take = [&] {
        if (tooLarge)
            return;
        while (reply->bytesAvailable() > 0) {
            result.Body += reply->read(limit + 1 - result.Body.size());
            if (result.Body.size() > limit) {
                tooLarge = true;
                result.Body.clear();
                reply->abort();
                return;
            }
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid() && declared.toLongLong() > limit && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), take);

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), [&] {
        timedOut = true;
        reply->abort();
    });
    if (!reply->isFinished()) {
        deadline.start(totalMs);
        loop.exec();
    }
    take();

    if (tooLarge) {
        result.Result = CappedDownload::Outcome::TooLarge;
        result.Body.clear();
        return result;
    }
    if (reply->error() == QNetworkReply::NoError && !timedOut) {
        result.Result = CappedDownload::Outcome::Ok;
        return result;
    }
    result.Body.clear();
    result.ErrorText = timedOut ? QStringLiteral("Operation timed out") : reply->errorString();
    result.Result = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() && !timedOut
        ? CappedDownload::Outcome::HttpError
        : CappedDownload::Outcome::Failed;
    return result;
}

} // namespace pw::gui
