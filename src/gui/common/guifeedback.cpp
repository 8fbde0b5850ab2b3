#include "gui/common/guifeedback.h"

#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/common/transferrunner.h"

#include <QStatusBar>

namespace pw::gui {

GuiFeedback::GuiFeedback(QWidget* window, QStatusBar* statusBar, TransferRunner* runner, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_statusBar(statusBar)
    , m_runner(runner)
{
}

void GuiFeedback::Status(const std::string& text)
{
    const QString shown = FromData(text);
    m_statusBar->showMessage(shown);
    m_statusBar->repaint();
    if (m_runner)
        m_runner->setDescription(shown);
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
