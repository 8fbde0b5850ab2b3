#pragma once

#include <QByteArray>
#include <QString>

class QNetworkAccessManager;
class QUrl;

namespace pw::gui {

// One GET of an online-service file, read to its end but never past `limit`
// bytes: an answer that declares or sends more is aborted at once and what
// came is dropped, so a server cannot make the program hold more than the
// limit. Waits in a local event loop, as the window's other service requests
// do; `idleMs` ends a transfer that stalls, `totalMs` one that trickles.
struct CappedDownload {
    enum class Outcome {
        Ok, // Body holds the whole answer
        HttpError, // the server answered with an error status
        TooLarge, // the answer was longer than the limit
        Failed, // no answer: no connection, a time-out, a refused certificate
    };
    Outcome Result = Outcome::Failed;
    QByteArray Body;
    QString ErrorText; // the network error, for HttpError and Failed
};

CappedDownload DownloadCapped(
    QNetworkAccessManager& client, const QUrl& address, qint64 limit, int idleMs = 12000, int totalMs = 60000);

} // namespace pw::gui
