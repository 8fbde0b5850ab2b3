#include "gui/common/guifeedback.h"

#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/common/transferrunner.h"

#include <QLabel>
#include <QStatusBar>

namespace pw::gui {

GuiFeedback::GuiFeedback(QWidget* window, QStatusBar* statusBar, TransferRunner* runner, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_statusText(new QLabel(statusBar))
    , m_runner(runner)
{
    m_statusText->setObjectName(QStringLiteral("LbStatusText"));
    // No fixed name: a screen reader hears the text, which says what it is.
    m_statusText->setAccessibleDescription(QStringLiteral("状態"));
    m_statusText->setTextFormat(Qt::PlainText);
    m_statusText->setMinimumWidth(1);
    statusBar->addWidget(m_statusText, 1);
}

void GuiFeedback::Status(const std::string& text)
{
    setStatusText(FromData(text));
}

void GuiFeedback::setStatusText(const QString& text)
{
    m_statusText->setText(text);
    m_statusText->repaint();
    if (m_runner)
        m_runner->setDescription(text);
}

QString GuiFeedback::statusText() const
{
    return m_statusText->text();
}

void GuiFeedback::Message(MessageType type, const std::string& text)
{
    ShowMessage(m_window, type, FromData(text));
}

bool GuiFeedback::Confirm(const std::string& text)
{
    return ShowMessage(m_window, MessageType::Confirmation, FromData(text), QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

bool GuiFeedback::ConfirmTrust(const std::string& text, bool changed)
{
    if (!changed)
        return Confirm(text);
    return ShowMessage(m_window, MessageType::Warning, FromData(text), QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

} // namespace pw::gui
