#pragma once

#include <QIcon>

namespace pw::gui {

// The images of setups and connection tree nodes, by index: 0 local folder,
// 1 FTP host, 2 open local folder, 3 open FTP folder, 4 closed local folder,
// 5 closed FTP folder.
QIcon ServerTypeIcon(int index);

// The images of file list entries by their kind (0 folder, 1 text, 2 other,
// 3 archive, 4 page).
QIcon FileTypeIcon(int kind);

} // namespace pw::gui
