#pragma once

#include <QObject>

class QSocketNotifier;

namespace pw::gui {

// Turns SIGTERM, SIGINT and SIGHUP into a signal of the event loop, so that
// the program can end as if its user had closed it, but without questions.
// One watch per process.
class TerminationWatch : public QObject {
    Q_OBJECT
public:
    explicit TerminationWatch(QObject* parent = nullptr);
    ~TerminationWatch() override;

signals:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace pw::gui
