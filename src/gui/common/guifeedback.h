#pragma once

#include "sites/feedback.h"

#include <QObject>

class QLabel;
class QStatusBar;
class QWidget;

namespace pw::gui {

class TransferRunner;

// What the sites and documents logic tells the user, shown by the window: the
// status text in the status bar (painted at once, since a transfer may follow),
// messages in modal boxes with an OK button, trust questions with Yes and No.
// The status text is a label of its own in the status bar: the hints of the
// menus and buttons cover it while the pointer is on them and leave it as it
// was, so a result stays until the next one.
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
    void setStatusText(const QString& text);
    QString statusText() const;

signals:
    void commandStateChanged();

private:
    QWidget* m_window;
    QLabel* m_statusText;
    TransferRunner* m_runner;
};

} // namespace pw::gui
