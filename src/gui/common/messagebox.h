#pragma once

#include "base/usermessage.h"

#include <QMessageBox>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace pw::gui {

// Modal message boxes of a fixed type, with a seam so that window tests can
// answer them without a person.

QMessageBox::StandardButton ShowMessage(QWidget* parent, MessageType type, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok);
// The same with a long list behind the box's details button; the handler
// below gets the text, an empty line and the details.
QMessageBox::StandardButton ShowMessage(QWidget* parent, MessageType type, const QString& text,
    QMessageBox::StandardButtons buttons, const QString& details);

// A question whose buttons carry captions of their own (for example 続行 on
// Yes), with `defaultButton` the one Enter presses. The handler below answers
// it as any other box.
QMessageBox::StandardButton AskWithButtons(QWidget* parent, MessageType type, const QString& text,
    const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttons,
    QMessageBox::StandardButton defaultButton);

// When set, ShowMessage calls this instead of opening a box and returns its answer.
using MessageHandler = std::function<QMessageBox::StandardButton(MessageType, const QString&)>;
void SetMessageHandler(MessageHandler handler);

} // namespace pw::gui
