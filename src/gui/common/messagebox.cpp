#include "gui/common/messagebox.h"

#include <QPushButton>

namespace pw::gui {

namespace {

MessageHandler& Handler()
{
    static MessageHandler handler;
    return handler;
}

} // namespace

void SetMessageHandler(MessageHandler handler)
{
    Handler() = std::move(handler);
}

QMessageBox::StandardButton ShowMessage(
    QWidget* parent, MessageType type, const QString& text, QMessageBox::StandardButtons buttons)
{
    return ShowMessage(parent, type, text, buttons, QString());
}

namespace {

QMessageBox::Icon IconOf(MessageType type, QString& caption)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (type) {
    case MessageType::Error:
        icon = QMessageBox::Critical;
        caption = QStringLiteral("エラー");
        break;
    case MessageType::Warning:
        icon = QMessageBox::Warning;
        caption = QStringLiteral("警告");
        break;
    case MessageType::Information:
        icon = QMessageBox::Information;
        caption = QStringLiteral("情報");
        break;
    case MessageType::Confirmation:
        icon = QMessageBox::Question;
        caption = QStringLiteral("確認");
        break;
    }
    return icon;
}

} // namespace

QMessageBox::StandardButton ShowMessage(QWidget* parent, MessageType type, const QString& text,
    QMessageBox::StandardButtons buttons, const QString& details)
{
    if (Handler())
        return Handler()(type, details.isEmpty() ? text : text + QStringLiteral("\n\n") + details);
    QString caption;
    const QMessageBox::Icon icon = IconOf(type, caption);
    QMessageBox box(icon, caption, text, buttons, parent);
    if (!details.isEmpty())
        box.setDetailedText(details);
    // A question that can do harm (a changed server key) defaults to No.
    if (type == MessageType::Warning && (buttons & QMessageBox::No))
        box.setDefaultButton(QMessageBox::No);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton AskWithButtons(QWidget* parent, MessageType type, const QString& text,
    const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttons,
    QMessageBox::StandardButton defaultButton)
{
    if (Handler())
        return Handler()(type, text);
    QString caption;
    const QMessageBox::Icon icon = IconOf(type, caption);
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    for (const auto& [button, label] : buttons)
        box.addButton(button)->setText(label);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace pw::gui
