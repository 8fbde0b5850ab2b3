#pragma once

// The web server of the window tests: tests/gui/fixtures/form_server.py on
// 127.0.0.1 at a free port, serving a folder and answering POSTs with what
// they carried.

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <cstdint>

namespace pw::test {

class FormServer {
public:
    bool start(const QString& folder = QStringLiteral(PAGEWICK_TEST_DATA "/browser"))
    {
        return startScript(QStringLiteral(PAGEWICK_SOURCE_DIR "/tests/gui/fixtures/form_server.py"), { folder });
    }
    // The same over HTTPS with the certificate and key of `pem`.
    bool startTls(const QString& folder, const QString& pem)
    {
        m_scheme = QStringLiteral("https");
        return startScript(
            QStringLiteral(PAGEWICK_SOURCE_DIR "/tests/gui/fixtures/form_server.py"), { folder, pem });
    }
    // The proxy fixture: forwards GETs and counts them.
    bool startProxy()
    {
        return startScript(QStringLiteral(PAGEWICK_SOURCE_DIR "/tests/gui/fixtures/proxy_server.py"), {});
    }

    bool startScript(const QString& script, const QStringList& arguments)
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        m_port = probe.serverPort();
        probe.close();
        m_process.start(QStringLiteral("python3"), QStringList { script, QString::number(m_port) } + arguments);
        if (!m_process.waitForStarted(5000))
            return false;
        // Python can take many seconds to start on a loaded machine (a whole
        // test suite in parallel): wait up to 30 s, unless the script ended.
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 30000 && m_process.state() == QProcess::Running) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(100))
                return true;
            QTest::qWait(50);
        }
        return false;
    }
    ~FormServer()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    QString url(const QString& page) const
    {
        return QStringLiteral("%1://127.0.0.1:%2/%3").arg(m_scheme).arg(m_port).arg(page);
    }
    quint16 port() const { return m_port; }

    // How many body bytes the last answer below /__endless/ sent before the
    // client hung up (asked over a plain socket, outside any proxy).
    qint64 endlessSent() const
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (!socket.waitForConnected(3000))
            return -1;
        socket.write("GET /__sent HTTP/1.0\r\n\r\n");
        QByteArray answer;
        while (socket.waitForReadyRead(3000))
            answer += socket.readAll();
        answer += socket.readAll();
        const qsizetype body = answer.indexOf("\r\n\r\n");
        return body < 0 ? -1 : answer.mid(body + 4).trimmed().toLongLong();
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_scheme = QStringLiteral("http");
};

// The peak resident memory of this process in bytes since the last
// ResetPeakResident(), from /proc (a transient buffer that is freed again
// shows here, not in the current size).
inline void ResetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

inline std::int64_t PeakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

} // namespace pw::test
