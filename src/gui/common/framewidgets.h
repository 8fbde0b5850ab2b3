#pragma once

// The pieces the areas build for the window to place: tool buttons named
// after their command, the report lists, the framed panels and the check
// items of the options menu, all alike wherever they are made.

#include "shell/commands.h"

#include <QString>

class QAction;
class QObject;
class QToolButton;
class QTreeView;
class QWidget;

namespace pw::gui {

// A tool bar button with a handler of its own, named after `command`; `hint`
// is its tool tip, status text and accessible name.
QToolButton* MakeCommandButton(Command command, const QString& hint);

// A list with columns and whole-row selection, not editable, with a pop-up menu.
QTreeView* MakeReportList(const QString& name);

// A sunken frame named `name` around `content`.
QWidget* MakePanel(const QString& name, QWidget* content);

// An item of the options menu named after `command`; a checkable one starts checked.
QAction* MakeOptionItem(
    Command command, const QString& caption, const QString& hint, bool checkable, QObject* parent);

} // namespace pw::gui
