#pragma once

#include "base/usermessage.h"

#include <QMessageBox>
#include <QString>

#include <functional>

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

// When set, ShowMessage calls this instead of opening a box and returns its answer.
using MessageHandler = std::function<QMessageBox::StandardButton(MessageType, const QString&)>;
void SetMessageHandler(MessageHandler handler);

} // namespace pw::gui
