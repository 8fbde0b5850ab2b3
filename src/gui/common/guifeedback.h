#pragma once

#include "sites/feedback.h"

#include <QObject>

class QStatusBar;
class QWidget;

namespace pw::gui {

class TransferRunner;

// What the sites and documents logic tells the user, shown by the window: the
// status text in the status bar (painted at once, since a transfer may follow),
// messages in modal boxes with an OK button, trust questions with Yes and No.
class GuiFeedback : public QObject, public SiteFeedback {
    Q_OBJECT
public:
    GuiFeedback(QWidget* window, QStatusBar* statusBar, TransferRunner* runner, QObject* parent = nullptr);

    void Status(const std::string& text) override;
    void Message(MessageType type, const std::string& text) override;
    bool Confirm(const std::string& text) override;
    // A key that changed since it was trusted is a warning, not a plain question.
    bool ConfirmTrust(const std::string& text, bool changed) override;
    void CommandStateChanged() override { emit commandStateChanged(); }

signals:
    void commandStateChanged();

private:
    QWidget* m_window;
    QStatusBar* m_statusBar;
    TransferRunner* m_runner;
};

} // namespace pw::gui
