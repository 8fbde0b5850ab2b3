#pragma once

#include "shell/commandstate.h"

#include <QStringList>

class QObject;

namespace pw::gui {

// Applies a command state to the window under `root`: every action and widget
// whose object name is a command gets the command's enabled flag (menu items
// linked to an action follow it), and the site selector `CBSetups` moves to
// the entry the state selects. Returns the commands that have no object under
// `root`.
QStringList ApplyCommandState(QObject* root, const CommandState& state);

} // namespace pw::gui
