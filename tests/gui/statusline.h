#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

namespace pw::test {

// What the status bar shows: a hint while one covers it, else the status text.
inline QString ShownStatus(QMainWindow* window)
{
    const QString hint = window->statusBar()->currentMessage();
    if (!hint.isEmpty())
        return hint;
    const auto* text = window->statusBar()->findChild<QLabel*>(QStringLiteral("LbStatusText"));
    return text && text->isVisible() ? text->text() : QString();
}

} // namespace pw::test
