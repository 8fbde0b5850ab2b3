#pragma once

// The pieces the areas build for the window to place: tool buttons named
// after their command, the report lists, the framed panels and the check
// items of the options menu, all alike wherever they are made.

#include "shell/commands.h"

#include <QString>

class QFontMetrics;
class QAction;
class QMenu;
class QObject;
class QToolButton;
class QTreeView;
class QWidget;

namespace pw::gui {

// A tool bar button with a handler of its own, named after `command`; `hint`
// is its tool tip, status text and accessible name.
QToolButton* MakeCommandButton(Command command, const QString& hint);

// A list with columns and whole-row selection, not editable, with a pop-up
// menu; its rows leave air around the text (ReportRowHeight).
QTreeView* MakeReportList(const QString& name);

// The height of a list row for text in `metrics`: the line with room for the
// ink that some fonts (IPA Gothic among them) put below the descent or above
// the ascent, and two pixels of air each side. A row just the line's height
// puts '_' and the descenders on its last pixel, where the next row's
// background or the selection's edge cuts them off.
int ReportRowHeight(const QFontMetrics& metrics);

// A sunken frame named `name` around `content`.
QWidget* MakePanel(const QString& name, QWidget* content);

// An item of the options menu named after `command`; a checkable one starts checked.
QAction* MakeOptionItem(
    Command command, const QString& caption, const QString& hint, bool checkable, QObject* parent);

// A pop-up menu of the window named `name`, showing its items' hints.
QMenu* MakePopupMenu(const char* name, QWidget* window);

// Adds to `menu` an item named `name` linked to `source`.
QAction* AddLinkedItem(QMenu* menu, const char* name, QAction* source);

// Adds the submenu "add the current ad to the file", named after `command`,
// with the normal and rotation items `normal` and `rotation`.
void AddAddAdSubmenu(QMenu* menu, Command command, const char* normal, const char* rotation, QAction* addNormal,
    QAction* addRotation);

} // namespace pw::gui
